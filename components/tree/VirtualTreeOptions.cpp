#include "components/tree/VirtualTreeOptions.h"

#include "components/tree/BaseVirtualTree.h"
#include "components/tree/TreeUnit.h"

namespace epc {

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

void TCustomVirtualTreeOptions::AssignTo(TPersistent* Dest) {
    if (auto* target = dynamic_cast<TCustomVirtualTreeOptions*>(Dest)) {
        target->SetPaintOptions(FPaintOptions);
        target->SetAnimationOptions(FAnimationOptions);
        target->SetAutoOptions(FAutoOptions);
        target->SetSelectionOptions(FSelectionOptions);
        target->SetMiscOptions(FMiscOptions);
    } else {
        TPersistent::AssignTo(Dest);
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

void TScrollBarOptions::Assign(TPersistent* Source) {
    if (auto* src = dynamic_cast<TScrollBarOptions*>(Source)) {
        SetAlwaysVisible(src->FAlwaysVisible);
        HorizontalIncrement = src->HorizontalIncrement;
        SetScrollBars(src->FScrollBars);
        SetScrollBarStyle(src->FScrollBarStyle);
        VerticalIncrement = src->VerticalIncrement;
    } else {
        TPersistent::Assign(Source);
    }
}

// ---- TVTColors
// -------------------------------------------------------------------------------------

TVTColors::TVTColors(TBaseVirtualTree* AOwner)
    : FOwner(AOwner), FColors{clBtnShadow, clHighlight, clHighlight, clHighlight,  clBtnFace,
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

void TVTColors::Assign(TPersistent* Source) {
    if (auto* src = dynamic_cast<TVTColors*>(Source)) {
        FColors = src->FColors;
        if (FOwner && FOwner->UpdateCount() == 0) FOwner->ColorsChanged(-1);
    } else {
        TPersistent::Assign(Source);
    }
}

// ---- TClipboardFormats
// -----------------------------------------------------------------------------

TClipboardFormats::TClipboardFormats(TBaseVirtualTree* AOwner) : FOwner(AOwner) {
    SetSorted(true);
    SetDuplicates(TDuplicates::dupIgnore);
}

int TClipboardFormats::Add(const std::string& S) {
    const TClipboardFormatEntry* entry = TClipboardFormatList::FindFormat(S);
    if (!entry || !FOwner || !entry->AppliesTo || !entry->AppliesTo(FOwner)) return -1;
    return TStringList::Add(S);
}

void TClipboardFormats::Insert(int Index, const std::string& S) {
    const TClipboardFormatEntry* entry = TClipboardFormatList::FindFormat(S);
    if (!entry || !FOwner || !entry->AppliesTo || !entry->AppliesTo(FOwner)) return;
    // A sorted list places the name itself.
    if (Sorted())
        TStringList::Add(S);
    else
        TStringList::Insert(Index, S);
}

} // namespace epc
