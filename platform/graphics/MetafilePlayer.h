#pragma once
// Playback of Windows metafiles (placeable or plain) and enhanced metafiles onto a device
// context, scaled so that the picture's frame fills a rectangle. Records that cannot be played
// here are skipped; a malformed record ends playback, keeping what was drawn before it.

#include <string_view>

#include "platform/core/Geometry.h"
#include "platform/gdi/Gdi.h"

namespace epc {

// What a metafile's header tells of its size: pixels at 96 per inch, and for a Windows
// metafile its units per inch (0 when the header gives none).
struct TMetafileSize {
    int Width = 0;
    int Height = 0;
    int Inch = 0;
    bool Enhanced = false;
};

// False when the data is not a metafile or its header is unusable. A Windows metafile without a
// resolution is taken at 1440 units per inch; a plain one has no size of its own, so its
// window extent gives it.
bool ReadMetafileSize(std::string_view data, TMetafileSize& size);

// Plays the records into dest (logical units of dc), clipped to dest. The context's state is
// left as it was. False when playback stopped at a malformed record or the data is not a
// metafile.
bool PlayMetafile(HDC dc, std::string_view data, const TRect& dest);

} // namespace epc
