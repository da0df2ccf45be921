#pragma once
// Unicode character properties and text boundaries, read from the system's Unicode library so
// they follow the Unicode version it carries: line-breaking classes, East Asian width, case
// mapping and user-perceived characters (grapheme clusters).

#include <cstdint>
#include <string_view>

namespace epc {

// The Line_Break property values of the Unicode line-breaking algorithm, by their short names.
// clang-format off
enum class TUnicodeLineBreak : uint8_t {
    AI, AL, B2, BA, BB, BK, CB, CJ, CL, CM, CP, CR, EB, EM, EX, GL, H2, H3, HL, HY, ID, IN, IS,
    JL, JT, JV, LF, NL, NS, NU, OP, PO, PR, QU, RI, SA, SG, SP, SY, WJ, XX, ZW, ZWJ
};
// clang-format on

TUnicodeLineBreak UnicodeLineBreakOf(char32_t c);
// East_Asian_Width Fullwidth, Wide or Halfwidth.
bool IsEastAsianWide(char32_t c);
bool IsExtendedPictographic(char32_t c);
// General category Cn: no character is assigned to the code point.
bool IsUnassignedCodePoint(char32_t c);
// General category Mn or Mc: a mark that combines with the character before it.
bool IsNonEnclosingMark(char32_t c);
// Extends the grapheme cluster before it (combining marks, joiners, emoji modifiers).
bool IsGraphemeExtender(char32_t c);

// Simple (one-to-one) case mapping; a code point without a mapping maps to itself.
char32_t UnicodeToUpper(char32_t c);
char32_t UnicodeToLower(char32_t c);

// The boundaries of grapheme clusters: the first one after `index` (at most s.size()) and the last
// one before it (at least 0).
size_t NextGraphemeBoundary(std::u16string_view s, size_t index);
size_t PrevGraphemeBoundary(std::u16string_view s, size_t index);

} // namespace epc
