#pragma once
// Characters typed at the keyboard: the keyboard layout's code page decides how they read as
// UTF-16 and how UTF-16 reads as typed bytes, for the tree's search and the editor alike.

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/core/Strings.h"

namespace epc {

// Typed bytes in the layout's code page to UTF-16 (a byte the code page lacks becomes '?').
std::u16string KeyCharsToWide(std::string_view keyChars,
                              uint32_t codePage = GetKeyboardLayoutCodePage());
// UTF-16 to the bytes the layout's code page has for it ('?' for a character it lacks).
std::string WideToKeyChars(std::u16string_view text,
                           uint32_t codePage = GetKeyboardLayoutCodePage());

} // namespace epc
