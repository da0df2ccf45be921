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

TDecodedImage DecodePng(const uint8_t* data, size_t size);
TDecodedImage DecodeJpeg(const uint8_t* data, size_t size);
TDecodedImage DecodeGif(const uint8_t* data, size_t size);  // the first frame
TDecodedImage DecodeBmp(const uint8_t* data, size_t size);
// By signature; raises EInvalidGraphic "Unknown picture format" when none matches.
TDecodedImage DecodeImage(const uint8_t* data, size_t size);

// PNG of the pixels: RGBA when any alpha is below 255 (or when keepAlpha), else RGB. When the
// image has a palette colour type (3) with a palette, it is written as a palette image.
std::string EncodePng(const TDecodedImage& image, bool keepAlpha = false);
// A 24- or 32-bit bottom-up BMP file.
std::string EncodeBmp(const TDecodedImage& image, int bitsPerPixel = 24);

}  // namespace epc
