#pragma once
// Small valid pictures made in code with the libraries' own encoders, for the codec tests and
// as fuzz seeds. Inputs are always valid, so errors here simply abort.

#include <cstdio>
// jpeglib.h needs size_t and FILE declared first.
#include <gif_lib.h>
#include <jpeglib.h>
#include <png.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace epc::samples {

// A PNG with the given IHDR and packed rows (each row already in the file's layout).
struct TPngSample {
    int Width = 4, Height = 4, ColorType = PNG_COLOR_TYPE_RGB, BitDepth = 8;
    bool Interlace = false;
    std::vector<std::vector<uint8_t>> Rows;
    std::vector<png_color> Palette;
    std::vector<uint8_t> PaletteAlpha;
    bool KeyColor = false;
    png_color_16 Key{};
    double Gamma = 0;
    int DpiX = 0, DpiY = 0;
};

inline void PngAppend(png_structp png, png_bytep data, png_size_t length) {
    static_cast<std::string*>(png_get_io_ptr(png))
        ->append(reinterpret_cast<const char*>(data), length);
}

inline std::string MakePng(TPngSample sample) {
    std::string out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) std::abort();
    png_set_write_fn(png, &out, PngAppend, nullptr);
    png_set_IHDR(png, info, sample.Width, sample.Height, sample.BitDepth, sample.ColorType,
                 sample.Interlace ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (!sample.Palette.empty())
        png_set_PLTE(png, info, sample.Palette.data(), static_cast<int>(sample.Palette.size()));
    if (!sample.PaletteAlpha.empty())
        png_set_tRNS(png, info, sample.PaletteAlpha.data(),
                     static_cast<int>(sample.PaletteAlpha.size()), nullptr);
    if (sample.KeyColor) png_set_tRNS(png, info, nullptr, 0, &sample.Key);
    if (sample.Gamma > 0) png_set_gAMA(png, info, sample.Gamma);
    if (sample.DpiX > 0)
        png_set_pHYs(png, info, static_cast<png_uint_32>(sample.DpiX / 0.0254 + 0.5),
                     static_cast<png_uint_32>(sample.DpiY / 0.0254 + 0.5), PNG_RESOLUTION_METER);
    png_write_info(png, info);
    if (sample.BitDepth == 16) png_set_swap(png);  // rows below hold little-endian samples
    int passes = png_set_interlace_handling(png);
    for (int pass = 0; pass < passes; ++pass)
        for (auto& row : sample.Rows) png_write_row(png, row.data());
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return out;
}

enum class TJpegKind { Gray, Rgb, Cmyk };

// A JPEG whose pixel (x, y) is a smooth gradient; progressive when asked, and optionally with
// restart markers and arithmetic coding.
inline std::string MakeJpeg(int width, int height, TJpegKind kind, bool progressive = false,
                            int quality = 90, bool restarts = false, bool arithmetic = false) {
    jpeg_compress_struct cinfo;
    jpeg_error_mgr jerr;
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = width;
    cinfo.image_height = height;
    cinfo.input_components = kind == TJpegKind::Gray ? 1 : kind == TJpegKind::Rgb ? 3 : 4;
    cinfo.in_color_space =
        kind == TJpegKind::Gray ? JCS_GRAYSCALE : kind == TJpegKind::Rgb ? JCS_RGB : JCS_CMYK;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    if (progressive) jpeg_simple_progression(&cinfo);
    if (restarts) cinfo.restart_in_rows = 1;
#ifdef C_ARITH_CODING_SUPPORTED
    cinfo.arith_code = arithmetic ? TRUE : FALSE;
#endif
    cinfo.density_unit = 1;
    cinfo.X_density = 72;
    cinfo.Y_density = 72;
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<uint8_t> row(static_cast<size_t>(width) * cinfo.input_components);
    while (cinfo.next_scanline < cinfo.image_height) {
        int y = static_cast<int>(cinfo.next_scanline);
        for (int x = 0; x < width; ++x)
            for (int c = 0; c < cinfo.input_components; ++c)
                row[x * cinfo.input_components + c] =
                    static_cast<uint8_t>(c == 0 ? x * 255 / std::max(1, width - 1)
                                                : c == 1 ? y * 255 / std::max(1, height - 1)
                                                         : 128);
        JSAMPROW p = row.data();
        jpeg_write_scanlines(&cinfo, &p, 1);
    }
    jpeg_finish_compress(&cinfo);
    std::string out(reinterpret_cast<const char*>(buffer), size);
    jpeg_destroy_compress(&cinfo);
    std::free(buffer);
    return out;
}

inline int GifAppend(GifFileType* gif, const GifByteType* data, int length) {
    static_cast<std::string*>(gif->UserData)->append(reinterpret_cast<const char*>(data), length);
    return length;
}

struct TGifSample {
    int ScreenWidth = 8, ScreenHeight = 8;
    int Left = 0, Top = 0, Width = 8, Height = 8;
    bool Interlace = false;
    int TransparentIndex = -1;
    bool LocalMap = false;  // the frame's colours in a local table (the global one differs)
    int Background = 0;
    // Palette index of pixel (x, y) of the frame.
    int (*Index)(int x, int y) = [](int x, int y) { return (x + y) % 4; };
};

// Colours of the sample tables: index i is (i * 60, 255 - i * 60, i * 20) in the global table
// and the same with red and blue swapped in a local one.
inline std::string MakeGif(const TGifSample& sample) {
    std::string out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, GifAppend, &error);
    GifColorType colours[4];
    for (int i = 0; i < 4; ++i)
        colours[i] = {static_cast<GifByteType>(i * 60), static_cast<GifByteType>(255 - i * 60),
                      static_cast<GifByteType>(i * 20)};
    ColorMapObject* global = GifMakeMapObject(4, colours);
    for (auto& c : colours) std::swap(c.Red, c.Blue);
    ColorMapObject* local = GifMakeMapObject(4, colours);
    EGifSetGifVersion(gif, true);
    EGifPutScreenDesc(gif, sample.ScreenWidth, sample.ScreenHeight, 2, sample.Background, global);
    if (sample.TransparentIndex >= 0) {
        GraphicsControlBlock gcb{};
        gcb.TransparentColor = sample.TransparentIndex;
        GifByteType ext[4];
        size_t len = EGifGCBToExtension(&gcb, ext);
        EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, static_cast<int>(len), ext);
    }
    EGifPutImageDesc(gif, sample.Left, sample.Top, sample.Width, sample.Height, sample.Interlace,
                     sample.LocalMap ? local : nullptr);
    std::vector<GifPixelType> line(sample.Width);
    auto put = [&](int y) {
        for (int x = 0; x < sample.Width; ++x) line[x] = static_cast<GifPixelType>(sample.Index(x, y));
        EGifPutLine(gif, line.data(), sample.Width);
    };
    if (sample.Interlace) {
        static const int start[4] = {0, 4, 2, 1}, step[4] = {8, 8, 4, 2};
        for (int pass = 0; pass < 4; ++pass)
            for (int y = start[pass]; y < sample.Height; y += step[pass]) put(y);
    } else {
        for (int y = 0; y < sample.Height; ++y) put(y);
    }
    EGifCloseFile(gif, &error);
    GifFreeMapObject(global);
    GifFreeMapObject(local);
    return out;
}

inline void PutLE(std::string& s, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) s.push_back(static_cast<char>(v >> (8 * i)));
}

// A BMP with a 40-byte info header, optional masks and palette, and the given rows as stored.
inline std::string MakeBmp(int32_t w, int32_t h, int bits, uint32_t compression,
                           const std::vector<uint32_t>& masks,
                           const std::vector<uint32_t>& palette,
                           const std::vector<std::string>& rows) {
    std::string body;
    for (uint32_t m : masks) PutLE(body, m, 4);
    for (uint32_t c : palette) PutLE(body, c, 4);
    std::string pixels;
    for (const auto& r : rows) pixels += r;
    std::string s = "BM";
    PutLE(s, static_cast<uint32_t>(14 + 40 + body.size() + pixels.size()), 4);
    PutLE(s, 0, 4);
    PutLE(s, static_cast<uint32_t>(14 + 40 + body.size()), 4);
    PutLE(s, 40, 4);
    PutLE(s, static_cast<uint32_t>(w), 4);
    PutLE(s, static_cast<uint32_t>(h), 4);
    PutLE(s, 1, 2);
    PutLE(s, bits, 2);
    PutLE(s, compression, 4);
    PutLE(s, static_cast<uint32_t>(pixels.size()), 4);
    PutLE(s, 11811, 4);  // 300 dpi
    PutLE(s, 11811, 4);
    PutLE(s, static_cast<uint32_t>(palette.size()), 4);
    PutLE(s, 0, 4);
    return s + body + pixels;
}

}  // namespace epc::samples
