// Hit testing inside a laid-out table and the rectangle of selected cells.

#include <algorithm>
#include <utility>

#include "richtext/table/RVTable.h"

namespace epc {

namespace {
bool Inside(const TRVTableCellData* cell, int x, int y) {
    return x >= cell->Left + 1 && x <= cell->Left + cell->Width - 2 && y >= cell->Top + 1 &&
           y <= cell->Top + cell->Height - 2;
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
} // namespace

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
    const TRVTableItemFormattingInfo& fi = FFormatting;
    const int n = ColCount();
    if (n == 0 || fi.ColStarts.Count() != n) return -1;
    const int outer = SX(BorderWidth() + BorderHSpacing() + CellBorderWidth());
    if (NearBorder(x, outer / 2, outer)) return 0;
    const int inner = SX(2 * CellBorderWidth() + CellHSpacing());
    for (int k = 1; k < n; ++k)
        if (NearBorder(x, fi.ColStarts[k] - (inner + 1) / 2, inner)) return k;
    if (NearBorder(x, fi.Width - outer / 2, outer)) return n;
    return -1;
}

int TRVTableItemInfo::GetRowBorderAt(int y) const {
    const TRVTableItemFormattingInfo& fi = FFormatting;
    const int n = RowCount();
    if (n == 0 || fi.RowStarts.Count() != n) return -1;
    const int outer = SY(BorderWidth() + BorderVSpacing() + CellBorderWidth());
    if (NearBorder(y, outer / 2, outer)) return 0;
    const int inner = SY(2 * CellBorderWidth() + CellVSpacing());
    for (int k = 1; k < n; ++k)
        if (NearBorder(y, fi.RowStarts[k] - (inner + 1) / 2, inner)) return k;
    if (NearBorder(y, fi.Height - outer / 2, outer)) return n;
    return -1;
}

int TRVTableItemInfo::GetColAt(int x) const {
    return LastStartAtOrBefore(FFormatting.ColStarts, x);
}

int TRVTableItemInfo::GetRowAt(int y) const {
    return LastStartAtOrBefore(FFormatting.RowStarts, y);
}

void TRVTableItemInfo::Select(int startRow, int startCol, int rowOffs, int colOffs) {
    if (startRow < 0 || startCol < 0 || startRow >= RowCount() || startCol >= ColCount()) return;
    rowOffs = std::clamp(rowOffs, -startRow, RowCount() - 1 - startRow);
    colOffs = std::clamp(colOffs, -startCol, ColCount() - 1 - startCol);
    FSelStartRow = startRow;
    FSelStartCol = startCol;
    FSelRowOffs = rowOffs;
    FSelColOffs = colOffs;
    FCellsSelected = true;
}

void TRVTableItemInfo::SelectCols(int startCol, int count) {
    if (RowCount() == 0 || count < 1) return;
    Select(0, startCol, RowCount() - 1, count - 1);
}

void TRVTableItemInfo::SelectRows(int startRow, int count) {
    if (ColCount() == 0 || count < 1) return;
    Select(startRow, 0, count - 1, ColCount() - 1);
}

void TRVTableItemInfo::Deselect() {
    FCellsSelected = false;
    FSelStartRow = FSelStartCol = -1;
    FSelRowOffs = FSelColOffs = 0;
}

// The rectangle of both corners, widened until every cell that overlaps it lies inside.
bool TRVTableItemInfo::GetNormalizedSelectionBounds(int& topRow, int& leftCol, int& rowCount,
                                                    int& colCount) const {
    if (!HasCellSelection() || FSelStartRow >= RowCount() || FSelStartCol >= ColCount())
        return false;
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
    TRVTableCellData* cell = Rows.GetRow(row)->Cell(col);
    if (!cell) return false;
    return row < top + rows && row + cell->RowSpan > top && col < left + cols &&
           col + cell->ColSpan > left;
}

bool TRVTableItemInfo::FireCellEditing(int row, int col, bool automatic) {
    bool allow = true;
    if (OnCellEditing) OnCellEditing(this, row, col, automatic, allow);
    return allow;
}

int TRVTableItemInfo::PercentWidthAfterResize(int newWidth, int oldBestWidth) const {
    const int content = FFormatting.Width - GetExtraWidth() - SX(2 * CellPadding()) * ColCount();
    if (content <= 0) return oldBestWidth;
    return std::min(-(std::max(newWidth, 0) * 100) / content, -1);
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
    FPressRow = FPressCol = -1;
    if (Rows.IsEmpty() || button != mbLeft) return false;
    const bool selectable = rvData->GetOptions().Contains(TRVOption::rvoAllowSelection);
    int row, col;
    if (GetCellAt(x, y, row, col)) {
        if (!selectable) return false;
        // A cell selection may start here; the press goes on to the cell's document.
        Deselect();
        FPressRow = row;
        FPressCol = col;
        if (TRVTableCellData* cell = Rows.GetRow(row)->Cell(col))
            cell->MouseDown(button, shift, client.X, client.Y);
        rvData->Invalidate();
        return true;
    }
    if (!selectable) return false;
    if (GetColBorderAt(x) == 0 && Options.Contains(TRVTableOption::rvtoRowSelect)) {
        SelectRows(std::max(GetRowAt(y), 0), 1);
    } else if (GetRowBorderAt(y) == 0 && Options.Contains(TRVTableOption::rvtoColSelect)) {
        SelectCols(std::max(GetColAt(x), 0), 1);
    } else {
        return false;
    }
    rvData->Invalidate();
    return true;
}

void TRVTableItemInfo::ItemMouseMove(TCustomRVFormattedData* rvData, TShiftState shift, int x,
                                     int y, TPoint client) {
    if (FPressRow < 0 || FPressRow >= RowCount() || FPressCol >= ColCount()) return;
    int row, col;
    if (GetCellAt(x, y, row, col) && (row != FPressRow || col != FPressCol)) {
        // The far corner follows the cell under the mouse.
        Select(FPressRow, FPressCol, row - FPressRow, col - FPressCol);
        rvData->Invalidate();
        return;
    }
    if (HasCellSelection()) return;
    if (TRVTableCellData* cell = Rows.GetRow(FPressRow)->Cell(FPressCol))
        cell->MouseMove(shift, client.X, client.Y);
}

void TRVTableItemInfo::ItemMouseUp(TCustomRVFormattedData*, TMouseButton button, TShiftState shift,
                                   int, int, TPoint client) {
    const int row = std::exchange(FPressRow, -1), col = std::exchange(FPressCol, -1);
    if (row < 0 || row >= RowCount() || col >= ColCount() || HasCellSelection()) return;
    if (TRVTableCellData* cell = Rows.GetRow(row)->Cell(col))
        cell->MouseUp(button, shift, client.X, client.Y);
}

} // namespace epc
