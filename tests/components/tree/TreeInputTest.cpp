// Keys, mouse, wheel and timers reach the tree as a person gives them: through window messages
// made by the platform's testing helpers.

#include <gtest/gtest.h>

#include <map>

#include "TreeTestSupport.h"
#include "platform/context/PlatformContext.h"
#include "platform/controls/Forms.h"
#include "platform/controls/Menus.h"
#include "platform/core/ScopeGuard.h"
#include "platform/testing/UserActions.h"
#include "platform/windows/Window.h"

using namespace epc;
using namespace epc::tree_options;
namespace ua = epc::testing;
using T = TBaseVirtualTree;

namespace {

struct InputFixture : ::testing::Test {
    TPlatformContext Context; // one per case: its end frees what the case leaves
    void SetUp() override {
        form = epc::testing::NewTreeForm();
        tree = new TBaseVirtualTree(form);
        tree->SetParent(form);
        tree->SetBorderStyle(bsNone);
        tree->SetBounds(0, 0, 300, 200);
        // Five top-level nodes; the first has three children.
        tree->SetRootNodeCount(5);
        first = tree->FirstNode();
        tree->SetChildCount(first, 3);
        ua::ShowForm(form);
        tree->SetFocus();
        ua::Pump();
    }
    void TearDown() override { FreeComponent(form); }
    PVirtualNode Top(int i) {
        PVirtualNode n = tree->FirstNodeNoInit();
        while (i-- > 0)
            n = n->NextSibling;
        return n;
    }
    // A point on the label of the visible row.
    TPoint RowLabel(int row, int level = 1) {
        return TPoint(level * int(tree->Indent()) + tree->Margin() + 6, row * 18 + 9);
    }
    TForm* form = nullptr;
    T* tree = nullptr;
    PVirtualNode first = nullptr;
};

} // namespace

TEST_F(InputFixture, ArrowsMoveTheFocusAndCtrlArrowsScroll) {
    ua::PressKey(VK_DOWN);
    EXPECT_EQ(tree->FocusedNode(), first);
    EXPECT_TRUE(tree->Selected(first));
    ua::PressKey(VK_DOWN);
    EXPECT_EQ(tree->FocusedNode(), Top(1));
    EXPECT_FALSE(tree->Selected(first));
    EXPECT_EQ(tree->SelectedCount(), 1u);
    ua::PressKey(VK_UP);
    EXPECT_EQ(tree->FocusedNode(), first);
    // Right expands, Right again goes to the first child, Left to the parent, Left collapses.
    ua::PressKey(VK_RIGHT);
    EXPECT_TRUE(tree->Expanded(first));
    ua::PressKey(VK_RIGHT);
    EXPECT_EQ(tree->FocusedNode(), first->FirstChild);
    ua::PressKey(VK_BACK);
    EXPECT_EQ(tree->FocusedNode(), first);
    ua::PressKey(VK_LEFT);
    EXPECT_FALSE(tree->Expanded(first));
    ua::PressKey(VK_END);
    EXPECT_EQ(tree->FocusedNode(), Top(4));

    // Ctrl+Down scrolls by exactly one default row height and leaves the focus.
    tree->SetRootNodeCount(40);
    ua::PressKey(VK_HOME);
    PVirtualNode focused = tree->FocusedNode();
    ua::PressKey(VK_DOWN, {ssCtrl});
    EXPECT_EQ(tree->OffsetY(), -int(tree->DefaultNodeHeight()));
    EXPECT_EQ(tree->FocusedNode(), focused);
    ua::PressKey(VK_UP, {ssCtrl});
    EXPECT_EQ(tree->OffsetY(), 0);
}

TEST_F(InputFixture, ShiftExtendsTheSelectionWithMultiSelect) {
    auto* o = tree->TreeOptions();
    o->SetSelectionOptions(o->SelectionOptions() | toMultiSelect);
    ua::PressKey(VK_DOWN);
    ua::PressKey(VK_DOWN, {ssShift});
    ua::PressKey(VK_DOWN, {ssShift});
    EXPECT_EQ(tree->SelectedCount(), 3u);
    ua::PressKey(VK_UP, {ssShift});
    EXPECT_EQ(tree->SelectedCount(), 2u);
    ua::PressKey(VK_DOWN);
    EXPECT_EQ(tree->SelectedCount(), 1u);
    ua::PressKey('A', {ssCtrl});
    EXPECT_EQ(tree->SelectedCount(), 5u);
}

TEST_F(InputFixture, PlusAndMinusOfTheMainKeyboardActAsKeypadKeys) {
    ua::PressKey(VK_DOWN);
    ua::TypeText(u"+");
    EXPECT_TRUE(tree->Expanded(first));
    ua::TypeText(u"-");
    EXPECT_FALSE(tree->Expanded(first));
    ua::PressKey(VK_ADD);
    EXPECT_TRUE(tree->Expanded(first));
    ua::PressKey(VK_DIVIDE);
    EXPECT_FALSE(tree->Expanded(first));
}

TEST_F(InputFixture, SpaceTogglesTheCheckOnReleaseAndEscapeCancels) {
    auto* o = tree->TreeOptions();
    o->SetMiscOptions(o->MiscOptions() | toCheckSupport);
    tree->SetCheckType(first, ctCheckBox);
    int checked = 0;
    tree->OnChecked = [&](T*, PVirtualNode) { ++checked; };
    ua::PressKey(VK_DOWN);
    ua::KeyDown(VK_SPACE);
    ua::Pump();
    EXPECT_EQ(tree->CheckState(first), csUncheckedPressed);
    ua::KeyUp(VK_SPACE);
    ua::Pump();
    EXPECT_EQ(tree->CheckState(first), csCheckedNormal);
    EXPECT_EQ(checked, 1);
    // Escape between press and release leaves the state as it was.
    ua::KeyDown(VK_SPACE);
    ua::Pump();
    ua::PressKey(VK_ESCAPE);
    ua::KeyUp(VK_SPACE);
    ua::Pump();
    EXPECT_EQ(tree->CheckState(first), csCheckedNormal);
    EXPECT_EQ(checked, 1);
    // A refusal leaves it too.
    tree->OnChecking = [](T*, PVirtualNode, TCheckState&, bool& allowed) { allowed = false; };
    ua::PressKey(VK_SPACE);
    EXPECT_EQ(tree->CheckState(first), csCheckedNormal);
}

TEST_F(InputFixture, WheelNotchScrollsThreeRows) {
    tree->SetRootNodeCount(60);
    UINT lines = 0;
    SystemParametersInfoA(SPI_GETWHEELSCROLLLINES, 0, &lines, 0);
    ASSERT_EQ(lines, 3u);
    ua::Wheel(tree, -1, 20, 20);
    EXPECT_EQ(tree->OffsetY(), -3 * int(tree->DefaultNodeHeight()));
    ua::Wheel(tree, 1, 20, 20);
    EXPECT_EQ(tree->OffsetY(), 0);
    // Ctrl: a page of rows per notch.
    ua::KeyDown(VK_CONTROL);
    ua::Wheel(tree, -1, 20, 20);
    ua::KeyUp(VK_CONTROL);
    EXPECT_EQ(tree->OffsetY(), -(tree->ClientHeight() / 18) * 18);
}

TEST_F(InputFixture, DialogCodeAndScrollBarMessages) {
    EXPECT_EQ(tree->Perform(WM_GETDLGCODE, 0, 0), LRESULT(DLGC_WANTARROWS | DLGC_WANTCHARS));
    tree->SetWantTabs(true);
    EXPECT_EQ(tree->Perform(WM_GETDLGCODE, 0, 0) & DLGC_WANTTAB, LRESULT(DLGC_WANTTAB));
    tree->SetRootNodeCount(60);
    tree->Perform(WM_VSCROLL, SB_LINEDOWN, 0);
    EXPECT_EQ(tree->OffsetY(), -20);
    tree->Perform(WM_VSCROLL, SB_PAGEDOWN, 0);
    EXPECT_EQ(tree->OffsetY(), -20 - tree->ClientHeight());
    tree->Perform(WM_VSCROLL, SB_BOTTOM, 0);
    EXPECT_EQ(tree->OffsetY(), tree->ClientHeight() - 60 * 18);
    tree->Perform(WM_VSCROLL, SB_TOP, 0);
    EXPECT_EQ(tree->OffsetY(), 0);
    EXPECT_EQ(tree->Perform(CM_BASE + 2000, 0, 0), 1);
}

TEST_F(InputFixture, PageKeysMoveTheFocusByAClientHeightAndCtrlPageScrolls) {
    tree->Clear();
    tree->SetRootNodeCount(40);
    // Rows of 18 pixels: the focus passes rows until a client height of them is behind it.
    const int rows = (tree->ClientHeight() + 17) / 18;
    ua::PressKey(VK_NEXT);
    EXPECT_EQ(tree->FocusedNode(), Top(39));
    ua::PressKey(VK_PRIOR);
    EXPECT_EQ(tree->FocusedNode(), Top(39 - rows));
    ua::PressKey(VK_PRIOR);
    EXPECT_EQ(tree->FocusedNode(), Top(39 - 2 * rows));
    ua::PressKey(VK_NEXT);
    EXPECT_EQ(tree->FocusedNode(), Top(39 - rows));
    const int offset = tree->OffsetY();
    ua::PressKey(VK_PRIOR, {ssCtrl});
    EXPECT_EQ(tree->OffsetY(), offset + tree->ClientHeight());
    EXPECT_EQ(tree->FocusedNode(), Top(39 - rows));
}

TEST_F(InputFixture, IncrementalSearchFindsAndStopsAfterOneRound) {
    const std::u16string names[] = {u"alpha", u"beta", u"gamma", u"bravo", u"delta"};
    tree->SetIncrementalSearch(TVTIncrementalSearch::isAll);
    int asked = 0;
    tree->OnIncrementalSearch = [&](T*, PVirtualNode n, const std::u16string& text, int& result) {
        ++asked;
        result = n->Parent == tree->RootNode() && names[n->Index].starts_with(text) ? 0 : 1;
    };
    ua::TypeText(u"b");
    EXPECT_EQ(tree->FocusedNode(), Top(1));
    ua::TypeText(u"r");
    EXPECT_EQ(tree->FocusedNode(), Top(3));
    // Nothing matches "brz": one round over the eight nodes, and the focus stays.
    asked = 0;
    ua::TypeText(u"z");
    EXPECT_EQ(tree->FocusedNode(), Top(3));
    EXPECT_EQ(asked, 8);
    // Backspace takes the last character back.
    ua::PressKey(VK_BACK);
    EXPECT_EQ(tree->SearchBuffer(), u"br");
    // The search ends after its timeout.
    ua::Wait(tree->IncrementalSearchTimeout() + 10);
    EXPECT_TRUE(tree->SearchBuffer().empty());
    ua::TypeText(u"d");
    EXPECT_EQ(tree->FocusedNode(), Top(4));
}

TEST_F(InputFixture, TurningTheSearchOffEndsOneUnderWay) {
    tree->SetIncrementalSearch(TVTIncrementalSearch::isAll);
    tree->OnIncrementalSearch = [&](T*, PVirtualNode, const std::u16string&, int& result) {
        result = 1;
    };
    tree->SetExpanded(first, true);
    tree->SetFocusedNode(first->FirstChild);
    ua::TypeText(u"x");
    ASSERT_EQ(tree->SearchBuffer(), u"x");
    tree->SetIncrementalSearch(TVTIncrementalSearch::isNone);
    EXPECT_TRUE(tree->SearchBuffer().empty());
    // Back is the parent key again at once, not a search key until the timeout.
    ua::PressKey(VK_BACK);
    EXPECT_EQ(tree->FocusedNode(), first);
}

TEST_F(InputFixture, SearchFromTheLastHitStartsOverOnceThatNodeIsDeleted) {
    std::map<PVirtualNode, std::u16string> names{
        {Top(0), u"alpha"}, {Top(1), u"beta"}, {Top(2), u"gamma"}, {Top(3), u"bravo"}};
    tree->SetIncrementalSearch(TVTIncrementalSearch::isAll);
    tree->SetIncrementalSearchStart(TVTSearchStart::ssLastHit);
    std::vector<PVirtualNode> asked;
    tree->OnIncrementalSearch = [&](T*, PVirtualNode n, const std::u16string& text, int& result) {
        asked.push_back(n);
        result = names.count(n) && names[n].starts_with(text) ? 0 : 1;
    };
    ua::TypeText(u"b");
    PVirtualNode beta = Top(1);
    ASSERT_EQ(tree->FocusedNode(), beta);
    ua::Wait(tree->IncrementalSearchTimeout() + 10);
    names.erase(beta);
    tree->DeleteNode(beta);
    asked.clear();
    ua::TypeText(u"g");
    EXPECT_EQ(tree->FocusedNode(), Top(1));
    ASSERT_FALSE(asked.empty());
    EXPECT_EQ(asked.front(), tree->FirstNode());
}

TEST_F(InputFixture, CheckKeyReleasedAfterItsNodeIsDeletedChangesNothing) {
    tree->TreeOptions()->SetMiscOptions(tree->TreeOptions()->MiscOptions() | toCheckSupport);
    PVirtualNode second = Top(1);
    tree->SetCheckType(second, ctCheckBox);
    tree->SetFocusedNode(second);
    int checked = 0;
    tree->OnChecked = [&](T*, PVirtualNode) { ++checked; };
    ua::KeyDown(VK_SPACE);
    EXPECT_EQ(tree->CheckState(second), csUncheckedPressed);
    tree->DeleteNode(second);
    ua::KeyUp(VK_SPACE);
    EXPECT_EQ(checked, 0);
    EXPECT_FALSE(tree->TreeStates().Contains(TVirtualTreeState::tsKeyCheckPending));
}

TEST_F(InputFixture, HitTestPositions) {
    T::THitInfo hit = tree->HitTestAt(20, 5 * 18 + 4, true);
    EXPECT_EQ(hit.HitPositions, T::hiNowhere);
    EXPECT_EQ(hit.HitNode, nullptr);
    hit = tree->HitTestAt(-3, 5, true);
    EXPECT_EQ(hit.HitPositions, T::hiToLeft);
    EXPECT_EQ(hit.HitNode, nullptr);
    hit = tree->HitTestAt(5, -3, true);
    EXPECT_EQ(hit.HitPositions, T::hiAbove);
    hit = tree->HitTestAt(9, 9, true);
    EXPECT_EQ(hit.HitNode, first);
    EXPECT_EQ(hit.HitPositions, T::hiOnItem | T::hiOnItemIndent | T::hiOnItemButton);
    hit = tree->HitTestAt(9, 18 + 9, true); // second node has no children: indent only
    EXPECT_EQ(hit.HitPositions, T::hiOnItem | T::hiOnItemIndent);
    TPoint label = RowLabel(0);
    hit = tree->HitTestAt(label.X, label.Y, true);
    EXPECT_TRUE(hit.HitPositions & T::hiOnItemLabel);
}

TEST_F(InputFixture, ClicksFocusSelectToggleAndCheck) {
    auto* o = tree->TreeOptions();
    o->SetSelectionOptions(o->SelectionOptions() | toMultiSelect);
    TPoint p = RowLabel(1);
    ua::Click(tree, p.X, p.Y);
    EXPECT_EQ(tree->FocusedNode(), Top(1));
    EXPECT_TRUE(tree->Selected(Top(1)));
    // Ctrl toggles another node in, and out again.
    TPoint q = RowLabel(3);
    ua::Click(tree, q.X, q.Y, mbLeft, {ssCtrl});
    EXPECT_EQ(tree->SelectedCount(), 2u);
    ua::Wait(1000); // not a double click
    ua::Click(tree, q.X, q.Y, mbLeft, {ssCtrl});
    EXPECT_EQ(tree->SelectedCount(), 1u);
    // Shift selects the range.
    ua::Wait(1000);
    ua::Click(tree, p.X, p.Y, mbLeft, {ssShift});
    EXPECT_EQ(tree->SelectedCount(), 3u);
    // A click on the button toggles; a double click on the label too with toToggleOnDblClick.
    ua::Click(tree, 9, 9);
    EXPECT_TRUE(tree->Expanded(first));
    o->SetMiscOptions(o->MiscOptions() | toToggleOnDblClick | toCheckSupport);
    TPoint l = RowLabel(0);
    ua::DoubleClick(tree, l.X, l.Y);
    EXPECT_FALSE(tree->Expanded(first));
    // A click on empty space clears the selection.
    ua::Click(tree, 100, 190);
    EXPECT_EQ(tree->SelectedCount(), 0u);
}

TEST_F(InputFixture, CheckBoxClickAppliesOnReleaseOverTheBox) {
    auto* o = tree->TreeOptions();
    o->SetMiscOptions(o->MiscOptions() | toCheckSupport);
    tree->SetCheckType(Top(1), ctCheckBox);
    const int boxX = tree->Indent() + tree->Margin() + 3;
    ua::MouseDown(tree, boxX, 18 + 9);
    EXPECT_EQ(tree->CheckState(Top(1)), csUncheckedPressed);
    ua::MouseUp(tree, boxX, 18 + 9);
    EXPECT_EQ(tree->CheckState(Top(1)), csCheckedNormal);
    // Released elsewhere: the pressed form reverts.
    ua::Wait(1000);
    ua::MouseDown(tree, boxX, 18 + 9);
    ua::MouseUp(tree, 200, 18 * 3 + 9);
    EXPECT_EQ(tree->CheckState(Top(1)), csCheckedNormal);
}

TEST_F(InputFixture, HotTrackingFollowsTheMouse) {
    auto* o = tree->TreeOptions();
    o->SetPaintOptions(o->PaintOptions() | toHotTrack);
    std::vector<PVirtualNode> hot;
    tree->OnHotChange = [&](T*, PVirtualNode, PVirtualNode n) { hot.push_back(n); };
    ua::MoveMouse(tree, 40, 18 * 2 + 5);
    EXPECT_EQ(tree->HotNode(), Top(2));
    ua::MoveMouse(tree, 45, 18 * 2 + 8);
    ua::MoveMouse(tree, 40, 18 * 4 + 5);
    EXPECT_EQ(hot, (std::vector<PVirtualNode>{Top(2), Top(4)}));
    ua::MoveMouse(form, 10, 10);
    ua::MoveMouse(tree, 40, 18 * 10);
    EXPECT_EQ(tree->HotNode(), nullptr);
}

TEST_F(InputFixture, AutoScrollStopsAtTheTopByItself) {
    tree->SetRootNodeCount(60);
    tree->SetOffsetY(-36);
    auto* o = tree->TreeOptions();
    o->SetSelectionOptions(o->SelectionOptions() | toMultiSelect);
    o->SetAutoOptions(o->AutoOptions() | toAutoScroll);
    tree->SetAutoScrollDelay(10);
    // A rubber band from empty space dragged to the top edge.
    ua::MouseDown(tree, 250, 100);
    ua::MoveMouse(tree, 250, 60);
    ua::MoveMouse(tree, 250, 3);
    EXPECT_EQ(tree->ScrollDirections(), T::sdUp);
    ua::Wait(200);
    EXPECT_EQ(tree->OffsetY(), 0);
    EXPECT_EQ(tree->ScrollDirections(), 0);
    EXPECT_FALSE(tree->TreeStates().Contains(TVirtualTreeState::tsScrolling));
    ua::MouseUp(tree, 250, 3);
}

TEST_F(InputFixture, HeaderTakesTheNonClientMouse) {
    TVTHeader* header = tree->Header();
    header->Columns()->Add()->SetWidth(120);
    header->Columns()->Add()->SetWidth(100);
    header->SetOptions(header->Options() | hoVisible);
    ua::Pump();
    EXPECT_EQ(tree->ClientHeight(), 200 - header->Height());
    int downs = 0;
    tree->OnHeaderMouseDown = [&](TVTHeader*, TMouseButton, TShiftState, int, int y) {
        ++downs;
        EXPECT_GE(y, 0);
    };
    TColumnIndex clicked = NoColumn;
    tree->OnHeaderClick = [&](TVTHeader*, TColumnIndex c, TMouseButton, TShiftState, int, int) {
        clicked = c;
    };
    ua::Click(tree, 150, -5);
    EXPECT_EQ(downs, 1);
    EXPECT_EQ(clicked, 1);
    // Dragging the split between the columns resizes the first.
    ua::DragMouse(tree, TPoint(120, -5), TPoint(150, -5));
    EXPECT_EQ(header->Columns()->Items(0)->Width(), 150);
}

TEST_F(InputFixture, HintModesChooseTheText) {
    tree->SetHint("the tree");
    auto ask = [&](TPoint p) {
        THintInfo info;
        info.HintControl = tree;
        info.CursorPos = p;
        LRESULT shown = tree->Perform(CM_HINTSHOW, 0, reinterpret_cast<LPARAM>(&info));
        return shown == 0 ? info.HintStr : std::string("(none)");
    };
    EXPECT_EQ(ask(TPoint(26, 27)), "the tree"); // hmDefault
    tree->SetHintMode(TVTHintMode::hmHint);
    EXPECT_EQ(ask(TPoint(26, 27)), "the tree"); // the node's hint defaults to the control's
    struct HintTree : T {
        using T::T;
        std::u16string DoGetNodeHint(PVirtualNode node, TColumnIndex) override {
            return node->Index == 1 ? u"second" : u"";
        }
    };
    auto* own = new HintTree(form);
    own->SetParent(form);
    own->SetBounds(0, 0, 300, 200);
    own->SetRootNodeCount(3);
    own->SetHint("control");
    own->SetHintMode(TVTHintMode::hmHint);
    auto askOwn = [&](TPoint p) {
        THintInfo info;
        info.CursorPos = p;
        return own->Perform(CM_HINTSHOW, 0, reinterpret_cast<LPARAM>(&info)) == 0
                   ? info.HintStr
                   : std::string("(none)");
    };
    EXPECT_EQ(askOwn(TPoint(26, 27)), "second");
    EXPECT_EQ(askOwn(TPoint(26, 9)), "(none)");
    own->SetHintMode(TVTHintMode::hmHintAndDefault);
    EXPECT_EQ(askOwn(TPoint(26, 9)), "control");
    // Tooltips only for texts the client area cuts: these labels are narrow.
    own->SetHintMode(TVTHintMode::hmTooltip);
    EXPECT_EQ(askOwn(TPoint(26, 27)), "(none)");
}

TEST_F(InputFixture, WheelPanningShowsTheDirectionCursors) {
    // The program supplies the pictures under their resource names.
    std::map<HCURSOR, std::string> names;
    for (const char* name :
         {"VT_MOVEALL", "VT_MOVEEW", "VT_MOVENS", "VT_MOVEN", "VT_MOVES", "VT_MOVEE", "VT_MOVEW",
          "VT_MOVENE", "VT_MOVENW", "VT_MOVESE", "VT_MOVESW"})
        names[RegisterCursorImage(name, 1, 1, TPoint(0, 0), {0xFF000000u})] = name;
    auto shown = [&] {
        auto it = names.find(GetCursor());
        return it == names.end() ? std::string("other") : it->second;
    };
    const HCURSOR before = LoadCursor(nullptr, IDC_ARROW);
    epc::SetCursor(before);
    tree->SetRootNodeCount(60); // taller than the window, not wider
    ua::MouseDown(tree, 150, 100, mbMiddle);
    ASSERT_TRUE(tree->TreeStates().Contains(TVirtualTreeState::tsWheelPanning));
    EXPECT_EQ(shown(), "VT_MOVENS");
    // Within eight pixels nothing changes; beyond them the compass direction.
    ua::MoveMouse(tree, 158, 92);
    EXPECT_EQ(shown(), "VT_MOVENS");
    ua::MoveMouse(tree, 150, 91);
    EXPECT_EQ(shown(), "VT_MOVEN");
    ua::MoveMouse(tree, 159, 109);
    EXPECT_EQ(shown(), "VT_MOVESE");
    ua::MoveMouse(tree, 141, 109);
    EXPECT_EQ(shown(), "VT_MOVESW");
    ua::MoveMouse(tree, 141, 100);
    EXPECT_EQ(shown(), "VT_MOVEW");
    ua::MoveMouse(tree, 159, 91);
    EXPECT_EQ(shown(), "VT_MOVENE");
    // A second press ends panning and gives the cursor back.
    ua::MouseDown(tree, 159, 91, mbMiddle);
    EXPECT_FALSE(tree->TreeStates().Contains(TVirtualTreeState::tsWheelPanning));
    EXPECT_EQ(GetCursor(), before);
    ua::MouseUp(tree, 159, 91, mbMiddle);
}

TEST_F(InputFixture, WheelPanningIndicatorScrollsUntilAClickKeyOrFocusLoss) {
    auto* other = new TBaseVirtualTree(form);
    other->SetParent(form);
    other->SetBounds(0, 190, 20, 10);
    tree->SetRootNodeCount(60); // taller than the window, not wider
    auto panning = [&] { return tree->TreeStates().Contains(TVirtualTreeState::tsWheelPanning); };
    auto indicators = [&] {
        std::vector<HWND> found;
        for (HWND h : GetChildWindows(tree->Handle()))
            if (GetClassName(h) == "TPanningIndicator") found.push_back(h);
        return found;
    };
    for (int ending = 0; ending < 3; ++ending) {
        tree->SetFocus();
        tree->SetFocusedNode(Top(2));
        tree->SetOffsetY(0);
        ua::Wait(1000); // not a double click
        ua::MouseDown(tree, 150, 100, mbMiddle);
        ua::MouseUp(tree, 150, 100, mbMiddle);
        ASSERT_TRUE(panning()) << ending;
        const std::vector<HWND> shown = indicators();
        ASSERT_EQ(shown.size(), 1u);
        // A 32 x 32 window centred on the press point.
        RECT r;
        GetWindowRect(shown[0], &r);
        const TPoint origin = ua::ScreenPoint(tree, TPoint(150, 100));
        EXPECT_EQ(r, TRect(origin.X - 16, origin.Y - 16, origin.X + 16, origin.Y + 16));
        // It shows the picture's outline (the middle dot) over the tree's colour.
        TWindowPixels pixels = ua::ClientPixels(tree);
        EXPECT_EQ(pixels.Color(149, 99), RGB(0, 0, 0));
        EXPECT_EQ(pixels.Color(134, 84), ColorToRGB(tree->Color()));
        // Held below the origin, the mouse scrolls the tree down on the timer.
        ua::MoveMouse(tree, 150, 140);
        ua::Wait(100);
        EXPECT_LT(tree->OffsetY(), 0);
        switch (ending) {
        case 0:
            ua::Click(tree, 150, 140);
            break;
        case 1:
            ua::PressKey(VK_DOWN);
            // The key only ended panning.
            EXPECT_EQ(tree->FocusedNode(), Top(2));
            break;
        default:
            other->SetFocus();
            ua::Pump();
        }
        EXPECT_FALSE(panning()) << ending;
        EXPECT_TRUE(indicators().empty()) << ending;
        EXPECT_EQ(GetCapture(), nullptr) << ending;
        // No more scrolling once it ended.
        const int offset = tree->OffsetY();
        ua::Wait(100);
        EXPECT_EQ(tree->OffsetY(), offset) << ending;
    }
}

TEST_F(InputFixture, ContextMenuKeyPopsTheNodesMenuUpAtItsText) {
    // Node texts wider than the window: the point is the middle of the part that shows.
    struct TWide : TBaseVirtualTree {
        using TBaseVirtualTree::TBaseVirtualTree;
        int DoGetNodeWidth(PVirtualNode, TColumnIndex) override { return 1000; }
    };
    auto* wide = new TWide(form);
    wide->SetParent(form);
    wide->SetBorderStyle(bsNone);
    wide->SetBounds(0, 0, 300, 200);
    wide->SetRootNodeCount(5);
    wide->SetChildCount(wide->FirstNode(), 2);
    // Focusing leaves the text where it is rather than scrolling its start into view.
    auto* o = wide->TreeOptions();
    o->SetAutoOptions(o->AutoOptions() | toDisableAutoscrollOnFocus);
    wide->SetFocus();
    TPopupMenu menu(form);
    std::vector<PVirtualNode> asked;
    wide->OnGetPopupMenu = [&](TBaseVirtualTree*, PVirtualNode node, TColumnIndex, TPoint,
                               bool& askParent, TPopupMenu*& popup) {
        asked.push_back(node);
        // Children have none of their own: their parent's menu shows.
        if (node->Parent == wide->RootNode()) popup = &menu;
        askParent = true;
    };
    PVirtualNode parent = wide->FirstNode();
    wide->SetExpanded(parent, true);
    PVirtualNode child = parent->FirstChild->NextSibling;
    wide->SetFocusedNode(child);
    ua::Pump();
    ua::PressKey(VK_APPS);
    ASSERT_EQ(OpenPopupMenu(), &menu);
    EXPECT_EQ(asked, (std::vector<PVirtualNode>{child, parent}));
    const int left = wide->DisplayRect(child, NoColumn, true).Left;
    ASSERT_GT(left, 0);
    // The third row (36 to 54), the text from its indent to the window's right edge.
    EXPECT_EQ(menu.PopupPoint(), ua::ScreenPoint(wide, TPoint((left + 300) / 2, 45)));
    EXPECT_EQ(menu.PopupComponent(), wide);
    CloseMenu();
    // Without a menu from the event nothing opens, and without a focused node nothing is asked.
    wide->OnGetPopupMenu = nullptr;
    ua::PressKey(VK_APPS);
    EXPECT_EQ(OpenPopupMenu(), nullptr);
    wide->SetFocusedNode(nullptr);
    asked.clear();
    wide->OnGetPopupMenu = [&](TBaseVirtualTree*, PVirtualNode node, TColumnIndex, TPoint, bool&,
                               TPopupMenu*&) { asked.push_back(node); };
    ua::PressKey(VK_APPS);
    EXPECT_TRUE(asked.empty());
}

TEST_F(InputFixture, TabMovesTheFocusOverTheColumnsAndRows) {
    auto* columns = tree->Header()->Columns();
    for (int i = 0; i < 3; ++i)
        columns->Add();
    tree->SetWantTabs(true);
    auto* o = tree->TreeOptions();
    o->SetSelectionOptions(o->SelectionOptions() | toExtendedFocus);
    tree->SetFocusedNode(Top(1));
    tree->SetFocusedColumn(0);
    ua::PressKey(VK_TAB);
    EXPECT_EQ(tree->FocusedColumn(), 1);
    ua::PressKey(VK_TAB);
    EXPECT_EQ(tree->FocusedColumn(), 2);
    // The row is exhausted: the next visible node's first column.
    ua::PressKey(VK_TAB);
    EXPECT_EQ(tree->FocusedNode(), Top(2));
    EXPECT_EQ(tree->FocusedColumn(), 0);
    ua::PressKey(VK_TAB, {ssShift});
    EXPECT_EQ(tree->FocusedNode(), Top(1));
    EXPECT_EQ(tree->FocusedColumn(), 2);
    // A refused cell is passed over.
    tree->OnFocusChanging = [](T*, PVirtualNode, PVirtualNode, TColumnIndex, TColumnIndex column,
                               bool& allowed) { allowed = column != 1; };
    ua::PressKey(VK_TAB, {ssShift});
    EXPECT_EQ(tree->FocusedColumn(), 0);
    EXPECT_EQ(tree->FocusedNode(), Top(1));
    // Refusing everything leaves the focus where it is.
    tree->OnFocusChanging = [](T*, PVirtualNode, PVirtualNode, TColumnIndex, TColumnIndex,
                               bool& allowed) { allowed = false; };
    ua::PressKey(VK_TAB);
    EXPECT_EQ(tree->FocusedNode(), Top(1));
    EXPECT_EQ(tree->FocusedColumn(), 0);
}

TEST_F(InputFixture, F1AsksTheNodeThenItsAncestorsThenTheControls) {
    std::vector<intptr_t> opened;
    Application->OnHelp = [&](Word, intptr_t data, bool& callHelp) {
        opened.push_back(data);
        callHelp = false;
        return true;
    };
    auto restore = Finally([] { Application->OnHelp = nullptr; });
    tree->SetExpanded(first, true);
    tree->SetFocusedNode(first->FirstChild);
    std::vector<PVirtualNode> asked;
    tree->OnGetHelpContext = [&](T*, PVirtualNode n, TColumnIndex, THelpContext& context) {
        asked.push_back(n);
        if (n == first) context = 42;
    };
    ua::PressKey(VK_F1);
    EXPECT_EQ(asked, (std::vector<PVirtualNode>{first->FirstChild, first}));
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0], 42);
    // Without the handler the first non-zero context of the tree and its parents.
    tree->OnGetHelpContext = nullptr;
    form->SetHelpContext(55);
    ua::PressKey(VK_F1);
    ASSERT_EQ(opened.size(), 2u);
    EXPECT_EQ(opened[1], 55);
}

namespace {

// A link without an editor window that counts its edits and its own lifetime.
struct TCountingLink : IVTEditLink {
    explicit TCountingLink(int& alive) : Alive(alive) { ++Alive; }
    ~TCountingLink() override { --Alive; }
    bool BeginEdit() override { return true; }
    bool CancelEdit() override { return true; }
    bool EndEdit() override { return true; }
    TRect GetBounds() override { return {}; }
    bool PrepareEdit(TBaseVirtualTree*, PVirtualNode, TColumnIndex) override { return true; }
    void ProcessMessage(TMessage&) override {}
    void SetBounds(TRect) override {}
    int& Alive;
};

} // namespace

TEST_F(InputFixture, SecondClickOnTheFocusedLabelEditsAfterTheDelay) {
    auto* o = tree->TreeOptions();
    o->SetMiscOptions(o->MiscOptions() | toEditable);
    tree->SetEditDelay(500);
    int alive = 0;
    tree->OnCreateEditor = [&](TBaseVirtualTree*, PVirtualNode, TColumnIndex,
                               std::unique_ptr<IVTEditLink>& link) {
        link = std::make_unique<TCountingLink>(alive);
    };
    bool allow = true;
    tree->OnEditing = [&](TBaseVirtualTree*, PVirtualNode, TColumnIndex, bool& allowed) {
        allowed = allow;
    };
    const TPoint p = RowLabel(1);
    // The first click only focuses.
    ua::Click(tree, p.X, p.Y);
    ASSERT_EQ(tree->FocusedNode(), Top(1));
    ua::Wait(1000);
    EXPECT_FALSE(tree->IsEditing());
    // The second one edits, but only once the delay has passed.
    ua::Click(tree, p.X, p.Y);
    ua::Wait(400);
    EXPECT_FALSE(tree->IsEditing());
    ua::Wait(200);
    EXPECT_TRUE(tree->IsEditing());
    EXPECT_EQ(alive, 1);
    // The ended link is released by a message once the edit is over.
    ASSERT_TRUE(tree->EndEditNode());
    EXPECT_FALSE(tree->IsEditing());
    ua::Pump();
    EXPECT_EQ(alive, 0);

    // Refused by the edit-allowed notification: no edit.
    allow = false;
    ua::Wait(1000);
    ua::Click(tree, p.X, p.Y);
    ua::Wait(1000);
    EXPECT_FALSE(tree->IsEditing());
    // A click on another node, or outside the label of the focused one, does not edit either.
    allow = true;
    const TPoint q = RowLabel(2);
    ua::Click(tree, q.X, q.Y);
    ua::Wait(1000);
    EXPECT_FALSE(tree->IsEditing());
    ua::Click(tree, 280, q.Y);
    ua::Wait(1000);
    EXPECT_FALSE(tree->IsEditing());
    // A double click on the focused node toggles rather than edits.
    ua::DoubleClick(tree, q.X, q.Y);
    ua::Wait(1000);
    EXPECT_FALSE(tree->IsEditing());
    // A cancelled edit releases its link too.
    ua::Click(tree, q.X, q.Y);
    ua::Wait(1000);
    ASSERT_TRUE(tree->IsEditing());
    EXPECT_TRUE(tree->CancelEditNode());
    ua::Pump();
    EXPECT_EQ(alive, 0);
}

TEST_F(InputFixture, ColumnClicksAndDoubleClicksInTheCells) {
    TVTHeader* header = tree->Header();
    header->Columns()->Add()->SetWidth(120);
    header->Columns()->Add()->SetWidth(100);
    std::vector<std::pair<TColumnIndex, bool>> clicks; // column, shift held
    tree->OnColumnClick = [&](T*, TColumnIndex c, TShiftState shift) {
        clicks.push_back({c, shift.Contains(ssShift)});
    };
    std::vector<TColumnIndex> doubles;
    tree->OnColumnDblClick = [&](T*, TColumnIndex c, TShiftState) { doubles.push_back(c); };
    ua::Click(tree, 150, 27);
    ua::Click(tree, 30, 45, mbLeft, {ssShift});
    EXPECT_EQ(clicks, (std::vector<std::pair<TColumnIndex, bool>>{{1, false}, {0, true}}));
    // Pressed in one column, released in another: no click.
    ua::MouseDown(tree, 150, 27);
    ua::MouseUp(tree, 30, 27);
    EXPECT_EQ(clicks.size(), 2u);
    // Right of the columns there is no column to click.
    ua::Click(tree, 260, 27);
    EXPECT_EQ(clicks.size(), 2u);
    ua::DoubleClick(tree, 150, 9);
    EXPECT_EQ(doubles, (std::vector<TColumnIndex>{1}));
}

TEST_F(InputFixture, CursorOverHotNodesAndFromOnGetCursor) {
    auto* o = tree->TreeOptions();
    o->SetPaintOptions(o->PaintOptions() | toHotTrack);
    tree->SetHotCursor(crHandPoint);
    const HCURSOR hand = Screen->Cursors(crHandPoint);
    ua::MoveMouse(tree, 30, 27);
    EXPECT_EQ(GetCursor(), hand);
    // Below the last row: no hot node, the tree's own cursor.
    tree->SetCursor(crIBeam);
    ua::MoveMouse(tree, 30, 190);
    EXPECT_EQ(GetCursor(), Screen->Cursors(crIBeam));
    // OnGetCursor has the last word.
    TCursor offered = crNone;
    tree->OnGetCursor = [&](T*, TCursor& cursor) {
        offered = cursor;
        cursor = crCross;
    };
    ua::MoveMouse(tree, 30, 45);
    EXPECT_EQ(offered, crHandPoint);
    EXPECT_EQ(GetCursor(), Screen->Cursors(crCross));
    // Without hot tracking the hot cursor is not used.
    o->SetPaintOptions(o->PaintOptions() - toHotTrack);
    ua::MoveMouse(tree, 30, 9);
    EXPECT_EQ(offered, crIBeam);
}

TEST_F(InputFixture, EscapeGivesUpAColumnDrag) {
    TVTHeader* header = tree->Header();
    for (int w : {100, 100, 100})
        header->Columns()->Add()->SetWidth(w);
    header->SetOptions(header->Options() | hoVisible);
    ua::Pump();
    int dragged = 0;
    tree->OnHeaderDragged = [&](TVTHeader*, TColumnIndex, int) { ++dragged; };
    tree->SetFocus();
    ua::MouseDown(tree, 250, -5);
    ua::MoveMouse(tree, 200, -5);
    ua::MoveMouse(tree, 40, -5);
    ASSERT_EQ(header->State(), TVTHeader::TState::Dragging);
    ASSERT_TRUE(header->DragImage()->Visible());
    ua::PressKey(VK_ESCAPE);
    EXPECT_EQ(header->State(), TVTHeader::TState::Idle);
    EXPECT_FALSE(header->DragImage()->Visible());
    EXPECT_NE(GetCapture(), tree->Handle());
    ua::MoveMouse(tree, 30, -5);
    ua::MouseUp(tree, 30, -5);
    EXPECT_EQ(dragged, 0);
    EXPECT_EQ(header->Columns()->PositionToIndex(), (std::vector<TColumnIndex>{0, 1, 2}));
}

TEST_F(InputFixture, PaintEventsBracketThePaint) {
    std::vector<std::string> order;
    tree->OnBeforePaint = [&](T*, TCanvas* canvas) {
        order.push_back("before");
        EXPECT_EQ(canvas, tree->Canvas());
    };
    tree->OnAfterCellPaint = [&](T*, TCanvas*, PVirtualNode, TColumnIndex, const TRect&) {
        if (order.size() == 1) order.push_back("cell");
    };
    tree->OnAfterPaint = [&](T*, TCanvas*) { order.push_back("after"); };
    tree->Invalidate();
    ua::Pump();
    EXPECT_EQ(order, (std::vector<std::string>{"before", "cell", "after"}));
}

TEST_F(InputFixture, ClicksFindLabelsPlacedByAlignmentAndReadingOrder) {
    // One column over the whole width, its labels against the right edge: a label of
    // 2 x TextMargin pixels ends at 300 - Margin.
    TVirtualTreeColumn* column = tree->Header()->Columns()->Add();
    column->SetWidth(300);
    column->SetAlignment(taRightJustify);
    const int labelRight = 300 - tree->Margin();
    // Where a left-aligned label would be, nothing is hit.
    ua::Click(tree, RowLabel(1).X, 27);
    EXPECT_FALSE(tree->Selected(Top(1)));
    ua::Click(tree, labelRight - 3, 27);
    EXPECT_TRUE(tree->Selected(Top(1)));
    EXPECT_EQ(tree->HitTestAt(labelRight - 3, 27, true).HitPositions,
              T::hiOnItem | T::hiOnItemLabel);
    EXPECT_EQ(tree->HitTestAt(200, 27, true).HitPositions, T::hiOnItem | T::hiOnItemLeft);
    // Right to left: the row is mirrored, so the left-aligned label hangs from the right
    // edge and the indentation (with the button of the first node) lies at the right.
    column->SetAlignment(taLeftJustify);
    column->SetBiDiMode(bdRightToLeft);
    const int mirroredLabel = 300 - RowLabel(1).X;
    ua::Click(tree, mirroredLabel, 45);
    EXPECT_TRUE(tree->Selected(Top(2)));
    EXPECT_EQ(tree->HitTestAt(mirroredLabel, 45, true).HitPositions,
              T::hiOnItem | T::hiOnItemLabel);
    EXPECT_TRUE(tree->HitTestAt(295, 9, true).HitPositions & T::hiOnItemButton);
    EXPECT_EQ(tree->HitTestAt(100, 45, true).HitPositions, T::hiOnItem | T::hiOnItemLeft);
    ua::Click(tree, 295, 9);
    EXPECT_TRUE(tree->Expanded(first));
}

TEST_F(InputFixture, AcceptingOLEDropsFollowsTheOptionLive) {
    HWND h = tree->Handle();
    ASSERT_NE(GetRegisteredDropTarget(h), nullptr);
    auto* o = tree->TreeOptions();
    o->SetMiscOptions(o->MiscOptions() - toAcceptOLEDrop);
    EXPECT_EQ(GetRegisteredDropTarget(h), nullptr);
    o->SetMiscOptions(o->MiscOptions() | toAcceptOLEDrop);
    EXPECT_NE(GetRegisteredDropTarget(h), nullptr);
    EXPECT_EQ(tree->Handle(), h); // the window stayed
}
