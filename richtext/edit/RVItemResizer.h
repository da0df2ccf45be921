#pragma once
// The resize frame of the one selected picture or control of an editing document: eight
// handles around the item, a drag from one of them with an inverted dotted rectangle as
// feedback, and the new size on release.

#include <cstdint>

#include "platform/controls/Controls.h"
#include "richtext/document/RVItem.h"

namespace epc {

class TCanvas;

class TRVItemResizer : public TObject {
public:
    // Handles 0 to 3 are the corners (top-left, top-right, bottom-right, bottom-left), 4 to 7
    // the middles of the top, right, bottom and left sides.
    static constexpr int rvrhNone = -1;
    // A press within this many pixels of a handle, in both x and y, grabs it.
    static constexpr int GrabDistance = 3;

    // Mode 0 puts the handles 3 pixels outside the item's border, mode 1 3 pixels inside;
    // other modes leave them on the border.
    TRVItemResizer(TRVDrawLineInfo* drawItem, TCustomRVItemInfo* item, int itemNo, uint8_t mode);
    std::string ClassName() const override { return "TRVItemResizer"; }

    TRVDrawLineInfo* DrawItem() const { return FDrawItem; }
    TCustomRVItemInfo* Item() const { return FItem; }
    int ItemNo() const { return FItemNo; }
    // The size being edited: the drawing item's at creation, the drag's result after MouseUp.
    int32_t Width = 0;
    int32_t Height = 0;
    // Set by the editing document for an embedded-control item.
    bool IsControl = false;
    bool Dragging() const { return FDragging; }
    bool Cancelled() const { return FCancelled; }
    int GrabbedHandle() const { return FHandle; }
    // The drag rectangle, relative to the item's top-left corner.
    TRect DragRect() const { return TRect{FDragLeft, FDragTop, FDragRight, FDragBottom}; }

    // Points passed to the resizer are document coordinates; the scroll position is needed
    // only to draw on the control's client area.
    void DrawHandles(TCanvas* canvas, int scrollX, int scrollY) const;
    int GetHandleAt(int x, int y) const;
    static TCursor GetCursor(int handle);
    bool MouseDown(int x, int y);
    void MouseMove(TShiftState shift, int x, int y);
    void DrawDragRect(TCanvas* canvas, int scrollX, int scrollY) const;
    void MouseUp();
    void Cancel();

    // Document position of a handle as drawn (mode shift included).
    TPoint HandlePos(int handle) const;

private:
    // Position of a handle on the item's border, relative to its top-left corner.
    TPoint HandleAnchor(int handle) const;
    void AdjustDragRect(TShiftState shift);
    int BorderSpacing() const;

    TRVDrawLineInfo* FDrawItem;
    TCustomRVItemInfo* FItem;
    int FItemNo;
    uint8_t FMode;
    bool FDragging = false;
    bool FCancelled = false;
    int FHandle = rvrhNone;
    int FGrabX = 0; // the press point less the grabbed handle's anchor
    int FGrabY = 0;
    int FDragLeft = 0, FDragTop = 0, FDragRight = 0, FDragBottom = 0;
};

} // namespace epc
