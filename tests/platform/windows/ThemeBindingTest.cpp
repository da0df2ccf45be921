#include "platform/windows/ThemeBinding.h"

#include <gtest/gtest.h>

namespace epc {
namespace {

class ThemeBindingTest : public ::testing::Test {
protected:
    void TearDown() override { InstallRecordingThemeLibrary(nullptr); }
};

TEST_F(ThemeBindingTest, AbsentLibraryMeansClassicDrawing) {
    InstallRecordingThemeLibrary(nullptr);
    EXPECT_FALSE(InitThemeLibrary());
    EXPECT_EQ(ThemeLibraryRefCount(), 1);
    EXPECT_FALSE(UseThemes());
    FreeThemeLibrary();
    EXPECT_EQ(ThemeLibraryRefCount(), 0);
}

TEST_F(ThemeBindingTest, LoadedOnceAndFreedWhenTheCountReachesZero) {
    int loads = 0;
    TRecordingThemeLibrary recorder;
    SetThemeLibraryLoader([&] {
        ++loads;
        return recorder.MakeLibrary();
    });
    EXPECT_TRUE(InitThemeLibrary());
    EXPECT_TRUE(InitThemeLibrary());
    EXPECT_EQ(loads, 1);
    EXPECT_TRUE(UseThemes());
    FreeThemeLibrary();
    EXPECT_NE(ThemeLibrary(), nullptr);
    FreeThemeLibrary();
    EXPECT_EQ(ThemeLibrary(), nullptr);
    EXPECT_FALSE(UseThemes());
    // Freeing below zero changes nothing.
    FreeThemeLibrary();
    EXPECT_EQ(ThemeLibraryRefCount(), 0);
    EXPECT_TRUE(InitThemeLibrary());
    EXPECT_EQ(loads, 2);
    UnloadThemeLibrary();
    EXPECT_EQ(ThemeLibraryRefCount(), 0);
    EXPECT_EQ(ThemeLibrary(), nullptr);
}

TEST_F(ThemeBindingTest, ThemesNeedTheAppAndTheSystemThemedAndBothEntryPoints) {
    TRecordingThemeLibrary recorder;
    recorder.Active = false;
    InstallRecordingThemeLibrary(&recorder);
    ASSERT_TRUE(InitThemeLibrary());
    EXPECT_FALSE(UseThemes());
    recorder.Active = true;
    EXPECT_TRUE(UseThemes());
    ThemeLibrary()->IsAppThemed = nullptr; // a library without the entry point
    EXPECT_FALSE(UseThemes());
    FreeThemeLibrary();
}

TEST_F(ThemeBindingTest, RecorderKeepsPartsStatesAndOpenThemes) {
    TRecordingThemeLibrary recorder;
    InstallRecordingThemeLibrary(&recorder);
    ASSERT_TRUE(InitThemeLibrary());
    TThemeLibrary* lib = ThemeLibrary();
    HTHEME t = lib->OpenThemeData(nullptr, u"ScrollBar");
    EXPECT_EQ(recorder.OpenThemes, 1);
    HDC dc = CreateCompatibleDC(nullptr);
    RECT r(0, 0, 16, 16);
    EXPECT_EQ(lib->DrawThemeBackground(t, dc, SBP_ARROWBTN, ABS_DOWNHOT, &r, nullptr), S_OK);
    DeleteDC(dc);
    auto draws = recorder.CallsOf("DrawThemeBackground");
    ASSERT_EQ(draws.size(), 1u);
    EXPECT_EQ(draws[0].ClassList, u"ScrollBar");
    EXPECT_EQ(draws[0].Part, 1);
    EXPECT_EQ(draws[0].State, 6);
    EXPECT_EQ(lib->CloseThemeData(t), S_OK);
    EXPECT_EQ(lib->CloseThemeData(t), E_INVALIDARG);
    EXPECT_EQ(recorder.OpenThemes, 0);
    FreeThemeLibrary();
}

} // namespace
} // namespace epc
