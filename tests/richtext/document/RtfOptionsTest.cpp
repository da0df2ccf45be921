// The RTF writer follows the document's RTF options: a style sheet named by the paragraphs and
// text runs, Unicode text with or without its 8-bit fallback, the picture kinds.

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "DocTestUtil.h"
#include "platform/core/Streams.h"
#include "platform/graphics/Bitmap.h"
#include "platform/graphics/Icon.h"
#include "richtext/document/RVRTFReader.h"
#include "richtext/document/RVUni.h"

using namespace epc;

namespace {

struct Doc {
    TRVStyle style{nullptr};
    TRVDocument data;
    Doc() {
        data.SetRVStyle(&style);
        style.ParaStyles[0].StyleName = "Body";
        TParaInfo& heading = style.ParaStyles.Add();
        heading.StyleName = "Question Heading";
        heading.Alignment = TRVAlignment::rvaCenter;
        heading.SpaceAfter = 8;
        style.TextStyles[0].StyleName = "Plain Text";
        TFontInfo& strong = style.TextStyles.Add();
        strong.StyleName = "Strong Answer";
        strong.Style.Include(TRVFontStyle::rvfsBold);
        strong.Color = clRed;
        data.AddTextParagraph("Question 1", 0, 1, TRVTag());
        data.AddTextParagraph("Pick the ", 0, 0, TRVTag());
        data.AddTextParagraph("right", 1, -1, TRVTag());
        data.AddTextParagraph(" answer.", 0, -1, TRVTag());
    }
    std::string Rtf(TRVRTFOptions options) {
        data.SetRTFOptions(options);
        TMemoryStream ms;
        EXPECT_TRUE(data.WriteRtfToStream(ms, false, clNone));
        return ms.DataString();
    }
};

bool Has(const std::string& s, const std::string& part) {
    return s.find(part) != std::string::npos;
}

TEST(RtfOptions, StyleSheetNamesEveryStyleAndTheTextUsesIt) {
    Doc d;
    const std::string rtf = d.Rtf(
        TRVRTFOptions{TRVRTFOption::rvrtfSaveStyleSheet, TRVRTFOption::rvrtfDuplicateUnicode});
    if (const char* out = std::getenv("EPC_RTF_STYLESHEET_OUT")) std::ofstream(out) << rtf;
    ASSERT_TRUE(Has(rtf, "{\\stylesheet")) << rtf;
    // Paragraph styles are \s0, \s1; text styles follow as character styles \cs2, \cs3.
    EXPECT_TRUE(Has(rtf, "{\\s0\\ql")) << rtf;
    EXPECT_TRUE(Has(rtf, "\\snext0 Body;}"));
    EXPECT_TRUE(Has(rtf, "{\\s1\\qc"));
    EXPECT_TRUE(Has(rtf, " Question Heading;}"));
    EXPECT_TRUE(Has(rtf, "{\\*\\cs2\\additive"));
    EXPECT_TRUE(Has(rtf, " Plain Text;}"));
    EXPECT_TRUE(Has(rtf, "{\\*\\cs3\\additive"));
    EXPECT_TRUE(Has(rtf, "\\b\\cf"));
    EXPECT_TRUE(Has(rtf, " Strong Answer;}"));
    // The body refers to them.
    EXPECT_TRUE(Has(rtf, "\\pard\\s1\\qc"));
    EXPECT_TRUE(Has(rtf, "\\pard\\s0\\ql"));
    EXPECT_TRUE(Has(rtf, "{\\plain\\cs3\\f0"));
    // Our reader takes the document back as it was.
    Doc back;
    back.data.ClearAllItems();
    TStringStream ss(rtf);
    TRVRTFReaderProperties props;
    int index = 0;
    ASSERT_EQ(props.ImportRtfStream(&back.data, ss, index), 0);
    ASSERT_EQ(back.data.ItemCount(), 4);
    EXPECT_EQ(back.data.GetItemTextW(2), u"right");
    EXPECT_TRUE(
        back.style.TextStyles[back.data.GetItemStyleNo(2)].Style.Contains(TRVFontStyle::rvfsBold));
    EXPECT_EQ(back.style.ParaStyles[back.data.GetItemParaNo(0)].Alignment, TRVAlignment::rvaCenter);

    // Without the option: no sheet and no references.
    const std::string plain = d.Rtf(TRVRTFOptions::FromBits(14));
    EXPECT_FALSE(Has(plain, "stylesheet"));
    EXPECT_FALSE(Has(plain, "\\cs"));
    EXPECT_FALSE(Has(plain, "\\pard\\s"));
}

TEST(RtfOptions, UnicodeFallbackOnlyWhenDuplicated) {
    Doc d;
    d.data.ClearAllItems();
    d.style.TextStyles[0].Unicode = true;
    d.data.AddTextParagraphW(u"caf\u00e9 \u4e2d", 0, 0, TRVTag());
    const std::string both = d.Rtf(TRVRTFOptions{TRVRTFOption::rvrtfDuplicateUnicode});
    EXPECT_TRUE(Has(both, "\\uc1"));
    EXPECT_TRUE(Has(both, "caf\\u233\\'e9 \\u20013?")) << both;
    const std::string alone = d.Rtf(TRVRTFOptions());
    EXPECT_TRUE(Has(alone, "\\uc0"));
    EXPECT_TRUE(Has(alone, "caf\\u233  \\u20013 ")) << alone;
    // Both read back alike.
    for (const std::string& rtf : {both, alone}) {
        Doc back;
        back.data.ClearAllItems();
        TStringStream ss(rtf);
        TRVRTFReaderProperties props;
        int index = 0;
        ASSERT_EQ(props.ImportRtfStream(&back.data, ss, index), 0);
        EXPECT_EQ(back.data.GetItemTextW(0), u"caf\u00e9 \u4e2d");
    }
}

// A shifted text style goes as \up or \dn in half-points and comes back as the same share of
// its font height.
TEST(RtfOptions, ShiftedTextComesBack) {
    Doc d;
    d.style.TextStyles[1].VShift = 50;  // 10 points: 5 points up
    d.style.TextStyles[0].VShift = -30; // 3 points down
    const std::string rtf = d.Rtf(TRVRTFOptions::FromBits(14));
    EXPECT_TRUE(Has(rtf, "\\b\\cf11\\up10 right")) << rtf;
    EXPECT_TRUE(Has(rtf, "\\dn6 ")) << rtf;
    Doc back;
    back.data.ClearAllItems();
    TStringStream ss(rtf);
    TRVRTFReaderProperties props;
    int index = 0;
    ASSERT_EQ(props.ImportRtfStream(&back.data, ss, index), 0);
    EXPECT_EQ(back.style.TextStyles[back.data.GetItemStyleNo(2)].VShift, 50);
    EXPECT_EQ(back.style.TextStyles[back.data.GetItemStyleNo(1)].VShift, -30);
}

TEST(RtfOptions, PicturesGoAsPngOrAsBitmapByDefault) {
    Doc d;
    d.data.ClearAllItems();
    d.data.AddPictureItem("pic", doctest::MakeBitmap(3, 2, clBlue), 0, TRVVAlign::rvvaBaseline);
    EXPECT_TRUE(Has(d.Rtf(TRVRTFOptions::FromBits(14)), "{\\pict\\pngblip\\picw3\\pich2"));
    const std::string dib = d.Rtf(TRVRTFOptions{TRVRTFOption::rvrtfSaveBitmapDefault});
    // The bitmap without its file header: the 40-byte info header first (28 00 00 00).
    EXPECT_TRUE(Has(dib, "{\\pict\\dibitmap0\\picw3\\pich2")) << dib;
    EXPECT_TRUE(Has(dib, "\r\n28000000030000000200000001001800")) << dib;
}

// Pictures read back from the RTF (the first picture item of the document), or null.
TGraphic* FirstPicture(TRVDocument& data) {
    for (int i = 0; i < data.ItemCount(); ++i)
        if (auto* g = dynamic_cast<TRVGraphicItemInfo*>(data.GetItem(i))) return g->Image.get();
    return nullptr;
}

// The document's picture after reading the RTF into it in place of its items.
TGraphic* Reread(Doc& d, const std::string& rtf) {
    d.data.ClearAllItems();
    TStringStream ss(rtf);
    TRVRTFReaderProperties props;
    int index = 0;
    EXPECT_EQ(props.ImportRtfStream(&d.data, ss, index), 0);
    return FirstPicture(d.data);
}

// The metafiles of the graphics tests.
std::unique_ptr<TMetafile> Metafile(const std::string& name) {
    const char* root = std::getenv("EPC_TEST_DATA");
    std::string dir =
        root ? std::string(root) + "/../platform/graphics/data/" : std::string(__FILE__);
    if (!root) dir = dir.substr(0, dir.find_last_of('/')) + "/../../platform/graphics/data/";
    auto mf = std::make_unique<TMetafile>();
    mf->LoadFromFile(dir + name);
    return mf;
}

// Bitmaps saved as bitmaps and metafiles saved as themselves come back from the RTF as the
// same kind of picture, not dropped.
TEST(RtfOptions, BitmapsAndMetafilesComeBack) {
    Doc d;
    d.data.ClearAllItems();
    d.data.AddPictureItem("pic", doctest::MakeBitmap(3, 2, clBlue), 0, TRVVAlign::rvvaBaseline);
    TGraphic* back = Reread(d, d.Rtf(TRVRTFOptions{TRVRTFOption::rvrtfSaveBitmapDefault}));
    ASSERT_TRUE(back);
    ASSERT_EQ(back->ClassName(), "TBitmap");
    EXPECT_EQ(back->Width(), 3);
    EXPECT_EQ(back->Height(), 2);
    EXPECT_EQ(ColorToRGB(TColor(GetPixel(static_cast<TBitmap*>(back)->Canvas()->Handle(), 2, 1))),
              ColorToRGB(clBlue));

    for (const char* name : {"shapes.wmf", "shapes.emf"}) {
        SCOPED_TRACE(name);
        std::unique_ptr<TMetafile> mf = Metafile(name);
        ASSERT_FALSE(mf->Empty());
        const int w = mf->Width(), h = mf->Height();
        const bool enhanced = mf->Enhanced();
        d.data.ClearAllItems();
        d.data.AddPictureItem("pic", std::move(mf), 0, TRVVAlign::rvvaBaseline);
        // An enhanced metafile goes as itself only when not to be saved as a Windows one.
        const std::string rtf = d.Rtf(TRVRTFOptions{TRVRTFOption::rvrtfDuplicateUnicode});
        EXPECT_TRUE(Has(rtf, enhanced ? "{\\pict\\emfblip" : "{\\pict\\wmetafile8")) << rtf;
        TGraphic* again = Reread(d, rtf);
        ASSERT_TRUE(again);
        ASSERT_EQ(again->ClassName(), "TMetafile");
        EXPECT_EQ(static_cast<TMetafile*>(again)->Enhanced(), enhanced);
        EXPECT_NEAR(again->Width(), w, 1);
        EXPECT_NEAR(again->Height(), h, 1);
    }

    // A broken bitmap (too short, or a header promising more pixels than follow) is no
    // picture: the reader says so and the document stays whole.
    for (const char* hex : {"0102", "28000000ffff0000ffff0000010018000000000000000000"}) {
        SCOPED_TRACE(hex);
        d.data.ClearAllItems();
        TStringStream ss(std::string("{\\rtf1 a{\\pict\\dibitmap0 ") + hex + "}b\\par}");
        TRVRTFReaderProperties props;
        int index = 0;
        props.ImportRtfStream(&d.data, ss, index);
        EXPECT_EQ(FirstPicture(d.data), nullptr);
    }
}

} // namespace

// Font names (UTF-8), style and checkpoint names (ANSI) and link targets (UTF-8) go as body text
// does: \uN with an 8-bit fallback when Unicode is duplicated, never as raw UTF-8 bytes; our
// reader brings each back as it was.
TEST(RtfOptions, NamesAndLinkTargetsGoAsUnicode) {
    Doc d;
    d.data.SetOptions(d.data.GetOptions() | TRVOption::rvoTagsArePChars);
    d.style.TextStyles[1].FontName = "D\u00e9j\u00e0 Serif";
    d.style.ParaStyles[1].StyleName = "\xDC"
                                      "berschrift";
    TFontInfo& link = d.style.TextStyles.Add();
    link.Jump = true;
    link.Style.Include(TRVFontStyle::rvfsUnderline);
    link.StyleName = "Verkn\xFCpfung";
    d.data.AddTextParagraph("link", 2, -1,
                            TRVTag::FromString("https://example.com/q?x=1&y=\u00e4"));
    d.data.SetCheckpointInfo(0, "Z\xFCrich", TRVTag(), false);
    const std::string both = d.Rtf(
        TRVRTFOptions{TRVRTFOption::rvrtfSaveStyleSheet, TRVRTFOption::rvrtfDuplicateUnicode});
    EXPECT_TRUE(Has(both, " D\\u233\\'e9j\\u224\\'e0 Serif;}")) << both;
    EXPECT_TRUE(Has(both, " \\u220\\'dcberschrift;}")) << both;
    EXPECT_TRUE(Has(both, " Verkn\\u252\\'fcpfung;}")) << both;
    EXPECT_TRUE(Has(both, "{\\*\\bkmkstart Z\\u252\\'fcrich}")) << both;
    EXPECT_TRUE(Has(both, "HYPERLINK \"https://example.com/q?x=1&y=\\u228\\'e4\"")) << both;
    EXPECT_FALSE(Has(both, "\\'c3")) << both;
    const std::string alone = d.Rtf(TRVRTFOptions{TRVRTFOption::rvrtfSaveStyleSheet});
    EXPECT_TRUE(Has(alone, " D\\u233 j\\u224  Serif;}")) << alone;
    EXPECT_TRUE(Has(alone, "y=\\u228 \"")) << alone;
    for (const std::string& rtf : {both, alone}) {
        TRVStyle style(nullptr);
        TRVDocument back;
        back.SetRVStyle(&style);
        back.SetOptions(back.GetOptions() | TRVOption::rvoTagsArePChars);
        TStringStream ss(rtf);
        TRVRTFReaderProperties props;
        int index = 0;
        ASSERT_EQ(props.ImportRtfStream(&back, ss, index), 0);
        ASSERT_EQ(back.ItemCount(), 5);
        EXPECT_EQ(style.TextStyles[back.GetItemStyleNo(2)].FontName, "D\u00e9j\u00e0 Serif");
        ASSERT_NE(back.GetItemCheckpointObject(0), nullptr);
        EXPECT_EQ(back.GetItemCheckpointObject(0)->Name, "Z\xFCrich");
        EXPECT_EQ(back.ReadItemTag(4).Text(), "https://example.com/q?x=1&y=\u00e4");
    }
}

// A right-to-left paragraph style says so (\rtlpar), in the body and in the style sheet, and
// reads back right to left; a left-to-right one says \ltrpar.
TEST(RtfOptions, ParagraphDirectionIsWritten) {
    Doc d;
    d.style.ParaStyles[1].BiDiMode = TRVBiDiMode::rvbdRightToLeft;
    d.style.ParaStyles[0].BiDiMode = TRVBiDiMode::rvbdLeftToRight;
    const std::string rtf = d.Rtf(
        TRVRTFOptions{TRVRTFOption::rvrtfSaveStyleSheet, TRVRTFOption::rvrtfDuplicateUnicode});
    EXPECT_TRUE(Has(rtf, "\\pard\\s1\\qc\\sa120\\rtlpar")) << rtf;
    EXPECT_TRUE(Has(rtf, "{\\s1\\qc\\sa120\\rtlpar")) << rtf;
    EXPECT_TRUE(Has(rtf, "\\pard\\s0\\ql\\ltrpar")) << rtf;
    Doc back;
    back.data.ClearAllItems();
    TStringStream ss(rtf);
    TRVRTFReaderProperties props;
    int index = 0;
    ASSERT_EQ(props.ImportRtfStream(&back.data, ss, index), 0);
    EXPECT_EQ(back.style.ParaStyles[back.data.GetItemParaNo(0)].BiDiMode,
              TRVBiDiMode::rvbdRightToLeft);
    EXPECT_NE(back.style.ParaStyles[back.data.GetItemParaNo(1)].BiDiMode,
              TRVBiDiMode::rvbdRightToLeft);
}
