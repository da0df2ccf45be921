#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "DocTestUtil.h"
#include "LargestAllocation.h"
#include "platform/core/Strings.h"
#include "platform/graphics/Bitmap.h"
#include "platform/graphics/PngImage.h"
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

TEST(RtfImport, MalformedNumbersAndPicturesFail) {
    const std::pair<std::string, int> bad[] = {
        {"{\\rtf1 \\fs99999999999 x}", rtf_ec_InvalidParam},
        {"{\\rtf1 \\li-3000000000 x}", rtf_ec_InvalidParam},
        // A picture whose data is cut short, inside balanced groups and at the end.
        {"{\\rtf1 {\\pict\\pngblip 89504e470d0a1a0a0000}}", rtf_ec_InvalidPicture},
        {"{\\rtf1 {\\pict\\jpegblip ffd8ffe000104a46}}", rtf_ec_InvalidPicture},
        {"{\\rtf1 {\\pict\\pngblip 89504e47", rtf_ec_UnmatchedBrace},
        {"{\\rtf1 {\\pict\\pngblip\\bin999999 89}", rtf_ec_UnmatchedBrace},
    };
    for (const auto& [rtf, code] : bad) {
        Doc d;
        d.data.AddTextParagraph("keep", 0, 0, TRVTag());
        int index = 1;
        EXPECT_EQ(Import(d.data, rtf, index), code) << rtf;
        EXPECT_EQ(d.data.ItemCount(), 1) << rtf;
    }
    // Depth 256 is the limit: one group less reads.
    std::string ok = "{\\rtf1 " + std::string(255, '{') + "x" + std::string(255, '}') + "}";
    Doc d;
    int index = 0;
    EXPECT_EQ(Import(d.data, ok, index), rtf_ec_OK);
    EXPECT_EQ(PlainText(d.data), u"x");
}

TEST(RtfImport, CodePagesOfFontsAndUnicodeFallbacks) {
    Doc d;
    int index = 0;
    // \'hh goes through the code page of the font's charset (or \cpg, or \ansicpg); \uN skips
    // \ucN fallback characters, an escaped byte counting as one; multi-byte code pages take
    // byte pairs.
    ASSERT_EQ(Import(d.data,
                     "{\\rtf1\\ansi\\ansicpg1250{\\fonttbl{\\f0\\fcharset204 Times;}"
                     "{\\f1\\fcharset0 Arial;}{\\f2 Default;}{\\f3\\cpg1253 Greek;}"
                     "{\\f4\\fcharset128 Gothic;}}"
                     "\\f0\\'cf\\f1\\'e9\\f2\\'9a\\f3\\'e1 \\uc2\\u8364\\'80\\'80|\\uc1\\u8364?|"
                     "{\\uc0\\u1055}\\u-10179?\\u-8704?\\f4\\'93\\'fa\\par}",
                     index),
              rtf_ec_OK);
    EXPECT_EQ(PlainText(d.data), u"\u041F\u00E9\u0161\u03B1 \u20AC|\u20AC|\u041F\U0001F600\u65E5");
}

// A word acts only where it belongs: font table words in the body do nothing, the font table
// skips the groups the body skips and pictures, a "\*" group is read only when it starts with a
// word read that way, and a control word counts as one fallback character.
TEST(RtfImport, WordsActOnlyWhereTheyBelong) {
    Doc d;
    int index = 0;
    ASSERT_EQ(Import(d.data,
                     "{\\rtf1\\ansi\\fcharset204{\\fonttbl{\\f0 Ti{\\info x}m{\\pict 00}es;}}"
                     "{\\*\\fonttbl{\\f1 Skipped;}}\\f0\\'cf{\\f1 w}\\uc1\\u1055\\emdash z\\par}",
                     index),
              rtf_ec_OK);
    EXPECT_EQ(PlainText(d.data), u"\u00CFw\u041Fz");
    ASSERT_EQ(d.data.ItemCount(), 3);
    EXPECT_EQ(d.style.TextStyles[d.data.GetItemStyleNo(0)].FontName, "Times");
    EXPECT_NE(d.style.TextStyles[d.data.GetItemStyleNo(1)].FontName, "Skipped");
}

TEST(RtfImport, DestinationsStyleSheetsLinksAndBookmarks) {
    Doc d;
    d.data.SetOptions(d.data.GetOptions() | TRVOption::rvoTagsArePChars);
    int index = 0;
    ASSERT_EQ(Import(d.data,
                     "{\\rtf1{\\fonttbl{\\f0{\\*\\panose 02}Arial{\\*\\falt Helv};}}"
                     "{\\stylesheet{\\s0 Normal;}{\\s5\\qr\\li600 Right;}}"
                     "{\\info{\\title skipped}}{\\*\\generator skipped;}{\\*\\unknown {nested} x}"
                     "\\pard\\s5 {\\*\\bkmkstart here}{\\*\\bkmkend here}go "
                     "{\\field{\\*\\fldinst HYPERLINK \"http://a.b/c\"}{\\fldrslt {\\ul link}}}"
                     " end{\\listtext 1.\\tab}\\par}",
                     index),
              rtf_ec_OK);
    EXPECT_EQ(PlainText(d.data), u"go link end");
    ASSERT_EQ(d.data.ItemCount(), 3);
    const TParaInfo& para = d.style.ParaStyles[d.data.GetItemParaNo(0)];
    EXPECT_EQ(para.Alignment, TRVAlignment::rvaRight);
    EXPECT_EQ(para.LeftIndent, 40);
    EXPECT_EQ(d.style.TextStyles[d.data.GetItemStyleNo(0)].FontName, "Arial");
    ASSERT_NE(d.data.GetItemCheckpointObject(0), nullptr);
    EXPECT_EQ(d.data.GetItemCheckpointObject(0)->Name, "here");
    const TFontInfo& link = d.style.TextStyles[d.data.GetItemStyleNo(1)];
    EXPECT_TRUE(link.Jump);
    EXPECT_TRUE(link.Style.Contains(TRVFontStyle::rvfsUnderline));
    EXPECT_EQ(d.data.ReadItemTag(1).Text(), "http://a.b/c");
    EXPECT_FALSE(d.style.TextStyles[d.data.GetItemStyleNo(2)].Jump);
}

// Each link of a document has its own target but shares its style with links that look alike.
TEST(RtfImport, LinksThatLookAlikeShareAStyleAndKeepTheirTargets) {
    Doc d;
    d.data.SetOptions(d.data.GetOptions() | TRVOption::rvoTagsArePChars);
    int index = 0;
    std::string rtf = "{\\rtf1{\\fonttbl{\\f0 Arial;}}\\f0\\fs20 ";
    for (int i = 0; i < 3; ++i)
        rtf += "{\\field{\\*\\fldinst HYPERLINK \"http://a.b/" + std::to_string(i) +
               "\"}{\\fldrslt {\\ul link}}}";
    rtf += "{\\ul plain}\\par}";
    ASSERT_EQ(Import(d.data, rtf, index), rtf_ec_OK);
    ASSERT_EQ(d.data.ItemCount(), 4);
    const int linkStyle = d.data.GetItemStyleNo(0);
    EXPECT_TRUE(d.style.TextStyles[linkStyle].Jump);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(d.data.GetItemStyleNo(i), linkStyle);
        EXPECT_EQ(d.data.ReadItemTag(i).Text(), "http://a.b/" + std::to_string(i));
    }
    EXPECT_FALSE(d.style.TextStyles[d.data.GetItemStyleNo(3)].Jump);
}

TEST(RtfImport, EqualStylesAreNotAddedTwice) {
    Doc d;
    int index = 0;
    const std::string rtf = "{\\rtf1{\\fonttbl{\\f0 Arial;}}\\f0\\fs20 a{\\b b}\\par\\pard c\\par}";
    ASSERT_EQ(Import(d.data, rtf, index), rtf_ec_OK);
    int textStyles = d.style.TextStyles.Count();
    int paraStyles = d.style.ParaStyles.Count();
    TRVRTFReaderProperties props;
    ASSERT_EQ(Import(d.data, rtf, index, &props), rtf_ec_OK);
    EXPECT_EQ(d.style.TextStyles.Count(), textStyles);
    EXPECT_EQ(d.style.ParaStyles.Count(), paraStyles);
    EXPECT_FALSE(props.FullReformat);
    // The plain 8-bit style of the sheet takes the text: Arial 10 in the window text colour.
    EXPECT_EQ(d.data.GetItemStyleNo(0), 0);
    EXPECT_FALSE(d.data.GetItem(0)->IsUnicode());
}

// Values beyond what a stored style holds are cut to its limits, so the document saves to RVF
// that loads again.
TEST(RtfImport, StyleValuesKeepToTheStoredLimits) {
    struct Case {
        const char* Rtf;
        int Size, Spacing;
    };
    const Case cases[] = {
        {"{\\rtf1 \\fs2000 x\\par}", 1000, 0},
        {"{\\rtf1 \\fs2002 x\\par}", 1000, 0},
        {"{\\rtf1 \\expndtw15000 x\\par}", 12, 1000},
        {"{\\rtf1 \\expndtw16000 x\\par}", 12, 1000},
        {"{\\rtf1 \\expndtw-16000 x\\par}", 12, -1000},
    };
    for (const Case& c : cases) {
        Doc d;
        int index = 0;
        ASSERT_EQ(Import(d.data, c.Rtf, index), rtf_ec_OK) << c.Rtf;
        const TFontInfo& f = d.style.TextStyles[d.data.GetItemStyleNo(0)];
        EXPECT_EQ(f.Size, c.Size) << c.Rtf;
        EXPECT_EQ(f.CharSpacing, c.Spacing) << c.Rtf;
        TMemoryStream ms;
        d.data.SaveToRvfStream(ms, false);
        ms.SetPosition(0);
        Doc e;
        EXPECT_TRUE(e.data.LoadFromRvfStream(ms)) << c.Rtf;
    }
}

TEST(RtfImport, PageBreaksAndTableWords) {
    Doc d;
    int index = 0;
    ASSERT_EQ(
        Import(d.data,
               "{\\rtf1 one\\par\\page two\\page three\\par"
               "\\trowd\\cellx1000\\cellx2000\\pard\\intbl a\\cell b\\cell\\row\\pard after\\par}",
               index),
        rtf_ec_OK);
    EXPECT_EQ(PlainText(d.data), u"one\r\ntwo\r\nthree\r\na\r\nb\r\nafter");
    EXPECT_TRUE(d.data.GetPageBreakBefore(1));
    EXPECT_TRUE(d.data.GetPageBreakBefore(2));
    EXPECT_FALSE(d.data.GetPageBreakBefore(3));

    // A table reader takes the table words it wants.
    struct Tables : TRVRTFTableReader {
        std::string Words;
        bool TableWord(std::string_view word, bool, int) override {
            Words += std::string(word) + " ";
            return word == "cell";
        }
    } tables;
    Doc t;
    TRVRTFReaderProperties props;
    props.TableReader = &tables;
    index = 0;
    ASSERT_EQ(Import(t.data, "{\\rtf1\\trowd\\cellx100\\intbl a\\cell b\\row}", index, &props),
              rtf_ec_OK);
    EXPECT_EQ(tables.Words, "trowd cellx intbl cell row ");
    EXPECT_EQ(PlainText(t.data), u"ab");
}

TEST(RtfImport, WithoutAStyleSheetTheGivenStylesAreUsed) {
    TRVDocument data;
    TRVRTFReaderProperties props;
    props.TextStyleNo = 2;
    props.ParaStyleNo = 1;
    TStringStream ss("{\\rtf1 {\\b caf\\'e9}\\par x}");
    int index = 0;
    ASSERT_EQ(props.ImportRtfStream(&data, ss, index), rtf_ec_OK);
    ASSERT_EQ(data.ItemCount(), 2);
    EXPECT_EQ(data.GetItemStyleNo(0), 2);
    EXPECT_EQ(data.GetItemParaNo(1), 1);
    EXPECT_TRUE(data.GetItem(0)->IsUnicode());
    EXPECT_EQ(data.GetItemTextW(0), u"caf\u00E9");
    EXPECT_FALSE(props.FullReformat);
}

// Binary blocks, picture sizes and parameters of any declared size leave the reader's memory
// bounded by the input.
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
        // Cut-short blocks may be refused; either way memory stays bounded by the input.
        Import(d.data, rtf, index);
        EXPECT_LT(largest.Bytes(), size_t(1) << 20) << rtf;
    }
}

// A field that includes a picture file takes it from the base path; the picture that stands in
// for it in the field's result is then dropped, and kept when the file cannot be read or lies
// outside the document's folder.
TEST(RtfImport, IncludedPicturesComeOnlyFromTheBasePath) {
    const auto dir = std::filesystem::temp_directory_path() / "epc_rtf_include_test";
    std::filesystem::create_directories(dir / "sub" / "deeper");
    TBitmap(5, 3).SaveToFile((dir / "sub" / "pic.bmp").string());
    TBitmap(4, 3).SaveToFile((dir / "outside.bmp").string());
    TBitmap(6, 3).SaveToFile((dir / "sub" / "deeper" / "p2.bmp").string());
    TPngImage png;
    TBitmap standIn(2, 2);
    png.Assign(&standIn);
    TMemoryStream pngBytes;
    png.SaveToStream(pngBytes);
    std::string hex;
    for (char c : pngBytes.DataString()) {
        char two[3];
        std::snprintf(two, sizeof two, "%02x", unsigned(uint8_t(c)));
        hex += two;
    }
    auto rtfFor = [&hex](const std::string& name) {
        return "{\\rtf1 a{\\field{\\*\\fldinst INCLUDEPICTURE \"" + name +
               "\" \\\\d}{\\fldrslt {\\pict\\pngblip " + hex + "}}}b}";
    };
    auto widths = [](TRVDocument& data) {
        std::vector<int> out;
        for (int i = 0; i < data.ItemCount(); ++i)
            out.push_back(data.GetItemStyleNo(i) == rvsPicture
                              ? static_cast<TRVGraphicItemInfo*>(data.GetItem(i))->Image->Width()
                              : -1);
        return out;
    };
    TRVRTFReaderProperties props;
    props.BasePath = (dir / "sub").string() + "/";
    auto included = [&](const std::string& name) {
        Doc d;
        int index = 0;
        EXPECT_EQ(Import(d.data, rtfFor(name), index, &props), rtf_ec_OK) << name;
        return widths(d.data);
    };
    const std::vector<int> taken{-1, 5, -1}, standInKept{-1, 2, -1};
    EXPECT_EQ(included("pic.bmp"), taken);
    // Backslashes, doubled inside the instruction, separate folders.
    EXPECT_EQ(included("deeper\\\\\\\\p2.bmp"), (std::vector<int>{-1, 6, -1}));
    EXPECT_EQ(included("./pic.bmp"), taken);
    EXPECT_EQ(included("none.bmp"), standInKept);
    // Nothing outside the folder: absolute names, drives, steps up.
    EXPECT_EQ(included((dir / "sub" / "pic.bmp").string()), standInKept);
    EXPECT_EQ(included("../outside.bmp"), standInKept);
    EXPECT_EQ(included("deeper\\\\..\\\\..\\\\outside.bmp"), standInKept);
    EXPECT_EQ(included("..\\\\outside.bmp"), standInKept);
    EXPECT_EQ(included("sub/../../outside.bmp"), standInKept);
    EXPECT_EQ(included("C:\\\\outside.bmp"), standInKept);
    EXPECT_EQ(included("file:///outside.bmp"), standInKept);
    // A folder is no picture: the field keeps its stand-in and the document loads.
    EXPECT_EQ(included("deeper"), standInKept);
    EXPECT_EQ(included("."), standInKept);
    EXPECT_EQ(included(""), standInKept);
    // A document read without a folder has no pictures of its own to include.
    props.BasePath.clear();
    const auto cwd = std::filesystem::current_path();
    std::filesystem::current_path(dir / "sub");
    EXPECT_EQ(included("pic.bmp"), standInKept);
    std::filesystem::current_path(cwd);
    std::filesystem::remove_all(dir);
}

// Inputs that once crashed the reader: a field including a folder made the file stream take the
// folder's seek answer for its size.
TEST(RtfImport, IncludingAFolderLeavesTheDocumentWhole) {
    const char* root = std::getenv("EPC_TEST_DATA");
    const std::string dir = std::string(root ? root : "tests/data") + "/fuzz/rtf_reader_fuzz/";
    // The fuzzed one also leaves its group open: an error that changes nothing.
    const std::pair<const char*, int> inputs[] = {
        {"includepicture-directory.rtf", rtf_ec_OK},
        {"includepicture-folder-fuzzed.rtf", rtf_ec_UnmatchedBrace}};
    for (const auto& [name, result] : inputs) {
        TFileStream fs(dir + name, fmOpenRead);
        Doc d;
        d.data.AddTextParagraph("kept", 0, 0, TRVTag());
        TRVRTFReaderProperties props;
        int index = 1;
        EXPECT_EQ(props.ImportRtfStream(&d.data, fs, index), result) << name;
        EXPECT_EQ(d.data.ItemCount(), 1);
        EXPECT_EQ(d.data.GetItemText(0), "kept");
    }
    // Relative and absolute folders alike, with the base path as it is and with none.
    for (const std::string& base : {std::string(), std::string("/")})
        for (const char* name : {"/", ".", "./", "/tmp", "tmp"}) {
            Doc d;
            TRVRTFReaderProperties props;
            props.BasePath = base;
            int index = 0;
            EXPECT_EQ(Import(d.data,
                             std::string("{\\rtf1 a{\\field{\\*\\fldinst INCLUDEPICTURE ") + name +
                                 "}{\\fldrslt b}}}",
                             index, &props),
                      rtf_ec_OK)
                << base << name;
            EXPECT_EQ(PlainText(d.data), u"ab");
        }
}

// Names and instructions outside the body are read as body text is: escaped bytes through the
// code page, \uN with its \ucN fallback skipped (not spent on the next character), then kept as
// the document keeps them: link targets and font names UTF-8, checkpoint names ANSI.
TEST(RtfImport, NamesOutsideTheBodyDecodeUnicodeAndFallbacks) {
    Doc d;
    d.data.SetOptions(d.data.GetOptions() | TRVOption::rvoTagsArePChars);
    int index = 0;
    ASSERT_EQ(
        Import(
            d.data,
            "{\\rtf1\\ansi\\ansicpg1252\\uc1{\\fonttbl{\\f0\\fcharset0 D\\'e9j\\'e0 Serif;}"
            "{\\f1\\fcharset204 \\'cf\\'f0 Sans;}{\\f2 D\\u233\\'e9j\\u224\\'e0 Mono;}"
            "{\\f3\\fcharset0 \\uc2\\u29579\\'3f\\'3fX;}}"
            "{\\stylesheet{\\s1\\qr St\\u252\\'fcl;}}"
            "\\pard\\s1\\f0 a {\\f1 b} {\\f2 c} {\\f3 d}"
            "{\\*\\bkmkstart Z\\u252\\'fcrich}{\\*\\bkmkend Z\\u252\\'fcrich}"
            "{\\field{\\*\\fldinst HYPERLINK \"https://example.com/\\u228\\'e4/\\u252\\'fcber\" }"
            "{\\fldrslt {\\ul \\u252\\'fcber}}}"
            "{\\field{\\*\\fldinst HYPERLINK \"q?x=1&y=\\uc2\\u228\\'c3\\'a4z\\'e4\"}"
            "{\\fldrslt q}}\\par}",
            index),
        rtf_ec_OK);
    EXPECT_EQ(PlainText(d.data), u"a b c d\u00FCberq");
    auto fontOf = [&](int item) {
        return d.style.TextStyles[d.data.GetItemStyleNo(item)].FontName;
    };
    EXPECT_EQ(fontOf(0), "D\u00E9j\u00E0 Serif");
    EXPECT_EQ(fontOf(1), "\u041F\u0440 Sans");
    EXPECT_EQ(fontOf(3), "D\u00E9j\u00E0 Mono");
    EXPECT_EQ(fontOf(5), "\u738BX");
    EXPECT_EQ(d.style.ParaStyles[d.data.GetItemParaNo(0)].Alignment, TRVAlignment::rvaRight);
    const int link = d.data.ItemCount() - 2;
    ASSERT_NE(d.data.GetItemCheckpointObject(link), nullptr);
    EXPECT_EQ(d.data.GetItemCheckpointObject(link)->Name, "Z\xFCrich");
    EXPECT_EQ(d.data.ReadItemTag(link).Text(), "https://example.com/\u00E4/\u00FCber");
    // An 8-bit byte after the fallback is the target's own.
    EXPECT_EQ(d.data.ReadItemTag(link + 1).Text(), "q?x=1&y=\u00E4z\u00E4");
}

// \super and \sub raise and lower text as word processors show them, in a smaller size;
// \nosupersub and \plain end them; \up and \dn keep their own shift.
TEST(RtfImport, SuperscriptAndSubscript) {
    Doc d;
    int index = 0;
    ASSERT_EQ(Import(d.data,
                     "{\\rtf1{\\fonttbl{\\f0 Arial;}}\\f0\\fs24 E=mc{\\super 2} H{\\sub 2}O "
                     "\\super x\\nosupersub y{\\sub\\plain z}{\\super\\up6 w}\\par}",
                     index),
              rtf_ec_OK);
    EXPECT_EQ(PlainText(d.data), u"E=mc2 H2O xyzw");
    auto font = [&](std::u16string_view text) -> const TFontInfo& {
        for (int i = 0; i < d.data.ItemCount(); ++i)
            if (d.data.GetItemTextW(i) == text) return d.style.TextStyles[d.data.GetItemStyleNo(i)];
        ADD_FAILURE() << Utf16ToUtf8(text);
        return d.style.TextStyles[0];
    };
    EXPECT_EQ(font(u"E=mc").VShift, 0);
    EXPECT_EQ(font(u"E=mc").Size, 12);
    EXPECT_GT(font(u"2").VShift, 0);
    EXPECT_EQ(font(u"2").Size, 8);
    EXPECT_GT(font(u"x").VShift, 0);
    EXPECT_EQ(font(u"y").VShift, 0);
    EXPECT_EQ(font(u"y").Size, 12);
    EXPECT_EQ(font(u"z").VShift, 0);
    EXPECT_EQ(font(u"w").VShift, 25); // \up6 of 24 half-points
    EXPECT_EQ(font(u"w").Size, 12);
    int sub = -1;
    for (int i = 0; i < d.data.ItemCount(); ++i)
        if (d.data.GetItemTextW(i) == u"2" &&
            d.style.TextStyles[d.data.GetItemStyleNo(i)].VShift < 0)
            sub = i;
    EXPECT_GE(sub, 0);
}

// \rtlpar makes a paragraph right to left; \ltrpar and \pard leave the direction to the document.
TEST(RtfImport, ParagraphDirection) {
    Doc d;
    int index = 0;
    ASSERT_EQ(Import(d.data,
                     "{\\rtf1{\\stylesheet{\\s3\\rtlpar Rtl;}}\\pard\\rtlpar a\\par\\ltrpar b\\par"
                     "\\pard c\\par\\pard\\s3 d\\par}",
                     index),
              rtf_ec_OK);
    ASSERT_EQ(d.data.ItemCount(), 4);
    auto bidi = [&](int i) { return d.style.ParaStyles[d.data.GetItemParaNo(i)].BiDiMode; };
    EXPECT_EQ(bidi(0), TRVBiDiMode::rvbdRightToLeft);
    EXPECT_EQ(bidi(1), TRVBiDiMode::rvbdUnspecified);
    EXPECT_EQ(bidi(2), TRVBiDiMode::rvbdUnspecified);
    EXPECT_EQ(bidi(3), TRVBiDiMode::rvbdRightToLeft);
}
