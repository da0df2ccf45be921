// Font engine throughput: cached advances (what text measuring costs per character), cached
// glyph look-ups (what drawing costs per character before blending) and font acquisition.

#include <benchmark/benchmark.h>

#include <string>

#include "platform/text/FontEngine.h"

using namespace epc;

namespace {

const std::u16string& SampleText() {
    static const std::u16string text = [] {
        std::u16string s;
        const char16_t* words = u"The quick brown fox jumps over the lazy dog; Ängström 1234. ";
        while (s.size() < 4000) s += words;
        return s;
    }();
    return text;
}

TFontRequest Arial(int height) {
    TFontRequest r;
    r.FaceName = u"Arial";
    r.Height = height;
    return r;
}

void BM_AdvanceSum(benchmark::State& state) {
    auto font = AcquireFont(Arial(-13));
    const std::u16string& text = SampleText();
    for (char16_t c : text) font->Advance(c);  // warm the cache
    for (auto _ : state) {
        int32_t width = 0;
        for (char16_t c : text) width += font->Advance(c);
        benchmark::DoNotOptimize(width);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_AdvanceSum);

void BM_GlyphLookup(benchmark::State& state) {
    auto font = AcquireFont(Arial(-13));
    const std::u16string& text = SampleText();
    for (char16_t c : text) font->Glyph(c);
    for (auto _ : state) {
        int64_t area = 0;
        for (char16_t c : text) {
            const TGlyphBitmap& g = font->Glyph(c);
            area += g.Width * g.Height;
        }
        benchmark::DoNotOptimize(area);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_GlyphLookup);

void BM_AcquireCachedFont(benchmark::State& state) {
    TFontRequest r = Arial(-13);
    AcquireFont(r);
    for (auto _ : state) benchmark::DoNotOptimize(AcquireFont(r));
}
BENCHMARK(BM_AcquireCachedFont);

// A new size: opening the face, metrics, and the first measurement of every character.
void BM_NewSizeFirstMeasure(benchmark::State& state) {
    int height = 8;
    const std::u16string& text = SampleText();
    for (auto _ : state) {
        auto font = AcquireFont(Arial(-(height++ % 200 + 8)));
        int32_t width = 0;
        for (size_t i = 0; i < 60; ++i) width += font->Advance(text[i]);
        benchmark::DoNotOptimize(width);
    }
}
BENCHMARK(BM_NewSizeFirstMeasure);

}  // namespace

BENCHMARK_MAIN();
