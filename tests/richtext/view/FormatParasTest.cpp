// Partial reformatting gives what formatting the whole edited document gives; the jump list
// and scrolling into view.

#include <gtest/gtest.h>

#include <random>

#include "richtext/document/RVItem.h"

#include "tests/richtext/view/TestRVData.h"

namespace epc::test {
namespace {

struct TDocSetup {
    std::unique_ptr<TRVStyle> Style;
    int Small = 0, Wide = 0, Link = 0, Serif = 0;
};

TDocSetup MakeStyle(uint32_t seed) {
    std::mt19937 rng(seed);
    TDocSetup s;
    s.Style = MakeFixedStyle();
    s.Small = AddFixedTextStyle(*s.Style, 9);
    s.Wide = AddFixedTextStyle(*s.Style, 24);
    s.Style->TextStyles.GetItem(s.Wide).Unicode = true;
    s.Link = AddFixedTextStyle(*s.Style, 15);
    s.Style->TextStyles.GetItem(s.Link).Jump = true;
    // A face with external leading: lines are taller than their drawing items.
    s.Serif = AddFixedTextStyle(*s.Style, 11);
    s.Style->TextStyles.GetItem(s.Serif).FontName = "Times New Roman";
    const TRVAlignment aligns[] = {TRVAlignment::rvaLeft, TRVAlignment::rvaRight,
                                   TRVAlignment::rvaCenter, TRVAlignment::rvaJustify};
    for (TRVAlignment a : aligns) {
        TParaInfo& p = s.Style->ParaStyles.Add();
        p.Alignment = a;
        p.LeftIndent = int(rng() % 12);
        p.FirstIndent = int(rng() % 12);
        p.RightIndent = int(rng() % 12);
        p.SpaceBefore = int(rng() % 7);
        p.SpaceAfter = int(rng() % 7);
        if (rng() % 3 == 0) {
            p.LineSpacingType = TRVLineSpacingType::rvlsPercent;
            p.LineSpacing = 100 + int(rng() % 60);
        }
    }
    return s;
}

std::string RandomWords(std::mt19937& rng, int maxLen) {
    std::string s;
    const int len = int(rng() % uint32_t(maxLen));
    for (int k = 0; k < len; ++k)
        s += (rng() % 4 == 0) ? ' ' : char('a' + rng() % 26);
    return s;
}

void FillDocument(TTestRVData& d, const TDocSetup& setup, uint32_t seed, int paragraphs) {
    std::mt19937 rng(seed);
    d.LeftMargin = int(rng() % 8);
    d.RightMargin = int(rng() % 8);
    d.TopMargin = int(rng() % 8);
    d.BottomMargin = int(rng() % 8);
    d.ClientWidth = 120 + int(rng() % 300);
    const int paras = setup.Style->ParaStyles.Count();
    for (int p = 0; p < paragraphs; ++p) {
        const int items = 1 + int(rng() % 4);
        for (int i = 0; i < items; ++i) {
            const int para = i == 0 ? int(rng() % uint32_t(paras)) : -1;
            const int kind = int(rng() % 10);
            if (kind == 0 && i == 0) {
                d.AddBreak();
            } else if (kind == 1) {
                d.AddBullet("b", 0, nullptr, 0, para);
            } else if (kind == 2) {
                std::u16string w;
                for (char c : RandomWords(rng, 30))
                    w += (rng() % 3 == 0 && c != ' ') ? u'\u6f22' : char16_t(c);
                d.AddTextParagraphW(w, setup.Wide, para, TRVTag());
            } else {
                const int styles[] = {0, setup.Small, setup.Link, setup.Serif};
                d.AddTextParagraph(RandomWords(rng, 50), styles[rng() % 4], para, TRVTag());
            }
        }
    }
}

std::string AsItemText(const TTestRVData& d, int itemNo, const std::string& ascii) {
    if (!d.GetItem(itemNo)->IsUnicode()) return ascii;
    std::string s;
    for (char c : ascii) {
        s += c;
        s += '\0';
    }
    return s;
}

// One edit of a paragraph: new text, an item inserted after, or an item removed. Returns the
// item count change; Edited is the item whose drawing items the edit touched.
int ApplyEdit(TTestRVData& d, uint32_t seed, int& edited) {
    std::mt19937 rng(seed);
    edited = int(rng() % uint32_t(d.ItemCount()));
    const int kind = int(rng() % 3);
    const std::string text = RandomWords(rng, 60);
    if (d.GetItemStyleNo(edited) < 0 || kind == 0) {
        if (d.GetItemStyleNo(edited) < 0) return 0;
        d.SetItemText(edited, AsItemText(d, edited, text));
        return 0;
    }
    if (kind == 1 && d.GetItemStyleNo(edited) != rvsBreak) {
        auto item = std::make_unique<TRVTextItemInfo>(&d);
        item->StyleNo = 0;
        item->ParaNo = d.GetItemParaNo(edited);
        item->ItemOptions |= rvioSameAsPrev;
        d.InsertItemObjectAt(edited + 1, text, std::move(item));
        return 1;
    }
    // Only an item inside a paragraph goes: the paragraph keeps its start.
    if (edited + 1 < d.ItemCount() && !d.GetItem(edited + 1)->StartsParagraph() &&
        !d.GetItem(edited)->StartsParagraph()) {
        d.DeleteItemRange(edited, 1);
        return -1;
    }
    d.SetItemText(edited, AsItemText(d, edited, text));
    return 0;
}

void ExpectSameLayout(const TTestRVData& partial, const TTestRVData& full) {
    ASSERT_EQ(partial.DrawItems.Count(), full.DrawItems.Count());
    for (int i = 0; i < full.DrawItems.Count(); ++i) {
        const TRVDrawLineInfo* a = partial.DrawItems[i];
        const TRVDrawLineInfo* b = full.DrawItems[i];
        ASSERT_EQ(a->ItemNo, b->ItemNo) << i;
        ASSERT_EQ(a->Offs, b->Offs) << i;
        ASSERT_EQ(a->Length, b->Length) << i;
        ASSERT_EQ(a->Left, b->Left) << i;
        ASSERT_EQ(a->Top, b->Top) << i;
        ASSERT_EQ(a->Width, b->Width) << i;
        ASSERT_EQ(a->Height, b->Height) << i;
        ASSERT_EQ(a->SpaceBefore, b->SpaceBefore) << i;
        ASSERT_EQ(a->ExtraSpaceBelow, b->ExtraSpaceBelow) << i;
        ASSERT_EQ(a->FromNewLine, b->FromNewLine) << i;
    }
    for (int i = 0; i < full.ItemCount(); ++i)
        ASSERT_EQ(partial.GetFirstDrawItemNo(i), full.GetFirstDrawItemNo(i)) << "item " << i;
    EXPECT_EQ(partial.DocumentHeight, full.DocumentHeight);
    partial.SettleJumpDrawItemNos();
    ASSERT_EQ(partial.Jumps.size(), full.Jumps.size());
    for (size_t j = 0; j < full.Jumps.size(); ++j) {
        EXPECT_EQ(partial.Jumps[j]->Id, full.Jumps[j]->Id) << j;
        EXPECT_EQ(partial.Jumps[j]->DrawItemNo, full.Jumps[j]->DrawItemNo) << j;
        EXPECT_EQ(partial.Jumps[j]->Top, full.Jumps[j]->Top) << j;
        EXPECT_EQ(partial.Jumps[j]->Left, full.Jumps[j]->Left) << j;
        EXPECT_EQ(partial.Jumps[j]->Width, full.Jumps[j]->Width) << j;
        EXPECT_EQ(partial.Jumps[j]->Height, full.Jumps[j]->Height) << j;
    }
    EXPECT_EQ(partial.NextJumpNo, full.NextJumpNo);
    for (int i = 0; i < full.ItemCount(); ++i)
        ASSERT_EQ(partial.GetItem(i)->JumpID, full.GetItem(i)->JumpID) << "item " << i;
}

// The same document twice: one laid out and then edited in parts, one to be formatted whole.
struct TDocPair {
    TDocSetup Setup;
    TTestRVData Partial;
    TTestRVData Full;
    TDocPair(uint32_t styleSeed, uint32_t fillSeed, int paragraphs)
        : Setup(MakeStyle(styleSeed)), Partial(Setup.Style.get()), Full(Setup.Style.get()) {
        FillDocument(Partial, Setup, fillSeed, paragraphs);
        Partial.Format(false);
        FillDocument(Full, Setup, fillSeed, paragraphs);
    }
};

TEST(FormatParas, RandomEditsOfAFewParagraphsLayOutAsAFullFormatDoes) {
    int compared = 0;
    for (uint32_t round = 0; round < 300; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        TDocPair docs(round, round * 7 + 1, 3 + int(round % 9));
        TTestRVData& partial = docs.Partial;
        TTestRVData& full = docs.Full;

        // One or two edits (the second in a neighbouring paragraph's item, when there is one).
        const int edits = 1 + int(round % 2);
        int first = INT_MAX, last = -1, change = 0;
        for (int e = 0; e < edits; ++e) {
            int editedItem = 0;
            // The drawing range is measured before the edit.
            std::mt19937 peek(round * 13 + uint32_t(e));
            const int target = int(peek() % uint32_t(partial.ItemCount()));
            const int d0 = partial.GetFirstDrawItemNo(target);
            int d1 = d0;
            while (d1 + 1 < partial.DrawItems.Count() &&
                   partial.DrawItems[d1 + 1]->ItemNo == target)
                ++d1;
            if (e > 0 && target > partial.DrawItems[last]->ItemNo + change) break;
            const int c = ApplyEdit(partial, round * 13 + uint32_t(e), editedItem);
            ApplyEdit(full, round * 13 + uint32_t(e), editedItem);
            ASSERT_EQ(editedItem, target);
            first = std::min(first, d0);
            last = std::max(last, d1);
            change += c;
        }
        partial.FormatParasOfDrawRange(first, last, change);
        full.Format(false);
        // A changed minimum width calls for a full format: the editor does that.
        if (full.TextWidth != partial.TextWidth || full.MinWidth != partial.MinWidth) continue;
        ++compared;
        ExpectSameLayout(partial, full);
        if (HasFailure()) return;
    }
    EXPECT_GT(compared, 150);
}

// A keystroke's worth of text typed into an item (a letter or a space): the paragraph mostly
// keeps its height while its drawing items split or join.
void TypeInto(TTestRVData& d, uint32_t seed, int itemNo) {
    std::mt19937 rng(seed);
    if (d.GetItemStyleNo(itemNo) < 0 || d.GetItem(itemNo)->IsUnicode()) return;
    std::string text = d.GetItemText(itemNo);
    text.insert(rng() % (text.size() + 1), rng() % 3 == 0 ? " " : "x");
    d.SetItemText(itemNo, text);
}

// Edits one after another at places before, inside and after the one before, each laid out
// by itself: what the earlier reformats left for later (drawing-item numbers of the items and
// hyperlink areas below them) adds up to a full format.
TEST(FormatParas, SeriesOfEditsEachLaidOutByItselfEndsAsAFullFormat) {
    int compared = 0;
    for (uint32_t round = 0; round < 120; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        TDocPair docs(round + 500, round * 11 + 3, 8 + int(round % 12));
        TTestRVData& partial = docs.Partial;
        TTestRVData& full = docs.Full;
        bool widthsKept = true;
        for (uint32_t e = 0; e < 8 && widthsKept; ++e) {
            const uint32_t seed = round * 31 + e;
            std::mt19937 peek(seed);
            const int target = int(peek() % uint32_t(partial.ItemCount()));
            const int d0 = partial.GetFirstDrawItemNo(target);
            ASSERT_GE(d0, 0);
            int d1 = d0;
            while (d1 + 1 < partial.DrawItems.Count() &&
                   partial.DrawItems[d1 + 1]->ItemNo == target)
                ++d1;
            int edited = 0, change = 0;
            if (e % 3 != 2) {
                TypeInto(partial, seed, target);
                TypeInto(full, seed, target);
            } else {
                change = ApplyEdit(partial, seed, edited);
                ApplyEdit(full, seed, edited);
            }
            const int oldTextWidth = partial.TextWidth, oldMinWidth = partial.MinWidth;
            partial.FormatParasOfDrawRange(d0, d1, change);
            full.Format(false);
            widthsKept = full.TextWidth == oldTextWidth && full.MinWidth == oldMinWidth;
        }
        if (!widthsKept) continue;
        ++compared;
        ExpectSameLayout(partial, full);
        if (HasFailure()) return;
    }
    EXPECT_GT(compared, 40);
}

TEST(FormatParas, EditThatKeepsTheHeightLeavesLaterDrawingItemsWhereTheyWere) {
    auto style = MakeFixedStyle();
    TTestRVData d(style.get());
    d.ClientWidth = 200;
    for (int i = 0; i < 6; ++i)
        d.AddTextParagraph("abc def ghi", 0, 0, TRVTag());
    d.Format(false);
    std::vector<int> tops;
    for (int i = 0; i < d.DrawItems.Count(); ++i)
        tops.push_back(d.DrawItems[i]->Top);
    d.SetItemText(2, "xyz");
    d.FormatParasOfDrawRange(2, 2, 0);
    ASSERT_EQ(d.DrawItems.Count(), 6);
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(d.DrawItems[i]->Top, tops[size_t(i)]);
    EXPECT_EQ(d.DrawItems[2]->Width, 30);
    // A paragraph that now wraps onto a second line moves every later line down by one line.
    d.SetItemText(2, std::string(25, 'w'));
    d.FormatParasOfDrawRange(2, 2, 0);
    ASSERT_EQ(d.DrawItems.Count(), 7);
    EXPECT_EQ(d.DrawItems[4]->Top, tops[3] + 20);
    EXPECT_EQ(d.DrawItems[6]->Top, tops[5] + 20);
    EXPECT_EQ(d.GetFirstDrawItemNo(5), 6);
}

TEST(FormatParas, ExpandingARangeTakesWholeParagraphsAndOneMoreOnEachSide) {
    auto style = MakeFixedStyle();
    TTestRVData d(style.get());
    for (int p = 0; p < 5; ++p) {
        d.AddTextParagraph("a", 0, 0, TRVTag());
        d.AddTextParagraph("b", 0, -1, TRVTag());
    }
    d.Format(false);
    ASSERT_EQ(d.DrawItems.Count(), 10);
    int first = 5, last = 5; // the second item of the third paragraph
    d.ExpandDrawRangeToParas(first, last);
    EXPECT_EQ(first, 2);
    EXPECT_EQ(last, 7);
    first = last = 0;
    d.ExpandDrawRangeToParas(first, last);
    EXPECT_EQ(first, 0);
    EXPECT_EQ(last, 3);
}

TEST(JumpList, LinkBrokenOverTwoLinesHasTwoAreasOfOneNumberAndTheNextLinkTheNext) {
    auto style = MakeFixedStyle();
    const int link = AddFixedTextStyle(*style, 15);
    style->TextStyles.GetItem(link).Jump = true;
    TTestRVData d(style.get());
    d.ClientWidth = 100;
    d.AddTextParagraph("aaaa bbbb cccc", link, 0, TRVTag());
    d.AddTextParagraph("plain", 0, 0, TRVTag());
    d.AddTextParagraph("next", link, 0, TRVTag());
    d.Format(false);
    ASSERT_EQ(d.Jumps.size(), 3u);
    EXPECT_EQ(d.Jumps[0]->Id, 0);
    EXPECT_EQ(d.Jumps[1]->Id, 0);
    EXPECT_NE(d.Jumps[0]->Top, d.Jumps[1]->Top);
    EXPECT_EQ(d.Jumps[2]->Id, 1);
    std::vector<std::unique_ptr<TRVJumpInfo>> list;
    EXPECT_EQ(d.BuildJumpList(10, &list), 2);
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[1]->Id, 10);
    EXPECT_EQ(list[2]->Id, 11);
}

// A document numbered from elsewhere (a cell whose table renumbered it) after its last layout:
// an edit numbers every link from the new first number, as a full format does.
TEST(JumpList, EditAfterTheFirstNumberChangedNumbersFromTheNewOne) {
    auto style = MakeFixedStyle();
    const int link = AddFixedTextStyle(*style, 15);
    style->TextStyles.GetItem(link).Jump = true;
    TTestRVData d(style.get());
    d.ClientWidth = 100;
    for (int i = 0; i < 4; ++i)
        d.AddTextParagraph("link", link, 0, TRVTag());
    d.Format(false);
    d.FirstJumpNo = 7;
    d.SetItemText(3, "other");
    d.FormatParasOfDrawRange(3, 3, 0);
    d.SettleJumpDrawItemNos();
    ASSERT_EQ(d.Jumps.size(), 4u);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(d.Jumps[size_t(i)]->Id, 7 + i);
        EXPECT_EQ(d.GetItem(i)->JumpID, 7 + i);
    }
    EXPECT_EQ(d.NextJumpNo, 11);
}

TEST(MakeRectVisible, TallRectangleWhoseTopIsAtTheTopLeavesTheViewAlone) {
    auto style = MakeFixedStyle();
    TTestRVData d(style.get());
    d.ClientHeight = 100;
    d.ClientWidth = 200;
    d.VScrollPos = 300;
    d.MakeRectVisible(0, 305, 10, 500);
    EXPECT_EQ(d.VScrollPos, 300);
    // So does one whose top lies above the view: its bottom is not brought up.
    d.MakeRectVisible(0, 250, 10, 500);
    EXPECT_EQ(d.VScrollPos, 300);
    // Above the view: its top comes to the top.
    d.MakeRectVisible(0, 250, 10, 20);
    EXPECT_EQ(d.VScrollPos, 250);
    // Below: its bottom comes into view with one step to spare.
    d.MakeRectVisible(0, 400, 10, 20);
    EXPECT_EQ(d.VScrollPos, 400 + 20 - 100 + 10);
    // Horizontally: a quarter of the width before it.
    d.MakeRectVisible(300, 400, 10, 10);
    EXPECT_EQ(d.HScrollPos, 300 - 50);
}

TEST(MakeRectVisible, SelectingADrawRangeScrollsItsEndIntoView) {
    auto style = MakeFixedStyle();
    TTestRVData d(style.get());
    d.ClientHeight = 100;
    for (int i = 0; i < 20; ++i)
        d.AddTextParagraph("line", 0, 0, TRVTag());
    d.Format(false);
    d.SelectDrawRange(2, 1, 12, 3);
    EXPECT_EQ(d.VScrollPos, 12 * 20 + 20 - 100 + 10);
    int si, so, ei, eo;
    d.GetSelectionBounds(si, so, ei, eo, true);
    EXPECT_EQ(si, 2);
    EXPECT_EQ(ei, 12);
    EXPECT_EQ(eo, 3);
}

TEST(VisibleCheckpoint, WhenVisibleReportsNoneOnceTheNextCheckpointLiesBelowTheView) {
    auto style = MakeFixedStyle();
    TTestRVData d(style.get());
    d.CPEventKind = TCPEventKind::cpeWhenVisible;
    d.ClientHeight = 100;
    for (int i = 0; i < 20; ++i)
        d.AddTextParagraph("line", 0, 0, TRVTag());
    TRVCPInfo* a = d.SetCheckpointInfo(2, "a", TRVTag(), true);  // top 40
    d.SetCheckpointInfo(4, "quiet", TRVTag(), false);            // never counts
    TRVCPInfo* b = d.SetCheckpointInfo(10, "b", TRVTag(), true); // top 200
    d.Format(false);
    d.UpdateVisibleCheckpoint();
    EXPECT_EQ(d.VisibleCheckpoints, (std::vector<TRVCPInfo*>{a}));
    d.VScrollPos = 60; // a above, b below the view
    d.UpdateVisibleCheckpoint();
    EXPECT_EQ(d.VisibleCheckpoints, (std::vector<TRVCPInfo*>{a, nullptr}));
    d.VScrollPos = 150;
    d.UpdateVisibleCheckpoint();
    EXPECT_EQ(d.VisibleCheckpoints.back(), b);
    // As section starts: the checkpoint above stays current while the next is below.
    d.CPEventKind = TCPEventKind::cpeAsSectionStart;
    d.VScrollPos = 60;
    d.UpdateVisibleCheckpoint();
    EXPECT_EQ(d.VisibleCheckpoints.back(), a);
    const size_t n = d.VisibleCheckpoints.size();
    d.VScrollPos = 70;
    d.UpdateVisibleCheckpoint();
    EXPECT_EQ(d.VisibleCheckpoints.size(), n);
}

} // namespace
} // namespace epc::test
