#include "richtext/view/RVControlData.h"

#include <exception>

#include "platform/controls/Controls.h"
#include "platform/controls/Forms.h"
#include "platform/core/Exceptions.h"
#include "platform/core/ScopeGuard.h"
#include "platform/gdi/Gdi.h"
#include "richtext/view/RVBackground.h"

namespace epc {

TRVControlData::TRVControlData() = default;

void TRVControlData::ClearFormatting() {
    if (DrawItems.Count() > 0) {
        DropFocusFrame();
        FocusedItemNo = -1;
        FocusedItemData = nullptr;
    }
    TCustomRVFormattedData::ClearFormatting();
}

void TRVControlData::Deselect(TCustomRVItemInfo* item, bool redraw) {
    if (State.Contains(TRVState::rvstChangingSelection)) return;
    State.Include(TRVState::rvstChangingSelection);
    TWinControl* control = GetParentControl();
    if (FocusedItemNo >= 0 && control && control->HandleAllocated()) {
        DropFocusFrame();
        if (TCustomRVFormattedData* data = FocusHolder();
            data && FocusedItemNo < data->ItemCount())
            data->GetItem(FocusedItemNo)->ClearFocus();
    }
    FocusedItemNo = -1;
    FocusedItemData = nullptr;
    State.Exclude(TRVState::rvstChangingSelection);
    TCustomRVFormattedData::Deselect(item, redraw);
}

namespace {
// Whether Target is Doc or a document inside one of its items, at any depth. Target is only
// compared, never read: it may be a document that went.
bool HoldsDocument(const TCustomRVData* doc, const TCustomRVData* target) {
    if (doc == target) return true;
    for (int i = 0; i < doc->ItemCount(); ++i)
        for (int k = 0; const TCustomRVData* sub = doc->GetItem(i)->GetSubRVData(k); ++k)
            if (HoldsDocument(sub, target)) return true;
    return false;
}
} // namespace

TCustomRVFormattedData* TRVControlData::FocusHolder() {
    if (FocusedItemNo < 0) return nullptr;
    if (!FocusedItemData || FocusedItemData == this) return this;
    if (!HoldsDocument(this, FocusedItemData)) {
        FocusedItemNo = -1;
        FocusedItemData = nullptr;
        return nullptr;
    }
    return FocusedItemData;
}

void TRVControlData::DrawFocusFrame(TCanvas* canvas) {
    TCustomRVFormattedData* data = FocusHolder();
    if (!canvas || !data || FocusedItemNo >= data->ItemCount()) return;
    if (!data->GetItem(FocusedItemNo)->GetKindFlag(rvifActivatesByKeyboard)) return;
    int ox = 0, oy = 0;
    data->GetOriginInRoot(ox, oy);
    ox -= GetHScrollPos();
    oy -= GetVScrollPos();
    canvas->Font()->SetColor(clBlack);
    canvas->Brush()->SetStyle(bsSolid);
    for (int i = data->GetFirstDrawItemNo(FocusedItemNo);
         i >= 0 && i < data->DrawItems.Count() && data->DrawItems[i]->ItemNo == FocusedItemNo;
         ++i) {
        const TRVDrawLineInfo* d = data->DrawItems[i];
        canvas->DrawFocusRect(TRect(d->Left - 1 + ox, d->Top - 1 + oy, d->Left + d->Width + 1 + ox,
                                    d->Top + d->Height + 1 + oy));
    }
}

void TRVControlData::HideFocusFrame() {
    DropFocusFrame();
    ++FFrameHidden;
}

void TRVControlData::ShowFocusFrame() {
    if (FFrameHidden == 0) return;
    if (--FFrameHidden == 0) DropFocusFrame();
}

void TRVControlData::DropFocusFrame() {
    if (FFrameHidden > 0) return;
    TWinControl* control = GetParentControl();
    if (control && control->HandleAllocated()) DrawFocusFrame(GetCanvas());
}

void TRVControlData::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
    HideFocusFrame();
    auto show = Finally([&] { ShowFocusFrame(); });
    TCustomRVFormattedData::MouseUp(button, shift, x, y);
}

void TRVControlData::AdjustRememberedItemIndices(TCustomRVFormattedData* rvData, int firstItemNo,
                                                 int delta) {
    TCustomRVFormattedData* holder = FocusedItemData ? FocusedItemData : this;
    if (FocusedItemNo < firstItemNo || holder != rvData) return;
    if (delta < 0 && FocusedItemNo < firstItemNo - delta) {
        FocusedItemNo = -1;
        FocusedItemData = nullptr;
    } else {
        FocusedItemNo += delta;
    }
}

void TRVControlData::ActivateFocused() {
    TCustomRVFormattedData* data = FocusHolder();
    if (data && FocusedItemNo < data->ItemCount())
        data->GetItem(FocusedItemNo)->ActivateByKeyboard(data);
}

bool TRVControlData::FocusItem(TCustomRVFormattedData* data, int itemNo) {
    TCustomRVItemInfo* item = data->GetItem(itemNo);
    if (item->GetKindFlag(rvifActivatesByKeyboard)) {
        FocusedItemNo = itemNo;
        FocusedItemData = data;
        const int d = data->GetFirstDrawItemNo(itemNo);
        if (d >= 0) {
            const TRVDrawLineInfo* dli = data->DrawItems[d];
            data->MakeRectVisible(dli->Left, dli->Top, dli->Width, dli->Height);
        }
        return true;
    }
    if (auto* ci = dynamic_cast<TRVControlItemInfo*>(item))
        if (auto* wc = dynamic_cast<TWinControl*>(ci->Control.get())) {
            FocusedItemNo = -1;
            FocusedItemData = nullptr;
            wc->SetFocus();
            return true;
        }
    return false;
}

void TRVControlData::DoTabNavigation(bool forward) {
    if (State.Contains(TRVState::rvstMovingFocusByTab)) {
        State.Exclude(TRVState::rvstMovingFocusByTab);
        return;
    }
    TCustomRVFormattedData* holder = FocusHolder();
    TabFrom(holder, holder ? FocusedItemNo : -1, forward, FocusedItemNo >= 0);
}

void TRVControlData::TabFrom(TCustomRVFormattedData* fromData, int fromItemNo, bool forward,
                             bool hadFocus) {
    HideFocusFrame();
    auto showFrame = Finally([&] { ShowFocusFrame(); });
    TCustomRVFormattedData* data = nullptr;
    const int next = FindNextFocusItem(forward, fromData ? fromItemNo : -1, &data,
                                       fromData == this ? nullptr : fromData);
    if (next >= 0) {
        FocusItem(data, next);
        return;
    }
    // Nothing more in this direction: the focus leaves the viewer.
    TWinControl* self = GetFocusControl();
    TCustomForm* form = self ? GetParentForm(self) : nullptr;
    TWinControl* target = nullptr;
    if (form) {
        std::vector<TWinControl*> order;
        form->GetTabOrderList(order);
        const int n = int(order.size());
        int at = -1;
        TWinControl* active = form->ActiveControl() ? form->ActiveControl() : self;
        for (int i = 0; i < n; ++i)
            if (order[size_t(i)] == active) at = i;
        for (int step = 1; step <= n && !target; ++step) {
            TWinControl* c = order[size_t(((at + (forward ? step : -step)) % n + n) % n)];
            bool inside = false;
            for (TControl* p = c; p; p = p->Parent())
                inside = inside || p == self;
            if (!inside && c->TabStop() && c->CanFocus()) target = c;
        }
    }
    FocusedItemNo = -1;
    FocusedItemData = nullptr;
    if (target) {
        target->SetFocus();
        return;
    }
    // A form with nothing else to focus: round again inside the viewer.
    if (hadFocus) {
        const int again = FindNextFocusItem(forward, -1, &data);
        if (again >= 0) FocusItem(data, again);
    }
}

namespace {
// The control item of Doc, or of a document inside its items, whose control is Control or
// holds it; Data gets the document of the item.
int FindControlItemHolding(TCustomRVFormattedData* doc, const TControl* control,
                           TCustomRVFormattedData*& data) {
    for (int i = 0; i < doc->ItemCount(); ++i) {
        TCustomRVItemInfo* item = doc->GetItem(i);
        if (auto* ci = dynamic_cast<TRVControlItemInfo*>(item); ci && ci->Control) {
            for (const TControl* p = control; p; p = p->Parent())
                if (p == ci->Control.get()) {
                    data = doc;
                    return i;
                }
        }
        for (int k = 0; TCustomRVData* sub = item->GetSubRVData(k); ++k)
            if (auto* subDoc = dynamic_cast<TCustomRVFormattedData*>(sub))
                if (const int found = FindControlItemHolding(subDoc, control, data); found >= 0)
                    return found;
    }
    return -1;
}
} // namespace

bool TRVControlData::ContinueTabNavigationFrom(const TControl* control, bool forward) {
    TCustomRVFormattedData* data = nullptr;
    const int itemNo = control ? FindControlItemHolding(this, control, data) : -1;
    if (itemNo < 0) return false;
    ForgetFocusedHotspot();
    TabFrom(data, itemNo, forward, true);
    return true;
}

void TRVControlData::FocusHotspotFromOutside(bool forward) {
    // A hotspot focused when the viewer last had the focus gives way to the first (last) one.
    ForgetFocusedHotspot();
    TCustomRVFormattedData* data = nullptr;
    const int item = FindNextFocusItem(forward, -1, &data);
    if (item < 0 || !data->GetItem(item)->GetKindFlag(rvifActivatesByKeyboard)) return;
    HideFocusFrame();
    FocusItem(data, item);
    ShowFocusFrame();
}

void TRVControlData::ForgetFocusedHotspot() {
    if (FocusedItemNo < 0) return;
    DropFocusFrame();
    FocusedItemNo = -1;
    FocusedItemData = nullptr;
}

void TRVControlData::Paint(TCanvas* canvas) {
    if (!canvas) return;
    const TRect clip = canvas->ClipRect();
    if (clip.IsEmpty()) return;
    // The frame is toggled off and on around the paint, unless it is off already.
    const bool frame = FFrameHidden == 0;
    if (frame) DrawFocusFrame(canvas);
    HDC screenDC = canvas->Handle();
    HDC memDC = CreateCompatibleDC(screenDC);
    HBITMAP bitmap = CreateCompatibleBitmap(screenDC, clip.Width(), clip.Height());
    HGDIOBJ oldBitmap = SelectObject(memDC, bitmap);
    HPALETTE palette = Host().GetDocPalette();
    HPALETTE oldPalette = nullptr;
    if (palette) {
        oldPalette = SelectPalette(memDC, palette, 0);
        RealizePalette(memDC);
    }
    std::string error;
    bool failed = false;
    {
        TCanvas memCanvas;
        memCanvas.SetHandle(memDC);
        auto release = Finally([&] { memCanvas.SetHandle(nullptr); });
        PaintBackground(&memCanvas, clip);
        try {
            PaintDocument(&memCanvas, clip);
        } catch (const std::exception& e) {
            failed = true;
            error = e.what();
        }
    }
    BitBlt(screenDC, clip.Left, clip.Top, clip.Width(), clip.Height(), memDC, 0, 0, SRCCOPY);
    if (palette) SelectPalette(memDC, oldPalette, 0);
    SelectObject(memDC, oldBitmap);
    DeleteObject(bitmap);
    DeleteDC(memDC);
    if (failed) {
        canvas->Font()->SetName("Arial");
        canvas->Font()->SetSize(10);
        canvas->Font()->SetColor(TColor(255));
        canvas->Font()->SetStyle(TFontStyles());
        canvas->Brush()->SetStyle(bsSolid);
        canvas->Brush()->SetColor(clWhite);
        canvas->TextOut(0, 0, "Error:" + error);
    }
    if (frame) DrawFocusFrame(canvas);
}

// ---------------------------------------------------------------------------------------------

TCustomRVData* TRVItemFormattedData::GetParentData() const {
    return Owner ? Owner->GetParentRVData() : nullptr;
}

TRVStyle* TRVItemFormattedData::GetRVStyle() const {
    TCustomRVData* parent = GetParentData();
    return parent ? parent->GetRVStyle() : TCustomRVFormattedData::GetRVStyle();
}

TRVFlags TRVItemFormattedData::GetFlags() const {
    return Owner ? Owner->Flags : TRVFlags();
}

void TRVItemFormattedData::SetFlags(TRVFlags) {
    throw ERichViewError("This method is not supported for TRVItemFormattedData");
}

void TRVItemFormattedData::MakeRectVisible(int x, int y, int width, int height) {
    TCustomRVFormattedData* parent = Owner ? Owner->GetParentRVData() : nullptr;
    if (!parent) return;
    int ox = 0, oy = 0, px = 0, py = 0;
    GetOriginInRoot(ox, oy);
    parent->GetOriginInRoot(px, py);
    // The origin leaves out the shift of vertically aligned content.
    parent->MakeRectVisible(x + ox - px, y + oy - py + TCustomRVFormattedData::GetContentVOffset(),
                            width, height);
}

void TRVItemFormattedData::Invalidate() {
    if (TCustomRVFormattedData* parent = Owner ? Owner->GetParentRVData() : nullptr)
        parent->Invalidate();
}

bool TRVItemFormattedData::IsControlFocused() const {
    const TCustomRVFormattedData* parent = Owner ? Owner->GetParentRVData() : nullptr;
    return parent && parent->IsControlFocused();
}

} // namespace epc
