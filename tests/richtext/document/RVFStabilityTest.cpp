// Stored documents are stable: random documents saved, loaded and saved again give the same
// bytes, in text and binary bodies, with numeric and string tags.

#include <gtest/gtest.h>

#include <random>

#include "DocTestUtil.h"
#include "richtext/document/RVData.h"

using namespace epc;

namespace {

class RandomDocs {
public:
    explicit RandomDocs(uint64_t seed) : FRng(seed) {}

    int Int(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(FRng); }
    bool Chance(int percent) { return Int(0, 99) < percent; }

    // Bytes a line cannot hold as they are come up often: CR, LF, backslash, quote, NUL.
    std::string Bytes(int maxLen) {
        static const char tricky[] = {'\r', '\n', '\\', '"', '\0', ' ', '=', '\xE9', '\xFF'};
        std::string s(size_t(Int(0, maxLen)), ' ');
        for (char& c : s)
            c = Chance(25) ? tricky[Int(0, sizeof tricky - 1)] : char(Int('a', 'z'));
        return s;
    }

    std::u16string Wide(int maxLen) {
        std::u16string s(size_t(Int(0, maxLen)), u' ');
        for (char16_t& c : s) {
            switch (Int(0, 3)) {
            case 0:
                c = char16_t(Int('A', 'Z'));
                break;
            case 1:
                c = char16_t(Int(0x400, 0x4FF));
                break;
            case 2:
                c = char16_t(Int(0xD800, 0xDFFF)); // lone and paired surrogates alike
                break;
            default:
                c = char16_t(Int(0, 0xFFFF));
            }
        }
        return s;
    }

    TRVTag Tag(bool stringTags) {
        if (Chance(40)) return TRVTag();
        if (stringTags && Chance(70)) return TRVTag::FromString(Bytes(8));
        return TRVTag(intptr_t(Int(INT32_MIN, INT32_MAX)));
    }

    void FillSheet(TRVStyle& style) {
        doctest::FillStyle(style);
        for (int i = Int(0, 4); i > 0; --i) {
            TFontInfo& f = style.TextStyles.Add();
            f.StyleName = Bytes(6);
            f.FontName = Chance(50) ? "Arial" : Bytes(5);
            f.Size = Int(-1000, 1000);
            f.Color = TColor(Int(INT32_MIN, INT32_MAX));
            f.BackColor = Chance(50) ? clNone : TColor(Int(0, 0xFFFFFF));
            f.Style = TRVFontStyles::FromBits(uint64_t(Int(0, 15)));
            f.Charset = Int(0, 255);
            f.Unicode = Chance(50);
            f.Jump = Chance(30);
            f.AllCaps = Chance(20);
            f.CharSpacing = Int(-1000, 1000);
            f.BiDiMode = TRVBiDiMode(Int(0, 2));
            f.Protection = TRVProtectOptions::FromBits(uint64_t(Int(0, 255)));
            f.NextStyleNo = Int(-1, 10);
        }
        for (int i = Int(0, 3); i > 0; --i) {
            TParaInfo& p = style.ParaStyles.Add();
            // Paragraphs may be stored by name: names repeat now and then.
            p.StyleName = Chance(30) ? "Boxed" : Bytes(4);
            p.FirstIndent = Int(-1000000, 1000000);
            p.LeftIndent = Int(0, 500);
            p.Alignment = TRVAlignment(Int(0, 3));
            p.LineSpacing = Int(0, 300);
            p.Options = TRVParaOptions::FromBits(uint64_t(Int(0, 15)));
            p.Border.Style = TRVBorderStyle(Int(0, int(TRVBorderStyle::rvbThickOutside)));
            p.Border.Width = Int(0, 1000);
            p.Border.VisibleBorders.SetValues(Chance(50), Chance(50), Chance(50), Chance(50));
            p.Background.Color = TColor(Int(INT32_MIN, INT32_MAX));
        }
        for (int i = Int(0, 2); i > 0; --i) {
            TRVListInfo& l = style.ListStyles.Add();
            l.StyleName = Bytes(6);
            l.OneLevelPreview = Chance(50);
            for (int k = Int(0, 3); k > 0; --k) {
                TRVListLevel& v = l.AddLevel();
                v.ListType = TRVListType(Int(0, int(TRVListType::rvlstImageListCounter)));
                v.StartFrom = Int(INT32_MIN, INT32_MAX);
                v.FormatString = Bytes(6);
                v.LeftIndent = Int(-1000000, 1000000);
                v.MarkerAlignment = TRVMarkerAlignment(Int(0, 2));
                v.Font.FontName = Bytes(4);
                v.Font.Size = Int(1, 72);
            }
        }
    }

    void FillDocument(TCustomRVData& data, const TRVStyle& style, bool stringTags) {
        const int textStyles = style.TextStyles.Count();
        const int paraStyles = style.ParaStyles.Count();
        for (int n = Int(0, 40); n > 0; --n) {
            // -1: continue the paragraph.
            int para = Chance(40) && data.ItemCount() > 0 ? -1 : Int(0, paraStyles - 1);
            switch (Int(0, 9)) {
            case 0:
            case 1:
            case 2:
            case 3: {
                int styleNo = Int(0, textStyles - 1);
                if (style.TextStyles[styleNo].Unicode)
                    data.AddTextParagraphW(Wide(12), styleNo, para, Tag(stringTags));
                else
                    data.AddTextParagraph(Bytes(20), styleNo, para, Tag(stringTags));
                break;
            }
            case 4:
                data.AddBreak(uint8_t(Int(0, 255)), TRVBreakStyle(Int(0, 3)),
                              TColor(Int(INT32_MIN, INT32_MAX)));
                break;
            case 5: {
                std::unique_ptr<TGraphic> picture;
                if (Chance(30))
                    picture = doctest::MakeBitmap(Int(1, 3), Int(1, 3), TColor(Int(0, 0xFFFFFF)));
                if (Chance(50))
                    data.AddPictureItem(Bytes(6), std::move(picture), para, TRVVAlign(Int(0, 4)),
                                        Tag(stringTags));
                else
                    data.AddHotPicture(Bytes(6), std::move(picture), para, TRVVAlign(Int(0, 4)),
                                       Tag(stringTags));
                break;
            }
            case 6:
                if (Chance(50))
                    data.AddBullet(Bytes(5), Int(-1, 9), nullptr, Int(INT32_MIN, INT32_MAX), para,
                                   Tag(stringTags));
                else
                    data.AddHotspot(Bytes(5), Int(-1, 9), Int(-1, 9), nullptr, Int(0, 99), para,
                                    Tag(stringTags));
                break;
            case 7:
                data.AddControlItem(Bytes(5), nullptr, para, TRVVAlign(Int(0, 4)), Tag(stringTags));
                break;
            default:
                if (data.ItemCount() > 0 && style.ListStyles.Count() > 0)
                    data.SetParagraphMarker(Int(0, data.ItemCount() - 1),
                                            Int(0, style.ListStyles.Count() - 1), Int(0, 3),
                                            Int(-5, 5), Chance(50));
            }
            if (data.ItemCount() == 0) continue;
            TCustomRVItemInfo* last = data.GetItem(data.ItemCount() - 1);
            if (auto* r = dynamic_cast<TRVRectItemInfo*>(last)) {
                r->Spacing = Int(0, 10000);
                r->VShift = Int(-100000, 100000);
                r->VShiftAbs = Chance(50);
                r->MinHeightOnPage = Int(0, 1000000);
            }
        }
        // Breaks of every kind on random items, as an editor would set them.
        for (int n = data.ItemCount() / 4; n > 0 && data.ItemCount() > 1; --n) {
            int i = Int(1, data.ItemCount() - 1);
            switch (Int(0, 2)) {
            case 0:
                data.SetItemPageBreakBefore(i, true);
                break;
            case 1:
                data.SetItemLineBreakBefore(i, true);
                break;
            default:
                data.SetItemJoinsPrevious(i, true);
            }
        }
        for (int n = Int(0, 3); n > 0 && data.ItemCount() > 0; --n)
            data.SetCheckpointInfo(Int(0, data.ItemCount() - 1), Bytes(5), Tag(stringTags),
                                   Chance(50));
        if (Chance(30)) data.SetDocumentEndCheckpoint(Bytes(5), Tag(stringTags), Chance(50));
    }

private:
    std::mt19937_64 FRng;
};

// A document with a fixed selection.
class TSelectedDocument : public TRVDocument {
public:
    void GetSelectionBounds(int& startNo, int& startOffs, int& endNo, int& endOffs) const override {
        startNo = StartNo;
        startOffs = StartOffs;
        endNo = EndNo;
        endOffs = EndOffs;
    }
    int StartNo = 0, StartOffs = 0, EndNo = 0, EndOffs = 0;
};

struct Doc {
    TRVStyle style{nullptr};
    TSelectedDocument data;
    explicit Doc(TRVFOptions options, bool stringTags) {
        doctest::FillStyle(style);
        data.SetRVStyle(&style);
        data.SetRVFOptions(options);
        if (stringTags) data.SetOptions(TRVOptions{TRVOption::rvoTagsArePChars});
    }
};

std::string Save(TCustomRVData& data, const TRVLayoutInfo* layout, TColor color,
                 bool selectionOnly = false) {
    TMemoryStream ms;
    data.SaveToRvfStream(ms, selectionOnly, color, TBackgroundStyle::bsNoBitmap, nullptr, layout);
    return ms.DataString();
}

} // namespace

TEST(RvfStability, RandomDocumentsSaveLoadAndSaveToTheSameBytes) {
    for (uint64_t seed = 1; seed <= 300; ++seed) {
        RandomDocs rnd(seed);
        bool stringTags = rnd.Chance(50);
        TRVFOptions options = TRVDocument().GetRVFOptions();
        if (rnd.Chance(50)) options.Include(TRVFOption::rvfoSaveBinary);
        if (rnd.Chance(30)) options.Include(TRVFOption::rvfoUseStyleNames);
        Doc src(options, stringTags);
        rnd.FillSheet(src.style);
        rnd.FillDocument(src.data, src.style, stringTags);
        TRVLayoutInfo layout;
        layout.LeftMargin = rnd.Int(0, 100);
        TColor color = rnd.Chance(50) ? clNone : TColor(rnd.Int(0, 0xFFFFFF));
        std::string first = Save(src.data, &layout, color);

        // The stored tables replace the loading sheet's.
        Doc dst(options, stringTags);
        TStringStream in(first);
        ASSERT_TRUE(dst.data.LoadFromRvfStream(in)) << "seed " << seed;
        std::string second = Save(dst.data, &dst.data.RVFLoadedLayout, dst.data.RVFLoadedColor);
        ASSERT_EQ(second, first) << "seed " << seed;
    }
}

TEST(RvfStability, SavedSelectionsLoadAndSaveToTheSameBytes) {
    for (uint64_t seed = 1; seed <= 200; ++seed) {
        RandomDocs rnd(seed);
        TRVFOptions options = TRVDocument().GetRVFOptions();
        if (rnd.Chance(50)) options.Include(TRVFOption::rvfoSaveBinary);
        Doc src(options, false);
        rnd.FillSheet(src.style);
        rnd.FillDocument(src.data, src.style, false);
        if (src.data.ItemCount() == 0) continue;
        TSelectedDocument& d = src.data;
        d.StartNo = rnd.Int(0, d.ItemCount() - 1);
        d.EndNo = rnd.Int(d.StartNo, d.ItemCount() - 1);
        d.StartOffs = rnd.Int(d.ItemStartOffset(d.StartNo), d.ItemEndOffset(d.StartNo));
        d.EndOffs = rnd.Int(d.StartNo == d.EndNo ? d.StartOffs : d.ItemStartOffset(d.EndNo),
                            d.ItemEndOffset(d.EndNo));
        std::string first = Save(d, nullptr, clNone, true);

        Doc dst(options, false);
        TStringStream in(first);
        ASSERT_TRUE(dst.data.LoadFromRvfStream(in)) << "seed " << seed;
        ASSERT_EQ(Save(dst.data, nullptr, clNone), first) << "seed " << seed;
    }
}
