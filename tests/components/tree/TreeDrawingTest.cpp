#include <gtest/gtest.h>

#include "components/tree/TreeUnit.h"
#include "platform/graphics/Bitmap.h"

using namespace epc;

namespace {

// A canvas with the fixed-metric face: every character is 8 pixels wide, lines 16 high.
struct FixedCanvas {
    TBitmap bitmap{100, 60, pf32bit};
    FixedCanvas() {
        bitmap.Canvas()->Font()->SetName("Fixed Metrics Test");
        bitmap.Canvas()->Font()->SetHeight(-16);
    }
    HDC DC() { return bitmap.Canvas()->Handle(); }
};

uint32_t PixelAt(TBitmap& b, int x, int y) {
    return reinterpret_cast<uint32_t*>(b.ScanLine(y))[x];
}

} // namespace

TEST(TreeText, ShortenString) {
    FixedCanvas c;
    EXPECT_EQ(ShortenString(c.DC(), u"abcdefgh", 48), u"abc...");
    EXPECT_EQ(ShortenString(c.DC(), u"abcdefgh", 47), u"ab...");
    EXPECT_EQ(ShortenString(c.DC(), u"abcdefgh", 64), u"abcdefgh");
    EXPECT_EQ(ShortenString(c.DC(), u"abcdefgh", 0), u"abcdefgh");
    EXPECT_EQ(ShortenString(c.DC(), u"abcdefgh", 10), u"...");
}

TEST(TreeText, DrawTextLinesMeasuresEveryLine) {
    FixedCanvas c;
    TRect r(2, 3, 2, 3);
    DrawTextLinesW(c.DC(), u"ab\r\nabcd\nx\x2028yz", r, DT_CALCRECT);
    EXPECT_EQ(r, TRect(2, 3, 2 + 32, 3 + 4 * 16));
    TRect single(0, 0, 0, 0);
    DrawTextLinesW(c.DC(), u"ab\ncd", single, DT_CALCRECT | DT_SINGLELINE);
    EXPECT_EQ(single.Bottom, 16);
}

TEST(TreeText, DrawTextLinesAligns) {
    FixedCanvas c;
    c.bitmap.Canvas()->Brush()->SetColor(clWhite);
    c.bitmap.Canvas()->FillRect(TRect(0, 0, 100, 60));
    SetBkMode(c.DC(), TRANSPARENT);
    TRect r(0, 0, 100, 60);
    DrawTextLinesW(c.DC(), u"a", r, DT_RIGHT);
    // The glyph box of the last cell (x 92..99) starts one pixel in.
    EXPECT_NE(PixelAt(c.bitmap, 93, 8) & 0xFFFFFF, 0xFFFFFFu);
    EXPECT_EQ(PixelAt(c.bitmap, 50, 8) & 0xFFFFFF, 0xFFFFFFu);
}

TEST(TreeBlendingDC, BlendsBetweenBitmapsAndClips) {
    TBitmap source(4, 4, pf32bit), target(4, 4, pf32bit);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) {
            reinterpret_cast<uint32_t*>(source.ScanLine(y))[x] = 0xFFFFFFFF;
            reinterpret_cast<uint32_t*>(target.ScanLine(y))[x] = 0x00000000;
        }
    HDC s = source.Canvas()->Handle();
    HDC t = target.Canvas()->Handle();
    // A rectangle reaching beyond both bitmaps is clipped, not written out of bounds.
    AlphaBlend(s, t, TRect(0, 0, 10, 10), TPoint(2, 2), TBlendMode::bmConstantAlpha, 128, 0);
    EXPECT_EQ(PixelAt(target, 1, 1), 0u);
    EXPECT_EQ(PixelAt(target, 2, 2), 0x7F7F7F7Fu);
    EXPECT_EQ(PixelAt(target, 3, 3), 0x7F7F7F7Fu);
    AlphaBlend(s, t, TRect(0, 0, 0, 0), TPoint(0, 0), TBlendMode::bmConstantAlpha, 255, 0);
    EXPECT_EQ(PixelAt(target, 0, 0), 0u);
    AlphaBlend(nullptr, t, TRect(0, 0, 1, 1), TPoint(0, 0), TBlendMode::bmConstantAlphaAndColor,
               255, int(0x00FF0000));
    EXPECT_EQ(PixelAt(target, 0, 0), 0x00FE0000u);
}

TEST(TreeBlendingDC, RequiresThirtyTwoBitBitmaps) {
    // A fresh memory context holds a monochrome bitmap.
    TBitmap source(4, 4, pf32bit);
    HDC mono = CreateCompatibleDC(nullptr);
    std::string message;
    try {
        AlphaBlend(source.Canvas()->Handle(), mono, TRect(0, 0, 2, 2), TPoint(0, 0),
                   TBlendMode::bmConstantAlpha, 10, 0);
    } catch (const EAssertionFailed& e) {
        message = e.Message();
    }
    DeleteDC(mono);
    EXPECT_EQ(message, "Alpha blending error: bitmap must use 32 bpp.");
}
