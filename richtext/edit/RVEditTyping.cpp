// Deleting, typing and Enter in the editing document, built on the undoable primitives.

#include <algorithm>

#include "richtext/document/RVUni.h"
#include "richtext/edit/RVERVData.h"
#include "richtext/edit/RVEdit.h"
#include "richtext/edit/RVEditTransaction.h"
#include "richtext/edit/RVUndoRecords.h"

namespace epc {

namespace {

constexpr uint8_t kStartBits = rvioSameAsPrev | rvioBR;
constexpr uint8_t kLineBits = rvioSameAsPrev | rvioBR | rvioPageBreakBefore;

bool IsSpaceAt(const TCustomRVData& data, int itemNo, int offs) {
    return IsSpaceCharAt(data.GetItemText(itemNo), offs, data.GetItem(itemNo)->ItemOptions);
}

// The nearest word start before Offs: a position whose left neighbour is a space and whose
// right neighbour is not; 1 when there is none.
// The last item of the paragraph ItemNo belongs to.
int ParaPartLast(const TCustomRVData& data, int itemNo) {
    while (itemNo + 1 < data.ItemCount() && !data.GetItem(itemNo + 1)->StartsParagraph())
        ++itemNo;
    return itemNo;
}

int PrevWordStart(const TCustomRVData& data, int itemNo, int offs) {
    const int length = data.ItemEndOffset(itemNo) - 1;
    for (int p = offs - 1; p > 1; --p)
        if (IsSpaceAt(data, itemNo, p - 1) && (p > length || !IsSpaceAt(data, itemNo, p))) return p;
    return 1;
}

// The nearest word start after Offs, or the end of the text.
int NextWordStart(const TCustomRVData& data, int itemNo, int offs) {
    const int end = data.ItemEndOffset(itemNo);
    for (int p = offs + 1; p < end; ++p)
        if (IsSpaceAt(data, itemNo, p - 1) && !IsSpaceAt(data, itemNo, p)) return p;
    return end;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Questions.

bool TRVEditRVData::ItemProtected(int itemNo, TRVProtectOption option) const {
    const TCustomRVItemInfo* item = GetItem(itemNo);
    TRVStyle* style = GetRVStyle();
    // Non-text items answer only delete protection, and hold none of their own here.
    if (!style || !style->HasTextStyle(item->StyleNo)) return false;
    return style->TextStyles.GetItem(item->StyleNo).Protection.Contains(option);
}

bool TRVEditRVData::ItemParaReadOnly(int itemNo) const {
    TRVStyle* style = GetRVStyle();
    const int paraNo = GetItemParaNo(itemNo);
    return style && style->HasParaStyle(paraNo) &&
           style->ParaStyles.GetItem(paraNo).Options.Contains(TRVParaOption::rvpaoReadOnly);
}

bool TRVEditRVData::CanMergeAcrossStart(int first, int second) const {
    const TCustomRVItemInfo* a = GetItem(first);
    const TCustomRVItemInfo* b = GetItem(second);
    return a->StyleNo >= 0 && a->StyleNo == b->StyleNo && a->IsUnicode() == b->IsUnicode() &&
           a->Tag == b->Tag && !b->Checkpoint &&
           !ItemProtected(first, TRVProtectOption::rvprConcateProtect);
}

std::unique_ptr<TCustomRVItemInfo> TRVEditRVData::NewEmptyTextItem(int paraNo) {
    auto item = std::make_unique<TRVTextItemInfo>(this);
    int styleNo = CurTextStyleNo;
    TRVStyle* style = GetRVStyle();
    if (!style || !style->HasTextStyle(styleNo)) styleNo = 0;
    item->StyleNo = styleNo;
    item->ParaNo = paraNo;
    if (style && style->TextStyles.GetItem(styleNo).Unicode) item->ItemOptions |= rvioUnicode;
    return item;
}

std::unique_ptr<TCustomRVItemInfo> TRVEditRVData::CreateTextItemLike(int itemNo) {
    const TCustomRVItemInfo* source = GetItem(itemNo);
    // Only text has a style to copy: next to anything else the text is in the current style.
    if (source->StyleNo < 0) return NewEmptyTextItem(source->ParaNo);
    auto item = std::make_unique<TRVTextItemInfo>(this);
    item->StyleNo = source->StyleNo;
    item->ParaNo = source->ParaNo;
    item->ItemOptions = uint8_t(source->ItemOptions & rvioUnicode);
    item->Tag = CopyTagValue(source->Tag, TagsArePChars());
    return item;
}

std::unique_ptr<TCustomRVItemInfo> TRVEditRVData::CopyParagraphMarker(int itemNo) {
    const int start = GetParagraphStartItem(itemNo);
    if (GetItemStyleNo(start) != rvsListMarker) return nullptr;
    auto copy = CreateItemCopy(GetItem(start), this, TagsArePChars());
    copy->Checkpoint.reset();
    copy->ItemOptions = uint8_t(copy->ItemOptions & ~kLineBits);
    // The copy continues the list instead of restarting it.
    static_cast<TRVMarkerItemInfo*>(copy.get())->Reset = false;
    return copy;
}

bool TRVEditRVData::CaretAtParaStart() {
    const int itemNo = CaretItemIndex();
    if (itemNo < 0 || CaretItemOffset() != ItemStartOffset(itemNo)) return false;
    const TCustomRVItemInfo* item = GetItem(itemNo);
    if (item->StartsParagraph()) return true;
    return item->GetJoinsPrevious() && itemNo > 0 && GetItemStyleNo(itemNo - 1) == rvsListMarker &&
           GetItem(itemNo - 1)->StartsParagraph();
}

bool TRVEditRVData::CaretAtParaEnd() {
    const int itemNo = CaretItemIndex();
    if (itemNo < 0 || CaretItemOffset() != ItemEndOffset(itemNo)) return false;
    return itemNo + 1 >= ItemCount() || GetItem(itemNo + 1)->StartsParagraph();
}

bool TRVEditRVData::CanDeleteSelection() {
    if (!SelectionExists(false, false)) return true;
    int sNo, sOffs, eNo, eOffs;
    GetSelectionBounds(sNo, sOffs, eNo, eOffs, true);
    if (sNo < 0 || eNo < 0) return true;
    for (int i = sNo + 1; i < eNo; ++i)
        if (ItemProtected(i, TRVProtectOption::rvprDeleteProtect)) return false;
    auto endAllowed = [&](int itemNo, int from, int to) {
        if (GetItemStyleNo(itemNo) < 0)
            return from == to || !ItemProtected(itemNo, TRVProtectOption::rvprDeleteProtect);
        if (from == to) return true;
        const bool whole = from <= ItemStartOffset(itemNo) && to >= ItemEndOffset(itemNo);
        if (whole) return !ItemProtected(itemNo, TRVProtectOption::rvprDeleteProtect);
        return !ItemProtected(itemNo, TRVProtectOption::rvprModifyProtect);
    };
    if (sNo == eNo) {
        if (!endAllowed(sNo, sOffs, eOffs)) return false;
    } else if (!endAllowed(sNo, sOffs, ItemEndOffset(sNo)) ||
               !endAllowed(eNo, ItemStartOffset(eNo), eOffs)) {
        return false;
    }
    // A read-only paragraph goes only as a whole.
    if (ItemParaReadOnly(sNo)) {
        const int start = GetParagraphStartItem(sNo);
        if (sNo != start || sOffs > ItemStartOffset(sNo)) return false;
        if (sNo == eNo && sOffs == eOffs) return false;
    }
    if (ItemParaReadOnly(eNo)) {
        const bool lastOfPara = eNo + 1 >= ItemCount() || GetItem(eNo + 1)->StartsParagraph();
        if (!lastOfPara || eOffs < ItemEndOffset(eNo)) return false;
    }
    TRVStyle* style = GetRVStyle();
    return !(
        style && style->HasParaStyle(CurParaStyleNo) &&
        style->ParaStyles.GetItem(CurParaStyleNo).Options.Contains(TRVParaOption::rvpaoReadOnly));
}

// ---------------------------------------------------------------------------------------------
// Numbered lists.

namespace {

// Adds the text-numbered lists of the list markers of Data's items First .. Last and of the
// documents inside them (table cells) to ListNos.
void CollectTextNumberedLists(TCustomRVData* data, int first, int last, TRVStyle* style,
                              TRVIntegerList& listNos, int depth) {
    if (depth > 64) return;
    for (int i = std::max(first, 0); i <= last && i < data->ItemCount(); ++i) {
        TCustomRVItemInfo* item = data->GetItem(i);
        if (item->StyleNo == rvsListMarker) {
            const int listNo = static_cast<TRVMarkerItemInfo*>(item)->ListNo;
            if (listNo >= 0 && listNo < style->ListStyles.Count() &&
                style->ListStyles.GetItem(listNo).HasTextNumberedLevels())
                listNos.AddIfAbsent(listNo);
        }
        for (int k = 0; TCustomRVData* sub = item->GetSubRVData(k); ++k)
            CollectTextNumberedLists(sub, 0, sub->ItemCount() - 1, style, listNos, depth + 1);
    }
}

// Whether an item is a list marker or holds one in a document inside it.
bool HoldsMarker(TCustomRVItemInfo* item, int depth) {
    if (item->StyleNo == rvsListMarker) return true;
    if (depth > 64) return false;
    for (int k = 0; TCustomRVData* sub = item->GetSubRVData(k); ++k)
        for (int i = 0; i < sub->ItemCount(); ++i)
            if (HoldsMarker(sub->GetItem(i), depth + 1)) return true;
    return false;
}

} // namespace

void TRVEditRVData::NoteNumberedLists(int firstItemNo, int lastItemNo) {
    TRVStyle* style = GetRVStyle();
    TRVMarkerList* markers = GetMarkers(false);
    if (!style || !markers || markers->Count() == 0) return;
    CollectTextNumberedLists(this, firstItemNo, lastItemNo, style, FNotedListNos, 0);
}

void TRVEditRVData::BeforeUndoRecord(int first, int last) {
    NoteNumberedLists(first, last);
}

bool TRVEditRVData::UpdateNumberedLists(int firstItemNo, int lastItemNo) {
    // Only numbers written as text change width; bullets and pictures keep theirs.
    NoteNumberedLists(firstItemNo, lastItemNo);
    TRVIntegerList listNos;
    std::swap(listNos, FNotedListNos);
    TRVMarkerList* markers = GetMarkers(false);
    if (listNos.Count() == 0 || !markers) return true;
    // The list's last marker may lie in a table cell: the table holding it is laid out again.
    const int lastIndex = FindLastMarkerOfLists(-1, listNos);
    if (lastIndex < 0) return true;
    int first = std::max(firstItemNo, 0);
    const int lastMarker = FindMarkerItemFrom((*markers)[lastIndex], first);
    while (first <= lastMarker && !HoldsMarker(GetItem(first), 0))
        ++first;
    if (lastMarker < 0 || first > lastMarker) return true;
    const int d1 = GetFirstDrawItemNo(first);
    const int d2 = GetFirstDrawItemNo(lastMarker);
    if (d1 < 0 || d2 < 0) return false;
    // A table keeps its cells' layout unless told otherwise: its markers must be laid out anew.
    FormatParasOfDrawRange(d1, d2, 0, true);
    // Undoing the step lays these paragraphs out again too.
    if (TRVUndoList* list = GetActiveUndoList();
        list && list->LastGroup() && !list->LastGroup()->IsSingleTyping())
        AddReformatRange(first, lastMarker, false);
    return CalcParasMinWidth(first, lastMarker, nullptr, nullptr) <= MinWidth;
}

// ---------------------------------------------------------------------------------------------
// The structure a step leaves.

void TRVEditRVData::TidyStructure(int first, int last, int& caretNo, int& caretOffs, bool& full) {
    if (ItemCount() == 0) return;
    first = std::clamp(first, 0, ItemCount() - 1);
    last = std::clamp(std::max(last, first), 0, ItemCount() - 1);
    // The paragraphs around the noted ones are looked at too; a change there asks for the whole
    // document to be laid out again.
    int noteFirst = first, noteLast = last;
    first = GetParagraphStartItem(std::max(first - 1, 0));
    last = ParaPartLast(*this, std::min(last + 1, ItemCount() - 1));
    auto changed = [&](int i) {
        if (i < noteFirst || i > noteLast) full = true;
    };
    // Item I went; the caret and the ranges follow the items after it.
    auto removed = [&](int i) {
        changed(i);
        if (caretNo > i) --caretNo;
        if (noteLast >= i) --noteLast;
        --last;
    };
    for (int i = first; i <= last && i < ItemCount(); ++i) {
        // The paragraphs beside the edit are looked at, but a read-only one is never changed.
        if (ItemParaReadOnly(i)) continue;
        TCustomRVItemInfo* item = GetItem(i);
        const uint8_t inLine = rvioSameAsPrev | rvioBR;
        // A list marker and a full-line item start a paragraph, and nothing continues the line
        // of a full-line item.
        const bool ownParagraph = item->IsFullLine() || item->StyleNo == rvsListMarker ||
                                  (i > 0 && GetItem(i - 1)->IsFullLine());
        if (i > 0 && ownParagraph && (item->ItemOptions & inLine)) {
            RestoreLineOptionsUndoable(i, uint8_t(item->ItemOptions & ~inLine), rvuNewLine);
            changed(i);
        }
        if (item->StyleNo == rvsListMarker &&
            (i + 1 >= ItemCount() || !GetItem(i + 1)->GetJoinsPrevious())) {
            // A marker alone has no caret stop: an empty item gives its paragraph one.
            auto empty = NewEmptyTextItem(item->ParaNo);
            empty->SetJoinsPrevious(true);
            InsertItemUndoable(i + 1, std::string(), std::move(empty), false, full);
            changed(i + 1);
            if (noteLast > i) ++noteLast;
            if (caretNo > i) ++caretNo;
            if (caretNo == i) {
                caretNo = i + 1;
                caretOffs = 1;
            }
            ++last;
            continue;
        }
        // An empty text item beside other items of its line holds no text and no caret stop of
        // its own: it goes, its line start passing to the item after it.
        if (item->StyleNo < 0 || !GetItemText(i).empty() ||
            ItemProtected(i, TRVProtectOption::rvprDeleteProtect))
            continue;
        const bool before =
            i > 0 && item->GetJoinsPrevious() && GetItemStyleNo(i - 1) != rvsListMarker;
        const bool after = i + 1 < ItemCount() && GetItem(i + 1)->GetJoinsPrevious();
        if (!before && !after) continue;
        const int heir = before ? i - 1 : i + 1;
        if (ItemParaReadOnly(heir)) continue;
        if (item->Checkpoint) {
            if (GetItem(heir)->Checkpoint) continue;
            AddCheckpointUndoable(heir, TRVCPInfo::CreateCopy(*item->Checkpoint, TagsArePChars()));
        }
        if (!before && !item->GetJoinsPrevious())
            RestoreLineOptionsUndoable(i + 1, uint8_t(item->ItemOptions & kLineBits), rvuNewLine);
        const bool caretHere = caretNo == i;
        DeleteItemUndoable(i, full);
        removed(i);
        if (caretHere) {
            caretNo = before ? i - 1 : i;
            caretOffs = before ? ItemEndOffset(i - 1) : ItemStartOffset(i);
        }
        if (before && i < ItemCount() && CanMergeTextItems(i - 1, i)) {
            if (caretNo == i) {
                caretNo = i - 1;
                caretOffs += GetItemCharCount(i - 1);
            }
            MergeTextItemsUndoable(i - 1, full);
            removed(i);
        }
        i = std::max(i - 2, first - 1);
    }
}

// ---------------------------------------------------------------------------------------------
// Deleting the selection.

bool TRVEditRVData::DeleteSelection() {
    if (!SelectionExists(false, false)) return true;
    if (!CanDeleteSelection() || GetActiveSubData()) {
        BeepIfUseSound();
        return false;
    }
    TRVEditTransaction tx(*this, TRVEditRange::SelectionParas(*this), rvutDelete);
    tx.NoteWidestParas();
    bool& full = tx.Full;
    int sNo, sOffs, eNo, eOffs;
    GetSelectionBounds(sNo, sOffs, eNo, eOffs, true);
    Deselect(nullptr, false);
    const int firstPara = GetItemParaNo(sNo);
    // Ends on a list marker move off it; ends at an item edge inside a line move into the
    // neighbour that is actually cut.
    if (GetItemStyleNo(sNo) == rvsListMarker && sNo < eNo) {
        ++sNo;
        sOffs = ItemStartOffset(sNo);
    }
    if (GetItemStyleNo(eNo) == rvsListMarker && eNo > sNo) {
        --eNo;
        eOffs = ItemEndOffset(eNo);
    }
    if (sNo < eNo && sOffs >= ItemEndOffset(sNo) && GetItem(sNo + 1)->GetJoinsPrevious()) {
        ++sNo;
        sOffs = ItemStartOffset(sNo);
    }
    if (sNo < eNo && eOffs <= ItemStartOffset(eNo) && GetItem(eNo)->GetJoinsPrevious()) {
        --eNo;
        eOffs = ItemEndOffset(eNo);
    }
    int caretNo = sNo, caretOffs = sOffs;
    // Deletes item I whole; the item after it takes over a line or paragraph start.
    auto deleteWhole = [&](int i) {
        const TCustomRVItemInfo* item = GetItem(i);
        const bool startsLine = !item->GetJoinsPrevious();
        const bool nextJoins = i + 1 < ItemCount() && GetItem(i + 1)->GetJoinsPrevious();
        if (startsLine && !nextJoins) {
            // Alone on its line: an empty text item keeps the line.
            auto empty = NewEmptyTextItem(item->ParaNo);
            empty->ItemOptions = uint8_t(empty->ItemOptions | (item->ItemOptions & kLineBits));
            InsertItemUndoable(i, std::string(), std::move(empty), false, full);
            RestoreLineOptionsUndoable(i + 1, rvioSameAsPrev, rvuNewLine);
            DeleteItemUndoable(i + 1, full);
            return false;
        }
        if (startsLine && nextJoins)
            RestoreLineOptionsUndoable(i + 1, uint8_t(item->ItemOptions & kLineBits), rvuNewLine);
        DeleteItemUndoable(i, full);
        return true;
    };
    if (sNo == eNo) {
        const bool text = GetItemStyleNo(sNo) >= 0;
        // Text selected whole behind a list marker leaves an empty item: the marker keeps its
        // line.
        if (text &&
            !(sOffs <= ItemStartOffset(sNo) && eOffs >= ItemEndOffset(sNo) &&
              GetItem(sNo)->GetJoinsPrevious() && GetItemStyleNo(sNo - 1) != rvsListMarker)) {
            DeleteSubstringUndoable(sNo, sOffs, eOffs - sOffs);
        } else if (sOffs < eOffs) {
            if (deleteWhole(sNo)) {
                caretNo = sNo - 1;
                caretOffs = sNo > 0 ? ItemEndOffset(sNo - 1) : 0;
                if (sNo < ItemCount() && !GetItem(sNo)->GetJoinsPrevious()) {
                    caretNo = sNo;
                    caretOffs = ItemStartOffset(sNo);
                }
            } else {
                caretOffs = ItemStartOffset(sNo);
            }
        }
    } else {
        int left = sNo; // the item left of the cut
        bool firstGone = false;
        uint8_t firstBits = 0;
        if (GetItemStyleNo(sNo) >= 0) {
            DeleteSubstringUndoable(sNo, sOffs, -1);
        } else if (sOffs == 0) {
            firstBits = uint8_t(GetItem(sNo)->ItemOptions & kLineBits);
            DeleteItemUndoable(sNo, full);
            firstGone = true;
            --eNo;
            left = sNo - 1;
        }
        const int middleFirst = firstGone ? sNo : sNo + 1;
        if (eNo - 1 >= middleFirst) {
            DeleteItemsUndoable(middleFirst, eNo - 1, full);
            eNo = middleFirst;
        }
        // The head of the last item.
        int right = eNo;
        if (GetItemStyleNo(eNo) >= 0) {
            DeleteSubstringUndoable(eNo, 1, eOffs - 1);
        } else if (eOffs >= 1) {
            const uint8_t bits = uint8_t(GetItem(eNo)->ItemOptions & kLineBits);
            DeleteItemUndoable(eNo, full);
            right = eNo < ItemCount() && GetItem(eNo)->GetJoinsPrevious() ? eNo : -1;
            if (right >= 0) RestoreLineOptionsUndoable(right, bits, rvuNewLine);
        }
        // The rest of the last item continues the line before the cut.
        if (right >= 0 && right < ItemCount() && !GetItem(right)->GetJoinsPrevious()) {
            if (firstGone) {
                RestoreLineOptionsUndoable(right, firstBits, rvuNewLine);
            } else if (right > 0 && !GetItem(right - 1)->IsFullLine() &&
                       !ItemProtected(right, TRVProtectOption::rvprParaStartProtect)) {
                SetJoinsPreviousUndoable(right, true, -1, full);
            }
        }
        if (left >= 0) {
            caretNo = left;
            caretOffs = ItemEndOffset(left);
        } else {
            caretNo = 0;
            caretOffs = 0; // the start of whatever is first now
        }
    }
    if (ItemCount() == 0) {
        InsertItemUndoable(0, std::string(), NewEmptyTextItem(firstPara), false, full);
        caretNo = 0;
        caretOffs = 1;
    }
    caretNo = std::clamp(caretNo, 0, ItemCount() - 1);
    if (caretNo + 1 < ItemCount() && CanMergeTextItems(caretNo, caretNo + 1) &&
        caretOffs >= ItemEndOffset(caretNo)) {
        MergeTextItemsUndoable(caretNo, full);
    }
    // The paragraph that now holds the caret takes the style of the first selected item.
    int paraFirst = caretNo, paraLast = caretNo;
    GetParagraphItemRange(paraFirst, paraLast);
    SetParaStyleRangeUndoable(paraFirst, paraLast, firstPara, full);
    tx.Commit(caretNo, caretOffs);
    DoSelect();
    return true;
}

// ---------------------------------------------------------------------------------------------
// Backspace and Delete.

bool TRVEditRVData::BackspaceKey(bool word) {
    if (CaretDrawItemNo < 0 || CaretOffs < 0 || CaretOffs >= int(CharEnds.size())) return false;
    CaretDrawItemNo = CharEnds[size_t(CaretOffs)].DrawItemNo;
    int itemNo = CaretItemIndex(), offs = CaretItemOffset();
    if (itemNo < 0) return false;
    if (!word && UntypeChar(itemNo, offs)) return true;
    int caretNo = itemNo, caretOffs = offs;
    TRVEditTransaction tx(*this, TRVEditRange::CaretParas(*this), rvutDelete);
    tx.NoteWidestParas();
    if (!BackspaceAt(itemNo, offs, word, caretNo, caretOffs, tx.Full)) return false;
    tx.Commit(caretNo, caretOffs);
    return true;
}

bool TRVEditRVData::UntypeChar(int itemNo, int offs) {
    // Only a character inside the caret's own text item, which keeps some text or starts its
    // line: everything else is Backspace's full path.
    if (GetItemStyleNo(itemNo) < 0 || offs <= ItemStartOffset(itemNo) || ItemParaReadOnly(itemNo) ||
        ItemProtected(itemNo, TRVProtectOption::rvprModifyProtect))
        return false;
    const int from = GetPrevCharOffset(itemNo, offs);
    TRVItemEntry& entry = Items()[itemNo];
    // An item that would be left empty beside others of its line goes: the full path.
    if (from <= 1 && offs > GetTextCharLength(entry.Text, entry.Item->ItemOptions) &&
        (entry.Item->GetJoinsPrevious() ||
         (itemNo + 1 < ItemCount() && GetItem(itemNo + 1)->GetJoinsPrevious())))
        return false;
    TRVEditTransaction tx(*this, TRVEditRange::CaretParas(*this), kRVNoUndoGroup);
    tx.NoteWidestParas();
    // Characters removed one after another form one step, as typed ones do.
    const std::string removed =
        CopyItemTextChars(entry.Text, entry.Item->ItemOptions, from, offs - from);
    if (UndoList->Limit != 0) UndoList->AddUntyping(removed, itemNo, offs, entry.Item->IsUnicode());
    DeleteTextChars(entry.Text, entry.Item->ItemOptions, from, offs - from);
    DoItemAction(rviaTextModifying, entry.Item.get(), entry.Text, this);
    tx.Commit(itemNo, from);
    return true;
}

bool TRVEditRVData::BackspaceAt(int itemNo, int offs, bool word, int& caretNo, int& caretOffs,
                                bool& full) {
    auto refuse = [this] {
        BeepIfUseSound();
        return false;
    };
    if (ItemParaReadOnly(itemNo)) return refuse();
    TCustomRVItemInfo* item = GetItem(itemNo);
    // At the start of an item that continues the line, Backspace works on the item before.
    if (offs <= ItemStartOffset(itemNo) && item->GetJoinsPrevious() && itemNo > 0 &&
        GetItemStyleNo(itemNo - 1) != rvsListMarker) {
        --itemNo;
        offs = ItemEndOffset(itemNo);
        item = GetItem(itemNo);
    }
    const bool atStart = offs <= ItemStartOffset(itemNo);
    if (atStart) {
        if (itemNo == 0 && !item->GetPageBreakBefore()) return false;
        if (item->GetPageBreakBefore() || (itemNo > 0 && item->GetJoinsPrevious() &&
                                           GetItemStyleNo(itemNo - 1) == rvsListMarker &&
                                           GetItem(itemNo - 1)->GetPageBreakBefore())) {
            SetPageBreakUndoable(itemNo, false);
            caretNo = itemNo;
            caretOffs = offs;
            Invalidate();
            return true;
        }
        TCustomRVItemInfo* prev = GetItem(itemNo - 1);
        const bool empty = item->StyleNo >= 0 && GetItemText(itemNo).empty();
        const bool prevEmpty = prev->StyleNo >= 0 && GetItemText(itemNo - 1).empty();
        if ((item->IsFullLine() || prev->IsFullLine()) && !empty && !prevEmpty) {
            // Next to a break or a table the caret only moves left.
            caretNo = itemNo - 1;
            caretOffs = ItemEndOffset(itemNo - 1);
            return true;
        }
        if (prev->StyleNo == rvsListMarker) {
            // The paragraph leaves its list.
            if (ItemProtected(itemNo - 1, TRVProtectOption::rvprDeleteProtect)) return refuse();
            RestoreLineOptionsUndoable(itemNo, uint8_t(prev->ItemOptions & kLineBits), rvuNewLine);
            DeleteItemUndoable(itemNo - 1, full);
            caretNo = itemNo - 1;
            caretOffs = offs;
            return true;
        }
        if (prevEmpty) {
            if (ItemProtected(itemNo - 1, TRVProtectOption::rvprDeleteProtect) ||
                ItemParaReadOnly(itemNo - 1))
                return refuse();
            // The item takes over the start of the paragraph or line the empty item began.
            if (!prev->GetJoinsPrevious())
                RestoreLineOptionsUndoable(itemNo, uint8_t(prev->ItemOptions & kLineBits),
                                           rvuNewLine);
            DeleteItemUndoable(itemNo - 1, full);
            caretNo = itemNo - 1;
            caretOffs = offs;
            return true;
        }
        const bool readOnly = ItemParaReadOnly(itemNo - 1);
        if (empty) {
            if (ItemProtected(itemNo, TRVProtectOption::rvprDeleteProtect) || readOnly)
                return refuse();
            const bool followed =
                itemNo + 1 < ItemCount() && GetItem(itemNo + 1)->GetJoinsPrevious();
            // The rest of a paragraph the empty item began joins the paragraph above, as any
            // paragraph does at Backspace; a line it began keeps its line break.
            const bool joinRest = followed && item->StartsParagraph() && !prev->IsFullLine();
            if (followed && !joinRest)
                RestoreLineOptionsUndoable(itemNo + 1, uint8_t(item->ItemOptions & kLineBits),
                                           rvuNewLine);
            DeleteItemUndoable(itemNo, full);
            if (joinRest && GetItemParaNo(itemNo) != GetItemParaNo(itemNo - 1))
                SetParaStyleRangeUndoable(itemNo, ParaPartLast(*this, itemNo),
                                          GetItemParaNo(itemNo - 1), full);
            caretNo = itemNo - 1;
            caretOffs = ItemEndOffset(itemNo - 1);
            return true;
        }
        if (readOnly || ItemProtected(itemNo, TRVProtectOption::rvprParaStartProtect))
            return refuse();
        caretNo = itemNo - 1;
        caretOffs = ItemEndOffset(itemNo - 1);
        const bool merge = CanMergeAcrossStart(itemNo - 1, itemNo);
        SetJoinsPreviousUndoable(itemNo, true, -1, full);
        if (merge && CanMergeTextItems(itemNo - 1, itemNo))
            MergeTextItemsUndoable(itemNo - 1, full);
        return true;
    }
    if (item->StyleNo >= 0) {
        if (ItemProtected(itemNo, TRVProtectOption::rvprModifyProtect)) return refuse();
        const int from =
            word ? PrevWordStart(*this, itemNo, offs) : GetPrevCharOffset(itemNo, offs);
        DeleteSubstringUndoable(itemNo, from, offs - from);
        caretNo = itemNo;
        caretOffs = from;
        DropEmptyLineItem(itemNo, caretNo, caretOffs, full);
        return true;
    }
    // After a non-text item.
    if (!item->GetJoinsPrevious()) {
        // It begins a line: an empty text item keeps the line, the paragraph and what the item
        // carried.
        auto empty = NewEmptyTextItem(item->ParaNo);
        empty->ItemOptions = uint8_t(empty->ItemOptions | (item->ItemOptions & kLineBits));
        empty->Tag = CopyTagValue(item->Tag, TagsArePChars());
        if (item->Checkpoint)
            empty->Checkpoint = TRVCPInfo::CreateCopy(*item->Checkpoint, TagsArePChars());
        InsertItemUndoable(itemNo, std::string(), std::move(empty), false, full);
        RestoreLineOptionsUndoable(itemNo + 1, rvioSameAsPrev, rvuNewLine);
        DeleteItemUndoable(itemNo + 1, full);
        caretNo = itemNo;
        caretOffs = 1;
        return true;
    }
    DeleteItemUndoable(itemNo, full);
    caretNo = itemNo - 1;
    caretOffs = ItemEndOffset(itemNo - 1);
    if (itemNo < ItemCount() && CanMergeTextItems(itemNo - 1, itemNo))
        MergeTextItemsUndoable(itemNo - 1, full);
    else if (itemNo < ItemCount())
        DropEmptyLineItem(itemNo, caretNo, caretOffs, full);
    return true;
}

void TRVEditRVData::DropEmptyLineItem(int itemNo, int& caretNo, int& caretOffs, bool& full) {
    // An empty text item inside a line has a caret stop where the item before it ends: the
    // caret would stand twice at one place. It goes, and its neighbours may join.
    if (itemNo <= 0 || itemNo >= ItemCount() || GetItemStyleNo(itemNo) < 0 ||
        !GetItemText(itemNo).empty() || !GetItem(itemNo)->GetJoinsPrevious() ||
        GetItemStyleNo(itemNo - 1) == rvsListMarker ||
        ItemProtected(itemNo, TRVProtectOption::rvprDeleteProtect))
        return;
    if (GetItem(itemNo)->Checkpoint) return;
    DeleteItemUndoable(itemNo, full);
    if (caretNo >= itemNo) {
        caretNo = itemNo - 1;
        caretOffs = ItemEndOffset(itemNo - 1);
    }
    if (itemNo < ItemCount() && CanMergeTextItems(itemNo - 1, itemNo))
        MergeTextItemsUndoable(itemNo - 1, full);
}

bool TRVEditRVData::DeleteKey(bool word) {
    if (CaretDrawItemNo < 0 || CaretOffs < 0 || CaretOffs >= int(CharEnds.size())) return false;
    int itemNo = CaretItemIndex(), offs = CaretItemOffset();
    if (itemNo < 0) return false;
    const TRVEditRange range = TRVEditRange::CaretParas(*this);
    // At the end of an item that the next one continues, Delete works on the next item.
    if (offs >= ItemEndOffset(itemNo) && itemNo + 1 < ItemCount() &&
        GetItem(itemNo + 1)->GetJoinsPrevious()) {
        ++itemNo;
        offs = ItemStartOffset(itemNo);
    }
    const bool atEnd = offs >= ItemEndOffset(itemNo);
    int caretNo = itemNo, caretOffs = offs;
    auto refuse = [this] {
        BeepIfUseSound();
        return false;
    };
    if (atEnd && itemNo + 1 >= ItemCount()) {
        // At the document's end only an empty last paragraph (or line) goes, or leaves its
        // list. An empty item that continues a line is no line of its own: Backspace there
        // would take the item before it.
        if (GetItemStyleNo(itemNo) >= 0 && GetItemText(itemNo).empty() && itemNo > 0 &&
            (!GetItem(itemNo)->GetJoinsPrevious() || GetItemStyleNo(itemNo - 1) == rvsListMarker))
            return BackspaceKey(false);
        return false;
    }
    TRVEditTransaction tx(*this, range, rvutDelete);
    tx.NoteWidestParas();
    bool& full = tx.Full;
    if (atEnd) {
        // The next paragraph (or line) is pulled up; every check comes before any change.
        TCustomRVItemInfo* item = GetItem(itemNo);
        if (ItemParaReadOnly(itemNo) || ItemParaReadOnly(itemNo + 1)) return refuse();
        const bool marker = GetItemStyleNo(itemNo + 1) == rvsListMarker;
        // The item that comes up: the one after a list marker, which goes first.
        const int next = marker ? itemNo + 2 : itemNo + 1;
        if (marker && (next >= ItemCount() || !GetItem(next)->GetJoinsPrevious())) {
            DeleteItemUndoable(itemNo + 1, full);
            tx.Commit(caretNo, caretOffs);
            return true;
        }
        const TCustomRVItemInfo* nextItem = GetItem(next);
        const bool empty = item->StyleNo >= 0 && GetItemText(itemNo).empty();
        const bool nextEmpty = nextItem->StyleNo >= 0 && GetItemText(next).empty();
        if (empty && itemNo > 0 && item->GetJoinsPrevious() &&
            GetItemStyleNo(itemNo - 1) == rvsListMarker) {
            // An empty list item: the next paragraph comes up into it and takes its marker.
            // What cannot share a line (a table, a break) takes the empty item's place instead,
            // marker and all.
            if (ItemProtected(itemNo, TRVProtectOption::rvprDeleteProtect)) return refuse();
            if (nextItem->IsFullLine()) {
                if (marker) return refuse();
                DeleteItemsUndoable(itemNo - 1, itemNo, full);
                caretNo = itemNo - 1;
                caretOffs = ItemStartOffset(caretNo);
            } else {
                if (ItemProtected(next, TRVProtectOption::rvprParaStartProtect)) return refuse();
                if (marker) DeleteItemUndoable(itemNo + 1, full);
                SetJoinsPreviousUndoable(itemNo + 1, true, -1, full);
                if (GetItemStyleNo(itemNo + 1) >= 0)
                    MergeTextItemsUndoable(itemNo, full);
                else
                    DeleteItemUndoable(itemNo, full);
                caretNo = itemNo;
                caretOffs = ItemStartOffset(itemNo);
            }
            tx.Commit(caretNo, caretOffs);
            return true;
        }
        enum { DeleteThis, DeleteNext, DeleteBreak, Join } action;
        if (empty && !item->IsFullLine()) {
            if (ItemProtected(itemNo, TRVProtectOption::rvprDeleteProtect)) return refuse();
            action = DeleteThis;
        } else if (nextEmpty) {
            if (ItemProtected(next, TRVProtectOption::rvprDeleteProtect)) return refuse();
            action = DeleteNext;
        } else if (nextItem->IsFullLine() || item->IsFullLine()) {
            // A break or table cannot share a line: a break after the caret goes instead.
            if (!nextItem->IsFullLine() || nextItem->GetSubRVData(0)) return refuse();
            action = DeleteBreak;
        } else {
            if (ItemProtected(next, TRVProtectOption::rvprParaStartProtect)) return refuse();
            action = Join;
        }
        // An empty line going away leaves the list paragraph after it as it is.
        if (marker && action != DeleteThis) {
            // The paragraph leaves its list: the item after the marker takes its start.
            RestoreLineOptionsUndoable(next, uint8_t(GetItem(itemNo + 1)->ItemOptions & kLineBits),
                                       rvuNewLine);
            DeleteItemUndoable(itemNo + 1, full);
        }
        const int n = itemNo + 1;
        switch (action) {
        case DeleteThis:
            // The next item takes over this item's start.
            RestoreLineOptionsUndoable(n, uint8_t(item->ItemOptions & kLineBits), rvuNewLine);
            // The whole next paragraph takes the style, not just its first item.
            if (!marker) SetParaStyleRangeUndoable(n, ParaPartLast(*this, n), item->ParaNo, full);
            DeleteItemUndoable(itemNo, full);
            caretNo = itemNo;
            caretOffs = ItemStartOffset(itemNo);
            break;
        case DeleteNext:
            if (n + 1 < ItemCount() && GetItem(n + 1)->GetJoinsPrevious())
                RestoreLineOptionsUndoable(n + 1, uint8_t(GetItem(n)->ItemOptions & kLineBits),
                                           rvuNewLine);
            DeleteItemUndoable(n, full);
            break;
        case DeleteBreak:
            DeleteItemUndoable(n, full);
            break;
        case Join: {
            const bool merge = CanMergeAcrossStart(itemNo, n);
            SetJoinsPreviousUndoable(n, true, -1, full);
            if (merge && CanMergeTextItems(itemNo, n)) MergeTextItemsUndoable(itemNo, full);
            break;
        }
        }
        tx.Commit(caretNo, caretOffs);
        return true;
    }
    // Inside the line: what is after the caret is deleted with Backspace's rules.
    int at = offs;
    if (GetItemStyleNo(itemNo) >= 0) {
        at = word ? NextWordStart(*this, itemNo, offs) : GetNextCharOffset(itemNo, offs);
        at = std::min(at, ItemEndOffset(itemNo));
        if (ItemProtected(itemNo, TRVProtectOption::rvprModifyProtect)) return refuse();
        if (ItemParaReadOnly(itemNo)) return refuse();
        DeleteSubstringUndoable(itemNo, offs, at - offs);
    } else if (!BackspaceAt(itemNo, ItemEndOffset(itemNo), word, caretNo, caretOffs, full)) {
        return false;
    }
    tx.Commit(caretNo, caretOffs);
    return true;
}

// ---------------------------------------------------------------------------------------------
// Typing.

bool TRVEditRVData::KeyPressChar(char key) {
    std::string text(1, key);
    TRVStyle* style = GetRVStyle();
    if (style && style->HasTextStyle(CurTextStyleNo) &&
        style->TextStyles.GetItem(CurTextStyleNo).Unicode) {
        text = AnsiToUnicodeKeyboard(text);
        if (text.empty()) return false;
    }
    return InsertTyped(text);
}

void TRVEditRVData::TakeCurrentParaStyle(int itemNo, bool& fullReformat) {
    const int paraNo = GetRVStyle()->ValidParaStyleNo(CurParaStyleNo);
    if (GetItemParaNo(itemNo) == paraNo) return;
    int first = itemNo, last = itemNo;
    GetParagraphItemRange(first, last);
    SetParaStyleRangeUndoable(first, last, paraNo, fullReformat);
}

bool TRVEditRVData::InsertTypedAsNewItem(const std::string& text, int styleNo) {
    // One insertion step of its own, placed and laid out as any inserted item.
    const bool inserted = InsertNewTextItem(text, styleNo);
    if (inserted) Invalidate();
    return inserted;
}

bool TRVEditRVData::InsertTyped(const std::string& text) {
    TRVStyle* style = GetRVStyle();
    if (!style || GetActiveSubData() || !CanDeleteSelection()) {
        BeepIfUseSound();
        return false;
    }
    if (text.empty()) return false;
    // UTF-16 text comes in whole code units.
    const int typedStyleNo = style->ValidTextStyleNo(CurTextStyleNo);
    if (style->TextStyles.GetItem(typedStyleNo).Unicode && text.size() % 2 != 0) {
        BeepIfUseSound();
        return false;
    }
    if (SelectionExists(false, false) && !DeleteSelection()) return false;
    int itemNo = CaretItemIndex(), offs = CaretItemOffset();
    if (itemNo < 0) return false;
    if (ItemParaReadOnly(itemNo)) {
        BeepIfUseSound();
        return false;
    }
    // The deletion may have moved the current style to one of another encoding: the text
    // follows it.
    const int styleNo = style->ValidTextStyleNo(CurTextStyleNo);
    const bool unicode = style->TextStyles.GetItem(styleNo).Unicode;
    const std::string typed = TextInStyle(text, typedStyleNo, styleNo);
    const int length = int(unicode ? typed.size() / 2 : typed.size());
    if (length == 0) return false;
    const TRVEditRange range = TRVEditRange::CaretParas(*this);
    auto atEdge = [&] { return offs <= ItemStartOffset(itemNo) || offs >= ItemEndOffset(itemNo); };
    bool newItem = false;
    if (GetItemStyleNo(itemNo) != styleNo) {
        if (offs >= ItemEndOffset(itemNo) && itemNo + 1 < ItemCount() &&
            GetItem(itemNo + 1)->GetJoinsPrevious() && GetItemStyleNo(itemNo + 1) == styleNo &&
            !ItemProtected(itemNo + 1, TRVProtectOption::rvprConcateProtect) &&
            !ItemProtected(itemNo + 1, TRVProtectOption::rvprModifyProtect)) {
            ++itemNo;
            offs = ItemStartOffset(itemNo);
        } else {
            newItem = true;
        }
    } else if (ItemProtected(itemNo, TRVProtectOption::rvprConcateProtect)) {
        newItem = true;
    } else if (ItemProtected(itemNo, TRVProtectOption::rvprModifyProtect)) {
        if (!atEdge()) {
            BeepIfUseSound();
            return false;
        }
        newItem = true;
    }
    // An empty item simply takes the typed text in the current style.
    const bool fillEmpty = newItem && GetItemStyleNo(itemNo) >= 0 && GetItemText(itemNo).empty() &&
                           !ItemProtected(itemNo, TRVProtectOption::rvprModifyProtect) &&
                           GetItem(itemNo)->IsUnicode() == unicode;
    // Anything else typed as an item of its own goes where any new item would: after a table
    // or a break it starts a paragraph instead of joining their line.
    if (newItem && !fillEmpty) return InsertTypedAsNewItem(typed, styleNo);
    const bool takePara = !newItem && GetItemText(itemNo).empty() &&
                          GetItemParaNo(itemNo) != style->ValidParaStyleNo(CurParaStyleNo);
    // A single character goes to the undo list's typing record instead of a group.
    const bool oneChar = !newItem && !takePara && length < 2;
    TRVEditTransaction tx(*this, range, oneChar ? kRVNoUndoGroup : uint8_t(rvutTyping));
    tx.NoteWidestParas();
    if (fillEmpty) {
        TakeCurrentParaStyle(itemNo, tx.Full);
        SetStyleNoUndoable(itemNo, styleNo);
        InsertSubstringUndoable(itemNo, 1, typed);
        tx.Commit(itemNo, 1 + length);
        return true;
    }
    if (takePara) TakeCurrentParaStyle(itemNo, tx.Full);
    if (oneChar) {
        TRVItemEntry& entry = Items()[itemNo];
        if (UndoList->Limit != 0) UndoList->AddTyping(itemNo, offs, entry.Item->IsUnicode());
        InsertTextChars(entry.Text, entry.Item->ItemOptions, offs, typed);
        DoItemAction(rviaTextModifying, entry.Item.get(), entry.Text, this);
    } else {
        InsertSubstringUndoable(itemNo, offs, typed);
    }
    tx.Commit(itemNo, offs + length);
    return true;
}

// ---------------------------------------------------------------------------------------------
// Enter.

bool TRVEditRVData::EnterKey(bool lineBreak) {
    TRVStyle* style = GetRVStyle();
    int itemNo = CaretItemIndex(), offs = CaretItemOffset();
    if (!style || itemNo < 0) return false;
    auto refuse = [this] {
        BeepIfUseSound();
        return false;
    };
    const int paraNo = GetItemParaNo(itemNo);
    if (style->HasParaStyle(paraNo) &&
        style->ParaStyles.GetItem(paraNo).Options.Contains(TRVParaOption::rvpaoDoNotWantReturns))
        return refuse();
    const bool atEnd = CaretAtParaEnd();
    const bool atStart = !atEnd && CaretAtParaStart();
    if (!atStart && !atEnd && ItemParaReadOnly(itemNo)) return refuse();
    if ((atStart || atEnd) && ItemProtected(itemNo, TRVProtectOption::rvprParaStartProtect))
        return refuse();
    TRVEditTransaction tx(*this, TRVEditRange::CaretParas(*this), rvutTyping);
    tx.NoteWidestParas();
    bool& full = tx.Full;
    TCustomRVItemInfo* item = GetItem(itemNo);
    int caretNo = itemNo, caretOffs = offs;
    if (atStart || atEnd) {
        const int curStyle = style->ValidTextStyleNo(CurTextStyleNo);
        if (atEnd && item->StyleNo == curStyle &&
            style->TextStyles.GetItem(curStyle).NextStyleNo != -1)
            Editor()->SetCurTextStyleNo(style->TextStyles.GetItem(curStyle).NextStyleNo);
        const bool nextHasBreak =
            itemNo + 1 < ItemCount() && GetItem(itemNo + 1)->GetLineBreakBefore();
        if (!lineBreak && !nextHasBreak) {
            const TParaInfo& para = style->ParaStyles.GetItem(paraNo);
            if (para.Options.Contains(TRVParaOption::rvpaoReadOnly) ||
                (atEnd && para.NextParaNo != -1))
                Editor()->SetCurParaStyleNo(std::max(para.NextParaNo, 0));
        }
        int newStyle = style->ValidTextStyleNo(CurTextStyleNo);
        if (style->TextStyles.GetItem(newStyle).Protection.Contains(
                TRVProtectOption::rvprModifyProtect))
            newStyle = 0;
        auto fresh = std::make_unique<TRVTextItemInfo>(this);
        fresh->StyleNo = newStyle;
        if (style->TextStyles.GetItem(newStyle).Unicode) fresh->ItemOptions |= rvioUnicode;
        fresh->ParaNo = lineBreak ? paraNo : style->ValidParaStyleNo(CurParaStyleNo);
        if (item->StyleNo == newStyle) fresh->Tag = CopyTagValue(item->Tag, TagsArePChars());
        if (atEnd) {
            int at = itemNo + 1;
            if (lineBreak) {
                fresh->ItemOptions |= rvioBR;
            } else if (auto marker = CopyParagraphMarker(itemNo)) {
                marker->ParaNo = fresh->ParaNo;
                InsertItemUndoable(at, std::string(), std::move(marker), false, full);
                ++at;
                fresh->ItemOptions |= rvioSameAsPrev;
            }
            InsertItemUndoable(at, std::string(), std::move(fresh), false, full);
            caretNo = at;
            caretOffs = 1;
        } else {
            // At the paragraph's start the new item goes before it (before its list marker).
            int at = itemNo;
            if (!lineBreak && item->GetJoinsPrevious() && itemNo > 0 &&
                GetItemStyleNo(itemNo - 1) == rvsListMarker)
                at = itemNo - 1;
            const uint8_t bits = uint8_t(GetItem(at)->ItemOptions & kLineBits);
            fresh->ItemOptions = uint8_t(fresh->ItemOptions | bits);
            if (lineBreak) fresh->ParaNo = GetItemParaNo(at);
            InsertItemUndoable(at, std::string(), std::move(fresh), false, full);
            RestoreLineOptionsUndoable(at + 1, lineBreak ? uint8_t(rvioBR) : uint8_t(0),
                                       rvuNewLine);
            caretNo = itemNo + 1;
            caretOffs = ItemStartOffset(caretNo);
        }
    } else {
        // Inside the paragraph: the rest of it (from the caret on) starts the new paragraph
        // or line.
        int starter = -1;
        if (offs <= ItemStartOffset(itemNo)) {
            starter = itemNo;
        } else if (offs >= ItemEndOffset(itemNo)) {
            starter = itemNo + 1;
        } else {
            if (ItemProtected(itemNo, TRVProtectOption::rvprParaStartProtect) ||
                ItemProtected(itemNo, TRVProtectOption::rvprModifyProtect))
                return refuse();
            auto tail = CreateTextItemLike(itemNo);
            tail->ItemOptions |= rvioSameAsPrev;
            const std::string rest = CopyItemTextChars(GetItemText(itemNo), item->ItemOptions, offs,
                                                       ItemEndOffset(itemNo) - offs);
            DeleteSubstringUndoable(itemNo, offs, -1);
            InsertItemUndoable(itemNo + 1, rest, std::move(tail), false, full);
            starter = itemNo + 1;
        }
        if (ItemProtected(starter, TRVProtectOption::rvprParaStartProtect)) return refuse();
        if (lineBreak) {
            if (GetItem(starter)->GetLineBreakBefore()) {
                // Already a line start: an empty line is put before it, a text item like the
                // one at the caret (a picture has no text to copy). The caret goes to the new
                // line when it stood at the end of the line above.
                auto fresh = GetItemStyleNo(itemNo) >= 0 ? CreateTextItemLike(itemNo)
                                                         : NewEmptyTextItem(GetItemParaNo(itemNo));
                fresh->ItemOptions = uint8_t((fresh->ItemOptions & ~kLineBits) | rvioBR);
                fresh->ParaNo = GetItemParaNo(starter);
                const bool below = starter > itemNo;
                InsertItemUndoable(starter, std::string(), std::move(fresh), false, full);
                if (below) {
                    tx.Commit(starter, 1);
                    return true;
                }
                ++starter;
            } else {
                SetLineBreakUndoable(starter, true, full);
            }
        } else if (auto marker = CopyParagraphMarker(starter)) {
            marker->ParaNo = GetItemParaNo(starter);
            InsertItemUndoable(starter, std::string(), std::move(marker), false, full);
            ++starter;
            RestoreLineOptionsUndoable(starter, rvioSameAsPrev, rvuNewLine);
        } else {
            RestoreLineOptionsUndoable(starter, 0, rvuNewLine);
        }
        caretNo = starter;
        caretOffs = ItemStartOffset(starter);
    }
    tx.Commit(caretNo, caretOffs);
    return true;
}

} // namespace epc
