// The radio panel.

#include "components/controls/RadioPanel.h"

#include "platform/windows/ThemeBinding.h"

namespace epc {

TCustomRadioPanel::TCustomRadioPanel(TComponent* owner) : TCustomPanel(owner) {
    FBevelInner = bvNone;
    FBevelOuter = bvNone;
    InitThemeLibrary();
}

TCustomRadioPanel::~TCustomRadioPanel() {
    FreeThemeLibrary();
}

TRadioButton* TCustomRadioPanel::AddButton(const std::string& aCaption) {
    auto* button = new TRadioButton(this);
    button->SetVisible(false);
    button->SetTag(1);
    button->SetParent(this);
    button->SetCaption(aCaption);
    // The caption's width in the panel's font, measured off screen when there is no window yet.
    TCanvas measure;
    measure.SetOwnedHandle(CreateCompatibleDC(nullptr));
    measure.Font()->Assign(Font());
    button->Font()->Assign(Font());
    button->SetBounds(button->Left(), button->Top(), measure.TextWidth(aCaption) + 26,
                      FButtonHeight);
    button->OnClick = [this, button](TObject*) {
        if (OnButtonClick) OnButtonClick(this, button);
    };
    FButtons.push_back(button);
    LayoutButtons();
    button->Show();
    return button;
}

void TCustomRadioPanel::SetTopOffset(int v) {
    FTopOffset = v;
    LayoutButtons();
}

void TCustomRadioPanel::SetBottomMargin(int v) {
    FBottomMargin = v;
    LayoutButtons();
}

void TCustomRadioPanel::Resize() {
    LayoutButtons();
    TCustomPanel::Resize();
}

void TCustomRadioPanel::LayoutButtons() {
    if (FLayingOut) return;
    FLayingOut = true;
    int x = 0, y = FTopOffset;
    int width = ClientWidth();
    bool rowHasButton = false;
    for (TRadioButton* b : FButtons) {
        if (rowHasButton && x + b->Width() > width) {
            y += FButtonHeight;
            x = 0;
        }
        b->SetBounds(x, y, b->Width(), b->Height());
        x += b->Width();
        rowHasButton = true;
    }
    if (!FButtons.empty()) {
        TRadioButton* last = FButtons.back();
        SetHeight(last->Top() + last->Height() + FBottomMargin + (Height() - ClientHeight()));
    }
    FLayingOut = false;
}

void TCustomRadioPanel::DrawParentBackground(HDC dc) {
    if (!FParent) return;
    if (FParent->DoubleBuffered()) {
        // The parent erases into our context, moved to where the panel lies on it.
        POINT old;
        OffsetWindowOrgEx(dc, Left(), Top(), &old);
        SendMessage(FParent->Handle(), WM_ERASEBKGND, WPARAM(dc), 0);
        SetWindowOrgEx(dc, old.X, old.Y, nullptr);
        return;
    }
    TThemeLibrary* lib = ThemeLibrary();
    if (lib && lib->DrawThemeParentBackground) {
        RECT r = ClientRect();
        lib->DrawThemeParentBackground(Handle(), dc, &r);
    }
}

void TCustomRadioPanel::WMEraseBkgndThemed(TMessage& message) {
    DrawParentBackground(reinterpret_cast<HDC>(message.WParam));
    message.Result = 1;
}

void TCustomRadioPanel::WMPaintThemed(TMessage& message) {
    PAINTSTRUCT ps;
    HDC dc = reinterpret_cast<HDC>(message.WParam);
    bool own = !dc;
    if (own) dc = BeginPaint(Handle(), &ps);
    if (!dc) return;
    if (FParent && ColorToRGB(FParent->Brush()->Color()) == ColorToRGB(Color())) {
        DrawParentBackground(dc);
    } else {
        HBRUSH brush = CreateSolidBrush(ColorToRGB(Color()));
        RECT r = ClientRect();
        FillRect(dc, &r, brush);
        DeleteObject(brush);
    }
    PaintControls(dc, nullptr);
    if (own) EndPaint(Handle(), &ps);
    message.Result = 0;
}

void TCustomRadioPanel::Dispatch(TMessage& message) {
    if (UseThemes()) {
        if (message.Msg == WM_ERASEBKGND) return WMEraseBkgndThemed(message);
        if (message.Msg == WM_PAINT) return WMPaintThemed(message);
    }
    TCustomPanel::Dispatch(message);
}

} // namespace epc
