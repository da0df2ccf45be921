// The mouse over a table in a viewer, through window messages: the row- and column-selection
// cursors and clicks on the border zones, and cell rectangles selected by dragging.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "platform/controls/Clipbrd.h"
#include "platform/controls/Forms.h"
#include "richtext/view/RVRVData.h"
#include "richtext/view/RichView.h"
#include "tests/richtext/table/TableHostSupport.h"

namespace epc {
namespace {

class TableMouse : public test::TableHostFixture {
protected:
    void SetUp() override {
        View = NewHost<TRichView>(360, 260);
        auto table = TRVTableItemInfo::CreateSized(3, View->RVData(), 3);
        Table = table.get();
        Table->SetBorderWidth(4);
        Table->SetBorderHSpacing(2);
        Table->SetBorderVSpacing(2);
        ShowTable(View, std::move(table));
        const TRVDrawLineInfo* d = View->RVData()->DrawItems[0];
        X0 = d->Left - View->HScrollPos();
        Y0 = d->Top - View->VScrollPos();
    }
    // The client point at the middle of a cell.
    TPoint CellMiddle(int row, int col) const {
        TRVTableCellData* cell = Table->GetCell(row, col);
        return TPoint(X0 + cell->Left + cell->Width / 2, Y0 + cell->Top + cell->Height / 2);
    }
    // Gives cell (Row, Col) the text Words and, when After is given, a paragraph After below
    // the table, and lays the viewer out again.
    TRVTableCellData* PutText(int row, int col, const char* words, const char* after) {
        TRVTableCellData* cell = Table->GetCell(row, col);
        cell->ClearAllItems();
        cell->AddTextParagraph(words, 0, 0, TRVTag());
        if (after) View->RVData()->AddTextParagraph(after, 0, 0, TRVTag());
        View->Format();
        testing::Pump();
        return cell;
    }
    std::string Bounds() const {
        int top, left, rows, cols;
        if (!Table->GetNormalizedSelectionBounds(top, left, rows, cols)) return "none";
        return std::to_string(top) + "," + std::to_string(left) + " " + std::to_string(rows) + "x" +
               std::to_string(cols);
    }

    TRichView* View = nullptr;
    TRVTableItemInfo* Table = nullptr;
    int X0 = 0, Y0 = 0;
};

TEST_F(TableMouse, DraggingAcrossCellsSelectsTheirRectangle) {
    const TPoint from = CellMiddle(0, 0), to = CellMiddle(1, 2);
    testing::DragMouse(View, from, to);
    EXPECT_EQ(Bounds(), "0,0 2x3");
    EXPECT_TRUE(Table->IsCellSelected(1, 1));
    EXPECT_FALSE(Table->IsCellSelected(2, 0));
    // A click inside one cell selects no cells.
    testing::Click(View, CellMiddle(2, 2).X, CellMiddle(2, 2).Y);
    EXPECT_EQ(Bounds(), "none");
}

// The far corner follows the mouse back into the start cell: the block shrinks to that cell.
TEST_F(TableMouse, DraggingBackIntoTheStartCellShrinksTheBlockToIt) {
    testing::MouseDown(View, CellMiddle(0, 0).X, CellMiddle(0, 0).Y);
    testing::MoveMouse(View, CellMiddle(1, 2).X, CellMiddle(1, 2).Y);
    EXPECT_EQ(Bounds(), "0,0 2x3");
    testing::MoveMouse(View, CellMiddle(0, 1).X, CellMiddle(0, 1).Y);
    EXPECT_EQ(Bounds(), "0,0 1x2");
    testing::MoveMouse(View, CellMiddle(0, 0).X, CellMiddle(0, 0).Y);
    testing::MouseUp(View, CellMiddle(0, 0).X, CellMiddle(0, 0).Y);
    EXPECT_EQ(Bounds(), "0,0 1x1");
    EXPECT_FALSE(Table->IsCellSelected(0, 1));
}

// Selected cells show the selection colour; the others and the rest of the table do not.
TEST_F(TableMouse, SelectedCellsArePaintedSelected) {
    Style->SelColor = clLime;
    testing::DragMouse(View, CellMiddle(1, 0), CellMiddle(2, 1));
    testing::Pump();
    ASSERT_EQ(Bounds(), "1,0 2x2");
    auto inside = [&](int row, int col) {
        TRVTableCellData* cell = Table->GetCell(row, col);
        return testing::PixelAt(View, X0 + cell->Left + 2, Y0 + cell->Top + 2);
    };
    const COLORREF lime = COLORREF(ColorToRGB(clLime));
    EXPECT_EQ(inside(1, 0), lime);
    EXPECT_EQ(inside(2, 1), lime);
    EXPECT_NE(inside(0, 0), lime);
    EXPECT_NE(inside(1, 2), lime);
    if (const char* out = std::getenv("EPC_TEST_OUT"))
        testing::SaveWindowPng(View, std::string(out) + "/table-selected-cells.png");
}

// A click on text below the table ends the cell selection: no cell stays selected, nor is
// painted so.
TEST_F(TableMouse, AClickBelowTheTableEndsTheCellSelection) {
    Style->SelColor = clLime;
    PutText(2, 2, "x", "below");
    testing::DragMouse(View, CellMiddle(1, 0), CellMiddle(2, 2));
    testing::Pump();
    ASSERT_EQ(Bounds(), "1,0 2x3");
    auto inside = [&](int row, int col) {
        TRVTableCellData* cell = Table->GetCell(row, col);
        return testing::PixelAt(View, X0 + cell->Left + 2, Y0 + cell->Top + 2);
    };
    const COLORREF lime = COLORREF(ColorToRGB(clLime));
    ASSERT_EQ(inside(2, 2), lime);
    const TRVDrawLineInfo* below = View->RVData()->DrawItems[View->RVData()->DrawItems.Count() - 1];
    testing::Click(View, below->Left + 5 - View->HScrollPos(),
                   below->Top + below->Height / 2 - View->VScrollPos());
    testing::Pump();
    EXPECT_FALSE(Table->HasCellSelection());
    EXPECT_EQ(Bounds(), "none");
    for (int r = 1; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            EXPECT_NE(inside(r, c), lime) << r << "," << c;
    // Nor does a right click elsewhere leave it.
    testing::DragMouse(View, CellMiddle(0, 0), CellMiddle(0, 1));
    ASSERT_EQ(Bounds(), "0,0 1x2");
    testing::Click(View, below->Left + 5 - View->HScrollPos(),
                   below->Top + below->Height / 2 - View->VScrollPos(), mbRight);
    EXPECT_EQ(Bounds(), "none");
}

TEST_F(TableMouse, DraggingOverMergedCellsWidensTheRectangle) {
    Table->MergeCells(1, 1, 2, 2, true);
    View->Format();
    testing::DragMouse(View, CellMiddle(0, 0), CellMiddle(1, 1));
    EXPECT_EQ(Bounds(), "0,0 3x3");
}

TEST_F(TableMouse, BorderZonesSelectRowsAndColumnsAndShowTheirCursors) {
    const TPoint row1 = CellMiddle(1, 1);
    // The left border zone: x within the outer border's tolerance.
    testing::MoveMouse(View, X0 + 1, row1.Y);
    EXPECT_EQ(int(View->Cursor()), crRVTableRowSelect);
    testing::Click(View, X0 + 1, row1.Y);
    EXPECT_EQ(Bounds(), "1,0 1x3");
    testing::MoveMouse(View, CellMiddle(0, 2).X, Y0 + 1);
    EXPECT_EQ(int(View->Cursor()), crRVTableColSelect);
    testing::Click(View, CellMiddle(0, 2).X, Y0 + 1);
    EXPECT_EQ(Bounds(), "0,2 3x1");
    // Over a cell the document's own cursor comes back.
    testing::MoveMouse(View, row1.X, row1.Y);
    EXPECT_NE(int(View->Cursor()), crRVTableRowSelect);
    EXPECT_NE(int(View->Cursor()), crRVTableColSelect);
}

// The top-left corner lies in both border zones: the cursor is the row cursor (the left zone is
// asked first), while a click takes the top zone first and selects the first column.
TEST_F(TableMouse, TheTopLeftCornerShowsTheRowCursorAndSelectsTheFirstColumn) {
    testing::MoveMouse(View, X0 + 1, Y0 + 1);
    EXPECT_EQ(int(View->Cursor()), crRVTableRowSelect);
    testing::Click(View, X0 + 1, Y0 + 1);
    EXPECT_EQ(Bounds(), "0,0 3x1");
}

// A position covered by a merged cell is selected when the covering cell overlaps the selected
// rectangle, as the cell itself is.
TEST_F(TableMouse, ACoveredPositionIsSelectedWithItsCoveringCell) {
    Table->MergeCells(0, 1, 1, 2, true);
    View->Format();
    Table->Select(0, 0, 0, 1);
    EXPECT_EQ(Bounds(), "0,0 2x2");
    ASSERT_EQ(Table->GetCell(1, 1), nullptr);
    EXPECT_TRUE(Table->IsCellSelected(0, 1));
    EXPECT_TRUE(Table->IsCellSelected(1, 1));
    EXPECT_TRUE(Table->IsCellSelected(1, 0));
    EXPECT_FALSE(Table->IsCellSelected(1, 2));
    EXPECT_FALSE(Table->IsCellSelected(2, 1));
}

// The two cursors are real cursors of the screen: arrows under the program's cursor names.
TEST_F(TableMouse, TheSelectionCursorsAreScreenCursorsWithPictures) {
    for (auto [id, name] : {std::pair{crRVTableRowSelect, "RV_SELECTROW_CURSOR"},
                            std::pair{crRVTableColSelect, "RV_SELECTCOL_CURSOR"}}) {
        HCURSOR cursor = Screen->Cursors(id);
        ASSERT_TRUE(cursor) << name;
        EXPECT_EQ(cursor->Name, name);
        EXPECT_EQ(cursor, LoadCursorA(nullptr, name));
        const auto black = std::count(cursor->Pixels.begin(), cursor->Pixels.end(), 0xFF000000u);
        EXPECT_GT(black, 50) << name;
    }
    // Row cursor's tip at the right, column cursor's at the bottom.
    EXPECT_GT(Screen->Cursors(crRVTableRowSelect)->HotSpot.X, 20);
    EXPECT_GT(Screen->Cursors(crRVTableColSelect)->HotSpot.Y, 20);
}

TEST_F(TableMouse, AReadOnlyViewerNeverShowsSizingCursorsAndOptionsTurnSelectionOff) {
    const int gapX = X0 + Table->GetCell(0, 1)->Left - 1;
    testing::MoveMouse(View, gapX, CellMiddle(1, 1).Y);
    EXPECT_NE(int(View->Cursor()), int(crHSplit));
    Table->Options.Exclude(TRVTableOption::rvtoRowSelect);
    testing::MoveMouse(View, X0 + 1, CellMiddle(1, 1).Y);
    EXPECT_NE(int(View->Cursor()), crRVTableRowSelect);
    testing::Click(View, X0 + 1, CellMiddle(1, 1).Y);
    EXPECT_EQ(Bounds(), "none");
}

TEST_F(TableMouse, ClearingTheViewerWhileTheButtonIsHeldForgetsThePressedTable) {
    const TPoint at = CellMiddle(1, 1);
    testing::MouseDown(View, at.X, at.Y);
    View->Clear();
    View->AppendTextParagraph("after", 0, 0);
    View->Format();
    testing::MoveMouse(View, at.X + 30, at.Y + 10);
    testing::MouseUp(View, at.X + 30, at.Y + 10);
    EXPECT_EQ(View->GetItemCount(), 1);
}

TEST_F(TableMouse, HyperlinksInCellsAreNumberedOnFromTheDocumentAndClicked) {
    TFontInfo& link = Style->TextStyles.Add();
    link.Jump = true;
    const int linkStyle = Style->TextStyles.Count() - 1;
    TRVTableCellData* first = Table->GetCell(0, 2);
    TRVTableCellData* second = Table->GetCell(1, 0);
    for (TRVTableCellData* cell : {first, second}) {
        cell->ClearAllItems();
        cell->AddTextParagraph("link", linkStyle, 0, TRVTag());
        cell->AddTextParagraph("more", linkStyle, -1, TRVTag());
    }
    View->RVData()->AddTextParagraph("after", linkStyle, 0, TRVTag());
    View->Options.Exclude(TRVOption::rvoAllowSelection);
    // The document's list holds the cells' hyperlinks, in reading order, then its own.
    auto jumps = [&] {
        std::string s;
        for (auto& jump : View->RVData()->Jumps) {
            const TCustomRVData* owner = jump->RVData;
            s += std::to_string(jump->Id) + (owner == first            ? "a "
                                             : owner == second         ? "b "
                                             : owner == View->RVData() ? "d "
                                                                       : "? ");
        }
        return s;
    };
    View->Format();
    testing::Pump();
    EXPECT_EQ(jumps(), "0a 1a 2b 3b 4d ");
    EXPECT_EQ(second->GetItem(1)->JumpID, 3);
    View->Format();
    EXPECT_EQ(jumps(), "0a 1a 2b 3b 4d ");
    // A click on the second cell's first link reports its number.
    std::vector<int> clicked;
    View->OnJump = [&](TObject*, int id) { clicked.push_back(id); };
    const TRVJumpInfo* target = nullptr;
    for (auto& jump : View->RVData()->Jumps)
        if (jump->Id == 2) target = jump.get();
    ASSERT_TRUE(target);
    testing::Click(View, target->Left + 2 - View->HScrollPos(),
                   target->Top + target->Height / 2 - View->VScrollPos());
    testing::Pump();
    EXPECT_EQ(clicked, std::vector<int>{2});
}

// The cell's document takes only presses inside the cell less its padding; a press in the
// padding still starts a cell selection there.
TEST_F(TableMouse, APressInACellsPaddingStaysWithTheTable) {
    const int padding = 8;
    Table->SetCellPadding(padding);
    TRVTableCellData* cell = PutText(1, 0, "words", nullptr);
    const int y = CellMiddle(1, 0).Y, left = X0 + cell->Left;
    const TPoint textEnd(left + padding + cell->Width / 2, CellMiddle(1, 0).Y);
    ASSERT_LT(textEnd.X, left + cell->Width - padding);
    // A drag from the first point of the content along the text selects text.
    testing::DragMouse(View, TPoint(left + padding, y), textEnd);
    testing::Pump();
    EXPECT_TRUE(cell->SelectionExists(false, false));
    // One from the padding selects nothing in the cell.
    cell->Deselect(nullptr, true);
    testing::DragMouse(View, TPoint(left + padding - 1, y), textEnd);
    testing::Pump();
    EXPECT_FALSE(cell->SelectionExists(false, false));
    EXPECT_EQ(Bounds(), "none");
    // Below the text, in the bottom padding, a drag into the next cell selects both.
    testing::DragMouse(View, TPoint(left + 2, Y0 + cell->Top + cell->Height - padding),
                       CellMiddle(1, 1));
    testing::Pump();
    EXPECT_EQ(Bounds(), "1,0 1x2");
}

// Text dragged over in a cell of a read-only viewer is the viewer's selection: it is what the
// viewer gives and copies, and a press elsewhere takes it away.
TEST_F(TableMouse, TextSelectedInACellIsTheViewersSelection) {
    Style->TextStyles[0].FontName = "Fixed Metrics Test"; // 10 pixels a character
    Style->TextStyles[0].Size = 15;
    TRVTableCellData* cell = PutText(1, 0, "words", "outside");
    const int y = CellMiddle(1, 0).Y, left = X0 + cell->Left + Table->CellPadding();
    testing::DragMouse(View, TPoint(left, y), TPoint(left + 30, y));
    testing::Pump();
    EXPECT_EQ(View->GetSelText(), "wor");
    Clipboard()->Clear();
    testing::PressKey('C', {ssCtrl});
    EXPECT_EQ(Clipboard()->AsText(), "wor");
    // A click in another cell, or below the table, leaves no selection in the first cell.
    testing::Click(View, CellMiddle(2, 2).X, CellMiddle(2, 2).Y);
    testing::Pump();
    EXPECT_FALSE(cell->SelectionExists(false, false));
    EXPECT_EQ(View->GetSelText(), "");
    testing::DragMouse(View, TPoint(left, y), TPoint(left + 20, y));
    const TRVDrawLineInfo* below = View->RVData()->DrawItems[1];
    testing::DragMouse(View, TPoint(below->Left + 1, below->Top + 5 - View->VScrollPos()),
                       TPoint(below->Left + 31, below->Top + 5 - View->VScrollPos()));
    testing::Pump();
    EXPECT_FALSE(cell->SelectionExists(false, false));
    EXPECT_EQ(View->GetSelText(), "out");
}

// A press in a cell moves the viewer's selection onto the table item, which holds the cell's
// text selection: the table is not painted selected and gives the cell's text only.
TEST_F(TableMouse, APressInACellSelectsTheTableItemAsTheHolderOfTheCellsText) {
    TRVTableCellData* cell = PutText(1, 1, "words", "after");
    const TRVDrawLineInfo* after = View->RVData()->DrawItems[1];
    testing::DragMouse(View, TPoint(after->Left + 1, after->Top + 5 - View->VScrollPos()),
                       TPoint(after->Left + 25, after->Top + 5 - View->VScrollPos()));
    ASSERT_FALSE(View->GetSelText().empty());
    testing::Click(View, CellMiddle(1, 1).X, CellMiddle(1, 1).Y);
    testing::Pump();
    int si, so, ei, eo;
    View->RVData()->GetSelectionBounds(si, so, ei, eo, true);
    EXPECT_EQ(std::vector<int>({si, so, ei, eo}), std::vector<int>({0, 0, 0, 1}));
    EXPECT_EQ(View->RVData()->ChosenItem, Table);
    EXPECT_EQ(View->GetSelText(), "");
    // A chosen cell is the viewer's active sub-document: its selection is the viewer's.
    Table->ChooseCell(1, 1);
    EXPECT_EQ(View->RVData()->ChosenRVData, cell);
    cell->SelectAll();
    EXPECT_EQ(View->GetSelText(), "words");
    // Deselecting the table takes the text selected in any of its cells.
    ASSERT_TRUE(cell->SelectionExists(false, false));
    Table->Deselect();
    EXPECT_FALSE(cell->SelectionExists(false, false));
}

// A table in a cell: its hyperlinks join the outermost document's list, numbered on in reading
// order, and a click on one jumps whether the viewer allows selection or not.
TEST_F(TableMouse, HyperlinksOfATableInACellJoinTheDocumentsListAndAreClicked) {
    TFontInfo& link = Style->TextStyles.Add();
    link.Jump = true;
    const int linkStyle = Style->TextStyles.Count() - 1;
    TRVTableCellData* outer = Table->GetCell(1, 1);
    outer->ClearAllItems();
    outer->AddTextParagraph("before", linkStyle, 0, TRVTag());
    auto nested = TRVTableItemInfo::CreateSized(1, outer, 2);
    TRVTableItemInfo* inner = nested.get();
    for (int c = 0; c < 2; ++c) {
        inner->GetCell(0, c)->BestWidth = 30;
        inner->GetCell(0, c)->ClearAllItems();
    }
    inner->GetCell(0, 1)->AddTextParagraph("in", linkStyle, 0, TRVTag());
    outer->AppendItem(std::string(), std::move(nested));
    inner->Inserted(outer, 1);
    outer->AddTextParagraph("after", linkStyle, 0, TRVTag());
    View->RVData()->AddTextParagraph("end", linkStyle, 0, TRVTag());
    View->Format();
    testing::Pump();
    auto ids = [&] {
        std::string s;
        for (auto& jump : View->RVData()->Jumps)
            s += std::to_string(jump->Id) + (jump->RVData == inner->GetCell(0, 1) ? "n " : " ");
        return s;
    };
    EXPECT_EQ(ids(), "0 1n 2 3 ");
    View->Format();
    EXPECT_EQ(ids(), "0 1n 2 3 ");
    std::vector<int> clicked;
    View->OnJump = [&](TObject*, int id) { clicked.push_back(id); };
    auto clickOn = [&](int id) {
        for (auto& jump : View->RVData()->Jumps)
            if (jump->Id == id) {
                testing::Click(View, jump->Left + 2 - View->HScrollPos(),
                               jump->Top + jump->Height / 2 - View->VScrollPos());
                testing::Pump();
                return;
            }
        ADD_FAILURE() << "no hyperlink " << id;
    };
    clickOn(1);
    EXPECT_EQ(clicked, std::vector<int>{1});
    View->Options.Exclude(TRVOption::rvoAllowSelection);
    clickOn(1);
    clickOn(2);
    EXPECT_EQ(clicked, (std::vector<int>{1, 1, 2}));
}

// A viewer that allows selection: the table takes the press for cell selection, yet a click on a
// hyperlink in a cell still jumps.
class TableMouseLinks : public TableMouse {
protected:
    void SetUp() override {
        TableMouse::SetUp();
        TFontInfo& link = Style->TextStyles.Add();
        link.Jump = true;
        const int linkStyle = Style->TextStyles.Count() - 1;
        TRVTableCellData* cell = Table->GetCell(1, 0);
        cell->ClearAllItems();
        cell->AddTextParagraph("link", linkStyle, 0, TRVTag());
        cell->AddTextParagraph("more", linkStyle, -1, TRVTag()); // on the same line
        ASSERT_TRUE(View->Options.Contains(TRVOption::rvoAllowSelection));
        View->Format();
        testing::Pump();
        View->OnJump = [this](TObject*, int id) { Jumped.push_back(id); };
    }
    // A client point inside hyperlink ID, DX pixels from its left edge.
    TPoint OnLink(int id, int dx = 2) const {
        for (auto& jump : View->RVData()->Jumps)
            if (jump->Id == id)
                return TPoint(jump->Left + dx - View->HScrollPos(),
                              jump->Top + jump->Height / 2 - View->VScrollPos());
        ADD_FAILURE() << "no hyperlink " << id;
        return TPoint();
    }
    int LinkWidth(int id) const {
        for (auto& jump : View->RVData()->Jumps)
            if (jump->Id == id) return jump->Width;
        return 0;
    }

    std::vector<int> Jumped;
};

TEST_F(TableMouseLinks, AClickOnAHyperlinkInACellJumpsOnceWithItsNumber) {
    const TPoint link = OnLink(0), more = OnLink(1);
    testing::Click(View, link.X, link.Y);
    testing::Pump();
    EXPECT_EQ(Jumped, std::vector<int>{0});
    EXPECT_EQ(Bounds(), "none");
    testing::Click(View, more.X, more.Y);
    testing::Pump();
    EXPECT_EQ(Jumped, (std::vector<int>{0, 1}));
    Jumped.clear();
    // The press and the release in the cell but right of its hyperlinks.
    const TPoint plain = OnLink(1, LinkWidth(1) + 6);
    ASSERT_LT(plain.X, CellMiddle(1, 1).X - Table->GetCell(1, 1)->Width / 2);
    testing::Click(View, plain.X, plain.Y);
    testing::Pump();
    EXPECT_EQ(Jumped, std::vector<int>{});
}

TEST_F(TableMouseLinks, DraggingFromAHyperlinkSelectsAndNeverJumps) {
    const TPoint link = OnLink(0);
    // Into another cell: the cells are selected.
    testing::DragMouse(View, link, CellMiddle(2, 1));
    testing::Pump();
    EXPECT_EQ(Bounds(), "1,0 2x2");
    EXPECT_EQ(Jumped, std::vector<int>{});
    // Out to another cell and back onto the hyperlink: still a cell selection (the hyperlink's
    // cell alone, where the far corner came back to), not a click.
    testing::MoveMouse(View, link.X, link.Y);
    testing::MouseDown(View, link.X, link.Y);
    testing::MoveMouse(View, CellMiddle(1, 1).X, CellMiddle(1, 1).Y);
    testing::MoveMouse(View, link.X, link.Y);
    testing::MouseUp(View, link.X, link.Y);
    testing::Pump();
    EXPECT_EQ(Bounds(), "1,0 1x1");
    EXPECT_EQ(Jumped, std::vector<int>{});
    // Along the hyperlink's own text: the drag selects text in the cell.
    testing::DragMouse(View, link, OnLink(0, LinkWidth(0) - 1));
    testing::Pump();
    EXPECT_EQ(Bounds(), "none");
    EXPECT_TRUE(Table->GetCell(1, 0)->SelectionExists(false, false));
    EXPECT_EQ(Jumped, std::vector<int>{});
}

} // namespace
} // namespace epc
