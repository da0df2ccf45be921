#pragma once
// Copying a rectangle of one TBitmap32 into another, at the same size or resampled, combining
// every pixel by a draw mode.

#include <cstdint>
#include <vector>

#include "components/graphics/Bitmap32.h"
#include "platform/core/Exceptions.h"

namespace epc {

EPC_EXCEPTION_CLASS(ETransformError, Exception)

// The kernels of the stretch filters and their radii.
double FilterKernel(TStretchFilter filter, double x);
double FilterRadius(TStretchFilter filter);

// One axis of a resampling: for each destination pixel of the clip, source indices and
// weights in 1/256 that sum to 256.
struct TPointRec {
    int32_t Pos;
    int32_t Weight;
};
using TMappingTable = std::vector<std::vector<TPointRec>>;
// dstLo..dstHi-1 are the destination pixels wanted (inside dstStart..dstStart+dstSize).
TMappingTable BuildMappingTable(int32_t dstStart, int32_t dstSize, int32_t dstLo, int32_t dstHi,
                                int32_t srcStart, int32_t srcSize, TStretchFilter filter);

void CheckBitmaps(TBitmap32* dst, TBitmap32* src);
// False for an empty rectangle; raises when it leaves the source.
bool CheckSrcRect(TBitmap32* src, const TRect& srcRect);

void BlockTransfer(TBitmap32* dst, int32_t dstX, int32_t dstY, const TRect& dstClip,
                   TBitmap32* src, const TRect& srcRect, TDrawMode drawMode,
                   const TPixelCombineEvent& combine = nullptr);
void StretchTransfer(TBitmap32* dst, const TRect& dstRect, const TRect& dstClip, TBitmap32* src,
                     const TRect& srcRect, TStretchFilter filter, TDrawMode drawMode,
                     const TPixelCombineEvent& combine = nullptr);

}  // namespace epc
