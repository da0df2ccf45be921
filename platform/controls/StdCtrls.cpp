// The list box and the radio button.

#include "platform/controls/StdCtrls.h"

#include <algorithm>

#include "platform/controls/Forms.h"
#include "platform/core/Arithmetic.h"
#include "platform/core/ScopeGuard.h"
#include "platform/core/Strings.h"

namespace epc {

TSize GetSystemBitmapSize(int id) {
    // The classic check boxes are 13 x 13 each.
    return id == OBM_CHECKBOXES ? TSize(52, 39) : TSize(0, 0);
}

// ---- TListBoxStrings -------------------------------------------------------------------------

void TListBoxStrings::Check(int index) const {
    if (index < 0 || index >= Count()) throw EListError(FormatMessage(SListIndexError, index));
}

const std::string& TListBoxStrings::Strings(int index) const {
    Check(index);
    return FItems[size_t(index)].Text;
}

void TListBoxStrings::SetStrings(int index, const std::string& s) {
    Check(index);
    FItems[size_t(index)].Text = s;
    FListBox->RemeasureItem(index);
}

TObject* TListBoxStrings::Objects(int index) const {
    Check(index);
    return FItems[size_t(index)].Object;
}

void TListBoxStrings::SetObjects(int index, TObject* object) {
    Check(index);
    FItems[size_t(index)].Object = object;
}

int TListBoxStrings::AddObject(const std::string& s, TObject* object) {
    int index = Count();
    if (FListBox->Sorted())
        index = int(std::upper_bound(FItems.begin(), FItems.end(), s,
                                     [](const std::string& text, const TItem& item) {
                                         return CompareText(text, item.Text) < 0;
                                     }) -
                    FItems.begin());
    FItems.insert(FItems.begin() + index, TItem{s, object});
    FListBox->ItemInserted(index);
    return index;
}

void TListBoxStrings::Sort() {
    std::vector<int> order(FItems.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = int(i);
    std::stable_sort(order.begin(), order.end(), [this](int a, int b) {
        return CompareText(FItems[size_t(a)].Text, FItems[size_t(b)].Text) < 0;
    });
    std::vector<TItem> sorted;
    sorted.reserve(FItems.size());
    for (int i : order)
        sorted.push_back(FItems[size_t(i)]);
    FItems.swap(sorted);
    FListBox->ItemsSorted(order);
}

void TListBoxStrings::Insert(int index, const std::string& s) {
    if (index < 0 || index > Count()) throw EListError(FormatMessage(SListIndexError, index));
    FItems.insert(FItems.begin() + index, TItem{s, nullptr});
    FListBox->ItemInserted(index);
}

void TListBoxStrings::Delete(int index) {
    Check(index);
    FItems.erase(FItems.begin() + index);
    FListBox->ItemDeleted(index);
}

void TListBoxStrings::Clear() {
    FItems.clear();
    FListBox->ItemsCleared();
}

int TListBoxStrings::IndexOf(const std::string& s) const {
    for (int i = 0; i < Count(); ++i)
        if (FItems[size_t(i)].Text == s) return i;
    return -1;
}

// ---- TCustomListBox --------------------------------------------------------------------------

TCustomListBox::TCustomListBox(TComponent* owner)
    : TCustomControl(owner), FItems(std::make_unique<TListBoxStrings>(this)) {
    FControlStyle = TControlStyle{csSetCaption, csDoubleClicks, csOpaque};
    SetBounds(0, 0, 121, 97);
    SetTabStop(true);
    SetParentColor(false);
    SetColor(clWindow);
}

TCustomListBox::~TCustomListBox() = default;

void TCustomListBox::CreateParams(TCreateParams& params) {
    TCustomControl::CreateParams(params);
    params.Style |= WS_VSCROLL;
    AddBorderStyle(params, FBorderStyle);
}

void TCustomListBox::SetStyle(TListBoxStyle v) {
    if (FStyle == v) return;
    FStyle = v;
    for (int i = 0; i < Count(); ++i) {
        int h = FItemHeight;
        if (FStyle == lbOwnerDrawVariable) MeasureItem(i, h);
        FHeights[size_t(i)] = h;
    }
    AdjustIntegralHeight();
    UpdateScrollBar();
    Invalidate();
}

void TCustomListBox::SetItemHeight(int v) {
    if (v <= 0 || FItemHeight == v) return;
    FItemHeight = v;
    if (FStyle != lbOwnerDrawVariable) std::fill(FHeights.begin(), FHeights.end(), v);
    AdjustIntegralHeight();
    UpdateScrollBar();
    Invalidate();
}

void TCustomListBox::SetBorderStyle(TBorderStyle v) {
    if (FBorderStyle == v) return;
    FBorderStyle = v;
    if (HandleAllocated()) RecreateWnd();
}

void TCustomListBox::SetIntegralHeight(bool v) {
    if (FIntegralHeight == v) return;
    FIntegralHeight = v;
    AdjustIntegralHeight();
}

void TCustomListBox::SetSorted(bool v) {
    if (FSorted == v) return;
    FSorted = v;
    if (v) FItems->Sort();
}

void TCustomListBox::SetTabWidth(int v) {
    if (v < 0 || FTabWidth == v) return;
    FTabWidth = v;
    Invalidate();
}

void TCustomListBox::AdjustIntegralHeight() {
    if (!FIntegralHeight || FStyle == lbOwnerDrawVariable || FItemHeight <= 0 ||
        !HandleAllocated() || FAdjustingHeight)
        return;
    // A list lower than one item keeps its height: it shows the part it can.
    int clientHeight = ClientHeight();
    int rest = clientHeight % FItemHeight;
    if (clientHeight <= FItemHeight || rest == 0) return;
    FAdjustingHeight = true;
    auto done = Finally([this] { FAdjustingHeight = false; });
    SetHeight(Height() - rest);
}

void TCustomListBox::SetItemIndex(int v) {
    if (v < -1 || v >= Count()) v = -1;
    if (FItemIndex == v) return;
    InvalidateItem(FItemIndex);
    FItemIndex = v;
    InvalidateItem(FItemIndex);
}

void TCustomListBox::SetTopIndex(int v) {
    v = std::clamp(v, 0, std::max(0, Count() - 1));
    if (FTopIndex == v) return;
    FTopIndex = v;
    UpdateScrollBar();
    Invalidate();
}

int TCustomListBox::ItemHeights(int index) const {
    return index >= 0 && index < Count() ? FHeights[size_t(index)] : 0;
}

TRect TCustomListBox::ItemRect(int index) {
    if (index < 0 || index >= Count()) return TRect();
    int y = 0;
    if (index >= FTopIndex) {
        for (int i = FTopIndex; i < index; ++i)
            y += FHeights[size_t(i)];
    } else {
        for (int i = index; i < FTopIndex; ++i)
            y -= FHeights[size_t(i)];
    }
    int width = ClientWidth();
    return TRect(0, y, width, y + FHeights[size_t(index)]);
}

int TCustomListBox::ItemAtPos(TPoint pos, bool existing) {
    int width = ClientWidth();
    if (pos.X < 0 || pos.X >= width || pos.Y < 0) return -1;
    int y = 0;
    for (int i = FTopIndex; i < Count(); ++i) {
        y += FHeights[size_t(i)];
        if (pos.Y < y) return i;
    }
    return existing ? -1 : Count() - 1;
}

void TCustomListBox::InvalidateItem(int index) {
    if (!HandleAllocated() || index < 0 || index >= Count()) return;
    TRect r = ItemRect(index);
    InvalidateRect(Handle(), &r, 0);
}

void TCustomListBox::RemeasureItem(int index) {
    if (index < 0 || index >= Count()) return;
    int h = FItemHeight;
    if (FStyle == lbOwnerDrawVariable) MeasureItem(index, h);
    FHeights[size_t(index)] = h;
    UpdateScrollBar();
    Invalidate();
}

void TCustomListBox::ItemInserted(int index) {
    FHeights.insert(FHeights.begin() + index, FItemHeight);
    if (FItemIndex >= index) ++FItemIndex;
    RemeasureItem(index);
}

void TCustomListBox::ItemDeleted(int index) {
    FHeights.erase(FHeights.begin() + index);
    if (FItemIndex == index)
        FItemIndex = -1;
    else if (FItemIndex > index)
        --FItemIndex;
    if (FTopIndex >= Count()) FTopIndex = std::max(0, Count() - 1);
    UpdateScrollBar();
    Invalidate();
}

void TCustomListBox::ItemsCleared() {
    FHeights.clear();
    FItemIndex = -1;
    FTopIndex = 0;
    UpdateScrollBar();
    Invalidate();
}

void TCustomListBox::ItemsSorted(const std::vector<int>& order) {
    std::vector<int> heights(order.size());
    int selected = -1;
    for (size_t i = 0; i < order.size(); ++i) {
        heights[i] = FHeights[size_t(order[i])];
        if (order[i] == FItemIndex) selected = int(i);
    }
    FHeights.swap(heights);
    // The selection stays on its item.
    FItemIndex = selected;
    UpdateScrollBar();
    Invalidate();
}

void TCustomListBox::MeasureItem(int index, int& height) {
    if (OnMeasureItem) OnMeasureItem(this, index, height);
}

void TCustomListBox::DrawItem(int index, const TRect& rect, TOwnerDrawState state) {
    if (OnDrawItem) {
        OnDrawItem(this, index, rect, state);
        return;
    }
    TCanvas* c = Canvas();
    c->FillRect(rect);
    const std::string& text = FItems->Strings(index);
    int left = rect.Left + 2;
    if (FTabWidth <= 0 || text.find('\t') == std::string::npos) {
        c->TextOut(left, rect.Top, text);
        return;
    }
    TEXTMETRICW tm{};
    GetTextMetricsW(c->Handle(), &tm);
    int stop = std::max(1, MulDiv(FTabWidth, tm.tmAveCharWidth, 4));
    int x = left;
    for (size_t start = 0;;) {
        size_t tab = text.find('\t', start);
        std::string piece = text.substr(start, tab == std::string::npos ? tab : tab - start);
        c->TextOut(x, rect.Top, piece);
        x += c->TextWidth(piece);
        if (tab == std::string::npos) break;
        x = left + ((x - left) / stop + 1) * stop;
        start = tab + 1;
    }
}

void TCustomListBox::CNDrawItem(int index, const TRect& rect, TOwnerDrawState state) {
    TCanvas* c = Canvas();
    c->Font()->Assign(Font());
    if (state.Contains(odSelected)) {
        c->Brush()->SetColor(clHighlight);
        c->Font()->SetColor(clHighlightText);
    } else {
        c->Brush()->SetColor(Color());
    }
    DrawItem(index, rect, state);
    if (state.Contains(odFocused)) c->DrawFocusRect(rect);
}

void TCustomListBox::Paint() {
    TRect client = ClientRect();
    int y = 0;
    bool focused = HandleAllocated() && GetFocus() == Handle();
    for (int i = FTopIndex; i < Count() && y < client.Bottom; ++i) {
        TRect r(0, y, client.Right, y + FHeights[size_t(i)]);
        TOwnerDrawState state;
        if (i == FItemIndex) state.Include(odSelected);
        if (i == FItemIndex && focused) state.Include(odFocused);
        if (!Enabled()) state.Include(odDisabled);
        CNDrawItem(i, r, state);
        y = r.Bottom;
    }
    if (y < client.Bottom) {
        Canvas()->Brush()->SetColor(Color());
        Canvas()->FillRect(TRect(0, y, client.Right, client.Bottom));
    }
}

int TCustomListBox::VisibleItemCount(int fromIndex) {
    int height = ClientHeight();
    int n = 0, y = 0;
    for (int i = fromIndex; i < Count(); ++i) {
        y += FHeights[size_t(i)];
        if (y > height) break;
        ++n;
    }
    return std::max(n, 1);
}

void TCustomListBox::UpdateScrollBar() {
    if (!HandleAllocated()) return;
    SCROLLINFO si;
    si.fMask = SIF_ALL;
    si.nMin = 0;
    si.nMax = std::max(0, Count() - 1);
    si.nPage = uint32_t(Count() == 0 ? 1 : VisibleItemCount(FTopIndex));
    si.nPos = FTopIndex;
    SetScrollInfo(Handle(), SB_VERT, &si, 1);
}

void TCustomListBox::Resize() {
    AdjustIntegralHeight();
    UpdateScrollBar();
    TCustomControl::Resize();
}

void TCustomListBox::InitializeHandle() {
    TCustomControl::InitializeHandle();
    AdjustIntegralHeight();
    UpdateScrollBar();
}

void TCustomListBox::MakeVisible(int index) {
    if (index < 0 || index >= Count()) return;
    if (index < FTopIndex) {
        SetTopIndex(index);
        return;
    }
    while (FTopIndex < index && index >= FTopIndex + VisibleItemCount(FTopIndex))
        SetTopIndex(FTopIndex + 1);
}

void TCustomListBox::SelectByUser(int index) {
    if (index < 0 || index >= Count()) return;
    MakeVisible(index);
    if (index == FItemIndex) return;
    SetItemIndex(index);
    Click();
}

void TCustomListBox::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    if (button == mbLeft) {
        if (CanFocus() && !Focused()) SetFocus();
        int i = ItemAtPos(TPoint(x, y), true);
        if (i >= 0) SelectByUser(i);
    }
    TCustomControl::MouseDown(button, shift, x, y);
}

void TCustomListBox::KeyDown(Word& key, TShiftState shift) {
    TCustomControl::KeyDown(key, shift);
    if (Count() == 0) return;
    int i = FItemIndex;
    switch (key) {
    case VK_UP:
        i = std::max(0, i - 1);
        break;
    case VK_DOWN:
        i = std::min(Count() - 1, i + 1);
        break;
    case VK_HOME:
        i = 0;
        break;
    case VK_END:
        i = Count() - 1;
        break;
    case VK_PRIOR:
        i = std::max(0, i - VisibleItemCount(FTopIndex));
        break;
    case VK_NEXT:
        i = std::min(Count() - 1, std::max(i, 0) + VisibleItemCount(FTopIndex));
        break;
    default:
        return;
    }
    SelectByUser(i);
}

void TCustomListBox::Dispatch(TMessage& message) {
    switch (message.Msg) {
    case WM_GETDLGCODE:
        message.Result = DLGC_WANTARROWS | DLGC_WANTCHARS;
        return;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        InvalidateItem(FItemIndex);
        break;
    case WM_VSCROLL: {
        int code = int(message.WParam & 0xFFFF);
        int top = FTopIndex;
        switch (code) {
        case SB_LINEUP:
            --top;
            break;
        case SB_LINEDOWN:
            ++top;
            break;
        case SB_PAGEUP:
            top -= VisibleItemCount(FTopIndex);
            break;
        case SB_PAGEDOWN:
            top += VisibleItemCount(FTopIndex);
            break;
        case SB_THUMBPOSITION:
        case SB_THUMBTRACK:
            top = int((message.WParam >> 16) & 0xFFFF);
            break;
        case SB_TOP:
            top = 0;
            break;
        case SB_BOTTOM:
            top = Count() - 1;
            break;
        default:
            break;
        }
        SetTopIndex(top);
        message.Result = 0;
        return;
    }
    case WM_SIZE:
        TCustomControl::Dispatch(message);
        UpdateScrollBar();
        return;
    }
    TCustomControl::Dispatch(message);
}

// ---- TRadioButton ----------------------------------------------------------------------------

TRadioButton::TRadioButton(TComponent* owner) : TCustomControl(owner) {
    FControlStyle = TControlStyle{csSetCaption, csDoubleClicks, csClickEvents, csCaptureMouse};
    SetBounds(0, 0, 113, 17);
    SetTabStop(true);
}

void TRadioButton::SetChecked(bool v) {
    if (FChecked == v) return;
    FChecked = v;
    Invalidate();
    if (!v) return;
    if (FParent)
        for (int i = 0; i < FParent->ControlCount(); ++i)
            if (auto* other = dynamic_cast<TRadioButton*>(FParent->Controls(i));
                other && other != this)
                other->SetChecked(false);
    TCustomControl::Click();
}

void TRadioButton::Click() {
    // A click checks the button, which reports the click.
    if (!FChecked) SetChecked(true);
}

void TRadioButton::Dispatch(TMessage& message) {
    if (message.Msg == WM_GETDLGCODE) {
        message.Result = DLGC_RADIOBUTTON;
        return;
    }
    TCustomControl::Dispatch(message);
}

void TRadioButton::Paint() {
    TCanvas* c = Canvas();
    TRect client = ClientRect();
    c->Brush()->SetColor(Color());
    c->FillRect(client);
    int box = GetSystemBitmapSize(OBM_CHECKBOXES).cx / 4;
    TRect r(0, (client.Height() - box) / 2, box, (client.Height() - box) / 2 + box);
    UINT state = DFCS_BUTTONRADIO | (FChecked ? UINT(DFCS_CHECKED) : 0u) |
                 (Enabled() ? 0u : UINT(DFCS_INACTIVE));
    DrawFrameControl(c->Handle(), &r, DFC_BUTTON, state);
    c->Font()->Assign(Font());
    if (!Enabled()) c->Font()->SetColor(clGrayText);
    c->Brush()->SetStyle(bsClear);
    RECT tr(box + 4, 0, client.Right, client.Bottom);
    DrawTextA(c->Handle(), Caption().c_str(), -1, &tr, DT_SINGLELINE | DT_VCENTER | DT_LEFT);
    if (Focused()) {
        RECT fr = tr;
        DrawTextA(c->Handle(), Caption().c_str(), -1, &fr,
                  DT_SINGLELINE | DT_VCENTER | DT_LEFT | DT_CALCRECT);
        c->DrawFocusRect(TRect(fr.Left - 1, fr.Top, fr.Right + 1, fr.Bottom));
    }
}

// ---- TCustomEdit -------------------------------------------------------------------------------

TCustomEdit::TCustomEdit(TComponent* owner) : TCustomControl(owner) {
    FControlStyle = TControlStyle{csCaptureMouse, csDoubleClicks, csOpaque};
    SetBounds(0, 0, 121, 21);
    SetTabStop(true);
    SetParentColor(false);
    SetColor(clWindow);
}

TCustomEdit::~TCustomEdit() {
    if (FHasCaret) DestroyCaret();
}

std::string TCustomEdit::GetText() const {
    return WideToAnsi(FWideText);
}

void TCustomEdit::SetTextBuf(const std::string& value) {
    SetWideText(AnsiToWide(value));
}

void TCustomEdit::SetWideText(const std::u16string& value) {
    const bool changed = value != FWideText;
    FWideText = value;
    FAnchor = FCaret = 0;
    FScrollX = 0;
    FModified = false;
    Invalidate();
    UpdateCaret();
    if (changed) Change();
}

void TCustomEdit::SetSelStart(int value) {
    MoveCaret(value, false);
}

void TCustomEdit::SetSelLength(int value) {
    const int start = SelStart();
    FAnchor = start;
    FCaret = std::clamp(start + value, 0, int(FWideText.size()));
    Invalidate();
    UpdateCaret();
}

void TCustomEdit::SelectAll() {
    FAnchor = 0;
    FCaret = int(FWideText.size());
    Invalidate();
    UpdateCaret();
}

std::u16string TCustomEdit::SelText() const {
    return FWideText.substr(size_t(SelStart()), size_t(SelLength()));
}

void TCustomEdit::SetSelText(const std::u16string& text) {
    const int start = SelStart();
    FWideText.replace(size_t(start), size_t(SelLength()), text);
    FAnchor = FCaret = start + int(text.size());
    FModified = true;
    Invalidate();
    UpdateCaret();
    Change();
}

void TCustomEdit::SetMargins(int left, int right) {
    FLeftMargin = std::max(0, left);
    FRightMargin = std::max(0, right);
    Invalidate();
    UpdateCaret();
}

void TCustomEdit::SetBorderStyle(TBorderStyle value) {
    if (FBorderStyle == value) return;
    FBorderStyle = value;
    if (HandleAllocated()) RecreateWnd();
}

void TCustomEdit::CreateParams(TCreateParams& params) {
    TCustomControl::CreateParams(params);
    AddBorderStyle(params, FBorderStyle);
}

void TCustomEdit::Change() {
    if (OnChange) OnChange(this);
}

TCanvas* TCustomEdit::MeasureCanvas() {
    if (!FMeasure) FMeasure = std::make_unique<TBitmap>(1, 1, pf32bit);
    TCanvas* canvas = FMeasure->Canvas();
    canvas->Font()->Assign(Font());
    return canvas;
}

int TCustomEdit::TextWidth() {
    return MeasureCanvas()->TextWidth(FWideText);
}

// X of the boundary before character Index, in client coordinates.
int TCustomEdit::CharX(int index) {
    return FLeftMargin + 1 - FScrollX +
           MeasureCanvas()->TextWidth(FWideText.substr(0, size_t(std::max(0, index))));
}

void TCustomEdit::MoveCaret(int position, bool extend) {
    position = std::clamp(position, 0, int(FWideText.size()));
    FCaret = position;
    if (!extend) FAnchor = position;
    Invalidate();
    UpdateCaret();
}

void TCustomEdit::UpdateCaret() {
    if (!HandleAllocated()) return;
    // Keep the caret inside the text area by scrolling the text sideways.
    const int right = ClientWidth() - FRightMargin - 1;
    int x = CharX(FCaret);
    if (x > right)
        FScrollX += x - right;
    else if (x < FLeftMargin + 1)
        FScrollX = std::max(0, FScrollX - (FLeftMargin + 1 - x));
    if (GetFocus() != Handle()) return;
    const int height = MeasureCanvas()->TextHeight(std::u16string(u"Ag"));
    if (!FHasCaret) {
        CreateCaret(Handle(), nullptr, 1, height);
        ShowCaret(Handle());
        FHasCaret = true;
    }
    SetCaretPos(CharX(FCaret), std::max(0, (ClientHeight() - height) / 2));
}

void TCustomEdit::KeyDown(Word& key, TShiftState shift) {
    TCustomControl::KeyDown(key, shift);
    const bool extend = shift.Contains(ssShift);
    const int length = int(FWideText.size());
    switch (key) {
    case VK_LEFT:
        if (!extend && SelLength() > 0)
            MoveCaret(SelStart(), false);
        else
            MoveCaret(int(CharPrevW(FWideText, size_t(FCaret))), extend);
        break;
    case VK_RIGHT:
        if (!extend && SelLength() > 0)
            MoveCaret(SelStart() + SelLength(), false);
        else
            MoveCaret(int(CharNextW(FWideText, size_t(FCaret))), extend);
        break;
    case VK_HOME:
        MoveCaret(0, extend);
        break;
    case VK_END:
        MoveCaret(length, extend);
        break;
    case VK_DELETE:
        if (SelLength() == 0) {
            if (FCaret >= length) break;
            FAnchor = int(CharNextW(FWideText, size_t(FCaret)));
        }
        SetSelText(u"");
        break;
    case VK_BACK:
        if (SelLength() == 0) {
            if (FCaret == 0) break;
            FAnchor = int(CharPrevW(FWideText, size_t(FCaret)));
        }
        SetSelText(u"");
        break;
    default:
        return;
    }
    key = 0;
}

void TCustomEdit::KeyPress(char16_t& key) {
    TCustomControl::KeyPress(key);
    // Control characters (Backspace, Enter, Escape, Tab) type nothing.
    if (key < 32 || key == 127) return;
    SetSelText(std::u16string(1, key));
    key = 0;
}

void TCustomEdit::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    if (CanFocus() && !Focused()) SetFocus();
    if (button == mbLeft) {
        // The boundary nearest to the click.
        int best = 0, bestDistance = std::abs(CharX(0) - x);
        for (size_t i = CharNextW(FWideText, 0); i <= FWideText.size() && !FWideText.empty();
             i = CharNextW(FWideText, i)) {
            const int distance = std::abs(CharX(int(i)) - x);
            if (distance < bestDistance) {
                best = int(i);
                bestDistance = distance;
            }
            if (i == FWideText.size()) break;
        }
        MoveCaret(best, shift.Contains(ssShift));
    }
    TCustomControl::MouseDown(button, shift, x, y);
}

void TCustomEdit::Paint() {
    TCanvas* c = Canvas();
    const TRect client = ClientRect();
    c->Brush()->SetColor(Enabled() ? Color() : clBtnFace);
    c->Brush()->SetStyle(bsSolid);
    c->FillRect(client);
    c->Font()->Assign(Font());
    if (!Enabled()) c->Font()->SetColor(clGrayText);
    const int height = c->TextHeight(std::u16string(u"Ag"));
    const int top = std::max(0, (client.Height() - height) / 2);
    const TRect area(FLeftMargin + 1, 0, client.Right - FRightMargin, client.Bottom);
    c->Brush()->SetStyle(bsClear);
    c->TextRect(area, CharX(0), top, FWideText);
    if (SelLength() > 0 && Focused()) {
        TRect sel(std::max(area.Left, CharX(SelStart())), top,
                  std::min(area.Right, CharX(SelStart() + SelLength())), top + height);
        c->Brush()->SetStyle(bsSolid);
        c->Brush()->SetColor(clHighlight);
        c->Font()->SetColor(clHighlightText);
        c->TextRect(sel, CharX(SelStart()), top, SelText());
    }
    c->Brush()->SetStyle(bsSolid);
}

void TCustomEdit::Dispatch(TMessage& message) {
    switch (message.Msg) {
    case WM_GETDLGCODE:
        message.Result = DLGC_WANTARROWS | DLGC_WANTCHARS;
        return;
    case WM_SETFOCUS:
        TCustomControl::Dispatch(message);
        UpdateCaret();
        Invalidate();
        return;
    case WM_KILLFOCUS:
        if (FHasCaret) {
            DestroyCaret();
            FHasCaret = false;
        }
        Invalidate();
        break;
    case WM_SIZE:
        TCustomControl::Dispatch(message);
        UpdateCaret();
        return;
    default:
        break;
    }
    TCustomControl::Dispatch(message);
}

} // namespace epc
