// Table painting: background, rules, the table border and every visible cell.
#include <algorithm>

#include "platform/core/Arithmetic.h"
#include "platform/graphics/Graphics.h"
#include "richtext/document/RVUni.h"
#include "richtext/table/RVTable.h"
#include "richtext/table/RVTableInplace.h"
#include "richtext/view/RVFormattedData.h"

namespace epc {

namespace {

// A solid run of pixels, both ends included.
void HLine(TCanvas* canvas, int x1, int x2, int y, TColor color) {
    if (x2 < x1) return;
    canvas->Brush()->SetStyle(bsSolid);
    canvas->Brush()->SetColor(color);
    canvas->FillRect(TRect(x1, y, x2 + 1, y + 1));
}

void VLine(TCanvas* canvas, int x, int y1, int y2, TColor color) {
    if (y2 < y1) return;
    canvas->Brush()->SetStyle(bsSolid);
    canvas->Brush()->SetColor(color);
    canvas->FillRect(TRect(x, y1, x + 1, y2 + 1));
}

// Solid bands of whole pixels, both ends included.
void HBand(TCanvas* canvas, int x1, int x2, int y1, int y2, TColor color) {
    if (x2 < x1 || y2 < y1) return;
    canvas->Brush()->SetStyle(bsSolid);
    canvas->Brush()->SetColor(color);
    canvas->FillRect(TRect(x1, y1, x2 + 1, y2 + 1));
}

void VBand(TCanvas* canvas, int x1, int x2, int y1, int y2, TColor color) {
    HBand(canvas, x1, x2, y1, y2, color);
}

// A background picture of the table or a cell; printed, its picture keeps its size on paper.
void DrawItemBackground(TRVBackground& back, TCanvas* canvas, const TRect& area, TColor color,
                        int width, int height, int dx, int dy, const TRVScreenAndDevice* print) {
    if (!print) {
        back.Draw(canvas, area, true, color, width, height, dx, dy, 0, 0);
        return;
    }
    back.DrawScaled(canvas, area, color, width, height, dx, dy, print->Resolutions());
}

bool SameRGB(TColor a, TColor b) {
    return ColorToRGB(a) == ColorToRGB(b);
}

} // namespace

TBackgroundStyle RVCellBackgroundStyle(TRVItemBackgroundStyle style) {
    switch (style) {
    case rvbsStretched:
        return TBackgroundStyle::bsStretched;
    case rvbsTiled:
        return TBackgroundStyle::bsTiled;
    case rvbsCentered:
        return TBackgroundStyle::bsCentered;
    default:
        return TBackgroundStyle::bsNoBitmap;
    }
}

bool TRVTableItemInfo::ShowsGridLines() const {
    return (StateBits & rvtsEditMode) && !Options.Contains(TRVTableOption::rvtoHideGridLines);
}

void TRVTableItemInfo::PaintFullWidth(int left, int /*right*/, int top, TCanvas* canvas, int state,
                                      TRVStyle* style, const TRect& clipRect,
                                      TRVDrawLineInfo* dli) {
    int x = left;
    if (auto* formatted = dynamic_cast<TCustomRVFormattedData*>(FRVData); formatted && dli)
        x += dli->Left - formatted->GetLeftMargin();
    // A table holding the document's active sub-document is selected only as its container;
    // one with selected cells shows those cells.
    const bool selected = (state & 1) != 0 && (state & 2) == 0 && !HasCellSelection();
    TColor selColor = clHighlight;
    if (style) selColor = style->SelColor;
    PaintAt(x, top, canvas, TRect(0, 0, clipRect.Width(), clipRect.Height()), selected, selColor);
}

void TRVTableItemInfo::PaintAt(int x, int y, TCanvas* canvas, const TRect& clip, bool selected,
                               TColor selColor) {
    TPaintJob job;
    job.Fmt = &FFormatting;
    job.RowCount = RowCount();
    job.Selected = selected;
    job.SelColor = selColor;
    PaintTable(x, y, canvas, clip, job);
}

void TRVTableItemInfo::DrawPrintBackground(TCanvas* canvas, const TRect& box, const TRect& visible,
                                           bool printing, TRVColorMode colorMode,
                                           const TRVScreenAndDevice* sad) {
    if (!canvas) return;
    const bool white = printing && PrintOptions.Contains(TRVTablePrintOption::rvtoWhiteBackground);
    const TColor tableColor = white && Color() != clNone ? clWhite : Color();
    if (FBackground) {
        FBackground->SetStyle(RVCellBackgroundStyle(FBackgroundStyle));
        DrawItemBackground(*FBackground, canvas, visible,
                           ApplyColorModeToBackColor(tableColor, colorMode), box.Width(),
                           box.Height(), box.Left, box.Top, sad);
    } else if (tableColor != clNone) {
        canvas->Brush()->SetStyle(bsSolid);
        canvas->Brush()->SetColor(ApplyColorModeToBackColor(tableColor, colorMode));
        canvas->FillRect(visible);
    }
}

// Screen: the whole table, rows and columns outside the clip rectangle skipped. Print: the
// heading rows at their places, then the part's rows moved up below them, in a box as high as
// the part.
void TRVTableItemInfo::PaintTable(int x, int y, TCanvas* canvas, const TRect& clip,
                                  const TPaintJob& job) {
    if (!canvas) return;
    const TRVTableItemFormattingInfo& fi = *job.Fmt;
    const bool printing = job.Print != nullptr;
    const bool laidOut =
        !Rows.IsEmpty() && fi.ColStarts.Count() == ColCount() && fi.RowStarts.Count() == RowCount();
    int height = fi.Height, delta = 0;
    if (printing && laidOut) {
        height = job.Print->PartHeight(job.FirstRow, job.RowCount);
        delta = fi.RowStarts[job.Headings] - fi.RowStarts[job.FirstRow];
    }
    const TRect box(x, y, x + fi.Width, y + height);
    TRect visible;
    if (!IntersectRect(visible, box, clip)) return;
    // 1. Background.
    DrawPrintBackground(canvas, box, visible, printing, job.ColorMode,
                        printing ? &job.Print->Sad : nullptr);
    if (!laidOut) {
        // Not laid out for this grid yet: only the border.
        DrawBorder(canvas, box.Left, box.Top, box.Right, box.Bottom, BorderWidth(),
                   BorderLightColor(), BorderColor(), GetTableColor(true), BorderStyle(), printing,
                   ShowsGridLines(), nullptr, -1, -1, job.ColorMode, clip);
        return;
    }
    // 2, 3. Rules.
    DrawRules(x, y, canvas, clip, job);
    // 4. Table border.
    TColor docColor = clNone;
    if (auto* formatted = dynamic_cast<TCustomRVFormattedData*>(FRVData))
        docColor = formatted->GetColor();
    const bool grid = ShowsGridLines();
    DrawBorder(canvas, box.Left, box.Top, box.Right, box.Bottom, BorderWidth(), BorderLightColor(),
               BorderColor(), docColor, BorderStyle(), printing, grid, nullptr, -1, -1,
               job.ColorMode, clip);
    // 5. Cells: those of earlier rows that span into the first painted row, the heading rows,
    // then the rows of the run, each left to right up to the clip rectangle.
    int firstRow = job.FirstRow;
    const int endRow = std::min(job.FirstRow + job.RowCount, RowCount());
    if (!printing)
        while (firstRow < endRow - 1 && y + fi.RowStarts[firstRow + 1] <= clip.Top)
            ++firstRow;
    const int bodyY = y + delta;
    if (firstRow < endRow)
        for (int c = 0; c < ColCount(); ++c) {
            int mr = 0, mc = 0;
            TRVTableCellData* cell = Rows.GetMainCell(firstRow, c, mr, mc);
            if (cell && mc == c && mr < firstRow && mr >= job.Headings)
                PaintCell(cell, mr, mc, x, bodyY, canvas, clip, job, grid);
        }
    auto paintRow = [&](int r, int rowY) {
        for (int c = 0; c < ColCount(); ++c) {
            TRVTableCellData* cell = Rows.GetRow(r)->Cell(c);
            if (!cell) continue;
            if (x + fi.ColStarts[c] - SX(CellBorderWidth()) > clip.Right) break;
            PaintCell(cell, r, c, x, rowY, canvas, clip, job, grid);
        }
    };
    for (int r = 0; r < job.Headings; ++r)
        paintRow(r, y);
    for (int r = firstRow; r < endRow; ++r) {
        if (bodyY + fi.RowStarts[r] - SY(CellBorderWidth()) > clip.Bottom) break;
        paintRow(r, bodyY);
    }
}

void TRVTableItemInfo::DrawRules(int x, int y, TCanvas* canvas, const TRect& clip,
                                 const TPaintJob& job) {
    const TRVTableItemFormattingInfo& fi = *job.Fmt;
    const bool vRules = VRuleWidth() > 0 && VRuleColor() != clNone;
    const bool hRules = HRuleWidth() > 0 && HRuleColor() != clNone;
    const TColor vColor = ApplyColorModeToTextColor(VRuleColor(), job.ColorMode);
    const TColor hColor = ApplyColorModeToTextColor(HRuleColor(), job.ColorMode);
    const int height = job.Print ? job.Print->PartHeight(job.FirstRow, job.RowCount) : fi.Height;
    // Rules are clipped to one pixel beyond the clip rectangle.
    auto vRule = [&](int centre, int top, int bottom, int w) {
        top = std::max(top, clip.Top - 1);
        bottom = std::min(bottom, clip.Bottom);
        // Only the lines inside the clip rectangle: a huge width costs nothing.
        const int first = std::max(centre - w / 2, clip.Left - 1);
        const int last = std::min(centre - w / 2 + w - 1, clip.Right);
        if (first <= last) VBand(canvas, first, last, top, bottom, vColor);
    };
    auto hRule = [&](int centre, int left, int right, int w) {
        left = std::max(left, clip.Left - 1);
        right = std::min(right, clip.Right);
        const int first = std::max(centre - w / 2, clip.Top - 1);
        const int last = std::min(centre - w / 2 + w - 1, clip.Bottom);
        if (first <= last) HBand(canvas, left, right, first, last, hColor);
    };
    if (vRules) {
        const int w = SX(VRuleWidth());
        int top = y, bottom = y + height - 1;
        if (hRules && FHOutermostRule) {
            top += SY(BorderWidth() + BorderVSpacing() / 2);
            bottom -= SY(BorderWidth() + BorderVSpacing() / 2);
        }
        const int inset = SX(BorderWidth() + BorderHSpacing() / 2);
        if (FVOutermostRule) vRule(x + inset, top, bottom, w);
        const int half = (SX(CellHSpacing() + 2 * CellBorderWidth()) + 1) / 2;
        for (int c = 1; c < ColCount(); ++c) {
            const int centre = x + fi.ColStarts[c] - half;
            if (centre - w / 2 > clip.Right) break;
            vRule(centre, top, bottom, w);
        }
        if (FVOutermostRule) vRule(x + fi.Width - 1 - inset, top, bottom, w);
    }
    if (hRules) {
        const int w = SY(HRuleWidth());
        int left = x, right = x + fi.Width - 1;
        if (vRules && FVOutermostRule) {
            left += SX(BorderWidth() + BorderHSpacing() / 2);
            right -= SX(BorderWidth() + BorderHSpacing() / 2);
        }
        const int inset = SY(BorderWidth() + BorderVSpacing() / 2);
        if (FHOutermostRule) hRule(y + inset, left, right, w);
        const int half = (SY(CellVSpacing() + 2 * CellBorderWidth()) + 1) / 2;
        // Between every two rows painted one above the other; on a print page the body rows
        // sit below the heading rows.
        const int endRow = std::min(job.FirstRow + job.RowCount, RowCount());
        const int delta = job.Print ? fi.RowStarts[job.Headings] - fi.RowStarts[job.FirstRow] : 0;
        for (int r = job.Headings > 0 ? 1 : job.FirstRow + 1; r < endRow; ++r) {
            const bool heading = r < job.Headings;
            if (!heading && r < job.FirstRow) r = job.FirstRow;
            const int centre = y + (heading ? 0 : delta) + fi.RowStarts[r] - half;
            if (centre - w / 2 > clip.Bottom) break;
            hRule(centre, left, right, w);
        }
        // An even rule has no middle pixel: the lower one sits a pixel higher.
        if (FHOutermostRule) hRule(y + height - inset - (w % 2 == 0 ? 1 : 0), left, right, w);
    }
}

void TRVTableItemInfo::PaintCell(TRVTableCellData* cell, int row, int col, int x, int y,
                                 TCanvas* canvas, const TRect& clip, const TPaintJob& job,
                                 bool showGrid) {
    const bool printing = job.Print != nullptr;
    TCellPtblRVData* doc = printing ? job.Print->CellDoc(row, col) : nullptr;
    if (printing && !doc) return;
    const int padX = SX(CellPadding()), padY = SY(CellPadding());
    // Printed, the cell's box is its printable document's widened by the padding.
    const TRect rect =
        printing ? TRect(x + doc->Left - padX, y + doc->Top - padY,
                         x + doc->Left + doc->Width() + padX, y + doc->Top + doc->Height() + padY)
                 : TRect(x + cell->Left, y + cell->Top, x + cell->Left + cell->Width,
                         y + cell->Top + cell->Height);
    const int cbw = SX(CellBorderWidth());
    TRect outer(rect.Left - cbw, rect.Top - cbw, rect.Right + cbw, rect.Bottom + cbw);
    TRect dummy;
    if (!IntersectRect(dummy, outer, clip)) return;
    // Background.
    const bool selected =
        !printing && (job.Selected || (HasCellSelection() && IsCellSelected(row, col)));
    TColor fill = selected ? job.SelColor : cell->Color;
    if (!selected && fill == clNone && FInplaceEditor && row == FEditedRow && col == FEditedCol &&
        FInplaceEditor->SelectedLook())
        fill = clWindow;
    if (printing && fill != clNone &&
        PrintOptions.Contains(TRVTablePrintOption::rvtoWhiteBackground))
        fill = clWhite;
    fill = ApplyColorModeToBackColor(fill, job.ColorMode);
    TRect fillRect = Options.Contains(TRVTableOption::rvtoCellBelowBorders) ? outer : rect;
    if (cell->CellBackground() && !selected) {
        cell->CellBackground()->SetStyle(RVCellBackgroundStyle(cell->BackgroundStyle()));
        TRect area;
        if (IntersectRect(area, fillRect, clip))
            DrawItemBackground(*cell->CellBackground(), canvas, area, fill, fillRect.Width(),
                               fillRect.Height(), fillRect.Left, fillRect.Top,
                               printing ? &job.Print->Sad : nullptr);
    } else if (fill != clNone) {
        TRect area;
        if (IntersectRect(area, fillRect, clip)) {
            canvas->Brush()->SetStyle(bsSolid);
            canvas->Brush()->SetColor(fill);
            canvas->FillRect(area);
        }
    }
    // Content.
    if (printing) {
        doc->DrawAt(canvas, x, y, job.Preview, job.Correction);
    } else {
        cell->SetPaintOrigin(rect.Left + padX, rect.Top + padY + cell->GetVAlignOffset());
        cell->PaintDocument(canvas, clip);
    }
    // Border.
    const TColor color = cell->BorderColor != clNone ? cell->BorderColor : CellBorderColor();
    const TColor light =
        cell->BorderLightColor != clNone ? cell->BorderLightColor : CellBorderLightColor();
    DrawBorder(canvas, outer.Left, outer.Top, outer.Right, outer.Bottom, CellBorderWidth(), light,
               color, Color(), CellBorderStyle(), printing, showGrid, &cell->VisibleBorders, row,
               col, job.ColorMode, clip);
}

bool TRVTableItemInfo::SideCoveredByNeighbour(int row, int col, int side) const {
    // Sides: 0 left, 1 top, 2 right, 3 bottom.
    const bool vertical = side == 0 || side == 2;
    TRVTableCellData* cell = Rows.GetCell(row, col);
    if (!cell) return false;
    const int nr = side == 1 ? row - 1 : side == 3 ? row + cell->RowSpan : row;
    const int nc = side == 0 ? col - 1 : side == 2 ? col + cell->ColSpan : col;
    if (nr < 0 || nc < 0 || nr >= RowCount() || nc >= ColCount())
        // At the table's edge: under the table border.
        return (vertical ? BorderHSpacing() : BorderVSpacing()) < 0 && BorderWidth() >= 1;
    if ((vertical ? CellHSpacing() : CellVSpacing()) >= 0) return false;
    int mr = 0, mc = 0;
    TRVTableCellData* other = Rows.GetMainCell(nr, nc, mr, mc);
    if (!other) return false;
    switch (side) {
    case 0:
        return other->VisibleBorders.Right;
    case 1:
        return other->VisibleBorders.Bottom;
    case 2:
        return other->VisibleBorders.Left;
    default:
        return other->VisibleBorders.Top;
    }
}

void TRVTableItemInfo::DrawBorder(TCanvas* canvas, int left, int top, int right, int bottom,
                                  int width, TColor lightColor, TColor color,
                                  TColor backgroundColor, TRVTableBorderStyle style, bool printing,
                                  bool showGrid, const TRVBooleanRect* visibleBorders, int row,
                                  int col, TRVColorMode colorMode, const TRect& clip) {
    TRect dummy;
    if (!IntersectRect(dummy, TRect(left, top, right, bottom), clip)) return;
    if (OnDrawBorder) {
        bool doDefault = true;
        OnDrawBorder(this, canvas, left, top, right, bottom, width, lightColor, color,
                     backgroundColor, style, printing, visibleBorders, row, col, doDefault);
        if (!doDefault) return;
    }
    const bool grid = showGrid && !printing && RVTableGridPenStyle != psClear;
    auto gridPen = [&] {
        canvas->Pen()->SetWidth(1);
        canvas->Pen()->SetStyle(RVTableGridPenStyle);
        canvas->Pen()->SetColor(clBtnFace);
        canvas->Brush()->SetStyle(bsClear);
    };
    if (width == 0) {
        if (grid) {
            gridPen();
            canvas->Rectangle(left, top, right, bottom);
            canvas->Pen()->SetStyle(psSolid);
        }
        return;
    }
    const bool showLeft = !visibleBorders || visibleBorders->Left;
    const bool showTop = !visibleBorders || visibleBorders->Top;
    const bool showRight = !visibleBorders || visibleBorders->Right;
    const bool showBottom = !visibleBorders || visibleBorders->Bottom;
    if (grid && !(showLeft && showTop && showRight && showBottom)) {
        gridPen();
        // A hidden side under a neighbour's border (negative spacing) needs no grid line.
        auto covered = [&](int side) {
            return row >= 0 && col >= 0 && SideCoveredByNeighbour(row, col, side);
        };
        if (!showLeft && !covered(0)) {
            canvas->MoveTo(left, top);
            canvas->LineTo(left, bottom);
        }
        if (!showTop && !covered(1)) {
            canvas->MoveTo(left, top);
            canvas->LineTo(right, top);
        }
        if (!showRight && !covered(2)) {
            canvas->MoveTo(right - 1, top);
            canvas->LineTo(right - 1, bottom);
        }
        if (!showBottom && !covered(3)) {
            canvas->MoveTo(left, bottom - 1);
            canvas->LineTo(right, bottom - 1);
        }
        canvas->Pen()->SetStyle(psSolid);
    }
    TColor first, second;
    switch (style) {
    case rvtbRaised:
        first = SameRGB(backgroundColor, clBtnHighlight) ? clBtnFace : clBtnHighlight;
        second = clBtnShadow;
        break;
    case rvtbLowered:
        first = clBtnShadow;
        second = SameRGB(backgroundColor, clBtnHighlight) ? clBtnFace : clBtnHighlight;
        break;
    case rvtbRaisedColor:
        first = lightColor;
        second = color;
        break;
    case rvtbLoweredColor:
        first = color;
        second = lightColor;
        break;
    default: // rvtbColor
        if (color == clNone) return;
        first = second = color;
        break;
    }
    // Widths are screen pixels: a printer gets as wide a border on paper.
    width = SY(width);
    first = ApplyColorModeToTextColor(first, colorMode);
    second = ApplyColorModeToTextColor(second, colorMode);
    if (printing && style != rvtbColor &&
        PrintOptions.Contains(TRVTablePrintOption::rvtoHalftoneBorders)) {
        // One line Width wide per side, just inside the rectangle.
        const int r = right - 1, b = bottom - 1;
        if (showTop) HBand(canvas, left, r, top, top + width - 1, first);
        if (showLeft) VBand(canvas, left, left + width - 1, top, b, first);
        if (showBottom) HBand(canvas, left, r, b - width + 1, b, second);
        if (showRight) VBand(canvas, r - width + 1, r, top, b, second);
        return;
    }
    // Width one-pixel lines per side just inside the rectangle, each a pixel further in: top
    // and left sides in the first colour, then bottom and right in the second. The lines meet
    // their neighbours' at the corners; a one-colour border with hidden sides runs them to the
    // corners with rvtoOverlappingCorners.
    const bool full =
        style == rvtbColor && Options.Contains(TRVTableOption::rvtoOverlappingCorners);
    for (int i = 0; i < width; ++i) {
        const int l = left + i, t = top + i, r = right - 1 - i, b = bottom - 1 - i;
        if (r < l || b < t) break;
        if (showTop) HLine(canvas, full ? left : l, full ? right - 1 : r, t, first);
        if (showLeft) VLine(canvas, l, full ? top : t, full ? bottom - 1 : b, first);
    }
    for (int i = 0; i < width; ++i) {
        const int l = left + i, t = top + i, r = right - 1 - i, b = bottom - 1 - i;
        if (r < l || b < t) break;
        if (showBottom) HLine(canvas, full ? left : l, full ? right - 1 : r, b, second);
        if (showRight) VLine(canvas, r, full ? top : t, full ? bottom - 1 : b, second);
    }
}

} // namespace epc
