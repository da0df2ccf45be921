// Column and row borders dragged with the mouse in an editor, through window messages: the
// sizing cursors, the inverted feedback line, the widths and heights the cells get, and a cell
// editor that cannot step aside.

#include <gtest/gtest.h>

#include "richtext/edit/RVEdit.h"
#include "richtext/view/RVRVData.h"
#include "tests/richtext/table/TableHostSupport.h"

namespace epc {
namespace {

// A table whose cell editor can be made busy, counting how often it stepped aside.
class TEditorSeamTable : public TRVTableItemInfo {
public:
    using TRVTableItemInfo::TRVTableItemInfo;
    bool Busy = false;
    int Saved = 0, Restored = 0;

protected:
    void SaveEditorState() override {
        if (Busy) throw ERVTableInplaceError(errRVTableInplaceBusy);
        ++Saved;
    }
    void RestoreEditorState() override { ++Restored; }
};

class TableResize : public test::TableHostFixture {
protected:
    void SetUp() override {
        Edit = NewHost<TRichViewEdit>(380, 280);
        auto table = std::make_unique<TEditorSeamTable>(3, 3, Edit->RVData());
        Table = table.get();
        Table->SetBorderWidth(1);
        Table->SetCellBorderWidth(1);
        Table->SetCellHSpacing(3);
        ShowTable(Edit, std::move(table));
    }

    // Client coordinates of a table point.
    TPoint At(int x, int y) const {
        const TRVDrawLineInfo* d = Edit->RVData()->DrawItems[0];
        return TPoint(d->Left - Edit->HScrollPos() + x, d->Top - Edit->VScrollPos() + y);
    }
    // The centre of the gap before column (row) K, or of the right (bottom) border.
    int ColBorderX(int k) const {
        const auto& fi = Table->Formatting();
        return k < Table->ColCount() ? fi.ColStarts[k] - (2 * 1 + 3 + 1) / 2
                                     : fi.Width - (1 + 2 + 1) / 2;
    }
    int RowBorderY(int k) const {
        const auto& fi = Table->Formatting();
        return k < Table->RowCount() ? fi.RowStarts[k] - (2 * 1 + 2 + 1) / 2
                                     : fi.Height - (1 + 2 + 1) / 2;
    }
    int MidY() const { return Table->GetCell(1, 1)->Top + 5; }
    int MidX() const { return Table->GetCell(1, 1)->Left + 5; }
    void DragCol(int k, int dx, TShiftState shift = {}) {
        const int x = ColBorderX(k);
        testing::MoveMouse(Edit, At(x, MidY()).X, At(x, MidY()).Y);
        testing::MouseDown(Edit, At(x, MidY()).X, At(x, MidY()).Y, mbLeft, shift);
        testing::MoveMouse(Edit, At(x + dx / 2, MidY()).X, At(x, MidY()).Y);
        testing::MouseUp(Edit, At(x + dx, MidY()).X, At(x, MidY()).Y, mbLeft, shift);
    }
    void DragRow(int k, int dy) {
        const int y = RowBorderY(k);
        testing::MouseDown(Edit, At(MidX(), y).X, At(MidX(), y).Y);
        testing::MouseUp(Edit, At(MidX(), y).X, At(MidX(), y + dy).Y);
    }
    std::string ColWidths() const {
        std::string s;
        for (int c = 0; c < Table->ColCount(); ++c) {
            if (c) s += ' ';
            s += std::to_string(Table->Formatting().ColWidths[c]);
        }
        return s;
    }

    TRichViewEdit* Edit = nullptr;
    TEditorSeamTable* Table = nullptr;
};

TEST_F(TableResize, SizingCursorsShowOverInnerAndOuterBordersWhileTheOptionsAllowThem) {
    testing::MoveMouse(Edit, At(ColBorderX(1), MidY()).X, At(ColBorderX(1), MidY()).Y);
    EXPECT_EQ(int(Edit->Cursor()), int(crHSplit));
    testing::MoveMouse(Edit, At(ColBorderX(3), MidY()).X, At(ColBorderX(3), MidY()).Y);
    EXPECT_EQ(int(Edit->Cursor()), int(crHSplit));
    testing::MoveMouse(Edit, At(MidX(), RowBorderY(2)).X, At(MidX(), RowBorderY(2)).Y);
    EXPECT_EQ(int(Edit->Cursor()), int(crVSplit));
    // The outer left border stays the row-selection zone.
    testing::MoveMouse(Edit, At(1, MidY()).X, At(1, MidY()).Y);
    EXPECT_EQ(int(Edit->Cursor()), crRVTableRowSelect);
    Table->Options.Exclude(TRVTableOption::rvtoColSizing);
    Table->Options.Exclude(TRVTableOption::rvtoRowSizing);
    testing::MoveMouse(Edit, At(ColBorderX(1), MidY()).X, At(ColBorderX(1), MidY()).Y);
    EXPECT_NE(int(Edit->Cursor()), int(crHSplit));
    testing::MoveMouse(Edit, At(MidX(), RowBorderY(2)).X, At(MidX(), RowBorderY(2)).Y);
    EXPECT_NE(int(Edit->Cursor()), int(crVSplit));
    DragCol(1, 20);
    DragRow(1, 20);
    EXPECT_EQ(ColWidths(), "80 80 80");
    EXPECT_EQ(Table->GetCell(0, 0)->BestHeight, 0);
}

TEST_F(TableResize, DraggingAColumnBorderKeepsTheNextColumnsRightEdgeUnlessShiftIsHeld) {
    const int width = Table->GetFormattedWidth();
    const int nextRight = Table->Formatting().ColStarts[1] + 80;
    DragCol(1, 20);
    EXPECT_EQ(ColWidths(), "100 60 80");
    EXPECT_EQ(Table->GetFormattedWidth(), width);
    EXPECT_EQ(Table->Formatting().ColStarts[1] + 60, nextRight);
    for (int r = 0; r < 3; ++r)
        EXPECT_EQ(Table->GetCell(r, 0)->BestWidth, 100);
    EXPECT_EQ(Table->Saved, 1);
    EXPECT_EQ(Table->Restored, 1);
    // Shift: only the dragged column changes and the table grows.
    DragCol(2, 15, TShiftState{ssShift});
    EXPECT_EQ(ColWidths(), "100 75 80");
    EXPECT_EQ(Table->GetFormattedWidth(), width + 15);
    // Dropping the border where it was changes nothing.
    DragCol(1, 0);
    EXPECT_EQ(ColWidths(), "100 75 80");
}

TEST_F(TableResize, TheOuterBorderAndDragsPastTheColumnStart) {
    const int width = Table->GetFormattedWidth();
    DragCol(3, 10);
    EXPECT_EQ(ColWidths(), "80 80 90");
    EXPECT_EQ(Table->GetFormattedWidth(), width + 10);
    // Left of the column's start the column gets width 0; the next one takes the rest.
    DragCol(1, -200);
    EXPECT_EQ(Table->GetCell(1, 0)->BestWidth, 0);
    EXPECT_EQ(Table->GetCell(1, 1)->BestWidth, 160);
}

TEST_F(TableResize, MergedCellsKeepTheirWidthAndSpanningCellsFollowARowBorder) {
    Table->MergeCells(0, 1, 2, 1, true); // row 0: one cell over columns 1 and 2
    Table->MergeCells(1, 2, 1, 2, true); // column 2: one cell over rows 1 and 2
    Edit->Format();
    const int merged = Table->GetCell(0, 1)->BestWidth;
    DragCol(2, 10);
    EXPECT_EQ(Table->GetCell(0, 1)->BestWidth, merged);
    EXPECT_EQ(Table->GetCell(1, 1)->BestWidth, 90);
    EXPECT_EQ(Table->GetCell(1, 2)->BestWidth, 70);

    const int rowHeight = Table->Formatting().RowHeights[0];
    DragRow(1, 12);
    EXPECT_EQ(Table->GetCell(0, 0)->BestHeight, rowHeight + 12);
    EXPECT_EQ(Table->Formatting().RowHeights[0], rowHeight + 12);
    // The bottom border: row 2's own cells take the height, the cell spanning rows 1-2 the
    // difference, so that the drag moves the bottom by exactly the distance.
    const int bottom = Table->GetFormattedHeight();
    const int spanning = Table->GetCell(1, 2)->Height - 2 * Table->CellPadding();
    DragRow(3, 9);
    EXPECT_EQ(Table->GetCell(2, 0)->BestHeight, Table->Formatting().RowHeights[2]);
    EXPECT_EQ(Table->GetCell(1, 2)->BestHeight, spanning + 9);
    EXPECT_EQ(Table->GetFormattedHeight(), bottom + 9);
    // A row dragged above its start gets no height of its own.
    DragRow(1, -300);
    EXPECT_EQ(Table->GetCell(0, 0)->BestHeight, 0);
}

// A percentage column's content ends where its border was let go, to the percent below, with
// the padding the layout takes off it counted in.
TEST_F(TableResize, APercentageColumnEndsWhereItWasReleased) {
    for (int r = 0; r < 3; ++r)
        Table->GetCell(r, 0)->BestWidth = -20;
    Table->SetCellPadding(8);
    Table->SetBestWidth(330);
    Edit->Format();
    const int columns = Table->GetFormattedWidth() - Table->GetExtraWidth(); // a fixed width
    const int percent = columns / 100;
    const int newWidth = Table->Formatting().ColWidths[0] + 100;
    const int nextBefore = Table->GetCell(0, 1)->BestWidth;
    DragCol(1, 100);
    EXPECT_LT(Table->GetCell(2, 0)->BestWidth, 0);
    EXPECT_LE(Table->Formatting().ColWidths[0], newWidth);
    EXPECT_GE(Table->Formatting().ColWidths[0], newWidth - percent - 1);
    // The next column is left alone: the table's width decides.
    EXPECT_EQ(Table->GetCell(0, 1)->BestWidth, nextBefore);
    // Dragged left of its start: no content, only the padding's share.
    DragCol(1, -300);
    EXPECT_EQ(Table->GetCell(2, 0)->BestWidth, -(2 * 8 * 100) / columns);
}

TEST_F(TableResize, TheFeedbackLineIsInvertedWhileDraggingAndGoneAfterwards) {
    auto* root = Edit->RVData();
    const int x = ColBorderX(1), y = MidY();
    const TPoint at = At(x + 30, y);
    // Dots fall on every eighth pixel from the top of the control.
    const int limit = At(Table->Formatting().ColStarts[0], y).X;
    const COLORREF before = testing::PixelAt(Edit, at.X, 8);
    const COLORREF atLimit = testing::PixelAt(Edit, limit, 8);
    const COLORREF leftOfLimit = testing::PixelAt(Edit, limit - 1, 8);
    testing::MouseDown(Edit, At(x, y).X, At(x, y).Y);
    testing::MoveMouse(Edit, at.X, at.Y);
    EXPECT_TRUE(root->XorFeedbackShown());
    EXPECT_EQ(testing::PixelAt(Edit, at.X, 8), (~before) & 0xFFFFFF);
    EXPECT_EQ(testing::PixelAt(Edit, at.X, 9), testing::PixelAt(Edit, at.X - 1, 9));
    // Never left of the column's start; the old line is erased.
    testing::MoveMouse(Edit, At(0, y).X, at.Y);
    EXPECT_EQ(testing::PixelAt(Edit, at.X, 8), before);
    EXPECT_EQ(testing::PixelAt(Edit, limit, 8), (~atLimit) & 0xFFFFFF);
    EXPECT_EQ(testing::PixelAt(Edit, limit - 1, 8), leftOfLimit);
    testing::MoveMouse(Edit, at.X, at.Y);
    testing::MouseUp(Edit, at.X, at.Y);
    EXPECT_FALSE(root->XorFeedbackShown());
    EXPECT_FALSE(root->XorDrawerAssigned());
}

TEST_F(TableResize, ATableInACellIsResizedAndTheTableAroundItFollows) {
    TRVTableCellData* host = Table->GetCell(1, 1);
    host->ClearAllItems();
    auto nested = TRVTableItemInfo::CreateSized(1, host, 2);
    TRVTableItemInfo* inner = nested.get();
    host->AppendItem(std::string(), std::move(nested));
    inner->SetCellHSpacing(2);
    for (int c = 0; c < 2; ++c)
        inner->GetCell(0, c)->BestWidth = 30;
    for (int r = 0; r < 3; ++r)
        Table->GetCell(r, 1)->BestWidth = 1; // the outer column follows its contents
    Edit->Format();
    const int outerWidth = Table->GetFormattedWidth();
    const TRVTableItemFormattingInfo fi = inner->Formatting();
    // Client coordinates of the inner gap: the outer cell's origin plus the inner table's.
    const TRVDrawLineInfo* d = host->DrawItems[0];
    const TPoint gap = At(host->Left + d->Left + fi.ColStarts[1] - 2, host->Top + d->Top + 5);
    testing::MoveMouse(Edit, gap.X, gap.Y);
    EXPECT_EQ(int(Edit->Cursor()), int(crHSplit));
    testing::MouseDown(Edit, gap.X, gap.Y, mbLeft, TShiftState{ssShift});
    testing::MoveMouse(Edit, gap.X + 10, gap.Y);
    testing::MouseUp(Edit, gap.X + 25, gap.Y, mbLeft, TShiftState{ssShift});
    EXPECT_EQ(inner->GetCell(0, 0)->BestWidth, 55);
    EXPECT_EQ(inner->GetFormattedWidth(), fi.Width + 25);
    EXPECT_EQ(Table->GetFormattedWidth(), outerWidth + 25);
}

TEST_F(TableResize, ClearingTheEditorDuringADragLeavesNoFeedbackBehind) {
    const int x = ColBorderX(1), y = MidY();
    const TPoint at = At(x + 30, y);
    testing::MouseDown(Edit, At(x, y).X, At(x, y).Y);
    testing::MoveMouse(Edit, at.X, at.Y);
    Edit->Clear();
    Edit->AppendTextParagraph("after", 0, 0);
    Edit->Format();
    testing::Pump();
    const COLORREF clean = testing::PixelAt(Edit, at.X + 20, 8);
    testing::MoveMouse(Edit, at.X + 20, at.Y);
    EXPECT_EQ(testing::PixelAt(Edit, at.X + 20, 8), clean);
    testing::MouseUp(Edit, at.X + 20, at.Y);
    EXPECT_EQ(Edit->GetItemCount(), 1);
}

TEST_F(TableResize, ABusyCellEditorStopsTheDragWithAMessage) {
    Table->Busy = true;
    DragCol(1, 20);
    ASSERT_FALSE(testing::MessageBoxes().empty());
    EXPECT_NE(testing::MessageBoxes().back().Text.find(errRVTableInplaceBusy), std::string::npos);
    EXPECT_EQ(ColWidths(), "80 80 80");
    EXPECT_FALSE(Table->IsResizing());
    EXPECT_FALSE(Edit->RVData()->XorDrawerAssigned());
    EXPECT_EQ(Table->Restored, 0);
    Table->Busy = false;
    DragCol(1, 20);
    EXPECT_EQ(ColWidths(), "100 60 80");
}

} // namespace
} // namespace epc
