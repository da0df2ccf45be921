#pragma once
// The platform of one program run: owns the mutable state of every platform module (code
// pages and system colours, font instances, the printer, windows with their queue and clock,
// the clipboard, the application, screen and mouse...) and binds it while it lives. A program's
// main makes one; tests make one per case, and its end frees every form, window, timer and
// clipboard block, so the next case starts clean.
//
// Without a context each module uses a default state made on first use that lasts until the
// process ends, as a library user who never makes one would expect. Shared by the whole
// process, as the system shares them: font files, FreeType and fontconfig (loaded once, never
// changed), registered clipboard formats, window classes and cursors with the screen's cursor
// list (components register them once and keep the numbers and handles), the numbering of
// window and memory handles (a handle kept from an earlier context never names a new object),
// stock GDI objects and the graphic-class and property registries.

#include <cstdint>

#include "platform/controls/Forms.h"
#include "platform/core/CoreState.h"
#include "platform/gdi/Gdi.h"
#include "platform/printing/Printers.h"
#include "platform/text/FontEngine.h"
#include "platform/windows/WindowsScope.h"

namespace epc {

class TPlatformContext {
public:
    TPlatformContext();
    ~TPlatformContext();
    TPlatformContext(const TPlatformContext&) = delete;
    TPlatformContext& operator=(const TPlatformContext&) = delete;

    // The environment, as a machine would be set up. At first: code page 1252 for ANSI text and
    // the keyboard, the classic system colours, a 1024 x 768 screen with a 30-pixel task bar,
    // and the HTML help engine installed.
    void SetAnsiCodePage(uint32_t codePage) { FCore.SetAnsiCodePage(codePage); }
    void SetKeyboardCodePage(uint32_t codePage) { FCore.SetKeyboardCodePage(codePage); }
    void SetSysColor(int index, COLORREF value) { FCore.SetSysColor(index, value); }
    void SetScreenSize(int width, int height) { FWindows.SetScreenSize(width, height); }
    void SetWorkArea(const TRect& area) { FWindows.SetWorkArea(area); }
    void SetHtmlHelpAvailable(bool available) { FWindows.SetHtmlHelpAvailable(available); }
    void SetDragDropHelperAvailable(bool available) {
        FWindows.SetDragDropHelperAvailable(available);
    }
    void SetGlobalAllocFailureAfter(int n) { FWindows.SetGlobalAllocFailureAfter(n); }

private:
    // Bound in module order and let go in reverse: the forms go while their windows still
    // exist, the windows while the fonts and colours they paint with do.
    TCoreScope FCore;
    TTextScope FText;
    TGdiScope FGdi;
    TPrinterScope FPrinter;
    TWindowsScope FWindows;
    TControlsScope FControls;
};

} // namespace epc
