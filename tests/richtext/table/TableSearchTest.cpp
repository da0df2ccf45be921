// Searching text through a table's cells, nested tables included, down and up.

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "richtext/table/RVTable.h"
#include "tests/richtext/table/TableRandomSupport.h"
#include "tests/richtext/view/TestRVData.h"

namespace epc {
namespace {

using test::AppendTable;

void Texts(TRVTableCellData* cell, std::initializer_list<const char*> texts) {
    cell->ClearAllItems();
    for (const char* text : texts)
        cell->AddTextParagraph(text, 0, 0, TRVTag());
}

// Where the last find lies: "row,col:item@offset", with the nested table's find after a ">".
std::string Found(const TRVTableItemInfo* t) {
    int row, col;
    t->GetSearchCell(row, col);
    if (row < 0) return "none";
    TRVTableCellData* cell = t->GetCell(row, col);
    int item, start, end;
    cell->GetSearchFind(item, start, end);
    std::string s = std::to_string(row) + "," + std::to_string(col) + ":" + std::to_string(item);
    if (auto* nested = dynamic_cast<TRVTableItemInfo*>(cell->GetItem(item)))
        return s + ">" + Found(nested);
    return s + "@" + std::to_string(start);
}

std::vector<std::string> SearchAll(TRVTableItemInfo* t, bool down, TRVSearchOptions options,
                                   const std::u16string& text) {
    std::vector<std::string> finds;
    while (t->SearchText(down, options, text) && finds.size() < 50)
        finds.push_back(Found(t));
    return finds;
}

// A 3 x 2 table: the last row merged, a nested 1 x 2 table between two paragraphs of (0,1).
struct SearchDoc {
    std::unique_ptr<TRVStyle> Style = test::MakeFixedStyle();
    test::TTestRVData Data{Style.get()};
    TRVTableItemInfo* Table = AppendTable(&Data, 3, 2);
    SearchDoc() {
        Texts(Table->GetCell(0, 0), {"ab xab"});
        TRVTableCellData* host = Table->GetCell(0, 1);
        Texts(host, {"AB"});
        TRVTableItemInfo* nested = AppendTable(host, 1, 2);
        Texts(nested->GetCell(0, 0), {"none"});
        Texts(nested->GetCell(0, 1), {"cab"});
        host->AddTextParagraph("ab", 0, 0, TRVTag());
        Texts(Table->GetCell(1, 0), {"zz"});
        Texts(Table->GetCell(1, 1), {"ab"});
        Table->MergeCells(2, 0, 2, 1, true);
        Texts(Table->GetCell(2, 0), {"x", "abab"});
    }
};

TEST(TableSearch, FindsEveryCellDownAndUpNestedTablesIncluded) {
    SearchDoc d;
    const std::vector<std::string> down = {"0,0:0@1", "0,0:0@5", "0,1:0@1", "0,1:1>0,1:0@2",
                                           "0,1:2@1", "1,1:0@1", "2,0:1@1", "2,0:1@3"};
    EXPECT_EQ(SearchAll(d.Table, true, {}, u"ab"), down);
    // At the end the table forgets the search: the next one starts over.
    EXPECT_EQ(Found(d.Table), "none");
    EXPECT_TRUE(d.Table->SearchText(true, {}, u"ab"));
    EXPECT_EQ(Found(d.Table), down.front());
    d.Table->ResetSearch();
    // Up starts in the last cell in reading order (the merged row's first).
    const std::vector<std::string> up(down.rbegin(), down.rend());
    EXPECT_EQ(SearchAll(d.Table, false, {}, u"ab"), up);
    // A search may turn round: up from the second find gives the first.
    d.Table->ResetSearch();
    d.Table->SearchText(true, {}, u"ab");
    d.Table->SearchText(true, {}, u"ab");
    ASSERT_TRUE(d.Table->SearchText(false, {}, u"ab"));
    EXPECT_EQ(Found(d.Table), down.front());
}

TEST(TableSearch, ResetSearchStartsOverFromInsideANestedTable) {
    SearchDoc d;
    for (int k = 0; k < 4; ++k)
        d.Table->SearchText(true, {}, u"ab");
    ASSERT_EQ(Found(d.Table), "0,1:1>0,1:0@2");
    d.Table->ResetSearch();
    EXPECT_EQ(Found(d.Table), "none");
    ASSERT_TRUE(d.Table->SearchText(true, {}, u"ab"));
    EXPECT_EQ(Found(d.Table), "0,0:0@1");
    // The nested table forgot its place too: it is searched from its first cell again.
    for (int k = 0; k < 3; ++k)
        d.Table->SearchText(true, {}, u"ab");
    EXPECT_EQ(Found(d.Table), "0,1:1>0,1:0@2");
}

TEST(TableSearch, CaseAndWholeWords) {
    SearchDoc d;
    EXPECT_EQ(SearchAll(d.Table, true, {TRVSearchOption::rvsoMatchCase}, u"AB"),
              (std::vector<std::string>{"0,1:0@1"}));
    EXPECT_EQ(SearchAll(d.Table, true, {TRVSearchOption::rvsoWholeWord}, u"ab"),
              (std::vector<std::string>{"0,0:0@1", "0,1:0@1", "0,1:2@1", "1,1:0@1"}));
    EXPECT_EQ(SearchAll(d.Table, false, {TRVSearchOption::rvsoWholeWord}, u"ab"),
              (std::vector<std::string>{"1,1:0@1", "0,1:2@1", "0,1:0@1", "0,0:0@1"}));
    EXPECT_FALSE(d.Table->SearchText(true, {}, u"abc"));
    EXPECT_FALSE(d.Table->SearchText(true, {}, u""));
}

// Every cell is searched once in either direction, also where a merged cell comes before cells
// of later rows: with (1,1)-(2,2) merged, (2,0) follows the merged cell in reading order.
TEST(TableSearch, UpAndDownVisitEveryCellOnceAroundMergedCells) {
    std::mt19937 rng(7);
    for (int round = 0; round < 40; ++round) {
        std::unique_ptr<TRVStyle> style = test::MakeFixedStyle();
        test::TTestRVData data(style.get());
        const int rows = round == 0 ? 3 : 1 + int(rng() % 4);
        const int cols = round == 0 ? 3 : 1 + int(rng() % 4);
        TRVTableItemInfo* t = AppendTable(&data, rows, cols);
        if (round == 0)
            t->MergeCells(1, 1, 2, 2, true);
        else
            test::MergeRandomly(rng, *t, rows, cols, int(rng() % 4));
        std::vector<std::string> cells;
        for (int r = 0; r < rows; ++r)
            for (int c = 0; c < cols; ++c)
                if (TRVTableCellData* cell = t->GetCell(r, c)) {
                    Texts(cell, {"ab"});
                    cells.push_back(std::to_string(r) + "," + std::to_string(c) + ":0@1");
                }
        EXPECT_EQ(SearchAll(t, true, {}, u"ab"), cells) << round;
        EXPECT_EQ(SearchAll(t, false, {}, u"ab"),
                  std::vector<std::string>(cells.rbegin(), cells.rend()))
            << round;
        if (round == 0) {
            EXPECT_EQ(cells.size(), 6u);
        }
    }
}

// A remembered cell that the grid lost is forgotten, not used.
TEST(TableSearch, ASearchCellOutsideTheGridStartsOver) {
    SearchDoc d;
    for (int k = 0; k < 6; ++k)
        d.Table->SearchText(true, {}, u"ab");
    ASSERT_EQ(Found(d.Table), "1,1:0@1");
    d.Table->Rows.DeleteCols(1, 1, false);
    ASSERT_TRUE(d.Table->SearchText(true, {}, u"ab"));
    EXPECT_EQ(Found(d.Table), "0,0:0@1");
}

} // namespace
} // namespace epc
