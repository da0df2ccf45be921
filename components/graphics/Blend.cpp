#include "components/graphics/Blend.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace epc {

TColor32 MixLanes(TColor32 F, TColor32 B, uint32_t W) {
    // Two channels at a time: each 16-bit half of a 32-bit word holds one channel's sum,
    // which stays below 65536.
    const uint32_t iw = 256 - W;
    uint32_t rb = ((F & 0x00FF00FF) * W + (B & 0x00FF00FF) * iw + 0x00800080) >> 8;
    uint32_t ag = (((F >> 8) & 0x00FF00FF) * W + ((B >> 8) & 0x00FF00FF) * iw + 0x00800080);
    return (rb & 0x00FF00FF) | (ag & 0xFF00FF00);
}

TColor32 MixSplit(TColor32 F, TColor32 B, uint32_t W) {
    const uint32_t iw = 255 - W;
    uint32_t rbF = (((F & 0x00FF00FF) * W + 0x00800080) >> 8) & 0x00FF00FF;
    uint32_t agF = ((((F >> 8) & 0x00FF00FF) * W + 0x00800080) >> 8) & 0x00FF00FF;
    uint32_t rbB = (((B & 0x00FF00FF) * iw + 0x00800080) >> 8) & 0x00FF00FF;
    uint32_t agB = ((((B >> 8) & 0x00FF00FF) * iw + 0x00800080) >> 8) & 0x00FF00FF;
    return (rbF + rbB) | ((agF + agB) << 8);
}

namespace {

using MixFn = TColor32 (*)(TColor32, TColor32, uint32_t);

template <MixFn Mix>
inline void AlphaOverOne(TColor32 F, TColor32& B) {
    uint32_t a = F >> 24;
    if (a == 0) return;
    if (a == 255) {
        B = F;
        return;
    }
    B = Mix(F, B, a);
}

template <MixFn Mix>
inline void AlphaOverMasterOne(TColor32 F, TColor32& B, uint32_t M) {
    uint32_t w = ((M + 1) * (F >> 24)) >> 8;
    if (w == 0) return;
    B = Mix(F, B, w);
}

#if defined(__SSE2__)

// The lane formula on four pixels with per-pixel weights w (0..255 in each 32-bit lane).
inline __m128i MixLanes4(__m128i f, __m128i b, __m128i w) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i bias = _mm_set1_epi16(128);
    __m128i w16 = _mm_or_si128(w, _mm_slli_epi32(w, 16));  // w in both halves of each pixel
    __m128i wlo = _mm_unpacklo_epi32(w16, w16);
    __m128i whi = _mm_unpackhi_epi32(w16, w16);
    __m128i flo = _mm_unpacklo_epi8(f, zero), fhi = _mm_unpackhi_epi8(f, zero);
    __m128i blo = _mm_unpacklo_epi8(b, zero), bhi = _mm_unpackhi_epi8(b, zero);
    // (F - B) * W + 256 * B + 128 wraps in 16 bits, but its true value is 0..65408.
    __m128i lo = _mm_add_epi16(_mm_mullo_epi16(_mm_sub_epi16(flo, blo), wlo),
                               _mm_add_epi16(_mm_slli_epi16(blo, 8), bias));
    __m128i hi = _mm_add_epi16(_mm_mullo_epi16(_mm_sub_epi16(fhi, bhi), whi),
                               _mm_add_epi16(_mm_slli_epi16(bhi, 8), bias));
    return _mm_packus_epi16(_mm_srli_epi16(lo, 8), _mm_srli_epi16(hi, 8));
}

void AlphaOverRowLanes(const TColor32* s, TColor32* d, int32_t count) {
    const __m128i ff = _mm_set1_epi32(255);
    int32_t i = 0;
    for (; i + 4 <= count; i += 4) {
        __m128i f = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
        __m128i a = _mm_srli_epi32(f, 24);
        __m128i opaque = _mm_cmpeq_epi32(a, ff);
        int om = _mm_movemask_epi8(opaque);
        if (om == 0xFFFF) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(d + i), f);
            continue;
        }
        if (_mm_movemask_epi8(_mm_cmpeq_epi32(a, _mm_setzero_si128())) == 0xFFFF) continue;
        __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + i));
        __m128i z = MixLanes4(f, b, a);  // a weight of 0 gives B exactly
        if (om) z = _mm_or_si128(_mm_and_si128(opaque, f), _mm_andnot_si128(opaque, z));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + i), z);
    }
    for (; i < count; ++i) AlphaOverOne<MixLanes>(s[i], d[i]);
}

void AlphaOverRowMasterLanes(const TColor32* s, TColor32* d, int32_t count, uint32_t M) {
    const __m128i m1 = _mm_set1_epi32(int(M + 1));
    int32_t i = 0;
    for (; i + 4 <= count; i += 4) {
        __m128i f = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
        // (M + 1) * alpha fits 16 bits; the high halves multiply 0 by 0.
        __m128i w = _mm_srli_epi32(_mm_mullo_epi16(_mm_srli_epi32(f, 24), m1), 8);
        if (_mm_movemask_epi8(_mm_cmpeq_epi32(w, _mm_setzero_si128())) == 0xFFFF) continue;
        __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + i));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + i), MixLanes4(f, b, w));
    }
    for (; i < count; ++i) AlphaOverMasterOne<MixLanes>(s[i], d[i], M);
}

#else

void AlphaOverRowLanes(const TColor32* s, TColor32* d, int32_t count) {
    for (int32_t i = 0; i < count; ++i) AlphaOverOne<MixLanes>(s[i], d[i]);
}

void AlphaOverRowMasterLanes(const TColor32* s, TColor32* d, int32_t count, uint32_t M) {
    for (int32_t i = 0; i < count; ++i) AlphaOverMasterOne<MixLanes>(s[i], d[i], M);
}

#endif

void AlphaOverRowSplit(const TColor32* s, TColor32* d, int32_t count) {
    for (int32_t i = 0; i < count; ++i) AlphaOverOne<MixSplit>(s[i], d[i]);
}

void AlphaOverRowMasterSplit(const TColor32* s, TColor32* d, int32_t count, uint32_t M) {
    for (int32_t i = 0; i < count; ++i) AlphaOverMasterOne<MixSplit>(s[i], d[i], M);
}

struct TBlendTable {
    MixFn Mix;
    void (*Row)(const TColor32*, TColor32*, int32_t);
    void (*RowMaster)(const TColor32*, TColor32*, int32_t, uint32_t);
};

const TBlendTable LanesTable{MixLanes, AlphaOverRowLanes, AlphaOverRowMasterLanes};
const TBlendTable SplitTable{MixSplit, AlphaOverRowSplit, AlphaOverRowMasterSplit};
const TBlendTable* GBlend = &LanesTable;

}  // namespace

void SetBlendFormula(TBlendFormula formula) {
    GBlend = formula == TBlendFormula::bfSplit ? &SplitTable : &LanesTable;
}

TBlendFormula BlendFormula() {
    return GBlend == &SplitTable ? TBlendFormula::bfSplit : TBlendFormula::bfLanes;
}

void MixInPlace(TColor32 F, TColor32& B, uint32_t W) {
    W &= 0xFF;
    if (W == 0) return;
    if (W == 255) {
        B = F;
        return;
    }
    B = GBlend->Mix(F, B, W);
}

void AlphaOverInPlace(TColor32 F, TColor32& B) {
    uint32_t a = F >> 24;
    if (a == 0) return;
    if (a == 255) {
        B = F;
        return;
    }
    B = GBlend->Mix(F, B, a);
}

void AlphaOverMasterInPlace(TColor32 F, TColor32& B, uint32_t M) {
    uint32_t w = (((M & 0xFF) + 1) * (F >> 24)) >> 8;
    if (w == 0) return;
    B = GBlend->Mix(F, B, w);
}

void AlphaOverRow(const TColor32* source, TColor32* dest, int32_t count) {
    if (count > 0) GBlend->Row(source, dest, count);
}

void AlphaOverRowMaster(const TColor32* source, TColor32* dest, int32_t count, uint32_t M) {
    if (count > 0) GBlend->RowMaster(source, dest, count, M & 0xFF);
}

}  // namespace epc
