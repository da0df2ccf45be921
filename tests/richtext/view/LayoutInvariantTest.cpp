// Random documents at random widths: whatever the content, every character of every text
// item is shown once (trimmed spaces aside), in order, and every line fits the text width.

#include <gtest/gtest.h>

#include <random>

#include "richtext/document/RVUni.h"

#include "tests/richtext/view/TestRVData.h"

namespace epc::test {
namespace {

void CheckLayout(TTestRVData& d, bool trim, bool checkWidth) {
    const int n = d.DrawItems.Count();
    ASSERT_GT(n, 0);
    EXPECT_TRUE(d.DrawItems[0]->FromNewLine);
    int di = 0;
    for (int item = 0; item < d.ItemCount(); ++item) {
        ASSERT_LT(di, n);
        ASSERT_EQ(d.DrawItems[di]->ItemNo, item);
        EXPECT_EQ(d.GetFirstDrawItemNo(item), di);
        if (d.GetItemStyleNo(item) < 0) {
            ++di;
            continue;
        }
        const std::string& text = d.GetItemText(item);
        const int len = d.GetItemCharCount(item);
        int next = 1; // the next character to be shown
        for (; di < n && d.DrawItems[di]->ItemNo == item; ++di) {
            const TRVDrawLineInfo* p = d.DrawItems[di];
            // Only spaces may be left out, and only with trimming.
            for (; next < p->Offs; ++next) {
                EXPECT_TRUE(trim) << "item " << item << " char " << next;
                EXPECT_TRUE(IsSpaceCharAt(text, next, d.ReadItemOptionBits(item)));
            }
            ASSERT_EQ(p->Offs, next) << "item " << item;
            next += p->Length;
        }
        for (; next <= len; ++next) {
            EXPECT_TRUE(trim);
            EXPECT_TRUE(IsSpaceCharAt(text, next, d.ReadItemOptionBits(item)));
        }
    }
    EXPECT_EQ(di, n);
    const int right = d.LeftMargin + d.TextWidth;
    int lineTop = -1;
    for (int i = 0; i < n; ++i) {
        const TRVDrawLineInfo* p = d.DrawItems[i];
        EXPECT_GE(p->Left, d.LeftMargin) << i;
        // Minimum widths count words, so a piece of nothing but spaces may stick out.
        bool onlySpaces = p->Length > 0 && d.GetItemStyleNo(p->ItemNo) >= 0;
        for (int k = 0; onlySpaces && k < p->Length; ++k)
            onlySpaces = IsSpaceCharAt(d.GetItemText(p->ItemNo), p->Offs + k,
                                       d.ReadItemOptionBits(p->ItemNo));
        if (checkWidth && !onlySpaces) {
            EXPECT_LE(p->Left + p->Width, right) << i;
        }
        if (p->FromNewLine) {
            EXPECT_GE(p->Top, lineTop) << i;
            lineTop = p->Top;
        }
    }
}

TEST(LayoutInvariants, RandomDocumentsShowEveryCharacterOnceWithinTheWidth) {
    std::mt19937 rng(7);
    for (int round = 0; round < 300; ++round) {
        auto style = MakeFixedStyle();
        int small = AddFixedTextStyle(*style, 9);
        int wide = AddFixedTextStyle(*style, 24);
        style->TextStyles.GetItem(wide).Unicode = true;
        const TRVAlignment aligns[] = {TRVAlignment::rvaLeft, TRVAlignment::rvaRight,
                                       TRVAlignment::rvaCenter, TRVAlignment::rvaJustify};
        for (TRVAlignment a : aligns) {
            TParaInfo& p = style->ParaStyles.Add();
            p.Alignment = a;
            p.LeftIndent = int(rng() % 12);
            p.FirstIndent = int(rng() % 12);
            p.RightIndent = int(rng() % 12);
        }
        style->ParaStyles.Add().Options.Include(TRVParaOption::rvpaoNoWrap);
        const bool trim = rng() % 2;
        TTestRVData d(style.get());
        if (!trim) d.Flags.Exclude(TRVFlag::TrimSpaces);
        d.LeftMargin = int(rng() % 8);
        d.RightMargin = int(rng() % 8);
        d.ClientWidth = 20 + int(rng() % 300);
        // Narrow lines that the content may not fit: words are cut, nothing is lost.
        const bool narrow = round % 3 == 0;
        if (narrow) {
            d.SetOptions(d.GetOptions() | TRVOption::rvoClientTextWidth);
            d.ClientWidth = 1 + int(rng() % 60);
        }
        const int items = 1 + int(rng() % 12);
        for (int i = 0; i < items; ++i) {
            int kind = int(rng() % 10);
            int para = (i == 0 || rng() % 3 == 0) ? int(rng() % style->ParaStyles.Count()) : -1;
            if (kind == 0) {
                d.AddBreak();
            } else if (kind == 1) {
                d.AddBullet("b", 0, nullptr, 0, para);
            } else {
                std::string s;
                int len = int(rng() % 40);
                for (int k = 0; k < len; ++k)
                    s += (rng() % 4 == 0) ? ' ' : char('a' + rng() % 26);
                if (kind == 2) {
                    std::u16string w;
                    for (char c : s)
                        w += (rng() % 3 == 0 && c != ' ') ? u'\u6f22' : char16_t(c);
                    d.AddTextParagraphW(w, wide, para, TRVTag());
                } else {
                    d.AddTextParagraph(s, kind == 3 ? small : 0, para, TRVTag());
                }
            }
        }
        d.Format(false);
        SCOPED_TRACE("round " + std::to_string(round));
        CheckLayout(d, trim, !narrow);
        if (HasFailure()) return;
    }
}

} // namespace
} // namespace epc::test
