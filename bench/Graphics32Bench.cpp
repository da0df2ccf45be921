// Blending, transfers, resampling and antialiased polygon fills of the 32-bit bitmaps, each
// next to pixman's equivalent operation on the same buffers (when pixman is available).

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <random>

#include "components/graphics/Bitmap32.h"
#include "components/graphics/Blend.h"
#include "components/graphics/Polygons.h"
#include "components/graphics/Transforms.h"

#ifdef EPC_HAVE_PIXMAN
#include <pixman.h>
#endif

using namespace epc;

namespace {

constexpr int W = 1024, H = 768;

// Source pixels: a sprite-like mix of transparent, opaque and partly covered pixels, or
// every pixel partly transparent (the slowest case for both sides).
void FillSource(TBitmap32& b, int w, int h, bool allPartial) {
    b.SetSize(w, h);
    std::mt19937 rng(42);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint32_t a;
            if (allPartial) {
                a = 1 + rng() % 254;
            } else {
                int region = ((x / 64) + (y / 64)) % 3;
                a = region == 0 ? 0 : region == 1 ? 255 : rng() & 255;
            }
            uint32_t rgb = rng() & 0x00FFFFFF;
            // Keep colours at or below alpha so the buffer is valid premultiplied data too.
            uint32_t r = ((rgb >> 16) & 255) * a / 255, g = ((rgb >> 8) & 255) * a / 255,
                     bl = (rgb & 255) * a / 255;
            b.SetPixel(x, y, (a << 24) | (r << 16) | (g << 8) | bl);
        }
}

void FillDest(TBitmap32& b, int w, int h) {
    b.SetSize(w, h);
    std::mt19937 rng(7);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) b.SetPixel(x, y, 0xFF000000 | (rng() & 0x00FFFFFF));
}

#ifdef EPC_HAVE_PIXMAN
pixman_image_t* Wrap(TBitmap32& b) {
    return pixman_image_create_bits(PIXMAN_a8r8g8b8, b.Width(), b.Height(),
                                    reinterpret_cast<uint32_t*>(b.Bits()), b.Width() * 4);
}
#endif

// ---- Row blending -----------------------------------------------------------------------------

void BM_AlphaOverRow_Ours(benchmark::State& state) {
    TBitmap32 src, dst;
    FillSource(src, W, H, state.range(0) != 0);
    FillDest(dst, W, H);
    for (auto _ : state) {
        for (int y = 0; y < H; ++y) AlphaOverRow(src.ScanLine(y), dst.ScanLine(y), W);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * W * H);
}
BENCHMARK(BM_AlphaOverRow_Ours)->Arg(0)->Arg(1);

void BM_BlockTransferBlend_Ours(benchmark::State& state) {
    TBitmap32 src, dst;
    FillSource(src, W, H, state.range(0) != 0);
    FillDest(dst, W, H);
    for (auto _ : state) {
        BlockTransfer(&dst, 0, 0, dst.BoundsRect(), &src, src.BoundsRect(), dmBlend);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * W * H);
}
BENCHMARK(BM_BlockTransferBlend_Ours)->Arg(0)->Arg(1);

#ifdef EPC_HAVE_PIXMAN
void BM_Over_Pixman(benchmark::State& state) {
    TBitmap32 src, dst;
    FillSource(src, W, H, state.range(0) != 0);
    FillDest(dst, W, H);
    pixman_image_t* s = Wrap(src);
    pixman_image_t* d = Wrap(dst);
    for (auto _ : state) {
        pixman_image_composite32(PIXMAN_OP_OVER, s, nullptr, d, 0, 0, 0, 0, 0, 0, W, H);
        benchmark::ClobberMemory();
    }
    pixman_image_unref(s);
    pixman_image_unref(d);
    state.SetItemsProcessed(state.iterations() * W * H);
}
BENCHMARK(BM_Over_Pixman)->Arg(0)->Arg(1);
#endif

// ---- Resampling -------------------------------------------------------------------------------

// Enlarge 300x200 to 1024x768, reduce 1024x768 to 300x200.
struct TStretchCase {
    int SrcW, SrcH, DstW, DstH;
};
const TStretchCase Cases[] = {{300, 200, W, H}, {W, H, 300, 200}};

void StretchOurs(benchmark::State& state, TStretchFilter filter) {
    const TStretchCase& c = Cases[state.range(0)];
    TBitmap32 src, dst;
    FillSource(src, c.SrcW, c.SrcH, true);
    FillDest(dst, c.DstW, c.DstH);
    for (auto _ : state) {
        StretchTransfer(&dst, dst.BoundsRect(), dst.BoundsRect(), &src, src.BoundsRect(),
                        filter, dmOpaque);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * c.DstW * c.DstH);
}

void BM_StretchLinear_Ours(benchmark::State& state) { StretchOurs(state, sfLinear); }
BENCHMARK(BM_StretchLinear_Ours)->Arg(0)->Arg(1);
void BM_StretchLanczos_Ours(benchmark::State& state) { StretchOurs(state, sfLanczos); }
BENCHMARK(BM_StretchLanczos_Ours)->Arg(0)->Arg(1);

#ifdef EPC_HAVE_PIXMAN
void StretchPixman(benchmark::State& state, bool lanczos) {
    const TStretchCase& c = Cases[state.range(0)];
    TBitmap32 src, dst;
    FillSource(src, c.SrcW, c.SrcH, true);
    FillDest(dst, c.DstW, c.DstH);
    pixman_image_t* s = Wrap(src);
    pixman_image_t* d = Wrap(dst);
    const double sx = double(c.SrcW) / c.DstW, sy = double(c.SrcH) / c.DstH;
    pixman_transform_t t;
    pixman_transform_init_scale(&t, pixman_double_to_fixed(sx), pixman_double_to_fixed(sy));
    pixman_image_set_transform(s, &t);
    pixman_image_set_repeat(s, PIXMAN_REPEAT_PAD);
    pixman_fixed_t* params = nullptr;
    if (lanczos) {
        int n = 0;
        bool reducing = sx > 1;
        params = pixman_filter_create_separable_convolution(
            &n, pixman_double_to_fixed(sx), pixman_double_to_fixed(sy),
            reducing ? PIXMAN_KERNEL_BOX : PIXMAN_KERNEL_LANCZOS3,
            reducing ? PIXMAN_KERNEL_BOX : PIXMAN_KERNEL_LANCZOS3,
            reducing ? PIXMAN_KERNEL_LANCZOS3 : PIXMAN_KERNEL_BOX,
            reducing ? PIXMAN_KERNEL_LANCZOS3 : PIXMAN_KERNEL_BOX, 4, 4);
        pixman_image_set_filter(s, PIXMAN_FILTER_SEPARABLE_CONVOLUTION, params, n);
    } else {
        pixman_image_set_filter(s, PIXMAN_FILTER_BILINEAR, nullptr, 0);
    }
    for (auto _ : state) {
        pixman_image_composite32(PIXMAN_OP_SRC, s, nullptr, d, 0, 0, 0, 0, 0, 0, c.DstW,
                                 c.DstH);
        benchmark::ClobberMemory();
    }
    std::free(params);
    pixman_image_unref(s);
    pixman_image_unref(d);
    state.SetItemsProcessed(state.iterations() * c.DstW * c.DstH);
}

void BM_StretchLinear_Pixman(benchmark::State& state) { StretchPixman(state, false); }
BENCHMARK(BM_StretchLinear_Pixman)->Arg(0)->Arg(1);
void BM_StretchLanczos_Pixman(benchmark::State& state) { StretchPixman(state, true); }
BENCHMARK(BM_StretchLanczos_Pixman)->Arg(0)->Arg(1);
#endif

// ---- Antialiased polygon fill -----------------------------------------------------------------

// A convex polygon of n corners around the buffer's centre (radius 340 pixels).
std::vector<TFixedPoint> Corners(int n) {
    std::vector<TFixedPoint> pts;
    for (int i = 0; i < n; ++i) {
        double a = 2 * 3.14159265358979 * i / n;
        pts.push_back(MakeFixedPointFromFloats(W / 2.0 + 340 * std::cos(a) + 0.3,
                                               H / 2.0 + 340 * std::sin(a) + 0.7));
    }
    return pts;
}

constexpr TColor32 FillColour = 0xC0306090;

void BM_PolygonFillAA_Ours(benchmark::State& state) {
    TBitmap32 dst;
    FillDest(dst, W, H);
    TPolygon32 p;
    p.SetAntialiased(true);
    for (const TFixedPoint& pt : Corners(int(state.range(0)))) p.AddPoint(pt);
    for (auto _ : state) {
        p.DrawFilled(&dst, FillColour);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_PolygonFillAA_Ours)->Arg(8)->Arg(64);

#ifdef EPC_HAVE_PIXMAN
void BM_PolygonFillAA_Pixman(benchmark::State& state) {
    TBitmap32 dst;
    FillDest(dst, W, H);
    pixman_image_t* d = Wrap(dst);
    const uint16_t a = 0xC0 * 257;
    // Premultiplied solid colour of the same coverage and alpha.
    pixman_color_t colour = {uint16_t(0x30 * 0xC0 / 255 * 257), uint16_t(0x60 * 0xC0 / 255 * 257),
                             uint16_t(0x90 * 0xC0 / 255 * 257), a};
    pixman_image_t* solid = pixman_image_create_solid_fill(&colour);
    std::vector<TFixedPoint> pts = Corners(int(state.range(0)));
    std::vector<pixman_triangle_t> tris;
    auto pf = [](const TFixedPoint& p) { return pixman_point_fixed_t{p.X, p.Y}; };
    for (size_t i = 1; i + 1 < pts.size(); ++i)
        tris.push_back({pf(pts[0]), pf(pts[i]), pf(pts[i + 1])});
    for (auto _ : state) {
        pixman_composite_triangles(PIXMAN_OP_OVER, solid, d, PIXMAN_a8, 0, 0, 0, 0,
                                   int(tris.size()), tris.data());
        benchmark::ClobberMemory();
    }
    pixman_image_unref(solid);
    pixman_image_unref(d);
}
BENCHMARK(BM_PolygonFillAA_Pixman)->Arg(8)->Arg(64);
#endif

}  // namespace

BENCHMARK_MAIN();
