#pragma once
// Component streams as text: two upper-case hexadecimal digits a byte, read back in either
// case. Text of odd length or with a character that is not a hexadecimal digit is rejected.

#include <string>
#include <string_view>

#include "platform/core/Classes.h"

namespace epc {

std::string BinToHex(std::string_view bytes);
// Raises EReadError for odd-length or non-hexadecimal text.
std::string HexToBin(std::string_view text);
// The same without raising: false (and bytes untouched) for bad text.
bool TryHexToBin(std::string_view text, std::string& bytes);

// A component stream (signature and record) as one line of hexadecimal text, and back.
std::string ComponentToHex(TComponent* instance);
TComponent* HexToComponent(std::string_view text, TComponent* instance, TComponent* owner = nullptr,
                           TComponent* parent = nullptr);

} // namespace epc
