// Input-method calls and the composition test hook.

#include "platform/windows/Ime.h"

#include <cstring>

#include "platform/core/Strings.h"
#include "platform/windows/WindowsState.h"

namespace epc {

namespace {

TImeState& Ime() {
    return WindowsState().Ime;
}

LONG CopyOut(const void* data, size_t bytes, void* buffer, DWORD length) {
    if (!buffer || length == 0) return LONG(bytes);
    size_t n = std::min<size_t>(bytes, length);
    std::memcpy(buffer, data, n);
    return LONG(n);
}

}  // namespace

HIMC ImmGetContext(HWND h) { return IsWindow(h) ? static_cast<HIMC>(&Ime().Context) : nullptr; }
BOOL ImmReleaseContext(HWND, HIMC context) { return context ? 1 : 0; }

BOOL ImmSetCompositionWindow(HIMC context, const COMPOSITIONFORM* form) {
    if (!context || !form) return 0;
    Ime().Form = *form;
    return 1;
}

BOOL ImmSetCompositionFontW(HIMC context, const LOGFONTW* font) {
    if (!context || !font) return 0;
    Ime().Font = *font;
    return 1;
}

LONG ImmGetCompositionStringW(HIMC context, DWORD index, void* buffer, DWORD bufferLength) {
    if (!context) return 0;
    const std::u16string& s = index == GCS_RESULTSTR ? Ime().Result : Ime().Composing;
    return CopyOut(s.data(), s.size() * 2, buffer, bufferLength);
}

LONG ImmGetCompositionStringA(HIMC context, DWORD index, void* buffer, DWORD bufferLength) {
    if (!context) return 0;
    std::string a = WideToAnsi(index == GCS_RESULTSTR ? Ime().Result : Ime().Composing);
    return CopyOut(a.data(), a.size(), buffer, bufferLength);
}

const COMPOSITIONFORM& LastCompositionWindow() { return Ime().Form; }
const LOGFONTW& LastCompositionFont() { return Ime().Font; }

void SimulateImeComposition(const std::u16string& result) {
    HWND target = GetFocus() ? GetFocus() : GetActiveWindow();
    if (!target) return;
    Ime().Result = result;
    Ime().Composing.clear();
    SendMessage(target, WM_IME_STARTCOMPOSITION, 0, 0);
    WPARAM last = result.empty() ? 0 : result.back();
    SendMessage(target, WM_IME_COMPOSITION, last, GCS_RESULTSTR);
    SendMessage(target, WM_IME_ENDCOMPOSITION, 0, 0);
    ProcessMessages();
    Ime().Result.clear();
}

}  // namespace epc
