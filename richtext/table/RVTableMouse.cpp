// Hit testing inside a laid-out table and the rectangle of selected cells.

#include <algorithm>

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

} // namespace epc
