// Node records and node management: creation, linking, initialisation, deletion, the update
// lock with its deferred work, expansion, running totals and the walkers.

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "components/tree/BaseVirtualTree.h"
#include "platform/core/ScopeGuard.h"
#include "platform/windows/Window.h"

namespace epc {

using namespace tree_options;

// Inside an update lock the totals of a node's ancestors are brought up to date in one pass
// when the lock ends (FlushTotals), which keeps bulk work on deep trees linear. Deletions need
// exact totals at once; they flush first and then work with immediate propagation.
struct TEagerTotals {
    explicit TEagerTotals(TBaseVirtualTree& tree) : Tree(tree) {
        Tree.FlushTotals();
        ++Tree.FEagerTotals;
    }
    ~TEagerTotals() { --Tree.FEagerTotals; }
    TBaseVirtualTree& Tree;
};

namespace {

inline bool Has(PVirtualNode n, TVirtualNodeState s) {
    return n->States.Contains(s);
}

// RAII form of LockUpdates/UnlockUpdates.
struct TUpdateLock {
    explicit TUpdateLock(TBaseVirtualTree& tree) : Tree(tree) { Tree.LockUpdates(); }
    ~TUpdateLock() { Tree.UnlockUpdates(); }
    TBaseVirtualTree& Tree;
};

} // namespace

// ---- Records
// ---------------------------------------------------------------------------------------

size_t TBaseVirtualTree::NodeRecordSize() const {
    size_t user = 0;
    if (!FComponentState.Contains(TComponentStateItem::csDesigning) && FNodeDataSize > 0)
        user = size_t(FNodeDataSize);
    return TreeNodeSize + FTotalInternalDataSize + user;
}

PVirtualNode TBaseVirtualTree::MakeNewNode() {
    if (FNodeDataSize == -1) {
        int size = DoGetNodeDataSize();
        FNodeDataSize = std::max(size, -1);
    }
    // Zero-filled, like every record before its fields are set.
    void* memory = FNodePool.Allocate(NodeRecordSize());
    PVirtualNode node = new (memory) TVirtualNode();
    node->NodeHeight = Word(FDefaultNodeHeight);
    node->TotalCount = 1;
    node->TotalHeight = FDefaultNodeHeight;
    node->States = {nsVisible};
    node->Align = 50;
    return node;
}

void TBaseVirtualTree::FreeNodeRecord(PVirtualNode Node) {
    Node->~TVirtualNode();
    FNodePool.Free(Node);
}

Cardinal TBaseVirtualTree::AllocateInternalDataArea(Cardinal Size) {
    Assert(FRoot->TotalCount == 1,
           "Internal data allocation must be done before any node is created.");
    // Rounded to pointer size so that the user data stays aligned for pointers.
    Cardinal size = Cardinal(AlignToPointer(Size));
    Cardinal offset = FTotalInternalDataSize;
    FTotalInternalDataSize += size;
    void* memory = std::realloc(FRoot, TreeNodeSize + FTotalInternalDataSize);
    if (!memory) throw EOutOfMemory("Out of memory");
    FRoot = static_cast<PVirtualNode>(memory);
    std::memset(FRoot->Data() + offset, 0, size);
    FRoot->PrevSibling = FRoot;
    FRoot->NextSibling = FRoot;
    return offset;
}

void* TBaseVirtualTree::NodeUserData(PVirtualNode Node) const {
    Assert(FNodeDataSize >= 1, "NodeDataSize not initialized.");
    if (!Node || Node == FRoot) return nullptr;
    return Node->Data() + FTotalInternalDataSize;
}

// ---- Running totals
// ----------------------------------------------------------------------------------

void TBaseVirtualTree::QueuePending(PVirtualNode Node) {
    if (!Node->FQueued) {
        Node->FQueued = 1;
        FPendingTotals.push_back(Node);
    }
}

void TBaseVirtualTree::AdjustTotalCount(PVirtualNode Node, int Value, bool Relative) {
    if (!Node) return;
    int delta = Relative ? Value : Value - int(Node->TotalCount);
    if (delta == 0) return;
    if (DeferTotals()) {
        Node->TotalCount = Cardinal(int64_t(Node->TotalCount) + delta);
        if (Node == FRoot) return;
        // One step up costs no more than queueing: top-level nodes settle with the root at once.
        if (Node->Parent == FRoot) {
            FRoot->TotalCount = Cardinal(int64_t(FRoot->TotalCount) + delta);
            return;
        }
        Node->FPendingCount += delta;
        QueuePending(Node);
        return;
    }
    // Up to and including the hidden root, whose parent link is the tree.
    for (PVirtualNode run = Node;; run = run->Parent) {
        run->TotalCount = Cardinal(int64_t(run->TotalCount) + delta);
        if (run == FRoot) break;
    }
}

void TBaseVirtualTree::AdjustTotalHeight(PVirtualNode Node, int Value, bool Relative) {
    if (!Node) return;
    int delta = Relative ? Value : Value - int(Node->TotalHeight);
    if (delta == 0) return;
    if (DeferTotals()) {
        Node->TotalHeight = Cardinal(int64_t(Node->TotalHeight) + delta);
        if (Node != FRoot && Has(Node, nsVisible) && Has(Node->Parent, nsExpanded)) {
            if (Node->Parent == FRoot) {
                FRoot->TotalHeight = Cardinal(int64_t(FRoot->TotalHeight) + delta);
                return;
            }
            Node->FPendingHeight += delta;
            QueuePending(Node);
        }
        return;
    }
    PVirtualNode run = Node;
    while (true) {
        run->TotalHeight = Cardinal(int64_t(run->TotalHeight) + delta);
        if (run == FRoot || !Has(run, nsVisible) || !Has(run->Parent, nsExpanded)) break;
        run = run->Parent;
    }
}

void TBaseVirtualTree::FlushTotals() {
    // Last queued first: on a chain of new nodes each parent then takes over the summed
    // change of its child before it is handed on, so every node is passed once.
    while (!FPendingTotals.empty()) {
        PVirtualNode node = FPendingTotals.back();
        FPendingTotals.pop_back();
        node->FQueued = 0;
        int count = node->FPendingCount;
        int height = node->FPendingHeight;
        node->FPendingCount = 0;
        node->FPendingHeight = 0;
        PVirtualNode parent = node->Parent;
        if (count != 0) {
            parent->TotalCount = Cardinal(int64_t(parent->TotalCount) + count);
            if (parent != FRoot) {
                parent->FPendingCount += count;
                QueuePending(parent);
            }
        }
        // A height change counts only while the node is shown by its parent; a parent that
        // collapsed meanwhile dropped the node's share already.
        if (height != 0 && Has(node, nsVisible) && Has(parent, nsExpanded)) {
            parent->TotalHeight = Cardinal(int64_t(parent->TotalHeight) + height);
            if (parent != FRoot && Has(parent, nsVisible) && Has(parent->Parent, nsExpanded)) {
                parent->FPendingHeight += height;
                QueuePending(parent);
            }
        }
    }
}

Cardinal TBaseVirtualTree::TotalCount() {
    FlushTotals();
    return FRoot->TotalCount - 1;
}

Cardinal TBaseVirtualTree::RootTotalHeight() {
    FlushTotals();
    return FRoot->TotalHeight - FRoot->NodeHeight;
}

Cardinal TBaseVirtualTree::CountVisibleChildren(PVirtualNode Node) const {
    // Visible descendants shown below an expanded node (iterative: trees may be very deep).
    Cardinal count = 0;
    PVirtualNode run = Node->FirstChild;
    while (run) {
        if (Has(run, nsVisible)) {
            ++count;
            if (Has(run, nsExpanded) && run->FirstChild) {
                run = run->FirstChild;
                continue;
            }
        }
        while (!run->NextSibling) {
            run = run->Parent;
            if (run == Node) return count;
        }
        run = run->NextSibling;
    }
    return count;
}

Cardinal TBaseVirtualTree::VisibleChildCount(PVirtualNode Node) const {
    if (!Node) Node = FRoot;
    if (!Has(Node, nsExpanded)) return 0;
    return CountVisibleChildren(Node);
}

// ---- Simple node queries
// -----------------------------------------------------------------------------

Cardinal TBaseVirtualTree::NodeLevel(PVirtualNode Node) const {
    Cardinal level = 0;
    if (!Node || Node == FRoot) return 0;
    for (PVirtualNode run = Node->Parent; run != FRoot; run = run->Parent)
        ++level;
    return level;
}

bool TBaseVirtualTree::HasAsAncestor(PVirtualNode Node, PVirtualNode PotentialParent) const {
    if (!Node || !PotentialParent || Node == PotentialParent || Node == FRoot) return false;
    for (PVirtualNode run = Node->Parent;; run = run->Parent) {
        if (run == PotentialParent) return true;
        if (run == FRoot) return false;
    }
}

PVirtualNode TBaseVirtualTree::VisibleAncestorOf(PVirtualNode Node) const {
    Assert(Node != nullptr, "Node must not be nil.");
    PVirtualNode result = Node;
    if (Node == FRoot) return Node;
    // The topmost collapsed ancestor, or the node itself when every ancestor is expanded.
    for (PVirtualNode run = Node->Parent; run != FRoot; run = run->Parent)
        if (!Has(run, nsExpanded)) result = run;
    return result;
}

bool TBaseVirtualTree::IsNodeFullyVisible(PVirtualNode Node) const {
    Assert(Node != nullptr, "Invalid parameter.");
    if (Node == FRoot) return true;
    if (!Has(Node, nsVisible)) return false;
    for (PVirtualNode run = Node->Parent; run != FRoot; run = run->Parent)
        if (!Has(run, nsExpanded) || !Has(run, nsVisible)) return false;
    return true;
}

Cardinal TBaseVirtualTree::NodeHeight(PVirtualNode Node) const {
    return Node && Node != FRoot ? Node->NodeHeight : 0;
}

void TBaseVirtualTree::SetNodeHeight(PVirtualNode Node, Cardinal Value) {
    if (!Node || Node == FRoot) return;
    // The record holds 16 bits: larger heights are kept at the largest one it can hold.
    Value = std::min<Cardinal>(Value, 65535);
    if (Node->NodeHeight == Value) return;
    int delta = int(Value) - int(Node->NodeHeight);
    Node->NodeHeight = Word(Value);
    AdjustTotalHeight(Node, delta, true);
    if (!IsUpdating()) {
        UpdateScrollBars(true);
        InvalidateToBottom(Node);
    }
}

bool TBaseVirtualTree::Expanded(PVirtualNode Node) const {
    return Node && Has(Node, nsExpanded);
}

void TBaseVirtualTree::SetExpanded(PVirtualNode Node, bool Value) {
    if (Node && Node != FRoot && Has(Node, nsExpanded) != Value) ToggleNode(Node);
}

bool TBaseVirtualTree::IsVisible(PVirtualNode Node) const {
    return Node && Has(Node, nsVisible);
}

void TBaseVirtualTree::SetVisible(PVirtualNode Node, bool Value) {
    if (!Node || Node == FRoot || Has(Node, nsVisible) == Value) return;
    TEagerTotals eager(*this);
    ++FStructureVersion;
    PVirtualNode parent = Node->Parent;
    auto share = [&] { return 1 + (Has(Node, nsExpanded) ? CountVisibleChildren(Node) : 0); };
    if (Value) {
        Node->States.Include(nsVisible);
        if (IsNodeFullyVisible(Node)) FVisibleCount += share();
        if (Has(parent, nsExpanded)) AdjustTotalHeight(parent, int(Node->TotalHeight), true);
    } else {
        if (IsNodeFullyVisible(Node)) FVisibleCount -= share();
        if (Has(parent, nsExpanded)) AdjustTotalHeight(parent, -int(Node->TotalHeight), true);
        Node->States.Exclude(nsVisible);
    }
    DetermineHiddenChildrenFlag(parent);
    if (!IsUpdating()) {
        UpdateScrollBars(true);
        RequestRepaint();
    }
}

bool TBaseVirtualTree::Disabled(PVirtualNode Node) const {
    return Node && Has(Node, nsDisabled);
}

void TBaseVirtualTree::SetDisabled(PVirtualNode Node, bool Value) {
    if (!Node || Node == FRoot || Has(Node, nsDisabled) == Value) return;
    Node->States.Set(nsDisabled, Value);
    InvalidateNode(Node);
}

Cardinal TBaseVirtualTree::ChildCount(PVirtualNode Node) const {
    return (Node ? Node : FRoot)->ChildCount;
}

bool TBaseVirtualTree::HasChildren(PVirtualNode Node) const {
    return Has(Node ? Node : FRoot, nsHasChildren);
}

void TBaseVirtualTree::SetHasChildren(PVirtualNode Node, bool Value) {
    if (!Node || Node == FRoot) return;
    if (Value) {
        Node->States.Include(nsHasChildren);
    } else if (Node->ChildCount == 0) {
        Node->States.Exclude(nsHasChildren);
    } else {
        RemoveChildren(Node, true);
    }
    InvalidateNode(Node);
}

void TBaseVirtualTree::DetermineHiddenChildrenFlag(PVirtualNode Node) {
    if (!Node) return;
    bool allHidden = Node->FirstChild != nullptr;
    for (PVirtualNode run = Node->FirstChild; run; run = run->NextSibling)
        if (Has(run, nsVisible)) {
            allHidden = false;
            break;
        }
    Node->States.Set(nsAllChildrenHidden, allHidden);
}

// ---- Linking
// -------------------------------------------------------------------------------------------

void TBaseVirtualTree::LinkNode(PVirtualNode Node, PVirtualNode Destination,
                                TVTNodeAttachMode Mode) {
    PVirtualNode parent = nullptr;
    switch (Mode) {
    case TVTNodeAttachMode::amNoWhere:
        return;
    case TVTNodeAttachMode::amInsertBefore: {
        parent = Destination->Parent;
        Node->Parent = parent;
        Node->Index = Destination->Index;
        Node->PrevSibling = Destination->PrevSibling;
        Node->NextSibling = Destination;
        Destination->PrevSibling = Node;
        if (Node->PrevSibling)
            Node->PrevSibling->NextSibling = Node;
        else
            parent->FirstChild = Node;
        for (PVirtualNode run = Destination; run; run = run->NextSibling)
            ++run->Index;
        break;
    }
    case TVTNodeAttachMode::amInsertAfter: {
        parent = Destination->Parent;
        Node->Parent = parent;
        Node->Index = Destination->Index;
        Node->PrevSibling = Destination;
        Node->NextSibling = Destination->NextSibling;
        Destination->NextSibling = Node;
        if (Node->NextSibling)
            Node->NextSibling->PrevSibling = Node;
        else
            parent->LastChild = Node;
        for (PVirtualNode run = Node; run; run = run->NextSibling)
            ++run->Index;
        break;
    }
    case TVTNodeAttachMode::amAddChildFirst: {
        parent = Destination;
        Node->Parent = parent;
        Node->Index = 0;
        Node->NextSibling = parent->FirstChild;
        if (parent->FirstChild)
            parent->FirstChild->PrevSibling = Node;
        else
            parent->LastChild = Node;
        parent->FirstChild = Node;
        for (PVirtualNode run = Node->NextSibling; run; run = run->NextSibling)
            ++run->Index;
        break;
    }
    case TVTNodeAttachMode::amAddChildLast: {
        parent = Destination;
        Node->Parent = parent;
        Node->PrevSibling = parent->LastChild;
        Node->Index = parent->LastChild ? parent->LastChild->Index + 1 : 0;
        if (parent->LastChild)
            parent->LastChild->NextSibling = Node;
        else
            parent->FirstChild = Node;
        parent->LastChild = Node;
        break;
    }
    }
    ++FStructureVersion;
    ++parent->ChildCount;
    parent->States.Include(nsHasChildren);
    if (Has(Node, nsVisible)) parent->States.Exclude(nsAllChildrenHidden);
    AdjustTotalCount(parent, int(Node->TotalCount), true);
    if (Has(parent, nsExpanded) && Has(Node, nsVisible))
        AdjustTotalHeight(parent, int(Node->TotalHeight), true);
    if (IsNodeFullyVisible(Node))
        FVisibleCount += 1 + (Has(Node, nsExpanded) ? CountVisibleChildren(Node) : 0);
}

void TBaseVirtualTree::UnlinkNode(PVirtualNode Node, bool KeepFocus, bool Reindex) {
    Assert(Node != nullptr && Node != FRoot, "Node must neither be nil nor the root node.");
    if (Node == FFocusedNode && !KeepFocus) {
        DoFocusChanging(FFocusedNode, nullptr, FFocusedColumn, FFocusedColumn);
        FFocusedNode = nullptr;
        DoFocusChange(nullptr, FFocusedColumn);
    }
    if (Node == FRangeAnchor) FRangeAnchor = nullptr;
    ++FStructureVersion;
    if (Has(Node, nsDeleting)) return;

    Node->States.Exclude(nsChecking);
    PVirtualNode parent = Node->Parent;
    // Counts first, while the node still tells whether it is shown.
    if (IsNodeFullyVisible(Node))
        FVisibleCount -= 1 + (Has(Node, nsExpanded) ? CountVisibleChildren(Node) : 0);
    if (Has(parent, nsExpanded) && Has(Node, nsVisible))
        AdjustTotalHeight(parent, -int(Node->TotalHeight), true);
    AdjustTotalCount(parent, -int(Node->TotalCount), true);
    --parent->ChildCount;
    if (parent->ChildCount == 0) parent->States.Exclude(nsHasChildren);

    if (Node->PrevSibling)
        Node->PrevSibling->NextSibling = Node->NextSibling;
    else
        parent->FirstChild = Node->NextSibling;
    if (Node->NextSibling) {
        Node->NextSibling->PrevSibling = Node->PrevSibling;
        if (Reindex) {
            Cardinal index = Node->Index;
            for (PVirtualNode run = Node->NextSibling; run; run = run->NextSibling)
                run->Index = index++;
        }
    } else {
        parent->LastChild = Node->PrevSibling;
    }
    Node->PrevSibling = nullptr;
    Node->NextSibling = nullptr;
}

// ---- Creating nodes
// ----------------------------------------------------------------------------------

PVirtualNode TBaseVirtualTree::InsertNodeAt(PVirtualNode Node, TVTNodeAttachMode Mode,
                                            void* UserData) {
    using M = TVTNodeAttachMode;
    if (Mode == M::amNoWhere) return nullptr;
    if (FStates.Contains(TVirtualTreeState::tsEditing)) DoCancelEdit();
    if (!Node) Node = FRoot;
    if (Node == FRoot) {
        if (Mode == M::amInsertBefore) Mode = M::amAddChildFirst;
        if (Mode == M::amInsertAfter) Mode = M::amAddChildLast;
    }
    PVirtualNode result = MakeNewNode();
    if ((Mode == M::amAddChildFirst || Mode == M::amAddChildLast) && Node != FRoot &&
        !Has(Node, nsInitialized))
        InitNode(Node);
    LinkNode(result, Node, Mode);

    if (UserData) {
        if (FNodeDataSize < int(sizeof(void*)))
            ShowError("Cannot set initial user data because there is not enough user data "
                      "space allocated.",
                      hcTFCannotSetUserData);
        std::memcpy(result->Data() + FTotalInternalDataSize, &UserData, sizeof(void*));
        result->States.Include(nsOwnsInitialData);
    }

    if (!IsUpdating()) {
        if (FOptions->AutoOptions().Contains(toAutoSort) && FSortColumn > InvalidColumn) {
            PVirtualNode sortParent =
                (Mode == M::amInsertBefore || Mode == M::amInsertAfter) ? Node->Parent : Node;
            SortTree(sortParent == FRoot ? nullptr : sortParent, FSortColumn, FSortDirection, true);
        }
        UpdateScrollBars(true);
        InvalidateToBottom(Mode == M::amInsertBefore ? result : Node);
    }
    StructureChange(result, TChangeReason::crNodeAdded);
    return result;
}

void TBaseVirtualTree::InitNode(PVirtualNode Node) {
    if (!Node || Node == FRoot) return;
    TVirtualNodeInitStates initStates;
    PVirtualNode parent = Node->Parent == FRoot ? nullptr : Node->Parent;
    DoInitNode(parent, Node, initStates);
    Node->States.Include(nsInitialized);
    if (initStates.Contains(TVirtualNodeInitState::ivsDisabled)) Node->States.Include(nsDisabled);
    if (initStates.Contains(TVirtualNodeInitState::ivsHasChildren))
        Node->States.Include(nsHasChildren);
    if (initStates.Contains(TVirtualNodeInitState::ivsSelected)) {
        if (InternalAddToSelection({Node}, false)) InvalidateNode(Node);
    }
    if (initStates.Contains(TVirtualNodeInitState::ivsMultiline)) Node->States.Include(nsMultiline);
    bool wantExpanded = initStates.Contains(TVirtualNodeInitState::ivsExpanded);
    if (wantExpanded != Has(Node, nsExpanded)) {
        if (wantExpanded)
            ToggleNode(Node);
        else if (Has(Node, nsHasChildren) && Node->ChildCount == 0)
            InitChildren(Node);
    }
}

void TBaseVirtualTree::InitChildren(PVirtualNode Node) {
    if (!Node || Node == FRoot || !Has(Node, nsHasChildren)) return;
    Cardinal count = Node->ChildCount;
    DoInitChildren(Node, count);
    if (count == 0) {
        // Nothing to show: the node loses its expand button.
        if (Node->ChildCount > 0) RemoveChildren(Node, true);
        Node->States.Exclude(nsHasChildren);
        return;
    }
    SetChildCount(Node, count);
}

void TBaseVirtualTree::SetChildCount(PVirtualNode Node, Cardinal NewChildCount) {
    if (IsReadOnly()) return;
    if (!Node) Node = FRoot;
    if (NewChildCount == Node->ChildCount) {
        if (NewChildCount == 0 && Node != FRoot) Node->States.Exclude(nsHasChildren);
        return;
    }
    if (NewChildCount == 0) {
        RemoveChildren(Node, false);
    } else if (NewChildCount > Node->ChildCount) {
        InterruptValidation();
        Cardinal remaining = NewChildCount - Node->ChildCount;
        Cardinal index = Node->LastChild ? Node->LastChild->Index + 1 : 0;
        int64_t heights = 0;
        Cardinal visibleNew = 0;
        for (Cardinal i = 0; i < remaining; ++i) {
            PVirtualNode child = MakeNewNode();
            child->Index = index++;
            child->Parent = Node;
            child->PrevSibling = Node->LastChild;
            if (Node->LastChild)
                Node->LastChild->NextSibling = child;
            else
                Node->FirstChild = child;
            Node->LastChild = child;
            heights += child->TotalHeight;
            ++visibleNew;
        }
        Node->States.Include(nsHasChildren);
        Node->States.Exclude(nsAllChildrenHidden);
        Node->ChildCount = NewChildCount;
        if (Has(Node, nsExpanded)) {
            AdjustTotalHeight(Node, int(heights), true);
            if (IsNodeFullyVisible(Node)) FVisibleCount += visibleNew;
        }
        AdjustTotalCount(Node, int(remaining), true);
        if (!IsUpdating() && FOptions->AutoOptions().Contains(toAutoSort) &&
            FSortColumn > InvalidColumn)
            SortTree(Node == FRoot ? nullptr : Node, FSortColumn, FSortDirection, true);
    } else {
        TUpdateLock lock(*this);
        while (Node->ChildCount > NewChildCount && Node->LastChild)
            RemoveNode(Node->LastChild, false);
    }
    if (!IsUpdating()) {
        UpdateScrollBars(true);
        RequestRepaint();
    }
    StructureChange(Node == FRoot ? nullptr : Node, TChangeReason::crChildAdded);
}

// ---- Deleting nodes
// ------------------------------------------------------------------------------------

void TBaseVirtualTree::ForgetNode(PVirtualNode Node) {
    if (Node == FFocusedNode) {
        DoFocusChanging(FFocusedNode, nullptr, FFocusedColumn, FFocusedColumn);
        FFocusedNode = nullptr;
        DoFocusChange(nullptr, FFocusedColumn);
    }
    if (Has(Node, nsSelected)) InternalRemoveFromSelection(Node);
    if (Node == FRangeAnchor) FRangeAnchor = nullptr;
    if (Node == FCurrentHotNode) FCurrentHotNode = nullptr;
    if (Node == FDropTargetNode) FDropTargetNode = nullptr;
    if (Node == FLastChangedNode) FLastChangedNode = nullptr;
    if (Node == FLastStructureChangeNode) FLastStructureChangeNode = nullptr;
}

void TBaseVirtualTree::InternalRemoveFromSelection(PVirtualNode Node) {
    Node->States.Exclude(nsSelected);
    int index = FindNodeInSelection(Node);
    if (index < 0) return;
    if (IsUpdating()) {
        FSelection[size_t(index)] =
            reinterpret_cast<PVirtualNode>(reinterpret_cast<uintptr_t>(Node) | 1);
        FStates.Include(TVirtualTreeState::tsSelectionCompactPending);
    } else {
        FSelection.erase(FSelection.begin() + index);
    }
}

void TBaseVirtualTree::DeleteSubtreeNodes(PVirtualNode Node) {
    // Post-order from the last child backwards, without recursion (trees may be very deep).
    PVirtualNode run = Node->LastChild;
    while (run) {
        run->States.Include(nsDeleting);
        while (run->LastChild) {
            run = run->LastChild;
            run->States.Include(nsDeleting);
        }
        PVirtualNode parent = run->Parent;
        PVirtualNode next =
            run->PrevSibling ? run->PrevSibling : (parent != Node ? parent : nullptr);
        if (run->PrevSibling) {
            run->PrevSibling->NextSibling = nullptr;
            parent->LastChild = run->PrevSibling;
        } else {
            parent->FirstChild = nullptr;
            parent->LastChild = nullptr;
        }
        ForgetNode(run);
        DoFreeNode(run);
        run = next;
    }
}

void TBaseVirtualTree::RemoveChildren(PVirtualNode Node, bool ResetHasChildren) {
    if (!Node) Node = FRoot;
    if (IsReadOnly() && !Destroying()) return;
    if (!Node->FirstChild) {
        if (ResetHasChildren && Node != FRoot) Node->States.Exclude(nsHasChildren);
        return;
    }
    Assert(!FStates.Contains(TVirtualTreeState::tsIterating),
           "Deleting nodes during tree iteration leads to invalid pointers.");
    TEagerTotals eager(*this);
    int oldOffsetX = FOffsetX, oldOffsetY = FOffsetY;
    ++FStructureVersion;
    ++FUpdateCount;
    Node->States.Include(nsClearing);
    if (Has(Node, nsExpanded) && IsNodeFullyVisible(Node))
        FVisibleCount -= CountVisibleChildren(Node);
    DeleteSubtreeNodes(Node);
    Node->States.Exclude(nsClearing);
    if (ResetHasChildren && Node != FRoot) Node->States.Exclude(nsHasChildren);
    if (Node != FRoot) Node->States.Exclude(nsExpanded);
    Node->ChildCount = 0;
    Node->States.Exclude(nsAllChildrenHidden);
    if (Node == FRoot || Has(Node, nsDeleting)) {
        Node->TotalHeight = Node->NodeHeight;
        Node->TotalCount = 1;
    } else {
        AdjustTotalHeight(Node, Node->NodeHeight, false);
        AdjustTotalCount(Node, 1, false);
    }
    --FUpdateCount;
    if (FUpdateCount == 0) {
        InvalidatePositionCache();
        UpdateScrollBars(true);
        if (oldOffsetX != FOffsetX || oldOffsetY != FOffsetY)
            RequestRepaint();
        else
            InvalidateToBottom(Node);
    }
    StructureChange(Node == FRoot ? nullptr : Node, TChangeReason::crChildDeleted);
}

void TBaseVirtualTree::RemoveNode(PVirtualNode Node, bool Reindex) {
    if (!Node || Node == FRoot || IsReadOnly()) return;
    Assert(!FStates.Contains(TVirtualTreeState::tsIterating),
           "Deleting nodes during tree iteration leads to invalid pointers.");
    TEagerTotals eager(*this);
    PVirtualNode parent = Node->Parent;
    const bool parentClearing = Has(parent, nsClearing);
    if (!parentClearing)
        StructureChange(parent == FRoot ? nullptr : parent, TChangeReason::crChildDeleted);
    int oldOffsetX = FOffsetX, oldOffsetY = FOffsetY;
    if (!Has(Node, nsSelected)) {
        InvalidateToBottom(parent);
    } else {
        InternalRemoveFromSelection(Node);
        if (!IsUpdating()) InvalidateToBottom(parent);
    }
    if (FStates.Contains(TVirtualTreeState::tsHint)) DoStateChange({}, {TVirtualTreeState::tsHint});
    RemoveChildren(Node, false);
    UnlinkNode(Node, false, Reindex);
    ForgetNode(Node);
    DoFreeNode(Node);
    if (!parentClearing) {
        DetermineHiddenChildrenFlag(parent);
        if (!IsUpdating()) {
            InvalidatePositionCache();
            UpdateScrollBars(true);
            if (oldOffsetX != FOffsetX || oldOffsetY != FOffsetY) RequestRepaint();
        }
    }
}

void TBaseVirtualTree::RemoveSelectedNodes() {
    if (IsReadOnly() || SelectedCount() == 0) return;
    std::vector<PVirtualNode> nodes = SortedSelection(true);
    TUpdateLock lock(*this);
    for (size_t i = nodes.size(); i-- > 0;) {
        // Siblings are renumbered once per parent: when the next node to go has another one.
        bool reindex = i == 0 || nodes[i - 1]->Parent != nodes[i]->Parent;
        RemoveNode(nodes[i], reindex);
    }
}

void TBaseVirtualTree::ClearNodes() {
    if (IsReadOnly() && !Destroying()) return;
    TUpdateLock lock(*this);
    InterruptValidation();
    if (FStates.Contains(TVirtualTreeState::tsCutPending) ||
        FStates.Contains(TVirtualTreeState::tsCopyPending))
        DoStateChange({}, {TVirtualTreeState::tsCutPending, TVirtualTreeState::tsCopyPending});
    if (FStates.Contains(TVirtualTreeState::tsEditing)) DoCancelEdit();
    ClearSelection();
    FFocusedNode = nullptr;
    FCurrentHotNode = nullptr;
    FLastChangedNode = nullptr;
    FDropTargetNode = nullptr;
    FRangeAnchor = nullptr;
    RemoveChildren(FRoot, true);
    FVisibleCount = 0;
    FOffsetX = 0;
    FOffsetY = 0;
}

// ---- Update lock
// ---------------------------------------------------------------------------------------

void TBaseVirtualTree::LockUpdates() {
    if (!Destroying()) {
        if (FUpdateCount == 0) {
            DoUpdating(TVTUpdateState::usBegin);
            SetUpdateState(true);
        } else {
            DoUpdating(TVTUpdateState::usUpdate);
        }
    }
    ++FUpdateCount;
    if (!FStates.Contains(TVirtualTreeState::tsUpdating))
        DoStateChange({TVirtualTreeState::tsUpdating});
}

void TBaseVirtualTree::UnlockUpdates() {
    if (FUpdateCount > 0) --FUpdateCount;
    if (Destroying()) {
        if (FUpdateCount == 0) FlushTotals();
        return;
    }
    if (FUpdateCount == 0) {
        FlushTotals();
        if (FStates.Contains(TVirtualTreeState::tsSelectionCompactPending)) PackSelection();
        DoStateChange({}, {TVirtualTreeState::tsUpdating});
        InvalidatePositionCache();
        if (HandleAllocated()) UpdateScrollBars(true);
        if (FStates.Contains(TVirtualTreeState::tsStructureChangePending))
            DoStructureChange(FLastStructureChangeNode, FLastStructureChangeReason);
        if (FStates.Contains(TVirtualTreeState::tsChangePending)) DoChange(FLastChangedNode);
        if (FOptions->AutoOptions().Contains(toAutoSort) && FSortColumn > InvalidColumn)
            SortTree(nullptr, FSortColumn, FSortDirection, true);
        SetUpdateState(false);
        RequestRepaint();
        DoUpdating(TVTUpdateState::usEnd);
    } else {
        DoUpdating(TVTUpdateState::usUpdate);
    }
}

void TBaseVirtualTree::StructureChange(PVirtualNode Node, TChangeReason Reason) {
    // The first reason wins unless a later one asks for a full rebuild.
    if (!FStates.Contains(TVirtualTreeState::tsStructureChangePending) ||
        Reason == TChangeReason::crAccumulated) {
        if (!FStates.Contains(TVirtualTreeState::tsStructureChangePending))
            FLastStructureChangeReason = Reason;
        else
            FLastStructureChangeReason = TChangeReason::crAccumulated;
    }
    FLastStructureChangeNode = Node;
    if (IsUpdating()) {
        StopTimer(StructureChangeTimer);
        if (!FStates.Contains(TVirtualTreeState::tsStructureChangePending))
            DoStateChange({TVirtualTreeState::tsStructureChangePending});
        return;
    }
    if (FChangeDelay > 0 && !FStates.Contains(TVirtualTreeState::tsSynchMode)) {
        // Timer 6 fires the notification once the delay has passed.
        FStructureChangeTimerRunning = true;
        if (HandleAllocated()) SetTimer(Handle(), StructureChangeTimer, FChangeDelay);
        if (!FStates.Contains(TVirtualTreeState::tsStructureChangePending))
            DoStateChange({TVirtualTreeState::tsStructureChangePending});
        return;
    }
    DoStructureChange(Node, Reason);
}

// ---- Expanding and collapsing
// ----------------------------------------------------------------------------

void TBaseVirtualTree::ToggleNode(PVirtualNode Node) {
    Assert(Node != nullptr, "Node must not be nil.");
    ToggleNodeImpl(Node, -1, false);
}

void TBaseVirtualTree::ToggleNodeImpl(PVirtualNode Node, int FullyVisibleHint,
                                      bool WalkSumsHeights) {
    if (Node == FRoot) return;
    ++FStructureVersion;
    const bool fullyVisible =
        FullyVisibleHint >= 0 ? FullyVisibleHint != 0 : IsNodeFullyVisible(Node);
    if (Has(Node, nsExpanded)) {
        if (!DoCollapsing(Node)) return;
        if (fullyVisible) FVisibleCount -= CountVisibleChildren(Node);
        Node->States.Exclude(nsExpanded);
        if (!WalkSumsHeights) AdjustTotalHeight(Node, Node->NodeHeight, false);
        DoCollapsed(Node);
        if (FOptions->AutoOptions().Contains(toAutoFreeOnCollapse)) RemoveChildren(Node, false);
    } else {
        if (!DoExpanding(Node)) return;
        if (Has(Node, nsHasChildren) && Node->ChildCount == 0) InitChildren(Node);
        Node->States.Include(nsExpanded);
        if (!WalkSumsHeights) {
            int64_t heights = 0;
            for (PVirtualNode run = Node->FirstChild; run; run = run->NextSibling) {
                // The node takes over its children's current totals, so whatever they still
                // owed their parent is settled here.
                run->FPendingHeight = 0;
                if (Has(run, nsVisible)) heights += run->TotalHeight;
            }
            AdjustTotalHeight(Node, int(Node->NodeHeight + heights), false);
        }
        if (fullyVisible) FVisibleCount += CountVisibleChildren(Node);
        DoExpanded(Node);
    }
    if (!IsUpdating()) {
        InvalidatePositionCache();
        UpdateScrollBars(true);
        InvalidateToBottom(Node);
    }
}

void TBaseVirtualTree::LeaveWalkedNode(PVirtualNode Node, PVirtualNode Start, bool Descended) {
    // A node the walk went into has all its children behind it: its total is rebuilt from
    // theirs. Below the start the parent is rebuilt the same way, so nothing is owed to it;
    // the start hands its change on as any adjustment does.
    if (Descended) {
        int64_t total = Node->NodeHeight;
        if (Has(Node, nsExpanded)) {
            for (PVirtualNode child = Node->FirstChild; child; child = child->NextSibling)
                if (Has(child, nsVisible)) total += child->TotalHeight;
        }
        if (Node == Start) {
            AdjustTotalHeight(Node, int(total), false);
            return;
        }
        Node->TotalHeight = Cardinal(total);
    }
    if (Node != Start) Node->FPendingHeight = 0;
}

namespace {

// Whether the nodes of each level of a walk below its start are shown: once a level is not,
// none below it is, so the first hidden level is all there is to remember.
struct TShownLevels {
    explicit TShownLevels(bool startShown) : HiddenFrom(startShown ? NoLevel : 0) {}
    bool Shown() const { return Depth < HiddenFrom; }
    void Down(bool childrenShown) {
        ++Depth;
        if (!childrenShown && HiddenFrom > Depth) HiddenFrom = Depth;
    }
    void Up() {
        if (HiddenFrom == Depth) HiddenFrom = NoLevel;
        --Depth;
    }
    static constexpr int64_t NoLevel = INT64_MAX;
    int64_t Depth = 0;
    int64_t HiddenFrom;
};

} // namespace

void TBaseVirtualTree::ExpandAll(PVirtualNode Node) {
    TUpdateLock lock(*this);
    // Pre-order expansion; the heights are summed on the way back up, so that no expansion
    // hands its change to every ancestor.
    auto expandSubtree = [&](PVirtualNode start) {
        if (!Has(start, nsInitialized)) InitNode(start);
        PVirtualNode parent = start->Parent;
        TShownLevels levels(parent == FRoot ||
                            (Has(parent, nsExpanded) && IsNodeFullyVisible(parent)));
        PVirtualNode run = start;
        while (true) {
            if (!Has(run, nsInitialized)) InitNode(run);
            bool fullyVisible = levels.Shown() && Has(run, nsVisible);
            if (!Has(run, nsExpanded) && Has(run, nsHasChildren))
                ToggleNodeImpl(run, fullyVisible, true);
            if (Has(run, nsExpanded) && run->FirstChild) {
                levels.Down(fullyVisible);
                run = run->FirstChild;
                continue;
            }
            LeaveWalkedNode(run, start, false);
            while (run != start && !run->NextSibling) {
                run = run->Parent;
                levels.Up();
                LeaveWalkedNode(run, start, true);
            }
            if (run == start) break;
            run = run->NextSibling;
        }
    };
    if (Node && Node != FRoot) {
        expandSubtree(Node);
    } else {
        for (PVirtualNode run = GetFirst(); run; run = run->NextSibling)
            expandSubtree(run);
    }
}

void TBaseVirtualTree::CollapseAll(PVirtualNode Node) {
    if (TotalCount() < 2) return;
    TUpdateLock lock(*this);
    // Children before their parents (post-order), so that every collapse finds its descendants
    // closed already; the heights are settled on the way up as in ExpandAll (a node whose
    // collapse is refused keeps its children's new totals).
    auto collapseSubtree = [&](PVirtualNode start) {
        PVirtualNode parent = start->Parent;
        TShownLevels levels(parent == FRoot ||
                            (Has(parent, nsExpanded) && IsNodeFullyVisible(parent)));
        PVirtualNode run = start;
        while (true) {
            while (run->FirstChild) {
                levels.Down(levels.Shown() && Has(run, nsVisible) && Has(run, nsExpanded));
                run = run->FirstChild;
            }
            bool descended = false;
            while (true) {
                PVirtualNode next = run->NextSibling;
                PVirtualNode up = run->Parent;
                if (Has(run, nsExpanded))
                    ToggleNodeImpl(run, levels.Shown() && Has(run, nsVisible), true);
                LeaveWalkedNode(run, start, descended);
                if (run == start) return;
                if (next) {
                    run = next;
                    break;
                }
                run = up;
                levels.Up();
                descended = true;
            }
        }
    };
    if (Node && Node != FRoot) {
        collapseSubtree(Node);
    } else {
        for (PVirtualNode run = FRoot->FirstChild; run;) {
            PVirtualNode next = run->NextSibling;
            collapseSubtree(run);
            run = next;
        }
    }
}

// ---- Sorting
// ---------------------------------------------------------------------------------------------

void TBaseVirtualTree::MergeSortSiblings(PVirtualNode Parent, TColumnIndex Column,
                                         TSortDirection Direction) {
    std::vector<PVirtualNode> nodes;
    nodes.reserve(Parent->ChildCount);
    for (PVirtualNode run = Parent->FirstChild; run; run = run->NextSibling)
        nodes.push_back(run);
    const bool ascending = Direction == TSortDirection::sdAscending;
    // Stable: equal nodes keep their order in both directions.
    std::stable_sort(nodes.begin(), nodes.end(), [&](PVirtualNode a, PVirtualNode b) {
        int r = DoCompare(a, b, Column);
        return ascending ? r < 0 : r > 0;
    });
    PVirtualNode previous = nullptr;
    Cardinal index = 0;
    for (PVirtualNode n : nodes) {
        n->Index = index++;
        n->PrevSibling = previous;
        if (previous) previous->NextSibling = n;
        previous = n;
    }
    if (!nodes.empty()) {
        nodes.back()->NextSibling = nullptr;
        Parent->FirstChild = nodes.front();
        Parent->LastChild = nodes.back();
    }
}

void TBaseVirtualTree::SortTree(PVirtualNode Node, TColumnIndex Column, TSortDirection Direction,
                                bool DoInit) {
    InterruptValidation();
    if (!Node) Node = FRoot;
    if (DoInit && Node != FRoot && Has(Node, nsHasChildren) && Node->ChildCount == 0)
        InitChildren(Node);
    if (DoInit)
        for (PVirtualNode run = Node->FirstChild; run; run = run->NextSibling)
            if (!Has(run, nsInitialized)) InitNode(run);
    if (Node->ChildCount < 2) return;
    MergeSortSiblings(Node, Column, Direction);
    InvalidatePositionCache();
    RequestRepaint();
}

void TBaseVirtualTree::SortSubtree(PVirtualNode Node, TColumnIndex Column, TSortDirection Direction,
                                   bool DoInit) {
    std::vector<PVirtualNode> pending{Node ? Node : FRoot};
    while (!pending.empty()) {
        PVirtualNode current = pending.back();
        pending.pop_back();
        SortTree(current == FRoot ? nullptr : current, Column, Direction, DoInit);
        for (PVirtualNode run = current->FirstChild; run; run = run->NextSibling) {
            if (!Has(run, nsInitialized)) {
                if (!DoInit) continue;
                InitNode(run);
            }
            if (run->FirstChild || Has(run, nsHasChildren)) pending.push_back(run);
        }
    }
}

// ---- Walkers
// ---------------------------------------------------------------------------------------------

namespace {
const char* const SHiddenRoot = "Node must not be the hidden root node.";
}

PVirtualNode TBaseVirtualTree::GetFirstNoInit() const {
    return FRoot->FirstChild;
}

PVirtualNode TBaseVirtualTree::GetFirst() {
    PVirtualNode result = FRoot->FirstChild;
    if (result && !Has(result, nsInitialized)) InitNode(result);
    return result;
}

PVirtualNode TBaseVirtualTree::GetFirstChildNoInit(PVirtualNode Node) const {
    return (Node ? Node : FRoot)->FirstChild;
}

PVirtualNode TBaseVirtualTree::GetFirstChild(PVirtualNode Node) {
    if (!Node || Node == FRoot) return GetFirst();
    if (Has(Node, nsHasChildren) && Node->ChildCount == 0) InitChildren(Node);
    PVirtualNode result = Node->FirstChild;
    if (result && !Has(result, nsInitialized)) InitNode(result);
    return result;
}

PVirtualNode TBaseVirtualTree::GetFirstInitialized() {
    PVirtualNode run = GetFirstNoInit();
    while (run && !Has(run, nsInitialized))
        run = GetNextNoInit(run);
    return run;
}

PVirtualNode TBaseVirtualTree::GetNextInitialized(PVirtualNode Node) {
    PVirtualNode run = GetNextNoInit(Node);
    while (run && !Has(run, nsInitialized))
        run = GetNextNoInit(run);
    return run;
}

PVirtualNode TBaseVirtualTree::GetNextNoInit(PVirtualNode Node) const {
    if (!Node) return nullptr;
    Assert(Node != FRoot, SHiddenRoot);
    if (Node->FirstChild) return Node->FirstChild;
    while (Node != FRoot && !Node->NextSibling)
        Node = Node->Parent;
    return Node == FRoot ? nullptr : Node->NextSibling;
}

PVirtualNode TBaseVirtualTree::GetNext(PVirtualNode Node) {
    if (!Node) return nullptr;
    Assert(Node != FRoot, SHiddenRoot);
    if (Has(Node, nsHasChildren) && Node->ChildCount == 0) InitChildren(Node);
    PVirtualNode result = GetNextNoInit(Node);
    if (result && !Has(result, nsInitialized)) InitNode(result);
    return result;
}

PVirtualNode TBaseVirtualTree::GetNextSibling(PVirtualNode Node) {
    if (!Node) return nullptr;
    Assert(Node != FRoot, SHiddenRoot);
    PVirtualNode result = Node->NextSibling;
    if (result && !Has(result, nsInitialized)) InitNode(result);
    return result;
}

PVirtualNode TBaseVirtualTree::GetPreviousSibling(PVirtualNode Node) {
    if (!Node) return nullptr;
    Assert(Node != FRoot, SHiddenRoot);
    PVirtualNode result = Node->PrevSibling;
    if (result && !Has(result, nsInitialized)) InitNode(result);
    return result;
}

PVirtualNode TBaseVirtualTree::GetLastNoInit(PVirtualNode Node) const {
    PVirtualNode run = (Node ? Node : FRoot)->LastChild;
    while (run && run->LastChild)
        run = run->LastChild;
    return run;
}

PVirtualNode TBaseVirtualTree::GetLast(PVirtualNode Node) {
    PVirtualNode run = GetLastChild(Node);
    while (run) {
        PVirtualNode child = GetLastChild(run);
        if (!child) break;
        run = child;
    }
    return run;
}

PVirtualNode TBaseVirtualTree::GetLastChildNoInit(PVirtualNode Node) const {
    return (Node ? Node : FRoot)->LastChild;
}

PVirtualNode TBaseVirtualTree::GetLastChild(PVirtualNode Node) {
    if (!Node) Node = FRoot;
    if (Node != FRoot && Has(Node, nsHasChildren) && Node->ChildCount == 0) InitChildren(Node);
    PVirtualNode result = Node->LastChild;
    if (result && !Has(result, nsInitialized)) InitNode(result);
    return result;
}

PVirtualNode TBaseVirtualTree::GetPreviousNoInit(PVirtualNode Node) const {
    if (!Node) return nullptr;
    Assert(Node != FRoot, SHiddenRoot);
    if (Node->PrevSibling) {
        PVirtualNode run = Node->PrevSibling;
        while (run->LastChild)
            run = run->LastChild;
        return run;
    }
    return Node->Parent == FRoot ? nullptr : Node->Parent;
}

PVirtualNode TBaseVirtualTree::GetPrevious(PVirtualNode Node) {
    if (!Node) return nullptr;
    Assert(Node != FRoot, SHiddenRoot);
    Assert(Has(Node, nsInitialized), "Node must already be initialized.");
    if (Node->PrevSibling) {
        PVirtualNode run = Node->PrevSibling;
        if (!Has(run, nsInitialized)) InitNode(run);
        while (true) {
            PVirtualNode child = GetLastChild(run);
            if (!child) break;
            run = child;
        }
        return run;
    }
    return Node->Parent == FRoot ? nullptr : Node->Parent;
}

PVirtualNode TBaseVirtualTree::GetFirstVisibleNoInit() const {
    PVirtualNode run = FRoot->FirstChild;
    while (run && !Has(run, nsVisible))
        run = run->NextSibling;
    return RememberVisible(run);
}

PVirtualNode TBaseVirtualTree::GetFirstVisible() {
    PVirtualNode result = GetFirstVisibleNoInit();
    if (result && !Has(result, nsInitialized)) InitNode(result);
    return result;
}

PVirtualNode TBaseVirtualTree::GetFirstVisibleChild(PVirtualNode Node) {
    if (!Node) Node = FRoot;
    if (Node != FRoot && !Has(Node, nsExpanded)) return nullptr;
    PVirtualNode run = Node->FirstChild;
    while (run && !Has(run, nsVisible))
        run = run->NextSibling;
    if (run && !Has(run, nsInitialized)) InitNode(run);
    return run;
}

PVirtualNode TBaseVirtualTree::GetLastVisibleChildNoInit(PVirtualNode Node) const {
    if (!Node) Node = FRoot;
    if (Node != FRoot && !Has(Node, nsExpanded)) return nullptr;
    PVirtualNode run = Node->LastChild;
    while (run && !Has(run, nsVisible))
        run = run->PrevSibling;
    return run;
}

PVirtualNode TBaseVirtualTree::GetLastVisibleChild(PVirtualNode Node) {
    PVirtualNode result = GetLastVisibleChildNoInit(Node);
    if (result && !Has(result, nsInitialized)) InitNode(result);
    return result;
}

PVirtualNode TBaseVirtualTree::GetLastVisibleNoInit(PVirtualNode Node) const {
    PVirtualNode run = GetLastVisibleChildNoInit(Node);
    while (run) {
        PVirtualNode child = GetLastVisibleChildNoInit(run);
        if (!child) break;
        run = child;
    }
    if (run && (!Node || Node == FRoot)) RememberVisible(run);
    return run;
}

PVirtualNode TBaseVirtualTree::GetLastVisible(PVirtualNode Node) {
    PVirtualNode result = GetLastVisibleNoInit(Node);
    if (result && !Has(result, nsInitialized)) InitNode(result);
    return result;
}

bool TBaseVirtualTree::KnownFullyVisible(PVirtualNode Node) const {
    // A node a visible walker just returned is fully visible while nothing has changed since;
    // walks then cost no climb to the root per step.
    if (Node == FVisibleWalkNode && FVisibleWalkVersion == FStructureVersion) return true;
    return IsNodeFullyVisible(Node);
}

PVirtualNode TBaseVirtualTree::RememberVisible(PVirtualNode Node) const {
    FVisibleWalkNode = Node;
    FVisibleWalkVersion = FStructureVersion;
    return Node;
}

PVirtualNode TBaseVirtualTree::GetNextVisibleNoInit(PVirtualNode Node) const {
    if (!Node) return nullptr;
    Assert(Node != FRoot, SHiddenRoot);
    return RememberVisible(NextVisibleStep(Node));
}

PVirtualNode TBaseVirtualTree::NextVisibleStep(PVirtualNode Node) const {
    if (!KnownFullyVisible(Node)) Node = VisibleAncestorOf(Node);
    if (Has(Node, nsExpanded))
        for (PVirtualNode child = Node->FirstChild; child; child = child->NextSibling)
            if (Has(child, nsVisible)) return child;
    while (Node != FRoot) {
        for (PVirtualNode sibling = Node->NextSibling; sibling; sibling = sibling->NextSibling)
            if (Has(sibling, nsVisible)) return sibling;
        Node = Node->Parent;
    }
    return nullptr;
}

PVirtualNode TBaseVirtualTree::GetNextVisible(PVirtualNode Node) {
    if (!Node) return nullptr;
    Assert(Node != FRoot, SHiddenRoot);
    PVirtualNode result = GetNextVisibleNoInit(Node);
    if (result && !Has(result, nsInitialized)) InitNode(result);
    return result;
}

PVirtualNode TBaseVirtualTree::GetPreviousVisibleNoInit(PVirtualNode Node) const {
    if (!Node) return nullptr;
    Assert(Node != FRoot, SHiddenRoot);
    return RememberVisible(PreviousVisibleStep(Node));
}

PVirtualNode TBaseVirtualTree::PreviousVisibleStep(PVirtualNode Node) const {
    if (!KnownFullyVisible(Node)) {
        PVirtualNode ancestor = VisibleAncestorOf(Node);
        if (ancestor != Node && Has(ancestor, nsVisible)) return ancestor;
        Node = ancestor;
    }
    for (PVirtualNode sibling = Node->PrevSibling; sibling; sibling = sibling->PrevSibling) {
        if (!Has(sibling, nsVisible)) continue;
        PVirtualNode run = sibling;
        while (true) {
            PVirtualNode child = GetLastVisibleChildNoInit(run);
            if (!child) break;
            run = child;
        }
        return run;
    }
    return Node->Parent == FRoot ? nullptr : Node->Parent;
}

PVirtualNode TBaseVirtualTree::GetPreviousVisible(PVirtualNode Node) {
    PVirtualNode result = GetPreviousVisibleNoInit(Node);
    if (result && !Has(result, nsInitialized)) InitNode(result);
    return result;
}

PVirtualNode TBaseVirtualTree::GetNextVisibleSibling(PVirtualNode Node) {
    Assert(Node != nullptr && Node != FRoot, "Invalid parameter.");
    PVirtualNode run = Node->NextSibling;
    while (run && !Has(run, nsVisible))
        run = run->NextSibling;
    if (run && !Has(run, nsInitialized)) InitNode(run);
    return run;
}

PVirtualNode TBaseVirtualTree::GetPreviousVisibleSiblingNoInit(PVirtualNode Node) const {
    Assert(Node != nullptr && Node != FRoot, "Invalid parameter.");
    PVirtualNode run = Node->PrevSibling;
    while (run && !Has(run, nsVisible))
        run = run->PrevSibling;
    return run;
}

PVirtualNode TBaseVirtualTree::GetPreviousVisibleSibling(PVirtualNode Node) {
    PVirtualNode result = GetPreviousVisibleSiblingNoInit(Node);
    if (result && !Has(result, nsInitialized)) InitNode(result);
    return result;
}

PVirtualNode TBaseVirtualTree::GetFirstSelected() {
    if (SelectedCount() == 0) return nullptr;
    PVirtualNode run = GetFirstNoInit();
    while (run && !Has(run, nsSelected))
        run = GetNextNoInit(run);
    return run;
}

PVirtualNode TBaseVirtualTree::GetNextSelected(PVirtualNode Node) {
    if (SelectedCount() == 0 || !Node) return nullptr;
    PVirtualNode run = GetNextNoInit(Node);
    while (run && !Has(run, nsSelected))
        run = GetNextNoInit(run);
    return run;
}

PVirtualNode TBaseVirtualTree::GetFirstCutCopy() {
    if (!FStates.Contains(TVirtualTreeState::tsCutPending) &&
        !FStates.Contains(TVirtualTreeState::tsCopyPending))
        return nullptr;
    PVirtualNode run = GetFirstNoInit();
    while (run && !Has(run, nsCutOrCopy))
        run = GetNextNoInit(run);
    return run;
}

PVirtualNode TBaseVirtualTree::GetNextCutCopy(PVirtualNode Node) {
    if (!Node || (!FStates.Contains(TVirtualTreeState::tsCutPending) &&
                  !FStates.Contains(TVirtualTreeState::tsCopyPending)))
        return nullptr;
    PVirtualNode run = GetNextNoInit(Node);
    while (run && !Has(run, nsCutOrCopy))
        run = GetNextNoInit(run);
    return run;
}

namespace {

// Nodes carrying a state in tree order; with TopLevelOnly the subtree of a found node is
// skipped. The array grows to 100 entries first, then by a tenth.
std::vector<PVirtualNode> CollectNodes(PVirtualNode first, PVirtualNode root,
                                       TVirtualNodeState state, bool TopLevelOnly) {
    std::vector<PVirtualNode> result;
    PVirtualNode run = first;
    while (run) {
        if (Has(run, state)) {
            if (result.size() == result.capacity())
                result.reserve(result.empty() ? 100 : result.size() + result.size() / 10);
            result.push_back(run);
            if (TopLevelOnly) {
                while (run != root && !run->NextSibling)
                    run = run->Parent;
                run = run == root ? nullptr : run->NextSibling;
                continue;
            }
        }
        if (run->FirstChild) {
            run = run->FirstChild;
            continue;
        }
        while (run != root && !run->NextSibling)
            run = run->Parent;
        run = run == root ? nullptr : run->NextSibling;
    }
    result.shrink_to_fit();
    return result;
}

} // namespace

std::vector<PVirtualNode> TBaseVirtualTree::SortedSelection(bool TopLevelOnly) {
    if (SelectedCount() == 0) return {};
    return CollectNodes(FRoot->FirstChild, FRoot, nsSelected, TopLevelOnly);
}

std::vector<PVirtualNode> TBaseVirtualTree::SortedCutCopySet(bool TopLevelOnly) {
    return CollectNodes(FRoot->FirstChild, FRoot, nsCutOrCopy, TopLevelOnly);
}

void TBaseVirtualTree::IterateSubtree(PVirtualNode Node,
                                      const std::function<void(PVirtualNode, bool&)>& Proc) {
    if (!Node) Node = FRoot;
    bool wasIterating = FStates.Contains(TVirtualTreeState::tsIterating);
    if (!wasIterating) DoStateChange({TVirtualTreeState::tsIterating});
    auto leave = Finally([&] {
        if (!wasIterating) DoStateChange({}, {TVirtualTreeState::tsIterating});
    });
    bool abort = false;
    PVirtualNode run = Node == FRoot ? GetFirst() : Node;
    PVirtualNode stop = nullptr;
    if (Node != FRoot) {
        PVirtualNode up = Node;
        while (up != FRoot && !up->NextSibling)
            up = up->Parent;
        stop = up == FRoot ? nullptr : up->NextSibling;
    }
    while (run && run != stop && !abort) {
        Proc(run, abort);
        run = GetNext(run);
    }
}

// ---- Positions
// ----------------------------------------------------------------------------------------

PVirtualNode TBaseVirtualTree::NodeAtPoint(int X, int Y) {
    int top = 0;
    return NodeAtPointEx(X, Y, true, top);
}

PVirtualNode TBaseVirtualTree::NodeAtPointEx(int X, int Y, bool Relative, int& NodeTop) {
    (void)X;
    FlushTotals();
    if (Relative) Y -= FOffsetY;
    if (Y < 0) Y = 0;
    int64_t top = 0;
    PVirtualNode run = GetFirstVisibleNoInit();
    PVirtualNode result = nullptr;
    // Whole subtrees above Y are skipped by their total heights.
    while (run) {
        if (!Has(run, nsVisible)) {
            run = run->NextSibling;
            continue;
        }
        if (top + run->TotalHeight <= Y) {
            top += run->TotalHeight;
            run = run->NextSibling;
            continue;
        }
        if (Y < top + run->NodeHeight) {
            result = run;
            break;
        }
        top += run->NodeHeight;
        run = Has(run, nsExpanded) ? run->FirstChild : nullptr;
    }
    NodeTop = int(top) + (Relative ? FOffsetY : 0);
    return result;
}

int TBaseVirtualTree::NodeTop(PVirtualNode Node) {
    int64_t top = 0;
    for (PVirtualNode run = GetFirstVisibleNoInit(); run && run != Node;
         run = GetNextVisibleNoInit(run))
        top += run->NodeHeight;
    return int(top);
}

} // namespace epc
