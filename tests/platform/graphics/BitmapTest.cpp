#include <gtest/gtest.h>

#include <cstring>

#include "platform/graphics/Bitmap.h"
#include "tests/platform/support/AllocationLimit.h"

using namespace epc;

TEST(BitmapFormat, ScanLinesFollowThePixelFormat) {
    TBitmap b(5, 3, pf24bit);
    EXPECT_EQ(b.PixelFormat(), pf24bit);
    EXPECT_EQ(b.ScanLineStride(), 16); // 15 bytes padded to 4
    b.Canvas()->SetPixels(1, 2, TColor(RGB(10, 20, 30)));
    uint8_t* row = b.ScanLine(2);
    EXPECT_EQ(row[3], 30); // B, G, R
    EXPECT_EQ(row[4], 20);
    EXPECT_EQ(row[5], 10);
    EXPECT_EQ(b.ScanLine(1) - b.ScanLine(0), 16); // top-down rows

    // Writes through a scan line reach drawing.
    uint8_t* top = b.ScanLine(0);
    top[0] = 0xFF;
    top[1] = 0;
    top[2] = 0;
    EXPECT_EQ(b.Canvas()->Pixels(0, 0), clBlue);

    TBitmap m(10, 2, pf1bit);
    EXPECT_TRUE(m.Monochrome());
    EXPECT_EQ(m.ScanLineStride(), 4);
    // New pixels are white: all bits set for the used columns.
    EXPECT_EQ(m.ScanLine(0)[0], 0xFF);
    EXPECT_EQ(m.ScanLine(0)[1] & 0xC0, 0xC0);
    m.Canvas()->SetPixels(0, 0, clBlack);
    m.Canvas()->SetPixels(9, 1, clBlack);
    EXPECT_EQ(m.ScanLine(0)[0], 0x7F); // most significant bit first
    EXPECT_EQ(m.ScanLine(1)[1] & 0xC0, 0x80);
    m.ScanLine(1)[0] = 0x00;
    EXPECT_EQ(m.Canvas()->Pixels(3, 1), clBlack);

    TBitmap p(3, 1, pf8bit);
    ASSERT_EQ(p.Palette().size(), 256u);
    p.Canvas()->SetPixels(0, 0, clRed);
    uint8_t index = p.ScanLine(0)[0];
    EXPECT_EQ(p.Palette()[index], (TPaletteEntry{255, 0, 0}));

    TBitmap d(2, 2, pf32bit);
    d.Canvas()->SetPixels(1, 1, clLime);
    auto* px = reinterpret_cast<uint32_t*>(d.ScanLine(1));
    EXPECT_EQ(px[1], 0xFF00FF00u); // B, G, R, A with opaque alpha
}

TEST(BitmapFormat, ConversionsReduceColours) {
    TBitmap b(2, 1, pf24bit);
    b.Canvas()->SetPixels(0, 0, TColor(RGB(200, 200, 200)));
    b.Canvas()->SetPixels(1, 0, TColor(RGB(40, 40, 40)));
    b.SetPixelFormat(pf1bit);
    EXPECT_EQ(b.Canvas()->Pixels(0, 0), clWhite);
    EXPECT_EQ(b.Canvas()->Pixels(1, 0), clBlack);
    b.SetMonochrome(false);
    EXPECT_EQ(b.BitsPerPixel(), 32);
    EXPECT_THROW(b.SetPixelFormat(pf15bit), EInvalidGraphic);
}

TEST(BitmapFormat, ScanLineOutsideRaises) {
    TBitmap b(2, 2, pf24bit);
    EXPECT_THROW(b.ScanLine(2), EInvalidGraphicOperation);
    EXPECT_THROW(b.ScanLine(-1), EInvalidGraphicOperation);
    TBitmap e;
    EXPECT_THROW(e.ScanLine(0), EInvalidGraphicOperation);
}

TEST(BitmapSize, KeepsTheOverlapAndFillsWhite) {
    TBitmap b(2, 2, pf24bit);
    b.Canvas()->Brush()->SetColor(clRed);
    b.Canvas()->FillRect(Rect(0, 0, 2, 2));
    b.SetSize(4, 3);
    EXPECT_EQ(b.Width(), 4);
    EXPECT_EQ(b.Height(), 3);
    EXPECT_EQ(b.Canvas()->Pixels(1, 1), clRed);
    EXPECT_EQ(b.Canvas()->Pixels(3, 2), clWhite);
    // The canvas follows the new surface.
    b.Canvas()->FillRect(Rect(3, 2, 4, 3));
    EXPECT_EQ(b.Canvas()->Pixels(3, 2), clRed);
    b.SetSize(0, 5);
    EXPECT_TRUE(b.Empty());
}

TEST(BitmapTransparency, TopLeftPixelUnlessFixed) {
    TBitmap src(4, 4, pf24bit);
    src.Canvas()->Brush()->SetColor(clFuchsia);
    src.Canvas()->FillRect(Rect(0, 0, 4, 4));
    src.Canvas()->Brush()->SetColor(clGreen);
    src.Canvas()->FillRect(Rect(1, 1, 3, 3));
    EXPECT_EQ(src.TransparentMode(), tmAuto);
    EXPECT_EQ(src.TransparentColor(), clFuchsia);
    src.SetTransparent(true);

    TBitmap dst(6, 6, pf24bit);
    dst.Canvas()->Brush()->SetColor(clYellow);
    dst.Canvas()->FillRect(Rect(0, 0, 6, 6));
    dst.Canvas()->Draw(1, 1, &src);
    EXPECT_EQ(dst.Canvas()->Pixels(1, 1), clYellow);
    EXPECT_EQ(dst.Canvas()->Pixels(2, 2), clGreen);

    src.SetTransparentColor(clGreen);
    EXPECT_EQ(src.TransparentMode(), tmFixed);
    dst.Canvas()->FillRect(Rect(0, 0, 6, 6));
    dst.Canvas()->Draw(1, 1, &src);
    EXPECT_EQ(dst.Canvas()->Pixels(1, 1), clFuchsia);
    EXPECT_EQ(dst.Canvas()->Pixels(2, 2), clYellow);
    src.SetTransparentColor(clDefault);
    EXPECT_EQ(src.TransparentMode(), tmAuto);
}

TEST(BitmapStreams, BmpRoundTripKeepsPixelsAndDepth) {
    TBitmap b(3, 2, pf24bit);
    b.Canvas()->SetPixels(2, 1, clRed);
    TMemoryStream s;
    b.SaveToStream(s);
    EXPECT_EQ(s.Memory()[0], 'B');
    s.SetPosition(0);
    TBitmap c;
    c.LoadFromStream(s);
    EXPECT_EQ(c.Width(), 3);
    EXPECT_EQ(c.Height(), 2);
    EXPECT_EQ(c.PixelFormat(), pf24bit);
    EXPECT_EQ(c.Canvas()->Pixels(2, 1), clRed);
    EXPECT_TRUE(c.Equals(&b));

    // 32-bit bitmaps keep their alpha bytes.
    TBitmap a(1, 1, pf32bit);
    reinterpret_cast<uint32_t*>(a.ScanLine(0))[0] = 0x80112233u;
    TBitmap a2;
    a2.LoadFromString(a.SaveToString());
    EXPECT_EQ(a2.PixelFormat(), pf32bit);
    EXPECT_EQ(reinterpret_cast<uint32_t*>(a2.ScanLine(0))[0], 0x80112233u);

    TBitmap bad;
    EXPECT_THROW(bad.LoadFromString(std::string("BM\x10\x00garbage", 11)), EInvalidGraphic);
}

TEST(BitmapHandle, ReleaseAndAdopt) {
    TBitmap b(3, 3, pf32bit);
    b.Canvas()->SetPixels(0, 0, clBlue);
    HBITMAP h = b.ReleaseHandle();
    ASSERT_NE(h, nullptr);
    EXPECT_TRUE(b.Empty());
    TBitmap c;
    c.SetHandle(h);
    EXPECT_EQ(c.Width(), 3);
    EXPECT_EQ(c.Canvas()->Pixels(0, 0), clBlue);
    EXPECT_EQ(c.Handle(), h);
}

TEST(BitmapAssign, CopiesPixelsFormatAndTransparency) {
    TBitmap a(2, 2, pf1bit);
    a.Canvas()->SetPixels(0, 0, clBlack);
    a.SetTransparent(true);
    a.SetTransparentColor(clWhite);
    TBitmap b;
    b.Assign(&a);
    EXPECT_EQ(b.PixelFormat(), pf1bit);
    EXPECT_TRUE(b.Transparent());
    EXPECT_EQ(b.TransparentColor(), clWhite);
    EXPECT_EQ(b.Canvas()->Pixels(0, 0), clBlack);
    EXPECT_EQ(b.Canvas()->Pixels(1, 1), clWhite);
    // The copy is independent.
    b.Canvas()->SetPixels(1, 1, clBlack);
    EXPECT_EQ(a.Canvas()->Pixels(1, 1), clWhite);
}

TEST(BitmapStreams, MonochromeAndPaletteFilesKeepTheirFormat) {
    TBitmap m(9, 3, pf1bit);
    m.Canvas()->SetPixels(8, 2, clBlack);
    std::string bytes = m.SaveToString();
    EXPECT_EQ(uint8_t(bytes[28]), 1); // bits per pixel in the header
    TBitmap m2;
    m2.LoadFromString(bytes);
    EXPECT_EQ(m2.PixelFormat(), pf1bit);
    EXPECT_EQ(m2.Canvas()->Pixels(8, 2), clBlack);
    EXPECT_EQ(m2.Canvas()->Pixels(7, 2), clWhite);

    TBitmap p(3, 2, pf8bit);
    p.Canvas()->SetPixels(2, 1, clBlue);
    TBitmap p2;
    p2.LoadFromString(p.SaveToString());
    EXPECT_EQ(p2.PixelFormat(), pf8bit);
    EXPECT_EQ(p2.Canvas()->Pixels(2, 1), clBlue);
}

TEST(BitmapStreams, DataPropertyCarriesItsLength) {
    TBitmap b(2, 2, pf24bit);
    b.Canvas()->SetPixels(0, 1, clRed);
    TMemoryStream s;
    b.WriteData(s);
    s.WriteByte(0x5A); // what follows in the stream is left alone
    s.SetPosition(0);
    TBitmap c;
    c.ReadData(s);
    EXPECT_EQ(c.Canvas()->Pixels(0, 1), clRed);
    EXPECT_EQ(s.ReadByte(), 0x5A);

    TBitmap empty;
    TMemoryStream e;
    empty.WriteData(e);
    EXPECT_EQ(e.Size(), 4);
    e.SetPosition(0);
    c.ReadData(e);
    EXPECT_TRUE(c.Empty());

    TMemoryStream shortData;
    shortData.WriteInt32(1000);
    shortData.WriteString("BM");
    shortData.SetPosition(0);
    EXPECT_THROW(c.ReadData(shortData), EReadError);

    // Six bytes declaring nearly 2 GB: refused before anything is allocated for them.
    TMemoryStream huge;
    huge.WriteInt32(0x7FFFFFF0);
    huge.WriteString("BM");
    huge.SetPosition(0);
    epc::testing::TAllocationLimit limit(1 << 20);
    EXPECT_THROW(c.ReadData(huge), EReadError);
}

TEST(BitmapSurface, DescribesItselfForDeviceIndependentCopies) {
    TBitmap src(3, 2, pf24bit);
    src.Canvas()->SetPixels(2, 1, clRed);
    src.Canvas()->SetPixels(0, 0, clBlue);
    BITMAPINFO info = src.SurfaceInfo();
    EXPECT_EQ(info.bmiHeader.biBitCount, 32);
    EXPECT_EQ(info.bmiHeader.biHeight, -2); // top-down
    TBitmap dst(6, 4, pf24bit);
    StretchDIBits(dst.Canvas()->Handle(), 0, 0, 6, 4, 0, 0, 3, 2, src.SurfaceBits(), &info,
                  DIB_RGB_COLORS, SRCCOPY);
    EXPECT_EQ(dst.Canvas()->Pixels(1, 1), clBlue);
    EXPECT_EQ(dst.Canvas()->Pixels(5, 3), clRed);
    EXPECT_EQ(dst.Canvas()->Pixels(3, 0), clWhite);
}
