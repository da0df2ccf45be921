// Renders sample pictures of the components into the folder given on the command line.

#include <png.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "platform/core/Color.h"
#include "demo/DemoRegistry.h"

namespace {

bool SavePng(const std::string& path, int width, int height, const std::vector<uint32_t>& bgra) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(f);
        return false;
    }
    png_init_io(png, f);
    png_set_IHDR(png, info, uint32_t(width), uint32_t(height), 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    std::vector<uint8_t> row(size_t(width) * 3);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            uint32_t p = bgra[size_t(y) * size_t(width) + size_t(x)];
            row[size_t(x) * 3 + 0] = uint8_t(p >> 16);
            row[size_t(x) * 3 + 1] = uint8_t(p >> 8);
            row[size_t(x) * 3 + 2] = uint8_t(p);
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    std::fclose(f);
    return true;
}

// The classic system colours as swatches.
bool RenderSystemColours(const std::string& dir) {
    const int cell = 24, columns = 8;
    const int count = epc::COLOR_ENDCOLORS + 1;
    const int width = cell * columns, height = cell * ((count + columns - 1) / columns);
    std::vector<uint32_t> pixels(size_t(width) * size_t(height), 0xFFFFFFFF);
    for (int i = 0; i < count; ++i) {
        epc::COLORREF c = epc::GetSysColor(i);
        uint32_t argb = 0xFF000000u | (uint32_t(epc::GetRValue(c)) << 16) |
                        (uint32_t(epc::GetGValue(c)) << 8) | epc::GetBValue(c);
        int x0 = (i % columns) * cell, y0 = (i / columns) * cell;
        for (int y = y0 + 2; y < y0 + cell - 2; ++y)
            for (int x = x0 + 2; x < x0 + cell - 2; ++x) pixels[size_t(y) * size_t(width) + size_t(x)] = argb;
    }
    return SavePng(dir + "/system-colours.png", width, height, pixels);
}

demo::DemoSection systemColours("00-system-colours", RenderSystemColours);

}  // namespace

namespace demo {

namespace {
std::map<std::string, DemoFunction>& Sections() {
    static std::map<std::string, DemoFunction> sections;
    return sections;
}
}  // namespace

DemoSection::DemoSection(const char* name, DemoFunction run) { Sections()[name] = std::move(run); }

}  // namespace demo

int main(int argc, char** argv) {
    std::string dir = argc > 1 ? argv[1] : "out";
    // An optional second argument runs only the sections whose names begin with it.
    std::string only = argc > 2 ? argv[2] : "";
    std::filesystem::create_directories(dir);
    int failures = 0;
    for (const auto& [name, run] : demo::Sections()) {
        if (name.compare(0, only.size(), only) != 0) continue;
        bool ok = false;
        try {
            ok = run(dir);
        } catch (const std::exception& e) {
            std::printf("demo: %s raised: %s\n", name.c_str(), e.what());
        }
        std::printf("demo: %-28s %s\n", name.c_str(), ok ? "ok" : "FAILED");
        if (!ok) ++failures;
    }
    std::printf("demo: pictures are in %s/\n", dir.c_str());
    return failures ? 1 : 0;
}
