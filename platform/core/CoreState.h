#pragma once
// The core module's settings of one program run: the code pages and the system colours.

#include <array>
#include <cstdint>

#include "platform/core/BoundState.h"
#include "platform/core/Color.h"

namespace epc {

struct TCoreState {
    TCoreState();
    uint32_t AnsiCodePage = 1252;
    uint32_t KeyboardCodePage = 0;                       // 0: follow the ANSI code page
    std::array<COLORREF, COLOR_ENDCOLORS + 1> SysColors; // the classic table at first
};

inline TCoreState& CoreState() {
    return TBoundState<TCoreState>::Current();
}

// Owns and binds the core state; tests of the lower modules make one to change a setting.
class TCoreScope : public TStateScope<TCoreState> {
public:
    // 0 stands for the usual 1252.
    void SetAnsiCodePage(uint32_t codePage) { State().AnsiCodePage = codePage ? codePage : 1252; }
    // 0: the keyboard follows the ANSI code page.
    void SetKeyboardCodePage(uint32_t codePage) { State().KeyboardCodePage = codePage; }
    // Unknown indices are ignored.
    void SetSysColor(int index, COLORREF value) {
        if (index >= 0 && index <= COLOR_ENDCOLORS) State().SysColors[size_t(index)] = value;
    }
};

} // namespace epc
