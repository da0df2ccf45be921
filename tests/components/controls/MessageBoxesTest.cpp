#include "components/controls/MessageBoxes.h"

#include <gtest/gtest.h>

#include "platform/context/PlatformContext.h"
#include "platform/controls/Forms.h"
#include "platform/testing/UserActions.h"

namespace epc {
namespace {

class MessageBoxesTest : public ::testing::Test {
protected:
    TPlatformContext Context; // one per case: its end frees what the case leaves
    void SetUp() override { SetProgramTitle("Bank Title"); }

    TForm* MakeForm(int left, int top, int width, int height) {
        auto* form = Application->CreateForm<TForm>();
        form->SetBorderStyle(bsNone);
        form->SetBounds(left, top, width, height);
        return form;
    }
    const TMessageBoxRecord& LastBox() { return MessageBoxLog().back(); }
};

TEST_F(MessageBoxesTest, EachFunctionPassesItsFlagsAndCaption) {
    TForm* form = MakeForm(100, 100, 300, 200);
    testing::ShowForm(form);
    struct Case {
        std::function<int32_t()> Call;
        uint32_t Flags;
        const char* Caption;
    };
    std::vector<Case> cases = {
        {[&] { return ConfirmYesNo(form, "t"); }, 52, "Bank Title"},
        {[&] { return ConfirmYesNoDefaultNo(form, "t"); }, 308, "Bank Title"},
        {[&] { return ConfirmYesNoWithCaption(form, "Cap", "t"); }, 52, "Cap"},
        {[&] { return ShowErrorMessage(form, "t"); }, 16, "Bank Title"},
        {[&] { return ShowErrorMessageForWindow(form->Handle(), "Cap", "t"); }, 16, "Cap"},
        {[&] { return ShowWarningMessage(form, "t"); }, 48, "Bank Title"},
        {[&] { return ShowWarningMessageWithCaption(form, "Cap", "t"); }, 48, "Cap"},
        {[&] { return ShowInformationMessage(form, "t"); }, 64, "Bank Title"},
        {[&] { return ShowInformationMessageWithCaption(form, "Cap", "t"); }, 64, "Cap"},
    };
    for (size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(i);
        cases[i].Call();
        EXPECT_EQ(LastBox().Flags, cases[i].Flags);
        EXPECT_EQ(LastBox().Caption, cases[i].Caption);
        EXPECT_EQ(LastBox().Text, "t");
        EXPECT_EQ(LastBox().Owner, form->Handle());
        EXPECT_EQ(HookCount(WH_CBT), 0);
    }
}

TEST_F(MessageBoxesTest, ResultsComeBackUnchanged) {
    TForm* form = MakeForm(100, 100, 300, 200);
    testing::ShowForm(form);
    testing::AnswerNextMessageBox(IDYES);
    EXPECT_EQ(ConfirmYesNo(form, "Leave?"), 6);
    testing::AnswerNextMessageBox(IDNO);
    EXPECT_EQ(ConfirmYesNoDefaultNo(form, "Leave?"), 7);
    // Unanswered, the default button decides: No for the default-No confirmation.
    EXPECT_EQ(ConfirmYesNoDefaultNo(form, "Leave?"), IDNO);
    EXPECT_EQ(ShowInformationMessage(form, "Done"), IDOK);
}

TEST_F(MessageBoxesTest, CaptionIsTheTitleHeldAtTheMomentOfTheCall) {
    TForm* form = MakeForm(100, 100, 300, 200);
    testing::ShowForm(form);
    SetProgramTitle("");
    ShowWarningMessage(form, "a");
    EXPECT_EQ(LastBox().Caption, "");
    SetProgramTitle("Networking Exam");
    ShowWarningMessage(form, "b");
    EXPECT_EQ(LastBox().Caption, "Networking Exam");
}

TEST_F(MessageBoxesTest, OwnerWithoutActiveWindowIsTheMainFormNeverTheHiddenWindow) {
    TForm* mainForm = MakeForm(100, 100, 300, 200);
    TForm* other = MakeForm(500, 100, 200, 200);
    ASSERT_EQ(Application->MainForm(), mainForm);
    mainForm->HandleNeeded();
    other->HandleNeeded();
    SetActiveWindow(nullptr);
    Screen->SetActiveForm(nullptr);
    ASSERT_EQ(GetActiveWindow(), nullptr);
    EXPECT_EQ(FindOwnerWindow(), mainForm->Handle());
    // The last activated form wins over the main form.
    Screen->SetActiveForm(other);
    EXPECT_EQ(FindOwnerWindow(), other->Handle());
    // The application's own window being active hands the box to the main form.
    SetActiveWindow(Application->Handle());
    if (GetActiveWindow() == Application->Handle()) {
        EXPECT_EQ(FindOwnerWindow(), mainForm->Handle());
    }
    Screen->SetActiveForm(nullptr);
    SetActiveWindow(nullptr);
    ShowErrorMessage(nullptr, "x");
    EXPECT_EQ(LastBox().Owner, mainForm->Handle());
    ShowErrorMessageForWindow(nullptr, "c", "x");
    EXPECT_EQ(LastBox().Owner, mainForm->Handle());
}

TEST_F(MessageBoxesTest, CentringArithmetic) {
    TRect work(0, 0, 1024, 738);
    // Centre of a 300 x 200 window at 100,100 is 250,200; box 120 x 113 truncates halves.
    EXPECT_EQ(CenteredBoxPosition(TRect(100, 100, 400, 300), TSize(120, 113), work),
              TPoint(400 - 150 - 60, 300 - 100 - 56));
    // Odd parent sizes: halves truncate toward zero.
    EXPECT_EQ(CenteredBoxPosition(TRect(101, 101, 402, 302), TSize(121, 121), work),
              TPoint(402 - 150 - 60, 302 - 100 - 60));
    // Half off the right edge: the box's right edge stays 10 pixels inside the work area.
    TPoint p = CenteredBoxPosition(TRect(900, 100, 1200, 300), TSize(200, 100), work);
    EXPECT_EQ(p.X + 200, 1024 - 10);
    // Taller than the work area: placed at 10 (the lower bound comes last).
    EXPECT_EQ(CenteredBoxPosition(TRect(0, 0, 400, 400), TSize(100, 900), work).Y, 10);
    // Off the top left: 10 from the edges.
    EXPECT_EQ(CenteredBoxPosition(TRect(-400, -400, -100, -100), TSize(50, 50), work),
              TPoint(10, 10));
}

TEST_F(MessageBoxesTest, ClampUsesTheWorkAreaRectangleNotItsSizeFromTheOrigin) {
    // A panel takes the left 100 and top 50 pixels of the screen.
    TRect work(100, 50, 1024, 768);
    TPoint p = CenteredBoxPosition(TRect(0, 0, 100, 100), TSize(200, 100), work);
    EXPECT_EQ(p, TPoint(110, 60));
    // On the right the bound is the work area's right edge, not its width.
    p = CenteredBoxPosition(TRect(900, 700, 1100, 900), TSize(200, 100), work);
    EXPECT_EQ(p, TPoint(1024 - 10 - 200, 768 - 10 - 100));
    // Larger than the work area: its top left plus 10.
    p = CenteredBoxPosition(TRect(0, 0, 100, 100), TSize(2000, 2000), work);
    EXPECT_EQ(p, TPoint(110, 60));
}

TEST_F(MessageBoxesTest, BoxLandsCentredOnItsOwnerAndInsideTheWorkArea) {
    Context.SetWorkArea(TRect(100, 40, 1024, 768));
    TForm* form = MakeForm(300, 200, 400, 300);
    testing::ShowForm(form);
    ShowInformationMessage(form, "Hello");
    TRect box = LastBox().Rect;
    EXPECT_EQ(box.Left, 700 - 200 - box.Width() / 2);
    EXPECT_EQ(box.Top, 500 - 150 - box.Height() / 2);
    // An owner in the panel's strip: the box is kept inside the work area.
    form->SetBounds(0, 0, 100, 60);
    ShowInformationMessage(form, "Hello");
    EXPECT_EQ(LastBox().Rect.Left, 110);
    EXPECT_EQ(LastBox().Rect.Top, 50);
}

TEST_F(MessageBoxesTest, NoHookIsLeftInstalledWhateverHappensToTheOwner) {
    TForm* form = MakeForm(100, 100, 300, 200);
    testing::ShowForm(form);
    // Another program hook stays; ours goes.
    HHOOK other = SetWindowsHookExA(
        WH_CBT, [](int, WPARAM, LPARAM) { return LRESULT(0); }, nullptr, GetCurrentThreadId());
    ShowWarningMessage(form, "a");
    EXPECT_EQ(HookCount(WH_CBT), 1);
    UnhookWindowsHookEx(other);

    // The owner is destroyed while its box is open.
    HWND owner = form->Handle();
    ScriptMessageBoxAnswer([&](HWND) {
        FreeComponent(form);
        return IDYES;
    });
    EXPECT_EQ(ConfirmYesNo(form, "Gone?"), IDYES);
    EXPECT_FALSE(IsWindow(owner));
    EXPECT_EQ(HookCount(WH_CBT), 0);

    // A stale owner handle and no owner at all: the box still shows, the hook still goes.
    EXPECT_EQ(ShowErrorMessageForWindow(owner, "c", "stale"), IDOK);
    EXPECT_EQ(HookCount(WH_CBT), 0);
    EXPECT_EQ(ShowCenteredMessageBox(nullptr, "none", "c", MB_OK), IDOK);
    EXPECT_EQ(HookCount(WH_CBT), 0);
}

TEST_F(MessageBoxesTest, HookActsOnTheBoxActivationOnly) {
    TForm* form = MakeForm(100, 100, 300, 200);
    testing::ShowForm(form);
    TForm* later = MakeForm(600, 400, 100, 100);
    // A window activated from inside the box (after its own activation) is not moved.
    ScriptMessageBoxAnswer([&](HWND) {
        later->Show();
        return IDOK;
    });
    ShowInformationMessage(form, "x");
    RECT r;
    GetWindowRect(later->Handle(), &r);
    EXPECT_EQ(r.Left, 600);
    EXPECT_EQ(r.Top, 400);
}

} // namespace
} // namespace epc
