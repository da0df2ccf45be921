// PNG decoding of arbitrary bytes, seeded with every colour type, depth and ancillary chunk.

#include "tests/platform/codecs/SampleImages.h"
#include "tests/platform/codecs/fuzz/FuzzCommon.h"

#include <zlib.h>

#include <vector>

using namespace epc;

void EpcFuzzSeeds(std::vector<std::string>& seeds) {
    TDecodedImage img;
    img.Width = 6;
    img.Height = 5;
    for (int i = 0; i < 30; ++i) img.Pixels.push_back(0xFF000000u | uint32_t(i * 0x030507));
    seeds.push_back(EncodePng(img));
    img.Pixels[3] = 0x40112233u;
    img.HasGamma = true;
    img.Gamma = 0.45455;
    img.DpiX = img.DpiY = 300;
    seeds.push_back(EncodePng(img));
    TDecodedImage pal;
    pal.Width = 7;
    pal.Height = 3;
    pal.ColorType = 3;
    pal.BitDepth = 4;
    pal.Palette = {{1, 2, 3}, {40, 50, 60}, {200, 100, 0}};
    pal.PaletteAlpha = {0, 128};
    for (int i = 0; i < 21; ++i)
        pal.Pixels.push_back(i % 3 == 0 ? 0x00010203u : i % 3 == 1 ? 0x8028323Cu : 0xFFC86400u);
    seeds.push_back(EncodePng(pal));

    samples::TPngSample gray;
    gray.Width = 9;
    gray.Height = 9;
    gray.ColorType = PNG_COLOR_TYPE_GRAY;
    gray.BitDepth = 2;
    gray.Interlace = true;
    gray.Rows.assign(9, std::vector<uint8_t>(3, 0x1B));
    gray.KeyColor = true;
    gray.Key.gray = 1;
    seeds.push_back(samples::MakePng(gray));
    samples::TPngSample deep;
    deep.Width = 3;
    deep.Height = 2;
    deep.ColorType = PNG_COLOR_TYPE_RGB;
    deep.BitDepth = 16;
    deep.Rows.assign(2, std::vector<uint8_t>(18, 0x5A));
    deep.KeyColor = true;
    deep.Key.red = deep.Key.green = deep.Key.blue = 0x5A5A;
    seeds.push_back(samples::MakePng(deep));
    samples::TPngSample ga;
    ga.Width = 4;
    ga.Height = 4;
    ga.ColorType = PNG_COLOR_TYPE_GRAY_ALPHA;
    ga.Rows.assign(4, std::vector<uint8_t>(8, 0x77));
    seeds.push_back(samples::MakePng(ga));
}

namespace {

// A copy of the input with every complete chunk's checksum made right, so mutated chunk
// contents get past the checksum test and reach the decompressor and the transformations.
std::string WithFixedChecksums(const uint8_t* data, size_t size) {
    std::string s(reinterpret_cast<const char*>(data), size);
    size_t pos = 8;
    while (pos + 12 <= s.size()) {
        const auto* p = reinterpret_cast<const uint8_t*>(s.data() + pos);
        uint32_t length = uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
        if (length > s.size() - pos - 12) break;
        uint32_t crc = static_cast<uint32_t>(
            crc32(0, reinterpret_cast<const Bytef*>(s.data() + pos + 4), length + 4));
        for (int i = 0; i < 4; ++i)
            s[pos + 8 + length + i] = static_cast<char>(crc >> (24 - 8 * i));
        pos += 12 + length;
    }
    return s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::DecodeAndRoundTrip(DecodePng, data, size);
    if (size > 8) {
        std::string fixed = WithFixedChecksums(data, size);
        fuzz::DecodeAndRoundTrip(DecodePng, reinterpret_cast<const uint8_t*>(fixed.data()),
                                 fixed.size());
    }
    return 0;
}
