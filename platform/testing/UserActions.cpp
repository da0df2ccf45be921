// Person-like input and read-back for tests.

#include "platform/testing/UserActions.h"

#include <fstream>

#include "platform/codecs/ImageCodecs.h"
#include "platform/controls/Clipbrd.h"
#include "platform/core/Strings.h"

namespace epc::testing {

void Pump() { ProcessMessages(); }

void Wait(uint32_t ms) { AdvanceClock(ms); }

void ShowForm(TCustomForm* form) {
    form->Show();
    Pump();
}

void ShowForm(TCustomForm* form, int left, int top) {
    form->SetBounds(left, top, form->Width(), form->Height());
    ShowForm(form);
}

TPoint ScreenPoint(TControl* control, TPoint client) { return control->ClientToScreen(client); }

namespace {

void HoldShift(TShiftState shift, bool down) {
    if (shift.Contains(ssShift)) SimulateKey(VK_SHIFT, down);
    if (shift.Contains(ssCtrl)) SimulateKey(VK_CONTROL, down);
    if (shift.Contains(ssAlt)) SimulateKey(VK_MENU, down);
}

TMouseButtonId ButtonId(TMouseButton b) {
    return b == mbLeft ? TMouseButtonId::Left
           : b == mbRight ? TMouseButtonId::Right : TMouseButtonId::Middle;
}

}  // namespace

void MoveMouseTo(TPoint screen) {
    SimulateMouseMove(screen);
    Pump();
}

void MoveMouse(TControl* control, int x, int y) { MoveMouseTo(ScreenPoint(control, {x, y})); }

void MouseDown(TControl* control, int x, int y, TMouseButton button, TShiftState shift) {
    HoldShift(shift, true);
    SimulateMouseButton(ButtonId(button), true, ScreenPoint(control, {x, y}));
    Pump();
}

void MouseUp(TControl* control, int x, int y, TMouseButton button, TShiftState shift) {
    SimulateMouseButton(ButtonId(button), false, ScreenPoint(control, {x, y}));
    Pump();
    HoldShift(shift, false);
    Pump();
}

void Click(TControl* control, int x, int y, TMouseButton button, TShiftState shift) {
    TPoint p = ScreenPoint(control, {x, y});
    HoldShift(shift, true);
    SimulateMouseMove(p);
    SimulateMouseButton(ButtonId(button), true, p);
    SimulateMouseButton(ButtonId(button), false, p);
    HoldShift(shift, false);
    Pump();
}

void ClickAt(TPoint screen, TMouseButton button) {
    SimulateMouseMove(screen);
    SimulateMouseButton(ButtonId(button), true, screen);
    SimulateMouseButton(ButtonId(button), false, screen);
    Pump();
}

void DoubleClick(TControl* control, int x, int y, TShiftState shift) {
    TPoint p = ScreenPoint(control, {x, y});
    HoldShift(shift, true);
    SimulateMouseMove(p);
    for (int i = 0; i < 2; ++i) {
        SimulateMouseButton(TMouseButtonId::Left, true, p);
        SimulateMouseButton(TMouseButtonId::Left, false, p);
    }
    HoldShift(shift, false);
    Pump();
}

void DragMouse(TControl* control, TPoint from, TPoint to, int steps) {
    MoveMouse(control, from.X, from.Y);
    MouseDown(control, from.X, from.Y);
    steps = std::max(1, steps);
    for (int i = 1; i <= steps; ++i) {
        TPoint p(from.X + (to.X - from.X) * i / steps, from.Y + (to.Y - from.Y) * i / steps);
        MoveMouse(control, p.X, p.Y);
    }
    MouseUp(control, to.X, to.Y);
}

void Wheel(TControl* control, int notches, int x, int y) {
    SimulateMouseWheel(notches * WHEEL_DELTA, ScreenPoint(control, {x, y}));
    Pump();
}

void KeyDown(Word key) {
    SimulateKey(key, true);
    Pump();
}

void KeyUp(Word key) {
    SimulateKey(key, false);
    Pump();
}

void PressKey(Word key, TShiftState shift) {
    HoldShift(shift, true);
    SimulateKey(key, true);
    SimulateKey(key, false);
    HoldShift(shift, false);
    Pump();
}

void TypeText(const std::u16string& text) {
    for (char16_t ch : text) {
        int16_t scan = VkKeyScan(ch);
        if (scan >= 0 && ch >= 0x20 && ch < 0x7F) {
            bool shift = (scan & 0x100) != 0;
            if (shift) SimulateKey(VK_SHIFT, true);
            SimulateKey(scan & 0xFF, true);
            SimulateKey(scan & 0xFF, false);
            if (shift) SimulateKey(VK_SHIFT, false);
        } else {
            SimulateChar(ch);
        }
        Pump();
    }
}

void TypeText(const std::string& utf8) { TypeText(Utf8ToUtf16(utf8)); }

TWindowPixels WindowPixels(TWinControl* control) {
    PaintPendingWindows();
    return ComposeWindowPixels(control->Handle());
}

TWindowPixels ClientPixels(TWinControl* control) {
    PaintPendingWindows();
    return ComposeClientPixels(control->Handle());
}

COLORREF PixelAt(TControl* control, int x, int y) {
    auto* w = dynamic_cast<TWinControl*>(control);
    if (!w) {
        x += control->Left();
        y += control->Top();
        w = control->Parent();
    }
    if (!w) return CLR_INVALID;
    TWindowPixels p = ClientPixels(w);
    if (x < 0 || y < 0 || x >= p.Width || y >= p.Height) return CLR_INVALID;
    return p.Color(x, y);
}

bool SavePng(const TWindowPixels& pixels, const std::string& fileName) {
    TDecodedImage image;
    image.Width = pixels.Width;
    image.Height = pixels.Height;
    image.Pixels = pixels.Pixels;
    for (uint32_t& p : image.Pixels) p |= 0xFF000000u;  // the screen has no transparency
    image.ColorType = 2;
    std::string png = EncodePng(image);
    std::ofstream out(fileName, std::ios::binary);
    out.write(png.data(), std::streamsize(png.size()));
    return bool(out);
}

bool SaveWindowPng(TWinControl* control, const std::string& fileName) {
    return SavePng(WindowPixels(control), fileName);
}

TCaretState Caret() { return GetCaretState(); }

std::string ClipboardText() {
    if (IsClipboardOpen()) return {};
    return epc::Clipboard()->AsText();
}

int Beeps() { return BeepCount(); }

const std::vector<TMessageBoxRecord>& MessageBoxes() { return MessageBoxLog(); }

void AnswerNextMessageBox(int result) { ScriptMessageBoxAnswer(result); }

}  // namespace epc::testing
