// Measuring and drawing text on contexts. The built-in fixed-metric face at -20 pixels has
// ascent 16, descent 4, advance 10, glyph boxes 8 wide and 15 high from the baseline up.

#include <gtest/gtest.h>

#include <string>

#include "platform/core/Strings.h"
#include "tests/platform/gdi/GdiTestSupport.h"

namespace epc {
namespace {

using gditest::kBlack;
using gditest::kWhite;
using gditest::TCanvasFixture;

void ExpectExtentsAgree(HDC dc, const std::u16string& s) {
    int n = int(s.size());
    std::vector<int> partial(size_t(n) + 1, -1);
    SIZE whole, ex;
    int fit = -1;
    ASSERT_TRUE(GetTextExtentPoint32W(dc, s.data(), n, &whole));
    ASSERT_TRUE(GetTextExtentExPointW(dc, s.data(), n, 0, &fit, partial.data(), &ex));
    EXPECT_EQ(ex, whole);
    if (n > 0) {
        EXPECT_EQ(partial[size_t(n) - 1], whole.cx);
    }
    for (int k = 0; k < n; ++k) {
        // A prefix ending inside a surrogate pair is not a string of its own.
        if (k + 1 < n && IsHighSurrogate(s[size_t(k)])) continue;
        SIZE prefix;
        GetTextExtentPoint32W(dc, s.data(), k + 1, &prefix);
        EXPECT_EQ(prefix.cx, partial[size_t(k)]) << k;
    }
    EXPECT_EQ(partial[size_t(n)], -1); // nothing written past the count
}

TEST(GdiTextMeasure, PartialExtentsAgreeWithWholeWidthsInEveryFont) {
    TCanvasFixture c;
    const std::u16string samples[] = {u"",
                                      u"W",
                                      u"Hello, world",
                                      u"iiiWWW  mmm",
                                      u"Caf\u00e9 \u00fcber \u4e2d\u6587",
                                      u"a\U0001F600b\U0001D11E",
                                      u"tab\there"};
    for (const char16_t* face :
         {u"Fixed Metrics Test", u"Arial", u"Times New Roman", u"Courier New", u"MS Sans Serif"}) {
        for (int bold : {FW_NORMAL, FW_BOLD}) {
            LOGFONTW lf;
            lf.lfHeight = -15;
            lf.lfWeight = bold;
            std::u16string name = face;
            std::copy(name.begin(), name.end(), lf.lfFaceName);
            HFONT f = CreateFontIndirectW(lf);
            HGDIOBJ old = SelectObject(c.Dc, f);
            for (int extra : {0, 3}) {
                SetTextCharacterExtra(c.Dc, extra);
                for (const auto& s : samples)
                    ExpectExtentsAgree(c.Dc, s);
            }
            // Character extra adds once per character.
            SIZE a, b;
            SetTextCharacterExtra(c.Dc, 0);
            GetTextExtentPoint32W(c.Dc, u"Hello", 5, &a);
            SetTextCharacterExtra(c.Dc, 3);
            GetTextExtentPoint32W(c.Dc, u"Hello", 5, &b);
            EXPECT_EQ(b.cx, a.cx + 15);
            EXPECT_EQ(b.cy, a.cy);
            SetTextCharacterExtra(c.Dc, 0);
            SelectObject(c.Dc, old);
            DeleteObject(f);
        }
    }
}

TEST(GdiTextMeasure, FixedFontGeometryFitAndMetrics) {
    TCanvasFixture c;
    c.SelectFixedFont();
    SIZE s;
    GetTextExtentPoint32W(c.Dc, u"abc", 3, &s);
    EXPECT_EQ(s, SIZE(30, 20));
    int fit = 0, partial[4];
    GetTextExtentExPointW(c.Dc, u"abcd", 4, 25, &fit, partial, &s);
    EXPECT_EQ(fit, 2);
    EXPECT_EQ(partial[0], 10);
    EXPECT_EQ(partial[3], 40); // all partial extents whatever the maximum
    GetTextExtentExPointW(c.Dc, u"abcd", 4, 40, &fit, nullptr, nullptr);
    EXPECT_EQ(fit, 4);
    // A surrogate pair is one character of one advance.
    GetTextExtentPoint32W(c.Dc, u"\U0001F600", 2, &s);
    EXPECT_EQ(s.cx, 10);

    TEXTMETRICW tm;
    ASSERT_TRUE(GetTextMetricsW(c.Dc, &tm));
    EXPECT_EQ(tm.tmHeight, 20);
    EXPECT_EQ(tm.tmAscent, 16);
    EXPECT_EQ(tm.tmDescent, 4);
    EXPECT_EQ(tm.tmAveCharWidth, 10);
    char16_t face[LF_FACESIZE];
    EXPECT_GT(GetTextFaceW(c.Dc, LF_FACESIZE, face), 0);
    EXPECT_EQ(std::u16string(face), kBuiltInFixedFontName);

    // ANSI forms go through the font's code page.
    GetTextExtentPoint32A(c.Dc, "caf\xe9", 4, &s);
    EXPECT_EQ(s.cx, 40);
    int pa[2];
    GetTextExtentExPointA(c.Dc, "\xe9\xe9", 2, -1, nullptr, pa, nullptr);
    EXPECT_EQ(pa[1], 20);

    // The default font of a context is a sans face of about 8 points.
    c.ReleaseFonts();
    GetTextMetricsW(c.Dc, &tm);
    EXPECT_GE(tm.tmHeight, 11);
    EXPECT_LE(tm.tmHeight, 16);
}

TEST(GdiTextDraw, TextOutPlacesGlyphsAndFillsTheBackground) {
    TCanvasFixture c(60, 30);
    c.SelectFixedFont();
    SetBkColor(c.Dc, RGB(0, 0, 255));
    TextOutW(c.Dc, 0, 0, u"ab", 2);
    // Cell 0..19 x 0..19 in blue, glyph boxes x 1..8 and 11..18, rows 1..15.
    EXPECT_EQ(c.At(0, 0), RGB(0, 0, 255));
    EXPECT_EQ(c.At(1, 1), kBlack);
    EXPECT_EQ(c.At(8, 15), kBlack);
    EXPECT_EQ(c.At(9, 5), RGB(0, 0, 255));
    EXPECT_EQ(c.At(11, 5), kBlack);
    EXPECT_EQ(c.At(5, 16), RGB(0, 0, 255));
    EXPECT_EQ(c.At(19, 19), RGB(0, 0, 255));
    EXPECT_EQ(c.At(20, 5), kWhite);
    EXPECT_EQ(c.At(5, 20), kWhite);

    // Transparent mode leaves the background; alignment moves the reference point.
    c.Clear(kWhite);
    SetBkMode(c.Dc, TRANSPARENT);
    SetTextAlign(c.Dc, TA_RIGHT | TA_BASELINE);
    TextOutW(c.Dc, 40, 20, u"a", 1);
    EXPECT_EQ(c.At(31, 5), kBlack); // box x 31..38, rows 5..19
    EXPECT_EQ(c.At(38, 19), kBlack);
    EXPECT_EQ(c.At(30, 10), kWhite);
    EXPECT_EQ(c.At(35, 20), kWhite);
    EXPECT_EQ(c.CountNot(kWhite), 8 * 15);

    // Update-CP advances the current position.
    c.Clear(kWhite);
    SetTextAlign(c.Dc, TA_UPDATECP);
    MoveToEx(c.Dc, 5, 0, nullptr);
    TextOutW(c.Dc, 0, 0, u"ab", 2);
    TextOutW(c.Dc, 0, 0, u"c", 1);
    POINT cp;
    GetCurrentPositionEx(c.Dc, &cp);
    EXPECT_EQ(cp, POINT(35, 0));
    EXPECT_EQ(c.At(26, 5), kBlack);
    SetTextAlign(c.Dc, TA_LEFT | TA_TOP);

    // A Dx array sets each advance; the second glyph starts 25 pixels on.
    c.Clear(kWhite);
    int dx[2] = {25, 10};
    ExtTextOutW(c.Dc, 0, 0, 0, nullptr, u"ab", 2, dx);
    EXPECT_EQ(c.At(12, 5), kWhite);
    EXPECT_EQ(c.At(26, 5), kBlack);
}

TEST(GdiTextDraw, ClippedOpaqueUnderlineAndStrikeOut) {
    TCanvasFixture c(60, 30);
    c.SelectFixedFont();
    SetBkColor(c.Dc, RGB(0, 255, 0));
    RECT r(0, 0, 15, 10);
    ExtTextOutW(c.Dc, 0, 0, ETO_CLIPPED | ETO_OPAQUE, &r, u"abcd", 4, nullptr);
    EXPECT_EQ(c.At(9, 9), RGB(0, 255, 0));
    EXPECT_EQ(c.At(14, 0), RGB(0, 255, 0));
    EXPECT_EQ(c.At(12, 5), kBlack);
    EXPECT_EQ(c.At(15, 5), kWhite);
    EXPECT_EQ(c.At(12, 10), kWhite);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 60; ++x)
            if (x >= 15 || y >= 10) {
                ASSERT_EQ(c.At(x, y), kWhite) << x << "," << y;
            }

    c.Clear(kWhite);
    c.SelectFixedFont(-20, true, true);
    SetBkMode(c.Dc, TRANSPARENT);
    TextOutW(c.Dc, 0, 0, u"a b", 3);
    EXPECT_EQ(c.At(15, 18), kBlack); // underline: baseline 16 + 2, under the space too
    EXPECT_EQ(c.At(29, 18), kBlack);
    EXPECT_EQ(c.At(30, 18), kWhite);
    EXPECT_EQ(c.At(15, 8), kBlack); // strike-out: baseline 16 - 8
    EXPECT_EQ(c.At(15, 7), kWhite);
}

TEST(GdiDrawText, CalcRectWordBreakGeometry) {
    TCanvasFixture c;
    c.SelectFixedFont();
    RECT r(5, 7, 75, 7); // room for 7 characters
    int h = DrawTextW(c.Dc, u"aaa bb cccc dd", -1, &r, DT_CALCRECT | DT_WORDBREAK);
    // "aaa bb" / "cccc dd"
    EXPECT_EQ(h, 40);
    EXPECT_EQ(r, RECT(5, 7, 75, 47));
    RECT narrow(0, 0, 30, 0);
    h = DrawTextW(c.Dc, u"abcdefghij xy", -1, &narrow, DT_CALCRECT | DT_WORDBREAK);
    EXPECT_EQ(h, 40); // the long word stays whole on its own line
    EXPECT_EQ(narrow.Right, 100);
    RECT lines(0, 0, 200, 0);
    EXPECT_EQ(DrawTextW(c.Dc, u"a\r\nbb\nccc\rd", -1, &lines, DT_CALCRECT | DT_WORDBREAK), 80);
    EXPECT_EQ(lines.Right, 30);
    RECT nowrap(0, 0, 10, 0);
    EXPECT_EQ(DrawTextW(c.Dc, u"abc def", 7, &nowrap, DT_CALCRECT), 20);
    EXPECT_EQ(nowrap.Right, 70);
    RECT single(0, 0, 10, 0);
    EXPECT_EQ(DrawTextW(c.Dc, u"ab\ncd", -1, &single, DT_CALCRECT | DT_SINGLELINE), 20);
    EXPECT_EQ(single.Right, 40);
    // Words are never split, whatever the text.
    for (const char16_t* text : {u"one two three four five", u"x  yy   zzz", u"longerword a"}) {
        for (int width : {5, 30, 45, 60, 95}) {
            RECT q(0, 0, width, 0);
            int height = DrawTextW(c.Dc, text, -1, &q, DT_CALCRECT | DT_WORDBREAK);
            std::u16string s = text;
            int words = 0, longest = 0, cur = 0;
            for (size_t i = 0; i <= s.size(); ++i) {
                if (i == s.size() || s[i] == u' ') {
                    if (cur) ++words;
                    longest = std::max(longest, cur);
                    cur = 0;
                } else {
                    ++cur;
                }
            }
            EXPECT_LE(height / 20, words);
            EXPECT_GE(q.Right - q.Left, longest * 10);
        }
    }
}

TEST(GdiDrawText, PrefixesAlignmentAndEllipsis) {
    TCanvasFixture c(100, 40);
    c.SelectFixedFont();
    RECT r(0, 0, 100, 0);
    DrawTextW(c.Dc, u"a&&b", -1, &r, DT_CALCRECT);
    EXPECT_EQ(r.Right, 30); // one ampersand
    r = RECT(0, 0, 100, 0);
    DrawTextW(c.Dc, u"a&&b", -1, &r, DT_CALCRECT | DT_NOPREFIX);
    EXPECT_EQ(r.Right, 40);
    r = RECT(0, 0, 100, 0);
    DrawTextW(c.Dc, u"&File", -1, &r, DT_CALCRECT);
    EXPECT_EQ(r.Right, 40);

    // "&&" draws exactly one glyph box; "&F" underlines the F.
    SetBkMode(c.Dc, TRANSPARENT);
    RECT box(0, 0, 100, 40);
    DrawTextW(c.Dc, u"&&", -1, &box, DT_LEFT | DT_TOP);
    EXPECT_EQ(c.CountNot(kWhite), 8 * 15);
    c.Clear(kWhite);
    DrawTextW(c.Dc, u"&F", -1, &box, DT_LEFT | DT_TOP);
    EXPECT_EQ(c.At(5, 18), kBlack);
    c.Clear(kWhite);
    DrawTextW(c.Dc, u"&F", -1, &box, DT_LEFT | DT_TOP | DT_HIDEPREFIX);
    EXPECT_EQ(c.At(5, 18), kWhite);

    // Centred both ways in a single line: a 20x20 cell in 100x40 sits at (40, 10).
    c.Clear(kWhite);
    DrawTextW(c.Dc, u"xy", -1, &box, DT_SINGLELINE | DT_CENTER | DT_VCENTER);
    EXPECT_EQ(c.At(41, 11), kBlack);
    EXPECT_EQ(c.At(40, 11), kWhite);
    EXPECT_EQ(c.At(58, 25), kBlack);
    c.Clear(kWhite);
    DrawTextW(c.Dc, u"xy", -1, &box, DT_SINGLELINE | DT_RIGHT | DT_BOTTOM);
    EXPECT_EQ(c.At(81, 21), kBlack);

    // End ellipsis: "abcdefghijkl" in 60 pixels shows "abc...".
    c.Clear(kWhite);
    RECT small(0, 0, 60, 20);
    DrawTextW(c.Dc, u"abcdefghijkl", -1, &small, DT_SINGLELINE | DT_END_ELLIPSIS);
    EXPECT_EQ(c.CountNot(kWhite), 6 * 8 * 15);
    // Without it the text is clipped to the rectangle unless DT_NOCLIP.
    c.Clear(kWhite);
    DrawTextW(c.Dc, u"abcdefghijkl", -1, &small, DT_SINGLELINE);
    EXPECT_EQ(c.At(65, 5), kWhite);
    DrawTextW(c.Dc, u"abcdefghijkl", -1, &small, DT_SINGLELINE | DT_NOCLIP);
    EXPECT_EQ(c.At(65, 5), kBlack);

    // The ANSI form and the margins of DrawTextEx.
    RECT ra(0, 0, 100, 0);
    EXPECT_EQ(DrawTextA(c.Dc, "a\xe9&&", -1, &ra, DT_CALCRECT), 20);
    EXPECT_EQ(ra.Right, 30);
    DRAWTEXTPARAMS p;
    p.iLeftMargin = 5;
    p.iRightMargin = 7;
    RECT rm(0, 0, 100, 0);
    DrawTextExW(c.Dc, const_cast<char16_t*>(u"ab"), -1, &rm, DT_CALCRECT, &p);
    EXPECT_EQ(rm.Right, 5 + 20 + 7);
    EXPECT_EQ(p.uiLengthDrawn, 2u);
    EXPECT_EQ(GetCharacterPlacementW(c.Dc, u"ab", 2, 0, nullptr, 0), (20u << 16) | 20u);

    // Expanded tabs go to the next stop: 8 average widths, or the length asked for.
    RECT rt(0, 0, 300, 0);
    DrawTextW(c.Dc, u"a\tb", -1, &rt, DT_CALCRECT | DT_EXPANDTABS);
    EXPECT_EQ(rt.Right, 90);
    DRAWTEXTPARAMS tabs;
    tabs.iTabLength = 4;
    rt = RECT(0, 0, 300, 0);
    DrawTextExW(c.Dc, const_cast<char16_t*>(u"a\tb\tc"), -1, &rt, DT_CALCRECT | DT_EXPANDTABS,
                &tabs);
    EXPECT_EQ(rt.Right, 90);
    c.Clear(kWhite);
    RECT wide(0, 0, 100, 20);
    DrawTextW(c.Dc, u"\tb", -1, &wide, DT_EXPANDTABS | DT_TABSTOP | (2 << 8));
    EXPECT_EQ(c.At(21, 5), kBlack); // b's box starts at the 20-pixel stop
    EXPECT_EQ(c.At(19, 5), kWhite);
}

} // namespace
} // namespace epc
