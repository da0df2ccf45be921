// The tree as a person drives it: clicks, keys, drags and window sizes reach it as window
// messages, and what it shows and holds afterwards is checked.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TreeTestSupport.h"
#include "components/tree/TreeViewEx.h"
#include "components/tree/VirtualDrawTree.h"
#include "components/tree/VirtualStringTree.h"
#include "platform/context/PlatformContext.h"
#include "platform/controls/Forms.h"
#include "platform/graphics/Bitmap.h"
#include "platform/testing/UserActions.h"
#include "platform/windows/Window.h"

using namespace epc;
using namespace epc::tree_options;
namespace ua = epc::testing;
using T = TBaseVirtualTree;
using S = TVirtualTreeState;

namespace {

// A shown string tree of ten top-level rows "Node 0" ... "Node 9", 18 pixels high, on a
// borderless form; the first row has two children "Child 0" and "Child 1".
struct DrivenFixture : ::testing::Test {
    TPlatformContext Context; // one per case: its end frees what the case leaves
    TForm* form = nullptr;
    TVirtualStringTree* tree = nullptr;
    void SetUp() override {
        form = ua::NewTreeForm();
        tree = NewTree(TPoint(0, 0));
        ua::ShowForm(form);
        tree->SetFocus();
        ua::Pump();
    }
    void TearDown() override { FreeComponent(form); }
    TVirtualStringTree* NewTree(TPoint at) {
        auto* t = new TVirtualStringTree(form);
        t->SetParent(form);
        t->SetBorderStyle(bsNone);
        t->SetBounds(at.X, at.Y, 150, 200);
        t->OnGetText = [](T* sender, PVirtualNode node, TColumnIndex, TVSTTextType,
                          std::u16string& text) {
            const bool child = sender->NodeLevel(node) > 0;
            std::string s = (child ? "Child " : "Node ") + std::to_string(node->Index);
            text.assign(s.begin(), s.end());
        };
        t->SetRootNodeCount(10);
        t->SetChildCount(t->FirstNode(), 2);
        return t;
    }
    void Multi(TBaseVirtualTree* t) {
        auto* o = t->TreeOptions();
        o->SetSelectionOptions(o->SelectionOptions() | toMultiSelect);
    }
    PVirtualNode Top(int i) {
        PVirtualNode n = tree->FirstNode();
        while (i-- > 0)
            n = tree->NextSiblingOf(n);
        return n;
    }
    // Clicks the label of the row-th visible row (of a node at the given level).
    void ClickRow(int row, TShiftState shift = {}, int level = 0) {
        ua::Click(tree, (level + 1) * int(tree->Indent()) + tree->Margin() + 8, row * 18 + 9,
                  mbLeft, shift);
    }
    std::vector<Cardinal> SelectedTops() {
        std::vector<Cardinal> result;
        for (PVirtualNode n = tree->FirstSelectedNode(); n; n = tree->NextSelectedNode(n))
            result.push_back(n->Index);
        return result;
    }
};

using Indices = std::vector<Cardinal>;

} // namespace

// ---- Construction, sizes and selection

TEST_F(DrivenFixture, WithoutMultiSelectModifiedClicksKeepOneSelectedNode) {
    ClickRow(2);
    EXPECT_EQ(SelectedTops(), Indices{2});
    ClickRow(5, {ssCtrl});
    EXPECT_EQ(SelectedTops(), Indices{5});
    ClickRow(7, {ssShift});
    EXPECT_EQ(SelectedTops(), Indices{7});
    ClickRow(3, {ssShift, ssCtrl});
    EXPECT_EQ(SelectedTops(), Indices{3});
    // Keys with modifiers too.
    ua::PressKey(VK_DOWN, {ssShift});
    EXPECT_EQ(SelectedTops(), Indices{4});
    ua::PressKey(VK_END, {ssShift});
    EXPECT_EQ(SelectedTops(), Indices{9});
    // And the code's way: selecting a second node lets the first go.
    tree->SetSelected(Top(1), true);
    EXPECT_EQ(SelectedTops(), Indices{1});
    EXPECT_EQ(tree->SelectedCount(), 1u);
}

TEST_F(DrivenFixture, RemovingSelectedChildrenPacksTheSelection) {
    Multi(tree);
    PVirtualNode parent = Top(0);
    ua::PressKey(VK_DOWN);  // focus the first row
    ua::PressKey(VK_RIGHT); // expand it: the children are rows 1 and 2
    ClickRow(1, {}, 1);
    ClickRow(2, {ssCtrl}, 1);
    ClickRow(5, {ssCtrl}); // "Node 3"
    ASSERT_EQ(tree->SelectedCount(), 3u);
    tree->DeleteNode(parent);
    EXPECT_EQ(tree->SelectedCount(), 1u);
    ASSERT_NE(tree->FirstSelectedNode(), nullptr);
    EXPECT_EQ(tree->FirstSelectedNode()->Index, 2u); // "Node 3" moved up
    // Deleting the children of the only selected node's parent leaves nothing selected.
    PVirtualNode top = tree->FirstNode();
    tree->SetChildCount(top, 3);
    tree->SetExpanded(top, true);
    ua::Pump();
    ClickRow(2, {}, 1);
    ASSERT_EQ(tree->SelectedCount(), 1u);
    tree->DeleteChildren(top);
    EXPECT_EQ(tree->SelectedCount(), 0u);
    EXPECT_EQ(tree->FirstSelectedNode(), nullptr);
}

TEST_F(DrivenFixture, TheSelectionCountLeavesOutNodesRemovedInsideAnUpdate) {
    Multi(tree);
    ClickRow(2);
    ClickRow(4, {ssCtrl});
    ClickRow(6, {ssCtrl});
    ASSERT_EQ(tree->SelectedCount(), 3u);
    tree->BeginUpdate();
    tree->DeleteNode(Top(4));
    EXPECT_EQ(tree->SelectedCount(), 2u);
    tree->SetSelected(Top(2), false);
    EXPECT_EQ(tree->SelectedCount(), 1u);
    tree->EndUpdate();
    EXPECT_EQ(SelectedTops(), Indices{5}); // "Node 6" moved up
    // The last one going inside an update empties the selection there and then: the range
    // anchor falls back to the focused node.
    ClickRow(1);
    ClickRow(3, {ssShift});
    ASSERT_EQ(SelectedTops(), (Indices{1, 2, 3}));
    ASSERT_EQ(tree->RangeAnchor(), Top(1));
    tree->BeginUpdate();
    for (int i : {1, 2, 3})
        tree->SetSelected(Top(i), false);
    EXPECT_EQ(tree->SelectedCount(), 0u);
    EXPECT_EQ(tree->RangeAnchor(), Top(3));
    tree->EndUpdate();
    EXPECT_EQ(tree->FirstSelectedNode(), nullptr);
}

// ---- Messages and keys

TEST_F(DrivenFixture, ShiftWithPageAndJumpKeysFlipsTheRangeAndKeepsTheRest) {
    Multi(tree);
    tree->SetRootNodeCount(0);
    tree->SetRootNodeCount(10);
    ua::Pump();
    ClickRow(2);
    ClickRow(5, {ssCtrl});
    ASSERT_EQ(SelectedTops(), (Indices{2, 5}));
    ua::PressKey(VK_END, {ssShift});
    EXPECT_EQ(SelectedTops(), (Indices{2, 5, 6, 7, 8, 9}));
    EXPECT_EQ(tree->FocusedNode(), Top(9));
    // Back to the top: everything passed over flips, the row left keeps its state.
    ua::PressKey(VK_HOME, {ssShift});
    EXPECT_EQ(SelectedTops(), (Indices{0, 1, 3, 4, 9}));
    // Page keys flip what they pass over too (the window is 200 high: eleven rows a page).
    ua::PressKey(VK_NEXT, {ssShift});
    EXPECT_EQ(tree->FocusedNode(), Top(9));
    EXPECT_EQ(SelectedTops(), (Indices{0, 2, 5, 6, 7, 8, 9}));
    ua::PressKey(VK_PRIOR, {ssShift});
    EXPECT_EQ(SelectedTops(), (Indices{0, 1, 3, 4, 9}));
    // Without Shift the selection is the focused node alone again.
    ua::PressKey(VK_DOWN);
    EXPECT_EQ(SelectedTops(), Indices{1});
}

TEST_F(DrivenFixture, ShiftWithArrowsExtendsFromTheAnchorAndKeepsTheRest) {
    Multi(tree);
    tree->SetRootNodeCount(0);
    tree->SetRootNodeCount(10);
    ua::Pump();
    ClickRow(2);
    ClickRow(5, {ssCtrl});
    ua::PressKey(VK_DOWN, {ssShift});
    ua::PressKey(VK_DOWN, {ssShift});
    EXPECT_EQ(SelectedTops(), (Indices{2, 5, 6, 7}));
    // Back towards the anchor the rows left go again; node 2 stays throughout.
    ua::PressKey(VK_UP, {ssShift});
    EXPECT_EQ(SelectedTops(), (Indices{2, 5, 6}));
    ua::PressKey(VK_UP, {ssShift});
    ua::PressKey(VK_UP, {ssShift});
    EXPECT_EQ(SelectedTops(), (Indices{2, 4, 5}));
}

TEST_F(DrivenFixture, SpaceIsTypedIntoTheSearchUnlessItChecksANode) {
    tree->SetIncrementalSearch(TVTIncrementalSearch::isAll);
    tree->OnGetText = [](T*, PVirtualNode node, TColumnIndex, TVSTTextType, std::u16string& text) {
        static const char16_t* const texts[] = {u"apple", u"cherry2", u"cherry 2", u"plum"};
        text = texts[node->Index % 4];
    };
    tree->SetRootNodeCount(0);
    tree->SetRootNodeCount(4);
    ua::Pump();
    ua::TypeText(u"cherry 2");
    ASSERT_NE(tree->FocusedNode(), nullptr);
    EXPECT_EQ(tree->FocusedNode()->Index, 2u);
    ua::Wait(2000); // the search times out
    // Check support alone does not make space a check key: the focused node needs a check type.
    auto* o = tree->TreeOptions();
    o->SetMiscOptions(o->MiscOptions() | toCheckSupport);
    ua::PressKey(VK_HOME);
    ua::TypeText(u"cherry 2");
    EXPECT_EQ(tree->FocusedNode()->Index, 2u);
    ua::Wait(2000);
    // On a node with a check box, space checks it and searches nothing.
    tree->SetCheckType(Top(2), ctCheckBox);
    ua::PressKey(VK_SPACE);
    EXPECT_EQ(tree->CheckState(Top(2)), csCheckedNormal);
    EXPECT_EQ(tree->FocusedNode(), Top(2));
}

TEST_F(DrivenFixture, AFrameworkDropLeavesTheTargetFreeToShowHints) {
    TVirtualStringTree* b = NewTree(TPoint(150, 0));
    ua::Pump();
    tree->SetDragType(TVTDragType::dtVCL);
    tree->OnDragAllowed = [](T*, PVirtualNode, TColumnIndex, bool& allowed) { allowed = true; };
    int drops = 0;
    b->OnDragDrop = [&](T*, TObject*, IDataObject*, const std::vector<uint32_t>&, TShiftState,
                        TPoint, uint32_t&, TVTDropMode) { ++drops; };
    b->SetHint("the other tree");
    b->SetShowHint(true);
    auto hintOfB = [&] {
        THintInfo info;
        info.CursorPos = TPoint(30, 9);
        return b->Perform(CM_HINTSHOW, 0, reinterpret_cast<LPARAM>(&info)) == 0
                   ? info.HintStr
                   : std::string("(none)");
    };
    ASSERT_EQ(hintOfB(), "the other tree");
    const int label = int(tree->Indent()) + tree->Margin() + 8;
    ua::DragMouse(tree, TPoint(label, 18 + 9), TPoint(150 + label, 9), 6);
    ASSERT_EQ(drops, 1);
    EXPECT_FALSE(b->TreeStates().Contains(S::tsVCLDragging));
    EXPECT_FALSE(tree->TreeStates().Contains(S::tsVCLDragging));
    EXPECT_EQ(hintOfB(), "the other tree");
}

// ---- Header and columns

namespace {

// Three columns of 100, 100 and 200 pixels under a shown header; the window is 300 wide.
struct HeaderFixture : DrivenFixture {
    void SetUp() override {
        DrivenFixture::SetUp();
        tree->SetBounds(0, 0, 300, 200);
        tree->SetRootNodeCount(3); // no vertical bar
        TVTHeader* header = tree->Header();
        header->SetBackground(clSilver);
        for (int w : {100, 100, 200})
            header->Columns()->Add()->SetWidth(w);
        header->SetOptions(header->Options() | hoVisible);
        ua::Pump();
        ASSERT_EQ(tree->ClientWidth(), 300);
    }
    // Whether the header's picture has a button edge (anything but the face) at x.
    static bool EdgeAt(const std::vector<COLORREF>& row, int x) {
        return row[size_t(x)] != ColorToRGB(clSilver);
    }
};

} // namespace

TEST_F(HeaderFixture, ScrolledSidewaysTheHeaderMovesWithTheCells) {
    tree->SetOffsetX(-100);
    ASSERT_EQ(tree->OffsetX(), -100);
    ua::Pump();
    const int height = tree->Header()->Height();
    // The header's own hit test: column 1 under x 0..99, column 2 from 100.
    TColumnIndex clicked = NoColumn;
    tree->OnHeaderClick = [&](TVTHeader*, TColumnIndex c, TMouseButton, TShiftState, int, int) {
        clicked = c;
    };
    ua::Click(tree, 50, -height / 2);
    EXPECT_EQ(clicked, 1);
    // On the screen: column 1's edges at 0 and 99, column 2's at 100 and 299; inside the face.
    std::vector<COLORREF> shown;
    const TWindowPixels window = ua::WindowPixels(tree);
    for (int x = 0; x < 300; ++x)
        shown.push_back(window.Color(x, height / 2));
    for (int x : {0, 99, 100, 299})
        EXPECT_TRUE(EdgeAt(shown, x)) << x;
    for (int x : {50, 150, 199, 250})
        EXPECT_FALSE(EdgeAt(shown, x)) << x;
    // Printing takes the same picture.
    TBitmap picture(300, height + tree->ClientHeight(), pf32bit);
    SendMessage(tree->Handle(), WM_PRINT, WPARAM(picture.Canvas()->Handle()), PRF_CLIENT);
    std::vector<COLORREF> printed;
    for (int x = 0; x < 300; ++x)
        printed.push_back(ColorToRGB(picture.Canvas()->Pixels(x, height / 2)));
    EXPECT_EQ(printed, shown);
}

TEST_F(HeaderFixture, TheAutoSizeColumnGivesTheRestToTheNextColumn) {
    TVTHeader* header = tree->Header();
    TVirtualTreeColumns* columns = header->Columns();
    for (TColumnIndex c : {0, 1, 2})
        columns->Items(c)->SetWidth(60);
    header->SetAutoSizeIndex(1);
    header->SetOptions(header->Options() | hoAutoResize);
    const int client = tree->ClientWidth();
    EXPECT_EQ(columns->Items(1)->Width(), client - 120);
    // Setting the auto-size column's width: the next visible column takes the rest.
    columns->Items(1)->SetWidth(100);
    EXPECT_EQ(columns->Items(1)->Width(), 100);
    EXPECT_EQ(columns->Items(2)->Width(), client - 160);
    EXPECT_EQ(columns->Items(2)->Left(), 160);
    // By the mouse: its right edge follows the drag.
    const int y = -header->Height() / 2;
    ua::DragMouse(tree, TPoint(159, y), TPoint(139, y));
    EXPECT_EQ(columns->Items(1)->Width(), 80);
    EXPECT_EQ(columns->Items(2)->Width(), client - 140);
    // A column before it still makes the auto-size column give way.
    columns->Items(0)->SetWidth(40);
    EXPECT_EQ(columns->Items(1)->Width(), client - 40 - columns->Items(2)->Width());
}

// ---- Sizes, scroll bars and the horizontal range

namespace {

// The client size agrees with the bars, and each bar is shown exactly when its range needs it.
void ExpectSettledBars(TBaseVirtualTree& tree) {
    HWND h = tree.Handle();
    const bool horizontal = IsScrollBarVisible(h, SB_HORZ);
    const bool vertical = IsScrollBarVisible(h, SB_VERT);
    EXPECT_EQ(vertical, tree.RangeY() > tree.ClientHeight())
        << tree.RangeY() << " high in " << tree.ClientHeight();
    EXPECT_EQ(horizontal, tree.RangeX() > tree.ClientWidth())
        << tree.RangeX() << " wide in " << tree.ClientWidth();
}

} // namespace

TEST(TreeViewExSizing, ExpandingBranchesThatBringTheBarsSettles) {
    TPlatformContext context;
    TForm* form = ua::NewTreeForm();
    auto* tree = new TTreeViewEx(form);
    tree->SetParent(form);
    tree->SetBounds(0, 0, 165, 221);
    ua::ShowForm(form);
    const auto add = [&](PVirtualNode parent, const std::string& text) {
        return tree->AddTextNode(parent, TVTNodeAttachMode::amAddChildLast, text, 0, false, false,
                                 -1, false);
    };
    // Short captions make rows of one line; the last row holds one word of 80 letters, wider
    // than the window. The leaves between the branches are as many as put that last row's top
    // within the height the horizontal bar takes.
    PVirtualNode probe = add(nullptr, "x");
    tree->UpdateNodeHeights();
    const int row = int(tree->NodeHeight(probe));
    tree->DeleteNode(probe);
    const int clientHeight = tree->ClientHeight();
    const int barHeight = GetSystemMetrics(SM_CYHSCROLL);
    const int above = (clientHeight - barHeight + row - 1) / row; // rows above the wide one
    ASSERT_LT(above * row, clientHeight);
    ASSERT_GE(above, 6);
    PVirtualNode a = add(nullptr, "Branch A");
    add(a, "One");
    add(a, "Two");
    for (int i = 0; i < above - 5; ++i)
        add(nullptr, "Leaf " + std::to_string(i));
    PVirtualNode b = add(nullptr, "Branch B");
    add(b, "Three");
    add(b, std::string(80, 'W'));
    tree->UpdateNodeHeights();
    ua::Pump();
    ASSERT_FALSE(IsScrollBarVisible(tree->Handle(), SB_VERT));
    int resizes = 0;
    tree->OnResize = [&](TObject*) { ++resizes; };
    tree->SetFocus();
    ua::PressKey(VK_DOWN);
    ua::PressKey(VK_RIGHT); // expands Branch A
    ua::PressKey(VK_END);
    ua::PressKey(VK_RIGHT); // expands Branch B: the bars come
    ua::Pump();
    EXPECT_TRUE(tree->Expanded(a));
    EXPECT_TRUE(tree->Expanded(b));
    EXPECT_LT(resizes, 20);
    EXPECT_TRUE(IsScrollBarVisible(tree->Handle(), SB_VERT));
    EXPECT_TRUE(IsScrollBarVisible(tree->Handle(), SB_HORZ));
    ExpectSettledBars(*tree);
    epc::testing::CheckTotals(*tree);
    // Every height between the sizes where the bars come and go settles as well.
    for (int height = 150; height <= 300; height += 3) {
        tree->SetHeight(height);
        ua::Pump();
        ExpectSettledBars(*tree);
    }
    FreeComponent(form);
}

namespace {

// A word-wrapping tree whose rows grow wider whenever the window grows lower: its horizontal
// bar would turn itself off again the moment it came.
class TContraryTree : public TTreeViewEx {
public:
    using TTreeViewEx::TTreeViewEx;
    int DoGetNodeWidth(PVirtualNode, TColumnIndex) override {
        return ClientHeight() > 150 ? 2 * ClientWidth() : 10;
    }
};

} // namespace

TEST(TreeSizing, ANestedSizeChangeNeverRecursesWithoutEnd) {
    TPlatformContext context;
    TForm* form = ua::NewTreeForm();
    auto* tree = new TContraryTree(form);
    tree->SetParent(form);
    tree->SetBorderStyle(bsNone);
    tree->SetBounds(0, 0, 200, 100);
    for (const char* text : {"one", "two", "three"})
        tree->AddTextNode(nullptr, TVTNodeAttachMode::amAddChildLast, text, 0, false, false, -1,
                          false);
    ua::ShowForm(form);
    int resizes = 0;
    tree->OnResize = [&](TObject*) { ++resizes; };
    tree->SetBounds(0, 0, 200, 160);
    ua::Pump();
    EXPECT_GT(resizes, 0);
    EXPECT_LT(resizes, 20);
    EXPECT_FALSE(tree->TreeStates().Contains(S::tsSizing));
    FreeComponent(form);
}

TEST(TreeHorizontalRange, TheWidestShownNodeCountsWhereverItLies) {
    TPlatformContext context;
    TForm* form = ua::NewTreeForm();
    auto* tree = new TVirtualDrawTree(form);
    tree->SetParent(form);
    tree->SetBorderStyle(bsNone);
    tree->SetBounds(0, 0, 300, 200);
    tree->OnGetNodeWidth = [](T*, TCanvas*, PVirtualNode node, TColumnIndex, int& width) {
        width = node->Index == 8 ? 400 : 50;
    };
    tree->SetRootNodeCount(12);
    ua::ShowForm(form);
    ua::Pump();
    const int widest = int(tree->Indent()) + tree->Margin() + 400;
    EXPECT_EQ(tree->RangeX(), widest);
    ExpectSettledBars(*tree);
    // Lower, the wide row leaves the window: the range and the bar stay.
    tree->SetHeight(120);
    ua::Pump();
    EXPECT_EQ(tree->RangeX(), widest);
    EXPECT_TRUE(IsScrollBarVisible(tree->Handle(), SB_HORZ));
    ExpectSettledBars(*tree);
    // Scrolled to the bottom and back, the same.
    tree->Perform(WM_VSCROLL, SB_BOTTOM, 0);
    tree->Perform(WM_VSCROLL, SB_TOP, 0);
    EXPECT_EQ(tree->RangeX(), widest);
    // Hidden, the node no longer counts.
    PVirtualNode wide = tree->FirstNode();
    while (wide->Index != 8)
        wide = tree->NextSiblingOf(wide);
    tree->SetVisible(wide, false);
    tree->UpdateScrollBars(true);
    EXPECT_LT(tree->RangeX(), 300);
    EXPECT_FALSE(IsScrollBarVisible(tree->Handle(), SB_HORZ));
    FreeComponent(form);
}
