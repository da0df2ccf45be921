// Line breaking and paragraph formatting, measured with the fixed-metric face: 10 pixels per
// character, lines 20 pixels high (ascent 16, descent 4).

#include <gtest/gtest.h>

#include "tests/richtext/view/TestRVData.h"

namespace epc::test {
namespace {

struct Doc {
    std::unique_ptr<TRVStyle> Style = MakeFixedStyle();
    std::unique_ptr<TTestRVData> Data = std::make_unique<TTestRVData>(Style.get());
    TRVDrawLineInfo* D(int i) const { return Data->DrawItems[i]; }
    int Count() const { return Data->DrawItems.Count(); }
    void ClientTextWidth() { Data->SetOptions(Data->GetOptions() | TRVOption::rvoClientTextWidth); }
};

TEST(Format, EmptyDocumentHasNoDrawingItemsAndSelectAllDoesNothing) {
    Doc doc;
    doc.Data->Format(false);
    EXPECT_EQ(doc.Count(), 0);
    doc.Data->SelectAll();
    EXPECT_EQ(doc.Data->FirstDrawItemNo, -1);
    EXPECT_EQ(doc.Data->LastDrawItemNo, -1);
}

TEST(Format, TextWrapsIntoPiecesOfOneItemWithSpacesTrimmedAtWraps) {
    Doc doc;
    doc.Data->ClientWidth = 60;
    doc.Data->AddTextParagraph("aaaa bbbb cccc", 0, 0, TRVTag());
    doc.Data->Format(false);
    ASSERT_EQ(doc.Count(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(doc.D(i)->ItemNo, 0);
        EXPECT_TRUE(doc.D(i)->FromNewLine);
        EXPECT_EQ(doc.D(i)->Length, 4); // no space at either end of a line
        EXPECT_EQ(doc.D(i)->Width, 40);
        EXPECT_EQ(doc.D(i)->Top, 20 * i);
    }
    EXPECT_EQ(doc.D(1)->Offs, 6);
    EXPECT_EQ(doc.D(2)->Offs, 11);
    EXPECT_EQ(doc.Data->DocumentHeight, 60);
    EXPECT_EQ(doc.Data->GetItem(0)->DrawItemNo, 0);
}

TEST(Format, WithoutTrimSpacesTheSpaceEndsTheLine) {
    Doc doc;
    doc.Data->Flags.Exclude(TRVFlag::TrimSpaces);
    doc.Data->ClientWidth = 60;
    doc.Data->AddTextParagraph("aaaa bbbb cccc", 0, 0, TRVTag());
    doc.Data->Format(false);
    ASSERT_EQ(doc.Count(), 3);
    EXPECT_EQ(doc.D(0)->Length, 5);
    EXPECT_EQ(doc.D(0)->Width, 50);
    EXPECT_EQ(doc.D(1)->Offs, 6);
    EXPECT_EQ(doc.D(2)->Length, 4);
}

TEST(Format, SpaceRightAfterAFullLineIsTakenIntoTheLineAndTrimmed) {
    Doc doc;
    doc.Data->ClientWidth = 60;
    doc.Data->AddTextParagraph("aaaaaa bb", 0, 0, TRVTag());
    doc.Data->Format(false);
    ASSERT_EQ(doc.Count(), 2);
    EXPECT_EQ(doc.D(0)->Length, 6);
    EXPECT_EQ(doc.D(0)->Width, 60);
    EXPECT_EQ(doc.D(1)->Offs, 8);
    EXPECT_EQ(doc.D(1)->Length, 2);
}

TEST(Format, LeadingSpacesOfAParagraphAreKept) {
    Doc doc;
    doc.Data->AddTextParagraph("  ab", 0, 0, TRVTag());
    doc.Data->Format(false);
    ASSERT_EQ(doc.Count(), 1);
    EXPECT_EQ(doc.D(0)->Offs, 1);
    EXPECT_EQ(doc.D(0)->Length, 4);
}

TEST(Format, WordLongerThanTheLineIsCutAtTheLastFittingCharacter) {
    Doc doc;
    doc.ClientTextWidth();
    doc.Data->ClientWidth = 45;
    doc.Data->AddTextParagraph("abcdefghij", 0, 0, TRVTag());
    doc.Data->Format(false);
    ASSERT_EQ(doc.Count(), 3);
    EXPECT_EQ(doc.D(0)->Length, 4);
    EXPECT_EQ(doc.D(1)->Offs, 5);
    EXPECT_EQ(doc.D(1)->Length, 4);
    EXPECT_EQ(doc.D(2)->Length, 2);
}

TEST(Format, CharacterWiderThanTheLineIsPlacedOnePerLine) {
    Doc doc;
    doc.ClientTextWidth();
    doc.Data->ClientWidth = 5;
    doc.Data->AddTextParagraph("abc", 0, 0, TRVTag());
    doc.Data->Format(false);
    ASSERT_EQ(doc.Count(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(doc.D(i)->Length, 1);
        EXPECT_EQ(doc.D(i)->Offs, i + 1);
    }
}

TEST(Format, WithoutClientTextWidthTheLineWidensToTheLongestWord) {
    Doc doc;
    doc.Data->ClientWidth = 45;
    doc.Data->AddTextParagraph("abcdefghij xy", 0, 0, TRVTag());
    doc.Data->Format(false);
    EXPECT_EQ(doc.Data->MinWidth, 100);
    EXPECT_EQ(doc.Data->TextWidth, 100);
    ASSERT_EQ(doc.Count(), 2);
    EXPECT_EQ(doc.D(0)->Length, 10);

    Doc capped;
    capped.Data->ClientWidth = 45;
    capped.Data->MaxTextWidthValue = 70;
    capped.Data->AddTextParagraph("abcdefghij xy", 0, 0, TRVTag());
    capped.Data->Format(false);
    EXPECT_EQ(capped.Data->TextWidth, 70);
}

// A picture after 50 pixels of text on a 100-pixel line: a box of exactly the rest stays.
TEST(Format, NonTextItemStaysOnTheLineOnlyWhileItFits) {
    for (int boxWidth : {49, 50, 51}) {
        Doc doc;
        doc.Data->ClientWidth = 100;
        doc.Data->AddTextParagraph("aaaaa", 0, 0, TRVTag());
        doc.Data->AddPictureItem("p", nullptr, -1, TRVVAlign::rvvaBaseline);
        auto* picture = static_cast<TRVGraphicItemInfo*>(doc.Data->GetItem(1));
        picture->ImageWidth = boxWidth - 2 * picture->Spacing;
        picture->ImageHeight = 8;
        doc.Data->Format(false);
        ASSERT_EQ(doc.Data->TextWidth, 100);
        ASSERT_EQ(doc.Count(), 2);
        const bool fits = boxWidth <= 50;
        EXPECT_EQ(doc.D(1)->FromNewLine, !fits) << boxWidth;
        EXPECT_EQ(doc.D(1)->Left, fits ? 50 : 0) << boxWidth;
        EXPECT_EQ(doc.D(1)->Top > doc.D(0)->Top + doc.D(0)->Height - 1, !fits) << boxWidth;
    }
}

// An item whose sizing selects another font into the canvas: the text after it selects its
// own font again.
class TFontChangingItem : public TCustomRVItemInfo {
public:
    TFontChangingItem(TCustomRVData* owner, bool fullLine, bool saysSo)
        : TCustomRVItemInfo(owner), FFullLine(fullLine), FSaysSo(saysSo) {
        StyleNo = -71;
    }
    bool GetKindFlag(int kind) const override {
        if (kind == rvifChangesCanvasFont) return FSaysSo;
        if (kind == rvifCanBeInsideParagraph) return !FFullLine;
        return TCustomRVItemInfo::GetKindFlag(kind);
    }
    int GetBoxWidth() const override { return 10; }
    int GetBoxHeight() const override { return 10; }
    void AdjustToDocWidth(int, TRVDrawLineInfo*, bool, int&, int&, const TRVScreenAndDevice*,
                          TCustomRVData*, TCanvas* canvas, bool) override {
        canvas->Font()->SetName(kFixedFont);
        canvas->Font()->SetSize(30);
    }

private:
    bool FFullLine, FSaysSo;
};

TEST(Format, ItemsThatChangeTheCanvasFontMakeTheNextTextSelectItsFont) {
    for (bool fullLine : {false, true}) {
        Doc doc;
        doc.Data->ClientWidth = 500;
        doc.Data->AddTextParagraph("ab", 0, 0, TRVTag());
        doc.Data->AppendItem("",
                             std::make_unique<TFontChangingItem>(doc.Data.get(), fullLine, true));
        doc.Data->GetItem(1)->SetJoinsPrevious(!fullLine);
        doc.Data->AddTextParagraph("cd", 0, -1, TRVTag());
        doc.Data->Format(false);
        ASSERT_EQ(doc.Count(), 3);
        EXPECT_EQ(doc.D(1)->FromNewLine, fullLine); // the one full-line question decides
        EXPECT_EQ(doc.D(2)->Width, 20) << fullLine; // measured in style 0, not at 30 points
        EXPECT_EQ(doc.D(2)->Height, 20) << fullLine;
    }
}

TEST(Format, JustifiedLineSharesSpareFromLeftToRight) {
    Doc doc;
    int para = AddPara(*doc.Style, TRVAlignment::rvaJustify);
    doc.Data->ClientWidth = 80;
    doc.Data->AddTextParagraph("a b c d eeeeeeee", 0, para, TRVTag());
    doc.Data->Format(false);
    ASSERT_EQ(doc.Count(), 5);
    const int spaceBefore[] = {0, 3, 3, 4};
    const int left[] = {0, 10, 33, 56};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(doc.D(i)->SpaceBefore, spaceBefore[i]) << i;
        EXPECT_EQ(doc.D(i)->Left, left[i]) << i;
    }
    EXPECT_EQ(doc.D(3)->Left + doc.D(3)->Width, 80);
    EXPECT_EQ(doc.D(4)->Offs, 9);
    EXPECT_TRUE(doc.D(4)->FromNewLine);
    EXPECT_EQ(doc.D(4)->SpaceBefore, 0);
}

TEST(Format, JustifiedLastLineAndSingleItemLinesStayLeftAligned) {
    Doc doc;
    int para = AddPara(*doc.Style, TRVAlignment::rvaJustify);
    doc.Data->ClientWidth = 80;
    doc.Data->AddTextParagraph("x y", 0, para, TRVTag());
    doc.Data->AddTextParagraph("abcdefghijkl", 0, para, TRVTag());
    doc.Data->Format(false);
    ASSERT_EQ(doc.Count(), 3);
    EXPECT_EQ(doc.D(0)->Left, 0);
    EXPECT_EQ(doc.D(1)->Left, 10);
    EXPECT_EQ(doc.D(1)->SpaceBefore, 0);
    EXPECT_EQ(doc.D(2)->Left, 0);
}

TEST(Format, AlignmentAndIndents) {
    Doc doc;
    int right = AddPara(*doc.Style);
    TParaInfo& rp = doc.Style->ParaStyles.GetItem(right);
    rp.Alignment = TRVAlignment::rvaRight;
    rp.RightIndent = 20;
    int center = AddPara(*doc.Style);
    doc.Style->ParaStyles.GetItem(center).Alignment = TRVAlignment::rvaCenter;
    int indented = AddPara(*doc.Style);
    TParaInfo& ip = doc.Style->ParaStyles.GetItem(indented);
    ip.LeftIndent = 10;
    ip.FirstIndent = 5;
    doc.Data->ClientWidth = 200;
    doc.Data->LeftMargin = 3;
    doc.Data->RightMargin = 7;
    doc.Data->AddTextParagraph("ab", 0, right, TRVTag());
    doc.Data->AddTextParagraph("ab", 0, center, TRVTag());
    doc.Data->AddTextParagraph("ab", 0, indented, TRVTag());
    doc.Data->Format(false);
    ASSERT_EQ(doc.Data->TextWidth, 190);
    EXPECT_EQ(doc.D(0)->Left, 3 + 190 - 20 - 20);
    EXPECT_EQ(doc.D(1)->Left, 3 + (190 - 20) / 2);
    EXPECT_EQ(doc.D(2)->Left, 3 + 15);
}

TEST(Format, ListParagraphTakesTheMarkerAndLevelIndents) {
    Doc doc;
    TRVListLevel& level = doc.Style->ListStyles.Add().AddLevel();
    level.MarkerIndent = 5;
    level.LeftIndent = 30;
    doc.Data->ClientWidth = 100;
    doc.Data->AppendItem("", std::make_unique<TWideMarker>(doc.Data.get(), 0, 0, 1, false));
    doc.Data->AddTextParagraph("aaaa bbbb", 0, -1, TRVTag());
    doc.Data->Format(false);
    ASSERT_EQ(doc.Count(), 3);
    EXPECT_EQ(doc.D(0)->Left, 5);  // the marker at its own indent
    EXPECT_EQ(doc.D(1)->Left, 25); // the text right after it
    EXPECT_EQ(doc.D(2)->Left, 30); // wrapped lines at the level's indent
    // The level indents, then the text that follows the marker: the marker takes no room
    // beyond the level's left indent while it is narrower than the way from its own indent.
    EXPECT_EQ(doc.Data->CalcDocumentMinWidth(nullptr, nullptr), 30 + 10 + 40);
}

TEST(Format, PrinterResolutionScalesMarginsIndentsAndSpacing) {
    auto style = MakeFixedStyle(); // 40-pixel lines, 20 pixels per character at 192 dpi
    int para = AddPara(*style);
    style->ParaStyles.GetItem(para).LeftIndent = 10;
    style->ParaStyles.GetItem(para).SpaceBefore = 3;
    TTestRVData data(style.get(), 192);
    data.LeftMargin = 5;
    data.TopMargin = 4;
    data.ClientWidth = 500;
    data.AddTextParagraph("ab", 0, para, TRVTag());
    data.Format(false);
    ASSERT_EQ(data.DrawItems.Count(), 1);
    EXPECT_EQ(data.DrawItems[0]->Left, 10 + 20);
    EXPECT_EQ(data.DrawItems[0]->Top, 8 + 6);
    EXPECT_EQ(data.DrawItems[0]->Width, 40);
    EXPECT_EQ(data.DrawItems[0]->Height, 40);
}

TEST(Format, CentringWithNegativeSpareDoesNotMoveTheLineLeft) {
    Doc doc;
    int center = AddPara(*doc.Style);
    doc.Style->ParaStyles.GetItem(center).Alignment = TRVAlignment::rvaCenter;
    doc.ClientTextWidth();
    doc.Data->ClientWidth = 5;
    doc.Data->LeftMargin = 2;
    doc.Data->AddTextParagraph("a", 0, center, TRVTag());
    doc.Data->Format(false);
    ASSERT_EQ(doc.Count(), 1);
    EXPECT_EQ(doc.D(0)->Left, 2);
}

TEST(Format, PercentLineSpacingAddsOnlyAbove100) {
    for (int spacing : {100, 80, 150}) {
        Doc doc;
        int para = AddPara(*doc.Style);
        doc.Style->ParaStyles.GetItem(para).LineSpacing = spacing;
        doc.Data->ClientWidth = 50;
        doc.Data->AddTextParagraph("aaaa bbbb", 0, para, TRVTag());
        doc.Data->Format(false);
        ASSERT_EQ(doc.Count(), 2);
        int extra = spacing > 100 ? 10 : 0;
        EXPECT_EQ(doc.D(0)->ExtraSpaceBelow, extra) << spacing;
        EXPECT_EQ(doc.D(1)->Top, 20 + extra) << spacing;
        EXPECT_EQ(doc.Data->DocumentHeight, 40 + 2 * extra) << spacing;
    }
}

TEST(Format, SpaceBetweenLinesAndParagraphSpacing) {
    Doc doc;
    int para = AddPara(*doc.Style);
    TParaInfo& p = doc.Style->ParaStyles.GetItem(para);
    p.LineSpacingType = TRVLineSpacingType::rvlsSpaceBetween;
    p.LineSpacing = 7;
    p.SpaceBefore = 3;
    p.SpaceAfter = 5;
    doc.Data->ClientWidth = 50;
    doc.Data->TopMargin = 2;
    doc.Data->BottomMargin = 1;
    doc.Data->AddTextParagraph("aaaa bbbb", 0, para, TRVTag());
    doc.Data->AddTextParagraph("cc", 0, para, TRVTag());
    doc.Data->Format(false);
    ASSERT_EQ(doc.Count(), 3);
    EXPECT_EQ(doc.D(0)->Top, 2 + 3);
    EXPECT_EQ(doc.D(1)->Top, 5 + 20 + 7);
    EXPECT_EQ(doc.D(2)->Top, 32 + 20 + 7 + 5 + 3);
    EXPECT_EQ(doc.Data->DocumentHeight, 67 + 20 + 7 + 5 + 1);
}

TEST(Format, BreakLineIsElevenPixelsAndSpansTheTextWidth) {
    Doc doc;
    doc.Data->ClientWidth = 200;
    doc.Data->LeftMargin = 4;
    doc.Data->RightMargin = 6;
    doc.Data->AddTextParagraph("ab", 0, 0, TRVTag());
    doc.Data->AddBreak();
    doc.Data->AddTextParagraph("cd", 0, 0, TRVTag());
    doc.Data->Format(false);
    ASSERT_EQ(doc.Count(), 3);
    const TRVDrawLineInfo* br = doc.D(1);
    EXPECT_EQ(br->Height, 11);
    EXPECT_EQ(br->Width, 190);
    EXPECT_EQ(br->Left, 4);
    EXPECT_EQ(br->Top, 20);
    EXPECT_TRUE(br->FromNewLine);
    EXPECT_EQ(doc.D(2)->Top, 31);
}

TEST(Format, BreakScalesWithTheCanvasResolution) {
    auto style = MakeFixedStyle();
    TTestRVData data(style.get(), 192);
    data.AddBreak();
    data.Format(false);
    ASSERT_EQ(data.DrawItems.Count(), 1);
    EXPECT_EQ(data.DrawItems[0]->Height, 21);
}

TEST(Format, TallerInlineItemLowersTheLineBaseline) {
    Doc doc;
    doc.Data->AddTextParagraph("ab", 0, 0, TRVTag());
    doc.Data->AddBullet("b", 0, nullptr, 0, -1); // 16 + 2 x 1 spacing, descent 1
    doc.Data->Format(false);
    ASSERT_EQ(doc.Count(), 2);
    EXPECT_EQ(doc.D(1)->Left, 20);
    EXPECT_EQ(doc.D(1)->Top, 0);
    EXPECT_EQ(doc.D(1)->Height, 18);
    EXPECT_FALSE(doc.D(1)->FromNewLine);
    EXPECT_EQ(doc.D(0)->Top, 1); // the text moved down with the baseline
    EXPECT_EQ(doc.Data->DocumentHeight, 17 + 4);
}

TEST(Format, InlineItemThatDoesNotFitStartsALine) {
    Doc doc;
    doc.Data->ClientWidth = 30;
    doc.Data->AddTextParagraph("ab", 0, 0, TRVTag());
    doc.Data->AddBullet("b", 0, nullptr, 0, -1);
    doc.Data->Format(false);
    ASSERT_EQ(doc.Count(), 2);
    EXPECT_TRUE(doc.D(1)->FromNewLine);
    EXPECT_EQ(doc.D(1)->Left, 0);
    EXPECT_EQ(doc.D(1)->Top, 20);
}

TEST(Format, IdeographsBreakBetweenCharacters) {
    Doc doc;
    doc.Style->TextStyles.GetItem(0).Unicode = true;
    doc.ClientTextWidth();
    doc.Data->ClientWidth = 25;
    doc.Data->AddTextParagraphW(u"\u6f22\u5b57\u6f22\u5b57\u6f22", 0, 0, TRVTag());
    doc.Data->Format(false);
    ASSERT_EQ(doc.Count(), 3);
    EXPECT_EQ(doc.D(0)->Length, 2);
    EXPECT_EQ(doc.D(1)->Offs, 3);
    EXPECT_EQ(doc.D(2)->Length, 1);
}

TEST(Format, UnicodeTextBreaksAtTheLastFittingSpaceLikeAnsiText) {
    for (bool unicode : {false, true}) {
        Doc doc;
        doc.Data->Flags.Exclude(TRVFlag::TrimSpaces);
        doc.Style->TextStyles.GetItem(0).Unicode = unicode;
        doc.Data->ClientWidth = 90;
        doc.Data->AddTextParagraph("xx", 0, 0, TRVTag());
        // "aaa bbb" fits after "xx", the space after it does not.
        doc.Data->AddTextParagraph("aaa bbb ccc", 0, -1, TRVTag());
        doc.Data->Format(false);
        ASSERT_EQ(doc.Count(), 3) << unicode;
        EXPECT_EQ(doc.D(1)->Length, 4) << unicode; // "aaa " stays on the first line
        EXPECT_EQ(doc.D(2)->Offs, 5) << unicode;
    }
}

TEST(Format, SpaceBeforeAnIdeographIsTrimmedAtTheWrap) {
    Doc doc;
    doc.Style->TextStyles.GetItem(0).Unicode = true;
    doc.ClientTextWidth();
    doc.Data->ClientWidth = 30; // "ab " fits: the line breaks at the space, not after it
    doc.Data->AddTextParagraphW(u"ab \u6f22\u5b57", 0, 0, TRVTag());
    doc.Data->Format(false);
    ASSERT_EQ(doc.Count(), 2);
    EXPECT_EQ(doc.D(0)->Length, 2);
    EXPECT_EQ(doc.D(0)->Width, 20);
    EXPECT_EQ(doc.D(1)->Offs, 4);
}

TEST(Format, WordsAreNeverCutInsideACharacterCluster) {
    Doc doc;
    doc.Style->TextStyles.GetItem(0).Unicode = true;
    doc.ClientTextWidth();
    doc.Data->ClientWidth = 35; // three code units fit: the cut moves back to a cluster end
    doc.Data->AddTextParagraphW(u"e\u0301e\u0301e\u0301", 0, 0, TRVTag());
    doc.Data->Format(false);
    ASSERT_EQ(doc.Count(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(doc.D(i)->Offs, 2 * i + 1);
        EXPECT_EQ(doc.D(i)->Length, 2);
    }
}

TEST(Format, RightToLeftLineIsMirrored) {
    Doc doc;
    int rtl = AddPara(*doc.Style);
    doc.Style->ParaStyles.GetItem(rtl).BiDiMode = TRVBiDiMode::rvbdRightToLeft;
    int bigger = AddFixedTextStyle(*doc.Style, 30); // 20 pixels per character
    doc.Data->AddTextParagraph("ab", 0, rtl, TRVTag());
    doc.Data->AddTextParagraph("c", bigger, -1, TRVTag());
    doc.Data->Format(false);
    ASSERT_EQ(doc.Count(), 2);
    EXPECT_EQ(doc.D(1)->Left, 0);
    EXPECT_EQ(doc.D(0)->Left, 20);
}

TEST(Format, NewScrollBarFormatsASecondTimeButNeverAThird) {
    Doc doc;
    doc.Data->ClientWidth = 60;
    doc.Data->ClientHeight = 30;
    doc.Data->VScrollBarWidth = 20;
    doc.Data->AddTextParagraph("aaaa bbbb", 0, 0, TRVTag());
    doc.Data->Format(false);
    EXPECT_EQ(doc.Data->SetDocumentSizeCalls, 2);
    EXPECT_EQ(doc.Data->TextWidth, 40);
    EXPECT_FALSE(doc.Data->State.Contains(TRVState::rvstFormattingInProgress));

    Doc restless;
    restless.Data->FlipClientWidth = true;
    restless.Data->AddTextParagraph("aaaa bbbb", 0, 0, TRVTag());
    restless.Data->Format(false);
    EXPECT_EQ(restless.Data->SetDocumentSizeCalls, 2);
    EXPECT_FALSE(restless.Data->State.Contains(TRVState::rvstFormattingInProgress));

    Doc quiet;
    quiet.Data->AddTextParagraph("aaaa", 0, 0, TRVTag());
    quiet.Data->Format(false);
    EXPECT_EQ(quiet.Data->SetDocumentSizeCalls, 1);
}

TEST(Format, ResizeThatKeepsTheWidthsKeepsTheLayoutAndTheSelection) {
    Doc doc;
    doc.Data->ClientWidth = 60;
    doc.Data->AddTextParagraph("aaaa bbbb cccc", 0, 0, TRVTag());
    doc.Data->Format(false);
    TRVDrawLineInfo* first = doc.D(0);
    doc.Data->SetSelectionBounds(0, 0, 2, 8);
    doc.Data->FormatAll(true, false, false, false, nullptr, 0, false);
    EXPECT_EQ(doc.D(0), first); // not laid out again
    doc.Data->ClientWidth = 100;
    doc.Data->FormatAll(true, false, false, false, nullptr, 0, false);
    ASSERT_EQ(doc.Count(), 2);
    int s, so, e, eo;
    doc.Data->GetSelectionBounds(s, so, e, eo, true);
    EXPECT_EQ(so, 2);
    EXPECT_EQ(eo, 8);
}

TEST(Format, ResizeKeepsTheTopVisibleItemAtItsDistanceFromTheTop) {
    Doc doc;
    doc.Data->ClientWidth = 100;
    for (int i = 0; i < 10; ++i)
        doc.Data->AddTextParagraph("aaaa bbbb", 0, 0, TRVTag());
    doc.Data->Format(false);
    doc.Data->VScrollPos = 65; // paragraph 3 (Top 60) is partly visible at the top
    doc.Data->ClientWidth = 50;
    doc.Data->FormatAll(true, false, false, false, nullptr, 0, false);
    ASSERT_EQ(doc.Count(), 20);
    EXPECT_EQ(doc.Data->VScrollPos, 120 + 5);
}

TEST(Format, AppendingFormatsOnlyTheTail) {
    Doc doc;
    doc.Data->AddTextParagraph("aaaa", 0, 0, TRVTag());
    doc.Data->Format(false);
    TRVDrawLineInfo* first = doc.D(0);
    doc.Data->AddTextParagraph("bbbb", 0, 0, TRVTag());
    doc.Data->FormatAll(false, true, false, true, nullptr, 0, false);
    ASSERT_EQ(doc.Count(), 2);
    EXPECT_EQ(doc.D(0), first);
    EXPECT_EQ(doc.D(1)->Top, 20);
    EXPECT_EQ(doc.Data->DocumentHeight, 40);
    EXPECT_EQ(doc.Data->LastFormattedItemNo, 1);
}

TEST(Format, HyperlinkPiecesShareOneJumpNumber) {
    Doc doc;
    int link = AddFixedTextStyle(*doc.Style, 15);
    doc.Style->TextStyles.GetItem(link).Jump = true;
    doc.Data->ClientWidth = 50;
    doc.Data->AddTextParagraph("aaaa bbbb", link, 0, TRVTag());
    doc.Data->AddTextParagraph("cc", link, 0, TRVTag());
    doc.Data->Format(false);
    ASSERT_EQ(doc.Data->Jumps.size(), 3u);
    EXPECT_EQ(doc.Data->Jumps[0]->Id, 0);
    EXPECT_EQ(doc.Data->Jumps[1]->Id, 0);
    EXPECT_EQ(doc.Data->Jumps[1]->Top, 20);
    EXPECT_EQ(doc.Data->Jumps[2]->Id, 1);
    EXPECT_EQ(doc.Data->NextJumpNo, 2);
}

TEST(Format, FitSearchAgreesWithMeasuringEveryPrefix) {
    auto style = std::make_unique<TRVStyle>(nullptr); // a real face: Arial 10
    TTestRVData data(style.get());
    const std::string text = "The quick brown fox jumps over the lazy dog, WWW iii 0123.";
    data.AddTextParagraph(text, 0, 0, TRVTag());
    data.Format(false); // leaves the style selected on the formatting canvas
    HDC dc = data.GetCanvas()->Handle();
    const int len = int(text.size());
    std::vector<int> prefix(size_t(len) + 1, 0);
    for (int k = 1; k <= len; ++k) {
        SIZE sz;
        GetTextExtentPoint32A(dc, text.data(), k, &sz);
        prefix[size_t(k)] = sz.cx;
    }
    ASSERT_GT(prefix[size_t(len)], 0);
    for (int w = 0; w <= prefix[size_t(len)] + 3; ++w) {
        int expected = 0;
        while (expected < len && prefix[size_t(expected) + 1] <= w)
            ++expected;
        int measured = -1;
        int n = data.CountFittingCharsA(text.data(), len, w, false, measured);
        ASSERT_EQ(n, expected) << "width " << w;
        if (n > 0) {
            EXPECT_EQ(measured, prefix[size_t(n)]);
        }
    }
}

TEST(Format, ClearDuringClearKeepsTheClearingBitUntilTheOuterEnds) {
    Doc doc;
    doc.Data->AddTextParagraph("aaaa", 0, 0, TRVTag());
    doc.Data->Format(false);
    doc.Data->State.Include(TRVState::rvstClearing);
    doc.Data->Clear();
    EXPECT_TRUE(doc.Data->State.Contains(TRVState::rvstClearing));
    EXPECT_EQ(doc.Count(), 0);
    EXPECT_EQ(doc.Data->ItemCount(), 0);
    doc.Data->State.Exclude(TRVState::rvstClearing);
    doc.Data->Clear();
    EXPECT_FALSE(doc.Data->State.Contains(TRVState::rvstClearing));
}

} // namespace
} // namespace epc::test
