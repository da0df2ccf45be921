#include "richtext/table/RVTableUndo.h"

#include <algorithm>

#include "richtext/document/RVGraphicSupport.h"
#include "richtext/edit/RVERVData.h"

namespace epc {

namespace {

bool Recording(const TRVTableItemInfo& table) {
    return table.GetEditUndoList() != nullptr;
}

// Adds a record of type T carrying Fields, when the table records undo.
template <class T, class Fields>
void Record(TRVTableItemInfo& table, bool forward, const Fields& fields) {
    if (Recording(table)) table.AddUndoRecord(RVNewTableRecord<T>(table, forward, fields));
}

TRVTableRow* RowAt(TRVTableItemInfo& table, int row) {
    if (row < 0 || row >= table.Rows.RowCount()) throw ERichViewError(errRVTableIndex);
    return table.Rows.GetRow(row);
}

TRVTableCellData* CellAt(TRVTableItemInfo& table, int row, int col) {
    TRVTableRow* r = RowAt(table, row);
    if (col < 0 || col >= r->Count() || !r->Cell(col)) throw ERichViewError(errRVTableIndex);
    return r->Cell(col);
}

std::unique_ptr<TRVTableCellData> TakeEntry(TRVTableRow* row, int col) {
    std::unique_ptr<TObject> object = row->DeleteWithoutFree(col);
    auto* cell = static_cast<TRVTableCellData*>(object.release());
    return std::unique_ptr<TRVTableCellData>(cell);
}

void InsertEntry(TRVTableRow* row, int col, std::unique_ptr<TRVTableCellData> cell) {
    TRVTableCellData* raw = cell.get();
    row->Insert(col, std::move(cell));
    if (raw) raw->RestoreFromUndo(row);
}

// Moves the last Count items of Source to the end of Target, with their checkpoints and list
// markers.
void MoveTailItems(TRVTableCellData& source, TRVTableCellData& target, int count) {
    auto& from = source.Items().Entries();
    count = std::clamp(count, 0, int(from.size()));
    const size_t first = from.size() - size_t(count);
    for (size_t i = first; i < from.size(); ++i) {
        TCustomRVItemInfo* item = from[i].Item.get();
        if (item->Checkpoint) source.DetachCheckpoint(item->Checkpoint.get(), true);
        if (item->StyleNo == rvsListMarker)
            source.RemoveMarkerFromList(static_cast<TRVMarkerItemInfo*>(item));
        target.Items().Entries().push_back(std::move(from[i]));
        if (TRVCPInfo* cp = item->Checkpoint.get()) {
            cp->ItemInfo = item;
            target.LinkCheckpointInOrder(cp);
            ++target.CPCount;
        }
        if (item->StyleNo == rvsListMarker)
            target.AddMarkerToList(static_cast<TRVMarkerItemInfo*>(item));
    }
    from.erase(from.begin() + std::ptrdiff_t(first), from.end());
    source.ClearFormatting();
    target.ClearFormatting();
    RVRebindItems(target);
}

void SetCellField(TRVTableCellData& cell, const std::string& name, int32_t value) {
    if (name == "Color")
        cell.SetColor(value);
    else if (name == "BorderColor")
        cell.BorderColor = value;
    else if (name == "BorderLightColor")
        cell.BorderLightColor = value;
    else if (name == "BestWidth")
        cell.SetBestWidth(value);
    else if (name == "BestHeight")
        cell.SetBestHeight(value);
    else if (name == "VAlign")
        cell.VAlign = TRVCellVAlign(value);
    else if (name == "BackgroundStyle")
        cell.SetBackgroundStyle(TRVItemBackgroundStyle(value));
}

bool ValidCellValue(const std::string& name, int32_t value) {
    if (name == "BestHeight") return value >= 0;
    if (name == "VAlign") return value >= rvcTop && value <= rvcVDefault;
    if (name == "BackgroundStyle") return value >= rvbsColor && value <= rvbsCentered;
    return true;
}

// Replays with the table's records going to the reverse list.
class TUndoTargetScope {
public:
    TUndoTargetScope(TRVTableItemInfo& table, TRVUndoList* reverse)
        : FTable(table), FOld(table.GetEditUndoList()), FWasSet(table.UndoTargetSet()) {
        table.SetUndoTarget(reverse && reverse->LastGroup() ? reverse : nullptr, true);
    }
    ~TUndoTargetScope() { FTable.SetUndoTarget(FOld, FWasSet); }

private:
    TRVTableItemInfo& FTable;
    TRVUndoList* FOld;
    bool FWasSet;
};

} // namespace

TRVTableItemInfo* RVTableAtItem(TCustomRVData* rvData, int itemNo) {
    if (!rvData || itemNo < 0 || itemNo >= rvData->ItemCount()) return nullptr;
    return dynamic_cast<TRVTableItemInfo*>(rvData->GetItem(itemNo));
}

void RVRebindItems(TCustomRVData& data) {
    for (int i = 0; i < data.ItemCount(); ++i)
        data.GetItem(i)->Inserted(&data, i);
}

// ---------------------------------------------------------------------------------------------
// Properties.

bool RVTableGetIntProperty(const TRVTableItemInfo& table, int row, int col, const std::string& name,
                           int32_t& value) {
    const TRVIntPropertyHolder* holder = &table;
    if (row >= 0) {
        if (row >= table.Rows.RowCount() || col < 0 || col >= table.Rows.GetColCount())
            return false;
        holder = table.Rows.GetRow(row)->Cell(col);
    }
    int v = 0;
    if (!holder || !holder->GetIntProperty(name, v)) return false;
    value = v;
    return true;
}

void RVTableSetIntProperty(TRVTableItemInfo& table, int row, int col, const std::string& name,
                           int32_t value, bool affectsWidth, bool affectsHeight) {
    TRVIntPropertyHolder* holder = &table;
    if (row >= 0) holder = CellAt(table, row, col);
    int old = 0;
    if (!holder->GetIntProperty(name, old) || old == value) return;
    if (row >= 0 && !ValidCellValue(name, value)) return;
    auto* data = dynamic_cast<TRVEditRVData*>(table.GetRVData());
    if (data && Recording(table)) {
        // The table's own properties take the item's record; a cell's record finds its cell by
        // row and column, never by a reference to it.
        if (row < 0)
            data->SetItemIntPropertyUndoable(nullptr, table.GetItemNo(), nullptr, name, value,
                                             affectsWidth, affectsHeight);
        else if (auto* record = data->SetItemIntPropertyUndoable(
                     std::make_unique<TRVUndoModifyCellIntProperty>(row, col), table.GetItemNo(),
                     holder, name, value, affectsWidth, affectsHeight))
            record->Target = nullptr;
    } else
        holder->SetIntProperty(name, value);
    table.SetChangedFlag();
    RVTableCellEditorFollows(table, name, row, col);
}

void TRVUndoTableInfo::Undo(TCustomRVData* rvData, TRVUndoList* reverse) {
    TRVTableItemInfo* table = RVTableAtItem(rvData, ItemNo);
    if (!table) return;
    TUndoTargetScope scope(*table, reverse);
    Replay(*table);
    table->SetChangedFlag();
}

namespace {

TRVIntPropertyHolder* HolderAt(TRVEditRVData& data, int itemNo, int row, int col) {
    TRVTableItemInfo* table = RVTableAtItem(&data, itemNo);
    if (!table || row < 0) return table;
    if (row >= table->RowCount() || col < 0 || col >= table->ColCount()) return nullptr;
    return table->Rows.GetRow(row)->Cell(col);
}

} // namespace

TRVIntPropertyHolder* TRVUndoModifyCellIntProperty::GetTarget(TRVEditRVData& data) {
    return HolderAt(data, ItemNo, Row, Col);
}

std::unique_ptr<TRVUndoModifyItemIntProperty> TRVUndoModifyCellIntProperty::CreateReverse() const {
    return std::make_unique<TRVUndoModifyCellIntProperty>(Row, Col);
}

TRVIntPropertyHolder* TRVUndoModifyCellIntProperties::GetTarget(TRVEditRVData& data) {
    return HolderAt(data, ItemNo, Row, Col);
}

std::unique_ptr<TRVUndoModifyItemIntProperties>
TRVUndoModifyCellIntProperties::CreateReverse() const {
    return std::make_unique<TRVUndoModifyCellIntProperties>(Row, Col);
}

bool TRVTableCellData::GetIntProperty(const std::string& name, int& value) const {
    if (name == "Color")
        value = Color;
    else if (name == "BorderColor")
        value = BorderColor;
    else if (name == "BorderLightColor")
        value = BorderLightColor;
    else if (name == "BestWidth")
        value = BestWidth;
    else if (name == "BestHeight")
        value = BestHeight;
    else if (name == "VAlign")
        value = VAlign;
    else if (name == "BackgroundStyle")
        value = BackgroundStyle();
    else
        return false;
    return true;
}

bool TRVTableCellData::SetIntProperty(const std::string& name, int value) {
    int old = 0;
    if (!GetIntProperty(name, old) || !ValidCellValue(name, value)) return false;
    SetCellField(*this, name, value);
    if (TRVTableItemInfo* table = GetTable()) {
        table->SetChangedFlag();
        int row, col;
        if (table->GetCellPosition(this, row, col))
            RVTableCellEditorFollows(*table, name, row, col);
    }
    return true;
}

bool TRVTableItemInfo::GetIntProperty(const std::string& name, int& value) const {
    if (int32_t TRVTableItemInfo::*field = IntFieldByName(name))
        value = this->*field;
    else if (name == "BorderStyle")
        value = BorderStyle();
    else if (name == "CellBorderStyle")
        value = CellBorderStyle();
    else if (name == "VOutermostRule")
        value = VOutermostRule();
    else if (name == "HOutermostRule")
        value = HOutermostRule();
    else if (name == "BackgroundStyle")
        value = BackgroundStyle();
    else
        return false;
    return true;
}

bool TRVTableItemInfo::SetIntProperty(const std::string& name, int value) {
    TUnrecordedScope unrecorded(*this);
    const bool known = SetPropertyByName(name, value);
    if (known) {
        SetChangedFlag();
        RVTableCellEditorFollows(*this, name, -1, -1);
    }
    return known;
}

void TRVUndoModifyCellVisibleBorders::Replay(TRVTableItemInfo& table) {
    table.SetCellVisibleBorders(ItemNo, Left, Top, Right, Bottom, Row, Col);
}

void TRVUndoModifyBackgroundImage::Replay(TRVTableItemInfo& table) {
    auto inverse = RVNewTableRecord<TRVUndoModifyBackgroundImage>(table, false, Args());
    if (Row < 0) {
        if (TGraphic* current = table.BackgroundImage())
            inverse->OldImage = RVCopyGraphic(*current);
        TRVTableItemInfo::TUnrecordedScope unrecorded(table);
        table.SetBackgroundImage(OldImage.get());
    } else {
        TRVTableCellData* cell = CellAt(table, Row, Col);
        if (TGraphic* current = cell->BackgroundImage())
            inverse->OldImage = RVCopyGraphic(*current);
        cell->SetBackgroundImage(OldImage.get());
    }
    table.AddUndoRecord(std::move(inverse));
}

// ---------------------------------------------------------------------------------------------
// Spans and positions.

void RVTableSetSpan(TRVTableItemInfo& table, bool rowSpan, int row, int col, int value) {
    TRVTableCellData* cell = CellAt(table, row, col);
    int32_t& span = rowSpan ? cell->RowSpan : cell->ColSpan;
    if (span == value) return;
    Record<TRVUndoSpan>(table, false, TRVTableSpanArgs{rowSpan, row, col, span});
    span = value;
}

void TRVUndoSpan::Replay(TRVTableItemInfo& table) {
    RVTableSetSpan(table, IsRowSpan, Row, Col, OldSpan);
}

void RVTableInsertRows(TRVTableItemInfo& table, int index, int count) {
    Record<TRVUndoInsertTableRows>(table, false, TRVTableLineRange{index, count});
    const int colCount = table.Rows.GetColCount();
    for (int i = 0; i < count; ++i)
        table.Rows.Insert(index + i, std::make_unique<TRVTableRow>(colCount, &table.Rows));
}

void RVTableDeleteRowEntries(TRVTableItemInfo& table, int index, int count) {
    if (index < 0 || count < 0 || index + count > table.Rows.RowCount())
        throw ERichViewError(errRVTableIndex);
    if (!Recording(table)) {
        for (int i = 0; i < count; ++i)
            table.Rows.DeleteAndFree(index);
        return;
    }
    auto record =
        RVNewTableRecord<TRVUndoInsertTableRows>(table, true, TRVTableLineRange{index, count});
    for (int i = 0; i < count; ++i) {
        auto* row = static_cast<TRVTableRow*>(table.Rows.GetRow(index));
        for (int c = 0; c < row->Count(); ++c)
            if (TRVTableCellData* cell = row->Cell(c)) {
                cell->MoveToUndo(table.GetRVData());
                cell->Owner = row; // the row goes with its cells
            }
        record->KeptRows.push_back(table.Rows.DeleteWithoutFree(index));
    }
    table.AddUndoRecord(std::move(record));
}

void TRVUndoInsertTableRows::Replay(TRVTableItemInfo& table) {
    if (!Forward) {
        RVTableDeleteRowEntries(table, Index, Count);
        return;
    }
    if (KeptRows.empty()) {
        RVTableInsertRows(table, Index, Count);
        return;
    }
    if (Index < 0 || Index > table.Rows.RowCount()) throw ERichViewError(errRVTableIndex);
    const TRVTableLineRange inserted{Index, int32_t(KeptRows.size())};
    for (size_t i = 0; i < KeptRows.size(); ++i) {
        auto* row = static_cast<TRVTableRow*>(KeptRows[i].get());
        table.Rows.Insert(Index + int(i), std::move(KeptRows[i]));
        for (int c = 0; c < row->Count(); ++c)
            if (TRVTableCellData* cell = row->Cell(c)) cell->RestoreFromUndo(row);
    }
    KeptRows.clear();
    Record<TRVUndoInsertTableRows>(table, false, inserted);
}

void RVTableInsertCell(TRVTableItemInfo& table, int row, int col) {
    TRVTableRow* r = RowAt(table, row);
    if (col < 0 || col > r->Count()) throw ERichViewError(errRVTableIndex);
    Record<TRVUndoInsertTableCell>(table, false, TRVTableCellPlace{row, col});
    r->InsertCell(col);
}

void TRVUndoInsertTableCell::Replay(TRVTableItemInfo& table) {
    TRVTableRow* r = RowAt(table, Row);
    if (!Forward) {
        if (Col < 0 || Col >= r->Count()) throw ERichViewError(errRVTableIndex);
        std::unique_ptr<TRVTableCellData> cell = TakeEntry(r, Col);
        if (!Recording(table)) return;
        if (cell) cell->MoveToUndo(table.GetRVData());
        auto inverse = RVNewTableRecord<TRVUndoInsertTableCell>(table, true, Args());
        inverse->KeptCell = std::move(cell);
        table.AddUndoRecord(std::move(inverse));
        return;
    }
    if (!KeptCell) {
        RVTableInsertCell(table, Row, Col);
        return;
    }
    if (Col < 0 || Col > r->Count()) throw ERichViewError(errRVTableIndex);
    InsertEntry(r, Col, std::move(KeptCell));
    Record<TRVUndoInsertTableCell>(table, false, Args());
}

void RVTableInsertEmptyPositions(TRVTableItemInfo& table, int row, int col, int rowCount,
                                 int colCount) {
    if (rowCount <= 0 || colCount <= 0) return;
    Record<TRVUndoInsertEmptyCell>(table, false, TRVTableCellArea{row, col, rowCount, colCount});
    for (int r = row; r < row + rowCount; ++r)
        for (int i = 0; i < colCount; ++i)
            RowAt(table, r)->InsertNil(col);
}

void TRVUndoInsertEmptyCell::Replay(TRVTableItemInfo& table) {
    if (Forward) {
        RVTableInsertEmptyPositions(table, Row, Col, RowCount, ColCount);
        return;
    }
    for (int r = Row; r < Row + RowCount; ++r) {
        TRVTableRow* row = RowAt(table, r);
        if (Col < 0 || Col + ColCount > row->Count()) throw ERichViewError(errRVTableIndex);
        for (int i = 0; i < ColCount; ++i)
            row->DeleteAndFree(Col);
    }
    Record<TRVUndoInsertEmptyCell>(table, true, Args());
}

void RVTableFreeCells(TRVTableItemInfo& table, int row, int col, int rowCount, int colCount) {
    if (rowCount <= 0 || colCount <= 0) return;
    Record<TRVUndoFreeEmptyCell>(table, false, TRVTableCellArea{row, col, rowCount, colCount});
    for (int r = row; r < row + rowCount; ++r)
        for (int c = col; c < col + colCount; ++c)
            RowAt(table, r)->TakeCell(c);
}

void TRVUndoFreeEmptyCell::Replay(TRVTableItemInfo& table) {
    if (Forward) {
        RVTableFreeCells(table, Row, Col, RowCount, ColCount);
        return;
    }
    for (int r = Row; r < Row + RowCount; ++r) {
        TRVTableRow* row = RowAt(table, r);
        for (int c = Col; c < Col + ColCount; ++c) {
            if (c < 0 || c >= row->Count() || row->Cell(c)) throw ERichViewError(errRVTableIndex);
            row->PutCell(c, std::make_unique<TRVTableCellData>(row));
        }
    }
    Record<TRVUndoFreeEmptyCell>(table, true, Args());
}

void RVTableSpreadOverEmptyCells(TRVTableItemInfo& table, int row, int col, int span) {
    TRVTableCellData* cell = CellAt(table, row, col);
    Record<TRVUndoSpreadOverEmptyCells>(table, false, TRVTableSpreadArgs{row, col, span});
    cell->ColSpan = span;
    for (int c = col + 1; c < col + span; ++c)
        RowAt(table, row)->TakeCell(c);
}

void TRVUndoSpreadOverEmptyCells::Replay(TRVTableItemInfo& table) {
    if (Forward) {
        RVTableSpreadOverEmptyCells(table, Row, Col, Span);
        return;
    }
    TRVTableCellData* cell = CellAt(table, Row, Col);
    TRVTableRow* row = RowAt(table, Row);
    if (Col + Span > row->Count()) throw ERichViewError(errRVTableIndex);
    cell->ColSpan = 1;
    for (int c = Col + 1; c < Col + Span; ++c)
        row->PutCell(c, std::make_unique<TRVTableCellData>(row));
    Record<TRVUndoSpreadOverEmptyCells>(table, true, Args());
}

void TRVUndoCellSpitVert::Replay(TRVTableItemInfo& table) {
    if (Forward) {
        table.Rows.SplitCellAtColumn(Row, Col, SplitCol, AdjustWidths);
        return;
    }
    TRVTableCellData* left = CellAt(table, Row, Col);
    TRVTableCellData* right = CellAt(table, Row, SplitCol);
    const int32_t newBestWidth = left->BestWidth;
    left->ColSpan += right->ColSpan;
    left->BestWidth = OldBestWidth;
    RowAt(table, Row)->TakeCell(SplitCol);
    TRVTableSplitArgs split = Args();
    split.OldBestWidth = newBestWidth;
    Record<TRVUndoCellSpitVert>(table, true, split);
}

void RVTableMoveCell(TRVTableItemInfo& table, int fromRow, int toRow, int col) {
    CellAt(table, fromRow, col);
    TRVTableRow* target = RowAt(table, toRow);
    if (col >= target->Count() || target->Cell(col)) throw ERichViewError(errRVTableIndex);
    Record<TRVUndoMoveCell>(table, false, TRVTableMoveArgs{fromRow, toRow, col});
    target->PutCell(col, RowAt(table, fromRow)->TakeCell(col));
}

void TRVUndoMoveCell::Replay(TRVTableItemInfo& table) {
    RVTableMoveCell(table, ToRow, FromRow, Col);
}

void RVTableDeleteColEntries(TRVTableItemInfo& table, int index, int count) {
    const int rowCount = table.Rows.RowCount();
    for (int r = 0; r < rowCount; ++r)
        if (index < 0 || count < 0 || index + count > table.Rows.GetRow(r)->Count())
            throw ERichViewError(errRVTableIndex);
    if (!Recording(table)) {
        for (int r = 0; r < rowCount; ++r)
            for (int i = 0; i < count; ++i)
                table.Rows.GetRow(r)->DeleteAndFree(index);
        return;
    }
    auto record =
        RVNewTableRecord<TRVUndoDeleteCols>(table, false, TRVTableLineRange{index, count});
    for (int r = 0; r < rowCount; ++r)
        for (int i = 0; i < count; ++i) {
            std::unique_ptr<TRVTableCellData> cell = TakeEntry(table.Rows.GetRow(r), index);
            if (cell) cell->MoveToUndo(table.GetRVData());
            record->Cells.push_back(std::move(cell));
        }
    table.AddUndoRecord(std::move(record));
}

void TRVUndoDeleteCols::Replay(TRVTableItemInfo& table) {
    if (Forward) {
        RVTableDeleteColEntries(table, Index, Count);
        return;
    }
    const int rowCount = table.Rows.RowCount();
    if (int(Cells.size()) != rowCount * Count) throw ERichViewError(errRVTableIndex);
    for (int r = 0; r < rowCount; ++r) {
        TRVTableRow* row = table.Rows.GetRow(r);
        if (Index < 0 || Index > row->Count()) throw ERichViewError(errRVTableIndex);
        for (int i = 0; i < Count; ++i)
            InsertEntry(row, Index + i, std::move(Cells[size_t(r * Count + i)]));
    }
    Cells.clear();
    Record<TRVUndoDeleteCols>(table, true, Args());
}

void RVTableClearCells(TRVTableItemInfo& table, const TRVIntegerList& rows,
                       const TRVIntegerList& cols) {
    if (rows.Count() != cols.Count()) throw ERichViewError(errRVTableIndex);
    for (int i = 0; i < rows.Count(); ++i)
        CellAt(table, rows[i], cols[i]);
    if (!Recording(table)) {
        for (int i = 0; i < rows.Count(); ++i)
            CellAt(table, rows[i], cols[i])->ResetContent();
        return;
    }
    auto record = RVNewTableRecord<TRVUndoCellsClear>(table, false, TRVTableCellList{rows, cols});
    for (int i = 0; i < rows.Count(); ++i) {
        TRVTableRow* row = RowAt(table, rows[i]);
        std::unique_ptr<TRVTableCellData> old = row->TakeCell(cols[i]);
        auto fresh = std::make_unique<TRVTableCellData>(row);
        fresh->AssignAttributes(*old, true, 1, 1);
        fresh->RowSpan = old->RowSpan;
        fresh->ColSpan = old->ColSpan;
        fresh->Left = old->Left;
        fresh->Top = old->Top;
        fresh->Width = old->Width;
        fresh->Height = old->Height;
        row->PutCell(cols[i], std::move(fresh));
        old->MoveToUndo(table.GetRVData());
        record->Cells.push_back(std::move(old));
    }
    table.AddUndoRecord(std::move(record));
}

void TRVUndoCellsClear::Replay(TRVTableItemInfo& table) {
    if (Forward) {
        RVTableClearCells(table, Rows, Cols);
        return;
    }
    if (int(Cells.size()) != Rows.Count() || Rows.Count() != Cols.Count())
        throw ERichViewError(errRVTableIndex);
    for (int i = 0; i < Rows.Count(); ++i) {
        CellAt(table, Rows[i], Cols[i]);
        TRVTableRow* row = RowAt(table, Rows[i]);
        row->TakeCell(Cols[i]);
        TRVTableCellData* cell = Cells[size_t(i)].get();
        row->PutCell(Cols[i], std::move(Cells[size_t(i)]));
        cell->RestoreFromUndo(row);
    }
    Cells.clear();
    Record<TRVUndoCellsClear>(table, true, Args());
}

void TRVUndoMerge::Replay(TRVTableItemInfo& table) {
    if (Forward) {
        table.Rows.MergeCellRange(TopRow, LeftCol, NewColSpan, NewRowSpan, true, MergedBestWidth);
        return;
    }
    TRVTableCellData* survivor = CellAt(table, TopRow, LeftCol);
    for (auto it = Items.rbegin(); it != Items.rend(); ++it) {
        TRVUndoMergeItem& item = **it;
        TRVTableRow* row = RowAt(table, item.Row);
        if (!item.Cell || item.Col < 0 || item.Col >= row->Count() || row->Cell(item.Col))
            throw ERichViewError(errRVTableIndex);
        // The cell is back in its row before its items are: while parked it may name a
        // document that has gone since (a cell editor's).
        TRVTableCellData* cell = item.Cell.get();
        row->PutCell(item.Col, std::move(item.Cell));
        cell->RestoreFromUndo(row);
        if (item.ItemCount > 0) {
            MoveTailItems(*survivor, *cell, item.ItemCount);
            for (int i = std::max(cell->ItemCount() - item.ItemCount, 0); i < cell->ItemCount();
                 ++i)
                cell->GetItem(i)->AttachToDocument(cell);
        }
    }
    Items.clear();
    survivor->ColSpan = OldColSpan;
    survivor->RowSpan = OldRowSpan;
    survivor->BestWidth = OldBestWidth;
    Record<TRVUndoMerge>(table, true, Args());
}

} // namespace epc
