#include "platform/core/Unicode.h"

#include <unicode/ubrk.h>
#include <unicode/uchar.h>

#include <cstdint>
#include <memory>

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

struct TBreakIteratorCloser {
    void operator()(UBreakIterator* it) const { ubrk_close(it); }
};

// One character-boundary iterator per thread (the library's iterators are not shared between
// threads); nullptr when the library cannot make one.
UBreakIterator* CharacterIterator(std::u16string_view s) {
    thread_local std::unique_ptr<UBreakIterator, TBreakIteratorCloser> iterator;
    thread_local bool failed = false;
    if (!iterator && !failed) {
        UErrorCode status = U_ZERO_ERROR;
        iterator.reset(ubrk_open(UBRK_CHARACTER, "", nullptr, 0, &status));
        if (U_FAILURE(status)) iterator.reset();
        failed = !iterator;
    }
    if (!iterator || s.size() > size_t(INT32_MAX)) return nullptr;
    UErrorCode status = U_ZERO_ERROR;
    ubrk_setText(iterator.get(), s.data(), int32_t(s.size()), &status);
    return U_FAILURE(status) ? nullptr : iterator.get();
}

bool IsSurrogatePair(std::u16string_view s, size_t i) {
    return i + 1 < s.size() && s[i] >= 0xD800 && s[i] <= 0xDBFF && s[i + 1] >= 0xDC00 &&
           s[i + 1] <= 0xDFFF;
}

// Below U+0300 every code point is a cluster of its own, except CR LF: nothing there extends,
// prepends or joins (a test checks this against the library).
constexpr char16_t kSimpleClusterLimit = 0x0300;

bool IsCrLf(std::u16string_view s, size_t i) {
    return s[i] == u'\r' && i + 1 < s.size() && s[i + 1] == u'\n';
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
    if (UBreakIterator* it = CharacterIterator(s)) {
        int32_t next = ubrk_following(it, int32_t(index));
        if (next != UBRK_DONE) return size_t(next);
        return s.size();
    }
    return index + (IsSurrogatePair(s, index) ? 2 : 1);
}

size_t PrevGraphemeBoundary(std::u16string_view s, size_t index) {
    if (index == 0) return 0;
    if (index > s.size()) index = s.size();
    if (s[index - 1] < kSimpleClusterLimit && (index == 1 || s[index - 2] < kSimpleClusterLimit))
        return index - (index >= 2 && IsCrLf(s, index - 2) ? 2 : 1);
    if (UBreakIterator* it = CharacterIterator(s)) {
        int32_t prev = ubrk_preceding(it, int32_t(index));
        if (prev != UBRK_DONE) return size_t(prev);
        return 0;
    }
    return index - (index >= 2 && IsSurrogatePair(s, index - 2) ? 2 : 1);
}

} // namespace epc
