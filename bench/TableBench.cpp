// Formatting a five-column table grows linearly with its row count.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "richtext/table/RVTable.h"
#include "tests/richtext/view/TestRVData.h"

namespace {

using namespace epc;

struct BenchTable {
    std::unique_ptr<TRVStyle> Style = test::MakeFixedStyle();
    std::unique_ptr<test::TTestRVData> Data;
    TRVTableItemInfo* Table = nullptr;
};

// A score-list table: Rows rows of five cells, a number, a name, two scores and a result.
std::unique_ptr<BenchTable> MakeTable(int rows) {
    auto slot = std::make_unique<BenchTable>();
    slot->Data = std::make_unique<test::TTestRVData>(slot->Style.get());
    auto table = TRVTableItemInfo::CreateSized(rows, slot->Data.get(), 5);
    slot->Table = table.get();
    const char* texts[] = {"", "Candidate name", "870", "92%", "Passed"};
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < 5; ++c) {
            TRVTableCellData* cell = table->GetCell(r, c);
            cell->ClearAllItems();
            cell->AddTextParagraph(c == 0 ? std::to_string(r + 1) : texts[c], 0, 0, TRVTag());
        }
    table->SetCellBestWidth(-40, 0, 1);
    table->SetCellBestWidth(60, 0, 0);
    slot->Data->AppendItem(std::string(), std::move(table));
    slot->Table->Inserted(slot->Data.get(), 0);
    return slot;
}

BenchTable* GetTable(int rows) {
    static std::map<int, std::unique_ptr<BenchTable>> tables;
    auto& slot = tables[rows];
    if (!slot) slot = MakeTable(rows);
    return slot.get();
}

double FormatSeconds(BenchTable* t) {
    const auto start = std::chrono::steady_clock::now();
    t->Table->FormatForDocWidth(600, t->Data->GetCanvas(), true);
    benchmark::DoNotOptimize(t->Table->GetFormattedHeight());
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void BM_FormatTable(benchmark::State& state) {
    BenchTable* t = GetTable(int(state.range(0)));
    for (auto _ : state)
        FormatSeconds(t);
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_FormatTable)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

// Both sizes in one run: the ratio of the best times of 10,000 and 1,000 rows (linear: about
// 10). Best times keep the load of a shared machine out of the ratio.
void BM_FormatTableRatio(benchmark::State& state) {
    BenchTable* small = GetTable(1000);
    BenchTable* large = GetTable(10000);
    double smallTime = 1e9, largeTime = 1e9;
    for (auto _ : state) {
        for (int i = 0; i < 10; ++i)
            smallTime = std::min(smallTime, FormatSeconds(small));
        largeTime = std::min(largeTime, FormatSeconds(large));
    }
    state.counters["ratio"] = largeTime / smallTime;
}
BENCHMARK(BM_FormatTableRatio)->Iterations(5)->Unit(benchmark::kMillisecond);

// The same with the small tables taking as much memory as the large one: ten tables of 1,000
// rows formatted one after the other against one of 10,000, so that the ratio shows the work
// per row and not how much of the table the processor caches hold.
void BM_FormatTableRatioSameMemory(benchmark::State& state) {
    std::vector<std::unique_ptr<BenchTable>> smalls;
    for (int i = 0; i < 10; ++i)
        smalls.push_back(MakeTable(1000));
    BenchTable* large = GetTable(10000);
    double smallTime = 1e9, largeTime = 1e9;
    for (auto _ : state) {
        double t = 0;
        for (auto& small : smalls)
            t += FormatSeconds(small.get());
        smallTime = std::min(smallTime, t / 10);
        largeTime = std::min(largeTime, FormatSeconds(large));
    }
    state.counters["ratio"] = largeTime / smallTime;
}
BENCHMARK(BM_FormatTableRatioSameMemory)->Iterations(5)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
