// The list box and the radio button.

#include "platform/controls/StdCtrls.h"

#include "ControlTestSupport.h"

namespace epc {

namespace {

class TRecordingListBox : public TListBox {
public:
    using TListBox::TListBox;
    std::vector<std::string> Drawn;

protected:
    void DrawItem(int index, const TRect& rect, TOwnerDrawState state) override {
        Drawn.push_back(std::to_string(index) + (state.Contains(odSelected) ? " sel" : "") +
                        (state.Contains(odFocused) ? " focus" : "") + " " +
                        std::to_string(rect.Top));
        TListBox::DrawItem(index, rect, state);
    }
};

TRecordingListBox* MakeList(TForm* form, int itemCount) {
    auto* list = new TRecordingListBox(form);
    list->SetParent(form);
    list->SetBorderStyle(bsNone);
    list->SetBounds(0, 0, 150, 100);
    list->SetStyle(lbOwnerDrawVariable);
    list->OnMeasureItem = [](TWinControl*, int index, int& height) { height = 10 + index * 2; };
    for (int i = 0; i < itemCount; ++i)
        list->Items()->Add("item " + std::to_string(i));
    return list;
}

} // namespace

TEST_F(ControlTest, ListBoxMeasuresVariableItemsAndPlacesThem) {
    TForm* form = MakeForm();
    auto* list = MakeList(form, 5);
    EXPECT_EQ(list->ItemHeights(0), 10);
    EXPECT_EQ(list->ItemHeights(3), 16);
    EXPECT_EQ(list->ItemRect(2), TRect(0, 22, list->ClientWidth(), 36));
    EXPECT_EQ(list->ItemAtPos(TPoint(5, 21), true), 1);
    EXPECT_EQ(list->ItemAtPos(TPoint(5, 22), true), 2);
    EXPECT_EQ(list->ItemAtPos(TPoint(5, 95), true), -1);
    EXPECT_EQ(list->ItemAtPos(TPoint(5, 95), false), 4);
    EXPECT_EQ(list->ItemRect(9), TRect());
    // A fixed list gives every item the item height.
    list->SetStyle(lbOwnerDrawFixed);
    list->SetItemHeight(12);
    EXPECT_EQ(list->ItemRect(3).Top, 36);
}

TEST_F(ControlTest, ListBoxItemsKeepTheirObjectsAndCheckIndices) {
    TForm* form = MakeForm();
    auto* list = MakeList(form, 3);
    TObject marker;
    list->Items()->SetObjects(1, &marker);
    EXPECT_EQ(list->Items()->Objects(1), &marker);
    list->Items()->Insert(0, "first");
    EXPECT_EQ(list->Items()->Objects(2), &marker);
    EXPECT_EQ(list->Items()->IndexOf("first"), 0);
    try {
        list->Items()->Strings(4);
        FAIL();
    } catch (const EListError& e) {
        EXPECT_STREQ(e.what(), "List index out of bounds (4)");
    }
    EXPECT_THROW(list->Items()->Delete(-1), EListError);
    list->SetItemIndex(3);
    list->Items()->Delete(0);
    EXPECT_EQ(list->ItemIndex(), 2);
    list->Items()->Clear();
    EXPECT_EQ(list->ItemIndex(), -1);
    EXPECT_EQ(list->Count(), 0);
}

TEST_F(ControlTest, ListBoxSelectsByMouseAndKeysAndDrawsTheFocus) {
    TForm* form = MakeForm();
    auto* list = MakeList(form, 12);
    int clicks = 0;
    list->OnClick = [&](TObject*) { ++clicks; };
    testing::ShowForm(form);
    testing::Click(list, 20, 25);
    EXPECT_EQ(list->ItemIndex(), 2);
    EXPECT_TRUE(list->Focused());
    EXPECT_EQ(clicks, 1);
    list->Drawn.clear();
    list->Invalidate();
    testing::Pump();
    EXPECT_EQ(list->Drawn.at(2), "2 sel focus 22");
    testing::PressKey(VK_DOWN);
    EXPECT_EQ(list->ItemIndex(), 3);
    EXPECT_EQ(clicks, 2);
    // Moving past the visible items scrolls them into view.
    testing::PressKey(VK_END);
    EXPECT_EQ(list->ItemIndex(), 11);
    EXPECT_GT(list->TopIndex(), 0);
    TRect last = list->ItemRect(11);
    EXPECT_LE(last.Bottom, list->ClientHeight());
    EXPECT_GE(last.Top, 0);
    testing::PressKey(VK_HOME);
    EXPECT_EQ(list->TopIndex(), 0);
}

TEST_F(ControlTest, ListBoxScrollBarMovesTheTopIndex) {
    TForm* form = MakeForm();
    auto* list = MakeList(form, 12);
    testing::ShowForm(form);
    SCROLLINFO si;
    si.fMask = SIF_ALL;
    ASSERT_TRUE(GetScrollInfo(list->Handle(), SB_VERT, &si));
    EXPECT_EQ(si.nMax, 11);
    list->Perform(WM_VSCROLL, SB_LINEDOWN, 0);
    EXPECT_EQ(list->TopIndex(), 1);
    EXPECT_EQ(list->ItemRect(1).Top, 0);
    EXPECT_EQ(list->ItemRect(0).Top, -10);
    EXPECT_EQ(GetScrollPos(list->Handle(), SB_VERT), 1);
}

TEST_F(ControlTest, RadioButtonsBesideEachOtherAreExclusive) {
    TForm* form = MakeForm();
    auto* a = new TRadioButton(form);
    a->SetParent(form);
    a->SetBounds(0, 0, 80, 20);
    auto* b = new TRadioButton(form);
    b->SetParent(form);
    b->SetBounds(0, 30, 80, 20);
    int clicks = 0;
    b->OnClick = [&](TObject*) { ++clicks; };
    testing::ShowForm(form);
    testing::Click(b, 5, 10);
    EXPECT_TRUE(b->Checked());
    EXPECT_EQ(clicks, 1);
    testing::Click(b, 5, 10); // already checked: no second click
    EXPECT_EQ(clicks, 1);
    a->SetChecked(true);
    EXPECT_FALSE(b->Checked());
    COLORREF dot = testing::PixelAt(a, 6, 10);
    COLORREF empty = testing::PixelAt(b, 6, 10);
    EXPECT_NE(dot, empty);
}

TEST_F(ControlTest, SortedListBoxKeepsItsItemsInOrder) {
    TForm* form = MakeForm();
    auto* list = MakeList(form, 0);
    TObject objects[4];
    list->Items()->AddObject("delta", &objects[0]);
    list->Items()->AddObject("Bravo", &objects[1]);
    list->Items()->AddObject("alpha", &objects[2]);
    list->SetItemIndex(0); // "delta"
    // Sorting moves the objects, the measured heights and the selection with their items.
    list->SetSorted(true);
    ASSERT_EQ(list->Count(), 3);
    EXPECT_EQ(list->Items()->Strings(0), "alpha");
    EXPECT_EQ(list->Items()->Strings(1), "Bravo");
    EXPECT_EQ(list->Items()->Strings(2), "delta");
    EXPECT_EQ(list->Items()->Objects(0), &objects[2]);
    EXPECT_EQ(list->Items()->Objects(2), &objects[0]);
    EXPECT_EQ(list->ItemHeights(0), 14);
    EXPECT_EQ(list->ItemHeights(2), 10);
    EXPECT_EQ(list->ItemIndex(), 2);
    // New items go to their place, case-insensitively; equal texts after the ones there.
    EXPECT_EQ(list->Items()->AddObject("BRAVO", &objects[3]), 2);
    EXPECT_EQ(list->Items()->Objects(1), &objects[1]);
    EXPECT_EQ(list->Items()->Add("charlie"), 3);
    EXPECT_EQ(list->Items()->Add("Zulu"), 5);
    EXPECT_EQ(list->Items()->Add("a"), 0);
    EXPECT_EQ(list->ItemIndex(), 5); // still "delta"
    // Insert puts an item where it is told, and turning Sorted off sorts nothing.
    list->Items()->Insert(0, "zz");
    EXPECT_EQ(list->Items()->Strings(0), "zz");
    list->SetSorted(false);
    EXPECT_EQ(list->Items()->Add("b"), 8);
}

TEST_F(ControlTest, IntegralHeightCutsAFixedListToWholeItems) {
    TForm* form = MakeForm();
    auto* fixed = MakeList(form, 3);
    fixed->SetStyle(lbOwnerDrawFixed);
    fixed->SetItemHeight(16);
    auto* variable = MakeList(form, 3);
    variable->SetIntegralHeight(true);
    testing::ShowForm(form);
    EXPECT_EQ(fixed->Height(), 100); // off by default
    fixed->SetIntegralHeight(true);
    EXPECT_EQ(fixed->ClientHeight(), 96);
    fixed->SetHeight(130);
    EXPECT_EQ(fixed->ClientHeight(), 128);
    fixed->SetItemHeight(20);
    EXPECT_EQ(fixed->ClientHeight(), 120);
    // Already whole, lower than one item, or of variable heights: left as it is.
    fixed->SetHeight(60);
    EXPECT_EQ(fixed->Height(), 60);
    fixed->SetHeight(15);
    EXPECT_EQ(fixed->Height(), 15);
    EXPECT_EQ(variable->Height(), 100);
    fixed->SetIntegralHeight(false);
    fixed->SetHeight(70);
    EXPECT_EQ(fixed->Height(), 70);
}

TEST_F(ControlTest, TabWidthSetsTheTabStopsOfDrawnItems) {
    TForm* form = MakeForm();
    auto* list = new TListBox(form);
    list->SetParent(form);
    list->SetBorderStyle(bsNone);
    list->SetBounds(0, 0, 150, 40);
    list->Font()->SetName("Fixed Metrics Test");
    list->Font()->SetHeight(-10); // 5 pixels per character
    list->SetItemHeight(14);
    list->Items()->Add("a\tb");
    testing::ShowForm(form);
    // The first inked column right of the first character.
    auto secondStart = [&] {
        list->Invalidate();
        testing::Pump();
        COLORREF paper = testing::PixelAt(list, 149, 7);
        for (int x = 9; x < 150; ++x)
            for (int y = 0; y < 14; ++y)
                if (testing::PixelAt(list, x, y) != paper) return x;
        return -1;
    };
    list->SetTabWidth(8); // every 8 dialog units: 10 pixels
    int at8 = secondStart();
    list->SetTabWidth(16);
    int at16 = secondStart();
    list->SetTabWidth(20);
    int at20 = secondStart();
    ASSERT_GT(at8, 0);
    EXPECT_EQ(at16 - at8, 10);
    EXPECT_EQ(at20 - at16, 5);
}

} // namespace epc
