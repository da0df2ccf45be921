// Painting: RenderToCanvas draws any vertical window of the tree row by row into any canvas;
// the small painters draw check images, images, buttons, tree lines, grid lines, selection,
// focus and the drop mark. Also the header glue of the tree (class references, notifications).

#include <algorithm>

#include "components/tree/BaseVirtualTree.h"
#include "platform/core/ScopeGuard.h"

namespace epc {

using namespace tree_options;

namespace {

uint32_t PixelOf(TColor color) {
    COLORREF rgb = ColorToRGB(color);
    return 0xFF000000u | (uint32_t(GetRValue(rgb)) << 16) | (uint32_t(GetGValue(rgb)) << 8) |
           uint32_t(GetBValue(rgb));
}

bool Has(PVirtualNode node, TVirtualNodeState state) {
    return node->States.Contains(state);
}

} // namespace

// ---- Header glue ----------------------------------------------------------------------------

TVirtualTreeColumnClass TBaseVirtualTree::GetColumnClass() const {
    return [](TVirtualTreeColumns* collection) { return new TVirtualTreeColumn(collection); };
}

TVTHeaderClass TBaseVirtualTree::GetHeaderClass() const {
    return [](TBaseVirtualTree* owner) { return std::make_unique<TVTHeader>(owner); };
}

TColumnIndex TBaseVirtualTree::MainColumn() const {
    return FHeader ? FHeader->MainColumn() : NoColumn;
}

void TBaseVirtualTree::HeaderChanged(bool updateScrollBars) {
    if (Loading() || (FHeader && FHeader->Loading())) return;
    // Columns may have become narrower: the range is what they and the rows need now.
    FRangeXStale = true;
    if (updateScrollBars) UpdateScrollBars(false);
    RequestRepaint();
}

bool TBaseVirtualTree::DoHeaderDraw(TCanvas* canvas, TVirtualTreeColumn* column, const TRect& r,
                                    bool hover, bool pressed, bool dropMark) {
    if (!FHeader->Options().Contains(hoOwnerDraw) || !OnHeaderDraw) return false;
    OnHeaderDraw(FHeader.get(), canvas, column, r, hover, pressed, dropMark);
    return true;
}

void TBaseVirtualTree::DoColumnResize(TColumnIndex column) {
    if (OnColumnResize) OnColumnResize(FHeader.get(), column);
}

void TBaseVirtualTree::DoGetHeaderCursor(TCursor& cursor) {
    if (OnGetHeaderCursor) OnGetHeaderCursor(FHeader.get(), cursor);
}

void TBaseVirtualTree::DoHeaderClick(TColumnIndex column, TMouseButton button, TShiftState shift,
                                     int x, int y) {
    if (OnHeaderClick) OnHeaderClick(FHeader.get(), column, button, shift, x, y);
}

void TBaseVirtualTree::DoHeaderDblClick(TColumnIndex column, TMouseButton button, TShiftState shift,
                                        int x, int y) {
    if (OnHeaderDblClick) OnHeaderDblClick(FHeader.get(), column, button, shift, x, y);
}

bool TBaseVirtualTree::DoHeaderDragging(TColumnIndex column) {
    bool allowed = true;
    if (OnHeaderDragging) OnHeaderDragging(FHeader.get(), column, allowed);
    return allowed;
}

void TBaseVirtualTree::DoHeaderDragged(TColumnIndex column, int oldPosition) {
    if (OnHeaderDragged) OnHeaderDragged(FHeader.get(), column, oldPosition);
}

void TBaseVirtualTree::DoHeaderDraggedOut(TColumnIndex column, TPoint dropPosition) {
    if (OnHeaderDraggedOut) OnHeaderDraggedOut(FHeader.get(), column, dropPosition);
}

void TBaseVirtualTree::DoHeaderMouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    if (OnHeaderMouseDown) OnHeaderMouseDown(FHeader.get(), button, shift, x, y);
}

void TBaseVirtualTree::DoHeaderMouseMove(TShiftState shift, int x, int y) {
    if (OnHeaderMouseMove) OnHeaderMouseMove(FHeader.get(), shift, x, y);
}

void TBaseVirtualTree::DoHeaderMouseUp(TMouseButton button, TShiftState shift, int x, int y) {
    if (OnHeaderMouseUp) OnHeaderMouseUp(FHeader.get(), button, shift, x, y);
}

int TBaseVirtualTree::NodeContentLeft(PVirtualNode node, TColumnIndex column) {
    int left = FMargin;
    if (column != MainColumn() && column != NoColumn && FHeader->UseColumns()) return left;
    left += int(NodeLevel(node) + (FOptions->PaintOptions().Contains(toShowRoot) ? 1 : 0)) *
            int(FIndent);
    bool ghosted = false;
    if (FOptions->MiscOptions().Contains(toCheckSupport) && node->CheckType != ctNone &&
        FCheckImages)
        left += FCheckImages->Width() + 2;
    if (GetImageIndex(node, TVTImageKind::ikState, column, ghosted) >= 0)
        left += FStateImages->Width() + 2;
    if (GetImageIndex(node, TVTImageKind::ikNormal, column, ghosted) >= 0)
        left += FImages->Width() + 2;
    return left;
}

int TBaseVirtualTree::GetMaxColumnWidth(TColumnIndex column) {
    int widest = 0;
    for (PVirtualNode run = GetFirstVisible(); run; run = GetNextVisible(run))
        widest = std::max(widest,
                          NodeContentLeft(run, column) + LabelWidth(DoGetNodeWidth(run, column)));
    return widest;
}

// ---- Geometry -------------------------------------------------------------------------------

void TBaseVirtualTree::MeasureRangeX() {
    FRangeXStale = false;
    FRangeX = 0;
    // Node extents count without columns only; with them the columns' width is the range.
    if (FHeader->UseColumns() || !HandleAllocated()) return;
    int top = 0;
    for (PVirtualNode run = NodeAtPointEx(0, -FOffsetY, false, top);
         run && top < ClientHeight() - FOffsetY; run = GetNextVisible(run)) {
        FRangeX = std::max(FRangeX, NodeContentLeft(run, NoColumn) + DoGetNodeWidth(run, NoColumn));
        top += int(run->NodeHeight);
    }
}

int TBaseVirtualTree::RangeX() const {
    int range = FRangeX;
    if (FHeader && FHeader->UseColumns()) range = std::max(range, FHeader->Columns()->TotalWidth());
    return range;
}

int TBaseVirtualTree::RangeY() {
    FlushTotals();
    return int(FRoot->TotalHeight) - int(FRoot->NodeHeight);
}

TRect TBaseVirtualTree::TreeExtent() {
    return TRect(0, 0, std::max(ClientWidth(), RangeX()), std::max(ClientHeight(), RangeY()));
}

TRect TBaseVirtualTree::DisplayRect(PVirtualNode node, TColumnIndex column, bool textOnly,
                                    bool unclipped) {
    Assert(node != nullptr, "Node must not be nil.");
    Assert(node != FRoot.get(), "Node must not be the hidden root node.");
    if (!Has(node, nsInitialized)) InitNode(node);
    for (PVirtualNode run = node->Parent; run != FRoot.get(); run = run->Parent)
        if (!Has(run, nsVisible) || !Has(run, nsExpanded)) return TRect();
    if (!Has(node, nsVisible)) return TRect();
    const int top = NodeTop(node);
    TRect r(0, top, std::max(ClientWidth(), RangeX()), top + int(node->NodeHeight));
    const bool useColumns = FHeader->UseColumns() && FHeader->Columns()->IsValidColumn(column);
    if (!useColumns) {
        OffsetRect(r, FOffsetX, FOffsetY);
    } else {
        int left = 0, right = 0;
        FHeader->Columns()->GetColumnBounds(column, left, right);
        r.Left = left;
        r.Right = right - 1;
        OffsetRect(r, 0, FOffsetY);
    }
    if (!textOnly) return r;
    const bool main = column == MainColumn() || !useColumns;
    TAlignment alignment = taLeftJustify;
    bool rtl = UseRightToLeftAlignment();
    if (useColumns) {
        alignment = FHeader->Columns()->Items(column)->Alignment();
        rtl = FHeader->Columns()->Items(column)->BiDiMode() != bdLeftToRight;
    }
    const int indent = main ? NodeContentLeft(node, useColumns ? column : NoColumn) : FMargin;
    if (rtl)
        r.Right -= indent;
    else
        r.Left += indent;
    const int textWidth = DoGetNodeWidth(node, column);
    if (textWidth >= r.Width() && !unclipped) return r;
    if (unclipped && textWidth >= r.Width()) {
        if (rtl)
            r.Left = r.Right - textWidth;
        else
            r.Right = r.Left + textWidth;
        return r;
    }
    switch (rtl ? (alignment == taLeftJustify ? taRightJustify : alignment) : alignment) {
    case taLeftJustify:
        r.Right = r.Left + textWidth;
        break;
    case taRightJustify:
        r.Left = r.Right - textWidth;
        break;
    case taCenter:
        r.Left = (r.Left + r.Right - textWidth) / 2;
        r.Right = r.Left + textWidth;
        break;
    }
    return r;
}

void TBaseVirtualTree::InvalidateColumn(TColumnIndex column) {
    if (!HandleAllocated() || IsUpdating() || !FHeader->Columns()->IsValidColumn(column)) return;
    RequestRepaint();
}

void TBaseVirtualTree::SetDropTarget(PVirtualNode node, TVTDropMode mode) {
    FDropTargetNode = node;
    FDropMode = node ? mode : TVTDropMode::dmNowhere;
}

// ---- Painters -------------------------------------------------------------------------------

void TBaseVirtualTree::PaintCheckImage(const TVTPaintInfo& paintInfo) {
    if (!FCheckImages || paintInfo.CheckImage.Index < 0) return;
    FCheckImages->Draw(paintInfo.Canvas, paintInfo.CheckImage.Position.X,
                       paintInfo.CheckImage.Position.Y, paintInfo.CheckImage.Index,
                       !Has(paintInfo.Node, nsDisabled));
}

void TBaseVirtualTree::PaintImage(const TVTPaintInfo& paintInfo, const TVTImageInfo& image,
                                  TCustomImageList* images) {
    if (!images || image.Index < 0 || image.Index >= images->Count()) return;
    const bool ghost =
        image.Ghosted || (!Focused() && FOptions->PaintOptions().Contains(toGhostedIfUnfocused));
    if (!ghost) {
        images->Draw(paintInfo.Canvas, image.Position.X, image.Position.Y, image.Index);
        return;
    }
    // A ghosted image is blended half way into what lies under it.
    const int w = images->Width(), h = images->Height();
    TBitmap picture(w, h, pf32bit), under(w, h, pf32bit);
    HDC dc = paintInfo.Canvas->Handle();
    BitBlt(under.Canvas()->Handle(), 0, 0, w, h, dc, image.Position.X, image.Position.Y, SRCCOPY);
    BitBlt(picture.Canvas()->Handle(), 0, 0, w, h, dc, image.Position.X, image.Position.Y, SRCCOPY);
    images->Draw(picture.Canvas(), 0, 0, image.Index);
    AlphaBlend(picture.Canvas()->Handle(), under.Canvas()->Handle(), TRect(0, 0, w, h),
               TPoint(0, 0), TBlendMode::bmConstantAlpha, 128, 0);
    BitBlt(dc, image.Position.X, image.Position.Y, w, h, under.Canvas()->Handle(), 0, 0, SRCCOPY);
}

void TBaseVirtualTree::PaintNodeButton(TCanvas* canvas, PVirtualNode node, const TRect&,
                                       int buttonX, int buttonY) {
    const TButtonGlyph& glyph = Has(node, nsExpanded) ? FMinusGlyph : FPlusGlyph;
    const uint32_t transparent = PixelOf(clFuchsia);
    HDC dc = canvas->Handle();
    for (int y = 0; y < TButtonGlyph::Size; ++y)
        for (int x = 0; x < TButtonGlyph::Size; ++x) {
            const uint32_t p = glyph.Pixel(x, y);
            if (p == transparent) continue;
            SetPixel(dc, buttonX + x, buttonY + y,
                     RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF));
        }
}

void TBaseVirtualTree::DrawDottedHLine(const TVTPaintInfo& paintInfo, int left, int right,
                                       int top) {
    HDC dc = paintInfo.Canvas->Handle();
    const COLORREF color = ColorToRGB(FColors->TreeLineColor());
    const int py = (top - paintInfo.BrushOrigin.Y) & 7;
    for (int x = left; x < right; ++x)
        if (((FLinePattern[size_t(py)] >> (7 - ((x - paintInfo.BrushOrigin.X) & 7))) & 1) == 0)
            SetPixel(dc, x, top, color);
}

void TBaseVirtualTree::DrawDottedVLine(const TVTPaintInfo& paintInfo, int top, int bottom,
                                       int left) {
    HDC dc = paintInfo.Canvas->Handle();
    const COLORREF color = ColorToRGB(FColors->TreeLineColor());
    const int px = 7 - ((left - paintInfo.BrushOrigin.X) & 7);
    for (int y = top; y < bottom; ++y)
        if (((FLinePattern[size_t((y - paintInfo.BrushOrigin.Y) & 7)] >> px) & 1) == 0)
            SetPixel(dc, left, y, color);
}

void TBaseVirtualTree::PaintTreeLines(const TVTPaintInfo& paintInfo, int vAlignment, int indentSize,
                                      const std::vector<TVTLineType>& lineImage) {
    const int height = paintInfo.CellRect.Height();
    const int half = int(FIndent) / 2;
    int x = paintInfo.CellRect.Left;
    for (int i = 0; i < indentSize && size_t(i) < lineImage.size(); ++i, x += int(FIndent)) {
        const int cx = x + half;
        switch (lineImage[size_t(i)]) {
        case TVTLineType::ltTopDown:
            DrawDottedVLine(paintInfo, 0, height, cx);
            break;
        case TVTLineType::ltTopDownRight:
            DrawDottedVLine(paintInfo, 0, height, cx);
            DrawDottedHLine(paintInfo, cx, x + int(FIndent), vAlignment);
            break;
        case TVTLineType::ltRight:
            DrawDottedHLine(paintInfo, cx, x + int(FIndent), vAlignment);
            break;
        case TVTLineType::ltTopRight:
            DrawDottedVLine(paintInfo, 0, vAlignment, cx);
            DrawDottedHLine(paintInfo, cx, x + int(FIndent), vAlignment);
            break;
        case TVTLineType::ltBottomRight:
            DrawDottedVLine(paintInfo, vAlignment, height, cx);
            DrawDottedHLine(paintInfo, cx, x + int(FIndent), vAlignment);
            break;
        case TVTLineType::ltLeft:
            DrawDottedVLine(paintInfo, 0, height, x);
            break;
        case TVTLineType::ltLeftBottom:
            DrawDottedVLine(paintInfo, 0, height, x);
            DrawDottedHLine(paintInfo, x, x + int(FIndent), height - 1);
            break;
        case TVTLineType::ltNone:
            break;
        }
    }
}

void TBaseVirtualTree::PaintSelectionRectangle(TCanvas* canvas, int windowLeft,
                                               const TRect& selectionRect,
                                               const TRect& targetRect) {
    TRect r = OrderRect(selectionRect);
    OffsetRect(r, -windowLeft, 0);
    if (FDrawSelectionMode == TVTDrawSelectionMode::smDottedRectangle) {
        canvas->DrawFocusRect(r);
        return;
    }
    // The inside is blended toward the blend colour by the blend factor, then framed.
    const TRect inside(std::max(r.Left, targetRect.Left), std::max(r.Top, targetRect.Top),
                       std::min(r.Right, targetRect.Right), std::min(r.Bottom, targetRect.Bottom));
    if (inside.Right > inside.Left && inside.Bottom > inside.Top) {
        const int w = inside.Width(), h = inside.Height();
        TBitmap work(w, h, pf32bit);
        HDC dc = canvas->Handle();
        BitBlt(work.Canvas()->Handle(), 0, 0, w, h, dc, inside.Left, inside.Top, SRCCOPY);
        const uint32_t color = PixelOf(FColors->SelectionRectangleBlendColor());
        for (int y = 0; y < h; ++y)
            AlphaBlendLineMasterAndColor(reinterpret_cast<uint32_t*>(work.ScanLine(y)), w,
                                         FSelectionBlendFactor, color);
        BitBlt(dc, inside.Left, inside.Top, w, h, work.Canvas()->Handle(), 0, 0, SRCCOPY);
    }
    canvas->Brush()->SetColor(FColors->SelectionRectangleBorderColor());
    canvas->FrameRect(r);
}

void TBaseVirtualTree::DoPaintNode(TVTPaintInfo&) {}

void TBaseVirtualTree::DoPaintDropMark(TCanvas* canvas, PVirtualNode, const TRect& r) {
    if (FDropMode != TVTDropMode::dmAbove && FDropMode != TVTDropMode::dmBelow) return;
    const TPenStyle oldStyle = canvas->Pen()->Style();
    const TColor oldColor = canvas->Brush()->Color();
    canvas->Pen()->SetStyle(psClear);
    canvas->Brush()->SetColor(FColors->DropMarkColor());
    const int l = r.Left, t = r.Top, rr = r.Right, b = r.Bottom;
    if (FDropMode == TVTDropMode::dmBelow)
        canvas->Polygon({{l + 2, b - 1},
                         {rr - 2, b - 1},
                         {rr - 2, b - 8},
                         {rr - 7, b - 3},
                         {l + 7, b - 3},
                         {l + 2, b - 8}});
    else
        canvas->Polygon({{l + 2, t},
                         {rr - 2, t},
                         {rr - 2, t + 6},
                         {rr - 6, t + 2},
                         {l + 6, t + 2},
                         {l + 2, t + 6}});
    canvas->Pen()->SetStyle(oldStyle);
    canvas->Brush()->SetColor(oldColor);
}

void TBaseVirtualTree::Paint() {
    TCanvas* canvas = Canvas();
    TRect update = canvas->ClipRect();
    const TRect client(0, 0, ClientWidth(), ClientHeight());
    if (update.IsEmpty()) update = client;
    update.Left = std::max(update.Left, 0);
    update.Top = std::max(update.Top, 0);
    update.Right = std::min(update.Right, client.Right);
    update.Bottom = std::min(update.Bottom, client.Bottom);
    if (update.IsEmpty()) return;
    TRect window = update;
    OffsetRect(window, -FOffsetX, -FOffsetY);
    RenderToCanvas(canvas, window, TPoint(update.Left, update.Top), DefaultRenderOptions);
}

// ---- RenderToCanvas -------------------------------------------------------------------------

void TBaseVirtualTree::RenderToCanvas(TCanvas* target, TRect window, TPoint targetPoint,
                                      uint8_t paintOptions) {
    FLastPaintedRows = 0;
    if (!target || window.Right <= window.Left || window.Bottom <= window.Top) return;
    DoStateChange({TVirtualTreeState::tsPainting});
    auto leave = Finally([this] { DoStateChange({}, {TVirtualTreeState::tsPainting}); });
    FlushTotals();

    const auto paint = FOptions->PaintOptions();
    const auto misc = FOptions->MiscOptions();
    const auto selection = FOptions->SelectionOptions();
    if (!paint.Contains(toShowBackground) || FBackground->Width() <= 0)
        paintOptions &= uint8_t(~poBackground);
    if (paint.Contains(toHideFocusRect)) paintOptions &= uint8_t(~poFocusRect);
    const bool focused = Focused();
    if (!focused && paint.Contains(toHideSelection)) paintOptions &= uint8_t(~poSelection);
    if (!paint.Contains(toShowDropmark)) paintOptions &= uint8_t(~poDropMark);
    const bool horzGrid = paint.Contains(toShowHorzGridLines);
    const bool vertGrid = paint.Contains(toShowVertGridLines);
    if (!horzGrid && !vertGrid) paintOptions &= uint8_t(~poGridLines);

    const int windowWidth = window.Width();
    TBitmap row(windowWidth, 1, pf32bit);
    TCanvas* canvas = row.Canvas();
    canvas->Font()->Assign(Font());
    HDC dc = canvas->Handle();
    // The row bitmap is addressed in tree coordinates horizontally.
    SetWindowOrgEx(dc, window.Left, 0, nullptr);

    TVirtualTreeColumns* columns = FHeader->Columns();
    std::vector<TColumnIndex> cells;
    if (FHeader->UseColumns()) {
        for (TColumnIndex c : columns->GetVisibleColumns())
            if (!(paintOptions & poMainColumnOnly) || c == MainColumn()) cells.push_back(c);
    } else {
        cells.push_back(NoColumn);
    }
    const TColumnIndex mainColumn = MainColumn();
    const bool checkSupport = misc.Contains(toCheckSupport) && FCheckImages;
    const int fullRight = std::max({window.Right, ClientWidth(), RangeX()});
    const TColor selectionColor =
        focused ? FColors->FocusedSelectionColor() : FColors->UnfocusedSelectionColor();
    const TColor selectionBorder =
        focused ? FColors->FocusedSelectionBorderColor() : FColors->UnfocusedSelectionBorderColor();
    std::vector<TVTLineType> lineImage;

    int nodeTop = 0;
    PVirtualNode node = NodeAtPointEx(0, window.Top, false, nodeTop);
    int y = nodeTop - window.Top; // row offset within the window (first row may start above)
    while (node && nodeTop < window.Bottom) {
        if (!Has(node, nsInitialized)) InitNode(node);
        const int height = int(node->NodeHeight);
        if ((paintOptions & poSelectedOnly) && !Has(node, nsSelected)) {
            nodeTop += height;
            y += height;
            node = GetNextVisibleNoInit(node);
            continue;
        }
        if (height > 0) {
            if (row.Height() != height) {
                row.SetSize(windowWidth, height);
                dc = canvas->Handle();
                SetWindowOrgEx(dc, window.Left, 0, nullptr);
            }
            const TPoint brushOrigin(0, nodeTop);
            SetBrushOrgEx(dc, -window.Left, -(nodeTop & 7), nullptr);
            const TRect itemRect(window.Left, 0, window.Right, height);
            bool customDraw = false;
            if (OnBeforeItemPaint) OnBeforeItemPaint(this, canvas, node, itemRect, customDraw);
            if (!customDraw) {
                // Erase the row.
                TColor eraseColor = Color();
                TItemEraseAction action = TItemEraseAction::eaDefault;
                if (OnBeforeItemErase)
                    OnBeforeItemErase(this, canvas, node, itemRect, eraseColor, action);
                if (action == TItemEraseAction::eaColor ||
                    (action == TItemEraseAction::eaDefault &&
                     !(paintOptions & (poBackground | poColumnColor)))) {
                    canvas->Brush()->SetColor(eraseColor);
                    canvas->FillRect(itemRect);
                } else if (action == TItemEraseAction::eaDefault && (paintOptions & poBackground)) {
                    TBitmap tiles(windowWidth, height, pf32bit);
                    // Tiles follow the tree position of the row.
                    const int savedY = FBackgroundOffsetY, savedX = FBackgroundOffsetX;
                    FBackgroundOffsetY = savedY + nodeTop + FOffsetY;
                    FBackgroundOffsetX = savedX + window.Left + FOffsetX;
                    TileBackground(tiles.Canvas(), TRect(0, 0, windowWidth, height));
                    FBackgroundOffsetY = savedY;
                    FBackgroundOffsetX = savedX;
                    BitBlt(dc, window.Left, 0, windowWidth, height, tiles.Canvas()->Handle(), 0, 0,
                           SRCCOPY);
                } else if (action == TItemEraseAction::eaDefault) {
                    canvas->Brush()->SetColor(Color());
                    canvas->FillRect(itemRect);
                    for (TColumnIndex c : cells) {
                        if (c < 0) continue;
                        TVirtualTreeColumn* column = columns->Items(c);
                        canvas->Brush()->SetColor(column->Color());
                        canvas->FillRect(
                            TRect(column->Left(), 0, column->Left() + column->Width(), height));
                    }
                }
                if (OnAfterItemErase) OnAfterItemErase(this, canvas, node, itemRect);

                // The drop target takes its own colours when the drop goes onto it (or it is
                // selected anyway); the focused node is highlighted like a selected one, so that
                // a node painter can rely on a highlight behind the focused node's text.
                const bool dropTarget =
                    (paintOptions & poSelection) && node == FDropTargetNode &&
                    (FDropMode == TVTDropMode::dmOnNode || Has(node, nsSelected));
                const bool selected = (paintOptions & poSelection) &&
                                      (dropTarget || Has(node, nsSelected) || node == FFocusedNode);
                bool lineImageReady = false;
                for (TColumnIndex c : cells) {
                    TVTPaintInfo info;
                    info.Canvas = canvas;
                    info.PaintOptions = paintOptions;
                    info.Node = node;
                    info.Column = c;
                    info.BrushOrigin = TPoint(0, nodeTop);
                    if (c >= 0) {
                        TVirtualTreeColumn* column = columns->Items(c);
                        if (column->Left() >= window.Right) continue;
                        info.Position = int(column->Position());
                        info.CellRect =
                            TRect(column->Left(), 0, column->Left() + column->Width(), height);
                        info.Alignment = column->Alignment();
                        info.BidiMode = column->BiDiMode();
                    } else {
                        info.CellRect = TRect(0, 0, fullRight, height);
                        info.BidiMode = BiDiMode();
                    }
                    if (info.CellRect.Right <= window.Left) continue;
                    if (OnBeforeCellPaint) OnBeforeCellPaint(this, canvas, node, c, info.CellRect);
                    const bool isMain = c == mainColumn || c == NoColumn;
                    int x = info.CellRect.Left;
                    int indentSize = 0;
                    if (isMain) {
                        if (!lineImageReady) {
                            DetermineLineImageAndSelectLevel(node, lineImage);
                            lineImageReady = true;
                        }
                        indentSize = int(lineImage.size());
                        x += indentSize * int(FIndent);
                    }
                    x += FMargin;
                    bool ghosted = false;
                    if (isMain) {
                        if (checkSupport && node->CheckType != ctNone) {
                            info.CheckImage.Index = GetCheckImage(node);
                            info.CheckImage.Position = TPoint(x, 0);
                            x += FCheckImages->Width() + 2;
                        }
                        info.StateImage.Index =
                            GetImageIndex(node, TVTImageKind::ikState, c, ghosted);
                        info.StateImage.Ghosted = ghosted;
                        if (info.StateImage.Index >= 0) {
                            info.StateImage.Position = TPoint(x, 0);
                            x += FStateImages->Width() + 2;
                        }
                    }
                    ghosted = false;
                    info.NormalImage.Index =
                        GetImageIndex(node, TVTImageKind::ikNormal, c, ghosted);
                    info.NormalImage.Ghosted = ghosted;
                    if (info.NormalImage.Index >= 0) {
                        info.NormalImage.Position = TPoint(x, 0);
                        x += FImages->Width() + 2;
                    }
                    const int lineY = NodeLineOffset(node, info.NormalImage.Index >= 0,
                                                     info.StateImage.Index >= 0);
                    auto centre = [&](TVTImageInfo& image, int imageHeight) {
                        image.Position.Y = std::clamp(lineY - imageHeight / 2, 0,
                                                      std::max(0, height - imageHeight));
                    };
                    if (info.CheckImage.Index >= 0) centre(info.CheckImage, FCheckImages->Height());
                    if (info.StateImage.Index >= 0) centre(info.StateImage, FStateImages->Height());
                    if (info.NormalImage.Index >= 0) centre(info.NormalImage, FImages->Height());
                    info.ContentRect =
                        TRect(x, 0, info.CellRect.Right - (c >= 0 ? FMargin : 0), height);
                    info.NodeWidth = DoGetNodeWidth(node, c);
                    // The node width holds the text margins already.
                    if (c == NoColumn) FRangeX = std::max(FRangeX, x + info.NodeWidth);

                    if (isMain && paint.Contains(toShowTreeLines))
                        PaintTreeLines(info, lineY, indentSize, lineImage);
                    if (isMain && paint.Contains(toShowButtons) && indentSize > 0 &&
                        (Has(node, nsHasChildren) || node->ChildCount > 0)) {
                        const int bx = info.CellRect.Left + (indentSize - 1) * int(FIndent) +
                                       (int(FIndent) - TButtonGlyph::Size) / 2;
                        PaintNodeButton(canvas, node, info.CellRect, bx,
                                        lineY - TButtonGlyph::Size / 2);
                    }
                    if (paintOptions & poGridLines) {
                        canvas->Pen()->SetColor(FColors->GridLineColor());
                        canvas->Pen()->SetStyle(psSolid);
                        if (horzGrid) {
                            canvas->MoveTo(info.CellRect.Left, height - 1);
                            canvas->LineTo(info.CellRect.Right, height - 1);
                        }
                        if (vertGrid && c >= 0) {
                            canvas->MoveTo(info.CellRect.Right - 1, 0);
                            canvas->LineTo(info.CellRect.Right - 1, height);
                        }
                    }
                    // Selection background and focus rectangle around the label (or the whole
                    // cell with full-row selection).
                    TRect labelRect(info.ContentRect.Left, 0,
                                    std::min(info.ContentRect.Left + LabelWidth(info.NodeWidth),
                                             info.CellRect.Right),
                                    height - ((paintOptions & poGridLines) && horzGrid ? 1 : 0));
                    if (selection.Contains(toFullRowSelect))
                        labelRect =
                            TRect(info.CellRect.Left, 0, info.CellRect.Right, labelRect.Bottom);
                    if (selected && (isMain || selection.Contains(toFullRowSelect))) {
                        canvas->Brush()->SetColor(dropTarget ? FColors->DropTargetColor()
                                                             : selectionColor);
                        canvas->FillRect(labelRect);
                        canvas->Brush()->SetColor(dropTarget ? FColors->DropTargetBorderColor()
                                                             : selectionBorder);
                        canvas->FrameRect(labelRect);
                    }
                    if ((paintOptions & poFocusRect) && node == FFocusedNode &&
                        (c == FFocusedColumn || (isMain && FFocusedColumn < 0)) && isMain) {
                        SetTextColor(dc, 0);
                        SetBkColor(dc, 0xFFFFFF);
                        canvas->DrawFocusRect(labelRect);
                    }
                    if (info.CheckImage.Index >= 0) PaintCheckImage(info);
                    if (info.StateImage.Index >= 0) PaintImage(info, info.StateImage, FStateImages);
                    if (info.NormalImage.Index >= 0) PaintImage(info, info.NormalImage, FImages);
                    canvas->Font()->Assign(Font());
                    if (selected && isMain && (focused || dropTarget))
                        canvas->Font()->SetColor(clHighlightText);
                    DoPaintNode(info);
                    if (OnAfterCellPaint) OnAfterCellPaint(this, canvas, node, c, info.CellRect);
                }
                if ((paintOptions & poDropMark) && node == FDropTargetNode)
                    DoPaintDropMark(canvas, node, TRect(window.Left, 0, window.Right, height));
                if (!FSelectRect.IsEmpty()) {
                    TRect sel = FSelectRect;
                    OffsetRect(sel, 0, -nodeTop);
                    PaintSelectionRectangle(canvas, 0, sel, itemRect);
                }
            }
            if (OnAfterItemPaint) OnAfterItemPaint(this, canvas, node, itemRect);
            BitBlt(target->Handle(), targetPoint.X, targetPoint.Y + y, windowWidth, height, dc,
                   window.Left, 0, SRCCOPY);
            ++FLastPaintedRows;
        }
        nodeTop += height;
        y += height;
        node = GetNextVisibleNoInit(node);
    }

    // The space below the last row.
    if (y < window.Height()) {
        const int top = std::max(0, y);
        TRect rest(targetPoint.X, targetPoint.Y + top, targetPoint.X + windowWidth,
                   targetPoint.Y + window.Height());
        if (!DoPaintBackground(target, rest)) {
            TBitmap fill(windowWidth, window.Height() - top, pf32bit);
            TCanvas* fc = fill.Canvas();
            const TRect all(0, 0, windowWidth, fill.Height());
            if (paintOptions & poBackground) {
                const int savedY = FBackgroundOffsetY, savedX = FBackgroundOffsetX;
                FBackgroundOffsetY = savedY + window.Top + top + FOffsetY;
                FBackgroundOffsetX = savedX + window.Left + FOffsetX;
                TileBackground(fc, all);
                FBackgroundOffsetY = savedY;
                FBackgroundOffsetX = savedX;
            } else {
                fc->Brush()->SetColor(Color());
                fc->FillRect(all);
                if (paintOptions & poColumnColor)
                    for (TColumnIndex c : cells) {
                        if (c < 0) continue;
                        TVirtualTreeColumn* column = columns->Items(c);
                        fc->Brush()->SetColor(column->Color());
                        fc->FillRect(TRect(column->Left() - window.Left, 0,
                                           column->Left() + column->Width() - window.Left,
                                           fill.Height()));
                    }
            }
            BitBlt(target->Handle(), rest.Left, rest.Top, rest.Width(), rest.Height(), fc->Handle(),
                   0, 0, SRCCOPY);
        }
    }
}

} // namespace epc
