#pragma once
// Layout of text that needs more than adding advances: runs of right-to-left scripts are
// reordered by the Unicode bidirectional algorithm and joining or reordering scripts are
// shaped, with the faces the font instance chose. Plain left-to-right text never comes here:
// NeedsComplexLayout tells the text calls which path a run takes.

#include <cstdint>
#include <vector>

#include "platform/text/FontEngine.h"

namespace epc {

// Code points below this never need reordering or shaping (Latin, Greek, Cyrillic and their
// marks are drawn glyph by glyph).
inline constexpr char32_t kFirstComplexCodePoint = 0x0590;

// Whether a code point makes its run need reordering or shaping: right-to-left letters,
// scripts that join or reorder, and the directional formatting characters.
bool IsComplexCodePoint(char32_t ch);

// Whether any code point of the text does (surrogate pairs decoded).
bool NeedsComplexLayout(const char16_t* text, int32_t count);

// Whether a code point stays with the character before it, in its cluster and its face: a
// mark or a joiner.
bool ContinuesCluster(char32_t ch);

struct TTextLayout {
    std::vector<TShapedGlyph> Glyphs; // left to right
    int32_t Width = 0;                // advances and character extra
    // Per code unit, in logical order:
    std::vector<int32_t> Caret;       // x of the caret before the unit (its leading edge)
    std::vector<int32_t> Advance;     // the unit's share of the width; the shares add up
    std::vector<uint8_t> Levels;      // bidirectional embedding level (odd: right to left)
    std::vector<int32_t> VisualIndex; // where the unit goes in visual order
};

// Lays out text with a right-to-left or left-to-right paragraph direction; CharExtra pixels
// follow every code point. False when the bidirectional algorithm fails.
bool LayoutComplexText(TFontInstance& font, const char16_t* text, int32_t count, bool rightToLeft,
                       int32_t charExtra, TTextLayout& out);

} // namespace epc
