#include "platform/core/KeyChars.h"

namespace epc {

std::u16string KeyCharsToWide(std::string_view keyChars, uint32_t codePage) {
    return AnsiToWide(keyChars, codePage);
}

std::string WideToKeyChars(std::u16string_view text, uint32_t codePage) {
    return WideToAnsi(text, codePage);
}

} // namespace epc
