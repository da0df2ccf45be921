// The cell editor of a table in an editor: opening, typing, moving with Tab and the arrows,
// closing, and undo shared with the editor that holds the table.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/graphics/Bitmap.h"
#include "platform/testing/UserActions.h"
#include "richtext/table/RVTableUndo.h"
#include "tests/richtext/table/TableEditSupport.h"

namespace epc {
namespace {

class TableInplace : public test::TableEditFixture {
protected:
    // Types Text at the caret of the open cell editor as one undoable step.
    void TypeInCell(const std::string& text) {
        TRVTableInplaceEdit* editor = Table->InplaceEditor();
        ASSERT_TRUE(editor);
        TRVEditRVData* data = editor->EditData();
        const int itemNo = editor->CaretItemIndex();
        const int offs = editor->CaretItemOffset();
        data->BeginUndoAction(rvutTyping, true);
        data->InsertSubstringUndoable(itemNo, offs, text);
        data->EndUndoSequence();
        data->MarkChanged();
        editor->Format();
    }
    std::vector<int> Sel() {
        int si, so, ei, eo;
        Data()->GetSelectionBounds(si, so, ei, eo, true);
        return {si, so, ei, eo};
    }
    std::string Edited() {
        int row, col;
        Table->GetEditedCell(row, col);
        return std::to_string(row) + "," + std::to_string(col);
    }
};

TEST_F(TableInplace, TypingInAnEmptyCellAndClosingLeavesOneItemAndOneOuterStep) {
    Table->GetCell(1, 1)->ResetContent();
    ASSERT_TRUE(Table->OpenCellEditor(-1, 1, 1, false, true, false, true));
    EXPECT_EQ(Edit->GetInplaceEditor(), Table->InplaceEditor());
    EXPECT_EQ(Edit->GetTopEditor(), Table->InplaceEditor());
    EXPECT_EQ(Table->GetCell(1, 1)->ItemCount(), 0); // the items live in the editor
    testing::TypeText("abc");
    EXPECT_EQ(Table->InplaceEditor()->EditData()->GetItemText(0), "abc");
    Edit->DestroyInplaceEditor();
    EXPECT_FALSE(Table->InplaceEditor());
    EXPECT_FALSE(Edit->GetInplaceEditor());
    ASSERT_EQ(Table->GetCell(1, 1)->ItemCount(), 1);
    EXPECT_EQ(CellText(1, 1), "abc");
    ASSERT_EQ(Groups(), 1);
    TRVUndoInfos* group = Data()->UndoList->LastGroup();
    ASSERT_EQ(group->Count(), 1);
    EXPECT_EQ(group->Items(0)->ClassName(), "TRVUndoCellModify");
}

TEST_F(TableInplace, TheOuterStepIsUndoneAndRedoneByTheReopenedCellEditor) {
    ASSERT_TRUE(Table->OpenCellEditor(-1, 0, 2, false, false, true, false));
    TypeInCell("xy");
    Edit->DestroyInplaceEditor();
    const std::string typed = Rvf();
    EXPECT_EQ(CellText(0, 2), "0,2xy");
    // The record reopens the editor on its cell and posts it the step to undo.
    Undo();
    EXPECT_EQ(Edited(), "0,2");
    Edit->DestroyInplaceEditor();
    EXPECT_EQ(CellText(0, 2), "0,2");
    EXPECT_EQ(Groups(), 0);
    ASSERT_TRUE(Edit->CanRedo());
    Redo();
    Edit->DestroyInplaceEditor();
    EXPECT_EQ(CellText(0, 2), "0,2xy");
    EXPECT_EQ(Rvf(), typed);
    EXPECT_EQ(Groups(), 1);
}

TEST_F(TableInplace, EachPrivateMessageIsPerformedByItsReceiver) {
    ASSERT_TRUE(Table->OpenCellEditor(-1, 0, 0, false, false, true, false));
    TypeInCell("!");
    TRVTableInplaceEdit* editor = Table->InplaceEditor();
    PostMessage(editor->Handle(), WM_RVINPLACEUNDO, 0, 0);
    testing::Pump();
    EXPECT_EQ(editor->EditData()->GetItemText(0), "0,0");
    PostMessage(editor->Handle(), WM_RVINPLACEREDO, 0, 0);
    testing::Pump();
    EXPECT_EQ(editor->EditData()->GetItemText(0), "0,0!");
    // Moves carry the direction; a plain close has a value of its own.
    PostMessage(editor->Handle(), WM_RVINPLACEMOVE, rvimDown, 0);
    testing::Pump();
    EXPECT_EQ(Edited(), "1,0");
    PostMessage(Table->InplaceEditor()->Handle(), WM_RVINPLACEMOVE, rvimRight, 0);
    testing::Pump();
    EXPECT_EQ(Edited(), "1,1");
    PostMessage(Table->InplaceEditor()->Handle(), WM_RVINPLACEMOVE, rvimClose, 0);
    testing::Pump();
    EXPECT_EQ(Edited(), "-1,-1");
    EXPECT_EQ(CellText(0, 0), "0,0!");
    // The editor closes its cell editor before undoing its own step, which reopens the editor
    // where the step was made.
    ASSERT_TRUE(Table->OpenCellEditor(-1, 2, 2, false, false, true, false));
    PostMessage(Edit->Handle(), WM_RVUNDOFROMINPLACE, 0, 0);
    testing::Pump();
    EXPECT_EQ(Edited(), "0,0");
    EXPECT_EQ(Table->InplaceEditor()->EditData()->GetItemText(0), "0,0");
}

// A step replayed in the cell editor is made even while the editor is read-only; the setting
// itself stays.
TEST_F(TableInplace, ReplayedStepsMakeTheCellEditorWritable) {
    ASSERT_TRUE(Table->OpenCellEditor(-1, 0, 1, false, false, true, false));
    TypeInCell("!");
    TRVTableInplaceEdit* editor = Table->InplaceEditor();
    Edit->SetReadOnly(true);
    editor->Perform(WM_RVINPLACEUNDO, 0, 0);
    EXPECT_EQ(editor->EditData()->GetItemText(0), "0,1");
    editor->Perform(WM_RVINPLACEREDO, 0, 0);
    EXPECT_EQ(editor->EditData()->GetItemText(0), "0,1!");
    EXPECT_TRUE(editor->GetReadOnly());
    EXPECT_TRUE(Edit->GetReadOnly());
}

// An item is found in its cell's document, or in the editor's while the cell is edited.
TEST_F(TableInplace, FindCellOfDataLooksInTheEditorOfTheEditedCell) {
    const TCustomRVItemInfo* item = Table->GetCell(1, 2)->GetItem(0);
    int row, col, itemNo;
    ASSERT_TRUE(Table->FindCellOfData(item, row, col, itemNo));
    EXPECT_EQ(std::vector<int>({row, col, itemNo}), std::vector<int>({1, 2, 0}));
    ASSERT_TRUE(Table->OpenCellEditor(-1, 1, 2, false, false, true, false));
    ASSERT_TRUE(Table->FindCellOfData(item, row, col, itemNo));
    EXPECT_EQ(std::vector<int>({row, col, itemNo}), std::vector<int>({1, 2, 0}));
    EXPECT_FALSE(Table->FindCellOfData(Data()->GetItem(0), row, col, itemNo));
    EXPECT_EQ(row, -1);
}

// Deleted columns leave the editor on the cell that covers its place; inserted lines may be
// selected.
TEST_F(TableInplace, DeletedColumnsKeepTheEditorOnItsCellAndInsertedLinesMayBeSelected) {
    ASSERT_TRUE(Table->OpenCellEditor(-1, 1, 2, false, false, true, false));
    Table->DeleteColumns(0, 1, false);
    EXPECT_EQ(Edited(), "1,1");
    EXPECT_EQ(Table->InplaceEditor()->EditData()->GetItemText(0), "1,2");
    Table->DeleteColumns(1, 1, false); // the edited column itself: the last one left
    EXPECT_EQ(Edited(), "1,0");
    EXPECT_EQ(Table->InplaceEditor()->EditData()->GetItemText(0), "1,1");
    Table->InsertTableRows(1, 2, true, -1);
    int top, left, rows, cols;
    ASSERT_TRUE(Table->GetNormalizedSelectionBounds(top, left, rows, cols));
    EXPECT_EQ(std::vector<int>({top, left, rows, cols}), std::vector<int>({1, 0, 2, 1}));
    Table->InsertColumns(0, 1, true, -1);
    ASSERT_TRUE(Table->GetNormalizedSelectionBounds(top, left, rows, cols));
    EXPECT_EQ(std::vector<int>({top, left, rows, cols}), std::vector<int>({0, 0, 5, 1}));
    Table->InsertColumns(0, 1, false, -1);
    EXPECT_FALSE(Table->HasCellSelection());
}

TEST_F(TableInplace, UndoInACellEditorWithNothingToUndoUndoesTheOuterStep) {
    Table->SetBorderWidth(3);
    ASSERT_EQ(Groups(), 1);
    ASSERT_TRUE(Table->OpenCellEditor(-1, 1, 0, false, false, true, false));
    EXPECT_TRUE(Edit->CanUndo());
    EXPECT_FALSE(Table->InplaceEditor()->CanUndo());
    // The cell editor's undo messages are answered by the editor holding the table.
    EXPECT_EQ(SendMessage(Table->InplaceEditor()->Handle(), EM_CANUNDO, 0, 0), 1);
    EXPECT_EQ(SendMessage(Table->InplaceEditor()->Handle(), EM_CANREDO, 0, 0), 0);
    testing::PressKey('Z', TShiftState{ssCtrl});
    testing::Pump();
    EXPECT_EQ(Table->BorderWidth(), 0);
    EXPECT_FALSE(Table->InplaceEditor());
    EXPECT_EQ(Groups(), 0);
}

TEST_F(TableInplace, TabAndShiftTabMoveBetweenCellsAndLeaveTheTableAfterTheLast) {
    Table->MergeCells(1, 0, 2, 1, true);
    Edit->Format();
    ASSERT_TRUE(Table->OpenCellEditor(-1, 0, 2, false, false, true, false));
    testing::PressKey(VK_TAB);
    EXPECT_EQ(Edited(), "1,0");
    // The merged cell covers (1, 1): the next cell is (1, 2).
    testing::PressKey(VK_TAB);
    EXPECT_EQ(Edited(), "1,2");
    testing::PressKey(VK_TAB, TShiftState{ssShift});
    EXPECT_EQ(Edited(), "1,0");
    testing::PressKey(VK_TAB);
    testing::PressKey(VK_TAB);
    testing::PressKey(VK_TAB);
    EXPECT_EQ(Edited(), "2,1");
    testing::PressKey(VK_TAB);
    EXPECT_EQ(Edited(), "2,2");
    // No cell after the last: the caret goes after the table.
    testing::PressKey(VK_TAB);
    EXPECT_FALSE(Table->InplaceEditor());
    EXPECT_EQ(Edit->CaretItemIndex(), Table->GetItemNo());
    EXPECT_EQ(Edit->CaretItemOffset(), 1);
    EXPECT_EQ(CellText(2, 2), "2,2"); // no tab character was typed
}

TEST_F(TableInplace, ArrowsLeaveTheCellForTheNeighbourOrTheTable) {
    ASSERT_TRUE(Table->OpenCellEditor(-1, 0, 0, false, false, true, false));
    testing::PressKey(VK_RIGHT);
    EXPECT_EQ(Edited(), "0,1");
    testing::PressKey(VK_DOWN);
    EXPECT_EQ(Edited(), "1,1");
    testing::PressKey(VK_UP);
    testing::PressKey(VK_UP);
    EXPECT_FALSE(Table->InplaceEditor());
    EXPECT_EQ(Edit->CaretItemIndex(), Table->GetItemNo());
    EXPECT_EQ(Edit->CaretItemOffset(), 0);
}

TEST_F(TableInplace, ARefusedCellIsNotEditedAndOutsideAnEditorNothingOpens) {
    int asked = 0;
    Table->OnCellEditing = [&](TRVTableItemInfo*, int row, int, bool, bool& allow) {
        ++asked;
        allow = row != 1;
    };
    const std::string before = Rvf();
    EXPECT_FALSE(Table->OpenCellEditor(-1, 1, 1, false, true, false, false));
    EXPECT_FALSE(Table->InplaceEditor());
    EXPECT_EQ(Rvf(), before);
    Table->ChooseCell(0, 1);
    EXPECT_EQ(Edited(), "0,1");
    EXPECT_EQ(asked, 2);
    // Tab into a refused row moves no further.
    PostMessage(Table->InplaceEditor()->Handle(), WM_RVINPLACEMOVE, rvimDown, 0);
    testing::Pump();
    EXPECT_EQ(Edited(), "-1,-1");

    TRVTableItemInfo loose(2, 2, nullptr);
    EXPECT_FALSE(loose.OpenCellEditor(-1, 0, 0, true, false, false, false));
}

// Choosing a cell of a table inside a cell edits the outer cell and then the inner one; when
// the outer cell is refused, neither opens.
TEST_F(TableInplace, ChoosingACellOfANestedTableOpensBothEditors) {
    TRVTableCellData* holder = Table->GetCell(1, 1);
    auto owned = TRVTableItemInfo::CreateSized(2, holder, 2);
    TRVTableItemInfo* nested = owned.get();
    holder->AppendItem(std::string(), std::move(owned));
    nested->Inserted(holder, 1);
    Edit->Format();
    testing::Pump();
    bool allow = false;
    Table->OnCellEditing = [&](TRVTableItemInfo*, int, int, bool, bool& ok) { ok = allow; };
    nested->ChooseCell(1, 0);
    EXPECT_FALSE(Table->InplaceEditor());
    EXPECT_FALSE(nested->InplaceEditor());
    allow = true;
    nested->ChooseCell(1, 0);
    EXPECT_EQ(Edited(), "1,1");
    ASSERT_TRUE(nested->InplaceEditor());
    int row, col;
    nested->GetEditedCell(row, col);
    EXPECT_EQ(std::to_string(row) + "," + std::to_string(col), "1,0");
    Edit->DestroyInplaceEditor();
}

TEST_F(TableInplace, ScrollingAndNewLayoutsKeepTheEditorOverItsCell) {
    for (int i = 0; i < 30; ++i)
        Edit->RVData()->AddTextParagraph("line", 0, 0, TRVTag());
    Edit->Format();
    ASSERT_TRUE(Table->OpenCellEditor(-1, 2, 1, false, false, true, false));
    TControl* editor = Table->InplaceEditor();
    const TRVTableCellData* cell = Table->GetCell(2, 1);
    const TRVDrawLineInfo* d = Data()->DrawItems[Data()->GetFirstDrawItemNo(Table->GetItemNo())];
    EXPECT_EQ(editor->Left(), d->Left + cell->Left);
    const int top = editor->Top();
    Edit->ScrollToPixelY(40);
    testing::Pump();
    EXPECT_EQ(editor->Top(), top - Edit->VScrollPos() * Edit->VSmallStep());
    Edit->ScrollToPixelY(0);
    Edit->TopMargin += 25;
    Edit->Format();
    EXPECT_EQ(editor->Top(), top + 25);
}

TEST_F(TableInplace, TheEditorStateIsNotSavedWhileTheEditorIsBusy) {
    ASSERT_TRUE(Table->OpenCellEditor(-1, 1, 2, false, false, true, false));
    TypeInCell("z");
    int refused = 0;
    Table->InplaceEditor()->OnChange = [&](TObject*) {
        try {
            Table->SaveEditorState();
        } catch (const ERVTableInplaceError& e) {
            EXPECT_STREQ(e.what(), "Cannot destroy cell inplace editor at this time");
            ++refused;
        }
    };
    PostMessage(Table->InplaceEditor()->Handle(), WM_RVINPLACEUNDO, 0, 0);
    testing::Pump();
    EXPECT_EQ(refused, 1);
    EXPECT_EQ(Edited(), "1,2");
    // Saved outside the editor's own handling: it goes, and comes back on the same cell
    // without asking again.
    int asked = 0;
    Table->OnCellEditing = [&](TRVTableItemInfo*, int, int, bool, bool&) { ++asked; };
    Table->InplaceEditor()->OnChange = nullptr;
    Table->SaveEditorState();
    EXPECT_FALSE(Table->InplaceEditor());
    EXPECT_EQ(CellText(1, 2), "1,2");
    Table->RestoreEditorState();
    EXPECT_EQ(Edited(), "1,2");
    EXPECT_EQ(asked, 0);
}

TEST_F(TableInplace, ATableThatLeavesTheDocumentTakesItsCellEditorAlong) {
    ASSERT_TRUE(Table->OpenCellEditor(-1, 0, 1, false, false, true, false));
    TypeInCell("q");
    const int itemNo = Table->GetItemNo();
    bool full = false;
    Data()->BeginUndoAction(rvutDelete, true);
    Data()->DeleteItemUndoable(itemNo, full);
    Data()->EndUndoSequence();
    EXPECT_FALSE(Edit->GetInplaceEditor());
    EXPECT_EQ(Table->GetCell(0, 1)->GetItemText(0), "0,1q");
    Edit->Format();
    Undo();
    ASSERT_EQ(Data()->GetItem(itemNo), Table);
    EXPECT_EQ(CellText(0, 1), "0,1q");
    // The typing, handed over before the deletion, is undone after it, in its cell editor.
    Undo();
    EXPECT_EQ(Edited(), "0,1");
    EXPECT_EQ(Table->InplaceEditor()->EditData()->GetItemText(0), "0,1");
    // Back in the document, the table records again.
    Table->SetCellPadding(4);
    EXPECT_EQ(Table->CellPadding(), 4);
    EXPECT_EQ(Data()->UndoList->LastGroup()->Items(0)->ClassName(), "TRVUndoModifyItemIntProperty");
}

TEST_F(TableInplace, AClickOnACellOpensTheEditorThereWithTheCaretAtTheClick) {
    auto at = [&](int row, int col, int dx) {
        const TRVDrawLineInfo* d =
            Data()->DrawItems[Data()->GetFirstDrawItemNo(Table->GetItemNo())];
        const TRVTableCellData* cell = Table->GetCell(row, col);
        return TPoint(d->Left + cell->Left + (dx < 0 ? cell->Width + dx : dx),
                      d->Top + cell->Top + cell->Height / 2);
    };
    testing::Click(Edit, at(1, 2, -4).X, at(1, 2, -4).Y);
    EXPECT_EQ(Edited(), "1,2");
    TRVTableInplaceEdit* editor = Table->InplaceEditor();
    // Far right of the text: the caret stands after "1,2".
    EXPECT_EQ(editor->CaretItemOffset(), 4);
    testing::TypeText("!");
    testing::Click(Edit, at(0, 0, 2).X, at(0, 0, 2).Y);
    EXPECT_EQ(Edited(), "0,0");
    EXPECT_EQ(CellText(1, 2), "1,2!");
    EXPECT_EQ(Table->InplaceEditor()->CaretItemOffset(), 1);
    // A press inside the cell editor reaches the outer editor's event at its own coordinates.
    std::vector<TPoint> downs;
    Edit->OnRVMouseDown = [&](TCustomRichView* sender, TMouseButton, TShiftState, int itemNo, int x,
                              int y) {
        EXPECT_EQ(sender, Edit);
        EXPECT_EQ(itemNo, Table->GetItemNo());
        downs.push_back(TPoint(x, y));
    };
    const TPoint inside = at(0, 0, 6);
    testing::Click(Edit, inside.X, inside.Y);
    ASSERT_EQ(downs.size(), 1u);
    EXPECT_EQ(downs[0].X, inside.X);
    EXPECT_EQ(downs[0].Y, inside.Y);
}

// A right press opens the cell editor too, except on a selected cell; a press on a cell that
// refuses editing closes the open editor and selects the table item.
TEST_F(TableInplace, RightPressesAndPressesOnRefusedCells) {
    auto middle = [&](int row, int col) {
        const TRVDrawLineInfo* d =
            Data()->DrawItems[Data()->GetFirstDrawItemNo(Table->GetItemNo())];
        const TRVTableCellData* cell = Table->GetCell(row, col);
        return TPoint(d->Left + cell->Left + 4, d->Top + cell->Top + cell->Height / 2);
    };
    testing::Click(Edit, middle(1, 2).X, middle(1, 2).Y, mbRight);
    EXPECT_EQ(Edited(), "1,2");
    Table->Select(0, 0, 0, 1);
    testing::Click(Edit, middle(0, 1).X, middle(0, 1).Y, mbRight);
    EXPECT_TRUE(Table->HasCellSelection());
    EXPECT_EQ(Edited(), "1,2");
    Table->Deselect();
    EXPECT_EQ(Table->InplaceEditor(), nullptr);
    testing::Click(Edit, middle(2, 2).X, middle(2, 2).Y);
    EXPECT_EQ(Edited(), "2,2");
    Table->OnCellEditing = [](TRVTableItemInfo*, int row, int, bool, bool& allow) {
        allow = row != 0;
    };
    testing::Click(Edit, middle(0, 0).X, middle(0, 0).Y);
    EXPECT_EQ(Edited(), "-1,-1");
    EXPECT_EQ(Sel(), (std::vector<int>{1, 0, 1, 1}));
    // A right press on a refused cell closes the open editor too.
    testing::Click(Edit, middle(2, 2).X, middle(2, 2).Y);
    ASSERT_EQ(Edited(), "2,2");
    testing::Click(Edit, middle(0, 1).X, middle(0, 1).Y, mbRight);
    EXPECT_EQ(Edited(), "-1,-1");
}

// Text selected in the cell editor stays the document's inner selection in the cell once the
// editor closes, until the document selects elsewhere.
TEST_F(TableInplace, TextSelectedInTheEditorStaysSelectedInTheCellUntilAPressElsewhere) {
    ASSERT_TRUE(Table->OpenCellEditor(-1, 1, 1, false, false, true, false));
    Table->InplaceEditor()->EditData()->SelectAll();
    Edit->DestroyInplaceEditor();
    TRVTableCellData* cell = Table->GetCell(1, 1);
    EXPECT_TRUE(cell->SelectionExists(false, false));
    EXPECT_EQ(Edit->GetSelText(), "1,1");
    const TRVDrawLineInfo* before = Data()->DrawItems[0];
    testing::Click(Edit, before->Left + 2, before->Top + 4);
    EXPECT_FALSE(cell->SelectionExists(false, false));
    EXPECT_EQ(Edit->GetSelText(), "");
    // A caret alone is not a selection to keep.
    ASSERT_TRUE(Table->OpenCellEditor(-1, 1, 1, false, false, true, false));
    Edit->DestroyInplaceEditor();
    EXPECT_FALSE(cell->SelectionExists(false, false));
    EXPECT_EQ(Data()->ChosenItem, nullptr);
}

// The editor over a middle- or bottom-aligned cell places the cell's text where the cell shows
// it: the space above the editor's document is the space the alignment leaves.
TEST_F(TableInplace, TheEditorOfAnAlignedCellStartsWhereItsTextDoes) {
    for (TRVCellVAlign align : {rvcMiddle, rvcBottom}) {
        SCOPED_TRACE(int(align));
        TRVTableCellData* cell = Table->GetCell(1, 1);
        cell->VAlign = align;
        Table->SetCellBestHeight(90, 1, 1);
        Edit->Format();
        const TRVDrawLineInfo* d =
            Data()->DrawItems[Data()->GetFirstDrawItemNo(Table->GetItemNo())];
        const int textHeight = cell->DocumentHeight;
        ASSERT_TRUE(Table->OpenCellEditor(-1, 1, 1, false, false, true, false));
        TRVTableInplaceEdit* editor = Table->InplaceEditor();
        const int docHeight = editor->EditData()->DocumentHeight;
        ASSERT_EQ(docHeight, textHeight + 2 * Table->CellPadding());
        const int free = cell->Height - docHeight;
        EXPECT_EQ(editor->Top() - (d->Top + cell->Top), align == rvcMiddle ? free / 2 : free);
        EXPECT_EQ(editor->Top() + editor->Height(), d->Top + cell->Top + cell->Height);
        Edit->DestroyInplaceEditor();
    }
}

// With no cells selected, the cell being edited is the selection; its look reaches the editor.
TEST_F(TableInplace, TheEditedCellIsTheSelectionAndItsEditorFollowsItsColour) {
    Table->MergeCells(1, 0, 2, 1, true);
    ASSERT_TRUE(Table->OpenCellEditor(-1, 1, 0, false, false, false, true));
    int top, left, rows, cols;
    ASSERT_TRUE(Table->GetNormalizedSelectionBounds(top, left, rows, cols));
    EXPECT_EQ(std::vector<int>({top, left, rows, cols}), std::vector<int>({1, 0, 1, 2}));
    EXPECT_TRUE(Table->IsCellSelected(1, 0));
    EXPECT_FALSE(Table->IsCellSelected(0, 0));
    EXPECT_FALSE(Table->HasCellSelection());
    TRVTableCellData* cell = Table->GetCell(1, 0);
    cell->SetColor(clRed);
    EXPECT_EQ(Table->InplaceEditor()->Color(), clRed);
    cell->SetColor(clNone);
    EXPECT_EQ(Table->InplaceEditor()->Color(), Table->GetCellColor(cell));
    Table->GetCell(0, 0)->SetColor(clBlue); // another cell: the editor keeps its colour
    EXPECT_EQ(Table->InplaceEditor()->Color(), Table->GetCellColor(cell));
    Edit->DestroyInplaceEditor();
    EXPECT_FALSE(Table->GetNormalizedSelectionBounds(top, left, rows, cols));
}

TEST_F(TableInplace, TheClickThatOpenedTheEditorAndTheNextOneMakeADoubleClick) {
    std::vector<std::string> words;
    Edit->OnRVDblClick = [&](TCustomRichView*, const std::string& word, int) {
        words.push_back(word);
    };
    const TRVTableCellData* cell = Table->GetCell(2, 0);
    const TRVDrawLineInfo* d = Data()->DrawItems[Data()->GetFirstDrawItemNo(Table->GetItemNo())];
    const TPoint at(d->Left + cell->Left + 4, d->Top + cell->Top + cell->Height / 2);
    testing::Click(Edit, at.X, at.Y);
    ASSERT_EQ(Edited(), "2,0");
    testing::Click(Edit, at.X, at.Y);
    ASSERT_EQ(words.size(), 1u);
    EXPECT_EQ(words[0].substr(0, 1), "2");
    // Later presses are single ones again.
    testing::Wait(GetDoubleClickTime() + 50);
    testing::Click(Edit, at.X, at.Y);
    EXPECT_EQ(words.size(), 1u);
}

TEST_F(TableInplace, NewLinesInTheCellEditorMakeItsRowAndTheEditorTaller) {
    ASSERT_TRUE(Table->OpenCellEditor(-1, 1, 0, false, false, true, false));
    const int row = Table->Formatting().RowHeights[1];
    const int height = Table->InplaceEditor()->Height();
    testing::PressKey(VK_RETURN);
    testing::TypeText("x");
    testing::PressKey(VK_RETURN);
    EXPECT_GT(Table->Formatting().RowHeights[1], row);
    EXPECT_EQ(Table->InplaceEditor()->Height() - height, Table->Formatting().RowHeights[1] - row);
    EXPECT_EQ(Table->Formatting().RowHeights[0], Table->Formatting().RowHeights[2]);
    Edit->DestroyInplaceEditor();
    EXPECT_EQ(Table->GetCell(1, 0)->ItemCount(), 3);
}

TEST_F(TableInplace, TheEditorTakesTheCellColourAndTheTablePaddingAtOnce) {
    Table->SetColor(clYellow);
    Table->SetCellIntProperty(-1, "Color", false, false, 2, 2, clAqua);
    ASSERT_TRUE(Table->OpenCellEditor(-1, 2, 2, false, false, true, false));
    TRVTableInplaceEdit* editor = Table->InplaceEditor();
    EXPECT_EQ(editor->Color(), clAqua);
    Table->SetCellIntProperty(-1, "Color", false, false, 2, 2, clNone);
    EXPECT_EQ(editor->Color(), clYellow);
    Table->SetCellPadding(6);
    EXPECT_EQ(editor->LeftMargin, 6);
    EXPECT_EQ(editor->BottomMargin, 6);
    // Its document is laid out with the new margins at once.
    ASSERT_GT(editor->EditData()->DrawItems.Count(), 0);
    EXPECT_EQ(editor->EditData()->DrawItems[0]->Left, 6);
    EXPECT_FALSE(Table->StateBits & rvtsPaddingChanged);
    // A cell taller than 10000 pixels gets an editor of 10000, marked oversized.
    Table->SetCellBestHeight(20000, 2, 2);
    Edit->Format();
    EXPECT_EQ(editor->Height(), 10000);
    EXPECT_TRUE(editor->Oversized);
    // The editor's limit follows the outer one: no history in the cell without one outside.
    EXPECT_EQ(editor->UndoLimit(), -1);
    Edit->DestroyInplaceEditor();
    Edit->SetUndoLimit(0);
    ASSERT_TRUE(Table->OpenCellEditor(-1, 2, 2, false, false, true, false));
    EXPECT_EQ(Table->InplaceEditor()->UndoLimit(), 0);
}

TEST_F(TableInplace, CaretKeysStepIntoTheTableThroughItsOuterCells) {
    const int itemNo = Table->GetItemNo();
    Data()->PlaceCaretAt(0, Data()->ItemEndOffset(0));
    // From the end of the paragraph before, the first step reaches the table's line.
    testing::PressKey(VK_RIGHT);
    EXPECT_FALSE(Table->InplaceEditor());
    EXPECT_EQ(Edit->CaretItemIndex(), itemNo);
    EXPECT_EQ(Edit->CaretItemOffset(), 0);
    testing::PressKey(VK_RIGHT);
    ASSERT_EQ(Edited(), "0,0");
    EXPECT_EQ(Table->InplaceEditor()->CaretItemOffset(), 1);
    EXPECT_EQ(Edit->GetTopEditor(), Table->InplaceEditor());
    Edit->DestroyInplaceEditor();
    Edit->SetFocus();
    // From after the table, Left enters the last cell with the caret at its end.
    Data()->PlaceCaretAt(itemNo, 1);
    testing::PressKey(VK_LEFT);
    ASSERT_EQ(Edited(), "2,2");
    EXPECT_EQ(Table->InplaceEditor()->CaretItemOffset(), 4);
    Edit->DestroyInplaceEditor();
    Edit->SetFocus();
    // Shift extends the selection over the table instead.
    Data()->PlaceCaretAt(itemNo, 1);
    testing::PressKey(VK_LEFT, TShiftState{ssShift});
    EXPECT_FALSE(Table->InplaceEditor());
    // Without editing, or refused, the caret passes over the table.
    Table->Options.Exclude(TRVTableOption::rvtoEditing);
    Data()->PlaceCaretAt(itemNo, 0);
    testing::PressKey(VK_RIGHT);
    EXPECT_FALSE(Table->InplaceEditor());
    EXPECT_EQ(Edit->CaretItemOffset(), 1);
    Table->Options.Include(TRVTableOption::rvtoEditing);
    Table->OnCellEditing = [](TRVTableItemInfo*, int, int, bool, bool& allow) { allow = false; };
    testing::PressKey(VK_LEFT);
    EXPECT_FALSE(Table->InplaceEditor());
    EXPECT_EQ(Edit->CaretItemOffset(), 0);
}

TEST_F(TableInplace, UpAndDownEnterTheCellUnderTheCaret) {
    Table->MergeCells(2, 0, 2, 1, true);
    Table->SetBestWidth(100);
    Edit->Format();
    const TRVDrawLineInfo* d = Data()->DrawItems[Data()->GetFirstDrawItemNo(Table->GetItemNo())];
    const int left = d->Left;
    // A caret position in "before" over the second column.
    int offs = 1;
    for (; offs <= 7; ++offs) {
        Data()->PlaceCaretAt(0, offs);
        if (Table->GetColAt(Data()->CharEnds[size_t(Data()->CaretOffs)].X - left) == 1) break;
    }
    ASSERT_LE(offs, 7);
    testing::PressKey(VK_DOWN);
    ASSERT_EQ(Edited(), "0,1");
    EXPECT_EQ(Table->InplaceEditor()->CaretItemOffset(), 1);
    Edit->DestroyInplaceEditor();
    Edit->SetFocus();
    // Up from the paragraph after: the last row, whose merged cell covers that column.
    Edit->SetFocus();
    Data()->PlaceCaretAt(Table->GetItemNo() + 1, offs);
    testing::PressKey(VK_UP);
    ASSERT_EQ(Edited(), "2,0");
    EXPECT_EQ(Table->InplaceEditor()->CaretItemOffset(), 4);
    EXPECT_FALSE(Table->EnterTableByCaret(2, -1)); // left of the first column
    EXPECT_FALSE(Table->EnterTableByCaret(4, 0));
}

TEST_F(TableInplace, TheChosenCellIsTheDocumentsActiveSubDocumentWhileEdited) {
    const int itemNo = Table->GetItemNo();
    Table->ChooseCell(1, 2);
    ASSERT_EQ(Edited(), "1,2");
    EXPECT_EQ(Data()->ChosenItem, Table);
    EXPECT_EQ(Data()->GetActiveSubData(), Table->InplaceEditor()->EditData());
    int si, so, ei, eo;
    Data()->GetSelectionBounds(si, so, ei, eo, true);
    EXPECT_EQ(si, itemNo);
    EXPECT_EQ(ei, itemNo);
    EXPECT_EQ(so, 0);
    EXPECT_EQ(eo, 1);
    int row, col;
    Table->GetChosenCell(row, col);
    EXPECT_EQ(row * 10 + col, 12);
    EXPECT_EQ(Data()->ChosenRVData, Table->InplaceEditor()->EditData());
    // Selected as the container of the edited cell, the table does not paint as selected.
    Edit->Invalidate();
    testing::Pump();
    const TRVDrawLineInfo* d = Data()->DrawItems[Data()->GetFirstDrawItemNo(itemNo)];
    const TRVTableCellData* other = Table->GetCell(2, 0);
    EXPECT_NE(testing::PixelAt(Edit, d->Left + other->Left + other->Width - 2,
                               d->Top + other->Top + other->Height / 2),
              COLORREF(ColorToRGB(Style->SelColor)));
    // Moving on keeps it so; closing leaves nothing selected that a key would replace.
    testing::PressKey(VK_TAB);
    EXPECT_EQ(Data()->GetActiveSubData(), Table->InplaceEditor()->EditData());
    Edit->DestroyInplaceEditor();
    EXPECT_EQ(Data()->ChosenItem, nullptr);
    EXPECT_EQ(Data()->GetActiveSubData(), nullptr);
    EXPECT_FALSE(Data()->SelectionExists(false, false));
    // Clearing the document frees the table with its editor open: nothing is left pointing
    // at the editor's document.
    Table->ChooseCell(0, 0);
    ASSERT_TRUE(Table->InplaceEditor());
    Edit->Clear();
    EXPECT_EQ(Data()->ChosenRVData, nullptr);
    Edit->Format();
}

TEST_F(TableInplace, ClicksAndDropsInTheCellEditorReachTheOuterEditor) {
    int clicks = 0;
    Edit->OnClick = [&](TObject* sender) {
        EXPECT_EQ(sender, Edit);
        ++clicks;
    };
    std::vector<std::string> drops;
    TObject source;
    Edit->OnDragOver = [&](TObject*, TObject* src, int, int, TDragState, bool& accept) {
        accept = src == &source;
    };
    Edit->OnDragDrop = [&](TObject*, TObject* src, int x, int y) {
        EXPECT_EQ(src, &source);
        drops.push_back("drop " + std::to_string(x) + "," + std::to_string(y));
    };
    Edit->OnEndDrag = [&](TObject*, TObject*, int x, int y) {
        drops.push_back("end " + std::to_string(x) + "," + std::to_string(y));
    };
    ASSERT_TRUE(Table->OpenCellEditor(-1, 1, 1, false, false, true, false));
    TRVTableInplaceEdit* editor = Table->InplaceEditor();
    testing::Click(editor, 3, 3);
    testing::Pump();
    EXPECT_EQ(clicks, 1);
    EXPECT_TRUE(editor->DragOver(&source, 2, 2, dsDragMove));
    EXPECT_FALSE(editor->DragOver(editor, 2, 2, dsDragMove));
    editor->DragDrop(&source, 2, 3);
    editor->DoEndDrag(nullptr, 4, 5);
    testing::Pump();
    const int x = editor->Left(), y = editor->Top();
    EXPECT_EQ(drops, (std::vector<std::string>{
                         "drop " + std::to_string(x + 2) + "," + std::to_string(y + 3),
                         "end " + std::to_string(x + 4) + "," + std::to_string(y + 5)}));
}

TEST_F(TableInplace, ATableMovedToUndoTakesItsCellsOutOfTheDocument) {
    TRVTableCellData* host = Table->GetCell(1, 1);
    auto owned = TRVTableItemInfo::CreateSized(1, host, 1);
    TRVTableItemInfo* nested = owned.get();
    host->AppendItem(std::string(), std::move(owned));
    Edit->Format();
    const std::string before = Rvf();
    std::vector<TCustomRVItemInfo*> moved;
    Data()->OnItemAction = [&](TCustomRVData*, TRVItemAction a, TCustomRVItemInfo* item,
                               std::string&, TCustomRVData*) {
        if (a == rviaMovingToUndoList) moved.push_back(item);
    };
    const int itemNo = Table->GetItemNo();
    bool full = false;
    Data()->BeginUndoAction(rvutDelete, true);
    Data()->DeleteItemUndoable(itemNo, full);
    Data()->EndUndoSequence();
    Data()->OnItemAction = nullptr;
    // The table, its nine texts, the nested table and its text.
    ASSERT_EQ(moved.size(), 12u);
    EXPECT_NE(std::find(moved.begin(), moved.end(), Table->GetCell(2, 2)->GetItem(0)), moved.end());
    EXPECT_NE(std::find(moved.begin(), moved.end(), nested->GetCell(0, 0)->GetItem(0)),
              moved.end());
    EXPECT_EQ(Table->GetRVData(), nullptr);
    EXPECT_EQ(host->GetParentData(), nullptr);
    EXPECT_EQ(host->DrawItems.Count(), 0);
    EXPECT_EQ(nested->GetRVData(), nullptr);
    Edit->Format();
    Undo();
    ASSERT_EQ(Data()->GetItem(itemNo), Table);
    EXPECT_EQ(Table->GetRVData(), Data());
    EXPECT_EQ(nested->GetRVData(), host);
    EXPECT_GT(nested->GetCell(0, 0)->DrawItems.Count(), 0);
    EXPECT_EQ(Rvf(), before);
}

TEST_F(TableInplace, TheCellEditorShowsTheCellsBackgroundPicture) {
    TBitmap red(4, 4, pf24bit);
    red.Canvas()->Brush()->SetColor(clRed);
    red.Canvas()->FillRect(TRect(0, 0, 4, 4));
    TRVTableCellData* cell = Table->GetCell(1, 1);
    cell->SetBackgroundImage(&red);
    cell->SetBackgroundStyle(rvbsStretched);
    cell->Color = clLime;
    Edit->Format();
    ASSERT_TRUE(Table->OpenCellEditor(-1, 1, 1, false, false, true, false));
    TRVTableInplaceEdit* editor = Table->InplaceEditor();
    EXPECT_EQ(editor->EditData()->ClassName(), "TRVTableInplaceRVData");
    EXPECT_EQ(editor->EditData()->GetBackground(), cell->CellBackground());
    editor->Invalidate();
    testing::Pump();
    const int x = editor->Width() - 3, y = editor->Height() / 2;
    EXPECT_EQ(testing::PixelAt(editor, x, y), COLORREF(ColorToRGB(clRed)));
    // The selected look paints the selection colour instead.
    editor->SetSelectedLook(true);
    editor->Invalidate();
    testing::Pump();
    EXPECT_NE(testing::PixelAt(editor, x, y), COLORREF(ColorToRGB(clRed)));
    // Without a picture the editor has the cell's colour.
    editor->SetSelectedLook(false);
    Edit->DestroyInplaceEditor();
    cell->SetBackgroundImage(nullptr);
    ASSERT_TRUE(Table->OpenCellEditor(-1, 1, 1, false, false, true, false));
    Table->InplaceEditor()->Invalidate();
    testing::Pump();
    EXPECT_EQ(testing::PixelAt(Table->InplaceEditor(), x, y), COLORREF(ColorToRGB(clLime)));
}

} // namespace
} // namespace epc
