// Inherited fonts and colours, constraints, captions, re-parenting, mouse enter and leave,
// disabled input and drawing on a graphic control outside painting.

#include "ControlTestSupport.h"

namespace epc {

TEST_F(ControlTest, ChildrenFollowTheParentsFontAndColourUntilGivenTheirOwn) {
    TForm* form = MakeForm();
    auto* panel = new TProbe(form);
    panel->SetParent(form);
    auto* inner = new TProbe(form);
    inner->SetParent(panel);
    panel->Font()->SetName("Courier New");
    panel->Font()->SetSize(12);
    EXPECT_FALSE(panel->ParentFont());
    EXPECT_EQ(inner->Font()->Name(), "Courier New");
    EXPECT_TRUE(inner->ParentFont());
    inner->Font()->SetStyle({fsBold});
    EXPECT_FALSE(inner->ParentFont());
    panel->Font()->SetSize(14);
    EXPECT_EQ(inner->Font()->Size(), 12);  // no longer follows
    panel->SetColor(clYellow);
    inner->SetParentColor(true);
    EXPECT_EQ(inner->Color(), clYellow);
    panel->SetColor(clAqua);
    EXPECT_EQ(inner->Color(), clAqua);
    EXPECT_TRUE(inner->ParentColor());
    inner->SetColor(clRed);
    EXPECT_FALSE(inner->ParentColor());
}

TEST_F(ControlTest, ConstraintsLimitTheSize) {
    TForm* form = MakeForm();
    auto* probe = new TProbe(form);
    probe->SetParent(form);
    probe->Constraints()->SetMinWidth(30);
    probe->Constraints()->SetMaxHeight(50);
    probe->SetBounds(0, 0, 10, 100);
    EXPECT_EQ(probe->Width(), 30);
    EXPECT_EQ(probe->Height(), 50);
    testing::ShowForm(form);
    RECT r;
    GetWindowRect(probe->Handle(), &r);
    EXPECT_EQ(r.Width(), 30);
    EXPECT_EQ(r.Height(), 50);
}

TEST_F(ControlTest, CaptionIsTheWindowTextAndSurvivesTheWindow) {
    TForm* form = MakeForm();
    int changes = 0;
    auto* probe = new TProbe(form);
    probe->SetParent(form);
    probe->SetWindowProc([probe, &changes](TMessage& m) {
        if (m.Msg == CM_TEXTCHANGED) ++changes;
        probe->WndProc(m);
    });
    probe->SetCaption("before");
    EXPECT_EQ(changes, 1);
    probe->SetCaption("before");
    EXPECT_EQ(changes, 1);  // unchanged text notifies nothing
    testing::ShowForm(form);
    EXPECT_EQ(GetWindowText(probe->Handle()), "before");
    SetWindowText(probe->Handle(), "typed");
    EXPECT_EQ(probe->Text(), "typed");
    probe->RecreateWnd();
    EXPECT_EQ(probe->Caption(), "typed");
}

TEST_F(ControlTest, ReparentingMovesTheWindowUnderTheNewParent) {
    TForm* form = MakeForm();
    auto* left = new TProbe(form);
    left->SetParent(form);
    left->SetBounds(0, 0, 100, 100);
    auto* right = new TProbe(form);
    right->SetParent(form);
    right->SetBounds(150, 0, 100, 100);
    auto* moving = new TProbe(form);
    moving->SetParent(left);
    moving->SetBounds(10, 10, 20, 20);
    testing::ShowForm(form);
    HWND h = moving->Handle();
    moving->SetParent(right);
    EXPECT_EQ(moving->Handle(), h);
    EXPECT_EQ(GetParent(h), right->Handle());
    EXPECT_EQ(moving->ClientOrigin(), right->ClientToScreen(TPoint(10, 10)));
    EXPECT_EQ(left->ControlCount(), 0);
    EXPECT_EQ(right->ControlCount(), 1);
    moving->SetParent(nullptr);
    EXPECT_FALSE(moving->HandleAllocated());
    delete moving;
}

TEST_F(ControlTest, MouseEnterAndLeaveFollowTheCursor) {
    TForm* form = MakeForm();
    auto* a = new TProbe(form);
    a->SetParent(form);
    a->SetBounds(0, 0, 50, 50);
    auto* swatch = new TSwatch(form);
    swatch->SetParent(form);
    swatch->SetBounds(100, 0, 50, 50);
    std::vector<std::string> log;
    a->OnMouseEnter = [&](TObject*) { log.push_back("enter a"); };
    a->OnMouseLeave = [&](TObject*) { log.push_back("leave a"); };
    swatch->OnMouseEnter = [&](TObject*) { log.push_back("enter swatch"); };
    swatch->OnMouseLeave = [&](TObject*) { log.push_back("leave swatch"); };
    testing::ShowForm(form);
    testing::MoveMouse(a, 10, 10);
    testing::MoveMouse(a, 20, 10);
    testing::MoveMouse(swatch, 5, 5);
    testing::MoveMouse(form, 250, 150);
    EXPECT_EQ(log, (std::vector<std::string>{"enter a", "leave a", "enter swatch",
                                             "leave swatch"}));
}

TEST_F(ControlTest, DisabledControlsAndModalOwnersGetNoInput) {
    TForm* form = MakeForm();
    auto* probe = new TProbe(form);
    probe->SetParent(form);
    probe->SetBounds(0, 0, 50, 50);
    testing::ShowForm(form);
    probe->SetEnabled(false);
    EXPECT_FALSE(IsWindowEnabled(probe->Handle()));
    probe->Events.clear();
    testing::Click(probe, 5, 5);
    EXPECT_TRUE(probe->Events.empty());
    probe->SetEnabled(true);
    testing::Wait(600);
    testing::Click(probe, 5, 5);
    EXPECT_FALSE(probe->Events.empty());
}

TEST_F(ControlTest, GraphicControlCanvasDrawsOnTheParentOutsidePainting) {
    TForm* form = MakeForm();
    form->SetColor(clWhite);
    auto* swatch = new TSwatch(form);
    swatch->SetParent(form);
    swatch->SetBounds(40, 30, 20, 20);
    testing::ShowForm(form);
    swatch->Canvas()->Brush()->SetColor(clBlue);
    swatch->Canvas()->FillRect(TRect(0, 0, 100, 100));  // clipped to the control
    EXPECT_EQ(testing::PixelAt(form, 45, 35), RGB(0, 0, 255));
    EXPECT_EQ(testing::PixelAt(form, 61, 35), RGB(255, 255, 255));
    EXPECT_EQ(testing::PixelAt(form, 39, 29), RGB(255, 255, 255));
}

TEST_F(ControlTest, FocusMovesTheFormsActiveControlAndScreenFollows) {
    TForm* form = MakeForm();
    auto* a = new TProbe(form);
    a->SetParent(form);
    auto* b = new TProbe(form);
    b->SetParent(form);
    int changes = 0;
    Screen->OnActiveControlChange = [&](TObject*) { ++changes; };
    testing::ShowForm(form);
    EXPECT_EQ(Screen->ActiveControl(), a);
    b->SetFocus();
    EXPECT_TRUE(b->Focused());
    EXPECT_EQ(form->ActiveControl(), b);
    EXPECT_EQ(Screen->ActiveControl(), b);
    EXPECT_EQ(changes, 2);
    // Recreating the focused control's window keeps the focus on it.
    b->RecreateWnd();
    EXPECT_TRUE(b->Focused());
    // Hiding the focused control gives the focus back to its parent.
    b->SetVisible(false);
    EXPECT_FALSE(b->Focused());
    EXPECT_FALSE(b->CanFocus());
    Screen->OnActiveControlChange = nullptr;
}

TEST_F(ControlTest, ActiveControlClearedWhileTheFocusMovesLeavesTheFocusWhereItGoes) {
    TForm* form = MakeForm();
    auto* a = new TProbe(form);
    a->SetParent(form);
    auto* b = new TProbe(form);
    b->SetParent(form);
    testing::ShowForm(form);
    ASSERT_TRUE(a->Focused());
    bool changing = false;
    a->OnExit = [&](TObject*) {
        changing = IsFocusChanging();
        form->SetActiveControl(nullptr);
    };
    b->SetFocus();
    EXPECT_TRUE(changing);
    EXPECT_FALSE(IsFocusChanging());
    EXPECT_TRUE(b->Focused());
    EXPECT_EQ(form->ActiveControl(), nullptr);
    // Cleared at any other time, the form itself takes the focus.
    a->OnExit = nullptr;
    form->SetActiveControl(b);
    form->SetActiveControl(nullptr);
    EXPECT_EQ(GetFocus(), form->Handle());
}

}  // namespace epc
