// Hit testing inside a laid-out table and the rectangle of selected cells.

#include <algorithm>
#include <memory>
#include <utility>

#include "platform/core/ScopeGuard.h"
#include "platform/graphics/Graphics.h"
#include "richtext/edit/RVERVData.h"
#include "richtext/table/RVTable.h"
#include "richtext/table/RVTableInplace.h"

namespace epc {

namespace {
bool Inside(const TRVTableCellData* cell, int x, int y) {
    return x >= cell->Left + 1 && x <= cell->Left + cell->Width - 2 && y >= cell->Top + 1 &&
           y <= cell->Top + cell->Height - 2;
}

// Inside the cell less the table's padding on each side: only there does the cell's document
// take the mouse.
bool InsideContent(const TRVTableItemInfo& table, const TRVTableCellData* cell, int x, int y) {
    const int px = table.SX(table.CellPadding()), py = table.SY(table.CellPadding());
    return x >= cell->Left + px && x < cell->Left + cell->Width - px && y >= cell->Top + py &&
           y < cell->Top + cell->Height - py;
}

// A border of thickness T centred at C is hit within max(T / 2, 2).
bool NearBorder(int v, int centre, int thickness) {
    return std::abs(v - centre) <= std::max(thickness / 2, 2);
}

// The last start at or before V; -1 before the first. A point inside the last column or row
// belongs to it: no start lies beyond it.
int LastStartAtOrBefore(const TRVIntegerList& starts, int v) {
    int result = -1;
    for (int i = 0; i < starts.Count(); ++i) {
        if (starts[i] > v) break;
        result = i;
    }
    return result;
}

// A one-pixel dotted line of inverted pixels: dots at 0, 2 and 4 of every 8 pixels, so that
// drawing it twice leaves the screen as it was.
void InvertDottedLine(TCanvas* canvas, bool vertical, int at, int length) {
    canvas->Pen()->SetStyle(psSolid);
    canvas->Pen()->SetWidth(1);
    canvas->Pen()->SetMode(pmNot);
    for (int v = 0; v < length; v += 8)
        for (int d = 0; d <= 4 && v + d < length; d += 2)
            if (vertical) {
                canvas->MoveTo(at, v + d);
                canvas->LineTo(at, v + d + 1);
            } else {
                canvas->MoveTo(v + d, at);
                canvas->LineTo(v + d + 1, at);
            }
    canvas->Pen()->SetMode(pmCopy);
}

// The number of the hyperlink of TABLE's own cells under a client point, -1 none. Hyperlinks at
// any depth are listed by the outermost document, at its coordinates; those of tables nested in
// the cells are left to those tables, so that a click jumps once.
int JumpIdAt(const TRVTableItemInfo& table, TCustomRVFormattedData* rvData, TPoint client) {
    TCustomRVFormattedData* root = rvData->GetRootFormattedData();
    const int x = client.X + root->GetHScrollPos(), y = client.Y + root->GetVScrollPos();
    int row = 0, col = 0;
    for (const auto& jump : root->Jumps)
        if (PointInBox(x, y, jump->Left, jump->Top, jump->Width, jump->Height)) {
            const auto* cell = dynamic_cast<const TRVTableCellData*>(jump->RVData);
            return cell && table.GetCellPosition(cell, row, col) ? jump->Id : -1;
        }
    return -1;
}

// The laid-out columns (or rows) of a table: how many, where each starts, the whole extent and
// the scaled thickness of the borders between them (inner) and at the edges (outer).
struct TBorderBand {
    int Count;
    const TRVIntegerList& Starts;
    int Extent, Inner, Outer;
};

TBorderBand Band(const TRVTableItemInfo& table, bool cols) {
    const TRVTableItemFormattingInfo& fi = table.Formatting();
    const int cellBorder = table.CellBorderWidth();
    if (cols)
        return {table.ColCount(), fi.ColStarts, fi.Width,
                table.SX(2 * cellBorder + table.CellHSpacing()),
                table.SX(table.BorderWidth() + table.BorderHSpacing() + cellBorder)};
    return {table.RowCount(), fi.RowStarts, fi.Height,
            table.SY(2 * cellBorder + table.CellVSpacing()),
            table.SY(table.BorderWidth() + table.BorderVSpacing() + cellBorder)};
}

// The border (0..Count) of a band at V; -1 for none.
int BorderAt(const TBorderBand& band, int v) {
    const int n = band.Count;
    if (n == 0 || band.Starts.Count() != n) return -1;
    if (NearBorder(v, band.Outer / 2, band.Outer)) return 0;
    for (int k = 1; k < n; ++k)
        if (NearBorder(v, band.Starts[k] - (band.Inner + 1) / 2, band.Inner)) return k;
    if (NearBorder(v, band.Extent - band.Outer / 2, band.Outer)) return n;
    return -1;
}

// The centre of border K (1..Count) of a band.
int BorderCentre(const TBorderBand& band, int k) {
    return k < band.Starts.Count() ? band.Starts[k] - (band.Inner + 1) / 2
                                   : band.Extent - band.Outer / 2;
}
} // namespace

void TRVTableItemInfo::SelectInDocument(TCustomRVFormattedData* owner) {
    const int itemNo = GetItemNo();
    if (itemNo >= 0 && owner->GetFirstDrawItemNo(itemNo) >= 0)
        owner->SetSelectionBounds(itemNo, itemNo, 0, 1);
}

bool TRVTableItemInfo::GetCellAt(int x, int y, int& row, int& col) {
    if (FLastHitRow >= 0 && FLastHitRow < RowCount() && FLastHitCol >= 0 &&
        FLastHitCol < ColCount())
        if (TRVTableCellData* cell = Rows.GetRow(FLastHitRow)->Cell(FLastHitCol))
            if (Inside(cell, x, y)) {
                row = FLastHitRow;
                col = FLastHitCol;
                return true;
            }
    for (int r = 0; r < RowCount(); ++r)
        for (int c = 0; c < ColCount(); ++c)
            if (TRVTableCellData* cell = Rows.GetRow(r)->Cell(c); cell && Inside(cell, x, y)) {
                row = FLastHitRow = r;
                col = FLastHitCol = c;
                return true;
            }
    return false;
}

int TRVTableItemInfo::GetColBorderAt(int x) const {
    return BorderAt(Band(*this, true), x);
}

int TRVTableItemInfo::GetRowBorderAt(int y) const {
    return BorderAt(Band(*this, false), y);
}

int TRVTableItemInfo::GetColAt(int x) const {
    return LastStartAtOrBefore(FFormatting.ColStarts, x);
}

int TRVTableItemInfo::GetRowAt(int y) const {
    return LastStartAtOrBefore(FFormatting.RowStarts, y);
}

void TRVTableItemInfo::Select(int startRow, int startCol, int rowOffs, int colOffs) {
    auto* owner = dynamic_cast<TCustomRVFormattedData*>(FRVData);
    if (!owner || !owner->GetOptions().Contains(TRVOption::rvoAllowSelection)) return;
    if (startRow < 0 || startCol < 0 || startRow >= RowCount() || startCol >= ColCount()) return;
    rowOffs = std::clamp(rowOffs, -startRow, RowCount() - 1 - startRow);
    colOffs = std::clamp(colOffs, -startCol, ColCount() - 1 - startCol);
    FSelStartRow = startRow;
    FSelStartCol = startCol;
    FSelRowOffs = rowOffs;
    FSelColOffs = colOffs;
    FCellsSelected = true;
    // A cell being edited shows whether the rectangle takes it in.
    if (TRVTableInplaceEdit* editor = FInplaceEditor.get()) {
        int editRow = -1, editCol = -1;
        GetEditedCell(editRow, editCol);
        editor->SetSelectedLook(editRow >= 0 && IsCellSelected(editRow, editCol));
    }
    // Text selected in a cell outside the rectangle (the start cell aside) goes.
    for (int r = 0; r < RowCount(); ++r)
        for (int c = 0; c < ColCount(); ++c)
            if (TRVTableCellData* cell = Rows.GetRow(r)->Cell(c))
                if ((r != startRow || c != startCol) && !IsCellSelected(r, c))
                    cell->Deselect(nullptr, false);
    // The document's selection is the table item; the cells show which part of it.
    SelectInDocument(owner);
    owner->Invalidate();
}

void TRVTableItemInfo::SelectCols(int startCol, int count) {
    if (RowCount() == 0 || count < 1) return;
    Select(0, startCol, RowCount() - 1, count - 1);
}

void TRVTableItemInfo::SelectRows(int startRow, int count) {
    if (ColCount() == 0 || count < 1) return;
    Select(startRow, 0, count - 1, ColCount() - 1);
}

bool TRVTableItemInfo::BeginCellSelection(int row, int col) {
    auto* owner = dynamic_cast<TCustomRVFormattedData*>(FRVData);
    if (!owner || !owner->GetOptions().Contains(TRVOption::rvoAllowSelection) || row < 0 ||
        col < 0 || row >= RowCount() || col >= ColCount())
        return false;
    FSelStartRow = row;
    FSelStartCol = col;
    FSelRowOffs = FSelColOffs = 0;
    SelectInDocument(owner);
    owner->Invalidate();
    return true;
}

void TRVTableItemInfo::Deselect() {
    CloseCellEditor(false);
    FCellsSelected = false;
    FSelStartRow = FSelStartCol = -1;
    FSelRowOffs = FSelColOffs = 0;
    // No cell is selected now, nor any text in one.
    for (int r = 0; r < RowCount(); ++r)
        for (int c = 0; c < ColCount(); ++c)
            if (TRVTableCellData* cell = Rows.GetRow(r)->Cell(c)) cell->Deselect(nullptr, false);
    // A cell document that held the mouse lets it go.
    FPressRow = FPressCol = -1;
    FPressTaken = false;
    if (auto* owner = dynamic_cast<TCustomRVFormattedData*>(FRVData)) owner->Invalidate();
}

// The rectangle of both corners, widened until every cell that overlaps it lies inside.
bool TRVTableItemInfo::GetNormalizedSelectionBounds(int& topRow, int& leftCol, int& rowCount,
                                                    int& colCount) const {
    if (!HasCellSelection() || FSelStartRow >= RowCount() || FSelStartCol >= ColCount()) {
        // No cells selected: the cell being edited is.
        int row, col;
        GetEditedCell(row, col);
        if (row < 0 || row >= RowCount() || col < 0 || col >= ColCount()) return false;
        const TRVTableCellData* cell = Rows.GetRow(row)->Cell(col);
        if (!cell) return false;
        topRow = row;
        leftCol = col;
        rowCount = cell->RowSpan;
        colCount = cell->ColSpan;
        return true;
    }
    int top = std::min(FSelStartRow, FSelStartRow + FSelRowOffs);
    int bottom = std::max(FSelStartRow, FSelStartRow + FSelRowOffs);
    int left = std::min(FSelStartCol, FSelStartCol + FSelColOffs);
    int right = std::max(FSelStartCol, FSelStartCol + FSelColOffs);
    for (bool grown = true; grown;) {
        grown = false;
        for (int r = top; r <= bottom; ++r)
            for (int c = left; c <= right; ++c) {
                int mr, mc;
                TRVTableCellData* cell = Rows.GetMainCell(r, c, mr, mc);
                if (!cell) continue;
                const int t = mr, l = mc, b = mr + cell->RowSpan - 1, rt = mc + cell->ColSpan - 1;
                if (t < top || l < left || b > bottom || rt > right) {
                    top = std::min(top, t);
                    left = std::min(left, l);
                    bottom = std::max(bottom, b);
                    right = std::max(right, rt);
                    grown = true;
                }
            }
    }
    topRow = top;
    leftCol = left;
    rowCount = bottom - top + 1;
    colCount = right - left + 1;
    return true;
}

bool TRVTableItemInfo::IsCellSelected(int row, int col) const {
    int top, left, rows, cols;
    if (!GetNormalizedSelectionBounds(top, left, rows, cols)) return false;
    if (row < 0 || col < 0 || row >= RowCount() || col >= ColCount()) return false;
    // A covered position answers for the cell covering it.
    int mainRow, mainCol;
    const TRVTableCellData* cell = Rows.GetMainCell(row, col, mainRow, mainCol);
    if (!cell) return false;
    return mainRow < top + rows && mainRow + cell->RowSpan > top && mainCol < left + cols &&
           mainCol + cell->ColSpan > left;
}

bool TRVTableItemInfo::FireCellEditing(int row, int col, bool automatic) {
    bool allow = true;
    if (OnCellEditing) OnCellEditing(this, row, col, automatic, allow);
    return allow;
}

// The layout gives a percentage column that share of the table less its borders and spacing,
// and then takes the column's padding off; so the padding is counted back in here, and the
// column's content ends where it was let go (to the percent below).
int TRVTableItemInfo::PercentWidthAfterResize(int newWidth, int oldBestWidth) const {
    const int columns = FFormatting.Width - GetExtraWidth();
    if (columns <= 0) return oldBestWidth;
    return std::min(-((std::max(newWidth, 0) + SX(2 * CellPadding())) * 100) / columns, -1);
}

// ---------------------------------------------------------------- mouse

bool TRVTableItemInfo::ItemCursorAt(int x, int y, int& cursor) const {
    if (Rows.IsEmpty() || x < 0 || y < 0 || x >= FFormatting.Width || y >= FFormatting.Height)
        return false;
    const bool editing = (StateBits & rvtsEditMode) != 0;
    const int colBorder = GetColBorderAt(x);
    const int rowBorder = GetRowBorderAt(y);
    if (colBorder == 0 && Options.Contains(TRVTableOption::rvtoRowSelect))
        cursor = crRVTableRowSelect;
    else if (colBorder > 0 && editing && Options.Contains(TRVTableOption::rvtoColSizing))
        cursor = crHSplit;
    else if (rowBorder == 0 && Options.Contains(TRVTableOption::rvtoColSelect))
        cursor = crRVTableColSelect;
    else if (rowBorder > 0 && editing && Options.Contains(TRVTableOption::rvtoRowSizing))
        cursor = crVSplit;
    else
        return false;
    return true;
}

bool TRVTableItemInfo::ItemMouseDown(TCustomRVFormattedData* rvData, TMouseButton button,
                                     TShiftState shift, int x, int y, TPoint client) {
    FPressRow = FPressCol = FPressedJump = -1;
    FPressTaken = false;
    FEditorPressed = false;
    if (Rows.IsEmpty() || (button != mbLeft && button != mbRight)) return false;
    const bool selectable = rvData->GetOptions().Contains(TRVOption::rvoAllowSelection);
    int row, col;
    if (GetCellAt(x, y, row, col)) {
        const bool editing =
            (StateBits & rvtsEditMode) && Options.Contains(TRVTableOption::rvtoEditing);
        // A right press on a selected cell keeps the selection for the menu it calls up.
        if (editing && button == mbRight && IsCellSelected(row, col)) return true;
        if (editing && button == mbLeft && shift.Contains(ssShift) && ExtendCellSelection(row, col))
            return true;
        if (editing && OpenCellEditor(-1, row, col, false, button == mbLeft, false, false)) {
            // The press places the caret in the cell's editor; a drag from it into other cells
            // selects the block between.
            PassPressToCellEditor(button, shift, client, true);
            if (button == mbLeft) {
                FPressRow = FEditedRow;
                FPressCol = FEditedCol;
            }
            return true;
        }
        TRVTableCellData* pressed = Rows.GetRow(row)->Cell(col);
        if (button == mbRight) {
            // The cell's document hears of the press (its events fire for it).
            CloseCellEditor(false);
            if (!pressed || !InsideContent(*this, pressed, x, y)) return false;
            pressed->MouseDown(button, shift, client.X, client.Y);
            return true;
        }
        // No editor on this cell: the one open closes and the table item is selected. Text
        // selected before, in a cell or around the table, goes; but the press that follows a
        // double click keeps the word it selected in the cell.
        const bool afterDblClick =
            button == mbLeft && pressed && pressed->State.Contains(TRVState::rvstIgnoreNextMouseUp);
        if (afterDblClick) {
            CloseCellEditor(false);
        } else {
            Deselect();
            if (rvData->ChosenItem == this) rvData->DeselectSubItem();
            UnchooseCell();
        }
        if (rvData == FRVData && (selectable || (StateBits & rvtsEditMode)))
            SelectInDocument(rvData);
        if (!selectable) return false;
        // A cell selection starts here; the press goes on to the cell's document unless it lies
        // in the cell's padding.
        if (!BeginCellSelection(row, col)) return false;
        FPressRow = row;
        FPressCol = col;
        FPressTaken = pressed && InsideContent(*this, pressed, x, y);
        if (FPressTaken) {
            // The cell's text selection is the document's selection: it is what is copied.
            rvData->SetActiveSubItem(this);
            rvData->ChosenRVData = pressed;
            FChosenRow = row;
            FChosenCol = col;
            FPressedJump = JumpIdAt(*this, rvData, client);
            pressed->MouseDown(button, shift, client.X, client.Y);
        }
        return true;
    }
    if (button != mbLeft) return false;
    if (StateBits & rvtsEditMode) {
        // A column border takes the press before a row border.
        const int colBorder = GetColBorderAt(x);
        const bool cols = colBorder > 0 && Options.Contains(TRVTableOption::rvtoColSizing);
        const int border = cols ? colBorder : GetRowBorderAt(y);
        if (cols || (border > 0 && Options.Contains(TRVTableOption::rvtoRowSizing))) {
            const int centre = BorderCentre(Band(*this, cols), border);
            StartResize(rvData, cols, border, (cols ? x : y) - centre, shift);
            ItemMouseMove(rvData, shift, x, y, client);
            return true;
        }
    }
    if (!selectable) return false;
    // The top zone before the left one: the top-left corner selects the first column.
    if (GetRowBorderAt(y) == 0 && Options.Contains(TRVTableOption::rvtoColSelect)) {
        SelectCols(std::max(GetColAt(x), 0), 1);
    } else if (GetColBorderAt(x) == 0 && Options.Contains(TRVTableOption::rvtoRowSelect)) {
        SelectRows(std::max(GetRowAt(y), 0), 1);
    } else {
        return false;
    }
    rvData->Invalidate();
    return true;
}

void TRVTableItemInfo::ItemMouseMove(TCustomRVFormattedData* rvData, TShiftState shift, int x,
                                     int y, TPoint client) {
    if (IsResizing()) {
        // The line follows the mouse in the control's coordinates.
        const int pos = ResizePosition(FResizingCols ? x : y);
        TCustomRVFormattedData* root = rvData->GetRootFormattedData();
        if (FResizingCols)
            root->DrawXorFeedbackAt(client.X - x + pos, 0);
        else
            root->DrawXorFeedbackAt(0, client.Y - y + pos);
        return;
    }
    if (FPressRow < 0 || FPressRow >= RowCount() || FPressCol >= ColCount()) return;
    int row, col;
    if (GetCellAt(x, y, row, col) && (row != FPressRow || col != FPressCol || HasCellSelection())) {
        // The far corner follows the cell under the mouse, back into the start cell too.
        Select(FPressRow, FPressCol, row - FPressRow, col - FPressCol);
        rvData->Invalidate();
        return;
    }
    if (HasCellSelection()) return;
    if (FEditorPressed && FInplaceEditor) {
        // The cell editor's text selection follows a press it took from here.
        FInplaceEditor->EditData()->MouseMove(shift, client.X - FInplaceEditor->Left(),
                                              client.Y - FInplaceEditor->Top());
        return;
    }
    if (!FPressTaken) return;
    if (TRVTableCellData* cell = Rows.GetRow(FPressRow)->Cell(FPressCol))
        cell->MouseMove(shift, client.X, client.Y);
}

void TRVTableItemInfo::ItemMouseUp(TCustomRVFormattedData* rvData, TMouseButton button,
                                   TShiftState shift, int x, int y, TPoint client) {
    if (IsResizing()) {
        const int border = FResizeBorder;
        const int pos = ResizePosition(FResizingCols ? x : y);
        const bool cols = FResizingCols, keepNext = !FResizeShift;
        EndResize(rvData);
        if (cols)
            FinishColResize(rvData, border, pos, keepNext);
        else
            FinishRowResize(rvData, border, pos);
        RestoreEditorState();
        return;
    }
    if (FEditorPressed) {
        PassPressToCellEditor(button, shift, client, false);
        FPressRow = FPressCol = -1;
        if (HasCellSelection()) SelectCellsForEditor();
        return;
    }
    const int row = std::exchange(FPressRow, -1), col = std::exchange(FPressCol, -1);
    const int pressedJump = std::exchange(FPressedJump, -1);
    const bool taken = std::exchange(FPressTaken, false);
    // The release goes to the document that took the press, even after a drag into other
    // cells (it ends its selecting there), else to the one under the mouse when it lies inside
    // that cell's content.
    TRVTableCellData* cell = nullptr;
    if (taken && row >= 0 && row < RowCount() && col >= 0 && col < ColCount()) {
        cell = Rows.GetRow(row)->Cell(col);
    } else if (HasCellSelection()) {
        return;
    } else if (int r, c; GetCellAt(x, y, r, c)) {
        cell = Rows.GetRow(r)->Cell(c);
        if (cell && !InsideContent(*this, cell, x, y)) cell = nullptr;
    }
    if (!cell) return;
    // A click, not a drag that selected text inside the cell. Decided before the release goes
    // on: its handlers may take the table away, while the outermost document stays.
    const bool click = button == mbLeft && pressedJump >= 0 && !HasCellSelection() &&
                       !cell->SelectionExists(false, false) &&
                       JumpIdAt(*this, rvData, client) == pressedJump;
    TCustomRVFormattedData* root = rvData->GetRootFormattedData();
    cell->MouseUp(button, shift, client.X, client.Y);
    if (click) root->DoJump(pressedJump);
}

void TRVTableItemInfo::EndInnerSelection(TCustomRVFormattedData* /*rvData*/) {
    Deselect();
    UnchooseCell();
}

bool TRVTableItemInfo::ExtendCellSelection(int row, int col) {
    int anchorRow = -1, anchorCol = -1;
    if (HasCellSelection()) {
        anchorRow = FSelStartRow;
        anchorCol = FSelStartCol;
    } else if (FInplaceEditor) {
        GetEditedCell(anchorRow, anchorCol);
    }
    int mr, mc;
    if (anchorRow < 0 || anchorCol < 0 || anchorRow >= RowCount() || anchorCol >= ColCount() ||
        !Rows.GetMainCell(row, col, mr, mc) || (mr == anchorRow && mc == anchorCol))
        return false;
    DestroyCellEditor(true);
    UnchooseCell();
    Select(anchorRow, anchorCol, mr - anchorRow, mc - anchorCol);
    if (!HasCellSelection()) return false;
    // A drag on from here moves the far corner.
    FPressRow = anchorRow;
    FPressCol = anchorCol;
    return true;
}

void TRVTableItemInfo::SelectCellsForEditor() {
    if (!FInplaceEditor || !HasCellSelection()) return;
    const int startRow = FSelStartRow, startCol = FSelStartCol;
    const int rowOffs = FSelRowOffs, colOffs = FSelColOffs;
    // Editing goes to the cell editor while it is open: it gives way, its steps handed over,
    // so that what is applied next reaches every selected cell.
    DestroyCellEditor(true);
    if (auto* owner = dynamic_cast<TCustomRVFormattedData*>(FRVData);
        owner && owner->ChosenItem == this)
        owner->DeselectSubItem();
    UnchooseCell();
    Select(startRow, startCol, rowOffs, colOffs);
}

void TRVTableItemInfo::CellEditorTracking(int kind, TShiftState shift, TPoint client) {
    if (!FInplaceEditor) return;
    if (kind == 0) {
        FPressRow = FEditedRow;
        FPressCol = FEditedCol;
        FPressTaken = false;
        FEditorPressed = false;
        return;
    }
    if (kind == 2) {
        FPressRow = FPressCol = -1;
        // The editor is in the middle of its own message: it is asked to close afterwards.
        if (HasCellSelection() && FInplaceEditor->HandleAllocated())
            PostMessage(FInplaceEditor->Handle(), WM_RVINPLACEMOVE, rvimClose, 0);
        return;
    }
    auto* owner = dynamic_cast<TCustomRVFormattedData*>(FRVData);
    const int itemNo = GetItemNo();
    if (!owner || itemNo < 0 || FPressRow < 0) return;
    const int d = owner->GetFirstDrawItemNo(itemNo);
    if (d < 0 || d >= owner->DrawItems.Count()) return;
    // The editor is only opened in an editor's own document, the root of its control.
    const int dx = client.X + owner->GetHScrollPos(), dy = client.Y + owner->GetVScrollPos();
    ItemMouseMove(owner, shift, dx - owner->DrawItems[d]->Left, dy - owner->DrawItems[d]->Top,
                  client);
}

// ---------------------------------------------------------------- border resizing

void TRVTableItemInfo::StartResize(TCustomRVFormattedData* rvData, bool cols, int border,
                                   int offset, TShiftState shift) {
    // The editor goes first: when it cannot, nothing of the drag is left behind.
    SaveEditorState();
    FResizeBorder = border;
    FResizeOffset = offset;
    FResizingCols = cols;
    FResizeShift = shift.Contains(ssShift);
    const TRVTableItemFormattingInfo& fi = FFormatting;
    FResizeLimit = cols ? fi.ColStarts[border - 1] : fi.RowStarts[border - 1];
    TCustomRVFormattedData* root = rvData->GetRootFormattedData();
    root->SetXorDrawer(
        [cols, alive = std::weak_ptr<const bool>(FAlive)](TCustomRVFormattedData* data, int lineX,
                                                          int lineY) {
            if (alive.expired()) return; // the table went while the button was held
            if (TCanvas* canvas = data->GetCanvas())
                InvertDottedLine(canvas, cols, cols ? lineX : lineY,
                                 cols ? data->GetClientHeight() : data->GetClientWidth());
        },
        this);
}

int TRVTableItemInfo::ResizePosition(int v) const {
    return std::max(v - FResizeOffset, FResizeLimit);
}

void TRVTableItemInfo::EndResize(TCustomRVFormattedData* rvData) {
    FResizeBorder = -1;
    rvData->GetRootFormattedData()->ClearXorDrawer(this);
}

void TRVTableItemInfo::SetCellSizeAfterResize(bool width, int row, int col, int32_t value) {
    if (width)
        SetCellBestWidth(value, row, col);
    else
        SetCellBestHeight(value, row, col);
}

template <class F> void TRVTableItemInfo::RunResizeStep(TCustomRVFormattedData* rvData, F body) {
    TEditStep step(*this, UsesUndo());
    const int itemNo = GetItemNo();
    AddUndoRecord(std::make_unique<TRVUndoModifyItemTerminator>(itemNo, true));
    {
        auto close = Finally(
            [&] { AddUndoRecord(std::make_unique<TRVUndoModifyItemTerminator>(itemNo, false)); });
        body();
    }
    FormatAfterChange(rvData);
}

void TRVTableItemInfo::FinishColResize(TCustomRVFormattedData* rvData, int border, int pos,
                                       bool keepNext) {
    const TRVTableItemFormattingInfo& fi = FFormatting;
    const int n = ColCount();
    if (border < 1 || border > n || fi.ColStarts.Count() != n || fi.ColWidths.Count() != n) return;
    const int col = border - 1;
    const int halfGap = border < n
                            ? SX(CellHSpacing()) / 2 + SX(CellBorderWidth())
                            : (SX(BorderWidth() + BorderHSpacing() + CellBorderWidth()) + 1) / 2;
    const int newWidth = std::max(pos - fi.ColStarts[col] - SX(2 * CellPadding()) - halfGap, 0);
    const int oldWidth = fi.ColWidths[col];
    const bool percent = Rows.IsPercentColumn(col);
    const bool next = keepNext && !percent && border < n && !Rows.IsPercentColumn(border);
    const int nextWidth = next ? std::max(fi.ColWidths[border] + oldWidth - newWidth, 0) : 0;
    RunResizeStep(rvData, [&] {
        for (int r = 0; r < RowCount(); ++r) {
            const TRVTableRow* row = Rows.GetRow(r);
            if (TRVTableCellData* cell = row->Cell(col); cell && cell->ColSpan == 1)
                SetCellSizeAfterResize(true, r, col,
                                       percent ? PercentWidthAfterResize(newWidth, cell->BestWidth)
                                               : newWidth);
            if (TRVTableCellData* cell = next ? row->Cell(border) : nullptr;
                cell && cell->ColSpan == 1)
                SetCellSizeAfterResize(true, r, border, nextWidth);
        }
    });
}

void TRVTableItemInfo::FinishRowResize(TCustomRVFormattedData* rvData, int border, int pos) {
    const TRVTableItemFormattingInfo& fi = FFormatting;
    const int m = RowCount();
    if (border < 1 || border > m || fi.RowStarts.Count() != m || fi.RowHeights.Count() != m) return;
    const int rowNo = border - 1;
    const int pad2 = SY(2 * CellPadding());
    const int halfGap = border < m
                            ? SY(CellVSpacing()) / 2 + SY(CellBorderWidth())
                            : (SY(BorderWidth() + BorderVSpacing() + CellBorderWidth()) + 1) / 2;
    const int newHeight = std::max(pos - fi.RowStarts[rowNo] - pad2 - halfGap, 0);
    const int change = newHeight - fi.RowHeights[rowNo];
    RunResizeStep(rvData, [&] {
        for (int c = 0; c < ColCount(); ++c) {
            if (TRVTableCellData* cell = Rows.GetRow(rowNo)->Cell(c)) {
                if (cell->RowSpan == 1) SetCellSizeAfterResize(false, rowNo, c, newHeight);
                continue;
            }
            // A cell spanning down into the row and ending in it grows or shrinks with it.
            int mainRow, mainCol;
            TRVTableCellData* cell = Rows.GetMainCell(rowNo, c, mainRow, mainCol);
            if (!cell || mainCol != c || mainRow + cell->RowSpan - 1 != rowNo) continue;
            SetCellSizeAfterResize(false, mainRow, c, std::max(cell->Height - pad2 + change, 0));
        }
    });
}

void TRVTableItemInfo::FormatDocumentAfterChange() {
    auto* formatted = dynamic_cast<TCustomRVFormattedData*>(FRVData);
    if (formatted && formatted->GetCanvas() && formatted->DrawItems.Count() > 0)
        FormatAfterChange(formatted);
}

void TRVTableItemInfo::FormatAfterChange(TCustomRVFormattedData* rvData) {
    SetChangedFlag();
    // A table in a cell changes the tables around it too: the document that holds the
    // outermost one is formatted again from there.
    TRVTableItemInfo* table = this;
    TCustomRVFormattedData* data = rvData;
    while (auto* cell = dynamic_cast<TRVTableCellData*>(data)) {
        TRVTableItemInfo* outer = cell->GetTable();
        auto* outerData =
            outer ? dynamic_cast<TCustomRVFormattedData*>(outer->GetRVData()) : nullptr;
        if (!outerData) break;
        outer->SetChangedFlag();
        table = outer;
        data = outerData;
    }
    const int itemNo = table->GetItemNo();
    TCanvas* canvas = data->GetCanvas();
    if (!canvas) return;
    // Only the table's paragraphs are laid out again while the document keeps its width: it
    // does unless it was wider than its window (the table may have made it so), the table is
    // now wider than the document, or a scroll bar came or went with the new height.
    const int clientWidth = data->GetClientWidth();
    bool full = data->MinWidth > clientWidth - data->GetLeftMargin() - data->GetRightMargin();
    if (!full)
        for (int i = 0; i < data->DrawItems.Count(); ++i)
            if (data->DrawItems[i]->ItemNo == itemNo) {
                data->FormatParasOfDrawRange(i, i, 0);
                full = data->GetClientWidth() != clientWidth ||
                       table->GetMinWidth(nullptr, canvas, data) > data->TextWidth;
                break;
            }
    if (full) {
        // A new layout forgets the active sub-document; it is still there (the cell editor's,
        // say) and stays active.
        TCustomRVItemInfo* chosenItem = data->ChosenItem;
        TCustomRVFormattedData* chosenData = data->ChosenRVData;
        data->FormatAll(true, true, false, false, canvas, 0, false);
        if (!data->ChosenItem && chosenItem && data->FindItemIndex(chosenItem) >= 0) {
            data->ChosenItem = chosenItem;
            data->ChosenRVData = chosenData;
        }
    }
    data->Invalidate();
    if (auto* editData = dynamic_cast<TRVEditRVData*>(data)) {
        // The resize handles of a table selected as a whole stand on its new drawing item.
        editData->RecheckResizer();
        // A document that is a cell editor's: the table around it fits the cell to it.
        if (auto* cellEditor = dynamic_cast<TRVTableInplaceEdit*>(editData->Editor()))
            if (TRVTableItemInfo* around = cellEditor->Table()) around->EditorResized();
    }
}

} // namespace epc
