// What reordering and shaping cost against plain measuring: one line of text measured on a
// context, Latin left to right (the plain path), the same Latin read right to left (reordered,
// not shaped), Hebrew and Arabic (reordered and shaped). Compare the rates within one run.

#include <benchmark/benchmark.h>

#include <string>

#include "platform/gdi/Gdi.h"

using namespace epc;

namespace {

const std::u16string& Line(int kind) {
    static const std::u16string lines[] = {
        u"Which device forwards the frame between the two subnets here?",
        u"Which device forwards the frame between the two subnets here?",
        u"\u05D0\u05D9\u05D6\u05D4 \u05D4\u05EA\u05E7\u05DF \u05DE\u05E2\u05D1\u05D9\u05E8 "
        u"\u05D0\u05EA \u05D4-frame \u05D1\u05D9\u05DF \u05E9\u05EA\u05D9 12 \u05E8\u05E9\u05EA"
        u"\u05D5\u05EA?",
        u"\u064A\u0642\u0631\u0623 \u0627\u0644\u0645\u0648\u062C\u0647 \u0639\u0646\u0648\u0627"
        u"\u0646 \u0627\u0644\u0648\u062C\u0647\u0629 \u0644\u0643\u0644 \u062D\u0632\u0645\u0629 "
        u"10.0.0.1 \u0641\u064A \u062C\u062F\u0648\u0644"};
    return lines[kind];
}

void BM_MeasureLine(benchmark::State& state) {
    const int kind = int(state.range(0));
    HDC dc = CreateBufferDC(16, 16, 96, 96);
    LOGFONTW lf;
    lf.lfHeight = -13;
    const std::u16string face = u"DejaVu Sans";
    std::copy(face.begin(), face.end(), lf.lfFaceName);
    HFONT font = CreateFontIndirectW(lf);
    SelectObject(dc, font);
    if (kind != 0) SetTextAlign(dc, TA_LEFT | TA_TOP | TA_RTLREADING);
    const std::u16string& text = Line(kind);
    SIZE size;
    for (auto _ : state) {
        GetTextExtentPoint32W(dc, text.data(), int(text.size()), &size);
        benchmark::DoNotOptimize(size);
    }
    state.SetItemsProcessed(state.iterations() * int64_t(text.size()));
    state.SetLabel(kind == 0   ? "latin"
                   : kind == 1 ? "latin read right to left"
                   : kind == 2 ? "hebrew"
                               : "arabic");
    DeleteDC(dc);
    DeleteObject(font);
}
BENCHMARK(BM_MeasureLine)->DenseRange(0, 3);

} // namespace

BENCHMARK_MAIN();
