// List paragraphs inserted into a list, as text, as RVF or as new markers, go on with its
// numbering.

#include <functional>

#include "platform/graphics/Bitmap.h"
#include "tests/richtext/edit/EditTestSupport.h"

namespace epc::test {
namespace {

class ListInsert : public EditFixture {
protected:
    void SetUp() override {
        EditFixture::SetUp();
        AddList();
    }
    int AddList() {
        TRVListInfo& list = Style->ListStyles.Add();
        list.AddLevel().ListType = TRVListType::rvlstDecimal;
        list.Levels[0]->FormatString = "%0:s.";
        return Style->ListStyles.Count() - 1;
    }
    // Two numbered paragraphs and a plain one after them.
    void LoadList() {
        Data()->AddTextParagraph("one", 0, 0, TRVTag());
        Data()->AddTextParagraph("two", 0, 0, TRVTag());
        Data()->AddTextParagraph("end", 0, 0, TRVTag());
        Show();
        Data()->SetParagraphMarker(1, 0, 0, 1, false);
        Data()->SetParagraphMarker(0, 0, 0, 1, false);
        Edit->Format();
    }
    // The marker texts in document order.
    std::string Numbers() {
        std::string s;
        for (int i = 0; i < Data()->ItemCount(); ++i)
            if (auto* m = dynamic_cast<TRVMarkerItemInfo*>(Data()->GetItem(i)))
                s += std::to_string(m->Counter) + " ";
        return s;
    }
};

TEST_F(ListInsert, PlainTextInAListParagraphContinuesTheList) {
    LoadList();
    ASSERT_EQ(Numbers(), "1 2 ");
    Data()->PlaceCaretAt(3, 4);
    Edit->InsertText("a\r\nb\r\nc");
    EXPECT_EQ(Numbers(), "1 2 3 4 ");
    Edit->Undo();
    EXPECT_EQ(Numbers(), "1 2 ");
}

// The first marker restarts its list and carries a checkpoint: the paragraphs of inserted text
// continue the numbering and take no copy of the checkpoint.
TEST_F(ListInsert, TextInsertedAfterARestartingMarkerContinuesItsNumbers) {
    LoadList();
    Data()->SetParagraphMarker(0, 0, 0, 5, true);
    Edit->Format();
    ASSERT_EQ(Numbers(), "5 6 ");
    ASSERT_EQ(Data()->GetItemStyleNo(0), rvsListMarker);
    Data()->AddCheckpointUndoable(0, std::make_unique<TRVCPInfo>());
    const int checkpoints = Data()->CPCount;
    Data()->PlaceCaretAt(1, 4);
    Edit->InsertText("a\r\nb\r\nc");
    EXPECT_EQ(Numbers(), "5 6 7 8 ");
    EXPECT_EQ(Data()->CPCount, checkpoints);
    int withCheckpoint = 0;
    for (int i = 0; i < Data()->ItemCount(); ++i)
        withCheckpoint += Data()->GetItem(i)->Checkpoint != nullptr;
    EXPECT_EQ(withCheckpoint, 1);
}

// A break put at the start of a list paragraph's text leaves the marker an empty line of its
// own, where the caret can go; undo gives the paragraph back.
TEST_F(ListInsert, AFullLineItemAtAListParagraphStartLeavesTheMarkerALine) {
    LoadList();
    const std::string before = Rvf();
    Data()->PlaceCaretAt(3, 1);
    ASSERT_TRUE(Edit->InsertItem(std::make_unique<TRVBreakItemInfo>(Data()), ""));
    EXPECT_EQ(Text(), "[]|one\n[]|\n[]\ntwo\nend");
    EXPECT_EQ(Numbers(), "1 2 ");
    Key(VK_UP);
    EXPECT_EQ(Data()->CaretItemIndex(), 3);
    Edit->Undo();
    EXPECT_EQ(Rvf(), before);
}

TEST_F(ListInsert, PastedListParagraphsContinueTheList) {
    LoadList();
    // The document as RVF, pasted at the start of its last paragraph.
    const std::string rvf = Rvf();
    Data()->PlaceCaretAt(4, 1);
    ASSERT_TRUE(InsertRvfBytes(rvf));
    EXPECT_EQ(Text(), "[]|one\n[]|two\n[]|one\n[]|two\nendend");
    EXPECT_EQ(Numbers(), "1 2 3 4 ");
}

TEST_F(ListInsert, ANewMarkerOfAnEqualListTakesTheListAbove) {
    LoadList();
    const int twin = AddList();
    // An empty paragraph after the list, then a marker of the equal list put on it.
    Data()->PlaceCaretAt(3, 4);
    Key(VK_RETURN);
    Key(VK_BACK); // out of the list: an empty plain paragraph
    ASSERT_EQ(Numbers(), "1 2 ");
    auto marker = std::make_unique<TRVMarkerItemInfo>(Data(), twin, 0, 1, false);
    ASSERT_TRUE(Edit->InsertItem(std::move(marker), ""));
    EXPECT_EQ(Numbers(), "1 2 3 ");
}

} // namespace
} // namespace epc::test

namespace epc::test {
namespace {

// Text, a document of list paragraphs and a picture inserted at the start of a list
// paragraph (behind its marker): undo gives the document back byte for byte, redo the result.
TEST_F(ListInsert, UndoOfAnInsertionAtAListParagraphStartIsExact) {
    LoadList();
    const std::string lists = Rvf();
    const std::string before = Rvf();
    const std::vector<std::function<void()>> inserts{
        [this] { Edit->InsertText("a\r\nb"); },
        [this] { Edit->InsertText("a"); },
        [&] { ASSERT_TRUE(InsertRvfBytes(lists)); },
        [this] {
            Edit->InsertPicture("p", std::make_unique<TBitmap>(10, 12), TRVVAlign::rvvaBaseline);
        },
    };
    for (size_t k = 0; k < inserts.size(); ++k) {
        SCOPED_TRACE(k);
        Data()->PlaceCaretAt(3, 1);
        inserts[k]();
        const std::string inserted = Rvf();
        ASSERT_NE(inserted, before);
        Edit->Undo();
        EXPECT_EQ(Rvf(), before);
        Edit->Redo();
        EXPECT_EQ(Rvf(), inserted);
        Edit->Undo();
        EXPECT_EQ(Rvf(), before);
    }
}

TEST_F(ListInsert, InsertedRvfBringsItsBackgroundColour) {
    Load({"text"});
    TRichViewEdit* other = new TRichViewEdit(Form);
    other->SetParent(Form);
    other->SetStyle(Style);
    other->SetColor(clYellow);
    other->RVFOptions.Include(TRVFOption::rvfoSaveBack);
    Edit->RVFOptions.Include(TRVFOption::rvfoLoadBack);
    other->RVData()->AddTextParagraph("x", 0, 0, TRVTag());
    other->Format();
    TMemoryStream stream;
    other->RVData()->SaveToRvfStream(stream, false, other->Color());
    Data()->PlaceCaretAt(0, 5);
    ASSERT_TRUE(InsertRvfBytes(stream.DataString()));
    EXPECT_EQ(Edit->Color(), clYellow);
}

} // namespace
} // namespace epc::test
