// Reordered and shaped text: the order of the pieces a run is drawn from, mirrored brackets,
// and the caret positions and shares of clusters and of character spacing. The built-in face
// advances every code point by 10 pixels at -20, so its positions are exact.

#include "platform/text/TextLayout.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace epc;

namespace {

std::shared_ptr<TFontInstance> Font(const std::u16string& face, int32_t height) {
    TFontRequest r;
    r.FaceName = face;
    r.Height = height;
    return AcquireFont(r);
}

TTextLayout Layout(TFontInstance& font, const std::u16string& text, bool rtl, int32_t extra = 0) {
    TTextLayout out;
    EXPECT_TRUE(LayoutComplexText(font, text.data(), int32_t(text.size()), rtl, extra, out));
    return out;
}

// The glyph standing for the code unit at Cluster.
const TShapedGlyph* GlyphOf(const TTextLayout& layout, int32_t cluster) {
    for (const TShapedGlyph& g : layout.Glyphs)
        if (g.Cluster == cluster) return &g;
    return nullptr;
}

int32_t Sum(const std::vector<int32_t>& v) {
    int32_t s = 0;
    for (int32_t x : v)
        s += x;
    return s;
}

} // namespace

TEST(TextLayout, RightToLeftPiecesFromSeveralFacesStandInVisualOrder) {
    if (ResolveFontFamily(u"Arial") != u"Liberation Sans") GTEST_SKIP() << "no Liberation Sans";
    // Arabic letters come from a fallback face, the full stop and the exclamation mark from
    // the requested one: one right-to-left run drawn from three pieces.
    auto font = Font(u"Arial", -24);
    const std::u16string text = u"\u0633\u0644.\u0627\u0645!";
    TTextLayout l = Layout(*font, text, true);
    const TShapedGlyph* stop = GlyphOf(l, 2);
    const TShapedGlyph* seen = GlyphOf(l, 0);
    ASSERT_TRUE(stop && seen);
    ASSERT_NE(stop->Face, seen->Face) << "the letters are in the requested face";
    // Reading from the right: a later code unit never stands right of an earlier one.
    for (const TShapedGlyph& a : l.Glyphs)
        for (const TShapedGlyph& b : l.Glyphs)
            EXPECT_TRUE(a.Cluster >= b.Cluster || a.X > b.X) << a.Cluster << " " << b.Cluster;
    EXPECT_EQ(GlyphOf(l, 5)->X, 0);
    EXPECT_EQ(seen->X + seen->Advance, l.Width);
    EXPECT_EQ(l.Caret[0], l.Width);
}

TEST(TextLayout, BracketsMirrorInRightToLeftTextThatIsNotShaped) {
    // The built-in face is never shaped: one glyph per code point, its code point the index.
    auto fixed = Font(kBuiltInFixedFontName, -20);
    TTextLayout l = Layout(*fixed, u"\u05D0(\u05D1)", true);
    ASSERT_EQ(l.Glyphs.size(), 4u);
    EXPECT_EQ(GlyphOf(l, 1)->Index, uint32_t(')'));
    EXPECT_EQ(GlyphOf(l, 3)->Index, uint32_t('('));
    EXPECT_EQ(GlyphOf(l, 3)->X, 0); // the closing bracket stands leftmost, drawn as "("
    // Left to right they stay as they are.
    TTextLayout ltr = Layout(*fixed, u"(\u05D0)", false);
    EXPECT_EQ(GlyphOf(ltr, 0)->Index, uint32_t('('));

    // Latin text in a right-to-left paragraph takes the plain path: its right-to-left
    // neutrals are mirrored there too.
    if (ResolveFontFamily(u"Arial") != u"Liberation Sans") GTEST_SKIP() << "no Liberation Sans";
    auto arial = Font(u"Arial", -20);
    TTextLayout latin = Layout(*arial, u"(ab).", true);
    EXPECT_EQ(GlyphOf(latin, 0)->Index, uint32_t(')'));
    EXPECT_EQ(GlyphOf(latin, 3)->Index, uint32_t('('));
    EXPECT_EQ(GlyphOf(latin, 4)->X, 0);
}

TEST(TextLayout, CaretsInsideClustersAndWithCharacterSpacing) {
    if (ResolveFontFamily(u"DejaVu Sans") != u"DejaVu Sans") GTEST_SKIP() << "no DejaVu Sans";
    auto dejavu = Font(u"DejaVu Sans", -32);
    // Lam and alef join into one glyph: the caret still stops between them, and the two
    // share the glyph's width.
    TTextLayout lig = Layout(*dejavu, u"\u0644\u0627", true);
    ASSERT_EQ(lig.Glyphs.size(), 1u);
    ASSERT_GT(lig.Width, 4);
    EXPECT_EQ(lig.Caret[0], lig.Width);
    EXPECT_GT(lig.Caret[1], 0);
    EXPECT_LT(lig.Caret[1], lig.Width);
    EXPECT_EQ(lig.Advance[0] + lig.Advance[1], lig.Width);
    EXPECT_GT(lig.Advance[1], 0);
    // A point under a letter stays with it: no caret stop between them.
    TTextLayout marked = Layout(*dejavu, u"\u05D0\u05B8\u05D1", true);
    EXPECT_EQ(marked.Caret[1], marked.Caret[0]);
    EXPECT_EQ(marked.Advance[1], 0);
    EXPECT_EQ(marked.Caret[0], marked.Width);
    EXPECT_EQ(Sum(marked.Advance), marked.Width);

    // Spacing follows every code point in visual order; a right-to-left character's caret
    // stands at its right, past its own spacing.
    auto fixed = Font(kBuiltInFixedFontName, -20);
    TTextLayout spaced = Layout(*fixed, u"\u05D0\u05D1", true, 3);
    EXPECT_EQ(spaced.Width, 26);
    EXPECT_EQ(spaced.Caret[0], 26);
    EXPECT_EQ(spaced.Caret[1], 13);
    EXPECT_EQ(spaced.Advance, (std::vector<int32_t>{13, 13}));
    EXPECT_EQ(GlyphOf(spaced, 0)->X, 13);
    EXPECT_EQ(GlyphOf(spaced, 1)->X, 0);
    // A surrogate pair is one code point: one spacing.
    TTextLayout pair = Layout(*fixed, u"\u05D0\U0001F600", true, 2);
    EXPECT_EQ(pair.Width, 24);
    EXPECT_EQ(pair.Caret[0], 24);
    EXPECT_EQ(pair.Caret[1], 12);
    EXPECT_EQ(Sum(pair.Advance), 24);
    EXPECT_EQ(GlyphOf(pair, 0)->X, 12);
    // In a left-to-right paragraph each caret moves by the spacing of what stands left of it.
    TTextLayout ltr = Layout(*fixed, u"a\u05D0b", false, 2);
    EXPECT_EQ(ltr.Caret, (std::vector<int32_t>{0, 24, 24}));
}
