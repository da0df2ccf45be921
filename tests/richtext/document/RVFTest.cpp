#include <gtest/gtest.h>

#include <algorithm>

#include "DocTestUtil.h"
#include "platform/controls/Controls.h"
#include "platform/core/Strings.h"
#include "platform/graphics/Bitmap.h"
#include "platform/streaming/PropertyRegistry.h"
#include "richtext/document/RVData.h"
#include "richtext/document/RVUni.h"

using namespace epc;
using namespace std::string_literals;

namespace {

// An embedded control stand-in, created from streams by its class name.
class TTestControl : public TComponent {
public:
    using TComponent::TComponent;
    std::string ClassName() const override { return "TTestControl"; }
};

struct ControlClassScope {
    ControlClassScope() { RegisterClass<TTestControl>("TTestControl"); }
    ~ControlClassScope() { UnRegisterClass("TTestControl"); }
};

struct Doc {
    TRVStyle style{nullptr};
    TRVDocument data;
    explicit Doc(bool stringTags = false) {
        doctest::FillStyle(style);
        data.SetRVStyle(&style);
        if (stringTags) data.SetOptions(TRVOptions{TRVOption::rvoTagsArePChars});
    }
};

std::string Save(TCustomRVData& data, bool binary, bool selectionOnly = false,
                 const TRVLayoutInfo* layout = nullptr, TColor color = clNone) {
    TRVFOptions o = data.GetRVFOptions();
    if (binary)
        o.Include(TRVFOption::rvfoSaveBinary);
    else
        o.Exclude(TRVFOption::rvfoSaveBinary);
    data.SetRVFOptions(o);
    TMemoryStream ms;
    data.SaveToRvfStream(ms, selectionOnly, color, TBackgroundStyle::bsNoBitmap, nullptr, layout);
    return ms.DataString();
}

bool Load(TCustomRVData& data, const std::string& rvf) {
    TStringStream ss(rvf);
    return data.LoadFromRvfStream(ss);
}

} // namespace

class RvfRoundTrip : public ::testing::TestWithParam<std::tuple<bool, bool>> {};

TEST_P(RvfRoundTrip, EveryItemKindComesBackEqual) {
    auto [binary, stringTags] = GetParam();
    ControlClassScope registered;
    Doc src(stringTags);
    doctest::FillDocument(src.data, stringTags);
    TRVComponentPtr ctrl(new TTestControl(nullptr));
    ctrl->SetName("Edit1");
    src.data.AddControlItem("second control", std::move(ctrl), -1, TRVVAlign::rvvaBaseline);
    std::string rvf = Save(src.data, binary);

    Doc dst(stringTags);
    dst.style.ResetTextStyles(); // the stored tables replace the sheet's
    dst.style.ResetParaStyles();
    dst.style.ListStyles.Clear();
    ASSERT_TRUE(Load(dst.data, rvf));
    EXPECT_EQ(doctest::Dump(dst.data), doctest::Dump(src.data));
    ASSERT_EQ(dst.style.TextStyles.Count(), src.style.TextStyles.Count());
    for (int i = 0; i < src.style.TextStyles.Count(); ++i)
        EXPECT_EQ(dst.style.TextStyles[i], src.style.TextStyles[i]) << i;
    for (int i = 0; i < src.style.ParaStyles.Count(); ++i)
        EXPECT_EQ(dst.style.ParaStyles[i], src.style.ParaStyles[i]) << i;
    EXPECT_TRUE(dst.style.ListStyles[0].IsEqual(src.style.ListStyles[0]));
    // Saving again gives the same bytes.
    EXPECT_EQ(Save(dst.data, binary), rvf);
}

INSTANTIATE_TEST_SUITE_P(BodiesAndTags, RvfRoundTrip,
                         ::testing::Combine(::testing::Bool(), ::testing::Bool()));

TEST(RvfFormat, HeaderLinesAndCrLf) {
    Doc d;
    d.data.SetRVFOptions(TRVFOptions{});
    d.data.AddTextParagraph("Hello", 1, 0, TRVTag(12));
    d.data.AddTextParagraphW(u"\u00E9", 2, -1, TRVTag());
    std::string rvf = Save(d.data, false);
    EXPECT_EQ(rvf, "1 1 0 0 0 12 \r\nHello\r\n2 1 0 9 1 0 \r\nE900\r\n");
    rvf = Save(d.data, true);
    EXPECT_EQ(rvf, "1 1 0 0 2 12 \r\n\x05\0\0\0Hello"s + "2 1 0 9 2 0 \r\n\x02\0\0\0\xE9\0"s);
}

TEST(RvfFormat, ParagraphNamesAndTagsAreQuoted) {
    Doc d(true);
    d.data.SetRVFOptions(TRVFOptions{TRVFOption::rvfoUseStyleNames});
    d.data.AddTextParagraph("x", 0, 1, TRVTag::FromString("a \"b\" c"));
    EXPECT_EQ(RVFParaNoToString(1, &d.style, true), "\"Boxed\"");
    EXPECT_EQ(RVFParaNoToString(1, &d.style, false), "1");
    EXPECT_EQ(RVFTagToString(TRVTag(), true), "0");
    EXPECT_EQ(RVFTagToString(TRVTag(-4), false), "-4");
    std::string rvf = Save(d.data, false);
    EXPECT_EQ(rvf, "0 1 \"Boxed\" 0 0 \"a \"\"b\"\" c\" \r\nx\r\n");
    Doc e(true);
    ASSERT_TRUE(Load(e.data, rvf));
    EXPECT_EQ(e.data.GetItemParaNo(0), 1);
    EXPECT_EQ(e.data.ReadItemTag(0).Text(), "a \"b\" c");
}

// Lines stored as they are (backslashes and all, names and tags quoted only by doubling the
// quote) load with their backslashes; what this writer escapes keeps loading as before.
TEST(RvfFormat, BackslashesStoredAsTheyAreLoad) {
    auto prepare = [](Doc& doc) {
        doc.data.SetRVFOptions(TRVFOptions{TRVFOption::rvfoUseStyleNames});
        doc.style.ParaStyles[1].StyleName = "Dir@Sub";
    };
    // Written with '@' where the stored file holds a bare backslash.
    Doc d(true);
    prepare(d);
    d.data.AddTextParagraph("C:@Windows@notepad", 0, 1, TRVTag::FromString("a@b \"q\"@"));
    d.data.SetCheckpointInfo(0, "CP@N", TRVTag::FromString("t"), false);
    d.data.AddTextParagraph("end@", 0, 0, TRVTag::FromString("x"));
    std::string raw = Save(d.data, false);
    std::replace(raw.begin(), raw.end(), '@', '\\');
    ASSERT_NE(raw.find("C:\\Windows\\notepad\r\n"), std::string::npos) << raw;
    ASSERT_NE(raw.find("\"Dir\\Sub\""), std::string::npos) << raw;
    Doc e(true);
    prepare(e);
    e.style.ParaStyles[1].StyleName = "Dir\\Sub";
    ASSERT_TRUE(Load(e.data, raw)) << raw;
    ASSERT_EQ(e.data.ItemCount(), 2);
    EXPECT_EQ(e.data.GetItemText(0), "C:\\Windows\\notepad");
    EXPECT_EQ(e.data.GetItemParaNo(0), 1);
    EXPECT_EQ(e.data.ReadItemTag(0).Text(), "a\\b \"q\"\\");
    ASSERT_NE(e.data.GetItemCheckpointObject(0), nullptr);
    EXPECT_EQ(e.data.GetItemCheckpointObject(0)->Name, "CP\\N");
    EXPECT_EQ(e.data.GetItemText(1), "end\\");
    // This writer escapes them; its file loads back to the same bytes.
    const std::string escaped = Save(e.data, false);
    EXPECT_NE(escaped.find("C:\\\\Windows\\\\notepad\r\n"), std::string::npos) << escaped;
    Doc f(true);
    prepare(f);
    f.style.ParaStyles[1].StyleName = "Dir\\Sub";
    ASSERT_TRUE(Load(f.data, escaped));
    EXPECT_EQ(Save(f.data, false), escaped);
    EXPECT_EQ(f.data.GetItemText(0), "C:\\Windows\\notepad");
    // The pairs this writer makes keep their meaning.
    ASSERT_TRUE(Load(f.data, "0 1 0 0 0 0 \r\na\\\\b\\r\\nc\r\n"));
    EXPECT_EQ(f.data.GetItemText(0), "a\\b\r\nc");
}

TEST(RvfFormat, TagsKeepTheirWholeRange) {
    Doc d;
    d.data.AddTextParagraph("a", 0, 0, TRVTag(INTPTR_MAX));
    d.data.AddTextParagraph("b", 0, 0, TRVTag(INTPTR_MIN));
    Doc e;
    ASSERT_TRUE(Load(e.data, Save(d.data, false)));
    EXPECT_EQ(e.data.ReadItemTag(0).Number(), INTPTR_MAX);
    EXPECT_EQ(e.data.ReadItemTag(1).Number(), INTPTR_MIN);
    EXPECT_FALSE(Load(e.data, "0 1 0 0 0 99999999999999999999 \r\nx\r\n"));
}

TEST(RvfFormat, NameLinesEscapeLineBreaks) {
    Doc d;
    d.data.SetRVFOptions(TRVFOptions{});
    d.data.AddTextParagraph("two\r\nlines \\ here", 0, 0, TRVTag());
    std::string rvf = Save(d.data, false);
    EXPECT_EQ(rvf, "0 1 0 0 0 0 \r\ntwo\\r\\nlines \\\\ here\r\n");
    Doc e;
    ASSERT_TRUE(Load(e.data, rvf));
    EXPECT_EQ(e.data.GetItemText(0), "two\r\nlines \\ here");
}

TEST(RvfFormat, LayoutAndBackgroundRecords) {
    Doc d;
    d.data.AddTextParagraph("x", 0, 0, TRVTag());
    TRVLayoutInfo layout;
    layout.LeftMargin = 11;
    layout.MaxTextWidth = 400;
    layout.BiDiMode = TRVBiDiMode::rvbdRightToLeft;
    std::string rvf = Save(d.data, false, false, &layout, clCream);
    Doc e;
    ASSERT_TRUE(Load(e.data, rvf));
    EXPECT_TRUE(e.data.RVFLoadedLayoutValid);
    EXPECT_EQ(e.data.RVFLoadedLayout, layout);
    EXPECT_EQ(e.data.RVFLoadedColor, clCream);
}

TEST(RvfSelection, PartsOfTextItemsAreWritten) {
    struct SelDoc : TRVDocument {
        void GetSelectionBounds(int& sn, int& so, int& en, int& eo) const override {
            sn = 0;
            so = 3;
            en = 2;
            eo = 3;
        }
    } data;
    TRVStyle style(nullptr);
    doctest::FillStyle(style);
    data.SetRVStyle(&style);
    data.AddTextParagraph("abcdef", 0, 0, TRVTag());
    data.AddTextParagraph("middle", 1, -1, TRVTag());
    data.AddTextParagraphW(u"\u00E9\u00E8\u00EA", 2, 0, TRVTag());
    Doc e;
    ASSERT_TRUE(Load(e.data, Save(data, false, true)));
    ASSERT_EQ(e.data.ItemCount(), 3);
    EXPECT_EQ(e.data.GetItemText(0), "cdef");
    EXPECT_EQ(e.data.GetItemText(1), "middle");
    EXPECT_EQ(e.data.GetItemTextW(2), u"\u00E9\u00E8");

    TMemoryStream text;
    ASSERT_TRUE(data.WriteTextToStream(text, "", 80, true, false));
    EXPECT_EQ(text.DataString(), std::string("cdefmiddle\r\n\xE9\xE8"));
}

TEST(RvfInsert, ReadLoopInsertsAtAnIndexAndReportsTheRange) {
    Doc src;
    src.data.AddTextParagraph("one", 0, 0, TRVTag());
    src.data.AddTextParagraph("two", 1, -1, TRVTag());
    std::string rvf = Save(src.data, false);
    Doc d;
    d.data.AddTextParagraph("A", 0, 0, TRVTag());
    d.data.AddTextParagraph("B", 0, 0, TRVTag());
    TStringStream ss(rvf);
    int index = 1, first, last;
    bool full;
    ASSERT_TRUE(d.data.RvfReadLoop(ss, index, first, last, full));
    EXPECT_EQ(first, 1);
    EXPECT_EQ(last, 2);
    EXPECT_EQ(index, 3);
    ASSERT_EQ(d.data.ItemCount(), 4);
    EXPECT_EQ(d.data.GetItemText(1), "one");
    EXPECT_EQ(d.data.GetItemText(3), "B");
    // Styles of the inserted records map onto equal styles of the sheet.
    EXPECT_EQ(d.style.TextStyles.Count(), src.style.TextStyles.Count());
    EXPECT_FALSE(full);
}

TEST(RvfInsert, UnknownStylesAreAddedToTheSheet) {
    Doc src;
    src.style.TextStyles[1].Size = 30;
    src.data.AddTextParagraph("big", 1, 0, TRVTag());
    std::string rvf = Save(src.data, true);
    Doc d;
    TStringStream ss(rvf);
    int index = 0, first, last;
    bool full;
    ASSERT_TRUE(d.data.RvfReadLoop(ss, index, first, last, full));
    EXPECT_TRUE(full);
    int styleNo = d.data.GetItemStyleNo(0);
    EXPECT_EQ(styleNo, src.style.TextStyles.Count());
    EXPECT_EQ(d.style.TextStyles[styleNo].Size, 30);
}

TEST(RvfMalformed, BadInputFailsAndLeavesTheDocumentAndSheetAlone) {
    const std::vector<std::string> bad = {
        "garbage\r\n",
        "0 1 0 0 0 0\r\n",              // header without the extra field is fine, but no body
        "0 1 0 0 2 0 \r\n\x10\0\0\0ab", // binary length past the end
        "0 1 0 0 1 0 \r\nABC\r\n",      // odd hex
        "0 1 0 0 1 0 \r\nZZ\r\n",       // not hex
        "2 1 0 9 1 0 \r\nE9\r\n",       // odd UTF-16
        "99 1 0 0 0 0 \r\nx\r\n",       // text style out of range
        "0 1 77 0 0 0 \r\nx\r\n",       // paragraph out of range
        "-33 1 0 0 0 0 \r\nx\r\n",      // unknown item kind
        "-11 1 0 0 0 0 0 1 0 0 0 0 0\r\nx\r\n",           // marker header too short
        "-3 3 0 0 1 0 0 1 0 0 0 0 0\r\nn\r\n\r\nABC\r\n", // picture with odd hex body
        "-2 1 checkpoint 0 0 0 2\r\nname\r\n",            // bad raise-event flag
        "-2 2 textstyles 0 0 0 \r\ntext name=\"x\r\n",    // unclosed quote
        "-2 1 parastyles 0 0 0 \r\npara align=9\r\n",     // enumeration out of range
        "-2 1 liststyles 0 0 0 \r\nlist levels=5\r\n",    // levels past the record
        "0 1 0 0 0 \"unclosed \r\nx\r\n",
        "0 999999 0 0 0 0 \r\nx\r\n",
        "-1 1 0 0 0 0 1 2\r\nname\r\n",                           // break look incomplete
        "-3 3 0 0 1 0 0 1 0 0 0 0 0\r\nn\r\nTBitmap\r\n0011\r\n", // corrupt picture data
        "-3 3 0 0 1 0 0 1 0 0 0 0 0\r\nn\r\nTNoSuchPicture\r\n0011\r\n",
        "-5 3 0 0 1 0 0 1 0 0 0 0 0\r\nn\r\nTNoSuchControl\r\n0011\r\n",
        "-5 3 0 0 2 0 0 1 0 0 0 0 0\r\nn\r\nTNoSuchControl\r\n\xff\xff\xff\x7f",
    };
    for (const std::string& input : bad) {
        Doc d;
        d.data.AddTextParagraph("keep", 0, 0, TRVTag());
        std::string before = doctest::Dump(d.data);
        int textStyles = d.style.TextStyles.Count();
        TStringStream ss(input + "0 1 0 0 0 0 \r\nafter\r\n");
        int index = 1, first, last;
        bool full;
        EXPECT_FALSE(d.data.RvfReadLoop(ss, index, first, last, full)) << input;
        EXPECT_EQ(doctest::Dump(d.data), before) << input;
        EXPECT_EQ(d.style.TextStyles.Count(), textStyles);
        EXPECT_EQ(first, -1);
        EXPECT_FALSE(Load(d.data, input)) << input;
        EXPECT_EQ(d.data.ItemCount(), 0);
    }
}

TEST(RvfMalformed, FailedLoadRestoresTheStyleTables) {
    Doc src;
    src.data.AddTextParagraph("x", 0, 0, TRVTag());
    std::string rvf = Save(src.data, false) + "0 1 0 0 1 0 \r\nQ\r\n";
    Doc d;
    d.style.TextStyles[0].FontName = "Mine";
    EXPECT_FALSE(Load(d.data, rvf));
    EXPECT_EQ(d.style.TextStyles[0].FontName, "Mine");
    EXPECT_EQ(d.style.TextStyles.Count(), 4);
}

TEST(RvfMalformed, UnknownPicturesAndControlsAreDroppedWhenAsked) {
    Doc d;
    d.data.SetRVFOptions(d.data.GetRVFOptions() | TRVFOption::rvfoIgnoreUnknownPicFmt |
                         TRVFOption::rvfoIgnoreUnknownCtrls);
    ASSERT_TRUE(Load(d.data, "-3 3 0 0 1 0 0 1 0 0 0 0 0\r\nn\r\nTBitmap\r\n0011\r\n"
                             "-5 3 0 0 1 0 0 1 0 0 0 0 0\r\nc\r\nTNoSuchControl\r\n0011\r\n"));
    ASSERT_EQ(d.data.ItemCount(), 2);
    EXPECT_EQ(d.data.GetItem(0)->GetGraphic(), nullptr);
    EXPECT_EQ(static_cast<TRVControlItemInfo*>(d.data.GetItem(1))->Control, nullptr);
    // A control that could not be made keeps its stored form for the next save.
    EXPECT_NE(Save(d.data, false).find("TNoSuchControl\r\n0011"), std::string::npos);
}

TEST(RvfMalformed, UnknownStylesConvertToZeroWhenAsked) {
    Doc d;
    d.data.SetRVFOptions(d.data.GetRVFOptions() | TRVFOption::rvfoConvUnknownStylesToZero);
    ASSERT_TRUE(Load(d.data, "99 1 7 0 0 0 \r\nx\r\n"));
    EXPECT_EQ(d.data.GetItemStyleNo(0), 0);
    EXPECT_EQ(d.data.GetItemParaNo(0), 0);
}

TEST(PlainText, AnsiAndUnicodeOutput) {
    Doc d;
    doctest::FillDocument(d.data, false);
    TMemoryStream ansi, uni;
    ASSERT_TRUE(d.data.WriteTextToStream(ansi, "", 10, false, false));
    ASSERT_TRUE(d.data.WriteTextToStream(uni, "", 10, false, true));
    std::string a = ansi.DataString();
    EXPECT_EQ(a.substr(0, 44), "Plain ANSI text, caf\xE9. bold continuation\r\n??");
    EXPECT_NE(a.find("\r\n----------\r\n1. first item\r\n1.a) second item\r\n5. third item"),
              std::string::npos);
    std::u16string w = BytesToWide(uni.DataString());
    EXPECT_NE(w.find(u"\u041F\u0440\u0438\u0432\u0435\u0442 \U0001F600link"), std::u16string::npos);
    EXPECT_NE(w.find(u"\r\nafter a line break\r\non a new page"), std::u16string::npos);
}

TEST(OtherFormats, HtmlWritesPicturesIntoTheFolder) {
    Doc d;
    d.data.AddPictureItem("a <b>", doctest::MakeBitmap(5, 3, clRed), 0, TRVVAlign::rvvaBaseline);
    std::string dir = ::testing::TempDir();
    TMemoryStream html;
    ASSERT_TRUE(d.data.WriteHtmlToStream(html, dir, "t", false));
    std::string h = html.DataString();
    size_t src = h.find("<img src=\"rvimg");
    ASSERT_NE(src, std::string::npos);
    EXPECT_NE(h.find("width=\"5\" height=\"3\" alt=\"a &lt;b>\""), std::string::npos);
    std::string name = h.substr(src + 10, h.find('"', src + 10) - src - 10);
    TBitmap check;
    std::unique_ptr<TGraphic> loaded = CreateGraphicByExtension("png");
    ASSERT_NE(loaded, nullptr);
    loaded->LoadFromFile(dir + "/" + name);
    EXPECT_EQ(loaded->Width(), 5);
}

TEST(OtherFormats, RtfAndHtmlCarryTheText) {
    Doc d;
    doctest::FillDocument(d.data, false);
    TMemoryStream rtf, html;
    ASSERT_TRUE(d.data.WriteRtfToStream(rtf, false, clWhite));
    ASSERT_TRUE(d.data.WriteHtmlToStream(html, "", "T<1>", false));
    std::string r = rtf.DataString();
    EXPECT_EQ(r.rfind("{\\rtf1", 0), 0u);
    EXPECT_NE(r.find("\\u1055?"), std::string::npos);
    EXPECT_NE(r.find("caf\\'e9"), std::string::npos);
    EXPECT_EQ(r.back(), '}');
    std::string h = html.DataString();
    // Without a folder the pictures cannot be written, and are left out.
    EXPECT_EQ(h.find("<img"), std::string::npos);
    EXPECT_NE(h.find("<title>T&lt;1&gt;</title>"), std::string::npos);
    EXPECT_NE(h.find("caf\xC3\xA9"), std::string::npos);
    EXPECT_NE(h.find("<hr "), std::string::npos);
    TRVColorList colors;
    int levels = 0;
    d.data.BuildRtfColorTable(colors, levels);
    EXPECT_EQ(colors[0], clWindowText);
    EXPECT_EQ(colors.IndexOf(clNone), -1);
    EXPECT_EQ(levels, 2);
}

namespace {

// A visual control with a streamed width, embedded in a document bound to a window.
class TTestBox : public TControl {
public:
    using TControl::TControl;
    std::string ClassName() const override { return "TTestBox"; }
    int StoredWidth() const { return Width(); }
    void SetStoredWidth(int v) { SetWidth(v); }
};

struct WindowDoc : TRVDocument {
    TWinControl* Window = nullptr;
    TWinControl* GetParentControl() const override { return Window; }
};

} // namespace

TEST(RvfControls, ControlsAreStreamedSizedAndParented) {
    static bool registered = [] {
        RegisterClass<TTestBox>("TTestBox");
        TPublished<TTestBox>("TTestBox", "TComponent")
            .Integer("Width", &TTestBox::StoredWidth, &TTestBox::SetStoredWidth);
        return true;
    }();
    ASSERT_TRUE(registered);
    TWinControl window(nullptr);
    TRVStyle style(nullptr);
    WindowDoc src;
    src.SetRVStyle(&style);
    src.Window = &window;
    auto* box = new TTestBox(nullptr);
    box->SetBounds(0, 0, 33, 12);
    src.AddControlItem("box", TRVComponentPtr(box), 0, TRVVAlign::rvvaBaseline);
    EXPECT_EQ(box->Parent(), &window);
    auto* item = static_cast<TRVControlItemInfo*>(src.GetItem(0));
    EXPECT_EQ(item->GetBoxWidth(), 35);
    item->SetPosition(10, 20);
    EXPECT_EQ(box->Left(), 11);
    EXPECT_EQ(src.FindControlItem(box), 0);
    for (bool binary : {false, true}) {
        WindowDoc dst;
        dst.SetRVStyle(&style);
        dst.Window = &window;
        ASSERT_TRUE(Load(dst, Save(src, binary)));
        auto* loaded = dynamic_cast<TTestBox*>(
            static_cast<TRVControlItemInfo*>(dst.GetItem(0))->Control.get());
        ASSERT_NE(loaded, nullptr);
        EXPECT_EQ(loaded->Width(), 33);
        EXPECT_EQ(loaded->Parent(), &window);
    }
}

namespace {

// A whole-line item of a registered kind that stores its own body the way tables do: the
// name, the line "1", then a body in binary (int32 length and bytes) or hex text.
class TBlobItem : public TRVFullLineItemInfo {
public:
    explicit TBlobItem(TCustomRVData* d) : TRVFullLineItemInfo(d) { StyleNo = -70; }
    std::string ClassName() const override { return "TBlobItem"; }
    std::unique_ptr<TCustomRVItemInfo> NewInstance(TCustomRVData* d) const override {
        return std::make_unique<TBlobItem>(d);
    }
    bool GetKindFlag(int kind) const override {
        return kind == rvifHasSubDocuments || TRVFullLineItemInfo::GetKindFlag(kind);
    }
    void SaveRVF(TStream& stream, const TRVSaveContext& ctx, const std::string& name, int paraNo,
                 uint8_t options) override {
        RVFWriteLine(stream,
                     RVFItemHeader(StyleNo, 3, RVFParaNoToString(paraNo, nullptr, false), options,
                                   ctx.Binary ? 2 : 0, RVFTagToString(Tag, false), ""));
        RVFWriteLine(stream, RVFEscapeLine(name));
        RVFWriteLine(stream, "1");
        if (ctx.Binary)
            RVFWriteBinary(stream, Blob);
        else
            RVFWriteLine(stream, BytesToHex(Blob));
    }
    bool ReadRVFLine(const std::string& s, TCustomRVData*, int lineNo, int lineCount,
                     std::string& name, TRVFReadMode& mode, TRVFReadState& state) override {
        if (lineCount != 3) return false;
        if (lineNo == 0) return RVFUnescapeLine(s, name);
        if (lineNo == 1) return s == "1";
        state = TRVFReadState::rstItemFinished;
        if (mode == TRVFReadMode::rmBinary) {
            Blob = s;
            return true;
        }
        return HexToBytes(s, Blob);
    }
    std::string Blob;
};

} // namespace

TEST(RvfRegisteredItems, OwnRecordsRoundTripInBothBodies) {
    RegisterRichViewItemType(-70, "TBlobItem",
                             [](TCustomRVData* d) -> std::unique_ptr<TCustomRVItemInfo> {
                                 return std::make_unique<TBlobItem>(d);
                             });
    for (bool binary : {false, true}) {
        Doc src;
        src.data.AddTextParagraph("before", 0, 0, TRVTag());
        auto owned = std::make_unique<TBlobItem>(&src.data);
        TBlobItem* blob = owned.get();
        blob->Blob = std::string("\0\r\n\xFF binary", 11);
        blob->Tag = TRVTag(5);
        src.data.AppendItem("blob name", std::move(owned));
        src.data.AddTextParagraph("after", 0, -1, TRVTag());
        Doc dst;
        dst.data.AddTextParagraph("existing", 0, 0, TRVTag());
        TStringStream ss(Save(src.data, binary));
        int index = 1, first, last;
        bool full;
        ASSERT_TRUE(dst.data.RvfReadLoop(ss, index, first, last, full));
        EXPECT_TRUE(full); // a whole-line item with sub-documents needs a full format
        ASSERT_EQ(dst.data.ItemCount(), 4);
        auto* read = dynamic_cast<TBlobItem*>(dst.data.GetItem(2));
        ASSERT_NE(read, nullptr);
        EXPECT_EQ(read->Blob, blob->Blob);
        EXPECT_EQ(dst.data.GetItemText(2), "blob name");
        EXPECT_EQ(read->Tag.Number(), 5);
        // The item after a whole-line item starts its own line.
        EXPECT_TRUE(dst.data.ItemStartsLine(3));
    }
}
