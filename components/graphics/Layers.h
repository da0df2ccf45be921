#pragma once
// Layers drawn over the picture of an image control, and the collection that orders them and
// routes the mouse to the topmost one under the pointer.

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "components/graphics/Bitmap32.h"
#include "platform/controls/Controls.h"

namespace epc {

class TCustomImage32;
class TCustomLayer;

// Layer option bits.
constexpr uint32_t LOB_VISIBLE = 0x80000000;
constexpr uint32_t LOB_GDI_OVERLAY = 0x40000000;  // paints on the window after the buffer
constexpr uint32_t LOB_MOUSE_EVENTS = 0x20000000;
constexpr uint32_t LOB_NO_UPDATE = 0x10000000;   // changes do not invalidate the control
constexpr uint32_t LOB_NO_CAPTURE = 0x08000000;  // a press does not make it the listener

using THitTestEvent = std::function<void(TObject* sender, int x, int y, bool& passed)>;
using TPaintLayerEvent = std::function<void(TObject* sender, TBitmap32* buffer)>;

// The scaling of the owner image between bitmap and control coordinates (16.16).
struct TImageCache {
    TRect BitmapRect;
    TFixed ScaleX = 0, ScaleY = 0, ShiftX = 0, ShiftY = 0, RevScaleX = 0, RevScaleY = 0;
};

class TLayerCollection : public TPersistent {
public:
    explicit TLayerCollection(TCustomImage32* owner);
    ~TLayerCollection() override;
    std::string ClassName() const override { return "TLayerCollection"; }

    // A new layer of class T at the top of this collection, which owns it (a layer constructed
    // with a collection is adopted by it; freeing a layer takes it out of its collection).
    template <class T> T* Add() { return new T(this); }
    void ClearLayers();
    void DeleteLayer(int index);
    int Count() const { return int(FItems.size()); }
    TCustomLayer* Items(int index) const { return FItems.at(size_t(index)).get(); }
    // The last layer in the list that shares a bit with the mask and is hit at the point.
    TCustomLayer* FindLayerAt(int x, int y, uint32_t optionsMask = LOB_VISIBLE);
    // Clears, then makes a layer of the same class for every layer of the source.
    void Assign(TPersistent* source) override;

    void BeginUpdate() { ++FUpdateCount; }
    void EndUpdate();
    void Changed();
    // A GDI-overlay layer changed: the owner repaints at once unless inside an update bracket.
    void GDIUpdate();

    bool MouseEvents() const { return FMouseEvents; }
    void SetMouseEvents(bool value);
    TCustomLayer* MouseListener() const { return FMouseListener; }
    void SetMouseListener(TCustomLayer* value);
    TCustomImage32* Owner() const { return FOwner; }
    TPersistent* GetOwner() const override;
    // The owner's scaling (refreshed), or null without an owner.
    const TImageCache* CoordXForm() const;

    // Mouse routing; each returns the layer that got the event (or null).
    TCustomLayer* MouseDown(TMouseButton button, TShiftState shift, int x, int y);
    TCustomLayer* MouseMove(TShiftState shift, int x, int y);
    TCustomLayer* MouseUp(TMouseButton button, TShiftState shift, int x, int y);

    TNotifyEvent OnChange;
    TNotifyEvent OnGDIUpdate;

private:
    friend class TCustomLayer;
    // Adopts the layer at the top.
    void InsertItem(TCustomLayer* item);
    // Unlinks the layer and hands its ownership back (null when it is not listed).
    std::unique_ptr<TCustomLayer> RemoveItem(TCustomLayer* item);
    // Frees every layer, topmost first.
    void DestroyLayers();
    int IndexOf(const TCustomLayer* item) const;

    TCustomImage32* FOwner;
    std::vector<std::unique_ptr<TCustomLayer>> FItems; // first drawn first, last on top
    bool FMouseEvents = true;
    TCustomLayer* FMouseListener = nullptr;
    int FUpdateCount = 0;
};

class TCustomLayer : public TPersistent {
public:
    explicit TCustomLayer(TLayerCollection* layerCollection);
    ~TCustomLayer() override;
    std::string ClassName() const override { return "TCustomLayer"; }
    // A new, unassigned layer of this class (collections copy layers through it).
    virtual TCustomLayer* NewInstance(TLayerCollection* layerCollection) const {
        return new TCustomLayer(layerCollection);
    }
    void Assign(TPersistent* source) override;

    virtual bool HitTest(int x, int y);
    virtual void Paint(TBitmap32* buffer) {}
    virtual void PaintGDI(TCanvas* canvas) {}
    virtual void SetIndex(int value);
    int GetLayerIndex() const;
    int Index() const { return GetLayerIndex(); }
    void MoveToTop() { SetIndex(FLayerCollection ? FLayerCollection->Count() : 0); }
    void MoveToBottom() { SetIndex(0); }
    // Notifies the collection (unless LOB_NO_UPDATE is set).
    void Changed();

    TLayerCollection* LayerCollection() const { return FLayerCollection; }
    void SetLayerCollection(TLayerCollection* value);
    uint32_t LayerOptions() const { return FLayerOptions; }
    void SetLayerOptions(uint32_t value);
    bool Visible() const { return (FLayerOptions & LOB_VISIBLE) != 0; }
    void SetVisible(bool value);
    bool MouseEvents() const { return (FLayerOptions & LOB_MOUSE_EVENTS) != 0; }
    void SetMouseEvents(bool value);
    TCursor Cursor() const { return FCursor; }
    void SetCursor(TCursor value);
    uint32_t ButtonState() const { return FButtonState; }

    THitTestEvent OnHitTest;
    TMouseEvent OnMouseDown;
    TMouseMoveEvent OnMouseMove;
    TMouseEvent OnMouseUp;
    TPaintLayerEvent OnPaint;
    TNotifyEvent OnDestroy;

protected:
    friend class TLayerCollection;
    virtual void MouseDown(TMouseButton button, TShiftState shift, int x, int y);
    virtual void MouseMove(TShiftState shift, int x, int y);
    virtual void MouseUp(TMouseButton button, TShiftState shift, int x, int y);
    virtual void Notification(TCustomLayer* layer) {}
    bool DoHitTest(int x, int y);

    TLayerCollection* FLayerCollection = nullptr;
    TCursor FCursor = crDefault;
    uint32_t FLayerOptions = LOB_VISIBLE;
    uint32_t FButtonState = 0;
};

class TPositionedLayer : public TCustomLayer {
public:
    explicit TPositionedLayer(TLayerCollection* layerCollection);
    std::string ClassName() const override { return "TPositionedLayer"; }
    TCustomLayer* NewInstance(TLayerCollection* layerCollection) const override {
        return new TPositionedLayer(layerCollection);
    }
    void Assign(TPersistent* source) override;

    bool HitTest(int x, int y) override;
    // The location in control coordinates (mapped through the image when Scaled).
    TFloatRect GetControlLocation() const;
    TFloatRect Location() const { return FLocation; }
    void SetLocation(const TFloatRect& value);
    bool Scaled() const { return FScaled; }
    void SetScaled(bool value);
    // Sets Scaled and converts the location between control and bitmap coordinates, so that
    // the layer stays where it is shown (whole numbers, as every location).
    void SetScaledToImage(bool value);

protected:
    // Stores the edges truncated toward zero.
    virtual void StoreLocation(const TFloatRect& value);

    TFloatRect FLocation{0, 0, 64, 64};
    bool FScaled = false;
};

class TBitmapLayer : public TPositionedLayer {
public:
    explicit TBitmapLayer(TLayerCollection* layerCollection);
    ~TBitmapLayer() override;
    std::string ClassName() const override { return "TBitmapLayer"; }
    TCustomLayer* NewInstance(TLayerCollection* layerCollection) const override {
        return new TBitmapLayer(layerCollection);
    }
    void Assign(TPersistent* source) override;

    bool HitTest(int x, int y) override;
    void Paint(TBitmap32* buffer) override;
    TBitmap32* Bitmap() const { return FBitmap.get(); }
    void SetBitmap(TBitmap32* value) { FBitmap->Assign(value); }
    bool AlphaHit() const { return FAlphaHit; }
    void SetAlphaHit(bool value) { FAlphaHit = value; }
    bool Cropped() const { return FCropped; }
    void SetCropped(bool value);

private:
    std::unique_ptr<TBitmap32> FBitmap;
    bool FAlphaHit = false;
    bool FCropped = false;
};

}  // namespace epc
