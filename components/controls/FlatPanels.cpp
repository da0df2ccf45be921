// Flat panels and the flat scroll box.

#include "components/controls/FlatPanels.h"

#include "platform/windows/ThemeBinding.h"
#include "platform/controls/ControlStreaming.h"
#include "platform/streaming/PropertyRegistry.h"

namespace epc {

namespace {

// A one-pixel rectangle just inside the window's edge, on its window context.
void FrameWindowEdge(HWND h, int inset, TColor color) {
    HDC dc = GetWindowDC(h);
    if (!dc) return;
    RECT r;
    GetWindowRect(h, &r);
    RECT frame(inset, inset, r.Width() - inset, r.Height() - inset);
    HBRUSH brush = CreateSolidBrush(ColorToRGB(color));
    FrameRect(dc, &frame, brush);
    DeleteObject(brush);
    ReleaseDC(h, dc);
}

} // namespace

// ---- TXPPanel --------------------------------------------------------------------------------

TXPPanel::TXPPanel(TComponent* owner) : TCustomPanel(owner) {
    InitThemeLibrary();
}

TXPPanel::~TXPPanel() {
    FreeThemeLibrary();
}

void TXPPanel::Dispatch(TMessage& message) {
    TThemeLibrary* lib = ThemeLibrary();
    if (!UseThemes() || !lib) {
        TCustomPanel::Dispatch(message);
        return;
    }
    if (message.Msg == WM_ERASEBKGND) {
        if (!(FParent && FParent->DoubleBuffered()) && lib->DrawThemeParentBackground) {
            RECT r = ClientRect();
            lib->DrawThemeParentBackground(Handle(), reinterpret_cast<HDC>(message.WParam), &r);
        }
        message.Result = 1;
        return;
    }
    if (message.Msg == WM_NCPAINT) {
        TCustomPanel::Dispatch(message);
        if (FBorderStyle != bsSingle || !lib->OpenThemeData || !lib->DrawThemeBackground) return;
        // The themed edit-box border over the non-client frame.
        HTHEME theme = lib->OpenThemeData(Handle(), u"Edit");
        if (!theme) return;
        HDC dc = GetWindowDC(Handle());
        RECT w;
        GetWindowRect(Handle(), &w);
        TPoint offset = GetClientOffset(Handle());
        RECT client;
        GetClientRect(Handle(), &client);
        ExcludeClipRect(dc, offset.X, offset.Y, offset.X + client.Width(),
                        offset.Y + client.Height());
        RECT frame(0, 0, w.Width(), w.Height());
        lib->DrawThemeBackground(theme, dc, 1, 1, &frame, nullptr);
        ReleaseDC(Handle(), dc);
        if (lib->CloseThemeData) lib->CloseThemeData(theme);
        return;
    }
    TCustomPanel::Dispatch(message);
}

// ---- TFlatPanel ------------------------------------------------------------------------------

TFlatPanel::TFlatPanel(TComponent* owner) : TCustomPanel(owner) {}

void TFlatPanel::Changed(bool frame) {
    if (!HandleAllocated()) return;
    if (frame)
        SetWindowPos(Handle(), nullptr, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    Invalidate();
}

void TFlatPanel::SetTopBorder(int v) {
    if (FTopBorder == v) return;
    FTopBorder = v;
    Changed(false);
}

void TFlatPanel::SetLeftBorder(int v) {
    if (FLeftBorder == v) return;
    FLeftBorder = v;
    Changed(false);
}

void TFlatPanel::SetRightBorder(int v) {
    if (FRightBorder == v) return;
    FRightBorder = v;
    Changed(false);
}

void TFlatPanel::SetBottomBorder(int v) {
    if (FBottomBorder == v) return;
    FBottomBorder = v;
    Changed(false);
}

void TFlatPanel::SetEraseBackground(bool v) {
    if (FEraseBackground == v) return;
    FEraseBackground = v;
    Changed(false);
}

void TFlatPanel::SetShowBottomWhiteLine(bool v) {
    if (FShowBottomWhiteLine == v) return;
    FShowBottomWhiteLine = v;
    Changed(true);
}

void TFlatPanel::Paint() {
    TRect r = ClientRect();
    r.Left += FLeftBorder;
    r.Top += FTopBorder;
    r.Right -= FRightBorder;
    r.Bottom -= FBottomBorder;
    PaintPanel(r);
}

void TFlatPanel::WMNCCalcSize(TMessage& message) {
    TCustomPanel::Dispatch(message);
    if (FBorderStyle == bsSingle || !FShowBottomWhiteLine || !message.LParam) return;
    auto* p = reinterpret_cast<NCCALCSIZE_PARAMS*>(message.LParam);
    if (p->rgrc[0].Bottom > p->rgrc[0].Top) p->rgrc[0].Bottom -= 1;
}

void TFlatPanel::WMNCPaint(TMessage& message) {
    TCustomPanel::Dispatch(message);
    if (FBorderStyle == bsSingle) {
        if (!Ctl3D()) {
            FrameWindowEdge(Handle(), 0, clBtnShadow);
        } else {
            FrameWindowEdge(Handle(), 0, clBtnFace);
            FrameWindowEdge(Handle(), 1, clBtnShadow);
        }
        return;
    }
    if (!FShowBottomWhiteLine) return;
    HDC dc = GetWindowDC(Handle());
    if (!dc) return;
    RECT w;
    GetWindowRect(Handle(), &w);
    RECT line(0, w.Height() - 1, w.Width(), w.Height());
    HBRUSH brush = CreateSolidBrush(ColorToRGB(clWindow));
    FillRect(dc, &line, brush);
    DeleteObject(brush);
    ReleaseDC(Handle(), dc);
}

void TFlatPanel::Dispatch(TMessage& message) {
    switch (message.Msg) {
    case WM_NCCALCSIZE:
        WMNCCalcSize(message);
        return;
    case WM_NCPAINT:
        WMNCPaint(message);
        return;
    case WM_ERASEBKGND:
        if (!FEraseBackground) {
            message.Result = 1;
            return;
        }
        break;
    }
    TCustomPanel::Dispatch(message);
}

// ---- TFlatScrollBox --------------------------------------------------------------------------

void TFlatScrollBox::Dispatch(TMessage& message) {
    switch (message.Msg) {
    case WM_NCPAINT:
        TScrollBox::Dispatch(message);
        if (FBorderStyle == bsSingle && !Ctl3D()) FrameWindowEdge(Handle(), 0, clBtnShadow);
        return;
    case CM_CTL3DCHANGED:
        if (FBorderStyle == bsSingle && HandleAllocated()) RecreateWnd();
        TScrollBox::Dispatch(message);
        return;
    case WM_HSCROLL:
    case WM_VSCROLL:
        // Scrolled pictures of flat borders leave traces: the whole box is painted anew.
        Invalidate();
        break;
    }
    TScrollBox::Dispatch(message);
}

// ---- Stream form ---------------------------------------------------------------------------

namespace {

[[maybe_unused]] const bool FlatPanelsRegistered = [] {
    PublishControlProperties("TXPPanel", "TCustomPanel", PanelControlProperties());
    RegisterClass<TXPPanel>("TXPPanel");

    using F = TFlatPanel;
    PublishControlProperties("TFlatPanel", "TCustomPanel", PanelControlProperties());
    TPublished<F>("TFlatPanel", "TCustomPanel")
        .Integer("TopBorder", &F::TopBorder, &F::SetTopBorder, 0)
        .Integer("LeftBorder", &F::LeftBorder, &F::SetLeftBorder, 0)
        .Integer("RightBorder", &F::RightBorder, &F::SetRightBorder, 0)
        .Integer("BottomBorder", &F::BottomBorder, &F::SetBottomBorder, 0)
        .Boolean("EraseBackground", &F::EraseBackground, &F::SetEraseBackground, true)
        .Boolean("ShowBottomWhiteLine", &F::ShowBottomWhiteLine, &F::SetShowBottomWhiteLine, false);
    RegisterClass<F>("TFlatPanel");

    PublishControlProperties("TFlatScrollBox", "TScrollBox",
                             {"Align",       "Anchors",    "Color",          "Constraints",
                              "Ctl3D",       "Enabled",    "Font",           "ParentColor",
                              "ParentCtl3D", "ParentFont", "ParentShowHint", "PopupMenu",
                              "ShowHint",    "TabOrder",   "TabStop",        "Visible",
                              "OnClick",     "OnEnter",    "OnExit",         "OnResize"});
    RegisterClass<TFlatScrollBox>("TFlatScrollBox");
    return true;
}();

} // namespace

} // namespace epc
