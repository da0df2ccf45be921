// Panels, Frame3D and the scrolling control.

#include "platform/controls/ExtCtrls.h"

#include <algorithm>

namespace epc {

void Frame3D(TCanvas* canvas, TRect& rect, TColor topColor, TColor bottomColor, int width) {
    canvas->Pen()->SetWidth(1);
    --rect.Bottom;
    --rect.Right;
    while (width-- > 0) {
        canvas->Pen()->SetColor(topColor);
        canvas->Polyline({TPoint(rect.Left, rect.Bottom), TPoint(rect.Left, rect.Top),
                          TPoint(rect.Right, rect.Top)});
        canvas->Pen()->SetColor(bottomColor);
        canvas->Polyline({TPoint(rect.Right, rect.Top), TPoint(rect.Right, rect.Bottom),
                          TPoint(rect.Left - 1, rect.Bottom)});
        InflateRect(rect, -1, -1);
    }
    ++rect.Bottom;
    ++rect.Right;
}

// ---- TCustomPanel ----------------------------------------------------------------------------

TCustomPanel::TCustomPanel(TComponent* owner) : TCustomControl(owner) {
    FControlStyle = TControlStyle{csAcceptsControls, csCaptureMouse, csClickEvents, csSetCaption,
                                  csOpaque,          csDoubleClicks, csReplicatable};
    SetBounds(0, 0, 185, 41);
    SetParentColor(false);
    SetColor(clBtnFace);
}

void TCustomPanel::CreateParams(TCreateParams& params) {
    TCustomControl::CreateParams(params);
    AddBorderStyle(params, FBorderStyle);
}

void TCustomPanel::SetBevelInner(TBevelCut v) {
    if (FBevelInner == v) return;
    FBevelInner = v;
    Realign();
    Invalidate();
}

void TCustomPanel::SetBevelOuter(TBevelCut v) {
    if (FBevelOuter == v) return;
    FBevelOuter = v;
    Realign();
    Invalidate();
}

void TCustomPanel::SetBevelWidth(TBevelWidth v) {
    if (FBevelWidth == v) return;
    FBevelWidth = v;
    Realign();
    Invalidate();
}

void TCustomPanel::SetBorderWidth(TBorderWidth v) {
    if (FBorderWidth == v) return;
    FBorderWidth = v;
    Realign();
    Invalidate();
}

void TCustomPanel::SetBorderStyle(TBorderStyle v) {
    if (FBorderStyle == v) return;
    FBorderStyle = v;
    if (HandleAllocated()) RecreateWnd();
}

void TCustomPanel::SetAlignment(TAlignment v) {
    if (FAlignment == v) return;
    FAlignment = v;
    Invalidate();
}

void TCustomPanel::AdjustClientRect(TRect& rect) {
    int bevel = 0;
    if (FBevelOuter != bvNone) bevel += FBevelWidth;
    if (FBevelInner != bvNone) bevel += FBevelWidth;
    InflateRect(rect, -(FBorderWidth + bevel), -(FBorderWidth + bevel));
}

void TCustomPanel::DrawCaption(TRect rect) {
    TCanvas* c = Canvas();
    c->Brush()->SetStyle(bsClear);
    c->Font()->Assign(Font());
    int h = c->TextHeight(std::string("W"));
    rect.Top = (rect.Top + rect.Bottom - h) / 2;
    rect.Bottom = rect.Top + h;
    UINT align = FAlignment == taLeftJustify    ? DT_LEFT
                 : FAlignment == taRightJustify ? DT_RIGHT
                                                : DT_CENTER;
    RECT r = rect;
    std::string caption = Caption();
    DrawTextA(c->Handle(), caption.c_str(), -1, &r,
              DT_EXPANDTABS | DT_VCENTER | DT_SINGLELINE | align);
}

void TCustomPanel::Paint() {
    PaintPanel(ClientRect());
}

void TCustomPanel::PaintPanel(TRect r) {
    TCanvas* c = Canvas();
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

void TCustomPanel::Dispatch(TMessage& message) {
    if (message.Msg == CM_TEXTCHANGED) Invalidate();
    TCustomControl::Dispatch(message);
}

// ---- TScrollingWinControl --------------------------------------------------------------------

TScrollingWinControl::TScrollingWinControl(TComponent* owner) : TWinControl(owner) {
    FControlStyle.Include(csAcceptsControls);
}

TSize TScrollingWinControl::ScrollRange() {
    TSize range(0, 0);
    for (int i = 0; i < ControlCount(); ++i) {
        TControl* c = Controls(i);
        if (!c->Visible()) continue;
        range.cx = std::max(range.cx, c->Left() + c->Width() + FScrollPos.X);
        range.cy = std::max(range.cy, c->Top() + c->Height() + FScrollPos.Y);
    }
    return range;
}

void TScrollingWinControl::UpdateScrollBars() {
    if (!HandleAllocated() || FUpdatingScrollBars) return;
    FUpdatingScrollBars = true;
    TSize range = ScrollRange();
    // Twice, since one bar appearing narrows the room for the other.
    for (int pass = 0; pass < 2; ++pass) {
        RECT client;
        GetClientRect(Handle(), &client);
        SCROLLINFO si;
        si.fMask = SIF_ALL;
        si.nMax = std::max(0, range.cx - 1);
        si.nPage = uint32_t(std::max(1, client.Width()));
        si.nPos = FScrollPos.X;
        int x = SetScrollInfo(Handle(), SB_HORZ, &si, 1);
        si.nMax = std::max(0, range.cy - 1);
        si.nPage = uint32_t(std::max(1, client.Height()));
        si.nPos = FScrollPos.Y;
        int y = SetScrollInfo(Handle(), SB_VERT, &si, 1);
        if (x != FScrollPos.X || y != FScrollPos.Y) ScrollBy(FScrollPos.X - x, FScrollPos.Y - y);
    }
    FUpdatingScrollBars = false;
}

void TScrollingWinControl::ScrollBy(int deltaX, int deltaY) {
    if (deltaX == 0 && deltaY == 0) return;
    FScrollPos.X -= deltaX;
    FScrollPos.Y -= deltaY;
    DisableAlign();
    for (int i = 0; i < ControlCount(); ++i) {
        TControl* c = Controls(i);
        c->SetBounds(c->Left() + deltaX, c->Top() + deltaY, c->Width(), c->Height());
    }
    EnableAlign();
    Invalidate();
}

void TScrollingWinControl::AlignControls(TControl* aControl, TRect& rect) {
    TWinControl::AlignControls(aControl, rect);
    UpdateScrollBars();
}

void TScrollingWinControl::ScrollMessage(int bar, TMessage& message) {
    RECT client;
    GetClientRect(Handle(), &client);
    int page = bar == SB_HORZ ? client.Width() : client.Height();
    int pos = bar == SB_HORZ ? FScrollPos.X : FScrollPos.Y;
    int target = pos;
    switch (int(message.WParam & 0xFFFF)) {
    case SB_LINEUP:
        target -= 8;
        break;
    case SB_LINEDOWN:
        target += 8;
        break;
    case SB_PAGEUP:
        target -= page;
        break;
    case SB_PAGEDOWN:
        target += page;
        break;
    case SB_THUMBPOSITION:
    case SB_THUMBTRACK:
        target = int((message.WParam >> 16) & 0xFFFF);
        break;
    case SB_TOP:
        target = 0;
        break;
    case SB_BOTTOM:
        target = 0x7FFF;
        break;
    default:
        return;
    }
    SCROLLINFO si;
    si.fMask = SIF_POS;
    si.nPos = target;
    target = SetScrollInfo(Handle(), bar, &si, 1);
    if (bar == SB_HORZ)
        ScrollBy(pos - target, 0);
    else
        ScrollBy(0, pos - target);
}

void TScrollingWinControl::Dispatch(TMessage& message) {
    switch (message.Msg) {
    case WM_HSCROLL:
        ScrollMessage(SB_HORZ, message);
        message.Result = 0;
        return;
    case WM_VSCROLL:
        ScrollMessage(SB_VERT, message);
        message.Result = 0;
        return;
    case WM_SIZE:
        TWinControl::Dispatch(message);
        UpdateScrollBars();
        return;
    }
    TWinControl::Dispatch(message);
}

// ---- TScrollBox ------------------------------------------------------------------------------

TScrollBox::TScrollBox(TComponent* owner) : TScrollingWinControl(owner) {
    FControlStyle = TControlStyle{csAcceptsControls, csCaptureMouse, csClickEvents, csSetCaption,
                                  csDoubleClicks};
    SetBounds(0, 0, 185, 41);
}

void TScrollBox::SetBorderStyle(TBorderStyle v) {
    if (FBorderStyle == v) return;
    FBorderStyle = v;
    if (HandleAllocated()) RecreateWnd();
}

void TScrollBox::CreateParams(TCreateParams& params) {
    TScrollingWinControl::CreateParams(params);
    AddBorderStyle(params, FBorderStyle);
}

} // namespace epc
