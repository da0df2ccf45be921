// Painting a formatted document: paragraph backgrounds and borders, text-background events,
// page-break and checkpoint marks, then every visible drawing item with its draw state.

#include <algorithm>

#include "platform/controls/Controls.h"
#include "platform/graphics/Graphics.h"
#include "richtext/document/RVGraphicSupport.h"
#include "richtext/document/RVUni.h"
#include "richtext/view/RVFormattedData.h"

namespace epc {

namespace {

// Draw-state bits of non-text items.
constexpr int kItemSelected = 1;
constexpr int kItemActiveInner = 2;
constexpr int kItemHover = 4;
constexpr int kItemFocused = 64;

} // namespace

int TCustomRVFormattedData::FindNextFocusItem(bool forward, int fromItemNo) const {
    const int n = ItemCount();
    auto focusable = [&](int i) {
        TCustomRVItemInfo* item = GetItem(i);
        if (item->GetKindFlag(rvifActivatesByKeyboard)) return true;
        if (!item->GetStateFlag(rvisHasControl)) return false;
        auto* ci = dynamic_cast<TRVControlItemInfo*>(item);
        auto* wc = ci ? dynamic_cast<TWinControl*>(ci->Control.get()) : nullptr;
        return wc && wc->CanFocus() && wc->TabStop();
    };
    if (forward) {
        for (int i = std::max(fromItemNo + 1, 0); i < n; ++i)
            if (focusable(i)) return i;
    } else {
        for (int i = (fromItemNo < 0 ? n : fromItemNo) - 1; i >= 0; --i)
            if (focusable(i)) return i;
    }
    return -1;
}

void TCustomRVFormattedData::PaintDocument(TCanvas* canvas, TRect clipRect) {
    TRVStyle* style = GetRVStyle();
    if (!canvas || !style) return;
    int startNo, startOffs, endNo, endOffs;
    GetSelectionDrawBounds(startNo, startOffs, endNo, endOffs, true);
    const int xOff = GetHScrollPos() + clipRect.Left;
    const int yOff = GetVScrollPos() + clipRect.Top;
    const TRect visible(clipRect.Left + GetHScrollPos(), clipRect.Top + GetVScrollPos(),
                        clipRect.Right + GetHScrollPos(), clipRect.Bottom + GetVScrollPos());
    const TRVOptions options = GetOptions();
    const bool selectedLook = State.Contains(TRVState::rvstSelectedLook);
    canvas->Brush()->SetStyle(bsClear);
    int lastTextStyle = -1;
    TRVTextDrawStates baseText;
    int baseItem = 0;
    if (IsControlFocused()) {
        baseText.Include(TRVTextDrawState::rvtsControlFocused);
        baseItem = kItemFocused;
    }
    const int count = DrawItems.Count();
    TControl* control = GetParentControl();
    if (count > 0) {
        const int first = FindFirstDrawItemAtY(visible.Top, 1);
        // Painting ends at the first line that starts below the visible area.
        int last = count - 1;
        for (int i = first + 1; i < count; ++i) {
            const TRVDrawLineInfo* d = DrawItems[i];
            if (d->FromNewLine && d->Top >= visible.Bottom) {
                last = i;
                break;
            }
        }
        const int maxText = GetMaxTextWidth();
        auto startsPara = [&](int i) {
            return i == 0 || (DrawItems[i]->ItemNo != DrawItems[i - 1]->ItemNo &&
                              ItemStartsParagraph(DrawItems[i]->ItemNo));
        };
        // Paragraph backgrounds and borders, from the paragraph that holds the first visible
        // drawing item (it may begin above the visible area: it is painted whole).
        int p = first;
        while (p > 0 && !startsPara(p))
            --p;
        while (p <= last) {
            int q = p + 1;
            while (q < count && !startsPara(q))
                ++q;
            const int itemNo = DrawItems[p]->ItemNo;
            if (GetItemStyleNo(itemNo) != rvsBreak) {
                const int paraNo = GetItemParaNo(itemNo);
                const TParaInfo& para = style->ParaStyles[paraNo];
                if (para.Border.Style != TRVBorderStyle::rvbNone ||
                    para.Background.Color != clNone || style->OnDrawParaBack) {
                    TRect r;
                    r.Left = GetLeftMargin() + para.LeftIndent + std::min(para.FirstIndent, 0);
                    if (options.Contains(TRVOption::rvoClientTextWidth))
                        r.Right = GetClientWidth() - GetRightMargin() - para.RightIndent;
                    else if (maxText > 0)
                        r.Right = GetLeftMargin() + maxText - para.RightIndent;
                    else
                        r.Right = GetAreaWidth() - GetRightMargin() - para.RightIndent;
                    r.Top = DrawItems[p]->Top;
                    r.Bottom = r.Top;
                    for (int k = p; k < q; ++k) {
                        const TRVDrawLineInfo* d = DrawItems[k];
                        r.Right = std::max(r.Right, d->Left + d->Width);
                        r.Top = std::min(r.Top, d->Top);
                        r.Bottom = std::max(r.Bottom, d->Top + d->Height + d->ExtraSpaceBelow);
                    }
                    r = TRect(r.Left - xOff, r.Top - yOff, r.Right - xOff, r.Bottom - yOff);
                    // The default background widens itself by its border offsets.
                    style->DrawParaBack(canvas, paraNo, r, false, TRVColorMode::rvcmColor);
                    para.Border.Draw(r, canvas);
                }
            }
            p = q;
        }
        // Text backgrounds, for the program's own drawing.
        if (style->OnDrawTextBack) {
            for (int i = first; i <= last; ++i) {
                const TRVDrawLineInfo* d = DrawItems[i];
                const int styleNo = GetItemStyleNo(d->ItemNo);
                if (styleNo < 0) continue;
                TRVTextDrawStates st;
                if (State.Contains(TRVState::rvstDrawHover) && LastJumpMovedAbove >= 0 &&
                    GetItem(d->ItemNo)->JumpID == LastJumpMovedAbove)
                    st.Include(TRVTextDrawState::rvtsHover);
                style->DrawTextBack(canvas, d->ItemNo, styleNo, this, d->Left - xOff, d->Top - yOff,
                                    d->Width, d->Height, st);
            }
        }
        // Page breaks set by pagination.
        const auto* softBreaks = GetSoftPageBreaks();
        if (softBreaks && options.Contains(TRVOption::rvoShowPageBreaks)) {
            for (const TRVSoftPageBreakInfo& pb : *softBreaks) {
                if (pb.ItemNo < DrawItems[first]->ItemNo) continue;
                int dno, doffs;
                ItemToDrawItemPos(pb.ItemNo, pb.Offset, dno, doffs);
                if (dno < 0) continue;
                if (dno > last) break;
                int extra = 0;
                if (pb.ExtraData >= 0) extra = GetItem(pb.ItemNo)->GetSoftPageBreakExtraOffset();
                if (dno == 0 && extra == 0) continue;
                style->DrawPageBreak(canvas, DrawItems[dno]->Top - yOff - 1 + extra, xOff,
                                     TRVPageBreakType::rvpbSoftPageBreak, control,
                                     GetClientWidth());
            }
        }
        // The drawing items.
        for (int i = first; i <= last; ++i) {
            TRVDrawLineInfo* d = DrawItems[i];
            const int itemNo = d->ItemNo;
            TCustomRVItemInfo* item = GetItem(itemNo);
            const bool firstOfItem = i == 0 || DrawItems[i - 1]->ItemNo != itemNo;
            if (firstOfItem && item->GetPageBreakBefore() &&
                options.Contains(TRVOption::rvoShowPageBreaks))
                style->DrawPageBreak(canvas, d->Top - yOff - 1, xOff,
                                     TRVPageBreakType::rvpbPageBreak, control, GetClientWidth());
            if (firstOfItem && item->Checkpoint && options.Contains(TRVOption::rvoShowCheckpoints))
                style->DrawCheckpoint(canvas, d->Left - xOff, d->Top - yOff, itemNo, xOff,
                                      item->Checkpoint->RaiseEvent, control);
            const int styleNo = item->StyleNo;
            if (styleNo < 0) {
                SetReadingOrder(canvas, TRVBiDiMode::rvbdUnspecified); // items draw left to right
                int state = baseItem;
                const bool inSelection = i >= startNo && i <= endNo && startNo >= 0 &&
                                         !(i == endNo && endOffs == 0) &&
                                         !(i == startNo && startOffs == 1);
                if (inSelection || selectedLook) state |= kItemSelected;
                if (State.Contains(TRVState::rvstDrawHover) && LastJumpMovedAbove >= 0 &&
                    item->JumpID == LastJumpMovedAbove)
                    state |= kItemHover;
                if (ChosenItem == item) state |= kItemActiveInner;
                if (item->IsFullLine() || item->GetKindFlag(rvifFullWidth)) {
                    int right = GetAreaWidth() - GetRightMargin();
                    if (maxText > 0 &&
                        GetLeftMargin() + maxText + GetRightMargin() < GetAreaWidth())
                        right = GetLeftMargin() + maxText;
                    if (options.Contains(TRVOption::rvoClientTextWidth)) right = GetClientWidth();
                    item->PaintFullWidth(GetLeftMargin() - xOff, right - xOff, d->Top - yOff,
                                         canvas, state, style, clipRect, d);
                    lastTextStyle = -1;
                } else {
                    item->Paint(d->Left - xOff, d->Top - yOff, canvas, state, style, d);
                    if (item->GetKindFlag(rvifChangesCanvasFont)) lastTextStyle = -1;
                }
                continue;
            }
            if (styleNo != lastTextStyle) {
                style->ApplyStyle(canvas, styleNo, GetItemBiDiMode(itemNo));
                lastTextStyle = styleNo;
            }
            // Items of one style may stand in paragraphs of either direction.
            SetReadingOrder(canvas, GetItemBiDiMode(itemNo));
            const TFontInfo& font = style->TextStyles[styleNo];
            const bool hover = item->IsHyperlink(style) &&
                               State.Contains(TRVState::rvstDrawHover) && LastJumpMovedAbove >= 0 &&
                               item->JumpID == LastJumpMovedAbove;
            const std::string text = DrawItems.GetDrawItemText(i, this);
            const bool unicode = item->IsUnicode();
            const int len = d->Length;
            const int itemLen = GetItemCharCount(itemNo);
            const bool events = bool(style->OnDrawStyleText);
            // One run: Start and Count in characters of the drawing item (1-based start).
            auto run = [&](bool selected, int x, int width, int start, int runLen,
                           const std::string& s, int spaceBefore) {
                TRVTextDrawStates st = baseText;
                if (selected) st.Include(TRVTextDrawState::rvtsSelected);
                if (hover) st.Include(TRVTextDrawState::rvtsHover);
                if (events) {
                    if (start == 1 && d->Offs == 1) st.Include(TRVTextDrawState::rvtsItemStart);
                    if (start + runLen - 1 == len && d->Offs + len - 1 == itemLen)
                        st.Include(TRVTextDrawState::rvtsItemEnd);
                    if (start == 1) st.Include(TRVTextDrawState::rvtsDrawItemStart);
                    if (start + runLen - 1 == len) st.Include(TRVTextDrawState::rvtsDrawItemEnd);
                }
                style->ApplyStyleColor(canvas, styleNo, st, false, TRVColorMode::rvcmColor);
                style->DrawStyleText(s, canvas, itemNo, x - xOff, d->Top - yOff, width, d->Height,
                                     styleNo, this, st, false, false, TRVColorMode::rvcmColor,
                                     GetItemBiDiMode(itemNo), spaceBefore);
            };
            const bool inRange = startNo >= 0 && i >= startNo && i <= endNo;
            const bool partial =
                inRange && ((i == startNo && startOffs > 1) || (i == endNo && endOffs <= len));
            if (selectedLook || (inRange && !partial)) {
                run(true, d->Left, d->Width, 1, len, text, d->SpaceBefore);
            } else if (!inRange) {
                run(false, d->Left, d->Width, 1, len, text, d->SpaceBefore);
            } else {
                run(false, d->Left, d->Width, 1, len, text, d->SpaceBefore);
                const int selStart = i == startNo ? std::max(startOffs, 1) : 1;
                const int selEnd = i == endNo ? endOffs - 1 : len;
                const TRVBiDiMode bidi = GetItemBiDiMode(itemNo);
                bool placed = false;
                if (selEnd >= selStart && bidi != TRVBiDiMode::rvbdUnspecified) {
                    // Reordered text: the selected characters lie where placement puts them.
                    TRVTextDrawStates st = baseText;
                    st.Include(TRVTextDrawState::rvtsSelected);
                    if (hover) st.Include(TRVTextDrawState::rvtsHover);
                    style->ApplyStyleColor(canvas, styleNo, st, false, TRVColorMode::rvcmColor);
                    placed = TryDrawTextByPlacement(
                        true, canvas,
                        ApplyAllCaps(text, unicode, font.AllCaps, GetItemCodePage(itemNo)), unicode,
                        d->Left + d->SpaceBefore - xOff, d->Top - yOff, selStart - 1,
                        selEnd - selStart + 1, d->Height, bidi);
                }
                if (selEnd >= selStart && !placed) {
                    const int cw = unicode ? 2 : 1;
                    const std::string part =
                        text.substr(size_t(selStart - 1) * cw, size_t(selEnd - selStart + 1) * cw);
                    const uint32_t cp = GetItemCodePage(itemNo);
                    const std::string before = ApplyAllCaps(
                        text.substr(0, size_t(selStart - 1) * cw), unicode, font.AllCaps, cp);
                    const int x = d->Left + GetTextWidth(canvas, before, unicode);
                    // A run at the drawing item's start covers the justification space in
                    // front of it; a later one lies behind that space.
                    const int space = selStart == 1 ? d->SpaceBefore : 0;
                    const int width =
                        events ? GetTextWidth(canvas, ApplyAllCaps(part, unicode, font.AllCaps, cp),
                                              unicode) +
                                     space
                               : 0;
                    run(true, x + d->SpaceBefore - space, width, selStart, selEnd - selStart + 1,
                        part, space);
                }
            }
        }
        PaintOverItems(canvas, xOff, yOff);
        if (NotAddedCP && options.Contains(TRVOption::rvoShowCheckpoints))
            style->DrawCheckpoint(canvas, -1, DocumentHeight - yOff, -1, xOff,
                                  NotAddedCP->RaiseEvent, control);
        PaintHook(last, first, yOff);
        return;
    }
    if (NotAddedCP && options.Contains(TRVOption::rvoShowCheckpoints))
        style->DrawCheckpoint(canvas, -1, DocumentHeight - yOff, -1, xOff, NotAddedCP->RaiseEvent,
                              control);
}

} // namespace epc
