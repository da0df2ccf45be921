// GIF through giflib's record interface: the first frame, read into our own buffer after its
// size is checked, composed on the logical screen and cut at its edges.

#include <gif_lib.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "platform/codecs/CodecInternals.h"
#include "platform/core/Exceptions.h"

namespace epc {

namespace {

constexpr const char* kGif = "GIF";

struct TGifSource {
    const uint8_t* Data = nullptr;
    size_t Size = 0;
    size_t Pos = 0;
};

int GifRead(GifFileType* gif, GifByteType* out, int length) {
    auto* src = static_cast<TGifSource*>(gif->UserData);
    if (length <= 0) return 0;
    size_t n = std::min(static_cast<size_t>(length), src->Size - src->Pos);
    std::memcpy(out, src->Data + src->Pos, n);
    src->Pos += n;
    return static_cast<int>(n);
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

}  // namespace

TDecodedImage DecodeGif(const uint8_t* data, size_t size) {
    if (!data || size < 6 ||
        (std::memcmp(data, "GIF87a", 6) != 0 && std::memcmp(data, "GIF89a", 6) != 0))
        codecs::Fail(kGif, "missing GIF signature");
    TGifSource source{data, size, 0};
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

}  // namespace epc
