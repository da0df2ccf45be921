#include "components/controls/QDLSpeedButton.h"

#include <gtest/gtest.h>

#include "tests/components/controls/ControlsTestSupport.h"

#include "platform/controls/Forms.h"
#include "platform/testing/UserActions.h"
#include "platform/windows/ThemeBinding.h"

using namespace epc;
namespace ui = epc::testing;

namespace {

class QDLSpeedButtonTest : public epc::test::FormFixture {
protected:
    TQDLSpeedButton* MakeButton(TQDLSpeedButtonType type) {
        auto* button = new TQDLSpeedButton(Form);
        button->SetParent(Form);
        button->SetBounds(10, 10, 17, 17);
        button->SetSpeedButtonType(type);
        return button;
    }
    // The state of the last arrow element drawn, 0 when none was.
    int LastArrowState() const {
        auto calls = recorder.CallsOf("DrawThemeBackground");
        if (calls.empty()) return 0;
        EXPECT_EQ(calls.back().Part, SBP_ARROWBTN);
        return calls.back().State;
    }
    TRecordingThemeLibrary recorder;
};

} // namespace

TEST_F(QDLSpeedButtonTest, ThemedDownButtonShowsTheDownArrowHotWhileTheMouseIsOver) {
    InstallRecordingThemeLibrary(&recorder);
    TQDLSpeedButton* button = MakeButton(qstDown);
    ui::ShowForm(Form);
    EXPECT_EQ(LastArrowState(), ABS_DOWNNORMAL);
    EXPECT_EQ(recorder.CallsOf("DrawThemeBackground").back().Rect, TRect(0, 0, 17, 17));
    ui::MoveMouse(button, 5, 5);
    ui::Pump();
    EXPECT_EQ(LastArrowState(), ABS_DOWNHOT);
    ui::MoveMouse(Form, 150, 100);
    ui::Pump();
    EXPECT_EQ(LastArrowState(), ABS_DOWNNORMAL);
    EXPECT_EQ(recorder.OpenThemes, 0); // every theme opened for a paint is closed again
}

TEST_F(QDLSpeedButtonTest, ThemedStatesFollowPressedAndDisabled) {
    InstallRecordingThemeLibrary(&recorder);
    TQDLSpeedButton* button = MakeButton(qstUp);
    ui::ShowForm(Form);
    EXPECT_EQ(LastArrowState(), ABS_UPNORMAL);
    ui::MouseDown(button, 5, 5);
    ui::Pump();
    EXPECT_EQ(LastArrowState(), ABS_UPPRESSED);
    ui::MouseUp(button, 5, 5);
    button->SetEnabled(false);
    ui::Pump();
    EXPECT_EQ(LastArrowState(), ABS_UPDISABLED);
    // Changing the type repaints with the other arrow.
    button->SetSpeedButtonType(qstDown);
    ui::Pump();
    EXPECT_EQ(LastArrowState(), ABS_DOWNDISABLED);
}

TEST_F(QDLSpeedButtonTest, WithoutThemesItPaintsAsAPlainSpeedButton) {
    TQDLSpeedButton* button = MakeButton(qstDown);
    auto* plain = new TSpeedButton(Form);
    plain->SetParent(Form);
    plain->SetBounds(40, 10, 17, 17);
    ui::ShowForm(Form);
    for (int y = 0; y < 17; ++y)
        for (int x = 0; x < 17; ++x)
            ASSERT_EQ(ui::PixelAt(button, x, y), ui::PixelAt(plain, x, y)) << x << "," << y;
    // Themes present but switched off: still the plain look, and nothing themed is drawn.
    recorder.Active = false;
    InstallRecordingThemeLibrary(&recorder);
    TQDLSpeedButton* other = MakeButton(qstUp);
    other->SetLeft(70);
    ui::Pump();
    EXPECT_EQ(LastArrowState(), 0);
    EXPECT_EQ(ui::PixelAt(other, 0, 0), ui::PixelAt(plain, 0, 0));
}
