#include "platform/graphics/Graphics.h"

#include <algorithm>
#include <cstring>

#include "platform/core/Arithmetic.h"
#include "platform/core/Strings.h"
#include "platform/graphics/Bitmap.h"
#include "platform/graphics/GdiHandles.h"
#include "platform/graphics/Icon.h"

namespace epc {

namespace {
// Deletes the replaced handles that no context holds any more.
void PurgeStale(std::vector<HGDIOBJ>& stale) {
    std::erase_if(stale, [](HGDIOBJ h) { return DeleteObject(h) != 0; });
}

// A canvas may still hold the handle until it hears of the change: keep it until then.
template <class H> void RetireHandle(H& handle, std::vector<HGDIOBJ>& stale) {
    if (handle) {
        stale.push_back(GdiObj(handle));
        handle = nullptr;
    }
}

// The owner's end: its handle and every one it replaced go.
template <class H> void DeleteHandles(H& handle, std::vector<HGDIOBJ>& stale) {
    RetireHandle(handle, stale);
    for (HGDIOBJ h : stale)
        DeleteObject(h);
}
} // namespace

// ---- TGraphicsObject ------------------------------------------------------------------------

void TGraphicsObject::EndUpdate() {
    if (FUpdateCount <= 0) return;
    if (--FUpdateCount == 0 && FChangePending) {
        FChangePending = false;
        if (OnChange) OnChange(this);
    }
}

void TGraphicsObject::Changed() {
    if (FUpdateCount > 0) {
        FChangePending = true;
        return;
    }
    if (OnChange) OnChange(this);
}

// ---- TFont ----------------------------------------------------------------------------------

TFont::TFont() = default;

TFont::~TFont() {
    DeleteHandles(FHandle, FStale);
}

void TFont::FreeHandle() {
    RetireHandle(FHandle, FStale);
}

void TFont::Changed() {
    // Listeners (a canvas) deselect the old handle first; it is replaced on the next use.
    TGraphicsObject::Changed();
}

void TFont::Assign(TPersistent* source) {
    auto* src = dynamic_cast<TFont*>(source);
    if (!src) {
        TGraphicsObject::Assign(source);
        return;
    }
    if (src == this) return;
    bool sameFace = FName == src->FName && FStyle == src->FStyle && FCharset == src->FCharset &&
                    FPitch == src->FPitch;
    int height = FPixelsPerInch != src->FPixelsPerInch ? -MulDiv(src->Size(), FPixelsPerInch, 72)
                                                       : src->FHeight;
    bool changed = !sameFace || height != FHeight || FColor != src->FColor;
    if (!sameFace || height != FHeight) FreeHandle();
    FName = src->FName;
    FStyle = src->FStyle;
    FCharset = src->FCharset;
    FPitch = src->FPitch;
    FColor = src->FColor;
    FHeight = height;
    if (changed) Changed();
}

void TFont::SetName(const std::string& value) {
    if (value.empty() || value == FName) return;
    FName = value;
    FreeHandle();
    Changed();
}

int TFont::Size() const {
    return -MulDiv(FHeight, 72, FPixelsPerInch);
}

void TFont::SetSize(int value) {
    SetHeight(-MulDiv(value, FPixelsPerInch, 72));
}

void TFont::SetHeight(int value) {
    if (value == FHeight) return;
    FHeight = value;
    FreeHandle();
    Changed();
}

void TFont::SetStyle(TFontStyles value) {
    if (value == FStyle) return;
    FStyle = value;
    FreeHandle();
    Changed();
}

void TFont::SetColor(TColor value) {
    if (value == FColor) return;
    FColor = value;
    Changed();
}

void TFont::SetCharset(TFontCharset value) {
    if (value == FCharset) return;
    FCharset = value;
    FreeHandle();
    Changed();
}

void TFont::SetPitch(TFontPitch value) {
    if (value == FPitch) return;
    FPitch = value;
    FreeHandle();
    Changed();
}

LOGFONTW TFont::LogFont() const {
    LOGFONTW lf;
    lf.lfHeight = FHeight;
    lf.lfWeight = FStyle.Contains(fsBold) ? FW_BOLD : FW_NORMAL;
    lf.lfItalic = FStyle.Contains(fsItalic) ? 1 : 0;
    lf.lfUnderline = FStyle.Contains(fsUnderline) ? 1 : 0;
    lf.lfStrikeOut = FStyle.Contains(fsStrikeOut) ? 1 : 0;
    lf.lfCharSet = FCharset;
    lf.lfQuality = DEFAULT_QUALITY;
    lf.lfPitchAndFamily = FPitch == fpFixed      ? FIXED_PITCH
                          : FPitch == fpVariable ? VARIABLE_PITCH
                                                 : DEFAULT_PITCH;
    std::u16string face = Utf8ToUtf16(FName);
    size_t n = std::min<size_t>(face.size(), LF_FACESIZE - 1);
    std::copy_n(face.data(), n, lf.lfFaceName);
    lf.lfFaceName[n] = 0;
    return lf;
}

HFONT TFont::Handle() {
    if (!FHandle) {
        LOGFONTW lf = LogFont();
        FHandle = CreateFontIndirectW(lf);
        PurgeStale(FStale);
    }
    return FHandle;
}

void TFont::SetHandle(HFONT value) {
    LOGFONTW lf;
    if (!value || GetObjectW(GdiObj(value), sizeof(lf), &lf) == 0) return;
    std::u16string face;
    for (int i = 0; i < LF_FACESIZE && lf.lfFaceName[i]; ++i)
        face += lf.lfFaceName[i];
    FreeHandle();
    if (!face.empty()) FName = Utf16ToUtf8(face);
    FHeight = lf.lfHeight;
    FStyle.Clear();
    if (lf.lfWeight >= FW_SEMIBOLD) FStyle.Include(fsBold);
    if (lf.lfItalic) FStyle.Include(fsItalic);
    if (lf.lfUnderline) FStyle.Include(fsUnderline);
    if (lf.lfStrikeOut) FStyle.Include(fsStrikeOut);
    FCharset = lf.lfCharSet;
    uint8_t pitch = lf.lfPitchAndFamily & 3;
    FPitch = pitch == FIXED_PITCH ? fpFixed : pitch == VARIABLE_PITCH ? fpVariable : fpDefault;
    Changed();
}

// ---- TPen -----------------------------------------------------------------------------------

int PenModeToROP2(TPenMode mode) {
    static const int codes[] = {R2_BLACK,       R2_WHITE,      R2_NOP,         R2_NOT,
                                R2_COPYPEN,     R2_NOTCOPYPEN, R2_MERGEPENNOT, R2_MASKPENNOT,
                                R2_MERGENOTPEN, R2_MASKNOTPEN, R2_MERGEPEN,    R2_NOTMERGEPEN,
                                R2_MASKPEN,     R2_NOTMASKPEN, R2_XORPEN,      R2_NOTXORPEN};
    return codes[mode <= pmNotXor ? mode : pmCopy];
}

TPen::~TPen() {
    DeleteHandles(FHandle, FStale);
}

void TPen::FreeHandle() {
    RetireHandle(FHandle, FStale);
}

void TPen::Changed() {
    TGraphicsObject::Changed();
}

void TPen::Assign(TPersistent* source) {
    auto* src = dynamic_cast<TPen*>(source);
    if (!src) {
        TGraphicsObject::Assign(source);
        return;
    }
    if (src == this) return;
    bool handleSame = FColor == src->FColor && FWidth == src->FWidth && FStyle == src->FStyle;
    if (handleSame && FMode == src->FMode) return;
    if (!handleSame) FreeHandle();
    FColor = src->FColor;
    FWidth = src->FWidth;
    FStyle = src->FStyle;
    FMode = src->FMode;
    Changed();
}

void TPen::SetColor(TColor value) {
    if (value == FColor) return;
    FColor = value;
    FreeHandle();
    Changed();
}

void TPen::SetWidth(int value) {
    if (value < 0) value = 0;
    if (value == FWidth) return;
    FWidth = value;
    FreeHandle();
    Changed();
}

void TPen::SetStyle(TPenStyle value) {
    if (value == FStyle) return;
    FStyle = value;
    FreeHandle();
    Changed();
}

void TPen::SetMode(TPenMode value) {
    if (value == FMode) return;
    FMode = value;
    Changed();
}

HPEN TPen::Handle() {
    if (!FHandle) {
        static const int styles[] = {PS_SOLID,      PS_DASH, PS_DOT,        PS_DASHDOT,
                                     PS_DASHDOTDOT, PS_NULL, PS_INSIDEFRAME};
        LOGPEN lp;
        lp.lopnStyle = UINT(styles[FStyle]);
        lp.lopnWidth = TPoint(FWidth, 0);
        lp.lopnColor = ColorToRGB(FColor);
        FHandle = CreatePenIndirect(lp);
        PurgeStale(FStale);
    }
    return FHandle;
}

void TPen::SetHandle(HPEN value) {
    LOGPEN lp;
    if (!value || GetObjectW(GdiObj(value), sizeof(lp), &lp) == 0) return;
    FreeHandle();
    static const TPenStyle styles[] = {psSolid,      psDash,  psDot,        psDashDot,
                                       psDashDotDot, psClear, psInsideFrame};
    FStyle = lp.lopnStyle <= PS_INSIDEFRAME ? styles[lp.lopnStyle] : psSolid;
    FWidth = lp.lopnWidth.X;
    FColor = TColor(lp.lopnColor & 0xFFFFFF);
    Changed();
}

// ---- TBrush ---------------------------------------------------------------------------------

TBrush::~TBrush() {
    DeleteHandles(FHandle, FStale);
}

void TBrush::FreeHandle() {
    RetireHandle(FHandle, FStale);
}

void TBrush::Changed() {
    TGraphicsObject::Changed();
}

void TBrush::Assign(TPersistent* source) {
    auto* src = dynamic_cast<TBrush*>(source);
    if (!src) {
        TGraphicsObject::Assign(source);
        return;
    }
    if (src == this) return;
    FreeHandle();
    FColor = src->FColor;
    FStyle = src->FStyle;
    FBitmap = src->FBitmap;
    Changed();
}

void TBrush::SetColor(TColor value) {
    if (value == FColor && FStyle != bsClear) return;
    FColor = value;
    if (FStyle == bsClear) FStyle = bsSolid;
    FreeHandle();
    Changed();
}

void TBrush::SetStyle(TBrushStyle value) {
    if (value == FStyle) return;
    FStyle = value;
    FreeHandle();
    Changed();
}

void TBrush::SetBitmap(TBitmap* value) {
    if (value == FBitmap) return;
    FBitmap = value;
    FreeHandle();
    Changed();
}

HBRUSH TBrush::Handle() {
    if (!FHandle) {
        if (FBitmap && !FBitmap->Empty() && FBitmap->Monochrome()) {
            // A monochrome pattern paints its 0 bits in the text colour and its 1 bits in the
            // background colour of the context, as the canvas sets them.
            uint8_t rows[16] = {}; // word-aligned rows of 8 pixels
            int w = FBitmap->Width(), h = FBitmap->Height();
            for (int y = 0; y < 8; ++y) {
                const uint8_t* line = FBitmap->ScanLine(y % h);
                for (int x = 0; x < 8; ++x) {
                    int sx = x % w;
                    if (line[sx >> 3] & (0x80 >> (sx & 7))) rows[y * 2] |= uint8_t(0x80 >> x);
                }
            }
            HBITMAP mono = CreateBitmap(8, 8, 1, 1, rows);
            FHandle = CreatePatternBrush(mono);
            DeleteObject(GdiObj(mono));
        } else if (FBitmap && !FBitmap->Empty()) {
            FHandle = CreatePatternBrush(FBitmap->Handle());
        } else {
            LOGBRUSH lb;
            lb.lbColor = ColorToRGB(FColor);
            switch (FStyle) {
            case bsSolid:
                lb.lbStyle = BS_SOLID;
                break;
            case bsClear:
                lb.lbStyle = BS_HOLLOW;
                break;
            default:
                lb.lbStyle = BS_HATCHED;
                lb.lbHatch = uintptr_t(FStyle - bsHorizontal); // HS_ order
                break;
            }
            FHandle = CreateBrushIndirect(lb);
        }
        PurgeStale(FStale);
    }
    return FHandle;
}

void TBrush::SetHandle(HBRUSH value) {
    LOGBRUSH lb;
    if (!value || GetObjectW(GdiObj(value), sizeof(lb), &lb) == 0) return;
    FreeHandle();
    FBitmap = nullptr;
    FColor = TColor(lb.lbColor & 0xFFFFFF);
    if (lb.lbStyle == BS_HOLLOW)
        FStyle = bsClear;
    else if (lb.lbStyle == BS_HATCHED && lb.lbHatch <= HS_DIAGCROSS)
        FStyle = TBrushStyle(bsHorizontal + lb.lbHatch);
    else
        FStyle = bsSolid;
    Changed();
}

// ---- TCanvas --------------------------------------------------------------------------------

TCanvas::TCanvas()
    : FFont(std::make_unique<TFont>()), FPen(std::make_unique<TPen>()),
      FBrush(std::make_unique<TBrush>()) {
    FFont->OnChange = [this](TObject* s) { FontChanged(s); };
    FPen->OnChange = [this](TObject* s) { PenChanged(s); };
    FBrush->OnChange = [this](TObject* s) { BrushChanged(s); };
}

TCanvas::~TCanvas() {
    ReplaceHandle(nullptr, false);
    // The objects die before their handles could be selected anywhere again.
    FFont->OnChange = nullptr;
    FPen->OnChange = nullptr;
    FBrush->OnChange = nullptr;
}

void TCanvas::CreateHandle() {
    throw EInvalidOperation(SNoCanvasHandle);
}

void TCanvas::DeselectHandles() {
    if (FHandle && FState.ContainsAny({csFontValid, csPenValid, csBrushValid})) {
        SelectObject(FHandle, GetStockObject(BLACK_PEN));
        SelectObject(FHandle, GetStockObject(HOLLOW_BRUSH));
        SelectObject(FHandle, GetStockObject(SYSTEM_FONT));
    }
    FState -= TCanvasState{csFontValid, csPenValid, csBrushValid};
}

void TCanvas::ReplaceHandle(HDC value, bool owned) {
    if (FHandle == value) {
        FOwnsHandle = owned && value;
        return;
    }
    if (FHandle) {
        DeselectHandles();
        if (FOwnsHandle) DeleteDC(FHandle);
    }
    FHandle = value;
    FOwnsHandle = owned && value;
    FState.Clear();
    if (FHandle) {
        FState.Include(csHandleValid);
        // Point sizes follow the device: 10 points on a 600 dpi page are 83 pixels.
        int ppi = GetDeviceCaps(FHandle, LOGPIXELSY);
        if (ppi > 0) FFont->SetPixelsPerInch(ppi);
    }
}

void TCanvas::SetHandle(HDC value) {
    ReplaceHandle(value, false);
}

void TCanvas::SetOwnedHandle(HDC value) {
    ReplaceHandle(value, true);
}

HDC TCanvas::Handle() {
    Changing();
    RequiredState({csHandleValid, csFontValid, csPenValid, csBrushValid});
    return FHandle;
}

void TCanvas::RequiredState(TCanvasState required) {
    if (!FHandle) {
        CreateHandle();
        if (!FHandle) throw EInvalidOperation(SNoCanvasHandle);
        FState.Include(csHandleValid);
    }
    BeforeUse();
    TCanvasState needed = required - FState;
    if (needed.Empty()) return;
    if (needed.Contains(csFontValid)) CreateFont();
    if (needed.Contains(csPenValid)) CreatePen();
    if (needed.Contains(csBrushValid)) CreateBrush();
    FState |= needed;
}

void TCanvas::CreateFont() {
    SelectObject(FHandle, GdiObj(FFont->Handle()));
    SetTextColor(FHandle, ColorToRGB(FFont->Color()));
}

void TCanvas::CreatePen() {
    SelectObject(FHandle, GdiObj(FPen->Handle()));
    SetROP2(FHandle, PenModeToROP2(FPen->Mode()));
}

void TCanvas::CreateBrush() {
    SelectObject(FHandle, GdiObj(FBrush->Handle()));
    if (FBrush->Style() == bsSolid || FBrush->Bitmap()) {
        SetBkColor(FHandle, ColorToRGB(FBrush->Color()));
        SetBkMode(FHandle, OPAQUE);
    } else {
        // Hatches and clear brushes leave the background between their lines alone.
        SetBkColor(FHandle, ~ColorToRGB(FBrush->Color()) & 0xFFFFFF);
        SetBkMode(FHandle, TRANSPARENT);
    }
}

void TCanvas::FontChanged(TObject*) {
    if (FState.Contains(csFontValid)) {
        FState.Exclude(csFontValid);
        if (FHandle) SelectObject(FHandle, GetStockObject(SYSTEM_FONT));
    }
}

void TCanvas::PenChanged(TObject*) {
    if (FState.Contains(csPenValid)) {
        FState.Exclude(csPenValid);
        if (FHandle) SelectObject(FHandle, GetStockObject(BLACK_PEN));
    }
}

void TCanvas::BrushChanged(TObject*) {
    if (FState.Contains(csBrushValid)) {
        FState.Exclude(csBrushValid);
        if (FHandle) SelectObject(FHandle, GetStockObject(HOLLOW_BRUSH));
    }
}

void TCanvas::Refresh() {
    DeselectHandles();
}

void TCanvas::Changing() {
    if (OnChanging) OnChanging(this);
}

void TCanvas::Changed() {
    if (OnChange) OnChange(this);
}

TPoint TCanvas::PenPos() {
    RequiredState({csHandleValid});
    POINT p;
    GetCurrentPositionEx(FHandle, &p);
    return p;
}

void TCanvas::MoveTo(int x, int y) {
    RequiredState({csHandleValid});
    MoveToEx(FHandle, x, y, nullptr);
}

void TCanvas::LineTo(int x, int y) {
    Changing();
    RequiredState({csHandleValid, csPenValid, csBrushValid});
    ::epc::LineTo(FHandle, x, y);
    Changed();
}

void TCanvas::Polyline(const std::vector<TPoint>& points) {
    Polyline(points.data(), int(points.size()));
}

void TCanvas::Polyline(const TPoint* points, int count) {
    if (count <= 0) return;
    Changing();
    RequiredState({csHandleValid, csPenValid, csBrushValid});
    ::epc::Polyline(FHandle, points, count);
    Changed();
}

void TCanvas::Polygon(const std::vector<TPoint>& points) {
    Polygon(points.data(), int(points.size()));
}

void TCanvas::Polygon(const TPoint* points, int count) {
    if (count <= 0) return;
    Changing();
    RequiredState({csHandleValid, csPenValid, csBrushValid});
    ::epc::Polygon(FHandle, points, count);
    Changed();
}

void TCanvas::Rectangle(int x1, int y1, int x2, int y2) {
    Changing();
    RequiredState({csHandleValid, csPenValid, csBrushValid});
    ::epc::Rectangle(FHandle, x1, y1, x2, y2);
    Changed();
}

void TCanvas::RoundRect(int x1, int y1, int x2, int y2, int x3, int y3) {
    Changing();
    RequiredState({csHandleValid, csPenValid, csBrushValid});
    ::epc::RoundRect(FHandle, x1, y1, x2, y2, x3, y3);
    Changed();
}

void TCanvas::Ellipse(int x1, int y1, int x2, int y2) {
    Changing();
    RequiredState({csHandleValid, csPenValid, csBrushValid});
    ::epc::Ellipse(FHandle, x1, y1, x2, y2);
    Changed();
}

void TCanvas::FillRect(const TRect& r) {
    Changing();
    RequiredState({csHandleValid, csBrushValid});
    ::epc::FillRect(FHandle, &r, FBrush->Handle());
    Changed();
}

void TCanvas::FrameRect(const TRect& r) {
    Changing();
    RequiredState({csHandleValid, csBrushValid});
    ::epc::FrameRect(FHandle, &r, FBrush->Handle());
    Changed();
}

void TCanvas::DrawFocusRect(const TRect& r) {
    Changing();
    RequiredState({csHandleValid, csBrushValid});
    ::epc::DrawFocusRect(FHandle, &r);
    Changed();
}

void TCanvas::TextOut(int x, int y, const std::u16string& text) {
    Changing();
    RequiredState({csHandleValid, csFontValid, csBrushValid});
    ExtTextOutW(FHandle, x, y, FTextFlags, nullptr, text.data(), UINT(text.size()), nullptr);
    SIZE s;
    GetTextExtentPoint32W(FHandle, text.data(), int(text.size()), &s);
    MoveToEx(FHandle, x + s.cx, y, nullptr);
    Changed();
}

void TCanvas::TextOut(int x, int y, const std::string& text) {
    Changing();
    RequiredState({csHandleValid, csFontValid, csBrushValid});
    ExtTextOutA(FHandle, x, y, FTextFlags, nullptr, text.data(), UINT(text.size()), nullptr);
    SIZE s;
    GetTextExtentPoint32A(FHandle, text.data(), int(text.size()), &s);
    MoveToEx(FHandle, x + s.cx, y, nullptr);
    Changed();
}

void TCanvas::TextRect(const TRect& r, int x, int y, const std::u16string& text) {
    Changing();
    RequiredState({csHandleValid, csFontValid, csBrushValid});
    UINT options = ETO_CLIPPED | FTextFlags;
    if (FBrush->Style() != bsClear) options |= ETO_OPAQUE;
    ExtTextOutW(FHandle, x, y, options, &r, text.data(), UINT(text.size()), nullptr);
    Changed();
}

void TCanvas::TextRect(const TRect& r, int x, int y, const std::string& text) {
    Changing();
    RequiredState({csHandleValid, csFontValid, csBrushValid});
    UINT options = ETO_CLIPPED | FTextFlags;
    if (FBrush->Style() != bsClear) options |= ETO_OPAQUE;
    ExtTextOutA(FHandle, x, y, options, &r, text.data(), UINT(text.size()), nullptr);
    Changed();
}

TSize TCanvas::TextExtent(const std::u16string& text) {
    RequiredState({csHandleValid, csFontValid});
    SIZE s;
    GetTextExtentPoint32W(FHandle, text.data(), int(text.size()), &s);
    return s;
}

TSize TCanvas::TextExtent(const std::string& text) {
    RequiredState({csHandleValid, csFontValid});
    SIZE s;
    GetTextExtentPoint32A(FHandle, text.data(), int(text.size()), &s);
    return s;
}

TColor TCanvas::Pixels(int x, int y) {
    RequiredState({csHandleValid});
    COLORREF c = GetPixel(FHandle, x, y);
    return c == CLR_INVALID ? TColor(-1) : TColor(c & 0xFFFFFF);
}

void TCanvas::SetPixels(int x, int y, TColor value) {
    Changing();
    RequiredState({csHandleValid, csPenValid});
    SetPixel(FHandle, x, y, ColorToRGB(value));
    Changed();
}

void TCanvas::Draw(int x, int y, TGraphic* graphic) {
    if (!graphic || graphic->Empty()) return;
    Changing();
    RequiredState({csHandleValid});
    SetBkColor(FHandle, ColorToRGB(FBrush->Color()));
    graphic->Draw(this, Rect(x, y, x + graphic->Width(), y + graphic->Height()));
    Changed();
}

void TCanvas::StretchDraw(const TRect& r, TGraphic* graphic) {
    if (!graphic || graphic->Empty()) return;
    Changing();
    RequiredState({csHandleValid});
    graphic->Draw(this, r);
    Changed();
}

void TCanvas::CopyRect(const TRect& dest, TCanvas* canvas, const TRect& source) {
    if (!canvas) return;
    Changing();
    RequiredState({csHandleValid, csFontValid, csBrushValid});
    HDC src = canvas->Handle();
    StretchBlt(FHandle, dest.Left, dest.Top, dest.Width(), dest.Height(), src, source.Left,
               source.Top, source.Width(), source.Height(), FCopyMode);
    Changed();
}

void TCanvas::BrushCopy(const TRect& dest, TBitmap* bitmap, const TRect& source, TColor color) {
    if (!bitmap || bitmap->Empty()) return;
    // A private copy of the source part with the key colour painted by our brush.
    int w = source.Width(), h = source.Height();
    if (w <= 0 || h <= 0) return;
    TBitmap part(w, h, pf32bit);
    {
        HDC pdc = part.Canvas()->Handle();
        BitBlt(pdc, 0, 0, w, h, bitmap->Canvas()->Handle(), source.Left, source.Top, SRCCOPY);
    }
    COLORREF key = ColorToRGB(color);
    uint32_t keyPixel = (GetRValue(key) << 16) | (GetGValue(key) << 8) | GetBValue(key);
    TBitmap mask(w, h, pf32bit);
    uint32_t* pb = part.SurfaceBits();
    uint32_t* mb = mask.SurfaceBits();
    for (int i = 0; i < w * h; ++i) {
        bool isKey = (pb[i] & 0xFFFFFF) == keyPixel;
        mb[i] = isKey ? 0xFFFFFFFFu : 0xFF000000u;
        if (isKey) pb[i] = 0xFF000000u;
    }
    Changing();
    RequiredState({csHandleValid, csBrushValid});
    // Brush where the mask is white, the picture elsewhere.
    HDC mdc = mask.Canvas()->Handle();
    HDC pdc = part.Canvas()->Handle();
    if (FBrush->Style() != bsClear) {
        TBitmap fill(w, h, pf32bit);
        HDC fdc = fill.Canvas()->Handle();
        RECT all = Rect(0, 0, w, h);
        ::epc::FillRect(fdc, &all, FBrush->Handle());
        BitBlt(fdc, 0, 0, w, h, mdc, 0, 0, SRCAND);
        BitBlt(pdc, 0, 0, w, h, fdc, 0, 0, SRCPAINT);
        StretchBlt(FHandle, dest.Left, dest.Top, dest.Width(), dest.Height(), pdc, 0, 0, w, h,
                   SRCCOPY);
    } else {
        StretchBlt(FHandle, dest.Left, dest.Top, dest.Width(), dest.Height(), mdc, 0, 0, w, h,
                   SRCAND);
        StretchBlt(FHandle, dest.Left, dest.Top, dest.Width(), dest.Height(), pdc, 0, 0, w, h,
                   SRCPAINT);
    }
    Changed();
}

TRect TCanvas::ClipRect() {
    RequiredState({csHandleValid});
    RECT r;
    GetClipBox(FHandle, &r);
    return r;
}

void TCanvas::Lock() {
    FLock.lock();
    ++FLockCount;
}

bool TCanvas::TryLock() {
    if (!FLock.try_lock()) return false;
    ++FLockCount;
    return true;
}

void TCanvas::Unlock() {
    if (FLockCount <= 0) return;
    --FLockCount;
    FLock.unlock();
}

int CanvasPixelsPerInch(TCanvas* canvas) {
    if (!canvas) return ScreenPixelsPerInch;
    int ppi = GetDeviceCaps(canvas->Handle(), LOGPIXELSY);
    return ppi > 0 ? ppi : ScreenPixelsPerInch;
}

// ---- TGraphic -------------------------------------------------------------------------------

void TGraphic::SetTransparent(bool value) {
    if (value == FTransparent) return;
    FTransparent = value;
    Changed(this);
}

void TGraphic::SetModified(bool value) {
    if (value)
        Changed(this);
    else
        FModified = false;
}

void TGraphic::Changed(TObject*) {
    FModified = true;
    if (OnChange) OnChange(this);
}

void TGraphic::LoadFromFile(const std::string& fileName) {
    TFileStream stream(fileName, fmOpenRead | fmShareDenyWrite);
    LoadFromStream(stream);
}

void TGraphic::SaveToFile(const std::string& fileName) {
    TFileStream stream(fileName, fmCreate);
    SaveToStream(stream);
}

std::string TGraphic::SaveToString() {
    TMemoryStream stream;
    SaveToStream(stream);
    return stream.DataString();
}

void TGraphic::LoadFromString(const std::string& data) {
    TStringStream stream(data);
    LoadFromStream(stream);
}

std::unique_ptr<TGraphic> TGraphic::CreateNew() const {
    return CreateGraphicByClassName(ClassName());
}

bool TGraphic::Equals(TGraphic* other) {
    if (!other) return false;
    if (other == this) return true;
    if (other->ClassName() != ClassName()) return false;
    if (Empty() || other->Empty()) return Empty() && other->Empty();
    return SaveToString() == other->SaveToString();
}

// ---- TPicture -------------------------------------------------------------------------------

TPicture::TPicture() = default;

TPicture::~TPicture() = default;

void TPicture::Changed(TObject*) {
    if (OnChange) OnChange(this);
}

void TPicture::Attach(std::unique_ptr<TGraphic> graphic) {
    FGraphic = std::move(graphic);
    if (FGraphic) FGraphic->OnChange = [this](TObject* s) { Changed(s); };
    Changed(this);
}

void TPicture::TakeGraphic(std::unique_ptr<TGraphic> value) {
    Attach(std::move(value));
}

void TPicture::SetGraphic(TGraphic* value) {
    if (!value) {
        Attach(nullptr);
        return;
    }
    if (value == FGraphic.get()) return;
    std::unique_ptr<TGraphic> copy = value->CreateNew();
    if (!copy) {
        throw EConvertError("Cannot assign a " + value->ClassName() + " to a " + ClassName());
    }
    copy->Assign(value);
    Attach(std::move(copy));
}

void TPicture::SetBitmap(TBitmap* value) {
    SetGraphic(value);
}

void TPicture::Assign(TPersistent* source) {
    if (!source) {
        SetGraphic(nullptr);
    } else if (auto* p = dynamic_cast<TPicture*>(source)) {
        if (p != this) SetGraphic(p->Graphic());
    } else if (auto* g = dynamic_cast<TGraphic*>(source)) {
        SetGraphic(g);
    } else {
        TPersistent::Assign(source);
    }
}

void TPicture::AssignTo(TPersistent* dest) {
    if (auto* g = dynamic_cast<TGraphic*>(dest)) {
        if (FGraphic) {
            g->Assign(FGraphic.get());
            return;
        }
    }
    TPersistent::AssignTo(dest);
}

template <typename T> T* TPicture::ForceType() {
    if (auto* t = dynamic_cast<T*>(FGraphic.get())) return t;
    Attach(std::make_unique<T>());
    return static_cast<T*>(FGraphic.get());
}

TBitmap* TPicture::Bitmap() {
    return ForceType<TBitmap>();
}

TIcon* TPicture::Icon() {
    return ForceType<TIcon>();
}

TMetafile* TPicture::Metafile() {
    return ForceType<TMetafile>();
}

int TPicture::Width() const {
    return FGraphic ? FGraphic->Width() : 0;
}

int TPicture::Height() const {
    return FGraphic ? FGraphic->Height() : 0;
}

namespace {
std::string FileExtension(const std::string& fileName) {
    size_t dot = fileName.find_last_of('.');
    size_t slash = fileName.find_last_of("/\\");
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
    return fileName.substr(dot + 1);
}
} // namespace

std::string ReadStreamRest(TStream& stream) {
    int64_t rest = stream.Size() - stream.Position();
    std::string data(size_t(std::max<int64_t>(rest, 0)), '\0');
    if (rest > 0) stream.ReadBuffer(data.data(), rest);
    return data;
}

void TPicture::LoadFromStream(TStream& stream) {
    TMemoryStream data;
    int64_t rest = stream.Size() - stream.Position();
    if (rest > 0) data.CopyFrom(stream, rest);
    std::string className = GraphicClassForData(data.Memory(), size_t(data.Size()));
    if (className.empty()) throw EInvalidGraphic(SUnknownPictureFormat);
    std::unique_ptr<TGraphic> graphic = CreateGraphicByClassName(className);
    if (!graphic) throw EInvalidGraphic(SUnknownPictureFormat);
    data.SetPosition(0);
    graphic->LoadFromStream(data);
    Attach(std::move(graphic));
}

void TPicture::LoadFromFile(const std::string& fileName) {
    TMemoryStream data;
    data.LoadFromFile(fileName);
    std::string className = GraphicClassForData(data.Memory(), size_t(data.Size()));
    if (className.empty()) className = FindGraphicClassByExtension(FileExtension(fileName));
    if (className.empty()) {
        throw EInvalidGraphic("Unknown picture file extension (." + FileExtension(fileName) + ")");
    }
    std::unique_ptr<TGraphic> graphic = CreateGraphicByClassName(className);
    if (!graphic) throw EInvalidGraphic(SUnknownPictureFormat);
    data.SetPosition(0);
    graphic->LoadFromStream(data);
    Attach(std::move(graphic));
}

void TPicture::SaveToFile(const std::string& fileName) {
    if (FGraphic) FGraphic->SaveToFile(fileName);
}

void TPicture::SaveToStream(TStream& stream) {
    if (FGraphic) FGraphic->SaveToStream(stream);
}

void TPicture::ReadData(TStream& stream) {
    uint8_t length = stream.ReadByte();
    std::string className(length, '\0');
    if (length) stream.ReadBuffer(className.data(), length);
    if (className.empty()) {
        Attach(nullptr);
        return;
    }
    std::unique_ptr<TGraphic> graphic = CreateGraphicByClassName(className);
    if (!graphic) throw EInvalidGraphic("Unknown picture class " + className);
    graphic->ReadData(stream);
    Attach(std::move(graphic));
}

void TPicture::WriteData(TStream& stream) {
    std::string className = FGraphic ? FGraphic->ClassName() : std::string();
    if (className.size() > 255) className.resize(255);
    stream.WriteByte(uint8_t(className.size()));
    stream.WriteString(className);
    if (FGraphic) FGraphic->WriteData(stream);
}

} // namespace epc
