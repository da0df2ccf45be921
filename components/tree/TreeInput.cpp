// The tree's input: the mouse turned into focus, selection, expansion, check and drag actions;
// hot tracking, hints, printing and the timers the mouse starts. The keyboard, scrolling and
// the header's frame have collaborators of their own.

#include <algorithm>
#include <cstdlib>

#include "components/tree/BaseVirtualTree.h"
#include "components/tree/VTDataTransfer.h"
#include "platform/controls/Forms.h"
#include "platform/core/ScopeGuard.h"
#include "platform/core/Strings.h"
#include "platform/windows/DataTransfer.h"
#include "platform/windows/Window.h"

namespace epc {

using namespace tree_options;
using S = TVirtualTreeState;

namespace {

constexpr uint32_t ToggleArea = 0x0C90;

} // namespace

TCheckState ToggledCheckState(TCheckType type, TCheckState current, TCheckState otherwise) {
    switch (type) {
    case ctTriStateCheckBox:
    case ctCheckBox:
        return current == csCheckedNormal ? csUncheckedNormal : csCheckedNormal;
    case ctRadioButton:
        return csCheckedNormal;
    case ctButton:
        return csUncheckedNormal;
    default:
        return otherwise;
    }
}

// ---- Printing
// ------------------------------------------------------------------------------------------

void TBaseVirtualTree::PrintTo(HDC dc) {
    if (!dc) return;
    int top = 0;
    if (FHeader && FHeader->IsVisible()) {
        FHeaderFrame.PaintTo(dc, 0, 0);
        top = FHeader->Height();
    }
    TCanvas canvas;
    canvas.SetHandle(dc);
    auto release = Finally([&] { canvas.SetHandle(nullptr); });
    TRect window(0, 0, ClientWidth(), ClientHeight());
    OffsetRect(window, -FOffsetX, -FOffsetY);
    RenderToCanvas(&canvas, window, TPoint(0, top), DefaultRenderOptions);
}

// ---- Hints
// --------------------------------------------------------------------------------------------

void TBaseVirtualTree::HandleHintShow(TMessage& message) {
    auto* info = reinterpret_cast<THintInfo*>(message.LParam);
    message.Result = 1;
    if (!info || GetCapture() ||
        FStates.ContainsAny({S::tsEditing, S::tsOLEDragging, S::tsVCLDragging}))
        return;
    const TPoint p = info->CursorPos;
    FHintData = TVTHintData();
    FHintData.Tree = this;
    // Unicode from here on: the control's own (short) hint is ANSI text, converted once.
    std::u16string text;
    const std::u16string ownHint = AnsiToWide(Hint().substr(0, Hint().find('|')));
    if (p.Y < 0) {
        // Over the header: the column's own hint.
        if (!FHeader || !FHeader->IsVisible() || !FHeader->Options().Contains(hoShowHint) ||
            !FHeader->UseColumns())
            return;
        TColumnIndex column = FHeader->Columns()->ColumnFromPosition(p.X - FOffsetX);
        if (column < 0) return;
        TVirtualTreeColumn* item = FHeader->Columns()->Items(column);
        text = item->Hint();
        // The hint belongs to the column's part of the header.
        const int left = item->Left() + FOffsetX;
        info->CursorRect = TRect(left, -FHeader->Height(), left + item->Width(), 0);
    } else {
        THitInfo hit = HitTestAt(p.X, p.Y, true);
        PVirtualNode node = hit.HitNode;
        FHintData.Node = node;
        FHintData.Column = hit.HitColumn;
        // The hint belongs to the node's row, or to the empty space below the rows: moving
        // out of it asks again.
        if (node) {
            int top = NodeTop(node) + FOffsetY;
            info->CursorRect = TRect(0, top, ClientWidth(), top + int(NodeHeight(node)));
        } else {
            const int bottom = std::max(0, int(RootTotalHeight()) + FOffsetY);
            info->CursorRect = TRect(0, bottom, ClientWidth(), std::max(bottom, ClientHeight()));
        }
        switch (FHintMode) {
        case TVTHintMode::hmDefault:
            text = ownHint;
            break;
        case TVTHintMode::hmHint:
        case TVTHintMode::hmHintAndDefault:
            if (node) text = DoGetNodeHint(node, hit.HitColumn);
            if (text.empty() && FHintMode == TVTHintMode::hmHintAndDefault) text = ownHint;
            break;
        case TVTHintMode::hmTooltip: {
            if (!node) return;
            // Only a text that its cell or the client area cuts, on either side, is shown in
            // full.
            int top = NodeTop(node) + FOffsetY;
            TRect content = NodeContentRect(node, top);
            const int left = content.Left + FOffsetX, right = content.Right + FOffsetX;
            int shownLeft = 0, shownRight = ClientWidth();
            if (FHeader->Columns()->IsValidColumn(MainColumn())) {
                TVirtualTreeColumn* column = FHeader->Columns()->Items(MainColumn());
                shownLeft = std::max(shownLeft, column->Left() + FOffsetX);
                shownRight = std::min(shownRight, column->Left() + column->Width() + FOffsetX);
            }
            if (left >= shownLeft && right <= shownRight) return;
            text = DoGetNodeTooltip(node, hit.HitColumn);
            // The tooltip lies over the text it completes: the text's rectangle on the screen,
            // a pixel larger on each side, as the hint window sizes it.
            const TPoint origin = ClientToScreen(TPoint(left - 1, top - 1));
            FHintData.HintRect = TRect(origin.X, origin.Y, origin.X + right - left + 2,
                                       origin.Y + int(NodeHeight(node)) + 2);
            info->HintPos = origin;
            break;
        }
        }
    }
    if (text.empty()) return;
    FHintData.HintText = text;
    // Plain hint windows show the ANSI form; the tree's own hint window takes the hint data.
    info->HintStr = WideToAnsi(text);
    info->HintData = &FHintData;
    info->HintWindowClass = [](TComponent* owner) -> THintWindow* {
        return new TVirtualTreeHintWindow(owner);
    };
    message.Result = 0;
    // The hint window holds the node: deleting nodes takes the hint down first.
    DoStateChange({S::tsHint});
}

// ---- Keyboard
// ------------------------------------------------------------------------------------------

void TBaseVirtualTree::KeyDown(Word& key, TShiftState shift) {
    TCustomControl::KeyDown(key, shift);
    if (key != 0) FKeyboard.KeyDown(key, shift);
}

// ---- Hit test
// ------------------------------------------------------------------------------------------

TBaseVirtualTree::THitInfo TBaseVirtualTree::HitTestAt(int x, int y, bool relative) {
    THitInfo hit;
    if (x < 0) hit.HitPositions |= hiToLeft;
    if (x > std::max(ClientWidth(), RangeX())) hit.HitPositions |= hiToRight;
    if (y < 0) hit.HitPositions |= hiAbove;
    if (y > std::max(ClientHeight(), int(RootTotalHeight()))) hit.HitPositions |= hiBelow;
    if (hit.HitPositions != 0) return hit;
    if (relative) {
        x -= FOffsetX;
        y -= FOffsetY;
    }
    int nodeTop = 0;
    PVirtualNode node = NodeAtPointEx(x, y, false, nodeTop);
    if (FHeader && FHeader->UseColumns()) hit.HitColumn = FHeader->Columns()->ColumnFromPosition(x);
    if (!node) {
        hit.HitPositions = hiNowhere;
        return hit;
    }
    if (!Has(node, nsInitialized)) InitNode(node);
    if (hit.HitColumn > NoColumn && FOptions->AutoOptions().Contains(toAutoSpanColumns)) {
        // An empty cell shows the text of the nearest cell on its left that is not empty.
        TVirtualTreeColumns* columns = FHeader->Columns();
        TColumnIndex run = hit.HitColumn;
        while (run > NoColumn && run != MainColumn() && ColumnIsEmpty(node, run))
            run = columns->GetPreviousVisibleColumn(run);
        if (run > NoColumn) hit.HitColumn = run;
    }
    hit.HitNode = node;
    hit.HitPositions = hiOnItem;
    // The node's cell: the column hit, else the whole row; its reading order and alignment.
    int cellLeft = 0, cellRight = std::max(ClientWidth(), RangeX());
    TAlignment alignment = FAlignment;
    bool rightToLeft = UseRightToLeftAlignment();
    const bool inColumn = FHeader && FHeader->Columns()->IsValidColumn(hit.HitColumn);
    if (inColumn) {
        TVirtualTreeColumn* column = FHeader->Columns()->Items(hit.HitColumn);
        cellLeft = column->Left();
        cellRight = cellLeft + column->Width();
        alignment = column->Alignment();
        rightToLeft = column->BiDiMode() == bdRightToLeft;
    }
    // A right-to-left cell is the mirror image of a left-to-right one.
    int offset = rightToLeft ? cellRight - 1 - x : x - cellLeft;
    const uint32_t positions =
        HitTestRow(node, offset, cellRight - cellLeft - (inColumn ? FMargin : 0), alignment,
                   !inColumn || hit.HitColumn == MainColumn());
    hit.HitPositions |= positions;
    if (rightToLeft && (positions & (hiOnItemLeft | hiOnItemRight)))
        hit.HitPositions ^= hiOnItemLeft | hiOnItemRight;
    return hit;
}

// Where Offset (pixels from the cell's leading edge, read left to right) lies in a node's cell
// whose content may reach Limit pixels from that edge.
uint32_t TBaseVirtualTree::HitTestRow(PVirtualNode node, int offset, int limit,
                                      TAlignment alignment, bool mainColumn) {
    const auto paint = FOptions->PaintOptions();
    int pos = 0;
    if (mainColumn) {
        const int64_t level = int64_t(NodeLevel(node)) + (paint.Contains(toShowRoot) ? 1 : 0);
        const int indent = IndentWidth(level);
        if (offset < indent) {
            uint32_t result = hiOnItemIndent;
            if (paint.Contains(toShowButtons) && Has(node, nsHasChildren) &&
                offset >= IndentWidth(level - 1))
                result |= hiOnItemButton;
            return result;
        }
        pos = indent;
    }
    pos += FMargin;
    if (offset < pos) return hiOnItemLeft;
    const TColumnIndex column = mainColumn ? MainColumn() : NoColumn;
    bool ghosted = false;
    if (mainColumn) {
        if (FOptions->MiscOptions().Contains(toCheckSupport) && FCheckImages &&
            node->CheckType != ctNone) {
            pos += FCheckImages->Width() + 2;
            if (offset < pos) return hiOnItemCheckbox;
        }
        if (GetImageIndex(node, TVTImageKind::ikState, column, ghosted) >= 0) {
            pos += FStateImages->Width() + 2;
            if (offset < pos) return hiOnStateIcon;
        }
    }
    if (GetImageIndex(node, TVTImageKind::ikNormal, column, ghosted) >= 0) {
        pos += FImages->Width() + 2;
        if (offset < pos) return hiOnNormalIcon;
    }
    // The label, placed by the alignment in the space left; one that does not fit is hit
    // wherever the point lies after the images.
    const int label = LabelWidth(DoGetNodeWidth(node, column));
    if (pos + label >= limit) return hiOnItemLabel;
    int start = pos;
    if (alignment == taRightJustify)
        start = limit - label;
    else if (alignment == taCenter)
        start = pos + (limit - pos - label) / 2;
    if (offset < start) return hiOnItemLeft;
    return offset < start + label ? hiOnItemLabel : hiOnItemRight;
}

// ---- Mouse
// ---------------------------------------------------------------------------------------------

bool TBaseVirtualTree::ColumnIsEmpty(PVirtualNode, TColumnIndex) {
    return false;
}

uint32_t TBaseVirtualTree::GetDragOperations() const {
    uint32_t effects = 0;
    if (FDragOperations.Contains(TDragOperation::doCopy)) effects |= DROPEFFECT_COPY;
    if (FDragOperations.Contains(TDragOperation::doMove)) effects |= DROPEFFECT_MOVE;
    if (FDragOperations.Contains(TDragOperation::doLink)) effects |= DROPEFFECT_LINK;
    return effects ? effects : DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK;
}

void TBaseVirtualTree::HandleMouseDown(TMouseButton button, TShiftState shift, int x, int y,
                                       const THitInfo& hit) {
    if (FStates.Contains(S::tsWheelPanning)) {
        StopWheelPanning();
        return;
    }
    if (CanFocus() && !Focused()) SetFocus();
    SetMouseCapture(true);
    if (FStates.Contains(S::tsEditing)) DoEndEdit();
    DoStateChange({button == mbLeft    ? S::tsLeftButtonDown
                   : button == mbRight ? S::tsRightButtonDown
                                       : S::tsMiddleButtonDown});
    FDownPoint = TPoint(x, y);
    FDownNode = hit.HitNode;
    const bool shiftDown = shift.Contains(ssShift);
    const bool ctrl = shift.Contains(ssCtrl);
    const auto sel = FOptions->SelectionOptions();
    const bool multi = sel.Contains(toMultiSelect);
    PVirtualNode node = hit.HitNode;

    if (node && (hit.HitPositions & hiOnItemButton)) {
        ToggleNode(node);
        return;
    }
    if (node && (hit.HitPositions & hiOnItemCheckbox) &&
        FOptions->MiscOptions().Contains(toCheckSupport)) {
        if (!Has(node, nsDisabled)) {
            FCheckNode = node;
            node->CheckState = TCheckState(node->CheckState | 1);
            DoStateChange({S::tsMouseCheckPending});
            InvalidateNode(node);
        }
        return;
    }
    const bool onContent =
        node && ((hit.HitPositions & (hiOnItemLabel | hiOnNormalIcon | hiOnStateIcon)) ||
                 sel.Contains(toFullRowSelect));
    if (onContent) {
        PVirtualNode lastFocused = FFocusedNode;
        const bool wasSelected = Has(node, nsSelected);
        if (!shiftDown && !ctrl) {
            // A click on a selected node keeps a multiple selection until the button goes up,
            // so that it can be dragged as a whole.
            if (wasSelected && multi && SelectedCount() > 1)
                DoStateChange({S::tsClearPending});
            else
                ClearSelection();
        }
        SetFocusedNode(node);
        // A second plain click on the label of the focused node asks for an edit; the button
        // going up over the same node decides.
        if (button == mbLeft && !shiftDown && !ctrl && node == lastFocused &&
            FFocusedNode == node && (hit.HitPositions & hiOnItemLabel))
            DoStateChange({S::tsEditPending});
        if (FFocusedNode == node) {
            if (ctrl && multi) {
                DoStateChange({S::tsToggleFocusedSelection});
                FRangeAnchor = node;
            } else {
                HandleClickSelection(lastFocused, node, shiftDown && multi, false);
                if (!shiftDown) FRangeAnchor = node;
            }
        }
        if (button == mbLeft) {
            if (DragMode() == dmAutomatic) {
                BeginDrag(true);
            } else if (DoDragAllowed(node, hit.HitColumn)) {
                FDragThreshold = GetSystemMetrics(SM_CXDRAG);
                DoStateChange(
                    {FDragType == TVTDragType::dtOLE ? S::tsOLEDragPending : S::tsVCLDragPending});
            }
        }
        return;
    }
    if (button == mbLeft && multi) {
        const bool directClear = !ctrl && !shiftDown;
        // A click on a selected node may have left a clearance for the button-up to do.
        Assert(!(directClear && FStates.Contains(S::tsClearPending)),
               "Pending and direct clearance are mutual exclusive!");
        if (directClear) ClearSelection();
        FDrawSelStart = TPoint(x - FOffsetX, y - FOffsetY);
        FSelectRect = TRect(FDrawSelStart.X, FDrawSelStart.Y, FDrawSelStart.X, FDrawSelStart.Y);
        DoStateChange({S::tsDrawSelPending});
    }
}

void TBaseVirtualTree::HandleMouseMove(TShiftState shift, int x, int y) {
    if (FOptions->PaintOptions().Contains(toHotTrack) || OnHotChange) HandleHotTrack(x, y);
    if (FStates.Contains(S::tsWheelPanning)) {
        FScroller.PanTo(TPoint(x, y));
        return;
    }
    if (FStates.ContainsAny({S::tsOLEDragPending, S::tsVCLDragPending}) &&
        FStates.Contains(S::tsLeftButtonDown) &&
        (std::abs(x - FDownPoint.X) >= FDragThreshold ||
         std::abs(y - FDownPoint.Y) >= FDragThreshold)) {
        DoStateChange(
            {}, {S::tsOLEDragPending, S::tsVCLDragPending, S::tsClearPending, S::tsEditPending});
        // The pressed node goes with the drag even when the button has not been released.
        BeginDrag(true);
        return;
    }
    if (FStates.ContainsAny({S::tsDrawSelPending, S::tsDrawSelecting})) {
        DoStateChange({S::tsDrawSelecting}, {S::tsDrawSelPending});
        DrawSelectionTo(TPoint(x, y), shift.Contains(ssCtrl));
        FScroller.AutoScrollFrom(TPoint(x, y));
    }
}

void TBaseVirtualTree::DrawSelectionTo(TPoint clientPoint, bool toggle) {
    const TRect old = FSelectRect;
    const TPoint p(clientPoint.X - FOffsetX, clientPoint.Y - FOffsetY);
    const TRect now(std::min(FDrawSelStart.X, p.X), std::min(FDrawSelStart.Y, p.Y),
                    std::max(FDrawSelStart.X, p.X), std::max(FDrawSelStart.Y, p.Y));
    FSelectRect = now;
    HandleDrawSelection(old, now, toggle);
    RequestRepaint();
}

void TBaseVirtualTree::HandleMouseUp(TMouseButton button, TShiftState, int, int,
                                     const THitInfo& hit) {
    SetMouseCapture(false);
    FScroller.StopAutoScroll();
    if (FStates.ContainsAny({S::tsDrawSelPending, S::tsDrawSelecting})) {
        DoStateChange({}, {S::tsDrawSelPending, S::tsDrawSelecting});
        FSelectRect = TRect();
        RequestRepaint();
    }
    if (FStates.Contains(S::tsClearPending)) {
        // The click went up without a drag: only the clicked node stays selected.
        DoStateChange({}, {S::tsClearPending});
        PVirtualNode keep = FFocusedNode;
        ClearSelection();
        if (keep) AddToSelection(keep);
    }
    if (FStates.Contains(S::tsToggleFocusedSelection)) {
        DoStateChange({}, {S::tsToggleFocusedSelection});
        if (FFocusedNode && hit.HitNode == FFocusedNode) {
            if (Has(FFocusedNode, nsSelected))
                RemoveFromSelection(FFocusedNode);
            else
                AddToSelection(FFocusedNode);
            InvalidateNode(FFocusedNode);
        }
    }
    if (FStates.Contains(S::tsMouseCheckPending)) {
        DoStateChange({}, {S::tsMouseCheckPending});
        PVirtualNode node = FCheckNode;
        FCheckNode = nullptr;
        if (node) {
            node->CheckState = NormalCheckState(node->CheckState);
            if (hit.HitNode == node && (hit.HitPositions & hiOnItemCheckbox)) {
                TCheckState next =
                    ToggledCheckState(node->CheckType, node->CheckState, csCheckedNormal);
                SetCheckState(node, next);
            }
            InvalidateNode(node);
        }
    }
    if (FStates.Contains(S::tsEditPending) && !FStates.Contains(S::tsEditing)) {
        // The timer gives a double click the chance to cancel the edit.
        if (button == mbLeft && FFocusedNode && hit.HitNode == FFocusedNode &&
            (hit.HitPositions & hiOnItemLabel) && DoCanEdit(FFocusedNode, FFocusedColumn) &&
            HandleAllocated()) {
            FEditColumn = FFocusedColumn;
            FEditTimerNode = FFocusedNode;
            SetTimer(Handle(), EditTimer, FEditDelay);
        } else {
            DoStateChange({}, {S::tsEditPending});
        }
    }
    DoStateChange({}, {S::tsOLEDragPending, S::tsVCLDragPending,
                       button == mbLeft    ? S::tsLeftButtonDown
                       : button == mbRight ? S::tsRightButtonDown
                                           : S::tsMiddleButtonDown});
    FDownNode = nullptr;
}

void TBaseVirtualTree::HandleMouseDblClick(TMouseButton, TShiftState, const THitInfo& hit) {
    StopTimer(EditTimer);
    DoStateChange({}, {S::tsClearPending, S::tsToggleFocusedSelection, S::tsOLEDragPending,
                       S::tsVCLDragPending, S::tsDrawSelPending, S::tsEditPending});
    PVirtualNode node = hit.HitNode;
    if (!node) return;
    if (hit.HitPositions & hiOnItemCheckbox) {
        TCheckState next = NormalCheckState(node->CheckState) == csCheckedNormal ? csUncheckedNormal
                                                                                 : csCheckedNormal;
        SetCheckState(node, next);
        return;
    }
    if (hit.HitPositions & hiOnItemButton) {
        ToggleNode(node);
        return;
    }
    if (FOptions->MiscOptions().Contains(toToggleOnDblClick) &&
        ((hit.HitPositions & ToggleArea) || FOptions->SelectionOptions().Contains(toFullRowSelect)))
        ToggleNode(node);
}

void TBaseVirtualTree::HandleHotTrack(int x, int y) {
    THitInfo hit = HitTestAt(x, y, true);
    PVirtualNode node = hit.HitNode;
    if (node == FCurrentHotNode) return;
    PVirtualNode old = FCurrentHotNode;
    FCurrentHotNode = node;
    InvalidateNode(old);
    InvalidateNode(node);
    DoHotChange(old, node);
}

void TBaseVirtualTree::SimulateMouseUp() {
    TPoint p;
    GetCursorPos(&p);
    LPARAM l = PointToLParam(ScreenToClient(p));
    if (FStates.Contains(S::tsLeftButtonDown)) Perform(WM_LBUTTONUP, 0, l);
    if (FStates.Contains(S::tsRightButtonDown)) Perform(WM_RBUTTONUP, 0, l);
    if (FStates.Contains(S::tsMiddleButtonDown)) Perform(WM_MBUTTONUP, 0, l);
    DoStateChange({}, {S::tsLeftButtonDown, S::tsRightButtonDown, S::tsMiddleButtonDown});
}

// ---- Auto scrolling and wheel panning
// -------------------------------------------------------------------------

void TBaseVirtualTree::DoTimerScroll() {
    FScroller.TimerScroll();
}

void TBaseVirtualTree::StartWheelPanning(TPoint position) {
    FScroller.StartWheelPanning(position);
}

void TBaseVirtualTree::StopWheelPanning() {
    FScroller.StopWheelPanning();
}

void TBaseVirtualTree::StopMouseTimers() {
    StopWheelPanning();
    for (UINT_PTR id : {ExpandTimer, EditTimer, HeaderTimer, ScrollTimer, SearchTimer})
        StopTimer(id);
    FScroller.StopScrollTimer();
    FKeyboard.ForgetSearch();
    DoStateChange({}, {S::tsScrollPending, S::tsScrolling, S::tsEditPending,
                       S::tsIncrementalSearching, S::tsIncrementalSearchPending,
                       S::tsDrawSelPending, S::tsDrawSelecting, S::tsOLEDragPending,
                       S::tsVCLDragPending, S::tsClearPending, S::tsToggleFocusedSelection});
}

void TBaseVirtualTree::IncrementalSearchKey(char16_t ch) {
    FKeyboard.SearchKey(ch);
}

} // namespace epc
