#pragma once
// The background of a document area: a colour given at each draw and an optional picture
// with a placement style (stretched, tiled on a fixed or a scrolling grid, centred).

#include <functional>
#include <memory>

#include "platform/core/Color.h"
#include "platform/core/Geometry.h"
#include "richtext/document/RVTypes.h"

namespace epc {

class TCanvas;
class TGraphic;
class TBitmap;

class TRVBackground {
public:
    // CreateBitmap: the area keeps a bitmap of its own (a viewer does, a cell does not).
    explicit TRVBackground(bool createBitmap);
    ~TRVBackground();
    TRVBackground(const TRVBackground&) = delete;
    TRVBackground& operator=(const TRVBackground&) = delete;

    TBitmap* GetBitmap() const { return FBitmap.get(); }
    TGraphic* GetImage() const { return FImage.get(); }
    // Frees both pictures and keeps a copy of Graphic (nullptr keeps none).
    void AssignImage(TGraphic* graphic);
    TBackgroundStyle GetStyle() const { return FStyle; }
    void SetStyle(TBackgroundStyle value);
    // Tells the holder that the picture or the style changed.
    void Changed();
    std::function<void()> OnChange;

    // The picture drawn: the image when there is one, else the bitmap (may be null).
    TGraphic* Picture() const;
    // True when a non-empty picture stays fixed while the document scrolls.
    bool ScrollRequiresFullRedraw() const;
    bool IsColorOnly() const;

    // Rect is in canvas coordinates; the area's own point (0, 0) lies at canvas (DX, DY), so
    // Rect shifted by (-DX, -DY) is the part of the area being painted. ScrollX and ScrollY
    // move the grid of bsTiledAndScrolled. With Clip nothing is drawn outside Rect.
    void Draw(TCanvas* canvas, TRect rect, bool clip, TColor color, int areaWidth, int areaHeight,
              int dx, int dy, int scrollY, int scrollX) const;
    // The same with the picture scaled from screen to the canvas's device resolution (cells and
    // printed pages).
    void DrawScaled(TCanvas* canvas, TRect rect, TColor color, int areaWidth, int areaHeight,
                    int dx, int dy, const TRVResolutionInfo& resolution) const;

private:
    void DrawPicture(TCanvas* canvas, const TRect& area, int areaWidth, int areaHeight, int dx,
                     int dy, int scrollY, int scrollX, const TRVResolutionInfo* resolution) const;
    std::unique_ptr<TBitmap> FBitmap;
    std::unique_ptr<TGraphic> FImage;
    TBackgroundStyle FStyle = TBackgroundStyle::bsNoBitmap;
};

} // namespace epc
