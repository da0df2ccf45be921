// The built-in face with fixed metrics (see FontEngine.h): every glyph the same box, so
// layout tests can compute every position by hand.

#include <algorithm>
#include <vector>

#include "platform/text/FontInternals.h"

namespace epc::fontengine {

namespace {

class TBuiltInFont final : public TFontInstance {
public:
    explicit TBuiltInFont(const TFontRequest& request) : FRequest(request) {
        int64_t raw = request.Height;
        int32_t h = static_cast<int32_t>(std::min<int64_t>(raw < 0 ? -raw : raw > 0 ? raw : 16,
                                                           2048));
        int32_t advance = request.Width > 0 ? std::min<int32_t>(request.Width, 2048)
                                            : std::max<int32_t>(1, h / 2);
        FAdvance = advance;

        TFontMetrics& m = FMetrics;
        m.Descent = h / 5;
        m.Ascent = h - m.Descent;
        m.Height = h;
        m.InternalLeading = 0;
        m.ExternalLeading = 0;
        m.AveCharWidth = advance;
        m.MaxCharWidth = advance;
        m.Weight = request.Weight > 0 ? request.Weight : 400;
        m.Italic = request.Italic;
        m.Underline = request.Underline;
        m.StrikeOut = request.StrikeOut;
        m.PitchAndFamily = 0x30 | 0x06;  // FF_MODERN, outline, fixed pitch (bit 0 clear)
        m.Charset = request.Charset == 1 ? 0 : request.Charset;
        m.UnderlinePosition = m.Descent / 2;
        m.UnderlineThickness = 1;
        m.StrikeOutPosition = m.Ascent / 2;
        m.StrikeOutThickness = 1;

        int32_t boxWidth = advance >= 3 ? advance - 2 : 0;
        int32_t boxHeight = std::max<int32_t>(0, m.Ascent - 1);
        if (boxWidth > 0 && boxHeight > 0) {
            FBoxPixels.assign(static_cast<size_t>(boxWidth) * boxHeight, 255);
            FBox.Left = 1;
            FBox.Top = boxHeight;
            FBox.Width = boxWidth;
            FBox.Height = boxHeight;
            FBox.Pitch = boxWidth;
            FBox.Coverage = FBoxPixels.data();
        } else {
            FBox = FEmpty;
        }
    }

    const TFontMetrics& Metrics() const override { return FMetrics; }
    int32_t Advance(char32_t) override { return FAdvance; }
    const TGlyphBitmap& Glyph(char32_t ch) override {
        return IsBlankCodePoint(ch) ? FEmpty : FBox;
    }
    std::u16string FamilyName() const override { return kBuiltInFixedFontName; }
    const TFontRequest& Request() const override { return FRequest; }

private:
    TFontRequest FRequest;
    TFontMetrics FMetrics;
    int32_t FAdvance = 1;
    std::vector<uint8_t> FBoxPixels;
    TGlyphBitmap FBox;
    TGlyphBitmap FEmpty;
};

}  // namespace

std::shared_ptr<TFontInstance> CreateBuiltInFont(const TFontRequest& request) {
    return std::make_shared<TBuiltInFont>(request);
}

}  // namespace epc::fontengine
