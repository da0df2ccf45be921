#pragma once
// PNG helpers of the image lists and buttons: converting bitmaps and icons to PNG images with
// alpha, fading and graying a PNG for the disabled look, and drawing a PNG with those options.

#include <cstdint>
#include <string>

#include "platform/controls/Buttons.h"
#include "platform/core/Set.h"
#include "platform/graphics/Bitmap.h"
#include "platform/graphics/Icon.h"
#include "platform/graphics/PngImage.h"

namespace epc {

enum TPngOption : uint8_t { pngBlendOnDisabled, pngGrayscaleOnDisabled };
using TPngOptions = TSet<TPngOption>;

class TCustomImageList;

// Fades a PNG: its alpha becomes Round(alpha / 256 * (Amount + 1)); gray and palette images
// get an alpha channel of Amount (0 where transparent). 127 is the disabled look.
void MakeImageBlended(TPngImage* image, int amount = 127);
// Moves the colours toward their gray (0.3 R + 0.59 G + 0.11 B) by Amount, 255 being fully
// gray; gray images stay as they are, palette images change their palette.
void MakeImageGrayscale(TPngImage* image, int amount = 255);
// Draws the PNG into Rect; with options, a faded and/or grayed copy.
void DrawPNG(TPngImage* png, TCanvas* canvas, const TRect& rect, TPngOptions options);
// The bitmap's colours with an alpha channel from the mask's low byte (inverted unless
// InverseMask: a white mask pixel is transparent).
void ConvertToPNG(TBitmap* source, TBitmap* mask, TPngImage* dest, bool inverseMask = false);
// Alpha 0 where the bitmap has MaskColor, 255 elsewhere.
void ConvertToPNGMasked(TBitmap* source, TColor maskColor, TPngImage* dest);
// The icon's own alpha for an alpha icon, else alpha 0 or 255 from its mask.
void ConvertIconToPNG(TIcon* icon, TPngImage* dest);
// From a PNG image list the item's PNG; from any other list the image with its alpha.
void CopyImageFromImageList(TPngImage* dest, TCustomImageList* imageList, int index);
// The button layout for a glyph of the PNG's size, with the caption drawn in TextRect.
void CalcButtonLayout(TCanvas* canvas, TPngImage* png, const TRect& client, TPoint offset,
                      const std::string& caption, TButtonLayout layout, int margin, int spacing,
                      TPoint& glyphPos, TRect& textRect, uint32_t biDiFlags,
                      TButtonState state = bsUp);

} // namespace epc
