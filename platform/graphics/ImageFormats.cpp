#include "platform/graphics/ImageFormats.h"

#include <gif_lib.h>
#include <jpeglib.h>

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unordered_map>
#include <vector>

namespace epc {

namespace {

struct TJpegError {
    jpeg_error_mgr Manager;
    jmp_buf Jump;
    char Message[JMSG_LENGTH_MAX];
};

void JpegErrorExit(j_common_ptr cinfo) {
    auto* err = reinterpret_cast<TJpegError*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, err->Message);
    longjmp(err->Jump, 1);
}

void JpegOutputMessage(j_common_ptr) {}

struct TJpegOutput {
    unsigned char* Buffer = nullptr;
    unsigned long Size = 0;
};

// Only plain data lives in this frame across the long jump.
bool CompressJpeg(const uint8_t* rows, int width, int height, int components, int quality,
                  TJpegOutput* out, TJpegError* err) {
    jpeg_compress_struct cinfo;
    cinfo.err = jpeg_std_error(&err->Manager);
    err->Manager.error_exit = JpegErrorExit;
    err->Manager.output_message = JpegOutputMessage;
    if (setjmp(err->Jump)) {
        jpeg_destroy_compress(&cinfo);
        return false;
    }
    jpeg_create_compress(&cinfo);
    jpeg_mem_dest(&cinfo, &out->Buffer, &out->Size);
    cinfo.image_width = JDIMENSION(width);
    cinfo.image_height = JDIMENSION(height);
    cinfo.input_components = components;
    cinfo.in_color_space = components == 1 ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    size_t stride = size_t(width) * components;
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(rows + stride * cinfo.next_scanline);
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    return true;
}

int GifWrite(GifFileType* gif, const GifByteType* data, int length) {
    auto* out = static_cast<std::string*>(gif->UserData);
    out->append(reinterpret_cast<const char*>(data), size_t(length));
    return length;
}

} // namespace

std::string EncodeJpeg(const TDecodedImage& image, int quality, bool grayscale) {
    if (image.Width <= 0 || image.Height <= 0 ||
        image.Pixels.size() < size_t(image.Width) * size_t(image.Height))
        throw EInvalidGraphic("JPEG: nothing to compress");
    int components = grayscale ? 1 : 3;
    size_t n = size_t(image.Width) * image.Height;
    std::vector<uint8_t> rows(n * components);
    for (size_t i = 0; i < n; ++i) {
        uint32_t p = image.Pixels[i];
        uint8_t r = uint8_t(p >> 16), g = uint8_t(p >> 8), b = uint8_t(p);
        if (grayscale) {
            rows[i] = uint8_t((r * 77 + g * 150 + b * 29 + 128) >> 8);
        } else {
            rows[i * 3] = r;
            rows[i * 3 + 1] = g;
            rows[i * 3 + 2] = b;
        }
    }
    auto out = std::make_unique<TJpegOutput>();
    auto err = std::make_unique<TJpegError>();
    bool ok = CompressJpeg(rows.data(), image.Width, image.Height, components,
                           std::clamp(quality, 1, 100), out.get(), err.get());
    std::string result;
    if (ok && out->Buffer) result.assign(reinterpret_cast<char*>(out->Buffer), out->Size);
    std::free(out->Buffer);
    if (!ok) throw EInvalidGraphic(std::string("JPEG: ") + err->Message);
    return result;
}

std::string EncodeGif(const TDecodedImage& image) {
    int w = image.Width, h = image.Height;
    if (w <= 0 || h <= 0 || w > 65535 || h > 65535 || image.Pixels.size() < size_t(w) * size_t(h))
        throw EInvalidGraphic("GIF: nothing to encode");
    size_t n = size_t(w) * h;
    // Exact palette when the colours fit, one slot kept for transparency.
    std::vector<uint32_t> colours;
    std::unordered_map<uint32_t, int> index;
    bool transparent = false;
    bool exact = true;
    for (size_t i = 0; i < n && exact; ++i) {
        uint32_t p = image.Pixels[i];
        if ((p >> 24) < 128) {
            transparent = true;
            continue;
        }
        uint32_t rgb = p & 0xFFFFFF;
        if (index.emplace(rgb, int(colours.size())).second) {
            colours.push_back(rgb);
            if (colours.size() > 255) exact = false;
        }
    }
    if (!exact) {
        colours.clear();
        index.clear();
        for (int r = 0; r < 6; ++r)
            for (int g = 0; g < 6; ++g)
                for (int b = 0; b < 6; ++b)
                    colours.push_back((uint32_t(r * 51) << 16) | (uint32_t(g * 51) << 8) |
                                      uint32_t(b * 51));
    }
    int transIndex = -1;
    if (transparent) {
        transIndex = int(colours.size());
        colours.push_back(0);
    }
    int mapSize = 2;
    while (mapSize < int(colours.size()))
        mapSize *= 2;
    std::vector<GifPixelType> pixels(n);
    for (size_t i = 0; i < n; ++i) {
        uint32_t p = image.Pixels[i];
        if (transparent && (p >> 24) < 128) {
            pixels[i] = GifPixelType(transIndex);
        } else if (exact) {
            pixels[i] = GifPixelType(index[p & 0xFFFFFF]);
        } else {
            int r = ((p >> 16) & 255) * 5 / 255 + ((((p >> 16) & 255) * 5 % 255) > 127 ? 1 : 0);
            int g = ((p >> 8) & 255) * 5 / 255 + ((((p >> 8) & 255) * 5 % 255) > 127 ? 1 : 0);
            int b = (p & 255) * 5 / 255 + (((p & 255) * 5 % 255) > 127 ? 1 : 0);
            pixels[i] = GifPixelType(r * 36 + g * 6 + b);
        }
    }
    std::string out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, GifWrite, &error);
    if (!gif) throw EInvalidGraphic("GIF: cannot start encoding");
    ColorMapObject* map = GifMakeMapObject(mapSize, nullptr);
    bool ok = map != nullptr;
    if (ok) {
        for (int k = 0; k < mapSize; ++k) {
            uint32_t c = k < int(colours.size()) ? colours[k] : 0;
            map->Colors[k].Red = GifByteType(c >> 16);
            map->Colors[k].Green = GifByteType(c >> 8);
            map->Colors[k].Blue = GifByteType(c);
        }
        EGifSetGifVersion(gif, transparent);
        ok = EGifPutScreenDesc(gif, w, h, 8, 0, map) == GIF_OK;
    }
    if (ok && transparent) {
        GraphicsControlBlock gcb{};
        gcb.DisposalMode = DISPOSAL_UNSPECIFIED;
        gcb.UserInputFlag = false;
        gcb.DelayTime = 0;
        gcb.TransparentColor = transIndex;
        GifByteType ext[4];
        size_t len = EGifGCBToExtension(&gcb, ext);
        ok = EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, int(len), ext) == GIF_OK;
    }
    if (ok) ok = EGifPutImageDesc(gif, 0, 0, w, h, false, nullptr) == GIF_OK;
    for (int y = 0; ok && y < h; ++y)
        ok = EGifPutLine(gif, &pixels[size_t(y) * w], w) == GIF_OK;
    if (map) GifFreeMapObject(map);
    if (EGifCloseFile(gif, &error) != GIF_OK) ok = false;
    if (!ok) throw EInvalidGraphic("GIF: cannot encode the image");
    return out;
}

// ---- TJPEGImage ---------------------------------------------------------------------------

TJPEGImage::TJPEGImage() = default;

TJPEGImage::~TJPEGImage() = default;

void TJPEGImage::SetCompressionQuality(int value) {
    value = std::clamp(value, 1, 100);
    if (value == FQuality) return;
    FQuality = value;
}

void TJPEGImage::SetGrayscale(bool value) {
    if (value == FGrayscale) return;
    FGrayscale = value;
    if (!FImage.Empty()) {
        FDataCurrent = false;
        Changed(this);
    }
}

const std::string& TJPEGImage::Data() {
    if (!FDataCurrent) {
        FData = FImage.Empty() ? std::string() : EncodeJpeg(FImage.ToImage(), FQuality, FGrayscale);
        FDataCurrent = true;
    }
    return FData;
}

void TJPEGImage::Draw(TCanvas* canvas, const TRect& rect) {
    if (!canvas || Empty()) return;
    FImage.Draw(canvas, rect);
}

void TJPEGImage::LoadFromStream(TStream& stream) {
    std::string data = ReadStreamRest(stream);
    TDecodedImage image = DecodeJpeg(reinterpret_cast<const uint8_t*>(data.data()), data.size());
    FImage.LoadFromImage(image, pf24bit);
    FGrayscale = image.ColorType == 0;
    FData = std::move(data);
    FDataCurrent = true;
    Changed(this);
}

void TJPEGImage::SaveToStream(TStream& stream) {
    stream.WriteString(Data());
}

void TJPEGImage::Assign(TPersistent* source) {
    if (source == this) return;
    if (auto* src = dynamic_cast<TJPEGImage*>(source)) {
        FImage.Assign(&src->FImage);
        FData = src->Data();
        FDataCurrent = true;
        FQuality = src->FQuality;
        FGrayscale = src->FGrayscale;
        Changed(this);
        return;
    }
    if (auto* g = dynamic_cast<TGraphic*>(source)) {
        TBitmap pixels;
        pixels.Assign(g);
        pixels.SetPixelFormat(pf24bit);
        FImage.Assign(&pixels);
        FDataCurrent = false;
        Data(); // raises now for what cannot be compressed
        Changed(this);
        return;
    }
    TGraphic::Assign(source);
}

void TJPEGImage::AssignTo(TPersistent* dest) {
    if (auto* bmp = dynamic_cast<TBitmap*>(dest)) {
        bmp->Assign(&FImage);
        return;
    }
    TGraphic::AssignTo(dest);
}

// ---- TGIFImage ----------------------------------------------------------------------------

TGIFImage::TGIFImage() = default;

TGIFImage::~TGIFImage() = default;

void TGIFImage::Changed(TObject* sender) {
    FCache.Invalidate();
    TGraphic::Changed(sender);
}

TColor TGIFImage::TransparentColor() const {
    if (!FImage.HasTransparentColor) return clNone;
    uint32_t c = FImage.TransparentColor;
    return TColor(RGB(uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c)));
}

void TGIFImage::SetData(std::string data) {
    TDecodedImage image = DecodeGif(reinterpret_cast<const uint8_t*>(data.data()), data.size());
    if (image.Pixels.size() < size_t(std::max(image.Width, 0)) * size_t(std::max(image.Height, 0)))
        throw EInvalidGraphic(SInvalidImage);
    FImage = std::move(image);
    FData = std::move(data);
    Changed(this);
}

void TGIFImage::Draw(TCanvas* canvas, const TRect& rect) {
    if (!canvas || Empty()) return;
    if (!FCache.Valid()) {
        bool transparent = Transparent();
        if (FImage.HasTransparentColor && !FImage.HasAlpha) {
            // A decoder that reports the key colour but leaves it opaque: cut it out here.
            std::vector<uint32_t> pixels(FImage.Pixels);
            uint32_t key = FImage.TransparentColor & 0xFFFFFF;
            for (uint32_t& p : pixels)
                if ((p & 0xFFFFFF) == key) p &= 0x00FFFFFF;
            FCache.Load(FImage.Width, FImage.Height, pixels.data(), true);
        } else {
            FCache.Load(FImage.Width, FImage.Height, FImage.Pixels.data(), transparent);
        }
    }
    FCache.Draw(canvas, rect);
}

void TGIFImage::LoadFromStream(TStream& stream) {
    SetData(ReadStreamRest(stream));
}

void TGIFImage::SaveToStream(TStream& stream) {
    stream.WriteString(FData);
}

void TGIFImage::Assign(TPersistent* source) {
    if (source == this) return;
    if (auto* src = dynamic_cast<TGIFImage*>(source)) {
        FImage = src->FImage;
        FData = src->FData;
        Changed(this);
        return;
    }
    if (auto* bmp = dynamic_cast<TBitmap*>(source)) {
        TDecodedImage image = bmp->ToImage();
        if (bmp->Transparent() && !bmp->Empty()) {
            COLORREF key = ColorToRGB(bmp->TransparentColor());
            uint32_t k =
                (uint32_t(GetRValue(key)) << 16) | (uint32_t(GetGValue(key)) << 8) | GetBValue(key);
            for (uint32_t& p : image.Pixels)
                p = (p & 0xFFFFFF) == k ? 0 : (p | 0xFF000000u);
        } else {
            for (uint32_t& p : image.Pixels)
                p |= 0xFF000000u;
        }
        SetData(EncodeGif(image));
        return;
    }
    if (auto* g = dynamic_cast<TGraphic*>(source)) {
        TBitmap pixels;
        pixels.Assign(g);
        Assign(&pixels);
        return;
    }
    TGraphic::Assign(source);
}

void TGIFImage::AssignTo(TPersistent* dest) {
    TGraphic::AssignTo(dest);
}

} // namespace epc
