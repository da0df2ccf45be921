#include <chrono>
#include <filesystem>
#include <iterator>
#include <random>
#include <thread>

#include "TreeTestSupport.h"
#include "components/tree/WorkerThread.h"

using namespace epc;
using namespace epc::tree_options;
using epc::testing::CheckTotals;
using epc::testing::ChildIndices;
using M = TVTNodeAttachMode;

namespace {

struct TreeFixture : ::testing::Test {
    TBaseVirtualTree tree{nullptr};
};

std::string AssertionText(const std::function<void()>& f) {
    try {
        f();
    } catch (const EAssertionFailed& e) {
        return e.Message();
    }
    return "";
}

} // namespace

TEST_F(TreeFixture, InsertPositionsAndIndices) {
    PVirtualNode a = tree.InsertNodeAt(nullptr, M::amInsertAfter);
    PVirtualNode b = tree.InsertNodeAt(nullptr, M::amInsertAfter);
    PVirtualNode first = tree.InsertNodeAt(nullptr, M::amInsertBefore);
    EXPECT_EQ(tree.FirstNodeNoInit(), first);
    EXPECT_EQ(tree.LastChildNoInit(nullptr), b);
    EXPECT_EQ(ChildIndices(tree.RootNode()), (std::vector<Cardinal>{0, 1, 2}));
    PVirtualNode before = tree.InsertNodeAt(first, M::amInsertBefore);
    EXPECT_EQ(tree.FirstNodeNoInit(), before);
    PVirtualNode after = tree.InsertNodeAt(a, M::amInsertAfter);
    EXPECT_EQ(a->NextSibling, after);
    EXPECT_EQ(after->Index, a->Index + 1);
    EXPECT_EQ(ChildIndices(tree.RootNode()), (std::vector<Cardinal>{0, 1, 2, 3, 4}));
    EXPECT_EQ(tree.InsertNodeAt(a, M::amNoWhere), nullptr);

    PVirtualNode c1 = tree.InsertNodeAt(a, M::amAddChildLast);
    PVirtualNode c0 = tree.InsertNodeAt(a, M::amAddChildFirst);
    EXPECT_EQ(a->FirstChild, c0);
    EXPECT_EQ(a->LastChild, c1);
    EXPECT_EQ(ChildIndices(a), (std::vector<Cardinal>{0, 1}));
    EXPECT_TRUE(a->States.Contains(nsHasChildren));
    EXPECT_TRUE(a->States.Contains(nsInitialized)); // initialised before children are added

    // Deleting with reindexing numbers the rest 0, 1, 2, ... again.
    tree.DeleteNode(before);
    tree.DeleteNode(after);
    EXPECT_EQ(ChildIndices(tree.RootNode()), (std::vector<Cardinal>{0, 1, 2}));
    EXPECT_EQ(tree.RootNodeCount(), 3u);
    EXPECT_EQ(tree.TotalCount(), 5u);
    CheckTotals(tree);
}

TEST_F(TreeFixture, NewNodeRecordDefaults) {
    tree.SetNodeDataSize(int(sizeof(void*)) + 4);
    PVirtualNode n = tree.AddChild(nullptr);
    EXPECT_EQ(n->TotalCount, 1u);
    EXPECT_EQ(n->NodeHeight, 18);
    EXPECT_EQ(n->TotalHeight, 18u);
    EXPECT_EQ(n->Align, 50);
    EXPECT_EQ(n->States, TVirtualNodeStates{nsVisible});
    // The user data follows the fixed fields; NodeDataSize counts user bytes only.
    EXPECT_EQ(tree.NodeRecordSize(), TreeNodeSize + sizeof(void*) + 4);
    EXPECT_EQ(static_cast<uint8_t*>(tree.NodeUserData(n)), n->Data());
    EXPECT_EQ(reinterpret_cast<uintptr_t>(tree.NodeUserData(n)) % alignof(void*), 0u);
    EXPECT_EQ(TreeFromNode(n), &tree);
}

TEST_F(TreeFixture, InternalDataAreasComeBeforeUserData) {
    Cardinal first = tree.AllocateInternalDataArea(3);
    Cardinal second = tree.AllocateInternalDataArea(8);
    EXPECT_EQ(first, 0u);
    EXPECT_EQ(second, sizeof(void*));
    tree.SetNodeDataSize(4);
    PVirtualNode n = tree.AddChild(nullptr);
    EXPECT_EQ(static_cast<uint8_t*>(tree.NodeUserData(n)), n->Data() + sizeof(void*) + 8);
    EXPECT_EQ(TreeFromNode(n), &tree);
    EXPECT_EQ(AssertionText([&] { tree.AllocateInternalDataArea(4); }),
              "Internal data allocation must be done before any node is created.");
}

TEST_F(TreeFixture, UserDataRules) {
    EXPECT_EQ(AssertionText([&] { tree.NodeUserData(tree.RootNode()); }),
              "NodeDataSize not initialized.");
    // The size is asked for when the first node is made.
    tree.OnGetNodeDataSize = [](TBaseVirtualTree*, int& size) { size = 2; };
    PVirtualNode n = tree.AddChild(nullptr);
    EXPECT_EQ(tree.NodeDataSize(), 2);
    EXPECT_EQ(tree.NodeUserData(tree.RootNode()), nullptr);
    EXPECT_EQ(tree.NodeUserData(nullptr), nullptr);
    EXPECT_NE(tree.NodeUserData(n), nullptr);

    // A pointer does not fit in 2 bytes: the error comes with its help context, and the node
    // stays linked.
    int payload = 7;
    try {
        tree.AddChild(nullptr, &payload);
        FAIL() << "expected EVirtualTreeError";
    } catch (const EVirtualTreeError& e) {
        EXPECT_EQ(e.Message(),
                  "Cannot set initial user data because there is not enough user data space "
                  "allocated.");
        EXPECT_EQ(e.HelpContext(), 2008);
    }
    EXPECT_EQ(tree.RootNodeCount(), 2u);
}

TEST(TreeUserData, InitialPointerIsStored) {
    TBaseVirtualTree tree(nullptr);
    tree.SetNodeDataSize(sizeof(void*));
    int payload = 7;
    PVirtualNode n = tree.AddChild(nullptr, &payload);
    EXPECT_EQ(*tree.NodeData<int*>(n), &payload);
    EXPECT_TRUE(n->States.Contains(nsOwnsInitialData));
    // Such a node hears its free notification although it was never initialised.
    int freed = 0;
    tree.OnFreeNode = [&](TBaseVirtualTree*, PVirtualNode) { ++freed; };
    PVirtualNode plain = tree.AddChild(nullptr);
    EXPECT_FALSE(plain->States.Contains(nsInitialized));
    tree.DeleteNode(plain);
    EXPECT_EQ(freed, 0);
    tree.DeleteNode(n);
    EXPECT_EQ(freed, 1);
}

TEST_F(TreeFixture, TotalsAfterInsertExpandDelete) {
    PVirtualNode a = tree.AddChild(nullptr);
    PVirtualNode b = tree.AddChild(nullptr);
    PVirtualNode a1 = tree.AddChild(a);
    tree.AddChild(a);
    tree.AddChild(a1);
    EXPECT_EQ(tree.VisibleCount(), 2u);
    EXPECT_EQ(tree.RootTotalHeight(), 36u);
    EXPECT_EQ(a->TotalCount, 4u);
    tree.SetExpanded(a, true);
    EXPECT_EQ(tree.VisibleCount(), 4u);
    EXPECT_EQ(tree.RootTotalHeight(), 72u);
    tree.SetExpanded(a1, true);
    EXPECT_EQ(tree.VisibleCount(), 5u);
    EXPECT_EQ(CheckTotals(tree), tree.VisibleCount());
    tree.SetNodeHeight(a1, 30);
    EXPECT_EQ(tree.RootTotalHeight(), 5 * 18u + 12);
    tree.SetExpanded(a, false);
    EXPECT_EQ(tree.VisibleCount(), 2u);
    EXPECT_EQ(CheckTotals(tree), tree.VisibleCount());
    tree.SetExpanded(a, true);
    tree.DeleteNode(a1);
    EXPECT_EQ(tree.VisibleCount(), 3u);
    EXPECT_EQ(tree.TotalCount(), 3u);
    EXPECT_EQ(CheckTotals(tree), tree.VisibleCount());
    tree.DeleteNode(b);
    tree.DeleteChildren(a);
    EXPECT_FALSE(tree.Expanded(a));
    EXPECT_EQ(tree.VisibleCount(), 1u);
    EXPECT_EQ(CheckTotals(tree), 1u);
}

TEST_F(TreeFixture, ParentLosesHasChildrenWithItsLastChild) {
    PVirtualNode parent = tree.AddChild(nullptr);
    PVirtualNode first = tree.AddChild(parent);
    PVirtualNode second = tree.AddChild(parent);
    tree.SetExpanded(parent, true);
    tree.DeleteNode(first);
    EXPECT_TRUE(tree.HasChildren(parent));
    tree.DeleteNode(second);
    EXPECT_FALSE(tree.HasChildren(parent));
    EXPECT_FALSE(parent->States.Contains(nsHasChildren));
    EXPECT_EQ(parent->FirstChild, nullptr);
    EXPECT_EQ(CheckTotals(tree), 1u);
    // A fresh child brings the flag back.
    tree.AddChild(parent);
    EXPECT_TRUE(tree.HasChildren(parent));
}

// Deleting the children of a node that has none yet (they come on demand) changes nothing.
TEST_F(TreeFixture, RemoveChildrenOfANodeWithoutChildrenDoesNothing) {
    int changes = 0;
    tree.OnStructureChange = [&](TBaseVirtualTree*, PVirtualNode, TChangeReason) { ++changes; };
    PVirtualNode onDemand = tree.AddChild(nullptr);
    tree.SetHasChildren(onDemand, true);
    changes = 0;
    tree.RemoveChildren(onDemand, true);
    EXPECT_TRUE(tree.HasChildren(onDemand));
    EXPECT_EQ(changes, 0);
    // With children, the flag goes when asked.
    PVirtualNode parent = tree.AddChild(nullptr);
    tree.AddChild(parent);
    tree.RemoveChildren(parent, true);
    EXPECT_FALSE(tree.HasChildren(parent));
    EXPECT_EQ(changes, 1 + 1 + 1); // two insertions, one deletion
}

TEST_F(TreeFixture, NodeHeightIsClampedTo16Bits) {
    PVirtualNode n = tree.AddChild(nullptr);
    tree.SetNodeHeight(n, 70000);
    EXPECT_EQ(tree.NodeHeight(n), 65535u);
    EXPECT_EQ(n->TotalHeight, 65535u);
    EXPECT_EQ(tree.RootTotalHeight(), 65535u);
    EXPECT_EQ(tree.NodeHeight(nullptr), 0u);
    EXPECT_EQ(tree.NodeHeight(tree.RootNode()), 0u);
}

// Random structural work in and out of update locks must always leave exact totals.
TEST(TreeTotals, RandomWorkKeepsTotalsExact) {
    TBaseVirtualTree tree(nullptr);
    std::mt19937 rng(12345);
    std::vector<PVirtualNode> nodes;
    auto pick = [&]() -> PVirtualNode {
        if (nodes.empty()) return nullptr;
        return nodes[rng() % nodes.size()];
    };
    auto forget = [&](PVirtualNode gone) {
        // Drop the node and its descendants from the list before they are freed.
        std::vector<PVirtualNode> keep;
        for (PVirtualNode n : nodes)
            if (n != gone && !tree.HasAsAncestor(n, gone)) keep.push_back(n);
        nodes.swap(keep);
    };
    for (int round = 0; round < 40; ++round) {
        bool locked = round % 2 == 0;
        if (locked) tree.LockUpdates();
        for (int step = 0; step < 60; ++step) {
            int op = int(rng() % 10);
            PVirtualNode n = pick();
            if (op < 4 || !n) {
                nodes.push_back(tree.InsertNodeAt(n, TVTNodeAttachMode(1 + rng() % 4)));
            } else if (op < 6) {
                tree.ToggleNode(n);
            } else if (op == 6) {
                tree.SetNodeHeight(n, 5 + rng() % 40);
            } else if (op == 7) {
                tree.SetVisible(n, !tree.IsVisible(n));
            } else if (op == 8 && rng() % 3 == 0) {
                forget(n);
                tree.DeleteNode(n);
            } else {
                tree.SetChildCount(n, rng() % 4);
                nodes.clear();
                for (PVirtualNode r = tree.FirstNodeNoInit(); r; r = tree.NextNodeNoInit(r))
                    nodes.push_back(r);
            }
        }
        if (round % 7 == 3) tree.ExpandAll(nullptr);
        if (round % 7 == 5) tree.CollapseAll(pick());
        if (locked) tree.UnlockUpdates();
        ASSERT_EQ(CheckTotals(tree), tree.VisibleCount()) << "round " << round;
    }
}

TEST(TreeTotals, DeepChainInsideLock) {
    TBaseVirtualTree tree(nullptr);
    tree.LockUpdates();
    PVirtualNode parent = nullptr;
    for (int i = 0; i < 2000; ++i)
        parent = tree.AddChild(parent);
    tree.UnlockUpdates();
    EXPECT_EQ(tree.TotalCount(), 2000u);
    EXPECT_EQ(tree.RootNode()->FirstChild->TotalCount, 2000u);
    tree.ExpandAll(nullptr);
    EXPECT_EQ(tree.VisibleCount(), 2000u);
    EXPECT_EQ(tree.RootTotalHeight(), 2000u * 18);
    EXPECT_EQ(CheckTotals(tree), 2000u);
    tree.CollapseAll(nullptr);
    EXPECT_EQ(tree.VisibleCount(), 1u);
    EXPECT_EQ(CheckTotals(tree), 1u);
    tree.Clear();
    EXPECT_EQ(tree.TotalCount(), 0u);
    EXPECT_EQ(tree.VisibleCount(), 0u);
}

TEST_F(TreeFixture, UpdateLockOrderAndDeferredNotifications) {
    std::vector<std::string> log;
    tree.OnUpdating = [&](TBaseVirtualTree*, TVTUpdateState s) {
        log.push_back("updating " + std::to_string(int(s)));
    };
    tree.OnStructureChange = [&](TBaseVirtualTree*, PVirtualNode, TChangeReason r) {
        log.push_back("structure " + std::to_string(int(r)));
    };
    tree.OnChange = [&](TBaseVirtualTree*, PVirtualNode) { log.push_back("change"); };
    tree.LockUpdates();
    tree.LockUpdates();
    PVirtualNode n = tree.AddChild(nullptr);
    tree.SetSelected(n, true);
    tree.UnlockUpdates();
    EXPECT_EQ(tree.UpdateCount(), 1u);
    tree.UnlockUpdates();
    tree.UnlockUpdates(); // one too many: stays at 0
    EXPECT_EQ(tree.UpdateCount(), 0u);
    EXPECT_EQ(log, (std::vector<std::string>{"updating 0", "updating 3", "updating 3",
                                             "structure 4", "change", "updating 4", "updating 4"}));
    log.clear();
    tree.AddChild(nullptr);
    EXPECT_EQ(log, (std::vector<std::string>{"structure 4"}));
}

TEST_F(TreeFixture, ChangeDelayPostponesNotifications) {
    int changes = 0, structures = 0;
    tree.OnChange = [&](TBaseVirtualTree*, PVirtualNode) { ++changes; };
    tree.OnStructureChange = [&](TBaseVirtualTree*, PVirtualNode, TChangeReason) { ++structures; };
    tree.SetChangeDelay(100);
    PVirtualNode a = tree.AddChild(nullptr);
    PVirtualNode b = tree.AddChild(nullptr);
    tree.SetSelected(a, true);
    tree.SetSelected(b, true);
    EXPECT_EQ(changes, 0);
    EXPECT_EQ(structures, 0);
    EXPECT_TRUE(tree.ChangeTimerRunning());
    tree.ChangeTimerElapsed();
    tree.StructureChangeTimerElapsed();
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(structures, 1);
}

TEST_F(TreeFixture, DeletingDuringIterationFails) {
    tree.SetRootNodeCount(3);
    std::string message;
    tree.IterateSubtree(nullptr, [&](PVirtualNode n, bool& abort) {
        message = AssertionText([&] { tree.DeleteNode(n); });
        abort = true;
    });
    EXPECT_EQ(message, "Deleting nodes during tree iteration leads to invalid pointers.");
    EXPECT_EQ(tree.RootNodeCount(), 3u);
    EXPECT_FALSE(tree.IsIterating());
}

TEST_F(TreeFixture, DeletingFocusedNodeClearsFocus) {
    PVirtualNode n = tree.AddChild(nullptr);
    tree.SetFocusedNode(n);
    EXPECT_EQ(tree.FocusedNode(), n);
    std::vector<PVirtualNode> changing, changed;
    tree.OnFocusChanging = [&](TBaseVirtualTree*, PVirtualNode, PVirtualNode to, TColumnIndex,
                               TColumnIndex, bool&) { changing.push_back(to); };
    tree.OnFocusChanged = [&](TBaseVirtualTree*, PVirtualNode to, TColumnIndex) {
        changed.push_back(to);
    };
    tree.DeleteNode(n);
    EXPECT_EQ(tree.FocusedNode(), nullptr);
    EXPECT_EQ(changing, std::vector<PVirtualNode>{nullptr});
    EXPECT_EQ(changed, std::vector<PVirtualNode>{nullptr});
}

TEST_F(TreeFixture, NodeAtPoint) {
    tree.SetRootNodeCount(3);
    PVirtualNode a = tree.FirstNode();
    PVirtualNode a0 = tree.AddChild(a);
    PVirtualNode a1 = tree.AddChild(a);
    tree.SetExpanded(a, true);
    PVirtualNode b = tree.NextSiblingOf(a);
    int top = -1;
    EXPECT_EQ(tree.NodeAtPointEx(0, 0, false, top), a);
    EXPECT_EQ(top, 0);
    EXPECT_EQ(tree.NodeAtPointEx(0, 20, false, top), a0);
    EXPECT_EQ(top, 18);
    EXPECT_EQ(tree.NodeAtPointEx(0, 53, false, top), a1);
    EXPECT_EQ(tree.NodeAtPointEx(0, 54, false, top), b);
    EXPECT_EQ(top, 54);
    EXPECT_EQ(tree.NodeAtPoint(0, 5 * 18), nullptr); // below the last row
    EXPECT_EQ(tree.NodeAtPoint(0, -5), a);           // above counts as the top
    tree.SetVisible(a0, false);
    EXPECT_EQ(tree.NodeAtPointEx(0, 20, false, top), a1);
    EXPECT_EQ(tree.NodeTop(b), 36);
}

TEST_F(TreeFixture, WalkersInitialiseAndCreateChildren) {
    std::vector<PVirtualNode> initialised;
    tree.OnInitNode = [&](TBaseVirtualTree*, PVirtualNode parent, PVirtualNode node,
                          TVirtualNodeInitStates& states) {
        initialised.push_back(node);
        if (!parent) states.Include(TVirtualNodeInitState::ivsHasChildren);
    };
    tree.OnInitChildren = [](TBaseVirtualTree*, PVirtualNode, Cardinal& count) { count = 2; };
    tree.SetRootNodeCount(2);
    EXPECT_EQ(tree.TotalCount(), 2u);
    int walked = 0;
    for (PVirtualNode n = tree.FirstNode(); n; n = tree.NextNodeInTree(n))
        ++walked;
    EXPECT_EQ(walked, 6);
    EXPECT_EQ(initialised.size(), 6u);
    EXPECT_EQ(tree.TotalCount(), 6u);
    // Backwards over the same nodes.
    int back = 0;
    for (PVirtualNode n = tree.LastNode(); n; n = tree.PreviousNode(n))
        ++back;
    EXPECT_EQ(back, 6);
    EXPECT_EQ(AssertionText([&] { tree.NextNodeInTree(tree.RootNode()); }),
              "Node must not be the hidden root node.");
    // Visible walk: children of collapsed nodes are skipped.
    int visible = 0;
    for (PVirtualNode n = tree.FirstVisibleNode(); n; n = tree.NextVisibleNode(n))
        ++visible;
    EXPECT_EQ(visible, 2);
    tree.ExpandAll(nullptr);
    visible = 0;
    for (PVirtualNode n = tree.LastVisibleNode(); n; n = tree.PreviousVisibleNode(n))
        ++visible;
    EXPECT_EQ(visible, 6);
    EXPECT_EQ(tree.VisibleCount(), 6u);
}

TEST_F(TreeFixture, ReadOnlyTreeKeepsItsNodes) {
    tree.SetRootNodeCount(2);
    auto misc = tree.TreeOptions()->MiscOptions();
    tree.TreeOptions()->SetMiscOptions(misc | toReadOnly);
    tree.SetChildCount(nullptr, 5);
    tree.DeleteNode(tree.FirstNode());
    tree.Clear();
    EXPECT_EQ(tree.RootNodeCount(), 2u);
    EXPECT_EQ(tree.RepaintRequests(), 0);
}

TEST_F(TreeFixture, RootNodeCountWhileLoading) {
    tree.IncludeState(TComponentStateItem::csLoading);
    tree.SetRootNodeCount(4);
    EXPECT_EQ(tree.TotalCount(), 0u);
    EXPECT_EQ(tree.RootNodeCount(), 4u);
    tree.Loaded();
    EXPECT_EQ(tree.TotalCount(), 4u);
    EXPECT_EQ(tree.RootNodeCount(), 4u);
}

TEST_F(TreeFixture, RemoveSelectedNodesReindexes) {
    auto sel = tree.TreeOptions()->SelectionOptions();
    tree.TreeOptions()->SetSelectionOptions(sel | toMultiSelect);
    tree.SetRootNodeCount(6);
    std::vector<PVirtualNode> nodes;
    for (PVirtualNode n = tree.FirstNode(); n; n = tree.NextSiblingOf(n))
        nodes.push_back(n);
    PVirtualNode child = tree.AddChild(nodes[1]);
    tree.SetSelected(nodes[1], true);
    tree.SetSelected(child, true); // inside a selected node: goes with it
    tree.SetSelected(nodes[3], true);
    tree.SetSelected(nodes[4], true);
    EXPECT_EQ(tree.SortedSelection(true).size(), 3u);
    EXPECT_EQ(tree.SortedSelection(false).size(), 4u);
    tree.RemoveSelectedNodes();
    EXPECT_EQ(tree.SelectedCount(), 0u);
    EXPECT_EQ(ChildIndices(tree.RootNode()), (std::vector<Cardinal>{0, 1, 2}));
    EXPECT_EQ(CheckTotals(tree), 3u);
}

namespace {
// Threads of this process, as the kernel lists them.
int ThreadCount() {
    return int(std::distance(std::filesystem::directory_iterator("/proc/self/task"),
                             std::filesystem::directory_iterator()));
}
} // namespace

TEST(TreeWorker, StartsNoThreadWhileIdle) {
    const int before = ThreadCount();
    {
        TBaseVirtualTree tree(nullptr);
        tree.SetRootNodeCount(50);
        tree.SetExpanded(tree.FirstNode(), true);
        tree.InvalidatePositionCache();
        ASSERT_NE(TWorkerThread::Instance(), nullptr);
        EXPECT_FALSE(TWorkerThread::Instance()->Started());
        // At most: a thread another test left behind may end meanwhile.
        EXPECT_LE(ThreadCount(), before);
        // Queued work starts the thread; its body returns at once.
        TWorkerThread::Instance()->AddTree(&tree);
        EXPECT_TRUE(TWorkerThread::Instance()->Started());
    }
    // The last tree ends the worker and joins its thread; the kernel may list the finished
    // thread a moment longer, and a busy machine may take a while to reap it.
    for (int i = 0; i < 1000 && ThreadCount() > before; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_LE(ThreadCount(), before);
}

TEST(TreeWorker, SharedWhileTreesLive) {
    EXPECT_EQ(TWorkerThread::Instance(), nullptr);
    {
        TBaseVirtualTree a(nullptr);
        TWorkerThread* worker = TWorkerThread::Instance();
        ASSERT_NE(worker, nullptr);
        {
            TBaseVirtualTree b(nullptr);
            EXPECT_EQ(TWorkerThread::ReferenceCount(), 2);
            EXPECT_EQ(TWorkerThread::Instance(), worker);
            worker->AddTree(&b);
            worker->AddTree(&b);
            EXPECT_TRUE(worker->IsWaiting(&b));
            // A structural change takes the tree off the waiting list.
            b.SetRootNodeCount(10);
            EXPECT_FALSE(worker->IsWaiting(&b));
            EXPECT_FALSE(b.TreeStates().Contains(TVirtualTreeState::tsUseCache));
        }
        EXPECT_EQ(TWorkerThread::ReferenceCount(), 1);
        EXPECT_EQ(AssertionText([&] { worker->AddTree(nullptr); }), "Tree must not be nil.");
    }
    EXPECT_EQ(TWorkerThread::Instance(), nullptr);
    EXPECT_EQ(TWorkerThread::ReferenceCount(), 0);
}

TEST(TreeNodes, MovesKeepTheAllChildrenHiddenStateOfBothParents) {
    TBaseVirtualTree tree(nullptr);
    PVirtualNode p = tree.AddChild(nullptr);
    PVirtualNode q = tree.AddChild(nullptr);
    PVirtualNode r = tree.AddChild(nullptr);
    PVirtualNode a = tree.AddChild(p);
    PVirtualNode b = tree.AddChild(p);
    tree.SetVisible(b, false);
    auto hidden = [](PVirtualNode n) { return n->States.Contains(nsAllChildrenHidden); };
    EXPECT_FALSE(hidden(p));
    // The visible child leaves: what remains of P is hidden.
    tree.MoveNodeTo(a, &tree, q, M::amAddChildLast, false);
    EXPECT_TRUE(hidden(p));
    EXPECT_FALSE(hidden(q));
    // The hidden child alone under R hides R's children; P has none left.
    tree.MoveNodeTo(b, &tree, r, M::amAddChildFirst, false);
    EXPECT_TRUE(hidden(r));
    EXPECT_FALSE(hidden(p));
    // A visible newcomer shows R's children again.
    tree.MoveNodeTo(a, &tree, b, M::amInsertAfter, false);
    EXPECT_FALSE(hidden(r));
    EXPECT_FALSE(hidden(q));
    CheckTotals(tree);
}
