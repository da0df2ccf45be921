#pragma once
// Panels and a scroll box with flat one-pixel borders drawn in the non-client area, and a panel
// that takes its parent's themed background.

#include <string>

#include "platform/controls/ExtCtrls.h"

namespace epc {

// A panel that, under themes, shows its parent's background and a themed border.
class TXPPanel : public TCustomPanel {
public:
    explicit TXPPanel(TComponent* owner);
    ~TXPPanel() override;
    std::string ClassName() const override { return "TXPPanel"; }
    void Dispatch(TMessage& message) override;
};

class TFlatPanel : public TCustomPanel {
public:
    explicit TFlatPanel(TComponent* owner);
    std::string ClassName() const override { return "TFlatPanel"; }

    // Margins inside the client area within which the panel paints.
    int TopBorder() const { return FTopBorder; }
    void SetTopBorder(int v);
    int LeftBorder() const { return FLeftBorder; }
    void SetLeftBorder(int v);
    int RightBorder() const { return FRightBorder; }
    void SetRightBorder(int v);
    int BottomBorder() const { return FBottomBorder; }
    void SetBottomBorder(int v);
    // When false the background is left unerased.
    bool EraseBackground() const { return FEraseBackground; }
    void SetEraseBackground(bool v);
    // Without a border: a one-pixel line in the window colour under the client area.
    bool ShowBottomWhiteLine() const { return FShowBottomWhiteLine; }
    void SetShowBottomWhiteLine(bool v);

    void Dispatch(TMessage& message) override;

protected:
    void Paint() override;

private:
    void WMNCCalcSize(TMessage& message);
    void WMNCPaint(TMessage& message);
    void Changed(bool frame);

    int FTopBorder = 0;
    int FLeftBorder = 0;
    int FRightBorder = 0;
    int FBottomBorder = 0;
    bool FEraseBackground = true;
    bool FShowBottomWhiteLine = false;
};

// The framework's scroll box with its single border drawn flat (one pixel) without Ctl3D.
class TFlatScrollBox : public TScrollBox {
public:
    explicit TFlatScrollBox(TComponent* owner) : TScrollBox(owner) {}
    std::string ClassName() const override { return "TFlatScrollBox"; }
    void Dispatch(TMessage& message) override;
};

} // namespace epc
