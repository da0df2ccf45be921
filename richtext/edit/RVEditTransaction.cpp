// The editing step and the re-format after a change, shared by every edit operation and by undo.

#include "richtext/edit/RVEditTransaction.h"

#include <algorithm>

#include "richtext/edit/RVERVData.h"

namespace epc {

namespace {

// Whether the document's minimum width reaches beyond its window.
bool WiderThanWindow(const TRVEditRVData& data) {
    const int base = std::max(data.GetClientWidth() - data.GetLeftMargin() - data.GetRightMargin(),
                              data.GetMinTextWidth());
    return data.MinWidth > base;
}

// Whether the paragraphs of a drawing range may be what makes the document wider than its
// window: a change there may narrow the document, which only a full format finds out.
bool ParasMayBeWidest(TRVEditRVData& data, int firstDrawItemNo, int lastDrawItemNo) {
    const int count = data.DrawItems.Count();
    if (count == 0 || !data.GetCanvas() || firstDrawItemNo < 0 || !WiderThanWindow(data))
        return false;
    const int first = data.DrawItems[std::clamp(firstDrawItemNo, 0, count - 1)]->ItemNo;
    const int last = data.DrawItems[std::clamp(lastDrawItemNo, 0, count - 1)]->ItemNo;
    return data.CalcParasMinWidth(first, last, nullptr, nullptr) >= data.MinWidth;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Ranges.

TRVEditRange TRVEditRange::CaretParas(const TRVEditRVData& data) {
    TRVEditRange range;
    if (data.CaretDrawItemNo < 0 || data.CaretDrawItemNo >= data.DrawItems.Count()) return range;
    range.FirstDrawItemNo = range.LastDrawItemNo = data.CaretDrawItemNo;
    range.LastItemNo = data.DrawItems[data.CaretDrawItemNo]->ItemNo;
    data.ExpandDrawRangeToParas(range.FirstDrawItemNo, range.LastDrawItemNo);
    return range;
}

TRVEditRange TRVEditRange::SelectionParas(const TRVEditRVData& data) {
    TRVEditRange range;
    int startOffs, endOffs;
    data.GetSelectionDrawBounds(range.FirstDrawItemNo, startOffs, range.LastDrawItemNo, endOffs,
                                true);
    if (range.LastDrawItemNo >= 0 && range.LastDrawItemNo < data.DrawItems.Count())
        range.LastItemNo = data.DrawItems[range.LastDrawItemNo]->ItemNo;
    data.ExpandDrawRangeToParas(range.FirstDrawItemNo, range.LastDrawItemNo);
    return range;
}

TRVEditRange TRVEditRange::ItemParas(const TRVEditRVData& data, int firstItemNo, int lastItemNo) {
    TRVEditRange range{data.GetFirstDrawItemNo(firstItemNo), data.GetFirstDrawItemNo(lastItemNo),
                       lastItemNo};
    data.ExpandDrawRangeToParas(range.FirstDrawItemNo, range.LastDrawItemNo);
    return range;
}

// ---------------------------------------------------------------------------------------------
// The step.

TRVEditTransaction::TRVEditTransaction(TRVEditRVData& data, TRVEditRange range, uint8_t undoKind)
    : FData(data), FRange(range) {
    if (undoKind != kRVNoUndoGroup) {
        FData.BeginUndoAction(undoKind, true);
        FOpened = true;
    }
    FItemCountBefore = FData.ItemCount();
    // A marker the step removes renumbers the rest of its list: its list is noted now.
    FData.FNotedListNos = TRVIntegerList();
    const int draws = FData.DrawItems.Count();
    if (draws > 0 && FRange.FirstDrawItemNo >= 0 && FRange.LastDrawItemNo >= 0)
        FData.NoteNumberedLists(
            FData.DrawItems[std::min(FRange.FirstDrawItemNo, draws - 1)]->ItemNo,
            std::max(FData.DrawItems[std::min(FRange.LastDrawItemNo, draws - 1)]->ItemNo,
                     FRange.LastItemNo));
}

TRVEditTransaction::~TRVEditTransaction() {
    End();
}

void TRVEditTransaction::End() {
    if (FEnded) return;
    FEnded = true;
    if (FHeld) FData.ChangeUndoGroupLevel(false);
    if (!FOpened) return;
    FData.UndoList->RemoveEmptyLastGroup();
    FData.UndoDest = rvudNone;
}

bool TRVEditTransaction::Recorded() const {
    const TRVUndoInfos* group = FData.UndoList->LastGroup();
    return FOpened && !FEnded && group && group->Count() > 0;
}

void TRVEditTransaction::NoteWidestParas() {
    if (ParasMayBeWidest(FData, FRange.FirstDrawItemNo, FRange.LastDrawItemNo)) Full = true;
}

void TRVEditTransaction::HoldGroup() {
    if (FHeld) return;
    FData.ChangeUndoGroupLevel(true);
    FHeld = true;
}

void TRVEditTransaction::Reformat(int caretItemNo, int caretOffs) {
    // Only a step with a group of its own can record the repairs of its structure.
    if (FOpened && !FEnded && FData.ItemCount() > 0) {
        const int draws = FData.DrawItems.Count();
        int first = 0, last = FData.ItemCount() - 1;
        if (draws > 0 && FRange.FirstDrawItemNo >= 0) {
            first = FData.DrawItems[std::min(FRange.FirstDrawItemNo, draws - 1)]->ItemNo;
            last = FRange.LastItemNo >= 0 ? FRange.LastItemNo + FData.ItemCount() - FItemCountBefore
                                          : caretItemNo;
            last = std::max(last, caretItemNo);
        }
        FData.TidyStructure(first, last, caretItemNo, caretOffs, Full);
    }
    FData.FinishEdit(FRange, FItemCountBefore, Full, caretItemNo, caretOffs);
}

void TRVEditTransaction::Commit() {
    if (FData.Editor()) FData.MarkChanged();
}

// ---------------------------------------------------------------------------------------------
// Re-formatting after a change.

bool TRVEditRVData::PartialFormatFallsShort(int firstItemNo, int lastItemNo, int itemCountChange) {
    const int count = ItemCount();
    firstItemNo = std::clamp(firstItemNo, 0, count - 1);
    lastItemNo = std::clamp(lastItemNo, firstItemNo, count - 1);
    // Numbering text of later list paragraphs may have changed width with any new or removed
    // paragraph.
    if (itemCountChange != 0 && !UpdateNumberedLists(firstItemNo, lastItemNo)) return true;
    // A scroll bar that came or went with the new height changes the width every line was
    // broken for (a format that ended with the scroll bar gone may have kept the narrower one).
    if (GetClientWidth() != FLayoutClientWidth ||
        GetClientWidth() - GetLeftMargin() - GetRightMargin() > MinWidth)
        return true;
    // A paragraph that grew wider than the document asks for the whole document again.
    return CalcParasMinWidth(firstItemNo, lastItemNo, nullptr, nullptr) > MinWidth;
}

void TRVEditRVData::ReformatAfterEdit(int firstDrawItemNo, int lastDrawItemNo, int firstItemNo,
                                      int lastItemNo, int itemCountChange, bool full) {
    if (full || firstDrawItemNo < 0 || DrawItems.Count() == 0 || ItemCount() == 0 ||
        ItemCount() - itemCountChange <= 0) {
        FNotedListNos = TRVIntegerList();
        Format(false);
        return;
    }
    FormatParasOfDrawRange(firstDrawItemNo, lastDrawItemNo, itemCountChange);
    const bool fallsShort = PartialFormatFallsShort(firstItemNo, lastItemNo, itemCountChange);
    FNotedListNos = TRVIntegerList();
    if (fallsShort) Format(false);
}

void TRVEditRVData::FinishEdit(const TRVEditRange& range, int itemCountBefore, bool full,
                               int caretItemNo, int caretOffs) {
    if (ItemCount() == 0) return;
    if (!GetCanvas()) {
        // Nothing can lay the items out: drawing items made before the edit must not stay.
        ClearFormatting();
        return;
    }
    const int change = ItemCount() - itemCountBefore;
    // The changed items: from the range's first to its last changed one (numbered as now) or
    // the caret's, whichever comes later.
    const int draws = DrawItems.Count();
    int firstItemNo = -1, lastItemNo = -1;
    if (draws > 0 && range.FirstDrawItemNo >= 0) {
        firstItemNo = DrawItems[std::min(range.FirstDrawItemNo, draws - 1)]->ItemNo;
        lastItemNo = range.LastItemNo >= 0 ? range.LastItemNo + change : caretItemNo;
        lastItemNo = std::max(lastItemNo, caretItemNo);
    }
    ReformatAfterEdit(range.FirstDrawItemNo, range.LastDrawItemNo, firstItemNo, lastItemNo, change,
                      full);
    caretItemNo = std::clamp(caretItemNo, 0, ItemCount() - 1);
    caretOffs = std::clamp(caretOffs, ItemStartOffset(caretItemNo), ItemEndOffset(caretItemNo));
    PlaceCaretAfterEdit(caretItemNo, caretOffs, false);
    ShowCaret(true, false, false);
    Invalidate();
}

void TRVEditRVData::ReformatAfterUndo(int first, int last, int itemCountChange, bool full) {
    if (!GetCanvas()) return; // the replay drops the stale drawing items
    const int count = ItemCount();
    const int oldCount = count - itemCountChange;
    const int draws = DrawItems.Count();
    // Nothing noted the replayed paragraphs' widths before: in a document wider than its window
    // they may have been the widest.
    if (full || first < 0 || count == 0 || oldCount <= 0 || draws == 0 || WiderThanWindow(*this)) {
        Format(false);
        return;
    }
    // The drawing items still carry the numbers from before the replay: items before First
    // kept theirs, items after Last moved by the count change.
    const int oldFirst = std::clamp(first - 1, 0, oldCount - 1);
    const int oldLast = std::clamp(std::max(last - itemCountChange, first), oldFirst, oldCount - 1);
    int lo = 0, hi = draws - 1;
    while (lo < hi) {
        const int mid = (lo + hi) / 2;
        if (DrawItems[mid]->ItemNo < oldFirst)
            lo = mid + 1;
        else
            hi = mid;
    }
    const int d1 = lo;
    hi = draws - 1;
    while (lo < hi) {
        const int mid = (lo + hi + 1) / 2;
        if (DrawItems[mid]->ItemNo > oldLast)
            hi = mid - 1;
        else
            lo = mid;
    }
    ReformatAfterEdit(d1, lo, first - 1, last, itemCountChange, false);
}

} // namespace epc
