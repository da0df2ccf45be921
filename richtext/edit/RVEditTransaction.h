#pragma once
// One editing operation as one step: its undo group, the paragraphs it touches and the item
// count before it. The operation changes the document through the undoable primitives (which
// raise Full when the document's minimum width may change), then lays the paragraphs out again
// and reports the change; the end of the scope stops the recording and drops a group that took
// nothing, also when the operation is refused or throws.

#include <cstdint>

namespace epc {

class TRVEditRVData;

// Drawing items of the paragraphs an operation touches, noted before it changes anything
// (-1, -1: none to note, the whole document is laid out again).
struct TRVEditRange {
    int FirstDrawItemNo = -1;
    int LastDrawItemNo = -1;
    // The last item the operation changes, numbered as before it (-1: up to the caret).
    int LastItemNo = -1;
    // The paragraphs of the caret's drawing item.
    static TRVEditRange CaretParas(const TRVEditRVData& data);
    // The paragraphs of the selection.
    static TRVEditRange SelectionParas(const TRVEditRVData& data);
    // The paragraphs of an item range.
    static TRVEditRange ItemParas(const TRVEditRVData& data, int firstItemNo, int lastItemNo);
};

// The undo kind of a step that records nothing itself (a typed character goes to the undo
// list's typing record).
inline constexpr uint8_t kRVNoUndoGroup = 0xFF;

class TRVEditTransaction {
public:
    // Opens an undo group of UndoKind at the caret (an open cell editor finishes first).
    TRVEditTransaction(TRVEditRVData& data, TRVEditRange range, uint8_t undoKind);
    TRVEditTransaction(const TRVEditTransaction&) = delete;
    TRVEditTransaction& operator=(const TRVEditTransaction&) = delete;
    ~TRVEditTransaction();

    // Whether the whole document must be laid out again; primitives only ever raise it.
    bool Full = false;
    const TRVEditRange& Range() const { return FRange; }
    int ItemCountBefore() const { return FItemCountBefore; }
    // The noted paragraphs may be what makes the document wider than its window: the
    // operation may narrow it, which only a full format finds out.
    void NoteWidestParas();
    // Later steps of the operation join this group (a control's own resize notice, say).
    void HoldGroup();
    // Lays the noted paragraphs out again (the whole document when needed) and puts the caret
    // at an item position.
    void Reformat(int caretItemNo, int caretOffs);
    // Tells the editor of the change.
    void Commit();
    void Commit(int caretItemNo, int caretOffs) {
        Reformat(caretItemNo, caretOffs);
        Commit();
    }
    // Whether the step's undo group holds a change.
    bool Recorded() const;
    // Ends the step before the scope does: recording stops and a group that took nothing goes.
    void End();

private:
    TRVEditRVData& FData;
    TRVEditRange FRange;
    int FItemCountBefore = 0;
    bool FOpened = false;
    bool FHeld = false;
    bool FEnded = false;
};

} // namespace epc
