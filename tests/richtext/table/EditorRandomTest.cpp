// Seeded random editing through messages: keys, clicks and drags over two editors holding text
// in ANSI and Unicode styles, a list, pictures, breaks and a table whose cells are edited in
// place, with copy, cut and paste between the editors. After every step the documents keep their
// structure; at the end undo and redo give back the first and the last document byte for byte.

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <string>

#include "platform/context/PlatformContext.h"
#include "platform/controls/Clipbrd.h"
#include "platform/core/Streams.h"
#include "platform/graphics/Bitmap.h"
#include "platform/testing/UserActions.h"
#include "richtext/edit/RVEdit.h"
#include "richtext/table/RVTable.h"
#include "tests/richtext/view/ViewTestSupport.h"

namespace epc::test {
namespace {

int EnvNumber(const char* name, int fallback) {
    const char* value = std::getenv(name);
    if (!value || !*value) return fallback;
    const int n = std::atoi(value);
    return n > 0 ? n : fallback;
}

std::string RvfOf(TCustomRVData* data) {
    TMemoryStream stream;
    data->SaveToRvfStream(stream, false);
    return stream.DataString();
}

// Where a document breaks the rules every edit keeps (empty when it keeps them): no control
// character but tab in a text item, a list marker starts a paragraph and has something behind
// it, nothing shares the line of a full-line item, no empty text item beside another of its line.
std::string StructureFault(const TCustomRVData& d, const std::string& where, int depth = 0) {
    const int n = d.ItemCount();
    for (int i = 0; i < n; ++i) {
        const TCustomRVItemInfo* item = d.GetItem(i);
        const std::string at = where + "item " + std::to_string(i) + " (style " +
                               std::to_string(item->StyleNo) +
                               (item->IsUnicode() ? ", Unicode" : "") + "): ";
        const std::string& text = d.GetItemText(i);
        const bool startsPara = i == 0 || item->StartsParagraph();
        if (item->StyleNo >= 0) {
            if (item->IsUnicode()) {
                for (size_t k = 0; k + 1 < text.size(); k += 2) {
                    const unsigned u = uint8_t(text[k]) | uint8_t(text[k + 1]) << 8;
                    if (u < 32 && u != 9) return at + "control character " + std::to_string(u);
                }
            } else {
                for (char c : text)
                    if (uint8_t(c) < 32 && c != '\t')
                        return at + "control character " + std::to_string(int(uint8_t(c)));
            }
            if (text.empty()) {
                const bool before =
                    i > 0 && item->GetJoinsPrevious() && d.GetItem(i - 1)->StyleNo != rvsListMarker;
                const bool after = i + 1 < n && d.GetItem(i + 1)->GetJoinsPrevious();
                if (before || after) return at + "empty text item beside another";
            }
        }
        if (item->StyleNo == rvsListMarker) {
            if (!startsPara) return at + "list marker inside a line";
            if (i + 1 >= n || !d.GetItem(i + 1)->GetJoinsPrevious())
                return at + "marker-only paragraph";
        }
        if (item->IsFullLine()) {
            if (!startsPara) return at + "full-line item inside a line";
            if (i + 1 < n && !d.GetItem(i + 1)->StartsParagraph())
                return at + "item continues the line of a full-line item";
        }
        if (depth < 8)
            for (int k = 0; const TCustomRVData* sub = item->GetSubRVData(k); ++k) {
                std::string fault =
                    StructureFault(*sub, at + "cell " + std::to_string(k) + ": ", depth + 1);
                if (!fault.empty()) return fault;
            }
    }
    return std::string();
}

class EditorRandom : public ::testing::Test {
protected:
    TPlatformContext Context;
    void SetUp() override {
        Form = NewTestForm();
        // Small windows: every message paints them, and the paint is most of a step's time.
        Form->SetBounds(50, 50, 340, 130);
        Style = new TRVStyle(Form);
        Style->TextStyles[0].FontName = "Fixed Metrics Test";
        Style->TextStyles[0].Size = 15;
        // 1: Unicode, 2: ANSI and bold.
        Style->TextStyles.Add() = Style->TextStyles[0];
        Style->TextStyles[1].Unicode = true;
        Style->TextStyles[1].Style.Include(TRVFontStyle::rvfsItalic);
        Style->TextStyles.Add() = Style->TextStyles[0];
        Style->TextStyles[2].Style.Include(TRVFontStyle::rvfsBold);
        TRVListInfo& list = Style->ListStyles.Add();
        list.AddLevel().ListType = TRVListType::rvlstDecimal;
        list.Levels[0]->FormatString = "%0:s.";
        A = NewEditor(0, 0, 200, 120);
        B = NewEditor(210, 0, 120, 120);
        Check = NewEditor(0, 0, 200, 120);
        Check->SetVisible(false);
    }
    TRichViewEdit* NewEditor(int left, int top, int width, int height) {
        auto* e = new TRichViewEdit(Form);
        e->SetParent(Form);
        e->SetBounds(left, top, width, height);
        e->SetBorderStyle(bsNone);
        e->SetStyle(Style);
        return e;
    }
    // Text in both encodings, a numbered list, a picture, a break and a 2 x 2 table.
    void Fill(std::mt19937& rng) {
        TCustomRVData* a = A->RVData();
        a->AddTextParagraph("Alpha beta", 0, 0, TRVTag());
        a->AddTextParagraph("Gamma delta", 1, 0, TRVTag());
        a->AddTextParagraph(" epsilon", 2, -1, TRVTag());
        a->AddTextParagraph("one", 0, 0, TRVTag());
        a->AddTextParagraph("two", 0, 0, TRVTag());
        a->AddPictureItem("p", std::make_unique<TBitmap>(12, 8), 0, TRVVAlign::rvvaBaseline);
        a->AddTextParagraph(" after picture", 0, -1, TRVTag());
        a->AddBreak();
        a->AppendItem(std::string(), NewTable(a, rng));
        a->AddTextParagraph("Zeta eta theta", 1, 0, TRVTag());
        TCustomRVData* b = B->RVData();
        b->AddTextParagraph("Other editor", 0, 0, TRVTag());
        b->AddTextParagraph("Omega", 1, 0, TRVTag());
        testing::ShowForm(Form);
        A->Format();
        B->Format();
        A->EditData()->SetParagraphMarker(4, 0, 0, 1, false);
        A->EditData()->SetParagraphMarker(3, 0, 0, 1, false);
        A->Format();
        A->SetFocus();
        testing::Pump();
    }
    static std::unique_ptr<TRVTableItemInfo> NewTable(TCustomRVData* owner, std::mt19937& rng) {
        auto table = TRVTableItemInfo::CreateSized(2, owner, 2);
        for (int r = 0; r < 2; ++r)
            for (int c = 0; c < 2; ++c) {
                TRVTableCellData* cell = table->GetCell(r, c);
                cell->Clear();
                // ANSI styles: a cell outside a document has no style sheet to encode by.
                std::string text = "r";
                text += std::to_string(r);
                text += 'c';
                text += std::to_string(c);
                cell->AddTextParagraph(text, rng() % 2 ? 0 : 2, 0, TRVTag());
            }
        return table;
    }

    // The editor that has the keyboard: the one last clicked.
    TRichViewEdit* Target() { return FocusB ? B : A; }
    TCustomRichViewEdit* Top() { return Target()->GetTopEditor(); }

    static std::string Letters(std::mt19937& rng) {
        static const char* const pieces[] = {"a",        "b",        "x",  " ",  "e", "Q",
                                             "\xC3\xA9", "\xCE\xB1", "\t", "ok", "z "};
        std::string s;
        const int n = 1 + int(rng() % 3);
        for (int k = 0; k < n; ++k)
            s += pieces[rng() % (sizeof(pieces) / sizeof(*pieces))];
        return s;
    }

    TPoint RandomPoint(std::mt19937& rng, TRichViewEdit* e) {
        return TPoint{int(rng() % uint32_t(e->Width() - 20)) + 2,
                      int(rng() % uint32_t(e->Height() - 20)) + 2};
    }

    // One user action; its name goes to the log.
    void Step(std::mt19937& rng, std::string& name) {
        TRichViewEdit* e = Target();
        // Pastes double what they paste: a document grown large loses a few paragraphs.
        if ((FocusB ? CheckedB : CheckedA).size() > 12000 && rng() % 4 == 0) {
            name = "trim";
            testing::PressKey(VK_HOME, {ssCtrl});
            for (int k = 0; k < 4; ++k)
                testing::PressKey(VK_DOWN, {ssShift});
            testing::PressKey(VK_DELETE);
            return;
        }
        const uint32_t roll = rng() % 100;
        auto shift = [&](TShiftState s) {
            if (rng() % 3 == 0) s.Include(ssShift);
            return s;
        };
        if (roll < 22) {
            const std::string text = Letters(rng);
            name = "type '" + text + "'";
            testing::TypeText(text);
        } else if (roll < 40) {
            static const Word keys[] = {VK_LEFT, VK_RIGHT, VK_UP, VK_DOWN, VK_HOME, VK_END};
            const Word key = keys[rng() % 6];
            TShiftState s = shift({});
            if (rng() % 5 == 0) s.Include(ssCtrl);
            name = "key " + std::to_string(key) + (s.Contains(ssShift) ? "+shift" : "") +
                   (s.Contains(ssCtrl) ? "+ctrl" : "");
            testing::PressKey(key, s);
        } else if (roll < 48) {
            const bool br = rng() % 3 == 0;
            name = br ? "shift+enter" : "enter";
            testing::PressKey(VK_RETURN, br ? TShiftState{ssShift} : TShiftState{});
        } else if (roll < 58) {
            const bool back = rng() % 2 == 0;
            const bool ctrl = rng() % 6 == 0;
            name = std::string(back ? "backspace" : "delete") + (ctrl ? "+ctrl" : "");
            testing::PressKey(back ? VK_BACK : VK_DELETE,
                              ctrl ? TShiftState{ssCtrl} : TShiftState{});
        } else if (roll < 68) {
            // A click in either editor (in a table cell it opens the cell's editor).
            FocusB = rng() % 5 == 0;
            TRichViewEdit* to = Target();
            const TPoint p = RandomPoint(rng, to);
            const bool extend = rng() % 6 == 0;
            name = std::string("click ") + (FocusB ? "B " : "A ") + std::to_string(p.X) + "," +
                   std::to_string(p.Y) + (extend ? "+shift" : "");
            testing::Click(to, p.X, p.Y, mbLeft, extend ? TShiftState{ssShift} : TShiftState{});
        } else if (roll < 72) {
            const TPoint from = RandomPoint(rng, e), to = RandomPoint(rng, e);
            name = "drag " + std::to_string(from.X) + "," + std::to_string(from.Y) + " to " +
                   std::to_string(to.X) + "," + std::to_string(to.Y);
            testing::DragMouse(e, from, to);
        } else if (roll < 76) {
            const int styleNo = int(rng() % 3);
            name = "style " + std::to_string(styleNo);
            Top()->SetCurTextStyleNo(styleNo);
        } else if (roll < 80) {
            name = "copy";
            testing::PressKey('C', {ssCtrl});
        } else if (roll < 83) {
            name = "cut";
            testing::PressKey('X', {ssCtrl});
        } else if (roll < 88) {
            // Not into a cell editor: a table pasted there and taken away again leaves the list
            // markers of its cells listed after they are freed (the table's matter).
            name = "paste";
            if (Top() == e) testing::PressKey('V', {ssCtrl});
        } else if (roll < 90) {
            name = "picture";
            Top()->InsertPicture("p", std::make_unique<TBitmap>(6 + int(rng() % 16), 6),
                                 TRVVAlign::rvvaBaseline);
        } else if (roll < 91) {
            name = "break";
            Top()->InsertItem(std::make_unique<TRVBreakItemInfo>(Top()->RVData()), "");
        } else if (roll < 92 && Top() == e) {
            name = "table";
            e->InsertItem(NewTable(e->RVData(), rng), "");
        } else if (roll < 94) {
            name = "list";
            Top()->InsertItem(std::make_unique<TRVMarkerItemInfo>(Top()->RVData(), 0, 0, 1, false),
                              "");
        } else if (roll < 97) {
            name = "undo";
            testing::PressKey('Z', {ssCtrl});
        } else {
            name = "redo";
            testing::PressKey('Z', {ssCtrl, ssShift});
        }
        testing::Pump();
    }

    // Every drawing item but a list marker has a caret stop that Right reaches from the
    // document's start: walked in a copy loaded from the editor's RVF, which must save to the
    // same bytes.
    std::string CopyFault(TRichViewEdit* e, const std::string& saved) {
        Check->SetWidth(e->Width());
        TMemoryStream in;
        in.Write(saved.data(), int64_t(saved.size()));
        in.SetPosition(0);
        if (!Check->ReadRvfStream(in)) return "saved RVF does not load";
        if (RvfOf(Check->RVData()) != saved) return "saved RVF reloads to other bytes";
        Check->Format();
        TRVEditRVData* d = Check->EditData();
        const int draws = d->DrawItems.Count();
        if (draws == 0) return std::string();
        std::vector<char> seen(size_t(draws), 0);
        // Line by line, the stops the arrow keys step through; Right at a line's last stop goes
        // on to the next line's first drawing item.
        for (int line = 0; line < draws;) {
            int first = line, last = line;
            d->GetScreenLineBounds(line, first, last);
            d->CaretDrawItemNo = first;
            d->BuildCaretLine(-1);
            if (d->CharEnds.empty() && d->CaretDrawItemNo >= 0)
                return "line at drawing item " + std::to_string(first) + " has no caret stop";
            for (const TRVCharPos& stop : d->CharEnds)
                if (stop.DrawItemNo >= 0 && stop.DrawItemNo < draws)
                    seen[size_t(stop.DrawItemNo)] = 1;
            line = std::max(last, first) + 1;
        }
        for (int i = 0; i < draws; ++i)
            if (!seen[size_t(i)] && d->GetItemStyleNo(d->DrawItems[i]->ItemNo) != rvsListMarker)
                return "drawing item " + std::to_string(i) + " (item " +
                       std::to_string(d->DrawItems[i]->ItemNo) + ") has no reachable stop";
        return std::string();
    }

    static void CloseCell(TRichViewEdit* e) {
        e->DestroyInplaceEditor();
        testing::Pump();
    }

    TForm* Form = nullptr;
    TRVStyle* Style = nullptr;
    TRichViewEdit* A = nullptr;
    TRichViewEdit* B = nullptr;
    TRichViewEdit* Check = nullptr;
    bool FocusB = false;
    std::string CheckedA, CheckedB; // the documents last walked
};

TEST_F(EditorRandom, KeysClicksAndPastesKeepTheStructureAndUndoRedoGiveTheBytesBack) {
    const int seeds = EnvNumber("EPC_RANDOM_SEEDS", 6);
    const int steps = EnvNumber("EPC_RANDOM_STEPS", 3000);
    // A failing seed runs alone with EPC_RANDOM_FIRST_SEED.
    const int firstSeed = EnvNumber("EPC_RANDOM_FIRST_SEED", 1);
    for (int seed = firstSeed; seed < firstSeed + seeds; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        std::mt19937 rng(uint32_t(seed) * 7919u);
        if (seed > firstSeed) {
            CloseCell(A);
            CloseCell(B);
            A->Clear();
            B->Clear();
            A->EditData()->UndoList->Clear();
            A->EditData()->RedoList->Clear();
            B->EditData()->UndoList->Clear();
            B->EditData()->RedoList->Clear();
        }
        // Each seed starts from an empty clipboard, so that one seed replays alone.
        Clipboard()->Clear();
        FocusB = false;
        CheckedA.clear();
        CheckedB.clear();
        Fill(rng);
        const std::string firstA = RvfOf(A->RVData()), firstB = RvfOf(B->RVData());
        std::string log;
        bool focusedB = false;
        for (int step = 0; step < steps; ++step) {
            std::string name;
            Step(rng, name);
            log += std::to_string(step) + " " + name + "; ";
            if (log.size() > 2000) log.erase(0, log.size() - 1500);
            // Only the editor that had the keyboard before or after the step can have changed.
            const bool touchedB = FocusB || focusedB;
            const bool touchedA = !FocusB || !focusedB;
            focusedB = FocusB;
            for (TRichViewEdit* e : {A, B}) {
                const std::string fault = StructureFault(*e->RVData(), e == A ? "A " : "B ");
                ASSERT_EQ(fault, "") << log;
                if (!(e == A ? touchedA : touchedB)) continue;
                // The copy is walked only when the document changed.
                std::string& checked = e == A ? CheckedA : CheckedB;
                std::string now = RvfOf(e->RVData());
                if (now == checked) continue;
                ASSERT_EQ(CopyFault(e, now), "") << (e == A ? "A " : "B ") << log;
                checked = std::move(now);
            }
        }
        for (TRichViewEdit* e : {A, B}) {
            const std::string& first = e == A ? firstA : firstB;
            // A typed run goes a character at a time; nothing takes longer than the steps.
            auto replayAll = [&](bool redo) {
                for (int k = 0; redo ? e->CanRedo() : e->CanUndo(); ++k) {
                    ASSERT_LT(k, 20 * steps) << log;
                    if (redo)
                        e->Redo();
                    else
                        e->Undo();
                    testing::Pump();
                }
                CloseCell(e);
            };
            // Steps the run took back come again first: the last document has every step.
            CloseCell(e);
            replayAll(true);
            const std::string last = RvfOf(e->RVData());
            replayAll(false);
            EXPECT_EQ(RvfOf(e->RVData()), first) << (e == A ? "A " : "B ") << log;
            replayAll(true);
            EXPECT_EQ(RvfOf(e->RVData()), last) << (e == A ? "A " : "B ") << log;
        }
    }
}

} // namespace
} // namespace epc::test
