// What the RVF reader accepts and what it leaves behind: style tables that arrive late or
// broken, failures (raised or returned) in the middle of a pass, declared sizes larger than
// the input, and the first record of a saved selection.

#include <gtest/gtest.h>

#include <new>

#include "DocTestUtil.h"
#include "LargestAllocation.h"
#include "platform/core/Strings.h"
#include "richtext/document/RVData.h"

using namespace epc;
using namespace std::string_literals;

namespace {

struct Doc {
    TRVStyle style{nullptr};
    TRVDocument data;
    explicit Doc(bool stringTags = false) {
        doctest::FillStyle(style);
        data.SetRVStyle(&style);
        if (stringTags) data.SetOptions(TRVOptions{TRVOption::rvoTagsArePChars});
    }
};

bool Load(TCustomRVData& data, const std::string& rvf) {
    TStringStream ss(rvf);
    return data.LoadFromRvfStream(ss);
}

bool Insert(TCustomRVData& data, const std::string& rvf, int index = 1) {
    TStringStream ss(rvf);
    int first, last;
    bool full;
    return data.RvfReadLoop(ss, index, first, last, full);
}

// The sheet as text, to see that a failed pass left it as it was.
std::string SheetText(TRVDocument& data) {
    TRVFOptions o = data.GetRVFOptions();
    TRVDocument empty;
    empty.SetRVStyle(data.GetRVStyle());
    empty.SetRVFOptions(o);
    TMemoryStream ms;
    empty.SaveToRvfStream(ms, false);
    return ms.DataString();
}

std::string Base64Decode(const std::string& in) {
    static const std::string digits =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    unsigned bits = 0;
    int count = 0;
    for (char c : in) {
        size_t v = digits.find(c);
        if (v == std::string::npos) continue;
        bits = bits << 6 | unsigned(v);
        count += 6;
        if (count >= 8) {
            count -= 8;
            out += char((bits >> count) & 0xFF);
        }
    }
    return out;
}

} // namespace

// A fuzzer's find: a text-style table after the items replaced the sheet with an empty one and
// the loaded item pointed past it, so the saved document did not load again.
TEST(RvfStyleTables, LateEmptyTableFailsTheLoadAndChangesNothing) {
    const std::string input = Base64Decode(
        "LTIgMCB0ZXh0c3R5bHNlIDAgMCAwIHQgbnByb3QzMiE4MDNERDgwMjBERQ0KMiAxIDAgMSAwIDAgDQpsaW5rDQ"
        "otMiAwIHRleHRzdHlsZXMgMCAwIDAgdHN0eWxlcyAwIDAgMCB0aW5rMSArMQAAAAAgMNxc3HQ9MQ==");
    ASSERT_NE(input.find("textstyles"), std::string::npos);
    for (bool stringTags : {false, true}) {
        Doc d(stringTags);
        std::string sheet = SheetText(d.data);
        EXPECT_FALSE(Load(d.data, input));
        EXPECT_EQ(d.data.ItemCount(), 0);
        EXPECT_EQ(SheetText(d.data), sheet);
        // Inserting keeps the sheet's styles and maps the stored ones onto them.
        d.data.AddTextParagraph("keep", 3, 1, TRVTag());
        ASSERT_TRUE(Insert(d.data, input, 0));
        EXPECT_EQ(SheetText(d.data), sheet);
        EXPECT_EQ(d.data.GetItemText(0), "link");
        EXPECT_LT(d.data.GetItemStyleNo(0), d.style.TextStyles.Count());
    }
    // After an empty stored table no stored style is left for an inserted item to be.
    Doc d;
    d.data.AddTextParagraph("keep", 0, 0, TRVTag());
    EXPECT_FALSE(Insert(d.data, "-2 0 textstyles 0 0 0 \r\n1 1 0 0 0 0 \r\nx\r\n"));
    EXPECT_FALSE(Insert(d.data, "-2 0 parastyles 0 0 0 \r\n1 1 0 0 0 0 \r\nx\r\n"));
    EXPECT_EQ(d.data.ItemCount(), 1);
}

TEST(RvfStyleTables, ATableAfterTheItemsMustKeepEveryStyleTheyUse) {
    const std::string item = "1 1 1 0 0 0 \r\nx\r\n";
    const std::string marker = "-11 1 0 0 0 0 0 1 0 0 0 0 0 0 1 0\r\n\r\n";
    const std::string twoText = "-2 2 textstyles 0 0 0 \r\ntext\r\ntext name=\"B\"\r\n";
    const std::string oneText = "-2 1 textstyles 0 0 0 \r\ntext\r\n";
    const std::string onePara = "-2 1 parastyles 0 0 0 \r\npara\r\n";
    const std::string noLists = "-2 0 liststyles 0 0 0 \r\n";
    {
        Doc d;
        ASSERT_TRUE(Load(d.data, item + twoText));
        EXPECT_EQ(d.style.TextStyles.Count(), 2);
        EXPECT_EQ(d.style.TextStyles[1].StyleName, "B");
        EXPECT_EQ(d.data.GetItemStyleNo(0), 1);
    }
    for (const std::string& input :
         {item + oneText, item + onePara, marker + noLists, "-2 0 textstyles 0 0 0 \r\n" + item,
          "-2 0 parastyles 0 0 0 \r\n" + item}) {
        Doc d;
        // Not even unknown styles taken as the first: a table without styles has no first.
        d.data.SetRVFOptions(d.data.GetRVFOptions() | TRVFOption::rvfoConvUnknownStylesToZero);
        std::string sheet = SheetText(d.data);
        EXPECT_FALSE(Load(d.data, input)) << input;
        EXPECT_EQ(SheetText(d.data), sheet) << input;
    }
}

TEST(RvfStyleTables, TablesCutShortOrBrokenFailAndLeaveTheSheet) {
    const std::vector<std::string> bad = {
        "-2 3 textstyles 0 0 0 \r\ntext\r\ntext\r\n",          // fewer lines than declared
        "-2 2 textstyles 0 0 0 \r\ntext\r\npara\r\n",          // a line of another table
        "-2 1 textstyles 0 0 0 \r\ntext size=big\r\n",         // not a number
        "-2 1 textstyles 0 0 0 \r\ntext name=unquoted\r\n",    // names are quoted
        "-2 1 parastyles 0 0 0 \r\npara left\r\n",             // no value
        "-2 2 liststyles 0 0 0 \r\nlist levels=1\r\nlist\r\n", // a list where a level belongs
        "-2 1 layout 0 0 0 \r\nlayout min=-1\r\n",             // out of range
    };
    for (const std::string& input : bad) {
        Doc d;
        d.style.TextStyles[0].FontName = "Mine";
        d.data.AddTextParagraph("keep", 0, 0, TRVTag());
        std::string before = doctest::Dump(d.data), sheet = SheetText(d.data);
        // A good table first: the broken one after it must take that one back out too.
        std::string rvf = "-2 1 textstyles 0 0 0 \r\ntext size=99\r\n0 1 0 0 0 0 \r\nx\r\n" + input;
        EXPECT_FALSE(Insert(d.data, rvf)) << input;
        EXPECT_EQ(doctest::Dump(d.data), before) << input;
        EXPECT_EQ(SheetText(d.data), sheet) << input;
        EXPECT_FALSE(Load(d.data, rvf)) << input;
        EXPECT_EQ(SheetText(d.data), sheet) << input;
    }
    // Without a sheet the tables are still read through.
    TRVDocument bare;
    EXPECT_FALSE(Load(bare, bad[2]));
    EXPECT_TRUE(Load(bare, "-2 1 textstyles 0 0 0 \r\ntext size=9\r\n0 1 0 0 0 0 \r\nx\r\n"));
}

TEST(RvfStyleTables, DuplicateParagraphNamesAreStoredByNumber) {
    Doc src;
    src.style.ParaStyles.Add().StyleName = "Boxed"; // the name of style 1 again
    src.data.SetRVFOptions(src.data.GetRVFOptions() | TRVFOption::rvfoUseStyleNames);
    src.data.AddTextParagraph("first", 0, 1, TRVTag());
    src.data.AddTextParagraph("second", 0, 2, TRVTag());
    TMemoryStream ms;
    src.data.SaveToRvfStream(ms, false);
    Doc dst;
    ASSERT_TRUE(Load(dst.data, ms.DataString()));
    EXPECT_EQ(dst.data.GetItemParaNo(0), 1);
    EXPECT_EQ(dst.data.GetItemParaNo(1), 2);
    EXPECT_NE(ms.DataString().find("0 1 \"Boxed\" 0"), std::string::npos);
}

// Handlers of the insertion notifications run while the read items are put into the document;
// one that raises takes the whole pass back out, and only the reader's own errors turn into a
// false result.
TEST(RvfCommit, ARaisingHandlerLeavesTheDocumentAndSheetAsTheyWere) {
    Doc src;
    src.style.TextStyles[1].Size = 33; // a style the target sheet lacks
    doctest::FillDocument(src.data, false);
    TMemoryStream ms;
    src.data.SaveToRvfStream(ms, false);
    const std::string rvf = ms.DataString();

    for (bool outOfMemory : {false, true}) {
        for (TRVItemAction when : {rviaInserting, rviaInserted}) {
            Doc d;
            d.data.AddTextParagraph("A", 0, 0, TRVTag());
            d.data.AddTextParagraph("B", 0, 0, TRVTag());
            d.data.SetParagraphMarker(1, 0, 0, 1, false);
            std::string before = doctest::Dump(d.data), sheet = SheetText(d.data);
            int calls = 0;
            d.data.OnItemAction = [&](TCustomRVData*, TRVItemAction action, TCustomRVItemInfo*,
                                      std::string&, TCustomRVData*) {
                if (action == when && ++calls == 5) {
                    if (outOfMemory) throw std::bad_alloc();
                    throw EAbort("stop");
                }
            };
            TStringStream ss(rvf);
            int index = 1, first, last;
            bool full;
            if (outOfMemory)
                EXPECT_THROW(d.data.RvfReadLoop(ss, index, first, last, full), std::bad_alloc);
            else
                EXPECT_FALSE(d.data.RvfReadLoop(ss, index, first, last, full));
            d.data.OnItemAction = nullptr;
            EXPECT_EQ(doctest::Dump(d.data), before);
            EXPECT_EQ(SheetText(d.data), sheet);
        }
    }
}

TEST(RvfSizes, DeclaredSizesNeverOutgrowTheInput) {
    const std::vector<std::string> inputs = {
        "0 1 0 0 2 0 \r\n\xFF\xFF\xFF\x7F"s,                                // text body
        "-3 3 0 0 2 0 0 1 0 0 0 0 0\r\nn\r\nTBitmap\r\n\xFF\xFF\xFF\x7F"s,  // picture body
        "-5 3 0 0 2 0 0 1 0 0 0 0 0\r\nn\r\nTControl\r\n\xFF\xFF\xFF\x7F"s, // control body
        "-2 2 background 0 2 0 0 1\r\nTBitmap\r\n\xFF\xFF\xFF\x7F"s,        // background
        "-2 2147483647 textstyles 0 0 0 \r\ntext\r\n",                      // line count
        "-2 2147483647 liststyles 0 0 0 \r\nlist levels=255\r\nlevel\r\n",  // level count
        "-2 2147483647 unknown 0 0 0 \r\n\r\n",
        "-3 2147483647 0 0 1 0 0 1 0 0 0 0 0\r\nn\r\n",
        "0 2147483647 0 0 0 0 \r\nx\r\n",
    };
    {
        doctest::LargestAllocation largest;
        std::string big(size_t(2) << 20, 'x');
        EXPECT_TRUE(!largest.Available || largest.Bytes() >= big.size());
    }
    for (const std::string& input : inputs) {
        Doc d;
        doctest::LargestAllocation largest;
        EXPECT_FALSE(Load(d.data, input)) << input;
        EXPECT_FALSE(Insert(d.data, input, 0)) << input;
        EXPECT_LT(largest.Bytes(), size_t(1) << 20) << input;
    }
    // Stored pictures read on their own check their length against the stream as well.
    TStringStream picture("\xFF\xFF\xFF\x7F"s + "abc");
    doctest::LargestAllocation largest;
    EXPECT_THROW(RVFLoadPictureBinary(picture, "TBitmap"), EReadError);
    EXPECT_LT(largest.Bytes(), size_t(1) << 20);
}

// A selection starting inside a paragraph is saved as a document of its own: its first record
// starts a paragraph, whatever the item it comes from continued.
TEST(RvfSelection, TheFirstSavedRecordCarriesNoLineBreakFlags) {
    struct SelDoc : TRVDocument {
        int StartNo = 0, StartOffs = 1;
        void GetSelectionBounds(int& sn, int& so, int& en, int& eo) const override {
            sn = StartNo;
            so = StartOffs;
            en = ItemCount() - 1;
            eo = ItemEndOffset(en);
        }
    };
    TRVStyle style(nullptr);
    doctest::FillStyle(style);
    const std::pair<int, int> starts[] = {{1, 0}, {1, 1}, {2, 2}, {3, 2}};
    for (auto [startNo, startOffs] : starts) {
        SelDoc data;
        data.SetRVStyle(&style);
        data.SetRVFOptions(TRVFOptions{});
        data.AddTextParagraph("para", 0, 0, TRVTag());
        data.AddPictureItem("pic", nullptr, -1, TRVVAlign::rvvaBaseline); // joins "para"
        data.AddTextParagraph("joined", 1, -1, TRVTag());                 // joins the picture
        data.AddTextParagraph("broken", 0, 0, TRVTag());
        data.SetItemLineBreakBefore(3, true);
        ASSERT_TRUE(data.GetItem(1)->GetJoinsPrevious());
        ASSERT_TRUE(data.GetItem(2)->GetJoinsPrevious());
        ASSERT_TRUE(data.GetItem(3)->GetLineBreakBefore());
        // Starting after the picture leaves it out: "joined" comes first then.
        data.StartNo = startNo;
        data.StartOffs = startOffs;
        TMemoryStream ms;
        data.SaveToRvfStream(ms, true);
        std::string rvf = ms.DataString();
        size_t sp = 0;
        for (int field = 0; field < 3; ++field)
            sp = rvf.find(' ', sp) + 1;
        EXPECT_EQ(rvf[sp], '0') << rvf; // the option bits of the first record
        EXPECT_EQ(rvf.rfind(startNo == 1 && startOffs == 0 ? "-3 "
                            : startNo == 3                 ? "0 "
                                                           : "1 ",
                            0),
                  0u)
            << rvf;
    }
}

// A list marker set on a paragraph that is a break joins the break to the marker; the stored
// document keeps the two together instead of splitting them on the way back.
TEST(RvfPlacement, AWholeLineItemAfterAListMarkerStaysInItsParagraph) {
    for (bool binary : {false, true}) {
        Doc src;
        if (binary) src.data.SetRVFOptions(src.data.GetRVFOptions() | TRVFOption::rvfoSaveBinary);
        src.data.AddTextParagraph("text", 0, 0, TRVTag());
        src.data.AddBreak();
        src.data.SetParagraphMarker(1, 0, 0, 1, false);
        src.data.AddBreak();
        src.data.SetItemJoinsPrevious(3, true); // joined to a break, not to a marker
        ASSERT_EQ(src.data.GetItemStyleNo(1), rvsListMarker);
        ASSERT_TRUE(src.data.GetItem(2)->GetJoinsPrevious());
        TMemoryStream ms;
        src.data.SaveToRvfStream(ms, false);
        Doc dst;
        dst.data.SetRVFOptions(src.data.GetRVFOptions());
        ASSERT_TRUE(Load(dst.data, ms.DataString()));
        EXPECT_TRUE(dst.data.GetItem(2)->GetJoinsPrevious());
        EXPECT_FALSE(dst.data.GetItem(3)->GetJoinsPrevious());
        TMemoryStream again;
        dst.data.SaveToRvfStream(again, false);
        EXPECT_EQ(again.DataString(), ms.DataString());
    }
}
