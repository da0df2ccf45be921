// An editor typed into as a person would: text, Enter, Shift+Enter, Backspace, a word deleted
// with Ctrl+Backspace, a step undone with Ctrl+Z and redone with Ctrl+Shift+Z, another undone
// for good. The result is saved as a picture and as RVF.

#include <string>

#include "demo/DemoRegistry.h"
#include "platform/controls/Forms.h"
#include "platform/core/Streams.h"
#include "platform/testing/UserActions.h"
#include "richtext/edit/RVEdit.h"

using namespace epc;

namespace {

bool RenderTyping(const std::string& dir) {
    auto* form = Application->CreateForm<TForm>();
    form->SetCaption("Answer notes");
    form->SetBounds(40, 40, 480, 280);
    auto* style = new TRVStyle(form);
    style->TextStyles[0].FontName = "Arial";
    style->TextStyles[0].Size = 12;
    // The heading style: Enter at its end goes on in the body style.
    TFontInfo& heading = style->TextStyles.Add();
    heading = style->TextStyles[0];
    heading.Size = 15;
    heading.Style.Include(TRVFontStyle::rvfsBold);
    heading.Color = clNavy;
    heading.NextStyleNo = 0;
    auto* edit = new TRichViewEdit(form);
    edit->SetName("rveNotes");
    edit->SetParent(form);
    edit->SetAlign(alClient);
    edit->SetStyle(style);
    edit->AppendTextParagraph("", 1, 0);
    testing::ShowForm(form);
    edit->Format();
    edit->SetFocus();
    edit->SetCurTextStyleNo(1);
    testing::Pump();

    testing::TypeText("Routing table");
    testing::PressKey(VK_RETURN);
    testing::TypeText("The command show ip route lists the routes.");
    testing::PressKey(VK_RETURN);
    testing::TypeText("Each line gives the prefix,");
    testing::PressKey(VK_RETURN, {ssShift});
    testing::TypeText("the next hop and the interfaze");
    // A typing slip mended with Backspace.
    testing::PressKey(VK_BACK);
    testing::PressKey(VK_BACK);
    testing::TypeText("ce.");
    testing::PressKey(VK_RETURN);
    testing::TypeText("Wrong remark here");
    // The last line is deleted word by word, brought back by undo and redo, then undone.
    testing::PressKey(VK_BACK, {ssCtrl});
    testing::PressKey('Z', {ssCtrl});
    testing::PressKey('Z', {ssCtrl, ssShift});
    testing::PressKey('Z', {ssCtrl});
    testing::PressKey('Z', {ssCtrl});
    testing::Pump();

    bool ok =
        testing::SavePng(ComposeWindowPixels(form->Handle(), true), dir + "/editor-typing.png");
    TMemoryStream rvf;
    edit->EditData()->SaveToRvfStream(rvf, false);
    try {
        rvf.SaveToFile(dir + "/editor-typing.rvf");
    } catch (const std::exception&) {
        ok = false;
    }
    return ok;
}

} // namespace

demo::DemoSection editorTypingSection("08-editor-typing", RenderTyping);
