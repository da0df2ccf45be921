#pragma once
// An editor on a shown form with a fixed-metrics style sheet, and helpers that read its
// document back (RVF bytes, item texts, the layout) for the editing tests.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/core/Streams.h"
#include "platform/testing/UserActions.h"
#include "richtext/edit/RVEdit.h"
#include "tests/richtext/view/ViewTestSupport.h"

namespace epc::test {

// Text styles: 0 plain, 1 Unicode, 2 protected against changes inside, 3 against deletion,
// 4 against typing next to it, 5 against starting a paragraph, 6 whose Enter switches to 1.
// Paragraph styles: 0 plain, 1 indented, 2 read-only, 3 style-protected, 4 no returns.
class EditFixture : public ::testing::Test {
protected:
    void SetUp() override {
        Form = NewTestForm();
        Style = new TRVStyle(Form);
        Style->TextStyles[0].FontName = "Fixed Metrics Test";
        Style->TextStyles[0].Size = 15;
        auto addText = [this](auto change) {
            TFontInfo& f = Style->TextStyles.Add();
            f = Style->TextStyles[0];
            change(f);
        };
        addText([](TFontInfo& f) { f.Unicode = true; });
        addText([](TFontInfo& f) { f.Protection.Include(TRVProtectOption::rvprModifyProtect); });
        addText([](TFontInfo& f) { f.Protection.Include(TRVProtectOption::rvprDeleteProtect); });
        addText([](TFontInfo& f) { f.Protection.Include(TRVProtectOption::rvprConcateProtect); });
        addText([](TFontInfo& f) { f.Protection.Include(TRVProtectOption::rvprParaStartProtect); });
        addText([](TFontInfo& f) { f.NextStyleNo = 1; });
        auto addPara = [this](auto change) {
            TParaInfo& p = Style->ParaStyles.Add();
            change(p);
        };
        addPara([](TParaInfo& p) { p.LeftIndent = 20; });
        addPara([](TParaInfo& p) { p.Options.Include(TRVParaOption::rvpaoReadOnly); });
        addPara([](TParaInfo& p) { p.Options.Include(TRVParaOption::rvpaoStyleProtect); });
        addPara([](TParaInfo& p) { p.Options.Include(TRVParaOption::rvpaoDoNotWantReturns); });
        Edit = new TRichViewEdit(Form);
        Edit->SetParent(Form);
        Edit->SetBounds(0, 0, 380, 280);
        Edit->SetBorderStyle(bsNone);
        Edit->SetStyle(Style);
    }
    void TearDown() override { testing::ResetAll(); }

    TRVEditRVData* Data() { return Edit->EditData(); }
    void Show() {
        testing::ShowForm(Form);
        Edit->Format();
        Edit->SetFocus();
        testing::Pump();
    }
    std::string Rvf() {
        TMemoryStream stream;
        Data()->SaveToRvfStream(stream, false);
        return stream.DataString();
    }
    // Item texts, Unicode ones as ASCII, joined; "|" between items of a paragraph line, "/"
    // before a line break, "\n" before a paragraph, "[n]" for a non-text item's name.
    std::string Text() {
        std::string s;
        TRVEditRVData* d = Data();
        for (int i = 0; i < d->ItemCount(); ++i) {
            const TCustomRVItemInfo* item = d->GetItem(i);
            if (i > 0)
                s += item->GetJoinsPrevious() ? "|" : item->GetLineBreakBefore() ? "/" : "\n";
            if (item->StyleNo < 0) {
                s += "[" + d->GetItemText(i) + "]";
                continue;
            }
            for (char16_t c : d->GetItemTextW(i))
                s += char(c);
        }
        return s;
    }
    std::vector<int> Caret() { return {Edit->CaretItemIndex(), Edit->CaretItemOffset()}; }
    void Key(Word key, TShiftState shift = {}) { testing::PressKey(key, shift); }
    void Type(const std::string& text) { testing::TypeText(text); }

    TForm* Form = nullptr;
    TRVStyle* Style = nullptr;
    TRichViewEdit* Edit = nullptr;
};

// The drawing items of a formatted document, for comparing a partial layout with a full one.
inline void ExpectSameLayout(const TCustomRVFormattedData& a, const TCustomRVFormattedData& b) {
    ASSERT_EQ(a.DrawItems.Count(), b.DrawItems.Count());
    for (int i = 0; i < a.DrawItems.Count(); ++i) {
        const TRVDrawLineInfo* x = a.DrawItems[i];
        const TRVDrawLineInfo* y = b.DrawItems[i];
        ASSERT_EQ(x->ItemNo, y->ItemNo) << i;
        ASSERT_EQ(x->Offs, y->Offs) << i;
        ASSERT_EQ(x->Length, y->Length) << i;
        ASSERT_EQ(x->Left, y->Left) << i;
        ASSERT_EQ(x->Top, y->Top) << i;
        ASSERT_EQ(x->Width, y->Width) << i;
        ASSERT_EQ(x->Height, y->Height) << i;
    }
    EXPECT_EQ(a.DocumentHeight, b.DocumentHeight);
}

} // namespace epc::test
