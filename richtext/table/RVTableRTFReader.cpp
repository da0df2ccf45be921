#include "richtext/table/RVTableRTFReader.h"

#include <memory>

#include "richtext/document/RVData.h"
#include "richtext/table/RVTable.h"

namespace epc {

namespace {
// Cells per row and rows per table an import builds; more is not a table we wrote.
constexpr int MaxColumns = 1000;
} // namespace

// The paragraph a \cell ends is inserted after the word is seen: the cell's items end where
// the document stands at the next table word.
void TRVTableRTFReader::ResolvePending() {
    if (!FPending) return;
    FPending = false;
    const int end = FData->ItemCount();
    if (FCellNo < int(FRow.Cells.size())) {
        FRow.Cells[size_t(FCellNo)].First = FCellStart;
        FRow.Cells[size_t(FCellNo)].End = end;
    }
    ++FCellNo;
    FCellStart = end;
}

TRVTableRTFReader::TableRead* TRVTableRTFReader::OpenTable() {
    // A row that starts where the last table ended continues it.
    if (!FTables.empty() && FTables.back().End == FRowStart) return &FTables.back();
    FTables.emplace_back();
    FTables.back().Start = FTables.back().End = FRowStart;
    return &FTables.back();
}

bool TRVTableRTFReader::TableWord(std::string_view word, bool hasParam, int param) {
    ResolvePending();
    if (word == "trowd") {
        FRow = RowRead();
        FDef = CellDef();
        FCellNo = 0;
        FCellStart = FRowStart = FData->ItemCount();
        FInRow = true;
        return true;
    }
    if (!FInRow) return false;
    if (word == "cellx") {
        if (FRow.Cells.size() < size_t(MaxColumns)) FRow.Cells.push_back(FDef);
        FDef = CellDef();
        return true;
    }
    if (word == "clmrg")
        FDef.HMerge = true;
    else if (word == "clmgf")
        FDef.HFirst = true;
    else if (word == "clvmrg")
        FDef.VMerge = true;
    else if (word == "clvmgf")
        FDef.VFirst = true;
    else if (word == "clvertalc")
        FDef.VAlign = rvcMiddle;
    else if (word == "clvertalb")
        FDef.VAlign = rvcBottom;
    else if (word == "clcbpat" && hasParam) {
        // Index 0 is the automatic colour: the cell stays transparent.
        if (Colors && param > 0 && size_t(param) < Colors->size())
            FDef.Color = (*Colors)[size_t(param)];
    } else if (word == "richviewcbw" && hasParam)
        FDef.BestWidth = param;
    else if (word == "richviewcbh" && hasParam)
        FDef.BestHeight = param;
    else if (word == "richviewtbw" && hasParam)
        FTableWidth = param;
    else if (word == "trhdr")
        FRow.Heading = true;
    else if (word == "cell") {
        FPending = true;
        return false; // the reader ends the cell's paragraph
    } else if (word == "row") {
        FInRow = false;
        if (FRow.Cells.empty()) return true;
        TableRead* t = OpenTable();
        t->BestWidth = FTableWidth;
        t->Rows.push_back(FRow);
        t->End = FData->ItemCount();
        FCellStart = t->End;
        return true;
    }
    return false;
}

void TRVTableRTFReader::Finish() {
    ResolvePending();
    // Last table first: the item positions of the earlier ones stay valid.
    for (auto it = FTables.rbegin(); it != FTables.rend(); ++it) {
        TableRead& tr = *it;
        size_t cols = 0;
        for (const RowRead& row : tr.Rows)
            cols = std::max(cols, row.Cells.size());
        const int rowCount = int(tr.Rows.size()), colCount = int(cols);
        if (tr.Start < 0 || tr.End > FData->ItemCount() || tr.Start > tr.End) continue;
        auto table = TRVTableItemInfo::CreateSized(rowCount, FData, colCount);
        table->SetBestWidth(tr.BestWidth);
        int heading = 0;
        while (heading < rowCount && tr.Rows[size_t(heading)].Heading)
            ++heading;
        table->SetHeadingRowCount(heading);
        TRVTableRows& rows = table->Rows;
        auto def = [&](int r, int c) -> const CellDef* {
            const auto& cells = tr.Rows[size_t(r)].Cells;
            return size_t(c) < cells.size() ? &cells[size_t(c)] : nullptr;
        };
        for (int r = 0; r < rowCount; ++r)
            for (int c = 0; c < colCount; ++c) {
                TRVTableCellData* cell = rows.GetRow(r)->Cell(c);
                const CellDef* d = def(r, c);
                if (!cell || !d) continue;
                cell->BestWidth = d->BestWidth;
                cell->BestHeight = d->BestHeight;
                cell->VAlign = TRVCellVAlign(d->VAlign);
                cell->Color = d->Color;
                // The contents move from the document into the cell.
                if (d->First >= tr.Start && d->End <= tr.End && d->First < d->End) {
                    cell->ClearAllItems();
                    for (int i = d->First; i < d->End; ++i) {
                        TRVItemEntry& e = FData->Items()[i];
                        if (e.Item) cell->AppendItem(e.Text, std::move(e.Item));
                    }
                }
                if (d->HMerge || d->VMerge) continue;
                // Spans: merged positions to the right and below.
                int colSpan = 1, rowSpan = 1;
                while (c + colSpan < colCount && def(r, c + colSpan) &&
                       def(r, c + colSpan)->HMerge && !def(r, c + colSpan)->VMerge)
                    ++colSpan;
                while (r + rowSpan < rowCount && def(r + rowSpan, c) && def(r + rowSpan, c)->VMerge)
                    ++rowSpan;
                bool free = true;
                for (int rr = r; rr < r + rowSpan && free; ++rr)
                    for (int cc = c; cc < c + colSpan; ++cc)
                        if (!rows.GetRow(rr)->Cell(cc)) free = false;
                if (!free || (colSpan == 1 && rowSpan == 1)) continue;
                for (int rr = r; rr < r + rowSpan; ++rr)
                    for (int cc = c; cc < c + colSpan; ++cc)
                        if (rr != r || cc != c) rows.GetRow(rr)->TakeCell(cc);
                cell->ColSpan = colSpan;
                cell->RowSpan = rowSpan;
            }
        // Covered positions' contents (empty in what we write) go with the replaced range.
        FData->DeleteItemRange(tr.Start, tr.End - tr.Start);
        TRVTableItemInfo* t = table.get();
        FData->InsertItemObjectAt(tr.Start, std::string(), std::move(table));
        t->Inserted(FData, tr.Start);
    }
    FTables.clear();
}

} // namespace epc
