// Regions as banded rectangle lists, and the clipping of device contexts built on them.

#include <algorithm>

#include "platform/gdi/GdiInternal.h"

namespace epc {

namespace {

using TIntervals = std::vector<std::pair<int, int>>;

// The x-intervals of a banded list covering the band that starts at y (bands never straddle
// an edge of either input, so covering y means covering the whole band).
void BandIntervals(const std::vector<TRect>& rects, int y0, int y1, TIntervals& out) {
    out.clear();
    for (const TRect& r : rects)
        if (r.Top <= y0 && r.Bottom >= y1) out.emplace_back(r.Left, r.Right);
}

bool Inside(const TIntervals& iv, int x) {
    for (auto& [a, b] : iv)
        if (x >= a && x < b) return true;
    return false;
}

bool Apply(int mode, bool a, bool b) {
    switch (mode) {
    case RGN_AND:
        return a && b;
    case RGN_OR:
        return a || b;
    case RGN_XOR:
        return a != b;
    case RGN_DIFF:
        return a && !b;
    default:
        return a;
    }
}

} // namespace

std::vector<TRect> CombineRects(const std::vector<TRect>& a, const std::vector<TRect>& b,
                                int mode) {
    std::vector<int> ys;
    ys.reserve((a.size() + b.size()) * 2);
    for (const TRect& r : a)
        if (!r.IsEmpty()) ys.insert(ys.end(), {r.Top, r.Bottom});
    for (const TRect& r : b)
        if (!r.IsEmpty()) ys.insert(ys.end(), {r.Top, r.Bottom});
    std::sort(ys.begin(), ys.end());
    ys.erase(std::unique(ys.begin(), ys.end()), ys.end());

    std::vector<TRect> out;
    TIntervals ia, ib, result, prev;
    std::vector<int> xs;
    size_t prevStart = 0;
    int prevBottom = INT32_MIN;
    for (size_t i = 0; i + 1 < ys.size(); ++i) {
        int y0 = ys[i], y1 = ys[i + 1];
        BandIntervals(a, y0, y1, ia);
        BandIntervals(b, y0, y1, ib);
        xs.clear();
        for (auto& [l, r] : ia)
            xs.insert(xs.end(), {l, r});
        for (auto& [l, r] : ib)
            xs.insert(xs.end(), {l, r});
        std::sort(xs.begin(), xs.end());
        xs.erase(std::unique(xs.begin(), xs.end()), xs.end());
        result.clear();
        for (size_t k = 0; k + 1 < xs.size(); ++k) {
            if (!Apply(mode, Inside(ia, xs[k]), Inside(ib, xs[k]))) continue;
            if (!result.empty() && result.back().second == xs[k])
                result.back().second = xs[k + 1];
            else
                result.emplace_back(xs[k], xs[k + 1]);
        }
        if (result.empty()) {
            prevBottom = INT32_MIN;
            continue;
        }
        if (prevBottom == y0 && result == prev) {
            // Same intervals as the band above: extend it.
            for (size_t k = prevStart; k < out.size(); ++k)
                out[k].Bottom = y1;
        } else {
            prevStart = out.size();
            for (auto& [l, r] : result)
                out.emplace_back(l, y0, r, y1);
            prev = result;
        }
        prevBottom = y1;
    }
    return out;
}

std::vector<TRect> NormalizeRects(const std::vector<TRect>& rects) {
    return CombineRects(rects, {}, RGN_OR);
}

namespace {

int Complexity(const std::vector<TRect>& rects) {
    return rects.empty() ? NULLREGION : rects.size() == 1 ? SIMPLEREGION : COMPLEXREGION;
}

TRect Box(const std::vector<TRect>& rects) {
    TRect box;
    for (const TRect& r : rects)
        UnionRect(box, box, r);
    return box;
}

TRect Ordered(int l, int t, int r, int b) {
    return TRect(std::min(l, r), std::min(t, b), std::max(l, r), std::max(t, b));
}

} // namespace

// ---- Regions ------------------------------------------------------------------------------

HRGN CreateRectRgn(int left, int top, int right, int bottom) {
    auto* rgn = new TGdiRegion;
    SetRectRgn(rgn, left, top, right, bottom);
    return rgn;
}

HRGN CreateRectRgnIndirect(const RECT& r) {
    return CreateRectRgn(r.Left, r.Top, r.Right, r.Bottom);
}

BOOL SetRectRgn(HRGN rgn, int left, int top, int right, int bottom) {
    if (!rgn) return 0;
    rgn->Rects.clear();
    TRect r = Ordered(left, top, right, bottom);
    if (!r.IsEmpty()) rgn->Rects.push_back(r);
    return 1;
}

int CombineRgn(HRGN dst, HRGN a, HRGN b, int mode) {
    if (!dst || !a || mode < RGN_AND || mode > RGN_COPY) return ERROR_REGION;
    if (mode == RGN_COPY) {
        dst->Rects = a->Rects;
    } else {
        if (!b) return ERROR_REGION;
        dst->Rects = CombineRects(a->Rects, b->Rects, mode);
    }
    return Complexity(dst->Rects);
}

int OffsetRgn(HRGN rgn, int dx, int dy) {
    if (!rgn) return ERROR_REGION;
    for (TRect& r : rgn->Rects)
        OffsetRect(r, dx, dy);
    return Complexity(rgn->Rects);
}

int GetRgnBox(HRGN rgn, RECT* box) {
    if (!rgn || !box) return ERROR_REGION;
    *box = Box(rgn->Rects);
    return Complexity(rgn->Rects);
}

BOOL PtInRegion(HRGN rgn, int x, int y) {
    if (!rgn) return 0;
    for (const TRect& r : rgn->Rects)
        if (r.Contains(TPoint(x, y))) return 1;
    return 0;
}

BOOL RectInRegion(HRGN rgn, const RECT* rc) {
    if (!rgn || !rc) return 0;
    TRect q = Ordered(rc->Left, rc->Top, rc->Right, rc->Bottom), tmp;
    for (const TRect& r : rgn->Rects)
        if (IntersectRect(tmp, r, q)) return 1;
    return 0;
}

BOOL EqualRgn(HRGN a, HRGN b) {
    if (!a || !b) return 0;
    return a->Rects == b->Rects;
}

BOOL FillRgn(HDC dc, HRGN rgn, HBRUSH brush) {
    if (!dc || !rgn || !brush) return 0;
    TPaint paint;
    if (!BrushPaint(dc, brush, paint)) return 1;
    for (TRect r : rgn->Rects) {
        OffsetRect(r, dc->DX(), dc->DY());
        FillDeviceRect(dc, r, paint);
    }
    return 1;
}

// ---- Clipping -----------------------------------------------------------------------------

namespace {

int ClipResult(HDC dc) {
    if (!dc->S.HasClip) return SIMPLEREGION;
    return Complexity(dc->S.Clip);
}

// Combines the clip (device units) with a device-unit rectangle list.
int CombineClip(HDC dc, const std::vector<TRect>& rects, int mode) {
    if (mode == RGN_COPY) {
        dc->S.Clip = rects;
    } else {
        std::vector<TRect> current =
            dc->S.HasClip ? dc->S.Clip : std::vector<TRect>{dc->SurfaceRect()};
        if (!dc->S.HasClip && mode == RGN_AND) {
            // With no clip, AND means the given region itself.
            dc->S.Clip = rects;
        } else {
            dc->S.Clip = CombineRects(current, rects, mode);
        }
    }
    dc->S.HasClip = true;
    dc->InvalidateVisible();
    return ClipResult(dc);
}

std::vector<TRect> ToDevice(HDC dc, std::vector<TRect> rects) {
    for (TRect& r : rects)
        OffsetRect(r, dc->DX(), dc->DY());
    return rects;
}

} // namespace

int IntersectClipRect(HDC dc, int left, int top, int right, int bottom) {
    if (!dc) return ERROR_REGION;
    TRect r = TRect(left, top, right, bottom);
    std::vector<TRect> rects;
    if (!r.IsEmpty()) rects.push_back(r);
    return CombineClip(dc, ToDevice(dc, rects), RGN_AND);
}

int ExcludeClipRect(HDC dc, int left, int top, int right, int bottom) {
    if (!dc) return ERROR_REGION;
    TRect r = TRect(left, top, right, bottom);
    if (r.IsEmpty()) return ClipResult(dc);
    return CombineClip(dc, ToDevice(dc, {r}), RGN_DIFF);
}

int SelectClipRgn(HDC dc, HRGN rgn) {
    return ExtSelectClipRgn(dc, rgn, RGN_COPY);
}

int ExtSelectClipRgn(HDC dc, HRGN rgn, int mode) {
    if (!dc) return ERROR_REGION;
    if (!rgn) {
        if (mode != RGN_COPY) return ERROR_REGION;
        dc->S.HasClip = false;
        dc->S.Clip.clear();
        dc->InvalidateVisible();
        return SIMPLEREGION;
    }
    // Device units: the viewport origin is the device origin of a window's client area.
    std::vector<TRect> rects = rgn->Rects;
    for (TRect& r : rects) OffsetRect(r, dc->S.ViewportOrg.X, dc->S.ViewportOrg.Y);
    return CombineClip(dc, rects, mode);
}

int GetClipBox(HDC dc, RECT* box) {
    if (!dc || !box) return ERROR_REGION;
    const std::vector<TRect>& vis = dc->Visible();
    TRect b = Box(vis);
    OffsetRect(b, -dc->DX(), -dc->DY());
    *box = b;
    return Complexity(vis);
}

int GetClipRgn(HDC dc, HRGN rgn) {
    if (!dc || !rgn) return -1;
    if (!dc->S.HasClip) return 0;
    rgn->Rects = dc->S.Clip;
    for (TRect& r : rgn->Rects) OffsetRect(r, -dc->S.ViewportOrg.X, -dc->S.ViewportOrg.Y);
    return 1;
}

BOOL PtVisible(HDC dc, int x, int y) {
    if (!dc) return 0;
    TPoint p(x + dc->DX(), y + dc->DY());
    for (const TRect& r : dc->Visible())
        if (r.Contains(p)) return 1;
    return 0;
}

BOOL RectVisible(HDC dc, const RECT* rc) {
    if (!dc || !rc) return 0;
    TRect q = Ordered(rc->Left, rc->Top, rc->Right, rc->Bottom), tmp;
    OffsetRect(q, dc->DX(), dc->DY());
    for (const TRect& r : dc->Visible())
        if (IntersectRect(tmp, r, q)) return 1;
    return 0;
}

} // namespace epc
