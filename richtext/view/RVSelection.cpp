// Mouse handling of a formatted document: the drawing item and hyperlink under the mouse,
// making and extending the selection, word selection, the viewer's mouse events, XOR
// feedback, and copying the selection to the clipboard.

#include <algorithm>
#include <cstring>
#include <utility>

#include "platform/controls/Clipbrd.h"
#include "platform/core/Exceptions.h"
#include "platform/core/ScopeGuard.h"
#include "platform/core/Streams.h"
#include "richtext/view/RVBackground.h"
#include "richtext/view/RVFormattedData.h"

namespace epc {

namespace {

constexpr int kJumpRedrawMargin = 5;

bool HasHoverLook(const TFontInfo& font) {
    return font.HoverColor != clNone || font.HoverBackColor != clNone;
}

// A memory block of the clipboard filled with bytes; the clipboard owns it afterwards.
void PutBlock(TClipboard* clipboard, uint32_t format, const void* data, size_t size) {
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, size);
    if (!block) throw ERichViewError("No memory");
    void* p = GlobalLock(block);
    if (size > 0) std::memcpy(p, data, size);
    GlobalUnlock(block);
    clipboard->SetAsHandle(format, block);
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Forwarders: a nested document asks the outermost one.

TCustomRVFormattedData* TCustomRVFormattedData::GetRootFormattedData() {
    auto* root = dynamic_cast<TCustomRVFormattedData*>(GetRootData());
    return root ? root : this;
}

TRVDocumentHost& TCustomRVFormattedData::RootHost() const {
    return const_cast<TCustomRVFormattedData*>(this)->GetRootFormattedData()->Host();
}

void TCustomRVFormattedData::DoJump(int id) {
    TCustomRVFormattedData* root = GetRootFormattedData();
    if (root != this) root->DoJump(id);
}

void TCustomRVFormattedData::ClientToDoc(int x, int y, int& dx, int& dy) {
    TCustomRVFormattedData* root = GetRootFormattedData();
    if (root == this) {
        dx = x + GetHScrollPos();
        dy = y + GetVScrollPos();
        return;
    }
    int ox = 0, oy = 0;
    GetOriginInRoot(ox, oy);
    dx = x + root->GetHScrollPos() - ox;
    dy = y + root->GetVScrollPos() - oy - GetContentVOffset();
}

// ---------------------------------------------------------------------------------------------
// Selection.

void TCustomRVFormattedData::SetSelection(int startItemNo, int startOffs, int endItemNo,
                                          int endOffs) {
    auto skipMarker = [&](int& itemNo, int& offs) {
        if (itemNo >= 0 && itemNo + 1 < ItemCount() && GetItemStyleNo(itemNo) == rvsListMarker) {
            ++itemNo;
            offs = ItemStartOffset(itemNo);
        }
    };
    skipMarker(startItemNo, startOffs);
    skipMarker(endItemNo, endOffs);
    BeforeSelectionChange();
    SetSelectionBounds(startItemNo, endItemNo, startOffs, endOffs);
    DoSelect();
    Invalidate();
}

void TCustomRVFormattedData::SelectDrawRange(int firstDrawItemNo, int firstOffs, int lastDrawItemNo,
                                             int lastOffs) {
    BeforeSelectionChange();
    FirstDrawItemNo = firstDrawItemNo;
    FirstOffs = firstOffs;
    LastDrawItemNo = lastDrawItemNo;
    LastOffs = lastOffs;
    DeselectSubItem();
    if (lastDrawItemNo >= 0 && lastDrawItemNo < DrawItems.Count()) {
        const TRVDrawLineInfo* d = DrawItems[lastDrawItemNo];
        MakeRectVisible(d->Left, d->Top, d->Width, d->Height);
    }
    Invalidate();
    DoSelect();
}

TCustomRVFormattedData* TCustomRVFormattedData::GetActiveSubData() const {
    return ChosenItem && ChosenRVData && ChosenRVData != this ? ChosenRVData : nullptr;
}

bool TCustomRVFormattedData::SelectionExists(bool reset, bool usePartial) {
    if (TCustomRVFormattedData* sub = GetActiveSubData())
        if (usePartial && sub->SelectionExists(reset, usePartial)) return true;
    int si, so, ei, eo;
    GetSelectionBounds(si, so, ei, eo, true);
    bool exists = si >= 0 && ei >= 0 && !(si == ei && so == eo);
    // The end of one item and the start of the next are the same place.
    if (exists && ei == si + 1 && so == ItemEndOffset(si) && eo == ItemStartOffset(ei))
        exists = false;
    if (!exists && reset && FirstDrawItemNo >= 0) Deselect(nullptr, false);
    return exists;
}

TGraphic* TCustomRVFormattedData::GetSelectedImage() const {
    int s, a, e, b;
    GetSelectionBounds(s, a, e, b, true);
    if (s < 0 || e < 0) return nullptr;
    auto atStart = [&](int item, int offs) { return offs <= ItemStartOffset(item); };
    auto atEnd = [&](int item, int offs) { return offs >= ItemEndOffset(item); };
    int found = -1;
    if (e == s) {
        if (atStart(s, a) && atEnd(s, b)) found = s;
    } else if (e == s + 1) {
        if (atStart(s, a) && atStart(e, b))
            found = s;
        else if (atEnd(s, a) && atEnd(e, b))
            found = e;
    } else if (e == s + 2) {
        if (atEnd(s, a) && atStart(e, b)) found = s + 1;
    }
    if (found < 0 || GetItemStyleNo(found) >= 0) return nullptr;
    return GetItem(found)->GetGraphic();
}

std::string TCustomRVFormattedData::GetSelectionText(bool unicode) {
    if (TCustomRVFormattedData* sub = GetActiveSubData()) return sub->GetSelectionText(unicode);
    if (!SelectionExists(false, false)) return std::string();
    TMemoryStream stream;
    try {
        if (!WriteTextToStream(stream, std::string(), 80, true, unicode)) return std::string();
    } catch (const Exception&) {
        return std::string();
    }
    return stream.DataString();
}

void TCustomRVFormattedData::SelectClickedItem(int drawItemNo, int offs, bool shift) {
    BeforeSelectionChange();
    LastDrawItemNo = drawItemNo;
    LastOffs = offs;
    if (!shift || FirstDrawItemNo < 0) {
        FirstDrawItemNo = drawItemNo;
        FirstOffs = offs;
    }
}

void TCustomRVFormattedData::DeselectSubItem() {
    if (TCustomRVFormattedData* sub = GetActiveSubData()) sub->Deselect(nullptr, true);
    SetActiveSubItem(nullptr);
    ChosenRVData = nullptr;
}

// ---------------------------------------------------------------------------------------------
// Hyperlinks.

int TCustomRVFormattedData::JumpAtPoint(int x, int y) const {
    SettleJumpDrawItemNos();
    for (size_t i = 0; i < Jumps.size(); ++i) {
        const TRVJumpInfo& j = *Jumps[i];
        if (PointInBox(x, y, j.Left, j.Top, j.Width, j.Height)) return int(i);
    }
    return -1;
}

void TCustomRVFormattedData::RedrawJump(int jumpNo) {
    TRVStyle* style = GetRVStyle();
    TCustomRVFormattedData* root = GetRootFormattedData();
    const int h = root->GetHScrollPos(), v = root->GetVScrollPos();
    if (style && style->FullRedraw) {
        root->Invalidate();
    } else {
        for (const auto& j : root->Jumps)
            if (j->Id == jumpNo)
                root->InvalidateRect(TRect(j->Left - kJumpRedrawMargin - h,
                                           j->Top - kJumpRedrawMargin - v,
                                           j->Left + j->Width + kJumpRedrawMargin - h,
                                           j->Top + j->Height + kJumpRedrawMargin - v));
    }
    root->UpdateControl();
}

void TCustomRVFormattedData::ClearHover() {
    TCustomRVFormattedData* owner = HoverRVData;
    if (!owner) return;
    const int id = owner->LastJumpMovedAbove;
    const bool shown = owner->State.Contains(TRVState::rvstDrawHover);
    owner->State.Exclude(TRVState::rvstDrawHover);
    owner->LastJumpMovedAbove = -1;
    owner->LastDIMovedAbove = -1;
    HoverRVData = nullptr;
    if (shown && id >= 0) RedrawJump(id);
}

// ---------------------------------------------------------------------------------------------
// Mouse.

void TCustomRVFormattedData::UpdateDrawItemUnderMouse(int x, int y) {
    if (FDrawItemUnderMouse >= 0 && FDrawItemUnderMouse < DrawItems.Count()) {
        const TRVDrawLineInfo* d = DrawItems[FDrawItemUnderMouse];
        if (PointInBox(x, y, d->Left, d->Top, d->Width, d->Height)) return;
    }
    FDrawItemUnderMouse = FindDrawItemContaining(x, y);
}

void TCustomRVFormattedData::MouseMove(TShiftState shift, int x, int y) {
    HideXorFeedback();
    FMouseX = x;
    FMouseY = y;
    int dx, dy;
    ClientToDoc(x, y, dx, dy);
    UpdateDrawItemUnderMouse(dx, dy);
    if (FMouseItem && FMouseItemDrawNo >= 0 && FMouseItemDrawNo < DrawItems.Count()) {
        const TRVDrawLineInfo* d = DrawItems[FMouseItemDrawNo];
        FMouseItem->ItemMouseMove(this, shift, dx - d->Left, dy - d->Top, TPoint(x, y));
        return;
    }
    if (FCaptureRVData) {
        FCaptureRVData->MouseMove(shift, x, y);
        DrawXorFeedbackAt(x, y);
        return;
    }
    if (State.Contains(TRVState::rvstMakingSelection)) {
        int dno = -1, doffs = -1;
        FindDrawItemAtPoint(dx, dy, dno, doffs, false);
        if (dno >= 0 && (dno != LastDrawItemNo || doffs != LastOffs)) {
            BeforeSelectionChange();
            LastDrawItemNo = dno;
            LastOffs = doffs;
            DoSelect();
            Invalidate();
        }
    }
    bool jumpTook = false;
    if (GetFlags().Contains(TRVFlag::UseJumps)) {
        const int j = JumpAtPoint(dx, dy);
        if (j >= 0) {
            jumpTook = true;
            const TRVJumpInfo& jump = *Jumps[size_t(j)];
            SetJumpCursor(jump.Cursor);
            if (jump.Id != FLastHoverId) {
                FLastHoverId = jump.Id;
                DoJumpHover(jump.Id);
            }
            auto* owner = dynamic_cast<TCustomRVFormattedData*>(jump.RVData);
            if (!owner) owner = this;
            if (HoverRVData && (HoverRVData != owner || HoverRVData->LastJumpMovedAbove != jump.Id))
                ClearHover();
            if (HoverRVData != owner) {
                HoverRVData = owner;
                owner->LastJumpMovedAbove = jump.Id;
                owner->LastDIMovedAbove = jump.DrawItemNo;
                bool look = true;
                if (jump.DrawItemNo >= 0 && jump.DrawItemNo < owner->DrawItems.Count()) {
                    const int styleNo =
                        owner->GetItemStyleNo(owner->DrawItems[jump.DrawItemNo]->ItemNo);
                    TRVStyle* style = GetRVStyle();
                    if (styleNo >= 0)
                        look = style && HasHoverLook(style->TextStyles.GetItem(styleNo));
                }
                if (look) {
                    owner->State.Include(TRVState::rvstDrawHover);
                    RedrawJump(jump.Id);
                }
            }
        } else {
            ClearHover();
            if (FLastHoverId != -1) {
                FLastHoverId = -1;
                DoJumpHover(-1);
            }
        }
    }
    if (!jumpTook) {
        TCustomRVFormattedData* sub = nullptr;
        int itemCursor = 0;
        bool itemSetsCursor = false;
        if (FDrawItemUnderMouse >= 0) {
            const TRVDrawLineInfo* d = DrawItems[FDrawItemUnderMouse];
            TCustomRVItemInfo* item = GetItem(d->ItemNo);
            if (auto* mouseItem = dynamic_cast<TRVMouseItem*>(item))
                itemSetsCursor = mouseItem->ItemCursorAt(dx - d->Left, dy - d->Top, itemCursor);
            if (item->StyleNo < 0 && !itemSetsCursor)
                sub = dynamic_cast<TCustomRVFormattedData*>(
                    item->GetSubDocumentAtPoint(dx - d->Left, dy - d->Top));
        }
        if (itemSetsCursor)
            SetJumpCursor(itemCursor);
        else if (sub && sub != this)
            sub->MouseMove(shift, x, y);
        else
            SetJumpCursor(-1);
    }
    DrawXorFeedbackAt(x, y);
}

void TCustomRVFormattedData::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    FMouseX = x;
    FMouseY = y;
    int dx, dy;
    ClientToDoc(x, y, dx, dy);
    UpdateDrawItemUnderMouse(dx, dy);
    int pressed = FDrawItemUnderMouse;
    int itemNo = pressed >= 0 ? DrawItems[pressed]->ItemNo : -1;
    FCaptureRVData = nullptr;
    TCustomRVFormattedData* root = GetRootFormattedData();
    root->FMouseEventFired = false;
    TCustomRVItemInfo* item = itemNo >= 0 ? GetItem(itemNo) : nullptr;
    // The item holding the inner selection: the chosen one, else a mouse item selected whole
    // (a table whose cells are selected).
    TCustomRVItemInfo* holder = ChosenItem;
    if (!holder) {
        int si, so, ei, eo;
        GetSelectionBounds(si, so, ei, eo, true);
        if (si >= 0 && si == ei && si < ItemCount() && dynamic_cast<TRVMouseItem*>(GetItem(si)))
            holder = GetItem(si);
    }
    if (!item || item != holder) {
        if (auto* inner = dynamic_cast<TRVMouseItem*>(holder)) {
            // What the item gives back (a cell editor's text) is laid out again: the press is
            // looked up anew.
            inner->EndInnerSelection(this);
            FDrawItemUnderMouse = -1;
            UpdateDrawItemUnderMouse(dx, dy);
            pressed = FDrawItemUnderMouse;
            itemNo = pressed >= 0 ? DrawItems[pressed]->ItemNo : -1;
            item = itemNo >= 0 ? GetItem(itemNo) : nullptr;
        }
        DeselectSubItem();
        FocusControl();
    }
    FMouseItem = nullptr;
    if (auto* mouseItem = item && item->StyleNo < 0 ? dynamic_cast<TRVMouseItem*>(item) : nullptr) {
        const TRVDrawLineInfo* d = DrawItems[pressed];
        if (mouseItem->ItemMouseDown(this, button, shift, dx - d->Left, dy - d->Top,
                                     TPoint(x, y))) {
            FMouseItem = mouseItem;
            FMouseItemDrawNo = pressed;
            if (!root->FMouseEventFired) DoRVMouseDown(button, shift, itemNo, x, y);
            return;
        }
    }
    if (item && item->StyleNo < 0) {
        const TRVDrawLineInfo* d = DrawItems[pressed];
        auto* sub = dynamic_cast<TCustomRVFormattedData*>(
            item->GetSubDocumentAtPoint(dx - d->Left, dy - d->Top));
        if (sub && sub != this) {
            // The nested document takes the press and the moves until the release.
            Deselect(nullptr, false);
            SetActiveSubItem(item);
            ChosenRVData = sub;
            FCaptureRVData = sub;
            sub->MouseDown(button, shift, x, y);
        }
    }
    if (!root->FMouseEventFired) DoRVMouseDown(button, shift, itemNo, x, y);
    if (button == mbLeft) {
        const int j = JumpAtPoint(dx, dy);
        FPressedJump = j >= 0 ? Jumps[size_t(j)]->Id : -1;
    }
    if (button == mbLeft && !FCaptureRVData && !State.Contains(TRVState::rvstIgnoreNextMouseUp)) {
        const TRVOptions options = GetOptions();
        if (options.Contains(TRVOption::rvoSingleClick) && HasRVDblClick()) {
            TCustomRVFormattedData* data = nullptr;
            int ino = -1, offs = 0, styleNo = 0, wordOffs = 0;
            std::string word;
            if (GetItemAtPointEx(x, y, data, ino, offs, &word, &wordOffs, &styleNo))
                DoRVDblClick(word, styleNo);
        }
        if (options.Contains(TRVOption::rvoAllowSelection)) {
            int dno = -1, doffs = -1;
            FindDrawItemAtPoint(dx, dy, dno, doffs, false);
            SelectClickedItem(dno, doffs, shift.Contains(ssShift));
            if (LastDrawItemNo < 0)
                State.Exclude(TRVState::rvstMakingSelection);
            else
                State.Include(TRVState::rvstMakingSelection);
            DoSelect();
            Invalidate();
        }
    }
    if (FCaptureRVData) {
        FirstDrawItemNo = LastDrawItemNo = pressed;
        FirstOffs = LastOffs = 1;
    }
}

void TCustomRVFormattedData::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
    const bool hadSelection = SelectionExists(false, false);
    int dx, dy;
    ClientToDoc(x, y, dx, dy);
    TCustomRVFormattedData* root = GetRootFormattedData();
    root->FMouseEventFired = false;
    if (TRVMouseItem* mouseItem = std::exchange(FMouseItem, nullptr)) {
        // The item passes the release on (a table to the cell that took the press); when no
        // document fired the release, this one does. The item's handlers may free a nested
        // document, so its own state is settled first.
        State.Exclude(TRVState::rvstIgnoreNextMouseUp);
        if (button == mbLeft) FPressedJump = -1;
        if (FMouseItemDrawNo >= 0 && FMouseItemDrawNo < DrawItems.Count()) {
            const TRVDrawLineInfo* d = DrawItems[FMouseItemDrawNo];
            mouseItem->ItemMouseUp(this, button, shift, dx - d->Left, dy - d->Top, TPoint(x, y));
        }
        if (!root->FMouseEventFired) {
            UpdateDrawItemUnderMouse(dx, dy);
            DoRVMouseUp(button, shift,
                        FDrawItemUnderMouse >= 0 ? DrawItems[FDrawItemUnderMouse]->ItemNo : -1, x,
                        y);
        }
        return;
    }
    if (!FCaptureRVData) {
        State.Exclude(TRVState::rvstIgnoreNextMouseUp);
        if (State.Contains(TRVState::rvstMakingSelection) && button == mbLeft) {
            int dno = -1, doffs = -1;
            FindDrawItemAtPoint(dx, dy, dno, doffs, false);
            if (dno >= 0) {
                LastDrawItemNo = dno;
                LastOffs = doffs;
            }
            State.Exclude(TRVState::rvstMakingSelection);
            DoSelect();
            Invalidate();
        }
    } else {
        FCaptureRVData->MouseUp(button, shift, x, y);
    }
    if (button == mbRight && GetOptions().Contains(TRVOption::rvoRClickDeselects) &&
        !FCaptureRVData) {
        int dno = -1, doffs = -1;
        FindDrawItemAtPoint(dx, dy, dno, doffs, false);
        if (dno >= 0) {
            int ino, io;
            DrawItemToItemPos(dno, doffs, ino, io);
            int si, so, ei, eo;
            GetSelectionBounds(si, so, ei, eo, true);
            const bool before = si < 0 || ino < si || (ino == si && io < so);
            const bool after = ei < 0 || ino > ei || (ino == ei && io > eo);
            if (before || after) {
                BeforeSelectionChange();
                FirstDrawItemNo = LastDrawItemNo = dno;
                FirstOffs = LastOffs = doffs;
                DoSelect();
                Invalidate();
            }
        }
    }
    UpdateDrawItemUnderMouse(dx, dy);
    const int itemNo = FDrawItemUnderMouse >= 0 ? DrawItems[FDrawItemUnderMouse]->ItemNo : -1;
    // A nested document that took the release fired it, and its right click, already.
    const bool nestedFired = root->FMouseEventFired;
    if (!nestedFired) DoRVMouseUp(button, shift, itemNo, x, y);
    if (button == mbRight && HasRVRightClick() && itemNo >= 0 && !nestedFired) {
        TCustomRVFormattedData* data = nullptr;
        int ino = -1, offs = 0, styleNo = 0, wordOffs = 0;
        std::string word;
        if (GetItemAtPointEx(x, y, data, ino, offs, &word, &wordOffs, &styleNo))
            DoRVRightClick(word, styleNo, x, y);
    }
    if (button == mbLeft && FPressedJump >= 0 && !hadSelection) {
        const int j = JumpAtPoint(dx, dy);
        if (j >= 0 && Jumps[size_t(j)]->Id == FPressedJump) DoJump(FPressedJump);
    }
    if (button == mbLeft) FPressedJump = -1;
    FCaptureRVData = nullptr;
}

void TCustomRVFormattedData::DblClick() {
    const TRVOptions options = GetOptions();
    TCustomRVFormattedData* data = nullptr;
    int itemNo = -1, offs = 0, styleNo = 0, wordOffs = 0;
    std::string word;
    const bool hit =
        GetItemAtPointEx(FMouseX, FMouseY, data, itemNo, offs, &word, &wordOffs, &styleNo);
    if (options.Contains(TRVOption::rvoDblClickSelectsWord) &&
        options.Contains(TRVOption::rvoAllowSelection)) {
        if (hit && data && itemNo >= 0) {
            // A word of a text item, any other item whole.
            int first = 0, last = 1;
            if (data->GetItemStyleNo(itemNo) >= 0) {
                first = wordOffs;
                last = wordOffs + (data->GetItem(itemNo)->IsUnicode() ? int(word.size() / 2)
                                                                      : int(word.size()));
            }
            int firstDrawNo, firstDrawOffs, lastDrawNo, lastDrawOffs;
            data->ItemToDrawItemPos(itemNo, first, firstDrawNo, firstDrawOffs);
            data->ItemToDrawItemPos(itemNo, last, lastDrawNo, lastDrawOffs);
            // The press that follows a double click keeps the word, in a cell as at the root.
            data->State.Exclude(TRVState::rvstMakingSelection);
            data->State.Include(TRVState::rvstIgnoreNextMouseUp);
            State.Exclude(TRVState::rvstMakingSelection);
            State.Include(TRVState::rvstIgnoreNextMouseUp);
            data->SelectDrawRange(firstDrawNo, firstDrawOffs, lastDrawNo, lastDrawOffs);
            Invalidate();
        }
        DoRVDblClick(word, styleNo);
        return;
    }
    if (HasRVDblClick()) DoRVDblClick(word, styleNo);
}

// ---------------------------------------------------------------------------------------------
// XOR feedback.

void TCustomRVFormattedData::SetXorDrawer(TRVXorDrawer drawer, const void* owner) {
    HideXorFeedback();
    FXorDrawer = std::move(drawer);
    FXorOwner = owner;
}

void TCustomRVFormattedData::ClearXorDrawer(const void* owner) {
    if (!FXorDrawer || owner != FXorOwner) return;
    if (!State.Contains(TRVState::rvstDestroying)) HideXorFeedback();
    FXorDrawer = nullptr;
    FXorOwner = nullptr;
    FXorShown = false;
}

void TCustomRVFormattedData::ToggleXorFeedback(int x, int y) {
    if (!FXorDrawer) return;
    FXorDrawer(this, x, y);
    FXorShown = !FXorShown;
}

void TCustomRVFormattedData::DrawXorFeedbackAt(int x, int y) {
    if (!FXorDrawer) return;
    HideXorFeedback();
    FXorX = x;
    FXorY = y;
    ToggleXorFeedback(x, y);
}

void TCustomRVFormattedData::HideXorFeedback() {
    if (FXorShown) ToggleXorFeedback(FXorX, FXorY);
}

void TCustomRVFormattedData::ShowXorFeedback() {
    if (FXorDrawer && !FXorShown) ToggleXorFeedback(FXorX, FXorY);
}

// ---------------------------------------------------------------------------------------------
// Copying.

void TCustomRVFormattedData::CopyToClipboard(TColor color, TRVBackground* background) {
    if (TCustomRVFormattedData* sub = GetActiveSubData()) {
        sub->CopyToClipboard(color, background);
        return;
    }
    const TRVOptions options = GetOptions();
    const bool any = options.Contains(TRVOption::rvoAutoCopyText) ||
                     options.Contains(TRVOption::rvoAutoCopyRVF) ||
                     options.Contains(TRVOption::rvoAutoCopyUnicodeText) ||
                     options.Contains(TRVOption::rvoAutoCopyRTF) ||
                     options.Contains(TRVOption::rvoAutoCopyImage) || HasCopyHandler();
    if (!any || !SelectionExists(false, false)) return;
    const TBackgroundStyle backStyle =
        background ? background->GetStyle() : TBackgroundStyle::bsNoBitmap;
    TGraphic* backImage = background ? background->Picture() : nullptr;
    TClipboard* clipboard = Clipboard();
    clipboard->Open();
    // A writer that fails leaves what was placed before; the clipboard is closed regardless.
    auto close = Finally([&] { clipboard->Close(); });
    clipboard->Clear();
    DoCopy();
    if (options.Contains(TRVOption::rvoAutoCopyRVF)) {
        TMemoryStream stream;
        const int32_t placeholder = 0;
        stream.Write(&placeholder, 4);
        SaveToRvfStream(stream, true, color, backStyle, backImage);
        const uint32_t n = uint32_t(stream.Size() - 4);
        uint8_t* p = stream.Memory();
        p[0] = uint8_t(n);
        p[1] = uint8_t(n >> 8);
        p[2] = uint8_t(n >> 16);
        p[3] = uint8_t(n >> 24);
        PutBlock(clipboard, RegisterClipboardFormatA("RichView Format"), stream.Memory(),
                 size_t(stream.Size()));
    }
    // The system derives the ANSI text from the Unicode one when both are asked for.
    if (options.Contains(TRVOption::rvoAutoCopyText) &&
        !options.Contains(TRVOption::rvoAutoCopyUnicodeText))
        clipboard->SetAsText(GetSelectionText(false));
    if (options.Contains(TRVOption::rvoAutoCopyImage))
        if (TGraphic* graphic = GetSelectedImage()) clipboard->Assign(graphic);
    if (options.Contains(TRVOption::rvoAutoCopyUnicodeText)) {
        std::string text = GetSelectionText(true);
        text.append(2, '\0');
        PutBlock(clipboard, CF_UNICODETEXT, text.data(), text.size());
    }
    if (options.Contains(TRVOption::rvoAutoCopyRTF)) {
        TMemoryStream stream;
        WriteRtfToStream(stream, true, color, backStyle, backImage);
        PutBlock(clipboard, RegisterClipboardFormatA("Rich Text Format"), stream.Memory(),
                 size_t(stream.Size()));
    }
}

// ---------------------------------------------------------------------------------------------

void TCustomRVFormattedData::DeleteItemRange(int first, int count) {
    if (!State.Contains(TRVState::rvstDestroying) && !State.Contains(TRVState::rvstClearing))
        Deselect(nullptr, true);
    // Nested documents of the deleted items may be the hovered or the pressed one.
    if (HoverRVData && HoverRVData != this) HoverRVData->LeaveHover(-1);
    HoverRVData = nullptr;
    FCaptureRVData = nullptr;
    FMouseItem = nullptr;
    if (ChosenItem) DeselectSubItem();
    const int before = ItemCount();
    TCustomRVData::DeleteItemRange(first, count);
    if (ItemCount() < before && !State.Contains(TRVState::rvstDestroying))
        AdjustItemIndicesInRoot(first, ItemCount() - before);
}

void TCustomRVFormattedData::AdjustItemIndicesInRoot(int firstItemNo, int delta) {
    GetRootFormattedData()->AdjustRememberedItemIndices(this, firstItemNo, delta);
}

} // namespace epc
