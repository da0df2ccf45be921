// A score report in a viewer, built the way the history window builds one: a title, a table
// with a merged heading row, pixel and percentage column widths, coloured result cells, a
// nested table of section scores, rules and borders.

#include <string>

#include "demo/DemoRegistry.h"
#include "demo/DemoViewer.h"
#include "platform/controls/Forms.h"
#include "platform/testing/UserActions.h"
#include "richtext/table/RVTable.h"
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

bool RenderScoreReport(const std::string& dir) {
    auto [form, view] =
        demo::NewViewerForm("Exam history - score report", 560, 430, "rvReport", BuildStyles);
    BuildReport(*view);
    testing::ShowForm(form);
    view->Format();
    testing::Pump();
    bool ok = testing::SavePng(ComposeWindowPixels(form->Handle()), dir + "/score-report.png");
    testing::ResetAll();
    return ok;
}

} // namespace

demo::DemoSection tableSection("07-table", RenderScoreReport);
