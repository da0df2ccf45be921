#pragma once
// A skin painted by a graphic control: a background tile repeated in line with the parent, so
// that neighbouring tiled images show one continuous pattern; masked corners through which
// that pattern continues; corner pictures; and edge strips between the corners.

#include <memory>

#include "platform/controls/Controls.h"
#include "platform/graphics/Bitmap.h"
#include "platform/graphics/PngImage.h"

namespace epc {

class TTiledImage : public TGraphicControl {
public:
    explicit TTiledImage(TComponent* owner);
    ~TTiledImage() override;
    std::string ClassName() const override { return "TTiledImage"; }

    // The background tile.
    TPicture* Picture() const { return FPicture.get(); }
    void SetPicture(TPicture* value) { FPicture->Assign(value); }
    bool AutoSize() const { return FAutoSize; }
    void SetAutoSize(bool value);
    // Thickness of the edge strips.
    int LineWidth() const { return FLineWidth; }
    void SetLineWidth(int value);
    int BackgroundItem() const { return FBackgroundItem; }
    void SetBackgroundItem(int value) { FBackgroundItem = value; }

    TPngImage* TopLeftCorner() const { return FTopLeftCorner.get(); }
    TPngImage* TopRightCorner() const { return FTopRightCorner.get(); }
    TPngImage* BottomLeftCorner() const { return FBottomLeftCorner.get(); }
    TPngImage* BottomRightCorner() const { return FBottomRightCorner.get(); }
    TPngImage* VerticalLine() const { return FVerticalLine.get(); }
    TPngImage* HorizontalLine() const { return FHorizontalLine.get(); }
    void SetTopLeftCorner(TPngImage* value) { SetPng(FTopLeftCorner.get(), value); }
    void SetTopRightCorner(TPngImage* value) { SetPng(FTopRightCorner.get(), value); }
    void SetBottomLeftCorner(TPngImage* value) { SetPng(FBottomLeftCorner.get(), value); }
    void SetBottomRightCorner(TPngImage* value) { SetPng(FBottomRightCorner.get(), value); }
    void SetVerticalLine(TPngImage* value) { SetPng(FVerticalLine.get(), value); }
    void SetHorizontalLine(TPngImage* value) { SetPng(FHorizontalLine.get(), value); }

    // Monochrome masks, white transparent: black pixels show the parent-aligned background.
    TBitmap* TopLeftCornerMask() const { return FTopLeftCornerMask.get(); }
    TBitmap* TopRightCornerMask() const { return FTopRightCornerMask.get(); }
    TBitmap* BottomLeftCornerMask() const { return FBottomLeftCornerMask.get(); }
    TBitmap* BottomRightCornerMask() const { return FBottomRightCornerMask.get(); }
    void SetTopLeftCornerMask(TBitmap* value) { SetMask(FTopLeftCornerMask.get(), value); }
    void SetTopRightCornerMask(TBitmap* value) { SetMask(FTopRightCornerMask.get(), value); }
    void SetBottomLeftCornerMask(TBitmap* value) { SetMask(FBottomLeftCornerMask.get(), value); }
    void SetBottomRightCornerMask(TBitmap* value) { SetMask(FBottomRightCornerMask.get(), value); }

    // Paints the background tile into Rect (control coordinates) in line with the parent.
    void PaintParentAligned(TCanvas* canvas, const TRect& rect);

protected:
    void Paint() override;

private:
    void PictureChanged(TObject* sender);
    void SetPng(TPngImage* target, TPngImage* value);
    void SetMask(TBitmap* target, TBitmap* value);
    // Masks are monochrome with white as their transparent colour.
    static void PrepareMask(TBitmap* mask);
    void UpdateTileCache();
    void PaintCornerMask(TBitmap* mask, int x, int y);
    // The tile for Area (control coordinates) into Dest, whose origin lies at DestOrigin.
    void CopyParentAligned(TCanvas* dest, const TRect& area, TPoint destOrigin);

    std::unique_ptr<TPicture> FPicture;
    std::unique_ptr<TBitmap> FTileCache;
    std::unique_ptr<TPngImage> FTopLeftCorner, FTopRightCorner, FBottomLeftCorner,
        FBottomRightCorner, FVerticalLine, FHorizontalLine;
    std::unique_ptr<TBitmap> FTopLeftCornerMask, FTopRightCornerMask, FBottomLeftCornerMask,
        FBottomRightCornerMask;
    bool FAutoSize = false;
    int FLineWidth = 3;
    int FBackgroundItem = 0;
    bool FPainting = false;
    bool FCacheValid = false;
};

} // namespace epc
