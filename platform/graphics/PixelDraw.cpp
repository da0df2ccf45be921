#include "platform/graphics/PixelDraw.h"
#include "platform/graphics/GdiHandles.h"

namespace epc {

void TDibCache::Reset() {
    if (FDC) {
        if (FOld) SelectObject(FDC, FOld);
        DeleteDC(FDC);
    }
    if (FBitmap) DeleteObject(GdiObj(FBitmap));
    FDC = nullptr;
    FOld = nullptr;
    FBitmap = nullptr;
    FBits = nullptr;
    FWidth = FHeight = 0;
    FValid = false;
}

void TDibCache::Load(int width, int height, const uint32_t* pixels, bool blend) {
    if (width <= 0 || height <= 0) {
        Reset();
        return;
    }
    if (width != FWidth || height != FHeight || !FBitmap) {
        Reset();
        BITMAPINFO info = TopDownBitmapInfo(width, height);
        void* bits = nullptr;
        FBitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        if (!FBitmap || !bits) {
            Reset();
            return;
        }
        FBits = static_cast<uint32_t*>(bits);
        FDC = CreateCompatibleDC(nullptr);
        FOld = SelectObject(FDC, GdiObj(FBitmap));
        FWidth = width;
        FHeight = height;
    }
    size_t n = size_t(width) * size_t(height);
    if (blend) {
        for (size_t i = 0; i < n; ++i) {
            uint32_t p = pixels[i];
            uint32_t a = p >> 24;
            if (a == 255) {
                FBits[i] = p;
            } else if (a == 0) {
                FBits[i] = 0;
            } else {
                uint32_t r = ((p >> 16) & 255) * a + 127, g = ((p >> 8) & 255) * a + 127,
                         b = (p & 255) * a + 127;
                FBits[i] = (a << 24) | ((r / 255) << 16) | ((g / 255) << 8) | (b / 255);
            }
        }
    } else {
        for (size_t i = 0; i < n; ++i)
            FBits[i] = pixels[i] | 0xFF000000u;
    }
    FBlend = blend;
    FValid = true;
}

void TDibCache::Draw(TCanvas* canvas, const TRect& rect) {
    if (!FValid || !FDC || !canvas || rect.IsEmpty()) return;
    HDC dst = canvas->Handle();
    if (FBlend) {
        BLENDFUNCTION bf;
        bf.BlendOp = AC_SRC_OVER;
        bf.SourceConstantAlpha = 255;
        bf.AlphaFormat = AC_SRC_ALPHA;
        AlphaBlend(dst, rect.Left, rect.Top, rect.Width(), rect.Height(), FDC, 0, 0, FWidth,
                   FHeight, bf);
    } else {
        StretchBlt(dst, rect.Left, rect.Top, rect.Width(), rect.Height(), FDC, 0, 0, FWidth,
                   FHeight, SRCCOPY);
    }
}

} // namespace epc
