#pragma once
// The string hash of help context names: letters hash alike whatever their case, an empty
// text hashes to 0, and 0 means "no key".

#include <cstdint>
#include <string_view>

namespace epc {

int32_t StrHash(std::string_view text);

} // namespace epc
