#include "richtext/view/RVRVData.h"

#include "platform/graphics/Bitmap.h"
#include "richtext/view/RichView.h"

namespace epc {

namespace {

// Vertical positions reach the scroll bars as 16-bit values: at most this many steps.
constexpr int kMaxSteps = 32000;

} // namespace

TRichViewRVData::TRichViewRVData(TCustomRichView* richView) : RichView(richView) {
    SetHost(this);
}

TRichViewRVData::~TRichViewRVData() {
    State.Include(TRVState::rvstDestroying);
    ClearFormatting();
    // Items go while the marker list they are listed in still exists.
    ClearAllItems();
}

TRVStyle* TRichViewRVData::GetRVStyle() const {
    return RichView->Style();
}
TRVOptions TRichViewRVData::GetOptions() const {
    return RichView->Options;
}
TRVFOptions TRichViewRVData::GetRVFOptions() const {
    return RichView->RVFOptions;
}
void TRichViewRVData::SetOptions(TRVOptions value) {
    RichView->Options = value;
}
void TRichViewRVData::SetRVFOptions(TRVFOptions value) {
    RichView->RVFOptions = value;
}
TRVRTFOptions TRichViewRVData::GetRTFOptions() const {
    return RichView->RTFOptions;
}
void TRichViewRVData::SetRTFOptions(TRVRTFOptions value) {
    RichView->RTFOptions = value;
}
TRVFReaderStyleMode TRichViewRVData::GetRVFTextStylesReadMode() const {
    return RichView->RVFTextStylesReadMode;
}
TRVFReaderStyleMode TRichViewRVData::GetRVFParaStylesReadMode() const {
    return RichView->RVFParaStylesReadMode;
}
TRVBiDiMode TRichViewRVData::GetBiDiMode() const {
    return RichView->GetBiDiMode();
}
TWinControl* TRichViewRVData::GetParentControl() const {
    return RichView;
}
std::u16string TRichViewRVData::GetDelimiters() const {
    return RichView->Delimiters;
}

TRVMarkerList* TRichViewRVData::GetMarkers(bool allowCreate) {
    if (!RichView->Flags.Contains(TRVFlag::OwnsMarkers))
        return TRVControlData::GetMarkers(allowCreate);
    if (!FMarkers && allowCreate) FMarkers = std::make_unique<TRVMarkerList>();
    return FMarkers.get();
}

TRichViewRVData::TRVDrawMarkerList* TRichViewRVData::DrawMarkers(int list, bool allowCreate) {
    if (list < 0 || list >= DrawMarkerListCount) return nullptr;
    if (!FDrawMarkers[list] && allowCreate)
        FDrawMarkers[list] = std::make_unique<TRVDrawMarkerList>();
    return FDrawMarkers[list].get();
}

void TRichViewRVData::ClearDrawMarkers() {
    for (auto& list : FDrawMarkers)
        list.reset();
}

TRVFlags TRichViewRVData::GetFlags() const {
    return RichView->Flags;
}
void TRichViewRVData::SetFlags(TRVFlags value) {
    RichView->Flags = value;
}
int TRichViewRVData::GetAreaWidth() const {
    return RichView->AreaWidth();
}
int TRichViewRVData::GetLeftMargin() const {
    return RichView->LeftMargin;
}
int TRichViewRVData::GetRightMargin() const {
    return RichView->RightMargin;
}
int TRichViewRVData::GetTopMargin() const {
    return RichView->TopMargin;
}
int TRichViewRVData::GetBottomMargin() const {
    return RichView->BottomMargin;
}
int TRichViewRVData::GetMinTextWidth() const {
    return RichView->MinTextWidth;
}
int TRichViewRVData::GetMaxTextWidth() const {
    return RichView->MaxTextWidth;
}
TRVBackground* TRichViewRVData::GetBackground() const {
    return RichView->Background();
}

void TRichViewRVData::AdjustVScrollUnits() {
    const int h = DocumentHeight;
    const int step = RichView->VSmallStep();
    if (h / step <= kMaxSteps) {
        if (step > 10 && h / 10 <= kMaxSteps) RichView->SetVSmallStep(10);
        return;
    }
    int next = h / kMaxSteps;
    if (h / next > kMaxSteps) ++next;
    RichView->SetVSmallStep(next);
}

void TRichViewRVData::SetDocumentSize(int width, int height) {
    const int step = RichView->VSmallStep();
    RichView->UpdateScrollBars(width, (height + step - 1) / step, true, true);
}

int TRichViewRVData::GetHScrollPos() const {
    return RichView->HScrollPos();
}
int TRichViewRVData::GetVScrollPos() const {
    return RichView->VScrollPos() * RichView->VSmallStep();
}
int TRichViewRVData::GetClientWidth() const {
    return RichView->ClientWidth();
}
int TRichViewRVData::GetClientHeight() const {
    return RichView->ClientHeight();
}
TCanvas* TRichViewRVData::GetCanvas() const {
    return RichView->Canvas();
}

void TRichViewRVData::ScrollTo(int y, bool redraw) {
    if (State.Contains(TRVState::rvstNoScroll)) return;
    if (redraw)
        RichView->ScrollToPixelY(y);
    else
        RichView->ScrollToPixelYNoRedraw(y);
}

void TRichViewRVData::HScrollTo(int x) {
    RichView->SetHScrollPos(x);
}
int TRichViewRVData::GetVSmallStep() const {
    return RichView->VSmallStep();
}
TColor TRichViewRVData::GetColor() const {
    return RichView->EffectiveColor();
}

void TRichViewRVData::PaintBackground(TCanvas* canvas, const TRect& rect) {
    RichView->Background()->Draw(canvas, TRect(0, 0, rect.Width(), rect.Height()), false,
                                 GetColor(), GetClientWidth(), GetClientHeight(), -rect.Left,
                                 -rect.Top, GetVScrollPos(), GetHScrollPos());
}

bool TRichViewRVData::IsControlFocused() const {
    // A cell editor's text is shown focused while the viewer around it has the focus too.
    for (TCustomRichView* view = RichView; view; view = view->OuterViewer())
        if (view->IsScrollerFocused()) return true;
    return false;
}

void TRichViewRVData::Invalidate() {
    RichView->Invalidate();
}

void TRichViewRVData::DoSelect() {
    if (RichView->OnSelect) RichView->OnSelect(RichView);
}

void TRichViewRVData::DoItemAction(TRVItemAction action, TCustomRVItemInfo* item, std::string& text,
                                   TCustomRVData* rvData) {
    TRVControlData::DoItemAction(action, item, text, rvData);
    if (RichView->OnItemAction) RichView->OnItemAction(RichView, action, item, text, rvData);
}

void TRichViewRVData::DoControlAction(int action, int itemNo, TComponent* control) {
    TRVControlData::DoControlAction(action, itemNo, control);
    if (RichView->OnControlAction) RichView->OnControlAction(RichView, action, itemNo, control);
}

TCustomImageList* TRichViewRVData::RVFImageListNeeded(int imageListTag) {
    TCustomImageList* list = nullptr;
    if (RichView->OnRVFImageListNeeded)
        RichView->OnRVFImageListNeeded(RichView, imageListTag, list);
    return list;
}

std::unique_ptr<TGraphic> TRichViewRVData::RVFPictureNeeded(const std::string& name,
                                                            const TRVTag& tag) {
    std::unique_ptr<TGraphic> graphic;
    if (RichView->OnRVFPictureNeeded) RichView->OnRVFPictureNeeded(RichView, name, tag, graphic);
    return graphic;
}

TRVComponentPtr TRichViewRVData::RVFControlNeeded(const std::string& name, const TRVTag& tag) {
    TRVComponentPtr control;
    if (RichView->OnRVFControlNeeded) RichView->OnRVFControlNeeded(RichView, name, tag, control);
    return control;
}

void TRichViewRVData::RVFBackgroundRead(TColor color, TBackgroundStyle style,
                                        std::unique_ptr<TGraphic> image) {
    RichView->SetBackgroundStyle(style);
    if (image) RichView->Background()->AssignImage(image.get());
    TRVControlData::RVFBackgroundRead(color, style, nullptr);
}

void TRichViewRVData::DoRVMouseDown(TMouseButton button, TShiftState shift, int itemNo, int x,
                                    int y) {
    if (RichView->OnRVMouseDown) RichView->OnRVMouseDown(RichView, button, shift, itemNo, x, y);
}
void TRichViewRVData::DoRVMouseUp(TMouseButton button, TShiftState shift, int itemNo, int x,
                                  int y) {
    if (RichView->OnRVMouseUp) RichView->OnRVMouseUp(RichView, button, shift, itemNo, x, y);
}
void TRichViewRVData::DoRVDblClick(const std::string& clickedWord, int styleNo) {
    if (RichView->OnRVDblClick) RichView->OnRVDblClick(RichView, clickedWord, styleNo);
}
bool TRichViewRVData::HasRVDblClick() const {
    return bool(RichView->OnRVDblClick);
}
bool TRichViewRVData::HasRVRightClick() const {
    return bool(RichView->OnRVRightClick);
}
void TRichViewRVData::DoRVRightClick(const std::string& clickedWord, int styleNo, int x, int y) {
    if (RichView->OnRVRightClick) RichView->OnRVRightClick(RichView, clickedWord, styleNo, x, y);
}
void TRichViewRVData::DoJump(int id) {
    if (RichView->OnJump) RichView->OnJump(RichView, id);
}
void TRichViewRVData::DoJumpHover(int id) {
    if (RichView->OnRVMouseMove) RichView->OnRVMouseMove(RichView, id);
}
void TRichViewRVData::DoCopy() {
    if (RichView->OnCopy) RichView->OnCopy(RichView);
}
bool TRichViewRVData::HasCopyHandler() const {
    return bool(RichView->OnCopy);
}

void TRichViewRVData::SetJumpCursor(int cursor) {
    if (cursor == -1) {
        if (!FJumpCursorShown) return;
        FJumpCursorShown = false;
        RichView->SetCursor(FOwnCursor);
        return;
    }
    if (!FJumpCursorShown) {
        FOwnCursor = RichView->Cursor();
        FJumpCursorShown = true;
    }
    RichView->SetCursor(TCursor(cursor));
}

void TRichViewRVData::InvalidateRect(const TRect& rect) {
    if (!RichView->HandleAllocated()) return;
    RECT r{rect.Left, rect.Top, rect.Right, rect.Bottom};
    epc::InvalidateRect(RichView->Handle(), &r, false);
}
void TRichViewRVData::UpdateControl() {
    RichView->Update();
}
void TRichViewRVData::FocusControl() {
    if (RichView->CanFocus() && !RichView->Focused() && !RichView->GetInplaceEditor())
        RichView->SetFocus();
}
void TRichViewRVData::ClientToScreen(TPoint& p) const {
    p = RichView->ClientToScreen(p);
}
void TRichViewRVData::ScreenToClient(TPoint& p) const {
    p = RichView->ScreenToClient(p);
}
TCPEventKind TRichViewRVData::GetCPEventKind() const {
    return RichView->CPEventKind;
}
void TRichViewRVData::DoCheckpointVisible(TRVCPInfo* cp) {
    if (RichView->OnCheckpointVisible) RichView->OnCheckpointVisible(RichView, cp);
}

void TRichViewRVData::ReadHyperlink(const std::string& target, const std::string& extras,
                                    int& styleNo, TRVTag& tag, std::string& itemName) {
    TRVControlData::ReadHyperlink(target, extras, styleNo, tag, itemName);
    if (RichView->OnReadHyperlink)
        RichView->OnReadHyperlink(RichView, target, extras, styleNo, tag, itemName);
}

bool TRichViewRVData::URLNeeded(int id, std::string& url) {
    if (!RichView->OnURLNeeded) return false;
    url.clear();
    RichView->OnURLNeeded(RichView, id, url);
    return true;
}

bool TRichViewRVData::HTMLSaveImage(TCustomRVData* rvData, int itemNo, const std::string& path,
                                    TColor background, std::string& location) {
    bool doDefault = true;
    location.clear();
    if (RichView->OnHTMLSaveImage)
        RichView->OnHTMLSaveImage(RichView, rvData, itemNo, path, background, location, doDefault);
    return doDefault;
}

std::string TRichViewRVData::SaveComponentToFile(const std::string& path, TPersistent* component,
                                                 TRVSaveFormat format) {
    std::string out;
    if (RichView->OnSaveComponentToFile)
        RichView->OnSaveComponentToFile(RichView, path, component, format, out);
    return out;
}

std::string TRichViewRVData::GetExtraHTMLCode(TRVHTMLSaveArea area, bool css) {
    std::string code;
    if (RichView->OnSaveHTMLExtra) RichView->OnSaveHTMLExtra(RichView, area, css, code);
    return code;
}

std::string TRichViewRVData::GetExtraRTFCode(int area, int row, int col) {
    std::string code = TRVControlData::GetExtraRTFCode(area, row, col);
    if (RichView->OnSaveRTFExtra) RichView->OnSaveRTFExtra(RichView, area, row, col, code);
    return code;
}

std::string TRichViewRVData::SaveImageFileForHtml(const std::string& path, TGraphic* graphic) {
    return RichView->SaveImageFileForHtml(path, graphic);
}

HPALETTE TRichViewRVData::GetDocPalette() const {
    return RichView->Palette();
}

} // namespace epc
