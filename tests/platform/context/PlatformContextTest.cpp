#include "platform/context/PlatformContext.h"

#include <gtest/gtest.h>

#include "platform/controls/Clipbrd.h"
#include "platform/core/Strings.h"
#include "platform/testing/UserActions.h"
#include "platform/windows/Clipboard.h"
#include "platform/windows/Help.h"

using namespace epc;

namespace {

TForm* ShownForm() {
    auto* form = new TForm(nullptr);
    form->SetBounds(10, 10, 200, 100);
    epc::testing::ShowForm(form);
    return form;
}

} // namespace

TEST(PlatformContext, ItsEndFreesWhatTheProgramLeftAndTheNextStartsClean) {
    HWND window = nullptr;
    {
        TPlatformContext context;
        TForm* form = ShownForm();
        window = form->Handle();
        SetTimer(window, 1, 100);
        Clipboard()->SetAsText("left behind");
        Application->SetTitle("first");
        ASSERT_TRUE(IsWindow(window));
        ASSERT_EQ(Screen->FormCount(), 1);
    }
    TPlatformContext context;
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(LiveWindowCount(), 0);
    EXPECT_EQ(TimerCount(), 0);
    EXPECT_EQ(Screen->FormCount(), 0);
    EXPECT_EQ(CountClipboardFormats(), 0);
    EXPECT_EQ(Application->Title(), "Application");
    // A handle of the earlier context never names a window of this one.
    for (int i = 0; i < 20; ++i)
        EXPECT_NE(ShownForm()->Handle(), window);
}

TEST(PlatformContext, SettingsAreTheContextsAndGoWithIt) {
    {
        TPlatformContext context;
        context.SetAnsiCodePage(1251);
        context.SetKeyboardCodePage(1253);
        context.SetSysColor(COLOR_BTNFACE, RGB(1, 2, 3));
        context.SetScreenSize(800, 600);
        context.SetWorkArea(TRect(0, 20, 800, 600));
        context.SetHtmlHelpAvailable(false);
        EXPECT_EQ(GetACP(), 1251u);
        EXPECT_EQ(GetKeyboardLayoutCodePage(), 1253u);
        EXPECT_EQ(GetSysColor(COLOR_BTNFACE), RGB(1, 2, 3));
        EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 800);
        EXPECT_EQ(GetWorkArea(), TRect(0, 20, 800, 600));
        EXPECT_FALSE(IsHtmlHelpAvailable());
    }
    TPlatformContext context;
    EXPECT_EQ(GetACP(), 1252u);
    EXPECT_EQ(GetKeyboardLayoutCodePage(), 1252u);
    EXPECT_NE(GetSysColor(COLOR_BTNFACE), RGB(1, 2, 3));
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 1024);
    EXPECT_EQ(GetWorkArea(), TRect(0, 0, 1024, 738));
    EXPECT_TRUE(IsHtmlHelpAvailable());
}

TEST(PlatformContext, SettingsAtTheEdgesOfTheirRanges) {
    TPlatformContext context;
    // Code page 0 stands for the usual one, also after another was set.
    context.SetAnsiCodePage(1251);
    context.SetAnsiCodePage(0);
    EXPECT_EQ(GetACP(), 1252u);
    EXPECT_EQ(GetKeyboardLayoutCodePage(), 1252u);
    // The last system colour is one of the table's; the index past it is not.
    context.SetSysColor(COLOR_ENDCOLORS, RGB(4, 5, 6));
    EXPECT_EQ(GetSysColor(COLOR_ENDCOLORS), RGB(4, 5, 6));
    EXPECT_EQ(ColorToRGB(clMenuBar), RGB(4, 5, 6));
    context.SetSysColor(COLOR_ENDCOLORS + 1, RGB(7, 8, 9));
    EXPECT_EQ(GetSysColor(COLOR_ENDCOLORS + 1), 0u);
    EXPECT_EQ(GetSysColor(COLOR_ENDCOLORS), RGB(4, 5, 6));
}

TEST(PlatformContext, NestedContextLeavesTheOuterOneAsItWas) {
    TPlatformContext outer;
    TForm* form = ShownForm();
    {
        TPlatformContext inner;
        EXPECT_EQ(Screen->FormCount(), 0);
        EXPECT_FALSE(IsWindow(form->Handle()));
        ShownForm();
    }
    EXPECT_EQ(Screen->FormCount(), 1);
    EXPECT_EQ(Screen->Forms(0), form);
    EXPECT_TRUE(IsWindow(form->Handle()));
}

TEST(PlatformContext, RegisteredNamesOutliveTheContextThatRegisteredThem) {
    uint32_t format = 0;
    HCURSOR cursor = nullptr;
    {
        TPlatformContext context;
        format = RegisterClipboardFormatA("Context Test Format");
        cursor = RegisterCursorImage("CONTEXT_TEST_CURSOR", 2, 2, TPoint(0, 0),
                                     std::vector<uint32_t>(4, 0xFF000000u));
        Screen->SetCursors(77, cursor);
        RegisterWindowClass("ContextTestClass", [](HWND h, uint32_t msg, WPARAM w, LPARAM l) {
            return msg == WM_USER ? LRESULT(42) : DefWindowProc(h, msg, w, l);
        });
    }
    TPlatformContext context;
    EXPECT_EQ(RegisterClipboardFormatA("Context Test Format"), format);
    EXPECT_EQ(LoadCursorA(nullptr, "CONTEXT_TEST_CURSOR"), cursor);
    EXPECT_EQ(Screen->Cursors(77), cursor);
    TWindowCreate params;
    params.ClassName = "ContextTestClass";
    params.Width = params.Height = 10;
    HWND h = CreateWindow(params);
    EXPECT_EQ(SendMessage(h, WM_USER, 0, 0), 42);
}

TEST(PlatformContext, WithoutOneTheModulesUseTheirDefaults) {
    ASSERT_NE(static_cast<TApplication*>(Application), nullptr);
    EXPECT_EQ(GetACP(), 1252u);
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 1024);
}
