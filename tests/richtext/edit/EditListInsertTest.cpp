// List paragraphs inserted into a list, as text, as RVF or as new markers, go on with its
// numbering.

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
