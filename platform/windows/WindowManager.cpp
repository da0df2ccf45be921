// Window records, geometry, activation, focus, capture and the default window procedure.

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "platform/core/ScopeGuard.h"
#include "platform/windows/Ime.h"
#include "platform/windows/WindowsState.h"

namespace epc {

TWindowManager::TWindowManager() : Desktop(std::make_unique<TWindow>()) {
    Desktop->ClassName = "#32769";
    Desktop->Style = WS_VISIBLE;
    Desktop->Rect = TRect(0, 0, ScreenWidth, ScreenHeight);
    Desktop->Client = Desktop->Rect;
}

TWindowManager& WM() {
    return WindowsState().Manager;
}

TWindow& DesktopOrDeadWindow(HWND h) {
    if (h == kDesktopHandle) return *WM().Desktop;
    // Every caller checks liveness first; going on would touch some other record.
    std::fprintf(stderr, "window manager: record of a dead window handle %p asked for\n",
                 static_cast<void*>(h));
    std::abort();
}

static uint32_t NewGeneration() {
    static uint32_t next = 1;
    if (next == UINT32_MAX) {
        std::fprintf(stderr, "window manager: window handles exhausted\n");
        std::abort();
    }
    return next++;
}

HWND AddWindow(std::unique_ptr<TWindow> window) {
    auto& m = WM();
    uint32_t index;
    if (!m.FreeSlots.empty()) {
        index = m.FreeSlots.back();
        m.FreeSlots.pop_back();
    } else {
        index = uint32_t(m.Slots.size());
        m.Slots.emplace_back();
    }
    m.Slots[index].Window = std::move(window);
    m.Slots[index].Generation = NewGeneration();
    ++m.LiveCount;
    return MakeWindowHandle(index, m.Slots[index].Generation);
}

std::unique_ptr<TWindow> RemoveWindow(HWND h) {
    if (!LiveWindow(h)) return nullptr;
    auto& m = WM();
    uint32_t index = uint32_t(reinterpret_cast<uintptr_t>(h)) - 1;
    TWindowSlot& slot = m.Slots[index];
    std::unique_ptr<TWindow> window = std::move(slot.Window);
    --m.LiveCount;
    slot.Generation = 0;
    m.FreeSlots.push_back(index);
    return window;
}

// Classes are the process's: components register theirs once, the first time they need one.
static std::map<std::string, std::pair<WNDPROC, DWORD>>& WindowClasses() {
    static std::map<std::string, std::pair<WNDPROC, DWORD>> classes;
    return classes;
}

void RegisterWindowClass(const std::string& className, WNDPROC proc, DWORD classStyle) {
    WindowClasses()[className] = {std::move(proc), classStyle};
}

int LiveWindowCount() { return WM().LiveCount; }

// ---- Geometry --------------------------------------------------------------------------------

TPoint WindowScreenOrigin(HWND h) {
    if (!Win(h).Parent) return Win(h).Rect.TopLeft();
    TPoint p = ClientScreenOrigin(Win(h).Parent);
    return {p.X + Win(h).Rect.Left, p.Y + Win(h).Rect.Top};
}

TPoint ClientScreenOrigin(HWND h) {
    TPoint p = WindowScreenOrigin(h);
    return {p.X + Win(h).Client.Left, p.Y + Win(h).Client.Top};
}

BOOL GetWindowRect(HWND h, RECT* r) {
    if (!r) return 0;
    if (h == GetDesktopWindow()) {
        *r = TRect(0, 0, WM().ScreenWidth, WM().ScreenHeight);
        return 1;
    }
    if (!LiveWindow(h)) return 0;
    TPoint o = WindowScreenOrigin(h);
    *r = Bounds(o.X, o.Y, Win(h).Rect.Width(), Win(h).Rect.Height());
    return 1;
}

BOOL GetClientRect(HWND h, RECT* r) {
    if (!r) return 0;
    if (h == GetDesktopWindow()) return GetWindowRect(h, r);
    if (!LiveWindow(h)) return 0;
    *r = TRect(0, 0, std::max(0, Win(h).Client.Width()), std::max(0, Win(h).Client.Height()));
    return 1;
}

TPoint GetClientOffset(HWND h) {
    if (!LiveWindow(h)) return {};
    return Win(h).Client.TopLeft();
}

BOOL ClientToScreen(HWND h, POINT* p) {
    if (!p) return 0;
    if (h == GetDesktopWindow()) return 1;
    if (!LiveWindow(h)) return 0;
    TPoint o = ClientScreenOrigin(h);
    p->X += o.X;
    p->Y += o.Y;
    return 1;
}

BOOL ScreenToClient(HWND h, POINT* p) {
    if (!p) return 0;
    if (h == GetDesktopWindow()) return 1;
    if (!LiveWindow(h)) return 0;
    TPoint o = ClientScreenOrigin(h);
    p->X -= o.X;
    p->Y -= o.Y;
    return 1;
}

int MapWindowPoints(HWND from, HWND to, POINT* points, uint32_t count) {
    TPoint a = (from && from != GetDesktopWindow() && LiveWindow(from)) ? ClientScreenOrigin(from)
                                                                         : TPoint();
    TPoint b = (to && to != GetDesktopWindow() && LiveWindow(to)) ? ClientScreenOrigin(to)
                                                                   : TPoint();
    int dx = a.X - b.X, dy = a.Y - b.Y;
    for (uint32_t i = 0; i < count; ++i) {
        points[i].X += dx;
        points[i].Y += dy;
    }
    return int(uint32_t(uint16_t(dx)) | (uint32_t(uint16_t(dy)) << 16));
}

static HWND DeepestChildAt(HWND h, TPoint screen) {
    for (HWND c : Win(h).Children) {
        if (!(Win(c).Style & WS_VISIBLE)) continue;
        RECT r;
        GetWindowRect(c, &r);
        if (!r.Contains(screen)) continue;
        // A child is reachable only through its parent's client area.
        TPoint co = ClientScreenOrigin(h);
        TRect client = Bounds(co.X, co.Y, Win(h).Client.Width(), Win(h).Client.Height());
        if (!client.Contains(screen)) continue;
        return DeepestChildAt(c, screen);
    }
    return h;
}

HWND WindowFromPoint(POINT screen) {
    for (HWND t : WM().TopLevel) {
        if (!(Win(t).Style & WS_VISIBLE)) continue;
        RECT r;
        GetWindowRect(t, &r);
        if (r.Contains(screen)) return DeepestChildAt(t, screen);
    }
    return nullptr;
}

HWND ChildWindowFromPoint(HWND parent, POINT client) {
    if (!LiveWindow(parent)) return nullptr;
    TRect cr;
    GetClientRect(parent, &cr);
    if (!cr.Contains(client)) return nullptr;
    for (HWND c : Win(parent).Children)
        if (Win(c).Rect.Contains(client)) return c;
    return parent;
}

// ---- Window tree -----------------------------------------------------------------------------

HWND GetDesktopWindow() { return kDesktopHandle; }

BOOL IsWindow(HWND h) { return LiveWindow(h) ? 1 : 0; }

BOOL IsWindowVisible(HWND h) {
    if (!LiveWindow(h)) return 0;
    for (HWND w = h; w; w = Win(w).Parent)
        if (!(Win(w).Style & WS_VISIBLE)) return 0;
    return 1;
}

BOOL IsWindowEnabled(HWND h) { return LiveWindow(h) && !(Win(h).Style & WS_DISABLED); }

BOOL IsChild(HWND parent, HWND h) {
    if (!LiveWindow(h) || !parent) return 0;
    for (HWND w = Win(h).Parent; w; w = Win(w).Parent)
        if (w == parent) return 1;
    return 0;
}

BOOL IsWindowUnicode(HWND h) { return LiveWindow(h) ? 1 : 0; }

HWND GetParent(HWND h) {
    if (!LiveWindow(h)) return nullptr;
    if (Win(h).Parent) return Win(h).Parent;
    return (Win(h).Style & WS_POPUP) ? Win(h).Owner : nullptr;
}

static std::vector<HWND>& SiblingList(HWND h) {
    return Win(h).Parent ? Win(Win(h).Parent).Children : WM().TopLevel;
}

static void Unlink(HWND h) {
    auto& list = SiblingList(h);
    list.erase(std::remove(list.begin(), list.end(), h), list.end());
}

HWND SetParent(HWND h, HWND newParent) {
    if (!LiveWindow(h)) return nullptr;
    if (newParent == GetDesktopWindow()) newParent = nullptr;
    if (newParent && !LiveWindow(newParent)) return nullptr;
    HWND old = Win(h).Parent;
    TPoint screen = WindowScreenOrigin(h);
    Unlink(h);
    Win(h).Parent = newParent;
    if (newParent) {
        Win(h).Style |= WS_CHILD;
        Win(h).Style &= ~WS_POPUP;
    } else {
        Win(h).Style &= ~WS_CHILD;
        Win(h).Rect = Bounds(screen.X, screen.Y, Win(h).Rect.Width(), Win(h).Rect.Height());
    }
    SiblingList(h).insert(SiblingList(h).begin(), h);
    InvalidateRect(h, nullptr, 1);
    return old ? old : GetDesktopWindow();
}

HWND GetAncestor(HWND h, uint32_t flags) {
    if (!LiveWindow(h)) return nullptr;
    if (flags == GA_PARENT) return Win(h).Parent ? Win(h).Parent : GetDesktopWindow();
    HWND w = h;
    while (Win(w).Parent) w = Win(w).Parent;
    if (flags == GA_ROOTOWNER)
        while (Win(w).Owner && LiveWindow(Win(w).Owner)) {
            w = Win(w).Owner;
            while (Win(w).Parent) w = Win(w).Parent;
        }
    return w;
}

HWND GetWindow(HWND h, uint32_t relation) {
    if (!LiveWindow(h)) return nullptr;
    if (relation == GW_CHILD) return Win(h).Children.empty() ? nullptr : Win(h).Children.front();
    if (relation == GW_OWNER) return Win(h).Owner;
    auto& list = SiblingList(h);
    auto it = std::find(list.begin(), list.end(), h);
    switch (relation) {
    case GW_HWNDFIRST: return list.front();
    case GW_HWNDLAST: return list.back();
    case GW_HWNDNEXT: return (it + 1 != list.end()) ? *(it + 1) : nullptr;
    case GW_HWNDPREV: return it != list.begin() ? *(it - 1) : nullptr;
    }
    return nullptr;
}

HWND GetTopWindow(HWND h) {
    if (!h || h == GetDesktopWindow()) return WM().TopLevel.empty() ? nullptr : WM().TopLevel[0];
    return GetWindow(h, GW_CHILD);
}

std::vector<HWND> GetChildWindows(HWND h) {
    if (!LiveWindow(h)) return {};
    return Win(h).Children;
}

std::vector<HWND> GetTopLevelWindows() { return WM().TopLevel; }

WNDPROC GetWindowProc(HWND h) { return LiveWindow(h) ? Win(h).Proc : WNDPROC(); }

WNDPROC SetWindowProc(HWND h, WNDPROC proc) {
    if (!LiveWindow(h)) return {};
    WNDPROC old = std::move(Win(h).Proc);
    Win(h).Proc = std::move(proc);
    return old;
}

LRESULT CallWindowProc(const WNDPROC& proc, HWND h, uint32_t msg, WPARAM w, LPARAM l) {
    if (!proc) return DefWindowProc(h, msg, w, l);
    return proc(h, msg, w, l);
}

intptr_t GetWindowLong(HWND h, int index) {
    if (!LiveWindow(h)) return 0;
    switch (index) {
    case GWL_STYLE: return intptr_t(Win(h).Style);
    case GWL_EXSTYLE: return intptr_t(Win(h).ExStyle);
    case GWL_USERDATA: return Win(h).UserData;
    case GWL_ID: return Win(h).Id;
    }
    return 0;
}

intptr_t SetWindowLong(HWND h, int index, intptr_t value) {
    if (!LiveWindow(h)) return 0;
    intptr_t old = GetWindowLong(h, index);
    switch (index) {
    case GWL_STYLE: {
        DWORD visible = Win(h).Style & WS_VISIBLE;
        Win(h).Style = (DWORD(value) & ~WS_VISIBLE) | visible;
        break;
    }
    case GWL_EXSTYLE: Win(h).ExStyle = DWORD(value); break;
    case GWL_USERDATA: Win(h).UserData = value; break;
    case GWL_ID: Win(h).Id = value; break;
    }
    return old;
}

std::string GetClassName(HWND h) { return LiveWindow(h) ? Win(h).ClassName : std::string(); }
DWORD GetClassStyle(HWND h) { return LiveWindow(h) ? Win(h).ClassStyle : 0; }
std::string GetWindowText(HWND h) { return LiveWindow(h) ? Win(h).Text : std::string(); }

BOOL SetWindowText(HWND h, const std::string& text) {
    if (!LiveWindow(h)) return 0;
    return BOOL(SendMessage(h, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str())));
}

// ---- Creation and destruction ----------------------------------------------------------------

static LRESULT CallCbt(int code, WPARAM w, LPARAM l);

void RecalcNonClient(HWND h, bool sendSize) {
    NCCALCSIZE_PARAMS params{};
    params.rgrc[0] = Win(h).Rect;
    SendMessage(h, WM_NCCALCSIZE, 1, reinterpret_cast<LPARAM>(&params));
    if (!LiveWindow(h)) return;
    TRect c = params.rgrc[0];
    OffsetRect(c, -Win(h).Rect.Left, -Win(h).Rect.Top);
    if (c.Right < c.Left) c.Right = c.Left;
    if (c.Bottom < c.Top) c.Bottom = c.Top;
    TRect old = Win(h).Client;
    Win(h).Client = c;
    if (sendSize && (old.Width() != c.Width() || old.Height() != c.Height())) {
        SendMessage(h, WM_SIZE, SIZE_RESTORED, MAKELPARAM(c.Width(), c.Height()));
    }
}

HWND CreateWindow(const TWindowCreate& p) {
    HWND parent = p.Parent == GetDesktopWindow() ? nullptr : p.Parent;
    if (parent && !LiveWindow(parent)) return nullptr;
    bool child = (p.Style & WS_CHILD) && parent;
    auto record = std::make_unique<TWindow>();
    TWindow& r = *record;
    r.ClassName = p.ClassName;
    r.Text = p.Caption;
    r.Style = p.Style & ~WS_VISIBLE;
    r.ExStyle = p.ExStyle;
    r.ClassStyle = p.ClassStyle;
    r.Proc = p.WndProc;
    auto cls = WindowClasses().find(p.ClassName);
    if (cls != WindowClasses().end()) {
        if (!r.Proc) r.Proc = cls->second.first;
        r.ClassStyle |= cls->second.second;
    }
    if (child) r.Parent = parent;
    else r.Owner = parent;
    // Bars asked for by style start with Win32's default range.
    if (p.Style & WS_HSCROLL) r.Bars[SB_HORZ].Max = 100;
    if (p.Style & WS_VSCROLL) r.Bars[SB_VERT].Max = 100;
    r.Rect = Bounds(p.X, p.Y, std::max(0, p.Width), std::max(0, p.Height));
    HWND w = AddWindow(std::move(record));
    SiblingList(w).insert(SiblingList(w).begin(), w);

    CREATESTRUCT cs{p.Param,  parent,           p.Height,
                    p.Width,  p.Y,              p.X,
                    LONG(p.Style), p.Caption.c_str(), p.ClassName.c_str(),
                    p.ExStyle};
    if (CallCbt(HCBT_CREATEWND, reinterpret_cast<WPARAM>(w), 0) != 0 ||
        SendMessage(w, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&cs)) == 0) {
        DestroyWindow(w);
        return nullptr;
    }
    if (!LiveWindow(w)) return nullptr;
    RecalcNonClient(w, false);
    if (!LiveWindow(w)) return nullptr;
    if (SendMessage(w, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs)) == -1) {
        DestroyWindow(w);
        return nullptr;
    }
    if (!LiveWindow(w)) return nullptr;
    SendMessage(w, WM_SIZE, SIZE_RESTORED,
                MAKELPARAM(Win(w).Client.Width(), Win(w).Client.Height()));
    if (!LiveWindow(w)) return nullptr;
    SendMessage(w, WM_MOVE, 0,
                MAKELPARAM(Win(w).Rect.Left + Win(w).Client.Left,
                           Win(w).Rect.Top + Win(w).Client.Top));
    if (!LiveWindow(w)) return nullptr;
    Win(w).Update = TRect(0, 0, Win(w).Client.Width(), Win(w).Client.Height());
    Win(w).UpdateErase = true;
    Win(w).FramePending = true;
    if (p.Style & WS_VISIBLE) ShowWindow(w, SW_SHOW);
    return w;
}

HWND CreateWindowExA(DWORD exStyle, const char* className, const char* caption, DWORD style,
                     int x, int y, int width, int height, HWND parent, void* /*menu*/,
                     void* /*instance*/, void* param) {
    TWindowCreate p;
    p.ExStyle = exStyle;
    p.ClassName = className ? className : "";
    p.Caption = caption ? caption : "";
    p.Style = style;
    p.X = x;
    p.Y = y;
    p.Width = width;
    p.Height = height;
    p.Parent = parent;
    p.Param = param;
    return CreateWindow(p);
}

static void PurgeWindowState(HWND h) {
    auto& m = WM();
    for (auto it = m.Queue.begin(); it != m.Queue.end();) {
        if (it->Msg.hwnd == h) {
            TQueuedMessage q = std::move(*it);
            it = m.Queue.erase(it);
            if (q.Deleter) q.Deleter(q.Msg.wParam, q.Msg.lParam);
            it = m.Queue.begin();  // a deleter may have changed the queue
        } else {
            ++it;
        }
    }
    m.Timers.erase(std::remove_if(m.Timers.begin(), m.Timers.end(),
                                  [h](const TTimerRecord& t) { return t.Window == h; }),
                   m.Timers.end());
    if (m.Focus == h) m.Focus = nullptr;
    if (m.Active == h) m.Active = nullptr;
    if (m.Capture == h) m.Capture = nullptr;
    if (m.Caret.Owner == h) m.Caret = TCaretState();
    if (m.LastDownWindow == h) m.LastDownValid = false, m.LastDownWindow = nullptr;
}

static void SendDestroy(HWND h) {
    SendMessage(h, WM_DESTROY, 0, 0);
    if (!LiveWindow(h)) return;
    std::vector<HWND> children = Win(h).Children;
    for (HWND c : children)
        if (LiveWindow(c)) {
            Win(c).Destroying = true;
            SendDestroy(c);
        }
}

static void FinishDestroy(HWND h) {
    std::vector<HWND> children = Win(h).Children;
    for (HWND c : children)
        if (LiveWindow(c)) FinishDestroy(c);
    if (!LiveWindow(h)) return;
    SendMessage(h, WM_NCDESTROY, 0, 0);
    if (!LiveWindow(h)) return;
    PurgeWindowState(h);
    Unlink(h);
    ReleaseSurface(h);
    ForgetWindowDCs(h);
    RemoveWindow(h);
}

static void ActivateWindow(HWND h, bool callHook);

BOOL DestroyWindow(HWND h) {
    auto& m = WM();
    if (!LiveWindow(h) || Win(h).Destroying) return 0;
    if (CallCbt(HCBT_DESTROYWND, reinterpret_cast<WPARAM>(h), 0) != 0) return 0;
    Win(h).Destroying = true;
    // Owned top-level windows go first.
    std::vector<HWND> owned;
    for (HWND t : m.TopLevel)
        if (Win(t).Owner == h) owned.push_back(t);
    for (HWND o : owned) DestroyWindow(o);
    if (!LiveWindow(h)) return 1;
    bool wasActive = m.Active == h;
    if (m.Focus && (m.Focus == h || IsChild(h, m.Focus))) {
        HWND f = m.Focus;
        m.Focus = nullptr;
        SendMessage(f, WM_KILLFOCUS, 0, 0);
    }
    if (m.Capture && (m.Capture == h || IsChild(h, m.Capture))) ReleaseCapture();
    if (!LiveWindow(h)) return 1;
    Win(h).Style &= ~WS_VISIBLE;
    SendDestroy(h);
    if (LiveWindow(h)) FinishDestroy(h);
    if (wasActive) {
        m.Active = nullptr;
        for (HWND t : m.TopLevel)
            if ((Win(t).Style & WS_VISIBLE) && !(Win(t).Style & WS_DISABLED)) {
                ActivateWindow(t, true);
                break;
            }
    }
    return 1;
}

HWND AllocateHWnd(std::function<void(TMessage&)> handler) {
    TWindowCreate p;
    p.ClassName = "TPUtilWindow";
    p.Style = WS_POPUP;
    p.WndProc = [handler = std::move(handler)](HWND h, uint32_t msg, WPARAM w, LPARAM l) {
        TMessage m{msg, w, l, 0};
        if (handler) {
            handler(m);
            // A utility window always accepts its creation, whatever the handler answers.
            return msg == WM_NCCREATE ? LRESULT(1) : m.Result;
        }
        return DefWindowProc(h, msg, w, l);
    };
    return CreateWindow(p);
}

void DeallocateHWnd(HWND h) { DestroyWindow(h); }

// ---- Position, visibility, activation --------------------------------------------------------

enum : uint32_t { SWP_NOCLIENTSIZE = 0x0800, SWP_NOCLIENTMOVE = 0x1000 };

BOOL SetWindowPos(HWND h, HWND insertAfter, int x, int y, int cx, int cy, uint32_t flags) {
    if (!LiveWindow(h)) return 0;
    WINDOWPOS pos{h, insertAfter, x, y, cx, cy, flags};
    if (flags & SWP_NOMOVE) pos.x = Win(h).Rect.Left, pos.y = Win(h).Rect.Top;
    if (flags & SWP_NOSIZE) pos.cx = Win(h).Rect.Width(), pos.cy = Win(h).Rect.Height();
    if (!(flags & SWP_NOSENDCHANGING)) {
        SendMessage(h, WM_WINDOWPOSCHANGING, 0, reinterpret_cast<LPARAM>(&pos));
        if (!LiveWindow(h)) return 0;
    }
    pos.cx = std::max(0, pos.cx);
    pos.cy = std::max(0, pos.cy);
    TRect oldRect = Win(h).Rect;
    TRect oldClient = Win(h).Client;
    TRect newRect = Bounds(pos.x, pos.y, pos.cx, pos.cy);
    bool moved = newRect.TopLeft() != oldRect.TopLeft();
    bool sized = newRect.Width() != oldRect.Width() || newRect.Height() != oldRect.Height();
    Win(h).Rect = newRect;
    if (!(pos.flags & SWP_NOZORDER)) {
        auto& list = SiblingList(h);
        list.erase(std::remove(list.begin(), list.end(), h), list.end());
        if (pos.hwndInsertAfter == HWND_BOTTOM) list.push_back(h);
        else if (pos.hwndInsertAfter && LiveWindow(pos.hwndInsertAfter)) {
            auto it = std::find(list.begin(), list.end(), pos.hwndInsertAfter);
            list.insert(it == list.end() ? list.begin() : it + 1, h);
        } else list.insert(list.begin(), h);
    }
    if (sized || (pos.flags & SWP_FRAMECHANGED)) {
        RecalcNonClient(h, false);
        if (!LiveWindow(h)) return 0;
    }
    bool clientSized = Win(h).Client.Width() != oldClient.Width() ||
                       Win(h).Client.Height() != oldClient.Height();
    bool clientMoved = moved || Win(h).Client.TopLeft() != oldClient.TopLeft();
    if (!(pos.flags & SWP_NOREDRAW) && (sized || (pos.flags & SWP_FRAMECHANGED))) {
        Win(h).FramePending = true;
        InvalidateRect(h, nullptr, 1);
    }
    uint32_t done = pos.flags & ~(SWP_NOSIZE | SWP_NOMOVE);
    if (!moved) done |= SWP_NOMOVE;
    if (!sized) done |= SWP_NOSIZE;
    if (!clientSized) done |= SWP_NOCLIENTSIZE;
    if (!clientMoved) done |= SWP_NOCLIENTMOVE;
    pos.flags = done;
    if (flags & SWP_SHOWWINDOW) ShowWindow(h, (flags & SWP_NOACTIVATE) ? SW_SHOWNA : SW_SHOW);
    if (flags & SWP_HIDEWINDOW) ShowWindow(h, SW_HIDE);
    if (!LiveWindow(h)) return 0;
    SendMessage(h, WM_WINDOWPOSCHANGED, 0, reinterpret_cast<LPARAM>(&pos));
    return 1;
}

BOOL MoveWindow(HWND h, int x, int y, int width, int height, BOOL repaint) {
    return SetWindowPos(h, nullptr, x, y, width, height,
                        SWP_NOZORDER | SWP_NOACTIVATE | (repaint ? 0u : uint32_t(SWP_NOREDRAW)));
}

BOOL BringWindowToTop(HWND h) {
    return SetWindowPos(h, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

static LRESULT CallCbt(int code, WPARAM w, LPARAM l) {
    auto& m = WM();
    auto it = m.Hooks.find(WH_CBT);
    if (it == m.Hooks.end() || it->second.empty()) return 0;
    HHOOK first = it->second.front();
    return first->Proc ? first->Proc(code, w, l) : 0;
}

static void ActivateWindow(HWND h, bool callHook) {
    auto& m = WM();
    if (h) h = GetAncestor(h, GA_ROOT);
    if (m.Active == h) return;
    if (callHook && h) {
        CBTACTIVATESTRUCT cbt{0, m.Active};
        if (CallCbt(HCBT_ACTIVATE, reinterpret_cast<WPARAM>(h), reinterpret_cast<LPARAM>(&cbt)))
            return;
        if (!LiveWindow(h)) return;
    }
    HWND old = m.Active;
    m.Active = h;
    if (LiveWindow(old)) {
        SendMessage(old, WM_NCACTIVATE, 0, 0);
        SendMessage(old, WM_ACTIVATE, WA_INACTIVE, reinterpret_cast<LPARAM>(h));
    }
    if (LiveWindow(h) && m.Active == h) {
        auto& list = m.TopLevel;
        list.erase(std::remove(list.begin(), list.end(), h), list.end());
        list.insert(list.begin(), h);
        SendMessage(h, WM_NCACTIVATE, 1, 0);
        SendMessage(h, WM_ACTIVATE, WA_ACTIVE, reinterpret_cast<LPARAM>(old));
    }
}

BOOL ShowWindow(HWND h, int cmd) {
    auto& m = WM();
    if (!LiveWindow(h)) return 0;
    bool wasVisible = (Win(h).Style & WS_VISIBLE) != 0;
    if (cmd == SW_HIDE) {
        if (!wasVisible) return 0;
        SendMessage(h, WM_SHOWWINDOW, 0, 0);
        if (!LiveWindow(h)) return 1;
        Win(h).Style &= ~WS_VISIBLE;
        if (m.Focus && (m.Focus == h || IsChild(h, m.Focus))) {
            if (Win(h).Parent) SetFocus(Win(h).Parent);
            else SetFocus(nullptr);
        }
        if (m.Capture && (m.Capture == h || IsChild(h, m.Capture))) ReleaseCapture();
        if (!Win(h).Parent && m.Active == h) {
            HWND next = nullptr;
            for (HWND t : m.TopLevel)
                if (t != h && (Win(t).Style & WS_VISIBLE)) {
                    next = t;
                    break;
                }
            if (next) ActivateWindow(next, true);
            else {
                m.Active = nullptr;
                SendMessage(h, WM_ACTIVATE, WA_INACTIVE, 0);
            }
        }
        if (Win(h).Parent && LiveWindow(Win(h).Parent)) {
            TRect r = Win(h).Rect;
            InvalidateRect(Win(h).Parent, &r, 1);
        }
        return 1;
    }
    bool activate = !Win(h).Parent && cmd != SW_SHOWNA && cmd != SW_SHOWNOACTIVATE &&
                    !(Win(h).Style & WS_DISABLED);
    if (!wasVisible) {
        // The CBT hook hears the activation before the window shows, so it can still move it.
        bool refused = false;
        if (activate) {
            CBTACTIVATESTRUCT cbt{0, m.Active};
            refused = CallCbt(HCBT_ACTIVATE, reinterpret_cast<WPARAM>(h),
                              reinterpret_cast<LPARAM>(&cbt)) != 0;
            if (!LiveWindow(h)) return 0;
        }
        SendMessage(h, WM_SHOWWINDOW, 1, 0);
        if (!LiveWindow(h)) return 0;
        Win(h).Style |= WS_VISIBLE;
        Win(h).FramePending = true;
        InvalidateRect(h, nullptr, 1);
        if (activate && !refused) ActivateWindow(h, false);
    } else if (activate) {
        ActivateWindow(h, true);
    }
    return wasVisible ? 1 : 0;
}

BOOL EnableWindow(HWND h, BOOL enable) {
    if (!LiveWindow(h)) return 0;
    bool wasDisabled = (Win(h).Style & WS_DISABLED) != 0;
    if (bool(enable) == !wasDisabled) return wasDisabled;
    if (enable) Win(h).Style &= ~WS_DISABLED;
    else {
        Win(h).Style |= WS_DISABLED;
        if (WM().Focus == h) SetFocus(nullptr);
        if (WM().Capture == h) ReleaseCapture();
    }
    SendMessage(h, WM_ENABLE, enable ? 1 : 0, 0);
    return wasDisabled;
}

HWND GetActiveWindow() { return WM().Active; }

HWND SetActiveWindow(HWND h) {
    HWND old = WM().Active;
    if (h && !LiveWindow(h)) return nullptr;
    ActivateWindow(h, true);
    return old;
}

HWND GetForegroundWindow() { return WM().Active; }
BOOL SetForegroundWindow(HWND h) {
    if (!LiveWindow(h)) return 0;
    ActivateWindow(h, true);
    return 1;
}

HWND SetFocus(HWND h) {
    auto& m = WM();
    if (h && !LiveWindow(h)) return nullptr;
    HWND old = m.Focus;
    if (h == old) return old;
    if (h && (Win(h).Style & WS_DISABLED)) return nullptr;
    if (CallCbt(HCBT_SETFOCUS, reinterpret_cast<WPARAM>(h), reinterpret_cast<LPARAM>(old)))
        return nullptr;
    if (h) {
        HWND root = GetAncestor(h, GA_ROOT);
        if (m.Active != root && (Win(root).Style & WS_VISIBLE)) {
            // The root is activated first; its WM_ACTIVATE may already move the focus here.
            ActivateWindow(root, true);
            if (!LiveWindow(h)) return nullptr;
            if (m.Focus == h) return old;
            old = m.Focus;
        }
    }
    m.Focus = h;
    ++m.FocusChanging;
    auto changed = Finally([&] { --m.FocusChanging; });
    if (LiveWindow(old)) SendMessage(old, WM_KILLFOCUS, reinterpret_cast<WPARAM>(h), 0);
    if (h && m.Focus == h && LiveWindow(h))
        SendMessage(h, WM_SETFOCUS, reinterpret_cast<WPARAM>(LiveWindow(old) ? old : nullptr), 0);
    return old;
}

HWND GetFocus() { return WM().Focus; }
bool IsFocusChanging() { return WM().FocusChanging > 0; }

HWND SetCapture(HWND h) {
    auto& m = WM();
    HWND old = m.Capture;
    if (h && !LiveWindow(h)) return old;
    m.Capture = h;
    if (old != h && LiveWindow(old))
        SendMessage(old, WM_CAPTURECHANGED, 0, reinterpret_cast<LPARAM>(h));
    return old;
}

BOOL ReleaseCapture() {
    auto& m = WM();
    HWND old = m.Capture;
    m.Capture = nullptr;
    if (LiveWindow(old)) SendMessage(old, WM_CAPTURECHANGED, 0, 0);
    return 1;
}

HWND GetCapture() { return WM().Capture; }

// ---- The default window procedure ------------------------------------------------------------

static int FrameWidth(HWND h) {
    int n = 0;
    DWORD s = Win(h).Style;
    if ((s & WS_CAPTION) == WS_CAPTION || (s & WS_DLGFRAME))
        n += (s & WS_THICKFRAME) ? 4 : 3;
    else if (s & WS_THICKFRAME) n += 4;
    else if (s & WS_BORDER) n += 1;
    if (Win(h).ExStyle & WS_EX_CLIENTEDGE) n += 2;
    if (Win(h).ExStyle & WS_EX_STATICEDGE) n += 1;
    return n;
}

static bool HasCaption(HWND h) {
    const TWindow& w = Win(h);
    return (w.Style & WS_CAPTION) == WS_CAPTION && !w.Parent;
}

// The scroll bar rectangles of a window, relative to its window rectangle.
static void ScrollBarRects(HWND h, TRect& vert, TRect& horz) {
    vert = horz = TRect();
    const TWindow& w = Win(h);
    TRect c = w.Client;
    int sb = GetSystemMetrics(SM_CXVSCROLL);
    if (w.Style & WS_VSCROLL) {
        if (w.ExStyle & WS_EX_LEFTSCROLLBAR) vert = TRect(c.Left - sb, c.Top, c.Left, c.Bottom);
        else vert = TRect(c.Right, c.Top, c.Right + sb, c.Bottom);
    }
    if (Win(h).Style & WS_HSCROLL) horz = TRect(c.Left, c.Bottom, c.Right, c.Bottom + sb);
}

static LRESULT DefNcHitTest(HWND h, TPoint screen) {
    RECT wr;
    GetWindowRect(h, &wr);
    if (!wr.Contains(screen)) return HTNOWHERE;
    TPoint p(screen.X - wr.Left, screen.Y - wr.Top);
    if (Win(h).Client.Contains(p)) return HTCLIENT;
    TRect v, hz;
    ScrollBarRects(h, v, hz);
    if (v.Contains(p)) return HTVSCROLL;
    if (hz.Contains(p)) return HTHSCROLL;
    if (HasCaption(h) && p.Y < Win(h).Client.Top && p.Y >= FrameWidth(h)) return HTCAPTION;
    return HTBORDER;
}

// Drags the thumb as the scroll bar's own loop does: queued input is taken until the button
// comes up; each move reports SB_THUMBTRACK with the track position readable through
// GetScrollInfo(SIF_TRACKPOS), the release SB_THUMBPOSITION and SB_ENDSCROLL.
static void TrackThumb(HWND h, bool vertical, const TRect& barInWindow, int grab) {
    int bar = vertical ? SB_VERT : SB_HORZ;
    uint32_t msg = vertical ? WM_VSCROLL : WM_HSCROLL;
    TScrollBarState& s = Win(h).Bars[size_t(bar)];
    s.Tracking = true;
    s.TrackPos = s.Pos;
    auto& m = WM();
    for (int guard = 0; guard < 1000000; ++guard) {
        TQueuedMessage q;
        if (!TakeQueuedMessage(q)) break;  // nothing more: the button is let go
        if (!q.Input) {
            DeliverQueuedMessage(std::move(q));
            if (!LiveWindow(h)) return;
            continue;
        }
        if (q.KeyState) m.KeyState = *q.KeyState;
        m.MessageTime = q.Msg.time;
        m.MessagePos = q.Msg.pt;
        uint32_t k = q.Msg.message;
        if (k == WM_MOUSEMOVE || k == WM_NCMOUSEMOVE) {
            RECT wr;
            GetWindowRect(h, &wr);
            TBarGeometry g = BarGeometry(barInWindow, vertical, Win(h).Bars[size_t(bar)]);
            int start = vertical ? wr.Top + barInWindow.Top : wr.Left + barInWindow.Left;
            int at = (vertical ? q.Msg.pt.Y : q.Msg.pt.X) - start - g.TrackStart - grab;
            int64_t range = int64_t(s.Max) - s.Min + 1;
            int64_t span = range - std::max<int64_t>(int64_t(s.Page) - 1, 0) - 1;
            int free = std::max(1, g.TrackLength - g.ThumbLength);
            int64_t pos = s.Min + (int64_t(std::clamp(at, 0, free)) * span + free / 2) / free;
            if (int(pos) != s.TrackPos) {
                s.TrackPos = int(pos);
                SendMessage(h, msg, MAKEWPARAM(SB_THUMBTRACK, s.TrackPos), 0);
                if (!LiveWindow(h)) return;
            }
        } else if (k == WM_LBUTTONUP || k == WM_NCLBUTTONUP) {
            break;
        }
    }
    int final = s.TrackPos;
    SendMessage(h, msg, MAKEWPARAM(SB_THUMBPOSITION, final), 0);
    if (!LiveWindow(h)) return;
    SendMessage(h, msg, SB_ENDSCROLL, 0);
    if (LiveWindow(h)) Win(h).Bars[size_t(bar)].Tracking = false;
}

static void ScrollBarClick(HWND h, int hit, TPoint screen) {
    TRect v, hz;
    ScrollBarRects(h, v, hz);
    RECT wr;
    GetWindowRect(h, &wr);
    TPoint p(screen.X - wr.Left, screen.Y - wr.Top);
    bool vertical = hit == HTVSCROLL;
    TRect r = vertical ? v : hz;
    int bar = vertical ? SB_VERT : SB_HORZ;
    TBarGeometry g = BarGeometry(r, vertical, Win(h).Bars[size_t(bar)]);
    int length = vertical ? r.Height() : r.Width();
    int at = vertical ? p.Y - r.Top : p.X - r.Left;
    uint32_t code;
    if (at < g.Arrow) code = SB_LINEUP;
    else if (at >= length - g.Arrow) code = SB_LINEDOWN;
    else if (!g.HasThumb) return;
    else {
        int thumbStart = g.TrackStart + g.ThumbOffset;
        if (at >= thumbStart && at < thumbStart + g.ThumbLength) {
            TrackThumb(h, vertical, r, at - thumbStart);
            return;
        }
        code = at < thumbStart ? SB_PAGEUP : SB_PAGEDOWN;
    }
    uint32_t msg = vertical ? WM_VSCROLL : WM_HSCROLL;
    SendMessage(h, msg, code, 0);
    if (LiveWindow(h)) SendMessage(h, msg, SB_ENDSCROLL, 0);
}

LRESULT DefWindowProc(HWND h, uint32_t msg, WPARAM w, LPARAM l) {
    if (!LiveWindow(h)) return 0;
    switch (msg) {
    case WM_NCCREATE: return 1;
    case WM_NCCALCSIZE: {
        auto* p = reinterpret_cast<NCCALCSIZE_PARAMS*>(l);
        if (!p) return 0;
        TRect& r = p->rgrc[0];
        int f = FrameWidth(h);
        InflateRect(r, -f, -f);
        if (HasCaption(h)) r.Top += GetSystemMetrics(SM_CYCAPTION);
        int sb = GetSystemMetrics(SM_CXVSCROLL);
        if ((Win(h).Style & WS_VSCROLL) && r.Width() >= sb) {
            if (Win(h).ExStyle & WS_EX_LEFTSCROLLBAR) r.Left += sb;
            else r.Right -= sb;
        }
        if ((Win(h).Style & WS_HSCROLL) && r.Height() >= sb) r.Bottom -= sb;
        if (r.Right < r.Left) r.Right = r.Left;
        if (r.Bottom < r.Top) r.Bottom = r.Top;
        return 0;
    }
    case WM_NCHITTEST: return DefNcHitTest(h, LParamToPoint(l));
    case WM_NCPAINT: {
        HDC dc = GetWindowDC(h);
        if (dc) {
            DefaultNcPaint(h, dc);
            ReleaseDC(h, dc);
        }
        return 0;
    }
    case WM_NCACTIVATE: return 1;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        BeginPaint(h, &ps);
        EndPaint(h, &ps);
        return 0;
    }
    case WM_ERASEBKGND: return 0;
    case WM_PRINT: {
        HDC dc = reinterpret_cast<HDC>(w);
        if ((l & PRF_CHECKVISIBLE) && !IsWindowVisible(h)) return 0;
        if (l & PRF_NONCLIENT) DefaultNcPaint(h, dc);
        POINT oldOrg;
        GetViewportOrgEx(dc, &oldOrg);
        bool nc = (l & PRF_NONCLIENT) != 0;
        if (nc) {
            TPoint offset = Win(h).Client.TopLeft();
            SetViewportOrgEx(dc, oldOrg.X + offset.X, oldOrg.Y + offset.Y, nullptr);
        }
        if (l & PRF_ERASEBKGND) SendMessage(h, WM_ERASEBKGND, w, 0);
        if (l & PRF_CLIENT) SendMessage(h, WM_PRINTCLIENT, w, l);
        if (l & PRF_CHILDREN) {
            std::vector<HWND> kids = Win(h).Children;
            for (auto it = kids.rbegin(); it != kids.rend(); ++it) {
                HWND c = *it;
                if (!LiveWindow(c) || !(Win(c).Style & WS_VISIBLE)) continue;
                POINT org;
                GetViewportOrgEx(dc, &org);
                int saved = SaveDC(dc);
                SetViewportOrgEx(dc, org.X + Win(c).Rect.Left, org.Y + Win(c).Rect.Top, nullptr);
                SendMessage(c, WM_PRINT, w, l | PRF_NONCLIENT);
                RestoreDC(dc, saved);
            }
        }
        SetViewportOrgEx(dc, oldOrg.X, oldOrg.Y, nullptr);
        return 0;
    }
    case WM_PRINTCLIENT: return 0;
    case WM_CLOSE: DestroyWindow(h); return 0;
    case WM_SETTEXT: Win(h).Text = l ? reinterpret_cast<const char*>(l) : ""; return 1;
    case WM_GETTEXTLENGTH: return LRESULT(Win(h).Text.size());
    case WM_GETTEXT: {
        if (w == 0 || !l) return 0;
        size_t n = std::min<size_t>(w - 1, Win(h).Text.size());
        auto* buf = reinterpret_cast<char*>(l);
        std::copy_n(Win(h).Text.data(), n, buf);
        buf[n] = 0;
        return LRESULT(n);
    }
    case WM_SETCURSOR: {
        if (Win(h).Parent && SendMessage(Win(h).Parent, WM_SETCURSOR, w, l)) return 1;
        if (LOWORD(uintptr_t(l)) == HTCLIENT) SetCursor(LoadCursor(nullptr, IDC_ARROW));
        return 0;
    }
    case WM_MOUSEWHEEL:
    case WM_CONTEXTMENU:
        if (Win(h).Parent) return SendMessage(Win(h).Parent, msg, w, l);
        return 0;
    case WM_ACTIVATE:
        if (LOWORD(w) != WA_INACTIVE) {
            HWND f = GetFocus();
            if (!f || GetAncestor(f, GA_ROOT) != h) SetFocus(h);
        }
        return 0;
    case WM_MOUSEACTIVATE: return 1;
    case WM_SETREDRAW: Win(h).NoRedraw = w == 0; return 0;
    case WM_CANCELMODE:
        if (GetCapture() == h) ReleaseCapture();
        return 0;
    case WM_WINDOWPOSCHANGED: {
        auto* pos = reinterpret_cast<WINDOWPOS*>(l);
        if (!pos) return 0;
        if (!(pos->flags & SWP_NOCLIENTMOVE))
            SendMessage(h, WM_MOVE, 0,
                        MAKELPARAM(Win(h).Rect.Left + Win(h).Client.Left,
                                   Win(h).Rect.Top + Win(h).Client.Top));
        if (LiveWindow(h) && !(pos->flags & SWP_NOCLIENTSIZE))
            SendMessage(h, WM_SIZE, SIZE_RESTORED,
                        MAKELPARAM(Win(h).Client.Width(), Win(h).Client.Height()));
        return 0;
    }
    case WM_NCLBUTTONDOWN:
        if (w == HTVSCROLL || w == HTHSCROLL) ScrollBarClick(h, int(w), LParamToPoint(l));
        return 0;
    case WM_NCLBUTTONDBLCLK:
        if (w == HTVSCROLL || w == HTHSCROLL) ScrollBarClick(h, int(w), LParamToPoint(l));
        return 0;
    case WM_GETDLGCODE: return 0;
    case WM_IME_COMPOSITION:
        // Unhandled, a finished composition arrives as characters.
        if (l & 0x0800) {
            std::u16string result;
            LONG bytes = ImmGetCompositionStringW(ImmGetContext(h), 0x0800, nullptr, 0);
            result.resize(size_t(bytes) / 2);
            ImmGetCompositionStringW(ImmGetContext(h), 0x0800, result.data(), DWORD(bytes));
            for (char16_t ch : result) PostMessage(h, WM_CHAR, ch, 1);
        }
        return 0;
    }
    return 0;
}

}  // namespace epc
