// Block transfers, stretching and device-independent bitmaps.

#include <gtest/gtest.h>

#include "tests/platform/gdi/GdiTestSupport.h"

namespace epc {
namespace {

using gditest::kBlack;
using gditest::kWhite;
using gditest::TCanvasFixture;

void PutRaw(TCanvasFixture& c, int x, int y, uint32_t v) {
    TBitmapBits b = GetBitmapBits(GetDCBitmap(c.Dc));
    std::memcpy(b.Bits + y * b.Stride + x * 4, &v, 4);
}

TEST(GdiBlit, CopyKeepsAllFourBytesAndRasterOpsCombine) {
    TCanvasFixture src(4, 4), dst(4, 4);
    PutRaw(src, 1, 1, 0x80123456u);
    BitBlt(dst.Dc, 0, 0, 4, 4, src.Dc, 0, 0, SRCCOPY);
    EXPECT_EQ(dst.Raw(1, 1), 0x80123456u);
    EXPECT_EQ(dst.Raw(0, 0), 0xFFFFFFFFu);
    // Whole rows from further down the source.
    PutRaw(src, 3, 2, 0x01020304u);
    BitBlt(dst.Dc, 0, 0, 4, 2, src.Dc, 0, 1, SRCCOPY);
    EXPECT_EQ(dst.Raw(1, 0), 0x80123456u);
    EXPECT_EQ(dst.Raw(3, 1), 0x01020304u);
    EXPECT_EQ(dst.Raw(1, 1), 0xFFFFFFFFu);

    // Source 0x0F0F0F... against destination 0x3C3C3C..., brush 0x555555...
    src.Clear(RGB(0x0F, 0x0F, 0x0F));
    HBRUSH brush = CreateSolidBrush(RGB(0x55, 0x55, 0x55));
    SelectObject(dst.Dc, brush);
    struct Case {
        DWORD rop;
        uint8_t expected;
    };
    const uint8_t s = 0x0F, d = 0x3C, p = 0x55;
    for (Case k :
         {Case{SRCCOPY, s}, Case{SRCAND, uint8_t(s & d)}, Case{SRCPAINT, uint8_t(s | d)},
          Case{SRCINVERT, uint8_t(s ^ d)}, Case{SRCERASE, uint8_t(s & ~d)},
          Case{NOTSRCCOPY, uint8_t(~s)}, Case{NOTSRCERASE, uint8_t(~(s | d))},
          Case{MERGECOPY, uint8_t(p & s)}, Case{MERGEPAINT, uint8_t(~s | d)}, Case{PATCOPY, p},
          Case{PATPAINT, uint8_t(p | ~s | d)}, Case{PATINVERT, uint8_t(p ^ d)},
          Case{DSTINVERT, uint8_t(~d)}, Case{BLACKNESS, 0}, Case{WHITENESS, 0xFF}}) {
        dst.Clear(RGB(d, d, d));
        BitBlt(dst.Dc, 0, 0, 4, 4, src.Dc, 0, 0, k.rop);
        EXPECT_EQ(dst.At(2, 2), RGB(k.expected, k.expected, k.expected)) << std::hex << k.rop;
        EXPECT_EQ(dst.Raw(2, 2) >> 24, 0xFFu) << std::hex << k.rop;
    }
    SelectObject(dst.Dc, GetStockObject(WHITE_BRUSH));
    DeleteObject(brush);
}

TEST(GdiBlit, OverlappingCopyWithinOneSurface) {
    TCanvasFixture c(8, 1);
    for (int x = 0; x < 8; ++x)
        SetPixel(c.Dc, x, 0, RGB(uint8_t(x), 0, 0));
    BitBlt(c.Dc, 1, 0, 7, 1, c.Dc, 0, 0, SRCCOPY); // scroll right by one
    for (int x = 1; x < 8; ++x)
        EXPECT_EQ(GetRValue(c.At(x, 0)), x - 1);
    BitBlt(c.Dc, 0, 0, 7, 1, c.Dc, 1, 0, SRCCOPY); // and back
    for (int x = 0; x < 7; ++x)
        EXPECT_EQ(GetRValue(c.At(x, 0)), x);
}

TEST(GdiBlit, StretchNearestMirrorAndHalftoneBoxFilter) {
    TCanvasFixture src(4, 4), dst(8, 8);
    src.Clear(kWhite);
    // A checkerboard of single pixels.
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            if ((x + y) % 2) SetPixel(src.Dc, x, y, kBlack);
    StretchBlt(dst.Dc, 0, 0, 8, 8, src.Dc, 0, 0, 4, 4, SRCCOPY);
    EXPECT_EQ(dst.At(0, 0), kWhite);
    EXPECT_EQ(dst.At(1, 1), kWhite);
    EXPECT_EQ(dst.At(2, 0), kBlack);
    EXPECT_EQ(dst.At(3, 1), kBlack);
    // Mirrored horizontally by a negative width.
    SetPixel(src.Dc, 0, 0, RGB(255, 0, 0));
    StretchBlt(dst.Dc, 4, 0, -4, 4, src.Dc, 0, 0, 4, 4, SRCCOPY); // covers x = 0..3
    EXPECT_EQ(dst.At(3, 0), RGB(255, 0, 0));

    // Halving a checkerboard averages every 2x2 block to middle grey.
    SetPixel(src.Dc, 0, 0, kWhite);
    TCanvasFixture half(2, 2);
    SetStretchBltMode(half.Dc, HALFTONE);
    StretchBlt(half.Dc, 0, 0, 2, 2, src.Dc, 0, 0, 4, 4, SRCCOPY);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 2; ++x) {
            int v = GetRValue(half.At(x, y));
            EXPECT_GE(v, 126);
            EXPECT_LE(v, 129);
        }
    // A strong reduction: 100 pixels, a quarter of them black, into one.
    TCanvasFixture row(100, 1), one(1, 1);
    for (int x = 0; x < 100; x += 4)
        SetPixel(row.Dc, x, 0, kBlack);
    SetStretchBltMode(one.Dc, HALFTONE);
    StretchBlt(one.Dc, 0, 0, 1, 1, row.Dc, 0, 0, 100, 1, SRCCOPY);
    EXPECT_NEAR(GetRValue(one.At(0, 0)), 191, 1);
    SetStretchBltMode(half.Dc, COLORONCOLOR);
    StretchBlt(half.Dc, 0, 0, 2, 2, src.Dc, 0, 0, 4, 4, SRCCOPY);
    int v = GetRValue(half.At(0, 0));
    EXPECT_TRUE(v == 0 || v == 255);
}

// Without halftone every destination pixel takes the source pixel under its centre.
TEST(GdiBlit, NearestShrinkSamplesPixelCentres) {
    TCanvasFixture src(10, 10), dst(3, 3), mirrored(3, 3);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x)
            SetPixel(src.Dc, x, y, RGB(x * 20, y * 20, 0));
    SetStretchBltMode(dst.Dc, COLORONCOLOR);
    StretchBlt(dst.Dc, 0, 0, 3, 3, src.Dc, 0, 0, 10, 10, SRCCOPY);
    // Centres at 10/6, 30/6 and 50/6 source pixels.
    const int centre[3] = {1, 5, 8};
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 3; ++x)
            EXPECT_EQ(dst.At(x, y), RGB(centre[x] * 20, centre[y] * 20, 0)) << x << "," << y;
    // Halving: the second of each pair.
    TCanvasFixture half(5, 1);
    StretchBlt(half.Dc, 0, 0, 5, 1, src.Dc, 0, 0, 10, 2, SRCCOPY);
    for (int x = 0; x < 5; ++x) EXPECT_EQ(half.At(x, 0), RGB((2 * x + 1) * 20, 20, 0)) << x;
    // Mirrored, the centres mirror too.
    StretchBlt(mirrored.Dc, 3, 3, -3, -3, src.Dc, 0, 0, 10, 10, SRCCOPY);  // covers 0..2
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 3; ++x)
            EXPECT_EQ(mirrored.At(x, y), RGB(centre[2 - x] * 20, centre[2 - y] * 20, 0))
                << x << "," << y;
}

TEST(GdiBlit, StretchDIBitsReadsEveryDepthAndOrder) {
    TCanvasFixture c(4, 2);
    BITMAPINFO bi{};
    bi.bmiHeader.biWidth = 2;
    bi.bmiHeader.biHeight = 2; // bottom-up
    bi.bmiHeader.biBitCount = 24;
    // Rows padded to 8 bytes; the first row in memory is the bottom one.
    uint8_t rgb[16] = {0,   0, 255, 0,   255, 0,   0, 0,  // bottom: red, green
                       255, 0, 0,   255, 255, 255, 0, 0}; // top: blue, white
    EXPECT_EQ(StretchDIBits(c.Dc, 0, 0, 2, 2, 0, 0, 2, 2, rgb, &bi, DIB_RGB_COLORS, SRCCOPY), 2);
    EXPECT_EQ(c.At(0, 0), RGB(0, 0, 255));
    EXPECT_EQ(c.At(1, 0), kWhite);
    EXPECT_EQ(c.At(0, 1), RGB(255, 0, 0));
    EXPECT_EQ(c.At(1, 1), RGB(0, 255, 0));

    // 32-bit top-down keeps alpha.
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biHeight = -2;
    uint32_t px[4] = {0x11223344u, 0x55667788u, 0x99AABBCCu, 0x01020304u};
    StretchDIBits(c.Dc, 2, 0, 2, 2, 0, 0, 2, 2, px, &bi, DIB_RGB_COLORS, SRCCOPY);
    EXPECT_EQ(c.Raw(2, 0), 0x11223344u);
    EXPECT_EQ(c.Raw(3, 1), 0x01020304u);

    // 1-bit with a colour table; 8-bit through its table.
    bi.bmiHeader.biBitCount = 1;
    bi.bmiHeader.biHeight = -2;
    bi.bmiColors[0] = {0, 0, 255, 0};
    bi.bmiColors[1] = {255, 0, 0, 0};
    uint8_t bitsMono[8] = {0x40, 0, 0, 0, 0x80, 0, 0, 0};
    StretchDIBits(c.Dc, 0, 0, 2, 2, 0, 0, 2, 2, bitsMono, &bi, DIB_RGB_COLORS, SRCCOPY);
    EXPECT_EQ(c.At(0, 0), RGB(255, 0, 0));
    EXPECT_EQ(c.At(1, 0), RGB(0, 0, 255));
    EXPECT_EQ(c.At(0, 1), RGB(0, 0, 255));
    bi.bmiHeader.biBitCount = 8;
    uint8_t idx[8] = {1, 0, 0, 0, 0, 1, 0, 0};
    StretchDIBits(c.Dc, 0, 0, 2, 2, 0, 0, 2, 2, idx, &bi, DIB_RGB_COLORS, SRCCOPY);
    EXPECT_EQ(c.At(0, 0), RGB(0, 0, 255));
    EXPECT_EQ(c.At(1, 1), RGB(0, 0, 255));
    EXPECT_EQ(c.At(1, 0), RGB(255, 0, 0));

    // SetDIBitsToDevice: the bottom-up source rectangle counts from the last row.
    bi.bmiHeader.biBitCount = 24;
    bi.bmiHeader.biHeight = 2;
    c.Clear(kBlack);
    EXPECT_EQ(SetDIBitsToDevice(c.Dc, 0, 0, 2, 1, 0, 0, 0, 2, rgb, &bi, DIB_RGB_COLORS), 2);
    EXPECT_EQ(c.At(0, 0), RGB(255, 0, 0)); // the bottom row
    EXPECT_EQ(c.At(0, 1), kBlack);
}

TEST(GdiBlit, MonochromeSourcesTransparentAndAlphaBlend) {
    TCanvasFixture dst(8, 8);
    HDC mem = CreateCompatibleDC(dst.Dc);
    uint16_t rows[2] = {0x0080, 0x0000}; // pixel (0, 0) set
    HBITMAP mono = CreateBitmap(2, 2, 1, 1, rows);
    HGDIOBJ old = SelectObject(mem, mono);
    SetTextColor(dst.Dc, RGB(255, 0, 0));
    SetBkColor(dst.Dc, RGB(0, 255, 0));
    BitBlt(dst.Dc, 0, 0, 2, 2, mem, 0, 0, SRCCOPY);
    EXPECT_EQ(dst.At(0, 0), RGB(0, 255, 0)); // 1 bits in the background colour
    EXPECT_EQ(dst.At(1, 0), RGB(255, 0, 0)); // 0 bits in the text colour
    // Drawing into a monochrome bitmap reaches its bits.
    RECT r(0, 0, 2, 2);
    FillRect(mem, &r, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    TBitmapBits bits = GetBitmapBits(mono);
    EXPECT_EQ(bits.BitsPerPixel, 1);
    EXPECT_EQ(bits.Bits[0] & 0xC0, 0xC0);
    SelectObject(mem, old);
    DeleteObject(mono);

    TCanvasFixture src(2, 2);
    src.Clear(RGB(255, 0, 255));
    SetPixel(src.Dc, 1, 1, RGB(0, 0, 255));
    dst.Clear(kWhite);
    TransparentBlt(dst.Dc, 0, 0, 4, 4, src.Dc, 0, 0, 2, 2, RGB(255, 0, 255));
    EXPECT_EQ(dst.At(0, 0), kWhite);
    EXPECT_EQ(dst.At(3, 3), RGB(0, 0, 255));
    EXPECT_EQ(dst.CountNot(kWhite), 4);

    // Premultiplied half-transparent black over white gives grey; constant alpha scales.
    PutRaw(src, 0, 0, 0x80000000u);
    dst.Clear(kWhite);
    BLENDFUNCTION bf;
    bf.AlphaFormat = AC_SRC_ALPHA;
    AlphaBlend(dst.Dc, 0, 0, 1, 1, src.Dc, 0, 0, 1, 1, bf);
    EXPECT_NEAR(GetRValue(dst.At(0, 0)), 127, 1);
    bf.AlphaFormat = 0;
    bf.SourceConstantAlpha = 64;
    SetPixel(src.Dc, 1, 0, kBlack);
    AlphaBlend(dst.Dc, 1, 0, 1, 1, src.Dc, 1, 0, 1, 1, bf);
    EXPECT_NEAR(GetRValue(dst.At(1, 0)), 191, 1);
    DeleteDC(mem);
}

TEST(GdiBitmaps, DIBitsRoundTripAndSectionsAreAddressable) {
    BITMAPINFO bi{};
    bi.bmiHeader.biWidth = 3;
    bi.bmiHeader.biHeight = -2;
    bi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP dib = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    ASSERT_NE(bits, nullptr);
    static_cast<uint32_t*>(bits)[4] = 0xFF00FF00u; // row 1, column 1
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, dib);
    EXPECT_EQ(GetPixel(dc, 1, 1), RGB(0, 255, 0));
    SetPixel(dc, 2, 0, RGB(1, 2, 3));
    EXPECT_EQ(static_cast<uint32_t*>(bits)[2], 0xFF010203u);

    // Read back as a bottom-up 24-bit image, and write it into a 24-bit bitmap.
    BITMAPINFO out{};
    out.bmiHeader.biWidth = 3;
    out.bmiHeader.biHeight = 2;
    out.bmiHeader.biBitCount = 24;
    uint8_t rows[2 * 12] = {};
    EXPECT_EQ(GetDIBits(dc, dib, 0, 2, rows, &out, DIB_RGB_COLORS), 2);
    EXPECT_EQ(rows[3 + 1], 255);    // bottom row first: (1, 1) green
    EXPECT_EQ(rows[12 + 6 + 2], 1); // top row, (2, 0): red 1
    SelectObject(dc, old);

    BITMAPINFO b24{};
    b24.bmiHeader.biWidth = 3;
    b24.bmiHeader.biHeight = 2;
    b24.bmiHeader.biBitCount = 24;
    void* bits24 = nullptr;
    HBITMAP dib24 = CreateDIBSection(nullptr, &b24, DIB_RGB_COLORS, &bits24, nullptr, 0);
    EXPECT_EQ(SetDIBits(dc, dib24, 0, 2, rows, &out, DIB_RGB_COLORS), 2);
    TBitmapBits tb = GetBitmapBits(dib24);
    EXPECT_EQ(tb.BitsPerPixel, 24);
    EXPECT_EQ(tb.Stride, 12);
    EXPECT_EQ(tb.Bits[12 + 3 + 1], 255); // rows are top-down: (1, 1) green
    SelectObject(dc, dib24);
    EXPECT_EQ(GetPixel(dc, 2, 0), RGB(1, 2, 3));
    SetPixel(dc, 0, 0, RGB(10, 20, 30));
    tb = GetBitmapBits(dib24);
    EXPECT_EQ(tb.Bits[0], 30);
    EXPECT_EQ(tb.Bits[2], 10);
    BITMAP bm;
    EXPECT_EQ(GetObjectW(dib24, sizeof bm, &bm), int(sizeof bm));
    EXPECT_EQ(bm.bmBitsPixel, 24);
    EXPECT_EQ(bm.bmWidth, 3);
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(dib);
    DeleteObject(dib24);
}

TEST(GdiBitmaps, MonochromeAndPalettedDIBits) {
    // Colour to monochrome: the source's background colour becomes white, the rest black.
    TCanvasFixture src(8, 1);
    SetPixel(src.Dc, 2, 0, RGB(255, 0, 0));
    SetBkColor(src.Dc, kWhite);
    HDC mem = CreateCompatibleDC(nullptr);
    HBITMAP mono = CreateCompatibleBitmap(mem, 8, 1);
    HGDIOBJ old = SelectObject(mem, mono);
    BitBlt(mem, 0, 0, 8, 1, src.Dc, 0, 0, SRCCOPY);
    SelectObject(mem, old);
    TBitmapBits b = GetBitmapBits(mono);
    EXPECT_EQ(b.Bits[0], 0xDF); // only pixel 2 clear

    // Header query, then the bits as a 1-bit DIB with its black and white table.
    BITMAPINFO info{};
    info.bmiHeader.biBitCount = 0;
    EXPECT_GT(GetDIBits(mem, mono, 0, 1, nullptr, &info, DIB_RGB_COLORS), 0);
    EXPECT_EQ(info.bmiHeader.biWidth, 8);
    EXPECT_EQ(info.bmiHeader.biHeight, 1);
    EXPECT_EQ(info.bmiHeader.biBitCount, 1);
    EXPECT_EQ(info.bmiHeader.biSizeImage, 4u);
    uint8_t row[4] = {};
    EXPECT_EQ(GetDIBits(mem, mono, 0, 1, row, &info, DIB_RGB_COLORS), 1);
    EXPECT_EQ(row[0], 0xDF);
    EXPECT_EQ(info.bmiColors[1].rgbRed, 255);

    // An 8-bit section keeps its table; drawing maps colours to the nearest entry.
    BITMAPINFO pal{};
    pal.bmiHeader.biWidth = 4;
    pal.bmiHeader.biHeight = -1;
    pal.bmiHeader.biBitCount = 8;
    pal.bmiHeader.biClrUsed = 3;
    pal.bmiColors[0] = {0, 0, 0, 0};
    pal.bmiColors[1] = {0, 0, 255, 0};
    pal.bmiColors[2] = {255, 255, 255, 0};
    void* bits = nullptr;
    HBITMAP dib8 = CreateDIBSection(nullptr, &pal, DIB_RGB_COLORS, &bits, nullptr, 0);
    static_cast<uint8_t*>(bits)[1] = 1;
    SelectObject(mem, dib8);
    EXPECT_EQ(GetPixel(mem, 1, 0), RGB(255, 0, 0));
    EXPECT_EQ(GetPixel(mem, 0, 0), kBlack);
    SetPixel(mem, 3, 0, RGB(250, 250, 240));
    b = GetBitmapBits(dib8);
    EXPECT_EQ(b.Bits[3], 2);
    // A 16-bit (5-5-5) section round-trips drawing.
    pal.bmiHeader.biBitCount = 16;
    pal.bmiHeader.biClrUsed = 0;
    HBITMAP dib16 = CreateDIBSection(nullptr, &pal, DIB_RGB_COLORS, &bits, nullptr, 0);
    SelectObject(mem, dib16);
    SetPixel(mem, 2, 0, RGB(248, 0, 8));
    b = GetBitmapBits(dib16);
    EXPECT_EQ(b.Bits[4] | (b.Bits[5] << 8), (31 << 10) | 1);
    EXPECT_EQ(GetPixel(mem, 2, 0), RGB(255, 0, 8));
    SelectObject(mem, old);
    DeleteObject(dib16);
    DeleteObject(dib8);
    DeleteObject(mono);
    DeleteDC(mem);
}

TEST(GdiBlit, PatternRasterOpsUseTheBrushAndItsOrigin) {
    TCanvasFixture c(16, 16);
    // A colour pattern brush: the left half of each 8x8 tile red.
    HDC mem = CreateCompatibleDC(c.Dc);
    HBITMAP tile = CreateCompatibleBitmap(c.Dc, 8, 8);
    HGDIOBJ old = SelectObject(mem, tile);
    RECT all(0, 0, 8, 8), left(0, 0, 4, 8);
    FillRect(mem, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
    FillRect(mem, &left, red);
    SelectObject(mem, old);
    HBRUSH pattern = CreatePatternBrush(tile);
    SelectObject(c.Dc, pattern);
    PatBlt(c.Dc, 0, 0, 16, 16, PATCOPY);
    EXPECT_EQ(c.At(0, 0), RGB(255, 0, 0));
    EXPECT_EQ(c.At(4, 0), kWhite);
    EXPECT_EQ(c.At(9, 9), RGB(255, 0, 0));
    SetBrushOrgEx(c.Dc, 2, 0, nullptr);
    PatBlt(c.Dc, 0, 0, 16, 16, PATINVERT);   // red ^ shifted pattern
    EXPECT_EQ(c.At(0, 0), RGB(0, 255, 255)); // red over white
    EXPECT_EQ(c.At(2, 0), kBlack);           // red over red
    EXPECT_EQ(c.At(4, 0), RGB(0, 255, 255)); // white over red
    EXPECT_EQ(c.At(6, 0), kBlack);           // white over white
    SelectObject(c.Dc, GetStockObject(WHITE_BRUSH));
    DeleteObject(pattern);
    DeleteObject(red);
    DeleteObject(tile);
    DeleteDC(mem);
}

} // namespace
} // namespace epc
