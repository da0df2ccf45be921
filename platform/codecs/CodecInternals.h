#pragma once
// Checks shared by the picture decoders: every failure is an EInvalidGraphic naming the format.

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/codecs/ImageCodecs.h"

namespace epc::codecs {

// The largest picture a decoder accepts: per side and in total.
inline constexpr int64_t kMaxSide = 32768;
inline constexpr int64_t kMaxPixels = int64_t(1) << 28;

[[noreturn]] void Fail(const char* format, const std::string& detail);

// Raises unless 1 <= width, height <= kMaxSide and width * height <= kMaxPixels.
void CheckDimensions(const char* format, int64_t width, int64_t height);

// Raises when a compressed stream of dataSize bytes cannot possibly hold this many pixels
// (pixelsPerByte is a generous bound on the format's best compression), so a few corrupted
// header bytes never make us allocate gigabytes.
void CheckPlausible(const char* format, int64_t pixels, size_t dataSize, int64_t pixelsPerByte);

// The encoded bytes a library's read callback takes in order.
struct TByteSource {
    const uint8_t* Data = nullptr;
    size_t Size = 0;
    size_t Pos = 0;

    size_t Left() const { return Size - Pos; }
    // Copies up to count bytes to out; returns how many were left to copy.
    size_t Read(void* out, size_t count);
};

// Sets HasAlpha from the pixels.
void UpdateHasAlpha(TDecodedImage& image);

// Raises unless the image is non-empty and holds Width * Height pixels.
void CheckEncodable(const char* format, const TDecodedImage& image);

}  // namespace epc::codecs
