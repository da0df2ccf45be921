#include "platform/core/Strings.h"

#include "platform/core/CoreState.h"
#include "platform/core/Unicode.h"

#include <iconv.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <map>
#include <memory>
#include <mutex>
#include <unordered_map>

namespace epc {

namespace {

bool IsMultiByteCodePage(uint32_t cp) {
    switch (cp) {
    case 932: case 936: case 949: case 950: case 1361: case 54936: case CP_UTF8:
        return true;
    default:
        return false;
    }
}

std::string IconvName(uint32_t cp) {
    switch (cp) {
    case 874: return "CP874";
    case 932: return "CP932";
    case 936: return "CP936";
    case 949: return "CP949";
    case 950: return "CP950";
    case 1361: return "JOHAB";
    case 10000: return "MACINTOSH";
    case 20127: return "ASCII";
    case 28591: return "ISO-8859-1";
    case 54936: return "GB18030";
    case CP_UTF8: return "UTF-8";
    default: return "CP" + std::to_string(cp);
    }
}

uint32_t ResolveCodePage(uint32_t cp) {
    if (cp == CP_ACP || cp == CP_OEMCP) return cp == CP_OEMCP ? 437 : GetACP();
    return cp;
}

// A single-byte code page as two tables, built once through iconv.
struct SingleByteTable {
    std::array<char16_t, 256> toWide{};
    std::array<bool, 256> defined{};
    std::unordered_map<char16_t, uint8_t> fromWide;
};

std::mutex gTableMutex;
std::map<uint32_t, std::unique_ptr<SingleByteTable>> gTables;

const SingleByteTable& TableFor(uint32_t cp) {
    std::lock_guard<std::mutex> lock(gTableMutex);
    auto& slot = gTables[cp];
    if (slot) return *slot;
    slot = std::make_unique<SingleByteTable>();
    SingleByteTable& t = *slot;
    // The symbol code page and unknown pages map bytes to the same code points.
    iconv_t cd = cp == CP_SYMBOL ? iconv_t(-1)
                                 : iconv_open("UTF-16LE", IconvName(cp).c_str());
    for (int b = 0; b < 256; ++b) {
        char in = static_cast<char>(b);
        char16_t out = 0;
        bool ok = false;
        if (cd != iconv_t(-1)) {
            char* inPtr = &in;
            size_t inLeft = 1;
            char* outPtr = reinterpret_cast<char*>(&out);
            size_t outLeft = sizeof(out);
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
            ok = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) != size_t(-1) && outLeft == 0;
        } else {
            out = static_cast<char16_t>(b);
            ok = true;
        }
        t.defined[b] = ok;
        t.toWide[b] = ok ? out : u'?';
        if (ok && !t.fromWide.count(out)) t.fromWide[out] = static_cast<uint8_t>(b);
    }
    if (cd != iconv_t(-1)) iconv_close(cd);
    return t;
}

char32_t DecodeAt(std::u16string_view s, size_t i, size_t* units) {
    char16_t c = s[i];
    if (IsHighSurrogate(c) && i + 1 < s.size() && IsLowSurrogate(s[i + 1])) {
        *units = 2;
        return 0x10000 + ((char32_t(c) - 0xD800) << 10) + (char32_t(s[i + 1]) - 0xDC00);
    }
    *units = 1;
    return c;
}

void AppendUtf16(std::u16string& out, char32_t cp) {
    if (cp >= 0x10000) {
        cp -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
        out.push_back(static_cast<char16_t>(cp));
    }
}

std::u16string MultiByteToWide(std::string_view s, uint32_t cp) {
    std::u16string out;
    iconv_t cd = iconv_open("UTF-16LE", IconvName(cp).c_str());
    if (cd == iconv_t(-1)) {
        for (unsigned char c : s) out.push_back(c < 0x80 ? c : u'?');
        return out;
    }
    std::string buffer(s.size() * 4 + 8, '\0');
    char* inPtr = const_cast<char*>(s.data());
    size_t inLeft = s.size();
    while (inLeft > 0) {
        char* outPtr = buffer.data();
        size_t outLeft = buffer.size();
        size_t r = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
        size_t produced = buffer.size() - outLeft;
        for (size_t i = 0; i + 1 < produced; i += 2)
            out.push_back(static_cast<char16_t>(uint8_t(buffer[i]) | (uint8_t(buffer[i + 1]) << 8)));
        if (r == size_t(-1)) {
            if (errno == E2BIG) continue;
            // An invalid or incomplete sequence: one '?' for its first byte.
            out.push_back(u'?');
            ++inPtr;
            --inLeft;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
        }
    }
    iconv_close(cd);
    return out;
}

std::string WideToMultiByte(std::u16string_view s, uint32_t cp, bool* usedDefault) {
    std::string out;
    iconv_t cd = iconv_open(IconvName(cp).c_str(), "UTF-16LE");
    if (cd == iconv_t(-1)) {
        for (char16_t c : s) {
            if (c < 0x80) {
                out.push_back(static_cast<char>(c));
            } else {
                out.push_back('?');
                if (usedDefault) *usedDefault = true;
            }
        }
        return out;
    }
    // Convert character by character so an unmappable one becomes a single '?'.
    char buffer[16];
    for (size_t i = 0; i < s.size();) {
        size_t units;
        DecodeAt(s, i, &units);
        char16_t in[2] = {s[i], units == 2 ? s[i + 1] : u'\0'};
        char* inPtr = reinterpret_cast<char*>(in);
        size_t inLeft = units * 2;
        char* outPtr = buffer;
        size_t outLeft = sizeof buffer;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        if (iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) == size_t(-1) || inLeft != 0) {
            out.push_back('?');
            if (usedDefault) *usedDefault = true;
        } else {
            out.append(buffer, sizeof buffer - outLeft);
        }
        i += units;
    }
    iconv_close(cd);
    return out;
}

char32_t UpperChar(char32_t c) {
    if (c < 0x80) return (c >= 'a' && c <= 'z') ? c - 32 : c;
    return UnicodeToUpper(c);
}

char32_t LowerChar(char32_t c) {
    if (c < 0x80) return (c >= 'A' && c <= 'Z') ? c + 32 : c;
    return UnicodeToLower(c);
}

std::u16string MapCase(std::u16string_view s, char32_t (*map)(char32_t)) {
    std::u16string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size();) {
        size_t units;
        char32_t c = DecodeAt(s, i, &units);
        char32_t m = map(c);
        // Keep the length unchanged: a mapping that would change the number of code units is
        // not applied.
        if ((m >= 0x10000) == (units == 2) && !(m >= 0xD800 && m <= 0xDFFF))
            AppendUtf16(out, m);
        else
            out.append(s.substr(i, units));
        i += units;
    }
    return out;
}

}  // namespace

uint32_t GetACP() {
    return CoreState().AnsiCodePage;
}
uint32_t GetKeyboardLayoutCodePage() {
    const TCoreState& core = CoreState();
    return core.KeyboardCodePage ? core.KeyboardCodePage : core.AnsiCodePage;
}

uint32_t CharsetToCodePage(int charset) {
    switch (charset) {
    case ANSI_CHARSET: return 1252;
    case DEFAULT_CHARSET: return GetACP();
    case SYMBOL_CHARSET: return CP_SYMBOL;
    case MAC_CHARSET: return 10000;
    case SHIFTJIS_CHARSET: return 932;
    case HANGEUL_CHARSET: return 949;
    case JOHAB_CHARSET: return 1361;
    case GB2312_CHARSET: return 936;
    case CHINESEBIG5_CHARSET: return 950;
    case GREEK_CHARSET: return 1253;
    case TURKISH_CHARSET: return 1254;
    case VIETNAMESE_CHARSET: return 1258;
    case HEBREW_CHARSET: return 1255;
    case ARABIC_CHARSET: return 1256;
    case BALTIC_CHARSET: return 1257;
    case RUSSIAN_CHARSET: return 1251;
    case THAI_CHARSET: return 874;
    case EASTEUROPE_CHARSET: return 1250;
    case OEM_CHARSET: return 437;
    default: return GetACP();
    }
}

std::u16string Utf8ToUtf16(std::string_view s) {
    std::u16string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size();) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        char32_t cp;
        size_t len;
        if (c < 0x80) { cp = c; len = 1; }
        else if ((c >> 5) == 6) { cp = c & 0x1F; len = 2; }
        else if ((c >> 4) == 14) { cp = c & 0x0F; len = 3; }
        else if ((c >> 3) == 30) { cp = c & 0x07; len = 4; }
        else { out.push_back(u'\xFFFD'); ++i; continue; }
        if (i + len > s.size()) { out.push_back(u'\xFFFD'); break; }
        bool ok = true;
        for (size_t k = 1; k < len; ++k) {
            unsigned char cc = static_cast<unsigned char>(s[i + k]);
            if ((cc >> 6) != 2) { ok = false; break; }
            cp = (cp << 6) | (cc & 0x3F);
        }
        if (!ok || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            out.push_back(u'\xFFFD');
            ++i;
            continue;
        }
        AppendUtf16(out, cp);
        i += len;
    }
    return out;
}

std::string Utf16ToUtf8(std::u16string_view s) {
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size();) {
        size_t units;
        char32_t cp = DecodeAt(s, i, &units);
        if (cp >= 0xD800 && cp <= 0xDFFF) cp = 0xFFFD;  // lone surrogate
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
        i += units;
    }
    return out;
}

std::u16string AnsiToWide(std::string_view s, uint32_t codePage) {
    uint32_t cp = ResolveCodePage(codePage);
    if (cp == CP_UTF8) return Utf8ToUtf16(s);
    if (IsMultiByteCodePage(cp)) return MultiByteToWide(s, cp);
    const SingleByteTable& t = TableFor(cp);
    std::u16string out(s.size(), u'\0');
    for (size_t i = 0; i < s.size(); ++i) out[i] = t.toWide[static_cast<unsigned char>(s[i])];
    return out;
}

std::string WideToAnsi(std::u16string_view s, uint32_t codePage, bool* usedDefault) {
    if (usedDefault) *usedDefault = false;
    uint32_t cp = ResolveCodePage(codePage);
    if (cp == CP_UTF8) return Utf16ToUtf8(s);
    if (IsMultiByteCodePage(cp)) return WideToMultiByte(s, cp, usedDefault);
    const SingleByteTable& t = TableFor(cp);
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size();) {
        size_t units;
        DecodeAt(s, i, &units);
        auto it = units == 1 ? t.fromWide.find(s[i]) : t.fromWide.end();
        if (it != t.fromWide.end()) {
            out.push_back(static_cast<char>(it->second));
        } else {
            out.push_back('?');
            if (usedDefault) *usedDefault = true;
        }
        i += units;
    }
    return out;
}

std::u16string BytesToWide(std::string_view bytes) {
    std::u16string out(bytes.size() / 2, u'\0');
    for (size_t i = 0; i < out.size(); ++i)
        out[i] = static_cast<char16_t>(uint8_t(bytes[2 * i]) | (uint8_t(bytes[2 * i + 1]) << 8));
    return out;
}

std::string WideToBytes(std::u16string_view text) {
    std::string out(text.size() * 2, '\0');
    for (size_t i = 0; i < text.size(); ++i) {
        out[2 * i] = static_cast<char>(text[i] & 0xFF);
        out[2 * i + 1] = static_cast<char>(text[i] >> 8);
    }
    return out;
}

bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

bool IsCombiningMark(char32_t c) {
    return IsGraphemeExtender(c);
}

size_t CharNextW(std::u16string_view s, size_t index) {
    return NextGraphemeBoundary(s, index);
}

size_t CharPrevW(std::u16string_view s, size_t index) {
    return PrevGraphemeBoundary(s, index);
}

void CharUpperBuffW(char16_t* text, size_t length) {
    std::u16string up = WideUpperCase(std::u16string_view(text, length));
    std::copy(up.begin(), up.end(), text);
}

void CharUpperBuffA(char* text, size_t length, uint32_t codePage) {
    std::string up = AnsiUpperCase(std::string_view(text, length), codePage);
    if (up.size() == length) std::copy(up.begin(), up.end(), text);
}

std::u16string WideUpperCase(std::u16string_view s) { return MapCase(s, UpperChar); }
std::u16string WideLowerCase(std::u16string_view s) { return MapCase(s, LowerChar); }

std::string AnsiUpperCase(std::string_view s, uint32_t codePage) {
    uint32_t cp = ResolveCodePage(codePage);
    if (IsMultiByteCodePage(cp)) {
        // Only the single-byte letters change in multi-byte code pages.
        std::string out(s);
        for (auto& c : out)
            if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
        return out;
    }
    const SingleByteTable& t = TableFor(cp);
    std::string out(s);
    for (auto& c : out) {
        unsigned char b = static_cast<unsigned char>(c);
        if (b < 0x80) {
            if (b >= 'a' && b <= 'z') c = static_cast<char>(b - 32);
            continue;
        }
        if (!t.defined[b]) continue;
        char32_t up = UpperChar(t.toWide[b]);
        if (up < 0x10000) {
            auto it = t.fromWide.find(static_cast<char16_t>(up));
            if (it != t.fromWide.end()) c = static_cast<char>(it->second);
        }
    }
    return out;
}

std::string UpperCase(std::string_view s) {
    std::string out(s);
    for (auto& c : out)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    return out;
}

std::string LowerCase(std::string_view s) {
    std::string out(s);
    for (auto& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    return out;
}

int CompareText(std::string_view a, std::string_view b) {
    size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        unsigned char ca = static_cast<unsigned char>(a[i]);
        unsigned char cb = static_cast<unsigned char>(b[i]);
        if (ca >= 'a' && ca <= 'z') ca -= 32;
        if (cb >= 'a' && cb <= 'z') cb -= 32;
        if (ca != cb) return ca < cb ? -1 : 1;
    }
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

bool SameText(std::string_view a, std::string_view b) { return CompareText(a, b) == 0; }

std::string Trim(std::string_view s) {
    size_t b = 0, e = s.size();
    while (b < e && static_cast<unsigned char>(s[b]) <= ' ') ++b;
    while (e > b && static_cast<unsigned char>(s[e - 1]) <= ' ') --e;
    return std::string(s.substr(b, e - b));
}

std::string AnsiQuotedStr(std::string_view s, char quote) {
    std::string out;
    out.reserve(s.size() + 2);
    out.push_back(quote);
    for (char c : s) {
        out.push_back(c);
        if (c == quote) out.push_back(quote);
    }
    out.push_back(quote);
    return out;
}

std::string AnsiExtractQuotedStr(std::string_view s, size_t& pos, char quote) {
    if (pos >= s.size() || s[pos] != quote) return std::string();
    std::string out;
    size_t i = pos + 1;
    while (i < s.size()) {
        if (s[i] == quote) {
            if (i + 1 < s.size() && s[i + 1] == quote) {
                out.push_back(quote);
                i += 2;
                continue;
            }
            ++i;
            break;
        }
        out.push_back(s[i++]);
    }
    pos = i;
    return out;
}

}  // namespace epc
