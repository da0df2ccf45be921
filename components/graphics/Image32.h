#pragma once
// Windowed controls that show a TBitmap32: a double-buffered paint box, the image control with
// its layers and paint stages, and the scrolling image view.

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "components/graphics/Bitmap32.h"
#include "components/graphics/Layers.h"
#include "platform/controls/Controls.h"

namespace epc {

enum TPaintBoxOption : uint8_t { pboWantArrowKeys, pboAutoFocus };
using TPaintBoxOptions = TSet<TPaintBoxOption>;

class TCustomPaintBox32 : public TCustomControl {
public:
    explicit TCustomPaintBox32(TComponent* owner);
    ~TCustomPaintBox32() override;
    std::string ClassName() const override { return "TCustomPaintBox32"; }

    TBitmap32* Buffer() const { return FBuffer.get(); }
    bool BufferValid() const { return FBufferValid; }
    // Marks the buffer for composition before the window is invalidated.
    void Invalidate() override;
    TRect GetViewportRect();
    TPaintBoxOptions Options() const { return FOptions; }
    void SetOptions(TPaintBoxOptions value) { FOptions = value; }
    void Dispatch(TMessage& message) override;

    TNotifyEvent OnGDIOverlay;

protected:
    void Paint() override;
    void Resize() override;
    void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
    virtual void DoPaintBuffer();
    virtual void DoPaintGDIOverlay();
    void ResizeBuffer();

    std::unique_ptr<TBitmap32> FBuffer;
    int FBufferOversize = 40;
    bool FBufferValid = false;
    TPaintBoxOptions FOptions;
};

// One paint stage: design-time and run-time flags, the stage code and its parameter.
enum : uint32_t {
    PST_CUSTOM = 1, PST_CLEAR_BUFFER = 2, PST_CLEAR_BACKGND = 3, PST_DRAW_BITMAP = 4,
    PST_DRAW_LAYERS = 5, PST_CONTROL_FRAME = 6, PST_BITMAP_FRAME = 7
};

struct TPaintStage {
    bool DsgnTime = false;
    bool RunTime = true;
    uint32_t Stage = 0;
    uint32_t Parameter = 0;
};

class TPaintStages {
public:
    TPaintStage* Add();
    TPaintStage* Insert(int index);
    void Delete(int index);
    void Clear() { FItems.clear(); }
    int Count() const { return int(FItems.size()); }
    TPaintStage& Items(int index) { return FItems.at(size_t(index)); }

private:
    std::vector<TPaintStage> FItems;
};

enum TBitmapAlign : uint8_t { baTopLeft, baCenter, baTile, baCustom };
enum TScaleMode : uint8_t { smNormal, smStretch, smScale, smResize };

using TImgMouseEvent = std::function<void(TObject* sender, TMouseButton button, TShiftState shift,
                                          int x, int y, TCustomLayer* layer)>;
using TImgMouseMoveEvent =
    std::function<void(TObject* sender, TShiftState shift, int x, int y, TCustomLayer* layer)>;
using TPaintStageEvent = std::function<void(TObject* sender, TBitmap32* buffer, uint32_t stageNum)>;

class TCustomImage32 : public TCustomPaintBox32 {
public:
    explicit TCustomImage32(TComponent* owner);
    ~TCustomImage32() override;
    std::string ClassName() const override { return "TCustomImage32"; }

    TBitmap32* Bitmap() const { return FBitmap.get(); }
    void SetBitmap(TBitmap32* value) { FBitmap->Assign(value); }
    TLayerCollection* Layers() const { return FLayers.get(); }
    TPaintStages* PaintStages() const { return FPaintStages.get(); }

    TBitmapAlign BitmapAlign() const { return FBitmapAlign; }
    void SetBitmapAlign(TBitmapAlign value);
    float OffsetHorz() const { return FOffsetHorz; }
    void SetOffsetHorz(float value);
    float OffsetVert() const { return FOffsetVert; }
    void SetOffsetVert(float value);
    float Scale() const { return FScale; }
    void SetScale(float value);
    TScaleMode ScaleMode() const { return FScaleMode; }
    void SetScaleMode(TScaleMode value);
    bool AutoSize() const { return FAutoSize; }
    void SetAutoSize(bool value);

    void BeginUpdate() { ++FUpdateCount; }
    void EndUpdate();
    // Invalidates and fires OnChange, when not inside an update bracket.
    void Changed() override;

    TPoint ClientToBitmapPoint(const TPoint& p);
    TSize GetBitmapSize();
    TRect GetBitmapRect();
    // The bitmap-to-control scaling, refreshed when invalid.
    const TImageCache& Cache();
    void InvalidateCache() { FCacheValid = false; }
    void Dispatch(TMessage& message) override;

    TNotifyEvent OnBitmapResize;
    TNotifyEvent OnChange;
    TNotifyEvent OnInitStages;
    TImgMouseEvent OnMouseDown;
    TImgMouseMoveEvent OnMouseMove;
    TImgMouseEvent OnMouseUp;
    TPaintStageEvent OnPaintStage;

protected:
    void DoPaintBuffer() override;
    void DoPaintGDIOverlay() override;
    void Resize() override;
    void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
    void MouseMove(TShiftState shift, int x, int y) override;
    void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
    virtual void DoScaleChange() {}
    virtual void BitmapResized();
    virtual void InitDefaultStages();
    void ExecClearBuffer(TBitmap32* dest);
    void ExecClearBackgnd(TBitmap32* dest);
    void ExecDrawBitmap(TBitmap32* dest);
    void ExecDrawLayers(TBitmap32* dest, uint32_t parameter);
    void ExecControlFrame(TBitmap32* dest);
    void ExecBitmapFrame(TBitmap32* dest);

    std::unique_ptr<TBitmap32> FBitmap;
    std::unique_ptr<TLayerCollection> FLayers;
    std::unique_ptr<TPaintStages> FPaintStages;
    TBitmapAlign FBitmapAlign = baTopLeft;
    float FOffsetHorz = 0, FOffsetVert = 0;
    float FScale = 1.0f;
    TScaleMode FScaleMode = smNormal;
    bool FAutoSize = false;
    int FUpdateCount = 0;
    TImageCache FCache;
    bool FCacheValid = false;
};

class TCustomScrollView32 : public TCustomImage32 {
public:
    explicit TCustomScrollView32(TComponent* owner);
    std::string ClassName() const override { return "TCustomScrollView32"; }

    bool Border() const { return FBorder; }
    void SetBorder(bool value);
    bool ScrollBars() const { return FScrollBars; }
    void SetScrollBars(bool value);
    bool Centered() const { return FCentered; }
    void SetCentered(bool value);

    void ScrollBy(int dx, int dy);
    void ScrollToCenter(int x, int y);
    void UpdateScrollBars();
    void Dispatch(TMessage& message) override;
    void Loaded() override;

    TNotifyEvent OnScroll;

protected:
    void CreateParams(TCreateParams& params) override;
    void Resize() override;
    void DoScaleChange() override;
    void BitmapResized() override;
    void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
    bool DoMouseWheel(TShiftState shift, int wheelDelta, TPoint mousePos) override;
    void UpdateOffsets();
    void Scroll(int bar, int code, int thumb);

    bool FBorder = true;
    bool FScrollBars = true;
    bool FCentered = true;
    float FOldScale = 1.0f;
    bool FScrolling = false;
    bool FUpdatingBars = false;
    bool FBarsPending = false;
};

class TScrollView32 : public TCustomScrollView32 {
public:
    using TCustomScrollView32::TCustomScrollView32;
    std::string ClassName() const override { return "TScrollView32"; }
};

}  // namespace epc
