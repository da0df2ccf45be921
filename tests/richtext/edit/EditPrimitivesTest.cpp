// The undoable edit primitives: what each one changes, that undo gives back the document's
// exact bytes and redo the edited ones, the records they leave, and their refusals.

#include <functional>
#include <memory>

#include "platform/core/Exceptions.h"
#include "richtext/document/RVUni.h"
#include "richtext/edit/RVUndoRecords.h"
#include "tests/richtext/edit/EditTestSupport.h"

namespace epc::test {
namespace {

constexpr int kImageIndex = 1; // the extra integer property of a bullet

class Primitives : public EditFixture {
protected:
    void SetUp() override {
        EditFixture::SetUp();
        TRVEditRVData* d = Data();
        d->AddTextParagraph("Hello world", 0, 0, TRVTag());
        d->AddTextParagraph(" again", 0, -1, TRVTag());
        d->AddTextParagraph("Unicode", 1, 1, TRVTag());
        d->AddTextParagraph("third", 0, 0, TRVTag());
        d->AddTextParagraph("tail", 0, -1, TRVTag());
        Show();
    }
    // Runs an edit in its own undo group.
    void Step(const std::function<void(TRVEditRVData&)>& edit) {
        Data()->BeginUndoAction(rvutModifyItem, false);
        edit(*Data());
        Data()->EndUndoSequence();
        Data()->Format(false);
    }
    std::unique_ptr<TRVTextItemInfo> TextItem(int styleNo, int paraNo, uint8_t options = 0) {
        auto item = std::make_unique<TRVTextItemInfo>(Data());
        item->StyleNo = styleNo;
        item->ParaNo = paraNo;
        item->ItemOptions = options;
        return item;
    }
};

TEST_F(Primitives, EveryPrimitiveIsUndoneToTheSameBytesAndRedoneToTheEditedOnes) {
    struct Case {
        const char* name;
        std::function<void(TRVEditRVData&)> edit;
    };
    bool full = false;
    const std::vector<Case> cases = {
        {"delete item", [&](TRVEditRVData& d) { d.DeleteItemUndoable(1, full); }},
        {"delete first item", [&](TRVEditRVData& d) { d.DeleteItemUndoable(0, full); }},
        {"delete items", [&](TRVEditRVData& d) { d.DeleteItemsUndoable(1, 3, full); }},
        {"delete leading items", [&](TRVEditRVData& d) { d.DeleteItemsUndoable(0, 3, full); }},
        {"delete substring", [](TRVEditRVData& d) { d.DeleteSubstringUndoable(0, 3, 4); }},
        {"delete Unicode substring", [](TRVEditRVData& d) { d.DeleteSubstringUndoable(2, 2, 3); }},
        {"insert substring", [](TRVEditRVData& d) { d.InsertSubstringUndoable(0, 6, ", big"); }},
        {"change text", [](TRVEditRVData& d) { d.ChangeTextUndoable(3, "other"); }},
        {"insert item",
         [&](TRVEditRVData& d) { d.InsertItemUndoable(1, "new", TextItem(0, 1), false, full); }},
        {"insert items",
         [&](TRVEditRVData& d) {
             std::vector<TRVItemEntry> items;
             items.push_back({"x", TextItem(0, 1)});
             items.push_back({"y", TextItem(0, 1, rvioSameAsPrev)});
             d.InsertItemsUndoable(4, std::move(items), false, full);
         }},
        {"para range", [&](TRVEditRVData& d) { d.SetParaStyleRangeUndoable(0, 4, 1, full); }},
        {"para list",
         [&](TRVEditRVData& d) {
             d.SetParaStylesFromListUndoable(2, {0, 1, 1}, full);
         }},
        {"join", [&](TRVEditRVData& d) { d.SetJoinsPreviousUndoable(2, true, -1, full); }},
        {"unjoin", [&](TRVEditRVData& d) { d.SetJoinsPreviousUndoable(4, false, 1, full); }},
        {"line break", [&](TRVEditRVData& d) { d.SetLineBreakUndoable(1, true, full); }},
        {"page break", [](TRVEditRVData& d) { d.SetPageBreakUndoable(3, true); }},
        {"style", [](TRVEditRVData& d) { d.SetStyleNoUndoable(3, 1); }},
        {"tag", [](TRVEditRVData& d) { d.SetTagUndoable(3, TRVTag(7), false); }},
        {"checkpoint",
         [](TRVEditRVData& d) { d.AddCheckpointUndoable(3, std::make_unique<TRVCPInfo>()); }},
        {"end checkpoint",
         [](TRVEditRVData& d) { d.AddCheckpointUndoable(-1, std::make_unique<TRVCPInfo>()); }},
        {"merge", [&](TRVEditRVData& d) { d.MergeTextItemsUndoable(0, full); }},
        {"merge into Unicode", [&](TRVEditRVData& d) { d.MergeTextItemsUndoable(1, full); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string before = Rvf();
        Step(c.edit);
        const std::string after = Rvf();
        ASSERT_NE(after, before);
        ASSERT_TRUE(Edit->CanUndo());
        Edit->Undo();
        ASSERT_EQ(Rvf(), before);
        Edit->Redo();
        ASSERT_EQ(Rvf(), after);
        Edit->Undo();
        ASSERT_EQ(Rvf(), before);
        Data()->UndoList->Clear();
        Data()->RedoList->Clear();
    }
}

TEST_F(Primitives, SubstringDeletionToTheEndAndOfNothing) {
    Step([](TRVEditRVData& d) { d.DeleteSubstringUndoable(0, 6, -1); });
    EXPECT_EQ(Data()->GetItemText(0), "Hello");
    auto* record = dynamic_cast<TRVUndoDeleteSubstringInfo*>(Data()->UndoList->Items(0)->Items(0));
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->Offs, 6);
    EXPECT_EQ(record->Text, " world");
    // A count of 0 changes nothing and records nothing: the empty group is dropped.
    Step([](TRVEditRVData& d) { d.DeleteSubstringUndoable(0, 2, 0); });
    Data()->UndoList->RemoveEmptyLastGroup();
    EXPECT_EQ(Data()->GetItemText(0), "Hello");
    EXPECT_EQ(Data()->UndoList->Count(), 1);
    // Unicode items keep two bytes per character in the record.
    Step([](TRVEditRVData& d) { d.DeleteSubstringUndoable(2, 1, 2); });
    auto* wide = dynamic_cast<TRVUndoDeleteSubstringInfo*>(Data()->UndoList->Items(1)->Items(0));
    ASSERT_NE(wide, nullptr);
    EXPECT_EQ(wide->Text, std::string("U\0n\0", 4));
}

TEST_F(Primitives, SubstringInsertionRecordsCharactersAndRefusesNonText) {
    Step([](TRVEditRVData& d) { d.InsertSubstringUndoable(2, 8, std::string("!\0", 2)); });
    EXPECT_EQ(Text().substr(Text().find("Unicode")), "Unicode!\nthird|tail");
    auto* record = dynamic_cast<TRVUndoInsertSubstringInfo*>(Data()->UndoList->Items(0)->Items(0));
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->Length, 1);
    for (int itemNo : {-1, 5}) {
        try {
            Data()->InsertSubstringUndoable(itemNo, 1, "x");
            FAIL();
        } catch (const Exception& e) {
            EXPECT_STREQ(e.what(), "Undo error");
        }
    }
    Data()->AddBreak();
    EXPECT_THROW(Data()->InsertSubstringUndoable(5, 1, "x"), Exception);
    // Empty text is no change, even for a bad index.
    EXPECT_NO_THROW(Data()->InsertSubstringUndoable(99, 1, ""));
}

TEST_F(Primitives, CheckpointsAreKeptInOrderAndGuardedAgainstDoubles) {
    Step([](TRVEditRVData& d) {
        d.AddCheckpointUndoable(3, std::make_unique<TRVCPInfo>());
        d.AddCheckpointUndoable(0, std::make_unique<TRVCPInfo>());
    });
    EXPECT_EQ(Data()->CPCount, 2);
    ASSERT_NE(Data()->FirstCP, nullptr);
    EXPECT_EQ(Data()->FirstCP->ItemInfo, Data()->GetItem(0));
    EXPECT_EQ(Data()->LastCP->ItemInfo, Data()->GetItem(3));
    auto expectError = [](const std::function<void()>& f) {
        try {
            f();
            FAIL();
        } catch (const ERichViewError& e) {
            EXPECT_STREQ(e.what(), "Checkpoint error");
        }
    };
    expectError([&] { Data()->AddCheckpointUndoable(0, std::make_unique<TRVCPInfo>()); });
    expectError([&] { Data()->DeleteCheckpointUndoable(1); });
    expectError([&] { Data()->DeleteCheckpointUndoable(-1); });
    // An item deleted with its checkpoint takes the checkpoint back on undo.
    bool full = false;
    Step([&](TRVEditRVData& d) { d.DeleteItemUndoable(3, full); });
    EXPECT_EQ(Data()->CPCount, 1);
    Edit->Undo();
    EXPECT_EQ(Data()->CPCount, 2);
    EXPECT_EQ(Data()->LastCP->ItemInfo, Data()->GetItem(3));
    EXPECT_EQ(Data()->FirstCP->Next, Data()->LastCP);
}

TEST_F(Primitives, WithoutUndoNothingIsRecordedAndDeletedItemsGoAtOnce) {
    Edit->SetUndoLimit(0);
    std::vector<TRVItemAction> actions;
    Data()->OnItemAction = [&](TCustomRVData*, TRVItemAction a, TCustomRVItemInfo*, std::string&,
                               TCustomRVData*) { actions.push_back(a); };
    bool full = false;
    Step([&](TRVEditRVData& d) {
        EXPECT_EQ(d.GetActiveUndoList(), nullptr);
        d.DeleteItemUndoable(1, full);
    });
    EXPECT_EQ(actions, std::vector<TRVItemAction>{rviaDestroying});
    EXPECT_FALSE(Edit->CanUndo());
    // With recording the item moves into the record instead.
    Edit->SetUndoLimit(-1);
    actions.clear();
    Step([&](TRVEditRVData& d) { d.DeleteItemUndoable(1, full); });
    EXPECT_EQ(actions, std::vector<TRVItemAction>{rviaMovingToUndoList});
    EXPECT_TRUE(Edit->CanUndo());
    Data()->OnItemAction = nullptr;
}

TEST_F(Primitives, AParagraphStartInsertedInsideAParagraphTakesOverItsRest) {
    bool full = false;
    // Before " again", which continues the first paragraph.
    Step([&](TRVEditRVData& d) { d.InsertItemUndoable(1, "New", TextItem(0, 1), false, full); });
    EXPECT_EQ(Text(), "Hello world\nNew| again\nUnicode\nthird|tail");
    EXPECT_EQ(Data()->GetItemParaNo(2), 1);
    const TRVUndoInfos* group = Data()->UndoList->Items(0);
    ASSERT_EQ(group->Count(), 2);
    EXPECT_EQ(dynamic_cast<TRVUndoInsertItemInfo*>(group->Items(0))->LastAffectedItemNo, 2);
    EXPECT_NE(dynamic_cast<TRVUndoParaListInfo*>(group->Items(1)), nullptr);
    Edit->Undo();
    EXPECT_EQ(Data()->GetItemParaNo(1), 0);
}

TEST_F(Primitives, UnchangedValuesRecordNothing) {
    bool full = false;
    Step([&](TRVEditRVData& d) {
        d.SetTagUndoable(0, TRVTag(), false);
        d.SetStyleNoUndoable(0, 0);
        d.ChangeTextUndoable(0, "Hello world");
        d.SetParaStyleRangeUndoable(0, 1, 0, full);
        d.SetJoinsPreviousUndoable(1, true, -1, full);
        d.SetJoinsPreviousUndoable(0, false, -1, full);
        d.SetLineBreakUndoable(0, false, full);
        d.SetPageBreakUndoable(0, false);
    });
    Data()->UndoList->RemoveEmptyLastGroup();
    EXPECT_FALSE(Edit->CanUndo());
}

TEST_F(Primitives, UndoingAParagraphConversionGivesEveryParagraphItsOwnStyle) {
    bool full = false;
    Step([&](TRVEditRVData& d) { d.SetParaStylesFromListUndoable(0, {2, 2, 2, 2, 2}, full); });
    Edit->Undo();
    for (int i = 0; i < Data()->ItemCount(); ++i)
        EXPECT_EQ(Data()->GetItemParaNo(i), i == 2 ? 1 : 0) << i;
}

TEST_F(Primitives, StyleProtectedParagraphsKeepTheirStyleThroughUndoAndRedo) {
    bool full = false;
    Step([&](TRVEditRVData& d) { d.SetParaStylesFromListUndoable(2, {3}, full); });
    Data()->UndoList->Clear();
    Step([&](TRVEditRVData& d) { d.SetParaStyleRangeUndoable(0, 4, 1, full); });
    const std::vector<int> applied = {1, 1, 3, 1, 1};
    auto paras = [this] {
        std::vector<int> p;
        for (int i = 0; i < Data()->ItemCount(); ++i)
            p.push_back(Data()->GetItemParaNo(i));
        return p;
    };
    EXPECT_EQ(paras(), applied);
    Edit->Undo();
    EXPECT_EQ(paras(), (std::vector<int>{0, 0, 3, 0, 0}));
    Edit->Redo();
    EXPECT_EQ(paras(), applied);
}

TEST_F(Primitives, MergingTextItems) {
    bool full = false;
    Step([&](TRVEditRVData& d) { d.MergeTextItemsUndoable(3, full); });
    EXPECT_EQ(Text(), "Hello world| again\nUnicode\nthirdtail");
    // An empty first item takes the second one's style and tag.
    Step([&](TRVEditRVData& d) {
        d.ChangeTextUndoable(0, "");
        d.SetTagUndoable(1, TRVTag(5), false);
        d.SetStyleNoUndoable(1, 4);
        d.MergeTextItemsUndoable(0, full);
    });
    EXPECT_EQ(Text(), " again\nUnicode\nthirdtail");
    EXPECT_EQ(Data()->GetItemStyleNo(0), 4);
    EXPECT_EQ(Data()->GetItem(0)->Tag, TRVTag(5));
    // Texts of different encodings: the first gives way, the second takes its paragraph start.
    Step([&](TRVEditRVData& d) {
        d.SetJoinsPreviousUndoable(1, true, -1, full);
        d.MergeTextItemsUndoable(0, full);
    });
    EXPECT_EQ(Text(), "Unicode\nthirdtail");
    EXPECT_TRUE(Data()->GetItem(0)->StartsParagraph());
    EXPECT_EQ(Data()->GetItemParaNo(0), 0);
}

TEST_F(Primitives, TypedCharactersCoalesceIntoOneStep) {
    TRVUndoList& list = *Data()->UndoList;
    list.AddTyping(0, 3, false);
    list.AddTyping(0, 4, false);
    list.AddTyping(0, 5, false);
    ASSERT_EQ(list.Count(), 1);
    EXPECT_EQ(list.CurrentAction(), rvutTypingRun);
    auto* typing = dynamic_cast<TRVUndoTypingInfo*>(list.Items(0)->Items(0));
    ASSERT_NE(typing, nullptr);
    EXPECT_EQ(typing->Length, 3);
    // Elsewhere (a gap, another item) starts a new step.
    list.AddTyping(0, 9, false);
    list.AddTyping(1, 10, false);
    EXPECT_EQ(list.Count(), 3);
    // Backspaces run leftwards into one record.
    list.AddUntyping("c", 3, 7, false);
    list.AddUntyping("b", 3, 6, false);
    ASSERT_EQ(list.Count(), 4);
    auto* untyping = dynamic_cast<TRVRedoTypingInfo*>(list.Items(3)->Items(0));
    ASSERT_NE(untyping, nullptr);
    EXPECT_EQ(untyping->Text, "bc");
}

TEST_F(Primitives, ExtraPropertiesAndTerminators) {
    auto picture = std::make_unique<TRVBulletItemInfo>(Data());
    Data()->AppendItem("pic", std::move(picture));
    Data()->Format(false);
    int before = 0;
    ASSERT_TRUE(Data()->GetItemExtraIntProperty(5, kImageIndex, before));
    Step([&](TRVEditRVData& d) {
        d.AddModifyItemTerminatorUndo(5, true);
        d.SetExtraIntPropertyUndoable(5, kImageIndex, before + 3);
        d.SetExtraIntPropertyUndoable(5, kImageIndex, before + 3);
        d.AddModifyItemTerminatorUndo(5, false);
    });
    EXPECT_EQ(Data()->UndoList->Items(0)->Count(), 3);
    Edit->Undo();
    int value = 0;
    Data()->GetItemExtraIntProperty(5, kImageIndex, value);
    EXPECT_EQ(value, before);
    ASSERT_EQ(Data()->RedoList->Items(0)->Count(), 3);
    auto* opening =
        dynamic_cast<TRVUndoModifyItemTerminator*>(Data()->RedoList->Items(0)->Items(0));
    ASSERT_NE(opening, nullptr);
    EXPECT_TRUE(opening->Opening);
}

} // namespace
} // namespace epc::test
