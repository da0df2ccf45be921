// Resizing pictures and controls of an editing document with the mouse: the resizer's life,
// the mouse routed to it, the XOR frame while dragging, and the new size as one undo step.

#include "richtext/edit/RVERVData.h"

#include <algorithm>

#include "platform/controls/Forms.h"
#include "richtext/edit/RVEdit.h"
#include "richtext/edit/RVEditTransaction.h"

namespace epc {

namespace {

// Handles of a control stand outside it, where the child window does not cover them;
// handles of a picture sit on its border.
constexpr uint8_t kControlHandleMode = 0;
constexpr uint8_t kPictureHandleMode = 2;

} // namespace

int TRVEditRVData::ResizableSelectedItem() const {
    TCustomRichViewEdit* editor = Editor();
    if (editor->ReadOnly() || editor->EditorOptions.Contains(TRVEditorOption::rvoNoImageResize) ||
        !GetRVStyle() || FirstDrawItemNo < 0 || LastDrawItemNo < 0)
        return -1;
    int startNo, startOffs, endNo, endOffs;
    GetSelectionBounds(startNo, startOffs, endNo, endOffs, true);
    if (startNo < 0 || endNo < 0 || (startNo == endNo && startOffs == endOffs)) return -1;
    // An end at an item's end is the next item's start, a start at an item's start the
    // previous item's end.
    if (startNo < endNo && startOffs >= ItemEndOffset(startNo)) {
        ++startNo;
        startOffs = ItemStartOffset(startNo);
    }
    if (endNo > startNo && endOffs <= ItemStartOffset(endNo)) {
        --endNo;
        endOffs = ItemEndOffset(endNo);
    }
    if (startNo != endNo || GetItemStyleNo(startNo) >= 0 || startOffs != 0 || endOffs != 1)
        return -1;
    const TCustomRVItemInfo* item = GetItem(startNo);
    if (!item->GetKindFlag(rvifCanChangeSize)) return -1;
    if (GetRVStyle()
            ->ParaStyles.GetItem(item->ParaNo)
            .Options.Contains(TRVParaOption::rvpaoReadOnly))
        return -1;
    return startNo;
}

void TRVEditRVData::UpdateResizer() {
    const int itemNo = ResizableSelectedItem();
    const int drawItemNo = itemNo >= 0 ? GetFirstDrawItemNo(itemNo) : -1;
    if (drawItemNo < 0 || drawItemNo >= DrawItems.Count()) {
        if (Resizer) {
            Resizer.reset();
            Invalidate();
        }
        return;
    }
    TCustomRVItemInfo* item = GetItem(itemNo);
    // The same item on the same drawing item keeps its resizer (and a drag in progress).
    if (Resizer && Resizer->Item() == item && Resizer->DrawItem() == DrawItems[drawItemNo] &&
        Resizer->ItemNo() == itemNo)
        return;
    const bool control = item->GetStateFlag(rvisHasControl);
    Resizer = std::make_unique<TRVItemResizer>(DrawItems[drawItemNo], item, itemNo,
                                               control ? kControlHandleMode : kPictureHandleMode);
    Resizer->IsControl = control;
    Invalidate();
}

void TRVEditRVData::RecheckResizer() {
    UpdateResizer();
}

bool TRVEditRVData::ResizerHit(int x, int y) {
    return ResizerIsLive() && Resizer->GetHandleAt(x + GetHScrollPos(), y + GetVScrollPos()) !=
                                  TRVItemResizer::rvrhNone;
}

void TRVEditRVData::PaintOverItems(TCanvas* canvas, int xOffset, int yOffset) {
    PaintResizer(canvas, xOffset, yOffset);
}

bool TRVEditRVData::ResizerIsLive() {
    if (!Resizer) return false;
    // A layout made by someone else (a table laying out its paragraph after a cell edit) may
    // have replaced the drawing item the resizer stands on: such a resizer goes.
    const int itemNo = Resizer->ItemNo();
    const int first = itemNo >= 0 && itemNo < ItemCount() ? GetFirstDrawItemNo(itemNo) : -1;
    if (first < 0 || first >= DrawItems.Count() || DrawItems[first] != Resizer->DrawItem() ||
        GetItem(itemNo) != Resizer->Item()) {
        Resizer.reset();
        return false;
    }
    return true;
}

void TRVEditRVData::PaintResizer(TCanvas* canvas, int xOffset, int yOffset) {
    if (ResizerIsLive()) Resizer->DrawHandles(canvas, xOffset, yOffset);
}

void TRVEditRVData::ToggleXorFeedback(int x, int y) {
    if (!Resizer || !Resizer->Dragging()) {
        TRichViewRVData::ToggleXorFeedback(x, y);
        return;
    }
    if (TCanvas* canvas = GetCanvas(); canvas && Editor()->HandleAllocated())
        Resizer->DrawDragRect(canvas, GetHScrollPos(), GetVScrollPos());
    FResizeFrameShown = !FResizeFrameShown;
}

void TRVEditRVData::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    if (ResizerIsLive() && button == mbLeft &&
        Resizer->MouseDown(x + GetHScrollPos(), y + GetVScrollPos())) {
        FResizeFrameShown = false;
        ToggleXorFeedback(x, y);
        UpdateControl();
        Screen->SetCursor(TRVItemResizer::GetCursor(Resizer->GrabbedHandle()));
        return;
    }
    FClickDrawItemNo = -1;
    if (button == mbLeft && !shift.Contains(ssShift))
        FClickDrawItemNo = FindDrawItemContaining(x + GetHScrollPos(), y + GetVScrollPos());
    TRichViewRVData::MouseDown(button, shift, x, y);
}

void TRVEditRVData::MouseMove(TShiftState shift, int x, int y) {
    if (Resizer && Resizer->Dragging()) {
        if (FResizeFrameShown) ToggleXorFeedback(x, y);
        Resizer->MouseMove(shift, x + GetHScrollPos(), y + GetVScrollPos());
        ToggleXorFeedback(x, y);
        return;
    }
    if (ResizerIsLive()) {
        const int handle = Resizer->GetHandleAt(x + GetHScrollPos(), y + GetVScrollPos());
        if (handle != TRVItemResizer::rvrhNone) {
            // The control's own cursor comes back when the mouse leaves the handles.
            if (!FHandleCursorShown) {
                FCursorBeforeHandle = RichView->Cursor();
                FHandleCursorShown = true;
            }
            RichView->SetCursor(TRVItemResizer::GetCursor(handle));
            return;
        }
    }
    if (FHandleCursorShown) {
        FHandleCursorShown = false;
        RichView->SetCursor(FCursorBeforeHandle);
    }
    TRichViewRVData::MouseMove(shift, x, y);
}

void TRVEditRVData::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
    if (Resizer && Resizer->Dragging()) {
        if (FResizeFrameShown) ToggleXorFeedback(x, y);
        Resizer->MouseUp();
        Screen->SetCursor(crDefault);
        UpdateControl();
        ResizeItem(Resizer->ItemNo(), Resizer->Width, Resizer->Height);
        return;
    }
    const bool selecting = State.Contains(TRVState::rvstMakingSelection) && button == mbLeft;
    TRichViewRVData::MouseUp(button, shift, x, y);
    if (!selecting) return;
    SelectClickedResizable();
    CaretToSelectionEnd();
}

bool TRVEditRVData::SelectClickedResizable() {
    const int drawItemNo = std::exchange(FClickDrawItemNo, -1);
    if (drawItemNo < 0 || drawItemNo >= DrawItems.Count()) return false;
    const int itemNo = DrawItems[drawItemNo]->ItemNo;
    if (GetItemStyleNo(itemNo) >= 0 || !GetItem(itemNo)->GetKindFlag(rvifCanChangeSize))
        return false;
    // A click, not a drag beyond the item: the selection stays inside the pressed item.
    int startNo, startOffs, endNo, endOffs;
    GetSelectionBounds(startNo, startOffs, endNo, endOffs, true);
    if (SelectionExists(false, false) && (startNo != itemNo || endNo != itemNo)) return false;
    BeforeSelectionChange();
    FirstDrawItemNo = LastDrawItemNo = drawItemNo;
    FirstOffs = 0;
    LastOffs = 1;
    DoSelect();
    Invalidate();
    return true;
}

bool TRVEditRVData::CancelResize() {
    if (!Resizer || !Resizer->Dragging()) return false;
    if (FResizeFrameShown) ToggleXorFeedback(0, 0);
    Resizer->Cancel();
    UpdateControl();
    Screen->SetCursor(crDefault);
    return true;
}

void TRVEditRVData::MoveCaretToItem(bool fullReformat, int itemNo, int offs) {
    if (itemNo < 0 || itemNo >= ItemCount()) return;
    int first = GetFirstDrawItemNo(itemNo), last = first;
    if (CaretDrawItemNo >= 0 && CaretDrawItemNo < DrawItems.Count() && first >= 0) {
        first = std::min(first, CaretDrawItemNo);
        last = std::max(last, CaretDrawItemNo);
    }
    FinishEdit(TRVEditRange{first, last, itemNo}, ItemCount(), fullReformat, itemNo, offs);
    Invalidate();
}

void TRVEditRVData::ResizeItem(int itemNo, int width, int height) {
    if (itemNo < 0 || itemNo >= ItemCount()) return;
    TCustomRVItemInfo* item = GetItem(itemNo);
    if (const auto* rect = dynamic_cast<const TRVRectItemInfo*>(item)) {
        width -= 2 * rect->Spacing;
        height -= 2 * rect->Spacing;
    }
    width = std::max(width, 1);
    height = std::max(height, 1);
    // A refused change leaves the item and the undo list alone.
    if (!Editor()->BeforeChange(false)) return;
    TRVEditTransaction tx(*this, TRVEditRange::ItemParas(*this, itemNo, itemNo), rvutModifyItem);
    tx.HoldGroup();
    if (item->GetStateFlag(rvisHasControl)) {
        // The control's new size lays the document out again and moves the caret itself.
        ResizeControlUndoable(itemNo, width, height, true);
        tx.Commit();
        return;
    }
    int oldWidth = 0;
    NoteParaMinWidth(itemNo, oldWidth);
    if (dynamic_cast<TRVGraphicItemInfo*>(item)) {
        SetExtraIntPropertyUndoable(itemNo, kImageHeightProp, height);
        SetExtraIntPropertyUndoable(itemNo, kImageWidthProp, width);
    }
    ReformatAfterItemResize(itemNo, oldWidth);
    tx.Commit();
}

void TRVEditRVData::NoteParaMinWidth(int itemNo, int& width) {
    width = GetCanvas() ? CalcParaMinWidthOnFormatCanvas(itemNo) : 0;
}

void TRVEditRVData::ReformatAfterItemResize(int itemNo, int oldWidth) {
    const int newWidth = GetCanvas() ? CalcParaMinWidthOnFormatCanvas(itemNo) : 0;
    // A paragraph that was not the widest and does not become wider than the document leaves
    // the document's width alone; anything else may change it.
    const bool full = newWidth != oldWidth && !(oldWidth < MinWidth && newWidth <= MinWidth);
    MoveCaretToItem(full, itemNo, 1);
}

} // namespace epc
