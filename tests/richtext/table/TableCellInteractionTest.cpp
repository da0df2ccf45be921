// Text inside the cells of a table in a viewer, through window messages: dragging and double
// clicks select it and show at once, the viewer's mouse events fire once per press and release,
// and Tab walks into the cells.

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/graphics/Bitmap.h"
#include "richtext/view/RVRVData.h"
#include "richtext/view/RichView.h"
#include "richtext/table/RVTableInplace.h"
#include "tests/richtext/table/TableEditSupport.h"
#include "tests/richtext/table/TableHostSupport.h"

namespace epc {
namespace {

class TableCellInteraction : public test::TableHostFixture {
protected:
    void SetUp() override {
        View = NewHost<TRichView>(360, 260);
        Style->TextStyles[0].FontName = "Fixed Metrics Test"; // 10 pixels a character
        Style->TextStyles[0].Size = 15;
        Style->SelColor = clLime;
        Style->InactiveSelColor = clRed;
        auto table = TRVTableItemInfo::CreateSized(3, View->RVData(), 3);
        Table = table.get();
        Cell = Table->GetCell(1, 1);
        Cell->ClearAllItems();
        Cell->AddTextParagraph("ab cd", 0, 0, TRVTag());
        ShowTable(View, std::move(table));
        View->OnRVMouseDown = [this](TObject*, TMouseButton, TShiftState, int, int, int) {
            ++Downs;
        };
        View->OnRVMouseUp = [this](TObject*, TMouseButton, TShiftState, int, int, int) { ++Ups; };
    }
    // The client point of character K (from 0) of the cell's first line, at its middle height;
    // DY moves it from there.
    TPoint CharAt(int k, int dy = 0) const {
        const TRVDrawLineInfo* line = Cell->DrawItems[0];
        int ox = 0, oy = 0;
        Cell->GetOriginInRoot(ox, oy);
        return TPoint(ox + line->Left + 10 * k + 5 - View->HScrollPos(),
                      oy + line->Top + line->Height / 2 + dy - View->VScrollPos());
    }
    // The colour behind character K of the cell's first line (its top row holds no glyph).
    COLORREF BehindChar(int k) {
        testing::Pump();
        const TPoint p = CharAt(k, -Cell->DrawItems[0]->Height / 2);
        return testing::PixelAt(View, p.X, p.Y);
    }
    std::string CellSelection() const {
        int si, so, ei, eo;
        Cell->GetSelectionBounds(si, so, ei, eo, true);
        return std::to_string(si) + ":" + std::to_string(so) + "-" + std::to_string(ei) + ":" +
               std::to_string(eo);
    }

    TRichView* View = nullptr;
    TRVTableItemInfo* Table = nullptr;
    TRVTableCellData* Cell = nullptr;
    int Downs = 0, Ups = 0;
};

const COLORREF kLime = COLORREF(ColorToRGB(clLime));
const COLORREF kRed = COLORREF(ColorToRGB(clRed));

// Each move of a drag inside a cell shows the selection grown so far, in the focused colour.
TEST_F(TableCellInteraction, ADragInACellIsPaintedAtEveryMoveInTheFocusedColour) {
    View->SetFocus();
    ASSERT_TRUE(View->Focused());
    testing::MouseDown(View, CharAt(0).X - 5, CharAt(0).Y);
    testing::MoveMouse(View, CharAt(2).X - 5, CharAt(2).Y);
    EXPECT_EQ(BehindChar(1), kLime);
    EXPECT_NE(BehindChar(3), kLime);
    testing::MoveMouse(View, CharAt(4).X - 5, CharAt(4).Y);
    EXPECT_EQ(BehindChar(3), kLime);
    if (const char* out = std::getenv("EPC_TEST_OUT"))
        testing::SaveWindowPng(View, std::string(out) + "/table-cell-drag.png");
    testing::MouseUp(View, CharAt(4).X - 5, CharAt(4).Y);
    EXPECT_EQ(View->GetSelText(), "ab c");
    // Another control takes the focus: the same selection in the unfocused colour.
    auto* other = new TRichView(Form);
    other->SetParent(Form);
    other->SetBounds(10, 280, 100, 40);
    other->SetFocus();
    ASSERT_FALSE(View->Focused());
    EXPECT_EQ(BehindChar(1), kRed);
}

TEST_F(TableCellInteraction, ADoubleClickInACellSelectsTheWord) {
    View->Options.Include(TRVOption::rvoDblClickSelectsWord);
    std::string word;
    View->OnRVDblClick = [&](TObject*, const std::string& w, int) { word = w; };
    testing::DoubleClick(View, CharAt(4).X, CharAt(4).Y);
    testing::Pump();
    EXPECT_EQ(word, "cd");
    EXPECT_EQ(CellSelection(), "0:4-0:6");
    EXPECT_EQ(View->GetSelText(), "cd");
    // The release is over: moving the mouse drags nothing.
    testing::MoveMouse(View, CharAt(1).X, CharAt(1).Y);
    EXPECT_EQ(CellSelection(), "0:4-0:6");
    // The next press is an ordinary one again: a drag selects from where it began.
    testing::Wait(600);
    testing::DragMouse(View, TPoint(CharAt(0).X - 5, CharAt(0).Y),
                       TPoint(CharAt(2).X - 5, CharAt(2).Y));
    EXPECT_EQ(View->GetSelText(), "ab");
}

TEST_F(TableCellInteraction, EveryPressAndReleaseIsReportedOnce) {
    testing::Click(View, CharAt(1).X, CharAt(1).Y);
    EXPECT_EQ(Downs, 1);
    EXPECT_EQ(Ups, 1);
    testing::Click(View, CharAt(1).X, CharAt(1).Y, mbRight);
    EXPECT_EQ(Downs, 2);
    EXPECT_EQ(Ups, 2);
    // Below the table.
    testing::Click(View, 20, 250);
    EXPECT_EQ(Downs, 3);
    EXPECT_EQ(Ups, 3);
}

// A drag from text in a cell into other cells selects cells; the release still ends the text
// selecting in the pressed cell, so hovering over it later changes nothing.
TEST_F(TableCellInteraction, ADragAcrossCellsIsReleasedInThePressedCell) {
    TRVTableCellData* far = Table->GetCell(2, 2);
    const TPoint to(View->RVData()->DrawItems[0]->Left + far->Left + far->Width / 2,
                    View->RVData()->DrawItems[0]->Top + far->Top + far->Height / 2);
    testing::DragMouse(View, CharAt(1), to);
    EXPECT_EQ(Downs, 1);
    EXPECT_EQ(Ups, 1);
    int top, left, rows, cols;
    ASSERT_TRUE(Table->GetNormalizedSelectionBounds(top, left, rows, cols));
    EXPECT_EQ(rows * 10 + cols, 22);
    EXPECT_FALSE(Cell->State.Contains(TRVState::rvstMakingSelection));
    const std::string before = CellSelection();
    testing::MoveMouse(View, CharAt(3).X, CharAt(3).Y);
    testing::MoveMouse(View, CharAt(0).X, CharAt(0).Y);
    EXPECT_EQ(CellSelection(), before);
    EXPECT_EQ(rows * 10 + cols, 22);
}

// A click on a link in a cell jumps once and is one press and one release, whether the viewer
// lets the user select or not.
TEST_F(TableCellInteraction, AClickOnALinkInACellJumpsOnceWithOrWithoutSelection) {
    TFontInfo& link = Style->TextStyles.Add();
    link.FontName = "Fixed Metrics Test";
    link.Size = 15;
    link.Jump = true;
    Cell->ClearAllItems();
    Cell->AddTextParagraph("ab cd", 1, 0, TRVTag());
    View->Format();
    testing::Pump();
    std::vector<int> jumps;
    View->OnJump = [&](TObject*, int id) { jumps.push_back(id); };
    testing::Click(View, CharAt(1).X, CharAt(1).Y);
    testing::Pump();
    EXPECT_EQ(jumps.size(), 1u);
    EXPECT_EQ(Downs, 1);
    EXPECT_EQ(Ups, 1);
    View->Options.Exclude(TRVOption::rvoAllowSelection);
    testing::Wait(600);
    testing::Click(View, CharAt(1).X, CharAt(1).Y);
    testing::Pump();
    EXPECT_EQ(jumps.size(), 2u);
    EXPECT_EQ(Downs, 2);
    EXPECT_EQ(Ups, 2);
}

// A link in a cell aligned to the middle or the bottom answers where it is drawn: hovering
// finds it, a click on it jumps, and a click on the cell's empty top does not.
TEST_F(TableCellInteraction, LinksInMiddleAndBottomAlignedCellsAnswerWhereTheyAreDrawn) {
    TFontInfo& link = Style->TextStyles.Add();
    link.FontName = "Fixed Metrics Test";
    link.Size = 15;
    link.Jump = true;
    Cell->ClearAllItems();
    Cell->AddTextParagraph("ab cd", 1, 0, TRVTag());
    Cell->BestHeight = 90;
    std::vector<int> jumps;
    View->OnJump = [&](TObject*, int id) { jumps.push_back(id); };
    size_t expected = 0;
    for (TRVCellVAlign align : {rvcMiddle, rvcBottom}) {
        Cell->VAlign = align;
        Table->SetChangedFlag();
        View->Format();
        testing::Pump();
        const int shift = Cell->GetVAlignOffset();
        ASSERT_GT(shift, 20) << int(align);
        const TPoint drawn = CharAt(1, shift);
        testing::MoveMouse(View, drawn.X, drawn.Y);
        EXPECT_EQ(Cell->LastJumpMovedAbove, Cell->GetItem(0)->JumpID) << int(align);
        testing::Wait(600);
        testing::Click(View, drawn.X, drawn.Y);
        testing::Pump();
        EXPECT_EQ(jumps.size(), ++expected) << int(align);
        testing::Wait(600);
        testing::Click(View, CharAt(1).X, CharAt(1).Y);
        testing::Pump();
        EXPECT_EQ(jumps.size(), expected) << int(align);
    }
}

// Tab from the top reaches a hot picture in a cell before the hotspot after the table; Enter on
// it jumps with its number.
TEST(TableCellFocus, TabEntersCellsInReadingOrderAndEnterJumps) {
    TPlatformContext context;
    TForm* form = test::NewTestForm();
    auto* style = new TRVStyle(form);
    auto* view = new TRichView(form);
    view->SetParent(form);
    view->SetBounds(10, 10, 360, 260);
    view->SetStyle(style);
    auto square = [] {
        auto bmp = std::make_unique<TBitmap>(10, 10, pf24bit);
        bmp->Canvas()->Brush()->SetColor(clGreen);
        bmp->Canvas()->FillRect(TRect(0, 0, 10, 10));
        return bmp;
    };
    view->AppendTextParagraph("before", 0, 0);
    auto table = TRVTableItemInfo::CreateSized(2, view->RVData(), 2);
    TRVTableItemInfo* t = table.get();
    for (int r = 0; r < 2; ++r)
        for (int c = 0; c < 2; ++c)
            t->GetCell(r, c)->BestWidth = 80;
    TRVTableCellData* inCell = t->GetCell(1, 0);
    inCell->ClearAllItems();
    inCell->AddTextParagraph("x", 0, 0, TRVTag());
    inCell->AddHotPicture("in", square(), 0, TRVVAlign::rvvaBaseline);
    view->AppendItem(std::string(), std::move(table));
    view->RVData()->AddHotPicture("after", square(), 0, TRVVAlign::rvvaBaseline);
    testing::ShowForm(form);
    view->Format();
    testing::Pump();
    std::vector<int> jumps;
    view->OnJump = [&](TObject*, int id) { jumps.push_back(id); };
    view->SetFocus();
    TRichViewRVData* data = view->RVData();
    testing::PressKey(VK_TAB);
    EXPECT_EQ(data->FocusedItemData, inCell);
    EXPECT_EQ(data->FocusedItemNo, 1);
    testing::PressKey(VK_RETURN);
    testing::Pump();
    EXPECT_EQ(jumps, std::vector<int>{inCell->GetItem(1)->JumpID});
    testing::PressKey(VK_TAB);
    EXPECT_EQ(data->FocusedItemData, data);
    EXPECT_EQ(data->FocusedItemNo, 2);
    testing::PressKey(VK_TAB, TShiftState{ssShift});
    EXPECT_EQ(data->FocusedItemData, inCell);
    EXPECT_EQ(data->FocusedItemNo, 1);
    // The focused item keeps its place when items before it in its cell go.
    const int inId = inCell->GetItem(1)->JumpID;
    inCell->DeleteItemRange(0, 1);
    EXPECT_EQ(data->FocusedItemNo, 0);
    jumps.clear();
    testing::PressKey(VK_RETURN);
    testing::Pump();
    EXPECT_EQ(jumps, std::vector<int>{inId});
    // A focused cell that goes takes the focus with it: painting and keys go on safely.
    t->DeleteRows(1, 1);
    view->Invalidate();
    testing::Pump();
    jumps.clear();
    testing::PressKey(VK_RETURN);
    EXPECT_EQ(data->FocusedItemNo, -1);
    EXPECT_EQ(jumps, std::vector<int>{});
    testing::PressKey(VK_TAB);
    EXPECT_EQ(data->FocusedItemData, data);
    EXPECT_EQ(data->FocusedItemNo, 2);
}

// A cell being edited that a cell selection takes in is drawn selected whole.
class TableCellEditLook : public test::TableEditFixture {};

TEST_F(TableCellEditLook, TheEditedCellLooksSelectedWhileACellSelectionCoversIt) {
    ASSERT_TRUE(Table->OpenCellEditor(-1, 1, 1, false, true, false, true));
    TRVTableInplaceEdit* editor = Table->InplaceEditor();
    ASSERT_TRUE(editor);
    EXPECT_FALSE(editor->EditData()->State.Contains(TRVState::rvstSelectedLook));
    Table->Select(0, 0, 1, 1);
    EXPECT_TRUE(editor->EditData()->State.Contains(TRVState::rvstSelectedLook));
    Table->Select(2, 2, 0, 0);
    EXPECT_FALSE(editor->EditData()->State.Contains(TRVState::rvstSelectedLook));
}

// A click that opens the cell editor is reported once, by the cell editor, as any other.
TEST_F(TableCellEditLook, AClickThatOpensTheCellEditorIsReportedOnce) {
    int downs = 0, ups = 0;
    Edit->OnRVMouseDown = [&](TCustomRichView*, TMouseButton, TShiftState, int, int, int) {
        ++downs;
    };
    Edit->OnRVMouseUp = [&](TCustomRichView*, TMouseButton, TShiftState, int, int, int) { ++ups; };
    const TRVDrawLineInfo* d = Data()->DrawItems[Data()->GetFirstDrawItemNo(Table->GetItemNo())];
    const TRVTableCellData* cell = Table->GetCell(2, 2);
    testing::Click(Edit, d->Left + cell->Left + 4, d->Top + cell->Top + cell->Height / 2);
    testing::Pump();
    ASSERT_TRUE(Table->InplaceEditor());
    EXPECT_EQ(downs, 1);
    EXPECT_EQ(ups, 1);
}

} // namespace
} // namespace epc
