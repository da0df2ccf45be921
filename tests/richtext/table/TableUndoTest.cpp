// Table edits in an editor undone and redone: merges, splits, inserted and deleted rows and
// columns, cleared cells and properties give back the same RVF bytes and grid each way, and cells
// that left the grid come back as the same objects. A table outside an editor records nothing.

#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <vector>

#include "platform/graphics/Bitmap.h"
#include "richtext/table/RVTableUndo.h"
#include "tests/richtext/table/TableEditSupport.h"
#include "tests/richtext/table/TableLayoutSupport.h"

namespace epc {
namespace {

class TableUndo : public test::TableEditFixture {
protected:
    // Runs Change as one step; undo gives back the bytes before it, redo those after it.
    void ExpectUndoRedo(const std::function<void()>& change) {
        const std::string before = State();
        const int groups = Groups();
        change();
        const std::string after = State();
        ASSERT_NE(after, before);
        ASSERT_EQ(Groups(), groups + 1);
        Undo();
        EXPECT_EQ(State(), before);
        Redo();
        EXPECT_EQ(State(), after);
        Undo();
        EXPECT_EQ(State(), before);
        Redo();
    }
    TRVTableCellData* Cell(int row, int col) { return Table->GetCell(row, col); }
};

TEST_F(TableUndo, UndoingAMergeGivesBackTheSameCellsWithTheirOwnTexts) {
    TRVTableCellData* const away[] = {Cell(0, 1), Cell(1, 0), Cell(1, 1)};
    ExpectUndoRedo([&] { Table->MergeCells(0, 0, 2, 2, false); });
    EXPECT_EQ(CellText(0, 0), "0,0|0,1|1,0|1,1");
    EXPECT_EQ(CellText(1, 1), "-");
    Undo();
    EXPECT_EQ(Cell(0, 1), away[0]);
    EXPECT_EQ(Cell(1, 0), away[1]);
    EXPECT_EQ(Cell(1, 1), away[2]);
    EXPECT_EQ(CellText(0, 0), "0,0");
    EXPECT_EQ(CellText(1, 1), "1,1");
    EXPECT_EQ(Cell(0, 0)->ColSpan, 1);
    Redo();
    EXPECT_EQ(Cell(0, 0)->RowSpan, 2);
    EXPECT_EQ(CellText(0, 0), "0,0|0,1|1,0|1,1");
}

TEST_F(TableUndo, MergesSplitsAndRowAndColumnEditsRoundTrip) {
    Table->GetCell(0, 1)->BestWidth = 90;
    Table->GetCell(2, 2)->Color = clRed;
    ExpectUndoRedo([&] { Table->MergeCells(0, 1, 2, 1, false); });
    SCOPED_TRACE("after the merge");
    // Deleting column 1 splits the cell that spans columns 1 and 2.
    ExpectUndoRedo([&] { Table->DeleteColumns(1, 1, true); });
    ExpectUndoRedo([&] { Table->MergeCells(1, 0, 1, 2, false); });
    // Inserting rows inside the vertical span makes the cell taller.
    ExpectUndoRedo([&] { Table->InsertTableRows(2, 2, false, 0); });
    EXPECT_EQ(Cell(1, 0)->RowSpan, 4);
    ExpectUndoRedo([&] { Table->InsertColumns(1, 2, false, 1); });
    // Deleting rows through the tall cell keeps its part below the deleted rows.
    ExpectUndoRedo([&] { Table->DeleteRows(0, 2); });
    ExpectUndoRedo([&] { Table->DeleteRows(1, 1); });
}

TEST_F(TableUndo, DeletedColumnsComeBackAsTheSameCells) {
    std::vector<TRVTableCellData*> gone;
    for (int r = 0; r < 3; ++r)
        for (int c = 1; c < 3; ++c)
            gone.push_back(Cell(r, c));
    Table->DeleteColumns(1, 2, false);
    ASSERT_EQ(Table->ColCount(), 1);
    // Kept by the undo record, a cell answers for its document through the one that held it.
    EXPECT_EQ(gone[0]->GetTable(), nullptr);
    EXPECT_EQ(gone[0]->UndoContainer(), Data());
    EXPECT_EQ(gone[0]->GetParentData(), Data());
    Undo();
    EXPECT_EQ(gone[0]->UndoContainer(), nullptr);
    ASSERT_EQ(Table->ColCount(), 3);
    size_t i = 0;
    for (int r = 0; r < 3; ++r)
        for (int c = 1; c < 3; ++c)
            EXPECT_EQ(Cell(r, c), gone[i++]) << r << "," << c;
    EXPECT_EQ(CellText(2, 2), "2,2");
    EXPECT_EQ(Cell(2, 2)->GetTable(), Table);
}

TEST_F(TableUndo, PropertiesBordersAndClearedCellsRoundTrip) {
    ExpectUndoRedo([&] { Table->SetBorderWidth(4); });
    ExpectUndoRedo([&] { Table->SetBorderStyle(rvtbColor); });
    ExpectUndoRedo([&] { Table->SetCellBestWidth(120, 1, 2); });
    ExpectUndoRedo([&] { Table->SetCellIntProperty(-1, "VAlign", false, false, 0, 0, rvcBottom); });
    ExpectUndoRedo([&] { Table->SetCellVisibleBorders(-1, false, true, false, true, 2, 0); });
    TRVTableCellData* kept = Cell(1, 1);
    ExpectUndoRedo([&] {
        Table->SelectRows(1, 1);
        Table->DeleteSelectedCellsContents();
    });
    Undo();
    EXPECT_EQ(Cell(1, 1), kept);
    EXPECT_EQ(CellText(1, 1), "1,1");
    // A step that changes nothing leaves no group.
    const int groups = Groups();
    Table->SetBorderWidth(4);
    Table->MergeCells(0, 0, 1, 1, false);
    EXPECT_EQ(Groups(), groups);
}

TEST_F(TableUndo, StylesAppliedToSelectedCellsAreOneStepForTheChangedCellsOnly) {
    Style->ParaStyles.Add().LeftIndent = 20;
    Table->GetCell(0, 2)->GetItem(0)->ParaNo = 1;
    Table->OnCellEditing = [](TRVTableItemInfo*, int, int col, bool, bool& allow) {
        allow = col != 1;
    };
    Table->SelectRows(0, 1);
    ASSERT_GT(Cell(0, 0)->DrawItems.Count(), 0);
    const int left = Cell(0, 0)->DrawItems[0]->Left;
    // The cells are laid out again with their new style at once, and stay selected.
    Table->ApplyParaStyleToCells(1);
    ASSERT_GT(Cell(0, 0)->DrawItems.Count(), 0);
    EXPECT_EQ(Cell(0, 0)->DrawItems[0]->Left, left + 20);
    EXPECT_TRUE(Table->HasCellSelection());
    Undo();
    ExpectUndoRedo([&] { Table->ApplyParaStyleToCells(1); });
    EXPECT_EQ(Cell(0, 0)->GetItemParaNo(0), 1);
    EXPECT_EQ(Cell(0, 1)->GetItemParaNo(0), 0); // refused
    auto* record = dynamic_cast<TRVUndoMultiCellsModify*>(Data()->UndoList->LastGroup()->Items(0));
    ASSERT_TRUE(record);
    // (0, 2) had the style already: nothing of it was recorded.
    EXPECT_EQ(record->Rows.Count(), 1);
    Undo();
    EXPECT_EQ(Cell(0, 0)->GetItemParaNo(0), 0);
    EXPECT_EQ(Cell(0, 2)->GetItemParaNo(0), 1);
    // Cleared cells are laid out at once too.
    Table->DeleteSelectedCellsContents();
    EXPECT_EQ(CellText(0, 0), "");
    EXPECT_GT(Cell(0, 0)->DrawItems.Count(), 0);
    // Clearing the selected cells is refused when one holds text protected from deletion.
    EXPECT_TRUE(Table->CanDeleteSelectedCellsContents());
    TFontInfo& locked = Style->TextStyles.Add();
    locked = Style->TextStyles[0];
    locked.Protection.Include(TRVProtectOption::rvprDeleteProtect);
    Cell(0, 1)->GetItem(0)->StyleNo = 1;
    EXPECT_FALSE(Table->CanDeleteSelectedCellsContents());
}

TEST_F(TableUndo, AStepThatThrowsStopsRecordingAndLeavesNoEmptyGroup) {
    Style->ParaStyles.Add().LeftIndent = 20;
    const std::string before = State();
    const int groups = Groups();
    Table->OnCellEditing = [](TRVTableItemInfo*, int, int, bool, bool&) {
        throw Exception("refused");
    };
    Table->SelectRows(0, 1);
    EXPECT_THROW(Table->ApplyParaStyleToCells(1), Exception);
    EXPECT_EQ(Data()->UndoDest, rvudNone);
    EXPECT_EQ(Groups(), groups);
    EXPECT_EQ(State(), before);
    // The next step records as usual.
    Table->OnCellEditing = nullptr;
    ExpectUndoRedo([&] { Table->ApplyParaStyleToCells(1); });
}

TEST_F(TableUndo, ATableChangeAfterAnInsertionIsAStepOfItsOwn) {
    Data()->PlaceCaretAt(0, 7);
    Edit->InsertText("!");
    const std::string inserted = State();
    const int groups = Groups();
    int changes = 0;
    Edit->OnChange = [&](TObject*) { ++changes; };
    Table->SetCellBestWidth(0, 60, 0, 0);
    EXPECT_EQ(Groups(), groups + 1);
    EXPECT_EQ(changes, 1);
    Undo();
    EXPECT_EQ(State(), inserted);
}

TEST_F(TableUndo, ABorderDragIsOneStep) {
    const TRVTableItemFormattingInfo& fi = Table->Formatting();
    const int pos = fi.ColStarts[1] + 20;
    ExpectUndoRedo([&] { Table->FinishColResize(Data(), 1, pos, true); });
    EXPECT_GT(Cell(0, 0)->BestWidth, 0);
    EXPECT_GT(Cell(2, 1)->BestWidth, 0);
    ExpectUndoRedo([&] { Table->FinishRowResize(Data(), 2, fi.RowStarts[1] + 40); });
}

TEST_F(TableUndo, PicturesAndCopiedAttributesRoundTrip) {
    TBitmap picture(4, 3, pf24bit);
    ExpectUndoRedo([&] { Table->SetBackgroundImage(&picture); });
    ASSERT_TRUE(Table->BackgroundImage());
    EXPECT_EQ(Table->BackgroundImage()->Width(), 4);
    ExpectUndoRedo([&] { Table->SetCellBackgroundImage(&picture, 1, 1); });
    ASSERT_TRUE(Cell(1, 1)->BackgroundImage());
    TRVTableCellData& source = *Cell(1, 1);
    source.Color = clRed;
    source.BestWidth = 90;
    source.VisibleBorders.SetValues(false, true, false, true);
    ExpectUndoRedo([&] { Table->AssignCellAttributesUndoable(-1, 2, 1, 1, 3, true, source); });
    EXPECT_EQ(Cell(2, 1)->Color, clRed);
    EXPECT_EQ(Cell(2, 1)->BestWidth, 30);
    EXPECT_FALSE(Cell(2, 1)->VisibleBorders.Left);
    EXPECT_TRUE(Cell(2, 1)->BackgroundImage());
    Undo();
    EXPECT_EQ(Cell(2, 1)->Color, clNone);
    EXPECT_TRUE(Cell(2, 1)->VisibleBorders.Left);
    EXPECT_FALSE(Cell(2, 1)->BackgroundImage());
}

TEST_F(TableUndo, ATableOutsideAnEditorRecordsNothing) {
    TRichView* view = new TRichView(Form);
    view->SetParent(Form);
    view->SetStyle(Style);
    auto owned = TRVTableItemInfo::CreateSized(2, view->RVData(), 2);
    TRVTableItemInfo* table = owned.get();
    view->AppendItem(std::string(), std::move(owned));
    table->MergeCells(0, 0, 2, 1, true);
    table->SetBorderWidth(2);
    table->InsertTableRows(1, 1, false, 0);
    EXPECT_EQ(table->GetCell(0, 0)->ColSpan, 2);
    EXPECT_EQ(table->BorderWidth(), 2);
    EXPECT_EQ(table->RowCount(), 3);
    EXPECT_FALSE(table->GetEditUndoList());
    // Nor does a table built in code before it joins a document.
    TRVTableItemInfo loose(2, 2, nullptr);
    loose.SetCellBestHeight(30, 1, 1);
    loose.DeleteColumns(0, 1, false);
    EXPECT_EQ(loose.GetCell(1, 0)->BestHeight, 30);
    EXPECT_EQ(Groups(), 0);
}

// Without undo nothing is recorded, yet every change still marks the editor modified and tells
// its OnChange: the document is not taken for unchanged.
TEST_F(TableUndo, UndoLimitZeroRecordsNothingYetReportsEveryChange) {
    Edit->SetUndoLimit(0);
    Style->ParaStyles.Add().LeftIndent = 20;
    int changes = 0;
    Edit->OnChange = [&](TObject*) { ++changes; };
    const std::vector<std::function<void()>> edits = {
        [&] { Table->MergeCells(0, 0, 3, 1, false); },
        [&] { Table->SetCellPadding(3); },
        [&] { Table->SetCellBestWidth(-1, 40, 1, 1); },
        [&] { Table->InsertTableRows(1, 1, false, -1); },
        [&] {
            Table->Select(1, 0, 1, 1);
            Table->ApplyParaStyleToCells(1);
        },
        [&] {
            Table->Select(1, 0, 1, 1);
            Table->DeleteSelectedCellsContents();
        },
    };
    for (size_t i = 0; i < edits.size(); ++i) {
        SCOPED_TRACE(i);
        Edit->Modified = false;
        changes = 0;
        edits[i]();
        testing::Pump();
        EXPECT_TRUE(Edit->Modified);
        EXPECT_GT(changes, 0);
    }
    EXPECT_EQ(Groups(), 0);
    EXPECT_EQ(Table->CellPadding(), 3);
    EXPECT_EQ(Cell(0, 0)->ColSpan, 3);
    EXPECT_EQ(Cell(2, 0)->GetItemParaNo(0), 0); // cleared after the style
    EXPECT_EQ(CellText(2, 0), "");
    Edit->OnChange = nullptr;
}

// Random table edits, each one step; undoing all of them gives back every earlier state's
// bytes in turn, and redoing all of them every later state's.
TEST_F(TableUndo, RandomEditScriptsUndoAndRedoToTheSameBytes) {
    int typedSteps = 0;
    const unsigned seeds = unsigned(test::RandomCount("EPC_RANDOM_SEEDS", 12));
    const int steps = test::RandomCount("EPC_RANDOM_STEPS", 14);
    for (unsigned seed = 1; seed <= seeds; ++seed) {
        SetUp();
        std::mt19937 random(seed);
        auto pick = [&](int lo, int hi) {
            return lo + int(random() % unsigned(std::max(hi - lo + 1, 1)));
        };
        std::vector<std::string> states{State()};
        for (int step = 0; step < steps; ++step) {
            const int rows = Table->RowCount(), cols = Table->ColCount();
            const int groups = Groups();
            switch (pick(0, 9)) {
            case 0:
                Table->MergeCells(pick(0, rows - 1), pick(0, cols - 1), pick(1, 3), pick(1, 3),
                                  pick(0, 1) == 1);
                break;
            case 1:
                Table->InsertTableRows(pick(0, rows), pick(1, 2), false, pick(-1, rows - 1));
                break;
            case 2:
                Table->InsertColumns(pick(0, cols), pick(1, 2), false, pick(-1, cols - 1));
                break;
            case 3:
                if (rows > 1) Table->DeleteRows(pick(1, rows - 1), pick(1, 2));
                break;
            case 4:
                if (cols > 1) Table->DeleteColumns(pick(1, cols - 1), pick(1, 2), pick(0, 1));
                break;
            case 5: {
                const int r = pick(0, rows - 1), c = pick(0, cols - 1);
                if (Table->GetCell(r, c)) Table->SetCellBestWidth(pick(-50, 150), r, c);
                break;
            }
            case 6:
                Table->SetCellHSpacing(pick(0, 5));
                break;
            case 7:
                Table->SelectRows(pick(0, rows - 1), 1);
                Table->DeleteSelectedCellsContents();
                break;
            case 8: {
                const int r = pick(0, rows - 1), c = pick(0, cols - 1);
                if (Table->GetCell(r, c))
                    Table->SetCellVisibleBorders(-1, pick(0, 1), true, pick(0, 1), true, r, c);
                break;
            }
            default:
                // Typing in a cell's editor, handed over as one step when the editor closes.
                if (Table->OpenCellEditor(-1, pick(0, rows - 1), pick(0, cols - 1), false, true,
                                          pick(0, 1) == 1, false)) {
                    testing::TypeText(std::string(size_t(pick(1, 3)), char('a' + pick(0, 25))));
                    Edit->DestroyInplaceEditor();
                    EXPECT_EQ(Groups(), groups + 1);
                    ++typedSteps;
                }
                break;
            }
            Edit->Format();
            if (Groups() > groups) states.push_back(State());
        }
        ASSERT_EQ(size_t(Groups()) + 1, states.size()) << seed;
        for (size_t i = states.size() - 1; i > 0; --i) {
            Undo();
            // A cell's step is undone in its reopened editor; closing it gives the items back.
            Edit->DestroyInplaceEditor();
            ASSERT_EQ(State(), states[i - 1]) << "seed " << seed << " undo to " << i - 1;
        }
        for (size_t i = 1; i < states.size(); ++i) {
            Redo();
            Edit->DestroyInplaceEditor();
            ASSERT_EQ(State(), states[i]) << "seed " << seed << " redo to " << i;
        }
        TearDown();
    }
    EXPECT_GT(typedSteps, 5);
}

} // namespace
} // namespace epc
