// The undoable edit primitives of the editing document: every change of an editor's items goes
// through them, and each one records its reverse before it changes anything.

#include <algorithm>
#include <type_traits>

#include "platform/controls/Controls.h"
#include "platform/core/Exceptions.h"
#include "platform/core/ScopeGuard.h"
#include "richtext/document/RVUni.h"
#include "richtext/edit/RVERVData.h"
#include "richtext/edit/RVEdit.h"
#include "richtext/edit/RVUndoRecords.h"

namespace epc {

namespace {

constexpr const char* errRVUndoError = "Undo error";
constexpr const char* errRVCheckpoint = "Checkpoint error";
constexpr uint8_t kLineBits = rvioSameAsPrev | rvioBR | rvioPageBreakBefore;

// Whether the paragraphs of First..Last may decide the document's minimum width: before a
// change when they reach it (they may have been the widest), after one when they pass it.
bool WidthMatters(TRVEditRVData& data, int first, int last, bool after) {
    if (data.MinWidth < 0 || !data.GetCanvas() || data.DrawItems.Count() == 0 ||
        data.ItemCount() == 0 || first > last)
        return false;
    const int width = data.CalcParasMinWidth(first, last, nullptr, nullptr);
    return after ? width > data.MinWidth : width >= data.MinWidth;
}

// The last item of the paragraph part that continues after ItemNo (ItemNo when none does).
int ParaPartEnd(const TCustomRVData& data, int itemNo) {
    while (itemNo + 1 < data.ItemCount() && !data.GetItem(itemNo + 1)->StartsParagraph())
        ++itemNo;
    return itemNo;
}

bool ParaHasOption(const TCustomRVData& data, int paraNo, TRVParaOption option) {
    TRVStyle* style = data.GetRVStyle();
    return style && style->HasParaStyle(paraNo) &&
           style->ParaStyles.GetItem(paraNo).Options.Contains(option);
}

void TextChanged(TRVEditRVData& data, int itemNo) {
    TRVItemEntry& entry = data.Items()[itemNo];
    data.DoItemAction(rviaTextModifying, entry.Item.get(), entry.Text, &data);
}

// Puts Record (a new R when null) into the active undo list when there is one, with its kind,
// its item (StartItemNo for range records) and what Fill sets; returns it, or null when nothing
// is recorded. The record joins the list before the change it reverses is made.
template <class R, class Fill>
R* AddUndoRecord(TRVEditRVData& data, std::unique_ptr<R> record, uint8_t action, int itemNo,
                 Fill fill) {
    TRVUndoList* list = data.GetActiveUndoList();
    if (!list) return nullptr;
    if (!record) record = std::make_unique<R>();
    record->Action = action;
    if constexpr (std::is_base_of_v<TRVUndoItemNoInfo, R>)
        record->ItemNo = itemNo;
    else
        record->StartItemNo = itemNo;
    fill(*record);
    R* raw = record.get();
    list->AddInfo(std::move(record));
    return raw;
}

template <class R, class Fill>
R* AddUndoRecord(TRVEditRVData& data, uint8_t action, int itemNo, Fill fill) {
    return AddUndoRecord(data, std::unique_ptr<R>(), action, itemNo, fill);
}

template <class R> R* AddUndoRecord(TRVEditRVData& data, uint8_t action, int itemNo) {
    return AddUndoRecord<R>(data, action, itemNo, [](R&) {});
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Where changes are recorded.

TRVUndoList* TRVEditRVData::GetActiveUndoList() const {
    switch (UndoDest) {
    case rvudUndo:
        return UndoList->Limit == 0 ? nullptr : UndoList.get();
    case rvudRedo:
        return RedoList.get();
    default:
        return nullptr;
    }
}

void TRVEditRVData::BeginUndoAction(uint8_t kind, bool finalize) {
    BeginUndoCustomAction(kind, std::string(), finalize);
}

void TRVEditRVData::BeginUndoCustomAction(uint8_t kind, const std::string& caption, bool finalize) {
    // The steps of an open cell editor go first, so that they are undone after this one.
    if (finalize && Editor()) Editor()->FinalizeInplaceUndo();
    int itemNo = -1, offs = -1;
    if (CaretDrawItemNo >= 0 && CaretDrawItemNo < DrawItems.Count()) {
        itemNo = CaretItemIndex();
        offs = CaretItemOffset();
    }
    UndoDest = UndoList->BeginUndoGroup(kind, caption, itemNo, offs) ? rvudUndo : rvudNone;
}

void TRVEditRVData::GetUndoGroupCaret(int& itemNo, int& offs) {
    itemNo = -1;
    offs = -1;
    if (CaretDrawItemNo >= 0 && CaretDrawItemNo < DrawItems.Count()) {
        itemNo = CaretItemIndex();
        offs = CaretItemOffset();
    }
}

void TRVEditRVData::BeginRedoAction(uint8_t kind, const std::string& caption) {
    int itemNo, offs;
    GetUndoGroupCaret(itemNo, offs);
    UndoDest = RedoList->BeginUndoGroup(kind, caption, itemNo, offs) ? rvudRedo : rvudNone;
}

void TRVEditRVData::ChangeUndoGroupLevel(bool raise) {
    if (raise)
        ++UndoList->GroupModeLevel;
    else if (UndoList->GroupModeLevel > 0)
        --UndoList->GroupModeLevel;
}

void TRVEditRVData::MarkChanged() {
    Editor()->Modified = true;
    Editor()->NotifyChange(true);
}

// ---------------------------------------------------------------------------------------------
// Items.

void TRVEditRVData::DeleteItemUndoable(int itemNo, bool& fullReformat) {
    DeleteItemsUndoable(itemNo, itemNo, fullReformat);
}

void TRVEditRVData::DeleteItemsUndoable(int first, int last, bool& fullReformat) {
    if (first > last) return;
    CheckItemIndex(first);
    CheckItemIndex(last);
    for (int i = first; i <= last; ++i)
        if (GetItem(i)->Checkpoint) DeleteCheckpointUndoable(i);
    if (WidthMatters(*this, first, last, false)) fullReformat = true;
    // The item that becomes the first of the document starts its paragraph; recorded so that
    // undo gives it back its old line options.
    if (first == 0 && last + 1 < ItemCount()) {
        const uint8_t options = GetItem(last + 1)->ItemOptions;
        if (options & (rvioSameAsPrev | rvioBR))
            RestoreLineOptionsUndoable(last + 1, uint8_t(options & ~(rvioSameAsPrev | rvioBR)),
                                       rvuNewLine);
    }
    auto takeOut = [this](int i) {
        TRVItemEntry& entry = Items()[i];
        TCustomRVItemInfo* item = entry.Item.get();
        item->MoveToUndo(this);
        if (item->StyleNo == rvsListMarker)
            RemoveMarkerFromList(static_cast<TRVMarkerItemInfo*>(item));
        return TRVItemEntry{entry.Text, std::move(entry.Item)};
    };
    if (GetActiveUndoList()) {
        // The record joins the list before it takes the items: a refused record frees nothing
        // that the document still lists.
        if (first == last) {
            auto* raw = AddUndoRecord<TRVUndoDeleteItemInfo>(*this, rvuDeleteItem, first);
            TRVItemEntry entry = takeOut(first);
            raw->Text = std::move(entry.Text);
            raw->Item = std::move(entry.Item);
        } else {
            auto* raw = AddUndoRecord<TRVUndoDeleteItemsInfo>(*this, rvuDeleteItems, first);
            for (int i = first; i <= last; ++i)
                raw->List.push_back(takeOut(i));
        }
    } else {
        for (int i = first; i <= last; ++i)
            ReleaseItemAt(i);
    }
    DeleteItemRange(first, last - first + 1);
}

void TRVEditRVData::InsertItemUndoable(int index, const std::string& text,
                                       std::unique_ptr<TCustomRVItemInfo> item, bool reattach,
                                       bool& fullReformat) {
    std::vector<TRVItemEntry> items;
    items.push_back(TRVItemEntry{text, std::move(item)});
    index = std::clamp(index, 0, ItemCount());
    // A paragraph-starting item put before the rest of a paragraph takes that rest over.
    TCustomRVItemInfo* raw = items[0].Item.get();
    if (index == 0) raw->ItemOptions = uint8_t(raw->ItemOptions & ~(rvioSameAsPrev | rvioBR));
    // An item coming back from an undo record finds its neighbours as they were: they keep the
    // styles they have (they may never have matched).
    int partEnd = -1;
    if (!reattach && raw->StartsParagraph() && index < ItemCount() &&
        !GetItem(index)->StartsParagraph())
        partEnd = ParaPartEnd(*this, index) + 1;
    std::unique_ptr<TRVCPInfo> checkpoint = std::move(raw->Checkpoint);
    AddUndoRecord<TRVUndoInsertItemInfo>(*this, rvuInsertItem, index,
                                         [&](auto& r) { r.LastAffectedItemNo = partEnd; });
    InsertItemObjectAt(index, std::move(items[0].Text), std::move(items[0].Item));
    if (reattach) raw->AttachToDocument(this);
    if (partEnd >= 0) SetParaStyleRangeUndoable(index + 1, partEnd, raw->ParaNo, fullReformat);
    if (checkpoint) {
        checkpoint->ItemInfo = nullptr;
        AddCheckpointUndoable(index, std::move(checkpoint));
    }
    if (WidthMatters(*this, index, index, true)) fullReformat = true;
}

void TRVEditRVData::InsertItemsUndoable(int index, std::vector<TRVItemEntry> items, bool reattach,
                                        bool& fullReformat) {
    if (items.empty()) return;
    index = std::clamp(index, 0, ItemCount());
    const int count = int(items.size());
    AddInsertItemsUndo(index, count);
    TCustomRVItemInfo* first = items[0].Item.get();
    if (index == 0) first->ItemOptions = uint8_t(first->ItemOptions & ~(rvioSameAsPrev | rvioBR));
    std::vector<std::unique_ptr<TRVCPInfo>> checkpoints(items.size());
    for (int i = 0; i < count; ++i) {
        TCustomRVItemInfo* raw = items[size_t(i)].Item.get();
        checkpoints[size_t(i)] = std::move(raw->Checkpoint);
        InsertItemObjectAt(index + i, std::move(items[size_t(i)].Text),
                           std::move(items[size_t(i)].Item));
        if (reattach) raw->AttachToDocument(this);
    }
    // Items coming back from an undo record find their neighbours as they were.
    if (reattach) {
        for (int i = 0; i < count; ++i)
            if (checkpoints[size_t(i)]) {
                checkpoints[size_t(i)]->ItemInfo = nullptr;
                AddCheckpointUndoable(index + i, std::move(checkpoints[size_t(i)]));
            }
    } else {
        FinishInsertedItems(index, index + count - 1, std::move(checkpoints), fullReformat);
    }
    if (WidthMatters(*this, index, index + count - 1, true)) fullReformat = true;
}

void TRVEditRVData::FinishInsertedItems(int first, int last,
                                        std::vector<std::unique_ptr<TRVCPInfo>> checkpoints,
                                        bool& fullReformat) {
    for (size_t i = 0; i < checkpoints.size() && first + int(i) <= last; ++i)
        if (checkpoints[i]) {
            checkpoints[i]->ItemInfo = nullptr;
            AddCheckpointUndoable(first + int(i), std::move(checkpoints[i]));
        }
    const int after = last + 1;
    if (after < ItemCount() && !GetItem(after)->StartsParagraph() &&
        GetItemParaNo(after) != GetItemParaNo(last))
        SetParaStyleRangeUndoable(after, ParaPartEnd(*this, after), GetItemParaNo(last),
                                  fullReformat);
}

void TRVEditRVData::AddInsertItemsUndo(int index, int count) {
    AddUndoRecord<TRVUndoInsertItemsInfo>(*this, rvuInsertItems, index,
                                          [&](auto& r) { r.Count = count; });
}

// ---------------------------------------------------------------------------------------------
// Text.

void TRVEditRVData::DeleteSubstringUndoable(int itemNo, int offs, int count) {
    if (count == 0) return;
    CheckItemIndex(itemNo);
    TRVItemEntry& entry = Items()[itemNo];
    if (entry.Item->StyleNo < 0) return;
    const uint8_t options = entry.Item->ItemOptions;
    const int length = GetTextCharLength(entry.Text, options);
    offs = std::max(offs, 1);
    if (count < 0) count = length - offs + 1;
    count = std::min(count, length - offs + 1);
    if (count <= 0) return;
    AddUndoRecord<TRVUndoDeleteSubstringInfo>(*this, rvuDeleteSubstring, itemNo, [&](auto& r) {
        r.Offs = offs;
        r.Text = CopyItemTextChars(entry.Text, options, offs, count);
    });
    DeleteTextChars(entry.Text, options, offs, count);
    TextChanged(*this, itemNo);
}

void TRVEditRVData::InsertSubstringUndoable(int itemNo, int offs, const std::string& text) {
    if (text.empty()) return;
    if (itemNo < 0 || itemNo >= ItemCount() || GetItemStyleNo(itemNo) < 0)
        throw Exception(errRVUndoError);
    TRVItemEntry& entry = Items()[itemNo];
    const uint8_t options = entry.Item->ItemOptions;
    offs = std::clamp(offs, 1, GetTextCharLength(entry.Text, options) + 1);
    AddUndoRecord<TRVUndoInsertSubstringInfo>(*this, rvuInsertSubstring, itemNo, [&](auto& r) {
        r.Offs = offs;
        r.Length = GetTextCharLength(text, options);
    });
    InsertTextChars(entry.Text, options, offs, text);
    TextChanged(*this, itemNo);
}

void TRVEditRVData::ChangeTextUndoable(int itemNo, const std::string& text) {
    CheckItemIndex(itemNo);
    TRVItemEntry& entry = Items()[itemNo];
    if (entry.Text == text) return;
    AddUndoRecord<TRVUndoChangeTextInfo>(*this, rvuChangeText, itemNo,
                                         [&](auto& r) { r.Text = entry.Text; });
    entry.Text = text;
    TextChanged(*this, itemNo);
}

void TRVEditRVData::MergeTextItemsUndoable(int itemNo, bool& fullReformat) {
    CheckItemIndex(itemNo);
    CheckItemIndex(itemNo + 1);
    TCustomRVItemInfo* first = GetItem(itemNo);
    TCustomRVItemInfo* second = GetItem(itemNo + 1);
    const bool tagsArePChars = TagsArePChars();
    if (first->IsUnicode() != second->IsUnicode() && !GetItemText(itemNo + 1).empty()) {
        // The texts cannot share one encoding: the first item gives way to the second.
        if (first->StartsParagraph())
            SetJoinsPreviousUndoable(itemNo + 1, false, first->ParaNo, fullReformat);
        else if (first->GetLineBreakBefore())
            SetLineBreakUndoable(itemNo + 1, true, fullReformat);
        if (first->GetPageBreakBefore()) SetPageBreakUndoable(itemNo + 1, true);
        if (first->Checkpoint && !second->Checkpoint)
            AddCheckpointUndoable(itemNo + 1,
                                  TRVCPInfo::CreateCopy(*first->Checkpoint, tagsArePChars));
        DeleteItemUndoable(itemNo, fullReformat);
        return;
    }
    int takeStyle = -1;
    if (GetItemText(itemNo).empty()) {
        SetTagUndoable(itemNo, second->Tag, false);
        takeStyle = second->StyleNo;
    }
    InsertSubstringUndoable(itemNo, GetItemCharCount(itemNo) + 1, GetItemText(itemNo + 1));
    if (second->Checkpoint && !first->Checkpoint)
        AddCheckpointUndoable(itemNo, TRVCPInfo::CreateCopy(*second->Checkpoint, tagsArePChars));
    DeleteItemUndoable(itemNo + 1, fullReformat);
    if (takeStyle >= 0) SetStyleNoUndoable(itemNo, takeStyle);
}

// ---------------------------------------------------------------------------------------------
// Paragraph styles and line options.

void TRVEditRVData::SetParaStyleRangeUndoable(int first, int last, int paraNo, bool& fullReformat) {
    if (ItemCount() == 0) return;
    ClampItemIndex(first);
    ClampItemIndex(last);
    if (first > last) return;
    if (WidthMatters(*this, first, last, false)) fullReformat = true;
    std::vector<int32_t> old;
    old.reserve(size_t(last - first + 1));
    for (int i = first; i <= last; ++i)
        old.push_back(GetItem(i)->ParaNo);
    bool changed = false;
    for (int i = first; i <= last; ++i) {
        TCustomRVItemInfo* item = GetItem(i);
        if (item->ParaNo == paraNo) continue;
        if (ParaHasOption(*this, item->ParaNo, TRVParaOption::rvpaoStyleProtect)) {
            // A protected paragraph changes only where it continues one that already changed.
            const bool continues = item->GetJoinsPrevious() || item->GetLineBreakBefore();
            if (i == 0 || !continues || GetItem(i - 1)->ParaNo != paraNo) continue;
        }
        if (!changed) {
            changed = true;
            AddUndoRecord<TRVUndoParaListInfo>(*this, rvuPara, first,
                                               [&](auto& r) { r.List = old; });
        }
        item->ParaNo = paraNo;
    }
    if (changed && WidthMatters(*this, first, last, true)) fullReformat = true;
}

void TRVEditRVData::SetParaStylesFromListUndoable(int first, const std::vector<int32_t>& paraNos,
                                                  bool& fullReformat) {
    if (paraNos.empty()) return;
    CheckItemIndex(first);
    const int last = std::min(first + int(paraNos.size()) - 1, ItemCount() - 1);
    if (WidthMatters(*this, first, last, false)) fullReformat = true;
    // One old style stands for the range when all its items had it; otherwise every old
    // style is kept, or undo could not give them back.
    bool uniform = true;
    for (int i = first + 1; i <= last && uniform; ++i)
        uniform = GetItem(i)->ParaNo == GetItem(first)->ParaNo;
    if (uniform) {
        AddUndoRecord<TRVUndoParaInfo>(*this, rvuPara, first, [&](auto& r) {
            r.Count = last - first + 1;
            r.ParaNo = GetItem(first)->ParaNo;
        });
    } else {
        AddUndoRecord<TRVUndoParaListInfo>(*this, rvuPara, first, [&](auto& r) {
            for (int i = first; i <= last; ++i)
                r.List.push_back(GetItem(i)->ParaNo);
        });
    }
    for (int i = first; i <= last; ++i)
        GetItem(i)->ParaNo = paraNos[size_t(i - first)];
    if (WidthMatters(*this, first, last, true)) fullReformat = true;
}

void TRVEditRVData::RestoreLineOptionsUndoable(int itemNo, uint8_t options, uint8_t recordKind) {
    TCustomRVItemInfo* item = GetItem(itemNo);
    const uint8_t old = item->ItemOptions;
    if ((old & kLineBits) == (options & kLineBits)) return;
    if (TRVUndoList* list = GetActiveUndoList()) {
        std::unique_ptr<TRVUndoLineOptionsInfo> record;
        if (recordKind == rvuBR) {
            auto br = std::make_unique<TRVUndoBRInfo>();
            br->OldBR = (old & rvioBR) != 0;
            record = std::move(br);
        } else if (recordKind == rvuPageBreak) {
            auto pb = std::make_unique<TRVUndoPageBreakInfo>();
            pb->OldPageBreak = (old & rvioPageBreakBefore) != 0;
            record = std::move(pb);
        } else {
            auto nl = std::make_unique<TRVUndoNewLineInfo>();
            nl->OldJoinsPrevious = (old & rvioSameAsPrev) != 0;
            nl->OldParaNo = item->ParaNo;
            record = std::move(nl);
            recordKind = rvuNewLine;
        }
        record->Action = recordKind;
        record->ItemNo = itemNo;
        record->OldOptions = old;
        list->AddInfo(std::move(record));
    }
    item->ItemOptions = uint8_t((old & ~kLineBits) | (options & kLineBits));
}

void TRVEditRVData::SetJoinsPreviousUndoable(int itemNo, bool join, int paraNo,
                                             bool& fullReformat) {
    TCustomRVItemInfo* item = GetItem(itemNo);
    if (item->IsFullLine()) return;
    if (join == item->GetJoinsPrevious()) return;
    if (join && itemNo == 0) return;
    if (join) {
        if (item->GetLineBreakBefore()) SetLineBreakUndoable(itemNo, false, fullReformat);
        if (item->GetPageBreakBefore()) SetPageBreakUndoable(itemNo, false);
    }
    if (WidthMatters(*this, itemNo, itemNo, false)) fullReformat = true;
    const int partEnd = ParaPartEnd(*this, itemNo);
    AddUndoRecord<TRVUndoNewLineInfo>(*this, rvuNewLine, itemNo, [&](auto& r) {
        r.OldOptions = item->ItemOptions;
        r.OldJoinsPrevious = item->GetJoinsPrevious();
        r.OldParaNo = item->ParaNo;
        r.LastAffectedItemNo = partEnd > itemNo ? partEnd : -1;
    });
    if (!join && paraNo >= 0)
        SetParaStyleRangeUndoable(itemNo, partEnd, paraNo, fullReformat);
    else if (join)
        SetParaStyleRangeUndoable(itemNo, partEnd, GetItem(itemNo - 1)->ParaNo, fullReformat);
    item->SetJoinsPrevious(join);
    if (WidthMatters(*this, itemNo, itemNo, true)) fullReformat = true;
}

void TRVEditRVData::SetLineBreakUndoable(int itemNo, bool value, bool& fullReformat) {
    TCustomRVItemInfo* item = GetItem(itemNo);
    if (item->GetLineBreakBefore() == value) return;
    if (value && (item->IsFullLine() || itemNo == 0)) return;
    if (WidthMatters(*this, itemNo, itemNo, false)) fullReformat = true;
    uint8_t options = uint8_t(item->ItemOptions & ~(rvioBR | rvioSameAsPrev));
    if (value) options = uint8_t((options | rvioBR) & ~rvioPageBreakBefore);
    RestoreLineOptionsUndoable(itemNo, options, rvuBR);
    if (WidthMatters(*this, itemNo, itemNo, true)) fullReformat = true;
}

void TRVEditRVData::SetPageBreakUndoable(int itemNo, bool value) {
    CheckItemIndex(itemNo);
    // The text after a list marker keeps its page break on the marker.
    if (itemNo > 0 && GetItemStyleNo(itemNo - 1) == rvsListMarker &&
        !GetItem(itemNo)->StartsParagraph())
        --itemNo;
    TCustomRVItemInfo* item = GetItem(itemNo);
    if (item->GetPageBreakBefore() == value) return;
    if (value && !item->StartsParagraph()) return;
    const uint8_t options = value ? uint8_t(item->ItemOptions | rvioPageBreakBefore)
                                  : uint8_t(item->ItemOptions & ~rvioPageBreakBefore);
    RestoreLineOptionsUndoable(itemNo, options, rvuPageBreak);
}

// ---------------------------------------------------------------------------------------------
// Styles, tags, checkpoints, properties.

void TRVEditRVData::SetStyleNoUndoable(int itemNo, int styleNo) {
    TCustomRVItemInfo* item = GetItem(itemNo);
    if (item->StyleNo < 0 || styleNo < 0 || item->StyleNo == styleNo) return;
    AddUndoRecord<TRVUndoStyleNoInfo>(*this, rvuStyleNo, itemNo,
                                      [&](auto& r) { r.OldStyleNo = item->StyleNo; });
    if (TRVStyle* style = GetRVStyle();
        style && style->HasTextStyle(styleNo) && style->HasTextStyle(item->StyleNo)) {
        const bool wasUnicode = style->TextStyles.GetItem(item->StyleNo).Unicode;
        const bool unicode = style->TextStyles.GetItem(styleNo).Unicode;
        if (unicode && !wasUnicode) item->ItemOptions |= rvioUnicode;
        if (!unicode && wasUnicode) item->ItemOptions = uint8_t(item->ItemOptions & ~rvioUnicode);
    }
    item->StyleNo = styleNo;
}

void TRVEditRVData::SetTagUndoable(int itemNo, const TRVTag& tag, bool takeOver) {
    TCustomRVItemInfo* item = GetItem(itemNo);
    if (item->Tag == tag) return;
    AddUndoRecord<TRVUndoTagInfo>(*this, rvuTag, itemNo, [&](auto& r) {
        r.OldTag = CopyTagValue(item->Tag, TagsArePChars());
        r.TagsArePChars = TagsArePChars();
    });
    item->Tag = takeOver ? tag : CopyTagValue(tag, TagsArePChars());
}

void TRVEditRVData::AddCheckpointUndoable(int itemNo, std::unique_ptr<TRVCPInfo> checkpoint) {
    TCustomRVItemInfo* item = itemNo < 0 ? nullptr : GetItem(itemNo);
    if (item ? item->Checkpoint != nullptr : NotAddedCP != nullptr)
        throw ERichViewError(errRVCheckpoint);
    if (!checkpoint) return;
    AddUndoRecord<TRVUndoAddCPInfo>(*this, rvuCheckpoint, itemNo);
    checkpoint->Prev = checkpoint->Next = nullptr;
    if (!item) {
        checkpoint->ItemInfo = nullptr;
        TakeDocumentEndCheckpoint(std::move(checkpoint));
        return;
    }
    checkpoint->ItemInfo = item;
    TRVCPInfo* raw = checkpoint.get();
    item->Checkpoint = std::move(checkpoint);
    ++CPCount;
    LinkCheckpointInOrder(raw);
}

void TRVEditRVData::DeleteCheckpointUndoable(int itemNo) {
    TCustomRVItemInfo* item = itemNo < 0 ? nullptr : GetItem(itemNo);
    TRVCPInfo* checkpoint = item ? item->Checkpoint.get() : NotAddedCP;
    if (!checkpoint) throw ERichViewError(errRVCheckpoint);
    auto* raw = AddUndoRecord<TRVUndoDeleteCPInfo>(
        *this, rvuCheckpoint, itemNo, [&](auto& r) { r.TagsArePChars = TagsArePChars(); });
    if (!raw) {
        DisposeCheckpoint(checkpoint, item != nullptr, true);
        return;
    }
    if (item) {
        DetachCheckpoint(checkpoint, true);
        raw->Checkpoint = std::move(item->Checkpoint);
    } else {
        // The document keeps its end checkpoint to itself: the record keeps an equal one.
        raw->Checkpoint = TRVCPInfo::CreateCopy(*checkpoint, TagsArePChars());
        DisposeCheckpoint(checkpoint, false, true);
    }
    raw->Checkpoint->ItemInfo = nullptr;
}

namespace {

// The control item at ItemNo (any other item is an error) and its current size.
TRVControlItemInfo* ControlItemAt(TRVEditRVData& data, int itemNo, int& width, int& height) {
    data.RequireItemClass(itemNo, [](TCustomRVItemInfo* i) {
        return dynamic_cast<TRVControlItemInfo*>(i) != nullptr;
    });
    auto* item = static_cast<TRVControlItemInfo*>(data.GetItem(itemNo));
    if (auto* control = dynamic_cast<TControl*>(item->Control.get())) {
        width = control->Width();
        height = control->Height();
    } else {
        width = item->Width;
        height = item->Height;
    }
    return item;
}

} // namespace

void TRVEditRVData::ResizeControlUndoable(int itemNo, int width, int height, bool moveCaret) {
    int oldWidth = 0, oldHeight = 0;
    ControlItemAt(*this, itemNo, oldWidth, oldHeight);
    if (oldWidth == width && oldHeight == height) return;
    AddUndoRecord<TRVUndoResizeInfo>(*this, rvuModifyItem, itemNo, [&](auto& r) {
        r.OldWidth = oldWidth;
        r.OldHeight = oldHeight;
    });
    ApplyControlSize(itemNo, width, height, moveCaret);
}

void TRVEditRVData::ApplyControlSize(int itemNo, int width, int height, bool moveCaret) {
    int oldWidth = 0, oldHeight = 0;
    TRVControlItemInfo* item = ControlItemAt(*this, itemNo, oldWidth, oldHeight);
    if (oldWidth != width || oldHeight != height) {
        if (auto* control = dynamic_cast<TControl*>(item->Control.get())) {
            ResizingControl = control;
            auto done = Finally([this] { ResizingControl = nullptr; });
            control->SetBounds(control->Left(), control->Top(), width, height);
        }
        item->Width = width;
        item->Height = height;
    }
    if (moveCaret && GetCanvas()) MoveCaretToItem(true, itemNo, 1);
}

void TRVEditRVData::SetExtraIntPropertyUndoable(int itemNo, int prop, int value) {
    TCustomRVItemInfo* item = GetItem(itemNo);
    int old = 0;
    if (!item->GetExtraIntProperty(prop, old) || old == value) return;
    AddUndoRecord<TRVUndoExtraIntProperty>(*this, rvuModifyItem, itemNo, [&](auto& r) {
        r.Prop = prop;
        r.OldValue = old;
    });
    item->SetExtraIntProperty(prop, value);
}

TRVUndoModifyItemIntProperty* TRVEditRVData::SetItemIntPropertyUndoable(
    std::unique_ptr<TRVUndoModifyItemIntProperty> record, int itemNo, TRVIntPropertyHolder* target,
    const std::string& name, int value, bool affectsWidth, bool affectsHeight) {
    TCustomRVItemInfo* item = GetItem(itemNo);
    TRVIntPropertyHolder* holder = target ? target : dynamic_cast<TRVIntPropertyHolder*>(item);
    int old = 0;
    if (!holder || !holder->GetIntProperty(name, old) || old == value) return nullptr;
    auto* result = AddUndoRecord(*this, std::move(record), rvuModifyItem, itemNo, [&](auto& r) {
        r.Target = target;
        r.PropertyName = name;
        r.OldValue = old;
        r.AffectsWidth = affectsWidth;
        r.AffectsHeight = affectsHeight;
    });
    item->BeforeUndoChangeProperty();
    auto done = Finally([item] { item->AfterUndoChangeProperty(); });
    holder->SetIntProperty(name, value);
    return result;
}

TRVUndoModifyItemIntProperties* TRVEditRVData::SetItemIntPropertiesUndoable(
    std::unique_ptr<TRVUndoModifyItemIntProperties> record, int itemNo,
    TRVIntPropertyHolder* target, bool affectsWidth, bool affectsHeight,
    const std::vector<std::pair<std::string, int>>& values) {
    TCustomRVItemInfo* item = GetItem(itemNo);
    TRVIntPropertyHolder* holder = target ? target : dynamic_cast<TRVIntPropertyHolder*>(item);
    if (!holder) return nullptr;
    auto* result = AddUndoRecord(*this, std::move(record), rvuModifyItem, itemNo, [&](auto& r) {
        r.Target = target;
        r.AffectsWidth = affectsWidth;
        r.AffectsHeight = affectsHeight;
    });
    item->BeforeUndoChangeProperty();
    auto done = Finally([item] { item->AfterUndoChangeProperty(); });
    for (auto it = values.rbegin(); it != values.rend(); ++it) {
        int old = 0;
        if (!holder->GetIntProperty(it->first, old) || old == it->second) continue;
        if (result) result->OldValues.emplace_back(it->first, old);
        holder->SetIntProperty(it->first, it->second);
    }
    return result;
}

void TRVEditRVData::AddModifyItemTerminatorUndo(int itemNo, bool opening) {
    if (TRVUndoList* list = GetActiveUndoList())
        list->AddInfo(std::make_unique<TRVUndoModifyItemTerminator>(itemNo, opening));
}

void TRVEditRVData::AddReformatRange(int first, int last, bool flag) {
    if (TRVUndoList* list = GetActiveUndoList()) {
        auto record = std::make_unique<TRVUndoReformateRange>(first, last, flag);
        list->AddInfo(std::move(record));
    }
}

} // namespace epc
