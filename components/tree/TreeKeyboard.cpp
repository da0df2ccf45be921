// The tree's keyboard: a key press goes to its family, and the focus it moves takes the
// selection with it; typed characters feed the incremental search.

#include "components/tree/TreeKeyboard.h"

#include <algorithm>

#include "components/tree/BaseVirtualTree.h"
#include "platform/controls/Forms.h"
#include "platform/core/KeyChars.h"
#include "platform/windows/Window.h"

namespace epc {

using namespace tree_options;
using S = TVirtualTreeState;

namespace {

// The main keyboard's '*', '+', '-' and '/' act as the keypad keys.
Word KeypadKey(Word key, bool shiftDown) {
    if (key >= VK_NUMPAD0 && key <= VK_DIVIDE) return key;
    switch (KeyToChar(key, shiftDown)) {
    case u'*':
        return VK_MULTIPLY;
    case u'+':
        return VK_ADD;
    case u'-':
        return VK_SUBTRACT;
    case u'/':
        return VK_DIVIDE;
    default:
        return key;
    }
}

} // namespace

void TVTKeyboard::KeyDown(Word& key, TShiftState shift) {
    // A key ends wheel panning, as a click does, and does nothing else.
    if (FTree.FStates.Contains(S::tsWheelPanning)) {
        FTree.StopWheelPanning();
        key = 0;
        return;
    }
    Word code = key;
    if (!FTree.DoKeyAction(code, shift)) return;
    key = code;
    DropPendingCheck(key);
    key = KeypadKey(key, shift.Contains(ssShift));
    if (key == VK_BACK && FTree.FStates.Contains(S::tsIncrementalSearching)) {
        SearchKey(8);
        return;
    }
    TKeyPress press = MakeKeyPress(key, shift);
    switch (key) {
    case VK_BACK:
    case VK_TAB:
    case VK_PRIOR:
    case VK_NEXT:
    case VK_HOME:
    case VK_END:
    case VK_UP:
    case VK_DOWN:
        NavigationKey(press);
        break;
    case VK_LEFT:
    case VK_RIGHT:
    case VK_ADD:
    case VK_SUBTRACT:
    case VK_MULTIPLY:
    case VK_DIVIDE:
        ExpandCollapseKey(press);
        break;
    case VK_SPACE:
        // Space checks only where there is something to check; else it is typed like any
        // other character (an incremental search takes it).
        if (IsCheckKey(press))
            CheckKey(press);
        else
            CommandKey(press);
        break;
    default:
        CommandKey(press);
        break;
    }
    if (press.Navigation && press.NewNode) FocusByKey(press.NewNode, key, shift);
}

TVTKeyboard::TKeyPress TVTKeyboard::MakeKeyPress(Word key, TShiftState shift) const {
    TKeyPress press;
    press.Key = key;
    press.Shift = shift;
    press.ShiftDown = shift.Contains(ssShift);
    press.Ctrl = shift.Contains(ssCtrl);
    press.Alt = shift.Contains(ssAlt);
    press.Node = FTree.FFocusedNode;
    press.Columns = FTree.FHeader ? FTree.FHeader->Columns() : nullptr;
    press.ColumnFocus = FTree.FOptions->SelectionOptions().Contains(toExtendedFocus) &&
                        press.Columns &&
                        press.Columns->IsValidColumn(press.Columns->GetFirstVisibleColumn());
    return press;
}

// Any key but space lets go of a check image pressed by the space key.
void TVTKeyboard::DropPendingCheck(Word key) {
    if (!FTree.FStates.Contains(S::tsKeyCheckPending) || key == VK_SPACE) return;
    FTree.DoStateChange({}, {S::tsKeyCheckPending});
    if (PVirtualNode node = FTree.FCheckNode) {
        node->CheckState = NormalCheckState(node->CheckState);
        FTree.InvalidateNode(node);
    }
    FTree.FCheckNode = nullptr;
}

void TVTKeyboard::ScrollBy(int dx, int dy) {
    FTree.DoSetOffsetXY(TPoint(FTree.FOffsetX + dx, FTree.FOffsetY + dy),
                        TBaseVirtualTree::DefaultScrollUpdateFlags);
}

bool TVTKeyboard::FocusColumn(const TKeyPress& press, PVirtualNode row, TColumnIndex column) {
    TBaseVirtualTree& tree = FTree;
    if (!press.Columns->IsValidColumn(column) || column == tree.FFocusedColumn) return false;
    if (!tree.DoFocusChanging(tree.FFocusedNode, row, tree.FFocusedColumn, column)) return false;
    tree.DoCancelEdit();
    tree.FFocusedColumn = column;
    if (row == tree.FFocusedNode) {
        if (row) {
            const auto& options = *tree.FOptions;
            tree.ScrollIntoView(row, options.SelectionOptions().Contains(toCenterScrollIntoView),
                                !options.AutoOptions().Contains(toDisableAutoscrollOnFocus));
            tree.InvalidateNode(row);
        }
        tree.DoFocusChange(row, column);
    }
    return true;
}

// ---- Moving the focus

void TVTKeyboard::NavigationKey(TKeyPress& press) {
    TBaseVirtualTree& tree = FTree;
    PVirtualNode node = press.Node;
    switch (press.Key) {
    case VK_BACK:
        press.Navigation = true;
        if (node && node->Parent != tree.FRoot.get()) press.NewNode = node->Parent;
        break;
    case VK_TAB:
        TabToCell(press);
        break;
    case VK_PRIOR:
    case VK_NEXT:
        PageKey(press);
        break;
    case VK_HOME:
    case VK_END:
        HomeEndKey(press);
        break;
    default: { // VK_UP, VK_DOWN
        const bool up = press.Key == VK_UP;
        if (press.Ctrl) {
            const int step = int(tree.FDefaultNodeHeight);
            ScrollBy(0, up ? step : -step);
            break;
        }
        press.Navigation = true;
        if (tree.FStates.Contains(S::tsEditing)) tree.DoEndEdit();
        if (tree.FFocusedColumn == NoColumn) tree.FFocusedColumn = tree.MainColumn();
        if (node)
            press.NewNode = up ? tree.PreviousVisibleNode(node) : tree.NextVisibleNode(node);
        else
            press.NewNode = up ? tree.LastVisibleNode() : tree.FirstVisibleNode();
        if (!press.NewNode && node) tree.InvalidateNode(node);
        break;
    }
    }
}

void TVTKeyboard::TabToCell(TKeyPress& press) {
    if (!press.ColumnFocus) return;
    TBaseVirtualTree& tree = FTree;
    TVirtualTreeColumns* columns = press.Columns;
    press.Navigation = true;
    const bool back = press.ShiftDown;
    PVirtualNode node = press.Node;
    PVirtualNode run = node ? node : (back ? tree.LastVisibleNode() : tree.FirstVisibleNode());
    TColumnIndex column = node ? tree.FFocusedColumn : InvalidColumn;
    // Every row is passed at most once, so a handler refusing every cell ends the walk.
    while (run) {
        if (columns->IsValidColumn(column))
            column = back ? columns->GetPreviousVisibleColumn(column)
                          : columns->GetNextVisibleColumn(column);
        else
            column = back ? columns->GetLastVisibleColumn() : columns->GetFirstVisibleColumn();
        if (!columns->IsValidColumn(column)) {
            // The row is exhausted: on to the neighbouring visible node's columns.
            run = back ? tree.PreviousVisibleNode(run) : tree.NextVisibleNode(run);
            continue;
        }
        if (!tree.DoFocusChanging(tree.FFocusedNode, run, tree.FFocusedColumn, column)) continue;
        tree.DoCancelEdit();
        tree.FFocusedColumn = column;
        if (run != tree.FFocusedNode) {
            press.NewNode = run;
        } else {
            tree.InvalidateNode(run);
            tree.DoFocusChange(run, column);
        }
        return;
    }
}

void TVTKeyboard::PageKey(TKeyPress& press) {
    TBaseVirtualTree& tree = FTree;
    const bool forward = press.Key == VK_NEXT;
    const int clientHeight = tree.ClientHeight();
    if (press.Ctrl) {
        ScrollBy(0, forward ? -clientHeight : clientHeight);
        return;
    }
    press.Navigation = true;
    if (!press.Node) {
        press.NewNode = forward ? tree.LastVisibleNode() : tree.FirstVisibleNode();
        return;
    }
    int sum = 0;
    PVirtualNode newNode = press.Node;
    while (sum < clientHeight) {
        PVirtualNode next =
            forward ? tree.NextVisibleNode(newNode) : tree.PreviousVisibleNode(newNode);
        if (!next) break;
        newNode = next;
        sum += int(tree.NodeHeight(next));
    }
    press.NewNode = newNode;
}

void TVTKeyboard::HomeEndKey(TKeyPress& press) {
    TBaseVirtualTree& tree = FTree;
    const bool home = press.Key == VK_HOME;
    const bool grid = tree.FOptions->MiscOptions().Contains(toGridExtensions);
    if (press.Ctrl && !grid && !press.ShiftDown) {
        PVirtualNode target = home ? tree.FirstVisibleNode() : tree.LastVisibleNode();
        if (target) tree.ScrollIntoView(target, false);
        tree.SetOffsetX(home ? 0 : std::min(0, tree.ClientWidth() - tree.RangeX()));
        return;
    }
    press.Navigation = true;
    press.NewNode = home ? tree.FirstVisibleNode() : tree.LastVisibleNode();
    // With cells to focus, the first (last) one the handler allows goes with the row.
    if (!press.ColumnFocus || !grid || tree.FOptions->SelectionOptions().Contains(toFullRowSelect))
        return;
    TVirtualTreeColumns* columns = press.Columns;
    for (TColumnIndex c = home ? columns->GetFirstVisibleColumn() : columns->GetLastVisibleColumn();
         columns->IsValidColumn(c);
         c = home ? columns->GetNextVisibleColumn(c) : columns->GetPreviousVisibleColumn(c))
        if (c == tree.FFocusedColumn || FocusColumn(press, tree.FFocusedNode, c)) break;
}

// ---- Expanding and collapsing

void TVTKeyboard::ExpandCollapseKey(TKeyPress& press) {
    TBaseVirtualTree& tree = FTree;
    PVirtualNode node = press.Node;
    switch (press.Key) {
    case VK_LEFT:
    case VK_RIGHT:
        LeftRightKey(press);
        break;
    case VK_ADD:
        if (!press.Ctrl) {
            if (node && !Has(node, nsExpanded)) tree.ToggleNode(node);
        } else if (!press.ShiftDown) {
            if (tree.FHeader) tree.FHeader->AutoFitColumns(true);
        } else {
            tree.ExpandAll();
        }
        break;
    case VK_SUBTRACT:
        if (!press.Ctrl) {
            if (node && Has(node, nsExpanded)) tree.ToggleNode(node);
        } else if (!press.ShiftDown) {
            if (tree.FHeader) tree.FHeader->RestoreColumns();
        } else {
            tree.CollapseAll();
        }
        break;
    case VK_MULTIPLY:
        if (node) tree.ExpandAll(node);
        break;
    default: // VK_DIVIDE
        if (node) tree.CollapseAll(node);
        break;
    }
}

// Left collapses or goes to the parent, right expands or goes to the first child; across the
// cells of a row with grid extensions, and scrolling with Ctrl.
void TVTKeyboard::LeftRightKey(TKeyPress& press) {
    TBaseVirtualTree& tree = FTree;
    const bool left = press.Key == VK_LEFT;
    if (press.Ctrl) {
        const int step = int(tree.FIndent);
        ScrollBy(left ? step : -step, 0);
        return;
    }
    PVirtualNode node = press.Node;
    if (!node) return;
    if (press.ColumnFocus && tree.FOptions->MiscOptions().Contains(toGridExtensions)) {
        // Across the cells of the row; the row's ends stay.
        TVirtualTreeColumns* columns = press.Columns;
        TColumnIndex c = tree.FFocusedColumn;
        do
            c = !columns->IsValidColumn(c) ? columns->GetFirstVisibleColumn()
                : left                     ? columns->GetPreviousVisibleColumn(c)
                                           : columns->GetNextVisibleColumn(c);
        while (columns->IsValidColumn(c) && !FocusColumn(press, node, c));
        return;
    }
    const bool expanded = Has(node, nsExpanded);
    if (Has(node, nsHasChildren) && expanded == left) {
        tree.ToggleNode(node);
    } else if (left) {
        if (node->Parent == tree.FRoot.get()) return;
        press.Navigation = true;
        press.NewNode = node->Parent;
    } else {
        press.Navigation = true;
        press.NewNode = tree.FirstVisibleChildOf(node);
    }
}

// ---- The check key

bool TVTKeyboard::IsCheckKey(const TKeyPress& press) const {
    return FTree.FOptions->MiscOptions().Contains(toCheckSupport) && press.Node &&
           press.Node->CheckType != ctNone;
}

// Space presses the focused node's check image; the key's release applies the new state.
void TVTKeyboard::CheckKey(const TKeyPress& press) {
    TBaseVirtualTree& tree = FTree;
    PVirtualNode node = press.Node;
    if (Has(node, nsDisabled) ||
        tree.FStates.ContainsAny(
            {S::tsLeftButtonDown, S::tsRightButtonDown, S::tsMiddleButtonDown}))
        return;
    TCheckState current = NormalCheckState(node->CheckState);
    TCheckState next = ToggledCheckState(node->CheckType, current, csMixedNormal);
    if (!tree.DoChecking(node, next)) return;
    tree.FCheckNode = node;
    tree.FPendingCheckState = next;
    node->CheckState = TCheckState(current | 1);
    tree.DoStateChange({S::tsKeyCheckPending});
    tree.InvalidateNode(node);
}

void TVTKeyboard::KeyUp(Word key) {
    TBaseVirtualTree& tree = FTree;
    if (key != VK_SPACE || !tree.FStates.Contains(S::tsKeyCheckPending)) return;
    tree.DoStateChange({}, {S::tsKeyCheckPending});
    PVirtualNode node = tree.FCheckNode;
    tree.FCheckNode = nullptr;
    if (!node) return;
    node->CheckState = NormalCheckState(node->CheckState);
    if (node == tree.FFocusedNode && node->CheckState != tree.FPendingCheckState &&
        tree.DoSetCheckState(node, tree.FPendingCheckState))
        tree.DoChecked(node);
    tree.InvalidateNode(node);
}

// ---- Commands: cancelling, the context menu, help, editing, select all, typing

void TVTKeyboard::CommandKey(const TKeyPress& press) {
    TBaseVirtualTree& tree = FTree;
    PVirtualNode node = press.Node;
    const Word key = press.Key;
    if (key == VK_ESCAPE) {
        const TVirtualTreeStates dragging{S::tsOLEDragPending, S::tsVCLDragPending,
                                          S::tsOLEDragging, S::tsVCLDragging};
        if (tree.FStates.ContainsAny(dragging)) {
            tree.DoStateChange({}, dragging);
            tree.RequestRepaint();
        } else if (tree.FStates.Contains(S::tsEditing)) {
            tree.DoCancelEdit();
        }
    } else if (key == VK_APPS) {
        if (!node) return;
        // The middle of the node's text, cut at the column or the client area, and of its row.
        TRect text = tree.DisplayRect(node, tree.FFocusedColumn, true);
        text.Right = std::min(text.Right, tree.ClientWidth());
        tree.DoPopupMenu(node, tree.FFocusedColumn,
                         TPoint((text.Left + text.Right) / 2, (text.Top + text.Bottom) / 2));
    } else if ((key == 'A' || key == 'a') && press.Ctrl && !press.Alt) {
        if (tree.FOptions->SelectionOptions().Contains(toMultiSelect)) tree.SelectAll(true);
    } else if (key == VK_F1) {
        ShowHelp(node);
    } else if (key == VK_F2 && press.Shift.Empty()) {
        if (node && tree.DoCanEdit(node, tree.FFocusedColumn))
            tree.EditNode(node, tree.FFocusedColumn);
    } else if (key >= 32 && !press.Ctrl && !press.Alt &&
               tree.FIncrementalSearch != TVTIncrementalSearch::isNone) {
        tree.DoStateChange({S::tsIncrementalSearchPending});
    }
}

// The help context of the node (asking up to its ancestors), else of the tree or its parents.
void TVTKeyboard::ShowHelp(PVirtualNode node) {
    TBaseVirtualTree& tree = FTree;
    THelpContext context = 0;
    if (tree.OnGetHelpContext) {
        for (PVirtualNode run = node; run && run != tree.FRoot.get() && context == 0;
             run = run->Parent)
            tree.OnGetHelpContext(&tree, run, tree.FFocusedColumn, context);
    } else {
        for (TControl* control = &tree; control && context == 0; control = control->Parent())
            context = control->HelpContext();
    }
    if (context != 0 && Application) Application->HelpContext(context);
}

// ---- Selection that follows the focus

void TVTKeyboard::FocusByKey(PVirtualNode newNode, Word key, TShiftState shift) {
    TBaseVirtualTree& tree = FTree;
    const bool multi = tree.FOptions->SelectionOptions().Contains(toMultiSelect);
    const bool shiftDown = shift.Contains(ssShift);
    const bool anyModifier = shift.ContainsAny({ssShift, ssCtrl, ssAlt});
    const bool grid = tree.FOptions->MiscOptions().Contains(toGridExtensions);
    PVirtualNode old = tree.FFocusedNode;
    tree.SetFocusedNode(newNode);
    if (tree.FFocusedNode != newNode) return;
    if (!tree.FRangeAnchor)
        tree.FRangeAnchor =
            tree.FirstSelectedNode() ? tree.FirstSelectedNode() : tree.FirstNodeNoInit();
    const bool reset = !anyModifier || !multi || key == VK_BACK || key == VK_TAB ||
                       (grid && anyModifier && !shiftDown);
    const bool hadSeveral = tree.SelectedCount() > 1;
    if (reset && !(tree.SelectedCount() == 1 && Has(newNode, nsSelected))) tree.ClearSelection();
    const bool extend = shiftDown && multi && !tree.FStates.Contains(S::tsEditing);
    bool flipped = false;
    if (!shiftDown) {
        tree.FRangeAnchor = newNode;
        tree.FLastSelectionLevel = int(tree.NodeLevel(newNode));
    } else if (extend && !reset) {
        if (key == VK_PRIOR || key == VK_NEXT || key == VK_HOME || key == VK_END) {
            // A page or a jump flips every node it passes over; what was selected apart from
            // them stays so.
            FlipBetween(old, newNode);
            flipped = true;
        } else if (old && old != tree.FRangeAnchor && old != newNode && Has(old, nsSelected) &&
                   TowardsAnchor(old, newNode)) {
            // Stepping back towards the anchor gives up the row the focus left.
            tree.RemoveFromSelection(old);
        }
    }
    tree.AddToSelection(newNode);
    if (flipped || hadSeveral) tree.RequestRepaint();
}

// Whether the step from one node to the next goes back towards the range anchor (or onto it).
bool TVTKeyboard::TowardsAnchor(PVirtualNode from, PVirtualNode to) const {
    TBaseVirtualTree& tree = FTree;
    PVirtualNode anchor = tree.FRangeAnchor;
    if (!anchor) return false;
    const int side = tree.CompareNodePositions(from, anchor);
    const int step = tree.CompareNodePositions(to, from);
    return (side > 0 && step < 0) || (side < 0 && step > 0);
}

// Flips the selection of the visible nodes strictly between two nodes; a focus that came from
// nowhere starts the range at the first visible node.
void TVTKeyboard::FlipBetween(PVirtualNode from, PVirtualNode to) {
    TBaseVirtualTree& tree = FTree;
    std::vector<PVirtualNode> between;
    if (!from) {
        for (PVirtualNode run = tree.FirstVisibleNode(); run && run != to;
             run = tree.NextVisibleNode(run))
            between.push_back(run);
    } else if (from != to) {
        if (tree.CompareNodePositions(from, to) > 0) std::swap(from, to);
        for (PVirtualNode run = tree.NextVisibleNode(from); run && run != to;
             run = tree.NextVisibleNode(run))
            between.push_back(run);
    }
    std::vector<PVirtualNode> add;
    for (PVirtualNode n : between)
        if (Has(n, nsSelected))
            tree.RemoveFromSelection(n);
        else
            add.push_back(n);
    if (tree.InternalAddToSelection(add, false)) tree.Change(nullptr);
}

// ---- Incremental search

void TVTKeyboard::CharTyped(char16_t ch) {
    FTree.DoStateChange({}, {S::tsIncrementalSearchPending});
    // Typed characters reach the search as the keyboard layout's code page has them.
    for (char16_t typed : KeyCharsToWide(WideToKeyChars(std::u16string(1, ch))))
        SearchKey(typed);
}

PVirtualNode TVTKeyboard::SearchStep(PVirtualNode node, bool forward) {
    TBaseVirtualTree& tree = FTree;
    switch (tree.FIncrementalSearch) {
    case TVTIncrementalSearch::isVisibleOnly: {
        PVirtualNode next =
            node ? (forward ? tree.NextVisibleNode(node) : tree.PreviousVisibleNode(node))
                 : nullptr;
        return next ? next : (forward ? tree.FirstVisibleNode() : tree.LastVisibleNode());
    }
    case TVTIncrementalSearch::isInitializedOnly: {
        PVirtualNode next = node;
        do {
            next = next ? (forward ? tree.NextNodeNoInit(next) : tree.PreviousNodeNoInit(next))
                        : nullptr;
            if (!next) next = forward ? tree.FirstNodeNoInit() : tree.LastNodeNoInit();
        } while (next && next != node && !Has(next, nsInitialized));
        return next;
    }
    default: {
        PVirtualNode next =
            node ? (forward ? tree.NextNodeInTree(node) : tree.PreviousNode(node)) : nullptr;
        return next ? next : (forward ? tree.FirstNode() : tree.LastNode());
    }
    }
}

PVirtualNode TVTKeyboard::SearchStart(bool forward) {
    TBaseVirtualTree& tree = FTree;
    PVirtualNode start = nullptr;
    switch (tree.FSearchStart) {
    case TVTSearchStart::ssAlwaysStartOver:
        break;
    case TVTSearchStart::ssLastHit:
        start = FLastSearchNode;
        break;
    case TVTSearchStart::ssFocusedNode:
        start = tree.FFocusedNode;
        break;
    }
    if (!start) start = SearchStep(nullptr, forward);
    if (start && tree.FIncrementalSearch == TVTIncrementalSearch::isVisibleOnly &&
        !tree.IsNodeFullyVisible(start))
        start = SearchStep(nullptr, forward);
    return start;
}

void TVTKeyboard::SearchKey(char16_t ch) {
    TBaseVirtualTree& tree = FTree;
    if (tree.FIncrementalSearch == TVTIncrementalSearch::isNone) return;
    tree.StopTimer(TBaseVirtualTree::SearchTimer);
    if (ch == 8) {
        if (FSearchBuffer.size() <= 1) {
            FSearchBuffer.clear();
            tree.DoStateChange({}, {S::tsIncrementalSearching});
            return;
        }
        FSearchBuffer.pop_back();
    } else {
        FSearchBuffer.push_back(ch);
    }
    tree.DoStateChange({S::tsIncrementalSearching});
    if (tree.HandleAllocated())
        SetTimer(tree.Handle(), TBaseVirtualTree::SearchTimer, tree.FSearchTimeout);

    const bool forward = tree.FSearchDirection == TVTSearchDirection::sdForward;
    PVirtualNode start = SearchStart(forward);
    if (!start) return;
    // One full round at most: a text that matches nothing leaves the focus where it was.
    PVirtualNode run = start;
    do {
        if (tree.DoIncrementalSearch(run, FSearchBuffer) == 0) {
            FLastSearchNode = run;
            if (run != tree.FFocusedNode) {
                tree.ClearSelection();
                tree.SetFocusedNode(run);
                if (tree.FFocusedNode == run) {
                    tree.AddToSelection(run);
                    tree.FRangeAnchor = run;
                }
            }
            return;
        }
        run = SearchStep(run, forward);
    } while (run && run != start);
}

} // namespace epc
