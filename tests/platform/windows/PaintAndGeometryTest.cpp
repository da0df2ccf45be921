// Coordinates, the non-client area, scroll bars, invalidation and the paint cycle.

#include "WindowTestSupport.h"

namespace epc {

namespace {

// Paints the client area with a colour (and a red square when asked).
bool PaintSolid(HWND h, COLORREF color, TRect* painted = nullptr) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(h, &ps);
    if (painted) *painted = ps.rcPaint;
    RECT r;
    GetClientRect(h, &r);
    HBRUSH b = CreateSolidBrush(color);
    FillRect(dc, &r, b);
    DeleteObject(reinterpret_cast<HGDIOBJ>(b));
    EndPaint(h, &ps);
    return true;
}

}  // namespace

TEST_F(WindowTest, CoordinatesFollowParentsAndTheNonClientArea) {
    HWND top = rec.Make(100, 50, 300, 200, nullptr, WS_BORDER);
    HWND child = rec.Make(10, 20, 80, 60, top, 0, WS_EX_CLIENTEDGE);
    RECT wr, cr;
    GetWindowRect(child, &wr);
    EXPECT_EQ(wr, TRect(111, 71, 191, 131));  // inside the parent's one-pixel border
    GetClientRect(child, &cr);
    EXPECT_EQ(cr, TRect(0, 0, 76, 56));
    POINT p(0, 0);
    ClientToScreen(child, &p);
    EXPECT_EQ(p, TPoint(113, 73));
    ScreenToClient(top, &p);
    EXPECT_EQ(p, TPoint(12, 22));
    POINT q(5, 5);
    MapWindowPoints(child, top, &q, 1);
    EXPECT_EQ(q, TPoint(17, 27));
    EXPECT_EQ(WindowFromPoint(TPoint(150, 100)), child);
    EXPECT_EQ(WindowFromPoint(TPoint(300, 200)), top);
    EXPECT_EQ(SendMessage(child, WM_NCHITTEST, 0, MAKELPARAM(112, 72)), HTBORDER);
    EXPECT_EQ(SendMessage(child, WM_NCHITTEST, 0, MAKELPARAM(150, 100)), HTCLIENT);
}

TEST_F(WindowTest, FrameChangesRemeasureTheClientAreaThroughNcCalcSize) {
    int extra = 0;
    rec.Handler = [&](HWND h, uint32_t msg, WPARAM w, LPARAM l, LRESULT& r) {
        if (msg != WM_NCCALCSIZE) return false;
        r = DefWindowProc(h, msg, w, l);
        reinterpret_cast<NCCALCSIZE_PARAMS*>(l)->rgrc[0].Top += extra;
        return true;
    };
    HWND h = rec.Make(0, 0, 100, 100);
    extra = 20;  // a header in the non-client area
    rec.Log.clear();
    SetWindowPos(h, nullptr, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED);
    RECT cr;
    GetClientRect(h, &cr);
    EXPECT_EQ(cr.Height(), 80);
    ASSERT_EQ(rec.Count(WM_SIZE, h), 1);
    EXPECT_EQ(rec.Of(WM_SIZE, h)[0].L, MAKELPARAM(100, 80));
}

TEST_F(WindowTest, VerticalBarAppearsShrinksTheClientAndClamps) {
    HWND h = rec.Make(0, 0, 200, 100);
    rec.Log.clear();
    SCROLLINFO si;
    si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    si.nMin = 0;
    si.nMax = 499;
    si.nPage = 100;
    si.nPos = 1000;
    EXPECT_EQ(SetScrollInfo(h, SB_VERT, &si, 1), 400);  // max - page + 1
    EXPECT_TRUE(IsScrollBarVisible(h, SB_VERT));
    RECT cr;
    GetClientRect(h, &cr);
    EXPECT_EQ(cr.Width(), 200 - 17);
    ASSERT_EQ(rec.Count(WM_SIZE, h), 1);
    EXPECT_EQ(rec.Of(WM_SIZE, h)[0].L, MAKELPARAM(183, 100));
    EXPECT_EQ(GetScrollPos(h, SB_VERT), 400);
    EXPECT_EQ(SetScrollPos(h, SB_VERT, -5, 1), 400);
    EXPECT_EQ(GetScrollPos(h, SB_VERT), 0);

    SCROLLINFO out;
    out.fMask = SIF_ALL;
    GetScrollInfo(h, SB_VERT, &out);
    EXPECT_EQ(out.nMax, 499);
    EXPECT_EQ(out.nPage, 100u);
    EXPECT_EQ(out.nTrackPos, 0);

    // A page that covers the range hides the bar again and gives the width back.
    si.fMask = SIF_PAGE;
    si.nPage = 500;
    SetScrollInfo(h, SB_VERT, &si, 1);
    EXPECT_FALSE(IsScrollBarVisible(h, SB_VERT));
    GetClientRect(h, &cr);
    EXPECT_EQ(cr.Width(), 200);
    EXPECT_EQ(rec.Count(WM_SIZE, h), 2);

    // With SIF_DISABLENOSCROLL the bar stays, disabled.
    si.fMask = SIF_PAGE | SIF_DISABLENOSCROLL;
    SetScrollInfo(h, SB_VERT, &si, 1);
    EXPECT_TRUE(IsScrollBarVisible(h, SB_VERT));
    EXPECT_EQ(GetScrollBarArrows(h, SB_VERT), uint32_t(ESB_DISABLE_BOTH));
    // Page larger than the range is cut to the range.
    si.fMask = SIF_PAGE;
    si.nPage = 9999;
    SetScrollInfo(h, SB_VERT, &si, 0);
    GetScrollInfo(h, SB_VERT, &out);
    EXPECT_EQ(out.nPage, 500u);
}

TEST_F(WindowTest, ShowScrollBarAndLeftScrollBarPlaceTheClient) {
    HWND h = rec.Make(0, 0, 100, 100, nullptr, 0, WS_EX_LEFTSCROLLBAR);
    ShowScrollBar(h, SB_BOTH, 1);
    EXPECT_EQ(GetClientOffset(h), TPoint(17, 0));
    RECT cr;
    GetClientRect(h, &cr);
    EXPECT_EQ(cr, TRect(0, 0, 83, 83));
    EXPECT_EQ(SendMessage(h, WM_NCHITTEST, 0, MAKELPARAM(5, 50)), HTVSCROLL);
    EXPECT_EQ(SendMessage(h, WM_NCHITTEST, 0, MAKELPARAM(50, 95)), HTHSCROLL);
}

TEST_F(WindowTest, TwoInvalidationsGiveOnePaintOfTheirUnion) {
    std::vector<TRect> painted;
    rec.Handler = [&](HWND h, uint32_t msg, WPARAM, LPARAM, LRESULT&) {
        if (msg != WM_PAINT) return false;
        TRect r;
        PaintSolid(h, RGB(255, 255, 255), &r);
        painted.push_back(r);
        return true;
    };
    HWND h = rec.Make(0, 0, 100, 100);
    ProcessMessages();
    painted.clear();
    TRect a(10, 10, 20, 20), b(50, 40, 60, 70);
    InvalidateRect(h, &a, 1);
    InvalidateRect(h, &b, 0);
    RECT u;
    EXPECT_TRUE(GetUpdateRect(h, &u, 0));
    EXPECT_EQ(u, TRect(10, 10, 60, 70));
    ProcessMessages();
    ASSERT_EQ(painted.size(), 1u);
    EXPECT_EQ(painted[0], TRect(10, 10, 60, 70));
    EXPECT_FALSE(GetUpdateRect(h, &u, 0));
    // Validated areas are not painted; a full-width band trims the update area.
    InvalidateRect(h, &a, 0);
    ValidateRect(h, &a);
    TRect band(0, 0, 100, 15);
    InvalidateRect(h, &b, 0);
    InvalidateRect(h, &a, 0);
    ValidateRect(h, &band);
    GetUpdateRect(h, &u, 0);
    EXPECT_EQ(u, TRect(10, 15, 60, 70));
}

TEST_F(WindowTest, PaintingGoesIntoTheWindowsPixelsAndComposesChildren) {
    TRecorder kids;
    rec.Handler = [&](HWND h, uint32_t msg, WPARAM, LPARAM, LRESULT&) {
        return msg == WM_PAINT && PaintSolid(h, RGB(255, 0, 0));
    };
    kids.Handler = [&](HWND h, uint32_t msg, WPARAM, LPARAM, LRESULT&) {
        return msg == WM_PAINT && PaintSolid(h, RGB(0, 0, 255));
    };
    HWND top = rec.Make(0, 0, 100, 80, nullptr, WS_BORDER);
    HWND child = kids.Make(10, 10, 30, 20, top);
    ProcessMessages();
    TWindowPixels own = GetWindowPixels(top);
    ASSERT_EQ(own.Width, 100);
    EXPECT_EQ(own.Color(0, 0), COLORREF(0));  // the black border
    EXPECT_EQ(own.Color(50, 50), RGB(255, 0, 0));
    EXPECT_EQ(own.Color(15, 15), RGB(255, 0, 0));  // children are not in the parent's pixels
    TWindowPixels all = ComposeWindowPixels(top);
    EXPECT_EQ(all.Color(15, 15), RGB(0, 0, 255));  // 10,10 inside the border: 11,11
    EXPECT_EQ(all.Color(10, 10), RGB(255, 0, 0));
    EXPECT_EQ(all.Color(40, 30), RGB(0, 0, 255));
    EXPECT_EQ(all.Color(41, 31), RGB(255, 0, 0));
    ShowWindow(child, SW_HIDE);
    EXPECT_EQ(ComposeWindowPixels(top).Color(15, 15), RGB(255, 0, 0));
    // The caret shows inverted in the composed picture.
    CreateCaret(top, nullptr, 2, 10);
    SetCaretPos(60, 20);
    ShowCaret(top);
    TWindowPixels withCaret = ComposeWindowPixels(top, true);
    EXPECT_EQ(withCaret.Color(61, 21), RGB(0, 255, 255));
    DestroyWindow(top);  // before the recorders go
}

TEST_F(WindowTest, EraseComesBeforePaintAndBeginPaintHidesTheCaret) {
    std::vector<uint32_t> order;
    bool caretShownInPaint = true;
    rec.Handler = [&](HWND h, uint32_t msg, WPARAM, LPARAM, LRESULT& r) {
        if (msg == WM_ERASEBKGND) {
            order.push_back(msg);
            r = 1;
            return true;
        }
        if (msg == WM_PAINT) {
            PAINTSTRUCT ps;
            BeginPaint(h, &ps);
            order.push_back(msg);
            caretShownInPaint = GetCaretState().Shown();
            EXPECT_FALSE(ps.fErase);
            EndPaint(h, &ps);
            return true;
        }
        if (msg == WM_NCPAINT) order.push_back(msg);
        return false;
    };
    HWND h = rec.Make(0, 0, 50, 50);
    CreateCaret(h, nullptr, 1, 10);
    ShowCaret(h);
    ProcessMessages();
    EXPECT_EQ(order, (std::vector<uint32_t>{WM_NCPAINT, WM_ERASEBKGND, WM_PAINT}));
    EXPECT_FALSE(caretShownInPaint);
    EXPECT_TRUE(GetCaretState().Shown());
    // RedrawWindow with UPDATENOW paints at once, the frame only with RDW_FRAME.
    order.clear();
    RedrawWindow(h, nullptr, nullptr, RDW_INVALIDATE | RDW_NOERASE | RDW_UPDATENOW);
    EXPECT_EQ(order, (std::vector<uint32_t>{WM_PAINT}));
    order.clear();
    RedrawWindow(h, nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME | RDW_ERASE | RDW_UPDATENOW);
    EXPECT_EQ(order, (std::vector<uint32_t>{WM_NCPAINT, WM_ERASEBKGND, WM_PAINT}));
    order.clear();
    InvalidateRect(h, nullptr, 1);
    RedrawWindow(h, nullptr, nullptr, RDW_VALIDATE);
    ProcessMessages();
    EXPECT_TRUE(order.empty());
    // With redrawing off, invalidations wait until it is back on.
    SendMessage(h, WM_SETREDRAW, 0, 0);
    InvalidateRect(h, nullptr, 0);
    ProcessMessages();
    EXPECT_TRUE(order.empty());
    SendMessage(h, WM_SETREDRAW, 1, 0);
    ProcessMessages();
    EXPECT_EQ(order, (std::vector<uint32_t>{WM_PAINT}));
}

TEST_F(WindowTest, ScrollWindowMovesPixelsAndInvalidatesTheUncoveredStrip) {
    rec.Handler = [&](HWND h, uint32_t msg, WPARAM, LPARAM, LRESULT&) {
        if (msg != WM_PAINT) return false;
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(h, &ps);
        for (int y = 0; y < 100; y += 10) {
            TRect band(0, y, 50, y + 10);
            HBRUSH b = CreateSolidBrush(RGB(uint8_t(y * 2), 0, 0));
            FillRect(dc, &band, b);
            DeleteObject(reinterpret_cast<HGDIOBJ>(b));
        }
        EndPaint(h, &ps);
        return true;
    };
    HWND h = rec.Make(0, 0, 50, 100);
    ProcessMessages();
    RECT updated;
    ScrollWindowEx(h, 0, -20, nullptr, nullptr, nullptr, &updated, SW_INVALIDATE);
    EXPECT_EQ(updated, TRect(0, 80, 50, 100));
    TWindowPixels p = GetWindowPixels(h);
    EXPECT_EQ(p.Color(5, 0), RGB(40, 0, 0));   // the band that was at 20
    EXPECT_EQ(p.Color(5, 75), RGB(180, 0, 0));  // the band that was at 95
    RECT u;
    ASSERT_TRUE(GetUpdateRect(h, &u, 0));
    EXPECT_EQ(u, TRect(0, 80, 50, 100));
}

TEST_F(WindowTest, DestroyingAParentDestroysChildrenFirstWithAllMessages) {
    HWND top = rec.Make(0, 0, 100, 100);
    HWND child = rec.Make(0, 0, 10, 10, top);
    rec.Log.clear();
    DestroyWindow(top);
    std::vector<std::pair<HWND, uint32_t>> seq;
    for (auto& r : rec.Log)
        if (r.Msg == WM_DESTROY || r.Msg == WM_NCDESTROY) seq.push_back({r.Window, r.Msg});
    std::vector<std::pair<HWND, uint32_t>> want = {
        {top, WM_DESTROY}, {child, WM_DESTROY}, {child, WM_NCDESTROY}, {top, WM_NCDESTROY}};
    EXPECT_EQ(seq, want);
    EXPECT_FALSE(IsWindow(child));
    EXPECT_EQ(LiveWindowCount(), 0);
}

TEST_F(WindowTest, FreedMemoryBlockHandlesStayDead) {
    HGLOBAL old = GlobalAlloc(GMEM_MOVEABLE, 8);
    ASSERT_NE(old, nullptr);
    EXPECT_EQ(GlobalFree(old), nullptr);
    HGLOBAL fresh = GlobalAlloc(GMEM_MOVEABLE, 8);  // may get the freed record's memory
    EXPECT_NE(fresh, old);
    EXPECT_EQ(GlobalSize(old), 0u);
    EXPECT_EQ(GlobalLock(old), nullptr);
    EXPECT_EQ(GlobalFree(old), old);  // freeing twice fails
    EXPECT_EQ(GlobalSize(fresh), 8u);
    EXPECT_EQ(LiveGlobalBlockCount(), 1);
    GlobalFree(fresh);
}

TEST_F(WindowTest, ClipboardFormatsAndRoundTrips) {
    uint32_t rvf = RegisterClipboardFormatA("RichView Format");
    EXPECT_GE(rvf, 0xC000u);
    EXPECT_EQ(RegisterClipboardFormatA("RichView Format"), rvf);
    EXPECT_EQ(RegisterClipboardFormatA("richview format"), rvf);
    uint32_t rtf = RegisterClipboardFormatA("Rich Text Format");
    EXPECT_NE(rtf, rvf);
    EXPECT_EQ(GetClipboardFormatName(rtf), "Rich Text Format");
    char name[8];
    EXPECT_EQ(GetClipboardFormatNameA(rvf, name, sizeof name), 7);
    EXPECT_STREQ(name, "RichVie");

    auto block = [](const std::string& bytes) {
        HGLOBAL g = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
        std::copy(bytes.begin(), bytes.end(), static_cast<char*>(GlobalLock(g)));
        GlobalUnlock(g);
        return g;
    };
    auto read = [](uint32_t f) {
        auto g = static_cast<HGLOBAL>(GetClipboardData(f));
        if (!g) return std::string("<none>");
        std::string s(static_cast<char*>(GlobalLock(g)), GlobalSize(g));
        GlobalUnlock(g);
        return s;
    };
    EXPECT_EQ(SetClipboardData(CF_TEXT, nullptr), nullptr);  // not open
    ASSERT_TRUE(OpenClipboard(nullptr));
    EXPECT_FALSE(OpenClipboard(nullptr));
    EmptyClipboard();
    SetClipboardData(CF_TEXT, block(std::string("caf\xe9\0", 5)));
    SetClipboardData(rvf, block(std::string("\3\0\0\0abc", 7)));
    SetClipboardData(CF_DIB, block("dib"));
    SetClipboardData(CF_METAFILEPICT, block("wmf"));
    BITMAPINFO info{};
    info.bmiHeader.biWidth = 2;
    info.bmiHeader.biHeight = -2;
    void* bits = nullptr;
    HBITMAP bmp = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    static_cast<uint32_t*>(bits)[3] = 0xFF123456;
    SetClipboardData(CF_BITMAP, bmp);
    CloseClipboard();

    EXPECT_TRUE(IsClipboardFormatAvailable(CF_UNICODETEXT));  // converted from CF_TEXT
    EXPECT_TRUE(IsClipboardFormatAvailable(rvf));
    EXPECT_FALSE(IsClipboardFormatAvailable(rtf));
    ASSERT_TRUE(OpenClipboard(nullptr));
    EXPECT_EQ(read(rvf), std::string("\3\0\0\0abc", 7));
    EXPECT_EQ(read(CF_DIB), "dib");
    EXPECT_EQ(read(CF_METAFILEPICT), "wmf");
    EXPECT_EQ(read(CF_UNICODETEXT), std::string("c\0a\0f\0\xe9\0\0\0", 10));
    auto back = static_cast<HBITMAP>(GetClipboardData(CF_BITMAP));
    EXPECT_EQ(back, bmp);
    EXPECT_EQ(reinterpret_cast<uint32_t*>(GetBitmapBits(back).Bits)[3], 0xFF123456u);
    int blocks = LiveGlobalBlockCount();
    EmptyClipboard();
    EXPECT_LT(LiveGlobalBlockCount(), blocks);
    EXPECT_EQ(CountClipboardFormats(), 0);
    CloseClipboard();

    // Allocation failure can be injected.
    Windows.SetGlobalAllocFailureAfter(1);
    HGLOBAL ok = GlobalAlloc(GMEM_MOVEABLE, 4);
    EXPECT_NE(ok, nullptr);
    EXPECT_EQ(GlobalAlloc(GMEM_MOVEABLE, 4), nullptr);
    HGLOBAL again = GlobalAlloc(GMEM_MOVEABLE, 4);
    EXPECT_NE(again, nullptr);
    GlobalFree(again);
    EXPECT_EQ(GlobalSize(ok), 4u);
    EXPECT_EQ(GlobalFree(ok), nullptr);
}

}  // namespace epc

namespace epc {

TEST_F(WindowTest, ScrollBarArrowsTrackAndThumbSendScrollRequests) {
    std::vector<std::pair<uint32_t, int>> requests;  // code, 16-bit position
    int trackSeen = -1;
    rec.Handler = [&](HWND h, uint32_t msg, WPARAM w, LPARAM, LRESULT&) {
        if (msg != WM_VSCROLL) return false;
        requests.push_back({LOWORD(w), HIWORD(w)});
        if (LOWORD(w) == SB_THUMBTRACK) {
            SCROLLINFO si;
            si.fMask = SIF_TRACKPOS;
            GetScrollInfo(h, SB_VERT, &si);
            trackSeen = si.nTrackPos;
        }
        if (LOWORD(w) == SB_THUMBPOSITION) SetScrollPos(h, SB_VERT, HIWORD(w), 1);
        return true;
    };
    HWND h = rec.Make(0, 0, 100, 217);
    SCROLLINFO si;
    si.fMask = SIF_RANGE | SIF_PAGE;
    si.nMax = 999;
    si.nPage = 100;
    SetScrollInfo(h, SB_VERT, &si, 1);
    auto press = [](int y) {
        SimulateMouseButton(TMouseButtonId::Left, true, TPoint(90, y));
        SimulateMouseButton(TMouseButtonId::Left, false, TPoint(90, y));
        ProcessMessages();
        Sleep(600);
    };
    press(5);    // the up arrow
    press(150);  // the track below the thumb
    press(210);  // the down arrow
    std::vector<std::pair<uint32_t, int>> want = {
        {SB_LINEUP, 0}, {SB_ENDSCROLL, 0}, {SB_PAGEDOWN, 0}, {SB_ENDSCROLL, 0},
        {SB_LINEDOWN, 0}, {SB_ENDSCROLL, 0}};
    EXPECT_EQ(requests, want);
    // The thumb (17..35 at position 0) dragged down by 82 pixels.
    requests.clear();
    SimulateMouseButton(TMouseButtonId::Left, true, TPoint(90, 20));
    SimulateMouseMove(TPoint(90, 60));
    SimulateMouseMove(TPoint(90, 102));
    SimulateMouseButton(TMouseButtonId::Left, false, TPoint(90, 102));
    ProcessMessages();
    ASSERT_EQ(requests.size(), 4u);
    EXPECT_EQ(requests[0].first, uint32_t(SB_THUMBTRACK));
    EXPECT_EQ(requests[1], (std::pair<uint32_t, int>{SB_THUMBTRACK, 447}));
    EXPECT_EQ(trackSeen, 447);
    EXPECT_EQ(requests[2], (std::pair<uint32_t, int>{SB_THUMBPOSITION, 447}));
    EXPECT_EQ(requests[3].first, uint32_t(SB_ENDSCROLL));
    EXPECT_EQ(GetScrollPos(h, SB_VERT), 447);
    si.fMask = SIF_TRACKPOS;
    GetScrollInfo(h, SB_VERT, &si);
    EXPECT_EQ(si.nTrackPos, 447);  // not tracking: the position
}

TEST_F(WindowTest, PrintDrawsTheWindowAndItsChildrenIntoAGivenContext) {
    TRecorder kids;
    auto paintInto = [](COLORREF c) {
        return [c](HWND h, uint32_t msg, WPARAM w, LPARAM, LRESULT&) {
            if (msg != WM_PRINTCLIENT) return false;
            RECT r;
            GetClientRect(h, &r);
            HBRUSH b = CreateSolidBrush(c);
            FillRect(reinterpret_cast<HDC>(w), &r, b);
            DeleteObject(reinterpret_cast<HGDIOBJ>(b));
            return true;
        };
    };
    rec.Handler = paintInto(RGB(0, 255, 0));
    kids.Handler = paintInto(RGB(255, 0, 255));
    HWND top = rec.Make(0, 0, 60, 40, nullptr, WS_BORDER);
    kids.Make(10, 10, 20, 10, top);
    HDC dc = CreateBufferDC(60, 40, 96, 96);
    SendMessage(top, WM_PRINT, reinterpret_cast<WPARAM>(dc),
                PRF_NONCLIENT | PRF_CLIENT | PRF_CHILDREN);
    EXPECT_EQ(GetPixel(dc, 0, 0), COLORREF(0));
    EXPECT_EQ(GetPixel(dc, 5, 5), RGB(0, 255, 0));
    EXPECT_EQ(GetPixel(dc, 15, 15), RGB(255, 0, 255));
    EXPECT_EQ(GetPixel(dc, 31, 21), RGB(0, 255, 0));
    DeleteDC(dc);
    DestroyWindow(top);
}

}  // namespace epc

namespace epc {

TEST_F(WindowTest, ContextsOfOneWindowTakeTurnsWithItsPixels) {
    rec.Handler = [&](HWND h, uint32_t msg, WPARAM, LPARAM, LRESULT&) {
        return msg == WM_PAINT && PaintSolid(h, RGB(0, 0, 255));
    };
    HWND h = rec.Make(0, 0, 40, 40);
    HDC held = GetDC(h);  // kept open, as a canvas that measured text keeps its context
    InvalidateRect(h, nullptr, 1);
    ProcessMessages();
    EXPECT_EQ(GetWindowPixels(h).Color(20, 20), RGB(0, 0, 255));
    HDC inner = GetDC(h);
    TRect a(0, 0, 10, 10);
    HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
    FillRect(inner, &a, red);
    ReleaseDC(h, inner);
    TRect b(30, 30, 40, 40);
    FillRect(held, &b, red);  // the older context has the pixels again
    DeleteObject(reinterpret_cast<HGDIOBJ>(red));
    TWindowPixels p = GetWindowPixels(h);
    EXPECT_EQ(p.Color(5, 5), RGB(255, 0, 0));
    EXPECT_EQ(p.Color(35, 35), RGB(255, 0, 0));
    // A resize moves the held context to the new pixels (its clip stays as it was made).
    SetWindowPos(h, nullptr, 0, 0, 60, 60, SWP_NOMOVE | SWP_NOZORDER);
    TRect c(20, 20, 30, 30);
    HBRUSH green = CreateSolidBrush(RGB(0, 255, 0));
    FillRect(held, &c, green);
    DeleteObject(reinterpret_cast<HGDIOBJ>(green));
    EXPECT_EQ(GetWindowPixels(h).Color(25, 25), RGB(0, 255, 0));
    EXPECT_EQ(GetWindowPixels(h).Color(35, 35), RGB(255, 0, 0));  // kept through the resize
    ReleaseDC(h, held);
}

TEST_F(WindowTest, ALockedWindowAndItsChildrenPaintOnlyOnceUnlocked) {
    HWND top = rec.Make(0, 0, 100, 100);
    HWND child = rec.Make(10, 10, 20, 20, top);
    HWND other = rec.Make(200, 0, 50, 50);
    ProcessMessages();
    rec.Log.clear();
    ASSERT_TRUE(LockWindowUpdate(top));
    EXPECT_TRUE(LockWindowUpdate(top));
    EXPECT_FALSE(LockWindowUpdate(other));  // one lock at a time
    InvalidateRect(top, nullptr, 0);
    InvalidateRect(child, nullptr, 0);
    InvalidateRect(other, nullptr, 0);
    UpdateWindow(child);
    RedrawWindow(top, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    ProcessMessages();
    EXPECT_EQ(rec.Count(WM_PAINT), 1);
    EXPECT_EQ(rec.Count(WM_PAINT, other), 1);
    // Unlocked, the gathered invalidations paint.
    EXPECT_TRUE(LockWindowUpdate(nullptr));
    ProcessMessages();
    EXPECT_EQ(rec.Count(WM_PAINT, top), 1);
    EXPECT_EQ(rec.Count(WM_PAINT, child), 1);
    EXPECT_TRUE(LockWindowUpdate(other));
    // A destroyed locked window holds no lock.
    DestroyWindow(other);
    EXPECT_TRUE(LockWindowUpdate(top));
    LockWindowUpdate(nullptr);
}

}  // namespace epc
