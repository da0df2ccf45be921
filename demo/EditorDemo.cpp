// An editor on a form: the caret moved with the arrow keys, then a selection made with
// Shift+arrows, saved with the caret drawn.

#include <string>

#include "demo/DemoRegistry.h"
#include "platform/controls/Forms.h"
#include "platform/testing/UserActions.h"
#include "richtext/edit/RVEdit.h"

using namespace epc;

namespace {

bool RenderEditor(const std::string& dir) {
    auto* form = Application->CreateForm<TForm>();
    form->SetCaption("Question editor");
    form->SetBounds(40, 40, 480, 260);
    auto* style = new TRVStyle(form);
    style->TextStyles[0].FontName = "Arial";
    style->TextStyles[0].Size = 12;
    TFontInfo& bold = style->TextStyles.Add();
    bold.FontName = "Arial";
    bold.Size = 14;
    bold.Style.Include(TRVFontStyle::rvfsBold);
    bold.Color = clNavy;
    auto* edit = new TRichViewEdit(form);
    edit->SetName("rveQuestion");
    edit->SetParent(form);
    edit->SetAlign(alClient);
    edit->SetStyle(style);
    edit->AppendTextParagraph("Question 3", 1, 0);
    edit->AppendTextParagraph("Which command shows the routing table of a router?", 0, 0);
    edit->AppendTextParagraph("Choose the best answer and explain the output it gives.", 0, 0);
    testing::ShowForm(form);
    edit->Format();
    edit->SetFocus();
    testing::Pump();
    // The caret goes down two lines and right by a word, then Shift+arrows select.
    testing::PressKey(VK_DOWN);
    testing::PressKey(VK_DOWN);
    testing::PressKey(VK_RIGHT, {ssCtrl});
    testing::PressKey(VK_RIGHT, {ssCtrl, ssShift});
    testing::PressKey(VK_RIGHT, {ssCtrl, ssShift});
    testing::PressKey(VK_UP, {ssShift});
    testing::Pump();
    const bool ok =
        testing::SavePng(ComposeWindowPixels(form->Handle(), true), dir + "/editor-selection.png");
    return ok;
}

} // namespace

demo::DemoSection editorSection("08-editor", RenderEditor);
