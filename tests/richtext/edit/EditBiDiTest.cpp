// Right-to-left text in the editor: caret stops from character placement, caret keys through
// WM_KEYDOWN, clicks between characters and the painted selection all agree. The fixed face
// gives every character a 10-pixel cell; text starts at the 5-pixel margin.

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "platform/testing/UserActions.h"
#include "richtext/edit/RVEdit.h"
#include "tests/richtext/edit/EditTestSupport.h"

namespace epc {
namespace {

using V = std::vector<int>;

class EditBiDiTest : public test::EditFixture {
protected:
    // A paragraph of Unicode text (text style 1).
    void Append(const std::u16string& text) { Data()->AddTextParagraphW(text, 1, 0, TRVTag()); }
    int CaretX() { return testing::Caret().Pos.X; }
    // The caret x after each press of Key, from where it stands.
    V Walk(Word key, int presses) {
        V xs;
        for (int i = 0; i < presses; ++i) {
            Key(key);
            xs.push_back(CaretX());
        }
        return xs;
    }
};

TEST_F(EditBiDiTest, CaretKeysMoveVisuallyThroughARightToLeftParagraph) {
    // Six letters and a space, drawn from x 5 to 75 with the first letter rightmost.
    Append(u"\u05D0\u05D1\u05D2 \u05D3\u05D4\u05D5");
    Edit->SetBiDiMode(TRVBiDiMode::rvbdRightToLeft);
    Show();
    EXPECT_EQ(CaretPos(), (V{0, 1}));
    // Stops by placement stand on character edges; the caret is drawn a pixel left of them.
    EXPECT_EQ(CaretX(), 74);
    EXPECT_EQ(Walk(VK_LEFT, 8), (V{64, 54, 44, 34, 24, 14, 4, 4}));
    EXPECT_EQ(CaretPos(), (V{0, 8}));
    EXPECT_EQ(Walk(VK_RIGHT, 2), (V{14, 24}));
    EXPECT_EQ(CaretPos(), (V{0, 6}));

    // Shift extends the selection over the letters passed, in logical order.
    Key(VK_LEFT, {ssShift});
    Key(VK_LEFT, {ssShift});
    EXPECT_EQ(Sel(), (V{0, 6, 0, 8}));
    Key(VK_HOME);
    EXPECT_EQ(CaretX(), 74);
}

TEST_F(EditBiDiTest, TwoItemsOfALineShareTheStopBetweenThem) {
    const int other = AddTextStyle([](TFontInfo& f) { f.Unicode = true; });
    Append(u"\u05D0\u05D1");
    Data()->AddTextParagraphW(u"\u05D2\u05D3", other, -1, TRVTag());
    Edit->SetBiDiMode(TRVBiDiMode::rvbdRightToLeft);
    Show();
    // The first item stands right (25..45), the second left of it (5..25).
    EXPECT_EQ(CaretX(), 44);
    EXPECT_EQ(Walk(VK_LEFT, 4), (V{34, 24, 14, 4}));
    EXPECT_EQ(CaretPos(), (V{1, 3}));
    EXPECT_EQ(Walk(VK_RIGHT, 2), (V{14, 24}));
    EXPECT_EQ(CaretPos(), (V{0, 3})); // the stop between them belongs to the first item
}

TEST_F(EditBiDiTest, AClickBetweenTwoCharactersPutsTheCaretOnThePaintedBoundary) {
    // A number inside the Hebrew keeps its digits left to right. From the left: the last two
    // letters (5..25), a space, "1" (35..45), "2" (45..55), a space, the first three letters
    // (65..95, the first rightmost).
    Append(u"\u05D0\u05D1\u05D2 12 \u05D3\u05D4");
    Edit->SetBiDiMode(TRVBiDiMode::rvbdRightToLeft);
    Show();
    // Between the third letter and the space after it.
    testing::Click(Edit, 65, 10);
    EXPECT_EQ(CaretPos(), (V{0, 4}));
    EXPECT_EQ(CaretX(), 64);
    // Between the digits, and at the number's left edge (before "1").
    testing::Click(Edit, 46, 10);
    EXPECT_EQ(CaretPos(), (V{0, 6}));
    EXPECT_EQ(CaretX(), 44);
    testing::Click(Edit, 36, 10);
    EXPECT_EQ(CaretPos(), (V{0, 5}));
    EXPECT_EQ(CaretX(), 34);

    // A selected character is painted where its stops are. Columns at a cell's left edge are
    // outside the glyph box, so they show the background.
    const int y = Data()->DrawItems[0]->Top + 10;
    const COLORREF selected = ColorToRGB(Style->SelColor);
    auto paintedSelected = [&](V columns) {
        Edit->Invalidate();
        testing::Pump();
        V got;
        for (int x : columns)
            got.push_back(testing::PixelAt(Edit, x, y) == selected);
        return got;
    };
    Data()->SetSelectionBounds(0, 0, 2, 3); // the second letter, 75..85
    EXPECT_EQ(paintedSelected({65, 75, 84, 85}), (V{0, 1, 1, 0}));
    // The third letter, the space and "1" fall into two pieces around "2".
    Data()->SetSelectionBounds(0, 0, 3, 6);
    EXPECT_EQ(paintedSelected({25, 35, 45, 55, 65, 75}), (V{0, 1, 0, 1, 1, 0}));
}

TEST_F(EditBiDiTest, AWrappedLineEndingInLatinAndPunctuationTakesTheParagraphDirection) {
    // Only the paragraph reads right to left. Six five-letter words fill the first line;
    // the second holds two letters, "IP" and "?". The "?" lies between a left-to-right run
    // and the paragraph end, so it goes leftmost: "?" 5..15, "IP" 15..35, a space, then the
    // letters with the first rightmost (45..65).
    TParaInfo& rtl = Style->ParaStyles.Add();
    rtl.BiDiMode = TRVBiDiMode::rvbdRightToLeft;
    std::u16string text;
    for (int i = 0; i < 6; ++i)
        text += u"\u05D0\u05D1\u05D2\u05D3\u05D3 ";
    text += u"\u05D4\u05D5 IP?";
    Data()->AddTextParagraphW(text, 1, Style->ParaStyles.Count() - 1, TRVTag());
    // A paragraph of the same direction without a right-to-left letter.
    Data()->AddTextParagraphW(u"IP?", 1, Style->ParaStyles.Count() - 1, TRVTag());
    // Every line of the paragraph is drawn reading right to left.
    std::vector<bool> readings;
    Style->OnDrawStyleText = [&readings](TRVStyle*, const std::string&, TCanvas* canvas, int, int,
                                         int, int, int, int, TCustomRVData*, TRVTextDrawStates,
                                         bool, bool, TRVColorMode, bool&) {
        readings.push_back((GetTextAlign(canvas->Handle()) & TA_RTLREADING) != 0);
    };
    Show();
    ASSERT_EQ(Data()->DrawItems.Count(), 3);
    ASSERT_FALSE(readings.empty());
    EXPECT_EQ(std::count(readings.begin(), readings.end(), false), 0);
    const TRVDrawLineInfo* line = Data()->DrawItems[1];
    ASSERT_EQ(line->Offs, 37);
    ASSERT_EQ(line->Left, 5);
    const int y = line->Top + 10;

    // A click at the left edge is the paragraph's end, after the "?".
    testing::Click(Edit, 6, y);
    EXPECT_EQ(CaretPos(), (V{0, 43}));
    EXPECT_EQ(CaretX(), 4);
    // Between "I" and "P", and between "?" and "I" (before "I", whose leading edge is its left).
    testing::Click(Edit, 25, y);
    EXPECT_EQ(CaretPos(), (V{0, 41}));
    EXPECT_EQ(CaretX(), 24);
    testing::Click(Edit, 16, y);
    EXPECT_EQ(CaretPos(), (V{0, 40}));
    EXPECT_EQ(CaretX(), 14);
    Key(VK_END);
    EXPECT_EQ(CaretX(), 4);
    // There too the "?" stands leftmost: its left edge is the end, "I" starts at 15.
    const int y3 = Data()->DrawItems[2]->Top + 10;
    testing::Click(Edit, 6, y3);
    EXPECT_EQ(CaretPos(), (V{1, 4}));
    testing::Click(Edit, 16, y3);
    EXPECT_EQ(CaretPos(), (V{1, 1}));
    EXPECT_EQ(CaretX(), 14);

    // The "?" alone is painted selected in the leftmost cell, not right of "IP". Columns at
    // a cell's edges are outside the glyph box, so they show the background.
    const COLORREF selected = ColorToRGB(Style->SelColor);
    Data()->SetSelectionBounds(0, 0, 42, 43);
    Edit->Invalidate();
    testing::Pump();
    V got;
    for (int x : {5, 14, 15, 24, 25, 34, 55})
        got.push_back(testing::PixelAt(Edit, x, y) == selected);
    EXPECT_EQ(got, (V{1, 1, 0, 0, 0, 0, 0}));
}

} // namespace
} // namespace epc
