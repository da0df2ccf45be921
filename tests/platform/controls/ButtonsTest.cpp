// The speed button: layout of glyph and caption, pressing, groups, the hot look, actions; and
// the menus and actions it works with.

#include "platform/controls/Buttons.h"
#include "ControlTestSupport.h"
#include "platform/controls/Menus.h"

namespace epc {

namespace {

TSize Glyph16() {
    return TSize(16, 16);
}

} // namespace

TEST(ButtonLayout, GlyphAloneIsCentredWhateverTheLayout) {
    TPoint glyph;
    TRect text;
    CalcButtonLayout(nullptr, Glyph16(), TRect(0, 0, 40, 20), TPoint(0, 0), "", blGlyphLeft, -1, 4,
                     glyph, text, 0);
    EXPECT_EQ(glyph, TPoint(12, 2));
    CalcButtonLayout(nullptr, Glyph16(), TRect(0, 0, 40, 20), TPoint(1, 1), "", blGlyphTop, -1, 4,
                     glyph, text, 0);
    EXPECT_EQ(glyph, TPoint(13, 3));
    CalcButtonLayout(nullptr, Glyph16(), TRect(10, 5, 50, 25), TPoint(0, 0), "", blGlyphRight, 3, 4,
                     glyph, text, 0);
    EXPECT_EQ(glyph, TPoint(10 + 40 - 3 - 16, 5 + 2));
    CalcButtonLayout(nullptr, Glyph16(), TRect(0, 0, 40, 40), TPoint(0, 0), "", blGlyphBottom, 2, 4,
                     glyph, text, 0);
    EXPECT_EQ(glyph, TPoint(12, 40 - 2 - 16));
}

TEST(ButtonLayout, CaptionFollowsTheGlyphAtTheSpacing) {
    TBitmap b(120, 40);
    TCanvas* c = b.Canvas();
    int tw = c->TextWidth(std::string("Exam"));
    int th = c->TextHeight(std::string("Exam"));
    TPoint glyph;
    TRect text;
    CalcButtonLayout(c, Glyph16(), TRect(0, 0, 120, 40), TPoint(0, 0), "Exam", blGlyphLeft, -1, 4,
                     glyph, text, 0);
    int margin = (120 - (16 + 4 + tw) + 1) / 2;
    EXPECT_EQ(glyph.X, margin);
    EXPECT_EQ(text.Left, margin + 16 + 4);
    EXPECT_EQ(text.Width(), tw);
    EXPECT_EQ(text.Top, (40 - th + 1) / 2);
    // Right to left: the glyph goes to the right of the caption.
    CalcButtonLayout(c, Glyph16(), TRect(0, 0, 120, 40), TPoint(0, 0), "Exam", blGlyphLeft, -1, 4,
                     glyph, text, DT_RTLREADING);
    EXPECT_EQ(glyph.X, 120 - margin - 16);
    EXPECT_EQ(text.Right, glyph.X - 4);
    // Even spreading: margin and spacing both a third of what is left.
    CalcButtonLayout(c, Glyph16(), TRect(0, 0, 120, 40), TPoint(0, 0), "Exam", blGlyphTop, -1, -1,
                     glyph, text, 0);
    int third = (40 - (16 + th)) / 3;
    EXPECT_EQ(glyph.Y, third);
    EXPECT_EQ(text.Top, third + 16 + third);
}

class SpeedButtonTest : public ControlTest {
protected:
    void SetUp() override {
        ControlTest::SetUp();
        form = MakeForm();
        for (auto*& b : buttons) {
            b = new TSpeedButton(form);
            b->SetParent(form);
        }
        buttons[0]->SetBounds(10, 10, 30, 24);
        buttons[1]->SetBounds(50, 10, 30, 24);
        buttons[2]->SetBounds(90, 10, 30, 24);
        testing::ShowForm(form);
    }
    TForm* form = nullptr;
    TSpeedButton* buttons[3] = {};
};

TEST_F(SpeedButtonTest, PressShowsDownAndReleaseInsideClicks) {
    TSpeedButton* b = buttons[0];
    int clicks = 0;
    b->OnClick = [&](TObject*) { ++clicks; };
    testing::MouseDown(b, 5, 5);
    EXPECT_EQ(b->State(), bsDown);
    testing::MoveMouse(b, 60, 5); // dragged off: up again
    EXPECT_EQ(b->State(), bsUp);
    testing::MoveMouse(b, 6, 6);
    EXPECT_EQ(b->State(), bsDown);
    testing::MouseUp(b, 6, 6);
    EXPECT_EQ(b->State(), bsUp);
    EXPECT_EQ(clicks, 1);
    testing::MouseDown(b, 5, 5);
    testing::MouseUp(b, 80, 5);
    EXPECT_EQ(clicks, 1);
    EXPECT_FALSE(b->Down()); // without a group a button never stays down
    b->SetEnabled(false);
    EXPECT_EQ(b->State(), bsDisabled);
    testing::Click(b, 5, 5);
    EXPECT_EQ(clicks, 1);
    b->SetEnabled(true);
    EXPECT_EQ(b->State(), bsUp);
}

TEST_F(SpeedButtonTest, GroupKeepsOneButtonDown) {
    for (auto* b : buttons)
        b->SetGroupIndex(1);
    testing::Click(buttons[0], 5, 5);
    EXPECT_TRUE(buttons[0]->Down());
    EXPECT_EQ(buttons[0]->State(), bsExclusive);
    testing::Click(buttons[1], 5, 5);
    EXPECT_FALSE(buttons[0]->Down());
    EXPECT_TRUE(buttons[1]->Down());
    testing::Click(buttons[1], 5, 5); // not all up without AllowAllUp
    EXPECT_TRUE(buttons[1]->Down());
    buttons[1]->SetAllowAllUp(true);
    testing::Click(buttons[1], 5, 5);
    EXPECT_FALSE(buttons[1]->Down());
    buttons[2]->SetDown(true);
    buttons[0]->SetDown(true);
    EXPECT_FALSE(buttons[2]->Down());
}

TEST_F(SpeedButtonTest, FlatButtonsLookHotUnderTheMouse) {
    TSpeedButton* b = buttons[0];
    b->SetFlat(true);
    testing::Pump();
    COLORREF face = testing::PixelAt(b, 0, 0);
    testing::MoveMouse(b, 10, 10);
    EXPECT_TRUE(b->MouseInControl());
    EXPECT_NE(testing::PixelAt(b, 0, 0), face); // the raised edge
    testing::MoveMouse(form, 200, 150);
    EXPECT_FALSE(b->MouseInControl());
    EXPECT_EQ(testing::PixelAt(b, 0, 0), face);
}

TEST_F(SpeedButtonTest, GlyphCellsFollowTheState) {
    TBitmap glyph(16, 8, pf24bit);
    glyph.Canvas()->Brush()->SetColor(clFuchsia); // the transparent colour (top-left)
    glyph.Canvas()->FillRect(TRect(0, 0, 16, 8));
    glyph.Canvas()->Brush()->SetColor(clRed);
    glyph.Canvas()->FillRect(TRect(1, 1, 7, 7));
    glyph.Canvas()->Brush()->SetColor(clBlue);
    glyph.Canvas()->FillRect(TRect(9, 1, 15, 7));
    TSpeedButton* b = buttons[0];
    b->SetGlyph(&glyph);
    EXPECT_EQ(b->NumGlyphs(), 2);
    testing::Pump();
    // 30 x 24 with a 2-pixel frame: the 8 x 8 glyph at (11, 8).
    EXPECT_EQ(testing::PixelAt(b, 14, 11), RGB(255, 0, 0));
    EXPECT_NE(testing::PixelAt(b, 11, 8), RGB(255, 0, 255));
    b->SetEnabled(false);
    testing::Pump();
    EXPECT_EQ(testing::PixelAt(b, 14, 11), RGB(0, 0, 255));
}

TEST_F(SpeedButtonTest, ActionsGiveCaptionStateAndClick) {
    auto& list = *new TActionList(form);
    auto& action = *new TAction(form);
    action.SetActionList(&list);
    action.SetCaption("Begin");
    int executed = 0, clicked = 0;
    action.OnExecute = [&](TObject*) { ++executed; };
    TSpeedButton* b = buttons[0];
    b->OnClick = [&](TObject*) { ++clicked; };
    b->SetAction(&action);
    EXPECT_EQ(b->Caption(), "Begin");
    testing::Click(b, 5, 5);
    EXPECT_EQ(executed, 1);
    EXPECT_EQ(clicked, 0);
    action.SetEnabled(false);
    EXPECT_FALSE(b->Enabled());
    action.SetCaption("End");
    EXPECT_EQ(b->Caption(), "End");
    b->SetAction(nullptr);
    action.SetCaption("Again");
    EXPECT_EQ(b->Caption(), "End");
}

TEST(Menus, ItemsFoundByCommandAndPopupsRecorded) {
    TPopupMenu menu(nullptr);
    auto item = std::make_unique<TMenuItem>(nullptr);
    TMenuItem* raw = item.get();
    int clicks = 0;
    raw->OnClick = [&](TObject*) { ++clicks; };
    menu.Items()->Add(std::move(item));
    EXPECT_EQ(FindMenuItemByCommand(raw->Command()), raw);
    menu.Popup(30, 40);
    EXPECT_EQ(OpenPopupMenu(), &menu);
    EXPECT_EQ(menu.PopupPoint(), TPoint(30, 40));
    raw->Click();
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(OpenPopupMenu(), nullptr);
    EXPECT_EQ(ShortCut(VK_F1, {ssShift}), TShortCut(int(scShift) | int(VK_F1)));
}

} // namespace epc
