#pragma once
// A speed button that, under visual themes, looks like a scroll bar's up or down arrow button
// (the create-a-tree view's move-up and move-down buttons). Without themes it is a plain speed
// button with its glyph and frame.

#include <cstdint>
#include <string>

#include "platform/controls/Buttons.h"

namespace epc {

enum TQDLSpeedButtonType : uint8_t { qstUp = 0, qstDown = 1 };

class TQDLSpeedButton : public TSpeedButton {
public:
    explicit TQDLSpeedButton(TComponent* owner);
    ~TQDLSpeedButton() override;
    std::string ClassName() const override { return "TQDLSpeedButton"; }

    TQDLSpeedButtonType SpeedButtonType() const { return FSpeedButtonType; }
    void SetSpeedButtonType(TQDLSpeedButtonType value);

    // The themed arrow state for the button's look now (ABS_* of ThemeBinding.h).
    int ThemedArrowState() const;

    void Dispatch(TMessage& message) override;

protected:
    void Paint() override;

private:
    TQDLSpeedButtonType FSpeedButtonType = qstUp;
};

} // namespace epc
