#pragma once
// A window that records the messages it receives, for the window manager's tests.

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "platform/windows/Clipboard.h"
#include "platform/windows/Window.h"
#include "platform/windows/WindowsScope.h"

namespace epc {

struct TRecord {
    HWND Window;
    uint32_t Msg;
    WPARAM W;
    LPARAM L;
    uint32_t Time;
};

// Records every message of the windows it makes; Handler may answer a message itself.
class TRecorder {
public:
    std::vector<TRecord> Log;
    std::function<bool(HWND, uint32_t, WPARAM, LPARAM, LRESULT&)> Handler;

    HWND Make(int x, int y, int w, int h, HWND parent = nullptr, DWORD style = 0,
              DWORD exStyle = 0, DWORD classStyle = CS_DBLCLKS) {
        TWindowCreate p;
        p.ClassName = "TestWindow";
        p.X = x;
        p.Y = y;
        p.Width = w;
        p.Height = h;
        p.Parent = parent;
        p.Style = style | (parent ? WS_CHILD : WS_POPUP) | WS_VISIBLE;
        p.ExStyle = exStyle;
        p.ClassStyle = classStyle;
        p.WndProc = [this](HWND hw, uint32_t msg, WPARAM wp, LPARAM lp) -> LRESULT {
            Log.push_back({hw, msg, wp, lp, uint32_t(GetMessageTime())});
            LRESULT r = 0;
            if (Handler && Handler(hw, msg, wp, lp, r)) return r;
            return DefWindowProc(hw, msg, wp, lp);
        };
        return CreateWindow(p);
    }

    std::vector<TRecord> Of(uint32_t msg, HWND h = nullptr) const {
        std::vector<TRecord> out;
        for (auto& r : Log)
            if (r.Msg == msg && (!h || r.Window == h)) out.push_back(r);
        return out;
    }
    int Count(uint32_t msg, HWND h = nullptr) const { return int(Of(msg, h).size()); }
};

class WindowTest : public ::testing::Test {
protected:
    void TearDown() override {
        rec.Handler = nullptr; // it may refer to the test's locals
    }
    TRecorder rec; // outlives the windows, which report to it until they go
    TWindowsScope Windows;
};

}  // namespace epc
