#include "richtext/document/RVLineBreak.h"

namespace epc {

namespace {

using C = TRVLineBreakClass;

// clang-format off

bool InRange(char32_t c, char32_t lo, char32_t hi) { return c >= lo && c <= hi; }

// Combining marks of the common scripts: they stay with the character before them.
bool IsCombining(char32_t c) {
    return InRange(c, 0x0300, 0x036F) || InRange(c, 0x0483, 0x0489) ||
           InRange(c, 0x0591, 0x05BD) || InRange(c, 0x05BF, 0x05C7) ||
           InRange(c, 0x0610, 0x061A) || InRange(c, 0x064B, 0x065F) || c == 0x0670 ||
           InRange(c, 0x06D6, 0x06ED) || InRange(c, 0x0900, 0x0903) ||
           InRange(c, 0x093A, 0x094F) || InRange(c, 0x0E31, 0x0E31) ||
           InRange(c, 0x0E34, 0x0E3A) || InRange(c, 0x0E47, 0x0E4E) ||
           InRange(c, 0x1AB0, 0x1AFF) || InRange(c, 0x1DC0, 0x1DFF) ||
           InRange(c, 0x200C, 0x200D) || InRange(c, 0x20D0, 0x20FF) ||
           InRange(c, 0xFE00, 0xFE0F) || InRange(c, 0xFE20, 0xFE2F) ||
           InRange(c, 0x3099, 0x309A) || InRange(c, 0xE0100, 0xE01EF);
}

bool IsIdeographic(char32_t c) {
    return InRange(c, 0x2E80, 0x2FFF) || c == 0x3003 || InRange(c, 0x3004, 0x3007) ||
           InRange(c, 0x3012, 0x3013) || InRange(c, 0x3020, 0x3029) ||
           InRange(c, 0x3030, 0x303A) || InRange(c, 0x3040, 0x30FF) ||
           InRange(c, 0x3100, 0x31FF) || InRange(c, 0x3200, 0x4DBF) ||
           InRange(c, 0x4E00, 0x9FFF) || InRange(c, 0xA000, 0xA4CF) ||
           InRange(c, 0xAC00, 0xD7AF) || InRange(c, 0xF900, 0xFAFF) ||
           InRange(c, 0xFE30, 0xFE4F) || InRange(c, 0xFF01, 0xFF60) ||
           InRange(c, 0xFFE0, 0xFFE6) || InRange(c, 0x1F300, 0x1FAFF) ||
           InRange(c, 0x20000, 0x3FFFD);
}

// Small kana and the prolonged sound mark may not begin a line.
bool IsNonStarter(char32_t c) {
    switch (c) {
    case 0x3005: case 0x303B: case 0x309B: case 0x309C: case 0x309D: case 0x309E:
    case 0x30A0: case 0x30FB: case 0x30FC: case 0x30FD: case 0x30FE: case 0x3041:
    case 0x3043: case 0x3045: case 0x3047: case 0x3049: case 0x3063: case 0x3083:
    case 0x3085: case 0x3087: case 0x308E: case 0x3095: case 0x3096: case 0x30A1:
    case 0x30A3: case 0x30A5: case 0x30A7: case 0x30A9: case 0x30C3: case 0x30E3:
    case 0x30E5: case 0x30E7: case 0x30EE: case 0x30F5: case 0x30F6: case 0xFF70:
    case 0x203C: case 0x2047: case 0x2048: case 0x2049: case 0x301C: case 0xFF65:
        return true;
    default:
        return false;
    }
}

// Rows: the class before the position; columns: the class after it, both in the order of
// TRVLineBreakClass from OP to WJ. '_' marks a direct break opportunity; every other entry
// forbids a break between touching characters (they may still break at a space between them).
constexpr const char* kPairTable[22] = {
    //  OP CL CP QU GL NS EX SY IS PR PO NU AL ID IN HY BA BB B2 ZW CM WJ
    "^^^^^^^^^^^^^^^^^^^^@^",  // OP
    "_^^%%^^^^%%____%%__^#^",  // CL
    "_^^%%^^^^%%%%__%%__^#^",  // CP
    "^^^%%%^^^%%%%%%%%%%^#^",  // QU
    "%^^%%%^^^%%%%%%%%%%^#^",  // GL
    "_^^%%%^^^______%%__^#^",  // NS
    "_^^%%%^^^_____%%%__^#^",  // EX
    "_^^%%%^^^__%___%%__^#^",  // SY
    "_^^%%%^^^__%%__%%__^#^",  // IS
    "%^^%%%^^^__%%%_%%__^#^",  // PR
    "%^^%%%^^^__%%__%%__^#^",  // PO
    "%^^%%%^^^%%%%_%%%__^#^",  // NU
    "%^^%%%^^^__%%_%%%__^#^",  // AL
    "_^^%%%^^^_%___%%%__^#^",  // ID
    "_^^%%%^^^_____%%%__^#^",  // IN
    "_^^%_%^^^__%___%%__^#^",  // HY
    "_^^%_%^^^______%%__^#^",  // BA
    "%^^%%%^^^%%%%%%%%%%^#^",  // BB
    "_^^%%%^^^______%%_^^#^",  // B2
    "___________________^__",  // ZW
    "%^^%%%^^^__%%_%%%__^#^",  // CM
    "%^^%%%^^^%%%%%%%%%%^#^",  // WJ
};

// clang-format on

} // namespace

// clang-format off
TRVLineBreakClass RVLineBreakClassOf(char32_t c) {
    if (c < 0x80) {
        if (c == ' ') return C::lbSP;
        if (c == '\t') return C::lbBA;
        if (c == '\r' || c == '\n' || c == 0x0B || c == 0x0C) return C::lbBK;
        if (c >= '0' && c <= '9') return C::lbNU;
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) return C::lbAL;
        switch (c) {
        case '(': case '[': case '{': return C::lbOP;
        case ')': case ']': return C::lbCP;
        case '}': return C::lbCL;
        case '"': case '\'': return C::lbQU;
        case '!': case '?': return C::lbEX;
        case '/': return C::lbSY;
        case ',': case '.': case ':': case ';': return C::lbIS;
        case '$': case '+': case '\\': return C::lbPR;
        case '%': return C::lbPO;
        case '-': return C::lbHY;
        default: return c < 0x20 ? C::lbCM : C::lbAL;
        }
    }
    if (IsCombining(c)) return C::lbCM;
    switch (c) {
    case 0x85: case 0x2028: case 0x2029: return C::lbBK;
    case 0xA0: case 0x2007: case 0x202F: case 0x034F: case 0x180E: return C::lbGL;
    case 0x200B: return C::lbZW;
    case 0x2060: case 0xFEFF: return C::lbWJ;
    case 0xAD: case 0x2010: case 0x2012: case 0x2013: case 0x1806: case 0x2027:
    case 0x1680: case 0x205F: case 0x3000:
        return C::lbBA;
    case 0x2014: return C::lbB2;
    case 0xB4: case 0x2C8: case 0x2CC: case 0x1FFD: return C::lbBB;
    case 0x2024: case 0x2025: case 0x2026: case 0xFE19: return C::lbIN;
    case 0xAB: case 0xBB: case 0x2018: case 0x2019: case 0x201B: case 0x201C: case 0x201D:
    case 0x201F: case 0x2039: case 0x203A: return C::lbQU;
    case 0xA1: case 0xBF: return C::lbOP;
    case 0x201A: case 0x201E: case 0x2045: case 0x207D: case 0x208D: case 0x2329:
    case 0x3008: case 0x300A: case 0x300C: case 0x300E: case 0x3010: case 0x3014:
    case 0x3016: case 0x3018: case 0x301A: case 0x301D: case 0xFF08: case 0xFF3B:
    case 0xFF5B: case 0xFF5F: case 0xFF62: case 0xFE59: case 0xFE5B: case 0xFE5D:
        return C::lbOP;
    case 0x2046: case 0x207E: case 0x208E: case 0x232A: case 0x3001: case 0x3002:
    case 0x3009: case 0x300B: case 0x300D: case 0x300F: case 0x3011: case 0x3015:
    case 0x3017: case 0x3019: case 0x301B: case 0x301E: case 0x301F: case 0xFF09:
    case 0xFF0C: case 0xFF0E: case 0xFF3D: case 0xFF5D: case 0xFF60: case 0xFF61:
    case 0xFF63: case 0xFF64: case 0xFE5A: case 0xFE5C: case 0xFE5E:
        return C::lbCL;
    case 0xFF01: case 0xFF1F: case 0x61F: case 0x6D4: return C::lbEX;
    case 0xFF1A: case 0xFF1B: case 0x37E: case 0x589: case 0x60C: case 0x60D: case 0x7F8:
    case 0x2044: return C::lbIS;
    case 0xA2: case 0xB0: case 0x2030: case 0x2031: case 0x2032: case 0x2033: case 0x2034:
    case 0x2103: case 0x2109: case 0xFF05: case 0xFFE0: return C::lbPO;
    case 0xA3: case 0xA4: case 0xA5: case 0xB1: case 0x2116: case 0x2212: case 0x2213:
    case 0xFF04: case 0xFFE1: case 0xFFE5: case 0xFFE6: return C::lbPR;
    default: break;
    }
    if (c >= 0x20A0 && c <= 0x20CF) return C::lbPR;  // currency signs
    if (c >= 0x2000 && c <= 0x200A) return C::lbBA;  // the typographic spaces (U+2007 glues)
    if (IsNonStarter(c)) return C::lbNS;
    if (IsIdeographic(c)) return C::lbID;
    if ((c >= 0x0660 && c <= 0x0669) || (c >= 0x06F0 && c <= 0x06F9) ||
        (c >= 0x0966 && c <= 0x096F) || (c >= 0xFF10 && c <= 0xFF19))
        return C::lbNU;
    return C::lbAL;
}

// clang-format on

bool RVLineBreakAllowed(TRVLineBreakClass before, TRVLineBreakClass after) {
    if (before == C::lbBK) return true;
    if (after == C::lbBK || after == C::lbSP || before == C::lbSP) return false;
    return kPairTable[int(before)][int(after)] == '_';
}

} // namespace epc
