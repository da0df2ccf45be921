#pragma once
// The tree's painter: RenderToCanvas by phase (the options that apply, each row erased, its
// cells laid out and drawn, the row's decorations, the space below the rows). The tree holds
// one and forwards RenderToCanvas to it; the overridable painters stay the tree's own.

#include <cstdint>
#include <functional>
#include <vector>

#include "components/tree/TreePart.h"
#include "components/tree/VirtualTreeTypes.h"
#include "platform/core/Geometry.h"

namespace epc {

class TBaseVirtualTree;
class TBitmap;
class TCanvas;
struct TVTPaintInfo;

class TVTPainter : TVTTreePart {
public:
    explicit TVTPainter(TBaseVirtualTree& tree) : TVTTreePart(tree) {}

    void RenderToCanvas(TCanvas* target, TRect window, TPoint targetPoint, uint8_t paintOptions);
    int LastPaintedRows() const { return FLastPaintedRows; }
    // Tiles the background over R of Canvas as if the tiles started DX, DY further on.
    void TileBackgroundShifted(TCanvas* canvas, const TRect& r, int dx, int dy);

private:
    struct TPass;
    struct TRow;
    uint8_t EffectiveOptions(uint8_t paintOptions, bool focused) const;
    void CollectCells(TPass& pass) const;
    void PaintRow(TPass& pass, TRow& row);
    void EraseRow(TPass& pass, const TRow& row);
    void FillColumnColors(TPass& pass, TCanvas* canvas, int shiftX, int height) const;
    // Fills in where the cell's images and content go; false when the cell is out of view.
    bool LayoutCell(TPass& pass, TRow& row, TColumnIndex c, TVTPaintInfo& info);
    void PaintCell(TPass& pass, TRow& row, TColumnIndex c);
    void PaintGridLines(TPass& pass, const TVTPaintInfo& info, int height);
    void PaintMirrored(TPass& pass, int left, int width, int height,
                       const std::function<void(TCanvas*)>& paint);
    TColumnIndex FocusedCell(const TPass& pass) const;
    void FillSelection(TPass& pass, const TRow& row, const TRect& r);
    void PaintLabelHighlight(TPass& pass, const TRow& row, const TVTPaintInfo& info);
    void PaintBelowRows(TPass& pass, int y);

    int FLastPaintedRows = 0;
};

} // namespace epc
