#pragma once
// Fonts for measuring and drawing text: faces found through fontconfig, measured and rendered
// by FreeType with integer hinted advances and no kerning, so a run's width is the sum of its
// characters' advances. A built-in face with fixed metrics ("Fixed Metrics Test") serves layout
// tests that must not depend on the installed fonts.
//
// This is the engine under the device-context text calls; components use those calls, not this.

#include <cstdint>
#include <memory>
#include <string>

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
};

// A shared, cached instance for a request; never null (falls back to a default face).
std::shared_ptr<TFontInstance> AcquireFont(const TFontRequest& request);

// The family fontconfig picks for a name (for tests and diagnostics).
std::u16string ResolveFontFamily(const std::u16string& faceName);

}  // namespace epc
