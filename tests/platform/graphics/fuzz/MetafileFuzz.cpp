// Playing arbitrary bytes as a metafile: a damaged or hostile record ends playback or is
// skipped, never crashes, hangs or allocates by a declared size. Seeded with metafiles made
// by a drawing program and hand-made ones that use most record kinds.

#include <cstdint>
#include <string_view>

#include "platform/graphics/Bitmap.h"
#include "platform/graphics/MetafilePlayer.h"

using namespace epc;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    TMetafileSize header;
    ReadMetafileSize(bytes, header);
    try {
        TBitmap target(48, 36, pf24bit);
        PlayMetafile(target.Canvas()->Handle(), bytes, Rect(2, 2, 46, 34));
    } catch (const Exception&) {
    }
    return 0;
}
