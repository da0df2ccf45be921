// RVF header numbers at the edges of their ranges, and large documents loaded and inserted whole.

#include <gtest/gtest.h>

#include <climits>

#include "DocTestUtil.h"
#include "richtext/document/RVData.h"

using namespace epc;

namespace {

struct Doc {
    TRVStyle style{nullptr};
    TRVDocument data;
    Doc() {
        doctest::FillStyle(style);
        data.SetRVStyle(&style);
    }
};

bool Load(TCustomRVData& data, const std::string& rvf) {
    TStringStream ss(rvf);
    return data.LoadFromRvfStream(ss);
}

std::string Save(TCustomRVData& data, bool binary) {
    TRVFOptions o = data.GetRVFOptions();
    if (binary)
        o.Include(TRVFOption::rvfoSaveBinary);
    else
        o.Exclude(TRVFOption::rvfoSaveBinary);
    data.SetRVFOptions(o);
    TMemoryStream ms;
    data.SaveToRvfStream(ms, false);
    return ms.DataString();
}

} // namespace

TEST(RvfNumbers, HeaderFieldsAcceptTheirWholeRangeAndNothingMore) {
    struct Case {
        const char* Header;
        bool Ok;
    };
    const Case cases[] = {
        {"0 1 0 0 0 9223372036854775807 ", true},
        {"0 1 0 0 0 -9223372036854775808 ", true},
        {"0 1 0 0 0 9223372036854775808 ", false},   // one past the top
        {"0 1 0 0 0 -9223372036854775809 ", false},  // one past the bottom
        {"0 1 0 0 0 18446744073709551616 ", false},  // past 64 unsigned bits
        {"0 1 0 0 0 000000000000000000001 ", false}, // longer than any number
        {"00 1 0 0 0 0 ", true},                     // leading zeros are still numbers
        {"0 1 0 7 0 0 ", true},
        {"0 1 0 16 0 0 ", false}, // option bits
        {"0 1 0 0 3 0 ", false},  // body mode
        {"0 -1 0 0 0 0 ", false},
        {"- 1 0 0 0 0 ", false},
        {"+0 1 0 0 0 0 ", false},
        {"0 1 0 0 0x 0 ", false},
        {"0 1  0 0 0 0 ", false}, // two spaces
        {"2147483648 1 0 0 0 0 ", false},
        {"0 1 -2 0 0 0 ", false}, // paragraph below -1
    };
    for (const Case& c : cases) {
        Doc d;
        d.data.AddTextParagraph("keep", 0, 0, TRVTag());
        std::string before = doctest::Dump(d.data);
        TStringStream ss(std::string(c.Header) + "\r\nx\r\n");
        int index = 1, first, last;
        bool full;
        EXPECT_EQ(d.data.RvfReadLoop(ss, index, first, last, full), c.Ok) << c.Header;
        if (!c.Ok) {
            EXPECT_EQ(doctest::Dump(d.data), before) << c.Header;
        }
    }
    Doc d;
    ASSERT_TRUE(Load(d.data, "0 1 0 0 0 -9223372036854775808 \r\nx\r\n"));
    EXPECT_EQ(d.data.GetItem(0)->Tag.Number(), INTPTR_MIN);
}

TEST(RvfNumbers, ItemHeaderFieldsAreCountedAndRangeChecked) {
    // Break: none or exactly three numbers; runs of spaces between them are allowed.
    Doc d;
    ASSERT_TRUE(Load(d.data, "-1 1 0 0 0 0 255  3 1\r\nn\r\n-1 1 0 0 0 0 \r\nn\r\n"));
    auto* br = static_cast<TRVBreakItemInfo*>(d.data.GetItem(0));
    EXPECT_EQ(br->Color, 255);
    EXPECT_EQ(br->LineWidth, 3);
    EXPECT_EQ(int(br->Style), 1);
    const char* bad[] = {
        "-1 1 0 0 0 0 1 2 3 4\r\nn\r\n",              // a break with a fourth number
        "-1 1 0 0 0 0 1 256 0\r\nn\r\n",              // line width past a byte
        "-11 1 0 0 0 0 0 0 0 0 0 0 0 1 0 0\r\nn\r\n", // a marker with a tenth number
        "-11 1 0 0 0 0 0 0 0 0 0 999999999999 0 1 0\r\nn\r\n", // twelve digits
        "-11 1 0 0 0 0 0 0 0 0 0 99999999999 0 1 0\r\nn\r\n",  // past the list range
        "-11 1 0 0 0 0 0 0 0 0 0 0 0 1 -\r\nn\r\n",
        "-11 1 0 0 0 0 0 0 0 0 0 0 0 1 0x\r\nn\r\n",
        "-6 1 0 0 0 0 0 0 0 0 0 1\r\nn\r\n", // a bullet without its image-list tag
    };
    for (const char* input : bad) {
        Doc e;
        EXPECT_FALSE(Load(e.data, input)) << input;
        EXPECT_EQ(e.data.ItemCount(), 0) << input;
    }
    Doc m;
    ASSERT_TRUE(Load(m.data, "-11 1 0 0 0 0 0 0 0 0 0 0 2 -7 1\r\nn\r\n"));
    auto* marker = static_cast<TRVMarkerItemInfo*>(m.data.GetItem(0));
    EXPECT_EQ(marker->ListNo, 0);
    EXPECT_EQ(marker->Level, 2);
    EXPECT_EQ(marker->StartFrom, -7);
    EXPECT_TRUE(marker->Reset);
}

TEST(RvfNumbers, LargeDocumentsLoadWholeAndInsertInOrder) {
    // Thousands of items, so that the item list grows many times during one read.
    Doc src;
    for (int i = 0; i < 6000; ++i) {
        src.data.AddTextParagraph("item number " + std::to_string(i), i % 2, 0, TRVTag(i));
        if (i % 1000 == 0) src.data.AddBreak();
    }
    for (bool binary : {false, true}) {
        std::string rvf = Save(src.data, binary);
        Doc whole;
        ASSERT_TRUE(Load(whole.data, rvf));
        EXPECT_EQ(doctest::Dump(whole.data), doctest::Dump(src.data));

        Doc mid;
        mid.data.AddTextParagraph("A", 0, 0, TRVTag());
        mid.data.AddTextParagraph("B", 0, 0, TRVTag());
        TStringStream ss(rvf);
        int index = 1, first, last;
        bool full;
        ASSERT_TRUE(mid.data.RvfReadLoop(ss, index, first, last, full));
        ASSERT_EQ(mid.data.ItemCount(), src.data.ItemCount() + 2);
        EXPECT_EQ(mid.data.GetItemText(1), "item number 0");
        EXPECT_EQ(mid.data.GetItemText(mid.data.ItemCount() - 2), "item number 5999");
        EXPECT_EQ(mid.data.GetItemText(mid.data.ItemCount() - 1), "B");

        // A large load that fails at its very end leaves nothing behind.
        Doc bad;
        bad.data.AddTextParagraph("keep", 0, 0, TRVTag());
        EXPECT_FALSE(Load(bad.data, rvf + "0 1 0 0 1 0 \r\nQ\r\n"));
        EXPECT_EQ(bad.data.ItemCount(), 0); // a failed load leaves an empty document
        Doc badInsert;
        badInsert.data.AddTextParagraph("keep", 0, 0, TRVTag());
        std::string before = doctest::Dump(badInsert.data);
        TStringStream bs(rvf + "0 1 0 0 1 0 \r\nQ\r\n");
        index = 1;
        EXPECT_FALSE(badInsert.data.RvfReadLoop(bs, index, first, last, full));
        EXPECT_EQ(doctest::Dump(badInsert.data), before);
    }
}
