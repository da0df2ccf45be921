#pragma once
// The tree's header as the window shows it: a strip of the non-client area above the client
// area. It sizes the frame, hit-tests and paints the strip, and hands the header the mouse of
// the frame (and every move and the release while the header tracks the mouse). The tree holds
// one and lets it see each window message first.

#include "components/tree/TreePart.h"
#include "platform/core/Geometry.h"
#include "platform/windows/Window.h"

namespace epc {

class TBaseVirtualTree;

class TVTHeaderFrame : TVTTreePart {
public:
    explicit TVTHeaderFrame(TBaseVirtualTree& tree) : TVTTreePart(tree) {}

    // True when the message was the header's.
    bool Message(TMessage& message);
    // The header's picture at (Left, Top) of a device context.
    void PaintTo(HDC dc, int left, int top);
    // True when the mouse (screen coordinates) lies over the shown header.
    bool MouseOverHeader(TPoint screen) const;

private:
    // Header coordinates of a screen point (the header sits above the client area).
    TPoint HeaderPoint(TPoint screen) const;
    bool FrameMessage(TMessage& message);
    void PaintFrame();
    bool MouseMessage(TMessage& message);
    bool TrackedMouseMessage(TMessage& message);
    bool TimerMessage(TMessage& message);
    bool CursorMessage(TMessage& message);
};

} // namespace epc
