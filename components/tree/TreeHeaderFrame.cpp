// The header in the tree's non-client area.

#include "components/tree/TreeHeaderFrame.h"

#include <algorithm>

#include "components/tree/BaseVirtualTree.h"
#include "platform/controls/Forms.h"

namespace epc {

using S = TVirtualTreeState;

bool TVTHeaderFrame::Message(TMessage& message) {
    if (!FTree.FHeader) return false;
    switch (message.Msg) {
    case WM_NCCALCSIZE:
    case WM_NCHITTEST:
    case WM_NCPAINT:
        return FrameMessage(message);
    case WM_TIMER:
        return TimerMessage(message);
    case WM_NCLBUTTONDOWN:
    case WM_NCLBUTTONDBLCLK:
    case WM_NCLBUTTONUP:
    case WM_NCMOUSEMOVE:
        return MouseMessage(message);
    case WM_MOUSEMOVE:
    case WM_LBUTTONUP:
        return TrackedMouseMessage(message);
    case WM_SETCURSOR:
        return CursorMessage(message);
    case WM_KEYDOWN:
        // Escape gives a column drag up: the column stays where it was.
        if (message.WParam != VK_ESCAPE || FTree.FHeader->State() != TVTHeader::TState::Dragging)
            return false;
        FTree.FHeader->CancelMouseWork();
        FTree.SetMouseCapture(false);
        return true;
    default:
        return false;
    }
}

TPoint TVTHeaderFrame::HeaderPoint(TPoint screen) const {
    TPoint p = FTree.ScreenToClient(screen);
    return TPoint(p.X, p.Y + FTree.FHeader->Height());
}

bool TVTHeaderFrame::MouseOverHeader(TPoint screen) const {
    const TVTHeader& header = *FTree.FHeader;
    if (!header.IsVisible()) return false;
    const TPoint p = HeaderPoint(screen);
    return p.Y >= 0 && p.Y < header.Height() && header.InHeader(p);
}

// The frame makes room for the shown header, reports it as border, and paints it.
bool TVTHeaderFrame::FrameMessage(TMessage& message) {
    TBaseVirtualTree& tree = FTree;
    const TVTHeader& header = *tree.FHeader;
    tree.TCustomControl::WndProc(message);
    if (!header.IsVisible()) return true;
    switch (message.Msg) {
    case WM_NCCALCSIZE:
        if (auto* params = reinterpret_cast<NCCALCSIZE_PARAMS*>(message.LParam))
            params->rgrc[0].Top += header.Height();
        break;
    case WM_NCHITTEST:
        if (tree.FComponentState.Contains(TComponentStateItem::csDesigning)) break;
        if (MouseOverHeader(LParamToPoint(message.LParam))) message.Result = HTBORDER;
        break;
    default: // WM_NCPAINT
        PaintFrame();
        break;
    }
    return true;
}

void TVTHeaderFrame::PaintFrame() {
    TBaseVirtualTree& tree = FTree;
    if (!tree.HandleAllocated()) return;
    HDC dc = GetWindowDC(tree.Handle());
    if (!dc) return;
    TRect window;
    GetWindowRect(tree.Handle(), &window);
    const TPoint origin = tree.ClientToScreen(TPoint(0, 0));
    PaintTo(dc, origin.X - window.Left, origin.Y - window.Top - tree.FHeader->Height());
    ReleaseDC(tree.Handle(), dc);
}

void TVTHeaderFrame::PaintTo(HDC dc, int left, int top) {
    TBaseVirtualTree& tree = FTree;
    const int width = tree.ClientWidth();
    const int height = tree.FHeader->Height();
    TBitmap picture;
    picture.SetSize(std::max(1, width), height);
    // Scrolled sideways the columns move left with the cells below them (OffsetX <= 0).
    tree.FHeader->Columns()->PaintHeader(picture.Canvas(), TRect(0, 0, width, height),
                                         tree.FOffsetX);
    BitBlt(dc, left, top, width, height, picture.Canvas()->Handle(), 0, 0, SRCCOPY);
}

// The hot column goes once the mouse has left the header.
bool TVTHeaderFrame::TimerMessage(TMessage& message) {
    if (message.WParam != TBaseVirtualTree::HeaderTimer) return false;
    TVTHeader& header = *FTree.FHeader;
    if (header.State() == TVTHeader::TState::Idle) {
        TPoint screen;
        GetCursorPos(&screen);
        if (!MouseOverHeader(screen)) {
            FTree.StopTimer(TBaseVirtualTree::HeaderTimer);
            header.MouseLeft();
        }
    }
    return true;
}

// Presses on the header's strip of the frame, and the mouse there while the header tracks it.
bool TVTHeaderFrame::MouseMessage(TMessage& message) {
    TBaseVirtualTree& tree = FTree;
    TVTHeader& header = *tree.FHeader;
    const bool onHeader = header.IsVisible() && message.WParam == HTBORDER;
    const bool tracking = header.State() != TVTHeader::TState::Idle;
    const TPoint p = HeaderPoint(LParamToPoint(message.LParam));
    switch (message.Msg) {
    case WM_NCLBUTTONDOWN:
        if (!onHeader) return false;
        if (header.MouseDown(p, GetShiftState())) tree.SetMouseCapture(true);
        message.Result = 0;
        return true;
    case WM_NCLBUTTONDBLCLK:
        if (!onHeader) return false;
        header.DoubleClick(p, GetShiftState());
        return true;
    case WM_NCLBUTTONUP:
        if (!tracking) return false;
        header.MouseUp(p, GetShiftState());
        tree.SetMouseCapture(false);
        return true;
    default: // WM_NCMOUSEMOVE
        if (!onHeader && !tracking) return false;
        header.MouseMove(p, GetShiftState());
        // Column hints: the application's hint handling sees the move as one in the client
        // area, above its top.
        if (onHeader && !tracking && header.Options().Contains(hoShowHint) && Application) {
            const TPoint client = tree.ScreenToClient(LParamToPoint(message.LParam));
            TMessage move{WM_MOUSEMOVE, 0, PointToLParam(client), 0};
            Application->HintMouseMessage(&tree, move);
        }
        return true;
    }
}

// While the header tracks the mouse it has the capture and every move and the release.
bool TVTHeaderFrame::TrackedMouseMessage(TMessage& message) {
    TBaseVirtualTree& tree = FTree;
    TVTHeader& header = *tree.FHeader;
    if (header.State() == TVTHeader::TState::Idle) return false;
    TPoint p = LParamToPoint(message.LParam);
    p.Y += header.Height();
    if (message.Msg == WM_MOUSEMOVE) {
        header.MouseMove(p, KeysToShiftState(message.WParam));
    } else {
        header.MouseUp(p, KeysToShiftState(message.WParam));
        tree.SetMouseCapture(false);
    }
    return true;
}

bool TVTHeaderFrame::CursorMessage(TMessage& message) {
    TBaseVirtualTree& tree = FTree;
    TPoint screen;
    if (tree.FStates.Contains(S::tsWheelPanning)) {
        GetCursorPos(&screen);
        tree.FScroller.ShowPanningCursor(tree.ScreenToClient(screen));
        message.Result = 1;
        return true;
    }
    if (!tree.FHeader->IsVisible() || LOWORD(message.LParam) != HTBORDER) return false;
    GetCursorPos(&screen);
    const TCursor cursor = tree.FHeader->CursorAt(HeaderPoint(screen));
    if (cursor == crDefault) return false;
    epc::SetCursor(Screen->Cursors(cursor));
    message.Result = 1;
    return true;
}

} // namespace epc
