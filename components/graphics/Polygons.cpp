#include "components/graphics/Polygons.h"

#include <algorithm>

#include "components/graphics/Blend.h"
#include "platform/core/ScopeGuard.h"

namespace epc {

// ---- Line clipping ----------------------------------------------------------------------------

namespace {

// a * b / c rounded half up on the magnitudes, as MulDivRound, without its 32-bit limits.
int64_t MulDivRoundWide(int64_t a, int64_t b, int64_t c) {
    bool negative = ((a < 0) != (b < 0)) != (c < 0);
    unsigned __int128 p = (unsigned __int128)(a < 0 ? -a : a) * (unsigned __int128)(b < 0 ? -b : b);
    unsigned __int128 uc = (unsigned __int128)(c < 0 ? -c : c);
    unsigned __int128 q = p / uc, r = p % uc;
    if (uc - r <= r) ++q;
    if (q > (unsigned __int128)INT64_MAX) q = (unsigned __int128)INT64_MAX;
    return negative ? -int64_t(q) : int64_t(q);
}

int32_t Saturate(int64_t v) { return int32_t(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); }

}  // namespace

bool ClipLine(int32_t& x1, int32_t& y1, int32_t& x2, int32_t& y2, int32_t minX, int32_t minY,
              int32_t maxX, int32_t maxY) {
    auto code = [&](int32_t x, int32_t y) {
        return (x < minX ? 1 : 0) | (x > maxX ? 2 : 0) | (y < minY ? 4 : 0) | (y > maxY ? 8 : 0);
    };
    auto hcode = [&](int32_t x) { return (x < minX ? 1 : 0) | (x > maxX ? 2 : 0); };
    int c1 = code(x1, y1), c2 = code(x2, y2);
    if (c1 & c2) return false;
    if ((c1 | c2) == 0) return true;

    // Differences and products in wide integers: end points may lie anywhere in 32 bits.
    auto toRow = [&](int32_t& x, int32_t& y, int& c) {
        if (!(c & 12)) return;
        int32_t target = (c & 4) ? minY : maxY;
        x = Saturate(x + MulDivRoundWide(int64_t(target) - y, int64_t(x2) - x1,
                                         int64_t(y2) - y1));
        y = target;
        c = hcode(x);
    };
    toRow(x1, y1, c1);
    toRow(x2, y2, c2);
    if (c1 & c2) return false;
    if ((c1 | c2) != 0) {
        auto toColumn = [&](int32_t& x, int32_t& y, int c) {
            if (!(c & 3)) return;
            int32_t target = (c & 1) ? minX : maxX;
            y = Saturate(y + MulDivRoundWide(int64_t(target) - x, int64_t(y2) - y1,
                                             int64_t(x2) - x1));
            x = target;
        };
        toColumn(x1, y1, c1);
        toColumn(x2, y2, c2);
    }
    // Rounding can leave a moved end a unit outside; the clipped line stays inside.
    x1 = ClampInt(x1, minX, maxX);
    x2 = ClampInt(x2, minX, maxX);
    y1 = ClampInt(y1, minY, maxY);
    y2 = ClampInt(y2, minY, maxY);
    return true;
}

// ---- Scan-line table --------------------------------------------------------------------------

namespace {

inline void AddCrossing(TScanLines& table, int32_t row, int32_t x, int32_t maxX, bool up) {
    uint32_t index = uint32_t(row - table.MinY);
    if (index >= uint32_t(table.RowCount)) return;
    if (table.Counting) {
        ++table.Offsets[index];
        return;
    }
    uint32_t v = uint32_t(ClampInt(x, 0, maxX));
    table.Data[table.Offsets[index] + table.Filled[index]++] = up ? v | CrossingUp : v;
}

void WalkEdge(TScanLines& table, int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t maxX,
              bool up) {
    const int64_t dy = std::abs(int64_t(y2) - y1), dx = std::abs(int64_t(x2) - x1);
    const int64_t sx = x2 > x1 ? 1 : (x2 < x1 ? -1 : 0);
    const int32_t sy = y2 > y1 ? 1 : -1;
    // Each row adds dx to the error and steps x while the error exceeds dy; q whole steps and
    // the remainder r give the same steps without a loop or a division per row.
    const int64_t q = dx / dy, r = dx % dy;
    int64_t e = r >> 1;
    int64_t x = x1;
    int32_t row = y1;
    const int32_t firstRow = table.MinY, lastRow = table.MinY + table.RowCount - 1;
    for (int64_t i = 0; i < dy; ++i, row += sy) {
        if (row >= firstRow && row <= lastRow) AddCrossing(table, row, int32_t(x), maxX, up);
        e += r;
        x += q * sx;
        if (e > dy) {
            x += sx;
            e -= dy;
        } else if (e == 0 && q > 0) {
            x -= sx;  // the last step would have left an error of exactly 0
            e = dy;
        }
    }
}

}  // namespace

void AddContourEdges(TScanLines& table, const std::vector<TPoint>& points, int32_t maxX) {
    size_t n = points.size();
    if (n < 2) return;
    int32_t y0 = points[0].Y;
    int prevDir = 0;
    for (size_t i = n - 1; i > 0; --i) {
        if (points[i].Y != y0) {
            prevDir = y0 > points[i].Y ? 1 : -1;
            break;
        }
    }
    if (prevDir == 0) return;  // every edge horizontal
    for (size_t k = 0; k < n; ++k) {
        const TPoint& a = points[k];
        const TPoint& b = points[(k + 1) % n];
        if (a.Y == b.Y) continue;
        int dir = b.Y > a.Y ? 1 : -1;
        WalkEdge(table, a.X, a.Y, b.X, b.Y, maxX, dir < 0);
        if (dir != prevDir) {
            // A top or bottom vertex: pair the crossing that starts here.
            AddCrossing(table, a.Y, a.X, maxX, dir > 0);
            prevDir = dir;
        }
    }
}

void BuildScanLines(TScanLines& table, const std::vector<std::vector<TPoint>>& contours,
                    int32_t minY, int32_t maxY, int32_t maxX) {
    table.MinY = minY;
    table.RowCount = std::max(0, maxY - minY + 1);
    const size_t rows = size_t(table.RowCount);
    table.Offsets.assign(rows + 1, 0);
    table.Counting = true;
    for (const std::vector<TPoint>& c : contours)
        if (c.size() >= 3) AddContourEdges(table, c, maxX);
    // Counts become starts.
    uint32_t total = 0;
    for (size_t r = 0; r <= rows; ++r) {
        uint32_t n = table.Offsets[r];
        table.Offsets[r] = total;
        total += n;
    }
    table.Data.resize(total);
    table.Filled.assign(rows, 0);
    table.Counting = false;
    for (const std::vector<TPoint>& c : contours)
        if (c.size() >= 3) AddContourEdges(table, c, maxX);
}

namespace {

inline uint32_t XOf(uint32_t c) { return c & ~CrossingUp; }

void SortCrossings(uint32_t* row, uint32_t n) {
    if (n <= 2) {
        if (n == 2 && XOf(row[0]) > XOf(row[1])) std::swap(row[0], row[1]);
        return;
    }
    std::sort(row, row + n, [](uint32_t a, uint32_t b) { return XOf(a) < XOf(b); });
}

// Calls span(a, b) for every filled span of a sorted row: pairs in alternate mode, from where
// the winding count leaves 0 to where it returns in winding mode.
template <typename F>
void ForEachSpan(const uint32_t* row, uint32_t n, TPolyFillMode mode, F&& span) {
    if (mode == pfAlternate) {
        for (uint32_t i = 0; i + 1 < n; i += 2) span(XOf(row[i]), XOf(row[i + 1]));
        return;
    }
    int count = 0;
    uint32_t start = 0;
    for (uint32_t i = 0; i < n; ++i) {
        uint32_t c = row[i];
        if (count == 0) start = XOf(c);
        count += (c & CrossingUp) ? 1 : -1;
        if (count == 0) span(start, XOf(c));
    }
}

void ScaleContour(const TArrayOfFixedPoint& contour, int32_t bias, int shift,
                  std::vector<TPoint>& pts) {
    pts.resize(contour.size());
    for (size_t i = 0; i < contour.size(); ++i)
        pts[i] = {int32_t((int64_t(contour[i].X) + bias) >> shift),
                  int32_t((int64_t(contour[i].Y) + bias) >> shift)};
}

}  // namespace

// ---- Polygon ----------------------------------------------------------------------------------

TPolygon32::TPolygon32() { NewLine(); }

void TPolygon32::AddPoint(const TFixedPoint& p) {
    FPoints.back().push_back(p);
    FNormals.clear();
}

void TPolygon32::NewLine() {
    FPoints.emplace_back();
    FNormals.clear();
}

void TPolygon32::Clear() {
    FPoints.clear();
    FNormals.clear();
    NewLine();
}

void TPolygon32::DrawOutline(TBitmap32* bitmap, TColor32 color) {
    if (!bitmap) return;
    bitmap->BeginUpdate();
    {
        auto cleanup = Finally([&] { bitmap->EndUpdate(); });
        for (const TArrayOfFixedPoint& contour : FPoints) {
            if (contour.size() == 1) {
                if (FClosed) {
                    if (FAntialiased)
                        bitmap->SetPixelFS(contour[0].X, contour[0].Y, color);
                    else
                        bitmap->SetPixelBlendedS(FixedRound(contour[0].X),
                                                 FixedRound(contour[0].Y), color);
                }
                continue;
            }
            if (contour.size() < 2) continue;
            bitmap->SetPenColor(color);
            if (FAntialiased) {
                bitmap->MoveToX(contour[0].X, contour[0].Y);
                for (size_t i = 1; i < contour.size(); ++i)
                    bitmap->LineToXS(contour[i].X, contour[i].Y);
                if (FClosed) bitmap->LineToXS(contour[0].X, contour[0].Y);
            } else {
                bool opaque = (color >> 24) == 255;
                bitmap->MoveTo(FixedRound(contour[0].X), FixedRound(contour[0].Y));
                for (size_t i = 1; i < contour.size(); ++i) {
                    int32_t x = FixedRound(contour[i].X), y = FixedRound(contour[i].Y);
                    if (opaque)
                        bitmap->LineToS(x, y);
                    else
                        bitmap->LineToBlendedS(x, y);
                }
                if (FClosed)
                    bitmap->LineToBlendedS(FixedRound(contour[0].X), FixedRound(contour[0].Y));
            }
        }
    }
    bitmap->NotifyChanged();
}

void TPolygon32::DrawFilled(TBitmap32* bitmap, TColor32 color) {
    if (!bitmap || bitmap->IsEmpty()) return;
    bitmap->BeginUpdate();
    {
        auto cleanup = Finally([&] { bitmap->EndUpdate(); });
        if (FAntialiased)
            FillAA(bitmap, color);
        else
            FillPlain(bitmap, color);
    }
    bitmap->NotifyChanged();
}

void TPolygon32::FillPlain(TBitmap32* bitmap, TColor32 color) {
    const int32_t width = bitmap->Width(), height = bitmap->Height();
    FContours.resize(FPoints.size());
    int32_t minY = INT32_MAX, maxY = INT32_MIN;
    for (size_t i = 0; i < FPoints.size(); ++i) {
        ScaleContour(FPoints[i], 0x7FFF, 16, FContours[i]);
        for (TPoint& p : FContours[i]) {
            minY = std::min(minY, p.Y);
            maxY = std::max(maxY, p.Y);
            p.X = int32_t(uint32_t(p.X) << 8);  // x in 1/256 pixel
        }
    }
    if (minY == INT32_MAX) return;
    minY = ClampInt(minY, 0, height);
    maxY = ClampInt(maxY, 0, height);
    if (maxY <= minY) return;
    // The last row only ever holds empty pairs at bottom vertices, but keeps parity exact.
    BuildScanLines(FTable, FContours, minY, std::min(maxY, height - 1), width * 256 - 1);

    const bool blended = (color >> 24) < 255;
    auto toPixel = [](uint32_t x) { return int32_t(x >> 8) + ((x & 255) >= 128 ? 1 : 0); };
    for (int32_t r = 0; r < FTable.RowCount; ++r) {
        uint32_t n = FTable.RowSize(r);
        if (n == 0) continue;
        uint32_t* row = FTable.Row(r);
        SortCrossings(row, n);
        if (n % 2) Assert(false, "Assertion failure");
        const int32_t y = FTable.MinY + r;
        int32_t lastRight = -1;
        ForEachSpan(row, n, FFillMode, [&](uint32_t a, uint32_t b) {
            if (!(a + 1 < b)) return;
            int32_t left = toPixel(a), right = std::min(toPixel(b - 1), width - 1);
            if (left <= lastRight) left = lastRight + 1;
            if (left > right) return;
            if (blended)
                bitmap->HorzLineBlended(left, y, right, color);
            else
                bitmap->HorzLine(left, y, right, color);
            lastRight = right;
        });
    }
}

void TPolygon32::FillAA(TBitmap32* bitmap, TColor32 color) {
    const int32_t width = bitmap->Width(), height = bitmap->Height();
    FContours.resize(FPoints.size());
    int32_t minY = INT32_MAX, maxY = INT32_MIN;
    for (size_t i = 0; i < FPoints.size(); ++i) {
        FContours[i].clear();
        if (FPoints[i].size() < 3) continue;
        ScaleContour(FPoints[i], 2047, 13, FContours[i]);  // 1/8 pixel
        for (const TPoint& p : FContours[i]) {
            minY = std::min(minY, p.Y);
            maxY = std::max(maxY, p.Y);
        }
    }
    if (minY == INT32_MAX) return;
    minY = ClampInt(minY, 0, height * 8 - 1);
    maxY = ClampInt(maxY, 0, height * 8 - 1);
    if (maxY <= minY) return;
    BuildScanLines(FTable, FContours, minY, maxY, width * 8 - 1);
    for (int32_t r = 0; r < FTable.RowCount; ++r) {
        SortCrossings(FTable.Row(r), FTable.RowSize(r));
        if (FTable.RowSize(r) % 2) Assert(false, "Assertion failure");
    }

    const uint32_t rgb = color & 0x00FFFFFF, master = color >> 24;
    const int32_t firstPixelRow = minY / 8, lastPixelRow = maxY / 8;
    for (int32_t py = firstPixelRow; py <= lastPixelRow; ++py) {
        int32_t s0 = std::max(py * 8, minY) - minY, s1 = std::min(py * 8 + 7, maxY) - minY;
        uint32_t lo = UINT32_MAX, hi = 0;
        for (int32_t s = s0; s <= s1; ++s) {
            uint32_t n = FTable.RowSize(s);
            if (n == 0) continue;
            const uint32_t* row = FTable.Row(s);
            lo = std::min(lo, XOf(row[0]));
            hi = std::max(hi, XOf(row[n - 1]) + 7);
        }
        if (lo > hi) continue;
        const int32_t x0 = int32_t(lo / 8), x1 = int32_t(hi / 8);
        const size_t needed = size_t(x1 - x0 + 1) + 2;
        if (FCoverage.size() < needed) FCoverage.resize(needed + 64);
        // The coverage array is all zero between rows: only the entries a span touches are
        // set, listed, and cleared again when the row is blended.
        int32_t* cov = FCoverage.data() - x0;
        FEvents.clear();
        for (int32_t s = s0; s <= s1; ++s) {
            ForEachSpan(FTable.Row(s), FTable.RowSize(s), FFillMode, [&](uint32_t a, uint32_t b) {
                int32_t ai = int32_t(a >> 3), af = int32_t(a & 7);
                int32_t bi = int32_t(b >> 3), bf = int32_t(b & 7);
                cov[ai] += 7 - af;
                cov[ai + 1] += af;
                cov[bi] += bf - 7;
                cov[bi + 1] -= bf;
                FEvents.insert(FEvents.end(), {ai, ai + 1, bi, bi + 1});
            });
        }
        std::sort(FEvents.begin(), FEvents.end());
        FEvents.erase(std::unique(FEvents.begin(), FEvents.end()), FEvents.end());
        // Between two listed entries the running sum, and so the coverage, is constant.
        const int32_t end = std::min(x1, width - 1) + 1;
        TColor32* dst = bitmap->PixelPtr(0, py);
        int32_t sum = 0;
        for (size_t k = 0; k < FEvents.size(); ++k) {
            const int32_t i = FEvents[k];
            sum += cov[i];
            cov[i] = 0;
            const int32_t j = k + 1 < FEvents.size() ? std::min(FEvents[k + 1], end) : end;
            if (i >= j) continue;
            uint32_t alpha = uint32_t(sum * 1167) >> 8;
            uint32_t w = ((master + 1) * alpha) >> 8;
            if (w != 0) BlendConstantRow(rgb | (alpha << 24), dst + i, j - i, w);
        }
    }
    EndMmxBlending();
}

}  // namespace epc
