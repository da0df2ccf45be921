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

using THitTestEvent = std::function<void(TObject* Sender, int X, int Y, bool& Passed)>;
using TPaintLayerEvent = std::function<void(TObject* Sender, TBitmap32* Buffer)>;

// The scaling of the owner image between bitmap and control coordinates (16.16).
struct TImageCache {
    TRect BitmapRect;
    TFixed ScaleX = 0, ScaleY = 0, ShiftX = 0, ShiftY = 0, RevScaleX = 0, RevScaleY = 0;
};

class TLayerCollection : public TPersistent {
public:
    explicit TLayerCollection(TCustomImage32* AOwner);
    ~TLayerCollection() override;
    std::string ClassName() const override { return "TLayerCollection"; }

    // A new layer of class T at the top of this collection, which owns it (a layer constructed
    // with a collection is adopted by it; freeing a layer takes it out of its collection).
    template <class T> T* Add() { return new T(this); }
    void ClearLayers();
    void DeleteLayer(int Index);
    int Count() const { return int(FItems.size()); }
    TCustomLayer* Items(int Index) const { return FItems.at(size_t(Index)).get(); }
    // The last layer in the list that shares a bit with the mask and is hit at the point.
    TCustomLayer* FindLayerAt(int X, int Y, uint32_t OptionsMask = LOB_VISIBLE);
    // Clears, then makes a layer of the same class for every layer of the source.
    void Assign(TPersistent* Source) override;

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
    TCustomLayer* MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y);
    TCustomLayer* MouseMove(TShiftState Shift, int X, int Y);
    TCustomLayer* MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y);

    TNotifyEvent OnChange;
    TNotifyEvent OnGDIUpdate;

private:
    friend class TCustomLayer;
    // Adopts the layer at the top.
    void InsertItem(TCustomLayer* Item);
    // Unlinks the layer and hands its ownership back (null when it is not listed).
    std::unique_ptr<TCustomLayer> RemoveItem(TCustomLayer* Item);
    // Frees every layer, topmost first.
    void DestroyLayers();
    int IndexOf(const TCustomLayer* Item) const;

    TCustomImage32* FOwner;
    std::vector<std::unique_ptr<TCustomLayer>> FItems;  // first drawn first, last on top
    bool FMouseEvents = true;
    TCustomLayer* FMouseListener = nullptr;
    int FUpdateCount = 0;
};

class TCustomLayer : public TPersistent {
public:
    explicit TCustomLayer(TLayerCollection* ALayerCollection);
    ~TCustomLayer() override;
    std::string ClassName() const override { return "TCustomLayer"; }
    // A new, unassigned layer of this class (collections copy layers through it).
    virtual TCustomLayer* NewInstance(TLayerCollection* ALayerCollection) const {
        return new TCustomLayer(ALayerCollection);
    }
    void Assign(TPersistent* Source) override;

    virtual bool HitTest(int X, int Y);
    virtual void Paint(TBitmap32* Buffer) {}
    virtual void PaintGDI(TCanvas* Canvas) {}
    virtual void SetIndex(int Value);
    int GetLayerIndex() const;
    int Index() const { return GetLayerIndex(); }
    void MoveToTop() { SetIndex(FLayerCollection ? FLayerCollection->Count() : 0); }
    void MoveToBottom() { SetIndex(0); }
    // Notifies the collection (unless LOB_NO_UPDATE is set).
    void Changed();

    TLayerCollection* LayerCollection() const { return FLayerCollection; }
    void SetLayerCollection(TLayerCollection* Value);
    uint32_t LayerOptions() const { return FLayerOptions; }
    void SetLayerOptions(uint32_t Value);
    bool Visible() const { return (FLayerOptions & LOB_VISIBLE) != 0; }
    void SetVisible(bool Value);
    bool MouseEvents() const { return (FLayerOptions & LOB_MOUSE_EVENTS) != 0; }
    void SetMouseEvents(bool Value);
    TCursor Cursor() const { return FCursor; }
    void SetCursor(TCursor Value);
    uint32_t ButtonState() const { return FButtonState; }

    THitTestEvent OnHitTest;
    TMouseEvent OnMouseDown;
    TMouseMoveEvent OnMouseMove;
    TMouseEvent OnMouseUp;
    TPaintLayerEvent OnPaint;
    TNotifyEvent OnDestroy;

protected:
    friend class TLayerCollection;
    virtual void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y);
    virtual void MouseMove(TShiftState Shift, int X, int Y);
    virtual void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y);
    virtual void Notification(TCustomLayer* ALayer) {}
    bool DoHitTest(int X, int Y);

    TLayerCollection* FLayerCollection = nullptr;
    TCursor FCursor = crDefault;
    uint32_t FLayerOptions = LOB_VISIBLE;
    uint32_t FButtonState = 0;
};

class TPositionedLayer : public TCustomLayer {
public:
    explicit TPositionedLayer(TLayerCollection* ALayerCollection);
    std::string ClassName() const override { return "TPositionedLayer"; }
    TCustomLayer* NewInstance(TLayerCollection* ALayerCollection) const override {
        return new TPositionedLayer(ALayerCollection);
    }
    void Assign(TPersistent* Source) override;

    bool HitTest(int X, int Y) override;
    // The location in control coordinates (mapped through the image when Scaled).
    TFloatRect GetControlLocation() const;
    TFloatRect Location() const { return FLocation; }
    void SetLocation(const TFloatRect& Value);
    bool Scaled() const { return FScaled; }
    void SetScaled(bool Value);

protected:
    // Stores the edges truncated toward zero.
    virtual void StoreLocation(const TFloatRect& Value);

    TFloatRect FLocation{0, 0, 64, 64};
    bool FScaled = false;
};

class TBitmapLayer : public TPositionedLayer {
public:
    explicit TBitmapLayer(TLayerCollection* ALayerCollection);
    ~TBitmapLayer() override;
    std::string ClassName() const override { return "TBitmapLayer"; }
    TCustomLayer* NewInstance(TLayerCollection* ALayerCollection) const override {
        return new TBitmapLayer(ALayerCollection);
    }
    void Assign(TPersistent* Source) override;

    bool HitTest(int X, int Y) override;
    void Paint(TBitmap32* Buffer) override;
    TBitmap32* Bitmap() const { return FBitmap.get(); }
    void SetBitmap(TBitmap32* Value) { FBitmap->Assign(Value); }
    bool AlphaHit() const { return FAlphaHit; }
    void SetAlphaHit(bool Value) { FAlphaHit = Value; }
    bool Cropped() const { return FCropped; }
    void SetCropped(bool Value);

private:
    std::unique_ptr<TBitmap32> FBitmap;
    bool FAlphaHit = false;
    bool FCropped = false;
};

}  // namespace epc
