#pragma once
// The hint window: a borderless pop-up in the info colours that measures and shows a hint.

#include <functional>
#include <string>

#include "platform/controls/Controls.h"

namespace epc {

class THintWindow : public TCustomControl {
public:
    explicit THintWindow(TComponent* owner);
    std::string ClassName() const override { return "THintWindow"; }

    // The rectangle (at 0,0) the hint needs: its text wrapped to MaxWidth, plus margins.
    virtual TRect CalcHintRect(int maxWidth, const std::string& hint, void* data);
    // Shows the hint over Rect (screen coordinates) without taking the focus.
    virtual void ActivateHint(TRect rect, const std::string& hint);
    virtual void ActivateHintData(TRect rect, const std::string& hint, void* data);
    // Hides the window and lets its window go.
    void ReleaseHandle();
    bool IsHintShowing() const;

protected:
    void CreateParams(TCreateParams& params) override;
    void Paint() override;
};

// Makes the hint window a hint asks for (THintInfo::HintWindowClass); null means THintWindow.
using THintWindowClass = std::function<THintWindow*(TComponent* owner)>;

}  // namespace epc
