#include "components/controls/NewCheckListBox.h"

#include <gtest/gtest.h>

#include "tests/components/controls/ControlsTestSupport.h"

#include "platform/controls/Forms.h"
#include "platform/testing/UserActions.h"

namespace epc {
namespace {

// Opens the protected state for radio items and the toggle.
class TTestCheckList : public TNewCheckListBox {
public:
    using TNewCheckListBox::TNewCheckListBox;
    TItemState* StateOf(int i) { return GetState(i); }
};

class CheckListTest : public epc::test::FormFixture {
protected:
    void SetUp() override {
        FormFixture::SetUp();
        List = new TTestCheckList(Form);
        List->SetParent(Form);
        List->SetBorderStyle(bsNone);
        List->Font()->SetName("Fixed Metrics Test");
        List->Font()->SetHeight(-10); // 10 pixels high, 5 wide per character
        List->SetBounds(0, 0, 300, 280);
    }
    int Step() const { return List->CheckWidth() + 2 * List->Offset(); }
    // A client point on the item's box.
    TPoint BoxPoint(int i) {
        TRect r = List->ItemRect(i);
        return TPoint(List->ItemLevel(i) * Step() + List->Offset() + 3, r.Top + r.Height() / 2);
    }
    void AddFamily() {
        // 0 A               check
        // 1   A1            check, follows the parent
        // 2   A2            check, does not follow
        // 3 G               group
        // 4   G1            check
        // 5   G2            check
        List->AddCheckItem("A", "", 0, false, true, false, true, nullptr);
        List->AddCheckItem("A1", "", 1, false, true, false, true, nullptr);
        List->AddCheckItem("A2", "", 1, false, true, false, false, nullptr);
        List->AddGroupItem("G", "", 0, nullptr);
        List->AddCheckItem("G1", "", 1, false, true, false, true, nullptr);
        List->AddCheckItem("G2", "", 1, false, true, false, true, nullptr);
    }
    TTestCheckList* List = nullptr;
};

TEST_F(CheckListTest, LevelsAreClampedToOneBelowThePreviousItem) {
    EXPECT_EQ(List->AddGroupItem("first", "", 4, nullptr), 0);
    EXPECT_EQ(List->ItemLevel(0), 0);
    List->AddCheckItem("deep", "", 3, false, true, false, true, nullptr);
    EXPECT_EQ(List->ItemLevel(1), 1);
    List->AddCheckItem("deeper", "", 2, false, true, false, true, nullptr);
    EXPECT_EQ(List->ItemLevel(2), 2);
    List->AddCheckItem("back", "", 0, false, true, false, true, nullptr);
    EXPECT_EQ(List->ItemLevel(3), 0);
    EXPECT_EQ(List->StateOf(1)->ItemType, itCheck);
    EXPECT_EQ(List->StateOf(0)->ItemType, itGroup);
    EXPECT_TRUE(List->StateOf(0)->CheckWhenParentChecked);
    EXPECT_TRUE(List->ItemEnabled(0));
}

TEST_F(CheckListTest, CheckingAParentFollowsCheckWhenParentCheckedAndGraysIt) {
    AddFamily();
    List->SetItemChecked(0, true);
    EXPECT_EQ(List->State(1), cbChecked);
    EXPECT_EQ(List->State(2), cbUnchecked);
    EXPECT_EQ(List->State(0), cbGrayed);
    EXPECT_TRUE(List->GetItemChecked(0)); // grayed counts as checked
    // The last unchecked child checked: the parent is checked.
    List->SetItemChecked(2, true);
    EXPECT_EQ(List->State(0), cbChecked);
    // All children unchecked: a parent without internal children is unchecked.
    List->SetItemChecked(1, false);
    EXPECT_EQ(List->State(0), cbGrayed);
    List->SetItemChecked(2, false);
    EXPECT_EQ(List->State(0), cbUnchecked);
}

TEST_F(CheckListTest, UncheckingAParentLeavesDisabledChildrenAlone) {
    List->AddCheckItem("P", "", 0, true, true, false, true, nullptr);
    List->AddCheckItem("on", "", 1, true, true, false, true, nullptr);
    List->AddCheckItem("locked", "", 1, true, false, false, true, nullptr);
    List->AddCheckItem("grandchild", "", 2, true, true, false, true, nullptr);
    ASSERT_EQ(List->State(0), cbChecked);
    List->SetItemChecked(0, false);
    EXPECT_EQ(List->State(1), cbUnchecked);
    EXPECT_EQ(List->State(2), cbChecked); // disabled: kept, and its subtree with it
    EXPECT_EQ(List->State(3), cbChecked);
    EXPECT_EQ(List->State(0), cbGrayed);
}

TEST_F(CheckListTest, InternalChildrenKeepAParentCheckedWithItsChildrenUnchecked) {
    List->AddCheckItem("P", "", 0, true, true, true, true, nullptr);
    List->AddCheckItem("c", "", 1, false, true, false, false, nullptr);
    EXPECT_EQ(List->State(0), cbGrayed);
    List->SetItemChecked(0, false);
    EXPECT_EQ(List->State(0), cbUnchecked);
}

TEST_F(CheckListTest, GroupsAreNeverGrayed) {
    AddFamily();
    List->SetItemChecked(4, true);
    EXPECT_EQ(List->State(3), cbChecked);
    EXPECT_EQ(List->State(5), cbUnchecked);
}

TEST_F(CheckListTest, ItemsWithoutChildrenAreAsWanted) {
    List->AddCheckItem("x", "", 0, true, true, false, true, nullptr);
    EXPECT_EQ(List->State(0), cbChecked);
    List->SetItemChecked(0, false);
    EXPECT_EQ(List->State(0), cbUnchecked);
}

TEST_F(CheckListTest, MouseTogglesOnTheBoxColumnOnly) {
    AddFamily();
    testing::ShowForm(Form);
    int clicks = 0;
    List->OnClickCheck = [&](TObject*) { ++clicks; };
    testing::Click(List, BoxPoint(1).X, BoxPoint(1).Y);
    EXPECT_EQ(List->State(1), cbChecked);
    EXPECT_EQ(List->State(0), cbGrayed);
    EXPECT_EQ(clicks, 1);
    // Right of the item's box column (level + 1 steps): selects, does not toggle.
    TRect r = List->ItemRect(1);
    testing::Click(List, 2 * Step() + 1, r.Top + 2);
    EXPECT_EQ(List->State(1), cbChecked);
    EXPECT_EQ(List->ItemIndex(), 1);
    EXPECT_EQ(clicks, 1);
    // Just inside the column end: toggles.
    testing::Click(List, 2 * Step() - 1, r.Top + 2);
    EXPECT_EQ(List->State(1), cbUnchecked);
    // Groups and disabled items do not toggle.
    testing::Click(List, BoxPoint(3).X, BoxPoint(3).Y);
    EXPECT_EQ(clicks, 2);
    List->SetItemEnabled(4, false);
    testing::Click(List, BoxPoint(4).X, BoxPoint(4).Y);
    EXPECT_EQ(List->State(4), cbUnchecked);
    EXPECT_EQ(clicks, 2);
}

TEST_F(CheckListTest, TogglingAGrayedBoxChecksItOrUnchecksWhenCheckingChangesNothing) {
    AddFamily();
    testing::ShowForm(Form);
    List->SetItemChecked(0, true); // A1 follows, A2 does not: grayed
    ASSERT_EQ(List->State(0), cbGrayed);
    testing::Click(List, BoxPoint(0).X, BoxPoint(0).Y);
    EXPECT_EQ(List->State(0), cbUnchecked);
    EXPECT_EQ(List->State(1), cbUnchecked);

    // Grayed with a following child left unchecked: toggling checks it.
    List->SetItemChecked(2, true);
    ASSERT_EQ(List->State(0), cbGrayed);
    testing::Click(List, BoxPoint(0).X, BoxPoint(0).Y);
    EXPECT_EQ(List->State(0), cbChecked);
    EXPECT_EQ(List->State(1), cbChecked);
}

TEST_F(CheckListTest, SpaceTogglesTheFocusedItem) {
    AddFamily();
    testing::ShowForm(Form);
    List->SetFocus();
    testing::Click(List, 200, List->ItemRect(4).Top + 2);
    ASSERT_EQ(List->ItemIndex(), 4);
    testing::PressKey(VK_SPACE);
    EXPECT_EQ(List->State(4), cbChecked);
    testing::PressKey(VK_DOWN);
    EXPECT_EQ(List->ItemIndex(), 5);
    testing::PressKey(VK_SPACE);
    EXPECT_EQ(List->State(5), cbChecked);
    EXPECT_EQ(List->State(3), cbChecked);
}

TEST_F(CheckListTest, WithWantTabsPressAndReleaseToggleOverTheSameItemOnly) {
    AddFamily();
    List->SetWantTabs(true);
    testing::ShowForm(Form);
    TPoint p1 = BoxPoint(1);
    testing::MouseDown(List, 250, p1.Y); // anywhere on the item
    EXPECT_EQ(List->State(1), cbUnchecked);
    testing::MouseUp(List, 250, p1.Y);
    EXPECT_EQ(List->State(1), cbChecked);
    // Released over another item: nothing.
    testing::MouseDown(List, 250, p1.Y);
    testing::MoveMouse(List, 250, BoxPoint(2).Y);
    testing::MouseUp(List, 250, BoxPoint(2).Y);
    EXPECT_EQ(List->State(1), cbChecked);
    EXPECT_EQ(List->State(2), cbUnchecked);
    EXPECT_EQ(GetCapture(), nullptr);
    // Space toggles on release.
    List->SetFocus();
    List->SetItemIndex(2);
    testing::KeyDown(VK_SPACE);
    testing::Pump();
    EXPECT_EQ(List->State(2), cbUnchecked);
    testing::KeyUp(VK_SPACE);
    testing::Pump();
    EXPECT_EQ(List->State(2), cbChecked);
}

TEST_F(CheckListTest, WithWantTabsAnAcceleratorFocusesAndToggles) {
    List->SetWantTabs(true);
    List->AddCheckItem("&Alpha", "", 0, false, true, false, true, nullptr);
    List->AddCheckItem("&Beta", "", 0, false, true, false, true, nullptr);
    testing::ShowForm(Form);
    EXPECT_EQ(List->Perform(CM_DIALOGCHAR, 'b', 0), 1);
    EXPECT_EQ(List->ItemIndex(), 1);
    EXPECT_TRUE(List->Focused());
    EXPECT_EQ(List->State(1), cbChecked);
    EXPECT_EQ(List->Perform(CM_DIALOGCHAR, 'z', 0), 0);
    List->SetWantTabs(false);
    EXPECT_EQ(List->Perform(CM_DIALOGCHAR, 'a', 0), 0);
    EXPECT_EQ(List->State(0), cbUnchecked);
}

TEST_F(CheckListTest, EnteredByTabWithWantTabsFocusesTheFirstOrLastEnabledItem) {
    List->SetWantTabs(true);
    List->SetTabOrder(1);
    List->AddCheckItem("off", "", 0, false, false, false, true, nullptr);
    List->AddCheckItem("first", "", 0, false, true, false, true, nullptr);
    List->AddCheckItem("last", "", 0, false, true, false, true, nullptr);
    List->AddCheckItem("off too", "", 0, false, false, false, true, nullptr);
    auto* before = new TTestCheckList(Form);
    before->SetParent(Form);
    before->SetBounds(310, 0, 80, 80);
    before->SetTabOrder(0);
    testing::ShowForm(Form);
    before->SetFocus();
    testing::PressKey(VK_TAB);
    ASSERT_TRUE(List->Focused());
    EXPECT_EQ(List->ItemIndex(), 1);
    before->SetFocus();
    testing::PressKey(VK_TAB, TShiftState{ssShift});
    ASSERT_TRUE(List->Focused());
    EXPECT_EQ(List->ItemIndex(), 2);
    // Focus by the mouse keeps the selection as it is.
    before->SetFocus();
    List->SetItemIndex(-1);
    testing::Click(List, 250, 250);
    EXPECT_EQ(List->ItemIndex(), -1);
}

TEST_F(CheckListTest, ItemHeightsFollowTheCaption) {
    testing::ShowForm(Form);
    List->AddGroupItem("Short", "", 0, nullptr);
    EXPECT_EQ(List->ItemHeights(0), 16); // 10 + 4 is below MinItemHeight
    List->SetMinItemHeight(8);
    EXPECT_EQ(List->ItemHeights(0), 14);
    List->Font()->SetHeight(-11);
    List->SetOffset(5);                  // re-measures
    EXPECT_EQ(List->ItemHeights(0), 16); // 15 made even
    List->Font()->SetHeight(-10);
    List->SetOffset(4);
    // A caption too wide for one line wraps: two lines.
    std::string longCaption(30, 'x');
    longCaption += " " + std::string(30, 'y');
    List->AddCheckItem(longCaption, "", 1, false, true, false, true, nullptr);
    EXPECT_EQ(List->ItemHeights(1), 24);
    // The sub-item narrows the caption's room: 300 - 2 steps - width("sub") - 2 offsets.
    int room = List->ClientWidth() - 2 * Step();
    std::string fits;
    for (size_t n = size_t((room - 4) / 5); fits.size() < n;)
        fits += fits.size() % 5 == 4 ? ' ' : 'z';
    if (fits.back() == ' ') fits.back() = 'z';
    List->AddCheckItem(fits, "", 1, false, true, false, true, nullptr);
    EXPECT_EQ(List->ItemHeights(2), 14);
    List->SetSubItem(2, "sub");
    EXPECT_EQ(List->ItemHeights(2), 24);
    EXPECT_EQ(List->ItemRect(1).Top, 14);
}

TEST_F(CheckListTest, AccessibleObjectAnswersRolesStatesAndValues) {
    AddFamily();
    List->AddCheckItem("off", "", 1, false, false, false, true, nullptr);
    List->StateOf(5)->ItemType = itRadio;
    testing::ShowForm(Form);
    List->SetItemChecked(0, true);
    IAccessible* acc = nullptr;
    ASSERT_EQ(AccessibleObjectFromWindow(List->Handle(), DWORD(OBJID_CLIENT), IID_IAccessible,
                                         reinterpret_cast<void**>(&acc)),
              S_OK);
    LONG role = 0;
    acc->get_accRole(CHILDID_SELF, &role);
    EXPECT_EQ(role, 35);
    acc->get_accRole(1, &role);
    EXPECT_EQ(role, 44);
    acc->get_accRole(6, &role);
    EXPECT_EQ(role, 45);
    acc->get_accRole(4, &role);
    EXPECT_EQ(role, 41);
    EXPECT_EQ(acc->get_accRole(99, &role), E_INVALIDARG);
    DWORD state = 0;
    acc->get_accState(1, &state);
    EXPECT_EQ(state & 0x31u, 0x20u); // grayed: mixed
    acc->get_accState(2, &state);
    EXPECT_EQ(state & 0x31u, 0x10u);
    acc->get_accState(3, &state);
    EXPECT_EQ(state & 0x31u, 0u);
    acc->get_accState(7, &state);
    EXPECT_EQ(state & 0x31u, 0x01u);
    DWORD selfState = 0;
    acc->get_accState(CHILDID_SELF, &selfState);
    EXPECT_EQ(selfState & 0x31u, 0u);
    std::u16string value;
    EXPECT_EQ(acc->get_accValue(2, &value), S_OK);
    EXPECT_EQ(value, u"1");
    EXPECT_EQ(acc->get_accValue(4, &value), S_OK);
    EXPECT_EQ(value, u"0");
    EXPECT_EQ(acc->get_accValue(CHILDID_SELF, &value), S_FALSE);
    // Other queries go to the window's standard object.
    std::u16string name;
    EXPECT_EQ(acc->get_accName(CHILDID_SELF, &name), S_OK);

    // The object is made once.
    IAccessible* again = nullptr;
    AccessibleObjectFromWindow(List->Handle(), DWORD(OBJID_CLIENT), IID_IAccessible,
                               reinterpret_cast<void**>(&again));
    EXPECT_EQ(again, acc);
    again->Release();

    // Destroying the control disconnects it from the client still holding it.
    FreeComponent(List);
    EXPECT_EQ(acc->get_accRole(1, &role), RPC_E_DISCONNECTED);
    EXPECT_EQ(acc->get_accName(CHILDID_SELF, &name), RPC_E_DISCONNECTED);
    acc->Release();
}

TEST_F(CheckListTest, StateChangesAreAnnouncedPerItem) {
    AddFamily();
    testing::ShowForm(Form);
    ClearWinEventLog();
    List->SetItemChecked(0, true); // item 0 grayed, item 1 checked
    std::vector<LONG> children;
    for (const TWinEventRecord& e : WinEventLog()) {
        EXPECT_EQ(e.Event, 0x800Au);
        EXPECT_EQ(e.Window, List->Handle());
        EXPECT_EQ(e.ObjectId, -4);
        children.push_back(e.ChildId);
    }
    EXPECT_EQ(children, (std::vector<LONG>{2, 1}));
    // Nothing changes, nothing is announced.
    ClearWinEventLog();
    List->SetItemChecked(1, true);
    EXPECT_TRUE(WinEventLog().empty());
}

TEST_F(CheckListTest, ThemedBoxesUsePartAndStateNumbers) {
    TRecordingThemeLibrary theme;
    InstallRecordingThemeLibrary(&theme);
    // A list made after the library is bound.
    FreeComponent(List);
    List = new TTestCheckList(Form);
    List->SetParent(Form);
    List->SetBorderStyle(bsNone);
    List->SetBounds(0, 0, 300, 280);
    List->AddCheckItem("unchecked", "", 0, false, true, false, true, nullptr);
    List->AddCheckItem("checked", "", 0, true, true, false, true, nullptr);
    List->AddCheckItem("grayed", "", 0, true, true, true, true, nullptr);
    List->AddCheckItem("child", "", 1, false, true, false, false, nullptr);
    List->AddCheckItem("disabled", "", 0, true, false, false, true, nullptr);
    List->AddCheckItem("radio", "", 0, false, true, false, true, nullptr);
    List->StateOf(5)->ItemType = itRadio;
    List->AddGroupItem("group", "", 0, nullptr);
    testing::ShowForm(Form);
    ASSERT_NE(List->Theme(), nullptr);
    ASSERT_EQ(theme.CallsOf("OpenThemeData").at(0).ClassList, u"Button");

    auto lastDraw = [&](int item) {
        TRect r = List->ItemRect(item);
        TThemeCall found;
        for (const TThemeCall& c : theme.CallsOf("DrawThemeBackground"))
            if (c.Rect.Top >= r.Top && c.Rect.Bottom <= r.Bottom) found = c;
        return found;
    };
    theme.Calls.clear();
    List->Invalidate();
    testing::Pump();
    EXPECT_EQ(lastDraw(0).Part, 3);
    EXPECT_EQ(lastDraw(0).State, 1);
    EXPECT_EQ(lastDraw(1).State, 5);
    EXPECT_EQ(lastDraw(2).State, 9);
    EXPECT_EQ(lastDraw(4).State, 8); // checked, disabled
    EXPECT_EQ(lastDraw(5).Part, 2);
    EXPECT_EQ(theme.CallsOf("DrawThemeBackground").size(), 6u); // none for the group

    // Hot under the mouse, pressed while held (WantTabs), hot again when the pointer leaves.
    testing::MoveMouse(List, 250, BoxPoint(0).Y);
    EXPECT_EQ(lastDraw(0).State, 2);
    List->SetWantTabs(true);
    testing::MouseDown(List, 250, BoxPoint(0).Y);
    EXPECT_EQ(lastDraw(0).State, 3);
    testing::MoveMouse(List, 250, BoxPoint(1).Y);
    EXPECT_EQ(lastDraw(0).State, 2);
    EXPECT_EQ(lastDraw(1).State, 5); // not hot while another item is pressed
    testing::MouseUp(List, 250, BoxPoint(1).Y);

    // Classic drawing when themes are switched off.
    theme.Active = false;
    theme.Calls.clear();
    List->Invalidate();
    testing::Pump();
    EXPECT_TRUE(theme.CallsOf("DrawThemeBackground").empty());

    FreeComponent(List);
    List = nullptr;
    EXPECT_EQ(theme.OpenThemes, 0);
    EXPECT_EQ(ThemeLibraryRefCount(), 0);
    EXPECT_EQ(ThemeLibrary(), nullptr);
}

TEST_F(CheckListTest, ClassicBoxesShowTheirState) {
    List->AddCheckItem("a", "", 0, false, true, false, true, nullptr);
    List->AddCheckItem("b", "", 0, true, true, false, true, nullptr);
    testing::ShowForm(Form);
    auto boxPixels = [&](int i) {
        TPoint p = BoxPoint(i);
        std::vector<COLORREF> px;
        for (int y = p.Y - 4; y <= p.Y + 4; ++y)
            for (int x = p.X - 1; x <= p.X + 6; ++x)
                px.push_back(testing::PixelAt(List, x, y));
        return px;
    };
    EXPECT_NE(boxPixels(0), boxPixels(1));
    List->SetItemChecked(0, true);
    testing::Pump();
    EXPECT_EQ(boxPixels(0), boxPixels(1));
}

TEST_F(CheckListTest, ClippedCaptionShowsItsHintAfterThePause) {
    List->SetWantTabs(true);
    List->AddCheckItem("Fits", "", 0, false, true, false, true, nullptr);
    List->AddCheckItem("A &very long caption that cannot stay on one single line of this list", "",
                       0, false, true, false, true, nullptr);
    testing::ShowForm(Form);
    testing::MoveMouse(List, 150, List->ItemRect(0).Top + 3);
    testing::Wait(Application->HintPause() + 10);
    EXPECT_TRUE(List->CaptionHint() == nullptr || !List->CaptionHint()->IsHintShowing());
    testing::MoveMouse(List, 150, List->ItemRect(1).Top + 3);
    EXPECT_TRUE(List->CaptionHint() == nullptr || !List->CaptionHint()->IsHintShowing());
    testing::Wait(Application->HintPause() + 10);
    ASSERT_NE(List->CaptionHint(), nullptr);
    EXPECT_TRUE(List->CaptionHint()->IsHintShowing());
    EXPECT_EQ(List->CaptionHint()->Caption(),
              "A very long caption that cannot stay on one single line of this list");
    EXPECT_EQ(GetClassStyle(List->CaptionHint()->Handle()) & 0x20000u, 0x20000u);
    // A left press leaves it up; moving to another item takes it down.
    testing::MouseDown(List, 150, List->ItemRect(1).Top + 3);
    EXPECT_TRUE(List->CaptionHint()->IsHintShowing());
    testing::MouseUp(List, 150, List->ItemRect(1).Top + 3);
    testing::MoveMouse(List, 150, List->ItemRect(0).Top + 3);
    EXPECT_FALSE(List->CaptionHint()->IsHintShowing());
}

// A check list showing one item in each state, made after the theme library is bound.
TTestCheckList* MakeStatesList(TForm* form) {
    auto* list = new TTestCheckList(form);
    list->SetParent(form);
    list->SetBorderStyle(bsNone);
    list->SetBounds(0, 0, 200, 120);
    list->AddCheckItem("parent", "", 0, true, true, false, true, nullptr);
    list->AddCheckItem("on", "", 1, true, true, false, true, nullptr);
    list->AddCheckItem("off", "", 1, false, true, false, false, nullptr);
    list->AddCheckItem("disabled", "", 0, true, false, false, true, nullptr);
    return list;
}

TEST_F(CheckListTest, WithoutTheThemeLibraryOrItsEntryPointsTheBoxesAreClassic) {
    FreeComponent(List);
    List = nullptr;
    // The picture without any theme library.
    InstallRecordingThemeLibrary(nullptr);
    TTestCheckList* plain = MakeStatesList(Form);
    testing::ShowForm(Form);
    TWindowPixels classic = testing::ClientPixels(plain);
    EXPECT_EQ(plain->Theme(), nullptr);
    FreeComponent(plain);

    // A library lacking an entry point the boxes need draws the same classic picture.
    for (const char* missing : {"DrawThemeBackground", "OpenThemeData", "IsThemeActive"}) {
        TRecordingThemeLibrary theme;
        theme.Missing = {missing};
        InstallRecordingThemeLibrary(&theme);
        TTestCheckList* list = MakeStatesList(Form);
        list->Invalidate();
        testing::Pump();
        EXPECT_TRUE(theme.CallsOf("DrawThemeBackground").empty()) << missing;
        EXPECT_TRUE(testing::ClientPixels(list).Pixels == classic.Pixels) << missing;
        FreeComponent(list);
        EXPECT_EQ(theme.OpenThemes, 0);
    }

    // With every entry point the theme draws, with the part and state numbers of each box.
    TRecordingThemeLibrary theme;
    InstallRecordingThemeLibrary(&theme);
    TTestCheckList* themed = MakeStatesList(Form);
    themed->Invalidate();
    testing::Pump();
    std::vector<std::pair<int, int>> drawn;
    for (const TThemeCall& c : theme.CallsOf("DrawThemeBackground"))
        drawn.push_back({c.Part, c.State});
    ASSERT_GE(drawn.size(), 4u);
    drawn.erase(drawn.begin(), drawn.end() - 4);
    // Grayed parent 9, checked 5, unchecked 1, checked and disabled 5 + 3.
    EXPECT_EQ(drawn, (std::vector<std::pair<int, int>>{{3, 9}, {3, 5}, {3, 1}, {3, 8}}));
    EXPECT_FALSE(testing::ClientPixels(themed).Pixels == classic.Pixels);
    FreeComponent(themed); // before the recorder goes
}

// The role of the object a client gets for the window's client area.
LONG ClientObjectRole(HWND window) {
    IAccessible* acc = nullptr;
    if (FAILED(AccessibleObjectFromWindow(window, DWORD(OBJID_CLIENT), IID_IAccessible,
                                          reinterpret_cast<void**>(&acc))))
        return -1;
    LONG role = 0;
    acc->get_accRole(CHILDID_SELF, &role);
    acc->Release();
    return role;
}

TEST_F(CheckListTest, WithoutTheAccessibilityEntryPointsThereIsNoObjectAndNoEvent) {
    AddFamily();
    testing::ShowForm(Form);
    // Each of the three entry points missing in turn.
    for (const char* missing :
         {"CreateStdAccessibleObject", "LresultFromObject", "NotifyWinEvent"}) {
        SetAccessibilityLibraryLoader([missing](const std::string& fileName) {
            auto module = PlatformAccessibilityLibrary(fileName);
            if (module) module->EntryPoints.erase(missing);
            return module;
        });
        std::string entry = missing;
        bool objects = entry == "NotifyWinEvent";
        EXPECT_EQ(AccessibilityAvailable(), objects) << missing;
        LRESULT answer = SendMessage(List->Handle(), WM_GETOBJECT, 0, LPARAM(LONG(OBJID_CLIENT)));
        EXPECT_EQ(answer > 0, objects) << missing;
        // A client asking gets the list's own object, or else the window's standard one.
        if (answer > 0) {
            IAccessible* own = nullptr;
            ASSERT_EQ(ObjectFromLresult(answer, IID_IAccessible, 0, reinterpret_cast<void**>(&own)),
                      S_OK);
            own->Release();
        }
        EXPECT_EQ(ClientObjectRole(List->Handle()),
                  objects ? ROLE_SYSTEM_OUTLINE : ROLE_SYSTEM_CLIENT)
            << missing;
        ClearWinEventLog();
        List->SetItemChecked(0, !List->GetItemChecked(0));
        EXPECT_EQ(WinEventLog().empty(), entry == "NotifyWinEvent") << missing;
    }
    SetAccessibilityLibraryLoader({});
    EXPECT_TRUE(AccessibilityAvailable());
}

TEST_F(CheckListTest, SortingKeepsStatesWithTheirItemsAndRedrawsTheLines) {
    List->AddCheckItem("Zed", "", 0, true, true, false, true, nullptr);
    List->AddCheckItem("Alpha", "", 0, false, false, false, true, nullptr);
    List->SetSorted(true);
    EXPECT_EQ(List->Items()->Strings(0), "Alpha");
    EXPECT_FALSE(List->ItemEnabled(0));
    EXPECT_TRUE(List->GetItemChecked(1));
    // The last item of the level is now the other one.
    EXPECT_FALSE(List->StateOf(0)->IsLastChild);
    EXPECT_TRUE(List->StateOf(1)->IsLastChild);
}

TEST_F(CheckListTest, IndexOutsideTheListIsTheListError) {
    AddFamily();
    EXPECT_THROW(List->GetItemChecked(6), EListError);
    EXPECT_THROW(List->SetItemChecked(-1, true), EListError);
}

} // namespace
} // namespace epc
