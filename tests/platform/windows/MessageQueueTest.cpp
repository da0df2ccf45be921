// The queue, sent messages, timers, hooks and message boxes.

#include <optional>
#include <set>
#include <stdexcept>

#include "WindowTestSupport.h"

namespace epc {

TEST_F(WindowTest, PostedMessagesArriveInOrderOnlyWhenPumped) {
    HWND h = rec.Make(0, 0, 50, 50);
    rec.Log.clear();
    for (uint32_t i = 1; i <= 3; ++i) ASSERT_TRUE(PostMessage(h, WM_USER + i, i, 0));
    EXPECT_EQ(rec.Count(WM_USER + 1), 0);
    EXPECT_EQ(PendingMessageCount(), 3);
    ProcessMessages();
    std::vector<uint32_t> order;
    for (auto& r : rec.Log)
        if (r.Msg >= WM_USER) order.push_back(r.Msg - WM_USER);
    EXPECT_EQ(order, (std::vector<uint32_t>{1, 2, 3}));
    EXPECT_EQ(PendingMessageCount(), 0);
}

TEST_F(WindowTest, SentMessageReturnsTheHandlersResultAtOnce) {
    rec.Handler = [](HWND, uint32_t msg, WPARAM w, LPARAM, LRESULT& r) {
        if (msg != WM_USER + 5) return false;
        r = LRESULT(w * 2);
        return true;
    };
    HWND h = rec.Make(0, 0, 50, 50);
    EXPECT_EQ(SendMessage(h, WM_USER + 5, 21, 0), 42);
    EXPECT_EQ(SendMessage(nullptr, WM_USER + 5, 21, 0), 0);
}

TEST_F(WindowTest, PostedObjectIsFreedWhenItsWindowDiesFirst) {
    HWND h = rec.Make(0, 0, 50, 50);
    int freed = 0;
    auto deleter = [&freed](WPARAM, LPARAM l) {
        delete reinterpret_cast<std::string*>(l);
        ++freed;
    };
    PostMessage(h, WM_USER + 10, 0, reinterpret_cast<LPARAM>(new std::string("a")), deleter);
    DestroyWindow(h);
    EXPECT_EQ(freed, 1);
    ProcessMessages();
    EXPECT_EQ(rec.Count(WM_USER + 10), 0);
    // Posting to a window that is already gone fails and frees at once.
    EXPECT_FALSE(PostMessage(h, WM_USER + 10, 0, reinterpret_cast<LPARAM>(new std::string("b")),
                             deleter));
    EXPECT_EQ(freed, 2);

    // Delivered messages leave the object to the receiver.
    HWND g = rec.Make(0, 0, 50, 50);
    std::string* received = nullptr;
    rec.Handler = [&](HWND, uint32_t msg, WPARAM, LPARAM l, LRESULT&) {
        if (msg == WM_USER + 11) received = reinterpret_cast<std::string*>(l);
        return false;
    };
    PostMessage(g, WM_USER + 11, 0, reinterpret_cast<LPARAM>(new std::string("c")), deleter);
    ProcessMessages();
    ASSERT_NE(received, nullptr);
    EXPECT_EQ(*received, "c");
    EXPECT_EQ(freed, 2);
    delete received;
}

TEST_F(WindowTest, HandleOfADestroyedWindowNeverReachesALaterOne) {
    rec.Handler = [](HWND, uint32_t msg, WPARAM, LPARAM, LRESULT& r) {
        if (msg != WM_USER + 1) return false;
        r = 7;
        return true;
    };
    HWND old = rec.Make(0, 0, 50, 50);
    HWND oldChild = rec.Make(0, 0, 10, 10, old);
    ASSERT_TRUE(PostMessage(oldChild, WM_USER + 3, 0, 0));  // still queued when it dies
    ASSERT_TRUE(DestroyWindow(old));
    // The windows made next take the records the old ones left.
    HWND fresh = rec.Make(0, 0, 50, 50);
    HWND freshChild = rec.Make(0, 0, 10, 10, fresh);
    EXPECT_NE(fresh, old);
    EXPECT_NE(fresh, oldChild);
    EXPECT_NE(freshChild, old);
    EXPECT_NE(freshChild, oldChild);
    EXPECT_FALSE(IsWindow(old));
    EXPECT_FALSE(IsWindow(oldChild));
    EXPECT_TRUE(IsWindow(fresh));
    EXPECT_EQ(GetParent(oldChild), nullptr);
    EXPECT_EQ(GetWindowText(old), "");

    rec.Log.clear();
    EXPECT_EQ(SendMessage(old, WM_USER + 1, 0, 0), 0);
    EXPECT_EQ(SendMessage(fresh, WM_USER + 1, 0, 0), 7);
    int freed = 0;
    EXPECT_FALSE(PostMessage(old, WM_USER + 2, 0, 0, [&freed](WPARAM, LPARAM) { ++freed; }));
    EXPECT_FALSE(PostMessage(oldChild, WM_USER + 2, 0, 0));
    EXPECT_EQ(freed, 1);
    ProcessMessages();
    EXPECT_EQ(rec.Count(WM_USER + 2), 0);
    EXPECT_EQ(rec.Count(WM_USER + 3), 0);
    EXPECT_EQ(rec.Count(WM_USER + 1), 1);
    EXPECT_EQ(LiveWindowCount(), 2);
}

TEST_F(WindowTest, HandlesAreNeverHandedOutTwice) {
    std::set<HWND> seen{GetDesktopWindow()};
    std::optional<TWindowsScope> fresh;
    for (int i = 0; i < 500; ++i) {
        HWND h = rec.Make(0, 0, 10, 10);
        HWND child = rec.Make(0, 0, 5, 5, h);
        EXPECT_TRUE(seen.insert(h).second);
        EXPECT_TRUE(seen.insert(child).second);
        if (i % 3 == 0) DestroyWindow(h);
        if (i % 50 == 0) {
            fresh.reset();
            fresh.emplace();
        }
    }
    for (HWND h : seen) {
        if (h == GetDesktopWindow() || !IsWindow(h)) continue;
        DestroyWindow(h);
    }
    EXPECT_EQ(LiveWindowCount(), 0);
    for (HWND h : seen) EXPECT_FALSE(IsWindow(h));
}

TEST_F(WindowTest, ExceptionInHandlerIsReportedAndThePumpGoesOn) {
    std::vector<std::string> reported;
    SetMessageExceptionHandler([&](std::exception_ptr e) {
        try {
            std::rethrow_exception(e);
        } catch (const std::exception& ex) {
            reported.push_back(ex.what());
        }
    });
    rec.Handler = [](HWND, uint32_t msg, WPARAM, LPARAM, LRESULT&) {
        if (msg == WM_USER + 1) throw std::runtime_error("boom");
        return false;
    };
    HWND h = rec.Make(0, 0, 50, 50);
    PostMessage(h, WM_USER + 1, 0, 0);
    PostMessage(h, WM_USER + 2, 0, 0);
    ProcessMessages();
    EXPECT_EQ(reported, std::vector<std::string>{"boom"});
    EXPECT_EQ(rec.Count(WM_USER + 2), 1);
}

TEST_F(WindowTest, MessageTimeIsTheClockAtPosting) {
    HWND h = rec.Make(0, 0, 50, 50);
    DWORD t0 = GetTickCount();
    PostMessage(h, WM_USER, 0, 0);
    Sleep(30);
    EXPECT_EQ(GetTickCount(), t0 + 30);
    ProcessMessages();
    ASSERT_EQ(rec.Count(WM_USER), 1);
    EXPECT_EQ(rec.Of(WM_USER)[0].Time, t0);
}

TEST_F(WindowTest, TimerFiresEachIntervalRestartsAndStops) {
    HWND h = rec.Make(0, 0, 50, 50);
    DWORD t0 = GetTickCount();
    SetTimer(h, 1, 100);
    AdvanceClock(250);
    auto ticks = rec.Of(WM_TIMER);
    ASSERT_EQ(ticks.size(), 2u);
    EXPECT_EQ(ticks[0].W, 1u);
    EXPECT_EQ(ticks[0].Time, t0 + 100);
    EXPECT_EQ(ticks[1].Time, t0 + 200);
    // Setting it again restarts the interval from now (250): next at 350, not 300.
    SetTimer(h, 1, 100);
    AdvanceClock(90);
    EXPECT_EQ(rec.Count(WM_TIMER), 2);
    AdvanceClock(10);
    EXPECT_EQ(rec.Count(WM_TIMER), 3);
    EXPECT_TRUE(KillTimer(h, 1));
    AdvanceClock(1000);
    EXPECT_EQ(rec.Count(WM_TIMER), 3);
    EXPECT_FALSE(KillTimer(h, 1));
}

TEST_F(WindowTest, TimersOfSeveralWindowsComeInTimeOrderAndDieWithTheirWindow) {
    HWND a = rec.Make(0, 0, 50, 50);
    HWND b = rec.Make(0, 0, 50, 50);
    SetTimer(a, 7, 30);
    SetTimer(b, 9, 20);
    AdvanceClock(60);
    std::vector<HWND> order;
    for (auto& r : rec.Of(WM_TIMER)) order.push_back(r.Window);
    // Timers due at the same moment come in the order they were set.
    EXPECT_EQ(order, (std::vector<HWND>{b, a, b, a, b}));
    DestroyWindow(b);
    EXPECT_EQ(TimerCount(), 1);
}

TEST_F(WindowTest, CbtHookSeesMessageBoxBeforeItShowsAndCanMoveIt) {
    HWND owner = rec.Make(100, 100, 300, 200);
    bool sawHidden = false;
    HWND seen = nullptr;
    HHOOK hook = nullptr;
    hook = SetWindowsHookExA(
        WH_CBT,
        [&](int code, WPARAM w, LPARAM l) -> LRESULT {
            if (code == HCBT_ACTIVATE) {
                seen = reinterpret_cast<HWND>(w);
                sawHidden = !IsWindowVisible(seen);
                EXPECT_EQ(GetParent(seen), owner);
                SetWindowPos(seen, nullptr, 40, 50, 0, 0,
                             SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
                LRESULT r = CallNextHookEx(hook, code, w, l);
                UnhookWindowsHookEx(hook);
                return r;
            }
            return 0;
        },
        nullptr, GetCurrentThreadId());
    ScriptMessageBoxAnswer(IDNO);
    int result = MessageBoxA(owner, "Delete it?", "Question", MB_YESNO | MB_ICONQUESTION);
    EXPECT_EQ(result, IDNO);
    EXPECT_TRUE(sawHidden);
    ASSERT_EQ(MessageBoxLog().size(), 1u);
    const TMessageBoxRecord& box = MessageBoxLog()[0];
    EXPECT_EQ(box.Owner, owner);
    EXPECT_EQ(box.Text, "Delete it?");
    EXPECT_EQ(box.Caption, "Question");
    EXPECT_EQ(box.Flags, uint32_t(MB_YESNO | MB_ICONQUESTION));
    EXPECT_EQ(box.Rect.TopLeft(), TPoint(40, 50));
    EXPECT_FALSE(IsWindow(seen));
    EXPECT_EQ(HookCount(WH_CBT), 0);
    // Without a script the default button answers.
    EXPECT_EQ(MessageBoxA(nullptr, "x", "y", MB_YESNO | MB_DEFBUTTON2), IDNO);
    EXPECT_EQ(MessageBoxA(nullptr, "x", "y", MB_OK), IDOK);
}

TEST_F(WindowTest, MouseHookCanSwallowAClick) {
    HWND h = rec.Make(10, 10, 100, 100);
    HHOOK hook = SetWindowsHookExA(
        WH_MOUSE,
        [](int, WPARAM w, LPARAM l) -> LRESULT {
            auto* info = reinterpret_cast<MOUSEHOOKSTRUCT*>(l);
            EXPECT_NE(info->hwnd, nullptr);
            return w == WM_LBUTTONDOWN ? 1 : 0;
        },
        nullptr, GetCurrentThreadId());
    SimulateMouseButton(TMouseButtonId::Left, true, TPoint(50, 50));
    SimulateMouseButton(TMouseButtonId::Left, false, TPoint(50, 50));
    ProcessMessages();
    EXPECT_EQ(rec.Count(WM_LBUTTONDOWN, h), 0);
    EXPECT_EQ(rec.Count(WM_LBUTTONUP, h), 1);
    UnhookWindowsHookEx(hook);
    Sleep(600);
    SimulateMouseButton(TMouseButtonId::Left, true, TPoint(50, 50));
    ProcessMessages();
    EXPECT_EQ(rec.Count(WM_LBUTTONDOWN, h), 1);
}

TEST_F(WindowTest, HookChainsCallTheNextHookAndKeyboardHooksSwallowKeys) {
    HWND h = rec.Make(10, 10, 100, 100);
    SetFocus(h);
    std::vector<int> calls;
    HHOOK first = nullptr;
    first = SetWindowsHookExA(
        WH_KEYBOARD, [&](int, WPARAM, LPARAM) -> LRESULT { calls.push_back(1); return 0; },
        nullptr, GetCurrentThreadId());
    HHOOK second = nullptr;
    second = SetWindowsHookExA(
        WH_KEYBOARD,
        [&](int code, WPARAM w, LPARAM l) -> LRESULT {
            calls.push_back(2);
            if (w == VK_F1) return 1;
            return CallNextHookEx(second, code, w, l);
        },
        nullptr, GetCurrentThreadId());
    SimulateKey(VK_F1, true);
    SimulateKey(VK_F2, true);
    ProcessMessages();
    // The newest hook runs first; F1 never reaches the first hook nor the window.
    EXPECT_EQ(calls, (std::vector<int>{2, 2, 1}));
    ASSERT_EQ(rec.Count(WM_KEYDOWN, h), 1);
    EXPECT_EQ(rec.Of(WM_KEYDOWN, h)[0].W, WPARAM(VK_F2));
    UnhookWindowsHookEx(first);
    UnhookWindowsHookEx(second);
}

TEST_F(WindowTest, MessageHookSeesAndCanDropPostedMessages) {
    HWND h = rec.Make(0, 0, 50, 50);
    int seen = 0;
    SetWindowsHookExA(
        WH_GETMESSAGE,
        [&](int, WPARAM, LPARAM l) -> LRESULT {
            auto* msg = reinterpret_cast<MSG*>(l);
            ++seen;
            if (msg->message == WM_USER + 1) msg->message = WM_NULL;
            return 0;
        },
        nullptr, GetCurrentThreadId());
    PostMessage(h, WM_USER + 1, 0, 0);
    PostMessage(h, WM_USER + 2, 0, 0);
    ProcessMessages();
    EXPECT_EQ(seen, 2);
    EXPECT_EQ(rec.Count(WM_USER + 1), 0);
    EXPECT_EQ(rec.Count(WM_USER + 2), 1);
}

TEST_F(WindowTest, BeepsAreCountedAndWorkAreaIsSettable) {
    MessageBeep(MB_ICONEXCLAMATION);
    MessageBeep(0);
    EXPECT_EQ(BeepCount(), 2);
    RECT wa;
    ASSERT_TRUE(SystemParametersInfoA(SPI_GETWORKAREA, 0, &wa, 0));
    EXPECT_EQ(wa, TRect(0, 0, 1024, 738));
    Windows.SetWorkArea(TRect(0, 0, 800, 570));
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &wa, 0);
    EXPECT_EQ(wa.Bottom, 570);
    EXPECT_EQ(GetSystemMetrics(SM_CXVSCROLL), 17);
    EXPECT_EQ(GetSystemMetrics(SM_CYHSCROLL), 17);
    EXPECT_EQ(GetSystemMetrics(SM_CXDRAG), 4);
}

}  // namespace epc
