#include "platform/windows/LibraryBinding.h"

namespace epc {

std::any TLibraryModule::GetProcAddress(const std::string& name) const {
    auto it = EntryPoints.find(name);
    return it == EntryPoints.end() ? std::any() : it->second;
}

} // namespace epc
