#include <gtest/gtest.h>

#include "DocTestUtil.h"
#include "LargestAllocation.h"
#include "platform/core/Strings.h"
#include "richtext/document/RVRTFReader.h"

using namespace epc;

namespace {

struct Doc {
    TRVStyle style{nullptr};
    TRVDocument data;
    Doc() { data.SetRVStyle(&style); }
};

int Import(TCustomRVData& data, const std::string& rtf, int& index,
           TRVRTFReaderProperties* props = nullptr) {
    TRVRTFReaderProperties local;
    TStringStream ss(rtf);
    return (props ? *props : local).ImportRtfStream(&data, ss, index);
}

std::u16string PlainText(TCustomRVData& data) {
    TMemoryStream ms;
    data.WriteTextToStream(ms, "", 10, false, true);
    return BytesToWide(ms.DataString());
}

} // namespace

TEST(RtfImport, FormattingParagraphsAndSpecialCharacters) {
    Doc d;
    int index = 0;
    TRVRTFReaderProperties props;
    ASSERT_EQ(Import(d.data,
                     "{\\rtf1\\ansi\\ansicpg1252{\\fonttbl{\\f0\\fswiss Arial;}{\\f1 Courier "
                     "New;}}{\\colortbl;\\red255\\green0\\blue0;}\r\n"
                     "\\pard\\qc\\li300 Plain {\\b\\f1\\fs28\\cf1 bold red} caf\\'e9\\par\r\n"
                     "second\\line line \\u1055?\\tab x\\page third\\par}",
                     index, &props),
              rtf_ec_OK);
    EXPECT_TRUE(props.FullReformat);
    EXPECT_EQ(PlainText(d.data), u"Plain bold red caf\u00E9\r\nsecond\r\nline \u041F\tx\r\nthird");
    EXPECT_EQ(index, d.data.ItemCount());
    const TFontInfo& bold = d.style.TextStyles[d.data.GetItemStyleNo(1)];
    EXPECT_TRUE(bold.Style.Contains(TRVFontStyle::rvfsBold));
    EXPECT_EQ(bold.FontName, "Courier New");
    EXPECT_EQ(bold.Size, 14);
    EXPECT_EQ(bold.Color, clRed);
    const TParaInfo& para = d.style.ParaStyles[d.data.GetItemParaNo(0)];
    EXPECT_EQ(para.Alignment, TRVAlignment::rvaCenter);
    EXPECT_EQ(para.LeftIndent, 20);
    // "line" continues the paragraph on a new line; "third" starts a new page.
    int line = 4;
    EXPECT_EQ(d.data.GetItemTextW(line).substr(0, 4), u"line");
    EXPECT_TRUE(d.data.GetItem(line)->GetLineBreakBefore());
    EXPECT_TRUE(d.data.GetPageBreakBefore(d.data.ItemCount() - 1));
}

TEST(RtfImport, OwnRtfOutputReadsBackToTheSameText) {
    Doc src;
    doctest::FillStyle(src.style);
    doctest::FillDocument(src.data, false);
    TMemoryStream rtf;
    ASSERT_TRUE(src.data.WriteRtfToStream(rtf, false, clNone));
    Doc dst;
    int index = 0;
    ASSERT_EQ(Import(dst.data, rtf.DataString(), index), rtf_ec_OK);
    // Pictures and controls have no text; markers come back as their text.
    TMemoryStream a, b;
    src.data.WriteTextToStream(a, "", 10, false, true);
    dst.data.WriteTextToStream(b, "", 10, false, true);
    std::u16string expected = BytesToWide(a.DataString());
    std::u16string got = BytesToWide(b.DataString());
    EXPECT_NE(got.find(u"Plain ANSI text, caf\u00E9. bold continuation"), std::u16string::npos);
    EXPECT_NE(got.find(u"\u041F\u0440\u0438\u0432\u0435\u0442 \U0001F600link"),
              std::u16string::npos);
    EXPECT_NE(got.find(u"after a line break"), std::u16string::npos);
}

TEST(RtfImport, InsertsAtAnIndex) {
    Doc d;
    d.data.AddTextParagraph("A", 0, 0, TRVTag());
    d.data.AddTextParagraph("B", 0, 0, TRVTag());
    int index = 1;
    ASSERT_EQ(Import(d.data, "{\\rtf1 one\\par two}", index), rtf_ec_OK);
    EXPECT_EQ(index, 3);
    EXPECT_EQ(PlainText(d.data), u"A\r\none\r\ntwo\r\nB");
}

TEST(RtfImport, MalformedInputChangesNothing) {
    const std::pair<const char*, int> bad[] = {
        {"plain text", rtf_ec_NotRtf},
        {"{\\rtf1 text", rtf_ec_UnmatchedBrace},
        {"{\\rtf1 text}}", rtf_ec_StackUnderflow},
        {"{\\rtf1 caf\\'zz}", rtf_ec_InvalidHex},
        {"{\\rtf1 caf\\'e", rtf_ec_InvalidHex},
        {"{\\rtf1 \\", rtf_ec_UnmatchedBrace},
    };
    for (auto [rtf, code] : bad) {
        Doc d;
        d.data.AddTextParagraph("keep", 0, 0, TRVTag());
        int index = 1;
        EXPECT_EQ(Import(d.data, rtf, index), code) << rtf;
        EXPECT_EQ(index, 1);
        EXPECT_EQ(d.data.ItemCount(), 1) << rtf;
        EXPECT_EQ(d.style.TextStyles.Count(), 1);
    }
    std::string deep = "{\\rtf1 " + std::string(300, '{') + std::string(300, '}') + "}";
    Doc d;
    int index = 0;
    EXPECT_EQ(Import(d.data, deep, index), rtf_ec_StackOverflow);
}

// RTF declares no sizes the reader acts on: binary blocks, picture sizes and parameters of any
// size leave the reader's memory bounded by the input.
TEST(RtfImport, DeclaredSizesDriveNoAllocation) {
    const char* inputs[] = {
        "{\\rtf1 \\bin2147483647 ab}",
        "{\\rtf1 {\\pict\\picw2147483647\\pich2147483647\\bin999999999 00}x}",
        "{\\rtf1 \\uc2147483647\\u2147483647 x\\fs2147483647 y\\f99999999 z}",
        "{\\rtf1 {\\colortbl\\red999999999;}\\cf2147483647 x\\li-2147483648\\par}",
    };
    for (const char* rtf : inputs) {
        Doc d;
        int index = 0;
        doctest::LargestAllocation largest;
        EXPECT_EQ(Import(d.data, rtf, index), rtf_ec_OK) << rtf;
        EXPECT_LT(largest.Bytes(), size_t(1) << 20) << rtf;
    }
}
