// The walkers that are not covered by the plain pre-order walks: NoInit variants leave nodes as
// they are, the others initialise what they return; the selected and cut-or-copied walks.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "components/tree/BaseVirtualTree.h"
#include "platform/core/Exceptions.h"

using namespace epc;
using namespace epc::tree_options;

namespace {

std::string AssertionText(const std::function<void()>& f) {
    try {
        f();
    } catch (const EAssertionFailed& e) {
        return e.Message();
    }
    return "";
}

bool Initialised(PVirtualNode n) {
    return n->States.Contains(nsInitialized);
}

struct WalkersFixture : ::testing::Test {
    TBaseVirtualTree tree{nullptr};
    PVirtualNode a = nullptr, a0 = nullptr, a1 = nullptr, b = nullptr, c = nullptr;
    void SetUp() override {
        tree.SetNodeDataSize(4);
        // Made by links only: nothing is initialised yet.
        a = tree.InsertNodeAt(nullptr, TVTNodeAttachMode::amAddChildLast);
        b = tree.InsertNodeAt(nullptr, TVTNodeAttachMode::amAddChildLast);
        c = tree.InsertNodeAt(nullptr, TVTNodeAttachMode::amAddChildLast);
        a0 = tree.InsertNodeAt(a, TVTNodeAttachMode::amAddChildLast);
        a1 = tree.InsertNodeAt(a, TVTNodeAttachMode::amAddChildLast);
        for (PVirtualNode n = tree.FirstNodeNoInit(); n; n = tree.NextNodeNoInit(n))
            n->States.Exclude(nsInitialized);
    }
};

TEST_F(WalkersFixture, NoInitVariantsOnlyFollowLinks) {
    EXPECT_EQ(tree.FirstChildNoInit(nullptr), a);
    EXPECT_EQ(tree.FirstChildNoInit(tree.RootNode()), a);
    EXPECT_EQ(tree.LastChildNoInit(a), a1);
    EXPECT_EQ(tree.LastNodeNoInit(), c);
    EXPECT_EQ(tree.LastNodeNoInit(a), a1);
    EXPECT_EQ(tree.PreviousNodeNoInit(b), a1);
    EXPECT_EQ(tree.PreviousNodeNoInit(a0), a);
    EXPECT_EQ(tree.PreviousNodeNoInit(a), nullptr);
    EXPECT_EQ(tree.FirstVisibleNodeNoInit(), a);
    EXPECT_EQ(tree.NextVisibleNodeNoInit(a), b); // a is collapsed
    EXPECT_EQ(tree.LastVisibleNodeNoInit(), c);
    EXPECT_EQ(tree.PreviousVisibleSiblingNoInit(c), b);
    for (PVirtualNode n : {a, a0, a1, b, c})
        EXPECT_FALSE(Initialised(n));
}

TEST_F(WalkersFixture, OtherWalkersInitialiseWhatTheyReturn) {
    EXPECT_EQ(tree.FirstChildOf(a), a0);
    EXPECT_TRUE(Initialised(a0));
    EXPECT_FALSE(Initialised(a1));
    EXPECT_EQ(tree.LastChildOf(a), a1);
    EXPECT_TRUE(Initialised(a1));
    EXPECT_EQ(tree.NextSiblingOf(a), b);
    EXPECT_TRUE(Initialised(b));
    EXPECT_EQ(tree.PreviousSiblingOf(b), a);
    EXPECT_TRUE(Initialised(a));
    EXPECT_EQ(tree.LastVisibleChildOf(nullptr), c);
    EXPECT_TRUE(Initialised(c));

    // Hidden nodes are skipped by the visible walkers, which want a real node.
    tree.SetVisible(b, false);
    EXPECT_EQ(tree.NextVisibleSiblingOf(a), c);
    EXPECT_EQ(tree.PreviousVisibleSiblingOf(c), a);
    EXPECT_EQ(AssertionText([&] { tree.NextVisibleSiblingOf(nullptr); }), "Invalid parameter.");
    EXPECT_EQ(AssertionText([&] { tree.PreviousVisibleSiblingOf(tree.RootNode()); }),
              "Invalid parameter.");
    EXPECT_EQ(tree.FirstVisibleChildOf(a), nullptr); // collapsed
    tree.SetExpanded(a, true);
    EXPECT_EQ(tree.FirstVisibleChildOf(a), a0);

    // Initialised nodes only, in tree order.
    PVirtualNode fresh = tree.InsertNodeAt(c, TVTNodeAttachMode::amInsertAfter);
    fresh->States.Exclude(nsInitialized);
    std::vector<PVirtualNode> order;
    for (PVirtualNode n = tree.FirstInitializedNode(); n; n = tree.NextInitializedNode(n))
        order.push_back(n);
    EXPECT_EQ(order, (std::vector<PVirtualNode>{a, a0, a1, b, c}));
    EXPECT_EQ(AssertionText([&] { tree.PreviousNode(fresh); }),
              "Node must already be initialized.");
}

// A node that does not show (hidden itself, or below a hidden or collapsed node) walks on from
// where its visible ancestor stands, never into what it holds.
TEST(TreeWalkers, NodesThatDoNotShowWalkOnFromTheirVisibleAncestor) {
    TBaseVirtualTree tree(nullptr);
    tree.SetNodeDataSize(4);
    using M = TVTNodeAttachMode;
    PVirtualNode b = tree.InsertNodeAt(nullptr, M::amAddChildLast);
    PVirtualNode c = tree.InsertNodeAt(nullptr, M::amAddChildLast);
    PVirtualNode d = tree.InsertNodeAt(nullptr, M::amAddChildLast);
    PVirtualNode cc = tree.InsertNodeAt(c, M::amAddChildLast);
    PVirtualNode ccc = tree.InsertNodeAt(cc, M::amAddChildLast);
    PVirtualNode cd = tree.InsertNodeAt(c, M::amAddChildLast);
    tree.SetExpanded(c, true);
    tree.SetExpanded(cc, true);
    // C hidden but expanded: nothing below it shows.
    tree.SetVisible(c, false);
    for (PVirtualNode n : {c, cc, ccc, cd}) {
        EXPECT_EQ(tree.NextVisibleNode(n), d);
        EXPECT_EQ(tree.NextVisibleNodeNoInit(n), d);
        EXPECT_EQ(tree.PreviousVisibleNode(n), b);
        EXPECT_EQ(tree.PreviousVisibleNodeNoInit(n), b);
    }
    // A hidden node deeper down: its siblings go on.
    tree.SetVisible(c, true);
    tree.SetVisible(cc, false);
    EXPECT_EQ(tree.NextVisibleNode(ccc), cd);
    EXPECT_EQ(tree.NextVisibleNode(cc), cd);
    EXPECT_EQ(tree.PreviousVisibleNode(ccc), c);
    EXPECT_EQ(tree.PreviousVisibleNode(cd), c);
    // Collapsed: the collapsed node stands for what it holds.
    tree.SetVisible(cc, true);
    tree.SetExpanded(c, false);
    EXPECT_EQ(tree.NextVisibleNode(ccc), d);
    EXPECT_EQ(tree.PreviousVisibleNode(ccc), c);
    EXPECT_EQ(tree.PreviousVisibleNodeNoInit(cd), c);
}

// Random shapes with random hidden and collapsed nodes: from every node, the visible walkers
// answer the next and previous fully visible node in pre-order.
TEST(TreeWalkers, VisibleWalkersMatchPreOrderOverRandomTrees) {
    auto envCount = [](const char* name, int fallback) {
        const char* value = std::getenv(name);
        return value ? std::max(1, std::atoi(value)) : fallback;
    };
    const int seeds = envCount("EPC_RANDOM_SEEDS", 3);
    const int steps = envCount("EPC_RANDOM_STEPS", 40);
    for (int seed = 1; seed <= seeds; ++seed) {
        std::mt19937 rng{unsigned(seed)};
        for (int step = 0; step < steps; ++step) {
            TBaseVirtualTree tree(nullptr);
            tree.SetNodeDataSize(4);
            std::vector<PVirtualNode> nodes;
            const int count = 1 + int(rng() % 30);
            for (int i = 0; i < count; ++i) {
                PVirtualNode parent =
                    nodes.empty() || rng() % 3 == 0 ? nullptr : nodes[rng() % nodes.size()];
                nodes.push_back(tree.InsertNodeAt(parent, TVTNodeAttachMode::amAddChildLast));
            }
            for (PVirtualNode n : nodes) {
                if (rng() % 2) tree.SetExpanded(n, true);
                if (rng() % 4 == 0) tree.SetVisible(n, false);
            }
            std::vector<PVirtualNode> order; // pre-order
            for (PVirtualNode n = tree.FirstNodeNoInit(); n; n = tree.NextNodeNoInit(n))
                order.push_back(n);
            for (size_t i = 0; i < order.size(); ++i) {
                PVirtualNode next = nullptr, previous = nullptr;
                for (size_t j = i + 1; j < order.size() && !next; ++j)
                    if (tree.IsNodeFullyVisible(order[j])) next = order[j];
                for (size_t j = i; j-- > 0 && !previous;)
                    if (tree.IsNodeFullyVisible(order[j])) previous = order[j];
                ASSERT_EQ(tree.NextVisibleNodeNoInit(order[i]), next)
                    << "seed " << seed << " step " << step << " node " << i;
                ASSERT_EQ(tree.PreviousVisibleNodeNoInit(order[i]), previous)
                    << "seed " << seed << " step " << step << " node " << i;
            }
        }
    }
}

TEST_F(WalkersFixture, SelectedAndCutCopyWalks) {
    tree.TreeOptions()->SetSelectionOptions({toMultiSelect});
    EXPECT_EQ(tree.FirstSelectedNode(), nullptr);
    tree.AddToSelection(a1);
    tree.AddToSelection(c);
    a1->States.Exclude(nsInitialized);
    EXPECT_EQ(tree.FirstSelectedNode(), a1);
    EXPECT_TRUE(Initialised(a1));
    EXPECT_EQ(tree.NextSelectedNode(a1), c);
    EXPECT_EQ(tree.NextSelectedNode(c), nullptr);
    // Marks alone are no pending cut or copy.
    b->States.Include(nsCutOrCopy);
    EXPECT_EQ(tree.FirstCutCopyNode(), nullptr);
    EXPECT_EQ(tree.NextCutCopyNode(a), nullptr);
}

} // namespace
