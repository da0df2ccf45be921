// The message queue and pump, timers on the test clock, hooks, keyboard state, the caret,
// cursors, system metrics, message boxes, beeps and simulated input.

#include <algorithm>
#include <cstdlib>

#include "platform/windows/WindowInternal.h"

namespace epc {

// ---- Sending and posting ---------------------------------------------------------------------

LRESULT SendMessage(HWND h, uint32_t msg, WPARAM w, LPARAM l) {
    TWindow* window = LiveWindow(h);
    if (!window) return 0;
    WNDPROC proc = window->Proc;  // a handler may replace it while running
    if (!proc) return DefWindowProc(h, msg, w, l);
    return proc(h, msg, w, l);
}

BOOL PostMessage(HWND h, uint32_t msg, WPARAM w, LPARAM l, TPostedDeleter deleter) {
    auto& m = WM();
    if (h && !LiveWindow(h)) {
        if (deleter) deleter(w, l);
        return 0;
    }
    TQueuedMessage q;
    q.Msg = MSG{h, msg, w, l, uint32_t(m.Clock), m.CursorPos};
    q.Deleter = std::move(deleter);
    m.Queue.push_back(std::move(q));
    return 1;
}

void PostQuitMessage(int exitCode) {
    PostMessage(nullptr, WM_QUIT, WPARAM(exitCode), 0);
}

bool QuitRequested() { return WM().Quit; }
int QuitExitCode() { return WM().QuitCode; }

int PendingMessageCount() { return int(WM().Queue.size()); }

static bool InFilter(const MSG& msg, HWND h, uint32_t lo, uint32_t hi) {
    if (h && msg.hwnd != h) return false;
    if (lo == 0 && hi == 0) return true;
    return msg.message >= lo && msg.message <= hi;
}

BOOL PeekMessage(MSG* out, HWND h, uint32_t filterMin, uint32_t filterMax, uint32_t remove) {
    auto& m = WM();
    for (auto it = m.Queue.begin(); it != m.Queue.end(); ++it) {
        if (!InFilter(it->Msg, h, filterMin, filterMax)) continue;
        if (out) *out = it->Msg;
        if (remove & PM_REMOVE) {
            if (it->KeyState) m.KeyState = *it->KeyState;
            m.MessageTime = it->Msg.time;
            m.MessagePos = it->Msg.pt;
            m.Queue.erase(it);
        }
        return 1;
    }
    return 0;
}

BOOL TranslateMessage(const MSG* msg) {
    if (!msg || (msg->message != WM_KEYDOWN && msg->message != WM_SYSKEYDOWN)) return 0;
    auto& m = WM();
    bool shift = (m.KeyState[VK_SHIFT] & 0x80) != 0;
    bool ctrl = (m.KeyState[VK_CONTROL] & 0x80) != 0;
    bool caps = (m.KeyState[VK_CAPITAL] & 1) != 0;
    int vk = int(msg->wParam);
    char16_t ch = 0;
    if (ctrl && !(m.KeyState[VK_MENU] & 0x80)) {
        if (vk >= 'A' && vk <= 'Z') ch = char16_t(vk - 'A' + 1);
        else if (vk == VK_RETURN) ch = 10;
        else if (vk == VK_BACK) ch = 127;
    } else {
        ch = KeyToChar(vk, shift, caps);
    }
    if (!ch) return 0;
    TQueuedMessage q;
    q.Msg = *msg;
    q.Msg.message = msg->message == WM_SYSKEYDOWN ? WM_SYSCHAR : WM_CHAR;
    q.Msg.wParam = ch;
    m.Queue.push_front(std::move(q));  // the character follows its key at once
    return 1;
}

LRESULT DispatchMessage(const MSG* msg) {
    if (!msg || !LiveWindow(msg->hwnd)) return 0;
    return SendMessage(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

LONG GetMessageTime() { return LONG(WM().MessageTime); }
DWORD GetMessagePos() {
    TPoint p = WM().MessagePos;
    return DWORD(uint16_t(p.X)) | (DWORD(uint16_t(p.Y)) << 16);
}

void SetMessageExceptionHandler(TMessageExceptionHandler handler) {
    WM().ExceptionHandler = std::move(handler);
}

static std::function<bool(MSG&)>& MessageFilter() {
    return WM().Filter;
}

void SetMessageFilter(std::function<bool(MSG&)> filter) { MessageFilter() = std::move(filter); }

static LRESULT CallHookChain(int kind, int code, WPARAM w, LPARAM l) {
    auto& m = WM();
    auto it = m.Hooks.find(kind);
    if (it == m.Hooks.end() || it->second.empty()) return 0;
    HHOOK first = it->second.front();
    return first->Proc ? first->Proc(code, w, l) : 0;
}

static bool IsMouseMessage(uint32_t msg) {
    return (msg >= WM_MOUSEFIRST && msg <= WM_MOUSELAST) ||
           (msg >= WM_NCMOUSEMOVE && msg <= WM_NCMBUTTONDBLCLK);
}

static bool IsKeyMessage(uint32_t msg) { return msg >= WM_KEYFIRST && msg <= WM_KEYLAST; }

static void ReportException(std::exception_ptr e) {
    auto& h = WM().ExceptionHandler;
    if (h) {
        try {
            h(e);
        } catch (...) {
            // The handler is the last place to report to: its own failure goes nowhere.
        }
    }
}

// Delivers one message taken off the queue: message hook, input hooks, cursor shape,
// translation, dispatch.
static void Deliver(TQueuedMessage q) {
    auto& m = WM();
    MSG msg = q.Msg;
    if (msg.message == WM_QUIT) {
        m.Quit = true;
        m.QuitCode = int(msg.wParam);
        return;
    }
    if (msg.hwnd && !LiveWindow(msg.hwnd)) {
        if (q.Deleter) q.Deleter(msg.wParam, msg.lParam);
        return;
    }
    if (q.KeyState) m.KeyState = *q.KeyState;
    m.MessageTime = msg.time;
    m.MessagePos = msg.pt;
    try {
        CallHookChain(WH_GETMESSAGE, HC_ACTION, PM_REMOVE, reinterpret_cast<LPARAM>(&msg));
        if (msg.message == WM_NULL && q.Msg.message != WM_NULL) {
            if (q.Deleter) q.Deleter(q.Msg.wParam, q.Msg.lParam);
            return;
        }
        if (msg.hwnd && !LiveWindow(msg.hwnd)) {
            if (q.Deleter) q.Deleter(msg.wParam, msg.lParam);
            return;
        }
        if (IsMouseMessage(msg.message)) {
            MOUSEHOOKSTRUCT mh{msg.pt, msg.hwnd, HTCLIENT, 0};
            if (msg.message >= WM_NCMOUSEMOVE && msg.message <= WM_NCMBUTTONDBLCLK)
                mh.wHitTestCode = uint32_t(msg.wParam);
            if (CallHookChain(WH_MOUSE, HC_ACTION, msg.message, reinterpret_cast<LPARAM>(&mh)))
                return;
            if (!LiveWindow(msg.hwnd)) return;
            if (!m.Capture) {
                uint32_t hit = (msg.message >= WM_NCMOUSEMOVE && msg.message <= WM_NCMBUTTONDBLCLK)
                                   ? uint32_t(msg.wParam)
                                   : uint32_t(HTCLIENT);
                SendMessage(msg.hwnd, WM_SETCURSOR, reinterpret_cast<WPARAM>(msg.hwnd),
                            MAKELPARAM(hit, msg.message));
                if (!LiveWindow(msg.hwnd)) return;
            }
        } else if (IsKeyMessage(msg.message) && msg.message != WM_CHAR &&
                   msg.message != WM_SYSCHAR && msg.message != WM_DEADCHAR) {
            if (CallHookChain(WH_KEYBOARD, HC_ACTION, msg.wParam, msg.lParam)) return;
            if (!LiveWindow(msg.hwnd)) return;
        }
        if (MessageFilter() && MessageFilter()(msg)) return;
        if (!LiveWindow(msg.hwnd)) {
            if (q.Deleter && !msg.hwnd) q.Deleter(msg.wParam, msg.lParam);
            return;
        }
        TranslateMessage(&msg);
        DispatchMessage(&msg);
    } catch (...) {
        ReportException(std::current_exception());
    }
}

bool TakeQueuedMessage(TQueuedMessage& out) {
    auto& m = WM();
    if (m.Queue.empty()) return false;
    out = std::move(m.Queue.front());
    m.Queue.pop_front();
    return true;
}

void DeliverQueuedMessage(TQueuedMessage q) { Deliver(std::move(q)); }

static bool FireDueTimer() {
    auto& m = WM();
    TTimerRecord* next = nullptr;
    for (auto& t : m.Timers)
        if (t.Due <= m.Clock && (!next || t.Due < next->Due ||
                                 (t.Due == next->Due && t.Order < next->Order)))
            next = &t;
    if (!next) return false;
    next->Due += next->Interval;
    if (next->Due <= m.Clock) next->Due = m.Clock + next->Interval;
    HWND h = next->Window;
    UINT_PTR id = next->Id;
    TIMERPROC proc = next->Proc;
    m.MessageTime = uint32_t(m.Clock);
    try {
        if (proc) {
            proc(h, WM_TIMER, id, DWORD(m.Clock));
        } else if (LiveWindow(h)) {
            MSG msg{h, WM_TIMER, id, 0, uint32_t(m.Clock), m.CursorPos};
            CallHookChain(WH_GETMESSAGE, HC_ACTION, PM_REMOVE, reinterpret_cast<LPARAM>(&msg));
            if (msg.message != WM_NULL) DispatchMessage(&msg);
        }
    } catch (...) {
        ReportException(std::current_exception());
    }
    return true;
}

void ProcessMessages() {
    auto& m = WM();
    // A bound on the rounds keeps a handler that re-posts forever from hanging a test.
    for (int round = 0; round < 200000; ++round) {
        if (!m.Queue.empty()) {
            TQueuedMessage q = std::move(m.Queue.front());
            m.Queue.pop_front();
            Deliver(std::move(q));
            continue;
        }
        try {
            if (PaintOneWindow()) continue;
        } catch (...) {
            ReportException(std::current_exception());
            continue;
        }
        if (FireDueTimer()) continue;
        break;
    }
}

// ---- Clock and timers ------------------------------------------------------------------------

DWORD GetTickCount() { return DWORD(WM().Clock); }
uint64_t GetTickCount64() { return WM().Clock; }
void Sleep(DWORD ms) { WM().Clock += ms; }
uint32_t GetDoubleClickTime() { return 500; }

void AdvanceClock(DWORD ms) {
    auto& m = WM();
    uint64_t target = m.Clock + ms;
    ProcessMessages();
    for (;;) {
        uint64_t due = UINT64_MAX;
        for (auto& t : m.Timers) due = std::min(due, t.Due);
        if (due > target) break;
        if (due > m.Clock) m.Clock = due;
        ProcessMessages();
    }
    m.Clock = target;
    ProcessMessages();
}

UINT_PTR SetTimer(HWND h, UINT_PTR id, uint32_t elapse, TIMERPROC proc) {
    auto& m = WM();
    if (h && !LiveWindow(h)) return 0;
    elapse = std::max<uint32_t>(elapse, 10);
    if (!h) id = ++m.NextTimerId;
    for (auto& t : m.Timers)
        if (t.Window == h && t.Id == id) {
            t.Interval = elapse;
            t.Due = m.Clock + elapse;
            t.Order = ++m.TimerOrder;
            t.Proc = std::move(proc);
            return h ? 1 : id;
        }
    m.Timers.push_back({h, id, elapse, m.Clock + elapse, ++m.TimerOrder, std::move(proc)});
    return h ? (id ? id : 1) : id;
}

BOOL KillTimer(HWND h, UINT_PTR id) {
    auto& m = WM();
    auto it = std::find_if(m.Timers.begin(), m.Timers.end(),
                           [&](const TTimerRecord& t) { return t.Window == h && t.Id == id; });
    if (it == m.Timers.end()) return 0;
    m.Timers.erase(it);
    // A WM_TIMER of this timer that is still queued is dropped as Win32 does.
    return 1;
}

int TimerCount() { return int(WM().Timers.size()); }

// ---- Hooks -----------------------------------------------------------------------------------

HHOOK SetWindowsHookExA(int kind, HOOKPROC proc, void* module, DWORD threadId) {
    if (!proc) return nullptr;
    if (kind != WH_CBT && kind != WH_MOUSE && kind != WH_KEYBOARD && kind != WH_GETMESSAGE &&
        kind != WH_CALLWNDPROC && kind != WH_MSGFILTER)
        return nullptr;
    auto& m = WM();
    auto rec = std::make_unique<THookRecord>();
    rec->Kind = kind;
    rec->Proc = std::move(proc);
    HHOOK h = rec.get();
    m.HookRecords.push_back(std::move(rec));
    auto& chain = m.Hooks[kind];
    chain.insert(chain.begin(), h);
    return h;
}

namespace {
// The chain an installed hook is in, with pos at the hook; null when it is not installed.
std::vector<HHOOK>* FindHook(HHOOK hook, std::vector<HHOOK>::iterator& pos) {
    auto& m = WM();
    if (!hook) return nullptr;
    auto it = m.Hooks.find(hook->Kind);
    if (it == m.Hooks.end()) return nullptr;
    auto& chain = it->second;
    pos = std::find(chain.begin(), chain.end(), hook);
    return pos == chain.end() ? nullptr : &chain;
}
} // namespace

BOOL UnhookWindowsHookEx(HHOOK hook) {
    std::vector<HHOOK>::iterator pos;
    std::vector<HHOOK>* chain = FindHook(hook, pos);
    if (!chain) return 0;
    chain->erase(pos);
    hook->Alive = false;
    return 1;
}

LRESULT CallNextHookEx(HHOOK hook, int code, WPARAM w, LPARAM l) {
    std::vector<HHOOK>::iterator pos;
    std::vector<HHOOK>* chain = FindHook(hook, pos);
    if (!chain || pos + 1 == chain->end()) return 0;
    HHOOK next = *(pos + 1);
    return next->Proc ? next->Proc(code, w, l) : 0;
}

int HookCount(int kind) {
    auto it = WM().Hooks.find(kind);
    return it == WM().Hooks.end() ? 0 : int(it->second.size());
}

// ---- Keyboard state --------------------------------------------------------------------------

int16_t GetKeyState(int vk) {
    if (vk < 0 || vk > 255) return 0;
    uint8_t s = WM().KeyState[size_t(vk)];
    return int16_t(((s & 0x80) ? 0x8000 : 0) | (s & 1));
}

int16_t GetAsyncKeyState(int vk) {
    if (vk < 0 || vk > 255) return 0;
    uint8_t s = WM().AsyncKeyState[size_t(vk)];
    return int16_t((s & 0x80) ? 0x8000 : 0);
}

BOOL GetKeyboardState(uint8_t* state256) {
    if (!state256) return 0;
    std::copy(WM().KeyState.begin(), WM().KeyState.end(), state256);
    return 1;
}

char16_t KeyToChar(int vk, bool shift, bool capsLock) {
    if (vk >= 'A' && vk <= 'Z') {
        bool upper = shift != capsLock;
        return char16_t(upper ? vk : vk + 32);
    }
    if (vk >= '0' && vk <= '9') {
        static const char shifted[] = ")!@#$%^&*(";
        return char16_t(shift ? shifted[vk - '0'] : vk);
    }
    if (vk >= VK_NUMPAD0 && vk <= VK_NUMPAD9) return char16_t('0' + vk - VK_NUMPAD0);
    switch (vk) {
    case VK_SPACE: return u' ';
    case VK_RETURN: return 13;
    case VK_BACK: return 8;
    case VK_TAB: return 9;
    case VK_ESCAPE: return 27;
    case VK_MULTIPLY: return u'*';
    case VK_ADD: return u'+';
    case VK_SUBTRACT: return u'-';
    case VK_DECIMAL: return u'.';
    case VK_DIVIDE: return u'/';
    case 0xBA: return shift ? u':' : u';';
    case 0xBB: return shift ? u'+' : u'=';
    case 0xBC: return shift ? u'<' : u',';
    case 0xBD: return shift ? u'_' : u'-';
    case 0xBE: return shift ? u'>' : u'.';
    case 0xBF: return shift ? u'?' : u'/';
    case 0xC0: return shift ? u'~' : u'`';
    case 0xDB: return shift ? u'{' : u'[';
    case 0xDC: return shift ? u'|' : u'\\';
    case 0xDD: return shift ? u'}' : u']';
    case 0xDE: return shift ? u'"' : u'\'';
    }
    return 0;
}

int16_t VkKeyScan(char16_t ch) {
    for (int vk = 1; vk < 256; ++vk) {
        if (vk >= VK_NUMPAD0 && vk <= VK_DIVIDE) continue;
        if (KeyToChar(vk, false) == ch) return int16_t(vk);
        if (KeyToChar(vk, true) == ch) return int16_t(vk | 0x100);
    }
    return -1;
}

BOOL GetCursorPos(POINT* p) {
    if (!p) return 0;
    *p = WM().CursorPos;
    return 1;
}

BOOL SetCursorPos(int x, int y) {
    SimulateMouseMove(TPoint(x, y));
    return 1;
}

// ---- Caret -----------------------------------------------------------------------------------

BOOL CreateCaret(HWND h, HBITMAP, int width, int height) {
    if (!LiveWindow(h)) return 0;
    auto& c = WM().Caret;
    c = TCaretState();
    c.Owner = h;
    c.Width = width > 0 ? width : 1;
    c.Height = height > 0 ? height : 16;
    c.HideCount = 1;
    return 1;
}

BOOL DestroyCaret() {
    auto& c = WM().Caret;
    if (!c.Owner) return 0;
    c = TCaretState();
    return 1;
}

BOOL SetCaretPos(int x, int y) {
    auto& c = WM().Caret;
    if (!c.Owner) return 0;
    c.Pos = TPoint(x, y);
    return 1;
}

BOOL GetCaretPos(POINT* p) {
    if (!p) return 0;
    *p = WM().Caret.Pos;
    return 1;
}

BOOL ShowCaret(HWND h) {
    auto& c = WM().Caret;
    if (!c.Owner || (h && h != c.Owner) || c.HideCount == 0) return 0;
    --c.HideCount;
    return 1;
}

BOOL HideCaret(HWND h) {
    auto& c = WM().Caret;
    if (!c.Owner || (h && h != c.Owner)) return 0;
    ++c.HideCount;
    return 1;
}

TCaretState GetCaretState() { return WM().Caret; }

// ---- Cursors ---------------------------------------------------------------------------------

// Cursors are the process's, as resource cursors are: components and the screen object keep
// their handles for as long as the program runs.
struct TCursorTable {
    std::vector<std::unique_ptr<TCursorRecord>> Records;
    int NextId = 0x10000;
};

static TCursorTable& Cursors() {
    static TCursorTable table;
    return table;
}

static HCURSOR AddCursor(std::unique_ptr<TCursorRecord> rec) {
    HCURSOR h = rec.get();
    Cursors().Records.push_back(std::move(rec));
    return h;
}

HCURSOR LoadCursor(void*, int id) {
    for (auto& c : Cursors().Records)
        if (c->Stock && c->Id == id) return c.get();
    static const int stock[] = {IDC_ARROW, IDC_IBEAM, IDC_WAIT, IDC_CROSS, IDC_UPARROW,
                                IDC_SIZE, IDC_ICON, IDC_SIZENWSE, IDC_SIZENESW, IDC_SIZEWE,
                                IDC_SIZENS, IDC_SIZEALL, IDC_NO, IDC_HAND, IDC_APPSTARTING,
                                IDC_HELP};
    if (std::find(std::begin(stock), std::end(stock), id) == std::end(stock)) return nullptr;
    auto rec = std::make_unique<TCursorRecord>();
    rec->Id = id;
    rec->Stock = true;
    return AddCursor(std::move(rec));
}

HCURSOR LoadCursorA(void*, const char* name) {
    if (!name) return nullptr;
    for (auto& c : Cursors().Records)
        if (!c->Stock && c->Name == name) return c.get();
    return nullptr;
}

HCURSOR RegisterCursorImage(const std::string& name, int width, int height, TPoint hotSpot,
                            std::vector<uint32_t> pixels) {
    for (auto& c : Cursors().Records)
        if (!c->Stock && !name.empty() && c->Name == name) {
            c->Width = width;
            c->Height = height;
            c->HotSpot = hotSpot;
            c->Pixels = std::move(pixels);
            return c.get();
        }
    auto rec = std::make_unique<TCursorRecord>();
    rec->Id = Cursors().NextId++;
    rec->Name = name;
    rec->Width = width;
    rec->Height = height;
    rec->HotSpot = hotSpot;
    rec->Pixels = std::move(pixels);
    return AddCursor(std::move(rec));
}

HCURSOR CreateCursor(void*, int xHot, int yHot, int width, int height, const void*, const void*) {
    return RegisterCursorImage("", width, height, TPoint(xHot, yHot), {});
}

BOOL DestroyCursor(HCURSOR cursor) { return cursor ? 1 : 0; }

HCURSOR SetCursor(HCURSOR cursor) {
    HCURSOR old = WM().CurrentCursor;
    WM().CurrentCursor = cursor;
    return old;
}

HCURSOR GetCursor() { return WM().CurrentCursor; }

// ---- System information ----------------------------------------------------------------------

int GetSystemMetrics(int index) {
    auto& m = WM();
    switch (index) {
    case SM_CXSCREEN: case SM_CXFULLSCREEN: case SM_CXVIRTUALSCREEN: return m.ScreenWidth;
    case SM_CYSCREEN: case SM_CYVIRTUALSCREEN: return m.ScreenHeight;
    case SM_CYFULLSCREEN: return m.ScreenHeight - 18;
    case SM_CXVSCROLL: case SM_CYHSCROLL: case SM_CYVSCROLL: case SM_CXHSCROLL:
    case SM_CYVTHUMB: case SM_CXHTHUMB: return 17;
    case SM_CYCAPTION: return 18;
    case SM_CXBORDER: case SM_CYBORDER: return 1;
    case SM_CXDLGFRAME: case SM_CYDLGFRAME: return 3;
    case SM_CXFRAME: case SM_CYFRAME: return 4;
    case SM_CXEDGE: case SM_CYEDGE: return 2;
    case SM_CXICON: case SM_CYICON: case SM_CXCURSOR: case SM_CYCURSOR: return 32;
    case SM_CXSMICON: case SM_CYSMICON: return 16;
    case SM_CYMENU: return 19;
    case SM_CXMIN: return 112;
    case SM_CYMIN: return 27;
    case SM_CXSIZE: case SM_CYSIZE: return 18;
    case SM_CXDOUBLECLK: case SM_CYDOUBLECLK: return 4;
    case SM_CXDRAG: case SM_CYDRAG: return 4;
    case SM_CXMENUCHECK: case SM_CYMENUCHECK: return 13;
    case SM_CMOUSEBUTTONS: return 3;
    case SM_MOUSEWHEELPRESENT: case SM_CMONITORS: return 1;
    case SM_SWAPBUTTON: return 0;
    }
    return 0;
}

namespace {
// A fixed setting's answer: the value goes to the caller's variable when there is one.
template <typename T> BOOL StoreSetting(void* data, T value) {
    if (data) *static_cast<T*>(data) = value;
    return 1;
}
} // namespace

BOOL SystemParametersInfoA(uint32_t action, uint32_t param, void* data, uint32_t) {
    auto& m = WM();
    switch (action) {
    case SPI_GETWORKAREA:
        if (!data) return 0;
        *static_cast<RECT*>(data) = m.WorkArea;
        return 1;
    case SPI_SETWORKAREA:
        if (data) m.WorkArea = *static_cast<RECT*>(data);
        return 1;
    case SPI_GETDRAGFULLWINDOWS:
        return StoreSetting<BOOL>(data, m.DragFullWindows ? 1 : 0);
    case SPI_SETDRAGFULLWINDOWS:
        m.DragFullWindows = param != 0;
        return 1;
    case SPI_GETBEEP: return StoreSetting<BOOL>(data, 1);
    case SPI_GETWHEELSCROLLLINES: return StoreSetting<uint32_t>(data, 3);
    case SPI_GETMOUSEHOVERTIME: return StoreSetting<uint32_t>(data, 400);
    case SPI_GETKEYBOARDSPEED: return StoreSetting<uint32_t>(data, 31);
    case SPI_GETKEYBOARDDELAY: return StoreSetting<int>(data, 1);
    case SPI_GETCARETWIDTH: return StoreSetting<uint32_t>(data, 1);
    }
    return 0;
}

TRect GetWorkArea() { return WM().WorkArea; }

// ---- Message boxes and beeps -----------------------------------------------------------------

static int DefaultBoxAnswer(uint32_t flags) {
    int def = (flags & MB_DEFBUTTON3) ? 2 : (flags & MB_DEFBUTTON2) ? 1 : 0;
    static const int buttons[6][3] = {{IDOK, IDOK, IDOK},
                                      {IDOK, IDCANCEL, IDCANCEL},
                                      {IDABORT, IDRETRY, IDIGNORE},
                                      {IDYES, IDNO, IDCANCEL},
                                      {IDYES, IDNO, IDNO},
                                      {IDRETRY, IDCANCEL, IDCANCEL}};
    uint32_t kind = flags & 0xF;
    if (kind > 5) kind = 0;
    return buttons[kind][def];
}

int MessageBoxA(HWND owner, const char* text, const char* caption, uint32_t flags) {
    auto& m = WM();
    std::string t = text ? text : "";
    std::string c = caption ? caption : "Error";
    // Size from the text: lines of at most 60 characters, about 6 pixels each.
    int lines = 1, longest = 0, cur = 0;
    for (char ch : t) {
        if (ch == '\n') {
            ++lines;
            cur = 0;
        } else if (++cur > longest) {
            longest = cur;
        }
    }
    int buttons = (flags & 0xF) == MB_OK ? 1 : ((flags & 0xF) == 3 || (flags & 0xF) == 2) ? 3 : 2;
    int width = std::max({longest * 6 + 70, int(c.size()) * 6 + 60, buttons * 83 + 20, 120});
    width = std::min(width, m.ScreenWidth);
    int height = lines * 13 + 100;
    TRect work = m.WorkArea;
    TWindowCreate p;
    p.ClassName = "#32770";
    p.Caption = c;
    p.Style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
    p.ExStyle = WS_EX_DLGMODALFRAME;
    p.X = work.Left + (work.Width() - width) / 2;
    p.Y = work.Top + (work.Height() - height) / 2;
    p.Width = width;
    p.Height = height;
    p.Parent = LiveWindow(owner) ? owner : nullptr;
    HWND box = CreateWindow(p);
    if (!box) return 0;
    HWND oldActive = m.Active;
    HWND oldFocus = m.Focus;
    bool ownerWasEnabled = p.Parent && IsWindowEnabled(p.Parent);
    if (ownerWasEnabled) EnableWindow(p.Parent, 0);
    ShowWindow(box, SW_SHOW);
    int result = 0;
    if (LiveWindow(box)) {
        std::function<int(HWND)> answer;
        if (!m.BoxAnswers.empty()) {
            answer = std::move(m.BoxAnswers.front());
            m.BoxAnswers.pop_front();
        }
        result = answer ? answer(box) : DefaultBoxAnswer(flags);
    }
    TMessageBoxRecord rec;
    rec.Owner = owner;
    rec.Text = t;
    rec.Caption = c;
    rec.Flags = flags;
    if (LiveWindow(box)) GetWindowRect(box, &rec.Rect);
    rec.Result = result;
    m.BoxLog.push_back(rec);
    if (ownerWasEnabled && LiveWindow(p.Parent)) EnableWindow(p.Parent, 1);
    if (LiveWindow(box)) DestroyWindow(box);
    if (LiveWindow(oldActive) && IsWindowVisible(oldActive)) SetActiveWindow(oldActive);
    if (LiveWindow(oldFocus) && IsWindowVisible(oldFocus)) SetFocus(oldFocus);
    return result;
}

void ScriptMessageBoxAnswer(int result) {
    WM().BoxAnswers.push_back([result](HWND) { return result; });
}

void ScriptMessageBoxAnswer(std::function<int(HWND box)> answer) {
    WM().BoxAnswers.push_back(std::move(answer));
}

const std::vector<TMessageBoxRecord>& MessageBoxLog() { return WM().BoxLog; }
void ClearMessageBoxLog() { WM().BoxLog.clear(); }

BOOL MessageBeep(uint32_t type) {
    ++WM().Beeps;
    WM().LastBeep = type;
    return 1;
}

int BeepCount() { return WM().Beeps; }
uint32_t LastBeepType() { return WM().LastBeep; }

// ---- Simulated input -------------------------------------------------------------------------

DWORD MouseKeyBits(const std::array<uint8_t, 256>& keys) {
    DWORD k = 0;
    if (keys[VK_LBUTTON] & 0x80) k |= MK_LBUTTON;
    if (keys[VK_RBUTTON] & 0x80) k |= MK_RBUTTON;
    if (keys[VK_MBUTTON] & 0x80) k |= MK_MBUTTON;
    if (keys[VK_SHIFT] & 0x80) k |= MK_SHIFT;
    if (keys[VK_CONTROL] & 0x80) k |= MK_CONTROL;
    return k;
}

static WPARAM MouseKeyFlags() { return MouseKeyBits(WM().AsyncKeyState); }

static void PostInput(HWND h, uint32_t msg, WPARAM w, LPARAM l) {
    auto& m = WM();
    TQueuedMessage q;
    q.Msg = MSG{h, msg, w, l, uint32_t(m.Clock), m.CursorPos};
    q.Input = true;
    q.KeyState = std::make_shared<std::array<uint8_t, 256>>(m.AsyncKeyState);
    m.Queue.push_back(std::move(q));
}

// Posts a mouse message of the client kind (clientMsg) to the window below the cursor or the
// capture, or its non-client form outside the client area.
static void PostMouse(uint32_t clientMsg, WPARAM extra, bool isDown) {
    auto& m = WM();
    TPoint screen = m.CursorPos;
    HWND target = m.Capture;
    bool client = true;
    int hit = HTCLIENT;
    if (!target) {
        target = WindowFromPoint(screen);
        if (!target) return;
        // Input to a disabled window is lost, as it is to a window of a disabled form.
        for (HWND w = target; w; w = Win(w).Parent)
            if (Win(w).Style & WS_DISABLED) return;
        hit = int(SendMessage(target, WM_NCHITTEST, 0, PointToLParam(screen)));
        if (!LiveWindow(target)) return;
        client = hit == HTCLIENT;
    }
    uint32_t msg = clientMsg;
    if (isDown) {
        // Double clicks: same button and window, within the time and the distance.
        int cx = GetSystemMetrics(SM_CXDOUBLECLK) / 2, cy = GetSystemMetrics(SM_CYDOUBLECLK) / 2;
        bool dbl = m.LastDownValid && m.LastDownWindow == target && m.LastDownMsg == clientMsg &&
                   m.Clock - m.LastDownTime <= GetDoubleClickTime() &&
                   std::abs(screen.X - m.LastDownPos.X) <= cx &&
                   std::abs(screen.Y - m.LastDownPos.Y) <= cy &&
                   (!client || (Win(target).ClassStyle & CS_DBLCLKS));
        if (dbl) {
            msg = clientMsg + 2;  // the DBLCLK form follows DOWN and UP
            m.LastDownValid = false;
        } else {
            m.LastDownValid = true;
            m.LastDownWindow = target;
            m.LastDownMsg = clientMsg;
            m.LastDownTime = m.Clock;
            m.LastDownPos = screen;
        }
    }
    if (client) {
        TPoint p = screen;
        ScreenToClient(target, &p);
        WPARAM w = clientMsg == WM_MOUSEWHEEL ? extra : MouseKeyFlags();
        PostInput(target, msg, w, clientMsg == WM_MOUSEWHEEL ? PointToLParam(screen) : PointToLParam(p));
    } else {
        PostInput(target, msg - WM_MOUSEMOVE + WM_NCMOUSEMOVE, WPARAM(hit), PointToLParam(screen));
    }
}

void SimulateMouseMove(POINT screen) {
    WM().CursorPos = screen;
    PostMouse(WM_MOUSEMOVE, 0, false);
}

void SimulateMouseButton(TMouseButtonId button, bool down, POINT screen) {
    auto& m = WM();
    m.CursorPos = screen;
    uint8_t vk = button == TMouseButtonId::Left ? VK_LBUTTON
                 : button == TMouseButtonId::Right ? VK_RBUTTON : VK_MBUTTON;
    uint32_t base = button == TMouseButtonId::Left ? WM_LBUTTONDOWN
                    : button == TMouseButtonId::Right ? WM_RBUTTONDOWN : WM_MBUTTONDOWN;
    if (down) {
        m.AsyncKeyState[vk] = uint8_t((m.AsyncKeyState[vk] ^ 1) | 0x80);
    } else {
        m.AsyncKeyState[vk] &= uint8_t(~0x80);
    }
    PostMouse(down ? base : base + 1, 0, down);
}

void SimulateMouseWheel(int delta, POINT screen) {
    auto& m = WM();
    m.CursorPos = screen;
    HWND target = m.Focus ? m.Focus : m.Active;
    if (!target) target = WindowFromPoint(screen);
    if (!target) return;
    PostInput(target, WM_MOUSEWHEEL, MAKEWPARAM(int(MouseKeyFlags()), delta),
              PointToLParam(screen));
}

void SimulateKey(int vk, bool down) {
    auto& m = WM();
    if (vk <= 0 || vk > 255) return;
    bool wasDown = (m.AsyncKeyState[size_t(vk)] & 0x80) != 0;
    auto press = [&](int k) {
        if (down) m.AsyncKeyState[size_t(k)] = uint8_t((m.AsyncKeyState[size_t(k)] ^ (wasDown ? 0 : 1)) | 0x80);
        else m.AsyncKeyState[size_t(k)] &= uint8_t(~0x80);
    };
    press(vk);
    // The left and right forms share the state of the plain modifier.
    if (vk == VK_LSHIFT || vk == VK_RSHIFT) press(VK_SHIFT);
    if (vk == VK_LCONTROL || vk == VK_RCONTROL) press(VK_CONTROL);
    if (vk == VK_LMENU || vk == VK_RMENU) press(VK_MENU);
    HWND target = m.Focus ? m.Focus : m.Active;
    if (!target) return;
    bool alt = (m.AsyncKeyState[VK_MENU] & 0x80) != 0;
    bool sys = (alt && !(m.AsyncKeyState[VK_CONTROL] & 0x80)) || vk == VK_F10;
    uint32_t msg = down ? (sys ? WM_SYSKEYDOWN : WM_KEYDOWN) : (sys ? WM_SYSKEYUP : WM_KEYUP);
    uint32_t data = 1;
    if (alt) data |= 1u << 29;
    if (wasDown) data |= 1u << 30;
    if (!down) data |= (1u << 31) | (1u << 30);
    PostInput(target, msg, WPARAM(vk), LPARAM(int32_t(data)));
}

void SimulateChar(char16_t ch) {
    auto& m = WM();
    HWND target = m.Focus ? m.Focus : m.Active;
    if (!target) return;
    PostInput(target, WM_CHAR, WPARAM(ch), 1);
}

// ---- Shutting down ---------------------------------------------------------------------------

void ShutDownWindowManager() {
    auto& m = WM();
    // Top-level windows first; DestroyWindow takes the children with them.
    for (int guard = 0; guard < 10000 && !m.TopLevel.empty(); ++guard)
        if (!DestroyWindow(m.TopLevel.back())) {
            HWND h = m.TopLevel.back();
            m.TopLevel.pop_back();
            RemoveWindow(h);
        }
    // Objects carried by messages nobody will deliver.
    while (!m.Queue.empty()) {
        TQueuedMessage q = std::move(m.Queue.front());
        m.Queue.pop_front();
        if (q.Deleter) q.Deleter(q.Msg.wParam, q.Msg.lParam);
    }
}

}  // namespace epc
