// The timer component over a utility window's WM_TIMER.

#include "platform/controls/Timer.h"

#include "platform/core/Exceptions.h"

namespace epc {

TTimer::TTimer(TComponent* owner) : TComponent(owner) { UpdateTimer(); }

TTimer::~TTimer() {
    FEnabled = false;
    if (IsWindow(FWindowHandle)) DeallocateHWnd(FWindowHandle);
}

void TTimer::SetEnabled(bool v) {
    if (FEnabled == v) return;
    FEnabled = v;
    UpdateTimer();
}

void TTimer::SetInterval(uint32_t v) {
    if (FInterval == v) return;
    FInterval = v;
    UpdateTimer();
}

void TTimer::UpdateTimer() {
    if (IsWindow(FWindowHandle)) KillTimer(FWindowHandle, 1);
    if (!FEnabled || FInterval == 0) return;
    if (!IsWindow(FWindowHandle))
        FWindowHandle = AllocateHWnd([this](TMessage& m) {
            if (m.Msg == WM_TIMER) Timer();
            else m.Result = 0;
        });
    if (!SetTimer(FWindowHandle, 1, FInterval)) throw EOutOfResources("Not enough timers available");
}

void TTimer::Timer() {
    if (FEnabled && OnTimer) OnTimer(this);
}

}  // namespace epc
