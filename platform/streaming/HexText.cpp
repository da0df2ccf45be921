#include "platform/streaming/HexText.h"

#include "platform/core/Exceptions.h"
#include "platform/core/Streams.h"
#include "platform/streaming/Filer.h"

namespace epc {

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// Empty when the text decodes; otherwise what is wrong with it.
std::string Decode(std::string_view text, std::string& out) {
    if (text.size() % 2 != 0) return "Invalid hexadecimal text: odd length";
    out.assign(text.size() / 2, '\0');
    for (size_t i = 0; i < text.size(); i += 2) {
        int hi = HexDigit(text[i]);
        int lo = HexDigit(text[i + 1]);
        if (hi < 0 || lo < 0)
            return "Invalid hexadecimal text: bad digit at position " +
                   std::to_string(i + (hi < 0 ? 0 : 1));
        out[i / 2] = char(hi << 4 | lo);
    }
    return std::string();
}

} // namespace

std::string BinToHex(std::string_view bytes) {
    static const char digits[] = "0123456789ABCDEF";
    std::string text(bytes.size() * 2, '\0');
    for (size_t i = 0; i < bytes.size(); ++i) {
        auto b = uint8_t(bytes[i]);
        text[2 * i] = digits[b >> 4];
        text[2 * i + 1] = digits[b & 15];
    }
    return text;
}

std::string HexToBin(std::string_view text) {
    std::string out;
    std::string error = Decode(text, out);
    if (!error.empty()) throw EReadError(error);
    return out;
}

bool TryHexToBin(std::string_view text, std::string& bytes) {
    std::string out;
    if (!Decode(text, out).empty()) return false;
    bytes = std::move(out);
    return true;
}

std::string ComponentToHex(TComponent* instance) {
    TMemoryStream stream;
    WriteComponent(stream, instance);
    return BinToHex(stream.DataString());
}

TComponent* HexToComponent(std::string_view text, TComponent* instance, TComponent* owner,
                           TComponent* parent) {
    TStringStream stream(HexToBin(text));
    return ReadComponent(stream, instance, owner, parent);
}

} // namespace epc
