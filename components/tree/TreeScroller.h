#pragma once
// The tree's scrolling: scroll-bar messages and the wheel, the scroll bars themselves, the
// horizontal range, auto scrolling near the edges while the mouse selects or drags, and wheel
// panning with its indicator window. The tree holds one; its scrolling methods forward here.

#include <algorithm>
#include <cstdint>
#include <memory>

#include "components/tree/TreePart.h"
#include "platform/core/Geometry.h"
#include "platform/windows/Window.h"

namespace epc {

class TBaseVirtualTree;
class TBitmap;

class TVTScroller : TVTTreePart {
public:
    explicit TVTScroller(TBaseVirtualTree& tree) : TVTTreePart(tree) {}

    // WM_HSCROLL and WM_VSCROLL.
    void ScrollMessage(TMessage& message, bool vertical);
    // CM_MOUSEWHEEL: rows when there is something to scroll vertically, else sideways.
    void MouseWheel(TMessage& message);
    void UpdateScrollBar(bool vertical, bool doRepaint);
    // Both bars, then the offsets follow them.
    void UpdateScrollBars(bool doRepaint);

    // The widest node extent measured (painting widens it), at least the columns' width.
    int RangeX() const;
    void WidenRangeX(int right) { FRangeX = std::max(FRangeX, right); }
    // The next scroll-bar update measures the horizontal range anew.
    void InvalidateRangeX() { FRangeXStale = true; }
    void ForgetRangeX() {
        FRangeX = 0;
        FRangeXStale = true;
    }

    uint8_t ScrollDirections() const { return FScrollDirections; }
    // Starts the auto-scroll timer when the client point lies in an edge zone that can scroll.
    void AutoScrollFrom(TPoint p);
    // The scroll timer: the delay ended, or one more step.
    void ScrollTimerElapsed();
    // One auto-scroll step (or wheel-panning step).
    void TimerScroll();
    bool ScrollTimerRunning() const { return FScrollTimerRunning; }
    void StopScrollTimer();
    // The scroll timer stopped and scrolling left behind.
    void StopAutoScroll();

    void StartWheelPanning(TPoint position);
    void StopWheelPanning();
    // The mouse moved while panning: the directions and the cursor follow it.
    void PanTo(TPoint p);
    // Shows the direction cursor for the mouse at P (client coordinates) while panning.
    void ShowPanningCursor(TPoint p);

private:
    uint8_t DetermineScrollDirections(TPoint p) const;
    // How far one step scrolls towards the directions set, for the mouse at Cursor.
    TPoint TimerScrollDelta(TPoint cursor) const;
    void DropFinishedDirections();
    void MeasureRangeX();
    TSize SettledClientSize();
    void SetBar(bool vertical, bool doRepaint);
    void FollowBars();
    void ShowPanningWindow(TPoint position);
    std::shared_ptr<TBitmap> LoadPanningCursorRegion(const char* name);

    int FRangeX = 0;
    bool FRangeXStale = false;
    // The tree's structure version the range was measured at.
    uint64_t FRangeXVersion = 0;
    uint8_t FScrollDirections = 0;
    bool FScrollTimerRunning = false;
    TPoint FPanningOrigin;
    HCURSOR FCursorBeforePanning = nullptr;
    // The indicator window of wheel panning.
    HWND FPanningWindow = nullptr;
};

} // namespace epc
