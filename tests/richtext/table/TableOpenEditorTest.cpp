// The open cell editor through saving and grid changes: every writer takes the text the editor
// shows and leaves it open; clearing its cell keeps that text for undo.

#include <gtest/gtest.h>
#include <libxml/HTMLparser.h>

#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "platform/core/Streams.h"
#include "platform/testing/UserActions.h"
#include "richtext/document/RVRTFReader.h"
#include "richtext/view/PtblRV.h"
#include "tests/platform/support/XPathQuery.h"
#include "tests/richtext/table/TableEditSupport.h"
#include "tests/richtext/table/TableRandomSupport.h"
#include "tests/richtext/view/TestRVData.h"

namespace epc {
namespace {

// A document's text: its paragraphs, each begun by "\n" but the first.
std::string Paragraphs(const TCustomRVData& data) {
    std::string s;
    for (int i = 0; i < data.ItemCount(); ++i) {
        if (i > 0 && data.ItemStartsParagraph(i)) s += "\n";
        s += data.GetItemText(i);
    }
    return s;
}

std::string Replace(std::string s, const std::string& what, const std::string& with) {
    for (size_t at = s.find(what); at != std::string::npos; at = s.find(what, at + with.size()))
        s.replace(at, what.size(), with);
    return s;
}

std::string NoSpaces(const std::string& s) {
    std::string out;
    // Spaces that HTML keeps are non-breaking ones.
    for (char ch : Replace(s, "\xC2\xA0", " "))
        if (ch != ' ' && ch != '\r' && ch != '\n' && ch != '\t') out += ch;
    return out;
}

// The first table of a document.
TRVTableItemInfo* FirstTable(TCustomRVData& data) {
    for (int i = 0; i < data.ItemCount(); ++i)
        if (auto* table = dynamic_cast<TRVTableItemInfo*>(data.GetItem(i))) return table;
    return nullptr;
}

// Which of the cells in reading order the cell at (Row, Col) is.
int ReadingIndex(const TRVTableItemInfo& table, int row, int col) {
    int n = 0;
    for (int r = 0; r < table.RowCount(); ++r)
        for (int c = 0; c < table.ColCount(); ++c)
            if (table.GetCell(r, c)) {
                if (r == row && c == col) return n;
                ++n;
            }
    return -1;
}

class TableSaveEdited : public test::TableEditFixture {
protected:
    // Replaces the fixture's table by a random one whose cells read "r,c".
    void NewRandomTable(std::mt19937& rng) {
        Edit->Clear();
        Edit->RVData()->AddTextParagraph("before", 0, 0, TRVTag());
        const int rows = 1 + int(rng() % 4), cols = 1 + int(rng() % 4);
        auto table = TRVTableItemInfo::CreateSized(rows, Edit->RVData(), cols);
        test::MergeRandomly(rng, *table, rows, cols, int(rng() % 3));
        for (int r = 0; r < rows; ++r)
            for (int c = 0; c < cols; ++c)
                if (TRVTableCellData* cell = table->GetCell(r, c)) {
                    cell->Clear();
                    cell->AddTextParagraph(std::to_string(r) + "," + std::to_string(c), 0, 0,
                                           TRVTag());
                }
        Table = table.get();
        Edit->AppendItem(std::string(), std::move(table));
        Edit->RVData()->AddTextParagraph("after", 0, 0, TRVTag());
        Edit->Format();
        testing::Pump();
    }

    // Random keys in the open cell editor: words, spaces, new lines and deletions, at random
    // places.
    void TypeRandomly(std::mt19937& rng) {
        const int steps = 3 + int(rng() % 6);
        for (int k = 0; k < steps; ++k) {
            switch (rng() % 6) {
            case 0:
                testing::PressKey(VK_RETURN);
                break;
            case 1:
                testing::PressKey(VK_BACK);
                break;
            case 2: {
                // The caret somewhere in the cell (Home and End at the cell's edges would take
                // it out of the cell).
                TRVEditRVData* data = Table->InplaceEditor()->EditData();
                const int item = int(rng() % data->ItemCount());
                const int length = int(data->GetItemText(item).size());
                data->PlaceCaretAt(item, data->GetItemStyleNo(item) >= 0
                                             ? 1 + int(rng() % (length + 1))
                                             : int(rng() % 2));
                break;
            }
            default: {
                std::string word;
                const int n = 1 + int(rng() % 6);
                for (int i = 0; i < n; ++i)
                    word += char('a' + rng() % 26);
                testing::TypeText(rng() % 3 ? word : word + " ");
                break;
            }
            }
        }
        // Something is typed, whatever the keys before did.
        testing::TypeText("zq");
    }

    std::string EditorText() { return Paragraphs(*Table->InplaceEditor()->EditData()); }
};

TEST_F(TableSaveEdited, EveryWriterTakesWhatTheOpenCellEditorShows) {
    std::mt19937 rng(20261207);
    for (int round = 0; round < 16; ++round) {
        SCOPED_TRACE(round);
        NewRandomTable(rng);
        // A random cell that is not covered.
        int row, col;
        do {
            row = int(rng() % Table->RowCount());
            col = int(rng() % Table->ColCount());
        } while (!Table->GetCell(row, col));
        ASSERT_TRUE(Table->OpenCellEditor(-1, row, col, false, false, rng() % 2, false));
        TypeRandomly(rng);
        Table->GetEditedCell(row, col);
        ASSERT_GE(row, 0);
        const std::string shown = EditorText();
        ASSERT_NE(shown.find("zq"), std::string::npos);
        const int index = ReadingIndex(*Table, row, col);

        // RVF through the control, read back.
        {
            TMemoryStream ms;
            Edit->WriteRvfStream(ms, false);
            ms.SetPosition(0);
            test::TTestRVData back(Style);
            ASSERT_TRUE(back.LoadFromRvfStream(ms));
            TRVTableItemInfo* table = FirstTable(back);
            ASSERT_TRUE(table);
            ASSERT_TRUE(table->GetCell(row, col));
            EXPECT_EQ(Paragraphs(*table->GetCell(row, col)), shown);
        }
        // RTF through the control, read back by the RTF reader.
        std::string rtf;
        {
            TMemoryStream ms;
            ASSERT_TRUE(Edit->WriteRtfStream(ms, false));
            rtf = ms.DataString();
            ms.SetPosition(0);
            test::TTestRVData back(Style);
            TRVRTFReaderProperties props;
            int at = 0;
            ASSERT_EQ(props.ImportRtfStream(&back, ms, at), 0);
            TRVTableItemInfo* table = FirstTable(back);
            ASSERT_TRUE(table) << rtf;
            ASSERT_TRUE(table->GetCell(row, col)) << rtf;
            EXPECT_EQ(Paragraphs(*table->GetCell(row, col)), shown) << rtf;
        }
        // HTML, read back by an HTML parser: the cell's text is that of its TD.
        {
            TMemoryStream ms;
            ASSERT_TRUE(Edit->RVData()->WriteHtmlToStream(ms, "", "t", false));
            const std::string html = ms.DataString();
            htmlDocPtr doc = htmlReadMemory(html.data(), int(html.size()), "t.html", "UTF-8",
                                            HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING);
            const std::vector<std::string> cells = test::XPathValues(doc, "//td");
            xmlFreeDoc(doc);
            ASSERT_LT(index, int(cells.size())) << html;
            EXPECT_EQ(NoSpaces(cells[size_t(index)]), NoSpaces(Replace(shown, "\n", ""))) << html;
        }
        // Plain text.
        {
            TMemoryStream ms;
            ASSERT_TRUE(Edit->RVData()->WriteTextToStream(ms, "", 80, false, false));
            const std::string text = ms.DataString();
            EXPECT_NE(text.find(Replace(shown, "\n", "\r\n")), std::string::npos) << text;
        }
        // Saving left the editor open with its text; closing gives the cell that text.
        ASSERT_TRUE(Table->InplaceEditor());
        EXPECT_EQ(EditorText(), shown);
        EXPECT_EQ(Table->GetCell(row, col)->ItemCount(), 0);
        Edit->DestroyInplaceEditor();
        EXPECT_EQ(Paragraphs(*Table->GetCell(row, col)), shown);
        if (round == 0)
            if (const char* out = std::getenv("EPC_TEST_OUT")) {
                // Kept for opening in a word processor by hand.
                std::filesystem::create_directories(out);
                TFileStream fs(std::string(out) + "/edited-cell.rtf", fmCreate);
                fs.WriteString(rtf);
            }
    }
}

TEST_F(TableSaveEdited, ClearingTheEditedCellKeepsItsTextForUndo) {
    ASSERT_TRUE(Table->OpenCellEditor(-1, 1, 2, false, false, true, false));
    testing::TypeText("xy");
    const int groups = Groups();
    {
        TRVTableItemInfo::TEditStep step(*Table, true);
        TRVIntegerList rows, cols;
        rows.AddValue(1);
        cols.AddValue(2);
        rows.AddValue(0);
        cols.AddValue(0);
        Table->Rows.ClearCells(rows, cols);
    }
    // The editor edits the new, empty cell.
    ASSERT_TRUE(Table->InplaceEditor());
    EXPECT_EQ(EditorText(), "");
    Edit->DestroyInplaceEditor();
    EXPECT_EQ(CellText(1, 2), "");
    EXPECT_EQ(CellText(0, 0), "");
    // Typing and clearing are two steps.
    EXPECT_EQ(Groups(), groups + 2);
    Undo();
    Edit->DestroyInplaceEditor();
    EXPECT_EQ(CellText(1, 2), "1,2xy");
    EXPECT_EQ(CellText(0, 0), "0,0");
    Redo();
    Edit->DestroyInplaceEditor();
    EXPECT_EQ(CellText(1, 2), "");
    // Without undo the cell stays cleared too.
    ASSERT_TRUE(Table->OpenCellEditor(-1, 2, 2, false, false, true, false));
    testing::TypeText("q");
    TRVIntegerList rows, cols;
    rows.AddValue(2);
    cols.AddValue(2);
    Table->Rows.ClearCells(rows, cols);
    EXPECT_EQ(EditorText(), "");
    Edit->DestroyInplaceEditor();
    EXPECT_EQ(CellText(2, 2), "");
}

// Clearing selected cells and giving them a paragraph style keep the caret where it was in the
// table item: with a cell editor open, and when a handler asked about a cell moves it meanwhile.
TEST_F(TableSaveEdited, CellOperationsKeepTheCaretInTheTableItem) {
    Style->ParaStyles.Add().LeftIndent = 20;
    const int itemNo = Table->GetItemNo();
    for (bool open : {false, true})
        for (int mode : {0, 1}) {
            SCOPED_TRACE(::testing::Message() << "open " << open << " mode " << mode);
            Data()->PlaceCaretAt(itemNo, 1);
            if (open) {
                ASSERT_TRUE(Table->OpenCellEditor(-1, 1, 1, false, false, true, false));
                testing::TypeText("x");
            }
            ASSERT_EQ(Edit->CaretItemIndex(), itemNo);
            ASSERT_EQ(Edit->CaretItemOffset(), 1);
            Table->Select(0, 0, 1, 1);
            ASSERT_TRUE(Table->HasCellSelection());
            if (mode == 0)
                Table->DeleteSelectedCellsContents();
            else
                Table->ApplyParaStyleToCells(1); // the cells were just cleared: a change
            EXPECT_EQ(Table->InplaceEditor(), nullptr);
            EXPECT_EQ(Edit->CaretItemIndex(), itemNo);
            EXPECT_EQ(Edit->CaretItemOffset(), 1);
        }
    EXPECT_EQ(CellText(0, 0), "");
    EXPECT_EQ(CellText(2, 2), "2,2");
    Table->OnCellEditing = [&](TRVTableItemInfo*, int, int, bool, bool& allow) {
        Data()->PlaceCaretAt(0, 0);
        allow = true;
    };
    Data()->PlaceCaretAt(itemNo, 1);
    Table->Select(0, 0, 1, 1);
    Table->ApplyParaStyleToCells(0);
    EXPECT_EQ(Edit->CaretItemIndex(), itemNo);
    EXPECT_EQ(Edit->CaretItemOffset(), 1);
    Table->OnCellEditing = nullptr;
}

// Closing the cell editor lays out the table's place again, not the document: the caret stays
// at the table and the view where it was.
TEST_F(TableSaveEdited, ClosingTheCellEditorLeavesTheCaretAndTheViewAlone) {
    Edit->Clear();
    for (int i = 0; i < 40; ++i)
        Edit->RVData()->AddTextParagraph("line " + std::to_string(i), 0, 0, TRVTag());
    auto table = TRVTableItemInfo::CreateSized(3, Edit->RVData(), 3);
    Table = table.get();
    Edit->AppendItem(std::string(), std::move(table));
    for (int i = 0; i < 40; ++i)
        Edit->RVData()->AddTextParagraph("tail " + std::to_string(i), 0, 0, TRVTag());
    Edit->Format();
    const int itemNo = Table->GetItemNo();
    Edit->ScrollToPixelY(Data()->DrawItems[Data()->GetFirstDrawItemNo(itemNo)]->Top - 20);
    testing::Pump();
    const int scrolled = Edit->VScrollPos();
    ASSERT_GT(scrolled, 0);
    for (bool byGridEdit : {false, true}) {
        SCOPED_TRACE(byGridEdit);
        Data()->PlaceCaretAt(itemNo, 1);
        ASSERT_TRUE(Table->OpenCellEditor(-1, 1, 1, false, false, true, false));
        testing::TypeText("abc");
        if (byGridEdit)
            Table->InsertTableRows(1, 1, false, -1);
        else
            Edit->DestroyInplaceEditor();
        testing::Pump();
        EXPECT_EQ(Table->InplaceEditor(), nullptr);
        EXPECT_EQ(Edit->CaretItemIndex(), itemNo);
        EXPECT_EQ(Edit->CaretItemOffset(), 1);
        EXPECT_EQ(Edit->VScrollPos(), scrolled);
    }
    EXPECT_EQ(CellText(2, 1), "abcabc");
}

// What is done in the cell editor reaches the editor holding the table: item actions, keys and
// right clicks (at that editor's coordinates).
TEST_F(TableSaveEdited, TheCellEditorsEventsReachTheOuterEditor) {
    std::vector<std::pair<TRVItemAction, TCustomRVData*>> actions;
    Edit->OnItemAction = [&](TCustomRichView*, TRVItemAction action, TCustomRVItemInfo*,
                             std::string&,
                             TCustomRVData* rvData) { actions.emplace_back(action, rvData); };
    int keys = 0;
    Edit->OnKeyDown = [&](TObject*, Word&, TShiftState) { ++keys; };
    int rightX = -1;
    Edit->OnRVRightClick = [&](TCustomRichView* sender, const std::string&, int, int x, int) {
        if (sender == Edit) rightX = x;
    };
    ASSERT_TRUE(Table->OpenCellEditor(-1, 1, 1, false, false, true, false));
    TRVTableInplaceEdit* editor = Table->InplaceEditor();
    TCustomRVData* inner = editor->EditData();
    // Opening moves the cell's items; nothing is made or freed.
    EXPECT_TRUE(actions.empty());
    testing::TypeText("ab");
    testing::PressKey(VK_RETURN);
    auto heard = [&](TRVItemAction action) {
        for (auto& [a, data] : actions)
            if (a == action && data == inner) return true;
        return false;
    };
    EXPECT_TRUE(heard(rviaTextModifying));
    EXPECT_TRUE(heard(rviaInserting));
    EXPECT_GT(keys, 0);
    testing::Click(editor, 5, 5, mbRight);
    EXPECT_EQ(rightX, 5 + editor->Left());
    // The handlers use this case's locals.
    Edit->DestroyInplaceEditor();
    Edit->OnItemAction = nullptr;
    Edit->OnKeyDown = nullptr;
    Edit->OnRVRightClick = nullptr;
}

// Printing while a cell is edited prints what the editor shows.
TEST_F(TableSaveEdited, PrintingTakesWhatTheOpenCellEditorShows) {
    ASSERT_TRUE(Table->OpenCellEditor(-1, 1, 1, false, false, true, false));
    testing::TypeText("xy");
    auto print = std::make_unique<TRVPrint>(nullptr);
    print->TakeDocumentFrom(Edit);
    ASSERT_GE(print->FormatPages(), 1);
    TCustomMainPtblRVData* pages = print->rv()->PrintData();
    TRVTablePrintInfo* info = nullptr;
    for (int i = 0; i < pages->DrawItems.Count() && !info; ++i)
        info = dynamic_cast<TRVTablePrintInfo*>(pages->DrawItems[i]);
    ASSERT_TRUE(info);
    ASSERT_TRUE(info->CellDoc(1, 1));
    EXPECT_EQ(Paragraphs(*info->CellDoc(1, 1)), "1,1xy");
    EXPECT_EQ(Paragraphs(*info->CellDoc(1, 2)), "1,2");
    EXPECT_FALSE(info->LayoutOutdated());
    // Once the editor is gone the record is outdated, and it goes without reading the items.
    Edit->DestroyInplaceEditor();
    EXPECT_TRUE(info->LayoutOutdated());
    EXPECT_EQ(CellText(1, 1), "1,1xy");
    print.reset();
}

// A word processor opened an RTF file written as above, while cell (1, 1) of a table of two rows
// was edited, and saved it again: the cell holds the three paragraphs it showed.
TEST(TableSaveEditedFixture, AWordProcessorReadTheTextTypedInTheOpenCell) {
    const char* root = std::getenv("EPC_TEST_DATA");
    TFileStream fs(std::string(root ? root : "tests/data") +
                       "/../richtext/table/data/lo-edited-cell.rtf",
                   fmOpenRead);
    std::unique_ptr<TRVStyle> style = test::MakeFixedStyle();
    test::TTestRVData back(style.get());
    TRVRTFReaderProperties props;
    int at = 0;
    ASSERT_EQ(props.ImportRtfStream(&back, fs, at), 0);
    TRVTableItemInfo* table = FirstTable(back);
    ASSERT_TRUE(table);
    ASSERT_EQ(table->RowCount(), 2);
    ASSERT_TRUE(table->GetCell(1, 1));
    EXPECT_EQ(Paragraphs(*table->GetCell(1, 1)), "c\n\nzq1,1");
}

// Inserting a table tells the document of its cells' items as well, each with its own text
// (the handler may change it).
TEST_F(TableSaveEdited, InsertingATableTellsOfItsCellsItems) {
    std::vector<std::string> heard;
    Edit->OnItemAction = [&](TCustomRichView*, TRVItemAction action, TCustomRVItemInfo* item,
                             std::string& text, TCustomRVData* rvData) {
        if (action != rviaInserting) return;
        heard.push_back(text + (dynamic_cast<TRVTableCellData*>(rvData) ? "@cell" : ""));
        if (item->StyleNo >= 0) text += "!";
    };
    auto table = TRVTableItemInfo::CreateSized(1, Edit->RVData(), 2);
    TRVTableItemInfo* inserted = table.get();
    for (int c = 0; c < 2; ++c) {
        inserted->GetCell(0, c)->Clear();
        inserted->GetCell(0, c)->AddTextParagraph("c" + std::to_string(c), 0, 0, TRVTag());
    }
    Data()->PlaceCaretAt(0, 1);
    ASSERT_TRUE(Edit->InsertItem(std::move(table), ""));
    EXPECT_EQ(heard, (std::vector<std::string>{"", "c0@cell", "c1@cell"}));
    EXPECT_EQ(inserted->GetCell(0, 0)->GetItemText(0), "c0!");
    EXPECT_EQ(inserted->GetCell(0, 1)->GetItemText(0), "c1!");
    Edit->OnItemAction = nullptr;
}

} // namespace
} // namespace epc
