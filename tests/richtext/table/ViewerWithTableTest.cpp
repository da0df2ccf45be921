// A viewer holding a question as readers meet it (numbered answers, pictures, links, an answer
// table with aligned cells and a fill-in control), driven through window messages: a selection
// inside a cell survives a resize, and a seeded random walk of clicks, drags, wheel turns, Tab
// and resizes keeps the screen, the selection and hit testing consistent at every step.
// EPC_RANDOM_SEEDS and EPC_RANDOM_STEPS run more seeds and longer walks.

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "platform/controls/StdCtrls.h"
#include "platform/graphics/Bitmap.h"
#include "richtext/table/RVTable.h"
#include "richtext/view/RVRVData.h"
#include "richtext/view/RichView.h"
#include "tests/richtext/table/TableHostSupport.h"
#include "tests/richtext/view/ViewTestSupport.h"

namespace epc {
namespace {

constexpr const char* kFixed = "Fixed Metrics Test"; // 10 x 20 pixel cells at 15 points

std::unique_ptr<TGraphic> Block(int width, int height, TColor color) {
    auto bmp = std::make_unique<TBitmap>(width, height, pf24bit);
    bmp->Canvas()->Brush()->SetColor(color);
    bmp->Canvas()->FillRect(TRect(0, 0, width, height));
    return bmp;
}

int EnvCount(const char* name, int fallback) {
    const char* v = std::getenv(name);
    const int n = v ? std::atoi(v) : 0;
    return n > 0 ? n : fallback;
}

class ViewerWithTable : public test::TableHostFixture {
protected:
    void SetUp() override {
        View = NewHost<TRichView>(360, 260);
        TFontInfo& text = Style->TextStyles[0];
        text.FontName = kFixed;
        text.Size = 15;
        TFontInfo& link = Style->TextStyles.Add(); // 1
        link.FontName = kFixed;
        link.Size = 15;
        link.Jump = true;
        link.HoverColor = clRed;
        Style->Color = clWhite;
        Style->SelColor = clNavy;
        TRVListLevel& level = Style->ListStyles.Add().AddLevel();
        level.ListType = TRVListType::rvlstDecimal;
        level.FormatString = "%0:s.";
        level.Font.FontName = kFixed;
        level.Font.Size = 8; // the marker lies lower than its text
        level.LeftIndent = 30;
        level.MarkerIndent = 0;
    }
    int PixelsUnlikeAFullRepaint() { return test::PixelsUnlikeAFullRepaint(View); }
    void AddAnswer(const std::string& text) {
        View->AppendTextParagraph(text, 0, 0);
        View->ApplyParagraphMarker(View->GetItemCount() - 1, 0, 0, 1, false);
    }
    // The question: text, numbered answers, a picture and a hot picture, a link, the answer
    // table, a fill-in control and more answers below.
    void BuildQuestion() {
        View->AppendTextParagraph("Which of these statements are true", 0, 0);
        AddAnswer("the first answer");
        AddAnswer("a second answer that wraps on narrow views");
        AddAnswer("third");
        View->AppendPicture("diagram", Block(40, 30, clGreen), 0);
        View->RVData()->AddHotPicture("zoom", Block(10, 10, clBlue), -1, TRVVAlign::rvvaBaseline);
        View->AppendTextParagraph("see the exhibit", 1, 0);
        auto table = TRVTableItemInfo::CreateSized(3, View->RVData(), 3);
        Table = table.get();
        const char* texts[3][3] = {{"row one", "in the middle", "a link"},
                                   {"two words", "ab cd", "more text here"},
                                   {"", "last link", "at the bottom"}};
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 3; ++c) {
                TRVTableCellData* cell = Table->GetCell(r, c);
                cell->ClearAllItems();
                // Links stay in top-aligned cells: the hyperlink areas of vertically aligned
                // cells are placed by the table's own jump building, fixed separately.
                const bool link = (r == 0 && c == 2) || (r == 2 && c == 1);
                cell->AddTextParagraph(texts[r][c], link ? 1 : 0, 0, TRVTag());
                cell->BestWidth = 80;
            }
        Table->GetCell(0, 0)->AddTextParagraph("tall", 0, 0, TRVTag());
        Table->GetCell(0, 0)->AddTextParagraph("cell", 0, 0, TRVTag());
        Table->GetCell(0, 1)->VAlign = rvcMiddle;
        Table->GetCell(2, 2)->VAlign = rvcBottom;
        Table->GetCell(2, 0)->AddHotPicture("cellzoom", Block(10, 10, clBlue), 0,
                                            TRVVAlign::rvvaBaseline);
        View->AppendItem(std::string(), std::move(table));
        TableItemNo = View->GetItemCount() - 1;
        View->AppendTextParagraph("Answer:", 0, 0);
        Edit = new TEdit(nullptr);
        Edit->SetBounds(0, 0, 60, 20);
        View->RVData()->AddControlItem("fill", TRVComponentPtr(Edit), -1, TRVVAlign::rvvaBaseline);
        for (int i = 0; i < 6; ++i)
            AddAnswer("another answer " + std::to_string(i));
        View->AppendTextParagraph("the end of the question", 0, 0);
        Other = new TEdit(Form);
        Other->SetParent(Form);
        Other->SetBounds(10, 276, 100, 20);
        testing::ShowForm(Form);
        View->Format();
        testing::Pump();
    }

    // Each end of the selection of a document is a position of it: no end, or both ends on
    // drawing items with offsets inside them.
    static std::string BadSelection(TCustomRVFormattedData& doc) {
        int sd, so, ed, eo;
        doc.GetSelectionDrawBounds(sd, so, ed, eo, false);
        const int n = doc.DrawItems.Count();
        if (sd < 0 && ed < 0) return "";
        auto bad = [&](int d, int o) {
            return d < 0 || d >= n || o < doc.IsDrawItemText(d) || o > doc.GetOffsAfterDrawItem(d);
        };
        if (bad(sd, so) || bad(ed, eo)) {
            std::ostringstream s;
            s << "selection " << sd << ":" << so << "-" << ed << ":" << eo << " of " << n;
            return s.str();
        }
        return "";
    }

    // Every word of a text drawing item of Doc that lies wholly in the client area hit-tests
    // to its item at its middle. Origin: Doc's (0, 0) in the root's document coordinates.
    std::string WordsMissingTheirItems(TCustomRVFormattedData& doc, int ox, int oy) {
        const int cw = View->ClientWidth(), ch = View->ClientHeight();
        const int hs = View->HScrollPos(), vs = View->RVData()->GetVScrollPos();
        for (int i = 0; i < doc.DrawItems.Count(); ++i) {
            const TRVDrawLineInfo* d = doc.DrawItems[i];
            if (doc.GetItemStyleNo(d->ItemNo) < 0 || d->Length == 0) continue;
            const std::string text = doc.DrawItems.GetDrawItemText(i, &doc);
            const int top = oy + d->Top - vs;
            if (top < 0 || top + d->Height > ch) continue;
            for (int k = 0; k < int(text.size());) {
                if (text[size_t(k)] == ' ') {
                    ++k;
                    continue;
                }
                int e = k;
                while (e < int(text.size()) && text[size_t(e)] != ' ')
                    ++e;
                // The fixed face: ten pixels a character, no justification in this document.
                const int left = ox + d->Left + d->SpaceBefore + 10 * k - hs;
                const int right = ox + d->Left + d->SpaceBefore + 10 * e - hs;
                if (left >= 0 && right <= cw) {
                    const int x = (left + right) / 2, y = top + d->Height / 2;
                    TCustomRVFormattedData* hit = nullptr;
                    int itemNo = -1, offs = 0;
                    View->RVData()->GetItemAtPointEx(x, y, hit, itemNo, offs);
                    const int first = d->Offs + k, last = d->Offs + e;
                    if (hit != &doc || itemNo != d->ItemNo || offs < first || offs > last) {
                        std::ostringstream s;
                        s << "word \"" << text.substr(size_t(k), size_t(e - k)) << "\" of item "
                          << d->ItemNo << " at " << x << "," << y << " hit item " << itemNo
                          << (hit == &doc ? "" : " of another document") << " offset " << offs;
                        return s.str();
                    }
                }
                k = e;
            }
        }
        return "";
    }

    // What must hold after every step; empty when it all does.
    std::string Broken() {
        if (const int px = PixelsUnlikeAFullRepaint(); px != 0)
            return std::to_string(px) + " pixels differ from a full repaint";
        TRichViewRVData& root = *View->RVData();
        if (std::string s = BadSelection(root); !s.empty()) return s;
        for (TCustomRVFormattedData* sub = root.GetActiveSubData(); sub;
             sub = sub->GetActiveSubData())
            if (std::string s = BadSelection(*sub); !s.empty()) return "inner " + s;
        if (std::string s = WordsMissingTheirItems(root, 0, 0); !s.empty()) return s;
        for (int r = 0; r < Table->RowCount(); ++r)
            for (int c = 0; c < Table->ColCount(); ++c)
                if (TRVTableCellData* cell = Table->GetCell(r, c)) {
                    int ox = 0, oy = 0;
                    cell->GetOriginInRoot(ox, oy);
                    oy += cell->GetVAlignOffset();
                    if (std::string s = WordsMissingTheirItems(*cell, ox, oy); !s.empty())
                        return "cell " + std::to_string(r) + "," + std::to_string(c) + ": " + s;
                }
        return "";
    }

    TRichView* View = nullptr;
    TRVTableItemInfo* Table = nullptr;
    int TableItemNo = -1;
    TEdit* Edit = nullptr;
    TEdit* Other = nullptr;
};

// A word double-clicked in a cell, then the viewer made narrower: the word stays the
// selection, for the screen, GetSelText and the clipboard alike.
TEST_F(ViewerWithTable, AWordSelectedInACellStaysSelectedAcrossAResize) {
    BuildQuestion();
    TRVTableCellData* cell = Table->GetCell(1, 1);
    // Bring the table into view; the cell's first line, character 4 ("d" of "ab cd").
    const int tableDraw = View->RVData()->GetFirstDrawItemNo(TableItemNo);
    ASSERT_GE(tableDraw, 0);
    View->ScrollToY(View->RVData()->DrawItems[tableDraw]->Top / View->VSmallStep());
    testing::Pump();
    auto charAt = [&](int k) {
        int ox = 0, oy = 0;
        cell->GetOriginInRoot(ox, oy);
        const TRVDrawLineInfo* line = cell->DrawItems[0];
        return TPoint(ox + line->Left + 10 * k + 5 - View->HScrollPos(),
                      oy + line->Top + line->Height / 2 - View->RVData()->GetVScrollPos());
    };
    const TPoint p = charAt(4);
    testing::DoubleClick(View, p.X, p.Y);
    testing::Pump();
    ASSERT_EQ(View->GetSelText(), "cd");
    View->SetBounds(10, 10, 300, 260); // narrower: the lines are broken again
    testing::Pump();
    EXPECT_EQ(View->GetSelText(), "cd");
    int si, so, ei, eo;
    cell->GetSelectionBounds(si, so, ei, eo, true);
    EXPECT_EQ(std::to_string(si) + ":" + std::to_string(so) + "-" + std::to_string(ei) + ":" +
                  std::to_string(eo),
              "0:4-0:6");
    View->SetFocus();
    testing::PressKey('C', TShiftState{ssCtrl});
    EXPECT_EQ(testing::ClipboardText(), "cd");
    EXPECT_EQ(PixelsUnlikeAFullRepaint(), 0);
    // And wider again.
    View->SetBounds(10, 10, 380, 260);
    testing::Pump();
    EXPECT_EQ(View->GetSelText(), "cd");
    EXPECT_EQ(Broken(), "");
}

TEST_F(ViewerWithTable, RandomReadingKeepsScreenSelectionAndHitTestingConsistent) {
    const int seeds = EnvCount("EPC_RANDOM_SEEDS", 3);
    const int steps = EnvCount("EPC_RANDOM_STEPS", 40);
    BuildQuestion();
    for (int seed = 1; seed <= seeds; ++seed) {
        std::mt19937 rng(uint32_t(seed) * 7919u);
        auto pick = [&](int n) { return int(rng() % uint32_t(n)); };
        View->SetBounds(10, 10, 360, 260);
        View->ScrollToY(0);
        View->ClearSelection();
        testing::Pump();
        std::vector<std::string> log;
        for (int step = 0; step < steps; ++step) {
            const int cw = std::max(View->ClientWidth(), 1), ch = std::max(View->ClientHeight(), 1);
            const TPoint a(pick(cw), pick(ch)), b(pick(cw), pick(ch));
            std::ostringstream what;
            switch (pick(10)) {
            case 0:
            case 1:
                what << "click " << a.X << "," << a.Y;
                testing::Click(View, a.X, a.Y);
                break;
            case 2:
                what << "drag " << a.X << "," << a.Y << " to " << b.X << "," << b.Y;
                testing::DragMouse(View, a, b);
                break;
            case 3:
                what << "double click " << a.X << "," << a.Y;
                testing::DoubleClick(View, a.X, a.Y);
                break;
            case 4: {
                const int notches = pick(7) - 3;
                what << "wheel " << notches;
                testing::Wheel(View, notches, a.X, a.Y);
                break;
            }
            case 5: {
                const bool back = pick(3) == 0;
                what << (back ? "shift+tab" : "tab");
                testing::PressKey(VK_TAB, back ? TShiftState{ssShift} : TShiftState{});
                break;
            }
            case 6: {
                const int w = 160 + pick(220), h = 100 + pick(160);
                what << "resize " << w << "x" << h;
                View->SetBounds(10, 10, w, h);
                break;
            }
            case 7:
                what << "shift+click " << a.X << "," << a.Y;
                testing::Click(View, a.X, a.Y, mbLeft, TShiftState{ssShift});
                break;
            case 8: {
                const int code = pick(4); // SB_LINEUP, SB_LINEDOWN, SB_PAGEUP, SB_PAGEDOWN
                what << "scroll " << code;
                SendMessage(View->Handle(), WM_VSCROLL, WPARAM(code), 0);
                break;
            }
            default:
                what << "move " << a.X << "," << a.Y;
                testing::MoveMouse(View, a.X, a.Y);
                break;
            }
            testing::Wait(uint32_t(pick(3) * 300));
            log.push_back(what.str());
            const std::string broken = Broken();
            if (!broken.empty()) {
                std::string trail;
                for (const std::string& s : log)
                    trail += "\n  " + s;
                FAIL() << "seed " << seed << " step " << step << ": " << broken << trail;
            }
        }
    }
}

} // namespace
} // namespace epc
