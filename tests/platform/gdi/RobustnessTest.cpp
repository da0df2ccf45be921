// Random drawing with random origins, clips, pens and sizes: every call must stay inside the
// surfaces (the sanitizers watch) and leave pixels outside the clip alone.

#include <gtest/gtest.h>

#include <random>

#include "tests/platform/gdi/GdiTestSupport.h"

namespace epc {
namespace {

using gditest::kWhite;
using gditest::TCanvasFixture;

TEST(GdiRobustness, RandomCallsRespectSurfaceAndClip) {
    std::mt19937 rng(20261206);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    TCanvasFixture c(23, 17), src(9, 7);
    src.Noise();
    HDC mono = CreateCompatibleDC(nullptr);
    HBITMAP monoBits = CreateCompatibleBitmap(mono, 5, 5);
    HGDIOBJ oldMono = SelectObject(mono, monoBits);
    c.SelectFixedFont(-9);
    int drawn = 0;
    for (int round = 0; round < 3000; ++round) {
        SaveDC(c.Dc);
        c.Clear(kWhite);
        int wx = pick(-8, 8), wy = pick(-8, 8), vx = pick(-5, 5), vy = pick(-5, 5);
        SetWindowOrgEx(c.Dc, wx, wy, nullptr);
        SetViewportOrgEx(c.Dc, vx, vy, nullptr);
        // A clip that mostly meets the surface, given in logical units.
        RECT clip(pick(-3, 18) - (vx - wx), pick(-3, 12) - (vy - wy), 0, 0);
        clip.Right = clip.Left + pick(3, 25);
        clip.Bottom = clip.Top + pick(3, 25);
        IntersectClipRect(c.Dc, clip.Left, clip.Top, clip.Right, clip.Bottom);
        if (pick(0, 2) == 0)
            ExcludeClipRect(c.Dc, pick(-40, 40), pick(-40, 40), pick(-40, 40), pick(-40, 40));
        RECT box;
        GetClipBox(c.Dc, &box);
        POINT wo, vo;
        GetWindowOrgEx(c.Dc, &wo);
        GetViewportOrgEx(c.Dc, &vo);
        TRect devClip = box; // in device units
        OffsetRect(devClip, vo.X - wo.X, vo.Y - wo.Y);
        HPEN pen = CreatePen(pick(0, 6), pick(0, 6), RGB(pick(0, 255), 0, 0));
        HBRUSH brush = pick(0, 1) ? CreateHatchBrush(pick(0, 5), RGB(0, 0, 255))
                                  : CreateSolidBrush(RGB(0, pick(0, 255), 0));
        SelectObject(c.Dc, pen);
        SelectObject(c.Dc, brush);
        SetROP2(c.Dc, pick(1, 16));
        SetBkMode(c.Dc, pick(1, 2));
        SetPolyFillMode(c.Dc, pick(1, 2));
        SetStretchBltMode(c.Dc, pick(3, 4));
        SetBrushOrgEx(c.Dc, pick(-9, 9), pick(-9, 9), nullptr);
        auto p = [&] { return pick(-20, 30) - (vx - wx); };
        RECT r(p(), p(), p(), p());
        POINT pts[6];
        for (POINT& q : pts)
            q = POINT(p(), p());
        switch (round % 12) {
        case 0:
            MoveToEx(c.Dc, p(), p(), nullptr);
            LineTo(c.Dc, p(), p());
            break;
        case 1:
            Rectangle(c.Dc, r.Left, r.Top, r.Right, r.Bottom);
            break;
        case 2:
            Ellipse(c.Dc, r.Left, r.Top, r.Right, r.Bottom);
            break;
        case 3:
            RoundRect(c.Dc, r.Left, r.Top, r.Right, r.Bottom, p(), p());
            break;
        case 4:
            Polygon(c.Dc, pts, pick(2, 6));
            break;
        case 5:
            Polyline(c.Dc, pts, pick(2, 6));
            break;
        case 6:
            FillRect(c.Dc, &r, brush);
            FrameRect(c.Dc, &r, brush);
            InvertRect(c.Dc, &r);
            break;
        case 7:
            DrawFocusRect(c.Dc, &r);
            PatBlt(c.Dc, r.Left, r.Top, p(), p(), PATINVERT);
            break;
        case 8:
            StretchBlt(c.Dc, p(), p(), p(), p(), src.Dc, pick(-5, 12), pick(-5, 12), p(), p(),
                       SRCCOPY);
            BitBlt(c.Dc, p(), p(), p(), p(), c.Dc, p(), p(), SRCINVERT);
            BitBlt(c.Dc, p(), p(), p(), p(), mono, pick(-3, 6), pick(-3, 6), SRCAND);
            break;
        case 9: {
            BLENDFUNCTION bf;
            bf.AlphaFormat = AC_SRC_ALPHA;
            AlphaBlend(c.Dc, p(), p(), pick(0, 30), pick(0, 30), src.Dc, pick(-3, 9), pick(-3, 9),
                       pick(0, 12), pick(0, 12), bf);
            TransparentBlt(c.Dc, p(), p(), p(), p(), src.Dc, pick(-3, 9), pick(-3, 9), p(), p(),
                           RGB(255, 255, 255));
            break;
        }
        case 10: {
            int dx[5] = {pick(-5, 9), pick(-5, 9), pick(-5, 9), pick(-5, 9), pick(-5, 9)};
            SetTextAlign(c.Dc, UINT(pick(0, 1) | (pick(0, 3) * 2) | (pick(0, 3) * 8)));
            ExtTextOutW(c.Dc, p(), p(), UINT(pick(0, 7)), &r, u"a\U0001F600bc", 5,
                        pick(0, 1) ? dx : nullptr);
            SetTextAlign(c.Dc, 0);
            break;
        }
        default:
            DrawTextW(c.Dc, u"a &b\r\ncc  dd\teee &&", -1, &r,
                      (UINT(pick(0, 0x3FFFF)) & ~UINT(DT_CALCRECT)) |
                          (pick(0, 1) ? UINT(DT_CALCRECT) : 0u));
            RECT e = r;
            DrawEdge(c.Dc, &e, UINT(pick(0, 15)), UINT(pick(0, 0xFFFF)));
            e = r;
            DrawFrameControl(c.Dc, &e, UINT(pick(1, 4)), UINT(pick(0, 0xFFFF)));
            break;
        }
        RestoreDC(c.Dc, -1);
        // Nothing outside the clip box changed.
        for (int y = 0; y < c.H; ++y)
            for (int x = 0; x < c.W; ++x)
                if (!devClip.Contains(TPoint(x, y)) && c.At(x, y) != kWhite)
                    ADD_FAILURE() << "round " << round << " pixel " << x << "," << y;
        DeleteObject(pen);
        DeleteObject(brush);
        drawn += c.CountNot(kWhite) > 0;
        if (HasFailure()) break;
    }
    EXPECT_GT(drawn, 300); // a good share of the rounds reach the surface
    SelectObject(mono, oldMono);
    DeleteObject(monoBits);
    DeleteDC(mono);
}

TEST(GdiPalette, EntriesAreReadWithinTheirCountAndOnlyTheScreenTurnsPaletteBased) {
    LOGPALETTE lp;
    EXPECT_EQ(CreatePalette(&lp), nullptr); // no entries
    lp.palPalEntry = {{1, 2, 3, 0}, {4, 5, 6, 0}, {7, 8, 9, 0}};
    HPALETTE palette = CreatePalette(&lp);
    ASSERT_NE(palette, nullptr);
    EXPECT_EQ(GetPaletteEntries(palette, 0, 0, nullptr), 3u);
    PALETTEENTRY out[4]{};
    EXPECT_EQ(GetPaletteEntries(palette, 1, 4, out), 2u);
    EXPECT_EQ(out[0].peRed, 4);
    EXPECT_EQ(out[1].peBlue, 9);
    EXPECT_EQ(out[2].peRed, 0); // untouched past the last entry
    EXPECT_EQ(GetPaletteEntries(palette, 3, 1, out), 0u);
    DeleteObject(palette);

    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    EXPECT_EQ(GetDeviceCaps(screen, RASTERCAPS) & RC_PALETTE, 0);
    SetScreenPaletteBased(true);
    EXPECT_EQ(GetDeviceCaps(screen, RASTERCAPS) & RC_PALETTE, RC_PALETTE);
    EXPECT_EQ(GetDeviceCaps(screen, SIZEPALETTE), 256);
    EXPECT_EQ(GetDeviceCaps(memory, RASTERCAPS) & RC_PALETTE, 0);
    SetScreenPaletteBased(false);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
}

} // namespace
} // namespace epc
