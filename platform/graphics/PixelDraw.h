#pragma once
// Drawing a picture held as straight-alpha 0xAARRGGBB pixels into a canvas rectangle, through
// a cached device-independent section: opaque pictures are copied (stretched), others blended
// over the destination.

#include <cstdint>

#include "platform/graphics/Graphics.h"

namespace epc {

class TDibCache {
public:
    TDibCache() = default;
    TDibCache(const TDibCache&) = delete;
    TDibCache& operator=(const TDibCache&) = delete;
    ~TDibCache() { Reset(); }

    bool Valid() const { return FValid; }
    void Invalidate() { FValid = false; }
    void Reset();
    // Loads straight-alpha pixels; with blend set they are premultiplied for AlphaBlend.
    void Load(int width, int height, const uint32_t* pixels, bool blend);
    // Draws the loaded pixels stretched into rect.
    void Draw(TCanvas* canvas, const TRect& rect);

private:
    HBITMAP FBitmap = nullptr;
    HDC FDC = nullptr;
    HGDIOBJ FOld = nullptr;
    uint32_t* FBits = nullptr;
    int FWidth = 0;
    int FHeight = 0;
    bool FBlend = false;
    bool FValid = false;
};

} // namespace epc
