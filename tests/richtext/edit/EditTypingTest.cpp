// Typing, Backspace, Delete, Enter and selection deletion driven by key messages, with the
// protections that refuse them and the undo steps they leave.

#include "platform/controls/ExtCtrls.h"
#include "richtext/edit/RVUndoRecords.h"
#include "tests/richtext/edit/EditTestSupport.h"

namespace epc::test {
namespace {

using V = std::vector<int>;

class Typing : public EditFixture {
protected:
    // Undo and redo through the keyboard.
    void UndoKey() { Key('Z', {ssCtrl}); }
    void RedoKey() { Key('Z', {ssCtrl, ssShift}); }
};

TEST_F(Typing, TypedCharactersFormOneStepAndUndoAndRedoByKeys) {
    Load({"Hello"});
    const std::string original = Rvf();
    CaretAt(0, 6);
    Type(" abc");
    EXPECT_EQ(Text(), "Hello abc");
    EXPECT_EQ(Caret(), (V{0, 10}));
    ASSERT_EQ(Data()->UndoList->Count(), 1);
    EXPECT_EQ(Edit->UndoAction(), TRVUndoType::Typing);
    // Typing elsewhere is a step of its own.
    CaretAt(0, 1);
    Type(">");
    EXPECT_EQ(Data()->UndoList->Count(), 2);
    const std::string edited = Rvf();
    UndoKey();
    EXPECT_EQ(Text(), "Hello abc");
    EXPECT_EQ(Caret(), (V{0, 1})); // where the step began
    UndoKey();
    EXPECT_EQ(Rvf(), original);
    EXPECT_EQ(Caret(), (V{0, 6}));
    EXPECT_FALSE(Edit->CanUndo());
    RedoKey();
    RedoKey();
    EXPECT_EQ(Rvf(), edited);
    EXPECT_EQ(Caret(), (V{0, 2})); // where the caret stood when the step was undone
    // A new change forgets what could be redone.
    UndoKey();
    Type("x");
    EXPECT_FALSE(Edit->CanRedo());
}

// Typing lays out only its paragraphs: an embedded control below follows the lines it adds, and
// one above stays put.
TEST_F(Typing, ControlsBelowFollowTheLinesTypingAdds) {
    auto* above = new TPanel(nullptr);
    above->SetBounds(0, 0, 30, 20);
    auto* below = new TPanel(nullptr);
    below->SetBounds(0, 0, 30, 20);
    Data()->AddControlItem("above", TRVComponentPtr(above), 0, TRVVAlign::rvvaBaseline);
    Data()->AddTextParagraph("configure the router", 0, 0, TRVTag());
    Data()->AddControlItem("below", TRVComponentPtr(below), 0, TRVVAlign::rvvaBaseline);
    Show();
    const int aboveTop = above->Top(), belowTop = below->Top();
    auto drawTop = [this] { return Data()->DrawItems[Data()->GetFirstDrawItemNo(2)]->Top; };
    const int belowDrawTop = drawTop();
    CaretAt(1, 21);
    Type(" x"); // the line keeps its height
    EXPECT_EQ(drawTop(), belowDrawTop);
    EXPECT_EQ(below->Top(), belowTop);
    const int lines = Data()->DrawItems.Count();
    while (Data()->DrawItems.Count() == lines)
        Type(" interface");
    EXPECT_GT(drawTop(), belowDrawTop);
    EXPECT_EQ(below->Top() - belowTop, drawTop() - belowDrawTop);
    EXPECT_EQ(above->Top(), aboveTop);
}

TEST_F(Typing, EnterIsATypingStepToo) {
    Load({"Hello world"});
    CaretAt(0, 6);
    Key(VK_RETURN);
    EXPECT_EQ(Text(), "Hello\n world");
    EXPECT_EQ(Caret(), (V{1, 1}));
    EXPECT_EQ(Edit->UndoAction(), TRVUndoType::Typing);
    EXPECT_EQ(UndoTypeOfAction(rvutTyping), UndoTypeOfAction(rvutTypingRun));
    UndoKey();
    EXPECT_EQ(Text(), "Hello world");
    EXPECT_EQ(Edit->RedoAction(), TRVUndoType::Typing);
}

TEST_F(Typing, EnterAndShiftEnterAtTheEdgesAndInside) {
    Load({"ab"});
    CaretAt(0, 3);
    Key(VK_RETURN);
    EXPECT_EQ(Text(), "ab\n");
    Type("c");
    EXPECT_EQ(Text(), "ab\nc");
    Key(VK_RETURN, {ssShift});
    Type("d");
    EXPECT_EQ(Text(), "ab\nc/d");
    CaretAt(0, 1);
    Key(VK_RETURN);
    EXPECT_EQ(Text(), "\nab\nc/d");
    EXPECT_EQ(Caret(), (V{1, 1}));
    // Between two items of a line the second one starts the new paragraph.
    CaretAt(3, 1);
    Key(VK_BACK);
    EXPECT_EQ(Text(), "\nab\ncd");
    CaretAt(2, 2);
    Edit->SetCurTextStyleNo(1);
    Type("X");
    EXPECT_EQ(Text(), "\nab\nc|X|d");
    CaretAt(3, 2);
    Key(VK_RETURN);
    EXPECT_EQ(Text(), "\nab\nc|X\nd");
}

TEST_F(Typing, BackspaceAndDeleteJoinParagraphsAndMergeTheirText) {
    Load({"one", "two", ""});
    CaretAt(1, 1);
    Key(VK_BACK);
    EXPECT_EQ(Text(), "onetwo\n");
    EXPECT_EQ(Data()->ItemCount(), 2);
    EXPECT_EQ(Caret(), (V{0, 4}));
    Key(VK_DELETE);
    EXPECT_EQ(Text(), "onewo\n");
    Key(VK_END, {ssCtrl});
    // At the very end an empty last paragraph goes; then nothing happens.
    Key(VK_DELETE);
    EXPECT_EQ(Text(), "onewo");
    Key(VK_DELETE);
    EXPECT_EQ(Text(), "onewo");
    CaretAt(0, 1);
    Key(VK_BACK);
    EXPECT_EQ(Text(), "onewo");
    for (int i = 0; i < 3; ++i)
        UndoKey();
    EXPECT_EQ(Text(), "one\ntwo\n");
}

TEST_F(Typing, WordBackspaceAndWordDelete) {
    Load({"alpha beta gamma"});
    CaretAt(0, 12);
    Key(VK_BACK, {ssCtrl});
    EXPECT_EQ(Text(), "alpha gamma");
    CaretAt(0, 1);
    Key(VK_DELETE, {ssCtrl});
    EXPECT_EQ(Text(), "gamma");
}

TEST_F(Typing, BackspaceAtAParagraphWithAPageBreakOnlyRemovesTheBreak) {
    Load({"one", "two"});
    Data()->GetItem(1)->SetPageBreakBefore(true);
    Edit->Format();
    CaretAt(1, 1);
    Key(VK_BACK);
    EXPECT_EQ(Text(), "one\ntwo");
    EXPECT_FALSE(Data()->GetItem(1)->GetPageBreakBefore());
    Key(VK_BACK);
    EXPECT_EQ(Text(), "onetwo");
}

TEST_F(Typing, BackspaceAfterAListMarkerTakesTheParagraphOutOfTheList) {
    TRVListInfo& list = Style->ListStyles.Add();
    list.AddLevel().ListType = TRVListType::rvlstDecimal;
    list.Levels[0]->FormatString = "%0:s.";
    Load({"one", "two"});
    Data()->SetParagraphMarker(1, 0, 0, 1, false);
    Edit->Format();
    EXPECT_EQ(Data()->GetItemStyleNo(1), rvsListMarker);
    // Enter at the end of a list paragraph continues the list.
    CaretAt(2, 4);
    Key(VK_RETURN);
    EXPECT_EQ(Data()->GetItemStyleNo(3), rvsListMarker);
    EXPECT_EQ(Caret(), (V{4, 1}));
    Key(VK_BACK);
    EXPECT_EQ(Data()->ItemCount(), 4);
    EXPECT_TRUE(Data()->GetItem(3)->StartsParagraph());
    UndoKey();
    EXPECT_EQ(Data()->GetItemStyleNo(3), rvsListMarker);
}

TEST_F(Typing, LaterNumbersThatGrowWiderAreLaidOutAgain) {
    TRVListInfo& list = Style->ListStyles.Add();
    list.AddLevel().ListType = TRVListType::rvlstDecimal;
    list.Levels[0]->FormatString = "%0:s.";
    Load(std::vector<std::string>(9, "item text"));
    for (int i = 8; i >= 0; --i)
        Data()->SetParagraphMarker(i, 0, 0, 1, false);
    Edit->Format();
    // A new list paragraph after the first turns "9." into "10.".
    CaretAt(1, 5);
    Key(VK_RETURN);
    ASSERT_EQ(Data()->ItemCount(), 20);
    auto layout = [this] {
        std::vector<int> v;
        for (int i = 0; i < Data()->DrawItems.Count(); ++i)
            v.insert(v.end(), {Data()->DrawItems[i]->Left, Data()->DrawItems[i]->Width});
        return v;
    };
    const std::vector<int> edited = layout();
    Data()->Format(false);
    EXPECT_EQ(edited, layout());
}

TEST_F(Typing, LinesAreBrokenAgainWhenTheScrollBarComes) {
    // Lines that just fit the window's width; new lines bring the scroll bar, and the lines no
    // longer fit beside it.
    Load(std::vector<std::string>(4, "abcdefghi abcdefghi abcdefghi abcdef"));
    ASSERT_EQ(Data()->DrawItems.Count(), 4);
    CaretAt(3, 37);
    for (int i = 0; i < 10; ++i)
        Key(VK_RETURN);
    auto layout = [this] {
        std::vector<int> v;
        for (int i = 0; i < Data()->DrawItems.Count(); ++i)
            v.insert(v.end(), {Data()->DrawItems[i]->ItemNo, Data()->DrawItems[i]->Length,
                               Data()->DrawItems[i]->Top});
        return v;
    };
    const std::vector<int> edited = layout();
    EXPECT_EQ(Data()->DrawItems.Count(), 4 * 2 + 10);
    Data()->Format(false);
    EXPECT_EQ(edited, layout());
}

TEST_F(Typing, TypingNextToAConcateProtectedItemMakesANewItem) {
    Data()->AddTextParagraph("locked", 4, 0, TRVTag());
    Show();
    CaretAt(0, 7);
    Edit->SetCurTextStyleNo(4);
    Type("x");
    EXPECT_EQ(Text(), "locked|x");
    EXPECT_EQ(Data()->GetItemStyleNo(1), 4);
}

TEST_F(Typing, ProtectionsRefuseWithABeep) {
    Data()->AddTextParagraph("fixed", 2, 0, TRVTag());
    Data()->AddTextParagraph("readonly", 0, 2, TRVTag());
    Data()->AddTextParagraph("noreturns", 0, 4, TRVTag());
    Data()->AddTextParagraph("start", 5, 0, TRVTag());
    Data()->AddTextParagraph("keep", 3, 0, TRVTag());
    Data()->AddTextParagraph("end", 0, -1, TRVTag());
    Show();
    const std::string before = Rvf();
    struct Try {
        int itemNo, offs;
        Word key;
        TShiftState shift;
    };
    const Try refused[] = {
        {0, 3, 'X', {}},       // typing inside a modify-protected item
        {0, 3, VK_BACK, {}},   // deleting inside it
        {1, 3, VK_BACK, {}},   // a read-only paragraph
        {1, 3, 'X', {}},       //
        {2, 3, VK_RETURN, {}}, // a paragraph that takes no returns
        {3, 1, VK_RETURN, {}}, // an item that may not start a paragraph
        {3, 1, VK_BACK, {}},   // nor stop starting one
    };
    for (const Try& t : refused) {
        SCOPED_TRACE(t.key);
        CaretAt(t.itemNo, t.offs);
        const int beeps = testing::Beeps();
        if (t.key == 'X')
            Type("X");
        else
            Key(t.key, t.shift);
        EXPECT_EQ(testing::Beeps(), beeps + 1);
        EXPECT_EQ(Rvf(), before);
    }
    // A selection over a delete-protected item is not deleted.
    Data()->SetSelection(3, 2, 5, 2);
    const int beeps = testing::Beeps();
    Key(VK_DELETE);
    EXPECT_EQ(testing::Beeps(), beeps + 1);
    EXPECT_EQ(Rvf(), before);
    // Without sound the refusal is silent.
    Style->UseSound = false;
    CaretAt(0, 3);
    Type("X");
    EXPECT_EQ(testing::Beeps(), beeps + 1);
    EXPECT_FALSE(Edit->CanUndo());
}

TEST_F(Typing, EnterAtTheEndSwitchesToTheNextStyle) {
    Data()->AddTextParagraph("Title", 6, 0, TRVTag());
    Style->ParaStyles.GetItem(0).NextParaNo = 1;
    Show();
    CaretAt(0, 6);
    Key(VK_RETURN);
    EXPECT_EQ(Edit->CurTextStyleNo(), 1);
    EXPECT_EQ(Edit->CurParaStyleNo(), 1);
    EXPECT_EQ(Data()->GetItemStyleNo(1), 1);
    EXPECT_EQ(Data()->GetItemParaNo(1), 1);
}

TEST_F(Typing, EnterAtTheStartKeepsTheStylesForTheLineBelow) {
    Data()->AddTextParagraph("Title", 6, 0, TRVTag());
    Style->ParaStyles.GetItem(0).NextParaNo = 1;
    Show();
    CaretAt(0, 1);
    Key(VK_RETURN);
    EXPECT_EQ(Text(), "\nTitle");
    EXPECT_EQ(Edit->CurTextStyleNo(), 6);
    EXPECT_EQ(Edit->CurParaStyleNo(), 0);
    EXPECT_EQ(Data()->GetItemParaNo(1), 0);
    EXPECT_EQ(Caret(), (V{1, 1}));
}

// A letter with its combining marks is one character for the caret and for deletion.
TEST_F(Typing, CombiningMarksAreCrossedAndDeletedWithTheirLetter) {
    // x, e + acute, a + dot below + circumflex, y
    Data()->AddTextParagraphW(u"xe\u0301a\u0323\u0302y", 1, 0, TRVTag());
    Data()->AddTextParagraphW(u"ze\u0301", 1, 0, TRVTag());
    Show();
    CaretAt(0, 1);
    std::vector<V> right;
    for (int i = 0; i < 4; ++i) {
        Key(VK_RIGHT);
        right.push_back(Caret());
    }
    EXPECT_EQ(right, (std::vector<V>{{0, 2}, {0, 4}, {0, 7}, {0, 8}}));
    std::vector<V> left;
    for (int i = 0; i < 3; ++i) {
        Key(VK_LEFT);
        left.push_back(Caret());
    }
    EXPECT_EQ(left, (std::vector<V>{{0, 7}, {0, 4}, {0, 2}}));
    // A position inside a character puts the caret behind the whole character.
    CaretAt(0, 5);
    EXPECT_EQ(Data()->CharEnds[size_t(Data()->CaretOffs)].Offset, 7);
    CaretAt(1, 3); // inside the last character of an item
    ASSERT_GE(Data()->CaretOffs, 0);
    EXPECT_EQ(Data()->CharEnds[size_t(Data()->CaretOffs)].Offset, 4);

    CaretAt(0, 2);
    Key(VK_DELETE);
    EXPECT_EQ(Data()->GetItemTextW(0), u"xa\u0323\u0302y");
    Key(VK_DELETE);
    EXPECT_EQ(Data()->GetItemTextW(0), u"xy");
    UndoKey();
    UndoKey();
    CaretAt(0, 7);
    Key(VK_BACK);
    EXPECT_EQ(Data()->GetItemTextW(0), u"xe\u0301y");
    EXPECT_EQ(Caret(), (V{0, 4}));
    // Word steps land on stops that exist.
    CaretAt(0, 1);
    Key(VK_END);
    Key(VK_LEFT, {ssCtrl});
    EXPECT_EQ(Caret(), (V{0, 1}));
}

TEST_F(Typing, ClearingTheDocumentClearsTheModifiedFlag) {
    Load({"text"});
    EXPECT_FALSE(Edit->Modified);
    CaretAt(0, 5);
    Type("a");
    ASSERT_TRUE(Edit->Modified);
    Edit->ClearDocument();
    EXPECT_FALSE(Edit->Modified);
}

TEST_F(Typing, AnEmptyItemTakesTheCurrentParagraphStyleWithItsFirstCharacter) {
    Load({"", "next"});
    const std::string original = Rvf();
    CaretAt(0, 1);
    Edit->SetCurParaStyleNo(1);
    Type("a");
    EXPECT_EQ(Data()->GetItemParaNo(0), 1);
    EXPECT_EQ(Data()->GetItemParaNo(1), 0);
    Type("b"); // text already there: the paragraph keeps its style
    Edit->SetCurParaStyleNo(0);
    Type("c");
    EXPECT_EQ(Text(), "abc\nnext");
    EXPECT_EQ(Data()->GetItemParaNo(0), 1);
    while (Edit->CanUndo())
        UndoKey();
    EXPECT_EQ(Rvf(), original);
    // Typed in another text style the empty item takes both styles.
    CaretAt(0, 1);
    Edit->SetCurTextStyleNo(6);
    Edit->SetCurParaStyleNo(1);
    Type("x");
    EXPECT_EQ((V{Data()->GetItemStyleNo(0), Data()->GetItemParaNo(0)}), (V{6, 1}));
    UndoKey();
    EXPECT_EQ(Rvf(), original);
}

TEST_F(Typing, DeletingTheSelection) {
    Load({"first line", "second", "third line"});
    Data()->SetSelection(0, 7, 2, 7);
    Type("X");
    EXPECT_EQ(Text(), "first Xline");
    EXPECT_EQ(Data()->ItemCount(), 1);
    EXPECT_EQ(Edit->UndoAction(), TRVUndoType::Typing);
    UndoKey();
    EXPECT_EQ(Edit->UndoAction(), TRVUndoType::Delete);
    UndoKey();
    EXPECT_EQ(Text(), "first line\nsecond\nthird line");
    // A selection inside one item.
    Data()->SetSelection(1, 2, 1, 5);
    Key(VK_BACK);
    EXPECT_EQ(Text(), "first line\nsnd\nthird line");
    EXPECT_EQ(Caret(), (V{1, 2}));
}

TEST_F(Typing, WithoutUndoNothingCanBeUndone) {
    Load({"text"});
    Edit->SetUndoLimit(0);
    CaretAt(0, 5);
    Type("ab");
    Key(VK_RETURN);
    Key(VK_BACK);
    EXPECT_EQ(Text(), "textab");
    EXPECT_FALSE(Edit->CanUndo());
}

TEST_F(Typing, ClearingTheDocumentForgetsItsSteps) {
    Load({"text"});
    CaretAt(0, 5);
    Type("ab");
    UndoKey();
    Type("c");
    UndoKey();
    ASSERT_TRUE(Edit->CanRedo());
    Edit->Clear();
    EXPECT_FALSE(Edit->CanUndo());
    EXPECT_FALSE(Edit->CanRedo());
}

TEST_F(Typing, AReadOnlyEditorTakesNoKeys) {
    Load({"text"});
    Edit->SetReadOnly(true);
    CaretAt(0, 5);
    Type("ab");
    Key(VK_BACK);
    Key(VK_RETURN);
    EXPECT_EQ(Text(), "text");
}

} // namespace
} // namespace epc::test
