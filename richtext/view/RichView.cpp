#include "richtext/view/RichView.h"

#include <algorithm>

#include "platform/controls/Forms.h"
#include "platform/core/ScopeGuard.h"
#include "platform/gdi/Gdi.h"
#include "platform/graphics/Bitmap.h"
#include "richtext/document/RVGraphicSupport.h"
#include "richtext/view/RVRVData.h"

namespace epc {

namespace {

constexpr UINT_PTR kAutoScrollTimer = 1;
constexpr uint32_t kAutoScrollInterval = 100;
constexpr int kMaxSteps = 32000;

// Auto-scroll direction of one axis from the mouse position relative to the client area.
int AutoScrollDirection(int v, int size) {
    if (v < -20) return -10;
    if (v < 0) return -1;
    if (v < size) return 0;
    if (v < size + 20) return 1;
    return 10;
}

} // namespace

TCustomRichView::TCustomRichView(TComponent* owner) : TRVScroller(owner) {
    CreateData();
    SetCursor(crDefault);
    SetColor(clNone);
    FBackground = std::make_unique<TRVBackground>(true);
    FBackground->OnChange = [this] { BackgroundChanged(); };
    SetBounds(Left(), Top(), 100, 40);
    SetBorderStyle(bsSingle);
}

TCustomRichView::~TCustomRichView() {
    FDestroying = true;
    FBackground->OnChange = nullptr;
    Clear();
    // The document goes before the window that its controls live in.
    FRVData.reset();
    if (FStyle) FStyle->RemoveFreeNotification(this);
}

std::unique_ptr<TRichViewRVData> TCustomRichView::GetDataClass() {
    return std::make_unique<TRichViewRVData>(this);
}

void TCustomRichView::CreateData() {
    FRVData = GetDataClass();
}

void TCustomRichView::BackgroundChanged() {
    FullRedrawOnScroll = FBackground->ScrollRequiresFullRedraw();
    if (Options.Contains(TRVOption::rvoFormatInvalidate)) Invalidate();
}

void TCustomRichView::SetBackgroundBitmap(TBitmap* value) {
    if (value)
        FBackground->GetBitmap()->Assign(value);
    else
        FBackground->GetBitmap()->SetSize(0, 0);
    BackgroundChanged();
}

void TCustomRichView::SetStyle(TRVStyle* value) {
    if (FStyle == value) return;
    if (FStyle) FStyle->RemoveFreeNotification(this);
    FStyle = value;
    if (FStyle) FStyle->FreeNotification(this);
    if (Options.Contains(TRVOption::rvoFormatInvalidate) ||
        ComponentState().Contains(TComponentStateItem::csDesigning))
        Invalidate();
}

void TCustomRichView::Notification(TComponent* component, TOperation operation) {
    TRVScroller::Notification(component, operation);
    if (operation == TOperation::opRemove && component == FStyle) {
        // The document may not be painted or formatted with the old sheet any more.
        DropFormatting();
        FStyle = nullptr;
    }
}

void TCustomRichView::SetBiDiMode(TRVBiDiMode value) {
    if (value == GetBiDiMode()) return;
    TRVScroller::SetBiDiMode(value);
    Format();
}

void TCustomRichView::SetVSmallStep(int value) {
    if (value <= 0 || FRVData->DocumentHeight / value > kMaxSteps) return;
    TRVScroller::SetVSmallStep(value);
}

TRVTabNavigationType TCustomRichView::TabNavigation() const {
    return FRVData->TabNavigation;
}
void TCustomRichView::SetTabNavigation(TRVTabNavigationType value) {
    FRVData->TabNavigation = value;
}
int TCustomRichView::FirstJumpNo() const {
    return FRVData->FirstJumpNo;
}
void TCustomRichView::SetFirstJumpNo(int value) {
    FRVData->FirstJumpNo = value;
}

void TCustomRichView::SetAllowSelection(bool value) {
    if (value)
        Options.Include(TRVOption::rvoAllowSelection);
    else
        Options.Exclude(TRVOption::rvoAllowSelection);
}

void TCustomRichView::SetSingleClick(bool value) {
    if (value)
        Options.Include(TRVOption::rvoSingleClick);
    else
        Options.Exclude(TRVOption::rvoSingleClick);
}

TColor TCustomRichView::EffectiveColor() const {
    if (Color() != clNone) return Color();
    if (FStyle) return FStyle->Color;
    return clWindow;
}

// ---- Building ---------------------------------------------------------------------------------

void TCustomRichView::AppendTextParagraph(const std::string& text, int styleNo, int paraNo,
                                          const TRVTag& tag) {
    FRVData->AddTextParagraph(text, styleNo, paraNo, tag);
}

void TCustomRichView::AppendTextLines(const std::string& text, int styleNo, int firstParaNo,
                                      int otherParaNo) {
    size_t start = 0;
    bool first = true;
    while (start <= text.size()) {
        size_t end = text.find("\r\n", start);
        const std::string line =
            text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        FRVData->AddTextParagraph(line, styleNo, first ? firstParaNo : otherParaNo, TRVTag());
        first = false;
        if (end == std::string::npos) break;
        start = end + 2;
    }
}

void TCustomRichView::AppendBreakLine(uint8_t width, TRVBreakStyle style, TColor color) {
    FRVData->AddBreak(width, style, color);
}

void TCustomRichView::AppendPicture(const std::string& name, std::unique_ptr<TGraphic> graphic,
                                    int paraNo, TRVVAlign vAlign) {
    FRVData->AddPictureItem(name, std::move(graphic), paraNo, vAlign);
}

void TCustomRichView::AppendItem(const std::string& name, std::unique_ptr<TCustomRVItemInfo> item) {
    if (!item) return;
    item->ItemOptions &= uint8_t(~(rvioSameAsPrev | rvioBR));
    FRVData->AppendItem(name, std::move(item));
}

void TCustomRichView::SetAddParagraphMode(bool value) {
    FRVData->AddParagraphMode = value;
}

void TCustomRichView::ApplyParagraphMarker(int itemNo, int listNo, int level, int startFrom,
                                           bool useStartFrom) {
    FRVData->SetParagraphMarker(itemNo, listNo, level, startFrom, useStartFrom);
}

int TCustomRichView::GetParagraphMarkerInfo(int itemNo, int& listNo, int& level, int& startFrom,
                                            bool& useStartFrom) const {
    return FRVData->GetParagraphMarker(itemNo, listNo, level, startFrom, useStartFrom);
}

void TCustomRichView::DeleteItemRange(int first, int count) {
    FRVData->Deselect(nullptr, false);
    FRVData->DeleteItemRange(first, count);
}

void TCustomRichView::DropFormatting() {
    if (FTimerRunning && HandleAllocated()) StopAutoScrollTimer();
    FRVData->ClearFormatting();
}

void TCustomRichView::AddItemsSharer(TRVItemsSharer* sharer) {
    if (sharer &&
        std::find(FItemsSharers.begin(), FItemsSharers.end(), sharer) == FItemsSharers.end())
        FItemsSharers.push_back(sharer);
}

void TCustomRichView::RemoveItemsSharer(TRVItemsSharer* sharer) {
    std::erase(FItemsSharers, sharer);
}

void TCustomRichView::Clear() {
    // Sharers let go first: they may hold drawing items made from these items.
    std::vector<TRVItemsSharer*> sharers;
    sharers.swap(FItemsSharers);
    for (TRVItemsSharer* sharer : sharers)
        sharer->SharedItemsDropped(this);
    DropFormatting();
    FRVData->Clear();
}

void TCustomRichView::ClearDocument() {
    Clear();
    if (HandleAllocated()) {
        TRVScroller::ResetScrollPositions();
        TRVScroller::ResetScrollBars();
        Invalidate();
    }
}

// ---- Formatting and display ---------------------------------------------------------------------

void TCustomRichView::Format() {
    if (ComponentState().Contains(TComponentStateItem::csDesigning)) return;
    FormatAll();
    if (Options.Contains(TRVOption::rvoFormatInvalidate)) Invalidate();
}

void TCustomRichView::FormatAll() {
    if (!FStyle) return;
    FRVData->FormatAll(false, true, true, false, Canvas(), 0, false);
}

TCustomRichView* TCustomRichView::OuterViewer() const {
    auto* outer = dynamic_cast<TCustomRichView*>(Parent());
    return outer && outer->GetInplaceEditor() == this ? outer : nullptr;
}

void TCustomRichView::RepaintWithOuter(bool now) {
    if (now) Repaint();
    // A background that does not move with the text is shared with the viewer around a cell
    // editor: that viewer shows it too.
    TRVBackground* background = FRVData->GetBackground();
    if (!background || !background->ScrollRequiresFullRedraw()) return;
    if (TCustomRichView* outer = OuterViewer()) {
        if (now)
            outer->Repaint();
        else
            outer->Invalidate();
    }
}

void TCustomRichView::Loaded() {
    TRVScroller::Loaded();
    UpdatePalette();
    Format();
}

void TCustomRichView::Paint() {
    TCanvas* canvas = Canvas();
    if (!FStyle) {
        // Without a sheet there is nothing to measure text with: say so instead.
        canvas->Font()->SetName("MS Sans Serif");
        canvas->Font()->SetSize(8);
        canvas->Font()->SetColor(clWindowText);
        canvas->Font()->SetStyle(TFontStyles());
        canvas->Brush()->SetStyle(bsSolid);
        canvas->Brush()->SetColor(clWindow);
        RECT r = ClientRect();
        canvas->FillRect(r);
        const std::string text =
            "Style is not defined\rCreate a TRVStyle object and assign it to " + Name() + ".Style";
        DrawTextA(canvas->Handle(), text.c_str(), int(text.size()), &r, DT_WORDBREAK);
        return;
    }
    // The XOR feedback is taken off before the pixels under it are painted anew.
    const bool xorShown = FRVData->XorFeedbackShown();
    if (xorShown) FRVData->HideXorFeedback();
    FRVData->Paint(canvas);
    if (OnPaint) OnPaint(this, canvas, false);
    if (xorShown) FRVData->ShowXorFeedback();
}

void TCustomRichView::AfterVScroll() {
    TRVScroller::AfterVScroll();
    SimulateMouseMove();
    if (CPEventKind != TCPEventKind::cpeNone && OnCheckpointVisible)
        FRVData->UpdateVisibleCheckpoint();
    RepaintWithOuter(false);
}

void TCustomRichView::AfterHScroll() {
    TRVScroller::AfterHScroll();
    SimulateMouseMove();
    RepaintWithOuter(false);
}

void TCustomRichView::SimulateMouseMove() {
    if (!FStyle || !HandleAllocated() || FDestroying ||
        FRVData->State.Contains(TRVState::rvstFormattingInProgress))
        return;
    POINT p;
    GetCursorPos(&p);
    epc::ScreenToClient(Handle(), &p);
    if (p.X < 0 || p.Y < 0 || p.X >= ClientWidth() || p.Y >= ClientHeight()) return;
    if (WindowFromPoint(ClientToScreen(TPoint(p.X, p.Y))) != Handle()) return;
    FRVData->MouseMove(GetShiftState(), p.X, p.Y);
}

void TCustomRichView::ResetScrollPositions() {
    if (FRVData && FRVData->ItemCount() > 0) return;
    TRVScroller::ResetScrollPositions();
}

void TCustomRichView::ResetScrollBars() {
    if (FRVData && FRVData->ItemCount() > 0 && FStyle) {
        FRVData->FormatAll(true, false, false, false, Canvas(), 0, false);
        return;
    }
    TRVScroller::ResetScrollBars();
}

// ---- Items ------------------------------------------------------------------------------------

int TCustomRichView::GetItemCount() const {
    return FRVData->ItemCount();
}
int TCustomRichView::GetItemStyleNo(int itemNo) const {
    return FRVData->GetItemStyleNo(itemNo);
}
int TCustomRichView::GetItemParaStyle(int itemNo) const {
    return FRVData->GetItemParaNo(itemNo);
}
bool TCustomRichView::ItemStartsParagraph(int itemNo) const {
    return FRVData->ItemStartsParagraph(itemNo);
}
TRVTag TCustomRichView::GetItemTag(int itemNo) const {
    return FRVData->ReadItemTag(itemNo);
}
void TCustomRichView::SetItemTag(int itemNo, const TRVTag& tag) {
    FRVData->SetItemTag(itemNo, tag);
}
TCustomRVItemInfo* TCustomRichView::GetItemObject(int itemNo) const {
    return FRVData->GetItemObject(itemNo);
}
std::u16string TCustomRichView::GetItemTextUnicode(int itemNo) const {
    return FRVData->GetItemTextW(itemNo);
}
bool TCustomRichView::GetItemIntProperty(int itemNo, int prop, int& value) const {
    return FRVData->GetItemExtraIntProperty(itemNo, prop, value);
}

void TCustomRichView::GetPictureItemInfo(int itemNo, std::string& name, TGraphic*& graphic,
                                         TRVVAlign& vAlign, TRVTag& tag) const {
    FRVData->RequireItemClass(itemNo, [](TCustomRVItemInfo* item) {
        return dynamic_cast<TRVGraphicItemInfo*>(item) != nullptr;
    });
    auto* item = static_cast<TRVGraphicItemInfo*>(FRVData->GetItem(itemNo));
    name = FRVData->GetItemText(itemNo);
    graphic = item->Image.get();
    vAlign = item->VAlign;
    tag = item->Tag;
}

bool TCustomRichView::GetItemClientCoords(int itemNo, int& x, int& y) const {
    if (!FRVData->GetItemCoords(itemNo, x, y)) return false;
    x -= FRVData->GetHScrollPos();
    y -= FRVData->GetVScrollPos();
    return true;
}

int TCustomRichView::GetOffsBeforeItem(int itemNo) const {
    return FRVData->ItemStartOffset(itemNo);
}
int TCustomRichView::GetOffsAfterItem(int itemNo) const {
    return FRVData->ItemEndOffset(itemNo);
}

void TCustomRichView::SetVScrollPos(int pos, bool redraw) {
    if (!FRVData) return TRVScroller::SetVScrollPos(pos, redraw);
    FRVData->HideFocusFrame();
    auto show = Finally([&] { FRVData->ShowFocusFrame(); });
    TRVScroller::SetVScrollPos(pos, redraw);
}

void TCustomRichView::SetHScrollPos(int pos) {
    if (!FRVData) return TRVScroller::SetHScrollPos(pos);
    FRVData->HideFocusFrame();
    auto show = Finally([&] { FRVData->ShowFocusFrame(); });
    TRVScroller::SetHScrollPos(pos);
}

void TCustomRichView::SetSelection(int startItemNo, int startOffs, int endItemNo, int endOffs) {
    // The document's own: an end on a list marker moves to the following item.
    FRVData->SetSelection(startItemNo, startOffs, endItemNo, endOffs);
}

void TCustomRichView::SelectAll() {
    FRVData->SelectAll();
}

void TCustomRichView::ClearSelection() {
    FRVData->Deselect(nullptr, true);
}

bool TCustomRichView::HasSelection() const {
    if (FRVData->FirstDrawItemNo < 0 || FRVData->LastDrawItemNo < 0) return false;
    return FRVData->FirstDrawItemNo != FRVData->LastDrawItemNo ||
           FRVData->FirstOffs != FRVData->LastOffs;
}

void TCustomRichView::ClearDrawMarkers() {
    FRVData->ClearDrawMarkers();
}

// ---- RVF and RTF --------------------------------------------------------------------------------

void TCustomRichView::ApplyLayoutInfo(const TRVLayoutInfo& layout) {
    LeftMargin = layout.LeftMargin;
    RightMargin = layout.RightMargin;
    TopMargin = layout.TopMargin;
    BottomMargin = layout.BottomMargin;
    MinTextWidth = layout.MinTextWidth;
    MaxTextWidth = layout.MaxTextWidth;
    TRVScroller::SetBiDiMode(layout.BiDiMode);
}

bool TCustomRichView::ReadRvfStream(TStream& stream) {
    Clear();
    FRVData->RVFLoadedLayoutValid = false;
    FRVData->RVFLoadedColor = clNone;
    const bool ok = FRVData->LoadFromRvfStream(stream);
    if (FRVData->RVFLoadedLayoutValid) ApplyLayoutInfo(FRVData->RVFLoadedLayout);
    // A stored background colour is the stream's, clNone (the style's colour) included.
    if (FRVData->RVFLoadedColorValid) SetColor(FRVData->RVFLoadedColor);
    return ok;
}

bool TCustomRichView::InsertRvfStreamAt(TStream& stream, int itemNo) {
    int index = std::clamp(itemNo, 0, FRVData->ItemCount());
    int firstItem = -1, lastItem = -1;
    bool fullReformat = false;
    return FRVData->RvfReadLoop(stream, index, firstItem, lastItem, fullReformat);
}

void TCustomRichView::WriteRvfStream(TStream& stream, bool selectionOnly) {
    TRVLayoutInfo layout;
    layout.LeftMargin = LeftMargin;
    layout.RightMargin = RightMargin;
    layout.TopMargin = TopMargin;
    layout.BottomMargin = BottomMargin;
    layout.MinTextWidth = MinTextWidth;
    layout.MaxTextWidth = MaxTextWidth;
    layout.BiDiMode = GetBiDiMode();
    FRVData->SaveToRvfStream(stream, selectionOnly, Color(), FBackground->GetStyle(),
                             FBackground->Picture(), &layout);
}

bool TCustomRichView::WriteRtfFile(const std::string& fileName, bool selectionOnly) {
    return FRVData->SaveRtfToFile(fileName, selectionOnly, Color(), FBackground->GetStyle(),
                                  FBackground->Picture());
}

bool TCustomRichView::WriteRtfStream(TStream& stream, bool selectionOnly) {
    return FRVData->WriteRtfToStream(stream, selectionOnly, Color(), FBackground->GetStyle(),
                                     FBackground->Picture());
}

int TCustomRichView::LoadRtfStream(TStream& stream) {
    int index = FRVData->ItemCount();
    return GetRTFReadProperties()->ImportRtfStream(FRVData.get(), stream, index);
}

std::string TCustomRichView::SaveImageFileForHtml(const std::string& path, TGraphic* graphic) {
    return RVWriteHtmlPictureFile(graphic, path, [this](const std::string& ext) {
        return "rvimg" + std::to_string(++FHtmlImageCounter) + ext;
    });
}

TRVRTFReaderProperties* TCustomRichView::GetRTFReadProperties() {
    if (!FRTFReadProperties) FRTFReadProperties = std::make_unique<TRVRTFReaderProperties>();
    return FRTFReadProperties.get();
}

void TCustomRichView::SetRTFReadProperties(const TRVRTFReaderProperties* value) {
    if (!value) {
        FRTFReadProperties.reset();
        return;
    }
    *GetRTFReadProperties() = *value;
}

void TCustomRichView::CopyEventHandlersFrom(const TCustomRichView& other) {
    OnJump = other.OnJump;
    OnRVMouseMove = other.OnRVMouseMove;
    OnRVMouseUp = other.OnRVMouseUp;
    OnRVMouseDown = other.OnRVMouseDown;
    OnRVDblClick = other.OnRVDblClick;
    OnRVRightClick = other.OnRVRightClick;
    OnURLNeeded = other.OnURLNeeded;
    OnSaveComponentToFile = other.OnSaveComponentToFile;
    OnHTMLSaveImage = other.OnHTMLSaveImage;
    OnRVFImageListNeeded = other.OnRVFImageListNeeded;
    OnRVFControlNeeded = other.OnRVFControlNeeded;
    OnRVFPictureNeeded = other.OnRVFPictureNeeded;
    OnCopy = other.OnCopy;
    OnSelect = other.OnSelect;
    OnClick = other.OnClick;
    OnDblClick = other.OnDblClick;
    OnKeyDown = other.OnKeyDown;
    OnKeyUp = other.OnKeyUp;
    OnKeyPress = other.OnKeyPress;
}

// ---- Mouse, keys, timer and messages
// --------------------------------------------------------------

void TCustomRichView::StartAutoScrollTimer() {
    if (FTimerRunning || !HandleAllocated()) return;
    SetTimer(Handle(), kAutoScrollTimer, kAutoScrollInterval);
    FTimerRunning = true;
}

void TCustomRichView::StopAutoScrollTimer() {
    if (!FTimerRunning) return;
    if (HandleAllocated()) KillTimer(Handle(), kAutoScrollTimer);
    FTimerRunning = false;
}

void TCustomRichView::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    if (!GetInplaceEditor() && !shift.Contains(ssDouble) && CanFocus() && !Focused()) SetFocus();
    TRVScroller::MouseDown(button, shift, x, y);
    if (FStyle) FRVData->MouseDown(button, shift, x, y);
    if (button == mbLeft) StartAutoScrollTimer();
}

void TCustomRichView::MouseMove(TShiftState shift, int x, int y) {
    FScrollDX = AutoScrollDirection(x, ClientWidth());
    FScrollDY = AutoScrollDirection(y, ClientHeight());
    TRVScroller::MouseMove(shift, x, y);
    if (FStyle) FRVData->MouseMove(shift, x, y);
}

void TCustomRichView::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
    TRVScroller::MouseUp(button, shift, x, y);
    if (button == mbLeft) StopAutoScrollTimer();
    if (FStyle) FRVData->MouseUp(button, shift, x, y);
}

void TCustomRichView::DblClick() {
    TRVScroller::DblClick();
    if (FStyle) FRVData->DblClick();
}

void TCustomRichView::CopyToClipboard() {
    CopySelection(EffectiveColor(), FBackground.get());
}

void TCustomRichView::CopySelection(TColor color, TRVBackground* background) {
    FRVData->CopyToClipboard(color, background);
}

std::string TCustomRichView::GetSelText() {
    return FRVData->GetSelectionText(false);
}

TGraphic* TCustomRichView::GetSelectedImage() const {
    return FRVData->GetSelectedImage();
}

// The auto-scroll timer dies with the window; the class library's handling follows.
void TCustomRichView::WMDestroy(TMessage& /*message*/) {
    StopAutoScrollTimer();
}

void TCustomRichView::WMCopy(TMessage& /*message*/) {
    // While a cell is edited in place, its editor holds the selection to copy.
    if (TRVScroller* editor = GetInplaceEditor()) {
        if (editor->HandleAllocated()) PostMessage(editor->Handle(), WM_COPY, 0, 0);
        return;
    }
    if (FStyle) CopySelection(EffectiveColor(), FBackground.get());
}

void TCustomRichView::WMContextMenu(TMessage& message) {
    const TPoint screen = LParamToPoint(message.LParam);
    if (screen.X == -1 && screen.Y == -1) {
        // Asked for by keyboard inside a cell editor: the outermost viewer shows its menu.
        TCustomRichView* outer = OuterViewer();
        if (outer) {
            while (TCustomRichView* next = outer->OuterViewer())
                outer = next;
            message.Result =
                outer->Perform(WM_CONTEXTMENU, WPARAM(outer->Handle()), message.LParam);
            return;
        }
    } else if (HandleAllocated()) {
        // An embedded control under the mouse keeps its own menu (or none).
        if (ControlAtPos(ScreenToClient(screen), true, true)) return;
    }
    TRVScroller::Dispatch(message);
}

void TCustomRichView::GetTabOrderList(std::vector<TWinControl*>& list) {
    TRVScroller::GetTabOrderList(list);
    if (FRVData->TabNavigation != TRVTabNavigationType::rvtnNone) list.push_back(this);
}

bool TCustomRichView::IsCopyShortcut(Word key, TShiftState shift) {
    return shift.Contains(ssCtrl) && (key == 'C' || key == VK_INSERT);
}

bool TCustomRichView::IsCutShortcut(Word key, TShiftState shift) {
    return (key == 'X' && shift == TShiftState{ssCtrl}) ||
           (key == VK_DELETE && shift == TShiftState{ssShift});
}

bool TCustomRichView::IsPasteShortcut(Word key, TShiftState shift) {
    return (key == 'V' && shift == TShiftState{ssCtrl}) ||
           (key == VK_INSERT && shift == TShiftState{ssShift});
}

void TCustomRichView::KeyDown(Word& key, TShiftState shift) {
    TRVScroller::KeyDown(key, shift);
    if (key == 0) return;
    if (IsCopyShortcut(key, shift)) {
        Perform(WM_COPY, 0, 0);
        return;
    }
    const TRVTabNavigationType nav = FRVData->TabNavigation;
    if (key == VK_TAB && !shift.Contains(ssAlt) &&
        ((nav == TRVTabNavigationType::rvtnTab && !shift.Contains(ssCtrl)) ||
         (nav == TRVTabNavigationType::rvtnCtrlTab && shift.Contains(ssCtrl)))) {
        FRVData->DoTabNavigation(!shift.Contains(ssShift));
        key = 0;
        return;
    }
    if (key == VK_RETURN) FRVData->ActivateFocused();
}

void TCustomRichView::WMTimer(TMessage& message) {
    if (message.WParam != kAutoScrollTimer) return;
    if (FScrollDX == 0 && FScrollDY == 0) return;
    if (FScrollDY != 0) ScrollToY(VScrollPos() + FScrollDY);
    if (FScrollDX != 0) SetHScrollPos(HScrollPos() + FScrollDX);
    if (FStyle && HandleAllocated()) {
        POINT p;
        GetCursorPos(&p);
        epc::ScreenToClient(Handle(), &p);
        FRVData->MouseMove(TShiftState(), p.X, p.Y);
    }
    SimulateMouseMove();
}

void TCustomRichView::WMSize(TMessage& message) {
    if (FStyle) FRVData->FormatAll(true, false, false, false, Canvas(), 0, false);
    TRVScroller::Dispatch(message);
}

void TCustomRichView::WMGetDlgCode(TMessage& message) {
    message.Result = DLGC_WANTARROWS;
    if (FRVData->TabNavigation != TRVTabNavigationType::rvtnNone) message.Result |= DLGC_WANTTAB;
    if (FRVData->FocusedItemNo >= 0) message.Result |= DLGC_WANTALLKEYS;
}

void TCustomRichView::InvalidateIfSelectionColorsDiffer() {
    if (FStyle && (FStyle->SelColor != FStyle->InactiveSelColor ||
                   FStyle->SelTextColor != FStyle->InactiveSelTextColor))
        Invalidate();
}

void TCustomRichView::WMSetFocus(TMessage& message) {
    TRVScroller::Dispatch(message);
    if (FDestroying) return;
    if (FRVData->TabNavigation != TRVTabNavigationType::rvtnNone) {
        HWND from = HWND(message.WParam);
        TWinControl* prev = from ? TWinControl::FindControl(from) : nullptr;
        const bool fromMouse =
            (GetKeyState(VK_LBUTTON) & 0x8000) != 0 || (GetKeyState(VK_RBUTTON) & 0x8000) != 0;
        const bool forward = (GetKeyState(VK_SHIFT) & 0x8000) == 0;
        bool inside = false;
        for (TControl* p = prev; p && !inside; p = p->Parent())
            inside = p == this;
        if (prev && !fromMouse && inside && prev != this &&
            FRVData->ContinueTabNavigationFrom(prev, forward)) {
            // Back from one of its own embedded controls: on from that control's item.
        } else if (prev && !fromMouse && GetParentForm(prev) == GetParentForm(this)) {
            FRVData->FocusHotspotFromOutside(forward);
        } else {
            // Focus from a mouse press or from no window: no hotspot is focused.
            FRVData->ForgetFocusedHotspot();
        }
    }
    InvalidateIfSelectionColorsDiffer();
}

void TCustomRichView::HandlePostedEvent(TRVMessageData& data) {
    switch (data.Kind) {
    case 0:
        if (OnRVDblClick) {
            auto& d = static_cast<TRVDblClickMessageData&>(data);
            OnRVDblClick(this, d.ClickedWord, d.StyleNo);
        }
        break;
    case 1:
        if (OnJump) OnJump(this, static_cast<TRVJumpMessageData&>(data).Id);
        break;
    case 2:
    case 3: {
        auto& d = static_cast<TRVMouseUpDownMessageData&>(data);
        const TRVMouseEvent& ev = data.Kind == 3 ? OnRVMouseDown : OnRVMouseUp;
        if (ev) ev(this, d.Button, d.Shift, d.ItemNo, d.X, d.Y);
        break;
    }
    case 4:
        Click();
        break;
    case 5:
        DblClick();
        break;
    case 6:
        if (OnRVMouseMove) OnRVMouseMove(this, static_cast<TRVMouseMoveMessageData&>(data).ItemNo);
        break;
    case 7: {
        auto& d = static_cast<TRVDNDMessageData&>(data);
        DragDrop(d.Obj, d.X, d.Y);
        break;
    }
    case 8: {
        auto& d = static_cast<TRVDNDMessageData&>(data);
        DoEndDrag(d.Obj, d.X, d.Y);
        break;
    }
    default:
        break;
    }
}

void TCustomRichView::Dispatch(TMessage& message) {
    switch (message.Msg) {
    case WM_SIZE:
        WMSize(message);
        return;
    case WM_TIMER:
        WMTimer(message);
        return;
    case WM_COPY:
        WMCopy(message);
        return;
    case WM_CONTEXTMENU:
        WMContextMenu(message);
        return;
    case WM_GETDLGCODE:
        WMGetDlgCode(message);
        return;
    case WM_SETFOCUS:
        WMSetFocus(message);
        return;
    case WM_KILLFOCUS:
        TRVScroller::Dispatch(message);
        InvalidateIfSelectionColorsDiffer();
        return;
    case WM_ERASEBKGND:
        message.Result = 1;
        return;
    case CM_MOUSELEAVE:
        TRVScroller::Dispatch(message);
        FRVData->LeaveHover(-1);
        return;
    case WM_DESTROY:
        WMDestroy(message);
        break;
    case WM_RVEVENT: {
        // The record was handed over with the message: it is ours to free.
        std::unique_ptr<TRVMessageData> data(reinterpret_cast<TRVMessageData*>(message.LParam));
        if (data) HandlePostedEvent(*data);
        return;
    }
    default:
        break;
    }
    TRVScroller::Dispatch(message);
}

} // namespace epc
