#pragma once
// Printing a viewer's document: the print component lets a hidden printable viewer share the
// viewer's items, breaks them into pages for the current printer and sends the pages to it as
// one print job, with copies and collation.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "richtext/view/PtRVData.h"
#include "richtext/view/RichView.h"

namespace epc {

class TCustomRVPrint;
class TRVPrint;

// The hidden viewer that holds the document being printed.
class TCustomPrintableRV : public TCustomRichView {
public:
    explicit TCustomPrintableRV(TComponent* owner);
    std::string ClassName() const override { return "TCustomPrintableRV"; }

    TCustomRVPrint* RVPrint = nullptr;
    int LeftMarginMM = 20, RightMarginMM = 20, TopMarginMM = 20, BottomMarginMM = 20;
    bool MirrorMargins = false;

    TCustomMainPtblRVData* PrintData() const;
    int FormatPages();
    void PrintPages(int firstPage, int lastPage, const std::string& title, int copies,
                    bool collate);
    void DrawPage(int pageNo, TCanvas* canvas, bool preview, bool correction);
    void ApplyLayoutInfo(const TRVLayoutInfo& layout) override;

protected:
    std::unique_ptr<TRichViewRVData> GetDataClass() override;
};

class TPrintableRV : public TCustomPrintableRV {
public:
    explicit TPrintableRV(TComponent* owner);
    std::string ClassName() const override { return "TPrintableRV"; }

protected:
    std::unique_ptr<TRichViewRVData> GetDataClass() override;
};

// The handler gives the picture to print for an embedded control (none: what it paints).
using TRVPrintComponentEvent = std::function<void(TCustomRVPrint* sender, TControl* printMe,
                                                  std::unique_ptr<TBitmap>& componentImage)>;
using TRVPagePrepaintEvent =
    std::function<void(TRVPrint* sender, int pageNo, TCanvas* canvas, bool preview,
                       const TRect& pageRect, const TRect& printAreaRect)>;

class TCustomRVPrint : public TComponent, public TRVItemsSharer {
public:
    explicit TCustomRVPrint(TComponent* owner);
    ~TCustomRVPrint() override;
    std::string ClassName() const override { return "TCustomRVPrint"; }

    TCustomPrintableRV* rv() const { return FRV.get(); }
    bool PagesFormatted() const { return FPagesFormatted; }
    int FormattingID() const { return FFormattingID; }
    // Printer pixels: where the first page's text begins below the top of the print area, and
    // where the last page's text ended.
    int StartAt = 0;
    int EndAt = 0;

    bool PreviewCorrection = true;
    bool TransparentBackground() const;
    void SetTransparentBackground(bool value);
    TRVColorMode ColorMode() const;
    void SetColorMode(TRVColorMode value);

    TRVPrintComponentEvent OnPrintComponent;
    TRVPrintingEvent OnFormatting;
    TRVPrintingEvent OnSendingToPrinter;

    // Empties the printable viewer (the source keeps its document).
    void Clear();
    void Loaded() override;
    void SharedItemsDropped(TCustomRichView* source) override;
    void Notification(TComponent* component, TOperation operation) override;

protected:
    virtual std::unique_ptr<TCustomPrintableRV> CreatePrintableRV() { return nullptr; }
    // Makes the printable viewer (derived constructors call it: the class is theirs).
    void CreateRV();
    void WatchSource(TCustomRichView* source);
    void ForgetSources();
    // Stops watching a viewer no part comes from any more.
    void SourceReplaced(TCustomRichView* old);

    std::unique_ptr<TCustomPrintableRV> FRV;
    bool FPagesFormatted = false;
    int FFormattingID = 0;
    std::vector<TCustomRichView*> FSources;
    // The viewers the body, the header and the footer share their items with.
    TCustomRichView* FBodySource = nullptr;
    TCustomRichView* FHeaderSource = nullptr;
    TCustomRichView* FFooterSource = nullptr;

    friend class TCustomPrintableRV;
};

class TRVPrint : public TCustomRVPrint {
public:
    explicit TRVPrint(TComponent* owner);
    std::string ClassName() const override { return "TRVPrint"; }

    bool ClipMargins = false;
    bool MirrorMargins() const { return FRV->MirrorMargins; }
    void SetMirrorMargins(bool value) { FRV->MirrorMargins = value; }
    int LeftMarginMM() const { return FRV->LeftMarginMM; }
    void SetLeftMarginMM(int value) { FRV->LeftMarginMM = value; }
    int RightMarginMM() const { return FRV->RightMarginMM; }
    void SetRightMarginMM(int value) { FRV->RightMarginMM = value; }
    int TopMarginMM() const { return FRV->TopMarginMM; }
    void SetTopMarginMM(int value) { FRV->TopMarginMM = value; }
    int BottomMarginMM() const { return FRV->BottomMarginMM; }
    void SetBottomMarginMM(int value) { FRV->BottomMarginMM = value; }
    int HeaderYMM() const;
    void SetHeaderYMM(int value);
    int FooterYMM() const;
    void SetFooterYMM(int value);

    TRVPagePrepaintEvent OnPagePrepaint;
    TRVPagePrepaintEvent OnPagePostpaint;

    void TakeDocumentFrom(TCustomRichView* source);
    // Documents printed above and below the print area of every page (null: none).
    void SetHeader(TCustomRichView* source);
    void SetFooter(TCustomRichView* source);
    int FormatPages();
    int PagesCount() const;
    void PrintDocument(const std::string& title, int copies = 1, bool collate = false);

protected:
    std::unique_ptr<TCustomPrintableRV> CreatePrintableRV() override;
};

} // namespace epc
