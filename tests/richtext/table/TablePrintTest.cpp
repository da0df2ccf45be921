// Tables paginated through the print component on a 96 dpi printer whose print area is 200
// pixels high: the page parts the pager makes, the split rules, and what printing leaves of the
// shown document.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "platform/core/Arithmetic.h"
#include "platform/gdi/Gdi.h"
#include "platform/graphics/Bitmap.h"
#include "platform/printing/Printers.h"
#include "platform/windows/Window.h"
#include "richtext/table/RVTable.h"
#include "richtext/view/PtblRV.h"
#include "tests/richtext/table/TableHostSupport.h"
#include "tests/richtext/view/SmallPagePrintFixture.h"

namespace epc {
namespace {

struct TablePaging : test::SmallPagePrintFixture {
    TRVTableItemInfo* Table = nullptr;

    // A table of Rows x 2 whose rows are RowHeight pixels high: each row takes 34 pixels of a
    // page with the default padding and spacing, and the table's edges 2 above and 2 below.
    void Build(int rows, int rowHeight = 30) {
        auto table = TRVTableItemInfo::CreateSized(rows, Source->RVData(), 2);
        Table = table.get();
        for (int r = 0; r < rows; ++r) {
            Table->GetCell(r, 0)->BestHeight = rowHeight;
            Table->GetCell(r, 0)->ClearAllItems();
            Table->GetCell(r, 0)->AddTextParagraph(std::string("r").append(std::to_string(r)), 0, 0, TRVTag());
        }
        Source->AppendItem(std::string(), std::move(table));
    }
    TRVTablePrintInfo* Info() const {
        auto* data = Print->rv()->PrintData();
        for (int i = 0; i < data->DrawItems.Count(); ++i)
            if (auto* info = dynamic_cast<TRVTablePrintInfo*>(data->DrawItems[i])) return info;
        return nullptr;
    }
    // The parts as "first+count".
    std::string Parts() const {
        TRVTablePrintInfo* info = Info();
        std::string s;
        for (int i = 0; info && i < info->PartsList.Count(); ++i) {
            TRVTablePrintPart* p = info->Part(i);
            s += std::to_string(p->FirstRow) + "+" + std::to_string(p->RowCount) + " ";
        }
        return s;
    }
};

TEST_F(TablePaging, ATallTableSplitsBetweenRowsAndRepeatsItsHeadingRows) {
    Build(10);
    Table->SetHeadingRowCount(1);
    EXPECT_EQ(Format(), 3);
    TRVTablePrintInfo* info = Info();
    ASSERT_TRUE(info);
    EXPECT_EQ(info->RepeatedHeadingRows(), 1);
    // Five rows fit a page: the heading and four body rows, on every page.
    EXPECT_EQ(Parts(), "1+4 5+4 9+1 ");
    EXPECT_EQ(info->Part(0)->Height, 5 * 34 + 2);
    EXPECT_EQ(info->Part(1)->Height, 5 * 34 + 2);
    EXPECT_EQ(info->Part(2)->Height, 2 * 34 + 2);
    int first = 0, count = 0;
    info->PartRows(0, first, count);
    EXPECT_EQ(first, 0); // the first part prints the heading as a row of its own
    EXPECT_EQ(count, 5);
    // Without headings six rows fit.
    Table->SetHeadingRowCount(0);
    EXPECT_EQ(Format(), 2);
    EXPECT_EQ(Parts(), "0+5 5+5 ");
}

TEST_F(TablePaging, HeadingRowsAreNotRepeatedWhenTheySpanIntoTheBodyOrTakeEveryRow) {
    Build(10);
    Table->SetHeadingRowCount(1);
    Table->MergeCells(0, 1, 1, 2, true);
    Format();
    EXPECT_EQ(Info()->RepeatedHeadingRows(), 0);
    EXPECT_EQ(Parts(), "0+5 5+5 ");

    Table->SetHeadingRowCount(20);
    Table->MergeCells(0, 1, 1, 1, true);
    Format();
    EXPECT_EQ(Info()->RepeatedHeadingRows(), 0);
    EXPECT_FALSE(Info()->FitsFirstPart(1000000));
}

// With nothing but heading rows there is no first body row to fit below the text before the
// table: the table begins on the next page.
TEST_F(TablePaging, ATableOfHeadingRowsOnlyStartsOnANewPage) {
    Source->AppendTextParagraph("Intro", 0, 0);
    Build(10);
    Table->SetHeadingRowCount(10);
    Format();
    EXPECT_FALSE(Info()->FitsFirstPart(1000000));
    auto* data = Print->rv()->PrintData();
    ASSERT_EQ(data->Pages.size(), 3u);
    // The second page begins with the table's first part.
    EXPECT_EQ(data->Pages[1]->StartDrawItemNo, 1);
    EXPECT_EQ(data->Pages[1]->StartPart, 1);
    EXPECT_EQ(Parts(), "0+5 5+5 ");
    // Without heading rows the first part follows the text on the first page.
    Table->SetHeadingRowCount(0);
    Format();
    ASSERT_EQ(data->Pages.size(), 2u);
    EXPECT_EQ(data->Pages[1]->StartDrawItemNo, 1);
    EXPECT_EQ(data->Pages[1]->StartPart, 2);
}

TEST_F(TablePaging, ACellSpanningRowsIsNeverCut) {
    Build(10);
    Table->MergeCells(3, 1, 1, 3, true); // rows 3..5: the first page would end inside it
    Format();
    EXPECT_EQ(Parts(), "0+3 3+5 8+2 ");
    // A span from the part's first row beyond a page is kept whole on a page of its own.
    Source->Clear();
    Build(10);
    Table->MergeCells(1, 1, 1, 7, true); // rows 1..7, taller than a page
    Format();
    EXPECT_EQ(Parts(), "0+1 1+7 8+2 ");
}

TEST_F(TablePaging, ARowTallerThanAPageGoesAloneAndPaginationEnds) {
    Build(4, 20);
    Table->GetCell(1, 0)->BestHeight = 500;
    Format();
    EXPECT_EQ(Parts(), "0+1 1+1 2+2 ");
}

// Rows whose part fills the room left to the pixel stay on the page, whether the table
// begins the page or follows other text.
TEST_F(TablePaging, RowsThatExactlyFillTheRoomLeftStayOnThePage) {
    Build(10, 29); // rows of 33: six and the edges take 200
    EXPECT_EQ(Format(), 2);
    EXPECT_EQ(Parts(), "0+6 6+4 ");
    EXPECT_EQ(Info()->Part(0)->Height, 200);

    Source->Clear();
    // The intro takes 20 pixels: two rows of 89 and the edges fill the 180 left.
    Source->AppendTextParagraph("Intro", 0, 0);
    Build(6, 85);
    EXPECT_EQ(Format(), 3);
    EXPECT_EQ(Parts(), "0+2 2+2 4+2 ");
    EXPECT_EQ(Info()->Part(0)->Height, 180);
    auto* data = Print->rv()->PrintData();
    EXPECT_EQ(data->Pages[0]->StartDrawItemNo, 0);
    EXPECT_EQ(data->Pages[1]->StartPart, 2);
    // A first row that fills the room alone keeps the table below the intro.
    Source->Clear();
    Source->AppendTextParagraph("Intro", 0, 0);
    Build(3, 174); // rows of 178: one and the edges fill the 180
    EXPECT_EQ(Format(), 3);
    EXPECT_EQ(Parts(), "0+1 1+1 2+1 ");
    EXPECT_EQ(data->Pages[0]->StartDrawItemNo, 0);
    EXPECT_EQ(data->Pages[1]->StartPart, 2);
}

TEST_F(TablePaging, WithoutRowSplittingATallTableStartsOnAPageOfItsOwn) {
    Source->AppendTextParagraph("Intro", 0, 0);
    Build(10);
    Table->PrintOptions.Exclude(TRVTablePrintOption::rvtoRowsSplit);
    EXPECT_EQ(Format(), 2);
    EXPECT_FALSE(Info()->CanSplit());
    EXPECT_FALSE(Info()->FitsFirstPart(1000000));
    auto* data = Print->rv()->PrintData();
    EXPECT_EQ(data->Pages[1]->StartDrawItemNo, 1);
    EXPECT_EQ(data->Pages[1]->StartPart, 0);
    // With splitting the table begins below the intro.
    Table->PrintOptions.Include(TRVTablePrintOption::rvtoRowsSplit);
    Format();
    EXPECT_EQ(data->Pages[0]->StartDrawItemNo, 0);
    EXPECT_EQ(data->Pages[1]->StartPart, 2);
}

TEST_F(TablePaging, SplittingWithoutPartsIsAnInternalError) {
    Build(3);
    TRVTablePrintInfo info(Table);
    try {
        info.SplitAt(10);
        FAIL() << "no error";
    } catch (const ERichViewError& e) {
        EXPECT_STREQ(e.what(), "Internal printing error");
    }
}

TEST_F(TablePaging, PrintingLaysOutPrintableCellsAndLeavesTheCellsAlone) {
    Build(3);
    TRVTableCellData* cell = Table->GetCell(1, 1);
    cell->Left = 11;
    cell->Width = 22;
    cell->Top = 33;
    cell->Height = 44;
    Format();
    EXPECT_EQ(cell->Left, 11);
    EXPECT_EQ(cell->Width, 22);
    EXPECT_EQ(cell->Top, 33);
    EXPECT_EQ(cell->Height, 44);
    EXPECT_EQ(cell->DrawItems.Count(), 0);
    // Every cell has its printable copy, the empty ones too, at the cell's content box.
    TRVTablePrintInfo* info = Info();
    const TRVTableItemFormattingInfo& fi = info->Fmt;
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 2; ++c) {
            TCellPtblRVData* doc = info->CellDoc(r, c);
            ASSERT_TRUE(doc) << r << "," << c;
            EXPECT_EQ(doc->Cell, Table->GetCell(r, c));
            EXPECT_EQ(doc->Left, fi.ColStarts[c] + 1);
            EXPECT_EQ(doc->Top, fi.RowStarts[r] + 1);
            EXPECT_EQ(doc->Height(), fi.RowHeights[r]);
            EXPECT_GT(doc->DrawItems.Count(), 0);
        }
    EXPECT_EQ(info->Width, Print->rv()->PrintData()->DrawItems[0]->Width);
    EXPECT_EQ(info->Height, fi.Height);
    // A merged position has none.
    Table->MergeCells(0, 0, 2, 1, true);
    Format();
    EXPECT_FALSE(Info()->CellDoc(0, 1));
    EXPECT_TRUE(Info()->CellDoc(0, 0));
}

// At 600 dpi a padding of 1 is 6 device pixels a side but 13 for both: a printed cell box is
// its column plus the 13, its document the box less 6 a side.
TEST_F(TablePaging, PrintedCellsTakeBothPaddingsScaledAsOne) {
    Printer().SetResolution(600);
    Build(2);
    Table->MergeCells(1, 0, 2, 1, true);
    Format();
    TRVTablePrintInfo* info = Info();
    ASSERT_TRUE(info);
    const TRVScreenAndDevice& sad = info->Sad;
    const int pad = sad.XToDevice(1), pad2 = sad.XToDevice(2);
    ASSERT_NE(pad2, 2 * pad);
    const TRVTableItemFormattingInfo& fi = info->Fmt;
    const int n = 2;
    const int gaps = sad.XToDevice(n * (2 * (1 + 0) + 2));
    for (int c = 0; c < n; ++c) {
        TCellPtblRVData* doc = info->CellDoc(0, c);
        ASSERT_TRUE(doc);
        EXPECT_EQ(doc->Left, fi.ColStarts[c] + pad);
        EXPECT_EQ(doc->Width(), fi.ColWidths[c] + pad2 - 2 * pad) << c;
    }
    TCellPtblRVData* merged = info->CellDoc(1, 0);
    ASSERT_TRUE(merged);
    EXPECT_EQ(merged->Width(),
              fi.ColWidths[0] + fi.ColWidths[1] + pad2 + MulDiv(gaps, 1, n) - 2 * pad);
}

TEST_F(TablePaging, PagesMadeBeforeTheTableChangedAreMadeAgainOrRefused) {
    Build(10);
    ASSERT_EQ(Format(), 2);
    Table->DeleteRows(2, 7);
    // Drawing an old page is refused; printing the document formats the pages again.
    TCanvas canvas;
    canvas.SetOwnedHandle(CreateBufferDC(378, 200, 96, 96));
    EXPECT_THROW(Print->rv()->DrawPage(1, &canvas, false, false), ERichViewError);
    Printer().FileName = ::testing::TempDir() + "/table-outdated.pdf";
    Print->PrintDocument("outdated");
    EXPECT_EQ(Print->PagesCount(), 1);
    EXPECT_EQ(Parts(), "0+3 ");
    EXPECT_NO_THROW(Print->rv()->DrawPage(1, &canvas, false, false));
    // A table taken out of the document is not read again either.
    Source->AppendTextParagraph("after", 0, 0);
    ASSERT_EQ(Format(), 1);
    Source->DeleteItemRange(0, 1);
    EXPECT_THROW(Print->rv()->DrawPage(1, &canvas, false, false), ERichViewError);
}

// Page 1 drawn on a white canvas of the printer's size.
struct DrawnPage {
    TCanvas Canvas;
    explicit DrawnPage(TRVPrint& print, int dpi = 96) {
        const int w = 378 * dpi / 96, h = 200 * dpi / 96;
        Canvas.SetOwnedHandle(CreateBufferDC(w, h, dpi, dpi));
        Canvas.Brush()->SetStyle(bsSolid);
        Canvas.Brush()->SetColor(clWhite);
        Canvas.FillRect(TRect(0, 0, w, h));
        print.rv()->DrawPage(1, &Canvas, false, false);
    }
    TColor At(int x, int y) { return TColor(ColorToRGB(Canvas.Pixels(x, y))); }
};

TEST_F(TablePaging, PrintOptionsAndTheColourModeReachTheTablesColours) {
    Build(2);
    for (int r = 0; r < 2; ++r)
        Table->GetCell(r, 1)->Color = clRed;
    Table->SetBorderWidth(3);
    Table->SetBorderStyle(rvtbRaisedColor);
    Table->SetBorderColor(clBlue);
    Table->SetBorderLightColor(clLime);
    Format();
    TCellPtblRVData* doc = Info()->CellDoc(1, 1);
    const int left = Print->rv()->PrintData()->DrawItems[0]->Left, width = Info()->Width;
    const int cx = left + doc->Left + doc->Width() / 2, cy = doc->Top + doc->Height() / 2;
    Print->SetColorMode(TRVColorMode::rvcmColor);
    {
        DrawnPage page(*Print);
        EXPECT_EQ(page.At(cx, cy), clRed);
        EXPECT_EQ(page.At(left, 1), clLime);
        // Half-tone borders: one wide line per side, the right one over the top one's end.
        EXPECT_EQ(page.At(left + width - 3, 0), clBlue);
    }
    Table->PrintOptions.Exclude(TRVTablePrintOption::rvtoHalftoneBorders);
    Format();
    {
        DrawnPage page(*Print);
        EXPECT_EQ(page.At(left + width - 3, 0), clLime);
    }
    Print->SetColorMode(TRVColorMode::rvcmGrayScale);
    {
        DrawnPage page(*Print);
        const COLORREF cell = page.At(cx, cy), border = page.At(left, 1);
        EXPECT_EQ(GetRValue(cell), GetGValue(cell));
        EXPECT_EQ(GetGValue(cell), GetBValue(cell));
        EXPECT_LT(GetRValue(cell), 255);
        EXPECT_EQ(GetRValue(border), GetBValue(border));
        EXPECT_NE(cell, border);
    }
    Print->SetColorMode(TRVColorMode::rvcmColor);
    Table->PrintOptions.Include(TRVTablePrintOption::rvtoWhiteBackground);
    Format();
    {
        DrawnPage page(*Print);
        EXPECT_EQ(page.At(cx, cy), clWhite);
        EXPECT_EQ(page.At(left, 1), clLime);
    }
}

TEST_F(TablePaging, BackgroundPicturesKeepTheirSizeOnPaper) {
    Printer().SetResolution(192);
    Build(1);
    TBitmap tile(8, 8, pf24bit);
    tile.Canvas()->Brush()->SetColor(clRed);
    tile.Canvas()->FillRect(TRect(0, 0, 4, 8));
    tile.Canvas()->Brush()->SetColor(clBlue);
    tile.Canvas()->FillRect(TRect(4, 0, 8, 8));
    TRVTableCellData* cell = Table->GetCell(0, 1);
    cell->SetBackgroundImage(&tile);
    cell->SetBackgroundStyle(rvbsTiled);
    Format();
    TCellPtblRVData* doc = Info()->CellDoc(0, 1);
    const int left = Print->rv()->PrintData()->DrawItems[0]->Left + doc->Left - 2;
    const int y = doc->Top + doc->Height() / 2;
    DrawnPage page(*Print, 192);
    // Screen pixels of the tile are two printer pixels each.
    EXPECT_EQ(page.At(left + 1, y), clRed);
    EXPECT_EQ(page.At(left + 6, y), clRed);
    EXPECT_EQ(page.At(left + 9, y), clBlue);
    EXPECT_EQ(page.At(left + 17, y), clRed);
}

// A viewer on a shown form: printing its document changes none of its pixels.
class TablePrintedViewer : public test::TableHostFixture {};

TEST_F(TablePrintedViewer, PrintingLeavesTheViewerAsItWas) {
    TRichView* view = NewHost<TRichView>(300, 200);
    Style->TextStyles.GetItem(0).FontName = "Arial";
    auto table = TRVTableItemInfo::CreateSized(3, view->RVData(), 2);
    table->SetHeadingRowCount(1);
    table->SetCellBorderWidth(1);
    table->SetBorderWidth(1);
    for (int r = 0; r < 3; ++r) {
        table->GetCell(r, 0)->ClearAllItems();
        table->GetCell(r, 0)->AddTextParagraph("row " + std::to_string(r), 0, 0, TRVTag());
    }
    auto nested = TRVTableItemInfo::CreateSized(1, table->GetCell(2, 1), 2);
    table->GetCell(2, 1)->ClearAllItems();
    table->GetCell(2, 1)->AppendItem(std::string(), std::move(nested));
    ShowTable(view, std::move(table));
    view->Invalidate();
    testing::Pump();
    const TWindowPixels before = GetWindowPixels(view->Handle());

    Printer().SetResolution(600);
    Printer().FileName = ::testing::TempDir() + "/table-viewer.pdf";
    TRVPrint print(nullptr);
    print.TakeDocumentFrom(view);
    ASSERT_EQ(print.FormatPages(), 1);
    print.PrintDocument("viewer");
    view->Invalidate();
    testing::Pump();
    const TWindowPixels after = GetWindowPixels(view->Handle());
    ASSERT_EQ(before.Width, after.Width);
    ASSERT_EQ(before.Height, after.Height);
    EXPECT_TRUE(before.Pixels == after.Pixels);
}

} // namespace
} // namespace epc
