#pragma once
// The framework's timer component: OnTimer every Interval milliseconds while Enabled.

#include "platform/core/Classes.h"
#include "platform/windows/Window.h"

namespace epc {

class TTimer : public TComponent {
public:
    explicit TTimer(TComponent* owner);
    ~TTimer() override;
    std::string ClassName() const override { return "TTimer"; }

    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool v);
    uint32_t Interval() const { return FInterval; }
    // Setting the interval restarts the count.
    void SetInterval(uint32_t v);
    TNotifyEvent OnTimer;

protected:
    virtual void Timer();

private:
    void UpdateTimer();
    HWND FWindowHandle = nullptr;
    bool FEnabled = true;
    uint32_t FInterval = 1000;
};

}  // namespace epc
