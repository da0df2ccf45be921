// JPEG through libjpeg, both ways. Errors come back by longjmp from our error manager; the
// functions that call the library keep no object with a destructor across those calls, and the
// compressor or decompressor is destroyed on every path. A stream that ends early is an error,
// not a picture padded with grey.

#include <cstddef>
#include <cstdio>
// jpeglib.h needs size_t and FILE declared first; jerror.h needs its configuration.
#include <jpeglib.h>
// clang-format off
#include <jerror.h>
// clang-format on

#include <algorithm>
#include <csetjmp>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/codecs/CodecInternals.h"
#include "platform/core/Exceptions.h"

namespace epc {

namespace {

constexpr const char* kJpeg = "JPEG";

struct TJpegError {
    jpeg_error_mgr Manager;  // first: libjpeg hands us a pointer to it
    jmp_buf Jump;
    char Message[JMSG_LENGTH_MAX] = {};
};

void JpegErrorExit(j_common_ptr cinfo) {
    auto* err = reinterpret_cast<TJpegError*>(cinfo->err);
    if (err->Message[0] == 0) (*cinfo->err->format_message)(cinfo, err->Message);
    longjmp(err->Jump, 1);
}

void JpegOutputMessage(j_common_ptr) {}

// Warnings that mean the picture data itself is damaged end the decoding like errors; the
// harmless ones (stray bytes between segments, unknown revisions, a bad colour profile) do not.
void JpegEmitMessage(j_common_ptr cinfo, int level) {
    if (level >= 0) return;
    cinfo->err->num_warnings++;
    switch (cinfo->err->msg_code) {
    case JWRN_ARITH_BAD_CODE:
    case JWRN_BOGUS_PROGRESSION:
    case JWRN_HIT_MARKER:
    case JWRN_HUFF_BAD_CODE:
    case JWRN_JPEG_EOF:
    case JWRN_MUST_RESYNC:
    case JWRN_NOT_SEQUENTIAL:
        JpegErrorExit(cinfo);
        break;
    default:
        break;
    }
}

struct TJpegSource {
    jpeg_source_mgr Manager;  // first
    const uint8_t* Data = nullptr;
    size_t Size = 0;
};

// Each progressive scan costs a pass over every block: a file of thousands of tiny scans would
// take minutes. Real files have a dozen or so.
constexpr int kMaxScans = 500;

void JpegProgress(j_common_ptr cinfo) {
    if (!cinfo->is_decompressor) return;
    auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
    if (d->input_scan_number > kMaxScans) {
        auto* err = reinterpret_cast<TJpegError*>(cinfo->err);
        std::snprintf(err->Message, sizeof err->Message, "too many scans");
        longjmp(err->Jump, 1);
    }
}

void SourceInit(j_decompress_ptr) {}

boolean SourceFill(j_decompress_ptr cinfo) {
    auto* err = reinterpret_cast<TJpegError*>(cinfo->err);
    std::snprintf(err->Message, sizeof err->Message, "truncated data");
    longjmp(err->Jump, 1);
}

void SourceSkip(j_decompress_ptr cinfo, long count) {
    if (count <= 0) return;
    jpeg_source_mgr* src = cinfo->src;
    if (static_cast<unsigned long>(count) > src->bytes_in_buffer) SourceFill(cinfo);
    src->next_input_byte += count;
    src->bytes_in_buffer -= static_cast<size_t>(count);
}

void SourceTerm(j_decompress_ptr) {}

struct TJpegState {
    TDecodedImage* Image = nullptr;
    std::vector<uint8_t>* Row = nullptr;
    size_t DataSize = 0;
    bool TooLarge = false;
    int64_t Width = 0, Height = 0;
};

bool ReadJpeg(jpeg_decompress_struct& cinfo, TJpegError& err, TJpegState& state) {
    if (setjmp(err.Jump)) return false;
    jpeg_read_header(&cinfo, TRUE);
    TDecodedImage& image = *state.Image;
    int64_t w = cinfo.image_width, h = cinfo.image_height;
    state.Width = w;
    state.Height = h;
    // Entropy coding needs at least a bit per 8x8 block of each component; allow far more.
    if (w <= 0 || h <= 0 || w > codecs::kMaxSide || h > codecs::kMaxSide ||
        w * h > codecs::kMaxPixels ||
        (w * h > (int64_t(1) << 20) && w * h / 4096 > static_cast<int64_t>(state.DataSize))) {
        state.TooLarge = true;
        return false;
    }
    bool cmyk = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
    bool gray = cinfo.jpeg_color_space == JCS_GRAYSCALE;
    if (cmyk) {
        cinfo.out_color_space = JCS_CMYK;
    } else if (gray) {
        cinfo.out_color_space = JCS_GRAYSCALE;
    } else {
        cinfo.out_color_space = JCS_EXT_BGRA;  // a little-endian 0xAARRGGBB
    }
    jpeg_start_decompress(&cinfo);
    int components = cinfo.output_components;
    if (cinfo.output_width != w || cinfo.output_height != h ||
        (cmyk && components != 4) || (gray && components != 1) || (!cmyk && !gray && components != 4))
        ERREXIT(&cinfo, JERR_BAD_COMPONENT_ID);

    image.Width = static_cast<int32_t>(w);
    image.Height = static_cast<int32_t>(h);
    image.ColorType = gray ? 0 : 2;
    image.BitDepth = 8;
    if (cinfo.saw_JFIF_marker && cinfo.X_density > 0 && cinfo.Y_density > 0) {
        if (cinfo.density_unit == 1) {
            image.DpiX = cinfo.X_density;
            image.DpiY = cinfo.Y_density;
        } else if (cinfo.density_unit == 2) {
            image.DpiX = static_cast<int32_t>(cinfo.X_density * 2.54 + 0.5);
            image.DpiY = static_cast<int32_t>(cinfo.Y_density * 2.54 + 0.5);
        }
    }
    image.Pixels.resize(static_cast<size_t>(w) * h);
    state.Row->resize(static_cast<size_t>(w) * components);
    // Adobe's CMYK files store the inks inverted.
    bool inverted = cinfo.saw_Adobe_marker;
    while (cinfo.output_scanline < cinfo.output_height) {
        uint32_t* dst = image.Pixels.data() + size_t(cinfo.output_scanline) * w;
        if (!cmyk && !gray) {
            JSAMPROW row = reinterpret_cast<JSAMPROW>(dst);
            if (jpeg_read_scanlines(&cinfo, &row, 1) != 1) ERREXIT(&cinfo, JERR_INPUT_EOF);
            continue;
        }
        JSAMPROW row = state.Row->data();
        if (jpeg_read_scanlines(&cinfo, &row, 1) != 1) ERREXIT(&cinfo, JERR_INPUT_EOF);
        const uint8_t* src = state.Row->data();
        for (int64_t x = 0; x < w; ++x) {
            if (gray) {
                uint32_t g = src[x];
                dst[x] = 0xFF000000u | g << 16 | g << 8 | g;
            } else {
                uint32_t c = src[4 * x], m = src[4 * x + 1], y = src[4 * x + 2],
                         k = src[4 * x + 3];
                if (!inverted) {
                    c = 255 - c;
                    m = 255 - m;
                    y = 255 - y;
                    k = 255 - k;
                }
                uint32_t r = (c * k + 127) / 255, g = (m * k + 127) / 255,
                         b = (y * k + 127) / 255;
                dst[x] = 0xFF000000u | r << 16 | g << 8 | b;
            }
        }
    }
    jpeg_finish_decompress(&cinfo);
    return true;
}

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

}  // namespace

TDecodedImage DecodeJpeg(const uint8_t* data, size_t size) {
    if (!data || size < 3 || data[0] != 0xFF || data[1] != 0xD8)
        codecs::Fail(kJpeg, "missing JPEG start marker");
    TDecodedImage image;
    std::vector<uint8_t> row;
    TJpegState state;
    state.Image = &image;
    state.Row = &row;
    state.DataSize = size;

    jpeg_decompress_struct cinfo;
    TJpegError err;
    cinfo.err = jpeg_std_error(&err.Manager);
    err.Manager.error_exit = JpegErrorExit;
    err.Manager.output_message = JpegOutputMessage;
    err.Manager.emit_message = JpegEmitMessage;
    if (setjmp(err.Jump)) codecs::Fail(kJpeg, err.Message);  // creation failed: nothing to free
    jpeg_create_decompress(&cinfo);
    // Progressive pictures keep all coefficients; cap what a corrupted header can claim.
    cinfo.mem->max_memory_to_use = 512L * 1024 * 1024;

    TJpegSource source;
    source.Manager.init_source = SourceInit;
    source.Manager.fill_input_buffer = SourceFill;
    source.Manager.skip_input_data = SourceSkip;
    source.Manager.resync_to_restart = jpeg_resync_to_restart;
    source.Manager.term_source = SourceTerm;
    source.Manager.next_input_byte = data;
    source.Manager.bytes_in_buffer = size;
    cinfo.src = &source.Manager;
    jpeg_progress_mgr progress{};
    progress.progress_monitor = JpegProgress;
    cinfo.progress = &progress;

    bool ok = ReadJpeg(cinfo, err, state);
    jpeg_destroy_decompress(&cinfo);
    if (state.TooLarge) {
        codecs::CheckDimensions(kJpeg, state.Width, state.Height);
        codecs::CheckPlausible(kJpeg, state.Width * state.Height, size, 4096);
    }
    if (!ok) codecs::Fail(kJpeg, err.Message[0] ? err.Message : "corrupted data");
    image.HasAlpha = false;
    return image;
}

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

}  // namespace epc
