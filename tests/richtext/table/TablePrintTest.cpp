#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "richtext/table/RVTable.h"
#include "tests/richtext/view/TestRVData.h"

namespace epc {
namespace {

using test::MakeFixedStyle;
using test::TTestRVData;

struct Printed {
    std::unique_ptr<TRVStyle> Style = MakeFixedStyle();
    TTestRVData Doc{Style.get()};
    TRVTableItemInfo* Table = nullptr;
    std::unique_ptr<TRVTablePrintInfo> Info;
    Printed(int rows, int cols, int rowHeight) {
        auto table = TRVTableItemInfo::CreateSized(rows, &Doc, cols);
        Table = table.get();
        Doc.AppendItem(std::string(), std::move(table));
        Table->Inserted(&Doc, 0);
        for (int r = 0; r < rows; ++r)
            Table->GetCell(r, 0)->BestHeight = rowHeight;
    }
    void Lay() {
        Table->FormatForDocWidth(300, Doc.GetCanvas(), true);
        Info = std::make_unique<TRVTablePrintInfo>(Table);
        Info->Height = Table->GetFormattedHeight();
        // As the pager starts: one part of the whole height.
        auto whole = std::make_unique<TRVImagePrintPart>();
        whole->Height = Info->Height;
        Info->PartsList.Add(std::move(whole));
    }
    // Splits as the pager does, every page PageHeight high; the parts' rows.
    std::string Paginate(int pageHeight) {
        int guard = 0;
        while (Info->SplitAt(pageHeight) && ++guard < 1000) {
        }
        std::string s;
        for (int i = 0; i < Info->PartsList.Count(); ++i) {
            TRVTablePrintPart* p = Info->Part(i);
            s += std::to_string(p->FirstRow) + "+" + std::to_string(p->RowCount) + " ";
            EXPECT_LE(p->Height, pageHeight);
        }
        return s;
    }
};

TEST(TablePrint, SplitsBetweenRowsWithHeadingsRepeated) {
    Printed t(10, 2, 30);
    t.Table->SetHeadingRowCount(1);
    t.Lay();
    ASSERT_TRUE(t.Info->CanSplit());
    EXPECT_EQ(t.Info->RepeatedHeadingRows(), 1);
    const auto& fi = t.Table->Formatting();
    const int rowStep = fi.RowStarts[2] - fi.RowStarts[1];
    // Room for the heading and three body rows per page.
    const int page = t.Info->PartHeight(0, 4) + rowStep / 2;
    EXPECT_EQ(t.Paginate(page), "1+3 4+3 7+3 ");
    // Later parts count the repeated heading in.
    EXPECT_EQ(t.Info->PartHeight(4, 3), t.Info->PartHeight(0, 4));
}

TEST(TablePrint, WithoutRowSplittingTheTableStaysWhole) {
    Printed t(10, 1, 30);
    t.Table->PrintOptions.Exclude(TRVTablePrintOption::rvtoRowsSplit);
    t.Lay();
    EXPECT_FALSE(t.Info->CanSplit());
    EXPECT_FALSE(t.Info->FitsFirstPart(1000000));
}

TEST(TablePrint, HeadingCountAboveRowCountIsCut) {
    Printed t(3, 1, 30);
    t.Table->SetHeadingRowCount(20);
    t.Lay();
    // All rows are headings: nothing is repeated, every row is a body row.
    EXPECT_EQ(t.Info->RepeatedHeadingRows(), 0);
    const int page = t.Info->PartHeight(0, 1) + 1;
    EXPECT_EQ(t.Paginate(page), "0+1 1+1 2+1 ");
}

TEST(TablePrint, RowTallerThanAPageGoesAloneAndPaginationEnds) {
    Printed t(4, 1, 20);
    t.Table->GetCell(1, 0)->BestHeight = 500;
    t.Lay();
    const int page = t.Info->PartHeight(0, 1) + 40;
    EXPECT_EQ(t.Paginate(page), "0+1 1+1 2+2 ");
}

TEST(TablePrint, SpanningCellsAreNotCut) {
    Printed t(8, 2, 30);
    t.Table->MergeCells(3, 1, 1, 3, true); // rows 3..5
    t.Lay();
    const int page = t.Info->PartHeight(0, 5); // would end inside the span
    const std::string parts = t.Paginate(page);
    EXPECT_EQ(parts.substr(0, 4), "0+3 ");
    EXPECT_NE(parts.find("3+"), std::string::npos);
    // A heading row whose cell spans into the body is not repeated.
    Printed h(4, 1, 30);
    h.Table->SetHeadingRowCount(1);
    h.Table->MergeCells(0, 0, 1, 2, true);
    h.Lay();
    EXPECT_EQ(h.Info->RepeatedHeadingRows(), 0);
}

TEST(TablePrint, SplitWithoutPartsIsAnInternalError) {
    Printed t(2, 1, 30);
    t.Table->FormatForDocWidth(300, t.Doc.GetCanvas(), true);
    TRVTablePrintInfo info(t.Table);
    EXPECT_THROW(info.SplitAt(10), ERichViewError);
}

} // namespace
} // namespace epc
