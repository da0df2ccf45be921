// Editing speed: undoing a typing step grows with the characters it holds, and typing one
// character costs the same whatever the size of the document (only its paragraph is laid out
// again). Each ratio is measured within one run; the targets are 11x for ten times the typed
// characters and 1.2x for an eight times larger document.

#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "bench/BenchMain.h"
#include "bench/ThreadCpuClock.h"
#include "platform/context/PlatformContext.h"
#include "platform/controls/Forms.h"
#include "platform/testing/UserActions.h"
#include "richtext/edit/RVEdit.h"

namespace {

using namespace epc;
using Clock = std::chrono::steady_clock;

// An editor on a shown form.
struct TBenchEditor {
    TForm* Form = nullptr;
    TRichViewEdit* Edit = nullptr;
    TRVEditRVData* Data = nullptr;

    TBenchEditor() {
        Form = new TForm(nullptr);
        Form->SetBounds(0, 0, 640, 480);
        auto* style = new TRVStyle(Form);
        style->TextStyles[0].FontName = "Arial";
        style->TextStyles[0].Size = 10;
        Edit = new TRichViewEdit(Form);
        Edit->SetParent(Form);
        Edit->SetAlign(alClient);
        Edit->SetStyle(style);
        Data = Edit->EditData();
        testing::ShowForm(Form);
    }
};

// About Megabytes MB of paragraphs of 300 to 700 characters.
void FillDocument(TRVEditRVData& data, int megabytes) {
    std::mt19937 rng(7);
    const char* words[] = {"the", "question", "answer", "network",   "configure", "router",
                           "a",   "of",       "select", "interface", "address",   "two"};
    const int64_t target = int64_t(megabytes) << 20;
    int64_t bytes = 0;
    while (bytes < target) {
        std::string text;
        const int length = 300 + int(rng() % 400);
        while (int(text.size()) < length) {
            text += words[rng() % 12];
            text += ' ';
        }
        data.AddTextParagraph(text, 0, 0, TRVTag());
        bytes += int64_t(text.size());
    }
}

// A typing step of Count characters at the end of a short document, made as typing makes it
// (one coalesced typing record) without laying out every keystroke.
void PrepareTypingStep(TBenchEditor& editor, int count) {
    editor.Edit->Clear();
    for (int i = 0; i < 20; ++i)
        editor.Data->AddTextParagraph("configure the router interface and select the address", 0, 0,
                                      TRVTag());
    const int itemNo = editor.Data->ItemCount() - 1;
    std::string& text = editor.Data->Items()[itemNo].Text;
    const int start = int(text.size()) + 1;
    for (int i = 0; i < count; ++i) {
        editor.Data->UndoList->AddTyping(itemNo, start + i, false);
        text += i % 6 == 5 ? ' ' : char('a' + i % 26);
    }
    editor.Edit->Format();
}

// Whether the typed characters are gone again.
bool TypingUndone(TBenchEditor& editor) {
    const TRVEditRVData& data = *editor.Data;
    return data.GetItemText(data.ItemCount() - 1).size() == 53 && !editor.Edit->CanUndo();
}

double UndoSeconds(TBenchEditor& editor, int count) {
    PrepareTypingStep(editor, count);
    const auto from = Clock::now();
    editor.Edit->Undo();
    return std::chrono::duration<double>(Clock::now() - from).count();
}

void BM_UndoTypingStep(benchmark::State& state) {
    TBenchEditor editor;
    const int count = int(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        PrepareTypingStep(editor, count);
        state.ResumeTiming();
        editor.Edit->Undo();
    }
    if (!TypingUndone(editor)) state.SkipWithError("the typing step was not undone");
    state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BM_UndoTypingStep)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

// Ten times the characters: at most 11 times the time.
void BM_UndoTypingGrowth(benchmark::State& state) {
    TBenchEditor editor;
    double small = 0, large = 0;
    for (auto _ : state) {
        small += UndoSeconds(editor, 1000);
        large += UndoSeconds(editor, 10000);
    }
    if (!TypingUndone(editor)) state.SkipWithError("the typing step was not undone");
    state.counters["ratio_10000_to_1000"] = large / small;
    state.counters["target"] = 11;
}
BENCHMARK(BM_UndoTypingGrowth)->Iterations(10)->Unit(benchmark::kMillisecond);

// An editor with a document of Megabytes MB, the caret in the paragraph before the last.
TBenchEditor* DocumentEditor(int megabytes) {
    static std::unique_ptr<TBenchEditor> editors[9];
    auto& slot = editors[megabytes];
    if (slot) return slot.get();
    slot = std::make_unique<TBenchEditor>();
    FillDocument(*slot->Data, megabytes);
    slot->Edit->Format();
    return slot.get();
}

double TypeSeconds(TBenchEditor& editor, int keys) {
    TRVEditRVData& data = *editor.Data;
    const int itemNo = data.ItemCount() - 2;
    data.PlaceCaretAt(itemNo, 1);
    const auto from = Clock::now();
    for (int i = 0; i < keys; ++i)
        data.InsertTyped(i % 6 == 5 ? " " : "x");
    return std::chrono::duration<double>(Clock::now() - from).count();
}

void BM_TypeCharacter(benchmark::State& state) {
    TBenchEditor* editor = DocumentEditor(int(state.range(0)));
    TRVEditRVData& data = *editor->Data;
    data.PlaceCaretAt(data.ItemCount() - 2, 1);
    int typed = 0;
    // Words, not one growing word: a word wider than the window widens the whole document.
    for (auto _ : state)
        data.InsertTyped(++typed % 6 == 0 ? " " : "x");
}
BENCHMARK(BM_TypeCharacter)->Arg(1)->Arg(8)->Unit(benchmark::kMicrosecond);

// Eight times the document: at most 1.2 times the time per character.
void BM_TypeCharacterGrowth(benchmark::State& state) {
    TBenchEditor* small = DocumentEditor(1);
    TBenchEditor* large = DocumentEditor(8);
    double smallSeconds = 0, largeSeconds = 0;
    for (auto _ : state) {
        smallSeconds += TypeSeconds(*small, 200);
        largeSeconds += TypeSeconds(*large, 200);
    }
    state.counters["ratio_8MB_to_1MB"] = largeSeconds / smallSeconds;
    state.counters["target"] = 1.2;
}
BENCHMARK(BM_TypeCharacterGrowth)->Iterations(10)->Unit(benchmark::kMillisecond);

// ---- Typing through key messages in a document with hyperlinks and justified paragraphs.

// About Megabytes MB in paragraphs of 300 to 700 characters, items of 40 to 200 characters,
// one item in ten a hyperlink, every other paragraph justified. Paragraph p is made from seed
// p mod 64, so that the paragraphs typed into (multiples of 64) are the same in every size.
std::vector<int> FillLinkedDocument(TRVEditRVData& data, int megabytes) {
    const char* words[] = {"the", "question", "answer", "network",   "configure", "router",
                           "a",   "of",       "select", "interface", "address",   "two"};
    const int64_t target = int64_t(megabytes) << 20;
    int64_t bytes = 0;
    std::vector<int> paraStarts;
    while (bytes < target) {
        std::mt19937 rng(uint32_t(paraStarts.size() % 64));
        paraStarts.push_back(data.ItemCount());
        const int paraLength = 300 + int(rng() % 400);
        const int paraNo = int(paraStarts.size() % 2);
        for (int written = 0; written < paraLength;) {
            std::string text;
            const int length = 40 + int(rng() % 160);
            while (int(text.size()) < length) {
                text += words[rng() % 12];
                text += ' ';
            }
            const int styleNo = rng() % 10 == 0 ? 1 : 0;
            data.AddTextParagraph(text, styleNo, written == 0 ? paraNo : -1, TRVTag());
            written += int(text.size());
            bytes += int64_t(text.size());
        }
    }
    return paraStarts;
}

struct TLinkedEditor {
    std::unique_ptr<TBenchEditor> Editor;
    std::vector<int> ParaStarts;
};

TLinkedEditor& LinkedEditor(int megabytes) {
    static TLinkedEditor editors[9];
    TLinkedEditor& slot = editors[megabytes];
    if (slot.Editor) return slot;
    slot.Editor = std::make_unique<TBenchEditor>();
    TRVStyle* style = slot.Editor->Edit->Style();
    TFontInfo& link = style->TextStyles.Add();
    link.FontName = "Arial";
    link.Size = 10;
    link.Jump = true;
    style->ParaStyles.Add().Alignment = TRVAlignment::rvaJustify;
    slot.ParaStarts = FillLinkedDocument(*slot.Editor->Data, megabytes);
    slot.Editor->Edit->Format();
    return slot;
}

// The first plain-text item of paragraph 0, of the paragraph of the middle or of one near the
// end (0, 1, 2), among the paragraphs made from seed 0.
int TypingItem(const TLinkedEditor& editor, int place) {
    const int paras = int(editor.ParaStarts.size());
    const int paraNo = place == 0 ? 0 : place == 1 ? paras / 2 / 64 * 64 : (paras - 2) / 64 * 64;
    int itemNo = editor.ParaStarts[size_t(paraNo)];
    while (editor.Editor->Data->GetItemStyleNo(itemNo) != 0)
        ++itemNo;
    return itemNo;
}

// Keys typed through the editor's window (key down, character, key up) at a place; the typing
// is undone afterwards, outside the time (processor time of the thread).
double TypeKeysSeconds(TLinkedEditor& linked, int place, int keys) {
    TBenchEditor& editor = *linked.Editor;
    TRVEditRVData& data = *editor.Data;
    editor.Edit->SetFocus();
    data.PlaceCaretAt(TypingItem(linked, place), 3);
    testing::Pump();
    const auto from = bench::ThreadCpuClock::now();
    for (int i = 0; i < keys; ++i)
        testing::TypeText(i % 6 == 5 ? u" " : u"x");
    const double seconds =
        std::chrono::duration<double>(bench::ThreadCpuClock::now() - from).count();
    while (editor.Edit->CanUndo())
        editor.Edit->Undo();
    testing::Pump();
    return seconds;
}

// Time per key at the start, middle and end of a 1 MB and an 8 MB document.
void BM_TypeKeyLinked(benchmark::State& state) {
    TLinkedEditor& editor = LinkedEditor(int(state.range(0)));
    double seconds = 0;
    for (auto _ : state) {
        seconds = TypeKeysSeconds(editor, int(state.range(1)), 20);
        state.SetIterationTime(seconds / 20);
    }
}
BENCHMARK(BM_TypeKeyLinked)
    ->ArgsProduct({{1, 8}, {0, 1, 2}})
    ->ArgNames({"MB", "place"})
    ->UseManualTime()
    ->Iterations(10)
    ->Unit(benchmark::kMicrosecond);

// Eight times the document, keys typed at the same place: at most 1.2 times the time per key.
void BM_TypeKeyLinkedGrowth(benchmark::State& state) {
    TLinkedEditor& small = LinkedEditor(1);
    TLinkedEditor& large = LinkedEditor(8);
    const int place = int(state.range(0));
    double smallSeconds = 0, largeSeconds = 0;
    for (auto _ : state) {
        smallSeconds += TypeKeysSeconds(small, place, 20);
        largeSeconds += TypeKeysSeconds(large, place, 20);
    }
    state.counters["ratio_8MB_to_1MB"] = largeSeconds / smallSeconds;
    state.counters["us_per_key_8MB"] = largeSeconds / double(state.iterations()) / 20 * 1e6;
}
BENCHMARK(BM_TypeKeyLinkedGrowth)
    ->Arg(0)
    ->Arg(1)
    ->Arg(2)
    ->ArgName("place")
    ->Iterations(10)
    ->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    epc::TPlatformContext context;
    return epc::bench::RunBenchmarks(argc, argv);
}
