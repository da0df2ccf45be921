#include <gtest/gtest.h>

#include <cstdint>
#include <random>

#include "components/graphics/Blend.h"
#include "components/graphics/Transforms.h"

using namespace epc;

namespace {

void Fill(TBitmap32& b, int w, int h, uint32_t seed) {
    b.SetSize(w, h);
    std::mt19937 rng(seed);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) b.SetPixel(x, y, rng());
}

bool SamePixels(const TBitmap32& a, const TBitmap32& b) {
    if (a.Width() != b.Width() || a.Height() != b.Height()) return false;
    for (int y = 0; y < a.Height(); ++y)
        for (int x = 0; x < a.Width(); ++x)
            if (a.Pixel(x, y) != b.Pixel(x, y)) return false;
    return true;
}

std::string MessageOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const ETransformError& e) {
        return e.what();
    }
    return "";
}

}  // namespace

TEST(Transfers, ErrorTexts) {
    TBitmap32 src, dst, empty;
    src.SetSize(4, 4);
    dst.SetSize(4, 4);
    EXPECT_EQ(MessageOf([&] { CheckBitmaps(&empty, &src); }),
              "Destination bitmap is nil or empty");
    EXPECT_EQ(MessageOf([&] { CheckBitmaps(nullptr, &src); }),
              "Destination bitmap is nil or empty");
    EXPECT_EQ(MessageOf([&] { CheckBitmaps(&dst, &empty); }), "Source bitmap is nil or empty");
    EXPECT_EQ(MessageOf([&] {
                  StretchTransfer(&dst, TRect(0, 0, 4, 4), dst.BoundsRect(), &src,
                                  TRect(1, 0, 5, 4), sfLinear, dmOpaque);
              }),
              "Source rectangle is invalid");
    EXPECT_EQ(MessageOf([&] {
                  BlockTransfer(&empty, 0, 0, TRect(0, 0, 4, 4), &src, src.BoundsRect(),
                                dmOpaque);
              }),
              "Destination bitmap is nil or empty");
    // An empty source draws nothing and raises nothing.
    EXPECT_NO_THROW(BlockTransfer(&empty, 0, 0, TRect(), &empty, TRect(), dmOpaque));
}

TEST(Transfers, EmptySourceRectangleAndZeroMasterAlphaDrawNothing) {
    TBitmap32 src, dst, before;
    Fill(src, 4, 4, 1);
    Fill(dst, 4, 4, 2);
    before.Assign(&dst);
    StretchTransfer(&dst, TRect(0, 0, 4, 4), dst.BoundsRect(), &src, TRect(2, 2, 2, 4),
                    sfLinear, dmOpaque);
    src.SetMasterAlpha(0);
    StretchTransfer(&dst, TRect(0, 0, 3, 3), dst.BoundsRect(), &src, src.BoundsRect(),
                    sfLanczos, dmBlend);
    BlockTransfer(&dst, 0, 0, dst.BoundsRect(), &src, src.BoundsRect(), dmBlend);
    EXPECT_TRUE(SamePixels(dst, before));
}

TEST(Transfers, BlockTransferClipsAndPlaces) {
    TBitmap32 src, dst;
    Fill(src, 4, 4, 3);
    dst.SetSize(5, 5);
    BlockTransfer(&dst, 3, -1, TRect(0, 0, 4, 5), &src, TRect(1, 1, 4, 4), dmOpaque);
    // Source (1, 2) lands on (3, 0); column 4 lies outside the clip.
    EXPECT_EQ(dst.Pixel(3, 0), src.Pixel(1, 2));
    EXPECT_EQ(dst.Pixel(3, 1), src.Pixel(1, 3));
    EXPECT_EQ(dst.Pixel(4, 0), 0u);
    EXPECT_EQ(dst.Pixel(2, 0), 0u);
    EXPECT_EQ(dst.Pixel(3, 2), 0u);
}

// The offset from the source rectangle to the destination point may pass the 32-bit limits;
// the transfer still places by the true offset (a wrapped one would draw columns 2 and 3 at 0).
TEST(Transfers, BlockTransferOffsetNearTheLimits) {
    TBitmap32 src, dst, blank;
    Fill(src, 4, 4, 5);
    dst.SetSize(4, 4);
    blank.Assign(&dst);
    BlockTransfer(&dst, INT32_MAX, 0, dst.BoundsRect(), &src, TRect(INT32_MIN + 1, 0, 4, 4),
                  dmOpaque);
    BlockTransfer(&dst, INT32_MIN, 0, dst.BoundsRect(), &src, TRect(2, 0, 4, 4), dmOpaque);
    EXPECT_TRUE(SamePixels(dst, blank));
    // A source rectangle reaching to the limit still lands its column 0 where it belongs.
    BlockTransfer(&dst, INT32_MIN + 1, 1, dst.BoundsRect(), &src, TRect(INT32_MIN, 1, 4, 4),
                  dmOpaque);
    EXPECT_EQ(dst.Pixel(0, 0), 0u);
    EXPECT_EQ(dst.Pixel(1, 1), src.Pixel(0, 1));
    EXPECT_EQ(dst.Pixel(3, 3), src.Pixel(2, 3));
}

TEST(Transfers, BlendModeAndCustomCombine) {
    TBitmap32 src, dst, expected;
    Fill(src, 9, 3, 4);
    Fill(dst, 9, 3, 5);
    expected.Assign(&dst);
    src.SetMasterAlpha(180);
    BlockTransfer(&dst, 0, 0, dst.BoundsRect(), &src, src.BoundsRect(), dmBlend);
    for (int y = 0; y < 3; ++y)
        AlphaOverRowMaster(src.ScanLine(y), expected.ScanLine(y), 9, 180);
    EXPECT_TRUE(SamePixels(dst, expected));

    int calls = 0;
    BlockTransfer(&dst, 0, 0, dst.BoundsRect(), &src, TRect(0, 0, 2, 2), dmCustom,
                  [&](TColor32 f, TColor32& b, TColor32 m) {
                      ++calls;
                      EXPECT_EQ(m, 180u);
                      b = f ^ 0xFFFFFFFF;
                  });
    EXPECT_EQ(calls, 4);
    EXPECT_EQ(dst.Pixel(1, 1), src.Pixel(1, 1) ^ 0xFFFFFFFF);
    // Custom without a callback copies.
    BlockTransfer(&dst, 0, 0, dst.BoundsRect(), &src, TRect(0, 0, 1, 1), dmCustom);
    EXPECT_EQ(dst.Pixel(0, 0), src.Pixel(0, 0));
}

TEST(Stretch, SameSizeEqualsBlockTransfer) {
    TBitmap32 src, a, b;
    Fill(src, 6, 5, 6);
    Fill(a, 8, 8, 7);
    b.Assign(&a);
    src.SetMasterAlpha(200);
    for (TStretchFilter f : {sfNearest, sfLinear, sfLanczos}) {
        StretchTransfer(&a, TRect(2, 1, 6, 4), TRect(0, 0, 5, 8), &src, TRect(1, 1, 5, 4), f,
                        dmBlend);
        BlockTransfer(&b, 2, 1, TRect(0, 0, 5, 8), &src, TRect(1, 1, 5, 4), dmBlend);
        EXPECT_TRUE(SamePixels(a, b));
    }
}

TEST(Stretch, NearestEnlargesOnePixelAndBlocks) {
    TBitmap32 src, dst;
    src.SetSize(1, 1);
    src.SetPixel(0, 0, 0xFF123456);
    dst.SetSize(6, 6);
    StretchTransfer(&dst, TRect(1, 1, 5, 4), dst.BoundsRect(), &src, src.BoundsRect(),
                    sfNearest, dmOpaque);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 6; ++x)
            EXPECT_EQ(dst.Pixel(x, y), (x >= 1 && x < 5 && y >= 1 && y < 4) ? 0xFF123456u : 0u);

    Fill(src, 2, 2, 8);
    StretchTransfer(&dst, TRect(0, 0, 4, 6), dst.BoundsRect(), &src, src.BoundsRect(),
                    sfNearest, dmOpaque);
    EXPECT_EQ(dst.Pixel(1, 2), src.Pixel(0, 0));
    EXPECT_EQ(dst.Pixel(2, 2), src.Pixel(1, 0));
    EXPECT_EQ(dst.Pixel(3, 3), src.Pixel(1, 1));
    EXPECT_EQ(dst.Pixel(0, 5), src.Pixel(0, 1));
}

TEST(Stretch, NearestShrinkTakesTheTruncatedSourcePosition) {
    // Destination d maps to source Trunc(d * sourceSize / destinationSize) + source start, so
    // each shrunk pixel comes from the first source pixel of its span.
    TBitmap32 src, dst;
    Fill(src, 9, 8, 11);
    dst.SetSize(5, 4);
    StretchTransfer(&dst, TRect(0, 0, 3, 3), dst.BoundsRect(), &src, TRect(1, 0, 7, 8), sfNearest,
                    dmOpaque);
    const int columns[] = {1, 3, 5}; // 6 -> 3
    const int rows[] = {0, 2, 5};    // 8 -> 3: 0, 8/3, 16/3
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 3; ++x)
            EXPECT_EQ(dst.Pixel(x, y), src.Pixel(columns[x], rows[y])) << x << "," << y;
    EXPECT_EQ(dst.Pixel(3, 0), 0u);
    EXPECT_EQ(dst.Pixel(0, 3), 0u);

    // A clipped destination maps from the destination rectangle, not the clip: 5 -> 2 columns
    // pick 0 and 2; a destination starting left of the clip keeps its mapping.
    dst.Clear(0);
    StretchTransfer(&dst, TRect(-1, 1, 1, 2), dst.BoundsRect(), &src, TRect(0, 3, 5, 4), sfNearest,
                    dmOpaque);
    EXPECT_EQ(dst.Pixel(0, 1), src.Pixel(2, 3));
    EXPECT_EQ(dst.Pixel(1, 1), 0u);
}

TEST(Stretch, LinearWeightsBetweenTwoPixelsAreHalves) {
    TMappingTable t = BuildMappingTable(0, 3, 0, 3, 0, 2, sfLinear);
    ASSERT_EQ(t.size(), 3u);
    ASSERT_EQ(t[1].size(), 2u);
    EXPECT_EQ(t[1][0].Pos, 0);
    EXPECT_EQ(t[1][0].Weight, 128);
    EXPECT_EQ(t[1][1].Pos, 1);
    EXPECT_EQ(t[1][1].Weight, 128);
    for (const auto& list : t) {
        int sum = 0;
        for (const TPointRec& p : list) {
            sum += p.Weight;
            EXPECT_TRUE(p.Pos >= 0 && p.Pos < 2);
        }
        EXPECT_EQ(sum, 256);
    }

    TBitmap32 src, dst;
    src.SetSize(2, 1);
    src.SetPixel(0, 0, 0xFF000000);
    src.SetPixel(1, 0, 0xFFC8C8C8);
    dst.SetSize(3, 1);
    StretchTransfer(&dst, dst.BoundsRect(), dst.BoundsRect(), &src, src.BoundsRect(), sfLinear,
                    dmOpaque);
    EXPECT_EQ(dst.Pixel(0, 0), 0xFF000000u);
    EXPECT_EQ(dst.Pixel(1, 0), 0xFF646464u);
    EXPECT_EQ(dst.Pixel(2, 0), 0xFFC8C8C8u);
}

TEST(Stretch, BilinearEnlargeKeepsToTheSourceAtItsEdges) {
    TBitmap32 src, dst;
    src.SetSize(2, 2);
    src.SetPixel(0, 0, 0xFF000000);
    src.SetPixel(1, 0, 0xFFFFFFFF);
    src.SetPixel(0, 1, 0xFF000000);
    src.SetPixel(1, 1, 0xFFFFFFFF);
    dst.SetSize(4, 4);
    StretchTransfer(&dst, dst.BoundsRect(), dst.BoundsRect(), &src, src.BoundsRect(), sfLinear,
                    dmOpaque);
    for (int y = 0; y < 4; ++y) {
        EXPECT_EQ(dst.Pixel(0, y), 0xFF000000u);
        EXPECT_EQ(dst.Pixel(1, y), 0xFF3F3F3Fu);
        EXPECT_EQ(dst.Pixel(2, y), 0xFFBFBFBFu);
        EXPECT_EQ(dst.Pixel(3, y), 0xFFFFFFFFu);
    }
    // A source rectangle inside a larger bitmap never reads its neighbours.
    TBitmap32 big;
    big.SetSize(4, 4);
    big.Clear(0xFFFF0000);
    big.SetPixel(1, 1, 0xFF00FF00);
    StretchTransfer(&dst, dst.BoundsRect(), dst.BoundsRect(), &big, TRect(1, 1, 2, 2), sfLinear,
                    dmOpaque);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) EXPECT_EQ(dst.Pixel(x, y), 0xFF00FF00u);
}

TEST(Stretch, EveryKernelKeepsAUniformColour) {
    TBitmap32 src, dst;
    src.SetSize(7, 5);
    src.Clear(0xC0806040);
    dst.SetSize(20, 20);
    const TRect rects[] = {TRect(0, 0, 3, 2), TRect(0, 0, 19, 13), TRect(1, 2, 20, 4),
                           TRect(0, 0, 4, 17)};
    for (bool wide : {true, false}) {
        SetWideBlending(wide);
        for (TStretchFilter f : {sfNearest, sfLinear, sfSpline, sfLanczos, sfMitchell})
            for (const TRect& r : rects) {
                dst.Clear(0);
                StretchTransfer(&dst, r, dst.BoundsRect(), &src, src.BoundsRect(), f,
                                dmOpaque);
                for (int y = r.Top; y < r.Bottom; ++y)
                    for (int x = r.Left; x < r.Right; ++x)
                        ASSERT_EQ(dst.Pixel(x, y), 0xC0806040u)
                            << int(f) << " " << x << "," << y;
            }
    }
    SetWideBlending(true);
}

TEST(Stretch, WideAndPlainResamplersAgree) {
    TBitmap32 src, a, b;
    Fill(src, 13, 9, 11);
    a.SetSize(31, 5);
    b.SetSize(31, 5);
    for (TStretchFilter f : {sfSpline, sfLanczos, sfMitchell}) {
        SetWideBlending(true);
        StretchTransfer(&a, a.BoundsRect(), a.BoundsRect(), &src, src.BoundsRect(), f, dmOpaque);
        SetWideBlending(false);
        StretchTransfer(&b, b.BoundsRect(), b.BoundsRect(), &src, src.BoundsRect(), f, dmOpaque);
        EXPECT_TRUE(SamePixels(a, b)) << int(f);
    }
    SetWideBlending(true);
}

TEST(Stretch, NegativeLobesStayInRange) {
    // A hard edge reduced and enlarged with Lanczos: over- and undershoot are clamped.
    TBitmap32 src, dst;
    src.SetSize(9, 1);
    for (int x = 0; x < 9; ++x) src.SetPixel(x, 0, x < 4 ? 0xFF000000 : 0xFFFFFFFF);
    dst.SetSize(30, 1);
    StretchTransfer(&dst, TRect(0, 0, 30, 1), dst.BoundsRect(), &src, src.BoundsRect(),
                    sfLanczos, dmOpaque);
    EXPECT_EQ(dst.Pixel(0, 0), 0xFF000000u);
    EXPECT_EQ(dst.Pixel(29, 0), 0xFFFFFFFFu);
    for (int x = 1; x < 30; ++x)
        EXPECT_GE(BlueComponent(dst.Pixel(x, 0)) + 40, BlueComponent(dst.Pixel(x - 1, 0)));
}

TEST(Stretch, ClipLimitsTheDestination) {
    TBitmap32 src, dst;
    Fill(src, 5, 5, 9);
    dst.SetSize(10, 10);
    StretchTransfer(&dst, TRect(0, 0, 10, 10), TRect(2, 3, 5, 6), &src, src.BoundsRect(),
                    sfMitchell, dmOpaque);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x) {
            bool inClip = x >= 2 && x < 5 && y >= 3 && y < 6;
            if (!inClip) {
                EXPECT_EQ(dst.Pixel(x, y), 0u);
            }
        }
}
