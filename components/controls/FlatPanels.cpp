// Flat panels and the flat scroll box.

#include "components/controls/FlatPanels.h"

#include "components/controls/ThemeBinding.h"

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

TXPPanel::TXPPanel(TComponent* AOwner) : TCustomPanel(AOwner) {
    InitThemeLibrary();
}

TXPPanel::~TXPPanel() {
    FreeThemeLibrary();
}

void TXPPanel::Dispatch(TMessage& Message) {
    TThemeLibrary* lib = ThemeLibrary();
    if (!UseThemes() || !lib) {
        TCustomPanel::Dispatch(Message);
        return;
    }
    if (Message.Msg == WM_ERASEBKGND) {
        if (!(FParent && FParent->DoubleBuffered()) && lib->DrawThemeParentBackground) {
            RECT r = ClientRect();
            lib->DrawThemeParentBackground(Handle(), reinterpret_cast<HDC>(Message.WParam), &r);
        }
        Message.Result = 1;
        return;
    }
    if (Message.Msg == WM_NCPAINT) {
        TCustomPanel::Dispatch(Message);
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
    TCustomPanel::Dispatch(Message);
}

// ---- TFlatPanel ------------------------------------------------------------------------------

TFlatPanel::TFlatPanel(TComponent* AOwner) : TCustomPanel(AOwner) {}

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
    TCanvas* c = Canvas();
    TRect r = ClientRect();
    r.Left += FLeftBorder;
    r.Top += FTopBorder;
    r.Right -= FRightBorder;
    r.Bottom -= FBottomBorder;
    auto bevel = [&](TBevelCut cut) {
        if (cut == bvNone) return;
        TColor top = cut == bvLowered ? clBtnShadow : clBtnHighlight;
        TColor bottom = cut == bvLowered ? clBtnHighlight : clBtnShadow;
        if (cut == bvSpace) top = bottom = Color();
        Frame3D(c, r, top, bottom, FBevelWidth);
    };
    bevel(FBevelOuter);
    Frame3D(c, r, Color(), Color(), FBorderWidth);
    bevel(FBevelInner);
    c->Brush()->SetStyle(bsSolid);
    c->Brush()->SetColor(Color());
    c->FillRect(r);
    DrawCaption(r);
}

void TFlatPanel::WMNCCalcSize(TMessage& Message) {
    TCustomPanel::Dispatch(Message);
    if (FBorderStyle == bsSingle || !FShowBottomWhiteLine || !Message.LParam) return;
    auto* p = reinterpret_cast<NCCALCSIZE_PARAMS*>(Message.LParam);
    if (p->rgrc[0].Bottom > p->rgrc[0].Top) p->rgrc[0].Bottom -= 1;
}

void TFlatPanel::WMNCPaint(TMessage& Message) {
    TCustomPanel::Dispatch(Message);
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

void TFlatPanel::Dispatch(TMessage& Message) {
    switch (Message.Msg) {
    case WM_NCCALCSIZE:
        WMNCCalcSize(Message);
        return;
    case WM_NCPAINT:
        WMNCPaint(Message);
        return;
    case WM_ERASEBKGND:
        if (!FEraseBackground) {
            Message.Result = 1;
            return;
        }
        break;
    }
    TCustomPanel::Dispatch(Message);
}

// ---- TFlatScrollBox --------------------------------------------------------------------------

TFlatScrollBox::TFlatScrollBox(TComponent* AOwner) : TScrollingWinControl(AOwner) {
    FControlStyle = TControlStyle{csAcceptsControls, csCaptureMouse, csClickEvents, csSetCaption,
                                  csDoubleClicks};
    SetBounds(0, 0, 185, 41);
}

void TFlatScrollBox::SetBorderStyle(TBorderStyle v) {
    if (FBorderStyle == v) return;
    FBorderStyle = v;
    if (HandleAllocated()) RecreateWnd();
}

void TFlatScrollBox::CreateParams(TCreateParams& Params) {
    TScrollingWinControl::CreateParams(Params);
    if (FBorderStyle != bsSingle) return;
    // New-style controls: a sunken client edge in place of the plain border under Ctl3D.
    if (Ctl3D())
        Params.ExStyle |= WS_EX_CLIENTEDGE;
    else
        Params.Style |= WS_BORDER;
}

void TFlatScrollBox::Dispatch(TMessage& Message) {
    switch (Message.Msg) {
    case WM_NCPAINT:
        TScrollingWinControl::Dispatch(Message);
        if (FBorderStyle == bsSingle && !Ctl3D()) FrameWindowEdge(Handle(), 0, clBtnShadow);
        return;
    case CM_CTL3DCHANGED:
        if (FBorderStyle == bsSingle && HandleAllocated()) RecreateWnd();
        TScrollingWinControl::Dispatch(Message);
        return;
    case WM_HSCROLL:
    case WM_VSCROLL:
        // Scrolled pictures of flat borders leave traces: the whole box is painted anew.
        Invalidate();
        break;
    }
    TScrollingWinControl::Dispatch(Message);
}

} // namespace epc
