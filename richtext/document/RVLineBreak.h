#pragma once
// Line-breaking classes of characters (the Unicode line-breaking classes, as the Unicode library
// gives them) and the rules that say whether a line may break between two touching characters.

#include <cstdint>

namespace epc {

// The classes after resolving the ones the rules do not use: ambiguous, surrogate and unknown
// characters are alphabetic; South-East Asian letters are alphabetic and their marks combining;
// conditional Japanese starters are non-starters; CR, LF and NEL are mandatory breaks. Only the
// plain space is lbSP.
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
    lbZWJ, // the zero-width joiner: nothing breaks after it
    lbCB,
    lbEB,
    lbEM,
    lbH2,
    lbH3,
    lbHL,
    lbJL,
    lbJV,
    lbJT,
    lbRI,
    lbSP, // the space: a break position by itself
    lbBK  // mandatory breaks (line and paragraph separators, CR, LF)
};

TRVLineBreakClass RVLineBreakClassOf(char32_t ch);

// True when a line may break between a character of class `before` and a directly following
// character of class `after`, as far as the two classes tell (rules that look further, at numbers,
// Hebrew hyphens, flags and East Asian brackets, are the search's). A space on either side
// answers false: the layout breaks at spaces by its own rule.
bool RVLineBreakAllowed(TRVLineBreakClass before, TRVLineBreakClass after);

// The search behind FindLineBreakPosW (RVUni.h): the position at or before `index` where a line
// may break, a space or a position the rules allow; -1 when there is none.
int RVFindLineBreakPos(const char16_t* text, int length, int index);

} // namespace epc
