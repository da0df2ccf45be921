// RenderToCanvas by phase: every row is drawn into a reused row bitmap addressed in tree
// coordinates horizontally, then copied to the target.

#include "components/tree/TreePainter.h"

#include <algorithm>

#include "components/tree/BaseVirtualTree.h"
#include "platform/core/ScopeGuard.h"

namespace epc {

using namespace tree_options;

// What one RenderToCanvas call paints with.
struct TVTPainter::TPass {
    TCanvas* Target = nullptr;
    TRect Window;
    TPoint TargetPoint;
    uint8_t Options = 0;
    TVTPaintOptions Paint;
    TVTSelectionOptions Selection;
    bool Focused = false;
    bool HorzGrid = false;
    bool VertGrid = false;
    bool CheckSupport = false;
    TVirtualTreeColumns* Columns = nullptr;
    std::vector<TColumnIndex> Cells;
    TColumnIndex MainColumn = NoColumn;
    // Right end of the cell when there are no columns.
    int FullRight = 0;
    TColor SelectionColor = clNone;
    TColor SelectionBorder = clNone;
    TBitmap* RowBitmap = nullptr;
    TCanvas* Canvas = nullptr;
    HDC DC = nullptr;
    std::vector<TVTLineType> LineImage;
};

// One row being painted (row coordinates: the row starts at 0).
struct TVTPainter::TRow {
    PVirtualNode Node = nullptr;
    int NodeTop = 0;
    int Height = 0;
    TRect ItemRect;
    bool DropTarget = false;
    bool Selected = false;
    bool LineImageReady = false;
};

void TVTPainter::RenderToCanvas(TCanvas* target, TRect window, TPoint targetPoint,
                                uint8_t paintOptions) {
    TBaseVirtualTree& tree = FTree;
    FLastPaintedRows = 0;
    if (!target || window.Right <= window.Left || window.Bottom <= window.Top) return;
    tree.DoStateChange({TVirtualTreeState::tsPainting});
    auto leave = Finally([&tree] { tree.DoStateChange({}, {TVirtualTreeState::tsPainting}); });
    tree.FlushTotals();

    TPass pass;
    pass.Target = target;
    pass.Window = window;
    pass.TargetPoint = targetPoint;
    pass.Paint = tree.FOptions->PaintOptions();
    // A tree in popup mode is painted as if it had the focus.
    pass.Focused = tree.Focused() || pass.Paint.Contains(toPopupMode);
    pass.Options = EffectiveOptions(paintOptions, pass.Focused);
    pass.Selection = tree.FOptions->SelectionOptions();
    pass.HorzGrid = pass.Paint.Contains(toShowHorzGridLines);
    pass.VertGrid = pass.Paint.Contains(toShowVertGridLines);
    pass.CheckSupport = tree.FOptions->MiscOptions().Contains(toCheckSupport) && tree.FCheckImages;
    CollectCells(pass);
    pass.FullRight = std::max({window.Right, tree.ClientWidth(), tree.RangeX()});
    const TVTColors& colors = *tree.FColors;
    pass.SelectionColor =
        pass.Focused ? colors.FocusedSelectionColor() : colors.UnfocusedSelectionColor();
    pass.SelectionBorder = pass.Focused ? colors.FocusedSelectionBorderColor()
                                        : colors.UnfocusedSelectionBorderColor();

    TBitmap rowBitmap(window.Width(), 1, pf32bit);
    pass.RowBitmap = &rowBitmap;
    pass.Canvas = rowBitmap.Canvas();
    pass.Canvas->Font()->Assign(tree.Font());
    pass.DC = pass.Canvas->Handle();
    SetWindowOrgEx(pass.DC, window.Left, 0, nullptr);

    TRow row;
    row.Node = tree.NodeAtPointEx(0, window.Top, false, row.NodeTop);
    int y = row.NodeTop - window.Top; // row offset within the window (first row may start above)
    while (row.Node && row.NodeTop < window.Bottom) {
        if (!Has(row.Node, nsInitialized)) tree.InitNode(row.Node);
        row.Height = int(row.Node->NodeHeight);
        const bool skipped = (pass.Options & poSelectedOnly) && !Has(row.Node, nsSelected);
        if (!skipped && row.Height > 0) {
            PaintRow(pass, row);
            BitBlt(target->Handle(), targetPoint.X, targetPoint.Y + y, window.Width(), row.Height,
                   pass.DC, window.Left, 0, SRCCOPY);
            ++FLastPaintedRows;
        }
        row.NodeTop += row.Height;
        y += row.Height;
        row.Node = tree.NextVisibleNodeNoInit(row.Node);
    }
    if (y < window.Height()) PaintBelowRows(pass, std::max(0, y));
}

// The caller's options less what the tree's paint options and focus leave out.
uint8_t TVTPainter::EffectiveOptions(uint8_t paintOptions, bool focused) const {
    const auto paint = FTree.FOptions->PaintOptions();
    if (!paint.Contains(toShowBackground) || FTree.FBackground->Width() <= 0)
        paintOptions &= uint8_t(~poBackground);
    if (paint.Contains(toHideFocusRect) || !focused) paintOptions &= uint8_t(~poFocusRect);
    if (!focused && paint.Contains(toHideSelection)) paintOptions &= uint8_t(~poSelection);
    if (!paint.Contains(toShowDropmark)) paintOptions &= uint8_t(~poDropMark);
    if (!paint.Contains(toShowHorzGridLines) && !paint.Contains(toShowVertGridLines))
        paintOptions &= uint8_t(~poGridLines);
    return paintOptions;
}

void TVTPainter::CollectCells(TPass& pass) const {
    TVTHeader& header = *FTree.FHeader;
    pass.Columns = header.Columns();
    pass.MainColumn = FTree.MainColumn();
    if (!header.UseColumns()) {
        pass.Cells.push_back(NoColumn);
        return;
    }
    for (TColumnIndex c : pass.Columns->GetVisibleColumns())
        if (!(pass.Options & poMainColumnOnly) || c == pass.MainColumn) pass.Cells.push_back(c);
}

void TVTPainter::PaintRow(TPass& pass, TRow& row) {
    TBaseVirtualTree& tree = FTree;
    const TRect& window = pass.Window;
    if (pass.RowBitmap->Height() != row.Height) {
        pass.RowBitmap->SetSize(window.Width(), row.Height);
        pass.DC = pass.Canvas->Handle();
        SetWindowOrgEx(pass.DC, window.Left, 0, nullptr);
    }
    SetBrushOrgEx(pass.DC, -window.Left, -(row.NodeTop & 7), nullptr);
    row.ItemRect = TRect(window.Left, 0, window.Right, row.Height);
    PVirtualNode node = row.Node;
    TCanvas* canvas = pass.Canvas;
    // The drop target takes its own colours when the drop goes onto it (or it is selected
    // anyway). A focused node that is not selected gets only the focus rectangle.
    const bool selection = (pass.Options & poSelection) != 0;
    row.DropTarget = selection && node == tree.FDropTargetNode &&
                     (tree.FDropMode == TVTDropMode::dmOnNode || Has(node, nsSelected));
    row.Selected = selection && (row.DropTarget || Has(node, nsSelected));
    bool customDraw = false;
    if (tree.OnBeforeItemPaint)
        tree.OnBeforeItemPaint(&tree, canvas, node, row.ItemRect, customDraw);
    if (!customDraw) {
        EraseRow(pass, row);
        row.LineImageReady = false;
        for (TColumnIndex c : pass.Cells)
            PaintCell(pass, row, c);
        if ((pass.Options & poDropMark) && node == tree.FDropTargetNode)
            tree.DoPaintDropMark(canvas, node, TRect(window.Left, 0, window.Right, row.Height));
        if (!tree.FSelectRect.IsEmpty()) {
            TRect sel = tree.FSelectRect;
            OffsetRect(sel, 0, -row.NodeTop);
            tree.PaintSelectionRectangle(canvas, 0, sel, row.ItemRect);
        }
    }
    if (tree.OnAfterItemPaint) tree.OnAfterItemPaint(&tree, canvas, node, row.ItemRect);
}

void TVTPainter::TileBackgroundShifted(TCanvas* canvas, const TRect& r, int dx, int dy) {
    TBaseVirtualTree& tree = FTree;
    const int savedY = tree.FBackgroundOffsetY, savedX = tree.FBackgroundOffsetX;
    auto restore = Finally([&] {
        tree.FBackgroundOffsetY = savedY;
        tree.FBackgroundOffsetX = savedX;
    });
    tree.FBackgroundOffsetY = savedY + dy;
    tree.FBackgroundOffsetX = savedX + dx;
    tree.TileBackground(canvas, r);
}

void TVTPainter::FillColumnColors(TPass& pass, TCanvas* canvas, int shiftX, int height) const {
    for (TColumnIndex c : pass.Cells) {
        if (c < 0) continue;
        TVirtualTreeColumn* column = pass.Columns->Items(c);
        canvas->Brush()->SetColor(column->Color());
        canvas->FillRect(
            TRect(column->Left() - shiftX, 0, column->Left() + column->Width() - shiftX, height));
    }
}

void TVTPainter::EraseRow(TPass& pass, const TRow& row) {
    TBaseVirtualTree& tree = FTree;
    TCanvas* canvas = pass.Canvas;
    TColor eraseColor = tree.Color();
    TItemEraseAction action = TItemEraseAction::eaDefault;
    if (tree.OnBeforeItemErase)
        tree.OnBeforeItemErase(&tree, canvas, row.Node, row.ItemRect, eraseColor, action);
    const bool byDefault = action == TItemEraseAction::eaDefault;
    if (action == TItemEraseAction::eaColor ||
        (byDefault && !(pass.Options & (poBackground | poColumnColor)))) {
        canvas->Brush()->SetColor(eraseColor);
        canvas->FillRect(row.ItemRect);
    } else if (byDefault && (pass.Options & poBackground)) {
        const int width = pass.Window.Width();
        TBitmap tiles(width, row.Height, pf32bit);
        // Tiles follow the tree position of the row.
        TileBackgroundShifted(tiles.Canvas(), TRect(0, 0, width, row.Height),
                              pass.Window.Left + tree.FOffsetX, row.NodeTop + tree.FOffsetY);
        BitBlt(pass.DC, pass.Window.Left, 0, width, row.Height, tiles.Canvas()->Handle(), 0, 0,
               SRCCOPY);
    } else if (byDefault) {
        // The colour OnBeforeItemErase left, even with the default action.
        canvas->Brush()->SetColor(eraseColor);
        canvas->FillRect(row.ItemRect);
        FillColumnColors(pass, canvas, 0, row.Height);
        if (row.Selected && pass.Selection.Contains(toFullRowSelect)) {
            TRect r = row.ItemRect;
            if (pass.HorzGrid) --r.Bottom;
            FillSelection(pass, row, r);
        }
    }
    if (tree.OnAfterItemErase) tree.OnAfterItemErase(&tree, canvas, row.Node, row.ItemRect);
}

bool TVTPainter::LayoutCell(TPass& pass, TRow& row, TColumnIndex c, TVTPaintInfo& info) {
    TBaseVirtualTree& tree = FTree;
    PVirtualNode node = row.Node;
    const int height = row.Height;
    info.Canvas = pass.Canvas;
    info.PaintOptions = pass.Options;
    info.Node = node;
    info.Column = c;
    info.BrushOrigin = TPoint(0, row.NodeTop);
    if (c >= 0) {
        TVirtualTreeColumn* column = pass.Columns->Items(c);
        if (column->Left() >= pass.Window.Right) return false;
        info.Position = int(column->Position());
        info.CellRect = TRect(column->Left(), 0, column->Left() + column->Width(), height);
        info.Alignment = column->Alignment();
        info.BidiMode = column->BiDiMode();
    } else {
        info.CellRect = TRect(0, 0, pass.FullRight, height);
        info.Alignment = tree.FAlignment;
        info.BidiMode = tree.BiDiMode();
    }
    return info.CellRect.Right > pass.Window.Left;
}

void TVTPainter::PaintCell(TPass& pass, TRow& row, TColumnIndex c) {
    TBaseVirtualTree& tree = FTree;
    TVTPaintInfo info;
    if (!LayoutCell(pass, row, c, info)) return;
    PVirtualNode node = row.Node;
    TCanvas* canvas = pass.Canvas;
    const int height = row.Height;
    const int indent = tree.IndentWidth(1);
    if (tree.OnBeforeCellPaint) tree.OnBeforeCellPaint(&tree, canvas, node, c, info.CellRect);
    const bool isMain = c == pass.MainColumn || c == NoColumn;
    int x = info.CellRect.Left;
    int indentSize = 0;
    if (isMain) {
        if (!row.LineImageReady) {
            tree.DetermineLineImageAndSelectLevel(node, pass.LineImage);
            row.LineImageReady = true;
        }
        indentSize = int(pass.LineImage.size());
        x += tree.IndentWidth(indentSize);
    }
    x += tree.FMargin;
    // The images in a row after the indentation: check image and state image in the main
    // column only, then the normal image.
    auto place = [&](TVTImageInfo& image, TVTImageKind kind, TCustomImageList* images) {
        bool ghosted = false;
        image.Index = tree.GetImageIndex(node, kind, c, ghosted);
        image.Ghosted = ghosted;
        if (image.Index < 0) return;
        image.Position = TPoint(x, 0);
        x += images->Width() + 2;
    };
    if (isMain) {
        if (pass.CheckSupport && node->CheckType != ctNone) {
            info.CheckImage.Index = tree.GetCheckImage(node);
            info.CheckImage.Position = TPoint(x, 0);
            x += tree.FCheckImages->Width() + 2;
        }
        place(info.StateImage, TVTImageKind::ikState, tree.FStateImages);
    }
    place(info.NormalImage, TVTImageKind::ikNormal, tree.FImages);
    const int lineY =
        tree.NodeLineOffset(node, info.NormalImage.Index >= 0, info.StateImage.Index >= 0);
    auto centre = [&](TVTImageInfo& image, TCustomImageList* images) {
        if (image.Index < 0) return;
        const int imageHeight = images->Height();
        image.Position.Y =
            std::clamp(lineY - imageHeight / 2, 0, std::max(0, height - imageHeight));
    };
    centre(info.CheckImage, tree.FCheckImages);
    centre(info.StateImage, tree.FStateImages);
    centre(info.NormalImage, tree.FImages);
    info.ContentRect = TRect(x, 0, info.CellRect.Right - (c >= 0 ? tree.FMargin : 0), height);
    info.NodeWidth = tree.DoGetNodeWidth(node, c);
    // The node width holds the text margins already.
    if (c == NoColumn) tree.FScroller.WidenRangeX(x + info.NodeWidth);

    // Right-to-left cells are laid out as above and then mirrored within the cell: the
    // indentation and images hang from the right edge, the label's alignment swaps sides.
    const bool mirrored = info.BidiMode == bdRightToLeft;
    const int mirrorSum = info.CellRect.Left + info.CellRect.Right;
    if (mirrored) {
        auto mirror = [&](TVTImageInfo& image, TCustomImageList* images) {
            if (image.Index >= 0) image.Position.X = mirrorSum - image.Position.X - images->Width();
        };
        mirror(info.CheckImage, tree.FCheckImages);
        mirror(info.StateImage, tree.FStateImages);
        mirror(info.NormalImage, tree.FImages);
        info.ContentRect =
            TRect(mirrorSum - info.ContentRect.Right, 0, mirrorSum - info.ContentRect.Left, height);
        if (info.Alignment == taLeftJustify)
            info.Alignment = taRightJustify;
        else if (info.Alignment == taRightJustify)
            info.Alignment = taLeftJustify;
    }
    const bool lines = isMain && pass.Paint.Contains(toShowTreeLines);
    const bool button = isMain && pass.Paint.Contains(toShowButtons) && indentSize > 0 &&
                        (Has(node, nsHasChildren) || node->ChildCount > 0);
    if (lines || button) {
        const int indentWidth = tree.IndentWidth(indentSize);
        auto paintIndent = [&](const TVTPaintInfo& where) {
            if (lines) tree.PaintTreeLines(where, lineY, indentSize, pass.LineImage);
            if (button) {
                const int bx = where.CellRect.Left + tree.IndentWidth(indentSize - 1) +
                               (indent - TButtonGlyph::Size) / 2;
                tree.PaintNodeButton(where.Canvas, node, where.CellRect, bx,
                                     lineY - TButtonGlyph::Size / 2);
            }
        };
        if (!mirrored || indentWidth <= 0)
            paintIndent(info);
        else
            PaintMirrored(pass, info.CellRect.Right - indentWidth, indentWidth, height,
                          [&](TCanvas* strip) {
                              TVTPaintInfo where = info;
                              where.Canvas = strip;
                              where.CellRect = TRect(0, 0, info.CellRect.Width(), height);
                              paintIndent(where);
                          });
    }
    if (pass.Options & poGridLines) PaintGridLines(pass, info, height);
    PaintLabelHighlight(pass, row, info);
    if (info.CheckImage.Index >= 0) tree.PaintCheckImage(info);
    if (info.StateImage.Index >= 0) tree.PaintImage(info, info.StateImage, tree.FStateImages);
    if (info.NormalImage.Index >= 0) tree.PaintImage(info, info.NormalImage, tree.FImages);
    canvas->Font()->Assign(tree.Font());
    if (row.Selected && (pass.Focused || row.DropTarget) &&
        (pass.Selection.Contains(toFullRowSelect) || c == FocusedCell(pass)))
        canvas->Font()->SetColor(clHighlightText);
    tree.DoPaintNode(info);
    if (tree.OnAfterCellPaint) tree.OnAfterCellPaint(&tree, canvas, node, c, info.CellRect);
}

// Paint draws left to right onto a strip that shows the row's pixels from Left to Left + Width
// (tree coordinates) mirrored; the strip is then copied back mirrored.
void TVTPainter::PaintMirrored(TPass& pass, int left, int width, int height,
                               const std::function<void(TCanvas*)>& paint) {
    TBitmap strip(width, height, pf32bit);
    TBitmap& row = *pass.RowBitmap;
    const int rowLeft = left - pass.Window.Left; // strip column 0 in row bitmap pixels
    auto swap = [&](bool intoStrip) {
        for (int y = 0; y < height; ++y) {
            auto* s = reinterpret_cast<uint32_t*>(strip.ScanLine(y));
            auto* r = reinterpret_cast<uint32_t*>(row.ScanLine(y));
            for (int i = 0; i < width; ++i) {
                const int rx = rowLeft + width - 1 - i;
                if (rx < 0 || rx >= row.Width()) continue;
                if (intoStrip)
                    s[i] = r[rx];
                else
                    r[rx] = s[i];
            }
        }
    };
    swap(true);
    paint(strip.Canvas());
    swap(false);
}

void TVTPainter::PaintGridLines(TPass& pass, const TVTPaintInfo& info, int height) {
    TCanvas* canvas = pass.Canvas;
    canvas->Pen()->SetColor(FTree.FColors->GridLineColor());
    canvas->Pen()->SetStyle(psSolid);
    if (pass.HorzGrid) {
        canvas->MoveTo(info.CellRect.Left, height - 1);
        canvas->LineTo(info.CellRect.Right, height - 1);
    }
    if (pass.VertGrid && info.Column >= 0) {
        canvas->MoveTo(info.CellRect.Right - 1, 0);
        canvas->LineTo(info.CellRect.Right - 1, height);
    }
}

// The column whose cells show the selection and the focus rectangle: the focused column when
// it is a valid, visible one, else the main column.
TColumnIndex TVTPainter::FocusedCell(const TPass& pass) const {
    const TColumnIndex focused = FTree.FFocusedColumn;
    if (std::find(pass.Cells.begin(), pass.Cells.end(), focused) != pass.Cells.end())
        return focused;
    return pass.MainColumn;
}

// R in the selection colours of the row (the drop target's, or the focused or unfocused pair),
// with the corners rounded by SelectionCurveRadius.
void TVTPainter::FillSelection(TPass& pass, const TRow& row, const TRect& r) {
    const TVTColors& colors = *FTree.FColors;
    TCanvas* canvas = pass.Canvas;
    canvas->Brush()->SetStyle(bsSolid);
    canvas->Brush()->SetColor(row.DropTarget ? colors.DropTargetColor() : pass.SelectionColor);
    canvas->Pen()->SetStyle(psSolid);
    canvas->Pen()->SetWidth(1);
    canvas->Pen()->SetColor(row.DropTarget ? colors.DropTargetBorderColor() : pass.SelectionBorder);
    const int radius = int(FTree.FSelectionCurveRadius);
    if (radius > 0)
        canvas->RoundRect(r.Left, r.Top, r.Right, r.Bottom, radius, radius);
    else
        canvas->Rectangle(r);
}

// Selection background and focus rectangle of one cell: around the label placed by the cell's
// alignment, or over the whole cell with grid extensions (and, for the selection, full-row
// selection).
void TVTPainter::PaintLabelHighlight(TPass& pass, const TRow& row, const TVTPaintInfo& info) {
    TBaseVirtualTree& tree = FTree;
    TCanvas* canvas = pass.Canvas;
    const bool fullRow = pass.Selection.Contains(toFullRowSelect);
    const bool gridExtensions = tree.FOptions->MiscOptions().Contains(toGridExtensions);
    const bool focusedCell = info.Column == FocusedCell(pass);
    if (!focusedCell && !fullRow) return;
    const int bottom = row.Height - ((pass.Options & poGridLines) && pass.HorzGrid ? 1 : 0);
    const TRect content = info.ContentRect;
    const int width = std::min(tree.LabelWidth(info.NodeWidth), std::max(0, content.Width()));
    int left = content.Left;
    if (info.Alignment == taRightJustify)
        left = content.Right - width;
    else if (info.Alignment == taCenter)
        left = content.Left + (content.Width() - width) / 2;
    const TRect labelRect(left, 0, left + width, bottom);
    const TRect cellRect(info.CellRect.Left, 0, info.CellRect.Right, bottom);
    if (row.Selected) FillSelection(pass, row, gridExtensions || fullRow ? cellRect : labelRect);
    if ((pass.Options & poFocusRect) && row.Node == tree.FFocusedNode && focusedCell) {
        const COLORREF oldText = SetTextColor(pass.DC, 0xFFFFFF);
        const COLORREF oldBack = SetBkColor(pass.DC, 0);
        canvas->DrawFocusRect(gridExtensions ? cellRect : labelRect);
        SetTextColor(pass.DC, oldText);
        SetBkColor(pass.DC, oldBack);
    }
}

// The space below the last row: the background event's, else the background picture or the
// tree's colour with the columns' colours.
void TVTPainter::PaintBelowRows(TPass& pass, int top) {
    TBaseVirtualTree& tree = FTree;
    const TRect& window = pass.Window;
    const int width = window.Width();
    const TPoint at = pass.TargetPoint;
    TRect rest(at.X, at.Y + top, at.X + width, at.Y + window.Height());
    if (tree.DoPaintBackground(pass.Target, rest)) return;
    TBitmap fill(width, window.Height() - top, pf32bit);
    TCanvas* fc = fill.Canvas();
    const TRect all(0, 0, width, fill.Height());
    if (pass.Options & poBackground) {
        TileBackgroundShifted(fc, all, window.Left + tree.FOffsetX,
                              window.Top + top + tree.FOffsetY);
    } else {
        fc->Brush()->SetColor(tree.Color());
        fc->FillRect(all);
        if (pass.Options & poColumnColor) FillColumnColors(pass, fc, window.Left, fill.Height());
    }
    BitBlt(pass.Target->Handle(), rest.Left, rest.Top, rest.Width(), rest.Height(), fc->Handle(), 0,
           0, SRCCOPY);
}

} // namespace epc
