#pragma once
// Owns and binds the windows module's state while it lives: windows, the queue and the clock,
// timers, hooks, input state, the clipboard, data transfer, help, the input method, the theme
// binding and accessibility. Going, it destroys the windows that are left and frees what
// they and the clipboard hold. Tests of the windows module make one per case; programs get
// one through their platform context.

#include "platform/core/BoundState.h"
#include "platform/core/Geometry.h"

namespace epc {

struct TWindowsState;

class TWindowsScope {
public:
    TWindowsScope();
    ~TWindowsScope();

    // The desktop: its size (1024 x 768 at first) and work area (all but a 30-pixel task bar).
    void SetScreenSize(int width, int height);
    void SetWorkArea(const TRect& area);
    // Whether the HTML help engine is installed (it is at first).
    void SetHtmlHelpAvailable(bool available);
    // Whether the drag-and-drop helper is installed (it is not at first).
    void SetDragDropHelperAvailable(bool available);
    // Memory that runs out: the next n global allocations succeed and the one after fails
    // (-1, as at first: none fails).
    void SetGlobalAllocFailureAfter(int n);

private:
    TStateScope<TWindowsState> FScope;
};

} // namespace epc
