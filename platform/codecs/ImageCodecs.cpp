// Format detection and the checks every decoder shares.

#include "platform/codecs/ImageCodecs.h"

#include <algorithm>
#include <cstring>

#include "platform/codecs/CodecInternals.h"
#include "platform/core/Exceptions.h"

namespace epc {

namespace codecs {

void Fail(const char* format, const std::string& detail) {
    throw EInvalidGraphic(std::string("Invalid ") + format + " image: " + detail);
}

void CheckDimensions(const char* format, int64_t width, int64_t height) {
    if (width <= 0 || height <= 0)
        Fail(format, "empty picture (" + std::to_string(width) + " x " + std::to_string(height) +
                         " pixels)");
    if (width > kMaxSide || height > kMaxSide || width * height > kMaxPixels)
        Fail(format, "picture too large (" + std::to_string(width) + " x " +
                         std::to_string(height) + " pixels)");
}

void CheckPlausible(const char* format, int64_t pixels, size_t dataSize, int64_t pixelsPerByte) {
    // Small pictures always pass; the bound only matters for claims of many megapixels.
    constexpr int64_t kAlwaysAllowed = int64_t(1) << 20;
    if (pixels > kAlwaysAllowed && pixels / pixelsPerByte > static_cast<int64_t>(dataSize))
        Fail(format, "data too short for a picture of " + std::to_string(pixels) + " pixels");
}

size_t TByteSource::Read(void* out, size_t count) {
    count = std::min(count, Left());
    if (count > 0) std::memcpy(out, Data + Pos, count);
    Pos += count;
    return count;
}

void UpdateHasAlpha(TDecodedImage& image) {
    image.HasAlpha = false;
    for (uint32_t p : image.Pixels)
        if ((p >> 24) != 0xFF) {
            image.HasAlpha = true;
            return;
        }
}

void CheckEncodable(const char* format, const TDecodedImage& image) {
    if (image.Width <= 0 || image.Height <= 0)
        throw EInvalidGraphic(std::string("Cannot write an empty ") + format + " image");
    if (image.Width > kMaxSide || image.Height > kMaxSide ||
        image.Pixels.size() != static_cast<size_t>(image.Width) * image.Height)
        throw EInvalidGraphic(std::string("Cannot write a ") + format +
                              " image: pixel count does not match its size");
}

}  // namespace codecs

TImageFormat DetectImageFormat(const uint8_t* data, size_t size) {
    if (!data) return TImageFormat::Unknown;
    static const uint8_t png[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    if (size >= 8 && std::memcmp(data, png, 8) == 0) return TImageFormat::Png;
    if (size >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF)
        return TImageFormat::Jpeg;
    if (size >= 6 && (std::memcmp(data, "GIF87a", 6) == 0 || std::memcmp(data, "GIF89a", 6) == 0))
        return TImageFormat::Gif;
    if (size >= 2 && data[0] == 'B' && data[1] == 'M') return TImageFormat::Bmp;
    return TImageFormat::Unknown;
}

TDecodedImage DecodeImage(const uint8_t* data, size_t size) {
    switch (DetectImageFormat(data, size)) {
    case TImageFormat::Png: return DecodePng(data, size);
    case TImageFormat::Jpeg: return DecodeJpeg(data, size);
    case TImageFormat::Gif: return DecodeGif(data, size);
    case TImageFormat::Bmp: return DecodeBmp(data, size);
    default: throw EInvalidGraphic("Unknown picture format");
    }
}

}  // namespace epc
