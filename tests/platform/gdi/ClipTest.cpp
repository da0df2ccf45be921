// Regions, clipping, origins and saved states.

#include <gtest/gtest.h>

#include "tests/platform/gdi/GdiTestSupport.h"

namespace epc {
namespace {

using gditest::kBlack;
using gditest::kWhite;
using gditest::TCanvasFixture;

// Pixels outside `inside` that are not white.
int StrayPixels(const TCanvasFixture& c, const RECT& inside) {
    int n = 0;
    for (int y = 0; y < c.H; ++y)
        for (int x = 0; x < c.W; ++x)
            if (!inside.Contains(TPoint(x, y)) && c.At(x, y) != kWhite) ++n;
    return n;
}

TEST(GdiClip, IntersectClipRectLimitsAllDrawing) {
    TCanvasFixture c(40, 40);
    TCanvasFixture src(40, 40);
    src.Clear(RGB(0, 128, 0));
    EXPECT_EQ(IntersectClipRect(c.Dc, 10, 12, 20, 25), SIMPLEREGION);
    RECT clip(10, 12, 20, 25), all(0, 0, 40, 40), box;
    EXPECT_EQ(GetClipBox(c.Dc, &box), SIMPLEREGION);
    EXPECT_EQ(box, clip);

    HPEN wide = CreatePen(PS_SOLID, 5, kBlack);
    SelectObject(c.Dc, wide);
    SelectObject(c.Dc, GetStockObject(GRAY_BRUSH));
    FillRect(c.Dc, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    MoveToEx(c.Dc, 0, 0, nullptr);
    LineTo(c.Dc, 40, 40);
    Rectangle(c.Dc, 0, 0, 40, 40);
    Ellipse(c.Dc, 0, 0, 40, 40);
    POINT tri[] = {{0, 0}, {39, 5}, {5, 39}};
    Polygon(c.Dc, tri, 3);
    for (int i = 0; i < 40; ++i)
        SetPixel(c.Dc, i, i, RGB(255, 0, 0));
    PatBlt(c.Dc, 0, 0, 40, 40, DSTINVERT);
    BitBlt(c.Dc, 0, 0, 40, 40, src.Dc, 0, 0, SRCCOPY);
    StretchBlt(c.Dc, 0, 0, 40, 40, src.Dc, 0, 0, 10, 10, SRCCOPY);
    c.SelectFixedFont();
    TextOutW(c.Dc, 0, 10, u"clipped text", 12);
    RECT tr(0, 0, 40, 40);
    DrawTextW(c.Dc, u"abc def ghi", -1, &tr, DT_WORDBREAK | DT_NOCLIP);
    DrawFocusRect(c.Dc, &all);
    RECT edge(0, 0, 40, 40);
    DrawEdge(c.Dc, &edge, EDGE_RAISED, BF_RECT | BF_MIDDLE);
    EXPECT_EQ(StrayPixels(c, clip), 0);
    EXPECT_NE(c.At(10, 12), kWhite);
    EXPECT_EQ(GetPixel(c.Dc, 5, 5), CLR_INVALID); // outside the clip
    SelectObject(c.Dc, GetStockObject(BLACK_PEN));
    DeleteObject(wide);
}

TEST(GdiClip, ExcludeClipRectAndSelectClipRgn) {
    TCanvasFixture c(20, 20);
    ExcludeClipRect(c.Dc, 5, 5, 10, 10);
    RECT all(0, 0, 20, 20), box;
    FillRect(c.Dc, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    EXPECT_EQ(c.CountNot(kWhite), 400 - 25);
    EXPECT_EQ(c.At(7, 7), kWhite);
    EXPECT_EQ(GetClipBox(c.Dc, &box), COMPLEXREGION);
    EXPECT_EQ(box, all);
    EXPECT_FALSE(PtVisible(c.Dc, 7, 7));
    RECT hole(6, 6, 8, 8), part(8, 8, 12, 12);
    EXPECT_FALSE(RectVisible(c.Dc, &hole));
    EXPECT_TRUE(RectVisible(c.Dc, &part));

    HRGN rgn = CreateRectRgn(0, 0, 1, 1);
    EXPECT_EQ(GetClipRgn(c.Dc, rgn), 1);
    EXPECT_TRUE(PtInRegion(rgn, 4, 7));
    EXPECT_FALSE(PtInRegion(rgn, 7, 7));

    // Selecting a region replaces the clip; null removes it.
    SelectClipRgn(c.Dc, nullptr);
    c.Clear(kWhite);
    SetRectRgn(rgn, 2, 2, 4, 4);
    SelectClipRgn(c.Dc, rgn);
    FillRect(c.Dc, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    EXPECT_EQ(c.CountNot(kWhite), 4);
    SetRectRgn(rgn, 0, 0, 20, 20); // the context keeps its own copy
    FillRect(c.Dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    EXPECT_EQ(c.CountNot(kWhite), 0);
    SelectClipRgn(c.Dc, nullptr);
    EXPECT_EQ(GetClipRgn(c.Dc, rgn), 0);
    FillRect(c.Dc, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    EXPECT_EQ(c.CountNot(kBlack), 0);
    DeleteObject(rgn);
}

TEST(GdiClip, WindowOriginShiftsDrawingAndClipFollowsIt) {
    TCanvasFixture c(20, 20);
    SetWindowOrgEx(c.Dc, 10, 10, nullptr);
    RECT r(10, 10, 12, 12);
    FillRect(c.Dc, &r, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    EXPECT_EQ(c.At(0, 0), kBlack);
    EXPECT_EQ(c.At(1, 1), kBlack);
    EXPECT_EQ(c.CountNot(kWhite), 4);
    // A clip set under one origin stays on the same pixels when the origin moves.
    IntersectClipRect(c.Dc, 10, 10, 15, 15);
    OffsetWindowOrgEx(c.Dc, -5, -5, nullptr); // origin (5, 5)
    RECT box;
    GetClipBox(c.Dc, &box);
    EXPECT_EQ(box, RECT(5, 5, 10, 10));
    EXPECT_EQ(GetPixel(c.Dc, 5, 5), kBlack);
    SetViewportOrgEx(c.Dc, 3, 0, nullptr);
    POINT org;
    GetViewportOrgEx(c.Dc, &org);
    EXPECT_EQ(org, POINT(3, 0));
    EXPECT_EQ(GetPixel(c.Dc, 2, 5), kBlack); // device (0, 0)

    // Clip regions ignore the window origin and count from the viewport origin.
    SelectClipRgn(c.Dc, nullptr);
    c.Clear(kWhite);
    SetViewportOrgEx(c.Dc, 4, 4, nullptr);
    SetWindowOrgEx(c.Dc, 100, 100, nullptr);
    HRGN rgn = CreateRectRgn(1, 1, 3, 3);
    SelectClipRgn(c.Dc, rgn);
    RECT all(0, 0, 300, 300);
    FillRect(c.Dc, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    EXPECT_EQ(c.CountNot(kWhite), 4);
    EXPECT_EQ(c.At(5, 5), kBlack);
    EXPECT_EQ(c.At(6, 6), kBlack);
    SetRectRgn(rgn, 0, 0, 0, 0);
    EXPECT_EQ(GetClipRgn(c.Dc, rgn), 1);
    RECT rbox;
    GetRgnBox(rgn, &rbox);
    EXPECT_EQ(rbox, RECT(1, 1, 3, 3));
    DeleteObject(rgn);
}

TEST(GdiClip, RestoreDCBringsBackClipOriginObjectsAndModes) {
    TCanvasFixture c(20, 20);
    HPEN red = CreatePen(PS_SOLID, 1, RGB(255, 0, 0));
    int first = SaveDC(c.Dc);
    EXPECT_EQ(first, 1);
    SelectObject(c.Dc, red);
    SetWindowOrgEx(c.Dc, 3, 4, nullptr);
    IntersectClipRect(c.Dc, 3, 4, 5, 6);
    SetTextColor(c.Dc, RGB(1, 2, 3));
    SetROP2(c.Dc, R2_XORPEN);
    SetBkMode(c.Dc, TRANSPARENT);
    int second = SaveDC(c.Dc);
    EXPECT_EQ(second, 2);
    ExcludeClipRect(c.Dc, 3, 4, 4, 5);
    SetWindowOrgEx(c.Dc, 0, 0, nullptr);
    EXPECT_TRUE(RestoreDC(c.Dc, -1));
    POINT org;
    GetWindowOrgEx(c.Dc, &org);
    EXPECT_EQ(org, POINT(3, 4));
    RECT box;
    GetClipBox(c.Dc, &box);
    EXPECT_EQ(box, RECT(3, 4, 5, 6));
    EXPECT_TRUE(RestoreDC(c.Dc, first));
    GetWindowOrgEx(c.Dc, &org);
    EXPECT_EQ(org, POINT(0, 0));
    GetClipBox(c.Dc, &box);
    EXPECT_EQ(box, RECT(0, 0, 20, 20));
    EXPECT_EQ(GetTextColor(c.Dc), kBlack);
    EXPECT_EQ(GetROP2(c.Dc), R2_COPYPEN);
    EXPECT_EQ(GetBkMode(c.Dc), OPAQUE);
    EXPECT_EQ(GetCurrentObject(c.Dc, OBJ_PEN), GetStockObject(BLACK_PEN));
    EXPECT_FALSE(RestoreDC(c.Dc, 1)); // already consumed
    EXPECT_TRUE(DeleteObject(red));
}

TEST(GdiRegions, CombineModes) {
    HRGN a = CreateRectRgn(0, 0, 10, 10);
    HRGN b = CreateRectRgn(5, 5, 15, 15);
    HRGN r = CreateRectRgn(0, 0, 0, 0);
    RECT box;
    EXPECT_EQ(CombineRgn(r, a, b, RGN_AND), SIMPLEREGION);
    GetRgnBox(r, &box);
    EXPECT_EQ(box, RECT(5, 5, 10, 10));
    EXPECT_EQ(CombineRgn(r, a, b, RGN_OR), COMPLEXREGION);
    GetRgnBox(r, &box);
    EXPECT_EQ(box, RECT(0, 0, 15, 15));
    EXPECT_TRUE(PtInRegion(r, 12, 12));
    EXPECT_FALSE(PtInRegion(r, 12, 2));
    EXPECT_EQ(CombineRgn(r, a, b, RGN_XOR), COMPLEXREGION);
    EXPECT_FALSE(PtInRegion(r, 7, 7));
    EXPECT_TRUE(PtInRegion(r, 2, 2));
    EXPECT_TRUE(PtInRegion(r, 14, 14));
    EXPECT_EQ(CombineRgn(r, a, b, RGN_DIFF), COMPLEXREGION);
    EXPECT_FALSE(PtInRegion(r, 7, 7));
    EXPECT_FALSE(PtInRegion(r, 14, 14));
    RECT q(6, 6, 8, 8), q2(1, 1, 3, 3);
    EXPECT_FALSE(RectInRegion(r, &q));
    EXPECT_TRUE(RectInRegion(r, &q2));

    // Normalized: the same area built two ways compares equal.
    HRGN left = CreateRectRgn(0, 0, 5, 10), right = CreateRectRgn(5, 0, 10, 10);
    CombineRgn(r, left, right, RGN_OR);
    EXPECT_TRUE(EqualRgn(r, a));
    EXPECT_EQ(CombineRgn(r, a, a, RGN_DIFF), NULLREGION);
    EXPECT_EQ(CombineRgn(r, b, nullptr, RGN_COPY), SIMPLEREGION);
    OffsetRgn(r, -5, -5);
    EXPECT_TRUE(EqualRgn(r, a));
    for (HRGN h : {a, b, r, left, right})
        DeleteObject(h);

    TCanvasFixture c(16, 16);
    HRGN fill = CreateRectRgn(1, 1, 4, 4);
    FillRgn(c.Dc, fill, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    EXPECT_EQ(c.CountNot(kWhite), 9);
    DeleteObject(fill);
}

TEST(GdiDevice, CapsAndContexts) {
    HDC screen = GetDC(nullptr);
    EXPECT_EQ(GetDeviceCaps(screen, LOGPIXELSX), 96);
    EXPECT_EQ(GetDeviceCaps(screen, LOGPIXELSY), 96);
    EXPECT_EQ(GetDeviceCaps(screen, TECHNOLOGY), DT_RASDISPLAY);
    EXPECT_EQ(GetDeviceCaps(screen, BITSPIXEL), 32);
    HDC mem = CreateCompatibleDC(screen);
    EXPECT_EQ(GetDeviceCaps(mem, LOGPIXELSX), 96);
    // A fresh memory context holds a monochrome bitmap, so compatible bitmaps are monochrome.
    HBITMAP mono = CreateCompatibleBitmap(mem, 8, 8);
    EXPECT_EQ(GetBitmapBits(mono).BitsPerPixel, 1);
    HBITMAP color = CreateCompatibleBitmap(screen, 8, 8);
    EXPECT_EQ(GetBitmapBits(color).BitsPerPixel, 32);
    DeleteObject(mono);
    DeleteObject(color);
    DeleteDC(mem);
    ReleaseDC(nullptr, screen);

    HDC page = CreateBufferDC(850, 1100, 100, 100);
    SetDCPrinterInfo(page, 850, 1100, 25, 25);
    EXPECT_EQ(GetDeviceCaps(page, LOGPIXELSX), 100);
    EXPECT_EQ(GetDeviceCaps(page, HORZRES), 850);
    EXPECT_EQ(GetDeviceCaps(page, VERTRES), 1100);
    EXPECT_EQ(GetDeviceCaps(page, HORZSIZE), 216);
    EXPECT_EQ(GetDeviceCaps(page, TECHNOLOGY), DT_RASPRINTER);
    EXPECT_EQ(GetDeviceCaps(page, PHYSICALOFFSETX), 25);
    HDC info = CreateCompatibleDC(page);
    EXPECT_EQ(GetDeviceCaps(info, LOGPIXELSY), 100);
    DeleteDC(info);
    DeleteDC(page);

    // Bad sizes give no bitmap rather than a crash.
    BITMAPINFO huge{};
    huge.bmiHeader.biWidth = 1 << 30;
    huge.bmiHeader.biHeight = 1 << 30;
    void* bits = &huge;
    EXPECT_EQ(CreateDIBSection(nullptr, &huge, DIB_RGB_COLORS, &bits, nullptr, 0), nullptr);
    EXPECT_EQ(bits, nullptr);
    huge.bmiHeader.biBitCount = 7;
    huge.bmiHeader.biWidth = huge.bmiHeader.biHeight = 4;
    EXPECT_EQ(CreateDIBSection(nullptr, &huge, DIB_RGB_COLORS, nullptr, nullptr, 0), nullptr);
    EXPECT_EQ(CreateBitmap(-1, 5, 1, 32, nullptr), nullptr);

    // Palettes are inert.
    HDC dc = CreateBufferDC(2, 2, 96, 96);
    HPALETTE pal = CreateHalftonePalette(dc);
    EXPECT_NE(SelectPalette(dc, pal, 0), nullptr);
    EXPECT_EQ(RealizePalette(dc), 0u);
    DeleteObject(pal);
    DeleteDC(dc);
}

HDC gWindowDC = nullptr;
int gReleased = 0;

TEST(GdiDevice, WindowContextsComeFromTheHooks) {
    gWindowDC = CreateBufferDC(10, 10, 96, 96);
    SetWindowDCHooks([](void*) { return gWindowDC; }, [](void*, HDC) { return ++gReleased; });
    int window = 0;
    HDC dc = GetDC(&window);
    EXPECT_EQ(dc, gWindowDC);
    EXPECT_EQ(ReleaseDC(&window, dc), 1);
    HDC screen = GetDC(nullptr);
    EXPECT_NE(screen, gWindowDC);
    EXPECT_EQ(ReleaseDC(nullptr, screen), 1);
    EXPECT_EQ(gReleased, 1);
    SetWindowDCHooks(nullptr, nullptr);
    DeleteDC(gWindowDC);
}

} // namespace
} // namespace epc
