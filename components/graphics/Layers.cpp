#include "components/graphics/Layers.h"

#include <algorithm>
#include <cmath>

#include "components/graphics/Image32.h"
#include "components/graphics/Transforms.h"
#include "platform/controls/Forms.h"
#include "platform/core/Arithmetic.h"
#include "platform/core/ScopeGuard.h"

namespace epc {

namespace {

uint32_t ButtonBit(TMouseButton b) { return 1u << uint32_t(b); }

void SetScreenCursor(TCursor cursor) {
    if (Screen) Screen->SetCursor(cursor);
}

}  // namespace

// ---- TLayerCollection -------------------------------------------------------------------------

TLayerCollection::TLayerCollection(TCustomImage32* owner) : FOwner(owner) {}

TLayerCollection::~TLayerCollection() {
    FMouseListener = nullptr;
    OnChange = nullptr;
    OnGDIUpdate = nullptr;
    DestroyLayers();
}

TPersistent* TLayerCollection::GetOwner() const { return FOwner; }

int TLayerCollection::IndexOf(const TCustomLayer* item) const {
    for (size_t i = 0; i < FItems.size(); ++i)
        if (FItems[i].get() == item) return int(i);
    return -1;
}

void TLayerCollection::InsertItem(TCustomLayer* item) {
    BeginUpdate();
    auto end = Finally([this] { EndUpdate(); });
    // Constructed in place once the slot exists, so a failed growth cannot free the layer.
    FItems.emplace_back(item);
    item->FLayerCollection = this;
}

std::unique_ptr<TCustomLayer> TLayerCollection::RemoveItem(TCustomLayer* item) {
    int index = IndexOf(item);
    if (index < 0) return nullptr;
    BeginUpdate();
    auto end = Finally([this] { EndUpdate(); });
    if (FMouseListener == item) SetMouseListener(nullptr);
    std::unique_ptr<TCustomLayer> owned = std::move(FItems[size_t(index)]);
    FItems.erase(FItems.begin() + index);
    item->FLayerCollection = nullptr;
    for (size_t i = 0; i < FItems.size(); ++i)
        FItems[i]->Notification(item);
    return owned;
}

void TLayerCollection::DestroyLayers() {
    // Each round takes a layer off the list before freeing it, so the loop cannot spin on a
    // layer whose destructor fails to unlink it.
    while (!FItems.empty())
        RemoveItem(FItems.back().get());
}

void TLayerCollection::ClearLayers() {
    BeginUpdate();
    auto end = Finally([this] { EndUpdate(); });
    FMouseListener = nullptr;
    DestroyLayers();
}

void TLayerCollection::DeleteLayer(int index) {
    RemoveItem(Items(index));
}

TCustomLayer* TLayerCollection::FindLayerAt(int x, int y, uint32_t optionsMask) {
    for (auto it = FItems.rbegin(); it != FItems.rend(); ++it) {
        TCustomLayer* layer = it->get();
        if ((layer->FLayerOptions & optionsMask) != 0 && layer->DoHitTest(x, y)) return layer;
    }
    return nullptr;
}

void TLayerCollection::Assign(TPersistent* source) {
    auto* src = dynamic_cast<TLayerCollection*>(source);
    if (!src) {
        TPersistent::Assign(source);
        return;
    }
    BeginUpdate();
    auto end = Finally([this] { EndUpdate(); });
    ClearLayers();
    for (const auto& layer : src->FItems)
        layer->NewInstance(this)->Assign(layer.get());
}

void TLayerCollection::EndUpdate() {
    Assert(FUpdateCount > 0, "Unpaired EndUpdate");
    if (--FUpdateCount == 0) Changed();
}

void TLayerCollection::Changed() {
    if (FUpdateCount == 0 && OnChange) OnChange(this);
}

void TLayerCollection::GDIUpdate() {
    if (FUpdateCount == 0 && OnGDIUpdate) OnGDIUpdate(this);
}

void TLayerCollection::SetMouseEvents(bool value) {
    FMouseEvents = value;
    SetMouseListener(nullptr);
}

void TLayerCollection::SetMouseListener(TCustomLayer* value) {
    if (value == FMouseListener) return;
    if (FMouseListener) FMouseListener->FButtonState = 0;
    FMouseListener = value;
}

const TImageCache* TLayerCollection::CoordXForm() const {
    return FOwner ? &FOwner->Cache() : nullptr;
}

TCustomLayer* TLayerCollection::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    TCustomLayer* target = FMouseListener ? FMouseListener : FindLayerAt(x, y, LOB_MOUSE_EVENTS);
    if ((button == mbLeft || button == mbRight) && target && target != FMouseListener &&
        !(target->FLayerOptions & LOB_NO_CAPTURE))
        SetMouseListener(target);
    if (FMouseListener) {
        FMouseListener->FButtonState |= ButtonBit(button);
        FMouseListener->MouseDown(button, shift, x, y);
    }
    return target;
}

TCustomLayer* TLayerCollection::MouseMove(TShiftState shift, int x, int y) {
    TCustomLayer* target = FMouseListener ? FMouseListener : FindLayerAt(x, y, LOB_MOUSE_EVENTS);
    if (target) target->MouseMove(shift, x, y);
    return target;
}

TCustomLayer* TLayerCollection::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
    TCustomLayer* target = FMouseListener ? FMouseListener : FindLayerAt(x, y, LOB_MOUSE_EVENTS);
    if (target) {
        target->FButtonState &= ~ButtonBit(button);
        target->MouseUp(button, shift, x, y);
    }
    if (FMouseListener && FMouseListener->FButtonState == 0) SetMouseListener(nullptr);
    return target;
}

// ---- TCustomLayer -----------------------------------------------------------------------------

TCustomLayer::TCustomLayer(TLayerCollection* layerCollection) {
    SetLayerCollection(layerCollection);
}

TCustomLayer::~TCustomLayer() {
    if (OnDestroy) OnDestroy(this);
    SetLayerCollection(nullptr);
}

void TCustomLayer::Assign(TPersistent* source) {
    auto* src = dynamic_cast<TCustomLayer*>(source);
    if (!src) {
        TPersistent::Assign(source);
        return;
    }
    FCursor = src->FCursor;
    FLayerOptions = src->FLayerOptions;
    Changed();
}

bool TCustomLayer::HitTest(int, int) { return true; }

bool TCustomLayer::DoHitTest(int x, int y) {
    bool passed = HitTest(x, y);
    if (OnHitTest) OnHitTest(this, x, y, passed);
    return passed;
}

int TCustomLayer::GetLayerIndex() const {
    return FLayerCollection ? FLayerCollection->IndexOf(this) : -1;
}

void TCustomLayer::SetIndex(int value) {
    if (!FLayerCollection) return;
    auto& items = FLayerCollection->FItems;
    int current = GetLayerIndex();
    int target = ClampInt(value, 0, int(items.size()) - 1);
    if (current < 0 || target == current) return;
    bool visible = Visible();
    if (visible) FLayerCollection->BeginUpdate();
    // Moves the owning slot without reallocating.
    if (target < current)
        std::rotate(items.begin() + target, items.begin() + current, items.begin() + current + 1);
    else
        std::rotate(items.begin() + current, items.begin() + current + 1,
                    items.begin() + target + 1);
    if (visible) FLayerCollection->EndUpdate();
}

void TCustomLayer::Changed() {
    if (!FLayerCollection || (FLayerOptions & LOB_NO_UPDATE)) return;
    // A visible layer changes the image (its OnChange fires), whether it is drawn in the buffer
    // or on the window after it; a hidden overlay only has the window repainted.
    if (Visible())
        FLayerCollection->Changed();
    else if (FLayerOptions & LOB_GDI_OVERLAY)
        FLayerCollection->GDIUpdate();
}

void TCustomLayer::SetLayerCollection(TLayerCollection* value) {
    if (value == FLayerCollection) return;
    // Ownership goes with the layer: the new collection adopts it, and without one the caller
    // holds it (the destructor passes through here with the layer already being freed).
    if (FLayerCollection) FLayerCollection->RemoveItem(this).release();
    if (value) value->InsertItem(this);
}

void TCustomLayer::SetLayerOptions(uint32_t value) {
    if (value == FLayerOptions) return;
    bool wasVisible = Visible();
    FLayerOptions = value;
    // Hiding a layer must repaint too, although it no longer counts as visible.
    if (wasVisible && !Visible() && FLayerCollection && !(value & LOB_NO_UPDATE))
        FLayerCollection->Changed();
    else
        Changed();
}

void TCustomLayer::SetVisible(bool value) {
    SetLayerOptions(value ? FLayerOptions | LOB_VISIBLE : FLayerOptions & ~LOB_VISIBLE);
}

void TCustomLayer::SetMouseEvents(bool value) {
    SetLayerOptions(value ? FLayerOptions | LOB_MOUSE_EVENTS : FLayerOptions & ~LOB_MOUSE_EVENTS);
}

void TCustomLayer::SetCursor(TCursor value) {
    if (value == FCursor) return;
    FCursor = value;
    if (FLayerCollection && FLayerCollection->MouseListener() == this) SetScreenCursor(value);
}

void TCustomLayer::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    if (OnMouseDown) OnMouseDown(this, button, shift, x, y);
}

void TCustomLayer::MouseMove(TShiftState shift, int x, int y) {
    SetScreenCursor(FCursor);
    if (OnMouseMove) OnMouseMove(this, shift, x, y);
}

void TCustomLayer::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
    SetScreenCursor(crDefault);
    if (OnMouseUp) OnMouseUp(this, button, shift, x, y);
}

// ---- TPositionedLayer -------------------------------------------------------------------------

TPositionedLayer::TPositionedLayer(TLayerCollection* layerCollection)
    : TCustomLayer(layerCollection) {
    FLayerOptions = LOB_VISIBLE | LOB_MOUSE_EVENTS;
}

void TPositionedLayer::Assign(TPersistent* source) {
    if (auto* src = dynamic_cast<TPositionedLayer*>(source)) {
        FLocation = src->FLocation;
        FScaled = src->FScaled;
    }
    TCustomLayer::Assign(source);
}

TFloatRect TPositionedLayer::GetControlLocation() const {
    TFloatRect r = FLocation;
    if (FScaled && FLayerCollection && FLayerCollection->Owner()) {
        const TImageCache& c = *FLayerCollection->CoordXForm();
        auto mx = [&](float x) { return float(double(c.ScaleX) * x / 65536.0 + c.ShiftX); };
        auto my = [&](float y) { return float(double(c.ScaleY) * y / 65536.0 + c.ShiftY); };
        r = {mx(r.Left), my(r.Top), mx(r.Right), my(r.Bottom)};
    }
    return r;
}

bool TPositionedLayer::HitTest(int x, int y) {
    TFloatRect r = GetControlLocation();
    return r.Left <= x && x < r.Right && r.Top <= y && y < r.Bottom;
}

void TPositionedLayer::SetLocation(const TFloatRect& value) {
    if (Trunc(value.Left) == Trunc(FLocation.Left) && Trunc(value.Top) == Trunc(FLocation.Top) &&
        Trunc(value.Right) == Trunc(FLocation.Right) &&
        Trunc(value.Bottom) == Trunc(FLocation.Bottom))
        return;
    Changed();
    StoreLocation(value);
    Changed();
}

void TPositionedLayer::StoreLocation(const TFloatRect& value) {
    FLocation = {float(Trunc(value.Left)), float(Trunc(value.Top)), float(Trunc(value.Right)),
                 float(Trunc(value.Bottom))};
}

void TPositionedLayer::SetScaled(bool value) {
    if (value == FScaled) return;
    FScaled = value;
    Changed();
}

void TPositionedLayer::SetScaledToImage(bool value) {
    if (value == FScaled) return;
    const TImageCache* c = FLayerCollection ? FLayerCollection->CoordXForm() : nullptr;
    if (!c || c->ScaleX == 0 || c->ScaleY == 0) { // no picture to measure against
        SetScaled(value);
        return;
    }
    // The layer stays where it shows: its location moves between control and bitmap units.
    TFloatRect r = GetControlLocation();
    if (value) {
        auto bx = [&](float x) { return float((x - c->ShiftX) * 65536.0 / double(c->ScaleX)); };
        auto by = [&](float y) { return float((y - c->ShiftY) * 65536.0 / double(c->ScaleY)); };
        r = {bx(r.Left), by(r.Top), bx(r.Right), by(r.Bottom)};
    }
    Changed();
    FScaled = value;
    StoreLocation(r);
    Changed();
}

// ---- TBitmapLayer -----------------------------------------------------------------------------

TBitmapLayer::TBitmapLayer(TLayerCollection* layerCollection)
    : TPositionedLayer(layerCollection), FBitmap(std::make_unique<TBitmap32>()) {
    FBitmap->OnChange = [this](TObject*) { Changed(); };
}

TBitmapLayer::~TBitmapLayer() { FBitmap->OnChange = nullptr; }

void TBitmapLayer::Assign(TPersistent* source) {
    if (auto* src = dynamic_cast<TBitmapLayer*>(source)) {
        FBitmap->Assign(src->FBitmap.get());
        FAlphaHit = src->FAlphaHit;
        FCropped = src->FCropped;
    }
    TPositionedLayer::Assign(source);
}

void TBitmapLayer::SetCropped(bool value) {
    if (value == FCropped) return;
    FCropped = value;
    Changed();
}

bool TBitmapLayer::HitTest(int x, int y) {
    if (!TPositionedLayer::HitTest(x, y)) return false;
    if (!FAlphaHit) return true;
    TFloatRect r = GetControlLocation();
    double w = std::nearbyint(r.Right - r.Left), h = std::nearbyint(r.Bottom - r.Top);
    if (w < 0.5 || h < 0.5 || FBitmap->IsEmpty()) return false;
    // The bitmap pixel under the point: floor of the scaled offset, kept inside the bitmap
    // (rounding reached one past the last pixel at the right and bottom edges).
    int bx = int(std::floor((x - r.Left) * FBitmap->Width() / w));
    int by = int(std::floor((y - r.Top) * FBitmap->Height() / h));
    bx = ClampInt(bx, 0, FBitmap->Width() - 1);
    by = ClampInt(by, 0, FBitmap->Height() - 1);
    return (FBitmap->GetPixelS(bx, by) >> 24) != 0;
}

void TBitmapLayer::Paint(TBitmap32* buffer) {
    if (FBitmap->IsEmpty() || !buffer || buffer->IsEmpty()) return;
    TFloatRect loc = GetControlLocation();
    if (loc.Right - loc.Left < 0.5f || loc.Bottom - loc.Top < 0.5f) return;
    TRect dst = MakeRectFromFloatRect(loc, 0);
    TRect clip = buffer->BoundsRect();
    if (FCropped && FLayerCollection && FLayerCollection->Owner()) {
        TRect picture = FLayerCollection->Owner()->GetBitmapRect();
        IntersectIntRect(clip, clip, picture);
    }
    if (IsIntRectEmpty(dst) || IsIntRectEmpty(clip)) return;
    StretchTransfer(buffer, dst, clip, FBitmap.get(), FBitmap->BoundsRect(),
                    FBitmap->StretchFilter(), FBitmap->DrawMode(), FBitmap->OnPixelCombine);
}

}  // namespace epc
