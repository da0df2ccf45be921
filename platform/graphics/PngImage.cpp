#include "platform/graphics/PngImage.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <unordered_map>

#include "platform/graphics/Bitmap.h"

namespace epc {

namespace {

inline uint32_t Rgb24(TColor c) {
    COLORREF rgb = ColorToRGB(c);
    return (uint32_t(GetRValue(rgb)) << 16) | (uint32_t(GetGValue(rgb)) << 8) | GetBValue(rgb);
}

inline TColor ToColor(uint32_t rgb) {
    return TColor(RGB(uint8_t(rgb >> 16), uint8_t(rgb >> 8), uint8_t(rgb)));
}

bool ValidColorType(uint8_t t) {
    return t == COLOR_GRAYSCALE || t == COLOR_RGB || t == COLOR_PALETTE ||
           t == COLOR_GRAYSCALEALPHA || t == COLOR_RGBALPHA;
}

} // namespace

int TPngImage::SamplesPerPixel() const {
    switch (FHeader.ColorType) {
    case COLOR_RGB:
    case COLOR_RGBALPHA:
        return 3;
    default:
        return 1;
    }
}

void TPngImage::Changed(TObject* sender) {
    FCache.Invalidate();
    TGraphic::Changed(sender);
}

void TPngImage::CreateBlank(uint8_t colorType, uint8_t bitDepth, int width, int height) {
    if (!ValidColorType(colorType)) throw EInvalidGraphic(SInvalidImage);
    FHeader = TPngHeader();
    FHeader.ColorType = colorType;
    FHeader.BitDepth = bitDepth;
    FHeader.Width = std::max(width, 0);
    FHeader.Height = std::max(height, 0);
    size_t n = size_t(FHeader.Width) * size_t(FHeader.Height);
    FData.assign(n * size_t(SamplesPerPixel()), 0);
    FAlpha.assign(colorType == COLOR_GRAYSCALEALPHA || colorType == COLOR_RGBALPHA ? n : 0, 0);
    FPalette.clear();
    FPaletteAlpha.clear();
    if (colorType == COLOR_PALETTE) {
        int count = 1 << std::clamp<int>(bitDepth, 1, 8);
        for (int i = 0; i < count; ++i) {
            auto l = uint8_t(count > 1 ? i * 255 / (count - 1) : 0);
            FPalette.push_back({l, l, l});
        }
    }
    FHasTransparentColor = false;
    FTransparentRgb = 0;
    FHasGamma = false;
    FGamma = 0;
    Changed(this);
}

void TPngImage::Resize(int width, int height) {
    width = std::max(width, 0);
    height = std::max(height, 0);
    if (width == FHeader.Width && height == FHeader.Height) return;
    int spp = SamplesPerPixel();
    std::vector<uint8_t> data(size_t(width) * height * spp, 0);
    std::vector<uint8_t> alpha(FAlpha.empty() ? 0 : size_t(width) * height, 0);
    int cw = std::min(width, FHeader.Width), ch = std::min(height, FHeader.Height);
    for (int y = 0; y < ch; ++y) {
        std::memcpy(&data[size_t(y) * width * spp], &FData[size_t(y) * FHeader.Width * spp],
                    size_t(cw) * spp);
        if (!FAlpha.empty())
            std::memcpy(&alpha[size_t(y) * width], &FAlpha[size_t(y) * FHeader.Width], size_t(cw));
    }
    FData = std::move(data);
    FAlpha = std::move(alpha);
    FHeader.Width = width;
    FHeader.Height = height;
    Changed(this);
}

void TPngImage::CheckRow(int row) const {
    if (row < 0 || row >= FHeader.Height || FHeader.Width == 0)
        throw EInvalidGraphicOperation("Scan line index out of range");
}

uint8_t* TPngImage::Scanline(int row) {
    CheckRow(row);
    FCache.Invalidate();
    return FData.data() + size_t(row) * FHeader.Width * SamplesPerPixel();
}

uint8_t* TPngImage::AlphaScanline(int row) {
    CheckRow(row);
    if (FAlpha.empty()) return nullptr;
    FCache.Invalidate();
    return FAlpha.data() + size_t(row) * FHeader.Width;
}

uint32_t TPngImage::PixelArgb(size_t i) const {
    uint32_t rgb = 0, a = 255;
    switch (FHeader.ColorType) {
    case COLOR_RGB:
    case COLOR_RGBALPHA: {
        const uint8_t* p = &FData[i * 3];
        rgb = (uint32_t(p[2]) << 16) | (uint32_t(p[1]) << 8) | p[0];
        break;
    }
    case COLOR_GRAYSCALE:
    case COLOR_GRAYSCALEALPHA: {
        uint32_t g = FData[i];
        rgb = (g << 16) | (g << 8) | g;
        break;
    }
    case COLOR_PALETTE: {
        uint8_t index = FData[i];
        if (index < FPalette.size()) {
            const TPaletteEntry& e = FPalette[index];
            rgb = (uint32_t(e.Red) << 16) | (uint32_t(e.Green) << 8) | e.Blue;
        }
        if (index < FPaletteAlpha.size()) a = FPaletteAlpha[index];
        break;
    }
    default:
        break;
    }
    if (!FAlpha.empty())
        a = FAlpha[i];
    else if (FHasTransparentColor && rgb == FTransparentRgb)
        a = 0;
    return (a << 24) | rgb;
}

TColor TPngImage::Pixels(int x, int y) const {
    if (x < 0 || y < 0 || x >= FHeader.Width || y >= FHeader.Height) return clNone;
    return ToColor(PixelArgb(size_t(y) * FHeader.Width + x) & 0xFFFFFF);
}

void TPngImage::SetPixels(int x, int y, TColor value) {
    if (x < 0 || y < 0 || x >= FHeader.Width || y >= FHeader.Height) return;
    size_t i = size_t(y) * FHeader.Width + x;
    uint32_t rgb = Rgb24(value);
    uint8_t r = uint8_t(rgb >> 16), g = uint8_t(rgb >> 8), b = uint8_t(rgb);
    switch (FHeader.ColorType) {
    case COLOR_RGB:
    case COLOR_RGBALPHA:
        FData[i * 3] = b;
        FData[i * 3 + 1] = g;
        FData[i * 3 + 2] = r;
        break;
    case COLOR_GRAYSCALE:
    case COLOR_GRAYSCALEALPHA:
        FData[i] = uint8_t(std::lround(0.3 * r + 0.59 * g + 0.11 * b));
        break;
    case COLOR_PALETTE: {
        int best = 0, bestDist = 1 << 30;
        for (size_t k = 0; k < FPalette.size(); ++k) {
            int dr = FPalette[k].Red - r, dg = FPalette[k].Green - g, db = FPalette[k].Blue - b;
            int d = dr * dr + dg * dg + db * db;
            if (d < bestDist) {
                bestDist = d;
                best = int(k);
            }
        }
        FData[i] = uint8_t(best);
        break;
    }
    default:
        break;
    }
    Changed(this);
}

TPngTransparencyMode TPngImage::TransparencyMode() const {
    if (FHeader.ColorType == COLOR_GRAYSCALEALPHA || FHeader.ColorType == COLOR_RGBALPHA)
        return ptmPartial;
    if (FHeader.ColorType == COLOR_PALETTE) {
        bool any = false;
        for (uint8_t a : FPaletteAlpha) {
            if (a != 0 && a != 255) return ptmPartial;
            if (a == 0) any = true;
        }
        return any ? ptmBit : ptmNone;
    }
    return FHasTransparentColor ? ptmBit : ptmNone;
}

TColor TPngImage::TransparentColor() const {
    if (TransparencyMode() != ptmBit) return clNone;
    if (FHeader.ColorType == COLOR_PALETTE) {
        for (size_t i = 0; i < FPaletteAlpha.size() && i < FPalette.size(); ++i)
            if (FPaletteAlpha[i] == 0)
                return TColor(RGB(FPalette[i].Red, FPalette[i].Green, FPalette[i].Blue));
        return clNone;
    }
    return ToColor(FTransparentRgb);
}

void TPngImage::SetTransparentColor(TColor value) {
    uint32_t rgb = Rgb24(value);
    switch (FHeader.ColorType) {
    case COLOR_GRAYSCALE: {
        uint32_t g = rgb & 255; // gray images match on one channel
        rgb = (g << 16) | (g << 8) | g;
        [[fallthrough]];
    }
    case COLOR_RGB:
        FHasTransparentColor = true;
        FTransparentRgb = rgb;
        break;
    case COLOR_PALETTE:
        FPaletteAlpha.resize(FPalette.size(), 255);
        for (size_t i = 0; i < FPalette.size(); ++i) {
            uint32_t e = (uint32_t(FPalette[i].Red) << 16) | (uint32_t(FPalette[i].Green) << 8) |
                         FPalette[i].Blue;
            if (e == rgb) FPaletteAlpha[i] = 0;
        }
        break;
    default:
        return;
    }
    Changed(this);
}

void TPngImage::RemoveTransparency() {
    if (FHeader.ColorType == COLOR_GRAYSCALEALPHA) FHeader.ColorType = COLOR_GRAYSCALE;
    if (FHeader.ColorType == COLOR_RGBALPHA) FHeader.ColorType = COLOR_RGB;
    FAlpha.clear();
    FPaletteAlpha.clear();
    FHasTransparentColor = false;
    Changed(this);
}

void TPngImage::CreateAlpha() {
    uint8_t type = FHeader.ColorType;
    if (type == COLOR_GRAYSCALEALPHA || type == COLOR_RGBALPHA) return;
    size_t n = size_t(FHeader.Width) * FHeader.Height;
    std::vector<uint8_t> alpha(n);
    for (size_t i = 0; i < n; ++i)
        alpha[i] = uint8_t(PixelArgb(i) >> 24);
    if (type == COLOR_PALETTE) {
        std::vector<uint8_t> data(n * 3);
        for (size_t i = 0; i < n; ++i) {
            uint32_t p = PixelArgb(i);
            data[i * 3] = uint8_t(p);
            data[i * 3 + 1] = uint8_t(p >> 8);
            data[i * 3 + 2] = uint8_t(p >> 16);
        }
        FData = std::move(data);
        FPalette.clear();
        FPaletteAlpha.clear();
        FHeader.ColorType = COLOR_RGBALPHA;
        FHeader.BitDepth = 8;
    } else {
        FHeader.ColorType = type == COLOR_GRAYSCALE ? COLOR_GRAYSCALEALPHA : COLOR_RGBALPHA;
    }
    FAlpha = std::move(alpha);
    FHasTransparentColor = false;
    Changed(this);
}

void TPngImage::PaletteChanged() {
    Changed(this);
}

void TPngImage::SetGamma(double value) {
    FHasGamma = value > 0;
    FGamma = FHasGamma ? value : 0;
    Changed(this);
}

void TPngImage::RemoveGamma() {
    if (!FHasGamma) return;
    FHasGamma = false;
    FGamma = 0;
    Changed(this);
}

TDecodedImage TPngImage::ToImage() const {
    TDecodedImage image;
    image.Width = FHeader.Width;
    image.Height = FHeader.Height;
    size_t n = size_t(FHeader.Width) * FHeader.Height;
    image.Pixels.resize(n);
    for (size_t i = 0; i < n; ++i) {
        image.Pixels[i] = PixelArgb(i);
        if ((image.Pixels[i] >> 24) != 255) image.HasAlpha = true;
    }
    image.ColorType = FHeader.ColorType;
    image.BitDepth = FHeader.BitDepth;
    image.Palette = FPalette;
    image.PaletteAlpha = FPaletteAlpha;
    image.HasTransparentColor = FHasTransparentColor;
    image.TransparentColor = FTransparentRgb;
    image.HasGamma = FHasGamma;
    image.Gamma = FGamma;
    return image;
}

void TPngImage::LoadFromImage(const TDecodedImage& image) {
    if (image.Width < 0 || image.Height < 0 ||
        image.Pixels.size() < size_t(image.Width) * size_t(image.Height))
        throw EInvalidGraphic(SInvalidImage);
    uint8_t type = uint8_t(image.HasAlpha ? COLOR_RGBALPHA : COLOR_RGB);
    if (ValidColorType(uint8_t(image.ColorType))) type = uint8_t(image.ColorType);
    if (type == COLOR_PALETTE && (image.Palette.empty() || image.Palette.size() > 256))
        type = uint8_t(image.HasAlpha ? COLOR_RGBALPHA : COLOR_RGB);
    FHeader = TPngHeader();
    FHeader.Width = image.Width;
    FHeader.Height = image.Height;
    FHeader.ColorType = type;
    FHeader.BitDepth = uint8_t(image.BitDepth > 0 && image.BitDepth <= 16 ? image.BitDepth : 8);
    size_t n = size_t(image.Width) * image.Height;
    FPalette.clear();
    FPaletteAlpha.clear();
    FHasTransparentColor = false;
    FTransparentRgb = 0;
    FAlpha.clear();
    FData.assign(n * size_t(SamplesPerPixel()), 0);
    if (type == COLOR_GRAYSCALEALPHA || type == COLOR_RGBALPHA) {
        FAlpha.resize(n);
        for (size_t i = 0; i < n; ++i)
            FAlpha[i] = uint8_t(image.Pixels[i] >> 24);
    }
    if (type == COLOR_PALETTE) {
        FPalette = image.Palette;
        FPaletteAlpha = image.PaletteAlpha;
        if (FPaletteAlpha.size() > FPalette.size()) FPaletteAlpha.resize(FPalette.size());
        // The decoder resolved indices to colours; map them back (first entry wins).
        std::unordered_map<uint32_t, uint8_t> index;
        for (size_t k = FPalette.size(); k-- > 0;) {
            uint32_t a = k < FPaletteAlpha.size() ? FPaletteAlpha[k] : 255;
            uint32_t key = (a << 24) | (uint32_t(FPalette[k].Red) << 16) |
                           (uint32_t(FPalette[k].Green) << 8) | FPalette[k].Blue;
            index[key] = uint8_t(k);
        }
        for (size_t i = 0; i < n; ++i) {
            auto it = index.find(image.Pixels[i]);
            if (it == index.end()) it = index.find(image.Pixels[i] | 0xFF000000u);
            FData[i] = it != index.end() ? it->second : 0;
        }
    } else if (type == COLOR_GRAYSCALE || type == COLOR_GRAYSCALEALPHA) {
        for (size_t i = 0; i < n; ++i)
            FData[i] = uint8_t(image.Pixels[i] >> 16);
    } else {
        for (size_t i = 0; i < n; ++i) {
            uint32_t p = image.Pixels[i];
            FData[i * 3] = uint8_t(p);
            FData[i * 3 + 1] = uint8_t(p >> 8);
            FData[i * 3 + 2] = uint8_t(p >> 16);
        }
    }
    if (image.HasTransparentColor && (type == COLOR_GRAYSCALE || type == COLOR_RGB)) {
        FHasTransparentColor = true;
        FTransparentRgb = image.TransparentColor & 0xFFFFFF;
    }
    FHasGamma = image.HasGamma && image.Gamma > 0;
    FGamma = FHasGamma ? image.Gamma : 0;
    Changed(this);
}

void TPngImage::RenderCache() {
    size_t n = size_t(FHeader.Width) * FHeader.Height;
    std::vector<uint32_t> pixels(n);
    uint8_t table[256];
    bool useGamma = false;
    if (FHasGamma) {
        // The file's gamma against a display gamma of 2.2; 1/2.2 changes nothing.
        double exponent = 1.0 / (FGamma * 2.2);
        if (std::isfinite(exponent) && std::fabs(exponent - 1.0) > 1e-3) {
            useGamma = true;
            for (int i = 0; i < 256; ++i)
                table[i] = uint8_t(
                    std::clamp(std::lround(std::pow(i / 255.0, exponent) * 255.0), 0L, 255L));
        }
    }
    for (size_t i = 0; i < n; ++i) {
        uint32_t p = PixelArgb(i);
        if (useGamma)
            p = (p & 0xFF000000u) | (uint32_t(table[(p >> 16) & 255]) << 16) |
                (uint32_t(table[(p >> 8) & 255]) << 8) | table[p & 255];
        pixels[i] = p;
    }
    FCache.Load(FHeader.Width, FHeader.Height, pixels.data(), TransparencyMode() != ptmNone);
}

void TPngImage::Draw(TCanvas* canvas, const TRect& rect) {
    if (!canvas || Empty()) return;
    if (!FCache.Valid()) RenderCache();
    FCache.Draw(canvas, rect);
}

void TPngImage::LoadFromStream(TStream& stream) {
    std::string data = ReadStreamRest(stream);
    TDecodedImage image = DecodePng(reinterpret_cast<const uint8_t*>(data.data()), data.size());
    LoadFromImage(image);
}

void TPngImage::SaveToStream(TStream& stream) {
    if (Empty()) throw EInvalidGraphicOperation("Cannot save an empty PNG image");
    stream.WriteString(EncodePngRaster(ToRaster()));
}

// The samples in file order with 8 bits each, the palette padded to at least one entry.
TPngRaster TPngImage::ToRaster() const {
    TPngRaster raster;
    raster.Width = FHeader.Width;
    raster.Height = FHeader.Height;
    raster.ColorType = FHeader.ColorType;
    raster.BitDepth = 8;
    raster.Fast = false;
    const int spp = SamplesPerPixel();
    const size_t outSpp = raster.RowBytes() / size_t(std::max(raster.Width, 1));
    const size_t n = size_t(raster.Width) * raster.Height;
    raster.Rows.resize(n * outSpp);
    for (size_t i = 0; i < n; ++i) {
        uint8_t* o = &raster.Rows[i * outSpp];
        if (spp == 3) { // stored B, G, R; the file wants R, G, B
            o[0] = FData[i * 3 + 2];
            o[1] = FData[i * 3 + 1];
            o[2] = FData[i * 3];
        } else {
            o[0] = FData[i];
        }
        if (!FAlpha.empty()) o[outSpp - 1] = FAlpha[i];
    }
    if (FHeader.ColorType == COLOR_PALETTE) {
        size_t count = std::min<size_t>(std::max<size_t>(FPalette.size(), 1), 256);
        raster.Palette.assign(FPalette.begin(),
                              FPalette.begin() + std::min(FPalette.size(), count));
        raster.Palette.resize(count);
        raster.PaletteAlpha.assign(FPaletteAlpha.begin(),
                                   FPaletteAlpha.begin() + std::min(FPaletteAlpha.size(), count));
        for (uint8_t& index : raster.Rows)
            if (index >= count) index = 0;
    }
    if (FHasTransparentColor &&
        (FHeader.ColorType == COLOR_RGB || FHeader.ColorType == COLOR_GRAYSCALE)) {
        raster.HasTransparentColor = true;
        raster.TransparentColor = FTransparentRgb;
    }
    raster.HasGamma = FHasGamma;
    raster.Gamma = FGamma;
    return raster;
}

void TPngImage::Assign(TPersistent* source) {
    if (source == this) return;
    if (auto* src = dynamic_cast<TPngImage*>(source)) {
        FHeader = src->FHeader;
        FData = src->FData;
        FAlpha = src->FAlpha;
        FPalette = src->FPalette;
        FPaletteAlpha = src->FPaletteAlpha;
        FHasTransparentColor = src->FHasTransparentColor;
        FTransparentRgb = src->FTransparentRgb;
        FHasGamma = src->FHasGamma;
        FGamma = src->FGamma;
        Changed(this);
        return;
    }
    if (auto* bmp = dynamic_cast<TBitmap*>(source)) {
        TDecodedImage image = bmp->ToImage();
        image.ColorType = COLOR_RGB;
        image.BitDepth = 8;
        image.HasAlpha = false;
        bool transparent = bmp->Transparent() && !bmp->Empty();
        if (transparent) {
            image.HasTransparentColor = true;
            image.TransparentColor = Rgb24(bmp->TransparentColor());
        }
        LoadFromImage(image);
        return;
    }
    if (!source) {
        CreateBlank(COLOR_RGB, 8, 0, 0);
        return;
    }
    TGraphic::Assign(source);
}

} // namespace epc
