// The paint cycle: invalidation, WM_NCPAINT/WM_ERASEBKGND/WM_PAINT, device contexts over each
// window's own pixel buffer, scrolling of pixels, and composed pictures of window trees.

#include <algorithm>
#include <cstring>
#include <unordered_map>

#include "platform/core/ScopeGuard.h"
#include "platform/windows/WindowsState.h"

namespace epc {

namespace {

std::unordered_map<HDC, TWindowDCRecord>& WindowDCs() {
    return WindowsState().WindowDCs.Records;
}

std::unordered_map<HWND, std::vector<HDC>>& WindowDCStacks() {
    return WindowsState().WindowDCs.Stacks;
}

TRect ClientBounds(HWND h) { return TRect(0, 0, Win(h).Client.Width(), Win(h).Client.Height()); }

void FillSolid(HDC dc, const TRect& r, COLORREF color) {
    HBRUSH b = CreateSolidBrush(color);
    FillRect(dc, &r, b);
    DeleteObject(reinterpret_cast<HGDIOBJ>(b));
}

}  // namespace

// ---- Surfaces and contexts -------------------------------------------------------------------

void EnsureSurface(HWND w) {
    TWindow& win = Win(w);
    int width = win.Rect.Width(), height = win.Rect.Height();
    if (win.Surface && win.SurfaceWidth == width && win.SurfaceHeight == height) return;
    HBITMAP fresh = nullptr;
    if (width > 0 && height > 0) {
        BITMAPINFO info = TopDownBitmapInfo(width, height);
        void* bits = nullptr;
        fresh = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        if (fresh) {
            TBitmapBits dst = GetBitmapBits(fresh);
            // A new surface starts as the window colour, opaque.
            COLORREF c = GetSysColor(COLOR_WINDOW);
            uint32_t px = 0xFF000000u | (uint32_t(GetRValue(c)) << 16) |
                          (uint32_t(GetGValue(c)) << 8) | GetBValue(c);
            for (int y = 0; y < dst.Height; ++y) {
                auto* row = reinterpret_cast<uint32_t*>(dst.Bits + size_t(y) * size_t(dst.Stride));
                std::fill(row, row + dst.Width, px);
            }
            if (win.Surface) {
                TBitmapBits src = GetBitmapBits(win.Surface);
                int cw = std::min(src.Width, dst.Width), ch = std::min(src.Height, dst.Height);
                for (int y = 0; y < ch; ++y)
                    std::memcpy(dst.Bits + size_t(y) * size_t(dst.Stride),
                                src.Bits + size_t(y) * size_t(src.Stride), size_t(cw) * 4);
            }
        }
    }
    // A context holding the old pixels gets the new ones.
    auto stack = WindowDCStacks().find(w);
    if (stack != WindowDCStacks().end() && !stack->second.empty() && fresh)
        SelectObject(stack->second.back(), reinterpret_cast<HGDIOBJ>(fresh));
    ReleaseSurface(w);
    win.Surface = fresh;
    win.SurfaceWidth = fresh ? width : 0;
    win.SurfaceHeight = fresh ? height : 0;
}

void ForgetWindowDCs(HWND h) { WindowDCStacks().erase(h); }

void ReleaseSurface(HWND w) {
    // A context still holding the pixels lets go of them first.
    auto stack = WindowDCStacks().find(w);
    if (stack != WindowDCStacks().end() && !stack->second.empty() && Win(w).Surface) {
        HDC top = stack->second.back();
        auto& rec = WindowDCs()[top];
        if (!rec.StandIn) rec.StandIn = CreateCompatibleBitmap(nullptr, 1, 1);
        if (GetDCBitmap(top) == Win(w).Surface)
            SelectObject(top, reinterpret_cast<HGDIOBJ>(rec.StandIn));
    }
    if (Win(w).Surface) DeleteObject(reinterpret_cast<HGDIOBJ>(Win(w).Surface));
    Win(w).Surface = nullptr;
    Win(w).SurfaceWidth = Win(w).SurfaceHeight = 0;
}

static HDC MakeWindowDC(HWND h, bool client) {
    TWindow& win = Win(h);
    EnsureSurface(h);
    HDC dc = CreateCompatibleDC(nullptr);
    if (!dc) return nullptr;
    auto& stack = WindowDCStacks()[h];
    if (!stack.empty() && win.Surface) {
        HDC holder = stack.back();
        auto& rec = WindowDCs()[holder];
        if (!rec.StandIn) rec.StandIn = CreateCompatibleBitmap(nullptr, 1, 1);
        if (GetDCBitmap(holder) == win.Surface)
            SelectObject(holder, reinterpret_cast<HGDIOBJ>(rec.StandIn));
    }
    if (win.Surface) SelectObject(dc, reinterpret_cast<HGDIOBJ>(win.Surface));
    stack.push_back(dc);
    if (client) {
        SetViewportOrgEx(dc, win.Client.Left, win.Client.Top, nullptr);
        IntersectClipRect(dc, 0, 0, win.Client.Width(), win.Client.Height());
    } else {
        IntersectClipRect(dc, 0, 0, win.Rect.Width(), win.Rect.Height());
    }
    WindowDCs()[dc].Window = h;
    return dc;
}

HDC GetDC(HWND h) {
    if (!h) return GetDC(static_cast<void*>(nullptr));
    if (!LiveWindow(h)) return nullptr;
    return MakeWindowDC(h, true);
}

HDC GetWindowDC(HWND h) {
    if (!LiveWindow(h)) return nullptr;
    return MakeWindowDC(h, false);
}

HDC GetDCEx(HWND h, HRGN clip, uint32_t flags) {
    if (!LiveWindow(h)) return nullptr;
    HDC dc = MakeWindowDC(h, !(flags & DCX_WINDOW));
    if (dc && clip && (flags & DCX_INTERSECTRGN) && reinterpret_cast<uintptr_t>(clip) > 1) {
        // Regions come in screen coordinates, as for WM_NCPAINT.
        HRGN r = CreateRectRgn(0, 0, 0, 0);
        CombineRgn(r, clip, nullptr, RGN_COPY);
        TPoint o = (flags & DCX_WINDOW) ? WindowScreenOrigin(h) : ClientScreenOrigin(h);
        OffsetRgn(r, -o.X, -o.Y);
        ExtSelectClipRgn(dc, r, RGN_AND);
        DeleteObject(reinterpret_cast<HGDIOBJ>(r));
    }
    return dc;
}

int ReleaseDC(HWND h, HDC dc) {
    auto& dcs = WindowDCs();
    auto it = dcs.find(dc);
    if (it == dcs.end()) return ReleaseDC(static_cast<void*>(h), dc);
    TWindowDCRecord rec = it->second;
    dcs.erase(it);
    auto stacks = WindowDCStacks().find(rec.Window);
    bool wasHolder = false;
    if (stacks != WindowDCStacks().end()) {
        auto& stack = stacks->second;
        wasHolder = !stack.empty() && stack.back() == dc;
        stack.erase(std::remove(stack.begin(), stack.end(), dc), stack.end());
        DeleteDC(dc);
        // The previous context takes the pixels back.
        if (wasHolder && !stack.empty() && LiveWindow(rec.Window) && Win(rec.Window).Surface) {
            HDC next = stack.back();
            auto& nextRec = dcs[next];
            SelectObject(next, reinterpret_cast<HGDIOBJ>(Win(rec.Window).Surface));
            if (nextRec.StandIn) {
                DeleteObject(reinterpret_cast<HGDIOBJ>(nextRec.StandIn));
                nextRec.StandIn = nullptr;
            }
        }
        if (stack.empty()) WindowDCStacks().erase(stacks);
    } else {
        DeleteDC(dc);
    }
    if (rec.StandIn) DeleteObject(reinterpret_cast<HGDIOBJ>(rec.StandIn));
    return 1;
}

// ---- Invalidation ----------------------------------------------------------------------------

BOOL InvalidateRect(HWND h, const RECT* r, BOOL erase) {
    if (!h) {
        for (HWND t : WM().TopLevel) RedrawWindow(t, nullptr, nullptr,
                                                  RDW_INVALIDATE | RDW_ERASE | RDW_FRAME |
                                                      RDW_ALLCHILDREN);
        return 1;
    }
    if (!LiveWindow(h)) return 0;
    TRect area = ClientBounds(h);
    TRect add = area;
    if (r && !IntersectRect(add, *r, area)) return 1;
    TRect u;
    UnionRect(u, Win(h).Update, add);
    Win(h).Update = u;
    if (erase) Win(h).UpdateErase = true;
    return 1;
}

BOOL InvalidateRgn(HWND h, HRGN rgn, BOOL erase) {
    if (!rgn) return InvalidateRect(h, nullptr, erase);
    RECT box;
    if (GetRgnBox(rgn, &box) == NULLREGION) return 1;
    return InvalidateRect(h, &box, erase);
}

BOOL ValidateRect(HWND h, const RECT* r) {
    if (!LiveWindow(h)) return 0;
    TRect& u = Win(h).Update;
    if (!r) {
        u = TRect();
        Win(h).UpdateErase = false;
        return 1;
    }
    if (u.IsEmpty()) return 1;
    const TRect& v = *r;
    if (v.Left <= u.Left && v.Right >= u.Right) {
        // A band across the whole width trims the top or the bottom.
        if (v.Top <= u.Top && v.Bottom > u.Top) u.Top = std::min(u.Bottom, v.Bottom);
        else if (v.Bottom >= u.Bottom && v.Top < u.Bottom) u.Bottom = std::max(u.Top, v.Top);
    } else if (v.Top <= u.Top && v.Bottom >= u.Bottom) {
        if (v.Left <= u.Left && v.Right > u.Left) u.Left = std::min(u.Right, v.Right);
        else if (v.Right >= u.Right && v.Left < u.Right) u.Right = std::max(u.Left, v.Left);
    }
    if (u.IsEmpty()) {
        u = TRect();
        Win(h).UpdateErase = false;
    }
    return 1;
}

BOOL GetUpdateRect(HWND h, RECT* r, BOOL erase) {
    if (!LiveWindow(h)) return 0;
    if (r) *r = Win(h).Update;
    if (erase && Win(h).UpdateErase && !Win(h).Update.IsEmpty()) {
        HDC dc = GetDC(h);
        Win(h).UpdateErase = false;
        SendMessage(h, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
        ReleaseDC(h, dc);
    }
    return LiveWindow(h) && !Win(h).Update.IsEmpty();
}

// Sends the pending WM_NCPAINT and WM_PAINT of one window.
static void PaintWindow(HWND h) {
    if (Win(h).FramePending) {
        Win(h).FramePending = false;
        SendMessage(h, WM_NCPAINT, 1, 0);
        if (!LiveWindow(h)) return;
    }
    if (!Win(h).Update.IsEmpty()) {
        TRect before = Win(h).Update;
        // A handler that neither paints nor validates would be asked forever, and a failing
        // paint is reported once, not asked for again and again.
        auto validate = Finally([&] {
            if (LiveWindow(h) && Win(h).Update == before) ValidateRect(h, nullptr);
        });
        SendMessage(h, WM_PAINT, 0, 0);
    }
}

// Whether the window or one of its ancestors is the locked one.
static bool InLockedWindow(HWND h) {
    HWND locked = WM().Locked;
    if (!locked) return false;
    for (HWND run = h; LiveWindow(run); run = Win(run).Parent)
        if (run == locked) return true;
    return false;
}

static bool MayPaint(HWND h) {
    return IsWindowVisible(h) && !Win(h).NoRedraw && !InLockedWindow(h);
}

BOOL LockWindowUpdate(HWND h) {
    auto& m = WM();
    if (!h) {
        m.Locked = nullptr;
        return 1;
    }
    if (!LiveWindow(h) || (LiveWindow(m.Locked) && m.Locked != h)) return 0;
    m.Locked = h;
    return 1;
}

BOOL UpdateWindow(HWND h) {
    if (!LiveWindow(h)) return 0;
    if (MayPaint(h)) PaintWindow(h);
    return 1;
}

static bool FindAndPaint(HWND h) {
    TWindow& win = Win(h);
    if (!(win.Style & WS_VISIBLE) || win.NoRedraw || h == WM().Locked) return false;
    if (win.FramePending || !win.Update.IsEmpty()) {
        if (win.Rect.IsEmpty()) {
            win.FramePending = false;
            win.Update = TRect();
            win.UpdateErase = false;
            return false;
        }
        PaintWindow(h);
        return true;
    }
    std::vector<HWND> kids = win.Children;
    for (auto it = kids.rbegin(); it != kids.rend(); ++it)
        if (LiveWindow(*it) && FindAndPaint(*it)) return true;
    return false;
}

bool PaintOneWindow() {
    std::vector<HWND> tops = WM().TopLevel;
    for (auto it = tops.rbegin(); it != tops.rend(); ++it)
        if (LiveWindow(*it) && FindAndPaint(*it)) return true;
    return false;
}

void PaintPendingWindows() {
    for (int guard = 0; guard < 100000 && PaintOneWindow(); ++guard) {
    }
}

static void RedrawOne(HWND h, const TRect* r, uint32_t flags) {
    if (flags & RDW_INVALIDATE) {
        InvalidateRect(h, r, (flags & RDW_ERASE) ? 1 : 0);
        if (flags & RDW_FRAME) Win(h).FramePending = true;
    }
    if (flags & RDW_VALIDATE) {
        ValidateRect(h, r);
        if (flags & RDW_NOFRAME) Win(h).FramePending = false;
    }
    if (flags & RDW_NOERASE) Win(h).UpdateErase = false;
    if ((flags & RDW_ALLCHILDREN) && !(flags & RDW_NOCHILDREN)) {
        std::vector<HWND> kids = Win(h).Children;
        for (HWND c : kids) {
            if (!LiveWindow(c)) continue;
            if (r) {
                TRect cr;
                if (!IntersectRect(cr, *r, Win(c).Rect)) continue;
                const TWindow& child = Win(c);
                OffsetRect(cr, -child.Rect.Left - child.Client.Left,
                           -child.Rect.Top - child.Client.Top);
                RedrawOne(c, &cr, flags);
            } else {
                RedrawOne(c, nullptr, flags);
            }
        }
    }
}

static void UpdateTree(HWND h, bool children) {
    if (!LiveWindow(h)) return;
    if (MayPaint(h)) PaintWindow(h);
    if (!children || !LiveWindow(h)) return;
    std::vector<HWND> kids = Win(h).Children;
    for (HWND c : kids) UpdateTree(c, true);
}

BOOL RedrawWindow(HWND h, const RECT* r, HRGN rgn, uint32_t flags) {
    if (!h) h = nullptr;
    if (!LiveWindow(h)) return 0;
    TRect box;
    const TRect* area = r;
    if (!area && rgn) {
        GetRgnBox(rgn, &box);
        area = &box;
    }
    RedrawOne(h, area, flags);
    if (flags & RDW_ERASENOW && Win(h).UpdateErase && !Win(h).Update.IsEmpty()) {
        HDC dc = GetDC(h);
        Win(h).UpdateErase = false;
        SendMessage(h, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
        ReleaseDC(h, dc);
    }
    if (flags & RDW_UPDATENOW)
        UpdateTree(h, (flags & RDW_ALLCHILDREN) && !(flags & RDW_NOCHILDREN));
    return 1;
}

HDC BeginPaint(HWND h, PAINTSTRUCT* ps) {
    if (!LiveWindow(h) || !ps) return nullptr;
    if (Win(h).FramePending) {
        Win(h).FramePending = false;
        SendMessage(h, WM_NCPAINT, 1, 0);
        if (!LiveWindow(h)) return nullptr;
    }
    auto& caret = WM().Caret;
    Win(h).InPaint = caret.Owner == h && HideCaret(h);
    HDC dc = GetDC(h);
    ps->hdc = dc;
    ps->rcPaint = Win(h).Update;
    IntersectClipRect(dc, ps->rcPaint.Left, ps->rcPaint.Top, ps->rcPaint.Right,
                      ps->rcPaint.Bottom);
    bool erase = Win(h).UpdateErase;
    Win(h).Update = TRect();
    Win(h).UpdateErase = false;
    ps->fErase = 0;
    if (erase) ps->fErase = SendMessage(h, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0) == 0;
    return dc;
}

BOOL EndPaint(HWND h, const PAINTSTRUCT* ps) {
    if (ps && ps->hdc) ReleaseDC(h, ps->hdc);
    if (LiveWindow(h) && Win(h).InPaint) {
        Win(h).InPaint = false;
        ShowCaret(h);
    }
    return 1;
}

// ---- Scrolling -------------------------------------------------------------------------------

int ScrollWindowEx(HWND h, int dx, int dy, const RECT* scroll, const RECT* clip, HRGN update,
                   RECT* updateRect, uint32_t flags) {
    if (!LiveWindow(h)) return 0;
    TRect client = ClientBounds(h);
    TRect sr = client, cr = client;
    if (scroll && !IntersectRect(sr, *scroll, client)) sr = TRect();
    if (clip && !IntersectRect(cr, *clip, client)) cr = TRect();
    TRect dst;
    IntersectRect(dst, sr, cr);
    EnsureSurface(h);
    if (Win(h).Surface && !dst.IsEmpty() && (dx || dy)) {
        TBitmapBits bits = GetBitmapBits(Win(h).Surface);
        int ox = Win(h).Client.Left, oy = Win(h).Client.Top;
        // The destination whose source lies inside the scrolled rectangle, moved row by row
        // in the order that reads each row before it is overwritten.
        TRect from = sr;
        OffsetRect(from, dx, dy);
        TRect moved;
        if (IntersectRect(moved, from, dst)) {
            int width = moved.Width();
            auto copyRow = [&](int y) {
                uint8_t* row = bits.Bits + size_t(oy + y) * size_t(bits.Stride);
                const uint8_t* src = bits.Bits + size_t(oy + y - dy) * size_t(bits.Stride);
                std::memmove(row + size_t(ox + moved.Left) * 4,
                             src + size_t(ox + moved.Left - dx) * 4, size_t(width) * 4);
            };
            if (dy > 0)
                for (int y = moved.Bottom - 1; y >= moved.Top; --y) copyRow(y);
            else
                for (int y = moved.Top; y < moved.Bottom; ++y) copyRow(y);
        }
    }
    // The strip left uncovered.
    TRect exposed;
    if (dy > 0) UnionRect(exposed, exposed, TRect(sr.Left, sr.Top, sr.Right, std::min(sr.Bottom, sr.Top + dy)));
    if (dy < 0) UnionRect(exposed, exposed, TRect(sr.Left, std::max(sr.Top, sr.Bottom + dy), sr.Right, sr.Bottom));
    if (dx > 0) UnionRect(exposed, exposed, TRect(sr.Left, sr.Top, std::min(sr.Right, sr.Left + dx), sr.Bottom));
    if (dx < 0) UnionRect(exposed, exposed, TRect(std::max(sr.Left, sr.Right + dx), sr.Top, sr.Right, sr.Bottom));
    if (!IntersectRect(exposed, exposed, cr)) exposed = TRect();
    // The pending update area moves with the pixels.
    if (!Win(h).Update.IsEmpty()) {
        TRect moved = Win(h).Update;
        OffsetRect(moved, dx, dy);
        TRect inside;
        if (IntersectRect(inside, Win(h).Update, sr) && inside == Win(h).Update) {
            IntersectRect(moved, moved, cr);
            Win(h).Update = moved;
        } else {
            UnionRect(Win(h).Update, Win(h).Update, moved);
            IntersectRect(Win(h).Update, Win(h).Update, client);
        }
    }
    if (flags & SW_SCROLLCHILDREN) {
        for (HWND c : Win(h).Children) {
            TRect x;
            if (scroll && !IntersectRect(x, Win(c).Rect, sr)) continue;
            SetWindowPos(c, nullptr, Win(c).Rect.Left + dx, Win(c).Rect.Top + dy, 0, 0,
                         SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOREDRAW);
        }
    }
    if (flags & SW_INVALIDATE) InvalidateRect(h, &exposed, (flags & SW_ERASE) ? 1 : 0);
    if (update) SetRectRgn(update, exposed.Left, exposed.Top, exposed.Right, exposed.Bottom);
    if (updateRect) *updateRect = exposed;
    return exposed.IsEmpty() ? NULLREGION : SIMPLEREGION;
}

BOOL ScrollWindow(HWND h, int dx, int dy, const RECT* scroll, const RECT* clip) {
    uint32_t flags = SW_INVALIDATE | SW_ERASE | (scroll ? 0u : uint32_t(SW_SCROLLCHILDREN));
    return ScrollWindowEx(h, dx, dy, scroll, clip, nullptr, nullptr, flags) != 0;
}

// ---- Non-client drawing ----------------------------------------------------------------------

static void DrawOneBar(HDC dc, const TRect& r, bool vertical, const TScrollBarState& s) {
    if (r.IsEmpty()) return;
    bool disabled = s.Arrows == ESB_DISABLE_BOTH || s.Max <= s.Min;
    TBarGeometry g = BarGeometry(r, vertical, s);
    auto along = [&](int start, int length) {
        return vertical ? Bounds(r.Left, r.Top + start, r.Width(), length)
                        : Bounds(r.Left + start, r.Top, length, r.Height());
    };
    int total = vertical ? r.Height() : r.Width();
    TRect a1 = along(0, g.Arrow), a2 = along(total - g.Arrow, g.Arrow);
    TRect track = along(g.TrackStart, g.TrackLength);
    FillSolid(dc, track, GetSysColor(COLOR_SCROLLBAR));
    uint32_t inactive1 = (disabled || (s.Arrows & ESB_DISABLE_LTUP)) ? uint32_t(DFCS_INACTIVE) : 0u;
    uint32_t inactive2 = (disabled || (s.Arrows & ESB_DISABLE_RTDN)) ? uint32_t(DFCS_INACTIVE) : 0u;
    DrawFrameControl(dc, &a1, DFC_SCROLL, (vertical ? DFCS_SCROLLUP : DFCS_SCROLLLEFT) | inactive1);
    DrawFrameControl(dc, &a2, DFC_SCROLL, (vertical ? DFCS_SCROLLDOWN : DFCS_SCROLLRIGHT) | inactive2);
    if (!g.HasThumb) return;
    TRect t = along(g.TrackStart + g.ThumbOffset, g.ThumbLength);
    FillSolid(dc, t, GetSysColor(COLOR_BTNFACE));
    DrawEdge(dc, &t, EDGE_RAISED, BF_RECT);
}

void DrawScrollBarsInto(HWND h, HDC dc) {
    TRect c = Win(h).Client;
    int sb = GetSystemMetrics(SM_CXVSCROLL);
    TRect v, hz;
    if (Win(h).Style & WS_VSCROLL) {
        v = (Win(h).ExStyle & WS_EX_LEFTSCROLLBAR) ? TRect(c.Left - sb, c.Top, c.Left, c.Bottom)
                                               : TRect(c.Right, c.Top, c.Right + sb, c.Bottom);
        DrawOneBar(dc, v, true, Win(h).Bars[SB_VERT]);
    }
    if (Win(h).Style & WS_HSCROLL) {
        hz = TRect(c.Left, c.Bottom, c.Right, c.Bottom + sb);
        DrawOneBar(dc, hz, false, Win(h).Bars[SB_HORZ]);
    }
    if (!v.IsEmpty() && !hz.IsEmpty()) {
        TRect corner = TRect(v.Left, hz.Top, v.Right, hz.Bottom);
        FillSolid(dc, corner, GetSysColor(COLOR_BTNFACE));
    }
}

void DefaultNcPaint(HWND h, HDC dc) {
    if (!LiveWindow(h) || !dc) return;
    TRect r(0, 0, Win(h).Rect.Width(), Win(h).Rect.Height());
    DWORD s = Win(h).Style;
    bool caption = (s & WS_CAPTION) == WS_CAPTION && !Win(h).Parent;
    if (caption || (s & (WS_DLGFRAME | WS_THICKFRAME))) {
        int f = (s & WS_THICKFRAME) ? 4 : 3;
        TRect inner = r;
        InflateRect(inner, -f, -f);
        HRGN frame = CreateRectRgnIndirect(r);
        HRGN hole = CreateRectRgnIndirect(inner);
        CombineRgn(frame, frame, hole, RGN_DIFF);
        HBRUSH face = CreateSolidBrush(GetSysColor(COLOR_BTNFACE));
        FillRgn(dc, frame, face);
        DeleteObject(reinterpret_cast<HGDIOBJ>(face));
        DeleteObject(reinterpret_cast<HGDIOBJ>(frame));
        DeleteObject(reinterpret_cast<HGDIOBJ>(hole));
        TRect edge = r;
        DrawEdge(dc, &edge, EDGE_RAISED, BF_RECT);
        r = inner;
        if (caption) {
            int ch = GetSystemMetrics(SM_CYCAPTION);
            TRect bar(r.Left, r.Top, r.Right, r.Top + ch - 1);
            bool active = GetActiveWindow() == h;
            FillSolid(dc, bar, GetSysColor(active ? COLOR_ACTIVECAPTION : COLOR_INACTIVECAPTION));
            TRect line(r.Left, bar.Bottom, r.Right, bar.Bottom + 1);
            FillSolid(dc, line, GetSysColor(COLOR_BTNFACE));
            if (!Win(h).Text.empty()) {
                int saved = SaveDC(dc);
                SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
                SetBkMode(dc, TRANSPARENT);
                SetTextColor(dc, GetSysColor(active ? COLOR_CAPTIONTEXT : COLOR_INACTIVECAPTIONTEXT));
                TRect tr = bar;
                tr.Left += 4;
                DrawTextA(dc, Win(h).Text.c_str(), -1, &tr,
                          DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
                RestoreDC(dc, saved);
            }
            r.Top += ch;
        }
    } else if (s & WS_BORDER) {
        HBRUSH frame = CreateSolidBrush(GetSysColor(COLOR_WINDOWFRAME));
        FrameRect(dc, &r, frame);
        DeleteObject(reinterpret_cast<HGDIOBJ>(frame));
        InflateRect(r, -1, -1);
    }
    if (Win(h).ExStyle & WS_EX_CLIENTEDGE) {
        DrawEdge(dc, &r, EDGE_SUNKEN, BF_RECT);
        InflateRect(r, -2, -2);
    }
    if (Win(h).ExStyle & WS_EX_STATICEDGE) {
        DrawEdge(dc, &r, BDR_SUNKENOUTER, BF_RECT);
        InflateRect(r, -1, -1);
    }
    DrawScrollBarsInto(h, dc);
}

// ---- Pictures --------------------------------------------------------------------------------

COLORREF TWindowPixels::Color(int x, int y) const {
    uint32_t p = Pixel(x, y);
    return RGB(uint8_t(p >> 16), uint8_t(p >> 8), uint8_t(p));
}

TWindowPixels GetWindowPixels(HWND h) {
    TWindowPixels out;
    if (!LiveWindow(h)) return out;
    EnsureSurface(h);
    out.Width = Win(h).Rect.Width();
    out.Height = Win(h).Rect.Height();
    out.Pixels.assign(size_t(out.Width) * size_t(out.Height), 0);
    if (!Win(h).Surface) return out;
    TBitmapBits bits = GetBitmapBits(Win(h).Surface);
    int w = std::min(out.Width, bits.Width), hh = std::min(out.Height, bits.Height);
    for (int y = 0; y < hh; ++y)
        std::memcpy(&out.Pixels[size_t(y) * size_t(out.Width)],
                    bits.Bits + size_t(y) * size_t(bits.Stride), size_t(w) * 4);
    return out;
}

HBITMAP GetWindowBitmap(HWND h) {
    if (!LiveWindow(h)) return nullptr;
    EnsureSurface(h);
    return Win(h).Surface;
}

// Draws window c (with its children) into out, whose origin is at screen point origin, clipped
// to clip (in out's coordinates).
static void ComposeInto(HWND c, TWindowPixels& out, TPoint origin, TRect clip) {
    EnsureSurface(c);
    TPoint at = WindowScreenOrigin(c);
    int ox = at.X - origin.X, oy = at.Y - origin.Y;
    TRect area = Bounds(ox, oy, Win(c).Rect.Width(), Win(c).Rect.Height());
    TRect vis;
    if (!IntersectRect(vis, area, clip)) return;
    if (Win(c).Surface) {
        // Straight from the window's pixels, row by row.
        TBitmapBits bits = GetBitmapBits(Win(c).Surface);
        TRect inBits;
        if (IntersectRect(inBits, vis, Bounds(ox, oy, bits.Width, bits.Height))) {
            for (int y = inBits.Top; y < inBits.Bottom; ++y)
                std::memcpy(&out.Pixels[size_t(y) * size_t(out.Width) + size_t(inBits.Left)],
                            bits.Bits + size_t(y - oy) * size_t(bits.Stride) +
                                size_t(inBits.Left - ox) * 4,
                            size_t(inBits.Width()) * 4);
        }
    }
    const TRect& client = Win(c).Client;
    TRect clientClip = Bounds(ox + client.Left, oy + client.Top, client.Width(), client.Height());
    if (!IntersectRect(clientClip, clientClip, vis)) return;
    for (auto it = Win(c).Children.rbegin(); it != Win(c).Children.rend(); ++it)
        if (Win(*it).Style & WS_VISIBLE) ComposeInto(*it, out, origin, clientClip);
}

static void DrawCaret(HWND root, TWindowPixels& out, TPoint origin) {
    const TCaretState& caret = WM().Caret;
    if (!caret.Shown() || !LiveWindow(caret.Owner)) return;
    if (caret.Owner != root && !IsChild(root, caret.Owner)) return;
    if (!IsWindowVisible(caret.Owner)) return;
    TPoint c = ClientScreenOrigin(caret.Owner);
    TRect r = Bounds(c.X - origin.X + caret.Pos.X, c.Y - origin.Y + caret.Pos.Y, caret.Width,
                     caret.Height);
    TRect ownerClient = Bounds(c.X - origin.X, c.Y - origin.Y, Win(caret.Owner).Client.Width(),
                               Win(caret.Owner).Client.Height());
    TRect all(0, 0, out.Width, out.Height);
    if (!IntersectRect(r, r, ownerClient) || !IntersectRect(r, r, all)) return;
    for (int y = r.Top; y < r.Bottom; ++y)
        for (int x = r.Left; x < r.Right; ++x) {
            uint32_t& p = out.Pixels[size_t(y) * size_t(out.Width) + size_t(x)];
            p = (p & 0xFF000000u) | (~p & 0x00FFFFFFu);
        }
}

TWindowPixels ComposeWindowPixels(HWND h, bool withCaret) {
    TWindowPixels out;
    if (!LiveWindow(h)) return out;
    out.Width = Win(h).Rect.Width();
    out.Height = Win(h).Rect.Height();
    out.Pixels.assign(size_t(out.Width) * size_t(out.Height), 0);
    TPoint origin = WindowScreenOrigin(h);
    ComposeInto(h, out, origin, TRect(0, 0, out.Width, out.Height));
    if (withCaret) DrawCaret(h, out, origin);
    return out;
}

TWindowPixels ComposeClientPixels(HWND h, bool withCaret) {
    TWindowPixels whole = ComposeWindowPixels(h, withCaret);
    TWindowPixels out;
    if (!LiveWindow(h)) return out;
    out.Width = Win(h).Client.Width();
    out.Height = Win(h).Client.Height();
    out.Pixels.resize(size_t(out.Width) * size_t(out.Height));
    for (int y = 0; y < out.Height; ++y)
        for (int x = 0; x < out.Width; ++x)
            out.Pixels[size_t(y) * size_t(out.Width) + size_t(x)] =
                whole.Pixel(x + Win(h).Client.Left, y + Win(h).Client.Top);
    return out;
}

}  // namespace epc
