#include <gtest/gtest.h>

#include "components/controls/WhatsThis.h"
#include "platform/context/PlatformContext.h"
#include "platform/controls/Buttons.h"
#include "platform/streaming/PropertyRegistry.h"
#include "platform/testing/UserActions.h"
#include "tests/components/controls/ControlsTestSupport.h"

using namespace epc;
namespace ui = epc::testing;

namespace {

// A focusable control that counts what reaches it.
class TTarget : public TCustomControl {
public:
    explicit TTarget(TComponent* owner) : TCustomControl(owner) { SetTabStop(true); }
    int Clicks = 0;
    int Keys = 0; // other than Shift

protected:
    void Paint() override { Canvas()->FillRect(ClientRect()); }
    void MouseDown(TMouseButton b, TShiftState s, int x, int y) override {
        ++Clicks;
        TCustomControl::MouseDown(b, s, x, y);
    }
    void KeyDown(Word& key, TShiftState s) override {
        if (key != VK_SHIFT) ++Keys;
        TCustomControl::KeyDown(key, s);
    }
};

// A toolbar button of its own kind that shows its state through a published "Down".
class TToggleTool : public TCustomControl {
public:
    explicit TToggleTool(TComponent* owner) : TCustomControl(owner) {}
    std::string ClassName() const override { return "TToggleTool"; }
    bool Down() const { return FDown; }
    void SetDown(bool value) { FDown = value; }

protected:
    void Paint() override { Canvas()->FillRect(ClientRect()); }

private:
    bool FDown = false;
};

const bool ToggleToolRegistered = [] {
    TPublished<TToggleTool>("TToggleTool", "TCustomControl")
        .Boolean("Down", &TToggleTool::Down, &TToggleTool::SetDown, false);
    return true;
}();

struct TCall {
    uint32_t Command;
    intptr_t Data;
    bool operator==(const TCall&) const = default;
};

class WhatsThisTest : public ::testing::Test {
protected:
    TPlatformContext Context; // one per case: its end frees what the case leaves
    void SetUp() override {
        Application->SetHelpFile("exam.hlp");
        Form = new TForm(nullptr);
        Form->SetName("MainForm");
        Form->SetBorderStyle(bsNone);
        Form->SetBounds(100, 100, 300, 200);
        Panel = new TTarget(Form);
        Panel->SetName("pnlOptions");
        Panel->SetParent(Form);
        Panel->SetBounds(10, 10, 200, 150);
        Begin = new TTarget(Panel);
        Begin->SetName("cmdBegin");
        Begin->SetParent(Panel);
        Begin->SetBounds(20, 30, 80, 25);
        Other = new TTarget(Form);
        Other->SetName("cmdOther");
        Other->SetParent(Form);
        Other->SetBounds(220, 10, 60, 25);
        What = new TWhatsThis(Form);
        What->SetName("WhatsThisMain");
        ui::ShowForm(Form);
        Begin->SetFocus();
        ui::Pump();
    }

    void Load() {
        What->Loaded();
        Application->ClearHelpLog();
    }
    std::vector<TCall> Calls() const {
        std::vector<TCall> calls;
        for (const auto& c : Application->HelpLog())
            calls.push_back({c.Command, c.Data});
        return calls;
    }
    static intptr_t Packed(TPoint p) { return intptr_t(uint32_t(PointToLParam(p))); }

    TForm* Form = nullptr;
    TTarget* Panel = nullptr;
    TTarget* Begin = nullptr;
    TTarget* Other = nullptr;
    TWhatsThis* What = nullptr;
};

} // namespace

TEST_F(WhatsThisTest, ShiftF1ThenAClickShowsThePopupOfTheClickedControl) {
    Load();
    Begin->SetHelpContext(55);
    ui::PressKey(VK_F1, {ssShift});
    EXPECT_EQ(What->Mode(), TWhatsThis::wmContext);
    EXPECT_EQ(Screen->Cursor(), crHelp);
    EXPECT_EQ(Begin->Keys, 0);
    ui::Click(Begin, 5, 6);
    EXPECT_EQ(What->Mode(), TWhatsThis::wmIdle);
    EXPECT_EQ(Screen->Cursor(), crDefault);
    EXPECT_EQ(Begin->Clicks, 0); // the click was the component's
    TPoint at = ui::ScreenPoint(Begin, TPoint(5, 6));
    EXPECT_EQ(Calls(),
              (std::vector<TCall>{{HELP_SETPOPUP_POS, Packed(at)}, {HELP_CONTEXTPOPUP, 55}}));
    // Out of the mode clicks reach the control again.
    ui::Click(Begin, 5, 6);
    EXPECT_EQ(Begin->Clicks, 1);
}

TEST_F(WhatsThisTest, F1ActionsAndTheFocusedControl) {
    Load();
    Begin->SetHelpContext(12);
    What->SetF1Action(goContext);
    ui::PressKey(VK_F1);
    TPoint corner = ui::ScreenPoint(Begin, TPoint(0, 0));
    EXPECT_EQ(Calls(),
              (std::vector<TCall>{{HELP_SETPOPUP_POS, Packed(corner)}, {HELP_CONTEXTPOPUP, 12}}));
    EXPECT_EQ(What->Mode(), TWhatsThis::wmIdle);
    EXPECT_EQ(Begin->Keys, 0); // F1 is swallowed
    Application->ClearHelpLog();
    What->SetF1Action(goDefault);
    ui::PressKey(VK_F1);
    What->SetF1Action(goTOC);
    ui::PressKey(VK_F1);
    EXPECT_EQ(Calls(), (std::vector<TCall>{{HELP_CONTENTS, 0}, {HELP_TAB, 0}}));
    bool handled = true;
    What->OnF1KeyDown = [&](TObject*, bool& h) { h = handled; };
    Application->ClearHelpLog();
    ui::PressKey(VK_F1);
    EXPECT_TRUE(Calls().empty());
    ui::PressKey(VK_F2);
    EXPECT_EQ(Begin->Keys, 1);
}

TEST_F(WhatsThisTest, EscapeLeavesTheModeAndAnyKeyEndsIt) {
    Load();
    int entered = 0, left = 0;
    What->OnEnterContextMode = [&](TObject*) { ++entered; };
    What->OnLeaveContextMode = [&](TObject*) { ++left; };
    What->EnterContextMode();
    ui::PressKey(VK_ESCAPE);
    EXPECT_EQ(What->Mode(), TWhatsThis::wmIdle);
    EXPECT_EQ(Begin->Keys, 0);
    What->EnterContextMode();
    ui::PressKey(VK_SPACE);
    EXPECT_EQ(What->Mode(), TWhatsThis::wmIdle);
    EXPECT_EQ(Begin->Keys, 1);
    EXPECT_EQ(entered, 2);
    EXPECT_EQ(left, 2);
    EXPECT_TRUE(Calls().empty());
}

TEST_F(WhatsThisTest, ContextsComeFromEventPropertyMapTagAndParents) {
    auto dir = epc::test::ScratchFolder();
    auto* map = new THelpContextMap(Form);
    map->SetFileName(epc::test::WriteFile(dir / "exam.hhp", "[MAP]\nMainForm_cmdOther 77\n"
                                                            "MainForm 5\n"));
    Load();
    EXPECT_EQ(What->HelpContextMap(), map); // taken from the owner
    EXPECT_EQ(What->GetControlContext(Other), 77);
    Panel->SetHelpContext(-40);
    EXPECT_EQ(What->GetControlContext(Begin), -40); // the parent's
    What->SetOptions({wtUseTag});
    Begin->SetTag(9);
    EXPECT_EQ(What->GetControlContext(Begin), 9);
    Begin->SetTag(0);
    EXPECT_EQ(What->GetControlContext(Begin), 0);
    What->OnGetContext = [](TObject*, TControl* c, THelpContext& ctx) {
        ctx = c->Name() == "cmdBegin" ? 3 : 0;
    };
    EXPECT_EQ(What->GetControlContext(Begin), 3);
    What->OnGetContext = nullptr;
    What->SetOptions({wtInheritFormContext});
    Panel->SetHelpContext(0);
    EXPECT_EQ(What->GetControlContext(Begin), 5); // the form's, by name

    // A negative context opens the main help at that topic.
    Panel->SetHelpContext(-40);
    What->EnterContextMode();
    ui::Click(Begin, 1, 1);
    EXPECT_EQ(Calls(), (std::vector<TCall>{{HELP_CONTEXT, 40}}));
    // OnHelp may cancel.
    Application->ClearHelpLog();
    What->OnHelp = [](TObject*, THelpContext, TPoint, bool& cancel) { cancel = true; };
    What->EnterContextMode();
    ui::Click(Begin, 1, 1);
    EXPECT_TRUE(Calls().empty());
}

TEST_F(WhatsThisTest, MenuItemAndToolbarButtonToggleTheMode) {
    auto& menu = *new TMainMenu(Form);
    auto owned = std::make_unique<TMenuItem>(nullptr);
    TMenuItem* item = owned.get();
    menu.Items()->Add(std::move(owned));
    int ownClicks = 0;
    item->OnClick = [&](TObject*) { ++ownClicks; };
    auto* button = new TSpeedButton(Form);
    button->SetParent(Form);
    button->SetBounds(220, 100, 30, 24);
    button->SetGroupIndex(7);
    button->SetAllowAllUp(true);
    What->SetWTMenuItem(item);
    What->SetWTToolbarButton(button);
    EXPECT_EQ(item->ShortCut(), ShortCut(VK_F1, {ssShift}));
    Load();
    EXPECT_THROW(What->SetWTMenuItem(nullptr), Exception);
    item->Click();
    EXPECT_EQ(What->Mode(), TWhatsThis::wmContext);
    EXPECT_TRUE(item->Checked());
    EXPECT_TRUE(button->Down());
    item->Click();
    EXPECT_EQ(What->Mode(), TWhatsThis::wmIdle);
    EXPECT_FALSE(item->Checked());
    EXPECT_FALSE(button->Down());
    ui::Click(button, 5, 5);
    EXPECT_EQ(What->Mode(), TWhatsThis::wmContext);
    EXPECT_TRUE(button->Down());
    EXPECT_EQ(ownClicks, 0);
    What->SetActive(false);
    EXPECT_EQ(What->Mode(), TWhatsThis::wmIdle);
    item->Click();
    EXPECT_EQ(ownClicks, 1); // given back
    What->SetWTMenuItem(nullptr);
    EXPECT_EQ(item->ShortCut(), scNone);
    try {
        What->EnterContextMode();
        FAIL();
    } catch (const Exception& e) {
        EXPECT_EQ(std::string(e.what()), "WhatsThisMain is currently not active.");
    }
}

TEST_F(WhatsThisTest, RightClickMenuShowsTheClickedControlsContext) {
    Load();
    Other->SetHelpContext(88);
    What->SetPopupCaption("What is it?");
    ui::Click(Begin, 3, 3, mbRight); // no context: no menu (wtNoContextHelp)
    EXPECT_EQ(OpenPopupMenu(), nullptr);
    ui::Click(Other, 3, 4, mbRight);
    ASSERT_EQ(OpenPopupMenu(), What->PopupMenu());
    TPoint at = ui::ScreenPoint(Other, TPoint(3, 4));
    EXPECT_EQ(What->PopupMenu()->PopupPoint(), at);
    TMenuItem* item = What->PopupMenu()->Items()->Items(0);
    EXPECT_EQ(item->Caption(), "What is it?");
    EXPECT_EQ(Other->Clicks, 0);
    item->Click();
    EXPECT_EQ(Calls(),
              (std::vector<TCall>{{HELP_SETPOPUP_POS, Packed(at)}, {HELP_CONTEXTPOPUP, 88}}));
}

TEST_F(WhatsThisTest, ApplicationsKeyAndMenuItemsUnderTheCursor) {
    What->SetOptions({wtUseAppKey, wtInheritFormContext});
    Load();
    Begin->SetHelpContext(21);
    ui::PressKey(VK_APPS);
    TPoint centre = ui::ScreenPoint(Begin, TPoint(40, 12));
    EXPECT_EQ(Calls(),
              (std::vector<TCall>{{HELP_SETPOPUP_POS, Packed(centre)}, {HELP_CONTEXTPOPUP, 21}}));

    auto& menu = *new TPopupMenu(Form);
    auto owned = std::make_unique<TMenuItem>(nullptr);
    owned->SetHelpContext(404);
    Word command = owned->Command();
    menu.Items()->Add(std::move(owned));
    // Alt opens the menu: the menu messages come while it is held.
    EXPECT_FALSE(What->MessageHooked());
    ui::KeyDown(VK_MENU);
    EXPECT_TRUE(What->MessageHooked());
    PostMessage(Form->Handle(), WM_ENTERMENULOOP, 0, 0);
    PostMessage(Form->Handle(), WM_MENUSELECT, MAKEWPARAM(command, 0), 1);
    ui::Pump();
    ui::KeyUp(VK_MENU);
    EXPECT_TRUE(What->MessageHooked()); // the menu is open
    Application->ClearHelpLog();
    ui::PressKey(VK_F1);
    ASSERT_EQ(Calls().size(), 2u);
    EXPECT_EQ(Calls()[1], (TCall{HELP_CONTEXTPOPUP, 404}));
    PostMessage(Form->Handle(), WM_EXITMENULOOP, 0, 0);
    ui::Pump();
    EXPECT_FALSE(What->MessageHooked());
    EXPECT_EQ(HookCount(WH_GETMESSAGE), 0);
    Application->ClearHelpLog();
    ui::PressKey(VK_F1);
    EXPECT_EQ(Calls()[1], (TCall{HELP_CONTEXTPOPUP, 21}));
}

// The hook that follows menus is there only from a press that may open a menu until the press
// ends without one; WM_USER+102 takes it away unless a menu is open.
TEST_F(WhatsThisTest, MenuHookOnlyWhileAMenuMayBeOpen) {
    Load();
    EXPECT_TRUE(What->Hooked());
    EXPECT_EQ(HookCount(WH_GETMESSAGE), 0);
    ui::PressKey(VK_MENU); // no menu opened
    EXPECT_FALSE(What->MessageHooked());
    ui::MouseDown(Other, 3, 3);
    EXPECT_TRUE(What->MessageHooked());
    EXPECT_EQ(HookCount(WH_GETMESSAGE), 1);
    ui::MouseUp(Other, 3, 3);
    EXPECT_FALSE(What->MessageHooked());
    EXPECT_EQ(Other->Clicks, 1); // the click itself went on

    ui::KeyDown(VK_F10);
    PostMessage(Form->Handle(), WM_ENTERMENULOOP, 0, 0);
    ui::Pump();
    PostMessage(What->Handle(), WM_USER + 102, 0, 0);
    ui::Pump();
    EXPECT_TRUE(What->MessageHooked()); // kept: a menu is open
    // Closing the menu by selection of nothing ends it as well.
    PostMessage(Form->Handle(), WM_MENUSELECT, MAKEWPARAM(0, 0xFFFF), 0);
    ui::Pump();
    EXPECT_FALSE(What->MessageHooked());
    ui::KeyUp(VK_F10);
    EXPECT_FALSE(What->MessageHooked());
    // Deactivating takes every hook away.
    ui::KeyDown(VK_MENU);
    EXPECT_TRUE(What->MessageHooked());
    What->SetActive(false);
    EXPECT_EQ(HookCount(WH_GETMESSAGE), 0);
    ui::KeyUp(VK_MENU);
}

// A map added to the owner after loading is taken when the component has none; a second map
// is not, and a freed map is let go.
TEST_F(WhatsThisTest, MapAddedAfterLoadingIsTaken) {
    Load();
    EXPECT_EQ(What->HelpContextMap(), nullptr);
    auto* map = new THelpContextMap(Form);
    EXPECT_EQ(What->HelpContextMap(), map);
    auto* second = new THelpContextMap(Form);
    EXPECT_EQ(What->HelpContextMap(), map);
    THelpContextMap elsewhere(nullptr);
    EXPECT_EQ(What->HelpContextMap(), map);
    FreeComponent(map);
    EXPECT_EQ(What->HelpContextMap(), nullptr);
    FreeComponent(second);
    auto* third = new THelpContextMap(Form);
    EXPECT_EQ(What->HelpContextMap(), third);
}

TEST_F(WhatsThisTest, TheNewestInstanceOwnsTheHooksUntilItGoes) {
    Load();
    auto* second = new TWhatsThis(Form);
    second->SetName("Second");
    second->Loaded();
    EXPECT_TRUE(second->Hooked());
    EXPECT_FALSE(What->Hooked());
    EXPECT_EQ(HookCount(WH_KEYBOARD), 1);
    FreeComponent(second);
    EXPECT_TRUE(What->Hooked());
    EXPECT_EQ(HookCount(WH_KEYBOARD), 1);
    EXPECT_EQ(HookCount(WH_MOUSE), 1);
    What->SetActive(false);
    EXPECT_EQ(HookCount(WH_KEYBOARD), 0);
    EXPECT_EQ(HookCount(WH_GETMESSAGE), 0);
}

TEST_F(WhatsThisTest, ClicksOutsideTheApplicationEndTheModeAndGoOn) {
    Load();
    int foreignClicks = 0;
    TWindowCreate create;
    create.ClassName = "ForeignWindow";
    create.Style = WS_POPUP | WS_VISIBLE;
    create.X = 600;
    create.Y = 100;
    create.Width = 80;
    create.Height = 60;
    create.WndProc = [&](HWND h, uint32_t msg, WPARAM w, LPARAM l) -> LRESULT {
        if (msg == WM_LBUTTONDOWN) ++foreignClicks;
        return DefWindowProc(h, msg, w, l);
    };
    HWND foreign = CreateWindow(create);
    ASSERT_NE(foreign, nullptr);
    What->EnterContextMode();
    ui::ClickAt(TPoint(620, 120));
    EXPECT_EQ(What->Mode(), TWhatsThis::wmIdle);
    EXPECT_EQ(foreignClicks, 1);
    EXPECT_TRUE(Calls().empty());
    DestroyWindow(foreign);
}

namespace {

// A caption that names the control it stands for.
class TCaption : public TGraphicControl {
public:
    using TGraphicControl::TGraphicControl;
    std::string ClassName() const override { return "TWhatsThisTestCaption"; }
    TWinControl* FocusControl() const { return FFocus; }
    void SetFocusControl(TWinControl* value) { FFocus = value; }

private:
    TWinControl* FFocus = nullptr;
};

const bool CaptionRegistered = [] {
    TPublished<TCaption>("TWhatsThisTestCaption", "TGraphicControl")
        .Reference<TWinControl>("FocusControl", &TCaption::FocusControl,
                                &TCaption::SetFocusControl);
    return true;
}();

} // namespace

TEST_F(WhatsThisTest, CaptionsSpeakForTheControlTheyFocus) {
    Load();
    What->SetOptions({});
    auto* caption = new TCaption(Form);
    caption->SetParent(Form);
    caption->SetBounds(220, 60, 60, 20);
    EXPECT_EQ(What->GetControlContext(caption), 0);
    caption->SetFocusControl(Other);
    Other->SetHelpContext(61);
    EXPECT_EQ(What->GetControlContext(caption), 61);
    caption->SetHelpContext(62);
    EXPECT_EQ(What->GetControlContext(caption), 62);
}

// F1 shows the focused control's help at its corner, also where a child covers that corner.
TEST_F(WhatsThisTest, F1ShowsTheFocusedControlEvenUnderAChild) {
    Load();
    Begin->SetHelpContext(12);
    auto* corner = new TTarget(Begin);
    corner->SetName("imgCorner");
    corner->SetParent(Begin);
    corner->SetBounds(0, 0, 10, 10);
    corner->SetHelpContext(77);
    ui::Pump();
    Begin->SetFocus();
    ui::PressKey(VK_F1);
    TPoint at = ui::ScreenPoint(Begin, TPoint(0, 0));
    EXPECT_EQ(Calls(), (std::vector<TCall>{{HELP_SETPOPUP_POS, Packed(at)}, {HELP_CONTEXTPOPUP, 12}}));
}

// The toolbar button shows the mode through its "Down" property, whatever its class; a right
// click on it leaves the component still hearing of its end.
TEST_F(WhatsThisTest, ToolbarButtonOfAnyClassShowsTheModeAndIsForgottenWhenFreed) {
    ASSERT_TRUE(ToggleToolRegistered);
    auto* tool = new TToggleTool(nullptr); // no owner: only free notifications tell of its end
    tool->SetParent(Form);
    tool->SetBounds(220, 100, 30, 24);
    tool->SetHelpContext(31);
    Other->SetHelpContext(88);
    What->SetWTToolbarButton(tool);
    Load();
    What->EnterContextMode();
    EXPECT_TRUE(tool->Down());
    What->LeaveContextMode();
    EXPECT_FALSE(tool->Down());
    ui::Click(tool, 3, 3, mbRight);
    ASSERT_EQ(OpenPopupMenu(), What->PopupMenu());
    CloseMenu();
    ui::Click(Other, 3, 4, mbRight); // the popup moves on to another control
    ASSERT_EQ(What->PopupMenu()->PopupComponent(), Other);
    CloseMenu();
    What->SetActive(false);
    delete tool;
    EXPECT_EQ(What->WTToolbarButton(), nullptr);
    What->SetActive(true);
    What->SetActive(false);
}
