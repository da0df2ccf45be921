// TEMPORARY: plain (non-recording) stand-ins until the undoable primitives are merged.

#include "richtext/edit/RVERVData.h"

#include "richtext/document/RVUni.h"
#include "richtext/edit/RVEdit.h"

namespace epc {

void TRVEditRVData::BeginUndoAction(uint8_t, bool) {}
void TRVEditRVData::ChangeUndoGroupLevel(bool raise) {
    UndoList->GroupModeLevel += raise ? 1 : -1;
}
void TRVEditRVData::MarkChanged() {
    Editor()->NotifyChange(true);
}
void TRVEditRVData::ResizeControlUndoable(int itemNo, int width, int height, bool moveCaret) {
    auto* item = static_cast<TRVControlItemInfo*>(GetItem(itemNo));
    if (auto* c = dynamic_cast<TControl*>(item->Control.get()))
        c->SetBounds(c->Left(), c->Top(), width, height);
    item->Width = width;
    item->Height = height;
    if (moveCaret) MoveCaretToItem(true, itemNo, 1);
}
void TRVEditRVData::SetExtraIntPropertyUndoable(int itemNo, int prop, int value) {
    GetItem(itemNo)->SetExtraIntProperty(prop, value);
}
void TRVEditRVData::InsertItemUndoable(int index, const std::string& text,
                                       std::unique_ptr<TCustomRVItemInfo> item, bool,
                                       bool& fullReformat) {
    const bool startsPara = item->StartsParagraph();
    const int para = item->ParaNo;
    TCustomRVData::InsertItemObjectAt(index, text, std::move(item));
    if (startsPara && index + 1 < ItemCount() && !GetItem(index + 1)->StartsParagraph()) {
        for (int i = index + 1; i < ItemCount() && !GetItem(i)->StartsParagraph(); ++i)
            GetItem(i)->ParaNo = para;
    }
    fullReformat = true;
}
void TRVEditRVData::DeleteItemUndoable(int itemNo, bool& fullReformat) {
    DeleteItemRange(itemNo, 1);
    fullReformat = true;
}
void TRVEditRVData::DeleteSubstringUndoable(int itemNo, int offs, int count) {
    std::string t = GetItemText(itemNo);
    if (count < 0) count = GetItemCharCount(itemNo) - offs + 1;
    DeleteTextChars(t, GetItem(itemNo)->ItemOptions, offs, count);
    SetItemText(itemNo, t);
}
void TRVEditRVData::SetJoinsPreviousUndoable(int itemNo, bool join, int paraNo, bool&) {
    TCustomRVItemInfo* item = GetItem(itemNo);
    if (item->IsFullLine()) return;
    int last = itemNo;
    while (last + 1 < ItemCount() && !GetItem(last + 1)->StartsParagraph())
        ++last;
    if (!join && paraNo >= 0)
        for (int i = itemNo; i <= last; ++i)
            GetItem(i)->ParaNo = paraNo;
    if (join && itemNo > 0)
        for (int i = itemNo; i <= last; ++i)
            GetItem(i)->ParaNo = GetItem(itemNo - 1)->ParaNo;
    item->SetJoinsPrevious(join);
}
void TRVEditRVData::SetLineBreakUndoable(int itemNo, bool value, bool&) {
    GetItem(itemNo)->SetLineBreakBefore(value);
}
void TRVEditRVData::SetParaStyleRangeUndoable(int first, int last, int paraNo, bool&) {
    for (int i = first; i <= last; ++i)
        GetItem(i)->ParaNo = paraNo;
}
void TRVEditRVData::SetParaStylesFromListUndoable(int first, const std::vector<int32_t>& paraNos,
                                                  bool&) {
    for (size_t i = 0; i < paraNos.size(); ++i)
        GetItem(first + int(i))->ParaNo = paraNos[i];
}
void TRVEditRVData::AddInsertItemsUndo(int, int) {}
void TRVEditRVData::MergeTextItemsUndoable(int itemNo, bool&) {
    std::string t = GetItemText(itemNo) + GetItemText(itemNo + 1);
    SetItemText(itemNo, t);
    DeleteItemRange(itemNo + 1, 1);
}
void TRVEditRVData::SetTagUndoable(int itemNo, const TRVTag& tag, bool) {
    GetItem(itemNo)->Tag = tag;
}
void TRVEditRVData::ChangeTextUndoable(int itemNo, const std::string& text) {
    SetItemText(itemNo, text);
}
void TRVEditRVData::SetStyleNoUndoable(int itemNo, int styleNo) {
    TCustomRVItemInfo* item = GetItem(itemNo);
    item->StyleNo = styleNo;
    if (GetRVStyle()->TextStyles.GetItem(styleNo).Unicode)
        item->ItemOptions |= rvioUnicode;
    else
        item->ItemOptions &= uint8_t(~rvioUnicode);
}
void TRVEditRVData::DeleteCheckpointUndoable(int itemNo) {
    RemoveCheckpoint(itemNo);
}
void TRVEditRVData::AddCheckpointUndoable(int itemNo, std::unique_ptr<TRVCPInfo> cp) {
    SetCheckpointInfo(itemNo, cp->Name, cp->Tag, cp->RaiseEvent);
}
void TRVEditRVData::MoveCaretToItem(bool full, int itemNo, int offs) {
    if (full) {
        FormatAll(true, true, false, false, GetCanvas(), 0, false);
        Invalidate();
    } else {
        int f = GetFirstDrawItemNo(itemNo), l = f;
        FormatParasOfDrawRange(f, l, 0);
    }
    PlaceCaretAt(itemNo, offs);
}
void TRVEditRVData::DropLastUndoGroup() {}
bool TCustomRichViewEdit::DeleteSelectionForInsert() {
    return true;
}

} // namespace epc
