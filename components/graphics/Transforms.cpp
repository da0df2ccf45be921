#include "components/graphics/Transforms.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "components/graphics/Blend.h"
#include "platform/core/Arithmetic.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace epc {

// ---- Kernels ----------------------------------------------------------------------------------

namespace {

double Sinc(double x) {
    if (x == 0) return 1;
    double px = std::numbers::pi * x;
    return std::sin(px) / px;
}

}  // namespace

double FilterKernel(TStretchFilter filter, double x) {
    double ax = std::fabs(x);
    switch (filter) {
    case sfNearest:
        return (x >= -0.5 && x < 0.5) ? 1.0 : 0.0;
    case sfLinear:
        return ax < 1 ? 1 - ax : 0.0;
    case sfSpline:
        if (ax < 1) return 0.5 * ax * ax * ax - x * x + 2.0 / 3.0;
        if (ax < 2) return (2 - ax) * (2 - ax) * (2 - ax) / 6.0;
        return 0.0;
    case sfLanczos:
        return ax < 3 ? Sinc(x) * Sinc(x / 3) : 0.0;
    case sfMitchell:
        if (ax < 1) return (7 * ax * ax * ax - 12 * x * x + 16.0 / 3.0) / 6.0;
        if (ax < 2) return (-7.0 / 3.0 * ax * ax * ax + 12 * x * x - 20 * ax + 32.0 / 3.0) / 6.0;
        return 0.0;
    }
    return 0.0;
}

double FilterRadius(TStretchFilter filter) {
    switch (filter) {
    case sfSpline:
    case sfMitchell:
        return 2.0;
    case sfLanczos:
        return 3.0;
    default:
        return 1.0;
    }
}

TMappingTable BuildMappingTable(int32_t dstStart, int32_t dstSize, int32_t dstLo, int32_t dstHi,
                                int32_t srcStart, int32_t srcSize, TStretchFilter filter) {
    TMappingTable table;
    if (dstSize <= 0 || srcSize <= 0 || dstHi <= dstLo) return table;
    table.resize(size_t(dstHi - dstLo));
    const double ratio = double(srcSize) / dstSize;
    const double scale = double(dstSize) / srcSize;
    const bool reducing = scale < 1;
    const double radius = reducing ? FilterRadius(filter) / scale : FilterRadius(filter);
    const int32_t srcLast = srcStart + srcSize - 1;
    for (int32_t d = dstLo; d < dstHi; ++d) {
        std::vector<TPointRec>& list = table[size_t(d - dstLo)];
        const double c = (d - dstStart + 0.5) * ratio + srcStart - 0.5;
        const int32_t j0 = int32_t(std::floor(c - radius)), j1 = int32_t(std::ceil(c + radius));
        for (int32_t j = j0; j <= j1; ++j) {
            int32_t w = reducing ? Round(FilterKernel(filter, (c - j) * scale) * 256 * scale)
                                 : Round(FilterKernel(filter, c - j) * 256);
            if (w != 0) list.push_back({ClampInt(j, srcStart, srcLast), w});
        }
        if (list.empty()) {
            list.push_back({ClampInt(int32_t(std::floor(c)), srcStart, srcLast), 256});
            continue;
        }
        int32_t sum = 0;
        for (const TPointRec& p : list) sum += p.Weight;
        list[list.size() / 2].Weight -= sum - 256;
    }
    return table;
}

// ---- Checks -----------------------------------------------------------------------------------

void CheckBitmaps(TBitmap32* dst, TBitmap32* src) {
    if (!dst || dst->IsEmpty()) throw ETransformError("Destination bitmap is nil or empty");
    if (!src || src->IsEmpty()) throw ETransformError("Source bitmap is nil or empty");
}

bool CheckSrcRect(TBitmap32* src, const TRect& srcRect) {
    if (IsIntRectEmpty(srcRect)) return false;
    if (srcRect.Left < 0 || srcRect.Top < 0 || srcRect.Right > src->Width() ||
        srcRect.Bottom > src->Height())
        throw ETransformError("Source rectangle is invalid");
    return true;
}

// ---- Combining --------------------------------------------------------------------------------

namespace {

// Combines count source pixels into the destination row by the draw mode.
void CombineRow(const TColor32* s, TColor32* d, int32_t count, TDrawMode mode, uint32_t master,
                const TPixelCombineEvent& combine) {
    switch (mode) {
    case dmOpaque:
        MoveLongwords(s, d, count);
        break;
    case dmBlend:
        if (master < 255)
            AlphaOverRowMaster(s, d, count, master);
        else
            AlphaOverRow(s, d, count);
        break;
    case dmCustom:
        for (int32_t i = 0; i < count; ++i) combine(s[i], d[i], master);
        break;
    }
}

// Stretched pixels (from the bilinear and general resamplers) are put one by one.
inline void CombinePixel(TColor32 c, TColor32& d, TDrawMode mode, uint32_t master,
                         const TPixelCombineEvent& combine) {
    switch (mode) {
    case dmOpaque:
        d = c;
        break;
    case dmBlend:
        AlphaOverMasterInPlace(c, d, master);
        break;
    case dmCustom:
        combine(c, d, master);
        break;
    }
}

void BlendBlock(TBitmap32* dst, const TRect& dstRect, TBitmap32* src, int32_t srcX,
                int32_t srcY, TDrawMode mode, const TPixelCombineEvent& combine) {
    const int32_t w = dstRect.Width();
    const uint32_t master = src->MasterAlpha();
    for (int32_t y = dstRect.Top; y < dstRect.Bottom; ++y)
        CombineRow(src->PixelPtr(srcX, srcY + y - dstRect.Top), dst->PixelPtr(dstRect.Left, y),
                   w, mode, master, combine);
}

// The common start of both transfers; false when nothing is to be drawn.
bool PrepareTransfer(TBitmap32* dst, TBitmap32* src, TDrawMode& mode,
                     const TPixelCombineEvent& combine) {
    if (!src || src->IsEmpty()) return false;
    CheckBitmaps(dst, src);
    if (mode == dmCustom && !combine) mode = dmOpaque;
    if (mode == dmBlend && src->MasterAlpha() == 0) return false;
    return true;
}

void StretchNearest(TBitmap32* dst, const TRect& dstRect, const TRect& clip, TBitmap32* src,
                    const TRect& srcRect, TDrawMode mode, const TPixelCombineEvent& combine) {
    const int32_t srcW = srcRect.Width(), srcH = srcRect.Height();
    const int32_t dstW = dstRect.Width(), dstH = dstRect.Height();
    std::vector<int32_t> columns(size_t(clip.Width()));
    for (int32_t x = clip.Left; x < clip.Right; ++x) {
        int32_t sx = (srcW == 1 || dstW < 2)
                         ? (srcRect.Left + srcRect.Right - 1) / 2
                         : int32_t(int64_t(x - dstRect.Left) * srcW / dstW) + srcRect.Left;
        Assert(sx >= srcRect.Left && sx < srcRect.Right, "Assertion failure");
        columns[size_t(x - clip.Left)] = sx;
    }
    std::vector<TColor32> row(size_t(clip.Width()));
    int32_t builtRow = -1;
    const uint32_t master = src->MasterAlpha();
    for (int32_t y = clip.Top; y < clip.Bottom; ++y) {
        int32_t sy = (srcH == 1 || dstH < 2)
                         ? (srcRect.Top + srcRect.Bottom - 1) / 2
                         : int32_t(int64_t(y - dstRect.Top) * srcH / dstH) + srcRect.Top;
        Assert(sy >= srcRect.Top && sy < srcRect.Bottom, "Assertion failure");
        if (sy != builtRow) {
            const TColor32* s = src->ScanLine(sy);
            for (size_t i = 0; i < columns.size(); ++i) row[i] = s[columns[i]];
            builtRow = sy;
        }
        CombineRow(row.data(), dst->PixelPtr(clip.Left, y), clip.Width(), mode, master,
                   combine);
    }
}

// Position, neighbour and weight of one destination pixel of the bilinear stretch.
struct TLinearMap {
    int32_t P0, P1;
    uint32_t W;
};

std::vector<TLinearMap> LinearAxis(int32_t dstStart, int32_t dstSize, int32_t lo, int32_t hi,
                                   int32_t srcStart, int32_t srcSize) {
    std::vector<TLinearMap> map(size_t(hi - lo));
    const double ratio = double(srcSize) / dstSize;
    const int32_t srcLast = srcStart + srcSize - 1;
    for (int32_t d = lo; d < hi; ++d) {
        double c = (d - dstStart + 0.5) * ratio + srcStart - 0.5;
        double f = std::floor(c);
        int32_t p = int32_t(f);
        uint32_t w = uint32_t((c - f) * 256);
        // Neighbours outside the source take the nearest edge pixel.
        map[size_t(d - lo)] = {ClampInt(p, srcStart, srcLast), ClampInt(p + 1, srcStart, srcLast),
                               std::min(w, 255u)};
    }
    return map;
}

inline TColor32 Lerp(TColor32 a, TColor32 b, uint32_t w) {
    const uint32_t iw = 256 - w;
    uint32_t rb = (((a & 0x00FF00FF) * iw + (b & 0x00FF00FF) * w) >> 8) & 0x00FF00FF;
    uint32_t ag = (((a >> 8) & 0x00FF00FF) * iw + ((b >> 8) & 0x00FF00FF) * w) & 0xFF00FF00;
    return rb | ag;
}

// out = (a * (256 - w) + b * w) >> 8 per channel, for whole rows.
void LerpRows(const TColor32* a, const TColor32* b, TColor32* out, size_t n, uint32_t w) {
    size_t i = 0;
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    const __m128i wb = _mm_set1_epi16(short(w)), wa = _mm_set1_epi16(short(256 - w));
    for (; i + 4 <= n; i += 4) {
        __m128i va = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + i));
        __m128i vb = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + i));
        // Both products together stay below 65536 in every 16-bit lane.
        __m128i lo = _mm_add_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(va, zero), wa),
                                   _mm_mullo_epi16(_mm_unpacklo_epi8(vb, zero), wb));
        __m128i hi = _mm_add_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(va, zero), wa),
                                   _mm_mullo_epi16(_mm_unpackhi_epi8(vb, zero), wb));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i),
                         _mm_packus_epi16(_mm_srli_epi16(lo, 8), _mm_srli_epi16(hi, 8)));
    }
#endif
    for (; i < n; ++i) out[i] = Lerp(a[i], b[i], w);
}

void StretchBilinear(TBitmap32* dst, const TRect& dstRect, const TRect& clip, TBitmap32* src,
                     const TRect& srcRect, TDrawMode mode, const TPixelCombineEvent& combine) {
    const auto cols = LinearAxis(dstRect.Left, dstRect.Width(), clip.Left, clip.Right,
                                 srcRect.Left, srcRect.Width());
    const auto rows = LinearAxis(dstRect.Top, dstRect.Height(), clip.Top, clip.Bottom,
                                 srcRect.Top, srcRect.Height());
    const size_t w = cols.size();
    // Horizontally interpolated source rows, kept while consecutive rows share them.
    std::vector<TColor32> bufA(w), bufB(w), out(w);
    int32_t rowA = -1, rowB = -1;
    auto build = [&](int32_t sy, std::vector<TColor32>& buf) {
        const TColor32* s = src->ScanLine(sy);
        for (size_t i = 0; i < w; ++i) buf[i] = Lerp(s[cols[i].P0], s[cols[i].P1], cols[i].W);
    };
    const uint32_t master = src->MasterAlpha();
    for (size_t r = 0; r < rows.size(); ++r) {
        const TLinearMap& m = rows[r];
        if (rowA != m.P0) {
            if (rowB == m.P0) {
                std::swap(bufA, bufB);
                std::swap(rowA, rowB);
            } else {
                build(m.P0, bufA);
                rowA = m.P0;
            }
        }
        if (rowB != m.P1) {
            if (m.P1 == rowA) {
                bufB = bufA;
            } else {
                build(m.P1, bufB);
            }
            rowB = m.P1;
        }
        TColor32* d = dst->PixelPtr(clip.Left, clip.Top + int32_t(r));
        if (mode == dmOpaque) {
            LerpRows(bufA.data(), bufB.data(), d, w, m.W);
        } else {
            LerpRows(bufA.data(), bufB.data(), out.data(), w, m.W);
            if (mode == dmBlend)
                AlphaOverRowMaster(out.data(), d, int32_t(w), master);
            else
                for (size_t i = 0; i < w; ++i) CombinePixel(out[i], d[i], mode, master, combine);
        }
    }
}

// acc[i] += s[i] * w for n bytes of pixels: the vertical pass of the resampler.
void AccumulatePlain(int32_t* acc, const uint8_t* s, size_t n, int32_t w) {
    for (size_t i = 0; i < n; ++i) acc[i] += s[i] * w;
}

#if defined(__x86_64__)
__attribute__((target("avx2"))) void AccumulateWide(int32_t* acc, const uint8_t* s, size_t n,
                                                     int32_t w) {
    const __m256i wv = _mm256_set1_epi32(w);
    size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        __m128i bytes = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(s + i));
        __m256i v = _mm256_mullo_epi32(_mm256_cvtepu8_epi32(bytes), wv);
        __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(acc + i));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(acc + i), _mm256_add_epi32(a, v));
    }
    for (; i < n; ++i) acc[i] += s[i] * w;
}
#endif

// The horizontal pass: each destination pixel sums its columns of the accumulated row (four
// sums per column, in 1/256), giving sums in 1/65536 that are clamped to 0..0xFF0000.
void ResolvePlain(const int32_t* acc, int32_t lo, const TMappingTable& cols, TColor32* out) {
    auto channel = [](int32_t sum) { return uint32_t(ClampInt(sum, 0, 0xFF0000)) >> 16; };
    for (size_t x = 0; x < cols.size(); ++x) {
        int32_t b = 0, g = 0, r = 0, a = 0;
        for (const TPointRec& cp : cols[x]) {
            const int32_t* p = acc + size_t(cp.Pos - lo) * 4;
            b += p[0] * cp.Weight;
            g += p[1] * cp.Weight;
            r += p[2] * cp.Weight;
            a += p[3] * cp.Weight;
        }
        out[x] = (channel(a) << 24) | (channel(r) << 16) | (channel(g) << 8) | channel(b);
    }
}

#if defined(__x86_64__)
__attribute__((target("avx2"))) void ResolveWide(const int32_t* acc, int32_t lo,
                                                  const TMappingTable& cols, TColor32* out) {
    const __m128i zero = _mm_setzero_si128(), top = _mm_set1_epi32(0xFF0000);
    for (size_t x = 0; x < cols.size(); ++x) {
        __m128i sum = zero;
        for (const TPointRec& cp : cols[x]) {
            __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i*>(acc + size_t(cp.Pos - lo) * 4));
            sum = _mm_add_epi32(sum, _mm_mullo_epi32(p, _mm_set1_epi32(cp.Weight)));
        }
        sum = _mm_srli_epi32(_mm_min_epi32(_mm_max_epi32(sum, zero), top), 16);
        sum = _mm_packus_epi32(sum, sum);
        out[x] = uint32_t(_mm_cvtsi128_si32(_mm_packus_epi16(sum, sum)));
    }
}
#endif

void Accumulate(int32_t* acc, const uint8_t* s, size_t n, int32_t w) {
#if defined(__x86_64__)
    if (WideBlending()) return AccumulateWide(acc, s, n, w);
#endif
    AccumulatePlain(acc, s, n, w);
}

void Resolve(const int32_t* acc, int32_t lo, const TMappingTable& cols, TColor32* out) {
#if defined(__x86_64__)
    if (WideBlending()) return ResolveWide(acc, lo, cols, out);
#endif
    ResolvePlain(acc, lo, cols, out);
}

void StretchResample(TBitmap32* dst, const TRect& dstRect, const TRect& clip, TBitmap32* src,
                     const TRect& srcRect, TStretchFilter filter, TDrawMode mode,
                     const TPixelCombineEvent& combine) {
    const TMappingTable cols = BuildMappingTable(dstRect.Left, dstRect.Width(), clip.Left,
                                                 clip.Right, srcRect.Left, srcRect.Width(),
                                                 filter);
    const TMappingTable rows = BuildMappingTable(dstRect.Top, dstRect.Height(), clip.Top,
                                                 clip.Bottom, srcRect.Top, srcRect.Height(),
                                                 filter);
    int32_t lo = INT32_MAX, hi = INT32_MIN;
    for (const auto& list : cols)
        for (const TPointRec& p : list) {
            lo = std::min(lo, p.Pos);
            hi = std::max(hi, p.Pos);
        }
    if (lo > hi) return;
    const size_t span = size_t(hi - lo + 1);
    // Four sums per source column, in 1/256: blue, green, red, alpha.
    std::vector<int32_t> acc(span * 4);
    std::vector<TColor32> out(cols.size());
    const uint32_t master = src->MasterAlpha();
    for (size_t r = 0; r < rows.size(); ++r) {
        std::fill(acc.begin(), acc.end(), 0);
        for (const TPointRec& rp : rows[r]) {
            Accumulate(acc.data(), reinterpret_cast<const uint8_t*>(src->PixelPtr(lo, rp.Pos)),
                       span * 4, rp.Weight);
        }
        TColor32* d = dst->PixelPtr(clip.Left, clip.Top + int32_t(r));
        if (mode == dmOpaque) {
            Resolve(acc.data(), lo, cols, d);
        } else {
            Resolve(acc.data(), lo, cols, out.data());
            for (size_t x = 0; x < cols.size(); ++x)
                CombinePixel(out[x], d[x], mode, master, combine);
        }
    }
}

}  // namespace

// ---- Transfers --------------------------------------------------------------------------------

void BlockTransfer(TBitmap32* dst, int32_t dstX, int32_t dstY, const TRect& dstClip,
                   TBitmap32* src, const TRect& srcRect, TDrawMode drawMode,
                   const TPixelCombineEvent& combine) {
    if (!PrepareTransfer(dst, src, drawMode, combine)) return;
    // The pixel at the source rectangle's top-left lands on (dstX, dstY). The offset may not
    // fit in 32 bits near the limits; the rectangles it moves lie inside the bitmaps, so the
    // moved source is intersected with the clip in 64 bits and what is left fits again.
    const int64_t dx = int64_t(dstX) - srcRect.Left, dy = int64_t(dstY) - srcRect.Top;
    TRect s, clip;
    IntersectIntRect(s, srcRect, src->BoundsRect());
    IntersectIntRect(clip, dstClip, dst->BoundsRect());
    const int64_t left = std::max<int64_t>(s.Left + dx, clip.Left);
    const int64_t top = std::max<int64_t>(s.Top + dy, clip.Top);
    const int64_t right = std::min<int64_t>(s.Right + dx, clip.Right);
    const int64_t bottom = std::min<int64_t>(s.Bottom + dy, clip.Bottom);
    if (right <= left || bottom <= top) return;
    const TRect d{int32_t(left), int32_t(top), int32_t(right), int32_t(bottom)};
    BlendBlock(dst, d, src, int32_t(left - dx), int32_t(top - dy), drawMode, combine);
    EndMmxBlending();
}

void StretchTransfer(TBitmap32* dst, const TRect& dstRect, const TRect& dstClip, TBitmap32* src,
                     const TRect& srcRect, TStretchFilter filter, TDrawMode drawMode,
                     const TPixelCombineEvent& combine) {
    if (!PrepareTransfer(dst, src, drawMode, combine)) return;
    if (!CheckSrcRect(src, srcRect)) return;
    if (IsIntRectEmpty(dstRect)) return;
    TRect clip;
    IntersectIntRect(clip, dstClip, dst->BoundsRect());
    IntersectIntRect(clip, clip, dstRect);
    if (IsIntRectEmpty(clip)) return;

    if (dstRect.Width() == srcRect.Width() && dstRect.Height() == srcRect.Height()) {
        BlendBlock(dst, clip, src, srcRect.Left + clip.Left - dstRect.Left,
                   srcRect.Top + clip.Top - dstRect.Top, drawMode, combine);
    } else if (filter == sfNearest) {
        StretchNearest(dst, dstRect, clip, src, srcRect, drawMode, combine);
    } else if (filter == sfLinear && dstRect.Width() > srcRect.Width() &&
               dstRect.Height() > srcRect.Height()) {
        StretchBilinear(dst, dstRect, clip, src, srcRect, drawMode, combine);
    } else {
        StretchResample(dst, dstRect, clip, src, srcRect, filter, drawMode, combine);
    }
    EndMmxBlending();
}

}  // namespace epc
