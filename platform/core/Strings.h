#pragma once
// Text helpers: UTF-8 and UTF-16, code-page conversion ('?' for what a code page lacks),
// character stepping over whole user-perceived characters, upper-casing, quoting.

#include <cstdint>
#include <string>
#include <string_view>

namespace epc {

constexpr uint32_t CP_ACP = 0;
constexpr uint32_t CP_OEMCP = 1;
constexpr uint32_t CP_SYMBOL = 42;
constexpr uint32_t CP_UTF8 = 65001;

// The ANSI code page (1252 unless the core state sets another) and the code page of the
// keyboard layout (the same unless set apart).
uint32_t GetACP();
uint32_t GetKeyboardLayoutCodePage();

// Character set numbers of fonts and their code pages.
enum : int {
    ANSI_CHARSET = 0, DEFAULT_CHARSET = 1, SYMBOL_CHARSET = 2, MAC_CHARSET = 77,
    SHIFTJIS_CHARSET = 128, HANGEUL_CHARSET = 129, JOHAB_CHARSET = 130, GB2312_CHARSET = 134,
    CHINESEBIG5_CHARSET = 136, GREEK_CHARSET = 161, TURKISH_CHARSET = 162,
    VIETNAMESE_CHARSET = 163, HEBREW_CHARSET = 177, ARABIC_CHARSET = 178,
    BALTIC_CHARSET = 186, RUSSIAN_CHARSET = 204, THAI_CHARSET = 222, EASTEUROPE_CHARSET = 238,
    OEM_CHARSET = 255
};
uint32_t CharsetToCodePage(int charset);

std::u16string Utf8ToUtf16(std::string_view s);
std::string Utf16ToUtf8(std::u16string_view s);

// Code-page conversion. CP_ACP means GetACP(). A byte or character the code page cannot map
// becomes '?'; usedDefault, when given, tells whether that happened.
std::u16string AnsiToWide(std::string_view s, uint32_t codePage = CP_ACP);
std::string WideToAnsi(std::u16string_view s, uint32_t codePage = CP_ACP,
                       bool* usedDefault = nullptr);

// UTF-16LE text held in a byte string (two bytes a code unit) and back; an odd last byte is
// dropped.
std::u16string BytesToWide(std::string_view bytes);
std::string WideToBytes(std::u16string_view text);

bool IsHighSurrogate(char16_t c);
bool IsLowSurrogate(char16_t c);
// A character that joins the one before it into one user-perceived character (combining marks,
// joiners, emoji modifiers).
bool IsCombiningMark(char32_t c);

// Index of the next or previous character start, a character being what a reader takes for one
// (a grapheme cluster: a surrogate pair, a base letter with its combining marks, an emoji
// sequence, CR LF). CharNextW stops at s.size(); CharPrevW stops at 0.
size_t CharNextW(std::u16string_view s, size_t index);
size_t CharPrevW(std::u16string_view s, size_t index);

// Upper-casing in place: the wide form through Unicode's one-to-one case mapping (the length never
// changes), the ANSI form through the code page.
void CharUpperBuffW(char16_t* text, size_t length);
void CharUpperBuffA(char* text, size_t length, uint32_t codePage = CP_ACP);
std::u16string WideUpperCase(std::u16string_view s);
std::u16string WideLowerCase(std::u16string_view s);
std::string AnsiUpperCase(std::string_view s, uint32_t codePage = CP_ACP);

// ASCII-only helpers as used for identifiers and keys.
std::string UpperCase(std::string_view s);
std::string LowerCase(std::string_view s);
bool SameText(std::string_view a, std::string_view b);
int CompareText(std::string_view a, std::string_view b);
std::string Trim(std::string_view s);

// Quotes a string, doubling the quote character inside it.
std::string AnsiQuotedStr(std::string_view s, char quote);
// Reads a quoted string at pos (which must point at the quote), undoubling inner quotes, and
// moves pos past the closing quote. Returns an empty string and leaves pos when s[pos] is not
// the quote; an unclosed string runs to the end.
std::string AnsiExtractQuotedStr(std::string_view s, size_t& pos, char quote);

}  // namespace epc
