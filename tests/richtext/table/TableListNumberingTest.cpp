// List numbering runs through table cells in reading order, through building, storing in RVF
// and RTF, and deleting.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "platform/core/Streams.h"
#include "richtext/document/RVRTFReader.h"
#include "richtext/table/RVTable.h"
#include "richtext/table/RVTableRTFReader.h"
#include "tests/richtext/table/TableEditSupport.h"
#include "tests/richtext/table/TableRandomSupport.h"
#include "tests/richtext/view/TestRVData.h"

namespace epc {
namespace {

std::unique_ptr<TRVStyle> NumberedStyle() {
    auto style = test::MakeFixedStyle();
    TRVListLevel& level = style->ListStyles.Add().AddLevel();
    level.ListType = TRVListType::rvlstDecimal;
    level.FormatString = "%0:s.";
    level.LeftIndent = 24;
    return style;
}

void NumberedParagraph(TCustomRVData* into, const std::string& text) {
    into->AddTextParagraph(text, 0, 0, TRVTag());
    into->SetParagraphMarker(into->ItemCount() - 1, 0, 0, 1, false);
}

// The marker texts of a document in reading order, cells included.
void CollectNumbers(TCustomRVData* data, std::string& out) {
    for (int i = 0; i < data->ItemCount(); ++i) {
        TCustomRVItemInfo* item = data->GetItem(i);
        if (item->StyleNo == rvsListMarker)
            out += static_cast<TRVMarkerItemInfo*>(item)->MarkerText + " ";
        for (int k = 0; TCustomRVData* sub = item->GetSubRVData(k); ++k)
            CollectNumbers(sub, out);
    }
}

std::string Numbers(TCustomRVData& data) {
    std::string s;
    CollectNumbers(&data, s);
    return s;
}

struct Doc {
    std::unique_ptr<TRVStyle> Style = NumberedStyle();
    test::TTestRVData Data{Style.get()};

    // "before", a table whose first cell holds a numbered paragraph, "after".
    TRVTableItemInfo* Build() {
        NumberedParagraph(&Data, "before");
        TRVTableItemInfo* table = test::AppendTable(&Data, 1, 2);
        TRVTableCellData* cell = table->GetCell(0, 0);
        cell->ClearAllItems();
        NumberedParagraph(cell, "inside");
        NumberedParagraph(&Data, "after");
        return table;
    }
};

TEST(TableListNumbering, CellMarkersNumberInReadingOrder) {
    Doc d;
    TRVTableItemInfo* table = d.Build();
    EXPECT_EQ(Numbers(d.Data), "1. 2. 3. ");
    // The cell's document answers with the document's list.
    EXPECT_EQ(table->GetCell(0, 0)->GetMarkers(false), d.Data.GetMarkers(false));
    // A marker added later to the second cell goes between the first cell's and the last one.
    TRVTableCellData* second = table->GetCell(0, 1);
    second->ClearAllItems();
    NumberedParagraph(second, "also inside");
    EXPECT_EQ(Numbers(d.Data), "1. 2. 3. 4. ");
    EXPECT_EQ(static_cast<TRVMarkerItemInfo*>(d.Data.GetItem(3))->MarkerText, "4.");
    // Deleting the table takes its markers out of the list.
    d.Data.DeleteItemRange(2, 1);
    EXPECT_EQ(Numbers(d.Data), "1. 2. ");
    EXPECT_EQ(d.Data.GetMarkers(false)->Count(), 2);
}

TEST(TableListNumbering, TableFilledBeforeInsertionJoinsTheNumbering) {
    Doc d;
    NumberedParagraph(&d.Data, "before");
    NumberedParagraph(&d.Data, "after");
    auto table = TRVTableItemInfo::CreateSized(2, &d.Data, 1);
    for (int r = 0; r < 2; ++r) {
        TRVTableCellData* cell = table->GetCell(r, 0);
        cell->ClearAllItems();
        NumberedParagraph(cell, "row");
    }
    // A cell of a table that lies in no document has no list.
    EXPECT_EQ(table->GetCell(0, 0)->GetMarkers(false), nullptr);
    d.Data.InsertItemObjectAt(2, std::string(), std::move(table));
    EXPECT_EQ(Numbers(d.Data), "1. 2. 3. 4. ");
    EXPECT_EQ(static_cast<TRVMarkerItemInfo*>(d.Data.GetItem(3))->MarkerText, "4.");
}

TEST(TableListNumbering, NumbersSurviveRvfAndRtf) {
    Doc d;
    d.Build();
    TMemoryStream rvf;
    d.Data.SaveToRvfStream(rvf, false);
    rvf.SetPosition(0);
    Doc loaded;
    ASSERT_TRUE(loaded.Data.LoadFromRvfStream(rvf));
    EXPECT_EQ(Numbers(loaded.Data), "1. 2. 3. ");

    TMemoryStream rtf;
    ASSERT_TRUE(d.Data.WriteRtfToStream(rtf, false, clWhite));
    rtf.SetPosition(0);
    Doc read;
    TRVTableRTFReader tables(&read.Data);
    TRVRTFReaderProperties props;
    props.TableReader = &tables;
    int index = 0;
    ASSERT_EQ(props.ImportRtfStream(&read.Data, rtf, index), 0);
    tables.Finish();
    EXPECT_EQ(Numbers(read.Data), "1. 2. 3. ");
}

// In an editor: deleting rows and the whole table takes their markers out of the numbering;
// undo puts them back.
class TableListNumberingEdit : public test::TableEditFixture {};

TEST_F(TableListNumberingEdit, DeletedRowsAndTablesLeaveTheNumberingAndUndoBringsThemBack) {
    TRVListLevel& level = Style->ListStyles.Add().AddLevel();
    level.ListType = TRVListType::rvlstDecimal;
    level.FormatString = "%0:s.";
    TCustomRVData* data = Edit->RVData();
    data->SetParagraphMarker(0, 0, 0, 1, false);
    for (int r = 0; r < 3; ++r)
        Table->GetCell(r, 0)->SetParagraphMarker(0, 0, 0, 1, false);
    data->SetParagraphMarker(data->ItemCount() - 1, 0, 0, 1, false);
    Edit->Format();
    EXPECT_EQ(Numbers(*data), "1. 2. 3. 4. 5. ");
    Table->DeleteRows(1, 1);
    EXPECT_EQ(Numbers(*data), "1. 2. 3. 4. ");
    Edit->Undo();
    EXPECT_EQ(Numbers(*data), "1. 2. 3. 4. 5. ");
    // The table as a whole.
    const int tableNo = 2; // marker, "before", the table
    ASSERT_EQ(data->GetItem(tableNo), Table);
    Edit->SetSelection(tableNo, 0, tableNo, 1);
    testing::PressKey(VK_DELETE);
    testing::Pump();
    EXPECT_EQ(Numbers(*data), "1. 2. ");
    EXPECT_EQ(data->GetMarkers(false)->Count(), 2);
    Edit->Undo();
    EXPECT_EQ(Numbers(*data), "1. 2. 3. 4. 5. ");
    Edit->Redo();
    EXPECT_EQ(Numbers(*data), "1. 2. ");
}

// Every marker's text and laid-out width and place, cells included, in reading order.
void CollectMarkerLayout(TCustomRVFormattedData* data, std::string& out) {
    for (int d = 0; d < data->DrawItems.Count(); ++d) {
        const TRVDrawLineInfo* draw = data->DrawItems[d];
        TCustomRVItemInfo* item = data->GetItem(draw->ItemNo);
        if (item->StyleNo == rvsListMarker)
            out += static_cast<TRVMarkerItemInfo*>(item)->MarkerText + "@" +
                   std::to_string(draw->Left) + "+" + std::to_string(draw->Width) + " ";
        if (d == 0 || data->DrawItems[d - 1]->ItemNo != draw->ItemNo)
            for (int k = 0; TCustomRVData* sub = item->GetSubRVData(k); ++k)
                if (auto* cell = dynamic_cast<TCustomRVFormattedData*>(sub))
                    CollectMarkerLayout(cell, out);
    }
}

TEST_F(TableListNumberingEdit, NewParagraphRelaysMarkersInCellsWhoseNumbersGrew) {
    TRVListLevel& level = Style->ListStyles.Add().AddLevel();
    level.ListType = TRVListType::rvlstDecimal;
    level.FormatString = "%0:s.";
    TCustomRVData* data = Edit->RVData();
    // Eight numbered paragraphs, then a table whose first cell holds number 9, the list's last
    // marker, then "after", no list paragraph.
    Edit->Clear();
    data->DeleteItemRange(0, data->ItemCount());
    for (int i = 1; i <= 8; ++i)
        NumberedParagraph(data, "para" + std::to_string(i));
    auto table = TRVTableItemInfo::CreateSized(1, data, 2);
    table->GetCell(0, 0)->Clear();
    table->GetCell(0, 0)->AddTextParagraph("cell", 0, 0, TRVTag());
    table->GetCell(0, 0)->SetParagraphMarker(0, 0, 0, 1, false);
    Edit->AppendItem(std::string(), std::move(table));
    data->AddTextParagraph("after", 0, 0, TRVTag());
    Edit->Format();
    auto layout = [&] {
        std::string s;
        CollectMarkerLayout(Edit->EditData(), s);
        return s;
    };
    EXPECT_EQ(Numbers(*data), "1. 2. 3. 4. 5. 6. 7. 8. 9. ");
    const std::string before = Rvf();
    // Enter at the end of the eighth paragraph continues the list: the cell's marker becomes
    // "10.", wider than "9.".
    const int eighth = 15;
    ASSERT_EQ(data->GetItemText(eighth), "para8");
    Data()->PlaceCaretAt(eighth, 6);
    testing::PressKey(VK_RETURN);
    testing::Pump();
    EXPECT_EQ(Numbers(*data), "1. 2. 3. 4. 5. 6. 7. 8. 9. 10. ");
    const std::string edited = layout();
    Edit->Format();
    EXPECT_EQ(edited, layout());
    Edit->Undo();
    EXPECT_EQ(Rvf(), before);
    EXPECT_EQ(Numbers(*data), "1. 2. 3. 4. 5. 6. 7. 8. 9. ");
    const std::string undone = layout();
    Edit->Format();
    EXPECT_EQ(undone, layout());
}

} // namespace
} // namespace epc
