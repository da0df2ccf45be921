#include <gtest/gtest.h>
#include <zlib.h>

#include "platform/codecs/ImageCodecs.h"
#include "platform/core/Exceptions.h"
#include "tests/platform/codecs/SampleImages.h"

using namespace epc;
using samples::MakePng;
using samples::TPngSample;

namespace {

TDecodedImage Decode(const std::string& s) {
    return DecodePng(reinterpret_cast<const uint8_t*>(s.data()), s.size());
}

TDecodedImage Gradient(int w, int h, bool alpha) {
    TDecodedImage img;
    img.Width = w;
    img.Height = h;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.Pixels.push_back((alpha ? uint32_t((x * 37 + y) & 0xFF) << 24 : 0xFF000000u) |
                                 uint32_t(x * 20) << 16 | uint32_t(y * 30) << 8 | uint32_t(x ^ y));
    return img;
}

// Rows of a w x h picture whose samples of `bits` bits are (x + y) modulo 2^bits, packed.
std::vector<std::vector<uint8_t>> PackedRows(int w, int h, int bits, int samplesPerPixel) {
    std::vector<std::vector<uint8_t>> rows;
    for (int y = 0; y < h; ++y) {
        std::vector<uint8_t> row((w * samplesPerPixel * bits + 7) / 8);
        for (int i = 0; i < w * samplesPerPixel; ++i) {
            unsigned v = (i / samplesPerPixel + y + i % samplesPerPixel) % (1u << std::min(bits, 8));
            if (bits == 16) {
                row[2 * i] = static_cast<uint8_t>(v);  // little-endian, swapped when written
                row[2 * i + 1] = static_cast<uint8_t>(v);
            } else {
                row[i * bits / 8] |= static_cast<uint8_t>(v << (8 - bits - (i * bits) % 8));
            }
        }
        rows.push_back(row);
    }
    return rows;
}

}  // namespace

TEST(PngCodec, TrueColourRoundTripsExactly) {
    for (bool alpha : {false, true}) {
        TDecodedImage src = Gradient(13, 7, alpha);
        TDecodedImage out = Decode(EncodePng(src));
        EXPECT_EQ(out.Width, 13);
        EXPECT_EQ(out.Height, 7);
        EXPECT_EQ(out.Pixels, src.Pixels);
        EXPECT_EQ(out.ColorType, alpha ? 6 : 2);
        EXPECT_EQ(out.HasAlpha, alpha);
    }
    // keepAlpha writes RGBA even for an opaque picture.
    EXPECT_EQ(Decode(EncodePng(Gradient(3, 3, false), true)).ColorType, 6);
}

TEST(PngCodec, PaletteImagesStayPaletteImages) {
    TDecodedImage src;
    src.Width = 5;
    src.Height = 3;
    src.ColorType = 3;
    src.BitDepth = 2;
    src.Palette = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}};
    src.PaletteAlpha = {255, 0};
    const uint32_t colours[3] = {0xFFFF0000u, 0x0000FF00u, 0xFF0000FFu};
    for (int i = 0; i < 15; ++i) src.Pixels.push_back(colours[i % 3]);
    TDecodedImage out = Decode(EncodePng(src));
    EXPECT_EQ(out.ColorType, 3);
    EXPECT_EQ(out.BitDepth, 2);
    EXPECT_EQ(out.Palette, src.Palette);
    EXPECT_EQ(out.PaletteAlpha, (std::vector<uint8_t>{255, 0}));
    EXPECT_EQ(out.Pixels, src.Pixels);
    EXPECT_TRUE(out.HasAlpha);
    // A pixel outside the palette makes the encoder fall back to true colour, losslessly.
    src.Pixels[4] = 0xFF123456u;
    out = Decode(EncodePng(src));
    EXPECT_EQ(out.ColorType, 6);
    EXPECT_EQ(out.Pixels, src.Pixels);
}

TEST(PngCodec, EveryGrayDepthExpandsToEightBits) {
    for (int bits : {1, 2, 4, 8, 16}) {
        TPngSample sample;
        sample.Width = 9;
        sample.Height = 2;
        sample.ColorType = PNG_COLOR_TYPE_GRAY;
        sample.BitDepth = bits;
        sample.Rows = PackedRows(9, 2, bits, 1);
        TDecodedImage img = Decode(MakePng(sample));
        EXPECT_EQ(img.ColorType, 0);
        EXPECT_EQ(img.BitDepth, bits);
        unsigned max = bits == 16 ? 255 : (1u << bits) - 1;
        for (int x = 0; x < 9; ++x) {
            unsigned v = (x + 1) % (1u << std::min(bits, 8));
            unsigned g = bits == 16 ? v : v * 255 / max;
            EXPECT_EQ(img.Pixels[9 + x], 0xFF000000u | g << 16 | g << 8 | g) << bits << " " << x;
        }
    }
}

TEST(PngCodec, ColourTypesWithAlphaAndSixteenBits) {
    TPngSample ga;
    ga.Width = 4;
    ga.Height = 1;
    ga.ColorType = PNG_COLOR_TYPE_GRAY_ALPHA;
    ga.Rows = {{10, 255, 20, 128, 30, 0, 40, 64}};
    TDecodedImage img = Decode(MakePng(ga));
    EXPECT_EQ(img.ColorType, 4);
    EXPECT_EQ(img.Pixels[1], 0x80141414u);
    EXPECT_TRUE(img.HasAlpha);

    TPngSample rgb16;
    rgb16.Width = 1;
    rgb16.Height = 1;
    rgb16.BitDepth = 16;
    rgb16.ColorType = PNG_COLOR_TYPE_RGB_ALPHA;
    rgb16.Rows = {{0xFF, 0xFF, 0x00, 0x80, 0x00, 0x00, 0xFF, 0xFF}};  // little-endian samples
    img = Decode(MakePng(rgb16));
    EXPECT_EQ(img.BitDepth, 16);
    EXPECT_EQ(img.Pixels[0], 0xFFFF8000u);

    for (int bits : {1, 2, 4, 8}) {
        TPngSample pal;
        pal.Width = 6;
        pal.Height = 1;
        pal.ColorType = PNG_COLOR_TYPE_PALETTE;
        pal.BitDepth = bits;
        int count = std::min(1 << bits, 4);
        for (int i = 0; i < count; ++i)
            pal.Palette.push_back({static_cast<png_byte>(i * 50), 7, 9});
        std::vector<std::vector<uint8_t>> rows = PackedRows(6, 1, bits, 1);
        // Keep indices inside the palette.
        for (auto& b : rows[0]) b = 0;
        rows[0][0] = static_cast<uint8_t>(1u << (8 - bits));  // first pixel: index 1
        pal.Rows = rows;
        pal.PaletteAlpha = {200, 100};
        img = Decode(MakePng(pal));
        EXPECT_EQ(img.ColorType, 3);
        EXPECT_EQ(img.BitDepth, bits);
        EXPECT_EQ(img.Palette.size(), static_cast<size_t>(count));
        EXPECT_EQ(img.PaletteAlpha, (std::vector<uint8_t>{200, 100}));
        EXPECT_EQ(img.Pixels[0], 0x64320709u);
        EXPECT_EQ(img.Pixels[1], 0xC8000709u);
    }
}

TEST(PngCodec, SingleColourTransparencyGammaAndResolution) {
    TPngSample sample;
    sample.Width = 2;
    sample.Height = 1;
    sample.Rows = {{1, 2, 3, 4, 5, 6}};
    sample.KeyColor = true;
    sample.Key.red = 4;
    sample.Key.green = 5;
    sample.Key.blue = 6;
    sample.Gamma = 0.45455;
    sample.DpiX = 300;
    sample.DpiY = 150;
    TDecodedImage img = Decode(MakePng(sample));
    EXPECT_TRUE(img.HasTransparentColor);
    EXPECT_EQ(img.TransparentColor, 0x040506u);
    EXPECT_EQ(img.Pixels[0], 0xFF010203u);
    EXPECT_EQ(img.Pixels[1] >> 24, 0u);
    EXPECT_TRUE(img.HasGamma);
    EXPECT_NEAR(img.Gamma, 0.45455, 1e-5);
    EXPECT_EQ(img.DpiX, 300);
    EXPECT_EQ(img.DpiY, 150);

    // Written back, the key stays a key (RGB, not RGBA) and gamma and resolution survive.
    TDecodedImage again = Decode(EncodePng(img));
    EXPECT_EQ(again.ColorType, 2);
    EXPECT_TRUE(again.HasTransparentColor);
    EXPECT_EQ(again.Pixels, img.Pixels);
    EXPECT_TRUE(again.HasGamma);
    EXPECT_EQ(again.DpiX, 300);

    TPngSample gray;
    gray.Width = 1;
    gray.Height = 1;
    gray.ColorType = PNG_COLOR_TYPE_GRAY;
    gray.BitDepth = 4;
    gray.Rows = {{0x50}};
    gray.KeyColor = true;
    gray.Key.gray = 5;
    img = Decode(MakePng(gray));
    EXPECT_EQ(img.TransparentColor, 0x555555u);
    EXPECT_EQ(img.Pixels[0], 0x00555555u);
    EXPECT_FALSE(img.HasGamma);
    EXPECT_EQ(img.DpiX, 0);
}

TEST(PngCodec, InterlacedEqualsProgressiveOrder) {
    TPngSample sample;
    sample.Width = 11;
    sample.Height = 10;
    sample.Rows = PackedRows(11, 10, 8, 3);
    TDecodedImage plain = Decode(MakePng(sample));
    sample.Interlace = true;
    TDecodedImage interlaced = Decode(MakePng(sample));
    EXPECT_EQ(interlaced.Pixels, plain.Pixels);
}

TEST(PngCodec, DamagedDataRaises) {
    std::string good = EncodePng(Gradient(20, 20, true));
    const auto* p = reinterpret_cast<const uint8_t*>(good.data());
    // Every cut inside the signature, header or pixel data.
    for (size_t n = 0; n + 12 < good.size(); n += 3)
        EXPECT_THROW(DecodePng(p, n), EInvalidGraphic) << n;
    // A flipped byte in a critical chunk breaks its checksum.
    for (size_t at : {size_t(0), size_t(16), size_t(20), good.size() / 2}) {
        std::string bad = good;
        bad[at] ^= 0x40;
        EXPECT_THROW(Decode(bad), EInvalidGraphic) << at;
    }
    EXPECT_THROW(DecodePng(nullptr, 0), EInvalidGraphic);
    try {
        Decode(good.substr(0, good.size() / 2));
        FAIL();
    } catch (const EInvalidGraphic& e) {
        EXPECT_NE(std::string(e.what()).find("PNG"), std::string::npos);
    }
}

TEST(PngCodec, AbsurdSizesRaiseBeforeAllocating) {
    std::string good = EncodePng(Gradient(2, 2, false));
    auto withSize = [&](uint32_t w, uint32_t h) {
        std::string s = good;
        for (int i = 0; i < 4; ++i) {
            s[16 + i] = static_cast<char>(w >> (24 - 8 * i));
            s[20 + i] = static_cast<char>(h >> (24 - 8 * i));
        }
        uint32_t crc = static_cast<uint32_t>(
            crc32(0, reinterpret_cast<const Bytef*>(s.data() + 12), 17));
        for (int i = 0; i < 4; ++i) s[29 + i] = static_cast<char>(crc >> (24 - 8 * i));
        return s;
    };
    EXPECT_NO_THROW(Decode(withSize(2, 2)));
    EXPECT_THROW(Decode(withSize(40000, 1)), EInvalidGraphic);
    EXPECT_THROW(Decode(withSize(20000, 20000)), EInvalidGraphic);
    // Plausible per side, but far more pixels than the data could ever hold.
    EXPECT_THROW(Decode(withSize(30000, 30000 / 4)), EInvalidGraphic);
}

// A chunk whose declared length is far beyond the input: the 41-byte files kept as fuzz inputs.
// Decoding raises at once; under the fuzz driver's allocation limit it must also allocate
// nothing by the declared size.
TEST(PngCodec, ChunksLongerThanTheInputRaise) {
    std::string head = EncodePng(Gradient(1, 1, true)).substr(0, 33);  // signature and header
    for (const char* type : {"tEXt", "pCAL", "iCCP", "quUx", "IDAT"}) {
        std::string s = head + std::string("\x60\x00\x00\x00", 4) + type;
        ASSERT_EQ(s.size(), 41u);
        EXPECT_THROW(Decode(s), EInvalidGraphic) << type;
    }
    // Chunks that fit are read or skipped as before.
    std::string good = EncodePng(Gradient(3, 2, true));
    auto chunk = [](const std::string& type, const std::string& data) {
        std::string c;
        for (int i = 0; i < 4; ++i) c += static_cast<char>(data.size() >> (24 - 8 * i));
        c += type + data;
        uint32_t crc = static_cast<uint32_t>(
            crc32(0, reinterpret_cast<const Bytef*>(c.data() + 4), uInt(c.size() - 4)));
        for (int i = 0; i < 4; ++i) c += static_cast<char>(crc >> (24 - 8 * i));
        return c;
    };
    std::string withText = good.substr(0, 33) + chunk("tEXt", std::string("Title\0a", 7)) +
                           chunk("quUx", "private") + good.substr(33);
    EXPECT_EQ(Decode(withText).Pixels, Decode(good).Pixels);
}

TEST(PngCodec, EncodeRejectsInconsistentImages) {
    TDecodedImage empty;
    EXPECT_THROW(EncodePng(empty), EInvalidGraphic);
    TDecodedImage wrong = Gradient(4, 4, false);
    wrong.Pixels.pop_back();
    EXPECT_THROW(EncodePng(wrong), EInvalidGraphic);
}

TEST(PngCodec, RasterIsWrittenAsStored) {
    // Two-bit gray, packed: 5 pixels take 2 bytes a row.
    TPngRaster raster;
    raster.Width = 5;
    raster.Height = 2;
    raster.ColorType = 0;
    raster.BitDepth = 2;
    ASSERT_EQ(raster.RowBytes(), 2u);
    raster.Rows = {0x1B, 0xC0, 0xE4, 0x00}; // 0 1 2 3 3 / 3 2 1 0 0
    TDecodedImage out = Decode(EncodePngRaster(raster));
    EXPECT_EQ(out.ColorType, 0);
    EXPECT_EQ(out.BitDepth, 2);
    EXPECT_EQ(out.Pixels[1], 0xFF555555u);
    EXPECT_EQ(out.Pixels[4], 0xFFFFFFFFu);
    EXPECT_EQ(out.Pixels[5], 0xFFFFFFFFu);
    EXPECT_EQ(out.Pixels[9], 0xFF000000u);
    // Both compression settings hold the same picture.
    raster.Fast = false;
    EXPECT_EQ(Decode(EncodePngRaster(raster)).Pixels, out.Pixels);

    raster.Rows.pop_back();
    EXPECT_THROW(EncodePngRaster(raster), EInvalidGraphic);
    raster.Width = 0;
    EXPECT_THROW(EncodePngRaster(raster), EInvalidGraphic);
}
