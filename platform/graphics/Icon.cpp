#include "platform/graphics/Icon.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/core/Arithmetic.h"
#include "platform/graphics/GdiHandles.h"
#include "platform/graphics/MetafilePlayer.h"

namespace epc {

namespace {

uint16_t U16(const uint8_t* p) {
    return uint16_t(p[0] | (p[1] << 8));
}
uint32_t U32(const uint8_t* p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
int32_t I32(const uint8_t* p) {
    return int32_t(U32(p));
}

void Put16(std::string& s, uint16_t v) {
    s += char(v & 255);
    s += char(v >> 8);
}
void Put32(std::string& s, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        s += char((v >> (8 * i)) & 255);
}

// One icon image of an icon file: colours (straight alpha) and the AND mask (1: transparent).
struct TIconImage {
    int Width = 0, Height = 0;
    std::vector<uint32_t> Pixels;
    std::vector<uint8_t> Mask;
    bool HasAlpha = false;
};

TIconImage DecodeIconDib(const uint8_t* p, size_t size) {
    if (size < 40) throw EInvalidGraphic(SInvalidIcon);
    uint32_t headerSize = U32(p);
    int32_t w = I32(p + 4), h2 = I32(p + 8);
    uint16_t bpp = U16(p + 14);
    uint32_t compression = U32(p + 16);
    uint32_t clrUsed = U32(p + 32);
    if (headerSize < 40 || headerSize > size || w <= 0 || w > 1024 || h2 <= 0 || h2 > 2048 ||
        h2 % 2 != 0 || compression != BI_RGB)
        throw EInvalidGraphic(SInvalidIcon);
    if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 24 && bpp != 32)
        throw EInvalidGraphic(SInvalidIcon);
    int h = h2 / 2;
    size_t offset = headerSize;
    std::vector<uint32_t> table;
    if (bpp <= 8) {
        size_t count = clrUsed ? clrUsed : (size_t(1) << bpp);
        if (count > 256 || offset + count * 4 > size) throw EInvalidGraphic(SInvalidIcon);
        for (size_t i = 0; i < count; ++i) {
            const uint8_t* c = p + offset + i * 4;
            table.push_back(0xFF000000u | (uint32_t(c[2]) << 16) | (uint32_t(c[1]) << 8) | c[0]);
        }
        offset += count * 4;
    }
    size_t stride = ((size_t(w) * bpp + 31) / 32) * 4;
    size_t maskStride = ((size_t(w) + 31) / 32) * 4;
    size_t colourBytes = stride * h;
    bool hasMask = offset + colourBytes + maskStride * h <= size;
    if (offset + colourBytes > size) throw EInvalidGraphic(SInvalidIcon);
    TIconImage img;
    img.Width = w;
    img.Height = h;
    img.Pixels.resize(size_t(w) * h);
    img.Mask.assign(size_t(w) * h, 0);
    for (int y = 0; y < h; ++y) {
        const uint8_t* row = p + offset + stride * size_t(h - 1 - y); // bottom-up
        for (int x = 0; x < w; ++x) {
            uint32_t px = 0xFF000000u;
            switch (bpp) {
            case 32:
                px = (uint32_t(row[x * 4 + 3]) << 24) | (uint32_t(row[x * 4 + 2]) << 16) |
                     (uint32_t(row[x * 4 + 1]) << 8) | row[x * 4];
                break;
            case 24:
                px = 0xFF000000u | (uint32_t(row[x * 3 + 2]) << 16) |
                     (uint32_t(row[x * 3 + 1]) << 8) | row[x * 3];
                break;
            default: {
                unsigned index;
                if (bpp == 8)
                    index = row[x];
                else if (bpp == 4)
                    index = (row[x / 2] >> ((x & 1) ? 0 : 4)) & 15;
                else
                    index = (row[x / 8] >> (7 - (x & 7))) & 1;
                px = index < table.size() ? table[index] : 0xFF000000u;
                break;
            }
            }
            img.Pixels[size_t(y) * w + x] = px;
        }
    }
    if (bpp == 32) {
        for (uint32_t px : img.Pixels)
            if (px >> 24) {
                img.HasAlpha = true;
                break;
            }
        if (!img.HasAlpha)
            for (uint32_t& px : img.Pixels)
                px |= 0xFF000000u;
    }
    if (hasMask) {
        const uint8_t* mask = p + offset + colourBytes;
        for (int y = 0; y < h; ++y) {
            const uint8_t* row = mask + maskStride * size_t(h - 1 - y);
            for (int x = 0; x < w; ++x)
                img.Mask[size_t(y) * w + x] = (row[x / 8] >> (7 - (x & 7))) & 1;
        }
    }
    return img;
}

} // namespace

// ---- TIcon ------------------------------------------------------------------------------------

TIcon::TIcon() {
    FColor.SetPixelFormat(pf32bit);
    FMask.SetPixelFormat(pf1bit);
}

TIcon::~TIcon() = default;

void TIcon::Changed(TObject* sender) {
    FCache.Invalidate();
    TGraphic::Changed(sender);
}

void TIcon::SetWidth(int value) {
    if (value != Width()) throw EInvalidGraphicOperation(SChangeIconSize);
}

void TIcon::SetHeight(int value) {
    if (value != Height()) throw EInvalidGraphicOperation(SChangeIconSize);
}

void TIcon::UpdateAlphaFlag() {
    FAlphaIcon = false;
    if (FColor.Empty() || FColor.PixelFormat() != pf32bit) return;
    const uint32_t* bits = FColor.SurfaceBits();
    size_t n = size_t(FColor.Width()) * FColor.Height();
    bool any = false, partial = false;
    for (size_t i = 0; i < n; ++i) {
        uint32_t a = bits[i] >> 24;
        if (a) any = true;
        if (a != 255) partial = true;
    }
    FAlphaIcon = any && partial;
}

void TIcon::SetImages(TBitmap* color, TBitmap* mask) {
    if (!color || color->Empty()) {
        FColor.SetSize(0, 0);
        FMask.SetSize(0, 0);
        FAlphaIcon = false;
        Changed(this);
        return;
    }
    FColor.Assign(color);
    FColor.SetTransparent(false);
    FMask.SetPixelFormat(pf1bit);
    FMask.SetSize(0, 0);
    FMask.SetSize(color->Width(), color->Height());
    // An absent mask is all black: opaque.
    {
        uint32_t* bits = FMask.SurfaceBits();
        std::fill(bits, bits + size_t(FMask.Width()) * FMask.Height(), 0xFF000000u);
    }
    if (mask && !mask->Empty()) {
        TBitmap copy;
        copy.Assign(mask);
        copy.SetPixelFormat(pf1bit);
        int w = std::min(copy.Width(), FMask.Width()), h = std::min(copy.Height(), FMask.Height());
        uint32_t* src = copy.SurfaceBits();
        uint32_t* dst = FMask.SurfaceBits();
        for (int y = 0; y < h; ++y)
            std::memcpy(dst + size_t(y) * FMask.Width(), src + size_t(y) * copy.Width(),
                        size_t(w) * 4);
    }
    UpdateAlphaFlag();
    Changed(this);
}

void TIcon::Draw(TCanvas* canvas, const TRect& rect) {
    if (!canvas || Empty()) return;
    if (!FCache.Valid()) {
        int w = FColor.Width(), h = FColor.Height();
        std::vector<uint32_t> pixels(size_t(w) * h);
        const uint32_t* colour = FColor.SurfaceBits();
        const uint32_t* mask = FMask.Empty() ? nullptr : FMask.SurfaceBits();
        bool useMask = mask && FMask.Width() == w && FMask.Height() == h;
        for (size_t i = 0; i < pixels.size(); ++i) {
            if (FAlphaIcon)
                pixels[i] = colour[i];
            else if (useMask && (mask[i] & 0xFFFFFF) != 0)
                pixels[i] = colour[i] & 0xFFFFFF;
            else
                pixels[i] = colour[i] | 0xFF000000u;
        }
        FCache.Load(w, h, pixels.data(), true);
    }
    FCache.Draw(canvas, rect);
}

void TIcon::LoadFromStream(TStream& stream) {
    std::string data = ReadStreamRest(stream);
    auto* p = reinterpret_cast<const uint8_t*>(data.data());
    size_t size = data.size();
    if (size < 6 || U16(p) != 0 || (U16(p + 2) != 1 && U16(p + 2) != 2))
        throw EInvalidGraphic(SInvalidIcon);
    int count = U16(p + 4);
    if (count == 0 || 6 + size_t(count) * 16 > size) throw EInvalidGraphic(SInvalidIcon);
    int best = -1;
    long bestScore = -1;
    for (int i = 0; i < count; ++i) {
        const uint8_t* e = p + 6 + i * 16;
        int w = e[0] ? e[0] : 256, h = e[1] ? e[1] : 256;
        long score = long(w) * h * 64 + U16(e + 6);
        if (score > bestScore) {
            bestScore = score;
            best = i;
        }
    }
    const uint8_t* e = p + 6 + best * 16;
    uint32_t length = U32(e + 8), offset = U32(e + 12);
    if (offset > size || length > size - offset || length == 0) throw EInvalidGraphic(SInvalidIcon);
    const uint8_t* img = p + offset;
    TIconImage icon;
    if (DetectImageFormat(img, length) == TImageFormat::Png) {
        TDecodedImage png = DecodePng(img, length);
        icon.Width = png.Width;
        icon.Height = png.Height;
        icon.Pixels = png.Pixels;
        icon.Mask.assign(icon.Pixels.size(), 0);
        for (size_t i = 0; i < icon.Pixels.size(); ++i)
            icon.Mask[i] = (icon.Pixels[i] >> 24) == 0;
        icon.HasAlpha = png.HasAlpha;
    } else {
        icon = DecodeIconDib(img, length);
    }
    TDecodedImage colour;
    colour.Width = icon.Width;
    colour.Height = icon.Height;
    colour.Pixels = icon.Pixels;
    colour.HasAlpha = icon.HasAlpha;
    TBitmap c, m;
    c.LoadFromImage(colour, pf32bit);
    TDecodedImage mask;
    mask.Width = icon.Width;
    mask.Height = icon.Height;
    mask.Pixels.resize(icon.Mask.size());
    for (size_t i = 0; i < icon.Mask.size(); ++i)
        mask.Pixels[i] = icon.Mask[i] ? 0xFFFFFFFFu : 0xFF000000u;
    m.LoadFromImage(mask, pf1bit);
    SetImages(&c, &m);
}

void TIcon::SaveToStream(TStream& stream) {
    if (Empty()) throw EInvalidGraphicOperation(SInvalidIcon);
    int w = FColor.Width(), h = FColor.Height();
    const uint32_t* colour = FColor.SurfaceBits();
    const uint32_t* mask = FMask.Empty() ? nullptr : FMask.SurfaceBits();
    size_t maskStride = ((size_t(w) + 31) / 32) * 4;
    std::string dib;
    Put32(dib, 40);
    Put32(dib, uint32_t(w));
    Put32(dib, uint32_t(h * 2));
    Put16(dib, 1);
    Put16(dib, 32);
    for (int i = 0; i < 6; ++i)
        Put32(dib, 0);
    for (int y = h - 1; y >= 0; --y)
        for (int x = 0; x < w; ++x) {
            uint32_t px = colour[size_t(y) * w + x];
            bool transparent = mask && (mask[size_t(y) * w + x] & 0xFFFFFF) != 0;
            if (!FAlphaIcon) px = transparent ? 0 : (px | 0xFF000000u);
            Put32(dib, px);
        }
    for (int y = h - 1; y >= 0; --y) {
        std::string row(maskStride, '\0');
        for (int x = 0; x < w; ++x) {
            bool transparent = FAlphaIcon ? (colour[size_t(y) * w + x] >> 24) == 0
                                          : mask && (mask[size_t(y) * w + x] & 0xFFFFFF) != 0;
            if (transparent) row[x / 8] = char(uint8_t(row[x / 8]) | (0x80 >> (x & 7)));
        }
        dib += row;
    }
    std::string file;
    Put16(file, 0);
    Put16(file, 1);
    Put16(file, 1);
    file += char(w >= 256 ? 0 : w);
    file += char(h >= 256 ? 0 : h);
    file += char(0);
    file += char(0);
    Put16(file, 1);
    Put16(file, 32);
    Put32(file, uint32_t(dib.size()));
    Put32(file, 22);
    file += dib;
    stream.WriteString(file);
}

void TIcon::Assign(TPersistent* source) {
    if (source == this) return;
    if (auto* src = dynamic_cast<TIcon*>(source)) {
        FColor.Assign(&src->FColor);
        FMask.Assign(&src->FMask);
        FAlphaIcon = src->FAlphaIcon;
        Changed(this);
        return;
    }
    TGraphic::Assign(source);
}

// ---- TMetafile --------------------------------------------------------------------------------

TMetafile::TMetafile() = default;

TMetafile::~TMetafile() = default;

int TMetafile::MulDivSafe(int a, int b, int c) {
    int r = MulDiv(a, b, c);
    return r < 0 ? 0 : r;
}

void TMetafile::SetWidth(int value) {
    value = std::max(value, 0);
    if (value == FWidth) return;
    FWidth = value;
    Changed(this);
}

void TMetafile::SetHeight(int value) {
    value = std::max(value, 0);
    if (value == FHeight) return;
    FHeight = value;
    Changed(this);
}

void TMetafile::SetInch(int value) {
    if (value == FInch) return;
    FInch = std::max(value, 0);
    Changed(this);
}

void TMetafile::Draw(TCanvas* canvas, const TRect& rect) {
    if (!canvas || Empty() || rect.IsEmpty()) return;
    PlayMetafile(canvas->Handle(), FData, rect);
}

void TMetafile::LoadFromStream(TStream& stream) {
    std::string data = ReadStreamRest(stream);
    TMetafileSize size;
    if (!ReadMetafileSize(data, size)) throw EInvalidGraphic(SInvalidMetafile);
    FData = std::move(data);
    FWidth = size.Width;
    FHeight = size.Height;
    FInch = size.Inch;
    FEnhanced = size.Enhanced;
    Changed(this);
}

void TMetafile::SaveToStream(TStream& stream) {
    stream.WriteString(FData);
}

void TMetafile::Assign(TPersistent* source) {
    if (source == this) return;
    if (auto* src = dynamic_cast<TMetafile*>(source)) {
        FData = src->FData;
        FWidth = src->FWidth;
        FHeight = src->FHeight;
        FInch = src->FInch;
        FEnhanced = src->FEnhanced;
        Changed(this);
        return;
    }
    TGraphic::Assign(source);
}

} // namespace epc
