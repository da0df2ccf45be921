// TWinControl: the window made on demand, child controls, alignment, tab order and focus,
// keyboard routing, painting; TCustomControl and TGraphicControl with their canvases.

#include <algorithm>
#include <unordered_map>

#include "platform/controls/Controls.h"
#include "platform/controls/Forms.h"
#include "platform/core/ScopeGuard.h"

namespace epc {

namespace {

std::unordered_map<HWND, TWinControl*>& HandleMap() {
    static std::unordered_map<HWND, TWinControl*> map;
    return map;
}

}  // namespace

TControl*& CaptureControlRef();

TWinControl* TWinControl::FindControl(HWND h) {
    auto& map = HandleMap();
    auto it = map.find(h);
    return it == map.end() ? nullptr : it->second;
}

TCustomForm* GetParentForm(TControl* Control) {
    if (!Control) return nullptr;
    TControl* c = Control;
    while (c->Parent()) c = c->Parent();
    return dynamic_cast<TCustomForm*>(c);
}

TWinControl::TWinControl(TComponent* AOwner) : TControl(AOwner) {
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

void TWinControl::CreateParams(TCreateParams& Params) {
    Params.Caption = FText;
    Params.Style = WS_CHILD | WS_CLIPSIBLINGS;
    if (FControlStyle.Contains(csAcceptsControls)) Params.Style |= WS_CLIPCHILDREN;
    if (!FEnabled) Params.Style |= WS_DISABLED;
    if (FTabStop) Params.Style |= WS_TABSTOP;
    if (FVisible) Params.Style |= WS_VISIBLE;
    Params.X = FLeft;
    Params.Y = FTop;
    Params.Width = FWidth;
    Params.Height = FHeight;
    Params.WndParent = FParent ? FParent->Handle() : FParentWindow;
    Params.WinClassName = ClassName();
    Params.WindowClassStyle = CS_VREDRAW | CS_HREDRAW;
    if (FControlStyle.Contains(csDoubleClicks)) Params.WindowClassStyle |= CS_DBLCLKS;
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

void TWinControl::CreateWindowHandle(const TCreateParams& Params) {
    TWindowCreate wc;
    wc.ExStyle = Params.ExStyle;
    wc.ClassName = Params.WinClassName;
    wc.Caption = Params.Caption;
    wc.Style = Params.Style;
    wc.X = Params.X;
    wc.Y = Params.Y;
    wc.Width = Params.Width;
    wc.Height = Params.Height;
    wc.Parent = Params.WndParent;
    wc.ClassStyle = Params.WindowClassStyle;
    wc.Param = Params.Param;
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

void TWinControl::MainWndProc(HWND h, TMessage& Message) {
    if (!FHandle && !FControlState.Contains(csDestroyingHandle)) {
        // The first message of a new window: from here on it is this control's.
        FHandle = h;
        HandleMap()[h] = this;
    }
    try {
        if (FWindowProc) FWindowProc(Message);
        else WndProc(Message);
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

void TWinControl::InsertControl(TControl* AControl) {
    if (!AControl || AControl->FParent == this) return;
    AControl->FParent = this;
    FControls.push_back(AControl);
    if (auto* w = dynamic_cast<TWinControl*>(AControl)) {
        FTabList.push_back(w);
        if (FHandle && !w->FHandle && w->FVisible) w->CreateHandle();
    }
    if (AControl->ParentFont()) AControl->Perform(CM_PARENTFONTCHANGED, 0, 0);
    if (AControl->ParentColor()) AControl->Perform(CM_PARENTCOLORCHANGED, 0, 0);
    if (AControl->ParentShowHint()) AControl->FShowHint = FShowHint;
    AControl->UpdateAnchorRules();
    AControl->Invalidate();
    Realign();
    Perform(CM_CONTROLCHANGE, reinterpret_cast<WPARAM>(AControl), 1);
}

void TWinControl::RemoveControl(TControl* AControl) {
    auto it = std::find(FControls.begin(), FControls.end(), AControl);
    if (it == FControls.end()) return;
    Perform(CM_CONTROLCHANGE, reinterpret_cast<WPARAM>(AControl), 0);
    if (CaptureControlRef() == AControl) CaptureControlRef() = nullptr;
    AControl->Invalidate();
    if (auto* w = dynamic_cast<TWinControl*>(AControl)) {
        if (TCustomForm* form = GetParentForm(this)) form->DefocusControl(w, true);
        FTabList.erase(std::remove(FTabList.begin(), FTabList.end(), w), FTabList.end());
    }
    it = std::find(FControls.begin(), FControls.end(), AControl);
    if (it != FControls.end()) FControls.erase(it);
    AControl->FParent = nullptr;
    if (!Destroying()) Realign();
}

bool TWinControl::ContainsControl(TControl* Control) const {
    for (TControl* c = Control; c; c = c->Parent())
        if (c == this) return true;
    return false;
}

void TWinControl::SetParent(TWinControl* AParent) {
    if (FParent == AParent) return;
    TControl::SetParent(AParent);
    if (FHandle) {
        if (!AParent && !FParentWindow) DestroyHandle();
        else if (AParent && AParent->FHandle) ::epc::SetParent(FHandle, AParent->FHandle);
        else if (AParent) DestroyHandle();
    }
}

TControl* TWinControl::ControlAtPos(TPoint Pos, bool AllowDisabled, bool AllowWinControls) {
    for (auto it = FControls.rbegin(); it != FControls.rend(); ++it) {
        TControl* c = *it;
        if (!AllowWinControls && dynamic_cast<TWinControl*>(c)) continue;
        if (!c->Visible() || (!c->Enabled() && !AllowDisabled)) continue;
        if (!c->BoundsRect().Contains(Pos)) continue;
        TPoint local(Pos.X - c->Left(), Pos.Y - c->Top());
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

void TWinControl::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
    DoConstraints(AWidth, AHeight);
    if (ALeft == FLeft && ATop == FTop && AWidth == FWidth && AHeight == FHeight) return;
    bool sized = AWidth != FWidth || AHeight != FHeight;
    if (FHandle) {
        FLeft = ALeft;
        FTop = ATop;
        FWidth = AWidth;
        FHeight = AHeight;
        SetWindowPos(FHandle, nullptr, ALeft, ATop, AWidth, AHeight,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    } else {
        FLeft = ALeft;
        FTop = ATop;
        FWidth = AWidth;
        FHeight = AHeight;
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

void TWinControl::PaintWindow(HDC DC) {
    TMessage m{WM_PAINT, reinterpret_cast<WPARAM>(DC), 0, 0};
    DefaultHandler(m);
}

void TWinControl::PaintControls(HDC DC, TControl* First) {
    auto it = FControls.begin();
    if (First) it = std::find(FControls.begin(), FControls.end(), First);
    RECT clip;
    GetClipBox(DC, &clip);
    for (; it != FControls.end(); ++it) {
        TControl* c = *it;
        if (dynamic_cast<TWinControl*>(c) || !c->Visible()) continue;
        TRect r = c->BoundsRect(), x;
        if (!IntersectRect(x, r, clip)) continue;
        int saved = SaveDC(DC);
        POINT org;
        GetViewportOrgEx(DC, &org);
        SetViewportOrgEx(DC, org.X + c->Left(), org.Y + c->Top(), nullptr);
        IntersectClipRect(DC, 0, 0, c->Width(), c->Height());
        c->Perform(WM_PAINT, reinterpret_cast<WPARAM>(DC), 0);
        RestoreDC(DC, saved);
    }
}

void TWinControl::PaintHandler(TMessage& Message) {
    PAINTSTRUCT ps;
    HDC dc = reinterpret_cast<HDC>(Message.WParam);
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
    if (!Message.WParam) EndPaint(FHandle, &ps);
}

void TWinControl::PaintTo(HDC DC, int X, int Y) {
    if (!FHandle) HandleNeeded();
    int saved = SaveDC(DC);
    POINT org;
    GetViewportOrgEx(DC, &org);
    SetViewportOrgEx(DC, org.X + X, org.Y + Y, nullptr);
    SendMessage(FHandle, WM_PRINT, reinterpret_cast<WPARAM>(DC),
                PRF_NONCLIENT | PRF_CLIENT | PRF_ERASEBKGND | PRF_CHILDREN);
    RestoreDC(DC, saved);
}

void TWinControl::WMPaint(TMessage& Message) { PaintHandler(Message); }

void TWinControl::WMPrintClient(TMessage& Message) {
    if (Message.WParam) PaintHandler(Message);
}

void TWinControl::WMEraseBkgnd(TMessage& Message) {
    HDC dc = reinterpret_cast<HDC>(Message.WParam);
    if (dc && !FControlStyle.Contains(csOpaque)) {
        RECT r;
        GetClientRect(FHandle, &r);
        FillRect(dc, &r, FBrush->Handle());
    }
    Message.Result = 1;
}

void TWinControl::WMSize(TMessage& Message) {
    UpdateBounds();
    DefaultHandler(Message);
    Realign();
    if (!Destroying()) Resize();
}

void TWinControl::WMMove(TMessage& Message) {
    UpdateBounds();
    DefaultHandler(Message);
}

void TWinControl::WMWindowPosChanged(TMessage& Message) {
    UpdateBounds();
    DefaultHandler(Message);
}

void TWinControl::WMNCDestroy(TMessage& Message) {
    DefaultHandler(Message);
    HandleMap().erase(FHandle);
    FHandle = nullptr;
}

void TWinControl::CMColorChangedWin(TMessage& Message) {
    FBrush->SetColor(FColor);
    TControl::Dispatch(Message);
    for (TControl* c : FControls) c->Perform(CM_PARENTCOLORCHANGED, 0, 0);
}

void TWinControl::CMFontChangedWin(TMessage& Message) {
    TControl::Dispatch(Message);
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

void TWinControl::GetTabOrderList(std::vector<TWinControl*>& List) {
    for (TWinControl* c : FTabList) {
        List.push_back(c);
        c->GetTabOrderList(List);
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

TWinControl* TWinControl::FindNextControl(TWinControl* CurControl, bool GoForward,
                                          bool CheckTabStop, bool CheckParent) {
    std::vector<TWinControl*> list;
    GetTabOrderList(list);
    if (list.empty()) return nullptr;
    int n = int(list.size());
    auto found = std::find(list.begin(), list.end(), CurControl);
    int start = found == list.end() ? (GoForward ? n - 1 : 0) : int(found - list.begin());
    int i = start;
    for (int step = 0; step < n; ++step) {
        i = GoForward ? (i + 1) % n : (i - 1 + n) % n;
        TWinControl* c = list[size_t(i)];
        if (c == CurControl) break;
        if ((!CheckTabStop || c->TabStop()) && (!CheckParent || c->Parent() == this) &&
            c->CanFocus())
            return c;
    }
    return nullptr;
}

void TWinControl::SelectNext(TWinControl* CurControl, bool GoForward, bool CheckTabStop) {
    if (TWinControl* c = FindNextControl(CurControl, GoForward, CheckTabStop, !CheckTabStop))
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

void TWinControl::WMSetFocus(TMessage& Message) {
    TCustomForm* form = GetParentForm(this);
    if (form && form != this && !form->SetFocusedControl(this)) return;
    DefaultHandler(Message);
}

void TWinControl::WMKillFocus(TMessage& Message) { DefaultHandler(Message); }

// ---- Keys ------------------------------------------------------------------------------------

void TWinControl::KeyDown(Word& Key, TShiftState Shift) {
    if (OnKeyDown) OnKeyDown(this, Key, Shift);
}

void TWinControl::KeyUp(Word& Key, TShiftState Shift) {
    if (OnKeyUp) OnKeyUp(this, Key, Shift);
}

void TWinControl::KeyPress(char16_t& Key) {
    if (OnKeyPress) OnKeyPress(this, Key);
}

// With KeyPreview on, the parent form handles the key first; true when it consumed it.
bool TWinControl::FormPreviewsKey(TMessage& Message, bool (TWinControl::*handler)(TMessage&)) {
    TCustomForm* form = GetParentForm(this);
    return form && form != this && form->KeyPreview() &&
           (static_cast<TWinControl*>(form)->*handler)(Message);
}

bool TWinControl::DoKeyDown(TMessage& Message) {
    if (FormPreviewsKey(Message, &TWinControl::DoKeyDown)) return true;
    if (FControlStyle.Contains(csNoStdEvents)) return false;
    Word key = Word(Message.WParam);
    KeyDown(key, KeyDataToShiftState(Message.LParam));
    Message.WParam = key;
    return key == 0;
}

bool TWinControl::DoKeyUp(TMessage& Message) {
    if (FormPreviewsKey(Message, &TWinControl::DoKeyUp)) return true;
    if (FControlStyle.Contains(csNoStdEvents)) return false;
    Word key = Word(Message.WParam);
    KeyUp(key, KeyDataToShiftState(Message.LParam));
    Message.WParam = key;
    return key == 0;
}

bool TWinControl::DoKeyPress(TMessage& Message) {
    if (FormPreviewsKey(Message, &TWinControl::DoKeyPress)) return true;
    if (FControlStyle.Contains(csNoStdEvents)) return false;
    char16_t ch = char16_t(Message.WParam);
    KeyPress(ch);
    Message.WParam = ch;
    return ch == 0;
}

// Dialog keys first: Tab, arrows, Return and Escape that the control does not want go to the
// form (focus moves), before the control's KeyDown ever sees them.
void TWinControl::CNKeyDown(TMessage& Message) {
    Message.Result = 0;
    uint32_t key = uint32_t(Message.WParam);
    uint32_t mask = 0;
    if (key == VK_TAB) mask = DLGC_WANTTAB;
    else if (key >= VK_LEFT && key <= VK_DOWN) mask = DLGC_WANTARROWS;
    else if (key == VK_RETURN || key == VK_EXECUTE || key == VK_ESCAPE || key == VK_CANCEL)
        mask = DLGC_WANTALLKEYS;
    if (!mask) return;
    if (Perform(CM_WANTSPECIALKEY, Message.WParam, Message.LParam) != 0) return;
    if (Perform(WM_GETDLGCODE, 0, 0) & mask) return;
    TCustomForm* form = GetParentForm(this);
    if (form && form->Perform(CM_DIALOGKEY, Message.WParam, Message.LParam) != 0)
        Message.Result = 1;
}

void TWinControl::WMKeyDown(TMessage& Message) {
    if (!DoKeyDown(Message)) DefaultHandler(Message);
}

void TWinControl::WMSysKeyDown(TMessage& Message) {
    if (!DoKeyDown(Message)) DefaultHandler(Message);
}

void TWinControl::WMKeyUp(TMessage& Message) {
    if (!DoKeyUp(Message)) DefaultHandler(Message);
}

void TWinControl::WMSysKeyUp(TMessage& Message) {
    if (!DoKeyUp(Message)) DefaultHandler(Message);
}

void TWinControl::WMChar(TMessage& Message) {
    if (!DoKeyPress(Message)) DefaultHandler(Message);
}

void TWinControl::WMSetCursor(TMessage& Message) {
    if (reinterpret_cast<HWND>(Message.WParam) == FHandle && LOWORD(Message.LParam) == HTCLIENT) {
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
            Message.Result = 1;
            return;
        }
    }
    DefaultHandler(Message);
}

// ---- Routing ---------------------------------------------------------------------------------

bool TWinControl::IsControlMouseMsg(TMessage& Message) {
    TControl* target = nullptr;
    TControl* cap = CaptureControlRef();
    if (GetCapture() == FHandle) {
        if (cap && cap != this && cap->Parent() == this) target = cap;
    } else {
        target = ControlAtPos(Message.Pos(), false);
    }
    if (!target) return false;
    TPoint p = Message.Pos();
    LPARAM l = PointToLParam(TPoint(p.X - target->Left(), p.Y - target->Top()));
    Message.Result = target->Perform(Message.Msg, Message.WParam, l);
    return true;
}

void TWinControl::WndProc(TMessage& Message) {
    uint32_t msg = Message.Msg;
    if (msg >= WM_MOUSEFIRST && msg < WM_MOUSEWHEEL) {
        if (IsControlMouseMsg(Message)) return;
    } else if (msg == WM_CAPTURECHANGED) {
        TControl* cap = CaptureControlRef();
        if (cap && reinterpret_cast<HWND>(Message.LParam) != FHandle &&
            (cap == this || cap->Parent() == this))
            CaptureControlRef() = nullptr;
    }
    TControl::WndProc(Message);
}

void TWinControl::Dispatch(TMessage& Message) {
    switch (Message.Msg) {
    case WM_PAINT: WMPaint(Message); return;
    case WM_PRINTCLIENT: WMPrintClient(Message); return;
    case WM_ERASEBKGND: WMEraseBkgnd(Message); return;
    case WM_SIZE: WMSize(Message); return;
    case WM_MOVE: WMMove(Message); return;
    case WM_WINDOWPOSCHANGED: WMWindowPosChanged(Message); return;
    case WM_SETFOCUS: WMSetFocus(Message); return;
    case WM_KILLFOCUS: WMKillFocus(Message); return;
    case WM_KEYDOWN: WMKeyDown(Message); return;
    case WM_KEYUP: WMKeyUp(Message); return;
    case WM_CHAR: WMChar(Message); return;
    case WM_SYSKEYDOWN: WMSysKeyDown(Message); return;
    case WM_SYSKEYUP: WMSysKeyUp(Message); return;
    case WM_SETCURSOR: WMSetCursor(Message); return;
    case WM_NCDESTROY: WMNCDestroy(Message); return;
    case CN_KEYDOWN: CNKeyDown(Message); return;
    case CM_ENTER: CMEnter(Message); return;
    case CM_EXIT: CMExit(Message); return;
    case CM_COLORCHANGED: CMColorChangedWin(Message); return;
    case CM_FONTCHANGED: CMFontChangedWin(Message); return;
    case CM_CTL3DCHANGED: CMCtl3DChanged(Message); return;
    }
    TControl::Dispatch(Message);
}

void TWinControl::DefaultHandler(TMessage& Message) {
    if (!FHandle) {
        TControl::DefaultHandler(Message);
        return;
    }
    switch (Message.Msg) {
    case WM_PAINT:
        // A context in WParam means the control paints into it; nothing to validate.
        if (Message.WParam) return;
        break;
    case WM_SETTEXT:
        FText = Message.LParam ? reinterpret_cast<const char*>(Message.LParam) : "";
        break;
    }
    Message.Result = DefWindowProc(FHandle, Message.Msg, Message.WParam, Message.LParam);
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

TCustomControl::TCustomControl(TComponent* AOwner) : TWinControl(AOwner) {
    FCanvas = std::make_unique<TControlCanvas>(this);
}

TCustomControl::~TCustomControl() {
    // The window goes while the canvas can still let go of its context.
    if (FCanvas) FCanvas->FreeHandle();
}

void TCustomControl::Paint() {}

void TCustomControl::PaintWindow(HDC DC) {
    FCanvas->Lock();
    auto release = Finally([this] {
        FCanvas->SetHandle(nullptr);
        FCanvas->Unlock();
    });
    FCanvas->FreeHandle();
    FCanvas->SetHandle(DC);
    FCanvas->UpdateTextFlags();
    Paint();
}

void TCustomControl::DestroyWnd() {
    FCanvas->FreeHandle();
    TWinControl::DestroyWnd();
}

TGraphicControl::TGraphicControl(TComponent* AOwner) : TControl(AOwner) {
    FCanvas = std::make_unique<TControlCanvas>(this);
}

TGraphicControl::~TGraphicControl() {
    if (FCanvas) FCanvas->FreeHandle();
}

void TGraphicControl::WMPaint(TMessage& Message) {
    if (!Message.WParam) return;
    FCanvas->Lock();
    auto release = Finally([this] {
        FCanvas->SetHandle(nullptr);
        FCanvas->Unlock();
    });
    FCanvas->FreeHandle();
    FCanvas->SetHandle(reinterpret_cast<HDC>(Message.WParam));
    Paint();
}

void TGraphicControl::Dispatch(TMessage& Message) {
    if (Message.Msg == WM_PAINT) {
        WMPaint(Message);
        return;
    }
    TControl::Dispatch(Message);
}

}  // namespace epc
