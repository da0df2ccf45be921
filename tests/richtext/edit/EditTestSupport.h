#pragma once
// An editor on a shown form with a fixed-metrics style sheet, and helpers that read its
// document back (RVF bytes, item texts, the layout) for the editing tests.

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "platform/context/PlatformContext.h"
#include "platform/core/Streams.h"
#include "platform/testing/UserActions.h"
#include "richtext/edit/RVEdit.h"
#include "tests/richtext/view/ViewTestSupport.h"

namespace epc::test {

inline constexpr const char* kFixedFace = "Fixed Metrics Test";

// A form with a style sheet whose text style 0 is the fixed-metrics face (cells of 10 x 20
// pixels) and an editor of class E placed by AddEditor once the fixture's styles are in.
template <class E = TRichViewEdit> class EditorOnFormFixture : public ::testing::Test {
protected:
    TPlatformContext Context; // one per case: its end frees what the case leaves
    void SetUp() override {
        Form = NewTestForm();
        Style = new TRVStyle(Form);
        Style->TextStyles[0].FontName = kFixedFace;
        Style->TextStyles[0].Size = 15;
    }

    void AddEditor(int left, int top, int width, int height) {
        Edit = new E(Form);
        Edit->SetParent(Form);
        Edit->SetBounds(left, top, width, height);
        Edit->SetBorderStyle(bsNone);
        Edit->SetStyle(Style);
    }
    // A copy of text style 0 that Change adjusts; returns its number.
    template <class F> int AddTextStyle(F change) {
        TFontInfo& f = Style->TextStyles.Add();
        f = Style->TextStyles[0];
        change(f);
        return Style->TextStyles.Count() - 1;
    }
    void Show() {
        testing::ShowForm(Form);
        Edit->Format();
        Edit->SetFocus();
        testing::Pump();
    }
    TRVEditRVData* Data() { return Edit->EditData(); }
    // Caret as (item, offset).
    std::vector<int> CaretPos() { return {Edit->CaretItemIndex(), Edit->CaretItemOffset()}; }
    // Selection as (start item, offset, end item, offset), in document order.
    std::vector<int> Sel() {
        int si, so, ei, eo;
        Data()->GetSelectionBounds(si, so, ei, eo, true);
        return {si, so, ei, eo};
    }
    // Selects Length characters from a character position, the caret at the end.
    void Select(int start, int length) {
        Data()->SelectRange(start, length, false);
        Data()->CaretToSelectionEnd();
    }
    // The bytes an editor writes as RVF.
    static std::string RvfOf(TCustomRichViewEdit* source) {
        TMemoryStream stream;
        source->WriteRvfStream(stream, false);
        return std::string(reinterpret_cast<const char*>(stream.Memory()), size_t(stream.Size()));
    }
    static void LoadStream(TMemoryStream& stream, const std::string& bytes) {
        stream.Write(bytes.data(), int64_t(bytes.size()));
        stream.SetPosition(0);
    }
    bool InsertRvfBytes(const std::string& bytes) {
        TMemoryStream stream;
        LoadStream(stream, bytes);
        return Edit->InsertRVFFromStream(stream);
    }
    bool InsertRtfText(const std::string& rtf) {
        TMemoryStream stream;
        LoadStream(stream, rtf);
        return Edit->InsertRTFFromStream(stream, "");
    }

    TForm* Form = nullptr;
    TRVStyle* Style = nullptr;
    E* Edit = nullptr;
};

// Text styles: 0 plain, 1 Unicode, 2 protected against changes inside, 3 against deletion,
// 4 against typing next to it, 5 against starting a paragraph, 6 whose Enter switches to 1.
// Paragraph styles: 0 plain, 1 indented, 2 read-only, 3 style-protected, 4 no returns.
class EditFixture : public EditorOnFormFixture<> {
protected:
    void SetUp() override {
        EditorOnFormFixture::SetUp();
        AddTextStyle([](TFontInfo& f) { f.Unicode = true; });
        AddTextStyle(
            [](TFontInfo& f) { f.Protection.Include(TRVProtectOption::rvprModifyProtect); });
        AddTextStyle(
            [](TFontInfo& f) { f.Protection.Include(TRVProtectOption::rvprDeleteProtect); });
        AddTextStyle(
            [](TFontInfo& f) { f.Protection.Include(TRVProtectOption::rvprConcateProtect); });
        AddTextStyle(
            [](TFontInfo& f) { f.Protection.Include(TRVProtectOption::rvprParaStartProtect); });
        AddTextStyle([](TFontInfo& f) { f.NextStyleNo = 1; });
        auto addPara = [this](auto change) {
            TParaInfo& p = Style->ParaStyles.Add();
            change(p);
        };
        addPara([](TParaInfo& p) { p.LeftIndent = 20; });
        addPara([](TParaInfo& p) { p.Options.Include(TRVParaOption::rvpaoReadOnly); });
        addPara([](TParaInfo& p) { p.Options.Include(TRVParaOption::rvpaoStyleProtect); });
        addPara([](TParaInfo& p) { p.Options.Include(TRVParaOption::rvpaoDoNotWantReturns); });
        AddEditor(0, 0, 380, 280);
    }

    // Paragraphs of plain text in style 0, shown.
    void Load(const std::vector<std::string>& paragraphs) {
        for (const std::string& p : paragraphs)
            Data()->AddTextParagraph(p, 0, 0, TRVTag());
        Show();
    }
    void CaretAt(int itemNo, int offs) { Data()->PlaceCaretAt(itemNo, offs); }

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
    // The caret, under the name the typing and table tests know it by.
    std::vector<int> Caret() { return CaretPos(); }
    void Key(Word key, TShiftState shift = {}) { testing::PressKey(key, shift); }
    void Type(const std::string& text) { testing::TypeText(text); }
};

// Random scripts on random documents: a big text style, random words, and the check that the
// layout an edit leaves equals a full format of the same document.
class EditScriptFixture : public EditFixture {
protected:
    void SetUp() override {
        EditFixture::SetUp();
        BigStyle = AddTextStyle([](TFontInfo& f) { f.Size = 24; });
    }

    // Up to MaxLen - 1 letters with some spaces.
    static std::string Words(std::mt19937& rng, int maxLen) {
        std::string s;
        const int len = int(rng() % uint32_t(maxLen));
        for (int k = 0; k < len; ++k)
            s += rng() % 5 == 0 ? ' ' : char('a' + rng() % 26);
        return s;
    }

    std::vector<std::vector<int>> Layout() {
        std::vector<std::vector<int>> items;
        for (int i = 0; i < Data()->DrawItems.Count(); ++i) {
            const TRVDrawLineInfo* x = Data()->DrawItems[i];
            items.push_back({x->ItemNo, x->Offs, x->Length, x->Left, x->Top, x->Width, x->Height});
        }
        return items;
    }

    // The layout left by the edit equals a full format; the caret stays where it was.
    void ExpectFullLayout() {
        const std::vector<std::vector<int>> partial = Layout();
        const int height = Data()->DocumentHeight;
        const int minWidth = Data()->MinWidth;
        const int itemNo = Edit->CaretItemIndex(), offs = Edit->CaretItemOffset();
        Data()->Format(false);
        // Near the width where the scroll bar comes and goes, a full format keeps whichever
        // width it started from; lines broken for the other width are not a fault of the edit.
        const int window = Data()->GetClientWidth() - 10;
        const bool windowWidths = std::abs(minWidth - window) <= kScrollBar &&
                                  std::abs(Data()->MinWidth - window) <= kScrollBar;
        if (minWidth == Data()->MinWidth || !windowWidths) {
            ++Compared;
            ASSERT_EQ(partial, Layout());
            ASSERT_EQ(height, Data()->DocumentHeight);
        }
        if (itemNo >= 0 && itemNo < Data()->ItemCount()) Data()->PlaceCaretAt(itemNo, offs);
    }

    static constexpr int kScrollBar = 17;
    int BigStyle = 0;
    // Layouts compared with a full format.
    int Compared = 0;
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
