#pragma once
// What tests need to act as a person: show forms, move and click the mouse, drag, turn the
// wheel, type, let time pass, and read what the screen, the caret, the clipboard, the speaker
// and the message boxes show.

#include <string>
#include <vector>

#include "platform/controls/Controls.h"
#include "platform/controls/Forms.h"
#include "platform/windows/Clipboard.h"
#include "platform/windows/Window.h"

namespace epc::testing {

// Shows a form (placing it at left, top when given) and pumps until it is painted.
void ShowForm(TCustomForm* form);
void ShowForm(TCustomForm* form, int left, int top);

// Pumps posted messages, paints and due timers.
void Pump();
// Lets ms milliseconds pass, delivering timers as they fall due.
void Wait(uint32_t ms);

// A control's client point in screen coordinates.
TPoint ScreenPoint(TControl* control, TPoint client);

// Mouse actions at a control's client coordinates; each one pumps afterwards. Modifier keys
// given in shift are held down around the action.
void MoveMouse(TControl* control, int x, int y);
void MouseDown(TControl* control, int x, int y, TMouseButton button = mbLeft,
               TShiftState shift = {});
void MouseUp(TControl* control, int x, int y, TMouseButton button = mbLeft,
             TShiftState shift = {});
void Click(TControl* control, int x, int y, TMouseButton button = mbLeft,
           TShiftState shift = {});
void DoubleClick(TControl* control, int x, int y, TShiftState shift = {});
// Press at from, move in steps to to, release there.
void DragMouse(TControl* control, TPoint from, TPoint to, int steps = 4);
// Wheel notches (positive away from the user), 120 each.
void Wheel(TControl* control, int notches, int x = 0, int y = 0);
// The same actions at screen points.
void MoveMouseTo(TPoint screen);
void ClickAt(TPoint screen, TMouseButton button = mbLeft);

// Keys: a key with modifiers pressed and released; a key held or let go; text typed as
// characters (keys where a key gives the character, plain characters otherwise).
void PressKey(Word key, TShiftState shift = {});
void KeyDown(Word key);
void KeyUp(Word key);
void TypeText(const std::u16string& text);
void TypeText(const std::string& utf8);

// Reading back.
TWindowPixels WindowPixels(TWinControl* control);  // the window with its children
TWindowPixels ClientPixels(TWinControl* control);  // its client area with its children
// The colour at a client point of a control (graphic controls read their parent).
COLORREF PixelAt(TControl* control, int x, int y);
bool SavePng(const TWindowPixels& pixels, const std::string& fileName);
bool SaveWindowPng(TWinControl* control, const std::string& fileName);
TCaretState Caret();
std::string ClipboardText();
int Beeps();
const std::vector<TMessageBoxRecord>& MessageBoxes();
// The answer of the next message box (IDYES, IDNO, IDOK...).
void AnswerNextMessageBox(int result);

}  // namespace epc::testing
