// The section check list.

#include "components/controls/NewCheckListBox.h"

#include <algorithm>

#include "platform/controls/Forms.h"

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

void TNewCheckListBoxHintWindow::CreateParams(TCreateParams& Params) {
    THintWindow::CreateParams(Params);
    Params.WindowClassStyle |= CS_DROPSHADOW;
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

TNewCheckListBox::TNewCheckListBox(TComponent* AOwner) : TCustomListBox(AOwner) {
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

TItemState* TNewCheckListBox::GetState(int Index) {
    auto* state = dynamic_cast<TItemState*>(Items()->Objects(Index));
    if (!state) {
        FStateList.push_back(std::make_unique<TItemState>());
        state = FStateList.back().get();
        Items()->SetObjects(Index, state);
    }
    return state;
}

int TNewCheckListBox::AddCheckItem(const std::string& ACaption, const std::string& ASubItem,
                                   uint8_t ALevel, bool AChecked, bool AEnabled,
                                   bool AHasInternalChildren, bool ACheckWhenParentChecked,
                                   TObject* AObject) {
    if (Count() == 0)
        ALevel = 0;
    else
        ALevel = uint8_t(std::min<int>(ALevel, GetState(Count() - 1)->Level + 1));
    auto state = std::make_unique<TItemState>();
    state->ItemType = itCheck;
    state->Level = ALevel;
    state->SubItem = ASubItem;
    state->Obj = AObject;
    state->Enabled = AEnabled;
    state->HasInternalChildren = AHasInternalChildren;
    state->CheckWhenParentChecked = ACheckWhenParentChecked;
    TItemState* raw = state.get();
    FStateList.push_back(std::move(state));
    int index = Items()->AddObject(ACaption, raw);
    SetChecked(index, AChecked);
    if (FShowLines) UpdateThreads();
    RemeasureItem(index);
    return index;
}

int TNewCheckListBox::AddGroupItem(const std::string& ACaption, const std::string& ASubItem,
                                   uint8_t ALevel, TObject* AObject) {
    if (Count() == 0)
        ALevel = 0;
    else
        ALevel = uint8_t(std::min<int>(ALevel, GetState(Count() - 1)->Level + 1));
    auto state = std::make_unique<TItemState>();
    state->ItemType = itGroup;
    state->Level = ALevel;
    state->SubItem = ASubItem;
    state->Obj = AObject;
    state->CheckWhenParentChecked = 1;
    TItemState* raw = state.get();
    FStateList.push_back(std::move(state));
    int index = Items()->AddObject(ACaption, raw);
    if (FShowLines) UpdateThreads();
    RemeasureItem(index);
    return index;
}

bool TNewCheckListBox::Checked(int Index) {
    return GetState(Index)->State != cbUnchecked;
}
TCheckBoxState TNewCheckListBox::State(int Index) {
    return GetState(Index)->State;
}
bool TNewCheckListBox::ItemEnabled(int Index) {
    return GetState(Index)->Enabled != 0;
}
TObject* TNewCheckListBox::ItemObject(int Index) {
    return GetState(Index)->Obj;
}
uint8_t TNewCheckListBox::ItemLevel(int Index) {
    return GetState(Index)->Level;
}
std::string TNewCheckListBox::SubItem(int Index) {
    return GetState(Index)->SubItem;
}

void TNewCheckListBox::SetItemEnabled(int Index, bool AEnabled) {
    TItemState* s = GetState(Index);
    if (bool(s->Enabled) == AEnabled) return;
    s->Enabled = AEnabled;
    InvalidateItem(Index);
}

void TNewCheckListBox::SetItemObject(int Index, TObject* AObject) {
    GetState(Index)->Obj = AObject;
}

void TNewCheckListBox::SetSubItem(int Index, const std::string& ASubItem) {
    TItemState* s = GetState(Index);
    if (s->SubItem == ASubItem) return;
    s->SubItem = ASubItem;
    RemeasureItem(Index);
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

int TNewCheckListBox::Parent(int Index) {
    uint8_t level = GetState(Index)->Level;
    for (int i = Index - 1; i >= 0; --i)
        if (GetState(i)->Level < level) return i;
    return -1;
}

std::vector<int> TNewCheckListBox::DirectChildren(int Index) {
    std::vector<int> children;
    uint8_t level = GetState(Index)->Level;
    for (int i = Index + 1; i < Count(); ++i) {
        uint8_t l = GetState(i)->Level;
        if (l <= level) break;
        if (l == level + 1) children.push_back(i);
    }
    return children;
}

TCheckBoxState TNewCheckListBox::CalcState(int Index, bool Wanted) {
    bool someChecked = false, someUnchecked = false;
    for (int c : DirectChildren(Index)) {
        TItemState* s = GetState(c);
        if (s->ItemType != itCheck) continue;
        if (s->State != cbUnchecked) someChecked = true;
        if (s->State != cbChecked) someUnchecked = true;
    }
    TItemState* self = GetState(Index);
    bool isCheck = self->ItemType == itCheck;
    if (someUnchecked && !someChecked && isCheck && !self->HasInternalChildren) Wanted = false;
    if (!Wanted && !someChecked) return cbUnchecked;
    if (!someUnchecked) return cbChecked;
    return isCheck ? cbGrayed : cbChecked;
}

bool TNewCheckListBox::UpdateSubtree(int Index, bool AChecked) {
    bool changed = false;
    for (int c : DirectChildren(Index)) {
        TItemState* s = GetState(c);
        if (!s->Enabled) continue;
        if (AChecked && !s->CheckWhenParentChecked) continue;
        if (UpdateSubtree(c, AChecked)) changed = true;
    }
    TCheckBoxState state = CalcState(Index, AChecked);
    if (state != GetState(Index)->State) {
        SetItemState(Index, state);
        changed = true;
    }
    return changed;
}

bool TNewCheckListBox::CheckItem(int Index, bool AChecked) {
    bool changed = UpdateSubtree(Index, AChecked);
    for (int p = Parent(Index); p >= 0; p = Parent(p))
        SetItemState(p, CalcState(p, GetState(p)->State != cbUnchecked));
    return changed;
}

void TNewCheckListBox::SetChecked(int Index, bool AChecked) {
    CheckItem(Index, AChecked);
}

void TNewCheckListBox::SetItemState(int Index, TCheckBoxState AState) {
    TItemState* s = GetState(Index);
    if (s->State == AState) return;
    s->State = AState;
    InvalidateCheck(Index);
    if (HandleAllocated())
        NotifyWinEvent(EVENT_OBJECT_STATECHANGE, Handle(), OBJID_CLIENT, LONG(Index + 1));
}

void TNewCheckListBox::ToggleCheckState(int Index) {
    TItemState* s = GetState(Index);
    if (s->ItemType != itCheck || !s->Enabled) return;
    if (s->State == cbGrayed) {
        if (!CheckItem(Index, true)) CheckItem(Index, false);
    } else {
        CheckItem(Index, s->State == cbUnchecked);
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
    if (HandleAllocated()) return Canvas();
    // Before the window exists text is measured on a memory context of the screen.
    if (!FMeasureCanvas) {
        FMeasureCanvas = std::make_unique<TCanvas>();
        FMeasureCanvas->SetOwnedHandle(CreateCompatibleDC(nullptr));
    }
    return FMeasureCanvas.get();
}

TRect TNewCheckListBox::CaptionRect(int Index, const TRect& ItemRect) {
    TItemState* s = GetState(Index);
    int indent = s->Level * IndentStep() + (s->ItemType != itGroup ? IndentStep() : 0);
    int right = ItemRect.Right;
    if (s->SubItem.empty()) {
        right -= FOffset;
    } else {
        TCanvas* c = TextCanvas();
        c->Font()->Assign(Font());
        right -= c->TextWidth(s->SubItem) + 2 * FOffset;
    }
    // The caption sits centred in its item (items are at least its height + 4).
    int h = s->MeasuredHeight;
    int top = ItemRect.Top + std::max(2, (ItemRect.Height() - h) / 2);
    return TRect(ItemRect.Left + indent, top, std::max(ItemRect.Left + indent, right), top + h);
}

void TNewCheckListBox::MeasureItem(int Index, int& Height) {
    TItemState* s = GetState(Index);
    TRect room = CaptionRect(Index, TRect(0, 0, ClientWidth(), 0));
    RECT r(0, 0, std::max(room.Width(), 0), 0);
    UINT flags = DT_WORDBREAK | DT_CALCRECT;
    if (!FWantTabs || s->ItemType == itGroup) flags |= DT_NOPREFIX;
    TCanvas* c = TextCanvas();
    c->Font()->Assign(Font());
    std::string caption = Items()->Strings(Index);
    DrawTextA(c->Handle(), caption.c_str(), -1, &r, flags);
    s->MeasuredHeight = r.Height();
    Height = s->MeasuredHeight + 4 >= FMinItemHeight ? s->MeasuredHeight + 4 : FMinItemHeight;
    if (Height % 2 != 0) ++Height;
}

void TNewCheckListBox::InvalidateCheck(int Index) {
    if (!HandleAllocated()) return;
    TRect r = ItemRect(Index);
    TItemState* s = GetState(Index);
    r.Left = s->Level * IndentStep();
    r.Right = r.Left + IndentStep();
    InvalidateRect(Handle(), &r, 0);
}

void TNewCheckListBox::DrawItemLines(TCanvas* c, int Index, const TRect& Rect) {
    TItemState* s = GetState(Index);
    if (s->Level == 0) return;
    COLORREF color = ColorToRGB(clGrayText);
    HDC dc = c->Handle();
    auto column = [&](int level) { return level * IndentStep() + FOffset + FCheckWidth / 2; };
    // Every other pixel, starting on an even row of the window so that lines join up.
    auto vline = [&](int x, int y1, int y2) {
        for (int y = y1 + ((y1 & 1) ? 1 : 0); y < y2; y += 2)
            SetPixel(dc, x, y, color);
    };
    int mid = Rect.Top + Rect.Height() / 2;
    int parentX = column(s->Level - 1);
    vline(parentX, Rect.Top, s->IsLastChild ? mid + 1 : Rect.Bottom);
    int endX = s->ItemType != itGroup ? s->Level * IndentStep() + FOffset
                                      : s->Level * IndentStep() + FOffset / 2;
    for (int x = parentX + ((parentX & 1) == (mid & 1) ? 0 : 1); x < endX; x += 2)
        SetPixel(dc, x, mid, color);
    for (int k = 1; k < s->Level; ++k)
        if (s->ThreadCache[size_t(k)]) vline(column(k - 1), Rect.Top, Rect.Bottom);
}

void TNewCheckListBox::CNDrawItem(int Index, const TRect& Rect, TOwnerDrawState State) {
    TCanvas* c = Canvas();
    TItemState* s = GetState(Index);
    bool selected = State.Contains(odSelected);
    c->Font()->Assign(Font());
    c->Brush()->SetStyle(bsSolid);
    c->Brush()->SetColor(selected ? clHighlight : Color());
    c->FillRect(Rect);
    if (FShowLines) DrawItemLines(c, Index, Rect);

    bool enabled = s->Enabled && Enabled();
    if (s->ItemType != itGroup) {
        int x = s->Level * IndentStep() + FOffset;
        int y = Rect.Top + (Rect.Height() - FCheckHeight) / 2;
        RECT box(x, y, x + FCheckWidth, y + FCheckHeight);
        POINT cursor;
        GetCursorPos(&cursor);
        TPoint pt = ScreenToClient(TPoint(cursor.X, cursor.Y));
        bool pointerOver = ItemAtPos(pt, true) == Index;
        bool pressedByKey = FSpaceDown && Index == ItemIndex();
        bool pressedByMouse = FCaptureIndex == Index;
        int k = 0;
        if (!enabled)
            k = 3;
        else if (pressedByKey || (pressedByMouse && pointerOver))
            k = 2;
        else if ((FCaptureIndex < 0 && !FSpaceDown && FLastMouseMoveIndex == Index) ||
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

    TRect caption = CaptionRect(Index, Rect);
    std::string text = Items()->Strings(Index);
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
        RECT sub(caption.Right + FOffset, Rect.Top, Rect.Right - FOffset, Rect.Bottom);
        DrawTextA(dc, s->SubItem.c_str(), -1, &sub,
                  DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_RIGHT);
    }
    c->Brush()->SetStyle(bsSolid);
    if (State.Contains(odFocused)) {
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

bool TNewCheckListBox::CaptionFits(int Index) {
    TItemState* s = GetState(Index);
    TRect room = CaptionRect(Index, ItemRect(Index));
    TCanvas* c = TextCanvas();
    c->Font()->Assign(Font());
    std::string text = FWantTabs && s->ItemType != itGroup
                           ? StripAccelerators(Items()->Strings(Index))
                           : Items()->Strings(Index);
    return c->TextWidth(text) <= room.Width();
}

void TNewCheckListBox::ShowCaptionHint(int Index) {
    if (Index < 0 || Index >= Count() || CaptionFits(Index)) return;
    if (!FHintWindow) {
        FHintWindow = new TNewCheckListBoxHintWindow(this);
        FHintWindow->SetColor(clInfoBk);
    }
    std::string text = Items()->Strings(Index);
    if (FWantTabs) text = StripAccelerators(text);
    TRect item = ItemRect(Index);
    TRect caption = CaptionRect(Index, item);
    TRect r = FHintWindow->CalcHintRect(Screen->Width(), text, nullptr);
    TPoint origin = ClientToScreen(TPoint(caption.Left - 3, item.Top));
    OffsetRect(r, origin.X, origin.Y);
    FHintWindow->ActivateHint(r, text);
    FHintIndex = Index;
}

void TNewCheckListBox::HideCaptionHint() {
    if (HandleAllocated()) KillTimer(Handle(), HintTimerId);
    if (FHintWindow && FHintIndex >= 0) FHintWindow->ReleaseHandle();
    FHintIndex = -1;
}

// ---- Mouse and keyboard ----------------------------------------------------------------------

void TNewCheckListBox::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    TCustomListBox::MouseDown(Button, Shift, X, Y);
    if (Button != mbLeft) return;
    int i = ItemAtPos(TPoint(X, Y), true);
    if (i < 0) return;
    TItemState* s = GetState(i);
    if (s->ItemType != itCheck || !s->Enabled) return;
    if (!FWantTabs) {
        if (X < (s->Level + 1) * IndentStep()) ToggleCheckState(i);
    } else {
        FCaptureIndex = i;
        SetMouseCapture(true);
        InvalidateCheck(i);
    }
}

void TNewCheckListBox::MouseMove(TShiftState Shift, int X, int Y) {
    TCustomListBox::MouseMove(Shift, X, Y);
    int i = ItemAtPos(TPoint(X, Y), true);
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

void TNewCheckListBox::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
    TCustomListBox::MouseUp(Button, Shift, X, Y);
    if (Button != mbLeft || FCaptureIndex < 0) return;
    int pressed = FCaptureIndex;
    FCaptureIndex = -1;
    SetMouseCapture(false);
    InvalidateCheck(pressed);
    if (ItemAtPos(TPoint(X, Y), true) == pressed) ToggleCheckState(pressed);
}

void TNewCheckListBox::KeyDown(Word& Key, TShiftState Shift) {
    if (Key == VK_SPACE && ItemIndex() >= 0) {
        if (!FWantTabs) {
            ToggleCheckState(ItemIndex());
        } else if (!FSpaceDown) {
            FSpaceDown = true;
            InvalidateCheck(ItemIndex());
        }
        Key = 0;
        return;
    }
    TCustomListBox::KeyDown(Key, Shift);
}

void TNewCheckListBox::KeyUp(Word& Key, TShiftState Shift) {
    if (Key == VK_SPACE && FWantTabs && FSpaceDown) {
        FSpaceDown = false;
        if (ItemIndex() >= 0) {
            InvalidateCheck(ItemIndex());
            ToggleCheckState(ItemIndex());
        }
        Key = 0;
        return;
    }
    TCustomListBox::KeyUp(Key, Shift);
}

void TNewCheckListBox::CMDialogChar(TMessage& Message) {
    if (!FWantTabs || !CanFocus()) return;
    char16_t ch = char16_t(Message.WParam);
    for (int i = 0; i < Count(); ++i) {
        TItemState* s = GetState(i);
        if (s->ItemType == itGroup || !s->Enabled) continue;
        if (!IsAccelerator(ch, Items()->Strings(i))) continue;
        SetFocus();
        SelectByUser(i);
        ToggleCheckState(i);
        Message.Result = 1;
        return;
    }
}

void TNewCheckListBox::WMSetFocus(TMessage& Message) {
    TCustomListBox::Dispatch(Message);
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

void TNewCheckListBox::WMGetObject(TMessage& Message) {
    if (LONG(Message.LParam) != OBJID_CLIENT) {
        TCustomListBox::Dispatch(Message);
        return;
    }
    if (!FAccObject) {
        IAccessible* standard = nullptr;
        if (FAILED(CreateStdAccessibleObject(Handle(), OBJID_CLIENT, IID_IAccessible,
                                             reinterpret_cast<void**>(&standard))) ||
            !standard)
            throw Exception("CreateStdAccessibleObject failed");
        FAccObject = new TAccObject(this, standard);
    }
    Message.Result = LresultFromObject(IID_IAccessible, Message.WParam, FAccObject);
}

void TNewCheckListBox::Dispatch(TMessage& Message) {
    switch (Message.Msg) {
    case WM_GETOBJECT:
        WMGetObject(Message);
        return;
    case CM_DIALOGCHAR:
        CMDialogChar(Message);
        return;
    case WM_SETFOCUS:
        WMSetFocus(Message);
        return;
    case WM_GETDLGCODE:
        Message.Result = DLGC_WANTARROWS | DLGC_WANTCHARS | (FWantTabs ? UINT(DLGC_WANTTAB) : 0u);
        return;
    case WM_THEMECHANGED:
        OpenTheme();
        Invalidate();
        break;
    case WM_TIMER:
        if (Message.WParam == HintTimerId) {
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
        TCustomListBox::Dispatch(Message);
        if (ClientWidth() != FLastMeasuredWidth) {
            FLastMeasuredWidth = ClientWidth();
            RemeasureAll();
        }
        return;
    }
    TCustomListBox::Dispatch(Message);
}

} // namespace epc
