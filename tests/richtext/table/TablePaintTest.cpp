#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>

#include "platform/gdi/Gdi.h"
#include "platform/graphics/Graphics.h"
#include "richtext/document/RVUni.h"
#include "richtext/table/RVTable.h"
#include "tests/richtext/table/TableEditSupport.h"
#include "tests/richtext/view/TestRVData.h"

namespace epc {
namespace {

using test::MakeFixedStyle;
using test::TTestRVData;

struct PaintedTable {
    std::unique_ptr<TRVStyle> Style = MakeFixedStyle();
    TTestRVData Doc{Style.get()};
    TRVTableItemInfo* Table = nullptr;
    TCanvas Canvas;

    PaintedTable(int rows, int cols) {
        auto table = TRVTableItemInfo::CreateSized(rows, &Doc, cols);
        Table = table.get();
        Doc.AppendItem(std::string(), std::move(table));
        Table->Inserted(&Doc, 0);
        Table->SetColor(clNone);
    }
    // Lays the table out for a document width and paints it at (0, 0) on white.
    void Paint(int docWidth, bool selected = false) {
        Table->FormatForDocWidth(docWidth, Doc.GetCanvas(), true);
        const int w = Table->GetFormattedWidth(), h = Table->GetFormattedHeight();
        Canvas.SetOwnedHandle(CreateBufferDC(w, h, 96, 96));
        Canvas.Brush()->SetStyle(bsSolid);
        Canvas.Brush()->SetColor(clWhite);
        Canvas.FillRect(TRect(0, 0, w, h));
        Table->PaintAt(0, 0, &Canvas, TRect(0, 0, w, h), selected, clNavy);
    }
    TColor At(int x, int y) { return Canvas.Pixels(x, y); }
    int W() const { return Table->GetFormattedWidth(); }
    int H() const { return Table->GetFormattedHeight(); }
};

TColor RGB(TColor c) {
    return TColor(ColorToRGB(c));
}

struct StyleCase {
    TRVTableBorderStyle Style;
    TColor TopLeft;
    TColor BottomRight;
};

TEST(TablePaint, TableBorderColoursForEveryStyle) {
    // The document's background is clWindow, white like clBtnHighlight: the light side of the
    // 3-D styles turns to clBtnFace to stay visible.
    const StyleCase cases[] = {
        {rvtbRaised, clBtnFace, clBtnShadow},
        {rvtbLowered, clBtnShadow, clBtnFace},
        {rvtbColor, clRed, clRed},
        {rvtbRaisedColor, clLime, clRed},
        {rvtbLoweredColor, clRed, clLime},
    };
    for (const StyleCase& sc : cases) {
        PaintedTable t(1, 1);
        t.Table->SetBorderWidth(2);
        t.Table->SetBorderColor(clRed);
        t.Table->SetBorderLightColor(clLime);
        t.Table->SetBorderStyle(sc.Style);
        t.Paint(100);
        SCOPED_TRACE(int(sc.Style));
        const int midY = t.H() / 2, midX = t.W() / 2;
        for (int i = 0; i < 2; ++i) {
            EXPECT_EQ(t.At(i, midY), RGB(sc.TopLeft));
            EXPECT_EQ(t.At(midX, i), RGB(sc.TopLeft));
            EXPECT_EQ(t.At(t.W() - 1 - i, midY), RGB(sc.BottomRight));
            EXPECT_EQ(t.At(midX, t.H() - 1 - i), RGB(sc.BottomRight));
        }
        // The band is two pixels wide.
        EXPECT_EQ(t.At(2, midY), RGB(clWhite));
        EXPECT_EQ(t.At(t.W() - 3, midY), RGB(clWhite));
        // Corners: the second colour owns the far ends.
        EXPECT_EQ(t.At(t.W() - 1, 0), RGB(sc.BottomRight));
        EXPECT_EQ(t.At(0, t.H() - 1), RGB(sc.BottomRight));
    }
}

TEST(TablePaint, RaisedBorderOnHighlightBackgroundUsesButtonFace) {
    PaintedTable t(1, 1);
    t.Paint(50);
    t.Table->DrawBorder(&t.Canvas, 0, 0, 20, 20, 1, clLime, clRed, clBtnHighlight, rvtbRaised,
                        false, false, nullptr, -1, -1, TRVColorMode::rvcmColor,
                        TRect(0, 0, 50, 50));
    EXPECT_EQ(t.At(0, 10), RGB(clBtnFace));
    EXPECT_EQ(t.At(19, 10), RGB(clBtnShadow));
    t.Table->DrawBorder(&t.Canvas, 0, 0, 20, 20, 1, clLime, clRed, clBtnHighlight, rvtbLowered,
                        false, false, nullptr, -1, -1, TRVColorMode::rvcmColor,
                        TRect(0, 0, 50, 50));
    EXPECT_EQ(t.At(19, 10), RGB(clBtnFace));
    // Nothing outside the clip rectangle.
    t.Table->DrawBorder(&t.Canvas, 30, 2, 40, 20, 1, clLime, clRed, clWhite, rvtbColor, false,
                        false, nullptr, -1, -1, TRVColorMode::rvcmColor, TRect(0, 0, 20, 20));
    EXPECT_EQ(t.At(30, 10), RGB(clWhite));
    t.Table->DrawBorder(&t.Canvas, 30, 2, 40, 20, 1, clLime, clRed, clWhite, rvtbColor, false,
                        false, nullptr, -1, -1, TRVColorMode::rvcmColor, TRect(0, 0, 50, 20));
    EXPECT_EQ(t.At(30, 10), RGB(clRed));
}

TEST(TablePaint, CellBordersFollowVisibleBorders) {
    PaintedTable t(1, 2);
    t.Table->SetCellBorderWidth(2);
    t.Table->SetCellBorderStyle(rvtbColor);
    t.Table->SetCellBorderColor(clBlue);
    t.Table->GetCell(0, 1)->BorderColor = clRed;
    t.Table->SetCellVisibleBorders(-1, false, false, false, false, 0, 0);
    t.Paint(100);
    TRVTableCellData* a = t.Table->GetCell(0, 0);
    TRVTableCellData* b = t.Table->GetCell(0, 1);
    const int midY = a->Top + a->Height / 2;
    EXPECT_EQ(t.At(a->Left - 1, midY), RGB(clWhite));
    EXPECT_EQ(t.At(a->Left + a->Width, midY), RGB(clWhite));
    EXPECT_EQ(t.At(b->Left - 1, midY), RGB(clRed));
    EXPECT_EQ(t.At(b->Left - 2, midY), RGB(clRed));
    EXPECT_EQ(t.At(b->Left - 3, midY), RGB(clWhite));
    EXPECT_EQ(t.At(b->Left + b->Width + 1, midY), RGB(clRed));
    EXPECT_EQ(t.At(b->Left + b->Width / 2, b->Top - 1), RGB(clRed));
}

TEST(TablePaint, VerticalRuleThreeWideAroundTheGapCentre) {
    PaintedTable t(2, 2);
    t.Table->SetVRuleWidth(3);
    t.Table->SetVRuleColor(clRed);
    t.Paint(100);
    // Gap between the columns: CellHSpacing 2, so the centre is one pixel left of column 1.
    const int centre = t.Table->Formatting().ColStarts[1] - 1;
    const int y = t.H() / 2;
    EXPECT_EQ(t.At(centre - 2, y), RGB(clWhite));
    EXPECT_EQ(t.At(centre - 1, y), RGB(clRed));
    EXPECT_EQ(t.At(centre, y), RGB(clRed));
    EXPECT_EQ(t.At(centre + 1, y), RGB(clRed));
    EXPECT_EQ(t.At(centre + 2, y), RGB(clWhite));
    // Edge to edge without horizontal outermost rules.
    EXPECT_EQ(t.At(centre, 0), RGB(clRed));
    EXPECT_EQ(t.At(centre, t.H() - 1), RGB(clRed));
    // No outermost rules unless asked.
    EXPECT_EQ(t.At(1, y), RGB(clWhite));
}

TEST(TablePaint, HorizontalRulesAndOutermostRules) {
    PaintedTable t(2, 1);
    t.Table->SetHRuleWidth(2);
    t.Table->SetHRuleColor(clGreen);
    t.Table->SetHOutermostRule(true);
    t.Table->SetVRuleWidth(1);
    t.Table->SetVRuleColor(clBlue);
    t.Table->SetVOutermostRule(true);
    t.Paint(60);
    const int centre = t.Table->Formatting().RowStarts[1] - 1;
    const int x = t.W() / 2;
    EXPECT_EQ(t.At(x, centre - 2), RGB(clWhite));
    EXPECT_EQ(t.At(x, centre - 1), RGB(clGreen));
    EXPECT_EQ(t.At(x, centre), RGB(clGreen));
    EXPECT_EQ(t.At(x, centre + 1), RGB(clWhite));
    // Outermost: BorderVSpacing / 2 inside the top edge.
    EXPECT_EQ(t.At(x, 0), RGB(clGreen));
    EXPECT_EQ(t.At(x, 1), RGB(clGreen));
    EXPECT_EQ(t.At(x, 2), RGB(clWhite));
    // The vertical outermost rule at BorderHSpacing / 2 ends inside the top and bottom edges.
    EXPECT_EQ(t.At(1, 10), RGB(clBlue));
    EXPECT_EQ(t.At(0, 10), RGB(clWhite));
    EXPECT_EQ(t.At(t.W() - 2, 10), RGB(clBlue));
    EXPECT_EQ(t.At(1, 0), RGB(clGreen)); // above the vertical rule's end
}

TEST(TablePaint, GridLinesOnlyInAnEditorsDocument) {
    PaintedTable t(1, 1);
    t.Paint(40);
    int face = 0;
    for (int y = 0; y < t.H(); ++y)
        face += t.At(0, y) == RGB(clBtnFace);
    EXPECT_EQ(face, 0);
    t.Table->StateBits |= rvtsEditMode;
    t.Paint(40);
    for (int y = 0; y < t.H(); ++y)
        face += t.At(0, y) == RGB(clBtnFace);
    EXPECT_GT(face, 0);
    // Printing never shows them.
    PaintedTable p(1, 1);
    p.Paint(40);
    p.Table->DrawBorder(&p.Canvas, 0, 0, p.W(), p.H(), 0, clLime, clRed, clWhite, rvtbRaised, true,
                        true, nullptr, -1, -1, TRVColorMode::rvcmColor, TRect(0, 0, p.W(), p.H()));
    EXPECT_EQ(p.At(0, p.H() / 2), RGB(clWhite));
}

TEST(TablePaint, OneColourBordersWithHiddenSidesMeetOrOverlapAtTheCorners) {
    for (bool overlapping : {false, true}) {
        PaintedTable t(1, 1);
        t.Table->SetCellBorderWidth(2);
        t.Table->SetCellBorderStyle(rvtbColor);
        t.Table->SetCellBorderColor(clRed);
        if (overlapping) t.Table->Options.Include(TRVTableOption::rvtoOverlappingCorners);
        TRVTableCellData* cell = t.Table->GetCell(0, 0);
        cell->SetVisibleBorders(false, true, true, true);
        t.Paint(100);
        const int left = cell->Left - 2, top = cell->Top - 2;
        SCOPED_TRACE(overlapping);
        EXPECT_EQ(t.At(left, top), RGB(clRed));
        // The second line of the top side starts a pixel in, or at the corner.
        EXPECT_EQ(t.At(left, top + 1) == RGB(clRed), overlapping);
        EXPECT_EQ(t.At(left + 1, top + 1), RGB(clRed));
    }
}

TEST(TablePaint, AHiddenCellSideUnderTheTableBorderDrawsNoGridLine) {
    for (int spacing : {-2, 0}) {
        PaintedTable t(1, 1);
        t.Table->StateBits |= rvtsEditMode;
        t.Table->SetBorderWidth(2);
        t.Table->SetBorderStyle(rvtbColor);
        t.Table->SetBorderColor(clRed);
        t.Table->SetBorderHSpacing(spacing);
        t.Table->SetCellBorderWidth(1);
        TRVTableCellData* cell = t.Table->GetCell(0, 0);
        cell->SetVisibleBorders(false, true, true, true);
        t.Paint(100);
        const int x = cell->Left - 1;
        int grid = 0;
        for (int y = cell->Top; y < cell->Top + cell->Height; ++y)
            grid += t.At(x, y) == RGB(clBtnFace) ? 1 : 0;
        SCOPED_TRACE(spacing);
        if (spacing < 0) {
            EXPECT_EQ(x, 0); // the cell's side lies on the table border
            EXPECT_EQ(grid, 0);
        } else {
            EXPECT_GT(grid, 0);
        }
    }
}

class TablePaintUnderEditor : public test::TableEditFixture {};

TEST_F(TablePaintUnderEditor, ACellWithoutColourTakesTheWindowColourUnderASelectedLookEditor) {
    Table->SetColor(clRed);
    Edit->Format();
    ASSERT_TRUE(Table->OpenCellEditor(-1, 1, 1, false, false, true, false));
    const TRVTableCellData* cell = Table->GetCell(1, 1);
    auto cellPixel = [&] {
        const int w = Table->GetFormattedWidth(), h = Table->GetFormattedHeight();
        TCanvas canvas;
        canvas.SetOwnedHandle(CreateBufferDC(w, h, 96, 96));
        Table->PaintAt(0, 0, &canvas, TRect(0, 0, w, h), false, clNavy);
        return TColor(ColorToRGB(canvas.Pixels(cell->Left + 1, cell->Top + 1)));
    };
    EXPECT_EQ(cellPixel(), RGB(clRed));
    Table->InplaceEditor()->SetSelectedLook(true);
    EXPECT_EQ(cellPixel(), RGB(clWindow));
    Table->GetCell(1, 1)->Color = clLime;
    EXPECT_EQ(cellPixel(), RGB(clLime));
}

TEST(TablePaint, CellColoursTableColourAndSelection) {
    PaintedTable t(1, 2);
    t.Table->SetColor(clAqua);
    t.Table->GetCell(0, 0)->Color = clYellow;
    t.Paint(100);
    TRVTableCellData* a = t.Table->GetCell(0, 0);
    TRVTableCellData* b = t.Table->GetCell(0, 1);
    EXPECT_EQ(t.At(a->Left + 3, a->Top + 3), RGB(clYellow));
    EXPECT_EQ(t.At(b->Left + 3, b->Top + 3), RGB(clAqua));
    EXPECT_EQ(t.At(0, 0), RGB(clAqua));
    t.Paint(100, true);
    EXPECT_EQ(t.At(a->Left + 3, a->Top + 3), RGB(clNavy));
    EXPECT_EQ(t.At(b->Left + 3, b->Top + 3), RGB(clNavy));
}

// The rows of a cell's rectangle that hold dark (text) pixels.
std::pair<int, int> InkRows(PaintedTable& t, TRVTableCellData* cell) {
    int first = -1, last = -1;
    for (int y = cell->Top; y < cell->Top + cell->Height; ++y)
        for (int x = cell->Left; x < cell->Left + cell->Width; ++x)
            if (t.At(x, y) == RGB(clBlack)) {
                if (first < 0) first = y;
                last = y;
            }
    return {first, last};
}

TEST(TablePaint, CellContentFollowsVerticalAlignment) {
    PaintedTable t(1, 2);
    t.Table->GetCell(0, 0)->ClearAllItems();
    t.Table->GetCell(0, 0)->AddTextParagraph("A", 0, 0, TRVTag());
    t.Table->GetCell(0, 1)->BestHeight = 100;
    t.Table->GetCell(0, 0)->VAlign = rvcTop;
    t.Paint(100);
    const auto top = InkRows(t, t.Table->GetCell(0, 0));
    ASSERT_GE(top.first, 0);
    t.Table->GetCell(0, 0)->VAlign = rvcBottom;
    t.Paint(100);
    const auto bottom = InkRows(t, t.Table->GetCell(0, 0));
    // A 102-pixel cell holding one 20-pixel line: the text moves down by 80.
    EXPECT_EQ(bottom.first - top.first, 80);
    t.Table->GetCell(0, 0)->VAlign = rvcMiddle;
    t.Paint(100);
    EXPECT_EQ(InkRows(t, t.Table->GetCell(0, 0)).first - top.first, 40);
}

TEST(TablePaint, ThroughTheDocumentPainter) {
    PaintedTable t(1, 1);
    t.Table->SetColor(clYellow);
    t.Doc.ClientWidth = 80;
    t.Doc.LeftMargin = 5;
    t.Doc.Format(false);
    TCanvas canvas;
    canvas.SetOwnedHandle(CreateBufferDC(100, 60, 96, 96));
    canvas.Brush()->SetColor(clWhite);
    canvas.FillRect(TRect(0, 0, 100, 60));
    t.Doc.PaintDocument(&canvas, TRect(0, 0, 100, 60));
    EXPECT_EQ(canvas.Pixels(4, 10), RGB(clWhite));
    EXPECT_EQ(canvas.Pixels(5, 10), RGB(clYellow));
    EXPECT_EQ(canvas.Pixels(5 + t.W() - 1, 10), RGB(clYellow));
    EXPECT_EQ(canvas.Pixels(5 + t.W(), 10), RGB(clWhite));
}

// The print background: the table colour through the colour mode, white with
// rvtoWhiteBackground, nothing for clNone.
TEST(TablePaint, PrintBackground) {
    PaintedTable t(1, 1);
    TCanvas canvas;
    canvas.SetOwnedHandle(CreateBufferDC(20, 20, 96, 96));
    auto draw = [&](TRVColorMode mode) {
        canvas.Brush()->SetColor(clBlue);
        canvas.FillRect(TRect(0, 0, 20, 20));
        t.Table->DrawBackground(&canvas, TRect(2, 2, 10, 10), mode);
        return std::make_pair(canvas.Pixels(2, 2), canvas.Pixels(10, 10));
    };
    EXPECT_EQ(draw(TRVColorMode::rvcmColor).first, RGB(clBlue));
    t.Table->SetColor(clYellow);
    EXPECT_EQ(draw(TRVColorMode::rvcmColor), std::make_pair(RGB(clYellow), RGB(clBlue)));
    EXPECT_EQ(draw(TRVColorMode::rvcmBlackOnWhite).first,
              RGB(ApplyColorModeToBackColor(clYellow, TRVColorMode::rvcmBlackOnWhite)));
    t.Table->PrintOptions.Include(TRVTablePrintOption::rvtoWhiteBackground);
    EXPECT_EQ(draw(TRVColorMode::rvcmColor).first, RGB(clWhite));
}

} // namespace
} // namespace epc
