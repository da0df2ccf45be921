// The hint window.

#include "platform/controls/HintWindow.h"

#include "platform/controls/Forms.h"

namespace epc {

THintWindow::THintWindow(TComponent* AOwner) : TCustomControl(AOwner) {
    FVisible = false;
    FColor = clInfoBk;
    FParentColor = false;
    FParentFont = false;
    FBrush->SetColor(FColor);
    if (Screen) Font()->Assign(Screen->HintFont());
    Font()->SetColor(clInfoText);
}

void THintWindow::CreateParams(TCreateParams& Params) {
    TCustomControl::CreateParams(Params);
    Params.Style = WS_POPUP | WS_BORDER;
    Params.ExStyle |= WS_EX_TOOLWINDOW | WS_EX_TOPMOST;
    Params.WndParent = nullptr;
}

TRect THintWindow::CalcHintRect(int MaxWidth, const std::string& AHint, void*) {
    TRect r(0, 0, MaxWidth, 0);
    HDC dc = GetDC(Handle());
    int saved = SaveDC(dc);
    SelectObject(dc, reinterpret_cast<HGDIOBJ>(Font()->Handle()));
    DrawTextA(dc, AHint.c_str(), -1, &r, DT_CALCRECT | DT_LEFT | DT_WORDBREAK | DT_NOPREFIX);
    RestoreDC(dc, saved);
    ReleaseDC(Handle(), dc);
    // Two pixels of margin and one of border on every side, and a little air at the right.
    r.Right += 6;
    r.Bottom += 2;
    return r;
}

void THintWindow::ActivateHint(TRect Rect, const std::string& AHint) {
    SetCaption(AHint);
    // Kept on the screen.
    TRect wa = GetWorkArea();
    if (Rect.Right > wa.Right) OffsetRect(Rect, wa.Right - Rect.Right, 0);
    if (Rect.Left < wa.Left) OffsetRect(Rect, wa.Left - Rect.Left, 0);
    if (Rect.Bottom > wa.Bottom) OffsetRect(Rect, 0, wa.Bottom - Rect.Bottom);
    if (Rect.Top < wa.Top) OffsetRect(Rect, 0, wa.Top - Rect.Top);
    SetBounds(Rect.Left, Rect.Top, Rect.Width(), Rect.Height());
    HWND h = Handle();
    SetWindowPos(h, HWND_TOP, Rect.Left, Rect.Top, Rect.Width(), Rect.Height(),
                 SWP_SHOWWINDOW | SWP_NOACTIVATE);
    FVisible = true;
    Invalidate();
}

void THintWindow::ActivateHintData(TRect Rect, const std::string& AHint, void*) {
    ActivateHint(Rect, AHint);
}

void THintWindow::ReleaseHandle() {
    FVisible = false;
    if (HandleAllocated()) DestroyHandle();
}

bool THintWindow::IsHintShowing() const { return FHandle && IsWindowVisible(FHandle); }

void THintWindow::Paint() {
    TRect r = ClientRect();
    Canvas()->Brush()->SetColor(Color());
    Canvas()->FillRect(r);
    InflateRect(r, -2, -2);
    Canvas()->Font()->Assign(Font());
    Canvas()->Brush()->SetStyle(bsClear);
    std::string text = Caption();
    DrawTextA(Canvas()->Handle(), text.c_str(), -1, &r, DT_LEFT | DT_NOPREFIX | DT_WORDBREAK);
}

}  // namespace epc
