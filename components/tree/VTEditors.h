#pragma once
// The string tree's in-place editor: a single-line edit over the node's text and the edit link
// that the tree drives it through.

#include <memory>

#include "components/tree/VirtualStringTree.h"
#include "platform/controls/StdCtrls.h"

namespace epc {

class TStringEditLink;

// The edit control of an in-place edit. Enter ends the edit (Ctrl+Enter for a multi-line
// node), Escape cancels it; Up and Down move like Left and Right in a single-line node.
class TVTEdit : public TCustomEdit {
public:
    explicit TVTEdit(TStringEditLink* link);
    std::string ClassName() const override { return "TVTEdit"; }
    void Dispatch(TMessage& message) override;

protected:
    void KeyDown(Word& key, TShiftState shift) override;
    void KeyPress(char16_t& key) override;
    void Change() override;

private:
    // Widens the edit to its text, as far as the tree's client area allows.
    void AutoAdjustSize();
    TStringEditLink* FLink;
};

class TStringEditLink : public IVTEditLink {
public:
    TStringEditLink();
    ~TStringEditLink() override;

    bool BeginEdit() override;
    bool CancelEdit() override;
    bool EndEdit() override;
    TRect GetBounds() override;
    bool PrepareEdit(TBaseVirtualTree* tree, PVirtualNode node, TColumnIndex column) override;
    void ProcessMessage(TMessage& message) override;
    void SetBounds(TRect r) override;

    TVTEdit* Edit() const { return FEdit.get(); }
    TCustomVirtualStringTree* Tree() const { return FTree; }
    PVirtualNode Node() const { return FNode; }
    TColumnIndex Column() const { return FColumn; }
    // True once the edit ended or was cancelled: the node may be gone since.
    bool Stopping() const { return FStopping; }

private:
    std::unique_ptr<TVTEdit> FEdit;
    TCustomVirtualStringTree* FTree = nullptr;
    PVirtualNode FNode = nullptr;
    TColumnIndex FColumn = NoColumn;
    TAlignment FAlignment = taLeftJustify;
    TRect FTextBounds;
    // Set once the edit ended or was cancelled, so that neither runs twice.
    bool FStopping = false;
};

} // namespace epc
