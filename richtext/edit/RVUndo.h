#pragma once
// The undo list: records of single changes gathered into groups, one group per user-visible
// step. Replaying a group undoes its records last to first; the records put their reverse
// changes into the opposite list, so the same machinery serves undo and redo.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "richtext/document/RVData.h"

namespace epc {

class TRVUndoList;

inline constexpr const char* errRVUndoEmpty = "Can't modify empty undo list";
inline constexpr const char* errRVUndoAdd = "Incorrect adding into undo list";
inline constexpr const char* errRVUndoEmptyBuffer = "Undo buffer is empty";

// Kinds of change (one byte); several record classes share a kind, so decisions are made on
// the record's class, never on this number.
enum : uint8_t {
    rvuReformat = 0,
    rvuDeleteItem = 1,
    rvuDeleteItems = 2,
    rvuDeleteSubstring = 3,
    rvuInsertItem = 4,
    rvuInsertItems = 5,
    rvuInsertSubstring = 6,
    rvuNewLine = 7,
    rvuBR = 8,
    rvuPara = 9,
    rvuPageBreak = 10,
    rvuTyping = 11,
    rvuTag = 12,
    rvuStyleNo = 13,
    rvuCheckpoint = 14,
    rvuModifyItem = 15,
    rvuChangeText = 16,
};

// Kinds of a group (one user-visible step).
enum : uint8_t {
    rvutDelete = 1,
    rvutInsert = 2,
    rvutPara = 3,
    // Typing and Enter.
    rvutTyping = 4,
    // The group a run of typed characters (or a run of Backspace and Delete) coalesces into.
    rvutTypingRun = 7,
    rvutStyleNo = 9,
    rvutModifyItem = 13,
};

// Both kinds of typing groups read as typing to the user.
inline bool IsTypingGroupAction(uint8_t action) {
    return action == rvutTyping || action == rvutTypingRun;
}

class TRVUndoInfo : public TObject {
public:
    std::string ClassName() const override { return "TRVUndoInfo"; }

    uint8_t Action = 0;
    TRVUndoList* List = nullptr; // the owning list

    // Undoes the change on RVData; the reverse change goes into Reverse (may be null).
    virtual void Undo(TCustomRVData* /*rvData*/, TRVUndoList* /*reverse*/) {}
    virtual void GetAffectedItemRange(int& first, int& last) const {
        first = -1;
        last = -1;
    }
    virtual bool RequiresFullReformat(TCustomRVData* /*rvData*/) const { return false; }
    virtual bool RequiresFormattedDocBefore() const { return false; }
    virtual bool RequiresFormat() const { return false; }
    virtual bool RequiresSuperFormat() const { return false; }
    virtual bool ChangesOnlyFlags() const { return true; }
    // Items the undo adds to the document (negative when it removes).
    virtual int ItemsAdded() const { return 0; }
    // A typing record: its group coalesces further typing and is undone a character at a time.
    virtual bool IsTyping() const { return false; }
    // Typed characters a typing record still holds.
    virtual int TypedLeft() const { return 0; }
};

// A document that lays out again only what a replayed group changed: items First .. Last as
// numbered now (-1: unknown), ItemCountChange items more than before; Full asks for everything.
class TRVUndoReformatter {
public:
    virtual ~TRVUndoReformatter() = default;
    // Before a record is replayed: the items First .. Last it changes, numbered as now.
    virtual void BeforeUndoRecord(int /*first*/, int /*last*/) {}
    virtual void ReformatAfterUndo(int first, int last, int itemCountChange, bool full) = 0;
};

// One group of records: one user-visible step.
class TRVUndoInfos : public TObject {
public:
    std::string ClassName() const override { return "TRVUndoInfos"; }

    uint8_t Action = 0;
    std::string Caption;
    int32_t CaretItemNo = -1;
    int32_t CaretOffs = -1;
    int32_t Counter = 0; // used by typing coalescence

    int Count() const { return int(FRecords.size()); }
    TRVUndoInfo* Items(int i) const { return FRecords.at(size_t(i)).get(); }
    void Add(std::unique_ptr<TRVUndoInfo> record) { FRecords.push_back(std::move(record)); }
    std::unique_ptr<TRVUndoInfo> Extract(int i);
    // Exactly one record, a typing one.
    bool IsSingleTyping() const { return Count() == 1 && Items(0)->IsTyping(); }
    // Replays the records backwards; with Reformat the affected part of a formatted document
    // is laid out again.
    void Undo(TCustomRVData* rvData, TRVUndoList* reverse, bool reformat);

private:
    std::vector<std::unique_ptr<TRVUndoInfo>> FRecords;
};

class TRVUndoList : public TObject {
public:
    explicit TRVUndoList(TCustomRVData* rvData) : RVData(rvData) {}
    std::string ClassName() const override { return "TRVUndoList"; }

    TCustomRVData* RVData;
    // -1 unlimited; 0 records nothing.
    int32_t Limit = -1;
    // While above 0, new changes join the last group.
    int32_t GroupModeLevel = 0;

    int Count() const { return int(FGroups.size()); }
    TRVUndoInfos* Items(int i) const { return FGroups.at(size_t(i)).get(); }
    TRVUndoInfos* LastGroup() const { return FGroups.empty() ? nullptr : FGroups.back().get(); }
    void Clear() { FGroups.clear(); }

    bool BeginUndoGroup(uint8_t action, const std::string& caption, int caretItemNo, int caretOffs);
    void AddInfo(std::unique_ptr<TRVUndoInfo> record);
    void AddGroup(std::unique_ptr<TRVUndoInfos> group);
    std::unique_ptr<TRVUndoInfos> ExtractGroup(int i);
    void RemoveEmptyLastGroup();
    // One typed character at Offset of a text item: it extends the last group's typing record
    // when it follows that record's characters, else it starts a new typing group.
    void AddTyping(int itemNo, int offset, bool unicode);
    // Characters removed by Backspace ending at Offset (the caret before the deletion); they join
    // the last group's record when they end where its characters began.
    void AddUntyping(const std::string& text, int itemNo, int offset, bool unicode);
    uint8_t CurrentAction() const { return FGroups.empty() ? 0 : FGroups.back()->Action; }
    // Replays the last group; the reverse group is opened in Reverse (may be null) at the
    // group's own caret position, or at the one given (where the caret stands when the step is
    // taken back).
    void Undo(TCustomRVData* rvData, TRVUndoList* reverse);
    void Undo(TCustomRVData* rvData, TRVUndoList* reverse, int caretItemNo, int caretOffs);
    // Replays the last group into a reverse group the caller has already opened.
    void UndoIntoOpenGroup(TCustomRVData* rvData, TRVUndoList* reverse);
    void Redo(TCustomRVData* rvData, TRVUndoList* reverse) { Undo(rvData, reverse); }

private:
    void ApplyLimit();
    std::vector<std::unique_ptr<TRVUndoInfos>> FGroups;
};

// ---- Record classes the table operations use.

class TRVUndoItemNoInfo : public TRVUndoInfo {
public:
    std::string ClassName() const override { return "TRVUndoItemNoInfo"; }
    int32_t ItemNo = -1;
    int32_t LastAffectedItemNo = -1;
    void GetAffectedItemRange(int& first, int& last) const override;
    bool RequiresFullReformat(TCustomRVData* rvData) const override;
};

class TRVUndoModifyItemProps : public TRVUndoItemNoInfo {
public:
    std::string ClassName() const override { return "TRVUndoModifyItemProps"; }
    bool AffectsWidth = false;
    bool AffectsHeight = false;
    bool ChangesOnlyFlags() const override { return false; }
    bool RequiresFormat() const override { return AffectsWidth || AffectsHeight; }
};

// Brackets a run of item modifications; each replay turns an opening bracket into a closing
// one and back, so the reverse list gets the bracket the other way round.
class TRVUndoModifyItemTerminator : public TRVUndoModifyItemProps {
public:
    explicit TRVUndoModifyItemTerminator(int itemNo, bool opening);
    std::string ClassName() const override { return "TRVUndoModifyItemTerminator"; }
    bool Opening;
    void Undo(TCustomRVData* rvData, TRVUndoList* reverse) override;
};

// Undoes the last group of an inner list (a table's own steps inside one document step).
class TRVCompositeUndo : public TRVUndoInfo {
public:
    explicit TRVCompositeUndo(int itemNo, TCustomRVData* innerData);
    std::string ClassName() const override { return "TRVCompositeUndo"; }
    int32_t ItemNo;
    TRVUndoList UndoList;
    void Undo(TCustomRVData* rvData, TRVUndoList* reverse) override;
    bool ChangesOnlyFlags() const override { return false; }
};

} // namespace epc
