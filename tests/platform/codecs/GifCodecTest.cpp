#include <gtest/gtest.h>

#include "platform/codecs/ImageCodecs.h"
#include "platform/core/Exceptions.h"
#include "tests/platform/codecs/SampleImages.h"

using namespace epc;
using samples::MakeGif;
using samples::TGifSample;

namespace {

TDecodedImage Decode(const std::string& s) {
    return DecodeGif(reinterpret_cast<const uint8_t*>(s.data()), s.size());
}

uint32_t Global(int i) { return 0xFF000000u | uint32_t(i * 60) << 16 | uint32_t(255 - i * 60) << 8 | uint32_t(i * 20); }
uint32_t Local(int i) { return 0xFF000000u | uint32_t(i * 20) << 16 | uint32_t(255 - i * 60) << 8 | uint32_t(i * 60); }

}  // namespace

TEST(GifCodec, DecodesTheFirstFrameWithItsPalette) {
    TGifSample sample;
    TDecodedImage img = Decode(MakeGif(sample));
    EXPECT_EQ(img.Width, 8);
    EXPECT_EQ(img.Height, 8);
    EXPECT_EQ(img.ColorType, 3);
    EXPECT_EQ(img.BitDepth, 2);
    ASSERT_EQ(img.Palette.size(), 4u);
    EXPECT_EQ(img.Palette[1], (TPaletteEntry{60, 195, 20}));
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) ASSERT_EQ(img.Pixels[y * 8 + x], Global((x + y) % 4));
    EXPECT_FALSE(img.HasAlpha);
    EXPECT_FALSE(img.HasTransparentColor);

    sample.LocalMap = true;
    img = Decode(MakeGif(sample));
    EXPECT_EQ(img.Pixels[1], Local(1));
    EXPECT_EQ(img.Palette[1], (TPaletteEntry{20, 195, 60}));
}

TEST(GifCodec, InterlacedFramesComeOutInRowOrder) {
    TGifSample sample;
    sample.Width = sample.ScreenWidth = 5;
    sample.Height = sample.ScreenHeight = 13;
    sample.Index = [](int x, int y) { return (y * 3 + x) % 4; };
    TDecodedImage plain = Decode(MakeGif(sample));
    sample.Interlace = true;
    EXPECT_EQ(Decode(MakeGif(sample)).Pixels, plain.Pixels);
}

TEST(GifCodec, TransparencyAndFrameOffset) {
    TGifSample sample;
    sample.ScreenWidth = 10;
    sample.ScreenHeight = 6;
    sample.Left = 3;
    sample.Top = 2;
    sample.Width = 4;
    sample.Height = 3;
    sample.TransparentIndex = 2;
    TDecodedImage img = Decode(MakeGif(sample));
    EXPECT_EQ(img.Width, 10);
    EXPECT_TRUE(img.HasAlpha);
    EXPECT_TRUE(img.HasTransparentColor);
    EXPECT_EQ(img.TransparentColor, Global(2) & 0xFFFFFF);
    EXPECT_EQ(img.PaletteAlpha, (std::vector<uint8_t>{255, 255, 0}));
    EXPECT_EQ(img.Pixels[0] >> 24, 0u);               // outside the frame
    EXPECT_EQ(img.Pixels[2 * 10 + 3], Global(0));     // frame (0, 0)
    EXPECT_EQ(img.Pixels[2 * 10 + 5] >> 24, 0u);      // frame (2, 0): index 2
    // Without transparency the screen shows the background colour.
    sample.TransparentIndex = -1;
    sample.Background = 3;
    img = Decode(MakeGif(sample));
    EXPECT_EQ(img.Pixels[0], Global(3));
    EXPECT_FALSE(img.HasAlpha);
}

TEST(GifCodec, BadFilesRaise) {
    TGifSample sample;
    sample.Width = sample.Height = sample.ScreenWidth = sample.ScreenHeight = 16;
    std::string good = MakeGif(sample);
    for (size_t n = 0; n + 1 < good.size(); ++n)
        EXPECT_THROW(Decode(good.substr(0, n)), EInvalidGraphic) << n;
    // A screen of absurd size.
    std::string huge = good;
    huge[6] = huge[7] = huge[8] = huge[9] = static_cast<char>(0xFF);
    EXPECT_THROW(Decode(huge), EInvalidGraphic);
    EXPECT_THROW(DecodeGif(nullptr, 0), EInvalidGraphic);
}

TEST(GifCodec, FramesAreCutAtTheScreenEdge) {
    TGifSample sample;
    sample.ScreenWidth = 6;
    sample.ScreenHeight = 5;
    sample.Left = 2;
    sample.Top = 1;  // the 8 x 8 frame reaches past the right and bottom edges
    TDecodedImage img = Decode(MakeGif(sample));
    EXPECT_EQ(img.Width, 6);
    EXPECT_EQ(img.Height, 5);
    EXPECT_EQ(img.Pixels[1 * 6 + 2], Global(0));
    EXPECT_EQ(img.Pixels[4 * 6 + 5], Global((3 + 3) % 4));
    // An empty screen takes the frame's extent.
    sample.ScreenWidth = sample.ScreenHeight = 0;
    img = Decode(MakeGif(sample));
    EXPECT_EQ(img.Width, 10);
    EXPECT_EQ(img.Height, 9);
    EXPECT_EQ(img.Pixels[8 * 10 + 9], Global((7 + 7) % 4));
}

TEST(GifCodec, WritingKeepsTransparencyInPicturesOfManyColours) {
    // 300 opaque colours come first, so the writer falls back to its colour cube before it
    // meets the transparent pixels.
    TDecodedImage image;
    image.Width = 20;
    image.Height = 16;
    image.Pixels.resize(320);
    for (size_t i = 0; i < 300; ++i) image.Pixels[i] = 0xFF000000u | uint32_t(i * 997);
    for (size_t i = 300; i < 320; ++i) image.Pixels[i] = 0x00000000u;
    TDecodedImage back = Decode(EncodeGif(image));
    ASSERT_EQ(back.Pixels.size(), 320u);
    EXPECT_EQ(back.Pixels[0] >> 24, 0xFFu);
    EXPECT_EQ(back.Pixels[319] >> 24, 0u);
    EXPECT_EQ(back.Pixels[300] >> 24, 0u);
}
