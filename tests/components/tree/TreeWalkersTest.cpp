// The walkers that are not covered by the plain pre-order walks: NoInit variants leave nodes as
// they are, the others initialise what they return; the selected and cut-or-copied walks.

#include <gtest/gtest.h>

#include <functional>
#include <string>

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
