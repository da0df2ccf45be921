#include "richtext/view/RVScroller.h"

#include <algorithm>

#include "platform/controls/Forms.h"
#include "platform/gdi/Gdi.h"
#include "richtext/view/RVFormattedData.h"

namespace epc {

namespace {

// The window manager keeps child positions within this range; the true place is kept apart.
constexpr int kControlTopLimit = 10000;

} // namespace

TRVScrollBarEntryPoints& RVScrollBars() {
    static TRVScrollBarEntryPoints entryPoints;
    return entryPoints;
}

TRVScroller::TRVScroller(TComponent* owner) : TCustomControl(owner) {
    SetTabStop(true);
    // The document paints every pixel itself: no background erase.
    FControlStyle.Include(csOpaque);
}

std::vector<TColor> RVColorCube() {
    std::vector<TColor> colors;
    colors.reserve(216);
    for (int r = 0; r < 6; ++r)
        for (int g = 0; g < 6; ++g)
            for (int b = 0; b < 6; ++b)
                colors.push_back(TColor(RGB(uint8_t(r * 51), uint8_t(g * 51), uint8_t(b * 51))));
    return colors;
}

TRVScroller::~TRVScroller() {
    CloseTheme();
    if (FThemeLibrary) FreeThemeLibrary();
    if (FPalette) DeleteObject(FPalette);
}

void TRVScroller::SetVSmallStep(int value) {
    // A step below 1 would divide by zero when positions are converted.
    if (value < 1) return;
    FVSmallStep = value;
}

void TRVScroller::CreateParams(TCreateParams& params) {
    TCustomControl::CreateParams(params);
    AddBorderStyle(params, FBorderStyle);
    if (FRVBiDiMode == TRVBiDiMode::rvbdRightToLeft) params.ExStyle |= WS_EX_LEFTSCROLLBAR;
    params.Style |= WS_CLIPCHILDREN | WS_VSCROLL | WS_HSCROLL;
}

void TRVScroller::CreateWnd() {
    TCustomControl::CreateWnd();
    OpenTheme();
    UpdatePalette();
    ResetScrollPositions();
    ResetScrollBars();
}

void TRVScroller::DestroyWnd() {
    CloseTheme();
    TCustomControl::DestroyWnd();
}

void TRVScroller::OpenTheme() {
    CloseTheme();
    if (!FThemeLibrary) {
        InitThemeLibrary();
        FThemeLibrary = true;
    }
    // Without the theme library, or with themes off, the border is drawn the classic way.
    TThemeLibrary* lib = ThemeLibrary();
    if (FUseXPThemes && HandleAllocated() && UseThemes() && lib->OpenThemeData)
        FTheme = lib->OpenThemeData(Handle(), u"Edit");
}

void TRVScroller::CloseTheme() {
    if (!FTheme) return;
    TThemeLibrary* lib = ThemeLibrary();
    if (lib && lib->CloseThemeData) lib->CloseThemeData(FTheme);
    FTheme = nullptr;
}

void TRVScroller::SetUseXPThemes(bool value) {
    if (FUseXPThemes == value) return;
    FUseXPThemes = value;
    if (!HandleAllocated()) return;
    CloseTheme();
    OpenTheme();
    SetWindowPos(Handle(), nullptr, 0, 0, 0, 0,
                 SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_FRAMECHANGED);
    RedrawWindow(Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME);
}

void TRVScroller::UpdatePalette() {
    if (FPalette) {
        DeleteObject(FPalette);
        FPalette = nullptr;
    }
    FPaletteColors.clear();
    if (FDoInPaletteMode == TRVPaletteAction::rvpaDoNothing ||
        ComponentState().Contains(TComponentStateItem::csDesigning))
        return;
    HDC dc = GetDC(nullptr);
    const bool paletteDisplay = (GetDeviceCaps(dc, RASTERCAPS) & RC_PALETTE) != 0;
    ReleaseDC(nullptr, dc);
    if (!paletteDisplay) return;
    FPaletteColors = RVColorCube();
    LOGPALETTE lp;
    lp.palPalEntry.reserve(FPaletteColors.size());
    for (TColor c : FPaletteColors) {
        const COLORREF rgb = ColorToRGB(c);
        lp.palPalEntry.push_back({GetRValue(rgb), GetGValue(rgb), GetBValue(rgb), 0});
    }
    FPalette = CreatePalette(&lp);
}

void TRVScroller::SetDoInPaletteMode(TRVPaletteAction value) {
    FDoInPaletteMode = value;
    UpdatePalette();
}

void TRVScroller::SetBiDiMode(TRVBiDiMode value) {
    if (FRVBiDiMode == value) return;
    FRVBiDiMode = value;
    if (HandleAllocated()) RecreateWnd();
}

void TRVScroller::SetBorderStyle(TBorderStyle value) {
    if (FBorderStyle == value) return;
    FBorderStyle = value;
    if (HandleAllocated()) RecreateWnd();
}

void TRVScroller::HideBar(int bar) {
    SCROLLINFO si;
    si.fMask = SIF_ALL;
    RVScrollBars().GetScrollInfo(Handle(), bar, &si);
    if (si.nMin == 0 && si.nMax == 1 && si.nPage == 2 && si.nPos == 0) return;
    si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    si.nMin = 0;
    si.nMax = 1;
    si.nPage = 2;
    si.nPos = 0;
    RVScrollBars().SetScrollInfo(Handle(), bar, &si, 1);
}

void TRVScroller::UpdateScrollBars(int docWidth, int docHeightSteps, bool disableNoScroll,
                                   bool updateHorizontal) {
    if (FUpdatingScrollBars || !HandleAllocated()) return;
    FUpdatingScrollBars = true;
    if (updateHorizontal) {
        FAreaWidth = docWidth;
        FHScrollMax = docWidth - 1;
        if (FHScrollVisible) {
            const int cw = ClientWidth();
            FHScrollPos = std::max(0, std::min(FHScrollPos, FHScrollMax - (cw - 1)));
            SCROLLINFO si;
            si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
            si.nMin = 0;
            si.nMax = FHScrollMax;
            si.nPage = uint32_t(std::max(cw, 0));
            si.nPos = FHScrollPos;
            si.nTrackPos = FHScrollPos;
            RVScrollBars().SetScrollInfo(Handle(), SB_HORZ, &si, 1);
        } else {
            HideBar(SB_HORZ);
        }
    }
    FDocHeightSteps = docHeightSteps;
    FVScrollPage = ClientHeight() / FVSmallStep;
    FVScrollMax = docHeightSteps - 1;
    FVScrollPos = std::max(0, std::min(FVScrollPos, FVScrollMax - (FVScrollPage - 1)));
    if (FVScrollVisible) {
        SCROLLINFO si;
        si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
        if (disableNoScroll && VDisableNoScroll) si.fMask |= SIF_DISABLENOSCROLL;
        si.nMin = 0;
        si.nMax = FVScrollMax;
        si.nPage = uint32_t(std::max(FVScrollPage, 0));
        si.nPos = FVScrollPos;
        RVScrollBars().SetScrollInfo(Handle(), SB_VERT, &si, 1);
    } else {
        HideBar(SB_VERT);
    }
    FUpdatingScrollBars = false;
}

void TRVScroller::SetVScrollVisible(bool value) {
    if (FVScrollVisible == value) return;
    FVScrollVisible = value;
    if (!HandleAllocated()) return;
    if (ComponentState().Contains(TComponentStateItem::csLoading)) {
        UpdateScrollBars(FAreaWidth, FDocHeightSteps, true, true);
        return;
    }
    UpdateScrollBars(FAreaWidth, FDocHeightSteps, false, true);
    if (value && VDisableNoScroll) {
        UpdateScrollBars(FAreaWidth, FDocHeightSteps, true, true);
        RVScrollBars().ShowScrollBar(Handle(), SB_VERT, 1);
    }
}

void TRVScroller::SetHScrollVisible(bool value) {
    if (FHScrollVisible == value) return;
    FHScrollVisible = value;
    if (HandleAllocated()) UpdateScrollBars(FAreaWidth, FDocHeightSteps, false, true);
}

void TRVScroller::SetVScrollPos(int pos, bool redraw) {
    if (!HandleAllocated()) return;
    const int old = FVScrollPos;
    if (!FVScrollVisible) {
        FVScrollPos = std::max(0, std::min(pos, FVScrollMax - (FVScrollPage - 1)));
    } else {
        RVScrollBars().SetScrollPos(Handle(), SB_VERT, pos, 1);
        FVScrollPos = RVScrollBars().GetScrollPos(Handle(), SB_VERT);
    }
    if (FVScrollPos == old) return;
    const int dy = (old - FVScrollPos) * FVSmallStep;
    if (redraw) {
        if (FullRedrawOnScroll) {
            MoveEmbeddedControls(0, dy);
            Invalidate();
        } else {
            ScrollWindowEx(Handle(), 0, dy, nullptr, nullptr, nullptr, nullptr, SW_INVALIDATE);
            MoveEmbeddedControls(0, dy);
            Update();
        }
    } else {
        MoveEmbeddedControls(0, dy);
    }
    AfterVScroll();
}

void TRVScroller::SetHScrollPos(int pos) {
    if (!HandleAllocated()) return;
    const int old = FHScrollPos;
    if (!FHScrollVisible) {
        FHScrollPos = std::max(0, std::min(pos, FHScrollMax - (ClientWidth() - 1)));
    } else {
        RVScrollBars().SetScrollPos(Handle(), SB_HORZ, pos, 1);
        FHScrollPos = RVScrollBars().GetScrollPos(Handle(), SB_HORZ);
    }
    if (FHScrollPos == old) return;
    const int dx = old - FHScrollPos;
    if (FullRedrawOnScroll) {
        MoveEmbeddedControls(dx, 0);
        Invalidate();
    } else {
        ScrollWindowEx(Handle(), dx, 0, nullptr, nullptr, nullptr, nullptr, SW_INVALIDATE);
        MoveEmbeddedControls(dx, 0);
        Update();
    }
    AfterHScroll();
}

int TRVScroller::GetHScrollMax() {
    if (FHScrollVisible && HandleAllocated()) {
        SCROLLINFO si;
        si.fMask = SIF_RANGE | SIF_PAGE;
        RVScrollBars().GetScrollInfo(Handle(), SB_HORZ, &si);
        return si.nMax - int(si.nPage) + 1;
    }
    return FAreaWidth - ClientWidth();
}

void TRVScroller::SetControlTop(TControl* control, int y) {
    const int top = std::clamp(y, -kControlTopLimit, kControlTopLimit);
    FControlPlaces[control] = TControlPlace{y, top};
    control->SetTop(top);
}

void TRVScroller::MoveEmbeddedControls(int dx, int dy) {
    for (int i = 0; i < ControlCount(); ++i) {
        TControl* c = Controls(i);
        if (dy != 0) {
            auto it = FControlPlaces.find(c);
            int y = c->Top();
            if (it != FControlPlaces.end() && it->second.AppliedTop == c->Top()) y = it->second.Y;
            SetControlTop(c, y + dy);
        }
        if (dx != 0) c->SetLeft(c->Left() + dx);
    }
    // Forget controls that are no longer children.
    for (auto it = FControlPlaces.begin(); it != FControlPlaces.end();) {
        bool child = false;
        for (int i = 0; i < ControlCount() && !child; ++i)
            child = Controls(i) == it->first;
        it = child ? std::next(it) : FControlPlaces.erase(it);
    }
}

void TRVScroller::AfterVScroll() {
    if (OnVScrolled) OnVScrolled(this);
}

void TRVScroller::AfterHScroll() {
    if (OnHScrolled) OnHScrolled(this);
}

void TRVScroller::ResetScrollPositions() {
    FVScrollPos = 0;
    FHScrollPos = 0;
}

void TRVScroller::ResetScrollBars() {
    UpdateScrollBars(ClientWidth(), ClientHeight() / FVSmallStep, true, true);
}

void TRVScroller::SetChosen(TCustomRVData* rvData, TCustomRVItemInfo* item) {
    if (FChosenRVData == rvData && FChosenItem == item) return;
    auto* old = dynamic_cast<TCustomRVFormattedData*>(FChosenRVData);
    TCustomRVItemInfo* oldItem = FChosenItem;
    // Stored first: ending the old one's editing may ask who is chosen now.
    FChosenRVData = rvData;
    FChosenItem = item;
    if (!oldItem) return;
    if (old && old->ChosenItem == oldItem) old->DeselectSubItem();
    DestroyInplaceEditor();
}

bool TRVScroller::EnclosingScrollerDestroying() const {
    for (const TControl* c = this; c; c = c->Parent())
        if (dynamic_cast<const TRVScroller*>(c) && c->Destroying()) return true;
    return false;
}

void TRVScroller::ActivateInParentForm() {
    if (TCustomForm* form = GetParentForm(this)) form->SetActiveControl(this);
}

bool TRVScroller::IsScrollerFocused() {
    if (Focused()) return true;
    TRVScroller* editor = GetInplaceEditor();
    return editor && editor->IsScrollerFocused();
}

void TRVScroller::KeyDown(Word& key, TShiftState shift) {
    TCustomControl::KeyDown(key, shift);
    if (!KeyboardScroll || !HandleAllocated()) return;
    switch (key) {
    case VK_PRIOR:
        Perform(WM_VSCROLL, SB_PAGEUP, 0);
        break;
    case VK_NEXT:
        Perform(WM_VSCROLL, SB_PAGEDOWN, 0);
        break;
    case VK_END:
        Perform(WM_VSCROLL, SB_BOTTOM, 0);
        break;
    case VK_HOME:
        Perform(WM_VSCROLL, SB_TOP, 0);
        break;
    case VK_UP:
        Perform(WM_VSCROLL, SB_LINEUP, 0);
        break;
    case VK_DOWN:
        Perform(WM_VSCROLL, SB_LINEDOWN, 0);
        break;
    case VK_LEFT:
        Perform(WM_HSCROLL, SB_LINELEFT, 0);
        break;
    case VK_RIGHT:
        Perform(WM_HSCROLL, SB_LINERIGHT, 0);
        break;
    default:
        break;
    }
}

bool TRVScroller::DoMouseWheelDown(TShiftState shift, TPoint mousePos) {
    if (TCustomControl::DoMouseWheelDown(shift, mousePos)) return true;
    if (FWheelStep == 0) return false;
    SetVScrollPos(FVScrollPos + FWheelStep, true);
    return true;
}

bool TRVScroller::DoMouseWheelUp(TShiftState shift, TPoint mousePos) {
    if (TCustomControl::DoMouseWheelUp(shift, mousePos)) return true;
    if (FWheelStep == 0) return false;
    SetVScrollPos(FVScrollPos - FWheelStep, true);
    return true;
}

void TRVScroller::WMVScroll(TMessage& message) {
    const int page = ClientHeight() / FVSmallStep;
    switch (message.WParamLo()) {
    case SB_LINEUP:
        SetVScrollPos(FVScrollPos - 1, true);
        break;
    case SB_LINEDOWN:
        SetVScrollPos(FVScrollPos + 1, true);
        break;
    case SB_PAGEUP:
        SetVScrollPos(FVScrollPos - page, true);
        break;
    case SB_PAGEDOWN:
        SetVScrollPos(FVScrollPos + page, true);
        break;
    case SB_THUMBPOSITION:
        SetVScrollPos(message.WParamHi(), true);
        break;
    case SB_THUMBTRACK:
        if (FTracking) SetVScrollPos(message.WParamHi(), true);
        break;
    case SB_TOP:
        SetVScrollPos(0, true);
        break;
    case SB_BOTTOM:
        SetVScrollPos(FDocHeightSteps, true);
        break;
    default:
        break;
    }
    message.Result = 0;
}

void TRVScroller::WMHScroll(TMessage& message) {
    switch (message.WParamLo()) {
    case SB_LINELEFT:
        SetHScrollPos(FHScrollPos - FVSmallStep);
        break;
    case SB_LINERIGHT:
        SetHScrollPos(FHScrollPos + FVSmallStep);
        break;
    case SB_PAGELEFT:
        SetHScrollPos(FHScrollPos - ClientWidth());
        break;
    case SB_PAGERIGHT:
        SetHScrollPos(FHScrollPos + ClientWidth());
        break;
    case SB_THUMBPOSITION:
        SetHScrollPos(message.WParamHi());
        break;
    case SB_THUMBTRACK:
        if (FTracking) SetHScrollPos(message.WParamHi());
        break;
    case SB_LEFT:
        SetHScrollPos(0);
        break;
    case SB_RIGHT:
        SetHScrollPos(FAreaWidth);
        break;
    default:
        break;
    }
    message.Result = 0;
}

void TRVScroller::WMNCPaint(TMessage& message) {
    TCustomControl::Dispatch(message);
    if (FBorderStyle != bsSingle || !HandleAllocated()) return;
    HDC dc = GetWindowDC(Handle());
    if (!dc) return;
    RECT r{0, 0, Width(), Height()};
    TThemeLibrary* lib = FTheme ? ThemeLibrary() : nullptr;
    if (lib && lib->DrawThemeBackground) {
        // Only the frame: the client area and the bars inside it keep their pixels.
        RECT wr;
        GetWindowRect(Handle(), &wr);
        const TPoint origin = ClientToScreen(TPoint(0, 0));
        const int bx = origin.X - wr.Left, by = origin.Y - wr.Top;
        ExcludeClipRect(dc, bx, by, Width() - bx, Height() - by);
        lib->DrawThemeBackground(FTheme, dc, EP_EDITTEXT, ETS_NORMAL, &r, nullptr);
        ReleaseDC(Handle(), dc);
        return;
    }
    HBRUSH shadow = CreateSolidBrush(ColorToRGB(clBtnShadow));
    if (Ctl3D()) {
        HBRUSH face = CreateSolidBrush(ColorToRGB(clBtnFace));
        FrameRect(dc, &r, face);
        DeleteObject(face);
        RECT inner{1, 1, Width() - 1, Height() - 1};
        FrameRect(dc, &inner, shadow);
    } else {
        FrameRect(dc, &r, shadow);
    }
    DeleteObject(shadow);
    ReleaseDC(Handle(), dc);
}

void TRVScroller::Dispatch(TMessage& message) {
    switch (message.Msg) {
    case WM_VSCROLL:
        WMVScroll(message);
        return;
    case WM_HSCROLL:
        WMHScroll(message);
        return;
    case WM_NCPAINT:
        WMNCPaint(message);
        return;
    case WM_GETDLGCODE:
        message.Result = DLGC_WANTARROWS;
        return;
    case WM_SETFOCUS:
        TCustomControl::Dispatch(message);
        if (TRVScroller* editor = GetInplaceEditor())
            if (editor->HandleAllocated() && !EnclosingScrollerDestroying()) editor->SetFocus();
        return;
    case CM_CTL3DCHANGED:
        if (FBorderStyle == bsSingle && HandleAllocated()) RecreateWnd();
        TCustomControl::Dispatch(message);
        return;
    case WM_THEMECHANGED:
        TCustomControl::Dispatch(message);
        if (HandleAllocated()) {
            CloseTheme();
            OpenTheme();
            SetWindowPos(Handle(), nullptr, 0, 0, 0, 0,
                         SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_FRAMECHANGED);
            RedrawWindow(Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME);
        }
        return;
    case WM_QUERYNEWPALETTE:
    case WM_PALETTECHANGED:
        TCustomControl::Dispatch(message);
        Invalidate();
        return;
    default:
        break;
    }
    TCustomControl::Dispatch(message);
}

} // namespace epc
