// The drawing-item list and its gap.

#include <gtest/gtest.h>

#include <random>
#include <vector>

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

// Inserts and deletes anywhere, and relayouts of ranges that give fewer or more drawing items
// than the range had, against a plain vector.
TEST(DrawLines, EditsAnywhereKeepTheOrderOfAPlainList) {
    std::mt19937 rng(5);
    TRVDrawLines lines;
    std::vector<int> model;
    int next = 0;
    auto expectSame = [&] {
        ASSERT_EQ(lines.Count(), int(model.size()));
        for (int i = 0; i < lines.Count(); ++i)
            ASSERT_EQ(lines[i]->ItemNo, model[size_t(i)]) << i;
        if (!model.empty()) {
            ASSERT_EQ(lines.Last()->ItemNo, model.back());
        }
    };
    for (int i = 0; i < 50; ++i) {
        lines.Add(Mark(next));
        model.push_back(next++);
    }
    for (int step = 0; step < 400; ++step) {
        const int n = int(model.size());
        const int op = int(rng() % 4);
        if (op == 0 || n < 4) {
            const int at = int(rng() % uint32_t(n + 1));
            lines.Insert(at, Mark(next));
            model.insert(model.begin() + at, next++);
        } else if (op == 1) {
            const int at = int(rng() % uint32_t(n));
            lines.Delete(at);
            model.erase(model.begin() + at);
        } else {
            // A range laid out again: its slots are refilled, then more are added or the rest
            // closed; now and then the layout takes back the last one it made.
            const int first = int(rng() % uint32_t(n - 2));
            const int last = first + int(rng() % uint32_t(std::min(6, n - first)));
            const int made = int(rng() % 12);
            lines.SetGap(first, last);
            model.erase(model.begin() + first, model.begin() + last + 1);
            bool tookBack = op == 2;
            for (int k = 0; k < made; ++k) {
                lines.Insert(first + k, Mark(next));
                model.insert(model.begin() + first + k, next++);
                ASSERT_EQ(lines[first + k]->ItemNo, model[size_t(first + k)]);
                if (!tookBack && k == made / 2) {
                    tookBack = true;
                    lines.Delete(first + k);
                    model.erase(model.begin() + first + k);
                    --k;
                }
            }
            lines.CloseGap();
        }
        expectSame();
        if (HasFatalFailure()) return;
    }
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
