#pragma once
// A white 32-bit buffer context and pixel helpers for the device-context tests.

#include <cstring>
#include <vector>

#include "platform/gdi/Gdi.h"
#include "platform/text/FontEngine.h"

namespace epc::gditest {

class TCanvasFixture {
public:
    explicit TCanvasFixture(int width = 32, int height = 32) : W(width), H(height) {
        Dc = CreateBufferDC(width, height, 96, 96);
        Clear(RGB(255, 255, 255));
    }
    ~TCanvasFixture() {
        ReleaseFonts();
        DeleteDC(Dc);
    }
    TCanvasFixture(const TCanvasFixture&) = delete;
    TCanvasFixture& operator=(const TCanvasFixture&) = delete;

    void Clear(COLORREF c) {
        HBRUSH b = CreateSolidBrush(c);
        RECT r(0, 0, W, H);
        FillRect(Dc, &r, b);
        DeleteObject(b);
    }
    // The raw 0xAARRGGBB pixel at device coordinates.
    uint32_t Raw(int x, int y) const {
        TBitmapBits b = GetBitmapBits(GetDCBitmap(Dc));
        uint32_t v;
        std::memcpy(&v, b.Bits + y * b.Stride + x * 4, 4);
        return v;
    }
    COLORREF At(int x, int y) const {
        uint32_t v = Raw(x, y);
        return RGB(uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v));
    }
    std::vector<uint32_t> Snapshot() const {
        TBitmapBits b = GetBitmapBits(GetDCBitmap(Dc));
        std::vector<uint32_t> v(size_t(W) * H);
        for (int y = 0; y < H; ++y)
            std::memcpy(&v[size_t(y) * W], b.Bits + y * b.Stride, W * 4);
        return v;
    }
    // Pixels that differ from the colour c.
    int CountNot(COLORREF c) const {
        int n = 0;
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x)
                n += At(x, y) != c;
        return n;
    }
    // A deterministic multicoloured picture, so inverting operations are visible everywhere.
    void Noise() {
        TBitmapBits b = GetBitmapBits(GetDCBitmap(Dc));
        uint32_t s = 12345;
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x) {
                s = s * 1103515245u + 12345u;
                uint32_t v = 0xFF000000u | (s >> 8);
                std::memcpy(b.Bits + y * b.Stride + x * 4, &v, 4);
            }
    }
    HFONT SelectFixedFont(int height = -20, bool underline = false, bool strike = false) {
        LOGFONTW lf;
        lf.lfHeight = height;
        lf.lfUnderline = underline;
        lf.lfStrikeOut = strike;
        std::u16string name = kBuiltInFixedFontName;
        std::copy(name.begin(), name.end(), lf.lfFaceName);
        HFONT f = CreateFontIndirectW(lf);
        Fonts.push_back(f);
        SelectObject(Dc, f);
        return f;
    }
    void ReleaseFonts() {
        SelectObject(Dc, GetStockObject(SYSTEM_FONT));
        for (HFONT f : Fonts)
            DeleteObject(f);
        Fonts.clear();
    }

    int W, H;
    HDC Dc;
    std::vector<HFONT> Fonts;
};

constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kBlack = RGB(0, 0, 0);

} // namespace epc::gditest
