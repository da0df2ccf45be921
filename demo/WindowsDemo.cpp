// A form with a control that paints itself: a small dial with a list beside it, a scroll bar
// in the list's frame, a focused control with its caret, and a click that moves the dial, all
// run headless through the message queue and saved as the screen would show it.

#include <cmath>
#include <string>

#include "demo/DemoRegistry.h"
#include "platform/controls/Controls.h"
#include "platform/controls/Forms.h"
#include "platform/testing/UserActions.h"

namespace {

using namespace epc;

// A dial whose hand points at the last click.
class TDial : public TCustomControl {
public:
    explicit TDial(TComponent* owner) : TCustomControl(owner) {
        SetTabStop(true);
        SetColor(clWhite);
    }
    double Angle = -1.0;

protected:
    void Paint() override {
        TCanvas* c = Canvas();
        TRect r = ClientRect();
        c->Brush()->SetColor(clWhite);
        c->FillRect(r);
        c->Pen()->SetColor(clNavy);
        c->Pen()->SetWidth(3);
        c->Brush()->SetColor(TColor(RGB(220, 232, 255)));
        c->Ellipse(8, 8, r.Right - 8, r.Bottom - 8);
        int cx = r.Width() / 2, cy = r.Height() / 2, len = r.Width() / 2 - 20;
        c->Pen()->SetWidth(1);
        for (int i = 0; i < 12; ++i) {
            double a = i * 3.14159265 / 6;
            c->MoveTo(cx + int(std::cos(a) * (len + 4)), cy + int(std::sin(a) * (len + 4)));
            c->LineTo(cx + int(std::cos(a) * (len + 10)), cy + int(std::sin(a) * (len + 10)));
        }
        c->Pen()->SetColor(clRed);
        c->Pen()->SetWidth(4);
        c->MoveTo(cx, cy);
        c->LineTo(cx + int(std::cos(Angle) * len), cy + int(std::sin(Angle) * len));
        c->Font()->SetName("Arial");
        c->Font()->SetSize(10);
        c->Font()->SetColor(clNavy);
        c->Brush()->SetStyle(bsClear);
        c->TextOut(cx - 20, r.Bottom - 40, std::string("Dial"));
    }
    void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override {
        Angle = std::atan2(double(y - Height() / 2), double(x - Width() / 2));
        Invalidate();
        TCustomControl::MouseDown(button, shift, x, y);
    }
};

// A list of lines with a vertical scroll bar kept by the window manager.
class TLines : public TCustomControl {
public:
    explicit TLines(TComponent* owner) : TCustomControl(owner) {
        SetTabStop(true);
        SetColor(clWindow);
    }

protected:
    void CreateParams(TCreateParams& params) override {
        TCustomControl::CreateParams(params);
        params.Style |= WS_VSCROLL;
        params.ExStyle |= WS_EX_CLIENTEDGE;
    }
    void InitializeHandle() override {
        SCROLLINFO si;
        si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
        si.nMax = 29 * 16;
        si.nPage = 160;
        si.nPos = 48;
        SetScrollInfo(Handle(), SB_VERT, &si, 1);
    }
    void Paint() override {
        TCanvas* c = Canvas();
        c->Brush()->SetColor(clWindow);
        c->FillRect(ClientRect());
        c->Font()->SetName("Arial");
        c->Font()->SetSize(9);
        int top = GetScrollPos(Handle(), SB_VERT);
        for (int i = top / 16; i < 30; ++i) {
            int y = i * 16 - top;
            if (y > ClientHeight()) break;
            bool selected = i == 5;
            c->Brush()->SetColor(selected ? clHighlight : clWindow);
            c->Font()->SetColor(selected ? clHighlightText : clWindowText);
            c->FillRect(TRect(0, y, ClientWidth(), y + 16));
            c->TextOut(4, y + 1, std::string("Question ") + std::to_string(i + 1));
        }
    }
    void DoEnter() override {
        CreateCaret(Handle(), nullptr, 2, 14);
        SetCaretPos(ClientWidth() - 30, 5 * 16 - 48 + 1);
        ShowCaret(Handle());
    }
};

bool RenderWindow(const std::string& dir) {
    auto* form = new TForm(nullptr);
    form->SetCaption("Exam player - window demo");
    form->SetBounds(40, 40, 420, 260);
    auto* dial = new TDial(form);
    dial->SetParent(form);
    dial->SetBounds(10, 10, 200, 200);
    auto* lines = new TLines(form);
    lines->SetParent(form);
    lines->SetBounds(220, 10, 180, 200);
    testing::ShowForm(form);
    testing::Click(dial, 170, 60);
    lines->SetFocus();
    testing::Pump();
    bool ok = testing::SavePng(ComposeWindowPixels(form->Handle(), true), dir + "/window.png");
    return ok;
}

demo::DemoSection windowsSection("20-windows", RenderWindow);

}  // namespace
