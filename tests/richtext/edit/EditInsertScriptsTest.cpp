// Random insertion and style scripts on random documents: after every step the partial
// layout equals a full format of the same document; undoing everything gives back the
// original items and redoing everything the edited ones.

#include <random>

#include "platform/graphics/Bitmap.h"
#include "tests/richtext/edit/EditTestSupport.h"

namespace epc::test {
namespace {

class EditInsertScripts : public EditScriptFixture {
protected:
    void SetUp() override {
        EditScriptFixture::SetUp();
        // Text style conversion flips between the plain and the big style.
        Edit->OnStyleConversion = [this](TCustomRichViewEdit*, int styleNo, int, bool,
                                         int& newStyleNo) {
            newStyleNo = styleNo == 0 ? BigStyle : styleNo == BigStyle ? 0 : styleNo;
        };
        auto* source = new TRichViewEdit(Form);
        source->SetStyle(Style);
        source->AppendTextParagraph("fragment ", 0, 0);
        source->AppendTextParagraph("big", BigStyle, -1);
        source->AppendTextParagraph("second line", 1, 1);
        TMemoryStream stream;
        source->RVData()->SaveToRvfStream(stream, false);
        Fragment = stream.DataString();
        testing::ShowForm(Form);
        Edit->SetFocus();
    }

    void MakeDocument(std::mt19937& rng) {
        Edit->Clear();
        TRVEditRVData* d = Data();
        const int paragraphs = 2 + int(rng() % 5);
        for (int p = 0; p < paragraphs; ++p) {
            const int items = 1 + int(rng() % 3);
            for (int i = 0; i < items; ++i) {
                const int para = i == 0 ? int(rng() % 2) : -1;
                if (rng() % 8 == 0) {
                    d->AddPictureItem("p", std::make_unique<TBitmap>(10 + int(rng() % 30), 12),
                                      para, TRVVAlign::rvvaBaseline);
                    continue;
                }
                const int styles[] = {0, 1, BigStyle, 0};
                d->AddTextParagraph(Words(rng, 30), styles[rng() % 4], para, TRVTag());
            }
        }
        Edit->Format();
    }

    // Items with their styles and line state, the style sheet left out (RTF adds styles to
    // it that undo does not take back).
    std::string Dump() {
        std::string s;
        TRVEditRVData* d = Data();
        for (int i = 0; i < d->ItemCount(); ++i) {
            const TCustomRVItemInfo* item = d->GetItem(i);
            int w = 0;
            item->GetExtraIntProperty(3, w);
            s += std::to_string(item->StyleNo) + "," + std::to_string(item->ParaNo) + "," +
                 std::to_string(item->ItemOptions) + "," + std::to_string(w) + ":" +
                 d->GetItemText(i) + "\n";
        }
        return s;
    }

    void InsertStream(const std::string& bytes, bool rtf) {
        if (rtf)
            InsertRtfText(bytes);
        else
            InsertRvfBytes(bytes);
    }

    void RandomStep(std::mt19937& rng) {
        TRVEditRVData* d = Data();
        const int itemNo = int(rng() % uint32_t(d->ItemCount()));
        const int start = d->ItemStartOffset(itemNo), end = d->ItemEndOffset(itemNo);
        const int offs = start + int(rng() % uint32_t(end - start + 1));
        d->PlaceCaretAt(itemNo, offs);
        switch (rng() % 9) {
        case 0: {
            const char* breaks[] = {"\r\n", "\r", "\n", ""};
            Edit->InsertText(Words(rng, 8) + breaks[rng() % 4] + Words(rng, 8));
            break;
        }
        case 1: {
            const char16_t* breaks[] = {u"\u2028", u"\u2029", u"\f", u"\r\n"};
            const std::string a = Words(rng, 6), b = Words(rng, 6);
            Edit->InsertTextW(std::u16string(a.begin(), a.end()) + breaks[rng() % 4] +
                              std::u16string(b.begin(), b.end()));
            break;
        }
        case 2:
            Edit->InsertPicture("p", std::make_unique<TBitmap>(5 + int(rng() % 40), 9),
                                TRVVAlign::rvvaBaseline);
            break;
        case 3:
            InsertStream(Fragment, false);
            break;
        case 4:
            InsertStream(rng() % 2 ? "{\\rtf1\\ansi one {\\b two}\\par three}"
                                   : "{\\rtf1\\ansi inline}",
                         true);
            break;
        case 5:
        case 6: {
            const int other = int(rng() % uint32_t(d->ItemCount()));
            const int a = std::min(itemNo, other), b = std::max(itemNo, other);
            d->SetSelection(a, a == itemNo ? offs : d->ItemStartOffset(a), b,
                            std::max(d->ItemStartOffset(b), d->ItemEndOffset(b) - int(rng() % 2)));
            if (rng() % 2)
                Edit->ConvertSelectionTextStyles(0);
            else
                Edit->ApplyParaStyleToSelection(int(rng() % 2));
            break;
        }
        case 7:
            for (int i = 0; i < d->ItemCount(); ++i) {
                if (d->GetItemStyleNo(i) != rvsPicture) continue;
                d->ResizeItem(i, 3 + int(rng() % 60), 3 + int(rng() % 30));
                break;
            }
            break;
        default:
            Edit->InsertItem(std::make_unique<TRVBreakItemInfo>(d), "");
            break;
        }
    }

    std::string Fragment;
};

TEST_F(EditInsertScripts, RandomInsertionsLayOutAsAFullFormatAndUndoAndRedoCompletely) {
    for (uint32_t round = 0; round < 60; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        std::mt19937 rng(round);
        MakeDocument(rng);
        const std::string original = Dump();
        const int steps = 5 + int(round % 20);
        for (int step = 0; step < steps; ++step) {
            SCOPED_TRACE("step " + std::to_string(step));
            ASSERT_NO_THROW(RandomStep(rng));
            ASSERT_GT(Data()->ItemCount(), 0);
            ExpectFullLayout();
            if (HasFailure()) return;
        }
        const std::string edited = Dump();
        int undone = 0;
        while (Edit->CanUndo()) {
            ASSERT_NO_THROW(Edit->Undo());
            ++undone;
        }
        ASSERT_EQ(Dump(), original);
        while (Edit->CanRedo())
            Edit->Redo();
        ASSERT_EQ(Dump(), edited);
        EXPECT_GT(undone, 0);
    }
    EXPECT_GT(Compared, 300);
}

} // namespace
} // namespace epc::test
