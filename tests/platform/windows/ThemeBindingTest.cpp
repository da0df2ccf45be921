#include "platform/windows/ThemeBinding.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

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
    std::string asked;
    SetThemeLibraryLoader([&](const std::string& fileName) {
        ++loads;
        asked = fileName;
        return recorder.MakeLibrary();
    });
    EXPECT_TRUE(InitThemeLibrary());
    EXPECT_TRUE(InitThemeLibrary());
    EXPECT_EQ(loads, 1);
    EXPECT_EQ(asked, "uxtheme.dll");
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
    FreeThemeLibrary();
    // A library without one of the two entry points is never themed.
    for (const char* missing : {"IsAppThemed", "IsThemeActive"}) {
        recorder.Missing = {missing};
        ASSERT_TRUE(InitThemeLibrary());
        EXPECT_FALSE(UseThemes()) << missing;
        FreeThemeLibrary();
    }
}

TEST_F(ThemeBindingTest, EntryPointsAreLookedUpByNameAndSignature) {
    // A library with a few entry points, one of them of another signature.
    SetThemeLibraryLoader([](const std::string&) {
        auto module = std::make_unique<TLibraryModule>();
        module->EntryPoints["GetThemeSysSize"] =
            std::function<int(HTHEME, int)>([](HTHEME, int id) { return id * 2; });
        module->EntryPoints["GetThemeSysColor"] = std::function<int(int)>([](int) { return 1; });
        module->EntryPoints["EnableTheming"] =
            std::function<HRESULT(BOOL)>([](BOOL) { return S_OK; });
        return module;
    });
    ASSERT_TRUE(InitThemeLibrary());
    TThemeLibrary* lib = ThemeLibrary();
    ASSERT_TRUE(lib->GetThemeSysSize);
    EXPECT_EQ(lib->GetThemeSysSize(nullptr, 21), 42);
    EXPECT_TRUE(lib->EnableTheming);
    EXPECT_FALSE(lib->GetThemeSysColor); // found, but not of its signature
    EXPECT_FALSE(lib->OpenThemeData);    // not there at all
    EXPECT_FALSE(lib->DrawThemeText);
    EXPECT_FALSE(UseThemes());
    FreeThemeLibrary();
    EXPECT_EQ(ThemeLibrary(), nullptr);
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
