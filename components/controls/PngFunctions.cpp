#include "components/controls/PngFunctions.h"

#include <cmath>

#include "components/controls/PngImageList.h"

namespace epc {

namespace {

// Rounding as the class library rounds: halves go to the even neighbour.
int RoundEven(double v) {
    return int(std::nearbyint(v));
}

uint8_t Scale(int value, int amount) {
    return uint8_t(RoundEven(value / 256.0 * (amount + 1)));
}

void GrayTriple(uint8_t& r, uint8_t& g, uint8_t& b, int amount) {
    int gray = RoundEven(0.3 * r + 0.59 * g + 0.11 * b);
    auto mix = [&](uint8_t c) {
        int v = RoundEven(c / 256.0 * (255 - amount)) + RoundEven(gray / 256.0 * (amount + 1));
        return uint8_t(std::min(v, 255));
    };
    r = mix(r);
    g = mix(g);
    b = mix(b);
}

void LoadArgb(TPngImage* dest, int width, int height, const uint32_t* pixels) {
    dest->CreateBlank(COLOR_RGBALPHA, 8, width, height);
    for (int y = 0; y < height; ++y) {
        uint8_t* row = dest->Scanline(y);
        uint8_t* alpha = dest->AlphaScanline(y);
        for (int x = 0; x < width; ++x) {
            uint32_t p = pixels[size_t(y) * width + x];
            row[x * 3] = uint8_t(p);
            row[x * 3 + 1] = uint8_t(p >> 8);
            row[x * 3 + 2] = uint8_t(p >> 16);
            alpha[x] = uint8_t(p >> 24);
        }
    }
}

} // namespace

void MakeImageBlended(TPngImage* image, int amount) {
    if (!image || image->Empty()) return;
    amount = std::clamp(amount, 0, 255);
    uint8_t type = image->ColorType();
    if (type == COLOR_GRAYSCALE || type == COLOR_PALETTE) {
        image->CreateAlpha();
        for (int y = 0; y < image->Height(); ++y) {
            uint8_t* a = image->AlphaScanline(y);
            for (int x = 0; x < image->Width(); ++x)
                a[x] = a[x] ? uint8_t(amount) : 0;
        }
        return;
    }
    if (type == COLOR_RGB) image->CreateAlpha();
    if (!image->AlphaScanline(0)) return;
    for (int y = 0; y < image->Height(); ++y) {
        uint8_t* a = image->AlphaScanline(y);
        for (int x = 0; x < image->Width(); ++x)
            a[x] = Scale(a[x], amount);
    }
}

void MakeImageGrayscale(TPngImage* image, int amount) {
    if (!image || image->Empty()) return;
    amount = std::clamp(amount, 0, 255);
    uint8_t type = image->ColorType();
    if (type == COLOR_GRAYSCALE || type == COLOR_GRAYSCALEALPHA) return;
    if (type == COLOR_PALETTE) {
        for (TPaletteEntry& e : image->Palette())
            GrayTriple(e.Red, e.Green, e.Blue, amount);
        image->PaletteChanged();
        return;
    }
    // A single transparent colour must follow its pixels.
    bool bit = image->TransparencyMode() == ptmBit;
    TColor transparent = bit ? image->TransparentColor() : clNone;
    for (int y = 0; y < image->Height(); ++y) {
        uint8_t* row = image->Scanline(y);
        for (int x = 0; x < image->Width(); ++x)
            GrayTriple(row[x * 3 + 2], row[x * 3 + 1], row[x * 3], amount);
    }
    if (bit && transparent != clNone) {
        uint8_t r = GetRValue(transparent), g = GetGValue(transparent), b = GetBValue(transparent);
        GrayTriple(r, g, b, amount);
        image->SetTransparentColor(TColor(RGB(r, g, b)));
    }
}

void DrawPNG(TPngImage* png, TCanvas* canvas, const TRect& rect, TPngOptions options) {
    if (!png || !canvas || png->Empty()) return;
    if (options.Empty()) {
        png->Draw(canvas, rect);
        return;
    }
    TPngImage copy;
    copy.Assign(png);
    if (options.Contains(pngBlendOnDisabled)) MakeImageBlended(&copy, 127);
    if (options.Contains(pngGrayscaleOnDisabled)) MakeImageGrayscale(&copy, 255);
    copy.Draw(canvas, rect);
}

void ConvertToPNG(TBitmap* source, TBitmap* mask, TPngImage* dest, bool inverseMask) {
    if (!source || !dest) return;
    TDecodedImage colours = source->ToImage();
    TDecodedImage maskImage;
    if (mask) maskImage = mask->ToImage();
    int w = colours.Width, h = colours.Height;
    std::vector<uint32_t> px(colours.Pixels);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint32_t& p = px[size_t(y) * w + x];
            uint8_t a = 255;
            if (mask && x < maskImage.Width && y < maskImage.Height) {
                // The low byte of the colour 0x00BBGGRR is red.
                uint8_t low = uint8_t(maskImage.Pixels[size_t(y) * maskImage.Width + x] >> 16);
                a = inverseMask ? low : uint8_t(255 - low);
            }
            p = (p & 0xFFFFFF) | uint32_t(a) << 24;
        }
    LoadArgb(dest, w, h, px.data());
}

void ConvertToPNGMasked(TBitmap* source, TColor maskColor, TPngImage* dest) {
    if (!source || !dest) return;
    TDecodedImage colours = source->ToImage();
    COLORREF key = ColorToRGB(maskColor);
    uint32_t keyArgb = (GetRValue(key) << 16) | (GetGValue(key) << 8) | GetBValue(key);
    for (uint32_t& p : colours.Pixels)
        p = (p & 0xFFFFFF) | ((p & 0xFFFFFF) == keyArgb ? 0u : 0xFF000000u);
    LoadArgb(dest, colours.Width, colours.Height, colours.Pixels.data());
}

void ConvertIconToPNG(TIcon* icon, TPngImage* dest) {
    if (!icon || !dest || icon->Empty()) return;
    TDecodedImage colours = icon->ColorBitmap()->ToImage();
    bool alpha = icon->AlphaIcon();
    TDecodedImage mask;
    if (!alpha && !icon->MaskBitmap()->Empty()) mask = icon->MaskBitmap()->ToImage();
    int w = colours.Width, h = colours.Height;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint32_t& p = colours.Pixels[size_t(y) * w + x];
            if (alpha) continue;
            bool transparent = x < mask.Width && y < mask.Height &&
                               (mask.Pixels[size_t(y) * mask.Width + x] & 0xFFFFFF) != 0;
            p = (p & 0xFFFFFF) | (transparent ? 0u : 0xFF000000u);
        }
    LoadArgb(dest, w, h, colours.Pixels.data());
}

void CopyImageFromImageList(TPngImage* dest, TCustomImageList* imageList, int index) {
    if (!dest || !imageList || index < 0 || index >= imageList->Count()) return;
    if (auto* png = dynamic_cast<TPngImageList*>(imageList)) {
        dest->Assign(png->PngImages()->Items(index)->PngImage());
        return;
    }
    const uint32_t* pixels = imageList->ImagePixels(index);
    if (pixels) LoadArgb(dest, imageList->Width(), imageList->Height(), pixels);
}

void CalcButtonLayout(TCanvas* canvas, TPngImage* png, const TRect& client, TPoint offset,
                      const std::string& caption, TButtonLayout layout, int margin, int spacing,
                      TPoint& glyphPos, TRect& textRect, uint32_t biDiFlags, TButtonState state) {
    TSize size = png && !png->Empty() ? TSize(png->Width(), png->Height()) : TSize(0, 0);
    CalcButtonLayout(canvas, size, client, offset, caption, layout, margin, spacing, glyphPos,
                     textRect, biDiFlags);
    DrawButtonText(canvas, caption, textRect, state, biDiFlags);
}

} // namespace epc
