// Scrolling by the scroll bars, the wheel, the edges of the client area and wheel panning.

#include "components/tree/TreeScroller.h"

#include <algorithm>

#include "components/tree/BaseVirtualTree.h"
#include "components/tree/CheckImages.h"
#include "components/tree/VTDataTransfer.h"
#include "platform/controls/Forms.h"

namespace epc {

using namespace tree_options;
using S = TVirtualTreeState;
using T = TBaseVirtualTree;

namespace {

// Dead zone around the wheel-panning origin.
constexpr int PanningDeadZone = 8;
// The wheel-panning indicator: a square window centred on the origin, of this class.
constexpr int PanningWindowSize = 32;
constexpr const char* PanningWindowClass = "TPanningIndicator";

// The wheel-panning cursor: inside the dead zone the picture of the directions that can scroll,
// beyond it the compass direction of the mouse from the origin.
const char* PanningCursorName(TPoint origin, TPoint p, bool horizontal, bool vertical) {
    const int dx = p.X - origin.X;
    const int dy = p.Y - origin.Y;
    const bool north = dy < -PanningDeadZone;
    const bool south = dy > PanningDeadZone;
    const bool west = dx < -PanningDeadZone;
    const bool east = dx > PanningDeadZone;
    if (north) return east ? "VT_MOVENE" : west ? "VT_MOVENW" : "VT_MOVEN";
    if (south) return east ? "VT_MOVESE" : west ? "VT_MOVESW" : "VT_MOVES";
    if (east) return "VT_MOVEE";
    if (west) return "VT_MOVEW";
    if (horizontal && vertical) return "VT_MOVEALL";
    return horizontal ? "VT_MOVEEW" : "VT_MOVENS";
}

} // namespace

// ---- Scroll bars and the wheel

void TVTScroller::ScrollMessage(TMessage& message, bool vertical) {
    TBaseVirtualTree& tree = FTree;
    const int code = LOWORD(message.WParam);
    const TScrollBarOptions& bars = *tree.FScrollBarOptions;
    const int line = vertical ? bars.VerticalIncrement : bars.HorizontalIncrement;
    const int page = vertical ? tree.ClientHeight() : tree.ClientWidth();
    int offset = vertical ? tree.FOffsetY : tree.FOffsetX;
    switch (code) {
    case SB_LINEUP:
        offset += line;
        break;
    case SB_LINEDOWN:
        offset -= line;
        break;
    case SB_PAGEUP:
        offset += page;
        break;
    case SB_PAGEDOWN:
        offset -= page;
        break;
    case SB_THUMBPOSITION:
    case SB_THUMBTRACK: {
        SCROLLINFO info{};
        info.cbSize = sizeof info;
        info.fMask = SIF_TRACKPOS;
        GetScrollInfo(tree.Handle(), vertical ? SB_VERT : SB_HORZ, &info);
        offset = -info.nTrackPos;
        tree.DoStateChange({S::tsScrolling});
        break;
    }
    case SB_TOP:
        offset = 0;
        break;
    case SB_BOTTOM:
        offset = vertical ? -int(tree.RootTotalHeight()) : -RangeX();
        break;
    case SB_ENDSCROLL:
        tree.DoStateChange({}, {S::tsScrolling});
        tree.UpdateScrollBars(true);
        tree.RedrawWindowWithFrame();
        return;
    default:
        return;
    }
    if (vertical)
        tree.DoSetOffsetXY(TPoint(tree.FOffsetX, offset), T::DefaultScrollUpdateFlags);
    else
        tree.DoSetOffsetXY(TPoint(offset, tree.FOffsetY), T::DefaultScrollUpdateFlags);
}

void TVTScroller::MouseWheel(TMessage& message) {
    TBaseVirtualTree& tree = FTree;
    StopWheelPanning();
    const TShiftState shift = TShiftState::FromBits(LOWORD(message.WParam));
    const int delta = int16_t(HIWORD(message.WParam));
    const bool ctrl = shift.Contains(ssCtrl);
    const int rowHeight = int(tree.FDefaultNodeHeight);
    message.Result = 1;
    if (int(tree.RootTotalHeight()) > tree.ClientHeight()) {
        int rows = 0;
        if (ctrl) {
            rows = tree.ClientHeight() / std::max(1, rowHeight);
        } else {
            UINT lines = 3;
            SystemParametersInfoA(SPI_GETWHEELSCROLLLINES, 0, &lines, 0);
            rows = int(lines);
        }
        const int dy = delta * rows * rowHeight / 120;
        tree.DoSetOffsetXY(TPoint(tree.FOffsetX, tree.FOffsetY + dy), T::DefaultScrollUpdateFlags);
    } else {
        const int step = ctrl ? tree.ClientWidth() : 1;
        const int dx = delta * step * int(tree.FIndent) / 120;
        tree.DoSetOffsetXY(TPoint(tree.FOffsetX + dx, tree.FOffsetY), T::DefaultScrollUpdateFlags);
    }
}

// The client size once both bars are as the ranges want them: each bar shown takes room the
// other may then need, so the two are decided together and a bar update settles in one pass.
TSize TVTScroller::SettledClientSize() {
    TBaseVirtualTree& tree = FTree;
    HWND h = tree.Handle();
    const intptr_t style = GetWindowLong(h, GWL_STYLE);
    const int barWidth = GetSystemMetrics(SM_CXVSCROLL);
    const int barHeight = GetSystemMetrics(SM_CYHSCROLL);
    // The client area without either bar.
    const int fullWidth = tree.ClientWidth() + ((style & WS_VSCROLL) ? barWidth : 0);
    const int fullHeight = tree.ClientHeight() + ((style & WS_HSCROLL) ? barHeight : 0);
    const TScrollBarOptions& options = *tree.FScrollBarOptions;
    const TScrollStyle bars = options.ScrollBars();
    const bool canH = bars == TScrollStyle::ssHorizontal || bars == TScrollStyle::ssBoth;
    const bool canV = bars == TScrollStyle::ssVertical || bars == TScrollStyle::ssBoth;
    const int rangeX = RangeX();
    const int rangeY = tree.RangeY();
    bool needH = canH && options.AlwaysVisible();
    bool needV = canV && options.AlwaysVisible();
    // A bar once needed stays needed (the area only shrinks), so this ends within three rounds.
    for (;;) {
        const bool h2 = canH && (needH || rangeX > fullWidth - (needV ? barWidth : 0));
        const bool v2 = canV && (needV || rangeY > fullHeight - (h2 ? barHeight : 0));
        if (h2 == needH && v2 == needV) break;
        needH = h2;
        needV = v2;
    }
    return TSize(fullWidth - (needV ? barWidth : 0), fullHeight - (needH ? barHeight : 0));
}

// One bar: hidden unless the options ask for it; shown (disabled when nothing is to scroll)
// with AlwaysVisible even while everything fits. Its page is the client extent both bars leave.
void TVTScroller::SetBar(bool vertical, bool doRepaint) {
    TBaseVirtualTree& tree = FTree;
    // Nodes linked, unlinked, shown, hidden, expanded or collapsed since: measured anew.
    if (!vertical && (FRangeXStale || FRangeXVersion != tree.FStructureVersion)) MeasureRangeX();
    HWND h = tree.Handle();
    const int bar = vertical ? SB_VERT : SB_HORZ;
    const TScrollBarOptions& options = *tree.FScrollBarOptions;
    const TScrollStyle bars = options.ScrollBars();
    const TScrollStyle own = vertical ? TScrollStyle::ssVertical : TScrollStyle::ssHorizontal;
    if (bars != own && bars != TScrollStyle::ssBoth) {
        ShowScrollBar(h, bar, false);
        return;
    }
    const TSize settled = SettledClientSize();
    const int range = vertical ? tree.RangeY() : RangeX();
    const int page = vertical ? settled.cy : settled.cx;
    SCROLLINFO si;
    si.fMask = SIF_ALL;
    if (range > page || options.AlwaysVisible()) {
        if (options.AlwaysVisible()) {
            si.fMask |= SIF_DISABLENOSCROLL;
            ShowScrollBar(h, bar, true);
        }
        si.nMax = range;
        si.nPage = uint32_t(std::max(0, page) + 1);
        si.nPos = -(vertical ? tree.FOffsetY : tree.FOffsetX);
    }
    SetScrollInfo(h, bar, &si, doRepaint);
}

// The offsets follow the bars' positions.
void TVTScroller::FollowBars() {
    TBaseVirtualTree& tree = FTree;
    HWND h = tree.Handle();
    const TScrollStyle bars = tree.FScrollBarOptions->ScrollBars();
    const bool hasH = bars == TScrollStyle::ssHorizontal || bars == TScrollStyle::ssBoth;
    const bool hasV = bars == TScrollStyle::ssVertical || bars == TScrollStyle::ssBoth;
    // A bar the options leave out keeps its offset.
    const TPoint offset(hasH ? -GetScrollPos(h, SB_HORZ) : tree.FOffsetX,
                        hasV ? -GetScrollPos(h, SB_VERT) : tree.FOffsetY);
    tree.DoSetOffsetXY(offset, T::DefaultScrollUpdateFlags & ~T::suoUpdateNCArea);
}

void TVTScroller::UpdateScrollBar(bool vertical, bool doRepaint) {
    if (!FTree.HandleAllocated()) return;
    SetBar(vertical, doRepaint);
    FollowBars();
}

void TVTScroller::UpdateScrollBars(bool doRepaint) {
    if (!FTree.HandleAllocated()) return;
    SetBar(false, doRepaint);
    // Showing the first bar may have resized the window (and rewrapped its rows) meanwhile:
    // the second is decided from what holds now.
    if (!FTree.HandleAllocated()) return;
    SetBar(true, doRepaint);
    FollowBars();
}

// ---- The horizontal range

// The widest extent of the nodes that are shown (expanded all the way up and visible), not
// only of the rows in the window: a range that changed with the scroll position or the
// window's height would turn the horizontal bar on and off as it appeared. Nodes never
// initialised have never been shown; painting widens the range as they come into view.
void TVTScroller::MeasureRangeX() {
    TBaseVirtualTree& tree = FTree;
    FRangeXStale = false;
    FRangeXVersion = tree.FStructureVersion;
    FRangeX = 0;
    // Node extents count without columns only; with them the columns' width is the range.
    if (tree.FHeader->UseColumns() || !tree.HandleAllocated()) return;
    for (PVirtualNode run = tree.FirstVisibleNodeNoInit(); run;
         run = tree.NextVisibleNodeNoInit(run)) {
        if (!Has(run, nsInitialized)) continue;
        FRangeX = std::max(FRangeX, tree.NodeContentLeft(run, NoColumn) +
                                        tree.DoGetNodeWidth(run, NoColumn));
    }
}

int TVTScroller::RangeX() const {
    const TVTHeader* header = FTree.FHeader.get();
    int range = FRangeX;
    if (header && header->UseColumns()) range = std::max(range, header->Columns()->TotalWidth());
    return range;
}

// ---- Auto scrolling

uint8_t TVTScroller::DetermineScrollDirections(TPoint p) const {
    TBaseVirtualTree& tree = FTree;
    uint8_t dirs = 0;
    if (tree.FStates.Contains(S::tsWheelPanning)) {
        if (p.X < FPanningOrigin.X - PanningDeadZone) dirs |= T::sdLeft;
        if (p.X > FPanningOrigin.X + PanningDeadZone) dirs |= T::sdRight;
        if (p.Y < FPanningOrigin.Y - PanningDeadZone) dirs |= T::sdUp;
        if (p.Y > FPanningOrigin.Y + PanningDeadZone) dirs |= T::sdDown;
        return dirs;
    }
    const int clientWidth = tree.ClientWidth();
    const int clientHeight = tree.ClientHeight();
    const int rangeY = int(tree.RootTotalHeight());
    const int edge = int(tree.FDefaultNodeHeight);
    if (p.Y < edge && tree.FOffsetY < 0) dirs |= T::sdUp;
    if (p.Y >= clientHeight - edge && clientHeight - tree.FOffsetY < rangeY) dirs |= T::sdDown;
    if (p.X < edge && tree.FOffsetX < 0) dirs |= T::sdLeft;
    if (p.X >= clientWidth - edge && clientWidth - tree.FOffsetX < RangeX()) dirs |= T::sdRight;
    return dirs;
}

void TVTScroller::AutoScrollFrom(TPoint p) {
    TBaseVirtualTree& tree = FTree;
    const uint8_t dirs = DetermineScrollDirections(p);
    if (!dirs || !tree.FOptions->AutoOptions().Contains(toAutoScroll) || FScrollTimerRunning ||
        !tree.HandleAllocated())
        return;
    FScrollDirections = dirs;
    tree.DoStateChange({S::tsScrollPending});
    SetTimer(tree.Handle(), T::ScrollTimer, tree.FAutoScrollDelay);
    FScrollTimerRunning = true;
}

void TVTScroller::ScrollTimerElapsed() {
    TBaseVirtualTree& tree = FTree;
    if (tree.FStates.Contains(S::tsScrollPending)) {
        tree.DoStateChange({S::tsScrolling}, {S::tsScrollPending, S::tsHint});
        SetTimer(tree.Handle(), T::ScrollTimer, tree.FAutoScrollInterval);
    }
    TimerScroll();
}

void TVTScroller::StopScrollTimer() {
    if (FScrollTimerRunning) FTree.StopTimer(T::ScrollTimer);
    FScrollTimerRunning = false;
}

void TVTScroller::StopAutoScroll() {
    if (!FScrollTimerRunning) return;
    StopScrollTimer();
    FTree.DoStateChange({}, {S::tsScrollPending, S::tsScrolling});
}

TPoint TVTScroller::TimerScrollDelta(TPoint cursor) const {
    TBaseVirtualTree& tree = FTree;
    const int clientWidth = tree.ClientWidth();
    const int clientHeight = tree.ClientHeight();
    const bool inside =
        cursor.X >= 0 && cursor.Y >= 0 && cursor.X < clientWidth && cursor.Y < clientHeight;
    const int vStep = std::min<int>(tree.FScrollBarOptions->VerticalIncrement, clientHeight);
    const int hStep = tree.FScrollBarOptions->HorizontalIncrement;
    // Panning scrolls by the distance beyond the dead zone; auto scrolling by a step, more
    // the farther the mouse is outside.
    const bool panning = tree.FStates.Contains(S::tsWheelPanning);
    const TPoint o = FPanningOrigin;
    TPoint d;
    if (FScrollDirections & T::sdUp)
        d.Y = panning ? o.Y - cursor.Y - PanningDeadZone
                      : (inside ? vStep : vStep * std::max(1, int(-cursor.Y)));
    if (FScrollDirections & T::sdDown)
        d.Y = -(panning ? cursor.Y - o.Y - PanningDeadZone
                        : (inside ? vStep : vStep * std::max(1, int(cursor.Y) - clientHeight)));
    if (FScrollDirections & T::sdLeft)
        d.X = panning ? o.X - cursor.X - PanningDeadZone
                      : (inside ? hStep : hStep * std::max(1, int(-cursor.X)));
    if (FScrollDirections & T::sdRight)
        d.X = -(panning ? cursor.X - o.X - PanningDeadZone
                        : (inside ? hStep : hStep * std::max(1, int(cursor.X) - clientWidth)));
    return d;
}

// Directions that reached their end leave the set.
void TVTScroller::DropFinishedDirections() {
    TBaseVirtualTree& tree = FTree;
    const int rangeY = int(tree.RootTotalHeight());
    if (tree.FOffsetY >= 0) FScrollDirections &= uint8_t(~T::sdUp);
    if (tree.ClientHeight() - tree.FOffsetY >= rangeY) FScrollDirections &= uint8_t(~T::sdDown);
    if (tree.FOffsetX >= 0) FScrollDirections &= uint8_t(~T::sdLeft);
    if (tree.ClientWidth() - tree.FOffsetX >= RangeX()) FScrollDirections &= uint8_t(~T::sdRight);
}

void TVTScroller::TimerScroll() {
    TBaseVirtualTree& tree = FTree;
    TPoint screen;
    GetCursorPos(&screen);
    const TPoint cursor = tree.ScreenToClient(screen);
    const TPoint d = TimerScrollDelta(cursor);
    tree.DoSetOffsetXY(TPoint(tree.FOffsetX + d.X, tree.FOffsetY + d.Y),
                       T::DefaultScrollUpdateFlags);
    if (tree.FStates.Contains(S::tsVCLDragging) ||
        (tree.FDragManager && tree.FDragManager->IsDropTarget()))
        tree.RefreshDropTargetAt(cursor);
    DropFinishedDirections();
    if (tree.FStates.Contains(S::tsDrawSelecting))
        tree.DrawSelectionTo(cursor, GetShiftState().Contains(ssCtrl));
    if (tree.HandleAllocated()) tree.Update();
    if (FScrollDirections == 0 && !tree.FStates.Contains(S::tsWheelPanning)) {
        tree.DoStateChange({}, {S::tsScrolling, S::tsScrollPending});
        tree.StopTimer(T::ScrollTimer);
        FScrollTimerRunning = false;
    }
}

// ---- Wheel panning

void TVTScroller::StartWheelPanning(TPoint position) {
    TBaseVirtualTree& tree = FTree;
    FPanningOrigin = position;
    FScrollDirections = 0;
    if (tree.HandleAllocated()) ShowPanningWindow(position);
    tree.DoStateChange({S::tsWheelPanning});
    tree.SetMouseCapture(true);
    FCursorBeforePanning = GetCursor();
    ShowPanningCursor(position);
    if (tree.HandleAllocated()) {
        SetTimer(tree.Handle(), T::ScrollTimer, 20);
        FScrollTimerRunning = true;
    }
}

void TVTScroller::StopWheelPanning() {
    TBaseVirtualTree& tree = FTree;
    if (!tree.FStates.Contains(S::tsWheelPanning)) return;
    tree.DoStateChange({}, {S::tsWheelPanning, S::tsScrolling});
    tree.StopTimer(T::ScrollTimer);
    FScrollTimerRunning = false;
    FScrollDirections = 0;
    if (FPanningWindow && IsWindow(FPanningWindow)) DestroyWindow(FPanningWindow);
    FPanningWindow = nullptr;
    tree.SetMouseCapture(false);
    if (FCursorBeforePanning) epc::SetCursor(FCursorBeforePanning);
    FCursorBeforePanning = nullptr;
}

void TVTScroller::PanTo(TPoint p) {
    FScrollDirections = DetermineScrollDirections(p);
    ShowPanningCursor(p);
}

std::shared_ptr<TBitmap> TVTScroller::LoadPanningCursorRegion(const char* name) {
    // The picture's opaque pixels over the tree's colour: the window shows the outline only,
    // as far as a rectangular window can.
    TBitmap* source = TreeCursorImage(name);
    auto picture = std::make_shared<TBitmap>(PanningWindowSize, PanningWindowSize, pf32bit);
    picture->Canvas()->Brush()->SetColor(FTree.Color());
    picture->Canvas()->FillRect(TRect(0, 0, PanningWindowSize, PanningWindowSize));
    bool opaque = false;
    if (source && source->Width() >= PanningWindowSize && source->Height() >= PanningWindowSize) {
        for (int y = 0; y < PanningWindowSize; ++y) {
            const auto* from = reinterpret_cast<const uint32_t*>(source->ScanLine(y));
            auto* to = reinterpret_cast<uint32_t*>(picture->ScanLine(y));
            for (int x = 0; x < PanningWindowSize; ++x)
                if (from[x] >> 24) {
                    to[x] = from[x];
                    opaque = true;
                }
        }
    }
    if (!opaque) ShowError("Invalid wheel panning image.", 0);
    return picture;
}

void TVTScroller::ShowPanningWindow(TPoint position) {
    TBaseVirtualTree& tree = FTree;
    const bool horizontal = RangeX() > tree.ClientWidth();
    const bool vertical = int(tree.RootTotalHeight()) > tree.ClientHeight();
    std::shared_ptr<TBitmap> picture = LoadPanningCursorRegion(horizontal && vertical ? "VT_MOVEALL"
                                                               : horizontal           ? "VT_MOVEEW"
                                                                            : "VT_MOVENS");
    [[maybe_unused]] static const bool registered = [] {
        // The mouse goes to the tree below, which holds the capture while panning anyway.
        RegisterWindowClass(PanningWindowClass, [](HWND h, uint32_t msg, WPARAM w, LPARAM l) {
            return msg == WM_NCHITTEST ? LRESULT(HTTRANSPARENT) : DefWindowProc(h, msg, w, l);
        });
        return true;
    }();
    TWindowCreate params;
    params.ClassName = PanningWindowClass;
    params.ExStyle = WS_EX_TOOLWINDOW;
    params.Style = WS_CHILD | WS_VISIBLE;
    params.X = position.X - PanningWindowSize / 2;
    params.Y = position.Y - PanningWindowSize / 2;
    params.Width = params.Height = PanningWindowSize;
    params.Parent = tree.Handle();
    // The window keeps its picture for as long as it lives.
    params.WndProc = [picture](HWND h, uint32_t msg, WPARAM w, LPARAM l) -> LRESULT {
        if (msg == WM_PAINT) {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(h, &ps);
            BitBlt(dc, 0, 0, PanningWindowSize, PanningWindowSize, picture->Canvas()->Handle(), 0,
                   0, SRCCOPY);
            EndPaint(h, &ps);
            return 0;
        }
        if (msg == WM_ERASEBKGND) return 1;
        return msg == WM_NCHITTEST ? LRESULT(HTTRANSPARENT) : DefWindowProc(h, msg, w, l);
    };
    FPanningWindow = CreateWindow(params);
}

void TVTScroller::ShowPanningCursor(TPoint p) {
    TBaseVirtualTree& tree = FTree;
    const bool horizontal = RangeX() > tree.ClientWidth();
    const bool vertical = int(tree.RootTotalHeight()) > tree.ClientHeight();
    // The pictures come from the program's resources; without them the cursor stays.
    if (HCURSOR cursor =
            LoadCursorA(nullptr, PanningCursorName(FPanningOrigin, p, horizontal, vertical)))
        epc::SetCursor(cursor);
}

} // namespace epc
