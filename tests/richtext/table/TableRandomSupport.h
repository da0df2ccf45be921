#pragma once
// Random spans for the round-trip tests of stored tables, and tables added to documents.

#include <memory>
#include <random>
#include <string>
#include <utility>

#include "richtext/table/RVTable.h"

namespace epc::test {

// Tries Count random merges on a table of Rows x Cols; a merge the grid refuses is skipped.
inline void MergeRandomly(std::mt19937& rng, TRVTableItemInfo& table, int rows, int cols,
                          int count) {
    for (int k = 0; k < count; ++k) {
        const int r = int(rng() % rows), c = int(rng() % cols);
        const int cs = 1 + int(rng() % (cols - c)), rs = 1 + int(rng() % (rows - r));
        try {
            table.Rows.MergeCellRange(r, c, cs, rs, true, false);
        } catch (const Exception&) {
        }
    }
}

// A new Rows x Cols table appended to a document (or a cell) and told it lies there.
inline TRVTableItemInfo* AppendTable(TCustomRVData* into, int rows, int cols) {
    auto table = TRVTableItemInfo::CreateSized(rows, into, cols);
    TRVTableItemInfo* t = table.get();
    into->AppendItem(std::string(), std::move(table));
    t->Inserted(into, into->ItemCount() - 1);
    return t;
}

} // namespace epc::test
