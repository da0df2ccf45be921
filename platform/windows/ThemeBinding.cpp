// The theme library binding and its recording double.

#include "platform/windows/ThemeBinding.h"

#include <map>

#include "platform/windows/WindowsState.h"

namespace epc {

namespace {

TThemeBindingState& Binding() {
    return WindowsState().Theme;
}

// Every entry point by its name.
std::unique_ptr<TThemeLibrary> BindThemeLibrary(std::unique_ptr<TLibraryModule> module) {
    auto lib = std::make_unique<TThemeLibrary>();
    const TLibraryModule& m = *module;
    BindEntryPoint(m, "OpenThemeData", lib->OpenThemeData);
    BindEntryPoint(m, "CloseThemeData", lib->CloseThemeData);
    BindEntryPoint(m, "DrawThemeBackground", lib->DrawThemeBackground);
    BindEntryPoint(m, "DrawThemeText", lib->DrawThemeText);
    BindEntryPoint(m, "GetThemeBackgroundContentRect", lib->GetThemeBackgroundContentRect);
    BindEntryPoint(m, "GetThemePartSize", lib->GetThemePartSize);
    BindEntryPoint(m, "GetThemeTextExtent", lib->GetThemeTextExtent);
    BindEntryPoint(m, "GetThemeTextMetrics", lib->GetThemeTextMetrics);
    BindEntryPoint(m, "GetThemeBackgroundRegion", lib->GetThemeBackgroundRegion);
    BindEntryPoint(m, "HitTestThemeBackground", lib->HitTestThemeBackground);
    BindEntryPoint(m, "DrawThemeEdge", lib->DrawThemeEdge);
    BindEntryPoint(m, "DrawThemeIcon", lib->DrawThemeIcon);
    BindEntryPoint(m, "IsThemePartDefined", lib->IsThemePartDefined);
    BindEntryPoint(m, "IsThemeBackgroundPartiallyTransparent",
                   lib->IsThemeBackgroundPartiallyTransparent);
    BindEntryPoint(m, "GetThemeColor", lib->GetThemeColor);
    BindEntryPoint(m, "GetThemeMetric", lib->GetThemeMetric);
    BindEntryPoint(m, "GetThemeString", lib->GetThemeString);
    BindEntryPoint(m, "GetThemeBool", lib->GetThemeBool);
    BindEntryPoint(m, "GetThemeInt", lib->GetThemeInt);
    BindEntryPoint(m, "GetThemeEnumValue", lib->GetThemeEnumValue);
    BindEntryPoint(m, "GetThemePosition", lib->GetThemePosition);
    BindEntryPoint(m, "GetThemeFont", lib->GetThemeFont);
    BindEntryPoint(m, "GetThemeRect", lib->GetThemeRect);
    BindEntryPoint(m, "GetThemeMargins", lib->GetThemeMargins);
    BindEntryPoint(m, "GetThemeIntList", lib->GetThemeIntList);
    BindEntryPoint(m, "GetThemePropertyOrigin", lib->GetThemePropertyOrigin);
    BindEntryPoint(m, "SetWindowTheme", lib->SetWindowTheme);
    BindEntryPoint(m, "GetThemeFilename", lib->GetThemeFilename);
    BindEntryPoint(m, "GetThemeSysColor", lib->GetThemeSysColor);
    BindEntryPoint(m, "GetThemeSysColorBrush", lib->GetThemeSysColorBrush);
    BindEntryPoint(m, "GetThemeSysBool", lib->GetThemeSysBool);
    BindEntryPoint(m, "GetThemeSysSize", lib->GetThemeSysSize);
    BindEntryPoint(m, "GetThemeSysFont", lib->GetThemeSysFont);
    BindEntryPoint(m, "GetThemeSysString", lib->GetThemeSysString);
    BindEntryPoint(m, "GetThemeSysInt", lib->GetThemeSysInt);
    BindEntryPoint(m, "IsThemeActive", lib->IsThemeActive);
    BindEntryPoint(m, "IsAppThemed", lib->IsAppThemed);
    BindEntryPoint(m, "GetWindowTheme", lib->GetWindowTheme);
    BindEntryPoint(m, "EnableThemeDialogTexture", lib->EnableThemeDialogTexture);
    BindEntryPoint(m, "IsThemeDialogTextureEnabled", lib->IsThemeDialogTextureEnabled);
    BindEntryPoint(m, "GetThemeAppProperties", lib->GetThemeAppProperties);
    BindEntryPoint(m, "SetThemeAppProperties", lib->SetThemeAppProperties);
    BindEntryPoint(m, "GetCurrentThemeName", lib->GetCurrentThemeName);
    BindEntryPoint(m, "GetThemeDocumentationProperty", lib->GetThemeDocumentationProperty);
    BindEntryPoint(m, "DrawThemeParentBackground", lib->DrawThemeParentBackground);
    BindEntryPoint(m, "EnableTheming", lib->EnableTheming);
    lib->Module = std::move(module);
    return lib;
}

} // namespace

void SetThemeLibraryLoader(TLibraryLoader loader) {
    Binding().Loader = std::move(loader);
}

bool InitThemeLibrary() {
    auto& b = Binding();
    ++b.RefCount;
    if (!b.Library && b.Loader)
        if (auto module = b.Loader("uxtheme.dll")) b.Library = BindThemeLibrary(std::move(module));
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

std::unique_ptr<TLibraryModule> TRecordingThemeLibrary::MakeLibrary() {
    // A theme handle points at a record of the class list it was opened for.
    auto themes = std::make_shared<std::map<HTHEME, std::pair<std::u16string, HWND>>>();
    auto next = std::make_shared<uintptr_t>(0x1000);
    TThemeLibrary lib;
    lib.IsThemeActive = [this] { return Active; };
    lib.IsAppThemed = [this] { return Active; };
    lib.OpenThemeData = [this, themes, next](HWND window, const std::u16string& classList) {
        HTHEME t = reinterpret_cast<HTHEME>((*next)++);
        (*themes)[t] = {classList, window};
        ++OpenThemes;
        Calls.push_back({"OpenThemeData", classList, window, 0, 0, {}});
        return t;
    };
    lib.CloseThemeData = [this, themes](HTHEME theme) -> HRESULT {
        auto it = themes->find(theme);
        if (it == themes->end()) return E_INVALIDARG;
        Calls.push_back({"CloseThemeData", it->second.first, it->second.second, 0, 0, {}});
        themes->erase(it);
        --OpenThemes;
        return S_OK;
    };
    lib.DrawThemeBackground = [this, themes](HTHEME theme, HDC dc, int part, int state,
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
    lib.DrawThemeParentBackground = [this](HWND window, HDC, const RECT* rect) -> HRESULT {
        Calls.push_back({"DrawThemeParentBackground", u"", window, 0, 0, rect ? *rect : TRect{}});
        return S_OK;
    };
    auto module = std::make_unique<TLibraryModule>();
    module->FileName = "uxtheme.dll";
    auto add = [&](const std::string& name, auto entry) {
        if (!Missing.count(name)) module->EntryPoints[name] = entry;
    };
    add("IsThemeActive", lib.IsThemeActive);
    add("IsAppThemed", lib.IsAppThemed);
    add("OpenThemeData", lib.OpenThemeData);
    add("CloseThemeData", lib.CloseThemeData);
    add("DrawThemeBackground", lib.DrawThemeBackground);
    add("DrawThemeParentBackground", lib.DrawThemeParentBackground);
    return module;
}

void InstallRecordingThemeLibrary(TRecordingThemeLibrary* recorder) {
    UnloadThemeLibrary();
    if (!recorder) {
        SetThemeLibraryLoader({});
        return;
    }
    SetThemeLibraryLoader([recorder](const std::string&) { return recorder->MakeLibrary(); });
}

} // namespace epc
