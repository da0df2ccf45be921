// BMP files: uncompressed 1, 4, 8, 16, 24 and 32 bits with bit-field masks, bottom-up or
// top-down, and run-length coded 4 and 8 bits. Every offset and size is checked against the data before it is used.

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/codecs/CodecInternals.h"
#include "platform/core/Exceptions.h"

namespace epc {

namespace {

constexpr const char* kBmp = "BMP";
constexpr uint32_t BI_RGB = 0;
constexpr uint32_t BI_RLE8 = 1;
constexpr uint32_t BI_RLE4 = 2;
constexpr uint32_t BI_BITFIELDS = 3;
constexpr uint32_t BI_ALPHABITFIELDS = 6;
constexpr size_t kFileHeaderSize = 14;

uint16_t U16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t U32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// One colour channel described by a mask: where it starts and how to widen it to 8 bits.
struct TChannel {
    uint32_t Mask = 0;
    int Shift = 0;
    uint32_t Max = 0;

    explicit TChannel(uint32_t mask = 0) : Mask(mask) {
        if (!mask) return;
        while (!(mask & 1)) {
            mask >>= 1;
            ++Shift;
        }
        Max = mask;  // gaps in a mask are tolerated: they only lower precision
    }
    uint32_t Get(uint32_t v, uint32_t absent) const {
        if (!Mask) return absent;
        uint64_t c = (v & Mask) >> Shift;
        return static_cast<uint32_t>((c * 255 + Max / 2) / Max);
    }
};

// Run-length coded rows, bottom-up: (count, value) runs, and after a zero count an end of
// row (0), the end of the picture (1), a jump (2, dx, dy) or that many literal indices padded
// to an even byte count. Pixels never set show palette entry 0; anything past the edges is
// dropped.
void DecodeRle(const uint8_t* p, size_t n, bool fourBits, const uint32_t* palette,
               TDecodedImage& image) {
    const int64_t w = image.Width, h = image.Height;
    image.Pixels.assign(static_cast<size_t>(w) * h, palette[0]);
    int64_t x = 0, y = 0;  // y counts rows from the bottom
    auto put = [&](unsigned index) {
        if (x < w) image.Pixels[static_cast<size_t>(h - 1 - y) * w + x] = palette[index];
        ++x;
    };
    size_t i = 0;
    while (y < h) {
        if (n - i < 2) codecs::Fail(kBmp, "truncated run-length data");
        const unsigned count = p[i], value = p[i + 1];
        i += 2;
        if (count > 0) {
            for (unsigned k = 0; k < count && x < w; ++k)
                put(fourBits ? ((k & 1) ? value & 15 : value >> 4) : value);
            continue;
        }
        if (value == 0) {  // end of row
            x = 0;
            ++y;
        } else if (value == 1) {  // end of picture
            break;
        } else if (value == 2) {
            if (n - i < 2) codecs::Fail(kBmp, "truncated run-length data");
            x += p[i];
            y += p[i + 1];
            i += 2;
        } else {
            size_t bytes = fourBits ? (value + 1) / 2 : value;
            size_t padded = (bytes + 1) & ~size_t(1);
            if (n - i < padded) codecs::Fail(kBmp, "truncated run-length data");
            for (unsigned k = 0; k < value && x < w; ++k)
                put(fourBits ? ((k & 1) ? p[i + k / 2] & 15 : p[i + k / 2] >> 4) : p[i + k]);
            i += padded;
        }
    }
}

void Put16(std::string& s, uint16_t v) {
    s.push_back(static_cast<char>(v & 0xFF));
    s.push_back(static_cast<char>(v >> 8));
}
void Put32(std::string& s, uint32_t v) {
    for (int i = 0; i < 4; ++i) s.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

}  // namespace

TDecodedImage DecodeBmp(const uint8_t* data, size_t size) {
    if (!data || size < 2 || data[0] != 'B' || data[1] != 'M')
        codecs::Fail(kBmp, "missing BMP signature");
    if (size < kFileHeaderSize + 12) codecs::Fail(kBmp, "truncated header");
    const uint32_t pixelOffset = U32(data + 10);
    const uint8_t* info = data + kFileHeaderSize;
    const uint32_t infoSize = U32(info);
    if (infoSize < 12 || infoSize > size - kFileHeaderSize)
        codecs::Fail(kBmp, "bad or truncated info header");

    int64_t width, height;
    uint32_t bits, compression = BI_RGB, colorsUsed = 0;
    int32_t xPelsPerMeter = 0, yPelsPerMeter = 0;
    size_t paletteEntrySize = 4;
    if (infoSize == 12) {  // the old core header: 16-bit sizes, 3-byte palette entries
        width = U16(info + 4);
        height = U16(info + 6);
        bits = U16(info + 10);
        paletteEntrySize = 3;
    } else {
        if (infoSize < 40) codecs::Fail(kBmp, "unsupported info header size");
        width = static_cast<int32_t>(U32(info + 4));
        height = static_cast<int32_t>(U32(info + 8));
        bits = U16(info + 14);
        compression = U32(info + 16);
        xPelsPerMeter = static_cast<int32_t>(U32(info + 24));
        yPelsPerMeter = static_cast<int32_t>(U32(info + 28));
        colorsUsed = U32(info + 32);
    }
    if (U16(info + (infoSize == 12 ? 8 : 12)) != 1) codecs::Fail(kBmp, "bad plane count");
    const bool topDown = height < 0;
    if (topDown) height = -height;
    codecs::CheckDimensions(kBmp, width, height);
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
        codecs::Fail(kBmp, "unsupported bit count " + std::to_string(bits));
    const bool rle = compression == BI_RLE8 || compression == BI_RLE4;
    if (rle && (bits != (compression == BI_RLE8 ? 8u : 4u) || topDown))
        codecs::Fail(kBmp, "run-length coding needs a bottom-up picture of 4 or 8 bits");
    if (!rle && compression != BI_RGB && compression != BI_BITFIELDS &&
        compression != BI_ALPHABITFIELDS)
        codecs::Fail(kBmp, "unsupported compression " + std::to_string(compression));
    if (!rle && compression != BI_RGB && bits != 16 && bits != 32)
        codecs::Fail(kBmp, "bit-field masks need 16 or 32 bits per pixel");

    // Masks: in the header from version 2 on, else right after a 40-byte header.
    uint32_t maskR = 0, maskG = 0, maskB = 0, maskA = 0;
    size_t afterHeader = kFileHeaderSize + infoSize;
    if (compression == BI_BITFIELDS || compression == BI_ALPHABITFIELDS) {
        size_t maskCount = compression == BI_ALPHABITFIELDS ? 4 : 3;
        const uint8_t* masks = info + 40;
        if (infoSize < 40 + 4 * maskCount) {
            if (afterHeader + 4 * maskCount > size) codecs::Fail(kBmp, "truncated colour masks");
            masks = data + afterHeader;
            afterHeader += 4 * maskCount;
        }
        maskR = U32(masks);
        maskG = U32(masks + 4);
        maskB = U32(masks + 8);
        if (maskCount == 4) maskA = U32(masks + 12);
        if (infoSize >= 56) maskA = U32(info + 52);
        if (!maskR && !maskG && !maskB) codecs::Fail(kBmp, "empty colour masks");
    } else if (bits == 16) {
        maskR = 0x7C00;
        maskG = 0x03E0;
        maskB = 0x001F;
    } else if (bits >= 24) {
        maskR = 0x00FF0000;
        maskG = 0x0000FF00;
        maskB = 0x000000FF;
        if (bits == 32 && infoSize >= 56) maskA = U32(info + 52);
    }

    TDecodedImage image;
    image.Width = static_cast<int32_t>(width);
    image.Height = static_cast<int32_t>(height);
    image.BitDepth = static_cast<int32_t>(bits);
    image.ColorType = bits <= 8 ? 3 : (maskA ? 6 : 2);
    if (xPelsPerMeter > 0 && yPelsPerMeter > 0) {
        image.DpiX = static_cast<int32_t>(std::lround(std::min(xPelsPerMeter, 100000000) * 0.0254));
        image.DpiY = static_cast<int32_t>(std::lround(std::min(yPelsPerMeter, 100000000) * 0.0254));
    }

    uint32_t palette[256] = {};
    if (bits <= 8) {
        size_t maxColors = size_t(1) << bits;
        size_t count = colorsUsed == 0 ? maxColors : colorsUsed;
        if (count > maxColors) count = maxColors;  // extra entries cannot be addressed
        size_t paletteBytes = count * paletteEntrySize;
        if (afterHeader > size || paletteBytes > size - afterHeader)
            codecs::Fail(kBmp, "truncated palette");
        if (pixelOffset != 0 && afterHeader + paletteBytes > pixelOffset)
            codecs::Fail(kBmp, "palette overlaps the pixels");
        image.Palette.resize(count);
        for (size_t i = 0; i < count; ++i) {
            const uint8_t* e = data + afterHeader + i * paletteEntrySize;
            image.Palette[i] = {e[2], e[1], e[0]};
            palette[i] = 0xFF000000u | uint32_t(e[2]) << 16 | uint32_t(e[1]) << 8 | e[0];
        }
        // Indices beyond the palette show as black, as they do on screen.
        for (size_t i = count; i < 256; ++i) palette[i] = 0xFF000000u;
        afterHeader += paletteBytes;
    }

    const size_t stride = ((static_cast<size_t>(width) * bits + 31) / 32) * 4;
    const size_t offset = pixelOffset ? pixelOffset : afterHeader;
    if (offset < afterHeader) codecs::Fail(kBmp, "pixel data overlaps the header");
    if (rle) {
        if (offset >= size) codecs::Fail(kBmp, "truncated pixel data");
        // Two bytes can end a row of any width: allow far more pixels per byte than for
        // the other codings, still bounded.
        codecs::CheckPlausible(kBmp, width * height, size, 16384);
        DecodeRle(data + offset, size - offset, compression == BI_RLE4, palette, image);
        codecs::UpdateHasAlpha(image);
        return image;
    }
    if (offset > size || stride * static_cast<size_t>(height) > size - offset) {
        // The last row may lack its padding in files written by careless tools.
        size_t needed = stride * (static_cast<size_t>(height) - 1) +
                        (static_cast<size_t>(width) * bits + 7) / 8;
        if (offset > size || needed > size - offset) codecs::Fail(kBmp, "truncated pixel data");
    }

    const TChannel r(maskR), g(maskG), b(maskB), a(maskA);
    // The usual byte-aligned layouts copy bytes; others go through the masks.
    const bool plainBytes = maskR == 0x00FF0000 && maskG == 0x0000FF00 && maskB == 0x000000FF &&
                            (maskA == 0 || maskA == 0xFF000000u) && bits >= 24;
    image.Pixels.resize(static_cast<size_t>(width) * height);
    for (int64_t row = 0; row < height; ++row) {
        const uint8_t* src = data + offset + stride * static_cast<size_t>(row);
        int64_t y = topDown ? row : height - 1 - row;
        uint32_t* dst = image.Pixels.data() + static_cast<size_t>(y) * width;
        if (plainBytes && bits == 24) {
            for (int64_t x = 0; x < width; ++x, src += 3)
                dst[x] = 0xFF000000u | uint32_t(src[2]) << 16 | uint32_t(src[1]) << 8 | src[0];
            continue;
        }
        if (plainBytes) {
            std::memcpy(dst, src, static_cast<size_t>(width) * 4);  // little-endian BGRA
            if (!maskA)
                for (int64_t x = 0; x < width; ++x) dst[x] |= 0xFF000000u;
            continue;
        }
        for (int64_t x = 0; x < width; ++x) {
            uint32_t v;
            switch (bits) {
            case 1: dst[x] = palette[(src[x >> 3] >> (7 - (x & 7))) & 1]; continue;
            case 4: dst[x] = palette[(src[x >> 1] >> ((x & 1) ? 0 : 4)) & 15]; continue;
            case 8: dst[x] = palette[src[x]]; continue;
            case 16: v = U16(src + 2 * x); break;
            case 24: v = uint32_t(src[3 * x]) | uint32_t(src[3 * x + 1]) << 8 |
                         uint32_t(src[3 * x + 2]) << 16;
                break;
            default: v = U32(src + 4 * x); break;
            }
            dst[x] = a.Get(v, 255) << 24 | r.Get(v, 0) << 16 | g.Get(v, 0) << 8 | b.Get(v, 0);
        }
    }
    // An alpha mask over bytes that are all zero is a writer's habit, not a see-through picture.
    if (maskA) {
        bool allClear = std::all_of(image.Pixels.begin(), image.Pixels.end(),
                                    [](uint32_t p) { return (p >> 24) == 0; });
        if (allClear) {
            for (uint32_t& p : image.Pixels) p |= 0xFF000000u;
            image.ColorType = 2;
        }
    }
    // 32-bit files without an alpha mask often carry alpha in the spare byte; use it only
    // when some pixel sets it, since most leave it zero.
    if (bits == 32 && !maskA && compression == BI_RGB) {
        bool anyAlpha = false;
        for (int64_t row = 0; row < height && !anyAlpha; ++row) {
            const uint8_t* src = data + offset + stride * static_cast<size_t>(row);
            for (int64_t x = 0; x < width; ++x)
                if (src[4 * x + 3]) {
                    anyAlpha = true;
                    break;
                }
        }
        if (anyAlpha) {
            image.ColorType = 6;
            for (int64_t row = 0; row < height; ++row) {
                const uint8_t* src = data + offset + stride * static_cast<size_t>(row);
                int64_t y = topDown ? row : height - 1 - row;
                uint32_t* dst = image.Pixels.data() + static_cast<size_t>(y) * width;
                for (int64_t x = 0; x < width; ++x)
                    dst[x] = (dst[x] & 0x00FFFFFFu) | uint32_t(src[4 * x + 3]) << 24;
            }
        }
    }
    codecs::UpdateHasAlpha(image);
    return image;
}

std::string EncodeBmp(const TDecodedImage& image, int bitsPerPixel) {
    if (bitsPerPixel != 24 && bitsPerPixel != 32)
        throw EInvalidGraphic("BMP pictures are written with 24 or 32 bits per pixel");
    codecs::CheckEncodable(kBmp, image);
    const bool alpha = bitsPerPixel == 32;
    const uint32_t infoSize = alpha ? 108 : 40;  // 32 bits: a header with an alpha mask
    const size_t stride = ((static_cast<size_t>(image.Width) * bitsPerPixel + 31) / 32) * 4;
    const size_t pixelBytes = stride * image.Height;
    const size_t offset = kFileHeaderSize + infoSize;
    if (offset + pixelBytes > 0xFFFFFFFFu)
        throw EInvalidGraphic("Cannot write a BMP image larger than 4 GB");

    std::string out;
    out.reserve(offset + pixelBytes);
    out += "BM";
    Put32(out, static_cast<uint32_t>(offset + pixelBytes));
    Put32(out, 0);
    Put32(out, static_cast<uint32_t>(offset));
    Put32(out, infoSize);
    Put32(out, static_cast<uint32_t>(image.Width));
    Put32(out, static_cast<uint32_t>(image.Height));  // positive: bottom-up
    Put16(out, 1);
    Put16(out, static_cast<uint16_t>(bitsPerPixel));
    Put32(out, alpha ? BI_BITFIELDS : BI_RGB);
    Put32(out, static_cast<uint32_t>(pixelBytes));
    auto perMeter = [](int32_t dpi) {
        return static_cast<uint32_t>(dpi > 0 ? std::lround(dpi / 0.0254) : 3780);  // 96 dpi
    };
    Put32(out, perMeter(image.DpiX));
    Put32(out, perMeter(image.DpiY));
    Put32(out, 0);
    Put32(out, 0);
    if (alpha) {
        Put32(out, 0x00FF0000);
        Put32(out, 0x0000FF00);
        Put32(out, 0x000000FF);
        Put32(out, 0xFF000000);
        Put32(out, 0x73524742);  // 'sRGB'
        out.append(36 + 12, '\0');  // endpoints and gamma, unused for sRGB
    }
    std::string row(stride, '\0');
    for (int32_t y = image.Height - 1; y >= 0; --y) {
        const uint32_t* src = image.Pixels.data() + static_cast<size_t>(y) * image.Width;
        char* p = row.data();
        for (int32_t x = 0; x < image.Width; ++x) {
            uint32_t v = src[x];
            *p++ = static_cast<char>(v & 0xFF);
            *p++ = static_cast<char>((v >> 8) & 0xFF);
            *p++ = static_cast<char>((v >> 16) & 0xFF);
            if (alpha) *p++ = static_cast<char>(v >> 24);
        }
        out += row;
    }
    return out;
}

}  // namespace epc
