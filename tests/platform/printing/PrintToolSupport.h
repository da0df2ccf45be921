#pragma once
// Helpers for tests that look at printed PDF files through the poppler tools when installed.

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace epc::testing {

inline bool HaveTool(const char* name) {
    std::string cmd = std::string("command -v ") + name + " >/dev/null 2>&1";
    return std::system(cmd.c_str()) == 0;
}

inline std::string RunTool(const std::string& cmd) {
    std::string out;
    FILE* pipe = popen(cmd.c_str(), "r");
    if (!pipe) return out;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, pipe)) > 0)
        out.append(buf, n);
    pclose(pipe);
    return out;
}

inline std::string OutDir() {
    const char* env = std::getenv("EPC_TEST_OUT");
    std::string dir = env ? env : "test-out";
    dir += "/printing";
    std::filesystem::create_directories(dir);
    return dir;
}

inline int PdfPageCount(const std::string& file) {
    std::string info = RunTool("pdfinfo '" + file + "' 2>/dev/null");
    auto at = info.find("Pages:");
    return at == std::string::npos ? -1 : std::atoi(info.c_str() + at + 6);
}

// A grey page rendered by pdftoppm at the given resolution.
struct TGrayPage {
    int Width = 0, Height = 0;
    std::vector<unsigned char> Pixels;
    unsigned char At(int x, int y) const { return Pixels[size_t(y) * Width + x]; }
    // The bounding box of pixels darker than the threshold; false when none.
    bool InkBox(int& left, int& top, int& right, int& bottom, int threshold = 128) const {
        left = Width, top = Height, right = -1, bottom = -1;
        for (int y = 0; y < Height; ++y)
            for (int x = 0; x < Width; ++x)
                if (At(x, y) < threshold) {
                    left = std::min(left, x), right = std::max(right, x);
                    top = std::min(top, y), bottom = std::max(bottom, y);
                }
        return right >= 0;
    }
};

inline bool RenderPdfPage(const std::string& file, int page, int dpi, TGrayPage& out) {
    std::string base = file + "-render";
    std::string cmd = "pdftoppm -gray -r " + std::to_string(dpi) + " -f " + std::to_string(page) +
                      " -l " + std::to_string(page) + " -singlefile '" + file + "' '" + base + "'";
    if (std::system(cmd.c_str()) != 0) return false;
    std::ifstream in(base + ".pgm", std::ios::binary);
    std::string magic;
    int maxval = 0;
    in >> magic >> out.Width >> out.Height >> maxval;
    in.get();
    if (magic != "P5" || out.Width <= 0 || out.Height <= 0) return false;
    out.Pixels.resize(size_t(out.Width) * out.Height);
    in.read(reinterpret_cast<char*>(out.Pixels.data()), std::streamsize(out.Pixels.size()));
    return bool(in);
}

} // namespace epc::testing
