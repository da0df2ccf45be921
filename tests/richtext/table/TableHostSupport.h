#pragma once
// A viewer or an editor, borderless on a shown form with its own style, holding a table of
// 80-pixel columns: the base of the table mouse tests.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "platform/context/PlatformContext.h"
#include "platform/controls/Forms.h"
#include "platform/testing/UserActions.h"
#include "richtext/table/RVTable.h"
#include "tests/richtext/view/ViewTestSupport.h"

namespace epc::test {

class TableHostFixture : public ::testing::Test {
protected:
    TPlatformContext Context; // one per case: its end frees what the case leaves
    // A new form with a control of type C at (10, 10), of the given size.
    template <class C> C* NewHost(int width, int height) {
        Form = NewTestForm();
        Style = new TRVStyle(Form);
        auto* host = new C(Form);
        host->SetParent(Form);
        host->SetBounds(10, 10, width, height);
        host->SetBorderStyle(bsNone);
        host->SetStyle(Style);
        return host;
    }
    // Appends the table with 80-pixel columns to Host, shows the form and formats.
    template <class C> void ShowTable(C* host, std::unique_ptr<TRVTableItemInfo> table) {
        for (int r = 0; r < table->RowCount(); ++r)
            for (int c = 0; c < table->ColCount(); ++c)
                if (TRVTableCellData* cell = table->GetCell(r, c)) cell->BestWidth = 80;
        host->AppendItem(std::string(), std::move(table));
        testing::ShowForm(Form);
        host->Format();
        testing::Pump();
    }

    TForm* Form = nullptr;
    TRVStyle* Style = nullptr;
};

} // namespace epc::test
