#include <gtest/gtest.h>

#include "components/graphics/Bitmap32.h"
#include "platform/codecs/ImageCodecs.h"
#include "platform/context/PlatformContext.h"
#include "platform/controls/Clipbrd.h"
#include "platform/graphics/Bitmap.h"
#include "platform/graphics/Graphics.h"
#include "platform/testing/UserActions.h"

using namespace epc;

TEST(Bitmap32Gdi, ContextDrawsIntoTheSamePixels) {
    TBitmap32 b;
    EXPECT_EQ(b.Handle(), nullptr);  // empty: no section
    b.SetSize(6, 4);
    b.SetPixel(5, 3, 0x12345678);
    HDC dc = b.DC();
    ASSERT_NE(dc, nullptr);
    ASSERT_NE(b.Handle(), nullptr);
    EXPECT_EQ(b.Pixel(5, 3), 0x12345678u);  // kept when the section was made
    TBitmapBits bits = GetBitmapBits(b.Handle());
    EXPECT_EQ(bits.Bits, reinterpret_cast<uint8_t*>(b.Bits()));
    EXPECT_EQ(bits.Stride, 6 * 4);

    HBRUSH brush = CreateSolidBrush(RGB(255, 0, 0));
    RECT r{1, 1, 3, 2};
    FillRect(dc, &r, brush);
    DeleteObject(brush);
    EXPECT_EQ(b.Pixel(1, 1), 0xFFFF0000u);
    EXPECT_EQ(b.Pixel(3, 1), 0u);
    b.SetPixel(0, 0, 0xFF00FF00);
    EXPECT_EQ(GetPixel(dc, 0, 0), RGB(0, 255, 0));
}

TEST(Bitmap32Gdi, ResizeReplacesTheSection) {
    TBitmap32 b;
    int handles = 0;
    b.OnHandleChanged = [&](TObject*) { ++handles; };
    b.SetSize(3, 3);
    b.DC();
    b.SetSize(5, 2);
    EXPECT_EQ(handles, 2);
    EXPECT_EQ(b.Pixel(4, 1), 0u);
    HBITMAP h = b.Handle();
    BITMAP info{};
    GetObjectW(h, sizeof(info), &info);
    EXPECT_EQ(info.bmWidth, 5);
    EXPECT_EQ(info.bmHeight, 2);
    b.SetSize(0, 0);
    EXPECT_TRUE(b.IsEmpty());
    EXPECT_EQ(b.DC(), nullptr);
}

TEST(Bitmap32Gdi, DrawToDCCopiesAllFourBytes) {
    TBitmap32 b;
    b.SetSize(2, 2);
    b.SetPixel(0, 0, 0x80112233);
    b.SetPixel(1, 1, 0xFF445566);
    HDC dc = CreateBufferDC(4, 4, 96, 96);
    b.DrawToDC(dc, 1, 1);
    TBitmapBits out = GetBitmapBits(GetDCBitmap(dc));
    auto px = [&](int x, int y) {
        return *reinterpret_cast<uint32_t*>(out.Bits + y * out.Stride + x * 4);
    };
    EXPECT_EQ(px(1, 1), 0x80112233u);
    EXPECT_EQ(px(2, 2), 0xFF445566u);
    DeleteDC(dc);
}

TEST(Bitmap32Pictures, AlphaFromFrameworkBitmaps) {
    TBitmap rgb(3, 2, pf24bit);
    rgb.Canvas()->Brush()->SetColor(clRed);
    rgb.Canvas()->FillRect(TRect(0, 0, 3, 2));
    TBitmap32 b;
    b.Assign(&rgb);
    ASSERT_EQ(b.Width(), 3);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) EXPECT_EQ(b.Pixel(x, y), 0xFFFF0000u);

    TBitmap argb(2, 1, pf32bit);
    reinterpret_cast<uint32_t*>(argb.ScanLine(0))[0] = 0x40102030;
    reinterpret_cast<uint32_t*>(argb.ScanLine(0))[1] = 0x00000000;
    b.Assign(&argb);
    EXPECT_EQ(b.Pixel(0, 0), 0x40102030u);
    EXPECT_EQ(b.Pixel(1, 0), 0u);

    // Through a picture, and back into one.
    TPicture picture;
    picture.SetGraphic(&rgb);
    b.Assign(&picture);
    EXPECT_EQ(b.Width(), 3);
    EXPECT_EQ(b.Pixel(2, 1), 0xFFFF0000u);
    b.SetPixel(0, 0, 0x80FFFFFF);
    TBitmap out;
    out.Assign(&b);
    EXPECT_EQ(out.PixelFormat(), pf32bit);
    ASSERT_EQ(out.Width(), 3);
    EXPECT_EQ(reinterpret_cast<uint32_t*>(out.ScanLine(0))[0], 0x80FFFFFFu);
    EXPECT_EQ(reinterpret_cast<uint32_t*>(out.ScanLine(1))[2], 0xFFFF0000u);
    TPicture empty;
    b.Assign(&empty);
    EXPECT_TRUE(b.IsEmpty());
}

// The bitmap's own assignment operations are what the framework's Assign and AssignTo reach.
TEST(Bitmap32Pictures, OwnAssignmentOperationsServeTheFramework) {
    struct TCounting : TBitmap32 {
        int From = 0, To = 0;
        void AssignFrom(TPersistent* source) override {
            ++From;
            TBitmap32::AssignFrom(source);
        }
        void CopyToGraphic(TPersistent* dest) override {
            ++To;
            TBitmap32::CopyToGraphic(dest);
        }
    };
    TBitmap rgb(2, 1, pf24bit);
    rgb.Canvas()->Brush()->SetColor(clLime);
    rgb.Canvas()->FillRect(TRect(0, 0, 2, 1));
    TCounting b;
    b.Assign(&rgb);
    EXPECT_EQ(b.Pixel(1, 0), 0xFF00FF00u);
    TPicture picture;
    picture.Assign(&b);
    EXPECT_EQ(picture.Width(), 2);
    b.CopyToGraphic(&picture);
    EXPECT_EQ(b.From, 1);
    EXPECT_EQ(b.To, 2);
}

TEST(Bitmap32Pictures, OtherPicturesDrawOpaque) {
    TDecodedImage image;
    image.Width = 2;
    image.Height = 2;
    image.Pixels = {0xFF0000FF, 0x800000FF, 0xFF00FF00, 0xFFFF0000};
    std::string png = EncodePng(image);
    TStringStream stream(png);
    TPicture picture;
    picture.LoadFromStream(stream);
    ASSERT_NE(picture.Graphic(), nullptr);
    TBitmap32 b;
    b.Assign(&picture);
    ASSERT_EQ(b.Width(), 2);
    EXPECT_EQ(b.Pixel(0, 0), 0xFF0000FFu);
    EXPECT_EQ(AlphaComponent(b.Pixel(1, 0)), 255);
    EXPECT_EQ(b.Pixel(1, 1), 0xFFFF0000u);
}

TEST(Bitmap32Pictures, CanvasFollowsResizeAndNotifies) {
    TBitmap32 b;
    b.SetSize(4, 4);
    int changes = 0;
    b.OnChange = [&](TObject*) { ++changes; };
    TCanvas* c = b.Canvas();
    c->Brush()->SetColor(clBlue);
    c->FillRect(TRect(0, 0, 2, 2));
    EXPECT_EQ(b.Pixel(1, 1), 0xFF0000FFu);
    EXPECT_GT(changes, 0);
    b.SetSize(8, 3);
    EXPECT_EQ(b.Canvas(), c);
    c->FillRect(TRect(6, 2, 8, 3));
    EXPECT_EQ(b.Pixel(7, 2), 0xFF0000FFu);
    b.Font()->SetSize(14);
    EXPECT_EQ(b.Font()->Size(), 14);
}

TEST(Bitmap32Pictures, ThroughTheClipboard) {
    TPlatformContext context;
    TBitmap32 b;
    b.SetSize(3, 2);
    b.Clear(0x40FF8000);
    Clipboard()->Assign(&b);
    EXPECT_TRUE(Clipboard()->HasFormat(CF_BITMAP));
    TBitmap32 c;
    c.Assign(Clipboard());
    ASSERT_EQ(c.Width(), 3);
    ASSERT_EQ(c.Height(), 2);
    EXPECT_EQ(c.Pixel(2, 1) & 0x00FFFFFF, 0x00FF8000u);
    EXPECT_EQ(AlphaComponent(c.Pixel(2, 1)), 255); // drawn like any picture: opaque
}
