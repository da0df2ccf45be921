// The in-place editor of the string tree.

#include "components/tree/VTEditors.h"

#include <algorithm>

#include "platform/core/Strings.h"
#include "platform/windows/Window.h"

namespace epc {

// ---- TVTEdit ----------------------------------------------------------------------------------

TVTEdit::TVTEdit(TStringEditLink* link) : TCustomEdit(nullptr), FLink(link) {
    SetBorderStyle(bsSingle);
    SetCtl3D(false);
}

void TVTEdit::Dispatch(TMessage& message) {
    if (message.Msg == WM_GETDLGCODE) {
        // Enter, Escape and the arrows belong to the edit, not to the form.
        message.Result = DLGC_WANTALLKEYS | DLGC_WANTARROWS | DLGC_WANTCHARS;
        return;
    }
    TCustomEdit::Dispatch(message);
}

void TVTEdit::KeyDown(Word& key, TShiftState shift) {
    // Keys that reach an edit already over are the edit control's alone.
    if (FLink->Stopping()) return TCustomEdit::KeyDown(key, shift);
    TCustomVirtualStringTree* tree = FLink->Tree();
    const bool multiline = FLink->Node()->States.Contains(nsMultiline);
    switch (key) {
    case VK_RETURN:
        if (multiline && !shift.Contains(ssCtrl)) break;
        key = 0;
        tree->InvalidateNode(FLink->Node());
        tree->DoEndEdit();
        if (tree->CanFocus()) tree->SetFocus();
        return;
    case VK_ESCAPE:
        key = 0;
        tree->DoCancelEdit();
        if (tree->CanFocus()) tree->SetFocus();
        return;
    case VK_UP:
        if (!multiline) key = VK_LEFT;
        break;
    case VK_DOWN:
        if (!multiline) key = VK_RIGHT;
        break;
    default:
        break;
    }
    TCustomEdit::KeyDown(key, shift);
}

void TVTEdit::KeyPress(char16_t& key) {
    // Enter and Escape did their work as keys; as characters they would only beep.
    if (key == u'\r' || key == 27) {
        key = 0;
        return;
    }
    TCustomEdit::KeyPress(key);
}

void TVTEdit::Change() {
    TCustomEdit::Change();
    AutoAdjustSize();
}

void TVTEdit::AutoAdjustSize() {
    if (!Parent() || !HandleAllocated()) return;
    const std::string text = Text();
    HDC dc = MeasureCanvas()->Handle();
    SIZE size{};
    GetTextExtentPoint32A(dc, text.c_str(), int(text.size()), &size);
    const int wanted = size.cx + LeftMargin() + RightMargin() + 2 * (Width() - ClientWidth()) + 4;
    const int limit = Parent()->ClientWidth() - Left();
    if (wanted > Width()) SetWidth(std::min(wanted, std::max(Width(), limit)));
}

// ---- TStringEditLink --------------------------------------------------------------------------

TStringEditLink::TStringEditLink() = default;

TStringEditLink::~TStringEditLink() = default;

bool TStringEditLink::PrepareEdit(TBaseVirtualTree* tree, PVirtualNode node, TColumnIndex column) {
    FTree = dynamic_cast<TCustomVirtualStringTree*>(tree);
    if (!FTree || !node) return false;
    FNode = node;
    FColumn = column;
    FStopping = false;
    FEdit = std::make_unique<TVTEdit>(this);
    FEdit->SetVisible(false);
    FEdit->SetParent(FTree);
    FEdit->Font()->Assign(FTree->Font());
    FEdit->SetColor(FTree->Color());
    FEdit->SetWideText(FTree->Text(node, column));
    FAlignment = FTree->Header()->Columns()->IsValidColumn(column)
                     ? FTree->Header()->Columns()->Items(column)->Alignment()
                     : FTree->Alignment();
    return true;
}

bool TStringEditLink::BeginEdit() {
    if (FStopping || !FEdit) return false;
    FEdit->SetVisible(true);
    FEdit->SelectAll();
    if (FEdit->CanFocus()) FEdit->SetFocus();
    return true;
}

bool TStringEditLink::CancelEdit() {
    if (!FStopping && FEdit) {
        FStopping = true;
        FEdit->SetVisible(false);
    }
    return true;
}

bool TStringEditLink::EndEdit() {
    if (FStopping || !FEdit) return true;
    FStopping = true;
    if (FEdit->Modified()) FTree->DoNewText(FNode, FColumn, FEdit->WideText());
    FEdit->SetVisible(false);
    return true;
}

TRect TStringEditLink::GetBounds() {
    return FEdit ? FEdit->BoundsRect() : TRect();
}

void TStringEditLink::ProcessMessage(TMessage& message) {
    if (FEdit) FEdit->Dispatch(message);
}

void TStringEditLink::SetBounds(TRect r) {
    if (!FEdit || r.IsEmpty()) return;
    FTextBounds = r;
    const int margin = FTree->TextMargin();
    // The edit's text starts where the node's text is painted, and the edit is at least as
    // wide as its text.
    const int textWidth = FEdit->TextWidth() + 2 * margin + 2;
    if (FAlignment == taRightJustify) {
        r.Left = std::min(r.Left - margin, r.Right - textWidth);
    } else {
        r.Right = std::max(r.Right + margin, r.Left + textWidth);
    }
    FEdit->SetMargins(std::max(0, margin - 2), 0);
    FEdit->SetBoundsRect(r);
}

} // namespace epc
