#pragma once
// The tree's two floating visuals: the hint window (node and column hints, tooltips for
// truncated node text, with a soft shadow) and the drag image (a translucent picture of the
// dragged nodes or column that follows the mouse).

#include <memory>
#include <string>

#include "components/tree/VirtualTreeTypes.h"
#include "platform/controls/HintWindow.h"
#include "platform/controls/StdCtrls.h"
#include "platform/core/Color.h"
#include "platform/core/Geometry.h"
#include "platform/graphics/Bitmap.h"
#include "platform/windows/DataTransfer.h"

namespace epc {

class TBaseVirtualTree;

// What the tree hands the hint window for one hint.
struct TVTHintData {
    TBaseVirtualTree* Tree = nullptr;
    PVirtualNode Node = nullptr;
    TColumnIndex Column = NoColumn;
    TRect HintRect;
    std::u16string DefaultHint;
    std::u16string HintText;
};

// Width of the shadow at the right and bottom of a hint.
constexpr int HintShadowSize = 5;

class TVirtualTreeHintWindow : public THintWindow {
public:
    explicit TVirtualTreeHintWindow(TComponent* owner);
    ~TVirtualTreeHintWindow() override;
    std::string ClassName() const override { return "TVirtualTreeHintWindow"; }

    // Measures the hint described by Data (a TVTHintData); the result includes the shadow.
    TRect CalcHintRect(int maxWidth, const std::string& hint, void* data) override;
    void ActivateHint(TRect rect, const std::string& hint) override;
    const TVTHintData& HintData() const { return FHintData; }
    // Draws the hint over Background (what lies under it) into Target, shadow included.
    void DrawHint(TBitmap& target);
    TBitmap* Background() const { return FBackground.get(); }
    // True while any tree hint window exists in the process.
    static bool HintWindowExists();

protected:
    void CreateParams(TCreateParams& params) override;
    void Paint() override;
    void WndProc(TMessage& message) override;

private:
    // Shows the drawn hint step by step: fading in over twice Duration, or sliding in over it.
    void AnimateIn(THintAnimationType kind, Cardinal duration);
    TVTHintData FHintData;
    TBiDiMode FBidiMode = bdLeftToRight;
    TAlignment FAlignment = taLeftJustify;
    int FTextHeight = 0;
    std::unique_ptr<TBitmap> FBackground;
    std::unique_ptr<TBitmap> FDrawBuffer;
    std::unique_ptr<TBitmap> FTarget;
};

// Darkens the five-pixel strips along the right and bottom edges of R in Bitmap (a 32-bit
// bitmap) toward black, strongest next to the hint.
void DrawHintShadow(TBitmap& bitmap, const TRect& r);

class TVTDragImage {
public:
    explicit TVTDragImage(TBaseVirtualTree* owner);
    ~TVTDragImage();

    int Transparency() const { return FTransparency; }
    void SetTransparency(int value) { FTransparency = std::clamp(value, 0, 255); }
    int PreBlendBias() const { return FPreBlendBias; }
    void SetPreBlendBias(int value) { FPreBlendBias = value; }
    int PostBlendBias() const { return FPostBlendBias; }
    void SetPostBlendBias(int value) { FPostBlendBias = value; }
    bool Fade() const { return FFade; }
    void SetFade(bool value) { FFade = value; }
    TColor ColorKey() const { return FColorKey; }
    void SetColorKey(TColor value) { FColorKey = value; }
    bool Visible() const { return FVisible; }

    // The surface the image is drawn onto, in its coordinates (the screen when not set).
    void SetSurface(HDC dc) { FSurface = dc; }
    // Takes a copy of Image; HotSpot is where the mouse holds it, ImagePosition where its
    // top-left corner starts on the surface. With a DataObject and the shell's drag-source
    // helper at hand the helper is given the picture and shows it; this image stays hidden.
    void PrepareDrag(TBitmap* image, TPoint imagePosition, TPoint hotSpot,
                     IDataObject* dataObject = nullptr);
    // True when the shell's drag-source helper shows the picture of the current drag.
    bool HelperShowsImage() const { return FHelperShowsImage; }
    // Moves the image so that its hot spot lies at P; true when it moved.
    bool DragTo(TPoint p, bool forceRepaint = false);
    void ShowDragImage();
    void HideDragImage();
    void EndDrag();
    TPoint ImagePosition() const { return FImagePosition; }
    TBitmap* AlphaImage() const { return FAlphaImage.get(); }

private:
    HDC Surface();
    void ReleaseSurface(HDC dc);
    void Capture(HDC dc);
    void Restore(HDC dc);
    void Blend(HDC dc);
    void HandToDragSourceHelper(IDataObject* dataObject);

    TBaseVirtualTree* FOwner;
    std::unique_ptr<TBitmap> FDragImage;
    std::unique_ptr<TBitmap> FAlphaImage;
    std::unique_ptr<TBitmap> FBackImage;
    TPoint FImagePosition;
    TPoint FHotSpot;
    int FTransparency = 128;
    int FPreBlendBias = 0;
    int FPostBlendBias = 0;
    bool FFade = false;
    TColor FColorKey = clNone;
    bool FVisible = false;
    bool FHelperShowsImage = false;
    HDC FSurface = nullptr;
};

} // namespace epc
