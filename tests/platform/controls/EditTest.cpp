// The single-line edit: typing, deleting, moving and selecting by keys.

#include "platform/controls/StdCtrls.h"

#include "ControlTestSupport.h"

namespace epc {

namespace {

TEdit* MakeEdit(TForm* form, const std::u16string& text) {
    auto* edit = new TEdit(form);
    edit->SetParent(form);
    edit->SetBounds(10, 10, 150, 22);
    edit->Font()->SetName("Fixed Metrics Test");
    edit->Font()->SetHeight(-16);
    edit->SetWideText(text);
    testing::ShowForm(form);
    edit->SetFocus();
    testing::Pump();
    return edit;
}

} // namespace

TEST_F(ControlTest, EditTypesDeletesAndMovesByKeys) {
    TForm* form = MakeForm();
    TEdit* edit = MakeEdit(form, u"abc");
    int changes = 0;
    edit->OnChange = [&](TObject*) { ++changes; };
    EXPECT_FALSE(edit->Modified());
    testing::PressKey(VK_END);
    testing::TypeText(u"de");
    EXPECT_EQ(edit->WideText(), u"abcde");
    EXPECT_EQ(changes, 2);
    EXPECT_TRUE(edit->Modified());
    testing::PressKey(VK_LEFT);
    testing::PressKey(VK_LEFT);
    testing::PressKey(VK_BACK);
    EXPECT_EQ(edit->WideText(), u"abde");
    EXPECT_EQ(edit->CaretPos(), 2);
    testing::PressKey(VK_DELETE);
    EXPECT_EQ(edit->WideText(), u"abe");
    testing::PressKey(VK_HOME);
    testing::PressKey(VK_BACK); // nothing before the start
    testing::TypeText(u"X");
    EXPECT_EQ(edit->WideText(), u"Xabe");
    testing::PressKey(VK_END);
    testing::PressKey(VK_DELETE); // nothing after the end
    EXPECT_EQ(edit->WideText(), u"Xabe");
    EXPECT_EQ(edit->Text(), "Xabe");
    // The caret is shown at the boundary it sits on: 8 pixels a character.
    EXPECT_EQ(testing::Caret().Pos.X - 1 - edit->LeftMargin(), 4 * 8);
}

TEST_F(ControlTest, EditSelectsWithShiftAndTypingReplacesTheSelection) {
    TForm* form = MakeForm();
    TEdit* edit = MakeEdit(form, u"hello world");
    testing::PressKey(VK_HOME);
    testing::PressKey(VK_RIGHT, {ssShift});
    testing::PressKey(VK_RIGHT, {ssShift});
    EXPECT_EQ(edit->SelText(), u"he");
    testing::TypeText(u"J");
    EXPECT_EQ(edit->WideText(), u"Jllo world");
    testing::PressKey(VK_END, {ssShift});
    EXPECT_EQ(edit->SelText(), u"llo world");
    // Left without Shift collapses the selection to its start.
    testing::PressKey(VK_LEFT);
    EXPECT_EQ(edit->SelLength(), 0);
    EXPECT_EQ(edit->CaretPos(), 1);
    edit->SelectAll();
    testing::PressKey(VK_DELETE);
    EXPECT_EQ(edit->WideText(), u"");
}

TEST_F(ControlTest, EditClickPutsTheCaretAtTheNearestBoundary) {
    TForm* form = MakeForm();
    TEdit* edit = MakeEdit(form, u"abcdef");
    // Characters are 8 pixels wide and start one pixel in.
    testing::Click(edit, 1 + 2 * 8 + 3, 10);
    EXPECT_EQ(edit->CaretPos(), 2);
    testing::Click(edit, 1 + 2 * 8 + 5, 10);
    EXPECT_EQ(edit->CaretPos(), 3);
    testing::Click(edit, 140, 10);
    EXPECT_EQ(edit->CaretPos(), 6);
}

TEST_F(ControlTest, EditLeavesEnterAndEscapeToItsOwner) {
    TForm* form = MakeForm();
    TEdit* edit = MakeEdit(form, u"text");
    std::vector<Word> seen;
    edit->OnKeyDown = [&](TObject*, Word& key, TShiftState) { seen.push_back(key); };
    testing::PressKey(VK_RETURN);
    testing::PressKey(VK_ESCAPE);
    EXPECT_EQ(edit->WideText(), u"text");
    EXPECT_EQ(seen, (std::vector<Word>{VK_RETURN, VK_ESCAPE}));
}

} // namespace epc
