#include <cstring>
#include <set>

#include "TreeTestSupport.h"
#include "components/tree/NodePool.h"

using namespace epc;
using epc::testing::CheckTotals;

namespace {

bool AllZero(const void* p, size_t n) {
    const auto* b = static_cast<const unsigned char*>(p);
    for (size_t i = 0; i < n; ++i)
        if (b[i] != 0) return false;
    return true;
}

} // namespace

TEST(NodePool, RecordsAreZeroedAlignedAndReusedAfterFree) {
    TNodePool pool;
    std::vector<void*> records;
    for (int i = 0; i < 100; ++i) {
        void* r = pool.Allocate(21);
        ASSERT_TRUE(AllZero(r, 21));
        EXPECT_EQ(reinterpret_cast<uintptr_t>(r) % sizeof(void*), 0u);
        std::memset(r, 0xAB, 21);
        records.push_back(r);
    }
    EXPECT_EQ(pool.Stride(), 24u);
    EXPECT_EQ(std::set<void*>(records.begin(), records.end()).size(), records.size());
    // Records made one after another lie next to each other within a slab.
    EXPECT_EQ(static_cast<char*>(records[1]) - static_cast<char*>(records[0]), 24);

    // A given-back record is handed out again, cleared (the free-list link included).
    pool.Free(records[40]);
    pool.Free(records[7]);
    void* again = pool.Allocate(21);
    EXPECT_EQ(again, records[7]);
    EXPECT_TRUE(AllZero(again, 21));
    EXPECT_EQ(pool.Allocate(21), records[40]);
    EXPECT_EQ(pool.LiveCount(), 100u);
}

TEST(NodePool, LastFreeReleasesSlabsAndSizeMayChangeThen) {
    TNodePool pool;
    void* a = pool.Allocate(80);
    void* b = pool.Allocate(80);
    EXPECT_GT(pool.SlabBytes(), 0u);
    pool.Free(a);
    pool.Free(b);
    EXPECT_EQ(pool.LiveCount(), 0u);
    EXPECT_EQ(pool.SlabBytes(), 0u);
    void* c = pool.Allocate(96);
    EXPECT_EQ(pool.Stride(), 96u);
    EXPECT_TRUE(AllZero(c, 96));
    pool.Free(c);
}

TEST(NodePool, SizeChangesWhileRecordsLive) {
    TNodePool pool;
    void* small = pool.Allocate(72);
    // Larger records while the slab ones are in use come from the heap, zeroed and usable.
    void* big = pool.Allocate(200);
    EXPECT_TRUE(AllZero(big, 200));
    std::memset(big, 1, 200);
    // Smaller ones fit the existing stride.
    void* smaller = pool.Allocate(40);
    EXPECT_EQ(pool.Stride(), 72u);
    EXPECT_EQ(pool.LiveCount(), 3u);
    pool.Free(big);
    EXPECT_EQ(pool.LiveCount(), 2u);
    pool.Free(small);
    pool.Free(smaller);
    EXPECT_EQ(pool.LiveCount(), 0u);
    // Records still handed out at destruction are not leaked (checked by the sanitizer).
    pool.Allocate(72);
    pool.Allocate(500);
}

TEST(NodePoolTree, UserDataStartsZeroedAfterDeleteAndReAdd) {
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
    // The freed records come back first; nothing of their former life shows.
    for (int i = 0; i < 20; ++i) {
        PVirtualNode n = tree.AddChild(tree.GetFirstNoInit());
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

TEST(NodePoolTree, DataSizeChangeRebuildsRecordsOfTheNewSize) {
    TBaseVirtualTree tree(nullptr);
    tree.SetNodeDataSize(4);
    tree.SetRootNodeCount(30);
    tree.SetNodeDataSize(64);
    EXPECT_EQ(tree.RootNodeCount(), 30u);
    for (PVirtualNode n = tree.GetFirstNoInit(); n; n = n->NextSibling) {
        EXPECT_TRUE(AllZero(tree.NodeUserData(n), 64));
        std::memset(tree.NodeUserData(n), 0xFF, 64); // the whole area belongs to the node
    }
    CheckTotals(tree);
}

TEST(NodePoolTree, ManyNodesAcrossSlabsAndFreeOneByOne) {
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
    for (PVirtualNode n = tree.GetFirstNoInit(); n; n = tree.GetNextNoInit(n))
        *static_cast<int*>(tree.NodeUserData(n)) = serial++;
    serial = 0;
    bool intact = true;
    for (PVirtualNode n = tree.GetFirstNoInit(); n; n = tree.GetNextNoInit(n))
        intact = intact && *static_cast<int*>(tree.NodeUserData(n)) == serial++;
    EXPECT_TRUE(intact);
    // Deleting every top-level node by itself gives every record back; adding afterwards
    // works on fresh slabs.
    while (PVirtualNode last = tree.GetLastChildNoInit(nullptr))
        tree.DeleteNode(last);
    EXPECT_EQ(tree.TotalCount(), 0u);
    tree.SetRootNodeCount(10);
    EXPECT_EQ(tree.TotalCount(), 10u);
    CheckTotals(tree);
}
