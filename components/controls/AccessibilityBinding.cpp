#include "components/controls/AccessibilityBinding.h"

#include <memory>

namespace epc {

namespace {

struct TAccessibilityBindingState {
    TLibraryLoader Loader = PlatformAccessibilityLibrary;
    bool Bound = false;
    TAccessibilityLibrary Library;
    // Kept loaded while their entry points are bound.
    std::unique_ptr<TLibraryModule> Oleacc, User32;
};

TAccessibilityBindingState& Binding() {
    static TAccessibilityBindingState state;
    return state;
}

} // namespace

std::unique_ptr<TLibraryModule> PlatformAccessibilityLibrary(const std::string& fileName) {
    auto module = std::make_unique<TLibraryModule>();
    module->FileName = fileName;
    if (fileName == "oleacc.dll") {
        module->EntryPoints["CreateStdAccessibleObject"] =
            std::function<HRESULT(HWND, LONG, const IID&, void**)>(CreateStdAccessibleObject);
        module->EntryPoints["LresultFromObject"] =
            std::function<LRESULT(const IID&, WPARAM, IUnknown*)>(LresultFromObject);
    } else if (fileName == "user32.dll") {
        module->EntryPoints["NotifyWinEvent"] =
            std::function<void(DWORD, HWND, LONG, LONG)>(NotifyWinEvent);
    } else {
        return nullptr;
    }
    return module;
}

void SetAccessibilityLibraryLoader(TLibraryLoader loader) {
    auto& b = Binding();
    b.Loader = loader ? std::move(loader) : TLibraryLoader(PlatformAccessibilityLibrary);
    b.Bound = false;
    b.Library = {};
    b.Oleacc.reset();
    b.User32.reset();
}

const TAccessibilityLibrary& AccessibilityLibrary() {
    auto& b = Binding();
    if (b.Bound) return b.Library;
    b.Bound = true;
    b.Oleacc = b.Loader("oleacc.dll");
    if (b.Oleacc) {
        BindEntryPoint(*b.Oleacc, "CreateStdAccessibleObject", b.Library.CreateStdAccessibleObject);
        BindEntryPoint(*b.Oleacc, "LresultFromObject", b.Library.LresultFromObject);
    }
    b.User32 = b.Loader("user32.dll");
    if (b.User32) BindEntryPoint(*b.User32, "NotifyWinEvent", b.Library.NotifyWinEvent);
    return b.Library;
}

bool AccessibilityAvailable() {
    const TAccessibilityLibrary& lib = AccessibilityLibrary();
    return lib.CreateStdAccessibleObject && lib.LresultFromObject;
}

} // namespace epc
