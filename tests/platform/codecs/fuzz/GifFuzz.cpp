// GIF decoding of arbitrary bytes, seeded with plain, interlaced, transparent and offset frames.

#include "tests/platform/codecs/SampleImages.h"
#include "tests/platform/codecs/fuzz/FuzzCommon.h"

#include <vector>

using namespace epc;

void EpcFuzzSeeds(std::vector<std::string>& seeds) {
    samples::TGifSample sample;
    seeds.push_back(samples::MakeGif(sample));
    sample.Interlace = true;
    sample.Height = sample.ScreenHeight = 11;
    seeds.push_back(samples::MakeGif(sample));
    sample.Interlace = false;
    sample.ScreenWidth = 12;
    sample.Left = 3;
    sample.Top = 1;
    sample.Height = 6;
    sample.TransparentIndex = 1;
    sample.LocalMap = true;
    seeds.push_back(samples::MakeGif(sample));
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::DecodeAndRoundTrip(DecodeGif, data, size);
    return 0;
}
