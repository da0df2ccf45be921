// Right-to-left questions: a viewer with Hebrew and Arabic paragraphs (numbers and Latin words
// inside them, Arabic letters joined) next to an English one, and an editor whose caret walks
// through a right-to-left paragraph with the arrow keys and selects with Shift.

#include <string>

#include "demo/DemoRegistry.h"
#include "demo/DemoViewer.h"
#include "platform/controls/Forms.h"
#include "platform/testing/UserActions.h"
#include "richtext/edit/RVEdit.h"

namespace {

using namespace epc;

// Text styles: 0 English, 1 right-to-left body, 2 right-to-left title. Paragraph styles: 0
// left to right, 1 right to left aligned right, 2 the same with a note's background.
void BuildStyles(TRVStyle& style) {
    style.Color = clWhite;
    style.TextStyles[0].FontName = "DejaVu Sans";
    style.TextStyles[0].Size = 11;
    TFontInfo& body = style.TextStyles.Add(); // 1
    body.FontName = "DejaVu Sans";
    body.Size = 12;
    body.Unicode = true;
    TFontInfo& title = style.TextStyles.Add(); // 2
    title = body;
    title.Size = 15;
    title.Style.Include(TRVFontStyle::rvfsBold);
    title.Color = clNavy;
    TParaInfo& rtl = style.ParaStyles.Add(); // 1
    rtl.BiDiMode = TRVBiDiMode::rvbdRightToLeft;
    rtl.Alignment = TRVAlignment::rvaRight;
    rtl.SpaceAfter = 6;
    TParaInfo& note = style.ParaStyles.Add(); // 2
    note = rtl;
    note.LeftIndent = 12;
    note.RightIndent = 12;
    note.SpaceBefore = 6;
    note.Background.Color = clCream;
    note.Background.BorderOffsets = TRVRect{4, 3, 4, 3};
    note.Border.Style = TRVBorderStyle::rvbSingle;
    note.Border.Color = clGray;
    note.Border.BorderOffsets = TRVRect{4, 3, 4, 3};
}

void Add(TCustomRVData* data, const std::u16string& text, int styleNo, int paraNo) {
    data->AddTextParagraphW(text, styleNo, paraNo, TRVTag());
}

void BuildQuestions(TCustomRVData* data) {
    // Hebrew: "Question 12 of 40" and "Which device forwards the frame between the two
    // subnets, and by which IP address?"
    Add(data, u"\u05E9\u05D0\u05DC\u05D4 12 \u05DE\u05EA\u05D5\u05DA 40", 2, 1);
    Add(data,
        u"\u05D0\u05D9\u05D6\u05D4 \u05D4\u05EA\u05E7\u05DF \u05DE\u05E2\u05D1\u05D9\u05E8 "
        u"\u05D0\u05EA \u05D4-frame \u05D1\u05D9\u05DF \u05E9\u05EA\u05D9 \u05D4\u05E8\u05E9"
        u"\u05EA\u05D5\u05EA, \u05D5\u05DC\u05E4\u05D9 \u05D0\u05D9\u05D6\u05D5 \u05DB\u05EA"
        u"\u05D5\u05D1\u05EA IP?",
        1, 1);
    // Arabic: "Question 7: what is the address that the router uses?" and "The router reads
    // the destination address of each packet, for example 10.0.0.1."
    Add(data,
        u"\u0627\u0644\u0633\u0624\u0627\u0644 7: \u0645\u0627 \u0647\u0648 \u0627\u0644\u0639"
        u"\u0646\u0648\u0627\u0646 \u0627\u0644\u0630\u064A \u064A\u0633\u062A\u062E\u062F\u0645"
        u"\u0647 \u0627\u0644\u0645\u0648\u062C\u0647\u061F",
        2, 1);
    Add(data,
        u"\u064A\u0642\u0631\u0623 \u0627\u0644\u0645\u0648\u062C\u0647 \u0639\u0646\u0648\u0627"
        u"\u0646 \u0627\u0644\u0648\u062C\u0647\u0629 \u0644\u0643\u0644 \u062D\u0632\u0645"
        u"\u0629\u060C \u0645\u062B\u0644 10.0.0.1 \u0641\u064A \u062C\u062F\u0648\u0644 "
        u"\u0627\u0644\u062A\u0648\u062C\u064A\u0647 (routing table).",
        1, 2);
    Add(data,
        u"The same question in English: which device forwards the frame between the "
        u"two subnets, and by which IP address?",
        0, 0);
}

bool RenderViewer(const std::string& dir) {
    auto [form, view] = demo::NewViewerForm("Exam player - right-to-left question", 480, 300,
                                            "rvQuestion", BuildStyles);
    BuildQuestions(view->RVData());
    testing::ShowForm(form);
    view->Format();
    testing::Pump();
    const bool ok = testing::SavePng(ComposeWindowPixels(form->Handle()), dir + "/viewer-rtl.png");
    return ok;
}

bool RenderEditor(const std::string& dir) {
    auto* form = Application->CreateForm<TForm>();
    form->SetCaption("Question editor - right to left");
    form->SetBounds(40, 40, 480, 200);
    auto* style = new TRVStyle(form);
    BuildStyles(*style);
    auto* edit = new TRichViewEdit(form);
    edit->SetName("rveQuestion");
    edit->SetParent(form);
    edit->SetAlign(alClient);
    edit->SetStyle(style);
    BuildQuestions(edit->RVData());
    edit->SetBiDiMode(TRVBiDiMode::rvbdRightToLeft);
    testing::ShowForm(form);
    edit->Format();
    edit->SetFocus();
    testing::Pump();
    // Down to the Hebrew question; Left walks into it from the right, Shift+Left selects
    // the next word.
    testing::PressKey(VK_DOWN);
    testing::PressKey(VK_HOME);
    for (int i = 0; i < 5; ++i)
        testing::PressKey(VK_LEFT);
    for (int i = 0; i < 5; ++i)
        testing::PressKey(VK_LEFT, {ssShift});
    testing::Pump();
    bool ok = testing::SavePng(ComposeWindowPixels(form->Handle(), true),
                               dir + "/editor-rtl-selection.png");
    // A click inside the Arabic question puts the caret between two of its letters.
    testing::Click(edit, 300, 100);
    testing::Pump();
    ok = testing::SavePng(ComposeWindowPixels(form->Handle(), true),
                          dir + "/editor-rtl-click.png") &&
         ok;
    return ok;
}

} // namespace

demo::DemoSection viewerRtlSection("06-viewer-rtl", RenderViewer);
demo::DemoSection editorRtlSection("08-editor-rtl", RenderEditor);
