// A question whose diagrams are metafiles, as question banks made with office programs hold
// them: an enhanced metafile and a Windows metafile exported by a drawing program, shown in
// the viewer at their own size and scaled down, then printed to a PDF where their shapes and
// text stay vectors when the picture is drawn on the printer's canvas.

#include <cstdio>
#include <memory>
#include <string>

#include "demo/DemoRegistry.h"
#include "demo/DemoViewer.h"
#include "platform/core/Arithmetic.h"
#include "platform/graphics/Icon.h"
#include "platform/printing/Printers.h"
#include "richtext/view/PtblRV.h"

namespace {

using namespace epc;

void BuildStyles(TRVStyle& style) {
    style.Color = clWhite;
    style.TextStyles[0].FontName = "Arial";
    style.TextStyles[0].Size = 10;
    TFontInfo& title = style.TextStyles.Add(); // 1
    title.FontName = "Arial";
    title.Size = 12;
    title.Style.Include(TRVFontStyle::rvfsBold);
    title.Color = clNavy;
    TParaInfo& centered = style.ParaStyles.Add(); // 1
    centered.Alignment = TRVAlignment::rvaCenter;
    centered.SpaceAfter = 6;
    TParaInfo& body = style.ParaStyles.Add(); // 2
    body.SpaceBefore = 4;
    body.SpaceAfter = 4;
}

std::unique_ptr<TMetafile> LoadMetafile(const char* name) {
    auto meta = std::make_unique<TMetafile>();
    meta->LoadFromFile(std::string(EPC_DEMO_METAFILES) + "/" + name);
    return meta;
}

void BuildQuestion(TRichView& view) {
    view.AppendTextParagraph("Question 7 of 40", 1, 1);
    view.AppendTextParagraph("The exhibit below was drawn in an office program and kept as an "
                             "enhanced metafile. Which shape lies to the right of the ellipse?",
                             0, 2);
    view.AppendPicture("exhibit", LoadMetafile("shapes.emf"), 1);
    view.AppendTextParagraph("The same drawing as a Windows metafile, at half its size:", 0, 2);
    auto small = LoadMetafile("shapes.wmf");
    int w = small->Width() / 2, h = small->Height() / 2;
    small->SetWidth(w);
    small->SetHeight(h);
    view.AppendPicture("small", std::move(small), 1);
    view.AppendTextParagraph("A: the triangle.  B: the rectangle.  C: the text.", 0, 2);
}

// A document prints its pictures through bitmaps; a metafile drawn on the printer's canvas
// itself keeps its shapes and text as vectors, its bitmap as an image.
bool PrintExhibit(const std::string& dir) {
    TPrinter& printer = Printer();
    printer.FileName = dir + "/metafile-exhibit.pdf";
    printer.Title = "Exhibit";
    printer.BeginDoc();
    auto meta = LoadMetafile("shapes.emf");
    int dpi = printer.Resolution();
    int margin = dpi / 2, width = printer.PageWidth() - 2 * margin;
    int height = MulDiv(width, meta->Height(), meta->Width());
    printer.Canvas()->StretchDraw(Rect(margin, margin, margin + width, margin + height),
                                  meta.get());
    printer.EndDoc();
    std::printf("metafile: exhibit to %s\n", printer.FileName.c_str());
    return printer.Jobs().back().Completed;
}

bool RenderMetafiles(const std::string& dir) {
    auto [form, view] =
        demo::NewViewerForm("Exam player - metafile exhibit", 480, 520, "rvExhibit", BuildStyles);
    BuildQuestion(*view);
    testing::ShowForm(form);
    view->Format();
    testing::Pump();
    bool ok = testing::SavePng(ComposeWindowPixels(form->Handle()), dir + "/metafile-viewer.png");

    TPrinter& printer = Printer();
    printer.SetPaperSizeMM(210, 297);
    printer.SetResolution(600);
    printer.FileName = dir + "/metafile.pdf";
    TRVPrint print(nullptr);
    print.TakeDocumentFrom(view);
    print.SetTopMarginMM(20);
    int pages = print.FormatPages();
    print.PrintDocument("Metafile exhibit", 1, true);
    std::printf("metafile: %d page to %s\n", pages, printer.FileName.c_str());
    ok = ok && pages == 1 && !printer.Jobs().empty() && printer.Jobs().back().Completed;
    return PrintExhibit(dir) && ok;
}

} // namespace

demo::DemoSection metafileSection("09-metafile", RenderMetafiles);
