// JPEG decoding of arbitrary bytes, seeded with gray, colour, CMYK, progressive, restart-marked
// and arithmetic-coded files.

#include "tests/platform/codecs/SampleImages.h"
#include "tests/platform/codecs/fuzz/FuzzCommon.h"

#include <vector>

using namespace epc;

void EpcFuzzSeeds(std::vector<std::string>& seeds) {
    seeds.push_back(samples::MakeJpeg(16, 8, samples::TJpegKind::Gray));
    seeds.push_back(samples::MakeJpeg(17, 9, samples::TJpegKind::Rgb, false, 50));
    seeds.push_back(samples::MakeJpeg(16, 16, samples::TJpegKind::Rgb, true));
    seeds.push_back(samples::MakeJpeg(8, 8, samples::TJpegKind::Cmyk));
    seeds.push_back(samples::MakeJpeg(24, 16, samples::TJpegKind::Rgb, false, 75, true));
    seeds.push_back(samples::MakeJpeg(16, 16, samples::TJpegKind::Gray, true, 80, false, true));
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::DecodeAndRoundTrip(DecodeJpeg, data, size);
    return 0;
}
