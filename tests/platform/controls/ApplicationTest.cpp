// The drag protocol, timers, hints, help, cursors, modal forms and the clipboard object.

#include "ControlTestSupport.h"
#include "platform/controls/Clipbrd.h"
#include "platform/controls/Timer.h"
#include "platform/graphics/Bitmap.h"
#include "platform/windows/Help.h"

namespace epc {

class DragTest : public ControlTest {
protected:
    void SetUp() override {
        ControlTest::SetUp();
        form = MakeForm();
        source = new TProbe(form);
        source->SetParent(form);
        source->SetBounds(10, 10, 60, 60);
        target = new TProbe(form);
        target->SetParent(form);
        target->SetBounds(150, 10, 60, 60);
        source->OnMouseDown = [this](TObject*, TMouseButton, TShiftState, int, int) {
            source->BeginDrag(false);
        };
        source->OnEndDrag = [this](TObject*, TObject* t, int x, int y) {
            ended.push_back({t, TPoint(x, y)});
        };
        target->OnDragOver = [this](TObject*, TObject* src, int, int, TDragState state,
                                    bool& accept) {
            states.push_back(state);
            accept = src == source;
        };
        target->OnDragDrop = [this](TObject*, TObject* src, int x, int y) {
            drops.push_back({src, TPoint(x, y)});
        };
        testing::ShowForm(form);
    }

    TForm* form = nullptr;
    TProbe* source = nullptr;
    TProbe* target = nullptr;
    std::vector<std::pair<TObject*, TPoint>> ended, drops;
    std::vector<TDragState> states;
};

TEST_F(DragTest, DropOnAnAcceptingTargetFiresDragDropAndEndDrag) {
    testing::DragMouse(source, TPoint(20, 20), TPoint(170, 30), 5);
    ASSERT_EQ(drops.size(), 1u);
    EXPECT_EQ(drops[0].first, source);  // the control, not its drag object
    EXPECT_EQ(drops[0].second, TPoint(30, 30));
    ASSERT_EQ(ended.size(), 1u);
    EXPECT_EQ(ended[0].first, target);
    EXPECT_EQ(ended[0].second, TPoint(30, 30));
    ASSERT_FALSE(states.empty());
    EXPECT_EQ(states.front(), dsDragEnter);
    EXPECT_EQ(states.back(), dsDragMove);
    EXPECT_FALSE(IsDragging());
    EXPECT_EQ(GetCapture(), nullptr);
}

TEST_F(DragTest, EscapeCancelsAndSmallMovesStayClicks) {
    testing::MoveMouse(source, 20, 20);
    testing::MouseDown(source, 20, 20);
    testing::MoveMouse(target, 5, 5);
    EXPECT_TRUE(IsDragging());
    testing::PressKey(VK_ESCAPE);
    EXPECT_FALSE(IsDragging());
    ASSERT_EQ(ended.size(), 1u);
    EXPECT_EQ(ended[0].first, nullptr);
    EXPECT_TRUE(drops.empty());
    EXPECT_EQ(states.back(), dsDragLeave);
    testing::MouseUp(target, 5, 5);

    // Below the threshold the press stays a click.
    source->Events.clear();
    testing::Wait(1000);
    testing::MoveMouse(source, 20, 20);
    testing::MouseDown(source, 20, 20);
    testing::MoveMouse(source, 22, 21);
    testing::MouseUp(source, 22, 21);
    EXPECT_FALSE(IsDragging());
    EXPECT_EQ(ended.size(), 2u);
    EXPECT_EQ(std::count(source->Events.begin(), source->Events.end(), "click"), 1);
}

TEST_F(DragTest, RejectingTargetGetsLeaveAndNoDrop) {
    target->OnDragOver = [this](TObject*, TObject*, int, int, TDragState state, bool& accept) {
        states.push_back(state);
        accept = false;
    };
    testing::DragMouse(source, TPoint(20, 20), TPoint(170, 30), 5);
    EXPECT_TRUE(drops.empty());
    ASSERT_EQ(ended.size(), 1u);
    EXPECT_EQ(ended[0].first, nullptr);
    EXPECT_EQ(states.back(), dsDragLeave);
}

TEST_F(ControlTest, TimerComponentTicksWhileEnabled) {
    TTimer timer(nullptr);
    int ticks = 0;
    timer.SetInterval(250);
    timer.OnTimer = [&](TObject*) { ++ticks; };
    testing::Wait(1000);
    EXPECT_EQ(ticks, 4);
    timer.SetEnabled(false);
    testing::Wait(1000);
    EXPECT_EQ(ticks, 4);
    timer.SetEnabled(true);
    timer.SetInterval(100);
    testing::Wait(250);
    EXPECT_EQ(ticks, 6);
}

TEST_F(ControlTest, HintShowsAfterThePauseAndCancels) {
    TForm* form = MakeForm();
    auto* probe = new TProbe(form);
    probe->SetParent(form);
    probe->SetBounds(10, 10, 50, 50);
    probe->SetHint("Short|Long text");
    probe->SetShowHint(true);
    int pauseAsked = -1;
    probe->SetWindowProc([probe, &pauseAsked](TMessage& m) {
        if (m.Msg == CM_HINTSHOWPAUSE) pauseAsked = *reinterpret_cast<int*>(m.LParam);
        if (m.Msg == CM_HINTSHOW) {
            auto* info = reinterpret_cast<THintInfo*>(m.LParam);
            info->HintStr += "!";
        }
        probe->WndProc(m);
    });
    testing::ShowForm(form);
    testing::MoveMouse(probe, 20, 20);
    EXPECT_EQ(pauseAsked, 500);
    EXPECT_FALSE(Application->HintShowing());
    testing::Wait(499);
    EXPECT_FALSE(Application->HintShowing());
    testing::Wait(1);
    ASSERT_TRUE(Application->HintShowing());
    EXPECT_EQ(Application->ShownHint().HintStr, "Short!");
    EXPECT_EQ(Application->ShownHint().HintControl, probe);
    EXPECT_EQ(Application->Hint(), "Long text");
    // The hint window shows the text below the cursor in the info colours.
    THintWindow* hw = Application->HintWindow();
    ASSERT_NE(hw, nullptr);
    EXPECT_TRUE(hw->IsHintShowing());
    EXPECT_EQ(hw->Caption(), "Short!");
    TPoint cursor = testing::ScreenPoint(probe, TPoint(20, 20));
    EXPECT_EQ(hw->BoundsRect().TopLeft(), TPoint(cursor.X, cursor.Y + 20));
    EXPECT_EQ(testing::PixelAt(hw, 1, 1), GetSysColor(COLOR_INFOBK));
    Application->CancelHint();
    EXPECT_FALSE(Application->HintShowing());
    EXPECT_FALSE(hw->IsHintShowing());
    // The hide pause takes it away by itself.
    testing::MoveMouse(form, 200, 150);
    testing::MoveMouse(probe, 21, 21);
    testing::Wait(500);
    EXPECT_TRUE(Application->HintShowing());
    testing::Wait(2500);
    EXPECT_FALSE(Application->HintShowing());
}

TEST_F(ControlTest, HintBelongsToTheCursorRectangleItsControlNames) {
    TForm* form = MakeForm();
    auto* probe = new TProbe(form);
    probe->SetParent(form);
    probe->SetBounds(10, 10, 100, 50);
    probe->SetHint("half");
    probe->SetShowHint(true);
    int asked = 0;
    probe->SetWindowProc([probe, &asked](TMessage& m) {
        if (m.Msg == CM_HINTSHOW) {
            // Each half of the control has a hint of its own.
            auto* info = reinterpret_cast<THintInfo*>(m.LParam);
            const bool left = info->CursorPos.X < 50;
            info->CursorRect = left ? TRect(0, 0, 50, 50) : TRect(50, 0, 100, 50);
            info->HintStr = left ? "left" : "right";
            ++asked;
        }
        probe->WndProc(m);
    });
    testing::ShowForm(form);
    testing::MoveMouse(probe, 20, 20);
    testing::Wait(500);
    ASSERT_TRUE(Application->HintShowing());
    EXPECT_EQ(Application->ShownHint().HintStr, "left");
    // Within the rectangle the hint stays and nothing is asked.
    testing::MoveMouse(probe, 40, 30);
    testing::Wait(500);
    EXPECT_TRUE(Application->HintShowing());
    EXPECT_EQ(asked, 1);
    // Out of it the hint goes and the control is asked again.
    testing::MoveMouse(probe, 70, 30);
    EXPECT_FALSE(Application->HintShowing());
    testing::Wait(500);
    ASSERT_TRUE(Application->HintShowing());
    EXPECT_EQ(Application->ShownHint().HintStr, "right");
    EXPECT_EQ(asked, 2);
}

TEST_F(ControlTest, HelpCommandAsksOnHelpThenTheEngine) {
    Application->SetHelpFile("exam.hlp");
    std::vector<std::pair<Word, intptr_t>> asked;
    bool letEngine = true;
    Application->OnHelp = [&](Word cmd, intptr_t data, bool& callHelp) {
        asked.push_back({cmd, data});
        callHelp = letEngine;
        return true;
    };
    for (uint32_t cmd : {0u, 1u, 2u, 3u, 8u, 11u, 13u, 15u, 257u, 258u, 261u})
        EXPECT_TRUE(Application->HelpCommand(cmd, intptr_t(cmd) * 10));
    EXPECT_EQ(asked.size(), 11u);
    ASSERT_EQ(Application->HelpLog().size(), 11u);
    EXPECT_EQ(Application->HelpLog()[4].Command, 8u);
    EXPECT_EQ(Application->HelpLog()[4].Data, 80);
    EXPECT_EQ(Application->HelpLog()[4].HelpFile, "exam.hlp");
    ASSERT_EQ(HelpEngineLog().size(), 11u);
    EXPECT_EQ(HelpEngineLog()[1].Command, uint32_t(HELP_CONTEXT));
    EXPECT_FALSE(HelpEngineLog()[1].Html);
    letEngine = false;
    Application->HelpContext(42);
    EXPECT_EQ(Application->HelpLog().size(), 11u);
    EXPECT_EQ(asked.back(), (std::pair<Word, intptr_t>{HELP_CONTEXT, 42}));

    // The HTML engine keeps a copy of a popup's record; a missing library answers nothing.
    struct {
        int32_t cbStruct = 12;
        int32_t a = 7, b = 9;
    } popup;
    EXPECT_EQ(HtmlHelpA(nullptr, "", HH_DISPLAY_TEXT_POPUP, reinterpret_cast<uintptr_t>(&popup)),
              nullptr);
    EXPECT_EQ(HelpEngineLog().back().Record.size(), 12u);
    EXPECT_NE(HtmlHelpA(nullptr, "exam.chm", HH_HELP_CONTEXT, 5), nullptr);
    Context.SetHtmlHelpAvailable(false);
    size_t before = HelpEngineLog().size();
    EXPECT_EQ(HtmlHelpA(nullptr, "exam.chm", HH_HELP_CONTEXT, 5), nullptr);
    EXPECT_EQ(HelpEngineLog().size(), before);
}

TEST_F(ControlTest, CursorsFollowTheControlAndTheScreenOverride) {
    TForm* form = MakeForm();
    auto* probe = new TProbe(form);
    probe->SetParent(form);
    probe->SetBounds(10, 10, 50, 50);
    probe->SetCursor(crIBeam);
    HCURSOR own = RegisterCursorImage("VT_HEADERSPLIT", 32, 32, TPoint(16, 16), {});
    Screen->SetCursors(101, own);
    EXPECT_EQ(Screen->Cursors(101), own);
    testing::ShowForm(form);
    testing::MoveMouse(probe, 20, 20);
    EXPECT_EQ(GetCursor(), LoadCursor(nullptr, IDC_IBEAM));
    testing::MoveMouse(form, 200, 150);
    EXPECT_EQ(GetCursor(), LoadCursor(nullptr, IDC_ARROW));
    Screen->SetCursor(crHourGlass);
    testing::MoveMouse(probe, 22, 22);
    EXPECT_EQ(GetCursor(), LoadCursor(nullptr, IDC_WAIT));
    Screen->SetCursor(crDefault);
    probe->SetCursor(101);
    testing::MoveMouse(probe, 25, 25);
    EXPECT_EQ(GetCursor(), own);
}

TEST_F(ControlTest, ShowModalReturnsTheResultTheUserGives) {
    TForm* main = MakeForm();
    testing::ShowForm(main);
    auto* dialog = new TForm(nullptr);
    dialog->SetBounds(150, 150, 100, 80);
    auto* ok = new TProbe(dialog);
    ok->SetParent(dialog);
    ok->SetBounds(10, 10, 40, 20);
    ok->OnClick = [dialog](TObject*) { dialog->SetModalResult(mrOk); };
    bool mainEnabledDuring = true;
    SetModalHandler([&](TCustomForm* f) {
        EXPECT_EQ(f, dialog);
        mainEnabledDuring = IsWindowEnabled(main->Handle()) != 0;
        testing::Click(ok, 5, 5);
    });
    EXPECT_EQ(dialog->ShowModal(), mrOk);
    EXPECT_FALSE(mainEnabledDuring);
    EXPECT_FALSE(dialog->Visible());
    EXPECT_TRUE(IsWindowEnabled(main->Handle()));
    SetModalHandler(nullptr);
    EXPECT_EQ(dialog->ShowModal(), mrCancel);
    delete dialog;
}

TEST_F(ControlTest, ClipboardObjectCarriesTextAndPictures) {
    Clipboard()->SetAsText("hello");
    EXPECT_EQ(Clipboard()->AsText(), "hello");
    EXPECT_EQ(Clipboard()->AsWideText(), u"hello");
    EXPECT_EQ(testing::ClipboardText(), "hello");
    // Inside one Open/Close pair the first change empties, later ones add.
    uint32_t rvf = RegisterClipboardFormatA("RichView Format");
    Clipboard()->Open();
    Clipboard()->SetBuffer(rvf, "abc", 3);
    Clipboard()->SetAsText("t");
    Clipboard()->Close();
    EXPECT_TRUE(Clipboard()->HasFormat(rvf));
    EXPECT_EQ(Clipboard()->AsText(), "t");
    EXPECT_EQ(Clipboard()->GetBuffer(rvf), "abc");
    Clipboard()->SetAsText("alone");
    EXPECT_FALSE(Clipboard()->HasFormat(rvf));

    TBitmap bmp(4, 3, pf32bit);
    bmp.Canvas()->Brush()->SetColor(clRed);
    bmp.Canvas()->FillRect(TRect(0, 0, 4, 3));
    Clipboard()->Assign(&bmp);
    EXPECT_TRUE(Clipboard()->HasFormat(CF_BITMAP));
    TPicture picture;
    picture.Assign(Clipboard());
    ASSERT_NE(picture.Graphic(), nullptr);
    EXPECT_EQ(picture.Width(), 4);
    EXPECT_EQ(picture.Height(), 3);
    EXPECT_EQ(picture.Bitmap()->Canvas()->Pixels(2, 1), clRed);
    // A busy clipboard is reported.
    OpenClipboard(nullptr);
    EXPECT_THROW(Clipboard()->SetAsText("x"), Exception);
    CloseClipboard();
}

TEST_F(ControlTest, FormsTrackTheActiveFormAndCloseHides) {
    TForm* a = MakeForm();
    TForm* b = MakeForm();
    b->SetBounds(500, 100, 200, 200);
    testing::ShowForm(a);
    EXPECT_EQ(Screen->ActiveForm(), a);
    testing::ShowForm(b);
    EXPECT_EQ(Screen->ActiveForm(), b);
    EXPECT_TRUE(b->Active());
    EXPECT_FALSE(a->Active());
    bool asked = false;
    b->OnCloseQuery = [&](TObject*, bool& canClose) {
        asked = true;
        canClose = false;
    };
    b->Close();
    EXPECT_TRUE(asked);
    EXPECT_TRUE(b->Visible());
    b->OnCloseQuery = nullptr;
    b->Close();
    EXPECT_FALSE(b->Visible());
    EXPECT_EQ(Screen->ActiveForm(), a);
}

}  // namespace epc
