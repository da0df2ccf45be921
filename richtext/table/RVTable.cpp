#include "richtext/table/RVTable.h"

#include <algorithm>

#include "platform/core/Arithmetic.h"
#include "platform/graphics/Graphics.h"
#include "richtext/table/RVTableUndo.h"
#include "richtext/view/RVFormattedData.h"

namespace epc {

TPenStyle RVTableGridPenStyle = psDot;

namespace {

std::unique_ptr<TCustomRVItemInfo> NewEmptyTextItem(TCustomRVData* data) {
    auto item = std::make_unique<TRVTextItemInfo>(data);
    item->StyleNo = 0;
    item->ParaNo = 0;
    return item;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Cell.

TRVTableCellData::TRVTableCellData(TRVTableRow* row) : TRVItemFormattedData(row) {
    ResetContent();
}

TRVTableCellData::~TRVTableCellData() {
    // A cell freed from the grid (not from an undo record, which it left already).
    if (FUndoContainer) return;
    if (TRVTableItemInfo* table = GetTable()) table->ForgetCell(this);
}

TRVMarkerList* TRVTableCellData::GetMarkers(bool allowCreate) {
    if (FUndoContainer) return nullptr;
    TRVTableItemInfo* table = GetTable();
    TCustomRVData* document = table ? table->GetRVData() : nullptr;
    if (!document) return nullptr;
    // A table being read or built knows its document before it lies in it.
    const int itemNo = table->GetItemNo();
    const bool lies = (itemNo >= 0 && itemNo < document->ItemCount() &&
                       document->Items()[itemNo].Item.get() == table) ||
                      document->FindItemIndex(table) >= 0;
    return lies ? document->GetMarkers(allowCreate) : nullptr;
}

void TRVTableCellData::ResetContent() {
    Clear();
    ClearAllItems();
    AppendItem(std::string(), NewEmptyTextItem(this));
}

TRVTableRow* TRVTableCellData::Row() const {
    return static_cast<TRVTableRow*>(Owner);
}

TRVTableItemInfo* TRVTableCellData::GetTable() const {
    TRVTableRow* row = Row();
    return row && row->Rows ? row->Rows->Table : nullptr;
}

TCustomRVData* TRVTableCellData::GetParentData() const {
    TRVTableItemInfo* table = GetTable();
    return table ? table->GetRVData() : FUndoContainer;
}

namespace {
// An open cell editor on Cell follows a change of its look (Name: the property changed).
void EditorFollowsCell(TRVTableCellData& cell, const char* name) {
    int row, col;
    if (TRVTableItemInfo* table = cell.GetTable();
        table && table->InplaceEditor() && table->GetCellPosition(&cell, row, col))
        RVTableCellEditorFollows(*table, name, row, col);
}
} // namespace

void TRVTableCellData::SetColor(TColor value) {
    Color = value;
    EditorFollowsCell(*this, "Color");
}

void TRVTableCellData::SetBackgroundImage(TGraphic* value) {
    if (value && !value->Empty()) {
        if (!FBackground) FBackground = std::make_unique<TRVBackground>(false);
        FBackground->AssignImage(value);
    } else {
        FBackground.reset();
    }
    EditorFollowsCell(*this, "BackgroundImage");
}

void TRVTableCellData::SetBackgroundStyle(TRVItemBackgroundStyle value) {
    FBackgroundStyle = value;
    EditorFollowsCell(*this, "BackgroundStyle");
}

void TRVTableCellData::MoveToUndo(TCustomRVData* container) {
    if (TRVTableItemInfo* table = GetTable()) table->ForgetCell(this);
    for (int i = 0; i < ItemCount(); ++i)
        GetItem(i)->MoveToUndo(this);
    ClearFormatting();
    FUndoContainer = container;
    Owner = nullptr;
}

void TRVTableCellData::RestoreFromUndo(TRVTableRow* row) {
    FUndoContainer = nullptr;
    Owner = row;
    for (int i = 0; i < ItemCount(); ++i)
        GetItem(i)->AttachToDocument(this);
}

int TRVTableCellData::GetNeededHeight() const {
    // While edited, the cell's items live in the cell editor.
    int height = 0, minWidth = 0;
    if (TRVTableItemInfo* table = GetTable();
        table && table->GetEditedCellSize(this, height, minWidth))
        return std::max(height, int(BestHeight));
    return std::max(DocumentHeight, BestHeight);
}

int TRVTableCellData::GetMinWidth(const TRVScreenAndDevice* sad, TCanvas* canvas) {
    int height = 0, minWidth = 0;
    if (TRVTableItemInfo* table = GetTable();
        !sad && table && table->GetEditedCellSize(this, height, minWidth))
        return minWidth;
    if (ItemCount() == 0) return 0;
    if (ItemCount() == 1 && GetItemStyleNo(0) >= 0 && GetItemText(0).empty()) {
        TRVStyle* style = GetRVStyle();
        if (!style) return 0;
        const TParaInfo& para = style->ParaStyles.GetItem(GetItemParaNo(0));
        int w = para.FirstIndent + para.LeftIndent + para.RightIndent;
        if (sad) w = sad->XToDevice(w);
        return w;
    }
    int w = CalcDocumentMinWidth(canvas, sad);
    return w == 0 ? 10 : w;
}

bool TRVTableCellData::IsEmpty(bool strict) const {
    if (ItemCount() == 0) return true;
    if (ItemCount() != 1 || GetItemStyleNo(0) < 0 || !GetItemText(0).empty()) return false;
    return !strict || (GetItemStyleNo(0) == 0 && GetItemParaNo(0) == 0);
}

void TRVTableCellData::AssignAttributes(const TRVTableCellData& source, bool withSizes,
                                        int rowDivisor, int colDivisor) {
    Color = source.Color;
    BorderColor = source.BorderColor;
    BorderLightColor = source.BorderLightColor;
    VisibleBorders = source.VisibleBorders;
    VAlign = source.VAlign;
    SetBackgroundImage(source.BackgroundImage());
    FBackgroundStyle = source.FBackgroundStyle;
    if (withSizes) {
        BestWidth = colDivisor != 0 ? source.BestWidth / colDivisor : source.BestWidth;
        BestHeight = rowDivisor != 0 ? source.BestHeight / rowDivisor : source.BestHeight;
    }
}

TRVCellVAlign TRVTableCellData::GetEffectiveVAlign() const {
    if (VAlign != rvcVDefault) return VAlign;
    TRVTableRow* row = Row();
    if (row && row->VAlign != rvcVDefault) return row->VAlign;
    return rvcMiddle;
}

int TRVTableCellData::GetVAlignOffset() const {
    TRVTableItemInfo* table = GetTable();
    int padding = table ? table->CellPadding() : 0;
    int content = DocumentHeight;
    // While edited the cell shows the editor's document, whose margins are the padding.
    if (int height = 0, minWidth = 0; table && table->GetEditedCellSize(this, height, minWidth)) {
        content = height + 2 * padding;
        padding = 0;
    }
    switch (GetEffectiveVAlign()) {
    case rvcMiddle:
        return (Height - content) / 2 - padding;
    case rvcBottom:
        return Height - content - 2 * padding;
    default:
        return 0;
    }
}

int TRVTableCellData::GetClientWidth() const {
    TRVTableItemInfo* table = GetTable();
    return Width - 2 * (table ? table->SX(table->CellPadding()) : 0);
}

int TRVTableCellData::GetClientHeight() const {
    TRVTableItemInfo* table = GetTable();
    return Height - 2 * (table ? table->SY(table->CellPadding()) : 0);
}

TCanvas* TRVTableCellData::GetCanvas() const {
    TRVTableItemInfo* table = GetTable();
    if (table && table->FormatCanvas()) return table->FormatCanvas();
    if (auto* parent = dynamic_cast<TCustomRVFormattedData*>(GetParentData()))
        return parent->GetCanvas();
    return nullptr;
}

TRVOptions TRVTableCellData::GetOptions() const {
    TCustomRVData* parent = GetParentData();
    TRVOptions options = parent ? parent->GetOptions() : TCustomRVFormattedData::GetOptions();
    options.Exclude(TRVOption::rvoClientTextWidth);
    return options;
}

void TRVTableCellData::GetOriginInRoot(int& x, int& y) const {
    // The vertical alignment shift is the content offset, asked for separately.
    x = Left;
    y = Top;
    TRVTableItemInfo* table = GetTable();
    if (!table) return;
    const int padding = table->CellPadding();
    x += padding;
    y += padding;
    auto* parent = dynamic_cast<TCustomRVFormattedData*>(GetParentData());
    const int itemNo = table->GetItemNo();
    if (parent && itemNo >= 0) {
        const int d = parent->GetFirstDrawItemNo(itemNo);
        if (d >= 0 && d < parent->DrawItems.Count()) {
            x += parent->DrawItems[d]->Left;
            y += parent->DrawItems[d]->Top;
        }
        int px = 0, py = 0;
        parent->GetOriginInRoot(px, py);
        x += px;
        y += py;
    }
}

void TRVTableCellData::DoItemAction(TRVItemAction action, TCustomRVItemInfo* item,
                                    std::string& text, TCustomRVData* rvData) {
    if (action == rviaDestroying) ItemReleased(item);
    if (TCustomRVData* parent = GetParentData())
        parent->DoItemAction(action, item, text, rvData);
    else
        TCustomRVData::DoItemAction(action, item, text, rvData);
}

// ---------------------------------------------------------------------------------------------
// Row.

TRVTableRow::TRVTableRow(int colCount, TRVTableRows* rows) : Rows(rows) {
    for (int i = 0; i < colCount; ++i)
        AddCell();
}

TRVTableRow::~TRVTableRow() {
    // A row freed while its table stays in the document takes its cells' markers out of the
    // document's list (cells kept for undo left it already).
    for (int c = 0; c < Count(); ++c) {
        TRVTableCellData* cell = Cell(c);
        if (!cell || cell->UndoContainer()) continue;
        if (Rows && Rows->Table) Rows->Table->ForgetCell(cell);
        if (cell->GetMarkers(false))
            for (int i = 0; i < cell->ItemCount(); ++i) {
                TCustomRVItemInfo* item = cell->GetItem(i);
                if (item->StyleNo == rvsListMarker)
                    cell->RemoveMarkerFromList(static_cast<TRVMarkerItemInfo*>(item));
                else
                    cell->RemoveSubDocumentMarkers(item);
            }
        // The cells are freed after this row's own part is gone: they no longer reach it.
        cell->Owner = nullptr;
    }
}

TCustomRVFormattedData* TRVTableRow::GetParentRVData() const {
    if (!Rows || !Rows->Table) return nullptr;
    return dynamic_cast<TCustomRVFormattedData*>(Rows->Table->GetRVData());
}

TRVTableCellData* TRVTableRow::AddCell() {
    auto cell = std::make_unique<TRVTableCellData>(this);
    TRVTableCellData* result = cell.get();
    Add(std::move(cell));
    return result;
}

TRVTableCellData* TRVTableRow::InsertCell(int col) {
    auto cell = std::make_unique<TRVTableCellData>(this);
    TRVTableCellData* result = cell.get();
    Insert(col, std::move(cell));
    return result;
}

void TRVTableRow::PutCell(int col, std::unique_ptr<TRVTableCellData> cell) {
    cell->Owner = this;
    DeleteAndFree(col);
    Insert(col, std::move(cell));
}

std::unique_ptr<TRVTableCellData> TRVTableRow::TakeCell(int col) {
    std::unique_ptr<TObject> object = DeleteWithoutFree(col);
    Insert(col, nullptr);
    auto* cell = static_cast<TRVTableCellData*>(object.release());
    if (cell && Rows && Rows->Table) Rows->Table->ForgetCell(cell);
    if (cell) cell->Owner = nullptr;
    return std::unique_ptr<TRVTableCellData>(cell);
}

int TRVTableRow::GetBestHeight() const {
    int h = 0;
    for (int c = 0; c < Count(); ++c)
        if (TRVTableCellData* cell = Cell(c); cell && cell->RowSpan < 2)
            h = std::max(h, int(cell->BestHeight));
    return h;
}

int TRVTableRow::GetHeight() const {
    int h = 0;
    for (int c = 0; c < Count(); ++c)
        if (TRVTableCellData* cell = Cell(c); cell && cell->RowSpan < 2)
            h = std::max(h, cell->GetNeededHeight());
    return h == 0 ? 10 : h;
}

// ---------------------------------------------------------------------------------------------
// Grid.

TRVTableRows::TRVTableRows(int rowCount, int colCount, TRVTableItemInfo* table) : Table(table) {
    Reset(rowCount, colCount);
}

void TRVTableRows::Reset(int rowCount, int colCount) {
    if (rowCount < 0 || colCount < 0) throw ERichViewError(errRVTableIndex);
    Clear();
    for (int r = 0; r < rowCount; ++r)
        Add(std::make_unique<TRVTableRow>(colCount, this));
}

TRVTableRow* TRVTableRows::AddRow() {
    auto row = std::make_unique<TRVTableRow>(GetColCount(), this);
    TRVTableRow* result = row.get();
    Add(std::move(row));
    return result;
}

void TRVTableRows::CheckPosition(int row, int col) const {
    if (row < 0 || row >= RowCount() || col < 0 || col >= GetColCount())
        throw ERichViewError(errRVTableIndex);
}

TRVTableCellData* TRVTableRows::GetCell(int row, int col) const {
    CheckPosition(row, col);
    return GetRow(row)->Cell(col);
}

TRVTableCellData* TRVTableRows::GetMainCell(int row, int col, int& mainRow, int& mainCol) const {
    CheckPosition(row, col);
    for (int r = row; r >= 0; --r) {
        const TRVTableRow* rowList = GetRow(r);
        for (int c = col; c >= 0; --c) {
            TRVTableCellData* cell = rowList->Cell(c);
            if (!cell) continue;
            if (c + cell->ColSpan > col && r + cell->RowSpan > row) {
                mainRow = r;
                mainCol = c;
                return cell;
            }
            break;
        }
    }
    mainRow = -1;
    mainCol = -1;
    return nullptr;
}

int TRVTableRows::GetColMinWidth(int col, const TRVScreenAndDevice* sad, TCanvas* canvas) const {
    int w = 0;
    for (int r = 0; r < RowCount(); ++r)
        if (TRVTableCellData* cell = GetRow(r)->Cell(col); cell && cell->ColSpan < 2)
            w = std::max(w, cell->GetMinWidth(sad, canvas));
    return w;
}

int TRVTableRows::GetColBestWidth(int col) const {
    int w = 0;
    for (int r = 0; r < RowCount(); ++r)
        if (TRVTableCellData* cell = GetRow(r)->Cell(col); cell && cell->ColSpan < 2) {
            if (cell->BestWidth < 0) return 0;
            w = std::max(w, int(cell->BestWidth));
        }
    return w;
}

int TRVTableRows::GetColPercentWidth(int col, int tableWidth) const {
    int w = 0;
    for (int r = 0; r < RowCount(); ++r)
        if (TRVTableCellData* cell = GetRow(r)->Cell(col);
            cell && cell->ColSpan < 2 && cell->BestWidth < 0)
            w = std::max(w, int(int64_t(-cell->BestWidth) * tableWidth / 100));
    return w;
}

bool TRVTableRows::IsPercentColumn(int col) const {
    for (int r = 0; r < RowCount(); ++r) {
        const TRVTableRow* row = GetRow(r);
        for (int c = 0; c <= col; ++c) {
            TRVTableCellData* cell = row->Cell(c);
            if (!cell || cell->BestWidth >= 0) continue;
            if (c == col && cell->ColSpan < 2) return true;
            if (cell->ColSpan > 1 && c + cell->ColSpan - 1 == col) return true;
        }
    }
    return false;
}

int TRVTableRows::GetMergedBestWidth(int topRow, int leftCol, int rowCount, int colCount) const {
    int best = 0;
    for (int r = topRow; r < topRow + rowCount; ++r) {
        int sum = 0;
        for (int c = leftCol; c < leftCol + colCount; ++c) {
            TRVTableCellData* cell = GetRow(r)->Cell(c);
            if (!cell) continue;
            const int w = cell->BestWidth;
            if (w > 0) {
                if (sum >= 0) sum += w;
            } else if (w < 0) {
                sum = sum > 0 ? w : sum + w;
            }
        }
        if (r == topRow)
            best = sum;
        else if (sum < 0)
            best = best < 0 ? std::min(best, sum) : sum;
        else if (best >= 0)
            best = std::max(best, sum);
    }
    return best;
}

bool TRVTableRows::MergeAllowed(int topRow, int leftCol, int colSpan, int rowSpan,
                                bool allowMergeRC) const {
    const int bottom = topRow + rowSpan, right = leftCol + colSpan;
    TRVTableCellData* topLeft = GetRow(topRow)->Cell(leftCol);
    bool other = false;
    for (int r = topRow; r < bottom; ++r)
        for (int c = leftCol; c < right; ++c) {
            int mr, mc;
            TRVTableCellData* cell = GetMainCell(r, c, mr, mc);
            if (!cell || mr < topRow || mc < leftCol || mr + cell->RowSpan > bottom ||
                mc + cell->ColSpan > right)
                return false;
            if (cell != topLeft) other = true;
        }
    if (allowMergeRC) return other;
    for (int c = leftCol + 1; c < right && colSpan > 1; ++c) {
        bool has = false;
        for (int r = 0; r < RowCount() && !has; ++r)
            if ((r < topRow || r >= bottom) && GetRow(r)->Cell(c)) has = true;
        if (!has) return false;
    }
    for (int r = topRow + 1; r < bottom && rowSpan > 1; ++r) {
        bool has = false;
        for (int c = 0; c < GetColCount() && !has; ++c)
            if ((c < leftCol || c >= right) && GetRow(r)->Cell(c)) has = true;
        if (!has) return false;
    }
    return other;
}

void TRVTableRows::MergeCellRange(int topRow, int leftCol, int colSpan, int rowSpan,
                                  bool allowMergeRC, bool bestWidth) {
    CheckPosition(topRow, leftCol);
    rowSpan = std::min(rowSpan, RowCount() - topRow);
    colSpan = std::min(colSpan, GetColCount() - leftCol);
    if (rowSpan < 2 && colSpan < 2) return;
    if (rowSpan < 1 || colSpan < 1) throw ERichViewError(errRVTableMerge);
    TRVTableCellData* survivor = GetRow(topRow)->Cell(leftCol);
    if (!survivor || (survivor->RowSpan >= rowSpan && survivor->ColSpan >= colSpan)) return;
    if (!MergeAllowed(topRow, leftCol, colSpan, rowSpan, allowMergeRC)) {
        if (Table && Table->GetRVData()) Table->GetRVData()->BeepIfUseSound();
        return;
    }
    std::unique_ptr<TRVUndoMerge> record;
    if (Table && Table->GetEditUndoList()) {
        record = RVNewTableRecord<TRVUndoMerge>(
            *Table, false, TRVTableMergeArgs{topRow, leftCol, colSpan, rowSpan, bestWidth});
        record->OldColSpan = survivor->ColSpan;
        record->OldRowSpan = survivor->RowSpan;
        record->OldBestWidth = survivor->BestWidth;
    }
    if (bestWidth) survivor->BestWidth = GetMergedBestWidth(topRow, leftCol, rowSpan, colSpan);
    for (int r = topRow; r < topRow + rowSpan; ++r)
        for (int c = leftCol; c < leftCol + colSpan; ++c) {
            TRVTableCellData* cell = GetRow(r)->Cell(c);
            if (!cell || cell == survivor) continue;
            const int given = cell->IsEmpty(false) ? 0 : cell->ItemCount();
            if (given > 0) {
                survivor->MoveItemsFrom(*cell);
                RVRebindItems(*survivor);
            }
            std::unique_ptr<TRVTableCellData> taken = GetRow(r)->TakeCell(c);
            if (record) {
                // Kept with its place and the number of items it gave, to come back on undo.
                taken->MoveToUndo(Table->GetRVData());
                auto item = std::make_unique<TRVUndoMergeItem>();
                item->Row = r;
                item->Col = c;
                item->ItemCount = given;
                item->Cell = std::move(taken);
                record->Items.push_back(std::move(item));
            }
        }
    survivor->ColSpan = colSpan;
    survivor->RowSpan = rowSpan;
    if (record) Table->AddUndoRecord(std::move(record));
    if (Table) Table->SetChangedFlag();
}

void TRVTableRows::SplitCellAtColumn(int row, int cellCol, int splitCol, bool adjustWidths) {
    CheckPosition(row, cellCol);
    TRVTableCellData* cell = GetRow(row)->Cell(cellCol);
    if (!cell || splitCol <= cellCol || splitCol >= cellCol + cell->ColSpan)
        throw ERichViewError(errRVTableIndex);
    const int oldSpan = cell->ColSpan;
    if (Table && Table->GetEditUndoList()) {
        Table->AddUndoRecord(RVNewTableRecord<TRVUndoCellSpitVert>(
            *Table, false,
            TRVTableSplitArgs{row, cellCol, splitCol, adjustWidths, cell->BestWidth}));
    }
    auto added = std::make_unique<TRVTableCellData>(nullptr);
    added->AssignAttributes(*cell, false, 1, 1);
    added->RowSpan = cell->RowSpan;
    added->ColSpan = cellCol + oldSpan - splitCol;
    added->BestWidth = cell->BestWidth * added->ColSpan / oldSpan;
    if (adjustWidths) cell->BestWidth = cell->BestWidth * (oldSpan - added->ColSpan) / oldSpan;
    cell->ColSpan -= added->ColSpan;
    GetRow(row)->PutCell(splitCol, std::move(added));
    if (Table) Table->SetChangedFlag();
}

void TRVTableRows::InsertRows(int index, int count, int copyIndex, bool copySizes) {
    const int rowCount = RowCount(), colCount = GetColCount();
    if (index < 0 || index > rowCount || copyIndex < -1 || copyIndex >= rowCount)
        throw ERichViewError(errRVTableIndex);
    if (count <= 0) return; // nothing to insert
    std::vector<bool> marked(size_t(colCount), false);
    if (index > 0 && index < rowCount)
        for (int r = 0; r < index; ++r)
            for (int c = 0; c < colCount; ++c) {
                TRVTableCellData* cell = GetRow(r)->Cell(c);
                if (!cell || r + cell->RowSpan <= index) continue;
                SetSpan(true, r, c, cell->RowSpan + count);
                for (int k = c; k < c + cell->ColSpan; ++k)
                    marked[size_t(k)] = true;
            }
    if (Table)
        RVTableInsertRows(*Table, index, count);
    else
        for (int i = 0; i < count; ++i)
            Insert(index + i, std::make_unique<TRVTableRow>(colCount, this));
    if (copyIndex >= index) copyIndex += count;
    for (int c = 0; c < colCount;) {
        if (marked[size_t(c)]) {
            if (Table)
                RVTableFreeCells(*Table, index, c, count, 1);
            else
                for (int r = index; r < index + count; ++r)
                    GetRow(r)->TakeCell(c);
            ++c;
            continue;
        }
        TRVTableCellData* source = copyIndex >= 0 ? GetRow(copyIndex)->Cell(c) : nullptr;
        if (!source) {
            ++c;
            continue;
        }
        // A spread never reaches into columns a vertical span already covers.
        int span = 1;
        while (span < source->ColSpan && c + span < colCount && !marked[size_t(c + span)])
            ++span;
        for (int r = index; r < index + count; ++r) {
            TRVTableCellData* cell = GetRow(r)->Cell(c);
            cell->AssignAttributes(*source, false, 1, 1);
            if (span < 2) continue;
            if (Table) {
                RVTableSpreadOverEmptyCells(*Table, r, c, span);
                continue;
            }
            cell->ColSpan = span;
            for (int k = c + 1; k < c + span; ++k)
                GetRow(r)->TakeCell(k);
        }
        if (copySizes)
            SetCellInt(copyIndex, c, "BestHeight",
                       source->BestHeight * source->RowSpan / (source->RowSpan + count));
        c += span;
    }
    if (Table) Table->SetChangedFlag();
}

void TRVTableRows::InsertCols(int index, int count, int copyIndex, bool copySizes) {
    const int rowCount = RowCount(), colCount = GetColCount();
    if (index < 0 || index > colCount || copyIndex < -1 || copyIndex >= colCount)
        throw ERichViewError(errRVTableIndex);
    if (count <= 0) return; // nothing to insert
    std::vector<bool> marked(size_t(rowCount), false);
    for (int r = 0; r < rowCount; ++r)
        for (int c = 0; c < index; ++c) {
            TRVTableCellData* cell = GetRow(r)->Cell(c);
            if (!cell || c + cell->ColSpan <= index) continue;
            SetSpan(false, r, c, cell->ColSpan + count);
            for (int k = r; k < r + cell->RowSpan; ++k)
                marked[size_t(k)] = true;
        }
    for (int r = 0; r < rowCount; ++r) {
        if (marked[size_t(r)] && Table) {
            RVTableInsertEmptyPositions(*Table, r, index, 1, count);
            continue;
        }
        for (int i = 0; i < count; ++i) {
            if (marked[size_t(r)])
                GetRow(r)->InsertNil(index + i);
            else if (Table)
                RVTableInsertCell(*Table, r, index + i);
            else
                GetRow(r)->InsertCell(index + i);
        }
    }
    if (copyIndex >= index) copyIndex += count;
    for (int r = 0; r < rowCount;) {
        TRVTableCellData* source =
            !marked[size_t(r)] && copyIndex >= 0 ? GetRow(r)->Cell(copyIndex) : nullptr;
        if (!source) {
            ++r;
            continue;
        }
        int span = 1;
        while (span < source->RowSpan && r + span < rowCount && !marked[size_t(r + span)])
            ++span;
        for (int c = index; c < index + count; ++c) {
            TRVTableCellData* cell = GetRow(r)->Cell(c);
            cell->AssignAttributes(*source, false, 1, 1);
            if (span < 2) continue;
            SetSpan(true, r, c, span);
            if (Table) {
                RVTableFreeCells(*Table, r + 1, c, span - 1, 1);
                continue;
            }
            for (int k = r + 1; k < r + span; ++k)
                GetRow(k)->TakeCell(c);
        }
        if (copySizes)
            SetCellInt(r, copyIndex, "BestWidth",
                       source->BestWidth * source->ColSpan / (source->ColSpan + count));
        r += span;
    }
    if (Table) Table->SetChangedFlag();
}

void TRVTableRows::DeleteRows(int index, int count) {
    const int rowCount = RowCount(), colCount = GetColCount();
    if (index < 0 || index >= rowCount || count < 1 || (index == 0 && count > rowCount))
        throw ERichViewError(errRVTableIndex);
    count = std::min(count, rowCount - index);
    const int end = index + count;
    for (int r = 0; r < end; ++r)
        for (int c = 0; c < colCount; ++c) {
            TRVTableCellData* cell = GetRow(r)->Cell(c);
            if (!cell || r + cell->RowSpan <= index) continue;
            const int cellEnd = r + cell->RowSpan;
            if (r < index) {
                SetSpan(true, r, c, (index - r) + std::max(0, cellEnd - end));
            } else if (cellEnd > end) {
                // The part below the deleted rows lives on as the same cell.
                SetSpan(true, r, c, cellEnd - end);
                if (Table) {
                    RVTableMoveCell(*Table, r, end, c);
                    continue;
                }
                GetRow(end)->PutCell(c, GetRow(r)->TakeCell(c));
            }
        }
    if (Table)
        RVTableDeleteRowEntries(*Table, index, count);
    else
        for (int i = 0; i < count; ++i)
            DeleteAndFree(index);
    if (Table) Table->SetChangedFlag();
}

void TRVTableRows::DeleteCols(int index, int count, bool adjustWidths) {
    const int rowCount = RowCount(), colCount = GetColCount();
    if (index < 0 || index >= colCount || count < 1 || (index == 0 && count > colCount))
        throw ERichViewError(errRVTableIndex);
    count = std::min(count, colCount - index);
    const int end = index + count;
    for (int r = 0; r < rowCount; ++r)
        for (int c = index; c < end; ++c)
            if (TRVTableCellData* cell = GetRow(r)->Cell(c); cell && c + cell->ColSpan > end)
                SplitCellAtColumn(r, c, end, adjustWidths);
    for (int r = 0; r < rowCount; ++r)
        for (int c = 0; c < index; ++c) {
            TRVTableCellData* cell = GetRow(r)->Cell(c);
            if (!cell || c + cell->ColSpan <= index) continue;
            const int kept = (index - c) + std::max(0, c + cell->ColSpan - end);
            if (adjustWidths) SetCellInt(r, c, "BestWidth", cell->BestWidth * kept / cell->ColSpan);
            SetSpan(false, r, c, kept);
        }
    if (Table)
        RVTableDeleteColEntries(*Table, index, count);
    else
        for (int r = 0; r < rowCount; ++r)
            for (int i = 0; i < count; ++i)
                GetRow(r)->DeleteAndFree(index);
    if (Table) Table->SetChangedFlag();
}

void TRVTableRows::ClearCells(const TRVIntegerList& rows, const TRVIntegerList& cols) {
    if (rows.Count() != cols.Count()) throw ERichViewError(errRVTableIndex);
    for (int i = 0; i < rows.Count(); ++i)
        CheckPosition(rows[i], cols[i]);
    if (Table) {
        // The cell editor gives the cell its items first, so that the cleared cell keeps them
        // for undo, and then edits the new, empty cell.
        int editedRow, editedCol;
        Table->GetEditedCell(editedRow, editedCol);
        bool edited = false;
        for (int i = 0; i < rows.Count(); ++i)
            edited = edited || (rows[i] == editedRow && cols[i] == editedCol);
        if (edited) Table->DestroyCellEditor(true);
        RVTableClearCells(*Table, rows, cols);
        Table->SetChangedFlag();
        if (edited) Table->OpenCellEditor(-1, editedRow, editedCol, true, false, false, true);
        return;
    }
    for (int i = 0; i < rows.Count(); ++i)
        if (TRVTableCellData* cell = GetRow(rows[i])->Cell(cols[i])) cell->ResetContent();
}

void TRVTableRows::SetSpan(bool rowSpan, int row, int col, int value) {
    if (Table) {
        RVTableSetSpan(*Table, rowSpan, row, col, value);
        return;
    }
    TRVTableCellData* cell = GetCell(row, col);
    (rowSpan ? cell->RowSpan : cell->ColSpan) = value;
}

void TRVTableRows::SetCellInt(int row, int col, const char* name, int32_t value) {
    if (Table) {
        RVTableSetIntProperty(*Table, row, col, name, value, true, true);
        return;
    }
    TRVTableCellData* cell = GetCell(row, col);
    (std::string(name) == "BestHeight" ? cell->BestHeight : cell->BestWidth) = value;
}

} // namespace epc
