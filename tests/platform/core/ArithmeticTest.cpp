#include "platform/core/Arithmetic.h"

#include <gtest/gtest.h>

#include "platform/core/Geometry.h"
#include "platform/core/Set.h"

using namespace epc;

TEST(MulDiv, RoundsHalvesAwayFromZero) {
    EXPECT_EQ(MulDiv(5, 3, 2), 8);
    EXPECT_EQ(MulDiv(-5, 3, 2), -8);
    EXPECT_EQ(MulDiv(5, -3, 2), -8);
    EXPECT_EQ(MulDiv(-5, -3, -2), -8);
    EXPECT_EQ(MulDiv(7, 1, 3), 2);
    EXPECT_EQ(MulDiv(8, 1, 3), 3);
    EXPECT_EQ(MulDiv(96, 600, 96), 600);
}

TEST(MulDiv, ZeroDivisorOrOverflowGivesMinusOne) {
    EXPECT_EQ(MulDiv(1, 1, 0), -1);
    EXPECT_EQ(MulDiv(0, 0, 0), -1);
    EXPECT_EQ(MulDiv(INT32_MAX, 2, 1), -1);
    EXPECT_EQ(MulDiv(INT32_MIN, 2, 1), -1);
    // The 64-bit product keeps an intermediate that 32 bits would lose.
    EXPECT_EQ(MulDiv(INT32_MAX, INT32_MAX, INT32_MAX), INT32_MAX);
    EXPECT_EQ(MulDiv(INT32_MIN, 1, 1), INT32_MIN);
}

TEST(Round, IsHalfToEven) {
    EXPECT_EQ(Round(2.5), 2);
    EXPECT_EQ(Round(3.5), 4);
    EXPECT_EQ(Round(-2.5), -2);
}

TEST(Rect, IntersectAndUnionFollowWin32) {
    TRect r;
    EXPECT_TRUE(IntersectRect(r, Rect(0, 0, 10, 10), Rect(5, 5, 20, 20)));
    EXPECT_EQ(r, Rect(5, 5, 10, 10));
    EXPECT_FALSE(IntersectRect(r, Rect(0, 0, 10, 10), Rect(10, 0, 20, 10)));
    EXPECT_EQ(r, TRect());
    EXPECT_TRUE(UnionRect(r, Rect(0, 0, 0, 0), Rect(1, 1, 2, 2)));
    EXPECT_EQ(r, Rect(1, 1, 2, 2));
    EXPECT_TRUE(PtInRect(Rect(0, 0, 2, 2), Point(1, 1)));
    EXPECT_FALSE(PtInRect(Rect(0, 0, 2, 2), Point(2, 1)));
}

enum class Fruit { Apple, Pear, Plum, Fig = 63 };

TEST(TSet, IncludesExcludesAndCombines) {
    TSet<Fruit> s{Fruit::Apple, Fruit::Fig};
    EXPECT_TRUE(s.Contains(Fruit::Fig));
    EXPECT_FALSE(s.Contains(Fruit::Pear));
    s.Include(Fruit::Pear).Exclude(Fruit::Apple);
    EXPECT_EQ(s, (TSet<Fruit>{Fruit::Pear, Fruit::Fig}));
    EXPECT_EQ((s | Fruit::Plum).Count(), 3);
    EXPECT_EQ(s & TSet<Fruit>{Fruit::Pear}, TSet<Fruit>{Fruit::Pear});
    EXPECT_TRUE((s - TSet<Fruit>{Fruit::Pear, Fruit::Fig}).Empty());
    EXPECT_EQ(TSet<Fruit>::FromBits(0b101).Bits(), 0b101u);
}
