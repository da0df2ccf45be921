// Block transfers: pattern fills, copies with raster operations, stretching (nearest or a box
// filter in HALFTONE mode), device-independent bitmaps, transparent and alpha-blended copies.

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/gdi/GdiInternal.h"

namespace epc {

namespace {

// A ternary raster operation on whole pixels: bit (P*4 + S*2 + D) of the code is the result.
inline uint32_t Rop3(uint8_t code, uint32_t p, uint32_t s, uint32_t d) {
    switch (code) {
    case 0xCC:
        return s;
    case 0xF0:
        return p;
    case 0x00:
        return 0;
    case 0xFF:
        return 0xFFFFFFFFu;
    case 0x55:
        return ~d;
    case 0x88:
        return s & d;
    case 0xEE:
        return s | d;
    case 0x66:
        return s ^ d;
    case 0x33:
        return ~s;
    case 0x5A:
        return p ^ d;
    case 0xC0:
        return p & s;
    case 0x44:
        return s & ~d;
    case 0x11:
        return ~(s | d);
    case 0xBB:
        return ~s | d;
    default:
        break;
    }
    uint32_t r = 0;
    for (int i = 0; i < 8; ++i) {
        if (!(code & (1 << i))) continue;
        r |= ((i & 4) ? p : ~p) & ((i & 2) ? s : ~s) & ((i & 1) ? d : ~d);
    }
    return r;
}

bool UsesPattern(uint8_t code) {
    return ((code >> 4) & 0xF) != (code & 0xF);
}
bool UsesSource(uint8_t code) {
    return ((code >> 2) & 0x33) != (code & 0x33);
}

// Alpha of a blit's result: copies keep the source's, inversions keep the destination's,
// everything else is opaque.
enum TAlphaRule { arOpaque, arSource, arDest };
TAlphaRule AlphaRule(uint8_t code) {
    if (code == 0xCC) return arSource;
    if (code == 0x55 || code == 0x5A || code == 0x66) return arDest;
    return arOpaque;
}

inline uint32_t FixAlpha(TAlphaRule rule, uint32_t r, uint32_t s, uint32_t d) {
    switch (rule) {
    case arSource:
        return (r & 0x00FFFFFFu) | (s & 0xFF000000u);
    case arDest:
        return (r & 0x00FFFFFFu) | (d & 0xFF000000u);
    default:
        return r | 0xFF000000u;
    }
}

TSourceView ViewOf(HDC src) {
    TSourceView v;
    if (!src || !src->S.Bitmap) return v;
    TGdiBitmap* b = src->S.Bitmap;
    v.Bits = b->PixelsForRead();
    v.Width = b->Width;
    v.Height = b->Height;
    v.Stride = b->PixelStride();
    v.Mono = b->Bpp == 1;
    v.BkColor = ResolveColor(src->S.BkColor);
    return v;
}

// Turns source pixels into what the destination expects: monochrome sources take the
// destination's text (0) and background (1) colours; colour sources drawn on monochrome
// become white where they match the source's background colour.
struct TConvert {
    int Mode = 0; // 0 none, 1 mono to colour, 2 colour to mono
    uint32_t Fore = 0, Back = 0, Key = 0;
    uint32_t operator()(uint32_t s) const {
        if (Mode == 1) return (s & 0xFFFFFF) ? Back : Fore;
        if (Mode == 2) return (s & 0xFFFFFF) == Key ? 0xFFFFFFFFu : 0xFF000000u;
        return s;
    }
};

TConvert ConvertFor(HDC dst, const TSourceView& src) {
    TConvert c;
    bool dstMono = dst->S.Bitmap && dst->S.Bitmap->Bpp == 1;
    if (src.Mono && !dstMono) {
        c.Mode = 1;
        c.Fore = ToPixel(ResolveColor(dst->S.TextColor));
        c.Back = ToPixel(ResolveColor(dst->S.BkColor));
    } else if (!src.Mono && dstMono) {
        c.Mode = 2;
        c.Key = ToPixel(src.BkColor) & 0xFFFFFF;
    }
    return c;
}

constexpr int kWeightOne = 4096;

// Per-column (or per-row) source taps of a box filter.
struct TTaps {
    std::vector<int> Start;  // first tap of each destination pixel
    std::vector<int> Index;  // source coordinate of each tap
    std::vector<int> Weight; // weights in 1/kWeightOne, summing to it per destination pixel
};

// Taps of destination pixels [from, to) of dstLen, indexed from `from`.
void BoxTaps(int dstLen, int from, int to, int srcStart, int srcLen, bool flip, int srcLimit,
             TTaps& t) {
    std::vector<std::pair<int, double>> taps;
    t.Start.assign(size_t(to - from) + 1, 0);
    t.Index.clear();
    t.Weight.clear();
    for (int i = from; i < to; ++i) {
        int k = flip ? dstLen - 1 - i : i;
        // The footprint [a, b) of the destination pixel in source units.
        double a = double(k) * srcLen / dstLen, b = double(k + 1) * srcLen / dstLen;
        if (b - a < 1.0) {
            // Enlarging: a one-pixel footprint centred on the pixel, so neighbours blend.
            double c = (a + b) / 2;
            a = c - 0.5;
            b = c + 0.5;
        }
        t.Start[size_t(i - from)] = int(t.Index.size());
        // Only taps inside both the source rectangle and the source image.
        int first = std::max({int(std::floor(a)), 0, -srcStart});
        int last = std::min({int(std::ceil(b)) - 1, srcLen - 1, srcLimit - 1 - srcStart});
        taps.clear();
        double total = 0;
        for (int s = first; s <= last; ++s) {
            double w = std::min(b, double(s + 1)) - std::max(a, double(s));
            if (w <= 0) continue;
            taps.emplace_back(s + srcStart, w);
            total += w;
        }
        // Cumulative rounding keeps every weight non-negative and the sum exact.
        double cum = 0;
        int prev = 0;
        for (auto& [index, weight] : taps) {
            cum += weight;
            int upto = int(cum * kWeightOne / total + 0.5);
            t.Index.push_back(index);
            t.Weight.push_back(upto - prev);
            prev = upto;
        }
    }
    t.Start[size_t(to - from)] = int(t.Index.size());
}

// A negative extent runs back from its start: make it run forward from the other end. True
// where it was negative.
template <class T> bool Unmirror(T& start, T& extent) {
    if (extent >= 0) return false;
    start += extent;
    extent = -extent;
    return true;
}

// The destination rectangle of a transfer and where each of its pixels samples the source.
struct TStretch {
    TRect Dst;                                  // device units, normalized
    int SrcX = 0, SrcY = 0, SrcW = 0, SrcH = 0; // normalized source rectangle
    bool FlipX = false, FlipY = false;
    bool Identity() const {
        return !FlipX && !FlipY && SrcW == Dst.Width() && SrcH == Dst.Height();
    }
};

bool MakeStretch(HDC dst, int x, int y, int w, int h, int sx, int sy, int sw, int sh,
                 TStretch& st) {
    if (w == 0 || h == 0 || sw == 0 || sh == 0) return false;
    // 64-bit while normalizing; sizes beyond any surface are refused rather than overflowed.
    int64_t left = x, top = y, width = w, height = h, srcX = sx, srcY = sy, srcW = sw, srcH = sh;
    // A mirrored destination or source flips the picture; both mirrored cancel out.
    if (Unmirror(left, width)) st.FlipX = !st.FlipX;
    if (Unmirror(top, height)) st.FlipY = !st.FlipY;
    if (Unmirror(srcX, srcW)) st.FlipX = !st.FlipX;
    if (Unmirror(srcY, srcH)) st.FlipY = !st.FlipY;
    left += dst->DX();
    top += dst->DY();
    constexpr int64_t kLimit = int64_t(1) << 30;
    for (int64_t v : {left, top, left + width, top + height, srcX, srcY, srcX + srcW, srcY + srcH})
        if (v < -kLimit || v > kLimit) return false;
    st.Dst = TRect(int(left), int(top), int(left + width), int(top + height));
    st.SrcX = int(srcX);
    st.SrcY = int(srcY);
    st.SrcW = int(srcW);
    st.SrcH = int(srcH);
    return true;
}

// Runs a transfer: for each visible destination pixel, `put(dstPixel, srcPixel, x, y)`.
// Nearest sampling, or the box filter when `halftone` and the sizes differ.
template <typename Put>
void Transfer(HDC dst, const TStretch& st, const TSourceView& src, bool halftone, Put&& put) {
    TGdiBitmap* bmp = dst->S.Bitmap;
    if (!bmp || !src.Bits) return;
    const std::vector<TRect>& vis = dst->Visible();
    if (vis.empty()) return;
    // Only the destination pixels that can be visible are mapped.
    TRect area;
    for (const TRect& v : vis)
        UnionRect(area, area, v);
    if (!IntersectRect(area, area, st.Dst)) return;
    uint32_t* bits = bmp->Pixels(area);
    int stride = bmp->PixelStride();
    int w = st.Dst.Width(), h = st.Dst.Height();
    auto srcRow = [&](int sy) { return src.Bits + ptrdiff_t(sy) * src.Stride; };

    if (halftone && !st.Identity()) {
        TTaps cols, rows;
        BoxTaps(w, area.Left - st.Dst.Left, area.Right - st.Dst.Left, st.SrcX, st.SrcW, st.FlipX,
                src.Width, cols);
        BoxTaps(h, area.Top - st.Dst.Top, area.Bottom - st.Dst.Top, st.SrcY, st.SrcH, st.FlipY,
                src.Height, rows);
        for (const TRect& v : vis) {
            TRect r;
            if (!IntersectRect(r, v, area)) continue;
            for (int y = r.Top; y < r.Bottom; ++y) {
                int iy = y - area.Top;
                int r0 = rows.Start[size_t(iy)], r1 = rows.Start[size_t(iy) + 1];
                if (r0 == r1) continue;
                uint32_t* drow = bits + size_t(y) * stride;
                for (int x = r.Left; x < r.Right; ++x) {
                    int ix = x - area.Left;
                    int c0 = cols.Start[size_t(ix)], c1 = cols.Start[size_t(ix) + 1];
                    if (c0 == c1) continue;
                    uint64_t acc[4] = {0, 0, 0, 0};
                    for (int ri = r0; ri < r1; ++ri) {
                        const uint32_t* srow = srcRow(rows.Index[size_t(ri)]);
                        uint64_t rw = uint64_t(rows.Weight[size_t(ri)]);
                        for (int ci = c0; ci < c1; ++ci) {
                            uint32_t p = srow[cols.Index[size_t(ci)]];
                            uint64_t wgt = rw * uint64_t(cols.Weight[size_t(ci)]);
                            acc[0] += (p & 0xFF) * wgt;
                            acc[1] += ((p >> 8) & 0xFF) * wgt;
                            acc[2] += ((p >> 16) & 0xFF) * wgt;
                            acc[3] += (p >> 24) * wgt;
                        }
                    }
                    constexpr uint64_t kHalf = uint64_t(kWeightOne) * kWeightOne / 2;
                    constexpr int kShift = 24; // log2(kWeightOne * kWeightOne)
                    uint32_t s = uint32_t((acc[0] + kHalf) >> kShift) |
                                 uint32_t(((acc[1] + kHalf) >> kShift) << 8) |
                                 uint32_t(((acc[2] + kHalf) >> kShift) << 16) |
                                 uint32_t(((acc[3] + kHalf) >> kShift) << 24);
                    put(drow[x], s, x, y);
                }
            }
        }
        return;
    }
    // Nearest: the source column of each destination column, -1 when outside the source.
    std::vector<int> colMap(static_cast<size_t>(area.Width()));
    for (int x = area.Left; x < area.Right; ++x) {
        int i = x - st.Dst.Left;
        int k = st.FlipX ? w - 1 - i : i;
        int sx = st.SrcX + int((int64_t(k) * 2 + 1) * st.SrcW / (int64_t(w) * 2));
        colMap[size_t(x - area.Left)] = (sx >= 0 && sx < src.Width) ? sx : -1;
    }
    for (const TRect& v : vis) {
        TRect r;
        if (!IntersectRect(r, v, area)) continue;
        for (int y = r.Top; y < r.Bottom; ++y) {
            int k = y - st.Dst.Top;
            if (st.FlipY) k = h - 1 - k;
            int sy = st.SrcY + int((int64_t(k) * 2 + 1) * st.SrcH / (int64_t(h) * 2));
            if (sy < 0 || sy >= src.Height) continue;
            const uint32_t* srow = srcRow(sy);
            uint32_t* drow = bits + size_t(y) * stride;
            for (int x = r.Left; x < r.Right; ++x) {
                int sx = colMap[size_t(x - area.Left)];
                if (sx >= 0) put(drow[x], srow[sx], x, y);
            }
        }
    }
}

// A copy of the source when it shares the destination's pixels (scrolling within a surface);
// the source itself otherwise.
TSourceView DetachFrom(HDC dst, const TSourceView& v, std::vector<uint32_t>& store) {
    if (!v.Bits || !dst->S.Bitmap || v.Bits != dst->S.Bitmap->PixelsForRead()) return v;
    store.resize(size_t(v.Width) * v.Height);
    for (int y = 0; y < v.Height; ++y)
        std::memcpy(store.data() + size_t(y) * v.Width, v.Bits + ptrdiff_t(y) * v.Stride,
                    size_t(v.Width) * 4);
    TSourceView c = v;
    c.Bits = store.data();
    c.Stride = v.Width;
    return c;
}

BOOL RopTransfer(HDC dst, const TStretch& st, TSourceView src, DWORD rop, bool halftone) {
    uint8_t code = uint8_t(rop >> 16);
    TConvert conv = ConvertFor(dst, src);
    std::vector<uint32_t> store;
    src = DetachFrom(dst, src, store);

    // Plain copies of same-size rectangles: one memcpy per row.
    if (code == 0xCC && conv.Mode == 0 && st.Identity()) {
        TGdiBitmap* bmp = dst->S.Bitmap;
        if (!bmp) return 0;
        TRect srcOnDst(st.Dst.Left - st.SrcX, st.Dst.Top - st.SrcY,
                       st.Dst.Left - st.SrcX + src.Width, st.Dst.Top - st.SrcY + src.Height);
        TRect area;
        if (!IntersectRect(area, st.Dst, srcOnDst)) return 1;
        uint32_t* bits = bmp->Pixels(area);
        int stride = bmp->PixelStride();
        for (const TRect& v : dst->Visible()) {
            TRect r;
            if (!IntersectRect(r, v, area)) continue;
            int sx = r.Left - st.Dst.Left + st.SrcX;
            if (r.Width() == stride && src.Stride == stride && sx == 0) {
                // Whole rows on both sides: one copy of the block.
                int sy = r.Top - st.Dst.Top + st.SrcY;
                std::memcpy(bits + size_t(r.Top) * stride, src.Bits + ptrdiff_t(sy) * src.Stride,
                            size_t(r.Width()) * 4 * size_t(r.Height()));
                continue;
            }
            for (int y = r.Top; y < r.Bottom; ++y) {
                int sy = y - st.Dst.Top + st.SrcY;
                std::memcpy(bits + size_t(y) * stride + r.Left,
                            src.Bits + ptrdiff_t(sy) * src.Stride + sx, size_t(r.Width()) * 4);
            }
        }
        return 1;
    }

    TPaint pat;
    bool usesP = UsesPattern(code);
    if (usesP && !BrushPaint(dst, nullptr, pat)) {
        pat = TPaint();
        pat.Color = 0xFF000000u;
    }
    TAlphaRule rule = AlphaRule(code);
    auto patternAt = [&](int x, int y) -> uint32_t {
        if (!pat.Pattern) return pat.Color;
        return pat.Pattern[((y - pat.OrgY) & 7) * 8 + ((x - pat.OrgX) & 7)];
    };
    Transfer(dst, st, src, halftone, [&](uint32_t& d, uint32_t s, int x, int y) {
        s = conv(s);
        uint32_t p = usesP ? patternAt(x, y) : 0;
        d = FixAlpha(rule, Rop3(code, p, s, d), s, d);
    });
    return 1;
}

} // namespace

BOOL PatBlt(HDC dc, int x, int y, int width, int height, DWORD rop) {
    if (!dc) return 0;
    uint8_t code = uint8_t(rop >> 16);
    Unmirror(x, width);
    Unmirror(y, height);
    TPaint paint;
    if (UsesPattern(code)) {
        if (!BrushPaint(dc, nullptr, paint)) return 1;
    }
    // P and D only: the binary operation with the same truth table.
    int table = (code & 1) | (code & 2) | ((code >> 2) & 4) | ((code >> 2) & 8);
    paint.Rop2 = table + 1;
    TRect rc(x + dc->DX(), y + dc->DY(), x + dc->DX() + width, y + dc->DY() + height);
    FillDeviceRect(dc, rc, paint);
    return 1;
}

BOOL BitBlt(HDC dst, int x, int y, int width, int height, HDC src, int srcX, int srcY, DWORD rop) {
    if (!dst) return 0;
    uint8_t code = uint8_t(rop >> 16);
    if (!UsesSource(code)) return PatBlt(dst, x, y, width, height, rop);
    if (!src) return 0;
    TStretch st;
    if (!MakeStretch(dst, x, y, width, height, srcX + src->DX(), srcY + src->DY(), width, height,
                     st))
        return 1;
    return RopTransfer(dst, st, ViewOf(src), rop, false);
}

BOOL StretchBlt(HDC dst, int x, int y, int width, int height, HDC src, int srcX, int srcY,
                int srcWidth, int srcHeight, DWORD rop) {
    if (!dst) return 0;
    uint8_t code = uint8_t(rop >> 16);
    if (!UsesSource(code)) return PatBlt(dst, x, y, width, height, rop);
    if (!src) return 0;
    TStretch st;
    if (!MakeStretch(dst, x, y, width, height, srcX + src->DX(), srcY + src->DY(), srcWidth,
                     srcHeight, st))
        return 1;
    return RopTransfer(dst, st, ViewOf(src), rop, dst->S.StretchMode == HALFTONE);
}

namespace {

// A view of DIB bits: 32-bit images are read in place, others converted.
bool DibView(const void* bits, const BITMAPINFO* info, std::vector<uint32_t>& store,
             TSourceView& v) {
    if (!bits || !info) return false;
    const BITMAPINFOHEADER& h = info->bmiHeader;
    if (h.biBitCount == 32 && h.biWidth > 0 && h.biHeight != 0) {
        v.Width = h.biWidth;
        v.Height = h.biHeight < 0 ? -h.biHeight : h.biHeight;
        const auto* base = static_cast<const uint32_t*>(bits);
        if (h.biHeight < 0) {
            v.Bits = base;
            v.Stride = v.Width;
        } else {
            v.Bits = base + size_t(v.Height - 1) * v.Width;
            v.Stride = -v.Width;
        }
        return true;
    }
    int w = 0, hh = 0;
    if (!DibToPixels(bits, info, store, w, hh)) return false;
    v.Bits = store.data();
    v.Width = w;
    v.Height = hh;
    v.Stride = w;
    v.Mono = false;
    return true;
}

} // namespace

int StretchDIBits(HDC dc, int x, int y, int width, int height, int srcX, int srcY, int srcWidth,
                  int srcHeight, const void* bits, const BITMAPINFO* info, UINT, DWORD rop) {
    if (!dc) return 0;
    std::vector<uint32_t> store;
    TSourceView v;
    if (!DibView(bits, info, store, v)) return 0;
    // Bottom-up images count the source rectangle from their last row.
    if (info->bmiHeader.biHeight > 0) srcY = v.Height - srcY - srcHeight;
    TStretch st;
    if (!MakeStretch(dc, x, y, width, height, srcX, srcY, srcWidth, srcHeight, st)) return 0;
    RopTransfer(dc, st, v, rop, dc->S.StretchMode == HALFTONE);
    return std::abs(srcHeight);
}

int SetDIBitsToDevice(HDC dc, int x, int y, DWORD width, DWORD height, int srcX, int srcY,
                      UINT startScan, UINT scanLines, const void* bits, const BITMAPINFO* info,
                      UINT) {
    if (!dc || !bits || !info || scanLines == 0) return 0;
    const BITMAPINFOHEADER& h = info->bmiHeader;
    bool bottomUp = h.biHeight > 0;
    int total = bottomUp ? h.biHeight : -h.biHeight;
    // The bits hold scan lines startScan .. startScan + scanLines - 1 in the image's order.
    BITMAPINFO band = *info;
    band.bmiHeader.biHeight = bottomUp ? int(scanLines) : -int(scanLines);
    std::vector<uint32_t> store;
    TSourceView v;
    if (!DibView(bits, &band, store, v)) return 0;
    int bandTop = bottomUp ? total - int(startScan) - int(scanLines) : int(startScan);
    int top = bottomUp ? total - srcY - int(height) : srcY; // top-down, whole image
    TStretch st;
    if (!MakeStretch(dc, x, y, int(width), int(height), srcX, top - bandTop, int(width),
                     int(height), st))
        return 0;
    RopTransfer(dc, st, v, SRCCOPY, false);
    return int(scanLines);
}

BOOL TransparentBlt(HDC dst, int x, int y, int width, int height, HDC src, int srcX, int srcY,
                    int srcWidth, int srcHeight, UINT transparent) {
    if (!dst || !src) return 0;
    TStretch st;
    if (!MakeStretch(dst, x, y, width, height, srcX + src->DX(), srcY + src->DY(), srcWidth,
                     srcHeight, st))
        return 0;
    std::vector<uint32_t> store;
    TSourceView v = DetachFrom(dst, ViewOf(src), store);
    TConvert conv = ConvertFor(dst, v);
    uint32_t key = ToPixel(ResolveColor(transparent)) & 0xFFFFFF;
    Transfer(dst, st, v, false, [&](uint32_t& d, uint32_t s, int, int) {
        if ((s & 0xFFFFFF) != key) d = conv(s) | 0xFF000000u;
    });
    return 1;
}

BOOL AlphaBlend(HDC dst, int x, int y, int width, int height, HDC src, int srcX, int srcY,
                int srcWidth, int srcHeight, BLENDFUNCTION blend) {
    if (!dst || !src || width < 0 || height < 0 || srcWidth < 0 || srcHeight < 0) return 0;
    TStretch st;
    if (!MakeStretch(dst, x, y, width, height, srcX + src->DX(), srcY + src->DY(), srcWidth,
                     srcHeight, st))
        return 1;
    std::vector<uint32_t> store;
    TSourceView v = DetachFrom(dst, ViewOf(src), store);
    uint32_t ca = blend.SourceConstantAlpha;
    bool perPixel = (blend.AlphaFormat & AC_SRC_ALPHA) != 0;
    Transfer(dst, st, v, dst->S.StretchMode == HALFTONE, [&](uint32_t& d, uint32_t s, int, int) {
        uint32_t out = 0;
        if (perPixel) {
            // Premultiplied source over the destination, scaled by the constant alpha.
            uint32_t sa = ((s >> 24) * ca + 127) / 255;
            for (int sh = 0; sh < 32; sh += 8) {
                uint32_t sc = (((s >> sh) & 0xFF) * ca + 127) / 255;
                uint32_t dcv = (d >> sh) & 0xFF;
                uint32_t c = sc + (dcv * (255 - sa) + 127) / 255;
                out |= std::min<uint32_t>(c, 255) << sh;
            }
        } else {
            for (int sh = 0; sh < 32; sh += 8) {
                uint32_t sc = (s >> sh) & 0xFF, dcv = (d >> sh) & 0xFF;
                out |= ((sc * ca + dcv * (255 - ca) + 127) / 255) << sh;
            }
        }
        d = out;
    });
    return 1;
}

} // namespace epc
