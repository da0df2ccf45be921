#include "components/controls/QDLSpeedButton.h"

#include "platform/windows/ThemeBinding.h"
#include "platform/controls/ControlStreaming.h"
#include "platform/streaming/PropertyRegistry.h"

namespace epc {

TQDLSpeedButton::TQDLSpeedButton(TComponent* owner) : TSpeedButton(owner) {
    InitThemeLibrary();
}

TQDLSpeedButton::~TQDLSpeedButton() {
    FreeThemeLibrary();
}

void TQDLSpeedButton::SetSpeedButtonType(TQDLSpeedButtonType value) {
    if (FSpeedButtonType == value) return;
    FSpeedButtonType = value;
    Invalidate();
}

int TQDLSpeedButton::ThemedArrowState() const {
    // Disabled wins over pressed, pressed over hot: the order a scroll bar's arrows follow.
    int offset;
    if (!Enabled())
        offset = 3;
    else if (FState == bsDown || Down())
        offset = 2;
    else if (MouseInControl())
        offset = 1;
    else
        offset = 0;
    return (FSpeedButtonType == qstDown ? ABS_DOWNNORMAL : ABS_UPNORMAL) + offset;
}

void TQDLSpeedButton::Dispatch(TMessage& message) {
    bool wasHot = MouseInControl();
    TSpeedButton::Dispatch(message);
    // The themed arrow has a hot look even when the button is not flat.
    if (wasHot != MouseInControl() && UseThemes()) Invalidate();
}

void TQDLSpeedButton::Paint() {
    TThemeLibrary* lib = ThemeLibrary();
    if (!UseThemes() || !lib || !lib->OpenThemeData || !lib->DrawThemeBackground ||
        FSpeedButtonType > qstDown) {
        TSpeedButton::Paint();
        return;
    }
    HWND window = Parent() ? Parent()->Handle() : nullptr;
    HTHEME theme = lib->OpenThemeData(window, u"ScrollBar");
    if (!theme) {
        TSpeedButton::Paint();
        return;
    }
    RECT r = ClientRect();
    lib->DrawThemeBackground(theme, Canvas()->Handle(), SBP_ARROWBTN, ThemedArrowState(), &r,
                             nullptr);
    if (lib->CloseThemeData) lib->CloseThemeData(theme);
}

namespace {

[[maybe_unused]] const bool QDLSpeedButtonRegistered = [] {
    using B = TQDLSpeedButton;
    PublishControlProperties("TQDLSpeedButton", "TSpeedButton", SpeedButtonControlProperties());
    TPublished<B>("TQDLSpeedButton", "TSpeedButton")
        .Enum("SpeedButtonType", &B::SpeedButtonType, &B::SetSpeedButtonType, {"qstUp", "qstDown"},
              qstUp);
    RegisterClass<B>("TQDLSpeedButton");
    return true;
}();

} // namespace

} // namespace epc
