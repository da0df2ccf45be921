#pragma once
// A PNG picture that keeps what the file said about its colours: colour type, bit depth,
// palette, transparency (an alpha channel, tRNS alpha per palette entry, or one transparent
// colour) and whether a gAMA chunk was present. It draws into a rectangle blending its alpha
// over what is there, with the file's gamma applied unless the chunk was removed.
//
// Samples are held with 8 bits each whatever the file's bit depth. Scanline(row) gives, per
// colour type: 2 and 6 B, G, R per pixel; 0 and 4 one gray byte; 3 one palette index.
// AlphaScanline(row) gives one alpha byte per pixel for types 4 and 6 (nullptr otherwise).

#include <cstdint>
#include <string>
#include <vector>

#include "platform/codecs/ImageCodecs.h"
#include "platform/graphics/Graphics.h"
#include "platform/graphics/PixelDraw.h"

namespace epc {

// PNG colour types.
enum : uint8_t {
    COLOR_GRAYSCALE = 0,
    COLOR_RGB = 2,
    COLOR_PALETTE = 3,
    COLOR_GRAYSCALEALPHA = 4,
    COLOR_RGBALPHA = 6
};

enum TPngTransparencyMode : uint8_t { ptmNone, ptmBit, ptmPartial };

struct TPngHeader {
    int32_t Width = 0;
    int32_t Height = 0;
    uint8_t BitDepth = 8;
    uint8_t ColorType = COLOR_RGB;
    uint8_t CompressionMethod = 0;
    uint8_t FilterMethod = 0;
    uint8_t InterlaceMethod = 0;
};

class TBitmap;

class TPngImage : public TGraphic {
public:
    TPngImage() = default;
    std::string ClassName() const override { return "TPngImage"; }

    // From a TPngImage: an exact copy. From a TBitmap: an RGB image of its pixels, with the
    // bitmap's transparent colour when it is transparent.
    void Assign(TPersistent* source) override;

    // A new image of the given type, all samples 0 (alpha 0 for types 4 and 6); bit depth 8
    // is the only one kept in memory, other depths are remembered for the header.
    void CreateBlank(uint8_t colorType, uint8_t bitDepth, int width, int height);

    const TPngHeader& Header() const { return FHeader; }
    uint8_t ColorType() const { return FHeader.ColorType; }
    uint8_t BitDepth() const { return FHeader.BitDepth; }
    int Width() const override { return FHeader.Width; }
    int Height() const override { return FHeader.Height; }
    void SetWidth(int value) override { Resize(value, FHeader.Height); }
    void SetHeight(int value) override { Resize(FHeader.Width, value); }
    // Keeps the overlapping part; new pixels are 0 (transparent where there is alpha).
    void Resize(int width, int height);
    bool Empty() const override { return FHeader.Width == 0 || FHeader.Height == 0; }
    bool Transparent() const override { return TransparencyMode() != ptmNone; }

    // Row access; rows outside the image raise EInvalidGraphicOperation. Using either marks
    // the image changed for drawing.
    uint8_t* Scanline(int row);
    uint8_t* AlphaScanline(int row);
    int SamplesPerPixel() const;

    // The colour of one pixel (palette entries resolved), and setting it (palette images take
    // the nearest entry). Out-of-range pixels read as clNone and are not written.
    TColor Pixels(int x, int y) const;
    void SetPixels(int x, int y, TColor value);

    // ptmPartial for an alpha channel or palette alphas between 0 and 255, ptmBit for one
    // transparent colour or palette alphas of only 0 and 255, else ptmNone.
    TPngTransparencyMode TransparencyMode() const;
    // The colour drawn transparent in ptmBit mode (clNone otherwise).
    TColor TransparentColor() const;
    // Types 0 and 2 get that single transparent colour; palette images make the matching
    // entries transparent; other types are left as they are.
    void SetTransparentColor(TColor value);
    // Drops the alpha channel, tRNS and the transparent colour.
    void RemoveTransparency();
    // Gives types 0, 2 and 3 an alpha channel (types 4 or 6; palette images become 6), the
    // alpha taken from the current transparency.
    void CreateAlpha();

    std::vector<TPaletteEntry>& Palette() { return FPalette; }
    const std::vector<TPaletteEntry>& Palette() const { return FPalette; }
    // tRNS alpha per palette entry (entries beyond its end are opaque).
    std::vector<uint8_t>& PaletteAlpha() { return FPaletteAlpha; }
    // Call after changing Palette() or PaletteAlpha() directly.
    void PaletteChanged();

    bool HasGamma() const { return FHasGamma; }
    double Gamma() const { return FGamma; }
    void SetGamma(double value);
    // Removes the gAMA chunk, so that drawing applies no gamma correction.
    void RemoveGamma();

    // The image as straight-alpha 0xAARRGGBB pixels, gamma not applied.
    TDecodedImage ToImage() const;
    void LoadFromImage(const TDecodedImage& image);

    void Draw(TCanvas* canvas, const TRect& rect) override;
    void LoadFromStream(TStream& stream) override;
    // Writes the image's colour type with 8 bits per sample, its palette, tRNS and gAMA.
    void SaveToStream(TStream& stream) override;

protected:
    void Changed(TObject* sender = nullptr) override;

private:
    void CheckRow(int row) const;
    uint32_t PixelArgb(size_t index) const; // straight alpha, no gamma
    TPngRaster ToRaster() const;
    void RenderCache();

    TPngHeader FHeader;
    std::vector<uint8_t> FData;  // samples (SamplesPerPixel per pixel)
    std::vector<uint8_t> FAlpha; // types 4 and 6
    std::vector<TPaletteEntry> FPalette;
    std::vector<uint8_t> FPaletteAlpha;
    bool FHasTransparentColor = false;
    uint32_t FTransparentRgb = 0; // 0x00RRGGBB (gray images: R = G = B)
    bool FHasGamma = false;
    double FGamma = 0;
    TDibCache FCache;
};

} // namespace epc
