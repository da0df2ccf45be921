#include <gtest/gtest.h>

#include "components/graphics/Bitmap32.h"

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
