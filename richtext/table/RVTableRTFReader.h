#pragma once
// Builds tables from the table words of an RTF import: rows, cells, horizontal and vertical
// merges, heading rows, vertical alignment, table and cell borders, the private width words our
// writer adds, and tables
// nested in cells (\itap levels, \nestcell, \nestrow, row definitions in \nesttableprops, which
// come before a row's cells or after them).

#include <array>
#include <string_view>
#include <utility>
#include <vector>

#include "richtext/document/RVRTFReader.h"

namespace epc {

class TCustomRVData;

class TRVTableRTFReader : public TRVRTFTableReader {
public:
    // Reads into Data at the reader's position.
    explicit TRVTableRTFReader(TCustomRVData* data) : FData(data) {}
    bool TableWord(std::string_view word, bool hasParam, int param) override;
    // After a successful import: replaces the items of each table read by the table.
    void Finish() override;

private:
    // One side of a border as the words after its side word give it.
    struct BorderSide {
        bool Set = false, None = false;
        int Kind = 0; // 0 a line, 1 raised (\brdroutset), 2 lowered (\brdrinset)
        int Twips = 0;
        TColor Color = clNone; // none: the automatic colour
        bool Shows() const { return Set && !None; }
    };
    // Left, top, right, bottom.
    using Borders = std::array<BorderSide, 4>;
    struct CellDef {
        bool HMerge = false, HFirst = false, VMerge = false, VFirst = false;
        int BestWidth = 0, BestHeight = 0, VAlign = 3; // rvcVDefault
        TColor Color = clNone;
        Borders Border;
        int First = -1, End = -1; // item range of the cell's contents
        int Right = 0;            // the \cellx position
        bool HasRight = false;
    };
    struct RowRead {
        std::vector<CellDef> Cells;
        bool Heading = false;
        Borders Border; // of the table, given with each row
    };
    struct TableRead {
        int Start = 0, End = 0; // item range the table replaces
        int BestWidth = 0;
        std::vector<RowRead> Rows;
    };
    // What is read at one nesting level: 1 for the document's own tables, 2 for tables in
    // their cells, and so on.
    struct Level {
        RowRead Def; // the row definition last read for this level
        int TableWidth = 0;
        std::vector<std::pair<int, int>> Filled; // item ranges of the row's cells read so far
        int CellStart = -1, RowStart = -1;
        std::vector<TableRead> Tables; // read and not yet built
    };
    // Where the reader inserts next.
    int Here() const;
    Level& At(int level);
    void ResolvePending();
    // The paragraphs read from now on lie at Level; a level entered with no cell read yet
    // starts its row here.
    void EnterLevel(int level);
    void StartRowIfIdle(int level);
    // The row definition being read (its level is fixed by its first word that needs one).
    RowRead& DefRow();
    void EndRow(int level);
    // Builds the tables read at levels deeper than Level, deepest first; each takes the place
    // of its items.
    void BuildTablesBelow(int level);
    void BuildTable(const TableRead& tr);
    // The side the border words read now describe; none for a side we do not keep.
    BorderSide* CurrentSide();
    void BorderWord(std::string_view word, bool hasParam, int param);
    // Rows whose cells cross column boundaries of other rows (a cell wider than one column,
    // as word processors write horizontal merges) become rows of one cell per column.
    static void SpreadOverColumns(std::vector<RowRead>& rows);

    TCustomRVData* FData;
    std::vector<Level> FLevels; // index 0 unused
    CellDef FDef;               // the cell definition before its \cellx
    int FDefLevel = 0;          // level of the row definition being read; 0 until known
    int FLevel = 0;             // nesting level of the paragraph being read
    int FPendingLevel = 0;      // a cell of this level waits for its paragraph to end
    bool FSeenRow = false;
    // The side of the last side word: 0 to 3 of a cell, 4 to 7 of the table, -1 none.
    int FSide = -1;
    BorderSide FIgnoredSide;
};

} // namespace epc
