#include "platform/core/Strings.h"

#include "platform/core/CoreState.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

using namespace epc;

TEST(CodePage, Windows1252EuroRoundTrips) {
    EXPECT_EQ(AnsiToWide("\x80", 1252), u"\u20AC");
    EXPECT_EQ(WideToAnsi(u"\u20AC", 1252), "\x80");
    EXPECT_EQ(AnsiToWide("caf\xE9", 1252), u"caf\u00E9");
}

TEST(CodePage, MissingCharacterBecomesQuestionMark) {
    bool usedDefault = false;
    EXPECT_EQ(WideToAnsi(u"a\u4E2Db", 1252, &usedDefault), "a?b");
    EXPECT_TRUE(usedDefault);
    // A surrogate pair is one character, so one '?'.
    EXPECT_EQ(WideToAnsi(u"x\U0001F600y", 1252), "x?y");
    EXPECT_EQ(WideToAnsi(u"\u0416", 1251), "\xC6");
    EXPECT_EQ(AnsiToWide("\xC6", 1251), u"\u0416");
}

TEST(CodePage, MultiByteCodePages) {
    std::u16string text = u"\u65E5\u672C";
    std::string sjis = WideToAnsi(text, 932);
    EXPECT_EQ(sjis.size(), 4u);
    EXPECT_EQ(AnsiToWide(sjis, 932), text);
    // A lone lead byte at the end does not crash and becomes '?'.
    EXPECT_EQ(AnsiToWide("a\x93", 932), u"a?");
}

TEST(CodePage, AcpIsSettableAndCharsetsMap) {
    EXPECT_EQ(GetACP(), 1252u);
    EXPECT_EQ(CharsetToCodePage(RUSSIAN_CHARSET), 1251u);
    EXPECT_EQ(CharsetToCodePage(DEFAULT_CHARSET), 1252u);
    TCoreScope core;
    core.SetAnsiCodePage(1251);
    EXPECT_EQ(AnsiToWide("\xC6"), u"\u0416");
}

TEST(CharNextW, StepsOverSurrogatePairsAndCombiningMarks) {
    std::u16string s = u"a\U0001F600e\u0301z";
    // a | U+1F600 (2 units) | e + combining acute | z
    EXPECT_EQ(CharNextW(s, 0), 1u);
    EXPECT_EQ(CharNextW(s, 1), 3u);
    EXPECT_EQ(CharNextW(s, 3), 5u);
    EXPECT_EQ(CharNextW(s, 5), 6u);
    EXPECT_EQ(CharNextW(s, 6), 6u);
    EXPECT_EQ(CharPrevW(s, 6), 5u);
    EXPECT_EQ(CharPrevW(s, 5), 3u);
    EXPECT_EQ(CharPrevW(s, 3), 1u);
    EXPECT_EQ(CharPrevW(s, 1), 0u);
    EXPECT_EQ(CharPrevW(s, 0), 0u);
}

TEST(CharNextW, StepsOverWholeGraphemeClusters) {
    // A family emoji joined by zero-width joiners, a flag of two regional indicators, a Hangul
    // syllable of three jamo, a hand with a skin tone, CR LF.
    std::u16string family = u"\U0001F468\u200D\U0001F469\u200D\U0001F467";
    std::u16string s =
        u"x" + family + u"\U0001F1E9\U0001F1EA\u1100\u1161\u11A8" + u"\U0001F44B\U0001F3FD\r\ny";
    std::vector<size_t> starts;
    for (size_t i = 0; i < s.size(); i = CharNextW(s, i))
        starts.push_back(i);
    EXPECT_EQ(starts, (std::vector<size_t>{0, 1, 9, 13, 16, 20, 22}));
    std::vector<size_t> back;
    for (size_t i = s.size(); i > 0;) {
        i = CharPrevW(s, i);
        back.insert(back.begin(), i);
    }
    EXPECT_EQ(back, starts);
    // From inside a cluster: forward to its end, back to its start.
    EXPECT_EQ(CharNextW(s, 3), 9u);
    EXPECT_EQ(CharPrevW(s, 3), 1u);
    EXPECT_EQ(CharPrevW(s, 99), 22u);
    // A joiner links two pictographs, also across a mark, but not a letter to a pictograph.
    EXPECT_EQ(CharNextW(u"\U0001F600\u0301\u200D\U0001F600!", 0), 6u);
    EXPECT_EQ(CharNextW(u"a\u200D\U0001F600", 0), 2u);
    EXPECT_EQ(CharPrevW(u"a\u200D\U0001F600", 4), 2u);
    // Three regional indicators: a flag and a lone one.
    EXPECT_EQ(CharPrevW(u"\U0001F1E9\U0001F1EA\U0001F1E9", 6), 4u);
    // A prepended sign joins the letter after it.
    EXPECT_EQ(CharNextW(u"\u0600\u0661x", 0), 2u);
    // Marks with no base before them make a character of their own.
    EXPECT_EQ(CharNextW(u"\u0301\u0302a", 0), 2u);
    EXPECT_EQ(CharPrevW(u"\u0301\u0302a", 2), 0u);
    // Unpaired surrogate halves are characters of their own.
    const char16_t lone[] = {0xDC00, 0xD800, u'a'};
    EXPECT_EQ(CharNextW(std::u16string_view(lone, 3), 0), 1u);
    EXPECT_EQ(CharNextW(std::u16string_view(lone, 3), 1), 2u);
    EXPECT_EQ(CharPrevW(std::u16string_view(lone, 2), 2), 1u);
}

TEST(CharNextW, MarksAreCombiningAndLettersAreNot) {
    EXPECT_TRUE(IsCombiningMark(0x0301));
    EXPECT_TRUE(IsCombiningMark(0x093F)); // a spacing vowel sign
    EXPECT_TRUE(IsCombiningMark(0x200D));
    EXPECT_TRUE(IsCombiningMark(0x1F3FB)); // a skin tone
    EXPECT_TRUE(IsCombiningMark(0xE0100));
    EXPECT_FALSE(IsCombiningMark(U'a'));
    EXPECT_FALSE(IsCombiningMark(0x4E00));
    EXPECT_FALSE(IsCombiningMark(0x1F600));
}

// The share of the Unicode grapheme test file's lines whose cluster starts CharNextW finds
// exactly; -1 without the file.
double GraphemeScore() {
    std::ifstream file("/usr/share/unicode/auxiliary/GraphemeBreakTest.txt");
    if (!file) return -1;
    int right = 0, total = 0;
    std::string line;
    while (std::getline(file, line)) {
        std::istringstream in(line.substr(0, line.find('#')));
        std::string token;
        std::u16string text;
        std::vector<size_t> expected;
        while (in >> token) {
            if (token == "\xC3\xB7") { // division sign: a boundary
                expected.push_back(text.size());
            } else if (token != "\xC3\x97") {
                char32_t c = char32_t(std::stoul(token, nullptr, 16));
                if (c >= 0x10000) {
                    text += char16_t(0xD800 + ((c - 0x10000) >> 10));
                    text += char16_t(0xDC00 + ((c - 0x10000) & 0x3FF));
                } else {
                    text += char16_t(c);
                }
            }
        }
        if (text.empty()) continue;
        std::vector<size_t> found{0};
        for (size_t i = 0; i < text.size();)
            found.push_back(i = CharNextW(text, i));
        ++total;
        if (found == expected) ++right;
    }
    return total ? double(right) / total : -1;
}

TEST(CharNextW, FollowsTheUnicodeGraphemeTestFile) {
    double score = GraphemeScore();
    if (score < 0) GTEST_SKIP() << "GraphemeBreakTest.txt is not installed";
    std::printf("grapheme score: %.2f%%\n", score * 100);
    // The library and the file may be a Unicode version apart.
    EXPECT_GE(score, 0.98);
}

TEST(Utf, ConversionsRoundTripAndRejectBadSequences) {
    std::u16string s = u"A\u00E9\u4E2D\U0001F600";
    EXPECT_EQ(Utf8ToUtf16(Utf16ToUtf8(s)), s);
    EXPECT_EQ(Utf8ToUtf16("\xC3"), u"\uFFFD");
    EXPECT_EQ(Utf8ToUtf16("a\xFFz"), u"a\uFFFDz");
    EXPECT_EQ(BytesToWide(WideToBytes(s)), s);
    EXPECT_EQ(BytesToWide(std::string_view("A\0B", 3)), u"A");
}

TEST(UpperCase, WideAndAnsi) {
    // One-to-one mappings only: the sharp s, which upper-cases to two letters, stays.
    EXPECT_EQ(WideUpperCase(u"stra\u00DFe \u00E9\u0436"), u"STRA\u00DFE \u00C9\u0416");
    EXPECT_EQ(WideUpperCase(u"\u03C3\u03C2\u01C6\u0561"), u"\u03A3\u03A3\u01C4\u0531");
    EXPECT_EQ(WideUpperCase(u"\U00010428x"), u"\U00010400X"); // beyond the BMP
    EXPECT_EQ(WideLowerCase(u"\u0130\u0416Q\U00010400"), u"i\u0436q\U00010428");
    EXPECT_EQ(AnsiUpperCase("\xE0\xFF", 1252), "\xC0\x9F"); // y with diaeresis upper-cases
    EXPECT_EQ(AnsiUpperCase("\xE6", 1251), "\xC6");
    EXPECT_EQ(AnsiUpperCase("caf\xE9", 1252), "CAF\xC9");
    std::u16string buf = u"abc";
    CharUpperBuffW(buf.data(), 2);
    EXPECT_EQ(buf, u"ABc");
}

TEST(Quoting, QuotedStringsRoundTrip) {
    EXPECT_EQ(AnsiQuotedStr("say \"hi\"", '"'), "\"say \"\"hi\"\"\"");
    std::string line = "\"a b\"\"c\" rest";
    size_t pos = 0;
    EXPECT_EQ(AnsiExtractQuotedStr(line, pos, '"'), "a b\"c");
    EXPECT_EQ(line.substr(pos), " rest");
    pos = 0;
    std::string unclosed = "\"abc";
    EXPECT_EQ(AnsiExtractQuotedStr(unclosed, pos, '"'), "abc");
    EXPECT_EQ(pos, unclosed.size());
    EXPECT_TRUE(SameText("Hello", "hELLO"));
    EXPECT_EQ(Trim("  x y \t"), "x y");
}
