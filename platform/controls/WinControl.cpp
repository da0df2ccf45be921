// TWinControl: the window made on demand, child controls, alignment, tab order and focus,
// keyboard routing, painting; TCustomControl and TGraphicControl with their canvases.

#include <algorithm>
#include <unordered_map>

#include "platform/controls/Controls.h"
#include "platform/controls/ControlsState.h"
#include "platform/core/ScopeGuard.h"

namespace epc {

namespace {

std::unordered_map<HWND, TWinControl*>& HandleMap() {
    return ControlsState().HandleMap;
}

}  // namespace

TControl*& CaptureControlRef();

TWinControl* TWinControl::FindControl(HWND h) {
    auto& map = HandleMap();
    auto it = map.find(h);
    return it == map.end() ? nullptr : it->second;
}

TCustomForm* GetParentForm(TControl* control) {
    if (!control) return nullptr;
    TControl* c = control;
    while (c->Parent()) c = c->Parent();
    return dynamic_cast<TCustomForm*>(c);
}

TWinControl::TWinControl(TComponent* owner) : TControl(owner) {
    FBrush = std::make_unique<TBrush>();
    FBrush->SetColor(FColor);
}

TWinControl::~TWinControl() {
    // The form and the screen forget this control and everything inside it.
    if (TCustomForm* form = GetParentForm(this); form && form != this)
        form->DefocusControl(this, true);
    // Child controls go first, while this control and its window are still whole.
    while (!FControls.empty()) {
        TControl* c = FControls.back();
        FControls.pop_back();
        FTabList.erase(std::remove(FTabList.begin(), FTabList.end(), c), FTabList.end());
        if (CaptureControlRef() == c) CaptureControlRef() = nullptr;
        c->FParent = nullptr;
        FreeComponent(c);
    }
    FTabList.clear();
    if (FHandle) DestroyHandle();
    if (FParent) {
        auto& tabs = FParent->FTabList;
        tabs.erase(std::remove(tabs.begin(), tabs.end(), this), tabs.end());
    }
}

// ---- The window ------------------------------------------------------------------------------

HWND TWinControl::Handle() {
    HandleNeeded();
    return FHandle;
}

void TWinControl::HandleNeeded() {
    if (FHandle) return;
    if (FParent) FParent->HandleNeeded();
    CreateHandle();
}

void TWinControl::CreateHandle() {
    if (FHandle) return;
    CreateWnd();
    if (!FHandle) return;
    // Children that had a window (recreation) or are visible get theirs now.
    for (TControl* c : std::vector<TControl*>(FControls)) {
        auto* w = dynamic_cast<TWinControl*>(c);
        if (w && !w->FHandle && (w->FHadHandle || w->FVisible)) {
            w->FHadHandle = false;
            w->CreateHandle();
        }
    }
}

void TWinControl::CreateParams(TCreateParams& params) {
    params.Caption = FText;
    params.Style = WS_CHILD | WS_CLIPSIBLINGS;
    if (FControlStyle.Contains(csAcceptsControls)) params.Style |= WS_CLIPCHILDREN;
    if (!FEnabled) params.Style |= WS_DISABLED;
    if (FTabStop) params.Style |= WS_TABSTOP;
    if (FVisible) params.Style |= WS_VISIBLE;
    params.X = FLeft;
    params.Y = FTop;
    params.Width = FWidth;
    params.Height = FHeight;
    params.WndParent = FParent ? FParent->Handle() : FParentWindow;
    params.WinClassName = ClassName();
    params.WindowClassStyle = CS_VREDRAW | CS_HREDRAW;
    if (FControlStyle.Contains(csDoubleClicks)) params.WindowClassStyle |= CS_DBLCLKS;
}

void TWinControl::AddBorderStyle(TCreateParams& params, TBorderStyle style) const {
    if (style != bsSingle) return;
    if (Ctl3D())
        params.ExStyle |= WS_EX_CLIENTEDGE;
    else
        params.Style |= WS_BORDER;
}

void TWinControl::CreateWnd() {
    TCreateParams params;
    CreateParams(params);
    if ((params.Style & WS_CHILD) && !params.WndParent)
        throw EInvalidOperation("Control '" + Name() + "' has no parent window");
    FControlState.Include(csCreating);
    {
        auto created = Finally([&] { FControlState.Exclude(csCreating); });
        CreateWindowHandle(params);
    }
    if (!FHandle) throw EOutOfResources("Error creating window");
    if (GetWindowText(FHandle) != FText) SetWindowText(FHandle, FText);
    FLastClientWidth = -1;
    InitializeHandle();
}

void TWinControl::CreateWindowHandle(const TCreateParams& params) {
    TWindowCreate wc;
    wc.ExStyle = params.ExStyle;
    wc.ClassName = params.WinClassName;
    wc.Caption = params.Caption;
    wc.Style = params.Style;
    wc.X = params.X;
    wc.Y = params.Y;
    wc.Width = params.Width;
    wc.Height = params.Height;
    wc.Parent = params.WndParent;
    wc.ClassStyle = params.WindowClassStyle;
    wc.Param = params.Param;
    wc.WndProc = [this](HWND h, uint32_t msg, WPARAM w, LPARAM l) -> LRESULT {
        TMessage m{msg, w, l, 0};
        MainWndProc(h, m);
        return m.Result;
    };
    HWND h = CreateWindow(wc);
    if (h && !FHandle) {
        FHandle = h;
        HandleMap()[h] = this;
    }
}

void TWinControl::MainWndProc(HWND h, TMessage& message) {
    if (!FHandle && !FControlState.Contains(csDestroyingHandle)) {
        // The first message of a new window: from here on it is this control's.
        FHandle = h;
        HandleMap()[h] = this;
    }
    try {
        if (FWindowProc) FWindowProc(message);
        else WndProc(message);
    } catch (...) {
        if (Application) Application->HandleException(this);
        else throw;
    }
}

void TWinControl::DestroyHandle() {
    if (!FHandle) return;
    for (TControl* c : FControls)
        if (auto* w = dynamic_cast<TWinControl*>(c); w && w->FHandle) {
            w->DestroyHandle();
            w->FHadHandle = true;
        }
    DestroyWnd();
}

void TWinControl::DestroyWnd() {
    FText = GetText();
    DestroyWindowHandle();
}

void TWinControl::DestroyWindowHandle() {
    FControlState.Include(csDestroyingHandle);
    HWND h = FHandle;
    if (h) DestroyWindow(h);
    HandleMap().erase(h);
    FHandle = nullptr;
    FControlState.Exclude(csDestroyingHandle);
}

void TWinControl::RecreateWnd() {
    if (!FHandle) return;
    bool hadFocus = Focused();
    DestroyHandle();
    CreateHandle();
    if (hadFocus && FHandle && CanFocus()) epc::SetFocus(FHandle);
}

void TWinControl::SetParentWindow(HWND v) {
    if (FParentWindow == v) return;
    FParentWindow = v;
    if (FHandle && !FParent) {
        if (v) ::epc::SetParent(FHandle, v);
        else DestroyHandle();
    }
}

std::string TWinControl::GetText() const {
    if (FHandle) return GetWindowText(FHandle);
    return FText;
}

void TWinControl::SetTextBuf(const std::string& v) {
    FText = v;
    if (FHandle) SetWindowText(FHandle, v);
    Perform(CM_TEXTCHANGED, 0, 0);
}

// ---- Children --------------------------------------------------------------------------------

void TWinControl::InsertControl(TControl* control) {
    if (!control || control->FParent == this) return;
    control->FParent = this;
    FControls.push_back(control);
    if (auto* w = dynamic_cast<TWinControl*>(control)) {
        FTabList.push_back(w);
        if (FHandle && !w->FHandle && w->FVisible) w->CreateHandle();
    }
    if (control->ParentFont()) control->Perform(CM_PARENTFONTCHANGED, 0, 0);
    if (control->ParentColor()) control->Perform(CM_PARENTCOLORCHANGED, 0, 0);
    if (control->ParentShowHint()) control->FShowHint = FShowHint;
    control->UpdateAnchorRules();
    control->Invalidate();
    Realign();
    Perform(CM_CONTROLCHANGE, reinterpret_cast<WPARAM>(control), 1);
}

void TWinControl::RemoveControl(TControl* control) {
    auto it = std::find(FControls.begin(), FControls.end(), control);
    if (it == FControls.end()) return;
    Perform(CM_CONTROLCHANGE, reinterpret_cast<WPARAM>(control), 0);
    if (CaptureControlRef() == control) CaptureControlRef() = nullptr;
    control->Invalidate();
    if (auto* w = dynamic_cast<TWinControl*>(control)) {
        if (TCustomForm* form = GetParentForm(this)) form->DefocusControl(w, true);
        FTabList.erase(std::remove(FTabList.begin(), FTabList.end(), w), FTabList.end());
    }
    it = std::find(FControls.begin(), FControls.end(), control);
    if (it != FControls.end()) FControls.erase(it);
    control->FParent = nullptr;
    if (!Destroying()) Realign();
}

bool TWinControl::ContainsControl(TControl* control) const {
    for (TControl* c = control; c; c = c->Parent())
        if (c == this) return true;
    return false;
}

void TWinControl::SetParent(TWinControl* parent) {
    if (FParent == parent) return;
    TControl::SetParent(parent);
    if (FHandle) {
        if (!parent && !FParentWindow) DestroyHandle();
        else if (parent && parent->FHandle) ::epc::SetParent(FHandle, parent->FHandle);
        else if (parent) DestroyHandle();
    }
}

TControl* TWinControl::ControlAtPos(TPoint pos, bool allowDisabled, bool allowWinControls) {
    for (auto it = FControls.rbegin(); it != FControls.rend(); ++it) {
        TControl* c = *it;
        if (!allowWinControls && dynamic_cast<TWinControl*>(c)) continue;
        if (!c->Visible() || (!c->Enabled() && !allowDisabled)) continue;
        if (!c->BoundsRect().Contains(pos)) continue;
        TPoint local(pos.X - c->Left(), pos.Y - c->Top());
        if (c->Perform(CM_HITTEST, 0, PointToLParam(local)) != 0) return c;
    }
    return nullptr;
}

void TWinControl::GetChildren(const std::function<void(TComponent*)>& proc, TComponent* root) {
    for (TControl* c : FControls)
        if (c->Owner() == root) proc(c);
}

// ---- Bounds and alignment --------------------------------------------------------------------

TRect TWinControl::ClientRect() {
    if (!FHandle) {
        bool canCreate = FParentWindow || dynamic_cast<TCustomForm*>(this);
        for (TWinControl* p = FParent; p && !canCreate; p = p->FParent)
            canCreate = p->FHandle || p->FParentWindow || dynamic_cast<TCustomForm*>(p);
        if (!canCreate) return TRect(0, 0, FWidth, FHeight);
    }
    RECT r;
    GetClientRect(Handle(), &r);
    return r;
}

TPoint TWinControl::ClientOrigin() {
    if (!FHandle) return TControl::ClientOrigin();
    POINT p(0, 0);
    ::epc::ClientToScreen(FHandle, &p);
    return p;
}

void TWinControl::SetBounds(int left, int top, int width, int height) {
    DoConstraints(width, height);
    if (left == FLeft && top == FTop && width == FWidth && height == FHeight) return;
    bool sized = width != FWidth || height != FHeight;
    if (FHandle) {
        FLeft = left;
        FTop = top;
        FWidth = width;
        FHeight = height;
        SetWindowPos(FHandle, nullptr, left, top, width, height,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    } else {
        FLeft = left;
        FTop = top;
        FWidth = width;
        FHeight = height;
        if (sized) {
            Realign();
            Resize();
        }
    }
    UpdateAnchorRules();
    TControl::RequestAlign();
}

void TWinControl::UpdateBounds() {
    if (!FHandle || FInUpdateBounds) return;
    FInUpdateBounds = true;
    RECT r;
    GetWindowRect(FHandle, &r);
    HWND parent = GetParent(FHandle);
    if (parent && (GetWindowLong(FHandle, GWL_STYLE) & WS_CHILD)) {
        POINT p = r.TopLeft();
        ::epc::ScreenToClient(parent, &p);
        r = Bounds(p.X, p.Y, r.Width(), r.Height());
    }
    FLeft = r.Left;
    FTop = r.Top;
    FWidth = r.Width();
    FHeight = r.Height();
    FInUpdateBounds = false;
}

void TWinControl::RequestAlign() { TControl::RequestAlign(); }

void TWinControl::EnableAlign() {
    if (FAlignLevel > 0 && --FAlignLevel == 0) Realign();
}

void TWinControl::Realign() {
    if (FAlignLevel > 0 || FAligning || Destroying()) return;
    TRect r = FHandle ? ClientRect() : TRect(0, 0, FWidth, FHeight);
    if (FLastClientWidth >= 0 && (r.Width() != FLastClientWidth || r.Height() != FLastClientHeight))
        AnchorChildren(FLastClientWidth, FLastClientHeight);
    FLastClientWidth = r.Width();
    FLastClientHeight = r.Height();
    AlignChildren();
}

void TWinControl::AnchorChildren(int, int) {
    TRect pc = FHandle ? ClientRect() : TRect(0, 0, FWidth, FHeight);
    FAligning = true;
    for (TControl* c : std::vector<TControl*>(FControls)) {
        if (c->Align() != alNone) continue;
        TAnchors a = c->Anchors();
        int l = c->Left(), t = c->Top(), w = c->Width(), h = c->Height();
        if (a.Contains(akRight)) {
            if (a.Contains(akLeft)) w = pc.Width() - c->FAnchorRules.X - l;
            else l = pc.Width() - c->FAnchorRules.X - w;
        }
        if (a.Contains(akBottom)) {
            if (a.Contains(akTop)) h = pc.Height() - c->FAnchorRules.Y - t;
            else t = pc.Height() - c->FAnchorRules.Y - h;
        }
        c->SetBounds(l, t, std::max(0, w), std::max(0, h));
    }
    FAligning = false;
}

void TWinControl::AlignChildren() {
    if (FAligning) return;
    bool any = false;
    for (TControl* c : FControls) any = any || (c->Align() != alNone && c->Align() != alCustom);
    if (!any) return;
    FAligning = true;
    TRect r = FHandle ? ClientRect() : TRect(0, 0, FWidth, FHeight);
    AdjustClientRect(r);
    AlignControls(nullptr, r);
    FAligning = false;
}

void TWinControl::AlignControls(TControl*, TRect& r) {
    auto take = [&](TAlign a) {
        std::vector<TControl*> list;
        for (TControl* c : FControls)
            if (c->Align() == a && c->Visible()) list.push_back(c);
        std::stable_sort(list.begin(), list.end(), [a](TControl* x, TControl* y) {
            switch (a) {
            case alTop: return x->Top() < y->Top();
            case alBottom: return x->Top() + x->Height() > y->Top() + y->Height();
            case alLeft: return x->Left() < y->Left();
            case alRight: return x->Left() + x->Width() > y->Left() + y->Width();
            default: return false;
            }
        });
        return list;
    };
    for (TControl* c : take(alTop)) {
        c->SetBounds(r.Left, r.Top, r.Width(), c->Height());
        r.Top += c->Height();
    }
    for (TControl* c : take(alBottom)) {
        c->SetBounds(r.Left, r.Bottom - c->Height(), r.Width(), c->Height());
        r.Bottom -= c->Height();
    }
    for (TControl* c : take(alLeft)) {
        c->SetBounds(r.Left, r.Top, c->Width(), r.Height());
        r.Left += c->Width();
    }
    for (TControl* c : take(alRight)) {
        c->SetBounds(r.Right - c->Width(), r.Top, c->Width(), r.Height());
        r.Right -= c->Width();
    }
    for (TControl* c : take(alClient)) c->SetBounds(r.Left, r.Top, r.Width(), r.Height());
}

// ---- Visibility, enabling, painting ----------------------------------------------------------

bool TWinControl::Showing() const {
    if (FHandle) return IsWindowVisible(FHandle) != 0;
    return FVisible && FParent && FParent->Showing();
}

void TWinControl::SetVisible(bool v) {
    if (FVisible == v) return;
    TControl::SetVisible(v);
    if (FHandle) ShowWindow(FHandle, v ? SW_SHOWNA : SW_HIDE);
    else if (v && FParent && FParent->FHandle) CreateHandle();
}

void TWinControl::SetEnabled(bool v) {
    if (FEnabled == v) return;
    TControl::SetEnabled(v);
    if (FHandle) EnableWindow(FHandle, v ? 1 : 0);
}

void TWinControl::Invalidate() {
    if (FHandle) InvalidateRect(FHandle, nullptr, FControlStyle.Contains(csOpaque) ? 0 : 1);
}

void TWinControl::Update() {
    if (FHandle) UpdateWindow(FHandle);
}

void TWinControl::Repaint() {
    Invalidate();
    Update();
}

void TWinControl::PaintWindow(HDC dc) {
    TMessage m{WM_PAINT, reinterpret_cast<WPARAM>(dc), 0, 0};
    DefaultHandler(m);
}

void TWinControl::PaintControls(HDC dc, TControl* first) {
    auto it = FControls.begin();
    if (first) it = std::find(FControls.begin(), FControls.end(), first);
    RECT clip;
    GetClipBox(dc, &clip);
    for (; it != FControls.end(); ++it) {
        TControl* c = *it;
        if (dynamic_cast<TWinControl*>(c) || !c->Visible()) continue;
        TRect r = c->BoundsRect(), x;
        if (!IntersectRect(x, r, clip)) continue;
        int saved = SaveDC(dc);
        POINT org;
        GetViewportOrgEx(dc, &org);
        SetViewportOrgEx(dc, org.X + c->Left(), org.Y + c->Top(), nullptr);
        IntersectClipRect(dc, 0, 0, c->Width(), c->Height());
        c->Perform(WM_PAINT, reinterpret_cast<WPARAM>(dc), 0);
        RestoreDC(dc, saved);
    }
}

void TWinControl::PaintHandler(TMessage& message) {
    PAINTSTRUCT ps;
    HDC dc = reinterpret_cast<HDC>(message.WParam);
    if (!dc) dc = BeginPaint(FHandle, &ps);
    if (!dc) return;
    bool hasGraphic = false;
    for (TControl* c : FControls)
        if (!dynamic_cast<TWinControl*>(c) && c->Visible()) hasGraphic = true;
    if (!hasGraphic) {
        PaintWindow(dc);
    } else {
        int saved = SaveDC(dc);
        // Opaque graphic children paint their own area.
        for (TControl* c : FControls)
            if (!dynamic_cast<TWinControl*>(c) && c->Visible() &&
                c->ControlStyle().Contains(csOpaque))
                ExcludeClipRect(dc, c->Left(), c->Top(), c->Left() + c->Width(),
                                c->Top() + c->Height());
        PaintWindow(dc);
        RestoreDC(dc, saved);
        PaintControls(dc, nullptr);
    }
    if (!message.WParam) EndPaint(FHandle, &ps);
}

void TWinControl::PaintTo(HDC dc, int x, int y) {
    if (!FHandle) HandleNeeded();
    int saved = SaveDC(dc);
    POINT org;
    GetViewportOrgEx(dc, &org);
    SetViewportOrgEx(dc, org.X + x, org.Y + y, nullptr);
    SendMessage(FHandle, WM_PRINT, reinterpret_cast<WPARAM>(dc),
                PRF_NONCLIENT | PRF_CLIENT | PRF_ERASEBKGND | PRF_CHILDREN);
    RestoreDC(dc, saved);
}

void TWinControl::WMPaint(TMessage& message) { PaintHandler(message); }

void TWinControl::WMPrintClient(TMessage& message) {
    if (message.WParam) PaintHandler(message);
}

void TWinControl::WMEraseBkgnd(TMessage& message) {
    HDC dc = reinterpret_cast<HDC>(message.WParam);
    if (dc && !FControlStyle.Contains(csOpaque)) {
        RECT r;
        GetClientRect(FHandle, &r);
        FillRect(dc, &r, FBrush->Handle());
    }
    message.Result = 1;
}

void TWinControl::WMSize(TMessage& message) {
    UpdateBounds();
    DefaultHandler(message);
    Realign();
    if (!Destroying()) Resize();
}

void TWinControl::WMMove(TMessage& message) {
    UpdateBounds();
    DefaultHandler(message);
}

void TWinControl::WMWindowPosChanged(TMessage& message) {
    UpdateBounds();
    DefaultHandler(message);
}

void TWinControl::WMNCDestroy(TMessage& message) {
    DefaultHandler(message);
    HandleMap().erase(FHandle);
    FHandle = nullptr;
}

void TWinControl::CMColorChangedWin(TMessage& message) {
    FBrush->SetColor(FColor);
    TControl::Dispatch(message);
    for (TControl* c : FControls) c->Perform(CM_PARENTCOLORCHANGED, 0, 0);
}

void TWinControl::CMFontChangedWin(TMessage& message) {
    TControl::Dispatch(message);
    for (TControl* c : std::vector<TControl*>(FControls)) c->Perform(CM_PARENTFONTCHANGED, 0, 0);
}

void TWinControl::FontChanged() { Perform(CM_FONTCHANGED, 0, 0); }

void TWinControl::CMCtl3DChanged(TMessage&) {
    if (FHandle) RecreateWnd();
}

// ---- Focus -----------------------------------------------------------------------------------

void TWinControl::SetTabStop(bool v) {
    if (FTabStop == v) return;
    FTabStop = v;
    if (FHandle) {
        DWORD s = DWORD(GetWindowLong(FHandle, GWL_STYLE));
        SetWindowLong(FHandle, GWL_STYLE, v ? (s | WS_TABSTOP) : (s & ~WS_TABSTOP));
    }
    Perform(CM_TABSTOPCHANGED, 0, 0);
}

int TWinControl::TabOrder() const {
    if (!FParent) return -1;
    auto& list = FParent->FTabList;
    auto it = std::find(list.begin(), list.end(), this);
    return it == list.end() ? -1 : int(it - list.begin());
}

void TWinControl::SetTabOrder(int v) {
    if (!FParent) return;
    auto& list = FParent->FTabList;
    auto it = std::find(list.begin(), list.end(), this);
    if (it == list.end()) return;
    list.erase(it);
    v = std::clamp(v, 0, int(list.size()));
    list.insert(list.begin() + v, this);
}

void TWinControl::GetTabOrderList(std::vector<TWinControl*>& list) {
    for (TWinControl* c : FTabList) {
        list.push_back(c);
        c->GetTabOrderList(list);
    }
}

bool TWinControl::CanFocus() {
    TCustomForm* form = GetParentForm(this);
    // The form itself may still be hidden: the control becomes its active control.
    for (TControl* c = this; c && c != form; c = c->Parent())
        if (!c->Visible() || !c->Enabled()) return false;
    return true;
}

void TWinControl::SetFocus() {
    if (TCustomForm* form = GetParentForm(this); form && form != this) {
        form->FocusControl(this);
        return;
    }
    if (!CanFocus()) throw EInvalidOperation("Cannot focus a disabled or invisible window");
    epc::SetFocus(Handle());
}

bool TWinControl::Focused() { return FHandle && GetFocus() == FHandle; }

TWinControl* TWinControl::FindNextControl(TWinControl* curControl, bool goForward,
                                          bool checkTabStop, bool checkParent) {
    std::vector<TWinControl*> list;
    GetTabOrderList(list);
    if (list.empty()) return nullptr;
    int n = int(list.size());
    auto found = std::find(list.begin(), list.end(), curControl);
    int start = found == list.end() ? (goForward ? n - 1 : 0) : int(found - list.begin());
    int i = start;
    for (int step = 0; step < n; ++step) {
        i = goForward ? (i + 1) % n : (i - 1 + n) % n;
        TWinControl* c = list[size_t(i)];
        if (c == curControl) break;
        if ((!checkTabStop || c->TabStop()) && (!checkParent || c->Parent() == this) &&
            c->CanFocus())
            return c;
    }
    return nullptr;
}

void TWinControl::SelectNext(TWinControl* curControl, bool goForward, bool checkTabStop) {
    if (TWinControl* c = FindNextControl(curControl, goForward, checkTabStop, !checkTabStop))
        c->SetFocus();
}

void TWinControl::DoEnter() {
    if (OnEnter) OnEnter(this);
}

void TWinControl::DoExit() {
    if (OnExit) OnExit(this);
}

void TWinControl::CMEnter(TMessage&) { DoEnter(); }
void TWinControl::CMExit(TMessage&) { DoExit(); }

void TWinControl::WMSetFocus(TMessage& message) {
    TCustomForm* form = GetParentForm(this);
    if (form && form != this && !form->SetFocusedControl(this)) return;
    DefaultHandler(message);
}

void TWinControl::WMKillFocus(TMessage& message) { DefaultHandler(message); }

// ---- Keys ------------------------------------------------------------------------------------

void TWinControl::KeyDown(Word& key, TShiftState shift) {
    if (OnKeyDown) OnKeyDown(this, key, shift);
}

void TWinControl::KeyUp(Word& key, TShiftState shift) {
    if (OnKeyUp) OnKeyUp(this, key, shift);
}

void TWinControl::KeyPress(char16_t& key) {
    if (OnKeyPress) OnKeyPress(this, key);
}

// With KeyPreview on, the parent form handles the key first; true when it consumed it.
bool TWinControl::FormPreviewsKey(TMessage& message, bool (TWinControl::*handler)(TMessage&)) {
    TCustomForm* form = GetParentForm(this);
    return form && form != this && form->KeyPreview() &&
           (static_cast<TWinControl*>(form)->*handler)(message);
}

bool TWinControl::DoKeyDown(TMessage& message) {
    if (FormPreviewsKey(message, &TWinControl::DoKeyDown)) return true;
    if (FControlStyle.Contains(csNoStdEvents)) return false;
    Word key = Word(message.WParam);
    KeyDown(key, KeyDataToShiftState(message.LParam));
    message.WParam = key;
    return key == 0;
}

bool TWinControl::DoKeyUp(TMessage& message) {
    if (FormPreviewsKey(message, &TWinControl::DoKeyUp)) return true;
    if (FControlStyle.Contains(csNoStdEvents)) return false;
    Word key = Word(message.WParam);
    KeyUp(key, KeyDataToShiftState(message.LParam));
    message.WParam = key;
    return key == 0;
}

bool TWinControl::DoKeyPress(TMessage& message) {
    if (FormPreviewsKey(message, &TWinControl::DoKeyPress)) return true;
    if (FControlStyle.Contains(csNoStdEvents)) return false;
    char16_t ch = char16_t(message.WParam);
    KeyPress(ch);
    message.WParam = ch;
    return ch == 0;
}

// Dialog keys first: Tab, arrows, Return and Escape that the control does not want go to the
// form (focus moves), before the control's KeyDown ever sees them.
void TWinControl::CNKeyDown(TMessage& message) {
    message.Result = 0;
    uint32_t key = uint32_t(message.WParam);
    uint32_t mask = 0;
    if (key == VK_TAB) mask = DLGC_WANTTAB;
    else if (key >= VK_LEFT && key <= VK_DOWN) mask = DLGC_WANTARROWS;
    else if (key == VK_RETURN || key == VK_EXECUTE || key == VK_ESCAPE || key == VK_CANCEL)
        mask = DLGC_WANTALLKEYS;
    if (!mask) return;
    if (Perform(CM_WANTSPECIALKEY, message.WParam, message.LParam) != 0) return;
    if (Perform(WM_GETDLGCODE, 0, 0) & mask) return;
    TCustomForm* form = GetParentForm(this);
    if (form && form->Perform(CM_DIALOGKEY, message.WParam, message.LParam) != 0)
        message.Result = 1;
}

void TWinControl::WMKeyDown(TMessage& message) {
    if (!DoKeyDown(message)) DefaultHandler(message);
}

void TWinControl::WMSysKeyDown(TMessage& message) {
    if (!DoKeyDown(message)) DefaultHandler(message);
}

void TWinControl::WMKeyUp(TMessage& message) {
    if (!DoKeyUp(message)) DefaultHandler(message);
}

void TWinControl::WMSysKeyUp(TMessage& message) {
    if (!DoKeyUp(message)) DefaultHandler(message);
}

void TWinControl::WMChar(TMessage& message) {
    if (!DoKeyPress(message)) DefaultHandler(message);
}

void TWinControl::WMSetCursor(TMessage& message) {
    if (reinterpret_cast<HWND>(message.WParam) == FHandle && LOWORD(message.LParam) == HTCLIENT) {
        TCursor cursor = Screen ? Screen->Cursor() : crDefault;
        if (cursor == crDefault) {
            POINT p;
            GetCursorPos(&p);
            ::epc::ScreenToClient(FHandle, &p);
            TControl* c = ControlAtPos(p, false);
            cursor = (c ? c : this)->Cursor();
        }
        if (cursor != crDefault && Screen) {
            ::epc::SetCursor(Screen->Cursors(cursor));
            message.Result = 1;
            return;
        }
    }
    DefaultHandler(message);
}

// ---- Routing ---------------------------------------------------------------------------------

bool TWinControl::IsControlMouseMsg(TMessage& message) {
    TControl* target = nullptr;
    TControl* cap = CaptureControlRef();
    if (GetCapture() == FHandle) {
        if (cap && cap != this && cap->Parent() == this) target = cap;
    } else {
        target = ControlAtPos(message.Pos(), false);
    }
    if (!target) return false;
    TPoint p = message.Pos();
    LPARAM l = PointToLParam(TPoint(p.X - target->Left(), p.Y - target->Top()));
    message.Result = target->Perform(message.Msg, message.WParam, l);
    return true;
}

void TWinControl::WndProc(TMessage& message) {
    uint32_t msg = message.Msg;
    if (msg >= WM_MOUSEFIRST && msg < WM_MOUSEWHEEL) {
        if (IsControlMouseMsg(message)) return;
    } else if (msg == WM_CAPTURECHANGED) {
        TControl* cap = CaptureControlRef();
        if (cap && reinterpret_cast<HWND>(message.LParam) != FHandle &&
            (cap == this || cap->Parent() == this))
            CaptureControlRef() = nullptr;
    }
    TControl::WndProc(message);
}

void TWinControl::Dispatch(TMessage& message) {
    switch (message.Msg) {
    case WM_PAINT: WMPaint(message); return;
    case WM_PRINTCLIENT: WMPrintClient(message); return;
    case WM_ERASEBKGND: WMEraseBkgnd(message); return;
    case WM_SIZE: WMSize(message); return;
    case WM_MOVE: WMMove(message); return;
    case WM_WINDOWPOSCHANGED: WMWindowPosChanged(message); return;
    case WM_SETFOCUS: WMSetFocus(message); return;
    case WM_KILLFOCUS: WMKillFocus(message); return;
    case WM_KEYDOWN: WMKeyDown(message); return;
    case WM_KEYUP: WMKeyUp(message); return;
    case WM_CHAR: WMChar(message); return;
    case WM_SYSKEYDOWN: WMSysKeyDown(message); return;
    case WM_SYSKEYUP: WMSysKeyUp(message); return;
    case WM_SETCURSOR: WMSetCursor(message); return;
    case WM_NCDESTROY: WMNCDestroy(message); return;
    case CN_KEYDOWN: CNKeyDown(message); return;
    case CM_ENTER: CMEnter(message); return;
    case CM_EXIT: CMExit(message); return;
    case CM_COLORCHANGED: CMColorChangedWin(message); return;
    case CM_FONTCHANGED: CMFontChangedWin(message); return;
    case CM_CTL3DCHANGED: CMCtl3DChanged(message); return;
    }
    TControl::Dispatch(message);
}

void TWinControl::DefaultHandler(TMessage& message) {
    if (!FHandle) {
        TControl::DefaultHandler(message);
        return;
    }
    switch (message.Msg) {
    case WM_PAINT:
        // A context in WParam means the control paints into it; nothing to validate.
        if (message.WParam) return;
        break;
    case WM_SETTEXT:
        FText = message.LParam ? reinterpret_cast<const char*>(message.LParam) : "";
        break;
    }
    message.Result = DefWindowProc(FHandle, message.Msg, message.WParam, message.LParam);
}

// ---- Canvases --------------------------------------------------------------------------------

TControlCanvas::~TControlCanvas() { FreeHandle(); }

void TControlCanvas::SetControl(TControl* v) {
    if (FControl == v) return;
    FreeHandle();
    FControl = v;
}

void TControlCanvas::FreeHandle() {
    if (!FDeviceContext) return;
    HDC dc = FDeviceContext;
    FDeviceContext = nullptr;
    SetHandle(nullptr);
    ReleaseDC(FWindowHandle, dc);
    FWindowHandle = nullptr;
}

void TControlCanvas::UpdateTextFlags() {
    if (FControl && FControl->UseRightToLeftReading()) SetTextFlags(TextFlags() | ETO_RTLREADING);
    else SetTextFlags(TextFlags() & ~UINT(ETO_RTLREADING));
}

void TControlCanvas::CreateHandle() {
    if (!FControl) {
        TCanvas::CreateHandle();
        return;
    }
    if (auto* w = dynamic_cast<TWinControl*>(FControl)) {
        FWindowHandle = w->Handle();
        FDeviceContext = GetDC(FWindowHandle);
    } else {
        TWinControl* parent = FControl->Parent();
        if (!parent) throw EInvalidOperation("Control '" + FControl->Name() + "' has no parent window");
        FWindowHandle = parent->Handle();
        FDeviceContext = GetDC(FWindowHandle);
        SetViewportOrgEx(FDeviceContext, FControl->Left() + GetClientOffset(FWindowHandle).X,
                         FControl->Top() + GetClientOffset(FWindowHandle).Y, nullptr);
        IntersectClipRect(FDeviceContext, 0, 0, FControl->Width(), FControl->Height());
    }
    SetHandle(FDeviceContext);
}

TCustomControl::TCustomControl(TComponent* owner) : TWinControl(owner) {
    FCanvas = std::make_unique<TControlCanvas>(this);
}

TCustomControl::~TCustomControl() {
    // The window goes while the canvas can still let go of its context.
    if (FCanvas) FCanvas->FreeHandle();
}

void TCustomControl::Paint() {}

void TCustomControl::PaintWindow(HDC dc) {
    FCanvas->Lock();
    auto release = Finally([this] {
        FCanvas->SetHandle(nullptr);
        FCanvas->Unlock();
    });
    FCanvas->FreeHandle();
    FCanvas->SetHandle(dc);
    FCanvas->UpdateTextFlags();
    Paint();
}

void TCustomControl::DestroyWnd() {
    FCanvas->FreeHandle();
    TWinControl::DestroyWnd();
}

TGraphicControl::TGraphicControl(TComponent* owner) : TControl(owner) {
    FCanvas = std::make_unique<TControlCanvas>(this);
}

TGraphicControl::~TGraphicControl() {
    if (FCanvas) FCanvas->FreeHandle();
}

void TGraphicControl::WMPaint(TMessage& message) {
    if (!message.WParam) return;
    FCanvas->Lock();
    auto release = Finally([this] {
        FCanvas->SetHandle(nullptr);
        FCanvas->Unlock();
    });
    FCanvas->FreeHandle();
    FCanvas->SetHandle(reinterpret_cast<HDC>(message.WParam));
    Paint();
}

void TGraphicControl::Dispatch(TMessage& message) {
    if (message.Msg == WM_PAINT) {
        WMPaint(message);
        return;
    }
    TControl::Dispatch(message);
}

}  // namespace epc
