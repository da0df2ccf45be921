// Formatting speed of a document of styled paragraphs, and the number of text-measuring calls
// the line breaker makes per line. A one-paragraph reformat that adds or removes drawing items
// in the 8 MB document (one item in ten a hyperlink) against a full format of it, in one run:
// at least 100 times faster.

#include <benchmark/benchmark.h>

#include <chrono>
#include <map>
#include <memory>
#include <random>
#include <string>

#include "bench/ThreadCpuClock.h"
#include "richtext/document/RVUni.h"
#include "tests/richtext/view/TestRVData.h"

namespace {

using namespace epc;

struct BenchDoc {
    std::unique_ptr<TRVStyle> Style;
    std::unique_ptr<test::TTestRVData> Data;
    int64_t Bytes = 0;
};

// About Megabytes MB of text: paragraphs of 300 to 700 characters made of items in three text
// styles (a hyperlink among them), a few justified, centred and indented paragraphs.
BenchDoc* GetDoc(int megabytes) {
    static std::map<int, std::unique_ptr<BenchDoc>> docs;
    auto& slot = docs[megabytes];
    if (slot) return slot.get();
    slot = std::make_unique<BenchDoc>();
    BenchDoc& doc = *slot;
    doc.Style = std::make_unique<TRVStyle>(nullptr);
    TRVStyle& st = *doc.Style;
    st.TextStyles.GetItem(0).FontName = "Arial";
    st.TextStyles.GetItem(0).Size = 10;
    TFontInfo& bold = st.TextStyles.Add();
    bold.FontName = "Times New Roman";
    bold.Size = 12;
    bold.Style.Include(TRVFontStyle::rvfsBold);
    TFontInfo& link = st.TextStyles.Add();
    link.FontName = "Arial";
    link.Size = 10;
    link.Jump = true;
    st.ParaStyles.Add().Alignment = TRVAlignment::rvaJustify;
    st.ParaStyles.Add().Alignment = TRVAlignment::rvaCenter;
    TParaInfo& indented = st.ParaStyles.Add();
    indented.LeftIndent = 20;
    indented.FirstIndent = 15;
    indented.SpaceBefore = 4;

    doc.Data = std::make_unique<test::TTestRVData>(doc.Style.get());
    doc.Data->LeftMargin = doc.Data->RightMargin = 5;
    std::mt19937 rng(42);
    const char* words[] = {"the",      "question", "answer",  "network",   "configure",
                           "router",   "a",        "of",      "interface", "address",
                           "select",   "two",      "which",   "statement", "describes",
                           "protocol", "is",       "correct", "explain",   "administrator"};
    const int64_t target = int64_t(megabytes) << 20;
    while (doc.Bytes < target) {
        int para = int(rng() % 4);
        int paraLen = 300 + int(rng() % 400);
        int written = 0;
        bool firstItem = true;
        while (written < paraLen) {
            std::string text;
            int itemLen = 40 + int(rng() % 160);
            while (int(text.size()) < itemLen) {
                text += words[rng() % 20];
                text += ' ';
            }
            int styleNo = int(rng() % 10);
            styleNo = styleNo < 7 ? 0 : (styleNo < 9 ? 1 : 2);
            doc.Data->AddTextParagraph(text, styleNo, firstItem ? para : -1, TRVTag());
            firstItem = false;
            written += int(text.size());
        }
        doc.Bytes += written;
    }
    return &doc;
}

void Format(benchmark::State& state, int megabytes, int width) {
    BenchDoc* doc = GetDoc(megabytes);
    doc->Data->ClientWidth = width;
    int64_t lines = 0;
    int64_t calls = 0;
    for (auto _ : state) {
        int64_t before = TCustomRVFormattedData::MeasureCallCount();
        doc->Data->Format(false);
        calls += TCustomRVFormattedData::MeasureCallCount() - before;
        lines = 0;
        for (int i = 0; i < doc->Data->DrawItems.Count(); ++i)
            if (doc->Data->DrawItems[i]->FromNewLine) ++lines;
    }
    state.SetBytesProcessed(state.iterations() * doc->Bytes);
    state.counters["lines"] = double(lines);
    state.counters["measures_per_line"] =
        double(calls) / double(state.iterations()) / double(std::max<int64_t>(lines, 1));
}

void BM_Format1MB(benchmark::State& state) {
    Format(state, 1, int(state.range(0)));
}
BENCHMARK(BM_Format1MB)->Arg(400)->Arg(800)->Unit(benchmark::kMillisecond);

// Growth with size: 4 MB should take close to four times as long as 1 MB.
void BM_FormatSize(benchmark::State& state) {
    Format(state, int(state.range(0)), 400);
}
BENCHMARK(BM_FormatSize)->Arg(1)->Arg(4)->Unit(benchmark::kMillisecond);

// The drawing items of an item.
void DrawRangeOfItem(const TCustomRVFormattedData& data, int itemNo, int& first, int& last) {
    first = last = data.GetFirstDrawItemNo(itemNo);
    while (last + 1 < data.DrawItems.Count() && data.DrawItems[last + 1]->ItemNo == itemNo)
        ++last;
}

// A text item of the middle of the document gets a few lines more and loses them again; each
// is one reformat of its paragraphs. A full format of the document is timed in the same
// iteration (processor time of the thread).
void BM_FormatParaVsFull(benchmark::State& state) {
    using Clock = bench::ThreadCpuClock;
    BenchDoc* doc = GetDoc(8);
    test::TTestRVData& data = *doc->Data;
    data.ClientWidth = 400;
    data.Format(false);
    int itemNo = data.ItemCount() / 2;
    while (data.GetItemStyleNo(itemNo) != 0)
        ++itemNo;
    const std::string original = data.GetItemText(itemNo);
    std::string longer = original;
    while (longer.size() < original.size() + 400)
        longer += "configure the router ";
    double fullSeconds = 0, addSeconds = 0, removeSeconds = 0;
    int64_t added = 0;
    auto reformatItem = [&](const std::string& text) {
        int first, last;
        DrawRangeOfItem(data, itemNo, first, last);
        const int before = data.DrawItems.Count();
        data.SetItemText(itemNo, text);
        const auto from = Clock::now();
        data.FormatParasOfDrawRange(first, last, 0);
        const double seconds = std::chrono::duration<double>(Clock::now() - from).count();
        added = data.DrawItems.Count() - before;
        return seconds;
    };
    for (auto _ : state) {
        addSeconds += reformatItem(longer);
        if (added <= 0) state.SkipWithError("no drawing items were added");
        removeSeconds += reformatItem(original);
        if (added >= 0) state.SkipWithError("no drawing items were removed");
        const auto from = Clock::now();
        data.Format(false);
        fullSeconds += std::chrono::duration<double>(Clock::now() - from).count();
    }
    const double n = double(state.iterations());
    state.counters["full_ms"] = fullSeconds / n * 1e3;
    state.counters["add_us"] = addSeconds / n * 1e6;
    state.counters["remove_us"] = removeSeconds / n * 1e6;
    state.counters["full_over_add"] = fullSeconds / addSeconds;
    state.counters["full_over_remove"] = fullSeconds / removeSeconds;
}
BENCHMARK(BM_FormatParaVsFull)->Iterations(3)->Unit(benchmark::kMillisecond);

// One paragraph held in a single item: each line should cost about its own length.
void BM_FormatLongItem(benchmark::State& state) {
    auto style = std::make_unique<TRVStyle>(nullptr);
    test::TTestRVData data(style.get());
    data.ClientWidth = 400;
    std::string text;
    while (int64_t(text.size()) < state.range(0))
        text += "configure the router interface ";
    data.AddTextParagraph(text, 0, 0, TRVTag());
    int64_t calls = 0;
    for (auto _ : state) {
        int64_t before = TCustomRVFormattedData::MeasureCallCount();
        data.Format(false);
        calls += TCustomRVFormattedData::MeasureCallCount() - before;
    }
    state.SetBytesProcessed(state.iterations() * int64_t(text.size()));
    state.counters["lines"] = double(data.DrawItems.Count());
    state.counters["measures_per_line"] =
        double(calls) / double(state.iterations()) / double(data.DrawItems.Count());
}
BENCHMARK(BM_FormatLongItem)->Arg(16 << 10)->Arg(256 << 10)->Unit(benchmark::kMillisecond);

// The line-break search alone, over UTF-16 text: Latin words (a space is near), a long word
// with hyphens and punctuation (the class pairs are read back to the hyphen), and CJK text with
// its punctuation (a break between almost any two characters). Each iteration asks for the break
// at or before every position of the text once.
std::u16string LineBreakSample(int kind) {
    std::u16string unit;
    switch (kind) {
    case 0:
        unit = u"configure the router interface, select the protocol (which is correct) ";
        break;
    case 1:
        unit = u"self-configuring/auto-negotiated\u00a0interface-address:192.168.0.1;\u2014";
        break;
    default:
        unit = u"\u8def\u7531\u5668\u306e\u8a2d\u5b9a\u3001\u30a4\u30f3\u30bf\u30fc"
               u"\u30d5\u30a7\u30fc\u30b9\u3092\u9078\u3076\u3002\u300c\u6b63\u3057"
               u"\u3044\u300d\uff08\u30d7\u30ed\u30c8\u30b3\u30eb\uff09";
        break;
    }
    std::u16string text;
    while (text.size() < 4096)
        text += unit;
    return text;
}

void BM_FindLineBreakPosW(benchmark::State& state) {
    const std::u16string text = LineBreakSample(int(state.range(0)));
    const int len = int(text.size());
    int64_t sum = 0;
    for (auto _ : state) {
        for (int i = 0; i < len; ++i)
            sum += FindLineBreakPosW(text.data(), len, i);
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * len);
}
BENCHMARK(BM_FindLineBreakPosW)->Arg(0)->Arg(1)->Arg(2);

// One UTF-16 paragraph in a single item, Latin words (Arg 0) or Cyrillic words with combining
// accents (Arg 1, outside the cluster search's shortcut): the breaker's class rules and the
// cluster steps of the fit search on every line.
void BM_FormatLongItemW(benchmark::State& state) {
    auto style = std::make_unique<TRVStyle>(nullptr);
    style->TextStyles.GetItem(0).Unicode = true;
    test::TTestRVData data(style.get());
    data.ClientWidth = 400;
    std::u16string text = state.range(0) == 0
                              ? LineBreakSample(0)
                              : u"\u043c\u0430\u0440\u0448\u0440\u0443\u0301\u0442 "
                                u"\u043f\u0440\u043e\u0442\u043e\u0301\u043a\u043e\u043b, "
                                u"(\u0430\u0301\u0434\u0440\u0435\u0441) ";
    while (text.size() < (64u << 10))
        text += text;
    data.AddTextParagraphW(text, 0, 0, TRVTag());
    for (auto _ : state)
        data.Format(false);
    state.SetItemsProcessed(state.iterations() * int64_t(text.size()));
    state.counters["lines"] = double(data.DrawItems.Count());
}
BENCHMARK(BM_FormatLongItemW)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
