#pragma once
// The 32-bit ARGB bitmap of the graphics components, its colour and geometry helpers, and the
// change-notifying base classes it derives from.
//
// Pixels live in memory of the bitmap's own (rows top-down, no padding). A device context over
// them is made on first request (Handle(), DC(), Canvas()); from then on the pixels are the
// device-independent section's memory, so drawing through the context and direct addressing see
// the same pixels.

#include <cstdint>
#include <functional>
#include <memory>
#include <new>
#include <mutex>
#include <string>
#include <vector>

#include "platform/core/Classes.h"
#include "platform/core/Color.h"
#include "platform/core/Geometry.h"
#include "platform/core/Streams.h"
#include "platform/gdi/Gdi.h"

namespace epc {

class TCanvas;
class TFont;

// 0xAARRGGBB; in memory the bytes blue, green, red, alpha. Alpha 255 is opaque.
using TColor32 = uint32_t;
// Signed 16.16 fixed point (65536 = 1.0).
using TFixed = int32_t;

constexpr TFixed FixedOne = 0x10000;

struct TFixedPoint {
    TFixed X = 0;
    TFixed Y = 0;
    friend constexpr bool operator==(const TFixedPoint&, const TFixedPoint&) = default;
};

struct TFloatRect {
    float Left = 0, Top = 0, Right = 0, Bottom = 0;
    friend constexpr bool operator==(const TFloatRect&, const TFloatRect&) = default;
};

using TArrayOfColor32 = std::vector<TColor32>;
using TArrayOfPoint = std::vector<TPoint>;
using TArrayOfArrayOfPoint = std::vector<TArrayOfPoint>;
using TArrayOfFixedPoint = std::vector<TFixedPoint>;
using TArrayOfArrayOfFixedPoint = std::vector<TArrayOfFixedPoint>;
using TArrayOfInteger = std::vector<int32_t>;
using TArrayOfArrayOfInteger = std::vector<TArrayOfInteger>;

enum TDrawMode : uint8_t { dmOpaque = 0, dmBlend = 1, dmCustom = 2 };
enum TStretchFilter : uint8_t {
    sfNearest = 0, sfLinear = 1, sfSpline = 2, sfLanczos = 3, sfMitchell = 4
};

// Combines the source pixel F into the destination pixel B with master alpha M.
using TPixelCombineEvent = std::function<void(TColor32 f, TColor32& b, TColor32 m)>;

// Colour constants in 32-bit form.
constexpr TColor32 clBlack32 = 0xFF000000;
constexpr TColor32 clWhite32 = 0xFFFFFFFF;
constexpr TColor32 clRed32 = 0xFFFF0000;
constexpr TColor32 clLime32 = 0xFF00FF00;
constexpr TColor32 clBlue32 = 0xFF0000FF;
constexpr TColor32 clYellow32 = 0xFFFFFF00;
constexpr TColor32 clGray32 = 0xFF7F7F7F;

// ---- Colour and geometry helpers --------------------------------------------------------------

// A framework colour (system colours resolved) as an opaque 32-bit colour.
TColor32 Color32(TColor color);
constexpr TColor32 Color32(uint8_t r, uint8_t g, uint8_t b, uint8_t a = 255) {
    return (TColor32(a) << 24) | (TColor32(r) << 16) | (TColor32(g) << 8) | b;
}
constexpr uint8_t AlphaComponent(TColor32 c) { return uint8_t(c >> 24); }
constexpr uint8_t RedComponent(TColor32 c) { return uint8_t(c >> 16); }
constexpr uint8_t GreenComponent(TColor32 c) { return uint8_t(c >> 8); }
constexpr uint8_t BlueComponent(TColor32 c) { return uint8_t(c); }
// The colour's low 24 bits with the alpha clamped to 0..255.
TColor32 ColorWithAlpha(TColor32 color, int32_t alpha);

constexpr int32_t FixedRound(TFixed value) { return int32_t((int64_t(value) + 0x7FFF) >> 16); }
constexpr TPoint MakeIntPoint(int32_t x, int32_t y) { return {x, y}; }
constexpr TRect MakeIntRect(int32_t l, int32_t t, int32_t r, int32_t b) { return {l, t, r, b}; }
constexpr TFixedPoint MakeFixedPointFromInts(int32_t x, int32_t y) {
    return {TFixed(uint32_t(x) << 16), TFixed(uint32_t(y) << 16)};
}
TFixedPoint MakeFixedPointFromFloats(double x, double y);
TFloatRect MakeFloatRectFromRect(const TRect& r);
// mode 0: nearest; 1: outward (floor, ceil); 2: inward (ceil, floor, never inverted).
TRect MakeRectFromFloatRect(const TFloatRect& r, int mode);

bool IntersectIntRect(TRect& result, const TRect& a, const TRect& b);
constexpr bool IsIntRectEmpty(const TRect& r) { return r.Right <= r.Left || r.Bottom <= r.Top; }
void InflateIntRect(TRect& r, int32_t dx, int32_t dy);
void OffsetIntRect(TRect& r, int32_t dx, int32_t dy);
constexpr bool PointInIntRect(const TRect& r, const TPoint& p) {
    return r.Left <= p.X && p.X < r.Right && r.Top <= p.Y && p.Y < r.Bottom;
}

// ---- Low-level routines -----------------------------------------------------------------------

void FillLongwords(TColor32* dest, int32_t count, TColor32 value);
void MoveLongwords(const TColor32* source, TColor32* dest, int32_t count);
void SwapInts(int32_t& a, int32_t& b);
void SortPair(int32_t& a, int32_t& b);
// Sorts the pair and clips it to 0..size-1; true when something is left.
bool ClipSpan(int32_t& a, int32_t& b, int32_t size);
constexpr int32_t ClampInt(int32_t value, int32_t low, int32_t high) {
    return value < low ? low : (value < high ? value : high);
}
constexpr int32_t ShiftRight8(int32_t v) { return v >> 8; }
constexpr int32_t ShiftRight9(int32_t v) { return v >> 9; }
constexpr int32_t ShiftRight13(int32_t v) { return v >> 13; }
constexpr int32_t ShiftRight16(int32_t v) { return v >> 16; }
// |a*b| / |c| rounded half up, signed by the operands; -1 when it does not fit (or c is 0).
int32_t MulDivRound(int32_t a, int32_t b, int32_t c);

// The 256-entry gamma table (gamma 0.7) used by the antialiased points.
extern const uint8_t* const GAMMA_TABLE;

// ---- Change-notifying bases -------------------------------------------------------------------

class TThreadPersistent : public TPersistent {
public:
    TThreadPersistent();
    ~TThreadPersistent() override;
    std::string ClassName() const override { return "TThreadPersistent"; }

    virtual void NotifyChanged();
    void Changed() { NotifyChanged(); }
    void BeginUpdate() { ++FUpdateCount; }
    void EndUpdate();
    void Lock();
    void Unlock();
    int32_t UpdateCount() const { return FUpdateCount; }
    int32_t LockCount() const { return FLockCount; }

    TNotifyEvent OnChange;

protected:
    std::recursive_mutex FLock;
    int32_t FUpdateCount = 0;
    int32_t FLockCount = 0;
};

class TCustomMap : public TThreadPersistent {
public:
    std::string ClassName() const override { return "TCustomMap"; }

    int32_t Width() const { return FWidth; }
    int32_t Height() const { return FHeight; }
    void SetWidth(int32_t value) { SetSize(value, FHeight); }
    void SetHeight(int32_t value) { SetSize(FWidth, value); }
    // Negative sizes count as 0; returns whether the size changed.
    virtual bool SetSize(int32_t newWidth, int32_t newHeight);
    virtual void MakeEmpty() { SetSize(0, 0); }
    virtual bool IsEmpty() const { return FWidth == 0 || FHeight == 0; }

    TNotifyEvent OnResize;

protected:
    virtual void ChangeSize(int32_t& width, int32_t& height, int32_t newWidth, int32_t newHeight);
    virtual void DoResized();

    int32_t FWidth = 0;
    int32_t FHeight = 0;
};

// The device-context side of a bitmap (section, context, canvas and font), made on first
// request by the platform unit. The bitmap itself only ever talks to it through this interface.
class TBitmap32Surface {
public:
    virtual ~TBitmap32Surface() = default;
    // Releases the section and the context (a size change); the canvas and font stay.
    virtual void ReleaseDib() = 0;
    // Called after a size change: a surface with a canvas makes its section again at once.
    virtual void Reattach() = 0;
};

class TBitmap32 : public TCustomMap {
public:
    TBitmap32();
    ~TBitmap32() override;
    std::string ClassName() const override { return "TBitmap32"; }

    // The framework's assignment and storage, carried out by the bitmap's own operations below.
    void Assign(TPersistent* source) override { AssignFrom(source); }
    void DefineProperties(TFiler* filer) override { DefineDataProperty(filer); }
    // Takes the pixels of another TBitmap32 or of a framework picture (TPicture, TBitmap, any
    // TGraphic, the clipboard); anything else raises the conversion error.
    virtual void AssignFrom(TPersistent* source);
    // Gives the pixels to a framework TBitmap, TPicture or the clipboard.
    virtual void CopyToGraphic(TPersistent* dest);
    bool IsEmpty() const override { return FBits == nullptr || FWidth == 0 || FHeight == 0; }
    void MakeEmpty() override { SetSize(0, 0); }
    void Clear(TColor32 color);
    TRect BoundsRect() const { return {0, 0, FWidth, FHeight}; }

    // Pixels.
    TColor32* Bits() const { return FBits; }
    TColor32* ScanLine(int32_t y) const { return FBits + intptr_t(y) * FWidth; }
    TColor32* PixelPtr(int32_t x, int32_t y) const { return FBits + intptr_t(y) * FWidth + x; }
    TColor32 Pixel(int32_t x, int32_t y) const { return *PixelPtr(x, y); }
    void SetPixel(int32_t x, int32_t y, TColor32 c) { *PixelPtr(x, y) = c; }
    TColor32 GetPixelS(int32_t x, int32_t y) const;
    void SetPixelS(int32_t x, int32_t y, TColor32 c);
    void SetPixelBlended(int32_t x, int32_t y, TColor32 c);
    void SetPixelBlendedS(int32_t x, int32_t y, TColor32 c);
    // Antialiased points at 24.8 coordinates (the S form clips pixel by pixel); SetPixelFS
    // takes 16.16 coordinates.
    void SetPixelAA(int32_t x, int32_t y, TColor32 c);
    void SetPixelAAS(int32_t x, int32_t y, TColor32 c);
    void SetPixelFS(TFixed x, TFixed y, TColor32 c);

    // Runs, both ends included; the S forms clip.
    void HorzLine(int32_t x1, int32_t y, int32_t x2, TColor32 c);
    void HorzLineS(int32_t x1, int32_t y, int32_t x2, TColor32 c);
    void HorzLineBlended(int32_t x1, int32_t y, int32_t x2, TColor32 c);
    void VertLine(int32_t x, int32_t y1, int32_t y2, TColor32 c);
    void VertLineS(int32_t x, int32_t y1, int32_t y2, TColor32 c);
    void VertLineBlended(int32_t x, int32_t y1, int32_t y2, TColor32 c);

    // Lines; the S forms clip and draw the end point whenever clipping moved it.
    void DrawLine(int32_t x1, int32_t y1, int32_t x2, int32_t y2, TColor32 c, bool l = false);
    void DrawLineS(int32_t x1, int32_t y1, int32_t x2, int32_t y2, TColor32 c, bool l = false);
    void DrawLineBlended(int32_t x1, int32_t y1, int32_t x2, int32_t y2, TColor32 c,
                         bool l = false);
    void DrawLineBlendedS(int32_t x1, int32_t y1, int32_t x2, int32_t y2, TColor32 c,
                          bool l = false);
    void DrawLineAA(TFixed x1, TFixed y1, TFixed x2, TFixed y2, TColor32 c, bool l = false);
    void DrawLineAAS(TFixed x1, TFixed y1, TFixed x2, TFixed y2, TColor32 c, bool l = false);

    void MoveTo(int32_t x, int32_t y) { FPenPosX = x; FPenPosY = y; }
    void LineToS(int32_t x, int32_t y);
    void LineToBlendedS(int32_t x, int32_t y);
    void MoveToX(TFixed x, TFixed y) { FPenPosXF = x; FPenPosYF = y; }
    void LineToXS(TFixed x, TFixed y);
    TPoint PenPos() const { return {FPenPosX, FPenPosY}; }

    // Rectangles exclude their right and bottom edges.
    void FillRectUnclipped(int32_t x1, int32_t y1, int32_t x2, int32_t y2, TColor32 c);
    void FillRectClipped(int32_t x1, int32_t y1, int32_t x2, int32_t y2, TColor32 c);
    void FillRectClippedByRect(const TRect& r, TColor32 c) {
        FillRectClipped(r.Left, r.Top, r.Right, r.Bottom, c);
    }
    void FrameRect(int32_t x1, int32_t y1, int32_t x2, int32_t y2, TColor32 c);
    void FrameRectByRect(const TRect& r, TColor32 c) {
        FrameRect(r.Left, r.Top, r.Right, r.Bottom, c);
    }

    // Into another bitmap through the transfers, with this bitmap's mode, alpha and filter.
    void DrawToBitmap(TBitmap32* dest);
    void DrawToBitmapRect(TBitmap32* dest, const TRect& destRect);
    void StretchToBitmap(TBitmap32* dest, const TRect& destRect, const TRect& srcRect);

    // The stored "Data" property: int32 width, int32 height, then the pixels in memory order.
    void ReadPixelData(TStream& stream);
    void WritePixelData(TStream& stream) const;
    // Whether "Data" must be written against an ancestor (nullptr: none).
    bool DataDiffers(const TBitmap32* ancestor) const;

    TDrawMode DrawMode() const { return FDrawMode; }
    void SetDrawMode(TDrawMode value);
    uint32_t MasterAlpha() const { return FMasterAlpha; }
    void SetMasterAlpha(uint32_t value);
    TStretchFilter StretchFilter() const { return FStretchFilter; }
    void SetStretchFilter(TStretchFilter value);
    TColor32 OuterColor() const { return FOuterColor; }
    void SetOuterColor(TColor32 value) { FOuterColor = value; }
    TColor32 PenColor() const { return FPenColor; }
    void SetPenColor(TColor32 value) { FPenColor = value; }
    float StippleStep() const { return FStippleStep; }
    void SetStippleStep(float value) { FStippleStep = value; }
    const BITMAPINFO& BitmapInfo() const { return FBitmapInfo; }

    // Device-context side (made on first use).
    HBITMAP Handle();
    HDC DC();
    void DrawToDC(HDC dc, int32_t x, int32_t y);
    TCanvas* Canvas();
    TFont* Font();

    TNotifyEvent OnHandleChanged;
    TPixelCombineEvent OnPixelCombine;

protected:
    void ChangeSize(int32_t& width, int32_t& height, int32_t newWidth, int32_t newHeight) override;
    void AssignTo(TPersistent* dest) override { CopyToGraphic(dest); }
    // Stores the pixels as the binary property "Data".
    virtual void DefineDataProperty(TFiler* filer);
    virtual void HandleChanged();

private:
    template <bool Blend>
    void LineWalk(int32_t x1, int32_t y1, int32_t x2, int32_t y2, TColor32 c, bool l);
    template <bool Clip>
    void AALineWalk(TFixed x1, TFixed y1, TFixed x2, TFixed y2, TColor32 c, bool l);
    // Framework pictures (TPicture, TBitmap, TGraphic, the clipboard), in the platform unit;
    // false when the object is none of them.
    bool AssignFromGraphic(TPersistent* source);
    bool AssignToGraphic(TPersistent* dest);
    bool AllocateOwnBits(int32_t width, int32_t height);
    void FreeOwnBits();

    BITMAPINFO FBitmapInfo;
    TColor32* FBits = nullptr;
    // Pixel memory aligned to 64 bytes for the vector routines.
    struct TAlignedFree {
        void operator()(TColor32* bits) const noexcept {
            ::operator delete(bits, std::align_val_t(64));
        }
    };
    std::unique_ptr<TColor32, TAlignedFree> FOwnBits;  // our own memory while there is no surface
    std::unique_ptr<TBitmap32Surface> FSurface;
    TDrawMode FDrawMode = dmOpaque;
    uint32_t FMasterAlpha = 255;
    TColor32 FOuterColor = 0x00000000;
    TColor32 FPenColor = 0xFFFFFFFF;
    float FStippleStep = 1.0f;
    TStretchFilter FStretchFilter = sfNearest;
    int32_t FPenPosX = 0, FPenPosY = 0;
    TFixed FPenPosXF = 0, FPenPosYF = 0;

    friend class TBitmap32Dib;
};

}  // namespace epc
