// Typing next to a table in the editor that holds it, documents with tables inserted into list
// paragraphs, and what the editor holding the table learns of edits made in a cell.

#include <gtest/gtest.h>

#include <string>

#include "platform/testing/UserActions.h"
#include "tests/richtext/table/TableEditSupport.h"

namespace epc {
namespace {

class TableEditorTyping : public test::TableEditFixture {
protected:
    // Item texts joined: "|" within a line, "\n" before a paragraph, "[T]" for the table.
    std::string Text() {
        std::string s;
        for (int i = 0; i < Data()->ItemCount(); ++i) {
            const TCustomRVItemInfo* item = Data()->GetItem(i);
            if (i > 0) s += item->GetJoinsPrevious() ? "|" : "\n";
            s += item->StyleNo < 0 ? "[T]" : Data()->GetItemText(i);
        }
        return s;
    }
};

TEST_F(TableEditorTyping, TextTypedAfterATableStartsAParagraph) {
    Data()->PlaceCaretAt(1, 1);
    testing::TypeText("x");
    EXPECT_EQ(Text(), "before\n[T]\nx\nafter");
    Data()->PlaceCaretAt(1, 0);
    testing::TypeText("y");
    // Before the table it makes a paragraph of its own there.
    EXPECT_EQ(Text(), "before\ny\n[T]\nx\nafter");
    testing::PressKey(VK_RETURN);
    EXPECT_EQ(Text(), "before\ny\n\n[T]\nx\nafter");
}

TEST_F(TableEditorTyping, CellTypingIsAChangeOfTheOuterEditor) {
    int changes = 0;
    Edit->OnChange = [&](TObject*) { ++changes; };
    Edit->Modified = false;
    ASSERT_TRUE(Table->OpenCellEditor(-1, 1, 1, false, true, true, true));
    TRVTableInplaceEdit* cell = Table->InplaceEditor();
    ASSERT_TRUE(cell);
    testing::TypeText("z");
    EXPECT_GE(changes, 1);
    EXPECT_TRUE(Edit->Modified);
    // The cell's text fits: the cell editor never scrolls sideways.
    for (int i = 0; i < 3; ++i)
        testing::TypeText("w");
    EXPECT_EQ(cell->HScrollPos(), 0);
    EXPECT_EQ(cell->VScrollPos(), 0);
    // Closing gives the keyboard back to the outer editor.
    ASSERT_TRUE(cell->Focused());
    Edit->DestroyInplaceEditor();
    testing::Pump();
    EXPECT_TRUE(Edit->Focused());
}

// A table-holding document inserted at the start of a list paragraph (behind its marker or
// in front of it): undo gives back the document byte for byte, redo the inserted one.
TEST_F(TableEditorTyping, UndoingAnInsertedTableAtAListParagraphStartRestoresTheDocument) {
    TRVListInfo& list = Style->ListStyles.Add();
    list.AddLevel().ListType = TRVListType::rvlstDecimal;
    list.Levels[0]->FormatString = "%0:s.";
    const std::string plain = Rvf();
    // Sources: the whole document, the table alone, the table with text after it.
    std::vector<std::string> sources{plain};
    for (int variant = 0; variant < 2; ++variant) {
        TRichViewEdit* other = new TRichViewEdit(Form);
        other->SetParent(Form);
        other->SetBounds(0, 300, 300, 100);
        other->SetStyle(Style);
        auto table = TRVTableItemInfo::CreateSized(2, other->RVData(), 2);
        other->AppendItem(std::string(), std::move(table));
        if (variant == 1) other->RVData()->AddTextParagraph("tail", 0, 0, TRVTag());
        other->Format();
        TMemoryStream s;
        other->RVData()->SaveToRvfStream(s, false);
        sources.push_back(s.DataString());
    }
    Data()->SetParagraphMarker(2, 0, 0, 1, false);
    Data()->SetParagraphMarker(0, 0, 0, 1, false);
    Edit->Format();
    const std::string before = Rvf();
    for (size_t k = 0; k < sources.size(); ++k)
        for (int offs : {0, 1}) {
            SCOPED_TRACE(std::to_string(k) + " at " + std::to_string(offs));
            // Item 4 is "after" behind its marker (3); offset 0 is the marker's start.
            Data()->PlaceCaretAt(offs == 0 ? 3 : 4, offs == 0 ? 0 : 1);
            TMemoryStream stream;
            stream.Write(sources[k].data(), int64_t(sources[k].size()));
            stream.SetPosition(0);
            ASSERT_TRUE(Edit->InsertRVFFromStream(stream));
            const std::string inserted = Rvf();
            EXPECT_NE(inserted, before);
            Edit->Undo();
            EXPECT_EQ(Rvf(), before);
            Edit->Redo();
            EXPECT_EQ(Rvf(), inserted);
            Edit->Undo();
            EXPECT_EQ(Rvf(), before);
        }
}

TEST_F(TableEditorTyping, TextStyleConversionReachesTheCellsOfASelectedTable) {
    TFontInfo& bold = Style->TextStyles.Add();
    bold = Style->TextStyles[0];
    bold.Size = 20;
    Edit->OnStyleConversion = [](TCustomRichViewEdit*, int, int, bool, int& newStyleNo) {
        newStyleNo = 1;
    };
    const std::string before = Rvf();
    Data()->SelectAll();
    Edit->ConvertSelectionTextStyles(0);
    EXPECT_EQ(Data()->GetItemStyleNo(0), 1);
    EXPECT_EQ(Table->GetCell(2, 1)->GetItemStyleNo(0), 1);
    EXPECT_EQ(Data()->GetItemStyleNo(2), 1);
    Edit->Undo();
    EXPECT_EQ(Rvf(), before);
}

} // namespace
} // namespace epc
