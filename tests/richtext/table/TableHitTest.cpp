#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "richtext/table/RVTable.h"
#include "tests/richtext/view/TestRVData.h"

namespace epc {
namespace {

using test::MakeFixedStyle;
using test::TTestRVData;

struct Laid {
    std::unique_ptr<TRVStyle> Style = MakeFixedStyle();
    TTestRVData Doc{Style.get()};
    TRVTableItemInfo* Table = nullptr;
    Laid(int rows, int cols) {
        auto table = TRVTableItemInfo::CreateSized(rows, &Doc, cols);
        Table = table.get();
        Doc.AppendItem(std::string(), std::move(table));
        Table->Inserted(&Doc, 0);
        Doc.SetOptions(TRVOptions{TRVOption::rvoAllowSelection});
    }
    void Format(int width = 300) { Table->FormatForDocWidth(width, Doc.GetCanvas(), true); }
};

TEST(TableHit, ColAndRowAtAnswerTheLastColumnAndRowInsideThem) {
    Laid t(2, 3);
    t.Format();
    const auto& fi = t.Table->Formatting();
    EXPECT_EQ(t.Table->GetColAt(fi.ColStarts[0] - 1), -1);
    EXPECT_EQ(t.Table->GetColAt(fi.ColStarts[0]), 0);
    EXPECT_EQ(t.Table->GetColAt(fi.ColStarts[1] - 1), 0);
    EXPECT_EQ(t.Table->GetColAt(fi.ColStarts[2] + fi.ColWidths[2] / 2), 2);
    EXPECT_EQ(t.Table->GetRowAt(fi.RowStarts[1] + 1), 1);
    EXPECT_EQ(t.Table->GetRowAt(fi.RowStarts[0] - 1), -1);
}

TEST(TableHit, BorderZonesWithTheirTolerance) {
    Laid t(2, 2);
    t.Table->SetCellBorderWidth(0);
    t.Table->SetCellHSpacing(2);
    t.Format();
    const auto& fi = t.Table->Formatting();
    const int centre = fi.ColStarts[1] - 1; // (2 + 1) / 2 before the column
    EXPECT_EQ(t.Table->GetColBorderAt(centre + 2), 1);
    EXPECT_EQ(t.Table->GetColBorderAt(centre - 2), 1);
    EXPECT_EQ(t.Table->GetColBorderAt(centre + 3), -1);
    EXPECT_EQ(t.Table->GetColBorderAt(0), 0);
    EXPECT_EQ(t.Table->GetColBorderAt(fi.Width - 1), 2);
    EXPECT_EQ(t.Table->GetRowBorderAt(fi.Height - 1), 2);
    EXPECT_EQ(t.Table->GetRowBorderAt(fi.RowStarts[1] + fi.RowHeights[1] / 2), -1);
}

TEST(TableHit, CellAtFindsCellsAndSkipsTheirEdges) {
    Laid t(2, 2);
    t.Format();
    int r = -1, c = -1;
    TRVTableCellData* cell = t.Table->GetCell(1, 1);
    ASSERT_TRUE(t.Table->GetCellAt(cell->Left + 1, cell->Top + 1, r, c));
    EXPECT_EQ(r, 1);
    EXPECT_EQ(c, 1);
    // Again through the remembered cell, then another one.
    ASSERT_TRUE(t.Table->GetCellAt(cell->Left + cell->Width - 2, cell->Top + 2, r, c));
    EXPECT_EQ(c, 1);
    TRVTableCellData* first = t.Table->GetCell(0, 0);
    ASSERT_TRUE(t.Table->GetCellAt(first->Left + 2, first->Top + 2, r, c));
    EXPECT_EQ(r, 0);
    EXPECT_EQ(c, 0);
    EXPECT_FALSE(t.Table->GetCellAt(cell->Left, cell->Top, r, c));
}

TEST(TableHit, SelectionWidensToCoveringCells) {
    Laid t(3, 3);
    t.Table->MergeCells(0, 1, 2, 2, true); // (0,1)..(1,2)
    t.Table->Select(1, 0, 0, 1);           // (1,0)..(1,1) touches the merged cell
    int top, left, rows, cols;
    ASSERT_TRUE(t.Table->GetNormalizedSelectionBounds(top, left, rows, cols));
    EXPECT_EQ(top, 0);
    EXPECT_EQ(left, 0);
    EXPECT_EQ(rows, 2);
    EXPECT_EQ(cols, 3);
    EXPECT_TRUE(t.Table->IsCellSelected(0, 1));
    EXPECT_TRUE(t.Table->IsCellSelected(0, 0));
    EXPECT_FALSE(t.Table->IsCellSelected(2, 0));
    EXPECT_TRUE(t.Table->IsCellSelected(0, 2)); // covered: its covering cell is selected
    t.Table->SelectCols(2, 1);
    ASSERT_TRUE(t.Table->GetNormalizedSelectionBounds(top, left, rows, cols));
    EXPECT_EQ(left, 1);
    EXPECT_EQ(rows, 3);
    t.Table->SelectRows(2, 1);
    EXPECT_TRUE(t.Table->IsCellSelected(2, 2));
    EXPECT_FALSE(t.Table->IsCellSelected(1, 0));
    t.Table->Deselect();
    EXPECT_FALSE(t.Table->HasCellSelection());
    EXPECT_FALSE(t.Table->IsCellSelected(2, 2));
}

// A cell selection needs a document that allows selection; cells it leaves out lose their own
// text selection.
TEST(TableHit, SelectNeedsSelectionAndClearsTextOutsideTheRectangle) {
    Laid t(2, 2);
    for (int r = 0; r < 2; ++r)
        for (int c = 0; c < 2; ++c)
            t.Table->GetCell(r, c)->AddTextParagraph("text", 0, 0, TRVTag());
    t.Doc.Format(true);
    auto selectText = [&](int r, int c) { t.Table->GetCell(r, c)->SetSelectionBounds(1, 1, 1, 3); };
    selectText(0, 0);
    selectText(0, 1);
    selectText(1, 1);
    t.Table->Select(0, 0, 1, 0);                                        // column 0
    EXPECT_TRUE(t.Table->GetCell(0, 0)->SelectionExists(false, false)); // the start cell keeps it
    EXPECT_FALSE(t.Table->GetCell(0, 1)->SelectionExists(false, false));
    EXPECT_FALSE(t.Table->GetCell(1, 1)->SelectionExists(false, false));
    t.Table->Deselect();
    t.Doc.SetOptions(TRVOptions());
    t.Table->Select(0, 0, 1, 1);
    EXPECT_FALSE(t.Table->HasCellSelection());
    t.Table->SelectRows(0, 1);
    EXPECT_FALSE(t.Table->HasCellSelection());
}

TEST(TableHit, PercentResizeKeepsTheOldWidthWithoutContentWidth) {
    Laid t(1, 2);
    // Never laid out: no content width to divide by.
    EXPECT_EQ(t.Table->PercentWidthAfterResize(50, -30), -30);
    t.Format(400);
    const int columns = t.Table->GetFormattedWidth() - t.Table->GetExtraWidth();
    const int padding = 2 * t.Table->CellPadding();
    EXPECT_EQ(t.Table->PercentWidthAfterResize(columns / 4 - padding, -30),
              -(columns / 4 * 100) / columns);
    EXPECT_EQ(t.Table->PercentWidthAfterResize(-5, -30), -1);
}

} // namespace
} // namespace epc
