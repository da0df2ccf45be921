#pragma once
// Fonts for measuring and drawing text: faces found through fontconfig, measured and rendered
// by FreeType with integer hinted advances and no kerning, so a run's width is the sum of its
// characters' advances. A built-in face with fixed metrics ("Fixed Metrics Test") serves layout
// tests that must not depend on the installed fonts.
//
// Names: "Arial", "Times New Roman" and "Courier New" map to metric-compatible faces; the usual
// dialog faces ("MS Sans Serif", "Tahoma", "Segoe UI") to a sans face of Arial's widths; other
// unknown names to a face chosen by the pitch-and-family byte (FF_ROMAN serif, FF_MODERN or
// FIXED_PITCH monospace, else sans). "Symbol", when not installed, shows the characters its
// codes stand for (0x20..0xFF and 0xF020..0xF0FF: 'a' is alpha). Bold and italic use the real styled face when installed,
// else they are synthesized (bold widens each advance by the emboldening, italic only slants).
// Character heights are clamped to 1..2048 pixels.
//
// The built-in face "Fixed Metrics Test", for h = -Height (Height < 0), h = Height (Height > 0)
// or h = 16 (Height 0):
//   Ascent = h - h/5, Descent = h/5, Height = h, InternalLeading = ExternalLeading = 0;
//   every code point advances by w = h/2 (at least 1), or by Width when Width > 0; bold and
//   italic change nothing; AveCharWidth = MaxCharWidth = w;
//   a glyph is a solid box (coverage 255) Left = 1, Width = w - 2 (or none when w < 3),
//   from the baseline up: Top = Height = Ascent - 1 rows; blanks (controls, spaces,
//   no-break and zero-width spaces) have an empty mask;
//   UnderlinePosition = Descent/2, StrikeOutPosition = Ascent/2, both 1 pixel thick.
//
// This is the engine under the device-context text calls; components use those calls, not this.

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

struct FT_FaceRec_;
#include "platform/core/BoundState.h"

namespace epc {

inline constexpr const char16_t* kBuiltInFixedFontName = u"Fixed Metrics Test";

// What a font is asked for, in device pixels (LOGFONT semantics: a negative Height is the
// character height, a positive one the cell height, 0 a default size).
struct TFontRequest {
    std::u16string FaceName;
    int32_t Height = 0;
    int32_t Width = 0;  // 0: natural width
    int32_t Weight = 400;
    bool Italic = false;
    bool Underline = false;
    bool StrikeOut = false;
    uint8_t Charset = 1;
    uint8_t PitchAndFamily = 0;
    bool operator==(const TFontRequest&) const = default;
};

// Metrics of a sized font in device pixels, with TEXTMETRIC meanings.
struct TFontMetrics {
    int32_t Ascent = 0;
    int32_t Descent = 0;
    int32_t Height = 0;  // Ascent + Descent
    int32_t InternalLeading = 0;
    int32_t ExternalLeading = 0;
    int32_t AveCharWidth = 0;
    int32_t MaxCharWidth = 0;
    int32_t Weight = 400;
    bool Italic = false;
    bool Underline = false;
    bool StrikeOut = false;
    uint8_t PitchAndFamily = 0;
    uint8_t Charset = 0;
    // Lines are whole rows. With the baseline row b the first row below the glyph bodies
    // (cell top + Ascent), the underline covers rows b + UnderlinePosition onward and the
    // strike-out rows b - StrikeOutPosition onward, each Thickness rows.
    // PitchAndFamily as TEXTMETRIC has it: bit 0 set means variable pitch, bits 1 and 2 an
    // outline (TrueType) face, the high nibble the family (FF_ROMAN 0x10, FF_SWISS 0x20,
    // FF_MODERN 0x30).
    int32_t UnderlinePosition = 0;   // below the baseline, positive downward
    int32_t UnderlineThickness = 1;
    int32_t StrikeOutPosition = 0;   // above the baseline, positive upward
    int32_t StrikeOutThickness = 1;
};

// An 8-bit coverage mask of one glyph, placed relative to the pen position on the baseline.
struct TGlyphBitmap {
    int32_t Left = 0;  // from the pen position to the mask's left column
    int32_t Top = 0;   // from the baseline up to the mask's top row
    int32_t Width = 0;
    int32_t Height = 0;
    int32_t Pitch = 0;
    const uint8_t* Coverage = nullptr;  // Height rows of Pitch bytes, 0..255
};

// Where an outline face comes from, for output that embeds the face itself (PDF): the file
// and face index, the pixel sizes it is scaled to, and what is synthesized.
struct TFontFaceSource {
    std::string File;
    int32_t Index = 0;
    int32_t XEm = 0;
    int32_t Em = 0;
    bool SynthBold = false;
    bool SynthItalic = false;
};

// One glyph of shaped text. Positions are whole device pixels from the left edge of the text.
struct TShapedGlyph {
    int32_t Face = -1;   // the instance's face the glyph comes from; -1: Index is a code point
    uint32_t Index = 0;  // glyph index in that face (or the code point)
    int32_t X = 0;       // pen position
    int32_t OffsetX = 0; // from the pen position to the glyph's origin, rightward
    int32_t OffsetY = 0; // likewise, upward
    int32_t Advance = 0;
    int32_t Cluster = 0; // the first code unit of the text the glyph stands for
};

class TFontInstance {
public:
    virtual ~TFontInstance() = default;
    virtual const TFontMetrics& Metrics() const = 0;
    // Advance of one code point (a surrogate pair is one code point); cached.
    virtual int32_t Advance(char32_t ch) = 0;
    // The rendered glyph (grayscale antialiased); cached. Never null; empty for blanks.
    virtual const TGlyphBitmap& Glyph(char32_t ch) = 0;
    // The family actually used (after fontconfig substitution).
    virtual std::u16string FamilyName() const = 0;
    virtual const TFontRequest& Request() const = 0;
    // False for faces with no file behind them (the built-in face, remapped symbol codes).
    virtual bool FaceSource(TFontFaceSource& /*out*/) const { return false; }
    // Shapes text[start, end), one direction and one script, appending its glyphs in visual
    // order with X from 0; the whole text is context for joining. This default places one
    // glyph per code point by its advance (mirrored brackets in right-to-left runs).
    virtual void ShapeRun(const char16_t* text, int32_t count, int32_t start, int32_t end,
                          bool rightToLeft, std::vector<TShapedGlyph>& out);
    // The rendered glyph of a shaped glyph; never null.
    virtual const TGlyphBitmap& ShapedGlyph(int32_t face, uint32_t index);
    // The FreeType face FaceSource describes, already open, for output that draws with the
    // face itself; it keeps the instance alive. Null where FaceSource is false. Call with
    // LockFontFaces held, and hold it around every later use of the face: the borrower gets a
    // size object of its own, so the sizes it sets never reach measuring.
    virtual std::shared_ptr<FT_FaceRec_> LendFace() { return nullptr; }
};

// The lock of the engine's FreeType faces (see LendFace). Recursive: the last owner of an
// instance may be released while it is held.
std::unique_lock<std::recursive_mutex> LockFontFaces();

// The code points that draw nothing in any face, on the screen and on the page alike: the
// controls, the spaces (no-break, ideographic and the typographic ones), the soft hyphen, the
// line and paragraph separators, and the zero-width and byte-order characters.
bool IsBlankCodePoint(char32_t ch);

// A shared, cached instance for a request; never null (falls back to a default face).
std::shared_ptr<TFontInstance> AcquireFont(const TFontRequest& request);

// Owns and binds the text module's state (the cache of font instances) while it lives. The
// font files, FreeType and fontconfig stay shared by the whole process.
struct TTextState;
class TTextScope {
public:
    TTextScope();
    ~TTextScope();

private:
    TStateScope<TTextState> FScope;
};

// The family fontconfig picks for a name (for tests and diagnostics).
std::u16string ResolveFontFamily(const std::u16string& faceName);

}  // namespace epc
