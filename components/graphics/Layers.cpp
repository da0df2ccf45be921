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

TLayerCollection::TLayerCollection(TCustomImage32* AOwner) : FOwner(AOwner) {}

TLayerCollection::~TLayerCollection() {
    FMouseListener = nullptr;
    OnChange = nullptr;
    OnGDIUpdate = nullptr;
    DestroyLayers();
}

TPersistent* TLayerCollection::GetOwner() const { return FOwner; }

int TLayerCollection::IndexOf(const TCustomLayer* Item) const {
    for (size_t i = 0; i < FItems.size(); ++i)
        if (FItems[i].get() == Item) return int(i);
    return -1;
}

void TLayerCollection::InsertItem(TCustomLayer* Item) {
    BeginUpdate();
    auto end = Finally([this] { EndUpdate(); });
    // Constructed in place once the slot exists, so a failed growth cannot free the layer.
    FItems.emplace_back(Item);
    Item->FLayerCollection = this;
}

std::unique_ptr<TCustomLayer> TLayerCollection::RemoveItem(TCustomLayer* Item) {
    int index = IndexOf(Item);
    if (index < 0) return nullptr;
    BeginUpdate();
    auto end = Finally([this] { EndUpdate(); });
    if (FMouseListener == Item) SetMouseListener(nullptr);
    std::unique_ptr<TCustomLayer> owned = std::move(FItems[size_t(index)]);
    FItems.erase(FItems.begin() + index);
    Item->FLayerCollection = nullptr;
    for (size_t i = 0; i < FItems.size(); ++i) FItems[i]->Notification(Item);
    return owned;
}

void TLayerCollection::DestroyLayers() {
    // Each round takes one layer off the list before freeing it, so the loop ends even when a
    // destructor or its OnDestroy handler misbehaves.
    while (!FItems.empty()) RemoveItem(FItems.back().get());
}

void TLayerCollection::ClearLayers() {
    BeginUpdate();
    auto end = Finally([this] { EndUpdate(); });
    FMouseListener = nullptr;
    DestroyLayers();
}

void TLayerCollection::DeleteLayer(int Index) { RemoveItem(Items(Index)); }

TCustomLayer* TLayerCollection::FindLayerAt(int X, int Y, uint32_t OptionsMask) {
    for (auto it = FItems.rbegin(); it != FItems.rend(); ++it) {
        TCustomLayer* layer = it->get();
        if ((layer->FLayerOptions & OptionsMask) != 0 && layer->DoHitTest(X, Y)) return layer;
    }
    return nullptr;
}

void TLayerCollection::Assign(TPersistent* Source) {
    auto* src = dynamic_cast<TLayerCollection*>(Source);
    if (!src) {
        TPersistent::Assign(Source);
        return;
    }
    BeginUpdate();
    auto end = Finally([this] { EndUpdate(); });
    ClearLayers();
    for (const auto& layer : src->FItems) layer->NewInstance(this)->Assign(layer.get());
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

TCustomLayer* TLayerCollection::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    TCustomLayer* target = FMouseListener ? FMouseListener : FindLayerAt(X, Y, LOB_MOUSE_EVENTS);
    if ((Button == mbLeft || Button == mbRight) && target && target != FMouseListener &&
        !(target->FLayerOptions & LOB_NO_CAPTURE))
        SetMouseListener(target);
    if (FMouseListener) {
        FMouseListener->FButtonState |= ButtonBit(Button);
        FMouseListener->MouseDown(Button, Shift, X, Y);
    }
    return target;
}

TCustomLayer* TLayerCollection::MouseMove(TShiftState Shift, int X, int Y) {
    TCustomLayer* target = FMouseListener ? FMouseListener : FindLayerAt(X, Y, LOB_MOUSE_EVENTS);
    if (target) target->MouseMove(Shift, X, Y);
    return target;
}

TCustomLayer* TLayerCollection::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
    TCustomLayer* target = FMouseListener ? FMouseListener : FindLayerAt(X, Y, LOB_MOUSE_EVENTS);
    if (target) {
        target->FButtonState &= ~ButtonBit(Button);
        target->MouseUp(Button, Shift, X, Y);
    }
    if (FMouseListener && FMouseListener->FButtonState == 0) SetMouseListener(nullptr);
    return target;
}

// ---- TCustomLayer -----------------------------------------------------------------------------

TCustomLayer::TCustomLayer(TLayerCollection* ALayerCollection) {
    SetLayerCollection(ALayerCollection);
}

TCustomLayer::~TCustomLayer() {
    if (OnDestroy) OnDestroy(this);
    SetLayerCollection(nullptr);
}

void TCustomLayer::Assign(TPersistent* Source) {
    auto* src = dynamic_cast<TCustomLayer*>(Source);
    if (!src) {
        TPersistent::Assign(Source);
        return;
    }
    FCursor = src->FCursor;
    FLayerOptions = src->FLayerOptions;
    Changed();
}

bool TCustomLayer::HitTest(int, int) { return true; }

bool TCustomLayer::DoHitTest(int X, int Y) {
    bool passed = HitTest(X, Y);
    if (OnHitTest) OnHitTest(this, X, Y, passed);
    return passed;
}

int TCustomLayer::GetLayerIndex() const {
    return FLayerCollection ? FLayerCollection->IndexOf(this) : -1;
}

void TCustomLayer::SetIndex(int Value) {
    if (!FLayerCollection) return;
    auto& items = FLayerCollection->FItems;
    int current = GetLayerIndex();
    int target = ClampInt(Value, 0, int(items.size()) - 1);
    if (current < 0 || target == current) return;
    bool visible = Visible();
    if (visible) FLayerCollection->BeginUpdate();
    // Moves the owning slot without reallocating.
    if (target < current)
        std::rotate(items.begin() + target, items.begin() + current, items.begin() + current + 1);
    else
        std::rotate(items.begin() + current, items.begin() + current + 1, items.begin() + target + 1);
    if (visible) FLayerCollection->EndUpdate();
}

void TCustomLayer::Changed() {
    if (!FLayerCollection || (FLayerOptions & LOB_NO_UPDATE)) return;
    if (FLayerOptions & LOB_GDI_OVERLAY)
        FLayerCollection->GDIUpdate();
    else if (Visible())
        FLayerCollection->Changed();
}

void TCustomLayer::SetLayerCollection(TLayerCollection* Value) {
    if (Value == FLayerCollection) return;
    // Ownership goes with the layer: the new collection adopts it, and without one the caller
    // holds it (the destructor passes through here with the layer already being freed).
    if (FLayerCollection) FLayerCollection->RemoveItem(this).release();
    if (Value) Value->InsertItem(this);
}

void TCustomLayer::SetLayerOptions(uint32_t Value) {
    if (Value == FLayerOptions) return;
    bool wasVisible = Visible();
    FLayerOptions = Value;
    // Hiding a layer must repaint too, although it no longer counts as visible.
    if (wasVisible && !Visible() && FLayerCollection && !(Value & LOB_NO_UPDATE))
        FLayerCollection->Changed();
    else
        Changed();
}

void TCustomLayer::SetVisible(bool Value) {
    SetLayerOptions(Value ? FLayerOptions | LOB_VISIBLE : FLayerOptions & ~LOB_VISIBLE);
}

void TCustomLayer::SetMouseEvents(bool Value) {
    SetLayerOptions(Value ? FLayerOptions | LOB_MOUSE_EVENTS : FLayerOptions & ~LOB_MOUSE_EVENTS);
}

void TCustomLayer::SetCursor(TCursor Value) {
    if (Value == FCursor) return;
    FCursor = Value;
    if (FLayerCollection && FLayerCollection->MouseListener() == this) SetScreenCursor(Value);
}

void TCustomLayer::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    if (OnMouseDown) OnMouseDown(this, Button, Shift, X, Y);
}

void TCustomLayer::MouseMove(TShiftState Shift, int X, int Y) {
    SetScreenCursor(FCursor);
    if (OnMouseMove) OnMouseMove(this, Shift, X, Y);
}

void TCustomLayer::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
    SetScreenCursor(crDefault);
    if (OnMouseUp) OnMouseUp(this, Button, Shift, X, Y);
}

// ---- TPositionedLayer -------------------------------------------------------------------------

TPositionedLayer::TPositionedLayer(TLayerCollection* ALayerCollection)
    : TCustomLayer(ALayerCollection) {
    FLayerOptions = LOB_VISIBLE | LOB_MOUSE_EVENTS;
}

void TPositionedLayer::Assign(TPersistent* Source) {
    if (auto* src = dynamic_cast<TPositionedLayer*>(Source)) {
        FLocation = src->FLocation;
        FScaled = src->FScaled;
    }
    TCustomLayer::Assign(Source);
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

bool TPositionedLayer::HitTest(int X, int Y) {
    TFloatRect r = GetControlLocation();
    return r.Left <= X && X < r.Right && r.Top <= Y && Y < r.Bottom;
}

void TPositionedLayer::SetLocation(const TFloatRect& Value) {
    if (Trunc(Value.Left) == Trunc(FLocation.Left) && Trunc(Value.Top) == Trunc(FLocation.Top) &&
        Trunc(Value.Right) == Trunc(FLocation.Right) &&
        Trunc(Value.Bottom) == Trunc(FLocation.Bottom))
        return;
    Changed();
    StoreLocation(Value);
    Changed();
}

void TPositionedLayer::StoreLocation(const TFloatRect& Value) {
    FLocation = {float(Trunc(Value.Left)), float(Trunc(Value.Top)), float(Trunc(Value.Right)),
                 float(Trunc(Value.Bottom))};
}

void TPositionedLayer::SetScaled(bool Value) {
    if (Value == FScaled) return;
    FScaled = Value;
    Changed();
}

// ---- TBitmapLayer -----------------------------------------------------------------------------

TBitmapLayer::TBitmapLayer(TLayerCollection* ALayerCollection)
    : TPositionedLayer(ALayerCollection), FBitmap(std::make_unique<TBitmap32>()) {
    FBitmap->OnChange = [this](TObject*) { Changed(); };
}

TBitmapLayer::~TBitmapLayer() { FBitmap->OnChange = nullptr; }

void TBitmapLayer::Assign(TPersistent* Source) {
    if (auto* src = dynamic_cast<TBitmapLayer*>(Source)) {
        FBitmap->Assign(src->FBitmap.get());
        FAlphaHit = src->FAlphaHit;
        FCropped = src->FCropped;
    }
    TPositionedLayer::Assign(Source);
}

void TBitmapLayer::SetCropped(bool Value) {
    if (Value == FCropped) return;
    FCropped = Value;
    Changed();
}

bool TBitmapLayer::HitTest(int X, int Y) {
    if (!TPositionedLayer::HitTest(X, Y)) return false;
    if (!FAlphaHit) return true;
    TFloatRect r = GetControlLocation();
    double w = std::nearbyint(r.Right - r.Left), h = std::nearbyint(r.Bottom - r.Top);
    if (w < 0.5 || h < 0.5 || FBitmap->IsEmpty()) return false;
    // The bitmap pixel under the point: floor of the scaled offset, kept inside the bitmap
    // (rounding reached one past the last pixel at the right and bottom edges).
    int bx = int(std::floor((X - r.Left) * FBitmap->Width() / w));
    int by = int(std::floor((Y - r.Top) * FBitmap->Height() / h));
    bx = ClampInt(bx, 0, FBitmap->Width() - 1);
    by = ClampInt(by, 0, FBitmap->Height() - 1);
    return (FBitmap->GetPixelS(bx, by) >> 24) != 0;
}

void TBitmapLayer::Paint(TBitmap32* Buffer) {
    if (FBitmap->IsEmpty() || !Buffer || Buffer->IsEmpty()) return;
    TFloatRect loc = GetControlLocation();
    if (loc.Right - loc.Left < 0.5f || loc.Bottom - loc.Top < 0.5f) return;
    TRect dst = MakeRectFromFloatRect(loc, 0);
    TRect clip = Buffer->BoundsRect();
    if (FCropped && FLayerCollection && FLayerCollection->Owner()) {
        TRect picture = FLayerCollection->Owner()->GetBitmapRect();
        IntersectIntRect(clip, clip, picture);
    }
    if (IsIntRectEmpty(dst) || IsIntRectEmpty(clip)) return;
    StretchTransfer(Buffer, dst, clip, FBitmap.get(), FBitmap->BoundsRect(),
                    FBitmap->StretchFilter(), FBitmap->DrawMode(), FBitmap->OnPixelCombine);
}

}  // namespace epc
