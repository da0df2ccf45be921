// The hint window.

#include "platform/controls/HintWindow.h"

#include "platform/controls/Forms.h"

namespace epc {

THintWindow::THintWindow(TComponent* owner) : TCustomControl(owner) {
    FVisible = false;
    FColor = clInfoBk;
    FParentColor = false;
    FParentFont = false;
    FBrush->SetColor(FColor);
    if (Screen) Font()->Assign(Screen->HintFont());
    Font()->SetColor(clInfoText);
}

void THintWindow::CreateParams(TCreateParams& params) {
    TCustomControl::CreateParams(params);
    params.Style = WS_POPUP | WS_BORDER;
    params.ExStyle |= WS_EX_TOOLWINDOW | WS_EX_TOPMOST;
    params.WndParent = nullptr;
}

TRect THintWindow::CalcHintRect(int maxWidth, const std::string& hint, void*) {
    TRect r(0, 0, maxWidth, 0);
    HDC dc = GetDC(Handle());
    int saved = SaveDC(dc);
    SelectObject(dc, reinterpret_cast<HGDIOBJ>(Font()->Handle()));
    DrawTextA(dc, hint.c_str(), -1, &r, DT_CALCRECT | DT_LEFT | DT_WORDBREAK | DT_NOPREFIX);
    RestoreDC(dc, saved);
    ReleaseDC(Handle(), dc);
    // Two pixels of margin and one of border on every side, and a little air at the right.
    r.Right += 6;
    r.Bottom += 2;
    return r;
}

void THintWindow::ActivateHint(TRect rect, const std::string& hint) {
    SetCaption(hint);
    // Kept on the screen.
    TRect wa = GetWorkArea();
    if (rect.Right > wa.Right) OffsetRect(rect, wa.Right - rect.Right, 0);
    if (rect.Left < wa.Left) OffsetRect(rect, wa.Left - rect.Left, 0);
    if (rect.Bottom > wa.Bottom) OffsetRect(rect, 0, wa.Bottom - rect.Bottom);
    if (rect.Top < wa.Top) OffsetRect(rect, 0, wa.Top - rect.Top);
    SetBounds(rect.Left, rect.Top, rect.Width(), rect.Height());
    HWND h = Handle();
    SetWindowPos(h, HWND_TOP, rect.Left, rect.Top, rect.Width(), rect.Height(),
                 SWP_SHOWWINDOW | SWP_NOACTIVATE);
    FVisible = true;
    Invalidate();
}

void THintWindow::ActivateHintData(TRect rect, const std::string& hint, void*) {
    ActivateHint(rect, hint);
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
