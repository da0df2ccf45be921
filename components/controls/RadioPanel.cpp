// The radio panel.

#include "components/controls/RadioPanel.h"

#include "platform/windows/ThemeBinding.h"
#include "platform/controls/ControlStreaming.h"
#include "platform/streaming/Filer.h"
#include "platform/streaming/PropertyRegistry.h"

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
    HandleResize();
    TCustomPanel::Resize();
}

void TCustomRadioPanel::HandleResize() {
    LayoutButtons();
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

// ---- Stream form ---------------------------------------------------------------------------

namespace {

class TRadioButtonRecord : public TCollectionItem {
public:
    using TCollectionItem::TCollectionItem;
    std::string ClassName() const override { return "TRadioPanelButton"; }
    std::string Caption;
    bool Checked = false;
};

TCollection MakeButtonRecords() {
    return TCollection("TRadioPanelButton",
                       [](TCollection* c) { return new TRadioButtonRecord(c); });
}

} // namespace

void TCustomRadioPanel::DefineProperties(TFiler* filer) {
    TCustomPanel::DefineProperties(filer);
    filer->DefineProperty(
        "Buttons",
        [this](TReader& reader) {
            TCollection records = MakeButtonRecords();
            reader.ReadCollection(&records);
            for (int i = 0; i < records.Count(); ++i) {
                auto* r = static_cast<TRadioButtonRecord*>(records.Items(i));
                TRadioButton* button = AddButton(r->Caption);
                if (r->Checked) button->SetChecked(true);
            }
        },
        [this](TWriter& writer) {
            TCollection records = MakeButtonRecords();
            for (TRadioButton* button : FButtons) {
                auto* r = static_cast<TRadioButtonRecord*>(records.Add());
                r->Caption = button->Caption();
                r->Checked = button->Checked();
            }
            writer.WriteCollection(&records);
        },
        !FButtons.empty());
}

namespace {

[[maybe_unused]] const bool RadioPanelRegistered = [] {
    using R = TRadioButtonRecord;
    TPublished<R>("TRadioPanelButton", "TCollectionItem")
        .String(
            "Caption", [](R& r) { return r.Caption; },
            [](R& r, const std::string& v) { r.Caption = v; })
        .Boolean(
            "Checked", [](R& r) { return r.Checked; }, [](R& r, bool v) { r.Checked = v; }, false);

    using P = TCustomRadioPanel;
    TPublished<P>("TCustomRadioPanel", "TCustomPanel")
        .Integer("ButtonHeight", &P::ButtonHeight, &P::SetButtonHeight, 22)
        .Integer("TopOffset", &P::TopOffset, &P::SetTopOffset, 0)
        .Integer("BottomMargin", &P::BottomMargin, &P::SetBottomMargin, 0)
        .Event("OnButtonClick");
    PublishControlProperties("TRadioPanel", "TCustomRadioPanel", PanelControlProperties());
    RegisterClass<TRadioPanel>("TRadioPanel");
    return true;
}();

} // namespace

} // namespace epc
