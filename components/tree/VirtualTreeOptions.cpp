#include "components/tree/VirtualTreeOptions.h"

#include "components/tree/BaseVirtualTree.h"
#include "components/tree/TreeUnit.h"

namespace epc {

const std::array<const char*, 32> OldVTOptionNames = {
    "voAcceptOLEDrop",
    "voAnimatedToggle",
    "voAutoDropExpand",
    "voAutoExpand",
    "voAutoScroll",
    "voAutoSort",
    "voAutoSpanColumns",
    "voAutoTristateTracking",
    "voCheckSupport",
    "voDisableDrawSelection",
    "voEditable",
    "voExtendedFocus",
    "voFullRowSelect",
    "voGridExtensions",
    "voHideFocusRect",
    "voHideSelection",
    "voHotTrack",
    "voInitOnSave",
    "voLevelSelectConstraint",
    "voMiddleClickSelect",
    "voMultiSelect",
    "voRightClickSelect",
    "voPopupMode",
    "voShowBackground",
    "voShowButtons",
    "voShowDropmark",
    "voShowHorzGridLines",
    "voShowRoot",
    "voShowTreeLines",
    "voShowVertGridLines",
    "voSiblingSelectConstraint",
    "voToggleOnDblClick",
};

// ---- TCustomVirtualTreeOptions -----------------------------------------------------------------

TPersistent* TCustomVirtualTreeOptions::GetOwner() const {
    return FOwner;
}

void TCustomVirtualTreeOptions::SetPaintOptions(TVTPaintOptions value) {
    if (value == FPaintOptions) return;
    TVTPaintOptions old = FPaintOptions;
    FPaintOptions = value;
    if (FOwner) FOwner->OptionsPaintChanged(old, value);
}

void TCustomVirtualTreeOptions::SetAutoOptions(TVTAutoOptions value) {
    if (value == FAutoOptions) return;
    TVTAutoOptions old = FAutoOptions;
    FAutoOptions = value;
    if (FOwner) FOwner->OptionsAutoChanged(old, value);
}

void TCustomVirtualTreeOptions::SetSelectionOptions(TVTSelectionOptions value) {
    if (value == FSelectionOptions) return;
    TVTSelectionOptions old = FSelectionOptions;
    FSelectionOptions = value;
    if (FOwner) FOwner->OptionsSelectionChanged(old, value);
}

void TCustomVirtualTreeOptions::SetMiscOptions(TVTMiscOptions value) {
    if (value == FMiscOptions) return;
    TVTMiscOptions old = FMiscOptions;
    FMiscOptions = value;
    if (FOwner) FOwner->OptionsMiscChanged(old, value);
}

void TCustomVirtualTreeOptions::AssignTo(TPersistent* dest) {
    if (auto* target = dynamic_cast<TCustomVirtualTreeOptions*>(dest)) {
        target->SetPaintOptions(FPaintOptions);
        target->SetAnimationOptions(FAnimationOptions);
        target->SetAutoOptions(FAutoOptions);
        target->SetSelectionOptions(FSelectionOptions);
        target->SetMiscOptions(FMiscOptions);
    } else {
        TPersistent::AssignTo(dest);
    }
}

// ---- TScrollBarOptions
// ---------------------------------------------------------------------------

TPersistent* TScrollBarOptions::GetOwner() const {
    return FOwner;
}

void TScrollBarOptions::SetAlwaysVisible(bool value) {
    if (value == FAlwaysVisible) return;
    FAlwaysVisible = value;
    if (FOwner) FOwner->ScrollBarsChanged();
}

void TScrollBarOptions::SetScrollBars(TScrollStyle value) {
    if (value == FScrollBars) return;
    FScrollBars = value;
    if (FOwner) FOwner->ScrollBarsChanged();
}

void TScrollBarOptions::SetScrollBarStyle(TScrollBarStyle value) {
    Assert(value == TScrollBarStyle::sbmRegular,
           "Flat scrollbars styles are disabled. Enable UseFlatScrollbars in the tree unit for "
           "flat scrollbar support.");
    FScrollBarStyle = value;
}

void TScrollBarOptions::Assign(TPersistent* source) {
    if (auto* src = dynamic_cast<TScrollBarOptions*>(source)) {
        SetAlwaysVisible(src->FAlwaysVisible);
        HorizontalIncrement = src->HorizontalIncrement;
        SetScrollBars(src->FScrollBars);
        SetScrollBarStyle(src->FScrollBarStyle);
        VerticalIncrement = src->VerticalIncrement;
    } else {
        TPersistent::Assign(source);
    }
}

// ---- TVTColors
// -------------------------------------------------------------------------------------

TVTColors::TVTColors(TBaseVirtualTree* owner)
    : FOwner(owner), FColors{clBtnShadow, clHighlight, clHighlight, clHighlight,  clBtnFace,
                             clBtnShadow, clBtnFace,   clBtnFace,   clWindowText, clHighlight,
                             clBtnFace,   clHighlight, clHighlight, clHighlight} {}

TPersistent* TVTColors::GetOwner() const {
    return FOwner;
}

void TVTColors::SetColor(int index, TColor value) {
    if (index < 0 || index >= ColorCount || FColors[size_t(index)] == value) return;
    FColors[size_t(index)] = value;
    if (FOwner) FOwner->ColorsChanged(index);
}

void TVTColors::Assign(TPersistent* source) {
    if (auto* src = dynamic_cast<TVTColors*>(source)) {
        FColors = src->FColors;
        if (FOwner && FOwner->UpdateCount() == 0) FOwner->ColorsChanged(-1);
    } else {
        TPersistent::Assign(source);
    }
}

// ---- TClipboardFormats
// -----------------------------------------------------------------------------

TClipboardFormats::TClipboardFormats(TBaseVirtualTree* owner) : FOwner(owner) {
    SetSorted(true);
    SetDuplicates(TDuplicates::dupIgnore);
}

int TClipboardFormats::Add(const std::string& s) {
    if (!FOwner || !TClipboardFormatList::FindFormatFor(s, FOwner)) return -1;
    return TStringList::Add(s);
}

void TClipboardFormats::Insert(int index, const std::string& s) {
    if (!FOwner || !TClipboardFormatList::FindFormatFor(s, FOwner)) return;
    // A sorted list places the name itself.
    if (Sorted())
        TStringList::Add(s);
    else
        TStringList::Insert(index, s);
}

} // namespace epc
