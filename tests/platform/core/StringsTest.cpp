#include "platform/core/Strings.h"

#include <gtest/gtest.h>

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
    SetACPForTesting(1251);
    EXPECT_EQ(AnsiToWide("\xC6"), u"\u0416");
    SetACPForTesting(1252);
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

TEST(Utf, ConversionsRoundTripAndRejectBadSequences) {
    std::u16string s = u"A\u00E9\u4E2D\U0001F600";
    EXPECT_EQ(Utf8ToUtf16(Utf16ToUtf8(s)), s);
    EXPECT_EQ(Utf8ToUtf16("\xC3"), u"\uFFFD");
    EXPECT_EQ(Utf8ToUtf16("a\xFFz"), u"a\uFFFDz");
    EXPECT_EQ(BytesToWide(WideToBytes(s)), s);
    EXPECT_EQ(BytesToWide(std::string_view("A\0B", 3)), u"A");
}

TEST(UpperCase, WideAndAnsi) {
    EXPECT_EQ(WideUpperCase(u"stra\u00DFe \u00E9\u0436"), u"STRA\u00DFE \u00C9\u0416");
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
