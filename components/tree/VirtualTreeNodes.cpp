// Node records and node management: creation, linking, initialisation, deletion, the update
// lock with its deferred work, expansion, running totals and the walkers.

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "components/tree/BaseVirtualTree.h"
#include "platform/controls/Forms.h"
#include "platform/core/ScopeGuard.h"
#include "platform/windows/DataTransfer.h"
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
    // Asked for sizes without user data too: a descendant keeps track of what its records hold.
    if (!FComponentState.Contains(TComponentStateItem::csDesigning))
        user = UserDataCapacity(size_t(std::max(FNodeDataSize, 0)));
    return TreeNodeSize + FTotalInternalDataSize + user;
}

PVirtualNode TBaseVirtualTree::MakeNewNode() {
    if (FNodeDataSize == -1) {
        int size = DoGetNodeDataSize();
        FNodeDataSize = std::max(size, -1);
    }
    // The data areas zero-filled; the node's own fields are all set here.
    void* memory = FNodePool.Allocate(NodeRecordSize(), TreeNodeSize);
    PVirtualNode node = new (memory) TVirtualNode();
    node->NodeHeight = Word(FDefaultNodeHeight);
    node->TotalCount = 1;
    node->TotalHeight = FDefaultNodeHeight;
    node->States = {nsVisible};
    node->Align = 50;
    return node;
}

void TBaseVirtualTree::FreeNodeRecord(PVirtualNode node) {
    node->~TVirtualNode();
    FNodePool.Free(node);
}

Cardinal TBaseVirtualTree::AllocateInternalDataArea(Cardinal size) {
    Assert(FRoot->TotalCount == 1,
           "Internal data allocation must be done before any node is created.");
    // Rounded to pointer size so that the user data stays aligned for pointers.
    Cardinal rounded = Cardinal(AlignToPointer(size));
    Cardinal offset = FTotalInternalDataSize;
    FTotalInternalDataSize += rounded;
    void* memory = std::realloc(FRoot.get(), TreeNodeSize + FTotalInternalDataSize);
    if (!memory) throw EOutOfMemory("Out of memory");
    // The old block is gone once realloc succeeds: hand the new one to the owner.
    FRoot.release();
    FRoot.reset(static_cast<PVirtualNode>(memory));
    std::memset(FRoot->Data() + offset, 0, rounded);
    FRoot->PrevSibling = FRoot.get();
    FRoot->NextSibling = FRoot.get();
    return offset;
}

// ---- Running totals
// ----------------------------------------------------------------------------------

void TBaseVirtualTree::QueuePending(PVirtualNode node) {
    if (!node->FQueued) {
        node->FQueued = 1;
        FPendingTotals.push_back(node);
    }
}

void TBaseVirtualTree::AdjustTotalCount(PVirtualNode node, int value, bool relative) {
    if (!node) return;
    int delta = relative ? value : value - int(node->TotalCount);
    if (delta == 0) return;
    if (DeferTotals()) {
        node->TotalCount = Cardinal(int64_t(node->TotalCount) + delta);
        if (node == FRoot.get()) return;
        // One step up costs no more than queueing: top-level nodes settle with the root at once.
        if (node->Parent == FRoot.get()) {
            FRoot->TotalCount = Cardinal(int64_t(FRoot->TotalCount) + delta);
            return;
        }
        node->FPendingCount += delta;
        QueuePending(node);
        return;
    }
    // Up to and including the hidden root, whose parent link is the tree.
    for (PVirtualNode run = node;; run = run->Parent) {
        run->TotalCount = Cardinal(int64_t(run->TotalCount) + delta);
        if (run == FRoot.get()) break;
    }
}

void TBaseVirtualTree::AdjustTotalHeight(PVirtualNode node, int value, bool relative) {
    if (!node) return;
    int delta = relative ? value : value - int(node->TotalHeight);
    if (delta == 0) return;
    if (DeferTotals()) {
        node->TotalHeight = Cardinal(int64_t(node->TotalHeight) + delta);
        if (node != FRoot.get() && Has(node, nsVisible) && Has(node->Parent, nsExpanded)) {
            if (node->Parent == FRoot.get()) {
                FRoot->TotalHeight = Cardinal(int64_t(FRoot->TotalHeight) + delta);
                return;
            }
            node->FPendingHeight += delta;
            QueuePending(node);
        }
        return;
    }
    PVirtualNode run = node;
    while (true) {
        run->TotalHeight = Cardinal(int64_t(run->TotalHeight) + delta);
        if (run == FRoot.get() || !Has(run, nsVisible) || !Has(run->Parent, nsExpanded)) break;
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
            if (parent != FRoot.get()) {
                parent->FPendingCount += count;
                QueuePending(parent);
            }
        }
        // A height change counts only while the node is shown by its parent; a parent that
        // collapsed meanwhile dropped the node's share already.
        if (height != 0 && Has(node, nsVisible) && Has(parent, nsExpanded)) {
            parent->TotalHeight = Cardinal(int64_t(parent->TotalHeight) + height);
            if (parent != FRoot.get() && Has(parent, nsVisible) &&
                Has(parent->Parent, nsExpanded)) {
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

Cardinal TBaseVirtualTree::CountVisibleChildren(PVirtualNode node) const {
    // Visible descendants shown below an expanded node (iterative: trees may be very deep).
    Cardinal count = 0;
    PVirtualNode run = node->FirstChild;
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
            if (run == node) return count;
        }
        run = run->NextSibling;
    }
    return count;
}

Cardinal TBaseVirtualTree::VisibleChildCount(PVirtualNode node) const {
    if (!node) node = FRoot.get();
    if (!Has(node, nsExpanded)) return 0;
    return CountVisibleChildren(node);
}

// ---- Simple node queries
// -----------------------------------------------------------------------------

Cardinal TBaseVirtualTree::NodeLevel(PVirtualNode node) const {
    Cardinal level = 0;
    if (!node || node == FRoot.get()) return 0;
    for (PVirtualNode run = node->Parent; run != FRoot.get(); run = run->Parent)
        ++level;
    return level;
}

bool TBaseVirtualTree::HasAsAncestor(PVirtualNode node, PVirtualNode potentialParent) const {
    if (!node || !potentialParent || node == potentialParent || node == FRoot.get()) return false;
    for (PVirtualNode run = node->Parent;; run = run->Parent) {
        if (run == potentialParent) return true;
        if (run == FRoot.get()) return false;
    }
}

PVirtualNode TBaseVirtualTree::VisibleAncestorOf(PVirtualNode node) const {
    Assert(node != nullptr, "Node must not be nil.");
    PVirtualNode result = node;
    if (node == FRoot.get()) return node;
    // The topmost collapsed ancestor, or the node itself when every ancestor is expanded.
    for (PVirtualNode run = node->Parent; run != FRoot.get(); run = run->Parent)
        if (!Has(run, nsExpanded)) result = run;
    return result;
}

bool TBaseVirtualTree::IsNodeFullyVisible(PVirtualNode node) const {
    Assert(node != nullptr, "Invalid parameter.");
    if (node == FRoot.get()) return true;
    if (!Has(node, nsVisible)) return false;
    for (PVirtualNode run = node->Parent; run != FRoot.get(); run = run->Parent)
        if (!Has(run, nsExpanded) || !Has(run, nsVisible)) return false;
    return true;
}

Cardinal TBaseVirtualTree::NodeHeight(PVirtualNode node) const {
    return node && node != FRoot.get() ? node->NodeHeight : 0;
}

void TBaseVirtualTree::SetNodeHeight(PVirtualNode node, Cardinal value) {
    if (!node || node == FRoot.get()) return;
    // The record holds 16 bits: larger heights are kept at the largest one it can hold.
    value = std::min<Cardinal>(value, 65535);
    if (node->NodeHeight == value) return;
    int delta = int(value) - int(node->NodeHeight);
    node->NodeHeight = Word(value);
    AdjustTotalHeight(node, delta, true);
    if (!IsUpdating()) {
        UpdateScrollBars(true);
        InvalidateToBottom(node);
    }
}

bool TBaseVirtualTree::Expanded(PVirtualNode node) const {
    return node && Has(node, nsExpanded);
}

void TBaseVirtualTree::SetExpanded(PVirtualNode node, bool value) {
    if (node && node != FRoot.get() && Has(node, nsExpanded) != value) ToggleNode(node);
}

bool TBaseVirtualTree::IsVisible(PVirtualNode node) const {
    return node && Has(node, nsVisible);
}

void TBaseVirtualTree::SetVisible(PVirtualNode node, bool value) {
    if (!node || node == FRoot.get() || Has(node, nsVisible) == value) return;
    TEagerTotals eager(*this);
    ++FStructureVersion;
    PVirtualNode parent = node->Parent;
    auto share = [&] { return 1 + (Has(node, nsExpanded) ? CountVisibleChildren(node) : 0); };
    if (value) {
        node->States.Include(nsVisible);
        if (IsNodeFullyVisible(node)) FVisibleCount += share();
        if (Has(parent, nsExpanded)) AdjustTotalHeight(parent, int(node->TotalHeight), true);
    } else {
        if (IsNodeFullyVisible(node)) FVisibleCount -= share();
        if (Has(parent, nsExpanded)) AdjustTotalHeight(parent, -int(node->TotalHeight), true);
        node->States.Exclude(nsVisible);
    }
    DetermineHiddenChildrenFlag(parent);
    if (!IsUpdating()) {
        UpdateScrollBars(true);
        RequestRepaint();
    }
}

bool TBaseVirtualTree::Disabled(PVirtualNode node) const {
    return node && Has(node, nsDisabled);
}

void TBaseVirtualTree::SetDisabled(PVirtualNode node, bool value) {
    if (!node || node == FRoot.get() || Has(node, nsDisabled) == value) return;
    node->States.Set(nsDisabled, value);
    InvalidateNode(node);
}

Cardinal TBaseVirtualTree::ChildCount(PVirtualNode node) const {
    return (node ? node : FRoot.get())->ChildCount;
}

bool TBaseVirtualTree::HasChildren(PVirtualNode node) const {
    return Has(node ? node : FRoot.get(), nsHasChildren);
}

void TBaseVirtualTree::SetHasChildren(PVirtualNode node, bool value) {
    if (!node || node == FRoot.get()) return;
    if (value) {
        node->States.Include(nsHasChildren);
    } else if (node->ChildCount == 0) {
        node->States.Exclude(nsHasChildren);
    } else {
        RemoveChildren(node, true);
    }
    InvalidateNode(node);
}

void TBaseVirtualTree::DetermineHiddenChildrenFlag(PVirtualNode node) {
    if (!node) return;
    bool allHidden = node->FirstChild != nullptr;
    for (PVirtualNode run = node->FirstChild; run; run = run->NextSibling)
        if (Has(run, nsVisible)) {
            allHidden = false;
            break;
        }
    node->States.Set(nsAllChildrenHidden, allHidden);
}

// ---- Linking
// -------------------------------------------------------------------------------------------

void TBaseVirtualTree::LinkNode(PVirtualNode node, PVirtualNode destination,
                                TVTNodeAttachMode mode) {
    PVirtualNode parent = nullptr;
    switch (mode) {
    case TVTNodeAttachMode::amNoWhere:
        return;
    case TVTNodeAttachMode::amInsertBefore: {
        parent = destination->Parent;
        node->Parent = parent;
        node->Index = destination->Index;
        node->PrevSibling = destination->PrevSibling;
        node->NextSibling = destination;
        destination->PrevSibling = node;
        if (node->PrevSibling)
            node->PrevSibling->NextSibling = node;
        else
            parent->FirstChild = node;
        for (PVirtualNode run = destination; run; run = run->NextSibling)
            ++run->Index;
        break;
    }
    case TVTNodeAttachMode::amInsertAfter: {
        parent = destination->Parent;
        node->Parent = parent;
        node->Index = destination->Index;
        node->PrevSibling = destination;
        node->NextSibling = destination->NextSibling;
        destination->NextSibling = node;
        if (node->NextSibling)
            node->NextSibling->PrevSibling = node;
        else
            parent->LastChild = node;
        for (PVirtualNode run = node; run; run = run->NextSibling)
            ++run->Index;
        break;
    }
    case TVTNodeAttachMode::amAddChildFirst: {
        parent = destination;
        node->Parent = parent;
        node->Index = 0;
        node->NextSibling = parent->FirstChild;
        if (parent->FirstChild)
            parent->FirstChild->PrevSibling = node;
        else
            parent->LastChild = node;
        parent->FirstChild = node;
        for (PVirtualNode run = node->NextSibling; run; run = run->NextSibling)
            ++run->Index;
        break;
    }
    case TVTNodeAttachMode::amAddChildLast:
        parent = destination;
        LinkAsLastChild(parent, node);
        break;
    }
    ++FStructureVersion;
    ++parent->ChildCount;
    parent->States.Include(nsHasChildren);
    // A hidden node among other children changes nothing; alone it hides them all.
    if (Has(node, nsVisible))
        parent->States.Exclude(nsAllChildrenHidden);
    else if (parent->ChildCount == 1)
        parent->States.Include(nsAllChildrenHidden);
    AdjustTotalCount(parent, int(node->TotalCount), true);
    if (Has(parent, nsExpanded) && Has(node, nsVisible))
        AdjustTotalHeight(parent, int(node->TotalHeight), true);
    if (IsNodeFullyVisible(node))
        FVisibleCount += 1 + (Has(node, nsExpanded) ? CountVisibleChildren(node) : 0);
}

void TBaseVirtualTree::UnlinkNode(PVirtualNode node, bool keepFocus, bool reindex) {
    Assert(node != nullptr && node != FRoot.get(), "Node must neither be nil nor the root node.");
    if (node == FFocusedNode && !keepFocus) {
        DoFocusChanging(FFocusedNode, nullptr, FFocusedColumn, FFocusedColumn);
        FFocusedNode = nullptr;
        DoFocusChange(nullptr, FFocusedColumn);
    }
    if (node == FRangeAnchor) FRangeAnchor = nullptr;
    ++FStructureVersion;
    if (Has(node, nsDeleting)) return;

    node->States.Exclude(nsChecking);
    PVirtualNode parent = node->Parent;
    // Counts first, while the node still tells whether it is shown.
    if (IsNodeFullyVisible(node))
        FVisibleCount -= 1 + (Has(node, nsExpanded) ? CountVisibleChildren(node) : 0);
    if (Has(parent, nsExpanded) && Has(node, nsVisible))
        AdjustTotalHeight(parent, -int(node->TotalHeight), true);
    AdjustTotalCount(parent, -int(node->TotalCount), true);
    --parent->ChildCount;
    if (parent->ChildCount == 0) parent->States.Exclude(nsHasChildren);

    if (node->PrevSibling)
        node->PrevSibling->NextSibling = node->NextSibling;
    else
        parent->FirstChild = node->NextSibling;
    if (node->NextSibling) {
        node->NextSibling->PrevSibling = node->PrevSibling;
        if (reindex) {
            Cardinal index = node->Index;
            for (PVirtualNode run = node->NextSibling; run; run = run->NextSibling)
                run->Index = index++;
        }
    } else {
        parent->LastChild = node->PrevSibling;
    }
    node->PrevSibling = nullptr;
    node->NextSibling = nullptr;
    // The parent may be left with hidden children only (or none).
    if (Has(node, nsVisible) || !parent->FirstChild) DetermineHiddenChildrenFlag(parent);
}

// ---- Creating nodes
// ----------------------------------------------------------------------------------

PVirtualNode TBaseVirtualTree::InsertNodeAt(PVirtualNode node, TVTNodeAttachMode mode,
                                            void* userData) {
    using M = TVTNodeAttachMode;
    if (mode == M::amNoWhere) return nullptr;
    if (FStates.Contains(TVirtualTreeState::tsEditing)) DoCancelEdit();
    if (!node) node = FRoot.get();
    if (node == FRoot.get()) {
        if (mode == M::amInsertBefore) mode = M::amAddChildFirst;
        if (mode == M::amInsertAfter) mode = M::amAddChildLast;
    }
    PVirtualNode result = MakeNewNode();
    if ((mode == M::amAddChildFirst || mode == M::amAddChildLast) && node != FRoot.get() &&
        !Has(node, nsInitialized))
        InitNode(node);
    LinkNode(result, node, mode);

    if (userData) {
        if (FNodeDataSize < int(sizeof(void*)))
            ShowError("Cannot set initial user data because there is not enough user data "
                      "space allocated.",
                      hcTFCannotSetUserData);
        std::memcpy(result->Data() + FTotalInternalDataSize, &userData, sizeof(void*));
        result->States.Include(nsOwnsInitialData);
    }

    if (!IsUpdating()) {
        if (FOptions->AutoOptions().Contains(toAutoSort) && FSortColumn > InvalidColumn) {
            PVirtualNode sortParent =
                (mode == M::amInsertBefore || mode == M::amInsertAfter) ? node->Parent : node;
            SortTree(sortParent == FRoot.get() ? nullptr : sortParent, FSortColumn, FSortDirection,
                     true);
        }
        UpdateScrollBars(true);
        PVirtualNode from = mode == M::amInsertBefore ? result : node;
        if (mode == M::amInsertBefore || mode == M::amInsertAfter) {
            // A new last visible sibling turns the tree lines of the one before it, which
            // need not be the reference; a hidden reference has no row to start from.
            PVirtualNode later = result->NextSibling;
            while (later && !Has(later, nsVisible))
                later = later->NextSibling;
            PVirtualNode before = later ? nullptr : result->PrevSibling;
            while (before && !Has(before, nsVisible))
                before = before->PrevSibling;
            if (before) from = before;
            if (!IsNodeFullyVisible(from)) from = result;
        }
        InvalidateToBottom(from);
    }
    StructureChange(result, TChangeReason::crNodeAdded);
    return result;
}

void TBaseVirtualTree::InitNode(PVirtualNode node) {
    if (!node || node == FRoot.get()) return;
    TVirtualNodeInitStates initStates;
    PVirtualNode parent = node->Parent == FRoot.get() ? nullptr : node->Parent;
    DoInitNode(parent, node, initStates);
    node->States.Include(nsInitialized);
    if (initStates.Contains(TVirtualNodeInitState::ivsDisabled)) node->States.Include(nsDisabled);
    if (initStates.Contains(TVirtualNodeInitState::ivsHasChildren))
        node->States.Include(nsHasChildren);
    if (initStates.Contains(TVirtualNodeInitState::ivsSelected)) {
        if (InternalAddToSelection({node}, false)) InvalidateNode(node);
    }
    if (initStates.Contains(TVirtualNodeInitState::ivsMultiline)) node->States.Include(nsMultiline);
    bool wantExpanded = initStates.Contains(TVirtualNodeInitState::ivsExpanded);
    if (wantExpanded != Has(node, nsExpanded)) {
        if (wantExpanded)
            ToggleNode(node);
        else if (Has(node, nsHasChildren) && node->ChildCount == 0)
            InitChildren(node);
    }
}

void TBaseVirtualTree::InitChildren(PVirtualNode node) {
    if (!node || node == FRoot.get() || !Has(node, nsHasChildren)) return;
    Cardinal count = node->ChildCount;
    DoInitChildren(node, count);
    if (count == 0) {
        // Nothing to show: the node loses its expand button.
        if (node->ChildCount > 0) RemoveChildren(node, true);
        node->States.Exclude(nsHasChildren);
        return;
    }
    SetChildCount(node, count);
}

void TBaseVirtualTree::SetChildCount(PVirtualNode node, Cardinal newChildCount) {
    if (IsReadOnly()) return;
    if (!node) node = FRoot.get();
    if (newChildCount == node->ChildCount) {
        if (newChildCount == 0 && node != FRoot.get()) node->States.Exclude(nsHasChildren);
        return;
    }
    if (newChildCount == 0) {
        RemoveChildren(node, false);
    } else if (newChildCount > node->ChildCount) {
        InterruptValidation();
        Cardinal remaining = newChildCount - node->ChildCount;
        Cardinal index = node->LastChild ? node->LastChild->Index + 1 : 0;
        int64_t heights = 0;
        Cardinal visibleNew = 0;
        for (Cardinal i = 0; i < remaining; ++i) {
            PVirtualNode child = MakeNewNode();
            child->Index = index++;
            child->Parent = node;
            child->PrevSibling = node->LastChild;
            if (node->LastChild)
                node->LastChild->NextSibling = child;
            else
                node->FirstChild = child;
            node->LastChild = child;
            heights += child->TotalHeight;
            ++visibleNew;
        }
        node->States.Include(nsHasChildren);
        node->States.Exclude(nsAllChildrenHidden);
        node->ChildCount = newChildCount;
        if (Has(node, nsExpanded)) {
            AdjustTotalHeight(node, int(heights), true);
            if (IsNodeFullyVisible(node)) FVisibleCount += visibleNew;
        }
        AdjustTotalCount(node, int(remaining), true);
        if (!IsUpdating() && FOptions->AutoOptions().Contains(toAutoSort) &&
            FSortColumn > InvalidColumn)
            SortTree(node == FRoot.get() ? nullptr : node, FSortColumn, FSortDirection, true);
    } else {
        TUpdateLock lock(*this);
        while (node->ChildCount > newChildCount && node->LastChild)
            RemoveNode(node->LastChild, false);
    }
    if (!IsUpdating()) {
        UpdateScrollBars(true);
        RequestRepaint();
    }
    StructureChange(node == FRoot.get() ? nullptr : node, TChangeReason::crChildAdded);
}

// ---- Deleting nodes
// ------------------------------------------------------------------------------------

void TBaseVirtualTree::ForgetNode(PVirtualNode node) {
    if (node == FFocusedNode) {
        DoFocusChanging(FFocusedNode, nullptr, FFocusedColumn, FFocusedColumn);
        FFocusedNode = nullptr;
        DoFocusChange(nullptr, FFocusedColumn);
    }
    if (Has(node, nsSelected)) InternalRemoveFromSelection(node);
    if (node == FRangeAnchor) FRangeAnchor = nullptr;
    if (node == FCurrentHotNode) FCurrentHotNode = nullptr;
    if (node == FDropTargetNode) FDropTargetNode = nullptr;
    if (node == FLastChangedNode) FLastChangedNode = nullptr;
    if (node == FLastStructureChangeNode) FLastStructureChangeNode = nullptr;
    if (node == FEditTimerNode) FEditTimerNode = nullptr;
    // A check image pressed on the node is let go; the search no longer starts there.
    if (node == FCheckNode) FCheckNode = nullptr;
    FKeyboard.ForgetNode(node);
}

void TBaseVirtualTree::InternalRemoveFromSelection(PVirtualNode node) {
    node->States.Exclude(nsSelected);
    int index = FindNodeInSelection(node);
    if (index < 0) return;
    if (IsUpdating()) {
        FSelection[size_t(index)] =
            reinterpret_cast<PVirtualNode>(reinterpret_cast<uintptr_t>(node) | 1);
        ++FSelectionMarked;
        FStates.Include(TVirtualTreeState::tsSelectionCompactPending);
    } else {
        FSelection.erase(FSelection.begin() + index);
    }
}

void TBaseVirtualTree::DeleteSubtreeNodes(PVirtualNode node) {
    // Post-order from the last child backwards, without recursion (trees may be very deep).
    PVirtualNode run = node->LastChild;
    while (run) {
        run->States.Include(nsDeleting);
        while (run->LastChild) {
            run = run->LastChild;
            run->States.Include(nsDeleting);
        }
        PVirtualNode parent = run->Parent;
        PVirtualNode next =
            run->PrevSibling ? run->PrevSibling : (parent != node ? parent : nullptr);
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

void TBaseVirtualTree::RemoveChildren(PVirtualNode node, bool resetHasChildren) {
    if (!node) node = FRoot.get();
    if (IsReadOnly() && !Destroying()) return;
    // A node that may still get children keeps saying so.
    if (!node->FirstChild) return;
    Assert(!FStates.Contains(TVirtualTreeState::tsIterating),
           "Deleting nodes during tree iteration leads to invalid pointers.");
    CancelEditOf(node, false);
    TEagerTotals eager(*this);
    int oldOffsetX = FOffsetX, oldOffsetY = FOffsetY;
    ++FStructureVersion;
    ++FUpdateCount;
    node->States.Include(nsClearing);
    if (Has(node, nsExpanded) && IsNodeFullyVisible(node))
        FVisibleCount -= CountVisibleChildren(node);
    DeleteSubtreeNodes(node);
    node->States.Exclude(nsClearing);
    if (resetHasChildren && node != FRoot.get()) node->States.Exclude(nsHasChildren);
    if (node != FRoot.get()) node->States.Exclude(nsExpanded);
    node->ChildCount = 0;
    node->States.Exclude(nsAllChildrenHidden);
    FScroller.InvalidateRangeX();
    if (node == FRoot.get() || Has(node, nsDeleting)) {
        node->TotalHeight = node->NodeHeight;
        node->TotalCount = 1;
    } else {
        AdjustTotalHeight(node, node->NodeHeight, false);
        AdjustTotalCount(node, 1, false);
    }
    --FUpdateCount;
    if (FUpdateCount == 0) {
        // Selected children were only marked while the count was up.
        if (FStates.Contains(TVirtualTreeState::tsSelectionCompactPending)) PackSelection();
        InvalidatePositionCache();
        UpdateScrollBars(true);
        if (oldOffsetX != FOffsetX || oldOffsetY != FOffsetY)
            RequestRepaint();
        else
            InvalidateToBottom(node);
    }
    StructureChange(node == FRoot.get() ? nullptr : node, TChangeReason::crChildDeleted);
}

void TBaseVirtualTree::RemoveNode(PVirtualNode node, bool reindex) {
    if (!node || node == FRoot.get() || IsReadOnly()) return;
    Assert(!FStates.Contains(TVirtualTreeState::tsIterating),
           "Deleting nodes during tree iteration leads to invalid pointers.");
    CancelEditOf(node, true);
    TEagerTotals eager(*this);
    PVirtualNode parent = node->Parent;
    const bool parentClearing = Has(parent, nsClearing);
    if (!parentClearing)
        StructureChange(parent == FRoot.get() ? nullptr : parent, TChangeReason::crChildDeleted);
    int oldOffsetX = FOffsetX, oldOffsetY = FOffsetY;
    if (!Has(node, nsSelected)) {
        InvalidateToBottom(parent);
    } else {
        InternalRemoveFromSelection(node);
        if (!IsUpdating()) InvalidateToBottom(parent);
    }
    if (FStates.Contains(TVirtualTreeState::tsHint)) {
        if (Application) Application->CancelHint();
        DoStateChange({}, {TVirtualTreeState::tsHint});
    }
    RemoveChildren(node, false);
    UnlinkNode(node, false, reindex);
    ForgetNode(node);
    DoFreeNode(node);
    if (!parentClearing) {
        DetermineHiddenChildrenFlag(parent);
        FScroller.InvalidateRangeX();
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
        FStates.Contains(TVirtualTreeState::tsCopyPending)) {
        // The clipboard's data object renders from this tree: left there, a later paste would
        // take whatever the tree holds by then.
        OleSetClipboard(nullptr);
        DoStateChange({}, {TVirtualTreeState::tsCutPending, TVirtualTreeState::tsCopyPending});
    }
    if (FStates.Contains(TVirtualTreeState::tsEditing)) DoCancelEdit();
    ClearSelection();
    FFocusedNode = nullptr;
    FCurrentHotNode = nullptr;
    FLastChangedNode = nullptr;
    FDropTargetNode = nullptr;
    FRangeAnchor = nullptr;
    RemoveChildren(FRoot.get(), true);
    FVisibleCount = 0;
    FOffsetX = 0;
    FOffsetY = 0;
    FScroller.ForgetRangeX();
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

void TBaseVirtualTree::StructureChange(PVirtualNode node, TChangeReason reason) {
    // The first reason wins unless a later one asks for a full rebuild.
    if (!FStates.Contains(TVirtualTreeState::tsStructureChangePending) ||
        reason == TChangeReason::crAccumulated) {
        if (!FStates.Contains(TVirtualTreeState::tsStructureChangePending))
            FLastStructureChangeReason = reason;
        else
            FLastStructureChangeReason = TChangeReason::crAccumulated;
    }
    FLastStructureChangeNode = node;
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
    DoStructureChange(node, reason);
}

// ---- Expanding and collapsing
// ----------------------------------------------------------------------------

void TBaseVirtualTree::ToggleNode(PVirtualNode node) {
    Assert(node != nullptr, "Node must not be nil.");
    ToggleNodeImpl(node, -1, false);
}

void TBaseVirtualTree::ToggleNodeImpl(PVirtualNode node, int fullyVisibleHint,
                                      bool walkSumsHeights) {
    if (node == FRoot.get()) return;
    ++FStructureVersion;
    const bool fullyVisible =
        fullyVisibleHint >= 0 ? fullyVisibleHint != 0 : IsNodeFullyVisible(node);
    // Whole-tree expansion and collapse, and changes inside an update, are not animated.
    const bool animate = fullyVisible && fullyVisibleHint < 0 && !walkSumsHeights &&
                         FOptions->AnimationOptions().Contains(toAnimatedToggle) &&
                         FAnimationDuration > 0 && HandleAllocated() && !IsUpdating();
    const bool expanding = !Has(node, nsExpanded);
    int shownBefore = 0;
    if (animate && !expanding) {
        FlushTotals();
        shownBefore = int(node->TotalHeight) - int(node->NodeHeight);
    }
    if (Has(node, nsExpanded)) {
        if (!DoCollapsing(node)) return;
        if (fullyVisible) FVisibleCount -= CountVisibleChildren(node);
        node->States.Exclude(nsExpanded);
        if (!walkSumsHeights) AdjustTotalHeight(node, node->NodeHeight, false);
        FScroller.InvalidateRangeX();
        DoCollapsed(node);
        if (FOptions->AutoOptions().Contains(toAutoFreeOnCollapse)) RemoveChildren(node, false);
    } else {
        if (!DoExpanding(node)) return;
        if (Has(node, nsHasChildren) && node->ChildCount == 0) InitChildren(node);
        node->States.Include(nsExpanded);
        if (!walkSumsHeights) {
            int64_t heights = 0;
            for (PVirtualNode run = node->FirstChild; run; run = run->NextSibling) {
                // The node takes over its children's current totals, so whatever they still
                // owed their parent is settled here.
                run->FPendingHeight = 0;
                if (Has(run, nsVisible)) heights += run->TotalHeight;
            }
            AdjustTotalHeight(node, int(node->NodeHeight + heights), false);
        }
        if (fullyVisible) FVisibleCount += CountVisibleChildren(node);
        DoExpanded(node);
        if (fullyVisible && !walkSumsHeights && !IsUpdating() &&
            FOptions->AutoOptions().Contains(toAutoScrollOnExpand)) {
            // As much of the new subtree as fits comes into view, the node itself staying.
            const int top = NodeTop(node) + FOffsetY;
            const int bottom = top + int(node->TotalHeight);
            if (bottom > ClientHeight() && top > 0)
                DoSetOffsetXY(TPoint(FOffsetX, FOffsetY - std::min(top, bottom - ClientHeight())),
                              DefaultScrollUpdateFlags);
        }
    }
    if (animate && Has(node, nsExpanded) == expanding) {
        FlushTotals();
        const int shown = expanding ? int(node->TotalHeight) - int(node->NodeHeight) : shownBefore;
        AnimateToggle(node, shown, expanding);
    }
    if (!IsUpdating()) {
        InvalidatePositionCache();
        UpdateScrollBars(true);
        InvalidateToBottom(node);
    }
}

void TBaseVirtualTree::LeaveWalkedNode(PVirtualNode node, PVirtualNode start, bool descended) {
    // A node the walk went into has all its children behind it: its total is rebuilt from
    // theirs. Below the start the parent is rebuilt the same way, so nothing is owed to it;
    // the start hands its change on as any adjustment does.
    if (descended) {
        int64_t total = node->NodeHeight;
        if (Has(node, nsExpanded)) {
            for (PVirtualNode child = node->FirstChild; child; child = child->NextSibling)
                if (Has(child, nsVisible)) total += child->TotalHeight;
        }
        if (node == start) {
            AdjustTotalHeight(node, int(total), false);
            return;
        }
        node->TotalHeight = Cardinal(total);
    }
    if (node != start) node->FPendingHeight = 0;
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

void TBaseVirtualTree::ExpandAll(PVirtualNode node) {
    TUpdateLock lock(*this);
    // Pre-order expansion; the heights are summed on the way back up, so that no expansion
    // hands its change to every ancestor.
    auto expandSubtree = [&](PVirtualNode start) {
        if (!Has(start, nsInitialized)) InitNode(start);
        PVirtualNode parent = start->Parent;
        TShownLevels levels(parent == FRoot.get() ||
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
    if (node && node != FRoot.get()) {
        expandSubtree(node);
    } else {
        for (PVirtualNode run = FirstNode(); run; run = run->NextSibling)
            expandSubtree(run);
    }
}

void TBaseVirtualTree::CollapseAll(PVirtualNode node) {
    if (TotalCount() < 2) return;
    TUpdateLock lock(*this);
    // Children before their parents (post-order), so that every collapse finds its descendants
    // closed already; the heights are settled on the way up as in ExpandAll (a node whose
    // collapse is refused keeps its children's new totals).
    auto collapseSubtree = [&](PVirtualNode start) {
        PVirtualNode parent = start->Parent;
        TShownLevels levels(parent == FRoot.get() ||
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
    if (node && node != FRoot.get()) {
        collapseSubtree(node);
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

void TBaseVirtualTree::MergeSortSiblings(PVirtualNode parent, TColumnIndex column,
                                         TSortDirection direction) {
    const size_t count = parent->ChildCount;
    std::vector<PVirtualNode> nodes;
    nodes.reserve(count);
    for (PVirtualNode run = parent->FirstChild; run; run = run->NextSibling)
        nodes.push_back(run);
    const bool ascending = direction == TSortDirection::sdAscending;
    // The second run's head goes first only when it compares strictly before the first run's
    // head, so equal nodes keep their order in both directions.
    auto secondFirst = [&](PVirtualNode a, PVirtualNode b) {
        const int r = DoCompare(a, b, column);
        return ascending ? r > 0 : r < 0;
    };
    // A stable merge sort in two stages. Siblings are made one after another, so short stretches
    // of the list lie close together in memory: each stretch of LocalWidth nodes is sorted
    // where it lies. The sorted stretches point all over memory in a big tree; they are merged
    // sixteen at a time through a winner tree, so every node is read in few passes for the same
    // n log2 n comparisons, and the records a few places ahead in the run that moved are
    // fetched early.
    constexpr int MaxWays = 16;
    constexpr size_t LocalWidth = 4096;
    constexpr size_t Ahead = 4;
    auto prefetch = []([[maybe_unused]] PVirtualNode node) {
#if defined(__GNUC__)
        __builtin_prefetch(node);
        __builtin_prefetch(reinterpret_cast<const char*>(node) + 64);
#endif
    };
    const size_t n = nodes.size();
    std::vector<PVirtualNode> buffer(n > LocalWidth ? n : 0);
    std::vector<PVirtualNode>* from = &nodes;
    std::vector<PVirtualNode>* to = &buffer;
    for (size_t lo = 0; lo < n; lo += LocalWidth)
        std::stable_sort(nodes.begin() + std::ptrdiff_t(lo),
                         nodes.begin() + std::ptrdiff_t(std::min(lo + LocalWidth, n)),
                         [&](PVirtualNode a, PVirtualNode b) { return secondFirst(b, a); });
    for (size_t width = LocalWidth; width < n; width *= MaxWays) {
        const std::vector<PVirtualNode>& src = *from;
        std::vector<PVirtualNode>& dst = *to;
        for (size_t lo = 0; lo < n; lo += MaxWays * width) {
            // Leaves for the runs this group has, rounded up to a power of two.
            const size_t runs = std::min(size_t(MaxWays), (n - lo + width - 1) / width);
            int leaves = 1;
            while (size_t(leaves) < runs)
                leaves *= 2;
            size_t pos[MaxWays], end[MaxWays];
            for (int r = 0; r < leaves; ++r) {
                pos[r] = std::min(lo + size_t(r) * width, n);
                end[r] = std::min(pos[r] + width, n);
            }
            const size_t hi = end[leaves - 1];
            if (leaves == 1) {
                std::copy(src.begin() + std::ptrdiff_t(lo), src.begin() + std::ptrdiff_t(hi),
                          dst.begin() + std::ptrdiff_t(lo));
                continue;
            }
            // The run whose head goes first; on a tie the run further left wins, which keeps
            // equal nodes in their order.
            auto better = [&](int a, int b) {
                if (pos[a] == end[a]) return b;
                if (pos[b] == end[b]) return a;
                return secondFirst(src[pos[a]], src[pos[b]]) ? b : a;
            };
            int winner[2 * MaxWays];
            for (int r = 0; r < leaves; ++r)
                winner[leaves + r] = r;
            for (int node = leaves - 1; node >= 1; --node)
                winner[node] = better(winner[2 * node], winner[2 * node + 1]);
            for (size_t k = lo; k < hi; ++k) {
                const int w = winner[1];
                dst[k] = src[pos[w]++];
                if (pos[w] + Ahead < end[w]) prefetch(src[pos[w] + Ahead]);
                for (int node = (leaves + w) / 2; node >= 1; node /= 2)
                    winner[node] = better(winner[2 * node], winner[2 * node + 1]);
            }
        }
        std::swap(from, to);
    }
    const std::vector<PVirtualNode>& sorted = *from;
    PVirtualNode previous = nullptr;
    Cardinal index = 0;
    for (size_t i = 0; i < sorted.size(); ++i) {
        PVirtualNode node = sorted[i];
        if (i + Ahead < sorted.size()) prefetch(sorted[i + Ahead]);
        node->Index = index++;
        node->PrevSibling = previous;
        if (previous) previous->NextSibling = node;
        previous = node;
    }
    if (!sorted.empty()) {
        sorted.back()->NextSibling = nullptr;
        parent->FirstChild = sorted.front();
        parent->LastChild = sorted.back();
    }
}

void TBaseVirtualTree::SortTree(PVirtualNode node, TColumnIndex column, TSortDirection direction,
                                bool doInit) {
    InterruptValidation();
    if (!node) node = FRoot.get();
    if (doInit && node != FRoot.get() && Has(node, nsHasChildren) && node->ChildCount == 0)
        InitChildren(node);
    if (doInit)
        for (PVirtualNode run = node->FirstChild; run; run = run->NextSibling)
            if (!Has(run, nsInitialized)) InitNode(run);
    if (node->ChildCount < 2) return;
    MergeSortSiblings(node, column, direction);
    InvalidatePositionCache();
    RequestRepaint();
}

void TBaseVirtualTree::SortSubtree(PVirtualNode node, TColumnIndex column, TSortDirection direction,
                                   bool doInit) {
    std::vector<PVirtualNode> pending{node ? node : FRoot.get()};
    while (!pending.empty()) {
        PVirtualNode current = pending.back();
        pending.pop_back();
        SortTree(current == FRoot.get() ? nullptr : current, column, direction, doInit);
        for (PVirtualNode run = current->FirstChild; run; run = run->NextSibling) {
            if (!Has(run, nsInitialized)) {
                if (!doInit) continue;
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

PVirtualNode TBaseVirtualTree::FirstNodeNoInit() const {
    return FRoot->FirstChild;
}

PVirtualNode TBaseVirtualTree::FirstNode() {
    PVirtualNode result = FRoot->FirstChild;
    if (result && !Has(result, nsInitialized)) InitNode(result);
    return result;
}

PVirtualNode TBaseVirtualTree::FirstChildNoInit(PVirtualNode node) const {
    return (node ? node : FRoot.get())->FirstChild;
}

PVirtualNode TBaseVirtualTree::FirstChildOf(PVirtualNode node) {
    if (!node || node == FRoot.get()) return FirstNode();
    if (Has(node, nsHasChildren) && node->ChildCount == 0) InitChildren(node);
    PVirtualNode result = node->FirstChild;
    if (result && !Has(result, nsInitialized)) InitNode(result);
    return result;
}

PVirtualNode TBaseVirtualTree::FirstInitializedNode() {
    PVirtualNode run = FirstNodeNoInit();
    while (run && !Has(run, nsInitialized))
        run = NextNodeNoInit(run);
    return run;
}

PVirtualNode TBaseVirtualTree::NextInitializedNode(PVirtualNode node) {
    PVirtualNode run = NextNodeNoInit(node);
    while (run && !Has(run, nsInitialized))
        run = NextNodeNoInit(run);
    return run;
}

PVirtualNode TBaseVirtualTree::NextNodeNoInit(PVirtualNode node) const {
    if (!node) return nullptr;
    Assert(node != FRoot.get(), SHiddenRoot);
    if (node->FirstChild) return node->FirstChild;
    while (node != FRoot.get() && !node->NextSibling)
        node = node->Parent;
    return node == FRoot.get() ? nullptr : node->NextSibling;
}

PVirtualNode TBaseVirtualTree::NextNodeInTree(PVirtualNode node) {
    if (!node) return nullptr;
    Assert(node != FRoot.get(), SHiddenRoot);
    if (Has(node, nsHasChildren) && node->ChildCount == 0) InitChildren(node);
    PVirtualNode result = NextNodeNoInit(node);
    if (result && !Has(result, nsInitialized)) InitNode(result);
    return result;
}

PVirtualNode TBaseVirtualTree::NextSiblingOf(PVirtualNode node) {
    if (!node) return nullptr;
    Assert(node != FRoot.get(), SHiddenRoot);
    PVirtualNode result = node->NextSibling;
    if (result && !Has(result, nsInitialized)) InitNode(result);
    return result;
}

PVirtualNode TBaseVirtualTree::PreviousSiblingOf(PVirtualNode node) {
    if (!node) return nullptr;
    Assert(node != FRoot.get(), SHiddenRoot);
    PVirtualNode result = node->PrevSibling;
    if (result && !Has(result, nsInitialized)) InitNode(result);
    return result;
}

PVirtualNode TBaseVirtualTree::LastNodeNoInit(PVirtualNode node) const {
    PVirtualNode run = (node ? node : FRoot.get())->LastChild;
    while (run && run->LastChild)
        run = run->LastChild;
    return run;
}

PVirtualNode TBaseVirtualTree::LastNode(PVirtualNode node) {
    PVirtualNode run = LastChildOf(node);
    while (run) {
        PVirtualNode child = LastChildOf(run);
        if (!child) break;
        run = child;
    }
    return run;
}

PVirtualNode TBaseVirtualTree::LastChildNoInit(PVirtualNode node) const {
    return (node ? node : FRoot.get())->LastChild;
}

PVirtualNode TBaseVirtualTree::LastChildOf(PVirtualNode node) {
    if (!node) node = FRoot.get();
    if (node != FRoot.get() && Has(node, nsHasChildren) && node->ChildCount == 0)
        InitChildren(node);
    PVirtualNode result = node->LastChild;
    if (result && !Has(result, nsInitialized)) InitNode(result);
    return result;
}

PVirtualNode TBaseVirtualTree::PreviousNodeNoInit(PVirtualNode node) const {
    if (!node) return nullptr;
    Assert(node != FRoot.get(), SHiddenRoot);
    if (node->PrevSibling) {
        PVirtualNode run = node->PrevSibling;
        while (run->LastChild)
            run = run->LastChild;
        return run;
    }
    return node->Parent == FRoot.get() ? nullptr : node->Parent;
}

PVirtualNode TBaseVirtualTree::PreviousNode(PVirtualNode node) {
    if (!node) return nullptr;
    Assert(node != FRoot.get(), SHiddenRoot);
    Assert(Has(node, nsInitialized), "Node must already be initialized.");
    if (node->PrevSibling) {
        PVirtualNode run = node->PrevSibling;
        if (!Has(run, nsInitialized)) InitNode(run);
        while (true) {
            PVirtualNode child = LastChildOf(run);
            if (!child) break;
            run = child;
        }
        return run;
    }
    return node->Parent == FRoot.get() ? nullptr : node->Parent;
}

PVirtualNode TBaseVirtualTree::FirstVisibleNodeNoInit() const {
    PVirtualNode run = FRoot->FirstChild;
    while (run && !Has(run, nsVisible))
        run = run->NextSibling;
    return RememberVisible(run);
}

PVirtualNode TBaseVirtualTree::FirstVisibleNode() {
    PVirtualNode result = FirstVisibleNodeNoInit();
    if (result && !Has(result, nsInitialized)) InitNode(result);
    return result;
}

PVirtualNode TBaseVirtualTree::FirstVisibleChildOf(PVirtualNode node) {
    if (!node) node = FRoot.get();
    if (node != FRoot.get() && !Has(node, nsExpanded)) return nullptr;
    PVirtualNode run = node->FirstChild;
    while (run && !Has(run, nsVisible))
        run = run->NextSibling;
    if (run && !Has(run, nsInitialized)) InitNode(run);
    return run;
}

PVirtualNode TBaseVirtualTree::LastVisibleChildNoInit(PVirtualNode node) const {
    if (!node) node = FRoot.get();
    if (node != FRoot.get() && !Has(node, nsExpanded)) return nullptr;
    PVirtualNode run = node->LastChild;
    while (run && !Has(run, nsVisible))
        run = run->PrevSibling;
    return run;
}

PVirtualNode TBaseVirtualTree::LastVisibleChildOf(PVirtualNode node) {
    PVirtualNode result = LastVisibleChildNoInit(node);
    if (result && !Has(result, nsInitialized)) InitNode(result);
    return result;
}

PVirtualNode TBaseVirtualTree::LastVisibleNodeNoInit(PVirtualNode node) const {
    PVirtualNode run = LastVisibleChildNoInit(node);
    while (run) {
        PVirtualNode child = LastVisibleChildNoInit(run);
        if (!child) break;
        run = child;
    }
    if (run && (!node || node == FRoot.get())) RememberVisible(run);
    return run;
}

PVirtualNode TBaseVirtualTree::LastVisibleNode(PVirtualNode node) {
    PVirtualNode result = LastVisibleNodeNoInit(node);
    if (result && !Has(result, nsInitialized)) InitNode(result);
    return result;
}

bool TBaseVirtualTree::KnownFullyVisible(PVirtualNode node) const {
    // A node a visible walker just returned is fully visible while nothing has changed since;
    // walks then cost no climb to the root per step.
    if (node == FVisibleWalkNode && FVisibleWalkVersion == FStructureVersion) return true;
    return IsNodeFullyVisible(node);
}

PVirtualNode TBaseVirtualTree::RememberVisible(PVirtualNode node) const {
    FVisibleWalkNode = node;
    FVisibleWalkVersion = FStructureVersion;
    return node;
}

PVirtualNode TBaseVirtualTree::NextVisibleNodeNoInit(PVirtualNode node) const {
    if (!node) return nullptr;
    Assert(node != FRoot.get(), SHiddenRoot);
    return RememberVisible(NextVisibleStep(node));
}

PVirtualNode TBaseVirtualTree::HiddenTop(PVirtualNode node) const {
    PVirtualNode top = nullptr;
    for (PVirtualNode run = node; run != FRoot.get(); run = run->Parent)
        if (!Has(run, nsVisible) || (run->Parent != FRoot.get() && !Has(run->Parent, nsExpanded)))
            top = run;
    return top;
}

PVirtualNode TBaseVirtualTree::NextVisibleStep(PVirtualNode node) const {
    if (!KnownFullyVisible(node)) {
        // Nothing below a node that does not show shows either: the walk goes on after the
        // highest such node of the chain, or after the collapsed parent that stands for it.
        PVirtualNode top = HiddenTop(node);
        node = top->Parent != FRoot.get() && !Has(top->Parent, nsExpanded) ? top->Parent : top;
    } else if (Has(node, nsExpanded)) {
        for (PVirtualNode child = node->FirstChild; child; child = child->NextSibling)
            if (Has(child, nsVisible)) return child;
    }
    while (node != FRoot.get()) {
        for (PVirtualNode sibling = node->NextSibling; sibling; sibling = sibling->NextSibling)
            if (Has(sibling, nsVisible)) return sibling;
        node = node->Parent;
    }
    return nullptr;
}

PVirtualNode TBaseVirtualTree::NextVisibleNode(PVirtualNode node) {
    if (!node) return nullptr;
    Assert(node != FRoot.get(), SHiddenRoot);
    PVirtualNode result = NextVisibleNodeNoInit(node);
    if (result && !Has(result, nsInitialized)) InitNode(result);
    return result;
}

PVirtualNode TBaseVirtualTree::PreviousVisibleNodeNoInit(PVirtualNode node) const {
    if (!node) return nullptr;
    Assert(node != FRoot.get(), SHiddenRoot);
    return RememberVisible(PreviousVisibleStep(node));
}

PVirtualNode TBaseVirtualTree::PreviousVisibleStep(PVirtualNode node) const {
    if (!KnownFullyVisible(node)) {
        // A collapsed parent stands for what it hides; a hidden node's place is among its
        // siblings.
        PVirtualNode top = HiddenTop(node);
        if (top->Parent != FRoot.get() && !Has(top->Parent, nsExpanded)) return top->Parent;
        node = top;
    }
    for (PVirtualNode sibling = node->PrevSibling; sibling; sibling = sibling->PrevSibling) {
        if (!Has(sibling, nsVisible)) continue;
        PVirtualNode run = sibling;
        while (true) {
            PVirtualNode child = LastVisibleChildNoInit(run);
            if (!child) break;
            run = child;
        }
        return run;
    }
    return node->Parent == FRoot.get() ? nullptr : node->Parent;
}

PVirtualNode TBaseVirtualTree::PreviousVisibleNode(PVirtualNode node) {
    PVirtualNode result = PreviousVisibleNodeNoInit(node);
    if (result && !Has(result, nsInitialized)) InitNode(result);
    return result;
}

PVirtualNode TBaseVirtualTree::NextVisibleSiblingOf(PVirtualNode node) {
    Assert(node != nullptr && node != FRoot.get(), "Invalid parameter.");
    PVirtualNode run = node->NextSibling;
    while (run && !Has(run, nsVisible))
        run = run->NextSibling;
    if (run && !Has(run, nsInitialized)) InitNode(run);
    return run;
}

PVirtualNode TBaseVirtualTree::PreviousVisibleSiblingNoInit(PVirtualNode node) const {
    Assert(node != nullptr && node != FRoot.get(), "Invalid parameter.");
    PVirtualNode run = node->PrevSibling;
    while (run && !Has(run, nsVisible))
        run = run->PrevSibling;
    return run;
}

PVirtualNode TBaseVirtualTree::PreviousVisibleSiblingOf(PVirtualNode node) {
    PVirtualNode result = PreviousVisibleSiblingNoInit(node);
    if (result && !Has(result, nsInitialized)) InitNode(result);
    return result;
}

// The selected and cut-or-copied nodes are found by links alone (the nodes in between need
// nothing); what is returned is initialised, as by every walker that is not a NoInit one.
PVirtualNode TBaseVirtualTree::Initialized(PVirtualNode node) {
    if (node && !Has(node, nsInitialized)) InitNode(node);
    return node;
}

PVirtualNode TBaseVirtualTree::FirstSelectedNode() {
    if (SelectedCount() == 0) return nullptr;
    PVirtualNode run = FirstNodeNoInit();
    while (run && !Has(run, nsSelected))
        run = NextNodeNoInit(run);
    return Initialized(run);
}

PVirtualNode TBaseVirtualTree::NextSelectedNode(PVirtualNode node) {
    if (SelectedCount() == 0 || !node) return nullptr;
    PVirtualNode run = NextNodeNoInit(node);
    while (run && !Has(run, nsSelected))
        run = NextNodeNoInit(run);
    return Initialized(run);
}

PVirtualNode TBaseVirtualTree::FirstCutCopyNode() {
    if (!FStates.Contains(TVirtualTreeState::tsCutPending) &&
        !FStates.Contains(TVirtualTreeState::tsCopyPending))
        return nullptr;
    PVirtualNode run = FirstNodeNoInit();
    while (run && !Has(run, nsCutOrCopy))
        run = NextNodeNoInit(run);
    return Initialized(run);
}

PVirtualNode TBaseVirtualTree::NextCutCopyNode(PVirtualNode node) {
    if (!node || (!FStates.Contains(TVirtualTreeState::tsCutPending) &&
                  !FStates.Contains(TVirtualTreeState::tsCopyPending)))
        return nullptr;
    PVirtualNode run = NextNodeNoInit(node);
    while (run && !Has(run, nsCutOrCopy))
        run = NextNodeNoInit(run);
    return Initialized(run);
}

namespace {

// Nodes carrying a state in tree order; with TopLevelOnly the subtree of a found node is
// skipped. The array grows to 100 entries first, then by a tenth.
std::vector<PVirtualNode> CollectNodes(PVirtualNode first, PVirtualNode root,
                                       TVirtualNodeState state, bool topLevelOnly) {
    std::vector<PVirtualNode> result;
    PVirtualNode run = first;
    while (run) {
        if (Has(run, state)) {
            if (result.size() == result.capacity())
                result.reserve(result.empty() ? 100 : result.size() + result.size() / 10);
            result.push_back(run);
            if (topLevelOnly) {
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

std::vector<PVirtualNode> TBaseVirtualTree::SortedSelection(bool topLevelOnly) {
    if (SelectedCount() == 0) return {};
    return CollectNodes(FRoot->FirstChild, FRoot.get(), nsSelected, topLevelOnly);
}

std::vector<PVirtualNode> TBaseVirtualTree::SortedCutCopySet(bool topLevelOnly) {
    return CollectNodes(FRoot->FirstChild, FRoot.get(), nsCutOrCopy, topLevelOnly);
}

void TBaseVirtualTree::IterateSubtree(PVirtualNode node,
                                      const std::function<void(PVirtualNode, bool&)>& proc) {
    if (!node) node = FRoot.get();
    bool wasIterating = FStates.Contains(TVirtualTreeState::tsIterating);
    if (!wasIterating) DoStateChange({TVirtualTreeState::tsIterating});
    auto leave = Finally([&] {
        if (!wasIterating) DoStateChange({}, {TVirtualTreeState::tsIterating});
    });
    bool abort = false;
    PVirtualNode run = node == FRoot.get() ? FirstNode() : node;
    PVirtualNode stop = nullptr;
    if (node != FRoot.get()) {
        PVirtualNode up = node;
        while (up != FRoot.get() && !up->NextSibling)
            up = up->Parent;
        stop = up == FRoot.get() ? nullptr : up->NextSibling;
    }
    while (run && run != stop && !abort) {
        proc(run, abort);
        run = NextNodeInTree(run);
    }
}

// ---- Positions
// ----------------------------------------------------------------------------------------

PVirtualNode TBaseVirtualTree::NodeAtPoint(int x, int y) {
    int top = 0;
    return NodeAtPointEx(x, y, true, top);
}

PVirtualNode TBaseVirtualTree::NodeAtPointEx(int /*x*/, int y, bool relative, int& nodeTop) {
    FlushTotals();
    if (relative) y -= FOffsetY;
    if (y < 0) y = 0;
    int64_t top = 0;
    PVirtualNode run = FirstVisibleNodeNoInit();
    PVirtualNode result = nullptr;
    // Whole subtrees above Y are skipped by their total heights.
    while (run) {
        if (!Has(run, nsVisible)) {
            run = run->NextSibling;
            continue;
        }
        if (top + run->TotalHeight <= y) {
            top += run->TotalHeight;
            run = run->NextSibling;
            continue;
        }
        if (y < top + run->NodeHeight) {
            result = run;
            break;
        }
        top += run->NodeHeight;
        run = Has(run, nsExpanded) ? run->FirstChild : nullptr;
    }
    nodeTop = int(top) + (relative ? FOffsetY : 0);
    return result;
}

int TBaseVirtualTree::NodeTop(PVirtualNode node) {
    if (node && node != FRoot.get() && IsNodeFullyVisible(node)) {
        // The rows above a fully visible node: every visible earlier sibling with its shown
        // subtree (its total height), and every ancestor's own row, level by level.
        FlushTotals();
        int64_t top = 0;
        for (PVirtualNode run = node; run != FRoot.get(); run = run->Parent) {
            for (PVirtualNode sibling = run->PrevSibling; sibling; sibling = sibling->PrevSibling)
                if (Has(sibling, nsVisible)) top += sibling->TotalHeight;
            if (run->Parent != FRoot.get()) top += run->Parent->NodeHeight;
        }
        return int(top);
    }
    int64_t top = 0;
    for (PVirtualNode run = FirstVisibleNodeNoInit(); run && run != node;
         run = NextVisibleNodeNoInit(run))
        top += run->NodeHeight;
    return int(top);
}

} // namespace epc
