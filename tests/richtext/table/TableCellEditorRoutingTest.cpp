// The cell editor as part of the document around it: its document continues the edited cell's
// chain of containers, the caret typed into a cell low in the window brings the outer editor
// along, caret keys that stay on their line keep the cell, and the keyboard comes back to the
// outer editor when the cell editor goes.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/controls/StdCtrls.h"
#include "platform/testing/UserActions.h"
#include "tests/richtext/table/TableEditSupport.h"

namespace epc {
namespace {

class CellEditorRouting : public test::TableEditFixture {
protected:
    std::string Edited() {
        int row, col;
        Table->GetEditedCell(row, col);
        return std::to_string(row) + "," + std::to_string(col);
    }
    // The top and bottom of the caret in the outer editor's client coordinates.
    std::pair<int, int> CaretInOuter() {
        const TCaretState caret = testing::Caret();
        TWinControl* owner = TWinControl::FindControl(caret.Owner);
        if (!owner) return {-1, -1};
        const TPoint p = Edit->ScreenToClient(owner->ClientToScreen(caret.Pos));
        return {p.Y, p.Y + caret.Height};
    }
    TRVTableItemInfo* NestTableInCell(int row, int col) {
        TRVTableCellData* holder = Table->GetCell(row, col);
        auto owned = TRVTableItemInfo::CreateSized(2, holder, 2);
        TRVTableItemInfo* nested = owned.get();
        holder->AppendItem(std::string(), std::move(owned));
        nested->Inserted(holder, holder->ItemCount() - 1);
        Edit->Format();
        testing::Pump();
        return nested;
    }
};

TEST_F(CellEditorRouting, TheCellEditorsDocumentContinuesTheEditedCellsChain) {
    TRVTableInplaceEdit probe(nullptr);
    auto* idle = dynamic_cast<TRVTableInplaceRVData*>(probe.EditData());
    ASSERT_TRUE(idle);
    int x = 1, y = 1;
    EXPECT_FALSE(idle->GetOuterParentData()); // no cell yet
    EXPECT_FALSE(idle->GetOuterOrigin(x, y));

    TRVTableItemInfo* nested = NestTableInCell(1, 1);
    nested->ChooseCell(1, 0);
    ASSERT_EQ(Edited(), "1,1");
    ASSERT_TRUE(nested->InplaceEditor());
    TRVEditRVData* outerCell = Table->InplaceEditor()->EditData();
    TRVEditRVData* innerCell = nested->InplaceEditor()->EditData();
    // Their own chains stop at their editors: hit testing and events stay theirs.
    EXPECT_FALSE(outerCell->GetParentData());
    EXPECT_EQ(innerCell->GetRootData(), innerCell);
    // Beyond the editors, each goes on where its cell lies, up to the editor of the document.
    EXPECT_EQ(outerCell->GetOuterParentData(), Data());
    EXPECT_EQ(innerCell->GetOuterParentData(), outerCell);
    EXPECT_EQ(innerCell->GetOuterRootData(), Data());
    EXPECT_EQ(Data()->GetOuterRootData(), Data());
    // The origin is where the editor shows the document's top left in its container.
    TRVTableInplaceEdit* editor = Table->InplaceEditor();
    auto* data = dynamic_cast<TRVTableInplaceRVData*>(outerCell);
    ASSERT_TRUE(data->GetOuterOrigin(x, y));
    EXPECT_EQ(x, editor->Left() + Edit->HScrollPos());
    EXPECT_EQ(y, editor->Top() + Edit->VScrollPos() * Edit->VSmallStep());
    TRVTableInplaceEdit* inner = nested->InplaceEditor();
    ASSERT_TRUE(dynamic_cast<TRVTableInplaceRVData*>(innerCell)->GetOuterOrigin(x, y));
    EXPECT_EQ(x, inner->Left());
    EXPECT_EQ(y, inner->Top());
    Edit->DestroyInplaceEditor();
}

// Lines typed into a cell below the window's edge scroll the outer editor with the caret, also
// from a table inside that cell.
TEST_F(CellEditorRouting, TheCaretOfACellBelowTheWindowScrollsTheOuterEditor) {
    Edit->SetBounds(0, 0, 380, 60);
    Edit->Format();
    testing::Pump();
    ASSERT_TRUE(Table->OpenCellEditor(-1, 2, 2, false, false, true, false));
    for (int i = 0; i < 4; ++i) {
        testing::PressKey(VK_RETURN);
        const auto [top, bottom] = CaretInOuter();
        EXPECT_GE(top, 0) << i;
        EXPECT_LE(bottom, Edit->ClientHeight()) << i;
    }
    EXPECT_GT(Edit->VScrollPos(), 0);
    EXPECT_EQ(Table->InplaceEditor()->VScrollPos(), 0); // the cell itself does not scroll
    Edit->DestroyInplaceEditor();

    Edit->ScrollToY(0);
    testing::Pump();
    ASSERT_EQ(Edit->VScrollPos(), 0);
    TRVTableItemInfo* nested = NestTableInCell(2, 0);
    nested->ChooseCell(1, 1);
    ASSERT_TRUE(nested->InplaceEditor());
    testing::TypeText("x");
    for (int i = 0; i < 3; ++i) {
        testing::PressKey(VK_RETURN);
        const auto [top, bottom] = CaretInOuter();
        EXPECT_GE(top, 0) << i;
        EXPECT_LE(bottom, Edit->ClientHeight()) << i;
    }
    Edit->DestroyInplaceEditor();
}

// Home and End keep to their line; only the arrows and the document's ends lead out of a cell.
TEST_F(CellEditorRouting, HomeAndEndStayInTheCell) {
    ASSERT_TRUE(Table->OpenCellEditor(-1, 1, 1, false, false, false, true));
    testing::PressKey(VK_HOME);
    EXPECT_EQ(Edited(), "1,1");
    testing::PressKey(VK_END);
    testing::PressKey(VK_END);
    ASSERT_EQ(Edited(), "1,1");
    EXPECT_EQ(Table->InplaceEditor()->CaretItemOffset(), 4);
    testing::PressKey(VK_RIGHT);
    EXPECT_EQ(Edited(), "1,2");
    testing::PressKey(VK_HOME, TShiftState{ssCtrl}); // at the cell's start already
    EXPECT_EQ(Edited(), "-1,-1");                    // before the table
    EXPECT_EQ(Edit->CaretItemIndex(), Table->GetItemNo());
    EXPECT_EQ(Edit->CaretItemOffset(), 0);
}

// However the cell editor goes, typed keys reach the outer editor afterwards, also when a
// control inside the cell had the keyboard.
TEST_F(CellEditorRouting, KeysReachTheOuterEditorAfterTheCellEditorGoes) {
    auto typedAtStart = [this](const char* text) {
        Data()->PlaceCaretAt(0, 1);
        testing::TypeText(text);
        return Data()->GetItemText(0).rfind(text, 0) == 0;
    };
    ASSERT_TRUE(Table->OpenCellEditor(-1, 0, 0, false, false, false, true));
    Table->DeleteRows(0, 1);
    testing::Pump();
    EXPECT_FALSE(Table->InplaceEditor());
    EXPECT_TRUE(Edit->Focused());
    EXPECT_TRUE(typedAtStart("a"));

    ASSERT_TRUE(Table->OpenCellEditor(-1, 0, 1, false, false, true, false));
    auto* box = new TEdit(Form);
    box->SetParent(Table->InplaceEditor());
    box->SetBounds(0, 0, 40, 20);
    box->SetFocus();
    ASSERT_TRUE(box->Focused());
    Edit->DestroyInplaceEditor();
    testing::Pump();
    EXPECT_TRUE(Edit->Focused());
    EXPECT_TRUE(typedAtStart("b"));

    // The keyboard elsewhere stays there.
    auto* other = new TEdit(Form);
    other->SetParent(Form);
    other->SetBounds(0, 290, 60, 20);
    ASSERT_TRUE(Table->OpenCellEditor(-1, 1, 1, false, false, true, false));
    other->SetFocus();
    Edit->DestroyInplaceEditor();
    EXPECT_TRUE(other->Focused());
}

// A hyperlink in the edited cell keeps the number the document gave it: a click on it reports
// that one, not the number of the document's first hyperlink.
TEST_F(CellEditorRouting, HyperlinksInTheEditedCellKeepTheirNumbers) {
    TFontInfo& link = Style->TextStyles.Add();
    link.Jump = true;
    const int linkStyle = Style->TextStyles.Count() - 1;
    Data()->GetItem(0)->StyleNo = linkStyle;
    Data()->GetItem(2)->StyleNo = linkStyle;
    TRVTableCellData* cell = Table->GetCell(1, 1);
    cell->ClearAllItems();
    cell->AddTextParagraph("link", linkStyle, 0, TRVTag());
    Edit->Format();
    testing::Pump();
    int cellId = -1;
    for (auto& jump : Data()->Jumps)
        if (jump->RVData == cell) cellId = jump->Id;
    ASSERT_EQ(cellId, 1);
    std::vector<int> clicked;
    Edit->OnJump = [&](TObject*, int id) { clicked.push_back(id); };
    ASSERT_TRUE(Table->OpenCellEditor(-1, 1, 1, false, false, true, false));
    TRVTableInplaceEdit* editor = Table->InplaceEditor();
    testing::Click(editor, 5, 8);
    testing::Pump();
    testing::TypeText("s"); // laid out again, still numbered from the table
    testing::Wait(GetDoubleClickTime() + 1);
    testing::Click(editor, 5, 8);
    testing::Pump();
    EXPECT_EQ(clicked, (std::vector<int>{1, 1}));
}

} // namespace
} // namespace epc
