#include "richtext/edit/RVUndo.h"

#include <gtest/gtest.h>

#include <vector>

namespace epc {
namespace {

// A document that logs which records were replayed.
class TLogDoc : public TRVDocument {
public:
    std::vector<int> Log;
};

// Replaying logs the id and records the reverse record (id negated) in the other list.
class TLogRecord : public TRVUndoInfo {
public:
    explicit TLogRecord(int id, uint8_t action = 15) : Id(id) { Action = action; }
    int Id;
    void Undo(TCustomRVData* rvData, TRVUndoList* reverse) override {
        static_cast<TLogDoc*>(rvData)->Log.push_back(Id);
        if (reverse) reverse->AddInfo(std::make_unique<TLogRecord>(-Id, Action));
    }
};

// A typing record of the tests: one typed character is taken back per replay.
class TTypingRecord : public TRVUndoInfo {
public:
    explicit TTypingRecord(int count) : Count(count) { Action = rvuTyping; }
    int Count;
    bool IsTyping() const override { return true; }
    int TypedLeft() const override { return Count; }
    void Undo(TCustomRVData* rvData, TRVUndoList*) override {
        static_cast<TLogDoc*>(rvData)->Log.push_back(100 + Count);
        --Count;
    }
};

void AddGroup(TRVUndoList& list, int id) {
    ASSERT_TRUE(list.BeginUndoGroup(1, "step " + std::to_string(id), id, 0));
    list.AddInfo(std::make_unique<TLogRecord>(id));
}

TEST(UndoList, ReplayRunsRecordsBackwardsAndFillsTheReverseList) {
    TLogDoc doc;
    TRVUndoList undo(&doc), redo(&doc);
    ASSERT_TRUE(undo.BeginUndoGroup(3, "Insert", 5, 2));
    undo.AddInfo(std::make_unique<TLogRecord>(1));
    undo.AddInfo(std::make_unique<TLogRecord>(2));
    EXPECT_EQ(undo.CurrentAction(), 3);
    undo.Undo(&doc, &redo);
    EXPECT_EQ(doc.Log, (std::vector<int>{2, 1}));
    EXPECT_EQ(undo.Count(), 0);
    ASSERT_EQ(redo.Count(), 1);
    EXPECT_EQ(redo.Items(0)->Action, 3);
    EXPECT_EQ(redo.Items(0)->Caption, "Insert");
    EXPECT_EQ(redo.Items(0)->CaretItemNo, 5);
    EXPECT_EQ(redo.Items(0)->Count(), 2);
    redo.Redo(&doc, &undo);
    EXPECT_EQ(doc.Log, (std::vector<int>{2, 1, -1, -2}));
    EXPECT_EQ(undo.Count(), 1);
    EXPECT_EQ(redo.CurrentAction(), 0);
}

TEST(UndoList, AReplayedGroupIsNeverReplayedAgain) {
    TLogDoc doc;
    TRVUndoList undo(&doc);
    AddGroup(undo, 1);
    AddGroup(undo, 2);
    undo.Undo(&doc, nullptr);
    undo.Undo(&doc, nullptr);
    EXPECT_EQ(doc.Log, (std::vector<int>{2, 1}));
    EXPECT_EQ(undo.Count(), 0);
    try {
        undo.Undo(&doc, nullptr);
        FAIL();
    } catch (const ERichViewError& e) {
        EXPECT_STREQ(e.what(), "Undo buffer is empty");
    }
}

TEST(UndoList, ATypingGroupStaysWhileTypedCharactersAreLeft) {
    TLogDoc doc;
    TRVUndoList undo(&doc);
    ASSERT_TRUE(undo.BeginUndoGroup(7, "", 0, 0));
    undo.AddInfo(std::make_unique<TTypingRecord>(2));
    undo.Undo(&doc, nullptr);
    EXPECT_EQ(undo.Count(), 1);
    undo.Undo(&doc, nullptr);
    EXPECT_EQ(undo.Count(), 0);
    EXPECT_EQ(doc.Log, (std::vector<int>{102, 101}));
}

TEST(UndoList, LimitDropsTheOldestGroup) {
    TLogDoc doc;
    TRVUndoList undo(&doc);
    undo.Limit = 2;
    AddGroup(undo, 1);
    AddGroup(undo, 2);
    AddGroup(undo, 3);
    ASSERT_EQ(undo.Count(), 2);
    EXPECT_EQ(undo.Items(0)->Caption, "step 2");
    EXPECT_EQ(undo.Items(1)->Caption, "step 3");
}

TEST(UndoList, AnEmptyLastGroupIsReplacedBeforeTheLimitApplies) {
    TLogDoc doc;
    TRVUndoList undo(&doc);
    undo.Limit = 2;
    AddGroup(undo, 1);
    ASSERT_TRUE(undo.BeginUndoGroup(4, "empty", 9, 3)); // nothing recorded in it
    ASSERT_TRUE(undo.BeginUndoGroup(5, "next", 0, 0));
    ASSERT_EQ(undo.Count(), 2);
    EXPECT_EQ(undo.Items(0)->Caption, "step 1");
    // The empty group's caret and caption are taken over.
    EXPECT_EQ(undo.Items(1)->Action, 5);
    EXPECT_EQ(undo.Items(1)->Caption, "empty");
    EXPECT_EQ(undo.Items(1)->CaretItemNo, 9);
}

TEST(UndoList, LimitOneKeepsTheNewestStep) {
    TLogDoc doc;
    TRVUndoList undo(&doc);
    undo.Limit = 1;
    ASSERT_TRUE(undo.BeginUndoGroup(1, "a", 0, 0));
    ASSERT_TRUE(undo.BeginUndoGroup(1, "b", 0, 0));
    EXPECT_EQ(undo.Count(), 1);
    AddGroup(undo, 3);
    ASSERT_EQ(undo.Count(), 1);
    EXPECT_EQ(undo.Items(0)->Count(), 1);
}

TEST(UndoList, LimitZeroRecordsNothing) {
    TLogDoc doc;
    TRVUndoList undo(&doc);
    undo.Limit = 0;
    EXPECT_FALSE(undo.BeginUndoGroup(1, "x", 0, 0));
    EXPECT_EQ(undo.Count(), 0);
    EXPECT_THROW(undo.AddInfo(std::make_unique<TLogRecord>(1)), ERichViewError);
}

TEST(UndoList, GroupModeJoinsTheLastGroup) {
    TLogDoc doc;
    TRVUndoList undo(&doc);
    AddGroup(undo, 1);
    undo.GroupModeLevel = 1;
    ASSERT_TRUE(undo.BeginUndoGroup(2, "joined", 0, 0));
    undo.AddInfo(std::make_unique<TLogRecord>(2));
    EXPECT_EQ(undo.Count(), 1);
    EXPECT_EQ(undo.Items(0)->Count(), 2);
    // An empty last group survives in group mode.
    undo.GroupModeLevel = 0;
    ASSERT_TRUE(undo.BeginUndoGroup(3, "", 0, 0));
    undo.GroupModeLevel = 1;
    undo.RemoveEmptyLastGroup();
    EXPECT_EQ(undo.Count(), 2);
    undo.GroupModeLevel = 0;
    undo.RemoveEmptyLastGroup();
    EXPECT_EQ(undo.Count(), 1);
}

TEST(UndoList, AddingErrors) {
    TLogDoc doc;
    TRVUndoList undo(&doc);
    try {
        undo.AddInfo(std::make_unique<TLogRecord>(1));
        FAIL();
    } catch (const ERichViewError& e) {
        EXPECT_STREQ(e.what(), "Can't modify empty undo list");
    }
    ASSERT_TRUE(undo.BeginUndoGroup(7, "", 0, 0));
    undo.AddInfo(std::make_unique<TTypingRecord>(1));
    try {
        undo.AddInfo(std::make_unique<TLogRecord>(1));
        FAIL();
    } catch (const ERichViewError& e) {
        EXPECT_STREQ(e.what(), "Incorrect adding into undo list");
    }
    // A single typing group also starts a new group in group mode.
    undo.GroupModeLevel = 1;
    ASSERT_TRUE(undo.BeginUndoGroup(1, "", 0, 0));
    EXPECT_EQ(undo.Count(), 2);
}

TEST(UndoList, KindFifteenIsNotMistakenForATerminator) {
    // A record of another class with the terminator's kind number replays as itself.
    TLogDoc doc;
    TRVUndoList undo(&doc), redo(&doc);
    ASSERT_TRUE(undo.BeginUndoGroup(13, "", 0, 0));
    undo.AddInfo(std::make_unique<TRVUndoModifyItemTerminator>(0, true));
    undo.AddInfo(std::make_unique<TLogRecord>(4, rvuModifyItem));
    undo.AddInfo(std::make_unique<TRVUndoModifyItemTerminator>(0, false));
    undo.Undo(&doc, &redo);
    EXPECT_EQ(doc.Log, (std::vector<int>{4}));
    ASSERT_EQ(redo.Items(0)->Count(), 3);
    auto* first = dynamic_cast<TRVUndoModifyItemTerminator*>(redo.Items(0)->Items(0));
    auto* last = dynamic_cast<TRVUndoModifyItemTerminator*>(redo.Items(0)->Items(2));
    ASSERT_TRUE(first && last);
    EXPECT_TRUE(first->Opening);
    EXPECT_FALSE(last->Opening);
}

TEST(UndoList, CompositeUndoesTheLastInnerGroup) {
    TLogDoc doc, inner;
    TRVUndoList undo(&doc);
    auto composite = std::make_unique<TRVCompositeUndo>(0, &inner);
    AddGroup(composite->UndoList, 1);
    AddGroup(composite->UndoList, 2);
    TRVCompositeUndo* c = composite.get();
    ASSERT_TRUE(undo.BeginUndoGroup(1, "", 0, 0));
    undo.AddInfo(std::move(composite));
    EXPECT_EQ(c->List, &undo);
    undo.Undo(&doc, nullptr);
    EXPECT_EQ(inner.Log, (std::vector<int>{2}));
    EXPECT_TRUE(doc.Log.empty());
}

TEST(UndoList, AddGroupTakesOverTheRecords) {
    TLogDoc doc;
    TRVUndoList a(&doc), b(&doc);
    AddGroup(a, 1);
    b.AddGroup(a.ExtractGroup(0));
    EXPECT_EQ(a.Count(), 0);
    ASSERT_EQ(b.Count(), 1);
    EXPECT_EQ(b.Items(0)->Items(0)->List, &b);
}

} // namespace
} // namespace epc
