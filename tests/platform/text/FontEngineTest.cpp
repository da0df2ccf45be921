#include "platform/text/FontEngine.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

using namespace epc;

namespace {

TFontRequest Req(const std::u16string& face, int32_t height, int32_t weight = 400,
                 bool italic = false) {
    TFontRequest r;
    r.FaceName = face;
    r.Height = height;
    r.Weight = weight;
    r.Italic = italic;
    return r;
}

int32_t Width(TFontInstance& f, const std::u16string& s) {
    int32_t w = 0;
    for (char16_t c : s) w += f.Advance(c);
    return w;
}

bool HasInk(const TGlyphBitmap& g) {
    for (int32_t y = 0; y < g.Height; ++y)
        for (int32_t x = 0; x < g.Width; ++x)
            if (g.Coverage[y * g.Pitch + x]) return true;
    return false;
}

bool SameGlyph(const TGlyphBitmap& a, const TGlyphBitmap& b) {
    if (a.Width != b.Width || a.Height != b.Height || a.Left != b.Left || a.Top != b.Top)
        return false;
    for (int32_t y = 0; y < a.Height; ++y)
        for (int32_t x = 0; x < a.Width; ++x)
            if (a.Coverage[y * a.Pitch + x] != b.Coverage[y * b.Pitch + x]) return false;
    return true;
}

}  // namespace

TEST(FontResolve, WindowsCoreFacesMapToMetricCompatibleFaces) {
    EXPECT_EQ(ResolveFontFamily(u"Arial"), u"Liberation Sans");
    EXPECT_EQ(ResolveFontFamily(u"arial"), u"Liberation Sans");
    EXPECT_EQ(ResolveFontFamily(u"Times New Roman"), u"Liberation Serif");
    EXPECT_EQ(ResolveFontFamily(u"Courier New"), u"Liberation Mono");
    EXPECT_EQ(AcquireFont(Req(u"Arial", -16))->FamilyName(), u"Liberation Sans");
}

TEST(FontResolve, OtherNamesFallBackToAnInstalledFace) {
    for (const char16_t* name : {u"MS Sans Serif", u"Tahoma", u"Segoe UI", u"Verdana",
                                 u"Symbol", u"Wingdings", u"No Such Face 123", u""}) {
        auto f = AcquireFont(Req(name, -13));
        EXPECT_FALSE(f->FamilyName().empty()) << std::u16string(name).size();
        EXPECT_NE(f->FamilyName(), kBuiltInFixedFontName);
        EXPECT_GT(f->Advance(U'W'), 0);
    }
    EXPECT_EQ(ResolveFontFamily(u"Fixed Metrics Test"), kBuiltInFixedFontName);
}

TEST(FontResolve, PitchAndFamilySteersUnknownNames) {
    TFontRequest mono = Req(u"Unknown Face", -14);
    mono.PitchAndFamily = 0x31;  // FIXED_PITCH | FF_MODERN
    auto m = AcquireFont(mono);
    EXPECT_EQ(m->Advance(U'i'), m->Advance(U'W'));
    EXPECT_EQ(m->Metrics().PitchAndFamily & 0xF1, 0x30);  // fixed pitch: bit 0 clear

    TFontRequest serif = Req(u"Unknown Face", -14);
    serif.PitchAndFamily = 0x12;  // VARIABLE_PITCH | FF_ROMAN
    auto s = AcquireFont(serif);
    EXPECT_NE(s->FamilyName(), m->FamilyName());
    EXPECT_NE(s->Advance(U'i'), s->Advance(U'W'));
    EXPECT_EQ(s->Metrics().PitchAndFamily & 0x01, 0x01);
}

TEST(FontResolve, SymbolFaceCodesShowTheirCharacters) {
    // Without the symbol face installed, its codes show the Unicode characters they mean.
    auto symbol = AcquireFont(Req(u"Symbol", -16));
    auto plain = AcquireFont(Req(symbol->FamilyName(), -16));
    for (auto [code, unicode] : {std::pair<char32_t, char32_t>{U'a', 0x03B1},
                                 {0xF061, 0x03B1}, {U'S', 0x03A3}, {0xA5, 0x221E},
                                 {0xB3, 0x2265}, {U'1', U'1'}, {0xA0, 0x20AC}}) {
        EXPECT_EQ(symbol->Advance(code), plain->Advance(unicode)) << int(code);
        EXPECT_TRUE(SameGlyph(symbol->Glyph(code), plain->Glyph(unicode))) << int(code);
    }
    // Other faces keep their codes.
    EXPECT_FALSE(SameGlyph(plain->Glyph(U'a'), plain->Glyph(0x03B1)));
}

TEST(FontMetrics, NegativeHeightIsTheEmAndPositiveTheCell) {
    auto em = AcquireFont(Req(u"Arial", -16));
    const TFontMetrics& a = em->Metrics();
    EXPECT_EQ(a.Height, a.Ascent + a.Descent);
    EXPECT_EQ(a.InternalLeading, a.Height - 16);
    EXPECT_GT(a.InternalLeading, 0);
    EXPECT_GT(a.Ascent, a.Descent);
    EXPECT_GE(a.ExternalLeading, 0);
    EXPECT_GT(a.AveCharWidth, 4);
    EXPECT_LT(a.AveCharWidth, 12);
    EXPECT_GE(a.MaxCharWidth, a.AveCharWidth);
    EXPECT_GE(a.UnderlinePosition, 0);
    EXPECT_LE(a.UnderlinePosition + a.UnderlineThickness, a.Descent);
    EXPECT_GT(a.StrikeOutPosition, 0);
    EXPECT_LT(a.StrikeOutPosition, a.Ascent);

    auto cell = AcquireFont(Req(u"Arial", 20));
    EXPECT_EQ(cell->Metrics().Height, 20);
    EXPECT_LT(cell->Metrics().Height - cell->Metrics().InternalLeading, 20);

    auto def = AcquireFont(Req(u"Arial", 0));
    EXPECT_EQ(def->Metrics().Height, 16);

    // A requested average width narrows the face without changing its height.
    TFontRequest narrow = Req(u"Arial", -16);
    narrow.Width = 4;
    auto n = AcquireFont(narrow);
    EXPECT_NEAR(n->Metrics().AveCharWidth, 4, 1);
    EXPECT_EQ(n->Metrics().Height, a.Height);
    EXPECT_LT(n->Advance(U'W'), em->Advance(U'W'));
}

TEST(FontMetrics, LiberationFacesKeepTheirCounterpartsWidths) {
    // Widths of the metric-compatible faces at a 2048-unit em scaled to 20 pixels.
    auto sans = AcquireFont(Req(u"Arial", -20));
    EXPECT_EQ(sans->Advance(U' '), 6);   // 569 units
    EXPECT_EQ(sans->Advance(U'W'), 19);  // 1933 units
    auto mono = AcquireFont(Req(u"Courier New", -20));
    EXPECT_EQ(mono->Advance(U'i'), 12);  // 1229 units, every glyph
    EXPECT_EQ(mono->Advance(U'M'), 12);
}

TEST(FontAdvance, IntegerAdvancesAddUpAndRepeat) {
    auto f = AcquireFont(Req(u"Times New Roman", -15));
    std::u16string a = u"Hello, ", b = u"world!";
    EXPECT_EQ(Width(*f, a + b), Width(*f, a) + Width(*f, b));
    int32_t first = f->Advance(U'g');
    EXPECT_EQ(f->Advance(U'g'), first);  // cached value identical
    // Beyond the BMP, and a lone surrogate, give a stable non-negative advance.
    EXPECT_GE(f->Advance(U'\U0001F600'), 0);
    EXPECT_EQ(f->Advance(U'\U0001F600'), f->Advance(U'\U0001F600'));
    EXPECT_GT(f->Advance(0xD800), 0);
    // Zero-width marks advance by nothing.
    EXPECT_EQ(f->Advance(0x200B), 0);
}

TEST(FontAdvance, ThreadsMeasureConsistently) {
    auto f = AcquireFont(Req(u"Arial", -17));
    std::vector<int32_t> expected(128);
    std::vector<std::vector<int32_t>> seen(4, std::vector<int32_t>(128));
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            for (char32_t c = 0; c < 128; ++c) seen[t][c] = f->Advance(c);
        });
    for (auto& th : threads) th.join();
    for (char32_t c = 0; c < 128; ++c) expected[c] = f->Advance(c);
    for (int t = 0; t < 4; ++t) EXPECT_EQ(seen[t], expected);
}

TEST(FontStyle, BoldAndItalicUseStyledFaces) {
    auto regular = AcquireFont(Req(u"Arial", -16));
    auto bold = AcquireFont(Req(u"Arial", -16, 700));
    auto italic = AcquireFont(Req(u"Arial", -16, 400, true));
    EXPECT_EQ(bold->Metrics().Weight, 700);
    EXPECT_TRUE(italic->Metrics().Italic);
    EXPECT_NE(bold.get(), regular.get());
    std::u16string text = u"Bold text sample";
    EXPECT_GT(Width(*bold, text), Width(*regular, text));
    // The glyphs differ from the regular ones.
    const TGlyphBitmap& r = regular->Glyph(U'l');
    const TGlyphBitmap& b = bold->Glyph(U'l');
    const TGlyphBitmap& i = italic->Glyph(U'l');
    EXPECT_GT(b.Width, r.Width);
    EXPECT_GT(i.Width, r.Width);  // slanted stem spans more columns
}

TEST(FontStyle, SynthesizedStylesKeepAdvancesAndGlyphsTogether) {
    // The basic DejaVu set has no italic serif face, so italic is slanted from the upright one
    // there; where the styled face is installed it is used instead. Either way it differs.
    auto upright = AcquireFont(Req(u"DejaVu Serif", -16));
    auto italic = AcquireFont(Req(u"DejaVu Serif", -16, 400, true));
    EXPECT_FALSE(SameGlyph(italic->Glyph(U'l'), upright->Glyph(U'l')));

    // A family with only an extra-light face gets bold by widening.
    if (ResolveFontFamily(u"DejaVu Sans Light") != u"DejaVu Sans Light")
        GTEST_SKIP() << "the extra-light face is not installed";
    auto regular = AcquireFont(Req(u"DejaVu Sans Light", -16));
    auto bold = AcquireFont(Req(u"DejaVu Sans Light", -16, 700));
    EXPECT_EQ(bold->Advance(U'o'), regular->Advance(U'o') + 1);
    EXPECT_EQ(bold->Glyph(U'o').Width, regular->Glyph(U'o').Width + 1);
    EXPECT_EQ(bold->Advance(0x200B), 0);  // nothing to widen
    auto slanted = AcquireFont(Req(u"DejaVu Sans Light", -16, 400, true));
    EXPECT_EQ(slanted->Advance(U'l'), regular->Advance(U'l'));
    EXPECT_GT(slanted->Glyph(U'l').Width, regular->Glyph(U'l').Width);
}

TEST(FontStyle, SemiboldIsWhereSynthesizedBoldStarts) {
    if (ResolveFontFamily(u"DejaVu Sans Light") != u"DejaVu Sans Light")
        GTEST_SKIP() << "the extra-light face is not installed";
    auto regular = AcquireFont(Req(u"DejaVu Sans Light", -16));
    auto medium = AcquireFont(Req(u"DejaVu Sans Light", -16, 599));
    auto semibold = AcquireFont(Req(u"DejaVu Sans Light", -16, 600));
    EXPECT_EQ(medium->Advance(U'o'), regular->Advance(U'o'));
    EXPECT_TRUE(SameGlyph(medium->Glyph(U'o'), regular->Glyph(U'o')));
    EXPECT_EQ(semibold->Advance(U'o'), regular->Advance(U'o') + 1);
    EXPECT_EQ(semibold->Glyph(U'o').Width, regular->Glyph(U'o').Width + 1);
    EXPECT_EQ(semibold->Metrics().Weight, 600);
}

TEST(FontGlyph, LettersHaveInkAndBlanksNone) {
    auto f = AcquireFont(Req(u"Arial", -16));
    const TGlyphBitmap& a = f->Glyph(U'A');
    ASSERT_NE(a.Coverage, nullptr);
    EXPECT_TRUE(HasInk(a));
    EXPECT_GT(a.Top, 8);   // cap height above the baseline
    EXPECT_LE(a.Top, f->Metrics().Ascent);
    EXPECT_LT(a.Height, f->Metrics().Height);
    // Antialiased: some partial coverage.
    bool partial = false;
    for (int32_t k = 0; k < a.Height * a.Pitch; ++k)
        partial |= a.Coverage[k] > 0 && a.Coverage[k] < 255;
    EXPECT_TRUE(partial);
    for (char32_t blank : {U' ', U'\t', char32_t(0xA0), char32_t(0x3000)}) {
        const TGlyphBitmap& g = f->Glyph(blank);
        EXPECT_FALSE(HasInk(g));
    }
    EXPECT_EQ(&f->Glyph(U'A'), &a);  // cached
    // 'g' descends below the baseline.
    const TGlyphBitmap& g = f->Glyph(U'g');
    EXPECT_GT(g.Height, g.Top);
    // A code point no installed face has still draws something (the missing-glyph box).
    EXPECT_TRUE(HasInk(f->Glyph(0xE123)));
}

TEST(FontGlyph, FallbackFaceCoversMissingCodePoints) {
    // Liberation lacks the Braille block; DejaVu has it.
    auto f = AcquireFont(Req(u"Arial", -16));
    const TGlyphBitmap& box = f->Glyph(0xE123);
    const TGlyphBitmap& braille = f->Glyph(0x283F);
    EXPECT_TRUE(HasInk(braille));
    EXPECT_FALSE(braille.Width == box.Width && braille.Height == box.Height &&
                 braille.Top == box.Top);
}

TEST(FontCache, SameRequestSharesOneInstance) {
    auto a = AcquireFont(Req(u"Courier New", -12));
    auto b = AcquireFont(Req(u"Courier New", -12));
    EXPECT_EQ(a.get(), b.get());
    EXPECT_NE(AcquireFont(Req(u"Courier New", -13)).get(), a.get());
    EXPECT_EQ(a->Request(), Req(u"Courier New", -12));
    // Many distinct requests evict old entries, but held instances stay usable.
    for (int h = 1; h < 300; ++h) AcquireFont(Req(u"Fixed Metrics Test", -h));
    EXPECT_GT(a->Advance(U'x'), 0);
    EXPECT_EQ(a->Glyph(U'x').Coverage != nullptr, true);
}

// A borrower of the face sizes it as it likes; measuring and drawing with the instance, and
// the borrower's own size, stay as they were.
TEST(FontLend, BorrowerSizesDoNotReachMeasuring) {
    auto lender = AcquireFont(Req(u"Liberation Sans", -23));
    TFontRequest underlined = Req(u"Liberation Sans", -23);
    underlined.Underline = true;
    auto other = AcquireFont(underlined); // the same face and size in an instance never lent
    std::shared_ptr<FT_FaceRec_> face;
    {
        auto lock = LockFontFaces();
        face = lender->LendFace();
        ASSERT_TRUE(face);
        FT_Set_Char_Size(face.get(), 64, 64, 0, 0); // one pixel
    }
    EXPECT_EQ(lender->Advance(U'W'), other->Advance(U'W'));
    EXPECT_TRUE(SameGlyph(lender->Glyph(U'Q'), other->Glyph(U'Q')));
    std::vector<TShapedGlyph> a, b;
    const std::u16string text = u"Wavy offices";
    lender->ShapeRun(text.data(), int32_t(text.size()), 0, int32_t(text.size()), false, a);
    other->ShapeRun(text.data(), int32_t(text.size()), 0, int32_t(text.size()), false, b);
    ASSERT_EQ(a.size(), b.size());
    for (size_t i = 0; i < a.size(); ++i)
        EXPECT_EQ(a[i].Advance, b[i].Advance);
    auto lock = LockFontFaces();
    EXPECT_EQ(face->size->metrics.x_ppem, 1);
    EXPECT_FALSE(AcquireFont(Req(kBuiltInFixedFontName, -23))->LendFace());
}

TEST(BuiltInFont, MetricsAreExactlyAsDocumented) {
    auto f = AcquireFont(Req(kBuiltInFixedFontName, -20));
    EXPECT_EQ(f->FamilyName(), kBuiltInFixedFontName);
    const TFontMetrics& m = f->Metrics();
    EXPECT_EQ(m.Ascent, 16);
    EXPECT_EQ(m.Descent, 4);
    EXPECT_EQ(m.Height, 20);
    EXPECT_EQ(m.InternalLeading, 0);
    EXPECT_EQ(m.ExternalLeading, 0);
    EXPECT_EQ(m.AveCharWidth, 10);
    EXPECT_EQ(m.MaxCharWidth, 10);
    EXPECT_EQ(m.UnderlinePosition, 2);
    EXPECT_EQ(m.UnderlineThickness, 1);
    EXPECT_EQ(m.StrikeOutPosition, 8);
    EXPECT_EQ(m.StrikeOutThickness, 1);
    for (char32_t c : {U'a', U'W', U' ', U'\t', char32_t(0x4E2D), U'\U0001F600'})
        EXPECT_EQ(f->Advance(c), 10);

    EXPECT_EQ(AcquireFont(Req(u"fixed metrics test", 10))->Metrics().Ascent, 8);
    EXPECT_EQ(AcquireFont(Req(kBuiltInFixedFontName, 0))->Metrics().Height, 16);
    EXPECT_EQ(AcquireFont(Req(kBuiltInFixedFontName, -1))->Advance(U'x'), 1);
    TFontRequest wide = Req(kBuiltInFixedFontName, -20);
    wide.Width = 7;
    EXPECT_EQ(AcquireFont(wide)->Advance(U'x'), 7);
    auto bold = AcquireFont(Req(kBuiltInFixedFontName, -20, 700, true));
    EXPECT_EQ(bold->Advance(U'x'), 10);
    EXPECT_EQ(bold->Metrics().Ascent, 16);
}

TEST(BuiltInFont, GlyphIsABoxInsideItsAdvance) {
    auto f = AcquireFont(Req(kBuiltInFixedFontName, -20));
    const TGlyphBitmap& g = f->Glyph(U'M');
    EXPECT_EQ(g.Left, 1);
    EXPECT_EQ(g.Width, 8);
    EXPECT_EQ(g.Top, 15);
    EXPECT_EQ(g.Height, 15);
    for (int32_t y = 0; y < g.Height; ++y)
        for (int32_t x = 0; x < g.Width; ++x) ASSERT_EQ(g.Coverage[y * g.Pitch + x], 255);
    EXPECT_FALSE(HasInk(f->Glyph(U' ')));
    EXPECT_FALSE(HasInk(f->Glyph(0xA0)));
    // Too narrow for a box inside the advance: nothing drawn.
    EXPECT_FALSE(HasInk(AcquireFont(Req(kBuiltInFixedFontName, -4))->Glyph(U'M')));
}

TEST(FontRequestLimits, AbsurdSizesAreClamped) {
    for (int32_t h : {INT32_MIN, -100000, 100000, INT32_MAX}) {
        auto f = AcquireFont(Req(u"Arial", h));
        EXPECT_GT(f->Metrics().Height, 0);
        EXPECT_LE(f->Metrics().Height, 2048 * 4);
        EXPECT_GT(f->Advance(U'a'), 0);
    }
}
