// Paginating for the printer: a 100-page and a 1,000-page document (the same paragraphs, ten
// times as many) are laid out on an A4 printer at 600 dpi and broken into pages, in turns. The
// counter gives the 1,000-page time over the 100-page time (the target is at most 11: linear).
// A tenth of the paragraphs hold a picture that may be cut over pages, and every fiftieth
// begins a new page, so splitting and forced breaks are part of the walk.

#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>
#include <string>

#include "platform/graphics/Bitmap.h"
#include "platform/printing/Printers.h"
#include "richtext/view/PtblRV.h"

namespace {

using namespace epc;

struct Document {
    std::unique_ptr<TRVStyle> Style = std::make_unique<TRVStyle>(nullptr);
    std::unique_ptr<TRichView> View = std::make_unique<TRichView>(nullptr);
    std::unique_ptr<TRVPrint> Print = std::make_unique<TRVPrint>(nullptr);
    int Pages = 0;
};

// About 45 lines of 11-point text fill a page; a paragraph takes three lines.
std::unique_ptr<Document> MakeDocument(int paragraphs) {
    auto doc = std::make_unique<Document>();
    doc->Style->TextStyles[0].FontName = "Arial";
    doc->Style->TextStyles[0].Size = 11;
    doc->View->SetStyle(doc->Style.get());
    for (int i = 0; i < paragraphs; ++i) {
        doc->View->AppendTextParagraph(
            "Paragraph " + std::to_string(i) +
                " of a long printed report: its words wrap over a few lines of the page, so "
                "that the pages hold whole lines and now and then a line moves to the next "
                "page with the space before its paragraph.",
            0, 0);
        if (i % 50 == 49)
            doc->View->GetItemObject(doc->View->GetItemCount() - 1)->SetPageBreakBefore(true);
        if (i % 10 == 5) {
            auto bmp = std::make_unique<TBitmap>();
            bmp->SetSize(200, 300);
            doc->View->AppendPicture("pic", std::move(bmp), 0);
            static_cast<TRVRectItemInfo*>(doc->View->GetItemObject(doc->View->GetItemCount() - 1))
                ->MinHeightOnPage = 40;
        }
    }
    doc->Print->TakeDocumentFrom(doc->View.get());
    return doc;
}

double PaginateOnce(Document& doc) {
    auto start = std::chrono::steady_clock::now();
    doc.Pages = doc.Print->FormatPages();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void BM_Paginate100And1000Pages(benchmark::State& state) {
    Printer().SetPaperSizeMM(210, 297);
    Printer().SetResolution(600);
    // Sized once to find how many paragraphs make 100 pages.
    auto probe = MakeDocument(2000);
    PaginateOnce(*probe);
    const int perHundred = (2000 * 100 + probe->Pages / 2) / std::max(probe->Pages, 1);
    probe.reset();
    auto small = MakeDocument(perHundred);
    auto large = MakeDocument(perHundred * 10);
    double smallTime = 0, largeTime = 0;
    for (auto _ : state) {
        smallTime += PaginateOnce(*small);
        largeTime += PaginateOnce(*large);
    }
    state.counters["pages_small"] = small->Pages;
    state.counters["pages_large"] = large->Pages;
    state.counters["small_ms"] = smallTime / double(state.iterations()) * 1e3;
    state.counters["large_ms"] = largeTime / double(state.iterations()) * 1e3;
    state.counters["ratio_1000_to_100"] = largeTime / smallTime;
}
BENCHMARK(BM_Paginate100And1000Pages)->Unit(benchmark::kMillisecond)->Iterations(10);

} // namespace

BENCHMARK_MAIN();
