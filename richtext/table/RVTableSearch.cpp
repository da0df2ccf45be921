// Searching text cell by cell: every cell remembers where its last search stopped, the table
// remembers the cell, and a nested table searches its own cells as one item of its cell.

#include <algorithm>

#include "platform/core/Strings.h"
#include "richtext/table/RVTable.h"

namespace epc {

namespace {

// The index of a match in Text at or after From (down) or ending at or before To (up); npos
// when there is none.
size_t FindIn(const std::u16string& text, const std::u16string& what, bool down, size_t from,
              size_t to, const std::u16string& delimiters, bool wholeWord,
              const std::u16string& original) {
    auto bounded = [&](size_t at) {
        if (!wholeWord) return true;
        auto delimiter = [&](size_t i) {
            return delimiters.find(original[i]) != std::u16string::npos;
        };
        return (at == 0 || delimiter(at - 1)) &&
               (at + what.size() == original.size() || delimiter(at + what.size()));
    };
    if (what.size() > text.size()) return std::u16string::npos;
    if (down) {
        for (size_t at = text.find(what, from); at != std::u16string::npos;
             at = text.find(what, at + 1))
            if (bounded(at)) return at;
        return std::u16string::npos;
    }
    if (to < what.size()) return std::u16string::npos;
    for (size_t at = text.rfind(what, to - what.size()); at != std::u16string::npos;
         at = at == 0 ? std::u16string::npos : text.rfind(what, at - 1))
        if (bounded(at)) return at;
    return std::u16string::npos;
}

} // namespace

bool TRVTableCellData::SearchText(bool down, TRVSearchOptions options, const std::u16string& text) {
    FFoundItemNo = -1;
    const int count = ItemCount();
    if (text.empty() || count == 0) return false;
    const bool matchCase = options.Contains(TRVSearchOption::rvsoMatchCase);
    const std::u16string what = matchCase ? text : WideLowerCase(text);
    const bool resume = FSearchItemNo >= 0 && FSearchItemNo < count;
    int item = resume ? FSearchItemNo : down ? 0 : count - 1;
    // Down goes on after the last find, up before it; a new item is searched whole.
    int offs = !resume ? -1 : down ? FSearchEnd : FSearchStart;
    for (; item >= 0 && item < count; item += down ? 1 : -1, offs = -1) {
        if (auto* table = dynamic_cast<TRVTableItemInfo*>(GetItem(item))) {
            if (table->SearchText(down, options, text)) {
                FSearchItemNo = item;
                FSearchStart = FSearchEnd = -1;
                FFoundItemNo = item;
                FFoundStart = 0;
                FFoundEnd = 1;
                return true;
            }
            continue;
        }
        if (GetItemStyleNo(item) < 0) continue;
        const std::u16string original = GetItemTextW(item);
        const std::u16string hay = matchCase ? original : WideLowerCase(original);
        const size_t from = offs < 0 ? 0 : size_t(std::max(offs - 1, 0));
        const size_t to =
            offs < 0 ? hay.size() : std::min(size_t(std::max(offs - 1, 0)), hay.size());
        const size_t at = FindIn(hay, what, down, from, to, GetDelimiters(),
                                 options.Contains(TRVSearchOption::rvsoWholeWord), original);
        if (at == std::u16string::npos) continue;
        FFoundItemNo = item;
        FFoundStart = int(at) + 1;
        FFoundEnd = int(at + what.size()) + 1;
        FSearchItemNo = item;
        FSearchStart = FFoundStart;
        FSearchEnd = FFoundEnd;
        if (DrawItems.Count() > 0) SetSelectionBounds(item, item, FFoundStart, FFoundEnd);
        return true;
    }
    ResetSearch();
    return false;
}

void TRVTableCellData::ResetSearch() {
    FSearchItemNo = -1;
    FSearchStart = FSearchEnd = -1;
    for (int i = 0; i < ItemCount(); ++i)
        if (auto* table = dynamic_cast<TRVTableItemInfo*>(GetItem(i))) table->ResetSearch();
}

void TRVTableItemInfo::ValidateCellPair(int& row, int& col) const {
    if (row < 0 || row >= RowCount() || col < 0 || col >= ColCount()) {
        row = col = -1;
        return;
    }
    int mainRow, mainCol;
    Rows.GetMainCell(row, col, mainRow, mainCol);
    row = mainRow;
    col = mainCol;
}

bool TRVTableItemInfo::SearchText(bool down, TRVSearchOptions options, const std::u16string& text) {
    ValidateCellPair(FSearchRow, FSearchCol);
    if (RowCount() == 0 || ColCount() == 0 || text.empty()) return false;
    if (FSearchRow < 0) {
        if (down) {
            Rows.GetMainCell(0, 0, FSearchRow, FSearchCol);
        } else {
            // Upwards from the last cell in reading order: the cell covering the last position
            // may come before cells of later rows (a merged cell left of them), which the
            // steps back would never reach.
            for (int r = RowCount() - 1; r >= 0 && FSearchRow < 0; --r)
                for (int c = ColCount() - 1; c >= 0 && FSearchRow < 0; --c)
                    if (Rows.GetRow(r)->Cell(c)) {
                        FSearchRow = r;
                        FSearchCol = c;
                    }
            if (FSearchRow < 0) return false;
        }
    }
    while (true) {
        if (TRVTableCellData* cell = GetCell(FSearchRow, FSearchCol))
            if (cell->SearchText(down, options, text)) return true;
        int row, col;
        if (!GetNeighbourCell(FSearchRow, FSearchCol, col, row, down ? 6 : 7)) {
            FSearchRow = FSearchCol = -1;
            return false;
        }
        FSearchRow = row;
        FSearchCol = col;
    }
}

void TRVTableItemInfo::ResetSearch() {
    ValidateCellPair(FSearchRow, FSearchCol);
    if (FSearchRow >= 0)
        if (TRVTableCellData* cell = GetCell(FSearchRow, FSearchCol)) cell->ResetSearch();
    FSearchRow = FSearchCol = -1;
}

} // namespace epc
