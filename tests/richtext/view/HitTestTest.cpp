// Points, drawing positions and item positions.

#include <gtest/gtest.h>

#include "tests/richtext/view/TestRVData.h"

namespace epc::test {
namespace {

struct Doc {
    std::unique_ptr<TRVStyle> Style = MakeFixedStyle();
    std::unique_ptr<TTestRVData> Data = std::make_unique<TTestRVData>(Style.get());
};

// "hello" at (10, 0) and "world" at (10, 20): 10 pixels per character.
struct TwoLines : Doc {
    TwoLines() {
        Data->ClientWidth = 70;
        Data->LeftMargin = 10;
        Data->AddTextParagraph("hello world", 0, 0, TRVTag());
        Data->Format(false);
    }
    std::pair<int, int> At(int x, int y, bool strict = false) {
        int d, o;
        Data->FindDrawItemAtPoint(x, y, d, o, strict);
        return {d, o};
    }
};

// In a justified line the spare width goes before words; a click counts from where the
// word's text is drawn, after that extra space.
TEST(HitTest, ClickInAJustifiedLineCountsFromTheShiftedText) {
    Doc doc;
    int para = AddPara(*doc.Style, TRVAlignment::rvaJustify);
    doc.Data->ClientWidth = 100;
    doc.Data->AddTextParagraph("aaa bbb ccc", 0, para, TRVTag());
    doc.Data->Format(false);
    ASSERT_GE(doc.Data->DrawItems.Count(), 3);
    const TRVDrawLineInfo* word = doc.Data->DrawItems[1]; // " bbb", its text drawn from x 60
    ASSERT_EQ(word->Offs, 4);
    ASSERT_EQ(word->SpaceBefore, 30);
    ASSERT_EQ(word->Left, 30);
    TCustomRVFormattedData* data = nullptr;
    int itemNo = -1, offs = -1;
    // Boundaries: the space 60..70, then b at 70, 80, 90.
    const std::pair<int, int> clicks[] = {{62, 4}, {68, 5}, {79, 6}, {84, 6}, {86, 7}};
    for (auto [x, expected] : clicks) {
        ASSERT_TRUE(doc.Data->GetItemAtPointEx(x, 5, data, itemNo, offs)) << x;
        EXPECT_EQ(itemNo, 0);
        EXPECT_EQ(offs, expected) << "x " << x;
    }
}

TEST(HitTest, PointsAroundTheLinesGiveTheNearestPositions) {
    TwoLines doc;
    ASSERT_EQ(doc.Data->DrawItems.Count(), 2);
    EXPECT_EQ(doc.At(300, 5), std::make_pair(0, 6));   // right of the line's end
    EXPECT_EQ(doc.At(2, 25), std::make_pair(1, 1));    // left of its start
    EXPECT_EQ(doc.At(23, -40), std::make_pair(0, 2));  // above the document: line 0
    EXPECT_EQ(doc.At(300, 900), std::make_pair(1, 6)); // below it: the last line
    EXPECT_EQ(doc.At(34, 25), std::make_pair(1, 3));   // nearest character boundary
    EXPECT_EQ(doc.At(300, 5, true), std::make_pair(-1, -1));
    EXPECT_EQ(doc.At(15, 39, true), std::make_pair(1, 1));
}

TEST(HitTest, ContainingDrawItemAndLineStarts) {
    TwoLines doc;
    EXPECT_EQ(doc.Data->FindDrawItemContaining(12, 3), 0);
    EXPECT_EQ(doc.Data->FindDrawItemContaining(59, 39), 1);
    EXPECT_EQ(doc.Data->FindDrawItemContaining(60, 39), -1); // right edge excluded
    EXPECT_EQ(doc.Data->FindDrawItemContaining(12, 40), -1); // bottom edge excluded
    EXPECT_EQ(doc.Data->FindFirstDrawItemAtY(-5, 1), 0);
    EXPECT_EQ(doc.Data->FindFirstDrawItemAtY(30, 3), 1);
    EXPECT_EQ(doc.Data->FindFirstDrawItemAtY(20, 0), 1);
}

TEST(HitTest, ItemAndDrawingPositionsConvertBothWays) {
    TwoLines doc;
    int d, o, i, io;
    doc.Data->ItemToDrawItemPos(0, 6, d, o); // the boundary goes to the earlier piece
    EXPECT_EQ(d, 0);
    EXPECT_EQ(o, 6);
    doc.Data->ItemToDrawItemPos(0, 7, d, o); // past the trimmed space
    EXPECT_EQ(d, 1);
    EXPECT_EQ(o, 1);
    doc.Data->DrawItemToItemPos(1, 3, i, io);
    EXPECT_EQ(i, 0);
    EXPECT_EQ(io, 9);
    doc.Data->DrawItemToItemPos(-1, 3, i, io);
    EXPECT_EQ(i, -1);
    EXPECT_EQ(doc.Data->GetFirstDrawItemNo(-1), -1);
    int first, last;
    doc.Data->GetScreenLineBounds(1, first, last);
    EXPECT_EQ(first, 1);
    EXPECT_EQ(last, 1);
}

TEST(HitTest, SelectionIsNormalisedAndKeptInItemTerms) {
    TwoLines doc;
    doc.Data->SetSelectionBounds(0, 0, 9, 2); // made backwards
    int sd, so, ed, eo;
    doc.Data->GetSelectionDrawBounds(sd, so, ed, eo, false);
    EXPECT_EQ(sd, 1);
    doc.Data->GetSelectionDrawBounds(sd, so, ed, eo, true);
    EXPECT_EQ(std::make_pair(sd, so), std::make_pair(0, 2));
    EXPECT_EQ(std::make_pair(ed, eo), std::make_pair(1, 3));
    int s, e;
    doc.Data->GetSelectionBounds(s, so, e, eo, true);
    EXPECT_EQ(so, 2);
    EXPECT_EQ(eo, 9);
    doc.Data->SelectAll();
    EXPECT_EQ(doc.Data->FirstOffs, 1);
    EXPECT_EQ(doc.Data->LastOffs, 6);
}

TEST(HitTest, PictureHalvesGiveBeforeAndAfter) {
    Doc doc;
    doc.Data->AddBullet("b", 0, nullptr, 0, 0); // 18 pixels wide at x 0
    doc.Data->Format(false);
    int d, o;
    doc.Data->FindDrawItemAtPoint(3, 5, d, o, false);
    EXPECT_EQ(std::make_pair(d, o), std::make_pair(0, 0));
    doc.Data->FindDrawItemAtPoint(12, 5, d, o, false);
    EXPECT_EQ(std::make_pair(d, o), std::make_pair(0, 1));
}

TEST(HitTest, ClickOnAListMarkerGivesTheStartOfTheNextItem) {
    Doc doc;
    doc.Data->AppendItem("", std::make_unique<TWideMarker>(doc.Data.get()));
    doc.Data->AddTextParagraph("item", 0, -1, TRVTag());
    doc.Data->Format(false);
    ASSERT_EQ(doc.Data->DrawItems.Count(), 2);
    int d, o;
    doc.Data->FindDrawItemAtPoint(5, 5, d, o, false);
    EXPECT_EQ(d, 1);
    EXPECT_EQ(o, 1);
    doc.Data->FindDrawItemAtPoint(5, 10, d, o, true); // strict keeps the marker itself
    EXPECT_EQ(d, 0);
}

TEST(HitTest, RightToLeftLineIsSearchedFromTheRight) {
    Doc doc;
    int rtl = AddPara(*doc.Style);
    doc.Style->ParaStyles.GetItem(rtl).BiDiMode = TRVBiDiMode::rvbdRightToLeft;
    doc.Data->AddBullet("a", 0, nullptr, 0, rtl);
    doc.Data->AddBullet("b", 0, nullptr, 0, -1);
    doc.Data->Format(false);
    ASSERT_EQ(doc.Data->DrawItems.Count(), 2);
    EXPECT_EQ(doc.Data->DrawItems[1]->Left, 0); // mirrored: the second item is leftmost
    int d, o;
    doc.Data->FindDrawItemAtPoint(3, 5, d, o, false);
    EXPECT_EQ(std::make_pair(d, o), std::make_pair(1, 1)); // left half means after
    doc.Data->FindDrawItemAtPoint(200, 5, d, o, false);
    EXPECT_EQ(d, 0);
    // Exactly on the right edge of the rightmost item: that item, before it.
    const TRVDrawLineInfo* rightmost = doc.Data->DrawItems[0];
    const int right = rightmost->Left + rightmost->Width;
    doc.Data->FindDrawItemAtPoint(right, 5, d, o, false);
    EXPECT_EQ(std::make_pair(d, o), std::make_pair(0, 0));
    // Where the two meet the point belongs to the right-hand one, after it.
    const TRVDrawLineInfo* left = doc.Data->DrawItems[1];
    ASSERT_EQ(left->Left + left->Width, rightmost->Left);
    doc.Data->FindDrawItemAtPoint(rightmost->Left, 5, d, o, false);
    EXPECT_EQ(std::make_pair(d, o), std::make_pair(0, 1));
}

TEST(HitTest, ClickedWordEndsAtTheTwelveDelimiters) {
    Doc doc;
    doc.Data->ClientWidth = 300;
    doc.Data->AddTextParagraph("say hello-world! (abc)", 0, 0, TRVTag());
    doc.Data->Format(false);
    TCustomRVFormattedData* data;
    int item, offs, wordOffs;
    std::string word;
    ASSERT_TRUE(doc.Data->GetItemAtPointEx(62, 5, data, item, offs, &word, &wordOffs));
    EXPECT_EQ(data, doc.Data.get());
    EXPECT_EQ(offs, 7);
    EXPECT_EQ(word, "hello-world!");
    EXPECT_EQ(wordOffs, 5);
    ASSERT_TRUE(doc.Data->GetItemAtPointEx(195, 5, data, item, offs, &word, &wordOffs));
    EXPECT_EQ(word, "abc");
    for (char c : std::string(" .;,:(){}\"/\\"))
        EXPECT_NE(std::u16string(RVDefaultDelimiters).find(char16_t(c)), std::u16string::npos);
    EXPECT_EQ(std::u16string(RVDefaultDelimiters).size(), 12u);
    doc.Data->VScrollPos = 100; // client coordinates: the scroll position is added
    EXPECT_FALSE(doc.Data->GetItemAtPointEx(62, 5, data, item, offs));
    EXPECT_EQ(item, -1);
}

// A full-line item holding a formatted document of its own, like a table with one cell.
class TBoxItem : public TRVFullLineItemInfo {
public:
    TBoxItem(TCustomRVData* owner, TRVStyle* style)
        : TRVFullLineItemInfo(owner), Inner(std::make_unique<TTestRVData>(style)) {
        StyleNo = -70;
    }
    int GetBoxWidth() const override { return 100; }
    int GetBoxHeight() const override { return 40; }
    TCustomRVData* GetSubDocumentAtPoint(int x, int y) override {
        return (x >= 20 && y >= 10) ? Inner.get() : nullptr;
    }
    std::unique_ptr<TTestRVData> Inner;
};

TEST(HitTest, ItemAtPointDescendsIntoSubDocuments) {
    Doc doc;
    auto owned = std::make_unique<TBoxItem>(doc.Data.get(), doc.Style.get());
    TBoxItem* box = owned.get();
    doc.Data->AddTextParagraph("top", 0, 0, TRVTag());
    doc.Data->AppendItem("", std::move(owned));
    doc.Data->Format(false);
    ASSERT_EQ(doc.Data->DrawItems.Count(), 2);
    const TRVDrawLineInfo* d = doc.Data->DrawItems[1];
    EXPECT_EQ(d->Top, 20);
    EXPECT_EQ(d->Width, 100);
    box->Inner->ClientWidth = 150;
    box->Inner->AddTextParagraph("inner text", 0, 0, TRVTag());
    box->Inner->Format(false);
    box->Inner->OriginX = d->Left + 20;
    box->Inner->OriginY = d->Top + 10;
    TCustomRVFormattedData* data;
    int item, offs;
    std::string word;
    ASSERT_TRUE(doc.Data->GetItemAtPointEx(20 + 63, 20 + 10 + 5, data, item, offs, &word));
    EXPECT_EQ(data, box->Inner.get());
    EXPECT_EQ(item, 0);
    EXPECT_EQ(offs, 7);
    EXPECT_EQ(word, "text");
    ASSERT_TRUE(doc.Data->GetItemAtPointEx(5, 25, data, item, offs));
    EXPECT_EQ(data, doc.Data.get());
    EXPECT_EQ(item, 1);
}

TEST(HitTest, MinimumWidthsTakeTheWidestWordAndTheIndents) {
    Doc doc;
    int indented = AddPara(*doc.Style);
    doc.Style->ParaStyles.GetItem(indented).LeftIndent = 7;
    doc.Style->ParaStyles.GetItem(indented).FirstIndent = 3;
    int noWrap = AddPara(*doc.Style);
    doc.Style->ParaStyles.GetItem(noWrap).Options.Include(TRVParaOption::rvpaoNoWrap);
    doc.Data->AddTextParagraph("aaa bbbbb", 0, indented, TRVTag());
    doc.Data->AddTextParagraph("cc dd", 0, noWrap, TRVTag());
    doc.Data->AddTextParagraph("e", 0, noWrap, TRVTag());
    doc.Data->AddTextParagraph("ff", 0, -1, TRVTag());
    EXPECT_EQ(doc.Data->CalcParaMinWidth(0, nullptr, nullptr), 60);
    EXPECT_EQ(doc.Data->CalcParaMinWidth(1, nullptr, nullptr), 50);
    EXPECT_EQ(doc.Data->CalcParaMinWidth(2, nullptr, nullptr), 30);
    EXPECT_EQ(doc.Data->CalcDocumentMinWidth(nullptr, nullptr), 60);
    EXPECT_EQ(doc.Data->CalcItemRangeMinWidth(3, 3, nullptr, nullptr), 20);
    EXPECT_EQ(doc.Data->CalcItemRangeMinWidth(3, 2, nullptr, nullptr), 0);
    TRVScreenAndDevice twice{96, 96, 192, 192, 0};
    EXPECT_EQ(doc.Data->CalcParasMinWidth(0, 0, nullptr, &twice), 50 + 20);
}

} // namespace
} // namespace epc::test
