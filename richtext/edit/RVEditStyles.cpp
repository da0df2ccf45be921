// Applying text and paragraph styles: the text style of the selected text (text items cut at
// the selection's ends and equal neighbours joined again) and the paragraph style of the
// selected paragraphs, through the undoable primitives, in one undo step.

#include "richtext/edit/RVERVData.h"

#include <algorithm>

#include "richtext/document/RVUni.h"
#include "richtext/edit/RVEdit.h"
#include "richtext/edit/RVEditTransaction.h"

namespace epc {

int TRVEditRVData::ConvertTextStyle(int styleNo, int userValue, bool appliedToText) {
    TCustomRichViewEdit* editor = Editor();
    int newStyleNo = styleNo;
    if (editor->OnStyleConversion)
        editor->OnStyleConversion(editor, styleNo, userValue, appliedToText, newStyleNo);
    TRVStyle* style = GetRVStyle();
    // A handler's answer outside the sheet leaves the style as it was.
    if (!style || !style->HasTextStyle(newStyleNo)) return styleNo;
    return newStyleNo;
}

std::string TRVEditRVData::TextInStyle(const std::string& text, int fromStyleNo,
                                       int toStyleNo) const {
    TRVStyle* style = GetRVStyle();
    const bool fromUnicode = style->TextStyles.GetItem(fromStyleNo).Unicode;
    const bool toUnicode = style->TextStyles.GetItem(toStyleNo).Unicode;
    if (fromUnicode == toUnicode) return text;
    return toUnicode ? AnsiToUnicodeCP(text, CodePageOfStyle(fromStyleNo))
                     : UnicodeToAnsiCP(text, CodePageOfStyle(toStyleNo));
}

void TRVEditRVData::RestyleTextItem(int itemNo, int styleNo) {
    const int oldStyleNo = GetItemStyleNo(itemNo);
    if (oldStyleNo == styleNo) return;
    if (Editor()->EditorOptions.Contains(TRVEditorOption::rvoClearTagOnStyleApp))
        SetTagUndoable(itemNo, TRVTag(), true);
    const std::string converted = TextInStyle(GetItemText(itemNo), oldStyleNo, styleNo);
    if (converted != GetItemText(itemNo)) ChangeTextUndoable(itemNo, converted);
    SetStyleNoUndoable(itemNo, styleNo);
}

std::unique_ptr<TCustomRVItemInfo> TRVEditRVData::NewTextPart(int itemNo, int styleNo,
                                                              bool keepTag) const {
    auto part = NewTextItemLike(itemNo);
    part->StyleNo = styleNo;
    part->ItemOptions = uint8_t(part->ItemOptions & ~rvioUnicode);
    if (GetRVStyle()->TextStyles.GetItem(styleNo).Unicode) part->ItemOptions |= rvioUnicode;
    if (!keepTag) part->Tag = TRVTag();
    return part;
}

int TRVEditRVData::SplitOffHead(int itemNo, int offs, int styleNo, bool keepTag) {
    bool full = false;
    const TCustomRVItemInfo* item = GetItem(itemNo);
    const int oldStyleNo = item->StyleNo;
    const std::string head = CopyItemTextChars(GetItemText(itemNo), item->ItemOptions, 1, offs - 1);
    auto part = NewTextPart(itemNo, styleNo, keepTag);
    // The head takes over the item's place in its line and paragraph.
    part->ItemOptions =
        uint8_t((part->ItemOptions & rvioUnicode) |
                (item->ItemOptions & (rvioSameAsPrev | rvioBR | rvioPageBreakBefore)));
    const bool hadCheckpoint = item->Checkpoint != nullptr;
    std::unique_ptr<TRVCPInfo> checkpoint;
    if (hadCheckpoint) checkpoint = TRVCPInfo::CreateCopy(*item->Checkpoint, TagsArePChars());
    InsertItemUndoable(itemNo, TextInStyle(head, oldStyleNo, styleNo), std::move(part), false,
                       full);
    SetJoinsPreviousUndoable(itemNo + 1, true, -1, full);
    if (hadCheckpoint) {
        DeleteCheckpointUndoable(itemNo + 1);
        AddCheckpointUndoable(itemNo, std::move(checkpoint));
    }
    DeleteSubstringUndoable(itemNo + 1, 1, offs - 1);
    return itemNo + 1;
}

void TRVEditRVData::SplitOffTail(int itemNo, int offs, int styleNo, bool keepTag) {
    bool full = false;
    const TCustomRVItemInfo* item = GetItem(itemNo);
    const int oldStyleNo = item->StyleNo;
    const std::string tail = CopyItemTextChars(GetItemText(itemNo), item->ItemOptions, offs,
                                               GetItemCharCount(itemNo) - offs + 1);
    auto part = NewTextPart(itemNo, styleNo, keepTag);
    DeleteSubstringUndoable(itemNo, offs, -1);
    InsertItemUndoable(itemNo + 1, TextInStyle(tail, oldStyleNo, styleNo), std::move(part), false,
                       full);
}

void TRVEditRVData::MergeAroundRange(int& startNo, int& startOffs, int& endNo, int& endOffs) {
    bool full = false;
    const int from = std::max(startNo - 1, 0);
    for (int i = std::min(endNo, ItemCount() - 2); i >= from; --i) {
        if (!CanMergeTextItems(i, i + 1)) continue;
        const int length = GetItemCharCount(i);
        auto follow = [&](int& itemNo, int& offs) {
            if (itemNo == i + 1) {
                itemNo = i;
                offs += length;
            } else if (itemNo > i + 1) {
                --itemNo;
            }
        };
        follow(startNo, startOffs);
        follow(endNo, endOffs);
        MergeTextItemsUndoable(i, full);
    }
}

void TRVEditRVData::ApplyTextStyleConversion(int userValue) {
    TRVStyle* style = GetRVStyle();
    if (!style) return;
    TCustomRichViewEdit* editor = Editor();
    if (ChosenItem && !SelectionExists(false, false)) {
        // Cells chosen in a table take the conversion (an open cell editor takes it itself).
        if (!editor->GetInplaceEditor())
            ChosenItem->ApplyStyleConversion(this, FindItemIndex(ChosenItem), userValue, false);
        return;
    }
    if (!style->TextStyles.GetItem(CurTextStyleNo)
             .Protection.Contains(TRVProtectOption::rvprDoNotAutoSwitch))
        SavedTextStyleNo = CurTextStyleNo;
    const int newCurrent = ConvertTextStyle(CurTextStyleNo, userValue, false);
    if (!SelectionExists(false, false)) {
        const int caretItemNo = CaretItemIndex();
        if (caretItemNo >= 0 && GetItemStyleNo(caretItemNo) >= 0 &&
            GetItemText(caretItemNo).empty() && GetItemStyleNo(caretItemNo) != newCurrent &&
            !ItemHasProtection(caretItemNo, TRVProtectOption::rvprStyleProtect)) {
            TRVEditTransaction tx(*this, TRVEditRange::CaretParas(*this), rvutStyleNo);
            tx.NoteWidestParas();
            RestyleTextItem(caretItemNo, newCurrent);
            tx.Reformat(caretItemNo, 1);
            editor->SetCurTextStyleNo(newCurrent);
            tx.Commit();
        }
        editor->SetCurTextStyleNo(newCurrent);
        return;
    }
    int startNo, startOffs, endNo, endOffs;
    GetSelectionBounds(startNo, startOffs, endNo, endOffs, true);
    if (startNo < 0 || endNo < 0) return;
    TRVEditTransaction tx(*this, TRVEditRange::ItemParas(*this, startNo, endNo), rvutStyleNo);
    tx.NoteWidestParas();
    // An item's own conversion (a table's cells) joins this step.
    tx.HoldGroup();
    const bool keepTag = !editor->EditorOptions.Contains(TRVEditorOption::rvoClearTagOnStyleApp);
    // The selection's ends follow their items (found again by object once all cuts are done).
    TCustomRVItemInfo* startItem = GetItem(startNo);
    TCustomRVItemInfo* endItem = GetItem(endNo);
    int newStartOffs = startOffs, newEndOffs = endOffs;
    // Backwards, so that cutting an item leaves the indices of the items before it alone.
    for (int i = endNo; i >= startNo; --i) {
        const int styleNo = GetItemStyleNo(i);
        if (styleNo < 0) {
            GetItem(i)->ApplyStyleConversion(this, i, userValue, true);
            continue;
        }
        const int length = GetItemCharCount(i);
        const int from = i == startNo ? std::max(startOffs, 1) : 1;
        const int to = i == endNo ? std::min(endOffs, length + 1) : length + 1;
        if (from >= to && length > 0) continue;
        if (ItemHasProtection(i, TRVProtectOption::rvprStyleProtect)) continue;
        const int newStyle = ConvertTextStyle(styleNo, userValue, true);
        if (newStyle == styleNo) continue;
        const bool head = from > 1, tail = to <= length;
        TCustomRVItemInfo* restyled;
        if (!head && !tail) {
            RestyleTextItem(i, newStyle);
            restyled = GetItem(i);
        } else if (!head) {
            // The selected head becomes an item of its own in the new style.
            SplitOffHead(i, to, newStyle, keepTag);
            restyled = GetItem(i);
        } else if (!tail) {
            SplitOffTail(i, from, newStyle, keepTag);
            restyled = GetItem(i + 1);
        } else {
            // The middle: head and tail keep the old style around the restyled middle.
            SplitOffTail(i, to, styleNo, true);
            const int middle = SplitOffHead(i, from, styleNo, true);
            RestyleTextItem(middle, newStyle);
            restyled = GetItem(middle);
        }
        if (i == startNo && head) {
            startItem = restyled;
            newStartOffs = 1;
        }
        if (i == endNo && tail) {
            endItem = restyled;
            newEndOffs = ItemEndOffset(FindItemIndex(restyled));
        }
    }
    int newStart = FindItemIndex(startItem), newEnd = FindItemIndex(endItem);
    MergeAroundRange(newStart, newStartOffs, newEnd, newEndOffs);
    tx.Reformat(newEnd, newEndOffs);
    SetSelection(newStart, newStartOffs, newEnd, newEndOffs);
    CaretToSelectionEnd();
    editor->SetCurTextStyleNo(newCurrent);
    tx.Commit();
}

void TRVEditRVData::ApplyParaStyleConversion(bool convert, int value) {
    TRVStyle* style = GetRVStyle();
    if (!style || ChosenItem || ItemCount() == 0) return;
    int startNo, startOffs, endNo, endOffs;
    GetSelectionOrCaret(true, startNo, startOffs, endNo, endOffs);
    if (startNo < 0 || endNo < 0) return;
    if (!convert && !style->HasParaStyle(value)) return;
    int first = startNo, last = endNo;
    GetParagraphItemRangeOf(first, last);
    TRVEditTransaction tx(*this, TRVEditRange::ItemParas(*this, first, last), rvutPara);
    bool& full = tx.Full;
    if (convert) {
        TCustomRichViewEdit* editor = Editor();
        std::vector<int32_t> paraNos;
        for (int i = first; i <= last; ++i) {
            int newPara = GetItemParaNo(i);
            if (editor->OnParaStyleConversion)
                editor->OnParaStyleConversion(editor, newPara, value, false, newPara);
            if (!style->HasParaStyle(newPara)) newPara = GetItemParaNo(i);
            paraNos.push_back(newPara);
        }
        SetParaStylesFromListUndoable(first, paraNos, full);
    } else {
        SetParaStyleRangeUndoable(first, last, value, full);
    }
    tx.Reformat(endNo, endOffs);
    if (startNo != endNo || startOffs != endOffs) {
        SetSelection(startNo, startOffs, endNo, endOffs);
        CaretToSelectionEnd();
    }
    tx.Commit();
}

} // namespace epc
