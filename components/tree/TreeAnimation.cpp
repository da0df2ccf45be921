// Animations of the tree: a node's children sliding in and out when it is expanded or
// collapsed, and the hint window fading or sliding in. Both run their steps on the
// millisecond clock, so that tests can follow them by the clock.

#include <algorithm>

#include "components/tree/BaseVirtualTree.h"
#include "platform/controls/Forms.h"
#include "platform/windows/Window.h"

namespace epc {

using namespace tree_options;

void RunAnimation(Cardinal steps, Cardinal duration, const TAnimationStep& step) {
    if (!step) return;
    const DWORD start = GetTickCount();
    Cardinal done = 0;
    while (done < steps && duration > 0) {
        if (Application && Application->Terminated()) break;
        if (!step(steps - done)) break;
        ++done;
        // Each step has an equal share of the duration; a step ends when its share has passed.
        const uint64_t due = uint64_t(duration) * done / steps;
        const uint64_t now = GetTickCount() - start;
        if (now < due) {
            Sleep(DWORD(due - now));
        } else {
            // An overrunning step takes the time of the steps it ran into.
            done = std::max(done, Cardinal(std::min<uint64_t>(steps, now * steps / duration)));
        }
    }
    step(0);
}

void TBaseVirtualTree::AnimateToggle(PVirtualNode node, int distance, bool expanding) {
    const TRect row = DisplayRect(node, NoColumn, false);
    const int top = std::max(0, row.Bottom);
    const int clientWidth = ClientWidth(), clientHeight = ClientHeight();
    if (row.IsEmpty() || top >= clientHeight) return;
    distance = std::min(distance, clientHeight - top);
    if (distance <= 0) return;
    const Cardinal steps = Cardinal(std::min(distance, AnimationSteps));
    HDC dc = GetDC(Handle());
    if (!dc) return;
    HBRUSH brush = CreateSolidBrush(ColorToRGB(Color()));
    int moved = 0;
    // Expanding pushes the rows below the node down, collapsing pulls them up; the strip each
    // step uncovers shows the background until the repaint draws the rows.
    RunAnimation(steps, FAnimationDuration, [&](Cardinal left) {
        if (left == 0) return true;
        const int next = distance - int(Cardinal(distance) * (left - 1) / steps);
        const int delta = next - moved;
        moved = next;
        const RECT area{0, top, clientWidth, clientHeight};
        ScrollWindowEx(Handle(), 0, expanding ? delta : -delta, &area, &area, nullptr, nullptr, 0);
        const RECT strip = expanding ? RECT{0, top, clientWidth, top + delta}
                                     : RECT{0, clientHeight - delta, clientWidth, clientHeight};
        FillRect(dc, &strip, brush);
        return true;
    });
    DeleteObject(brush);
    ReleaseDC(Handle(), dc);
}

} // namespace epc
