#pragma once
// The objects behind the GDI handles and the helpers the drawing units share. Private to the
// gdi module.

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/gdi/Gdi.h"
#include "platform/text/FontEngine.h"

namespace epc {

class TDrawSink;

// Measuring goes through a direct table for the common code points, filled on first use.
inline int32_t TGdiFont::Advance(char32_t ch) {
    if (ch < kDirectAdvances) {
        int32_t& a = Advances[ch];
        if (a < 0) a = Instance->Advance(ch);
        return a;
    }
    return Instance->Advance(ch);
}

struct TDcState {
    HPEN Pen = nullptr;
    HBRUSH Brush = nullptr;
    HFONT Font = nullptr;
    HBITMAP Bitmap = nullptr;
    COLORREF TextColor = 0;
    COLORREF BkColor = 0xFFFFFF;
    int BkMode = OPAQUE;
    int Rop2 = R2_COPYPEN;
    UINT TextAlign = TA_LEFT | TA_TOP;
    int CharExtra = 0;
    int StretchMode = BLACKONWHITE;
    int PolyFillMode = ALTERNATE;
    POINT BrushOrg;
    POINT WindowOrg;
    POINT ViewportOrg;
    POINT CurPos;
    bool HasClip = false;
    std::vector<TRect> Clip; // device units, banded
};

struct TDeviceContext {
    TDcState S;
    std::vector<TDcState> Saved;
    bool Memory = false;
    bool Screen = false;
    int DpiX = 96;
    int DpiY = 96;
    bool Printer = false;
    int PhysWidth = 0, PhysHeight = 0, PhysOffX = 0, PhysOffY = 0;
    HBITMAP OwnBitmap = nullptr; // the default or own surface, deleted with the context
    int64_t StylePos = 0;        // position in the pen's dash pattern along a path
    TDrawSink* Sink = nullptr;   // printer pages: vector drawing (GdiSink.h)

    // Visible rectangles in device units: the clip within the surface.
    const std::vector<TRect>& Visible();
    void InvalidateVisible() { FVisibleValid = false; }
    TRect SurfaceRect() const;
    int DX() const { return S.ViewportOrg.X - S.WindowOrg.X; }
    int DY() const { return S.ViewportOrg.Y - S.WindowOrg.Y; }

private:
    std::vector<TRect> FVisible;
    bool FVisibleValid = false;
};

// ---- Shared helpers ----------------------------------------------------------------------

inline uint32_t ToPixel(COLORREF c) {
    return 0xFF000000u | ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
}
inline COLORREF ToColorRef(uint32_t p) {
    return ((p >> 16) & 0xFF) | (p & 0xFF00) | ((p & 0xFF) << 16);
}
// Colours with the system-colour flag (or a palette index) resolve to plain RGB.
COLORREF ResolveColor(COLORREF c);

// How a span is painted: a solid colour or an 8x8 pattern (with a mask of the pixels drawn),
// combined with the destination through a binary raster operation.
struct TPaint {
    uint32_t Color = 0xFF000000u;
    const uint32_t* Pattern = nullptr; // 64 pixels
    uint64_t Mask = ~uint64_t(0);      // bit (row * 8 + col) set: the pattern pixel is drawn
    int OrgX = 0, OrgY = 0;
    int Rop2 = R2_COPYPEN;
    std::array<uint32_t, 64> Storage{};

    TPaint() = default;
    TPaint(const TPaint& o) { *this = o; }
    // A pattern held in Storage stays pointing at this copy's Storage.
    TPaint& operator=(const TPaint& o) {
        Color = o.Color;
        Mask = o.Mask;
        OrgX = o.OrgX;
        OrgY = o.OrgY;
        Rop2 = o.Rop2;
        Storage = o.Storage;
        Pattern = o.Pattern == o.Storage.data() ? Storage.data() : o.Pattern;
        return *this;
    }
};

uint32_t ApplyRop2(int rop2, uint32_t pen, uint32_t dst);

// Fills [x0, x1) of device row y, clipped to the visible rectangles.
void FillSpan(HDC dc, int y, int x0, int x1, const TPaint& paint);
// Fills a device rectangle, clipped.
void FillDeviceRect(HDC dc, const TRect& r, const TPaint& paint);
void PlotPixel(HDC dc, int x, int y, const TPaint& paint);

// Paints for the selected pen colour and brush (false when the brush is hollow).
TPaint PenPaint(HDC dc, COLORREF color);
bool BrushPaint(HDC dc, HBRUSH brush, TPaint& paint);

// A set of horizontal spans keyed by row, merged, for figures painted in one pass.
class TSpanSet {
public:
    void Add(int y, int x0, int x1);
    void Paint(HDC dc, const TPaint& paint) const;
    bool Empty() const { return FRows.empty(); }

private:
    struct TRow {
        int Y;
        std::vector<std::pair<int, int>> Spans;
    };
    std::vector<TRow> FRows; // sorted by Y
    TRow& Row(int y);
};

// Region arithmetic on banded rectangle lists.
std::vector<TRect> CombineRects(const std::vector<TRect>& a, const std::vector<TRect>& b, int mode);
std::vector<TRect> NormalizeRects(const std::vector<TRect>& rects);

// Object bookkeeping shared by the units.
void RefObject(HGDIOBJ obj);
void UnrefObject(HGDIOBJ obj);
TGdiFont* CurrentFont(HDC dc);
HBITMAP NewBitmap(int width, int height, int bpp);

// A source of pixels for blits: 32-bit rows with a stride (in pixels).
struct TSourceView {
    const uint32_t* Bits = nullptr;
    int Width = 0;
    int Height = 0;
    int Stride = 0;
    bool Mono = false;    // black/white pixels of a monochrome bitmap
    COLORREF BkColor = 0; // the source context's background (colour to monochrome)
};
// Converts DIB rows (1, 4, 8, 24 or 32 bits, either order) into a top-down 32-bit image.
bool DibToPixels(const void* bits, const BITMAPINFO* info, std::vector<uint32_t>& out, int& width,
                 int& height);

} // namespace epc
