// The tree's event dispatchers, each with its default answer, and the small class hooks.

#include "components/tree/BaseVirtualTree.h"
#include "platform/windows/DataTransfer.h"

namespace epc {

using namespace tree_options;

void TBaseVirtualTree::DoFocusNode(PVirtualNode Node, bool Ask) {
    if (FStates.Contains(TVirtualTreeState::tsEditing) && !DoEndEdit()) return;
    if (Node == FRoot) Node = nullptr;
    const auto autoOptions = FOptions->AutoOptions();
    if (Node != FFocusedNode) {
        if (Ask && !DoFocusChanging(FFocusedNode, Node, FFocusedColumn, FFocusedColumn)) return;
        PVirtualNode old = FFocusedNode;
        if (autoOptions.Contains(toAutoExpand) && old && Node && old->Parent == Node->Parent &&
            old->States.Contains(nsExpanded))
            ToggleNode(old);
        InvalidateNode(old);
        FFocusedNode = Node;
    }
    if (FFocusedNode) {
        if (autoOptions.Contains(toAutoExpand) && !FFocusedNode->States.Contains(nsExpanded) &&
            FFocusedNode->States.Contains(nsHasChildren))
            ToggleNode(FFocusedNode);
        InvalidateNode(FFocusedNode);
        if (!IsUpdating()) {
            const bool buttonDown = FStates.ContainsAny({TVirtualTreeState::tsLeftButtonDown,
                                                         TVirtualTreeState::tsMiddleButtonDown,
                                                         TVirtualTreeState::tsRightButtonDown});
            ScrollIntoView(FFocusedNode,
                           FOptions->SelectionOptions().Contains(toCenterScrollIntoView) &&
                               !buttonDown,
                           !autoOptions.Contains(toDisableAutoscrollOnFocus));
        }
    }
    if (SelectedCount() == 0) ResetRangeAnchor();
}

void TBaseVirtualTree::DoFreeNode(PVirtualNode Node) {
    if (Node->States.Contains(nsInitialized) || Node->States.Contains(nsOwnsInitialData)) {
        if (OnFreeNode) OnFreeNode(this, Node);
    }
    if (Node == FLastChangedNode) FLastChangedNode = nullptr;
    FreeNodeRecord(Node);
}

THintAnimationType TBaseVirtualTree::GetHintAnimationType() {
    if (FHintAnimation != THintAnimationType::hatSystemDefault) return FHintAnimation;
    // The system's tooltip animation is off here.
    return THintAnimationType::hatNone;
}

void TBaseVirtualTree::DoGetCursor(TCursor& Cursor) {
    if (OnGetCursor) OnGetCursor(this, Cursor);
}

bool TBaseVirtualTree::DoKeyAction(Word& CharCode, TShiftState& Shift) {
    bool doDefault = true;
    if (OnKeyAction) OnKeyAction(this, CharCode, Shift, doDefault);
    return doDefault;
}

TPopupMenu* TBaseVirtualTree::DoGetPopupMenu(PVirtualNode Node, TColumnIndex Column,
                                             TPoint Position) {
    TPopupMenu* menu = nullptr;
    if (!OnGetPopupMenu) return nullptr;
    if (!Node || Node == FRoot) {
        bool askParent = true;
        OnGetPopupMenu(this, nullptr, NoColumn, Position, askParent, menu);
        return menu;
    }
    // Ask for the node, then for its parents while the handler wants that and gives no menu.
    for (PVirtualNode run = Node; run && run != FRoot; run = run->Parent) {
        bool askParent = true;
        OnGetPopupMenu(this, run, Column, Position, askParent, menu);
        if (menu || !askParent) break;
    }
    return menu;
}

bool TBaseVirtualTree::HasPopupMenu(PVirtualNode Node, TColumnIndex Column, TPoint Pos) {
    return PopupMenu() != nullptr || DoGetPopupMenu(Node, Column, Pos) != nullptr;
}

bool TBaseVirtualTree::DoPaintBackground(TCanvas* Canvas, const TRect& R) {
    bool handled = false;
    if (OnPaintBackground) OnPaintBackground(this, Canvas, R, handled);
    return handled;
}

int TBaseVirtualTree::DoGetImageIndex(PVirtualNode Node, TVTImageKind Kind, TColumnIndex Column,
                                      bool& Ghosted, int& Index) {
    if (OnGetImageIndex) OnGetImageIndex(this, Node, Kind, Column, Ghosted, Index);
    return Index;
}

void TBaseVirtualTree::DoGetLineStyle(std::array<uint8_t, 8>& Bits) {
    if (OnGetLineStyle) OnGetLineStyle(this, Bits);
}

std::string TBaseVirtualTree::DoGetNodeHint(PVirtualNode, TColumnIndex) {
    return Hint();
}
std::string TBaseVirtualTree::DoGetNodeTooltip(PVirtualNode, TColumnIndex) {
    return Hint();
}
int TBaseVirtualTree::DoGetNodeWidth(PVirtualNode, TColumnIndex) {
    return 0;
}

void TBaseVirtualTree::DoHotChange(PVirtualNode Old, PVirtualNode New) {
    if (OnHotChange) OnHotChange(this, Old, New);
}

int TBaseVirtualTree::DoIncrementalSearch(PVirtualNode Node, const std::u16string& Text) {
    int result = 0;
    if (OnIncrementalSearch) OnIncrementalSearch(this, Node, Text, result);
    return result;
}

void TBaseVirtualTree::DoInitChildren(PVirtualNode Node, Cardinal& ChildCount) {
    if (OnInitChildren) OnInitChildren(this, Node, ChildCount);
}

void TBaseVirtualTree::DoInitNode(PVirtualNode Parent, PVirtualNode Node,
                                  TVirtualNodeInitStates& InitStates) {
    if (OnInitNode) OnInitNode(this, Parent, Node, InitStates);
}

void TBaseVirtualTree::DoLoadUserData(PVirtualNode Node, TStream& Stream) {
    if (OnLoadNode) OnLoadNode(this, Node == FRoot ? nullptr : Node, Stream);
}

void TBaseVirtualTree::DoSaveUserData(PVirtualNode Node, TStream& Stream) {
    if (OnSaveNode) OnSaveNode(this, Node == FRoot ? nullptr : Node, Stream);
}

void TBaseVirtualTree::DoNodeCopied(PVirtualNode Node) {
    if (OnNodeCopied) OnNodeCopied(this, Node);
}

bool TBaseVirtualTree::DoNodeCopying(PVirtualNode Node, PVirtualNode NewParent) {
    bool allowed = true;
    if (OnNodeCopying) OnNodeCopying(this, Node, NewParent, allowed);
    return allowed;
}

void TBaseVirtualTree::DoNodeMoved(PVirtualNode Node) {
    if (OnNodeMoved) OnNodeMoved(this, Node);
}

bool TBaseVirtualTree::DoNodeMoving(PVirtualNode Node, PVirtualNode NewParent) {
    bool allowed = true;
    if (OnNodeMoving) OnNodeMoving(this, Node, NewParent, allowed);
    return allowed;
}

void TBaseVirtualTree::DoReset(PVirtualNode Node) {
    if (OnResetNode) OnResetNode(this, Node);
}

void TBaseVirtualTree::DoScroll(int DeltaX, int DeltaY) {
    if (OnScroll) OnScroll(this, DeltaX, DeltaY);
}

void TBaseVirtualTree::DoStateChange(TVirtualTreeStates Enter, TVirtualTreeStates Leave) {
    TVirtualTreeStates newStates = (FStates | Enter) - Leave;
    if (newStates == FStates) return;
    TVirtualTreeStates actualEnter = newStates - FStates;
    TVirtualTreeStates actualLeave = FStates - newStates;
    FStates = newStates;
    // A tree being destroyed tells only about its nodes going away.
    if (OnStateChange && !Destroying()) OnStateChange(this, actualEnter, actualLeave);
}

void TBaseVirtualTree::DoStructureChange(PVirtualNode Node, TChangeReason Reason) {
    StopTimer(StructureChangeTimer);
    DoStateChange({}, {TVirtualTreeState::tsStructureChangePending});
    if (OnStructureChange && !Destroying()) OnStructureChange(this, Node, Reason);
    FLastStructureChangeNode = nullptr;
    FLastStructureChangeReason = TChangeReason::crIgnore;
}

void TBaseVirtualTree::DoUpdating(TVTUpdateState State) {
    if (OnUpdating) OnUpdating(this, State);
}

int TBaseVirtualTree::DoGetNodeDataSize() {
    int size = 0;
    if (OnGetNodeDataSize) OnGetNodeDataSize(this, size);
    return size;
}

void TBaseVirtualTree::DoChange(PVirtualNode Node) {
    StopTimer(ChangeTimer);
    if (OnChange && !Destroying()) OnChange(this, Node);
    DoStateChange({}, {TVirtualTreeState::tsChangePending});
    FLastChangedNode = nullptr;
}

void TBaseVirtualTree::DoChecked(PVirtualNode Node) {
    if (OnChecked) OnChecked(this, Node);
}

bool TBaseVirtualTree::DoChecking(PVirtualNode Node, TCheckState& NewCheckState) {
    // A read-only tree refuses every change.
    if (IsReadOnly()) return false;
    bool allowed = true;
    if (OnChecking) OnChecking(this, Node, NewCheckState, allowed);
    return allowed;
}

void TBaseVirtualTree::DoCollapsed(PVirtualNode Node) {
    if (OnCollapsed) OnCollapsed(this, Node);
}

bool TBaseVirtualTree::DoCollapsing(PVirtualNode Node) {
    bool allowed = true;
    if (OnCollapsing) OnCollapsing(this, Node, allowed);
    return allowed;
}

void TBaseVirtualTree::DoExpanded(PVirtualNode Node) {
    if (OnExpanded) OnExpanded(this, Node);
}

bool TBaseVirtualTree::DoExpanding(PVirtualNode Node) {
    bool allowed = true;
    if (OnExpanding) OnExpanding(this, Node, allowed);
    return allowed;
}

int TBaseVirtualTree::DoCompare(PVirtualNode Node1, PVirtualNode Node2, TColumnIndex Column) {
    int result = 0;
    if (OnCompareNodes) OnCompareNodes(this, Node1, Node2, Column, result);
    return result;
}

void TBaseVirtualTree::DoFocusChange(PVirtualNode Node, TColumnIndex Column) {
    if (OnFocusChanged && !Destroying()) OnFocusChanged(this, Node, Column);
}

bool TBaseVirtualTree::DoFocusChanging(PVirtualNode OldNode, PVirtualNode NewNode,
                                       TColumnIndex OldColumn, TColumnIndex NewColumn) {
    bool allowed = true;
    if (OnFocusChanging && !Destroying())
        OnFocusChanging(this, OldNode, NewNode, OldColumn, NewColumn, allowed);
    return allowed;
}

bool TBaseVirtualTree::DoCanEdit(PVirtualNode Node, TColumnIndex Column) {
    bool allowed = FOptions->MiscOptions().Contains(toEditable) && !IsReadOnly();
    if (OnEditing) OnEditing(this, Node, Column, allowed);
    return allowed;
}

int TBaseVirtualTree::GetCheckImage(PVirtualNode Node) {
    // Image index by check type and state, in the forms normal, hot, pressed and disabled.
    static const int Radio[2][4] = {{1, 2, 3, 4}, {5, 6, 7, 8}};
    static const int Box[3][4] = {{9, 10, 11, 12}, {13, 14, 15, 16}, {17, 18, 19, 20}};
    static const int Button[4] = {21, 22, 23, 21};
    if (!Node || Node == FRoot || Node->CheckType == ctNone) return -1;
    const TCheckState state = Node->CheckState;
    int form = 0;
    if (Node->States.Contains(nsDisabled))
        form = 3;
    else if (state & 1)
        form = 2;
    else if (Node == FCurrentHotNode)
        form = 1;
    const int kind = NormalCheckState(state) / 2; // 0 unchecked, 1 checked, 2 mixed
    switch (Node->CheckType) {
    case ctRadioButton:
        return Radio[kind == 1 ? 1 : 0][form];
    case ctCheckBox:
    case ctTriStateCheckBox:
        return Box[kind][form];
    case ctButton:
        return Button[form];
    default:
        return -1;
    }
}

void TBaseVirtualTree::GetTextInfo(PVirtualNode Node, TColumnIndex Column, TFont* AFont, TRect& R,
                                   std::u16string& Text) {
    (void)Node;
    (void)Column;
    (void)Text;
    if (AFont) AFont->Assign(Font());
    R = TRect();
}

uint32_t TBaseVirtualTree::SuggestDropEffect(const TObject* Source, bool Shift, bool Ctrl,
                                             TPoint Pt, uint32_t AllowedEffects) {
    (void)Pt;
    uint32_t result = DROPEFFECT_NONE;
    if (Source != this) {
        if (AllowedEffects & DROPEFFECT_COPY) result = DROPEFFECT_COPY;
    } else if (AllowedEffects & DROPEFFECT_MOVE) {
        result = DROPEFFECT_MOVE;
    }
    if (Shift && !Ctrl && (AllowedEffects & DROPEFFECT_MOVE)) result = DROPEFFECT_MOVE;
    if (Ctrl && !Shift && (AllowedEffects & DROPEFFECT_COPY)) result = DROPEFFECT_COPY;
    if (Ctrl && Shift && (AllowedEffects & DROPEFFECT_LINK)) result = DROPEFFECT_LINK;
    return result;
}

} // namespace epc
