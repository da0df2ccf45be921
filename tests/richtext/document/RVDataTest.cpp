#include <gtest/gtest.h>

#include "DocTestUtil.h"
#include "platform/core/Strings.h"
#include "platform/windows/Window.h"
#include "richtext/document/RVData.h"
#include "richtext/document/RVUni.h"

using namespace epc;

namespace {

struct Doc {
    TRVStyle style{nullptr};
    TRVDocument data;
    Doc() {
        doctest::FillStyle(style);
        data.SetRVStyle(&style);
    }
};

template <typename F> std::string ErrorOf(F f) {
    try {
        f();
    } catch (const ERichViewError& e) {
        return e.Message();
    }
    return "no error";
}

} // namespace

TEST(ItemOffsets, TextAndNonTextItems) {
    Doc d;
    d.data.AddTextParagraph("abc", 0, 0, TRVTag());
    d.data.AddTextParagraphW(u"\u00E9\u00E8", 2, -1, TRVTag());
    d.data.AddBreak();
    d.data.AddTextParagraph("", 0, 0, TRVTag());
    EXPECT_EQ(d.data.ItemStartOffset(0), 1);
    EXPECT_EQ(d.data.ItemEndOffset(0), 4);
    // Unicode items count characters, not bytes.
    EXPECT_EQ(d.data.GetItemText(1).size(), 4u);
    EXPECT_EQ(d.data.GetItemCharCount(1), 2);
    EXPECT_EQ(d.data.ItemEndOffset(1), 3);
    EXPECT_EQ(d.data.ReadItemOptionBits(1) & rvioUnicode, rvioUnicode);
    EXPECT_EQ(d.data.ItemStartOffset(2), 0);
    EXPECT_EQ(d.data.ItemEndOffset(2), 1);
    EXPECT_EQ(d.data.GetItemCharCount(2), 1);
    EXPECT_EQ(d.data.ItemStartOffset(3), 1);
    EXPECT_EQ(d.data.ItemEndOffset(3), 1);
}

TEST(ItemOffsets, OutOfRangeIndexesRaiseTheLibraryError) {
    Doc d;
    d.data.AddTextParagraph("x", 0, 0, TRVTag());
    const std::string bounds = "Item index is out of bounds";
    EXPECT_EQ(ErrorOf([&] { d.data.GetPageBreakBefore(1); }), bounds);
    EXPECT_EQ(ErrorOf([&] { d.data.GetPageBreakBefore(-1); }), bounds);
    EXPECT_EQ(ErrorOf([&] { d.data.ItemEndOffset(5); }), bounds);
    EXPECT_EQ(ErrorOf([&] { d.data.GetItemStyleNo(-1); }), bounds);
    EXPECT_EQ(ErrorOf([&] {
                  d.data.RequireItemClass(0, [](TCustomRVItemInfo* i) {
                      return dynamic_cast<TRVControlItemInfo*>(i) != nullptr;
                  });
              }),
              "Can't get or set this kind of information for this item");
    EXPECT_EQ(ErrorOf([] { CheckEvenUnicodeLength("abc"); }), "Can't perform Unicode operation");
}

TEST(ItemOptionBits, SettersClearTheBitsTheyExclude) {
    TRVTextItemInfo item(nullptr);
    item.ItemOptions = rvioPageBreakBefore | rvioBR | rvioUnicode;
    item.SetJoinsPrevious(true);
    EXPECT_EQ(item.ItemOptions, rvioSameAsPrev | rvioUnicode);
    item.SetJoinsPrevious(false);
    EXPECT_EQ(item.ItemOptions, rvioUnicode);

    item.ItemOptions = rvioSameAsPrev;
    EXPECT_TRUE(item.SetLineBreakBefore(true));
    EXPECT_EQ(item.ItemOptions, rvioBR);
    EXPECT_FALSE(item.StartsParagraph());
    item.ItemOptions = rvioSameAsPrev | rvioBR;
    item.SetPageBreakBefore(true);
    EXPECT_EQ(item.ItemOptions, rvioPageBreakBefore);
    EXPECT_TRUE(item.StartsParagraph());
    item.SetPageBreakBefore(false);
    EXPECT_EQ(item.ItemOptions, 0);

    // A whole-line item refuses a line break inside a paragraph.
    TRVBreakItemInfo brk(nullptr);
    EXPECT_FALSE(brk.SetLineBreakBefore(true));
    EXPECT_EQ(brk.ItemOptions, 0);
}

TEST(ItemOptionBits, ParagraphAndLineStarts) {
    Doc d;
    d.data.AddTextParagraph("p1", 0, 0, TRVTag());
    d.data.AddTextParagraph("same line", 0, -1, TRVTag());
    d.data.AddParagraphMode = false;
    d.data.AddTextParagraph("line break", 0, 1, TRVTag());
    d.data.AddParagraphMode = true;
    d.data.AddTextParagraph("p2", 0, 1, TRVTag());
    EXPECT_TRUE(d.data.ItemStartsParagraph(0));
    EXPECT_FALSE(d.data.ItemStartsLine(1));
    EXPECT_EQ(d.data.GetItemParaNo(1), 0);
    EXPECT_TRUE(d.data.ItemStartsLine(2));
    EXPECT_FALSE(d.data.ItemStartsParagraph(2));
    EXPECT_EQ(d.data.GetLineStartItem(1), 0);
    EXPECT_EQ(d.data.GetLineStartItem(2), 2);
    EXPECT_EQ(d.data.GetParagraphStartItem(2), 0);
    EXPECT_EQ(d.data.GetParagraphStartItem(3), 3);
    int first = 1, last = 1;
    d.data.GetParagraphItemRange(first, last);
    EXPECT_EQ(first, 0);
    EXPECT_EQ(last, 2);
    int idx = 99;
    d.data.ClampItemIndex(idx);
    EXPECT_EQ(idx, 3);
}

TEST(ItemText, CharacterOffsetsStepOverSurrogatePairs) {
    Doc d;
    d.data.AddTextParagraphW(u"a\U0001F600b", 2, 0, TRVTag());
    EXPECT_EQ(d.data.GetNextCharOffset(0, 1), 2);
    EXPECT_EQ(d.data.GetNextCharOffset(0, 2), 4);
    EXPECT_EQ(d.data.GetPrevCharOffset(0, 4), 2);
    d.data.AddTextParagraph("a b", 0, 0, TRVTag());
    EXPECT_EQ(d.data.GetNextCharOffset(1, 1), 2);
    EXPECT_TRUE(d.data.IsDelimiterAt(1, 2));
    EXPECT_FALSE(d.data.IsDelimiterAt(1, 1));
    EXPECT_TRUE(IsSpaceCharAt(d.data.GetItemText(1), 2, 0));
}

TEST(ItemText, PreviousCharacterOfTheFirstPositionIsBeforeTheItem) {
    Doc d;
    d.data.AddTextParagraphW(u"\U0001F600a", 2, 0, TRVTag());
    EXPECT_EQ(d.data.GetPrevCharOffset(0, 1), 0);
    EXPECT_EQ(d.data.GetPrevCharOffset(0, 3), 1); // over the pair
    EXPECT_EQ(d.data.GetPrevCharOffset(0, 4), 3);
    EXPECT_EQ(d.data.GetNextCharOffset(0, 1), 3);
    d.data.AddTextParagraph("xy", 0, 0, TRVTag());
    EXPECT_EQ(d.data.GetPrevCharOffset(1, 1), 0);
}

// A document that answers its own word delimiters, as a viewer does.
class TDashDelimited : public TRVDocument {
public:
    std::u16string GetDelimiters() const override { return u"-"; }
};

TEST(ItemText, WordDelimitersComeFromTheDocumentsList) {
    Doc d;
    d.data.AddTextParagraph("a-b!c\td.e", 0, 0, TRVTag());
    d.data.AddTextParagraphW(u"x\u3000y(z", 2, 0, TRVTag());
    // The default list: twelve characters, so a dash, '!', a tab or an ideographic space do not
    // end a word, while a full stop or a bracket does.
    for (int offs : {2, 4, 6})
        EXPECT_FALSE(d.data.IsDelimiterAt(0, offs)) << offs;
    EXPECT_TRUE(d.data.IsDelimiterAt(0, 8));
    EXPECT_FALSE(d.data.IsDelimiterAt(1, 2));
    EXPECT_TRUE(d.data.IsDelimiterAt(1, 4));
    EXPECT_FALSE(d.data.IsDelimiterAt(0, 0)); // offsets outside the text
    EXPECT_FALSE(d.data.IsDelimiterAt(0, 10));

    TDashDelimited dashed;
    dashed.SetRVStyle(&d.style);
    dashed.AddTextParagraph("a-b.c", 0, 0, TRVTag());
    EXPECT_TRUE(dashed.IsDelimiterAt(0, 2));
    EXPECT_FALSE(dashed.IsDelimiterAt(0, 4));
}

TEST(ItemText, AnsiTextOfAUnicodeStyleIsConvertedWithItsCodePage) {
    Doc d;
    d.style.TextStyles[2].Charset = RUSSIAN_CHARSET;
    d.data.AddTextParagraph("\xCF\xF0\xE8", 2, 0, TRVTag());
    EXPECT_EQ(d.data.GetItemTextW(0), u"\u041F\u0440\u0438");
    EXPECT_EQ(d.data.CodePageOfStyle(2), 1251u);
}

TEST(ItemText, TabsAreExpandedWithTheSheetsSpacesInTab) {
    Doc d;
    d.style.SpacesInTab = 2;
    d.data.AddTextParagraphNoTag("a\tb", 0, 0);
    d.data.AddTextParagraphNoTag(WideToBytes(u"c\td"), 2, 0);
    EXPECT_EQ(d.data.GetItemText(0), "a  b");
    EXPECT_EQ(d.data.GetItemTextW(1), u"c  d");
}

TEST(ItemMerging, OnlyCompatibleNeighboursOnOneLineMerge) {
    Doc d;
    d.data.AddTextParagraph("a", 0, 0, TRVTag(1));
    d.data.AddTextParagraph("b", 0, -1, TRVTag(1));
    d.data.AddTextParagraph("c", 0, -1, TRVTag(2));
    d.data.AddTextParagraph("d", 3, -1, TRVTag());
    d.data.AddTextParagraph("e", 3, -1, TRVTag());
    d.data.AddTextParagraph("f", 3, 0, TRVTag());
    EXPECT_TRUE(d.data.CanMergeTextItems(0, 1));
    EXPECT_FALSE(d.data.CanMergeTextItems(1, 2)); // tags differ
    EXPECT_FALSE(d.data.CanMergeTextItems(3, 4)); // style protected against concatenation
    EXPECT_FALSE(d.data.CanMergeTextItems(4, 5)); // the second starts a paragraph
    d.data.SetCheckpointInfo(1, "cp", TRVTag(), false);
    EXPECT_FALSE(d.data.CanMergeTextItems(0, 1));
}

TEST(Checkpoints, ChainFollowsItemOrderAndCount) {
    Doc d;
    for (int i = 0; i < 5; ++i)
        d.data.AddTextParagraph("t", 0, 0, TRVTag());
    d.data.SetCheckpointInfo(3, "c3", TRVTag(), false);
    d.data.SetCheckpointInfo(1, "c1", TRVTag(), true);
    d.data.SetCheckpointInfo(4, "c4", TRVTag(), false);
    d.data.SetCheckpointInfo(1, "c1b", TRVTag(5), false); // updates, no new checkpoint
    d.data.SetDocumentEndCheckpoint("end", TRVTag(), false);
    std::string names;
    for (TRVCPInfo* cp = d.data.FirstCP; cp; cp = cp->Next)
        names += cp->Name + ",";
    EXPECT_EQ(names, "c1b,c3,c4,");
    EXPECT_EQ(d.data.LastCP->Name, "c4");
    EXPECT_EQ(d.data.LastCP->Prev->Name, "c3");
    EXPECT_EQ(d.data.CPCount, 4);
    EXPECT_EQ(d.data.GetCheckpointItemNo(d.data.FirstCP->Next), 3);

    d.data.DeleteItemRange(3, 1);
    EXPECT_EQ(d.data.CPCount, 3);
    EXPECT_EQ(d.data.FirstCP->Next->Name, "c4");
    d.data.RemoveCheckpoint(0); // none there: nothing happens
    d.data.RemoveCheckpoint(1);
    EXPECT_EQ(d.data.FirstCP->Name, "c4");
    EXPECT_EQ(d.data.CPCount, 2);
    d.data.ClearAllItems();
    EXPECT_EQ(d.data.FirstCP, nullptr);
    EXPECT_EQ(d.data.NotAddedCP, nullptr);
    EXPECT_EQ(d.data.CPCount, 0);
}

TEST(Checkpoints, CopiesDuplicateStringTags) {
    TRVCPInfo cp;
    cp.Name = "n";
    cp.RaiseEvent = true;
    cp.Tag = TRVTag::FromString("tag");
    std::unique_ptr<TRVCPInfo> copy(TRVCPInfo::CreateCopy(cp, true));
    cp.Tag = TRVTag::FromString("changed");
    EXPECT_EQ(copy->Tag.Text(), "tag");
    EXPECT_TRUE(copy->RaiseEvent);
    EXPECT_EQ(CopyTagValue(TRVTag(), true).IsEmpty(), true);
    EXPECT_EQ(CopyTagValue(TRVTag(12), false).Number(), 12);
}

TEST(ListMarkers, NumberingFollowsLevelsResetsAndDeletion) {
    Doc d;
    for (int i = 0; i < 5; ++i) {
        d.data.AddTextParagraph("item", 0, 0, TRVTag());
        d.data.SetParagraphMarker(d.data.ItemCount() - 1, 0, i == 2 || i == 3 ? 1 : 0, 1, false);
    }
    TRVMarkerList* markers = d.data.GetMarkers(false);
    ASSERT_NE(markers, nullptr);
    ASSERT_EQ(markers->Count(), 5);
    std::string texts;
    for (int i = 0; i < markers->Count(); ++i)
        texts += (*markers)[i]->MarkerText + " ";
    EXPECT_EQ(texts, "1. 2. 2.a) 2.b) 3. ");
    // The text after a marker continues the marker's paragraph.
    EXPECT_TRUE(d.data.GetItem(0)->StartsParagraph());
    EXPECT_FALSE(d.data.GetItem(1)->StartsParagraph());
    int listNo, level, start;
    bool reset;
    EXPECT_EQ(d.data.GetParagraphMarker(5, listNo, level, start, reset), 4);
    EXPECT_EQ(level, 1);

    d.data.SetParagraphMarker(8, 0, 0, 10, true);
    EXPECT_EQ((*markers)[4]->MarkerText, "10.");
    d.data.DeleteItemRange(0, 2);
    texts.clear();
    for (int i = 0; i < markers->Count(); ++i)
        texts += (*markers)[i]->MarkerText + " ";
    EXPECT_EQ(texts, "1. 1.a) 1.b) 10. ");
    EXPECT_EQ(static_cast<TRVMarkerItemInfo*>(d.data.GetItem(0))->GetIndexInList(&d.data), 0);
    // Removing a marker gives its paragraph start back to the text.
    d.data.SetParagraphMarker(1, -1, 0, 0, false);
    EXPECT_EQ(markers->Count(), 3);
    EXPECT_TRUE(d.data.GetItem(0)->StartsParagraph());
    EXPECT_EQ(d.data.GetItemStyleNo(0), 0);
    TRVIntegerList lists;
    lists.AddValue(0);
    EXPECT_EQ(d.data.FindLastMarkerOfLists(-1, lists), 2);
    lists.SetValue(0, 5);
    EXPECT_EQ(d.data.FindLastMarkerOfLists(-1, lists), -1);
    EXPECT_EQ(d.data.FindMarkerItemFrom((*markers)[1], 0), 3);
}

TEST(ListMarkers, LevelBeyondTheListCountsAsItsLastLevel) {
    // The sheet's list has two levels: a marker at level 5 shows and counts as level 1.
    Doc d;
    const int levels[] = {0, 1, 5, 1};
    for (int level : levels) {
        d.data.AddTextParagraph("item", 0, 0, TRVTag());
        d.data.SetParagraphMarker(d.data.ItemCount() - 1, 0, level, 1, false);
    }
    TRVMarkerList* markers = d.data.GetMarkers(false);
    ASSERT_NE(markers, nullptr);
    std::string texts;
    for (int i = 0; i < markers->Count(); ++i)
        texts += (*markers)[i]->MarkerText + " ";
    EXPECT_EQ(texts, "1. 1.a) 1.b) 1.c) ");
}

TEST(ListMarkers, PageBreakIsReadFromTheMarker) {
    Doc d;
    d.data.AddTextParagraph("a", 0, 0, TRVTag());
    d.data.AddTextParagraph("b", 0, 0, TRVTag());
    d.data.GetItem(1)->SetPageBreakBefore(true);
    d.data.SetParagraphMarker(1, 0, 0, 1, false);
    EXPECT_FALSE(d.data.GetItem(2)->GetPageBreakBefore());
    EXPECT_TRUE(d.data.GetPageBreakBefore(2));
    EXPECT_TRUE(d.data.GetPageBreakBefore(1));
}

TEST(ItemRegistry, RegistersOnlyFreeNumbersBelowMinusNine) {
    const std::string msg =
        "Can't register RichView item type - this StyleNo is already registered";
    auto factory = [](TCustomRVData* d) -> std::unique_ptr<TCustomRVItemInfo> {
        return std::make_unique<TRVFullLineItemInfo>(d);
    };
    EXPECT_EQ(ErrorOf([&] { RegisterRichViewItemType(-3, "X", factory); }), msg);
    RegisterRichViewItemType(-77, "TTestItem", factory);
    RegisterRichViewItemType(-77, "TTestItem", factory); // same class again: fine
    EXPECT_EQ(ErrorOf([&] { RegisterRichViewItemType(-77, "TOther", factory); }), msg);
    std::unique_ptr<TCustomRVItemInfo> item = CreateRichViewItem(-77, nullptr);
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->StyleNo, -77);
    EXPECT_TRUE(item->IsFullLine());
    EXPECT_EQ(CreateRichViewItem(-78, nullptr), nullptr);
}

TEST(ItemActions, InsertionAndDestructionAreReported) {
    Doc d;
    std::vector<int> actions;
    d.data.OnItemAction = [&](TCustomRVData*, TRVItemAction a, TCustomRVItemInfo*,
                              std::string& text, TCustomRVData*) {
        actions.push_back(a);
        if (a == rviaInserting) text += "!";
    };
    d.data.AddTextParagraph("x", 0, 0, TRVTag());
    EXPECT_EQ(d.data.GetItemText(0), "x!");
    d.data.GetItem(0)->MoveToUndo(&d.data);
    d.data.DeleteItemRange(0, 5);
    EXPECT_EQ(actions, (std::vector<int>{rviaInserting, rviaInserted, rviaMovingToUndoList,
                                         rviaDestroying}));
    EXPECT_EQ(d.data.ItemCount(), 0);
}

TEST(SharedItems, ShareAndMoveKeepOneOwner) {
    Doc d;
    doctest::FillDocument(d.data, false);
    std::string before = doctest::Dump(d.data);
    {
        TRVDocument printing;
        printing.SetRVStyle(&d.style);
        printing.ShareItemsOf(d.data);
        EXPECT_EQ(printing.ItemCount(), d.data.ItemCount());
        printing.DeleteItemRange(0, 3); // a sharing document never deletes
        EXPECT_EQ(printing.ItemCount(), d.data.ItemCount());
    }
    EXPECT_EQ(doctest::Dump(d.data), before);

    TRVDocument target;
    target.SetRVStyle(&d.style);
    target.AddTextParagraph("existing", 0, 0, TRVTag());
    int n = d.data.ItemCount();
    target.MoveItemsFrom(d.data);
    EXPECT_EQ(d.data.ItemCount(), 0);
    EXPECT_EQ(d.data.FirstCP, nullptr);
    EXPECT_EQ(target.ItemCount(), n + 1);
    EXPECT_EQ(target.CPCount, 2);
    EXPECT_EQ(target.FirstCP->Name, "start");
    EXPECT_EQ(target.GetMarkers(false)->Count(), 3);
    EXPECT_EQ(d.data.GetMarkers(false)->Count(), 0);
}

TEST(ItemCopies, CopyHasSameClassPropertiesCheckpointAndTag) {
    Doc d;
    doctest::FillDocument(d.data, true);
    TRVDocument copy;
    copy.SetRVStyle(&d.style);
    copy.SetOptions(TRVOptions{TRVOption::rvoTagsArePChars});
    for (int i = 0; i < d.data.ItemCount(); ++i)
        copy.AppendItem(d.data.GetItemText(i), CreateItemCopy(d.data.GetItem(i), &copy, true));
    copy.SetDocumentEndCheckpoint("end", TRVTag::FromString("end tag"), false);
    EXPECT_EQ(doctest::Dump(copy), doctest::Dump(d.data));
}

TEST(StyleSheet, OutOfRangeIndexesGivePlaceholders) {
    TRVStyle style(nullptr);
    EXPECT_EQ(style.TextStyles[99].FontName, "Arial");
    EXPECT_EQ(style.ParaStyles[-1].LineSpacing, 100);
    EXPECT_EQ(&style.ParaStyles[-1], &style.ParaStyles[50]);
    EXPECT_EQ(style.ListStyles[3].LevelCount(), 0);
    TRVMarkerItemInfo m(nullptr, 7, 0, 1, false);
    EXPECT_EQ(m.GetLevelInfo(&style), nullptr);
}

TEST(StyleSheet, FindStyleWithCharset) {
    Doc d;
    TFontInfo& cyr = d.style.TextStyles.Add();
    cyr = d.style.TextStyles[1];
    cyr.Charset = RUSSIAN_CHARSET;
    EXPECT_EQ(d.style.TextStyles.FindStyleWithCharset(1, RUSSIAN_CHARSET), 4);
    EXPECT_EQ(d.style.TextStyles.FindStyleWithCharset(4, RUSSIAN_CHARSET), 4);
    EXPECT_EQ(d.style.TextStyles.FindStyleWithCharset(1, GREEK_CHARSET), -1);
}

TEST(StyleSheet, UnusedStylesRenumber) {
    Doc d;
    d.data.AddTextParagraph("a", 3, 1, TRVTag());
    d.data.AddTextParagraph("b", 1, 1, TRVTag());
    TRVIntegerList usedText = TRVIntegerList::CreateFilled(d.style.TextStyles.Count(), 0);
    TRVIntegerList usedPara = TRVIntegerList::CreateFilled(d.style.ParaStyles.Count(), 0);
    TRVIntegerList usedList = TRVIntegerList::CreateFilled(d.style.ListStyles.Count(), 0);
    d.data.CollectUsedStyles(usedText, usedPara, usedList);
    EXPECT_EQ(usedText.Values(), (std::vector<int32_t>{0, 1, 0, 1}));
    EXPECT_EQ(usedPara.Values(), (std::vector<int32_t>{0, 1}));
    // Styles 0 and 2 removed: map = deleted-before + 1.
    TRVIntegerList textMap, paraMap, listMap;
    for (int v : {1, 2, 2, 3})
        textMap.AddValue(v);
    for (int v : {1, 2})
        paraMap.AddValue(v);
    d.data.RenumberStyles(textMap, paraMap, listMap);
    EXPECT_EQ(d.data.GetItemStyleNo(0), 1);
    EXPECT_EQ(d.data.GetItemStyleNo(1), 0);
    EXPECT_EQ(d.data.GetItemParaNo(0), 0);
}

TEST(Beep, OnlyWhenTheSheetWantsSound) {
    Doc d;
    int before = BeepCount();
    d.data.BeepIfUseSound();
    EXPECT_EQ(BeepCount(), before + 1);
    d.style.UseSound = false;
    d.data.BeepIfUseSound();
    EXPECT_EQ(BeepCount(), before + 1);
}

// Records what the document reports, and what the items looked like at that moment.
class TLogRecorder : public TRVItemChangeRecorder {
public:
    std::vector<std::string> Log;
    void ItemInserted(TCustomRVData& rvData, int itemNo) override {
        Log.push_back("insert " + std::to_string(itemNo) + " " + rvData.GetItemText(itemNo));
    }
    void ItemsDeleting(TCustomRVData& rvData, int first, int count) override {
        Log.push_back("delete " + std::to_string(first) + "+" + std::to_string(count) + " " +
                      rvData.GetItemText(first));
    }
    void ItemReleasing(TCustomRVData& rvData, int itemNo) override {
        Log.push_back("release " + std::to_string(itemNo) + " " +
                      rvData.GetItem(itemNo)->ClassName());
    }
    void ItemChanging(TCustomRVData& rvData, int itemNo, TRVItemChangeKind kind,
                      int prop) override {
        std::string s = "change " + std::to_string(itemNo) + " kind " + std::to_string(int(kind));
        if (kind == TRVItemChangeKind::rvicText) s += " was " + rvData.GetItemText(itemNo);
        if (kind == TRVItemChangeKind::rvicOptions)
            s += " was " + std::to_string(rvData.ReadItemOptionBits(itemNo));
        if (kind == TRVItemChangeKind::rvicTag)
            s += " was " + std::to_string(rvData.ReadItemTag(itemNo).Number());
        if (prop >= 0) s += " prop " + std::to_string(prop);
        Log.push_back(s);
    }
};

TEST(ChangeRecorder, HearsEveryUndoableChangeBeforeTheOldStateIsGone) {
    Doc d;
    TLogRecorder rec;
    d.data.SetChangeRecorder(&rec);
    d.data.AddTextParagraph("one", 0, 0, TRVTag(1));
    d.data.AddTextParagraph("two", 0, 0, TRVTag());
    d.data.AddPictureItem("pic", nullptr, -1, TRVVAlign::rvvaBaseline);
    d.data.SetItemText(0, "ONE");
    d.data.SetItemTag(0, TRVTag(2));
    d.data.SetItemJoinsPrevious(1, true);
    d.data.SetItemPageBreakBefore(1, true);
    d.data.SetItemLineBreakBefore(1, true);
    EXPECT_TRUE(d.data.SetItemExtraIntProperty(2, 3, 40));
    EXPECT_FALSE(d.data.SetItemExtraIntProperty(2, 99, 1)); // no such property: nothing heard
    d.data.ReleaseItemAt(2);
    d.data.DeleteItemRange(2, 1);
    d.data.DeleteItemRange(0, 1);
    const std::vector<std::string> expected = {
        "insert 0 one",           "insert 1 two",
        "insert 2 pic",           "change 0 kind 0 was one",
        "change 0 kind 2 was 1",  "change 1 kind 1 was 0",
        "change 1 kind 1 was 1",  "change 1 kind 1 was 2",
        "change 2 kind 3 prop 3", "release 2 TRVGraphicItemInfo",
        "delete 2+1 pic",         "delete 0+1 ONE"};
    EXPECT_EQ(rec.Log, expected);
    d.data.SetChangeRecorder(nullptr);
    d.data.AddTextParagraph("unheard", 0, 0, TRVTag());
    EXPECT_EQ(rec.Log.size(), expected.size());
}

// An editing document takes over deletion; the document's own operations go through it.
class TCountingDocument : public TRVDocument {
public:
    int Deletions = 0;
    void DeleteItemRange(int first, int count) override {
        ++Deletions;
        TRVDocument::DeleteItemRange(first, count);
    }
};

TEST(ChangeRecorder, DocumentOperationsGoThroughTheVirtualDeletion) {
    TRVStyle style(nullptr);
    doctest::FillStyle(style);
    TCountingDocument data;
    data.SetRVStyle(&style);
    data.AddTextParagraph("item", 0, 0, TRVTag());
    data.SetParagraphMarker(0, 0, 0, 1, false);
    ASSERT_EQ(data.ItemCount(), 2);
    data.SetParagraphMarker(0, -1, 0, 1, false); // removing the marker deletes it
    EXPECT_EQ(data.Deletions, 1);
    EXPECT_EQ(data.ItemCount(), 1);
}

TEST(HtmlPictureNames, EachDocumentCountsItsOwn) {
    Doc a, b;
    EXPECT_EQ(a.data.NextHtmlImageName(".png"), "rvimg1.png");
    EXPECT_EQ(a.data.NextHtmlImageName(".jpg"), "rvimg2.jpg");
    EXPECT_EQ(b.data.NextHtmlImageName(".png"), "rvimg1.png");
}
