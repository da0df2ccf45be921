#include "richtext/document/RVUni.h"

#include <algorithm>
#include <cstring>

#include "platform/core/KeyChars.h"
#include "platform/core/Strings.h"
#include "richtext/document/RVLineBreak.h"

namespace epc {

namespace {

bool IsUni(uint8_t options) {
    return (options & rvioUnicode) != 0;
}
int CharSize(uint8_t options) {
    return IsUni(options) ? 2 : 1;
}

char16_t WideAt(std::string_view s, size_t i) {
    return char16_t(uint8_t(s[2 * i]) | (uint16_t(uint8_t(s[2 * i + 1])) << 8));
}

} // namespace

int GetTextCharLength(std::string_view text, uint8_t options) {
    return int(text.size()) / CharSize(options);
}

std::string CopyItemTextChars(std::string_view text, uint8_t options, int start, int count) {
    int len = GetTextCharLength(text, options);
    if (start < 1) {
        count += start - 1;
        start = 1;
    }
    if (count <= 0 || start > len) return std::string();
    count = std::min(count, len - start + 1);
    int cs = CharSize(options);
    return std::string(text.substr(size_t(start - 1) * cs, size_t(count) * cs));
}

void DeleteTextChars(std::string& text, uint8_t options, int start, int count) {
    int len = GetTextCharLength(text, options);
    if (start < 1 || count <= 0 || start > len) return;
    count = std::min(count, len - start + 1);
    int cs = CharSize(options);
    text.erase(size_t(start - 1) * cs, size_t(count) * cs);
}

void InsertTextChars(std::string& text, uint8_t options, int pos, std::string_view inserted) {
    int len = GetTextCharLength(text, options);
    pos = std::clamp(pos, 1, len + 1);
    text.insert(size_t(pos - 1) * CharSize(options), inserted);
}

bool IsSpaceCharAt(std::string_view text, int position, uint8_t options) {
    if (position < 1 || position > GetTextCharLength(text, options)) return false;
    if (IsUni(options)) return WideAt(text, size_t(position - 1)) == u' ';
    return text[size_t(position - 1)] == ' ';
}

void CheckEvenUnicodeLength(std::string_view text) {
    if (text.size() % 2 != 0) throw ERichViewError(errRVUnicode);
}

std::string AnsiToUnicodeCP(std::string_view ansi, uint32_t codePage) {
    return WideToBytes(AnsiToWide(ansi, codePage));
}

std::string UnicodeToAnsiCP(std::string_view utf16, uint32_t codePage) {
    return WideToAnsi(BytesToWide(utf16.substr(0, utf16.size() & ~size_t(1))), codePage);
}

uint32_t GetKeyboardCodePage() {
    return GetKeyboardLayoutCodePage();
}

std::string AnsiToUnicodeKeyboard(std::string_view ansi) {
    return WideToBytes(KeyCharsToWide(ansi));
}

std::string ApplyAllCaps(std::string_view text, bool unicode, bool allCaps, uint32_t codePage) {
    if (!allCaps) return std::string(text);
    if (unicode) {
        std::u16string w = BytesToWide(text.substr(0, text.size() & ~size_t(1)));
        CharUpperBuffW(w.data(), w.size());
        return WideToBytes(w);
    }
    std::string s(text);
    CharUpperBuffA(s.data(), s.size(), codePage);
    return s;
}

std::string ExpandTabsA(std::string_view text, int spacesInTab) {
    if (text.find('\t') == std::string_view::npos) return std::string(text);
    std::string spaces(size_t(std::max(spacesInTab, 0)), ' ');
    std::string out;
    out.reserve(text.size() + 8);
    for (char c : text) {
        if (c == '\t')
            out += spaces;
        else
            out += c;
    }
    return out;
}

std::string ExpandTabsW(std::string_view utf16, int spacesInTab) {
    std::string out;
    out.reserve(utf16.size() + 16);
    int n = int(utf16.size() / 2);
    for (int i = 0; i < n; ++i) {
        if (WideAt(utf16, size_t(i)) == u'\t') {
            for (int k = 0; k < spacesInTab; ++k)
                out.append(" \0", 2);
        } else {
            out.append(utf16.substr(size_t(i) * 2, 2));
        }
    }
    return out;
}

int FindByteInBuffer(const char* buffer, char byte, int length) {
    if (!buffer || length <= 0) return 0;
    const void* p = std::memchr(buffer, byte, size_t(length));
    return p ? int(static_cast<const char*>(p) - buffer) + 1 : 0;
}

const char16_t* FindWideChar(const char16_t* buffer, char16_t c, int length) {
    for (int i = 0; i < length; ++i)
        if (buffer[i] == c) return buffer + i;
    return nullptr;
}

int FindLineBreakPosW(const char16_t* text, int length, int index) {
    return RVFindLineBreakPos(text, length, index);
}

std::u16string ItemTextToWide(std::string_view text, uint8_t options, uint32_t codePage) {
    if (IsUni(options)) return BytesToWide(text.substr(0, text.size() & ~size_t(1)));
    return AnsiToWide(text, codePage);
}

TColor ColorToGray(TColor color) {
    if (color == clNone) return clNone;
    COLORREF c = ColorToRGB(color);
    int g = (GetRValue(c) * 30 + GetGValue(c) * 59 + GetBValue(c) * 11) / 100;
    g = std::min(g, 255);
    return TColor(RGB(uint8_t(g), uint8_t(g), uint8_t(g)));
}

TColor SystemColorToPrintable(TColor color) {
    if (color == clWindowText) return clBlack;
    if (color == clWindow) return clWhite;
    return color;
}

TColor ApplyColorModeToTextColor(TColor color, TRVColorMode mode) {
    if (color == clNone) return clNone;
    switch (mode) {
    case TRVColorMode::rvcmColor:
        return color;
    case TRVColorMode::rvcmPrinterColor:
        return SystemColorToPrintable(color);
    case TRVColorMode::rvcmGrayScale:
        return ColorToGray(SystemColorToPrintable(color));
    case TRVColorMode::rvcmBlackAndWhite:
    case TRVColorMode::rvcmBlackOnWhite: {
        // Black and white: anything that is not white prints black.
        TColor c = TColor(ColorToRGB(color));
        return c == clWhite && mode == TRVColorMode::rvcmBlackAndWhite ? clWhite : clBlack;
    }
    }
    return color;
}

TColor ApplyColorModeToBackColor(TColor color, TRVColorMode mode) {
    if (color == clNone) return clNone;
    switch (mode) {
    case TRVColorMode::rvcmBlackAndWhite:
    case TRVColorMode::rvcmBlackOnWhite:
        return clWhite;
    default:
        return ApplyColorModeToTextColor(color, mode);
    }
}

std::string ColorToHtmlHex(TColor color) {
    if (color == clNone) return std::string();
    if (color == clWindowText) color = clBlack;
    COLORREF c = ColorToRGB(color);
    static const char digits[] = "0123456789ABCDEF";
    std::string s = "#";
    for (uint8_t v : {GetRValue(c), GetGValue(c), GetBValue(c)}) {
        s += digits[v >> 4];
        s += digits[v & 15];
    }
    return s;
}

std::string BackslashesToSlashes(std::string_view path) {
    std::string s(path);
    std::replace(s.begin(), s.end(), '\\', '/');
    return s;
}

TRVTag CopyTagValue(const TRVTag& tag, bool tagsArePChars) {
    if (tagsArePChars) {
        if (tag.IsEmpty()) return TRVTag::FromString(std::string());
        return tag.IsString() ? TRVTag::FromString(tag.Text())
                              : TRVTag::FromString(std::to_string(tag.Number()));
    }
    return TRVTag(tag.Number());
}

} // namespace epc
