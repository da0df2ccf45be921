#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

#include "platform/graphics/Bitmap.h"
#include "platform/graphics/PngImage.h"

using namespace epc;

namespace {

std::unique_ptr<TPngImage> Reload(TPngImage& png) {
    auto back = std::make_unique<TPngImage>();
    back->LoadFromString(png.SaveToString());
    return back;
}

bool Near(TColor a, TColor b, int tolerance = 2) {
    COLORREF x = COLORREF(a), y = COLORREF(b);
    return std::abs(GetRValue(x) - GetRValue(y)) <= tolerance &&
           std::abs(GetGValue(x) - GetGValue(y)) <= tolerance &&
           std::abs(GetBValue(x) - GetBValue(y)) <= tolerance;
}

} // namespace

TEST(PngImage, PaletteAndTrnsSurviveSavingAndLoading) {
    TPngImage png;
    png.CreateBlank(COLOR_PALETTE, 8, 3, 2);
    png.Palette() = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}};
    png.PaletteAlpha() = {0, 255, 255};
    png.PaletteChanged();
    uint8_t* row = png.Scanline(0);
    row[0] = 0;
    row[1] = 1;
    row[2] = 2;
    png.Scanline(1)[2] = 1;

    auto backPtr = Reload(png);
    TPngImage& back = *backPtr;
    EXPECT_EQ(back.ColorType(), COLOR_PALETTE);
    EXPECT_EQ(back.Header().Width, 3);
    EXPECT_EQ(back.Header().Height, 2);
    ASSERT_GE(back.Palette().size(), 3u);
    EXPECT_EQ(back.Palette()[1], (TPaletteEntry{0, 255, 0}));
    EXPECT_EQ(back.TransparencyMode(), ptmBit);
    EXPECT_EQ(back.TransparentColor(), clRed);
    EXPECT_EQ(back.Scanline(0)[1], 1);
    EXPECT_EQ(back.Scanline(1)[2], 1);
    EXPECT_EQ(back.AlphaScanline(0), nullptr);
    EXPECT_EQ(back.Pixels(2, 0), clBlue);

    // A palette alpha between the extremes makes it partial.
    png.PaletteAlpha()[1] = 100;
    png.PaletteChanged();
    EXPECT_EQ(png.TransparencyMode(), ptmPartial);
}

TEST(PngImage, SingleTransparentColourAndGray) {
    TPngImage rgb;
    rgb.CreateBlank(COLOR_RGB, 8, 2, 1);
    rgb.SetPixels(0, 0, clLime);
    rgb.SetPixels(1, 0, clNavy);
    rgb.SetTransparentColor(clLime);
    auto backPtr = Reload(rgb);
    TPngImage& back = *backPtr;
    EXPECT_EQ(back.ColorType(), COLOR_RGB);
    EXPECT_EQ(back.TransparencyMode(), ptmBit);
    EXPECT_EQ(back.TransparentColor(), clLime);

    TBitmap canvas(2, 1, pf24bit);
    canvas.Canvas()->Draw(0, 0, &back);
    EXPECT_EQ(canvas.Canvas()->Pixels(0, 0), clWhite); // left out
    EXPECT_EQ(canvas.Canvas()->Pixels(1, 0), clNavy);

    back.RemoveTransparency();
    EXPECT_EQ(back.TransparencyMode(), ptmNone);
    canvas.Canvas()->Draw(0, 0, &back);
    EXPECT_EQ(canvas.Canvas()->Pixels(0, 0), clLime);

    TPngImage gray;
    gray.CreateBlank(COLOR_GRAYSCALE, 8, 1, 1);
    gray.Scanline(0)[0] = 100;
    auto gPtr = Reload(gray);
    TPngImage& g = *gPtr;
    EXPECT_EQ(g.ColorType(), COLOR_GRAYSCALE);
    EXPECT_EQ(g.SamplesPerPixel(), 1);
    EXPECT_EQ(g.Pixels(0, 0), TColor(RGB(100, 100, 100)));
}

TEST(PngImage, AlphaBlendsOverTheBackground) {
    TPngImage png;
    png.CreateBlank(COLOR_RGBALPHA, 8, 3, 1);
    png.SetPixels(0, 0, clRed);
    png.SetPixels(1, 0, clRed);
    png.SetPixels(2, 0, clRed);
    uint8_t* alpha = png.AlphaScanline(0);
    ASSERT_NE(alpha, nullptr);
    alpha[0] = 255;
    alpha[1] = 128;
    alpha[2] = 0;
    auto backPtr = Reload(png);
    TPngImage& back = *backPtr;
    EXPECT_EQ(back.ColorType(), COLOR_RGBALPHA);
    EXPECT_EQ(back.TransparencyMode(), ptmPartial);
    EXPECT_EQ(back.AlphaScanline(0)[1], 128);

    TBitmap bg(3, 1, pf24bit);
    bg.Canvas()->Brush()->SetColor(clBlue);
    bg.Canvas()->FillRect(Rect(0, 0, 3, 1));
    bg.Canvas()->Draw(0, 0, &back);
    EXPECT_EQ(bg.Canvas()->Pixels(0, 0), clRed);
    EXPECT_TRUE(Near(bg.Canvas()->Pixels(1, 0), TColor(RGB(128, 0, 127))))
        << std::hex << bg.Canvas()->Pixels(1, 0);
    EXPECT_EQ(bg.Canvas()->Pixels(2, 0), clBlue);

    // Stretched into a larger rectangle.
    TBitmap big(6, 2, pf24bit);
    big.Canvas()->StretchDraw(Rect(0, 0, 6, 2), &back);
    EXPECT_EQ(big.Canvas()->Pixels(1, 1), clRed);
    EXPECT_EQ(big.Canvas()->Pixels(5, 1), clWhite);
}

TEST(PngImage, GammaIsAppliedUntilRemoved) {
    TPngImage png;
    png.CreateBlank(COLOR_RGB, 8, 1, 1);
    png.SetPixels(0, 0, TColor(RGB(128, 128, 128)));
    png.SetGamma(1.0);
    auto backPtr = Reload(png);
    TPngImage& back = *backPtr;
    ASSERT_TRUE(back.HasGamma());
    EXPECT_NEAR(back.Gamma(), 1.0, 1e-3);
    TBitmap out(1, 1, pf24bit);
    out.Canvas()->Draw(0, 0, &back);
    EXPECT_GT(GetRValue(COLORREF(out.Canvas()->Pixels(0, 0))), 170);
    back.RemoveGamma();
    EXPECT_FALSE(back.HasGamma());
    out.Canvas()->Draw(0, 0, &back);
    EXPECT_EQ(out.Canvas()->Pixels(0, 0), TColor(RGB(128, 128, 128)));
    EXPECT_FALSE(Reload(back)->HasGamma());
}

TEST(PngImage, CreateAlphaKeepsTheTransparency) {
    TPngImage png;
    png.CreateBlank(COLOR_PALETTE, 8, 2, 1);
    png.Palette() = {{1, 2, 3}, {200, 100, 50}};
    png.PaletteAlpha() = {0};
    png.Scanline(0)[1] = 1;
    png.CreateAlpha();
    EXPECT_EQ(png.ColorType(), COLOR_RGBALPHA);
    ASSERT_NE(png.AlphaScanline(0), nullptr);
    EXPECT_EQ(png.AlphaScanline(0)[0], 0);
    EXPECT_EQ(png.AlphaScanline(0)[1], 255);
    EXPECT_EQ(png.Pixels(1, 0), TColor(RGB(200, 100, 50)));
    uint8_t* bgr = png.Scanline(0);
    EXPECT_EQ(bgr[3], 50);
    EXPECT_EQ(bgr[5], 200);
}

TEST(PngImage, AssignFromBitmapAndCorruptData) {
    TBitmap b(2, 2, pf24bit);
    b.Canvas()->Brush()->SetColor(clFuchsia);
    b.Canvas()->FillRect(Rect(0, 0, 2, 2));
    b.Canvas()->SetPixels(1, 1, clGreen);
    b.SetTransparent(true);
    TPngImage png;
    png.Assign(&b);
    EXPECT_EQ(png.ColorType(), COLOR_RGB);
    EXPECT_EQ(png.TransparencyMode(), ptmBit);
    EXPECT_EQ(png.TransparentColor(), clFuchsia);
    EXPECT_EQ(png.Pixels(1, 1), clGreen);

    std::string bytes = png.SaveToString();
    TPngImage bad;
    EXPECT_THROW(bad.LoadFromString(bytes.substr(0, bytes.size() / 2)), EInvalidGraphic);
    EXPECT_THROW(bad.Scanline(0), EInvalidGraphicOperation);
}
