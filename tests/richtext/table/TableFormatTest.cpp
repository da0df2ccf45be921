#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "richtext/table/RVTable.h"
#include "tests/richtext/view/TestRVData.h"

namespace epc {
namespace {

using test::MakeFixedStyle;
using test::TTestRVData;

// A document in the fixed-metric face (10 pixels a character, 20 a line) holding one table.
struct TableDoc {
    std::unique_ptr<TRVStyle> Style = MakeFixedStyle();
    TTestRVData Doc{Style.get()};
    TRVTableItemInfo* Table = nullptr;

    TRVTableItemInfo* Add(int rows, int cols) {
        auto table = TRVTableItemInfo::CreateSized(rows, &Doc, cols);
        Table = table.get();
        Doc.AppendItem(std::string(), std::move(table));
        Table->Inserted(&Doc, Doc.ItemCount() - 1);
        return Table;
    }
    void Format(int docWidth) { Table->FormatForDocWidth(docWidth, Doc.GetCanvas(), true); }
    std::vector<int> ColWidths() const { return Table->Formatting().ColWidths.Values(); }
    std::vector<int> RowHeights() const { return Table->Formatting().RowHeights.Values(); }
};

void SetText(TRVTableCellData* cell, std::initializer_list<const char*> paragraphs) {
    cell->ClearAllItems();
    for (const char* p : paragraphs)
        cell->AddTextParagraph(p, 0, 0, TRVTag());
}

TEST(TableFormat, AutomaticTableFillsTheDocumentRemainderToTheRight) {
    TableDoc t;
    t.Add(1, 3);
    t.Format(201);
    EXPECT_EQ(t.ColWidths(), (std::vector<int>{62, 62, 63}));
    EXPECT_EQ(t.Table->GetFormattedWidth(), 201);
    EXPECT_EQ(t.Table->Formatting().ColStarts.Values(), (std::vector<int>{2, 68, 134}));
    EXPECT_EQ(t.Table->GetCell(0, 2)->Width, 65);
    // An empty text item is one line of the face: 20 pixels.
    EXPECT_EQ(t.RowHeights(), (std::vector<int>{20}));
    EXPECT_EQ(t.Table->GetFormattedHeight(), 26);
    EXPECT_EQ(t.Table->GetCell(0, 0)->Top, 2);
    EXPECT_EQ(t.Table->GetCell(0, 0)->Height, 22);
}

TEST(TableFormat, FixedColumnsIgnoreTheDocumentWidth) {
    TableDoc t;
    t.Add(1, 2);
    t.Table->SetCellBestWidth(50, 0, 0);
    t.Table->SetCellBestWidth(70, 0, 1);
    EXPECT_TRUE(t.Table->AreAllColumnsFixed());
    for (int docWidth : {300, 500}) {
        t.Format(docWidth);
        EXPECT_EQ(t.ColWidths(), (std::vector<int>{50, 70}));
        EXPECT_EQ(t.Table->GetFormattedWidth(), 130);
    }
}

TEST(TableFormat, PercentColumnAndFreeColumn) {
    TableDoc t;
    t.Add(1, 2);
    t.Table->SetCellBestWidth(-25, 0, 0);
    t.Format(408);
    EXPECT_EQ(t.ColWidths(), (std::vector<int>{98, 300}));
    EXPECT_EQ(t.Table->GetCell(0, 1)->Width, 302);
}

TEST(TableFormat, PercentagesAskingTooMuchAreScaledDown) {
    TableDoc t;
    t.Add(1, 2);
    t.Table->SetCellBestWidth(-60, 0, 0);
    t.Table->SetCellBestWidth(-60, 0, 1);
    t.Format(208);
    EXPECT_EQ(t.ColWidths(), (std::vector<int>{99, 99}));
    EXPECT_EQ(t.Table->GetFormattedWidth(), 208);
}

TEST(TableFormat, TablePercentageOfTheDocument) {
    TableDoc t;
    t.Add(1, 1);
    t.Table->SetBestWidth(-50);
    t.Format(300);
    EXPECT_EQ(t.Table->GetFormattedWidth(), 150);
    EXPECT_EQ(t.ColWidths(), (std::vector<int>{144}));
}

TEST(TableFormat, NarrowDocumentGivesAWiderTable) {
    TableDoc t;
    t.Add(1, 1);
    SetText(t.Table->GetCell(0, 0), {"abcdefghij"});
    EXPECT_EQ(t.Table->GetMinWidth(nullptr, t.Doc.GetCanvas(), &t.Doc), 106);
    t.Format(50);
    EXPECT_EQ(t.ColWidths(), (std::vector<int>{100}));
    EXPECT_EQ(t.Table->GetFormattedWidth(), 106);
}

TEST(TableFormat, HorizontalSpanWidensItsColumns) {
    TableDoc t;
    t.Add(2, 2);
    SetText(t.Table->GetCell(0, 0), {"abcdefghijklmnopqrst"});
    t.Table->MergeCells(0, 0, 2, 1, true);
    EXPECT_EQ(t.Table->GetMinWidth(nullptr, t.Doc.GetCanvas(), &t.Doc), 206);
    t.Format(100);
    EXPECT_EQ(t.ColWidths(), (std::vector<int>{98, 98}));
    EXPECT_EQ(t.Table->GetFormattedWidth(), 206);
    EXPECT_EQ(t.Table->GetCell(0, 0)->Width, 202);
    EXPECT_EQ(t.Table->GetCell(1, 1)->Left, 104);
}

TEST(TableFormat, VerticalSpanMakesRowsTallerInProportion) {
    TableDoc t;
    t.Add(2, 2);
    SetText(t.Table->GetCell(0, 0), {"a", "b", "c"});
    SetText(t.Table->GetCell(0, 1), {"a"});
    SetText(t.Table->GetCell(1, 1), {"b"});
    t.Table->MergeCells(0, 0, 1, 2, true);
    t.Format(200);
    EXPECT_EQ(t.RowHeights(), (std::vector<int>{28, 28}));
    EXPECT_EQ(t.Table->GetFormattedHeight(), 66);
    EXPECT_EQ(t.Table->GetCell(0, 0)->Height, 62);
    EXPECT_EQ(t.Table->Formatting().RowStarts.Values(), (std::vector<int>{2, 34}));
    EXPECT_EQ(t.Table->GetCell(1, 1)->Height, 30);
}

TEST(TableFormat, EmptyRowIsTenPixels) {
    TableDoc t;
    t.Add(2, 1);
    t.Table->GetCell(1, 0)->ClearAllItems();
    t.Format(100);
    EXPECT_EQ(t.RowHeights(), (std::vector<int>{20, 10}));
    EXPECT_EQ(t.Table->GetCell(1, 0)->Height, 12);
    t.Table->SetCellBestHeight(40, 1, 0);
    t.Format(100);
    EXPECT_EQ(t.RowHeights(), (std::vector<int>{20, 40}));
}

TEST(TableFormat, BordersAndSpacingScaleTheGaps) {
    TableDoc t;
    t.Add(1, 2);
    t.Table->SetBorderWidth(3);
    t.Table->SetCellBorderWidth(1);
    t.Table->SetCellHSpacing(5);
    t.Table->SetCellPadding(2);
    t.Format(200);
    // Extra = 5 + 2 x (3 + 2) + 2 x 2 x 1 = 19; room = 181 - 8 = 173 -> 86 + 87.
    EXPECT_EQ(t.ColWidths(), (std::vector<int>{86, 87}));
    // Gaps 2 x (2 x 3 + 5) = 22, 11 each; the first column starts at 3 + 2 + 1.
    EXPECT_EQ(t.Table->Formatting().ColStarts.Values(), (std::vector<int>{6, 103}));
    EXPECT_EQ(t.Table->GetCell(0, 1)->Left + t.Table->GetCell(0, 1)->Width + 1 + 2 + 3, 200);
}

TEST(TableFormat, NestedTableSizesItsCell) {
    TableDoc t;
    t.Add(1, 2);
    TRVTableCellData* cell = t.Table->GetCell(0, 0);
    cell->ClearAllItems();
    auto nested = TRVTableItemInfo::CreateSized(1, cell, 1);
    TRVTableItemInfo* inner = nested.get();
    cell->AppendItem(std::string(), std::move(nested));
    inner->Inserted(cell, 0);
    SetText(inner->GetCell(0, 0), {"abcde"});
    EXPECT_EQ(inner->GetMinWidth(nullptr, t.Doc.GetCanvas(), cell), 56);
    t.Format(200);
    EXPECT_EQ(t.ColWidths(), (std::vector<int>{123, 67}));
    EXPECT_EQ(inner->GetFormattedWidth(), 123);
    EXPECT_EQ(inner->Formatting().ColWidths.Values(), (std::vector<int>{117}));
    EXPECT_EQ(inner->GetFormattedHeight(), 26);
    EXPECT_EQ(t.RowHeights(), (std::vector<int>{26}));
    EXPECT_EQ(t.Table->GetFormattedHeight(), 32);
}

TEST(TableFormat, DocumentLayoutAsksTheTable) {
    TableDoc t;
    t.Doc.ClientWidth = 240;
    t.Add(1, 2);
    t.Doc.Format(false);
    ASSERT_EQ(t.Doc.DrawItems.Count(), 1);
    EXPECT_EQ(t.Doc.DrawItems[0]->Width, 240);
    EXPECT_EQ(t.Doc.DrawItems[0]->Height, 26);
    // Unchanged width and no change: the layout stands; a property change redoes it.
    t.Table->SetCellPadding(3);
    t.Doc.Format(false);
    EXPECT_EQ(t.Doc.DrawItems[0]->Height, 30);
}

// Cell items edited directly tell the table nothing: a forced format at the same width still
// lays it out again, while an unforced one keeps the layout.
TEST(TableFormat, ForcedFormatAtAnUnchangedWidthLaysTheTableOutAgain) {
    TableDoc t;
    t.Doc.ClientWidth = 240;
    t.Add(1, 2);
    t.Doc.Format(true);
    ASSERT_EQ(t.Doc.DrawItems[0]->Height, 26);
    t.Table->GetCell(0, 0)->AddTextParagraph("more", 0, 0, TRVTag());
    t.Table->GetCell(0, 1)->AddTextParagraph("a much longer line of text", 0, 0, TRVTag());
    t.Doc.Format(false);
    EXPECT_EQ(t.Doc.DrawItems[0]->Height, 26);
    t.Doc.Format(true);
    EXPECT_EQ(t.Doc.DrawItems[0]->Width, 240);
    EXPECT_EQ(t.RowHeights(), (std::vector<int>{80}));
    EXPECT_EQ(t.Doc.DrawItems[0]->Height, 86);
    EXPECT_GT(t.ColWidths()[1], t.ColWidths()[0]);
}

TEST(TableFormat, EmptyGrid) {
    TableDoc t;
    t.Add(0, 0);
    t.Table->SetBorderWidth(1);
    t.Format(100);
    EXPECT_EQ(t.Table->GetFormattedWidth(), 6);
    EXPECT_EQ(t.Table->GetFormattedHeight(), 6);
    EXPECT_EQ(t.Table->GetMinWidth(nullptr, t.Doc.GetCanvas(), &t.Doc), 6);
}

} // namespace
} // namespace epc

namespace epc {
namespace {

TEST(TableColours, CellColourFallsBackToTableParagraphAndDocument) {
    TableDoc t;
    t.Add(1, 2);
    t.Table->GetCell(0, 0)->Color = clRed;
    EXPECT_EQ(t.Table->GetCellColor(t.Table->GetCell(0, 0)), clRed);
    EXPECT_EQ(t.Table->GetCellColor(t.Table->GetCell(0, 1)), clWindow); // the table's
    t.Table->SetColor(clNone);
    EXPECT_EQ(t.Table->GetCellColor(t.Table->GetCell(0, 1)), clWindow); // the document's
    EXPECT_TRUE(t.Table->CellHasNoColor(t.Table->GetCell(0, 1)));
    EXPECT_FALSE(t.Table->CellHasNoColor(t.Table->GetCell(0, 0)));
    t.Style->ParaStyles.GetItem(0).Background.Color = clYellow;
    EXPECT_EQ(t.Table->GetCellColor(t.Table->GetCell(0, 1)), clYellow);
    EXPECT_EQ(t.Table->GetTableColor(false), clYellow);
}

TEST(TableRows, SpanBands) {
    TableDoc t;
    t.Add(5, 2);
    t.Table->MergeCells(1, 0, 1, 2, true);
    t.Table->MergeCells(2, 1, 1, 2, true);
    EXPECT_EQ(t.Table->GetSpanBandStart(3), 1);
    EXPECT_EQ(t.Table->GetSpanBandEnd(1), 3);
    EXPECT_EQ(t.Table->GetSpanBandEnd(0), 0);
    EXPECT_EQ(t.Table->GetSpanBandStart(4), 4);
}

TEST(TableCells, MinWidthAndEmptiness) {
    TableDoc t;
    t.Add(1, 1);
    TRVTableCellData* cell = t.Table->GetCell(0, 0);
    t.Style->ParaStyles.GetItem(0).LeftIndent = 7;
    t.Style->ParaStyles.GetItem(0).RightIndent = 3;
    EXPECT_EQ(cell->GetMinWidth(nullptr, t.Doc.GetCanvas()), 10); // indents of the empty item
    cell->ClearAllItems();
    EXPECT_EQ(cell->GetMinWidth(nullptr, t.Doc.GetCanvas()), 0);
    EXPECT_TRUE(cell->IsEmpty(true));
    cell->AddTextParagraph("", 0, 0, TRVTag());
    cell->GetItem(0)->ParaNo = 1;
    EXPECT_TRUE(cell->IsEmpty(false));
    EXPECT_FALSE(cell->IsEmpty(true));
}

} // namespace
} // namespace epc

namespace epc {
namespace {

TEST(TableHitTest, PointInACellFindsTheCellDocument) {
    TableDoc t;
    t.Doc.ClientWidth = 200;
    t.Doc.TopMargin = 10;
    t.Add(1, 2);
    SetText(t.Table->GetCell(0, 1), {"abc"});
    t.Table->GetCell(0, 1)->BestHeight = 60;
    t.Table->GetCell(0, 1)->VAlign = rvcBottom;
    t.Doc.Format(false);
    TRVTableCellData* cell = t.Table->GetCell(0, 1);
    int ox, oy;
    cell->GetOriginInRoot(ox, oy);
    EXPECT_EQ(ox, cell->Left + 1);
    EXPECT_EQ(oy, 10 + cell->Top + 1);
    // The text sits at the bottom of the 60-pixel content area.
    const int textTop = oy + cell->GetContentVOffset();
    EXPECT_EQ(cell->GetContentVOffset(), 40);
    TCustomRVFormattedData* hit = nullptr;
    int itemNo = -1, offs = -1;
    ASSERT_TRUE(t.Doc.GetItemAtPointEx(ox + 15, textTop + 5, hit, itemNo, offs));
    EXPECT_EQ(hit, cell);
    EXPECT_EQ(itemNo, 0);
    EXPECT_EQ(offs, 2);
}

} // namespace
} // namespace epc
