#pragma once
// Pixel blending shared by the whole graphics subsystem.
//
// Every blend mixes a foreground F into a background B by a weight W (0..255), all four bytes
// (alpha included) alike. The default formula works in 16-bit lanes:
//     Z = (F * W + B * (256 - W) + 128) >> 8
// which vectorises exactly (SSE2 on x86-64, plain loops elsewhere). The alternative formula
//     Z = ((F * W + 128) >> 8) + ((B * (255 - W) + 128) >> 8)
// is kept as a selectable table for callers that depend on it.

#include <cstdint>

#include "components/graphics/Bitmap32.h"

namespace epc {

enum class TBlendFormula { bfLanes, bfSplit };

// W = 0 leaves B; W = 255 writes F; otherwise the mix by W.
void MixInPlace(TColor32 f, TColor32& b, uint32_t w);
// W is F's alpha: 0 leaves B, 255 writes F, otherwise the mix.
void AlphaOverInPlace(TColor32 f, TColor32& b);
// W = ((M + 1) * alpha of F) >> 8; 0 leaves B, otherwise the mix (also at 255).
void AlphaOverMasterInPlace(TColor32 f, TColor32& b, uint32_t m);
void AlphaOverRow(const TColor32* source, TColor32* dest, int32_t count);
void AlphaOverRowMaster(const TColor32* source, TColor32* dest, int32_t count, uint32_t m);
// Kept for callers that bracket their blending; nothing needs to be reset on today's processors.
inline void EndMmxBlending() {}

// Mixes the one colour F into count pixels by the weight W (0 leaves them, 255 is mixed too).
// Gives the same pixels as AlphaOverMasterInPlace of F whose effective weight is W.
void BlendConstantRow(TColor32 f, TColor32* dest, int32_t count, uint32_t w);

// The formula of the routine table (bfLanes by default).
void SetBlendFormula(TBlendFormula formula);
TBlendFormula BlendFormula();
// Whether the lane formula uses 256-bit routines where the processor has them (the start-up
// choice); returns whether they are in use afterwards.
bool SetWideBlending(bool wide);
// Whether 256-bit routines are in use (the resampler follows the same choice).
bool WideBlending();

// The formulas on one pixel, for callers that need the mix itself.
TColor32 MixLanes(TColor32 f, TColor32 b, uint32_t w);
TColor32 MixSplit(TColor32 f, TColor32 b, uint32_t w);

}  // namespace epc
