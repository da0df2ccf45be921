// The windows module's state record: shutting it down, and the scope that binds it.

#include "platform/windows/WindowsState.h"
#include "platform/windows/WindowsScope.h"

namespace epc {

void TWindowsState::ShutDown() {
    // Drop targets and the OLE clipboard object first: releasing them may still touch windows.
    ShutDownDataTransfer();
    ShutDownWindowManager();
    ShutDownClipboard();
    ShutDownAccessibility();
}

TWindowsScope::TWindowsScope() = default;
TWindowsScope::~TWindowsScope() = default;

void TWindowsScope::SetScreenSize(int width, int height) {
    TWindowManager& m = FScope.State().Manager;
    m.ScreenWidth = width;
    m.ScreenHeight = height;
    m.Desktop->Rect = m.Desktop->Client = TRect(0, 0, width, height);
}

void TWindowsScope::SetWorkArea(const TRect& area) {
    FScope.State().Manager.WorkArea = area;
}

void TWindowsScope::SetHtmlHelpAvailable(bool available) {
    FScope.State().Help.HtmlAvailable = available;
}

void TWindowsScope::SetDragDropHelperAvailable(bool available) {
    FScope.State().Transfer.HelperAvailable = available;
}

void TWindowsScope::SetGlobalAllocFailureAfter(int n) {
    FScope.State().Clipboard.FailAfter = n;
}

} // namespace epc
