#pragma once
// Controls that record what happens to them, for the control tests.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/context/PlatformContext.h"
#include "platform/controls/Controls.h"
#include "platform/controls/Forms.h"
#include "platform/testing/UserActions.h"

namespace epc {

// A custom control that paints a colour and records its mouse, key and focus events.
class TProbe : public TCustomControl {
public:
    explicit TProbe(TComponent* owner, COLORREF fill = RGB(0, 128, 0))
        : TCustomControl(owner), Fill(fill) {
        SetTabStop(true);
    }
    std::string ClassName() const override { return "TProbe"; }

    COLORREF Fill;
    uint32_t DlgCode = 0;
    std::vector<std::string> Events;
    int Paints = 0;
    std::function<void()> OnDestroyed;

    ~TProbe() override {
        if (OnDestroyed) OnDestroyed();
    }

    void Dispatch(TMessage& message) override {
        if (message.Msg == WM_GETDLGCODE) {
            message.Result = DlgCode;
            return;
        }
        TCustomControl::Dispatch(message);
    }

protected:
    void Paint() override {
        ++Paints;
        Canvas()->Brush()->SetColor(TColor(Fill));
        Canvas()->FillRect(ClientRect());
    }
    void MouseDown(TMouseButton b, TShiftState s, int x, int y) override {
        Events.push_back("down " + std::to_string(x) + "," + std::to_string(y) +
                         (s.Contains(ssDouble) ? " double" : "") +
                         (s.Contains(ssShift) ? " shift" : ""));
        TCustomControl::MouseDown(b, s, x, y);
    }
    void MouseUp(TMouseButton b, TShiftState s, int x, int y) override {
        Events.push_back("up " + std::to_string(x) + "," + std::to_string(y));
        TCustomControl::MouseUp(b, s, x, y);
    }
    void Click() override {
        Events.push_back("click");
        TCustomControl::Click();
    }
    void DblClick() override {
        Events.push_back("dblclick");
        TCustomControl::DblClick();
    }
    void KeyDown(Word& key, TShiftState s) override {
        Events.push_back("keydown " + std::to_string(key));
        TCustomControl::KeyDown(key, s);
    }
    void KeyPress(char16_t& key) override {
        Events.push_back(std::string("char ") + char(key));
        TCustomControl::KeyPress(key);
    }
    void DoEnter() override {
        Events.push_back("enter");
        TCustomControl::DoEnter();
    }
    void DoExit() override {
        Events.push_back("exit");
        TCustomControl::DoExit();
    }
};

class TSwatch : public TGraphicControl {
public:
    using TGraphicControl::TGraphicControl;
    COLORREF Fill = RGB(255, 255, 0);
    std::vector<std::string> Events;

protected:
    void Paint() override {
        Canvas()->Brush()->SetColor(TColor(Fill));
        Canvas()->FillRect(ClientRect());
    }
    void MouseDown(TMouseButton b, TShiftState s, int x, int y) override {
        Events.push_back("down " + std::to_string(x) + "," + std::to_string(y));
        TGraphicControl::MouseDown(b, s, x, y);
    }
};

class ControlTest : public ::testing::Test {
protected:
    TPlatformContext Context; // freed last: it frees every form the case leaves

    // A shown form at 100,100 with a client area of 300 x 200.
    TForm* MakeForm() {
        auto* form = new TForm(nullptr);
        form->SetBorderStyle(bsNone);
        form->SetBounds(100, 100, 300, 200);
        return form;
    }
};

} // namespace epc
