#pragma once
// The tree's keyboard: keys by family (moving the focus, expanding and collapsing, the check
// key, commands), extending the selection with the focus, and incremental search. The tree
// holds one and forwards its key messages to it.

#include <string>

#include "components/tree/TreePart.h"
#include "components/tree/VirtualTreeTypes.h"
#include "platform/controls/Controls.h"

namespace epc {

class TBaseVirtualTree;
class TVirtualTreeColumns;

class TVTKeyboard : TVTTreePart {
public:
    explicit TVTKeyboard(TBaseVirtualTree& tree) : TVTTreePart(tree) {}

    // A key the control's own handling left over (nonzero).
    void KeyDown(Word& key, TShiftState shift);
    void KeyUp(Word key);
    // A character typed while a search waits for one.
    void CharTyped(char16_t ch);
    // One key of an incremental search: a character, or backspace (8).
    void SearchKey(char16_t ch);
    void ForgetSearch() { FSearchBuffer.clear(); }
    // The node is being deleted.
    void ForgetNode(PVirtualNode node) {
        if (node == FLastSearchNode) FLastSearchNode = nullptr;
    }
    const std::u16string& SearchBuffer() const { return FSearchBuffer; }

private:
    // What one key press works with: the focus it came to, and where it moves the focus.
    struct TKeyPress {
        Word Key = 0;
        TShiftState Shift;
        bool ShiftDown = false;
        bool Ctrl = false;
        bool Alt = false;
        PVirtualNode Node = nullptr;
        PVirtualNode NewNode = nullptr;
        bool Navigation = false;
        TVirtualTreeColumns* Columns = nullptr;
        // Cells of a row take the focus one by one.
        bool ColumnFocus = false;
    };
    TKeyPress MakeKeyPress(Word key, TShiftState shift) const;
    void DropPendingCheck(Word key);
    void NavigationKey(TKeyPress& press);
    void TabToCell(TKeyPress& press);
    void PageKey(TKeyPress& press);
    void HomeEndKey(TKeyPress& press);
    void ExpandCollapseKey(TKeyPress& press);
    void LeftRightKey(TKeyPress& press);
    // Space is the check key with check support and a focused node that has a check type.
    bool IsCheckKey(const TKeyPress& press) const;
    void CheckKey(const TKeyPress& press);
    void CommandKey(const TKeyPress& press);
    void ShowHelp(PVirtualNode node);
    // Moves the focus within the row to the column, when OnFocusChanging allows it.
    bool FocusColumn(const TKeyPress& press, PVirtualNode row, TColumnIndex column);
    void ScrollBy(int dx, int dy);
    // The focus moved by a key: the selection follows, or is extended from the range anchor.
    void FocusByKey(PVirtualNode newNode, Word key, TShiftState shift);
    bool TowardsAnchor(PVirtualNode from, PVirtualNode to) const;
    void FlipBetween(PVirtualNode from, PVirtualNode to);
    PVirtualNode SearchStep(PVirtualNode node, bool forward);
    PVirtualNode SearchStart(bool forward);

    std::u16string FSearchBuffer;
    PVirtualNode FLastSearchNode = nullptr;
};

} // namespace epc
