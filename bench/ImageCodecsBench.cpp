// Picture codec throughput on a screenshot-sized picture: PNG (what saving a screenshot
// costs) and BMP, each way.

#include <benchmark/benchmark.h>

#include <string>

#include "platform/codecs/ImageCodecs.h"

using namespace epc;

namespace {

// A 1920 x 1080 picture with flat areas, gradients and some noise, like a screen.
const TDecodedImage& Screen() {
    static const TDecodedImage image = [] {
        TDecodedImage img;
        img.Width = 1920;
        img.Height = 1080;
        img.Pixels.resize(size_t(1920) * 1080);
        uint32_t noise = 12345;
        for (int y = 0; y < 1080; ++y)
            for (int x = 0; x < 1920; ++x) {
                uint32_t p = 0xFFF0F0F0u;
                if (y < 30) p = 0xFF000080u | uint32_t(x * 255 / 1920) << 8;
                else if (x > 300 && x < 1500 && y > 200 && y < 900) {
                    noise = noise * 1103515245u + 12345u;
                    p = (noise >> 16) % 7 == 0 ? 0xFF202020u : 0xFFFFFFFFu;
                }
                img.Pixels[size_t(y) * 1920 + x] = p;
            }
        return img;
    }();
    return image;
}

void BM_PngEncodeScreen(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(EncodePng(Screen()));
    state.SetItemsProcessed(state.iterations() * 1920 * 1080);
}
BENCHMARK(BM_PngEncodeScreen)->Unit(benchmark::kMillisecond);

void BM_PngDecodeScreen(benchmark::State& state) {
    std::string png = EncodePng(Screen());
    for (auto _ : state)
        benchmark::DoNotOptimize(
            DecodePng(reinterpret_cast<const uint8_t*>(png.data()), png.size()));
    state.SetItemsProcessed(state.iterations() * 1920 * 1080);
}
BENCHMARK(BM_PngDecodeScreen)->Unit(benchmark::kMillisecond);

void BM_BmpEncodeScreen(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(EncodeBmp(Screen(), 32));
    state.SetItemsProcessed(state.iterations() * 1920 * 1080);
}
BENCHMARK(BM_BmpEncodeScreen)->Unit(benchmark::kMillisecond);

void BM_BmpDecodeScreen(benchmark::State& state) {
    std::string bmp = EncodeBmp(Screen(), 24);
    for (auto _ : state)
        benchmark::DoNotOptimize(
            DecodeBmp(reinterpret_cast<const uint8_t*>(bmp.data()), bmp.size()));
    state.SetItemsProcessed(state.iterations() * 1920 * 1080);
}
BENCHMARK(BM_BmpDecodeScreen)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
