#include "components/graphics/Image32.h"

#include <cmath>

#include "components/graphics/Blend.h"
#include "components/graphics/Transforms.h"
#include "platform/controls/ControlStreaming.h"
#include "platform/controls/Forms.h"
#include "platform/core/Arithmetic.h"
#include "platform/core/ScopeGuard.h"
#include "platform/streaming/PropertyRegistry.h"

namespace epc {

// ---- TCustomPaintBox32 ------------------------------------------------------------------------

TCustomPaintBox32::TCustomPaintBox32(TComponent* owner)
    : TCustomControl(owner), FBuffer(std::make_unique<TBitmap32>()) {
    // The buffer never notifies: the control decides itself when to compose and repaint.
    FBuffer->BeginUpdate();
    FControlStyle.Include(csOpaque);
    SetBounds(FLeft, FTop, 192, 192);
}

TCustomPaintBox32::~TCustomPaintBox32() = default;

void TCustomPaintBox32::Invalidate() {
    FBufferValid = false;
    TCustomControl::Invalidate();
}

TRect TCustomPaintBox32::GetViewportRect() {
    TRect r = ClientRect();
    if (r.Right < r.Left) r.Right = r.Left;
    if (r.Bottom < r.Top) r.Bottom = r.Top;
    return r;
}

void TCustomPaintBox32::ResizeBuffer() {
    TRect vp = GetViewportRect();
    auto target = [&](int current, int viewport) {
        int t = current;
        if (viewport > current)
            t = viewport + FBufferOversize;
        else if (viewport < current - FBufferOversize)
            t = viewport;
        return t < 1 ? 1 : t;
    };
    int w = target(FBuffer->Width(), vp.Width()), h = target(FBuffer->Height(), vp.Height());
    if (w != FBuffer->Width() || h != FBuffer->Height()) {
        FBuffer->Lock();
        {
            auto cleanup = Finally([&] { FBuffer->Unlock(); });
            FBuffer->SetSize(w, h);
        }
        FBufferValid = false;
    }
}

void TCustomPaintBox32::DoPaintBuffer() { FBufferValid = true; }

void TCustomPaintBox32::DoPaintGDIOverlay() {
    if (OnGDIOverlay) OnGDIOverlay(this);
}

void TCustomPaintBox32::Paint() {
    ResizeBuffer();
    if (!FBufferValid) DoPaintBuffer();
    TRect vp = GetViewportRect();
    FBuffer->Lock();
    BitBlt(Canvas()->Handle(), vp.Left, vp.Top, vp.Width(), vp.Height(), FBuffer->DC(), 0, 0,
           SRCCOPY);
    FBuffer->Unlock();
    DoPaintGDIOverlay();
}

void TCustomPaintBox32::Resize() {
    FBufferValid = false;
    TCustomControl::Resize();
}

void TCustomPaintBox32::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    if ((FOptions.Contains(pboAutoFocus) || TabStop()) && CanFocus()) SetFocus();
    TCustomControl::MouseDown(button, shift, x, y);
}

void TCustomPaintBox32::Dispatch(TMessage& message) {
    switch (message.Msg) {
    case WM_ERASEBKGND:
        message.Result = 1; // the buffer covers the whole client area
        return;
    case WM_GETDLGCODE:
        if (FOptions.Contains(pboWantArrowKeys)) {
            message.Result = DLGC_WANTARROWS;
            return;
        }
        break;
    default:
        break;
    }
    TCustomControl::Dispatch(message);
}

// ---- TPaintStages -----------------------------------------------------------------------------

TPaintStage* TPaintStages::Add() {
    FItems.emplace_back();
    return &FItems.back();
}

TPaintStage* TPaintStages::Insert(int index) {
    index = ClampInt(index, 0, Count());
    return &*FItems.insert(FItems.begin() + index, TPaintStage());
}

void TPaintStages::Delete(int index) {
    if (index >= 0 && index < Count()) FItems.erase(FItems.begin() + index);
}

// ---- TCustomImage32 ---------------------------------------------------------------------------

TCustomImage32::TCustomImage32(TComponent* owner)
    : TCustomPaintBox32(owner), FBitmap(std::make_unique<TBitmap32>()),
      FLayers(std::make_unique<TLayerCollection>(this)),
      FPaintStages(std::make_unique<TPaintStages>()) {
    FBitmap->OnChange = [this](TObject*) { Changed(); };
    FBitmap->OnResize = [this](TObject*) { BitmapResized(); };
    FLayers->OnChange = [this](TObject*) { Changed(); };
    FLayers->OnGDIUpdate = [this](TObject*) {
        if (HandleAllocated()) Repaint();
    };
    InitDefaultStages();
}

TCustomImage32::~TCustomImage32() {
    FBitmap->OnChange = nullptr;
    FBitmap->OnResize = nullptr;
    FLayers->OnChange = nullptr;
    FLayers->OnGDIUpdate = nullptr;
    FLayers.reset();
}

void TCustomImage32::InitDefaultStages() {
    auto add = [&](bool dsgn, bool run, uint32_t stage, uint32_t param = 0) {
        TPaintStage* s = FPaintStages->Add();
        s->DsgnTime = dsgn;
        s->RunTime = run;
        s->Stage = stage;
        s->Parameter = param;
    };
    add(true, true, PST_CLEAR_BACKGND);
    add(true, false, PST_CONTROL_FRAME);
    add(true, true, PST_DRAW_BITMAP);
    add(true, false, PST_BITMAP_FRAME);
    add(true, true, PST_DRAW_LAYERS, LOB_VISIBLE);
    if (OnInitStages) OnInitStages(this);
}

void TCustomImage32::EndUpdate() {
    Assert(FUpdateCount > 0, "Unpaired EndUpdate call");
    --FUpdateCount;
}

void TCustomImage32::Changed() {
    if (FUpdateCount != 0) return;
    Invalidate();
    if (OnChange) OnChange(this);
}

void TCustomImage32::SetBitmapAlign(TBitmapAlign value) {
    if (value == FBitmapAlign) return;
    InvalidateCache();
    FBitmapAlign = value;
    Changed();
}

void TCustomImage32::SetOffsetHorz(float value) {
    if (value == FOffsetHorz) return;
    InvalidateCache();
    FOffsetHorz = value;
    Changed();
}

void TCustomImage32::SetOffsetVert(float value) {
    if (value == FOffsetVert) return;
    InvalidateCache();
    FOffsetVert = value;
    Changed();
}

void TCustomImage32::SetScale(float value) {
    if (value <= 0.001f) value = 0.001f;
    if (value == FScale) return;
    InvalidateCache();
    FScale = value;
    DoScaleChange();
    Changed();
}

void TCustomImage32::SetScaleMode(TScaleMode value) {
    if (value == FScaleMode) return;
    InvalidateCache();
    FScaleMode = value;
    Changed();
}

void TCustomImage32::SetAutoSize(bool value) {
    if (value == FAutoSize) return;
    FAutoSize = value;
    if (value) BitmapResized();
}

TSize TCustomImage32::GetBitmapSize() {
    if (FBitmap->IsEmpty() || Width() == 0 || Height() == 0) return {0, 0};
    const int bw = FBitmap->Width(), bh = FBitmap->Height();
    const int cw = ClientWidth(), ch = ClientHeight();
    TSize s;
    switch (FScaleMode) {
    case smNormal:
        s = {bw, bh};
        break;
    case smStretch:
        s = {cw, ch};
        break;
    case smScale:
        s = {Round(bw * double(FScale)), Round(bh * double(FScale))};
        break;
    case smResize: {
        double rx = double(cw) / bw, ry = double(ch) / bh;
        if (rx < ry)
            s = {cw, Round(bh * rx)};
        else
            s = {Round(bw * ry), ch};
        break;
    }
    }
    if (s.cx < 0) s.cx = 0;
    if (s.cy < 0) s.cy = 0;
    return s;
}

TRect TCustomImage32::GetBitmapRect() {
    TSize s = GetBitmapSize();
    TRect r(0, 0, s.cx, s.cy);
    if (FBitmapAlign == baCenter)
        OffsetIntRect(r, (ClientWidth() - s.cx) / 2, (ClientHeight() - s.cy) / 2);
    else if (FBitmapAlign == baCustom)
        OffsetIntRect(r, Round(FOffsetHorz), Round(FOffsetVert));
    return r;
}

const TImageCache& TCustomImage32::Cache() {
    if (FCacheValid) return FCache;
    FCache = TImageCache();
    FCache.BitmapRect = GetBitmapRect();
    // A picture rectangle with no area (a control of zero size, a tiny scale) maps like an
    // empty bitmap instead of dividing by its size.
    if (!FBitmap->IsEmpty() && !IsIntRectEmpty(FCache.BitmapRect)) {
        const TRect& r = FCache.BitmapRect;
        FCache.ShiftX = r.Left;
        FCache.ShiftY = r.Top;
        FCache.ScaleX = MulDiv(r.Width(), 65536, FBitmap->Width());
        FCache.ScaleY = MulDiv(r.Height(), 65536, FBitmap->Height());
        FCache.RevScaleX = MulDiv(FBitmap->Width(), 65536, r.Width());
        FCache.RevScaleY = MulDiv(FBitmap->Height(), 65536, r.Height());
    }
    FCacheValid = true;
    return FCache;
}

TPoint TCustomImage32::ClientToBitmapPoint(const TPoint& p) {
    const TImageCache& c = Cache();
    return {int32_t((int64_t(p.X) - c.ShiftX) * c.RevScaleX / 65536),
            int32_t((int64_t(p.Y) - c.ShiftY) * c.RevScaleY / 65536)};
}

void TCustomImage32::BitmapResized() {
    // The handler runs inside an update bracket, so what it changes repaints once afterwards.
    BeginUpdate();
    {
        auto cleanup = Finally([&] { EndUpdate(); });
        // A stored view keeps its stored bounds: the bitmap is read before the scale is.
        if (FAutoSize && !FBitmap->IsEmpty() && !Loading()) {
            int w = FBitmap->Width(), h = FBitmap->Height();
            if (FScaleMode == smScale) {
                w = Round(w * double(FScale));
                h = Round(h * double(FScale));
            }
            if (w >= 1 && h >= 1) SetBounds(Left(), Top(), w, h);
        }
        if (OnBitmapResize) OnBitmapResize(this);
    }
    InvalidateCache();
    Changed();
}

void TCustomImage32::Resize() {
    InvalidateCache();
    TCustomPaintBox32::Resize();
}

void TCustomImage32::DoPaintBuffer() {
    Cache();
    const bool designing = ComponentState().Contains(TComponentStateItem::csDesigning);
    for (int i = 0; i < FPaintStages->Count(); ++i) {
        const TPaintStage& s = FPaintStages->Items(i);
        if (!(designing ? s.DsgnTime : s.RunTime)) continue;
        switch (s.Stage) {
        case PST_CUSTOM:
            if (OnPaintStage) OnPaintStage(this, FBuffer.get(), uint32_t(i));
            break;
        case PST_CLEAR_BUFFER:
            ExecClearBuffer(FBuffer.get());
            break;
        case PST_CLEAR_BACKGND:
            ExecClearBackgnd(FBuffer.get());
            break;
        case PST_DRAW_BITMAP:
            ExecDrawBitmap(FBuffer.get());
            break;
        case PST_DRAW_LAYERS:
            ExecDrawLayers(FBuffer.get(), s.Parameter);
            break;
        case PST_CONTROL_FRAME:
            ExecControlFrame(FBuffer.get());
            break;
        case PST_BITMAP_FRAME:
            ExecBitmapFrame(FBuffer.get());
            break;
        default:
            break;
        }
    }
    TCustomPaintBox32::DoPaintBuffer();
}

void TCustomImage32::ExecClearBuffer(TBitmap32* dest) {
    dest->Clear(Color32(Color()));
}

void TCustomImage32::ExecClearBackgnd(TBitmap32* dest) {
    const TColor32 c = Color32(Color());
    if (FBitmap->IsEmpty() || FBitmap->DrawMode() != dmOpaque) {
        dest->Clear(c);
        return;
    }
    const TRect r = Cache().BitmapRect;
    const int w = Width(), h = Height();
    if ((r.Left < 1 && r.Right >= w && r.Top < 1 && r.Bottom >= h) || FBitmapAlign == baTile)
        return;
    dest->FillRectClipped(0, 0, w, r.Top, c);
    dest->FillRectClipped(0, r.Bottom, w, h, c);
    dest->FillRectClipped(0, r.Top, r.Left, r.Bottom, c);
    dest->FillRectClipped(r.Right, r.Top, w, r.Bottom, c);
}

void TCustomImage32::ExecDrawBitmap(TBitmap32* dest) {
    const TRect r = Cache().BitmapRect;
    if (FBitmap->IsEmpty() || IsIntRectEmpty(r)) return;
    FBitmap->Lock();
    auto unlock = Finally([&] { FBitmap->Unlock(); });
    if (FBitmapAlign == baTile) {
        for (int i = 0; i <= dest->Width() / r.Right; ++i)
            for (int j = 0; j <= dest->Height() / r.Bottom; ++j) {
                TRect t = r;
                OffsetIntRect(t, i * r.Right, j * r.Bottom);
                FBitmap->DrawToBitmapRect(dest, t);
            }
    } else {
        FBitmap->DrawToBitmapRect(dest, r);
    }
}

void TCustomImage32::ExecDrawLayers(TBitmap32* dest, uint32_t parameter) {
    for (int i = 0; i < FLayers->Count(); ++i) {
        TCustomLayer* layer = FLayers->Items(i);
        if ((layer->LayerOptions() & parameter) == 0) continue;
        layer->Paint(dest);
        if (layer->OnPaint) layer->OnPaint(layer, dest);
    }
}

namespace {

// A dotted frame of alternating black and white pixels.
void DottedFrame(TBitmap32* dest, TRect r) {
    if (IsIntRectEmpty(r)) return;
    auto dot = [&](int x, int y) {
        if (x >= 0 && y >= 0 && x < dest->Width() && y < dest->Height())
            dest->SetPixel(x, y, ((x + y) & 1) ? clWhite32 : clBlack32);
    };
    for (int x = r.Left; x < r.Right; ++x) {
        dot(x, r.Top);
        dot(x, r.Bottom - 1);
    }
    for (int y = r.Top; y < r.Bottom; ++y) {
        dot(r.Left, y);
        dot(r.Right - 1, y);
    }
}

}  // namespace

void TCustomImage32::ExecControlFrame(TBitmap32* dest) {
    DottedFrame(dest, TRect(0, 0, Width(), Height()));
}

void TCustomImage32::ExecBitmapFrame(TBitmap32* dest) {
    DottedFrame(dest, Cache().BitmapRect);
}

void TCustomImage32::DoPaintGDIOverlay() {
    for (int i = 0; i < FLayers->Count(); ++i) {
        TCustomLayer* layer = FLayers->Items(i);
        if (layer->LayerOptions() & LOB_GDI_OVERLAY) layer->PaintGDI(Canvas());
    }
    TCustomPaintBox32::DoPaintGDIOverlay();
}

void TCustomImage32::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    if ((FOptions.Contains(pboAutoFocus) || TabStop()) && CanFocus()) SetFocus();
    TCustomLayer* layer = nullptr;
    if (FLayers->MouseEvents()) layer = FLayers->MouseDown(button, shift, x, y);
    if (FLayers->MouseListener() && HandleAllocated()) SetCapture(Handle());
    if (OnMouseDown) OnMouseDown(this, button, shift, x, y, layer);
}

void TCustomImage32::MouseMove(TShiftState shift, int x, int y) {
    TCustomLayer* layer = nullptr;
    if (FLayers->MouseEvents()) {
        layer = FLayers->MouseMove(shift, x, y);
        if (!layer && Screen) Screen->SetCursor(Cursor());
    }
    if (OnMouseMove) OnMouseMove(this, shift, x, y, layer);
}

void TCustomImage32::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
    TCustomLayer* layer = nullptr;
    const bool hadListener = FLayers->MouseListener() != nullptr;
    if (FLayers->MouseEvents()) layer = FLayers->MouseUp(button, shift, x, y);
    if (hadListener && !FLayers->MouseListener()) ReleaseCapture();
    if (OnMouseUp) OnMouseUp(this, button, shift, x, y, layer);
}

void TCustomImage32::Dispatch(TMessage& message) {
    if (message.Msg == CM_MOUSELEAVE && FLayers->MouseEvents() && !FLayers->MouseListener() &&
        Screen)
        Screen->SetCursor(crDefault);
    TCustomPaintBox32::Dispatch(message);
}

// ---- TCustomScrollView32 ----------------------------------------------------------------------

namespace {
// The view's published properties: the framework's common ones by name, then its own; forms
// holding a view create it by name.
const bool ScrollView32Registered = [] {
    RegisterPublishedClass("TCustomPaintBox32", "TCustomControl");
    RegisterPublishedClass("TCustomImage32", "TCustomPaintBox32");
    RegisterPublishedClass("TCustomScrollView32", "TCustomImage32");
    using V = TScrollView32;
    PublishControlProperties("TScrollView32", "TCustomScrollView32", {"Align", "Anchors"});
    TPublished<V>("TScrollView32", "TCustomScrollView32")
        .Boolean("AutoSize", &V::AutoSize, &V::SetAutoSize, false)
        .Object("Bitmap", &V::Bitmap);
    PublishControlProperties("TScrollView32", "TCustomScrollView32",
                             {"Color", "Constraints", "Cursor", "DragCursor", "ParentColor",
                              "ParentShowHint", "PopupMenu"});
    TPublished<V>("TScrollView32", "TCustomScrollView32")
        .Float("Scale", &V::Scale, &V::SetScale, 1.0);
    PublishControlProperties("TScrollView32", "TCustomScrollView32",
                             {"ShowHint", "TabOrder", "TabStop", "Visible"});
    TPublished<V>("TScrollView32", "TCustomScrollView32")
        .Boolean("Border", &V::Border, &V::SetBorder, true)
        .Boolean("Centered", &V::Centered, &V::SetCentered, true)
        .Boolean("ScrollBars", &V::ScrollBars, &V::SetScrollBars, true);
    PublishControlProperties("TScrollView32", "TCustomScrollView32",
                             {"Ctl3D",        "ParentCtl3D",      "OnBitmapResize", "OnCanResize",
                              "OnClick",      "OnChange",         "OnDblClick",     "OnDragDrop",
                              "OnDragOver",   "OnEndDrag",        "OnGDIOverlay",   "OnInitStages",
                              "OnKeyDown",    "OnKeyPress",       "OnKeyUp",        "OnMouseDown",
                              "OnMouseEnter", "OnMouseLeave",     "OnMouseMove",    "OnMouseUp",
                              "OnMouseWheel", "OnMouseWheelDown", "OnMouseWheelUp", "OnPaintStage",
                              "OnResize",     "OnScroll",         "OnStartDrag"});
    RegisterClass<TScrollView32>("TScrollView32");
    return true;
}();
}  // namespace

TCustomScrollView32::TCustomScrollView32(TComponent* owner) : TCustomImage32(owner) {
    FScaleMode = smScale;
    FBitmapAlign = baCustom;
}

void TCustomScrollView32::CreateParams(TCreateParams& params) {
    TCustomImage32::CreateParams(params);
    if (FScrollBars) params.Style |= WS_HSCROLL | WS_VSCROLL;
    if (FBorder) {
        if (Ctl3D())
            params.ExStyle |= WS_EX_CLIENTEDGE;
        else
            params.Style |= WS_BORDER;
    }
}

void TCustomScrollView32::SetBorder(bool value) {
    if (value == FBorder) return;
    FBorder = value;
    if (HandleAllocated()) RecreateWnd();
}

void TCustomScrollView32::SetScrollBars(bool value) {
    if (value == FScrollBars) return;
    FScrollBars = value;
    if (HandleAllocated()) RecreateWnd();
}

void TCustomScrollView32::SetCentered(bool value) {
    FCentered = value;
    if (value)
        ScrollToCenter(FBitmap->Width() / 2, FBitmap->Height() / 2);
    else
        ScrollToCenter(0, 0);
}

void TCustomScrollView32::Loaded() {
    TCustomImage32::Loaded();
    if (FCentered) ScrollToCenter(FBitmap->Width() / 2, FBitmap->Height() / 2);
}

void TCustomScrollView32::UpdateScrollBars() {
    if (!HandleAllocated()) return;
    // Showing or hiding a bar changes the client size, which comes back here through Resize;
    // that inner call only asks for another round with the new size.
    if (FUpdatingBars) {
        FBarsPending = true;
        return;
    }
    FUpdatingBars = true;
    auto bar = [&](int which, int size, int client, float offset) {
        SCROLLINFO si;
        si.nMin = 0;
        si.nMax = size - 1;
        si.nPage = uint32_t(std::max(client, 0));
        if (client < size) {
            si.fMask = SIF_ALL;
            si.nPos = std::min(Trunc(-offset / FOldScale * FScale), size + 1 - client);
        } else {
            si.fMask = SIF_RANGE | SIF_PAGE;
        }
        SetScrollInfo(Handle(), which, &si, true);
    };
    {
        auto cleanup = Finally([&] { FUpdatingBars = false; });
        for (int round = 0; round < 4; ++round) {
            FBarsPending = false;
            const TSize picture = GetBitmapSize();
            bar(SB_HORZ, picture.cx, ClientWidth(), FOffsetHorz);
            bar(SB_VERT, picture.cy, ClientHeight(), FOffsetVert);
            if (!FBarsPending) break;
        }
    }
    UpdateOffsets();
}

void TCustomScrollView32::UpdateOffsets() {
    if (!HandleAllocated()) return;
    const TSize picture = GetBitmapSize();
    const int cw = ClientWidth(), ch = ClientHeight();
    if (FCentered && picture.cx < cw)
        FOffsetHorz = float(cw - picture.cx) / 2;
    else
        FOffsetHorz = float(-GetScrollPos(Handle(), SB_HORZ));
    if (FCentered && picture.cy < ch)
        FOffsetVert = float(ch - picture.cy) / 2;
    else
        FOffsetVert = float(-GetScrollPos(Handle(), SB_VERT));
    FOldScale = FScale;
    InvalidateCache();
    if (OnScroll) OnScroll(this);
    Invalidate();
}

void TCustomScrollView32::Resize() {
    TCustomImage32::Resize();
    UpdateScrollBars();
}

void TCustomScrollView32::DoScaleChange() {
    TCustomImage32::DoScaleChange();
    UpdateScrollBars();
}

void TCustomScrollView32::BitmapResized() {
    TCustomImage32::BitmapResized();
    UpdateScrollBars();
}

void TCustomScrollView32::Scroll(int bar, int code, int thumb) {
    SCROLLINFO si;
    si.fMask = SIF_ALL;
    GetScrollInfo(Handle(), bar, &si);
    int pos = si.nPos;
    const int last = si.nMax;
    switch (code) {
    case SB_LINEUP:
        pos -= 10;
        break;
    case SB_LINEDOWN:
        pos = std::min(pos + 10, last);
        break;
    case SB_PAGEUP:
        pos -= int(si.nPage);
        break;
    case SB_PAGEDOWN:
        pos = std::min(pos + int(si.nPage), last);
        break;
    case SB_THUMBPOSITION:
    case SB_THUMBTRACK:
        pos = thumb;
        break;
    default:
        return;
    }
    if (pos < 0) pos = 0;
    SetScrollPos(Handle(), bar, pos, true);
    UpdateOffsets();
    Repaint();
}

void TCustomScrollView32::ScrollBy(int dx, int dy) {
    if (!HandleAllocated()) return;
    FScrolling = true;
    auto move = [&](int bar, int delta) {
        SCROLLINFO si;
        si.fMask = SIF_ALL;
        GetScrollInfo(Handle(), bar, &si);
        int high = std::max(0, si.nMax - int(si.nPage));
        SetScrollPos(Handle(), bar, ClampInt(si.nPos + delta, 0, high), true);
    };
    move(SB_VERT, dy);
    move(SB_HORZ, dx);
    FScrolling = false;
    UpdateOffsets();
    Repaint();
}

void TCustomScrollView32::ScrollToCenter(int x, int y) {
    if (!HandleAllocated() || FBitmap->IsEmpty()) return;
    const TSize picture = GetBitmapSize();
    FScrolling = true;
    SetScrollPos(Handle(), SB_VERT,
                 Round(double(y) / FBitmap->Height() * (picture.cy + 1 - ClientHeight())), true);
    SetScrollPos(Handle(), SB_HORZ,
                 Round(double(x) / FBitmap->Width() * (picture.cx + 1 - ClientWidth())), true);
    FScrolling = false;
    UpdateOffsets();
    Repaint();
}

void TCustomScrollView32::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    if (CanFocus() && !Focused()) SetFocus();
    TCustomImage32::MouseDown(button, shift, x, y);
}

bool TCustomScrollView32::DoMouseWheel(TShiftState shift, int wheelDelta, TPoint mousePos) {
    bool handled = TCustomImage32::DoMouseWheel(shift, wheelDelta, mousePos);
    if (handled) return true;
    const int steps = Trunc(wheelDelta / 120.0);
    if (shift.Contains(ssShift))
        ScrollBy(-steps * 30, 0);
    else
        ScrollBy(0, -steps * 30);
    return true;
}

void TCustomScrollView32::Dispatch(TMessage& message) {
    switch (message.Msg) {
    case WM_HSCROLL:
    case WM_VSCROLL:
        if (!FScrolling && HandleAllocated())
            Scroll(message.Msg == WM_HSCROLL ? SB_HORZ : SB_VERT, message.WParamLo(),
                   int(message.WParamHi()));
        message.Result = 0;
        return;
    case WM_NCPAINT:
        TCustomImage32::Dispatch(message);
        if (FBorder && !Ctl3D() && HandleAllocated()) {
            // A one-pixel shadow line just inside the window's edge.
            HDC dc = GetWindowDC(Handle());
            if (dc) {
                HBRUSH brush = CreateSolidBrush(ColorToRGB(clBtnShadow));
                RECT r{0, 0, Width(), Height()};
                FrameRect(dc, &r, brush);
                DeleteObject(brush);
                ReleaseDC(Handle(), dc);
            }
        }
        return;
    default:
        break;
    }
    TCustomImage32::Dispatch(message);
}

}  // namespace epc
