// Documents written as RTF and read back: text, paragraphs and what RTF carries of the styles.

#include <gtest/gtest.h>

#include <random>

#include "DocTestUtil.h"
#include "platform/controls/ImageList.h"
#include "platform/core/Strings.h"
#include "platform/graphics/Bitmap.h"
#include "platform/graphics/PngImage.h"
#include "richtext/document/RVRTFReader.h"
#include "richtext/document/RVUni.h"

using namespace epc;

namespace {

struct Doc {
    TRVStyle style{nullptr};
    TRVDocument data;
    Doc() { data.SetRVStyle(&style); }
};

std::string WriteRtf(TCustomRVData& data) {
    TMemoryStream ms;
    EXPECT_TRUE(data.WriteRtfToStream(ms, false, clNone));
    return ms.DataString();
}

int ReadRtf(TCustomRVData& data, const std::string& rtf) {
    TStringStream ss(rtf);
    TRVRTFReaderProperties props;
    int index = data.ItemCount();
    return props.ImportRtfStream(&data, ss, index);
}

// RTF holds colours as RGB: system colours come back as what they stand for.
std::string ColorText(TColor c) {
    return c == clNone ? "none" : std::to_string(uint32_t(ColorToRGB(c)));
}

// What RTF carries of a text style.
std::string TextKey(const TFontInfo& f) {
    return f.FontName + "/" + std::to_string(f.Size) + "/" + ColorText(f.Color) + "/" +
           ColorText(f.BackColor) + "/" + std::to_string(f.Style.Contains(TRVFontStyle::rvfsBold)) +
           std::to_string(f.Style.Contains(TRVFontStyle::rvfsItalic)) +
           std::to_string(f.Style.Contains(TRVFontStyle::rvfsUnderline)) +
           std::to_string(f.Style.Contains(TRVFontStyle::rvfsStrikeOut)) + "/caps" +
           std::to_string(f.AllCaps) + "/sp" + std::to_string(f.CharSpacing) + "/jump" +
           std::to_string(f.Jump);
}

// What RTF carries of a paragraph style; a rule's paragraph keeps no border of its own.
std::string ParaKey(const TParaInfo& p, bool rule) {
    std::string s = "al" + std::to_string(int(p.Alignment)) + " li" + std::to_string(p.LeftIndent) +
                    " ri" + std::to_string(p.RightIndent) + " fi" + std::to_string(p.FirstIndent) +
                    " sb" + std::to_string(p.SpaceBefore) + " sa" + std::to_string(p.SpaceAfter) +
                    " ls" + std::to_string(int(p.LineSpacingType)) + ":" +
                    std::to_string(p.LineSpacing) + " bg" + ColorText(p.Background.Color);
    const TRVBorder& b = p.Border;
    if (b.Style != TRVBorderStyle::rvbNone && !rule)
        s += " border" + std::to_string(int(b.Style)) + "/" + std::to_string(b.Width) + "/" +
             ColorText(b.Color) + "/" + std::to_string(b.VisibleBorders.Left) +
             std::to_string(b.VisibleBorders.Top) + std::to_string(b.VisibleBorders.Right) +
             std::to_string(b.VisibleBorders.Bottom) + "/" +
             // RTF spaces only the sides it draws.
             std::to_string(b.VisibleBorders.Left ? b.BorderOffsets.Left : 0) + "," +
             std::to_string(b.VisibleBorders.Top ? b.BorderOffsets.Top : 0) + "," +
             std::to_string(b.VisibleBorders.Right ? b.BorderOffsets.Right : 0) + "," +
             std::to_string(b.VisibleBorders.Bottom ? b.BorderOffsets.Bottom : 0);
    return s;
}

// The document as RTF should keep it: one line per paragraph, adjacent text of equal look
// merged, markers and controls left out.
std::string Describe(const TCustomRVData& data) {
    TRVStyle* style = data.GetRVStyle();
    std::string out;
    std::string runKey;
    std::u16string runText;
    auto endRun = [&] {
        if (!runKey.empty()) out += " [" + runKey + "]'" + Utf16ToUtf8(runText) + "'";
        runKey.clear();
        runText.clear();
    };
    for (int i = 0; i < data.ItemCount(); ++i) {
        TCustomRVItemInfo* item = data.GetItem(i);
        if (item->StyleNo == rvsListMarker || item->StyleNo == rvsComponent) continue;
        bool rule = item->StyleNo == rvsBreak;
        if (item->StartsParagraph()) {
            endRun();
            if (!out.empty()) out += "\n";
            out += "P(" + ParaKey(style->ParaStyles[item->ParaNo], rule) + ")";
            if (data.GetPageBreakBefore(i)) out += " PAGE";
        } else if (item->GetLineBreakBefore()) {
            endRun();
            out += " BR";
        }
        if (item->Checkpoint) {
            endRun();
            out += " CP:" + item->Checkpoint->Name;
        }
        if (item->StyleNo >= 0) {
            std::u16string text = data.GetItemTextW(i);
            std::string key = TextKey(style->TextStyles[item->StyleNo]);
            if (key != runKey) endRun();
            if (text.empty() && runKey.empty()) {
                out += " EMPTY";
                continue;
            }
            runKey = key;
            runText += text;
            continue;
        }
        endRun();
        if (auto* b = dynamic_cast<TRVBreakItemInfo*>(item)) {
            out += " HR" + std::to_string(int(b->Style)) + "/" + std::to_string(b->LineWidth) +
                   "/" + ColorText(b->Color);
        } else if (auto* g = dynamic_cast<TRVGraphicItemInfo*>(item)) {
            out += std::string(item->StyleNo == rvsHotPicture ? " HOTPIC" : " PIC") +
                   std::to_string(g->Image ? g->Image->Width() : 0) + "x" +
                   std::to_string(g->Image ? g->Image->Height() : 0) + " shown " +
                   std::to_string(g->GetImageWidth(style)) + "x" +
                   std::to_string(g->GetImageHeight(style));
        }
    }
    endRun();
    return out;
}

std::unique_ptr<TGraphic> MakePng(int w, int h, TColor color) {
    TBitmap bmp(w, h, pf24bit);
    bmp.Canvas()->Brush()->SetColor(color);
    bmp.Canvas()->FillRect(TRect{0, 0, w, h});
    auto png = std::make_unique<TPngImage>();
    png->Assign(&bmp);
    return png;
}

// Random documents over random style sheets.
class RandomDoc {
public:
    explicit RandomDoc(uint32_t seed) : FRand(seed) {}

    void FillStyle(TRVStyle& style) {
        style.TextStyles.Clear();
        int count = Int(1, 6);
        static const char* const fonts[] = {"Arial", "Times New Roman", "Courier New"};
        static const int charsets[] = {DEFAULT_CHARSET, ANSI_CHARSET, RUSSIAN_CHARSET,
                                       EASTEUROPE_CHARSET};
        for (int i = 0; i < count; ++i) {
            TFontInfo& f = style.TextStyles.Add();
            f.FontName = fonts[Int(0, 2)];
            f.Size = Int(6, 30);
            f.Color = Color(false);
            f.BackColor = Int(0, 3) == 0 ? Color(false) : clNone;
            if (Int(0, 1)) f.Style.Include(TRVFontStyle::rvfsBold);
            if (Int(0, 1)) f.Style.Include(TRVFontStyle::rvfsItalic);
            if (Int(0, 3) == 0) f.Style.Include(TRVFontStyle::rvfsUnderline);
            if (Int(0, 5) == 0) f.Style.Include(TRVFontStyle::rvfsStrikeOut);
            f.AllCaps = Int(0, 7) == 0;
            f.CharSpacing = Int(0, 3) == 0 ? Int(-2, 5) : 0;
            f.Jump = Int(0, 7) == 0;
            f.Unicode = Int(0, 1) == 1;
            f.Charset = f.Unicode ? DEFAULT_CHARSET : charsets[Int(0, 3)];
        }
        style.ParaStyles.Clear();
        count = Int(1, 4);
        for (int i = 0; i < count; ++i) {
            TParaInfo& p = style.ParaStyles.Add();
            p.Alignment = TRVAlignment(Int(0, 3));
            p.LeftIndent = Int(0, 60);
            p.RightIndent = Int(0, 30);
            p.FirstIndent = Int(-20, 40);
            p.SpaceBefore = Int(0, 20);
            p.SpaceAfter = Int(0, 20);
            if (Int(0, 2) == 0) {
                p.LineSpacingType = TRVLineSpacingType::rvlsSpaceBetween;
                p.LineSpacing = Int(0, 10);
            } else {
                static const int percents[] = {100, 115, 133, 150, 200};
                p.LineSpacing = percents[Int(0, 4)];
            }
            if (Int(0, 2) == 0) {
                p.Border.Style = TRVBorderStyle(Int(1, 5));
                p.Border.Width = Int(1, 3);
                p.Border.Color = Color(false);
                p.Border.VisibleBorders.SetValues(Int(0, 1), Int(0, 1), Int(0, 1), true);
                p.Border.BorderOffsets = {Int(0, 5), Int(0, 5), Int(0, 5), Int(0, 5)};
            }
            if (Int(0, 3) == 0) p.Background.Color = Color(false);
        }
    }

    void FillDocument(TCustomRVData& data) {
        TRVStyle& style = *data.GetRVStyle();
        int paras = Int(1, 8);
        for (int p = 0; p < paras; ++p) {
            int paraNo = Int(0, style.ParaStyles.Count() - 1);
            bool page = Int(0, 9) == 0;
            int first = data.ItemCount();
            if (Int(0, 11) == 0) {
                data.AddBreak(uint8_t(Int(1, 4)), TRVBreakStyle(Int(0, 4)),
                              Int(0, 1) ? clNone : Color(false));
                data.GetItem(first)->ParaNo = paraNo;
            } else {
                int runs = Int(0, 4);
                if (runs == 0)
                    data.AddTextParagraph("", Int(0, style.TextStyles.Count() - 1), paraNo,
                                          TRVTag());
                for (int r = 0; r < runs; ++r) {
                    bool join = r > 0;
                    int kind = Int(0, 19);
                    if (kind == 0) {
                        data.AddPictureItem("p", MakePng(Int(1, 4), Int(1, 4), Color(false)),
                                            join ? -1 : paraNo, TRVVAlign::rvvaBaseline);
                        if (Int(0, 1)) {
                            auto* g = static_cast<TRVGraphicItemInfo*>(
                                data.GetItem(data.ItemCount() - 1));
                            g->ImageWidth = Int(5, 40);
                            g->ImageHeight = Int(5, 40);
                        }
                    } else if (kind == 1) {
                        data.AddHotPicture("h", MakePng(2, 2, clBlue), join ? -1 : paraNo,
                                           TRVVAlign::rvvaBaseline);
                    } else {
                        int styleNo = Int(0, style.TextStyles.Count() - 1);
                        std::u16string text = Text(style.TextStyles[styleNo]);
                        if (style.TextStyles[styleNo].Unicode)
                            data.AddTextParagraphW(text, styleNo, join ? -1 : paraNo, TRVTag());
                        else
                            data.AddTextParagraph(WideToAnsi(text, data.CodePageOfStyle(styleNo)),
                                                  styleNo, join ? -1 : paraNo, TRVTag());
                    }
                    int last = data.ItemCount() - 1;
                    if (join && Int(0, 6) == 0) data.GetItem(last)->SetLineBreakBefore(true);
                    if (Int(0, 15) == 0)
                        data.SetCheckpointInfo(last, "cp" + std::to_string(last), TRVTag(), false);
                }
            }
            if (page) data.GetItem(first)->SetPageBreakBefore(true);
        }
    }

private:
    int Int(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(FRand); }
    TColor Color(bool allowNone) {
        static const TColor colors[] = {clWindowText,     clBlack,          clRed,  clNavy,
                                        TColor(0x123456), TColor(0xFEDCBA), clWhite};
        if (allowNone && Int(0, 3) == 0) return clNone;
        return colors[Int(0, 6)];
    }
    // Text the style can hold: 8-bit styles only get characters of their code page.
    std::u16string Text(const TFontInfo& f) {
        static const std::u16string common = u"abcXYZ 019.,;\\{}\t-";
        static const std::u16string western = u"\u00E9\u00FC\u20AC";
        static const std::u16string cyrillic = u"\u041F\u0440\u0438\u0432";
        static const std::u16string central = u"\u0159\u0161\u017E";
        std::u16string alphabet = common;
        if (f.Unicode)
            alphabet += western + cyrillic + central + u"\u4E2D\u00A0";
        else if (f.Charset == RUSSIAN_CHARSET)
            alphabet += cyrillic;
        else if (f.Charset == EASTEUROPE_CHARSET)
            alphabet += central;
        else
            alphabet += western;
        std::u16string s;
        int len = Int(1, 12);
        for (int i = 0; i < len; ++i) {
            if (f.Unicode && Int(0, 20) == 0) {
                s += u"\U0001F600";
                continue;
            }
            s += alphabet[size_t(Int(0, int(alphabet.size()) - 1))];
        }
        return s;
    }

    std::mt19937 FRand;
};

} // namespace

TEST(RtfRoundTrip, RandomDocumentsKeepTextParagraphsAndStyles) {
    for (uint32_t seed = 1; seed <= 150; ++seed) {
        Doc src;
        RandomDoc gen(seed);
        gen.FillStyle(src.style);
        gen.FillDocument(src.data);
        std::string rtf = WriteRtf(src.data);
        Doc dst;
        dst.data.GetRVStyle()->TextStyles.Clear();
        dst.data.GetRVStyle()->ParaStyles.Clear();
        ASSERT_EQ(ReadRtf(dst.data, rtf), rtf_ec_OK) << "seed " << seed;
        ASSERT_EQ(Describe(src.data), Describe(dst.data)) << "seed " << seed << "\n" << rtf;
        // From the second generation on, the RTF stays the same.
        std::string second = WriteRtf(dst.data);
        Doc again;
        again.data.GetRVStyle()->TextStyles.Clear();
        again.data.GetRVStyle()->ParaStyles.Clear();
        ASSERT_EQ(ReadRtf(again.data, second), rtf_ec_OK);
        ASSERT_EQ(WriteRtf(again.data), second) << "seed " << seed;
    }
}

TEST(RtfRoundTrip, HandMadeDocumentKeepsItsText) {
    Doc src;
    doctest::FillStyle(src.style);
    doctest::FillDocument(src.data, false);
    Doc dst;
    ASSERT_EQ(ReadRtf(dst.data, WriteRtf(src.data)), rtf_ec_OK);
    std::string d = Describe(dst.data);
    EXPECT_NE(d.find("'Plain ANSI text, caf\xC3\xA9.'"), std::string::npos) << d;
    EXPECT_NE(d.find("HR4/2/" + std::to_string(uint32_t(clGreen))), std::string::npos) << d;
    EXPECT_NE(d.find("PIC5x3 shown 5x3"), std::string::npos) << d;
    EXPECT_NE(d.find("HOTPIC2x2 shown 40x2"), std::string::npos) << d;
    EXPECT_NE(d.find("CP:start"), std::string::npos) << d;
    EXPECT_NE(d.find("PAGE ["), std::string::npos) << d;
}

TEST(RtfRoundTrip, EightBitTextKeepsItsCharset) {
    Doc src;
    TFontInfo& cyr = src.style.TextStyles.Add();
    cyr.FontName = "Times New Roman";
    cyr.Charset = RUSSIAN_CHARSET;
    std::string bytes = WideToAnsi(u"\u041F\u0440\u0438\u0432\u0435\u0442", 1251);
    src.data.AddTextParagraph(bytes, 1, 0, TRVTag());
    std::string rtf = WriteRtf(src.data);
    EXPECT_NE(rtf.find("\\fcharset204 Times New Roman;"), std::string::npos) << rtf;
    EXPECT_NE(rtf.find("\\'cf\\'f0\\'e8\\'e2\\'e5\\'f2"), std::string::npos) << rtf;

    // Into an empty sheet: Unicode text with the same letters.
    Doc fresh;
    ASSERT_EQ(ReadRtf(fresh.data, rtf), rtf_ec_OK);
    EXPECT_EQ(fresh.data.GetItemTextW(0), u"\u041F\u0440\u0438\u0432\u0435\u0442");

    // Into the same sheet: the equal 8-bit style takes the text back, and no style is added.
    Doc same;
    same.style.TextStyles.Assign(src.style.TextStyles);
    ASSERT_EQ(ReadRtf(same.data, rtf), rtf_ec_OK);
    EXPECT_EQ(same.style.TextStyles.Count(), 2);
    EXPECT_EQ(same.data.GetItemStyleNo(0), 1);
    EXPECT_EQ(same.data.GetItemText(0), bytes);
}

TEST(RtfRoundTrip, PageBreaksDoNotGrowTheDocument) {
    Doc src;
    src.data.AddTextParagraph("one", 0, 0, TRVTag());
    src.data.AddTextParagraph("two", 0, 0, TRVTag());
    src.data.GetItem(1)->SetPageBreakBefore(true);
    std::string rtf = WriteRtf(src.data);
    for (int round = 0; round < 3; ++round) {
        Doc dst;
        ASSERT_EQ(ReadRtf(dst.data, rtf), rtf_ec_OK);
        ASSERT_EQ(dst.data.ItemCount(), 2) << rtf;
        EXPECT_TRUE(dst.data.GetPageBreakBefore(1));
        EXPECT_EQ(dst.data.GetItemTextW(1), u"two");
        rtf = WriteRtf(dst.data);
    }
}

TEST(RtfRoundTrip, SelectionOnlyWritesTheSelectedPart) {
    class Selected : public TRVDocument {
    public:
        void GetSelectionBounds(int& sn, int& so, int& en, int& eo) const override {
            sn = 0;
            so = 3;
            en = 1;
            eo = 3;
        }
    };
    TRVStyle style(nullptr);
    Selected data;
    data.SetRVStyle(&style);
    data.AddTextParagraph("abcdef", 0, 0, TRVTag());
    data.AddTextParagraph("ghijkl", 0, 0, TRVTag());
    TMemoryStream ms;
    ASSERT_TRUE(data.WriteRtfToStream(ms, true, clNone));
    Doc dst;
    ASSERT_EQ(ReadRtf(dst.data, ms.DataString()), rtf_ec_OK);
    ASSERT_EQ(dst.data.ItemCount(), 2);
    EXPECT_EQ(dst.data.GetItemTextW(0), u"cdef");
    EXPECT_EQ(dst.data.GetItemTextW(1), u"gh");
}

TEST(RtfRoundTrip, ImageListItemsBecomePictures) {
    TCustomImageList images(nullptr, 8, 6);
    TBitmap bmp(8, 6, pf24bit);
    bmp.Canvas()->Brush()->SetColor(clRed);
    bmp.Canvas()->FillRect(TRect{0, 0, 8, 6});
    ASSERT_EQ(images.Add(&bmp, nullptr), 0);
    Doc src;
    src.data.AddTextParagraph("a", 0, 0, TRVTag());
    src.data.AddBullet("bullet", 0, &images, 1, -1);
    src.data.AddHotspot("hotspot", 0, 0, &images, 1, -1);
    src.data.AddBullet("no image", 5, &images, 1, -1);
    Doc dst;
    ASSERT_EQ(ReadRtf(dst.data, WriteRtf(src.data)), rtf_ec_OK);
    EXPECT_EQ(Describe(dst.data), "P(al0 li0 ri0 fi0 sb0 sa0 ls0:100 bgnone) [Arial/10/0/none/0000/"
                                  "caps0/sp0/jump0]'a' PIC8x6 shown 8x6 HOTPIC8x6 shown 8x6");
    // The picture shows the list's image.
    auto* pic = static_cast<TRVGraphicItemInfo*>(dst.data.GetItem(1));
    TBitmap check(8, 6, pf24bit);
    check.Canvas()->Draw(0, 0, pic->Image.get());
    EXPECT_EQ(ColorToRGB(check.Canvas()->Pixels(3, 3)), ColorToRGB(clRed));
}
