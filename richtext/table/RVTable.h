#pragma once
// Tables: cells (formatted sub-documents), rows, the grid with its spans and edits, and the
// table item that a document holds, with its look, layout and painting.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/core/Set.h"
#include "richtext/document/RVClasses.h"
#include "richtext/document/RVItem.h"
#include "richtext/edit/RVEditTransaction.h"
#include "richtext/edit/RVUndo.h"
#include "richtext/edit/RVUndoRecords.h"
#include "richtext/view/PtRVData.h"
#include "richtext/view/RVBackground.h"
#include "richtext/view/RVControlData.h"

namespace epc {

class TRVTablePrintInfo;
class TRVTableInplaceEdit;
class TCustomRichViewEdit;
// Frees a cell editor (defined with the editor, so that the table needs only its name).
struct TRVTableInplaceEditDeleter {
    void operator()(TRVTableInplaceEdit* editor) const;
};

class TRVTableItemInfo;
class TRVTableRow;
class TRVTableRows;

inline constexpr const char* errRVTableMerge = "Parameters for cell merging are not correct";
inline constexpr const char* errRVTableIndex = "Invalid row or column index";
inline constexpr const char* errRVTableInplaceBusy =
    "Cannot destroy cell inplace editor at this time";

// The cell editor cannot step aside while it is busy.
EPC_EXCEPTION_CLASS(ERVTableInplaceError, ERichViewError)

enum TRVTableBorderStyle : uint8_t {
    rvtbRaised,
    rvtbLowered,
    rvtbColor,
    rvtbRaisedColor,
    rvtbLoweredColor
};
enum class TRVTableOption {
    rvtoEditing,
    rvtoRowSizing,
    rvtoColSizing,
    rvtoRowSelect,
    rvtoColSelect,
    rvtoRTFSaveCellPixelBestWidth,
    rvtoRTFAllowAutofit,
    rvtoHideGridLines,
    rvtoOverlappingCorners,
    rvtoCellBelowBorders
};
using TRVTableOptions = TSet<TRVTableOption>;
enum class TRVTablePrintOption { rvtoHalftoneBorders, rvtoRowsSplit, rvtoWhiteBackground };
using TRVTablePrintOptions = TSet<TRVTablePrintOption>;
enum TRVCellVAlign : uint8_t { rvcTop, rvcMiddle, rvcBottom, rvcVDefault };
// A width as HTML gives it: > 0 pixels, < 0 minus a percentage, 0 automatic.
using TRVHTMLLength = int32_t;
enum TRVItemBackgroundStyle : uint8_t { rvbsColor, rvbsStretched, rvbsTiled, rvbsCentered };
// How a background object lays out the picture of a cell or table of that style.
TBackgroundStyle RVCellBackgroundStyle(TRVItemBackgroundStyle style);

// How SearchText compares: letters of either case alike unless rvsoMatchCase; with
// rvsoWholeWord only text between delimiters (or item edges).
enum class TRVSearchOption { rvsoMatchCase, rvsoWholeWord };
using TRVSearchOptions = TSet<TRVSearchOption>;

// The pen style of grid lines; psClear switches them off.
extern TPenStyle RVTableGridPenStyle;

// One cell: a document of its own placed in the table's box.
class TRVTableCellData : public TRVItemFormattedData, public TRVIntPropertyHolder {
public:
    explicit TRVTableCellData(TRVTableRow* row);
    ~TRVTableCellData() override;
    std::string ClassName() const override { return "TRVTableCellData"; }

    TColor Color = clNone;
    TRVCellVAlign VAlign = rvcVDefault;
    TRVHTMLLength BestWidth = 0;
    int32_t BestHeight = 0;
    int32_t RowSpan = 1;
    int32_t ColSpan = 1;
    // Geometry of the last layout, relative to the table's top-left corner.
    int32_t Left = 0, Top = 0, Width = 0, Height = 0;
    TRVBooleanRect VisibleBorders{true};
    TColor BorderColor = clNone;
    TColor BorderLightColor = clNone;

    TRVTableRow* Row() const;
    TRVTableItemInfo* GetTable() const;
    bool IsTransparent() const { return Color == clNone; }
    // An open cell editor on this cell takes the new effective colour at once.
    void SetColor(TColor value);
    void SetBestWidth(TRVHTMLLength value) { BestWidth = value; }
    void SetBestHeight(int32_t value) { BestHeight = value; }
    void SetVisibleBorders(bool left, bool top, bool right, bool bottom) {
        VisibleBorders.SetValues(left, top, right, bottom);
    }
    TGraphic* BackgroundImage() const { return FBackground ? FBackground->GetImage() : nullptr; }
    void SetBackgroundImage(TGraphic* value);
    TRVItemBackgroundStyle BackgroundStyle() const { return FBackgroundStyle; }
    void SetBackgroundStyle(TRVItemBackgroundStyle value);
    TRVBackground* CellBackground() const { return FBackground.get(); }

    int GetNeededHeight() const;
    int GetMinWidth(const TRVScreenAndDevice* sad, TCanvas* canvas);
    bool IsEmpty(bool strict) const;
    void AssignAttributes(const TRVTableCellData& source, bool withSizes, int rowDivisor,
                          int colDivisor);
    TRVCellVAlign GetEffectiveVAlign() const;
    int GetVAlignOffset() const;
    // Makes the cell hold one empty text item (style 0, paragraph 0).
    void ResetContent();
    // Out of the grid into an undo record kept by Container (the document that holds the
    // table): the items hear that they moved to undo, and the cell has no row until
    // RestoreFromUndo, when they hear that they are back.
    void MoveToUndo(TCustomRVData* container);
    void RestoreFromUndo(TRVTableRow* row);
    TCustomRVData* UndoContainer() const { return FUndoContainer; }
    // The published integer properties by name (the path undo records take).
    bool GetIntProperty(const std::string& name, int& value) const override;
    bool SetIntProperty(const std::string& name, int value) override;

    // ---- What the document layer asks.
    int GetClientWidth() const override;
    int GetClientHeight() const override;
    TCanvas* GetCanvas() const override;
    TColor GetColor() const override { return clNone; }
    TRVOptions GetOptions() const override;
    int GetHScrollPos() const override { return -FPaintX; }
    int GetVScrollPos() const override { return -FPaintY; }
    void GetOriginInRoot(int& x, int& y) const override;
    int GetContentVOffset() const override { return GetVAlignOffset(); }
    void DoItemAction(TRVItemAction action, TCustomRVItemInfo* item, std::string& text,
                      TCustomRVData* rvData) override;
    TCustomRVData* GetParentData() const override;
    // List numbering runs through the cells: while the table lies in a document the cell
    // answers with that document's marker list, and has none otherwise.
    TRVMarkerList* GetMarkers(bool allowCreate) override;
    // The containing document's options, less style tables, layout and background: a cell's
    // stored contents are items only.
    TRVFOptions GetRVFOptions() const override;
    // Hyperlinks of the cell are numbered on from those before the table.
    int32_t FirstJumpNo = 0;
    int GetFirstJumpNo() const override { return FirstJumpNo; }
    // The background picture travels beside the published properties.
    void DefineProperties(TFiler* filer) override;

    // Stream forms of the visible borders (a set of Left, Top, Right, Bottom).
    uint8_t GetVisibleBordersBits() const;
    void SetVisibleBordersBits(uint8_t bits);

    // Searches the cell's items on from where its last search stopped (from its start down,
    // its end up, the first time); nested tables search their own cells. A find is selected
    // in the cell once it is formatted; the text searched for is not empty.
    bool SearchText(bool down, TRVSearchOptions options, const std::u16string& text);
    // Forgets where the last search stopped, in nested tables too.
    void ResetSearch();
    // The last find: item, its character offsets from and after; item -1 for none.
    void GetSearchFind(int& itemNo, int& startOffs, int& endOffs) const {
        itemNo = FFoundItemNo;
        startOffs = FFoundStart;
        endOffs = FFoundEnd;
    }

    // Where the canvas shows the cell document's (0, 0) while it is painted.
    void SetPaintOrigin(int x, int y) {
        FPaintX = x;
        FPaintY = y;
    }

private:
    std::unique_ptr<TRVBackground> FBackground;
    TRVItemBackgroundStyle FBackgroundStyle = rvbsColor;
    TCustomRVData* FUndoContainer = nullptr;
    int FPaintX = 0, FPaintY = 0;
    // The item the last search stopped in (-1: not searched) and the offsets of its find there
    // (-1: the item is a nested table, which keeps its own place).
    int FSearchItemNo = -1, FSearchStart = -1, FSearchEnd = -1;
    int FFoundItemNo = -1, FFoundStart = 0, FFoundEnd = 0;
};

// One grid row: one entry per column, null where a spanning cell covers the position.
class TRVTableRow : public TObject, public TRVDataList {
public:
    TRVTableRow(int colCount, TRVTableRows* rows);
    ~TRVTableRow() override;
    TRVTableRows* Rows;
    TRVCellVAlign VAlign = rvcTop;

    TCustomRVFormattedData* GetParentRVData() const override;
    TRVTableCellData* Cell(int col) const { return static_cast<TRVTableCellData*>(Items(col)); }
    TRVTableCellData* AddCell();
    TRVTableCellData* InsertCell(int col);
    void InsertNil(int col) { Insert(col, nullptr); }
    // Puts Cell at an entry (which must be null) and binds it to this row.
    void PutCell(int col, std::unique_ptr<TRVTableCellData> cell);
    std::unique_ptr<TRVTableCellData> TakeCell(int col);
    int GetBestHeight() const;
    int GetHeight() const;
};

// The grid.
class TRVTableRows : public TRVList {
public:
    TRVTableRows(int rowCount, int colCount, TRVTableItemInfo* table);
    TRVTableItemInfo* Table;

    int RowCount() const { return Count(); }
    int GetColCount() const { return Count() == 0 ? 0 : GetRow(0)->Count(); }
    bool IsEmpty() const { return Count() == 0 || GetRow(0)->Count() == 0; }
    TRVTableRow* GetRow(int r) const { return static_cast<TRVTableRow*>(Items(r)); }
    void Reset(int rowCount, int colCount);
    TRVTableRow* AddRow();
    // The entry at a position (null where covered); bad positions raise.
    TRVTableCellData* GetCell(int row, int col) const;
    // The cell covering a position; bad positions raise.
    TRVTableCellData* GetMainCell(int row, int col, int& mainRow, int& mainCol) const;

    int GetColMinWidth(int col, const TRVScreenAndDevice* sad, TCanvas* canvas) const;
    int GetColBestWidth(int col) const;
    int GetColPercentWidth(int col, int tableWidth) const;
    bool IsPercentColumn(int col) const;
    int GetMergedBestWidth(int topRow, int leftCol, int rowCount, int colCount) const;

    // Grid edits. Counts and indices are checked: no edit leaves overlapping spans or spans
    // beyond the grid.
    void MergeCellRange(int topRow, int leftCol, int colSpan, int rowSpan, bool allowMergeRC,
                        bool bestWidth);
    void SplitCellAtColumn(int row, int cellCol, int splitCol, bool adjustWidths);
    void InsertRows(int index, int count, int copyIndex, bool copySizes);
    void InsertCols(int index, int count, int copyIndex, bool copySizes);
    void DeleteRows(int index, int count);
    void DeleteCols(int index, int count, bool adjustWidths);
    void ClearCells(const TRVIntegerList& rows, const TRVIntegerList& cols);

private:
    void CheckPosition(int row, int col) const;
    // Span and size changes of the grid edits: undoable through the table.
    void SetSpan(bool rowSpan, int row, int col, int value);
    void SetCellInt(int row, int col, const char* name, int32_t value);
    bool MergeAllowed(int topRow, int leftCol, int colSpan, int rowSpan, bool allowMergeRC) const;
};

// The printable copy of one cell: it shares the cell's items and is laid out on the printer.
// Left, Top, Width and Height are the cell's content box in the table's print layout (relative
// to the table's top-left corner); DocumentHeight is what its text takes.
class TCellPtblRVData : public TRectPtblRVData {
public:
    TCellPtblRVData(TCustomRichView* richView, TCustomMainPtblRVData* main, TCustomRVData* holder,
                    TRVTableCellData& cell);
    std::string ClassName() const override { return "TCellPtblRVData"; }
    TRVTableCellData* Cell;
    // Lays the cell's items out for a content width.
    void FormatForWidth(int width, TCanvas* canvas);
    // Prints the items with the table's top-left corner at (X, Y), moved down by the cell's
    // vertical alignment.
    void DrawAt(TCanvas* canvas, int x, int y, bool preview, bool correction);
    int GetVAlignOffset() const;

    int GetPrintableAreaLeft(int) const override { return FOriginX + Left; }
    int GetPageTop(int) const override { return -(FOriginY + Top); }
    TRVStyle* GetRVStyle() const override;
    // A cell's flags (spaces trimmed at wrapped line ends), printing.
    TRVFlags GetFlags() const override;
    void SetFlags(TRVFlags) override {}
    TRVOptions GetOptions() const override;

private:
    TCustomRVData* FHolder;
    int FOriginX = 0, FOriginY = 0;
};

// The layout of a table.
class TRVTableItemFormattingInfo {
public:
    TRVIntegerList ColWidths, ColStarts, RowHeights, RowStarts;
    int32_t Width = 0;
    int32_t Height = 0;
    void Clear() {
        ColWidths.Clear();
        ColStarts.Clear();
        RowHeights.Clear();
        RowStarts.Clear();
    }
};

using TRVTableDrawBorderEvent = std::function<void(
    TRVTableItemInfo* sender, TCanvas* canvas, int left, int top, int right, int bottom, int width,
    TColor lightColor, TColor color, TColor backgroundColor, TRVTableBorderStyle style,
    bool printing, const TRVBooleanRect* visibleBorders, int row, int col, bool& doDefault)>;

// Table state bits.
enum : uint16_t {
    rvtsInserted = 0x01,
    rvtsEditMode = 0x02,
    rvtsChanged = 0x04,
    rvtsPaddingChanged = 0x08,
    rvtsLoading = 0x40,
};

// The row- and column-selection cursors over the table's left and top border zones.
constexpr int crRVTableRowSelect = 104;
constexpr int crRVTableColSelect = 105;
// Makes them screen cursors: the program's "RV_SELECTROW_CURSOR" and "RV_SELECTCOL_CURSOR",
// drawn arrows when it has none. Every new table does it.
void RVLoadTableCursors();

class TRVTableItemInfo : public TRVFullLineItemInfo,
                         public TRVMouseItem,
                         public TRVIntPropertyHolder {
public:
    explicit TRVTableItemInfo(TCustomRVData* rvData);
    TRVTableItemInfo(int rowCount, int colCount, TCustomRVData* rvData);
    static std::unique_ptr<TRVTableItemInfo> CreateSized(int rowCount, TCustomRVData* rvData,
                                                         int colCount);
    ~TRVTableItemInfo() override;
    std::string ClassName() const override { return "TRVTableItemInfo"; }
    std::unique_ptr<TCustomRVItemInfo> NewInstance(TCustomRVData* rvData) const override;

    int RowCount() const { return Rows.RowCount(); }
    int ColCount() const { return Rows.GetColCount(); }
    TRVTableCellData* GetCell(int row, int col) const { return Rows.GetCell(row, col); }
    // The document that holds the table (null while it holds none).
    TCustomRVData* GetRVData() const { return FRVData; }

    // ---- Look (published properties).
    TRVTableOptions Options{TRVTableOption::rvtoEditing, TRVTableOption::rvtoRowSizing,
                            TRVTableOption::rvtoColSizing, TRVTableOption::rvtoRowSelect,
                            TRVTableOption::rvtoColSelect};
    TRVTablePrintOptions PrintOptions{TRVTablePrintOption::rvtoHalftoneBorders,
                                      TRVTablePrintOption::rvtoRowsSplit};
    std::string TextRowSeparator = "\r\n";
    std::string TextColSeparator = "\r\n";
#define EPC_TABLE_PROPERTY(type, name, def)                                                        \
    type name() const {                                                                            \
        return F##name;                                                                            \
    }                                                                                              \
    void Set##name(type value) {                                                                   \
        SetIntProperty(#name, value, F##name);                                                     \
    }                                                                                              \
                                                                                                   \
private:                                                                                           \
    type F##name = def;                                                                            \
                                                                                                   \
public:
    EPC_TABLE_PROPERTY(TRVHTMLLength, BestWidth, 0)
    EPC_TABLE_PROPERTY(TColor, Color, clWindow)
    EPC_TABLE_PROPERTY(int32_t, HeadingRowCount, 0)
    EPC_TABLE_PROPERTY(int32_t, BorderWidth, 0)
    EPC_TABLE_PROPERTY(TColor, BorderColor, clWindowText)
    EPC_TABLE_PROPERTY(TColor, BorderLightColor, clBtnHighlight)
    EPC_TABLE_PROPERTY(int32_t, BorderVSpacing, 2)
    EPC_TABLE_PROPERTY(int32_t, BorderHSpacing, 2)
    EPC_TABLE_PROPERTY(int32_t, CellBorderWidth, 0)
    EPC_TABLE_PROPERTY(TColor, CellBorderColor, clWindowText)
    EPC_TABLE_PROPERTY(TColor, CellBorderLightColor, clBtnHighlight)
    EPC_TABLE_PROPERTY(int32_t, CellPadding, 1)
    EPC_TABLE_PROPERTY(int32_t, VRuleWidth, 0)
    EPC_TABLE_PROPERTY(TColor, VRuleColor, clWindowText)
    EPC_TABLE_PROPERTY(int32_t, HRuleWidth, 0)
    EPC_TABLE_PROPERTY(TColor, HRuleColor, clWindowText)
    EPC_TABLE_PROPERTY(int32_t, CellVSpacing, 2)
    EPC_TABLE_PROPERTY(int32_t, CellHSpacing, 2)
#undef EPC_TABLE_PROPERTY
    TRVTableBorderStyle BorderStyle() const {
        return FBorderStyle;
    }
    void SetBorderStyle(TRVTableBorderStyle value);
    TRVTableBorderStyle CellBorderStyle() const {
        return FCellBorderStyle;
    }
    void SetCellBorderStyle(TRVTableBorderStyle value);
    bool VOutermostRule() const {
        return FVOutermostRule;
    }
    void SetVOutermostRule(bool value);
    bool HOutermostRule() const {
        return FHOutermostRule;
    }
    void SetHOutermostRule(bool value);
    TGraphic* BackgroundImage() const {
        return FBackground ? FBackground->GetImage() : nullptr;
    }
    void SetBackgroundImage(TGraphic* value);
    TRVItemBackgroundStyle BackgroundStyle() const {
        return FBackgroundStyle;
    }
    void SetBackgroundStyle(TRVItemBackgroundStyle value);
    // Sets a published integer property by name (the path undo records take).
    bool SetPropertyByName(const std::string& name, int32_t value);
    // The same for undo records: a plain store that records nothing.
    bool GetIntProperty(const std::string& name, int& value) const override;
    bool SetIntProperty(const std::string& name, int value) override;

    std::function<void(TRVTableItemInfo* sender, int row, int col, bool automatic, bool& allowEdit)>
        OnCellEditing;
    std::function<void(TRVTableItemInfo* sender, int row, int col, bool clearing)> OnCellEndEdit;
    TRVTableDrawBorderEvent OnDrawBorder;

    uint16_t StateBits = rvtsLoading;
    bool NeedsLayout = true;

    // ---- Cell properties and operations.
    void SetCellIntProperty(int itemNo, const std::string& name, bool affectsWidth,
                            bool affectsHeight, int row, int col, int32_t value);
    void SetCellBestWidth(int32_t value, int row, int col) {
        SetCellBestWidth(-1, value, row, col);
    }
    void SetCellBestWidth(int itemNo, int32_t value, int row, int col);
    void SetCellBestHeight(int32_t value, int row, int col) {
        SetCellBestHeight(-1, value, row, col);
    }
    void SetCellBestHeight(int itemNo, int32_t value, int row, int col);
    void SetCellVisibleBorders(int itemNo, bool left, bool top, bool right, bool bottom, int row,
                               int col);
    void SetCellBackgroundImage(TGraphic* graphic, int row, int col);
    void AssignCellAttributes(int row, int col, int rowCount, int colCount, bool withSizes,
                              const TRVTableCellData& source);
    void MergeCells(int topRow, int leftCol, int colSpan, int rowSpan, bool allowMergeRC);
    // New rows (columns) copy the attributes of CopyIndex (-1: none) and are selected when
    // Select is on.
    void InsertTableRows(int index, int count, bool select, int copyIndex);
    void InsertColumns(int index, int count, bool select, int copyIndex);
    void DeleteRows(int index, int count);
    // An open cell editor is opened again on the cell that covers its place afterwards.
    void DeleteColumns(int index, int count, bool adjustWidths);
    bool HeadingRowsValid() const;
    TColor GetCellColor(const TRVTableCellData* cell) const;
    TColor GetTableColor(bool useDocumentColor) const;
    bool CellHasNoColor(const TRVTableCellData* cell) const;
    bool GetCellPosition(const TRVTableCellData* cell, int& row, int& col) const;
    bool GetNeighbourCell(int row, int col, int& newCol, int& newRow, int direction) const;
    int GetSpanBandStart(int row) const;
    int GetSpanBandEnd(int row) const;
    std::string GetTableAsText(bool unicode);
    // Searches the cells in reading order (backwards up) from the search cell, each from where
    // its last search stopped; at the table's end the search cell is forgotten and the result
    // is false.
    bool SearchText(bool down, TRVSearchOptions options, const std::u16string& text);
    void ResetSearch();
    void GetSearchCell(int& row, int& col) const {
        row = FSearchRow;
        col = FSearchCol;
    }
    int GetItemNo() const;
    void SetChangedFlag() {
        StateBits |= rvtsChanged;
        NeedsLayout = true;
        ++FChangeStamp;
    }
    // Grid edits report their undo records here; outside an editing document nothing is
    // recorded and the record is dropped.
    void AddUndoRecord(std::unique_ptr<TRVUndoInfo> record);
    // The undo list edits of this table go to; null outside an editing document and in one
    // that is not recording.
    TRVUndoList* GetEditUndoList() const;
    // While a record replays, the table's records go to its reverse list (null: nowhere).
    void SetUndoTarget(TRVUndoList* list, bool set) {
        FUndoTarget = list;
        FUndoTargetSet = set;
    }
    bool UndoTargetSet() const {
        return FUndoTargetSet;
    }
    // One table operation as one undo step (group kind 13) of the editing document that holds
    // the table, opened only when that document is not recording yet; the end of the scope
    // closes it and reports the change when the step recorded any (without undo: when the
    // table changed).
    class TEditStep {
    public:
        TEditStep(TRVTableItemInfo& table, bool wanted);
        TEditStep(const TEditStep&) = delete;
        TEditStep& operator=(const TEditStep&) = delete;
        ~TEditStep() noexcept(false);

    private:
        std::optional<TRVEditTransaction> FTransaction;
        // Without undo the step cannot tell by its records: a change of the table tells.
        TRVEditRVData* FUnrecorded = nullptr;
        const TRVTableItemInfo* FTable = nullptr;
        uint32_t FStamp = 0;
    };
    // While it lives the table records nothing: a setter called by name stores its field
    // instead of recording the change again.
    class TUnrecordedScope {
    public:
        explicit TUnrecordedScope(TRVTableItemInfo& table)
            : FTable(table), FInserted(table.StateBits & rvtsInserted) {
            table.StateBits &= uint16_t(~rvtsInserted);
        }
        ~TUnrecordedScope() { FTable.StateBits |= FInserted; }
        TUnrecordedScope(const TUnrecordedScope&) = delete;
        TUnrecordedScope& operator=(const TUnrecordedScope&) = delete;

    private:
        TRVTableItemInfo& FTable;
        uint16_t FInserted;
    };
    // Setters of the table in an editing document take this path.
    void SetTablePropertyUndoable(const std::string& name, int32_t value, bool affectsWidth,
                                  bool affectsHeight);
    // Row -1: the table's own picture.
    void SetBackgroundImageUndoable(TGraphic* graphic, int row, int col);
    void AssignCellAttributesUndoable(int itemNo, int row, int col, int rowCount, int colCount,
                                      bool withSizes, const TRVTableCellData& source);

    // ---- In-place cell editing.
    // While the cell editor is open its cell holds no items: they are the editor's. While a
    // scope of this class lives, that cell reads the editor's items as its own (without taking
    // them), so that what is written of the table is what the user sees.
    class TEditedCellContent {
    public:
        explicit TEditedCellContent(const TRVTableItemInfo& table);
        ~TEditedCellContent();
        TEditedCellContent(const TEditedCellContent&) = delete;
        TEditedCellContent& operator=(const TEditedCellContent&) = delete;

    private:
        TRVTableCellData* FCell = nullptr;
    };
    TRVTableInplaceEdit* InplaceEditor() const {
        return FInplaceEditor.get();
    }
    void GetEditedCell(int& row, int& col) const;
    bool IsEditor(const TControl* control) const;
    // The cell whose document (the editor's while the cell is edited) holds Item, with the
    // item's index there; false when no cell does.
    bool FindCellOfData(const TCustomRVItemInfo* item, int& row, int& col, int& itemNo) const;
    // Opens the editor over cell (Row, Col); false when it did not open.
    bool OpenCellEditor(int itemNo, int row, int col, bool noEvent, bool click, bool caretAtEnd,
                        bool caretAtStart);
    void CloseCellEditor(bool clearing);
    void DestroyCellEditor(bool keepContent);
    void FinalizeCellUndo();
    // Puts the cell editor over its cell, the table's top-left at client (X, Y).
    void PlaceCellEditor(int x, int y);
    // Gives the cell editor its bounds; a height above 10000 is cut to it and marks the editor
    // oversized. After a padding change its document is laid out again with the new margins.
    void ResizeInplaceEditor(int x, int y, int width, int height);
    // The content height and minimum width of a cell while the cell editor holds its items;
    // false for any other cell.
    bool GetEditedCellSize(const TRVTableCellData* cell, int& height, int& minWidth) const;
    // The cell editor changed: the table is laid out again when its needs changed.
    void EditorResized();
    // A press (release) at a client point of the containing control, for the cell editor.
    void PassPressToCellEditor(TMouseButton button, TShiftState shift, TPoint client, bool down);
    // A table that moves into an undo record closes its cell editor, stops recording and
    // takes its cells out of the document; coming back gives them the document again.
    void MoveToUndo(TCustomRVData* rvData) override;
    void AttachToDocument(TCustomRVData* rvData) override;
    // An open cell editor steps aside while a border is dragged (ERVTableInplaceError when it
    // cannot) and comes back afterwards.
    virtual void SaveEditorState();
    virtual void RestoreEditorState();
    void ChooseCell(int row, int col);
    void EditCell(int row, int col, bool caretAtEnd = false);
    // The caret keys move into the table: Mode 0 edits the first cell, 1 the last one, 2 (3)
    // the cell of row 0 (of the last row) under X. False when no cell editor opened.
    bool EnterTableByCaret(int mode, int x);
    bool AcceptCaret(int direction, int x) override {
        return EnterTableByCaret(direction, x);
    }
    // Numbers the hyperlinks of the cells (of the cell editor for the edited cell) on from
    // JumpNo, in reading order, and adds the cells' ones to the document's list.
    void BuildJumps(int left, int top, int& jumpNo) override;
    void GetChosenCell(int& row, int& col) const {
        row = FChosenRow;
        col = FChosenCol;
    }
    // A cell leaves the grid (freed, or kept by an undo record): the documents above the table
    // stop pointing at it and at the documents inside it (active sub-document, hovered
    // hyperlink).
    void ForgetCell(const TRVTableCellData* cell);
    // Forgets the chosen cell.
    void UnchooseCell() {
        FChosenRow = FChosenCol = -1;
    }
    // Clears the chosen cell's own selection and closes its editor, then forgets it.
    void DeselectChosenCell();
    bool ChosenCellHasSelection();
    // The cell editor asks to move: 0-3 and 6-7 to a neighbour cell, 4 (5) before (after) the
    // table, or to close.
    void MoveFromCellEditor(int direction);
    // An invisible editor sharing the table's style sheet, for style operations on cells.
    std::unique_ptr<TCustomRichViewEdit> CreateHiddenEditor();
    // Mode 0 converts the text styles of every selected cell, 1 gives them paragraph style
    // Value, 2 converts their paragraph styles; cells refused by OnCellEditing are skipped.
    void ApplyToSelectedCells(int mode, int value);
    void ApplyStyleConversionToCells(int userData) {
        ApplyToSelectedCells(0, userData);
    }
    // The selected cells; without any, with Whole (the table lies in the document's
    // selection) every cell.
    void ApplyStyleConversion(TCustomRVData* rvData, int itemNo, int userData, bool whole) override;
    void ApplyParaStyleToCells(int paraNo) {
        ApplyToSelectedCells(1, paraNo);
    }
    void ApplyParaStyleConversionToCells(int userData) {
        ApplyToSelectedCells(2, userData);
    }
    bool CanDeleteSelectedCellsContents() const;
    void DeleteSelectedCellsContents();

    // ---- Layout.
    int GetMinWidth(const TRVScreenAndDevice* sad, TCanvas* canvas,
                    TCustomRVData* rvData) const override;
    void AdjustToDocWidth(int docWidth, TRVDrawLineInfo* dli, bool noCaching, int& out1, int& out2,
                          const TRVScreenAndDevice* sad, TCustomRVData* rvData, TCanvas* canvas,
                          bool canUseDeviceFit) override;
    void FormatForDocWidth(int docWidth, TCanvas* canvas, bool force);
    // Column widths and starts for a document width into Fi, as the layout would make them;
    // the screen layout and the cells stay as they are.
    void LayOutColumns(int docWidth, TCanvas* canvas, TRVTableItemFormattingInfo& fi);
    // Lays the table out for printing into its print record, at the printer's resolution;
    // the screen layout and the cells stay as they are.
    void FormatForPrinting(int docWidth, TCanvas* canvas, TRVTablePrintInfo& info,
                           TCustomRVData* rvData);
    // Counts every change of the table and every new screen layout: a print record made at
    // another count is outdated.
    uint32_t ChangeStamp() const {
        return FChangeStamp;
    }
    // Expires when the table is destroyed.
    std::weak_ptr<const bool> AliveToken() const {
        return FAlive;
    }
    int GetBoxWidth() const override {
        return FFormatting.Width;
    }
    int GetBoxHeight() const override {
        return FFormatting.Height;
    }
    int GetFormattedWidth() const {
        return FFormatting.Width;
    }
    int GetFormattedHeight() const {
        return FFormatting.Height;
    }
    const TRVTableItemFormattingInfo& Formatting() const {
        return FFormatting;
    }
    int GetExtraWidth() const;
    bool AreAllColumnsFixed() const;
    TCanvas* FormatCanvas() const {
        return FCanvas;
    }

    // ---- Painting.
    void PaintFullWidth(int left, int right, int top, TCanvas* canvas, int state, TRVStyle* style,
                        const TRect& clipRect, TRVDrawLineInfo* dli) override;
    // Paints the table with its top-left corner at canvas (X, Y); Clip in canvas pixels.
    void PaintAt(int x, int y, TCanvas* canvas, const TRect& clip, bool selected, TColor selColor);
    void DrawBorder(TCanvas* canvas, int left, int top, int right, int bottom, int width,
                    TColor lightColor, TColor color, TColor backgroundColor,
                    TRVTableBorderStyle style, bool printing, bool showGrid,
                    const TRVBooleanRect* visibleBorders, int row, int col, TRVColorMode colorMode,
                    const TRect& clip);
    bool ShowsGridLines() const;

    // ---- Item operations.
    bool GetKindFlag(int kind) const override {
        return QueryFlag(kind);
    }
    bool GetStateFlag(int kind) const override {
        return QueryStyleFlag(kind);
    }
    // A table changes the canvas font, can change size and holds sub-documents; it is never
    // laid out with device metrics.
    bool QueryFlag(int kind) const;
    bool QueryStyleFlag(int kind) const;
    void SetPosition(int x, int y) override;
    // ---- Printing: a print record that may split between rows, and the painting of a part.
    std::unique_ptr<TRVDrawLineInfo> CreatePrintingDrawItem(TCustomRVData* rvData,
                                                            const TRVScreenAndDevice* sad) override;
    // The print record; its printable cell documents come with its layout.
    std::unique_ptr<TRVTablePrintInfo> CreatePrintInfo(const TRVScreenAndDevice* sad);
    void Print(TCanvas* canvas, int x, int y, bool preview, bool correction,
               const TRVScreenAndDevice* sad, TRVColorMode colorMode, int part,
               TRVDrawLineInfo* dli, TCustomRVData* rvData) override;
    // Paints a page part of a print record (all rows for a part beyond the list) with the
    // part's top-left at canvas (X, Y); the repeated heading rows come first.
    void PrintPart(TCanvas* canvas, int x, int y, const TRVTablePrintInfo& info, int part,
                   TRVColorMode colorMode, bool preview, bool correction);
    void DrawBackground(TCanvas* canvas, const TRect& r, TRVColorMode colorMode) override {
        DrawPrintBackground(canvas, r, r, true, colorMode, nullptr);
    }
    // The table's picture, else its colour, over Box, drawn where it meets Visible; printed
    // white with rvtoWhiteBackground. Colours go through the colour mode.
    void DrawPrintBackground(TCanvas* canvas, const TRect& box, const TRect& visible, bool printing,
                             TRVColorMode colorMode, const TRVScreenAndDevice* sad);
    TCustomRVData* GetSubRVData(int index) const override;
    TCustomRVData* GetSubDocumentAtPoint(int x, int y) override;
    // The cells' items are told of the insertion too; their notices reach the document through
    // the table.
    void NotifyInserting(TCustomRVData* rvData, std::string& text) override;
    void NotifyInserted(TCustomRVData* rvData, int itemNo) override;
    void Inserted(TCustomRVData* rvData, int itemNo) override;
    // Loading in formats 2 to 4 ended: the table needs no further fix-up.
    void AfterLoading(int format) override;
    // The one-time fix-up after loading: every item of every cell takes its own, once.
    void FinishLoading();
    void MarkStylesInUse(TRVIntegerList& usedText, TRVIntegerList& usedPara,
                         TRVIntegerList& usedList) const override;
    void RenumberStyles(const TRVIntegerList& textMap, const TRVIntegerList& paraMap,
                        const TRVIntegerList& listMap) override;
    bool AsText(std::string& result, bool unicode, int lineWidth, TCustomRVData* rvData,
                int itemNo) const override;

    // ---- Storage (RVF record and component stream).
    void SaveRVF(TStream& stream, const TRVSaveContext& ctx, const std::string& name, int paraNo,
                 uint8_t options) override;
    bool ReadRVFLine(const std::string& s, TCustomRVData* rvData, int lineNo, int lineCount,
                     std::string& name, TRVFReadMode& mode, TRVFReadState& state) override;
    void DefineProperties(TFiler* filer) override;

    // ---- RTF and HTML.
    void FillRtfTables(TRVColorList& colors) const override;
    void SaveRTF(TStream& stream, TCustomRVData* rvData, int /*itemNo*/,
                 TRVRTFWriteContext& ctx) override {
        WriteRtfTable(stream, rvData, ctx);
    }
    void SaveHTMLEx(TStream& stream, TCustomRVData* rvData, int /*itemNo*/,
                    TRVHTMLWriteContext& ctx) override {
        WriteHtmlTable(stream, rvData, ctx);
    }
    // The rows of the table at nesting level ctx.Level; an open cell editor's text is its
    // cell's.
    void WriteRtfTable(TStream& stream, TCustomRVData* rvData, TRVRTFWriteContext& ctx);
    void WriteHtmlTable(TStream& stream, TCustomRVData* rvData, TRVHTMLWriteContext& ctx);
    // The rows the next save writes (all rows unless a page part is being saved).
    int SaveFirstRow = 0;
    int SaveRowCount = -1;

    // ---- Hit testing and cell selection (coordinates relative to the table's top-left).
    bool GetCellAt(int x, int y, int& row, int& col);
    // Border under a point: 0 the outer left (top) border, ColCount (RowCount) the outer right
    // (bottom) one, k the gap before column (row) k; -1 none.
    int GetColBorderAt(int x) const;
    int GetRowBorderAt(int y) const;
    // The column (row) a point lies in: the last one starting at or before it; -1 before the
    // first.
    int GetColAt(int x) const;
    int GetRowAt(int y) const;
    void Select(int startRow, int startCol, int rowOffs, int colOffs);
    void SelectCols(int startCol, int count);
    void SelectRows(int startRow, int count);
    void Deselect();
    bool HasCellSelection() const {
        return FCellsSelected && FSelStartRow >= 0;
    }
    bool GetNormalizedSelectionBounds(int& topRow, int& leftCol, int& rowCount,
                                      int& colCount) const;
    bool IsCellSelected(int row, int col) const;
    // Makes the cell the start of a cell selection with no extent yet; false when the document
    // allows no selection or there is no such cell.
    bool BeginCellSelection(int row, int col);
    bool FireCellEditing(int row, int col, bool automatic);
    // ---- The mouse over the table (points relative to its top-left corner).
    bool ItemMouseDown(TCustomRVFormattedData* rvData, TMouseButton button, TShiftState shift,
                       int x, int y, TPoint client) override;
    void ItemMouseMove(TCustomRVFormattedData* rvData, TShiftState shift, int x, int y,
                       TPoint client) override;
    void ItemMouseUp(TCustomRVFormattedData* rvData, TMouseButton button, TShiftState shift, int x,
                     int y, TPoint client) override;
    bool ItemCursorAt(int x, int y, int& cursor) const override;
    // A press elsewhere in the document: the selected cells and the cell editor go.
    void EndInnerSelection(TCustomRVFormattedData* rvData) override;
    // Shift and a press on a cell in an editor: the block from the edited cell (or from the
    // first selected one) to that cell is selected, in place of the cell editor. False when
    // there is nothing to extend from.
    bool ExtendCellSelection(int row, int col);
    // A left press the cell editor takes itself and tracks: Kind 0 the press, 1 a move (at a
    // client point of the control holding the table), 2 the release. A move into another cell
    // selects the block between; after the release the block takes the editor's place.
    void CellEditorTracking(int kind, TShiftState shift, TPoint client);
    // The best width a percentage column gets when dragged to NewWidth pixels; the old one when
    // the table has no content width to measure against.
    int PercentWidthAfterResize(int newWidth, int oldBestWidth) const;
    // The end of a border drag in an editor: the border before column (row) Border - 1 was let
    // go at Pos (table coordinates, not before the column's (row's) start). Cell best sizes
    // change through the cell property setters and the document is formatted again.
    void FinishColResize(TCustomRVFormattedData* rvData, int border, int pos, bool keepNext);
    void FinishRowResize(TCustomRVFormattedData* rvData, int border, int pos);
    bool IsResizing() const {
        return FResizeBorder >= 0;
    }

    // Horizontal and vertical scaling while formatting for a device (identity on screen).
    int SX(int v) const;
    int SY(int v) const;

private:
    void InitTable();
    // The cells selected while the cell editor was open become the selection in its place.
    void SelectCellsForEditor();
    // Moves the selection of Owner (the document holding the table) onto the table item.
    void SelectInDocument(TCustomRVFormattedData* owner);
    void StartResize(TCustomRVFormattedData* rvData, bool cols, int border, int offset,
                     TShiftState shift);
    // Where the dragged border stands for a mouse coordinate (table coordinates).
    int ResizePosition(int v) const;
    void EndResize(TCustomRVFormattedData* rvData);
    // The one path of the cell size changes a border drag makes.
    void SetCellSizeAfterResize(bool width, int row, int col, int32_t value);
    // Runs Body as one undo step, its records between an opening and a closing item bracket,
    // and formats the document again before the step ends.
    template <class F> void RunResizeStep(TCustomRVFormattedData* rvData, F body);
    // The document holding the table (RVData) is laid out again from the table on, and so are
    // the documents holding the tables around it.
    void FormatAfterChange(TCustomRVFormattedData* rvData);
    // The same when the table lies in a laid-out document.
    void FormatDocumentAfterChange();
    // A row or column edit: the cell editor and the cell selection go, the edit runs between
    // the item's undo brackets as one table step, and the table needs a new layout.
    template <class F> void RunGridEdit(F edit);
    // Sets Field, through an undoable step inside an editor.
    template <class T> void SetIntProperty(const char* name, T value, T& field);
    // The field of a plain integer property by its name; null for the others.
    static int32_t TRVTableItemInfo::*IntFieldByName(const std::string& name);
    bool UsesUndo() const;
    int FitSpanningCell(int row, int col, int needed, bool minMode, int highestState,
                        std::vector<int>& state, int& spare, bool fixedMode,
                        TRVTableItemFormattingInfo& fi) const;
    // The layout of the screen (no print record) or of a print record; true when it was done
    // again.
    bool FormatTable(int docWidth, TCanvas* canvas, bool force, TRVTableItemFormattingInfo& fi,
                     TRVTablePrintInfo* print);
    // The steps of the column widths' layout.
    struct TColumnFacts;
    struct TColumnFit;
    TColumnFacts GatherColumnFacts() const;
    int TargetWidth(int docWidth, const TColumnFacts& facts, bool& fixedMode) const;
    void FitColumnWidths(const TColumnFacts& facts, TColumnFit& fit,
                         TRVTableItemFormattingInfo& fi) const;
    int FitMinimumWidths(const TColumnFacts& facts, TColumnFit& fit,
                         TRVTableItemFormattingInfo& fi) const;
    void FitPercentWidths(const TColumnFacts& facts, TColumnFit& fit,
                          TRVTableItemFormattingInfo& fi) const;
    void FitPixelWidths(const TColumnFacts& facts, TColumnFit& fit,
                        TRVTableItemFormattingInfo& fi) const;
    void ShareSpareWidth(const TColumnFacts& facts, TColumnFit& fit,
                         TRVTableItemFormattingInfo& fi) const;
    // The column starts after the widths; the gaps between the columns' contents.
    int PlaceColumnStarts(TRVTableItemFormattingInfo& fi) const;
    void PlaceColumns(TRVTableItemFormattingInfo& fi, bool force, TRVTablePrintInfo* print);
    void PlaceRows(TRVTableItemFormattingInfo& fi, TRVTablePrintInfo* print);
    // The rows each spanning cell covers grow, in proportion to their heights, until it fits.
    void FitSpanningRow(TRVTableItemFormattingInfo& fi,
                        const std::vector<std::pair<int, int>>& spans, TRVTablePrintInfo* print);
    // One run of the table painter: the screen layout, or a page part of a print record.
    struct TPaintJob {
        const TRVTableItemFormattingInfo* Fmt = nullptr;
        const TRVTablePrintInfo* Print = nullptr; // null on the screen
        // Body rows painted, and heading rows painted above them (page parts after the first).
        int FirstRow = 0, RowCount = 0, Headings = 0;
        bool Selected = false;
        TColor SelColor = clHighlight;
        TRVColorMode ColorMode = TRVColorMode::rvcmColor;
        bool Preview = false, Correction = false;
    };
    void PaintTable(int x, int y, TCanvas* canvas, const TRect& clip, const TPaintJob& job);
    void PaintCell(TRVTableCellData* cell, int row, int col, int x, int y, TCanvas* canvas,
                   const TRect& clip, const TPaintJob& job, bool showGrid);
    void DrawRules(int x, int y, TCanvas* canvas, const TRect& clip, const TPaintJob& job);
    // Whether a hidden side of a cell lies under a neighbour's border (negative spacing).
    bool SideCoveredByNeighbour(int row, int col, int side) const;

    TRVTableBorderStyle FBorderStyle = rvtbRaised;
    TRVTableBorderStyle FCellBorderStyle = rvtbLowered;
    bool FVOutermostRule = false;
    bool FHOutermostRule = false;
    std::unique_ptr<TRVBackground> FBackground;
    TRVItemBackgroundStyle FBackgroundStyle = rvbsColor;
    TRVTableItemFormattingInfo FFormatting;
    uint32_t FChangeStamp = 0;
    const TRVScreenAndDevice* FSad = nullptr;
    TCustomRVData* FRVData = nullptr;
    TCanvas* FCanvas = nullptr;
    int FLastDocWidth = -1;
    mutable int FItemNo = -1;
    int FX = 0, FY = 0; // position in the containing document
    int FSelStartRow = -1, FSelStartCol = -1, FSelRowOffs = 0, FSelColOffs = 0;
    bool FCellsSelected = false;
    int FLastHitRow = -1, FLastHitCol = -1;
    // The cell whose document took a press while a cell selection may be dragged from it.
    int FPressRow = -1, FPressCol = -1;
    // Whether that cell's document took the press (it lay inside the cell less its padding).
    bool FPressTaken = false;
    // The hyperlink number under that press, -1 none: a release on it without a drag jumps.
    int FPressedJump = -1;
    // The border being dragged (-1 none), the mouse's offset from it, the lowest position it
    // may take, whether it is a column border, and whether Shift was held at the press.
    int FResizeBorder = -1;
    int FResizeOffset = 0;
    int FResizeLimit = 0;
    bool FResizingCols = false;
    bool FResizeShift = false;
    // Outlives the table only in the feedback drawer it leaves with its document, which then
    // draws nothing.
    std::shared_ptr<const bool> FAlive = std::make_shared<const bool>(true);

public:
    // The grid; declared last, so that its cells are built when the table's fields are set.
    TRVTableRows Rows;

private:
    // After the grid, so that the editor (holding a cell's items) goes before the cells.
    std::unique_ptr<TRVTableInplaceEdit, TRVTableInplaceEditDeleter> FInplaceEditor;
    int FEditedRow = -1, FEditedCol = -1;
    int FChosenRow = -1, FChosenCol = -1;
    int FSearchRow = -1, FSearchCol = -1;
    // A remembered cell outside the grid becomes -1, -1; one inside moves to its main cell.
    void ValidateCellPair(int& row, int& col) const;
    // Chooses the main cell at (Row, Col) and edits it in an editing document; true when its
    // editor is open.
    bool ChooseAndEditCell(int row, int col, bool caretAtEnd);
    // Tells the containing document that the table holds its active sub-document (or no more).
    void ShowAsActiveSubDocument(bool active);
    TRVUndoList* FUndoTarget = nullptr;
    bool FUndoTargetSet = false;
    bool FEditorPressed = false;
    int FEditorHeight = -1, FEditorMinWidth = -1;
    // The editor saved around border resizing: its cell and selection.
    bool FEditorSaved = false;
    int FSavedRow = -1, FSavedCol = -1;
    int FSavedSel[4] = {-1, -1, -1, -1};
};

// A stored position of one cell's document: its row and column.
class TRVTableStoreSubRVData : public TRVStoreSubRVData {
public:
    TRVTableStoreSubRVData(int row, int col) : Row(row), Col(col) {}
    std::string ClassName() const override { return "TRVTableStoreSubRVData"; }
    std::unique_ptr<TRVStoreSubRVData> Duplicate() const override {
        return std::make_unique<TRVTableStoreSubRVData>(Row, Col);
    }
    int32_t Row;
    int32_t Col;
};

// One page part of a printed table: a run of rows (the repeated heading rows come on top).
class TRVTablePrintPart : public TRVMultiDrawItemPart {
public:
    std::string ClassName() const override { return "TRVTablePrintPart"; }
    int32_t FirstRow = 0;
    int32_t RowCount = 0;
};

// The print record of a table: a layout of its own at the printer's resolution with a printable
// copy of every cell, and the page parts, split between rows.
class TRVTablePrintInfo : public TRVMultiDrawItemInfo {
public:
    explicit TRVTablePrintInfo(TRVTableItemInfo* table);
    std::string ClassName() const override { return "TRVTablePrintInfo"; }
    // Rows are split only with rvtoRowsSplit; the first part holds every row.
    bool CanSplit() override;
    bool FitsFirstPart(int height) const override;
    bool SplitAt(int height) override;
    bool LayoutOutdated() const override;
    // Heading rows printed on top of every part after the first: HeadingRowCount cut to the
    // rows, none when they span below themselves or take every row.
    int RepeatedHeadingRows() const;
    // The height of a part of rows [First, First + Count), with the repeated headings when
    // First is past them, and the table's edges above and below.
    int PartHeight(int first, int count) const;
    TRVTablePrintPart* Part(int index) const;
    TRVTableItemInfo* Table() const { return FTable; }
    // The first row and the row count a part prints, headings aside.
    void PartRows(int part, int& first, int& count) const;
    // The printable document of the cell at a position; null where none.
    TCellPtblRVData* CellDoc(int row, int col) const;

    // The layout at the printer's resolution.
    TRVTableItemFormattingInfo Fmt;
    // The printable cell documents, row x ColCount + column, none where a spanning cell covers
    // the position.
    std::vector<std::unique_ptr<TCellPtblRVData>> PrintCells;
    // Screen and printer pixels per inch of the layout.
    TRVScreenAndDevice Sad;
    // Whether the heading rows are repeated (some, and no cell of them reaches below them).
    bool RepeatHeadings = false;
    // The table's change count when the layout was made.
    uint32_t Stamp = 0;
    // The print records of items inside the cells (tables), which may go out of date too.
    std::vector<const TRVMultiDrawItemInfo*> Nested;

private:
    // The pager starts with one part of the whole height; it becomes a part of all body rows.
    void EnsureRowParts();
    bool Splittable() const;
    // Bottom of a row's cells in the layout (padding included).
    int RowEnd(int row) const;
    TRVTableItemInfo* FTable;
    std::weak_ptr<const bool> FTableAlive;
};

// Registers the table class (StyleNo -60) in the item-class registry; done once at start-up.
void RegisterTableItemClass();

} // namespace epc
