// TControl: bounds, appearance properties, message routing and the mouse methods.

#include "platform/controls/Controls.h"

#include <algorithm>

#include "platform/controls/ControlStreaming.h"
#include "platform/controls/ControlsState.h"

namespace epc {

namespace {
// Every program with controls can store them in component streams.
[[maybe_unused]] const bool ControlPropertiesRegistered = (RegisterControlProperties(), true);
} // namespace

// ---- Shift states ----------------------------------------------------------------------------

TShiftState KeysToShiftState(WPARAM keys) {
    TShiftState s;
    if (keys & MK_SHIFT) s.Include(ssShift);
    if (keys & MK_CONTROL) s.Include(ssCtrl);
    if (keys & MK_LBUTTON) s.Include(ssLeft);
    if (keys & MK_RBUTTON) s.Include(ssRight);
    if (keys & MK_MBUTTON) s.Include(ssMiddle);
    if (GetKeyState(VK_MENU) < 0) s.Include(ssAlt);
    return s;
}

TShiftState KeyDataToShiftState(LPARAM keyData) {
    TShiftState s;
    if (GetKeyState(VK_SHIFT) < 0) s.Include(ssShift);
    if (GetKeyState(VK_CONTROL) < 0) s.Include(ssCtrl);
    if (keyData & (1 << 29)) s.Include(ssAlt);
    return s;
}

TShiftState GetShiftState() {
    TShiftState s;
    if (GetKeyState(VK_SHIFT) < 0) s.Include(ssShift);
    if (GetKeyState(VK_CONTROL) < 0) s.Include(ssCtrl);
    if (GetKeyState(VK_MENU) < 0) s.Include(ssAlt);
    if (GetKeyState(VK_LBUTTON) < 0) s.Include(ssLeft);
    if (GetKeyState(VK_RBUTTON) < 0) s.Include(ssRight);
    if (GetKeyState(VK_MBUTTON) < 0) s.Include(ssMiddle);
    return s;
}

// ---- Size constraints ------------------------------------------------------------------------

void TSizeConstraints::Assign(TPersistent* source) {
    if (auto* s = dynamic_cast<TSizeConstraints*>(source)) {
        FMinWidth = s->FMinWidth;
        FMinHeight = s->FMinHeight;
        FMaxWidth = s->FMaxWidth;
        FMaxHeight = s->FMaxHeight;
        Changed();
        return;
    }
    TPersistent::Assign(source);
}

void TSizeConstraints::SetMinWidth(int v) {
    if (v == FMinWidth) return;
    FMinWidth = std::max(0, v);
    if (FMaxWidth > 0 && FMaxWidth < FMinWidth) FMaxWidth = FMinWidth;
    Changed();
}
void TSizeConstraints::SetMinHeight(int v) {
    if (v == FMinHeight) return;
    FMinHeight = std::max(0, v);
    if (FMaxHeight > 0 && FMaxHeight < FMinHeight) FMaxHeight = FMinHeight;
    Changed();
}
void TSizeConstraints::SetMaxWidth(int v) {
    if (v == FMaxWidth) return;
    FMaxWidth = std::max(0, v);
    if (FMaxWidth > 0 && FMinWidth > FMaxWidth) FMinWidth = FMaxWidth;
    Changed();
}
void TSizeConstraints::SetMaxHeight(int v) {
    if (v == FMaxHeight) return;
    FMaxHeight = std::max(0, v);
    if (FMaxHeight > 0 && FMinHeight > FMaxHeight) FMinHeight = FMaxHeight;
    Changed();
}

void TSizeConstraints::Changed() {
    if (FControl) FControl->SetBounds(FControl->Left(), FControl->Top(), FControl->Width(),
                                      FControl->Height());
    if (OnChange) OnChange(this);
}

// ---- TControl --------------------------------------------------------------------------------

static TPopupHandler& PopupHandler() {
    return ControlsState().PopupHandler;
}

void SetPopupHandler(TPopupHandler handler) { PopupHandler() = std::move(handler); }

TControl::TControl(TComponent* owner) : TComponent(owner) {
    InitializeForms();
    FFont = std::make_unique<TFont>();
    FFont->OnChange = [this](TObject*) {
        if (FUpdatingFont) return;
        FParentFont = false;
        FontChanged();
    };
    FConstraints = std::make_unique<TSizeConstraints>(this);
    FWindowProc = DefaultWindowProc();
}

TWndMethod TControl::DefaultWindowProc() {
    return [this](TMessage& m) { WndProc(m); };
}

TControl::~TControl() {
    if (Application) Application->ControlDestroyed(this);
    if (CurrentDragControl() == this) CancelDrag();
    if (FParent && !FParent->Destroying()) FParent->RemoveControl(this);
    else if (FParent) {
        auto& list = FParent->FControls;
        list.erase(std::remove(list.begin(), list.end(), this), list.end());
    }
    FParent = nullptr;
}

TComponent* TControl::GetParentComponent() const { return FParent; }

void TControl::SetParentComponent(TComponent* value) {
    if (auto* w = dynamic_cast<TWinControl*>(value)) SetParent(w);
}

void TControl::SetParent(TWinControl* parent) {
    if (FParent == parent) return;
    if (parent == this) throw EInvalidOperation("A control cannot have itself as its parent");
    if (FParent) FParent->RemoveControl(this);
    if (parent) parent->InsertControl(this);
}

void TControl::SetBounds(int left, int top, int width, int height) {
    DoConstraints(width, height);
    if (left == FLeft && top == FTop && width == FWidth && height == FHeight) return;
    bool sized = width != FWidth || height != FHeight;
    InvalidateControl(Visible(), FControlStyle.Contains(csOpaque));
    FLeft = left;
    FTop = top;
    FWidth = width;
    FHeight = height;
    InvalidateControl(Visible(), FControlStyle.Contains(csOpaque));
    UpdateAnchorRules();
    RequestAlign();
    if (sized) Resize();
}

void TControl::DoConstraints(int& width, int& height) {
    int minW = FConstraints->MinWidth(), minH = FConstraints->MinHeight();
    int maxW = FConstraints->MaxWidth(), maxH = FConstraints->MaxHeight();
    ConstrainedResize(minW, minH, maxW, maxH);
    if (maxW > 0 && width > maxW) width = maxW;
    if (minW > 0 && width < minW) width = minW;
    if (maxH > 0 && height > maxH) height = maxH;
    if (minH > 0 && height < minH) height = minH;
    width = std::max(0, width);
    height = std::max(0, height);
}

void TControl::UpdateBoundsRect(const TRect& r) {
    FLeft = r.Left;
    FTop = r.Top;
    FWidth = r.Width();
    FHeight = r.Height();
    UpdateAnchorRules();
}

void TControl::UpdateAnchorRules() {
    if (!FParent || FParent->FAligning) return;
    // Measured without making the parent's window.
    TRect pc = FParent->HandleAllocated() ? FParent->ClientRect()
                                          : TRect(0, 0, FParent->Width(), FParent->Height());
    FAnchorRules = TPoint(pc.Width() - (FLeft + FWidth), pc.Height() - (FTop + FHeight));
    FOriginalParentSize = TSize(pc.Width(), pc.Height());
}

TRect TControl::ClientRect() { return TRect(0, 0, FWidth, FHeight); }

void TControl::SetClientWidth(int v) { SetWidth(v + (FWidth - ClientWidth())); }
void TControl::SetClientHeight(int v) { SetHeight(v + (FHeight - ClientHeight())); }

TPoint TControl::ClientOrigin() {
    if (!FParent) return TPoint(FLeft, FTop);
    TPoint p = FParent->ClientOrigin();
    return TPoint(p.X + FLeft, p.Y + FTop);
}

TPoint TControl::ClientToScreen(TPoint p) {
    TPoint o = ClientOrigin();
    return TPoint(p.X + o.X, p.Y + o.Y);
}

TPoint TControl::ScreenToClient(TPoint p) {
    TPoint o = ClientOrigin();
    return TPoint(p.X - o.X, p.Y - o.Y);
}

void TControl::SetVisible(bool v) {
    if (FVisible == v) return;
    VisibleChanging();
    FVisible = v;
    Perform(CM_VISIBLECHANGED, v ? 1 : 0, 0);
    RequestAlign();
}

bool TControl::Showing() const { return FVisible && FParent && FParent->Showing(); }

void TControl::SetEnabled(bool v) {
    if (FEnabled == v) return;
    FEnabled = v;
    Perform(CM_ENABLEDCHANGED, 0, 0);
}

void TControl::SetColor(TColor v) {
    if (FColor == v) {
        FParentColor = false;
        return;
    }
    FColor = v;
    FParentColor = false;
    Perform(CM_COLORCHANGED, 0, 0);
}

void TControl::SetParentColor(bool v) {
    if (FParentColor == v) return;
    FParentColor = v;
    if (FParent && v) Perform(CM_PARENTCOLORCHANGED, 0, 0);
}

void TControl::SetParentFont(bool v) {
    if (FParentFont == v) return;
    FParentFont = v;
    if (FParent && v) Perform(CM_PARENTFONTCHANGED, 0, 0);
}

void TControl::FontChanged() { Perform(CM_FONTCHANGED, 0, 0); }

void TControl::SetCursor(TCursor v) {
    if (FCursor == v) return;
    FCursor = v;
    Perform(CM_CURSORCHANGED, 0, 0);
}

void TControl::SetShowHint(bool v) {
    FShowHint = v;
    FParentShowHint = false;
}

void TControl::SetParentShowHint(bool v) {
    FParentShowHint = v;
    if (v && FParent) FShowHint = FParent->ShowHint();
}

void TControl::SetAlign(TAlign v) {
    if (FAlign == v) return;
    FAlign = v;
    if (v != alNone && v != alCustom) {
        if (v == alLeft || v == alRight || v == alClient) FAnchors = {akLeft, akTop, akBottom};
        if (v == alTop || v == alBottom) FAnchors = {akLeft, akTop, akRight};
        if (v == alClient) FAnchors = {akLeft, akTop, akRight, akBottom};
    }
    RequestAlign();
}

void TControl::SetAnchors(TAnchors v) {
    FAnchors = v;
    UpdateAnchorRules();
}

void TControl::SetCtl3D(bool v) {
    if (FCtl3D == v) return;
    FCtl3D = v;
    FParentCtl3D = false;
    Perform(CM_CTL3DCHANGED, 0, 0);
}

void TControl::SetBiDiMode(TBiDiMode v) {
    if (FBiDiMode == v) return;
    FBiDiMode = v;
    FParentBiDiMode = false;
    Perform(CM_BIDIMODECHANGED, 0, 0);
}

void TControl::SetText(const std::string& v) {
    if (GetText() == v) return;
    SetTextBuf(v);
}

void TControl::SetTextBuf(const std::string& v) {
    FText = v;
    Perform(CM_TEXTCHANGED, 0, 0);
}

void TControl::Invalidate() { InvalidateControl(Visible(), FControlStyle.Contains(csOpaque)); }

void TControl::InvalidateControl(bool isVisible, bool isOpaque) {
    if (!isVisible || !FParent || !FParent->HandleAllocated() || FParent->Destroying()) return;
    TRect r = BoundsRect();
    InvalidateRect(FParent->Handle(), &r, isOpaque ? 0 : 1);
}

void TControl::Update() {
    if (FParent && FParent->HandleAllocated()) FParent->Update();
}

void TControl::Repaint() {
    Invalidate();
    Update();
}

void TControl::BringToFront() {
    if (!FParent) return;
    auto& list = FParent->FControls;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
    list.push_back(this);
    if (auto* w = dynamic_cast<TWinControl*>(this); w && w->HandleAllocated())
        SetWindowPos(w->Handle(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    Invalidate();
}

void TControl::SendToBack() {
    if (!FParent) return;
    auto& list = FParent->FControls;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
    list.insert(list.begin(), this);
    if (auto* w = dynamic_cast<TWinControl*>(this); w && w->HandleAllocated())
        SetWindowPos(w->Handle(), HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    Invalidate();
}

void TControl::RequestAlign() {
    if (FParent && !FParent->Destroying()) FParent->Realign();
}

void TControl::Resize() {
    if (OnResize) OnResize(this);
}

void TControl::Click() {
    if (OnClick) OnClick(this);
}

void TControl::DblClick() {
    if (OnDblClick) OnDblClick(this);
}

// ---- Mouse -----------------------------------------------------------------------------------

void TControl::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    if (OnMouseDown) OnMouseDown(this, button, shift, x, y);
}

void TControl::MouseMove(TShiftState shift, int x, int y) {
    if (OnMouseMove) OnMouseMove(this, shift, x, y);
}

void TControl::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
    if (OnMouseUp) OnMouseUp(this, button, shift, x, y);
}

bool TControl::DoMouseWheel(TShiftState shift, int wheelDelta, TPoint mousePos) {
    bool handled = false;
    if (OnMouseWheel) OnMouseWheel(this, shift, wheelDelta, mousePos, handled);
    if (!handled) {
        if (wheelDelta < 0) handled = DoMouseWheelDown(shift, mousePos);
        else if (wheelDelta > 0) handled = DoMouseWheelUp(shift, mousePos);
    }
    return handled;
}

bool TControl::DoMouseWheelDown(TShiftState shift, TPoint mousePos) {
    bool handled = false;
    if (OnMouseWheelDown) OnMouseWheelDown(this, shift, mousePos, handled);
    return handled;
}

bool TControl::DoMouseWheelUp(TShiftState shift, TPoint mousePos) {
    bool handled = false;
    if (OnMouseWheelUp) OnMouseWheelUp(this, shift, mousePos, handled);
    return handled;
}

void TControl::DoContextPopup(TPoint mousePos, bool& handled) {
    if (OnContextPopup) OnContextPopup(this, mousePos, handled);
}

void TControl::SendCancelMode() {
    // Tells the focused window of the form to leave any mode (a drop-down, a drag).
    HWND f = GetFocus();
    if (f && (!dynamic_cast<TWinControl*>(this) ||
              f != static_cast<TWinControl*>(this)->FHandle))
        SendMessage(f, WM_CANCELMODE, 0, 0);
}

void TControl::DoMouseDown(TMessage& message, TMouseButton button, TShiftState shift) {
    if (FControlStyle.Contains(csNoStdEvents)) return;
    TShiftState s = KeysToShiftState(message.WParam) | shift;
    MouseDown(button, s, message.XPos(), message.YPos());
}

void TControl::DoMouseUp(TMessage& message, TMouseButton button) {
    if (FControlStyle.Contains(csNoStdEvents)) return;
    MouseUp(button, KeysToShiftState(message.WParam), message.XPos(), message.YPos());
}

void TControl::WMLButtonDown(TMessage& message) {
    SendCancelMode();
    DefaultHandler(message);
    if (FControlStyle.Contains(csCaptureMouse)) SetMouseCapture(true);
    if (FControlStyle.Contains(csClickEvents)) FControlState.Include(csClicked);
    DoMouseDown(message, mbLeft, {});
}

void TControl::WMLButtonDblClk(TMessage& message) {
    SendCancelMode();
    DefaultHandler(message);
    if (FControlStyle.Contains(csCaptureMouse)) SetMouseCapture(true);
    if (FControlStyle.Contains(csClickEvents)) DblClick();
    DoMouseDown(message, mbLeft, {ssDouble});
}

void TControl::WMLButtonUp(TMessage& message) {
    DefaultHandler(message);
    if (FControlStyle.Contains(csCaptureMouse)) SetMouseCapture(false);
    if (FControlState.Contains(csClicked)) {
        FControlState.Exclude(csClicked);
        if (ClientRect().Contains(message.Pos())) Click();
    }
    DoMouseUp(message, mbLeft);
}

void TControl::WMRButtonDown(TMessage& message) {
    DefaultHandler(message);
    DoMouseDown(message, mbRight, {});
}

void TControl::WMRButtonDblClk(TMessage& message) {
    DefaultHandler(message);
    DoMouseDown(message, mbRight, {ssDouble});
}

void TControl::WMRButtonUp(TMessage& message) {
    DefaultHandler(message);
    DoMouseUp(message, mbRight);
}

void TControl::WMMButtonDown(TMessage& message) {
    DefaultHandler(message);
    DoMouseDown(message, mbMiddle, {});
}

void TControl::WMMButtonDblClk(TMessage& message) {
    DefaultHandler(message);
    DoMouseDown(message, mbMiddle, {ssDouble});
}

void TControl::WMMButtonUp(TMessage& message) {
    DefaultHandler(message);
    DoMouseUp(message, mbMiddle);
}

void TControl::WMMouseMove(TMessage& message) {
    DefaultHandler(message);
    if (!FControlStyle.Contains(csNoStdEvents))
        MouseMove(KeysToShiftState(message.WParam), message.XPos(), message.YPos());
}

// The wheel reaches the control as CM_MOUSEWHEEL first; unhandled, it goes to the parent.
// CM_MOUSEWHEEL carries the shift state as set bits in the low word and the delta in the high.
void TControl::WMMouseWheel(TMessage& message) {
    TShiftState shift = KeysToShiftState(LOWORD(message.WParam));
    TMessage cm{CM_MOUSEWHEEL, MAKEWPARAM(int(shift.Bits()), int(GET_WHEEL_DELTA_WPARAM(message.WParam))),
                message.LParam, 0};
    WindowProc()(cm);
    message.Result = cm.Result;
    if (cm.Result == 0) DefaultHandler(message);
}

void TControl::CMMouseWheel(TMessage& message) {
    TShiftState shift = TShiftState::FromBits(LOWORD(message.WParam));
    int delta = GET_WHEEL_DELTA_WPARAM(message.WParam);
    TPoint pos = LParamToPoint(message.LParam);
    if (DoMouseWheel(shift, delta, pos)) message.Result = 1;
    else if (FParent) message.Result = FParent->Perform(CM_MOUSEWHEEL, message.WParam, message.LParam);
}

void TControl::WMContextMenu(TMessage& message) {
    if (message.Result != 0) return;
    TPoint pos = LParamToPoint(message.LParam);
    TPoint client = (pos.X == -1 && pos.Y == -1) ? TPoint(-1, -1) : ScreenToClient(pos);
    bool handled = false;
    DoContextPopup(client, handled);
    message.Result = handled ? 1 : 0;
    if (handled) return;
    if (FPopupMenu && PopupHandler()) {
        if (pos.X == -1 && pos.Y == -1) pos = ClientToScreen(TPoint(0, 0));
        if (PopupHandler()(FPopupMenu, this, pos.X, pos.Y)) message.Result = 1;
    }
    if (message.Result == 0) DefaultHandler(message);
}

void TControl::CMEnabledChanged(TMessage&) { Invalidate(); }

void TControl::CMColorChanged(TMessage&) { Invalidate(); }

void TControl::CMFontChanged(TMessage&) { Invalidate(); }

void TControl::CMParentColorChanged(TMessage& message) {
    if (!FParentColor || !FParent) return;
    FColor = message.WParam ? TColor(message.LParam) : FParent->Color();
    FParentColor = true;
    Perform(CM_COLORCHANGED, 0, 0);
    FParentColor = true;
}

void TControl::CMParentFontChanged(TMessage&) {
    if (!FParentFont || !FParent) return;
    FUpdatingFont = true;
    FFont->Assign(FParent->Font());
    FUpdatingFont = false;
    FontChanged();
}

void TControl::CMVisibleChanged(TMessage&) {
    InvalidateControl(true, FVisible && FControlStyle.Contains(csOpaque));
}

void TControl::CMHitTest(TMessage& message) { message.Result = 1; }

void TControl::CMMouseEnter(TMessage&) {
    if (OnMouseEnter) OnMouseEnter(this);
}

void TControl::CMMouseLeave(TMessage&) {
    if (OnMouseLeave) OnMouseLeave(this);
}

// ---- Routing ---------------------------------------------------------------------------------

LRESULT TControl::Perform(uint32_t msg, WPARAM wParam, LPARAM lParam) {
    TMessage m{msg, wParam, lParam, 0};
    if (FWindowProc) FWindowProc(m);
    else WndProc(m);
    return m.Result;
}

void TControl::WndProc(TMessage& message) {
    uint32_t msg = message.Msg;
    if (msg >= WM_MOUSEFIRST && msg <= WM_MOUSELAST) {
        if (!FControlStyle.Contains(csDoubleClicks)) {
            if (msg == WM_LBUTTONDBLCLK) message.Msg = WM_LBUTTONDOWN;
            else if (msg == WM_RBUTTONDBLCLK) message.Msg = WM_RBUTTONDOWN;
            else if (msg == WM_MBUTTONDBLCLK) message.Msg = WM_MBUTTONDOWN;
        }
        if (msg == WM_MOUSEMOVE && Application) Application->HintMouseMessage(this, message);
        if ((message.Msg == WM_LBUTTONDOWN || message.Msg == WM_LBUTTONDBLCLK) &&
            FDragMode == dmAutomatic && FDragKind == dkDrag) {
            BeginDrag(false, -1);
            return;
        }
    }
    Dispatch(message);
}

void TControl::Dispatch(TMessage& message) {
    switch (message.Msg) {
    case WM_LBUTTONDOWN: WMLButtonDown(message); return;
    case WM_LBUTTONDBLCLK: WMLButtonDblClk(message); return;
    case WM_LBUTTONUP: WMLButtonUp(message); return;
    case WM_RBUTTONDOWN: WMRButtonDown(message); return;
    case WM_RBUTTONDBLCLK: WMRButtonDblClk(message); return;
    case WM_RBUTTONUP: WMRButtonUp(message); return;
    case WM_MBUTTONDOWN: WMMButtonDown(message); return;
    case WM_MBUTTONDBLCLK: WMMButtonDblClk(message); return;
    case WM_MBUTTONUP: WMMButtonUp(message); return;
    case WM_MOUSEMOVE: WMMouseMove(message); return;
    case WM_MOUSEWHEEL: WMMouseWheel(message); return;
    case WM_CONTEXTMENU: WMContextMenu(message); return;
    case CM_MOUSEWHEEL: CMMouseWheel(message); return;
    case CM_DRAG: CMDrag(message); return;
    case CM_ENABLEDCHANGED: CMEnabledChanged(message); return;
    case CM_COLORCHANGED: CMColorChanged(message); return;
    case CM_FONTCHANGED: CMFontChanged(message); return;
    case CM_PARENTCOLORCHANGED: CMParentColorChanged(message); return;
    case CM_PARENTFONTCHANGED: CMParentFontChanged(message); return;
    case CM_VISIBLECHANGED: CMVisibleChanged(message); return;
    case CM_HITTEST: CMHitTest(message); return;
    case CM_MOUSEENTER: CMMouseEnter(message); return;
    case CM_MOUSELEAVE: CMMouseLeave(message); return;
    case CM_HINTSHOW: CMHintShow(message); return;
    }
    DefaultHandler(message);
}

void TControl::DefaultHandler(TMessage& message) {
    switch (message.Msg) {
    case WM_GETTEXTLENGTH: message.Result = LRESULT(FText.size()); break;
    case WM_SETTEXT:
        FText = message.LParam ? reinterpret_cast<const char*>(message.LParam) : "";
        message.Result = 1;
        break;
    }
}

}  // namespace epc
