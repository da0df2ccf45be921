// GIF through giflib's record interface. Reading takes the first frame, read into our own buffer
// after its size is checked, composed on the logical screen and cut at its edges; writing puts
// one frame with one colour map.

#include <gif_lib.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <unordered_map>
#include <vector>

#include "platform/codecs/CodecInternals.h"
#include "platform/core/Exceptions.h"

namespace epc {

namespace {

constexpr const char* kGif = "GIF";

int GifRead(GifFileType* gif, GifByteType* out, int length) {
    if (length <= 0) return 0;
    auto* source = static_cast<codecs::TByteSource*>(gif->UserData);
    return static_cast<int>(source->Read(out, static_cast<size_t>(length)));
}

struct TGifCloser {
    void operator()(GifFileType* gif) const {
        int error = 0;
        DGifCloseFile(gif, &error);
    }
};

[[noreturn]] void FailGif(GifFileType* gif, const char* what) {
    const char* reason = gif ? GifErrorString(gif->Error) : nullptr;
    codecs::Fail(kGif, std::string(what) + (reason ? std::string(" (") + reason + ")" : ""));
}

// The colours a GIF is written with: the picture's own when fewer than 256 are opaque enough
// to show, else a 6x6x6 colour cube; then one slot for the transparent index when needed.
struct TGifPalette {
    std::vector<uint32_t> Colours;           // 0x00RRGGBB
    std::unordered_map<uint32_t, int> Index; // of an exact palette
    bool Exact = true;
    int TransparentIndex = -1;
};

TGifPalette ChooseGifPalette(const TDecodedImage& image, size_t n) {
    TGifPalette palette;
    bool transparent = false;
    for (size_t i = 0; i < n; ++i) {
        uint32_t p = image.Pixels[i];
        if ((p >> 24) < 128) {
            transparent = true;
            continue;
        }
        // Once the colours outgrow a palette only the transparency is still worth finding.
        if (!palette.Exact) {
            if (transparent) break;
            continue;
        }
        uint32_t rgb = p & 0xFFFFFF;
        if (palette.Index.emplace(rgb, int(palette.Colours.size())).second) {
            palette.Colours.push_back(rgb);
            if (palette.Colours.size() > 255) palette.Exact = false;
        }
    }
    if (!palette.Exact) {
        palette.Colours.clear();
        palette.Index.clear();
        for (int r = 0; r < 6; ++r)
            for (int g = 0; g < 6; ++g)
                for (int b = 0; b < 6; ++b)
                    palette.Colours.push_back((uint32_t(r * 51) << 16) | (uint32_t(g * 51) << 8) |
                                              uint32_t(b * 51));
    }
    if (transparent) {
        palette.TransparentIndex = int(palette.Colours.size());
        palette.Colours.push_back(0);
    }
    return palette;
}

// The nearest of six levels, rounding half up.
int CubeLevel(uint32_t v) {
    return int(v * 5 / 255 + ((v * 5 % 255) > 127 ? 1 : 0));
}

std::vector<GifPixelType> IndexGifPixels(const TDecodedImage& image, size_t n,
                                         TGifPalette& palette) {
    std::vector<GifPixelType> pixels(n);
    for (size_t i = 0; i < n; ++i) {
        uint32_t p = image.Pixels[i];
        if (palette.TransparentIndex >= 0 && (p >> 24) < 128) {
            pixels[i] = GifPixelType(palette.TransparentIndex);
        } else if (palette.Exact) {
            pixels[i] = GifPixelType(palette.Index[p & 0xFFFFFF]);
        } else {
            int r = CubeLevel((p >> 16) & 255), g = CubeLevel((p >> 8) & 255),
                b = CubeLevel(p & 255);
            pixels[i] = GifPixelType(r * 36 + g * 6 + b);
        }
    }
    return pixels;
}

int GifWrite(GifFileType* gif, const GifByteType* data, int length) {
    auto* out = static_cast<std::string*>(gif->UserData);
    out->append(reinterpret_cast<const char*>(data), size_t(length));
    return length;
}

// The screen with its colour map, the transparency extension, then one frame of all rows.
bool WriteGif(GifFileType* gif, int w, int h, const TGifPalette& palette,
              const std::vector<GifPixelType>& pixels) {
    int mapSize = 2;
    while (mapSize < int(palette.Colours.size()))
        mapSize *= 2;
    std::unique_ptr<ColorMapObject, void (*)(ColorMapObject*)> map(
        GifMakeMapObject(mapSize, nullptr), GifFreeMapObject);
    if (!map) return false;
    for (int k = 0; k < mapSize; ++k) {
        uint32_t c = k < int(palette.Colours.size()) ? palette.Colours[k] : 0;
        map->Colors[k].Red = GifByteType(c >> 16);
        map->Colors[k].Green = GifByteType(c >> 8);
        map->Colors[k].Blue = GifByteType(c);
    }
    const bool transparent = palette.TransparentIndex >= 0;
    EGifSetGifVersion(gif, transparent);
    if (EGifPutScreenDesc(gif, w, h, 8, 0, map.get()) != GIF_OK) return false;
    if (transparent) {
        GraphicsControlBlock gcb{};
        gcb.DisposalMode = DISPOSAL_UNSPECIFIED;
        gcb.UserInputFlag = false;
        gcb.DelayTime = 0;
        gcb.TransparentColor = palette.TransparentIndex;
        GifByteType ext[4];
        size_t len = EGifGCBToExtension(&gcb, ext);
        if (EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, int(len), ext) != GIF_OK) return false;
    }
    if (EGifPutImageDesc(gif, 0, 0, w, h, false, nullptr) != GIF_OK) return false;
    for (int y = 0; y < h; ++y)
        if (EGifPutLine(gif, const_cast<GifPixelType*>(&pixels[size_t(y) * w]), w) != GIF_OK)
            return false;
    return true;
}

}  // namespace

TDecodedImage DecodeGif(const uint8_t* data, size_t size) {
    if (!data || size < 6 ||
        (std::memcmp(data, "GIF87a", 6) != 0 && std::memcmp(data, "GIF89a", 6) != 0))
        codecs::Fail(kGif, "missing GIF signature");
    codecs::TByteSource source{data, size, 0};
    int error = 0;
    std::unique_ptr<GifFileType, TGifCloser> gif(DGifOpen(&source, GifRead, &error));
    if (!gif) {
        const char* reason = GifErrorString(error);
        codecs::Fail(kGif, std::string("bad screen descriptor") +
                               (reason ? std::string(" (") + reason + ")" : ""));
    }
    int transparentIndex = NO_TRANSPARENT_COLOR;
    for (;;) {
        GifRecordType type = UNDEFINED_RECORD_TYPE;
        if (DGifGetRecordType(gif.get(), &type) == GIF_ERROR) FailGif(gif.get(), "truncated data");
        if (type == TERMINATE_RECORD_TYPE) codecs::Fail(kGif, "no frame in the file");
        if (type == EXTENSION_RECORD_TYPE) {
            int code = 0;
            GifByteType* ext = nullptr;
            if (DGifGetExtension(gif.get(), &code, &ext) == GIF_ERROR)
                FailGif(gif.get(), "bad extension block");
            if (code == GRAPHICS_EXT_FUNC_CODE && ext && ext[0] >= 4) {
                GraphicsControlBlock gcb;
                if (DGifExtensionToGCB(ext[0], ext + 1, &gcb) == GIF_OK)
                    transparentIndex = gcb.TransparentColor;
            }
            while (ext) {
                if (DGifGetExtensionNext(gif.get(), &ext) == GIF_ERROR)
                    FailGif(gif.get(), "bad extension block");
            }
            continue;
        }
        if (type != IMAGE_DESC_RECORD_TYPE) codecs::Fail(kGif, "unknown block");
        break;
    }

    if (DGifGetImageDesc(gif.get()) == GIF_ERROR) FailGif(gif.get(), "bad image descriptor");
    const GifImageDesc& desc = gif->Image;
    const int64_t left = desc.Left, top = desc.Top, w = desc.Width, h = desc.Height;
    if (w <= 0 || h <= 0 || left < 0 || top < 0) codecs::Fail(kGif, "empty frame");
    codecs::CheckDimensions(kGif, w, h);
    // The picture is the logical screen; careless writers leave it empty, and then the frame
    // decides. A frame reaching past the screen is cut at its edge.
    int64_t screenW = gif->SWidth, screenH = gif->SHeight;
    if (screenW == 0 || screenH == 0) {
        screenW = left + w;
        screenH = top + h;
    }
    codecs::CheckDimensions(kGif, screenW, screenH);
    // LZW yields at most a few thousand pixels per byte.
    codecs::CheckPlausible(kGif, screenW * screenH, size, 8192);
    codecs::CheckPlausible(kGif, w * h, size, 8192);
    const int64_t visibleW = std::clamp<int64_t>(screenW - left, 0, w);
    const ColorMapObject* map = desc.ColorMap ? desc.ColorMap : gif->SColorMap;
    if (!map || map->ColorCount <= 0 || !map->Colors) codecs::Fail(kGif, "no colour table");

    TDecodedImage image;
    image.Width = static_cast<int32_t>(screenW);
    image.Height = static_cast<int32_t>(screenH);
    image.ColorType = 3;
    image.BitDepth = std::clamp(map->BitsPerPixel, 1, 8);
    image.Palette.resize(map->ColorCount);
    for (int i = 0; i < map->ColorCount; ++i)
        image.Palette[i] = {map->Colors[i].Red, map->Colors[i].Green, map->Colors[i].Blue};
    uint32_t colours[256];
    for (int i = 0; i < 256; ++i) {
        // Indices beyond the table show as its first colour.
        const GifColorType& c = map->Colors[i < map->ColorCount ? i : 0];
        colours[i] = 0xFF000000u | uint32_t(c.Red) << 16 | uint32_t(c.Green) << 8 | c.Blue;
    }
    uint32_t background = 0;
    if (transparentIndex >= 0 && transparentIndex < 256) {
        colours[transparentIndex] &= 0x00FFFFFFu;
        if (transparentIndex < map->ColorCount) {
            image.HasTransparentColor = true;
            image.TransparentColor = colours[transparentIndex];
            image.PaletteAlpha.assign(transparentIndex + 1, 255);
            image.PaletteAlpha[transparentIndex] = 0;
        }
    } else if (gif->SColorMap && gif->SBackGroundColor < gif->SColorMap->ColorCount) {
        // Without transparency the screen around the frame shows the background colour.
        const GifColorType& c = gif->SColorMap->Colors[gif->SBackGroundColor];
        background = 0xFF000000u | uint32_t(c.Red) << 16 | uint32_t(c.Green) << 8 | c.Blue;
    }
    image.Pixels.assign(static_cast<size_t>(screenW) * screenH, background);

    std::vector<GifPixelType> line(static_cast<size_t>(w));
    auto readRow = [&](int64_t y) {
        if (DGifGetLine(gif.get(), line.data(), static_cast<int>(w)) == GIF_ERROR)
            FailGif(gif.get(), "truncated or corrupted pixel data");
        if (top + y >= screenH) return;
        uint32_t* dst = image.Pixels.data() + size_t(top + y) * screenW + left;
        for (int64_t x = 0; x < visibleW; ++x) dst[x] = colours[line[x]];
    };
    if (desc.Interlace) {
        static const int start[4] = {0, 4, 2, 1}, step[4] = {8, 8, 4, 2};
        for (int pass = 0; pass < 4; ++pass)
            for (int64_t y = start[pass]; y < h; y += step[pass]) readRow(y);
    } else {
        for (int64_t y = 0; y < h; ++y) readRow(y);
    }
    codecs::UpdateHasAlpha(image);
    return image;
}

std::string EncodeGif(const TDecodedImage& image) {
    int w = image.Width, h = image.Height;
    if (w <= 0 || h <= 0 || w > 65535 || h > 65535 || image.Pixels.size() < size_t(w) * size_t(h))
        throw EInvalidGraphic("GIF: nothing to encode");
    size_t n = size_t(w) * h;
    TGifPalette palette = ChooseGifPalette(image, n);
    std::vector<GifPixelType> pixels = IndexGifPixels(image, n, palette);
    std::string out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, GifWrite, &error);
    if (!gif) throw EInvalidGraphic("GIF: cannot start encoding");
    bool ok = WriteGif(gif, w, h, palette, pixels);
    if (EGifCloseFile(gif, &error) != GIF_OK) ok = false;
    if (!ok) throw EInvalidGraphic("GIF: cannot encode the image");
    return out;
}

}  // namespace epc
