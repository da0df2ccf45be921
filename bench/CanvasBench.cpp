// Costs of drawing through the canvas and the pictures: the canvas's lazy object selection
// against the bare device-context call, a PNG with alpha blended over a bitmap, and a 24-bit
// bitmap filled through its scan lines and then drawn (one conversion each way).

#include <benchmark/benchmark.h>

#include "platform/graphics/Bitmap.h"
#include "platform/graphics/PngImage.h"

using namespace epc;

static void BM_CanvasFillRect(benchmark::State& state) {
    TBitmap target(256, 256, pf32bit);
    TCanvas* c = target.Canvas();
    c->Brush()->SetColor(clRed);
    TRect r = Rect(10, 10, 42, 42);
    for (auto _ : state)
        c->FillRect(r);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_CanvasFillRect);

static void BM_RawFillRect(benchmark::State& state) {
    TBitmap target(256, 256, pf32bit);
    HDC dc = target.Canvas()->Handle();
    HBRUSH brush = CreateSolidBrush(RGB(255, 0, 0));
    RECT r = Rect(10, 10, 42, 42);
    for (auto _ : state)
        FillRect(dc, &r, brush);
    DeleteObject(reinterpret_cast<HGDIOBJ>(brush));
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_RawFillRect);

// Alternating brush colours: every fill selects a new brush.
static void BM_CanvasFillRectColourChange(benchmark::State& state) {
    TBitmap target(256, 256, pf32bit);
    TCanvas* c = target.Canvas();
    TRect r = Rect(10, 10, 42, 42);
    bool odd = false;
    for (auto _ : state) {
        c->Brush()->SetColor(odd ? clRed : clBlue);
        odd = !odd;
        c->FillRect(r);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_CanvasFillRectColourChange);

static void BM_PngDrawAlpha(benchmark::State& state) {
    int size = int(state.range(0));
    TPngImage png;
    png.CreateBlank(COLOR_RGBALPHA, 8, size, size);
    for (int y = 0; y < size; ++y) {
        uint8_t* row = png.Scanline(y);
        uint8_t* alpha = png.AlphaScanline(y);
        for (int x = 0; x < size; ++x) {
            row[x * 3] = uint8_t(x);
            row[x * 3 + 1] = uint8_t(y);
            row[x * 3 + 2] = 128;
            alpha[x] = uint8_t(x + y);
        }
    }
    TBitmap target(size, size, pf32bit);
    for (auto _ : state)
        target.Canvas()->Draw(0, 0, &png);
    state.SetItemsProcessed(state.iterations() * size * size);
}
BENCHMARK(BM_PngDrawAlpha)->Arg(32)->Arg(256);

static void BM_Bitmap24ScanLinesThenDraw(benchmark::State& state) {
    TBitmap source(1920, 1080, pf24bit);
    TBitmap target(1920, 1080, pf32bit);
    uint8_t v = 0;
    for (auto _ : state) {
        ++v;
        for (int y = 0; y < 1080; ++y)
            source.ScanLine(y)[0] = v;
        target.Canvas()->Draw(0, 0, &source);
    }
    state.SetItemsProcessed(state.iterations() * 1920 * 1080);
}
BENCHMARK(BM_Bitmap24ScanLinesThenDraw);

BENCHMARK_MAIN();
