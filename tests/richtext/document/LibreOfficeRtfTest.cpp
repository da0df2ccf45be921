// RTF written by a common word processor (LibreOffice Writer, from the .fodt sources beside the
// files) imports with its text, look, paragraphs and pictures.

#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/core/Strings.h"
#include "richtext/document/RVRTFReader.h"

using namespace epc;

namespace {

struct Imported {
    TRVStyle style{nullptr};
    TRVDocument data;
    int result = -1;

    explicit Imported(const std::string& name) {
        data.SetRVStyle(&style);
        data.SetOptions(data.GetOptions() | TRVOption::rvoTagsArePChars);
        const char* root = std::getenv("EPC_TEST_DATA");
        std::string path =
            std::string(root ? root : "tests/data") + "/../richtext/document/data/" + name;
        TFileStream fs(path, fmOpenRead);
        TRVRTFReaderProperties props;
        int index = 0;
        result = props.ImportRtfStream(&data, fs, index);
    }

    // The paragraphs' text, one line each ("|" for a line break inside a paragraph).
    std::vector<std::u16string> Paragraphs() const {
        std::vector<std::u16string> out;
        for (int i = 0; i < data.ItemCount(); ++i) {
            TCustomRVItemInfo* item = data.GetItem(i);
            if (item->StartsParagraph()) out.emplace_back();
            if (item->GetLineBreakBefore()) out.back() += u"|";
            if (item->StyleNo >= 0)
                out.back() += data.GetItemTextW(i);
            else
                out.back() += u"#";
        }
        return out;
    }
    // The item whose text begins with Text.
    int Find(std::u16string_view text) const {
        for (int i = 0; i < data.ItemCount(); ++i)
            if (data.GetItemStyleNo(i) >= 0 && data.GetItemTextW(i).starts_with(text)) return i;
        return -1;
    }
    const TFontInfo& Font(std::u16string_view text) const {
        int i = Find(text);
        EXPECT_GE(i, 0) << Utf16ToUtf8(text);
        return style.TextStyles[i < 0 ? 0 : data.GetItemStyleNo(i)];
    }
    const TParaInfo& Para(std::u16string_view text) const {
        int i = Find(text);
        EXPECT_GE(i, 0) << Utf16ToUtf8(text);
        return style.ParaStyles[i < 0 ? 0 : data.GetItemParaNo(i)];
    }
};

bool Has(const TFontInfo& f, TRVFontStyle s) {
    return f.Style.Contains(s);
}

TEST(LibreOfficeRtf, TextLookAlignmentAndIndents) {
    Imported doc("lo-formatting.rtf");
    ASSERT_EQ(doc.result, rtf_ec_OK);
    auto paras = doc.Paragraphs();
    ASSERT_EQ(paras.size(), 5u);
    EXPECT_EQ(paras[0], u"Plain text with bold, italic, underlined and struck words.");
    EXPECT_EQ(paras[1], u"Colours: red, blue fourteen and green bold italic; highlighted.");

    const TFontInfo& plain = doc.Font(u"Plain text");
    EXPECT_EQ(plain.FontName, "Liberation Serif");
    EXPECT_EQ(plain.Size, 12);
    EXPECT_TRUE(plain.Style.Empty());
    EXPECT_TRUE(Has(doc.Font(u"bold"), TRVFontStyle::rvfsBold));
    EXPECT_TRUE(Has(doc.Font(u"italic"), TRVFontStyle::rvfsItalic));
    EXPECT_TRUE(Has(doc.Font(u"underlined"), TRVFontStyle::rvfsUnderline));
    EXPECT_TRUE(Has(doc.Font(u"struck"), TRVFontStyle::rvfsStrikeOut));
    EXPECT_EQ(doc.Font(u"red").Color, clRed);
    EXPECT_EQ(doc.Font(u"blue fourteen").Color, clBlue);
    EXPECT_EQ(doc.Font(u"blue fourteen").Size, 14);
    const TFontInfo& green = doc.Font(u"green bold italic");
    EXPECT_EQ(green.Color, clGreen);
    EXPECT_TRUE(Has(green, TRVFontStyle::rvfsBold) && Has(green, TRVFontStyle::rvfsItalic));
    EXPECT_EQ(doc.Font(u"highlighted").BackColor, clYellow);
    EXPECT_EQ(doc.Font(u"Sans twenty").FontName, "Liberation Sans");
    EXPECT_EQ(doc.Font(u"Sans twenty").Size, 20);
    EXPECT_EQ(doc.Font(u"Mono ten").FontName, "Liberation Mono");
    EXPECT_EQ(doc.Font(u"Mono ten").Size, 10);

    EXPECT_EQ(doc.Para(u"Plain text").Alignment, TRVAlignment::rvaLeft);
    EXPECT_EQ(doc.Para(u"Centred").Alignment, TRVAlignment::rvaCenter);
    EXPECT_EQ(doc.Para(u"Right aligned").Alignment, TRVAlignment::rvaRight);
    const TParaInfo& justified = doc.Para(u"Justified");
    EXPECT_EQ(justified.Alignment, TRVAlignment::rvaJustify);
    EXPECT_EQ(justified.LeftIndent, 48); // half an inch at 96 pixels an inch
    EXPECT_EQ(justified.RightIndent, 24);
    EXPECT_EQ(justified.FirstIndent, 24);
    EXPECT_EQ(justified.SpaceBefore, 10); // 0.1 inch, rounded
    EXPECT_EQ(justified.SpaceAfter, 19);
}

TEST(LibreOfficeRtf, PicturesWithTheirShownSizes) {
    Imported doc("lo-pictures.rtf");
    ASSERT_EQ(doc.result, rtf_ec_OK);
    auto paras = doc.Paragraphs();
    ASSERT_EQ(paras.size(), 2u);
    EXPECT_EQ(paras[0], u"A PNG picture # inside text.");
    EXPECT_EQ(paras[1], u"A JPEG picture #, and the same at double size #.");
    std::vector<TRVGraphicItemInfo*> pictures;
    for (int i = 0; i < doc.data.ItemCount(); ++i)
        if (auto* g = dynamic_cast<TRVGraphicItemInfo*>(doc.data.GetItem(i))) pictures.push_back(g);
    ASSERT_EQ(pictures.size(), 3u);
    EXPECT_EQ(pictures[0]->Image->ClassName(), "TPngImage");
    EXPECT_EQ(pictures[0]->GetImageWidth(&doc.style), 20);
    EXPECT_EQ(pictures[0]->GetImageHeight(&doc.style), 12);
    EXPECT_EQ(pictures[1]->Image->ClassName(), "TJPEGImage");
    EXPECT_EQ(pictures[1]->Image->Width(), 48);
    EXPECT_EQ(pictures[1]->GetImageWidth(&doc.style), 48);
    EXPECT_EQ(pictures[2]->GetImageWidth(&doc.style), 96);
    EXPECT_EQ(pictures[2]->GetImageHeight(&doc.style), 64);
}

TEST(LibreOfficeRtf, TextOfManyScripts) {
    Imported doc("lo-charsets.rtf");
    ASSERT_EQ(doc.result, rtf_ec_OK);
    auto paras = doc.Paragraphs();
    ASSERT_EQ(paras.size(), 3u);
    EXPECT_EQ(paras[0], u"Russian: \u041F\u0440\u0438\u0432\u0435\u0442, \u043C\u0438\u0440!");
    EXPECT_EQ(paras[1], u"Greek: \u0393\u03B5\u03B9\u03AC \u03C3\u03BF\u03C5. Czech: "
                        u"P\u0159\u00EDli\u0161 \u017Elu\u0165ou\u010Dk\u00FD k\u016F\u0148.");
    EXPECT_EQ(paras[2], u"Western: caf\u00E9 na\u00EFve \u20AC5. Chinese: \u4E2D\u6587.");
    EXPECT_EQ(doc.Font(u"\u041F").FontName, "DejaVu Sans");
}

TEST(LibreOfficeRtf, LinksBreaksPagesAndTableText) {
    Imported doc("lo-structure.rtf");
    ASSERT_EQ(doc.result, rtf_ec_OK);
    auto paras = doc.Paragraphs();
    ASSERT_EQ(paras.size(), 6u);
    EXPECT_EQ(paras[0], u"Go to the example page now.");
    EXPECT_EQ(paras[1], u"First line|second line\tafter a tab.");
    EXPECT_EQ(paras[2], u"On a new page.");
    EXPECT_EQ(paras[3], u"cell one");
    EXPECT_EQ(paras[4], u"cell two");
    EXPECT_EQ(paras[5], u"After the table.");
    int link = doc.Find(u"the example page");
    ASSERT_GE(link, 0);
    EXPECT_TRUE(doc.style.TextStyles[doc.data.GetItemStyleNo(link)].Jump);
    EXPECT_EQ(doc.data.ReadItemTag(link).Text(), "http://example.com/page");
    EXPECT_FALSE(doc.Font(u" now").Jump);
    EXPECT_TRUE(doc.data.GetPageBreakBefore(doc.Find(u"On a new page")));
    EXPECT_FALSE(doc.data.GetPageBreakBefore(doc.Find(u"cell one")));
}

// The word processor's RTF of a document our writer saved with its style sheet: the sheet's
// paragraph and character styles are the document's styles there, and come back with their
// look.
TEST(LibreOfficeRtf, StyleSheetWeWroteComesBackAsTheDocumentsStyles) {
    Imported doc("lo-stylesheet.rtf");
    ASSERT_EQ(doc.result, rtf_ec_OK);
    const char* root = std::getenv("EPC_TEST_DATA");
    TFileStream fs(std::string(root ? root : "tests/data") +
                       "/../richtext/document/data/lo-stylesheet.rtf",
                   fmOpenRead);
    std::string rtf(size_t(fs.Size()), '\0');
    fs.ReadBuffer(rtf.data(), rtf.size());
    for (const char* name : {" Body;}", " Question Heading;}", " Plain Text;}", " Strong Answer;}"})
        EXPECT_NE(rtf.find(name), std::string::npos) << name;
    auto paras = doc.Paragraphs();
    ASSERT_EQ(paras.size(), 2u);
    EXPECT_EQ(paras[0], u"Question 1");
    EXPECT_EQ(paras[1], u"Pick the right answer.");
    EXPECT_EQ(doc.style.ParaStyles[doc.data.GetItemParaNo(0)].Alignment, TRVAlignment::rvaCenter);
    EXPECT_TRUE(doc.Font(u"right").Style.Contains(TRVFontStyle::rvfsBold));
    EXPECT_EQ(ColorToRGB(doc.Font(u"right").Color), ColorToRGB(clRed));
}

} // namespace

// Non-ASCII link targets, font and bookmark names, superscript and subscript and a right-to-left
// paragraph as Writer saves them.
TEST(LibreOfficeRtf, NamesLinksShiftsAndDirection) {
    Imported doc("lo-travel.rtf");
    ASSERT_EQ(doc.result, rtf_ec_OK);
    auto paras = doc.Paragraphs();
    ASSERT_EQ(paras.size(), 6u);
    EXPECT_EQ(paras[0], u"Link: \u00FCber and query.");
    // Each target as Writer has it, in UTF-8: no letter doubled, none dropped.
    int link = doc.Find(u"\u00FCber");
    ASSERT_GE(link, 0);
    EXPECT_EQ(doc.data.ReadItemTag(link).Text(), "https://example.com/\u00E4/\u00FCber");
    link = doc.Find(u"query");
    ASSERT_GE(link, 0);
    EXPECT_EQ(doc.data.ReadItemTag(link).Text(), "https://example.com/q?x=1&y=\u00E4");
    EXPECT_EQ(doc.Font(u"D\u00E9j\u00E0 text").FontName, "D\u00E9j\u00E0 Serif");
    const int marked = doc.Find(u"Bookmark");
    ASSERT_GE(marked, 0);
    ASSERT_NE(doc.data.GetItemCheckpointObject(marked), nullptr);
    EXPECT_EQ(doc.data.GetItemCheckpointObject(marked)->Name, "Z\xFCrich");
    EXPECT_EQ(paras[3], u"E=mc2 and H2O.");
    std::vector<int> shifts;
    for (int i = doc.Find(u"E=mc"); i >= 0 && i < doc.data.ItemCount(); ++i) {
        shifts.push_back(doc.style.TextStyles[doc.data.GetItemStyleNo(i)].VShift);
        if (doc.data.GetItemTextW(i) == u"O.") break;
    }
    ASSERT_EQ(shifts.size(), 5u);
    EXPECT_EQ(shifts[0], 0);
    EXPECT_GT(shifts[1], 0);
    EXPECT_EQ(shifts[2], 0);
    EXPECT_LT(shifts[3], 0);
    EXPECT_EQ(shifts[4], 0);
    EXPECT_EQ(paras[4], u"\u05E9\u05DC\u05D5\u05DD \u05E2\u05D5\u05DC\u05DD right to left");
    EXPECT_EQ(doc.Para(u"\u05E9").BiDiMode, TRVBiDiMode::rvbdRightToLeft);
    EXPECT_EQ(doc.Para(u"Left to right").BiDiMode, TRVBiDiMode::rvbdUnspecified);
}
