#include <gtest/gtest.h>

#include "platform/graphics/Bitmap.h"
#include "platform/graphics/Graphics.h"

using namespace epc;

namespace {

// A white 32-bit bitmap to draw on.
struct Surface {
    TBitmap Bmp;
    Surface(int w, int h) : Bmp(w, h, pf32bit) {}
    TCanvas* C() { return Bmp.Canvas(); }
    TColor At(int x, int y) { return C()->Pixels(x, y); }
};

} // namespace

TEST(CanvasDrawing, LinesAndShapesReachThePixels) {
    Surface s(20, 20);
    TCanvas* c = s.C();
    c->Pen()->SetColor(clRed);
    c->MoveTo(0, 0);
    c->LineTo(4, 0);
    EXPECT_EQ(s.At(0, 0), clRed);
    EXPECT_EQ(s.At(3, 0), clRed);
    EXPECT_EQ(s.At(4, 0), clWhite); // the last pixel is not drawn
    EXPECT_EQ(c->PenPos(), Point(4, 0));

    // A changed pen is selected again before the next line.
    c->Pen()->SetColor(clBlue);
    c->LineTo(4, 3);
    EXPECT_EQ(s.At(4, 1), clBlue);

    c->Brush()->SetStyle(bsClear);
    c->Pen()->SetColor(clBlack);
    c->Rectangle(10, 10, 14, 14);
    EXPECT_EQ(s.At(10, 10), clBlack);
    EXPECT_EQ(s.At(13, 13), clBlack);
    EXPECT_EQ(s.At(11, 11), clWhite); // hollow
    EXPECT_EQ(s.At(14, 14), clWhite);

    c->Brush()->SetColor(clLime);
    c->FillRect(Rect(0, 15, 5, 18));
    EXPECT_EQ(s.At(0, 15), clLime);
    EXPECT_EQ(s.At(4, 17), clLime);
    EXPECT_EQ(s.At(5, 17), clWhite);
    EXPECT_EQ(s.At(4, 18), clWhite);

    c->Brush()->SetColor(clNavy);
    c->FrameRect(Rect(15, 0, 19, 4));
    EXPECT_EQ(s.At(15, 0), clNavy);
    EXPECT_EQ(s.At(16, 1), clWhite);

    c->SetPixels(7, 7, clFuchsia);
    EXPECT_EQ(s.At(7, 7), clFuchsia);
    EXPECT_EQ(c->Pixels(100, 100), TColor(-1));
}

TEST(CanvasDrawing, FocusRectAndNotPenRestoreEveryPixel) {
    Surface s(24, 24);
    TCanvas* c = s.C();
    c->Brush()->SetColor(clTeal);
    c->FillRect(Rect(0, 0, 12, 24));
    std::vector<TColor> before;
    for (int y = 0; y < 24; ++y)
        for (int x = 0; x < 24; ++x)
            before.push_back(s.At(x, y));

    c->DrawFocusRect(Rect(2, 2, 20, 20));
    EXPECT_NE(s.At(2, 2), before[2 * 24 + 2]);
    c->DrawFocusRect(Rect(2, 2, 20, 20));
    c->Pen()->SetMode(pmNot);
    c->Pen()->SetStyle(psDot);
    c->Brush()->SetStyle(bsClear);
    c->Rectangle(1, 1, 23, 23);
    c->Rectangle(1, 1, 23, 23);
    for (int y = 0; y < 24; ++y)
        for (int x = 0; x < 24; ++x)
            ASSERT_EQ(s.At(x, y), before[y * 24 + x]) << x << "," << y;
}

TEST(CanvasDrawing, TextUsesFontColourAndMovesThePen) {
    Surface s(120, 30);
    TCanvas* c = s.C();
    c->Font()->SetName("Fixed Metrics Test");
    c->Font()->SetHeight(-16);
    c->Font()->SetColor(clBlack);
    c->Brush()->SetStyle(bsClear);
    int w = c->TextWidth(std::string("Hello"));
    EXPECT_GT(w, 0);
    EXPECT_EQ(c->TextWidth(u"Hello"), w);
    EXPECT_EQ(c->TextExtent(std::string("Hello")).cy, c->TextHeight(std::string("H")));
    c->TextOut(2, 2, std::string("Hello"));
    EXPECT_EQ(c->PenPos(), Point(2 + w, 2));
    int dark = 0;
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 120; ++x)
            if (s.At(x, y) != clWhite) ++dark;
    EXPECT_GT(dark, 10);

    // Opaque text rectangle: the brush fills the whole rectangle, the text is clipped to it.
    c->Brush()->SetColor(clYellow);
    c->TextRect(Rect(0, 20, 30, 30), 0, 20, std::u16string(u"            "));
    EXPECT_EQ(s.At(29, 29), clYellow);
    EXPECT_EQ(s.At(31, 25), clWhite);
    // A larger font is wider.
    int small = c->TextWidth(std::string("abc"));
    c->Font()->SetHeight(-32);
    EXPECT_GT(c->TextWidth(std::string("abc")), small);
}

TEST(CanvasDrawing, ClippingLimitsDrawingAndClipRectReportsIt) {
    Surface s(20, 20);
    TCanvas* c = s.C();
    EXPECT_EQ(c->ClipRect(), Rect(0, 0, 20, 20));
    IntersectClipRect(c->Handle(), 5, 5, 10, 10);
    EXPECT_EQ(c->ClipRect(), Rect(5, 5, 10, 10));
    c->Brush()->SetColor(clRed);
    c->FillRect(Rect(0, 0, 20, 20));
    SelectClipRgn(c->Handle(), nullptr);
    EXPECT_EQ(s.At(4, 4), clWhite);
    EXPECT_EQ(s.At(5, 5), clRed);
    EXPECT_EQ(s.At(9, 9), clRed);
    EXPECT_EQ(s.At(10, 10), clWhite);
}

TEST(CanvasHandle, GivenOwnedOrMissing) {
    TCanvas bare;
    EXPECT_FALSE(bare.HandleAllocated());
    EXPECT_THROW(bare.FillRect(Rect(0, 0, 1, 1)), EInvalidOperation);

    HDC dc = CreateBufferDC(10, 10, 96, 96);
    {
        TCanvas given;
        given.SetHandle(dc);
        given.Brush()->SetColor(clBlue);
        given.FillRect(Rect(0, 0, 10, 10));
        EXPECT_EQ(given.Pixels(3, 3), clBlue);
        given.SetHandle(nullptr);
    }
    // The canvas left the context to its owner, with its own objects deselected.
    EXPECT_EQ(GetPixel(dc, 3, 3), RGB(0, 0, 255));
    EXPECT_EQ(GetCurrentObject(dc, OBJ_BRUSH), GetStockObject(HOLLOW_BRUSH));
    DeleteDC(dc);

    TCanvas owning;
    owning.SetOwnedHandle(CreateBufferDC(300, 300, 600, 600));
    EXPECT_EQ(CanvasPixelsPerInch(&owning), 600);
    owning.Font()->SetSize(10);
    EXPECT_EQ(owning.Font()->Height(), -83);
    owning.Pen()->SetColor(clRed);
    owning.MoveTo(0, 5);
    owning.LineTo(5, 5);
    EXPECT_EQ(owning.Pixels(2, 5), clRed);
}

TEST(CanvasEvents, ChangingAndChangeBracketEveryDrawing) {
    Surface s(10, 10);
    TCanvas* c = s.C();
    std::vector<char> log;
    c->OnChanging = [&](TObject*) { log.push_back('<'); };
    c->OnChange = [&](TObject*) { log.push_back('>'); };
    c->FillRect(Rect(0, 0, 2, 2));
    c->LineTo(3, 3);
    c->TextOut(0, 0, std::string("x"));
    EXPECT_EQ(std::string(log.begin(), log.end()), "<><><>");
    log.clear();
    c->TextWidth(std::string("x")); // measuring does not draw
    c->Pixels(0, 0);
    EXPECT_TRUE(log.empty());
}

TEST(CanvasEvents, BitmapCanvasChangesMarkTheBitmapModified) {
    TBitmap b(4, 4);
    int changes = 0;
    b.OnChange = [&](TObject*) { ++changes; };
    b.SetModified(false);
    b.Canvas()->FillRect(Rect(0, 0, 2, 2));
    EXPECT_EQ(changes, 1);
    EXPECT_TRUE(b.Modified());
}

TEST(CanvasLock, NestsAndCounts) {
    TCanvas c;
    c.Lock();
    c.Lock();
    EXPECT_EQ(c.LockCount(), 2);
    EXPECT_TRUE(c.TryLock());
    c.Unlock();
    c.Unlock();
    c.Unlock();
    c.Unlock(); // one too many is ignored
    EXPECT_EQ(c.LockCount(), 0);
}

TEST(CanvasCopy, CopyRectDrawAndStretchDraw) {
    TBitmap src(4, 4, pf24bit);
    src.Canvas()->Brush()->SetColor(clRed);
    src.Canvas()->FillRect(Rect(0, 0, 2, 4));
    Surface s(20, 20);
    s.C()->CopyRect(Rect(0, 0, 4, 4), src.Canvas(), Rect(0, 0, 4, 4));
    EXPECT_EQ(s.At(1, 1), clRed);
    EXPECT_EQ(s.At(2, 1), clWhite);
    s.C()->Draw(10, 10, &src);
    EXPECT_EQ(s.At(10, 10), clRed);
    EXPECT_EQ(s.At(12, 10), clWhite);
    s.C()->StretchDraw(Rect(0, 10, 8, 18), &src);
    EXPECT_EQ(s.At(3, 17), clRed);
    EXPECT_EQ(s.At(4, 17), clWhite);
    // Nothing to draw is not an error.
    s.C()->Draw(0, 0, nullptr);
    TBitmap empty;
    s.C()->Draw(0, 0, &empty);

    // BrushCopy paints the key colour with the brush.
    s.C()->Brush()->SetColor(clBlue);
    s.C()->BrushCopy(Rect(0, 0, 4, 4), &src, Rect(0, 0, 4, 4), clWhite);
    EXPECT_EQ(s.At(0, 0), clRed);
    EXPECT_EQ(s.At(3, 3), clBlue);
}

TEST(CanvasBrush, PatternBitmapAndHatchesFill) {
    TBitmap pattern(8, 8, pf24bit);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            pattern.Canvas()->SetPixels(x, y, (x % 2) ? clRed : clBlue);
    Surface s(16, 4);
    s.C()->Brush()->SetBitmap(&pattern);
    s.C()->FillRect(Rect(0, 0, 16, 4));
    EXPECT_EQ(s.At(0, 0), clBlue);
    EXPECT_EQ(s.At(1, 0), clRed);
    EXPECT_EQ(s.At(9, 3), clRed);
    s.C()->Brush()->SetBitmap(nullptr);

    // A hatch leaves the background between its lines alone.
    Surface h(8, 8);
    h.C()->Brush()->SetColor(clYellow);
    h.C()->FillRect(Rect(0, 0, 8, 8));
    h.C()->Brush()->SetColor(clBlack);
    h.C()->Brush()->SetStyle(bsHorizontal);
    h.C()->FillRect(Rect(0, 0, 8, 8));
    int black = 0, yellow = 0;
    for (int y = 0; y < 8; ++y) {
        black += h.At(0, y) == clBlack;
        yellow += h.At(0, y) == clYellow;
    }
    EXPECT_GT(black, 0);
    EXPECT_GT(yellow, 0);
    EXPECT_EQ(black + yellow, 8);
}

TEST(CanvasBrush, MonochromePatternTakesTextAndBrushColours) {
    TBitmap pattern(2, 2, pf1bit);
    pattern.Canvas()->SetPixels(0, 0, clBlack);
    pattern.Canvas()->SetPixels(1, 1, clBlack);
    Surface s(8, 8);
    SetTextColor(s.C()->Handle(), RGB(0, 0, 255));
    s.C()->Brush()->SetColor(clRed);
    s.C()->Brush()->SetBitmap(&pattern);
    s.C()->FillRect(Rect(0, 0, 8, 8));
    EXPECT_EQ(s.At(0, 0), clBlue);
    EXPECT_EQ(s.At(1, 0), clRed);
    EXPECT_EQ(s.At(3, 3), clBlue);
    EXPECT_EQ(s.At(6, 7), clRed);
}
