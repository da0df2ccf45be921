// Recorded help engines.

#include "platform/windows/Help.h"

#include <cstring>

#include "platform/windows/WindowsState.h"

namespace epc {

namespace {

THelpState& HelpState() {
    return WindowsState().Help;
}

}  // namespace

BOOL WinHelpA(HWND window, const char* file, uint32_t command, uintptr_t data) {
    THelpEngineCall call;
    call.Window = window;
    call.File = file ? file : "";
    call.Command = command;
    call.Data = data;
    HelpState().Log.push_back(std::move(call));
    return 1;
}

HWND HtmlHelpA(HWND caller, const char* file, uint32_t command, uintptr_t data) {
    auto& st = HelpState();
    if (!st.HtmlAvailable) return nullptr;
    THelpEngineCall call;
    call.Html = true;
    call.Window = caller;
    call.File = file ? file : "";
    call.Command = command;
    call.Data = data;
    if (command == HH_DISPLAY_TEXT_POPUP && data) {
        int32_t size = 0;
        std::memcpy(&size, reinterpret_cast<const void*>(data), sizeof size);
        if (size > 0 && size <= 4096)
            call.Record.assign(reinterpret_cast<const char*>(data), size_t(size));
    }
    st.Log.push_back(std::move(call));
    bool opensViewer = command == HH_DISPLAY_TOPIC || command == HH_DISPLAY_TOC ||
                       command == HH_DISPLAY_INDEX || command == HH_DISPLAY_SEARCH ||
                       command == HH_HELP_CONTEXT;
    return opensViewer ? (caller ? caller : GetDesktopWindow()) : nullptr;
}

bool IsHtmlHelpAvailable() {
    return HelpState().HtmlAvailable;
}

const std::vector<THelpEngineCall>& HelpEngineLog() { return HelpState().Log; }
void ClearHelpEngineLog() { HelpState().Log.clear(); }

}  // namespace epc
