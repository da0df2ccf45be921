// Reading and writing a 10 MB RTF document against reading and writing the same document as
// RVF. Target: RTF reading within 3x of RVF reading (counter "rtf_over_rvf" of ReadRatio,
// both measured in the same run). With one item in ten a hyperlink (LinkedReadRatio, 1 MB and
// 8 MB of RTF read in the same run): the larger document within 9x the time of the smaller one,
// and RTF within 3x of RVF.

#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>
#include <string>

#include "bench/ThreadCpuClock.h"
#include "richtext/document/RVRTFReader.h"

using namespace epc;

namespace {

struct Fixture {
    TRVStyle style{nullptr};
    TRVDocument doc;
    std::string rtf, rvf;

    Fixture() {
        style.TextStyles.Add().Style.Include(TRVFontStyle::rvfsBold);
        TFontInfo& wide = style.TextStyles.Add();
        wide.Unicode = true;
        wide.Color = clNavy;
        TFontInfo& cyr = style.TextStyles.Add();
        cyr.Charset = RUSSIAN_CHARSET;
        cyr.FontName = "Times New Roman";
        style.ParaStyles.Add().LeftIndent = 20;
        style.ParaStyles[1].Alignment = TRVAlignment::rvaCenter;
        doc.SetRVStyle(&style);
        // Paragraphs needed for 10 MB of RTF, estimated from a small document of the same make.
        Fill(1000);
        size_t small = Rtf().size();
        doc.ClearAllItems();
        Fill(int(10.0 * 1024 * 1024 / (double(small) / 1000)) + 1);
        rtf = Rtf();
        TMemoryStream ms;
        doc.SaveToRvfStream(ms, false);
        rvf = ms.DataString();
    }

    void Fill(int paragraphs) {
        const std::string words =
            "The quick brown fox jumps over the lazy dog while the exam clock keeps ticking ";
        const std::u16string wide = u"Unicode text \u00E9\u00E8\u00EA \u041F\u0440\u0438 ";
        const std::string cyrillic = "\xCF\xF0\xE8\xE2\xE5\xF2 ";
        for (int i = 0; i < paragraphs; ++i) {
            doc.AddTextParagraph(words + std::to_string(i), 0, i % 2, TRVTag());
            doc.AddTextParagraph("bold part", 1, -1, TRVTag());
            doc.AddTextParagraphW(wide, 2, -1, TRVTag());
            doc.AddTextParagraph(cyrillic, 3, -1, TRVTag());
            if (i % 50 == 0) doc.AddBreak();
        }
    }

    std::string Rtf() {
        TMemoryStream ms;
        doc.WriteRtfToStream(ms, false, clNone);
        return ms.DataString();
    }
};

Fixture& Data() {
    static Fixture f;
    return f;
}

// Paragraphs of five to eight items, one item in ten a hyperlink with its own target.
struct LinkedFixture {
    TRVStyle style{nullptr};
    TRVDocument doc;
    std::string rtf, rvf;

    explicit LinkedFixture(int megabytes) {
        TFontInfo& link = style.TextStyles.Add();
        link.Jump = true;
        link.Color = clBlue;
        link.Style.Include(TRVFontStyle::rvfsUnderline);
        style.TextStyles.Add().Style.Include(TRVFontStyle::rvfsItalic);
        style.ParaStyles.Add().Alignment = TRVAlignment::rvaJustify;
        doc.SetRVStyle(&style);
        doc.SetOptions(doc.GetOptions() | TRVOption::rvoTagsArePChars);
        const size_t target = size_t(megabytes) << 20;
        int itemNo = 0;
        while (Rtf().size() < target) {
            // Grown in steps of about a tenth, so that the sizes land near the target.
            for (size_t bytes = 0; bytes < target / 10; ++itemNo) {
                const std::string text =
                    "configure the router interface " + std::to_string(itemNo) + " ";
                const bool first = itemNo % 6 == 0;
                if (itemNo % 10 == 9)
                    doc.AddTextParagraph(
                        text, 1, first ? 1 : -1,
                        TRVTag::FromString("https://example.org/q/" + std::to_string(itemNo)));
                else
                    doc.AddTextParagraph(text, itemNo % 7 == 3 ? 2 : 0, first ? itemNo % 2 : -1,
                                         TRVTag());
                bytes += text.size() + 40;
            }
        }
        rtf = Rtf();
        TMemoryStream ms;
        doc.SaveToRvfStream(ms, false);
        rvf = ms.DataString();
    }

    std::string Rtf() {
        TMemoryStream ms;
        doc.WriteRtfToStream(ms, false, clNone);
        return ms.DataString();
    }
};

LinkedFixture& LinkedData(int megabytes) {
    static LinkedFixture small(1), large(8);
    return megabytes == 1 ? small : large;
}

// A document with a copy of the sheet, as a paste into a viewer reads into.
struct ReadTarget {
    TRVStyle style{nullptr};
    TRVDocument doc;

    explicit ReadTarget(const TRVStyle& sheet) {
        style.TextStyles.Assign(sheet.TextStyles);
        style.ParaStyles.Assign(sheet.ParaStyles);
        doc.SetRVStyle(&style);
        doc.SetOptions(doc.GetOptions() | TRVOption::rvoTagsArePChars);
    }

    size_t ReadRtf(const std::string& rtf) {
        TStringStream in(rtf);
        TRVRTFReaderProperties props;
        int index = 0;
        if (props.ImportRtfStream(&doc, in, index) != rtf_ec_OK) return 0;
        return size_t(doc.ItemCount());
    }

    size_t ReadRvf(const std::string& rvf) {
        TStringStream in(rvf);
        if (!doc.LoadFromRvfStream(in)) return 0;
        return size_t(doc.ItemCount());
    }
};

size_t ReadRtfOnce(const std::string& rtf, const TRVStyle& sheet = Data().style) {
    ReadTarget target(sheet);
    return target.ReadRtf(rtf);
}

size_t ReadRvfOnce(const std::string& rvf, const TRVStyle& sheet = Data().style) {
    ReadTarget target(sheet);
    return target.ReadRvf(rvf);
}

void ReadRtf(benchmark::State& state) {
    const std::string& rtf = Data().rtf;
    for (auto _ : state)
        benchmark::DoNotOptimize(ReadRtfOnce(rtf));
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(rtf.size()));
}

void ReadRvf(benchmark::State& state) {
    const std::string& rvf = Data().rvf;
    for (auto _ : state)
        benchmark::DoNotOptimize(ReadRvfOnce(rvf));
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(rvf.size()));
}

void WriteRtf(benchmark::State& state) {
    for (auto _ : state) {
        TMemoryStream ms;
        Data().doc.WriteRtfToStream(ms, false, clNone);
        benchmark::DoNotOptimize(ms.Size());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(Data().rtf.size()));
}

void WriteRvf(benchmark::State& state) {
    for (auto _ : state) {
        TMemoryStream ms;
        Data().doc.SaveToRvfStream(ms, false);
        benchmark::DoNotOptimize(ms.Size());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(Data().rvf.size()));
}

// Both readers on the same document in each iteration; the counter is the time ratio.
void ReadRatio(benchmark::State& state) {
    using Clock = std::chrono::steady_clock;
    double rtfSeconds = 0, rvfSeconds = 0;
    for (auto _ : state) {
        auto t0 = Clock::now();
        size_t a = ReadRtfOnce(Data().rtf);
        auto t1 = Clock::now();
        size_t b = ReadRvfOnce(Data().rvf);
        auto t2 = Clock::now();
        if (a != b) state.SkipWithError("the two readers gave different documents");
        rtfSeconds += std::chrono::duration<double>(t1 - t0).count();
        rvfSeconds += std::chrono::duration<double>(t2 - t1).count();
    }
    state.counters["rtf_over_rvf"] = rvfSeconds > 0 ? rtfSeconds / rvfSeconds : 0;
    state.counters["rtf_mb"] = double(Data().rtf.size()) / (1024 * 1024);
    state.counters["rvf_mb"] = double(Data().rvf.size()) / (1024 * 1024);
}

// The linked documents are read into a document made beforehand and freed afterwards, outside
// the time: freeing is not reading, and the allocator's clean-up of a large document would
// weigh on the larger size only.
template <bool Rtf> void ReadLinked(benchmark::State& state) {
    LinkedFixture& f = LinkedData(int(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        auto target = std::make_unique<ReadTarget>(f.style);
        state.ResumeTiming();
        benchmark::DoNotOptimize(Rtf ? target->ReadRtf(f.rtf) : target->ReadRvf(f.rvf));
        state.PauseTiming();
        target.reset();
        state.ResumeTiming();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t((Rtf ? f.rtf : f.rvf).size()));
}

void ReadLinkedRtf(benchmark::State& state) {
    ReadLinked<true>(state);
}

void ReadLinkedRvf(benchmark::State& state) {
    ReadLinked<false>(state);
}

// Both sizes and both formats in each iteration; the counters are ratios of processor time.
void LinkedReadRatio(benchmark::State& state) {
    using Clock = bench::ThreadCpuClock;
    LinkedFixture& small = LinkedData(1);
    LinkedFixture& large = LinkedData(8);
    double rtfSmall = 0, rtfLarge = 0, rvfLarge = 0;
    auto timed = [](const TRVStyle& sheet, auto read, double& seconds) {
        ReadTarget target(sheet);
        const auto from = Clock::now();
        const size_t items = read(target);
        seconds += std::chrono::duration<double>(Clock::now() - from).count();
        return items;
    };
    for (auto _ : state) {
        const size_t a = timed(
            small.style, [&](ReadTarget& t) { return t.ReadRtf(small.rtf); }, rtfSmall);
        const size_t b = timed(
            large.style, [&](ReadTarget& t) { return t.ReadRtf(large.rtf); }, rtfLarge);
        const size_t c = timed(
            large.style, [&](ReadTarget& t) { return t.ReadRvf(large.rvf); }, rvfLarge);
        if (a == 0 || b == 0 || c == 0) state.SkipWithError("a document was not read");
    }
    state.counters["rtf_8x_over_1x"] = rtfLarge / rtfSmall;
    state.counters["rtf_over_rvf"] = rtfLarge / rvfLarge;
    state.counters["size_ratio"] = double(large.rtf.size()) / double(small.rtf.size());
}

} // namespace

BENCHMARK(ReadLinkedRtf)->Arg(1)->Arg(8)->Unit(benchmark::kMillisecond);
BENCHMARK(ReadLinkedRvf)->Arg(1)->Arg(8)->Unit(benchmark::kMillisecond);
BENCHMARK(LinkedReadRatio)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(ReadRtf)->Unit(benchmark::kMillisecond);
BENCHMARK(ReadRvf)->Unit(benchmark::kMillisecond);
BENCHMARK(WriteRtf)->Unit(benchmark::kMillisecond);
BENCHMARK(WriteRvf)->Unit(benchmark::kMillisecond);
BENCHMARK(ReadRatio)->Unit(benchmark::kMillisecond)->Iterations(5);

BENCHMARK_MAIN();
