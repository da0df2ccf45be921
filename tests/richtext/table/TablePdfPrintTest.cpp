// Tables printed through the print component onto a 96 dpi PDF printer whose print area is
// 200 pixels high: parts continue on the next pages with the heading row on top, and a table
// that may not split starts on a page of its own.

#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "platform/printing/Printers.h"
#include "richtext/table/RVTable.h"
#include "richtext/view/PtblRV.h"
#include "tests/platform/printing/PrintToolSupport.h"
#include "tests/richtext/view/SmallPagePrintFixture.h"

namespace epc {
namespace {

// "r" and the row number, appended piece by piece: GCC 12 warns falsely on a chain of +.
std::string RowName(int row) {
    std::string name = "r";
    name += std::to_string(row);
    return name;
}

struct TablePrinting : test::SmallPagePrintFixture {
    TRVTableItemInfo* Table = nullptr;

    void SetUp() override {
        SmallPagePrintFixture::SetUp();
        Printer().FileName = testing::OutDir() + "/table-print.pdf";
        std::filesystem::remove(Printer().FileName);
        // A real face, so that the PDF carries the text.
        Style->TextStyles.GetItem(0).FontName = "Arial";
        Style->TextStyles.GetItem(0).Size = 10;
    }
    // "Intro", then a table of Rows x 2 whose first column says Head, r1, r2, ...
    void Build(int rows, bool split) {
        Source->AppendTextParagraph("Intro", 0, 0);
        auto table = TRVTableItemInfo::CreateSized(rows, Source->RVData(), 2);
        Table = table.get();
        for (int r = 0; r < rows; ++r) {
            TRVTableCellData* cell = Table->GetCell(r, 0);
            cell->ClearAllItems();
            cell->AddTextParagraph(r == 0 ? std::string("Head") : RowName(r), 0, 0, TRVTag());
        }
        Table->SetHeadingRowCount(1);
        if (!split) Table->PrintOptions.Exclude(TRVTablePrintOption::rvtoRowsSplit);
        Source->AppendItem(std::string(), std::move(table));
    }
    std::string PageText(int page) {
        return testing::RunTool("pdftotext -f " + std::to_string(page) + " -l " +
                                std::to_string(page) + " '" + Printer().FileName + "' -");
    }
    static int Count(const std::string& s, const std::string& what) {
        int n = 0;
        for (size_t at = s.find(what); at != std::string::npos; at = s.find(what, at + 1))
            ++n;
        return n;
    }
};

TEST_F(TablePrinting, ATallTableContinuesWithItsHeadingRowOnEveryPage) {
    Build(30, true);
    const int pages = Format();
    ASSERT_GE(pages, 3);
    auto* data = Print->rv()->PrintData();
    // Page 1 holds the intro and the first part; the next pages begin with later parts.
    EXPECT_EQ(data->Pages[0]->StartDrawItemNo, 0);
    for (int p = 1; p < pages; ++p) {
        EXPECT_EQ(data->Pages[size_t(p)]->StartDrawItemNo, 1) << p;
        EXPECT_EQ(data->Pages[size_t(p)]->StartPart, p + 1) << p;
    }
    Print->PrintDocument("table");
    if (!testing::HaveTool("pdftotext")) GTEST_SKIP() << "pdftotext not installed";
    EXPECT_EQ(testing::PdfPageCount(Printer().FileName), pages);
    std::string all;
    for (int p = 1; p <= pages; ++p) {
        const std::string text = PageText(p);
        EXPECT_EQ(Count(text, "Head"), 1) << "page " << p << ":\n" << text;
        all += text;
    }
    EXPECT_NE(PageText(1).find("Intro"), std::string::npos);
    // Every body row is printed once, in order.
    size_t at = 0;
    for (int r = 1; r < 30; ++r) {
        const std::string name = RowName(r) + '\n';
        EXPECT_EQ(Count(all, name), 1) << name;
        const size_t found = all.find(name);
        ASSERT_NE(found, std::string::npos) << name;
        EXPECT_GT(found, at) << name;
        at = found;
    }
}

TEST_F(TablePrinting, WithoutRowSplittingATallTableStartsOnAPageOfItsOwn) {
    Build(16, false);
    const int pages = Format();
    ASSERT_EQ(pages, 2);
    auto* data = Print->rv()->PrintData();
    EXPECT_EQ(data->Pages[1]->StartDrawItemNo, 1);
    EXPECT_EQ(data->Pages[1]->StartPart, 0);
    Print->PrintDocument("table");
    if (!testing::HaveTool("pdftotext")) GTEST_SKIP() << "pdftotext not installed";
    const std::string first = PageText(1), second = PageText(2);
    EXPECT_NE(first.find("Intro"), std::string::npos);
    EXPECT_EQ(first.find("Head"), std::string::npos);
    EXPECT_NE(second.find("Head"), std::string::npos);
    EXPECT_NE(second.find("r1\n"), std::string::npos);
}

TEST_F(TablePrinting, HeadingRowsBeyondTheRowCountAreCutAndNothingLoops) {
    Build(30, true);
    Table->SetHeadingRowCount(40);
    const int pages = Format();
    ASSERT_GE(pages, 2);
    Print->PrintDocument("table");
    if (!testing::HaveTool("pdftotext")) GTEST_SKIP() << "pdftotext not installed";
    // All rows are headings: none is repeated.
    std::string all;
    for (int p = 1; p <= pages; ++p)
        all += PageText(p);
    EXPECT_EQ(Count(all, "Head"), 1);
    EXPECT_EQ(Count(all, "r29\n"), 1);
}

TEST_F(TablePrinting, AtThePrintersResolutionCellTextIsTextWithItsFontsEmbedded) {
    Printer().SetResolution(600);
    Build(30, true);
    const int pages = Format();
    ASSERT_GE(pages, 3);
    Print->PrintDocument("table");
    if (!testing::HaveTool("pdftotext") || !testing::HaveTool("pdffonts"))
        GTEST_SKIP() << "poppler tools not installed";
    std::string all;
    for (int p = 1; p <= pages; ++p) {
        const std::string text = PageText(p);
        EXPECT_EQ(Count(text, "Head"), 1) << "page " << p << ":\n" << text;
        all += text;
    }
    size_t at = 0;
    for (int r = 1; r < 30; ++r) {
        const size_t found = all.find(RowName(r) + '\n');
        ASSERT_NE(found, std::string::npos) << RowName(r);
        EXPECT_GT(found, at) << RowName(r);
        at = found;
    }
    // Every font of the file is embedded: the "emb" column, fifth from the end of a line that
    // ends in the object number and generation.
    const std::string fonts = testing::RunTool("pdffonts '" + Printer().FileName + "'");
    int listed = 0;
    std::istringstream lines(fonts);
    for (std::string l; std::getline(lines, l);) {
        std::istringstream words(l);
        std::vector<std::string> w{std::istream_iterator<std::string>(words), {}};
        const size_t n = w.size();
        if (n < 5 || w[n - 1].find_first_not_of("0123456789") != std::string::npos ||
            w[n - 2].find_first_not_of("0123456789") != std::string::npos ||
            (w[n - 5] != "yes" && w[n - 5] != "no"))
            continue;
        ++listed;
        EXPECT_EQ(w[n - 5], "yes") << l;
    }
    EXPECT_GT(listed, 0) << fonts;
}

// The empty right cell is painted black; returns the number of its dark pixels on page 1.
int DarkCellPixels(const std::string& file, int dpi) {
    testing::TGrayPage img;
    if (!testing::RenderPdfPage(file, 1, dpi, img)) return -1;
    int dark = 0;
    for (int y = 0; y < img.Height; ++y)
        for (int x = img.Width / 2; x < img.Width; ++x)
            if (img.At(x, y) < 64) ++dark;
    return dark;
}

TEST_F(TablePrinting, EmptyCellsPrintTheirBackgrounds) {
    Build(2, true);
    for (int r = 0; r < 2; ++r) {
        Table->GetCell(r, 0)->BestWidth = 150;
        Table->GetCell(r, 1)->BestWidth = 150;
        Table->GetCell(r, 1)->Color = clBlack;
    }
    ASSERT_TRUE(Table->GetCell(1, 1)->IsEmpty(true));
    ASSERT_EQ(Format(), 1);
    Print->PrintDocument("table");
    if (!testing::HaveTool("pdftoppm")) GTEST_SKIP() << "pdftoppm not installed";
    // Two cells about 150 by 15 pixels each, all dark.
    EXPECT_GT(DarkCellPixels(Printer().FileName, 96), 2 * 140 * 12);
}

TEST_F(TablePrinting, OnAFinerPrinterTheTableKeepsItsSizeOnPaper) {
    Printer().SetResolution(192);
    Build(2, true);
    for (int r = 0; r < 2; ++r) {
        Table->GetCell(r, 0)->BestWidth = 150;
        Table->GetCell(r, 1)->BestWidth = 150;
        Table->GetCell(r, 1)->Color = clBlack;
    }
    ASSERT_EQ(Format(), 1);
    Print->PrintDocument("table");
    if (!testing::HaveTool("pdftoppm")) GTEST_SKIP() << "pdftoppm not installed";
    const int dark = DarkCellPixels(Printer().FileName, 96);
    EXPECT_GT(dark, 2 * 140 * 12);
    EXPECT_LT(dark, 2 * 160 * 20);
}

} // namespace
} // namespace epc
