// The editor holding tables as a person drives it with the mouse and the keyboard: a click
// away from the table ends what the table holds, dragging and Shift+click select blocks of
// cells, Ctrl+X in a cell, and the cell editors of nested tables closed innermost first with
// their steps kept; undoing everything gives back the first bytes, redoing it the last.

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "platform/testing/UserActions.h"
#include "tests/richtext/table/TableEditSupport.h"
#include "tests/richtext/table/TableRandomSupport.h"

namespace epc {
namespace {

class EditorMouse : public test::TableEditFixture {
protected:
    std::string Edited(TRVTableItemInfo* table = nullptr) {
        int row, col;
        (table ? table : Table)->GetEditedCell(row, col);
        return std::to_string(row) + "," + std::to_string(col);
    }
    // A client point of the outer editor inside cell (Row, Col) of a table lying in the outer
    // editor's document: DX from the cell's left (from its right when negative).
    TPoint CellPoint(int row, int col, int dx = -4) {
        const TRVDrawLineInfo* d =
            Data()->DrawItems[Data()->GetFirstDrawItemNo(Table->GetItemNo())];
        const TRVTableCellData* cell = Table->GetCell(row, col);
        return TPoint(d->Left + cell->Left + (dx < 0 ? cell->Width + dx : dx) - Edit->HScrollPos(),
                      d->Top + cell->Top + cell->Height / 2 -
                          Edit->VScrollPos() * Edit->VSmallStep());
    }
    // Just right of the last line's text: a click there puts the caret at the document's end.
    TPoint EndPoint() {
        const TRVDrawLineInfo* d = Data()->DrawItems[Data()->DrawItems.Count() - 1];
        return TPoint(d->Left + d->Width + 20 - Edit->HScrollPos(),
                      d->Top + d->Height / 2 - Edit->VScrollPos() * Edit->VSmallStep());
    }
    void ClickAt(TPoint p, TShiftState shift = {}) {
        testing::Click(Edit, p.X, p.Y, mbLeft, shift);
    }
    // Undoes (redoes) every step, each cell step in its reopened editor, which then closes.
    void UndoAll() {
        for (int guard = 0; guard < 500 && Edit->CanUndo(); ++guard)
            Undo();
        Edit->DestroyInplaceEditor();
        testing::Pump();
    }
    void RedoAll() {
        for (int guard = 0; guard < 500 && Edit->CanRedo(); ++guard)
            Redo();
        Edit->DestroyInplaceEditor();
        testing::Pump();
    }
};

// Typing in a cell, then a click on the paragraph below: the cell editor closes with the text,
// the keyboard comes back, and what is typed next lands where the click put the caret.
TEST_F(EditorMouse, AClickBelowTheTableEndsTheCellEditorAndTypingLandsThere) {
    const std::string first = Rvf();
    ClickAt(CellPoint(1, 1));
    ASSERT_EQ(Edited(), "1,1");
    testing::TypeText("ab");
    ClickAt(EndPoint());
    EXPECT_EQ(Table->InplaceEditor(), nullptr);
    EXPECT_EQ(Edited(), "-1,-1");
    EXPECT_EQ(Data()->ChosenItem, nullptr);
    EXPECT_TRUE(Edit->Focused());
    testing::TypeText("Q");
    EXPECT_EQ(CellText(1, 1), "1,1ab");
    EXPECT_EQ(Data()->GetItemText(2), "afterQ");
    const std::string last = Rvf();
    UndoAll();
    EXPECT_EQ(Rvf(), first);
    RedoAll();
    EXPECT_EQ(Rvf(), last);
}

// Ctrl+X in a cell puts the selected text on the clipboard and takes it out of the cell;
// Shift+Delete does the same, and both are undone with the cell's other steps.
TEST_F(EditorMouse, CutShortcutsInACellCopyAndDeleteTheSelection) {
    const std::string first = Rvf();
    ClickAt(CellPoint(2, 1));
    ASSERT_EQ(Edited(), "2,1");
    testing::PressKey(VK_LEFT, {ssShift});
    testing::PressKey(VK_LEFT, {ssShift});
    testing::PressKey('X', {ssCtrl});
    EXPECT_EQ(testing::ClipboardText(), ",1");
    testing::PressKey(VK_HOME, {ssShift});
    testing::PressKey(VK_DELETE, {ssShift});
    EXPECT_EQ(testing::ClipboardText(), "2");
    ClickAt(EndPoint());
    EXPECT_EQ(CellText(2, 1), "");
    UndoAll();
    EXPECT_EQ(Rvf(), first);
}

// Pressing in one cell and dragging to another selects the block between, in place of the
// cell editor; a style applied then reaches every selected cell. Shift+click from an edited
// cell selects a block too, and a click below the table ends the cell selection.
TEST_F(EditorMouse, DraggingAndShiftClickSelectBlocksOfCellsThatStylesReach) {
    const int bold = [&] {
        TFontInfo& f = Style->TextStyles.Add();
        f = Style->TextStyles[0];
        f.Style.Include(TRVFontStyle::rvfsBold);
        return Style->TextStyles.Count() - 1;
    }();
    Edit->OnStyleConversion = [&](TCustomRichViewEdit*, int, int, bool, int& styleNo) {
        styleNo = bold;
    };
    const std::string first = Rvf();
    testing::DragMouse(Edit, CellPoint(0, 0), CellPoint(1, 1));
    EXPECT_TRUE(Table->HasCellSelection());
    EXPECT_EQ(Table->InplaceEditor(), nullptr);
    int top, left, rows, cols;
    ASSERT_TRUE(Table->GetNormalizedSelectionBounds(top, left, rows, cols));
    EXPECT_EQ(std::vector<int>({top, left, rows, cols}), std::vector<int>({0, 0, 2, 2}));
    Edit->ConvertSelectionTextStyles(0);
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            EXPECT_EQ(Table->GetCell(r, c)->GetItemStyleNo(0), r < 2 && c < 2 ? bold : 0)
                << r << "," << c;
    // The block ends with a click away from the table.
    ClickAt(EndPoint());
    EXPECT_FALSE(Table->HasCellSelection());
    // Shift+click from an edited cell.
    ClickAt(CellPoint(2, 2));
    ASSERT_EQ(Edited(), "2,2");
    ClickAt(CellPoint(1, 0), {ssShift});
    EXPECT_EQ(Table->InplaceEditor(), nullptr);
    ASSERT_TRUE(Table->GetNormalizedSelectionBounds(top, left, rows, cols));
    EXPECT_EQ(std::vector<int>({top, left, rows, cols}), std::vector<int>({1, 0, 2, 3}));
    // A press in the open editor and a drag out of its cell select a block too.
    ClickAt(EndPoint());
    ClickAt(CellPoint(0, 2));
    ASSERT_EQ(Edited(), "0,2");
    testing::Wait(1000); // not a double click with the press that opened the editor
    TRVTableInplaceEdit* editor = Table->InplaceEditor();
    const TPoint from = CellPoint(0, 2);
    testing::DragMouse(
        editor, TPoint(from.X - editor->Left(), from.Y - editor->Top()),
        TPoint(CellPoint(1, 1).X - editor->Left(), CellPoint(1, 1).Y - editor->Top()));
    testing::Pump();
    EXPECT_EQ(Table->InplaceEditor(), nullptr);
    ASSERT_TRUE(Table->GetNormalizedSelectionBounds(top, left, rows, cols));
    EXPECT_EQ(std::vector<int>({top, left, rows, cols}), std::vector<int>({0, 1, 2, 2}));
    ClickAt(EndPoint());
    UndoAll();
    EXPECT_EQ(Rvf(), first);
}

// A press in a cell, a drag into another and back: the block follows the mouse back to the
// pressed cell, which alone is selected after the release.
TEST_F(EditorMouse, DraggingBackIntoThePressedCellLeavesOnlyThatCellSelected) {
    const TPoint start = CellPoint(0, 0), far = CellPoint(1, 1);
    testing::MouseDown(Edit, start.X, start.Y);
    ASSERT_EQ(Edited(), "0,0");
    testing::MoveMouse(Edit, far.X, far.Y);
    int top, left, rows, cols;
    ASSERT_TRUE(Table->GetNormalizedSelectionBounds(top, left, rows, cols));
    EXPECT_EQ(std::vector<int>({top, left, rows, cols}), std::vector<int>({0, 0, 2, 2}));
    testing::MoveMouse(Edit, start.X, start.Y);
    testing::MouseUp(Edit, start.X, start.Y);
    testing::Pump();
    EXPECT_EQ(Table->InplaceEditor(), nullptr);
    ASSERT_TRUE(Table->GetNormalizedSelectionBounds(top, left, rows, cols));
    EXPECT_EQ(std::vector<int>({top, left, rows, cols}), std::vector<int>({0, 0, 1, 1}));
}

// The cell editor's own replay messages: WM_USER+11 redoes its last undone step, WM_USER+12
// undoes its last step, both also while the outer editor is read-only.
TEST_F(EditorMouse, TheCellEditorsReplayMessagesRedoAndUndo) {
    ClickAt(CellPoint(1, 1));
    ASSERT_EQ(Edited(), "1,1");
    testing::TypeText("ab");
    TRVTableInplaceEdit* editor = Table->InplaceEditor();
    auto text = [&] { return editor->EditData()->GetItemText(0); };
    const std::string typed = text();
    testing::PressKey('Z', {ssCtrl});
    const std::string undone = text();
    ASSERT_NE(undone, typed);
    Edit->SetReadOnly(true);
    PostMessage(editor->Handle(), WM_USER + 11, 0, 0);
    testing::Pump();
    EXPECT_EQ(text(), typed);
    PostMessage(editor->Handle(), WM_USER + 12, 0, 0);
    testing::Pump();
    EXPECT_EQ(text(), undone);
    Edit->SetReadOnly(false);
}

// Editing a cell of another table ends the open cell editor first: its text goes back into
// its cell and its steps join the document's, so undoing everything gives back the first bytes.
TEST_F(EditorMouse, EditingAnotherTablesCellClosesTheOpenCellEditor) {
    TRVTableItemInfo* second = test::AppendTable(Edit->RVData(), 1, 2);
    Edit->Format();
    testing::Pump();
    const std::string first = Rvf();
    ClickAt(CellPoint(1, 1));
    ASSERT_EQ(Edited(), "1,1");
    testing::TypeText("ab");
    second->EditCell(0, 1);
    ASSERT_TRUE(second->InplaceEditor());
    EXPECT_EQ(Table->InplaceEditor(), nullptr);
    EXPECT_EQ(Edited(), "-1,-1");
    EXPECT_EQ(CellText(1, 1), "1,1ab");
    testing::TypeText("z");
    Edit->DestroyInplaceEditor();
    testing::Pump();
    EXPECT_EQ(second->GetCell(0, 1)->GetItemText(0), "z");
    const std::string last = Rvf();
    UndoAll();
    EXPECT_EQ(Rvf(), first);
    RedoAll();
    EXPECT_EQ(Rvf(), last);
}

// A 2 x 2 table holding in cell (1, 1) the text "x" and a 2 x 2 table, which holds in its cell
// (0, 1) the text "m" and a 1 x 2 table.
class NestedEditors : public EditorMouse {
protected:
    void SetUp() override {
        EditorMouse::SetUp();
        Edit->Clear();
        Edit->RVData()->AddTextParagraph("before", 0, 0, TRVTag());
        auto outer = TRVTableItemInfo::CreateSized(2, Edit->RVData(), 2);
        Table = outer.get();
        Edit->AppendItem(std::string(), std::move(outer));
        Edit->RVData()->AddTextParagraph("after", 0, 0, TRVTag());
        Fill(Table, "");
        TRVTableCellData* holder = Table->GetCell(1, 1);
        holder->Clear();
        holder->AddTextParagraph("x", 0, 0, TRVTag());
        Nested = test::AppendTable(holder, 2, 2);
        Fill(Nested, "n");
        TRVTableCellData* inner = Nested->GetCell(0, 1);
        inner->Clear();
        inner->AddTextParagraph("m", 0, 0, TRVTag());
        Small = test::AppendTable(inner, 1, 2);
        Fill(Small, "s");
        Edit->Format();
        testing::Pump();
    }
    static void Fill(TRVTableItemInfo* table, const std::string& prefix) {
        for (int r = 0; r < table->RowCount(); ++r)
            for (int c = 0; c < table->ColCount(); ++c) {
                TRVTableCellData* cell = table->GetCell(r, c);
                cell->Clear();
                cell->AddTextParagraph(prefix + std::to_string(r) + "," + std::to_string(c), 0, 0,
                                       TRVTag());
            }
    }
    // A client point of the outer editor over the first line of a cell of the nested table,
    // which lies in the outer cell's editor while that is open.
    TPoint NestedCellPoint(int row, int col) {
        TRVTableInplaceEdit* editor = Table->InplaceEditor();
        TRVTableCellData* cell = Nested->GetCell(row, col);
        int ox = 0, oy = 0;
        cell->GetOriginInRoot(ox, oy);
        const TRVDrawLineInfo* line = cell->DrawItems[0];
        return TPoint(editor->Left() + ox + line->Left + line->Width - 3,
                      editor->Top() + oy + line->Top + line->Height / 2);
    }
    // Over the "x" of the outer cell (1, 1), before its editor opens.
    TPoint XPoint() {
        TRVTableCellData* cell = Table->GetCell(1, 1);
        int ox = 0, oy = 0;
        cell->GetOriginInRoot(ox, oy);
        const TRVDrawLineInfo* line = cell->DrawItems[0];
        return TPoint(ox + line->Left + 8 - Edit->HScrollPos(),
                      oy + line->Top + line->Height / 2 - Edit->VScrollPos() * Edit->VSmallStep());
    }
    std::string NestedText(int row, int col) {
        TRVTableCellData* cell = Nested->GetCell(row, col);
        return cell && cell->ItemCount() > 0 ? cell->GetItemText(0) : "-";
    }
    TRVTableItemInfo* Nested = nullptr;
    TRVTableItemInfo* Small = nullptr;
};

// A merge in the nested table, made while the outer cell is edited, is undone and redone
// after that editor has gone; the merged-away cell that held the small table comes back.
TEST_F(NestedEditors, AMergeInANestedTableIsUndoneAfterTheCellEditorWent) {
    const std::string first = Rvf();
    ClickAt(XPoint());
    ASSERT_EQ(Edited(), "1,1");
    Nested->MergeCells(0, 0, 2, 1, true);
    Edit->Format();
    testing::Pump();
    EXPECT_EQ(Nested->GetCell(0, 1), nullptr);
    Edit->DestroyInplaceEditor();
    testing::Pump();
    const std::string last = Rvf();
    UndoAll();
    EXPECT_EQ(Rvf(), first);
    ASSERT_TRUE(Nested->GetCell(0, 1));
    EXPECT_EQ(Nested->GetCell(0, 1)->GetItemText(0), "m");
    RedoAll();
    EXPECT_EQ(Rvf(), last);
}

// Typing in a cell of the nested table, then closing the outer editor: the nested editor
// closes first and its typing is one of the document's steps.
TEST_F(NestedEditors, TypingInANestedCellSurvivesClosingTheOuterEditor) {
    const std::string first = Rvf();
    ClickAt(XPoint());
    ASSERT_EQ(Edited(), "1,1");
    ClickAt(NestedCellPoint(0, 0));
    ASSERT_EQ(Edited(Nested), "0,0");
    testing::TypeText("zz");
    const int groups = Groups();
    Edit->DestroyInplaceEditor();
    testing::Pump();
    EXPECT_EQ(Nested->InplaceEditor(), nullptr);
    EXPECT_EQ(NestedText(0, 0), "n0,0zz");
    EXPECT_EQ(Groups(), groups + 1);
    const std::string last = Rvf();
    UndoAll();
    EXPECT_EQ(Rvf(), first);
    RedoAll();
    EXPECT_EQ(Rvf(), last);
    // The same, ended by a click above the table.
    ClickAt(XPoint());
    ClickAt(NestedCellPoint(1, 1));
    ASSERT_EQ(Edited(Nested), "1,1");
    testing::TypeText("q");
    const TRVDrawLineInfo* before = Data()->DrawItems[0];
    ClickAt(TPoint(before->Left + 2, before->Top + 4));
    EXPECT_EQ(Table->InplaceEditor(), nullptr);
    EXPECT_EQ(Nested->InplaceEditor(), nullptr);
    EXPECT_EQ(NestedText(1, 1), "n1,1q");
    UndoAll();
    EXPECT_EQ(Rvf(), first);
}

// Editing a nested cell from another outer cell's editor, then closing: both editors go and
// nothing refers to them afterwards.
TEST_F(NestedEditors, EditingANestedCellFromAnotherCellAndClosing) {
    const std::string first = Rvf();
    ClickAt(CellPoint(1, 0));
    ASSERT_EQ(Edited(), "1,0");
    Nested->EditCell(0, 1);
    ASSERT_EQ(Edited(), "1,1");
    ASSERT_EQ(Edited(Nested), "0,1");
    testing::TypeText("k");
    Edit->DestroyInplaceEditor();
    testing::Pump();
    EXPECT_EQ(Nested->InplaceEditor(), nullptr);
    int height = 0, minWidth = 0;
    EXPECT_FALSE(Nested->GetEditedCellSize(Nested->GetCell(0, 1), height, minWidth));
    Edit->Format();
    EXPECT_EQ(Nested->GetCell(0, 1)->GetItemText(0), "km"); // the caret started at the start
    const std::string last = Rvf();
    UndoAll();
    EXPECT_EQ(Rvf(), first);
    RedoAll();
    EXPECT_EQ(Rvf(), last);
}

// ---------------------------------------------------------------------------------------------
// Seeded random runs: clicks anywhere in the editor (opening cell editors, nested ones too,
// and ending them), drags, keys, undo and redo keys and merges in tables of editing documents;
// after closing every editor, undoing everything gives back the first bytes and redoing it
// the last. EPC_RANDOM_SEEDS and EPC_RANDOM_STEPS give more seeds and longer runs;
// EPC_FIRST_SEED starts the run at a later seed, to replay one.

int EnvOr(const char* name, int fallback) {
    const char* value = std::getenv(name);
    const int n = value ? std::atoi(value) : 0;
    return n > 0 ? n : fallback;
}

class NestedEditorsRandom : public NestedEditors {
protected:
    // Tables whose document records undo: the outer one, and those in open cell editors.
    std::vector<TRVTableItemInfo*> EditableTables() {
        std::vector<TRVTableItemInfo*> tables;
        std::vector<TCustomRVData*> docs{Data()};
        for (size_t i = 0; i < docs.size(); ++i)
            for (int k = 0; k < docs[i]->ItemCount(); ++k)
                if (auto* t = dynamic_cast<TRVTableItemInfo*>(docs[i]->GetItem(k))) {
                    tables.push_back(t);
                    if (TRVTableInplaceEdit* e = t->InplaceEditor()) docs.push_back(e->EditData());
                }
        return tables;
    }
    void Step(std::mt19937& rng, std::string& log) {
        auto pick = [&](int n) { return int(rng() % uint32_t(std::max(n, 1))); };
        const TPoint p(pick(Edit->ClientWidth()), pick(Edit->ClientHeight()));
        switch (pick(12)) {
        case 0:
        case 1:
        case 2:
            log += "click " + std::to_string(p.X) + "," + std::to_string(p.Y) + "; ";
            ClickAt(p);
            break;
        case 3: {
            const TPoint q(pick(Edit->ClientWidth()), pick(Edit->ClientHeight()));
            log += "drag; ";
            testing::DragMouse(Edit, p, q, 3);
            break;
        }
        case 4:
        case 5: {
            std::string word;
            for (int n = 1 + pick(3); n > 0; --n)
                word += char('a' + pick(26));
            log += "type " + word + "; ";
            testing::TypeText(word);
            break;
        }
        case 6: {
            static const Word keys[] = {VK_RETURN, VK_BACK, VK_DELETE, VK_LEFT, VK_RIGHT,
                                        VK_UP,     VK_DOWN, VK_HOME,   VK_END,  VK_TAB};
            const Word key = keys[pick(10)];
            const TShiftState shift = pick(4) == 0 ? TShiftState{ssShift} : TShiftState{};
            log += "key " + std::to_string(key) + (shift.Contains(ssShift) ? "+shift" : "") + "; ";
            testing::PressKey(key, shift);
            break;
        }
        case 7:
            log += "undo; ";
            testing::PressKey('Z', {ssCtrl});
            break;
        case 8:
            log += "redo; ";
            testing::PressKey('Z', {ssCtrl, ssShift});
            break;
        case 9:
            log += "cut; ";
            testing::PressKey('X', {ssCtrl});
            break;
        default: {
            std::vector<TRVTableItemInfo*> tables = EditableTables();
            if (tables.empty()) break;
            TRVTableItemInfo* t = tables[size_t(pick(int(tables.size())))];
            if (t->RowCount() == 0 || t->ColCount() == 0) break;
            const int r = pick(t->RowCount()), c = pick(t->ColCount());
            log += "merge " + std::to_string(r) + "," + std::to_string(c) + "; ";
            t->MergeCells(r, c, 1 + pick(2), 1 + pick(2), true);
            Edit->Format();
            break;
        }
        }
        testing::Pump();
    }
};

TEST_F(NestedEditorsRandom, ClicksKeysAndMergesUndoToTheFirstBytesAndRedoToTheLast) {
    const int seeds = EnvOr("EPC_RANDOM_SEEDS", 5), steps = EnvOr("EPC_RANDOM_STEPS", 100);
    for (int seed = EnvOr("EPC_FIRST_SEED", 1); seed <= seeds; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        if (seed > 1) {
            TearDown();
            SetUp();
        }
        std::mt19937 rng{uint32_t(seed)};
        const std::string first = Rvf();
        std::string log;
        for (int step = 0; step < steps; ++step)
            Step(rng, log);
        // Editing ends by a click at the top, above the table unless it went.
        Edit->ScrollToY(0);
        testing::Pump();
        ClickAt(TPoint(Data()->DrawItems[0]->Left + 2, Data()->DrawItems[0]->Top + 2));
        Edit->DestroyInplaceEditor();
        testing::Pump();
        // Steps undone last are done again first: the last bytes are those of every step.
        RedoAll();
        const std::string last = Rvf();
        UndoAll();
        ASSERT_EQ(Rvf(), first) << log;
        RedoAll();
        ASSERT_EQ(Rvf(), last) << log;
    }
}

} // namespace
} // namespace epc
