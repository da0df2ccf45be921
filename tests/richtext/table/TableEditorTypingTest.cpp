// Typing next to a table in the editor that holds it, documents with tables inserted into list
// paragraphs, and what the editor holding the table learns of edits made in a cell.

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

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
    // In an open cell editor the outer editor's conversion serves the cell's selection.
    ASSERT_TRUE(Table->OpenCellEditor(-1, 0, 0, false, true, true, true));
    Table->InplaceEditor()->EditData()->SelectAll();
    Edit->ConvertSelectionTextStyles(0);
    EXPECT_EQ(Table->InplaceEditor()->EditData()->GetItemStyleNo(0), 1);
    Edit->Undo();
    testing::Pump();
    Edit->DestroyInplaceEditor();
    EXPECT_EQ(Table->GetCell(0, 0)->GetItemStyleNo(0), 0);
    // Chosen cells take it.
    Table->Select(0, 0, 1, 1);
    Edit->ConvertSelectionTextStyles(0);
    EXPECT_EQ(Table->GetCell(1, 1)->GetItemStyleNo(0), 1);
    EXPECT_EQ(Table->GetCell(2, 2)->GetItemStyleNo(0), 0);
    Edit->Undo();
    EXPECT_EQ(Table->GetCell(1, 1)->GetItemStyleNo(0), 0);
    Table->Deselect();
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

namespace epc {
namespace {

// Random keys typed into a cell editor against a model of the cell's paragraphs; the outer
// editor takes the whole run back and gives it again as its own steps.
class CellTypingModel : public test::TableEditFixture {
protected:
    std::vector<std::string> Paras;
    int P = 0, O = 0;

    std::string Edited() {
        int row, col;
        Table->GetEditedCell(row, col);
        return std::to_string(row) + "," + std::to_string(col);
    }

    std::string Model() const {
        std::string s;
        for (size_t i = 0; i < Paras.size(); ++i)
            s += (i ? "\n" : "") + Paras[i];
        return s;
    }
    static std::string Document(TCustomRVData* d) {
        std::string s;
        for (int i = 0; i < d->ItemCount(); ++i) {
            if (i > 0 && d->GetItem(i)->StartsParagraph()) s += '\n';
            s += d->GetItemText(i);
        }
        return s;
    }
    static std::string Rvf(TCustomRVData* d) {
        TMemoryStream stream;
        d->SaveToRvfStream(stream, false);
        return stream.DataString();
    }
    // One key on the model and in the focused cell editor; false for one left out.
    bool Step(std::mt19937& rng, std::string& name) {
        std::string& cur = Paras[size_t(P)];
        const int len = int(cur.size());
        const bool last = P + 1 == int(Paras.size());
        switch (rng() % 9) {
        case 0:
        case 1:
        case 2: {
            // Lines stay shorter than the cell: Home and End act on whole paragraphs.
            if (len >= 6) return false;
            // (End where the caret stands already at the cell's end leaves the cell.)
            if (rng() % 2 && (O < len || !last)) {
                O = len;
                testing::PressKey(VK_END);
            }
            const char c = rng() % 3 == 0 ? ' ' : char('a' + rng() % 26);
            name = std::string("type ") + c;
            cur.insert(size_t(O++), 1, c);
            testing::TypeText(std::string(1, c));
            return true;
        }
        case 3:
            name = "enter";
            Paras.insert(Paras.begin() + P + 1, cur.substr(size_t(O)));
            Paras[size_t(P)].resize(size_t(O));
            ++P;
            O = 0;
            testing::PressKey(VK_RETURN);
            return true;
        case 4:
            if (O == 0 && P > 0 && Paras[size_t(P) - 1].size() + cur.size() > 6) return false;
            name = "backspace";
            if (O > 0) {
                cur.erase(size_t(--O), 1);
            } else if (P > 0) {
                O = int(Paras[size_t(P) - 1].size());
                Paras[size_t(P) - 1] += cur;
                Paras.erase(Paras.begin() + P--);
            }
            testing::PressKey(VK_BACK);
            return true;
        case 5:
            if (O == len && !last && cur.size() + Paras[size_t(P) + 1].size() > 6) return false;
            name = "delete";
            if (O < len) {
                cur.erase(size_t(O), 1);
            } else if (!last) {
                cur += Paras[size_t(P) + 1];
                Paras.erase(Paras.begin() + P + 1);
            } else if (cur.empty() && P > 0) {
                Paras.erase(Paras.begin() + P--);
                O = int(Paras[size_t(P)].size());
            }
            testing::PressKey(VK_DELETE);
            return true;
        case 6:
            // Left and Right stay inside the cell.
            if (O == 0 && P == 0) return false;
            name = "left";
            if (O > 0)
                --O;
            else
                O = int(Paras[size_t(--P)].size());
            testing::PressKey(VK_LEFT);
            return true;
        case 7:
            if (O == len && last) return false;
            name = "right";
            if (O < len) {
                ++O;
            } else {
                ++P;
                O = 0;
            }
            testing::PressKey(VK_RIGHT);
            return true;
        default:
            if (O == 0 && P == 0) return false;
            name = "home";
            O = 0;
            testing::PressKey(VK_HOME);
            return true;
        }
    }
};

TEST_F(CellTypingModel, RandomKeysInACellMatchTheModelAndTheOuterUndoTakesThemBack) {
    for (uint32_t seed = 1; seed <= 12; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        std::mt19937 rng(seed);
        const std::string outerBefore = Rvf(Data());
        ASSERT_TRUE(Table->OpenCellEditor(-1, 1, 1, false, true, true, true));
        // The cell as the last run left it; the caret at its end.
        Paras.assign(1, std::string());
        for (char c : Document(Table->InplaceEditor()->RVData()))
            if (c == '\n')
                Paras.emplace_back();
            else
                Paras.back() += c;
        P = int(Paras.size()) - 1;
        O = int(Paras.back().size());
        std::string log;
        for (int step = 0; step < 40; ++step) {
            std::string name;
            if (!Step(rng, name)) continue;
            TRVTableInplaceEdit* cell = Table->InplaceEditor();
            log += name + " (" + std::to_string(P) + "," + std::to_string(O) + ") -> " +
                   (cell ? Document(cell->RVData()) : std::string()) + "; ";
            ASSERT_TRUE(cell) << log;
            ASSERT_EQ(Edited(), "1,1") << log;
            ASSERT_EQ(Document(cell->RVData()), Model()) << log;
        }
        // Closed, the run is the outer editor's to take back and give again.
        Edit->DestroyInplaceEditor();
        testing::Pump();
        const std::string outerAfter = Rvf(Data());
        while (Edit->CanUndo())
            Undo();
        Edit->DestroyInplaceEditor();
        EXPECT_EQ(Rvf(Data()), outerBefore) << log;
        while (Edit->CanRedo())
            Redo();
        Edit->DestroyInplaceEditor();
        EXPECT_EQ(Rvf(Data()), outerAfter) << log;
        // The next run starts from an empty history.
        Data()->UndoList->Clear();
        Data()->RedoList->Clear();
    }
}

} // namespace
} // namespace epc
