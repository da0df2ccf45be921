// The blank code points: one set for measuring, drawing and printing text.

#include "platform/text/FontEngine.h"
#include "platform/text/FontInternals.h"

namespace epc {

bool IsBlankCodePoint(char32_t ch) {
    if (ch <= 0x20 || (ch >= 0x7F && ch <= 0xA0)) return true;
    switch (ch) {
    case 0xAD:
    case 0x1680:
    case 0x180E:
    case 0x2028:
    case 0x2029:
    case 0x202F:
    case 0x205F:
    case 0x2060:
    case 0x3000:
    case 0xFEFF:
        return true;
    default:
        return ch >= 0x2000 && ch <= 0x200F;
    }
}

namespace fontengine {

bool IsZeroWidthBlank(char32_t ch) {
    return ch < 0x20 || (ch >= 0x7F && ch < 0xA0) || ch == 0xAD || (ch >= 0x200B && ch <= 0x200F) ||
           ch == 0x2060 || ch == 0xFEFF;
}

} // namespace fontengine

} // namespace epc
