#include "richtext/table/RVTableInplace.h"

#include <algorithm>
#include <utility>

#include "platform/core/ScopeGuard.h"
#include "richtext/view/RVRVData.h"

namespace epc {

void TRVTableInplaceEditDeleter::operator()(TRVTableInplaceEdit* editor) const {
    if (editor) FreeComponent(editor);
}

TRVTableInplaceRVData::TRVTableInplaceRVData(TRVTableInplaceEdit* editor)
    : TRVEditRVData(editor), FEditor(editor) {}

TRVBackground* TRVTableInplaceRVData::CellPicture() const {
    TRVTableItemInfo* table = FEditor->Table();
    if (!table || FEditor->SelectedLook()) return nullptr;
    TRVTableCellData* cell = table->GetCell(FEditor->Row(), FEditor->Col());
    return cell && cell->BackgroundImage() ? cell->CellBackground() : nullptr;
}

TRVBackground* TRVTableInplaceRVData::GetBackground() const {
    TRVBackground* picture = CellPicture();
    return picture ? picture : TRVEditRVData::GetBackground();
}

void TRVTableInplaceRVData::PaintBackground(TCanvas* canvas, const TRect& rect) {
    TRVBackground* picture = CellPicture();
    if (!picture) {
        TRVEditRVData::PaintBackground(canvas, rect);
        return;
    }
    // The picture covers the whole cell; the editor starts below the cell's alignment shift.
    TRVTableCellData* cell = FEditor->Table()->GetCell(FEditor->Row(), FEditor->Col());
    const int shift = std::max(cell->GetVAlignOffset(), 0);
    picture->SetStyle(RVCellBackgroundStyle(cell->BackgroundStyle()));
    picture->Draw(canvas, TRect(0, 0, rect.Width(), rect.Height()), false, GetColor(), cell->Width,
                  cell->Height, -rect.Left, -rect.Top - shift, 0, 0);
}

void TRVTableInplaceRVData::DoItemAction(TRVItemAction action, TCustomRVItemInfo* item,
                                         std::string& text, TCustomRVData* rvData) {
    TRVEditRVData::DoItemAction(action, item, text, rvData);
    if (ItemActionTarget) ItemActionTarget->DoItemAction(action, item, text, rvData);
}

void TRVTableInplaceRVData::SetDocumentSize(int width, int height) {
    TRVEditRVData::SetDocumentSize(width, height);
    DocumentSizeChanged = true;
}

TCustomRVData* TRVTableInplaceRVData::GetOuterParentData() const {
    TRVTableItemInfo* table = FEditor->Table();
    TRVTableCellData* cell = table ? table->GetCell(FEditor->Row(), FEditor->Col()) : nullptr;
    return cell ? cell->GetOuterParentData() : nullptr;
}

bool TRVTableInplaceRVData::GetOuterOrigin(int& x, int& y) const {
    x = y = 0;
    TRVTableItemInfo* table = FEditor->Table();
    TRVTableCellData* cell = table ? table->GetCell(FEditor->Row(), FEditor->Col()) : nullptr;
    auto* outer = dynamic_cast<TCustomRVFormattedData*>(GetOuterParentData());
    if (!cell || !outer) return false;
    int cx = 0, cy = 0, ox = 0, oy = 0;
    cell->GetOriginInRoot(cx, cy);
    outer->GetOriginInRoot(ox, oy);
    const int padding = table->CellPadding();
    x = cx - ox - padding - GetHScrollPos();
    y = cy - oy - padding + std::max(cell->GetVAlignOffset(), 0) - GetVScrollPos();
    return true;
}

void TRVTableInplaceRVData::MakeRectVisible(int x, int y, int width, int height) {
    TRVEditRVData::MakeRectVisible(x, y, width, height);
    TRVTableItemInfo* table = FEditor->Table();
    if (FEditor->Closing || !table || table->InplaceEditor() != FEditor || !FEditor->Visible())
        return;
    int ox = 0, oy = 0;
    if (!GetOuterOrigin(ox, oy)) return;
    static_cast<TCustomRVFormattedData*>(GetOuterParentData())
        ->MakeRectVisible(x + ox, y + oy, width, height);
}

TRVTableInplaceEdit::TRVTableInplaceEdit(TComponent* owner) : TRichViewEdit(owner) {
    // The editor's document is replaced by the cell editor's own, with the editor's settings.
    CreateData();
    EditData()->TabNavigation = TRVTabNavigationType::rvtnNone;
    SetUndoLimit(-1);
    SetBorderStyle(bsNone);
    SetVisible(false);
    SetVScrollVisible(false);
    SetHScrollVisible(false);
    // Arrows that cannot move further take the caret out of the cell.
    OnCaretGetOut = [this](TCustomRichViewEdit*, TRVGetOutDirection direction) {
        if (HandleAllocated()) PostMessage(Handle(), WM_RVINPLACEMOVE, WPARAM(direction), 0);
    };
}

TRVTableInplaceEdit::~TRVTableInplaceEdit() {
    Closing = true;
    if (auto* data = dynamic_cast<TRVTableInplaceRVData*>(EditData()))
        data->ItemActionTarget = nullptr;
    // The keyboard goes back to the outer editor, unless that one is going too; a control in
    // the cell that had it goes with the editor.
    const HWND focus = GetFocus();
    const bool hadFocus =
        HandleAllocated() && focus && (focus == Handle() || IsChild(Handle(), focus));
    if (FOuter && FOuter->InplaceEdit() == this) FOuter->SetInplaceEditor(nullptr, nullptr);
    if (hadFocus && FOuter && FOuter->HandleAllocated() && !FOuter->EnclosingScrollerDestroying() &&
        FOuter->CanFocus())
        FOuter->SetFocus();
}

std::unique_ptr<TRichViewRVData> TRVTableInplaceEdit::GetDataClass() {
    return std::make_unique<TRVTableInplaceRVData>(this);
}

void TRVTableInplaceEdit::SetParentData(TCustomRVData* data) {
    FParentData = data;
    auto* rvData = dynamic_cast<TRichViewRVData*>(data);
    FOuter = rvData ? dynamic_cast<TCustomRichViewEdit*>(rvData->RichView) : nullptr;
    if (!FOuter) return;
    Options = FOuter->Options;
    RVFOptions = FOuter->RVFOptions;
    RTFOptions = FOuter->RTFOptions;
    EditorOptions = FOuter->EditorOptions;
    // The outer editor's handlers serve the cell (style conversions, caret and style
    // notices). The cell keeps its own way out at the cell's edges; changes reach the outer
    // editor's OnChanging and OnChange through it, so they are not fired twice.
    auto getOut = std::move(OnCaretGetOut);
    AssignEditorEvents(*FOuter);
    OnCaretGetOut = std::move(getOut);
    OnChanging = nullptr;
    OnChange = nullptr;
    SetStyle(FOuter->Style());
    // One history for both editors: the cell's steps join the outer one when editing ends.
    SetUndoLimit(FOuter->UndoLimit() != 0 ? -1 : 0);
}

void TRVTableInplaceEdit::SetCell(int row, int col, TRVTableItemInfo* table, int margin) {
    FRow = row;
    FCol = col;
    FTable = table;
    FItemNo = table ? table->GetItemNo() : -1;
    LeftMargin = RightMargin = TopMargin = BottomMargin = margin;
    // The cell's hyperlinks keep the numbers the table gave them in the document, which the
    // outer editor reports for clicks on them.
    if (TRVTableCellData* cell = table ? table->GetCell(row, col) : nullptr)
        EditData()->FirstJumpNo = cell->FirstJumpNo;
}

void TRVTableInplaceEdit::SetSelectedLook(bool selected) {
    if (selected == FSelectedLook) return;
    FSelectedLook = selected;
    // The cell is part of the table's cell selection: all of its document is drawn selected.
    if (selected)
        EditData()->State.Include(TRVState::rvstSelectedLook);
    else
        EditData()->State.Exclude(TRVState::rvstSelectedLook);
    Invalidate();
    if (selected) {
        FSavedColor = Color();
        if (Style()) SetColor(Style()->SelColor);
    } else {
        SetColor(FSavedColor);
    }
    if (Style() && EditData()->CaretDrawItemNo >= 0) EditData()->ShowCaret(false, false, true);
}

bool TRVTableInplaceEdit::GetReadOnly() const {
    if (FReplaying) return false;
    return FOuter ? FOuter->GetReadOnly() : TRichViewEdit::GetReadOnly();
}

void TRVTableInplaceEdit::SetReadOnly(bool value) {
    if (FOuter)
        FOuter->SetReadOnly(value);
    else
        TRichViewEdit::SetReadOnly(value);
}

bool TRVTableInplaceEdit::BeforeChange(bool /*quiet*/) {
    return FOuter && Style() && FOuter->BeforeChange(true);
}

void TRVTableInplaceEdit::NotifyChange(bool clearRedo) {
    TRichViewEdit::NotifyChange(clearRedo);
    if (FTable) FTable->EditorResized();
    // A change in the cell is a change of the document that holds the table: its editor is
    // modified and tells its own listeners.
    if (FOuter) FOuter->NotifyChange(clearRedo);
}

void TRVTableInplaceEdit::SetVScrollPos(int pos, bool redraw) {
    if (Oversized) TRichViewEdit::SetVScrollPos(pos, redraw);
}

void TRVTableInplaceEdit::SetHScrollPos(int /*pos*/) {}

void TRVTableInplaceEdit::RepaintWithOuter(bool now) {
    if (!FBusy) TRichViewEdit::RepaintWithOuter(now);
}

TRVRTFReaderProperties* TRVTableInplaceEdit::GetRTFReadProperties() {
    return FOuter ? FOuter->GetRTFReadProperties() : TRichViewEdit::GetRTFReadProperties();
}

void TRVTableInplaceEdit::TranslateClickToDoubleClick(TMessage& message) {
    if (message.Msg != WM_LBUTTONDOWN) return;
    if (std::exchange(FClicked, false) &&
        uint32_t(GetMessageTime() - FClickTime) <= GetDoubleClickTime())
        message.Msg = WM_LBUTTONDBLCLK;
}

void TRVTableInplaceEdit::PassMouseMoveToParent(const TMessage& message) {
    auto* parentData = dynamic_cast<TCustomRVFormattedData*>(FParentData);
    if (!parentData || !FOuter) return;
    const int x = int(int16_t(LOWORD(message.LParam)));
    const int y = int(int16_t(HIWORD(message.LParam)));
    if (x >= 0 && y >= 0 && x < ClientWidth() && y < ClientHeight()) return;
    const TPoint p = FOuter->ScreenToClient(ClientToScreen(TPoint{x, y}));
    const TShiftState shift = KeysToShiftState(WPARAM(message.WParam));
    parentData->MouseMove(shift, p.X, p.Y);
    // Into another cell: the table selects the block from this one.
    if (FTable && FTable->InplaceEditor() == this) FTable->CellEditorTracking(1, shift, p);
}

void TRVTableInplaceEdit::Undo() {
    if (!CanUndo() && FOuter)
        FOuter->Undo();
    else
        TRichViewEdit::Undo();
}

void TRVTableInplaceEdit::Redo() {
    if (!CanRedo() && FOuter)
        FOuter->Redo();
    else
        TRichViewEdit::Redo();
}

void TRVTableInplaceEdit::KeyDown(Word& key, TShiftState shift) {
    if (key == VK_TAB && !shift.Contains(ssCtrl)) {
        if (HandleAllocated())
            PostMessage(Handle(), WM_RVINPLACEMOVE, shift.Contains(ssShift) ? rvimPrev : rvimNext,
                        0);
        key = 0;
        return;
    }
    TRichViewEdit::KeyDown(key, shift);
}

void TRVTableInplaceEdit::KeyPress(char16_t& key) {
    if (key == u'\t' && !(GetKeyState(VK_CONTROL) < 0)) {
        key = 0;
        return;
    }
    TRichViewEdit::KeyPress(key);
}

void TRVTableInplaceEdit::Dispatch(TMessage& message) {
    switch (message.Msg) {
    case WM_GETDLGCODE:
        TRichViewEdit::Dispatch(message);
        message.Result |= DLGC_WANTTAB;
        return;
    case WM_LBUTTONDOWN:
        // With the press that opened the editor, this one makes a double click.
        TranslateClickToDoubleClick(message);
        FTracking = true;
        // The moves of the held press come here wherever they go, and the table hears of
        // those that leave the cell.
        if (HandleAllocated()) epc::SetCapture(Handle());
        if (FTable) FTable->CellEditorTracking(0, KeysToShiftState(WPARAM(message.WParam)), {});
        break;
    case WM_MOUSEMOVE:
        if (FTracking) {
            TRichViewEdit::Dispatch(message);
            PassMouseMoveToParent(message);
            return;
        }
        break;
    case WM_LBUTTONUP:
        if (FTracking) {
            FTracking = false;
            TRichViewEdit::Dispatch(message);
            ReleaseCapture();
            if (FTable) FTable->CellEditorTracking(2, KeysToShiftState(WPARAM(message.WParam)), {});
            return;
        }
        break;
    case WM_RVINPLACEMOVE:
        // The table may free this editor: nothing of it is touched afterwards.
        if (FTable) FTable->MoveFromCellEditor(int(message.WParam));
        return;
    case WM_RVINPLACEUNDO:
    case WM_RVINPLACEREDO: {
        FBusy = true;
        FReplaying = true;
        auto done = Finally([this] { FBusy = FReplaying = false; });
        const bool undo = message.Msg == WM_RVINPLACEUNDO;
        if (undo ? CanUndo() : CanRedo()) {
            TRichViewEdit* self = this;
            if (undo)
                self->TRichViewEdit::Undo();
            else
                self->TRichViewEdit::Redo();
        }
        return;
    }
    case WM_UNDO:
    case EM_UNDO:
    case EM_REDO:
    case EM_CANUNDO:
    case EM_CANREDO:
        // One history: the outer editor answers and routes back to this one.
        if (FOuter && FOuter->HandleAllocated()) {
            message.Result =
                SendMessage(FOuter->Handle(), message.Msg, message.WParam, message.LParam);
            return;
        }
        break;
    default:
        break;
    }
    TRichViewEdit::Dispatch(message);
}

} // namespace epc
