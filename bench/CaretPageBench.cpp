// Moving the editor's caret page by page from the document start to its end: the time grows
// linearly with the number of pages (the "ratio" counter compares 10,000 pages with 1,000).

#include <benchmark/benchmark.h>

#include <chrono>
#include <map>
#include <memory>

#include "bench/BenchMain.h"
#include "platform/context/PlatformContext.h"
#include "platform/controls/Forms.h"
#include "richtext/edit/RVEdit.h"

namespace {

using namespace epc;

constexpr int kLinesPerPage = 10; // 20-pixel lines in a 200-pixel window

struct PagedEditor {
    TForm* Form = nullptr;
    TRichViewEdit* Edit = nullptr;
};

PagedEditor& GetEditor(int pages) {
    static std::map<int, PagedEditor> editors;
    PagedEditor& e = editors[pages];
    if (e.Edit) return e;
    e.Form = new TForm(nullptr);
    e.Form->SetBounds(0, 0, 400, 300);
    auto* style = new TRVStyle(e.Form);
    style->TextStyles[0].FontName = "Fixed Metrics Test";
    style->TextStyles[0].Size = 15;
    e.Edit = new TRichViewEdit(e.Form);
    e.Edit->SetParent(e.Form);
    e.Edit->SetBorderStyle(bsNone);
    e.Edit->SetBounds(0, 0, 300, 200);
    e.Edit->SetStyle(style);
    for (int i = 0; i < pages * kLinesPerPage; ++i)
        e.Edit->AppendTextParagraph("a line of the question", 0, 0);
    e.Edit->Format();
    return e;
}

// Seconds to page from the start to the end.
double PageThrough(PagedEditor& e) {
    TRVEditRVData* data = e.Edit->EditData();
    data->GoLineStart(true);
    const auto start = std::chrono::steady_clock::now();
    const int last = data->DrawItems.Count() - 1;
    while (data->CaretDrawItemNo != last)
        data->GoPageDown();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void BM_PageDownThroughDocument(benchmark::State& state) {
    PagedEditor& small = GetEditor(1000);
    PagedEditor& large = GetEditor(10000);
    double smallTime = 0, largeTime = 0;
    for (auto _ : state) {
        smallTime += PageThrough(small);
        largeTime += PageThrough(large);
    }
    state.counters["ratio"] = largeTime / smallTime;
    state.counters["us_per_1000_pages"] = 1e6 * smallTime / double(state.iterations());
}
BENCHMARK(BM_PageDownThroughDocument)->Iterations(3)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    epc::TPlatformContext context;
    return epc::bench::RunBenchmarks(argc, argv);
}
