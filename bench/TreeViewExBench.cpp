// The word-wrapping tree with many nodes: adding N nodes of two sentences each and measuring
// their wrapped heights (UpdateNodeHeights), and painting the first screen afterwards.
//
// "FillTree" rows report nanoseconds per node for 10,000 and 100,000 nodes; "FirstScreen" rows
// the time of painting one screen of rows. "Ratios" runs both sizes in one run and reports
// "fill_ratio" (the larger fill's time over the smaller's: linear means about 10, the target
// is at most 11), "measure_ratio" (the same for UpdateNodeHeights alone) and "paint_ratio"
// (painting after the larger fill over painting after the smaller: about 1, independent of
// the node count).

#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>
#include <string>

#include "components/tree/TreeViewEx.h"
#include "platform/graphics/Bitmap.h"

using namespace epc;

namespace {

const std::string TwoSentences =
    "The quick brown fox jumps over the lazy dog near the river bank. "
    "Every answer in this list wraps over a few lines when the window is narrow.";

std::unique_ptr<TTreeViewEx> MakeTree() {
    auto tree = std::make_unique<TTreeViewEx>(nullptr);
    tree->SetBounds(0, 0, 300, 400);
    return tree;
}

// Adds n nodes (ten children under every tenth one) and measures them; seconds taken, and
// those of the measuring alone.
double Fill(TTreeViewEx& tree, int64_t n, double* measuring = nullptr) {
    const auto start = std::chrono::steady_clock::now();
    tree.LockUpdates();
    tree.AutoNodeHeight = false;
    PVirtualNode parent = nullptr;
    for (int64_t i = 0; i < n; ++i) {
        PVirtualNode node =
            tree.AddTextNode(i % 10 == 0 ? nullptr : parent, TVTNodeAttachMode::amAddChildLast,
                             TwoSentences, int(i), false, true, -1, false);
        if (i % 10 == 0) parent = node;
    }
    tree.AutoNodeHeight = true;
    const auto added = std::chrono::steady_clock::now();
    tree.UpdateNodeHeights();
    tree.UnlockUpdates();
    const auto end = std::chrono::steady_clock::now();
    if (measuring) *measuring = std::chrono::duration<double>(end - added).count();
    return std::chrono::duration<double>(end - start).count();
}

double PaintFirstScreen(TTreeViewEx& tree, TBitmap& target) {
    const auto start = std::chrono::steady_clock::now();
    tree.RenderToCanvas(target.Canvas(), TRect(0, 0, 300, 400), TPoint(0, 0), DefaultRenderOptions);
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void FillTree(benchmark::State& state) {
    const int64_t n = state.range(0);
    double total = 0;
    for (auto _ : state) {
        auto tree = MakeTree();
        total += Fill(*tree, n);
        state.PauseTiming();
        tree.reset();
        state.ResumeTiming();
    }
    state.counters["ns_per_node"] = total * 1e9 / double(state.iterations()) / double(n);
}
BENCHMARK(FillTree)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

void FirstScreen(benchmark::State& state) {
    auto tree = MakeTree();
    Fill(*tree, state.range(0));
    tree->ExpandAll();
    TBitmap target(300, 400, pf32bit);
    for (auto _ : state)
        PaintFirstScreen(*tree, target);
    state.counters["rows"] = tree->LastPaintedRows();
}
BENCHMARK(FirstScreen)->Arg(10000)->Arg(100000)->Unit(benchmark::kMicrosecond);

// Both sizes in one run, the best of five of each, so the ratios compare like with like.
void Ratios(benchmark::State& state) {
    for (auto _ : state) {
        double fill[2] = {1e9, 1e9}, paint[2] = {1e9, 1e9}, measure[2] = {1e9, 1e9};
        const int64_t sizes[2] = {10000, 100000};
        for (int round = 0; round < 5; ++round)
            for (int k = 0; k < 2; ++k) {
                auto tree = MakeTree();
                double measuring = 0;
                fill[k] = std::min(fill[k], Fill(*tree, sizes[k], &measuring));
                measure[k] = std::min(measure[k], measuring);
                TBitmap target(300, 400, pf32bit);
                PaintFirstScreen(*tree, target);
                double best = 1e9;
                for (int i = 0; i < 20; ++i)
                    best = std::min(best, PaintFirstScreen(*tree, target));
                paint[k] = std::min(paint[k], best);
            }
        state.counters["fill_ratio"] = fill[1] / fill[0];
        state.counters["paint_ratio"] = paint[1] / paint[0];
        state.counters["measure_ratio"] = measure[1] / measure[0];
    }
}
BENCHMARK(Ratios)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
