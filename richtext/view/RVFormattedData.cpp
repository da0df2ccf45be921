#include "richtext/view/RVFormattedData.h"

#include <algorithm>
#include <climits>

#include "platform/core/Arithmetic.h"
#include "platform/core/Strings.h"
#include "platform/gdi/Gdi.h"
#include "platform/graphics/Graphics.h"
#include "richtext/document/RVGraphicSupport.h"
#include "richtext/document/RVUni.h"

namespace epc {

namespace {

std::u16string ToWide(const std::string& bytes) {
    std::u16string out(bytes.size() / 2, u'\0');
    const unsigned char* p = reinterpret_cast<const unsigned char*>(bytes.data());
    for (size_t i = 0; i < out.size(); ++i)
        out[i] = char16_t(p[2 * i] | (p[2 * i + 1] << 8));
    return out;
}

} // namespace

TCustomRVFormattedData::TCustomRVFormattedData() = default;

TCustomRVFormattedData::~TCustomRVFormattedData() {
    // The holder's parts are gone by now: answer as a document that nothing holds.
    SetHost(nullptr);
    State.Include(TRVState::rvstDestroying);
    ClearFormatting();
}

// ---------------------------------------------------------------------------------------------
// Formatted state.

void TCustomRVFormattedData::ClearFormatting() {
    if (DrawItems.Count() == 0) return;
    DrawItems.Clear();
    ClearJumps();
    NextJumpNo = 0;
    FHasSubDocItems = false;
    FHasPlacedItems = false;
    ChosenRVData = nullptr;
    ChosenItem = nullptr;
    FCaptureRVData = nullptr;
    FMouseItem = nullptr;
    LastDIMovedAbove = -1;
    State.Exclude(TRVState::rvstMakingSelection);
    State.Exclude(TRVState::rvstDrawHover);
    // Items keep the number of their first drawing item; it means nothing any more.
    if (!SharesItems())
        for (int i = 0; i < ItemCount(); ++i)
            GetItem(i)->DrawItemNo = -1;
}

void TCustomRVFormattedData::ClearJumps() {
    Jumps.clear();
    FJumpShiftFrom = SIZE_MAX;
    FJumpShift = 0;
    FJumpsInStep = false;
    ForgetJumpHover();
}

void TCustomRVFormattedData::ForgetJumpHover() {
    // The hovered document may be a nested one that is going away: only forget it.
    HoverRVData = nullptr;
    FLastHoverId = -1;
    LastJumpMovedAbove = -1;
    LastDIMovedAbove = -1;
    State.Exclude(TRVState::rvstDrawHover);
    if (ChosenRVData) ChosenRVData->LeaveHover(-1);
}

void TCustomRVFormattedData::Clear() {
    bool wasClearing = State.Contains(TRVState::rvstClearing);
    State.Include(TRVState::rvstClearing);
    Deselect(nullptr, false);
    ClearFormatting();
    ClearAllItems();
    LastFormattedItemNo = -1;
    if (!wasClearing) State.Exclude(TRVState::rvstClearing);
}

void TCustomRVFormattedData::Deselect(TCustomRVItemInfo* /*item*/, bool redraw) {
    if (State.Contains(TRVState::rvstChangingSelection)) return;
    State.Include(TRVState::rvstChangingSelection);
    FirstDrawItemNo = LastDrawItemNo = -1;
    FirstOffs = LastOffs = 0;
    DoSelect();
    if (redraw) Invalidate();
    State.Exclude(TRVState::rvstChangingSelection);
}

void TCustomRVFormattedData::SelectAll() {
    if (DrawItems.Count() == 0) return;
    BeforeSelectionChange();
    FirstDrawItemNo = 0;
    FirstOffs = IsDrawItemText(0);
    LastDrawItemNo = DrawItems.Count() - 1;
    LastOffs = GetOffsAfterDrawItem(LastDrawItemNo);
    DoSelect();
    Invalidate();
}

int TCustomRVFormattedData::IsDrawItemText(int drawItemNo) const {
    return GetItemStyleNo(DrawItems[drawItemNo]->ItemNo) >= 0 ? 1 : 0;
}

int TCustomRVFormattedData::GetOffsAfterDrawItem(int drawItemNo) const {
    const TRVDrawLineInfo* d = DrawItems[drawItemNo];
    return GetItemStyleNo(d->ItemNo) >= 0 ? d->Length + 1 : 1;
}

void TCustomRVFormattedData::UpdateJumpPositions() {
    SettleJumpDrawItemNos();
    for (auto& jump : Jumps) {
        auto* data = dynamic_cast<TCustomRVFormattedData*>(jump->RVData);
        if (!data || jump->DrawItemNo < 0 || jump->DrawItemNo >= data->DrawItems.Count()) continue;
        int ox = 0, oy = 0;
        data->GetOriginInRoot(ox, oy);
        // The origin leaves out the shifts of vertically aligned content (a table cell's), the
        // document's own and those of the documents around it.
        for (const TCustomRVData* p = data; p; p = p->GetParentData())
            if (auto* f = dynamic_cast<const TCustomRVFormattedData*>(p))
                oy += f->GetContentVOffset();
        const TRVDrawLineInfo* d = data->DrawItems[jump->DrawItemNo];
        jump->Left = d->Left + ox;
        jump->Top = d->Top + oy;
    }
}

void TCustomRVFormattedData::ScrollControlsVisible(int fromItemNo, int toItemNo) {
    if (!FHasPlacedItems || GetFlags().Contains(TRVFlag::NoControlMoves) ||
        !GetParentControl() || State.Contains(TRVState::rvstNoControlMoves) ||
        State.Contains(TRVState::rvstDestroying))
        return;
    int h = GetHScrollPos(), v = GetVScrollPos();
    const int end = toItemNo < ItemCount() ? toItemNo + 1 : ItemCount();
    for (int i = std::max(fromItemNo, 0); i < end; ++i) {
        TCustomRVItemInfo* item = GetItem(i);
        if (item->StyleNo >= 0) continue;
        const int drawItemNo = GetFirstDrawItemNo(i);
        if (drawItemNo < 0) continue;
        const TRVDrawLineInfo* d = DrawItems[drawItemNo];
        item->SetPosition(d->Left - h, d->Top - v);
    }
}

// ---------------------------------------------------------------------------------------------
// Selection and positions.

void TCustomRVFormattedData::GetSelectionDrawBounds(int& startDrawItemNo, int& startOffs,
                                                    int& endDrawItemNo, int& endOffs,
                                                    bool normalize) const {
    startDrawItemNo = FirstDrawItemNo;
    startOffs = FirstOffs;
    endDrawItemNo = LastDrawItemNo;
    endOffs = LastOffs;
    if (normalize && (startDrawItemNo > endDrawItemNo ||
                      (startDrawItemNo == endDrawItemNo && startOffs > endOffs))) {
        std::swap(startDrawItemNo, endDrawItemNo);
        std::swap(startOffs, endOffs);
    }
}

void TCustomRVFormattedData::GetSelectionBounds(int& startItemNo, int& startOffs, int& endItemNo,
                                                int& endOffs, bool normalize) const {
    int sd, so, ed, eo;
    GetSelectionDrawBounds(sd, so, ed, eo, normalize);
    DrawItemToItemPos(sd, so, startItemNo, startOffs);
    DrawItemToItemPos(ed, eo, endItemNo, endOffs);
}

void TCustomRVFormattedData::SetSelectionBounds(int startItemNo, int endItemNo, int startOffs,
                                                int endOffs) {
    ItemToDrawItemPos(startItemNo, startOffs, FirstDrawItemNo, FirstOffs);
    ItemToDrawItemPos(endItemNo, endOffs, LastDrawItemNo, LastOffs);
}

void TCustomRVFormattedData::DrawItemToItemPos(int drawItemNo, int drawItemOffs, int& itemNo,
                                               int& itemOffs) const {
    if (drawItemNo < 0 || drawItemNo >= DrawItems.Count()) {
        itemNo = -1;
        itemOffs = 0;
        return;
    }
    const TRVDrawLineInfo* d = DrawItems[drawItemNo];
    itemNo = d->ItemNo;
    itemOffs = GetItemStyleNo(itemNo) >= 0 ? d->Offs + drawItemOffs - 1 : drawItemOffs;
}

void TCustomRVFormattedData::ItemToDrawItemPos(int itemNo, int itemOffs, int& drawItemNo,
                                               int& drawItemOffs) const {
    drawItemNo = GetFirstDrawItemNo(itemNo);
    drawItemOffs = itemOffs;
    if (drawItemNo < 0) return;
    if (GetItemStyleNo(itemNo) < 0) return;
    while (true) {
        const TRVDrawLineInfo* d = DrawItems[drawItemNo];
        if (d->Offs + d->Length >= itemOffs) break;
        if (drawItemNo + 1 >= DrawItems.Count() || DrawItems[drawItemNo + 1]->ItemNo != itemNo)
            break;
        ++drawItemNo;
    }
    drawItemOffs = itemOffs - DrawItems[drawItemNo]->Offs + 1;
}

int TCustomRVFormattedData::GetFirstDrawItemNo(int itemNo) const {
    if (itemNo < 0 || itemNo >= ItemCount()) return -1;
    TCustomRVItemInfo* item = GetItem(itemNo);
    const int count = DrawItems.Count();
    const int d = item->DrawItemNo;
    // (Slots of a reformat in progress are empty.)
    const TRVDrawLineInfo* at = d >= 0 && d < count ? DrawItems[d] : nullptr;
    const TRVDrawLineInfo* before = d > 0 && d <= count ? DrawItems[d - 1] : nullptr;
    if (at && at->ItemNo == itemNo && (!before || before->ItemNo != itemNo)) return d;
    // A partial reformat leaves the numbers recorded by the items below it as they were: the
    // drawing items are in item order, so the first one is searched for and remembered (not
    // while a reformat runs: its slots are empty and the items below not yet renumbered).
    if (State.Contains(TRVState::rvstFormattingPart)) return -1;
    int lo = 0, hi = count;
    while (lo < hi) {
        const int mid = lo + (hi - lo) / 2;
        if (DrawItems[mid]->ItemNo < itemNo)
            lo = mid + 1;
        else
            hi = mid;
    }
    if (lo == count || DrawItems[lo]->ItemNo != itemNo) return -1;
    if (!SharesItems()) item->DrawItemNo = lo;
    return lo;
}

bool TCustomRVFormattedData::GetItemCoords(int itemNo, int& left, int& top) const {
    int d = GetFirstDrawItemNo(itemNo);
    if (d < 0) return false;
    left = DrawItems[d]->Left;
    top = DrawItems[d]->Top;
    return true;
}

bool TCustomRVFormattedData::GetControlItemCoords(int itemNo, int& left, int& top) {
    if (itemNo < 0 || itemNo >= ItemCount()) return false;
    const int under = FDrawItemUnderMouse;
    const int d = under >= 0 && under < DrawItems.Count() && DrawItems[under]->ItemNo == itemNo
                      ? under
                      : GetFirstDrawItemNo(itemNo);
    if (d < 0) return false;
    FRememberedControlItem = GetItem(itemNo);
    left = DrawItems[d]->Left;
    top = DrawItems[d]->Top;
    return true;
}

void TCustomRVFormattedData::DoItemAction(TRVItemAction action, TCustomRVItemInfo* item,
                                          std::string& text, TCustomRVData* rvData) {
    if (action == rviaDestroying) ItemReleased(item);
    TCustomRVData::DoItemAction(action, item, text, rvData);
}

void TCustomRVFormattedData::GetScreenLineBounds(int drawItemNo, int& first, int& last) const {
    first = drawItemNo;
    while (first > 0 && !DrawItems[first]->FromNewLine)
        --first;
    last = drawItemNo;
    while (last + 1 < DrawItems.Count() && !DrawItems[last + 1]->FromNewLine)
        ++last;
}

// ---------------------------------------------------------------------------------------------
// Hit testing.

int TCustomRVFormattedData::FindFirstDrawItemAtY(int y, int mode) const {
    const int n = DrawItems.Count();
    if (n == 0 || y <= DrawItems[0]->Top) return 0;
    if (mode == 3 && y > DrawItems[n - 1]->Top) return n - 1;
    if (mode == 2) return std::min(1, n - 1);
    // First index among 1 .. n - 1 whose Top is at or below y, its predecessor above y.
    int lo = 1, hi = n - 1;
    while (lo < hi) {
        int mid = (lo + hi) / 2;
        if (DrawItems[mid]->Top >= y)
            hi = mid;
        else
            lo = mid + 1;
    }
    // A document of one drawing item has no candidate after the first.
    int i = std::min(lo, n - 1);
    if (mode == 1) {
        // Painting starts a line earlier: tall items of earlier lines may reach down here.
        int j = i;
        while (j > 0 && !DrawItems[j]->FromNewLine)
            --j;
        --j;
        if (j < 0) return 0;
        while (j > 0 && !DrawItems[j]->FromNewLine)
            --j;
        return std::max(j - 1, 0);
    }
    while (i + 1 < n && y > DrawItems[i]->Top)
        ++i;
    return i;
}

int TCustomRVFormattedData::FindLineAtY(int y) const {
    // The last drawing item whose Top is at or above y.
    int lo = 0, hi = DrawItems.Count() - 1;
    while (lo < hi) {
        int mid = (lo + hi + 1) / 2;
        if (DrawItems[mid]->Top <= y)
            lo = mid;
        else
            hi = mid - 1;
    }
    return lo;
}

int TCustomRVFormattedData::FindDrawItemContaining(int x, int y) const {
    const int n = DrawItems.Count();
    if (n == 0) return -1;
    auto contains = [&](int i) {
        const TRVDrawLineInfo* d = DrawItems[i];
        return PointInBox(x, y, d->Left, d->Top, d->Width, d->Height);
    };
    if (contains(0)) return 0;
    if (n == 1) return -1;
    int s = FindLineAtY(y);
    if (s < 1) s = 1;
    while (s > 1 && DrawItems[s - 1]->Top + DrawItems[s - 1]->Height > DrawItems[s]->Top)
        --s;
    int rows = 0;
    for (int i = s; i < n; ++i) {
        if (i > s && DrawItems[i]->FromNewLine && ++rows > 2) break;
        if (contains(i)) return i;
    }
    return -1;
}

void TCustomRVFormattedData::FindDrawItemAtPoint(int x, int y, int& drawItemNo, int& offs,
                                                 bool strict) {
    drawItemNo = -1;
    offs = -1;
    const int n = DrawItems.Count();
    if (n == 0) return;
    int d = (y < DrawItems[0]->Top + DrawItems[0]->Height) ? 0 : FindLineAtY(y);
    int first, last;
    GetScreenLineBounds(d, first, last);
    if (last + 1 < n) {
        int nf, nl;
        GetScreenLineBounds(last + 1, nf, nl);
        for (int i = nf; i <= nl; ++i)
            if (DrawItems[i]->Top <= y) {
                first = nf;
                last = nl;
                break;
            }
    }
    const bool rtl =
        GetParaBiDiMode(GetItemParaNo(DrawItems[first]->ItemNo)) == TRVBiDiMode::rvbdRightToLeft;
    // After mirroring, the list order of a right-to-left line runs from right to left.
    for (int i = first; i <= last; ++i) {
        const TRVDrawLineInfo* di = DrawItems[i];
        const bool isFirst = i == first, isLast = i == last;
        bool hit;
        if (strict) {
            hit = x >= di->Left && x < di->Left + di->Width && y >= di->Top &&
                  y <= di->Top + di->Height;
        } else if (!rtl) {
            hit = (x >= di->Left && (isLast || DrawItems[i + 1]->Left > x)) ||
                  (x < di->Left && isFirst);
        } else {
            int right = di->Left + di->Width;
            hit =
                (x < right && (isLast || DrawItems[i + 1]->Left + DrawItems[i + 1]->Width <= x)) ||
                (x >= right && isFirst);
        }
        if (!hit) continue;
        drawItemNo = i;
        int styleNo = GetItemStyleNo(di->ItemNo);
        if (styleNo < 0) {
            bool after = x > di->Left + di->Width / 2;
            if (rtl) after = !after;
            offs = after ? 1 : 0;
            if (!strict && styleNo == rvsListMarker && di->ItemNo + 1 < ItemCount()) {
                int next = di->ItemNo + 1;
                ItemToDrawItemPos(next, ItemStartOffset(next), drawItemNo, offs);
                if (drawItemNo < 0) {
                    drawItemNo = i;
                    offs = 1;
                }
            }
        } else {
            offs = FindOffsetInDrawItem(i, x);
        }
        return;
    }
}

int TCustomRVFormattedData::FindOffsetInDrawItem(int drawItemNo, int x) {
    const TRVDrawLineInfo* d = DrawItems[drawItemNo];
    if (d->Length <= 0) return 1;
    TRVStyle* style = GetRVStyle();
    TCanvas* canvas = GetCanvas();
    const int itemNo = d->ItemNo;
    const int styleNo = GetItemStyleNo(itemNo);
    if (!style || !canvas) return 1;
    style->ApplyStyle(canvas, styleNo, GetItemBiDiMode(itemNo));
    FFmt.LastTextStyle = -1;
    std::string text = DrawItems.GetDrawItemText(drawItemNo, this);
    bool unicode = GetItem(itemNo)->IsUnicode();
    if (style->TextStyles.GetItem(styleNo).AllCaps)
        text = ApplyAllCaps(text, unicode, true, CodePageOfStyle(styleNo));
    std::u16string wide = unicode ? ToWide(text) : std::u16string();
    const int len = unicode ? int(wide.size()) : int(text.size());
    if (len == 0) return 1;
    const int px = x - d->Left - d->SpaceBefore;
    // Position i's x: from character placement for an item with a BiDi mode (reordered
    // text), else the width of the first i characters.
    std::vector<int> pos;
    const TRVBiDiMode bidi = GetItemBiDiMode(itemNo);
    if (bidi == TRVBiDiMode::rvbdUnspecified ||
        !GetCharCaretPositions(canvas, text, unicode, bidi, pos) || int(pos.size()) != len + 1) {
        std::vector<int> ext;
        MeasureTextFit(canvas, text, unicode, INT_MAX, &ext);
        ext.resize(size_t(len), ext.empty() ? 0 : ext.back());
        pos.assign(1, 0);
        pos.insert(pos.end(), ext.begin(), ext.end());
    }
    int best = 0, bestDist = std::abs(pos[0] - px);
    for (int i = 1; i <= len; ++i) {
        int dist = std::abs(pos[size_t(i)] - px);
        if (dist < bestDist) {
            best = i;
            bestDist = dist;
        }
    }
    if (unicode && best > 0 && best < len) {
        size_t end = CharNextW(wide, CharPrevW(wide, size_t(best)));
        if (end != size_t(best)) best = int(end);
    }
    return std::clamp(best + 1, 1, len + 1);
}

bool TCustomRVFormattedData::GetItemAtPointEx(int x, int y, TCustomRVFormattedData*& rvData,
                                              int& itemNo, int& offs, std::string* clickedWord,
                                              int* wordOffs, int* styleNo) {
    TCustomRVFormattedData* data = this;
    x += GetHScrollPos();
    y += GetVScrollPos();
    rvData = this;
    itemNo = -1;
    offs = 0;
    if (clickedWord) clickedWord->clear();
    while (true) {
        int d = data->FindDrawItemContaining(x, y);
        rvData = data;
        if (d < 0) {
            itemNo = -1;
            return false;
        }
        const TRVDrawLineInfo* di = data->DrawItems[d];
        TCustomRVItemInfo* item = data->GetItem(di->ItemNo);
        itemNo = di->ItemNo;
        if (styleNo) *styleNo = item->StyleNo;
        if (item->StyleNo < 0) {
            // The sub-document is asked with the point relative to the item's top-left corner.
            auto* sub = dynamic_cast<TCustomRVFormattedData*>(
                item->GetSubDocumentAtPoint(x - di->Left, y - di->Top));
            if (!sub || sub == data) {
                offs = x > di->Left + di->Width / 2 ? 1 : 0;
                return true;
            }
            int ox, oy, sx, sy;
            data->GetOriginInRoot(ox, oy);
            sub->GetOriginInRoot(sx, sy);
            x = x + ox - sx;
            y = y + oy - sy - sub->GetContentVOffset();
            data = sub;
            continue;
        }
        int local = data->FindOffsetInDrawItem(d, x);
        offs = di->Offs + local - 1;
        int len = data->GetItemCharCount(itemNo);
        int start = offs, end = offs;
        while (start > 1 && !data->IsDelimiterAt(itemNo, start - 1))
            --start;
        while (end <= len && !data->IsDelimiterAt(itemNo, end))
            ++end;
        if (wordOffs) *wordOffs = start;
        if (clickedWord)
            *clickedWord = CopyItemTextChars(data->GetItemText(itemNo),
                                             data->ReadItemOptionBits(itemNo), start, end - start);
        return true;
    }
}

// ---------------------------------------------------------------------------------------------
// Minimum widths.

int TCustomRVFormattedData::CalcParaMinWidthRange(int firstItemNo, int lastItemNo, TCanvas* canvas,
                                                  const TRVScreenAndDevice* sad) {
    TRVStyle* style = GetRVStyle();
    if (!style || !canvas || firstItemNo > lastItemNo) return 0;
    firstItemNo = std::max(firstItemNo, 0);
    lastItemNo = std::min(lastItemNo, ItemCount() - 1);
    auto scaleX = [&](int v) { return sad ? sad->XToDevice(v) : v; };
    FMinWidthStyle = -1;
    int result = 0;
    int i = firstItemNo;
    while (i <= lastItemNo) {
        int paraStart = -1;
        int indents = scaleX(GetItemIndentsSum(i, paraStart));
        bool noWrap = style->ParaStyles.GetItem(GetItemParaNo(i))
                          .Options.Contains(TRVParaOption::rvpaoNoWrap);
        int sum = 0, widest = 0, markerWidth = 0;
        int j = i;
        do {
            TCustomRVItemInfo* item = GetItem(j);
            int w;
            if (item->StyleNo >= 0) {
                if (noWrap) {
                    w = MeasureItemText(canvas, j, nullptr);
                } else {
                    // The widest word: runs between spaces.
                    MeasureItemText(canvas, j, &FExtents);
                    const std::string& text = GetItemText(j);
                    bool unicode = item->IsUnicode();
                    int len = int(FExtents.size());
                    w = 0;
                    int wordStart = 0; // width before the current word
                    for (int k = 0; k <= len; ++k) {
                        bool space = k < len && (unicode ? (uint8_t(text[size_t(2 * k)]) == ' ' &&
                                                            text[size_t(2 * k + 1)] == 0)
                                                         : text[size_t(k)] == ' ');
                        if (k == len || space) {
                            int before = k > 0 ? FExtents[size_t(k - 1)] : 0;
                            w = std::max(w, before - wordStart);
                            wordStart = k < len ? FExtents[size_t(k)] : 0;
                        }
                    }
                }
            } else {
                w = item->GetMinWidth(sad, canvas, this);
                // An inline item is never narrower than its box, whatever its class reports.
                if (!item->IsFullLine()) w = std::max(w, scaleX(item->GetBoxWidth()));
            }
            if (noWrap) {
                sum += w;
            } else {
                if (j > i && GetItemStyleNo(j - 1) == rvsListMarker) w += markerWidth;
                widest = std::max(widest, w);
            }
            markerWidth = 0;
            if (item->StyleNo == rvsListMarker) {
                // The first line starts at the marker indent: the marker needs room beyond the
                // level's left indent (counted in the indents) only when it is wider than the
                // space between the two.
                const TRVListLevel* level =
                    static_cast<TRVMarkerItemInfo*>(item)->GetLevelInfo(GetRVStyle());
                markerWidth =
                    level ? std::max(0, w - scaleX(level->LeftIndent - level->MarkerIndent)) : w;
            }
            ++j;
        } while (j <= lastItemNo && !GetItem(j)->StartsParagraph());
        result = std::max(result, indents + (noWrap ? sum : widest));
        i = j;
    }
    FFmt.LastTextStyle = -1;
    return result;
}

int TCustomRVFormattedData::CalcParaMinWidth(int itemNo, TCanvas* canvas,
                                             const TRVScreenAndDevice* sad) {
    if (itemNo < 0 || itemNo >= ItemCount()) return 0;
    int last = itemNo;
    while (last + 1 < ItemCount() && !GetItem(last + 1)->StartsParagraph())
        ++last;
    return CalcParaMinWidthRange(itemNo, last, canvas ? canvas : GetCanvas(), sad);
}

int TCustomRVFormattedData::CalcParasMinWidth(int firstItemNo, int lastItemNo, TCanvas* canvas,
                                              const TRVScreenAndDevice* sad) {
    if (ItemCount() == 0 || firstItemNo > lastItemNo) return 0;
    ClampItemIndex(firstItemNo);
    ClampItemIndex(lastItemNo);
    GetParagraphItemRange(firstItemNo, lastItemNo);
    return CalcItemRangeMinWidth(firstItemNo, lastItemNo, canvas, sad);
}

// Each paragraph part of the range counts: a partial first and last paragraph with the indents
// of their paragraphs, and the whole ones between.
int TCustomRVFormattedData::CalcItemRangeMinWidth(int firstItemNo, int lastItemNo, TCanvas* canvas,
                                                  const TRVScreenAndDevice* sad) {
    if (ItemCount() == 0 || firstItemNo > lastItemNo) return 0;
    return CalcParaMinWidthRange(firstItemNo, lastItemNo, canvas ? canvas : GetCanvas(), sad);
}

int TCustomRVFormattedData::CalcDocumentMinWidth(TCanvas* canvas, const TRVScreenAndDevice* sad) {
    if (sad && sad->IsOneToOne()) sad = nullptr;
    return CalcItemRangeMinWidth(0, ItemCount() - 1, canvas, sad);
}

} // namespace epc
