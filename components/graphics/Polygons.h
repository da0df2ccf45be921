#pragma once
// Polygons of 16.16 points drawn into a TBitmap32 as outlines or filled by scan lines, plainly
// or antialiased, and the line clipper of the clipped line routines.

#include <cstdint>

#include "components/graphics/Bitmap32.h"

namespace epc {

// The crossings of the scan-line table: bits 0..30 the x position, bit 31 set for an upward
// edge. The table covers rows MinY..MinY+RowCount-1; its crossings are stored row after row in
// one array (counted in a first walk over the edges, stored in a second).
constexpr uint32_t CrossingUp = 0x80000000u;
struct TScanLines {
    int32_t MinY = 0;
    int32_t RowCount = 0;
    std::vector<uint32_t> Offsets;  // RowCount + 1 starts into Data
    std::vector<uint32_t> Filled;   // crossings stored so far per row (second walk)
    std::vector<uint32_t> Data;
    bool Counting = true;

    uint32_t* Row(int32_t r) { return Data.data() + Offsets[size_t(r)]; }
    uint32_t RowSize(int32_t r) const { return Offsets[size_t(r) + 1] - Offsets[size_t(r)]; }
};
enum TPolyFillMode : uint8_t { pfAlternate = 0, pfWinding = 1 };

class TPolygon32 : public TObject {
public:
    TPolygon32();
    std::string ClassName() const override { return "TPolygon32"; }

    void AddPoint(const TFixedPoint& p);
    void NewLine();
    void Clear();
    void DrawOutline(TBitmap32* bitmap, TColor32 color);
    void DrawFilled(TBitmap32* bitmap, TColor32 color);

    bool Antialiased() const { return FAntialiased; }
    void SetAntialiased(bool value) { FAntialiased = value; }
    bool Closed() const { return FClosed; }
    void SetClosed(bool value) { FClosed = value; }
    TPolyFillMode FillMode() const { return FFillMode; }
    void SetFillMode(TPolyFillMode value) { FFillMode = value; }
    const TArrayOfArrayOfFixedPoint& Points() const { return FPoints; }
    // The coverage buffer of the antialiased filler (kept for the next fill).
    size_t CoverageCapacity() const { return FCoverage.size(); }

private:
    void FillPlain(TBitmap32* bitmap, TColor32 color);
    void FillAA(TBitmap32* bitmap, TColor32 color);

    bool FAntialiased = false;
    bool FClosed = true;
    TPolyFillMode FFillMode = pfAlternate;
    TArrayOfArrayOfFixedPoint FNormals;
    TArrayOfArrayOfFixedPoint FPoints;
    std::vector<int32_t> FCoverage;
    std::vector<int32_t> FEvents;
    TScanLines FTable;
    std::vector<std::vector<TPoint>> FContours;
};

// Builds the table of the contours (points in the table's units; contours of fewer than three
// points are left out) for rows minY..maxY; x is clamped to 0..maxX and rows outside dropped.
void BuildScanLines(TScanLines& table, const std::vector<std::vector<TPoint>>& contours,
                    int32_t minY, int32_t maxY, int32_t maxX);
// Walks the edges of one contour into the table (counting or storing, as the table says).
void AddContourEdges(TScanLines& table, const std::vector<TPoint>& points, int32_t maxX);

// Clips a segment to the inclusive rectangle; false when nothing is left.
bool ClipLine(int32_t& x1, int32_t& y1, int32_t& x2, int32_t& y2, int32_t minX, int32_t minY,
              int32_t maxX, int32_t maxY);

}  // namespace epc
