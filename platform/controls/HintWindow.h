#pragma once
// The hint window: a borderless pop-up in the info colours that measures and shows a hint.

#include <functional>
#include <string>

#include "platform/controls/Controls.h"

namespace epc {

class THintWindow : public TCustomControl {
public:
    explicit THintWindow(TComponent* AOwner);
    std::string ClassName() const override { return "THintWindow"; }

    // The rectangle (at 0,0) the hint needs: its text wrapped to MaxWidth, plus margins.
    virtual TRect CalcHintRect(int MaxWidth, const std::string& AHint, void* AData);
    // Shows the hint over Rect (screen coordinates) without taking the focus.
    virtual void ActivateHint(TRect Rect, const std::string& AHint);
    virtual void ActivateHintData(TRect Rect, const std::string& AHint, void* AData);
    // Hides the window and lets its window go.
    void ReleaseHandle();
    bool IsHintShowing() const;

protected:
    void CreateParams(TCreateParams& Params) override;
    void Paint() override;
};

// Makes the hint window a hint asks for (THintInfo::HintWindowClass); null means THintWindow.
using THintWindowClass = std::function<THintWindow*(TComponent* owner)>;

}  // namespace epc
