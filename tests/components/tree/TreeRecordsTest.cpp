#include <cstring>

#include "TreeTestSupport.h"

using namespace epc;
using epc::testing::AllZero;
using epc::testing::CheckTotals;

TEST(TreeRecords, UserDataStartsZeroedAfterDeleteAndReAdd) {
    TBaseVirtualTree tree(nullptr);
    tree.SetNodeDataSize(12);
    std::vector<PVirtualNode> nodes;
    for (int i = 0; i < 50; ++i) {
        PVirtualNode n = tree.AddChild(nullptr);
        std::memset(tree.NodeUserData(n), 0x5A, 12);
        nodes.push_back(n);
    }
    for (int i = 0; i < 50; i += 3)
        tree.DeleteNode(nodes[size_t(i)]);
    // Memory of deleted nodes may be handed out again; nothing of their former life shows.
    for (int i = 0; i < 20; ++i) {
        PVirtualNode n = tree.AddChild(tree.FirstNodeNoInit());
        EXPECT_TRUE(AllZero(tree.NodeUserData(n), 12));
        EXPECT_EQ(n->CheckState, csUncheckedNormal);
        EXPECT_EQ(n->FirstChild, nullptr);
        EXPECT_EQ(n->TotalCount, 1u);
        EXPECT_FALSE(n->States.Contains(nsSelected));
    }
    EXPECT_EQ(tree.TotalCount(), 50u - 17u + 20u);
    CheckTotals(tree);

    tree.Clear();
    EXPECT_EQ(tree.TotalCount(), 0u);
    PVirtualNode fresh = tree.AddChild(nullptr);
    EXPECT_TRUE(AllZero(tree.NodeUserData(fresh), 12));
    EXPECT_EQ(tree.TotalCount(), 1u);
}

TEST(TreeRecords, DataSizeChangeRebuildsRecordsOfTheNewSize) {
    TBaseVirtualTree tree(nullptr);
    tree.SetNodeDataSize(4);
    tree.SetRootNodeCount(30);
    tree.SetNodeDataSize(64);
    EXPECT_EQ(tree.RootNodeCount(), 30u);
    for (PVirtualNode n = tree.FirstNodeNoInit(); n; n = n->NextSibling) {
        EXPECT_TRUE(AllZero(tree.NodeUserData(n), 64));
        std::memset(tree.NodeUserData(n), 0xFF, 64); // the whole area belongs to the node
    }
    CheckTotals(tree);
}

TEST(TreeRecords, ManyNodesAcrossSlabsAndFreeOneByOne) {
    TBaseVirtualTree tree(nullptr);
    tree.SetNodeDataSize(sizeof(int));
    tree.BeginUpdate();
    for (int i = 0; i < 200; ++i) {
        PVirtualNode top = tree.AddChild(nullptr);
        tree.SetChildCount(top, 499);
    }
    tree.EndUpdate();
    EXPECT_EQ(tree.TotalCount(), 100000u);
    int serial = 0;
    for (PVirtualNode n = tree.FirstNodeNoInit(); n; n = tree.NextNodeNoInit(n))
        *static_cast<int*>(tree.NodeUserData(n)) = serial++;
    serial = 0;
    bool intact = true;
    for (PVirtualNode n = tree.FirstNodeNoInit(); n; n = tree.NextNodeNoInit(n))
        intact = intact && *static_cast<int*>(tree.NodeUserData(n)) == serial++;
    EXPECT_TRUE(intact);
    // Deleting every top-level node by itself gives every record back; adding afterwards
    // works as on a new tree.
    while (PVirtualNode last = tree.LastChildNoInit(nullptr))
        tree.DeleteNode(last);
    EXPECT_EQ(tree.TotalCount(), 0u);
    tree.SetRootNodeCount(10);
    EXPECT_EQ(tree.TotalCount(), 10u);
    CheckTotals(tree);
}
