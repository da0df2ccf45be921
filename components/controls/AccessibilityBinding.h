#pragma once
// Run-time binding of the accessibility entry points: "oleacc.dll" with CreateStdAccessibleObject
// and LresultFromObject, and NotifyWinEvent of "user32.dll". They are looked up once, on first
// use; accessibility is available only when both of oleacc's are found, and NotifyWinEvent is
// called only when it was found. The default loader hands out the platform's own.

#include <functional>

#include "platform/windows/LibraryBinding.h"
#include "platform/windows/Accessibility.h"

namespace epc {

struct TAccessibilityLibrary {
    std::function<HRESULT(HWND window, LONG objectId, const IID& iid, void** object)>
        CreateStdAccessibleObject;
    std::function<LRESULT(const IID& iid, WPARAM wParam, IUnknown* object)> LresultFromObject;
    std::function<void(DWORD event, HWND window, LONG objectId, LONG childId)> NotifyWinEvent;
};

// The loader asked for "oleacc.dll" and "user32.dll"; an empty one restores the platform's.
// Setting a loader makes the next use look the entry points up again.
void SetAccessibilityLibraryLoader(TLibraryLoader loader);
// The platform's libraries by file name (null for any other name).
std::unique_ptr<TLibraryModule> PlatformAccessibilityLibrary(const std::string& fileName);

// The bound entry points (looked up on the first call).
const TAccessibilityLibrary& AccessibilityLibrary();
// Both entry points of oleacc were found.
bool AccessibilityAvailable();

} // namespace epc
