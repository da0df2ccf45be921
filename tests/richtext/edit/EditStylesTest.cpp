// Applying text and paragraph styles to the selection: items cut at the selection's ends and
// joined again, the caret's empty item and the current style, paragraphs taken whole,
// protected paragraph styles, tags, and undo of each application as one step.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/controls/Forms.h"
#include "platform/testing/UserActions.h"
#include "richtext/edit/RVEdit.h"
#include "tests/richtext/edit/EditTestSupport.h"

namespace epc {
namespace {

class EditStylesTest : public test::EditorOnFormFixture<> {
protected:
    void SetUp() override {
        EditorOnFormFixture::SetUp();
        AddTextStyle([](TFontInfo& f) { f.Style = TRVFontStyles{TRVFontStyle::rvfsBold}; });
        AddTextStyle([](TFontInfo& f) { f.Unicode = true; });
        Style->ParaStyles.Add().Alignment = TRVAlignment::rvaCenter;               // 1
        Style->ParaStyles.Add().Options.Include(TRVParaOption::rvpaoStyleProtect); // 2
        AddEditor(10, 10, 400, 200);
        // The user value is the style to apply.
        Edit->OnStyleConversion = [this](TCustomRichViewEdit*, int, int userData, bool applied,
                                         int& newStyleNo) {
            newStyleNo = userData;
            Calls.push_back(applied);
        };
        Edit->OnParaStyleConversion = [](TCustomRichViewEdit*, int styleNo, int userData, bool,
                                         int& newStyleNo) { newStyleNo = styleNo + userData; };
    }
    // Items as "text@style" ("|" before an item that starts a paragraph).
    std::vector<std::string> Items() {
        std::vector<std::string> out;
        for (int i = 0; i < Data()->ItemCount(); ++i) {
            const std::u16string w = Data()->GetItemTextW(i);
            out.push_back(std::string(Data()->GetItem(i)->StartsParagraph() ? "|" : "") +
                          std::string(w.begin(), w.end()) + "@" +
                          std::to_string(Data()->GetItemStyleNo(i)));
        }
        return out;
    }
    std::vector<int> Paras() {
        std::vector<int> out;
        for (int i = 0; i < Data()->ItemCount(); ++i)
            out.push_back(Data()->GetItemParaNo(i));
        return out;
    }
    std::string Rvf() { return RvfOf(Edit); }

    std::vector<bool> Calls;
};

using S = std::vector<std::string>;
using V = std::vector<int>;

TEST_F(EditStylesTest, TheMiddleOfAWordSplitsAndTheOldStyleJoinsItBack) {
    Edit->AppendTextParagraph("abcdef", 0, 0);
    Show();
    const std::string before = Rvf();
    Select(2, 2);
    Edit->ConvertSelectionTextStyles(1);
    EXPECT_EQ(Items(), (S{"|ab@0", "cd@1", "ef@0"}));
    EXPECT_EQ(Sel(), (V{1, 1, 1, 3}));
    EXPECT_EQ(Edit->CurTextStyleNo(), 1);
    Edit->ConvertSelectionTextStyles(0);
    EXPECT_EQ(Items(), (S{"|abcdef@0"}));
    EXPECT_EQ(Sel(), (V{0, 3, 0, 5}));
    Edit->Undo();
    EXPECT_EQ(Items(), (S{"|ab@0", "cd@1", "ef@0"}));
    Edit->Undo();
    EXPECT_EQ(Rvf(), before);
}

TEST_F(EditStylesTest, HeadAndTailOfItemsAcrossASelection) {
    Edit->AppendTextParagraph("abc", 0, 0);
    Edit->AppendTextParagraph("xyz", 0, 0);
    Show();
    Select(1, 4); // "bc", the paragraph break, "x"
    Edit->ConvertSelectionTextStyles(2);
    EXPECT_EQ(Items(), (S{"|a@0", "bc@2", "|x@2", "yz@0"}));
    EXPECT_TRUE(Data()->GetItem(1)->IsUnicode());
    EXPECT_EQ(Sel(), (V{1, 1, 2, 2}));
    // Every selected text item was asked with the flag for text; the current style first
    // without it.
    EXPECT_EQ(Calls, (std::vector<bool>{false, true, true}));
    Edit->Undo();
    EXPECT_EQ(Items(), (S{"|abc@0", "|xyz@0"}));
}

TEST_F(EditStylesTest, WithoutASelectionOnlyTheCurrentStyleOrAnEmptyItemChanges) {
    Edit->AppendTextParagraph("abc", 0, 0);
    Edit->AppendTextParagraph("", 0, 0);
    Show();
    Data()->PlaceCaretAt(0, 2);
    Edit->ConvertSelectionTextStyles(1);
    EXPECT_EQ(Items(), (S{"|abc@0", "|@0"}));
    EXPECT_EQ(Edit->CurTextStyleNo(), 1);
    EXPECT_FALSE(Edit->CanUndo());
    Data()->PlaceCaretAt(1, 1);
    Edit->ConvertSelectionTextStyles(2);
    EXPECT_EQ(Items(), (S{"|abc@0", "|@2"}));
    EXPECT_EQ(Edit->CurTextStyleNo(), 2);
    EXPECT_TRUE(Edit->CanUndo());
    // Without the event nothing happens.
    Edit->OnStyleConversion = nullptr;
    Edit->ConvertSelectionTextStyles(0);
    EXPECT_EQ(Edit->CurTextStyleNo(), 2);
}

TEST_F(EditStylesTest, TagsAreClearedOrCopiedByTheOption) {
    Edit->AppendTextParagraph("abcdef", 0, 0);
    Show();
    Data()->GetItem(0)->Tag = TRVTag(7);
    Select(2, 2);
    Edit->ConvertSelectionTextStyles(1);
    EXPECT_TRUE(Data()->GetItem(1)->Tag.IsEmpty());
    EXPECT_EQ(Data()->GetItem(0)->Tag.Number(), 7);
    EXPECT_EQ(Data()->GetItem(2)->Tag.Number(), 7);
    Edit->Undo();
    Edit->EditorOptions.Exclude(TRVEditorOption::rvoClearTagOnStyleApp);
    Select(0, 3);
    Edit->ConvertSelectionTextStyles(1);
    EXPECT_EQ(Items(), (S{"|abc@1", "def@0"}));
    EXPECT_EQ(Data()->GetItem(0)->Tag.Number(), 7);
    EXPECT_EQ(Data()->GetItem(1)->Tag.Number(), 7);
}

TEST_F(EditStylesTest, ParagraphStylesTakeWholeParagraphsAndRespectProtection) {
    Edit->AppendTextParagraph("one", 0, 0);
    Edit->AppendTextParagraph("two", 1, -1);
    Edit->AppendTextParagraph("three", 0, 2);
    Edit->AppendTextParagraph("four", 0, 0);
    Show();
    Select(1, 6); // from inside "one" into "three"
    Edit->ApplyParaStyleToSelection(1);
    EXPECT_EQ(Paras(), (V{1, 1, 2, 0}));
    EXPECT_TRUE(Edit->CanUndo());
    Edit->Undo();
    EXPECT_EQ(Paras(), (V{0, 0, 2, 0}));
    // Converted through the event: each paragraph's style plus the value.
    Select(12, 1);
    Edit->ConvertSelectionParaStyles(1);
    EXPECT_EQ(Paras(), (V{0, 0, 2, 1}));
    // An unknown style number changes nothing.
    Edit->ApplyParaStyleToSelection(9);
    EXPECT_EQ(Paras(), (V{0, 0, 2, 1}));
}

} // namespace
} // namespace epc
