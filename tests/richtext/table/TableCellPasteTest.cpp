// A table pasted into the middle of a cell's text: the text after it starts a paragraph of its
// own, also in what is saved.

#include "tests/richtext/table/TableEditSupport.h"

namespace epc::test {
namespace {

TEST_F(TableEditFixture, TheTextAfterATablePastedIntoACellStartsItsOwnParagraph) {
    // The whole table, selected by Shift+Right from the caret before it, goes to the clipboard.
    Data()->PlaceCaretAt(1, 0);
    testing::PressKey(VK_RIGHT, {ssShift});
    testing::PressKey('C', {ssCtrl});
    ASSERT_TRUE(Table->OpenCellEditor(-1, 1, 1, false, true, true, true));
    TRVTableInplaceEdit* cell = Table->InplaceEditor();
    ASSERT_TRUE(cell);
    cell->EditData()->PlaceCaretAt(0, 3); // "1,|1"
    testing::PressKey('V', {ssCtrl});
    cell = Table->InplaceEditor();
    ASSERT_TRUE(cell);
    TCustomRVData* d = cell->RVData();
    ASSERT_EQ(d->ItemCount(), 3);
    EXPECT_EQ(d->GetItemText(0), "1,");
    EXPECT_TRUE(d->GetItem(1)->IsFullLine());
    EXPECT_EQ(d->GetItemText(2), "1");
    EXPECT_TRUE(d->GetItem(1)->StartsParagraph());
    EXPECT_TRUE(d->GetItem(2)->StartsParagraph());
}

} // namespace
} // namespace epc::test
