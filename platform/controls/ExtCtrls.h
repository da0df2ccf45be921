#pragma once
// Panels with bevels and a caption, the framework's three-dimensional frame helper, and the
// scrolling windowed control with its scroll box.

#include <cstdint>
#include <string>

#include "platform/controls/Controls.h"
#include "platform/controls/StdCtrls.h"

namespace epc {

enum TBevelCut : uint8_t { bvNone, bvLowered, bvRaised, bvSpace };
using TBevelWidth = int;
using TBorderWidth = int;

// Draws Width nested rectangles, TopColor along the top and left and BottomColor along the
// bottom and right, and shrinks Rect by Width on every side.
void Frame3D(TCanvas* canvas, TRect& rect, TColor topColor, TColor bottomColor, int width);

class TCustomPanel : public TCustomControl {
public:
    explicit TCustomPanel(TComponent* owner);
    std::string ClassName() const override { return "TCustomPanel"; }

    TBevelCut BevelInner() const { return FBevelInner; }
    void SetBevelInner(TBevelCut v);
    TBevelCut BevelOuter() const { return FBevelOuter; }
    void SetBevelOuter(TBevelCut v);
    TBevelWidth BevelWidth() const { return FBevelWidth; }
    void SetBevelWidth(TBevelWidth v);
    TBorderWidth BorderWidth() const { return FBorderWidth; }
    void SetBorderWidth(TBorderWidth v);
    TBorderStyle BorderStyle() const { return FBorderStyle; }
    void SetBorderStyle(TBorderStyle v);
    TAlignment Alignment() const { return FAlignment; }
    void SetAlignment(TAlignment v);
    bool FullRepaint() const { return FFullRepaint; }
    void SetFullRepaint(bool v) { FFullRepaint = v; }

    void Dispatch(TMessage& message) override;

protected:
    void CreateParams(TCreateParams& params) override;
    void AdjustClientRect(TRect& rect) override;
    void Paint() override;
    // Bevels, border, face and caption within r (the client rectangle, or less of it).
    void PaintPanel(TRect r);
    // The caption drawn single-line, vertically centred, by Alignment, with a clear brush.
    void DrawCaption(TRect rect);

    TBevelCut FBevelInner = bvNone;
    TBevelCut FBevelOuter = bvRaised;
    TBevelWidth FBevelWidth = 1;
    TBorderWidth FBorderWidth = 0;
    TBorderStyle FBorderStyle = bsNone;
    TAlignment FAlignment = taCenter;
    bool FFullRepaint = true;
};

class TPanel : public TCustomPanel {
public:
    using TCustomPanel::TCustomPanel;
    std::string ClassName() const override { return "TPanel"; }
};

// A windowed control whose children can lie beyond its client area; scroll bars appear for
// the extent of the children and scrolling moves them.
class TScrollingWinControl : public TWinControl {
public:
    explicit TScrollingWinControl(TComponent* owner);
    std::string ClassName() const override { return "TScrollingWinControl"; }
    // The scroll position (how far the children are moved up and left).
    TPoint ScrollPos() const { return FScrollPos; }
    // The extent of the children at scroll position 0.
    TSize ScrollRange();
    void ScrollBy(int deltaX, int deltaY);
    void UpdateScrollBars();
    void Dispatch(TMessage& message) override;

protected:
    void AlignControls(TControl* aControl, TRect& rect) override;
    // A scroll message of one bar: moves the position and the children.
    virtual void ScrollMessage(int bar, TMessage& message);

    TPoint FScrollPos;
    bool FUpdatingScrollBars = false;
};

class TScrollBox : public TScrollingWinControl {
public:
    explicit TScrollBox(TComponent* owner);
    std::string ClassName() const override { return "TScrollBox"; }
    TBorderStyle BorderStyle() const { return FBorderStyle; }
    void SetBorderStyle(TBorderStyle v);

protected:
    void CreateParams(TCreateParams& params) override;
    TBorderStyle FBorderStyle = bsSingle;
};

} // namespace epc
