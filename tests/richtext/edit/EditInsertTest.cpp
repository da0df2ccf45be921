// Inserting at the caret through the editor: items, text with paragraph, line and page breaks,
// RVF and RTF documents (also through paste keys), the caret afterwards, joining with the
// neighbours, refusals, and undo of an insertion as one step.

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/controls/Clipbrd.h"
#include "platform/controls/Forms.h"
#include "platform/core/Exceptions.h"
#include "platform/core/Streams.h"
#include "platform/graphics/Bitmap.h"
#include "platform/testing/UserActions.h"
#include "richtext/edit/RVEdit.h"
#include "tests/richtext/edit/EditTestSupport.h"

namespace epc {
namespace {

// Fixtures of this folder (made by a word processor from the .html beside them).
std::string DataFile(const std::string& name) {
    const char* root = std::getenv("EPC_TEST_DATA");
    std::string dir = root ? std::string(root) + "/../richtext/edit/data/" : std::string(__FILE__);
    if (!root) dir = dir.substr(0, dir.find_last_of('/')) + "/data/";
    return dir + name;
}

class EditInsertTest : public test::EditorOnFormFixture<> {
protected:
    void SetUp() override {
        EditorOnFormFixture::SetUp();
        // Style 1: bold; style 2: Unicode.
        AddTextStyle([](TFontInfo& f) { f.Style = TRVFontStyles{TRVFontStyle::rvfsBold}; });
        AddTextStyle([](TFontInfo& f) { f.Unicode = true; });
        Style->ParaStyles.Add().Alignment = TRVAlignment::rvaCenter;
        AddEditor(10, 10, 400, 200);
    }
    // The items as "<line state><text>": '|' starts a paragraph, '/' a line, '+' joins, '^'
    // a paragraph with a page break; pictures are "[pic]", breaks "[br]", markers "[#]".
    std::vector<std::string> Items() {
        std::vector<std::string> out;
        for (int i = 0; i < Data()->ItemCount(); ++i) {
            const TCustomRVItemInfo* item = Data()->GetItem(i);
            std::string s = item->GetJoinsPrevious()     ? "+"
                            : item->GetLineBreakBefore() ? "/"
                            : item->GetPageBreakBefore() ? "^"
                                                         : "|";
            if (item->StyleNo >= 0) {
                const std::u16string w = Data()->GetItemTextW(i);
                s += std::string(w.begin(), w.end());
                if (item->StyleNo != 0) s += "@" + std::to_string(item->StyleNo);
            } else if (item->StyleNo == rvsBreak) {
                s += "[br]";
            } else if (item->StyleNo == rvsListMarker) {
                s += "[#]";
            } else {
                s += "[pic]";
            }
            out.push_back(s);
        }
        return out;
    }
    // Puts the caret at a character position of the document (see SelectRange).
    void CaretAt(int charPos) {
        int itemNo, offs;
        Data()->CharPosToItemPos(charPos, itemNo, offs);
        Data()->PlaceCaretAt(itemNo, offs);
    }
    std::string DocRvf() { return RvfOf(Edit); }
};

using S = std::vector<std::string>;
using V = std::vector<int>;

TEST_F(EditInsertTest, AnsiTextBreaksParagraphsAtCrLfAndALoneCr) {
    Edit->AppendTextParagraph("xy", 0, 0);
    Show();
    CaretAt(1);
    Edit->InsertText("a\r\nb");
    EXPECT_EQ(Items(), (S{"|xa", "|by"}));
    EXPECT_EQ(CaretPos(), (V{1, 2}));
    // A lone CR ends the paragraph too (also as the last byte); a lone LF is a character.
    Edit->InsertText("c\rd\ne\r");
    EXPECT_EQ(Items(), (S{"|xa", "|bc", "|d\ne", "|y"}));
    EXPECT_EQ(CaretPos(), (V{3, 1}));
}

TEST_F(EditInsertTest, UnicodeTextBreaksLinesParagraphsAndPages) {
    Show();
    Edit->SetCurTextStyleNo(2);
    Edit->InsertTextW(u"a\u2028b\u2029c\r\nd\n\re\x0B"
                      u"f\fg");
    EXPECT_EQ(Items(), (S{"|a@2", "/b@2", "|c@2", "|d@2", "|e@2", "/f@2", "^g@2"}));
    // A form feed right after a paragraph break puts the page break on that paragraph.
    Edit->InsertTextW(u"\r\n\fh");
    EXPECT_EQ(Items().back(), "^h@2");
    EXPECT_EQ(Items().size(), 8u);
}

TEST_F(EditInsertTest, TextIsConvertedToTheCurrentStyleAndTabsExpand) {
    Style->SpacesInTab = 2;
    Show();
    Edit->InsertTextW(u"\u00e9\t.");
    EXPECT_EQ(Data()->GetItemTextW(0), u"\u00e9  .");
    EXPECT_FALSE(Data()->GetItem(0)->IsUnicode());
    Edit->SetCurTextStyleNo(2);
    Edit->InsertText("z");
    EXPECT_EQ(Items(), (S{"|\xe9  .", "+z@2"}));
    EXPECT_TRUE(Data()->GetItem(1)->IsUnicode());
}

TEST_F(EditInsertTest, OddLengthUnicodeIsRefused) {
    Show();
    try {
        Data()->InsertTextW(std::string("a\0b", 3), false);
        FAIL();
    } catch (const ERichViewError& e) {
        EXPECT_STREQ(e.what(), "Can't perform Unicode operation");
    }
    EXPECT_EQ(Items(), (S{"|"}));
}

TEST_F(EditInsertTest, TextBetweenItemsOfItsStyleMergesIntoOne) {
    Edit->AppendTextParagraph("ab", 0, 0);
    Edit->AppendTextParagraph("cd", 1, -1);
    Show();
    CaretAt(1);
    Edit->InsertText("XY");
    EXPECT_EQ(Items(), (S{"|aXYb", "+cd@1"}));
    EXPECT_EQ(CaretPos(), (V{0, 4}));
    // Typed at the end of the first item in the current (first) style: joins it.
    CaretAt(4);
    Edit->InsertText("!");
    EXPECT_EQ(Items(), (S{"|aXYb!", "+cd@1"}));
}

TEST_F(EditInsertTest, PictureInsideAWordSplitsItAndTheCaretFollows) {
    Edit->AppendTextParagraph("word", 0, 0);
    Show();
    CaretAt(2);
    ASSERT_TRUE(Edit->InsertPicture("p", std::make_unique<TBitmap>(8, 8), TRVVAlign::rvvaBaseline));
    EXPECT_EQ(Items(), (S{"|wo", "+[pic]", "+rd"}));
    EXPECT_EQ(CaretPos(), (V{1, 1}));
    // At a paragraph start the picture takes over the start.
    CaretAt(0);
    ASSERT_TRUE(Edit->InsertPicture("q", std::make_unique<TBitmap>(8, 8), TRVVAlign::rvvaBaseline));
    EXPECT_EQ(Items(), (S{"|[pic]", "+wo", "+[pic]", "+rd"}));
    EXPECT_EQ(CaretPos(), (V{0, 1}));
    EXPECT_TRUE(Edit->CanUndo());
}

TEST_F(EditInsertTest, FullLineItemsStartAndEndTheirOwnParagraph) {
    Edit->AppendTextParagraph("abc", 0, 0);
    Show();
    CaretAt(2);
    auto br = std::make_unique<TRVBreakItemInfo>(Data());
    ASSERT_TRUE(Edit->InsertItem(std::move(br), ""));
    EXPECT_EQ(Items(), (S{"|ab", "|[br]", "|c"}));
    EXPECT_EQ(CaretPos(), (V{1, 1}));
    // Text inserted after a break begins a paragraph of its own.
    Edit->InsertText("x");
    EXPECT_EQ(Items(), (S{"|ab", "|[br]", "|x", "|c"}));
}

TEST_F(EditInsertTest, AListMarkerAtTheCaretIsRefusedAndNothingChanges) {
    Edit->AppendTextParagraph("abc", 0, 0);
    Show();
    CaretAt(1);
    const std::string before = DocRvf();
    const int beeps = testing::Beeps();
    auto marker = std::make_unique<TRVMarkerItemInfo>(Data(), 0, 0, 1, false);
    EXPECT_FALSE(Edit->InsertItem(std::move(marker), ""));
    EXPECT_EQ(DocRvf(), before);
    EXPECT_EQ(CaretPos(), (V{0, 2}));
    EXPECT_EQ(testing::Beeps(), beeps + 1);
    EXPECT_FALSE(Edit->CanUndo());
}

TEST_F(EditInsertTest, ReadOnlyParagraphsAndStickingItemsRefuseInsertion) {
    Style->ParaStyles.Add().Options.Include(TRVParaOption::rvpaoReadOnly);
    TFontInfo& sticky = Style->TextStyles.Add();
    sticky = Style->TextStyles[0];
    sticky.Protection.Include(TRVProtectOption::rvprSticking);
    Edit->AppendTextParagraph("locked", 0, 2);
    Edit->AppendTextParagraph("a", 3, 0);
    Edit->AppendTextParagraph("b", 3, -1);
    Show();
    CaretAt(2);
    Edit->InsertText("x");
    CaretAt(8); // between the two sticking items
    Edit->InsertText("y");
    EXPECT_EQ(Items(), (S{"|locked", "|a@3", "+b@3"}));
    EXPECT_FALSE(Edit->CanUndo());
}

TEST_F(EditInsertTest, AnItemObjectGoesToTheCaretOnlyWhenAsked) {
    Style->ParaStyles.Add().Options.Include(TRVParaOption::rvpaoReadOnly);
    Edit->AppendTextParagraph("ab", 0, 0);
    Edit->AppendTextParagraph("locked", 0, 2);
    Show();
    CaretAt(1);
    auto picture = [this] {
        return TRVGraphicItemInfo::CreateWithGraphic(Data(), std::make_unique<TBitmap>(4, 4),
                                                     TRVVAlign::rvvaBaseline);
    };
    EXPECT_TRUE(Data()->InsertItemObjectAt(0, "", picture(), true));
    EXPECT_EQ(Items(), (S{"|a", "+[pic]", "+b", "|locked"}));
    EXPECT_TRUE(Data()->InsertItemObjectAt(0, "", picture(), false));
    EXPECT_EQ(Items().front(), "|[pic]");
    Edit->Format();
    Data()->PlaceCaretAt(4, 2);
    const int beeps = testing::Beeps();
    EXPECT_FALSE(Data()->InsertItemObjectAt(0, "", picture(), true));
    EXPECT_EQ(testing::Beeps(), beeps + 1);
    EXPECT_EQ(Data()->ItemCount(), 5);
}

TEST_F(EditInsertTest, CaretBeforeKeepsTheCaretInFrontOfTheInsertion) {
    Edit->AppendTextParagraph("ab", 0, 0);
    Show();
    CaretAt(1);
    ASSERT_TRUE(Data()->InsertTextA("xyz", true));
    EXPECT_EQ(Items(), (S{"|axyzb"}));
    EXPECT_EQ(CaretPos(), (V{0, 2}));
}

TEST_F(EditInsertTest, TextInAListParagraphContinuesTheList) {
    TRVListInfo& list = Style->ListStyles.Add();
    list.Levels.push_back(std::make_unique<TRVListLevel>());
    Edit->AppendTextParagraph("", 0, 0);
    Show();
    Data()->SetParagraphMarker(0, 0, 0, 1, false);
    Edit->Format();
    ASSERT_EQ(Items(), (S{"|[#]", "+"}));
    CaretAt(0);
    Edit->InsertText("one\r\ntwo\r\nthree");
    EXPECT_EQ(Items(), (S{"|[#]", "+one", "|[#]", "+two", "|[#]", "+three"}));
    EXPECT_EQ(Data()->GetMarkers(false)->Count(), 3);
}

TEST_F(EditInsertTest, RvfGoesInsideTheLineAndCountsAsOneUndoStep) {
    auto* source = new TRichViewEdit(Form);
    source->SetStyle(Style);
    source->AppendTextParagraph("IN", 1, 0);
    const std::string fragment = RvfOf(source);
    Edit->AppendTextParagraph("abcd", 0, 0);
    Show();
    const std::string before = DocRvf();
    CaretAt(2);
    ASSERT_TRUE(InsertRvfBytes(fragment));
    EXPECT_EQ(Items(), (S{"|ab", "+IN@1", "+cd"}));
    EXPECT_EQ(CaretPos(), (V{1, 3}));
    Edit->Undo();
    EXPECT_EQ(DocRvf(), before);
    EXPECT_FALSE(Edit->CanUndo());
    Edit->Redo();
    EXPECT_EQ(Items(), (S{"|ab", "+IN@1", "+cd"}));
}

TEST_F(EditInsertTest, InsertionReplacesTheSelectionInOneUndoStep) {
    Edit->AppendTextParagraph("abcd", 0, 0);
    Show();
    const std::string before = DocRvf();
    Select(1, 2);
    Edit->InsertText("XYZ");
    EXPECT_EQ(Items(), (S{"|aXYZd"}));
    EXPECT_EQ(CaretPos(), (V{0, 5}));
    Edit->Undo();
    EXPECT_EQ(DocRvf(), before);
    EXPECT_FALSE(Edit->CanUndo());
}

TEST_F(EditInsertTest, ADocumentTakesThePlaceOfAnEmptyLine) {
    Edit->AppendTextParagraph("top", 0, 0);
    Edit->AppendTextParagraph("", 0, 0);
    Show();
    Data()->PlaceCaretAt(1, 1);
    ASSERT_TRUE(InsertRtfText("{\\rtf1\\ansi A\\par B}"));
    ASSERT_EQ(Items().size(), 3u);
    EXPECT_EQ(Items()[1].substr(0, 2), "|A");
    EXPECT_EQ(Items()[2].substr(0, 2), "|B");
    Edit->Undo();
    EXPECT_EQ(Items(), (S{"|top", "|"}));
}

TEST_F(EditInsertTest, FailedRvfAndRtfLeaveTheDocumentAndUndoAlone) {
    Edit->AppendTextParagraph("abcd", 0, 0);
    Show();
    Select(1, 2); // "bc": deleted before the insertion, put back when it fails
    const std::string before = DocRvf();
    EXPECT_FALSE(InsertRvfBytes("this is not a document\r\n"));
    EXPECT_EQ(DocRvf(), before);
    EXPECT_FALSE(InsertRtfText("{\\rtf1 unclosed {\\b group"));
    EXPECT_EQ(DocRvf(), before);
    EXPECT_EQ(Style->TextStyles.Count(), 3);
    EXPECT_FALSE(Edit->CanUndo());
}

TEST_F(EditInsertTest, RtfFromAWordProcessorKeepsTextAndBold) {
    Edit->AppendTextParagraph("<>", 0, 0);
    Show();
    CaretAt(1);
    ASSERT_TRUE(Edit->InsertRTFFromFile(DataFile("paste.rtf")));
    std::u16string text;
    bool sawBold = false;
    int paragraphs = 0;
    for (int i = 0; i < Data()->ItemCount(); ++i) {
        if (Data()->GetItem(i)->StartsParagraph()) ++paragraphs;
        const std::u16string t = Data()->GetItemTextW(i);
        text += t;
        if (t == u"bold words")
            sawBold =
                Style->TextStyles[Data()->GetItemStyleNo(i)].Style.Contains(TRVFontStyle::rvfsBold);
    }
    EXPECT_EQ(text, u"<Plain start bold words and italic end.Second paragraph.>");
    EXPECT_TRUE(sawBold);
    EXPECT_EQ(paragraphs, 2);
    // The first paragraph went into the caret's line: "<" leads it.
    EXPECT_EQ(Data()->GetItemTextW(0).substr(0, 1), u"<");
    Edit->Undo();
    EXPECT_EQ(Items(), (S{"|<>"}));
}

TEST_F(EditInsertTest, PasteKeysInsertRvfRtfAndUnicodeText) {
    Edit->AppendTextParagraph("", 0, 0);
    Show();
    const uint32_t rtfFormat = RegisterClipboardFormatA("Rich Text Format");
    const uint32_t rvfFormat = RegisterClipboardFormatA("RichView Format");
    TClipboard* clipboard = Clipboard();
    clipboard->Clear();
    clipboard->SetAsWideText(u"w\u00e9");
    testing::PressKey('V', {ssCtrl});
    EXPECT_EQ(Data()->GetItemTextW(0), u"w\u00e9");
    const std::string rtf = "{\\rtf1\\ansi {\\b R}}";
    clipboard->Clear();
    clipboard->SetBuffer(rtfFormat, rtf.data(), rtf.size());
    testing::PressKey(VK_INSERT, {ssShift});
    EXPECT_EQ(Items().size(), 2u);
    EXPECT_EQ(Data()->GetItemTextW(1), u"R");
    // RVF wins over RTF.
    auto* source = new TRichViewEdit(Form);
    source->SetStyle(Style);
    source->AppendTextParagraph("V", 0, 0);
    const std::string rvf = RvfOf(source);
    std::string block(4, '\0');
    const uint32_t n = uint32_t(rvf.size());
    for (int k = 0; k < 4; ++k)
        block[size_t(k)] = char((n >> (8 * k)) & 0xFF);
    block += rvf;
    clipboard->Open();
    clipboard->SetBuffer(rvfFormat, block.data(), block.size());
    clipboard->SetBuffer(rtfFormat, rtf.data(), rtf.size());
    clipboard->Close();
    testing::PressKey('V', {ssCtrl});
    EXPECT_EQ(Data()->GetItemTextW(Data()->ItemCount() - 1), u"V");
    // A bitmap becomes a picture.
    TBitmap bitmap(6, 4);
    clipboard->Assign(&bitmap);
    testing::PressKey('V', {ssCtrl});
    const int last = Data()->ItemCount() - 1;
    ASSERT_EQ(Data()->GetItemStyleNo(last), rvsPicture);
    EXPECT_EQ(Data()->GetItem(last)->GetImageWidth(Style), 6);
}

// A placeable Windows metafile of Right x Bottom units at Inch units per inch (0: none given).
std::string PlaceableMetafile(uint16_t right, uint16_t bottom, uint16_t inch) {
    std::string m;
    auto word = [&m](uint16_t v) {
        m += char(v & 0xFF);
        m += char(v >> 8);
    };
    for (int v : {0xCDD7, 0x9AC6, 0, 0, 0, int(right), int(bottom), int(inch), 0, 0, 0})
        word(uint16_t(v));
    // Header: type 1, 9 words, version 0x300, size 12 words, no objects, biggest record 3; then
    // the end record.
    for (int v : {1, 9, 0x300, 12, 0, 0, 3, 0, 0, 3, 0, 0})
        word(uint16_t(v));
    return m;
}

TEST_F(EditInsertTest, AMetafileOnTheClipboardPastesAtItsStoredSize) {
    Edit->AppendTextParagraph("ab", 0, 0);
    Show();
    const std::string before = DocRvf();
    TClipboard* clipboard = Clipboard();
    clipboard->Clear();
    const std::string wmf = PlaceableMetafile(1440, 720, 0); // 1 x 0.5 inch at 1440 a inch
    clipboard->SetBuffer(CF_METAFILEPICT, wmf.data(), wmf.size());
    ASSERT_EQ(Edit->GetPasteFormat(), TRVPasteFormat::Metafile);
    CaretAt(1);
    testing::PressKey('V', {ssCtrl});
    ASSERT_EQ(Items(), (S{"|a", "+[pic]", "+b"}));
    int width = 0, height = 0;
    EXPECT_TRUE(Data()->GetItemExtraIntProperty(1, kImageWidthProp, width));
    EXPECT_TRUE(Data()->GetItemExtraIntProperty(1, kImageHeightProp, height));
    EXPECT_EQ((V{width, height}), (V{96, 48}));
    EXPECT_EQ(Data()->GetItem(1)->GetImageWidth(Style), 96);
    auto* graphic = static_cast<TRVGraphicItemInfo*>(Data()->GetItem(1))->Image.get();
    ASSERT_TRUE(dynamic_cast<TMetafile*>(graphic));
    EXPECT_EQ(static_cast<TMetafile*>(graphic)->Inch(), 1440);
    testing::PressKey('Z', {ssCtrl});
    EXPECT_EQ(DocRvf(), before);

    // A resolution of its own is kept; bytes that are no metafile paste nothing.
    clipboard->Clear();
    const std::string wide = PlaceableMetafile(576, 576, 576);
    clipboard->SetBuffer(CF_METAFILEPICT, wide.data(), wide.size());
    CaretAt(2);
    testing::PressKey('V', {ssCtrl});
    ASSERT_EQ(Data()->ItemCount(), 2);
    EXPECT_EQ(Data()->GetItem(1)->GetImageWidth(Style), 96);
    testing::PressKey('Z', {ssCtrl});
    clipboard->Clear();
    clipboard->SetBuffer(CF_METAFILEPICT, "junk", 4);
    testing::PressKey('V', {ssCtrl});
    EXPECT_EQ(DocRvf(), before);
    EXPECT_FALSE(ReadMetafileClipboardBlock(wmf.substr(0, 30)));
}

} // namespace
} // namespace epc
