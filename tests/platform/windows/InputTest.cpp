// Focus, capture, double clicks, keyboard state, the wheel and the caret.

#include "WindowTestSupport.h"

namespace epc {

TEST_F(WindowTest, SetFocusKillsTheOldWindowFirstNamingEachOther) {
    HWND top = rec.Make(0, 0, 200, 200);
    HWND a = rec.Make(0, 0, 50, 50, top);
    HWND b = rec.Make(60, 0, 50, 50, top);
    SetFocus(a);
    rec.Log.clear();
    EXPECT_EQ(SetFocus(b), a);
    std::vector<TRecord> focus;
    for (auto& r : rec.Log)
        if (r.Msg == WM_KILLFOCUS || r.Msg == WM_SETFOCUS) focus.push_back(r);
    ASSERT_EQ(focus.size(), 2u);
    EXPECT_EQ(focus[0].Msg, uint32_t(WM_KILLFOCUS));
    EXPECT_EQ(focus[0].Window, a);
    EXPECT_EQ(reinterpret_cast<HWND>(focus[0].W), b);
    EXPECT_EQ(focus[1].Msg, uint32_t(WM_SETFOCUS));
    EXPECT_EQ(focus[1].Window, b);
    EXPECT_EQ(reinterpret_cast<HWND>(focus[1].W), a);
    EXPECT_EQ(GetFocus(), b);
    // Focusing the focused window sends nothing; a destroyed focus window is let go.
    rec.Log.clear();
    SetFocus(b);
    EXPECT_TRUE(rec.Log.empty());
    DestroyWindow(b);
    EXPECT_EQ(GetFocus(), nullptr);
}

TEST_F(WindowTest, CaptureKeepsMovesOutsideTheWindow) {
    HWND a = rec.Make(0, 0, 100, 100);
    HWND b = rec.Make(200, 0, 100, 100);
    SetCapture(a);
    SimulateMouseMove(TPoint(250, 30));
    ProcessMessages();
    ASSERT_EQ(rec.Count(WM_MOUSEMOVE, a), 1);
    EXPECT_EQ(LParamToPoint(rec.Of(WM_MOUSEMOVE, a)[0].L), TPoint(250, 30));
    EXPECT_EQ(rec.Count(WM_MOUSEMOVE, b), 0);
    ReleaseCapture();
    EXPECT_EQ(rec.Count(WM_CAPTURECHANGED, a), 1);
    SimulateMouseMove(TPoint(260, 40));
    ProcessMessages();
    ASSERT_EQ(rec.Count(WM_MOUSEMOVE, b), 1);
    EXPECT_EQ(LParamToPoint(rec.Of(WM_MOUSEMOVE, b)[0].L), TPoint(60, 40));
    EXPECT_EQ(rec.Count(WM_SETCURSOR, b), 1);
}

TEST_F(WindowTest, DoubleClickNeedsTimeDistanceAndTheClassStyle) {
    HWND h = rec.Make(0, 0, 100, 100);
    auto click = [](TPoint p) {
        SimulateMouseButton(TMouseButtonId::Left, true, p);
        SimulateMouseButton(TMouseButtonId::Left, false, p);
        ProcessMessages();
    };
    click(TPoint(10, 10));
    Sleep(400);
    click(TPoint(12, 11));
    EXPECT_EQ(rec.Count(WM_LBUTTONDOWN, h), 1);
    EXPECT_EQ(rec.Count(WM_LBUTTONDBLCLK, h), 1);
    // A third click starts over.
    click(TPoint(12, 11));
    EXPECT_EQ(rec.Count(WM_LBUTTONDOWN, h), 2);

    rec.Log.clear();
    Sleep(1000);
    click(TPoint(10, 10));
    Sleep(501);
    click(TPoint(10, 10));
    EXPECT_EQ(rec.Count(WM_LBUTTONDOWN, h), 2);
    EXPECT_EQ(rec.Count(WM_LBUTTONDBLCLK, h), 0);

    rec.Log.clear();
    Sleep(1000);
    click(TPoint(10, 10));
    click(TPoint(15, 10));
    EXPECT_EQ(rec.Count(WM_LBUTTONDOWN, h), 2);

    TRecorder plain;
    HWND p = plain.Make(300, 300, 50, 50, nullptr, 0, 0, 0);
    click(TPoint(310, 310));
    click(TPoint(310, 310));
    EXPECT_EQ(plain.Count(WM_LBUTTONDOWN, p), 2);
    DestroyWindow(p);
}

TEST_F(WindowTest, ClicksOutsideTheClientAreaAreNonClientMessages) {
    HWND h = rec.Make(0, 0, 100, 100, nullptr, WS_BORDER | WS_VSCROLL);
    SimulateMouseButton(TMouseButtonId::Left, true, TPoint(95, 50));
    ProcessMessages();
    ASSERT_EQ(rec.Count(WM_NCLBUTTONDOWN, h), 1);
    EXPECT_EQ(rec.Of(WM_NCLBUTTONDOWN, h)[0].W, WPARAM(HTVSCROLL));
    EXPECT_EQ(rec.Count(WM_LBUTTONDOWN, h), 0);
}

TEST_F(WindowTest, KeysCarryStateAndTranslateToCharacters) {
    HWND h = rec.Make(0, 0, 100, 100);
    SetFocus(h);
    int16_t shiftSeen = 0;
    rec.Handler = [&](HWND, uint32_t msg, WPARAM, LPARAM, LRESULT&) {
        if (msg == WM_KEYDOWN) shiftSeen = GetKeyState(VK_SHIFT);
        return false;
    };
    SimulateKey(VK_SHIFT, true);
    // Queued but not processed: only the asynchronous state has changed.
    EXPECT_LT(GetAsyncKeyState(VK_SHIFT), 0);
    EXPECT_GE(GetKeyState(VK_SHIFT), 0);
    SimulateKey('A', true);
    SimulateKey('A', false);
    SimulateKey(VK_SHIFT, false);
    ProcessMessages();
    EXPECT_GE(GetKeyState(VK_SHIFT), 0);
    EXPECT_LT(shiftSeen, 0);
    auto chars = rec.Of(WM_CHAR, h);
    ASSERT_EQ(chars.size(), 1u);
    EXPECT_EQ(chars[0].W, WPARAM(u'A'));
    // The character directly follows its key.
    size_t down = 0, chr = 0;
    for (size_t i = 0; i < rec.Log.size(); ++i) {
        if (rec.Log[i].Msg == WM_KEYDOWN && rec.Log[i].W == 'A') down = i;
        if (rec.Log[i].Msg == WM_CHAR) chr = i;
    }
    EXPECT_LT(down, chr);
    EXPECT_EQ(KeyToChar('A', false), u'a');
    EXPECT_EQ(KeyToChar('1', true), u'!');
    EXPECT_EQ(VkKeyScan(u'?'), int16_t(0x1BF));
}

TEST_F(WindowTest, ControlWithALetterGivesItsControlCharacter) {
    HWND h = rec.Make(0, 0, 100, 100);
    SetFocus(h);
    SimulateKey(VK_CONTROL, true);
    for (int vk = 'A'; vk <= 'Z'; ++vk) {
        SimulateKey(vk, true);
        SimulateKey(vk, false);
    }
    SimulateKey(VK_RETURN, true);
    SimulateKey(VK_RETURN, false);
    SimulateKey(VK_BACK, true);
    SimulateKey(VK_BACK, false);
    // Not a letter: no character under Control.
    SimulateKey('1', true);
    SimulateKey('1', false);
    SimulateKey(VK_CONTROL, false);
    ProcessMessages();
    std::vector<WPARAM> got;
    for (auto& r : rec.Of(WM_CHAR, h)) got.push_back(r.W);
    std::vector<WPARAM> expected;
    for (WPARAM c = 1; c <= 26; ++c) expected.push_back(c);
    expected.push_back(10);
    expected.push_back(127);
    EXPECT_EQ(got, expected);
}

TEST_F(WindowTest, WheelGoesToTheFocusWindowInNotches) {
    HWND top = rec.Make(0, 0, 200, 200);
    HWND child = rec.Make(0, 0, 50, 50, top);
    SetFocus(child);
    SimulateMouseWheel(-240, TPoint(150, 150));
    ProcessMessages();
    ASSERT_EQ(rec.Count(WM_MOUSEWHEEL, child), 1);
    EXPECT_EQ(GET_WHEEL_DELTA_WPARAM(rec.Of(WM_MOUSEWHEEL, child)[0].W), -240);
    // Unanswered, the wheel travels up to the parent.
    EXPECT_EQ(rec.Count(WM_MOUSEWHEEL, top), 1);
}

TEST_F(WindowTest, CaretIsOnePerThreadAndHidingNests) {
    HWND a = rec.Make(0, 0, 100, 100);
    HWND b = rec.Make(0, 0, 100, 100);
    ASSERT_TRUE(CreateCaret(a, nullptr, 1, 14));
    EXPECT_FALSE(GetCaretState().Shown());
    ShowCaret(a);
    SetCaretPos(5, 6);
    EXPECT_TRUE(GetCaretState().Shown());
    EXPECT_EQ(GetCaretState().Pos, TPoint(5, 6));
    HideCaret(a);
    HideCaret(a);
    ShowCaret(a);
    EXPECT_FALSE(GetCaretState().Shown());
    ShowCaret(a);
    EXPECT_TRUE(GetCaretState().Shown());
    EXPECT_FALSE(ShowCaret(b));
    // A new caret replaces the old one; the owner's death takes it along.
    CreateCaret(b, nullptr, 2, 10);
    EXPECT_EQ(GetCaretState().Owner, b);
    EXPECT_EQ(GetCaretState().Height, 10);
    DestroyWindow(b);
    EXPECT_EQ(GetCaretState().Owner, nullptr);
}

TEST_F(WindowTest, CursorsAreIdsAndRegisteredPictures) {
    HCURSOR arrow = LoadCursor(nullptr, IDC_ARROW);
    ASSERT_NE(arrow, nullptr);
    EXPECT_EQ(LoadCursor(nullptr, IDC_ARROW), arrow);
    EXPECT_EQ(arrow->Id, IDC_ARROW);
    HCURSOR own = RegisterCursorImage("VT_MOVEALL", 32, 32, TPoint(16, 16),
                                      std::vector<uint32_t>(32 * 32, 0xFF000000));
    EXPECT_EQ(LoadCursorA(nullptr, "VT_MOVEALL"), own);
    EXPECT_EQ(LoadCursorA(nullptr, "VT_UNKNOWN"), nullptr);
    SetCursor(own);
    EXPECT_EQ(GetCursor(), own);
}

}  // namespace epc
