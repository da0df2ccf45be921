#include "richtext/document/RVLineBreak.h"

#include <algorithm>
#include <array>
#include <initializer_list>

#include "platform/core/Strings.h"
#include "platform/core/Unicode.h"

namespace epc {

namespace {

using C = TRVLineBreakClass;
using U = TUnicodeLineBreak;

constexpr int kClassCount = int(C::lbBK) + 1;

// clang-format off
C ResolveClass(char32_t c) {
    switch (UnicodeLineBreakOf(c)) {
    case U::OP: return C::lbOP;
    case U::CL: return C::lbCL;
    case U::CP: return C::lbCP;
    case U::QU: return C::lbQU;
    case U::GL: return C::lbGL;
    case U::NS: case U::CJ: return C::lbNS;
    case U::EX: return C::lbEX;
    case U::SY: return C::lbSY;
    case U::IS: return C::lbIS;
    case U::PR: return C::lbPR;
    case U::PO: return C::lbPO;
    case U::NU: return C::lbNU;
    case U::ID: return C::lbID;
    case U::IN: return C::lbIN;
    case U::HY: return C::lbHY;
    case U::BA: return C::lbBA;
    case U::BB: return C::lbBB;
    case U::B2: return C::lbB2;
    case U::ZW: return C::lbZW;
    case U::CM: return C::lbCM;
    case U::WJ: return C::lbWJ;
    case U::ZWJ: return C::lbZWJ;
    case U::CB: return C::lbCB;
    case U::EB: return C::lbEB;
    case U::EM: return C::lbEM;
    case U::H2: return C::lbH2;
    case U::H3: return C::lbH3;
    case U::HL: return C::lbHL;
    case U::JL: return C::lbJL;
    case U::JV: return C::lbJV;
    case U::JT: return C::lbJT;
    case U::RI: return C::lbRI;
    case U::SP: return C::lbSP;
    case U::BK: case U::CR: case U::LF: case U::NL: return C::lbBK;
    case U::SA: return IsNonEnclosingMark(c) ? C::lbCM : C::lbAL;
    case U::AI: case U::AL: case U::SG: case U::XX: return C::lbAL;
    }
    return C::lbAL;
}
// clang-format on

// The classes of the Basic Multilingual Plane, read once from the Unicode library: the search
// looks up two or more characters at every position it tries.
struct TBmpClasses {
    std::array<C, 0x10000> Of;
    TBmpClasses() {
        for (char32_t c = 0; c < 0x10000; ++c)
            Of[c] = ResolveClass(c);
    }
};

const C* BmpClasses() {
    static const TBmpClasses table;
    return table.Of.data();
}

constexpr bool In(C c, std::initializer_list<C> set) {
    for (C s : set)
        if (c == s) return true;
    return false;
}

// The rules that a pair of touching characters decides, in their order of precedence. Spaces
// and the rules that need more than the pair (combining marks, numbers, flags, wide brackets)
// are left to the caller.
constexpr bool PairBreaks(C b, C a) {
    if (b == C::lbBK) return true;
    if (In(a, {C::lbBK, C::lbSP, C::lbZW}) || b == C::lbSP) return false;
    if (b == C::lbZW) return true;
    if (b == C::lbZWJ || In(a, {C::lbCM, C::lbZWJ})) return false;
    if (a == C::lbWJ || b == C::lbWJ || b == C::lbGL) return false;
    if (a == C::lbGL && !In(b, {C::lbBA, C::lbHY})) return false;
    if (In(a, {C::lbCL, C::lbCP, C::lbEX, C::lbIS, C::lbSY})) return false;
    if (b == C::lbOP) return false;
    if (b == C::lbQU && a == C::lbOP) return false;
    if (In(b, {C::lbCL, C::lbCP}) && a == C::lbNS) return false;
    if (b == C::lbB2 && a == C::lbB2) return false;
    if (a == C::lbQU || b == C::lbQU) return false;
    if (a == C::lbCB || b == C::lbCB) return true;
    if (In(a, {C::lbBA, C::lbHY, C::lbNS}) || b == C::lbBB) return false;
    if (b == C::lbSY && a == C::lbHL) return false;
    if (a == C::lbIN) return false;
    const bool bLetter = In(b, {C::lbAL, C::lbHL}), aLetter = In(a, {C::lbAL, C::lbHL});
    if ((bLetter && a == C::lbNU) || (b == C::lbNU && aLetter)) return false;
    if (b == C::lbPR && In(a, {C::lbID, C::lbEB, C::lbEM})) return false;
    if (In(b, {C::lbID, C::lbEB, C::lbEM}) && a == C::lbPO) return false;
    if ((In(b, {C::lbPR, C::lbPO}) && aLetter) || (bLetter && In(a, {C::lbPR, C::lbPO})))
        return false;
    // Numbers: a sign, bracket or hyphen before a digit, digits and their separators, and a
    // sign after them hold together (the longer forms are the caller's).
    if (In(b, {C::lbPR, C::lbPO, C::lbHY}) && a == C::lbNU) return false;
    if (b == C::lbNU && In(a, {C::lbNU, C::lbPO, C::lbPR})) return false;
    // Korean syllable blocks.
    const bool aKorean = In(a, {C::lbJL, C::lbJV, C::lbJT, C::lbH2, C::lbH3});
    if (b == C::lbJL && In(a, {C::lbJL, C::lbJV, C::lbH2, C::lbH3})) return false;
    if (In(b, {C::lbJV, C::lbH2}) && In(a, {C::lbJV, C::lbJT})) return false;
    if (In(b, {C::lbJT, C::lbH3}) && a == C::lbJT) return false;
    if (In(b, {C::lbJL, C::lbJV, C::lbJT, C::lbH2, C::lbH3}) && a == C::lbPO) return false;
    if (b == C::lbPR && aKorean) return false;
    if (bLetter && aLetter) return false;
    if (b == C::lbIS && aLetter) return false;
    // Brackets that are not East Asian wide hold to the letters and digits beside them.
    if ((bLetter || b == C::lbNU) && a == C::lbOP) return false;
    if (b == C::lbCP && (aLetter || a == C::lbNU)) return false;
    // A pair of regional indicators is one flag; an emoji base keeps its modifier.
    if (b == C::lbRI && a == C::lbRI) return false;
    if (b == C::lbEB && a == C::lbEM) return false;
    return true;
}

using TPairTable = std::array<std::array<bool, kClassCount>, kClassCount>;

constexpr TPairTable MakePairTable() {
    TPairTable table{};
    for (int b = 0; b < kClassCount; ++b)
        for (int a = 0; a < kClassCount; ++a)
            table[b][a] = PairBreaks(C(b), C(a));
    return table;
}

constexpr TPairTable kPairBreaks = MakePairTable();

// Reads classes out of UTF-16 text; an unpaired surrogate half is a character of its own.
struct TClassReader {
    const char16_t* Text;
    int Length;
    const C* Bmp;

    char32_t CodePointAt(int i) const {
        char16_t c = Text[i];
        if (IsHighSurrogate(c) && i + 1 < Length && IsLowSurrogate(Text[i + 1]))
            return 0x10000 + ((char32_t(c) - 0xD800) << 10) + (char32_t(Text[i + 1]) - 0xDC00);
        return c;
    }
    C ClassAt(int i) const {
        char16_t c = Text[i];
        if (!IsHighSurrogate(c)) return Bmp[c];
        char32_t cp = CodePointAt(i);
        return cp < 0x10000 ? Bmp[c] : RVLineBreakClassOf(cp);
    }
    // The start of the code point that ends just before `i` (i > 0).
    int StartBefore(int i) const {
        return i >= 2 && IsLowSurrogate(Text[i - 1]) && IsHighSurrogate(Text[i - 2]) ? i - 2
                                                                                     : i - 1;
    }
    bool InsidePair(int i) const {
        return i > 0 && IsLowSurrogate(Text[i]) && IsHighSurrogate(Text[i - 1]);
    }
    int StartAfter(int i) const {
        return i +
               (IsHighSurrogate(Text[i]) && i + 1 < Length && IsLowSurrogate(Text[i + 1]) ? 2 : 1);
    }
    // The class of the character that ends before `i` with the combining marks and joiners after
    // it (they take its class), and where it starts; marks with no base to take, at the start or
    // after a space or break, count as a letter. -1 for i = 0.
    C BaseBefore(int i, int& start) const {
        if (i <= 0) {
            start = -1;
            return C::lbAL;
        }
        int j = StartBefore(i);
        C cls = ClassAt(j);
        while (cls == C::lbCM || cls == C::lbZWJ) {
            if (j == 0) {
                start = 0;
                return C::lbAL;
            }
            int k = StartBefore(j);
            C base = ClassAt(k);
            if (base == C::lbSP || base == C::lbBK || base == C::lbZW) {
                start = j;
                return C::lbAL;
            }
            j = k;
            cls = base;
        }
        start = j;
        return cls;
    }
    // The class of the first character at or after `i` that is not a combining mark; lbBK at the
    // end of the text.
    C ClassFrom(int i) const {
        while (i < Length) {
            C cls = ClassAt(i);
            if (cls != C::lbCM && cls != C::lbZWJ) return cls;
            i = StartAfter(i);
        }
        return C::lbBK;
    }
    // True when the characters before `start`, back over digits and their separators, begin with
    // a digit: the number goes on.
    bool NumberBefore(int start) const {
        while (start > 0) {
            int prev;
            C cls = BaseBefore(start, prev);
            if (cls == C::lbNU) return true;
            if (cls != C::lbSY && cls != C::lbIS) return false;
            start = prev;
        }
        return false;
    }
};

// True when a line may break before the character at `index`, `prev` being the class of the one
// before it (index > 0 and not inside a surrogate pair).
inline bool BreaksBefore(const TClassReader& r, int index, C prev, C after) {
    if (prev == C::lbSP) return false;
    if (prev == C::lbBK) return true;
    if (after == C::lbBK || after == C::lbSP || after == C::lbZW) return false;
    if (prev == C::lbZW) return true;
    // Marks and joiners stay with the character before them; a run of marks takes the class of
    // its base from here on.
    if (after == C::lbCM || after == C::lbZWJ) return false;
    int baseStart = r.StartBefore(index);
    const C before = prev == C::lbCM ? r.BaseBefore(index, baseStart) : prev;
    const bool breaks = kPairBreaks[int(before)][int(after)];
    switch (before) {
    case C::lbHY:
    case C::lbBA: {
        // A hyphen after a Hebrew letter stays with it.
        int start;
        if (breaks && r.BaseBefore(baseStart, start) == C::lbHL) return false;
        break;
    }
    case C::lbSY:
    case C::lbIS:
        if (breaks && (after == C::lbNU || after == C::lbPO || after == C::lbPR))
            return !r.NumberBefore(baseStart);
        break;
    case C::lbCL:
    case C::lbCP:
        if (after == C::lbPO || after == C::lbPR) return !r.NumberBefore(baseStart);
        if (before == C::lbCP && (after == C::lbAL || after == C::lbHL || after == C::lbNU))
            return IsEastAsianWide(r.CodePointAt(baseStart)); // a wide bracket breaks
        break;
    case C::lbPR:
    case C::lbPO:
        // A sign before a bracket or hyphen that opens a number.
        if (after == C::lbOP && r.ClassFrom(r.StartAfter(index)) == C::lbNU) return false;
        break;
    case C::lbRI:
        if (after == C::lbRI) {
            // Flags pair up from the start of the run: break after an even count.
            int count = 1, start = baseStart, prevStart;
            while (start > 0 && r.BaseBefore(start, prevStart) == C::lbRI) {
                ++count;
                start = prevStart;
            }
            return count % 2 == 0;
        }
        break;
    case C::lbID:
        // An unassigned pictograph keeps a following emoji modifier.
        if (after == C::lbEM && IsExtendedPictographic(r.CodePointAt(baseStart)) &&
            IsUnassignedCodePoint(r.CodePointAt(baseStart)))
            return false;
        break;
    default:
        break;
    }
    if (after == C::lbOP && (before == C::lbAL || before == C::lbHL || before == C::lbNU))
        return IsEastAsianWide(r.CodePointAt(index));
    return breaks;
}

} // namespace

TRVLineBreakClass RVLineBreakClassOf(char32_t c) {
    if (c < 0x10000) return BmpClasses()[c];
    return ResolveClass(c);
}

bool RVLineBreakAllowed(TRVLineBreakClass before, TRVLineBreakClass after) {
    return kPairBreaks[int(before)][int(after)];
}

int RVFindLineBreakPos(const char16_t* text, int length, int index) {
    if (!text || length <= 0 || index < 0) return -1;
    index = std::min(index, length - 1);
    const TClassReader r{text, length, BmpClasses()};
    // Going back, the class after each position is the one before the previous position.
    C after = r.ClassAt(r.InsidePair(index) ? index - 1 : index);
    for (int i = index; i > 0; --i) {
        if (text[i] == u' ') return i;
        if (r.InsidePair(i)) continue;
        const C prev = r.ClassAt(r.StartBefore(i));
        if (BreaksBefore(r, i, prev, after)) return i;
        after = prev;
    }
    return text[0] == u' ' ? 0 : -1; // a class break needs a character before it
}

} // namespace epc
