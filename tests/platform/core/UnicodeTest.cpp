#include "platform/core/Unicode.h"

#include <gtest/gtest.h>

#include <string>

using namespace epc;

TEST(Unicode, PropertiesComeFromTheLibrary) {
    using L = TUnicodeLineBreak;
    EXPECT_EQ(UnicodeLineBreakOf(U'a'), L::AL);
    EXPECT_EQ(UnicodeLineBreakOf(U' '), L::SP);
    EXPECT_EQ(UnicodeLineBreakOf(0x231A), L::ID);
    EXPECT_EQ(UnicodeLineBreakOf(0x30C3), L::CJ);
    EXPECT_EQ(UnicodeLineBreakOf(0x0E01), L::SA);
    EXPECT_EQ(UnicodeLineBreakOf(0x1F1E6), L::RI);
    EXPECT_EQ(UnicodeLineBreakOf(0x110000), L::XX); // past the code space
    EXPECT_TRUE(IsEastAsianWide(0xFF08));
    EXPECT_FALSE(IsEastAsianWide(U'('));
    EXPECT_TRUE(IsExtendedPictographic(0x231A));
    EXPECT_TRUE(IsUnassignedCodePoint(0x1FFFD));
    EXPECT_FALSE(IsUnassignedCodePoint(U'a'));
    EXPECT_TRUE(IsNonEnclosingMark(0x0E34));
    EXPECT_FALSE(IsNonEnclosingMark(0x20DD)); // an enclosing circle
    EXPECT_EQ(UnicodeToUpper(0x0436), char32_t(0x0416));
    EXPECT_EQ(UnicodeToLower(0x10400), char32_t(0x10428));
    EXPECT_EQ(UnicodeToUpper(0x00DF), char32_t(0x00DF)); // no one-to-one mapping
}

TEST(Unicode, CharactersBelowCombiningMarksStandAlone) {
    // The cluster search takes every code point below U+0300 as a cluster of its own (CR LF
    // apart) without reading properties; check that the library's properties agree: none of
    // them joins a following ideograph or is joined to a preceding one.
    for (char16_t c = 0; c < 0x0300; ++c) {
        std::u16string before{c, u'\u4E00'};
        std::u16string after{u'\u4E00', c};
        ASSERT_EQ(NextGraphemeBoundary(before, 0), 1u) << int(c);
        ASSERT_EQ(NextGraphemeBoundary(after, 0), 1u) << int(c);
        ASSERT_FALSE(IsGraphemeExtender(c)) << int(c);
    }
    EXPECT_EQ(NextGraphemeBoundary(u"\r\n", 0), 2u);
    EXPECT_EQ(NextGraphemeBoundary(u"\n\r", 0), 1u);
    EXPECT_EQ(PrevGraphemeBoundary(u"a\r\n", 3), 1u);
    EXPECT_EQ(PrevGraphemeBoundary(u"\r\n", 1), 0u);
    EXPECT_EQ(NextGraphemeBoundary(u"ab", 5), 2u);
    EXPECT_EQ(PrevGraphemeBoundary(u"", 0), 0u);
}
