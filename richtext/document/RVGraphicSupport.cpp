// Everything of the document that draws or measures: picture storage, canvas helpers, the
// style sheet's default drawing, and the items that paint themselves.

#include <algorithm>

#include "platform/core/Arithmetic.h"
#include "platform/core/Strings.h"
#include "platform/gdi/Gdi.h"
#include "platform/graphics/Bitmap.h"
#include "platform/graphics/Graphics.h"
#include "richtext/document/RVData.h"
#include "richtext/document/RVGraphicSupport.h"
#include "richtext/document/RVHtmlWriter.h"
#include "richtext/document/RVUni.h"

namespace epc {

// ---------------------------------------------------------------- pictures

std::unique_ptr<TGraphic> RVCopyGraphic(TGraphic& graphic) {
    std::unique_ptr<TGraphic> copy = CreateGraphicByClassName(graphic.ClassName());
    if (copy) copy->LoadFromString(graphic.SaveToString());
    return copy;
}

std::string RVSaveGraphicStream(TGraphic& graphic) {
    TMemoryStream ms;
    RVSaveGraphicStream(ms, graphic);
    return ms.DataString();
}

void RVSaveGraphicStream(TStream& stream, TGraphic& graphic) {
    graphic.SaveToStream(stream);
}

std::unique_ptr<TGraphic> RVLoadGraphicStream(const std::string& className, TStream& stream) {
    std::unique_ptr<TGraphic> graphic = CreateGraphicByClassName(className);
    if (graphic) graphic->LoadFromStream(stream);
    return graphic;
}

// ---------------------------------------------------------------- text on a canvas

int GetTextWidth(TCanvas* canvas, const std::string& text, bool unicode) {
    SIZE sz{0, 0};
    if (unicode) {
        std::u16string w = BytesToWide(std::string_view(text).substr(0, text.size() & ~size_t(1)));
        GetTextExtentPoint32W(canvas->Handle(), w.data(), int(w.size()), &sz);
    } else {
        GetTextExtentPoint32A(canvas->Handle(), text.data(), int(text.size()), &sz);
    }
    return sz.cx;
}

int MeasureTextFit(TCanvas* canvas, const std::string& text, bool unicode, int width,
                   std::vector<int>* extents) {
    int fit = 0;
    SIZE sz{0, 0};
    if (unicode) {
        std::u16string w = BytesToWide(std::string_view(text).substr(0, text.size() & ~size_t(1)));
        std::vector<int> partial(w.size() + 1);
        GetTextExtentExPointW(canvas->Handle(), w.data(), int(w.size()), width, &fit,
                              partial.data(), &sz);
        if (extents) extents->assign(partial.begin(), partial.begin() + long(w.size()));
    } else {
        std::vector<int> partial(text.size() + 1);
        GetTextExtentExPointA(canvas->Handle(), text.data(), int(text.size()), width, &fit,
                              partial.data(), &sz);
        if (extents) extents->assign(partial.begin(), partial.begin() + long(text.size()));
    }
    return fit;
}

int MeasureTextFitBuf(TCanvas* canvas, const char* text, int length, int maxWidth, bool unicode) {
    if (length <= 0) return 0;
    int fit = 0;
    SIZE sz{0, 0};
    if (unicode) {
        std::u16string w = BytesToWide(std::string_view(text, size_t(length) * 2));
        GetTextExtentExPointW(canvas->Handle(), w.data(), length, maxWidth, &fit, nullptr, &sz);
    } else {
        GetTextExtentExPointA(canvas->Handle(), text, length, maxWidth, &fit, nullptr, &sz);
    }
    return fit;
}

namespace {

// The item's text as UTF-16, one unit per character of the item; empty when the characters
// of an 8-bit text do not map one to one.
std::u16string PlacementText(const std::string& text, bool unicode) {
    if (unicode) return BytesToWide(std::string_view(text).substr(0, text.size() & ~size_t(1)));
    std::u16string w = AnsiToWide(text);
    return w.size() == text.size() ? w : std::u16string();
}

// Character placement with the reading order of a BiDi mode; the context's own order is put
// back afterwards.
struct TPlacement {
    std::vector<int> Caret, Dx;
    std::vector<char> Class;
};

// A text alignment with the reading order of a BiDi mode.
UINT WithReadingOrder(UINT align, TRVBiDiMode bidiMode) {
    return bidiMode == TRVBiDiMode::rvbdRightToLeft ? align | TA_RTLREADING
                                                    : align & ~UINT(TA_RTLREADING);
}

bool Place(HDC dc, const std::u16string& w, TRVBiDiMode bidiMode, TPlacement& p) {
    const int n = int(w.size());
    p.Caret.assign(size_t(n), 0);
    p.Dx.assign(size_t(n), 0);
    p.Class.assign(size_t(n), GCPCLASS_LATIN);
    GCP_RESULTSW r;
    r.lpCaretPos = p.Caret.data();
    r.lpDx = p.Dx.data();
    r.lpClass = p.Class.data();
    r.nGlyphs = UINT(n);
    const UINT align = SetTextAlign(dc, WithReadingOrder(GetTextAlign(dc), bidiMode));
    const DWORD placed = GetCharacterPlacementW(dc, w.data(), n, 0, &r, GCP_REORDER);
    SetTextAlign(dc, align);
    return placed != 0;
}

// The x span a character covers: from its leading edge against its reading direction.
void CharSpan(const TPlacement& p, int k, int& left, int& right) {
    const bool rtl = p.Class[size_t(k)] == GCPCLASS_HEBREW;
    left = rtl ? p.Caret[size_t(k)] - p.Dx[size_t(k)] : p.Caret[size_t(k)];
    right = left + p.Dx[size_t(k)];
}

} // namespace

bool GetCharCaretPositions(TCanvas* canvas, const std::string& text, bool unicode,
                           TRVBiDiMode bidiMode, std::vector<int>& positions) {
    if (!canvas) return false;
    const std::u16string w = PlacementText(text, unicode);
    TPlacement p;
    if (w.empty() || !Place(canvas->Handle(), w, bidiMode, p)) return false;
    positions = p.Caret;
    // After the last character: its trailing edge (a zero-width character at the end stands
    // where the character before it ends).
    int k = int(w.size()) - 1;
    while (k > 0 && p.Dx[size_t(k)] == 0)
        --k;
    int left, right;
    CharSpan(p, k, left, right);
    positions.push_back(p.Class[size_t(k)] == GCPCLASS_HEBREW ? left : right);
    return true;
}

bool TryDrawTextByPlacement(bool flag, TCanvas* canvas, const std::string& text, bool unicode,
                            int x, int y, int first, int count, int height, TRVBiDiMode bidiMode) {
    if (!flag || !canvas || count <= 0) return false;
    const std::u16string w = PlacementText(text, unicode);
    TPlacement p;
    if (w.empty() || first < 0 || first + count > int(w.size())) return false;
    HDC dc = canvas->Handle();
    if (!Place(dc, w, bidiMode, p)) return false;
    // The characters' spans, joined where they touch: reordering may scatter them.
    std::vector<std::pair<int, int>> spans;
    for (int k = first; k < first + count; ++k) {
        int left, right;
        CharSpan(p, k, left, right);
        if (right > left) spans.emplace_back(left, right);
    }
    std::sort(spans.begin(), spans.end());
    std::vector<std::pair<int, int>> joined;
    for (const auto& s : spans) {
        if (!joined.empty() && s.first <= joined.back().second)
            joined.back().second = std::max(joined.back().second, s.second);
        else
            joined.push_back(s);
    }
    const bool opaque = canvas->Brush()->Style() != bsClear;
    UINT options = ETO_CLIPPED | (bidiMode == TRVBiDiMode::rvbdRightToLeft ? ETO_RTLREADING : 0u);
    for (const auto& [left, right] : joined) {
        const RECT r(x + left, y, x + right, y + height);
        if (opaque) canvas->FillRect(TRect{r.Left, r.Top, r.Right, r.Bottom});
        const UINT align = SetTextAlign(dc, GetTextAlign(dc) & ~UINT(TA_UPDATECP));
        const int bkMode = SetBkMode(dc, TRANSPARENT);
        ExtTextOutW(dc, x, y, options, &r, w.data(), UINT(w.size()), nullptr);
        SetBkMode(dc, bkMode);
        SetTextAlign(dc, align);
    }
    if (opaque) canvas->Brush()->SetStyle(bsClear);
    return true;
}

void SetReadingOrder(TCanvas* canvas, TRVBiDiMode bidiMode) {
    HDC dc = canvas->Handle();
    SetTextAlign(dc, WithReadingOrder(GetTextAlign(dc), bidiMode));
}

// ---------------------------------------------------------------- devices

void GetScreenAndDeviceResolution(TRVResolutionInfo& info, TCanvas* canvas) {
    HDC screen = GetDC(nullptr);
    info.ScreenResX = GetDeviceCaps(screen, LOGPIXELSX);
    info.ScreenResY = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    if (canvas) {
        info.DeviceResX = GetDeviceCaps(canvas->Handle(), LOGPIXELSX);
        info.DeviceResY = GetDeviceCaps(canvas->Handle(), LOGPIXELSY);
    } else {
        info.DeviceResX = info.ScreenResX;
        info.DeviceResY = info.ScreenResY;
    }
    // A device that reports no resolution is taken as the screen.
    if (info.ScreenResX <= 0) info.ScreenResX = 96;
    if (info.ScreenResY <= 0) info.ScreenResY = 96;
    if (info.DeviceResX <= 0) info.DeviceResX = info.ScreenResX;
    if (info.DeviceResY <= 0) info.DeviceResY = info.ScreenResY;
}

int DeviceToScreenX(int value, const TRVResolutionInfo& info) {
    return info.Scaling().XToScreen(value);
}

int DeviceToScreenY(int value, const TRVResolutionInfo& info) {
    return info.Scaling().YToScreen(value);
}

void DeviceRectToScreen(TRect& r, const TRVScreenAndDevice& sad) {
    r.Left = sad.XToScreen(r.Left);
    r.Right = sad.XToScreen(r.Right);
    r.Top = sad.YToScreen(r.Top);
    r.Bottom = sad.YToScreen(r.Bottom);
}

void DrawGraphicForDevice(TCanvas* canvas, int x, int y, TGraphic* graphic,
                          const TRVResolutionInfo& info, int width, int height) {
    if (!canvas || !graphic || graphic->Empty()) return;
    if (width < 0) width = graphic->Width();
    if (height < 0) height = graphic->Height();
    int w = info.Scaling().XToDevice(width);
    int h = info.Scaling().YToDevice(height);
    if (w <= 0 || h <= 0) return;
    if (auto* bmp = dynamic_cast<TBitmap*>(graphic)) {
        HDC dc = canvas->Handle();
        BITMAPINFO bi{};
        bi.bmiHeader.biWidth = bmp->Width();
        bi.bmiHeader.biHeight = -bmp->Height();
        bi.bmiHeader.biBitCount = 32;
        HPALETTE pal = CreateHalftonePalette(dc);
        HPALETTE oldPal = SelectPalette(dc, pal, 0);
        RealizePalette(dc);
        int oldMode = SetStretchBltMode(dc, HALFTONE);
        StretchDIBits(dc, x, y, w, h, 0, 0, bmp->Width(), bmp->Height(), bmp->SurfaceBits(), &bi,
                      DIB_RGB_COLORS, SRCCOPY);
        SetStretchBltMode(dc, oldMode);
        SelectPalette(dc, oldPal, 0);
        DeleteObject(pal);
        return;
    }
    canvas->StretchDraw(TRect{x, y, x + w, y + h}, graphic);
}

// ---------------------------------------------------------------- style sheet drawing

namespace {

TFontStyles ToFontStyles(TRVFontStyles s) {
    TFontStyles r;
    if (s.Contains(TRVFontStyle::rvfsBold)) r.Include(fsBold);
    if (s.Contains(TRVFontStyle::rvfsItalic)) r.Include(fsItalic);
    if (s.Contains(TRVFontStyle::rvfsUnderline)) r.Include(fsUnderline);
    if (s.Contains(TRVFontStyle::rvfsStrikeOut)) r.Include(fsStrikeOut);
    return r;
}

} // namespace

void TRVStyle::ApplyStyle(TCanvas* canvas, int styleNo, TRVBiDiMode bidiMode) {
    bool doDefault = true;
    if (OnApplyStyle) OnApplyStyle(this, canvas, styleNo, doDefault);
    if (!doDefault || !canvas) return;
    const TFontInfo& f = TextStyles[styleNo];
    TFont* font = canvas->Font();
    font->BeginUpdate();
    font->SetName(f.FontName);
    font->SetSize(f.Size);
    font->SetStyle(ToFontStyles(f.Style));
    font->SetCharset(TFontCharset(f.Charset));
    font->SetColor(f.Color);
    font->EndUpdate();
    HDC dc = canvas->Handle();
    SetTextCharacterExtra(dc, f.CharSpacing);
    SetTextAlign(dc, WithReadingOrder(GetTextAlign(dc), bidiMode));
}

namespace {

void ApplyFontInfo(TCanvas* canvas, const TFontInfo& f) {
    TFont* font = canvas->Font();
    font->BeginUpdate();
    font->SetName(f.FontName);
    font->SetSize(f.Size);
    font->SetStyle(ToFontStyles(f.Style));
    font->SetCharset(TFontCharset(f.Charset));
    font->SetColor(f.Color);
    font->EndUpdate();
}

} // namespace

// ---------------------------------------------------------------- list markers

void TRVMarkerItemInfo::AdjustToDocWidth(int, TRVDrawLineInfo*, bool, int&, int&,
                                         const TRVScreenAndDevice* sad, TCustomRVData* rvData,
                                         TCanvas* canvas, bool) {
    FBoxWidth = FBoxHeight = FDescent = 0;
    TRVListLevel* level = GetLevelInfo(rvData ? rvData->GetRVStyle() : nullptr);
    if (!canvas || !level) return;
    ApplyFontInfo(canvas, level->Font);
    TEXTMETRICW tm{};
    GetTextMetricsW(canvas->Handle(), &tm);
    SIZE size{0, 0};
    GetTextExtentPoint32A(canvas->Handle(), MarkerText.data(), int(MarkerText.size()), &size);
    // The layout scales screen sizes to its canvas: measured sizes go back to the screen.
    const TRVScreenAndDevice scaling = sad ? *sad : TRVScreenAndDevice{};
    FBoxWidth = scaling.XToScreen(size.cx);
    FBoxHeight = scaling.YToScreen(tm.tmHeight);
    FDescent = scaling.YToScreen(tm.tmDescent);
}

void TRVMarkerItemInfo::Paint(int x, int y, TCanvas* canvas, int, TRVStyle* style,
                              TRVDrawLineInfo*) {
    TRVListLevel* level = GetLevelInfo(style);
    if (!canvas || !level || MarkerText.empty()) return;
    ApplyFontInfo(canvas, level->Font);
    canvas->Brush()->SetStyle(bsClear);
    canvas->TextOut(x, y, MarkerText);
}

// The layout measured the marker on the printer canvas: its font gives the printer's size. Its
// box went through screen pixels and lost their rounding, so the text is set on the line's
// baseline (where the layout put the box's descent) rather than at the box's top.
void TRVMarkerItemInfo::Print(TCanvas* canvas, int x, int y, bool, bool,
                              const TRVScreenAndDevice* sad, TRVColorMode colorMode, int,
                              TRVDrawLineInfo* dli, TCustomRVData* rvData) {
    TRVListLevel* level = GetLevelInfo(rvData ? rvData->GetRVStyle() : nullptr);
    if (!canvas || !level || MarkerText.empty()) return;
    ApplyFontInfo(canvas, level->Font);
    canvas->Font()->SetColor(ApplyColorModeToTextColor(level->Font.Color, colorMode));
    canvas->Brush()->SetStyle(bsClear);
    if (!dli) {
        canvas->TextOut(x, y, MarkerText);
        return;
    }
    const int descent = sad ? sad->YToDevice(FDescent) : FDescent;
    const HDC dc = canvas->Handle();
    const UINT oldAlign = SetTextAlign(dc, TA_LEFT | TA_BASELINE);
    canvas->TextOut(x, y + dli->Height - descent, MarkerText);
    SetTextAlign(dc, oldAlign);
}

void TRVStyle::ApplyStyleColor(TCanvas* canvas, int styleNo, TRVTextDrawStates drawState,
                               bool printing, TRVColorMode colorMode) {
    bool doDefault = true;
    if (OnApplyStyleColor) OnApplyStyleColor(this, canvas, styleNo, drawState, doDefault);
    if (!doDefault || !canvas) return;
    const TFontInfo& f = TextStyles[styleNo];
    TColor text = f.Color, back = f.BackColor;
    if (drawState.Contains(TRVTextDrawState::rvtsSelected)) {
        // Without the focus the selection shows in the unfocused colours.
        const bool focused = drawState.Contains(TRVTextDrawState::rvtsControlFocused);
        text = focused ? SelTextColor : InactiveSelTextColor;
        back = focused ? SelColor : InactiveSelColor;
    } else if (drawState.Contains(TRVTextDrawState::rvtsHover)) {
        if (f.HoverColor != clNone) text = f.HoverColor;
        if (f.HoverBackColor != clNone) back = f.HoverBackColor;
    }
    if (printing) {
        text = ApplyColorModeToTextColor(text, colorMode);
        back = ApplyColorModeToBackColor(back, colorMode);
    }
    canvas->Font()->SetColor(text);
    if (back == clNone) {
        canvas->Brush()->SetStyle(bsClear);
    } else {
        canvas->Brush()->SetStyle(bsSolid);
        canvas->Brush()->SetColor(back);
    }
}

void TRVStyle::DrawStyleText(const std::string& s, TCanvas* canvas, int itemNo, int x, int y,
                             int width, int height, int styleNo, TCustomRVData* rvData,
                             TRVTextDrawStates drawState, bool printing, bool preview,
                             TRVColorMode colorMode, TRVBiDiMode, int spaceBefore) {
    const TFontInfo& f = TextStyles[styleNo];
    uint32_t cp = rvData ? rvData->CodePageOfStyle(styleNo) : DefCodePage;
    std::string shown = ApplyAllCaps(s, f.Unicode, f.AllCaps, cp);
    bool doDefault = true;
    if (OnDrawStyleText)
        OnDrawStyleText(this, shown, canvas, itemNo, x, y, width, height, styleNo, rvData,
                        drawState, printing, preview, colorMode, doDefault);
    if (!doDefault || !canvas) return;
    // A run of unknown width (0) is drawn opaque on the brush colour instead; the justification
    // space in front of it is filled all the same.
    if (canvas->Brush()->Style() != bsClear && width > 0) {
        canvas->FillRect(TRect{x, y, x + width, y + height});
        canvas->Brush()->SetStyle(bsClear);
    } else if (canvas->Brush()->Style() != bsClear && spaceBefore > 0) {
        canvas->FillRect(TRect{x, y, x + spaceBefore, y + height});
    }
    x += spaceBefore;
    if (f.Unicode)
        canvas->TextOut(x, y,
                        BytesToWide(std::string_view(shown).substr(0, shown.size() & ~size_t(1))));
    else
        canvas->TextOut(x, y, shown);
}

void TRVStyle::DrawTextBack(TCanvas* canvas, int itemNo, int styleNo, TCustomRVData* rvData,
                            int left, int top, int width, int height, TRVTextDrawStates drawState) {
    bool doDefault = true;
    if (OnDrawTextBack)
        OnDrawTextBack(this, canvas, itemNo, styleNo, rvData, left, top, width, height, drawState,
                       doDefault);
}

void TRVStyle::DrawParaBack(TCanvas* canvas, int paraNo, const TRect& rect, bool printing,
                            TRVColorMode colorMode, const TRVScreenAndDevice* sad) {
    bool doDefault = true;
    if (OnDrawParaBack) OnDrawParaBack(this, canvas, paraNo, rect, doDefault);
    if (!doDefault || !canvas) return;
    ParaStyles[paraNo].Background.Draw(rect, canvas, printing, colorMode, sad);
}

void TRVStyle::DrawCheckpoint(TCanvas* canvas, int x, int y, int itemNo, int xShift,
                              bool raiseEvent, TControl* control) {
    bool doDefault = true;
    if (OnDrawCheckpoint)
        OnDrawCheckpoint(this, canvas, x, y, itemNo, xShift, raiseEvent, control, doDefault);
    if (!doDefault || !canvas) return;
    TColor color = raiseEvent ? CheckpointEvColor : CheckpointColor;
    canvas->Pen()->SetColor(color);
    canvas->Pen()->SetStyle(psSolid);
    canvas->Pen()->SetWidth(1);
    canvas->Brush()->SetStyle(bsSolid);
    canvas->Brush()->SetColor(color);
    if (itemNo != -1) canvas->Ellipse(x - 2, y - 2, x + 2, y + 2);
    // The dotted line runs from the document's left edge to the checkpoint.
    canvas->Pen()->SetStyle(psDot);
    canvas->Brush()->SetStyle(bsClear);
    canvas->MoveTo(-xShift, y);
    canvas->LineTo(x, y);
    canvas->Pen()->SetStyle(psSolid);
}

void TRVStyle::DrawPageBreak(TCanvas* canvas, int y, int xShift, TRVPageBreakType type,
                             TControl* control, int clientWidth) {
    bool doDefault = true;
    if (OnDrawPageBreak) OnDrawPageBreak(this, canvas, y, xShift, type, control, doDefault);
    if (!doDefault || !canvas) return;
    TColor color = type == TRVPageBreakType::rvpbPageBreak ? PageBreakColor : SoftPageBreakColor;
    int end = clientWidth - 8;
    canvas->Pen()->SetColor(color);
    canvas->Pen()->SetStyle(psSolid);
    canvas->Pen()->SetWidth(1);
    canvas->MoveTo(-xShift, y);
    canvas->LineTo(end, y);
    canvas->Brush()->SetStyle(bsSolid);
    canvas->Brush()->SetColor(color);
    canvas->Polygon(std::vector<TPoint>{{end, y - 4}, {end + 6, y}, {end, y + 4}});
}

void TRVBorder::Draw(TRect rect, TCanvas* canvas, const TRVScreenAndDevice* sad) const {
    if (Style == TRVBorderStyle::rvbNone || !canvas) return;
    auto sx = [&](int v) { return sad ? sad->XToDevice(v) : v; };
    auto sy = [&](int v) { return sad ? sad->YToDevice(v) : v; };
    rect.Left -= sx(BorderOffsets.Left);
    rect.Top -= sy(BorderOffsets.Top);
    rect.Right += sx(BorderOffsets.Right);
    rect.Bottom += sy(BorderOffsets.Bottom);
    int lines =
        Style == TRVBorderStyle::rvbDouble                                                    ? 2
        : Style == TRVBorderStyle::rvbTriple                                                  ? 3
        : Style == TRVBorderStyle::rvbThickInside || Style == TRVBorderStyle::rvbThickOutside ? 2
                                                                                              : 1;
    canvas->Pen()->SetColor(Color);
    canvas->Pen()->SetStyle(psSolid);
    int offset = 0;
    for (int k = 0; k < lines; ++k) {
        int w = std::max(Width, 1);
        if ((Style == TRVBorderStyle::rvbThickInside && k == 1) ||
            (Style == TRVBorderStyle::rvbThickOutside && k == 0))
            w = std::max(Width * 2, 2);
        w = std::max(sy(w), 1);
        canvas->Pen()->SetWidth(w);
        TRect r{rect.Left + offset, rect.Top + offset, rect.Right - offset, rect.Bottom - offset};
        if (VisibleBorders.Left) {
            canvas->MoveTo(r.Left, r.Top);
            canvas->LineTo(r.Left, r.Bottom);
        }
        if (VisibleBorders.Top) {
            canvas->MoveTo(r.Left, r.Top);
            canvas->LineTo(r.Right, r.Top);
        }
        if (VisibleBorders.Right) {
            canvas->MoveTo(r.Right - 1, r.Top);
            canvas->LineTo(r.Right - 1, r.Bottom);
        }
        if (VisibleBorders.Bottom) {
            canvas->MoveTo(r.Left, r.Bottom - 1);
            canvas->LineTo(r.Right, r.Bottom - 1);
        }
        offset += w + sy(std::max(InternalWidth, 0));
    }
    canvas->Pen()->SetWidth(1);
}

void TRVBackgroundRect::Draw(TRect rect, TCanvas* canvas, bool printing, TRVColorMode colorMode,
                             const TRVScreenAndDevice* sad) const {
    if (Color == clNone || !canvas) return;
    if (sad)
        ExpandRectScaled(rect, sad->ScreenPPIX, sad->DevicePPIX);
    else
        ExpandRect(rect);
    TColor c = printing ? ApplyColorModeToBackColor(Color, colorMode) : Color;
    canvas->Brush()->SetStyle(bsSolid);
    canvas->Brush()->SetColor(c);
    canvas->FillRect(rect);
}

// ---------------------------------------------------------------- items that paint

void TRVBreakItemInfo::PaintFullWidth(int left, int right, int top, TCanvas* canvas, int,
                                      TRVStyle* style, const TRect&, TRVDrawLineInfo* dli) {
    if (!canvas) return;
    TColor color = Color;
    if (color == clNone) color = style ? style->TextStyles[0].Color : clWindowText;
    int y = top + (dli ? dli->Height / 2 : 5);
    int w = std::max<int>(LineWidth, 1);
    canvas->Pen()->SetColor(color);
    canvas->Pen()->SetWidth(w);
    switch (Style) {
    case TRVBreakStyle::rvbsDotted:
        canvas->Pen()->SetStyle(psDot);
        break;
    case TRVBreakStyle::rvbsDashed:
        canvas->Pen()->SetStyle(psDash);
        break;
    default:
        canvas->Pen()->SetStyle(psSolid);
    }
    if (Style == TRVBreakStyle::rvbsRectangle) {
        canvas->Pen()->SetWidth(1);
        canvas->Brush()->SetStyle(bsClear);
        canvas->Rectangle(left, y - w, right, y + w + 1);
    } else if (Style == TRVBreakStyle::rvbs3d) {
        canvas->Pen()->SetWidth(1);
        canvas->Pen()->SetColor(clBtnShadow);
        canvas->MoveTo(left, y);
        canvas->LineTo(right, y);
        canvas->Pen()->SetColor(clBtnHighlight);
        canvas->MoveTo(left, y + 1);
        canvas->LineTo(right, y + 1);
    } else {
        canvas->MoveTo(left, y);
        canvas->LineTo(right, y);
    }
    canvas->Pen()->SetStyle(psSolid);
    canvas->Pen()->SetWidth(1);
}

void TRVBreakItemInfo::Print(TCanvas* canvas, int x, int y, bool, bool,
                             const TRVScreenAndDevice* sad, TRVColorMode colorMode, int,
                             TRVDrawLineInfo* dli, TCustomRVData* rvData) {
    if (!canvas || !dli || dli->Width <= 0) return;
    TRVStyle* style = rvData ? rvData->GetRVStyle() : nullptr;
    TColor color = Color;
    if (color == clNone) color = style ? style->TextStyles[0].Color : clWindowText;
    auto toDevice = [&](int v) { return sad ? sad->YToDevice(v) : v; };
    // One screen pixel and the line's width on the printer.
    const int unit = std::max(toDevice(1), 1);
    const int w = std::max(toDevice(std::max<int>(LineWidth, 1)), 1);
    const int left = x, right = x + dli->Width;
    const int mid = y + dli->Height / 2;
    canvas->Brush()->SetStyle(bsSolid);
    auto block = [&](int l, int t, int r, int b, TColor c) {
        canvas->Brush()->SetColor(ApplyColorModeToTextColor(c, colorMode));
        canvas->FillRect(TRect(l, t, std::min(r, right), b));
    };
    const int top = mid - (w - 1) / 2;
    switch (Style) {
    case TRVBreakStyle::rvbsRectangle: {
        const int t = mid - w, b = mid + w + unit;
        block(left, t, right, t + unit, color);
        block(left, b - unit, right, b, color);
        block(left, t, left + unit, b, color);
        block(right - unit, t, right, b, color);
        break;
    }
    case TRVBreakStyle::rvbs3d:
        block(left, mid, right, mid + unit, clBtnShadow);
        block(left, mid + unit, right, mid + 2 * unit, clBtnHighlight);
        break;
    case TRVBreakStyle::rvbsDotted:
    case TRVBreakStyle::rvbsDashed: {
        // Dots as long as the line is wide; dashes three times that, with the same gaps.
        const int dot = std::max(w, unit);
        const int on = Style == TRVBreakStyle::rvbsDotted ? dot : 3 * dot;
        for (int at = left; at < right; at += on + dot)
            block(at, top, at + on, top + w, color);
        break;
    }
    default:
        block(left, top, right, top + w, color);
    }
    canvas->Brush()->SetStyle(bsClear);
}

void TRVGraphicItemInfo::Paint(int x, int y, TCanvas* canvas, int state, TRVStyle* style,
                               TRVDrawLineInfo*) {
    if (!canvas) return;
    int w = GetImageWidth(style), h = GetImageHeight(style);
    TRect r{x + Spacing, y + Spacing, x + Spacing + w, y + Spacing + h};
    if (Image && !Image->Empty()) canvas->StretchDraw(r, Image.get());
    // State bit 0: selected.
    if ((state & 1) && style) {
        canvas->Brush()->SetStyle(bsSolid);
        canvas->Brush()->SetColor(style->SelColor);
        canvas->FrameRect(r);
    }
}

namespace {

std::string HtmlAttr(const std::string& s) {
    std::string out;
    for (char c : s) {
        if (c == '"')
            out += "&quot;";
        else if (c == '&')
            out += "&amp;";
        else if (c == '<')
            out += "&lt;";
        else
            out += c;
    }
    return out;
}

} // namespace

std::string RVSaveHtmlPicture(TGraphic* graphic, TCustomRVData* rvData, const std::string& path) {
    // The root document (a viewer's asks its control) names and writes the file.
    if (rvData) return rvData->GetRootData()->SaveImageFileForHtml(path, graphic);
    return RVWriteHtmlPictureFile(graphic, path,
                                  [](const std::string& ext) { return "rvimg" + ext; });
}

std::string TCustomRVData::SaveImageFileForHtml(const std::string& path, TGraphic* graphic) {
    return RVWriteHtmlPictureFile(
        graphic, path, [this](const std::string& ext) { return NextHtmlImageName(ext); });
}

std::string RVWriteHtmlPictureFile(TGraphic* graphic, const std::string& path,
                                   const std::function<std::string(const std::string&)>& nameFor) {
    // Without a folder there is nowhere to put the picture file.
    if (!graphic || graphic->Empty() || path.empty()) return {};
    std::string cls = graphic->ClassName();
    std::string ext = cls == "TJPEGImage" ? ".jpg" : cls == "TGIFImage" ? ".gif" : ".png";
    std::string name = nameFor(ext);
    std::string dir = BackslashesToSlashes(path);
    if (!dir.empty() && dir.back() != '/') dir += '/';
    try {
        if (auto* bmp = dynamic_cast<TBitmap*>(graphic))
            bmp->SaveToPngFile(dir + name);
        else if (cls == "TPngImage" || cls == "TJPEGImage" || cls == "TGIFImage")
            graphic->SaveToFile(dir + name);
        else {
            // Other pictures are drawn on a bitmap first.
            TBitmap bmp(graphic->Width(), graphic->Height(), pf24bit);
            bmp.Canvas()->Draw(0, 0, graphic);
            bmp.SaveToPngFile(dir + name);
        }
    } catch (const std::exception&) {
        return {}; // no file, no reference to it
    }
    return name;
}

void TRVGraphicItemInfo::SaveHTML(TStream& stream, TCustomRVData* rvData, int itemNo,
                                  const std::string& path) {
    const std::string name = RVSaveHtmlPicture(Image.get(), rvData, path);
    if (!name.empty()) WriteImgElement(stream, name, rvData, itemNo);
}

void TRVGraphicItemInfo::SaveHTMLEx(TStream& stream, TCustomRVData* rvData, int itemNo,
                                    TRVHTMLWriteContext& ctx) {
    std::string location;
    if (rvData && !rvData->HTMLSaveImage(rvData, itemNo, ctx.Path, ctx.Background, location)) {
        // The program saved the picture itself.
        if (!location.empty()) WriteImgElement(stream, location, rvData, itemNo);
        return;
    }
    SaveHTML(stream, rvData, itemNo, ctx.Path);
}

void TRVGraphicItemInfo::WriteImgElement(TStream& stream, const std::string& src,
                                         TCustomRVData* rvData, int itemNo) const {
    std::string alt = rvData && itemNo >= 0 && itemNo < rvData->ItemCount()
                          ? rvData->GetItemText(itemNo)
                          : std::string();
    std::string html = "<img src=\"" + HtmlAttr(src) + "\" width=\"" +
                       std::to_string(GetImageWidth(nullptr)) + "\" height=\"" +
                       std::to_string(GetImageHeight(nullptr)) + "\" alt=\"" +
                       HtmlAttr(Utf16ToUtf8(AnsiToWide(alt))) + "\"/>";
    RVFWriteRaw(stream, html);
}

bool TRVGraphicItemInfo::PrintToBitmap(TGraphic* bkgnd, bool, TRVStyle*, TRVColorMode) {
    auto* bmp = dynamic_cast<TBitmap*>(bkgnd);
    if (!bmp || !Image || Image->Empty()) return false;
    // Inside the border spacing, as on the screen.
    const TRect r{Spacing, Spacing, bmp->Width() - Spacing, bmp->Height() - Spacing};
    if (r.Right <= r.Left || r.Bottom <= r.Top) return false;
    bmp->Canvas()->StretchDraw(r, Image.get());
    return true;
}

} // namespace epc
