// PNG through libpng. libpng reports errors by longjmp, so the functions that call it keep no
// object with a destructor alive across a call into it: everything they fill lives in a state
// record owned by the caller, which frees the libpng structures on every path.

#include <png.h>

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <unordered_map>

#include "platform/codecs/CodecInternals.h"
#include "platform/core/Exceptions.h"
#include "platform/core/ScopeGuard.h"

namespace epc {

namespace {

constexpr const char* kPng = "PNG";

struct TPngReadState {
    const uint8_t* Data = nullptr;
    size_t Size = 0;
    size_t Pos = 0;
    char Message[200] = {};
    bool ImageRead = false;
    TDecodedImage* Image = nullptr;
    std::vector<png_bytep>* Rows = nullptr;
};

void PngError(png_structp png, png_const_charp message) {
    auto* state = static_cast<TPngReadState*>(png_get_error_ptr(png));
    if (state && state->Message[0] == 0)
        std::snprintf(state->Message, sizeof state->Message, "%s", message ? message : "error");
    png_longjmp(png, 1);
}

void PngWarning(png_structp, png_const_charp) {}

void PngRead(png_structp png, png_bytep out, png_size_t length) {
    auto* state = static_cast<TPngReadState*>(png_get_io_ptr(png));
    if (length > state->Size - state->Pos) png_error(png, "truncated data");
    std::memcpy(out, state->Data + state->Pos, length);
    state->Pos += length;
}

uint8_t Scale16To8(png_uint_16 v, int bitDepth) {
    switch (bitDepth) {
    case 1: return v ? 255 : 0;
    case 2: return static_cast<uint8_t>((v & 3) * 85);
    case 4: return static_cast<uint8_t>((v & 15) * 17);
    case 16: return static_cast<uint8_t>(v >> 8);
    default: return static_cast<uint8_t>(v);
    }
}

// Runs libpng; returns false after an error (the message is in the state).
bool ReadPng(png_structp png, png_infop info, TPngReadState& state) {
    if (setjmp(png_jmpbuf(png))) return false;
    TDecodedImage& image = *state.Image;
    png_set_user_limits(png, codecs::kMaxSide, codecs::kMaxSide);
    png_read_info(png, info);

    png_uint_32 width = 0, height = 0;
    int bitDepth = 0, colorType = 0, interlace = 0;
    png_get_IHDR(png, info, &width, &height, &bitDepth, &colorType, &interlace, nullptr,
                 nullptr);
    codecs::CheckDimensions(kPng, width, height);  // raises: nothing of ours is pending
    // Deflate expands at most about 1032 times; count the filter byte of every row.
    int channels = png_get_channels(png, info);
    int64_t rawBytes =
        static_cast<int64_t>(height) * ((static_cast<int64_t>(width) * channels * bitDepth + 7) / 8 + 1);
    if (rawBytes / 1100 > static_cast<int64_t>(state.Size))
        png_error(png, "data too short for the picture's size");

    image.Width = static_cast<int32_t>(width);
    image.Height = static_cast<int32_t>(height);
    image.ColorType = colorType;
    image.BitDepth = bitDepth;

    png_colorp palette = nullptr;
    int paletteCount = 0;
    if (png_get_PLTE(png, info, &palette, &paletteCount) && palette) {
        image.Palette.resize(paletteCount);
        for (int i = 0; i < paletteCount; ++i)
            image.Palette[i] = {palette[i].red, palette[i].green, palette[i].blue};
    }
    if (colorType == PNG_COLOR_TYPE_PALETTE && image.Palette.empty())
        png_error(png, "palette image without a palette");
    png_bytep transAlpha = nullptr;
    int transCount = 0;
    png_color_16p transColor = nullptr;
    if (png_get_tRNS(png, info, &transAlpha, &transCount, &transColor)) {
        if (colorType == PNG_COLOR_TYPE_PALETTE && transAlpha) {
            image.PaletteAlpha.assign(transAlpha, transAlpha + transCount);
        } else if (transColor) {
            image.HasTransparentColor = true;
            if (colorType == PNG_COLOR_TYPE_GRAY) {
                uint32_t g = Scale16To8(transColor->gray, bitDepth);
                image.TransparentColor = g << 16 | g << 8 | g;
            } else {
                image.TransparentColor = uint32_t(Scale16To8(transColor->red, bitDepth)) << 16 |
                                         uint32_t(Scale16To8(transColor->green, bitDepth)) << 8 |
                                         Scale16To8(transColor->blue, bitDepth);
            }
        }
    }
    double gamma = 0;
    if (png_get_valid(png, info, PNG_INFO_gAMA) && png_get_gAMA(png, info, &gamma)) {
        image.HasGamma = true;
        image.Gamma = gamma;
    }
    png_uint_32 resX = 0, resY = 0;
    int unit = 0;
    if (png_get_pHYs(png, info, &resX, &resY, &unit) && unit == PNG_RESOLUTION_METER) {
        image.DpiX = static_cast<int32_t>(std::lround(std::min<double>(resX, 1e8) * 0.0254));
        image.DpiY = static_cast<int32_t>(std::lround(std::min<double>(resY, 1e8) * 0.0254));
    }

    // Everything becomes 8-bit B, G, R, A bytes: a little-endian 0xAARRGGBB.
    png_set_expand(png);
    png_set_scale_16(png);
    png_set_gray_to_rgb(png);
    png_set_bgr(png);
    png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    if (png_get_rowbytes(png, info) != static_cast<size_t>(width) * 4)
        png_error(png, "unexpected row layout");

    image.Pixels.resize(static_cast<size_t>(width) * height);
    state.Rows->resize(height);
    for (png_uint_32 y = 0; y < height; ++y)
        (*state.Rows)[y] = reinterpret_cast<png_bytep>(image.Pixels.data() + size_t(y) * width);
    png_read_image(png, state.Rows->data());
    state.ImageRead = true;
    png_read_end(png, nullptr);
    return true;
}

struct TPngWriteState {
    std::string* Out = nullptr;
    char Message[200] = {};
};

void PngWriteError(png_structp png, png_const_charp message) {
    auto* state = static_cast<TPngWriteState*>(png_get_error_ptr(png));
    if (state && state->Message[0] == 0)
        std::snprintf(state->Message, sizeof state->Message, "%s", message ? message : "error");
    png_longjmp(png, 1);
}

void PngWrite(png_structp png, png_bytep data, png_size_t length) {
    auto* state = static_cast<TPngWriteState*>(png_get_io_ptr(png));
    state->Out->append(reinterpret_cast<const char*>(data), length);
}

void PngFlush(png_structp) {}

struct TPngLayout {
    int ColorType = PNG_COLOR_TYPE_RGB;
    int BitDepth = 8;
    std::vector<png_color> Palette;
    std::vector<png_byte> PaletteAlpha;
    bool KeyColor = false;
    png_color_16 Key{};
    std::vector<std::vector<png_byte>> Rows;
    std::vector<png_bytep> RowPointers;
};

bool WritePng(png_structp png, png_infop info, const TDecodedImage& image, TPngLayout& layout) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_set_IHDR(png, info, image.Width, image.Height, layout.BitDepth, layout.ColorType,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (!layout.Palette.empty())
        png_set_PLTE(png, info, layout.Palette.data(), static_cast<int>(layout.Palette.size()));
    if (!layout.PaletteAlpha.empty())
        png_set_tRNS(png, info, layout.PaletteAlpha.data(),
                     static_cast<int>(layout.PaletteAlpha.size()), nullptr);
    if (layout.KeyColor) png_set_tRNS(png, info, nullptr, 0, &layout.Key);
    if (image.HasGamma && image.Gamma > 0 && image.Gamma < 100)
        png_set_gAMA(png, info, image.Gamma);
    if (image.DpiX > 0 && image.DpiY > 0)
        png_set_pHYs(png, info, static_cast<png_uint_32>(std::lround(image.DpiX / 0.0254)),
                     static_cast<png_uint_32>(std::lround(image.DpiY / 0.0254)),
                     PNG_RESOLUTION_METER);
    png_write_info(png, info);
    png_write_image(png, layout.RowPointers.data());
    png_write_end(png, info);
    return true;
}

// Indexes every pixel into the image's palette (colour plus palette alpha); false when some
// pixel has no exact entry.
bool BuildPaletteRows(const TDecodedImage& image, TPngLayout& layout) {
    size_t count = std::min<size_t>(image.Palette.size(), 256);
    std::unordered_map<uint32_t, uint8_t> index;
    for (size_t i = count; i-- > 0;) {
        const TPaletteEntry& e = image.Palette[i];
        uint32_t alpha = i < image.PaletteAlpha.size() ? image.PaletteAlpha[i] : 255;
        uint32_t key = alpha << 24 | uint32_t(e.Red) << 16 | uint32_t(e.Green) << 8 | e.Blue;
        index[key] = static_cast<uint8_t>(i);
    }
    // A fully transparent pixel without its own entry takes any fully transparent one.
    auto clear = std::find_if(index.begin(), index.end(),
                              [](const auto& kv) { return (kv.first >> 24) == 0; });
    const bool hasClear = clear != index.end();
    const uint32_t clearKey = hasClear ? clear->first : 0;
    int depth = count <= 2 ? 1 : count <= 4 ? 2 : count <= 16 ? 4 : 8;
    if (image.BitDepth > depth && (image.BitDepth == 2 || image.BitDepth == 4 ||
                                   image.BitDepth == 8))
        depth = image.BitDepth;
    layout.Rows.assign(image.Height, std::vector<png_byte>((size_t(image.Width) * depth + 7) / 8));
    for (int32_t y = 0; y < image.Height; ++y) {
        png_byte* row = layout.Rows[y].data();
        const uint32_t* src = image.Pixels.data() + size_t(y) * image.Width;
        for (int32_t x = 0; x < image.Width; ++x) {
            uint32_t p = src[x];
            auto it = index.find(p);
            if (it == index.end() && (p >> 24) == 0 && hasClear) it = index.find(clearKey);
            if (it == index.end()) return false;
            unsigned v = it->second;
            int bit = x * depth;
            row[bit >> 3] |= static_cast<png_byte>(v << (8 - depth - (bit & 7)));
        }
    }
    layout.ColorType = PNG_COLOR_TYPE_PALETTE;
    layout.BitDepth = depth;
    for (size_t i = 0; i < count; ++i)
        layout.Palette.push_back(
            {image.Palette[i].Red, image.Palette[i].Green, image.Palette[i].Blue});
    size_t alphaCount = std::min(image.PaletteAlpha.size(), count);
    while (alphaCount > 0 && image.PaletteAlpha[alphaCount - 1] == 255) --alphaCount;
    layout.PaletteAlpha.assign(image.PaletteAlpha.begin(),
                               image.PaletteAlpha.begin() + alphaCount);
    return true;
}

void BuildTrueColourRows(const TDecodedImage& image, bool keepAlpha, TPngLayout& layout) {
    bool anyAlpha = false;
    for (uint32_t p : image.Pixels) anyAlpha |= (p >> 24) != 0xFF;
    // A colour key survives as a key when every see-through pixel is the key colour.
    bool key = false;
    if (anyAlpha && !keepAlpha && image.HasTransparentColor) {
        key = true;
        for (uint32_t p : image.Pixels) {
            uint32_t a = p >> 24;
            if ((a != 0 && a != 0xFF) ||
                (a == 0 && (p & 0xFFFFFF) != (image.TransparentColor & 0xFFFFFF))) {
                key = false;
                break;
            }
        }
        // An opaque pixel of the key colour would turn transparent.
        if (key)
            for (uint32_t p : image.Pixels)
                if ((p >> 24) == 0xFF && (p & 0xFFFFFF) == (image.TransparentColor & 0xFFFFFF)) {
                    key = false;
                    break;
                }
    }
    bool alpha = keepAlpha || (anyAlpha && !key);
    int channels = alpha ? 4 : 3;
    layout.ColorType = alpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB;
    layout.BitDepth = 8;
    if (key) {
        layout.KeyColor = true;
        layout.Key.red = (image.TransparentColor >> 16) & 0xFF;
        layout.Key.green = (image.TransparentColor >> 8) & 0xFF;
        layout.Key.blue = image.TransparentColor & 0xFF;
    }
    layout.Rows.assign(image.Height, std::vector<png_byte>(size_t(image.Width) * channels));
    for (int32_t y = 0; y < image.Height; ++y) {
        png_byte* row = layout.Rows[y].data();
        const uint32_t* src = image.Pixels.data() + size_t(y) * image.Width;
        for (int32_t x = 0; x < image.Width; ++x) {
            uint32_t p = src[x];
            *row++ = (p >> 16) & 0xFF;
            *row++ = (p >> 8) & 0xFF;
            *row++ = p & 0xFF;
            if (alpha) *row++ = p >> 24;
        }
    }
}

}  // namespace

TDecodedImage DecodePng(const uint8_t* data, size_t size) {
    if (!data || size < 8 || png_sig_cmp(data, 0, 8) != 0)
        codecs::Fail(kPng, "missing PNG signature");
    TDecodedImage image;
    std::vector<png_bytep> rows;
    TPngReadState state;
    state.Data = data;
    state.Size = size;
    state.Image = &image;
    state.Rows = &rows;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &state, PngError, PngWarning);
    if (!png) throw EOutOfMemory("Out of memory");
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        throw EOutOfMemory("Out of memory");
    }
    auto destroy = Finally([&] { png_destroy_read_struct(&png, &info, nullptr); });
    png_set_read_fn(png, &state, PngRead);
    // A chunk cannot be longer than the input, so no declared length may make libpng allocate
    // more than that (decompressed metadata gets a small floor). The metadata we never use
    // is skipped in small reads, unallocated.
    png_set_chunk_malloc_max(png, std::max<png_alloc_size_t>(size, png_alloc_size_t(1) << 16));
    static const png_byte kUnused[] =
        "tEXt\0zTXt\0iTXt\0pCAL\0sCAL\0sPLT\0eXIf\0hIST\0tIME\0oFFs";
    png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, kUnused, int(sizeof kUnused / 5));
    bool ok = ReadPng(png, info, state);
    // Damage after the last row (a lost end chunk) leaves a complete picture.
    if (!ok && !state.ImageRead) codecs::Fail(kPng, state.Message);
    codecs::UpdateHasAlpha(image);
    return image;
}

std::string EncodePng(const TDecodedImage& image, bool keepAlpha) {
    codecs::CheckEncodable(kPng, image);
    TPngLayout layout;
    if (!(image.ColorType == PNG_COLOR_TYPE_PALETTE && !image.Palette.empty() && !keepAlpha &&
          BuildPaletteRows(image, layout))) {
        layout = TPngLayout();
        BuildTrueColourRows(image, keepAlpha, layout);
    }
    layout.RowPointers.resize(layout.Rows.size());
    for (size_t y = 0; y < layout.Rows.size(); ++y) layout.RowPointers[y] = layout.Rows[y].data();

    std::string out;
    TPngWriteState state;
    state.Out = &out;
    png_structp png =
        png_create_write_struct(PNG_LIBPNG_VER_STRING, &state, PngWriteError, PngWarning);
    if (!png) throw EOutOfMemory("Out of memory");
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        throw EOutOfMemory("Out of memory");
    }
    png_set_write_fn(png, &state, PngWrite, PngFlush);
    // Screenshots are the common case: fast settings lose little size on flat areas.
    png_set_compression_level(png, 3);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE | PNG_FILTER_SUB | PNG_FILTER_UP);
    bool ok = WritePng(png, info, image, layout);
    png_destroy_write_struct(&png, &info);
    if (!ok) throw EInvalidGraphic(std::string("Cannot write the PNG image: ") + state.Message);
    return out;
}

}  // namespace epc
