// ExpandAll and CollapseAll rebuild the running heights on their way back up the walk instead of
// handing each toggle's change to every ancestor; these tests check the totals against a
// recount in the situations where that shortcut could go wrong.

#include <random>

#include "TreeTestSupport.h"

using namespace epc;
using namespace epc::tree_options;
using epc::testing::CheckTotals;

namespace {

// A random forest of up to `count` nodes, some hidden, some expanded, some with own heights.
std::vector<PVirtualNode> RandomForest(TBaseVirtualTree& tree, std::mt19937& rng, int count) {
    std::vector<PVirtualNode> nodes;
    for (int i = 0; i < count; ++i) {
        PVirtualNode parent =
            nodes.empty() || rng() % 5 == 0 ? nullptr : nodes[rng() % nodes.size()];
        nodes.push_back(tree.AddChild(parent));
    }
    for (PVirtualNode n : nodes) {
        if (rng() % 4 == 0) tree.SetNodeHeight(n, 3 + rng() % 50);
        if (rng() % 9 == 0) tree.SetVisible(n, false);
        if (rng() % 3 == 0) tree.SetExpanded(n, true);
    }
    return nodes;
}

} // namespace

TEST(TreeExpandAll, TotalsStayExactWithRefusalsHiddenNodesAndOuterLocks) {
    for (unsigned seed = 1; seed <= 40; ++seed) {
        TBaseVirtualTree tree(nullptr);
        std::mt19937 rng(seed);
        auto nodes = RandomForest(tree, rng, 150);
        // Some nodes refuse to open or to close.
        tree.OnExpanding = [](TBaseVirtualTree*, PVirtualNode n, bool& allowed) {
            allowed = n->Index % 7 != 3;
        };
        tree.OnCollapsing = [](TBaseVirtualTree*, PVirtualNode n, bool& allowed) {
            allowed = n->Index % 5 != 2;
        };
        const bool outerLock = seed % 2 == 0;
        if (outerLock) {
            tree.BeginUpdate();
            // Changes still owed to the ancestors when the walk starts.
            for (int i = 0; i < 20; ++i) {
                PVirtualNode n = nodes[rng() % nodes.size()];
                tree.SetNodeHeight(n, 4 + rng() % 30);
                nodes.push_back(tree.AddChild(n));
            }
        }
        PVirtualNode start = seed % 3 == 0 ? nullptr : nodes[rng() % nodes.size()];
        tree.ExpandAll(start);
        if (outerLock) tree.EndUpdate();
        ASSERT_EQ(CheckTotals(tree), tree.VisibleCount()) << "expand, seed " << seed;

        if (outerLock) tree.BeginUpdate();
        tree.CollapseAll(seed % 4 == 0 ? nullptr : nodes[rng() % nodes.size()]);
        if (outerLock) tree.EndUpdate();
        ASSERT_EQ(CheckTotals(tree), tree.VisibleCount()) << "collapse, seed " << seed;
    }
}

TEST(TreeExpandAll, HandlersThatChangeTheTreeDuringTheWalk) {
    TBaseVirtualTree tree(nullptr);
    std::mt19937 rng(7);
    auto nodes = RandomForest(tree, rng, 120);
    // Opening a node changes its own height and gives it a new last child, which the walk
    // meets later; closing a node changes the height of its first child.
    tree.OnExpanded = [](TBaseVirtualTree* t, PVirtualNode n) {
        t->SetNodeHeight(n, 25);
        if (n->ChildCount < 6) t->AddChild(n);
    };
    tree.OnCollapsed = [](TBaseVirtualTree* t, PVirtualNode n) {
        if (n->FirstChild) t->SetNodeHeight(n->FirstChild, 11);
    };
    tree.ExpandAll(nullptr);
    EXPECT_EQ(CheckTotals(tree), tree.VisibleCount());
    tree.CollapseAll(nullptr);
    EXPECT_EQ(CheckTotals(tree), tree.VisibleCount());
    EXPECT_EQ(
        tree.VisibleCount(), tree.RootNodeCount() - [&] {
            Cardinal hidden = 0;
            for (PVirtualNode n = tree.FirstNodeNoInit(); n; n = n->NextSibling)
                hidden += tree.IsVisible(n) ? 0 : 1;
            return hidden;
        }());
}

TEST(TreeExpandAll, ChildrenCreatedOnDemandAndFreedOnCollapse) {
    TBaseVirtualTree tree(nullptr);
    // Every node up to depth 4 has three children, created when it first opens.
    tree.OnInitNode = [](TBaseVirtualTree* t, PVirtualNode, PVirtualNode n,
                         TVirtualNodeInitStates& states) {
        if (t->NodeLevel(n) < 4) states.Include(TVirtualNodeInitState::ivsHasChildren);
    };
    tree.OnInitChildren = [](TBaseVirtualTree*, PVirtualNode, Cardinal& count) { count = 3; };
    tree.SetRootNodeCount(2);
    PVirtualNode second = tree.FirstNode()->NextSibling;
    tree.ExpandAll(second);
    // 3 + 9 + 27 + 81 below the second top-level node.
    EXPECT_EQ(tree.TotalCount(), 2u + 120u);
    EXPECT_EQ(tree.VisibleCount(), 2u + 120u);
    EXPECT_EQ(tree.RootTotalHeight(), (2u + 120u) * 18);
    EXPECT_EQ(CheckTotals(tree), tree.VisibleCount());

    auto* o = tree.TreeOptions();
    o->SetAutoOptions(o->AutoOptions() | toAutoFreeOnCollapse);
    tree.CollapseAll(nullptr);
    EXPECT_EQ(tree.TotalCount(), 2u);
    EXPECT_EQ(tree.VisibleCount(), 2u);
    EXPECT_EQ(tree.RootTotalHeight(), 2u * 18);
    EXPECT_EQ(CheckTotals(tree), 2u);
}

TEST(TreeExpandAll, SubtreeBelowCollapsedParentChangesNoVisibleHeight) {
    TBaseVirtualTree tree(nullptr);
    PVirtualNode top = tree.AddChild(nullptr);
    PVirtualNode mid = tree.AddChild(top);
    for (int i = 0; i < 4; ++i)
        tree.AddChild(tree.AddChild(mid));
    // top stays closed: opening everything below it shows nothing new.
    tree.ExpandAll(mid);
    EXPECT_FALSE(tree.Expanded(top));
    EXPECT_EQ(tree.VisibleCount(), 1u);
    EXPECT_EQ(tree.RootTotalHeight(), 18u);
    EXPECT_EQ(mid->TotalHeight, 9u * 18);
    EXPECT_EQ(CheckTotals(tree), 1u);
    tree.SetExpanded(top, true);
    EXPECT_EQ(tree.VisibleCount(), 10u);
    EXPECT_EQ(tree.RootTotalHeight(), 10u * 18);
    EXPECT_EQ(CheckTotals(tree), 10u);
}

TEST(TreeExpandAll, VeryDeepChainsAndWideLevels) {
    TBaseVirtualTree tree(nullptr);
    tree.BeginUpdate();
    PVirtualNode parent = nullptr;
    for (int i = 0; i < 50000; ++i)
        parent = tree.AddChild(parent);
    PVirtualNode wide = tree.AddChild(nullptr);
    tree.SetChildCount(wide, 20000);
    tree.EndUpdate();
    tree.ExpandAll(nullptr);
    EXPECT_EQ(tree.VisibleCount(), 70001u);
    EXPECT_EQ(tree.RootTotalHeight(), 70001u * 18);
    tree.CollapseAll(nullptr);
    EXPECT_EQ(tree.VisibleCount(), 2u);
    EXPECT_EQ(tree.RootTotalHeight(), 2u * 18);
    EXPECT_EQ(tree.RootNode()->FirstChild->TotalCount, 50000u);
}

TEST(TreeExpandAll, CollapseAllClosesNodesBackwardsFromTheLastNode) {
    TBaseVirtualTree tree(nullptr);
    PVirtualNode a = tree.AddChild(nullptr);
    PVirtualNode a1 = tree.AddChild(a);
    tree.AddChild(a1);
    tree.AddChild(a);
    PVirtualNode b = tree.AddChild(nullptr);
    tree.AddChild(b);
    tree.ExpandAll(nullptr);
    std::vector<PVirtualNode> closed;
    tree.OnCollapsed = [&](TBaseVirtualTree*, PVirtualNode n) { closed.push_back(n); };
    tree.CollapseAll(nullptr);
    EXPECT_EQ(closed, (std::vector<PVirtualNode>{b, a1, a}));
    EXPECT_EQ(tree.VisibleCount(), 2u);
    EXPECT_EQ(CheckTotals(tree), tree.VisibleCount());

    tree.ExpandAll(nullptr);
    closed.clear();
    tree.CollapseAll(a);
    EXPECT_EQ(closed, (std::vector<PVirtualNode>{a1, a}));
    EXPECT_EQ(CheckTotals(tree), tree.VisibleCount());
}
