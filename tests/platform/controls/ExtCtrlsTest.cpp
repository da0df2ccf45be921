// Panels, Frame3D and the scroll box.

#include "platform/controls/ExtCtrls.h"

#include "ControlTestSupport.h"
#include "platform/graphics/Bitmap.h"

namespace epc {

TEST_F(ControlTest, Frame3DDrawsNestedFramesAndShrinksTheRectangle) {
    TBitmap bmp;
    bmp.SetSize(20, 20);
    bmp.Canvas()->Brush()->SetColor(clWhite);
    bmp.Canvas()->FillRect(TRect(0, 0, 20, 20));
    TRect r(2, 2, 12, 12);
    Frame3D(bmp.Canvas(), r, clRed, clBlue, 2);
    EXPECT_EQ(r, TRect(4, 4, 10, 10));
    EXPECT_EQ(bmp.Canvas()->Pixels(2, 5), clRed);
    EXPECT_EQ(bmp.Canvas()->Pixels(5, 3), clRed);
    EXPECT_EQ(bmp.Canvas()->Pixels(11, 5), clBlue);
    EXPECT_EQ(bmp.Canvas()->Pixels(5, 10), clBlue);
    EXPECT_EQ(bmp.Canvas()->Pixels(2, 11), clBlue); // the bottom line reaches the left edge
    EXPECT_EQ(bmp.Canvas()->Pixels(5, 5), clWhite);
}

TEST_F(ControlTest, PanelClientAreaLiesInsideBevelsAndBorder) {
    TForm* form = MakeForm();
    auto* panel = new TPanel(form);
    panel->SetParent(form);
    panel->SetBounds(0, 0, 100, 50);
    panel->SetBevelInner(bvLowered);
    panel->SetBorderWidth(3);
    auto* child = new TPanel(panel);
    child->SetParent(panel);
    child->SetAlign(alClient);
    testing::ShowForm(form);
    EXPECT_EQ(child->BoundsRect(), TRect(5, 5, 95, 45));
    // Outer raised: highlight on the top left, shadow on the bottom right.
    EXPECT_EQ(testing::PixelAt(panel, 0, 20), ColorToRGB(clBtnHighlight));
    EXPECT_EQ(testing::PixelAt(panel, 99, 20), ColorToRGB(clBtnShadow));
    // Inner lowered, inside the border.
    EXPECT_EQ(testing::PixelAt(panel, 4, 20), ColorToRGB(clBtnShadow));
}

TEST_F(ControlTest, PanelSingleBorderFollowsCtl3D) {
    TForm* form = MakeForm();
    auto* panel = new TPanel(form);
    panel->SetParent(form);
    panel->SetBorderStyle(bsSingle);
    testing::ShowForm(form);
    EXPECT_TRUE(GetWindowLong(panel->Handle(), GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
    panel->SetCtl3D(false);
    panel->RecreateWnd();
    EXPECT_TRUE(GetWindowLong(panel->Handle(), GWL_STYLE) & WS_BORDER);
}

TEST_F(ControlTest, ScrollBoxRangeFollowsItsChildren) {
    TForm* form = MakeForm();
    auto* box = new TScrollBox(form);
    box->SetParent(form);
    box->SetBorderStyle(bsNone);
    box->SetBounds(0, 0, 100, 80);
    auto* child = new TPanel(box);
    child->SetParent(box);
    child->SetBounds(10, 10, 250, 40);
    testing::ShowForm(form);
    EXPECT_EQ(box->ScrollRange(), TSize(260, 50));
    SCROLLINFO si;
    si.fMask = SIF_ALL;
    ASSERT_TRUE(GetScrollInfo(box->Handle(), SB_HORZ, &si));
    EXPECT_EQ(si.nMax, 259);
    box->Perform(WM_HSCROLL, SB_THUMBPOSITION | (60 << 16), 0);
    EXPECT_EQ(box->ScrollPos().X, 60);
    EXPECT_EQ(child->Left(), -50);
    box->Perform(WM_HSCROLL, SB_TOP, 0);
    EXPECT_EQ(child->Left(), 10);
}

} // namespace epc
