#pragma once
// Libraries bound at run time. A library is its entry points by name, each held as the
// std::function of its signature; a loader finds a library by file name, or answers null when
// the system has none. Bindings look every entry point up by name and leave a missing one (or
// one of another signature) unset, as GetProcAddress answering nil would.

#include <any>
#include <functional>
#include <map>
#include <memory>
#include <string>

namespace epc {

struct TLibraryModule {
    std::string FileName;
    std::map<std::string, std::any> EntryPoints;

    // The entry point of that name; empty when the library lacks it.
    std::any GetProcAddress(const std::string& name) const;
};

using TLibraryLoader = std::function<std::unique_ptr<TLibraryModule>(const std::string& fileName)>;

// Sets Entry from the library's entry point of that name when it has one of Entry's signature;
// otherwise Entry is cleared. Returns whether it was found.
template <class F>
bool BindEntryPoint(const TLibraryModule& module, const std::string& name,
                    std::function<F>& entry) {
    std::any found = module.GetProcAddress(name);
    if (auto* f = std::any_cast<std::function<F>>(&found); f && *f) {
        entry = *f;
        return true;
    }
    entry = nullptr;
    return false;
}

} // namespace epc
