// The chosen cell and the cell editor when the grid changes under them: a cell that leaves the
// grid is forgotten by the documents above it, inserting nothing changes nothing, and clearing
// the document closes an open cell editor.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "richtext/table/RVTableInplace.h"
#include "richtext/view/RVRVData.h"
#include "richtext/view/RichView.h"
#include "tests/richtext/table/TableEditSupport.h"
#include "tests/richtext/table/TableHostSupport.h"

namespace epc {
namespace {

class TableChosenCell : public test::TableHostFixture {
protected:
    void SetUp() override {
        View = NewHost<TRichView>(360, 260);
        Style->TextStyles[0].FontName = "Fixed Metrics Test";
        Style->TextStyles[0].Size = 15;
        TFontInfo& link = Style->TextStyles.Add();
        link.FontName = "Fixed Metrics Test";
        link.Size = 15;
        link.Jump = true;
        auto table = TRVTableItemInfo::CreateSized(3, View->RVData(), 3);
        Table = table.get();
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 3; ++c) {
                TRVTableCellData* cell = Table->GetCell(r, c);
                cell->ClearAllItems();
                // The middle row holds links.
                cell->AddTextParagraph(std::to_string(r) + "," + std::to_string(c), r == 1 ? 1 : 0,
                                       0, TRVTag());
            }
        ShowTable(View, std::move(table));
    }
    TCustomRVFormattedData* Active() { return View->RVData()->GetActiveSubData(); }
    // The client point at the middle of the first line of a cell.
    TPoint TextOf(int row, int col) {
        TRVTableCellData* cell = Table->GetCell(row, col);
        int ox = 0, oy = 0;
        cell->GetOriginInRoot(ox, oy);
        const TRVDrawLineInfo* line = cell->DrawItems[0];
        return TPoint(ox + line->Left + 5 - View->HScrollPos(),
                      oy + line->Top + line->Height / 2 - View->VScrollPos());
    }

    TRichView* View = nullptr;
    TRVTableItemInfo* Table = nullptr;
};

// Choosing a cell makes it the viewer's active sub-document. When it leaves the grid (its row
// deleted, merged away) the viewer no longer points at it, and formatting and the mouse are
// safe; a hovered link of a deleted row is forgotten too.
TEST_F(TableChosenCell, ACellLeavingTheGridIsForgottenByTheViewer) {
    Table->ChooseCell(1, 2);
    EXPECT_EQ(Active(), Table->GetCell(1, 2));
    const TPoint link = TextOf(1, 0);
    testing::MoveMouse(View, link.X, link.Y);
    ASSERT_EQ(Table->GetCell(1, 0)->LastJumpMovedAbove, Table->GetCell(1, 0)->GetItem(0)->JumpID);
    Table->DeleteRows(1, 1);
    EXPECT_EQ(Active(), nullptr);
    testing::MoveMouse(View, link.X + 1, link.Y + 20);
    View->Format();
    testing::Pump();
    ASSERT_EQ(Table->RowCount(), 2);

    // Merged away, then its column deleted.
    Table->ChooseCell(0, 1);
    EXPECT_EQ(Active(), Table->GetCell(0, 1));
    Table->MergeCells(0, 0, 2, 1, true);
    EXPECT_NE(Active(), Table->GetCell(0, 0));
    EXPECT_EQ(Active(), nullptr);
    Table->DeleteColumns(2, 1, false);
    View->Format();
    testing::Pump();
    // The remembered cell is checked before it is used: choosing again reaches the viewer.
    Table->ChooseCell(1, 1);
    EXPECT_EQ(Active(), Table->GetCell(1, 1));
    Table->ChooseCell(0, 1);
    EXPECT_EQ(Active(), Table->GetCell(0, 0));
}

class TableChosenCellEditor : public test::TableEditFixture {};

// In an editor that records no undo, the cell whose editor closed with a selection stays the
// active sub-document until its row is deleted; then it is forgotten.
TEST_F(TableChosenCellEditor, DeletingTheRowOfACellLeftWithASelectionIsSafeWithoutUndo) {
    Edit->SetUndoLimit(0);
    Table->EditCell(1, 1);
    ASSERT_TRUE(Table->InplaceEditor());
    Table->InplaceEditor()->SelectAll();
    Edit->DestroyInplaceEditor();
    ASSERT_EQ(Data()->GetActiveSubData(), Table->GetCell(1, 1));
    Table->DeleteRows(1, 1);
    EXPECT_EQ(Data()->GetActiveSubData(), nullptr);
    Edit->Format();
    testing::Pump();
    EXPECT_EQ(Table->RowCount(), 2);
    EXPECT_EQ(CellText(1, 1), "2,1");
}

// Inserting no rows or columns changes nothing: the cell editor stays open, nothing is
// recorded, and bad indices still raise.
TEST_F(TableChosenCellEditor, InsertingNothingChangesNothing) {
    Table->EditCell(1, 1);
    testing::TypeText("x");
    const std::string before = State();
    const int groups = Groups();
    Table->InsertTableRows(1, 0, false, -1);
    Table->InsertColumns(1, 0, true, 0);
    EXPECT_TRUE(Table->InplaceEditor());
    EXPECT_EQ(State(), before);
    EXPECT_EQ(Groups(), groups);
    EXPECT_THROW(Table->InsertTableRows(4, 0, false, -1), ERichViewError);
    EXPECT_THROW(Table->InsertColumns(0, 0, false, 3), ERichViewError);
}

// Clearing the document closes an open cell editor: OnCellEndEdit fires once, as clearing.
TEST_F(TableChosenCellEditor, ClearingTheDocumentClosesTheCellEditor) {
    std::vector<std::string> ends;
    Table->OnCellEndEdit = [&](TRVTableItemInfo*, int row, int col, bool clearing) {
        ends.push_back(std::to_string(row) + "," + std::to_string(col) + (clearing ? " c" : ""));
    };
    Table->EditCell(1, 1);
    testing::TypeText("typed");
    ASSERT_TRUE(Table->InplaceEditor());
    Edit->ClearDocument();
    testing::Pump();
    EXPECT_EQ(ends, std::vector<std::string>{"1,1 c"});
    EXPECT_FALSE(Edit->InplaceEdit());
    EXPECT_EQ(Data()->ItemCount(), 0);
}

} // namespace
} // namespace epc
