#pragma once
// The document's drawing and measuring helpers: picture storage, text on a canvas, caret
// positions, device resolutions and device-scaled picture drawing.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/core/Geometry.h"
#include "richtext/document/RVTypes.h"

namespace epc {

class TStream;
class TCustomRVData;

// ---- Pictures as stored bytes.
// A new picture of the same class with the same content; nullptr for an unknown class.
std::unique_ptr<TGraphic> RVCopyGraphic(TGraphic& graphic);
// The picture's own stored form.
std::string RVSaveGraphicStream(TGraphic& graphic);
// Saves a picture for an HTML page into the folder Path through the root document (a viewer
// names and writes it); the file name, empty when nothing was saved.
std::string RVSaveHtmlPicture(TGraphic* graphic, TCustomRVData* rvData, const std::string& path);
// Writes a picture into the folder Path under the name NameFor gives for its extension; the
// name, or empty when there is no folder or the file could not be written.
std::string RVWriteHtmlPictureFile(TGraphic* graphic, const std::string& path,
                                   const std::function<std::string(const std::string&)>& nameFor);
void RVSaveGraphicStream(TStream& stream, TGraphic& graphic);
// A picture of a registered class read from Stream; nullptr for an unknown class. Stream
// errors raise.
std::unique_ptr<TGraphic> RVLoadGraphicStream(const std::string& className, TStream& stream);

// ---- Text on a canvas.
int GetTextWidth(TCanvas* canvas, const std::string& text, bool unicode);
// Characters of Text (item bytes) that fit Width, with the partial extents of all of them.
int MeasureTextFit(TCanvas* canvas, const std::string& text, bool unicode, int width,
                   std::vector<int>* extents = nullptr);
int MeasureTextFitBuf(TCanvas* canvas, const char* text, int length, int maxWidth, bool unicode);
// The caret x of every position 0 .. length of Text (item bytes) in logical order, through
// character placement with reordering in the BiDi mode's reading order (right to left for
// rvbdRightToLeft); false when placement fails.
bool GetCharCaretPositions(TCanvas* canvas, const std::string& text, bool unicode,
                           TRVBiDiMode bidiMode, std::vector<int>& positions);
// When Flag is set and placement works, draws the characters First .. First + Count - 1 (from
// 0) of Text laid out whole at (x, y): each where placement puts it, on the brush (unless
// clear) over Height rows; true then, false otherwise.
bool TryDrawTextByPlacement(bool flag, TCanvas* canvas, const std::string& text, bool unicode,
                            int x, int y, int first, int count, int height, TRVBiDiMode bidiMode);
// Text on the canvas reads right to left for rvbdRightToLeft, else left to right.
void SetReadingOrder(TCanvas* canvas, TRVBiDiMode bidiMode);

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
