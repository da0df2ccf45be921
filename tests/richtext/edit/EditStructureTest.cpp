// The structure editing leaves behind, driven by keys and clicks: typed letters keep the
// encoding of the item they land in, list markers start paragraphs and never stand alone,
// full-line items keep lines of their own, and no empty text item is left beside others.

#include "platform/graphics/Bitmap.h"
#include "tests/richtext/edit/EditTestSupport.h"

namespace epc::test {
namespace {

using V = std::vector<int>;

class Structure : public EditFixture {
protected:
    void SetUp() override {
        EditFixture::SetUp();
        TRVListInfo& list = Style->ListStyles.Add();
        list.AddLevel().ListType = TRVListType::rvlstDecimal;
        list.Levels[0]->FormatString = "%0:s.";
        Style->UseSound = true;
    }
    // Paragraphs of a numbered list.
    void LoadList(const std::vector<std::string>& paragraphs) {
        Load(paragraphs);
        for (int i = int(paragraphs.size()) - 1; i >= 0; --i)
            Data()->SetParagraphMarker(i, 0, 0, 1, false);
        Edit->Format();
    }
    std::unique_ptr<TCustomRVItemInfo> Marker() {
        return std::make_unique<TRVMarkerItemInfo>(Data(), 0, 0, 1, false);
    }
    // The items: "#" a list marker, "-" a break, "[p]" a picture, text as ASCII in quotes when
    // empty; "|" joins the line, "/" a line break, "\n" a paragraph.
    std::string Items() {
        std::string s;
        TRVEditRVData* d = Data();
        for (int i = 0; i < d->ItemCount(); ++i) {
            const TCustomRVItemInfo* item = d->GetItem(i);
            if (i > 0)
                s += item->GetJoinsPrevious() ? "|" : item->GetLineBreakBefore() ? "/" : "\n";
            if (item->StyleNo == rvsListMarker)
                s += "#";
            else if (item->StyleNo == rvsBreak)
                s += "-";
            else if (item->StyleNo < 0)
                s += "[" + d->GetItemText(i) + "]";
            else if (d->GetItemText(i).empty())
                s += "''";
            else
                for (char16_t c : d->GetItemTextW(i))
                    s += char(c);
        }
        return s;
    }
    // What the editor saves reads back into a second editor and saves to the same bytes.
    void ExpectRvfReloads() {
        const std::string saved = Rvf();
        auto* other = new TRichViewEdit(Form);
        other->SetParent(Form);
        other->SetStyle(Style);
        TMemoryStream in;
        LoadStream(in, saved);
        ASSERT_TRUE(other->RVData()->LoadFromRvfStream(in));
        TMemoryStream out;
        other->RVData()->SaveToRvfStream(out, false);
        EXPECT_EQ(out.DataString(), saved);
    }
    void UndoAll() {
        while (Edit->CanUndo())
            Edit->Undo();
    }
};

// The letter is encoded once the deletion has settled the style it is typed in: the style of
// the text the caret lands in, ANSI or Unicode, whatever was picked before.
TEST_F(Structure, ALetterTypedOverASelectionTakesTheEncodingOfTheTextItLandsIn) {
    for (const bool unicodeText : {false, true}) {
        SCOPED_TRACE(unicodeText);
        Data()->Clear();
        Data()->AddTextParagraph("Alpha", unicodeText ? 1 : 0, 0, TRVTag());
        Data()->AddTextParagraph("Delta epsilon", unicodeText ? 1 : 0, 0, TRVTag());
        Show();
        CaretAt(0, 3);
        Key(VK_DOWN, {ssShift});
        ASSERT_EQ(Sel(), (V{0, 3, 1, 3}));
        Edit->SetCurTextStyleNo(unicodeText ? 0 : 1);
        const int beeps = testing::Beeps();
        Type("x");
        EXPECT_EQ(Items(), "Alxlta epsilon");
        EXPECT_EQ(testing::Beeps(), beeps);
        EXPECT_EQ(Data()->GetItem(0)->IsUnicode(), unicodeText);
        EXPECT_EQ(Data()->GetItemText(0).size(), unicodeText ? 28u : 14u);
        EXPECT_EQ(Caret(), (V{0, 4}));
    }
}

// Shift+Enter at the end of a line whose next line starts with a picture puts an empty line
// between them; the picture stays one, and what is saved reads back.
TEST_F(Structure, ShiftEnterBeforeAPictureLineAddsAnEmptyLine) {
    Load({""});
    Type("abc");
    Key(VK_RETURN, {ssShift});
    ASSERT_TRUE(
        Edit->InsertPicture("p", std::make_unique<TBitmap>(10, 12), TRVVAlign::rvvaBaseline));
    Type(" tail");
    ASSERT_EQ(Items(), "abc/[p]| tail");
    Key(VK_HOME, {ssCtrl});
    Key(VK_END);
    Key(VK_RETURN, {ssShift});
    EXPECT_EQ(Items(), "abc/''/[p]| tail");
    EXPECT_EQ(Caret(), (V{1, 1}));
    ExpectRvfReloads();
    Type("mid");
    EXPECT_EQ(Items(), "abc/mid/[p]| tail");
}

// Deleting or typing over the whole text of a list paragraph leaves its marker with an empty
// item where the caret stands, and the next letter goes there.
TEST_F(Structure, TheWholeTextOfAListParagraphGoesAndTheMarkerKeepsALine) {
    LoadList({"a", "b", "c"});
    ASSERT_EQ(Items(), "#|a\n#|b\n#|c");
    CaretAt(3, 1);
    Key(VK_END, {ssShift});
    Type("z");
    EXPECT_EQ(Items(), "#|a\n#|z\n#|c");
    Key(VK_HOME, {ssShift});
    Key(VK_DELETE);
    EXPECT_EQ(Items(), "#|a\n#|''\n#|c");
    Type("y");
    EXPECT_EQ(Items(), "#|a\n#|y\n#|c");
}

// A paragraph break inserted at a list paragraph's start leaves an empty list paragraph above,
// where Ctrl+Home then types.
TEST_F(Structure, ABreakInsertedAtAListParagraphStartLeavesAnEmptyListItemAbove) {
    LoadList({"a", "b"});
    CaretAt(1, 1);
    Edit->InsertText("\r\n");
    EXPECT_EQ(Items(), "#|''\n#|a\n#|b");
    Key(VK_HOME, {ssCtrl});
    Type("q");
    EXPECT_EQ(Items(), "#|q\n#|a\n#|b");
}

// A list applied to an empty paragraph starts that paragraph with the marker; the caret goes
// behind it, so typing fills the list paragraph.
TEST_F(Structure, AListAppliedToAnEmptyParagraphTakesTheTypingThatFollows) {
    Load({"top", "", "bottom"});
    CaretAt(1, 1);
    ASSERT_TRUE(Edit->InsertItem(Marker(), ""));
    EXPECT_EQ(Items(), "top\n#|''\nbottom");
    Type("middle item");
    EXPECT_EQ(Items(), "top\n#|middle item\nbottom");
}

// Enter at the end of a list item and Delete pull the next list item up into the new one; a
// full-line item below takes the empty list paragraph away instead of joining it.
TEST_F(Structure, DeleteInAnEmptyListItemPullsTheNextParagraphUp) {
    LoadList({"apple", "banana"});
    CaretAt(1, 6);
    Key(VK_RETURN);
    ASSERT_EQ(Items(), "#|apple\n#|''\n#|banana");
    Key(VK_DELETE);
    EXPECT_EQ(Items(), "#|apple\n#|banana");
    EXPECT_EQ(Caret(), (V{3, 1}));

    Data()->Clear();
    Data()->AddTextParagraph("apple", 0, 0, TRVTag());
    Data()->AddBreak();
    Data()->AddTextParagraph("after", 0, 0, TRVTag());
    Show();
    Data()->SetParagraphMarker(0, 0, 0, 1, false);
    Edit->Format();
    CaretAt(1, 6);
    Key(VK_RETURN);
    ASSERT_EQ(Items(), "#|apple\n#|''\n-\nafter");
    Key(VK_DELETE);
    EXPECT_EQ(Items(), "#|apple\n-\nafter");
}

// A marker put on an empty item that continued a line starts a paragraph of its own.
TEST_F(Structure, AMarkerOnAnEmptyItemInsideALineStartsAParagraph) {
    Data()->AddPictureItem("p", std::make_unique<TBitmap>(10, 12), 0, TRVVAlign::rvvaBaseline);
    Data()->AddTextParagraph("", 0, -1, TRVTag());
    Show();
    ASSERT_EQ(Items(), "[p]|''");
    CaretAt(1, 1);
    ASSERT_TRUE(Edit->InsertItem(Marker(), ""));
    EXPECT_EQ(Items(), "[p]\n#|''");
}

// A selection that starts right behind a break takes the text after it; what is left starts a
// paragraph of its own.
TEST_F(Structure, DeletingASelectionBehindABreakKeepsTheBreakALine) {
    Data()->AddTextParagraph("one", 0, 0, TRVTag());
    Data()->AddBreak();
    Data()->AddTextParagraph("two", 0, 0, TRVTag());
    Data()->AddTextParagraph("three four", 0, 0, TRVTag());
    Show();
    CaretAt(3, 6);
    Key(VK_UP, {ssShift});
    Key(VK_UP, {ssShift});
    Key(VK_END, {ssShift});
    ASSERT_EQ(Sel(), (V{1, 1, 3, 6}));
    Key(VK_DELETE);
    EXPECT_EQ(Items(), "one\n-\n four");
    ExpectRvfReloads();
}

// Selections over whole paragraphs leave no empty item beside the text that stays.
TEST_F(Structure, DeletingWholeParagraphsLeavesNoEmptyItemBehind) {
    Load({"a", "b", "c"});
    CaretAt(0, 1);
    Key(VK_DOWN, {ssShift});
    Key(VK_DELETE);
    EXPECT_EQ(Items(), "b\nc");
    EXPECT_EQ(Data()->ItemCount(), 2);
    Key(VK_HOME, {ssCtrl});
    Key(VK_END, {ssCtrl, ssShift});
    Key(VK_DELETE);
    EXPECT_EQ(Items(), "''");
    EXPECT_EQ(Data()->ItemCount(), 1);
    Type("b");
    Key(VK_RETURN);
    Type("c");
    Key(VK_HOME, {ssCtrl});
    Key(VK_END, {ssCtrl, ssShift});
    Type("x");
    EXPECT_EQ(Items(), "x");
    // A form feed alone at a paragraph's end has no paragraph to break.
    Edit->InsertTextW(u"\f");
    EXPECT_EQ(Items(), "x");
}

// An RVF stream that fails halfway keeps what it inserted before the bad line, as one step
// that undo takes away.
TEST_F(Structure, AnRvfStreamThatFailsHalfwayKeepsWhatItReadAsOneStep) {
    Load({"ab"});
    const std::string valid = Rvf();
    Data()->Clear();
    Data()->AddTextParagraph("xy", 0, 0, TRVTag());
    Show();
    const std::string before = Rvf();
    CaretAt(0, 3);
    const int beeps = testing::Beeps();
    EXPECT_FALSE(InsertRvfBytes(valid + "not a record line\r\n"));
    EXPECT_EQ(testing::Beeps(), beeps + 1);
    EXPECT_EQ(Items(), "xyab");
    ExpectRvfReloads();
    ASSERT_TRUE(Edit->CanUndo());
    Edit->Undo();
    EXPECT_EQ(Rvf(), before);
}

// The tidying after an edit looks at the paragraphs beside it but never changes a read-only one.
TEST_F(Structure, TidyingLeavesAReadOnlyParagraphBesideTheEditAlone) {
    Data()->AddTextParagraph("", 0, 2, TRVTag());
    Data()->AddTextParagraph("ro", 0, -1, TRVTag());
    Data()->AddTextParagraph("ab", 0, 0, TRVTag());
    Show();
    ASSERT_EQ(Items(), "''|ro\nab");
    CaretAt(2, 3);
    Key(VK_RETURN);
    EXPECT_EQ(Items(), "''|ro\nab\n''");
    CaretAt(2, 2);
    Key(VK_BACK);
    EXPECT_EQ(Items(), "''|ro\nb\n''");
}

} // namespace
} // namespace epc::test
