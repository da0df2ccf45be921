#pragma once
// The headless window manager: window records and their tree, coordinates and the non-client
// area, the message queue and timers on a test clock, invalidation and the paint cycle into
// each window's own 32-bit pixel buffer, scroll bars, focus, capture, keyboard state, the
// caret, cursors, thread hooks, system metrics, message boxes and input simulation. Names,
// numbers and semantics follow Win32 where the components depend on them.

#include <cstdint>
#include <exception>
#include <functional>
#include <string>
#include <vector>

#include "platform/core/Geometry.h"
#include "platform/core/Threads.h"
#include "platform/gdi/Gdi.h"
#include "platform/windows/Messages.h"

namespace epc {

using WNDPROC = std::function<LRESULT(HWND, uint32_t, WPARAM, LPARAM)>;

// ---- Styles ----------------------------------------------------------------------------------
enum : DWORD {
    WS_OVERLAPPED = 0x00000000, WS_TABSTOP = 0x00010000, WS_GROUP = 0x00020000,
    WS_MAXIMIZEBOX = 0x00010000, WS_MINIMIZEBOX = 0x00020000, WS_THICKFRAME = 0x00040000,
    WS_SIZEBOX = 0x00040000, WS_SYSMENU = 0x00080000, WS_HSCROLL = 0x00100000,
    WS_VSCROLL = 0x00200000, WS_DLGFRAME = 0x00400000, WS_BORDER = 0x00800000,
    WS_CAPTION = 0x00C00000, WS_MAXIMIZE = 0x01000000, WS_CLIPCHILDREN = 0x02000000,
    WS_CLIPSIBLINGS = 0x04000000, WS_DISABLED = 0x08000000, WS_VISIBLE = 0x10000000,
    WS_MINIMIZE = 0x20000000, WS_CHILD = 0x40000000, WS_POPUP = 0x80000000,
    WS_OVERLAPPEDWINDOW = 0x00CF0000, WS_POPUPWINDOW = 0x80880000
};
enum : DWORD {
    WS_EX_DLGMODALFRAME = 0x00000001, WS_EX_NOPARENTNOTIFY = 0x00000004,
    WS_EX_TOPMOST = 0x00000008, WS_EX_TRANSPARENT = 0x00000020, WS_EX_TOOLWINDOW = 0x00000080,
    WS_EX_WINDOWEDGE = 0x00000100, WS_EX_CLIENTEDGE = 0x00000200,
    WS_EX_CONTEXTHELP = 0x00000400, WS_EX_RIGHT = 0x00001000, WS_EX_RTLREADING = 0x00002000,
    WS_EX_LEFTSCROLLBAR = 0x00004000, WS_EX_CONTROLPARENT = 0x00010000,
    WS_EX_STATICEDGE = 0x00020000, WS_EX_APPWINDOW = 0x00040000
};
// Class styles
enum : DWORD { CS_VREDRAW = 0x0001, CS_HREDRAW = 0x0002, CS_DBLCLKS = 0x0008,
               CS_OWNDC = 0x0020, CS_SAVEBITS = 0x0800 };

// ---- Window records --------------------------------------------------------------------------
// What CreateWindowEx receives, in one record (the framework's CreateParams fill one).
struct TWindowCreate {
    DWORD ExStyle = 0;
    std::string ClassName;
    std::string Caption;
    DWORD Style = 0;
    int X = 0, Y = 0, Width = 0, Height = 0;
    HWND Parent = nullptr;  // the owner for a top-level (non-child) window
    DWORD ClassStyle = 0;
    WNDPROC WndProc;  // empty: the registered class procedure, else DefWindowProc
    void* Param = nullptr;
};

struct CREATESTRUCT {
    void* lpCreateParams;
    HWND hwndParent;
    int cy, cx, y, x;
    LONG style;
    const char* lpszName;
    const char* lpszClass;
    DWORD dwExStyle;
};

// Registers a class procedure used by windows created with that class name and no procedure.
void RegisterWindowClass(const std::string& className, WNDPROC proc, DWORD classStyle = 0);

HWND CreateWindow(const TWindowCreate& params);
HWND CreateWindowExA(DWORD exStyle, const char* className, const char* caption, DWORD style,
                     int x, int y, int width, int height, HWND parent, void* menu,
                     void* instance, void* param);
// Destroys the children first (WM_DESTROY then WM_NCDESTROY to each), frees the window's
// queued messages (running their deleters) and its timers. Focus, capture and the caret leave it.
BOOL DestroyWindow(HWND h);
BOOL IsWindow(HWND h);
BOOL IsWindowVisible(HWND h);  // the window and all its parents are visible
BOOL IsWindowEnabled(HWND h);
BOOL IsChild(HWND parent, HWND h);
BOOL IsWindowUnicode(HWND h);

HWND GetParent(HWND h);
HWND SetParent(HWND h, HWND newParent);
HWND GetDesktopWindow();  // never null; top-level windows have it as parent for coordinates
HWND GetAncestor(HWND h, uint32_t flags);
enum : uint32_t { GA_PARENT = 1, GA_ROOT = 2, GA_ROOTOWNER = 3 };
enum : uint32_t { GW_HWNDFIRST = 0, GW_HWNDLAST = 1, GW_HWNDNEXT = 2, GW_HWNDPREV = 3,
                  GW_OWNER = 4, GW_CHILD = 5 };
HWND GetWindow(HWND h, uint32_t relation);
HWND GetTopWindow(HWND h);
// The child windows of h in z-order, topmost first.
std::vector<HWND> GetChildWindows(HWND h);
// All live top-level windows, topmost first.
std::vector<HWND> GetTopLevelWindows();

WNDPROC GetWindowProc(HWND h);
// Replaces the procedure and returns the old one (subclassing).
WNDPROC SetWindowProc(HWND h, WNDPROC proc);
LRESULT CallWindowProc(const WNDPROC& proc, HWND h, uint32_t msg, WPARAM w, LPARAM l);
LRESULT DefWindowProc(HWND h, uint32_t msg, WPARAM w, LPARAM l);

enum : int { GWL_WNDPROC = -4, GWL_ID = -12, GWL_STYLE = -16, GWL_EXSTYLE = -20,
             GWL_USERDATA = -21 };
intptr_t GetWindowLong(HWND h, int index);
// Style changes take effect on the next SetWindowPos with SWP_FRAMECHANGED, as in Win32.
intptr_t SetWindowLong(HWND h, int index, intptr_t value);
std::string GetClassName(HWND h);
DWORD GetClassStyle(HWND h);
std::string GetWindowText(HWND h);
BOOL SetWindowText(HWND h, const std::string& text);

// ---- Geometry --------------------------------------------------------------------------------
// Window rectangles are in screen coordinates, client rectangles start at 0,0.
BOOL GetWindowRect(HWND h, RECT* r);
BOOL GetClientRect(HWND h, RECT* r);
BOOL ClientToScreen(HWND h, POINT* p);
BOOL ScreenToClient(HWND h, POINT* p);
int MapWindowPoints(HWND from, HWND to, POINT* points, uint32_t count);
// The client area's offset inside the window rectangle (our addition: the non-client widths).
TPoint GetClientOffset(HWND h);
HWND WindowFromPoint(POINT screen);
HWND ChildWindowFromPoint(HWND parent, POINT client);

enum : uint32_t { SWP_NOSIZE = 0x0001, SWP_NOMOVE = 0x0002, SWP_NOZORDER = 0x0004,
                  SWP_NOREDRAW = 0x0008, SWP_NOACTIVATE = 0x0010, SWP_FRAMECHANGED = 0x0020,
                  SWP_SHOWWINDOW = 0x0040, SWP_HIDEWINDOW = 0x0080, SWP_NOCOPYBITS = 0x0100,
                  SWP_NOOWNERZORDER = 0x0200, SWP_NOSENDCHANGING = 0x0400 };
inline HWND const HWND_TOP = nullptr;
inline HWND const HWND_BOTTOM = reinterpret_cast<HWND>(1);
// x, y are in the parent's client coordinates (screen for top-level windows). A size change
// sends WM_NCCALCSIZE, then WM_SIZE when the client size changed, and invalidates the window.
BOOL SetWindowPos(HWND h, HWND insertAfter, int x, int y, int cx, int cy, uint32_t flags);
BOOL MoveWindow(HWND h, int x, int y, int width, int height, BOOL repaint);
enum : int { SW_HIDE = 0, SW_SHOWNORMAL = 1, SW_SHOWMINIMIZED = 2, SW_SHOWMAXIMIZED = 3,
             SW_SHOWNOACTIVATE = 4, SW_SHOW = 5, SW_MINIMIZE = 6, SW_SHOWNA = 8,
             SW_RESTORE = 9 };
// Showing a top-level window activates it (unless SW_SHOWNA/SHOWNOACTIVATE); the CBT hook hears
// HCBT_ACTIVATE before the window becomes visible.
BOOL ShowWindow(HWND h, int cmd);
BOOL EnableWindow(HWND h, BOOL enable);
BOOL BringWindowToTop(HWND h);

struct NCCALCSIZE_PARAMS {
    RECT rgrc[3];
    void* lppos;
};
struct WINDOWPOS {
    HWND hwnd, hwndInsertAfter;
    int x, y, cx, cy;
    uint32_t flags;
};

// ---- Activation and focus --------------------------------------------------------------------
HWND GetActiveWindow();
HWND SetActiveWindow(HWND h);
HWND GetForegroundWindow();
BOOL SetForegroundWindow(HWND h);
// Sends WM_KILLFOCUS (naming the new window) to the old focus before WM_SETFOCUS (naming the
// old window) to the new one. A CBT hook may refuse the change.
HWND SetFocus(HWND h);
HWND GetFocus();
// True while SetFocus is telling the windows that lose and gain the focus.
bool IsFocusChanging();
HWND SetCapture(HWND h);
BOOL ReleaseCapture();
HWND GetCapture();

// ---- Messages and the queue ------------------------------------------------------------------
LRESULT SendMessage(HWND h, uint32_t msg, WPARAM w, LPARAM l);
// An object carried by a posted message; run when the message is never delivered (the window
// is gone before delivery, or the post itself fails). The receiver owns it otherwise.
using TPostedDeleter = std::function<void(WPARAM, LPARAM)>;
BOOL PostMessage(HWND h, uint32_t msg, WPARAM w, LPARAM l, TPostedDeleter deleter = {});
// Posts WM_QUIT.
void PostQuitMessage(int exitCode);
enum : uint32_t { PM_NOREMOVE = 0, PM_REMOVE = 1 };
BOOL PeekMessage(MSG* msg, HWND h, uint32_t filterMin, uint32_t filterMax, uint32_t remove);
BOOL TranslateMessage(const MSG* msg);  // WM_KEYDOWN with a character posts WM_CHAR
LRESULT DispatchMessage(const MSG* msg);
// Time of the message being processed (ms on the test clock).
LONG GetMessageTime();
DWORD GetMessagePos();  // screen position packed x low, y high
// Pumps posted messages, then paints, then timers that are due, until nothing is left.
// An exception escaping a handler goes to the exception handler and the pump continues.
void ProcessMessages();
// Handler for exceptions escaping message handlers (the application installs its own).
using TMessageExceptionHandler = std::function<void(std::exception_ptr)>;
void SetMessageExceptionHandler(TMessageExceptionHandler handler);
// Sees each posted or input message before translation and dispatch; true keeps it from the
// window (the application's key and hint preprocessing).
void SetMessageFilter(std::function<bool(MSG&)> filter);
// Number of posted messages waiting (tests).
int PendingMessageCount();
// Messages sent or posted to windows that are gone are dropped; quit requests are counted.
bool QuitRequested();
int QuitExitCode();

// The window procedure for plain utility windows (our addition, as the framework's).
HWND AllocateHWnd(std::function<void(TMessage&)> handler);
void DeallocateHWnd(HWND h);

// ---- Clock and timers ------------------------------------------------------------------------
using TIMERPROC = std::function<void(HWND, uint32_t, UINT_PTR, DWORD)>;
DWORD GetTickCount();
uint64_t GetTickCount64();
void Sleep(DWORD ms);  // advances the clock, delivers nothing
// Advances the clock by ms, delivering every timer that falls due, in time order, each at its
// own time (with the messages it causes processed), then processes messages at the end.
void AdvanceClock(DWORD ms);
// A running id is restarted with the new interval. With a null window the id is chosen.
UINT_PTR SetTimer(HWND h, UINT_PTR id, uint32_t elapse, TIMERPROC proc = {});
BOOL KillTimer(HWND h, UINT_PTR id);
int TimerCount();
uint32_t GetDoubleClickTime();

// ---- Painting --------------------------------------------------------------------------------
struct PAINTSTRUCT {
    HDC hdc = nullptr;
    BOOL fErase = 0;  // the background still has to be erased
    RECT rcPaint;
};
// Union of invalidations in client coordinates; null means the whole client area.
BOOL InvalidateRect(HWND h, const RECT* r, BOOL erase);
BOOL InvalidateRgn(HWND h, HRGN rgn, BOOL erase);
BOOL ValidateRect(HWND h, const RECT* r);
BOOL GetUpdateRect(HWND h, RECT* r, BOOL erase);
BOOL UpdateWindow(HWND h);
enum : uint32_t { RDW_INVALIDATE = 0x0001, RDW_INTERNALPAINT = 0x0002, RDW_ERASE = 0x0004,
                  RDW_VALIDATE = 0x0008, RDW_NOINTERNALPAINT = 0x0010, RDW_NOERASE = 0x0020,
                  RDW_NOCHILDREN = 0x0040, RDW_ALLCHILDREN = 0x0080, RDW_UPDATENOW = 0x0100,
                  RDW_ERASENOW = 0x0200, RDW_FRAME = 0x0400, RDW_NOFRAME = 0x0800 };
BOOL RedrawWindow(HWND h, const RECT* r, HRGN rgn, uint32_t flags);
// One window at a time may be locked: it and its children paint nothing (invalidations gather)
// until null unlocks it. Locking while another window is locked fails.
BOOL LockWindowUpdate(HWND h);
HDC BeginPaint(HWND h, PAINTSTRUCT* ps);
BOOL EndPaint(HWND h, const PAINTSTRUCT* ps);
// A context over the client area of the window's pixel buffer (GetDC) or over the whole
// window (GetWindowDC). GetDC(0) and GetDC(nullptr) give the screen context of the GDI.
HDC GetDC(HWND h);
inline HDC GetDC(int) { return GetDC(static_cast<void*>(nullptr)); }
inline HDC GetDC(std::nullptr_t) { return GetDC(static_cast<void*>(nullptr)); }
HDC GetWindowDC(HWND h);
int ReleaseDC(HWND h, HDC dc);
inline int ReleaseDC(int, HDC dc) { return ReleaseDC(static_cast<void*>(nullptr), dc); }
inline int ReleaseDC(std::nullptr_t, HDC dc) { return ReleaseDC(static_cast<void*>(nullptr), dc); }
enum : uint32_t { DCX_WINDOW = 0x1, DCX_CACHE = 0x2, DCX_CLIPCHILDREN = 0x8,
                  DCX_CLIPSIBLINGS = 0x10, DCX_PARENTCLIP = 0x20, DCX_INTERSECTRGN = 0x80 };
HDC GetDCEx(HWND h, HRGN clip, uint32_t flags);
enum : uint32_t { SW_SCROLLCHILDREN = 0x0001, SW_INVALIDATE = 0x0002, SW_ERASE = 0x0004 };
// Moves the pixels of the client area (within scroll and clip rectangles) by dx, dy and, with
// SW_INVALIDATE, invalidates the strip left uncovered; the pending update area moves along.
int ScrollWindowEx(HWND h, int dx, int dy, const RECT* scroll, const RECT* clip, HRGN update,
                   RECT* updateRect, uint32_t flags);
BOOL ScrollWindow(HWND h, int dx, int dy, const RECT* scroll, const RECT* clip);
// Paints every window that needs it (children after parents) without pumping other messages.
void PaintPendingWindows();

// The pixels of one window (its whole window rectangle, non-client area included) or of a
// window composed with all its visible children; 0xAARRGGBB, rows top-down.
struct TWindowPixels {
    int Width = 0;
    int Height = 0;
    std::vector<uint32_t> Pixels;
    uint32_t Pixel(int x, int y) const { return Pixels[size_t(y) * size_t(Width) + size_t(x)]; }
    // The colour at x, y as a COLORREF (0x00BBGGRR).
    COLORREF Color(int x, int y) const;
};
// The window's own buffer.
TWindowPixels GetWindowPixels(HWND h);
// The window with its visible children drawn over it at their places, clipped to each
// parent's client area; the caret is drawn inverted when shown and withCaret.
TWindowPixels ComposeWindowPixels(HWND h, bool withCaret = false);
// The window's client area alone, composed with its children.
TWindowPixels ComposeClientPixels(HWND h, bool withCaret = false);
// The bitmap holding the window's pixels (null until the window has a size).
HBITMAP GetWindowBitmap(HWND h);

// ---- Scroll bars -----------------------------------------------------------------------------
enum : int { SB_HORZ = 0, SB_VERT = 1, SB_CTL = 2, SB_BOTH = 3 };
enum : uint32_t { SIF_RANGE = 0x1, SIF_PAGE = 0x2, SIF_POS = 0x4, SIF_DISABLENOSCROLL = 0x8,
                  SIF_TRACKPOS = 0x10, SIF_ALL = 0x17 };
enum : uint32_t { ESB_ENABLE_BOTH = 0, ESB_DISABLE_LTUP = 1, ESB_DISABLE_RTDN = 2,
                  ESB_DISABLE_BOTH = 3 };
struct SCROLLINFO {
    uint32_t cbSize = sizeof(SCROLLINFO);
    uint32_t fMask = 0;
    int nMin = 0;
    int nMax = 0;
    uint32_t nPage = 0;
    int nPos = 0;
    int nTrackPos = 0;
};
// Returns the position the bar accepted (clamped to min .. max - page + 1). The bar appears
// when the page is smaller than the range (or stays disabled with SIF_DISABLENOSCROLL) and
// disappears otherwise; a change of visibility changes the client size and sends WM_SIZE.
int SetScrollInfo(HWND h, int bar, const SCROLLINFO* si, BOOL redraw);
BOOL GetScrollInfo(HWND h, int bar, SCROLLINFO* si);
int GetScrollPos(HWND h, int bar);
int SetScrollPos(HWND h, int bar, int pos, BOOL redraw);
BOOL SetScrollRange(HWND h, int bar, int minPos, int maxPos, BOOL redraw);
BOOL GetScrollRange(HWND h, int bar, int* minPos, int* maxPos);
BOOL ShowScrollBar(HWND h, int bar, BOOL show);
BOOL EnableScrollBar(HWND h, int bar, uint32_t arrows);
// Our additions for tests: whether the bar shows, its ESB_ arrows state, and thumb tracking.
bool IsScrollBarVisible(HWND h, int bar);
uint32_t GetScrollBarArrows(HWND h, int bar);
void SetScrollTrackPos(HWND h, int bar, int trackPos);

// ---- Keyboard and mouse state ----------------------------------------------------------------
enum : uint8_t {
    VK_LBUTTON = 0x01, VK_RBUTTON = 0x02, VK_CANCEL = 0x03, VK_MBUTTON = 0x04, VK_BACK = 0x08,
    VK_TAB = 0x09, VK_CLEAR = 0x0C, VK_RETURN = 0x0D, VK_SHIFT = 0x10, VK_CONTROL = 0x11,
    VK_MENU = 0x12, VK_PAUSE = 0x13, VK_CAPITAL = 0x14, VK_ESCAPE = 0x1B, VK_SPACE = 0x20,
    VK_PRIOR = 0x21, VK_NEXT = 0x22, VK_END = 0x23, VK_HOME = 0x24, VK_LEFT = 0x25,
    VK_UP = 0x26, VK_RIGHT = 0x27, VK_DOWN = 0x28, VK_SELECT = 0x29, VK_PRINT = 0x2A,
    VK_EXECUTE = 0x2B, VK_SNAPSHOT = 0x2C, VK_INSERT = 0x2D, VK_DELETE = 0x2E, VK_HELP = 0x2F,
    VK_LWIN = 0x5B, VK_RWIN = 0x5C, VK_APPS = 0x5D, VK_NUMPAD0 = 0x60, VK_NUMPAD9 = 0x69,
    VK_MULTIPLY = 0x6A, VK_ADD = 0x6B, VK_SEPARATOR = 0x6C, VK_SUBTRACT = 0x6D,
    VK_DECIMAL = 0x6E, VK_DIVIDE = 0x6F, VK_F1 = 0x70, VK_F2 = 0x71, VK_F3 = 0x72,
    VK_F4 = 0x73, VK_F5 = 0x74, VK_F6 = 0x75, VK_F7 = 0x76, VK_F8 = 0x77, VK_F9 = 0x78,
    VK_F10 = 0x79, VK_F11 = 0x7A, VK_F12 = 0x7B, VK_NUMLOCK = 0x90, VK_SCROLL = 0x91,
    VK_LSHIFT = 0xA0, VK_RSHIFT = 0xA1, VK_LCONTROL = 0xA2, VK_RCONTROL = 0xA3,
    VK_LMENU = 0xA4, VK_RMENU = 0xA5
};
// High bit set while down, low bit the toggle; as of the message being processed.
int16_t GetKeyState(int vk);
// As of now (input already simulated but not yet processed counts).
int16_t GetAsyncKeyState(int vk);
BOOL GetKeyboardState(uint8_t* state256);
// The character a key gives under the given state (US layout), 0 when none.
char16_t KeyToChar(int vk, bool shift, bool capsLock = false);
// The virtual key and shift flag (bit 8) of a character, -1 when no key gives it.
int16_t VkKeyScan(char16_t ch);

BOOL GetCursorPos(POINT* p);
BOOL SetCursorPos(int x, int y);  // also sends a synthetic mouse move to the window below

// ---- Caret -----------------------------------------------------------------------------------
// One caret per thread: created hidden; ShowCaret undoes one HideCaret.
BOOL CreateCaret(HWND h, HBITMAP bitmap, int width, int height);
BOOL DestroyCaret();
BOOL SetCaretPos(int x, int y);
BOOL GetCaretPos(POINT* p);
BOOL ShowCaret(HWND h);  // null: the caret's owner
BOOL HideCaret(HWND h);
struct TCaretState {
    HWND Owner = nullptr;
    int Width = 0, Height = 0;
    TPoint Pos;
    int HideCount = 0;
    bool Shown() const { return Owner && HideCount == 0; }
};
TCaretState GetCaretState();

// ---- Cursors ---------------------------------------------------------------------------------
// Cursors are ids with an optional picture; the stock ones have the Win32 resource ids.
struct TCursorRecord;
using HCURSOR = TCursorRecord*;
using HICON = TCursorRecord*;
enum : int { IDC_ARROW = 32512, IDC_IBEAM = 32513, IDC_WAIT = 32514, IDC_CROSS = 32515,
             IDC_UPARROW = 32516, IDC_SIZE = 32640, IDC_ICON = 32641, IDC_SIZENWSE = 32642,
             IDC_SIZENESW = 32643, IDC_SIZEWE = 32644, IDC_SIZENS = 32645,
             IDC_SIZEALL = 32646, IDC_NO = 32648, IDC_HAND = 32649, IDC_APPSTARTING = 32650,
             IDC_HELP = 32651 };
HCURSOR LoadCursor(void* instance, int id);
// A cursor registered under a resource name (components draw their own pictures); null when
// no such name was registered.
HCURSOR LoadCursorA(void* instance, const char* name);
// Registers a cursor picture under a name (0xAARRGGBB pixels) and returns its handle.
HCURSOR RegisterCursorImage(const std::string& name, int width, int height, TPoint hotSpot,
                            std::vector<uint32_t> pixels);
HCURSOR CreateCursor(void* instance, int xHot, int yHot, int width, int height,
                     const void* andMask, const void* xorMask);
BOOL DestroyCursor(HCURSOR cursor);
HCURSOR SetCursor(HCURSOR cursor);
HCURSOR GetCursor();
struct TCursorRecord {
    int Id = 0;  // a stock id, or a number from 0x10000 for created ones
    std::string Name;
    int Width = 32, Height = 32;
    TPoint HotSpot;
    std::vector<uint32_t> Pixels;
    bool Stock = false;
};

// ---- Hooks -----------------------------------------------------------------------------------
enum : int { WH_MSGFILTER = -1, WH_KEYBOARD = 2, WH_GETMESSAGE = 3, WH_CALLWNDPROC = 4,
             WH_CBT = 5, WH_MOUSE = 7 };
enum : int { HC_ACTION = 0, HC_NOREMOVE = 3 };
enum : int { HCBT_MOVESIZE = 0, HCBT_MINMAX = 1, HCBT_QS = 2, HCBT_CREATEWND = 3,
             HCBT_DESTROYWND = 4, HCBT_ACTIVATE = 5, HCBT_CLICKSKIPPED = 6,
             HCBT_KEYSKIPPED = 7, HCBT_SYSCOMMAND = 8, HCBT_SETFOCUS = 9 };
struct THookRecord;
using HHOOK = THookRecord*;
using HOOKPROC = std::function<LRESULT(int code, WPARAM w, LPARAM l)>;
struct MOUSEHOOKSTRUCT {
    POINT pt;
    HWND hwnd;
    uint32_t wHitTestCode;
    uintptr_t dwExtraInfo;
};
struct CBTACTIVATESTRUCT {
    BOOL fMouse;
    HWND hWndActive;
};
// A hook returning non-zero swallows the event (mouse, keyboard) or refuses it (CBT). For
// WH_GETMESSAGE the hook may change the MSG; WM_NULL drops it.
HHOOK SetWindowsHookExA(int kind, HOOKPROC proc, void* module, DWORD threadId);
BOOL UnhookWindowsHookEx(HHOOK hook);
LRESULT CallNextHookEx(HHOOK hook, int code, WPARAM w, LPARAM l);
int HookCount(int kind);

// ---- System information ----------------------------------------------------------------------
enum : int { SM_CXSCREEN = 0, SM_CYSCREEN = 1, SM_CXVSCROLL = 2, SM_CYHSCROLL = 3,
             SM_CYCAPTION = 4, SM_CXBORDER = 5, SM_CYBORDER = 6, SM_CXDLGFRAME = 7,
             SM_CYDLGFRAME = 8, SM_CYVTHUMB = 9, SM_CXHTHUMB = 10, SM_CXICON = 11,
             SM_CYICON = 12, SM_CXCURSOR = 13, SM_CYCURSOR = 14, SM_CYMENU = 15,
             SM_CXFULLSCREEN = 16, SM_CYFULLSCREEN = 17, SM_CYVSCROLL = 20,
             SM_CXHSCROLL = 21, SM_SWAPBUTTON = 23, SM_CXMIN = 28, SM_CYMIN = 29,
             SM_CXSIZE = 30, SM_CYSIZE = 31, SM_CXFRAME = 32, SM_CYFRAME = 33,
             SM_CXDOUBLECLK = 36, SM_CYDOUBLECLK = 37, SM_CMOUSEBUTTONS = 43, SM_CXEDGE = 45,
             SM_CYEDGE = 46, SM_CXSMICON = 49, SM_CYSMICON = 50, SM_CXMENUCHECK = 71,
             SM_CYMENUCHECK = 72, SM_CXDRAG = 68, SM_CYDRAG = 69, SM_MOUSEWHEELPRESENT = 75,
             SM_CXVIRTUALSCREEN = 78, SM_CYVIRTUALSCREEN = 79, SM_CMONITORS = 80 };
int GetSystemMetrics(int index);
enum : uint32_t { SPI_GETBEEP = 0x0001, SPI_GETKEYBOARDSPEED = 0x000A,
                  SPI_GETKEYBOARDDELAY = 0x0016, SPI_GETDRAGFULLWINDOWS = 0x0026,
                  SPI_SETWORKAREA = 0x002F, SPI_GETWORKAREA = 0x0030,
                  SPI_GETWHEELSCROLLLINES = 0x0068, SPI_GETMOUSEHOVERTIME = 0x0066,
                  SPI_GETCARETWIDTH = 0x2006, SPI_SETDRAGFULLWINDOWS = 0x0025 };
BOOL SystemParametersInfoA(uint32_t action, uint32_t param, void* data, uint32_t winIni);
TRect GetWorkArea();

// ---- Message boxes and beeps -----------------------------------------------------------------
enum : uint32_t { MB_OK = 0x0, MB_OKCANCEL = 0x1, MB_ABORTRETRYIGNORE = 0x2,
                  MB_YESNOCANCEL = 0x3, MB_YESNO = 0x4, MB_RETRYCANCEL = 0x5,
                  MB_ICONHAND = 0x10, MB_ICONERROR = 0x10, MB_ICONSTOP = 0x10,
                  MB_ICONQUESTION = 0x20, MB_ICONEXCLAMATION = 0x30, MB_ICONWARNING = 0x30,
                  MB_ICONASTERISK = 0x40, MB_ICONINFORMATION = 0x40, MB_DEFBUTTON1 = 0x0,
                  MB_DEFBUTTON2 = 0x100, MB_DEFBUTTON3 = 0x200, MB_APPLMODAL = 0x0,
                  MB_SYSTEMMODAL = 0x1000, MB_TASKMODAL = 0x2000, MB_SETFOREGROUND = 0x10000,
                  MB_TOPMOST = 0x40000 };
enum : int { IDOK = 1, IDCANCEL = 2, IDABORT = 3, IDRETRY = 4, IDIGNORE = 5, IDYES = 6,
             IDNO = 7 };
// A modal box, headless: a top-level window of class "#32770" is created, the CBT hook hears
// its activation before it shows, then the scripted answer (or the default button) closes it.
int MessageBoxA(HWND owner, const char* text, const char* caption, uint32_t flags);
struct TMessageBoxRecord {
    HWND Owner = nullptr;
    std::string Text;
    std::string Caption;
    uint32_t Flags = 0;
    TRect Rect;  // the box's window rectangle when it closed
    int Result = 0;
};
// The answer of the next box: a fixed result, or a function that sees the open box.
void ScriptMessageBoxAnswer(int result);
void ScriptMessageBoxAnswer(std::function<int(HWND box)> answer);
const std::vector<TMessageBoxRecord>& MessageBoxLog();
void ClearMessageBoxLog();

BOOL MessageBeep(uint32_t type);
int BeepCount();
uint32_t LastBeepType();

// ---- Input simulation (what a person does) ---------------------------------------------------
enum class TMouseButtonId { Left, Right, Middle };
// Moves the cursor to a screen point and queues the move for the window below (or the
// capture). Nothing is processed until the pump runs.
void SimulateMouseMove(POINT screen);
void SimulateMouseButton(TMouseButtonId button, bool down, POINT screen);
void SimulateMouseWheel(int delta, POINT screen);
// Key transitions go to the focus window (or the active window).
void SimulateKey(int vk, bool down);
// A character without a key: WM_CHAR to the focus window.
void SimulateChar(char16_t ch);

// Hands out a counter of live windows (tests of destruction).
int LiveWindowCount();

}  // namespace epc
