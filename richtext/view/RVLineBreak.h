#pragma once
// Line-break opportunities inside UTF-16 text, from the Unicode line-breaking classes and the
// pair table of adjacent classes. Spaces are break positions of their own; the table decides
// between two non-space characters that touch.

#include <cstdint>

namespace epc {

// The line-breaking classes the table knows (Hangul syllables count as ideographs, the
// classes that need context beyond a pair fall back to their nearest simple class).
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
    lbSP, // spaces: a break position by themselves
    lbBK  // mandatory breaks (line and paragraph separators, CR, LF)
};

TRVLineBreakClass RVLineBreakClassOf(char32_t ch);

// True when a line may break between a character of class Before and a directly following
// character of class After (no space between them).
bool RVLineBreakAllowed(TRVLineBreakClass before, TRVLineBreakClass after);

// True for the characters the layout treats as a breaking space.
inline bool RVIsBreakSpace(char16_t c) {
    return c == u' ';
}

// The 0-based position at or before Index in Text[0 .. Length) where a line may break: a space
// at that position (the line ends before it), or a character that may begin a new line after
// its neighbour by the pair table. Position 0 is never a class break. -1 when there is none.
int RVFindLineBreakPos(const char16_t* text, int length, int index);

} // namespace epc
