// A score report printed the way the exam window prints it: the report viewer goes to a print
// component with a 10 mm top margin, a header and a footer, and its pages become a PDF on A4 at
// 600 dpi: headings, paragraphs, a chart picture, a hard page break and a boxed note. A second
// document holds every kind of item (rules, a numbered and a bulleted list, image-list bullets
// and a hotspot, a picture and an embedded panel); it is shown in a window and printed, so the
// page can be held against the screen.

#include <cstdio>
#include <string>

#include "demo/DemoRegistry.h"
#include "demo/DemoViewer.h"
#include "platform/controls/ExtCtrls.h"
#include "platform/controls/ImageList.h"
#include "platform/graphics/Bitmap.h"
#include "platform/printing/Printers.h"
#include "platform/windows/Window.h"
#include "richtext/view/PtblRV.h"

namespace {

using namespace epc;

void BuildReportStyles(TRVStyle& style) {
    style.Color = clWhite;
    style.TextStyles[0].FontName = "Times New Roman";
    style.TextStyles[0].Size = 12;
    TFontInfo& title = style.TextStyles.Add(); // 1
    title.FontName = "Arial";
    title.Size = 20;
    title.Style.Include(TRVFontStyle::rvfsBold);
    title.Color = clNavy;
    TFontInfo& heading = style.TextStyles.Add(); // 2
    heading.FontName = "Arial";
    heading.Size = 14;
    heading.Style.Include(TRVFontStyle::rvfsBold);
    TFontInfo& small = style.TextStyles.Add(); // 3
    small.FontName = "Arial";
    small.Size = 9;
    small.Color = clGray;
    TParaInfo& centered = style.ParaStyles.Add(); // 1
    centered.Alignment = TRVAlignment::rvaCenter;
    centered.SpaceAfter = 12;
    TParaInfo& body = style.ParaStyles.Add(); // 2
    body.Alignment = TRVAlignment::rvaJustify;
    body.SpaceAfter = 6;
    TParaInfo& headingPara = style.ParaStyles.Add(); // 3
    headingPara.SpaceBefore = 12;
    headingPara.SpaceAfter = 6;
    TParaInfo& note = style.ParaStyles.Add(); // 4
    note.LeftIndent = 16;
    note.RightIndent = 16;
    note.SpaceBefore = 10;
    note.SpaceAfter = 10;
    note.Background.Color = clCream;
    note.Background.BorderOffsets = TRVRect{4, 3, 4, 3};
    note.Border.Style = TRVBorderStyle::rvbSingle;
    note.Border.Color = clGray;
    note.Border.BorderOffsets = TRVRect{4, 3, 4, 3};
}

std::unique_ptr<TGraphic> MakeChart() {
    auto bmp = std::make_unique<TBitmap>(360, 160, pf24bit);
    TCanvas* c = bmp->Canvas();
    c->Brush()->SetColor(clWhite);
    c->FillRect(TRect(0, 0, 360, 160));
    c->Pen()->SetColor(clBlack);
    c->MoveTo(30, 10);
    c->LineTo(30, 140);
    c->LineTo(350, 140);
    const int scores[] = {82, 64, 91, 73, 55};
    const TColor colours[] = {clNavy, clTeal, clGreen, clMaroon, clPurple};
    for (int i = 0; i < 5; ++i) {
        c->Brush()->SetColor(colours[i]);
        c->Rectangle(50 + i * 60, 140 - scores[i] * 120 / 100, 90 + i * 60, 140);
    }
    return bmp;
}

const char* kSections[] = {"Network fundamentals", "Security", "Storage", "Virtualization",
                           "Troubleshooting"};

std::string Paragraph(int section, int n) {
    return "Question " + std::to_string(section * 10 + n) + " asked about " + kSections[section] +
           ". The answer given was compared with the expected one, and the explanation below "
           "shows which parts of the topic deserve another reading before the next attempt. "
           "Every question of this section counts equally towards the section score.";
}

bool PrintReport(const std::string& outDir) {
    TRVStyle style(nullptr);
    BuildReportStyles(style);
    TRichView report(nullptr), header(nullptr), footer(nullptr);
    for (TRichView* v : {&report, &header, &footer})
        v->SetStyle(&style);
    report.AppendTextParagraph("Score report", 1, 1);
    report.AppendTextParagraph("Candidate: A. Sample    Exam: Practice test 3    Score: 73%", 0, 1);
    report.AppendTextParagraph("Scores by section", 2, 3);
    report.AppendPicture("chart", MakeChart(), 1);
    report.AppendTextParagraph(
        "The chart shows the share of correct answers in each of the five sections.", 3, 1);
    for (int s = 0; s < 5; ++s) {
        report.AppendTextParagraph(
            std::string("Section ") + std::to_string(s + 1) + ": " + kSections[s], 2, 3);
        if (s == 3) // the last two sections begin on a page of their own
            report.GetItemObject(report.GetItemCount() - 1)->SetPageBreakBefore(true);
        for (int n = 1; n <= 6; ++n)
            report.AppendTextParagraph(Paragraph(s, n), 0, 2);
        report.AppendTextParagraph(
            "Review the " + std::string(kSections[s]) + " notes before the next attempt.", 0, 4);
    }
    header.AppendTextParagraph("Exam player - score report", 3, 1);
    footer.AppendTextParagraph("Printed by the exam player", 3, 1);

    TPrinter& printer = Printer();
    printer.SetPaperSizeMM(210, 297);
    printer.SetResolution(600);
    printer.FileName = outDir + "/report.pdf";
    TRVPrint print(nullptr);
    print.TakeDocumentFrom(&report);
    print.SetHeader(&header);
    print.SetFooter(&footer);
    print.SetTopMarginMM(20);
    print.SetBottomMarginMM(20);
    int pages = print.FormatPages();
    print.PrintDocument("Score report", 1, true);
    print.Clear();
    std::printf("report: %d pages to %s\n", pages, printer.FileName.c_str());
    return pages >= 3 && !printer.Jobs().empty() && printer.Jobs().back().Completed;
}

void BuildItemStyles(TRVStyle& style) {
    style.Color = clWhite;
    style.TextStyles[0].FontName = "Arial";
    style.TextStyles[0].Size = 11;
    TFontInfo& heading = style.TextStyles.Add(); // 1
    heading = style.TextStyles[0];
    heading.Size = 14;
    heading.Style.Include(TRVFontStyle::rvfsBold);
    // List 0 numbers its paragraphs, list 1 puts a navy bullet before them.
    auto addList = [&](TRVListType type, const char* format, TColor colour) {
        TRVListLevel& level = style.ListStyles.Add().AddLevel();
        level.ListType = type;
        level.FormatString = format;
        level.LeftIndent = 24;
        level.FirstIndent = -16;
        level.Font.FontName = "Arial";
        level.Font.Size = 11;
        level.Font.Color = colour;
    };
    addList(TRVListType::rvlstDecimal, "%0:s.", clBlack);
    addList(TRVListType::rvlstBullet, "\x95", clNavy);
}

// Two 16-pixel pictures: a green disc and a red square (the owner frees the list).
TImageList* MakeImages(TComponent* owner) {
    auto* list = new TImageList(owner);
    list->SetWidth(16);
    list->SetHeight(16);
    for (TColor colour : {clGreen, clRed}) {
        TBitmap image(16, 16, pf24bit);
        image.Canvas()->Brush()->SetColor(clWhite);
        image.Canvas()->FillRect(TRect(0, 0, 16, 16));
        image.Canvas()->Brush()->SetColor(colour);
        image.Canvas()->Pen()->SetColor(colour);
        if (colour == clGreen)
            image.Canvas()->Ellipse(1, 1, 15, 15);
        else
            image.Canvas()->FillRect(TRect(2, 2, 14, 14));
        list->Add(&image, nullptr);
    }
    return list;
}

void BuildEveryItemKind(TRichView& view, TCustomImageList* images) {
    TCustomRVData* data = view.RVData();
    view.AppendTextParagraph("Every kind of item", 1, 0);
    view.AppendTextParagraph("A paragraph of plain text above a solid rule.", 0, 0);
    view.AppendBreakLine(2, TRVBreakStyle::rvbsLine, clNavy);
    view.AppendTextParagraph("Steps to follow:", 0, 0);
    for (const char* step : {"Read the question", "Choose an answer", "Check the explanation"}) {
        view.AppendTextParagraph(step, 0, 0);
        data->SetParagraphMarker(data->ItemCount() - 1, 0, 0, 1, false);
    }
    view.AppendBreakLine(1, TRVBreakStyle::rvbsDotted, clNone);
    view.AppendTextParagraph("Remember:", 0, 0);
    for (const char* point : {"Time is limited", "Every question counts"}) {
        view.AppendTextParagraph(point, 0, 0);
        data->SetParagraphMarker(data->ItemCount() - 1, 1, 0, 1, false);
    }
    view.AppendTextParagraph("Image-list bullet ", 0, 0);
    data->AddBullet("bullet", 0, images, 0, -1);
    view.AppendTextParagraph(" and a hotspot ", 0, -1);
    data->AddHotspot("hotspot", 1, 0, images, 0, -1);
    view.AppendTextParagraph(" on one line.", 0, -1);
    view.AppendPicture("chart", MakeChart(), 0);
    auto* panel = new TPanel(nullptr);
    panel->SetBounds(0, 0, 120, 32);
    panel->SetCaption("Embedded panel");
    data->AddControlItem("panel", TRVComponentPtr(panel), 0, TRVVAlign::rvvaBaseline);
    view.AppendBreakLine(1, TRVBreakStyle::rvbsRectangle, clMaroon);
    view.AppendTextParagraph("The end of the document.", 0, 0);
}

bool PrintEveryItemKind(const std::string& outDir) {
    auto [form, view] =
        demo::NewViewerForm("Every item kind", 520, 640, "rvItems", BuildItemStyles);
    BuildEveryItemKind(*view, MakeImages(form));
    testing::ShowForm(form);
    view->Format();
    testing::Pump();
    bool ok = testing::SavePng(ComposeWindowPixels(form->Handle()), outDir + "/items-screen.png");

    TPrinter& printer = Printer();
    printer.SetPaperSizeMM(210, 297);
    printer.SetResolution(600);
    printer.FileName = outDir + "/items.pdf";
    TRVPrint print(nullptr);
    print.TakeDocumentFrom(view);
    int pages = print.FormatPages();
    print.PrintDocument("Every item kind", 1, true);
    print.Clear();
    std::printf("items: %d page(s) to %s\n", pages, printer.FileName.c_str());
    return ok && pages == 1 && printer.Jobs().back().Completed;
}

} // namespace

demo::DemoSection printSection("07-print", PrintReport);
demo::DemoSection printItemsSection("07-print-items", PrintEveryItemKind);
