// Painting: RenderToCanvas draws any vertical window of the tree row by row into any canvas;
// the small painters draw check images, images, buttons, tree lines, grid lines, selection,
// focus and the drop mark. Also the header glue of the tree (class references, notifications).

#include <algorithm>
#include <climits>
#include <cstdint>

#include "components/tree/BaseVirtualTree.h"

namespace epc {

using namespace tree_options;

namespace {

uint32_t PixelOf(TColor color) {
    COLORREF rgb = ColorToRGB(color);
    return 0xFF000000u | (uint32_t(GetRValue(rgb)) << 16) | (uint32_t(GetGValue(rgb)) << 8) |
           uint32_t(GetBValue(rgb));
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
    FScroller.InvalidateRangeX();
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

void TBaseVirtualTree::DoColumnClick(TColumnIndex column, TShiftState shift) {
    if (OnColumnClick) OnColumnClick(this, column, shift);
}

void TBaseVirtualTree::DoColumnDblClick(TColumnIndex column, TShiftState shift) {
    if (OnColumnDblClick) OnColumnDblClick(this, column, shift);
}

void TBaseVirtualTree::DoBeforePaint(TCanvas* canvas) {
    if (OnBeforePaint) OnBeforePaint(this, canvas);
}

void TBaseVirtualTree::DoAfterPaint(TCanvas* canvas) {
    if (OnAfterPaint) OnAfterPaint(this, canvas);
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
    left += IndentWidth(int64_t(NodeLevel(node)) +
                        (FOptions->PaintOptions().Contains(toShowRoot) ? 1 : 0));
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
    for (PVirtualNode run = FirstVisibleNode(); run; run = NextVisibleNode(run))
        widest = std::max(widest,
                          NodeContentLeft(run, column) + LabelWidth(DoGetNodeWidth(run, column)));
    return widest;
}

// ---- Geometry -------------------------------------------------------------------------------

int TBaseVirtualTree::RangeX() const {
    return FScroller.RangeX();
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
        // Columns lie in tree coordinates: scrolled sideways, the cell moves along in the
        // client area, as it is painted and hit.
        OffsetRect(r, FOffsetX, FOffsetY);
    }
    if (!textOnly) return r;
    const bool main = column == MainColumn() || !useColumns;
    // Without columns the labels sit as the tree's Alignment says, as they are painted.
    TAlignment alignment = FAlignment;
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
    // Right-to-left reading swaps the sides, as painting does.
    if (rtl && alignment != taCenter)
        alignment = alignment == taLeftJustify ? taRightJustify : taLeftJustify;
    switch (alignment) {
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

namespace {

// What a line painter may touch of its canvas; nothing when that cannot be told.
TRect PaintedBox(HDC dc) {
    RECT box{};
    if (GetClipBox(dc, &box) == ERROR_REGION) return TRect();
    return box;
}

// Positions worked out from the indent (a stored value, which may be huge): one beyond what
// coordinates reach lies beyond every picture too.
int PaintCoordinate(int64_t value) {
    return int(std::clamp<int64_t>(value, INT_MIN, INT_MAX));
}

} // namespace

void TBaseVirtualTree::DrawDottedHLine(const TVTPaintInfo& paintInfo, int left, int right,
                                       int top) {
    HDC dc = paintInfo.Canvas->Handle();
    // Only what the canvas shows is set, pixel by pixel, however long the line.
    const TRect box = PaintedBox(dc);
    if (top < box.Top || top >= box.Bottom) return;
    left = std::max(left, box.Left);
    right = std::min(right, box.Right);
    const COLORREF color = ColorToRGB(FColors->TreeLineColor());
    const int py = (top - paintInfo.BrushOrigin.Y) & 7;
    for (int x = left; x < right; ++x)
        if (((FLinePattern[size_t(py)] >> (7 - ((x - paintInfo.BrushOrigin.X) & 7))) & 1) == 0)
            SetPixel(dc, x, top, color);
}

void TBaseVirtualTree::DrawDottedVLine(const TVTPaintInfo& paintInfo, int top, int bottom,
                                       int left) {
    HDC dc = paintInfo.Canvas->Handle();
    const TRect box = PaintedBox(dc);
    if (left < box.Left || left >= box.Right) return;
    top = std::max(top, box.Top);
    bottom = std::min(bottom, box.Bottom);
    const COLORREF color = ColorToRGB(FColors->TreeLineColor());
    const int px = 7 - ((left - paintInfo.BrushOrigin.X) & 7);
    for (int y = top; y < bottom; ++y)
        if (((FLinePattern[size_t((y - paintInfo.BrushOrigin.Y) & 7)] >> px) & 1) == 0)
            SetPixel(dc, left, y, color);
}

void TBaseVirtualTree::PaintTreeLines(const TVTPaintInfo& paintInfo, int vAlignment, int indentSize,
                                      const std::vector<TVTLineType>& lineImage) {
    const int height = paintInfo.CellRect.Height();
    const int64_t indent = FIndent;
    const int64_t half = indent / 2;
    int64_t level = paintInfo.CellRect.Left;
    for (int i = 0; i < indentSize && size_t(i) < lineImage.size(); ++i, level += indent) {
        const int x = PaintCoordinate(level);
        const int cx = PaintCoordinate(level + half);
        const int end = PaintCoordinate(level + indent);
        switch (lineImage[size_t(i)]) {
        case TVTLineType::ltTopDown:
            DrawDottedVLine(paintInfo, 0, height, cx);
            break;
        case TVTLineType::ltTopDownRight:
            DrawDottedVLine(paintInfo, 0, height, cx);
            DrawDottedHLine(paintInfo, cx, end, vAlignment);
            break;
        case TVTLineType::ltRight:
            DrawDottedHLine(paintInfo, cx, end, vAlignment);
            break;
        case TVTLineType::ltTopRight:
            DrawDottedVLine(paintInfo, 0, vAlignment, cx);
            DrawDottedHLine(paintInfo, cx, end, vAlignment);
            break;
        case TVTLineType::ltBottomRight:
            DrawDottedVLine(paintInfo, vAlignment, height, cx);
            DrawDottedHLine(paintInfo, cx, end, vAlignment);
            break;
        case TVTLineType::ltLeft:
            DrawDottedVLine(paintInfo, 0, height, x);
            break;
        case TVTLineType::ltLeftBottom:
            DrawDottedVLine(paintInfo, 0, height, x);
            DrawDottedHLine(paintInfo, x, end, height - 1);
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
    DoBeforePaint(canvas);
    RenderToCanvas(canvas, window, TPoint(update.Left, update.Top), DefaultRenderOptions);
    DoAfterPaint(canvas);
}

void TBaseVirtualTree::RenderToCanvas(TCanvas* target, TRect window, TPoint targetPoint,
                                      uint8_t paintOptions) {
    FPainter.RenderToCanvas(target, window, targetPoint, paintOptions);
}

} // namespace epc
