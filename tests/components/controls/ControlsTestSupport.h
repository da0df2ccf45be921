#pragma once
// Shared helpers of the controls tests: a scratch folder for map files and PNG images made
// from pixels.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/context/PlatformContext.h"
#include "platform/controls/Forms.h"
#include "platform/graphics/PngImage.h"
#include "platform/testing/UserActions.h"
#include "platform/windows/ThemeBinding.h"

namespace epc::test {

// A fresh folder per test, named after it.
inline std::filesystem::path ScratchFolder() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    const char* base = std::getenv("EPC_TEST_OUT");
    std::filesystem::path dir = std::filesystem::path(base ? base : "/tmp") / "controls" /
                                (std::string(info->test_suite_name()) + "." + info->name());
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir;
}

inline std::string WriteFile(const std::filesystem::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
    return path.string();
}

// An RGBA PNG of one colour (0xAARRGGBB).
inline void SolidPng(TPngImage& png, int w, int h, uint32_t argb) {
    TDecodedImage img;
    img.Width = w;
    img.Height = h;
    img.Pixels.assign(size_t(w) * h, argb);
    img.HasAlpha = (argb >> 24) != 255;
    img.ColorType = 6;
    png.LoadFromImage(img);
}

// A platform context and one borderless form at (100, 100), 400 x 300, for the controls under
// test; the theme library is reset afterwards and the context's end frees the rest.
class FormFixture : public ::testing::Test {
protected:
    TPlatformContext Context; // one per case: its end frees what the case leaves
    void SetUp() override {
        Form = new TForm(nullptr);
        Form->SetBorderStyle(bsNone);
        Form->SetBounds(100, 100, 400, 300);
    }
    void TearDown() override { InstallRecordingThemeLibrary(nullptr); }
    TForm* Form = nullptr;
};

} // namespace epc::test
