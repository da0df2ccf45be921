// The tree's event dispatchers, each with its default answer, and the small class hooks.

#include "components/tree/BaseVirtualTree.h"
#include "platform/controls/ActnList.h"
#include "platform/controls/Menus.h"
#include "platform/core/Strings.h"
#include "platform/windows/DataTransfer.h"
#include "platform/windows/Window.h"

namespace epc {

using namespace tree_options;

void TBaseVirtualTree::DoFocusNode(PVirtualNode node, bool ask) {
    if (FStates.Contains(TVirtualTreeState::tsEditing) && !DoEndEdit()) return;
    if (node == FRoot.get()) node = nullptr;
    const auto autoOptions = FOptions->AutoOptions();
    if (node != FFocusedNode) {
        if (ask && !DoFocusChanging(FFocusedNode, node, FFocusedColumn, FFocusedColumn)) return;
        PVirtualNode old = FFocusedNode;
        if (autoOptions.Contains(toAutoExpand) && old && node && old->Parent == node->Parent &&
            old->States.Contains(nsExpanded))
            ToggleNode(old);
        InvalidateNode(old);
        FFocusedNode = node;
    }
    if (FFocusedNode) {
        if (FFocusedColumn < 0 && FHeader->UseColumns()) FFocusedColumn = 0;
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

void TBaseVirtualTree::DoFreeNode(PVirtualNode node) {
    if (node->States.Contains(nsInitialized) || node->States.Contains(nsOwnsInitialData)) {
        if (OnFreeNode) OnFreeNode(this, node);
    }
    if (node == FLastChangedNode) FLastChangedNode = nullptr;
    FreeNodeRecord(node);
}

THintAnimationType TBaseVirtualTree::GetHintAnimationType() {
    if (FHintAnimation != THintAnimationType::hatSystemDefault) return FHintAnimation;
    // The system's tooltip settings decide (a setting the system does not give counts as off).
    constexpr uint32_t GetTooltipAnimation = 4118, GetTooltipFade = 4120;
    BOOL animated = 0;
    if (!SystemParametersInfoA(GetTooltipAnimation, 0, &animated, 0) || !animated)
        return THintAnimationType::hatNone;
    BOOL fade = 0;
    SystemParametersInfoA(GetTooltipFade, 0, &fade, 0);
    // Blending is always at hand, so a fade stays a fade.
    return fade ? THintAnimationType::hatFade : THintAnimationType::hatSlide;
}

void TBaseVirtualTree::DoGetCursor(TCursor& cursor) {
    if (OnGetCursor) OnGetCursor(this, cursor);
}

bool TBaseVirtualTree::DoKeyAction(Word& charCode, TShiftState& shift) {
    bool doDefault = true;
    if (OnKeyAction) OnKeyAction(this, charCode, shift, doDefault);
    return doDefault;
}

TPopupMenu* TBaseVirtualTree::DoGetPopupMenu(PVirtualNode node, TColumnIndex column,
                                             TPoint position) {
    TPopupMenu* menu = nullptr;
    if (!OnGetPopupMenu) return nullptr;
    if (!node || node == FRoot.get()) {
        bool askParent = true;
        OnGetPopupMenu(this, nullptr, NoColumn, position, askParent, menu);
        return menu;
    }
    // Ask for the node, then for its parents while the handler wants that and gives no menu.
    for (PVirtualNode run = node; run && run != FRoot.get(); run = run->Parent) {
        bool askParent = true;
        OnGetPopupMenu(this, run, column, position, askParent, menu);
        if (menu || !askParent) break;
    }
    return menu;
}

void TBaseVirtualTree::DoPopupMenu(PVirtualNode node, TColumnIndex column, TPoint position) {
    TPopupMenu* menu = DoGetPopupMenu(node, column, position);
    if (!menu) return;
    DoStateChange({}, {TVirtualTreeState::tsRightButtonDown});
    const TPoint screen = ClientToScreen(position);
    menu->SetPopupComponent(this);
    menu->Popup(screen.X, screen.Y);
}

bool TBaseVirtualTree::HasPopupMenu(PVirtualNode node, TColumnIndex column, TPoint pos) {
    return PopupMenu() != nullptr || DoGetPopupMenu(node, column, pos) != nullptr;
}

bool TBaseVirtualTree::DoPaintBackground(TCanvas* canvas, const TRect& r) {
    bool handled = false;
    if (OnPaintBackground) OnPaintBackground(this, canvas, r, handled);
    return handled;
}

int TBaseVirtualTree::DoGetImageIndex(PVirtualNode node, TVTImageKind kind, TColumnIndex column,
                                      bool& ghosted, int& index) {
    if (OnGetImageIndex) OnGetImageIndex(this, node, kind, column, ghosted, index);
    return index;
}

void TBaseVirtualTree::DoGetLineStyle(std::array<uint8_t, 8>& bits) {
    if (OnGetLineStyle) OnGetLineStyle(this, bits);
}

std::u16string TBaseVirtualTree::DoGetNodeHint(PVirtualNode, TColumnIndex) {
    return AnsiToWide(Hint());
}
std::u16string TBaseVirtualTree::DoGetNodeTooltip(PVirtualNode, TColumnIndex) {
    return AnsiToWide(Hint());
}
int TBaseVirtualTree::DoGetNodeWidth(PVirtualNode, TColumnIndex) {
    return 0;
}

void TBaseVirtualTree::DoHotChange(PVirtualNode old, PVirtualNode newNode) {
    if (OnHotChange) OnHotChange(this, old, newNode);
}

int TBaseVirtualTree::DoIncrementalSearch(PVirtualNode node, const std::u16string& text) {
    int result = 0;
    if (OnIncrementalSearch) OnIncrementalSearch(this, node, text, result);
    return result;
}

void TBaseVirtualTree::DoInitChildren(PVirtualNode node, Cardinal& childCount) {
    if (OnInitChildren) OnInitChildren(this, node, childCount);
}

void TBaseVirtualTree::DoInitNode(PVirtualNode parent, PVirtualNode node,
                                  TVirtualNodeInitStates& initStates) {
    if (OnInitNode) OnInitNode(this, parent, node, initStates);
}

void TBaseVirtualTree::DoLoadUserData(PVirtualNode node, TStream& stream) {
    if (OnLoadNode) OnLoadNode(this, node == FRoot.get() ? nullptr : node, stream);
}

void TBaseVirtualTree::DoSaveUserData(PVirtualNode node, TStream& stream) {
    if (OnSaveNode) OnSaveNode(this, node == FRoot.get() ? nullptr : node, stream);
}

void TBaseVirtualTree::DoNodeCopied(PVirtualNode node) {
    if (OnNodeCopied) OnNodeCopied(this, node);
}

bool TBaseVirtualTree::DoNodeCopying(PVirtualNode node, PVirtualNode newParent) {
    bool allowed = true;
    if (OnNodeCopying) OnNodeCopying(this, node, newParent, allowed);
    return allowed;
}

void TBaseVirtualTree::DoNodeMoved(PVirtualNode node) {
    if (OnNodeMoved) OnNodeMoved(this, node);
}

bool TBaseVirtualTree::DoNodeMoving(PVirtualNode node, PVirtualNode newParent) {
    bool allowed = true;
    if (OnNodeMoving) OnNodeMoving(this, node, newParent, allowed);
    return allowed;
}

void TBaseVirtualTree::DoReset(PVirtualNode node) {
    if (OnResetNode) OnResetNode(this, node);
}

void TBaseVirtualTree::DoScroll(int deltaX, int deltaY) {
    if (OnScroll) OnScroll(this, deltaX, deltaY);
}

void TBaseVirtualTree::DoStateChange(TVirtualTreeStates enter, TVirtualTreeStates leave) {
    TVirtualTreeStates newStates = (FStates | enter) - leave;
    if (newStates == FStates) return;
    TVirtualTreeStates actualEnter = newStates - FStates;
    TVirtualTreeStates actualLeave = FStates - newStates;
    FStates = newStates;
    // A tree being destroyed tells only about its nodes going away.
    if (OnStateChange && !Destroying()) OnStateChange(this, actualEnter, actualLeave);
}

void TBaseVirtualTree::DoStructureChange(PVirtualNode node, TChangeReason reason) {
    StopTimer(StructureChangeTimer);
    DoStateChange({}, {TVirtualTreeState::tsStructureChangePending});
    if (OnStructureChange && !Destroying()) OnStructureChange(this, node, reason);
    FLastStructureChangeNode = nullptr;
    FLastStructureChangeReason = TChangeReason::crIgnore;
}

void TBaseVirtualTree::DoUpdating(TVTUpdateState state) {
    if (OnUpdating) OnUpdating(this, state);
}

int TBaseVirtualTree::DoGetNodeDataSize() {
    int size = 0;
    if (OnGetNodeDataSize) OnGetNodeDataSize(this, size);
    return size;
}

void TBaseVirtualTree::DoChange(PVirtualNode node) {
    StopTimer(ChangeTimer);
    if (OnChange && !Destroying()) OnChange(this, node);
    DoStateChange({}, {TVirtualTreeState::tsChangePending});
    FLastChangedNode = nullptr;
}

void TBaseVirtualTree::DoChecked(PVirtualNode node) {
    if (OnChecked) OnChecked(this, node);
}

bool TBaseVirtualTree::DoChecking(PVirtualNode node, TCheckState& newCheckState) {
    // A read-only tree refuses every change.
    if (IsReadOnly()) return false;
    bool allowed = true;
    if (OnChecking) OnChecking(this, node, newCheckState, allowed);
    return allowed;
}

void TBaseVirtualTree::DoCollapsed(PVirtualNode node) {
    if (OnCollapsed) OnCollapsed(this, node);
}

bool TBaseVirtualTree::DoCollapsing(PVirtualNode node) {
    bool allowed = true;
    if (OnCollapsing) OnCollapsing(this, node, allowed);
    return allowed;
}

void TBaseVirtualTree::DoExpanded(PVirtualNode node) {
    if (OnExpanded) OnExpanded(this, node);
}

bool TBaseVirtualTree::DoExpanding(PVirtualNode node) {
    bool allowed = true;
    if (OnExpanding) OnExpanding(this, node, allowed);
    return allowed;
}

int TBaseVirtualTree::DoCompare(PVirtualNode node1, PVirtualNode node2, TColumnIndex column) {
    int result = 0;
    if (OnCompareNodes) OnCompareNodes(this, node1, node2, column, result);
    return result;
}

void TBaseVirtualTree::DoFocusChange(PVirtualNode node, TColumnIndex column) {
    if (OnFocusChanged && !Destroying()) OnFocusChanged(this, node, column);
}

bool TBaseVirtualTree::DoFocusChanging(PVirtualNode oldNode, PVirtualNode newNode,
                                       TColumnIndex oldColumn, TColumnIndex newColumn) {
    bool allowed = true;
    if (OnFocusChanging && !Destroying())
        OnFocusChanging(this, oldNode, newNode, oldColumn, newColumn, allowed);
    return allowed;
}

bool TBaseVirtualTree::DoCanEdit(PVirtualNode node, TColumnIndex column) {
    // A disabled tree edits nothing, not even on the program's request.
    bool allowed = FOptions->MiscOptions().Contains(toEditable) && Enabled() && !IsReadOnly();
    if (OnEditing) OnEditing(this, node, column, allowed);
    return allowed;
}

int TBaseVirtualTree::GetCheckImage(PVirtualNode node) {
    // Image index by check type and state, in the forms normal, hot, pressed and disabled.
    static const int radio[2][4] = {{1, 2, 3, 4}, {5, 6, 7, 8}};
    static const int box[3][4] = {{9, 10, 11, 12}, {13, 14, 15, 16}, {17, 18, 19, 20}};
    static const int button[4] = {21, 22, 23, 21};
    if (!node || node == FRoot.get() || node->CheckType == ctNone) return -1;
    const TCheckState state = node->CheckState;
    int form = 0;
    if (node->States.Contains(nsDisabled))
        form = 3;
    else if (state & 1)
        form = 2;
    else if (node == FCurrentHotNode)
        form = 1;
    const int kind = NormalCheckState(state) / 2; // 0 unchecked, 1 checked, 2 mixed
    switch (node->CheckType) {
    case ctRadioButton:
        return radio[kind == 1 ? 1 : 0][form];
    case ctCheckBox:
    case ctTriStateCheckBox:
        return box[kind][form];
    case ctButton:
        return button[form];
    default:
        return -1;
    }
}

void TBaseVirtualTree::GetTextInfo(PVirtualNode, TColumnIndex, TFont* font, TRect& r,
                                   std::u16string&) {
    if (font) font->Assign(Font());
    r = TRect();
}

uint32_t TBaseVirtualTree::SuggestDropEffect(const TObject* source, bool shift, bool ctrl, TPoint,
                                             uint32_t allowedEffects) {
    uint32_t result = DROPEFFECT_NONE;
    if (source != this) {
        if (allowedEffects & DROPEFFECT_COPY) result = DROPEFFECT_COPY;
    } else if (allowedEffects & DROPEFFECT_MOVE) {
        result = DROPEFFECT_MOVE;
    }
    if (shift && !ctrl && (allowedEffects & DROPEFFECT_MOVE)) result = DROPEFFECT_MOVE;
    if (ctrl && !shift && (allowedEffects & DROPEFFECT_COPY)) result = DROPEFFECT_COPY;
    if (ctrl && shift && (allowedEffects & DROPEFFECT_LINK)) result = DROPEFFECT_LINK;
    return result;
}

void TBaseVirtualTree::DoHeaderDrawParts(const THeaderPaintInfo& info) {
    if (OnHeaderDrawParts) OnHeaderDrawParts(FHeader.get(), info);
}

int32_t TBaseVirtualTree::DoRenderOLEData(const FORMATETC& format, STGMEDIUM& medium,
                                          bool forClipboard) {
    int32_t result = E_FAIL;
    if (OnRenderOLEData) OnRenderOLEData(this, format, medium, forClipboard, result);
    return result;
}

TRect TBaseVirtualTree::UpdateHeaderRect() {
    TRect r(0, 0, Width(), Height());
    if (HandleAllocated()) {
        const intptr_t style = GetWindowLong(Handle(), GWL_STYLE);
        const intptr_t exStyle = GetWindowLong(Handle(), GWL_EXSTYLE);
        if (style & WS_BORDER) InflateRect(r, -1, -1);
        if (style & WS_THICKFRAME) InflateRect(r, -3, -3);
        if (exStyle & WS_EX_CLIENTEDGE) InflateRect(r, -2, -2);
    }
    r.Bottom = r.Top + (FHeader->IsVisible() ? FHeader->Height() : 0);
    FHeaderRect = r;
    return r;
}

bool TBaseVirtualTree::ExecuteAction(TBasicAction* action) {
    if (dynamic_cast<TEditCut*>(action))
        CutToClipboard();
    else if (dynamic_cast<TEditCopy*>(action))
        CopyToClipboard();
    else if (dynamic_cast<TEditPaste*>(action))
        PasteFromClipboard();
    else if (dynamic_cast<TEditDelete*>(action))
        RemoveSelectedNodes();
    else if (dynamic_cast<TEditSelectAll*>(action))
        SelectAll(false);
    else
        return false;
    return true;
}

bool TBaseVirtualTree::UpdateAction(TBasicAction* action) {
    auto* edit = dynamic_cast<TEditAction*>(action);
    if (!edit) return false;
    const bool selected = SelectedCount() > 0;
    const bool writable = !IsReadOnly();
    if (dynamic_cast<TEditCut*>(action) || dynamic_cast<TEditDelete*>(action))
        edit->SetEnabled(selected && writable);
    else if (dynamic_cast<TEditCopy*>(action))
        edit->SetEnabled(selected);
    else if (dynamic_cast<TEditPaste*>(action))
        edit->SetEnabled(writable);
    else if (dynamic_cast<TEditSelectAll*>(action))
        edit->SetEnabled(FOptions->SelectionOptions().Contains(toMultiSelect) &&
                         SelectedCount() < TotalCount());
    else
        return false;
    return true;
}

} // namespace epc
