#include "platform/core/KeyChars.h"

#include <gtest/gtest.h>

using namespace epc;

TEST(KeyChars, FollowTheLayoutCodePageBothWays) {
    // The same byte is a different letter under a Western and a Cyrillic layout.
    EXPECT_EQ(KeyCharsToWide("\xE9", 1252), u"\u00E9");
    EXPECT_EQ(KeyCharsToWide("\xE9", 1251), u"\u0439");
    EXPECT_EQ(WideToKeyChars(u"\u0439", 1251), "\xE9");
    EXPECT_EQ(WideToKeyChars(u"\u00E9", 1252), "\xE9");
}

TEST(KeyChars, CharacterTheLayoutLacksBecomesQuestionMark) {
    EXPECT_EQ(WideToKeyChars(u"\u0439", 1252), "?");
    EXPECT_EQ(KeyCharsToWide(WideToKeyChars(u"a\u4E2D", 1252), 1252), u"a?");
}

TEST(KeyChars, DefaultIsTheKeyboardLayoutCodePage) {
    const uint32_t layout = GetKeyboardLayoutCodePage();
    EXPECT_EQ(KeyCharsToWide("\x80\xE9"), KeyCharsToWide("\x80\xE9", layout));
    EXPECT_EQ(WideToKeyChars(u"\u20AC\u0439"), WideToKeyChars(u"\u20AC\u0439", layout));
}
