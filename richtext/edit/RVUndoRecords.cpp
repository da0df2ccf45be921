// Replay of the editing document's undo records: each calls the undoable operation that puts
// its stored state back, and that operation records the reverse into the list being filled.

#include "richtext/edit/RVUndoRecords.h"

#include <vector>

#include "richtext/document/RVUni.h"
#include "richtext/edit/RVERVData.h"

namespace epc {

TRVEditRVData& UndoEditData(TCustomRVData* rvData) {
    auto* data = dynamic_cast<TRVEditRVData*>(rvData);
    if (!data) throw ERichViewError(errRVUndoEmptyBuffer);
    return *data;
}

TRVUndoReformateRange::TRVUndoReformateRange(int first, int last, bool flag) : Flag(flag) {
    Action = rvuReformat;
    ItemNo = first;
    LastAffectedItemNo = last;
}

void TRVUndoReformateRange::Undo(TCustomRVData* rvData, TRVUndoList*) {
    UndoEditData(rvData).AddReformatRange(ItemNo, LastAffectedItemNo, Flag);
}

void TRVUndoResizeInfo::Undo(TCustomRVData* rvData, TRVUndoList*) {
    UndoEditData(rvData).ResizeControlUndoable(ItemNo, OldWidth, OldHeight, false);
}

void TRVUndoChangeTextInfo::Undo(TCustomRVData* rvData, TRVUndoList*) {
    UndoEditData(rvData).ChangeTextUndoable(ItemNo, Text);
}

void TRVUndoItemRangeInfo::GetAffectedItemRange(int& first, int& last) const {
    first = StartItemNo;
    last = LastAffectedItemNo >= 0 ? LastAffectedItemNo
                                   : StartItemNo + std::max(int(List.size()), 1) - 1;
}

void TRVUndoParaListInfo::Undo(TCustomRVData* rvData, TRVUndoList*) {
    bool full = false;
    UndoEditData(rvData).SetParaStylesFromListUndoable(StartItemNo, List, full);
}

void TRVUndoParaListInfo::GetAffectedItemRange(int& first, int& last) const {
    first = StartItemNo;
    last = StartItemNo + std::max(int(List.size()), 1) - 1;
}

void TRVUndoParaInfo::Undo(TCustomRVData* rvData, TRVUndoList*) {
    // Every item goes back, protected styles or not: undo gives back what was.
    bool full = false;
    UndoEditData(rvData).SetParaStylesFromListUndoable(
        ItemNo, std::vector<int32_t>(size_t(std::max(Count, 0)), ParaNo), full);
}

void TRVUndoParaInfo::GetAffectedItemRange(int& first, int& last) const {
    first = ItemNo;
    last = ItemNo + std::max(Count, 1) - 1;
}

void TRVUndoStyleNoInfo::Undo(TCustomRVData* rvData, TRVUndoList*) {
    UndoEditData(rvData).SetStyleNoUndoable(ItemNo, OldStyleNo);
}

void TRVUndoDeleteItemInfo::Undo(TCustomRVData* rvData, TRVUndoList*) {
    bool full = false;
    // The item goes back to the document: this record no longer owns it.
    UndoEditData(rvData).InsertItemUndoable(ItemNo, Text, std::move(Item), true, full);
}

void TRVUndoLineOptionsInfo::Undo(TCustomRVData* rvData, TRVUndoList*) {
    UndoEditData(rvData).RestoreLineOptionsUndoable(ItemNo, OldOptions, Action);
}

void TRVUndoExtraIntProperty::Undo(TCustomRVData* rvData, TRVUndoList*) {
    UndoEditData(rvData).SetExtraIntPropertyUndoable(ItemNo, Prop, OldValue);
}

void TRVUndoDeleteItemsInfo::Undo(TCustomRVData* rvData, TRVUndoList*) {
    bool full = false;
    UndoEditData(rvData).InsertItemsUndoable(StartItemNo, std::move(List), true, full);
    List.clear();
}

void TRVUndoDeleteSubstringInfo::Undo(TCustomRVData* rvData, TRVUndoList*) {
    UndoEditData(rvData).InsertSubstringUndoable(ItemNo, Offs, Text);
}

void TRVUndoInsertSubstringInfo::Undo(TCustomRVData* rvData, TRVUndoList*) {
    UndoEditData(rvData).DeleteSubstringUndoable(ItemNo, Offs, Length);
}

void TRVRedoTypingInfo::Undo(TCustomRVData* rvData, TRVUndoList*) {
    const int length = GetTextCharLength(Text, Unicode ? rvioUnicode : 0);
    UndoEditData(rvData).InsertSubstringUndoable(ItemNo, Offs - length, Text);
    Text.clear();
}

void TRVUndoTypingInfo::Undo(TCustomRVData* rvData, TRVUndoList*) {
    UndoEditData(rvData).DeleteSubstringUndoable(ItemNo, Offs, Length);
    Length = 0;
}

void TRVUndoInsertItemsInfo::Undo(TCustomRVData* rvData, TRVUndoList*) {
    bool full = false;
    UndoEditData(rvData).DeleteItemsUndoable(ItemNo, ItemNo + Count - 1, full);
}

void TRVUndoInsertItemsInfo::GetAffectedItemRange(int& first, int& last) const {
    first = ItemNo;
    last = ItemNo + std::max(Count, 1) - 1;
}

void TRVUndoInsertItemInfo::Undo(TCustomRVData* rvData, TRVUndoList*) {
    bool full = false;
    UndoEditData(rvData).DeleteItemUndoable(ItemNo, full);
}

void TRVUndoTagInfo::Undo(TCustomRVData* rvData, TRVUndoList*) {
    UndoEditData(rvData).SetTagUndoable(ItemNo, OldTag, true);
}

void TRVUndoAddCPInfo::Undo(TCustomRVData* rvData, TRVUndoList*) {
    UndoEditData(rvData).DeleteCheckpointUndoable(ItemNo);
}

void TRVUndoAddCPInfo::GetAffectedItemRange(int& first, int& last) const {
    first = last = ItemNo >= 0 ? ItemNo : -1;
}

void TRVUndoDeleteCPInfo::Undo(TCustomRVData* rvData, TRVUndoList*) {
    UndoEditData(rvData).AddCheckpointUndoable(ItemNo, std::move(Checkpoint));
}

void TRVUndoDeleteCPInfo::GetAffectedItemRange(int& first, int& last) const {
    first = last = ItemNo >= 0 ? ItemNo : -1;
}

TRVIntPropertyHolder* TRVUndoModifyItemIntProperty::GetTarget(TRVEditRVData& data) {
    return Target ? Target : dynamic_cast<TRVIntPropertyHolder*>(data.GetItem(ItemNo));
}

std::unique_ptr<TRVUndoModifyItemIntProperty> TRVUndoModifyItemIntProperty::CreateReverse() const {
    return std::make_unique<TRVUndoModifyItemIntProperty>();
}

void TRVUndoModifyItemIntProperty::Undo(TCustomRVData* rvData, TRVUndoList*) {
    TRVEditRVData& data = UndoEditData(rvData);
    TRVIntPropertyHolder* target = GetTarget(data);
    if (!target) return;
    data.SetItemIntPropertyUndoable(CreateReverse(), ItemNo, target, PropertyName, OldValue,
                                    AffectsWidth, AffectsHeight);
}

TRVIntPropertyHolder* TRVUndoModifyItemIntProperties::GetTarget(TRVEditRVData& data) {
    return Target ? Target : dynamic_cast<TRVIntPropertyHolder*>(data.GetItem(ItemNo));
}

std::unique_ptr<TRVUndoModifyItemIntProperties>
TRVUndoModifyItemIntProperties::CreateReverse() const {
    return std::make_unique<TRVUndoModifyItemIntProperties>();
}

void TRVUndoModifyItemIntProperties::Undo(TCustomRVData* rvData, TRVUndoList*) {
    TRVEditRVData& data = UndoEditData(rvData);
    TRVIntPropertyHolder* target = GetTarget(data);
    if (!target) return;
    std::vector<std::pair<std::string, int>> values(OldValues.begin(), OldValues.end());
    data.SetItemIntPropertiesUndoable(CreateReverse(), ItemNo, target, AffectsWidth, AffectsHeight,
                                      values);
}

} // namespace epc
