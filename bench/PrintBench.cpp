// Paginating for the printer: a 100-page and a 1,000-page document (the same paragraphs, ten
// times as many) are laid out on an A4 printer at 600 dpi and broken into pages, in turns. The
// counter gives the 1,000-page time over the 100-page time (the target is at most 11: linear).
// A tenth of the paragraphs hold a picture that may be cut over pages, and every fiftieth
// begins a new page, so splitting and forced breaks are part of the walk.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/graphics/Bitmap.h"
#include "platform/printing/Printers.h"
#include "richtext/table/RVTable.h"
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
std::unique_ptr<Document> NewDocument() {
    auto doc = std::make_unique<Document>();
    doc->Style->TextStyles[0].FontName = "Arial";
    doc->Style->TextStyles[0].Size = 11;
    doc->View->SetStyle(doc->Style.get());
    return doc;
}

void AppendParagraph(Document& doc, int i) {
    doc.View->AppendTextParagraph(
        "Paragraph " + std::to_string(i) +
            " of a long printed report: its words wrap over a few lines of the page, so "
            "that the pages hold whole lines and now and then a line moves to the next "
            "page with the space before its paragraph.",
        0, 0);
}

std::unique_ptr<Document> MakeDocument(int paragraphs) {
    auto doc = NewDocument();
    for (int i = 0; i < paragraphs; ++i) {
        AppendParagraph(*doc, i);
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

// Printing a 100-page text document to PDF, per page, next to the time the office suite takes
// to convert the same document saved as RTF (its start-up, measured on a one-line document,
// taken off). The office suite runs once, when soffice is on the path.
std::unique_ptr<Document> MakeTextDocument(int paragraphs) {
    auto doc = NewDocument();
    for (int i = 0; i < paragraphs; ++i)
        AppendParagraph(*doc, i);
    doc->Print->TakeDocumentFrom(doc->View.get());
    return doc;
}

double SecondsOf(const std::string& command) {
    auto start = std::chrono::steady_clock::now();
    if (std::system(command.c_str()) != 0) return -1;
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double OfficeSecondsPerPage(Document& doc, const std::string& dir) {
    if (std::system("command -v soffice >/dev/null 2>&1") != 0) return -1;
    const std::string full = dir + "/print100.rtf", empty = dir + "/print1.rtf";
    doc.View->RVData()->SaveRtfToFile(full, false, clWhite);
    TRVStyle style(nullptr);
    TRichView one(nullptr);
    one.SetStyle(&style);
    one.AppendTextParagraph("One line.", 0, 0);
    one.RVData()->SaveRtfToFile(empty, false, clWhite);
    const std::string run = "soffice -env:UserInstallation=file://" + dir +
                            "/lo --headless --convert-to pdf --outdir " + dir + " ";
    SecondsOf(run + empty + " >/dev/null 2>&1"); // the profile is made on the first run
    double startUp = 1e9, whole = 1e9;
    for (int k = 0; k < 3; ++k) {
        startUp = std::min(startUp, SecondsOf(run + empty + " >/dev/null 2>&1"));
        whole = std::min(whole, SecondsOf(run + full + " >/dev/null 2>&1"));
    }
    if (startUp < 0 || whole < 0) return -1;
    return (whole - startUp) / std::max(doc.Pages, 1);
}

void BM_Print100PagesToPdf(benchmark::State& state) {
    Printer().SetPaperSizeMM(210, 297);
    Printer().SetResolution(600);
    const std::string dir = (std::filesystem::temp_directory_path() / "epc-printbench").string();
    std::filesystem::create_directories(dir);
    Printer().FileName = dir + "/print100.pdf";
    auto probe = MakeTextDocument(1000);
    probe->Pages = probe->Print->FormatPages();
    const int paragraphs = (1000 * 100 + probe->Pages / 2) / std::max(probe->Pages, 1);
    probe.reset();
    auto doc = MakeTextDocument(paragraphs);
    doc->Pages = doc->Print->FormatPages();
    std::vector<double> times;
    for (auto _ : state) {
        auto start = std::chrono::steady_clock::now();
        doc->Print->PrintDocument("bench");
        times.push_back(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    const double perPage = times[times.size() / 2] / std::max(doc->Pages, 1);
    state.counters["pages"] = doc->Pages;
    state.counters["ms_per_page"] = perPage * 1e3;
    const double office = OfficeSecondsPerPage(*doc, dir);
    if (office > 0) {
        state.counters["office_ms_per_page"] = office * 1e3;
        state.counters["ratio_to_office"] = perPage / office;
    }
}
BENCHMARK(BM_Print100PagesToPdf)->Unit(benchmark::kMillisecond)->Iterations(5);

// Printing a table of 100 and of 1,000 rows under a repeated heading row (four columns, the
// first cell of every ten rows merged down them), formatted into pages and written as a PDF at
// 600 dpi, in turns. The counter gives the median 1,000-row time over the median 100-row time
// (the target is at most 11: linear).
std::unique_ptr<Document> MakeTableDocument(int rows) {
    auto doc = NewDocument();
    auto table = TRVTableItemInfo::CreateSized(rows + 1, doc->View->RVData(), 4);
    const char* texts[] = {"Section", "Question text of the row ", "Correct", "1"};
    for (int r = 0; r <= rows; ++r)
        for (int c = 0; c < 4; ++c) {
            TRVTableCellData* cell = table->GetCell(r, c);
            cell->ClearAllItems();
            if (c > 0 || r % 10 == 1) {
                std::string text = texts[c];
                if (c == 1) text += std::to_string(r);
                cell->AddTextParagraph(text, 0, 0, TRVTag());
            }
        }
    for (int r = 1; r + 10 <= rows + 1; r += 10)
        table->MergeCells(r, 0, 1, 10, true);
    table->SetHeadingRowCount(1);
    table->SetCellBorderWidth(1);
    doc->View->AppendItem(std::string(), std::move(table));
    doc->Print->TakeDocumentFrom(doc->View.get());
    return doc;
}

double PrintTableOnce(Document& doc) {
    auto start = std::chrono::steady_clock::now();
    doc.Pages = doc.Print->FormatPages();
    doc.Print->PrintDocument("table");
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

void BM_PrintTable100And1000Rows(benchmark::State& state) {
    Printer().SetPaperSizeMM(210, 297);
    Printer().SetResolution(600);
    const std::string dir = (std::filesystem::temp_directory_path() / "epc-printbench").string();
    std::filesystem::create_directories(dir);
    Printer().FileName = dir + "/table.pdf";
    auto small = MakeTableDocument(100);
    auto large = MakeTableDocument(1000);
    std::vector<double> smallTimes, largeTimes;
    for (auto _ : state) {
        smallTimes.push_back(PrintTableOnce(*small));
        largeTimes.push_back(PrintTableOnce(*large));
    }
    state.counters["pages_small"] = small->Pages;
    state.counters["pages_large"] = large->Pages;
    state.counters["small_ms"] = Median(smallTimes) * 1e3;
    state.counters["large_ms"] = Median(largeTimes) * 1e3;
    state.counters["ratio_1000_to_100"] = Median(largeTimes) / Median(smallTimes);
}
BENCHMARK(BM_PrintTable100And1000Rows)->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace

BENCHMARK_MAIN();
