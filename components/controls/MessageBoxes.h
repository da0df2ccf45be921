#pragma once
// The program's message boxes: standard system boxes centred over the window that owns them
// and kept inside the desktop work area. Each returns the box result unchanged.

#include <cstdint>
#include <string>

#include "platform/controls/Controls.h"

namespace epc {

// The default caption (the start-up code writes the question bank's title into it).
const std::string& ProgramTitle();
void SetProgramTitle(const std::string& title);

int32_t ConfirmYesNo(TWinControl* control, const std::string& text);
int32_t ConfirmYesNoDefaultNo(TWinControl* control, const std::string& text);
int32_t ConfirmYesNoWithCaption(TWinControl* control, const std::string& caption,
                                const std::string& text);
int32_t ShowErrorMessage(TWinControl* control, const std::string& text);
int32_t ShowErrorMessageForWindow(HWND window, const std::string& caption, const std::string& text);
int32_t ShowWarningMessage(TWinControl* control, const std::string& text);
int32_t ShowWarningMessageWithCaption(TWinControl* control, const std::string& caption,
                                      const std::string& text);
int32_t ShowInformationMessage(TWinControl* control, const std::string& text);
int32_t ShowInformationMessageWithCaption(TWinControl* control, const std::string& caption,
                                          const std::string& text);

// The window that owns a box when the caller names none: the active window, else the active
// form's, else the main form's; never the application's hidden window.
HWND FindOwnerWindow();
// Shows the box with a one-shot hook that centres it on its owner when it is activated.
int32_t ShowCenteredMessageBox(HWND owner, const std::string& text, const std::string& caption,
                               uint32_t flags);

// Where a box of boxSize lands centred on parent and kept 10 pixels inside the work area.
TPoint CenteredBoxPosition(const TRect& parent, TSize boxSize, const TRect& workArea);

} // namespace epc
