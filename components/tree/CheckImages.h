#pragma once
// The pictures the tree unit makes for every tree: check-image strips (16 x 16 cells, one strip
// per built-in check-image kind, plus a utilities strip) and the cursor images of the header
// split and of wheel panning. All are drawn here in code.
//
// Cell layout of a check strip (the indices GetCheckImage answers): 0 empty; radio button
// unchecked 1-4 and checked 5-8; check box unchecked 9-12, checked 13-16, mixed 17-20; button
// 21-23. Within each group the forms are normal, hot, pressed, disabled. Pixels outside the
// pictures carry the transparent colour, which is also the colour of each cell's top-left pixel.

#include <memory>
#include <string>
#include <vector>

#include "components/tree/VirtualTreeTypes.h"
#include "platform/controls/ImageList.h"
#include "platform/graphics/Bitmap.h"

namespace epc {

constexpr int CheckImageSize = 16;
constexpr int CheckImageCount = 24;

// The unit's strip for a built-in kind (nil for ckCustom, or before the unit is set up).
TBitmap* CheckImageStrip(TCheckImageKind kind);
// The unit's image list for a built-in kind: the strip cut into 16 x 16 images, the colour of
// each cell's top-left pixel transparent (nil for ckCustom, or before the unit is set up).
TCustomImageList* CheckImageList(TCheckImageKind kind);
// The utilities strip (sort arrows up and down, a drop mark).
TBitmap* UtilityImageStrip();

// Draws the strip of a built-in kind anew (the system kinds through DrawFrameControl).
std::unique_ptr<TBitmap> MakeCheckImageStrip(TCheckImageKind kind);

// Number of square images in a strip (its width divided by its height). A strip narrower than
// one pixel fails with "Internal image "<name>" is missing or corrupt.".
int StripImageCount(TBitmap* strip, const std::string& resourceName);

// Cursor pictures by resource name ("VT_HEADERSPLIT", "VT_MOVEALL", "VT_MOVEEW", "VT_MOVENS",
// "VT_MOVEN", "VT_MOVES", "VT_MOVEE", "VT_MOVEW", "VT_MOVENE", "VT_MOVENW", "VT_MOVESE",
// "VT_MOVESW"): 32 x 32, transparent pixels have alpha 0. Nil for unknown names.
TBitmap* TreeCursorImage(const std::string& name);
const std::vector<std::string>& TreeCursorNames();

// The pictures of the built-in check kinds and the utilities drawn anew, after the system's
// colours changed.
void ReloadCheckImages();

// Used by the unit's set-up and finalisation.
void CreateTreeImages();
void FreeTreeImages();

} // namespace epc
