#include <gtest/gtest.h>

#include <map>
#include <random>

#include "components/tree/BaseVirtualTree.h"
#include "components/tree/VirtualDrawTree.h"
#include "platform/context/PlatformContext.h"
#include "platform/controls/Forms.h"
#include "platform/testing/UserActions.h"
#include "platform/windows/Window.h"
#include "tests/components/tree/TreeTestSupport.h"

using namespace epc;
using namespace epc::tree_options;

namespace {

struct ScrollFixture : ::testing::Test {
    TPlatformContext Context; // one per case: its end frees what the case leaves
    void SetUp() override {
        form = epc::testing::NewTreeForm();
        tree = new TBaseVirtualTree(form);
        tree->SetBorderStyle(bsNone);
        tree->SetParent(form);
        tree->SetBounds(0, 0, 300, 200);
        epc::testing::ShowForm(form);
        tree->HandleNeeded();
        tree->OnScroll = [this](TBaseVirtualTree*, int dx, int dy) {
            ++scrolls;
            lastDx = dx;
            lastDy = dy;
        };
    }
    void TearDown() override { FreeComponent(form); }
    // Columns wider than the window make the horizontal bar appear.
    void WideColumns() {
        tree->Header()->Columns()->Add()->SetWidth(400);
        tree->Header()->Columns()->Add()->SetWidth(200);
        tree->UpdateScrollBars(true);
    }
    TForm* form = nullptr;
    TBaseVirtualTree* tree = nullptr;
    int scrolls = 0, lastDx = 0, lastDy = 0;
};

} // namespace

TEST_F(ScrollFixture, ScrollIntoViewStopsAtTheBottomWithAHorizontalBar) {
    tree->SetRootNodeCount(40);
    WideColumns();
    HWND h = tree->Handle();
    ASSERT_TRUE(IsScrollBarVisible(h, SB_HORZ));
    ASSERT_TRUE(IsScrollBarVisible(h, SB_VERT));
    // The client area already leaves out the bar.
    EXPECT_EQ(tree->ClientHeight(), 200 - GetSystemMetrics(SM_CYHSCROLL));
    PVirtualNode node = tree->FirstNode();
    for (int i = 0; i < 20; ++i)
        node = tree->NextNodeInTree(node);
    EXPECT_TRUE(tree->ScrollIntoView(node, false, false));
    const TRect r = tree->DisplayRect(node, NoColumn, false);
    EXPECT_EQ(r.Bottom, tree->ClientHeight());
    // Already in view: nothing changes and nothing fires.
    scrolls = 0;
    EXPECT_FALSE(tree->ScrollIntoView(node, false, false));
    EXPECT_EQ(scrolls, 0);
    // Above the window: moved to the top.
    EXPECT_TRUE(tree->ScrollIntoView(tree->FirstNode(), false, false));
    EXPECT_EQ(tree->OffsetY(), 0);
    // Centred: the row's top at half the client height.
    EXPECT_TRUE(tree->ScrollIntoView(node, true, false));
    EXPECT_EQ(tree->DisplayRect(node, NoColumn, false).Top, tree->ClientHeight() / 2);
    // The bar follows the offset.
    EXPECT_EQ(GetScrollPos(h, SB_VERT), -tree->OffsetY());
}

TEST_F(ScrollFixture, OffsetsAreClampedAndUnchangedOffsetsAreQuiet) {
    tree->SetRootNodeCount(40);
    const int range = 40 * 18;
    EXPECT_EQ(tree->RangeY(), range);
    EXPECT_TRUE(tree->DoSetOffsetXY(TPoint(-50, -100000), tree->DefaultScrollUpdateFlags));
    EXPECT_EQ(tree->OffsetY(), tree->ClientHeight() - range);
    EXPECT_EQ(tree->OffsetX(), 0); // nothing to scroll horizontally
    EXPECT_EQ(lastDy, tree->ClientHeight() - range);
    scrolls = 0;
    EXPECT_FALSE(tree->DoSetOffsetXY(TPoint(0, -100000), tree->DefaultScrollUpdateFlags));
    EXPECT_EQ(scrolls, 0);
    EXPECT_TRUE(tree->DoSetOffsetXY(TPoint(0, 50), tree->DefaultScrollUpdateFlags));
    EXPECT_EQ(tree->OffsetY(), 0);
}

TEST_F(ScrollFixture, OffsetSettersScrollLikeTheBars) {
    tree->SetRootNodeCount(40);
    WideColumns();
    HWND h = tree->Handle();
    const int bottom = tree->ClientHeight() - 40 * 18;
    // Past the end: clamped, the bar at its end, the rows at the end shown (not a blank tree).
    tree->SetOffsetY(-100000);
    EXPECT_EQ(tree->OffsetY(), bottom);
    EXPECT_EQ(GetScrollPos(h, SB_VERT), -bottom);
    EXPECT_EQ(lastDy, bottom);
    int top = 0;
    EXPECT_EQ(tree->NodeAtPointEx(0, tree->ClientHeight() - 1, true, top), tree->LastNode());
    // A valid offset moves the bar along.
    tree->SetOffsetY(-90);
    EXPECT_EQ(tree->OffsetY(), -90);
    EXPECT_EQ(GetScrollPos(h, SB_VERT), 90);
    tree->SetOffsetY(7);
    EXPECT_EQ(tree->OffsetY(), 0);
    EXPECT_EQ(GetScrollPos(h, SB_VERT), 0);
    // Horizontally the same, within the columns' width.
    tree->SetOffsetX(-100);
    EXPECT_EQ(tree->OffsetX(), -100);
    EXPECT_EQ(GetScrollPos(h, SB_HORZ), 100);
    tree->SetOffsetX(-100000);
    EXPECT_EQ(tree->OffsetX(), tree->ClientWidth() - 600);
    EXPECT_EQ(GetScrollPos(h, SB_HORZ), 600 - tree->ClientWidth());
    scrolls = 0;
    tree->SetOffsetX(tree->OffsetX());
    EXPECT_EQ(scrolls, 0);
}

TEST_F(ScrollFixture, ScrollBarsFollowTheRanges) {
    HWND h = tree->Handle();
    tree->SetRootNodeCount(3);
    tree->UpdateScrollBars(true);
    EXPECT_FALSE(IsScrollBarVisible(h, SB_VERT));
    tree->SetRootNodeCount(40);
    tree->UpdateScrollBars(true);
    ASSERT_TRUE(IsScrollBarVisible(h, SB_VERT));
    SCROLLINFO si;
    si.fMask = SIF_ALL;
    GetScrollInfo(h, SB_VERT, &si);
    EXPECT_EQ(si.nMax, 40 * 18);
    EXPECT_EQ(int(si.nPage), tree->ClientHeight() + 1);
    // Scrolled to the end, then the tree shrinks: the offset follows the bar back.
    tree->DoSetOffsetXY(TPoint(0, -100000), tree->DefaultScrollUpdateFlags);
    tree->SetRootNodeCount(3);
    tree->UpdateScrollBars(true);
    EXPECT_EQ(tree->OffsetY(), 0);
    EXPECT_FALSE(IsScrollBarVisible(h, SB_VERT));
    // Changing the bar options may make the window anew: its handle is asked again.
    tree->ScrollBarOptions()->SetAlwaysVisible(true);
    tree->UpdateScrollBars(true);
    EXPECT_TRUE(IsScrollBarVisible(tree->Handle(), SB_VERT));
    tree->ScrollBarOptions()->SetScrollBars(TScrollStyle::ssHorizontal);
    tree->UpdateScrollBars(true);
    EXPECT_FALSE(IsScrollBarVisible(tree->Handle(), SB_VERT));
}

TEST_F(ScrollFixture, HorizontalBarMessagesMoveTheColumnsAndTheBarFollows) {
    WideColumns();
    HWND h = tree->Handle();
    ASSERT_TRUE(IsScrollBarVisible(h, SB_HORZ));
    SCROLLINFO si;
    si.fMask = SIF_ALL;
    GetScrollInfo(h, SB_HORZ, &si);
    EXPECT_EQ(si.nMax, 600);
    EXPECT_EQ(int(si.nPage), tree->ClientWidth() + 1);
    const int line = tree->ScrollBarOptions()->HorizontalIncrement;
    tree->Perform(WM_HSCROLL, SB_LINEDOWN, 0);
    EXPECT_EQ(tree->OffsetX(), -line);
    EXPECT_EQ(tree->OffsetY(), 0);
    EXPECT_EQ(GetScrollPos(h, SB_HORZ), line);
    tree->Perform(WM_HSCROLL, SB_PAGEDOWN, 0);
    EXPECT_EQ(tree->OffsetX(), std::max(-line - tree->ClientWidth(), tree->ClientWidth() - 600));
    tree->Perform(WM_HSCROLL, SB_BOTTOM, 0);
    EXPECT_EQ(tree->OffsetX(), tree->ClientWidth() - 600);
    EXPECT_EQ(GetScrollPos(h, SB_HORZ), 600 - tree->ClientWidth());
    tree->Perform(WM_HSCROLL, SB_LINEUP, 0);
    EXPECT_EQ(tree->OffsetX(), tree->ClientWidth() - 600 + line);
    tree->Perform(WM_HSCROLL, SB_TOP, 0);
    EXPECT_EQ(tree->OffsetX(), 0);
    EXPECT_EQ(GetScrollPos(h, SB_HORZ), 0);
}

TEST_F(ScrollFixture, HorizontalRangeShrinksWithTheColumns) {
    WideColumns();
    HWND h = tree->Handle();
    ASSERT_TRUE(IsScrollBarVisible(h, SB_HORZ));
    tree->DoSetOffsetXY(TPoint(-1000, 0), tree->DefaultScrollUpdateFlags);
    tree->Header()->Columns()->Items(0)->SetWidth(100);
    tree->Header()->Columns()->Items(1)->SetWidth(50);
    EXPECT_EQ(tree->RangeX(), 150);
    EXPECT_FALSE(IsScrollBarVisible(h, SB_HORZ));
    EXPECT_EQ(tree->OffsetX(), 0);
}

TEST(TreeHorizontalRange, FollowsTheWidestRowAsItIsNow) {
    TPlatformContext context;
    TForm* form = epc::testing::NewTreeForm();
    auto* tree = new TVirtualDrawTree(form);
    tree->SetBorderStyle(bsNone);
    tree->SetParent(form);
    tree->SetBounds(0, 0, 300, 200);
    tree->TreeOptions()->SetPaintOptions(tree->TreeOptions()->PaintOptions() - toShowRoot);
    std::map<PVirtualNode, int> widths;
    tree->OnGetNodeWidth = [&](TBaseVirtualTree*, TCanvas*, PVirtualNode node, TColumnIndex,
                               int& width) { width = widths[node]; };
    tree->SetRootNodeCount(3);
    PVirtualNode first = tree->FirstNode();
    PVirtualNode wide = tree->NextNodeInTree(first);
    widths[first] = 100;
    widths[wide] = 500;
    widths[tree->LastNode()] = 40;
    epc::testing::ShowForm(form);
    epc::testing::Pump();
    HWND h = tree->Handle();
    tree->UpdateScrollBars(true);
    // The extent starts after the margin.
    EXPECT_EQ(tree->RangeX(), tree->Margin() + 500);
    EXPECT_TRUE(IsScrollBarVisible(h, SB_HORZ));
    // Deleting the widest row gives the range of the rows left.
    tree->DeleteNode(wide);
    EXPECT_EQ(tree->RangeX(), tree->Margin() + 100);
    EXPECT_FALSE(IsScrollBarVisible(h, SB_HORZ));
    // A collapsed wide child no longer counts.
    PVirtualNode child = tree->AddChild(first);
    widths[child] = 600 - tree->Margin() - int(tree->Indent());
    tree->SetExpanded(first, true);
    epc::testing::Pump();
    tree->UpdateScrollBars(true);
    EXPECT_EQ(tree->RangeX(), 600);
    tree->SetExpanded(first, false);
    EXPECT_EQ(tree->RangeX(), tree->Margin() + 100);
    tree->SetExpanded(first, true);
    epc::testing::Pump();
    tree->UpdateScrollBars(true);
    ASSERT_TRUE(IsScrollBarVisible(h, SB_HORZ));
    tree->Clear();
    EXPECT_EQ(tree->RangeX(), 0);
    EXPECT_FALSE(IsScrollBarVisible(h, SB_HORZ));
    FreeComponent(form);
}

TEST_F(ScrollFixture, ExpandingScrollsTheNewSubtreeIntoView) {
    tree->SetRootNodeCount(12);
    PVirtualNode last = tree->LastNode();
    for (int i = 0; i < 5; ++i)
        tree->AddChild(last);
    // The last root row is near the bottom; its five children would fall below it.
    tree->ToggleNode(last);
    const TRect r = tree->DisplayRect(tree->LastChildOf(last), NoColumn, false);
    EXPECT_EQ(r.Bottom, tree->ClientHeight());
    EXPECT_LT(tree->OffsetY(), 0);
}

TEST_F(ScrollFixture, TheWindowPaintsTheScrolledRows) {
    tree->SetColor(clWhite);
    tree->TreeOptions()->SetPaintOptions(tree->TreeOptions()->PaintOptions() | toShowHorzGridLines);
    tree->SetRootNodeCount(40);
    tree->DoSetOffsetXY(TPoint(0, -5 * 18 - 3), tree->DefaultScrollUpdateFlags);
    tree->Invalidate();
    epc::testing::Pump();
    const COLORREF grid = ColorToRGB(tree->Colors()->GridLineColor());
    // Grid lines at the bottom of every row, moved up by the offset.
    EXPECT_EQ(epc::testing::PixelAt(tree, 150, 18 - 3 - 1), grid);
    EXPECT_EQ(epc::testing::PixelAt(tree, 150, 2 * 18 - 3 - 1), grid);
    EXPECT_EQ(epc::testing::PixelAt(tree, 150, 18 - 3), RGB(255, 255, 255));
}

TEST_F(ScrollFixture, InvalidationCoversTheNodesRows) {
    tree->SetRootNodeCount(40);
    tree->DoSetOffsetXY(TPoint(0, -18), tree->DefaultScrollUpdateFlags);
    epc::testing::Pump();
    HWND h = tree->Handle();
    RECT r{};
    ASSERT_FALSE(GetUpdateRect(h, &r, false));
    PVirtualNode third = tree->NextNodeInTree(tree->NextNodeInTree(tree->FirstNode()));
    tree->InvalidateNode(third);
    ASSERT_TRUE(GetUpdateRect(h, &r, false));
    EXPECT_EQ(r, TRect(0, 18, tree->ClientWidth(), 36));
    epc::testing::Pump();
    tree->InvalidateToBottom(third);
    GetUpdateRect(h, &r, false);
    EXPECT_EQ(r, TRect(0, 18, tree->ClientWidth(), tree->ClientHeight()));
    epc::testing::Pump();
    // A node under a collapsed parent has no row to redraw.
    PVirtualNode child = tree->AddChild(third);
    epc::testing::Pump();
    tree->InvalidateNode(child);
    tree->InvalidateToBottom(child);
    EXPECT_FALSE(GetUpdateRect(h, &r, false));
}

TEST(TreeScrollGeometry, NodeTopAgreesWithTheWalk) {
    TBaseVirtualTree tree(nullptr);
    std::mt19937 random(7);
    std::vector<PVirtualNode> nodes{nullptr};
    for (int i = 0; i < 400; ++i) {
        PVirtualNode parent = nodes[random() % nodes.size()];
        PVirtualNode n = tree.AddChild(parent);
        tree.SetNodeHeight(n, 10 + random() % 20);
        nodes.push_back(n);
    }
    for (size_t i = 1; i < nodes.size(); i += 3)
        tree.SetExpanded(nodes[i], true);
    tree.SetVisible(nodes[5], false);
    int top = 0;
    for (PVirtualNode run = tree.FirstVisibleNode(); run; run = tree.NextVisibleNode(run)) {
        ASSERT_EQ(tree.NodeTop(run), top);
        int nodeTop = -1;
        ASSERT_EQ(tree.NodeAtPointEx(0, top, false, nodeTop), run);
        top += int(tree.NodeHeight(run));
    }
}

TEST(TreeSortingByColumn, OneLevelOrTheWholeSubtree) {
    TBaseVirtualTree tree(nullptr);
    tree.SetNodeDataSize(sizeof(int));
    auto add = [&](PVirtualNode parent, int value) {
        PVirtualNode n = tree.AddChild(parent);
        *tree.NodeData<int>(n) = value;
        return n;
    };
    PVirtualNode a = add(nullptr, 2);
    add(nullptr, 1);
    add(a, 9);
    add(a, 8);
    TColumnIndex seenColumn = -9;
    tree.OnCompareNodes = [&](TBaseVirtualTree* t, PVirtualNode x, PVirtualNode y,
                              TColumnIndex column, int& result) {
        seenColumn = column;
        result = *t->NodeData<int>(x) - *t->NodeData<int>(y);
    };
    tree.SortTree(nullptr, 1, TSortDirection::sdAscending);
    EXPECT_EQ(seenColumn, 1);
    EXPECT_EQ(*tree.NodeData<int>(tree.FirstNode()), 1);
    EXPECT_EQ(*tree.NodeData<int>(tree.FirstChildOf(a)), 9); // one level only
    tree.SortSubtree(nullptr, 0, TSortDirection::sdDescending);
    EXPECT_EQ(*tree.NodeData<int>(tree.FirstNode()), 2);
    EXPECT_EQ(*tree.NodeData<int>(tree.FirstChildOf(a)), 9);
    tree.SortSubtree(nullptr, 0, TSortDirection::sdAscending);
    EXPECT_EQ(*tree.NodeData<int>(tree.FirstChildOf(a)), 8);
    EXPECT_EQ(tree.FirstChildOf(a)->Index, 0u);
}

TEST(TreeSortingByColumn, LongSiblingListsStayStable) {
    // Long enough for the sorted stretches to be merged several at a time.
    for (int count : {4096, 4097, 70001}) {
        TBaseVirtualTree tree(nullptr);
        tree.SetNodeDataSize(2 * sizeof(int));
        tree.SetRootNodeCount(Cardinal(count));
        std::mt19937 random(count);
        int order = 0;
        for (PVirtualNode n = tree.FirstNodeNoInit(); n; n = n->NextSibling) {
            tree.NodeData<int>(n)[0] = int(random() % 13);
            tree.NodeData<int>(n)[1] = order++;
        }
        tree.OnCompareNodes = [](TBaseVirtualTree* t, PVirtualNode x, PVirtualNode y, TColumnIndex,
                                 int& result) {
            result = t->NodeData<int>(x)[0] - t->NodeData<int>(y)[0];
        };
        for (TSortDirection direction :
             {TSortDirection::sdAscending, TSortDirection::sdDescending}) {
            // Restore the first order, then sort.
            tree.OnCompareNodes = [](TBaseVirtualTree* t, PVirtualNode x, PVirtualNode y,
                                     TColumnIndex, int& result) {
                result = t->NodeData<int>(x)[1] - t->NodeData<int>(y)[1];
            };
            tree.SortTree(nullptr, 0, TSortDirection::sdAscending, false);
            tree.OnCompareNodes = [](TBaseVirtualTree* t, PVirtualNode x, PVirtualNode y,
                                     TColumnIndex, int& result) {
                result = t->NodeData<int>(x)[0] - t->NodeData<int>(y)[0];
            };
            tree.SortTree(nullptr, 0, direction, false);
            const int sign = direction == TSortDirection::sdAscending ? 1 : -1;
            Cardinal index = 0;
            PVirtualNode previous = nullptr;
            for (PVirtualNode n = tree.FirstNodeNoInit(); n; n = n->NextSibling) {
                ASSERT_EQ(n->Index, index++);
                ASSERT_EQ(n->PrevSibling, previous);
                if (previous) {
                    const int* a = tree.NodeData<int>(previous);
                    const int* b = tree.NodeData<int>(n);
                    ASSERT_LE(sign * a[0], sign * b[0]);
                    if (a[0] == b[0]) {
                        ASSERT_LT(a[1], b[1]) << count;
                    }
                }
                previous = n;
            }
            EXPECT_EQ(index, Cardinal(count));
            EXPECT_EQ(tree.LastChildNoInit(nullptr), previous);
        }
    }
}

TEST(TreeSelectionRanges, ToggleAndSelectAll) {
    TBaseVirtualTree tree(nullptr);
    tree.SetRootNodeCount(6);
    std::vector<PVirtualNode> n;
    for (PVirtualNode run = tree.FirstNode(); run; run = tree.NextNodeInTree(run))
        n.push_back(run);
    tree.SelectAll(false);
    EXPECT_EQ(tree.SelectedCount(), 0u); // not a multi-select tree
    tree.TreeOptions()->SetSelectionOptions(tree.TreeOptions()->SelectionOptions() | toMultiSelect);
    tree.AddToSelection(n[1]);
    tree.AddToSelection(n[2]);
    tree.ToggleSelection(n[3], n[0]); // either order
    EXPECT_TRUE(tree.Selected(n[0]));
    EXPECT_FALSE(tree.Selected(n[1]));
    EXPECT_FALSE(tree.Selected(n[2]));
    EXPECT_TRUE(tree.Selected(n[3]));
    EXPECT_FALSE(tree.Selected(n[4]));
    EXPECT_EQ(tree.SelectedCount(), 2u);
    tree.SelectNodes(n[4], n[5], false);
    EXPECT_EQ(tree.SelectedCount(), 2u);
    EXPECT_TRUE(tree.Selected(n[5]));
    tree.SelectAll(true);
    EXPECT_EQ(tree.SelectedCount(), 6u);
    EXPECT_THROW(tree.ToggleSelection(n[0], nullptr), EAssertionFailed);
}

TEST(TreeValidation, ValidateAndReset) {
    TBaseVirtualTree tree(nullptr);
    int inits = 0;
    tree.OnInitNode = [&](TBaseVirtualTree*, PVirtualNode, PVirtualNode,
                          TVirtualNodeInitStates& states) {
        ++inits;
        states.Include(TVirtualNodeInitState::ivsHasChildren);
    };
    tree.OnInitChildren = [](TBaseVirtualTree* t, PVirtualNode node, Cardinal& count) {
        count = t->NodeLevel(node) < 2 ? 2 : 0;
    };
    tree.SetRootNodeCount(2);
    tree.ValidateNode(nullptr, true);
    EXPECT_EQ(tree.TotalCount(), 2u + 4u + 8u);
    EXPECT_EQ(inits, 14);
    PVirtualNode first = tree.FirstNode();
    tree.ResetNode(first);
    EXPECT_EQ(tree.ChildCount(first), 0u);
    EXPECT_FALSE(first->States.Contains(nsInitialized));
    tree.ReinitNode(tree.LastNode(nullptr), false);
    EXPECT_EQ(inits, 15);
}
