// The tree's window procedure: the header sees each message first; the rest go by family
// (mouse, keyboard, painting and look, timers, focus, size, scrolling, the tree's own
// notifications). A family answers true when the message needs nothing more.

#include <utility>

#include "components/tree/BaseVirtualTree.h"
#include "components/tree/CheckImages.h"
#include "platform/controls/Forms.h"
#include "platform/core/ScopeGuard.h"
#include "platform/windows/Window.h"

namespace epc {

using namespace tree_options;
using S = TVirtualTreeState;

void TBaseVirtualTree::WndProc(TMessage& message) {
    // The header sees the messages of the non-client area, and the mouse while it tracks it.
    if (HandleAllocated() && FHeaderFrame.Message(message)) return;
    bool handled = false;
    switch (message.Msg) {
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDBLCLK:
    case WM_MOUSEMOVE:
    case WM_NCLBUTTONDOWN:
    case WM_NCRBUTTONDOWN:
    case WM_NCMBUTTONDOWN:
    case CM_MOUSELEAVE:
        handled = MouseMessage(message);
        break;
    case WM_KEYUP:
    case WM_CHAR:
    case WM_GETDLGCODE:
        handled = KeyboardMessage(message);
        break;
    case WM_ERASEBKGND:
    case WM_PAINT:
    case WM_PRINT:
    case WM_PRINTCLIENT:
    case WM_ENABLE:
    case CM_COLORCHANGED:
    case CM_FONTCHANGED:
    case CM_BIDIMODECHANGED:
    case CM_ENABLEDCHANGED:
    case CM_CTL3DCHANGED:
    case CM_SYSCOLORCHANGE:
        handled = AppearanceMessage(message);
        break;
    case WM_HSCROLL:
    case WM_VSCROLL:
        FScroller.ScrollMessage(message, message.Msg == WM_VSCROLL);
        return;
    case CM_MOUSEWHEEL:
        FScroller.MouseWheel(message);
        return;
    case WM_TIMER:
        handled = TimerMessage(message);
        break;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_CANCELMODE:
        handled = FocusMessage(message);
        break;
    case WM_SIZE:
        SizeMessage(message);
        return;
    default:
        handled = TreeMessage(message);
        break;
    }
    if (!handled) TCustomControl::WndProc(message);
}

bool TBaseVirtualTree::MouseMessage(TMessage& message) {
    const bool designing = FComponentState.Contains(TComponentStateItem::csDesigning);
    const TPoint p = LParamToPoint(message.LParam);
    switch (message.Msg) {
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
        if (designing) return false;
        TCustomControl::WndProc(message);
        MouseButtonDown(message, p);
        return true;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP: {
        if (designing) return false;
        TMouseButton button = message.Msg == WM_LBUTTONUP   ? mbLeft
                              : message.Msg == WM_RBUTTONUP ? mbRight
                                                            : mbMiddle;
        const bool held = FStates.Contains(button == mbLeft    ? S::tsLeftButtonDown
                                           : button == mbRight ? S::tsRightButtonDown
                                                               : S::tsMiddleButtonDown);
        if (held) {
            const THitInfo hit = HitTestAt(p.X, p.Y, true);
            HandleMouseUp(button, KeysToShiftState(message.WParam), p.X, p.Y, hit);
            // A left click that went down and up in the same column's cells.
            TColumnIndex& clicked = FHeader->Columns()->ClickIndex;
            if (button == mbLeft && clicked > NoColumn && clicked == hit.HitColumn)
                DoColumnClick(hit.HitColumn, KeysToShiftState(message.WParam));
            if (button == mbLeft) clicked = NoColumn;
        }
        TCustomControl::WndProc(message);
        return true;
    }
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDBLCLK: {
        if (designing) return false;
        TCustomControl::WndProc(message);
        TMouseButton button = message.Msg == WM_LBUTTONDBLCLK   ? mbLeft
                              : message.Msg == WM_RBUTTONDBLCLK ? mbRight
                                                                : mbMiddle;
        const auto selection = FOptions->SelectionOptions();
        if (button == mbRight && !selection.Contains(toRightClickSelect)) return true;
        if (button == mbMiddle && !selection.Contains(toMiddleClickSelect)) return true;
        const THitInfo hit = HitTestAt(p.X, p.Y, true);
        HandleMouseDblClick(button, KeysToShiftState(message.WParam), hit);
        if (button == mbLeft && hit.HitColumn > NoColumn)
            DoColumnDblClick(hit.HitColumn, KeysToShiftState(message.WParam));
        return true;
    }
    case WM_MOUSEMOVE:
        TCustomControl::WndProc(message);
        HandleMouseMove(KeysToShiftState(message.WParam), p.X, p.Y);
        return true;
    case CM_MOUSELEAVE:
        if (!FStates.Contains(S::tsWheelPanning)) FScroller.StopScrollTimer();
        if (FCurrentHotNode) {
            PVirtualNode old = FCurrentHotNode;
            FCurrentHotNode = nullptr;
            InvalidateNode(old);
            DoHotChange(old, nullptr);
        }
        return false;
    default:
        // Button presses on the frame do nothing here.
        return true;
    }
}

// A button pressed in the client area: the middle button pans the wheel (or stops panning);
// the right and middle buttons select only where the options say so.
void TBaseVirtualTree::MouseButtonDown(TMessage& message, TPoint p) {
    const auto selection = FOptions->SelectionOptions();
    if (message.Msg == WM_MBUTTONDOWN) {
        if (FStates.Contains(S::tsWheelPanning)) {
            StopWheelPanning();
            return;
        }
        if (FOptions->MiscOptions().Contains(toWheelPanning) &&
            (int(RootTotalHeight()) > ClientHeight() || RangeX() > ClientWidth())) {
            StartWheelPanning(p);
            return;
        }
        if (!selection.Contains(toMiddleClickSelect)) return;
    }
    if (message.Msg == WM_RBUTTONDOWN && !selection.Contains(toRightClickSelect)) return;
    TMouseButton button = message.Msg == WM_LBUTTONDOWN   ? mbLeft
                          : message.Msg == WM_RBUTTONDOWN ? mbRight
                                                          : mbMiddle;
    const THitInfo hit = HitTestAt(p.X, p.Y, true);
    // The column a left click starts in; the click counts when it ends there too.
    if (button == mbLeft) FHeader->Columns()->ClickIndex = hit.HitColumn;
    HandleMouseDown(button, KeysToShiftState(message.WParam), p.X, p.Y, hit);
}

bool TBaseVirtualTree::KeyboardMessage(TMessage& message) {
    switch (message.Msg) {
    case WM_KEYUP:
        FKeyboard.KeyUp(Word(message.WParam));
        return false;
    case WM_CHAR:
        if (!FStates.Contains(S::tsIncrementalSearchPending)) return false;
        FKeyboard.CharTyped(char16_t(message.WParam));
        return true;
    default: // WM_GETDLGCODE
        message.Result =
            DLGC_WANTARROWS | DLGC_WANTCHARS | (FWantTabs ? uint32_t(DLGC_WANTTAB) : 0u);
        return true;
    }
}

// Painting, printing, and what changes the tree's look: enabling, colours, fonts, reading
// order, the 3-D look, the system's colours.
bool TBaseVirtualTree::AppearanceMessage(TMessage& message) {
    const bool designing = FComponentState.Contains(TComponentStateItem::csDesigning);
    switch (message.Msg) {
    case WM_ERASEBKGND:
        message.Result = 1;
        return true;
    case WM_PAINT: {
        // Painted under a shown drag image, the rows would be captured into its background.
        const bool dragImageShown = FDragImage && FDragImage->Visible();
        if (dragImageShown) FDragImage->HideDragImage();
        if (HandleAllocated()) {
            RECT update;
            if (GetUpdateRect(Handle(), &update, 0)) FUpdateRect = update;
        }
        const int rangeX = RangeX();
        TCustomControl::WndProc(message);
        if (dragImageShown) FDragImage->ShowDragImage();
        // Rows shown for the first time may be wider than the bar knew.
        if (RangeX() > rangeX && !IsUpdating()) UpdateScrollBars(true);
        return true;
    }
    case WM_PRINT:
    case WM_PRINTCLIENT:
        PrintTo(reinterpret_cast<HDC>(message.WParam));
        return true;
    case WM_ENABLE:
    case CM_ENABLEDCHANGED:
        TCustomControl::WndProc(message);
        if (HandleAllocated() && (message.Msg == WM_ENABLE || designing))
            RedrawWindow(Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME | RDW_NOERASE);
        return true;
    case CM_COLORCHANGED:
    case CM_FONTCHANGED:
        TCustomControl::WndProc(message);
        // The button pictures carry the tree's colour and the font's.
        if (!Loading()) PrepareBitmaps(true, false);
        RequestRepaint();
        return true;
    case CM_BIDIMODECHANGED:
        // Columns that follow the tree take its new reading order.
        if (FHeader)
            for (int i = 0; i < FHeader->Columns()->Count(); ++i)
                FHeader->Columns()->Items(i)->ParentBiDiModeChanged();
        return false;
    case CM_CTL3DCHANGED:
        // Only a single border looks different with and without the 3-D look.
        if (FBorderStyle == bsSingle && HandleAllocated()) RecreateWnd();
        return true;
    default: { // CM_SYSCOLORCHANGE
        TCustomControl::WndProc(message);
        ReloadCheckImages();
        TMessage system{WM_SYSCOLORCHANGE, 0, 0, 0};
        DefaultHandler(system);
        RequestRepaint();
        return true;
    }
    }
}

bool TBaseVirtualTree::TimerMessage(TMessage& message) {
    switch (message.WParam) {
    case ChangeTimer:
        ChangeTimerElapsed();
        return true;
    case StructureChangeTimer:
        StructureChangeTimerElapsed();
        return true;
    case ExpandTimer:
        // The drop target opens while a drag rests over it.
        StopTimer(ExpandTimer);
        if (FDropTargetNode && FDropTargetNode->States.Contains(nsHasChildren) &&
            !FDropTargetNode->States.Contains(nsExpanded)) {
            if (FDragImage) FDragImage->HideDragImage();
            ToggleNode(FDropTargetNode);
            Update();
            if (FDragImage) FDragImage->ShowDragImage();
        }
        return true;
    case EditTimer: {
        StopTimer(EditTimer);
        DoStateChange({}, {S::tsEditPending});
        // The click asked to edit one node; once the focus has moved on it edits nothing.
        PVirtualNode node = std::exchange(FEditTimerNode, nullptr);
        if (node && node == FFocusedNode) DoEdit();
        return true;
    }
    case ScrollTimer:
        FScroller.ScrollTimerElapsed();
        return true;
    case SearchTimer:
        StopTimer(SearchTimer);
        DoStateChange({}, {S::tsIncrementalSearching});
        FKeyboard.ForgetSearch();
        return true;
    default:
        return false;
    }
}

bool TBaseVirtualTree::FocusMessage(TMessage& message) {
    const bool ghosted = FOptions->PaintOptions().Contains(toGhostedIfUnfocused);
    switch (message.Msg) {
    case WM_SETFOCUS:
        TCustomControl::WndProc(message);
        if (SelectedCount() > 0 || !ghosted) RequestRepaint();
        return true;
    case WM_KILLFOCUS: {
        if (FHeader && FHeader->State() == TVTHeader::TState::Dragging) FHeader->CancelMouseWork();
        StopMouseTimers();
        if (SelectedCount() > 0 || !ghosted)
            RequestRepaint();
        else
            InvalidateNode(FFocusedNode);
        // The focus goes to one of the tree's editors: the form lets go of the tree.
        if (TCustomForm* form = GetParentForm(this); form && form->ActiveControl() == this) {
            auto receiving = reinterpret_cast<HWND>(message.WParam);
            if (receiving && IsChild(Handle(), receiving)) form->SetActiveControl(nullptr);
        }
        return false;
    }
    default: // WM_CANCELMODE
        StopMouseTimers();
        return false;
    }
}

void TBaseVirtualTree::SizeMessage(TMessage& message) {
    // Wrapped or clipped content may need less room now.
    FScroller.InvalidateRangeX();
    // A bar shown or hidden by the pass under way resizes the client area from inside it: that
    // pass takes the new size in another round rather than starting over within itself.
    if (FStates.Contains(S::tsSizing)) {
        FSizedWhileSizing = true;
        return;
    }
    if (!HandleAllocated() || ClientHeight() <= 0 ||
        FStates.ContainsAny({S::tsToggling, S::tsPainting})) {
        TCustomControl::WndProc(message);
        return;
    }
    DoStateChange({S::tsSizing});
    auto leave = Finally([this] { DoStateChange({}, {S::tsSizing}); });
    // Rows that wrap to the width may want the bars otherwise once a bar took its room; such
    // changes only go one way (a narrower area wraps taller), so a few rounds settle it.
    constexpr int MaxSizingRounds = 4;
    for (int round = 0; round < MaxSizingRounds; ++round) {
        FSizedWhileSizing = false;
        const TRect client = ClientRect();
        message.LParam = MAKELPARAM(client.Width(), client.Height());
        TCustomControl::WndProc(message);
        if (!HandleAllocated()) return;
        // The auto-size column follows the client width.
        if (FHeader && FHeader->Options().Contains(hoAutoResize)) {
            FHeader->AdjustAutoSize(NoColumn, true);
            FHeader->Invalidate();
        }
        UpdateScrollBars(true);
        if (!FSizedWhileSizing) break;
        FScroller.InvalidateRangeX();
    }
    if (FStates.Contains(S::tsEditing) && FHeader &&
        FHeader->Columns()->GetVisibleColumns().empty())
        UpdateEditBounds();
}

// The tree's own messages, hints, the clipboard and the window's end.
bool TBaseVirtualTree::TreeMessage(TMessage& message) {
    switch (message.Msg) {
    case WM_CONTEXTMENU:
        DoStateChange({}, {S::tsRightButtonDown});
        return false;
    case WM_SETCURSOR: {
        // The header has had its say; in the client area the hot node may ask for the hot
        // cursor, and OnGetCursor has the last word.
        if (FComponentState.Contains(TComponentStateItem::csDesigning) ||
            reinterpret_cast<HWND>(message.WParam) != Handle() ||
            LOWORD(message.LParam) != HTCLIENT || !Screen)
            return false;
        TCursor cursor = Cursor();
        if (FOptions->PaintOptions().Contains(toHotTrack)) {
            POINT screen;
            GetCursorPos(&screen);
            const TPoint p = ScreenToClient(screen);
            if (HitTestAt(p.X, p.Y, true).HitNode && FHotCursor != crDefault) cursor = FHotCursor;
        }
        DoGetCursor(cursor);
        if (cursor == crDefault) return false;
        epc::SetCursor(Screen->Cursors(cursor));
        message.Result = 1;
        return true;
    }
    case WM_APP + 32: {
        // Two four-bit masks of states to enter and to leave.
        auto states = [](WPARAM bits) {
            TVirtualTreeStates result;
            if (bits & 1) result.Include(S::tsClearPending);
            if (bits & 2) result.Include(S::tsEditPending);
            if (bits & 4) result.Include(S::tsScrollPending);
            if (bits & 8) result.Include(S::tsIncrementalSearchPending);
            return result;
        };
        DoStateChange(states(message.WParam & 0xF), states(message.LParam & 0xF));
        return true;
    }
    case ReleaseEditLinkMessage:
        if (!FStates.Contains(S::tsEditing)) FEndedEditLink.reset();
        return true;
    case CM_BASE + 2000:
        message.Result = 1;
        return true;
    case CM_HINTSHOW:
        HandleHintShow(message);
        return true;
    case CM_HINTSHOWPAUSE:
        HintShowPause(message);
        return true;
    case WM_COPY:
        CopyToClipboard();
        return true;
    case WM_CUT:
        CutToClipboard();
        return true;
    case WM_PASTE:
        PasteFromClipboard();
        return true;
    case WM_NCDESTROY:
        StopTimer(ChangeTimer);
        StopTimer(StructureChangeTimer);
        return false;
    default:
        return false;
    }
}

// Tooltips, and the hints of the header's columns, come at once.
void TBaseVirtualTree::HintShowPause(TMessage& message) {
    bool atOnce = FHintMode == TVTHintMode::hmTooltip;
    if (!atOnce && FHeader && FHeader->Options().Contains(hoShowHint) && HandleAllocated()) {
        TPoint screen;
        GetCursorPos(&screen);
        atOnce = FHeaderFrame.MouseOverHeader(screen);
    }
    if (atOnce && message.LParam) *reinterpret_cast<int*>(message.LParam) = 0;
}

} // namespace epc
