#include <gtest/gtest.h>

#include <map>

#include "components/graphics/Blend.h"
#include "components/graphics/Polygons.h"

using namespace epc;

namespace {

void AddRect(TPolygon32& p, int l, int t, int r, int b) {
    p.AddPoint(MakeFixedPointFromInts(l, t));
    p.AddPoint(MakeFixedPointFromInts(r, t));
    p.AddPoint(MakeFixedPointFromInts(r, b));
    p.AddPoint(MakeFixedPointFromInts(l, b));
}

// How often each colour occurs among the bitmap's pixels.
std::map<TColor32, int> Histogram(const TBitmap32& b) {
    std::map<TColor32, int> h;
    for (int y = 0; y < b.Height(); ++y)
        for (int x = 0; x < b.Width(); ++x) ++h[b.Pixel(x, y)];
    return h;
}

}  // namespace

TEST(ClipLine, RejectsAndShortens) {
    int32_t x1 = -5, y1 = 1, x2 = -1, y2 = 8;
    EXPECT_FALSE(ClipLine(x1, y1, x2, y2, 0, 0, 10, 10));
    x1 = -2, y1 = 4, x2 = 4, y2 = -2;  // crosses the top-left corner
    EXPECT_TRUE(ClipLine(x1, y1, x2, y2, 0, 0, 10, 10));
    EXPECT_EQ(x1, 0);
    EXPECT_EQ(y1, 2);
    EXPECT_EQ(x2, 2);
    EXPECT_EQ(y2, 0);
    x1 = 3, y1 = 3, x2 = 10, y2 = 10;  // the bounds are inside
    EXPECT_TRUE(ClipLine(x1, y1, x2, y2, 0, 0, 10, 10));
    EXPECT_EQ(x2, 10);
    x1 = -4, y1 = 12, x2 = 3, y2 = 30;  // outside in two different zones, still missing
    EXPECT_FALSE(ClipLine(x1, y1, x2, y2, 0, 0, 10, 10));
}

TEST(ScanLines, EdgeRowsAndTurningVertices) {
    TScanLines t;
    // Down the left side, across, up the right side.
    BuildScanLines(t, {{{0, 0}, {0, 4}, {4, 4}, {4, 0}}}, 0, 5, 100);
    ASSERT_EQ(t.RowCount, 6);
    ASSERT_EQ(t.RowSize(0), 2u);  // start of the downward edge plus the turn
    EXPECT_EQ(t.Row(0)[0] & ~CrossingUp, 0u);
    EXPECT_EQ(t.Row(0)[1] & ~CrossingUp, 0u);
    for (int r = 1; r <= 3; ++r) {
        ASSERT_EQ(t.RowSize(r), 2u) << r;
        EXPECT_EQ(t.Row(r)[0], 0u);               // downward at x 0
        EXPECT_EQ(t.Row(r)[1], 4u | CrossingUp);  // upward at x 4
    }
    EXPECT_EQ(t.RowSize(4), 2u);  // the upward edge's lower end and the turn
    EXPECT_EQ(t.RowSize(5), 0u);

    // Rows outside the table are dropped, x is clamped; contours whose edges are all
    // horizontal, or with fewer than three points, add nothing.
    BuildScanLines(t, {{{-5, -2}, {50, 1}, {-5, 3}}, {{0, 1}, {5, 1}, {9, 1}}, {{0, 0}, {3, 3}}},
                   0, 2, 20);
    ASSERT_EQ(t.RowCount, 3);
    for (int r = 0; r < 3; ++r) {
        ASSERT_EQ(t.RowSize(r), 2u) << r;
        for (uint32_t i = 0; i < 2; ++i) EXPECT_LE(t.Row(r)[i] & ~CrossingUp, 20u);
    }
}

TEST(PolygonOutline, SinglePointsAndOpenContours) {
    TBitmap32 b;
    b.SetSize(5, 5);
    TPolygon32 p;
    p.AddPoint(MakeFixedPointFromInts(2, 3));
    p.DrawOutline(&b, 0xFFFFFFFF);
    EXPECT_EQ(b.Pixel(2, 3), 0xFFFFFFFFu);
    EXPECT_EQ(Histogram(b)[0], 24);
    b.Clear(0);
    p.SetClosed(false);
    p.DrawOutline(&b, 0xFFFFFFFF);
    EXPECT_EQ(Histogram(b)[0], 25);
    // An empty polygon draws nothing either way.
    TPolygon32 empty;
    empty.DrawOutline(&b, 0xFFFFFFFF);
    empty.DrawFilled(&b, 0xFFFFFFFF);
    EXPECT_EQ(Histogram(b)[0], 25);
}

TEST(PolygonFill, AnswerAreaIsCoveredOnceByFillAndOutline) {
    // As the answer areas are drawn: corners one pixel inside the right and bottom edges,
    // a semi-transparent fill, then an opaque outline.
    TBitmap32 b;
    b.SetSize(12, 10);
    b.Clear(0xFF000000);
    TPolygon32 p;
    AddRect(p, 2, 2, 7, 5);
    const TColor32 fill = ColorWithAlpha(0xFF0000, 60);
    p.DrawFilled(&b, fill);
    TColor32 once = 0xFF000000;
    AlphaOverInPlace(fill, once);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 12; ++x) {
            bool inner = x >= 2 && x <= 7 && y >= 3 && y <= 4;
            EXPECT_EQ(b.Pixel(x, y), inner ? once : 0xFF000000u) << x << "," << y;
        }
    p.DrawOutline(&b, 0xFFFFFFFF);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 12; ++x) {
            bool inside = x >= 2 && x <= 7 && y >= 2 && y <= 5;
            bool edge = inside && (x == 2 || x == 7 || y == 2 || y == 5);
            TColor32 want = edge ? 0xFFFFFFFF : (inside ? once : 0xFF000000);
            EXPECT_EQ(b.Pixel(x, y), want) << x << "," << y;
        }
}

TEST(PolygonFill, TouchingContoursBlendEachPixelOnce) {
    const TColor32 fill = ColorWithAlpha(0x00FF00, 60);
    TColor32 once = 0xFF000000;
    AlphaOverInPlace(fill, once);
    for (TPolyFillMode mode : {pfAlternate, pfWinding}) {
        TBitmap32 b;
        b.SetSize(30, 12);
        b.Clear(0xFF000000);
        TPolygon32 p;
        p.SetFillMode(mode);
        AddRect(p, 1, 1, 10, 10);
        p.NewLine();
        AddRect(p, 10, 1, 20, 10);
        p.DrawFilled(&b, fill);
        auto h = Histogram(b);
        EXPECT_EQ(h.size(), 2u) << int(mode);
        EXPECT_GT(h[once], 100);
    }
}

TEST(PolygonFill, WindingFillsOverlapsOnceAlternateLeavesThemOut) {
    const TColor32 fill = ColorWithAlpha(0x0000FF, 60);
    TColor32 once = 0xFF000000;
    AlphaOverInPlace(fill, once);
    // Two overlapping squares of the same orientation.
    TBitmap32 b;
    b.SetSize(30, 12);
    TPolygon32 p;
    AddRect(p, 1, 1, 15, 10);
    p.NewLine();
    AddRect(p, 8, 1, 22, 10);
    p.SetFillMode(pfWinding);
    b.Clear(0xFF000000);
    p.DrawFilled(&b, fill);
    auto h = Histogram(b);
    EXPECT_EQ(h.size(), 2u);  // every covered pixel blended exactly once
    EXPECT_EQ(b.Pixel(11, 5), once);

    p.SetFillMode(pfAlternate);
    b.Clear(0xFF000000);
    p.DrawFilled(&b, fill);
    EXPECT_EQ(b.Pixel(4, 5), once);
    EXPECT_EQ(b.Pixel(11, 5), 0xFF000000u);
    EXPECT_EQ(b.Pixel(18, 5), once);

    // One contour running twice around: inner part empty in alternate, filled in winding.
    TPolygon32 twice;
    for (int i = 0; i < 2; ++i) AddRect(twice, 2, 2, 12, 10);
    b.Clear(0xFF000000);
    twice.DrawFilled(&b, 0xFFFFFFFF);
    EXPECT_EQ(b.Pixel(6, 6), 0xFF000000u);
    twice.SetFillMode(pfWinding);
    twice.DrawFilled(&b, 0xFFFFFFFF);
    EXPECT_EQ(b.Pixel(6, 6), 0xFFFFFFFFu);
}

TEST(PolygonFill, OutsideAndDegenerateDrawNothing) {
    TBitmap32 b;
    b.SetSize(8, 8);
    TPolygon32 p;
    AddRect(p, 1, -9, 6, -2);  // wholly above
    p.NewLine();
    p.AddPoint(MakeFixedPointFromInts(1, 1));
    p.AddPoint(MakeFixedPointFromInts(6, 6));  // two points only
    p.DrawFilled(&b, 0xFFFFFFFF);
    p.SetAntialiased(true);
    p.DrawFilled(&b, 0xFFFFFFFF);
    EXPECT_EQ(Histogram(b)[0], 64);
}

TEST(PolygonFillAA, CoverageAndBufferGrowth) {
    TBitmap32 b;
    b.SetSize(12, 12);
    b.Clear(0xFF000000);
    TPolygon32 p;
    p.SetAntialiased(true);
    AddRect(p, 2, 2, 8, 8);
    p.DrawFilled(&b, 0xFF0000FF);
    // Fully inside: coverage 255 under the colour's alpha as master (mixed, also at 255).
    TColor32 full = 0xFF000000;
    AlphaOverMasterInPlace(0xFF0000FF, full, 255);
    EXPECT_EQ(b.Pixel(4, 4), full);
    EXPECT_EQ(b.Pixel(10, 10), 0xFF000000u);
    EXPECT_EQ(b.Pixel(0, 5), 0xFF000000u);
    // The coverage buffer holds the pixel range plus 2, grown with a margin of 64.
    EXPECT_EQ(p.CoverageCapacity(), size_t(7 + 2 + 64));

    // Half a pixel off the grid in both directions: about a quarter at the corner.
    b.Clear(0xFF000000);
    p.Clear();
    p.AddPoint(MakeFixedPointFromFloats(2.5, 2.5));
    p.AddPoint(MakeFixedPointFromFloats(8.5, 2.5));
    p.AddPoint(MakeFixedPointFromFloats(8.5, 8.5));
    p.AddPoint(MakeFixedPointFromFloats(2.5, 8.5));
    p.DrawFilled(&b, 0xFFFFFFFF);
    TColor32 white = 0xFF000000;
    AlphaOverMasterInPlace(0xFFFFFFFF, white, 255);
    EXPECT_EQ(b.Pixel(5, 5), white);
    int corner = RedComponent(b.Pixel(2, 2));
    EXPECT_GT(corner, 40);
    EXPECT_LT(corner, 90);
    int side = RedComponent(b.Pixel(5, 2));
    EXPECT_GT(side, 80);
    EXPECT_LT(side, 160);

    // The colour's own alpha scales the coverage.
    b.Clear(0xFF000000);
    p.DrawFilled(&b, 0x80FFFFFF);
    EXPECT_NEAR(RedComponent(b.Pixel(5, 5)), 128, 1);
}

TEST(PolygonFillAA, ClippedAtTheBitmapEdges) {
    TBitmap32 b;
    b.SetSize(10, 10);
    b.Clear(0xFF000000);
    TPolygon32 p;
    p.SetAntialiased(true);
    p.AddPoint(MakeFixedPointFromInts(-20, -5));
    p.AddPoint(MakeFixedPointFromInts(30, 4));
    p.AddPoint(MakeFixedPointFromInts(5, 40));
    p.DrawFilled(&b, 0xFFFFFFFF);
    EXPECT_GE(RedComponent(b.Pixel(2, 2)), 254);
    p.SetAntialiased(false);
    p.DrawFilled(&b, 0xFF00FF00);
    EXPECT_EQ(b.Pixel(2, 2), 0xFF00FF00u);
}
