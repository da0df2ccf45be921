// Window scroll bars: their state, Win32's clamping, and their effect on the client area.

#include <algorithm>

#include "platform/windows/WindowInternal.h"

namespace epc {

TBarGeometry BarGeometry(const TRect& r, bool vertical, const TScrollBarState& s) {
    TBarGeometry g;
    int thickness = vertical ? r.Width() : r.Height();
    int length = vertical ? r.Height() : r.Width();
    g.Arrow = std::min(thickness, length / 2);
    g.TrackStart = g.Arrow;
    g.TrackLength = std::max(0, length - 2 * g.Arrow);
    bool disabled = s.Arrows == ESB_DISABLE_BOTH || s.Max <= s.Min;
    if (disabled || g.TrackLength < 8) return g;
    int64_t range = int64_t(s.Max) - s.Min + 1;
    int thumb = s.Page ? int(int64_t(g.TrackLength) * s.Page / range) : g.Arrow;
    g.ThumbLength = std::clamp(thumb, 8, g.TrackLength);
    int64_t span = range - std::max<int64_t>(int64_t(s.Page) - 1, 0) - 1;
    g.ThumbOffset = span > 0 ? int(int64_t(g.TrackLength - g.ThumbLength) * (s.Pos - s.Min) / span) : 0;
    g.HasThumb = true;
    return g;
}

static TScrollBarState* Bar(HWND h, int bar) {
    if (!LiveWindow(h) || (bar != SB_HORZ && bar != SB_VERT)) return nullptr;
    return &Win(h).Bars[size_t(bar)];
}

static DWORD BarStyle(int bar) { return bar == SB_VERT ? WS_VSCROLL : WS_HSCROLL; }

static void ClampBar(TScrollBarState& s) {
    if (s.Max < s.Min) s.Max = s.Min;
    uint32_t range = uint32_t(int64_t(s.Max) - s.Min + 1);
    if (s.Page > range) s.Page = range;
    int maxPos = int(int64_t(s.Max) - std::max<int64_t>(int64_t(s.Page) - 1, 0));
    if (maxPos < s.Min) maxPos = s.Min;
    s.Pos = std::clamp(s.Pos, s.Min, maxPos);
}

// Shows or hides the bars given by the style bits, re-measuring the frame: the client size
// changes and the window hears WM_SIZE through WM_WINDOWPOSCHANGED.
static void SetBarsShown(HWND h, DWORD bits, bool show) {
    DWORD old = Win(h).Style;
    if (show) Win(h).Style |= bits;
    else Win(h).Style &= ~bits;
    if (Win(h).Style == old) return;
    SetWindowPos(h, nullptr, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

static bool NeedsBar(const TScrollBarState& s) {
    if (s.Max <= s.Min) return false;
    uint32_t range = uint32_t(int64_t(s.Max) - s.Min + 1);
    return s.Page < range;
}

int SetScrollInfo(HWND h, int bar, const SCROLLINFO* si, BOOL redraw) {
    TScrollBarState* s = Bar(h, bar);
    if (!s || !si) return 0;
    if (si->fMask & SIF_RANGE) {
        s->Min = si->nMin;
        s->Max = si->nMax;
    }
    if (si->fMask & SIF_PAGE) s->Page = si->nPage;
    if (si->fMask & SIF_POS) s->Pos = si->nPos;
    ClampBar(*s);
    int pos = s->Pos;
    if (si->fMask & (SIF_RANGE | SIF_PAGE)) {
        s->DisableNoScroll = (si->fMask & SIF_DISABLENOSCROLL) != 0;
        bool need = NeedsBar(*s);
        if (need) {
            if (s->DisableNoScroll) s->Arrows = ESB_ENABLE_BOTH;
            SetBarsShown(h, BarStyle(bar), true);
        } else if (s->DisableNoScroll) {
            s->Arrows = ESB_DISABLE_BOTH;
            SetBarsShown(h, BarStyle(bar), true);
        } else {
            SetBarsShown(h, BarStyle(bar), false);
        }
    }
    if (redraw && LiveWindow(h)) Win(h).FramePending = true;
    return pos;
}

BOOL GetScrollInfo(HWND h, int bar, SCROLLINFO* si) {
    TScrollBarState* s = Bar(h, bar);
    if (!s || !si) return 0;
    if (si->fMask & SIF_RANGE) {
        si->nMin = s->Min;
        si->nMax = s->Max;
    }
    if (si->fMask & SIF_PAGE) si->nPage = s->Page;
    if (si->fMask & SIF_POS) si->nPos = s->Pos;
    if (si->fMask & SIF_TRACKPOS) si->nTrackPos = s->Tracking ? s->TrackPos : s->Pos;
    return 1;
}

int GetScrollPos(HWND h, int bar) {
    TScrollBarState* s = Bar(h, bar);
    return s ? s->Pos : 0;
}

int SetScrollPos(HWND h, int bar, int pos, BOOL redraw) {
    TScrollBarState* s = Bar(h, bar);
    if (!s) return 0;
    int old = s->Pos;
    s->Pos = pos;
    ClampBar(*s);
    if (redraw) Win(h).FramePending = true;
    return old;
}

BOOL SetScrollRange(HWND h, int bar, int minPos, int maxPos, BOOL redraw) {
    SCROLLINFO si;
    si.fMask = SIF_RANGE;
    si.nMin = minPos;
    si.nMax = maxPos;
    if (!Bar(h, bar)) return 0;
    SetScrollInfo(h, bar, &si, redraw);
    return 1;
}

BOOL GetScrollRange(HWND h, int bar, int* minPos, int* maxPos) {
    TScrollBarState* s = Bar(h, bar);
    if (!s) return 0;
    if (minPos) *minPos = s->Min;
    if (maxPos) *maxPos = s->Max;
    return 1;
}

BOOL ShowScrollBar(HWND h, int bar, BOOL show) {
    if (!LiveWindow(h)) return 0;
    DWORD bits = bar == SB_BOTH ? (WS_HSCROLL | WS_VSCROLL)
                 : bar == SB_VERT ? WS_VSCROLL
                 : bar == SB_HORZ ? DWORD(WS_HSCROLL) : DWORD(0);
    if (!bits) return 0;
    SetBarsShown(h, bits, show != 0);
    return 1;
}

BOOL EnableScrollBar(HWND h, int bar, uint32_t arrows) {
    if (!LiveWindow(h)) return 0;
    bool changed = false;
    for (int b : {SB_HORZ, SB_VERT}) {
        if (bar != SB_BOTH && bar != b) continue;
        if (Win(h).Bars[size_t(b)].Arrows != arrows) changed = true;
        Win(h).Bars[size_t(b)].Arrows = arrows;
    }
    if (changed) Win(h).FramePending = true;
    return changed ? 1 : 0;
}

bool IsScrollBarVisible(HWND h, int bar) {
    if (!LiveWindow(h)) return false;
    return (Win(h).Style & BarStyle(bar)) != 0;
}

uint32_t GetScrollBarArrows(HWND h, int bar) {
    TScrollBarState* s = Bar(h, bar);
    return s ? s->Arrows : 0;
}

void SetScrollTrackPos(HWND h, int bar, int trackPos) {
    TScrollBarState* s = Bar(h, bar);
    if (!s) return;
    s->Tracking = true;
    s->TrackPos = trackPos;
    if (trackPos == INT32_MIN) s->Tracking = false;
}

}  // namespace epc
