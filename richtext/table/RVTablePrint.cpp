// Splitting a printed table into page parts between rows, with heading rows repeated on top of
// every part.

#include <algorithm>

#include "richtext/table/RVTable.h"

namespace epc {

TRVTablePrintInfo::TRVTablePrintInfo(TRVTableItemInfo* table) : FTable(table) {}

bool TRVTablePrintInfo::CanSplit() const {
    return FTable && FTable->RowCount() > 0 &&
           FTable->PrintOptions.Contains(TRVTablePrintOption::rvtoRowsSplit);
}

int TRVTablePrintInfo::RepeatedHeadingRows() const {
    if (!FTable || !FTable->HeadingRowsValid()) return 0;
    const int n = std::min(FTable->HeadingRowCount(), FTable->RowCount());
    return n < FTable->RowCount() ? n : 0;
}

int TRVTablePrintInfo::PartHeight(int first, int count) const {
    const TRVTableItemFormattingInfo& fi = FTable->Formatting();
    const int rows = FTable->RowCount();
    if (rows == 0 || fi.RowStarts.Count() != rows || count <= 0) return fi.Height;
    const int lastRow = rows - 1;
    const int top = fi.RowStarts[0];
    const int bottom = fi.Height - (fi.RowStarts[lastRow] + fi.RowHeights[lastRow]);
    const int headings = RepeatedHeadingRows();
    const int headingExtent =
        headings > 0 && first >= headings ? fi.RowStarts[headings] - fi.RowStarts[0] : 0;
    const int last = std::min(first + count, rows) - 1;
    return top + headingExtent + fi.RowStarts[last] + fi.RowHeights[last] - fi.RowStarts[first] +
           bottom;
}

TRVTablePrintPart* TRVTablePrintInfo::Part(int index) const {
    return dynamic_cast<TRVTablePrintPart*>(PartsList.Items(index));
}

void TRVTablePrintInfo::EnsureRowParts() {
    if (PartsList.Count() > 0 && Part(0)) return;
    PartsList.Clear();
    auto first = std::make_unique<TRVTablePrintPart>();
    first->FirstRow = RepeatedHeadingRows();
    first->RowCount = FTable->RowCount() - first->FirstRow;
    first->Height = Height > 0 ? Height : FTable->Formatting().Height;
    PartsList.Add(std::move(first));
}

bool TRVTablePrintInfo::FitsFirstPart(int height) const {
    if (!CanSplit()) return false;
    const int first = RepeatedHeadingRows();
    if (first >= FTable->RowCount()) return false;
    // The first part prints the rows before its first body row as well (the headings).
    return PartHeight(0, first + 1) <= height;
}

bool TRVTablePrintInfo::SplitAt(int height) {
    if (PartsList.Count() == 0) throw ERichViewError(errRVInternalPrinting);
    EnsureRowParts();
    TRVTablePrintPart* last = Part(PartsList.Count() - 1);
    if (!last) throw ERichViewError(errRVInternalPrinting);
    const int f = last->FirstRow, n = last->RowCount;
    if (n <= 1 || last->Height <= height) return false;
    // The first part holds the heading rows as body rows of its own.
    const int partTop = PartsList.Count() == 1 ? 0 : f;
    int fit = 0;
    while (fit < n && PartHeight(partTop, f + fit + 1 - partTop) <= height)
        ++fit;
    // A row taller than the page goes alone onto its page, cut at the bottom.
    fit = std::max(fit, 1);
    int split = f + fit;
    // No cell spanning several rows is cut: end before its first row...
    for (bool moved = true; moved && split > f;) {
        moved = false;
        for (int r = f; r < split && !moved; ++r)
            for (int c = 0; c < FTable->ColCount(); ++c)
                if (TRVTableCellData* cell = FTable->Rows.GetRow(r)->Cell(c);
                    cell && r < split && r + cell->RowSpan > split) {
                    split = r;
                    moved = true;
                    break;
                }
    }
    // ...or, when that leaves nothing, after the cells spanning from the part's first row.
    if (split <= f) {
        split = f + 1;
        for (int c = 0; c < FTable->ColCount(); ++c) {
            int mr, mc;
            TRVTableCellData* cell = FTable->Rows.GetMainCell(f, c, mr, mc);
            if (cell) split = std::max(split, mr + cell->RowSpan);
        }
    }
    if (split > f + n) throw ERichViewError(errRVInternalPrinting);
    if (split == f + n) return false;
    auto rest = std::make_unique<TRVTablePrintPart>();
    rest->FirstRow = split;
    rest->RowCount = f + n - split;
    rest->Height = PartHeight(split, rest->RowCount);
    last->RowCount = split - f;
    last->Height = std::min(PartHeight(partTop, split - partTop), height);
    PartsList.Add(std::move(rest));
    return true;
}

} // namespace epc
