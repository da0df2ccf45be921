// The drawing-item list and its gap.

#include <gtest/gtest.h>

#include "tests/richtext/view/TestRVData.h"

namespace epc::test {
namespace {

std::unique_ptr<TRVDrawLineInfo> Mark(int itemNo) {
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

TEST(DrawLines, ItemsBeyondTheGapAreReadInPlaceUntilTheGapCloses) {
    TRVDrawLines lines;
    for (int i = 0; i < 6; ++i)
        lines.Add(Mark(i));
    lines.SetGap(2, 3);
    for (int i = 0; i < 5; ++i)
        lines.Insert(2 + i, Mark(20 + i));
    auto expectItems = [&](std::vector<int> items) {
        ASSERT_EQ(lines.Count(), int(items.size()));
        for (int i = 0; i < lines.Count(); ++i)
            EXPECT_EQ(lines[i]->ItemNo, items[size_t(i)]) << i;
        EXPECT_EQ(lines.Last()->ItemNo, items.back());
    };
    expectItems({0, 1, 20, 21, 22, 23, 24, 4, 5});
    lines.Delete(6); // the last one laid out goes
    lines.Insert(6, Mark(25));
    expectItems({0, 1, 20, 21, 22, 23, 25, 4, 5});
    lines.CloseGap();
    expectItems({0, 1, 20, 21, 22, 23, 25, 4, 5});
    lines.Insert(9, Mark(6)); // no gap: a plain insert
    expectItems({0, 1, 20, 21, 22, 23, 25, 4, 5, 6});
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

} // namespace
} // namespace epc::test
