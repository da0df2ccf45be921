// Loading and saving a 10 MB RVF document, next to a plain line split of the same bytes.

#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "richtext/document/RVData.h"

using namespace epc;

namespace {

struct Fixture {
    TRVStyle style{nullptr};
    std::string textRvf, binaryRvf;

    Fixture() {
        style.TextStyles.Add().Style.Include(TRVFontStyle::rvfsBold);
        style.TextStyles.Add().Unicode = true;
        style.ParaStyles.Add().LeftIndent = 20;
        TRVListLevel& level = style.ListStyles.Add().AddLevel();
        level.ListType = TRVListType::rvlstDecimal;
        level.FormatString = "%0:s.";
        textRvf = Build(false);
        binaryRvf = Build(true);
    }

    std::string Build(bool binary) {
        // Paragraphs needed for 10 MB, estimated from a small document of the same make.
        size_t small = Make(binary, 1000).size();
        int count = int(10.0 * 1024 * 1024 / (double(small) / 1000)) + 1;
        return Make(binary, count);
    }

    std::string Make(bool binary, int paragraphs) {
        TRVDocument data;
        data.SetRVStyle(&style);
        if (binary) data.SetRVFOptions(data.GetRVFOptions() | TRVFOption::rvfoSaveBinary);
        const std::string words =
            "The quick brown fox jumps over the lazy dog while the exam clock keeps ticking ";
        const std::u16string wide = u"Unicode text \u00E9\u00E8\u00EA \u041F\u0440\u0438 ";
        for (int i = 0; i < paragraphs; ++i) {
            data.AddTextParagraph(words + std::to_string(i), 0, i % 2, TRVTag(i));
            data.AddTextParagraph("bold part", 1, -1, TRVTag());
            data.AddTextParagraphW(wide, 2, -1, TRVTag());
            if (i % 50 == 0) data.AddBreak();
            if (i % 10 == 0) {
                // Numbered paragraphs and checkpoints, as question banks have them.
                data.SetParagraphMarker(data.ItemCount() - 1, 0, 0, 1, false);
                data.SetCheckpointInfo(data.ItemCount() - 1, "cp" + std::to_string(i), TRVTag(),
                                       false);
            }
        }
        TMemoryStream ms;
        data.SaveToRvfStream(ms, false);
        return ms.DataString();
    }
};

Fixture& Data() {
    static Fixture f;
    return f;
}

void LineSplit(benchmark::State& state, const std::string& bytes) {
    for (auto _ : state) {
        std::vector<std::string_view> lines;
        lines.reserve(bytes.size() / 32);
        const char* p = bytes.data();
        const char* end = p + bytes.size();
        while (p < end) {
            const char* nl = static_cast<const char*>(std::memchr(p, '\n', size_t(end - p)));
            const char* stop = nl ? nl : end;
            lines.emplace_back(p, size_t(stop - p));
            p = nl ? nl + 1 : end;
        }
        benchmark::DoNotOptimize(lines.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes.size()));
}

void Load(benchmark::State& state, const std::string& bytes) {
    TStringStream ss(bytes);
    for (auto _ : state) {
        auto data = std::make_unique<TRVDocument>();
        data->SetRVStyle(&Data().style);
        ss.SetPosition(0);
        if (!data->LoadFromRvfStream(ss)) state.SkipWithError("load failed");
        benchmark::DoNotOptimize(data->ItemCount());
        // Freeing the document is not part of loading it.
        state.PauseTiming();
        data.reset();
        state.ResumeTiming();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes.size()));
}

void Save(benchmark::State& state, const std::string& bytes, bool binary) {
    TRVDocument data;
    data.SetRVStyle(&Data().style);
    TStringStream ss(bytes);
    data.LoadFromRvfStream(ss);
    if (binary) data.SetRVFOptions(data.GetRVFOptions() | TRVFOption::rvfoSaveBinary);
    for (auto _ : state) {
        TMemoryStream out;
        data.SaveToRvfStream(out, false);
        benchmark::DoNotOptimize(out.Memory());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes.size()));
}

void BM_LineSplitText(benchmark::State& s) {
    LineSplit(s, Data().textRvf);
}
void BM_LoadText(benchmark::State& s) {
    Load(s, Data().textRvf);
}
void BM_SaveText(benchmark::State& s) {
    Save(s, Data().textRvf, false);
}
void BM_LineSplitBinary(benchmark::State& s) {
    LineSplit(s, Data().binaryRvf);
}
void BM_LoadBinary(benchmark::State& s) {
    Load(s, Data().binaryRvf);
}
void BM_SaveBinary(benchmark::State& s) {
    Save(s, Data().binaryRvf, true);
}

} // namespace

BENCHMARK(BM_LineSplitText)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadText)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveText)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LineSplitBinary)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadBinary)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveBinary)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
