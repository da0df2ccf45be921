#include "components/controls/FlatPanels.h"

#include <gtest/gtest.h>

#include "tests/components/controls/ControlsTestSupport.h"

#include "platform/controls/Forms.h"
#include "platform/testing/UserActions.h"
#include "platform/windows/ThemeBinding.h"

namespace epc {
namespace {

class FlatPanelsTest : public epc::test::FormFixture {
protected:
    void SetUp() override {
        FormFixture::SetUp();
        Form->SetColor(TColor(RGB(10, 20, 30)));
    }
};

TEST_F(FlatPanelsTest, BottomWhiteLineTakesOnePixelOffTheClientArea) {
    auto* panel = new TFlatPanel(Form);
    panel->SetParent(Form);
    panel->SetBounds(10, 10, 120, 40);
    panel->SetShowBottomWhiteLine(true);
    testing::ShowForm(Form);
    RECT client, window;
    GetClientRect(panel->Handle(), &client);
    GetWindowRect(panel->Handle(), &window);
    EXPECT_EQ(client.Height(), window.Height() - 1);
    EXPECT_EQ(client.Width(), window.Width());
    TWindowPixels px = GetWindowPixels(panel->Handle());
    EXPECT_EQ(px.Color(60, 39), ColorToRGB(clWindow));
    EXPECT_EQ(px.Color(60, 38), ColorToRGB(clBtnShadow)); // the raised bevel's bottom
    EXPECT_EQ(px.Color(60, 20), ColorToRGB(clBtnFace));
    // Off again: the client area is the whole window.
    panel->SetShowBottomWhiteLine(false);
    GetClientRect(panel->Handle(), &client);
    EXPECT_EQ(client.Height(), 40);
}

TEST_F(FlatPanelsTest, SingleBorderIsFlat) {
    auto* panel = new TFlatPanel(Form);
    panel->SetParent(Form);
    panel->SetBounds(10, 10, 120, 40);
    panel->SetBorderStyle(bsSingle);
    panel->SetShowBottomWhiteLine(true); // ignored with a border
    testing::ShowForm(Form);
    TWindowPixels px = GetWindowPixels(panel->Handle());
    EXPECT_EQ(px.Color(0, 20), ColorToRGB(clBtnFace));
    EXPECT_EQ(px.Color(1, 20), ColorToRGB(clBtnShadow));
    EXPECT_EQ(px.Color(60, 38), ColorToRGB(clBtnShadow));
    panel->SetCtl3D(false);
    panel->RecreateWnd();
    testing::Pump();
    px = GetWindowPixels(panel->Handle());
    EXPECT_EQ(px.Color(0, 20), ColorToRGB(clBtnShadow));
    EXPECT_EQ(px.Color(60, 39), ColorToRGB(clBtnShadow));
}

TEST_F(FlatPanelsTest, PaintingStaysInsideTheBorderMargins) {
    auto* panel = new TFlatPanel(Form);
    panel->SetParent(Form);
    panel->SetBounds(10, 10, 120, 40);
    panel->SetBevelOuter(bvNone);
    panel->SetColor(TColor(RGB(200, 0, 0)));
    panel->SetEraseBackground(false);
    panel->SetLeftBorder(5);
    panel->SetTopBorder(6);
    testing::ShowForm(Form);
    TWindowPixels px = GetWindowPixels(panel->Handle());
    EXPECT_EQ(px.Color(5, 6), RGB(200, 0, 0));
    EXPECT_EQ(px.Color(60, 20), RGB(200, 0, 0));
    EXPECT_NE(px.Color(2, 20), RGB(200, 0, 0));
    EXPECT_NE(px.Color(60, 3), RGB(200, 0, 0));
}

TEST_F(FlatPanelsTest, RaisedBevelUsesHighlightThenShadow) {
    auto* panel = new TFlatPanel(Form);
    panel->SetParent(Form);
    panel->SetBounds(10, 10, 120, 40);
    testing::ShowForm(Form);
    TWindowPixels px = GetWindowPixels(panel->Handle());
    EXPECT_EQ(px.Color(0, 20), ColorToRGB(clBtnHighlight));
    EXPECT_EQ(px.Color(119, 20), ColorToRGB(clBtnShadow));
    EXPECT_EQ(px.Color(60, 39), ColorToRGB(clBtnShadow));
    EXPECT_EQ(px.Color(60, 0), ColorToRGB(clBtnHighlight));
}

TEST_F(FlatPanelsTest, FlatScrollBoxBorders) {
    auto* box = new TFlatScrollBox(Form);
    EXPECT_EQ(box->Width(), 185);
    EXPECT_EQ(box->Height(), 41);
    box->SetParent(Form);
    testing::ShowForm(Form);
    EXPECT_TRUE(GetWindowLong(box->Handle(), GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
    EXPECT_FALSE(GetWindowLong(box->Handle(), GWL_STYLE) & WS_BORDER);
    box->SetCtl3D(false);
    testing::Pump();
    EXPECT_TRUE(GetWindowLong(box->Handle(), GWL_STYLE) & WS_BORDER);
    EXPECT_FALSE(GetWindowLong(box->Handle(), GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
    TWindowPixels px = GetWindowPixels(box->Handle());
    EXPECT_EQ(px.Color(0, 20), ColorToRGB(clBtnShadow));
    EXPECT_EQ(px.Color(100, 40), ColorToRGB(clBtnShadow));
    box->SetBorderStyle(bsNone);
    EXPECT_FALSE(GetWindowLong(box->Handle(), GWL_STYLE) & WS_BORDER);
    RECT client;
    GetClientRect(box->Handle(), &client);
    EXPECT_EQ(client.Width(), 185);
}

TEST_F(FlatPanelsTest, FlatScrollBoxScrollsItsChildren) {
    auto* box = new TFlatScrollBox(Form);
    box->SetParent(Form);
    box->SetBorderStyle(bsNone);
    box->SetBounds(0, 0, 100, 100);
    auto* inner = new TFlatPanel(box);
    inner->SetParent(box);
    inner->SetBounds(0, 0, 80, 300);
    testing::ShowForm(Form);
    SCROLLINFO si;
    si.fMask = SIF_ALL;
    ASSERT_TRUE(GetScrollInfo(box->Handle(), SB_VERT, &si));
    EXPECT_EQ(si.nMax, 299);
    box->Perform(WM_VSCROLL, SB_PAGEDOWN, 0);
    EXPECT_EQ(inner->Top(), -100);
    EXPECT_EQ(GetScrollPos(box->Handle(), SB_VERT), 100);
}

TEST_F(FlatPanelsTest, XPPanelUnderThemes) {
    TRecordingThemeLibrary theme;
    InstallRecordingThemeLibrary(&theme);
    auto* panel = new TXPPanel(Form);
    panel->SetParent(Form);
    panel->SetBounds(10, 10, 120, 40);
    panel->SetBorderStyle(bsSingle);
    testing::ShowForm(Form);
    bool parentDrawn = false;
    for (const TThemeCall& c : theme.CallsOf("DrawThemeParentBackground"))
        if (c.Window == panel->Handle()) parentDrawn = true;
    EXPECT_TRUE(parentDrawn);
    auto borders = theme.CallsOf("DrawThemeBackground");
    ASSERT_FALSE(borders.empty());
    EXPECT_EQ(borders.back().ClassList, u"Edit");
    EXPECT_EQ(borders.back().Rect, TRect(0, 0, 120, 40));
    EXPECT_EQ(theme.OpenThemes, 0);
    // Themes off: the classic panel.
    theme.Active = false;
    theme.Calls.clear();
    panel->Invalidate();
    testing::Pump();
    EXPECT_TRUE(theme.Calls.empty());
}

} // namespace
} // namespace epc
