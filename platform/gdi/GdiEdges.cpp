// Bevelled edges and the frame controls (check boxes, radio buttons, push buttons, scroll
// arrows) in our own classic drawings, coloured from the system colour table.

#include <algorithm>
#include <cmath>

#include "platform/gdi/GdiInternal.h"

namespace epc {

namespace {

// Fills a logical rectangle with a system colour, ignoring the binary raster mode.
void FillSys(HDC dc, TRect r, int sysColor) {
    TPaint p;
    p.Color = ToPixel(GetSysColor(sysColor));
    OffsetRect(r, dc->DX(), dc->DY());
    FillDeviceRect(dc, r, p);
}

void PixelSys(HDC dc, int x, int y, int sysColor) {
    FillSys(dc, TRect(x, y, x + 1, y + 1), sysColor);
}

// One ring of a bevel: top and left in `tl`, bottom and right (owning the corners) in `br`.
void Ring(HDC dc, const TRect& r, UINT sides, int tl, int br) {
    if (r.IsEmpty()) return;
    if (sides & BF_TOP)
        FillSys(dc, TRect(r.Left, r.Top, r.Right - ((sides & BF_RIGHT) ? 1 : 0), r.Top + 1), tl);
    if (sides & BF_LEFT)
        FillSys(dc, TRect(r.Left, r.Top, r.Left + 1, r.Bottom - ((sides & BF_BOTTOM) ? 1 : 0)), tl);
    if (sides & BF_BOTTOM) FillSys(dc, TRect(r.Left, r.Bottom - 1, r.Right, r.Bottom), br);
    if (sides & BF_RIGHT) FillSys(dc, TRect(r.Right - 1, r.Top, r.Right, r.Bottom), br);
}

TRect Shrink(const TRect& r, UINT sides) {
    return TRect(r.Left + ((sides & BF_LEFT) ? 1 : 0), r.Top + ((sides & BF_TOP) ? 1 : 0),
                 r.Right - ((sides & BF_RIGHT) ? 1 : 0), r.Bottom - ((sides & BF_BOTTOM) ? 1 : 0));
}

} // namespace

BOOL DrawEdge(HDC dc, RECT* rect, UINT edge, UINT flags) {
    if (!dc || !rect) return 0;
    TRect r = *rect;
    UINT sides = flags & BF_RECT;
    UINT outer = edge & BDR_OUTER, inner = edge & BDR_INNER;
    if (flags & BF_DIAGONAL) {
        // A diagonal edge: a line from the bottom-left to the top-right corner.
        int n = std::min(r.Width(), r.Height());
        int color = (outer & BDR_SUNKENOUTER) ? COLOR_BTNSHADOW : COLOR_3DDKSHADOW;
        for (int i = 0; i < n; ++i)
            PixelSys(dc, r.Left + i, r.Bottom - 1 - i, color);
        return 1;
    }
    if (outer) {
        int tl, br;
        if (flags & BF_MONO) {
            tl = br = COLOR_WINDOWFRAME;
        } else if (flags & BF_FLAT) {
            tl = br = COLOR_BTNSHADOW;
        } else if (outer & BDR_RAISEDOUTER) {
            tl = (flags & BF_SOFT) ? COLOR_BTNHIGHLIGHT : COLOR_3DLIGHT;
            br = COLOR_3DDKSHADOW;
        } else {
            tl = COLOR_BTNSHADOW;
            br = COLOR_BTNHIGHLIGHT;
        }
        Ring(dc, r, sides, tl, br);
        r = Shrink(r, sides);
    }
    if (inner) {
        int tl, br;
        if (flags & BF_MONO) {
            tl = br = COLOR_WINDOW;
        } else if (flags & BF_FLAT) {
            tl = br = COLOR_BTNFACE;
        } else if (inner & BDR_RAISEDINNER) {
            tl = (flags & BF_SOFT) ? COLOR_3DLIGHT : COLOR_BTNHIGHLIGHT;
            br = COLOR_BTNSHADOW;
        } else {
            tl = (flags & BF_SOFT) ? COLOR_BTNSHADOW : COLOR_3DDKSHADOW;
            br = COLOR_3DLIGHT;
        }
        Ring(dc, r, sides, tl, br);
        r = Shrink(r, sides);
    }
    if (flags & BF_MIDDLE) FillSys(dc, r, (flags & BF_MONO) ? COLOR_WINDOW : COLOR_BTNFACE);
    if (flags & BF_ADJUST) *rect = r;
    return 1;
}

namespace {

// Our check mark: 7 x 7, rows top-down, bit 0 the leftmost column.
constexpr uint8_t kCheckMark[7] = {0x40, 0x60, 0x71, 0x3B, 0x1F, 0x0E, 0x04};

void DrawCheckMark(HDC dc, int x, int y, int color) {
    for (int row = 0; row < 7; ++row)
        for (int col = 0; col < 7; ++col)
            if (kCheckMark[row] & (1 << col)) PixelSys(dc, x + col, y + row, color);
}

TRect CenteredSquare(const TRect& r, int size) {
    int x = r.Left + (r.Width() - size) / 2, y = r.Top + (r.Height() - size) / 2;
    return TRect(x, y, x + size, y + size);
}

void DrawCheckBox(HDC dc, const TRect& rc, UINT state) {
    TRect box = CenteredSquare(rc, 13);
    bool flat = state & (DFCS_FLAT | DFCS_MONO);
    if (flat) {
        TRect b = box;
        Ring(dc, b, BF_RECT, (state & DFCS_MONO) ? COLOR_WINDOWFRAME : COLOR_BTNSHADOW,
             (state & DFCS_MONO) ? COLOR_WINDOWFRAME : COLOR_BTNSHADOW);
    } else {
        RECT b = box;
        DrawEdge(dc, &b, EDGE_SUNKEN, BF_RECT);
    }
    TRect inside = flat ? TRect(box.Left + 1, box.Top + 1, box.Right - 1, box.Bottom - 1)
                        : TRect(box.Left + 2, box.Top + 2, box.Right - 2, box.Bottom - 2);
    bool grey = state & (DFCS_PUSHED | DFCS_INACTIVE);
    bool indeterminate = (state & 0xFF) == DFCS_BUTTON3STATE && (state & DFCS_CHECKED);
    FillSys(dc, inside, grey || indeterminate ? COLOR_BTNFACE : COLOR_WINDOW);
    if (state & DFCS_CHECKED) {
        int color = (state & DFCS_INACTIVE) || indeterminate ? COLOR_BTNSHADOW : COLOR_WINDOWTEXT;
        DrawCheckMark(dc, box.Left + 3, box.Top + 3, color);
    }
}

bool InCircle(const TRect& b, int x, int y) {
    if (b.IsEmpty()) return false;
    double a = b.Width() / 2.0, c = b.Height() / 2.0;
    double dx = (x + 0.5 - (b.Left + a)) / a, dy = (y + 0.5 - (b.Top + c)) / c;
    return dx * dx + dy * dy <= 1.0;
}

void DrawRadio(HDC dc, const TRect& rc, UINT state) {
    TRect box = CenteredSquare(rc, 12);
    TRect ring1(box.Left + 1, box.Top + 1, box.Right - 1, box.Bottom - 1);
    TRect inner(box.Left + 2, box.Top + 2, box.Right - 2, box.Bottom - 2);
    TRect dot(box.Left + 4, box.Top + 4, box.Right - 4, box.Bottom - 4);
    UINT kind = state & 0xFF;
    bool flat = state & (DFCS_FLAT | DFCS_MONO);
    bool grey = state & (DFCS_PUSHED | DFCS_INACTIVE);
    for (int y = box.Top; y < box.Bottom; ++y) {
        for (int x = box.Left; x < box.Right; ++x) {
            if (!InCircle(box, x, y)) continue;
            if (kind == DFCS_BUTTONRADIOMASK) {
                PixelSys(dc, x, y, COLOR_WINDOWFRAME);
                continue;
            }
            bool topLeft = (x - box.Left) + (y - box.Top) < box.Width() - 1;
            int color;
            if (!InCircle(ring1, x, y)) {
                color = flat      ? ((state & DFCS_MONO) ? COLOR_WINDOWFRAME : COLOR_BTNSHADOW)
                        : topLeft ? COLOR_BTNSHADOW
                                  : COLOR_BTNHIGHLIGHT;
            } else if (!InCircle(inner, x, y)) {
                color = flat      ? (grey ? COLOR_BTNFACE : COLOR_WINDOW)
                        : topLeft ? COLOR_3DDKSHADOW
                                  : COLOR_3DLIGHT;
            } else if ((state & DFCS_CHECKED) && InCircle(dot, x, y)) {
                color = (state & DFCS_INACTIVE) ? COLOR_BTNSHADOW : COLOR_WINDOWTEXT;
            } else {
                color = grey ? COLOR_BTNFACE : COLOR_WINDOW;
            }
            PixelSys(dc, x, y, color);
        }
    }
}

void DrawButtonFace(HDC dc, const TRect& rc, UINT state) {
    RECT r = rc;
    if (state & (DFCS_PUSHED | DFCS_CHECKED)) {
        if (state & DFCS_FLAT) {
            DrawEdge(dc, &r, BDR_SUNKENOUTER, BF_RECT | BF_MIDDLE | BF_FLAT);
        } else {
            Ring(dc, r, BF_RECT, COLOR_3DDKSHADOW, COLOR_3DDKSHADOW);
            TRect in = Shrink(r, BF_RECT);
            Ring(dc, in, BF_RECT, COLOR_BTNSHADOW, COLOR_BTNSHADOW);
            FillSys(dc, Shrink(in, BF_RECT), COLOR_BTNFACE);
        }
        return;
    }
    UINT flags = BF_RECT | BF_MIDDLE;
    if (state & DFCS_FLAT) flags |= BF_FLAT;
    if (state & DFCS_MONO) flags |= BF_MONO;
    DrawEdge(dc, &r, EDGE_RAISED, flags);
}

// A filled triangle pointing in the direction of a scroll arrow.
void DrawArrow(HDC dc, const TRect& rc, UINT kind, int color) {
    int n = std::max(2, (std::min(rc.Width(), rc.Height()) + 1) / 4);
    int cx = rc.Left + rc.Width() / 2, cy = rc.Top + rc.Height() / 2;
    for (int i = 0; i < n; ++i) {
        int half = i;
        switch (kind) {
        case DFCS_SCROLLUP:
            FillSys(dc, TRect(cx - half, cy - n / 2 + i, cx + half + 1, cy - n / 2 + i + 1), color);
            break;
        case DFCS_SCROLLLEFT:
            FillSys(dc, TRect(cx - n / 2 + i, cy - half, cx - n / 2 + i + 1, cy + half + 1), color);
            break;
        case DFCS_SCROLLRIGHT:
            FillSys(dc, TRect(cx + n / 2 - i, cy - half, cx + n / 2 - i + 1, cy + half + 1), color);
            break;
        default: // down and the combo box button
            FillSys(dc, TRect(cx - half, cy + n / 2 - i, cx + half + 1, cy + n / 2 - i + 1), color);
            break;
        }
    }
}

} // namespace

BOOL DrawFrameControl(HDC dc, RECT* rect, UINT type, UINT state) {
    if (!dc || !rect) return 0;
    TRect rc = *rect;
    UINT kind = state & 0xFF;
    switch (type) {
    case DFC_BUTTON:
        if (kind & DFCS_BUTTONPUSH) {
            DrawButtonFace(dc, rc, state);
        } else if (kind & (DFCS_BUTTONRADIO | DFCS_BUTTONRADIOIMAGE | DFCS_BUTTONRADIOMASK)) {
            DrawRadio(dc, rc, state);
        } else {
            DrawCheckBox(dc, rc, state);
        }
        break;
    case DFC_SCROLL: {
        DrawButtonFace(dc, rc, state & ~DFCS_CHECKED);
        TRect face = rc;
        if (state & DFCS_PUSHED) OffsetRect(face, 1, 1);
        if (state & DFCS_INACTIVE) {
            TRect shade = face;
            OffsetRect(shade, 1, 1);
            DrawArrow(dc, shade, kind, COLOR_BTNHIGHLIGHT);
            DrawArrow(dc, face, kind, COLOR_BTNSHADOW);
        } else {
            DrawArrow(dc, face, kind, COLOR_BTNTEXT);
        }
        break;
    }
    case DFC_CAPTION:
        DrawButtonFace(dc, rc, state);
        break;
    case DFC_MENU:
        if (state & DFCS_CHECKED)
            DrawCheckMark(dc, rc.Left + (rc.Width() - 7) / 2, rc.Top + (rc.Height() - 7) / 2,
                          COLOR_MENUTEXT);
        break;
    default:
        return 0;
    }
    if (state & DFCS_ADJUSTRECT) InflateRect(*rect, -2, -2);
    return 1;
}

} // namespace epc
