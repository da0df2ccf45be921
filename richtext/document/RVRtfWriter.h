#pragma once
// The state of one RTF write, shared by the document writer and the items that write
// themselves (tables and their cell documents).

#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/core/Color.h"
#include "richtext/document/RVClasses.h"
#include "richtext/document/RVTypes.h"

namespace epc {

class TRVStyle;

// Areas of the extra-code hook.
enum : int { rvrtfaCell = 2, rvrtfaRow = 3 };

struct TRVRTFFont {
    std::string Name;
    int Charset = 0; // as written in \fcharset
};

class TRVRTFWriteContext {
public:
    // The colour table: entry 0 of \colortbl is "auto", so the colour at position I is
    // written as index I + 1.
    TRVColorList Colors;
    std::vector<TRVRTFFont> Fonts;
    // Document pixels to twips.
    double TwipsPerPixel = 15.0;
    // Table nesting of the data being written: 0 for the main document.
    int Level = 0;
    // Set by a table after its last row: the next paragraph is not preceded by \par.
    bool TableJustClosed = false;
    // The code page of \ansicpg: 8-bit text of fonts with the default charset.
    uint32_t CodePage = 1252;
    // The document's RTF options: the style sheet (paragraph style N is \sN, text style N the
    // character style \cs(N + ParaStyleCount)), Unicode text with an 8-bit fallback, the picture
    // kinds.
    TRVRTFOptions Options = TRVRTFOptions::FromBits(14);
    int ParaStyleCount = 0;
    bool SavesStyleSheet() const { return Options.Contains(TRVRTFOption::rvrtfSaveStyleSheet); }

    // \cf-style index of a colour; 0 (auto) for clNone or a colour not in the table.
    int ColorIndex(TColor color) const;
    // The same for text and line colours, where 0 (auto) stands for clWindowText.
    int ColorRef(TColor color) const { return color == clWindowText ? 0 : ColorIndex(color); }
    // Index of a font in the font table, added when absent.
    int FontIndex(const std::string& name, int charset);
    int Twips(double pixels) const { return int(std::nearbyint(pixels * TwipsPerPixel)); }
    // Text outside the body (font, style and bookmark names, link targets) as body text goes:
    // \uN with a fallback byte in CodePage (or the code page given) when the options duplicate
    // Unicode.
    void AppendNameText(std::string& out, std::u16string_view text, uint32_t codePage = 0) const;
};

// The font table of a style sheet: one entry per distinct name and charset of its text styles
// and list-level fonts.
void BuildRtfFontTable(const TRVStyle* style, TRVRTFWriteContext& ctx);
// The charset written for a style's charset (DEFAULT_CHARSET becomes that of CodePage).
int RtfCharsetOf(int charset, uint32_t codePage);

// Escapes UTF-16 text as RTF: \uN with an 8-bit fallback in CodePage ('?' when it has none;
// no fallback without Duplicate, for output under \uc0), \tab for TAB, \\, \{ and \} escaped.
void AppendRtfUnicode(std::string& out, std::u16string_view text, uint32_t codePage,
                      bool duplicate = true);
// Escapes 8-bit text as RTF: bytes from 0x80 and control characters as \'hh.
void AppendRtfAnsi(std::string& out, std::string_view text);

} // namespace epc
