#include "components/graphics/Polygons.h"

#include <algorithm>

#include "components/graphics/Blend.h"

namespace epc {

// ---- Line clipping ----------------------------------------------------------------------------

bool ClipLine(int32_t& x1, int32_t& y1, int32_t& x2, int32_t& y2, int32_t minX, int32_t minY,
              int32_t maxX, int32_t maxY) {
    auto code = [&](int32_t x, int32_t y) {
        return (x < minX ? 1 : 0) | (x > maxX ? 2 : 0) | (y < minY ? 4 : 0) | (y > maxY ? 8 : 0);
    };
    auto hcode = [&](int32_t x) { return (x < minX ? 1 : 0) | (x > maxX ? 2 : 0); };
    int c1 = code(x1, y1), c2 = code(x2, y2);
    if (c1 & c2) return false;
    if ((c1 | c2) == 0) return true;

    auto toRow = [&](int32_t& x, int32_t& y, int& c) {
        if (!(c & 12)) return;
        int32_t target = (c & 4) ? minY : maxY;
        x += MulDivRound(target - y, x2 - x1, y2 - y1);
        y = target;
        c = hcode(x);
    };
    toRow(x1, y1, c1);
    toRow(x2, y2, c2);
    if (c1 & c2) return false;
    if ((c1 | c2) == 0) return true;

    auto toColumn = [&](int32_t& x, int32_t& y, int c) {
        if (!(c & 3)) return;
        int32_t target = (c & 1) ? minX : maxX;
        y += MulDivRound(target - x, y2 - y1, x2 - x1);
        x = target;
    };
    toColumn(x1, y1, c1);
    toColumn(x2, y2, c2);
    return true;
}

// ---- Scan-line table --------------------------------------------------------------------------

namespace {

inline void AddCrossing(TScanLines& table, int32_t row, int32_t x, int32_t maxX, bool up) {
    int32_t index = row - table.MinY;
    if (index < 0 || index >= int32_t(table.Rows.size())) return;
    uint32_t v = uint32_t(ClampInt(x, 0, maxX));
    table.Rows[size_t(index)].push_back(up ? v | CrossingUp : v);
}

void WalkEdge(TScanLines& table, int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t maxX,
              bool up) {
    int32_t dy = std::abs(y2 - y1), dx = std::abs(x2 - x1);
    int32_t sx = x2 > x1 ? 1 : (x2 < x1 ? -1 : 0);
    int32_t sy = y2 > y1 ? 1 : -1;
    // Rows of the table that the edge can reach; the rest of the walk only moves x.
    int32_t firstRow = table.MinY, lastRow = table.MinY + int32_t(table.Rows.size()) - 1;
    int64_t e = (dx % dy) >> 1;
    int64_t x = x1;
    int32_t row = y1;
    for (int32_t i = 0; i < dy; ++i, row += sy) {
        if (row >= firstRow && row <= lastRow) AddCrossing(table, row, int32_t(x), maxX, up);
        e += dx;
        if (e > dy) {
            int64_t steps = (e - 1) / dy;
            x += sx * steps;
            e -= steps * dy;
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

namespace {

inline uint32_t XOf(uint32_t c) { return c & ~CrossingUp; }

void SortCrossings(std::vector<uint32_t>& row) {
    if (row.size() <= 2) {
        if (row.size() == 2 && XOf(row[0]) > XOf(row[1])) std::swap(row[0], row[1]);
        return;
    }
    std::sort(row.begin(), row.end(),
              [](uint32_t a, uint32_t b) { return XOf(a) < XOf(b); });
}

// Calls span(a, b) for every filled span of a sorted row: pairs in alternate mode, from where
// the winding count leaves 0 to where it returns in winding mode.
template <typename F>
void ForEachSpan(const std::vector<uint32_t>& row, TPolyFillMode mode, F&& span) {
    if (mode == pfAlternate) {
        for (size_t i = 0; i + 1 < row.size(); i += 2) span(XOf(row[i]), XOf(row[i + 1]));
        return;
    }
    int count = 0;
    uint32_t start = 0;
    for (uint32_t c : row) {
        if (count == 0) start = XOf(c);
        count += (c & CrossingUp) ? 1 : -1;
        if (count == 0) span(start, XOf(c));
    }
}

std::vector<TPoint> ScaledContour(const TArrayOfFixedPoint& contour, int32_t bias, int shift) {
    std::vector<TPoint> pts(contour.size());
    for (size_t i = 0; i < contour.size(); ++i)
        pts[i] = {int32_t((int64_t(contour[i].X) + bias) >> shift),
                  int32_t((int64_t(contour[i].Y) + bias) >> shift)};
    return pts;
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
    try {
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
    } catch (...) {
        bitmap->EndUpdate();
        throw;
    }
    bitmap->EndUpdate();
    bitmap->NotifyChanged();
}

void TPolygon32::DrawFilled(TBitmap32* bitmap, TColor32 color) {
    if (!bitmap || bitmap->IsEmpty()) return;
    bitmap->BeginUpdate();
    try {
        if (FAntialiased)
            FillAA(bitmap, color);
        else
            FillPlain(bitmap, color);
    } catch (...) {
        EndMmxBlending();
        bitmap->EndUpdate();
        throw;
    }
    bitmap->EndUpdate();
    bitmap->NotifyChanged();
}

void TPolygon32::FillPlain(TBitmap32* bitmap, TColor32 color) {
    const int32_t width = bitmap->Width(), height = bitmap->Height();
    std::vector<std::vector<TPoint>> contours;
    int32_t minY = INT32_MAX, maxY = INT32_MIN;
    for (const TArrayOfFixedPoint& c : FPoints) {
        contours.push_back(ScaledContour(c, 0x7FFF, 16));
        for (const TPoint& p : contours.back()) {
            minY = std::min(minY, p.Y);
            maxY = std::max(maxY, p.Y);
        }
    }
    if (minY == INT32_MAX) return;
    minY = ClampInt(minY, 0, height);
    maxY = ClampInt(maxY, 0, height);
    if (maxY <= minY) return;

    TScanLines table;
    table.MinY = minY;
    // The last row only ever holds empty pairs at bottom vertices, but keep parity exact.
    table.Rows.resize(size_t(std::min(maxY, height - 1) - minY + 1));
    const int32_t maxX = width * 256 - 1;
    for (std::vector<TPoint>& c : contours) {
        if (c.size() < 3) continue;
        for (TPoint& p : c) p.X = int32_t(uint32_t(p.X) << 8);
        AddContourEdges(table, c, maxX);
    }

    const bool blended = (color >> 24) < 255;
    auto toPixel = [](uint32_t x) { return int32_t(x >> 8) + ((x & 255) >= 128 ? 1 : 0); };
    for (size_t r = 0; r < table.Rows.size(); ++r) {
        std::vector<uint32_t>& row = table.Rows[r];
        if (row.empty()) continue;
        SortCrossings(row);
        Assert(row.size() % 2 == 0, "Assertion failure");
        const int32_t y = table.MinY + int32_t(r);
        int32_t lastRight = -1;
        ForEachSpan(row, FFillMode, [&](uint32_t a, uint32_t b) {
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
    std::vector<std::vector<TPoint>> contours;
    int32_t minY = INT32_MAX, maxY = INT32_MIN;
    for (const TArrayOfFixedPoint& c : FPoints) {
        if (c.size() < 3) continue;
        contours.push_back(ScaledContour(c, 2047, 13));
        for (const TPoint& p : contours.back()) {
            minY = std::min(minY, p.Y);
            maxY = std::max(maxY, p.Y);
        }
    }
    if (contours.empty()) return;
    minY = ClampInt(minY, 0, height * 8 - 1);
    maxY = ClampInt(maxY, 0, height * 8 - 1);
    if (maxY <= minY) return;

    TScanLines table;
    table.MinY = minY;
    table.Rows.resize(size_t(maxY - minY + 1));
    const int32_t maxX = width * 8 - 1;
    for (const std::vector<TPoint>& c : contours) AddContourEdges(table, c, maxX);
    for (std::vector<uint32_t>& row : table.Rows) {
        SortCrossings(row);
        Assert(row.size() % 2 == 0, "Assertion failure");
    }

    const uint32_t rgb = color & 0x00FFFFFF, master = color >> 24;
    const int32_t firstPixelRow = minY / 8, lastPixelRow = maxY / 8;
    for (int32_t py = firstPixelRow; py <= lastPixelRow; ++py) {
        int32_t s0 = std::max(py * 8, minY) - minY, s1 = std::min(py * 8 + 7, maxY) - minY;
        uint32_t lo = UINT32_MAX, hi = 0;
        for (int32_t s = s0; s <= s1; ++s) {
            const std::vector<uint32_t>& row = table.Rows[size_t(s)];
            if (row.empty()) continue;
            lo = std::min(lo, XOf(row.front()));
            hi = std::max(hi, XOf(row.back()) + 7);
        }
        if (lo > hi) continue;
        const int32_t x0 = int32_t(lo / 8), x1 = int32_t(hi / 8);
        const size_t needed = size_t(x1 - x0 + 1) + 2;
        if (FCoverage.size() < needed) FCoverage.resize(needed + 64);
        std::fill(FCoverage.begin(), FCoverage.begin() + ptrdiff_t(needed), 0);
        int32_t* cov = FCoverage.data() - x0;
        for (int32_t s = s0; s <= s1; ++s) {
            ForEachSpan(table.Rows[size_t(s)], FFillMode, [&](uint32_t a, uint32_t b) {
                int32_t ai = int32_t(a >> 3), af = int32_t(a & 7);
                int32_t bi = int32_t(b >> 3), bf = int32_t(b & 7);
                cov[ai] += 7 - af;
                cov[ai + 1] += af;
                cov[bi] += bf - 7;
                cov[bi + 1] -= bf;
            });
        }
        int32_t count = std::min(x1, width - 1) - x0 + 1;
        if (count <= 0) continue;
        if (FRow.size() < size_t(count)) FRow.resize(size_t(count));
        int32_t sum = 0;
        const int32_t* c = FCoverage.data();
        for (int32_t i = 0; i < count; ++i) {
            sum += c[i];
            FRow[size_t(i)] = rgb | (uint32_t((sum * 1167) >> 8) << 24);
        }
        AlphaOverRowMaster(FRow.data(), bitmap->PixelPtr(x0, py), count, master);
    }
    EndMmxBlending();
}

}  // namespace epc
