#include <gtest/gtest.h>

#include "platform/codecs/ImageCodecs.h"
#include "platform/core/Exceptions.h"
#include "tests/platform/codecs/SampleImages.h"

using namespace epc;
using samples::MakeBmp;

namespace {

TDecodedImage Decode(const std::string& s) {
    return DecodeBmp(reinterpret_cast<const uint8_t*>(s.data()), s.size());
}

TDecodedImage Sample(int w, int h) {
    TDecodedImage img;
    img.Width = w;
    img.Height = h;
    for (int i = 0; i < w * h; ++i)
        img.Pixels.push_back((uint32_t(i * 7 & 0xFF) << 24) | (uint32_t(i * 13) & 0xFFFFFF));
    return img;
}

}  // namespace

TEST(BmpCodec, EncodedFilesRoundTrip) {
    TDecodedImage src = Sample(5, 3);
    TDecodedImage out = Decode(EncodeBmp(src, 32));
    EXPECT_EQ(out.Width, 5);
    EXPECT_EQ(out.Height, 3);
    EXPECT_EQ(out.Pixels, src.Pixels);
    EXPECT_TRUE(out.HasAlpha);
    EXPECT_EQ(out.DpiX, 96);

    out = Decode(EncodeBmp(src, 24));
    EXPECT_EQ(out.BitDepth, 24);
    EXPECT_FALSE(out.HasAlpha);
    for (size_t i = 0; i < src.Pixels.size(); ++i)
        ASSERT_EQ(out.Pixels[i], src.Pixels[i] | 0xFF000000u);
    EXPECT_THROW(EncodeBmp(src, 8), EInvalidGraphic);
    EXPECT_THROW(EncodeBmp(TDecodedImage(), 24), EInvalidGraphic);
}

TEST(BmpCodec, PaletteDepthsAndRowOrder) {
    const std::vector<uint32_t> pal = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF};
    // 1 bit, bottom-up, two rows of 3 pixels: the first stored row is the bottom one.
    std::string one = MakeBmp(3, 2, 1, 0, {}, {0x000000, 0xFFFFFF},
                              {std::string("\xA0\0\0\0", 4), std::string("\x40\0\0\0", 4)});
    TDecodedImage img = Decode(one);
    EXPECT_EQ(img.ColorType, 3);
    EXPECT_EQ(img.Pixels, (std::vector<uint32_t>{0xFF000000, 0xFFFFFFFF, 0xFF000000,
                                                 0xFFFFFFFF, 0xFF000000, 0xFFFFFFFF}));
    EXPECT_EQ(img.DpiX, 300);
    // 4 bits, top-down (negative height).
    img = Decode(MakeBmp(3, -1, 4, 0, {}, pal, {std::string("\x12\x30\0\0", 4)}));
    EXPECT_EQ(img.Pixels, (std::vector<uint32_t>{0xFFFF0000, 0xFF00FF00, 0xFF0000FF}));
    // 8 bits; an index past the palette shows black.
    img = Decode(MakeBmp(2, 1, 8, 0, {}, pal, {std::string("\x03\x09\0\0", 4)}));
    EXPECT_EQ(img.Pixels, (std::vector<uint32_t>{0xFF0000FF, 0xFF000000}));
    EXPECT_EQ(img.Palette.size(), 4u);
}

TEST(BmpCodec, SixteenBitsWithAndWithoutMasks) {
    // 5-5-5 by default: 0x7C00 is full red.
    TDecodedImage img = Decode(MakeBmp(2, 1, 16, 0, {}, {}, {std::string("\x00\x7C\x1F\x00", 4)}));
    EXPECT_EQ(img.Pixels, (std::vector<uint32_t>{0xFFFF0000, 0xFF0000FF}));
    // 5-6-5 through bit-field masks: 0x07E0 is full green.
    img = Decode(MakeBmp(2, 1, 16, 3, {0xF800, 0x07E0, 0x001F}, {},
                         {std::string("\xE0\x07\x10\x00", 4)}));
    EXPECT_EQ(img.Pixels[0], 0xFF00FF00u);
    EXPECT_EQ(img.Pixels[1], 0xFF000084u);  // 16 of 31
    // 32 bits with masks in another order.
    img = Decode(MakeBmp(1, 1, 32, 3, {0x000000FF, 0x0000FF00, 0x00FF0000}, {},
                         {std::string("\x11\x22\x33\x00", 4)}));
    EXPECT_EQ(img.Pixels[0], 0xFF112233u);
}

TEST(BmpCodec, ThirtyTwoBitSpareByteIsAlphaOnlyWhenUsed) {
    TDecodedImage img =
        Decode(MakeBmp(2, 1, 32, 0, {}, {}, {std::string("\x01\x02\x03\x00\x04\x05\x06\x00", 8)}));
    EXPECT_FALSE(img.HasAlpha);
    EXPECT_EQ(img.Pixels[0], 0xFF030201u);
    img = Decode(MakeBmp(2, 1, 32, 0, {}, {}, {std::string("\x01\x02\x03\x80\x04\x05\x06\x00", 8)}));
    EXPECT_TRUE(img.HasAlpha);
    EXPECT_EQ(img.Pixels[0], 0x80030201u);
}

TEST(BmpCodec, BadHeadersAndOffsetsRaise) {
    std::string good = EncodeBmp(Sample(7, 5), 24);
    for (size_t n = 0; n + 3 < good.size(); n += 4)  // the last row's padding may be cut
        EXPECT_THROW(Decode(good.substr(0, n)), EInvalidGraphic) << n;
    auto patched = [&](size_t at, uint32_t v) {
        std::string s = good;
        for (int i = 0; i < 4; ++i) s[at + i] = static_cast<char>(v >> (8 * i));
        return s;
    };
    EXPECT_THROW(Decode(patched(10, 0xFFFFFFF0u)), EInvalidGraphic);  // pixel offset
    EXPECT_THROW(Decode(patched(10, 20)), EInvalidGraphic);           // inside the header
    EXPECT_THROW(Decode(patched(14, 0xFFFF)), EInvalidGraphic);       // header size
    EXPECT_THROW(Decode(patched(18, 40000)), EInvalidGraphic);        // width
    EXPECT_THROW(Decode(patched(22, 0x80000000u)), EInvalidGraphic);  // height
    EXPECT_THROW(Decode(patched(22, 0)), EInvalidGraphic);
    EXPECT_THROW(Decode(patched(28, 7)), EInvalidGraphic);            // bits per pixel
    EXPECT_THROW(Decode(patched(30, 1)), EInvalidGraphic);            // run-length at 24 bits
    EXPECT_THROW(Decode(patched(30, 3)), EInvalidGraphic);            // masks at 24 bits
    // A palette claiming more colours than the file holds.
    std::string pal = MakeBmp(1, 1, 8, 0, {}, {0, 0}, {std::string(4, '\0')});
    pal[46] = static_cast<char>(0xFF);  // colours used
    EXPECT_THROW(Decode(pal), EInvalidGraphic);
    EXPECT_THROW(DecodeBmp(nullptr, 0), EInvalidGraphic);
}

TEST(BmpCodec, RunLengthCodedRows) {
    const std::vector<uint32_t> pal = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF};
    const uint32_t p0 = 0xFF000000, p1 = 0xFFFF0000, p2 = 0xFF00FF00, p3 = 0xFF0000FF;
    // Bottom row: a run of two, three literals (one past the edge), end of row; top row: a
    // jump one to the right, a run of one, end of picture.
    std::string rle8("\x02\x01\x00\x03\x02\x03\x01\x00\x00\x00"
                     "\x00\x02\x01\x00\x01\x03\x00\x01", 18);
    TDecodedImage img = Decode(MakeBmp(4, 2, 8, 1, {}, pal, {rle8}));
    EXPECT_EQ(img.Pixels, (std::vector<uint32_t>{p0, p3, p0, p0, p1, p1, p2, p3}));
    // Four bits: a run alternates the two nibbles; literals are nibbles padded to words.
    std::string rle4("\x05\x12\x00\x00\x00\x03\x32\x10\x00\x01", 10);
    img = Decode(MakeBmp(5, 2, 4, 2, {}, pal, {rle4}));
    EXPECT_EQ(img.Pixels, (std::vector<uint32_t>{p3, p2, p1, p0, p0, p1, p2, p1, p2, p1}));
    // Cut before the picture is complete, or coded top-down: refused.
    EXPECT_THROW(Decode(MakeBmp(4, 2, 8, 1, {}, pal, {rle8.substr(0, 10)})), EInvalidGraphic);
    EXPECT_THROW(Decode(MakeBmp(4, 2, 8, 1, {}, pal, {rle8.substr(0, 15)})), EInvalidGraphic);
    EXPECT_THROW(Decode(MakeBmp(4, -2, 8, 1, {}, pal, {rle8})), EInvalidGraphic);
    EXPECT_THROW(Decode(MakeBmp(4, 2, 4, 1, {}, pal, {rle8})), EInvalidGraphic);
}

TEST(ImageFormats, DetectionAndDispatch) {
    std::string bmp = EncodeBmp(Sample(2, 2), 24);
    std::string png = EncodePng(Sample(2, 2));
    auto bytes = [](const std::string& s) { return reinterpret_cast<const uint8_t*>(s.data()); };
    EXPECT_EQ(DetectImageFormat(bytes(bmp), bmp.size()), TImageFormat::Bmp);
    EXPECT_EQ(DetectImageFormat(bytes(png), png.size()), TImageFormat::Png);
    EXPECT_EQ(DetectImageFormat(bytes(png), 7), TImageFormat::Unknown);
    EXPECT_EQ(DetectImageFormat(nullptr, 0), TImageFormat::Unknown);
    EXPECT_EQ(DecodeImage(bytes(png), png.size()).Pixels, Sample(2, 2).Pixels);
    std::string junk = "hello world";
    try {
        DecodeImage(bytes(junk), junk.size());
        FAIL();
    } catch (const EInvalidGraphic& e) {
        EXPECT_STREQ(e.what(), "Unknown picture format");
    }
}
