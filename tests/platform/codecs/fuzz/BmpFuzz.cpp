// BMP decoding of arbitrary bytes, seeded with every bit count, masks, row order and
// run-length coding.

#include "tests/platform/codecs/SampleImages.h"
#include "tests/platform/codecs/fuzz/FuzzCommon.h"

#include <vector>

using namespace epc;

void EpcFuzzSeeds(std::vector<std::string>& seeds) {
    TDecodedImage img;
    img.Width = 5;
    img.Height = 3;
    for (int i = 0; i < 15; ++i) img.Pixels.push_back(uint32_t(i * 17) << 24 | uint32_t(i * 0x0A0B0C));
    seeds.push_back(EncodeBmp(img, 24));
    seeds.push_back(EncodeBmp(img, 32));
    const std::vector<uint32_t> pal = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF};
    seeds.push_back(samples::MakeBmp(9, 2, 1, 0, {}, {0, 0xFFFFFF},
                                     {std::string("\xA5\x80\0\0", 4), std::string("\x5A\x00\0\0", 4)}));
    seeds.push_back(samples::MakeBmp(5, -2, 4, 0, {}, pal,
                                     {std::string("\x01\x23\x10\0", 4), std::string("\x32\x10\x00\0", 4)}));
    seeds.push_back(samples::MakeBmp(3, 2, 8, 0, {}, pal,
                                     {std::string("\x00\x01\x02\0", 4), std::string("\x03\x02\x01\0", 4)}));
    seeds.push_back(samples::MakeBmp(2, 2, 16, 3, {0xF800, 0x07E0, 0x001F}, {},
                                     {std::string("\xE0\x07\x1F\x00", 4), std::string("\x00\xF8\xFF\xFF", 4)}));
    seeds.push_back(samples::MakeBmp(4, 2, 8, 1, {}, pal,
                                     {std::string("\x02\x01\x00\x03\x02\x03\x01\x00\x00\x00"
                                                  "\x00\x02\x01\x00\x01\x03\x00\x01", 18)}));
    seeds.push_back(samples::MakeBmp(5, 2, 4, 2, {}, pal,
                                     {std::string("\x05\x12\x00\x00\x00\x03\x32\x10\x00\x01", 10)}));
    seeds.push_back(samples::MakeBmp(1, 1, 32, 3, {0xFF, 0xFF00, 0xFF0000}, {},
                                     {std::string("\x11\x22\x33\x44", 4)}));
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::DecodeAndRoundTrip(DecodeBmp, data, size);
    return 0;
}
