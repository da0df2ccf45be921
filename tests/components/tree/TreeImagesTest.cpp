#include <gtest/gtest.h>

#include "components/tree/CheckImages.h"
#include "components/tree/TreeUnit.h"

using namespace epc;
using K = TCheckImageKind;

namespace {

uint32_t Pixel(TBitmap* b, int x, int y) {
    return reinterpret_cast<uint32_t*>(b->ScanLine(y))[x];
}

// Pixels of one cell that differ from the transparent colour.
int Painted(TBitmap* strip, int index) {
    int n = 0;
    for (int y = 0; y < CheckImageSize; ++y)
        for (int x = 0; x < CheckImageSize; ++x)
            n += Pixel(strip, index * CheckImageSize + x, y) != 0xFFFF00FF;
    return n;
}

bool SameCell(TBitmap* strip, int a, int b) {
    for (int y = 0; y < CheckImageSize; ++y)
        for (int x = 0; x < CheckImageSize; ++x)
            if (Pixel(strip, a * CheckImageSize + x, y) != Pixel(strip, b * CheckImageSize + x, y))
                return false;
    return true;
}

} // namespace

TEST(TreeImages, StripsForEveryBuiltInKind) {
    InitializeTreeUnit();
    EXPECT_EQ(CheckImageStrip(K::ckCustom), nullptr);
    for (K kind : {K::ckLightCheck, K::ckDarkCheck, K::ckLightTick, K::ckDarkTick, K::ckFlat,
                   K::ckXP, K::ckSystem, K::ckSystemFlat}) {
        TBitmap* strip = CheckImageStrip(kind);
        ASSERT_NE(strip, nullptr);
        EXPECT_EQ(StripImageCount(strip, "strip"), CheckImageCount);
        for (int i = 0; i < CheckImageCount; ++i)
            EXPECT_EQ(Pixel(strip, i * CheckImageSize, 0), 0xFFFF00FFu)
                << "the top-left pixel is the mask colour";
        for (int i = 1; i < CheckImageCount; ++i)
            EXPECT_GT(Painted(strip, i), 20) << i;
        // Each state looks different from its neighbours.
        EXPECT_FALSE(SameCell(strip, 9, 13));  // unchecked / checked box
        EXPECT_FALSE(SameCell(strip, 13, 17)); // checked / mixed
        EXPECT_FALSE(SameCell(strip, 1, 5));   // radio unchecked / checked
    }
    EXPECT_FALSE(SameCell(CheckImageStrip(K::ckSystem), 13, 0) &&
                 SameCell(CheckImageStrip(K::ckSystemFlat), 13, 0));
    ASSERT_NE(UtilityImageStrip(), nullptr);
}

TEST(TreeImages, StripImageCountAndCorruptStrip) {
    TBitmap strip(64, 16, pf32bit);
    EXPECT_EQ(StripImageCount(&strip, "VT_FLAT"), 4);
    TBitmap empty;
    std::string message;
    try {
        StripImageCount(&empty, "VT_XP");
    } catch (const EAssertionFailed& e) {
        message = e.Message();
    }
    EXPECT_EQ(message, "Internal image \"VT_XP\" is missing or corrupt.");
}

TEST(TreeImages, CursorsAreDrawn) {
    InitializeTreeUnit();
    for (const auto& name : TreeCursorNames()) {
        TBitmap* cursor = TreeCursorImage(name);
        ASSERT_NE(cursor, nullptr) << name;
        EXPECT_EQ(cursor->Width(), 32);
        int opaque = 0;
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 32; ++x)
                opaque += (Pixel(cursor, x, y) >> 24) != 0;
        EXPECT_GT(opaque, 10) << name;
        EXPECT_EQ(Pixel(cursor, 0, 0) >> 24, 0u) << name;
    }
    EXPECT_EQ(TreeCursorImage("VT_NONE"), nullptr);
}
