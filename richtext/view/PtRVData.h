#pragma once
// The documents of printing: a formatted document that lays out the items it shares with a
// viewer on the printer, breaks the drawing items into pages (items that can be cut, such as
// pictures with a minimum part height, continue over pages) and draws one page at a time with
// its background, margins, header and footer. Sizes are printer pixels unless said.

#include <functional>
#include <memory>
#include <vector>

#include "richtext/view/RVRVData.h"

namespace epc {

class TCanvas;
class TCustomPrintableRV;
class TCustomRVPrint;

enum class TRVPrintingStep { rvpsStarting, rvpsProceeding, rvpsFinished };
using TRVPrintingEvent =
    std::function<void(TCustomRichView* sender, int pageCompleted, TRVPrintingStep step)>;

// Where a page begins: the document y, its first drawing item, the part of that item it begins
// with (0: the item begins whole on this page), and the document y of the rest of the page
// when it begins with a part.
class TRVPageInfo : public TObject {
public:
    std::string ClassName() const override { return "TRVPageInfo"; }
    void Assign(const TRVPageInfo& source) {
        StartY = source.StartY;
        StartDrawItemNo = source.StartDrawItemNo;
    }
    int32_t StartY = 0;
    int32_t StartDrawItemNo = 0;
    int32_t StartPart = 0;
    int32_t StartY2 = 0;
};

class TCustomPrintableRVData : public TRichViewRVData {
public:
    explicit TCustomPrintableRVData(TCustomRichView* richView);
    std::string ClassName() const override { return "TCustomPrintableRVData"; }

    // ---- Page geometry and hooks.
    virtual int GetPageOffset() const { return 0; }
    virtual int GetPageTop(int pageNo) const;
    virtual int GetPageTop2(int pageNo) const;
    virtual int GetPrintableAreaTop() const { return 0; }
    virtual void DoBeforePage(int /*pageNo*/, TCanvas* /*canvas*/, bool /*preview*/,
                              bool /*correction*/) {}
    virtual void DoAfterPage(int /*pageNo*/, TCanvas* /*canvas*/, bool /*preview*/) {}
    // Drawing items of a page and the part the first one begins with.
    virtual void GetDrawItemsRange(int pageNo, int& first, int& last, int& part) const;
    virtual void CheckPageNo(int /*pageNo*/) const {}
    virtual TRVColorMode GetColorMode() const { return TRVColorMode::rvcmPrinterColor; }
    virtual int GetPrintableAreaLeft(int /*pageNo*/) const { return 0; }
    virtual void DrawPage(int pageNo, TCanvas* canvas, bool preview, bool correction);
    // The background under an item printed through a bitmap that lies at (Left, Top) of the
    // print area, in the bitmap's (screen) pixels.
    virtual void DrawBackToBitmap(int left, int top, TBitmap* bitmap, int paraNo);
    virtual TCanvas* InitPrinterCanvas() { return nullptr; }
    virtual void DonePrinterCanvas(TCanvas* /*canvas*/) {}

    // ---- A printed document is laid out, not shown.
    int GetAreaWidth() const override { return FWidth; }
    int GetClientWidth() const override { return FWidth; }
    int GetClientHeight() const override { return FHeight; }
    int GetTopMargin() const override { return 0; }
    int GetBottomMargin() const override { return 0; }
    TCanvas* GetCanvas() const override { return FFormatCanvas; }
    void AdjustVScrollUnits() override {}
    void SetDocumentSize(int, int) override {}
    int GetHScrollPos() const override { return 0; }
    int GetVScrollPos() const override { return 0; }
    void ScrollTo(int, bool) override {}
    void HScrollTo(int) override {}
    void Invalidate() override {}

    TRVResolutionInfo PrnSad;
    TCanvas* PrinterCanvasWhileFormatting() const { return FFormatCanvas; }

protected:
    // Width and height the document is laid out and drawn in.
    int FWidth = 0;
    int FHeight = 0;
    TCanvas* FFormatCanvas = nullptr;
    int SpaceBefore(int drawItemNo) const;
    int SpaceAfter(int drawItemNo) const;
    // Height of the part of a split drawing item shown on a page (whole height otherwise).
    int PartHeight(int drawItemNo, int partIndex) const;
    void DrawItemsOnPage(int pageNo, TCanvas* canvas, bool preview, bool correction);
    bool PrintItemToBitmap(TCustomRVItemInfo* item, TBitmap* bmp, bool preview,
                           TRVColorMode colorMode);
    virtual TCustomRVPrint* GetPrintComponent() const { return nullptr; }
};

class TCustomMainPtblRVData : public TCustomPrintableRVData {
public:
    explicit TCustomMainPtblRVData(TCustomRichView* richView);
    std::string ClassName() const override { return "TCustomMainPtblRVData"; }

    std::vector<std::unique_ptr<TRVPageInfo>> Pages;
    TRVColorMode ColorMode = TRVColorMode::rvcmPrinterColor;
    bool TransparentBackground = false;
    // The source viewer's top and bottom margins (screen pixels) and the same on the printer.
    int TmpTMPix = 0, TmpBMPix = 0;
    int PrnTMPix = 0, PrnBMPix = 0;
    int PageNoBeingDrawn = 0;
    // The pair a layout record gave (-1 each without one).
    int LayoutPair1 = -1, LayoutPair2 = -1;
    // The pair query: true with the layout record's pair while device fitting is on.
    bool GetLayoutPair(int& first, int& second) const;

    TCustomRVPrint* PrintComponent() const;
    TCustomRVPrint* GetPrintComponent() const override { return PrintComponent(); }
    int PageCount() const { return int(Pages.size()); }
    // True when an item changed after the pages were formatted: they must be formatted again.
    bool LayoutOutdated() const;
    // Lays the document out on the printer and breaks it into pages; the page count.
    int FormatPages();

    virtual void DoFormatting(int /*pageCompleted*/, TRVPrintingStep /*step*/) {}
    virtual int GetPageWidth() const { return 0; }
    virtual int GetPageHeight() const { return 0; }
    virtual void Prepare();

    int GetPageTop(int pageNo) const override;
    int GetPageTop2(int pageNo) const override;
    void GetDrawItemsRange(int pageNo, int& first, int& last, int& part) const override;
    // The drawing items of the page being drawn, and the parts of split items at either end
    // (0 where the item is whole on the page); false when no page is being drawn.
    bool GetCurrentPageRange(int& first, int& firstPart, int& last, int& lastPart) const;
    void GetSelectionRange(TRVSelectionRangeKind kind, int& first, int& last) const override;
    void CheckPageNo(int pageNo) const override;
    TRVColorMode GetColorMode() const override { return ColorMode; }
    // With TransparentBackground the document's colour counts as none.
    TColor GetColor() const override {
        return TransparentBackground ? clNone : TCustomPrintableRVData::GetColor();
    }
    void DrawPage(int pageNo, TCanvas* canvas, bool preview, bool correction) override;
    void DrawBackToBitmap(int left, int top, TBitmap* bitmap, int paraNo) override;
    void Clear() override;

protected:
    // Margins of the sheet: left and top of the print area.
    int FLeftPx = 0, FTopPx = 0;
    void DrawBackgroundPiece(TCanvas* canvas, const TRect& rect, int dx, int dy) const;

private:
    // Where one pagination run stands between two pages.
    struct TPaginationState {
        int PageHeight = 0;
        int DrawItemNo = 0;    // the next drawing item to place
        int PageTopOffset = 0; // space taken above the text on the current page
        int PageDocY = 0;      // document y where the current page begins
        bool Splitting = false;
        int SplitRoom = 0; // height left for the item being split
    };
    bool PlaceNextPage(TPaginationState& st);
    bool ContinueSplitItem(TPaginationState& st);
    bool BreakPageAtLineOf(TPaginationState& st);
    void AddPage(int startY, int drawItemNo, int part);
    void FinishPages();
};

class TRectPtblRVData;

class TPrintableRVData : public TCustomMainPtblRVData {
public:
    explicit TPrintableRVData(TCustomRichView* richView);
    ~TPrintableRVData() override;
    std::string ClassName() const override { return "TPrintableRVData"; }

    int HeaderYMM = 10;
    int FooterYMM = 10;
    std::unique_ptr<TRectPtblRVData> Header;
    std::unique_ptr<TRectPtblRVData> Footer;
    // Margins on the printer; the mirrored left margin is used on even pages.
    int TmpLM = 0, TmpTM = 0, TmpRM = 0, TmpBM = 0, TmpLMMir = 0;

    // A device context of the current printer (its device, driver, port and mode).
    static HDC CreatePrinterDC();
    TCanvas* InitPrinterCanvas() override;
    void DonePrinterCanvas(TCanvas* canvas) override;
    int GetPageWidth() const override;
    int GetPageHeight() const override;
    void Prepare() override;
    void DoFormatting(int pageCompleted, TRVPrintingStep step) override;
    int GetPrintableAreaLeft(int pageNo) const override;
    int GetPrintableAreaTop() const override { return TmpTM; }
    void DoBeforePage(int pageNo, TCanvas* canvas, bool preview, bool correction) override;
    void DoAfterPage(int pageNo, TCanvas* canvas, bool preview) override;
    TRect PrintAreaRect(int pageNo) const;
    TRect PageRect(int pageNo) const;
    // With MirrorMargins on, even pages swap the left and right margins.
    bool MarginsMirrored(int pageNo) const;

private:
    HDC FPrinterDC = nullptr;
    std::unique_ptr<TCanvas> FPrinterCanvas;
};

// A document printed into a fixed rectangle of every page (a header or a footer).
class TRectPtblRVData : public TCustomPrintableRVData {
public:
    TRectPtblRVData(TCustomRichView* richView, TCustomMainPtblRVData* main, TCustomRVData& source);
    std::string ClassName() const override { return "TRectPtblRVData"; }

    int Left = 0, Top = 0;
    TColor Color = clNone;
    void SetSize(int width, int height) {
        FWidth = width;
        FHeight = height;
    }
    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    // Lays the items out on the main document's printer canvas.
    void FormatOn(TCanvas* canvas);

    int GetLeftMargin() const override { return 0; }
    int GetRightMargin() const override { return 0; }
    int GetPageTop(int) const override { return -Top; }
    int GetPrintableAreaLeft(int) const override { return Left; }
    void GetDrawItemsRange(int, int& first, int& last, int& part) const override;
    TRVColorMode GetColorMode() const override {
        return FMain ? FMain->GetColorMode() : TRVColorMode::rvcmPrinterColor;
    }
    TColor GetColor() const override { return Color; }
    TCustomRVPrint* GetPrintComponent() const override {
        return FMain ? FMain->GetPrintComponent() : nullptr;
    }
    TCustomMainPtblRVData* Main() const { return FMain; }

private:
    TCustomMainPtblRVData* FMain;
};

} // namespace epc
