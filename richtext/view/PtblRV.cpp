#include "richtext/view/PtblRV.h"

#include <algorithm>

#include "platform/core/ScopeGuard.h"
#include "platform/graphics/Graphics.h"
#include "platform/printing/Printers.h"

namespace epc {

// ---------------------------------------------------------------- TCustomPrintableRV

TCustomPrintableRV::TCustomPrintableRV(TComponent* owner) : TCustomRichView(owner) {
    CreateData();
    SetVisible(false);
    Options.Exclude(TRVOption::rvoAllowSelection);
    Options.Include(TRVOption::rvoScrollToEnd);
    Options.Include(TRVOption::rvoShowPageBreaks);
    Options.Include(TRVOption::rvoTagsArePChars);
    TopMargin = 0;
    BottomMargin = 0;
    SetBorderStyle(bsNone);
}

std::unique_ptr<TRichViewRVData> TCustomPrintableRV::GetDataClass() {
    return std::make_unique<TPrintableRVData>(this);
}

TCustomMainPtblRVData* TCustomPrintableRV::PrintData() const {
    return static_cast<TCustomMainPtblRVData*>(RVData());
}

int TCustomPrintableRV::FormatPages() {
    {
        // Hiding the scroll bars resizes the window; that must not lay out for the screen.
        TCustomMainPtblRVData* data = PrintData();
        const bool held = data->State.Contains(TRVState::rvstFormattingInProgress);
        data->State.Include(TRVState::rvstFormattingInProgress);
        auto resume = Finally([&] {
            if (!held) data->State.Exclude(TRVState::rvstFormattingInProgress);
        });
        SetVScrollVisible(false);
        SetHScrollVisible(false);
    }
    return PrintData()->FormatPages();
}

void TCustomPrintableRV::DrawPage(int pageNo, TCanvas* canvas, bool preview, bool correction) {
    PrintData()->DrawPage(pageNo, canvas, preview, correction);
}

void TCustomPrintableRV::PrintPages(int firstPage, int lastPage, const std::string& title,
                                    int copies, bool collate) {
    TCustomMainPtblRVData* data = PrintData();
    if (!Style()) throw ERichViewError("Style of printable TRichView component is not assigned");
    auto notify = [this](int page, TRVPrintingStep step) {
        if (RVPrint && RVPrint->OnSendingToPrinter) RVPrint->OnSendingToPrinter(this, page, step);
    };
    if (lastPage < firstPage) {
        // No pages (an empty document): the job is started and finished for the listeners,
        // but no job is begun, so no empty file is written.
        if (RVPrint) RVPrint->StartAt = 0;
        notify(0, TRVPrintingStep::rvpsStarting);
        notify(0, TRVPrintingStep::rvpsFinished);
        return;
    }
    data->CheckPageNo(firstPage);
    data->CheckPageNo(lastPage);
    if (copies < 1) copies = 1;
    if (RVPrint) RVPrint->StartAt = 0;
    notify(0, TRVPrintingStep::rvpsStarting);
    TPrinter& printer = Printer();
    printer.Title = title;
    const int oldCopies = printer.Copies();
    auto restoreCopies = Finally([&] { printer.SetCopies(oldCopies); });
    int passes = copies;
    if (printer.Capabilities().Contains(TPrinterCapability::pcCopies)) {
        printer.SetCopies(copies);
        passes = 1;
    } else {
        printer.SetCopies(1);
    }
    printer.BeginDoc();
    bool completed = false;
    // A page that fails to draw abandons the job: no half-written file is left behind.
    auto abandon = Finally([&] {
        if (!completed) printer.Abort();
    });
    auto sheet = [&](int page, bool lastSheet) {
        DrawPage(page, printer.Canvas(), false, false);
        notify(page, TRVPrintingStep::rvpsProceeding);
        if (!lastSheet) printer.NewPage();
    };
    if (collate) {
        for (int c = 0; c < passes; ++c)
            for (int p = firstPage; p <= lastPage; ++p)
                sheet(p, c == passes - 1 && p == lastPage);
    } else {
        for (int p = firstPage; p <= lastPage; ++p)
            for (int c = 0; c < passes; ++c)
                sheet(p, c == passes - 1 && p == lastPage);
    }
    printer.EndDoc();
    completed = true;
    // The printer has its former copies back before the finishing notification.
    printer.SetCopies(oldCopies);
    notify(0, TRVPrintingStep::rvpsFinished);
}

void TCustomPrintableRV::ApplyLayoutInfo(const TRVLayoutInfo& layout) {
    TCustomRichView::ApplyLayoutInfo(layout);
    TCustomMainPtblRVData* data = PrintData();
    data->LayoutPair1 = layout.UsePair ? layout.Pair1 : -1;
    data->LayoutPair2 = layout.UsePair ? layout.Pair2 : -1;
    TRVFlags flags = data->GetFlags();
    if (layout.UsePair)
        flags.Include(TRVFlag::CanUseDeviceFit);
    else
        flags.Exclude(TRVFlag::CanUseDeviceFit);
    if (layout.Flag7)
        flags.Include(TRVFlag::Reserved7);
    else
        flags.Exclude(TRVFlag::Reserved7);
    data->SetFlags(flags);
}

TPrintableRV::TPrintableRV(TComponent* owner) : TCustomPrintableRV(owner) {}

std::unique_ptr<TRichViewRVData> TPrintableRV::GetDataClass() {
    return std::make_unique<TPrintableRVData>(this);
}

// ---------------------------------------------------------------- TCustomRVPrint

TCustomRVPrint::TCustomRVPrint(TComponent* owner) : TComponent(owner) {}

TCustomRVPrint::~TCustomRVPrint() {
    ForgetSources();
    FRV.reset();
}

void TCustomRVPrint::CreateRV() {
    FRV = CreatePrintableRV();
    if (!FRV) return;
    FRV->RVPrint = this;
    // The hidden viewer lives on the owner's window; a window that frees its children first
    // tells this component (Notification), which then lets go of it.
    auto* parent = dynamic_cast<TWinControl*>(Owner());
    if (parent && !ComponentState().Contains(TComponentStateItem::csDesigning)) {
        FRV->FreeNotification(this);
        FRV->SetParent(parent);
    }
}

void TCustomRVPrint::Notification(TComponent* component, TOperation operation) {
    TComponent::Notification(component, operation);
    if (operation == TOperation::opRemove && FRV && component == FRV.get()) {
        ForgetSources();
        FBodySource = FHeaderSource = FFooterSource = nullptr;
        (void)FRV.release(); // its parent window is freeing it
    }
}

bool TCustomRVPrint::TransparentBackground() const {
    return FRV && FRV->PrintData()->TransparentBackground;
}

void TCustomRVPrint::SetTransparentBackground(bool value) {
    if (FRV) FRV->PrintData()->TransparentBackground = value;
}

TRVColorMode TCustomRVPrint::ColorMode() const {
    return FRV ? FRV->PrintData()->ColorMode : TRVColorMode::rvcmPrinterColor;
}

void TCustomRVPrint::SetColorMode(TRVColorMode value) {
    if (FRV) FRV->PrintData()->ColorMode = value;
}

void TCustomRVPrint::Loaded() {
    TComponent::Loaded();
    if (FRV) FRV->UpdatePalette();
}

void TCustomRVPrint::WatchSource(TCustomRichView* source) {
    if (!source) return;
    source->AddItemsSharer(this);
    if (std::find(FSources.begin(), FSources.end(), source) == FSources.end())
        FSources.push_back(source);
}

void TCustomRVPrint::ForgetSources() {
    for (TCustomRichView* source : FSources)
        source->RemoveItemsSharer(this);
    FSources.clear();
}

void TCustomRVPrint::Clear() {
    ForgetSources();
    FBodySource = FHeaderSource = FFooterSource = nullptr;
    if (FRV) {
        auto* data = dynamic_cast<TPrintableRVData*>(FRV->PrintData());
        if (data) {
            data->Header.reset();
            data->Footer.reset();
        }
        FRV->Clear();
    }
    FPagesFormatted = false;
}

// The source clears or frees the items the printable documents use: drop them first. A
// header or footer source takes only its part along; the body's pages stay as they are.
void TCustomRVPrint::SharedItemsDropped(TCustomRichView* source) {
    std::erase(FSources, source);
    if (!source) return;
    if (source == FBodySource) {
        Clear();
        return;
    }
    auto* data = FRV ? dynamic_cast<TPrintableRVData*>(FRV->PrintData()) : nullptr;
    if (source == FHeaderSource) {
        if (data) data->Header.reset();
        FHeaderSource = nullptr;
    }
    if (source == FFooterSource) {
        if (data) data->Footer.reset();
        FFooterSource = nullptr;
    }
}

void TCustomRVPrint::SourceReplaced(TCustomRichView* old) {
    if (!old || old == FBodySource || old == FHeaderSource || old == FFooterSource) return;
    old->RemoveItemsSharer(this);
    std::erase(FSources, old);
}

// ---------------------------------------------------------------- TRVPrint

TRVPrint::TRVPrint(TComponent* owner) : TCustomRVPrint(owner) {
    CreateRV();
    FRV->LeftMarginMM = FRV->RightMarginMM = FRV->TopMarginMM = FRV->BottomMarginMM = 20;
}

std::unique_ptr<TCustomPrintableRV> TRVPrint::CreatePrintableRV() {
    return std::make_unique<TPrintableRV>(nullptr);
}

int TRVPrint::HeaderYMM() const {
    return static_cast<TPrintableRVData*>(FRV->PrintData())->HeaderYMM;
}
void TRVPrint::SetHeaderYMM(int value) {
    static_cast<TPrintableRVData*>(FRV->PrintData())->HeaderYMM = value;
}
int TRVPrint::FooterYMM() const {
    return static_cast<TPrintableRVData*>(FRV->PrintData())->FooterYMM;
}
void TRVPrint::SetFooterYMM(int value) {
    static_cast<TPrintableRVData*>(FRV->PrintData())->FooterYMM = value;
}

void TRVPrint::TakeDocumentFrom(TCustomRichView* source) {
    if (!source) return;
    TCustomMainPtblRVData* data = FRV->PrintData();
    data->State.Include(TRVState::rvstFormattingInProgress);
    auto resume = Finally([&] { data->State.Exclude(TRVState::rvstFormattingInProgress); });
    data->ShareItemsOf(*source->RVData());
    FRV->LeftMargin = source->LeftMargin;
    FRV->RightMargin = source->RightMargin;
    FRV->TopMargin = 0;
    FRV->BottomMargin = 0;
    data->TmpTMPix = source->TopMargin;
    data->TmpBMPix = source->BottomMargin;
    FRV->SetStyle(source->Style());
    FRV->SetDoInPaletteMode(source->DoInPaletteMode());
    FRV->SetBackgroundBitmap(source->BackgroundBitmap());
    FRV->SetBackgroundStyle(source->BackgroundStyle() == TBackgroundStyle::bsTiledAndScrolled
                                ? TBackgroundStyle::bsTiled
                                : source->BackgroundStyle());
    FRV->SetColor(source->Color());
    FRV->SetBiDiMode(source->GetBiDiMode());
    TCustomRichView* old = FBodySource;
    FBodySource = source;
    SourceReplaced(old);
    WatchSource(source);
    FPagesFormatted = false;
}

void TRVPrint::SetHeader(TCustomRichView* source) {
    auto* data = static_cast<TPrintableRVData*>(FRV->PrintData());
    data->Header.reset();
    TCustomRichView* old = FHeaderSource;
    FHeaderSource = source;
    SourceReplaced(old);
    if (!source) return;
    data->Header = std::make_unique<TRectPtblRVData>(FRV.get(), data, *source->RVData());
    WatchSource(source);
}

void TRVPrint::SetFooter(TCustomRichView* source) {
    auto* data = static_cast<TPrintableRVData*>(FRV->PrintData());
    data->Footer.reset();
    TCustomRichView* old = FFooterSource;
    FFooterSource = source;
    SourceReplaced(old);
    if (!source) return;
    data->Footer = std::make_unique<TRectPtblRVData>(FRV.get(), data, *source->RVData());
    WatchSource(source);
}

int TRVPrint::FormatPages() {
    FFormattingID = FFormattingID == 9999 ? 0 : FFormattingID + 1;
    int pages = FRV->FormatPages();
    FPagesFormatted = true;
    return pages;
}

int TRVPrint::PagesCount() const {
    return FRV->PrintData()->PageCount();
}

void TRVPrint::PrintDocument(const std::string& title, int copies, bool collate) {
    // Pages made before an item changed are made again rather than drawn from an old layout.
    if (FRV->PrintData()->LayoutOutdated()) FormatPages();
    FRV->PrintPages(1, PagesCount(), title, copies, collate);
}

} // namespace epc
