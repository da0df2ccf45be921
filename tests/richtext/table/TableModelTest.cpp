#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "platform/core/Strings.h"
#include "richtext/table/RVTable.h"
#include "tests/richtext/table/TableRandomSupport.h"
#include "tests/richtext/view/TestRVData.h"

namespace epc {
namespace {

std::string CellText(TRVTableCellData* cell) {
    std::string s;
    for (int i = 0; i < cell->ItemCount(); ++i)
        s += cell->GetItemText(i) + "|";
    return s;
}

void SetText(TRVTableCellData* cell, const std::string& text) {
    cell->ClearAllItems();
    cell->AddTextParagraph(text, 0, 0, TRVTag());
}

// Every position is covered by exactly one cell, and no span reaches beyond the grid.
::testing::AssertionResult CoveredOnce(const TRVTableRows& rows) {
    const int rc = rows.RowCount(), cc = rows.GetColCount();
    std::vector<int> cover(size_t(rc * cc), 0);
    for (int r = 0; r < rc; ++r) {
        if (rows.GetRow(r)->Count() != cc)
            return ::testing::AssertionFailure() << "row " << r << " has a different length";
        for (int c = 0; c < cc; ++c) {
            TRVTableCellData* cell = rows.GetRow(r)->Cell(c);
            if (!cell) continue;
            if (cell->RowSpan < 1 || cell->ColSpan < 1 || r + cell->RowSpan > rc ||
                c + cell->ColSpan > cc)
                return ::testing::AssertionFailure() << "span out of grid at " << r << "," << c;
            if (cell->Row() != rows.GetRow(r))
                return ::testing::AssertionFailure() << "cell does not know its row";
            for (int i = r; i < r + cell->RowSpan; ++i)
                for (int j = c; j < c + cell->ColSpan; ++j)
                    ++cover[size_t(i * cc + j)];
        }
    }
    for (int i = 0; i < rc * cc; ++i)
        if (cover[size_t(i)] != 1)
            return ::testing::AssertionFailure()
                   << "position " << i / cc << "," << i % cc << " covered " << cover[size_t(i)];
    for (int r = 0; r < rc; ++r)
        for (int c = 0; c < cc; ++c) {
            int mr, mc;
            if (!rows.GetMainCell(r, c, mr, mc))
                return ::testing::AssertionFailure() << "no main cell at " << r << "," << c;
        }
    return ::testing::AssertionSuccess();
}

TEST(TableItem, NewTableDefaults) {
    TRVTableItemInfo table(nullptr);
    EXPECT_EQ(table.StyleNo, rvsTable);
    ASSERT_EQ(table.RowCount(), 1);
    ASSERT_EQ(table.ColCount(), 1);
    TRVTableCellData* cell = table.GetCell(0, 0);
    ASSERT_EQ(cell->ItemCount(), 1);
    EXPECT_EQ(cell->GetItemText(0), "");
    EXPECT_TRUE(cell->IsEmpty(true));
    EXPECT_EQ(table.CellHSpacing(), 2);
    EXPECT_EQ(table.CellVSpacing(), 2);
    EXPECT_EQ(table.CellPadding(), 1);
    EXPECT_EQ(table.BorderWidth(), 0);
    EXPECT_EQ(table.CellBorderWidth(), 0);
    EXPECT_EQ(table.Color(), clWindow);
    EXPECT_EQ(table.BorderStyle(), rvtbRaised);
    EXPECT_EQ(table.CellBorderStyle(), rvtbLowered);
    EXPECT_EQ(table.Options.Bits(), 31u);
    EXPECT_EQ(table.PrintOptions.Bits(), 3u);
    EXPECT_EQ(cell->Color, clNone);
    EXPECT_EQ(cell->VAlign, rvcVDefault);
    EXPECT_EQ(cell->GetEffectiveVAlign(), rvcTop); // the row's rvcTop
    EXPECT_TRUE(cell->VisibleBorders.AllEqualTo(true));
    EXPECT_EQ(cell->GetTable(), &table);
}

TEST(TableItem, KindFlagsAndRegistry) {
    TRVTableItemInfo table(nullptr);
    EXPECT_TRUE(table.GetKindFlag(rvifChangesCanvasFont));
    EXPECT_TRUE(table.GetKindFlag(rvifCanChangeSize));
    EXPECT_TRUE(table.GetKindFlag(rvifHasSubDocuments));
    EXPECT_TRUE(table.IsFullLine());
    EXPECT_FALSE(table.GetStateFlag(rvisCanUseDeviceFit));
    RegisterTableItemClass();
    auto item = CreateRichViewItem(rvsTable, nullptr);
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->ClassName(), "TRVTableItemInfo");
}

TEST(TableItem, SizedConstructorAndRangeChecks) {
    auto table = TRVTableItemInfo::CreateSized(3, nullptr, 2);
    EXPECT_EQ(table->RowCount(), 3);
    EXPECT_EQ(table->ColCount(), 2);
    for (auto [r, c] : {std::pair{-1, 0}, {3, 0}, {0, 2}, {0, -1}}) {
        try {
            table->GetCell(r, c);
            FAIL() << r << "," << c;
        } catch (const ERichViewError& e) {
            EXPECT_STREQ(e.what(), "Invalid row or column index");
        }
        int mr, mc;
        EXPECT_THROW(table->Rows.GetMainCell(r, c, mr, mc), ERichViewError);
    }
    EXPECT_THROW(TRVTableItemInfo(-1, 2, nullptr), ERichViewError);
    EXPECT_THROW(table->SetCellBestWidth(10, 5, 0), ERichViewError);
}

TEST(TableMerge, TitleRowSpansBothColumns) {
    auto table = TRVTableItemInfo::CreateSized(2, nullptr, 2);
    table->MergeCells(0, 0, 2, 1, true);
    EXPECT_EQ(table->GetCell(0, 0)->ColSpan, 2);
    EXPECT_EQ(table->GetCell(0, 1), nullptr);
    int mr, mc;
    EXPECT_EQ(table->Rows.GetMainCell(0, 1, mr, mc), table->GetCell(0, 0));
    EXPECT_EQ(mr, 0);
    EXPECT_EQ(mc, 0);
    EXPECT_TRUE(CoveredOnce(table->Rows));
}

TEST(TableMerge, TwoByTwoKeepsTextsInRowOrder) {
    auto table = TRVTableItemInfo::CreateSized(3, nullptr, 3);
    const char* names[] = {"a", "b", "c", "d"};
    for (int i = 0; i < 4; ++i)
        SetText(table->GetCell(i / 2, i % 2), names[i]);
    table->MergeCells(0, 0, 2, 2, true);
    TRVTableCellData* cell = table->GetCell(0, 0);
    EXPECT_EQ(CellText(cell), "a|b|c|d|");
    EXPECT_EQ(cell->RowSpan, 2);
    EXPECT_EQ(cell->ColSpan, 2);
    EXPECT_EQ(table->GetCell(0, 1), nullptr);
    EXPECT_EQ(table->GetCell(1, 0), nullptr);
    EXPECT_EQ(table->GetCell(1, 1), nullptr);
    EXPECT_TRUE(CoveredOnce(table->Rows));
}

TEST(TableMerge, EmptyCellsAddNothing) {
    auto table = TRVTableItemInfo::CreateSized(1, nullptr, 3);
    SetText(table->GetCell(0, 0), "x");
    table->MergeCells(0, 0, 3, 1, true);
    EXPECT_EQ(CellText(table->GetCell(0, 0)), "x|");
}

TEST(TableMerge, DegenerateAndRefusedMerges) {
    auto table = TRVTableItemInfo::CreateSized(3, nullptr, 3);
    table->MergeCells(2, 2, 5, 5, true); // clips to 1 x 1: nothing
    EXPECT_EQ(table->GetCell(2, 2)->ColSpan, 1);
    table->MergeCells(0, 0, 1, 1, true);
    try {
        table->MergeCells(0, 0, 3, 0, true);
        FAIL();
    } catch (const ERichViewError& e) {
        EXPECT_STREQ(e.what(), "Parameters for cell merging are not correct");
    }
    EXPECT_THROW(table->MergeCells(3, 0, 2, 1, true), ERichViewError);
    EXPECT_THROW(table->MergeCells(0, -1, 2, 1, true), ERichViewError);
    table->MergeCells(0, 1, 2, 2, true);
    // Cuts through the merged cell: refused silently.
    table->MergeCells(0, 0, 2, 1, true);
    EXPECT_EQ(table->GetCell(0, 0)->ColSpan, 1);
    table->MergeCells(1, 0, 2, 2, true);
    EXPECT_EQ(table->GetCell(1, 0)->ColSpan, 1);
    // Without AllowMergeRC a merge that would leave a column without a cell is refused.
    auto narrow = TRVTableItemInfo::CreateSized(1, nullptr, 2);
    narrow->MergeCells(0, 0, 2, 1, false);
    EXPECT_EQ(narrow->GetCell(0, 0)->ColSpan, 1);
    EXPECT_TRUE(CoveredOnce(table->Rows));
}

// Column 1 has a cell of its own only in row 0 (row 1 is merged over it): merging it into
// column 0 in row 0 would leave it none. The rectangle and the row rule allow the merge.
TEST(TableMerge, RefusedByTheColumnRuleAlone) {
    auto table = TRVTableItemInfo::CreateSized(2, nullptr, 3);
    table->MergeCells(1, 0, 2, 1, true);
    table->MergeCells(0, 0, 2, 1, false);
    EXPECT_EQ(table->GetCell(0, 0)->ColSpan, 1);
    EXPECT_TRUE(table->GetCell(0, 1));
    // Column 2 keeps its cell in row 1: the same merge one column further is allowed.
    table->MergeCells(0, 1, 2, 1, false);
    EXPECT_EQ(table->GetCell(0, 1)->ColSpan, 2);
    // The same refused rectangle is allowed when merges may leave columns without cells.
    auto again = TRVTableItemInfo::CreateSized(2, nullptr, 3);
    again->MergeCells(1, 0, 2, 1, true);
    again->MergeCells(0, 0, 2, 1, true);
    EXPECT_EQ(again->GetCell(0, 0)->ColSpan, 2);
}

TEST(TableMerge, MergedBestWidth) {
    auto table = TRVTableItemInfo::CreateSized(2, nullptr, 2);
    table->GetCell(0, 0)->BestWidth = 40;
    table->GetCell(0, 1)->BestWidth = 60;
    table->GetCell(1, 0)->BestWidth = 150;
    EXPECT_EQ(table->Rows.GetMergedBestWidth(0, 0, 2, 2), 150);
    table->GetCell(1, 1)->BestWidth = -20;
    EXPECT_EQ(table->Rows.GetMergedBestWidth(0, 0, 2, 2), -20);
    table->GetCell(0, 1)->BestWidth = -30;
    EXPECT_EQ(table->Rows.GetMergedBestWidth(0, 0, 2, 2), -30);
    table->MergeCells(0, 0, 2, 2, true);
    EXPECT_EQ(table->GetCell(0, 0)->BestWidth, -30);
}

TEST(TableColumns, PercentColumnHasNoPixelBestWidth) {
    auto table = TRVTableItemInfo::CreateSized(2, nullptr, 2);
    table->GetCell(0, 0)->BestWidth = -50;
    table->GetCell(1, 0)->BestWidth = 120;
    EXPECT_TRUE(table->Rows.IsPercentColumn(0));
    EXPECT_EQ(table->Rows.GetColBestWidth(0), 0);
    EXPECT_EQ(table->Rows.GetColPercentWidth(0, 301), 150);
    EXPECT_FALSE(table->Rows.IsPercentColumn(1));
}

TEST(TableRows, InsertInsideAVerticalSpanGrowsIt) {
    auto table = TRVTableItemInfo::CreateSized(3, nullptr, 2);
    table->MergeCells(0, 0, 1, 2, true);
    table->InsertTableRows(1, 2, false, 0);
    EXPECT_EQ(table->RowCount(), 5);
    EXPECT_EQ(table->GetCell(0, 0)->RowSpan, 4);
    EXPECT_EQ(table->GetCell(1, 0), nullptr);
    EXPECT_NE(table->GetCell(1, 1), nullptr);
    EXPECT_TRUE(CoveredOnce(table->Rows));
    EXPECT_THROW(table->InsertTableRows(6, 1, false, -1), ERichViewError);
    EXPECT_THROW(table->InsertTableRows(0, 1, false, 5), ERichViewError);
    // No rows to insert changes nothing, but a bad index still raises.
    table->InsertTableRows(0, 0, false, -1);
    EXPECT_EQ(table->RowCount(), 5);
    EXPECT_THROW(table->InsertTableRows(6, 0, false, -1), ERichViewError);
}

TEST(TableRows, InsertCopiesAttributesAndSpread) {
    auto table = TRVTableItemInfo::CreateSized(2, nullptr, 3);
    table->MergeCells(0, 0, 2, 1, true);
    table->GetCell(0, 0)->Color = clRed;
    table->InsertTableRows(0, 1, false, 0);
    EXPECT_EQ(table->GetCell(0, 0)->Color, clRed);
    EXPECT_EQ(table->GetCell(0, 0)->ColSpan, 2);
    EXPECT_EQ(table->GetCell(0, 1), nullptr);
    EXPECT_TRUE(CoveredOnce(table->Rows));
}

TEST(TableRows, CopiedSpreadStopsAtAVerticalSpan) {
    auto table = TRVTableItemInfo::CreateSized(4, nullptr, 2);
    table->MergeCells(0, 0, 2, 1, true);
    table->MergeCells(1, 1, 1, 2, true);
    table->InsertTableRows(2, 1, false, 0);
    EXPECT_EQ(table->GetCell(2, 0)->ColSpan, 1);
    EXPECT_EQ(table->GetCell(1, 1)->RowSpan, 3);
    EXPECT_TRUE(CoveredOnce(table->Rows));
}

TEST(TableColumns, InsertAndDeleteAcrossSpans) {
    auto table = TRVTableItemInfo::CreateSized(2, nullptr, 3);
    table->MergeCells(0, 0, 3, 1, true);
    table->InsertColumns(1, 2, false, 0);
    EXPECT_EQ(table->ColCount(), 5);
    EXPECT_EQ(table->GetCell(0, 0)->ColSpan, 5);
    EXPECT_TRUE(CoveredOnce(table->Rows));
    table->GetCell(0, 0)->BestWidth = 100;
    table->DeleteColumns(0, 2, true);
    EXPECT_EQ(table->ColCount(), 3);
    EXPECT_TRUE(CoveredOnce(table->Rows));
    try {
        table->DeleteColumns(0, 4, false);
        FAIL();
    } catch (const ERichViewError& e) {
        EXPECT_STREQ(e.what(), "Invalid row or column index");
    }
    table->DeleteColumns(2, 9, false); // clipped
    EXPECT_EQ(table->ColCount(), 2);
    EXPECT_TRUE(CoveredOnce(table->Rows));
}

TEST(TableColumns, SplitAtColumnSharesBestWidth) {
    auto table = TRVTableItemInfo::CreateSized(1, nullptr, 4);
    table->MergeCells(0, 0, 4, 1, true);
    table->GetCell(0, 0)->BestWidth = 100;
    table->Rows.SplitCellAtColumn(0, 0, 1, true);
    EXPECT_EQ(table->GetCell(0, 0)->ColSpan, 1);
    EXPECT_EQ(table->GetCell(0, 0)->BestWidth, 25);
    EXPECT_EQ(table->GetCell(0, 1)->ColSpan, 3);
    EXPECT_EQ(table->GetCell(0, 1)->BestWidth, 75);
    EXPECT_THROW(table->Rows.SplitCellAtColumn(0, 1, 1, true), ERichViewError);
    EXPECT_THROW(table->Rows.SplitCellAtColumn(0, 1, 4, true), ERichViewError);
    EXPECT_TRUE(CoveredOnce(table->Rows));
}

TEST(TableRows, HeadingRowsValid) {
    auto table = TRVTableItemInfo::CreateSized(3, nullptr, 2);
    EXPECT_FALSE(table->HeadingRowsValid());
    table->SetHeadingRowCount(1);
    EXPECT_TRUE(table->HeadingRowsValid());
    table->MergeCells(0, 0, 1, 2, true);
    EXPECT_FALSE(table->HeadingRowsValid());
    table->SetHeadingRowCount(9);
    EXPECT_TRUE(table->HeadingRowsValid());
}

TEST(TableCells, NeighboursInReadingOrder) {
    auto table = TRVTableItemInfo::CreateSized(2, nullptr, 3);
    table->MergeCells(0, 1, 2, 1, true);
    int nc, nr;
    ASSERT_TRUE(table->GetNeighbourCell(0, 0, nc, nr, 2));
    EXPECT_EQ(nc, 1);
    ASSERT_TRUE(table->GetNeighbourCell(0, 1, nc, nr, 2));
    EXPECT_EQ(nr, 1);
    EXPECT_EQ(nc, 0);
    EXPECT_FALSE(table->GetNeighbourCell(0, 0, nc, nr, 7));
    EXPECT_FALSE(table->GetNeighbourCell(0, 0, nc, nr, 4));
    ASSERT_TRUE(table->GetNeighbourCell(1, 2, nc, nr, 1));
    EXPECT_EQ(nc, 1);
    EXPECT_FALSE(table->GetNeighbourCell(1, 0, nc, nr, 3));
    // Right from the end of a row: not when the cell reaches down to the last row.
    table->MergeCells(0, 1, 2, 2, true);
    EXPECT_FALSE(table->GetNeighbourCell(0, 1, nc, nr, 2));
    EXPECT_TRUE(table->GetNeighbourCell(0, 1, nc, nr, 6));
}

TEST(TableProperties, PlainStoreOutsideADocument) {
    TRVTableItemInfo table(nullptr);
    table.NeedsLayout = false;
    table.SetCellPadding(4);
    EXPECT_EQ(table.CellPadding(), 4);
    EXPECT_TRUE(table.NeedsLayout);
    EXPECT_TRUE(table.SetPropertyByName("BorderWidth", 3));
    EXPECT_EQ(table.BorderWidth(), 3);
    EXPECT_TRUE(table.SetPropertyByName("CellBorderStyle", rvtbColor));
    EXPECT_EQ(table.CellBorderStyle(), rvtbColor);
    EXPECT_FALSE(table.SetPropertyByName("CellBorderStyle", 9));
    EXPECT_FALSE(table.SetPropertyByName("NoSuchProperty", 1));
    table.SetCellIntProperty(-1, "VAlign", false, false, 0, 0, rvcBottom);
    EXPECT_EQ(table.GetCell(0, 0)->VAlign, rvcBottom);
    table.SetCellIntProperty(-1, "VAlign", false, false, 0, 0, 77); // out of range: ignored
    EXPECT_EQ(table.GetCell(0, 0)->VAlign, rvcBottom);
    table.SetCellVisibleBorders(-1, false, true, false, true, 0, 0);
    EXPECT_TRUE(table.GetCell(0, 0)->VisibleBorders.EqualsValues(false, true, false, true));
}

TEST(TableText, CellsWithSeparators) {
    auto table = TRVTableItemInfo::CreateSized(2, nullptr, 2);
    SetText(table->GetCell(0, 0), "a");
    SetText(table->GetCell(0, 1), "b");
    SetText(table->GetCell(1, 0), "c");
    table->TextColSeparator = "\t";
    table->TextRowSeparator = "\n";
    EXPECT_EQ(table->GetTableAsText(false), "a\tb\nc\t\n");
    // A cell's own empty last line is part of its text.
    table->GetCell(1, 1)->AddTextParagraph("d", 0, 0, TRVTag());
    table->GetCell(1, 1)->AddTextParagraph("", 0, 0, TRVTag());
    EXPECT_EQ(table->GetTableAsText(false), "a\tb\nc\t\r\nd\r\n\n");
}

// 16-bit text converts the 8-bit separators with the document's code page.
TEST(TableText, UnicodeSeparatorsUseTheDocumentsCodePage) {
    std::unique_ptr<TRVStyle> style = test::MakeFixedStyle();
    style->DefCodePage = 1251;
    test::TTestRVData data(style.get());
    TRVTableItemInfo* table = test::AppendTable(&data, 1, 2);
    table->TextColSeparator = "\xE9";
    table->TextRowSeparator = "\r\n";
    const std::string text = table->GetTableAsText(true);
    EXPECT_EQ(BytesToWide(text), u"\x0439\r\n");
}

// In a viewer's document the chosen cell holds the inner selection; it is validated on use.
TEST(TableCells, ChosenCellSelectionAndItsEnd) {
    std::unique_ptr<TRVStyle> style = test::MakeFixedStyle();
    test::TTestRVData data(style.get());
    TRVTableItemInfo* table = test::AppendTable(&data, 2, 2);
    SetText(table->GetCell(1, 0), "text");
    table->MergeCells(1, 0, 2, 1, true);
    data.Format(true);
    table->ChooseCell(1, 1); // covered: its main cell is chosen
    int row, col;
    table->GetChosenCell(row, col);
    EXPECT_EQ(std::vector<int>({row, col}), std::vector<int>({1, 0}));
    EXPECT_FALSE(table->ChosenCellHasSelection());
    TRVTableCellData* cell = table->GetCell(1, 0);
    cell->SetSelectionBounds(0, 0, 1, 3);
    EXPECT_TRUE(table->ChosenCellHasSelection());
    table->DeselectChosenCell();
    table->GetChosenCell(row, col);
    EXPECT_EQ(row, -1);
    EXPECT_FALSE(cell->SelectionExists(false, false));
    EXPECT_FALSE(table->ChosenCellHasSelection());
    // A chosen cell that the grid lost is forgotten.
    table->ChooseCell(1, 0);
    table->Rows.DeleteRows(1, 1);
    EXPECT_FALSE(table->ChosenCellHasSelection());
    table->GetChosenCell(row, col);
    EXPECT_EQ(row, -1);
    table->ChooseCell(0, 1);
    table->UnchooseCell();
    table->GetChosenCell(row, col);
    EXPECT_EQ(col, -1);
    // A stored cell position copies itself.
    TRVTableStoreSubRVData store(3, 4);
    auto copy = store.Duplicate();
    auto* same = dynamic_cast<TRVTableStoreSubRVData*>(copy.get());
    ASSERT_TRUE(same);
    EXPECT_EQ(same->Row * 10 + same->Col, 34);
}

// Random edits of random grids keep every position covered by exactly one cell.
TEST(TableProperty, RandomEditsKeepTheGridCovered) {
    std::mt19937 rng(12345);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    for (int round = 0; round < 400; ++round) {
        auto table = TRVTableItemInfo::CreateSized(pick(1, 5), nullptr, pick(1, 5));
        for (int step = 0; step < 60; ++step) {
            const int rc = table->RowCount(), cc = table->ColCount();
            const int op = pick(0, 6);
            try {
                switch (op) {
                case 0:
                case 1:
                    table->MergeCells(pick(-1, rc), pick(-1, cc), pick(-1, 4), pick(-1, 4),
                                      pick(0, 1) == 1);
                    break;
                case 2: {
                    if (rc == 0 || cc == 0) break;
                    const int r = pick(0, rc - 1), c = pick(0, cc - 1);
                    TRVTableCellData* cell = table->GetCell(r, c);
                    const int span = cell ? cell->ColSpan : 1;
                    table->Rows.SplitCellAtColumn(r, c, c + pick(0, span), pick(0, 1) == 1);
                    break;
                }
                case 3:
                    table->InsertTableRows(pick(-1, rc + 1), pick(0, 3), false, pick(-2, rc));
                    break;
                case 4:
                    table->InsertColumns(pick(-1, cc + 1), pick(0, 3), false, pick(-2, cc));
                    break;
                case 5:
                    table->DeleteRows(pick(-1, rc), pick(0, 3));
                    break;
                case 6:
                    table->DeleteColumns(pick(-1, cc), pick(0, 3), pick(0, 1) == 1);
                    break;
                }
            } catch (const ERichViewError&) {
                // Refused input; the grid must still be sound.
            }
            ASSERT_TRUE(CoveredOnce(table->Rows))
                << "round " << round << " step " << step << " op " << op;
            if (table->Rows.IsEmpty()) break;
        }
    }
}

} // namespace
} // namespace epc
