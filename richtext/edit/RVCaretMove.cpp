// Caret movement among the caret stops: characters, words, lines, pages and the document ends.
// Every move keeps the caret in view: a caret moved off the screen would be typed at unseen.

#include <algorithm>

#include "richtext/edit/RVERVData.h"

namespace epc {

namespace {

// Characters of an item's text (UTF-16 or 8-bit) for word steps.
std::u16string ItemChars(const TCustomRVData& data, int itemNo) {
    const std::string& raw = data.GetItemText(itemNo);
    if (data.GetItem(itemNo)->IsUnicode()) return LEBytesToWide(raw);
    return std::u16string(raw.begin(), raw.end());
}

// Position p (1-based, before character p) starts a word: a space to its left, none to its right.
bool IsWordStart(const std::u16string& text, int p) {
    if (p <= 1 || p > int(text.size())) return false;
    return text[size_t(p - 2)] == u' ' && text[size_t(p - 1)] != u' ';
}

// The caret stop at an offset of a drawing item; -1 when its line has none there (a word
// ends on another line, or a stop stands for several code units).
int FindStop(const std::vector<TRVCharPos>& stops, int drawItemNo, int offset) {
    for (size_t i = 0; i < stops.size(); ++i)
        if (stops[i].DrawItemNo == drawItemNo && stops[i].Offset == offset) return int(i);
    return -1;
}

} // namespace

void TRVEditRVData::GoLineStart(bool document) {
    if (CaretDrawItemNo < 0) return;
    if (document) {
        const int first = SkipMarkerForward(0);
        RebuildAt(first, IsDrawItemText(first) ? 1 : 0);
        CaretOffs = 0;
    } else {
        CaretOffs = 0;
        CaretDrawItemNo = CharEnds[0].DrawItemNo;
    }
    ShowCaret(true, false, false);
}

void TRVEditRVData::GoLineEnd(bool document) {
    if (CaretDrawItemNo < 0) return;
    if (document) {
        const int last = DrawItems.Count() - 1;
        RebuildAt(last, GetOffsAfterDrawItem(last));
    }
    CaretOffs = int(CharEnds.size()) - 1;
    CaretDrawItemNo = CharEnds[size_t(CaretOffs)].DrawItemNo;
    ShowCaret(true, false, false);
}

void TRVEditRVData::GoLeft(bool word, bool selecting) {
    if (CaretDrawItemNo < 0 || CaretOffs < 0) return;
    if (CaretOffs == 0) {
        int first, last;
        GetScreenLineBounds(CaretDrawItemNo, first, last);
        int prev = first - 1;
        if (prev < 0) return;
        RebuildAt(prev, GetOffsAfterDrawItem(prev));
        ShowCaret(true, false, false);
        return;
    }
    const TRVCharPos& cp = CharEnds[size_t(CaretOffs)];
    const TRVDrawLineInfo* d = DrawItems[cp.DrawItemNo];
    const int itemNo = d->ItemNo;
    if (!word && !selecting && GetItem(itemNo)->AcceptCaret(1, 0)) return;
    if (word && GetItemStyleNo(itemNo) >= 0 && cp.Offset > 1) {
        const std::u16string text = ItemChars(*this, itemNo);
        const int from = d->Offs + cp.Offset - 1;
        int target = from - 1;
        while (target > 1 && !IsWordStart(text, target))
            --target;
        const int stop = FindStop(CharEnds, cp.DrawItemNo, target - d->Offs + 1);
        if (stop < 0) {
            PlaceCaretAt(itemNo, target);
            ShowCaret(true, false, false);
            return;
        }
        CaretOffs = stop;
    } else {
        --CaretOffs;
    }
    CaretDrawItemNo = CharEnds[size_t(CaretOffs)].DrawItemNo;
    ShowCaret(true, false, false);
}

void TRVEditRVData::GoRight(bool word, bool selecting) {
    if (CaretDrawItemNo < 0 || CaretOffs < 0) return;
    if (IsCaretAtLineEnd()) {
        int first, last;
        GetScreenLineBounds(CaretDrawItemNo, first, last);
        if (last + 1 >= DrawItems.Count()) return;
        const int next = SkipMarkerForward(last + 1);
        RebuildAt(next, IsDrawItemText(next) ? 1 : 0);
    } else {
        const int next = CharEnds[size_t(CaretOffs) + 1].DrawItemNo;
        if (!word && !selecting && GetItem(DrawItems[next]->ItemNo)->AcceptCaret(0, 0)) return;
        ++CaretOffs;
        CaretDrawItemNo = CharEnds[size_t(CaretOffs)].DrawItemNo;
    }
    if (word) {
        const TRVCharPos& cp = CharEnds[size_t(CaretOffs)];
        const TRVDrawLineInfo* d = DrawItems[cp.DrawItemNo];
        const int itemNo = d->ItemNo;
        if (GetItemStyleNo(itemNo) >= 0) {
            const std::u16string text = ItemChars(*this, itemNo);
            const int from = d->Offs + cp.Offset - 1;
            int target = from;
            while (target <= int(text.size()) && !IsWordStart(text, target))
                ++target;
            const int stop = FindStop(CharEnds, cp.DrawItemNo, target - d->Offs + 1);
            if (stop >= 0) {
                CaretOffs = stop;
                CaretDrawItemNo = CharEnds[size_t(CaretOffs)].DrawItemNo;
            } else {
                PlaceCaretAt(itemNo, target);
                ShowCaret(true, false, false);
                return;
            }
        }
    }
    ShowCaret(true, false, false);
}

void TRVEditRVData::MoveToDrawItemAtY(int y, bool before) {
    const int x = CharEnds[size_t(CaretOffs)].X;
    int drawItemNo, offs;
    FindDrawItemAtPoint(x, y, drawItemNo, offs, false);
    if (drawItemNo < 0) return;
    // Straight above or below the caret, the item may take the caret itself.
    const TRVDrawLineInfo* d = DrawItems[drawItemNo];
    if (x >= d->Left && x < d->Left + d->Width &&
        GetItem(d->ItemNo)->AcceptCaret(before ? 3 : 2, x - d->Left))
        return;
    RebuildAt(drawItemNo, offs);
    ShowCaret(true, false, false);
}

void TRVEditRVData::GoLineUp(bool selecting) {
    if (CaretDrawItemNo < 0 || CaretOffs < 0) return;
    int first, last;
    GetScreenLineBounds(CaretDrawItemNo, first, last);
    if (first == 0) {
        if (selecting && CaretOffs != 0) {
            CaretOffs = 0;
            CaretDrawItemNo = CharEnds[0].DrawItemNo;
            ShowCaret(true, false, false);
        } else {
            ScrollTo(0, true);
        }
        return;
    }
    MoveToDrawItemAtY(DrawItems[first - 1]->Top, true);
}

void TRVEditRVData::GoLineDown(bool selecting) {
    if (CaretDrawItemNo < 0 || CaretOffs < 0) return;
    int first, last;
    GetScreenLineBounds(CaretDrawItemNo, first, last);
    if (last == DrawItems.Count() - 1) {
        if (selecting && !IsCaretAtLineEnd()) {
            CaretOffs = int(CharEnds.size()) - 1;
            CaretDrawItemNo = CharEnds[size_t(CaretOffs)].DrawItemNo;
            ShowCaret(true, false, false);
        } else {
            ScrollTo(DocumentHeight, true);
        }
        return;
    }
    MoveToDrawItemAtY(DrawItems[last + 1]->Top, false);
}

void TRVEditRVData::MovePageTo(int drawItemNo, int offs, int oldLineFirst) {
    // The view follows the caret by the distance it moved, so that a page step moves the
    // caret and the view together, then the caret line is made visible.
    const int shift = DrawItems[drawItemNo]->Top - DrawItems[oldLineFirst]->Top;
    ScrollTo(std::max(0, GetVScrollPos() + shift), true);
    RebuildAt(drawItemNo, offs);
    ShowCaret(true, false, false);
}

void TRVEditRVData::GoPageUp() {
    if (CaretDrawItemNo < 0 || CaretOffs < 0) return;
    const int clientHeight = GetClientHeight();
    // At least one pixel, or a window under 2 pixels high would probe the same point forever.
    const int step = std::max(1, clientHeight / 2);
    int first, last;
    GetScreenLineBounds(CaretDrawItemNo, first, last);
    const int x = CharEnds[size_t(CaretOffs)].X;
    for (int y = GetVScrollPos() - 2 * clientHeight / 3; y >= 1; y -= step) {
        int drawItemNo, offs;
        FindDrawItemAtPoint(x, y, drawItemNo, offs, false);
        if (drawItemNo >= 0 && drawItemNo < first) {
            MovePageTo(drawItemNo, offs, first);
            return;
        }
    }
    GoLineStart(true);
}

void TRVEditRVData::GoPageDown() {
    if (CaretDrawItemNo < 0 || CaretOffs < 0) return;
    const int clientHeight = GetClientHeight();
    const int step = std::max(1, clientHeight / 2);
    int first, last;
    GetScreenLineBounds(CaretDrawItemNo, first, last);
    const int x = CharEnds[size_t(CaretOffs)].X;
    for (int y = GetVScrollPos() + 2 * clientHeight / 3; y < DocumentHeight; y += step) {
        int drawItemNo, offs;
        FindDrawItemAtPoint(x, y, drawItemNo, offs, false);
        if (drawItemNo > last) {
            MovePageTo(drawItemNo, offs, first);
            return;
        }
    }
    GoLineEnd(true);
}

} // namespace epc
