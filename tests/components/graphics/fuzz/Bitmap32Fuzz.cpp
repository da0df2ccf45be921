// Stored pixel data read from arbitrary bytes, then drawn with the same bytes steering lines,
// polygons and stretches: bad data must raise, and no drawing may touch memory outside.

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "components/graphics/Bitmap32.h"
#include "components/graphics/Polygons.h"
#include "components/graphics/Transforms.h"
#include "platform/core/Exceptions.h"

using namespace epc;

void EpcFuzzSeeds(std::vector<std::string>& seeds) {
    TBitmap32 b;
    b.SetSize(3, 2);
    b.Clear(0x80FF2010);
    TMemoryStream s;
    b.WritePixelData(s);
    std::string data = s.DataString();
    // Coordinates and options after the pixels.
    const int32_t tail[] = {-70000, 5, 1 << 20, -3, 9 << 16, 40 << 16, 0x7FFFFFFF, 7};
    data.append(reinterpret_cast<const char*>(tail), sizeof(tail));
    seeds.push_back(data);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TStringStream stream(std::string(reinterpret_cast<const char*>(data), size));
    TBitmap32 src;
    try {
        src.ReadPixelData(stream);
    } catch (const EReadError&) {
        return 0;
    }
    // The rest of the input as 32-bit values steering the drawing.
    std::vector<int32_t> v;
    int32_t x;
    while (stream.Read(&x, 4) == 4) v.push_back(x);
    if (v.empty()) return 0;
    auto at = [&](size_t i) { return v[i % v.size()]; };

    TBitmap32 dst;
    dst.SetSize(17, 13);
    dst.DrawLineS(at(0), at(1), at(2), at(3), 0xFF00FF00);
    dst.DrawLineBlendedS(at(1), at(2), at(3), at(4), 0x8000FF00, true);
    dst.DrawLineAAS(at(2), at(3), at(4), at(5), 0xC0FF0000, at(6) & 1);
    dst.FrameRect(at(0) % 40, at(1) % 40, at(2) % 40, at(3) % 40, 0xFFFFFFFF);
    dst.SetPixelFS(at(4), at(5), 0xFFFFFFFF);

    TPolygon32 p;
    p.SetFillMode(TPolyFillMode(at(7) & 1));
    for (size_t i = 0; i < std::min<size_t>(v.size(), 24); ++i) {
        if (i % 7 == 6) p.NewLine();
        p.AddPoint({at(i), at(i + 3)});
    }
    p.DrawFilled(&dst, 0x60FFFF00);
    p.DrawOutline(&dst, 0xFF000000);
    p.SetAntialiased(true);
    p.DrawFilled(&dst, 0x60FFFF00);
    p.DrawOutline(&dst, 0x80000000);

    if (!src.IsEmpty() && int64_t(src.Width()) * src.Height() <= 4096) {
        src.SetDrawMode(TDrawMode(uint32_t(at(0)) % 3));
        src.SetMasterAlpha(uint32_t(at(1)) & 255);
        TRect dstRect(at(2) % 30, at(3) % 30, at(4) % 30, at(5) % 30);
        TRect srcRect(0, 0, src.Width(), src.Height());
        try {
            StretchTransfer(&dst, dstRect, dst.BoundsRect(), &src, srcRect,
                            TStretchFilter(uint32_t(at(6)) % 5), src.DrawMode());
            BlockTransfer(&dst, at(7) % 20, at(0) % 20, dst.BoundsRect(), &src, srcRect,
                          src.DrawMode());
        } catch (const ETransformError&) {
        }
    }
    return 0;
}
