// The section check list.

#include "components/controls/NewCheckListBox.h"

#include <algorithm>

#include "platform/controls/ControlStreaming.h"
#include "platform/controls/Forms.h"
#include "platform/streaming/Filer.h"
#include "platform/streaming/PropertyRegistry.h"

namespace epc {

namespace {

constexpr UINT_PTR HintTimerId = 1;
constexpr UINT CS_DROPSHADOW = 0x00020000;

// The caption without accelerator ampersands ("&&" stays one '&').
std::string StripAccelerators(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '&') {
            if (i + 1 < s.size() && s[i + 1] == '&') out += '&';
            ++i;
            if (i < s.size() && s[i] != '&') out += s[i];
            continue;
        }
        out += s[i];
    }
    return out;
}

// Whether ch is the caption's accelerator (the character after a single '&').
bool IsAccelerator(char16_t ch, const std::string& caption) {
    for (size_t i = 0; i + 1 < caption.size(); ++i) {
        if (caption[i] != '&') continue;
        if (caption[i + 1] == '&') {
            ++i;
            continue;
        }
        auto lower = [](char16_t c) { return c >= 'A' && c <= 'Z' ? char16_t(c + 32) : c; };
        return lower(char16_t(uint8_t(caption[i + 1]))) == lower(ch);
    }
    return false;
}

} // namespace

// ---- Hint window -----------------------------------------------------------------------------

void TNewCheckListBoxHintWindow::CreateParams(TCreateParams& params) {
    THintWindow::CreateParams(params);
    params.WindowClassStyle |= CS_DROPSHADOW;
}

// ---- Accessible object -----------------------------------------------------------------------

TAccObject::TAccObject(TNewCheckListBox* control, IAccessible* standard)
    : FControl(control), FStandard(standard) {}

TAccObject::~TAccObject() {
    Disconnect();
}

void TAccObject::Disconnect() {
    FControl = nullptr;
    if (FStandard) {
        FStandard->Release();
        FStandard = nullptr;
    }
}

HRESULT TAccObject::QueryInterface(const IID& iid, void** object) {
    return QueryFor(iid, object, {IID_IAccessible});
}

HRESULT TAccObject::get_accChildCount(LONG* count) {
    return FStandard ? FStandard->get_accChildCount(count) : RPC_E_DISCONNECTED;
}

HRESULT TAccObject::get_accName(LONG child, std::u16string* name) {
    return FStandard ? FStandard->get_accName(child, name) : RPC_E_DISCONNECTED;
}

HRESULT TAccObject::accLocation(LONG* left, LONG* top, LONG* width, LONG* height, LONG child) {
    return FStandard ? FStandard->accLocation(left, top, width, height, child) : RPC_E_DISCONNECTED;
}

HRESULT TAccObject::get_accValue(LONG child, std::u16string* value) {
    if (!FControl) return RPC_E_DISCONNECTED;
    if (!value) return E_POINTER;
    if (child == CHILDID_SELF) return S_FALSE;
    if (child < 1 || child > FControl->Count()) return E_INVALIDARG;
    std::string level = std::to_string(FControl->GetState(child - 1)->Level);
    *value = std::u16string(level.begin(), level.end());
    return S_OK;
}

HRESULT TAccObject::get_accRole(LONG child, LONG* role) {
    if (!FControl) return RPC_E_DISCONNECTED;
    if (!role) return E_POINTER;
    if (child == CHILDID_SELF) {
        *role = ROLE_SYSTEM_OUTLINE;
        return S_OK;
    }
    if (child < 1 || child > FControl->Count()) return E_INVALIDARG;
    switch (FControl->GetState(child - 1)->ItemType) {
    case itCheck:
        *role = ROLE_SYSTEM_CHECKBUTTON;
        break;
    case itRadio:
        *role = ROLE_SYSTEM_RADIOBUTTON;
        break;
    default:
        *role = ROLE_SYSTEM_STATICTEXT;
        break;
    }
    return S_OK;
}

HRESULT TAccObject::get_accState(LONG child, DWORD* state) {
    if (!FControl) return RPC_E_DISCONNECTED;
    if (!state) return E_POINTER;
    if (child != CHILDID_SELF && (child < 1 || child > FControl->Count())) return E_INVALIDARG;
    // The standard object knows the window; items it does not know start from nothing.
    DWORD s = 0;
    if (FAILED(FStandard->get_accState(child, &s))) s = 0;
    if (child != CHILDID_SELF) {
        TItemState* item = FControl->GetState(child - 1);
        if (item->State == cbChecked) s |= STATE_SYSTEM_CHECKED;
        if (item->State == cbGrayed) s |= STATE_SYSTEM_MIXED;
        if (!item->Enabled) s |= STATE_SYSTEM_UNAVAILABLE;
    }
    *state = s;
    return S_OK;
}

// ---- TNewCheckListBox ------------------------------------------------------------------------

TNewCheckListBox::TNewCheckListBox(TComponent* owner) : TCustomListBox(owner) {
    FStyle = lbOwnerDrawVariable;
    TSize boxes = GetSystemBitmapSize(OBM_CHECKBOXES);
    FCheckWidth = boxes.cx / 4;
    FCheckHeight = boxes.cy / 3;
    FThemeLibrary = InitThemeLibrary();
}

TNewCheckListBox::~TNewCheckListBox() {
    HideCaptionHint();
    if (FAccObject) {
        FAccObject->Disconnect();
        FAccObject->Release();
        FAccObject = nullptr;
    }
    CloseTheme();
    FreeThemeLibrary();
}

TItemState* TNewCheckListBox::GetState(int index) {
    auto* state = dynamic_cast<TItemState*>(Items()->Objects(index));
    if (!state) {
        FStateList.push_back(std::make_unique<TItemState>());
        state = FStateList.back().get();
        Items()->SetObjects(index, state);
    }
    return state;
}

uint8_t TNewCheckListBox::AllowedLevel(int index, int level) {
    int deepest = index == 0 ? 0 : GetState(index - 1)->Level + 1;
    return uint8_t(std::clamp(level, 0, deepest));
}

int TNewCheckListBox::AddCheckItem(const std::string& aCaption, const std::string& aSubItem,
                                   uint8_t aLevel, bool aChecked, bool aEnabled,
                                   bool aHasInternalChildren, bool aCheckWhenParentChecked,
                                   TObject* aObject) {
    aLevel = AllowedLevel(Count(), aLevel);
    auto state = std::make_unique<TItemState>();
    state->ItemType = itCheck;
    state->Level = aLevel;
    state->SubItem = aSubItem;
    state->Obj = aObject;
    state->Enabled = aEnabled;
    state->HasInternalChildren = aHasInternalChildren;
    state->CheckWhenParentChecked = aCheckWhenParentChecked;
    TItemState* raw = state.get();
    FStateList.push_back(std::move(state));
    int index = Items()->AddObject(aCaption, raw);
    SetItemChecked(index, aChecked);
    if (FShowLines) UpdateThreads();
    RemeasureItem(index);
    return index;
}

int TNewCheckListBox::AddGroupItem(const std::string& aCaption, const std::string& aSubItem,
                                   uint8_t aLevel, TObject* aObject) {
    aLevel = AllowedLevel(Count(), aLevel);
    auto state = std::make_unique<TItemState>();
    state->ItemType = itGroup;
    state->Level = aLevel;
    state->SubItem = aSubItem;
    state->Obj = aObject;
    state->CheckWhenParentChecked = 1;
    TItemState* raw = state.get();
    FStateList.push_back(std::move(state));
    int index = Items()->AddObject(aCaption, raw);
    if (FShowLines) UpdateThreads();
    RemeasureItem(index);
    return index;
}

bool TNewCheckListBox::GetItemChecked(int index) {
    return GetState(index)->State != cbUnchecked;
}
TCheckBoxState TNewCheckListBox::State(int index) {
    return GetState(index)->State;
}
bool TNewCheckListBox::ItemEnabled(int index) {
    return GetState(index)->Enabled != 0;
}
TObject* TNewCheckListBox::ItemObject(int index) {
    return GetState(index)->Obj;
}
uint8_t TNewCheckListBox::ItemLevel(int index) {
    return GetState(index)->Level;
}
std::string TNewCheckListBox::SubItem(int index) {
    return GetState(index)->SubItem;
}

void TNewCheckListBox::SetItemEnabled(int index, bool aEnabled) {
    TItemState* s = GetState(index);
    if (bool(s->Enabled) == aEnabled) return;
    s->Enabled = aEnabled;
    InvalidateItem(index);
}

void TNewCheckListBox::SetItemObject(int index, TObject* aObject) {
    GetState(index)->Obj = aObject;
}

void TNewCheckListBox::SetSubItem(int index, const std::string& aSubItem) {
    TItemState* s = GetState(index);
    if (s->SubItem == aSubItem) return;
    s->SubItem = aSubItem;
    RemeasureItem(index);
}

void TNewCheckListBox::SetFlat(bool v) {
    if (FFlat == v) return;
    FFlat = v;
    Invalidate();
}

void TNewCheckListBox::SetOffset(int v) {
    if (FOffset == v) return;
    FOffset = v;
    RemeasureAll();
}

void TNewCheckListBox::SetShowLines(bool v) {
    if (FShowLines == v) return;
    FShowLines = v;
    if (v) UpdateThreads();
    Invalidate();
}

void TNewCheckListBox::SetMinItemHeight(int v) {
    if (FMinItemHeight == v) return;
    FMinItemHeight = v;
    RemeasureAll();
}

void TNewCheckListBox::SetWantTabs(bool v) {
    if (FWantTabs == v) return;
    FWantTabs = v;
    RemeasureAll();
}

void TNewCheckListBox::RemeasureAll() {
    for (int i = 0; i < Count(); ++i)
        RemeasureItem(i);
    Invalidate();
}

// ---- Tree structure and propagation ----------------------------------------------------------

int TNewCheckListBox::Parent(int index) {
    uint8_t level = GetState(index)->Level;
    for (int i = index - 1; i >= 0; --i)
        if (GetState(i)->Level < level) return i;
    return -1;
}

std::vector<int> TNewCheckListBox::DirectChildren(int index) {
    std::vector<int> children;
    uint8_t level = GetState(index)->Level;
    for (int i = index + 1; i < Count(); ++i) {
        uint8_t l = GetState(i)->Level;
        if (l <= level) break;
        if (l == level + 1) children.push_back(i);
    }
    return children;
}

TCheckBoxState TNewCheckListBox::CalcState(int index, bool wanted) {
    bool someChecked = false, someUnchecked = false;
    for (int c : DirectChildren(index)) {
        TItemState* s = GetState(c);
        if (s->ItemType != itCheck) continue;
        if (s->State != cbUnchecked) someChecked = true;
        if (s->State != cbChecked) someUnchecked = true;
    }
    TItemState* self = GetState(index);
    bool isCheck = self->ItemType == itCheck;
    if (someUnchecked && !someChecked && isCheck && !self->HasInternalChildren) wanted = false;
    if (!wanted && !someChecked) return cbUnchecked;
    if (!someUnchecked) return cbChecked;
    return isCheck ? cbGrayed : cbChecked;
}

bool TNewCheckListBox::UpdateSubtree(int index, bool aChecked) {
    bool changed = false;
    for (int c : DirectChildren(index)) {
        TItemState* s = GetState(c);
        if (!s->Enabled) continue;
        if (aChecked && !s->CheckWhenParentChecked) continue;
        if (UpdateSubtree(c, aChecked)) changed = true;
    }
    TCheckBoxState state = CalcState(index, aChecked);
    if (state != GetState(index)->State) {
        SetItemState(index, state);
        changed = true;
    }
    return changed;
}

bool TNewCheckListBox::CheckItem(int index, bool aChecked) {
    bool changed = UpdateSubtree(index, aChecked);
    for (int p = Parent(index); p >= 0; p = Parent(p))
        SetItemState(p, CalcState(p, GetState(p)->State != cbUnchecked));
    return changed;
}

void TNewCheckListBox::SetItemChecked(int index, bool aChecked) {
    CheckItem(index, aChecked);
}

void TNewCheckListBox::SetItemState(int index, TCheckBoxState aState) {
    TItemState* s = GetState(index);
    if (s->State == aState) return;
    s->State = aState;
    InvalidateCheck(index);
    const TAccessibilityLibrary& acc = AccessibilityLibrary();
    if (HandleAllocated() && acc.NotifyWinEvent)
        acc.NotifyWinEvent(EVENT_OBJECT_STATECHANGE, Handle(), OBJID_CLIENT, LONG(index + 1));
}

void TNewCheckListBox::ToggleCheckState(int index) {
    TItemState* s = GetState(index);
    if (s->ItemType != itCheck || !s->Enabled) return;
    if (s->State == cbGrayed) {
        if (!CheckItem(index, true)) CheckItem(index, false);
    } else {
        CheckItem(index, s->State == cbUnchecked);
    }
    if (OnClickCheck) OnClickCheck(this);
}

void TNewCheckListBox::UpdateThreads() {
    // Backwards: hasLater[k] tells whether an item of level k follows before any item of a
    // smaller level, that is, whether the current branch at level k has a later sibling.
    std::vector<bool> hasLater(257, false);
    for (int i = Count() - 1; i >= 0; --i) {
        TItemState* s = GetState(i);
        int level = s->Level;
        s->IsLastChild = !hasLater[size_t(level)];
        s->ThreadCache.assign(size_t(level), false);
        for (int k = 1; k < level; ++k)
            s->ThreadCache[size_t(k)] = hasLater[size_t(k)];
        hasLater[size_t(level)] = true;
        std::fill(hasLater.begin() + level + 1, hasLater.end(), false);
    }
}

// ---- Measuring and drawing -------------------------------------------------------------------

TCanvas* TNewCheckListBox::TextCanvas() {
    // Text is measured on a memory context of the screen, never on the window's own: that one
    // would need a surface of the whole control just to measure a caption.
    if (!FMeasureCanvas) {
        FMeasureCanvas = std::make_unique<TCanvas>();
        FMeasureCanvas->SetOwnedHandle(CreateCompatibleDC(nullptr));
    }
    return FMeasureCanvas.get();
}

TRect TNewCheckListBox::CaptionRect(int index, const TRect& itemRect) {
    TItemState* s = GetState(index);
    int indent = s->Level * IndentStep() + (s->ItemType != itGroup ? IndentStep() : 0);
    int right = itemRect.Right;
    if (s->SubItem.empty()) {
        right -= FOffset;
    } else {
        TCanvas* c = TextCanvas();
        c->Font()->Assign(Font());
        right -= c->TextWidth(s->SubItem) + 2 * FOffset;
    }
    // The caption sits centred in its item (items are at least its height + 4).
    int h = s->MeasuredHeight;
    int top = itemRect.Top + std::max(2, (itemRect.Height() - h) / 2);
    return TRect(itemRect.Left + indent, top, std::max(itemRect.Left + indent, right), top + h);
}

void TNewCheckListBox::MeasureItem(int index, int& height) {
    TItemState* s = GetState(index);
    TRect room = CaptionRect(index, TRect(0, 0, ClientWidth(), 0));
    RECT r(0, 0, std::max(room.Width(), 0), 0);
    UINT flags = DT_WORDBREAK | DT_CALCRECT;
    if (!FWantTabs || s->ItemType == itGroup) flags |= DT_NOPREFIX;
    TCanvas* c = TextCanvas();
    c->Font()->Assign(Font());
    std::string caption = Items()->Strings(index);
    DrawTextA(c->Handle(), caption.c_str(), -1, &r, flags);
    s->MeasuredHeight = r.Height();
    height = s->MeasuredHeight + 4 >= FMinItemHeight ? s->MeasuredHeight + 4 : FMinItemHeight;
    if (height % 2 != 0) ++height;
}

void TNewCheckListBox::ItemsSorted(const std::vector<int>& order) {
    TCustomListBox::ItemsSorted(order);
    if (FShowLines) UpdateThreads();
}

void TNewCheckListBox::InvalidateCheck(int index) {
    if (!HandleAllocated()) return;
    TRect r = ItemRect(index);
    TItemState* s = GetState(index);
    r.Left = s->Level * IndentStep();
    r.Right = r.Left + IndentStep();
    InvalidateRect(Handle(), &r, 0);
}

void TNewCheckListBox::DrawItemLines(TCanvas* c, int index, const TRect& rect) {
    TItemState* s = GetState(index);
    if (s->Level == 0) return;
    COLORREF color = ColorToRGB(clGrayText);
    HDC dc = c->Handle();
    auto column = [&](int level) { return level * IndentStep() + FOffset + FCheckWidth / 2; };
    // Every other pixel, starting on an even row of the window so that lines join up.
    auto vline = [&](int x, int y1, int y2) {
        for (int y = y1 + ((y1 & 1) ? 1 : 0); y < y2; y += 2)
            SetPixel(dc, x, y, color);
    };
    int mid = rect.Top + rect.Height() / 2;
    int parentX = column(s->Level - 1);
    vline(parentX, rect.Top, s->IsLastChild ? mid + 1 : rect.Bottom);
    int endX = s->ItemType != itGroup ? s->Level * IndentStep() + FOffset
                                      : s->Level * IndentStep() + FOffset / 2;
    for (int x = parentX + ((parentX & 1) == (mid & 1) ? 0 : 1); x < endX; x += 2)
        SetPixel(dc, x, mid, color);
    for (int k = 1; k < s->Level; ++k)
        if (s->ThreadCache[size_t(k)]) vline(column(k - 1), rect.Top, rect.Bottom);
}

void TNewCheckListBox::CNDrawItem(int index, const TRect& rect, TOwnerDrawState state) {
    TCanvas* c = Canvas();
    TItemState* s = GetState(index);
    bool selected = state.Contains(odSelected);
    c->Font()->Assign(Font());
    c->Brush()->SetStyle(bsSolid);
    c->Brush()->SetColor(selected ? clHighlight : Color());
    c->FillRect(rect);
    if (FShowLines) DrawItemLines(c, index, rect);

    bool enabled = s->Enabled && Enabled();
    if (s->ItemType != itGroup) {
        int x = s->Level * IndentStep() + FOffset;
        int y = rect.Top + (rect.Height() - FCheckHeight) / 2;
        RECT box(x, y, x + FCheckWidth, y + FCheckHeight);
        POINT cursor;
        GetCursorPos(&cursor);
        TPoint pt = ScreenToClient(TPoint(cursor.X, cursor.Y));
        bool pointerOver = ItemAtPos(pt, true) == index;
        bool pressedByKey = FSpaceDown && index == ItemIndex();
        bool pressedByMouse = FCaptureIndex == index;
        int k = 0;
        if (!enabled)
            k = 3;
        else if (pressedByKey || (pressedByMouse && pointerOver))
            k = 2;
        else if ((FCaptureIndex < 0 && !FSpaceDown && FLastMouseMoveIndex == index) ||
                 (pressedByMouse && !pointerOver))
            k = 1;
        TThemeLibrary* lib = ThemeLibrary();
        if (FTheme && UseThemes() && lib && lib->DrawThemeBackground) {
            int part = s->ItemType == itRadio ? BP_RADIOBUTTON : BP_CHECKBOX;
            lib->DrawThemeBackground(FTheme, c->Handle(), part, 1 + 4 * int(s->State) + k, &box,
                                     nullptr);
        } else {
            UINT flags = s->ItemType == itRadio ? UINT(DFCS_BUTTONRADIO) : UINT(DFCS_BUTTONCHECK);
            if (s->State == cbChecked)
                flags |= DFCS_CHECKED;
            else if (s->State == cbGrayed)
                flags |= DFCS_BUTTON3STATE | DFCS_CHECKED;
            if (FFlat) flags |= DFCS_FLAT;
            if (!enabled) flags |= DFCS_INACTIVE;
            if (k == 2) flags |= DFCS_PUSHED;
            DrawFrameControl(c->Handle(), &box, DFC_BUTTON, flags);
        }
    }

    TRect caption = CaptionRect(index, rect);
    std::string text = Items()->Strings(index);
    UINT flags = DT_WORDBREAK;
    if (!FWantTabs || s->ItemType == itGroup) flags |= DT_NOPREFIX;
    c->Brush()->SetStyle(bsClear);
    HDC dc = c->Handle();
    if (!enabled) {
        RECT r = caption;
        OffsetRect(r, 1, 1);
        SetTextColor(dc, ColorToRGB(clBtnHighlight));
        DrawTextA(dc, text.c_str(), -1, &r, flags);
        SetTextColor(dc, ColorToRGB(clBtnShadow));
    } else {
        SetTextColor(dc, ColorToRGB(selected ? clHighlightText : Font()->Color()));
    }
    RECT r = caption;
    DrawTextA(dc, text.c_str(), -1, &r, flags);
    if (!s->SubItem.empty()) {
        RECT sub(caption.Right + FOffset, rect.Top, rect.Right - FOffset, rect.Bottom);
        DrawTextA(dc, s->SubItem.c_str(), -1, &sub,
                  DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_RIGHT);
    }
    c->Brush()->SetStyle(bsSolid);
    if (state.Contains(odFocused)) {
        TRect focus = caption;
        InflateRect(focus, 1, 1);
        c->DrawFocusRect(focus);
    }
}

// ---- Window, theme and hint ------------------------------------------------------------------

void TNewCheckListBox::OpenTheme() {
    CloseTheme();
    TThemeLibrary* lib = ThemeLibrary();
    if (HandleAllocated() && UseThemes() && lib->OpenThemeData)
        FTheme = lib->OpenThemeData(Handle(), u"Button");
}

void TNewCheckListBox::CloseTheme() {
    if (!FTheme) return;
    TThemeLibrary* lib = ThemeLibrary();
    if (lib && lib->CloseThemeData) lib->CloseThemeData(FTheme);
    FTheme = nullptr;
}

void TNewCheckListBox::InitializeHandle() {
    TCustomListBox::InitializeHandle();
    OpenTheme();
    FLastMeasuredWidth = ClientWidth();
    for (int i = 0; i < Count(); ++i)
        RemeasureItem(i);
}

void TNewCheckListBox::DestroyWnd() {
    HideCaptionHint();
    CloseTheme();
    TCustomListBox::DestroyWnd();
}

bool TNewCheckListBox::CaptionFits(int index) {
    TItemState* s = GetState(index);
    TRect room = CaptionRect(index, ItemRect(index));
    TCanvas* c = TextCanvas();
    c->Font()->Assign(Font());
    std::string text = FWantTabs && s->ItemType != itGroup
                           ? StripAccelerators(Items()->Strings(index))
                           : Items()->Strings(index);
    return c->TextWidth(text) <= room.Width();
}

void TNewCheckListBox::ShowCaptionHint(int index) {
    if (index < 0 || index >= Count() || CaptionFits(index)) return;
    if (!FHintWindow) {
        FHintWindow = new TNewCheckListBoxHintWindow(this);
        FHintWindow->SetColor(clInfoBk);
    }
    std::string text = Items()->Strings(index);
    if (FWantTabs) text = StripAccelerators(text);
    TRect item = ItemRect(index);
    TRect caption = CaptionRect(index, item);
    TRect r = FHintWindow->CalcHintRect(Screen->Width(), text, nullptr);
    TPoint origin = ClientToScreen(TPoint(caption.Left - 3, item.Top));
    OffsetRect(r, origin.X, origin.Y);
    FHintWindow->ActivateHint(r, text);
    FHintIndex = index;
}

void TNewCheckListBox::HideCaptionHint() {
    if (HandleAllocated()) KillTimer(Handle(), HintTimerId);
    if (FHintWindow && FHintIndex >= 0) FHintWindow->ReleaseHandle();
    FHintIndex = -1;
}

// ---- Mouse and keyboard ----------------------------------------------------------------------

void TNewCheckListBox::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    TCustomListBox::MouseDown(button, shift, x, y);
    if (button != mbLeft) return;
    int i = ItemAtPos(TPoint(x, y), true);
    if (i < 0) return;
    TItemState* s = GetState(i);
    if (s->ItemType != itCheck || !s->Enabled) return;
    if (!FWantTabs) {
        if (x < (s->Level + 1) * IndentStep()) ToggleCheckState(i);
    } else {
        FCaptureIndex = i;
        SetMouseCapture(true);
        InvalidateCheck(i);
    }
}

void TNewCheckListBox::MouseMove(TShiftState shift, int x, int y) {
    TCustomListBox::MouseMove(shift, x, y);
    int i = ItemAtPos(TPoint(x, y), true);
    if (i != FLastMouseMoveIndex) {
        if (FLastMouseMoveIndex >= 0 && FLastMouseMoveIndex < Count())
            InvalidateCheck(FLastMouseMoveIndex);
        FLastMouseMoveIndex = i;
        if (i >= 0) InvalidateCheck(i);
        HideCaptionHint();
        if (i >= 0 && HandleAllocated())
            SetTimer(Handle(), HintTimerId, uint32_t(Application->HintPause()));
    }
    if (FCaptureIndex >= 0) InvalidateCheck(FCaptureIndex);
}

void TNewCheckListBox::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
    TCustomListBox::MouseUp(button, shift, x, y);
    if (button != mbLeft || FCaptureIndex < 0) return;
    int pressed = FCaptureIndex;
    FCaptureIndex = -1;
    SetMouseCapture(false);
    InvalidateCheck(pressed);
    if (ItemAtPos(TPoint(x, y), true) == pressed) ToggleCheckState(pressed);
}

void TNewCheckListBox::KeyDown(Word& key, TShiftState shift) {
    if (key == VK_SPACE && ItemIndex() >= 0) {
        if (!FWantTabs) {
            ToggleCheckState(ItemIndex());
        } else if (!FSpaceDown) {
            FSpaceDown = true;
            InvalidateCheck(ItemIndex());
        }
        key = 0;
        return;
    }
    TCustomListBox::KeyDown(key, shift);
}

void TNewCheckListBox::KeyUp(Word& key, TShiftState shift) {
    if (key == VK_SPACE && FWantTabs && FSpaceDown) {
        FSpaceDown = false;
        if (ItemIndex() >= 0) {
            InvalidateCheck(ItemIndex());
            ToggleCheckState(ItemIndex());
        }
        key = 0;
        return;
    }
    TCustomListBox::KeyUp(key, shift);
}

void TNewCheckListBox::CMDialogChar(TMessage& message) {
    if (!FWantTabs || !CanFocus()) return;
    char16_t ch = char16_t(message.WParam);
    for (int i = 0; i < Count(); ++i) {
        TItemState* s = GetState(i);
        if (s->ItemType == itGroup || !s->Enabled) continue;
        if (!IsAccelerator(ch, Items()->Strings(i))) continue;
        SetFocus();
        SelectByUser(i);
        ToggleCheckState(i);
        message.Result = 1;
        return;
    }
}

void TNewCheckListBox::WMSetFocus(TMessage& message) {
    TCustomListBox::Dispatch(message);
    if (!FWantTabs || !(GetKeyState(VK_TAB) & 0x8000)) return;
    // Entered by the keyboard: the first enabled item, or the last one when going backwards.
    bool backwards = (GetKeyState(VK_SHIFT) & 0x8000) != 0;
    for (int n = 0; n < Count(); ++n) {
        int i = backwards ? Count() - 1 - n : n;
        if (GetState(i)->Enabled) {
            SetItemIndex(i);
            MakeVisible(i);
            break;
        }
    }
}

void TNewCheckListBox::WMGetObject(TMessage& message) {
    // Without the accessibility library the window answers as any other does: no object.
    if (LONG(message.LParam) != OBJID_CLIENT || !AccessibilityAvailable()) {
        TCustomListBox::Dispatch(message);
        return;
    }
    const TAccessibilityLibrary& acc = AccessibilityLibrary();
    if (!FAccObject) {
        IAccessible* standard = nullptr;
        if (FAILED(acc.CreateStdAccessibleObject(Handle(), OBJID_CLIENT, IID_IAccessible,
                                                 reinterpret_cast<void**>(&standard))) ||
            !standard)
            throw Exception("CreateStdAccessibleObject failed");
        FAccObject = new TAccObject(this, standard);
    }
    message.Result = acc.LresultFromObject(IID_IAccessible, message.WParam, FAccObject);
}

void TNewCheckListBox::Dispatch(TMessage& message) {
    switch (message.Msg) {
    case WM_GETOBJECT:
        WMGetObject(message);
        return;
    case CM_DIALOGCHAR:
        CMDialogChar(message);
        return;
    case WM_SETFOCUS:
        WMSetFocus(message);
        return;
    case WM_GETDLGCODE:
        message.Result = DLGC_WANTARROWS | DLGC_WANTCHARS | (FWantTabs ? UINT(DLGC_WANTTAB) : 0u);
        return;
    case WM_THEMECHANGED:
        OpenTheme();
        Invalidate();
        break;
    case WM_TIMER:
        if (message.WParam == HintTimerId) {
            KillTimer(Handle(), HintTimerId);
            ShowCaptionHint(FLastMouseMoveIndex);
            return;
        }
        break;
    case CM_MOUSELEAVE:
        if (FLastMouseMoveIndex >= 0 && FLastMouseMoveIndex < Count())
            InvalidateCheck(FLastMouseMoveIndex);
        FLastMouseMoveIndex = -1;
        HideCaptionHint();
        break;
    case WM_SIZE:
        TCustomListBox::Dispatch(message);
        if (ClientWidth() != FLastMeasuredWidth) {
            FLastMeasuredWidth = ClientWidth();
            RemeasureAll();
        }
        return;
    }
    TCustomListBox::Dispatch(message);
}

// ---- Stream form ---------------------------------------------------------------------------

namespace {

// One item's state as stored: the captions travel as the list's items, the states beside them
// in a collection of these.
class TItemStateRecord : public TCollectionItem {
public:
    using TCollectionItem::TCollectionItem;
    std::string ClassName() const override { return "TNewCheckListItemState"; }
    TItemType ItemType = itGroup;
    int Level = 0;
    TCheckBoxState State = cbUnchecked;
    bool Enabled = true;
    bool HasInternalChildren = false;
    bool CheckWhenParentChecked = false;
    std::string SubItem;
};

TCollection MakeStateRecords() {
    return TCollection("TNewCheckListItemState",
                       [](TCollection* c) { return new TItemStateRecord(c); });
}

} // namespace

void TNewCheckListBox::DefineProperties(TFiler* filer) {
    TCustomListBox::DefineProperties(filer);
    filer->DefineProperty(
        "ItemStates",
        [this](TReader& reader) {
            TCollection records = MakeStateRecords();
            reader.ReadCollection(&records);
            if (records.Count() > Count()) throw EReadError("Invalid property value");
            for (int i = 0; i < records.Count(); ++i) {
                auto* r = static_cast<TItemStateRecord*>(records.Items(i));
                TItemState* s = GetState(i);
                s->ItemType = r->ItemType;
                // The level rule of adding holds for stored items too.
                s->Level = AllowedLevel(i, r->Level);
                s->State = r->State;
                s->Enabled = r->Enabled;
                s->HasInternalChildren = r->HasInternalChildren;
                s->CheckWhenParentChecked = r->CheckWhenParentChecked;
                s->SubItem = r->SubItem;
            }
            if (FShowLines) UpdateThreads();
            RemeasureAll();
        },
        [this](TWriter& writer) {
            TCollection records = MakeStateRecords();
            for (int i = 0; i < Count(); ++i) {
                auto* r = static_cast<TItemStateRecord*>(records.Add());
                TItemState* s = GetState(i);
                r->ItemType = s->ItemType;
                r->Level = s->Level;
                r->State = s->State;
                r->Enabled = s->Enabled != 0;
                r->HasInternalChildren = s->HasInternalChildren != 0;
                r->CheckWhenParentChecked = s->CheckWhenParentChecked != 0;
                r->SubItem = s->SubItem;
            }
            writer.WriteCollection(&records);
        },
        Count() > 0);
}

namespace {

// Forms holding a check list create it by name and read its items back with their states.
[[maybe_unused]] const bool NewCheckListBoxRegistered = [] {
    using R = TItemStateRecord;
    TPublished<R>("TNewCheckListItemState", "TCollectionItem")
        .Enum(
            "ItemType", [](R& r) { return r.ItemType; }, [](R& r, TItemType v) { r.ItemType = v; },
            {"itGroup", "itCheck", "itRadio"})
        .Integer(
            "Level", [](R& r) { return r.Level; }, [](R& r, int v) { r.Level = v; }, 0)
        .Enum(
            "State", [](R& r) { return r.State; }, [](R& r, TCheckBoxState v) { r.State = v; },
            {"cbUnchecked", "cbChecked", "cbGrayed"}, cbUnchecked)
        .Boolean(
            "Enabled", [](R& r) { return r.Enabled; }, [](R& r, bool v) { r.Enabled = v; }, true)
        .Boolean(
            "HasInternalChildren", [](R& r) { return r.HasInternalChildren; },
            [](R& r, bool v) { r.HasInternalChildren = v; }, false)
        .Boolean(
            "CheckWhenParentChecked", [](R& r) { return r.CheckWhenParentChecked; },
            [](R& r, bool v) { r.CheckWhenParentChecked = v; }, false)
        .String(
            "SubItem", [](R& r) { return r.SubItem; },
            [](R& r, const std::string& v) { r.SubItem = v; });

    using L = TNewCheckListBox;
    PublishControlProperties(
        "TNewCheckListBox", "TCustomListBox",
        {"Align",      "Anchors",    "Color",       "Ctl3D",       "DragCursor",  "DragMode",
         "Enabled",    "Font",       "ParentColor", "ParentCtl3D", "ParentFont",  "ParentShowHint",
         "PopupMenu",  "ShowHint",   "TabOrder",    "Visible",     "OnClick",     "OnClickCheck",
         "OnDblClick", "OnDragDrop", "OnDragOver",  "OnEndDrag",   "OnEnter",     "OnExit",
         "OnKeyDown",  "OnKeyPress", "OnKeyUp",     "OnMouseDown", "OnMouseMove", "OnMouseUp",
         "OnStartDrag"});
    TPublished<L>("TNewCheckListBox", "TCustomListBox")
        .Boolean("Flat", &L::Flat, &L::SetFlat, false)
        .Integer("MinItemHeight", &L::MinItemHeight, &L::SetMinItemHeight, 16)
        .Integer("Offset", &L::Offset, &L::SetOffset, 4)
        .Boolean("ShowLines", &L::ShowLines, &L::SetShowLines, true)
        .Boolean("WantTabs", &L::WantTabs, &L::SetWantTabs, false);
    RegisterClass<L>("TNewCheckListBox");
    return true;
}();

} // namespace

} // namespace epc
