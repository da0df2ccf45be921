// The editor's document data: caret stops, caret placement, caret movement and undo routing.

#include "richtext/edit/RVERVData.h"

#include <algorithm>
#include <climits>

#include "platform/core/ScopeGuard.h"
#include "platform/gdi/Gdi.h"
#include "platform/windows/Window.h"
#include "richtext/document/RVGraphicSupport.h"
#include "richtext/document/RVUni.h"
#include "richtext/edit/RVEdit.h"

namespace epc {

namespace {

constexpr int kCaretWidth = 1;
constexpr int kMaxCaretHeight = 1000;

} // namespace

std::u16string LEBytesToWide(const std::string& bytes) {
    std::u16string wide(bytes.size() / 2, u'\0');
    for (size_t i = 0; i < wide.size(); ++i)
        wide[i] = char16_t(uint8_t(bytes[2 * i]) | (uint8_t(bytes[2 * i + 1]) << 8));
    return wide;
}

TRVEditRVData::TRVEditRVData(TCustomRichView* richView)
    : TRichViewRVData(richView), UndoList(std::make_unique<TRVUndoList>(this)),
      RedoList(std::make_unique<TRVUndoList>(this)) {}

TRVEditRVData::~TRVEditRVData() {
    FDestroying = true;
}

TCustomRichViewEdit* TRVEditRVData::Editor() const {
    return static_cast<TCustomRichViewEdit*>(RichView);
}

// ---------------------------------------------------------------------------------------------
// Life cycle.

void TRVEditRVData::ClearFormatting() {
    CharEnds.clear();
    CaretDrawItemNo = -1;
    CaretOffs = -1;
    Resizer.reset();
    TRichViewRVData::ClearFormatting();
}

void TRVEditRVData::Clear() {
    TRichViewRVData::Clear();
    UndoList->Clear();
    RedoList->Clear();
}

void TRVEditRVData::ClearDocument() {
    Clear();
    Editor()->Modified = false;
    UndoList->Clear();
    RedoList->Clear();
    SavedTextStyleNo = 0;
    Editor()->SetCurParaStyleNo(0);
    Editor()->SetCurTextStyleNo(0);
    FTakeStylesOnNextFormat = true;
}

void TRVEditRVData::EnsureNotEmpty() {
    if (ItemCount() != 0 || !GetRVStyle()) return;
    AddTextParagraphNoTag("", CurTextStyleNo, CurParaStyleNo);
    Format(false);
    if (DrawItems.Count() > 0 && CaretDrawItemNo < 0) {
        CaretDrawItemNo = 0;
        BuildCaretLine(-1);
    }
}

void TRVEditRVData::FormatAll(bool keepPosition, bool force, bool noCaching, bool onlyTail,
                              TCanvas* canvas, int depth, bool noScroll) {
    EnsureNotEmpty();
    if (SkipFormatting != 0) {
        TRichViewRVData::FormatAll(keepPosition, force, noCaching, onlyTail, canvas, depth,
                                   noScroll);
        return;
    }
    const bool keep = GetRVStyle() && !FDestroying && keepPosition && CaretDrawItemNo >= 0 &&
                      CaretOffs >= 0 && CaretOffs < int(CharEnds.size());
    int itemNo = -1, itemOffs = 0;
    if (keep)
        DrawItemToItemPos(CharEnds[size_t(CaretOffs)].DrawItemNo,
                          CharEnds[size_t(CaretOffs)].Offset, itemNo, itemOffs);
    TRichViewRVData::FormatAll(keepPosition, force, noCaching, onlyTail, canvas, depth, noScroll);
    FLayoutClientWidth = GetClientWidth();
    int drawItemNo = -1, drawOffs = 0;
    if (keep && itemNo >= 0 && itemNo < ItemCount())
        ItemToDrawItemPos(itemNo, itemOffs, drawItemNo, drawOffs);
    if (drawItemNo >= 0) {
        RebuildAt(drawItemNo, drawOffs);
    } else if (DrawItems.Count() > 0) {
        const int first = SkipMarkerForward(0);
        RebuildAt(first, GetItemStyleNo(DrawItems[first]->ItemNo) >= 0 ? 1 : 0);
    } else {
        CaretDrawItemNo = -1;
        CaretOffs = -1;
        CharEnds.clear();
    }
    UpdateResizer();
    ShowCaret(false, false, !FTakeStylesOnNextFormat);
    FTakeStylesOnNextFormat = false;
}

// ---------------------------------------------------------------------------------------------
// Styles.

void TRVEditRVData::CollectUsedStyles(TRVIntegerList& usedText, TRVIntegerList& usedPara,
                                      TRVIntegerList& usedList) const {
    TRichViewRVData::CollectUsedStyles(usedText, usedPara, usedList);
    // The next typed text and the next paragraph take these styles: they must survive.
    if (CurTextStyleNo >= 0 && CurTextStyleNo < usedText.Count())
        usedText.SetValue(CurTextStyleNo, 1);
    if (CurParaStyleNo >= 0 && CurParaStyleNo < usedPara.Count())
        usedPara.SetValue(CurParaStyleNo, 1);
}

void TRVEditRVData::RenumberStyles(const TRVIntegerList& textMap, const TRVIntegerList& paraMap,
                                   const TRVIntegerList& listMap) {
    // A map entry is the number of deleted styles before the index plus one; 0 marks a deleted
    // style.
    auto renumber = [](int& styleNo, const TRVIntegerList& map) {
        if (styleNo >= 0 && styleNo < map.Count()) styleNo -= map[styleNo] - 1;
    };
    if (SavedTextStyleNo >= 0 && SavedTextStyleNo < textMap.Count() &&
        textMap[SavedTextStyleNo] == 0)
        SavedTextStyleNo = 0;
    else
        renumber(SavedTextStyleNo, textMap);
    SavedTextStyleNo = std::max(SavedTextStyleNo, 0);
    int textStyle = CurTextStyleNo, paraStyle = CurParaStyleNo;
    renumber(textStyle, textMap);
    renumber(paraStyle, paraMap);
    CurTextStyleNo = textStyle;
    CurParaStyleNo = paraStyle;
    // The numbers changed even when the styles did not: tell the listeners.
    Editor()->SetCurTextStyleNo(textStyle, true);
    Editor()->SetCurParaStyleNo(paraStyle, true);
    TRichViewRVData::RenumberStyles(textMap, paraMap, listMap);
}

// ---------------------------------------------------------------------------------------------
// Selection by character positions.

void TRVEditRVData::CharPosToItemPos(int charPos, int& itemNo, int& offs) const {
    itemNo = -1;
    offs = 0;
    int pos = std::max(charPos, 0);
    for (int i = 0; i < ItemCount(); ++i) {
        const int styleNo = GetItemStyleNo(i);
        if (styleNo == rvsListMarker) continue;
        // A break before the item is one position; the item starts after it.
        if (itemNo >= 0 && !GetItem(i)->GetJoinsPrevious()) {
            if (pos == 0) return;
            --pos;
        }
        itemNo = i;
        const int first = ItemStartOffset(i);
        const int count = ItemEndOffset(i) - first;
        if (pos <= count) {
            offs = first + pos;
            return;
        }
        pos -= count;
        offs = ItemEndOffset(i);
    }
}

void TRVEditRVData::SelectRange(int start, int length, bool backwards) {
    if (ItemCount() == 0 || DrawItems.Count() == 0) return;
    start = std::max(start, 0);
    length = std::max(length, 0);
    const int end = length > INT_MAX - start ? INT_MAX : start + length;
    int startNo, startOffs, endNo, endOffs;
    CharPosToItemPos(start, startNo, startOffs);
    CharPosToItemPos(end, endNo, endOffs);
    if (startNo < 0 || endNo < 0) return;
    if (backwards)
        SetSelection(endNo, endOffs, startNo, startOffs);
    else
        SetSelection(startNo, startOffs, endNo, endOffs);
    Invalidate();
}

// ---------------------------------------------------------------------------------------------
// Caret stops.

int TRVEditRVData::SkipMarkerForward(int drawItemNo) const {
    if (drawItemNo >= 0 && drawItemNo + 1 < DrawItems.Count() &&
        GetItemStyleNo(DrawItems[drawItemNo]->ItemNo) == rvsListMarker)
        return drawItemNo + 1;
    return drawItemNo;
}

void TRVEditRVData::RebuildAt(int drawItemNo, int offs) {
    CaretDrawItemNo = drawItemNo;
    BuildCaretLine(offs - 2);
}

void TRVEditRVData::BuildCaretLine(int offsetCode) {
    CharEnds.clear();
    if (CaretDrawItemNo < 0 || CaretDrawItemNo >= DrawItems.Count()) {
        CaretDrawItemNo = -1;
        CaretOffs = -1;
        return;
    }
    int first, last;
    GetScreenLineBounds(CaretDrawItemNo, first, last);
    if (GetItemStyleNo(DrawItems[first]->ItemNo) == rvsListMarker && first < last) {
        if (CaretDrawItemNo == first) {
            CaretDrawItemNo = first + 1;
            offsetCode = IsDrawItemText(first + 1) ? -1 : -2;
        }
        ++first;
    }
    // Found and not found are kept apart: any index may be a real stop on a long line.
    int caretStop = -1;
    for (int d = first; d <= last; ++d) {
        if (GetItemBiDiMode(DrawItems[d]->ItemNo) == TRVBiDiMode::rvbdUnspecified ||
            !AddPlacedStops(d, d == first, offsetCode, caretStop))
            AddMeasuredStops(d, d == first, offsetCode, caretStop);
    }
    CaretOffs = caretStop;
}

bool TRVEditRVData::AddPlacedStops(int drawItemNo, bool lineStart, int offsetCode, int& caretStop) {
    const TRVDrawLineInfo* d = DrawItems[drawItemNo];
    const int itemNo = d->ItemNo;
    const int styleNo = GetItemStyleNo(itemNo);
    TRVStyle* style = GetRVStyle();
    TCanvas* canvas = GetCanvas();
    if (styleNo < 0 || d->Length <= 0 || !style || !canvas) return false;
    std::string text = DrawItems.GetDrawItemText(drawItemNo, this);
    const bool unicode = GetItem(itemNo)->IsUnicode();
    if (style->TextStyles.GetItem(styleNo).AllCaps)
        text = ApplyAllCaps(text, unicode, true, CodePageOfStyle(styleNo));
    const TRVBiDiMode bidi = GetItemBiDiMode(itemNo);
    style->ApplyStyle(canvas, styleNo, bidi);
    FFmt.LastTextStyle = -1;
    std::vector<int> pos;
    if (!GetCharCaretPositions(canvas, text, unicode, bidi, pos) || pos.size() < 2) return false;
    const int len = int(pos.size()) - 1;
    // Stops only where characters start: a surrogate pair or a letter with its marks is
    // crossed at once.
    std::vector<bool> charStart(size_t(len) + 1, true);
    if (unicode) {
        const std::u16string wide = LEBytesToWide(text);
        charStart.assign(size_t(len) + 1, false);
        for (size_t i = 0; i < size_t(len); i = CharNextW(wide, i))
            charStart[i] = true;
        charStart[size_t(len)] = true;
    }
    const bool isCaret = drawItemNo == CaretDrawItemNo;
    bool pending = false; // the caret's code lies inside a character crossed at once
    // Position 0 of a later drawing item is the previous one's trailing stop.
    for (int k = lineStart ? 0 : 1; k <= len; ++k) {
        if (!charStart[size_t(k)]) {
            if (isCaret && offsetCode == k - 1) pending = true;
            continue;
        }
        TRVCharPos cp;
        cp.X = pos[size_t(k)] + d->Left + d->SpaceBefore;
        cp.DrawItemNo = drawItemNo;
        cp.Offset = k + 1;
        cp.MoveCaret = 0;
        CharEnds.push_back(cp);
        const bool here = k == 0 ? offsetCode < 0 : offsetCode == k - 1;
        const bool past = k == len && offsetCode > len - 1;
        if (isCaret && (here || past || pending)) caretStop = int(CharEnds.size()) - 1;
        pending = false;
    }
    if (drawItemNo + 1 == CaretDrawItemNo && offsetCode < 0) caretStop = int(CharEnds.size()) - 1;
    return true;
}

void TRVEditRVData::AddMeasuredStops(int drawItemNo, bool lineStart, int offsetCode,
                                     int& caretStop) {
    const TRVDrawLineInfo* d = DrawItems[drawItemNo];
    const int itemNo = d->ItemNo;
    const int styleNo = GetItemStyleNo(itemNo);
    const bool isText = styleNo >= 0;
    const bool rtl = GetParaBiDiMode(GetItemParaNo(itemNo)) == TRVBiDiMode::rvbdRightToLeft;
    const bool isCaret = drawItemNo == CaretDrawItemNo;
    const int L = d->Left, W = d->Width, S = d->SpaceBefore;
    auto add = [this](int x, int offset, int shift) {
        TRVCharPos cp;
        cp.X = x;
        cp.DrawItemNo = -1;
        cp.Offset = offset;
        cp.MoveCaret = shift;
        CharEnds.push_back(cp);
    };
    if (lineStart && (!isText || d->Length > 0)) {
        if (!isText && rtl)
            add(L + W, 0, 2);
        else
            add(L, isText ? 1 : 0, 1);
        CharEnds.back().DrawItemNo = drawItemNo;
        if (isCaret && offsetCode <= (isText ? -1 : -2)) caretStop = int(CharEnds.size()) - 1;
    }
    int len = 0;
    bool pending = false; // the caret's code lies inside a character crossed at once
    if (isText && d->Length > 0) {
        TRVStyle* style = GetRVStyle();
        TCanvas* canvas = GetCanvas();
        std::string text = DrawItems.GetDrawItemText(drawItemNo, this);
        const bool unicode = GetItem(itemNo)->IsUnicode();
        if (style->TextStyles.GetItem(styleNo).AllCaps)
            text = ApplyAllCaps(text, unicode, true, CodePageOfStyle(styleNo));
        std::u16string wide;
        if (unicode) wide = LEBytesToWide(text);
        len = unicode ? int(wide.size()) : int(text.size());
        std::vector<int> ext(size_t(std::max(len, 1)), 0);
        if (canvas && len > 0) {
            style->ApplyStyle(canvas, styleNo, GetItemBiDiMode(itemNo));
            FFmt.LastTextStyle = -1;
            // No cap on the extent: a trimmed trailing space has width 0, and a cap derived
            // from the width would leave the later stops unmeasured.
            MeasureTextFit(canvas, text, unicode, INT_MAX, &ext);
            ext.resize(size_t(std::max(len, 1)), ext.empty() ? 0 : ext.back());
        }
        // Stops only between whole characters: a surrogate pair or a letter with its marks
        // is crossed at once.
        std::vector<bool> charStart;
        if (unicode) {
            charStart.assign(size_t(len) + 1, false);
            for (size_t i = 0; i < size_t(len); i = CharNextW(wide, i))
                charStart[i] = true;
        }
        for (int k = 0; k <= len - 2; ++k) {
            if (unicode && !charStart[size_t(k + 1)]) {
                if (isCaret && offsetCode == k) pending = true;
                continue;
            }
            add(ext[size_t(k)] + L + S, k + 2, 1);
            CharEnds.back().DrawItemNo = drawItemNo;
            if (isCaret && (offsetCode == k || pending)) caretStop = int(CharEnds.size()) - 1;
            pending = false;
        }
    }
    if (!isText && rtl)
        add(L, 1, 1);
    else
        add(L + W, GetOffsAfterDrawItem(drawItemNo), isText ? 1 : 2);
    CharEnds.back().DrawItemNo = drawItemNo;
    const bool pastInner = isText ? offsetCode > len - 2 : offsetCode > -2;
    const bool nextStart = drawItemNo + 1 == CaretDrawItemNo && offsetCode < 0;
    if ((isCaret && (pastInner || pending)) || nextStart) caretStop = int(CharEnds.size()) - 1;
}

// ---------------------------------------------------------------------------------------------
// Caret placement.

void TRVEditRVData::HideCaret() {
    TCustomRichViewEdit* editor = Editor();
    if (CaretHeight != 0 && editor->HandleAllocated() && editor->Focused()) {
        epc::HideCaret(editor->Handle());
        DestroyCaret();
    }
    CaretHeight = 0;
}

void TRVEditRVData::ShowCaret(bool scrollIntoView, bool recheckResizer, bool keepStyles) {
    if (FDestroying || State.Contains(TRVState::rvstFormattingInProgress) ||
        State.Contains(TRVState::rvstDestroying))
        return;
    TCustomRichViewEdit* editor = Editor();
    if (recheckResizer || Resizer) RecheckResizer();
    // The caret of an item edited in place is the cell editor's own.
    if (InplaceItemNo() >= 0 || editor->GetInplaceEditor()) {
        HideCaret();
        editor->FireCaretMove();
        return;
    }
    int newHeight = 0, caretX = 0;
    const TRVDrawLineInfo* d = nullptr;
    if (CaretDrawItemNo >= 0) {
        if (CaretOffs < 0 || CaretOffs >= int(CharEnds.size())) {
            const int first = DrawItems.Count() > 0 ? SkipMarkerForward(0) : -1;
            CaretDrawItemNo = first;
            if (first >= 0) BuildCaretLine(IsDrawItemText(first) ? -1 : -2);
            throw ERichViewError(errRVInvalidCaret);
        }
        const TRVCharPos& cp = CharEnds[size_t(CaretOffs)];
        CaretDrawItemNo = cp.DrawItemNo;
        d = DrawItems[CaretDrawItemNo];
        newHeight = std::min(d->Height + 2, kMaxCaretHeight);
        caretX = cp.X - 1 + cp.MoveCaret;
    }
    const bool focused = editor->HandleAllocated() && editor->Focused();
    if (CaretHeight != 0 && focused) DestroyCaret();
    // A selected picture or control shows its handles instead of a caret.
    const bool hidden = Resizer != nullptr ||
                        (editor->ReadOnly() &&
                         editor->EditorOptions.Contains(TRVEditorOption::rvoHideReadOnlyCaret));
    if (newHeight != 0 && !hidden && focused) {
        CreateCaret(editor->Handle(), nullptr, kCaretWidth, newHeight);
        SetCaretPos(caretX - GetHScrollPos() - kCaretWidth / 2,
                    d->Top + d->Height - GetVScrollPos() - newHeight);
        epc::ShowCaret(editor->Handle());
    }
    CaretHeight = newHeight;
    if (d) {
        FollowCaretItem(keepStyles);
        if (scrollIntoView && CaretHeight != 0)
            MakeRectVisible(caretX - 5, d->Top + d->Height - CaretHeight - 5, 10,
                              CaretHeight + 10);
    }
    editor->FireCaretMove();
}

void TRVEditRVData::FollowCaretItem(bool keepStyles) {
    if (CaretDrawItemNo < 0 || CaretDrawItemNo >= DrawItems.Count()) return;
    TCustomRichViewEdit* editor = Editor();
    const TRVDrawLineInfo* d = DrawItems[CaretDrawItemNo];
    int itemNo = d->ItemNo;
    if (!keepStyles) editor->SetCurParaStyleNo(GetItemParaNo(itemNo));
    // A selection made backwards that ends after a drawing item stands, for typing, in the
    // item the line continues with.
    int styleDrawItemNo = CaretDrawItemNo;
    if (SelectionRunsBackwards() && LastDrawItemNo >= 0 && LastDrawItemNo + 1 < DrawItems.Count() &&
        LastOffs == GetOffsAfterDrawItem(LastDrawItemNo) &&
        GetItem(DrawItems[LastDrawItemNo + 1]->ItemNo)->GetJoinsPrevious()) {
        styleDrawItemNo = LastDrawItemNo + 1;
        itemNo = DrawItems[styleDrawItemNo]->ItemNo;
    }
    const int styleNo = GetItemStyleNo(itemNo);
    if (styleNo >= 0 && !keepStyles) {
        if (GetRVStyle()->TextStyles.GetItem(styleNo).Protection.Contains(
                TRVProtectOption::rvprDoNotAutoSwitch)) {
            editor->SetCurTextStyleNo(SavedTextStyleNo);
        } else {
            SavedTextStyleNo = styleNo;
            editor->SetCurTextStyleNo(styleNo);
        }
    }
    TrackHotJump(styleDrawItemNo, itemNo);
}

bool TRVEditRVData::SelectionRunsBackwards() const {
    if (FirstDrawItemNo < 0 || LastDrawItemNo < 0) return false;
    return FirstDrawItemNo > LastDrawItemNo ||
           (FirstDrawItemNo == LastDrawItemNo && FirstOffs > LastOffs);
}

void TRVEditRVData::TrackHotJump(int drawItemNo, int itemNo) {
    const TCustomRVItemInfo* item = GetItem(itemNo);
    if (item->IsHyperlink(GetRVStyle())) {
        // The link under the caret is drawn as the hovered one.
        LastJumpMovedAbove = item->JumpID;
        LastDIMovedAbove = drawItemNo;
        State.Include(TRVState::rvstDrawHover);
        Invalidate();
    } else if (LastJumpMovedAbove != -1 || State.Contains(TRVState::rvstDrawHover)) {
        LastJumpMovedAbove = -1;
        LastDIMovedAbove = -1;
        State.Exclude(TRVState::rvstDrawHover);
        Invalidate();
    }
}

void TRVEditRVData::BuildJumps(bool forced) {
    // A read-only editor keeps the jumps it formatted with, as a viewer does.
    if (Editor()->ReadOnly() && !forced) return;
    TRichViewRVData::ClearJumps();
    LastJumpMovedAbove = -1;
    NextJumpNo = GetFirstJumpNo() + BuildJumpList(GetFirstJumpNo());
    SetFlags(GetFlags().Include(rvflJumpsBuilt));
    Invalidate();
}

void TRVEditRVData::ClearJumps() {
    if (Editor()->ReadOnly() || !JumpsBuilt()) return;
    TRichViewRVData::ClearJumps();
    SetFlags(GetFlags().Exclude(rvflJumpsBuilt));
    ShowCaret(false, false, true);
    Invalidate();
}

bool TRVEditRVData::WriteWithJumps(const std::function<bool()>& write) {
    if (!JumpsBuilt()) return write();
    BuildJumps(true);
    auto drop = Finally([this] { ClearJumps(); });
    return write();
}

bool TRVEditRVData::WriteRtfToStream(TStream& stream, bool selectionOnly, TColor color,
                                     TBackgroundStyle backStyle, TGraphic* backImage) {
    return WriteWithJumps([&] {
        return TRichViewRVData::WriteRtfToStream(stream, selectionOnly, color, backStyle,
                                                 backImage);
    });
}

bool TRVEditRVData::WriteHtmlToStream(TStream& stream, const std::string& path,
                                      const std::string& title, bool selectionOnly) {
    return WriteWithJumps(
        [&] { return TRichViewRVData::WriteHtmlToStream(stream, path, title, selectionOnly); });
}

bool TRVEditRVData::WriteHtmlCssToStream(TStream& stream, const std::string& path,
                                         const std::string& title, bool selectionOnly) {
    return WriteWithJumps(
        [&] { return TRichViewRVData::WriteHtmlCssToStream(stream, path, title, selectionOnly); });
}

int TRVEditRVData::InplaceItemNo() const {
    if (!ChosenItem || !Editor()->GetInplaceEditor()) return -1;
    return FindItemIndex(ChosenItem);
}

int TRVEditRVData::CaretItemIndex() {
    EnsureNotEmpty();
    if (const int itemNo = InplaceItemNo(); itemNo >= 0) return itemNo;
    if (CaretDrawItemNo < 0 || CaretDrawItemNo >= DrawItems.Count()) return -1;
    return DrawItems[CaretDrawItemNo]->ItemNo;
}

int TRVEditRVData::CaretItemOffset() const {
    if (InplaceItemNo() >= 0) return 1;
    if (CaretDrawItemNo < 0 || CaretOffs < 0 || CaretOffs >= int(CharEnds.size())) return -1;
    const TRVCharPos& cp = CharEnds[size_t(CaretOffs)];
    const TRVDrawLineInfo* d = DrawItems[cp.DrawItemNo];
    if (GetItemStyleNo(d->ItemNo) < 0) return cp.Offset;
    return d->Offs + cp.Offset - 1;
}

void TRVEditRVData::GetCaretItemPos(bool forward, int& itemNo, int& offs) {
    itemNo = CaretItemIndex();
    offs = CaretItemOffset();
    if (itemNo < 0) return;
    if (forward && offs >= ItemEndOffset(itemNo) && itemNo + 1 < ItemCount()) {
        ++itemNo;
        offs = ItemStartOffset(itemNo);
    } else if (!forward && offs <= ItemStartOffset(itemNo) && itemNo > 0) {
        --itemNo;
        offs = ItemEndOffset(itemNo);
    }
}

void TRVEditRVData::GetSelectionOrCaret(bool normalize, int& startNo, int& startOffs, int& endNo,
                                        int& endOffs) {
    if (SelectionExists(false, false)) {
        GetSelectionBounds(startNo, startOffs, endNo, endOffs, normalize);
        return;
    }
    startNo = endNo = CaretItemIndex();
    startOffs = endOffs = CaretItemOffset();
}

void TRVEditRVData::GetSelStartOrCaret(int& drawItemNo, int& offs) const {
    drawItemNo = FirstDrawItemNo;
    offs = FirstOffs;
    if (drawItemNo == -1 && CaretOffs >= 0 && CaretOffs < int(CharEnds.size())) {
        drawItemNo = CharEnds[size_t(CaretOffs)].DrawItemNo;
        offs = CharEnds[size_t(CaretOffs)].Offset;
    }
}

void TRVEditRVData::SetSelectionAnchorAtCaret() {
    if (SelectionExists(false, false) || CaretOffs < 0 || CaretOffs >= int(CharEnds.size())) return;
    FirstDrawItemNo = LastDrawItemNo = CharEnds[size_t(CaretOffs)].DrawItemNo;
    FirstOffs = LastOffs = CharEnds[size_t(CaretOffs)].Offset;
}

void TRVEditRVData::ExtendSelectionToCaret() {
    if (CaretOffs < 0 || CaretOffs >= int(CharEnds.size())) return;
    LastDrawItemNo = CharEnds[size_t(CaretOffs)].DrawItemNo;
    LastOffs = CharEnds[size_t(CaretOffs)].Offset;
    Invalidate();
    DoSelect();
    // The direction of the selection decides which item the caret types into.
    FollowCaretItem(false);
}

TPoint TRVEditRVData::GetCaretPoint() const {
    if (CaretOffs < 0 || CaretOffs >= int(CharEnds.size())) return TPoint{0, 0};
    const TRVCharPos& cp = CharEnds[size_t(CaretOffs)];
    return TPoint{cp.X - 1 + cp.MoveCaret - GetHScrollPos(),
                  DrawItems[cp.DrawItemNo]->Top - 1 - GetVScrollPos()};
}

void TRVEditRVData::SkipMarkerPos(int& drawItemNo, int& offs) const {
    if (drawItemNo < 0 || drawItemNo + 1 >= DrawItems.Count() ||
        GetItemStyleNo(DrawItems[drawItemNo]->ItemNo) != rvsListMarker)
        return;
    ++drawItemNo;
    offs = IsDrawItemText(drawItemNo) ? 1 : 0;
}

void TRVEditRVData::PlaceCaretAfterEdit(int itemNo, int offs, bool reapplyParaStyle) {
    int drawItemNo, drawOffs;
    ItemToDrawItemPos(itemNo, offs, drawItemNo, drawOffs);
    if (drawItemNo < 0) return;
    SkipMarkerPos(drawItemNo, drawOffs);
    RebuildAt(drawItemNo, drawOffs);
    ShowCaret(false, false, false);
    if (reapplyParaStyle) ReapplyCurParaStyle();
}

void TRVEditRVData::ReapplyCurParaStyle() {
    const int itemNo = CaretItemIndex();
    TRVStyle* style = GetRVStyle();
    if (itemNo < 0 || !style) return;
    const int paraNo = style->ValidParaStyleNo(CurParaStyleNo);
    int first = itemNo, last = itemNo;
    GetParagraphItemRange(first, last);
    // Only a paragraph whose items disagree (a join left them so) takes the style again.
    bool uniform = true;
    for (int i = first; i <= last && uniform; ++i)
        uniform = GetItemParaNo(i) == paraNo;
    if (uniform) return;
    bool full = false;
    const int offs = CaretItemOffset();
    SetParaStyleRangeUndoable(first, last, paraNo, full);
    MoveCaretToItem(full, itemNo, offs);
}

void TRVEditRVData::PlaceCaretAt(int itemNo, int offs) {
    PlaceCaretAfterEdit(itemNo, offs, false);
}

void TRVEditRVData::SelectClickedItem(int drawItemNo, int offs, bool shift) {
    TRichViewRVData::SelectClickedItem(drawItemNo, offs, shift);
    if (drawItemNo < 0 || drawItemNo >= DrawItems.Count()) return;
    RebuildAt(drawItemNo, offs);
    ShowCaret(false, false, false);
}

void TRVEditRVData::SetActiveSubItem(TCustomRVItemInfo* item) {
    const bool changed = item != ChosenItem;
    TRichViewRVData::SetActiveSubItem(item);
    if (changed && !FDeselectingSubItem) Editor()->FireCaretMove();
}

void TRVEditRVData::DeselectSubItem() {
    const bool wasActive = ChosenItem != nullptr;
    {
        FDeselectingSubItem = true;
        auto done = Finally([this] { FDeselectingSubItem = false; });
        TRichViewRVData::DeselectSubItem();
    }
    if (wasActive) Editor()->FireCaretMove();
}

void TRVEditRVData::CaretToSelectionEnd() {
    if (LastDrawItemNo < 0 || LastDrawItemNo >= DrawItems.Count()) return;
    int drawItemNo = LastDrawItemNo, offs = LastOffs;
    SkipMarkerPos(drawItemNo, offs);
    RebuildAt(drawItemNo, offs);
    UpdateResizer();
    ShowCaret(false, false, false);
}

bool TRVEditRVData::CancelByEscape() {
    if (CancelResize()) return true;
    if (State.Contains(TRVState::rvstMakingSelection)) {
        State.Exclude(TRVState::rvstMakingSelection);
        DoSelect();
        Invalidate();
        CaretToSelectionEnd();
        return true;
    }
    if (XorFeedbackShown()) {
        HideXorFeedback();
        return true;
    }
    return false;
}

// ---------------------------------------------------------------------------------------------
// Undo recording.

TRVUndoList* TRVEditRVData::GetUndoList() const {
    switch (UndoDest) {
    case rvudUndo:
        return UndoList.get();
    case rvudRedo:
        return RedoList.get();
    default:
        return nullptr;
    }
}

bool TRVEditRVData::BeginUndoSequence(uint8_t action, const std::string& caption) {
    UndoDest = rvudUndo;
    int itemNo = -1, offs = -1;
    if (CaretDrawItemNo >= 0) GetCaretItemPos(true, itemNo, offs);
    // A group of its own, never the previous operation's.
    const int level = UndoList->GroupModeLevel;
    UndoList->GroupModeLevel = 0;
    const bool opened = UndoList->BeginUndoGroup(action, caption, itemNo, offs);
    UndoList->GroupModeLevel = level;
    if (!opened) UndoDest = rvudNone;
    return opened;
}

void TRVEditRVData::EndUndoSequence() {
    UndoDest = rvudNone;
}

void TRVEditRVData::Undo() {
    ReplayLastGroup(*UndoList, *RedoList, rvudRedo);
}

void TRVEditRVData::Redo() {
    ReplayLastGroup(*RedoList, *UndoList, rvudUndo);
}

void TRVEditRVData::ReplayLastGroup(TRVUndoList& from, TRVUndoList& to, uint8_t mode) {
    const TRVUndoInfos* group = from.LastGroup();
    if (!group) throw ERichViewError(errRVUndoEmptyBuffer);
    int caretItemNo = group->CaretItemNo, caretOffs = group->CaretOffs;
    auto reset = epc::Finally([this] { UndoDest = rvudNone; });
    // The reverse step starts where the caret stands now, as a new step would.
    if (mode == rvudRedo) {
        BeginRedoAction(group->Action, group->Caption);
    } else {
        int nowItemNo, nowOffs;
        GetUndoGroupCaret(nowItemNo, nowOffs);
        to.BeginUndoGroup(group->Action, group->Caption, nowItemNo, nowOffs);
        UndoDest = mode;
    }
    from.UndoIntoOpenGroup(this, &to);
    if (!GetCanvas()) {
        // Without a canvas nothing lays the items out again: drawing items would be stale.
        ClearFormatting();
        return;
    }
    if (DrawItems.Count() == 0 || ItemCount() == 0) return;
    caretItemNo = std::clamp(caretItemNo, 0, ItemCount() - 1);
    caretOffs = std::clamp(caretOffs, ItemStartOffset(caretItemNo), ItemEndOffset(caretItemNo));
    PlaceCaretAt(caretItemNo, caretOffs);
    Invalidate();
}

} // namespace epc
