#include <gtest/gtest.h>

#include "platform/gdi/Gdi.h"
#include "platform/graphics/Bitmap.h"
#include "platform/graphics/Graphics.h"
#include "richtext/view/RVBackground.h"

namespace epc {
namespace {

// A 4 x 4 picture: red with a blue top-left pixel, so tile origins can be found.
std::unique_ptr<TBitmap> MakeTile() {
    auto bmp = std::make_unique<TBitmap>(4, 4, pf24bit);
    bmp->Canvas()->Brush()->SetColor(clRed);
    bmp->Canvas()->FillRect(TRect(0, 0, 4, 4));
    bmp->Canvas()->SetPixels(0, 0, clBlue);
    return bmp;
}

struct Surface {
    TCanvas canvas;
    Surface(int w, int h) {
        canvas.SetOwnedHandle(CreateBufferDC(w, h, 96, 96));
        canvas.Brush()->SetColor(clLime);
        canvas.FillRect(TRect(0, 0, w, h));
    }
    TColor At(int x, int y) { return canvas.Pixels(x, y); }
};

TEST(Background, ColorOnlyFillsAndClNoneLeavesWhatIsBelow) {
    TRVBackground back(true);
    EXPECT_TRUE(back.IsColorOnly());
    Surface s(20, 20);
    back.Draw(&s.canvas, TRect(0, 0, 20, 20), false, clNone, 20, 20, 0, 0, 0, 0);
    EXPECT_EQ(s.At(5, 5), clLime);
    back.Draw(&s.canvas, TRect(2, 2, 10, 10), true, clYellow, 20, 20, 0, 0, 0, 0);
    EXPECT_EQ(s.At(5, 5), clYellow);
    EXPECT_EQ(s.At(1, 1), clLime);
    EXPECT_EQ(s.At(10, 10), clLime);
    // An empty bitmap in a tiled style still gives the colour only.
    back.SetStyle(TBackgroundStyle::bsTiled);
    EXPECT_FALSE(back.ScrollRequiresFullRedraw());
    back.Draw(&s.canvas, TRect(0, 0, 20, 20), false, clAqua, 20, 20, 0, 0, 0, 0);
    EXPECT_EQ(s.At(0, 0), clAqua);
    EXPECT_EQ(s.At(19, 19), clAqua);
}

TEST(Background, TiledGridIsFixedToTheAreaAndScrolledGridMoves) {
    TRVBackground back(false);
    auto tile = MakeTile();
    back.AssignImage(tile.get());
    back.SetStyle(TBackgroundStyle::bsTiled);
    EXPECT_TRUE(back.ScrollRequiresFullRedraw());
    Surface s(20, 20);
    // Only a part is painted; the tiles still sit on the area's grid.
    back.Draw(&s.canvas, TRect(5, 5, 20, 20), true, clWhite, 20, 20, 0, 0, 7, 0);
    EXPECT_EQ(s.At(8, 8), clBlue);
    EXPECT_EQ(s.At(12, 16), clBlue);
    EXPECT_EQ(s.At(9, 8), clRed);
    EXPECT_EQ(s.At(4, 4), clLime);
    back.SetStyle(TBackgroundStyle::bsTiledAndScrolled);
    EXPECT_FALSE(back.ScrollRequiresFullRedraw());
    // Scrolled down by 1 and right by 2: a tile origin at document (4, 4) is at area (2, 3).
    back.Draw(&s.canvas, TRect(0, 0, 20, 20), false, clWhite, 20, 20, 0, 0, 1, 2);
    EXPECT_EQ(s.At(2, 3), clBlue);
    EXPECT_EQ(s.At(6, 7), clBlue);
    EXPECT_EQ(s.At(4, 4), clRed);
}

TEST(Background, CenteredPictureOverColorAlsoWhenTheAreaIsSmaller) {
    TRVBackground back(false);
    auto tile = MakeTile();
    back.AssignImage(tile.get());
    back.SetStyle(TBackgroundStyle::bsCentered);
    Surface s(20, 20);
    back.Draw(&s.canvas, TRect(0, 0, 20, 20), false, clWhite, 11, 11, 0, 0, 0, 0);
    // (11 - 4) div 2 = 3.
    EXPECT_EQ(s.At(3, 3), clBlue);
    EXPECT_EQ(s.At(2, 2), clWhite);
    EXPECT_EQ(s.At(7, 7), clWhite);
    // An area of 1 x 1: (1 - 4) div 2 = -1, truncated toward zero.
    Surface t(6, 6);
    back.Draw(&t.canvas, TRect(0, 0, 6, 6), false, clWhite, 1, 1, 2, 2, 0, 0);
    EXPECT_EQ(t.At(1, 1), clBlue);
    EXPECT_EQ(t.At(0, 0), clWhite);
}

TEST(Background, StretchedCoversTheAreaAndScaledDrawingFollowsTheDevice) {
    TRVBackground back(false);
    auto tile = MakeTile();
    back.AssignImage(tile.get());
    back.SetStyle(TBackgroundStyle::bsStretched);
    Surface s(20, 20);
    back.Draw(&s.canvas, TRect(0, 0, 20, 20), false, clWhite, 16, 16, 0, 0, 0, 0);
    EXPECT_EQ(s.At(3, 3), clBlue);
    EXPECT_EQ(s.At(4, 4), clRed);
    EXPECT_EQ(s.At(17, 17), clLime);
    Surface p(20, 20);
    back.SetStyle(TBackgroundStyle::bsTiled);
    TRVResolutionInfo res;
    res.DeviceResX = res.DeviceResY = 192;
    back.DrawScaled(&p.canvas, TRect(0, 0, 20, 20), clWhite, 20, 20, 0, 0, res);
    EXPECT_EQ(p.At(1, 1), clBlue);
    EXPECT_EQ(p.At(8, 8), clBlue);
    EXPECT_EQ(p.At(6, 6), clRed);
}

} // namespace
} // namespace epc
