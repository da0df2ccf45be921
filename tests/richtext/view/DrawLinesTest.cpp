// The drawing-item list, its gap, and line-break positions in Unicode text.

#include <gtest/gtest.h>

#include "richtext/view/RVLineBreak.h"
#include "tests/richtext/view/TestRVData.h"

namespace epc::test {
namespace {

TRVDrawLineInfo* Mark(int itemNo) {
    return TRVDrawLineInfo::CreateEx(0, 0, 1, 1, itemNo, true);
}

TEST(DrawLines, GapSlotsAreRefilledAndClosedInOneMove) {
    TRVDrawLines lines;
    for (int i = 0; i < 6; ++i)
        lines.Add(Mark(i));
    lines.SetGap(2, 4);
    EXPECT_EQ(lines.GapStart, 2);
    EXPECT_EQ(lines.GapCount, 3);
    EXPECT_EQ(lines.Count(), 6);
    lines.Insert(2, Mark(20));
    EXPECT_EQ(lines.GapStart, 3);
    EXPECT_EQ(lines.GapCount, 2);
    lines.Delete(2); // the slot before the gap joins it
    EXPECT_EQ(lines.GapStart, 2);
    EXPECT_EQ(lines.GapCount, 3);
    lines.Insert(2, Mark(21));
    lines.Insert(3, Mark(22));
    lines.CloseGap();
    EXPECT_EQ(lines.GapStart, -1);
    EXPECT_EQ(lines.GapCount, 0);
    ASSERT_EQ(lines.Count(), 5);
    const int items[] = {0, 1, 21, 22, 5};
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(lines[i]->ItemNo, items[i]);
    lines.Delete(0); // no gap: a plain delete
    EXPECT_EQ(lines.Count(), 4);
}

TEST(DrawLines, TextOfADrawingItemAndItsParts) {
    auto style = MakeFixedStyle();
    TTestRVData data(style.get());
    data.ClientWidth = 60;
    data.AddTextParagraph("aaaa bcdef", 0, 0, TRVTag());
    data.Format(false);
    ASSERT_EQ(data.DrawItems.Count(), 2);
    EXPECT_EQ(data.DrawItems.GetDrawItemText(1, &data), "bcdef");
    EXPECT_EQ(data.DrawItems.GetDrawItemTextPart(1, &data, 2, 3), "cde");
    EXPECT_EQ(data.DrawItems.GetDrawItemTextPart(1, &data, 4, 10), "ef"); // cut at the end
    EXPECT_EQ(data.DrawItems.GetDrawItemTextPart(1, &data, 6, 1), "");

    style->TextStyles.GetItem(0).Unicode = true;
    TTestRVData wide(style.get());
    wide.AddTextParagraphW(u"x\u00e9yz", 0, 0, TRVTag());
    wide.Format(false);
    EXPECT_EQ(wide.DrawItems.GetDrawItemTextPart(0, &wide, 2, 2), std::string("\xe9\0y\0", 4));
}

int Break(const std::u16string& s, int index) {
    return RVFindLineBreakPos(s.data(), int(s.size()), index);
}

TEST(LineBreak, SpacesAndClassPairsGiveBreakPositions) {
    EXPECT_EQ(Break(u"abc def", 6), 3);              // the space
    EXPECT_EQ(Break(u"abcdef", 5), -1);              // letters hold together
    EXPECT_EQ(Break(u"well-known", 7), 5);           // after a hyphen
    EXPECT_EQ(Break(u"a (b)", 4), 1);                // only at the space: "(b" holds
    EXPECT_EQ(Break(u"end.)x", 5), -1);              // closing punctuation stays with its word
    EXPECT_EQ(Break(u"\u6f22\u5b57\u6f22", 2), 2);   // between ideographs
    EXPECT_EQ(Break(u"\u6f22\u3002\u5b57", 1), -1);  // never before an ideographic full stop
    EXPECT_EQ(Break(u"ab\u00a0cd", 4), -1);          // no-break space glues
    EXPECT_EQ(Break(u"ab\u200bcd", 4), 3);           // zero-width space allows a break after it
    EXPECT_EQ(Break(u"e\u0301\u6f22", 2), 2);        // a combining mark takes its base's class
    EXPECT_EQ(Break(u"\u6f22e\u0301", 2), 1);        // never between a letter and its mark
    EXPECT_EQ(Break(u"\U00020000\U00020001", 3), 2); // ideographs beyond the BMP, not in a pair
    EXPECT_EQ(Break(u"abc", 99), -1);
    EXPECT_EQ(Break(u"", 0), -1);
}

TEST(LineBreak, ClassesOfCommonCharacters) {
    using C = TRVLineBreakClass;
    EXPECT_EQ(RVLineBreakClassOf(U'a'), C::lbAL);
    EXPECT_EQ(RVLineBreakClassOf(U'7'), C::lbNU);
    EXPECT_EQ(RVLineBreakClassOf(U'('), C::lbOP);
    EXPECT_EQ(RVLineBreakClassOf(U'\u3001'), C::lbCL);
    EXPECT_EQ(RVLineBreakClassOf(U'\u30c3'), C::lbNS);
    EXPECT_EQ(RVLineBreakClassOf(U'\u2014'), C::lbB2);
    EXPECT_TRUE(RVLineBreakAllowed(C::lbID, C::lbID));
    EXPECT_FALSE(RVLineBreakAllowed(C::lbB2, C::lbB2));
    EXPECT_FALSE(RVLineBreakAllowed(C::lbAL, C::lbNU));
    EXPECT_TRUE(RVLineBreakAllowed(C::lbBA, C::lbAL));
}

} // namespace
} // namespace epc::test
