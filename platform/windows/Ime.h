#pragma once
// Input-method calls: contexts and composition placement are recorded and otherwise do
// nothing; tests deliver a finished composition as a person typing through an input method.

#include <string>

#include "platform/windows/Window.h"

namespace epc {

using HIMC = void*;

enum : DWORD { GCS_COMPSTR = 0x0008, GCS_RESULTSTR = 0x0800 };
enum : DWORD { CFS_DEFAULT = 0x0000, CFS_RECT = 0x0001, CFS_POINT = 0x0002,
               CFS_FORCE_POSITION = 0x0020 };

struct COMPOSITIONFORM {
    DWORD dwStyle = 0;
    POINT ptCurrentPos;
    RECT rcArea;
};

HIMC ImmGetContext(HWND h);
BOOL ImmReleaseContext(HWND h, HIMC context);
BOOL ImmSetCompositionWindow(HIMC context, const COMPOSITIONFORM* form);
BOOL ImmSetCompositionFontW(HIMC context, const LOGFONTW* font);
// The composition's result (GCS_RESULTSTR) or the string being composed (GCS_COMPSTR), in
// bytes; with a null buffer or zero length the size needed.
LONG ImmGetCompositionStringW(HIMC context, DWORD index, void* buffer, DWORD bufferLength);
LONG ImmGetCompositionStringA(HIMC context, DWORD index, void* buffer, DWORD bufferLength);

// What the last ImmSetCompositionWindow / ImmSetCompositionFontW asked for.
const COMPOSITIONFORM& LastCompositionWindow();
const LOGFONTW& LastCompositionFont();

// A person finishing a composition: WM_IME_STARTCOMPOSITION, WM_IME_COMPOSITION with
// GCS_RESULTSTR (the result readable through ImmGetCompositionStringW) and
// WM_IME_ENDCOMPOSITION go to the focus window. A window that leaves WM_IME_COMPOSITION to
// DefWindowProc receives the result as WM_CHAR messages instead.
void SimulateImeComposition(const std::u16string& result);

}  // namespace epc
