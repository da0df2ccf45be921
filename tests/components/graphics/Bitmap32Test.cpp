#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <set>
#include <utility>

#include "components/graphics/Bitmap32.h"
#include "components/graphics/Blend.h"
#include "components/graphics/Polygons.h"
#include "platform/core/Exceptions.h"
#include "platform/streaming/Filer.h"
#include "platform/streaming/PropertyRegistry.h"

using namespace epc;

namespace {

// The set of pixels that differ from the background colour.
std::set<std::pair<int, int>> Painted(const TBitmap32& b, TColor32 background = 0) {
    std::set<std::pair<int, int>> result;
    for (int y = 0; y < b.Height(); ++y)
        for (int x = 0; x < b.Width(); ++x)
            if (b.Pixel(x, y) != background) result.insert({x, y});
    return result;
}

}  // namespace

TEST(ColorHelpers, FrameworkColoursBecomeOpaqueArgb) {
    EXPECT_EQ(Color32(clRed), 0xFFFF0000u);
    EXPECT_EQ(Color32(clBlue), 0xFF0000FFu);
    COLORREF face = GetSysColor(COLOR_BTNFACE);
    EXPECT_EQ(Color32(clBtnFace),
              0xFF000000u | (GetRValue(face) << 16) | (GetGValue(face) << 8) | GetBValue(face));
}

TEST(ColorHelpers, ColorWithAlphaKeepsColourAndClampsAlpha) {
    EXPECT_EQ(ColorWithAlpha(0x12345678, 300), 0xFF345678u);
    EXPECT_EQ(ColorWithAlpha(0x12345678, -5), 0x00345678u);
    EXPECT_EQ(ColorWithAlpha(0x12345678, 60), 0x3C345678u);
}

TEST(GeometryHelpers, RoundingRules) {
    EXPECT_EQ(FixedRound(0x8000), 0);   // a half rounds down
    EXPECT_EQ(FixedRound(0x8001), 1);
    EXPECT_EQ(FixedRound(-0x8000), -1);
    EXPECT_EQ(FixedRound(3 * 65536), 3);
    // Floats round half to even.
    EXPECT_EQ(MakeFixedPointFromFloats(1.5 / 65536, 2.5 / 65536), (TFixedPoint{2, 2}));
    EXPECT_EQ(MakeFixedPointFromInts(-2, 3), (TFixedPoint{-2 * 65536, 3 * 65536}));

    TFloatRect f{0.2f, 0.2f, 0.4f, 0.4f};
    EXPECT_EQ(MakeRectFromFloatRect(f, 2), TRect(1, 1, 1, 1));
    EXPECT_EQ(MakeRectFromFloatRect(f, 1), TRect(0, 0, 1, 1));
    EXPECT_EQ(MakeRectFromFloatRect(f, 0), TRect(0, 0, 0, 0));
    EXPECT_EQ(MakeRectFromFloatRect({1.5f, 2.5f, 3.7f, -0.6f}, 0), TRect(2, 2, 4, -1));
}

TEST(GeometryHelpers, RectanglesAndSpans) {
    TRect r(10, 10, 20, 20);
    EXPECT_TRUE(PointInIntRect(r, {10, 10}));
    EXPECT_FALSE(PointInIntRect(r, {20, 15}));

    TRect out(1, 1, 1, 1);
    EXPECT_TRUE(IntersectIntRect(out, r, TRect(15, 5, 30, 12)));
    EXPECT_EQ(out, TRect(15, 10, 20, 12));
    EXPECT_FALSE(IntersectIntRect(out, r, TRect(25, 25, 30, 30)));
    EXPECT_EQ(out, TRect());
    // Touching rectangles give an empty but valid overlap.
    EXPECT_TRUE(IntersectIntRect(out, r, TRect(20, 10, 30, 20)));
    EXPECT_TRUE(IsIntRectEmpty(out));

    int32_t a = 12, b = -3;
    EXPECT_TRUE(ClipSpan(a, b, 10));
    EXPECT_EQ(a, 0);
    EXPECT_EQ(b, 9);
    a = 11;
    b = 15;
    EXPECT_FALSE(ClipSpan(a, b, 10));
}

// Edges moved past the 32-bit limits stop there instead of wrapping to the other side.
TEST(GeometryHelpers, MovingRectanglesNearTheLimits) {
    TRect r(INT32_MAX - 10, INT32_MIN + 5, INT32_MAX - 2, INT32_MIN + 9);
    OffsetIntRect(r, 5, -7);
    EXPECT_EQ(r, TRect(INT32_MAX - 5, INT32_MIN, INT32_MAX, INT32_MIN + 2));
    // Wholly beyond the limit it is empty, not a rectangle on the far side.
    r = TRect(INT32_MAX - 10, 0, INT32_MAX - 2, 4);
    OffsetIntRect(r, 100, 0);
    EXPECT_TRUE(IsIntRectEmpty(r));
    r = TRect(INT32_MIN + 1, INT32_MIN + 1, INT32_MAX - 1, INT32_MAX - 1);
    InflateIntRect(r, 3, -2);
    EXPECT_EQ(r, TRect(INT32_MIN, INT32_MIN + 3, INT32_MAX, INT32_MAX - 3));
    OffsetIntRect(r, INT32_MIN, INT32_MAX);
    EXPECT_EQ(r, TRect(INT32_MIN, 2, -1, INT32_MAX));
}

TEST(GeometryHelpers, MulDivRound) {
    EXPECT_EQ(MulDivRound(10, 3, 4), 8);  // 7.5 rounds up
    EXPECT_EQ(MulDivRound(10, 3, 5), 6);
    EXPECT_EQ(MulDivRound(-10, 3, 4), -8);
    EXPECT_EQ(MulDivRound(-10, -3, 4), 8);
    EXPECT_EQ(MulDivRound(10, 3, -4), -8);
    EXPECT_EQ(MulDivRound(7, 1, 3), 2);
    EXPECT_EQ(MulDivRound(1, 1, 0), -1);
    EXPECT_EQ(MulDivRound(0x40000000, 4, 1), -1);  // does not fit
}

TEST(GeometryHelpers, GammaTable) {
    EXPECT_EQ(GAMMA_TABLE[0], 0);
    EXPECT_EQ(GAMMA_TABLE[1], 5);
    EXPECT_EQ(GAMMA_TABLE[64], 97);
    EXPECT_EQ(GAMMA_TABLE[128], 157);
    EXPECT_EQ(GAMMA_TABLE[255], 255);
    for (int i = 1; i < 256; ++i) EXPECT_GE(GAMMA_TABLE[i], GAMMA_TABLE[i - 1]);
}

TEST(Bitmap32Size, EmptyUntilBothSidesPositive) {
    TBitmap32 b;
    EXPECT_TRUE(b.IsEmpty());
    b.SetSize(0, 5);
    EXPECT_TRUE(b.IsEmpty());
    EXPECT_EQ(b.Bits(), nullptr);
    b.SetSize(-4, 3);
    EXPECT_EQ(b.Width(), 0);
    b.SetSize(3, 2);
    ASSERT_FALSE(b.IsEmpty());
    EXPECT_EQ(b.BitmapInfo().bmiHeader.biWidth, 3);
    EXPECT_EQ(b.BitmapInfo().bmiHeader.biHeight, -2);  // top-down rows
    EXPECT_EQ(b.ScanLine(1), b.Bits() + 3);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) EXPECT_EQ(b.Pixel(x, y), 0u);
    b.SetOuterColor(0x12345678);
    EXPECT_EQ(b.GetPixelS(3, 0), 0x12345678u);
    EXPECT_EQ(b.GetPixelS(-1, 1), 0x12345678u);
    b.SetPixel(2, 1, 7);
    EXPECT_EQ(b.GetPixelS(2, 1), 7u);
}

TEST(Bitmap32Size, ResizeDiscardsPixelsAndNotifies) {
    TBitmap32 b;
    int changes = 0, resizes = 0, handles = 0;
    b.OnChange = [&](TObject*) { ++changes; };
    b.OnResize = [&](TObject*) { ++resizes; };
    b.OnHandleChanged = [&](TObject*) { ++handles; };
    b.SetSize(4, 4);
    b.Clear(0xFF112233);
    EXPECT_EQ(changes, 2);
    EXPECT_EQ(resizes, 1);
    EXPECT_EQ(handles, 1);
    EXPECT_FALSE(b.SetSize(4, 4));
    EXPECT_EQ(resizes, 1);
    b.SetSize(5, 4);
    EXPECT_EQ(b.Pixel(0, 0), 0u);  // nothing copied from the old size

    b.BeginUpdate();
    b.Clear(1);
    b.SetDrawMode(dmBlend);
    b.EndUpdate();  // ending the bracket does not notify by itself
    EXPECT_EQ(changes, 3);
    b.SetDrawMode(dmBlend);  // unchanged: no notification
    b.SetMasterAlpha(100);
    EXPECT_EQ(changes, 4);
}

TEST(Bitmap32Size, UnpairedEndUpdateFails) {
    TBitmap32 b;
    try {
        b.EndUpdate();
        FAIL();
    } catch (const EAssertionFailed& e) {
        EXPECT_STREQ(e.what(), "Unpaired TThreadPersistent.EndUpdate");
    }
}

TEST(Bitmap32Data, ByteLayoutAndRoundTrip) {
    TBitmap32 b;
    b.SetSize(2, 1);
    b.SetPixel(0, 0, 0x11223344);
    b.SetPixel(1, 0, 0xAABBCCDD);
    TMemoryStream s;
    b.WritePixelData(s);
    const std::string expected("\x02\0\0\0\x01\0\0\0\x44\x33\x22\x11\xDD\xCC\xBB\xAA", 16);
    EXPECT_EQ(s.DataString(), expected);

    TBitmap32 c;
    s.SetPosition(0);
    c.ReadPixelData(s);
    EXPECT_EQ(c.Width(), 2);
    EXPECT_EQ(c.Pixel(1, 0), 0xAABBCCDDu);
    EXPECT_FALSE(c.DataDiffers(&b));
    c.SetPixel(0, 0, 0);
    EXPECT_TRUE(c.DataDiffers(&b));
    EXPECT_TRUE(c.DataDiffers(nullptr));
    TBitmap32 empty1, empty2;
    EXPECT_FALSE(empty1.DataDiffers(&empty2));
    EXPECT_FALSE(empty1.DataDiffers(nullptr));
}

TEST(Bitmap32Data, StoredAsBinaryProperty) {
    TBitmap32 b;
    TMemoryStream s;
    TWriter w(s);
    b.DefineProperties(&w);  // empty: nothing written
    EXPECT_EQ(s.Size(), 0);
    b.SetSize(1, 1);
    b.SetPixel(0, 0, 0x01020304);
    b.DefineProperties(&w);
    const std::string expected = std::string("\x04" "Data" "\x0A", 6) +
                                 std::string("\x0C\0\0\0\x01\0\0\0\x01\0\0\0\x04\x03\x02\x01", 16);
    EXPECT_EQ(s.DataString(), expected);
}

TEST(Bitmap32Data, PublishedProperties) {
    TBitmap32 b;
    SetEnumProp(&b, "DrawMode", "dmBlend");
    SetEnumProp(&b, "StretchFilter", "sfLanczos");
    SetOrdProp(&b, "MasterAlpha", 90);
    EXPECT_EQ(b.DrawMode(), dmBlend);
    EXPECT_EQ(b.StretchFilter(), sfLanczos);
    EXPECT_EQ(b.MasterAlpha(), 90u);
    EXPECT_EQ(GetOrdProp(&b, "OuterColor"), 0);
}

TEST(Bitmap32Data, MalformedDataRaisesWithoutAllocating) {
    auto read = [](const std::string& bytes) {
        TStringStream s(bytes);
        TBitmap32 b;
        b.ReadPixelData(s);
    };
    EXPECT_THROW(read(std::string("\x02\0\0\0\x02\0\0\0\x01\x02", 10)), EReadError);  // short
    EXPECT_THROW(read(std::string("\xFF\xFF\xFF\xFF\x01\0\0\0", 8)), EReadError);   // negative
    EXPECT_THROW(read(std::string("\xFF\xFF\xFF\x7F\xFF\xFF\xFF\x7F", 8)), EReadError);
    EXPECT_THROW(read(std::string("\x02\0", 2)), EReadError);
    EXPECT_NO_THROW(read(std::string("\0\0\0\0\x05\0\0\0", 8)));  // empty is fine
}

TEST(Bitmap32Draw, FrameRectPixels) {
    TBitmap32 b;
    b.SetSize(8, 8);
    b.FrameRect(1, 1, 5, 4, 0xFFFFFFFF);
    std::set<std::pair<int, int>> expected = {{1, 1}, {2, 1}, {3, 1}, {4, 1}, {1, 3}, {2, 3},
                                              {3, 3}, {4, 3}, {1, 2}, {4, 2}};
    EXPECT_EQ(Painted(b), expected);

    b.Clear(0);
    b.FrameRect(2, 5, 6, 6, 0xFFFFFFFF);  // one pixel high: only its top row
    EXPECT_EQ(Painted(b), (std::set<std::pair<int, int>>{{2, 5}, {3, 5}, {4, 5}, {5, 5}}));

    b.Clear(0);
    b.FrameRect(6, 6, 12, 12, 0xFFFFFFFF);  // clipped at the right and bottom
    EXPECT_EQ(Painted(b), (std::set<std::pair<int, int>>{{6, 6}, {7, 6}, {6, 7}}));
    b.Clear(0);
    b.FrameRect(8, 0, 12, 4, 0xFFFFFFFF);
    b.FrameRect(3, 3, 3, 6, 0xFFFFFFFF);
    EXPECT_TRUE(Painted(b).empty());
}

TEST(Bitmap32Draw, FillRectClippedClampsToBitmap) {
    TBitmap32 b;
    b.SetSize(4, 4);
    b.FillRectClipped(-2, 2, 2, 9, 0xFF00FF00);
    EXPECT_EQ(Painted(b, 0).size(), 4u);
    EXPECT_EQ(b.Pixel(1, 3), 0xFF00FF00u);
    EXPECT_EQ(b.Pixel(2, 3), 0u);
    b.FillRectClipped(3, 3, 3, 4, 1);  // empty
    b.FillRectClipped(4, 0, 9, 9, 1);  // outside
    EXPECT_EQ(Painted(b, 0).size(), 4u);
}

TEST(Bitmap32Draw, LineEndPoints) {
    TBitmap32 b;
    b.SetSize(6, 6);
    b.DrawLine(0, 0, 3, 0, 1);
    EXPECT_EQ(Painted(b), (std::set<std::pair<int, int>>{{0, 0}, {1, 0}, {2, 0}}));
    b.Clear(0);
    b.DrawLine(3, 0, 0, 0, 1);  // toward the start: the end still left out
    EXPECT_EQ(Painted(b), (std::set<std::pair<int, int>>{{1, 0}, {2, 0}, {3, 0}}));
    b.Clear(0);
    b.DrawLine(1, 4, 1, 1, 1, true);
    EXPECT_EQ(Painted(b), (std::set<std::pair<int, int>>{{1, 1}, {1, 2}, {1, 3}, {1, 4}}));
    b.Clear(0);
    b.DrawLine(0, 0, 4, 2, 1);
    EXPECT_EQ(Painted(b), (std::set<std::pair<int, int>>{{0, 0}, {1, 0}, {2, 1}, {3, 1}}));
    b.Clear(0);
    b.DrawLine(0, 0, 2, 2, 1, true);
    EXPECT_EQ(Painted(b), (std::set<std::pair<int, int>>{{0, 0}, {1, 1}, {2, 2}}));
}

TEST(Bitmap32Draw, ClippedLinesDrawTheMovedEnd) {
    TBitmap32 b;
    b.SetSize(4, 4);
    b.DrawLineS(-5, 1, 2, 1, 1);  // start clipped, end kept and left out
    EXPECT_EQ(Painted(b), (std::set<std::pair<int, int>>{{0, 1}, {1, 1}}));
    b.Clear(0);
    b.DrawLineS(1, 2, 10, 2, 1);  // end clipped: the border pixel is drawn
    EXPECT_EQ(Painted(b), (std::set<std::pair<int, int>>{{1, 2}, {2, 2}, {3, 2}}));
    b.Clear(0);
    b.DrawLineS(-3, -1, -1, 5, 1);
    b.DrawLineBlendedS(5, 0, 9, 3, 0x80FFFFFF);
    EXPECT_TRUE(Painted(b).empty());

    b.SetPenColor(2);
    b.MoveTo(0, 3);
    b.LineToS(3, 3);
    EXPECT_EQ(b.PenPos(), TPoint(3, 3));
    EXPECT_EQ(b.Pixel(2, 3), 2u);
    EXPECT_EQ(b.Pixel(3, 3), 0u);
}

TEST(Bitmap32Draw, RunsClip) {
    TBitmap32 b;
    b.SetSize(4, 3);
    b.HorzLineS(5, 1, -2, 1);
    b.HorzLineS(0, 3, 3, 2);
    b.VertLineS(2, -5, 1, 3);
    EXPECT_EQ(b.Pixel(0, 1), 1u);
    EXPECT_EQ(b.Pixel(3, 1), 1u);
    EXPECT_EQ(b.Pixel(2, 0), 3u);
    EXPECT_EQ(b.Pixel(2, 1), 3u);
    EXPECT_EQ(b.Pixel(2, 2), 0u);
}

TEST(Bitmap32Draw, AntialiasedPointStaysInside) {
    TBitmap32 b;
    b.SetSize(3, 3);
    b.Clear(0xFF000000);
    // On a whole pixel only that pixel receives colour.
    b.SetPixelAA(1 << 8, 1 << 8, 0xFFFFFFFF);
    EXPECT_EQ(Painted(b, 0xFF000000), (std::set<std::pair<int, int>>{{1, 1}}));
    EXPECT_GE(RedComponent(b.Pixel(1, 1)), 250);
    // At the corner the clipped form touches only the pixel inside.
    b.Clear(0xFF000000);
    b.SetPixelAAS((2 << 8) + 128, (2 << 8) + 128, 0xFFFFFFFF);
    EXPECT_EQ(Painted(b, 0xFF000000), (std::set<std::pair<int, int>>{{2, 2}}));
    b.SetPixelAAS(3 << 8, 0, 0xFFFFFFFF);
    b.SetPixelAAS(-300, 0, 0xFFFFFFFF);
    EXPECT_EQ(Painted(b, 0xFF000000).size(), 1u);
}

TEST(Bitmap32Draw, AntialisedLineCoversItsPath) {
    TBitmap32 b;
    b.SetSize(12, 5);
    b.Clear(0xFF000000);
    b.DrawLineAAS(1 * 65536, 2 * 65536, 10 * 65536, 2 * 65536, 0xFFFFFFFF, true);
    for (int x = 1; x <= 9; ++x) EXPECT_GT(RedComponent(b.Pixel(x, 2)), 100) << x;
    EXPECT_EQ(b.Pixel(0, 0), 0xFF000000u);
    // Clipped at the bitmap's edges without touching memory outside.
    b.DrawLineAAS(-20 * 65536, -3 * 65536, 30 * 65536, 9 * 65536, 0xFFFFFFFF);
}

// Half a pixel long: no whole step is taken, and the last point still steps back by the rounded
// step from the middle of the line, to 4.75, so pixels 4 and 5 share it (5 the brighter).
TEST(Bitmap32Draw, SubPixelAntialiasedLineStepsBackFromTheEnd) {
    TBitmap32 b;
    b.SetSize(10, 10);
    b.Clear(0xFF000000);
    b.DrawLineAA(5 * 65536, 5 * 65536, 5 * 65536 + 32768, 5 * 65536, 0xFFFFFFFF);
    EXPECT_EQ(Painted(b, 0xFF000000), (std::set<std::pair<int, int>>{{4, 5}, {5, 5}}));
    EXPECT_GT(RedComponent(b.Pixel(5, 5)), RedComponent(b.Pixel(4, 5)));
    // Upward it steps back downward: the point lands at 5.25, on rows 5 and 6.
    b.Clear(0xFF000000);
    b.DrawLineAA(5 * 65536, 5 * 65536, 5 * 65536, 5 * 65536 - 32768, 0xFFFFFFFF);
    EXPECT_EQ(Painted(b, 0xFF000000), (std::set<std::pair<int, int>>{{5, 5}, {5, 6}}));
    EXPECT_GT(RedComponent(b.Pixel(5, 5)), RedComponent(b.Pixel(5, 6)));
}

// A step of exactly two and a half 16.16 units rounds half to even, to 2: the second point is
// the one at 24.8 x 1200, not 1201. The line is two whole pixels long, so the last point has
// no alpha left and only the two steps show.
TEST(Bitmap32Draw, AntialiasedLineStepRoundsHalfToEven) {
    const TFixed x1 = 1200 * 256 + 126, y1 = 5 * 65536;
    TBitmap32 b, expected;
    b.SetSize(10, 10);
    b.Clear(0xFF000000);
    expected.Assign(&b);
    b.DrawLineAA(x1, y1, x1 + 5, y1 + 2 * 65536, 0xFFFFFFFF);
    expected.SetPixelAA(1200, (y1 + 127) >> 8, 0xFFFFFFFF);
    expected.SetPixelAA(1200, (y1 + 127 + 65536) >> 8, 0xFFFFFFFF);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x)
            EXPECT_EQ(b.Pixel(x, y), expected.Pixel(x, y)) << x << "," << y;
}

// From 32,768 pixels on, the far edges no longer fit 16.16 in 32 bits: lines, pen lines and
// antialiased outlines must still draw there, as they do on a smaller bitmap.
TEST(Bitmap32Draw, AntialiasedLinesOnWideAndTallBitmaps) {
    auto draw = [](int w, int h, bool wide) {
        auto bitmap = std::make_unique<TBitmap32>();
        TBitmap32& b = *bitmap;
        b.SetSize(w, h);
        b.Clear(0xFF000000);
        auto at = [&](double along, double across) {
            return wide ? MakeFixedPointFromFloats(along, across)
                        : MakeFixedPointFromFloats(across, along);
        };
        TFixedPoint p1 = at(2.5, 1.3), p2 = at(29000.2, 1.6);
        b.DrawLineAAS(p1.X, p1.Y, p2.X, p2.Y, 0xFFFFFFFF);
        b.SetPenColor(0xFF00FF00);
        TFixedPoint p3 = at(10.0, 0.4), p4 = at(25000.7, 0.6);
        b.MoveToX(p3.X, p3.Y);
        b.LineToXS(p4.X, p4.Y);
        TPolygon32 outline;
        outline.SetAntialiased(true);
        outline.SetClosed(false);
        outline.AddPoint(at(100.0, 2.2));
        outline.AddPoint(at(20000.0, 2.4));
        outline.DrawOutline(&b, 0xFFFF0000);
        return bitmap;
    };
    for (bool wide : {true, false}) {
        SCOPED_TRACE(wide ? "wide" : "tall");
        auto bigBitmap = wide ? draw(40000, 3, true) : draw(3, 40000, false);
        auto smallBitmap = wide ? draw(30000, 3, true) : draw(3, 30000, false);
        const TBitmap32& big = *bigBitmap;
        const TBitmap32& small = *smallBitmap;
        int differing = 0, painted = 0;
        for (int along = 0; along < 40000; ++along)
            for (int across = 0; across < 3; ++across) {
                int x = wide ? along : across, y = wide ? across : along;
                TColor32 expected = along < 30000 ? small.Pixel(x, y) : 0xFF000000u;
                if (big.Pixel(x, y) != expected) ++differing;
                if (expected != 0xFF000000u) ++painted;
            }
        EXPECT_EQ(differing, 0);
        EXPECT_GT(painted, 29000);
    }
}

TEST(Bitmap32Assign, CopiesPixelsAndProperties) {
    TBitmap32 a, b;
    a.SetSize(3, 2);
    a.Clear(0x80402010);
    a.SetDrawMode(dmBlend);
    a.SetMasterAlpha(77);
    a.SetStretchFilter(sfLanczos);
    a.SetOuterColor(5);
    int changes = 0;
    b.OnChange = [&](TObject*) { ++changes; };
    b.Assign(&a);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(b.Width(), 3);
    EXPECT_EQ(b.Pixel(2, 1), 0x80402010u);
    EXPECT_EQ(b.DrawMode(), dmBlend);
    EXPECT_EQ(b.MasterAlpha(), 77u);
    EXPECT_EQ(b.StretchFilter(), sfLanczos);
    EXPECT_EQ(b.OuterColor(), 5u);
    b.Assign(nullptr);
    EXPECT_TRUE(b.IsEmpty());
    TStringList notAPicture;
    EXPECT_THROW(b.Assign(&notAPicture), EConvertError);
}
