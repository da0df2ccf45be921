#include "richtext/view/PtRVData.h"

#include <algorithm>
#include <cmath>

#include "platform/controls/Controls.h"
#include "platform/core/Arithmetic.h"
#include "platform/core/ScopeGuard.h"
#include "platform/graphics/Bitmap.h"
#include "platform/graphics/Graphics.h"
#include "platform/printing/Printers.h"
#include "richtext/document/RVGraphicSupport.h"
#include "richtext/document/RVUni.h"
#include "richtext/view/PtblRV.h"

namespace epc {

namespace {

constexpr const char* errInvalidPageNo = "Invalid page number is specified for printing";
constexpr const char* errNoStyle = "Style of printable TRichView component is not assigned";
constexpr const char* errOutdated = "The document changed after its pages were formatted";

int MMToPixels(int mm, int dpi) {
    return int(std::lround(mm * dpi / 25.4));
}

TColor PrintableBackColor(TColor color, TRVColorMode mode) {
    switch (mode) {
    case TRVColorMode::rvcmColor:
        return color;
    case TRVColorMode::rvcmPrinterColor:
        return SystemColorToPrintable(color);
    case TRVColorMode::rvcmGrayScale:
        return ColorToGray(SystemColorToPrintable(color));
    default:
        return ApplyColorModeToBackColor(color, mode);
    }
}

} // namespace

// ---------------------------------------------------------------- TCustomPrintableRVData

TCustomPrintableRVData::TCustomPrintableRVData(TCustomRichView* richView)
    : TRichViewRVData(richView) {}

int TCustomPrintableRVData::SpaceBefore(int drawItemNo) const {
    TRVStyle* style = GetRVStyle();
    if (!style) return 0;
    int v = style->ParaStyles.GetItem(GetItemParaNo(DrawItems[drawItemNo]->ItemNo)).SpaceBefore;
    return PrnSad.Scaling().YToDevice(v);
}

int TCustomPrintableRVData::SpaceAfter(int drawItemNo) const {
    TRVStyle* style = GetRVStyle();
    if (!style) return 0;
    int v = style->ParaStyles.GetItem(GetItemParaNo(DrawItems[drawItemNo]->ItemNo)).SpaceAfter;
    return PrnSad.Scaling().YToDevice(v);
}

int TCustomPrintableRVData::PartHeight(int drawItemNo, int partIndex) const {
    auto* multi = dynamic_cast<TRVMultiDrawItemInfo*>(DrawItems[drawItemNo]);
    if (!multi || partIndex < 0 || partIndex >= multi->PartsList.Count())
        return DrawItems[drawItemNo]->Height;
    return static_cast<TRVMultiDrawItemPart*>(multi->PartsList.Items(partIndex))->Height;
}

int TCustomPrintableRVData::GetPageTop(int /*pageNo*/) const {
    return 0;
}
int TCustomPrintableRVData::GetPageTop2(int pageNo) const {
    return GetPageTop(pageNo);
}

void TCustomPrintableRVData::GetDrawItemsRange(int, int& first, int& last, int& part) const {
    first = 0;
    last = DrawItems.Count() - 1;
    part = 0;
}

void TCustomPrintableRVData::DrawBackToBitmap(int, int, TBitmap* bitmap, int paraNo) {
    TRVStyle* style = GetRVStyle();
    TColor color = clNone;
    if (style) color = style->ParaStyles.GetItem(paraNo).Background.Color;
    if (color == clNone) color = GetColor();
    if (color == clNone) color = clWhite;
    color = PrintableBackColor(color, GetColorMode());
    TCanvas* c = bitmap->Canvas();
    c->Brush()->SetStyle(bsSolid);
    c->Brush()->SetColor(color);
    c->FillRect(TRect(0, 0, bitmap->Width(), bitmap->Height()));
}

void TCustomPrintableRVData::DrawPage(int pageNo, TCanvas* canvas, bool preview, bool correction) {
    CheckPageNo(pageNo);
    if (!GetRVStyle()) throw ERichViewError(errNoStyle);
    DoBeforePage(pageNo, canvas, preview, correction);
    DrawItemsOnPage(pageNo, canvas, preview, correction);
    DoAfterPage(pageNo, canvas, preview);
}

// Paragraph backgrounds, then every drawing item of the page: non-text items print themselves
// or through a bitmap, text runs through the style sheet in the colour mode.
void TCustomPrintableRVData::DrawItemsOnPage(int pageNo, TCanvas* canvas, bool preview,
                                             bool correction) {
    TRVStyle* style = GetRVStyle();
    int first, last, part;
    GetDrawItemsRange(pageNo, first, last, part);
    if (first < 0 || last < first || last >= DrawItems.Count()) return;
    // A page is never drawn from the layout of an item that changed since.
    for (int i = first; i <= last; ++i)
        if (auto* multi = dynamic_cast<const TRVMultiDrawItemInfo*>(DrawItems[i]);
            multi && multi->LayoutOutdated())
            throw ERichViewError(errOutdated);
    const int pageTop = GetPageTop(pageNo);
    const int pageTop2 = GetPageTop2(pageNo);
    const int left = GetPrintableAreaLeft(pageNo);
    const TRVColorMode colorMode = GetColorMode();
    TRVScreenAndDevice sad = PrnSad.Scaling();
    canvas->Brush()->SetStyle(bsClear);

    // The y on the page and the height shown of drawing item i.
    auto placeOf = [&](int i, int& y, int& height, int& partIndex) {
        const TRVDrawLineInfo* d = DrawItems[i];
        partIndex = 0;
        if (i == first && part > 0) {
            partIndex = part - 1;
            y = -pageTop;
        } else {
            y = d->Top - (i == first || part == 0 ? pageTop : pageTop2);
        }
        height = PartHeight(i, partIndex);
    };
    auto startsPara = [&](int i) {
        return i == 0 || (DrawItems[i]->ItemNo != DrawItems[i - 1]->ItemNo &&
                          ItemStartsParagraph(DrawItems[i]->ItemNo));
    };

    for (int p = first; p <= last;) {
        int q = p + 1;
        while (q <= last && !startsPara(q))
            ++q;
        const int itemNo = DrawItems[p]->ItemNo;
        const int paraNo = GetItemParaNo(itemNo);
        const TParaInfo& para = style->ParaStyles.GetItem(paraNo);
        if (GetItemStyleNo(itemNo) != rvsBreak &&
            (para.Border.Style != TRVBorderStyle::rvbNone || para.Background.Color != clNone ||
             style->OnDrawParaBack)) {
            const int lm = sad.XToDevice(GetLeftMargin());
            const int rm = sad.XToDevice(GetRightMargin());
            TRect r;
            r.Left = left + lm + sad.XToDevice(para.LeftIndent + std::min(para.FirstIndent, 0));
            r.Right = left + FWidth - rm - sad.XToDevice(para.RightIndent);
            int y, h, pi;
            placeOf(p, y, h, pi);
            r.Top = y;
            r.Bottom = y;
            for (int k = p; k < q; ++k) {
                placeOf(k, y, h, pi);
                r.Top = std::min(r.Top, y);
                r.Bottom = std::max(r.Bottom, y + h);
                r.Right = std::max(r.Right, left + DrawItems[k]->Left + DrawItems[k]->Width);
            }
            // The background takes in its padding; the border goes around that.
            para.Background.ExpandRectScaled(r, sad.ScreenPPIX, sad.DevicePPIX);
            style->DrawParaBack(canvas, paraNo, r, true, colorMode, &sad);
            para.Border.Draw(r, canvas, &sad);
        }
        p = q;
    }

    int lastTextStyle = -1;
    for (int i = first; i <= last; ++i) {
        TRVDrawLineInfo* d = DrawItems[i];
        const int itemNo = d->ItemNo;
        TCustomRVItemInfo* item = GetItem(itemNo);
        int y, height, partIndex;
        placeOf(i, y, height, partIndex);
        const int styleNo = item->StyleNo;
        if (styleNo < 0) {
            lastTextStyle = -1;
            if (item->GetKindFlag(rvifPrintsToBitmap)) {
                // Pictures, image-list pictures and controls print through a bitmap of their
                // screen size, scaled to the printer.
                int w = sad.XToScreen(d->Width);
                int h = sad.YToScreen(height);
                int wholeH = sad.YToScreen(d->Height);
                if (w <= 0 || h <= 0) continue;
                int imgTop = 0;
                if (auto* multi = dynamic_cast<TRVMultiImagePrintInfo*>(d);
                    multi && partIndex < multi->PartsList.Count())
                    imgTop =
                        static_cast<TRVImagePrintPart*>(multi->PartsList.Items(partIndex))->ImgTop;
                TBitmap bmp;
                bmp.SetSize(w, wholeH);
                // Where the bitmap lies in the print area, in its own (screen) pixels.
                DrawBackToBitmap(sad.XToScreen(d->Left),
                                 sad.YToScreen(y - GetPrintableAreaTop()) - imgTop, &bmp,
                                 GetItemParaNo(itemNo));
                if (!PrintItemToBitmap(item, &bmp, preview, colorMode)) continue;
                if (h != wholeH || imgTop != 0) {
                    TBitmap piece;
                    piece.SetSize(w, h);
                    piece.Canvas()->Draw(0, -imgTop, &bmp);
                    DrawGraphicForDevice(canvas, left + d->Left, y, &piece, PrnSad, w, h);
                } else {
                    DrawGraphicForDevice(canvas, left + d->Left, y, &bmp, PrnSad, w, h);
                }
                continue;
            }
            // Full-line items keep their indent and alignment: their drawing item says where.
            item->Print(canvas, left + d->Left, y, preview, correction, &sad, colorMode, partIndex,
                        d, this);
            continue;
        }
        if (styleNo != lastTextStyle) {
            style->ApplyStyle(canvas, styleNo, GetItemBiDiMode(itemNo));
            const TFontInfo& fi = style->TextStyles.GetItem(styleNo);
            SetTextCharacterExtra(canvas->Handle(), sad.XToDevice(fi.CharSpacing));
            lastTextStyle = styleNo;
        }
        SetReadingOrder(canvas, GetItemBiDiMode(itemNo));
        style->ApplyStyleColor(canvas, styleNo, TRVTextDrawStates(), true, colorMode);
        if (style->OnDrawTextBack)
            style->DrawTextBack(canvas, itemNo, styleNo, this, left + d->Left, y, d->Width,
                                d->Height, TRVTextDrawStates());
        const std::string text = DrawItems.GetDrawItemText(i, this);
        style->DrawStyleText(text, canvas, itemNo, left + d->Left + d->SpaceBefore, y,
                             std::max(d->Width - d->SpaceBefore, 0), d->Height, styleNo, this,
                             TRVTextDrawStates(), true, preview, colorMode,
                             GetItemBiDiMode(itemNo));
    }
    SetTextCharacterExtra(canvas->Handle(), 0);
}

// A control prints the picture the program gives for it, else what it paints.
bool TCustomPrintableRVData::PrintItemToBitmap(TCustomRVItemInfo* item, TBitmap* bmp, bool preview,
                                               TRVColorMode colorMode) {
    auto* ci = dynamic_cast<TRVControlItemInfo*>(item);
    TCustomRVPrint* print = GetPrintComponent();
    if (ci && ci->Control && print && print->OnPrintComponent) {
        std::unique_ptr<TBitmap> image;
        if (auto* control = dynamic_cast<TControl*>(ci->Control.get()))
            print->OnPrintComponent(print, control, image);
        if (image) {
            bmp->Canvas()->Draw(ci->Spacing, ci->Spacing, image.get());
            return true;
        }
    }
    return item->PrintToBitmap(bmp, preview, GetRVStyle(), colorMode);
}

// ---------------------------------------------------------------- TCustomMainPtblRVData

TCustomMainPtblRVData::TCustomMainPtblRVData(TCustomRichView* richView)
    : TCustomPrintableRVData(richView) {}

TCustomRVPrint* TCustomMainPtblRVData::PrintComponent() const {
    auto* rv = dynamic_cast<TCustomPrintableRV*>(RichView);
    return rv ? rv->RVPrint : nullptr;
}

void TCustomMainPtblRVData::Clear() {
    Pages.clear();
    TCustomPrintableRVData::Clear();
}

void TCustomMainPtblRVData::Prepare() {
    GetScreenAndDeviceResolution(PrnSad, FFormatCanvas);
    PrnTMPix = PrnSad.Scaling().YToDevice(TmpTMPix);
    PrnBMPix = PrnSad.Scaling().YToDevice(TmpBMPix);
}

void TCustomMainPtblRVData::AddPage(int startY, int drawItemNo, int part) {
    auto page = std::make_unique<TRVPageInfo>();
    page->StartY = startY;
    page->StartDrawItemNo = drawItemNo;
    page->StartPart = part;
    Pages.push_back(std::move(page));
}

int TCustomMainPtblRVData::FormatPages() {
    DoFormatting(0, TRVPrintingStep::rvpsStarting);
    TRVFlags flags = GetFlags();
    flags.Include(TRVFlag::Printing);
    SetFlags(flags);
    FFormatCanvas = InitPrinterCanvas();
    {
        // The printer's device context goes even when the layout fails.
        auto release = Finally([&] {
            DonePrinterCanvas(FFormatCanvas);
            FFormatCanvas = nullptr;
        });
        Prepare();
        if (FFormatCanvas) FormatAll(false, true, true, false, FFormatCanvas, 0, true);
    }
    Pages.clear();
    if (DrawItems.Count() > 0) {
        TPaginationState st;
        st.PageHeight = FHeight - PrnTMPix - PrnBMPix;
        TCustomRVPrint* print = PrintComponent();
        st.PageTopOffset = print ? print->StartAt : 0;
        DoFormatting(0, TRVPrintingStep::rvpsProceeding);
        AddPage(0, 0, 0);
        while (!PlaceNextPage(st)) {
        }
        DoFormatting(PageCount(), TRVPrintingStep::rvpsFinished);
    }
    return PageCount();
}

// Places one more page; true when every drawing item is placed.
bool TCustomMainPtblRVData::PlaceNextPage(TPaginationState& st) {
    const int h = st.PageHeight;
    const int count = DrawItems.Count();
    int& i = st.DrawItemNo;
    for (;;) {
        if (st.Splitting && ContinueSplitItem(st)) return false;
        bool pageEnds = false;
        while (i < count) {
            TRVDrawLineInfo* d = DrawItems[i];
            TRVPageInfo& cur = *Pages.back();
            const bool newItem = i == 0 || DrawItems[i - 1]->ItemNo != d->ItemNo;
            const bool forced = i > 0 && newItem && GetItem(d->ItemNo)->GetPageBreakBefore() &&
                                cur.StartDrawItemNo != i;
            auto* multi = dynamic_cast<TRVMultiDrawItemInfo*>(d);
            if (multi && multi->CanSplit()) {
                const int sb = SpaceBefore(i), sa = SpaceAfter(i);
                if (cur.StartDrawItemNo == i) {
                    cur.StartPart = 1;
                    cur.StartY = -sb;
                }
                st.SplitRoom = st.PageDocY + h - st.PageTopOffset - d->Top - sa;
                if (!forced && (cur.StartDrawItemNo == i || multi->FitsFirstPart(st.SplitRoom))) {
                    st.Splitting = true;
                    break;
                }
                AddPage(-sb, i, 1);
                DoFormatting(PageCount(), TRVPrintingStep::rvpsProceeding);
                st.PageDocY = 0;
                st.PageTopOffset = 0;
                st.SplitRoom = h + Pages.back()->StartY - sa;
                st.Splitting = true;
                return false;
            }
            const int bottom = d->Top + d->Height + SpaceAfter(i);
            if (bottom > st.PageDocY + h - st.PageTopOffset || forced) {
                pageEnds = true;
                break;
            }
            ++i;
        }
        if (st.Splitting && !pageEnds) continue;
        if (!pageEnds) {
            FinishPages();
            return true;
        }
        return BreakPageAtLineOf(st);
    }
}

// The item being split gets its next part: true when that part begins a new page; false when
// the item ended on this page and placing goes on after it.
bool TCustomMainPtblRVData::ContinueSplitItem(TPaginationState& st) {
    const int h = st.PageHeight;
    const int i = st.DrawItemNo;
    auto* multi = static_cast<TRVMultiDrawItemInfo*>(DrawItems[i]);
    const int sb = SpaceBefore(i), sa = SpaceAfter(i);
    const TRVDrawLineInfo* d = DrawItems[i];
    if (multi->SplitAt(st.SplitRoom)) {
        const int parts = multi->PartsList.Count();
        TRVPageInfo& cur = *Pages.back();
        if (cur.StartDrawItemNo == i)
            cur.StartY2 = d->Top + d->Height - PartHeight(i, parts - 2) - sb;
        AddPage(-sb, i, parts);
        DoFormatting(PageCount(), TRVPrintingStep::rvpsProceeding);
        st.PageTopOffset = 0;
        st.PageDocY = 0;
        st.SplitRoom = h + Pages.back()->StartY - sa;
        return true;
    }
    TRVPageInfo& cur = *Pages.back();
    if (cur.StartDrawItemNo == i) {
        st.PageDocY = d->Top + d->Height - PartHeight(i, multi->PartsList.Count() - 1) - sb;
        cur.StartY2 = st.PageDocY;
    }
    ++st.DrawItemNo;
    st.Splitting = false;
    return false;
}

// Drawing item st.DrawItemNo does not fit: the next page begins at the line that holds it.
// True when the document ends on the current page instead.
bool TCustomMainPtblRVData::BreakPageAtLineOf(TPaginationState& st) {
    const int count = DrawItems.Count();
    int& i = st.DrawItemNo;
    int lineStart = i;
    while (lineStart > 0 && !DrawItems[lineStart]->FromNewLine)
        --lineStart;
    if (st.PageTopOffset < 1 && Pages.back()->StartDrawItemNo == lineStart) {
        // A line taller than a page stays on its page, cut at the bottom.
        lineStart = i + 1;
        while (lineStart < count && !DrawItems[lineStart]->FromNewLine)
            ++lineStart;
        if (lineStart >= count) {
            // It is the document's last line: the document ends on this page.
            i = count;
            FinishPages();
            return true;
        }
    }
    int top = DrawItems[lineStart]->Top;
    for (int k = lineStart + 1; k < count && !DrawItems[k]->FromNewLine; ++k)
        top = std::min(top, DrawItems[k]->Top);
    st.PageDocY = top - SpaceBefore(lineStart);
    AddPage(st.PageDocY, lineStart, 0);
    DoFormatting(PageCount(), TRVPrintingStep::rvpsProceeding);
    st.PageTopOffset = 0;
    i = lineStart;
    return false;
}

void TCustomMainPtblRVData::FinishPages() {
    TCustomRVPrint* print = PrintComponent();
    if (!print || DrawItems.Count() == 0) return;
    int lastLine = DrawItems.Count() - 1;
    while (lastLine > 0 && !DrawItems[lastLine]->FromNewLine)
        --lastLine;
    int end = 0;
    for (int k = lastLine; k < DrawItems.Count(); ++k)
        end = std::max(end, DrawItems[k]->Top + DrawItems[k]->Height);
    end += SpaceAfter(DrawItems.Count() - 1);
    const TRVPageInfo& lastPage = *Pages.back();
    print->EndAt = end - (lastPage.StartPart > 0 ? lastPage.StartY2 : lastPage.StartY);
    if (PageCount() == 1) print->EndAt += print->StartAt;
}

bool TCustomMainPtblRVData::LayoutOutdated() const {
    for (int i = 0; i < DrawItems.Count(); ++i)
        if (auto* multi = dynamic_cast<const TRVMultiDrawItemInfo*>(DrawItems[i]);
            multi && multi->LayoutOutdated())
            return true;
    return false;
}

void TCustomMainPtblRVData::CheckPageNo(int pageNo) const {
    if (pageNo < 1 || pageNo > PageCount()) throw ERichViewError(errInvalidPageNo);
}

int TCustomMainPtblRVData::GetPageTop(int pageNo) const {
    int top = Pages[size_t(pageNo - 1)]->StartY - FTopPx - PrnTMPix;
    if (pageNo == 1) {
        TCustomRVPrint* print = PrintComponent();
        if (print) top -= print->StartAt;
    }
    return top;
}

int TCustomMainPtblRVData::GetPageTop2(int pageNo) const {
    const TRVPageInfo& page = *Pages[size_t(pageNo - 1)];
    if (page.StartPart == 0) return GetPageTop(pageNo);
    // What follows a split item on the first page lies below StartAt too.
    return page.StartY2 + GetPageTop(pageNo) - page.StartY;
}

void TCustomMainPtblRVData::GetDrawItemsRange(int pageNo, int& first, int& last, int& part) const {
    const TRVPageInfo& page = *Pages[size_t(pageNo - 1)];
    first = page.StartDrawItemNo;
    part = page.StartPart;
    if (pageNo < PageCount()) {
        const TRVPageInfo& next = *Pages[size_t(pageNo)];
        last = next.StartPart > 1 ? next.StartDrawItemNo : next.StartDrawItemNo - 1;
    } else {
        last = DrawItems.Count() - 1;
    }
}

bool TCustomMainPtblRVData::GetLayoutPair(int& first, int& second) const {
    first = LayoutPair1;
    second = LayoutPair2;
    return GetFlags().Contains(TRVFlag::CanUseDeviceFit);
}

bool TCustomMainPtblRVData::GetCurrentPageRange(int& first, int& firstPart, int& last,
                                                int& lastPart) const {
    first = last = -1;
    firstPart = lastPart = 0;
    if (PageNoBeingDrawn < 1 || PageNoBeingDrawn > PageCount()) return false;
    GetDrawItemsRange(PageNoBeingDrawn, first, last, firstPart);
    // A page that ends inside a split item holds the part before the next page's one.
    if (PageNoBeingDrawn < PageCount()) {
        const TRVPageInfo& next = *Pages[size_t(PageNoBeingDrawn)];
        if (next.StartPart > 1 && next.StartDrawItemNo == last) lastPart = next.StartPart - 1;
    }
    return true;
}

void TCustomMainPtblRVData::GetSelectionRange(TRVSelectionRangeKind kind, int& first,
                                              int& last) const {
    if (kind != TRVSelectionRangeKind::rvsrkCurrentPage) {
        TCustomPrintableRVData::GetSelectionRange(kind, first, last);
        return;
    }
    int firstPart, lastPart;
    GetCurrentPageRange(first, firstPart, last, lastPart);
}

void TCustomMainPtblRVData::DrawPage(int pageNo, TCanvas* canvas, bool preview, bool correction) {
    CheckPageNo(pageNo);
    TRVStyle* style = GetRVStyle();
    if (!style) throw ERichViewError(errNoStyle);
    PageNoBeingDrawn = pageNo;
    // The page's clipping (ClipMargins, the print area's bottom) ends with the page: the next
    // page drawn on the same canvas begins unclipped.
    HDC dc = canvas->Handle();
    const int pageState = SaveDC(dc);
    auto restore = Finally([&] {
        RestoreDC(dc, pageState);
        canvas->Refresh(); // the canvas selects its objects again
    });
    canvas->Brush()->SetStyle(bsClear);
    const int left = GetPrintableAreaLeft(pageNo);
    const TRect area(left, FTopPx, left + FWidth, FTopPx + FHeight);
    TRVBackground* back = GetBackground();
    if (back && !back->IsColorOnly()) {
        // The background is laid out at screen size, then scaled to the printer.
        TBitmap bmp;
        int w = DeviceToScreenX(FWidth, PrnSad);
        int h = DeviceToScreenY(FHeight, PrnSad);
        bmp.SetSize(std::max(w, 1), std::max(h, 1));
        DrawBackgroundPiece(bmp.Canvas(), TRect(0, 0, w, h), 0, 0);
        DrawGraphicForDevice(canvas, area.Left, area.Top, &bmp, PrnSad, w, h);
    } else if (GetColor() != clNone) {
        canvas->Brush()->SetStyle(bsSolid);
        canvas->Brush()->SetColor(PrintableBackColor(GetColor(), ColorMode));
        canvas->FillRect(area);
        canvas->Brush()->SetStyle(bsClear);
    }
    DoBeforePage(pageNo, canvas, preview, correction);
    // What reaches below the print area (a tall line or picture) is cut at its bottom.
    int saved = SaveDC(dc);
    IntersectClipRect(dc, 0, FTopPx, GetPageWidth() > 0 ? GetPageWidth() : area.Right + left,
                      area.Bottom);
    DrawItemsOnPage(pageNo, canvas, preview, correction);
    RestoreDC(dc, saved);
    canvas->Refresh();
    DoAfterPage(pageNo, canvas, preview);
}

// The page background (screen pixels) with the print area's point (0, 0) at canvas (DX, DY).
void TCustomMainPtblRVData::DrawBackgroundPiece(TCanvas* canvas, const TRect& rect, int dx,
                                                int dy) const {
    const int w = DeviceToScreenX(FWidth, PrnSad);
    const int h = DeviceToScreenY(FHeight, PrnSad);
    const TColor color = GetColor();
    GetBackground()->Draw(canvas, rect, false,
                          color == clNone ? clWhite : PrintableBackColor(color, ColorMode), w, h,
                          dx, dy, 0, 0);
}

// Under a picture without a paragraph colour lies its piece of a background picture.
void TCustomMainPtblRVData::DrawBackToBitmap(int left, int top, TBitmap* bitmap, int paraNo) {
    TRVStyle* style = GetRVStyle();
    TRVBackground* back = GetBackground();
    if (!back || back->IsColorOnly() ||
        (style && style->ParaStyles.GetItem(paraNo).Background.Color != clNone)) {
        TCustomPrintableRVData::DrawBackToBitmap(left, top, bitmap, paraNo);
        return;
    }
    DrawBackgroundPiece(bitmap->Canvas(), TRect(0, 0, bitmap->Width(), bitmap->Height()), -left,
                        -top);
}

// ---------------------------------------------------------------- TPrintableRVData

TPrintableRVData::TPrintableRVData(TCustomRichView* richView) : TCustomMainPtblRVData(richView) {}

TPrintableRVData::~TPrintableRVData() {
    if (FPrinterDC) DeleteDC(FPrinterDC);
}

HDC TPrintableRVData::CreatePrinterDC() {
    std::string device, driver, port;
    Printer().GetPrinter(device, driver, port);
    const TDeviceMode* mode = Printer().LockDeviceMode();
    auto unlock = Finally([] { Printer().UnlockDeviceMode(); });
    return CreateDCA(driver.c_str(), device.c_str(), port.c_str(), mode);
}

TCanvas* TPrintableRVData::InitPrinterCanvas() {
    FPrinterDC = CreatePrinterDC();
    FPrinterCanvas = std::make_unique<TCanvas>();
    FPrinterCanvas->SetHandle(FPrinterDC);
    return FPrinterCanvas.get();
}

void TPrintableRVData::DonePrinterCanvas(TCanvas*) {
    FPrinterCanvas.reset();
    if (FPrinterDC) DeleteDC(FPrinterDC);
    FPrinterDC = nullptr;
}

int TPrintableRVData::GetPageWidth() const {
    return Printer().PageWidth();
}
int TPrintableRVData::GetPageHeight() const {
    return Printer().PageHeight();
}

void TPrintableRVData::Prepare() {
    TCustomMainPtblRVData::Prepare();
    auto* rv = static_cast<TCustomPrintableRV*>(RichView);
    const int dpiX = PrnSad.DeviceResX, dpiY = PrnSad.DeviceResY;
    TmpLM = MMToPixels(rv->LeftMarginMM, dpiX);
    TmpRM = MMToPixels(rv->RightMarginMM, dpiX);
    TmpTM = MMToPixels(rv->TopMarginMM, dpiY);
    TmpBM = MMToPixels(rv->BottomMarginMM, dpiY);
    TmpLMMir = TmpRM;
    FTopPx = TmpTM;
    FLeftPx = TmpLM;
    FWidth = std::max(GetPageWidth() - TmpLM - TmpRM, 1);
    FHeight = std::max(GetPageHeight() - TmpTM - TmpBM, 1);
    for (TRectPtblRVData* doc : {Header.get(), Footer.get()}) {
        if (!doc) continue;
        doc->PrnSad = PrnSad;
        doc->SetSize(FWidth, 0);
        doc->FormatOn(FFormatCanvas);
    }
}

void TPrintableRVData::DoFormatting(int pageCompleted, TRVPrintingStep step) {
    TCustomRVPrint* print = PrintComponent();
    if (print && print->OnFormatting) print->OnFormatting(RichView, pageCompleted, step);
}

bool TPrintableRVData::MarginsMirrored(int pageNo) const {
    return static_cast<TCustomPrintableRV*>(RichView)->MirrorMargins && pageNo % 2 == 0;
}

int TPrintableRVData::GetPrintableAreaLeft(int pageNo) const {
    return MarginsMirrored(pageNo) ? TmpLMMir : TmpLM;
}

TRect TPrintableRVData::PrintAreaRect(int pageNo) const {
    int left = GetPrintableAreaLeft(pageNo);
    return TRect(left, TmpTM, left + FWidth, TmpTM + FHeight);
}

TRect TPrintableRVData::PageRect(int pageNo) const {
    TRect area = PrintAreaRect(pageNo);
    bool mirrored = MarginsMirrored(pageNo);
    return TRect(area.Left - (mirrored ? TmpLMMir : TmpLM), area.Top - TmpTM,
                 area.Right + (mirrored ? TmpLM : TmpRM), area.Bottom + TmpBM);
}

void TPrintableRVData::DoBeforePage(int pageNo, TCanvas* canvas, bool preview, bool correction) {
    auto* print = dynamic_cast<TRVPrint*>(PrintComponent());
    if (print && print->OnPagePrepaint)
        print->OnPagePrepaint(print, pageNo, canvas, preview, PageRect(pageNo),
                              PrintAreaRect(pageNo));
    const int left = GetPrintableAreaLeft(pageNo);
    const int dpiY = PrnSad.DeviceResY;
    if (Header) {
        Header->Left = left;
        Header->Top = MMToPixels(HeaderYMM, dpiY);
        Header->DrawPage(1, canvas, preview, correction);
    }
    if (Footer) {
        Footer->Left = left;
        Footer->Top = GetPageHeight() - MMToPixels(FooterYMM, dpiY) - Footer->DocumentHeight;
        Footer->DrawPage(1, canvas, preview, correction);
    }
    if (print && print->ClipMargins) {
        TRect area = PrintAreaRect(pageNo);
        IntersectClipRect(canvas->Handle(), area.Left, area.Top, area.Right, area.Bottom);
    }
}

void TPrintableRVData::DoAfterPage(int pageNo, TCanvas* canvas, bool preview) {
    auto* print = dynamic_cast<TRVPrint*>(PrintComponent());
    if (print && print->OnPagePostpaint)
        print->OnPagePostpaint(print, pageNo, canvas, preview, PageRect(pageNo),
                               PrintAreaRect(pageNo));
}

// ---------------------------------------------------------------- TRectPtblRVData

TRectPtblRVData::TRectPtblRVData(TCustomRichView* richView, TCustomMainPtblRVData* main,
                                 TCustomRVData& source)
    : TCustomPrintableRVData(richView), FMain(main) {
    ShareItemsOf(source);
}

void TRectPtblRVData::FormatOn(TCanvas* canvas) {
    if (!canvas) return;
    FFormatCanvas = canvas;
    FormatAll(false, true, true, false, canvas, 0, true);
    FFormatCanvas = nullptr;
    FHeight = DocumentHeight;
}

void TRectPtblRVData::GetDrawItemsRange(int, int& first, int& last, int& part) const {
    first = 0;
    last = DrawItems.Count() - 1;
    part = 0;
}

} // namespace epc
