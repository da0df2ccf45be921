#pragma once
// A document host without a window: it answers the canvas, margins, client size and scrolling
// from plain fields, records what it is asked to repaint and report, and can simulate a
// vertical scroll bar that takes client width while the document is taller than the client
// area.

#include <memory>
#include <vector>

#include "platform/gdi/Gdi.h"
#include "platform/graphics/Graphics.h"
#include "richtext/view/RVDocumentHost.h"
#include "richtext/view/RVFormattedData.h"

namespace epc::test {

// What the fake host answers and what it was asked: plain fields the tests set and read.
struct TFakeHostState {
    TRVFlags Flags = RVDefaultViewerFlags;
    int LeftMargin = 0, RightMargin = 0, TopMargin = 0, BottomMargin = 0;
    int MinTextWidthValue = 0, MaxTextWidthValue = 0;
    int ClientWidth = 200, ClientHeight = 1000;
    // Width a vertical scroll bar takes while the document is taller than the client area.
    int VScrollBarWidth = 0;
    bool VScrollBarShown = false;
    int VScrollPos = 0, HScrollPos = 0;
    int SetDocumentSizeCalls = 0;
    // When set, every SetDocumentSize changes the client width (a size that never settles).
    bool FlipClientWidth = false;
    int OriginX = 0, OriginY = 0;
    int FirstJumpNo = 0;
    TCPEventKind CPEventKind = TCPEventKind::cpeNone;
    // What the document asked: rectangles and whole repaints, visible checkpoints.
    std::vector<TRect> InvalidatedRects;
    int WholeInvalidations = 0;
    std::vector<TRVCPInfo*> VisibleCheckpoints;
};

class TFakeDocumentHost : public TRVDocumentHost {
public:
    explicit TFakeDocumentHost(TFakeHostState& state, int dpi = 96) : FState(state) {
        FCanvas = std::make_unique<TCanvas>();
        FCanvas->SetOwnedHandle(CreateBufferDC(8, 8, dpi, dpi));
    }

    TRVFlags GetFlags() const override { return FState.Flags; }
    void SetFlags(TRVFlags value) override { FState.Flags = value; }
    int GetAreaWidth() const override { return GetClientWidth(); }
    int GetLeftMargin() const override { return FState.LeftMargin; }
    int GetRightMargin() const override { return FState.RightMargin; }
    int GetTopMargin() const override { return FState.TopMargin; }
    int GetBottomMargin() const override { return FState.BottomMargin; }
    int GetMinTextWidth() const override { return FState.MinTextWidthValue; }
    int GetMaxTextWidth() const override { return FState.MaxTextWidthValue; }
    int GetFirstJumpNo() const override { return FState.FirstJumpNo; }
    TCanvas* GetCanvas() const override { return FCanvas.get(); }
    TColor GetColor() const override { return clWindow; }
    TRVBackground* GetBackground() const override { return nullptr; }
    int GetClientWidth() const override {
        return FState.ClientWidth - (FState.VScrollBarShown ? FState.VScrollBarWidth : 0);
    }
    int GetClientHeight() const override { return FState.ClientHeight; }
    void GetOriginInRoot(int& x, int& y) const override {
        x = FState.OriginX;
        y = FState.OriginY;
    }
    void AdjustVScrollUnits() override {}
    void SetDocumentSize(int /*width*/, int height) override {
        ++FState.SetDocumentSizeCalls;
        FState.VScrollBarShown = FState.VScrollBarWidth > 0 && height > FState.ClientHeight;
        if (FState.FlipClientWidth)
            FState.ClientWidth += (FState.SetDocumentSizeCalls % 2) ? -16 : 16;
    }
    int GetHScrollPos() const override { return FState.HScrollPos; }
    int GetVScrollPos() const override { return FState.VScrollPos; }
    void ScrollTo(int y, bool) override { FState.VScrollPos = y; }
    void HScrollTo(int x) override { FState.HScrollPos = x; }
    int GetVSmallStep() const override { return 10; }
    void Invalidate() override { ++FState.WholeInvalidations; }
    void InvalidateRect(const TRect& rect) override { FState.InvalidatedRects.push_back(rect); }
    TCPEventKind GetCPEventKind() const override { return FState.CPEventKind; }
    void DoCheckpointVisible(TRVCPInfo* cp) override { FState.VisibleCheckpoints.push_back(cp); }

private:
    TFakeHostState& FState;
    std::unique_ptr<TCanvas> FCanvas;
};

} // namespace epc::test
