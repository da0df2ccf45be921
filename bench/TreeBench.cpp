// Node management of the tree control with very many nodes: adding (as top-level nodes and as
// one deep chain), expanding everything, walking everything and deleting everything. Each
// benchmark reports nanoseconds per node ("ns_per_node"); ranges of 10,000 to 1,000,000 nodes
// show whether the cost grows linearly.
//
// Operations on a tree that was built beforehand run twice. With "cold:1" the node records
// start out of the processor caches, so that every size starts alike: otherwise a tree of
// 100,000 nodes (7 MB) would still sit in the last-level cache from being built, and a tree of
// a million nodes could not. With "cold:0" the caches are left as the building left them.
// Walks that must come back up a very deep chain (collapsing, deleting, the climb at the end of
// walking it) read the records twice; only the part of the chain the last-level cache still
// holds comes back cheaply, so their cost per node steps up once a chain outgrows that cache
// and stays level from there: 1,000,000 and 10,000,000 nodes both live in main memory. Adding
// stops at a million nodes: beyond the memory the tree keeps in reserve, adding ten million
// measures how fast the system hands out fresh pages.
//
// Painting, sorting, scrolling and memory: one screen of rows painted at the top and in the
// middle of trees of 10,000 and 1,000,000 expanded nodes (the second should take at most 1.2
// times the first), sorting 100,000 and 1,000,000 siblings (n log n: at most 13 times), scrolling
// the last node of a million-node tree into view, and the bytes a tree holds per node. The
// "min" rows (the fastest repetition, with --benchmark_repetitions) give the ratios on a busy
// machine.
//
// Streaming: saving and loading trees of 100,000 and 1,000,000 nodes (ten children under each
// top-level node, every node with four bytes of user data) should cost the same per node (the
// larger at most 11 times the smaller in total); loading reports "vs_memcpy", its time over
// that of copying the same stream bytes with memcpy (at most 10). With "cold:1" the caches are
// swept before each load and before each copy: the stream of 100,000 nodes (4.5 MB) and the
// records the tree reuses would otherwise still be cached from the run before, and those of a
// million nodes could not. Saving should cost at most 3 times loading per node ("save_vs_load"
// of SaveVsLoad, medians of one run at 100,000 and 1,000,000 nodes). Saving a million nodes
// also pays for the fresh pages of its 45 MB stream, which a stream of 4.5 MB finds reused.

#include <benchmark/benchmark.h>

#include <malloc.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

#include "components/tree/BaseVirtualTree.h"
#include "platform/graphics/Bitmap.h"

using namespace epc;

namespace {

// Counter of seconds per node, shown in nanoseconds.
void SetPerNode(benchmark::State& state, double seconds, int64_t nodes) {
    state.counters["ns_per_node"] = seconds * 1e9 / double(nodes);
}

void BuildRoots(TBaseVirtualTree& tree, int64_t n) {
    for (int64_t i = 0; i < n; ++i)
        tree.AddChild(nullptr);
}

void BuildChain(TBaseVirtualTree& tree, int64_t n) {
    tree.BeginUpdate();
    PVirtualNode parent = nullptr;
    for (int64_t i = 0; i < n; ++i)
        parent = tree.AddChild(parent);
    tree.EndUpdate();
}

// Writes the tree's node records back to memory and drops them from every cache level.
void EvictNodes([[maybe_unused]] TBaseVirtualTree& tree) {
#if defined(__x86_64__) || defined(__i386__)
    for (PVirtualNode n = tree.FirstNodeNoInit(); n; n = tree.NextNodeNoInit(n)) {
        auto* first = reinterpret_cast<const char*>(n);
        _mm_clflush(first);
        _mm_clflush(first + TreeNodeSize - 1);
    }
    _mm_mfence();
#else
    // Elsewhere: overwrite more memory than any cache holds.
    static std::vector<char> sweep(size_t(256) << 20);
    for (size_t i = 0; i < sweep.size(); i += 64)
        sweep[i] = char(sweep[i] + 1);
    benchmark::DoNotOptimize(sweep.data());
#endif
}

// Arguments: the node count and, for operations on a built tree, whether it starts cold.
void BuildExpandedChain(TBaseVirtualTree& tree, int64_t n) {
    BuildChain(tree, n);
    tree.ExpandAll(nullptr);
}

template <typename Setup, typename Work>
void Run(benchmark::State& state, Setup setup, Work work, bool built = true) {
    const int64_t n = state.range(0);
    const bool cold = built && state.range(1) != 0;
    double total = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto tree = std::make_unique<TBaseVirtualTree>(nullptr);
        setup(*tree, n);
        if (cold) EvictNodes(*tree);
        state.ResumeTiming();
        auto start = std::chrono::steady_clock::now();
        work(*tree, n);
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.PauseTiming();
        tree.reset();
        state.ResumeTiming();
    }
    SetPerNode(state, total / double(state.iterations()), n);
}

void AddRootNodes(benchmark::State& state) {
    Run(
        state, [](TBaseVirtualTree&, int64_t) {}, BuildRoots, false);
}

void AddRootNodesByCount(benchmark::State& state) {
    Run(
        state, [](TBaseVirtualTree&, int64_t) {},
        [](TBaseVirtualTree& tree, int64_t n) { tree.SetRootNodeCount(Cardinal(n)); }, false);
}

void AddDeepChain(benchmark::State& state) {
    Run(
        state, [](TBaseVirtualTree&, int64_t) {}, BuildChain, false);
}

void ExpandAllChain(benchmark::State& state) {
    Run(state, BuildChain, [](TBaseVirtualTree& tree, int64_t) { tree.ExpandAll(nullptr); });
}

void ExpandAllTwoLevels(benchmark::State& state) {
    // Ten children under each of n/10 top-level nodes.
    Run(
        state,
        [](TBaseVirtualTree& tree, int64_t n) {
            tree.BeginUpdate();
            for (int64_t i = 0; i < n / 10; ++i)
                tree.SetChildCount(tree.AddChild(nullptr), 9);
            tree.EndUpdate();
        },
        [](TBaseVirtualTree& tree, int64_t) { tree.ExpandAll(nullptr); });
}

void CollapseAllChain(benchmark::State& state) {
    Run(state, BuildExpandedChain,
        [](TBaseVirtualTree& tree, int64_t) { tree.CollapseAll(nullptr); });
}

void WalkAll(TBaseVirtualTree& tree, int64_t) {
    int64_t count = 0;
    for (PVirtualNode n = tree.FirstNode(); n; n = tree.NextNodeInTree(n))
        ++count;
    benchmark::DoNotOptimize(count);
}

void WalkAllRoots(benchmark::State& state) {
    Run(state, BuildRoots, WalkAll);
}

void WalkAllChain(benchmark::State& state) {
    Run(state, BuildChain, WalkAll);
}

void WalkVisibleChain(benchmark::State& state) {
    Run(state, BuildExpandedChain, [](TBaseVirtualTree& tree, int64_t) {
        int64_t count = 0;
        for (PVirtualNode n = tree.FirstVisibleNode(); n; n = tree.NextVisibleNode(n))
            ++count;
        benchmark::DoNotOptimize(count);
    });
}

void DeleteAllRoots(benchmark::State& state) {
    Run(state, BuildRoots, [](TBaseVirtualTree& tree, int64_t) { tree.Clear(); });
}

void DeleteAllChain(benchmark::State& state) {
    Run(state, BuildChain, [](TBaseVirtualTree& tree, int64_t) { tree.Clear(); });
}

void DeleteRootsOneByOne(benchmark::State& state) {
    Run(state, BuildRoots, [](TBaseVirtualTree& tree, int64_t) {
        while (PVirtualNode n = tree.LastChildNoInit(nullptr))
            tree.DeleteNode(n);
    });
}

void NodeAtPointAfterExpand(benchmark::State& state) {
    // Hit tests skip whole subtrees by their running heights.
    Run(
        state,
        [](TBaseVirtualTree& tree, int64_t n) {
            tree.BeginUpdate();
            for (int64_t i = 0; i < n / 10; ++i)
                tree.SetChildCount(tree.AddChild(nullptr), 9);
            tree.EndUpdate();
            tree.ExpandAll(nullptr);
        },
        [](TBaseVirtualTree& tree, int64_t n) {
            int64_t height = int64_t(tree.RootTotalHeight());
            for (int i = 0; i < 1000; ++i)
                benchmark::DoNotOptimize(tree.NodeAtPoint(0, int((height * i) / 1000)));
        });
}

// ---- Painting, sorting, scrolling and memory of large trees ----------------------------------

// A tree whose nodes paint a short text in the fixed-metric face, as a text tree would.
class TPaintedTree : public TBaseVirtualTree {
public:
    TPaintedTree() : TBaseVirtualTree(nullptr) {
        Font()->SetName("Fixed Metrics Test");
        Font()->SetHeight(-12);
        SetBounds(0, 0, 400, 600);
    }
    int DoGetNodeWidth(PVirtualNode, TColumnIndex) override { return 6 * 8; }
    void DoPaintNode(TVTPaintInfo& info) override {
        info.Canvas->Brush()->SetStyle(bsClear);
        info.Canvas->TextOut(info.ContentRect.Left + 4, 2, std::u16string(u"node 123"));
    }
};

// About the square root of N top-level nodes, each with as many children, all expanded: both
// levels stay equally wide as the tree grows.
void BuildSquare(TBaseVirtualTree& tree, int64_t n) {
    const auto side = int64_t(std::sqrt(double(n)));
    tree.BeginUpdate();
    for (int64_t i = 0; i < side; ++i)
        tree.SetChildCount(tree.AddChild(nullptr), Cardinal(n / side - 1));
    tree.EndUpdate();
    tree.ExpandAll(nullptr);
}

// One screen (400 x 600 pixels, 33 rows) painted at the top and in the middle of the tree.
void PaintScreen(benchmark::State& state) {
    const int64_t n = state.range(0);
    const bool middle = state.range(1) != 0;
    TPaintedTree tree;
    BuildSquare(tree, n);
    TBitmap screen(400, 600, pf32bit);
    const int top = middle ? int(tree.RootTotalHeight() / 2) : 0;
    tree.TreeOptions()->SetPaintOptions(tree.TreeOptions()->PaintOptions() |
                                        tree_options::toShowHorzGridLines);
    for (auto _ : state)
        tree.RenderToCanvas(screen.Canvas(), TRect(0, top, 400, top + 600), TPoint(0, 0),
                            DefaultRenderOptions);
    state.counters["rows"] = tree.LastPaintedRows();
}

// Sorting N top-level nodes by a random key (stable merge of the sibling list).
void SortRoots(benchmark::State& state) {
    const int64_t n = state.range(0);
    double total = 0;
    int64_t comparisons = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto tree = std::make_unique<TBaseVirtualTree>(nullptr);
        tree->SetNodeDataSize(sizeof(uint32_t));
        std::mt19937 random(12345);
        tree->BeginUpdate();
        tree->SetRootNodeCount(Cardinal(n));
        tree->EndUpdate();
        for (PVirtualNode node = tree->FirstNodeNoInit(); node; node = node->NextSibling)
            *tree->NodeData<uint32_t>(node) = random();
        tree->OnCompareNodes = [&comparisons](TBaseVirtualTree* t, PVirtualNode a, PVirtualNode b,
                                              TColumnIndex, int& result) {
            ++comparisons;
            const uint32_t x = *t->NodeData<uint32_t>(a), y = *t->NodeData<uint32_t>(b);
            result = x < y ? -1 : x > y ? 1 : 0;
        };
        state.ResumeTiming();
        auto start = std::chrono::steady_clock::now();
        tree->SortTree(nullptr, 0, TSortDirection::sdAscending, false);
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.PauseTiming();
        tree.reset();
        state.ResumeTiming();
    }
    SetPerNode(state, total / double(state.iterations()), n);
    state.counters["comparisons_per_node"] =
        double(comparisons) / double(state.iterations()) / double(n);
}

// Scrolling the last node of a square tree into view and back to the first.
void ScrollDeepNodeIntoView(benchmark::State& state) {
    const int64_t n = state.range(0);
    TBaseVirtualTree tree(nullptr);
    BuildSquare(tree, n);
    PVirtualNode last = tree.LastNodeNoInit(nullptr);
    PVirtualNode first = tree.FirstNodeNoInit();
    for (auto _ : state) {
        benchmark::DoNotOptimize(tree.ScrollIntoView(last, false, false));
        benchmark::DoNotOptimize(tree.ScrollIntoView(first, false, false));
    }
}

// Bytes per node of an expanded square tree with a header: its node slabs and its heap.
void MemoryPerNode(benchmark::State& state) {
    const int64_t n = state.range(0);
    double bytes = 0;
    for (auto _ : state) {
        const struct mallinfo2 before = mallinfo2();
        auto tree = std::make_unique<TBaseVirtualTree>(nullptr);
        tree->SetNodeDataSize(sizeof(uint32_t));
        for (int i = 0; i < 3; ++i)
            tree->Header()->Columns()->Add();
        BuildSquare(*tree, n);
        const struct mallinfo2 after = mallinfo2();
        // Node records live in the tree's slabs; everything else comes from the heap.
        bytes = double((after.uordblks + after.hblkhd) - (before.uordblks + before.hblkhd)) +
                double(tree->NodeStorageBytes());
        tree.reset();
    }
    state.counters["bytes_per_node"] = bytes / double(n);
}

} // namespace

#define TREE_BENCH_ADD(name)                                                                       \
    BENCHMARK(name)                                                                                \
        ->ArgNames({"nodes"})                                                                      \
        ->Arg(10000)                                                                               \
        ->Arg(100000)                                                                              \
        ->Arg(1000000)                                                                             \
        ->Unit(benchmark::kMillisecond)                                                            \
        ->UseRealTime()

#define TREE_BENCH(name)                                                                           \
    BENCHMARK(name)                                                                                \
        ->ArgNames({"nodes", "cold"})                                                              \
        ->ArgsProduct({{10000, 100000, 1000000, 10000000}, {1, 0}})                                \
        ->Unit(benchmark::kMillisecond)                                                            \
        ->UseRealTime()

TREE_BENCH_ADD(AddRootNodes);
TREE_BENCH_ADD(AddRootNodesByCount);
TREE_BENCH_ADD(AddDeepChain);
TREE_BENCH(ExpandAllChain);
TREE_BENCH(ExpandAllTwoLevels);
TREE_BENCH(CollapseAllChain);
TREE_BENCH(WalkAllRoots);
TREE_BENCH(WalkAllChain);
TREE_BENCH(WalkVisibleChain);
TREE_BENCH(DeleteAllRoots);
TREE_BENCH(DeleteAllChain);
TREE_BENCH(DeleteRootsOneByOne);
// A thousand hit tests each walk the top-level nodes, so this one stops at a million nodes.
BENCHMARK(NodeAtPointAfterExpand)
    ->ArgNames({"nodes", "cold"})
    ->ArgsProduct({{10000, 100000, 1000000}, {1, 0}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The fastest of the repetitions: other work on the machine only ever slows a run down.
double Fastest(const std::vector<double>& v) {
    return *std::min_element(v.begin(), v.end());
}

BENCHMARK(PaintScreen)
    ->ComputeStatistics("min", Fastest)
    ->ArgNames({"nodes", "middle"})
    ->ArgsProduct({{10000, 1000000}, {0, 1}})
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime();
BENCHMARK(SortRoots)
    ->ComputeStatistics("min", Fastest)
    ->ArgNames({"nodes"})
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(ScrollDeepNodeIntoView)
    ->ComputeStatistics("min", Fastest)
    ->ArgNames({"nodes"})
    ->Arg(10000)
    ->Arg(1000000)
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime();
BENCHMARK(MemoryPerNode)
    ->ArgNames({"nodes"})
    ->Arg(10000)
    ->Arg(100000)
    ->Arg(1000000)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// ---- Streaming --------------------------------------------------------------------------------

void SetupStreamTree(TBaseVirtualTree& tree) {
    tree.SetNodeDataSize(4);
    tree.OnSaveNode = [](TBaseVirtualTree* t, PVirtualNode n, TStream& s) {
        s.WriteBuffer(t->NodeData<int32_t>(n), 4);
    };
    tree.OnLoadNode = [](TBaseVirtualTree* t, PVirtualNode n, TStream& s) {
        s.ReadBuffer(t->NodeData<int32_t>(n), 4);
    };
}

void BuildStreamTree(TBaseVirtualTree& tree, int64_t n) {
    SetupStreamTree(tree);
    tree.BeginUpdate();
    int32_t tag = 0;
    for (int64_t i = 0; i < n / 10; ++i) {
        PVirtualNode top = tree.AddChild(nullptr);
        *tree.NodeData<int32_t>(top) = ++tag;
        for (int c = 0; c < 9; ++c)
            *tree.NodeData<int32_t>(tree.AddChild(top)) = ++tag;
        if (i % 3 == 0) tree.SetExpanded(top, true);
    }
    tree.EndUpdate();
}

void SaveTree(benchmark::State& state) {
    const int64_t n = state.range(0);
    TBaseVirtualTree tree(nullptr);
    BuildStreamTree(tree, n);
    double total = 0;
    for (auto _ : state) {
        TMemoryStream stream;
        auto start = std::chrono::steady_clock::now();
        tree.SaveToStream(stream);
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        benchmark::DoNotOptimize(stream.Memory());
    }
    SetPerNode(state, total / double(state.iterations()), n);
}
BENCHMARK(SaveTree)
    ->ComputeStatistics("min", Fastest)
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond);

// Overwrites more memory than the caches hold, so that what comes next starts from memory.
void SweepCaches() {
    static std::vector<char> sweep(size_t(128) << 20);
    for (size_t i = 0; i < sweep.size(); i += 64)
        sweep[i] = char(sweep[i] + 1);
    benchmark::DoNotOptimize(sweep.data());
}

void LoadTree(benchmark::State& state) {
    const int64_t n = state.range(0);
    const bool cold = state.range(1) != 0;
    TMemoryStream stream;
    {
        TBaseVirtualTree source(nullptr);
        BuildStreamTree(source, n);
        source.SaveToStream(stream);
    }
    const size_t bytes = size_t(stream.Size());
    double load = 0, copying = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto tree = std::make_unique<TBaseVirtualTree>(nullptr);
        SetupStreamTree(*tree);
        stream.SetPosition(0);
        if (cold) SweepCaches();
        state.ResumeTiming();
        auto start = std::chrono::steady_clock::now();
        tree->LoadFromStream(stream);
        load += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.PauseTiming();
        if (tree->TotalCount() != Cardinal(n)) state.SkipWithError("wrong node count");
        tree.reset();
        // The same bytes copied, into memory as fresh as the tree's records were.
        std::unique_ptr<uint8_t[]> target(new uint8_t[bytes]);
        if (cold) SweepCaches();
        auto copyStart = std::chrono::steady_clock::now();
        std::memcpy(target.get(), stream.Memory(), bytes);
        copying +=
            std::chrono::duration<double>(std::chrono::steady_clock::now() - copyStart).count();
        benchmark::DoNotOptimize(target.get());
        state.ResumeTiming();
    }
    SetPerNode(state, load / double(state.iterations()), n);
    state.counters["vs_memcpy"] = load / copying;
    state.counters["stream_bytes"] = double(bytes);
}
BENCHMARK(LoadTree)
    ->ComputeStatistics("min", Fastest)
    ->ArgNames({"nodes", "cold"})
    ->ArgsProduct({{100000, 1000000}, {0, 1}})
    ->Unit(benchmark::kMillisecond);

// Saving against loading, both in one run on the same tree and stream: "save_vs_load" is the
// median save time over the median load time (at most 3).
double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

void SaveVsLoad(benchmark::State& state) {
    const int64_t n = state.range(0);
    TBaseVirtualTree source(nullptr);
    BuildStreamTree(source, n);
    std::vector<double> saves, loads;
    for (auto _ : state) {
        TMemoryStream stream;
        auto start = std::chrono::steady_clock::now();
        source.SaveToStream(stream);
        saves.push_back(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        state.PauseTiming();
        auto tree = std::make_unique<TBaseVirtualTree>(nullptr);
        SetupStreamTree(*tree);
        stream.SetPosition(0);
        state.ResumeTiming();
        start = std::chrono::steady_clock::now();
        tree->LoadFromStream(stream);
        loads.push_back(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        state.PauseTiming();
        if (tree->TotalCount() != Cardinal(n)) state.SkipWithError("wrong node count");
        tree.reset();
        state.ResumeTiming();
    }
    const double save = Median(saves), load = Median(loads);
    state.counters["save_ns_per_node"] = save * 1e9 / double(n);
    state.counters["load_ns_per_node"] = load * 1e9 / double(n);
    state.counters["save_vs_load"] = save / load;
}
BENCHMARK(SaveVsLoad)->Arg(100000)->Iterations(21)->Unit(benchmark::kMillisecond);
BENCHMARK(SaveVsLoad)->Arg(1000000)->Iterations(7)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
