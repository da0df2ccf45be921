#include "richtext/table/RVTableRTFReader.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <utility>

#include "richtext/document/RVData.h"
#include "richtext/table/RVTable.h"

namespace epc {

namespace {
// Cells per row and nesting levels an import builds; more is not a table we wrote.
constexpr int MaxColumns = 1000;
constexpr int MaxLevels = 32;
constexpr double twipsPerPixel = 15.0;

// The look of one set of border sides, as our writer gives it: raised or lowered without
// colours, else lines whose left and top sides may have another colour (the light one of a
// raised look) than the right and bottom ones.
struct BorderLook {
    bool Shows = false;
    int Width = 0; // pixels
    TRVTableBorderStyle Style = rvtbColor;
    TColor Color = clNone, Light = clNone;
};

template <class Sides> BorderLook LookOf(const Sides& sides) {
    BorderLook look;
    int twips = 0;
    const auto* first = static_cast<decltype(&sides[0])>(nullptr);
    for (const auto& side : sides)
        if (side.Shows()) {
            twips = std::max(twips, side.Twips);
            if (!first) first = &side;
        }
    if (!first) return look;
    look.Shows = true;
    look.Width = std::clamp(int(std::lround(twips / twipsPerPixel)), 1, 1000);
    if (first->Kind != 0) {
        look.Style = first->Kind == 1 ? rvtbRaised : rvtbLowered;
        return look;
    }
    auto colorOf = [&](int a, int b) {
        return sides[size_t(a)].Shows()   ? &sides[size_t(a)]
               : sides[size_t(b)].Shows() ? &sides[size_t(b)]
                                          : nullptr;
    };
    const auto* topLeft = colorOf(0, 1);
    const auto* bottomRight = colorOf(2, 3);
    // The automatic colour is the text colour.
    auto color = [](TColor c) { return c == clNone ? clWindowText : c; };
    if (topLeft && bottomRight && color(topLeft->Color) != color(bottomRight->Color)) {
        look.Style = rvtbRaisedColor;
        look.Color = color(bottomRight->Color);
        look.Light = color(topLeft->Color);
    } else {
        look.Color = color((bottomRight ? bottomRight : topLeft)->Color);
    }
    return look;
}
} // namespace

int TRVTableRTFReader::Here() const {
    // Items this word took are not yet accounted for in the reader's position.
    return std::clamp(ItemPosition - ItemsTaken, 0, FData->ItemCount());
}

TRVTableRTFReader::Level& TRVTableRTFReader::At(int level) {
    level = std::clamp(level, 1, MaxLevels);
    if (FLevels.size() <= size_t(level)) FLevels.resize(size_t(level) + 1);
    return FLevels[size_t(level)];
}

// The paragraph a \cell ends is inserted after the word is seen: the cell's items end where
// the document stands at the next table word. Tables read inside the cell are built first, so
// that the range holds them as single items.
void TRVTableRTFReader::ResolvePending() {
    if (FPendingLevel == 0) return;
    const int level = std::exchange(FPendingLevel, 0);
    BuildTablesBelow(level);
    Level& lv = At(level);
    int end = Here();
    // A cell whose contents end with a table, then only empty paragraphs, ends with the cell's
    // end mark: the last of those paragraphs, not part of the contents.
    const int cellStart = std::max(lv.CellStart, 0);
    auto emptyPara = [&](int i) {
        return FData->GetItemStyleNo(i) >= 0 && FData->GetItemText(i).empty() &&
               FData->GetItem(i)->StartsParagraph();
    };
    int before = end - 1;
    while (before >= cellStart && emptyPara(before))
        --before;
    if (before < end - 1 && before >= cellStart &&
        dynamic_cast<TRVTableItemInfo*>(FData->GetItem(before))) {
        FData->DeleteItemRange(end - 1, 1);
        ++ItemsTaken;
        --end;
    }
    if (lv.Filled.size() < size_t(MaxColumns)) lv.Filled.emplace_back(lv.CellStart, end);
    lv.CellStart = end;
}

void TRVTableRTFReader::StartRowIfIdle(int level) {
    Level& lv = At(level);
    if (!lv.Filled.empty()) return;
    lv.CellStart = lv.RowStart = Here();
}

void TRVTableRTFReader::EnterLevel(int level) {
    level = std::clamp(level, 0, MaxLevels);
    for (int l = FLevel + 1; l <= level; ++l)
        StartRowIfIdle(l);
    FLevel = level;
}

TRVTableRTFReader::RowRead& TRVTableRTFReader::DefRow() {
    if (FDefLevel == 0) {
        FDefLevel = std::max(FLevel, 1);
        Level& lv = At(FDefLevel);
        lv.Def = RowRead();
        lv.TableWidth = 0;
        // A definition that comes before the row's cells starts the row.
        StartRowIfIdle(FDefLevel);
    }
    return At(FDefLevel).Def;
}

void TRVTableRTFReader::EndRow(int level) {
    BuildTablesBelow(level);
    Level& lv = At(level);
    RowRead row = lv.Def;
    const size_t filled = std::min(row.Cells.size(), lv.Filled.size());
    for (size_t i = 0; i < filled; ++i) {
        row.Cells[i].First = lv.Filled[i].first;
        row.Cells[i].End = lv.Filled[i].second;
    }
    const int end = Here();
    if (!row.Cells.empty() && lv.RowStart >= 0) {
        // A row that starts where the last table of its level ended continues it.
        if (lv.Tables.empty() || lv.Tables.back().End != lv.RowStart) {
            lv.Tables.emplace_back();
            lv.Tables.back().Start = lv.RowStart;
        }
        TableRead& t = lv.Tables.back();
        t.BestWidth = lv.TableWidth;
        t.Rows.push_back(std::move(row));
        t.End = end;
    }
    lv.Filled.clear();
    lv.CellStart = lv.RowStart = end;
}

void TRVTableRTFReader::BuildTablesBelow(int level) {
    for (int l = int(FLevels.size()) - 1; l > level; --l) {
        Level& lv = FLevels[size_t(l)];
        // Last table first: the item positions of the earlier ones stay valid.
        for (auto it = lv.Tables.rbegin(); it != lv.Tables.rend(); ++it)
            BuildTable(*it);
        lv.Tables.clear();
        lv.Filled.clear();
        lv.CellStart = lv.RowStart = -1;
    }
}

bool TRVTableRTFReader::TableWord(std::string_view word, bool hasParam, int param) {
    ResolvePending();
    if (word == "trowd") {
        FSeenRow = true;
        FDef = CellDef();
        FDefLevel = 0;
        FSide = -1;
        return true;
    }
    if (!FSeenRow) return false;
    if (word.starts_with("trbrdr") || word.starts_with("clbrdr") || word.starts_with("brdr") ||
        word == "brsp") {
        BorderWord(word, hasParam, param);
        return true;
    }
    if (word == "itap") {
        EnterLevel(hasParam ? param : 1);
        return true;
    }
    if (word == "intbl") {
        if (FLevel == 0) EnterLevel(1);
        return true;
    }
    if (word == "cellx") {
        RowRead& def = DefRow();
        FDef.Right = param;
        FDef.HasRight = hasParam;
        if (def.Cells.size() < size_t(MaxColumns)) def.Cells.push_back(FDef);
        FDef = CellDef();
        FSide = -1;
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
    else if (word == "richviewtbw" && hasParam) {
        DefRow();
        At(FDefLevel).TableWidth = param;
    } else if (word == "trhdr")
        DefRow().Heading = true;
    else if (word == "cell" || word == "nestcell") {
        // A cell ends at level 1, a nested cell at the paragraph's own (deeper) level.
        const int level = word == "cell" ? 1 : std::clamp(FLevel, 2, MaxLevels);
        if (level == 1) FLevel = 1;
        FPendingLevel = level;
        return false; // the reader ends the cell's paragraph
    } else if (word == "row" || word == "nestrow") {
        const int level = word == "row" ? 1 : std::clamp(FLevel, 2, MaxLevels);
        EndRow(level);
        // What follows a row belongs to the level around it unless it says otherwise: a cell
        // may end right after a table it holds.
        FLevel = level - 1;
        return true;
    }
    return false;
}

TRVTableRTFReader::BorderSide* TRVTableRTFReader::CurrentSide() {
    if (FSide < 0) return nullptr;
    if (FSide < 4) return &FDef.Border[size_t(FSide)];
    return &DefRow().Border[size_t(FSide - 4)];
}

void TRVTableRTFReader::BorderWord(std::string_view word, bool hasParam, int param) {
    if (word.starts_with("trbrdr") || word.starts_with("clbrdr")) {
        // \trbrdrh and \trbrdrv (the lines between cells) have no setting of ours.
        constexpr std::string_view sides = "ltrb";
        const size_t at = word.size() == 7 ? sides.find(word[6]) : std::string_view::npos;
        FSide = at == std::string_view::npos ? -1 : int(at) + (word[0] == 't' ? 4 : 0);
        if (BorderSide* side = CurrentSide()) *side = BorderSide{.Set = true};
        return;
    }
    BorderSide* side = CurrentSide();
    if (!side) return;
    if (word == "brdrw") {
        side->Twips = hasParam ? std::clamp(param, 0, 10000) : 0;
    } else if (word == "brdrcf") {
        // Index 0 is the automatic colour.
        side->Color = Colors && hasParam && param > 0 && size_t(param) < Colors->size()
                          ? (*Colors)[size_t(param)]
                          : clNone;
    } else if (word == "brdrnone" || word == "brdrnil" || word == "brdrtbl") {
        side->None = true;
    } else if (word == "brdroutset") {
        side->Kind = 1;
    } else if (word == "brdrinset") {
        side->Kind = 2;
    } else if (word != "brsp") {
        side->Kind = 0; // every other look is drawn as a line
    }
}

void TRVTableRTFReader::SpreadOverColumns(std::vector<RowRead>& rows) {
    std::vector<int> bounds;
    for (const RowRead& row : rows)
        for (size_t i = 0; i < row.Cells.size(); ++i) {
            // Positions that do not grow along a row give no grid: cells stay one per column.
            if (!row.Cells[i].HasRight || (i > 0 && row.Cells[i].Right <= row.Cells[i - 1].Right))
                return;
            bounds.push_back(row.Cells[i].Right);
        }
    std::sort(bounds.begin(), bounds.end());
    bounds.erase(std::unique(bounds.begin(), bounds.end()), bounds.end());
    if (bounds.size() > size_t(MaxColumns)) return;
    for (RowRead& row : rows) {
        if (row.Cells.size() == bounds.size()) continue;
        std::vector<CellDef> spread;
        for (const CellDef& cell : row.Cells) {
            spread.push_back(cell);
            const size_t end =
                size_t(std::lower_bound(bounds.begin(), bounds.end(), cell.Right) - bounds.begin());
            // The columns the cell covers beyond its first are merged into it.
            while (spread.size() <= end) {
                CellDef covered;
                covered.HMerge = true;
                covered.VMerge = cell.VMerge;
                spread.push_back(covered);
            }
        }
        row.Cells = std::move(spread);
    }
}

void TRVTableRTFReader::BuildTable(const TableRead& read) {
    TableRead tr = read;
    SpreadOverColumns(tr.Rows);
    size_t cols = 0;
    for (const RowRead& row : tr.Rows)
        cols = std::max(cols, row.Cells.size());
    const int rowCount = int(tr.Rows.size()), colCount = int(cols);
    if (rowCount == 0 || colCount == 0 || tr.Start < 0 || tr.End > FData->ItemCount() ||
        tr.Start > tr.End)
        return;
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
                    if (!e.Item) continue;
                    cell->AppendItem(e.Text, std::move(e.Item));
                    // A table built from a nested level now lives in the cell.
                    const int at = cell->ItemCount() - 1;
                    if (auto* nested = dynamic_cast<TRVTableItemInfo*>(cell->GetItem(at)))
                        nested->Inserted(cell, at);
                }
            }
            if (d->HMerge || d->VMerge) continue;
            // Spans: merged positions to the right and below.
            int colSpan = 1, rowSpan = 1;
            while (c + colSpan < colCount && def(r, c + colSpan) && def(r, c + colSpan)->HMerge &&
                   !def(r, c + colSpan)->VMerge)
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
    // Borders: the table's from its first row that has one; the cells' width and look from the
    // first cell that has one, each cell showing its own sides in its own colours.
    for (const RowRead& row : tr.Rows)
        if (const BorderLook look = LookOf(row.Border); look.Shows) {
            table->SetBorderWidth(look.Width);
            table->SetBorderStyle(look.Style);
            if (look.Color != clNone) table->SetBorderColor(look.Color);
            if (look.Light != clNone) table->SetBorderLightColor(look.Light);
            break;
        }
    BorderLook cellLook;
    int cellWidth = 0;
    for (int r = 0; r < rowCount; ++r)
        for (int c = 0; c < colCount; ++c)
            if (rows.GetRow(r)->Cell(c) && def(r, c))
                if (const BorderLook look = LookOf(def(r, c)->Border); look.Shows) {
                    if (!cellLook.Shows) cellLook = look;
                    cellWidth = std::max(cellWidth, look.Width);
                }
    if (cellLook.Shows) {
        table->SetCellBorderWidth(cellWidth);
        table->SetCellBorderStyle(cellLook.Style);
        if (cellLook.Color != clNone) table->SetCellBorderColor(cellLook.Color);
        if (cellLook.Light != clNone) table->SetCellBorderLightColor(cellLook.Light);
        for (int r = 0; r < rowCount; ++r)
            for (int c = 0; c < colCount; ++c) {
                TRVTableCellData* cell = rows.GetRow(r)->Cell(c);
                const CellDef* d = def(r, c);
                if (!cell || !d) continue;
                const Borders& b = d->Border;
                cell->SetVisibleBorders(b[0].Shows(), b[1].Shows(), b[2].Shows(), b[3].Shows());
                const BorderLook look = LookOf(b);
                if (look.Color != clNone && look.Color != table->CellBorderColor())
                    cell->BorderColor = look.Color;
                if (look.Light != clNone && look.Light != table->CellBorderLightColor())
                    cell->BorderLightColor = look.Light;
            }
    }
    // Covered positions' contents (empty in what we write) go with the replaced range.
    FData->DeleteItemRange(tr.Start, tr.End - tr.Start);
    TRVTableItemInfo* t = table.get();
    FData->InsertItemObjectAt(tr.Start, std::string(), std::move(table));
    t->Inserted(FData, tr.Start);
    ItemsTaken += tr.End - tr.Start - 1;
}

void TRVTableRTFReader::Finish() {
    // A cell still waiting for its end belongs to no row.
    FPendingLevel = 0;
    BuildTablesBelow(0);
    ItemsTaken = 0;
    FLevels.clear();
    FLevel = FDefLevel = 0;
}

} // namespace epc
