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

void MakeImageBlended(TPngImage* Image, int Amount) {
    if (!Image || Image->Empty()) return;
    Amount = std::clamp(Amount, 0, 255);
    uint8_t type = Image->ColorType();
    if (type == COLOR_GRAYSCALE || type == COLOR_PALETTE) {
        Image->CreateAlpha();
        for (int y = 0; y < Image->Height(); ++y) {
            uint8_t* a = Image->AlphaScanline(y);
            for (int x = 0; x < Image->Width(); ++x)
                a[x] = a[x] ? uint8_t(Amount) : 0;
        }
        return;
    }
    if (type == COLOR_RGB) Image->CreateAlpha();
    if (!Image->AlphaScanline(0)) return;
    for (int y = 0; y < Image->Height(); ++y) {
        uint8_t* a = Image->AlphaScanline(y);
        for (int x = 0; x < Image->Width(); ++x)
            a[x] = Scale(a[x], Amount);
    }
}

void MakeImageGrayscale(TPngImage* Image, int Amount) {
    if (!Image || Image->Empty()) return;
    Amount = std::clamp(Amount, 0, 255);
    uint8_t type = Image->ColorType();
    if (type == COLOR_GRAYSCALE || type == COLOR_GRAYSCALEALPHA) return;
    if (type == COLOR_PALETTE) {
        for (TPaletteEntry& e : Image->Palette())
            GrayTriple(e.Red, e.Green, e.Blue, Amount);
        Image->PaletteChanged();
        return;
    }
    // A single transparent colour must follow its pixels.
    bool bit = Image->TransparencyMode() == ptmBit;
    TColor transparent = bit ? Image->TransparentColor() : clNone;
    for (int y = 0; y < Image->Height(); ++y) {
        uint8_t* row = Image->Scanline(y);
        for (int x = 0; x < Image->Width(); ++x)
            GrayTriple(row[x * 3 + 2], row[x * 3 + 1], row[x * 3], Amount);
    }
    if (bit && transparent != clNone) {
        uint8_t r = GetRValue(transparent), g = GetGValue(transparent), b = GetBValue(transparent);
        GrayTriple(r, g, b, Amount);
        Image->SetTransparentColor(TColor(RGB(r, g, b)));
    }
}

void DrawPNG(TPngImage* Png, TCanvas* Canvas, const TRect& Rect, TPngOptions Options) {
    if (!Png || !Canvas || Png->Empty()) return;
    if (Options.Empty()) {
        Png->Draw(Canvas, Rect);
        return;
    }
    TPngImage copy;
    copy.Assign(Png);
    if (Options.Contains(pngBlendOnDisabled)) MakeImageBlended(&copy, 127);
    if (Options.Contains(pngGrayscaleOnDisabled)) MakeImageGrayscale(&copy, 255);
    copy.Draw(Canvas, Rect);
}

void ConvertToPNG(TBitmap* Source, TBitmap* Mask, TPngImage* Dest, bool InverseMask) {
    if (!Source || !Dest) return;
    TDecodedImage colours = Source->ToImage();
    TDecodedImage mask;
    if (Mask) mask = Mask->ToImage();
    int w = colours.Width, h = colours.Height;
    std::vector<uint32_t> px(colours.Pixels);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint32_t& p = px[size_t(y) * w + x];
            uint8_t a = 255;
            if (Mask && x < mask.Width && y < mask.Height) {
                // The low byte of the colour 0x00BBGGRR is red.
                uint8_t low = uint8_t(mask.Pixels[size_t(y) * mask.Width + x] >> 16);
                a = InverseMask ? low : uint8_t(255 - low);
            }
            p = (p & 0xFFFFFF) | uint32_t(a) << 24;
        }
    LoadArgb(Dest, w, h, px.data());
}

void ConvertToPNGMasked(TBitmap* Source, TColor MaskColor, TPngImage* Dest) {
    if (!Source || !Dest) return;
    TDecodedImage colours = Source->ToImage();
    COLORREF key = ColorToRGB(MaskColor);
    uint32_t keyArgb = (GetRValue(key) << 16) | (GetGValue(key) << 8) | GetBValue(key);
    for (uint32_t& p : colours.Pixels)
        p = (p & 0xFFFFFF) | ((p & 0xFFFFFF) == keyArgb ? 0u : 0xFF000000u);
    LoadArgb(Dest, colours.Width, colours.Height, colours.Pixels.data());
}

void ConvertIconToPNG(TIcon* Icon, TPngImage* Dest) {
    if (!Icon || !Dest || Icon->Empty()) return;
    TDecodedImage colours = Icon->ColorBitmap()->ToImage();
    bool alpha = Icon->AlphaIcon();
    TDecodedImage mask;
    if (!alpha && !Icon->MaskBitmap()->Empty()) mask = Icon->MaskBitmap()->ToImage();
    int w = colours.Width, h = colours.Height;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint32_t& p = colours.Pixels[size_t(y) * w + x];
            if (alpha) continue;
            bool transparent = x < mask.Width && y < mask.Height &&
                               (mask.Pixels[size_t(y) * mask.Width + x] & 0xFFFFFF) != 0;
            p = (p & 0xFFFFFF) | (transparent ? 0u : 0xFF000000u);
        }
    LoadArgb(Dest, w, h, colours.Pixels.data());
}

void CopyImageFromImageList(TPngImage* Dest, TCustomImageList* ImageList, int Index) {
    if (!Dest || !ImageList || Index < 0 || Index >= ImageList->Count()) return;
    if (auto* png = dynamic_cast<TPngImageList*>(ImageList)) {
        Dest->Assign(png->PngImages()->Items(Index)->PngImage());
        return;
    }
    const uint32_t* pixels = ImageList->ImagePixels(Index);
    if (pixels) LoadArgb(Dest, ImageList->Width(), ImageList->Height(), pixels);
}

void CalcButtonLayout(TCanvas* Canvas, TPngImage* Png, const TRect& Client, TPoint Offset,
                      const std::string& Caption, TButtonLayout Layout, int Margin, int Spacing,
                      TPoint& GlyphPos, TRect& TextRect, uint32_t BiDiFlags, TButtonState State) {
    TSize size = Png && !Png->Empty() ? TSize(Png->Width(), Png->Height()) : TSize(0, 0);
    CalcButtonLayout(Canvas, size, Client, Offset, Caption, Layout, Margin, Spacing, GlyphPos,
                     TextRect, BiDiFlags);
    DrawButtonText(Canvas, Caption, TextRect, State, BiDiFlags);
}

} // namespace epc
