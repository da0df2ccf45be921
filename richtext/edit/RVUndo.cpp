#include "richtext/edit/RVUndo.h"

#include <algorithm>

#include "richtext/document/RVUni.h"
#include "richtext/edit/RVUndoRecords.h"
#include "richtext/view/RVFormattedData.h"

namespace epc {

std::unique_ptr<TRVUndoInfo> TRVUndoInfos::Extract(int i) {
    auto record = std::move(FRecords.at(size_t(i)));
    FRecords.erase(FRecords.begin() + i);
    return record;
}

void TRVUndoInfos::Undo(TCustomRVData* rvData, TRVUndoList* reverse, bool reformat) {
    int first = -1, last = -1;
    bool full = false, anyLayout = false;
    const int countBefore = rvData->ItemCount();
    auto* reformatter = reformat ? dynamic_cast<TRVUndoReformatter*>(rvData) : nullptr;
    for (int i = Count() - 1; i >= 0; --i) {
        TRVUndoInfo* record = Items(i);
        if (record->RequiresFullReformat(rvData)) full = true;
        if (!record->ChangesOnlyFlags() || record->RequiresFormat()) anyLayout = true;
        int a = -1, b = -1;
        record->GetAffectedItemRange(a, b);
        // Asked before the replay: a record hands what it holds back to the document.
        const int added = record->ItemsAdded();
        if (reformatter && a >= 0) reformatter->BeforeUndoRecord(a, b);
        record->Undo(rvData, reverse);
        if (a >= 0) {
            // Ranges met earlier lie after the records that now shift them.
            if (first >= 0 && first >= a) first += added;
            if (last >= 0 && last >= a) last += added;
            first = first < 0 ? a : std::min(first, a);
            last = std::max(last, b + std::max(added, 0));
            if (first > last) last = first;
        }
    }
    if (!reformat || !(anyLayout || full)) return;
    if (reformatter) {
        reformatter->ReformatAfterUndo(first, last, rvData->ItemCount() - countBefore, full);
        return;
    }
    if (auto* formatted = dynamic_cast<TCustomRVFormattedData*>(rvData))
        if (formatted->GetCanvas()) formatted->Format(false);
}

bool TRVUndoList::BeginUndoGroup(uint8_t action, const std::string& caption, int caretItemNo,
                                 int caretOffs) {
    if (Limit == 0) return false;
    if (GroupModeLevel >= 1 && !FGroups.empty() && !FGroups.back()->IsSingleTyping()) return true;
    std::string groupCaption = caption;
    // An empty last group goes first, so that the limit never drops a real step for it.
    if (!FGroups.empty() && FGroups.back()->Count() == 0) {
        caretItemNo = FGroups.back()->CaretItemNo;
        caretOffs = FGroups.back()->CaretOffs;
        groupCaption = FGroups.back()->Caption;
        FGroups.pop_back();
    }
    auto group = std::make_unique<TRVUndoInfos>();
    group->Action = action;
    group->Caption = groupCaption;
    group->CaretItemNo = caretItemNo;
    group->CaretOffs = caretOffs;
    FGroups.push_back(std::move(group));
    ApplyLimit();
    return true;
}

void TRVUndoList::ApplyLimit() {
    if (Limit < 0) return;
    while (int(FGroups.size()) > Limit)
        FGroups.erase(FGroups.begin());
}

void TRVUndoList::AddInfo(std::unique_ptr<TRVUndoInfo> record) {
    if (FGroups.empty()) throw ERichViewError(errRVUndoEmpty);
    if (FGroups.back()->IsSingleTyping()) throw ERichViewError(errRVUndoAdd);
    record->List = this;
    FGroups.back()->Add(std::move(record));
}

void TRVUndoList::AddGroup(std::unique_ptr<TRVUndoInfos> group) {
    for (int i = 0; i < group->Count(); ++i)
        group->Items(i)->List = this;
    FGroups.push_back(std::move(group));
    ApplyLimit();
}

std::unique_ptr<TRVUndoInfos> TRVUndoList::ExtractGroup(int i) {
    auto group = std::move(FGroups.at(size_t(i)));
    FGroups.erase(FGroups.begin() + i);
    return group;
}

void TRVUndoList::RemoveEmptyLastGroup() {
    if (GroupModeLevel < 1 && !FGroups.empty() && FGroups.back()->Count() == 0) FGroups.pop_back();
}

namespace {

// A typing group of its own for Record, which starts at (ItemNo, Offset).
template <class R>
std::unique_ptr<TRVUndoInfos> TypingGroup(std::unique_ptr<R> record, TRVUndoList* list, int itemNo,
                                          int offset, bool unicode) {
    auto group = std::make_unique<TRVUndoInfos>();
    group->Action = rvutTypingRun;
    group->CaretItemNo = itemNo;
    group->CaretOffs = offset;
    record->List = list;
    record->ItemNo = itemNo;
    record->Offs = offset;
    record->Unicode = unicode;
    group->Add(std::move(record));
    return group;
}

} // namespace

void TRVUndoList::AddTyping(int itemNo, int offset, bool unicode) {
    if (Limit == 0) return;
    if (!FGroups.empty() && FGroups.back()->Count() == 0) FGroups.pop_back();
    if (TRVUndoInfos* last = LastGroup(); last && last->Count() > 0)
        if (auto* typing = dynamic_cast<TRVUndoTypingInfo*>(last->Items(0));
            typing && typing->ItemNo == itemNo && typing->Offs + typing->Length == offset) {
            ++typing->Length;
            ++last->Counter;
            return;
        }
    auto record = std::make_unique<TRVUndoTypingInfo>();
    record->Length = 1;
    auto group = TypingGroup(std::move(record), this, itemNo, offset, unicode);
    group->Counter = 1;
    FGroups.push_back(std::move(group));
    ApplyLimit();
}

void TRVUndoList::AddUntyping(const std::string& text, int itemNo, int offset, bool unicode) {
    if (Limit == 0 || text.empty()) return;
    if (!FGroups.empty() && FGroups.back()->Count() == 0) FGroups.pop_back();
    if (TRVUndoInfos* last = LastGroup(); last && last->Count() > 0)
        if (auto* untyping = dynamic_cast<TRVRedoTypingInfo*>(last->Items(0));
            untyping && untyping->ItemNo == itemNo && untyping->Unicode == unicode &&
            untyping->Offs - GetTextCharLength(untyping->Text, unicode ? rvioUnicode : 0) ==
                offset) {
            // The new characters stood before the ones already removed.
            untyping->Text = text + untyping->Text;
            --last->Counter;
            return;
        }
    auto record = std::make_unique<TRVRedoTypingInfo>();
    record->Text = text;
    FGroups.push_back(TypingGroup(std::move(record), this, itemNo, offset, unicode));
    ApplyLimit();
}

void TRVUndoList::Undo(TCustomRVData* rvData, TRVUndoList* reverse) {
    if (FGroups.empty()) throw ERichViewError(errRVUndoEmptyBuffer);
    Undo(rvData, reverse, FGroups.back()->CaretItemNo, FGroups.back()->CaretOffs);
}

void TRVUndoList::Undo(TCustomRVData* rvData, TRVUndoList* reverse, int caretItemNo,
                       int caretOffs) {
    if (FGroups.empty()) throw ERichViewError(errRVUndoEmptyBuffer);
    if (reverse)
        reverse->BeginUndoGroup(FGroups.back()->Action, FGroups.back()->Caption, caretItemNo,
                                caretOffs);
    UndoIntoOpenGroup(rvData, reverse);
}

void TRVUndoList::UndoIntoOpenGroup(TCustomRVData* rvData, TRVUndoList* reverse) {
    if (FGroups.empty()) throw ERichViewError(errRVUndoEmptyBuffer);
    // The group leaves the list before it runs: a replayed step can never be replayed again.
    std::unique_ptr<TRVUndoInfos> group = std::move(FGroups.back());
    FGroups.pop_back();
    group->Undo(rvData, reverse, GroupModeLevel < 1);
    if (reverse) reverse->RemoveEmptyLastGroup();
    // Only a typing group with typed characters left stays for the next step.
    if (group->IsSingleTyping() && group->Items(0)->TypedLeft() > 0) {
        --group->Counter;
        FGroups.push_back(std::move(group));
    }
}

// ---------------------------------------------------------------------------------------------

void TRVUndoItemNoInfo::GetAffectedItemRange(int& first, int& last) const {
    first = ItemNo;
    last = LastAffectedItemNo >= 0 ? LastAffectedItemNo : ItemNo;
}

bool TRVUndoItemNoInfo::RequiresFullReformat(TCustomRVData* rvData) const {
    auto* formatted = dynamic_cast<TCustomRVFormattedData*>(rvData);
    // Items beyond the formatted part cannot be laid out on their own.
    return formatted && ItemNo > formatted->LastFormattedItemNo;
}

TRVUndoModifyItemTerminator::TRVUndoModifyItemTerminator(int itemNo, bool opening)
    : Opening(opening) {
    Action = rvuModifyItem;
    ItemNo = itemNo;
    AffectsWidth = true;
    AffectsHeight = true;
}

void TRVUndoModifyItemTerminator::Undo(TCustomRVData* /*rvData*/, TRVUndoList* reverse) {
    Opening = !Opening;
    if (reverse && reverse->LastGroup())
        reverse->AddInfo(std::make_unique<TRVUndoModifyItemTerminator>(ItemNo, Opening));
}

TRVCompositeUndo::TRVCompositeUndo(int itemNo, TCustomRVData* innerData)
    : ItemNo(itemNo), UndoList(innerData) {}

void TRVCompositeUndo::Undo(TCustomRVData* /*rvData*/, TRVUndoList* /*reverse*/) {
    if (UndoList.Count() > 0) UndoList.Undo(UndoList.RVData, nullptr);
}

} // namespace epc
