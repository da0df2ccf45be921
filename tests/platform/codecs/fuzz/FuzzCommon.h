#pragma once
// Runs one decoder on arbitrary bytes: it may only raise EInvalidGraphic. A small decoded
// picture is written back as PNG and read again, which must reproduce what it shows.

#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/codecs/ImageCodecs.h"
#include "platform/core/Exceptions.h"

namespace epc::fuzz {

template <typename Decoder>
void DecodeAndRoundTrip(Decoder decode, const uint8_t* data, size_t size) {
    TDecodedImage image;
    try {
        image = decode(data, size);
    } catch (const EInvalidGraphic&) {
        return;
    }
    if (image.Width <= 0 || image.Height <= 0 ||
        image.Pixels.size() != static_cast<size_t>(image.Width) * image.Height)
        std::abort();
    if (image.Pixels.size() > 4096) return;
    std::string png = EncodePng(image);
    TDecodedImage again =
        DecodePng(reinterpret_cast<const uint8_t*>(png.data()), png.size());
    // The colour under a fully transparent pixel may change; nothing else may.
    auto visible = [](uint32_t p) { return (p >> 24) == 0 ? 0u : p; };
    if (again.Pixels.size() != image.Pixels.size()) std::abort();
    for (size_t i = 0; i < image.Pixels.size(); ++i)
        if (visible(again.Pixels[i]) != visible(image.Pixels[i])) std::abort();
}

}  // namespace epc::fuzz
