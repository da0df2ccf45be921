// The viewer on a form: painting one screen of a long document (its cost should not depend on
// the document's length), scrolling by one page, loading a 10 MB RVF file into a viewer,
// formatting it and painting the first screen, end to end, and re-laying out one edited
// paragraph against formatting the whole document.

#include <benchmark/benchmark.h>

#include <chrono>
#include <map>
#include <memory>
#include <random>
#include <string>

#include "bench/BenchMain.h"
#include "platform/context/PlatformContext.h"
#include "platform/controls/Forms.h"
#include "platform/core/Streams.h"
#include "platform/testing/UserActions.h"
#include "richtext/view/RVRVData.h"
#include "richtext/view/RichView.h"

namespace {

using namespace epc;

struct Viewer {
    TForm* Form = nullptr;
    TRVStyle* Style = nullptr;
    TRichView* View = nullptr;
    int64_t Bytes = 0;
};

Viewer MakeViewer(int left) {
    Viewer v;
    v.Form = new TForm(nullptr);
    v.Form->SetBorderStyle(bsNone);
    v.Form->SetBounds(left, 0, 640, 480);
    v.Style = new TRVStyle(v.Form);
    v.Style->TextStyles[0].FontName = "Arial";
    v.Style->TextStyles[0].Size = 10;
    TFontInfo& bold = v.Style->TextStyles.Add();
    bold.FontName = "Times New Roman";
    bold.Size = 12;
    bold.Style.Include(TRVFontStyle::rvfsBold);
    TParaInfo& boxed = v.Style->ParaStyles.Add();
    boxed.Background.Color = clCream;
    boxed.Border.Style = TRVBorderStyle::rvbSingle;
    v.Style->ParaStyles.Add().Alignment = TRVAlignment::rvaJustify;
    v.View = new TRichView(v.Form);
    v.View->SetParent(v.Form);
    v.View->SetAlign(alClient);
    v.View->SetStyle(v.Style);
    return v;
}

// About Megabytes MB of text in paragraphs of mixed styles.
void Fill(Viewer& v, int megabytes) {
    std::mt19937 rng(7);
    const char* words[] = {"the",       "question",  "answer",   "network",   "configure", "router",
                           "a",         "of",        "select",   "interface", "address",   "which",
                           "statement", "describes", "protocol", "is",        "correct",   "two"};
    const int64_t target = int64_t(megabytes) << 20;
    while (v.Bytes < target) {
        const int para = int(rng() % 3);
        const int len = 200 + int(rng() % 500);
        int written = 0;
        bool first = true;
        while (written < len) {
            std::string text;
            const int itemLen = 40 + int(rng() % 120);
            while (int(text.size()) < itemLen) {
                text += words[rng() % 18];
                text += ' ';
            }
            v.View->AppendTextParagraph(text, rng() % 5 == 0 ? 1 : 0, first ? para : -1);
            first = false;
            written += int(text.size());
        }
        v.Bytes += written;
    }
}

Viewer* Shown(int megabytes) {
    static std::map<int, Viewer> viewers;
    auto it = viewers.find(megabytes);
    if (it != viewers.end()) return &it->second;
    Viewer v = MakeViewer(int(viewers.size()) * 20);
    Fill(v, megabytes);
    testing::ShowForm(v.Form);
    v.View->Format();
    testing::Pump();
    return &viewers.emplace(megabytes, v).first->second;
}

double PaintOnce(TRichView* view) {
    auto start = std::chrono::steady_clock::now();
    view->Invalidate();
    UpdateWindow(view->Handle());
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// One screen in the middle of a 1 MB and of an 8 MB document, painted in turns; the counter
// gives the 8 MB screen's time over the 1 MB screen's (the target is at most 1.2).
void BM_PaintScreen(benchmark::State& state) {
    Viewer* small = Shown(1);
    Viewer* large = Shown(8);
    for (Viewer* v : {small, large})
        v->View->ScrollToY(v->View->VScrollMax() / 2);
    double smallTime = 0, largeTime = 0;
    for (auto _ : state) {
        smallTime += PaintOnce(small->View);
        largeTime += PaintOnce(large->View);
    }
    state.counters["paint_1MB_us"] = smallTime / double(state.iterations()) * 1e6;
    state.counters["paint_8MB_us"] = largeTime / double(state.iterations()) * 1e6;
    state.counters["ratio_8MB_to_1MB"] = largeTime / smallTime;
}
BENCHMARK(BM_PaintScreen)->Unit(benchmark::kMicrosecond);

// Page Down through an 8 MB document, painting what comes into view.
void BM_ScrollPage(benchmark::State& state) {
    Viewer* v = Shown(8);
    TRichView* view = v->View;
    view->ScrollToY(0);
    for (auto _ : state) {
        if (view->VScrollPos() + 2 * view->VScrollPage() > view->VScrollMax()) view->ScrollToY(0);
        SendMessage(view->Handle(), WM_VSCROLL, SB_PAGEDOWN, 0);
        UpdateWindow(view->Handle());
    }
}
BENCHMARK(BM_ScrollPage)->Unit(benchmark::kMicrosecond);

// A 10 MB RVF file read into a new viewer, formatted and its first screen painted.
void BM_LoadFormatPaint10MB(benchmark::State& state) {
    static std::string rvf;
    static int64_t bytes = 0;
    if (rvf.empty()) {
        Viewer src = MakeViewer(40);
        std::unique_ptr<TForm> srcForm(src.Form);
        Fill(src, 10);
        TMemoryStream out;
        src.View->WriteRvfStream(out, false);
        rvf.assign(reinterpret_cast<const char*>(out.Memory()), size_t(out.Size()));
        bytes = src.Bytes;
    }
    Viewer v = MakeViewer(60);
    std::unique_ptr<TForm> form(v.Form);
    testing::ShowForm(v.Form);
    for (auto _ : state) {
        TMemoryStream in;
        in.WriteBuffer(rvf.data(), int64_t(rvf.size()));
        in.SetPosition(0);
        if (!v.View->ReadRvfStream(in)) state.SkipWithError("RVF did not load");
        v.View->Format();
        v.View->ScrollToY(0);
        UpdateWindow(v.View->Handle());
    }
    state.SetBytesProcessed(state.iterations() * int64_t(rvf.size()));
    state.counters["text_MB"] = double(bytes) / (1 << 20);
}
BENCHMARK(BM_LoadFormatPaint10MB)->Unit(benchmark::kMillisecond)->Iterations(2);

// One paragraph in the middle of an 8 MB document edited and re-laid out, against formatting
// the whole document; the counter gives the whole format's time over the partial one's (the
// target is at least 100).
void BM_FormatEditedParagraph(benchmark::State& state) {
    Viewer* v = Shown(8);
    TRichViewRVData* data = v->View->RVData();
    const int itemNo = data->ItemCount() / 2;
    const std::string texts[2] = {data->GetItemText(itemNo),
                                  data->GetItemText(itemNo) + "the answer is correct "};
    int turn = 0;
    double partial = 0;
    for (auto _ : state) {
        auto start = std::chrono::steady_clock::now();
        data->SetItemText(itemNo, texts[++turn % 2]);
        int first = data->GetFirstDrawItemNo(itemNo), last = first;
        while (last + 1 < data->DrawItems.Count() && data->DrawItems[last + 1]->ItemNo == itemNo)
            ++last;
        data->FormatParasOfDrawRange(first, last, 0);
        partial += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    auto start = std::chrono::steady_clock::now();
    v->View->Format();
    const double whole =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    partial /= double(state.iterations());
    state.counters["partial_us"] = partial * 1e6;
    state.counters["whole_ms"] = whole * 1e3;
    state.counters["ratio_whole_to_partial"] = whole / partial;
}
BENCHMARK(BM_FormatEditedParagraph)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    epc::TPlatformContext context;
    return epc::bench::RunBenchmarks(argc, argv);
}
