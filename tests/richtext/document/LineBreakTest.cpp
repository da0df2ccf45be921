// Line-break positions in UTF-16 text: spaces, the pair table of line-breaking classes,
// surrogate pairs, combining marks and the bounds of the search.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "richtext/document/RVLineBreak.h"
#include "richtext/document/RVUni.h"

using namespace epc;

namespace {

int Break(const std::u16string& s, int index) {
    return FindLineBreakPosW(s.data(), int(s.size()), index);
}

TEST(LineBreak, SpacesBreakAndTheLineEndsBeforeThem) {
    EXPECT_EQ(Break(u"one two three", 9), 7); // the nearest space at or before the index
    EXPECT_EQ(Break(u"one two three", 7), 7);
    EXPECT_EQ(Break(u"one two three", 2), -1);
    EXPECT_EQ(Break(u" abc", 3), 0); // a leading space is a break position too
    // Directly after a space the answer is the space, not the next character.
    EXPECT_EQ(Break(u"a \u6f22", 2), 1);
    EXPECT_EQ(Break(u"a (b)", 4), 1); // "(b" holds together
}

TEST(LineBreak, PairsOfClassesDecideBetweenTouchingCharacters) {
    EXPECT_EQ(Break(u"abcdef", 5), -1);             // letters hold together
    EXPECT_EQ(Break(u"well-known", 8), 5);          // after a hyphen
    EXPECT_EQ(Break(u"end.)x", 5), -1);             // closing punctuation stays with its word
    EXPECT_EQ(Break(u"\u4e00\u4e8c\u4e09", 2), 2);  // between ideographs
    EXPECT_EQ(Break(u"\u6f22\u3002\u5b57", 1), -1); // never before an ideographic full stop
    EXPECT_EQ(Break(u"\u6f22\u30c3", 1), -1);       // nor before a small kana
    EXPECT_EQ(Break(u"ab\u00a0cd", 4), -1);         // a no-break space glues
    EXPECT_EQ(Break(u"ab\u200bcd", 4), 3);          // a zero-width space breaks after it
    EXPECT_EQ(Break(u"\u6f22\u3000\u5b57", 2), 2);  // an ideographic space breaks after it,
    EXPECT_EQ(Break(u"\u6f22\u3000\u5b57", 1), -1); // not before it
    EXPECT_EQ(Break(u"a\tb", 2), 2);                // so does a tab
    EXPECT_EQ(Break(u"ab\ncd", 4), 3);              // after a mandatory break
    EXPECT_EQ(Break(u"\u2014\u2014", 1), -1);       // two dashes stay together
}

TEST(LineBreak, SurrogatePairsAndCombiningMarksAreNeverSplit) {
    EXPECT_EQ(Break(u"\U00020000\U00020001", 3), 2);   // ideographs beyond the BMP: not in a pair
    EXPECT_EQ(Break(u"ab\U0001F600", 3), 2);           // an index on the low half moves back
    EXPECT_EQ(Break(u"e\u0301\u6f22", 2), 2);          // a mark takes its base's class
    EXPECT_EQ(Break(u"\u6f22e\u0301", 2), 1);          // never between a letter and its mark
    EXPECT_EQ(Break(u"\u6f22\U000E0100\u5b57", 3), 3); // a mark beyond the BMP
    EXPECT_EQ(Break(u"a \u0301b", 3), 1);              // a mark after a space: the space breaks
    EXPECT_EQ(Break(u"a\u200b\u0301", 2), 2);          // a mark with nothing to stay with
    // Unpaired halves are ordinary characters, read without running past the text.
    const char16_t lone[] = {u'a', 0xDC00, u'b', 0xD83D};
    EXPECT_EQ(FindLineBreakPosW(lone, 4, 3), -1);
    const char16_t high[] = {0x6f22, 0xD83D};
    EXPECT_EQ(FindLineBreakPosW(high, 2, 1), 1); // a letter-like character after an ideograph
}

TEST(LineBreak, BoundsOfTheSearch) {
    EXPECT_EQ(Break(u"abc", 99), -1);
    EXPECT_EQ(Break(u"ab c", 99), 2); // searches from the last character
    EXPECT_EQ(Break(u" ab", -1), -1);
    EXPECT_EQ(Break(u"", 0), -1);
    EXPECT_EQ(FindLineBreakPosW(nullptr, 5, 2), -1);
    EXPECT_EQ(Break(u"\u6f22\u5b57", 0), -1); // never a class break before the first character
}

TEST(LineBreak, RandomTextNeverBreaksInsideACharacter) {
    // Letters, spaces, ideographs, marks, glue, punctuation and both surrogate halves, paired
    // or not: every answer lies in the searched range and starts a whole character.
    const char16_t pool[] = {u'a',   u' ',   0x6f22, 0x0301, 0x00a0, u'(', u')',  u'-',
                             0x200b, 0x3002, u'\n',  0xD840, 0xDC00, u'7', 0x2014};
    std::mt19937 rng(7);
    for (int round = 0; round < 2000; ++round) {
        std::u16string s(rng() % 9, u'a');
        for (char16_t& c : s)
            c = pool[rng() % std::size(pool)];
        const int len = int(s.size());
        for (int index = -1; index <= len + 1; ++index) {
            int r = FindLineBreakPosW(s.data(), len, index);
            if (r < 0) continue;
            ASSERT_LE(r, std::min(index, len - 1)) << round;
            if (s[r] == u' ') continue;
            ASSERT_GT(r, 0);
            EXPECT_FALSE(s[r] >= 0xDC00 && s[r] <= 0xDFFF && s[r - 1] >= 0xD800 &&
                         s[r - 1] <= 0xDBFF);
            EXPECT_TRUE(s[r] != 0x0301 || s[r - 1] == 0x200b || s[r - 1] == u'\n');
            EXPECT_NE(s[r - 1], u' '); // that break is reported as the space itself
        }
    }
}

// Every position between two characters where a line may break.
std::vector<int> BreaksIn(const std::u16string& s) {
    std::vector<int> out;
    for (int i = 1; i < int(s.size()); ++i)
        if (Break(s, i) == i) out.push_back(i);
    return out;
}

using Positions = std::vector<int>;

TEST(LineBreak, PictographsKoreanAndObjectsBreakLikeIdeographs) {
    EXPECT_EQ(BreaksIn(u"a\u231Ab"), (Positions{1, 2}));              // a watch between letters
    EXPECT_EQ(BreaksIn(u"ok\U0001F600!"), (Positions{2}));            // not before the mark
    EXPECT_EQ(BreaksIn(u"a\uFFFCb"), (Positions{1, 2}));              // an embedded object
    EXPECT_EQ(BreaksIn(u"\uAC00\uAC01"), (Positions{1}));             // two Hangul syllables
    EXPECT_EQ(BreaksIn(u"\u1100\u1161\u11A8\u1100"), (Positions{3})); // jamo make one block
    EXPECT_EQ(BreaksIn(u"\u0E01\u0E34\u0E02"), (Positions{}));        // Thai letters and marks
    EXPECT_EQ(BreaksIn(u"\u6F22\u3041"), (Positions{}));              // a small kana starts no line
}

TEST(LineBreak, NumbersHoldTogetherWithTheirSignsAndSeparators) {
    EXPECT_EQ(BreaksIn(u"$(12.50)%"), (Positions{}));
    EXPECT_EQ(BreaksIn(u"-1,000.5\u20AC"), (Positions{}));
    EXPECT_EQ(BreaksIn(u"$(a"), (Positions{1})); // the bracket opens no number
    EXPECT_EQ(BreaksIn(u"x/5"), (Positions{2})); // a slash with no digit before it
    EXPECT_EQ(BreaksIn(u"1/5"), (Positions{}));
    EXPECT_EQ(BreaksIn(u"a)%"), (Positions{2})); // a sign after a bracket, no number
    EXPECT_EQ(BreaksIn(u"1)%"), (Positions{}));
    EXPECT_EQ(BreaksIn(u"\u0661\u0662"), (Positions{})); // Arabic-Indic digits
}

TEST(LineBreak, BracketsHyphensJoinersFlagsAndModifiers) {
    EXPECT_EQ(BreaksIn(u"f(x)"), (Positions{}));
    EXPECT_EQ(BreaksIn(u"a\uFF08b\uFF09c"), (Positions{1, 4})); // wide brackets break outside
    EXPECT_EQ(BreaksIn(u"\u05D0-\u05D1"), (Positions{}));       // a Hebrew hyphen holds
    EXPECT_EQ(BreaksIn(u"a-b"), (Positions{2}));
    EXPECT_EQ(BreaksIn(u"\u6F22\u200D\u5B57"), (Positions{})); // nothing after a joiner
    // Regional indicators pair up into flags from the start of their run.
    EXPECT_EQ(BreaksIn(u"\U0001F1E6\U0001F1E8\U0001F1E6\U0001F1E8\U0001F1E6"), (Positions{4, 8}));
    EXPECT_EQ(BreaksIn(u"\U0001F466\U0001F3FB\U0001F466"), (Positions{4})); // skin tone
    EXPECT_EQ(BreaksIn(u"\U0001FFFD\U0001F3FB"), (Positions{})); // an unassigned pictograph
    EXPECT_EQ(BreaksIn(u"\u231A\U0001F3FB"), (Positions{1}));    // an assigned one
    EXPECT_EQ(BreaksIn(u"\"\u6F22\"("), (Positions{}));          // quotes hold both sides
}

TEST(LineBreak, ClassesOfCommonCharacters) {
    using C = TRVLineBreakClass;
    EXPECT_EQ(RVLineBreakClassOf(U'a'), C::lbAL);
    EXPECT_EQ(RVLineBreakClassOf(U'7'), C::lbNU);
    EXPECT_EQ(RVLineBreakClassOf(U'('), C::lbOP);
    EXPECT_EQ(RVLineBreakClassOf(U' '), C::lbSP);
    EXPECT_EQ(RVLineBreakClassOf(U'\t'), C::lbBA);
    EXPECT_EQ(RVLineBreakClassOf(U'\u3000'), C::lbBA);
    EXPECT_EQ(RVLineBreakClassOf(U'\u00a0'), C::lbGL);
    EXPECT_EQ(RVLineBreakClassOf(U'\u3001'), C::lbCL);
    EXPECT_EQ(RVLineBreakClassOf(U'\u30c3'), C::lbNS);
    EXPECT_EQ(RVLineBreakClassOf(U'\u2014'), C::lbB2);
    EXPECT_EQ(RVLineBreakClassOf(U'\U00020000'), C::lbID);
    EXPECT_TRUE(RVLineBreakAllowed(C::lbID, C::lbID));
    EXPECT_FALSE(RVLineBreakAllowed(C::lbB2, C::lbB2));
    EXPECT_FALSE(RVLineBreakAllowed(C::lbAL, C::lbNU));
    EXPECT_TRUE(RVLineBreakAllowed(C::lbBA, C::lbAL));
    EXPECT_FALSE(RVLineBreakAllowed(C::lbAL, C::lbBK)); // the break itself ends the line
}

} // namespace

namespace {

// One line of the Unicode line-breaking test file: the text and, for every position between
// two of its code points (in UTF-16 units), whether a line may break there.
struct TBreakCase {
    std::u16string Text;
    std::vector<std::pair<int, bool>> Positions;
    bool HasSpaceOrMandatoryBreak = false;
};

bool ParseBreakCase(const std::string& line, TBreakCase& out) {
    std::string body = line.substr(0, line.find('#'));
    std::istringstream in(body);
    std::string token;
    out = TBreakCase();
    bool first = true;
    bool pendingBreak = false;
    while (in >> token) {
        if (token == "\xC3\xB7" || token == "\xC3\x97") { // division sign, multiplication sign
            pendingBreak = token == "\xC3\xB7";
            continue;
        }
        char32_t c = char32_t(std::stoul(token, nullptr, 16));
        if (c == 0x20 || c == 0x0A || c == 0x0B || c == 0x0C || c == 0x0D || c == 0x85 ||
            c == 0x2028 || c == 0x2029)
            out.HasSpaceOrMandatoryBreak = true;
        if (!first) out.Positions.emplace_back(int(out.Text.size()), pendingBreak);
        first = false;
        if (c >= 0x10000) {
            out.Text += char16_t(0xD800 + ((c - 0x10000) >> 10));
            out.Text += char16_t(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            out.Text += char16_t(c);
        }
    }
    return !first;
}

// The share of positions the breaker answers right on the test file's lines that hold no
// space and no mandatory break (spaces follow the layout's own rule); -1 without the file.
double ScoreAgainstTestFile(int* failuresShown) {
    std::ifstream file("/usr/share/unicode/auxiliary/LineBreakTest.txt");
    if (!file) return -1;
    int64_t right = 0, total = 0;
    std::string line;
    TBreakCase c;
    while (std::getline(file, line)) {
        if (!ParseBreakCase(line, c) || c.HasSpaceOrMandatoryBreak) continue;
        for (auto [pos, expected] : c.Positions) {
            bool actual = FindLineBreakPosW(c.Text.data(), int(c.Text.size()), pos) == pos;
            ++total;
            if (actual == expected) {
                ++right;
            } else if (failuresShown && *failuresShown > 0) {
                --*failuresShown;
                std::printf("at %d: %s\n", pos, line.c_str());
            }
        }
    }
    if (std::getenv("EPC_SHOW_LINEBREAK_FAILURES"))
        std::printf("%lld of %lld positions\n", (long long)right, (long long)total);
    return total ? double(right) / double(total) : -1;
}

TEST(LineBreak, FollowsTheUnicodeTestFileBetweenNonSpaces) {
    int shown = std::getenv("EPC_SHOW_LINEBREAK_FAILURES") ? 200 : 0;
    double score = ScoreAgainstTestFile(&shown);
    if (score < 0) GTEST_SKIP() << "LineBreakTest.txt is not installed";
    std::printf("line-break score: %.2f%%\n", score * 100);
    EXPECT_GE(score, 0.97);
}

} // namespace
