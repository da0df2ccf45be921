#pragma once
// The help engines, recorded: the WinHelp style (file, command, data) and the HTML Help style
// (window, file, command, data), whose library can be reported missing.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/windows/Window.h"

namespace epc {

enum : uint32_t { HH_DISPLAY_TOPIC = 0x0000, HH_DISPLAY_TOC = 0x0001,
                  HH_DISPLAY_INDEX = 0x0002, HH_DISPLAY_SEARCH = 0x0003,
                  HH_DISPLAY_TEXT_POPUP = 0x000E, HH_HELP_CONTEXT = 0x000F,
                  HH_TP_HELP_CONTEXTMENU = 0x0010, HH_TP_HELP_WM_HELP = 0x0011,
                  HH_CLOSE_ALL = 0x0012, HH_INITIALIZE = 0x001C, HH_UNINITIALIZE = 0x001D };

struct THelpEngineCall {
    bool Html = false;  // HtmlHelpA rather than WinHelpA
    HWND Window = nullptr;
    std::string File;
    uint32_t Command = 0;
    uintptr_t Data = 0;
    // For a popup (HH_DISPLAY_TEXT_POPUP): the record Data points at, as many bytes as its
    // leading 32-bit size field gives.
    std::string Record;
};

BOOL WinHelpA(HWND window, const char* file, uint32_t command, uintptr_t data);
// Null when the HTML Help library is missing; otherwise a window standing for the viewer
// (null too for commands that open none).
HWND HtmlHelpA(HWND caller, const char* file, uint32_t command, uintptr_t data);
bool IsHtmlHelpAvailable();

const std::vector<THelpEngineCall>& HelpEngineLog();
void ClearHelpEngineLog();

}  // namespace epc
