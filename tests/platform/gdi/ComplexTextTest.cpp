// Right-to-left and joining text: bidirectional order, shaping against a picture of the same
// word made once by another text renderer, and the caret positions of character placement.
// The built-in face advances every character by 10 pixels at -20, so positions are exact.

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/codecs/ImageCodecs.h"
#include "tests/platform/gdi/GdiTestSupport.h"

namespace epc {
namespace {

using gditest::TCanvasFixture;

HFONT MakeFont(const std::u16string& name, int height) {
    LOGFONTW lf;
    lf.lfHeight = height;
    std::copy(name.begin(), name.end(), lf.lfFaceName);
    return CreateFontIndirectW(lf);
}

struct TPlacement {
    DWORD Result = 0;
    std::u16string Visual;
    std::vector<int> Caret, Dx;
    std::vector<UINT> Order;
    std::vector<char> Class;
};

TPlacement Place(HDC dc, const std::u16string& s) {
    TPlacement p;
    const size_t n = s.size();
    p.Visual.assign(n, u'?');
    p.Caret.assign(n, -1);
    p.Dx.assign(n, -1);
    p.Order.assign(n, 99);
    p.Class.assign(n, 0);
    GCP_RESULTSW r;
    r.lpOutString = p.Visual.data();
    r.lpCaretPos = p.Caret.data();
    r.lpDx = p.Dx.data();
    r.lpOrder = p.Order.data();
    r.lpClass = p.Class.data();
    r.nGlyphs = UINT(n);
    p.Result = GetCharacterPlacementW(dc, s.data(), int(n), 0, &r, GCP_REORDER);
    return p;
}

// "book 2024 of Alice": Hebrew words, a number and a Latin name.
const std::u16string kSentence = u"\u05E1\u05E4\u05E8 2024 \u05E9\u05DC Alice";

TEST(GdiComplexText, HebrewSentenceFollowsTheBidirectionalAlgorithm) {
    TCanvasFixture c(200, 20);
    HFONT f = MakeFont(kBuiltInFixedFontName, -20);
    HGDIOBJ old = SelectObject(c.Dc, f);

    // A right-to-left paragraph: the name goes leftmost, each Hebrew word reads from the
    // right, and the number keeps its digits left to right.
    SetTextAlign(c.Dc, TA_LEFT | TA_TOP | TA_RTLREADING);
    TPlacement rtl = Place(c.Dc, kSentence);
    EXPECT_EQ(rtl.Result, (20u << 16) | 170u);
    EXPECT_EQ(rtl.Visual, u"Alice \u05DC\u05E9 2024 \u05E8\u05E4\u05E1");
    EXPECT_EQ(rtl.Caret[0], 170); // right edge of the first Hebrew letter
    EXPECT_EQ(rtl.Caret[2], 150);
    EXPECT_EQ(rtl.Caret[3], 140); // the space between them reads right to left too
    EXPECT_EQ(rtl.Caret[4], 90);  // the first digit's left edge
    EXPECT_EQ(rtl.Caret[7], 120);
    EXPECT_EQ(rtl.Caret[11], 60); // the right-to-left space before the name
    EXPECT_EQ(rtl.Caret[12], 0);
    EXPECT_EQ(rtl.Caret[13], 10);
    EXPECT_EQ(rtl.Order[0], 16u);
    EXPECT_EQ(rtl.Order[12], 0u);
    EXPECT_EQ(rtl.Class[0], GCPCLASS_HEBREW);
    EXPECT_EQ(rtl.Class[4], GCPCLASS_LATIN); // the number reads left to right
    EXPECT_EQ(rtl.Class[11], GCPCLASS_HEBREW);
    EXPECT_EQ(rtl.Class[13], GCPCLASS_LATIN);
    for (int dx : rtl.Dx)
        EXPECT_EQ(dx, 10);

    // A left-to-right paragraph keeps the name last; the Hebrew part with its number is
    // one right-to-left run.
    SetTextAlign(c.Dc, TA_LEFT | TA_TOP);
    TPlacement ltr = Place(c.Dc, kSentence);
    EXPECT_EQ(ltr.Visual, u"\u05DC\u05E9 2024 \u05E8\u05E4\u05E1 Alice");
    EXPECT_EQ(ltr.Caret[0], 110);
    EXPECT_EQ(ltr.Caret[4], 30);
    EXPECT_EQ(ltr.Caret[12], 120);

    // Extents and fitting count characters in logical order.
    SIZE size;
    ASSERT_TRUE(GetTextExtentPoint32W(c.Dc, kSentence.data(), int(kSentence.size()), &size));
    EXPECT_EQ(size.cx, 170);
    std::vector<int> partial(kSentence.size());
    int fit = 0;
    GetTextExtentExPointW(c.Dc, kSentence.data(), int(kSentence.size()), 45, &fit, partial.data(),
                          &size);
    EXPECT_EQ(fit, 4);
    EXPECT_EQ(partial[3], 40);

    // Character spacing follows each character in visual order.
    SetTextAlign(c.Dc, TA_LEFT | TA_TOP | TA_RTLREADING);
    SetTextCharacterExtra(c.Dc, 2);
    TPlacement spaced = Place(c.Dc, u"\u05D0\u05D1a");
    EXPECT_EQ(spaced.Result & 0xFFFF, 36u);
    EXPECT_EQ(spaced.Caret[0], 36); // past its own spacing
    EXPECT_EQ(spaced.Caret[1], 24);
    EXPECT_EQ(spaced.Caret[2], 0);
    SetTextCharacterExtra(c.Dc, 0);

    // Plain text keeps its advances and order; nothing to lay out fails.
    TPlacement plain = Place(c.Dc, u"ab");
    EXPECT_EQ(plain.Visual, u"ab");
    EXPECT_EQ(plain.Caret[1], 10);
    EXPECT_EQ(GetCharacterPlacementW(c.Dc, u"", 0, 0, nullptr, 0), 0u);
    EXPECT_EQ(GetCharacterPlacementW(nullptr, u"a", 1, 0, nullptr, 0), 0u);
    SelectObject(c.Dc, old);
    DeleteObject(f);
}

// Ink of a picture as a mask cropped to its bounding box: dark pixels.
struct TInk {
    int W = 0, H = 0;
    std::vector<bool> On;
    bool At(int x, int y) const {
        return x >= 0 && y >= 0 && x < W && y < H && On[size_t(y * W + x)];
    }
};

TInk InkOf(const std::vector<uint32_t>& pixels, int width, int height) {
    int x0 = width, y0 = height, x1 = -1, y1 = -1;
    auto dark = [&](int x, int y) { return (pixels[size_t(y * width + x)] & 0xFF) < 128; };
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            if (dark(x, y)) {
                x0 = std::min(x0, x), x1 = std::max(x1, x);
                y0 = std::min(y0, y), y1 = std::max(y1, y);
            }
    TInk ink;
    if (x1 < 0) return ink;
    ink.W = x1 - x0 + 1;
    ink.H = y1 - y0 + 1;
    ink.On.resize(size_t(ink.W * ink.H));
    for (int y = 0; y < ink.H; ++y)
        for (int x = 0; x < ink.W; ++x)
            ink.On[size_t(y * ink.W + x)] = dark(x0 + x, y0 + y);
    return ink;
}

// Ink pixels of A with no ink of B within Reach pixels.
int Unmatched(const TInk& a, const TInk& b, int reach) {
    int n = 0;
    for (int y = 0; y < a.H; ++y)
        for (int x = 0; x < a.W; ++x) {
            if (!a.At(x, y)) continue;
            bool found = false;
            for (int dy = -reach; dy <= reach && !found; ++dy)
                for (int dx = -reach; dx <= reach && !found; ++dx)
                    found = b.At(x + dx, y + dy);
            n += !found;
        }
    return n;
}

std::string DataFile(const std::string& name) {
    const char* data = std::getenv("EPC_TEST_DATA"); // tests/data
    std::string dir =
        data ? std::string(data) + "/../platform/gdi/data/" : "tests/platform/gdi/data/";
    std::ifstream in(dir + name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void DrawWord(TCanvasFixture& c, const std::u16string& word, bool rtl) {
    HFONT f = MakeFont(u"DejaVu Sans", -32);
    HGDIOBJ old = SelectObject(c.Dc, f);
    SetBkMode(c.Dc, TRANSPARENT);
    SetTextAlign(c.Dc, rtl ? TA_LEFT | TA_TOP | TA_RTLREADING : TA_LEFT | TA_TOP);
    TextOutW(c.Dc, 4, 4, word.data(), int(word.size()));
    SelectObject(c.Dc, old);
    DeleteObject(f);
}

TEST(GdiComplexText, ArabicWordIsJoinedAndInVisualOrderLikeTheReference) {
    if (ResolveFontFamily(u"DejaVu Sans") != u"DejaVu Sans") GTEST_SKIP() << "no DejaVu Sans";
    const std::string png = DataFile("arabic-word-pango.png");
    ASSERT_FALSE(png.empty());
    TDecodedImage ref = DecodePng(reinterpret_cast<const uint8_t*>(png.data()), png.size());
    const TInk want = InkOf(ref.Pixels, ref.Width, ref.Height);

    const std::u16string word = u"\u0645\u0631\u062D\u0628\u0627"; // "hello"
    TCanvasFixture c(120, 60);
    DrawWord(c, word, true);
    const TInk got = InkOf(c.Snapshot(), 120, 60);
    if (const char* out = std::getenv("EPC_TEST_OUT")) {
        TDecodedImage picture;
        picture.Width = 120;
        picture.Height = 60;
        picture.Pixels = c.Snapshot();
        std::ofstream(std::string(out) + "/arabic-word.png", std::ios::binary)
            << EncodePng(picture);
    }
    EXPECT_NEAR(got.W, want.W, 2);
    EXPECT_NEAR(got.H, want.H, 2);
    int inkPixels = 0;
    for (bool on : want.On)
        inkPixels += on;
    // Every stroke lies where the reference has one, give or take a pixel of rounding.
    EXPECT_LE(Unmatched(got, want, 1), inkPixels / 50);
    EXPECT_LE(Unmatched(want, got, 1), inkPixels / 50);

    // Unshaped letters, or letters in logical order, put their strokes elsewhere.
    const std::u16string isolated = u"\u0645 \u0631 \u062D \u0628 \u0627";
    TCanvasFixture u(200, 60);
    DrawWord(u, isolated, true);
    const TInk apart = InkOf(u.Snapshot(), 200, 60);
    EXPECT_GT(apart.W, want.W + 20);
    // Reversed order: the word's first letter (meem) stands rightmost, so mirroring the
    // drawing must not match.
    TInk mirrored = got;
    for (int y = 0; y < got.H; ++y)
        for (int x = 0; x < got.W; ++x)
            mirrored.On[size_t(y * got.W + x)] = got.At(got.W - 1 - x, y);
    EXPECT_GT(Unmatched(mirrored, want, 1), inkPixels / 10);
}

TEST(GdiComplexText, LigatureSharesItsWidthBetweenItsCharacters) {
    if (ResolveFontFamily(u"DejaVu Sans") != u"DejaVu Sans") GTEST_SKIP() << "no DejaVu Sans";
    TCanvasFixture c(120, 40);
    HFONT f = MakeFont(u"DejaVu Sans", -32);
    HGDIOBJ old = SelectObject(c.Dc, f);
    SetTextAlign(c.Dc, TA_LEFT | TA_TOP | TA_RTLREADING);
    // Lam and alef join into one glyph; the caret still stops between them.
    TPlacement p = Place(c.Dc, u"\u0644\u0627");
    const int width = int(p.Result & 0xFFFF);
    ASSERT_GT(width, 4);
    EXPECT_EQ(p.Caret[0], width);
    EXPECT_GT(p.Caret[1], 0);
    EXPECT_LT(p.Caret[1], width);
    EXPECT_EQ(p.Dx[0] + p.Dx[1], width);
    SIZE size;
    GetTextExtentPoint32W(c.Dc, u"\u0644\u0627", 2, &size);
    EXPECT_EQ(size.cx, width);
    SelectObject(c.Dc, old);
    DeleteObject(f);
}

TEST(GdiComplexText, NeutralsAtTheEndOfLatinTextTakeTheRightToLeftReading) {
    if (ResolveFontFamily(u"DejaVu Sans") != u"DejaVu Sans") GTEST_SKIP() << "no DejaVu Sans";
    // Text without one right-to-left letter, as a wrapped line of a right-to-left paragraph
    // may be: the closing punctuation goes leftmost and brackets mirror.
    auto drawn = [](const std::u16string& text, bool rtl) {
        TCanvasFixture c(160, 48);
        DrawWord(c, text, rtl);
        return c.Snapshot();
    };
    EXPECT_EQ(drawn(u"IP?", true), drawn(u"?IP", false));
    EXPECT_NE(drawn(u"IP?", true), drawn(u"IP?", false));
    EXPECT_EQ(drawn(u"(ab).", true), drawn(u".(ab)", false));
}

} // namespace
} // namespace epc
