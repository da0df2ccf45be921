// Renders sample pictures of the components into the folder given on the command line.

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "demo/DemoRegistry.h"
#include "platform/codecs/ImageCodecs.h"
#include "platform/context/PlatformContext.h"
#include "platform/core/Color.h"

namespace {

bool SavePng(const std::string& path, int width, int height, std::vector<uint32_t> argb) {
    epc::TDecodedImage image;
    image.Width = width;
    image.Height = height;
    image.Pixels = std::move(argb);
    std::ofstream file(path, std::ios::binary);
    file << epc::EncodePng(image);
    return bool(file);
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
            // Each section is a small program of its own, on a platform of its own.
            epc::TPlatformContext context;
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
