#pragma once
// Undo records of table edits, and the grid steps that write them. Every step changes the grid
// of a table and, when the table records undo, adds one record that knows how to reverse it;
// reversing adds the opposite record, so the same classes serve undo and redo. Records find
// their table by its item index in the document that replays them and never hold the table.

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "richtext/edit/RVUndo.h"
#include "richtext/table/RVTable.h"

namespace epc {

// The table at an item index of a document; null when the item is not a table.
TRVTableItemInfo* RVTableAtItem(TCustomRVData* rvData, int itemNo);

// Base of the table's own records: the table's item index, the flags of a property change and
// the direction. A record made by a change has Forward clear and reverses the change; its
// opposite has Forward set and makes the change again.
class TRVUndoTableInfo : public TRVUndoModifyItemProps {
public:
    std::string ClassName() const override { return "TRVUndoTableInfo"; }
    bool Forward = false;
    void Undo(TCustomRVData* rvData, TRVUndoList* reverse) override;
    bool RequiresFormat() const override { return true; }

protected:
    virtual void Replay(TRVTableItemInfo& table) = 0;
};

// A property of a cell (a negative row: of the table) set back by name; the cell is found at
// its row and column when the record replays.
class TRVUndoModifyCellIntProperty : public TRVUndoModifyItemIntProperty {
public:
    TRVUndoModifyCellIntProperty(int row, int col) : Row(row), Col(col) {}
    std::string ClassName() const override { return "TRVUndoModifyCellIntProperty"; }
    int32_t Row, Col;
    TRVIntPropertyHolder* GetTarget(TRVEditRVData& data) override;
    std::unique_ptr<TRVUndoModifyItemIntProperty> CreateReverse() const override;
};

class TRVUndoModifyCellIntProperties : public TRVUndoModifyItemIntProperties {
public:
    TRVUndoModifyCellIntProperties(int row, int col) : Row(row), Col(col) {}
    std::string ClassName() const override { return "TRVUndoModifyCellIntProperties"; }
    int32_t Row, Col;
    TRVIntPropertyHolder* GetTarget(TRVEditRVData& data) override;
    std::unique_ptr<TRVUndoModifyItemIntProperties> CreateReverse() const override;
};

// The fields a grid record shares with its reverse; the reverse is made from a copy of them.
struct TRVTableCellPlace {
    int32_t Row = 0, Col = 0;
};
struct TRVTableCellArea {
    int32_t Row = 0, Col = 0, RowCount = 0, ColCount = 0;
};
struct TRVTableLineRange {
    int32_t Index = 0, Count = 0;
};
struct TRVTableSpreadArgs {
    int32_t Row = 0, Col = 0, Span = 1;
};
struct TRVTableSpanArgs {
    bool IsRowSpan = false;
    int32_t Row = 0, Col = 0, OldSpan = 1;
};
struct TRVTableSplitArgs {
    int32_t Row = 0, Col = 0, SplitCol = 0;
    bool AdjustWidths = false;
    int32_t OldBestWidth = 0;
};
struct TRVTableMoveArgs {
    int32_t FromRow = 0, ToRow = 0, Col = 0;
};
struct TRVTableCellList {
    TRVIntegerList Rows, Cols;
};
struct TRVTableMergeArgs {
    int32_t TopRow = 0, LeftCol = 0, NewColSpan = 1, NewRowSpan = 1;
    bool MergedBestWidth = false;
};

// A table record whose fields are the group Fields.
template <class Fields> class TRVUndoTableStep : public TRVUndoTableInfo, public Fields {
public:
    const Fields& Args() const { return *this; }
};

// A new record of type T for Table, of the given direction (the table's item index set).
template <class T>
std::unique_ptr<T> RVNewTableRecord(const TRVTableItemInfo& table, bool forward) {
    auto record = std::make_unique<T>();
    record->Action = rvuModifyItem;
    record->ItemNo = table.GetItemNo();
    record->AffectsWidth = true;
    record->AffectsHeight = true;
    record->Forward = forward;
    return record;
}

template <class T, class Fields>
std::unique_ptr<T> RVNewTableRecord(const TRVTableItemInfo& table, bool forward,
                                    const Fields& fields) {
    auto record = RVNewTableRecord<T>(table, forward);
    static_cast<Fields&>(*record) = fields;
    return record;
}

class TRVUndoModifyCellVisibleBorders : public TRVUndoTableStep<TRVTableCellPlace> {
public:
    std::string ClassName() const override { return "TRVUndoModifyCellVisibleBorders"; }
    bool Left = true, Top = true, Right = true, Bottom = true;

protected:
    void Replay(TRVTableItemInfo& table) override;
};

// A negative Row: the table's own picture.
class TRVUndoModifyBackgroundImage : public TRVUndoTableStep<TRVTableCellPlace> {
public:
    std::string ClassName() const override { return "TRVUndoModifyBackgroundImage"; }
    std::unique_ptr<TGraphic> OldImage;

protected:
    void Replay(TRVTableItemInfo& table) override;
};

// Rows Index .. Index + Count - 1 were inserted; reversing deletes them (keeping the rows),
// making the change again puts the kept rows back.
class TRVUndoInsertTableRows : public TRVUndoTableStep<TRVTableLineRange> {
public:
    std::string ClassName() const override { return "TRVUndoInsertTableRows"; }
    std::vector<std::unique_ptr<TObject>> KeptRows;

protected:
    void Replay(TRVTableItemInfo& table) override;
};

// A new cell entry at (Row, Col).
class TRVUndoInsertTableCell : public TRVUndoTableStep<TRVTableCellPlace> {
public:
    std::string ClassName() const override { return "TRVUndoInsertTableCell"; }
    std::unique_ptr<TRVTableCellData> KeptCell;

protected:
    void Replay(TRVTableItemInfo& table) override;
};

// The cell at (Row, Col) took ColSpan Span over the empty cells after it.
class TRVUndoSpreadOverEmptyCells : public TRVUndoTableStep<TRVTableSpreadArgs> {
public:
    std::string ClassName() const override { return "TRVUndoSpreadOverEmptyCells"; }

protected:
    void Replay(TRVTableItemInfo& table) override;
};

class TRVUndoSpan : public TRVUndoTableStep<TRVTableSpanArgs> {
public:
    std::string ClassName() const override { return "TRVUndoSpan"; }

protected:
    void Replay(TRVTableItemInfo& table) override;
};

// The cells of a rectangle were freed (their positions are covered).
class TRVUndoFreeEmptyCell : public TRVUndoTableStep<TRVTableCellArea> {
public:
    std::string ClassName() const override { return "TRVUndoFreeEmptyCell"; }

protected:
    void Replay(TRVTableItemInfo& table) override;
};

// Covered positions were inserted into the rows of a rectangle.
class TRVUndoInsertEmptyCell : public TRVUndoTableStep<TRVTableCellArea> {
public:
    std::string ClassName() const override { return "TRVUndoInsertEmptyCell"; }

protected:
    void Replay(TRVTableItemInfo& table) override;
};

class TRVUndoCellSpitVert : public TRVUndoTableStep<TRVTableSplitArgs> {
public:
    std::string ClassName() const override { return "TRVUndoCellSpitVert"; }

protected:
    void Replay(TRVTableItemInfo& table) override;
};

// A cell that moved between rows (row deletion keeps the part of a tall cell below the
// deleted rows).
class TRVUndoMoveCell : public TRVUndoTableStep<TRVTableMoveArgs> {
public:
    std::string ClassName() const override { return "TRVUndoMoveCell"; }

protected:
    void Replay(TRVTableItemInfo& table) override;
};

// Detached cells: the record keeps them until they go back into the grid.
template <class Fields> class TCustomRVUndoWithCells : public TRVUndoTableStep<Fields> {
public:
    std::string ClassName() const override { return "TCustomRVUndoWithCells"; }
    std::vector<std::unique_ptr<TRVTableCellData>> Cells;
};

// Columns Index .. Index + Count - 1 were removed; Cells holds Count entries per row, row by
// row (null for covered positions).
class TRVUndoDeleteCols : public TCustomRVUndoWithCells<TRVTableLineRange> {
public:
    std::string ClassName() const override { return "TRVUndoDeleteCols"; }

protected:
    void Replay(TRVTableItemInfo& table) override;
};

// The listed cells were replaced by empty ones with the same attributes; Cells holds the old.
class TRVUndoCellsClear : public TCustomRVUndoWithCells<TRVTableCellList> {
public:
    std::string ClassName() const override { return "TRVUndoCellsClear"; }

protected:
    void Replay(TRVTableItemInfo& table) override;
};

// One merged-away cell: its place, the cell itself and how many items it gave the survivor.
class TRVUndoMergeItem : public TObject {
public:
    std::string ClassName() const override { return "TRVUndoMergeItem"; }
    int32_t Row = 0, Col = 0;
    std::unique_ptr<TRVTableCellData> Cell;
    int32_t ItemCount = 0;
};

class TRVUndoMerge : public TRVUndoTableStep<TRVTableMergeArgs> {
public:
    std::string ClassName() const override { return "TRVUndoMerge"; }
    int32_t OldColSpan = 1, OldRowSpan = 1, OldBestWidth = 0;
    std::vector<std::unique_ptr<TRVUndoMergeItem>> Items;

protected:
    void Replay(TRVTableItemInfo& table) override;
};

// The steps of a cell's in-place editor as one step of the containing document: replaying it
// reopens the editor on the cell, gives the records back to the editor and lets the editor
// undo (redo) them itself.
class TRVUndoCellModify : public TRVCompositeUndo {
public:
    TRVUndoCellModify(int itemNo, TCustomRVData* innerData) : TRVCompositeUndo(itemNo, innerData) {
        Action = rvuModifyItem;
    }
    std::string ClassName() const override { return "TRVUndoCellModify"; }
    bool IsRedo = false;
    int32_t Row = 0, Col = 0;
    int32_t SelStartNo = -1, SelStartOffs = -1, SelEndNo = -1, SelEndOffs = -1;
    int32_t FirstAffected = -1, LastAffected = -1;
    void Undo(TCustomRVData* rvData, TRVUndoList* reverse) override;
    void GetAffectedItemRange(int& first, int& last) const override {
        first = ItemNo;
        last = ItemNo;
    }
};

// Style operations run on several cells through a scratch editor: per listed cell, the number
// of the scratch editor's groups that belong to it.
class TRVUndoMultiCellsModify : public TRVCompositeUndo {
public:
    TRVUndoMultiCellsModify(int itemNo, TCustomRVData* innerData)
        : TRVCompositeUndo(itemNo, innerData) {
        Action = rvuModifyItem;
    }
    std::string ClassName() const override { return "TRVUndoMultiCellsModify"; }
    bool IsRedo = false;
    TRVIntegerList Rows, Cols, Counts;
    void Undo(TCustomRVData* rvData, TRVUndoList* reverse) override;
    bool RequiresFullReformat(TCustomRVData* /*rvData*/) const override { return true; }
    void GetAffectedItemRange(int& first, int& last) const override {
        first = ItemNo;
        last = ItemNo;
    }
};

// ---- Grid steps. Each changes the grid of Table and records its reverse when the table
// records undo; cells that leave the grid then go into the record instead of being freed.
void RVTableSetSpan(TRVTableItemInfo& table, bool rowSpan, int row, int col, int value);
void RVTableInsertRows(TRVTableItemInfo& table, int index, int count);
void RVTableDeleteRowEntries(TRVTableItemInfo& table, int index, int count);
void RVTableInsertCell(TRVTableItemInfo& table, int row, int col);
void RVTableInsertEmptyPositions(TRVTableItemInfo& table, int row, int col, int rowCount,
                                 int colCount);
void RVTableFreeCells(TRVTableItemInfo& table, int row, int col, int rowCount, int colCount);
void RVTableSpreadOverEmptyCells(TRVTableItemInfo& table, int row, int col, int span);
void RVTableMoveCell(TRVTableItemInfo& table, int fromRow, int toRow, int col);
void RVTableDeleteColEntries(TRVTableItemInfo& table, int index, int count);
void RVTableClearCells(TRVTableItemInfo& table, const TRVIntegerList& rows,
                       const TRVIntegerList& cols);
// Sets an integer property of a cell (a negative row: of the table) by name.
void RVTableSetIntProperty(TRVTableItemInfo& table, int row, int col, const std::string& name,
                           int32_t value, bool affectsWidth, bool affectsHeight);
// The current value of a cell's (or the table's) integer property; false for unknown names.
bool RVTableGetIntProperty(const TRVTableItemInfo& table, int row, int col, const std::string& name,
                           int32_t& value);

// An open cell editor takes a new padding or colour at once.
void RVTableCellEditorFollows(TRVTableItemInfo& table, const std::string& name, int row, int col);

// How a table property's change reaches the layout.
bool RVTablePropertyAffectsWidth(const std::string& name);
bool RVTablePropertyAffectsHeight(const std::string& name);

// Items that moved into Data from another document are told where they are now (a table
// keeps the document that holds it).
void RVRebindItems(TCustomRVData& data);

} // namespace epc
