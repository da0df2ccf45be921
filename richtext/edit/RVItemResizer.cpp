// The item resizer: handle placement and hit testing, the drag rectangle and its adjustment.

#include "richtext/edit/RVItemResizer.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "platform/graphics/Graphics.h"

namespace epc {

namespace {

constexpr int kHandleCount = 8;
constexpr int kHandleShift = 3;
// The smallest drag rectangle, so that a size never reaches 0 or turns inside out.
constexpr int kMinDragSize = 2;

// The outward direction of each handle across the item's border.
constexpr int kOutX[kHandleCount] = {-1, 1, 1, -1, 0, 1, 0, -1};
constexpr int kOutY[kHandleCount] = {-1, -1, 1, 1, -1, 0, 1, 0};

// Handles outside 0..7 count as the last one (the left side).
int ValidHandle(int handle) {
    return handle >= 0 && handle < kHandleCount ? handle : kHandleCount - 1;
}

struct TMovedEdges {
    bool Left, Top, Right, Bottom;
};

TMovedEdges EdgesOf(int handle) {
    const int h = ValidHandle(handle);
    TMovedEdges edges{};
    edges.Left = kOutX[h] < 0;
    edges.Right = kOutX[h] > 0;
    edges.Top = kOutY[h] < 0;
    edges.Bottom = kOutY[h] > 0;
    return edges;
}

// Where a handle sits along one axis of Size, by its outward direction.
int AnchorAlong(int out, int size) {
    return out < 0 ? 0 : out > 0 ? size : size / 2;
}

// One axis of the drag rectangle: the moved edge (Low or High) stays kMinDragSize from the other.
void KeepApart(bool lowMoves, bool highMoves, int& low, int& high) {
    if (lowMoves && low > high - kMinDragSize) low = high - kMinDragSize;
    if (highMoves && high < low + kMinDragSize) high = low + kMinDragSize;
}

// One axis: the edge opposite the moved one mirrors it about the middle of 0..Size.
void Mirror(bool lowMoves, bool highMoves, int size, int& low, int& high) {
    if (lowMoves) {
        low = std::min(low, (size - kMinDragSize) / 2);
        high = size - low;
    } else if (highMoves) {
        high = std::max(high, size - (size - kMinDragSize) / 2);
        low = size - high;
    }
}

// Grows (or shrinks) one axis by Delta: at the moved edge, or half on each side.
void ApplyDelta(int delta, bool symmetric, bool lowMoves, int& low, int& high) {
    if (symmetric) {
        low -= delta / 2;
        high += delta - delta / 2;
    } else if (lowMoves) {
        low -= delta;
    } else {
        high += delta;
    }
}

} // namespace

TRVItemResizer::TRVItemResizer(TRVDrawLineInfo* drawItem, TCustomRVItemInfo* item, int itemNo,
                               uint8_t mode)
    : Width(drawItem->Width), Height(drawItem->Height), FDrawItem(drawItem), FItem(item),
      FItemNo(itemNo), FMode(mode) {}

TPoint TRVItemResizer::HandleAnchor(int handle) const {
    const int h = ValidHandle(handle);
    return {AnchorAlong(kOutX[h], Width), AnchorAlong(kOutY[h], Height)};
}

TPoint TRVItemResizer::HandlePos(int handle) const {
    TPoint p = HandleAnchor(handle);
    p.X += FDrawItem->Left;
    p.Y += FDrawItem->Top;
    if (FMode == 0 || FMode == 1) {
        const int shift = FMode == 0 ? kHandleShift : -kHandleShift;
        p.X += kOutX[handle] * shift;
        p.Y += kOutY[handle] * shift;
    }
    return p;
}

void TRVItemResizer::DrawHandles(TCanvas* canvas, int scrollX, int scrollY) const {
    TPen* pen = canvas->Pen();
    pen->SetWidth(1);
    pen->SetColor(clBlack);
    pen->SetStyle(psSolid);
    canvas->Brush()->SetStyle(bsClear);
    for (int h = 0; h < kHandleCount; ++h) {
        const TPoint p = HandlePos(h);
        const int x = p.X - scrollX, y = p.Y - scrollY;
        pen->SetMode(pmCopy);
        canvas->Rectangle(x - 3, y - 3, x + 3, y + 3);
        pen->SetMode(pmNot);
        canvas->Rectangle(x - 2, y - 2, x + 2, y + 2);
        canvas->Rectangle(x - 1, y - 1, x + 1, y + 1);
    }
    pen->SetMode(pmCopy);
}

int TRVItemResizer::GetHandleAt(int x, int y) const {
    for (int h = 0; h < kHandleCount; ++h) {
        const TPoint p = HandlePos(h);
        if (std::abs(x - p.X) <= GrabDistance && std::abs(y - p.Y) <= GrabDistance) return h;
    }
    return rvrhNone;
}

TCursor TRVItemResizer::GetCursor(int handle) {
    switch (handle) {
    case 0:
    case 2:
        return crSizeNWSE;
    case 1:
    case 3:
        return crSizeNESW;
    case 4:
    case 6:
        return crSizeNS;
    default:
        return crSizeWE;
    }
}

bool TRVItemResizer::MouseDown(int x, int y) {
    const int handle = GetHandleAt(x, y);
    if (handle == rvrhNone) return false;
    FDragging = true;
    FCancelled = false;
    FHandle = handle;
    const TPoint anchor = HandleAnchor(handle);
    FGrabX = x - (FDrawItem->Left + anchor.X);
    FGrabY = y - (FDrawItem->Top + anchor.Y);
    FDragLeft = 0;
    FDragTop = 0;
    FDragRight = Width;
    FDragBottom = Height;
    return true;
}

void TRVItemResizer::MouseMove(TShiftState shift, int x, int y) {
    if (!FDragging) return;
    const int px = x - FGrabX - FDrawItem->Left;
    const int py = y - FGrabY - FDrawItem->Top;
    const TMovedEdges moved = EdgesOf(FHandle);
    if (moved.Left) FDragLeft = px;
    if (moved.Right) FDragRight = px;
    if (moved.Top) FDragTop = py;
    if (moved.Bottom) FDragBottom = py;
    AdjustDragRect(shift);
}

int TRVItemResizer::BorderSpacing() const {
    const auto* rect = dynamic_cast<const TRVRectItemInfo*>(FItem);
    return rect ? rect->Spacing : 0;
}

void TRVItemResizer::AdjustDragRect(TShiftState shift) {
    const TMovedEdges moved = EdgesOf(FHandle);
    const bool symmetric = shift.Contains(ssCtrl);
    // 1. The moved edge keeps its distance from the opposite one.
    KeepApart(moved.Left, moved.Right, FDragLeft, FDragRight);
    KeepApart(moved.Top, moved.Bottom, FDragTop, FDragBottom);
    // 2. With Ctrl the opposite edge mirrors the moved one about the starting size.
    if (symmetric) {
        Mirror(moved.Left, moved.Right, Width, FDragLeft, FDragRight);
        Mirror(moved.Top, moved.Bottom, Height, FDragTop, FDragBottom);
    }
    // 3. Corner handles always keep the proportions, side handles with Shift; the sizes
    // compared are those of the content inside the border spacing.
    if (FHandle >= 4 && !shift.Contains(ssShift)) return;
    const int spacing2 = 2 * BorderSpacing();
    const int startWidth = Width - spacing2, startHeight = Height - spacing2;
    if (startWidth < 1 || startHeight < 1) return;
    const int newWidth = FDragRight - FDragLeft - spacing2;
    const int newHeight = FDragBottom - FDragTop - spacing2;
    const double kx = double(newWidth) / startWidth;
    const double ky = double(newHeight) / startHeight;
    // nearbyint rounds half to even in the default rounding mode.
    if (kx <= ky) {
        const int delta = int(std::nearbyint(startWidth * ky)) - newWidth;
        ApplyDelta(delta, symmetric, moved.Left, FDragLeft, FDragRight);
    } else {
        const int delta = int(std::nearbyint(startHeight * kx)) - newHeight;
        ApplyDelta(delta, symmetric, moved.Top, FDragTop, FDragBottom);
    }
}

void TRVItemResizer::DrawDragRect(TCanvas* canvas, int scrollX, int scrollY) const {
    TPen* pen = canvas->Pen();
    pen->SetStyle(psDot);
    pen->SetMode(pmNot);
    pen->SetWidth(1);
    canvas->Brush()->SetStyle(bsClear);
    const int x = FDrawItem->Left - scrollX, y = FDrawItem->Top - scrollY;
    canvas->Rectangle(x + FDragLeft, y + FDragTop, x + FDragRight, y + FDragBottom);
    pen->SetMode(pmCopy);
    pen->SetStyle(psSolid);
}

void TRVItemResizer::MouseUp() {
    if (!FCancelled && FDragging) {
        Width = FDragRight - FDragLeft;
        Height = FDragBottom - FDragTop;
    }
    FDragging = false;
    FCancelled = false;
}

void TRVItemResizer::Cancel() {
    FDragging = false;
    FCancelled = true;
}

} // namespace epc
