// Scrolling (offsets, scroll bars, scrolling a node into view), the selection toggle and the
// validation and re-initialisation of nodes.

#include <algorithm>

#include "components/tree/BaseVirtualTree.h"
#include "platform/windows/Window.h"

namespace epc {

using namespace tree_options;

bool TBaseVirtualTree::ScrollIntoView(PVirtualNode node, bool center, bool horizontally) {
    if (!node || node == FRoot.get()) return false;
    const TRect r = DisplayRect(node, NoColumn, false);
    if (r.IsEmpty()) return false;
    // The client height already leaves out a shown horizontal scroll bar.
    const int clientHeight = ClientHeight();
    const int clientWidth = ClientWidth();
    int newY = FOffsetY;
    if (center) {
        newY = FOffsetY + clientHeight / 2 - r.Top;
    } else if (r.Top < 0) {
        newY = FOffsetY - r.Top;
    } else if (r.Bottom > clientHeight) {
        newY = FOffsetY - (r.Bottom - clientHeight);
    }
    int newX = FOffsetX;
    if (horizontally) {
        const TColumnIndex column = FHeader->UseColumns() ? MainColumn() : NoColumn;
        TRect text = DisplayRect(node, column, true, true);
        if (center) {
            newX = FOffsetX + clientWidth / 2 - (text.Left + text.Right) / 2;
        } else if (text.Right > clientWidth) {
            newX = FOffsetX - std::min(text.Right - clientWidth, text.Left);
        } else if (text.Left < 0) {
            newX = FOffsetX - text.Left;
        }
    }
    return DoSetOffsetXY(TPoint(newX, newY), DefaultScrollUpdateFlags);
}

bool TBaseVirtualTree::DoSetOffsetXY(TPoint value, uint32_t options, const TRect* clipRect) {
    const int minX = std::min(0, ClientWidth() - RangeX());
    const int minY = std::min(0, ClientHeight() - RangeY());
    value.X = std::clamp(value.X, minX, 0);
    value.Y = std::clamp(value.Y, minY, 0);
    const int deltaX = value.X - FOffsetX;
    const int deltaY = value.Y - FOffsetY;
    if (deltaX == 0 && deltaY == 0) return false;
    FOffsetX = value.X;
    FOffsetY = value.Y;
    const bool hideDragImage = !IsUpdating() && FDragImage && FDragImage->Visible();
    if (hideDragImage) FDragImage->HideDragImage();
    if (HandleAllocated()) {
        if (options & suoScrollClientArea) {
            if (FOptions->PaintOptions().Contains(toShowBackground) && FBackground->Width() > 0) {
                RequestRepaint();
            } else {
                RECT clip{};
                if (clipRect) clip = *clipRect;
                ScrollWindow(Handle(), deltaX, deltaY, nullptr, clipRect ? &clip : nullptr);
            }
        }
        if (options & suoUpdateNCArea) {
            UpdateScrollBars((options & suoRepaintScrollBars) != 0);
            if ((options & suoRepaintHeader) && deltaX != 0) FHeader->Invalidate();
        }
    }
    if (hideDragImage) FDragImage->ShowDragImage();
    DoScroll(deltaX, deltaY);
    // Another row may lie under the mouse now.
    if (HandleAllocated() && (FOptions->PaintOptions().Contains(toHotTrack) || OnHotChange)) {
        POINT screen;
        GetCursorPos(&screen);
        const TPoint p = ScreenToClient(screen);
        HandleHotTrack(p.X, p.Y);
    }
    return true;
}

void TBaseVirtualTree::UpdateScrollBars(bool doRepaint) {
    if (!HandleAllocated()) return;
    if (OnUpdateScrollBars) OnUpdateScrollBars(this);
    FScroller.UpdateScrollBars(doRepaint);
}

void TBaseVirtualTree::UpdateVerticalScrollBar(bool doRepaint) {
    FScroller.UpdateScrollBar(true, doRepaint);
}

void TBaseVirtualTree::UpdateHorizontalScrollBar(bool doRepaint) {
    FScroller.UpdateScrollBar(false, doRepaint);
}

// ---- Selection ------------------------------------------------------------------------------

void TBaseVirtualTree::ToggleSelection(PVirtualNode startNode, PVirtualNode endNode) {
    Assert(endNode != nullptr, "EndNode must not be nil!");
    if (!startNode) startNode = FirstVisibleNode();
    if (!startNode) return;
    if (CompareNodePositions(startNode, endNode) > 0) std::swap(startNode, endNode);
    std::vector<PVirtualNode> add;
    std::vector<PVirtualNode> remove;
    for (PVirtualNode run = startNode; run; run = NextVisibleNode(run)) {
        (Has(run, nsSelected) ? remove : add).push_back(run);
        if (run == endNode) break;
    }
    for (PVirtualNode n : remove)
        RemoveFromSelection(n);
    InternalAddToSelection(add, false);
    RequestRepaint();
}

// ---- Validation and re-initialisation -------------------------------------------------------

void TBaseVirtualTree::ValidateNode(PVirtualNode node, bool recursive) {
    if (!node || node == FRoot.get()) {
        ValidateChildren(nullptr, recursive);
        return;
    }
    if (!Has(node, nsInitialized)) InitNode(node);
    if (recursive) ValidateChildren(node, true);
}

void TBaseVirtualTree::ValidateChildren(PVirtualNode node, bool recursive) {
    if (!node) node = FRoot.get();
    std::vector<PVirtualNode> pending{node};
    while (!pending.empty()) {
        PVirtualNode current = pending.back();
        pending.pop_back();
        if (current != FRoot.get() && Has(current, nsHasChildren) && current->ChildCount == 0)
            InitChildren(current);
        for (PVirtualNode run = current->FirstChild; run; run = run->NextSibling) {
            if (!Has(run, nsInitialized)) InitNode(run);
            if (recursive && (run->FirstChild || Has(run, nsHasChildren))) pending.push_back(run);
        }
    }
}

void TBaseVirtualTree::ReinitNode(PVirtualNode node, bool recursive) {
    if (node && node != FRoot.get()) {
        node->States.Exclude(nsChecking);
        node->States.Exclude(nsCutOrCopy);
        node->States.Exclude(nsDeleting);
        // The init notification runs again, and what it answers applies as on the first run.
        if (Has(node, nsInitialized)) {
            node->States.Exclude(nsInitialized);
            InitNode(node);
        }
    }
    if (recursive) ReinitChildren(node, true);
}

void TBaseVirtualTree::ReinitChildren(PVirtualNode node, bool recursive) {
    if (!node) node = FRoot.get();
    for (PVirtualNode run = node->FirstChild; run; run = run->NextSibling)
        ReinitNode(run, recursive);
}

void TBaseVirtualTree::ResetNode(PVirtualNode node) {
    if (!node || node == FRoot.get()) {
        ClearNodes();
        return;
    }
    DoCancelEdit();
    DoReset(node);
    DeleteChildren(node);
    for (TVirtualNodeState s :
         {nsInitialized, nsChecking, nsCutOrCopy, nsDeleting, nsExpanded, nsHasChildren})
        node->States.Exclude(s);
    InvalidateNode(node);
}

void TBaseVirtualTree::RepaintNode(PVirtualNode node) {
    if (!node || node == FRoot.get() || !HandleAllocated() || IsUpdating()) return;
    const TRect row = DisplayRect(node, NoColumn, false);
    if (row.IsEmpty()) return;
    // The row alone, painted before this returns.
    const RECT area = row;
    RedrawWindow(Handle(), &area, nullptr,
                 RDW_INVALIDATE | RDW_UPDATENOW | RDW_NOERASE | RDW_NOCHILDREN);
}

} // namespace epc
