#pragma once
// The speed button: a graphic control with a caption and a glyph (a bitmap of up to four
// cells: up, disabled, down, exclusive), flat or framed, that can stay down within a group.
// Descendants drawing their own glyph override Paint and read State(), Down() and
// MouseInControl(); the layout of glyph and caption is CalcButtonLayout.

#include <cstdint>
#include <memory>
#include <string>

#include "platform/controls/ActnList.h"
#include "platform/controls/Controls.h"
#include "platform/graphics/Bitmap.h"

namespace epc {

enum TButtonLayout : uint8_t { blGlyphLeft, blGlyphRight, blGlyphTop, blGlyphBottom };
enum TButtonState : uint8_t { bsUp, bsDisabled, bsDown, bsExclusive };

// Places a glyph of GlyphSize and a caption (measured on Canvas with DrawText) in Client moved
// by Offset. Margin -1 centres the pair; Spacing -1 spreads them evenly. Right-to-left flags
// (DT_RTLREADING in BiDiFlags) swap the left and right layouts. GlyphPos is the glyph's
// top-left corner, TextBounds the caption's rectangle.
void CalcButtonLayout(TCanvas* canvas, TSize glyphSize, const TRect& client, TPoint offset,
                      const std::string& caption, TButtonLayout layout, int margin, int spacing,
                      TPoint& glyphPos, TRect& textBounds, uint32_t biDiFlags);
// The caption in TextBounds: grayed and embossed when State is bsDisabled.
void DrawButtonText(TCanvas* canvas, const std::string& caption, const TRect& textBounds,
                    TButtonState state, uint32_t biDiFlags);

class TSpeedButton : public TGraphicControl {
public:
    explicit TSpeedButton(TComponent* owner);
    ~TSpeedButton() override;
    std::string ClassName() const override { return "TSpeedButton"; }

    bool AllowAllUp() const { return FAllowAllUp; }
    void SetAllowAllUp(bool value);
    // Buttons of one parent with the same non-zero GroupIndex: at most one is down.
    int GroupIndex() const { return FGroupIndex; }
    void SetGroupIndex(int value);
    bool Down() const { return FDown; }
    void SetDown(bool value);
    bool Flat() const { return FFlat; }
    void SetFlat(bool value);
    TBitmap* Glyph() { return FGlyph.get(); }
    void SetGlyph(TBitmap* value);
    int NumGlyphs() const { return FNumGlyphs; }
    void SetNumGlyphs(int value);
    TButtonLayout Layout() const { return FLayout; }
    void SetLayout(TButtonLayout value);
    int Margin() const { return FMargin; }
    void SetMargin(int value);
    int Spacing() const { return FSpacing; }
    void SetSpacing(int value);
    bool Transparent() const { return FTransparent; }
    void SetTransparent(bool value);

    // The state being drawn: up, down (pressed or held down), disabled.
    TButtonState State() const { return FState; }
    // The mouse is over the button (the "hot" look of flat buttons).
    bool MouseInControl() const { return FMouseInControl; }

    TBasicAction* Action() const { return FAction; }
    void SetAction(TBasicAction* value);

    void Click() override;
    void Dispatch(TMessage& message) override;
    void Notification(TComponent* component, TOperation operation) override;
    void SetEnabled(bool v) override;

protected:
    void Paint() override;
    // Frame and face for the current state; returns the rectangle left for glyph and text
    // and the offset of a pressed face.
    TRect PaintFrame(TPoint& offset);
    // The glyph cell for the state at Pos.
    void DrawGlyph(TPoint pos);
    // Caption, enabled state, hint and image index taken from the action.
    virtual void ActionChange(TBasicAction* sender, bool checkDefaults);
    void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
    void MouseMove(TShiftState shift, int x, int y) override;
    void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
    void UpdateExclusive();
    uint32_t DrawTextBiDiModeFlags() const;

    TButtonState FState = bsUp;
    bool FMouseInControl = false;
    bool FDragging = false;

private:
    void GlyphChanged(TObject*);
    void ButtonPressed(TSpeedButton* sender);

    bool FAllowAllUp = false;
    int FGroupIndex = 0;
    bool FDown = false;
    bool FFlat = false;
    std::unique_ptr<TBitmap> FGlyph;
    int FNumGlyphs = 1;
    TButtonLayout FLayout = blGlyphLeft;
    int FMargin = -1;
    int FSpacing = 4;
    bool FTransparent = true;
    TBasicAction* FAction = nullptr;
};

} // namespace epc
