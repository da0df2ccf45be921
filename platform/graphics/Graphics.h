#pragma once
// The framework's graphics objects over the device-context layer: fonts, pens and brushes with
// change notification, the canvas that draws with them, the abstract picture class, the picture
// holder and the registry of picture classes.
//
// Fonts, pens and brushes build their GDI handle on demand and keep it until they change. A
// canvas selects them into its device context lazily: only when a drawing call needs one and it
// changed since the last selection, so repeated drawing costs no object traffic.

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/core/Classes.h"
#include "platform/core/Color.h"
#include "platform/core/Exceptions.h"
#include "platform/core/Geometry.h"
#include "platform/core/Set.h"
#include "platform/core/Streams.h"
#include "platform/core/Strings.h"
#include "platform/gdi/Gdi.h"

namespace epc {

class TCanvas;
class TGraphic;
class TBitmap;
class TIcon;
class TMetafile;

// ---- Graphics objects -----------------------------------------------------------------------

// Base of fonts, pens and brushes. Changed() fires OnChange at once, or, inside
// BeginUpdate/EndUpdate (nestable), once at the outermost EndUpdate when anything changed.
class TGraphicsObject : public TPersistent {
public:
    std::string ClassName() const override { return "TGraphicsObject"; }

    TNotifyEvent OnChange;

    void BeginUpdate() { ++FUpdateCount; }
    void EndUpdate();
    int UpdateCount() const { return FUpdateCount; }

protected:
    // Drops the cached handle (the derived class's) and notifies.
    virtual void Changed();

private:
    int FUpdateCount = 0;
    bool FChangePending = false;
};

enum TFontStyle : uint8_t { fsBold, fsItalic, fsUnderline, fsStrikeOut };
using TFontStyles = TSet<TFontStyle>;
enum TFontPitch : uint8_t { fpDefault, fpVariable, fpFixed };
// ANSI_CHARSET, DEFAULT_CHARSET and the other charset numbers come from the string helpers.
using TFontCharset = uint8_t;

// The pixels per inch of a screen-compatible device context.
constexpr int ScreenPixelsPerInch = 96;

// A font: Name, Size in points and Height in pixels (Height = -MulDiv(Size, PixelsPerInch, 72);
// a negative Height is the character height, a positive one the cell height), Style, Color,
// Charset and Pitch. New fonts are "MS Sans Serif", 8 points, clWindowText.
class TFont : public TGraphicsObject {
public:
    TFont();
    ~TFont() override;
    std::string ClassName() const override { return "TFont"; }

    // Copies name, style, colour, charset, pitch and height; when the two fonts have different
    // PixelsPerInch the point size is kept instead of the height.
    void Assign(TPersistent* source) override;

    const std::string& Name() const { return FName; }
    void SetName(const std::string& value);
    int Size() const;
    void SetSize(int value);
    int Height() const { return FHeight; }
    void SetHeight(int value);
    TFontStyles Style() const { return FStyle; }
    void SetStyle(TFontStyles value);
    TColor Color() const { return FColor; }
    // Only the colour changes: the handle is kept.
    void SetColor(TColor value);
    TFontCharset Charset() const { return FCharset; }
    void SetCharset(TFontCharset value);
    TFontPitch Pitch() const { return FPitch; }
    void SetPitch(TFontPitch value);
    // The resolution Size is converted with; changing it keeps Height (so Size follows).
    int PixelsPerInch() const { return FPixelsPerInch; }
    void SetPixelsPerInch(int value) { FPixelsPerInch = value > 0 ? value : ScreenPixelsPerInch; }

    // The font handle, built on first use from LogFont() and cached until a change.
    HFONT Handle();
    // Takes the description of an existing font handle.
    void SetHandle(HFONT value);
    LOGFONTW LogFont() const;

protected:
    void Changed() override;

private:
    void FreeHandle();

    std::vector<HGDIOBJ> FStale; // replaced handles, deleted once no context holds them
    std::string FName = "MS Sans Serif";
    int FHeight = -11;
    TFontStyles FStyle;
    TColor FColor = clWindowText;
    TFontCharset FCharset = DEFAULT_CHARSET;
    TFontPitch FPitch = fpDefault;
    int FPixelsPerInch = ScreenPixelsPerInch;
    HFONT FHandle = nullptr;
};

enum TPenStyle : uint8_t {
    psSolid,
    psDash,
    psDot,
    psDashDot,
    psDashDotDot,
    psClear,
    psInsideFrame
};
enum TPenMode : uint8_t {
    pmBlack,
    pmWhite,
    pmNop,
    pmNot,
    pmCopy,
    pmNotCopy,
    pmMergePenNot,
    pmMaskPenNot,
    pmMergeNotPen,
    pmMaskNotPen,
    pmMerge,
    pmNotMerge,
    pmMask,
    pmNotMask,
    pmXor,
    pmNotXor
};
// The SetROP2 code of a pen mode.
int PenModeToROP2(TPenMode mode);

// A pen: Color, Width, Style and Mode (applied by the canvas as the DC's mix mode). New pens
// are black, 1 pixel, solid, copy.
class TPen : public TGraphicsObject {
public:
    TPen() = default;
    ~TPen() override;
    std::string ClassName() const override { return "TPen"; }
    void Assign(TPersistent* source) override;

    TColor Color() const { return FColor; }
    void SetColor(TColor value);
    int Width() const { return FWidth; }
    void SetWidth(int value);
    TPenStyle Style() const { return FStyle; }
    void SetStyle(TPenStyle value);
    TPenMode Mode() const { return FMode; }
    void SetMode(TPenMode value);

    HPEN Handle();
    void SetHandle(HPEN value); // takes style, width and colour of the handle

protected:
    void Changed() override;

private:
    void FreeHandle();

    std::vector<HGDIOBJ> FStale;
    TColor FColor = clBlack;
    int FWidth = 1;
    TPenStyle FStyle = psSolid;
    TPenMode FMode = pmCopy;
    HPEN FHandle = nullptr;
};

enum TBrushStyle : uint8_t {
    bsSolid,
    bsClear,
    bsHorizontal,
    bsVertical,
    bsFDiagonal,
    bsBDiagonal,
    bsCross,
    bsDiagCross
};

// A brush: Color and Style, or an 8x8 pattern from Bitmap (not owned; setting one makes the
// style irrelevant until it is removed). A monochrome pattern bitmap paints its black pixels in
// the context's text colour and its white ones in the brush colour. New brushes are white and
// solid.
class TBrush : public TGraphicsObject {
public:
    TBrush() = default;
    ~TBrush() override;
    std::string ClassName() const override { return "TBrush"; }
    void Assign(TPersistent* source) override;

    TColor Color() const { return FColor; }
    // A solid colour on a clear brush makes it solid again, as users expect.
    void SetColor(TColor value);
    TBrushStyle Style() const { return FStyle; }
    void SetStyle(TBrushStyle value);
    TBitmap* Bitmap() const { return FBitmap; }
    void SetBitmap(TBitmap* value);

    HBRUSH Handle();
    void SetHandle(HBRUSH value); // takes style and colour of the handle

protected:
    void Changed() override;

private:
    void FreeHandle();

    std::vector<HGDIOBJ> FStale;
    TColor FColor = clWhite;
    TBrushStyle FStyle = bsSolid;
    TBitmap* FBitmap = nullptr;
    HBRUSH FHandle = nullptr;
};

// ---- Canvas ---------------------------------------------------------------------------------

enum TCanvasStates : uint8_t { csHandleValid, csFontValid, csPenValid, csBrushValid };
using TCanvasState = TSet<TCanvasStates>;

inline constexpr const char* SNoCanvasHandle = "Canvas does not allow drawing";

// Drawing over a device context. A canvas is either given a context (SetHandle; the caller
// keeps it), adopts one for its whole life (SetOwnedHandle; deleted when replaced or at
// destruction), or makes its own on demand (derived classes override CreateHandle). Every
// drawing call fires OnChanging before and OnChange after it. A new context sets the font's
// PixelsPerInch to the context's resolution, so that point sizes suit the device.
class TCanvas : public TPersistent {
public:
    TCanvas();
    ~TCanvas() override;
    std::string ClassName() const override { return "TCanvas"; }

    // The device context, with font, pen and brush selected.
    HDC Handle();
    bool HandleAllocated() const { return FHandle != nullptr; }
    void SetHandle(HDC value);
    void SetOwnedHandle(HDC value);

    TFont* Font() const { return FFont.get(); }
    void SetFont(TFont* value) { FFont->Assign(value); }
    TPen* Pen() const { return FPen.get(); }
    void SetPen(TPen* value) { FPen->Assign(value); }
    TBrush* Brush() const { return FBrush.get(); }
    void SetBrush(TBrush* value) { FBrush->Assign(value); }

    TPoint PenPos();
    void SetPenPos(TPoint value) { MoveTo(value.X, value.Y); }
    DWORD CopyMode() const { return FCopyMode; }
    void SetCopyMode(DWORD value) { FCopyMode = value; }
    // ETO_ options added to every TextOut and TextRect.
    UINT TextFlags() const { return FTextFlags; }
    void SetTextFlags(UINT value) { FTextFlags = value; }
    TCanvasState State() const { return FState; }

    void MoveTo(int x, int y);
    void LineTo(int x, int y);
    void Polyline(const std::vector<TPoint>& points);
    void Polyline(const TPoint* points, int count);
    void Polygon(const std::vector<TPoint>& points);
    void Polygon(const TPoint* points, int count);
    void Rectangle(int x1, int y1, int x2, int y2);
    void Rectangle(const TRect& r) { Rectangle(r.Left, r.Top, r.Right, r.Bottom); }
    void RoundRect(int x1, int y1, int x2, int y2, int x3, int y3);
    void Ellipse(int x1, int y1, int x2, int y2);
    void Ellipse(const TRect& r) { Ellipse(r.Left, r.Top, r.Right, r.Bottom); }
    void FillRect(const TRect& r);
    void FrameRect(const TRect& r);
    void DrawFocusRect(const TRect& r);

    // Text in the font's colour, on the brush colour unless the brush is clear; the pen
    // position moves to the end of the text.
    void TextOut(int x, int y, const std::u16string& text);
    void TextOut(int x, int y, const std::string& text); // ANSI
    // Text clipped to r (and opaque over it unless the brush is clear).
    void TextRect(const TRect& r, int x, int y, const std::u16string& text);
    void TextRect(const TRect& r, int x, int y, const std::string& text);
    TSize TextExtent(const std::u16string& text);
    TSize TextExtent(const std::string& text);
    int TextWidth(const std::u16string& text) { return TextExtent(text).cx; }
    int TextWidth(const std::string& text) { return TextExtent(text).cx; }
    int TextHeight(const std::u16string& text) { return TextExtent(text).cy; }
    int TextHeight(const std::string& text) { return TextExtent(text).cy; }

    TColor Pixels(int x, int y);
    void SetPixels(int x, int y, TColor value);

    void Draw(int x, int y, TGraphic* graphic);
    void StretchDraw(const TRect& r, TGraphic* graphic);
    // Copies source's rectangle of canvas into dest with CopyMode, stretching as needed.
    void CopyRect(const TRect& dest, TCanvas* canvas, const TRect& source);
    // Copies a bitmap's rectangle, painting its pixels of color with this canvas's brush.
    void BrushCopy(const TRect& dest, TBitmap* bitmap, const TRect& source, TColor color);

    TRect ClipRect();

    // Serialises drawing from more than one thread; nestable.
    void Lock();
    bool TryLock();
    void Unlock();
    int LockCount() const { return FLockCount; }

    // Deselects font, pen and brush, so that the next use selects them again.
    void Refresh();

    TNotifyEvent OnChange;
    TNotifyEvent OnChanging;

protected:
    virtual void Changing();
    virtual void Changed();
    // Makes a device context when none is set; the base class raises EInvalidOperation.
    virtual void CreateHandle();
    // Called before every use of the context (derived canvases bring their pixels up to date).
    virtual void BeforeUse() {}
    void RequiredState(TCanvasState required);
    void DeselectHandles();

private:
    void ReplaceHandle(HDC value, bool owned);
    void FontChanged(TObject*);
    void PenChanged(TObject*);
    void BrushChanged(TObject*);
    void CreateFont();
    void CreatePen();
    void CreateBrush();

    HDC FHandle = nullptr;
    bool FOwnsHandle = false;
    TCanvasState FState;
    std::unique_ptr<TFont> FFont;
    std::unique_ptr<TPen> FPen;
    std::unique_ptr<TBrush> FBrush;
    DWORD FCopyMode = SRCCOPY;
    UINT FTextFlags = 0;
    std::recursive_mutex FLock;
    int FLockCount = 0;
};

// ---- Pictures -------------------------------------------------------------------------------

inline constexpr const char* SInvalidImage = "Invalid image";
inline constexpr const char* SUnknownPictureFormat = "Unknown picture format";

// Abstract picture. Draw paints it into a rectangle of a canvas (stretched to it); loading and
// saving use the class's stored format.
class TGraphic : public TPersistent {
public:
    std::string ClassName() const override { return "TGraphic"; }

    virtual int Width() const = 0;
    virtual void SetWidth(int value) = 0;
    virtual int Height() const = 0;
    virtual void SetHeight(int value) = 0;
    virtual void SetSize(int width, int height) {
        SetWidth(width);
        SetHeight(height);
    }
    virtual bool Empty() const = 0;
    virtual bool Transparent() const { return FTransparent; }
    virtual void SetTransparent(bool value);
    bool Modified() const { return FModified; }
    void SetModified(bool value);
    // Palettes are inert here; the flag only carries what a picture's user sets.
    bool PaletteModified() const { return FPaletteModified; }
    void SetPaletteModified(bool value) { FPaletteModified = value; }

    virtual void Draw(TCanvas* canvas, const TRect& rect) = 0;
    void StretchDraw(TCanvas* canvas, const TRect& rect) { Draw(canvas, rect); }

    // Loading reads from the stream's position to its end; bad data raises EInvalidGraphic.
    virtual void LoadFromStream(TStream& stream) = 0;
    virtual void SaveToStream(TStream& stream) = 0;
    // The picture as a component stream's binary property holds it: the stored format as
    // SaveToStream writes it, running to the end of the property's data. Bitmaps put an int32
    // byte count before theirs and read no further.
    virtual void ReadData(TStream& stream) { LoadFromStream(stream); }
    virtual void WriteData(TStream& stream) { SaveToStream(stream); }
    void LoadFromFile(const std::string& fileName);
    void SaveToFile(const std::string& fileName);
    // The stored bytes, as SaveToStream writes them.
    std::string SaveToString();
    void LoadFromString(const std::string& data);

    // True when both are of one class and save to the same bytes.
    virtual bool Equals(TGraphic* other);
    // A new, empty picture of this class: by default through the class registry; a class
    // that is not registered overrides it so that pictures holding it can copy it.
    virtual std::unique_ptr<TGraphic> CreateNew() const;

    TNotifyEvent OnChange;

protected:
    // Marks the picture modified and fires OnChange.
    virtual void Changed(TObject* sender = nullptr);

    bool FTransparent = false;
    bool FModified = false;
    bool FPaletteModified = false;
};

using TGraphicFactory = std::function<std::unique_ptr<TGraphic>()>;

// The registry of picture classes. The built-in classes (TBitmap, TIcon, TMetafile,
// TPngImage, TJPEGImage, TGIFImage) are present from the first call on.
void RegisterGraphicClass(const std::string& className, const std::string& extension,
                          const TGraphicFactory& factory,
                          const std::string& description = std::string());
void UnregisterGraphicClass(const std::string& className);
bool IsGraphicClassRegistered(const std::string& className);
// A new picture of a registered class (name compared without case), or nullptr when the name
// is not registered: stored class names never create anything else.
std::unique_ptr<TGraphic> CreateGraphicByClassName(const std::string& className);
// The class registered for a file extension (with or without the dot, any case), or "".
std::string FindGraphicClassByExtension(const std::string& extension);
// A new picture for the extension; nullptr when none is registered.
std::unique_ptr<TGraphic> CreateGraphicByExtension(const std::string& extension);
// The class that loads data of a detected format ("TPngImage" for PNG data), or "".
std::string GraphicClassForData(const uint8_t* data, size_t size);
// The stream's bytes from its position to its end: picture classes decode them in one piece.
std::string ReadStreamRest(TStream& stream);

// Holds one picture of any class. Changes of the picture fire OnChange.
class TPicture : public TPersistent {
public:
    TPicture();
    ~TPicture() override;
    std::string ClassName() const override { return "TPicture"; }

    // Accepts a TPicture, a TGraphic (copied into a new object of its class) or nullptr.
    void Assign(TPersistent* source) override;

    TGraphic* Graphic() const { return FGraphic.get(); }
    // Stores a copy of value (nullptr empties the picture).
    void SetGraphic(TGraphic* value);
    // Takes ownership of a picture without copying it.
    void TakeGraphic(std::unique_ptr<TGraphic> value);
    // The picture as a bitmap: a TBitmap replaces any other graphic (an empty one when needed).
    TBitmap* Bitmap();
    void SetBitmap(TBitmap* value);
    TIcon* Icon();
    TMetafile* Metafile();

    int Width() const;
    int Height() const;

    // By the data's signature; falls back to the file extension. Unknown data raises
    // EInvalidGraphic.
    void LoadFromFile(const std::string& fileName);
    void LoadFromStream(TStream& stream);
    void SaveToFile(const std::string& fileName);
    void SaveToStream(TStream& stream);
    // The binary "Data" property of a stored picture: the class name as a short string (one
    // length byte, then the name; empty for no picture), then the graphic's own data. A class
    // that is not registered raises EInvalidGraphic.
    void ReadData(TStream& stream);
    void WriteData(TStream& stream);

    TNotifyEvent OnChange;

protected:
    void AssignTo(TPersistent* dest) override;
    virtual void Changed(TObject* sender);

private:
    template <typename T> T* ForceType();
    void Attach(std::unique_ptr<TGraphic> graphic);

    std::unique_ptr<TGraphic> FGraphic;
};

// The canvas's device context resolution (LOGPIXELSY).
int CanvasPixelsPerInch(TCanvas* canvas);

} // namespace epc
