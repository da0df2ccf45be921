#include "components/controls/RadioPanel.h"

#include <gtest/gtest.h>

#include "tests/components/controls/ControlsTestSupport.h"

#include "platform/controls/Forms.h"
#include "platform/testing/UserActions.h"
#include "platform/windows/ThemeBinding.h"

namespace epc {
namespace {

class RadioPanelTest : public epc::test::FormFixture {
protected:
    void SetUp() override {
        FormFixture::SetUp();
        Panel = new TRadioPanel(Form);
        Panel->SetParent(Form);
        Panel->Font()->SetName("Fixed Metrics Test");
        Panel->Font()->SetHeight(-10); // 5 pixels per character
        Panel->SetBounds(0, 0, 200, 100);
    }
    TRadioPanel* Panel = nullptr;
};

TEST_F(RadioPanelTest, ButtonsTakeTheirCaptionWidthAndTheButtonHeight) {
    EXPECT_EQ(Panel->BevelInner(), bvNone);
    EXPECT_EQ(Panel->BevelOuter(), bvNone);
    TRadioButton* b = Panel->AddButton("Yes");
    EXPECT_EQ(b->Width(), 15 + 26);
    EXPECT_EQ(b->Height(), 22);
    EXPECT_EQ(b->Tag(), 1);
    EXPECT_EQ(b->Parent(), Panel);
    EXPECT_EQ(b->Owner(), Panel);
    EXPECT_TRUE(b->Visible());
    EXPECT_EQ(b->Caption(), "Yes");
}

TEST_F(RadioPanelTest, ButtonsWrapIntoRowsAndThePanelFollowsTheLastRow) {
    Panel->SetTopOffset(4);
    Panel->SetBottomMargin(3);
    // 80 + 26 = 106 wide each: two do not fit in 200.
    std::string caption(16, 'a');
    TRadioButton* a = Panel->AddButton(caption);
    EXPECT_EQ(Panel->Height(), 4 + 22 + 3);
    TRadioButton* b = Panel->AddButton(caption);
    TRadioButton* c = Panel->AddButton("c");
    EXPECT_EQ(a->BoundsRect(), TRect(0, 4, 106, 26));
    EXPECT_EQ(b->BoundsRect(), TRect(0, 26, 106, 48));
    EXPECT_EQ(c->BoundsRect(), TRect(106, 26, 106 + 31, 48));
    EXPECT_EQ(Panel->Height(), 48 + 3);
    // Wider client: the rows are laid out again.
    Panel->SetWidth(400);
    EXPECT_EQ(b->BoundsRect(), TRect(106, 4, 212, 26));
    EXPECT_EQ(c->Left(), 212);
    EXPECT_EQ(Panel->Height(), 26 + 3);
}

TEST_F(RadioPanelTest, AButtonWiderThanThePanelStaysInTheFirstRow) {
    TRadioButton* wide = Panel->AddButton(std::string(60, 'w'));
    EXPECT_EQ(wide->Top(), 0);
    EXPECT_EQ(wide->Left(), 0);
    TRadioButton* next = Panel->AddButton("n");
    EXPECT_EQ(next->Top(), 22);
    EXPECT_EQ(Panel->Height(), 44);
}

TEST_F(RadioPanelTest, ClicksReachThePanelEventWithTheButton) {
    TRadioButton* a = Panel->AddButton("One");
    TRadioButton* b = Panel->AddButton("Two");
    testing::ShowForm(Form);
    std::vector<std::pair<TObject*, TRadioButton*>> clicks;
    Panel->OnButtonClick = [&](TObject* sender, TRadioButton* button) {
        clicks.push_back({sender, button});
    };
    testing::Click(b, 5, 10);
    ASSERT_EQ(clicks.size(), 1u);
    EXPECT_EQ(clicks[0].first, Panel);
    EXPECT_EQ(clicks[0].second, b);
    EXPECT_TRUE(b->Checked());
    testing::Click(a, 5, 10);
    EXPECT_TRUE(a->Checked());
    EXPECT_FALSE(b->Checked());
    EXPECT_EQ(clicks.size(), 2u);
}

TEST_F(RadioPanelTest, ThemedPanelDrawsItsParentsBackground) {
    TRecordingThemeLibrary theme;
    InstallRecordingThemeLibrary(&theme);
    auto* themed = new TRadioPanel(Form);
    themed->SetParent(Form);
    themed->SetBounds(0, 150, 200, 40);
    themed->AddButton("x");
    testing::ShowForm(Form);
    bool drawn = false;
    for (const TThemeCall& c : theme.CallsOf("DrawThemeParentBackground"))
        if (c.Window == themed->Handle()) drawn = true;
    EXPECT_TRUE(drawn);
}

} // namespace
} // namespace epc
