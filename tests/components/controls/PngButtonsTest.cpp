#include <gtest/gtest.h>

#include "components/controls/PngButtons.h"
#include "components/controls/PngImageList.h"
#include "components/controls/TiledImage.h"
#include "platform/testing/UserActions.h"
#include "tests/components/controls/ControlsTestSupport.h"

using namespace epc;
using epc::test::SolidPng;
namespace ui = epc::testing;

namespace {

using PngButtonTest = epc::test::FormFixture;

int R(COLORREF c) {
    return GetRValue(c);
}
int G(COLORREF c) {
    return GetGValue(c);
}
int B(COLORREF c) {
    return GetBValue(c);
}

} // namespace

TEST_F(PngButtonTest, DisabledButtonDrawsItsPngHalfFadedNotGray) {
    auto* button = new TPngSpeedButton(Form);
    button->SetParent(Form);
    button->SetBounds(10, 10, 40, 40);
    TPngImage red;
    SolidPng(red, 16, 16, 0xFFFF0000);
    button->SetPngImage(&red);
    EXPECT_EQ(button->Glyph()->Width(), 16); // the placeholder makes room for the PNG
    EXPECT_EQ(button->NumGlyphs(), 1);
    ui::ShowForm(Form);
    EXPECT_EQ(ui::PixelAt(button, 20, 20), RGB(255, 0, 0));
    button->SetEnabled(false);
    ui::Pump();
    COLORREF face = ui::PixelAt(button, 4, 4);
    COLORREF glyph = ui::PixelAt(button, 20, 20);
    EXPECT_NEAR(R(glyph), (255 + R(face)) / 2, 2);
    EXPECT_NEAR(G(glyph), G(face) / 2, 2);
    EXPECT_NE(R(glyph), G(glyph)); // in colour
    button->SetPngOptions({pngBlendOnDisabled, pngGrayscaleOnDisabled});
    ui::Pump();
    glyph = ui::PixelAt(button, 20, 20);
    // Red grays to 76, then half of it over the face.
    EXPECT_NEAR(R(glyph), (76 + R(face)) / 2, 2);
    EXPECT_NEAR(G(glyph), (76 + G(face)) / 2, 2);
    EXPECT_NEAR(B(glyph), (76 + B(face)) / 2, 2);
}

TEST_F(PngButtonTest, PushedImageShowsWhileDown) {
    auto* button = new TPNGImageButton(Form);
    button->SetParent(Form);
    button->SetBounds(10, 10, 40, 40);
    TPngImage up, down;
    SolidPng(up, 16, 16, 0xFF00FF00);
    SolidPng(down, 16, 16, 0xFF0000FF);
    button->SetPngImage(&up);
    button->SetPngPushedImage(&down);
    ui::ShowForm(Form);
    EXPECT_EQ(ui::PixelAt(button, 20, 20), RGB(0, 255, 0));
    ui::MouseDown(button, 20, 20);
    // Pressed faces move by one pixel.
    EXPECT_EQ(ui::PixelAt(button, 21, 21), RGB(0, 0, 255));
    ui::MouseUp(button, 20, 20);
    EXPECT_EQ(ui::PixelAt(button, 20, 20), RGB(0, 255, 0));
}

TEST_F(PngButtonTest, ActionImageIsCopiedUnlessTheButtonHasItsOwn) {
    auto& images = *new TPngImageList(Form);
    images.SetSize(16, 16);
    TPngImage a, b;
    SolidPng(a, 16, 16, 0xFFFF0000);
    SolidPng(b, 16, 16, 0x800000FF);
    images.AddPng(&a);
    images.AddPng(&b);
    auto& list = *new TActionList(Form);
    list.SetImages(&images);
    auto& action = *new TAction(Form);
    action.SetActionList(&list);
    action.SetImageIndex(1);

    auto* button = new TPngSpeedButton(Form);
    button->SetAction(&action);
    EXPECT_TRUE(button->ImageFromAction());
    EXPECT_EQ(button->PngImage()->ToImage().Pixels[0], 0x800000FFu);
    action.SetImageIndex(0);
    EXPECT_EQ(button->PngImage()->ToImage().Pixels[0], 0xFFFF0000u);
    action.SetImageIndex(5); // outside the list: unchanged
    EXPECT_EQ(button->PngImage()->ToImage().Pixels[0], 0xFFFF0000u);

    auto* own = new TPngSpeedButton(Form);
    TPngImage green;
    SolidPng(green, 8, 8, 0xFF00FF00);
    own->SetPngImage(&green);
    own->SetAction(&action);
    EXPECT_FALSE(own->ImageFromAction());
    EXPECT_EQ(own->PngImage()->Width(), 8);
}

TEST_F(PngButtonTest, ColourPngsLoseTheirGammaWhenSet) {
    auto* button = new TPngSpeedButton(Form);
    TPngImage png;
    SolidPng(png, 4, 4, 0xFF808080);
    png.SetGamma(0.5);
    button->SetPngImage(&png);
    EXPECT_FALSE(button->PngImage()->HasGamma());
    button->SetPngImage(nullptr);
    EXPECT_TRUE(button->PngImage()->Empty());
    EXPECT_TRUE(button->Glyph()->Empty());
}

namespace {

// A 16 x 16 tile in which every pixel differs.
COLORREF TileColour(int x, int y) {
    return RGB(x * 15, y * 15, 100 + (x ^ y));
}

void MakeTile(TPicture* picture) {
    TBitmap tile(16, 16, pf24bit);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            tile.Canvas()->SetPixels(x, y, TColor(TileColour(x, y)));
    picture->SetGraphic(&tile);
}

} // namespace

TEST_F(PngButtonTest, TiledImagesSideBySideShowOnePattern) {
    TTiledImage* images[2];
    for (int i = 0; i < 2; ++i) {
        images[i] = new TTiledImage(Form);
        images[i]->SetParent(Form);
        MakeTile(images[i]->Picture());
    }
    EXPECT_EQ(images[0]->Width(), 105);
    images[0]->SetBounds(5, 3, 37, 40);
    images[1]->SetBounds(42, 3, 45, 40);
    // Masked corners where the two meet: black shows the background.
    TBitmap mask(6, 6, pf24bit);
    mask.Canvas()->Brush()->SetColor(clBlack);
    mask.Canvas()->FillRect(TRect(0, 0, 6, 6));
    mask.Canvas()->Brush()->SetColor(clWhite);
    mask.Canvas()->FillRect(TRect(0, 0, 3, 3));
    images[0]->SetTopRightCornerMask(&mask);
    images[1]->SetTopLeftCornerMask(&mask);
    ui::ShowForm(Form);
    TWindowPixels shown = ui::ClientPixels(Form);
    int mismatches = 0;
    for (int y = 3; y < 43; ++y)
        for (int x = 5; x < 87; ++x)
            if (shown.Color(x, y) != TileColour(x % 16, y % 16)) ++mismatches;
    EXPECT_EQ(mismatches, 0);
}

TEST_F(PngButtonTest, TiledImageCornersAndEdgeStrips) {
    auto* image = new TTiledImage(Form);
    image->SetParent(Form);
    image->SetBounds(0, 0, 60, 50);
    MakeTile(image->Picture());
    TPngImage corner;
    SolidPng(corner, 5, 6, 0xFF000080);
    image->SetTopLeftCorner(&corner);
    image->SetTopRightCorner(&corner);
    image->SetBottomLeftCorner(&corner);
    ui::ShowForm(Form);
    const COLORREF edge = RGB(235, 116, 41);
    EXPECT_EQ(ui::PixelAt(Form, 2, 2), RGB(0, 0, 128));
    EXPECT_EQ(ui::PixelAt(Form, 57, 2), RGB(0, 0, 128));
    EXPECT_EQ(ui::PixelAt(Form, 2, 47), RGB(0, 0, 128));
    EXPECT_EQ(ui::PixelAt(Form, 1, 20), edge); // left: between two corners
    EXPECT_EQ(ui::PixelAt(Form, 3, 20), TileColour(3, 20 % 16));
    EXPECT_EQ(ui::PixelAt(Form, 30, 1), edge);                          // top
    EXPECT_EQ(ui::PixelAt(Form, 58, 20), TileColour(58 % 16, 20 % 16)); // no bottom-right
    EXPECT_EQ(ui::PixelAt(Form, 30, 49), TileColour(30 % 16, 49 % 16));
    image->SetLineWidth(5);
    ui::Pump();
    EXPECT_EQ(ui::PixelAt(Form, 4, 20), edge);
}

TEST_F(PngButtonTest, AutoSizeTakesThePictureSize) {
    auto* image = new TTiledImage(Form);
    image->SetAutoSize(true);
    MakeTile(image->Picture());
    EXPECT_EQ(image->Width(), 16);
    EXPECT_EQ(image->Height(), 16);
}
