#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "components/graphics/Blend.h"

using namespace epc;

TEST(Blend, AlphaOverExtremes) {
    TColor32 b = 0xFF102030;
    AlphaOverInPlace(0x00FFFFFF, b);
    EXPECT_EQ(b, 0xFF102030u);
    AlphaOverInPlace(0xFFABCDEF, b);
    EXPECT_EQ(b, 0xFFABCDEFu);
    b = 0x11223344;
    MixInPlace(0xFFFFFFFF, b, 0);
    EXPECT_EQ(b, 0x11223344u);
    MixInPlace(0x01020304, b, 255);
    EXPECT_EQ(b, 0x01020304u);
}

TEST(Blend, DefaultFormulaMixesEveryChannelIncludingAlpha) {
    ASSERT_EQ(BlendFormula(), TBlendFormula::bfLanes);
    // (F * W + B * (256 - W) + 128) >> 8 on all four bytes.
    TColor32 b = 0xFF0000FF;
    AlphaOverInPlace(0x80FF0000, b);
    EXPECT_EQ(b, 0xC0800080u);
    // The plain mix and the master-alpha blend keep a mixed alpha too.
    b = 0xFF000000;
    MixInPlace(0x80FFFFFF, b, 128);
    EXPECT_EQ(b, 0xC0808080u);
    b = 0xFF000000;
    AlphaOverMasterInPlace(0xFFFFFFFF, b, 127);  // W = (128 * 255) >> 8 = 127
    EXPECT_EQ(b, 0xFF7F7F7Fu);
    b = 0x00000000;
    AlphaOverMasterInPlace(0xFFFFFFFF, b, 255);  // W = 255 is mixed, not copied
    EXPECT_EQ(b, 0xFEFEFEFEu);
    b = 0x12345678;
    AlphaOverMasterInPlace(0x01FFFFFF, b, 100);  // W = 0 leaves B
    EXPECT_EQ(b, 0x12345678u);
}

TEST(Blend, SplitFormulaIsSelectable) {
    SetBlendFormula(TBlendFormula::bfSplit);
    TColor32 b = 0x00FF00FF;
    MixInPlace(0x00000000, b, 1);
    // ((F * W + 128) >> 8) + ((B * (255 - W) + 128) >> 8): 0 + 253
    EXPECT_EQ(b, 0x00FD00FDu);
    SetBlendFormula(TBlendFormula::bfLanes);
    b = 0x00FF00FF;
    MixInPlace(0x00000000, b, 1);
    EXPECT_EQ(b, 0x00FE00FEu);
}

TEST(Blend, RowsMatchThePixelRoutines) {
    std::mt19937 rng(7);
    const bool wideAvailable = SetWideBlending(true);
    for (int variant = 0; variant < 3; ++variant) {
        // The 256-bit and the 128-bit routines of the lane formula, then the split formula.
        if (variant == 0 && !wideAvailable) continue;
        SetWideBlending(variant == 0);
        SetBlendFormula(variant == 2 ? TBlendFormula::bfSplit : TBlendFormula::bfLanes);
        for (int count : {0, 1, 3, 4, 5, 8, 17, 37}) {
            std::vector<TColor32> src(static_cast<size_t>(count)), dst(static_cast<size_t>(count));
            for (int i = 0; i < count; ++i) {
                uint32_t alpha = std::vector<uint32_t>{0, 255, 1, 128, 254}[rng() % 5];
                if (rng() % 3 == 0) alpha = rng() & 255;
                src[size_t(i)] = (rng() & 0x00FFFFFF) | (alpha << 24);
                dst[size_t(i)] = rng();
            }
            // Runs of one alpha exercise the whole-block paths.
            if (count >= 8)
                for (int i = 0; i < 4; ++i) src[size_t(i)] |= 0xFF000000;
            for (uint32_t master : {255u, 200u, 0u}) {
                std::vector<TColor32> a = dst, b = dst, c = dst, d = dst;
                AlphaOverRow(src.data(), a.data(), count);
                AlphaOverRowMaster(src.data(), c.data(), count, master);
                for (int i = 0; i < count; ++i) {
                    AlphaOverInPlace(src[size_t(i)], b[size_t(i)]);
                    AlphaOverMasterInPlace(src[size_t(i)], d[size_t(i)], master);
                }
                EXPECT_EQ(a, b) << count;
                EXPECT_EQ(c, d) << count << " " << master;
            }
            // One colour by one weight equals the master blend of that colour.
            for (uint32_t alpha : {0u, 1u, 77u, 255u}) {
                const TColor32 f = 0x00A0B0C0 | (alpha << 24);
                std::vector<TColor32> e = dst, g = dst;
                uint32_t w = (256 * alpha) >> 8;
                BlendConstantRow(f, e.data(), count, w);
                for (TColor32& px : g) AlphaOverMasterInPlace(f, px, 255);
                EXPECT_EQ(e, g) << count << " " << alpha;
            }
        }
    }
    SetWideBlending(true);
    SetBlendFormula(TBlendFormula::bfLanes);
}
