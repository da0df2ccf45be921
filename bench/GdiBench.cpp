// Device-context speed: text measuring and drawing, and full-screen fills and copies measured
// against memset and memcpy of the same bytes in the same run.

#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/gdi/Gdi.h"
#include "platform/text/FontEngine.h"

namespace epc {
namespace {

constexpr int kScreenW = 1920;
constexpr int kScreenH = 1080;
constexpr size_t kScreenBytes = size_t(kScreenW) * kScreenH * 4;

const std::u16string kSample =
    u"The quick brown fox jumps over the lazy dog; 0123456789 (Sphinx of black quartz).";

HFONT MakeFont(const char16_t* face, int height) {
    LOGFONTW lf;
    lf.lfHeight = height;
    std::u16string name = face;
    std::copy(name.begin(), name.end(), lf.lfFaceName);
    return CreateFontIndirectW(lf);
}

// The screen's context with a font selected; afterwards the stock font is back and the font gone.
struct TScreenFont {
    HDC Dc = GetDC(nullptr);
    HFONT Font;
    TScreenFont(const char16_t* face, int height) : Font(MakeFont(face, height)) {
        SelectObject(Dc, Font);
    }
    ~TScreenFont() {
        SelectObject(Dc, GetStockObject(SYSTEM_FONT));
        DeleteObject(Font);
        ReleaseDC(nullptr, Dc);
    }
};

struct TScreen {
    HDC Dc = CreateBufferDC(kScreenW, kScreenH, 96, 96);
    ~TScreen() { DeleteDC(Dc); }
};

void BM_GetTextExtentPoint32W(benchmark::State& state) {
    TScreenFont font(u"Arial", -13);
    HDC dc = font.Dc;
    SIZE s;
    for (auto _ : state) {
        GetTextExtentPoint32W(dc, kSample.data(), int(kSample.size()), &s);
        benchmark::DoNotOptimize(s);
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(kSample.size()));
}
BENCHMARK(BM_GetTextExtentPoint32W);

void BM_GetTextExtentExPointW(benchmark::State& state) {
    TScreenFont font(u"Times New Roman", -16);
    HDC dc = font.Dc;
    std::vector<int> partial(kSample.size());
    SIZE s;
    int fit = 0;
    for (auto _ : state) {
        GetTextExtentExPointW(dc, kSample.data(), int(kSample.size()), 200, &fit, partial.data(),
                              &s);
        benchmark::DoNotOptimize(partial.data());
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(kSample.size()));
}
BENCHMARK(BM_GetTextExtentExPointW);

void BM_DrawTextCalcRectWordBreak(benchmark::State& state) {
    TScreenFont font(u"Arial", -13);
    HDC dc = font.Dc;
    std::u16string text;
    for (int i = 0; i < 8; ++i)
        text += kSample + u" ";
    for (auto _ : state) {
        RECT r(0, 0, 300, 0);
        benchmark::DoNotOptimize(
            DrawTextW(dc, text.data(), int(text.size()), &r, DT_CALCRECT | DT_WORDBREAK));
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(text.size()));
}
BENCHMARK(BM_DrawTextCalcRectWordBreak);

void BM_TextOutW(benchmark::State& state) {
    TScreen screen;
    HFONT f = MakeFont(u"Arial", -13);
    SelectObject(screen.Dc, f);
    SetBkMode(screen.Dc, TRANSPARENT);
    int y = 0;
    for (auto _ : state) {
        TextOutW(screen.Dc, 10, y, kSample.data(), int(kSample.size()));
        y = (y + 16) % (kScreenH - 20);
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(kSample.size()));
    SelectObject(screen.Dc, GetStockObject(SYSTEM_FONT));
    DeleteObject(f);
}
BENCHMARK(BM_TextOutW);

void BM_Memset1920x1080(benchmark::State& state) {
    std::vector<uint8_t> buf(kScreenBytes, 1);
    int v = 0;
    for (auto _ : state) {
        std::memset(buf.data(), v++ & 0xFF, buf.size());
        benchmark::DoNotOptimize(buf.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kScreenBytes));
}
BENCHMARK(BM_Memset1920x1080);

void BM_FillRect1920x1080(benchmark::State& state) {
    TScreen screen;
    HBRUSH brushes[2] = {CreateSolidBrush(RGB(10, 20, 30)), CreateSolidBrush(RGB(200, 100, 50))};
    RECT r(0, 0, kScreenW, kScreenH);
    FillRect(screen.Dc, &r, brushes[1]); // the pages are in memory before timing
    int i = 0;
    for (auto _ : state) {
        FillRect(screen.Dc, &r, brushes[i++ & 1]);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kScreenBytes));
    DeleteObject(brushes[0]);
    DeleteObject(brushes[1]);
}
BENCHMARK(BM_FillRect1920x1080);

void BM_Memcpy1920x1080(benchmark::State& state) {
    std::vector<uint8_t> a(kScreenBytes, 1), b(kScreenBytes, 2);
    std::memcpy(b.data(), a.data(), kScreenBytes);
    for (auto _ : state) {
        std::memcpy(b.data(), a.data(), kScreenBytes);
        benchmark::DoNotOptimize(b.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kScreenBytes));
}
BENCHMARK(BM_Memcpy1920x1080);

void BM_BitBltCopy1920x1080(benchmark::State& state) {
    TScreen src, dst;
    BitBlt(dst.Dc, 0, 0, kScreenW, kScreenH, src.Dc, 0, 0, SRCCOPY);
    for (auto _ : state) {
        BitBlt(dst.Dc, 0, 0, kScreenW, kScreenH, src.Dc, 0, 0, SRCCOPY);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kScreenBytes));
}
BENCHMARK(BM_BitBltCopy1920x1080);

void BM_StretchDIBitsHalftoneHalf(benchmark::State& state) {
    TScreen dst;
    SetStretchBltMode(dst.Dc, HALFTONE);
    std::vector<uint32_t> pixels(size_t(kScreenW) * kScreenH, 0xFF336699u);
    BITMAPINFO bi{};
    bi.bmiHeader.biWidth = kScreenW;
    bi.bmiHeader.biHeight = -kScreenH;
    bi.bmiHeader.biBitCount = 32;
    for (auto _ : state) {
        StretchDIBits(dst.Dc, 0, 0, kScreenW / 2, kScreenH / 2, 0, 0, kScreenW, kScreenH,
                      pixels.data(), &bi, DIB_RGB_COLORS, SRCCOPY);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kScreenBytes));
}
BENCHMARK(BM_StretchDIBitsHalftoneHalf);

} // namespace
} // namespace epc

BENCHMARK_MAIN();
