// The picture classes write through the codecs: their bytes are the codec's bytes for the same
// pixels and settings.

#include <gtest/gtest.h>

#include "platform/codecs/ImageCodecs.h"
#include "platform/graphics/Bitmap.h"
#include "platform/graphics/ImageFormats.h"
#include "platform/graphics/PngImage.h"

using namespace epc;

namespace {

TDecodedImage Stripes(int w, int h) {
    TDecodedImage img;
    img.Width = w;
    img.Height = h;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.Pixels.push_back(x % 3 == 0 ? 0xFFFF0000u
                                            : 0xFF000000u | uint32_t(x * 9) << 8 | uint32_t(y * 7));
    return img;
}

} // namespace

TEST(CodecSeam, JpegAndGifPicturesWriteTheCodecsBytes) {
    TBitmap bmp;
    bmp.LoadFromImage(Stripes(24, 10), pf24bit);

    TJPEGImage jpeg;
    jpeg.SetCompressionQuality(70);
    jpeg.Assign(&bmp);
    EXPECT_EQ(jpeg.Data(), EncodeJpeg(bmp.ToImage(), 70, false));
    jpeg.SetGrayscale(true);
    EXPECT_EQ(jpeg.Data(), EncodeJpeg(bmp.ToImage(), 70, true));

    // The bitmap's transparent colour becomes the GIF's transparent index.
    bmp.SetTransparent(true);
    bmp.SetTransparentColor(TColor(RGB(255, 0, 0)));
    TGIFImage gif;
    gif.Assign(&bmp);
    TDecodedImage keyed = bmp.ToImage();
    for (uint32_t& p : keyed.Pixels)
        p = (p & 0xFFFFFF) == 0xFF0000 ? 0 : p | 0xFF000000u;
    EXPECT_EQ(gif.Data(), EncodeGif(keyed));
}

TEST(CodecSeam, PngPictureWritesItsSamplesInFileOrder) {
    // Held as B, G, R; written as R, G, B with the key colour and gamma, at libpng's defaults.
    TPngImage png;
    png.CreateBlank(COLOR_RGB, 8, 2, 1);
    uint8_t* row = png.Scanline(0);
    const uint8_t held[6] = {1, 2, 3, 4, 5, 6};
    std::copy(held, held + 6, row);
    png.SetTransparentColor(TColor(RGB(6, 5, 4)));
    png.SetGamma(0.5);
    TPngRaster rgb;
    rgb.Width = 2;
    rgb.Height = 1;
    rgb.ColorType = COLOR_RGB;
    rgb.Rows = {3, 2, 1, 6, 5, 4};
    rgb.HasTransparentColor = true;
    rgb.TransparentColor = 0x060504;
    rgb.HasGamma = true;
    rgb.Gamma = 0.5;
    rgb.Fast = false;
    EXPECT_EQ(png.SaveToString(), EncodePngRaster(rgb));

    // Indices past the palette are written as 0; the palette alpha goes with it.
    png.CreateBlank(COLOR_PALETTE, 8, 3, 1);
    png.Palette() = {{255, 0, 0}, {0, 0, 255}};
    png.PaletteAlpha() = {0};
    png.PaletteChanged();
    png.Scanline(0)[0] = 1;
    png.Scanline(0)[2] = 7;
    TPngRaster palette;
    palette.Width = 3;
    palette.Height = 1;
    palette.ColorType = COLOR_PALETTE;
    palette.Rows = {1, 0, 0};
    palette.Palette = {{255, 0, 0}, {0, 0, 255}};
    palette.PaletteAlpha = {0};
    palette.Fast = false;
    EXPECT_EQ(png.SaveToString(), EncodePngRaster(palette));
}

TEST(CodecSeam, BitmapSavesOpaquePng) {
    TDecodedImage see = Stripes(5, 4);
    see.Pixels[3] &= 0x00FFFFFF;
    TBitmap bmp;
    bmp.LoadFromImage(see, pf32bit);
    std::string path = ::testing::TempDir() + "codec-seam.png";
    bmp.SaveToPngFile(path);
    TDecodedImage opaque = bmp.ToImage();
    for (uint32_t& p : opaque.Pixels)
        p |= 0xFF000000u;
    TFileStream file(path, fmOpenRead);
    EXPECT_EQ(ReadStreamRest(file), EncodePng(opaque));
}
