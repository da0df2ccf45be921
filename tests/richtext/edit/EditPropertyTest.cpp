// Random edit scripts on random documents: after every step the partial layout equals a full
// format of the same document; undoing everything gives back the original bytes and redoing
// everything the edited ones.

#include <random>

#include "tests/richtext/edit/EditTestSupport.h"

namespace epc::test {
namespace {

class EditScripts : public EditScriptFixture {
protected:
    void SetUp() override {
        EditScriptFixture::SetUp();
        TRVListInfo& list = Style->ListStyles.Add();
        list.AddLevel().ListType = TRVListType::rvlstDecimal;
        list.Levels[0]->FormatString = "%0:s.";
        testing::ShowForm(Form);
        Edit->SetFocus();
    }

    // Paragraphs in every paragraph style (read-only and protected ones among them) of text in
    // every text style (protected ones among them), bullets and breaks; some paragraphs are
    // list items.
    void MakeDocument(std::mt19937& rng) {
        Edit->Clear();
        TRVEditRVData* d = Data();
        const int paragraphs = 2 + int(rng() % 6);
        for (int p = 0; p < paragraphs; ++p) {
            const int items = 1 + int(rng() % 3);
            for (int i = 0; i < items; ++i) {
                const int para = i == 0 ? int(rng() % 5) : -1;
                const int kind = int(rng() % 12);
                if (kind == 0 && i == 0 && p > 0) {
                    d->AddBreak();
                    break;
                }
                if (kind == 1) {
                    d->AddBullet("b", 0, nullptr, 0, para);
                    continue;
                }
                const int styles[] = {0, 1, BigStyle, 0, 2, 3, 4, 5, 6};
                d->AddTextParagraph(Words(rng, 40), styles[rng() % 9], para, TRVTag());
            }
        }
        for (int i = 0; i < d->ItemCount(); ++i)
            if (d->GetItem(i)->StartsParagraph() && d->GetItemStyleNo(i) >= 0 && rng() % 3 == 0) {
                d->SetParagraphMarker(i, 0, 0, 1, false);
                ++i;
            }
        Edit->Format();
    }

    void RandomStep(std::mt19937& rng) {
        TRVEditRVData* d = Data();
        const int itemNo = int(rng() % uint32_t(d->ItemCount()));
        const int start = d->ItemStartOffset(itemNo), end = d->ItemEndOffset(itemNo);
        const int offs = start + int(rng() % uint32_t(end - start + 1));
        switch (rng() % 10) {
        case 0:
            d->PlaceCaretAt(itemNo, offs);
            Type(std::string(1, char('a' + rng() % 26)) + (rng() % 2 ? " " : ""));
            break;
        case 1:
            d->PlaceCaretAt(itemNo, offs);
            Key(VK_BACK, rng() % 4 == 0 ? TShiftState{ssCtrl} : TShiftState{});
            break;
        case 2:
            d->PlaceCaretAt(itemNo, offs);
            Key(VK_DELETE, rng() % 4 == 0 ? TShiftState{ssCtrl} : TShiftState{});
            break;
        case 3:
            d->PlaceCaretAt(itemNo, offs);
            Key(VK_RETURN);
            break;
        case 4:
            d->PlaceCaretAt(itemNo, offs);
            Key(VK_RETURN, {ssShift});
            break;
        case 5: {
            const int other = int(rng() % uint32_t(d->ItemCount()));
            const int a = std::min(itemNo, other), b = std::max(itemNo, other);
            d->SetSelection(a, a == itemNo ? offs : d->ItemStartOffset(a), b,
                            d->ItemEndOffset(b) - int(rng() % 2));
            Key(rng() % 2 ? VK_DELETE : VK_BACK);
            break;
        }
        case 6: {
            // A text style change, as style application makes it.
            if (d->GetItemStyleNo(itemNo) < 0 || d->GetItem(itemNo)->IsUnicode()) break;
            d->BeginUndoAction(rvutStyleNo, true);
            d->SetStyleNoUndoable(itemNo, d->GetItemStyleNo(itemNo) == 0 ? BigStyle : 0);
            d->EndUndoSequence();
            d->Format(false);
            d->MarkChanged();
            break;
        }
        case 7: {
            bool full = false;
            int first = itemNo, last = itemNo;
            d->GetParagraphItemRange(first, last);
            d->BeginUndoAction(rvutPara, true);
            d->SetParaStyleRangeUndoable(first, last, int(rng() % 2), full);
            d->EndUndoSequence();
            d->Format(false);
            d->MarkChanged();
            break;
        }
        default:
            d->PlaceCaretAt(itemNo, offs);
            Type(Words(rng, 6));
            break;
        }
    }
};

TEST_F(EditScripts, RandomEditsLayOutAsAFullFormatAndUndoAndRedoCompletely) {
    for (uint32_t round = 0; round < 60; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        std::mt19937 rng(round);
        MakeDocument(rng);
        const std::string original = Rvf();
        const int steps = 10 + int(round % 30);
        for (int step = 0; step < steps; ++step) {
            SCOPED_TRACE("step " + std::to_string(step));
            RandomStep(rng);
            ASSERT_GT(Data()->ItemCount(), 0);
            ExpectFullLayout();
            if (HasFailure()) return;
        }
        const std::string edited = Rvf();
        int undone = 0;
        while (Edit->CanUndo()) {
            Edit->Undo();
            ExpectFullLayout();
            if (HasFailure()) return;
            ++undone;
        }
        ASSERT_EQ(Rvf(), original);
        while (Edit->CanRedo())
            Edit->Redo();
        ASSERT_EQ(Rvf(), edited);
        EXPECT_GT(undone, 0);
    }
    EXPECT_GT(Compared, 1000);
}

} // namespace
} // namespace epc::test
