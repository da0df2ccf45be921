#pragma once
// Line-breaking classes of characters (after the Unicode line-breaking classes) and the pair
// table that says whether a line may break between two touching characters. The search for a
// break position in a text is FindLineBreakPosW (RVUni.h).

#include <cstdint>

namespace epc {

// The classes the table knows. Hangul syllables count as ideographs; classes that need more
// context than a pair fall back to their nearest simple class. Only the plain space is lbSP
// (other spaces break after themselves, lbBA, or glue, lbGL).
enum class TRVLineBreakClass : uint8_t {
    lbOP,
    lbCL,
    lbCP,
    lbQU,
    lbGL,
    lbNS,
    lbEX,
    lbSY,
    lbIS,
    lbPR,
    lbPO,
    lbNU,
    lbAL,
    lbID,
    lbIN,
    lbHY,
    lbBA,
    lbBB,
    lbB2,
    lbZW,
    lbCM,
    lbWJ,
    lbSP, // the space: a break position by itself
    lbBK  // mandatory breaks (line and paragraph separators, CR, LF)
};

TRVLineBreakClass RVLineBreakClassOf(char32_t ch);

// True when a line may break between a character of class Before and a directly following
// character of class After (no space between them).
bool RVLineBreakAllowed(TRVLineBreakClass before, TRVLineBreakClass after);

} // namespace epc
