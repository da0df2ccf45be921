#pragma once
// Helpers that reach the platform: the refusal beep, text measuring and fitting on a canvas,
// caret positions, device resolutions and device-scaled picture drawing.

#include <functional>
#include <string>
#include <vector>

#include "platform/core/Geometry.h"
#include "richtext/document/RVTypes.h"

namespace epc {

// The beep of refused edit operations: MessageBeep(0), unless a handler is installed.
std::function<void()>& RVBeepHandler();
// The system beeps so far (MessageBeep's count).
int RVBeepCount();
void RVBeep();

} // namespace epc

namespace epc {

class TComponent;
class TStream;
class TBitmap;

// ---- Embedded controls as component streams.
// Reads a component stream into Control, making a control of ClassName first when Control is
// null; false when the class is not registered. Stream errors raise.
bool RVFLoadControlStream(TStream& stream, TComponent*& control, const std::string& className);
// Binary body: int32 length placeholder, the component stream, then the length back-patched.
void RVFSaveControlBinary(TStream& stream, TComponent* control);
std::string RVFSaveControlHex(TComponent* control);
void RVFLoadControlBinary(const std::string& body, TComponent*& control,
                          const std::string& className);
// False for text that is not hexadecimal.
bool RVFLoadControlHex(const std::string& hex, TComponent*& control, const std::string& className);

// ---- Text on a canvas.
int GetTextWidth(TCanvas* canvas, const std::string& text, bool unicode);
// Characters of Text (item bytes) that fit Width, with the partial extents of all of them.
int MeasureTextFit(TCanvas* canvas, const std::string& text, bool unicode, int width,
                   std::vector<int>* extents = nullptr);
int MeasureTextFitBuf(TCanvas* canvas, const char* text, int length, int maxWidth, bool unicode);
// Caret positions through character placement; false when placement is not available.
bool GetCharCaretPositions(TCanvas* canvas, const std::string& text, bool unicode,
                           TRVBiDiMode bidiMode, std::vector<int>& positions);
// Draws through character placement when Flag is set and placement works; false otherwise.
bool TryDrawTextByPlacement(bool flag, TCanvas* canvas, const std::string& text, bool unicode,
                            int x, int y);

// A new file name for a picture written by the HTML writers ("rvimg<N>" plus Extension).
std::string RVNextHtmlImageName(const std::string& extension);

// ---- Devices.
void GetScreenAndDeviceResolution(TRVResolutionInfo& info, TCanvas* canvas);
int DeviceToScreenX(int value, const TRVResolutionInfo& info);
int DeviceToScreenY(int value, const TRVResolutionInfo& info);
void DeviceRectToScreen(TRect& rect, const TRVScreenAndDevice& sad);
// Draws Graphic scaled by device over screen resolution; a negative width or height means
// the picture's own.
void DrawGraphicForDevice(TCanvas* canvas, int x, int y, TGraphic* graphic,
                          const TRVResolutionInfo& info, int width = -1, int height = -1);

} // namespace epc
