// GIF decoding of arbitrary bytes, seeded with plain, interlaced, transparent and offset frames.

#include "tests/platform/codecs/SampleImages.h"
#include "tests/platform/codecs/fuzz/FuzzCommon.h"

#include <vector>

using namespace epc;

void EpcFuzzSeeds(std::vector<std::string>& seeds) {
    samples::TGifSpec spec;
    seeds.push_back(samples::MakeGif(spec));
    spec.Interlace = true;
    spec.Height = spec.ScreenHeight = 11;
    seeds.push_back(samples::MakeGif(spec));
    spec.Interlace = false;
    spec.ScreenWidth = 12;
    spec.Left = 3;
    spec.Top = 1;
    spec.Height = 6;
    spec.TransparentIndex = 1;
    spec.LocalMap = true;
    seeds.push_back(samples::MakeGif(spec));
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::DecodeAndRoundTrip(DecodeGif, data, size);
    return 0;
}
