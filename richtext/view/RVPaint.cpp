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

// One paint of a document: the offsets, the selection in drawing items and the visible range
// every step shares.
class TDocumentPainter {
public:
    TDocumentPainter(TCustomRVFormattedData& doc, TCanvas& canvas, TRVStyle& style,
                     const TRect& clipRect);
    void Paint();

private:
    bool StartsParagraph(int drawItemNo) const;
    bool IsHoveredJump(const TCustomRVItemInfo& item) const;
    // The visible drawing items: from the first line at the top of the clip rectangle to the
    // first line that starts below it.
    void FindVisibleRange();
    // Backgrounds and borders of the paragraphs, from the paragraph that holds the first
    // visible drawing item (it may begin above the visible area: it is painted whole).
    void PaintParagraphBacks();
    void PaintParagraphBack(int firstDrawItemNo, int endDrawItemNo);
    // Text backgrounds, for the program's own drawing.
    void PaintTextBacks();
    // Page breaks set by pagination.
    void PaintSoftPageBreaks();
    // The page-break and checkpoint marks at an item's first drawing item.
    void PaintItemMarks(int drawItemNo);
    void PaintNonTextItem(int drawItemNo);
    void PaintTextItem(int drawItemNo);
    // The selected characters of a partly selected text drawing item, over its plain run.
    void PaintSelectedPart(int drawItemNo, const std::string& text, int selStart, int selEnd);
    // One run of text: Start and Count in characters of the drawing item (1-based start).
    void PaintTextRun(int drawItemNo, bool selected, int x, int width, int start, int runLen,
                      const std::string& s, int spaceBefore);
    void PaintDocumentEndCheckpoint();

    TCustomRVFormattedData& FDoc;
    TCanvas& FCanvas;
    TRVStyle& FStyle;
    const TRect FClipRect;
    const TRVOptions FOptions;
    const bool FSelectedLook;
    const int FXOff, FYOff;
    TControl* const FControl;
    int FStartNo = -1, FStartOffs = 0, FEndNo = -1, FEndOffs = 0;
    TRVTextDrawStates FBaseText;
    int FBaseItem = 0;
    int FFirst = 0, FLast = -1;
    int FMaxText = 0;
    int FLastTextStyle = -1; // the text style applied to the canvas; -1: none
};

TDocumentPainter::TDocumentPainter(TCustomRVFormattedData& doc, TCanvas& canvas, TRVStyle& style,
                                   const TRect& clipRect)
    : FDoc(doc), FCanvas(canvas), FStyle(style), FClipRect(clipRect), FOptions(doc.GetOptions()),
      FSelectedLook(doc.State.Contains(TRVState::rvstSelectedLook)),
      FXOff(doc.GetHScrollPos() + clipRect.Left), FYOff(doc.GetVScrollPos() + clipRect.Top),
      FControl(doc.GetParentControl()) {}

void TDocumentPainter::Paint() {
    FDoc.GetSelectionDrawBounds(FStartNo, FStartOffs, FEndNo, FEndOffs, true);
    FCanvas.Brush()->SetStyle(bsClear);
    if (FDoc.IsControlFocused()) {
        FBaseText.Include(TRVTextDrawState::rvtsControlFocused);
        FBaseItem = kItemFocused;
    }
    if (FDoc.DrawItems.Count() == 0) {
        PaintDocumentEndCheckpoint();
        return;
    }
    FindVisibleRange();
    FMaxText = FDoc.GetMaxTextWidth();
    PaintParagraphBacks();
    PaintTextBacks();
    PaintSoftPageBreaks();
    for (int i = FFirst; i <= FLast; ++i) {
        PaintItemMarks(i);
        if (FDoc.GetItem(FDoc.DrawItems[i]->ItemNo)->StyleNo < 0)
            PaintNonTextItem(i);
        else
            PaintTextItem(i);
    }
    FDoc.PaintOverItems(&FCanvas, FXOff, FYOff);
    PaintDocumentEndCheckpoint();
    FDoc.PaintHook(FLast, FFirst, FYOff);
}

void TDocumentPainter::PaintDocumentEndCheckpoint() {
    if (FDoc.NotAddedCP && FOptions.Contains(TRVOption::rvoShowCheckpoints))
        FStyle.DrawCheckpoint(&FCanvas, -1, FDoc.DocumentHeight - FYOff, -1, FXOff,
                              FDoc.NotAddedCP->RaiseEvent, FControl);
}

bool TDocumentPainter::StartsParagraph(int i) const {
    const TRVDrawLines& items = FDoc.DrawItems;
    return i == 0 ||
           (items[i]->ItemNo != items[i - 1]->ItemNo && FDoc.ItemStartsParagraph(items[i]->ItemNo));
}

bool TDocumentPainter::IsHoveredJump(const TCustomRVItemInfo& item) const {
    return FDoc.State.Contains(TRVState::rvstDrawHover) && FDoc.LastJumpMovedAbove >= 0 &&
           item.JumpID == FDoc.LastJumpMovedAbove;
}

void TDocumentPainter::FindVisibleRange() {
    const int count = FDoc.DrawItems.Count();
    const int visibleBottom = FClipRect.Bottom + FDoc.GetVScrollPos();
    FFirst = FDoc.FindFirstDrawItemAtY(FClipRect.Top + FDoc.GetVScrollPos(), 1);
    FLast = count - 1;
    // A line ends the range only when none of its drawing items reaches into the area: in a
    // list line the marker (the line start) may lie lower than its text.
    for (int i = FFirst + 1; i < count;) {
        if (!FDoc.DrawItems[i]->FromNewLine) {
            ++i;
            continue;
        }
        int lineTop = FDoc.DrawItems[i]->Top;
        int next = i + 1;
        for (; next < count && !FDoc.DrawItems[next]->FromNewLine; ++next)
            lineTop = std::min(lineTop, FDoc.DrawItems[next]->Top);
        if (lineTop >= visibleBottom) {
            FLast = i;
            break;
        }
        i = next;
    }
}

void TDocumentPainter::PaintParagraphBacks() {
    const int count = FDoc.DrawItems.Count();
    int p = FFirst;
    while (p > 0 && !StartsParagraph(p))
        --p;
    while (p <= FLast) {
        int q = p + 1;
        while (q < count && !StartsParagraph(q))
            ++q;
        PaintParagraphBack(p, q);
        p = q;
    }
}

void TDocumentPainter::PaintParagraphBack(int p, int q) {
    const int itemNo = FDoc.DrawItems[p]->ItemNo;
    if (FDoc.GetItemStyleNo(itemNo) == rvsBreak) return;
    const int paraNo = FDoc.GetItemParaNo(itemNo);
    const TParaInfo& para = FStyle.ParaStyles[paraNo];
    if (para.Border.Style == TRVBorderStyle::rvbNone && para.Background.Color == clNone &&
        !FStyle.OnDrawParaBack)
        return;
    TRect r;
    r.Left = FDoc.GetLeftMargin() + para.LeftIndent + std::min(para.FirstIndent, 0);
    if (FOptions.Contains(TRVOption::rvoClientTextWidth))
        r.Right = FDoc.GetClientWidth() - FDoc.GetRightMargin() - para.RightIndent;
    else if (FMaxText > 0)
        r.Right = FDoc.GetLeftMargin() + FMaxText - para.RightIndent;
    else
        r.Right = FDoc.GetAreaWidth() - FDoc.GetRightMargin() - para.RightIndent;
    r.Top = FDoc.DrawItems[p]->Top;
    r.Bottom = r.Top;
    for (int k = p; k < q; ++k) {
        const TRVDrawLineInfo* d = FDoc.DrawItems[k];
        r.Right = std::max(r.Right, d->Left + d->Width);
        r.Top = std::min(r.Top, d->Top);
        r.Bottom = std::max(r.Bottom, d->Top + d->Height + d->ExtraSpaceBelow);
    }
    r = TRect(r.Left - FXOff, r.Top - FYOff, r.Right - FXOff, r.Bottom - FYOff);
    // The background takes in its padding; the border goes around that.
    para.Background.ExpandRect(r);
    FStyle.DrawParaBack(&FCanvas, paraNo, r, false, TRVColorMode::rvcmColor);
    para.Border.Draw(r, &FCanvas);
}

void TDocumentPainter::PaintTextBacks() {
    if (!FStyle.OnDrawTextBack) return;
    for (int i = FFirst; i <= FLast; ++i) {
        const TRVDrawLineInfo* d = FDoc.DrawItems[i];
        const int styleNo = FDoc.GetItemStyleNo(d->ItemNo);
        if (styleNo < 0) continue;
        TRVTextDrawStates st;
        if (IsHoveredJump(*FDoc.GetItem(d->ItemNo))) st.Include(TRVTextDrawState::rvtsHover);
        FStyle.DrawTextBack(&FCanvas, d->ItemNo, styleNo, &FDoc, d->Left - FXOff, d->Top - FYOff,
                            d->Width, d->Height, st);
    }
}

void TDocumentPainter::PaintSoftPageBreaks() {
    const auto* softBreaks = FDoc.GetSoftPageBreaks();
    if (!softBreaks || !FOptions.Contains(TRVOption::rvoShowPageBreaks)) return;
    for (const TRVSoftPageBreakInfo& pb : *softBreaks) {
        if (pb.ItemNo < FDoc.DrawItems[FFirst]->ItemNo) continue;
        int dno, doffs;
        FDoc.ItemToDrawItemPos(pb.ItemNo, pb.Offset, dno, doffs);
        if (dno < 0) continue;
        if (dno > FLast) break;
        int extra = 0;
        if (pb.ExtraData >= 0) extra = FDoc.GetItem(pb.ItemNo)->GetSoftPageBreakExtraOffset();
        if (dno == 0 && extra == 0) continue;
        FStyle.DrawPageBreak(&FCanvas, FDoc.DrawItems[dno]->Top - FYOff - 1 + extra, FXOff,
                             TRVPageBreakType::rvpbSoftPageBreak, FControl, FDoc.GetClientWidth());
    }
}

void TDocumentPainter::PaintItemMarks(int i) {
    const TRVDrawLineInfo* d = FDoc.DrawItems[i];
    const int itemNo = d->ItemNo;
    if (i > 0 && FDoc.DrawItems[i - 1]->ItemNo == itemNo) return;
    TCustomRVItemInfo* item = FDoc.GetItem(itemNo);
    if (item->GetPageBreakBefore() && FOptions.Contains(TRVOption::rvoShowPageBreaks))
        FStyle.DrawPageBreak(&FCanvas, d->Top - FYOff - 1, FXOff, TRVPageBreakType::rvpbPageBreak,
                             FControl, FDoc.GetClientWidth());
    if (item->Checkpoint && FOptions.Contains(TRVOption::rvoShowCheckpoints))
        FStyle.DrawCheckpoint(&FCanvas, d->Left - FXOff, d->Top - FYOff, itemNo, FXOff,
                              item->Checkpoint->RaiseEvent, FControl);
}

void TDocumentPainter::PaintNonTextItem(int i) {
    TRVDrawLineInfo* d = FDoc.DrawItems[i];
    TCustomRVItemInfo* item = FDoc.GetItem(d->ItemNo);
    SetReadingOrder(&FCanvas, TRVBiDiMode::rvbdUnspecified); // items draw left to right
    int state = FBaseItem;
    const bool inSelection = i >= FStartNo && i <= FEndNo && FStartNo >= 0 &&
                             !(i == FEndNo && FEndOffs == 0) && !(i == FStartNo && FStartOffs == 1);
    if (inSelection || FSelectedLook) state |= kItemSelected;
    if (IsHoveredJump(*item)) state |= kItemHover;
    if (FDoc.ChosenItem == item) state |= kItemActiveInner;
    if (item->IsFullLine() || item->GetKindFlag(rvifFullWidth)) {
        const int left = FDoc.GetLeftMargin(), area = FDoc.GetAreaWidth();
        int right = area - FDoc.GetRightMargin();
        if (FMaxText > 0 && left + FMaxText + FDoc.GetRightMargin() < area) right = left + FMaxText;
        if (FOptions.Contains(TRVOption::rvoClientTextWidth)) right = FDoc.GetClientWidth();
        item->PaintFullWidth(left - FXOff, right - FXOff, d->Top - FYOff, &FCanvas, state, &FStyle,
                             FClipRect, d);
        FLastTextStyle = -1;
    } else {
        item->Paint(d->Left - FXOff, d->Top - FYOff, &FCanvas, state, &FStyle, d);
        if (item->GetKindFlag(rvifChangesCanvasFont)) FLastTextStyle = -1;
    }
}

void TDocumentPainter::PaintTextItem(int i) {
    const TRVDrawLineInfo* d = FDoc.DrawItems[i];
    const int itemNo = d->ItemNo;
    const int styleNo = FDoc.GetItem(itemNo)->StyleNo;
    if (styleNo != FLastTextStyle) {
        FStyle.ApplyStyle(&FCanvas, styleNo, FDoc.GetItemBiDiMode(itemNo));
        FLastTextStyle = styleNo;
    }
    // Items of one style may stand in paragraphs of either direction.
    SetReadingOrder(&FCanvas, FDoc.GetItemBiDiMode(itemNo));
    const std::string text = FDoc.DrawItems.GetDrawItemText(i, &FDoc);
    const int len = d->Length;
    const bool inRange = FStartNo >= 0 && i >= FStartNo && i <= FEndNo;
    const bool partial =
        inRange && ((i == FStartNo && FStartOffs > 1) || (i == FEndNo && FEndOffs <= len));
    const bool selected = FSelectedLook || (inRange && !partial);
    PaintTextRun(i, selected, d->Left, d->Width, 1, len, text, d->SpaceBefore);
    if (selected || !inRange) return;
    const int selStart = i == FStartNo ? std::max(FStartOffs, 1) : 1;
    const int selEnd = i == FEndNo ? FEndOffs - 1 : len;
    if (selEnd >= selStart) PaintSelectedPart(i, text, selStart, selEnd);
}

void TDocumentPainter::PaintSelectedPart(int i, const std::string& text, int selStart, int selEnd) {
    const TRVDrawLineInfo* d = FDoc.DrawItems[i];
    const int itemNo = d->ItemNo;
    TCustomRVItemInfo* item = FDoc.GetItem(itemNo);
    const int styleNo = item->StyleNo;
    const TFontInfo& font = FStyle.TextStyles[styleNo];
    const bool unicode = item->IsUnicode();
    const uint32_t cp = FDoc.GetItemCodePage(itemNo);
    const TRVBiDiMode bidi = FDoc.GetItemBiDiMode(itemNo);
    if (bidi != TRVBiDiMode::rvbdUnspecified) {
        // Reordered text: the selected characters lie where placement puts them.
        TRVTextDrawStates st = FBaseText;
        st.Include(TRVTextDrawState::rvtsSelected);
        if (item->IsHyperlink(&FStyle) && IsHoveredJump(*item)) st.Include(TRVTextDrawState::rvtsHover);
        FStyle.ApplyStyleColor(&FCanvas, styleNo, st, false, TRVColorMode::rvcmColor);
        if (TryDrawTextByPlacement(true, &FCanvas, ApplyAllCaps(text, unicode, font.AllCaps, cp),
                                   unicode, d->Left + d->SpaceBefore - FXOff, d->Top - FYOff,
                                   selStart - 1, selEnd - selStart + 1, d->Height, bidi))
            return;
    }
    const int cw = unicode ? 2 : 1;
    const std::string part =
        text.substr(size_t(selStart - 1) * cw, size_t(selEnd - selStart + 1) * cw);
    const std::string before =
        ApplyAllCaps(text.substr(0, size_t(selStart - 1) * cw), unicode, font.AllCaps, cp);
    const int x = d->Left + GetTextWidth(&FCanvas, before, unicode);
    // A run at the drawing item's start covers the justification space in front of it; a
    // later one lies behind that space.
    const int space = selStart == 1 ? d->SpaceBefore : 0;
    const int width =
        FStyle.OnDrawStyleText
            ? GetTextWidth(&FCanvas, ApplyAllCaps(part, unicode, font.AllCaps, cp), unicode) + space
            : 0;
    PaintTextRun(i, true, x + d->SpaceBefore - space, width, selStart, selEnd - selStart + 1, part,
                 space);
}

void TDocumentPainter::PaintTextRun(int i, bool selected, int x, int width, int start, int runLen,
                                    const std::string& s, int spaceBefore) {
    const TRVDrawLineInfo* d = FDoc.DrawItems[i];
    const int itemNo = d->ItemNo;
    TCustomRVItemInfo* item = FDoc.GetItem(itemNo);
    const int styleNo = item->StyleNo;
    const int len = d->Length;
    TRVTextDrawStates st = FBaseText;
    if (selected) st.Include(TRVTextDrawState::rvtsSelected);
    if (item->IsHyperlink(&FStyle) && IsHoveredJump(*item))
        st.Include(TRVTextDrawState::rvtsHover);
    if (FStyle.OnDrawStyleText) {
        if (start == 1 && d->Offs == 1) st.Include(TRVTextDrawState::rvtsItemStart);
        if (start + runLen - 1 == len && d->Offs + len - 1 == FDoc.GetItemCharCount(itemNo))
            st.Include(TRVTextDrawState::rvtsItemEnd);
        if (start == 1) st.Include(TRVTextDrawState::rvtsDrawItemStart);
        if (start + runLen - 1 == len) st.Include(TRVTextDrawState::rvtsDrawItemEnd);
    }
    FStyle.ApplyStyleColor(&FCanvas, styleNo, st, false, TRVColorMode::rvcmColor);
    FStyle.DrawStyleText(s, &FCanvas, itemNo, x - FXOff, d->Top - FYOff, width, d->Height, styleNo,
                         &FDoc, st, false, false, TRVColorMode::rvcmColor,
                         FDoc.GetItemBiDiMode(itemNo), spaceBefore);
}

} // namespace

namespace {

bool TakesKeyboardFocus(TCustomRVItemInfo* item) {
    if (item->GetKindFlag(rvifActivatesByKeyboard)) return true;
    if (!item->GetStateFlag(rvisHasControl)) return false;
    auto* ci = dynamic_cast<TRVControlItemInfo*>(item);
    auto* wc = ci ? dynamic_cast<TWinControl*>(ci->Control.get()) : nullptr;
    return wc && wc->CanFocus() && wc->TabStop();
}

int FindFocusIn(TCustomRVFormattedData* doc, bool forward, int fromItemNo,
                TCustomRVFormattedData*& found);

// The sub-documents of an item after (before) the one numbered FromSub, searched in turn.
int FindFocusInSubDocs(TCustomRVItemInfo* item, bool forward, int fromSub,
                       TCustomRVFormattedData*& found) {
    int count = 0;
    while (item->GetSubRVData(count))
        ++count;
    for (int k = forward ? fromSub + 1 : (fromSub < 0 ? count : fromSub) - 1; k >= 0 && k < count;
         k += forward ? 1 : -1)
        if (auto* sub = dynamic_cast<TCustomRVFormattedData*>(item->GetSubRVData(k)))
            if (const int i = FindFocusIn(sub, forward, -1, found); i >= 0) return i;
    return -1;
}

int FindFocusIn(TCustomRVFormattedData* doc, bool forward, int fromItemNo,
                TCustomRVFormattedData*& found) {
    const int n = doc->ItemCount();
    for (int i = forward ? std::max(fromItemNo + 1, 0) : (fromItemNo < 0 ? n : fromItemNo) - 1;
         i >= 0 && i < n; i += forward ? 1 : -1) {
        TCustomRVItemInfo* item = doc->GetItem(i);
        if (TakesKeyboardFocus(item)) {
            found = doc;
            return i;
        }
        if (item->GetSubRVData(0))
            if (const int k = FindFocusInSubDocs(item, forward, -1, found); k >= 0) return k;
    }
    return -1;
}

} // namespace

int TCustomRVFormattedData::FindNextFocusItem(bool forward, int fromItemNo,
                                              TCustomRVFormattedData** data,
                                              const TCustomRVFormattedData* fromData) const {
    auto* self = const_cast<TCustomRVFormattedData*>(this);
    auto* doc = fromData ? const_cast<TCustomRVFormattedData*>(fromData) : self;
    TCustomRVFormattedData* found = nullptr;
    int from = fromItemNo;
    for (;;) {
        if (const int i = FindFocusIn(doc, forward, from, found); i >= 0) {
            if (data) *data = found;
            return i;
        }
        if (doc == self) return -1;
        // Out of a nested document: on with the item's later documents, then after the item.
        auto* parent = dynamic_cast<TCustomRVFormattedData*>(doc->GetParentData());
        if (!parent) return -1;
        int itemNo = -1, subNo = -1;
        for (int i = 0; i < parent->ItemCount() && itemNo < 0; ++i)
            for (int k = 0; TCustomRVData* sub = parent->GetItem(i)->GetSubRVData(k); ++k)
                if (sub == doc) {
                    itemNo = i;
                    subNo = k;
                    break;
                }
        if (itemNo < 0) return -1;
        if (const int i = FindFocusInSubDocs(parent->GetItem(itemNo), forward, subNo, found);
            i >= 0) {
            if (data) *data = found;
            return i;
        }
        doc = parent;
        from = itemNo;
    }
}

void TCustomRVFormattedData::PaintDocument(TCanvas* canvas, TRect clipRect) {
    TRVStyle* style = GetRVStyle();
    if (!canvas || !style) return;
    TDocumentPainter(*this, *canvas, *style, clipRect).Paint();
}

} // namespace epc
