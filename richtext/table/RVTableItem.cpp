#include <algorithm>
#include <utility>

#include "platform/core/Arithmetic.h"
#include "platform/core/ScopeGuard.h"
#include "platform/core/Streams.h"
#include "platform/core/Strings.h"
#include "platform/graphics/Graphics.h"
#include "richtext/edit/RVERVData.h"
#include "richtext/table/RVTable.h"
#include "richtext/table/RVTableInplace.h"
#include "richtext/table/RVTableRTFReader.h"
#include "richtext/table/RVTableUndo.h"
#include "richtext/view/RVFormattedData.h"

namespace epc {

TRVTableItemInfo::TRVTableItemInfo(TCustomRVData* rvData)
    : TRVFullLineItemInfo(rvData), Rows(1, 1, this) {
    InitTable();
}

TRVTableItemInfo::TRVTableItemInfo(int rowCount, int colCount, TCustomRVData* rvData)
    : TRVFullLineItemInfo(rvData), Rows(rowCount, colCount, this) {
    InitTable();
}

std::unique_ptr<TRVTableItemInfo> TRVTableItemInfo::CreateSized(int rowCount, TCustomRVData* rvData,
                                                                int colCount) {
    return std::make_unique<TRVTableItemInfo>(rowCount, colCount, rvData);
}

TRVTableItemInfo::~TRVTableItemInfo() {
    if (auto* formatted = dynamic_cast<TCustomRVFormattedData*>(FRVData))
        if (formatted->ChosenItem == this) {
            // The chosen sub-document may be the cell editor's, which goes with the table.
            formatted->ChosenItem = nullptr;
            formatted->ChosenRVData = nullptr;
        }
    // An open cell editor closes as the document is cleared: its items go with it, nothing is
    // handed to an undo list that no longer has the table, and its end is reported.
    if (FInplaceEditor) {
        const int row = std::exchange(FEditedRow, -1), col = std::exchange(FEditedCol, -1);
        FInplaceEditor->Closing = true;
        FInplaceEditor.reset();
        if (OnCellEndEdit) OnCellEndEdit(this, row, col, true);
    }
    // The rows and cells go with the table: they no longer reach it or the document's marker
    // list while they are freed.
    FRVData = nullptr;
    for (int r = 0; r < Rows.RowCount(); ++r)
        Rows.GetRow(r)->Rows = nullptr;
}

void TRVTableItemInfo::InitTable() {
    StyleNo = rvsTable;
    StateBits = rvtsLoading;
    NeedsLayout = true;
    RVLoadTableCursors();
}

std::unique_ptr<TCustomRVItemInfo> TRVTableItemInfo::NewInstance(TCustomRVData* rvData) const {
    return std::make_unique<TRVTableItemInfo>(rvData);
}

void RegisterTableItemClass() {
    RegisterRichViewItemType(rvsTable, "TRVTableItemInfo", [](TCustomRVData* rvData) {
        return std::unique_ptr<TCustomRVItemInfo>(std::make_unique<TRVTableItemInfo>(rvData));
    });
    RVRegisterRTFTableReader([](TCustomRVData* data) -> std::unique_ptr<TRVRTFTableReader> {
        return std::make_unique<TRVTableRTFReader>(data);
    });
}

namespace {
// Stored documents may hold tables before any table is built in code.
const bool TableClassRegistered = (RegisterTableItemClass(), true);
} // namespace

// ---------------------------------------------------------------------------------------------
// Properties.

bool TRVTableItemInfo::UsesUndo() const {
    return (StateBits & rvtsInserted) && (StateBits & rvtsEditMode) &&
           dynamic_cast<TRVEditRVData*>(FRVData);
}

template <class T> void TRVTableItemInfo::SetIntProperty(const char* name, T value, T& field) {
    if (field == value) return;
    if (UsesUndo()) {
        SetTablePropertyUndoable(name, int(value), RVTablePropertyAffectsWidth(name),
                                 RVTablePropertyAffectsHeight(name));
        return;
    }
    field = value;
    SetChangedFlag();
}
// The published integer setters are inline in the header.
template void TRVTableItemInfo::SetIntProperty<int32_t>(const char*, int32_t, int32_t&);

void TRVTableItemInfo::SetBorderStyle(TRVTableBorderStyle value) {
    SetIntProperty("BorderStyle", value, FBorderStyle);
}

void TRVTableItemInfo::SetCellBorderStyle(TRVTableBorderStyle value) {
    SetIntProperty("CellBorderStyle", value, FCellBorderStyle);
}

void TRVTableItemInfo::SetVOutermostRule(bool value) {
    SetIntProperty("VOutermostRule", value, FVOutermostRule);
}

void TRVTableItemInfo::SetHOutermostRule(bool value) {
    SetIntProperty("HOutermostRule", value, FHOutermostRule);
}

void TRVTableItemInfo::SetBackgroundImage(TGraphic* value) {
    if (value == BackgroundImage()) return;
    if (UsesUndo()) {
        SetBackgroundImageUndoable(value, -1, -1);
        return;
    }
    if (value && !value->Empty()) {
        if (!FBackground) FBackground = std::make_unique<TRVBackground>(false);
        FBackground->AssignImage(value);
    } else {
        FBackground.reset();
    }
    SetChangedFlag();
}

void TRVTableItemInfo::SetBackgroundStyle(TRVItemBackgroundStyle value) {
    SetIntProperty("BackgroundStyle", value, FBackgroundStyle);
}

int32_t TRVTableItemInfo::*TRVTableItemInfo::IntFieldByName(const std::string& name) {
    struct Entry {
        const char* Name;
        int32_t TRVTableItemInfo::*Field;
    };
    static const Entry entries[] = {
        {"BestWidth", &TRVTableItemInfo::FBestWidth},
        {"Color", &TRVTableItemInfo::FColor},
        {"HeadingRowCount", &TRVTableItemInfo::FHeadingRowCount},
        {"BorderWidth", &TRVTableItemInfo::FBorderWidth},
        {"BorderColor", &TRVTableItemInfo::FBorderColor},
        {"BorderLightColor", &TRVTableItemInfo::FBorderLightColor},
        {"BorderVSpacing", &TRVTableItemInfo::FBorderVSpacing},
        {"BorderHSpacing", &TRVTableItemInfo::FBorderHSpacing},
        {"CellBorderWidth", &TRVTableItemInfo::FCellBorderWidth},
        {"CellBorderColor", &TRVTableItemInfo::FCellBorderColor},
        {"CellBorderLightColor", &TRVTableItemInfo::FCellBorderLightColor},
        {"CellPadding", &TRVTableItemInfo::FCellPadding},
        {"VRuleWidth", &TRVTableItemInfo::FVRuleWidth},
        {"VRuleColor", &TRVTableItemInfo::FVRuleColor},
        {"HRuleWidth", &TRVTableItemInfo::FHRuleWidth},
        {"HRuleColor", &TRVTableItemInfo::FHRuleColor},
        {"CellVSpacing", &TRVTableItemInfo::FCellVSpacing},
        {"CellHSpacing", &TRVTableItemInfo::FCellHSpacing},
    };
    for (const Entry& e : entries)
        if (name == e.Name) return e.Field;
    return nullptr;
}

bool TRVTableItemInfo::SetPropertyByName(const std::string& name, int32_t value) {
    if (int32_t TRVTableItemInfo::*field = IntFieldByName(name)) {
        SetIntProperty(name.c_str(), value, this->*field);
        return true;
    }
    if (name == "BorderStyle" || name == "CellBorderStyle") {
        if (value < rvtbRaised || value > rvtbLoweredColor) return false;
        if (name == "BorderStyle")
            SetBorderStyle(TRVTableBorderStyle(value));
        else
            SetCellBorderStyle(TRVTableBorderStyle(value));
        return true;
    }
    if (name == "VOutermostRule") {
        SetVOutermostRule(value != 0);
        return true;
    }
    if (name == "HOutermostRule") {
        SetHOutermostRule(value != 0);
        return true;
    }
    if (name == "BackgroundStyle") {
        if (value < rvbsColor || value > rvbsCentered) return false;
        SetBackgroundStyle(TRVItemBackgroundStyle(value));
        return true;
    }
    return false;
}

void TRVTableItemInfo::SetCellIntProperty(int /*itemNo*/, const std::string& name,
                                          bool affectsWidth, bool affectsHeight, int row, int col,
                                          int32_t value) {
    TRVTableCellData* cell = Rows.GetCell(row, col);
    if (!cell) throw ERichViewError(errRVTableIndex);
    if (name == "BestHeight") value = std::max(value, 0);
    TEditStep step(*this, UsesUndo());
    RVTableSetIntProperty(*this, row, col, name, value, affectsWidth, affectsHeight);
}

void TRVTableItemInfo::SetCellBestWidth(int itemNo, int32_t value, int row, int col) {
    SetCellIntProperty(itemNo, "BestWidth", true, true, row, col, value);
}

void TRVTableItemInfo::SetCellBestHeight(int itemNo, int32_t value, int row, int col) {
    SetCellIntProperty(itemNo, "BestHeight", false, true, row, col, value);
}

void TRVTableItemInfo::SetCellVisibleBorders(int /*itemNo*/, bool left, bool top, bool right,
                                             bool bottom, int row, int col) {
    TRVTableCellData* cell = Rows.GetCell(row, col);
    if (!cell) throw ERichViewError(errRVTableIndex);
    if (cell->VisibleBorders.EqualsValues(left, top, right, bottom)) return;
    TEditStep step(*this, UsesUndo());
    if (GetEditUndoList()) {
        auto record = RVNewTableRecord<TRVUndoModifyCellVisibleBorders>(
            *this, false, TRVTableCellPlace{row, col});
        record->Left = cell->VisibleBorders.Left;
        record->Top = cell->VisibleBorders.Top;
        record->Right = cell->VisibleBorders.Right;
        record->Bottom = cell->VisibleBorders.Bottom;
        AddUndoRecord(std::move(record));
    }
    cell->SetVisibleBorders(left, top, right, bottom);
    SetChangedFlag();
}

void TRVTableItemInfo::SetCellBackgroundImage(TGraphic* graphic, int row, int col) {
    TRVTableCellData* cell = Rows.GetCell(row, col);
    if (!cell) throw ERichViewError(errRVTableIndex);
    if (cell->BackgroundImage() == graphic) return;
    if (UsesUndo()) {
        SetBackgroundImageUndoable(graphic, row, col);
        return;
    }
    cell->SetBackgroundImage(graphic);
    SetChangedFlag();
}

void TRVTableItemInfo::AssignCellAttributes(int row, int col, int rowCount, int colCount,
                                            bool withSizes, const TRVTableCellData& source) {
    TRVTableCellData* cell = Rows.GetCell(row, col);
    if (!cell) throw ERichViewError(errRVTableIndex);
    cell->AssignAttributes(source, withSizes, rowCount, colCount);
    SetChangedFlag();
}

void TRVTableItemInfo::MergeCells(int topRow, int leftCol, int colSpan, int rowSpan,
                                  bool allowMergeRC) {
    if (FInplaceEditor) DestroyCellEditor(true);
    {
        TEditStep step(*this, UsesUndo());
        Rows.MergeCellRange(topRow, leftCol, colSpan, rowSpan, allowMergeRC, true);
        SetChangedFlag();
    }
    // What the screen shows follows at once in a laid-out document.
    FormatDocumentAfterChange();
}

void TRVTableItemInfo::AddUndoRecord(std::unique_ptr<TRVUndoInfo> record) {
    TRVUndoList* undo = GetEditUndoList();
    if (undo && undo->LastGroup()) undo->AddInfo(std::move(record));
}

template <class F> void TRVTableItemInfo::RunGridEdit(F edit) {
    if (FInplaceEditor) DestroyCellEditor(true);
    Deselect();
    {
        TEditStep step(*this, UsesUndo());
        const int itemNo = GetItemNo();
        AddUndoRecord(std::make_unique<TRVUndoModifyItemTerminator>(itemNo, true));
        edit();
        AddUndoRecord(std::make_unique<TRVUndoModifyItemTerminator>(itemNo, false));
    }
    SetChangedFlag();
    FormatDocumentAfterChange();
}

void TRVTableItemInfo::InsertTableRows(int index, int count, bool select, int copyIndex) {
    // Nothing to insert changes nothing (bad indices still raise).
    if (count <= 0) return Rows.InsertRows(index, count, copyIndex, false);
    RunGridEdit([&] { Rows.InsertRows(index, count, copyIndex, false); });
    if (select) SelectRows(index, count);
}

void TRVTableItemInfo::InsertColumns(int index, int count, bool select, int copyIndex) {
    if (count <= 0) return Rows.InsertCols(index, count, copyIndex, false);
    RunGridEdit([&] { Rows.InsertCols(index, count, copyIndex, false); });
    if (select) SelectCols(index, count);
}

void TRVTableItemInfo::DeleteRows(int index, int count) {
    if (Rows.IsEmpty()) throw ERichViewError(errRVTableIndex);
    RunGridEdit([&] { Rows.DeleteRows(index, count); });
}

void TRVTableItemInfo::DeleteColumns(int index, int count, bool adjustWidths) {
    if (Rows.IsEmpty()) throw ERichViewError(errRVTableIndex);
    // The edited cell's place after the deletion: columns right of the deleted ones move left.
    const bool wasEditing = FInplaceEditor != nullptr;
    const int editedRow = FEditedRow;
    const int editedCol = FEditedCol >= index + count ? FEditedCol - count : FEditedCol;
    RunGridEdit([&] { Rows.DeleteCols(index, count, adjustWidths); });
    if (wasEditing && !Rows.IsEmpty() && Options.Contains(TRVTableOption::rvtoEditing) &&
        editedRow >= 0 && editedRow < RowCount() && editedCol >= 0) {
        int row, col;
        Rows.GetMainCell(editedRow, std::min(editedCol, ColCount() - 1), row, col);
        OpenCellEditor(-1, row, col, true, false, false, false);
    }
}

bool TRVTableItemInfo::HeadingRowsValid() const {
    const int n = std::min(HeadingRowCount(), RowCount());
    if (n <= 0) return false;
    const TRVTableRow* row = Rows.GetRow(n - 1);
    for (int c = 0; c < row->Count(); ++c)
        if (TRVTableCellData* cell = row->Cell(c); cell && cell->RowSpan > 1) return false;
    // Cells of earlier heading rows may not reach below the headings either.
    for (int r = 0; r < n - 1; ++r)
        for (int c = 0; c < Rows.GetRow(r)->Count(); ++c)
            if (TRVTableCellData* cell = Rows.GetRow(r)->Cell(c); cell && r + cell->RowSpan > n)
                return false;
    return true;
}

TColor TRVTableItemInfo::GetTableColor(bool useDocumentColor) const {
    if (Color() != clNone) return Color();
    TRVStyle* style = FRVData ? FRVData->GetRVStyle() : nullptr;
    if (style) {
        const TColor para = style->ParaStyles.GetItem(ParaNo).Background.Color;
        if (para != clNone) return para;
    }
    if (useDocumentColor)
        if (auto* formatted = dynamic_cast<TCustomRVFormattedData*>(FRVData))
            return formatted->GetColor();
    return clNone;
}

TColor TRVTableItemInfo::GetCellColor(const TRVTableCellData* cell) const {
    if (cell && cell->Color != clNone) return cell->Color;
    return GetTableColor(true);
}

bool TRVTableItemInfo::CellHasNoColor(const TRVTableCellData* cell) const {
    if (cell && cell->Color != clNone) return false;
    return GetTableColor(false) == clNone;
}

bool TRVTableItemInfo::GetCellPosition(const TRVTableCellData* cell, int& row, int& col) const {
    for (int r = 0; r < RowCount(); ++r)
        for (int c = 0; c < Rows.GetRow(r)->Count(); ++c)
            if (Rows.GetRow(r)->Cell(c) == cell && cell) {
                row = r;
                col = c;
                return true;
            }
    row = -1;
    col = -1;
    return false;
}

bool TRVTableItemInfo::GetNeighbourCell(int row, int col, int& newCol, int& newRow,
                                        int direction) const {
    if (Rows.IsEmpty() || row < 0 || row >= RowCount() || col < 0 || col >= ColCount())
        return false;
    int mr, mc;
    TRVTableCellData* cell = Rows.GetMainCell(row, col, mr, mc);
    if (!cell) return false;
    auto next = [&](int r, int c, int step) {
        // Reading order, skipping covered positions.
        for (;;) {
            c += step;
            if (c >= ColCount()) {
                c = 0;
                ++r;
            } else if (c < 0) {
                c = ColCount() - 1;
                --r;
            }
            if (r < 0 || r >= RowCount()) return false;
            if (Rows.GetRow(r)->Cell(c)) {
                newRow = r;
                newCol = c;
                return true;
            }
        }
    };
    switch (direction) {
    case 0:
        if (mc > 0) {
            Rows.GetMainCell(mr, mc - 1, newRow, newCol);
            return true;
        }
        return next(mr, mc, -1);
    case 1:
        if (mr == 0) return false;
        Rows.GetMainCell(mr - 1, mc, newRow, newCol);
        return true;
    case 2:
        if (mc + cell->ColSpan < ColCount()) {
            Rows.GetMainCell(mr, mc + cell->ColSpan, newRow, newCol);
            return true;
        }
        // Past the row's end: nothing when the cell reaches down to the last row.
        if (mr + cell->RowSpan >= RowCount()) return false;
        return next(mr, mc, 1);
    case 3:
        if (mr + cell->RowSpan >= RowCount()) return false;
        Rows.GetMainCell(mr + cell->RowSpan, mc, newRow, newCol);
        return true;
    case 6:
        return next(mr, mc, 1);
    case 7:
        return next(mr, mc, -1);
    default:
        return false;
    }
}

int TRVTableItemInfo::GetSpanBandEnd(int row) const {
    int end = row;
    for (int r = row; r <= end && r < RowCount(); ++r)
        for (int c = 0; c < Rows.GetRow(r)->Count(); ++c)
            if (TRVTableCellData* cell = Rows.GetRow(r)->Cell(c))
                end = std::max(end, std::min(r + int(cell->RowSpan), RowCount()) - 1);
    return end;
}

int TRVTableItemInfo::GetSpanBandStart(int row) const {
    int start = row;
    bool grown = true;
    while (grown) {
        grown = false;
        for (int r = 0; r < start; ++r)
            for (int c = 0; c < Rows.GetRow(r)->Count(); ++c)
                if (TRVTableCellData* cell = Rows.GetRow(r)->Cell(c);
                    cell && r + cell->RowSpan > start) {
                    start = r;
                    grown = true;
                }
    }
    return start;
}

std::string TRVTableItemInfo::GetTableAsText(bool unicode) {
    TEditedCellContent edited(*this);
    std::string result;
    // The separators are 8-bit text of the document's code page.
    const uint32_t codePage = FRVData ? FRVData->CodePageOfStyle(-1) : CP_ACP;
    auto sep = [&](const std::string& s) {
        return unicode ? WideToBytes(AnsiToWide(s, codePage)) : s;
    };
    for (int r = 0; r < RowCount(); ++r) {
        bool first = true;
        for (int c = 0; c < ColCount(); ++c) {
            TRVTableCellData* cell = Rows.GetRow(r)->Cell(c);
            if (!cell) continue;
            if (!first) result += sep(TextColSeparator);
            first = false;
            TMemoryStream stream;
            cell->WriteTextToStream(stream, std::string(), 80, false, unicode);
            result += stream.DataString();
        }
        result += sep(TextRowSeparator);
    }
    return result;
}

int TRVTableItemInfo::GetItemNo() const {
    if (!FRVData) return -1;
    if (FItemNo >= 0 && FItemNo < FRVData->ItemCount() && FRVData->GetItem(FItemNo) == this)
        return FItemNo;
    FItemNo = FRVData->FindItemIndex(this);
    return FItemNo;
}

// ---------------------------------------------------------------------------------------------
// Item operations.

bool TRVTableItemInfo::QueryFlag(int kind) const {
    if (kind == rvifChangesCanvasFont || kind == rvifCanChangeSize || kind == rvifHasSubDocuments)
        return true;
    return TRVFullLineItemInfo::GetKindFlag(kind);
}

bool TRVTableItemInfo::QueryStyleFlag(int kind) const {
    if (kind == rvisCanUseDeviceFit) return false;
    return TRVFullLineItemInfo::GetStateFlag(kind);
}

void TRVTableItemInfo::SetPosition(int x, int y) {
    FX = x;
    FY = y;
    if (FInplaceEditor) PlaceCellEditor(x, y);
}

TCustomRVData* TRVTableItemInfo::GetSubRVData(int index) const {
    int n = 0;
    for (int r = 0; r < RowCount(); ++r)
        for (int c = 0; c < Rows.GetRow(r)->Count(); ++c)
            if (TRVTableCellData* cell = Rows.GetRow(r)->Cell(c)) {
                if (n == index) return cell;
                ++n;
            }
    return nullptr;
}

TCustomRVData* TRVTableItemInfo::GetSubDocumentAtPoint(int x, int y) {
    for (int r = 0; r < RowCount(); ++r)
        for (int c = 0; c < Rows.GetRow(r)->Count(); ++c)
            if (TRVTableCellData* cell = Rows.GetRow(r)->Cell(c);
                cell && x >= cell->Left && x < cell->Left + cell->Width && y >= cell->Top &&
                y < cell->Top + cell->Height)
                return cell;
    return nullptr;
}

void TRVTableItemInfo::NotifyInserting(TCustomRVData* rvData, std::string& text) {
    TRVFullLineItemInfo::NotifyInserting(rvData, text);
    if (rvData) FRVData = rvData;
    for (int r = 0; r < RowCount(); ++r)
        for (int c = 0; c < Rows.GetRow(r)->Count(); ++c)
            if (TRVTableCellData* cell = Rows.GetRow(r)->Cell(c)) cell->NotifyAllItemsInserting();
}

void TRVTableItemInfo::NotifyInserted(TCustomRVData* rvData, int itemNo) {
    Inserted(rvData, itemNo);
    TRVFullLineItemInfo::NotifyInserted(rvData, itemNo);
}

void TRVTableItemInfo::Inserted(TCustomRVData* rvData, int itemNo) {
    FRVData = rvData;
    FItemNo = itemNo;
    StateBits &= uint16_t(~(rvtsInserted | rvtsEditMode));
    if (rvData) StateBits |= rvtsInserted;
    if (rvData && dynamic_cast<TRVEditRVData*>(rvData->GetRootData())) StateBits |= rvtsEditMode;
    for (int r = 0; r < RowCount(); ++r)
        for (int c = 0; c < Rows.GetRow(r)->Count(); ++c)
            if (TRVTableCellData* cell = Rows.GetRow(r)->Cell(c)) {
                cell->Owner = Rows.GetRow(r);
                if (cell->ItemCount() == 0) cell->ResetContent();
            }
    NeedsLayout = true;
}

void TRVTableItemInfo::AfterLoading(int format) {
    if (format >= 2 && format <= 4) StateBits &= uint16_t(~rvtsLoading);
}

void TRVTableItemInfo::FinishLoading() {
    if (!(StateBits & rvtsLoading)) return;
    for (int r = 0; r < RowCount(); ++r)
        for (int c = 0; c < Rows.GetRow(r)->Count(); ++c)
            if (TRVTableCellData* cell = Rows.GetRow(r)->Cell(c))
                for (int i = 0; i < cell->ItemCount(); ++i)
                    if (auto* table = dynamic_cast<TRVTableItemInfo*>(cell->GetItem(i)))
                        table->FinishLoading();
    StateBits &= uint16_t(~rvtsLoading);
}

void TRVTableItemInfo::MarkStylesInUse(TRVIntegerList& usedText, TRVIntegerList& usedPara,
                                       TRVIntegerList& usedList) const {
    TRVFullLineItemInfo::MarkStylesInUse(usedText, usedPara, usedList);
    for (int i = 0; TCustomRVData* cell = GetSubRVData(i); ++i)
        cell->CollectUsedStyles(usedText, usedPara, usedList);
}

void TRVTableItemInfo::RenumberStyles(const TRVIntegerList& textMap, const TRVIntegerList& paraMap,
                                      const TRVIntegerList& listMap) {
    TRVFullLineItemInfo::RenumberStyles(textMap, paraMap, listMap);
    for (int i = 0; TCustomRVData* cell = GetSubRVData(i); ++i)
        cell->RenumberStyles(textMap, paraMap, listMap);
}

bool TRVTableItemInfo::AsText(std::string& result, bool unicode, int /*lineWidth*/,
                              TCustomRVData* /*rvData*/, int /*itemNo*/) const {
    result = const_cast<TRVTableItemInfo*>(this)->GetTableAsText(unicode);
    return true;
}

} // namespace epc
