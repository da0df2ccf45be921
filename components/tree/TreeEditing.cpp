// In-place editing of node texts: the tree starts, places, ends and cancels the editor that its
// edit link drives.

#include "components/tree/BaseVirtualTree.h"
#include "platform/controls/Forms.h"

namespace epc {

using namespace tree_options;
using S = TVirtualTreeState;

bool TBaseVirtualTree::EditNode(PVirtualNode node, TColumnIndex column) {
    Assert(node != nullptr, "Node must not be nil.");
    Assert(column >= NoColumn && column < TColumnIndex(FHeader->Columns()->Count()),
           "Column must be a valid column index (-1 if no header is shown).");
    if (IsEditing()) return true;
    if (IsReadOnly()) return false;
    SetFocusedNode(node);
    if (FFocusedNode != node || !DoCanEdit(node, column)) return false;
    // The edited cell is the focused one.
    SetFocusedColumn(column);
    if (FFocusedColumn != column) return false;
    FEditColumn = column;
    if (!node->States.Contains(nsInitialized)) InitNode(node);
    DoEdit();
    return IsEditing();
}

bool TBaseVirtualTree::EndEditNode() {
    return !IsEditing() || DoEndEdit();
}

bool TBaseVirtualTree::CancelEditNode() {
    return DoCancelEdit();
}

void TBaseVirtualTree::DoEdit() {
    if (Application) Application->CancelHint();
    StopTimer(EditTimer);
    StopTimer(ScrollTimer);
    DoStateChange({}, {S::tsEditPending});
    if (!FFocusedNode || FFocusedNode->States.Contains(nsDisabled) || IsReadOnly()) return;
    FEndedEditLink.reset();
    std::unique_ptr<IVTEditLink> link = DoCreateEditor(FFocusedNode, FEditColumn);
    if (!link->PrepareEdit(this, FFocusedNode, FEditColumn)) return;
    FEditLink = std::move(link);
    FEditNode = FFocusedNode;
    UpdateEditBounds();
    DoStateChange({S::tsEditing});
    if (!FEditLink->BeginEdit()) {
        DoStateChange({}, {S::tsEditing});
        FEndedEditLink = std::move(FEditLink);
    }
}

bool TBaseVirtualTree::DoEndEdit() {
    StopTimer(EditTimer);
    if (!IsEditing() || !FEditLink) return true;
    if (!FEditLink->EndEdit()) return false;
    DoStateChange({}, {S::tsEditing});
    FEditNode = nullptr;
    // The link may still be on the call stack (its editor's key handler ends the edit): it is
    // released by a message once the stack has unwound.
    FEndedEditLink = std::move(FEditLink);
    if (HandleAllocated()) PostMessage(Handle(), ReleaseEditLinkMessage, 0, 0);
    DoEdited(FFocusedNode, FEditColumn);
    return true;
}

bool TBaseVirtualTree::DoCancelEdit() {
    StopTimer(EditTimer);
    DoStateChange({}, {S::tsEditPending});
    if (!IsEditing() || !FEditLink) return true;
    if (!FEditLink->CancelEdit()) return false;
    DoStateChange({}, {S::tsEditing});
    FEditNode = nullptr;
    FEndedEditLink = std::move(FEditLink);
    DoEditCancelled(FEditColumn);
    if (HandleAllocated() && !ComponentState().Contains(TComponentStateItem::csDestroying))
        PostMessage(Handle(), ReleaseEditLinkMessage, 0, 0);
    return true;
}

void TBaseVirtualTree::CancelEditOf(PVirtualNode node, bool itself) {
    if (!IsEditing() || !FEditNode) return;
    if (!(itself && FEditNode == node) && !HasAsAncestor(FEditNode, node)) return;
    // Ended without handing over its text: the node is about to go.
    if (DoCancelEdit()) return;
    // A link that refuses is put aside all the same: the tree edits no node that is gone.
    DoStateChange({}, {S::tsEditing});
    FEditNode = nullptr;
    FEndedEditLink = std::move(FEditLink);
}

std::unique_ptr<IVTEditLink> TBaseVirtualTree::DoCreateEditor(PVirtualNode node,
                                                              TColumnIndex column) {
    std::unique_ptr<IVTEditLink> link;
    if (OnCreateEditor) OnCreateEditor(this, node, column, link);
    if (!link) throw EVirtualTreeError("Edit link must not be nil.", hcTFEditLinkIsNil);
    return link;
}

void TBaseVirtualTree::DoEdited(PVirtualNode node, TColumnIndex column) {
    if (OnEdited) OnEdited(this, node, column);
}

void TBaseVirtualTree::DoEditCancelled(TColumnIndex column) {
    if (OnEditCancelled) OnEditCancelled(this, column);
}

void TBaseVirtualTree::UpdateEditBounds() {
    if (!FEditLink || !FFocusedNode) return;
    const bool multiline = FFocusedNode->States.Contains(nsMultiline);
    TRect r = DisplayRect(FFocusedNode, FEditColumn, !multiline, !multiline);
    if (FOptions->MiscOptions().Contains(toGridExtensions) && FHeader->UseColumns() &&
        FHeader->Columns()->IsValidColumn(FEditColumn)) {
        int left = 0, right = 0;
        FHeader->Columns()->GetColumnBounds(FEditColumn, left, right);
        r.Left = left + FOffsetX;
        r.Right = right + FOffsetX;
    }
    FEditLink->SetBounds(r);
}

} // namespace epc
