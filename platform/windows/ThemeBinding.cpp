// The theme library binding and its recording double.

#include "platform/windows/ThemeBinding.h"

#include <map>

namespace epc {

namespace {

struct TThemeBindingState {
    TThemeLibraryLoader Loader;
    std::unique_ptr<TThemeLibrary> Library;
    int RefCount = 0;
};

TThemeBindingState& Binding() {
    static TThemeBindingState state;
    return state;
}

} // namespace

void SetThemeLibraryLoader(TThemeLibraryLoader loader) {
    Binding().Loader = std::move(loader);
}

bool InitThemeLibrary() {
    auto& b = Binding();
    ++b.RefCount;
    if (!b.Library && b.Loader) b.Library = b.Loader();
    return b.Library != nullptr;
}

void FreeThemeLibrary() {
    auto& b = Binding();
    if (b.RefCount <= 0) return;
    if (--b.RefCount == 0) b.Library.reset();
}

void UnloadThemeLibrary() {
    auto& b = Binding();
    b.Library.reset();
    b.RefCount = 0;
}

bool UseThemes() {
    TThemeLibrary* lib = Binding().Library.get();
    return lib && lib->IsAppThemed && lib->IsThemeActive && lib->IsAppThemed() &&
           lib->IsThemeActive();
}

TThemeLibrary* ThemeLibrary() {
    return Binding().Library.get();
}
int ThemeLibraryRefCount() {
    return Binding().RefCount;
}

// ---- Recording double ------------------------------------------------------------------------

std::vector<TThemeCall> TRecordingThemeLibrary::CallsOf(const std::string& function) const {
    std::vector<TThemeCall> out;
    for (const TThemeCall& c : Calls)
        if (c.Function == function) out.push_back(c);
    return out;
}

std::unique_ptr<TThemeLibrary> TRecordingThemeLibrary::MakeLibrary() {
    // A theme handle points at a record of the class list it was opened for.
    auto themes = std::make_shared<std::map<HTHEME, std::pair<std::u16string, HWND>>>();
    auto next = std::make_shared<uintptr_t>(0x1000);
    auto lib = std::make_unique<TThemeLibrary>();
    lib->IsThemeActive = [this] { return Active; };
    lib->IsAppThemed = [this] { return Active; };
    lib->OpenThemeData = [this, themes, next](HWND window, const std::u16string& classList) {
        HTHEME t = reinterpret_cast<HTHEME>((*next)++);
        (*themes)[t] = {classList, window};
        ++OpenThemes;
        Calls.push_back({"OpenThemeData", classList, window, 0, 0, {}});
        return t;
    };
    lib->CloseThemeData = [this, themes](HTHEME theme) -> HRESULT {
        auto it = themes->find(theme);
        if (it == themes->end()) return E_INVALIDARG;
        Calls.push_back({"CloseThemeData", it->second.first, it->second.second, 0, 0, {}});
        themes->erase(it);
        --OpenThemes;
        return S_OK;
    };
    lib->DrawThemeBackground = [this, themes](HTHEME theme, HDC dc, int part, int state,
                                              const RECT* rect, const RECT*) -> HRESULT {
        auto it = themes->find(theme);
        if (it == themes->end() || !rect) return E_INVALIDARG;
        Calls.push_back(
            {"DrawThemeBackground", it->second.first, it->second.second, part, state, *rect});
        // A frame marks the element's place in pictures.
        HBRUSH brush = CreateSolidBrush(RGB(0, 84, 227));
        RECT r = *rect;
        FrameRect(dc, &r, brush);
        DeleteObject(brush);
        return S_OK;
    };
    lib->DrawThemeParentBackground = [this](HWND window, HDC, const RECT* rect) -> HRESULT {
        Calls.push_back({"DrawThemeParentBackground", u"", window, 0, 0, rect ? *rect : TRect{}});
        return S_OK;
    };
    return lib;
}

void InstallRecordingThemeLibrary(TRecordingThemeLibrary* recorder) {
    UnloadThemeLibrary();
    if (!recorder) {
        SetThemeLibraryLoader({});
        return;
    }
    SetThemeLibraryLoader([recorder] { return recorder->MakeLibrary(); });
}

} // namespace epc
