// A score report in a viewer, built the way the history window builds one: a title, a table
// with a merged heading row, pixel and percentage column widths, coloured result cells, a
// nested table of section scores, rules and borders.

#include <cstdio>
#include <string>

#include "demo/DemoRegistry.h"
#include "demo/DemoViewer.h"
#include "platform/controls/Forms.h"
#include "platform/printing/Printers.h"
#include "platform/testing/UserActions.h"
#include "richtext/table/RVTable.h"
#include "richtext/view/PtblRV.h"
#include "richtext/view/RVRVData.h"
#include "richtext/view/RichView.h"

namespace {

using namespace epc;

enum { kBody, kTitle, kBold, kPass, kFail };

void BuildStyles(TRVStyle& style) {
    style.Color = clWhite;
    style.TextStyles[0].FontName = "Arial";
    style.TextStyles[0].Size = 10;
    TFontInfo& title = style.TextStyles.Add();
    title.FontName = "Arial";
    title.Size = 15;
    title.Style.Include(TRVFontStyle::rvfsBold);
    title.Color = clNavy;
    TFontInfo& bold = style.TextStyles.Add();
    bold.FontName = "Arial";
    bold.Size = 10;
    bold.Style.Include(TRVFontStyle::rvfsBold);
    TFontInfo& pass = style.TextStyles.Add();
    pass.FontName = "Arial";
    pass.Size = 10;
    pass.Style.Include(TRVFontStyle::rvfsBold);
    pass.Color = clGreen;
    TFontInfo& fail = style.TextStyles.Add();
    fail.FontName = "Arial";
    fail.Size = 10;
    fail.Style.Include(TRVFontStyle::rvfsBold);
    fail.Color = clMaroon;
    style.ParaStyles.Add().Alignment = TRVAlignment::rvaCenter; // 1
}

void Put(TRVTableItemInfo& table, int row, int col, const std::string& text, int styleNo = kBody,
         int paraNo = 0) {
    TRVTableCellData* cell = table.GetCell(row, col);
    cell->ClearAllItems();
    cell->AddTextParagraph(text, styleNo, paraNo, TRVTag());
}

std::unique_ptr<TRVTableItemInfo> SectionTable(TCustomRVData* cellData) {
    auto t = TRVTableItemInfo::CreateSized(4, cellData, 2);
    t->SetColor(clNone);
    t->SetCellPadding(2);
    t->SetHRuleWidth(1);
    t->SetHRuleColor(clSilver);
    const char* names[] = {"Routing", "Switching", "Security", "Services"};
    const char* scores[] = {"92%", "81%", "64%", "88%"};
    for (int r = 0; r < 4; ++r) {
        Put(*t, r, 0, names[r]);
        Put(*t, r, 1, scores[r], r == 2 ? kFail : kPass, 1);
    }
    t->SetCellBestWidth(-40, 0, 1);
    return t;
}

void BuildReport(TRichView& view) {
    view.AppendTextParagraph("Score report", kTitle, 1);
    view.AppendTextParagraph("Practice exam 3 - 7 December 2026", kBody, 1);
    auto report = TRVTableItemInfo::CreateSized(5, view.RVData(), 4);
    TRVTableItemInfo& t = *report;
    t.SetBestWidth(-96);
    t.SetBorderWidth(2);
    t.SetBorderStyle(rvtbColor);
    t.SetBorderColor(clNavy);
    t.SetCellBorderWidth(1);
    t.SetCellBorderStyle(rvtbColor);
    t.SetCellBorderColor(clSilver);
    t.SetCellPadding(4);
    t.SetColor(clWhite);
    t.SetVRuleWidth(0);
    t.SetHeadingRowCount(1);

    Put(t, 0, 0, "Candidate: J. Smith", kBold);
    Put(t, 0, 2, "Result", kBold, 1);
    Put(t, 0, 3, "Score", kBold, 1);
    for (int c = 0; c < 4; ++c)
        t.GetCell(0, c)->Color = clSkyBlue;
    t.MergeCells(0, 0, 2, 1, true);

    const char* exams[] = {"Networking fundamentals", "Routing and switching", "Network security"};
    const char* results[] = {"Passed", "Passed", "Failed"};
    const char* scores[] = {"870 / 1000", "812 / 1000", "640 / 1000"};
    for (int i = 0; i < 3; ++i) {
        const int r = i + 1;
        Put(t, r, 0, std::to_string(r));
        Put(t, r, 1, exams[i]);
        Put(t, r, 2, results[i], i == 2 ? kFail : kPass, 1);
        Put(t, r, 3, scores[i], kBody, 1);
        t.GetCell(r, 2)->Color = i == 2 ? TColor(0xD0D0FF) : TColor(0xD0FFD0);
    }
    t.SetCellBestWidth(30, 1, 0);
    t.SetCellBestWidth(-25, 1, 3);
    t.SetCellBestWidth(90, 1, 2);

    // Last row: the section breakdown in a nested table spanning the width.
    Put(t, 4, 0, "Sections", kBold);
    t.MergeCells(4, 1, 3, 1, true);
    TRVTableCellData* cell = t.GetCell(4, 1);
    cell->ClearAllItems();
    cell->AppendItem(std::string(), SectionTable(cell));
    t.GetCell(4, 0)->VAlign = rvcMiddle;
    t.GetCell(4, 1)->Color = clCream;

    view.AppendItem("report", std::move(report));
    view.AppendTextParagraph("A score of 700 or more passes an exam.", kBody, 0);
}

// Prints a viewer's document on A4 at 600 dpi with a 10 mm top margin; the page count.
int PrintView(TRichView& view, const std::string& file) {
    TPrinter& printer = Printer();
    printer.SetPaperSizeMM(210, 297);
    printer.SetResolution(600);
    printer.FileName = file;
    TRVPrint print(nullptr);
    print.TakeDocumentFrom(&view);
    print.SetTopMarginMM(10);
    const int pages = print.FormatPages();
    print.PrintDocument("Score report", 1, true);
    print.Clear();
    std::printf("%s: %d pages\n", file.c_str(), pages);
    const bool done = !printer.Jobs().empty() && printer.Jobs().back().Completed;
    return done ? pages : 0;
}

bool RenderScoreReport(const std::string& dir) {
    auto [form, view] =
        demo::NewViewerForm("Exam history - score report", 560, 430, "rvReport", BuildStyles);
    BuildReport(*view);
    testing::ShowForm(form);
    view->Format();
    testing::Pump();
    bool ok = testing::SavePng(ComposeWindowPixels(form->Handle()), dir + "/score-report.png");
    ok = ok && PrintView(*view, dir + "/score-report.pdf") == 1;
    return ok;
}

// The detailed report the history window prints: one row per question under a heading row
// that every page repeats, each section's name in a cell merged down its questions, and a
// closing row merged across the table. Shown in a viewer, then printed on A4 at 600 dpi.
void BuildQuestionReport(TRichView& view) {
    view.AppendTextParagraph("Score report - question by question", kTitle, 1);
    const char* sections[] = {"Routing",  "Switching", "Security",
                              "Services", "Wireless",  "Troubleshooting"};
    const int perSection = 10, count = 6;
    auto report = TRVTableItemInfo::CreateSized(1 + count * perSection + 1, view.RVData(), 4);
    TRVTableItemInfo& t = *report;
    t.SetBestWidth(-100);
    t.SetBorderWidth(1);
    t.SetBorderStyle(rvtbColor);
    t.SetBorderColor(clNavy);
    t.SetCellBorderWidth(1);
    t.SetCellBorderStyle(rvtbColor);
    t.SetCellBorderColor(clSilver);
    t.SetCellPadding(3);
    t.SetColor(clWhite);
    t.SetHeadingRowCount(1);
    const char* heads[] = {"Section", "Question", "Answer", "Points"};
    for (int c = 0; c < 4; ++c) {
        Put(t, 0, c, heads[c], kBold, c == 3 ? 1 : 0);
        t.GetCell(0, c)->Color = clSkyBlue;
    }
    int total = 0;
    for (int s = 0; s < count; ++s)
        for (int q = 0; q < perSection; ++q) {
            const int r = 1 + s * perSection + q, n = s * perSection + q + 1;
            const bool right = (n * 7) % 10 < 7;
            total += right ? 1 : 0;
            if (q == 0) Put(t, r, 0, sections[s], kBold);
            Put(t, r, 1,
                "Question " + std::to_string(n) + ": " + sections[s] + " topic " +
                    std::to_string(q + 1));
            Put(t, r, 2, right ? "Correct" : "Incorrect", right ? kPass : kFail, 1);
            Put(t, r, 3, right ? "1" : "0", kBody, 1);
            if (!right) t.GetCell(r, 2)->Color = TColor(0xD0D0FF);
        }
    const int last = 1 + count * perSection;
    Put(t, last, 0,
        "Total: " + std::to_string(total) + " of " + std::to_string(count * perSection) + " points",
        kBold);
    t.GetCell(last, 0)->Color = clCream;
    for (int s = 0; s < count; ++s) {
        t.MergeCells(1 + s * perSection, 0, 1, perSection, true);
        t.GetCell(1 + s * perSection, 0)->VAlign = rvcMiddle;
    }
    t.MergeCells(last, 0, 4, 1, true);
    t.SetCellBestWidth(110, 1, 0);
    t.SetCellBestWidth(80, 1, 2);
    t.SetCellBestWidth(60, 1, 3);
    view.AppendItem("questions", std::move(report));
    view.AppendTextParagraph("A score of 70% or more passes the exam.", kBody, 0);
}

bool PrintQuestionReport(const std::string& dir) {
    auto [form, view] =
        demo::NewViewerForm("Exam history - questions", 640, 900, "rvQuestions", BuildStyles);
    BuildQuestionReport(*view);
    testing::ShowForm(form);
    view->Format();
    testing::Pump();
    bool ok = testing::SavePng(ComposeWindowPixels(form->Handle()), dir + "/question-report.png");
    ok = ok && PrintView(*view, dir + "/question-report.pdf") >= 2;
    return ok;
}

} // namespace

demo::DemoSection tableSection("07-table", RenderScoreReport);
demo::DemoSection tablePrintSection("07-table-print", PrintQuestionReport);
