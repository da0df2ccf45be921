// Spans, pens and brushes, and the figures drawn with them: lines, rectangles, ellipses,
// rounded rectangles, polygons, pixels and the focus rectangle.

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/gdi/GdiInternal.h"
#include "platform/gdi/GdiSink.h"

namespace epc {

COLORREF ResolveColor(COLORREF c) {
    if (c & 0x80000000u) return GetSysColor(int(c & 0xFF));
    if ((c >> 24) == 1) return 0; // a palette index: there are no palettes
    return c & 0xFFFFFF;
}

uint32_t ApplyRop2(int rop2, uint32_t p, uint32_t d) {
    constexpr uint32_t A = 0xFF000000u;
    switch (rop2) {
    case R2_BLACK:
        return A;
    case R2_NOTMERGEPEN:
        return ~(d | p) | A;
    case R2_MASKNOTPEN:
        return (d & ~p) | A;
    case R2_NOTCOPYPEN:
        return ~p | A;
    case R2_MASKPENNOT:
        return (p & ~d) | A;
    // The inverting modes keep the destination's alpha so that drawing twice restores it.
    case R2_NOT:
        return d ^ 0x00FFFFFFu;
    case R2_XORPEN:
        return d ^ (p & 0x00FFFFFFu);
    case R2_NOTMASKPEN:
        return ~(d & p) | A;
    case R2_MASKPEN:
        return (d & p) | A;
    case R2_NOTXORPEN:
        return d ^ (~p & 0x00FFFFFFu);
    case R2_NOP:
        return d;
    case R2_MERGENOTPEN:
        return d | ~p | A;
    case R2_MERGEPENNOT:
        return p | ~d | A;
    case R2_MERGEPEN:
        return d | p | A;
    case R2_WHITE:
        return 0xFFFFFFFFu;
    default:
        return p;
    }
}

namespace {

// Paints [x0, x1) of one surface row, no clipping.
inline void RawSpan(uint32_t* row, int y, int x0, int x1, const TPaint& p) {
    if (!p.Pattern) {
        if (p.Rop2 == R2_COPYPEN) {
            std::fill(row + x0, row + x1, p.Color);
        } else if (p.Rop2 == R2_NOT) {
            for (int x = x0; x < x1; ++x)
                row[x] ^= 0x00FFFFFFu;
        } else if (p.Rop2 != R2_NOP) {
            for (int x = x0; x < x1; ++x)
                row[x] = ApplyRop2(p.Rop2, p.Color, row[x]);
        }
        return;
    }
    int py = ((y - p.OrgY) & 7) * 8;
    const uint32_t* prow = p.Pattern + py;
    uint32_t maskRow = uint32_t(p.Mask >> py) & 0xFF;
    for (int x = x0; x < x1; ++x) {
        int px = (x - p.OrgX) & 7;
        if (!(maskRow & (1u << px))) continue;
        row[x] = p.Rop2 == R2_COPYPEN ? prow[px] : ApplyRop2(p.Rop2, prow[px], row[x]);
    }
}

} // namespace

void FillSpan(HDC dc, int y, int x0, int x1, const TPaint& paint) {
    if (x0 >= x1) return;
    const std::vector<TRect>& vis = dc->Visible();
    uint32_t* row = nullptr;
    for (const TRect& r : vis) {
        if (r.Top > y) break;
        if (y >= r.Bottom) continue;
        int a = std::max(x0, r.Left), b = std::min(x1, r.Right);
        if (a >= b) continue;
        if (!row)
            row = dc->S.Bitmap->Pixels(TRect(x0, y, x1, y + 1)) +
                  size_t(y) * dc->S.Bitmap->PixelStride();
        RawSpan(row, y, a, b, paint);
    }
}

namespace {

// Solid copies: a colour of four equal bytes is a memset; any other fills one row and copies
// it to the others, which the library's wide copies do at close to memset speed.
void SolidBlock(uint32_t* bits, int stride, const TRect& r, uint32_t color) {
    size_t width = size_t(r.Width());
    uint32_t* first = bits + size_t(r.Top) * stride + r.Left;
    bool whole = r.Left == 0 && r.Right == stride;
    if ((color & 0xFF) * 0x01010101u == color) {
        if (whole)
            std::memset(first, int(color & 0xFF), width * 4 * size_t(r.Height()));
        else
            for (int y = r.Top; y < r.Bottom; ++y)
                std::memset(bits + size_t(y) * stride + r.Left, int(color & 0xFF), width * 4);
        return;
    }
    std::fill(first, first + width, color);
    for (int y = r.Top + 1; y < r.Bottom; ++y)
        std::memcpy(bits + size_t(y) * stride + r.Left, first, width * 4);
}

} // namespace

void FillDeviceRect(HDC dc, const TRect& rc, const TPaint& paint) {
    if (rc.IsEmpty()) return;
    const std::vector<TRect>& vis = dc->Visible();
    if (vis.empty()) return;
    if (dc->Sink && !paint.Pattern && paint.Rop2 == R2_COPYPEN &&
        dc->Sink->SolidRect(rc, paint.Color, vis))
        return;
    TGdiBitmap* bmp = dc->S.Bitmap;
    uint32_t* bits = bmp->Pixels(rc);
    int stride = bmp->PixelStride();
    for (const TRect& v : vis) {
        TRect r;
        if (!IntersectRect(r, v, rc)) continue;
        if (!paint.Pattern && paint.Rop2 == R2_COPYPEN) {
            SolidBlock(bits, stride, r, paint.Color);
            continue;
        }
        for (int y = r.Top; y < r.Bottom; ++y)
            RawSpan(bits + size_t(y) * stride, y, r.Left, r.Right, paint);
    }
}

void PlotPixel(HDC dc, int x, int y, const TPaint& paint) {
    FillSpan(dc, y, x, x + 1, paint);
}

TPaint PenPaint(HDC dc, COLORREF color) {
    TPaint p;
    p.Color = ToPixel(ResolveColor(color));
    p.Rop2 = dc->S.Rop2;
    return p;
}

namespace {

bool HatchBit(int hatch, int x, int y) {
    bool h = y == 7, v = x == 7, f = x == y, b = x + y == 7;
    switch (hatch) {
    case HS_HORIZONTAL:
        return h;
    case HS_VERTICAL:
        return v;
    case HS_FDIAGONAL:
        return f;
    case HS_BDIAGONAL:
        return b;
    case HS_CROSS:
        return h || v;
    case HS_DIAGCROSS:
        return f || b;
    default:
        return false;
    }
}

} // namespace

bool BrushPaint(HDC dc, HBRUSH brush, TPaint& p) {
    if (!brush) brush = dc->S.Brush;
    p = TPaint();
    p.Rop2 = dc->S.Rop2;
    p.OrgX = dc->S.BrushOrg.X;
    p.OrgY = dc->S.BrushOrg.Y;
    uintptr_t value = reinterpret_cast<uintptr_t>(brush);
    if (value > 0 && value <= COLOR_ENDCOLORS + 1) {
        // A system colour index + 1 stands for that colour's brush.
        p.Color = ToPixel(GetSysColor(int(value - 1)));
        return true;
    }
    if (!brush) return false;
    const LOGBRUSH& lb = brush->Log;
    switch (lb.lbStyle) {
    case BS_NULL:
        return false;
    case BS_HATCHED: {
        uint32_t fg = ToPixel(ResolveColor(lb.lbColor)), bg = ToPixel(ResolveColor(dc->S.BkColor));
        bool opaque = dc->S.BkMode == OPAQUE;
        p.Mask = 0;
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x) {
                bool on = HatchBit(int(lb.lbHatch), x, y);
                p.Storage[y * 8 + x] = on ? fg : bg;
                if (on || opaque) p.Mask |= uint64_t(1) << (y * 8 + x);
            }
        p.Pattern = p.Storage.data();
        return true;
    }
    case BS_PATTERN: {
        if (brush->MonoPattern) {
            // Monochrome patterns draw their 0 bits in the text colour, 1 bits in the bk colour.
            uint32_t fg = ToPixel(ResolveColor(dc->S.TextColor));
            uint32_t bg = ToPixel(ResolveColor(dc->S.BkColor));
            for (int i = 0; i < 64; ++i)
                p.Storage[i] = (brush->Pattern[i] & 0xFFFFFF) ? bg : fg;
        } else {
            p.Storage = brush->Pattern;
        }
        p.Pattern = p.Storage.data();
        return true;
    }
    default:
        p.Color = ToPixel(ResolveColor(lb.lbColor));
        return true;
    }
}

// ---- Span sets ----------------------------------------------------------------------------

TSpanSet::TRow& TSpanSet::Row(int y) {
    auto it = std::lower_bound(FRows.begin(), FRows.end(), y,
                               [](const TRow& r, int v) { return r.Y < v; });
    if (it == FRows.end() || it->Y != y) it = FRows.insert(it, TRow{y, {}});
    return *it;
}

void TSpanSet::Add(int y, int x0, int x1) {
    if (x0 >= x1) return;
    auto& spans = Row(y).Spans;
    // Insert and merge with the overlapping or touching neighbours.
    auto it = std::lower_bound(spans.begin(), spans.end(), std::make_pair(x0, x1));
    if (it != spans.begin() && std::prev(it)->second >= x0) --it;
    auto first = it;
    while (it != spans.end() && it->first <= x1) {
        x0 = std::min(x0, it->first);
        x1 = std::max(x1, it->second);
        ++it;
    }
    it = spans.erase(first, it);
    spans.insert(it, {x0, x1});
}

void TSpanSet::Paint(HDC dc, const TPaint& paint) const {
    for (const TRow& row : FRows)
        for (auto& [a, b] : row.Spans)
            FillSpan(dc, row.Y, a, b, paint);
}

// ---- Lines --------------------------------------------------------------------------------

namespace {

struct TPenInfo {
    bool Null = false;
    int Width = 1;
    int Style = PS_SOLID;
    const int* Dashes = nullptr;
    int DashCount = 0;
    int DashTotal = 0;
};

constexpr int kDash[] = {6, 2};
constexpr int kDot[] = {1, 1};
constexpr int kDashDot[] = {6, 2, 1, 2};
constexpr int kDashDotDot[] = {6, 2, 1, 2, 1, 2};

TPenInfo PenInfo(HDC dc) {
    TPenInfo info;
    HPEN pen = dc->S.Pen;
    if (!pen) {
        info.Null = true;
        return info;
    }
    info.Style = int(pen->Log.lopnStyle & 0xF);
    info.Width = std::max(1, int(pen->Log.lopnWidth.X));
    info.Null = info.Style == PS_NULL;
    auto set = [&](const int* d, int n) {
        info.Dashes = d;
        info.DashCount = n;
        for (int i = 0; i < n; ++i)
            info.DashTotal += d[i];
    };
    switch (info.Style) {
    case PS_DASH:
        set(kDash, 2);
        break;
    case PS_DOT:
        set(kDot, 2);
        break;
    case PS_DASHDOT:
        set(kDashDot, 4);
        break;
    case PS_DASHDOTDOT:
        set(kDashDotDot, 6);
        break;
    default:
        break;
    }
    return info;
}

// Whether the pixel at a position along the path is on in the pen's dash pattern.
bool DashOn(const TPenInfo& pen, int64_t pos) {
    if (!pen.Dashes) return true;
    int scale = pen.Width;
    int p = int((pos / scale) % pen.DashTotal);
    for (int i = 0; i < pen.DashCount; ++i) {
        if (p < pen.Dashes[i]) return (i & 1) == 0;
        p -= pen.Dashes[i];
    }
    return true;
}

// The spans of a pen's round dot of the given width centred on a pixel.
const std::vector<std::array<int, 3>>& DiscSpans(int width) {
    static thread_local int cachedWidth = -1;
    static thread_local std::vector<std::array<int, 3>> spans;
    if (width != cachedWidth) {
        spans.clear();
        double c = (width % 2 == 0) ? -0.5 : 0.0, rr = (width / 2.0) * (width / 2.0);
        for (int dy = -(width / 2); dy <= (width - 1) / 2; ++dy) {
            double ey = dy - c, room = rr - ey * ey;
            int x0 = INT32_MAX, x1 = INT32_MIN;
            for (int dx = -(width / 2); dx <= (width - 1) / 2; ++dx) {
                double ex = dx - c;
                if (ex * ex <= room + 0.25) {
                    x0 = std::min(x0, dx);
                    x1 = std::max(x1, dx);
                }
            }
            if (x0 <= x1) spans.push_back({dy, x0, x1 + 1});
        }
        cachedWidth = width;
    }
    return spans;
}

// Walks the pixels of a line in device units, leaving out the last one, calling
// plot(x, y, step) only for the steps whose major coordinate lies in the box (so a line far
// longer than the surface costs no more than the surface). Returns the number of steps.
template <typename F> int64_t WalkLine(int x0, int y0, int x1, int y1, const TRect& box, F&& plot) {
    int64_t dx = std::abs(int64_t(x1) - x0), dy = std::abs(int64_t(y1) - y0);
    bool xMajor = dx >= dy;
    int64_t steps = xMajor ? dx : dy, minor = xMajor ? dy : dx;
    if (steps == 0) return 0;
    int64_t m0 = xMajor ? x0 : y0, n0 = xMajor ? y0 : x0;
    int s = (xMajor ? x0 < x1 : y0 < y1) ? 1 : -1;
    int sm = (xMajor ? y0 < y1 : x0 < x1) ? 1 : -1;
    int64_t lo = xMajor ? box.Left : box.Top, hi = xMajor ? box.Right : box.Bottom;
    int64_t i0 = s > 0 ? lo - m0 : m0 - hi + 1, i1 = s > 0 ? hi - m0 : m0 - lo + 1;
    i0 = std::max<int64_t>(i0, 0);
    i1 = std::min<int64_t>(i1, steps);
    for (int64_t i = i0; i < i1; ++i) {
        int64_t major = m0 + s * i;
        // The minor coordinate rounded to the nearest pixel, halves forward.
        int64_t n = n0 + sm * int64_t((__int128(2) * i * minor + steps) / (__int128(2) * steps));
        if (xMajor)
            plot(int(major), int(n), i);
        else
            plot(int(n), int(major), i);
    }
    return steps;
}

TRect VisibleBox(HDC dc, int margin) {
    TRect box;
    for (const TRect& r : dc->Visible())
        UnionRect(box, box, r);
    InflateRect(box, margin, margin);
    return box;
}

// Strokes a device-unit path with the selected pen. Thin pens plot pixel by pixel; wide
// pens gather their dots into one span set so every pixel is painted once.
void StrokePath(HDC dc, const TPoint* pts, int count, bool closed) {
    TPenInfo pen = PenInfo(dc);
    if (pen.Null || count < 1) return;
    TPaint paint = PenPaint(dc, dc->S.Pen->Log.lopnColor);
    int n = closed ? count + 1 : count;
    if (pen.Width <= 1) {
        TRect box = VisibleBox(dc, 0);
        // A vector sink takes solid axis-aligned segments as the thin rectangles they are, so
        // rules and borders print as vectors.
        bool vectorRules = dc->Sink && !pen.Dashes && !paint.Pattern && paint.Rop2 == R2_COPYPEN;
        for (int i = 0; i + 1 < n; ++i) {
            const TPoint& a = pts[i];
            const TPoint& b = pts[(i + 1) % count];
            if (vectorRules && (a.X == b.X || a.Y == b.Y) && !(a == b)) {
                // The pixels from a up to, not including, b.
                TRect r = a.Y == b.Y ? (a.X < b.X ? TRect(a.X, a.Y, b.X, a.Y + 1)
                                                  : TRect(b.X + 1, a.Y, a.X + 1, a.Y + 1))
                                     : (a.Y < b.Y ? TRect(a.X, a.Y, a.X + 1, b.Y)
                                                  : TRect(a.X, b.Y + 1, a.X + 1, a.Y + 1));
                FillDeviceRect(dc, r, paint);
                dc->StylePos +=
                    std::max(std::abs(int64_t(b.X) - a.X), std::abs(int64_t(b.Y) - a.Y));
                continue;
            }
            int64_t base = dc->StylePos;
            dc->StylePos += WalkLine(a.X, a.Y, b.X, b.Y, box, [&](int x, int y, int64_t step) {
                if (DashOn(pen, base + step)) PlotPixel(dc, x, y, paint);
            });
        }
        return;
    }
    TSpanSet set;
    TRect box = VisibleBox(dc, pen.Width);
    const auto& disc = DiscSpans(pen.Width);
    auto stamp = [&](int x, int y) {
        for (auto& sp : disc)
            set.Add(y + sp[0], x + sp[1], x + sp[2]);
    };
    for (int i = 0; i + 1 < n; ++i) {
        const TPoint& a = pts[i];
        const TPoint& b = pts[(i + 1) % count];
        int64_t base = dc->StylePos;
        dc->StylePos += WalkLine(a.X, a.Y, b.X, b.Y, box, [&](int x, int y, int64_t step) {
            if (DashOn(pen, base + step) && box.Contains(TPoint(x, y))) stamp(x, y);
        });
    }
    // Wide pens cap their ends: the last point gets its dot too.
    const TPoint& last = pts[count - 1];
    if (!closed && DashOn(pen, dc->StylePos) && box.Contains(last)) stamp(last.X, last.Y);
    set.Paint(dc, paint);
}

// Device coordinates, cut to a range where the path arithmetic cannot overflow.
TPoint ToDevice(HDC dc, int x, int y) {
    constexpr int64_t kLimit = int64_t(1) << 30;
    return TPoint(int(std::clamp<int64_t>(int64_t(x) + dc->DX(), -kLimit, kLimit)),
                  int(std::clamp<int64_t>(int64_t(y) + dc->DY(), -kLimit, kLimit)));
}

} // namespace

BOOL MoveToEx(HDC dc, int x, int y, POINT* old) {
    if (!dc) return 0;
    if (old) *old = dc->S.CurPos;
    dc->S.CurPos = POINT(x, y);
    dc->StylePos = 0;
    return 1;
}

BOOL LineTo(HDC dc, int x, int y) {
    if (!dc) return 0;
    TPoint pts[2] = {ToDevice(dc, dc->S.CurPos.X, dc->S.CurPos.Y), ToDevice(dc, x, y)};
    StrokePath(dc, pts, 2, false);
    dc->S.CurPos = POINT(x, y);
    return 1;
}

BOOL Polyline(HDC dc, const POINT* points, int count) {
    if (!dc || !points || count < 2) return 0;
    std::vector<TPoint> pts(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i)
        pts[i] = ToDevice(dc, points[i].X, points[i].Y);
    dc->StylePos = 0;
    StrokePath(dc, pts.data(), count, false);
    return 1;
}

BOOL Polygon(HDC dc, const POINT* points, int count) {
    if (!dc || !points || count < 2) return 0;
    std::vector<TPoint> pts(static_cast<size_t>(count));
    int minY = INT32_MAX, maxY = INT32_MIN;
    for (int i = 0; i < count; ++i) {
        pts[i] = ToDevice(dc, points[i].X, points[i].Y);
        minY = std::min(minY, pts[i].Y);
        maxY = std::max(maxY, pts[i].Y);
    }
    TPaint paint;
    if (BrushPaint(dc, nullptr, paint)) {
        // Scan conversion at pixel centres.
        const std::vector<TRect>& vis = dc->Visible();
        TRect box;
        for (const TRect& r : vis)
            UnionRect(box, box, r);
        int y0 = std::max(minY, box.Top), y1 = std::min(maxY, box.Bottom);
        std::vector<std::pair<double, int>> xs;
        for (int y = y0; y < y1; ++y) {
            double yc = y + 0.5;
            xs.clear();
            for (int i = 0; i < count; ++i) {
                const TPoint& a = pts[i];
                const TPoint& b = pts[(i + 1) % count];
                if (a.Y == b.Y) continue;
                int lo = std::min(a.Y, b.Y), hi = std::max(a.Y, b.Y);
                if (yc < lo || yc >= hi) continue;
                double x = a.X + (yc - a.Y) * (double(b.X) - a.X) / (double(b.Y) - a.Y);
                xs.emplace_back(x, b.Y > a.Y ? 1 : -1);
            }
            std::sort(xs.begin(), xs.end());
            int winding = 0;
            for (size_t k = 0; k + 1 < xs.size(); ++k) {
                winding += xs[k].second;
                bool inside = dc->S.PolyFillMode == WINDING ? winding != 0 : (k % 2) == 0;
                if (!inside) continue;
                int xa = int(std::clamp(std::ceil(xs[k].first - 0.5), -2e9, 2e9));
                int xb = int(std::clamp(std::ceil(xs[k + 1].first - 0.5), -2e9, 2e9));
                FillSpan(dc, y, xa, xb, paint);
            }
        }
    }
    dc->StylePos = 0;
    StrokePath(dc, pts.data(), count, true);
    return 1;
}

namespace {

// Figures far beyond any surface are cut to a range where their arithmetic cannot overflow.
int Clamp(int64_t v) {
    return int(std::clamp<int64_t>(v, -(int64_t(1) << 28), int64_t(1) << 28));
}

TRect OrderedDevice(HDC dc, int l, int t, int r, int b) {
    return TRect(
        Clamp(int64_t(std::min(l, r)) + dc->DX()), Clamp(int64_t(std::min(t, b)) + dc->DY()),
        Clamp(int64_t(std::max(l, r)) + dc->DX()), Clamp(int64_t(std::max(t, b)) + dc->DY()));
}

// The pixel columns [x0, x1] of row y inside a box with rounded corners of ew x eh.
bool RowRange(const TRect& box, int ew, int eh, int y, int& x0, int& x1) {
    if (y < box.Top || y >= box.Bottom || box.IsEmpty()) return false;
    ew = std::min(ew, box.Width());
    eh = std::min(eh, box.Height());
    double yc = y + 0.5, inset = 0;
    if (ew > 0 && eh > 0) {
        double a = ew / 2.0, b = eh / 2.0, dy = 0;
        bool corner = false;
        if (yc < box.Top + b) {
            dy = (yc - (box.Top + b)) / b;
            corner = true;
        } else if (yc > box.Bottom - b) {
            dy = (yc - (box.Bottom - b)) / b;
            corner = true;
        }
        if (corner) inset = a - a * std::sqrt(std::max(0.0, 1 - dy * dy));
    }
    x0 = int(std::ceil(box.Left + inset - 0.5));
    x1 = int(std::floor(box.Right - inset - 0.5));
    return x0 <= x1;
}

// Draws a box with rounded corners: the outline with the pen, the inside with the brush.
void RoundedFigure(HDC dc, TRect box, int ew, int eh) {
    TPenInfo pen = PenInfo(dc);
    TPaint fill;
    bool hasFill = BrushPaint(dc, nullptr, fill);
    // Only rows that can reach the visible area are worked out.
    TRect vis = VisibleBox(dc, pen.Width + 1);
    int rowFirst = vis.Top, rowLast = vis.Bottom;
    if (pen.Null) {
        if (!hasFill) return;
        for (int y = std::max(box.Top, rowFirst); y < std::min(box.Bottom, rowLast); ++y) {
            int a, b;
            if (RowRange(box, ew, eh, y, a, b)) FillSpan(dc, y, a, b + 1, fill);
        }
        return;
    }
    TPaint stroke = PenPaint(dc, dc->S.Pen->Log.lopnColor);
    int w = pen.Width;
    if (dc->S.Pen->Log.lopnStyle == PS_INSIDEFRAME && w > 1) {
        box = TRect(box.Left + w / 2, box.Top + w / 2, box.Right - (w - 1) / 2,
                    box.Bottom - (w - 1) / 2);
    }
    if (w <= 1) {
        // Outline: inside pixels with a 4-neighbour outside.
        int64_t step = 0;
        auto outline = [&](int y, int from, int to) { // columns [from, to]
            if (from > to) return;
            if (!pen.Dashes) {
                FillSpan(dc, y, from, to + 1, stroke);
                return;
            }
            int a = std::max(from, vis.Left), b = std::min(to, vis.Right);
            step += std::max(0, a - from);
            for (int x = a; x <= b; ++x)
                if (DashOn(pen, step++)) PlotPixel(dc, x, y, stroke);
            step += std::max(0, to - std::max(b, a - 1));
        };
        for (int y = std::max(box.Top, rowFirst); y < std::min(box.Bottom, rowLast); ++y) {
            int a, b, pa, pb, na, nb;
            if (!RowRange(box, ew, eh, y, a, b)) continue;
            int i0 = a + 1, i1 = b - 1;
            if (RowRange(box, ew, eh, y - 1, pa, pb)) {
                i0 = std::max(i0, pa);
                i1 = std::min(i1, pb);
            } else {
                i1 = i0 - 1;
            }
            if (RowRange(box, ew, eh, y + 1, na, nb)) {
                i0 = std::max(i0, na);
                i1 = std::min(i1, nb);
            } else {
                i1 = i0 - 1;
            }
            if (i0 > i1) {
                outline(y, a, b);
                continue;
            }
            outline(y, a, i0 - 1);
            outline(y, i1 + 1, b);
            if (hasFill) FillSpan(dc, y, i0, i1 + 1, fill);
        }
        return;
    }
    TRect outer(box.Left - w / 2, box.Top - w / 2, box.Right + (w - 1) / 2,
                box.Bottom + (w - 1) / 2);
    int in = w - w / 2;
    TRect inner(box.Left + in, box.Top + in, box.Right - in, box.Bottom - in);
    int oew = ew > 0 ? ew + w - 1 : 0, oeh = eh > 0 ? eh + w - 1 : 0;
    int iew = std::max(0, ew - w - 1), ieh = std::max(0, eh - w - 1);
    for (int y = std::max(outer.Top, rowFirst); y < std::min(outer.Bottom, rowLast); ++y) {
        int a, b, ia, ib;
        if (!RowRange(outer, oew, oeh, y, a, b)) continue;
        if (!RowRange(inner, ew > 0 ? std::max(iew, 1) : 0, eh > 0 ? std::max(ieh, 1) : 0, y, ia,
                      ib)) {
            FillSpan(dc, y, a, b + 1, stroke);
            continue;
        }
        FillSpan(dc, y, a, ia, stroke);
        FillSpan(dc, y, ib + 1, b + 1, stroke);
        if (hasFill) FillSpan(dc, y, ia, ib + 1, fill);
    }
}

} // namespace

BOOL Rectangle(HDC dc, int left, int top, int right, int bottom) {
    if (!dc) return 0;
    TRect box = OrderedDevice(dc, left, top, right, bottom);
    TPenInfo pen = PenInfo(dc);
    TPaint fill;
    bool hasFill = BrushPaint(dc, nullptr, fill);
    if (pen.Null) {
        // Without a pen the figure is one pixel smaller on the right and bottom.
        if (hasFill)
            FillDeviceRect(dc, TRect(box.Left, box.Top, box.Right - 1, box.Bottom - 1), fill);
        return 1;
    }
    if (box.IsEmpty()) return 1;
    int w = pen.Width;
    if (dc->S.Pen->Log.lopnStyle == PS_INSIDEFRAME && w > 1)
        box = TRect(box.Left + w / 2, box.Top + w / 2, box.Right - (w - 1) / 2,
                    box.Bottom - (w - 1) / 2);
    if (hasFill) {
        int in = w <= 1 ? 1 : w - w / 2;
        FillDeviceRect(dc, TRect(box.Left + in, box.Top + in, box.Right - in, box.Bottom - in),
                       fill);
    }
    TPoint pts[4] = {{box.Left, box.Top},
                     {box.Right - 1, box.Top},
                     {box.Right - 1, box.Bottom - 1},
                     {box.Left, box.Bottom - 1}};
    dc->StylePos = 0;
    if (box.Width() == 1 || box.Height() == 1) {
        // A one-pixel line: walk it once, including its end.
        TPoint end(pts[2].X + (box.Width() == 1 ? 0 : 1), pts[2].Y + (box.Width() == 1 ? 1 : 0));
        TPoint line[2] = {pts[0], end};
        StrokePath(dc, line, 2, false);
        return 1;
    }
    StrokePath(dc, pts, 4, true);
    return 1;
}

BOOL RoundRect(HDC dc, int left, int top, int right, int bottom, int width, int height) {
    if (!dc) return 0;
    RoundedFigure(dc, OrderedDevice(dc, left, top, right, bottom), std::abs(width),
                  std::abs(height));
    return 1;
}

BOOL Ellipse(HDC dc, int left, int top, int right, int bottom) {
    if (!dc) return 0;
    TRect box = OrderedDevice(dc, left, top, right, bottom);
    RoundedFigure(dc, box, box.Width(), box.Height());
    return 1;
}

namespace {

// Paints each pixel of a one-pixel frame exactly once.
void FrameDevice(HDC dc, const TRect& rc, const TPaint& paint) {
    if (rc.IsEmpty()) return;
    FillDeviceRect(dc, TRect(rc.Left, rc.Top, rc.Right, rc.Top + 1), paint);
    if (rc.Height() > 1)
        FillDeviceRect(dc, TRect(rc.Left, rc.Bottom - 1, rc.Right, rc.Bottom), paint);
    if (rc.Height() > 2) {
        FillDeviceRect(dc, TRect(rc.Left, rc.Top + 1, rc.Left + 1, rc.Bottom - 1), paint);
        if (rc.Width() > 1)
            FillDeviceRect(dc, TRect(rc.Right - 1, rc.Top + 1, rc.Right, rc.Bottom - 1), paint);
    }
}

TRect DeviceRect(HDC dc, TRect r) {
    OffsetRect(r, dc->DX(), dc->DY());
    return r;
}

// The brush, copied over the device rectangle (or its frame) by paintDevice.
int PaintWithBrush(HDC dc, const RECT* r, HBRUSH brush,
                   void (*paintDevice)(HDC, const TRect&, const TPaint&)) {
    if (!dc || !r || !brush) return 0;
    TPaint paint;
    if (!BrushPaint(dc, brush, paint)) return 1;
    paint.Rop2 = R2_COPYPEN;
    paintDevice(dc, DeviceRect(dc, *r), paint);
    return 1;
}

} // namespace

int FillRect(HDC dc, const RECT* r, HBRUSH brush) {
    return PaintWithBrush(dc, r, brush, FillDeviceRect);
}

int FrameRect(HDC dc, const RECT* r, HBRUSH brush) {
    return PaintWithBrush(dc, r, brush, FrameDevice);
}

BOOL InvertRect(HDC dc, const RECT* r) {
    if (!dc || !r) return 0;
    TPaint paint;
    paint.Rop2 = R2_NOT;
    FillDeviceRect(dc, DeviceRect(dc, *r), paint);
    return 1;
}

BOOL DrawFocusRect(HDC dc, const RECT* r) {
    if (!dc || !r) return 0;
    // Every other pixel of the frame inverted, in a checkerboard fixed to the device.
    TPaint paint;
    paint.Rop2 = R2_NOT;
    paint.Storage.fill(0);
    paint.Pattern = paint.Storage.data();
    paint.Mask = 0;
    for (int i = 0; i < 64; ++i)
        if (((i / 8) + (i % 8)) % 2 == 0) paint.Mask |= uint64_t(1) << i;
    FrameDevice(dc, DeviceRect(dc, *r), paint);
    return 1;
}

COLORREF SetPixel(HDC dc, int x, int y, COLORREF color) {
    if (!dc) return CLR_INVALID;
    TPaint paint;
    paint.Color = ToPixel(ResolveColor(color));
    TPoint p = ToDevice(dc, x, y);
    if (!PtVisible(dc, x, y)) return CLR_INVALID;
    PlotPixel(dc, p.X, p.Y, paint);
    return ResolveColor(color);
}

COLORREF GetPixel(HDC dc, int x, int y) {
    if (!dc || !PtVisible(dc, x, y)) return CLR_INVALID;
    TPoint p = ToDevice(dc, x, y);
    TGdiBitmap* bmp = dc->S.Bitmap;
    return ToColorRef(bmp->PixelsForRead()[size_t(p.Y) * bmp->PixelStride() + p.X]);
}

} // namespace epc
