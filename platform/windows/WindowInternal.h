#pragma once
// The window manager's records, shared by its source files only.

#include <array>
#include <deque>
#include <map>
#include <memory>

#include "platform/core/BoundState.h"

#include "platform/windows/Window.h"

namespace epc {

struct TScrollBarState {
    int Min = 0;
    int Max = 0;
    uint32_t Page = 0;
    int Pos = 0;
    int TrackPos = 0;
    bool Tracking = false;
    uint32_t Arrows = ESB_ENABLE_BOTH;
    bool DisableNoScroll = false;  // shown disabled rather than hidden
};

struct TWindow {
    std::string ClassName;
    std::string Text;
    DWORD Style = 0;
    DWORD ExStyle = 0;
    DWORD ClassStyle = 0;
    HWND Parent = nullptr;  // child windows
    HWND Owner = nullptr;   // top-level windows
    std::vector<HWND> Children;  // topmost first
    TRect Rect;    // relative to the parent's client area (screen for top-level windows)
    TRect Client;  // relative to the window rectangle's top-left corner
    WNDPROC Proc;
    intptr_t UserData = 0;
    intptr_t Id = 0;
    bool Destroying = false;
    // Painting
    TRect Update;  // client coordinates; empty when nothing is pending
    bool UpdateErase = false;
    bool FramePending = false;
    bool InPaint = false;
    bool NoRedraw = false;  // WM_SETREDRAW FALSE: invalidations gather, nothing paints
    HBITMAP Surface = nullptr;
    int SurfaceWidth = 0, SurfaceHeight = 0;
    // Scroll bars: 0 horizontal, 1 vertical
    std::array<TScrollBarState, 2> Bars;
};

struct TQueuedMessage {
    MSG Msg;
    TPostedDeleter Deleter;
    bool Input = false;
    std::shared_ptr<std::array<uint8_t, 256>> KeyState;  // input: the state after it
};

struct TTimerRecord {
    HWND Window = nullptr;
    UINT_PTR Id = 0;
    uint32_t Interval = 0;
    uint64_t Due = 0;
    uint64_t Order = 0;
    TIMERPROC Proc;
};

struct THookRecord {
    int Kind = 0;
    HOOKPROC Proc;
    bool Alive = true;
};

// One entry of the window table. A handle packs the entry's index with its generation; every
// window takes a generation no handle of the process had before (in any window manager), and
// an empty entry has none, so every handle of a window that went stays stale.
struct TWindowSlot {
    std::unique_ptr<TWindow> Window;
    uint32_t Generation = 0;
};

struct TWindowManager {
    TWindowManager(); // with the desktop window
    std::vector<TWindowSlot> Slots;
    std::vector<uint32_t> FreeSlots;
    int LiveCount = 0;
    std::vector<HWND> TopLevel;  // topmost first
    std::unique_ptr<TWindow> Desktop;

    std::deque<TQueuedMessage> Queue;
    uint64_t Clock = 100000;
    uint32_t MessageTime = 0;
    TPoint MessagePos;
    bool Quit = false;
    int QuitCode = 0;
    TMessageExceptionHandler ExceptionHandler;
    std::function<bool(MSG&)> Filter;

    std::vector<TTimerRecord> Timers;
    uint64_t TimerOrder = 0;
    UINT_PTR NextTimerId = 0x7FFF0000;

    HWND Focus = nullptr;
    HWND Active = nullptr;
    HWND Capture = nullptr;
    int FocusChanging = 0; // depth of SetFocus calls telling the windows
    HWND Locked = nullptr; // LockWindowUpdate
    bool DragFullWindows = true;

    std::array<uint8_t, 256> KeyState{};       // as of the message being processed
    std::array<uint8_t, 256> AsyncKeyState{};  // as of now
    TPoint CursorPos;
    // Double-click detection
    HWND LastDownWindow = nullptr;
    uint32_t LastDownMsg = 0;
    uint64_t LastDownTime = 0;
    TPoint LastDownPos;
    bool LastDownValid = false;

    TCaretState Caret;

    HCURSOR CurrentCursor = nullptr;

    std::vector<std::unique_ptr<THookRecord>> HookRecords;
    std::map<int, std::vector<HHOOK>> Hooks;  // newest first

    int ScreenWidth = 1024;
    int ScreenHeight = 768;
    TRect WorkArea{0, 0, 1024, 738};

    std::deque<std::function<int(HWND)>> BoxAnswers;
    std::vector<TMessageBoxRecord> BoxLog;
    int Beeps = 0;
    uint32_t LastBeep = 0;
};

TWindowManager& WM();

// Handles: the generation in the high half, the slot index plus one in the low half, so no
// handle is null or HWND_BOTTOM. The desktop has index part 0 and lives outside the table.
static_assert(sizeof(uintptr_t) == 8, "window handles pack two 32-bit halves");
inline HWND MakeWindowHandle(uint32_t index, uint32_t generation) {
    return reinterpret_cast<HWND>((uintptr_t(generation) << 32) | (uintptr_t(index) + 1));
}
inline const HWND kDesktopHandle = reinterpret_cast<HWND>(uintptr_t(1) << 32);

inline TWindow* LiveWindow(HWND h) {  // null for a dead, null or desktop handle
    uintptr_t v = reinterpret_cast<uintptr_t>(h);
    uint32_t index = uint32_t(v) - 1;  // the desktop's 0 wraps and falls outside the table
    auto& slots = WM().Slots;
    if (index >= slots.size()) return nullptr;
    TWindowSlot& slot = slots[index];
    return slot.Generation == uint32_t(v >> 32) ? slot.Window.get() : nullptr;
}
// The record of a handle the caller knows to be live, or of the desktop.
TWindow& DesktopOrDeadWindow(HWND h);
inline TWindow& Win(HWND h) {
    if (TWindow* w = LiveWindow(h)) return *w;
    return DesktopOrDeadWindow(h);
}
// Enters a new record in the table and returns its handle.
HWND AddWindow(std::unique_ptr<TWindow> window);
// Takes a record out of the table; its handle is stale from here on.
std::unique_ptr<TWindow> RemoveWindow(HWND h);

// Where the parts of a scroll bar lie along it, measured from the bar's start (ScrollBars.cpp).
struct TBarGeometry {
    int Arrow = 0;        // length of each arrow button
    int TrackStart = 0;   // the track follows the first arrow
    int TrackLength = 0;
    bool HasThumb = false;
    int ThumbOffset = 0;  // from the track's start
    int ThumbLength = 0;
};
TBarGeometry BarGeometry(const TRect& bar, bool vertical, const TScrollBarState& s);

// Paint-side helpers (WindowPaint.cpp).
void EnsureSurface(HWND h);
void ReleaseSurface(HWND h);
void ForgetWindowDCs(HWND h);  // the window is going; its contexts are left to their owners
void DefaultNcPaint(HWND h, HDC windowDC);
bool PaintOneWindow();
void DrawScrollBarsInto(HWND h, HDC windowDC);

// The queue as a modal loop sees it (MessageQueue.cpp): take the next queued message, or
// deliver one as the pump would.
bool TakeQueuedMessage(TQueuedMessage& out);
void DeliverQueuedMessage(TQueuedMessage q);
// The MK_ button and modifier bits that mouse messages carry, from a key state table.
DWORD MouseKeyBits(const std::array<uint8_t, 256>& keys);

// Geometry helpers (WindowManager.cpp).
TPoint WindowScreenOrigin(HWND h);
TPoint ClientScreenOrigin(HWND h);
void RecalcNonClient(HWND h, bool sendSize);

}  // namespace epc
