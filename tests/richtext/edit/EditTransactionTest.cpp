// Every edit operation is one step: recording stops at its end (also when it throws), a step
// that took nothing leaves no empty group, and the re-format after it finds every paragraph
// that grew wider than the document.

#include "platform/core/Exceptions.h"
#include "richtext/edit/RVEditTransaction.h"
#include "tests/richtext/edit/EditTestSupport.h"

namespace epc::test {
namespace {

class EditTransaction : public EditFixture {
protected:
    void Load(const std::vector<std::string>& paragraphs, int styleNo = 0) {
        for (const std::string& p : paragraphs)
            Data()->AddTextParagraph(p, styleNo, 0, TRVTag());
        Show();
    }
    void ExpectStopped(const char* after) {
        SCOPED_TRACE(after);
        EXPECT_EQ(Data()->UndoDest, rvudNone);
        EXPECT_EQ(Data()->UndoList->GroupModeLevel, 0);
        for (int i = 0; i < Data()->UndoList->Count(); ++i)
            EXPECT_GT(Data()->UndoList->Items(i)->Count(), 0);
    }
};

TEST_F(EditTransaction, AnOperationThatThrowsStopsRecordingAndLeavesNoEmptyStep) {
    // Text style 6 switches to 1 on Enter at the end: the switch runs inside the step.
    Load({"Title"}, 6);
    Data()->PlaceCaretAt(0, 6);
    Edit->OnCurTextStyleChanged = [](TObject*) { throw Exception("refused"); };
    EXPECT_THROW(Data()->EnterKey(false), Exception);
    ExpectStopped("Enter");
    EXPECT_EQ(Data()->UndoList->Count(), 0);
    Edit->OnCurTextStyleChanged = nullptr;

    // The conversion handler is asked for each selected item inside the step.
    Edit->OnStyleConversion = [](TCustomRichViewEdit*, int, int, bool applied, int&) {
        if (applied) throw Exception("refused");
    };
    Data()->SelectRange(0, 3, false);
    EXPECT_THROW(Edit->ConvertSelectionTextStyles(1), Exception);
    ExpectStopped("text style");
    Edit->OnParaStyleConversion = [](TCustomRichViewEdit*, int, int, bool, int&) {
        throw Exception("refused");
    };
    EXPECT_THROW(Edit->ConvertSelectionParaStyles(1), Exception);
    ExpectStopped("paragraph style");
    EXPECT_EQ(Data()->UndoList->Count(), 0);
    EXPECT_EQ(Text(), "Title");
}

TEST_F(EditTransaction, EveryOperationStopsRecordingWhenItEnds) {
    Load({"one two", "three"});
    Data()->PlaceCaretAt(0, 4);
    Edit->InsertText("abc\r\ndef");
    ExpectStopped("text");
    Edit->InsertItem(std::make_unique<TRVBreakItemInfo>(Data()), "");
    ExpectStopped("item");
    Data()->SelectRange(0, 2, false);
    Edit->ApplyParaStyleToSelection(1);
    ExpectStopped("paragraph style");
    Edit->OnStyleConversion = [](TCustomRichViewEdit*, int, int, bool, int& newStyleNo) {
        newStyleNo = 6;
    };
    Edit->ConvertSelectionTextStyles(0);
    ExpectStopped("text style");
    Data()->PlaceCaretAt(Data()->ItemCount() - 1, 1);
    Key(VK_RETURN);
    Type("xy");
    Key(VK_BACK);
    Key(VK_DELETE);
    ExpectStopped("keys");
    const int steps = Data()->UndoList->Count();
    // A step that changes nothing leaves no group behind.
    Data()->SelectRange(0, 2, false);
    Edit->ApplyParaStyleToSelection(1);
    ExpectStopped("unchanged paragraph style");
    EXPECT_EQ(Data()->UndoList->Count(), steps);
}

TEST_F(EditTransaction, AWideParagraphInsertedBehindTheCaretWidensTheDocument) {
    // The caret stays in front of the inserted text; its last paragraph, one word wider than
    // the window, is beyond the caret's paragraph but part of the change all the same.
    Load({"abc"});
    Data()->PlaceCaretAt(0, 4);
    const std::string wide(60, 'w');
    ASSERT_TRUE(Data()->InsertTextA("x\r\n" + wide, true));
    const int minWidth = Data()->MinWidth;
    const int height = Data()->DocumentHeight;
    Data()->Format(false);
    EXPECT_EQ(minWidth, Data()->MinWidth);
    EXPECT_EQ(height, Data()->DocumentHeight);
    EXPECT_GE(minWidth, 600);
    // Undo finds the narrower document again, as a full format does.
    Edit->Undo();
    const int undoneWidth = Data()->MinWidth;
    Data()->Format(false);
    EXPECT_EQ(undoneWidth, Data()->MinWidth);
    EXPECT_LT(undoneWidth, 600);
}

} // namespace
} // namespace epc::test
