// Windows made on demand, recreation, destruction order, painting, mouse and keys.

#include "ControlTestSupport.h"

namespace epc {

TEST_F(ControlTest, HiddenControlGetsItsWindowOnDemand) {
    TForm* form = MakeForm();
    auto* probe = new TProbe(form);
    probe->SetVisible(false);
    probe->SetParent(form);
    probe->SetBounds(5, 5, 40, 30);
    EXPECT_FALSE(probe->HandleAllocated());
    EXPECT_FALSE(form->HandleAllocated());
    // Measuring needs a window: the parent's comes first, neither is shown.
    HWND h = probe->Handle();
    ASSERT_TRUE(IsWindow(h));
    EXPECT_TRUE(form->HandleAllocated());
    EXPECT_EQ(GetParent(h), form->Handle());
    EXPECT_FALSE(IsWindowVisible(h));
    EXPECT_EQ(probe->Canvas()->TextWidth(std::string("")), 0);
    EXPECT_EQ(TWinControl::FindControl(h), probe);
    auto* orphan = new TProbe(nullptr);
    EXPECT_THROW(orphan->Handle(), EInvalidOperation);
    delete orphan;
}

TEST_F(ControlTest, RecreateKeepsChildrenTheirBoundsAndText) {
    TForm* form = MakeForm();
    auto* panel = new TProbe(form);
    panel->SetParent(form);
    panel->SetBounds(10, 10, 100, 80);
    auto* inner = new TProbe(form);
    inner->SetParent(panel);
    inner->SetBounds(5, 6, 20, 20);
    inner->SetText("inner");
    testing::ShowForm(form);
    HWND oldPanel = panel->Handle(), oldInner = inner->Handle();
    panel->RecreateWnd();
    ASSERT_TRUE(panel->HandleAllocated());
    ASSERT_TRUE(inner->HandleAllocated());
    EXPECT_FALSE(IsWindow(oldInner));
    EXPECT_NE(panel->Handle(), oldPanel);
    EXPECT_EQ(GetParent(inner->Handle()), panel->Handle());
    RECT r;
    GetWindowRect(inner->Handle(), &r);
    EXPECT_EQ(r.TopLeft(), panel->ClientToScreen(TPoint(5, 6)));
    EXPECT_EQ(inner->Text(), "inner");
    EXPECT_EQ(GetWindowText(inner->Handle()), "inner");
}

TEST_F(ControlTest, ChildrenAreFreedWhileTheParentsWindowStillExists) {
    TForm* form = MakeForm();
    auto* panel = new TProbe(form);
    panel->SetParent(form);
    auto* inner = new TProbe(nullptr);  // not owned: the parent frees it
    inner->SetParent(panel);
    testing::ShowForm(form);
    HWND panelHandle = panel->Handle();
    bool parentWindowAlive = false;
    bool innerGone = false;
    inner->OnDestroyed = [&] {
        parentWindowAlive = IsWindow(panelHandle) != 0;
        innerGone = true;
    };
    FreeComponent(panel);
    EXPECT_TRUE(innerGone);
    EXPECT_TRUE(parentWindowAlive);
    EXPECT_FALSE(IsWindow(panelHandle));
    EXPECT_EQ(form->ControlCount(), 0);
}

TEST_F(ControlTest, CustomControlPaintsIntoItsWindow) {
    TForm* form = MakeForm();
    form->SetColor(clWhite);
    auto* probe = new TProbe(form, RGB(0, 0, 255));
    probe->SetParent(form);
    probe->SetBounds(20, 30, 50, 40);
    auto* swatch = new TSwatch(form);
    swatch->SetParent(form);
    swatch->SetBounds(100, 10, 20, 20);
    testing::ShowForm(form);
    EXPECT_EQ(testing::PixelAt(form, 25, 35), RGB(0, 0, 255));
    EXPECT_EQ(testing::PixelAt(form, 5, 5), RGB(255, 255, 255));
    EXPECT_EQ(testing::PixelAt(form, 105, 15), RGB(255, 255, 0));
    EXPECT_EQ(testing::PixelAt(swatch, 0, 0), RGB(255, 255, 0));
    // Invalidate and repaint pick up a new colour.
    probe->Fill = RGB(255, 0, 0);
    int paints = probe->Paints;
    probe->Invalidate();
    probe->Invalidate();
    testing::Pump();
    EXPECT_EQ(probe->Paints, paints + 1);
    EXPECT_EQ(testing::PixelAt(probe, 0, 0), RGB(255, 0, 0));
}

TEST_F(ControlTest, MouseEventsCarryClientCoordinatesAndClickOrder) {
    TForm* form = MakeForm();
    auto* probe = new TProbe(form);
    probe->SetTabStop(false);  // keeps the Shift key's own events out of the log
    probe->SetParent(form);
    probe->SetBounds(20, 30, 50, 40);
    auto* swatch = new TSwatch(form);
    swatch->SetParent(form);
    swatch->SetBounds(100, 10, 20, 20);
    testing::ShowForm(form);
    testing::Click(probe, 7, 8, mbLeft, {ssShift});
    EXPECT_EQ(probe->Events, (std::vector<std::string>{"down 7,8 shift", "click", "up 7,8"}));
    // The press captures the mouse: the release outside still arrives, without a click.
    probe->Events.clear();
    testing::MouseDown(probe, 5, 5);
    EXPECT_TRUE(probe->MouseCapture());
    testing::MouseUp(probe, 200, 5);
    EXPECT_EQ(probe->Events, (std::vector<std::string>{"down 5,5", "up 200,5"}));
    EXPECT_FALSE(probe->MouseCapture());
    // Graphic controls get their parent's mouse messages in their own coordinates.
    testing::Click(swatch, 3, 4);
    EXPECT_EQ(swatch->Events, std::vector<std::string>{"down 3,4"});
}

TEST_F(ControlTest, DoubleClickWithinTimeAndTwoClicksOtherwise) {
    TForm* form = MakeForm();
    auto* probe = new TProbe(form);
    probe->SetParent(form);
    probe->SetBounds(0, 0, 100, 100);
    testing::ShowForm(form);
    probe->Events.clear();
    testing::DoubleClick(probe, 10, 10);
    EXPECT_EQ(probe->Events, (std::vector<std::string>{"down 10,10", "click", "up 10,10",
                                                       "dblclick", "down 10,10 double",
                                                       "up 10,10"}));
    probe->Events.clear();
    testing::Wait(1000);
    testing::Click(probe, 10, 10);
    testing::Wait(600);
    testing::Click(probe, 10, 10);
    EXPECT_EQ(std::count(probe->Events.begin(), probe->Events.end(), "click"), 2);
    EXPECT_EQ(std::count(probe->Events.begin(), probe->Events.end(), "dblclick"), 0);
}

TEST_F(ControlTest, TabMovesFocusUnlessTheControlWantsIt) {
    TForm* form = MakeForm();
    TProbe* probes[3];
    for (int i = 0; i < 3; ++i) {
        probes[i] = new TProbe(form);
        probes[i]->SetParent(form);
        probes[i]->SetBounds(10 + 60 * i, 10, 50, 20);
    }
    probes[1]->SetTabOrder(0);  // order: 1, 0, 2
    testing::ShowForm(form);
    std::vector<TWinControl*> order;
    form->GetTabOrderList(order);
    EXPECT_EQ(order, (std::vector<TWinControl*>{probes[1], probes[0], probes[2]}));
    EXPECT_EQ(form->ActiveControl(), probes[1]);
    EXPECT_TRUE(probes[1]->Focused());
    testing::PressKey(VK_TAB);
    EXPECT_TRUE(probes[0]->Focused());
    EXPECT_EQ(form->ActiveControl(), probes[0]);
    EXPECT_EQ(probes[1]->Events.back(), "exit");
    EXPECT_EQ(probes[0]->Events.back(), "enter");
    // The control never saw the Tab it did not want.
    for (auto& e : probes[1]->Events) EXPECT_NE(e, "keydown 9");
    testing::PressKey(VK_TAB, {ssShift});
    EXPECT_TRUE(probes[1]->Focused());
    probes[1]->DlgCode = DLGC_WANTTAB | DLGC_WANTCHARS;
    testing::PressKey(VK_TAB);
    EXPECT_TRUE(probes[1]->Focused());
    EXPECT_EQ(probes[1]->Events[probes[1]->Events.size() - 2], "keydown 9");
    EXPECT_EQ(probes[1]->Events.back(), "char \t");
    // Disabled and hidden controls are skipped and cannot be focused.
    probes[0]->SetEnabled(false);
    probes[1]->DlgCode = 0;
    testing::PressKey(VK_TAB);
    EXPECT_TRUE(probes[2]->Focused());
    EXPECT_THROW(probes[0]->SetFocus(), EInvalidOperation);
}

TEST_F(ControlTest, KeysAndCharactersReachTheFocusedControl) {
    TForm* form = MakeForm();
    auto* probe = new TProbe(form);
    probe->SetParent(form);
    testing::ShowForm(form);
    probe->SetFocus();
    probe->Events.clear();
    testing::TypeText("aB");
    testing::TypeText(u"\u00e9");
    EXPECT_EQ(probe->Events, (std::vector<std::string>{"keydown 65", "char a", "keydown 16",
                                                       "keydown 66", "char B",
                                                       std::string("char ") + char(0xe9)}));
    // The form previews keys when asked to.
    std::vector<Word> previewed;
    form->SetKeyPreview(true);
    form->OnKeyDown = [&](TObject*, Word& key, TShiftState) { previewed.push_back(key); };
    testing::PressKey(VK_F2);
    EXPECT_EQ(previewed, std::vector<Word>{VK_F2});
}

TEST_F(ControlTest, WheelReachesTheFocusedControlsEvent) {
    TForm* form = MakeForm();
    auto* probe = new TProbe(form);
    probe->SetParent(form);
    int delta = 0;
    probe->OnMouseWheel = [&](TObject*, TShiftState, int d, TPoint, bool& handled) {
        delta += d;
        handled = true;
    };
    bool formHeard = false;
    form->OnMouseWheelDown = [&](TObject*, TShiftState, TPoint, bool&) { formHeard = true; };
    testing::ShowForm(form);
    probe->SetFocus();
    testing::Wheel(probe, -2);
    EXPECT_EQ(delta, -240);
    EXPECT_FALSE(formHeard);
    probe->OnMouseWheel = nullptr;
    testing::Wheel(probe, -1);
    EXPECT_TRUE(formHeard);  // unhandled, it goes to the parent
}

TEST_F(ControlTest, AlignmentAndAnchorsFollowTheParentsSize) {
    TForm* form = MakeForm();
    auto* top = new TProbe(form);
    top->SetParent(form);
    top->SetHeight(30);
    top->SetAlign(alTop);
    auto* client = new TProbe(form);
    client->SetParent(form);
    client->SetAlign(alClient);
    testing::ShowForm(form);
    EXPECT_EQ(top->BoundsRect(), TRect(0, 0, 300, 30));
    EXPECT_EQ(client->BoundsRect(), TRect(0, 30, 300, 200));
    auto* corner = new TProbe(form);
    corner->SetAlign(alNone);
    corner->SetParent(form);
    corner->SetBounds(250, 150, 20, 20);
    corner->SetAnchors({akRight, akBottom});
    int resized = 0;
    client->OnResize = [&](TObject*) { ++resized; };
    form->SetBounds(100, 100, 400, 250);
    EXPECT_EQ(client->BoundsRect(), TRect(0, 30, 400, 250));
    EXPECT_EQ(corner->BoundsRect(), TRect(350, 200, 370, 220));
    EXPECT_GE(resized, 1);
}

TEST_F(ControlTest, ExceptionInAHandlerIsShownAndThePumpGoesOn) {
    TForm* form = MakeForm();
    auto* probe = new TProbe(form);
    probe->SetParent(form);
    probe->SetBounds(0, 0, 50, 50);
    probe->OnClick = [](TObject*) { throw EInvalidOperation("Broken handler"); };
    testing::ShowForm(form);
    testing::Click(probe, 5, 5);
    EXPECT_EQ(Application->ExceptionCount(), 1);
    ASSERT_EQ(testing::MessageBoxes().size(), 1u);
    EXPECT_EQ(testing::MessageBoxes()[0].Text, "Broken handler.");
    EXPECT_EQ(testing::MessageBoxes()[0].Flags, uint32_t(MB_OK | MB_ICONSTOP));
    testing::Wait(600);  // not a double click
    testing::Click(probe, 5, 5);
    EXPECT_EQ(Application->ExceptionCount(), 2);
}

}  // namespace epc
