#pragma once
// What a formatted document asks of whatever holds it (a viewer window, a table cell, a printed
// page): the canvas and colours, margins and sizes, scrolling, repainting, and the viewer's
// events. A nested document sends the events to the host of the outermost document.

#include <string>
#include <vector>

#include "platform/controls/Controls.h"
#include "platform/core/Set.h"
#include "platform/gdi/Gdi.h"
#include "richtext/document/RVItem.h"

namespace epc {

class TCanvas;
class TRVBackground;
struct TRVSoftPageBreakInfo;

// Formatting flags of the control that shows a document (a 16-bit word).
enum class TRVFlag {
    UseJumps = 0,           // hyperlink areas are recorded
    TrimSpaces = 1,         // spaces at wrapped line ends are dropped
    NoControlMoves = 2,     // embedded controls are not moved after formatting
    UseExternalLeading = 3, // the font's external leading is added above each line
    SubDocument = 4,        // carried by the documents inside items
    Printing = 5,           // drawing items come from the items' printing constructor
    CanUseDeviceFit = 6,    // full-line items may measure on the device
    Reserved7 = 7,
    OwnsMarkers = 8, // the document keeps its own list-marker list
};
using TRVFlags = TSet<TRVFlag>;

// When the viewer reports checkpoints.
enum class TCPEventKind { cpeNone, cpeAsSectionStart, cpeWhenVisible };

// Sizes are screen pixels unless said; coordinates are client coordinates of the host.
class TRVDocumentHost {
public:
    virtual ~TRVDocumentHost() = default;

    // ---- Layout: flags, the width to lay out in, margins and text width limits.
    virtual TRVFlags GetFlags() const = 0;
    virtual void SetFlags(TRVFlags value) = 0;
    virtual int GetAreaWidth() const = 0;
    virtual int GetLeftMargin() const = 0;
    virtual int GetRightMargin() const = 0;
    virtual int GetTopMargin() const = 0;
    virtual int GetBottomMargin() const = 0;
    virtual int GetMinTextWidth() const = 0;
    virtual int GetMaxTextWidth() const = 0;
    // The first jump number of the document (a container numbers its documents' jumps).
    virtual int GetFirstJumpNo() const { return 0; }

    // ---- The window: canvas, colours, client size and where the document sits in it.
    virtual TCanvas* GetCanvas() const = 0;
    virtual TColor GetColor() const = 0;
    virtual TRVBackground* GetBackground() const = 0;
    virtual int GetClientWidth() const = 0;
    virtual int GetClientHeight() const = 0;
    // The origin of the document in the coordinates of the outermost document.
    virtual void GetOriginInRoot(int& x, int& y) const {
        x = 0;
        y = 0;
    }
    // Vertical offset of the content inside the host's box (a cell's vertical alignment).
    virtual int GetContentVOffset() const { return 0; }
    // The control that shows the document, or a viewer it is nested in, has the keyboard focus.
    virtual bool IsControlFocused() const { return false; }
    // Page breaks set by pagination; null when there are none.
    virtual const std::vector<TRVSoftPageBreakInfo>* GetSoftPageBreaks() const { return nullptr; }

    // ---- Scrolling.
    virtual void AdjustVScrollUnits() = 0;
    virtual void SetDocumentSize(int width, int height) = 0;
    virtual int GetHScrollPos() const { return 0; }
    virtual int GetVScrollPos() const { return 0; }
    virtual void ScrollTo(int y, bool redraw) = 0;
    virtual void HScrollTo(int x) = 0;
    virtual int GetVSmallStep() const = 0;

    // ---- Painting and repainting.
    virtual void PaintBackground(TCanvas* /*canvas*/, const TRect& /*rect*/) {}
    // The palette an off-screen paint realizes; null for none.
    virtual HPALETTE GetDocPalette() const { return nullptr; }
    // Called after the drawing items of a paint.
    virtual void PaintHook(int /*lastDrawItemNo*/, int /*firstDrawItemNo*/, int /*yOffset*/) {}
    virtual void Invalidate() {}
    virtual void InvalidateRect(const TRect& /*rect*/) { Invalidate(); }
    virtual void UpdateControl() {}

    // ---- Notifications: the selection is about to change, or changed; checkpoints.
    virtual void BeforeSelectionChange() {}
    virtual void DoSelect() {}
    virtual TCPEventKind GetCPEventKind() const { return TCPEventKind::cpeNone; }
    virtual void DoCheckpointVisible(TRVCPInfo* /*cp*/) {}

    // ---- The viewer's events and requests (asked of the outermost document's host).
    virtual void DoRVMouseDown(TMouseButton /*button*/, TShiftState /*shift*/, int /*itemNo*/,
                               int /*x*/, int /*y*/) {}
    virtual void DoRVMouseUp(TMouseButton /*button*/, TShiftState /*shift*/, int /*itemNo*/,
                             int /*x*/, int /*y*/) {}
    virtual void DoRVDblClick(const std::string& /*clickedWord*/, int /*styleNo*/) {}
    virtual bool HasRVDblClick() const { return false; }
    virtual bool HasRVRightClick() const { return false; }
    virtual void DoRVRightClick(const std::string& /*clickedWord*/, int /*styleNo*/, int /*x*/,
                                int /*y*/) {}
    // The jump under the mouse changed (-1: none).
    virtual void DoJumpHover(int /*id*/) {}
    virtual void DoCopy() {}
    virtual bool HasCopyHandler() const { return false; }
    // A hyperlink's cursor while the mouse is over it; -1 gives the control its own again.
    virtual void SetJumpCursor(int /*cursor*/) {}
    virtual void FocusControl() {}
    virtual void ClientToScreen(TPoint& /*p*/) const {}
    virtual void ScreenToClient(TPoint& /*p*/) const {}
};

// The host of a document that its container lays out (a document inside an item): no margins,
// width limits or background of its own, and no scrolling of its own.
class TRVNestedDocumentHost : public TRVDocumentHost {
public:
    int GetAreaWidth() const override { return 0; }
    int GetLeftMargin() const override { return 0; }
    int GetRightMargin() const override { return 0; }
    int GetTopMargin() const override { return 0; }
    int GetBottomMargin() const override { return 0; }
    int GetMinTextWidth() const override { return 0; }
    int GetMaxTextWidth() const override { return 0; }
    TRVBackground* GetBackground() const override { return nullptr; }
    void AdjustVScrollUnits() override {}
    void SetDocumentSize(int, int) override {}
    void ScrollTo(int, bool) override {}
    void HScrollTo(int) override {}
    int GetVSmallStep() const override { return 0; }
};

// The host of a document that nothing holds (before its holder attaches and while it is being
// destroyed): no flags, canvas, colour or client area either.
class TRVDetachedDocumentHost final : public TRVNestedDocumentHost {
public:
    TRVFlags GetFlags() const override { return {}; }
    void SetFlags(TRVFlags) override {}
    TCanvas* GetCanvas() const override { return nullptr; }
    TColor GetColor() const override { return clNone; }
    int GetClientWidth() const override { return 0; }
    int GetClientHeight() const override { return 0; }
};

} // namespace epc
