#include <gtest/gtest.h>

#include <memory>

#include "components/controls/PngFunctions.h"
#include "components/controls/PngImageList.h"
#include "tests/components/controls/ControlsTestSupport.h"

using namespace epc;
using epc::test::SolidPng;

namespace {

uint8_t AlphaAt(TPngImage& png, int x, int y) {
    return png.AlphaScanline(y)[x];
}

// A 4 x 1 RGBA PNG with the given alphas and one colour.
void AlphaRow(TPngImage& png, std::initializer_list<uint8_t> alphas, uint32_t rgb = 0xFF2040) {
    TDecodedImage img;
    img.Width = int(alphas.size());
    img.Height = 1;
    for (uint8_t a : alphas)
        img.Pixels.push_back(uint32_t(a) << 24 | rgb);
    img.HasAlpha = true;
    img.ColorType = 6;
    png.LoadFromImage(img);
}

uint32_t Pixel(TBitmap& b, int x, int y) {
    return b.SurfaceBits()[size_t(y) * b.Width() + x] & 0xFFFFFF;
}

} // namespace

TEST(PngFunctions, BlendingScalesAlphaWithEvenRounding) {
    TPngImage png;
    AlphaRow(png, {255, 100, 1, 3});
    MakeImageBlended(&png, 127);
    // alpha / 256 * 128, halves to even: 127.5 -> 128, 0.5 -> 0, 1.5 -> 2.
    EXPECT_EQ(AlphaAt(png, 0, 0), 128);
    EXPECT_EQ(AlphaAt(png, 1, 0), 50);
    EXPECT_EQ(AlphaAt(png, 2, 0), 0);
    EXPECT_EQ(AlphaAt(png, 3, 0), 2);
    AlphaRow(png, {255, 100, 1, 3});
    MakeImageBlended(&png, 255);
    EXPECT_EQ(AlphaAt(png, 0, 0), 255);
    EXPECT_EQ(AlphaAt(png, 1, 0), 100);
    EXPECT_EQ(AlphaAt(png, 2, 0), 1);
}

TEST(PngFunctions, BlendingGivesAlphaToImagesWithout) {
    TPngImage rgb;
    rgb.CreateBlank(COLOR_RGB, 8, 2, 1);
    rgb.SetTransparentColor(TColor(RGB(0, 0, 0)));
    rgb.SetPixels(1, 0, TColor(RGB(10, 20, 30)));
    MakeImageBlended(&rgb, 127);
    ASSERT_EQ(rgb.ColorType(), COLOR_RGBALPHA);
    EXPECT_EQ(AlphaAt(rgb, 0, 0), 0); // the transparent colour
    EXPECT_EQ(AlphaAt(rgb, 1, 0), 128);

    TPngImage gray;
    gray.CreateBlank(COLOR_GRAYSCALE, 8, 2, 1);
    gray.SetTransparentColor(TColor(RGB(0, 0, 0)));
    gray.Scanline(0)[1] = 200;
    MakeImageBlended(&gray, 127);
    ASSERT_EQ(gray.ColorType(), COLOR_GRAYSCALEALPHA);
    EXPECT_EQ(AlphaAt(gray, 0, 0), 0);
    EXPECT_EQ(AlphaAt(gray, 1, 0), 127); // the amount itself, not scaled
}

TEST(PngFunctions, GrayscaleByAmount) {
    TPngImage png;
    AlphaRow(png, {255, 255, 255, 255}, 0xC86432); // R 200, G 100, B 50
    MakeImageGrayscale(&png, 255);
    // 0.3 * 200 + 0.59 * 100 + 0.11 * 50 = 124.5, to even: 124.
    EXPECT_EQ(png.Pixels(0, 0), TColor(RGB(124, 124, 124)));
    AlphaRow(png, {255, 255, 255, 255}, 0xC86432);
    MakeImageGrayscale(&png, 0);
    TColor c = png.Pixels(0, 0);
    EXPECT_NEAR(GetRValue(c), 200, 1);
    EXPECT_NEAR(GetGValue(c), 100, 1);
    EXPECT_NEAR(GetBValue(c), 50, 1);
    // Palettes are grayed entry by entry; gray images are left alone.
    TPngImage pal;
    pal.CreateBlank(COLOR_PALETTE, 8, 1, 1);
    pal.Palette() = {{200, 100, 50}};
    pal.PaletteChanged();
    MakeImageGrayscale(&pal, 255);
    EXPECT_EQ(pal.Palette()[0], (TPaletteEntry{124, 124, 124}));
    TPngImage gray;
    gray.CreateBlank(COLOR_GRAYSCALE, 8, 1, 1);
    gray.Scanline(0)[0] = 77;
    MakeImageGrayscale(&gray, 255);
    EXPECT_EQ(gray.Scanline(0)[0], 77);
}

TEST(PngFunctions, DisabledDrawingFadesByDefaultAndGraysOnRequest) {
    TPngImage red;
    SolidPng(red, 4, 4, 0xFFFF0000);
    TBitmap canvas(12, 4, pf32bit);
    canvas.Canvas()->Brush()->SetColor(clWhite);
    canvas.Canvas()->FillRect(TRect(0, 0, 12, 4));
    DrawPNG(&red, canvas.Canvas(), TRect(0, 0, 4, 4), {});
    DrawPNG(&red, canvas.Canvas(), TRect(4, 0, 8, 4), {pngBlendOnDisabled});
    DrawPNG(&red, canvas.Canvas(), TRect(8, 0, 12, 4),
            {pngBlendOnDisabled, pngGrayscaleOnDisabled});
    EXPECT_EQ(Pixel(canvas, 1, 1), 0xFF0000u);
    uint32_t faded = Pixel(canvas, 5, 1);
    EXPECT_EQ(faded >> 16, 0xFFu);
    EXPECT_NEAR(int((faded >> 8) & 0xFF), 127, 2); // half red over white, still in colour
    uint32_t gray = Pixel(canvas, 9, 1);
    EXPECT_EQ(gray >> 16, (gray >> 8) & 0xFF);
    EXPECT_EQ(gray >> 16, gray & 0xFF);
    EXPECT_GT(gray & 0xFF, 76u); // faded gray over white: lighter than the gray itself
}

TEST(PngFunctions, MasksAndMaskColoursGiveAlpha) {
    TBitmap colours(2, 1, pf24bit);
    colours.Canvas()->SetPixels(0, 0, clRed);
    colours.Canvas()->SetPixels(1, 0, clLime);
    TBitmap mask(2, 1, pf24bit);
    mask.Canvas()->SetPixels(0, 0, clWhite);
    mask.Canvas()->SetPixels(1, 0, clBlack);
    TPngImage png;
    ConvertToPNG(&colours, &mask, &png);
    EXPECT_EQ(AlphaAt(png, 0, 0), 0);
    EXPECT_EQ(AlphaAt(png, 1, 0), 255);
    EXPECT_EQ(png.Pixels(1, 0), clLime);
    ConvertToPNG(&colours, &mask, &png, true);
    EXPECT_EQ(AlphaAt(png, 0, 0), 255);
    ConvertToPNGMasked(&colours, clLime, &png);
    EXPECT_EQ(AlphaAt(png, 0, 0), 255);
    EXPECT_EQ(AlphaAt(png, 1, 0), 0);
}

TEST(PngFunctions, IconMaskIsWhiteExactlyWhereAlphaIsZero) {
    TPngImage png;
    AlphaRow(png, {0, 1, 128, 255});
    auto icon = PngToIcon(&png, clNone);
    TDecodedImage mask = icon->MaskBitmap()->ToImage();
    ASSERT_EQ(mask.Width, 4);
    EXPECT_EQ(mask.Pixels[0] & 0xFFFFFF, 0xFFFFFFu);
    for (int x = 1; x < 4; ++x)
        EXPECT_EQ(mask.Pixels[size_t(x)] & 0xFFFFFF, 0u) << x;
    // Composed on a background: opaque colour where the PNG shows.
    auto onFace = PngToIcon(&png, TColor(RGB(0, 0, 255)));
    uint32_t half = onFace->ColorBitmap()->SurfaceBits()[2];
    EXPECT_EQ(half >> 24, 0xFFu);
    EXPECT_EQ(int(half & 0xFF), (64 * 128 + 255 * 127 + 127) / 255); // blue 64 over blue 255
}

class PngImageListTest : public ::testing::Test {
protected:
    PngImageListTest() {
        List.SetSize(4, 4);
        for (uint32_t c : {0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu}) {
            TPngImage png;
            SolidPng(png, 4, 4, c);
            List.AddPng(&png, clNone);
        }
    }
    uint32_t Native(int index) { return List.ImagePixels(index)[5]; }
    uint32_t ItemColour(int index) {
        return List.PngImages()->Items(index)->PngImage()->ToImage().Pixels[5];
    }
    TPngImageList List{nullptr};
};

TEST_F(PngImageListTest, InsertingAtTheFrontKeepsTheRestInOrder) {
    TBitmap yellow(4, 4, pf24bit);
    yellow.Canvas()->Brush()->SetColor(clYellow);
    yellow.Canvas()->FillRect(TRect(0, 0, 4, 4));
    List.Insert(0, &yellow, nullptr);
    ASSERT_EQ(List.Count(), 4);
    ASSERT_EQ(List.PngImages()->Count(), 4);
    const uint32_t expected[] = {0xFFFFFF00u, 0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(ItemColour(i), expected[i]) << i;
        EXPECT_EQ(Native(i), expected[i]) << i;
    }
    EXPECT_THROW(List.Insert(9, &yellow, nullptr), EInvalidOperation);
}

TEST_F(PngImageListTest, EditsKeepCollectionAndImagesInStep) {
    int changes = 0;
    List.OnChange = [&](TObject*) { ++changes; };
    List.Move(0, 2);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(ItemColour(2), 0xFFFF0000u);
    EXPECT_EQ(Native(2), 0xFFFF0000u);
    EXPECT_EQ(Native(0), 0xFF00FF00u);

    TBitmap white(4, 4, pf24bit);
    white.Canvas()->Brush()->SetColor(clWhite);
    white.Canvas()->FillRect(TRect(0, 0, 4, 4));
    List.ReplaceMasked(1, &white, clWhite);
    EXPECT_EQ(List.PngImages()->Items(1)->PngImage()->AlphaScanline(1)[1], 0);
    EXPECT_EQ(Native(1) >> 24, 0u);

    List.Delete(7); // outside: nothing
    EXPECT_EQ(List.Count(), 3);
    List.Delete(0);
    EXPECT_EQ(List.Count(), 2);
    EXPECT_EQ(List.PngImages()->Count(), 2);
    EXPECT_EQ(ItemColour(1), 0xFFFF0000u);

    List.SetWidth(8); // a new size empties both
    EXPECT_EQ(List.Count(), 0);
    EXPECT_EQ(List.PngImages()->Count(), 0);
}

TEST_F(PngImageListTest, AddImagesTakesPngsFromAnyList) {
    TImageList plain(nullptr, 4, 4);
    TBitmap b(4, 4, pf24bit);
    b.Canvas()->Brush()->SetColor(clFuchsia);
    b.Canvas()->FillRect(TRect(0, 0, 4, 4));
    plain.Add(&b, nullptr);
    EXPECT_EQ(plain.Count(), 1); // an ordinary list still edits as before
    List.AddImages(&plain);
    List.AddImages(&List); // from itself: the images as they were
    EXPECT_EQ(List.Count(), 8);
    EXPECT_EQ(ItemColour(3), 0xFFFF00FFu);
    EXPECT_EQ(ItemColour(7), 0xFFFF00FFu);
    TPngImageList copy(nullptr);
    copy.Assign(&List);
    EXPECT_EQ(copy.PngImages()->Count(), 8);
    EXPECT_EQ(copy.Count(), 8);
    List.Clear();
    EXPECT_EQ(List.PngImages()->Count(), 0);
}

TEST_F(PngImageListTest, DisabledLooks) {
    TBitmap target(12, 4, pf32bit);
    target.Canvas()->Brush()->SetColor(clWhite);
    target.Canvas()->FillRect(TRect(0, 0, 12, 4));
    List.Draw(target.Canvas(), 0, 0, 0, true);
    List.Draw(target.Canvas(), 4, 0, 0, false);
    EXPECT_EQ(Pixel(target, 1, 1), 0xFF0000u);
    uint32_t faded = Pixel(target, 5, 1);
    EXPECT_EQ(faded >> 16, 0xFFu);
    EXPECT_NEAR(int(faded & 0xFF), 127, 2);
    // Without enabled images the list's own images hold the faded, grayed look.
    List.SetPngOptions({pngBlendOnDisabled, pngGrayscaleOnDisabled});
    List.SetEnabledImages(false);
    uint32_t native = Native(0);
    EXPECT_EQ(native >> 24, 128u);
    EXPECT_EQ((native >> 16) & 0xFF, native & 0xFF);
    List.SetEnabledImages(true);
    EXPECT_EQ(Native(0), 0xFFFF0000u);
}
