#pragma once
// Builds tables from the table words of an RTF import: rows, cells, horizontal and vertical
// merges, heading rows, vertical alignment and the private width words our writer adds. Cells of
// tables nested in cells are read as paragraphs of the outer cell.

#include <string_view>
#include <vector>

#include "richtext/document/RVRTFReader.h"

namespace epc {

class TCustomRVData;

class TRVTableRTFReader : public TRVRTFTableReader {
public:
    // Reads into Data, which the import appends to.
    explicit TRVTableRTFReader(TCustomRVData* data) : FData(data) {}
    bool TableWord(std::string_view word, bool hasParam, int param) override;
    // After a successful import: replaces the items of each table read by the table.
    void Finish();

private:
    struct CellDef {
        bool HMerge = false, HFirst = false, VMerge = false, VFirst = false;
        int BestWidth = 0, BestHeight = 0, VAlign = 3; // rvcVDefault
        TColor Color = clNone;
        int First = -1, End = -1; // item range of the cell's contents
    };
    struct RowRead {
        std::vector<CellDef> Cells;
        bool Heading = false;
    };
    struct TableRead {
        int Start = 0, End = 0; // item range the table replaces
        int BestWidth = 0;
        std::vector<RowRead> Rows;
    };
    void ResolvePending();
    TableRead* OpenTable();

    TCustomRVData* FData;
    std::vector<TableRead> FTables;
    RowRead FRow; // the row being defined and filled
    CellDef FDef; // the cell definition before its \cellx
    int FTableWidth = 0;
    int FCellNo = 0;       // the next cell of FRow to fill
    int FCellStart = -1;   // where the next cell's items start
    int FRowStart = -1;    // where the row's items start
    bool FPending = false; // a \cell waits for its paragraph to end
    bool FInRow = false;
};

} // namespace epc
