// Inserting a 1 MB RTF document at the caret of an editor against loading the same document
// into an empty one (both laid out): the "ratio" counter is insert time / load time, to stay
// below 2.

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>

#include "bench/BenchMain.h"
#include "platform/context/PlatformContext.h"
#include "platform/controls/Forms.h"
#include "platform/core/Streams.h"
#include "richtext/edit/RVEdit.h"

namespace {

using namespace epc;

struct Editors {
    TForm* Form = nullptr;
    TRVStyle* Style = nullptr;
    TRichViewEdit* Edit = nullptr;
    std::string Rtf;
};

TRichViewEdit* NewEditor(Editors& e) {
    auto* edit = new TRichViewEdit(e.Form);
    edit->SetParent(e.Form);
    edit->SetBorderStyle(bsNone);
    edit->SetBounds(0, 0, 600, 400);
    edit->SetStyle(e.Style);
    return edit;
}

Editors& Get() {
    static Editors e;
    if (e.Edit) return e;
    e.Form = new TForm(nullptr);
    e.Form->SetBounds(0, 0, 700, 500);
    e.Style = new TRVStyle(e.Form);
    e.Style->TextStyles[0].FontName = "Fixed Metrics Test";
    e.Style->TextStyles[0].Size = 15;
    TFontInfo& bold = e.Style->TextStyles.Add();
    bold = e.Style->TextStyles[0];
    bold.Style = TRVFontStyles{TRVFontStyle::rvfsBold};
    // The source: paragraphs of plain and bold runs, written as RTF until it passes 1 MB.
    TRichViewEdit* source = NewEditor(e);
    for (int i = 0; i < 9000; ++i) {
        source->AppendTextParagraph("Paragraph " + std::to_string(i) + " of the question text, ", 0,
                                    0);
        source->AppendTextParagraph("with a bold part", 1, -1);
        source->AppendTextParagraph(" and the rest of its words after it.", 0, -1);
    }
    TMemoryStream stream;
    source->WriteRtfStream(stream, false);
    e.Rtf.assign(reinterpret_cast<const char*>(stream.Memory()), size_t(stream.Size()));
    e.Edit = NewEditor(e);
    return e;
}

void Fill(TMemoryStream& stream, const std::string& bytes) {
    stream.Write(bytes.data(), int64_t(bytes.size()));
    stream.SetPosition(0);
}

double SecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void BM_InsertRtfAtCaretVersusLoad(benchmark::State& state) {
    Editors& e = Get();
    double loadTime = 0, insertTime = 0;
    for (auto _ : state) {
        // Loading into an empty document.
        e.Edit->ClearDocument();
        TMemoryStream load;
        Fill(load, e.Rtf);
        auto start = std::chrono::steady_clock::now();
        e.Edit->LoadRtfStream(load);
        e.Edit->Format();
        loadTime += SecondsSince(start);
        const int loadedItems = e.Edit->GetItemCount();
        // Inserting at the caret, inside a short paragraph.
        e.Edit->ClearDocument();
        e.Edit->AppendTextParagraph("before after", 0, 0);
        e.Edit->Format();
        e.Edit->EditData()->PlaceCaretAt(0, 8);
        TMemoryStream insert;
        Fill(insert, e.Rtf);
        start = std::chrono::steady_clock::now();
        if (!e.Edit->InsertRTFFromStream(insert, "")) state.SkipWithError("not inserted");
        insertTime += SecondsSince(start);
        // Both documents hold the same content, laid out to its end (the caret's paragraph
        // is joined with the first and last inserted paragraphs).
        TRVEditRVData* data = e.Edit->EditData();
        if (std::abs(e.Edit->GetItemCount() - loadedItems) > 2 ||
            data->DrawItems[data->DrawItems.Count() - 1]->ItemNo != data->ItemCount() - 1)
            state.SkipWithError("the insertion differs from the load");
    }
    state.counters["ratio"] = insertTime / loadTime;
    state.counters["rtf_bytes"] = double(e.Rtf.size());
    state.counters["load_ms"] = 1e3 * loadTime / double(state.iterations());
    state.counters["insert_ms"] = 1e3 * insertTime / double(state.iterations());
}
BENCHMARK(BM_InsertRtfAtCaretVersusLoad)->Iterations(3)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    epc::TPlatformContext context;
    return epc::bench::RunBenchmarks(argc, argv);
}
