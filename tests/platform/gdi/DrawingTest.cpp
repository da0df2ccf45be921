// Pens, brushes and figures on a buffer context.

#include <gtest/gtest.h>

#include "tests/platform/gdi/GdiTestSupport.h"

namespace epc {
namespace {

using gditest::kBlack;
using gditest::kWhite;
using gditest::TCanvasFixture;

TEST(GdiLines, LineToNeverDrawsTheLastPixel) {
    TCanvasFixture c;
    MoveToEx(c.Dc, 0, 0, nullptr);
    LineTo(c.Dc, 4, 0);
    for (int x = 0; x < 4; ++x)
        EXPECT_EQ(c.At(x, 0), kBlack) << x;
    EXPECT_EQ(c.At(4, 0), kWhite);
    EXPECT_EQ(c.CountNot(kWhite), 4);
    POINT p;
    GetCurrentPositionEx(c.Dc, &p);
    EXPECT_EQ(p, POINT(4, 0));

    // Vertical, diagonal and reversed lines follow the same rule.
    c.Clear(kWhite);
    MoveToEx(c.Dc, 5, 10, nullptr);
    LineTo(c.Dc, 5, 5);
    EXPECT_EQ(c.At(5, 10), kBlack);
    EXPECT_EQ(c.At(5, 6), kBlack);
    EXPECT_EQ(c.At(5, 5), kWhite);
    LineTo(c.Dc, 8, 8);
    EXPECT_EQ(c.At(6, 6), kBlack);
    EXPECT_EQ(c.At(7, 7), kBlack);
    EXPECT_EQ(c.At(8, 8), kWhite);
    EXPECT_EQ(c.CountNot(kWhite), 5 + 3);
}

TEST(GdiLines, WidePensAreCentredAndStylesLeaveGaps) {
    TCanvasFixture c;
    HPEN wide = CreatePen(PS_SOLID, 3, RGB(255, 0, 0));
    HGDIOBJ old = SelectObject(c.Dc, wide);
    MoveToEx(c.Dc, 5, 10, nullptr);
    LineTo(c.Dc, 20, 10);
    for (int y = 9; y <= 11; ++y)
        EXPECT_EQ(c.At(12, y), RGB(255, 0, 0)) << y;
    EXPECT_EQ(c.At(12, 8), kWhite);
    EXPECT_EQ(c.At(12, 12), kWhite);
    SelectObject(c.Dc, old);
    DeleteObject(wide);

    for (int style : {PS_DOT, PS_DASH, PS_DASHDOT, PS_DASHDOTDOT}) {
        c.Clear(kWhite);
        HPEN pen = CreatePen(style, 1, kBlack);
        SelectObject(c.Dc, pen);
        MoveToEx(c.Dc, 0, 3, nullptr);
        LineTo(c.Dc, 30, 3);
        int on = c.CountNot(kWhite);
        EXPECT_GT(on, 5) << style;
        EXPECT_LT(on, 30) << style;
        EXPECT_EQ(c.At(0, 3), kBlack) << style; // every pattern starts with a dash or dot
        SelectObject(c.Dc, old);
        DeleteObject(pen);
    }
    // The clear pen draws nothing but still moves.
    c.Clear(kWhite);
    SelectObject(c.Dc, GetStockObject(NULL_PEN));
    MoveToEx(c.Dc, 0, 0, nullptr);
    LineTo(c.Dc, 10, 10);
    EXPECT_EQ(c.CountNot(kWhite), 0);
}

TEST(GdiLines, BinaryRasterModes) {
    TCanvasFixture c;
    c.Clear(RGB(0x10, 0x20, 0x30));
    HPEN pen = CreatePen(PS_SOLID, 1, RGB(0xF0, 0x0F, 0x55));
    HGDIOBJ old = SelectObject(c.Dc, pen);
    auto lineAt = [&](int y, int mode) {
        SetROP2(c.Dc, mode);
        MoveToEx(c.Dc, 0, y, nullptr);
        LineTo(c.Dc, 4, y);
        return c.At(1, y);
    };
    EXPECT_EQ(lineAt(0, R2_COPYPEN), RGB(0xF0, 0x0F, 0x55));
    EXPECT_EQ(lineAt(1, R2_NOT), RGB(0xEF, 0xDF, 0xCF)); // colour ignored
    EXPECT_EQ(lineAt(2, R2_XORPEN), RGB(0xE0, 0x2F, 0x65));
    EXPECT_EQ(lineAt(3, R2_NOTXORPEN), RGB(0x1F, 0xD0, 0x9A));
    EXPECT_EQ(lineAt(4, R2_MASKPEN), RGB(0x10, 0x00, 0x10));
    EXPECT_EQ(lineAt(5, R2_MERGEPEN), RGB(0xF0, 0x2F, 0x75));
    EXPECT_EQ(lineAt(6, R2_BLACK), kBlack);
    EXPECT_EQ(lineAt(7, R2_WHITE), kWhite);
    EXPECT_EQ(lineAt(8, R2_NOP), RGB(0x10, 0x20, 0x30));
    EXPECT_EQ(c.Raw(1, 0) >> 24, 0xFFu); // drawing writes opaque alpha
    SelectObject(c.Dc, old);
    DeleteObject(pen);
}

TEST(GdiFigures, ClearBrushRectangleIsTheOutlineAndFillRectKeepsOffTheEdges) {
    TCanvasFixture c;
    SelectObject(c.Dc, GetStockObject(NULL_BRUSH));
    Rectangle(c.Dc, 0, 0, 4, 4);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(c.At(i, 0), kBlack);
        EXPECT_EQ(c.At(i, 3), kBlack);
        EXPECT_EQ(c.At(0, i), kBlack);
        EXPECT_EQ(c.At(3, i), kBlack);
    }
    EXPECT_EQ(c.At(1, 1), kWhite);
    EXPECT_EQ(c.At(2, 2), kWhite);
    EXPECT_EQ(c.CountNot(kWhite), 12);

    c.Clear(kWhite);
    RECT r(2, 3, 6, 8);
    FillRect(c.Dc, &r, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    EXPECT_EQ(c.CountNot(kWhite), 4 * 5);
    EXPECT_EQ(c.At(5, 7), kBlack);
    EXPECT_EQ(c.At(6, 7), kWhite);
    EXPECT_EQ(c.At(5, 8), kWhite);
    // A system colour index + 1 stands for its brush; ROP2 does not affect FillRect.
    SetROP2(c.Dc, R2_NOT);
    FillRect(c.Dc, &r, reinterpret_cast<HBRUSH>(uintptr_t(COLOR_BTNFACE + 1)));
    EXPECT_EQ(c.At(2, 3), GetSysColor(COLOR_BTNFACE));

    // A filled rectangle with a pen: outline in the pen, inside in the brush.
    c.Clear(kWhite);
    SetROP2(c.Dc, R2_COPYPEN);
    SelectObject(c.Dc, GetStockObject(GRAY_BRUSH));
    Rectangle(c.Dc, 1, 1, 6, 6);
    EXPECT_EQ(c.At(1, 1), kBlack);
    EXPECT_EQ(c.At(3, 3), RGB(128, 128, 128));
    EXPECT_EQ(c.At(5, 5), kBlack);
    EXPECT_EQ(c.At(6, 6), kWhite);
    // Without a pen the figure loses its right column and bottom row.
    c.Clear(kWhite);
    SelectObject(c.Dc, GetStockObject(NULL_PEN));
    Rectangle(c.Dc, 1, 1, 6, 6);
    EXPECT_EQ(c.CountNot(kWhite), 16);
}

TEST(GdiFigures, FocusRectAndDottedInvertingRectangleRestoreEveryPixel) {
    TCanvasFixture c(40, 30);
    c.Noise();
    auto before = c.Snapshot();
    RECT r(3, 4, 30, 20);
    DrawFocusRect(c.Dc, &r);
    auto once = c.Snapshot();
    EXPECT_NE(once, before);
    // Every other frame pixel changes.
    EXPECT_NE(c.Raw(3, 4) != before[4 * 40 + 3], c.Raw(4, 4) != before[4 * 40 + 4]);
    EXPECT_EQ(c.Raw(10, 10), before[10 * 40 + 10]);
    DrawFocusRect(c.Dc, &r);
    EXPECT_EQ(c.Snapshot(), before);

    HPEN dot = CreatePen(PS_DOT, 1, RGB(12, 34, 56));
    HGDIOBJ oldPen = SelectObject(c.Dc, dot);
    HGDIOBJ oldBrush = SelectObject(c.Dc, GetStockObject(NULL_BRUSH));
    SetROP2(c.Dc, R2_NOT);
    for (RECT q : {RECT(2, 2, 25, 18), RECT(5, 5, 6, 20), RECT(0, 0, 40, 30)}) {
        Rectangle(c.Dc, q.Left, q.Top, q.Right, q.Bottom);
        EXPECT_NE(c.Snapshot(), before);
        Rectangle(c.Dc, q.Left, q.Top, q.Right, q.Bottom);
        EXPECT_EQ(c.Snapshot(), before) << q.Left << "," << q.Top;
    }
    SelectObject(c.Dc, oldPen);
    SelectObject(c.Dc, oldBrush);
    DeleteObject(dot);
}

TEST(GdiFigures, EllipsePolygonAndRoundRect) {
    TCanvasFixture c;
    SelectObject(c.Dc, GetStockObject(BLACK_BRUSH));
    Ellipse(c.Dc, 0, 0, 4, 4);
    // A 4x4 dot: the corners stay clear.
    EXPECT_EQ(c.At(0, 0), kWhite);
    EXPECT_EQ(c.At(3, 3), kWhite);
    EXPECT_EQ(c.At(1, 0), kBlack);
    EXPECT_EQ(c.At(0, 1), kBlack);
    EXPECT_EQ(c.At(2, 2), kBlack);
    EXPECT_EQ(c.At(4, 1), kWhite);

    // A self-overlapping figure: a square traced twice is a hole under ALTERNATE, filled
    // under WINDING.
    SelectObject(c.Dc, GetStockObject(NULL_PEN));
    POINT twice[] = {{10, 10}, {20, 10}, {20, 20}, {10, 20},
                     {10, 10}, {20, 10}, {20, 20}, {10, 20}};
    POINT ring[] = {{0, 10}, {30, 10}, {30, 30}, {0, 30},  {0, 10},
                    {8, 12}, {8, 28},  {28, 28}, {28, 12}, {8, 12}};
    c.Clear(kWhite);
    SetPolyFillMode(c.Dc, ALTERNATE);
    Polygon(c.Dc, ring, 10);
    EXPECT_EQ(c.At(2, 20), kBlack);
    EXPECT_EQ(c.At(15, 20), kWhite);
    c.Clear(kWhite);
    SetPolyFillMode(c.Dc, WINDING);
    Polygon(c.Dc, twice, 8);
    EXPECT_EQ(c.At(15, 15), kBlack);
    // Pixel centres decide: the square covers x and y 10..19.
    EXPECT_EQ(c.CountNot(kWhite), 100);

    c.Clear(kWhite);
    SelectObject(c.Dc, GetStockObject(BLACK_PEN));
    SelectObject(c.Dc, GetStockObject(WHITE_BRUSH));
    RoundRect(c.Dc, 2, 2, 22, 14, 8, 8);
    EXPECT_EQ(c.At(2, 2), kWhite);  // rounded corner
    EXPECT_EQ(c.At(12, 2), kBlack); // top edge
    EXPECT_EQ(c.At(2, 8), kBlack);  // left edge
    EXPECT_EQ(c.At(21, 8), kBlack); // right edge
    EXPECT_EQ(c.At(12, 8), kWhite); // inside
    EXPECT_EQ(c.At(22, 8), kWhite);
}

TEST(GdiBrushes, PatternBrushFollowsTheBrushOrigin) {
    TCanvasFixture c(16, 16);
    // Monochrome 8x8: one 0 bit at (0, 0), drawn in the text colour; 1 bits in the bk colour.
    // Little-endian rows: the first byte of row 0 is 0x7F, its top bit clear.
    uint16_t rows[8] = {0xFF7F, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF};
    HBITMAP bmp = CreateBitmap(8, 8, 1, 1, rows);
    HBRUSH brush = CreatePatternBrush(bmp);
    DeleteObject(bmp); // the brush keeps its own copy
    SetTextColor(c.Dc, RGB(255, 0, 0));
    SetBkColor(c.Dc, RGB(0, 0, 255));
    RECT r(0, 0, 16, 16);
    FillRect(c.Dc, &r, brush);
    EXPECT_EQ(c.At(0, 0), RGB(255, 0, 0));
    EXPECT_EQ(c.At(8, 8), RGB(255, 0, 0));
    EXPECT_EQ(c.At(1, 0), RGB(0, 0, 255));
    SetBrushOrgEx(c.Dc, 3, 2, nullptr);
    FillRect(c.Dc, &r, brush);
    EXPECT_EQ(c.At(0, 0), RGB(0, 0, 255));
    EXPECT_EQ(c.At(3, 2), RGB(255, 0, 0));
    EXPECT_EQ(c.At(11, 10), RGB(255, 0, 0));
    EXPECT_EQ(c.CountNot(RGB(0, 0, 255)), 4);
    DeleteObject(brush);

    // Hatches draw their background only in opaque mode.
    HBRUSH hatch = CreateHatchBrush(HS_CROSS, kBlack);
    c.Clear(kWhite);
    SetBkMode(c.Dc, TRANSPARENT);
    FillRect(c.Dc, &r, hatch);
    int lines = c.CountNot(kWhite);
    EXPECT_GT(lines, 16);
    EXPECT_LT(lines, 128);
    SetBkMode(c.Dc, OPAQUE);
    FillRect(c.Dc, &r, hatch);
    EXPECT_EQ(c.CountNot(kWhite), 256);
    DeleteObject(hatch);
}

TEST(GdiFigures, FarCoordinatesDrawTheirVisiblePartQuickly) {
    TCanvasFixture c(16, 16);
    const int big = 1000000000;
    MoveToEx(c.Dc, -big, 5, nullptr);
    LineTo(c.Dc, big, 5);
    for (int x = 0; x < 16; ++x)
        EXPECT_EQ(c.At(x, 5), kBlack);
    HPEN dash = CreatePen(PS_DASH, 3, kBlack);
    HGDIOBJ old = SelectObject(c.Dc, dash);
    MoveToEx(c.Dc, 8, -big, nullptr);
    LineTo(c.Dc, 8, big);
    SelectObject(c.Dc, old);
    DeleteObject(dash);
    EXPECT_EQ(c.At(8, 0) == kBlack || c.At(8, 8) == kBlack, true);
    c.Clear(kWhite);
    SelectObject(c.Dc, GetStockObject(NULL_BRUSH));
    Ellipse(c.Dc, -big, -big, big, big);
    Rectangle(c.Dc, INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX);
    RoundRect(c.Dc, -big, 2, big, 12, 40, 40);
    RECT huge(INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX);
    FillRect(c.Dc, &huge, static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH)));
    EXPECT_EQ(c.CountNot(RGB(128, 128, 128)), 0);
    TCanvasFixture src(4, 4);
    StretchBlt(c.Dc, -big, -big, 2 * big, 2 * big, src.Dc, 0, 0, 4, 4, SRCCOPY);
    EXPECT_EQ(c.CountNot(kWhite), 0);
    SetStretchBltMode(c.Dc, HALFTONE);
    c.Clear(kBlack);
    StretchBlt(c.Dc, -big, -big, 2 * big, 2 * big, src.Dc, 0, 0, 4, 4, SRCCOPY);
    EXPECT_EQ(c.CountNot(kWhite), 0);
}

TEST(GdiObjects, SelectionStockAndDeletion) {
    TCanvasFixture c;
    HPEN pen = CreatePen(PS_DASH, 2, RGB(1, 2, 3));
    HGDIOBJ old = SelectObject(c.Dc, pen);
    EXPECT_EQ(old, GetStockObject(BLACK_PEN));
    EXPECT_EQ(GetCurrentObject(c.Dc, OBJ_PEN), pen);
    LOGPEN lp;
    EXPECT_EQ(GetObjectW(pen, sizeof lp, &lp), int(sizeof lp));
    EXPECT_EQ(lp.lopnStyle, UINT(PS_DASH));
    EXPECT_EQ(lp.lopnWidth.X, 2);
    EXPECT_EQ(lp.lopnColor, RGB(1, 2, 3));
    EXPECT_EQ(GetObjectType(pen), UINT(OBJ_PEN));
    // Deleting a selected pen waits for its deselection (the sanitizers see the rest).
    EXPECT_TRUE(DeleteObject(pen));
    MoveToEx(c.Dc, 0, 0, nullptr);
    LineTo(c.Dc, 3, 0);
    EXPECT_EQ(c.At(1, 0), RGB(1, 2, 3));
    SelectObject(c.Dc, old);
    EXPECT_TRUE(DeleteObject(GetStockObject(WHITE_BRUSH))); // stock objects stay
    EXPECT_EQ(GetObjectType(GetStockObject(WHITE_BRUSH)), UINT(OBJ_BRUSH));

    // A bitmap lives in one memory context at a time.
    HDC a = CreateCompatibleDC(nullptr);
    HDC b = CreateCompatibleDC(nullptr);
    HBITMAP bmp = CreateCompatibleBitmap(c.Dc, 4, 4);
    EXPECT_NE(SelectObject(a, bmp), nullptr);
    EXPECT_EQ(SelectObject(b, bmp), nullptr);
    DeleteObject(bmp);
    DeleteDC(a); // deselects and so deletes the bitmap
    DeleteDC(b);
}

TEST(GdiPixels, SetAndGetPixel) {
    TCanvasFixture c(8, 8);
    EXPECT_EQ(SetPixel(c.Dc, 2, 3, RGB(9, 8, 7)), RGB(9, 8, 7));
    EXPECT_EQ(GetPixel(c.Dc, 2, 3), RGB(9, 8, 7));
    EXPECT_EQ(c.Raw(2, 3), 0xFF090807u);
    EXPECT_EQ(GetPixel(c.Dc, 8, 0), CLR_INVALID);
    EXPECT_EQ(GetPixel(c.Dc, -1, 0), CLR_INVALID);
    SetPixel(c.Dc, 1, 1, clBtnFace); // system colours resolve
    EXPECT_EQ(GetPixel(c.Dc, 1, 1), GetSysColor(COLOR_BTNFACE));
    RECT r(0, 0, 2, 2);
    InvertRect(c.Dc, &r);
    EXPECT_EQ(GetPixel(c.Dc, 0, 0), kBlack);
    EXPECT_EQ(GetPixel(c.Dc, 1, 1), RGB(255 - 212, 255 - 208, 255 - 200));
}

TEST(GdiEdges, BevelsAdjustAndFill) {
    TCanvasFixture c(20, 20);
    RECT r(2, 2, 12, 12);
    DrawEdge(c.Dc, &r, EDGE_RAISED, BF_RECT | BF_MIDDLE | BF_ADJUST);
    EXPECT_EQ(r, RECT(4, 4, 10, 10));
    EXPECT_EQ(c.At(2, 2), GetSysColor(COLOR_3DLIGHT));
    EXPECT_EQ(c.At(3, 3), GetSysColor(COLOR_BTNHIGHLIGHT));
    EXPECT_EQ(c.At(11, 11), GetSysColor(COLOR_3DDKSHADOW));
    EXPECT_EQ(c.At(10, 10), GetSysColor(COLOR_BTNSHADOW));
    EXPECT_EQ(c.At(11, 2), GetSysColor(COLOR_3DDKSHADOW)); // the far corners are dark
    EXPECT_EQ(c.At(6, 6), GetSysColor(COLOR_BTNFACE));
    EXPECT_EQ(c.At(12, 12), kWhite);

    c.Clear(kWhite);
    RECT s(2, 2, 12, 12);
    DrawEdge(c.Dc, &s, EDGE_SUNKEN, BF_TOP | BF_LEFT | BF_ADJUST);
    EXPECT_EQ(s, RECT(4, 4, 12, 12));
    EXPECT_EQ(c.At(5, 2), GetSysColor(COLOR_BTNSHADOW));
    EXPECT_EQ(c.At(5, 3), GetSysColor(COLOR_3DDKSHADOW));
    EXPECT_EQ(c.At(11, 11), kWhite);

    c.Clear(kWhite);
    RECT f(2, 2, 12, 12);
    DrawEdge(c.Dc, &f, EDGE_SUNKEN, BF_RECT | BF_FLAT);
    EXPECT_EQ(c.At(2, 2), GetSysColor(COLOR_BTNSHADOW));
    EXPECT_EQ(c.At(11, 11), GetSysColor(COLOR_BTNSHADOW));
    EXPECT_EQ(c.At(3, 3), GetSysColor(COLOR_BTNFACE));
}

TEST(GdiEdges, FrameControlsDrawClassicGlyphs) {
    TCanvasFixture c(20, 20);
    auto count = [&](COLORREF col) {
        int n = 0;
        for (int y = 0; y < 20; ++y)
            for (int x = 0; x < 20; ++x)
                n += c.At(x, y) == col;
        return n;
    };
    RECT r(0, 0, 13, 13);
    DrawFrameControl(c.Dc, &r, DFC_BUTTON, DFCS_BUTTONCHECK);
    EXPECT_EQ(c.At(0, 0), GetSysColor(COLOR_BTNSHADOW));
    EXPECT_EQ(c.At(6, 6), GetSysColor(COLOR_WINDOW));
    EXPECT_EQ(c.At(13, 13), kWhite); // 13x13 exactly
    EXPECT_EQ(c.At(12, 12), GetSysColor(COLOR_BTNHIGHLIGHT));
    int blank = count(GetSysColor(COLOR_WINDOWTEXT));
    DrawFrameControl(c.Dc, &r, DFC_BUTTON, DFCS_BUTTONCHECK | DFCS_CHECKED);
    int mark = count(GetSysColor(COLOR_WINDOWTEXT)) - blank;
    EXPECT_GT(mark, 10);
    EXPECT_LT(mark, 49);
    DrawFrameControl(c.Dc, &r, DFC_BUTTON, DFCS_BUTTONCHECK | DFCS_CHECKED | DFCS_INACTIVE);
    EXPECT_EQ(count(GetSysColor(COLOR_WINDOWTEXT)), blank);
    EXPECT_EQ(c.At(6, 6) == GetSysColor(COLOR_BTNFACE) ||
                  c.At(6, 6) == GetSysColor(COLOR_BTNSHADOW),
              true);
    DrawFrameControl(c.Dc, &r, DFC_BUTTON, DFCS_BUTTONCHECK | DFCS_FLAT);
    EXPECT_EQ(c.At(0, 0), GetSysColor(COLOR_BTNSHADOW));
    EXPECT_EQ(c.At(1, 1), GetSysColor(COLOR_WINDOW));

    c.Clear(kWhite);
    RECT radio(0, 0, 12, 12);
    DrawFrameControl(c.Dc, &radio, DFC_BUTTON, DFCS_BUTTONRADIO);
    EXPECT_EQ(c.At(0, 0), kWhite); // round
    EXPECT_EQ(c.At(6, 6), GetSysColor(COLOR_WINDOW));
    DrawFrameControl(c.Dc, &radio, DFC_BUTTON, DFCS_BUTTONRADIO | DFCS_CHECKED);
    EXPECT_EQ(c.At(6, 6), GetSysColor(COLOR_WINDOWTEXT));

    c.Clear(kWhite);
    RECT arrow(0, 0, 16, 16);
    DrawFrameControl(c.Dc, &arrow, DFC_SCROLL, DFCS_SCROLLDOWN);
    EXPECT_GT(count(GetSysColor(COLOR_BTNTEXT)), 8);
    EXPECT_EQ(c.At(0, 0), GetSysColor(COLOR_3DLIGHT));
    RECT push(0, 0, 16, 16);
    DrawFrameControl(c.Dc, &push, DFC_BUTTON, DFCS_BUTTONPUSH | DFCS_ADJUSTRECT);
    EXPECT_EQ(push, RECT(2, 2, 14, 14));
}

} // namespace
} // namespace epc
