#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "components/controls/HelpRouter.h"
#include "platform/context/PlatformContext.h"
#include "platform/streaming/PropertyRegistry.h"
#include "platform/testing/UserActions.h"
#include "platform/windows/Help.h"

using namespace epc;

namespace {

class HelpRouterTest : public ::testing::Test {
protected:
    TPlatformContext Context; // one per case: its end frees what the case leaves
    void SetUp() override {
        UnloadHtmlHelp();
        Application->SetHelpFile("/bank/exam.hlp");
    }
    void TearDown() override {
        Router.reset();
        UnloadHtmlHelp();
    }
    THelpRouter* Make(THelpType type) {
        Router = std::make_unique<THelpRouter>(nullptr);
        Router->SetHelpType(type);
        ClearHelpEngineLog();
        return Router.get();
    }
    static const THelpEngineCall& Last() { return HelpEngineLog().back(); }

    std::unique_ptr<THelpRouter> Router;
};

} // namespace

TEST_F(HelpRouterTest, MixedModeSendsPopupsToWinHelpAndTopicsToHtmlHelp) {
    Make(htMixedMode);
    EXPECT_TRUE(Application->HelpCommand(HELP_CONTEXTPOPUP, 42));
    ASSERT_EQ(HelpEngineLog().size(), 1u); // served once, not again by the application
    EXPECT_FALSE(Last().Html);
    EXPECT_EQ(Last().File, "/bank/exam.hlp");
    EXPECT_EQ(Last().Command, HELP_CONTEXTPOPUP);
    EXPECT_EQ(Last().Data, 42u);

    EXPECT_TRUE(Application->HelpCommand(HELP_CONTEXT, 7));
    ASSERT_EQ(HelpEngineLog().size(), 2u);
    EXPECT_TRUE(Last().Html);
    EXPECT_EQ(Last().File, "/bank/exam.chm");
    EXPECT_EQ(Last().Command, HH_HELP_CONTEXT);
    EXPECT_EQ(Last().Data, 7u);
}

TEST_F(HelpRouterTest, HtmlCommandsMapToTheirViewerCalls) {
    Make(htHTMLhelp);
    struct {
        uint32_t Command;
        intptr_t Data;
        uint32_t Html;
        uintptr_t HtmlData;
    } cases[] = {{HELP_CONTENTS, 0, HH_DISPLAY_TOC, 0}, {HELP_FINDER, 0, HH_DISPLAY_TOC, 0},
                 {HELP_TAB, 1, HH_DISPLAY_INDEX, 0},    {HELP_TAB, 0, HH_DISPLAY_TOC, 0},
                 {HELP_KEY, 99, HH_DISPLAY_INDEX, 99},  {HELP_PARTIALKEY, 98, HH_DISPLAY_INDEX, 98},
                 {HELP_QUIT, 0, HH_CLOSE_ALL, 0}};
    for (const auto& c : cases) {
        ClearHelpEngineLog();
        Application->HelpCommand(c.Command, c.Data);
        ASSERT_EQ(HelpEngineLog().size(), 1u) << c.Command;
        EXPECT_TRUE(Last().Html);
        EXPECT_EQ(Last().Command, c.Html) << c.Command;
        EXPECT_EQ(Last().Data, c.HtmlData) << c.Command;
        EXPECT_EQ(Last().File, c.Command == HELP_QUIT ? "" : "/bank/exam.chm");
    }
    // A command without an HTML counterpart answers false and reaches no engine.
    ClearHelpEngineLog();
    EXPECT_FALSE(Application->HelpCommand(HELP_COMMAND, 0));
    EXPECT_TRUE(HelpEngineLog().empty());
}

TEST_F(HelpRouterTest, PopupGoesToTheRememberedPositionThenItIsForgotten) {
    Make(htHTMLhelp);
    EXPECT_TRUE(Application->HelpCommand(HELP_SETPOPUP_POS, intptr_t(MAKELPARAM(120, 240))));
    EXPECT_TRUE(HelpEngineLog().empty());
    EXPECT_TRUE(Application->HelpCommand(HELP_CONTEXTPOPUP, 5));
    ASSERT_EQ(HelpEngineLog().size(), 1u);
    EXPECT_EQ(Last().Command, HH_DISPLAY_TEXT_POPUP);
    EXPECT_EQ(Last().File, "/bank/exam.chm::/CSHelp.txt");
    ASSERT_EQ(Last().Record.size(), sizeof(HH_POPUP));
    HH_POPUP popup;
    std::memcpy(&popup, Last().Record.data(), sizeof popup);
    EXPECT_EQ(popup.idString, 5u);
    EXPECT_EQ(popup.pt, TPoint(120, 240));
    EXPECT_EQ(popup.clrForeground, -1);
    EXPECT_EQ(popup.rcMargins, TRect(-1, -1, -1, -1));
    // Without a position the cursor's is taken.
    SetCursorPos(33, 44);
    Application->HelpCommand(HELP_CONTEXTPOPUP, 6);
    std::memcpy(&popup, Last().Record.data(), sizeof popup);
    EXPECT_EQ(popup.pt, TPoint(33, 44));
}

TEST_F(HelpRouterTest, TextPopupCarriesTheText) {
    Make(htMixedMode);
    std::string text = "Shows the exam list.";
    Router->ShowTextPopup(10, 20, text, 77);
    ASSERT_EQ(HelpEngineLog().size(), 1u);
    EXPECT_EQ(Last().File, "");
    HH_POPUP popup;
    std::memcpy(&popup, Last().Record.data(), sizeof popup);
    EXPECT_EQ(popup.idString, 0u);
    EXPECT_EQ(std::string(popup.pszText), text);
    EXPECT_EQ(std::string(popup.pszFont), "MS Sans Serif, 8");
}

TEST_F(HelpRouterTest, MainShowTypeTurnsPopupsIntoTopics) {
    Make(htHTMLhelp);
    Router->SetShowType(stMain);
    Application->HelpCommand(HELP_SETPOPUP_POS, intptr_t(MAKELPARAM(1, 2)));
    Application->HelpCommand(HELP_CONTEXTPOPUP, 31);
    ASSERT_EQ(HelpEngineLog().size(), 1u);
    EXPECT_EQ(Last().Command, HH_HELP_CONTEXT);
    EXPECT_EQ(Last().Data, 31u);
    // Under WinHelp the position request becomes command 0: true, no call.
    Router->SetHelpType(htWinhelp);
    ClearHelpEngineLog();
    EXPECT_TRUE(Application->HelpCommand(HELP_SETPOPUP_POS, 5));
    EXPECT_TRUE(HelpEngineLog().empty());
    Application->HelpCommand(HELP_CONTEXTPOPUP, 31);
    EXPECT_EQ(Last().Command, HELP_CONTEXT);
    EXPECT_FALSE(Last().Html);
}

TEST_F(HelpRouterTest, MissingHtmlHelpLeavesTheCommandToTheApplication) {
    Context.SetHtmlHelpAvailable(false);
    Make(htHTMLhelp);
    Application->HelpCommand(HELP_CONTEXT, 9);
    ASSERT_EQ(HelpEngineLog().size(), 1u);
    EXPECT_FALSE(Last().Html);
    EXPECT_EQ(Last().File, "/bank/exam.hlp");
    EXPECT_FALSE(Router->ShowTextPopup(0, 0, "x", 0));
    EXPECT_FALSE(Router->HelpRouterShowTopic("", "Intro"));
}

TEST_F(HelpRouterTest, EventsAreAskedFirstAndMayStopTheEngine) {
    bool earlier = false;
    Application->OnHelp = [&](Word, intptr_t, bool&) {
        earlier = true;
        return false;
    };
    Make(htMixedMode);
    Router->OnHelp = [](Word command, intptr_t, bool& callHelp) {
        callHelp = command != HELP_CONTENTS;
        return true;
    };
    EXPECT_TRUE(Application->HelpCommand(HELP_CONTENTS, 0));
    EXPECT_FALSE(earlier);
    EXPECT_TRUE(HelpEngineLog().empty());
    Application->HelpCommand(HELP_CONTEXT, 1);
    EXPECT_TRUE(earlier);
    EXPECT_EQ(HelpEngineLog().size(), 1u);
}

TEST_F(HelpRouterTest, TopicsByIdGetAnHtmExtensionAndOptionalCleaning) {
    Make(htHTMLhelp);
    Router->HelpRouterShowTopic("", "intro.htm");
    EXPECT_EQ(Last().File, "/bank/exam.chm::/intro.htm");
    EXPECT_EQ(Last().Command, HH_DISPLAY_TOPIC);
    Router->HelpRouterShowTopic("", "pages/Start.HTML");
    EXPECT_EQ(Last().File, "/bank/exam.chm::/pages/Start.HTML");
    Router->HelpRouterShowTopic("other.chm", "Two words");
    EXPECT_EQ(Last().File, "other.chm::/Two words.htm");
    Router->SetValidateID(true);
    Router->HelpRouterShowTopic("other.chm", "Two words");
    EXPECT_EQ(Last().File, "other.chm::/Two_words.htm");
    Router->HelpRouterShowTopic("", "");
    EXPECT_EQ(Last().File, "/bank/exam.chm");

    EXPECT_EQ(CleanTopicID("a b%c.d\"e,f/g:h?i|j\\k&l*m<n>o[p]q"), "a_b_c_defghijk+l+m~n~o(p)q");
    EXPECT_EQ(CleanTopicID("\xC4\xE4\xD6\xF6\xDC\xFC\xDF\xBF"), "aaoouus");
}

TEST_F(HelpRouterTest, WinHelpTopicsJumpByMacro) {
    Make(htWinhelp);
    EXPECT_TRUE(Router->HelpRouterShowTopic("", "IDH_START"));
    ASSERT_EQ(HelpEngineLog().size(), 2u);
    EXPECT_EQ(HelpEngineLog()[0].Command, HELP_CONTENTS);
    EXPECT_EQ(HelpEngineLog()[1].Command, HELP_COMMAND);
    EXPECT_EQ(HelpEngineLog()[1].File, "/bank/exam.hlp");
}

TEST_F(HelpRouterTest, OneRouterAtATimeAndQuitOnDestruction) {
    Make(htMixedMode);
    EXPECT_EQ(THelpRouter::Instance(), Router.get());
    try {
        THelpRouter second(nullptr);
        FAIL();
    } catch (const Exception& e) {
        EXPECT_EQ(std::string(e.what()), "Multiple instances of THelpRouter are not allowed");
    }
    EXPECT_EQ(THelpRouter::Instance(), Router.get());
    Router.reset();
    ASSERT_EQ(HelpEngineLog().size(), 1u);
    EXPECT_EQ(Last().Command, HH_CLOSE_ALL);
    EXPECT_EQ(THelpRouter::Instance(), nullptr);
    EXPECT_FALSE(bool(Application->OnHelp));
    Make(htWinhelp);
    EXPECT_EQ(THelpRouter::Instance(), Router.get());
}

TEST_F(HelpRouterTest, TheActiveFormsHelpFileWins) {
    Make(htWinhelp);
    auto* form = new TForm(nullptr);
    form->SetHelpFile("/forms/own.hlp");
    epc::testing::ShowForm(form);
    EXPECT_EQ(Router->HelpFileName(), "/forms/own.hlp");
    EXPECT_EQ(Router->HelpWindow(), form->Handle());
    Router->SetHelpfile("/fixed/set.chm");
    EXPECT_EQ(Router->HelpFileName(), "/fixed/set.chm");
    Application->HelpCommand(HELP_INDEX, 0);
    EXPECT_EQ(Last().File, "/fixed/set.hlp");
}

TEST_F(HelpRouterTest, StoredLayoutsSetTheRouterByName) {
    auto* form = new TForm(nullptr);
    TComponent* made = CreateComponentByClassName("THelpRouter", form);
    ASSERT_NE(made, nullptr);
    auto* router = dynamic_cast<THelpRouter*>(made);
    ASSERT_NE(router, nullptr);
    SetEnumProp(router, "HelpType", "htMixedMode");
    SetStrProp(router, "CHMPopupTopics", "Popups.txt");
    EXPECT_EQ(router->HelpType(), htMixedMode);
    EXPECT_EQ(router->CHMPopupTopics(), "Popups.txt");
    EXPECT_EQ(GetEnumProp(router, "ShowType"), "stDefault");
    FreeComponent(router);
}
