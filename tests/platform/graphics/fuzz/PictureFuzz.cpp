// Loading arbitrary bytes as a picture of whatever format they look like, then drawing it:
// bad data must raise, never crash. Seeded with an icon, metafiles and a palette PNG.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/graphics/Bitmap.h"
#include "platform/graphics/Icon.h"
#include "platform/graphics/PngImage.h"

using namespace epc;

void EpcFuzzSeeds(std::vector<std::string>& seeds) {
    TBitmap colour(5, 3, pf32bit);
    colour.Canvas()->SetPixels(1, 1, clRed);
    TBitmap mask(5, 3, pf1bit);
    mask.Canvas()->SetPixels(0, 0, clBlack);
    TIcon icon;
    icon.SetImages(&colour, &mask);
    seeds.push_back(icon.SaveToString());

    std::string wmf = {'\xD7', '\xCD', '\xC6', '\x9A', 0, 0, 0, 0, 0, 0, 10,
                       0,      20,     0,      96,     0, 0, 0, 0, 0, 0, 0};
    wmf += std::string("\1\0\x09\0\0\x03\0\0\0\0\0\0\0\0\0\0\0\0", 18);
    seeds.push_back(wmf);
    std::string emf(88, '\0');
    emf[0] = 1;
    emf[32] = 100;
    emf[36] = 50;
    emf[40] = ' ';
    emf[41] = 'E';
    emf[42] = 'M';
    emf[43] = 'F';
    seeds.push_back(emf);

    TPngImage png;
    png.CreateBlank(COLOR_PALETTE, 8, 4, 2);
    png.Palette() = {{1, 2, 3}, {9, 8, 7}};
    png.PaletteAlpha() = {0};
    png.PaletteChanged();
    seeds.push_back(png.SaveToString());
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    try {
        TPicture picture;
        TStringStream stream(std::string(reinterpret_cast<const char*>(data), size));
        picture.LoadFromStream(stream);
        TGraphic* g = picture.Graphic();
        if (g && !g->Empty() && g->Width() <= 512 && g->Height() <= 512) {
            TBitmap target(16, 16, pf24bit);
            target.Canvas()->StretchDraw(Rect(0, 0, 16, 16), g);
            g->SaveToString();
        }
    } catch (const Exception&) {
    }
    return 0;
}
