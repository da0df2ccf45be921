// Re-laying out the paragraphs an edit touched, and the walks over drawing items that follow
// layout or scrolling: the hyperlink list, the visible checkpoint, scrolling into view.

#include <algorithm>
#include <climits>

#include "platform/core/ScopeGuard.h"
#include "richtext/document/RVUni.h"
#include "richtext/view/RVFormattedData.h"

namespace epc {

namespace {

// The first item of the paragraph that holds an item (line breaks continue a paragraph).
int ParaStartOf(const TCustomRVData& data, int itemNo) {
    while (itemNo > 0 && !data.GetItem(itemNo)->StartsParagraph())
        --itemNo;
    return itemNo;
}

// The last item of the paragraph that holds an item.
int ParaEndOf(const TCustomRVData& data, int itemNo) {
    while (itemNo + 1 < data.ItemCount() && !data.GetItem(itemNo + 1)->StartsParagraph())
        ++itemNo;
    return itemNo;
}

} // namespace

void TCustomRVFormattedData::ExpandDrawRangeToParas(int& firstDrawItemNo,
                                                    int& lastDrawItemNo) const {
    const int n = DrawItems.Count();
    if (n == 0) return;
    firstDrawItemNo = std::clamp(firstDrawItemNo, 0, n - 1);
    lastDrawItemNo = std::clamp(lastDrawItemNo, firstDrawItemNo, n - 1);
    int first = ParaStartOf(*this, DrawItems[firstDrawItemNo]->ItemNo);
    if (first > 0) first = ParaStartOf(*this, first - 1);
    int last = ParaEndOf(*this, DrawItems[lastDrawItemNo]->ItemNo);
    if (last + 1 < ItemCount()) last = ParaEndOf(*this, last + 1);
    while (firstDrawItemNo > 0 && DrawItems[firstDrawItemNo - 1]->ItemNo >= first)
        --firstDrawItemNo;
    while (lastDrawItemNo + 1 < n && DrawItems[lastDrawItemNo + 1]->ItemNo <= last)
        ++lastDrawItemNo;
}

void TCustomRVFormattedData::FormatParasOfDrawRange(int firstDrawItemNo, int lastDrawItemNo,
                                                    int itemCountChange, bool noCaching) {
    const int n = DrawItems.Count();
    if (n == 0 || ItemCount() == 0) return;
    firstDrawItemNo = std::clamp(firstDrawItemNo, 0, n - 1);
    lastDrawItemNo = std::clamp(lastDrawItemNo, firstDrawItemNo, n - 1);
    // Items before the edit keep their numbers; the drawing items after it still carry the
    // numbers from before, so the end is found among the items as they are now.
    int firstItem = std::min(DrawItems[firstDrawItemNo]->ItemNo, ItemCount() - 1);
    firstItem = ParaStartOf(*this, firstItem);
    if (firstItem > 0) firstItem = ParaStartOf(*this, firstItem - 1);
    int lastItem =
        std::clamp(DrawItems[lastDrawItemNo]->ItemNo + itemCountChange, firstItem, ItemCount() - 1);
    lastItem = ParaEndOf(*this, lastItem);
    if (lastItem + 1 < ItemCount()) lastItem = ParaEndOf(*this, lastItem + 1);
    while (firstDrawItemNo > 0 && DrawItems[firstDrawItemNo - 1]->ItemNo >= firstItem)
        --firstDrawItemNo;
    while (lastDrawItemNo + 1 < n &&
           DrawItems[lastDrawItemNo + 1]->ItemNo + itemCountChange <= lastItem)
        ++lastDrawItemNo;
    FormatParas(firstDrawItemNo, lastDrawItemNo, noCaching, itemCountChange);
}

void TCustomRVFormattedData::FormatParas(int firstDrawItemNo, int lastDrawItemNo, bool noCaching,
                                         int itemCountChange) {
    TRVStyle* style = GetRVStyle();
    TCanvas* canvas = GetCanvas();
    const int oldCount = DrawItems.Count();
    if (!style || !canvas || oldCount == 0 || ItemCount() == 0 ||
        State.Contains(TRVState::rvstFormattingInProgress))
        return;
    firstDrawItemNo = std::clamp(firstDrawItemNo, 0, oldCount - 1);
    lastDrawItemNo = std::clamp(lastDrawItemNo, firstDrawItemNo, oldCount - 1);
    int firstItem = DrawItems[firstDrawItemNo]->ItemNo;
    int lastItem = std::max(DrawItems[lastDrawItemNo]->ItemNo + itemCountChange, firstItem);
    ClampItemIndex(firstItem);
    ClampItemIndex(lastItem);

    // Where the range begins: its first line's top less the spacing between the paragraphs.
    // (The bottoms of the line above fall short of it by the font's external leading.)
    int top = SY(GetTopMargin());
    if (firstDrawItemNo > 0) {
        int ls, le;
        GetScreenLineBounds(firstDrawItemNo, ls, le);
        int lineTop = INT_MAX;
        for (int i = firstDrawItemNo; i <= le; ++i)
            lineTop = std::min(lineTop, DrawItems[i]->Top);
        const int oldFirstItem = DrawItems[firstDrawItemNo]->ItemNo;
        int spacing = SY(style->ParaStyles.GetItem(GetItemParaNo(firstItem)).SpaceBefore);
        if (oldFirstItem > 0)
            spacing += SY(style->ParaStyles.GetItem(GetItemParaNo(firstItem - 1)).SpaceAfter);
        if (GetItemStyleNo(firstItem) == rvsBreak)
            spacing += SY(style->ParaStyles.GetItem(0).SpaceBefore);
        top = lineTop - spacing;
    }
    // Where the content after the range began.
    int oldNextTop = -1;
    if (lastDrawItemNo + 1 < oldCount) {
        int ls, le;
        GetScreenLineBounds(lastDrawItemNo + 1, ls, le);
        oldNextTop = INT_MAX;
        for (int i = lastDrawItemNo + 1; i <= le; ++i)
            oldNextTop = std::min(oldNextTop, DrawItems[i]->Top);
    }

    // The old range's hyperlink areas (a run of Jumps, ordered by drawing item) and the
    // numbers they used: the range's items are numbered again from the first of them.
    const bool useJumps = GetFlags().Contains(TRVFlag::UseJumps);
    const bool hadJumps = !Jumps.empty();
    const int oldNextJumpNo = NextJumpNo;
    size_t jumpFirst = 0, jumpEnd = 0;
    int oldEndNo = NextJumpNo;
    const bool jumpsInStep = useJumps && JumpsInStep() && !FHasSubDocItems;
    if (jumpsInStep) {
        auto firstAtOrAfter = [this](size_t lo, int drawItemNo) {
            size_t hi = Jumps.size();
            while (lo < hi) {
                const size_t mid = lo + (hi - lo) / 2;
                if (JumpDrawItemNo(mid) < drawItemNo)
                    lo = mid + 1;
                else
                    hi = mid;
            }
            return lo;
        };
        jumpFirst = firstAtOrAfter(0, firstDrawItemNo);
        jumpEnd = firstAtOrAfter(jumpFirst, lastDrawItemNo + 1);
        if (jumpEnd < Jumps.size()) oldEndNo = Jumps[jumpEnd]->Id;
        NextJumpNo = jumpFirst < Jumps.size() ? Jumps[jumpFirst]->Id : oldNextJumpNo;
    }
    FPartJumps.clear();

    State.Include(TRVState::rvstFormattingPart);
    State.Include(TRVState::rvstFormattingInProgress);
    auto done = Finally([&] {
        DrawItems.CloseGap();
        FPartJumps.clear();
        State.Exclude(TRVState::rvstFormattingPart);
        State.Exclude(TRVState::rvstFormattingInProgress);
    });
    DrawItems.SetGap(firstDrawItemNo, lastDrawItemNo);
    FPartInsertAt = firstDrawItemNo;

    GetScaling(canvas, FFmt.Sad);
    FFmt.Canvas = canvas;
    FFmt.DC = canvas->Handle();
    FFmt.LM = SX(GetLeftMargin());
    FFmt.RM = SX(GetRightMargin());
    FFmt.NoCaching = noCaching;
    FFmt.BaseLine = top;
    FFmt.StartParagraphLine(firstItem, TextWidth);
    FFmt.LineFirstDrawItem = firstDrawItemNo;

    FormatItemRange(firstItem, lastItem);
    // The line is ended as the next paragraph's start would end it.
    if (lastItem + 1 < ItemCount() && !GetItem(lastItem + 1)->IsFullLine()) TrimLineEnd();
    FinishLine(true);
    const int newLast = FPartInsertAt - 1;
    const int bottom = FFmt.BaseLine + FFmt.Descent + FFmt.Extra;
    FFmt.LastTextStyle = -1;
    DrawItems.CloseGap();
    State.Exclude(TRVState::rvstFormattingPart);

    const int lastParaSpaceAfter =
        SY(style->ParaStyles.GetItem(GetItemParaNo(lastItem)).SpaceAfter);
    const int oldDocumentHeight = DocumentHeight;
    const int countChange = DrawItems.Count() - oldCount;
    int shift = 0;
    if (lastItem + 1 >= ItemCount() || newLast + 1 >= DrawItems.Count()) {
        DocumentHeight = SY(GetBottomMargin()) + bottom + lastParaSpaceAfter;
    } else {
        // The next line begins below the spacing between the two paragraphs.
        const int next = lastItem + 1;
        int newNextTop = bottom + lastParaSpaceAfter +
                         SY(style->ParaStyles.GetItem(GetItemParaNo(next)).SpaceBefore);
        if (GetItemStyleNo(next) == rvsBreak)
            newNextTop += SY(style->ParaStyles.GetItem(0).SpaceBefore);
        shift = newNextTop - oldNextTop;
        // The items below keep the drawing-item numbers they recorded: GetFirstDrawItemNo
        // finds and mends a number that moved.
        if (itemCountChange != 0 || shift != 0) {
            const int count = DrawItems.Count();
            for (int i = newLast + 1; i < count; ++i) {
                TRVDrawLineInfo* d = DrawItems[i];
                d->Top += shift;
                d->ItemNo += itemCountChange;
            }
            DocumentHeight += shift;
        }
    }
    // (Items with documents inside that the range now holds bring jumps of their own.)
    if (jumpsInStep && !FHasSubDocItems) {
        if (hadJumps || !FPartJumps.empty()) ForgetJumpHover();
        SpliceRangeJumps(jumpFirst, jumpEnd, oldEndNo, oldNextJumpNo, shift, countChange);
    } else if (useJumps && (hadJumps || RangeHasJumps(firstDrawItemNo, newLast))) {
        ClearJumps();
        NextJumpNo = GetFirstJumpNo() + BuildJumpList(GetFirstJumpNo());
    }
    if (DocumentHeight != oldDocumentHeight) {
        AdjustVScrollUnits();
        SkipFormatting = 1;
        SetDocumentSize(TextWidth + FFmt.LM + FFmt.RM, DocumentHeight);
        SkipFormatting = 0;
    }
    // Controls below the range moved only when the drawing items below did.
    ScrollControlsVisible(firstItem, itemCountChange != 0 || shift != 0 ? INT_MAX : lastItem);
    LastFormattedItemNo = ItemCount() - 1;
    Invalidate();
}

void TCustomRVFormattedData::SpliceRangeJumps(size_t jumpFirst, size_t jumpEnd, int oldEndNo,
                                              int oldNextJumpNo, int shift, int countChange) {
    // The new areas sit where the layout left their drawing items (lines are aligned and
    // raised after their items were placed), in the outermost document's coordinates.
    int ox = 0, oy = 0;
    GetOriginInRoot(ox, oy);
    for (auto& jump : FPartJumps) {
        const TRVDrawLineInfo* d = DrawItems[jump->DrawItemNo];
        jump->Left = d->Left + ox;
        jump->Top = d->Top + oy;
    }
    const int numberChange = NextJumpNo - oldEndNo;
    NextJumpNo = oldNextJumpNo + numberChange;

    // A shift still owed by the areas from OwedFrom on: those before the range get it now
    // (edits follow one another closely), the range's own are replaced.
    const int owed = FJumpShift;
    size_t owedFrom = FJumpShiftFrom;
    if (owed != 0 && owedFrom < jumpFirst)
        for (size_t j = owedFrom; j < jumpFirst; ++j)
            Jumps[j]->DrawItemNo += owed;
    FJumpShiftFrom = SIZE_MAX;
    FJumpShift = 0;

    // One move of the list's tail at most.
    const size_t oldSize = jumpEnd - jumpFirst, newSize = FPartJumps.size();
    const size_t common = std::min(oldSize, newSize);
    std::move(FPartJumps.begin(), FPartJumps.begin() + long(common),
              Jumps.begin() + long(jumpFirst));
    if (newSize > oldSize)
        Jumps.insert(Jumps.begin() + long(jumpEnd),
                     std::make_move_iterator(FPartJumps.begin() + long(common)),
                     std::make_move_iterator(FPartJumps.end()));
    else if (oldSize > newSize)
        Jumps.erase(Jumps.begin() + long(jumpFirst + newSize), Jumps.begin() + long(jumpEnd));
    FPartJumps.clear();

    const size_t after = jumpFirst + newSize;
    const size_t count = Jumps.size();
    owedFrom = owed != 0 && owedFrom > jumpEnd ? owedFrom + newSize - oldSize : after;
    if (shift != 0 || numberChange != 0) {
        for (size_t j = after; j < count; ++j) {
            TRVJumpInfo& jump = *Jumps[j];
            jump.Top += shift;
            jump.DrawItemNo += countChange + (j >= owedFrom ? owed : 0);
            if (numberChange != 0) {
                jump.Id += numberChange;
                GetItem(DrawItems[jump.DrawItemNo]->ItemNo)->JumpID = jump.Id;
            }
        }
        return;
    }
    // Only the numbering of the drawing items moved: the areas below owe it (the walk over
    // them is left to whoever reads them next).
    for (size_t j = after; j < owedFrom && j < count && countChange != 0; ++j)
        Jumps[j]->DrawItemNo += countChange;
    const size_t from = std::min(owedFrom, count);
    if (from < count && owed + countChange != 0) {
        FJumpShiftFrom = from;
        FJumpShift = owed + countChange;
    }
}

void TCustomRVFormattedData::SettleJumpDrawItemNos() const {
    if (FJumpShift != 0)
        for (size_t j = FJumpShiftFrom; j < Jumps.size(); ++j)
            Jumps[j]->DrawItemNo += FJumpShift;
    FJumpShiftFrom = SIZE_MAX;
    FJumpShift = 0;
}

bool TCustomRVFormattedData::RangeHasJumps(int firstDrawItemNo, int lastDrawItemNo) const {
    TRVStyle* style = GetRVStyle();
    for (int i = firstDrawItemNo; i <= lastDrawItemNo; ++i) {
        const TCustomRVItemInfo* item = GetItem(DrawItems[i]->ItemNo);
        // Any other item may hold hyperlinks of its own documents.
        if (item->StyleNo < 0 || item->IsHyperlink(style)) return true;
    }
    return false;
}

int TCustomRVFormattedData::BuildJumpList(int firstJumpNo,
                                          std::vector<std::unique_ptr<TRVJumpInfo>>* list) {
    if (!list) list = &Jumps;
    list->clear();
    if (list == &Jumps) {
        FJumpsInStep = true;
        FJumpsFirstNo = firstJumpNo;
        FJumpShiftFrom = SIZE_MAX;
        FJumpShift = 0;
    }
    TRVStyle* style = GetRVStyle();
    if (!style) return 0;
    int ox = 0, oy = 0;
    GetOriginInRoot(ox, oy);
    int next = firstJumpNo;
    for (int i = 0; i < DrawItems.Count(); ++i) {
        const TRVDrawLineInfo* d = DrawItems[i];
        TCustomRVItemInfo* item = GetItem(d->ItemNo);
        // Several drawing items of one item share its number.
        const bool firstOfItem = i == 0 || DrawItems[i - 1]->ItemNo != d->ItemNo;
        if (item->IsHyperlink(style)) {
            if (firstOfItem) item->JumpID = next++;
            auto jump = std::make_unique<TRVJumpInfo>();
            jump->RVData = this;
            jump->Left = d->Left + ox;
            jump->Top = d->Top + oy;
            jump->Width = d->Width;
            jump->Height = d->Height;
            jump->DrawItemNo = i;
            jump->Id = item->JumpID;
            jump->Cursor =
                int16_t(item->StyleNo >= 0 ? style->TextStyles.GetItem(item->StyleNo).JumpCursor
                                           : item->GetHyperlinkCursor(style));
            list->push_back(std::move(jump));
        } else if (item->StyleNo < 0 && firstOfItem) {
            // Items with documents inside (tables) add their documents' jumps to this
            // document's own list; a list filled for an enclosing document takes them from there,
            // so that hyperlinks at any depth reach the outermost list in reading order.
            const size_t before = Jumps.size();
            item->BuildJumps(d->Left, d->Top, next);
            if (list != &Jumps && Jumps.size() > before) {
                auto from = Jumps.begin() + long(before);
                list->insert(list->end(), std::make_move_iterator(from),
                             std::make_move_iterator(Jumps.end()));
                Jumps.erase(from, Jumps.end());
            }
        }
    }
    return next - firstJumpNo;
}

void TCustomRVFormattedData::UpdateVisibleCheckpoint() {
    const TCPEventKind kind = GetCPEventKind();
    if (kind == TCPEventKind::cpeNone) return;
    const int top = GetVScrollPos();
    const int bottom = top + GetClientHeight();
    auto yOf = [&](TRVCPInfo* cp, int& y) {
        const int itemNo = GetCheckpointItemNo(cp);
        const int d = GetFirstDrawItemNo(itemNo);
        if (d < 0) return false;
        y = DrawItems[d]->Top;
        return true;
    };
    TRVCPInfo* found = nullptr;
    TRVCPInfo* before = nullptr; // the last raise-event checkpoint above the one found
    int foundY = 0;
    for (TRVCPInfo* cp = FirstCP; cp; cp = cp->Next) {
        if (!cp->RaiseEvent) continue;
        int y;
        if (!yOf(cp, y)) return;
        if (y >= top) {
            found = cp;
            foundY = y;
            break;
        }
        before = cp;
    }
    TRVCPInfo* current = CurrentCheckpoint;
    if (kind == TCPEventKind::cpeAsSectionStart) {
        if (found) {
            if (foundY < bottom)
                current = found;
            else if (before)
                current = before;
        } else {
            if (before) current = before;
            if (NotAddedCP && NotAddedCP->RaiseEvent && bottom >= DocumentHeight)
                current = NotAddedCP;
        }
    } else {
        current = found && foundY < bottom ? found : nullptr;
    }
    if (current != CurrentCheckpoint) {
        CurrentCheckpoint = current;
        DoCheckpointVisible(current);
    }
}

void TCustomRVFormattedData::MakeRectVisible(int x, int y, int width, int height) {
    const int h = GetHScrollPos(), v = GetVScrollPos();
    const int w = GetClientWidth(), c = GetClientHeight();
    const int s = GetVSmallStep();
    if (x < h || x + width > h + w) HScrollTo(x - w / 4);
    if (y + height > v + c - 2 * s && y < v + s) return;
    if (y + height <= v + c && y < v)
        ScrollTo(y, true);
    else if (y + height > v + c)
        ScrollTo(y + height - c + s, true);
}

bool TCustomRVFormattedData::GetItemClientCoords(int itemNo, int& left, int& top) const {
    if (!GetItemCoords(itemNo, left, top)) return false;
    left -= GetHScrollPos();
    top -= GetVScrollPos();
    return true;
}

} // namespace epc
