#include "platform/core/Unicode.h"

#include <unicode/uchar.h>

#include <cstdint>

namespace epc {

namespace {

using TL = TUnicodeLineBreak;

// clang-format off
TL FromLibraryLineBreak(int32_t value) {
    switch (value) {
    case U_LB_AMBIGUOUS: return TL::AI;
    case U_LB_ALPHABETIC: return TL::AL;
    case U_LB_BREAK_BOTH: return TL::B2;
    case U_LB_BREAK_AFTER: return TL::BA;
    case U_LB_BREAK_BEFORE: return TL::BB;
    case U_LB_MANDATORY_BREAK: return TL::BK;
    case U_LB_CONTINGENT_BREAK: return TL::CB;
    case U_LB_CLOSE_PUNCTUATION: return TL::CL;
    case U_LB_COMBINING_MARK: return TL::CM;
    case U_LB_CARRIAGE_RETURN: return TL::CR;
    case U_LB_EXCLAMATION: return TL::EX;
    case U_LB_GLUE: return TL::GL;
    case U_LB_HYPHEN: return TL::HY;
    case U_LB_IDEOGRAPHIC: return TL::ID;
    case U_LB_INSEPARABLE: return TL::IN;
    case U_LB_INFIX_NUMERIC: return TL::IS;
    case U_LB_LINE_FEED: return TL::LF;
    case U_LB_NONSTARTER: return TL::NS;
    case U_LB_NUMERIC: return TL::NU;
    case U_LB_OPEN_PUNCTUATION: return TL::OP;
    case U_LB_POSTFIX_NUMERIC: return TL::PO;
    case U_LB_PREFIX_NUMERIC: return TL::PR;
    case U_LB_QUOTATION: return TL::QU;
    case U_LB_COMPLEX_CONTEXT: return TL::SA;
    case U_LB_SURROGATE: return TL::SG;
    case U_LB_SPACE: return TL::SP;
    case U_LB_BREAK_SYMBOLS: return TL::SY;
    case U_LB_ZWSPACE: return TL::ZW;
    case U_LB_NEXT_LINE: return TL::NL;
    case U_LB_WORD_JOINER: return TL::WJ;
    case U_LB_H2: return TL::H2;
    case U_LB_H3: return TL::H3;
    case U_LB_JL: return TL::JL;
    case U_LB_JT: return TL::JT;
    case U_LB_JV: return TL::JV;
    case U_LB_CLOSE_PARENTHESIS: return TL::CP;
    case U_LB_CONDITIONAL_JAPANESE_STARTER: return TL::CJ;
    case U_LB_HEBREW_LETTER: return TL::HL;
    case U_LB_REGIONAL_INDICATOR: return TL::RI;
    case U_LB_E_BASE: return TL::EB;
    case U_LB_E_MODIFIER: return TL::EM;
    case U_LB_ZWJ: return TL::ZWJ;
    default: return TL::XX; // a value newer than this list: unknown
    }
}
// clang-format on

char32_t CodePointAt(std::u16string_view s, size_t i) {
    char16_t c = s[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF)
        return 0x10000 + ((char32_t(c) - 0xD800) << 10) + (char32_t(s[i + 1]) - 0xDC00);
    return c;
}

size_t StartAfter(std::u16string_view s, size_t i) {
    return i + (CodePointAt(s, i) >= 0x10000 ? 2 : 1);
}

// The start of the code point that ends just before `i` (i > 0).
size_t StartBefore(std::u16string_view s, size_t i) {
    return i >= 2 && s[i - 1] >= 0xDC00 && s[i - 1] <= 0xDFFF && s[i - 2] >= 0xD800 &&
                   s[i - 2] <= 0xDBFF
               ? i - 2
               : i - 1;
}

int32_t ClusterBreakOf(char32_t c) {
    return u_getIntPropertyValue(UChar32(c), UCHAR_GRAPHEME_CLUSTER_BREAK);
}

// Below U+0300 every code point is a cluster of its own, except CR LF: nothing there extends,
// prepends or joins (a test checks this against the library).
constexpr char16_t kSimpleClusterLimit = 0x0300;

bool IsCrLf(std::u16string_view s, size_t i) {
    return s[i] == u'\r' && i + 1 < s.size() && s[i + 1] == u'\n';
}

// True when a grapheme cluster ends before s[i] (0 < i < s.size(), i not inside a surrogate
// pair), by the cluster-break properties of the characters around I.
bool IsClusterBoundary(std::u16string_view s, size_t i) {
    const size_t prevStart = StartBefore(s, i);
    const int32_t before = ClusterBreakOf(CodePointAt(s, prevStart));
    const int32_t after = ClusterBreakOf(CodePointAt(s, i));
    if (before == U_GCB_CR && after == U_GCB_LF) return false;
    if (before == U_GCB_CONTROL || before == U_GCB_CR || before == U_GCB_LF) return true;
    if (after == U_GCB_CONTROL || after == U_GCB_CR || after == U_GCB_LF) return true;
    // Hangul syllables from their jamo.
    if (before == U_GCB_L &&
        (after == U_GCB_L || after == U_GCB_V || after == U_GCB_LV || after == U_GCB_LVT))
        return false;
    if ((before == U_GCB_LV || before == U_GCB_V) && (after == U_GCB_V || after == U_GCB_T))
        return false;
    if ((before == U_GCB_LVT || before == U_GCB_T) && after == U_GCB_T) return false;
    if (after == U_GCB_EXTEND || after == U_GCB_ZWJ || after == U_GCB_SPACING_MARK) return false;
    if (before == U_GCB_PREPEND) return false;
    // An emoji sequence: a pictograph, its modifiers, a joiner and the next pictograph.
    if (before == U_GCB_ZWJ && IsExtendedPictographic(CodePointAt(s, i))) {
        size_t j = prevStart;
        while (j > 0) {
            j = StartBefore(s, j);
            char32_t c = CodePointAt(s, j);
            if (ClusterBreakOf(c) != U_GCB_EXTEND) return !IsExtendedPictographic(c);
        }
        return true;
    }
    // Regional indicators pair up into flags from the start of their run.
    if (before == U_GCB_REGIONAL_INDICATOR && after == U_GCB_REGIONAL_INDICATOR) {
        size_t count = 1;
        for (size_t j = prevStart; j > 0;) {
            j = StartBefore(s, j);
            if (ClusterBreakOf(CodePointAt(s, j)) != U_GCB_REGIONAL_INDICATOR) break;
            ++count;
        }
        return count % 2 == 0;
    }
    return true;
}

} // namespace

TUnicodeLineBreak UnicodeLineBreakOf(char32_t c) {
    return FromLibraryLineBreak(u_getIntPropertyValue(UChar32(c), UCHAR_LINE_BREAK));
}

bool IsEastAsianWide(char32_t c) {
    int32_t w = u_getIntPropertyValue(UChar32(c), UCHAR_EAST_ASIAN_WIDTH);
    return w == U_EA_FULLWIDTH || w == U_EA_WIDE || w == U_EA_HALFWIDTH;
}

bool IsExtendedPictographic(char32_t c) {
    return u_hasBinaryProperty(UChar32(c), UCHAR_EXTENDED_PICTOGRAPHIC);
}

bool IsUnassignedCodePoint(char32_t c) {
    return u_charType(UChar32(c)) == U_UNASSIGNED;
}

bool IsNonEnclosingMark(char32_t c) {
    int8_t type = u_charType(UChar32(c));
    return type == U_NON_SPACING_MARK || type == U_COMBINING_SPACING_MARK;
}

bool IsGraphemeExtender(char32_t c) {
    int32_t gcb = u_getIntPropertyValue(UChar32(c), UCHAR_GRAPHEME_CLUSTER_BREAK);
    return gcb == U_GCB_EXTEND || gcb == U_GCB_SPACING_MARK || gcb == U_GCB_ZWJ ||
           gcb == U_GCB_E_MODIFIER;
}

char32_t UnicodeToUpper(char32_t c) {
    return char32_t(u_toupper(UChar32(c)));
}

char32_t UnicodeToLower(char32_t c) {
    return char32_t(u_tolower(UChar32(c)));
}

size_t NextGraphemeBoundary(std::u16string_view s, size_t index) {
    if (index >= s.size()) return s.size();
    if (s[index] < kSimpleClusterLimit &&
        (index + 1 == s.size() || s[index + 1] < kSimpleClusterLimit))
        return index + (IsCrLf(s, index) ? 2 : 1);
    size_t i = StartAfter(s, index);
    while (i < s.size() && !IsClusterBoundary(s, i))
        i = StartAfter(s, i);
    return i;
}

size_t PrevGraphemeBoundary(std::u16string_view s, size_t index) {
    if (index == 0) return 0;
    if (index > s.size()) index = s.size();
    if (s[index - 1] < kSimpleClusterLimit && (index == 1 || s[index - 2] < kSimpleClusterLimit))
        return index - (index >= 2 && IsCrLf(s, index - 2) ? 2 : 1);
    size_t i = StartBefore(s, index);
    while (i > 0 && !IsClusterBoundary(s, i))
        i = StartBefore(s, i);
    return i;
}

} // namespace epc
