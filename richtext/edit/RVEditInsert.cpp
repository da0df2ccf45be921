// Inserting at the caret: one item, plain text cut into paragraphs and lines, RVF and RTF
// documents; the inserted content is joined with its neighbours, re-formatted and the caret put
// behind it. Every change goes through the undoable primitives, in one undo group.

#include "richtext/edit/RVERVData.h"

#include <algorithm>
#include <utility>

#include "platform/core/Exceptions.h"
#include "platform/core/ScopeGuard.h"
#include "richtext/document/RVRTFReader.h"
#include "richtext/document/RVUni.h"
#include "richtext/edit/RVEdit.h"
#include "richtext/edit/RVEditTransaction.h"

namespace epc {

namespace {

bool IsFullLineItem(const TCustomRVItemInfo* item) {
    return !item->GetKindFlag(rvifCanBeInsideParagraph);
}

} // namespace

std::string WideToLEBytes(const std::u16string& text) {
    std::string bytes(text.size() * 2, '\0');
    for (size_t i = 0; i < text.size(); ++i) {
        bytes[2 * i] = char(text[i] & 0xFF);
        bytes[2 * i + 1] = char(text[i] >> 8);
    }
    return bytes;
}

// ---------------------------------------------------------------------------------------------
// Questions about the caret and the item list.

bool TRVEditRVData::ParaIsReadOnly(int paraNo) const {
    TRVStyle* style = GetRVStyle();
    return style &&
           style->ParaStyles.GetItem(paraNo).Options.Contains(TRVParaOption::rvpaoReadOnly);
}

bool TRVEditRVData::ItemHasProtection(int itemNo, TRVProtectOption option) const {
    if (itemNo < 0 || itemNo >= ItemCount()) return false;
    const int styleNo = GetItemStyleNo(itemNo);
    TRVStyle* style = GetRVStyle();
    if (styleNo < 0 || !style) return false;
    return style->TextStyles.GetItem(styleNo).Protection.Contains(option);
}

bool TRVEditRVData::InsertionSticks(int afterItemNo) const {
    const int count = ItemCount();
    bool sticks;
    if (count == 0)
        sticks = false;
    else if (afterItemNo < 0)
        sticks = ItemHasProtection(0, TRVProtectOption::rvprSticking);
    else if (afterItemNo >= count - 1)
        sticks = ItemHasProtection(count - 1, TRVProtectOption::rvprSticking);
    else
        sticks = ItemHasProtection(afterItemNo, TRVProtectOption::rvprSticking) &&
                 ItemHasProtection(afterItemNo + 1, TRVProtectOption::rvprSticking);
    if (sticks) BeepIfUseSound();
    return sticks;
}

std::unique_ptr<TCustomRVItemInfo> TRVEditRVData::NewTextItemLike(int itemNo) const {
    const TCustomRVItemInfo* source = GetItem(itemNo);
    auto item = std::make_unique<TRVTextItemInfo>(const_cast<TRVEditRVData*>(this));
    item->StyleNo = source->StyleNo;
    item->ParaNo = source->ParaNo;
    item->Tag = CopyTagValue(source->Tag, TagsArePChars());
    item->ItemOptions = uint8_t(rvioSameAsPrev | (source->ItemOptions & rvioUnicode));
    return item;
}

std::unique_ptr<TCustomRVItemInfo> TRVEditRVData::NewTextItem(int styleNo, int paraNo) const {
    auto item = std::make_unique<TRVTextItemInfo>(const_cast<TRVEditRVData*>(this));
    item->StyleNo = styleNo;
    item->ParaNo = paraNo;
    TRVStyle* style = GetRVStyle();
    if (style && styleNo >= 0 && style->TextStyles.GetItem(styleNo).Unicode)
        item->ItemOptions |= rvioUnicode;
    return item;
}

void TRVEditRVData::DropLastUndoGroup() {
    if (UndoList->Count() == 0) return;
    const int caretItemNo = UndoList->LastGroup()->CaretItemNo;
    const int caretOffs = UndoList->LastGroup()->CaretOffs;
    // Replayed into no list, so nothing of it stays anywhere.
    UndoDest = rvudNone;
    const int level = std::exchange(UndoList->GroupModeLevel, 0);
    auto restore = epc::Finally([&] { UndoList->GroupModeLevel = level; });
    UndoList->Undo(this, nullptr);
    if (DrawItems.Count() > 0 && caretItemNo >= 0 && caretItemNo < ItemCount())
        PlaceCaretAt(caretItemNo, std::clamp(caretOffs, ItemStartOffset(caretItemNo),
                                             ItemEndOffset(caretItemNo)));
}

// ---------------------------------------------------------------------------------------------
// One item.

bool TRVEditRVData::InsertItemObjectAt(int index, std::string text,
                                       std::unique_ptr<TCustomRVItemInfo> item, bool atCaret) {
    if (!atCaret) return InsertItemObjectAt(index, std::move(text), std::move(item));
    int insertedIndex;
    bool fullReformat = false;
    if (InsertItemAtCaret(std::move(item), std::move(text), insertedIndex, fullReformat))
        return true;
    BeepIfUseSound();
    return false;
}

bool TRVEditRVData::PrepareCaretPlace(TCustomRVItemInfo& newItem, int caretItemNo, int caretOffs,
                                      TRVCaretPlace& place, bool& fullReformat) {
    const bool marker = newItem.StyleNo == rvsListMarker;
    const bool fullLine = IsFullLineItem(&newItem);
    TCustomRVItemInfo* caretItem = GetItem(caretItemNo);
    const bool caretIsText = caretItem->StyleNo >= 0;
    if (!caretIsText) {
        // 3. The caret stands before or after a non-text item. A marker at the caret is
        // refused: the caller keeps nothing of it.
        if (marker) return false;
        if (caretOffs >= 1) {
            if (InsertionSticks(caretItemNo)) return false;
            place.Index = caretItemNo + 1;
            if (IsFullLineItem(caretItem)) {
                newItem.ItemOptions = uint8_t(newItem.ItemOptions & ~(rvioSameAsPrev | rvioBR));
                newItem.ParaNo = CurParaStyleNo;
            }
        } else {
            if (InsertionSticks(caretItemNo - 1)) return false;
            place.Index = caretItemNo;
            if (caretItem->GetJoinsPrevious()) {
                if (fullLine) KeepMarkerLine(caretItemNo, place, fullReformat);
            } else if (!fullLine) {
                // The new item takes over the caret item's line start.
                newItem.ItemOptions = uint8_t(
                    (newItem.ItemOptions & ~(rvioSameAsPrev | rvioBR | rvioPageBreakBefore)) |
                    (caretItem->ItemOptions & (rvioBR | rvioPageBreakBefore)));
                place.JoinAfterInsert = place.Index + 1;
            }
        }
    } else if (GetItemText(caretItemNo).empty()) {
        // 4. An empty text item: the new item takes its place.
        if (InsertionSticks(caretItemNo - 1) || InsertionSticks(caretItemNo)) return false;
        if (marker) ContinueListAbove(static_cast<TRVMarkerItemInfo&>(newItem), caretItemNo);
        const bool behindMarker = caretItemNo > 0 &&
                                  GetItemStyleNo(caretItemNo - 1) == rvsListMarker &&
                                  caretItem->GetJoinsPrevious();
        if (fullLine && behindMarker) {
            place.Index = caretItemNo + 1;
        } else if (marker) {
            // A marker starts the empty item's paragraph; the empty item stays behind it as
            // the paragraph's text, where the caret goes. A marker already there gives way.
            place.Index = caretItemNo;
            const TCustomRVItemInfo* start = behindMarker ? GetItem(caretItemNo - 1) : caretItem;
            newItem.ItemOptions =
                uint8_t((newItem.ItemOptions & ~(rvioSameAsPrev | rvioBR | rvioPageBreakBefore)) |
                        (start->ItemOptions & rvioPageBreakBefore));
            newItem.ParaNo = CurParaStyleNo;
            place.JoinAfterInsert = caretItemNo + 1;
            if (behindMarker) {
                bool unused = false;
                DeleteItemUndoable(caretItemNo - 1, unused);
                --place.Index;
                --place.JoinAfterInsert;
            }
        } else {
            place.Index = caretItemNo;
            uint8_t taken =
                caretItem->ItemOptions & (rvioSameAsPrev | rvioBR | rvioPageBreakBefore);
            if (fullLine) taken &= uint8_t(~(rvioSameAsPrev | rvioBR));
            newItem.ItemOptions = uint8_t(
                (newItem.ItemOptions & ~(rvioSameAsPrev | rvioBR | rvioPageBreakBefore)) | taken);
            newItem.ParaNo = CurParaStyleNo;
            place.DeleteAfterInsert = caretItemNo + 1;
        }
    } else {
        // 5. A text item with text: a marker is refused.
        if (marker) return false;
        const int start = ItemStartOffset(caretItemNo), end = ItemEndOffset(caretItemNo);
        if (caretOffs <= start) {
            if (InsertionSticks(caretItemNo - 1)) return false;
            place.Index = caretItemNo;
            if (fullLine && caretItem->GetJoinsPrevious()) {
                // Behind a marker as before a non-text item: the marker keeps a line of its own.
                KeepMarkerLine(caretItemNo, place, fullReformat);
            } else if (caretItem->StartsParagraph() || caretItem->GetLineBreakBefore()) {
                if (!fullLine) {
                    newItem.ItemOptions = uint8_t(
                        (newItem.ItemOptions & ~(rvioSameAsPrev | rvioBR | rvioPageBreakBefore)) |
                        (caretItem->ItemOptions & (rvioBR | rvioPageBreakBefore)));
                    place.JoinAfterInsert = place.Index + 1;
                }
            }
        } else if (caretOffs >= end) {
            if (InsertionSticks(caretItemNo)) return false;
            place.Index = caretItemNo + 1;
        } else {
            if (ItemHasProtection(caretItemNo, TRVProtectOption::rvprModifyProtect)) return false;
            // The characters after the caret become an item of their own behind the new one.
            const std::string tail =
                CopyItemTextChars(GetItemText(caretItemNo), caretItem->ItemOptions, caretOffs,
                                  GetItemCharCount(caretItemNo) - caretOffs + 1);
            auto tailItem = NewTextItemLike(caretItemNo);
            DeleteSubstringUndoable(caretItemNo, caretOffs, -1);
            InsertItemUndoable(caretItemNo + 1, tail, std::move(tailItem), false, fullReformat);
            place.Index = caretItemNo + 1;
        }
        if (newItem.StyleNo == caretItem->StyleNo && newItem.Tag.IsEmpty())
            newItem.Tag = CopyTagValue(caretItem->Tag, TagsArePChars());
    }
    return true;
}

void TRVEditRVData::KeepMarkerLine(int caretItemNo, TRVCaretPlace& place, bool& fullReformat) {
    if (caretItemNo <= 0 || GetItemStyleNo(caretItemNo - 1) != rvsListMarker) return;
    // A full-line item cannot follow a marker: an empty line keeps the marker's, or the marker
    // would stand alone where no caret reaches.
    auto empty = NewTextItem(CurTextStyleNo, GetItemParaNo(caretItemNo - 1));
    empty->SetJoinsPrevious(true);
    InsertItemUndoable(caretItemNo, "", std::move(empty), false, fullReformat);
    place.Index = caretItemNo + 1;
}

void TRVEditRVData::ContinueListAbove(TRVMarkerItemInfo& marker, int caretItemNo) const {
    TRVStyle* style = GetRVStyle();
    if (!style || marker.ListNo < 0 || marker.ListNo >= style->ListStyles.Count()) return;
    const TRVListInfo& list = style->ListStyles[marker.ListNo];
    if (!list.HasNumberedLevels()) return;
    // The paragraph before the caret's, past a marker the new one replaces.
    const int paraStart = GetParagraphStartItem(caretItemNo);
    if (paraStart <= 0) return;
    const int above = GetParagraphStartItem(paraStart - 1);
    const auto* aboveMarker = dynamic_cast<const TRVMarkerItemInfo*>(GetItem(above));
    if (!aboveMarker || aboveMarker->ListNo == marker.ListNo || aboveMarker->ListNo < 0 ||
        aboveMarker->ListNo >= style->ListStyles.Count())
        return;
    // An equal list style is the same list to the reader: numbering goes on.
    if (style->ListStyles[aboveMarker->ListNo].IsEqual(list)) marker.ListNo = aboveMarker->ListNo;
}

bool TRVEditRVData::InsertItemAtCaret(std::unique_ptr<TCustomRVItemInfo> item, std::string text,
                                      int& insertedIndex, bool& fullReformat) {
    insertedIndex = -1;
    if (!item || !GetRVStyle()) return false;
    TRVStyle* style = GetRVStyle();
    TCustomRVItemInfo* newItem = item.get();
    const bool marker = newItem->StyleNo == rvsListMarker;
    const bool fullLine = IsFullLineItem(newItem);
    const int rememberedPara = style->HasParaStyle(newItem->ParaNo) ? newItem->ParaNo : -1;
    const int caretItemNo = CaretItemIndex();
    const int caretOffs = CaretItemOffset();
    // 1. A full-line item, a list marker and the first item of an unformatted document start
    // a paragraph; the rest joins the caret's line.
    const bool ownParagraph = DrawItems.Count() == 0 || caretItemNo < 0 || fullLine || marker;
    if (ownParagraph) {
        newItem->ItemOptions = uint8_t(newItem->ItemOptions & ~(rvioSameAsPrev | rvioBR));
        newItem->ParaNo = CurParaStyleNo;
    } else {
        newItem->SetJoinsPrevious(true);
        newItem->ParaNo = GetItemParaNo(caretItemNo);
    }
    if (caretItemNo < 0 || caretItemNo >= ItemCount()) {
        // Nothing to stand on: the item ends the document.
        insertedIndex = ItemCount();
        newItem->ItemOptions = uint8_t(newItem->ItemOptions & ~(rvioSameAsPrev | rvioBR));
        InsertItemUndoable(insertedIndex, text, std::move(item), false, fullReformat);
        fullReformat = true;
        return true;
    }
    // 2. A read-only paragraph takes nothing.
    if (ParaIsReadOnly(GetItemParaNo(caretItemNo))) return false;

    TRVCaretPlace place;
    if (!PrepareCaretPlace(*newItem, caretItemNo, caretOffs, place, fullReformat)) return false;
    const int index = place.Index;
    const bool isBreak = newItem->StyleNo == rvsBreak;
    const bool hasFollower = index < ItemCount();
    // 7. In it goes.
    InsertItemUndoable(index, std::move(text), std::move(item), false, fullReformat);
    insertedIndex = index;
    if (place.DeleteAfterInsert >= 0 && place.DeleteAfterInsert < ItemCount())
        DeleteItemUndoable(place.DeleteAfterInsert, fullReformat);
    if (place.JoinAfterInsert >= 0 && place.JoinAfterInsert < ItemCount())
        SetJoinsPreviousUndoable(place.JoinAfterInsert, true, -1, fullReformat);
    // 6. Behind a full-line item the next item starts a paragraph of its own.
    if (fullLine && hasFollower && index + 1 < ItemCount() &&
        !GetItem(index + 1)->StartsParagraph()) {
        SetLineBreakUndoable(index + 1, false, fullReformat);
        SetJoinsPreviousUndoable(index + 1, false, isBreak ? 0 : -1, fullReformat);
    }
    // 8. The paragraph takes the style the item brought along.
    if (rememberedPara >= 0 && !isBreak && GetItemParaNo(index) != rememberedPara) {
        int first = index, last = index;
        GetParagraphItemRangeOf(first, last);
        SetParaStyleRangeUndoable(first, last, rememberedPara, fullReformat);
    }
    return true;
}

void TRVEditRVData::GetParagraphItemRangeOf(int& first, int& last) const {
    first = GetParagraphStartItem(first);
    while (last + 1 < ItemCount() && !GetItem(last + 1)->StartsParagraph())
        ++last;
}

bool TRVEditRVData::EmptyTextRunsOn(int itemNo) const {
    return itemNo >= 0 && itemNo + 1 < ItemCount() && GetItemStyleNo(itemNo) >= 0 &&
           GetItemStyleNo(itemNo + 1) >= 0 && GetItemText(itemNo).empty() &&
           GetItem(itemNo + 1)->GetJoinsPrevious() &&
           !ItemHasProtection(itemNo + 1, TRVProtectOption::rvprConcateProtect);
}

bool TRVEditRVData::InsertItem(std::unique_ptr<TCustomRVItemInfo> item, std::string text,
                               bool caretBefore) {
    if (!item) return false;
    if (ChosenItem || !GetRVStyle()) {
        BeepIfUseSound();
        return false;
    }
    if (item->StyleNo != rvsBreak) item->ParaNo = CurParaStyleNo;
    TRVEditTransaction tx(*this, TRVEditRange::CaretParas(*this), rvutInsert);
    int index = -1;
    if (!InsertItemAtCaret(std::move(item), std::move(text), index, tx.Full)) {
        BeepIfUseSound();
        return false;
    }
    tx.Commit(index, caretBefore ? ItemStartOffset(index) : ItemEndOffset(index));
    return true;
}

bool TRVEditRVData::InsertNewTextItem(const std::string& text, int styleNo) {
    auto item = NewTextItem(styleNo, CurParaStyleNo);
    return InsertItem(std::move(item), text, false);
}

// ---------------------------------------------------------------------------------------------
// Plain text.

namespace {

// Cuts ANSI text at CR LF (a CR alone ends the paragraph too; an LF alone is a character).
std::vector<TRVInsertLine> SplitAnsiLines(const std::string& text) {
    std::vector<TRVInsertLine> lines(1);
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r') {
            if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
            lines.emplace_back().NewParagraph = true;
        } else {
            lines.back().Text += c;
        }
    }
    return lines;
}

// Cuts UTF-16 text at paragraph separators (U+2029, CR, LF; CR LF and LF CR count once), line
// separators (U+2028, U+000B, U+0000) and form feeds (a page break before the next paragraph).
std::vector<TRVInsertLine> SplitWideLines(const std::u16string& text) {
    std::vector<TRVInsertLine> lines(1);
    std::u16string current;
    bool pageBreak = false;
    auto flush = [&](bool paragraph) {
        lines.back().Text = WideToLEBytes(current);
        current.clear();
        TRVInsertLine& next = lines.emplace_back();
        next.NewParagraph = paragraph;
        if (paragraph && pageBreak) {
            next.PageBreak = true;
            pageBreak = false;
        }
    };
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        switch (c) {
        case u'\r':
        case u'\n': {
            const char16_t pair = c == u'\r' ? u'\n' : u'\r';
            if (i + 1 < text.size() && text[i + 1] == pair) ++i;
            flush(true);
            break;
        }
        case 0x2029:
            flush(true);
            break;
        case 0x2028:
        case 0x000B:
        case 0x0000:
            flush(false);
            break;
        case 0x000C:
            pageBreak = true;
            if (!current.empty())
                flush(true);
            else if (lines.size() > 1 && lines.back().NewParagraph) {
                lines.back().PageBreak = true;
                pageBreak = false;
            }
            break;
        default:
            current += c;
        }
    }
    lines.back().Text = WideToLEBytes(current);
    return lines;
}

} // namespace

bool TRVEditRVData::InsertTextA(const std::string& text, bool caretBefore) {
    if (text.empty()) {
        Invalidate();
        return true;
    }
    std::vector<TRVInsertLine> lines = SplitAnsiLines(text);
    return InsertLinesInStyleEncoding(lines, false, caretBefore);
}

bool TRVEditRVData::InsertTextW(const std::string& utf16, bool caretBefore) {
    CheckEvenUnicodeLength(utf16);
    if (utf16.empty()) {
        Invalidate();
        return true;
    }
    std::vector<TRVInsertLine> lines = SplitWideLines(LEBytesToWide(utf16));
    return InsertLinesInStyleEncoding(lines, true, caretBefore);
}

bool TRVEditRVData::InsertLinesInStyleEncoding(std::vector<TRVInsertLine>& lines, bool wide,
                                               bool caretBefore) {
    TRVStyle* style = GetRVStyle();
    if (!style) return false;
    const int styleNo = CurTextStyleNo;
    const bool unicode = style->TextStyles.GetItem(styleNo).Unicode;
    const uint32_t codePage = CodePageOfStyle(styleNo);
    for (TRVInsertLine& line : lines) {
        if (wide) {
            line.Text = ExpandTabsW(line.Text, style->SpacesInTab);
            if (!unicode) line.Text = UnicodeToAnsiCP(line.Text, codePage);
        } else {
            line.Text = ExpandTabsA(line.Text, style->SpacesInTab);
            if (unicode) line.Text = AnsiToUnicodeCP(line.Text, codePage);
        }
    }
    return InsertLines(lines, caretBefore);
}

bool TRVEditRVData::InsertLines(std::vector<TRVInsertLine>& lines, bool caretBefore) {
    if (ChosenItem) {
        BeepIfUseSound();
        return false;
    }
    // Nothing but breaks with no text around them (a lone form feed) inserts nothing.
    if (lines.size() == 1 && lines[0].Text.empty()) {
        Invalidate();
        return true;
    }
    TRVEditTransaction tx(*this, TRVEditRange::CaretParas(*this), rvutInsert);
    const int styleNo = CurTextStyleNo;
    int first = -1;
    if (!InsertItemAtCaret(NewTextItem(styleNo, CurParaStyleNo), lines[0].Text, first, tx.Full)) {
        BeepIfUseSound();
        return false;
    }
    // A paragraph of a list continues the list: each new paragraph gets a copy of its marker
    // (one that goes on with the numbering and brings no checkpoint along).
    const int paraStart = GetParagraphStartItem(first);
    const bool listMarker = GetItemStyleNo(paraStart) == rvsListMarker;
    const std::string markerText = listMarker ? GetItemText(paraStart) : std::string();
    const int paraNo = GetItemParaNo(first);
    int last = first;
    for (size_t i = 1; i < lines.size(); ++i) {
        const TRVInsertLine& line = lines[i];
        if (line.NewParagraph && listMarker) {
            auto copy = CopyParagraphMarker(paraStart);
            if (line.PageBreak) copy->ItemOptions |= rvioPageBreakBefore;
            copy->ParaNo = paraNo;
            InsertItemObjectAt(++last, markerText, std::move(copy));
        }
        auto item = NewTextItem(styleNo, paraNo);
        if (!line.NewParagraph)
            item->SetLineBreakBefore(true);
        else if (listMarker)
            item->SetJoinsPrevious(true);
        else if (line.PageBreak)
            item->SetPageBreakBefore(true);
        InsertItemObjectAt(++last, line.Text, std::move(item));
    }
    FinishInsertion(tx, first, last, caretBefore);
    return true;
}

void TRVEditRVData::FinishInsertion(TRVEditTransaction& tx, int first, int last, bool caretBefore) {
    bool& fullReformat = tx.Full;
    // 1. The items behind the first went into the list directly: one record covers them, and
    // the paragraph part after them now belongs to the last one's paragraph.
    if (last > first) AddInsertItemsUndo(first + 1, last - first);
    FinishInsertedItems(first, last, {}, fullReformat);
    // 2. Join the ends with their neighbours of the same style.
    int caretItemNo = caretBefore ? first : last;
    int caretOffs = caretBefore ? ItemStartOffset(first) : ItemEndOffset(last);
    if (CanMergeTextItems(last, last + 1) || EmptyTextRunsOn(last))
        MergeTextItemsUndoable(last, fullReformat);
    if (first < last && first > 0 && GetItemText(first).empty() &&
        GetItem(first)->GetJoinsPrevious() && GetItemStyleNo(first - 1) != rvsListMarker) {
        // Text that begins with a break leaves nothing of its first line (behind a list marker
        // the empty item keeps the marker's line).
        DeleteItemUndoable(first, fullReformat);
        if (caretItemNo == first) {
            caretItemNo = first - 1;
            caretOffs = ItemEndOffset(first - 1);
        } else {
            --caretItemNo;
        }
        --last;
    } else if (first > 0 && CanMergeTextItems(first - 1, first)) {
        const int headLength = GetItemCharCount(first - 1);
        MergeTextItemsUndoable(first - 1, fullReformat);
        if (caretItemNo == first) caretOffs += headLength;
        --caretItemNo;
        --first;
        --last;
    }
    ClampItemIndex(caretItemNo);
    // 3. Re-format, 4. the caret.
    tx.Commit(caretItemNo, caretOffs);
}

// ---------------------------------------------------------------------------------------------
// Documents: RVF and RTF.

void TRVEditRVData::FindDocumentInsertionPoint(TRVDocInsertPoint& p) {
    p = TRVDocInsertPoint();
    const int caretItemNo = CaretItemIndex();
    if (caretItemNo < 0 || caretItemNo >= ItemCount()) {
        p.Index = ItemCount();
        p.AtLineStart = true;
        return;
    }
    const int offs = CaretItemOffset();
    const TCustomRVItemInfo* item = GetItem(caretItemNo);
    p.ParaReadOnly = ParaIsReadOnly(item->ParaNo);
    if (item->StyleNo >= 0) {
        const int start = ItemStartOffset(caretItemNo), end = ItemEndOffset(caretItemNo);
        if (GetItemText(caretItemNo).empty()) {
            p.Index = caretItemNo + 1;
            p.EmptyItem = caretItemNo;
            p.AtLineStart = !item->GetJoinsPrevious();
        } else if (offs <= start) {
            p.Index = caretItemNo;
            p.AtLineStart = !item->GetJoinsPrevious();
            p.Tail = caretItemNo;
        } else if (offs >= end) {
            p.Index = caretItemNo + 1;
        } else {
            p.Index = caretItemNo + 1;
            p.SplitItem = caretItemNo;
            p.SplitOffs = offs;
        }
    } else if (offs >= 1) {
        p.Index = caretItemNo + 1;
        p.AtLineStart = IsFullLineItem(item);
    } else {
        p.Index = caretItemNo;
        p.AtLineStart = !item->GetJoinsPrevious();
        p.Tail = caretItemNo;
    }
    // The item that stood at the insertion point and continued the caret's line follows the
    // inserted content.
    if (p.Tail < 0 && p.Index < ItemCount() && GetItem(p.Index)->GetJoinsPrevious())
        p.Tail = p.Index;
    p.TailJoined = p.Tail >= 0 && p.Index < ItemCount() && GetItem(p.Index)->GetJoinsPrevious();
}

bool TRVEditRVData::CheckDocumentInsertion(const TRVDocInsertPoint& p) {
    if (ChosenItem || !GetRVStyle() || p.ParaReadOnly || InsertionSticks(p.Index - 1)) {
        BeepIfUseSound();
        return false;
    }
    return true;
}

void TRVEditRVData::FinishDocumentInsertion(TRVEditTransaction& tx, const TRVDocInsertPoint& p,
                                            int first, int last) {
    bool& full = tx.Full;
    // The caret's text item is cut at the caret; its tail follows the inserted content.
    int tail = -1;
    if (p.SplitItem >= 0) {
        const int offs = p.SplitOffs;
        const TCustomRVItemInfo* item = GetItem(p.SplitItem);
        const std::string tailText =
            CopyItemTextChars(GetItemText(p.SplitItem), item->ItemOptions, offs,
                              GetItemCharCount(p.SplitItem) - offs + 1);
        auto tailItem = NewTextItemLike(p.SplitItem);
        // Behind a table or a break the tail starts a paragraph of its own.
        if (IsFullLineItem(GetItem(last))) tailItem->SetJoinsPrevious(false);
        DeleteSubstringUndoable(p.SplitItem, offs, -1);
        InsertItemUndoable(last + 1, tailText, std::move(tailItem), false, full);
        tail = last + 1;
    } else if (p.Tail >= 0) {
        tail = last + 1;
    }
    // Inside a line the first inserted paragraph continues the caret's line; the last one
    // runs on into the rest of it.
    if (!p.AtLineStart && first > 0 && GetItem(first)->StartsParagraph() &&
        !IsFullLineItem(GetItem(first)) && !IsFullLineItem(GetItem(first - 1)))
        SetJoinsPreviousUndoable(first, true, -1, full);
    if (tail >= 0 && tail < ItemCount() && !IsFullLineItem(GetItem(last)) &&
        !IsFullLineItem(GetItem(tail)) && GetItem(tail)->StartsParagraph() &&
        (p.SplitItem >= 0 || p.TailJoined || p.AtLineStart))
        SetJoinsPreviousUndoable(tail, true, -1, full);
    // An empty line at the caret gives way to the content.
    if (p.EmptyItem >= 0 && p.EmptyItem == first - 1 && GetItemStyleNo(p.EmptyItem) >= 0 &&
        GetItemText(p.EmptyItem).empty()) {
        if (!GetItem(p.EmptyItem)->GetJoinsPrevious() && GetItem(first)->GetJoinsPrevious()) {
            // The content takes over the empty item's line start.
            SetJoinsPreviousUndoable(first, false, -1, full);
        }
        if (GetItem(p.EmptyItem)->GetJoinsPrevious() && !GetItem(first)->GetJoinsPrevious() &&
            !IsFullLineItem(GetItem(first)) && p.EmptyItem > 0 &&
            GetItemStyleNo(p.EmptyItem - 1) == rvsListMarker)
            SetJoinsPreviousUndoable(first, true, -1, full);
        DeleteItemUndoable(p.EmptyItem, full);
        --first;
        --last;
    }
    // The paragraph part behind the content belongs to its last paragraph.
    FinishInsertedItems(first, last, {}, full);
    int caretItemNo = last;
    int caretOffs = ItemEndOffset(last);
    MergeInsertedRange(first, last, caretItemNo, caretOffs, full);
    ClampItemIndex(caretItemNo);
    tx.Commit(caretItemNo, caretOffs);
}

void TRVEditRVData::MergeInsertedRange(int& first, int& last, int& caretItemNo, int& caretOffs,
                                       bool& fullReformat) {
    // Behind the range.
    if (CanMergeTextItems(last, last + 1)) {
        MergeTextItemsUndoable(last, fullReformat);
    } else if (last + 1 < ItemCount() && IsFullLineItem(GetItem(last + 1)) &&
               GetItem(last + 1)->GetJoinsPrevious()) {
        SetJoinsPreviousUndoable(last + 1, false, GetItemParaNo(last), fullReformat);
    }
    // Inside the range.
    for (int i = last - 1; i >= first; --i) {
        if (!CanMergeTextItems(i, i + 1)) continue;
        if (caretItemNo == i + 1) {
            caretOffs += GetItemCharCount(i);
            caretItemNo = i;
        } else if (caretItemNo > i + 1) {
            --caretItemNo;
        }
        MergeTextItemsUndoable(i, fullReformat);
        --last;
    }
    // Before the range.
    if (first > 0 && CanMergeTextItems(first - 1, first)) {
        if (caretItemNo == first) caretOffs += GetItemCharCount(first - 1);
        MergeTextItemsUndoable(first - 1, fullReformat);
        --caretItemNo;
        --first;
        --last;
    } else if (first > 0 && GetItem(first)->GetJoinsPrevious() && GetItemStyleNo(first - 1) >= 0 &&
               GetItemText(first - 1).empty()) {
        DeleteItemUndoable(first - 1, fullReformat);
        --caretItemNo;
        --first;
        --last;
    }
}

bool TRVEditRVData::InsertDocumentAtCaret(const TRVDocumentReader& readDocument) {
    InsertedPart = false;
    TRVDocInsertPoint p;
    FindDocumentInsertionPoint(p);
    if (!CheckDocumentInsertion(p)) return false;
    TRVEditTransaction tx(*this, TRVEditRange::CaretParas(*this), rvutInsert);
    // The reader itself makes the item behind a full-line item start a paragraph; that change
    // is made again here, undoably, or undo would leave the item cut off its line.
    const TCustomRVItemInfo* follower = p.Index < ItemCount() ? GetItem(p.Index) : nullptr;
    const uint8_t followerOptions = follower ? follower->ItemOptions : 0;
    int first = -1, last = -1;
    const bool read = readDocument(p.Index, first, last, tx.Full);
    if (first < 0 || last < first) {
        if (!read) BeepIfUseSound();
        return read;
    }
    // A reader that failed halfway leaves what it read before the failure: it is recorded in
    // this step like a whole document, and the whole document is laid out again.
    if (!read) {
        tx.Full = true;
        InsertedPart = true;
    }
    AddInsertItemsUndo(first, last - first + 1);
    if (follower && last + 1 < ItemCount() && GetItem(last + 1) == follower &&
        follower->ItemOptions != followerOptions) {
        const bool joins = follower->GetJoinsPrevious();
        GetItem(last + 1)->ItemOptions = followerOptions;
        SetJoinsPreviousUndoable(last + 1, joins, -1, tx.Full);
    }
    FinishDocumentInsertion(tx, p, first, last);
    if (!read) BeepIfUseSound();
    return read;
}

bool TRVEditRVData::InsertRVFFromStream(TStream& stream) {
    // The reader starts from the editor's colour and takes a stored background colour over.
    RVFLoadedColor = Editor()->Color();
    const bool read = InsertDocumentAtCaret([&](int index, int& first, int& last, bool& full) {
        return RvfReadLoop(stream, index, first, last, full, false, true);
    });
    if (read && RVFLoadedColor != clNone && RVFLoadedColor != Editor()->Color())
        Editor()->SetColor(RVFLoadedColor);
    return read;
}

bool TRVEditRVData::InsertRTFFromStream(TStream& stream) {
    TRVRTFReaderProperties* properties = Editor()->GetRTFReadProperties();
    if (!properties) return false;
    return InsertDocumentAtCaret([&](int index, int& first, int& last, bool& full) {
        first = index;
        if (properties->ImportRtfStream(this, stream, index) != rtf_ec_OK) return false;
        last = index - 1;
        full = properties->FullReformat;
        return true;
    });
}

} // namespace epc
