// A rich-text viewer on a form showing a question the way the exam window does: a title,
// styled paragraphs, a numbered list of choices, a picture, a hyperlink and a boxed note;
// then the same view scrolled to its end with the End key.

#include <string>

#include "demo/DemoRegistry.h"
#include "demo/DemoViewer.h"
#include "platform/controls/Forms.h"
#include "platform/graphics/Bitmap.h"
#include "platform/testing/UserActions.h"
#include "richtext/view/RichView.h"

namespace {

using namespace epc;

void BuildStyles(TRVStyle& style) {
    style.Color = clWhite;
    style.TextStyles[0].FontName = "Arial";
    style.TextStyles[0].Size = 11;
    TFontInfo& title = style.TextStyles.Add(); // 1
    title.FontName = "Arial";
    title.Size = 16;
    title.Style.Include(TRVFontStyle::rvfsBold);
    title.Color = clNavy;
    TFontInfo& strong = style.TextStyles.Add(); // 2
    strong.FontName = "Arial";
    strong.Size = 11;
    strong.Style.Include(TRVFontStyle::rvfsBold);
    TFontInfo& link = style.TextStyles.Add(); // 3
    link.FontName = "Arial";
    link.Size = 11;
    link.Jump = true;
    link.Color = clBlue;
    link.Style.Include(TRVFontStyle::rvfsUnderline);
    TFontInfo& code = style.TextStyles.Add(); // 4
    code.FontName = "Courier New";
    code.Size = 11;
    code.Color = clMaroon;
    TParaInfo& centered = style.ParaStyles.Add(); // 1
    centered.Alignment = TRVAlignment::rvaCenter;
    centered.SpaceAfter = 6;
    TParaInfo& note = style.ParaStyles.Add(); // 2
    note.LeftIndent = 12;
    note.RightIndent = 12;
    note.SpaceBefore = 8;
    note.SpaceAfter = 8;
    note.Background.Color = clCream;
    note.Background.BorderOffsets = TRVRect{4, 3, 4, 3};
    note.Border.Style = TRVBorderStyle::rvbSingle;
    note.Border.Color = clGray;
    note.Border.BorderOffsets = TRVRect{4, 3, 4, 3};
    TParaInfo& body = style.ParaStyles.Add(); // 3
    body.Alignment = TRVAlignment::rvaJustify;
    body.SpaceAfter = 4;
    TRVListInfo& list = style.ListStyles.Add();
    TRVListLevel& level = list.AddLevel();
    level.ListType = TRVListType::rvlstUpperAlpha;
    level.FormatString = "%0:s. ";
    level.Font.FontName = "Arial";
    level.Font.Size = 11;
    level.Font.Style.Include(TRVFontStyle::rvfsBold);
    level.LeftIndent = 24;
}

std::unique_ptr<TGraphic> MakeDiagram() {
    auto bmp = std::make_unique<TBitmap>(180, 70, pf24bit);
    TCanvas* c = bmp->Canvas();
    c->Brush()->SetColor(clWhite);
    c->FillRect(TRect(0, 0, 180, 70));
    c->Pen()->SetColor(clGray);
    c->Brush()->SetColor(clSkyBlue);
    c->Rectangle(8, 20, 58, 50);
    c->Brush()->SetColor(clMoneyGreen);
    c->Rectangle(122, 20, 172, 50);
    c->Pen()->SetColor(clBlack);
    c->MoveTo(58, 35);
    c->LineTo(122, 35);
    c->Polygon({TPoint(122, 35), TPoint(114, 31), TPoint(114, 39)});
    return bmp;
}

void BuildQuestion(TRichView& view) {
    view.AppendTextParagraph("Question 12 of 40", 1, 1);
    view.AppendTextParagraph("A workstation sends a frame to a server on another subnet. ", 0, 3);
    view.AppendTextParagraph("Which device", 2, -1);
    view.AppendTextParagraph(" forwards the frame between the two subnets, and which address "
                             "does it use to decide where the frame goes next?",
                             0, -1);
    view.AppendPicture("diagram", MakeDiagram(), 1);
    const char* choices[] = {
        "A switch, by the destination MAC address", "A router, by the destination IP address",
        "A hub, by repeating the frame on every port", "A bridge, by the source MAC address"};
    for (const char* choice : choices) {
        view.AppendTextParagraph(choice, 0, 0);
        view.ApplyParagraphMarker(view.GetItemCount() - 1, 0, 0, 1, false);
    }
    view.AppendTextParagraph("Note: ", 2, 2);
    view.AppendTextParagraph("routers keep a table of networks; the command ", 0, -1);
    view.AppendTextParagraph("show ip route", 4, -1);
    view.AppendTextParagraph(" lists it.", 0, -1);
    view.AppendTextParagraph("See the exam guide at ", 0, 3);
    view.AppendTextParagraph("www.example.com/guide", 3, -1);
    view.AppendBreakLine(1, TRVBreakStyle::rvbsLine, clSilver);
    for (int i = 1; i <= 6; ++i)
        view.AppendTextParagraph("Explanation line " + std::to_string(i) +
                                     ": a router reads the destination address of every packet "
                                     "and looks it up in its routing table.",
                                 0, 3);
}

bool RenderViewer(const std::string& dir) {
    auto [form, view] =
        demo::NewViewerForm("Exam player - question view", 480, 400, "rvQuestion", BuildStyles);
    view->BottomMargin = 3;
    BuildQuestion(*view);
    testing::ShowForm(form);
    view->Format();
    view->ScrollToY(0);
    testing::Pump();
    bool ok = testing::SavePng(ComposeWindowPixels(form->Handle()), dir + "/viewer.png");
    view->SetFocus();
    testing::PressKey(VK_END);
    ok = testing::SavePng(ComposeWindowPixels(form->Handle()), dir + "/viewer-end.png") && ok;
    return ok;
}

} // namespace

demo::DemoSection viewerSection("06-viewer", RenderViewer);
