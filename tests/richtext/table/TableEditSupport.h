#pragma once
// An editor on a shown form holding one text paragraph and a 3 x 3 table whose cells read
// "r,c", for the tests of table editing: RVF bytes, cell texts and typing into a cell.

#include <gtest/gtest.h>

#include <string>

#include "platform/context/PlatformContext.h"
#include "platform/core/Streams.h"
#include "platform/testing/UserActions.h"
#include "richtext/edit/RVEdit.h"
#include "richtext/table/RVTable.h"
#include "richtext/table/RVTableInplace.h"
#include "tests/richtext/view/ViewTestSupport.h"

namespace epc::test {

class TableEditFixture : public ::testing::Test {
protected:
    TPlatformContext Context; // one per case: its end frees what the case leaves
    void SetUp() override {
        Form = NewTestForm();
        Style = new TRVStyle(Form);
        Style->TextStyles[0].FontName = "Fixed Metrics Test";
        Style->TextStyles[0].Size = 15;
        Edit = new TRichViewEdit(Form);
        Edit->SetParent(Form);
        Edit->SetBounds(0, 0, 380, 280);
        Edit->SetBorderStyle(bsNone);
        Edit->SetStyle(Style);
        Edit->RVData()->AddTextParagraph("before", 0, 0, TRVTag());
        auto table = TRVTableItemInfo::CreateSized(3, Edit->RVData(), 3);
        Table = table.get();
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 3; ++c) {
                TRVTableCellData* cell = Table->GetCell(r, c);
                cell->Clear();
                cell->AddTextParagraph(std::to_string(r) + "," + std::to_string(c), 0, 0, TRVTag());
            }
        Edit->AppendItem(std::string(), std::move(table));
        Edit->RVData()->AddTextParagraph("after", 0, 0, TRVTag());
        testing::ShowForm(Form);
        Edit->Format();
        Edit->SetFocus();
        testing::Pump();
    }

    TRVEditRVData* Data() { return Edit->EditData(); }
    std::string Rvf() {
        TMemoryStream stream;
        Data()->SaveToRvfStream(stream, false);
        return stream.DataString();
    }
    // The RVF bytes and the grid: stored documents cut spans at the grid's edge, the grid
    // itself does not.
    std::string State() {
        std::string s = Rvf() + "\n";
        for (int r = 0; r < Table->RowCount(); ++r)
            for (int c = 0; c < Table->ColCount(); ++c) {
                const TRVTableCellData* cell = Table->GetCell(r, c);
                s += cell ? std::to_string(cell->RowSpan) + "x" + std::to_string(cell->ColSpan)
                          : "-";
                s += c + 1 < Table->ColCount() ? " " : "\n";
            }
        return s;
    }
    // The texts of a cell's items joined by "|"; "-" for a covered position.
    std::string CellText(int row, int col) {
        TRVTableCellData* cell = Table->GetCell(row, col);
        if (!cell) return "-";
        std::string s;
        for (int i = 0; i < cell->ItemCount(); ++i)
            s += (i ? "|" : "") + cell->GetItemText(i);
        return s;
    }
    int Groups() { return Data()->UndoList->Count(); }
    void Undo() {
        Edit->Undo();
        testing::Pump();
    }
    void Redo() {
        Edit->Redo();
        testing::Pump();
    }

    TForm* Form = nullptr;
    TRVStyle* Style = nullptr;
    TRichViewEdit* Edit = nullptr;
    TRVTableItemInfo* Table = nullptr;
};

} // namespace epc::test
