// Centred message boxes.

#include "components/controls/MessageBoxes.h"

#include "platform/controls/Forms.h"

namespace epc {

namespace {

constexpr int WorkAreaMargin = 10;

std::string& TitleStore() {
    static std::string title;
    return title;
}

// Set just before a box is made; cleared by the hook at the box's activation, or by the
// showing function when the box was never activated.
HHOOK BoxHook = nullptr;

LRESULT CenterOnParentHook(int code, WPARAM w, LPARAM l) {
    if (code != HCBT_ACTIVATE) return 0;
    HWND box = reinterpret_cast<HWND>(w);
    RECT boxRect, parentRect;
    // A box without a (living) owner stays where the system put it.
    if (GetWindowRect(box, &boxRect) && GetWindowRect(GetParent(box), &parentRect)) {
        TPoint p = CenteredBoxPosition(parentRect, TSize(boxRect.Width(), boxRect.Height()),
                                       GetWorkArea());
        SetWindowPos(box, nullptr, p.X, p.Y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    HHOOK hook = BoxHook;
    LRESULT result = CallNextHookEx(hook, code, w, l);
    UnhookWindowsHookEx(hook);
    BoxHook = nullptr;
    return result;
}

HWND OwnerOf(TWinControl* control) {
    return control ? control->Handle() : FindOwnerWindow();
}

} // namespace

const std::string& ProgramTitle() {
    return TitleStore();
}
void SetProgramTitle(const std::string& title) {
    TitleStore() = title;
}

TPoint CenteredBoxPosition(const TRect& parent, TSize boxSize, const TRect& workArea) {
    // C++ division truncates toward zero, as the rule wants.
    int x = parent.Right - parent.Width() / 2 - boxSize.cx / 2;
    int y = parent.Bottom - parent.Height() / 2 - boxSize.cy / 2;
    // Kept inside the work-area rectangle itself (it need not start at the screen origin);
    // the lower bound comes last, so a box larger than the work area sits at its top left.
    if (x + boxSize.cx > workArea.Right - WorkAreaMargin)
        x = workArea.Right - WorkAreaMargin - boxSize.cx;
    if (x < workArea.Left + WorkAreaMargin) x = workArea.Left + WorkAreaMargin;
    if (y + boxSize.cy > workArea.Bottom - WorkAreaMargin)
        y = workArea.Bottom - WorkAreaMargin - boxSize.cy;
    if (y < workArea.Top + WorkAreaMargin) y = workArea.Top + WorkAreaMargin;
    return TPoint(x, y);
}

HWND FindOwnerWindow() {
    InitializeForms();
    HWND h = GetActiveWindow();
    if (!h) {
        if (TCustomForm* form = Screen->ActiveForm())
            h = form->Handle();
        else if (TCustomForm* mainForm = Application->MainForm())
            h = mainForm->Handle();
    }
    if (h && h == Application->Handle())
        h = Application->MainForm() ? Application->MainForm()->Handle() : nullptr;
    return h;
}

int32_t ShowCenteredMessageBox(HWND owner, const std::string& text, const std::string& caption,
                               uint32_t flags) {
    BoxHook = SetWindowsHookExA(WH_CBT, CenterOnParentHook, nullptr, GetCurrentThreadId());
    int32_t result = MessageBoxA(owner, text.c_str(), caption.c_str(), flags);
    if (BoxHook) {
        UnhookWindowsHookEx(BoxHook);
        BoxHook = nullptr;
    }
    return result;
}

int32_t ConfirmYesNo(TWinControl* control, const std::string& text) {
    return ShowCenteredMessageBox(OwnerOf(control), text, ProgramTitle(),
                                  MB_YESNO | MB_ICONEXCLAMATION);
}

int32_t ConfirmYesNoDefaultNo(TWinControl* control, const std::string& text) {
    return ShowCenteredMessageBox(OwnerOf(control), text, ProgramTitle(),
                                  MB_YESNO | MB_ICONEXCLAMATION | MB_DEFBUTTON2);
}

int32_t ConfirmYesNoWithCaption(TWinControl* control, const std::string& caption,
                                const std::string& text) {
    return ShowCenteredMessageBox(OwnerOf(control), text, caption, MB_YESNO | MB_ICONEXCLAMATION);
}

int32_t ShowErrorMessage(TWinControl* control, const std::string& text) {
    return ShowCenteredMessageBox(OwnerOf(control), text, ProgramTitle(), MB_ICONHAND);
}

int32_t ShowErrorMessageForWindow(HWND window, const std::string& caption,
                                  const std::string& text) {
    return ShowCenteredMessageBox(window ? window : FindOwnerWindow(), text, caption, MB_ICONHAND);
}

int32_t ShowWarningMessage(TWinControl* control, const std::string& text) {
    return ShowCenteredMessageBox(OwnerOf(control), text, ProgramTitle(), MB_ICONEXCLAMATION);
}

int32_t ShowWarningMessageWithCaption(TWinControl* control, const std::string& caption,
                                      const std::string& text) {
    return ShowCenteredMessageBox(OwnerOf(control), text, caption, MB_ICONEXCLAMATION);
}

int32_t ShowInformationMessage(TWinControl* control, const std::string& text) {
    return ShowCenteredMessageBox(OwnerOf(control), text, ProgramTitle(), MB_ICONASTERISK);
}

int32_t ShowInformationMessageWithCaption(TWinControl* control, const std::string& caption,
                                          const std::string& text) {
    return ShowCenteredMessageBox(OwnerOf(control), text, caption, MB_ICONASTERISK);
}

} // namespace epc
