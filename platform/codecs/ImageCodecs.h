#pragma once
// Decoders and encoders of stored pictures: PNG (libpng), JPEG (libjpeg-turbo), GIF (giflib)
// and BMP (our own). Decoders never crash on bad input: they raise EInvalidGraphic with a
// message naming the format and what is wrong.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace epc {

enum class TImageFormat { Unknown, Png, Jpeg, Gif, Bmp };

// The format a buffer starts like, by its signature.
TImageFormat DetectImageFormat(const uint8_t* data, size_t size);

struct TPaletteEntry {
    uint8_t Red = 0, Green = 0, Blue = 0;
    bool operator==(const TPaletteEntry&) const = default;
};

// A decoded picture: top-down rows of 0xAARRGGBB pixels with straight (not premultiplied)
// alpha, plus what the source said about its colours.
struct TDecodedImage {
    int32_t Width = 0;
    int32_t Height = 0;
    std::vector<uint32_t> Pixels;  // Width * Height
    bool HasAlpha = false;         // some pixel is not fully opaque

    // As stored (PNG colour types: 0 gray, 2 RGB, 3 palette, 4 gray+alpha, 6 RGBA; other
    // formats report the nearest).
    int32_t ColorType = 6;
    int32_t BitDepth = 8;
    std::vector<TPaletteEntry> Palette;
    std::vector<uint8_t> PaletteAlpha;     // tRNS for palette images
    bool HasTransparentColor = false;      // tRNS single colour (gray or RGB images), GIF key
    uint32_t TransparentColor = 0;         // 0x00RRGGBB
    bool HasGamma = false;                 // gAMA chunk present
    double Gamma = 0;
    int32_t DpiX = 0, DpiY = 0;            // 0 when not stored
};

// By signature; raises EInvalidGraphic "Unknown picture format" when none matches.
TDecodedImage DecodeImage(const uint8_t* data, size_t size);

// ---- PNG ----------------------------------------------------------------------------------

TDecodedImage DecodePng(const uint8_t* data, size_t size);

// PNG of the pixels: RGBA when any alpha is below 255 (or when keepAlpha), else RGB. When the
// image has a palette colour type (3) with a palette, it is written as a palette image.
std::string EncodePng(const TDecodedImage& image, bool keepAlpha = false);

// A picture as the PNG file stores it, for writers that keep their own sample layout.
struct TPngRaster {
    int32_t Width = 0;
    int32_t Height = 0;
    int32_t ColorType = 2;
    int32_t BitDepth = 8;
    // Height rows of RowBytes() each, samples in file order (R, G, B, A; gray, A; or indices).
    std::vector<uint8_t> Rows;
    std::vector<TPaletteEntry> Palette;
    std::vector<uint8_t> PaletteAlpha; // tRNS of a palette image
    bool HasTransparentColor = false;  // tRNS single colour (gray images use its low byte)
    uint32_t TransparentColor = 0;     // 0x00RRGGBB
    bool HasGamma = false;
    double Gamma = 0;
    int32_t DpiX = 0, DpiY = 0; // pHYs when both are set
    // Fast: light deflate and simple filters, the screenshot case; else libpng's defaults.
    bool Fast = true;

    size_t RowBytes() const;
};

// Raises EInvalidGraphic when libpng refuses the raster.
std::string EncodePngRaster(const TPngRaster& raster);

// ---- JPEG ---------------------------------------------------------------------------------

TDecodedImage DecodeJpeg(const uint8_t* data, size_t size);
// Encodes pixels as a baseline JPEG (quality 1..100); alpha is dropped.
std::string EncodeJpeg(const TDecodedImage& image, int quality = 90, bool grayscale = false);

// ---- GIF ----------------------------------------------------------------------------------

TDecodedImage DecodeGif(const uint8_t* data, size_t size); // the first frame
// Encodes pixels as a GIF: an exact palette when there are at most 256 colours (pixels with
// alpha below 128 become the transparent index), else a 6x6x6 colour cube.
std::string EncodeGif(const TDecodedImage& image);

// ---- BMP ----------------------------------------------------------------------------------

TDecodedImage DecodeBmp(const uint8_t* data, size_t size);
// A 24- or 32-bit bottom-up BMP file.
std::string EncodeBmp(const TDecodedImage& image, int bitsPerPixel = 24);

}  // namespace epc
