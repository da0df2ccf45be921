// Table painting: background, rules, the table border and every visible cell.
#include <algorithm>

#include "platform/core/Arithmetic.h"
#include "platform/graphics/Graphics.h"
#include "richtext/document/RVUni.h"
#include "richtext/table/RVTable.h"
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
    if (!canvas) return;
    const TRVTableItemFormattingInfo& fi = FFormatting;
    const TRect box(x, y, x + fi.Width, y + fi.Height);
    TRect visible;
    if (!IntersectRect(visible, box, clip)) return;
    // 1. Background.
    if (FBackground) {
        FBackground->SetStyle(RVCellBackgroundStyle(FBackgroundStyle));
        FBackground->Draw(canvas, visible, true, Color(), fi.Width, fi.Height, x, y, 0, 0);
    } else if (Color() != clNone) {
        canvas->Brush()->SetStyle(bsSolid);
        canvas->Brush()->SetColor(Color());
        canvas->FillRect(visible);
    }
    if (Rows.IsEmpty() || fi.ColStarts.Count() != ColCount() ||
        fi.RowStarts.Count() != RowCount()) {
        // Not laid out for this grid yet: only the border.
        DrawBorder(canvas, box.Left, box.Top, box.Right, box.Bottom, BorderWidth(),
                   BorderLightColor(), BorderColor(), GetTableColor(true), BorderStyle(), false,
                   ShowsGridLines(), nullptr, -1, -1, TRVColorMode::rvcmColor, clip);
        return;
    }
    // 2, 3. Rules.
    DrawRules(x, y, canvas, clip);
    // 4. Table border.
    TColor docColor = clNone;
    if (auto* formatted = dynamic_cast<TCustomRVFormattedData*>(FRVData))
        docColor = formatted->GetColor();
    const bool grid = ShowsGridLines();
    DrawBorder(canvas, box.Left, box.Top, box.Right, box.Bottom, BorderWidth(), BorderLightColor(),
               BorderColor(), docColor, BorderStyle(), false, grid, nullptr, -1, -1,
               TRVColorMode::rvcmColor, clip);
    // 5. Cells, skipping rows and columns outside the clip rectangle; spanning cells from
    // rows above the first painted row come first.
    int firstRow = 0;
    while (firstRow < RowCount() - 1 && y + fi.RowStarts[firstRow + 1] <= clip.Top)
        ++firstRow;
    for (int r = 0; r < firstRow; ++r)
        for (int c = 0; c < ColCount(); ++c)
            if (TRVTableCellData* cell = Rows.GetRow(r)->Cell(c);
                cell && r + cell->RowSpan > firstRow)
                PaintCell(cell, r, c, x, y, canvas, clip, selected, selColor, grid);
    for (int r = firstRow; r < RowCount(); ++r) {
        if (y + fi.RowStarts[r] - SY(CellBorderWidth()) > clip.Bottom) break;
        for (int c = 0; c < ColCount(); ++c) {
            TRVTableCellData* cell = Rows.GetRow(r)->Cell(c);
            if (!cell) continue;
            if (x + cell->Left - SX(CellBorderWidth()) > clip.Right) break;
            PaintCell(cell, r, c, x, y, canvas, clip, selected, selColor, grid);
        }
    }
}

void TRVTableItemInfo::DrawRules(int x, int y, TCanvas* canvas, const TRect& clip) {
    const TRVTableItemFormattingInfo& fi = FFormatting;
    const bool vRules = VRuleWidth() > 0 && VRuleColor() != clNone;
    const bool hRules = HRuleWidth() > 0 && HRuleColor() != clNone;
    // Rules are clipped to one pixel beyond the clip rectangle.
    auto vRule = [&](int centre, int top, int bottom, int w) {
        top = std::max(top, clip.Top - 1);
        bottom = std::min(bottom, clip.Bottom);
        // Only the lines inside the clip rectangle: a huge width costs nothing.
        const int first = std::max(centre - w / 2, clip.Left - 1);
        const int last = std::min(centre - w / 2 + w - 1, clip.Right);
        for (int lx = first; lx <= last; ++lx)
            VLine(canvas, lx, top, bottom, VRuleColor());
    };
    auto hRule = [&](int centre, int left, int right, int w) {
        left = std::max(left, clip.Left - 1);
        right = std::min(right, clip.Right);
        const int first = std::max(centre - w / 2, clip.Top - 1);
        const int last = std::min(centre - w / 2 + w - 1, clip.Bottom);
        for (int ly = first; ly <= last; ++ly)
            HLine(canvas, left, right, ly, HRuleColor());
    };
    if (vRules) {
        const int w = SX(VRuleWidth());
        int top = y, bottom = y + fi.Height - 1;
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
        for (int r = 1; r < RowCount(); ++r) {
            const int centre = y + fi.RowStarts[r] - half;
            if (centre - w / 2 > clip.Bottom) break;
            hRule(centre, left, right, w);
        }
        // An even rule has no middle pixel: the lower one sits a pixel higher.
        if (FHOutermostRule) hRule(y + fi.Height - inset - (w % 2 == 0 ? 1 : 0), left, right, w);
    }
}

void TRVTableItemInfo::PaintCell(TRVTableCellData* cell, int row, int col, int x, int y,
                                 TCanvas* canvas, const TRect& clip, bool selected, TColor selColor,
                                 bool showGrid) {
    const TRect rect(x + cell->Left, y + cell->Top, x + cell->Left + cell->Width,
                     y + cell->Top + cell->Height);
    const int cbw = SX(CellBorderWidth());
    TRect outer(rect.Left - cbw, rect.Top - cbw, rect.Right + cbw, rect.Bottom + cbw);
    TRect dummy;
    if (!IntersectRect(dummy, outer, clip)) return;
    // Background.
    selected = selected || (HasCellSelection() && IsCellSelected(row, col));
    const TColor fill = selected ? selColor : cell->Color;
    TRect fillRect = Options.Contains(TRVTableOption::rvtoCellBelowBorders) ? outer : rect;
    if (cell->CellBackground() && !selected) {
        cell->CellBackground()->SetStyle(RVCellBackgroundStyle(cell->BackgroundStyle()));
        TRect area;
        if (IntersectRect(area, fillRect, clip))
            cell->CellBackground()->Draw(canvas, area, true, fill, fillRect.Width(),
                                         fillRect.Height(), fillRect.Left, fillRect.Top, 0, 0);
    } else if (fill != clNone) {
        TRect area;
        if (IntersectRect(area, fillRect, clip)) {
            canvas->Brush()->SetStyle(bsSolid);
            canvas->Brush()->SetColor(ApplyColorModeToBackColor(fill, TRVColorMode::rvcmColor));
            canvas->FillRect(area);
        }
    }
    // Content.
    const int padX = SX(CellPadding()), padY = SY(CellPadding());
    cell->SetPaintOrigin(rect.Left + padX, rect.Top + padY + cell->GetVAlignOffset());
    cell->PaintDocument(canvas, clip);
    // Border.
    const TColor color = cell->BorderColor != clNone ? cell->BorderColor : CellBorderColor();
    const TColor light =
        cell->BorderLightColor != clNone ? cell->BorderLightColor : CellBorderLightColor();
    DrawBorder(canvas, outer.Left, outer.Top, outer.Right, outer.Bottom, CellBorderWidth(), light,
               color, Color(), CellBorderStyle(), false, showGrid, &cell->VisibleBorders, row, col,
               TRVColorMode::rvcmColor, clip);
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
        if (!showLeft) {
            canvas->MoveTo(left, top);
            canvas->LineTo(left, bottom);
        }
        if (!showTop) {
            canvas->MoveTo(left, top);
            canvas->LineTo(right, top);
        }
        if (!showRight) {
            canvas->MoveTo(right - 1, top);
            canvas->LineTo(right - 1, bottom);
        }
        if (!showBottom) {
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
    if (style != rvtbColor) width = SY(width);
    first = ApplyColorModeToTextColor(first, colorMode);
    second = ApplyColorModeToTextColor(second, colorMode);
    // The border is a band Width pixels wide just inside the rectangle: top and left sides in
    // the first colour, then bottom and right in the second.
    for (int i = 0; i < width; ++i) {
        const int l = left + i, t = top + i, r = right - 1 - i, b = bottom - 1 - i;
        if (r < l || b < t) break;
        if (showTop) HLine(canvas, l, r, t, first);
        if (showLeft) VLine(canvas, l, t, b, first);
    }
    for (int i = 0; i < width; ++i) {
        const int l = left + i, t = top + i, r = right - 1 - i, b = bottom - 1 - i;
        if (r < l || b < t) break;
        if (showBottom) HLine(canvas, l, r, b, second);
        if (showRight) VLine(canvas, r, t, b, second);
    }
}

} // namespace epc
