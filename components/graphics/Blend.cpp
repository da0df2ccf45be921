#include "components/graphics/Blend.h"

#include <atomic>
#include <mutex>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__)
#include <immintrin.h>
#define EPC_BLEND_AVX2 1
#endif

namespace epc {

TColor32 MixLanes(TColor32 f, TColor32 b, uint32_t w) {
    // Two channels at a time: each 16-bit half of a 32-bit word holds one channel's sum,
    // which stays below 65536.
    const uint32_t iw = 256 - w;
    uint32_t rb = ((f & 0x00FF00FF) * w + (b & 0x00FF00FF) * iw + 0x00800080) >> 8;
    uint32_t ag = (((f >> 8) & 0x00FF00FF) * w + ((b >> 8) & 0x00FF00FF) * iw + 0x00800080);
    return (rb & 0x00FF00FF) | (ag & 0xFF00FF00);
}

TColor32 MixSplit(TColor32 f, TColor32 b, uint32_t w) {
    const uint32_t iw = 255 - w;
    uint32_t rbF = (((f & 0x00FF00FF) * w + 0x00800080) >> 8) & 0x00FF00FF;
    uint32_t agF = ((((f >> 8) & 0x00FF00FF) * w + 0x00800080) >> 8) & 0x00FF00FF;
    uint32_t rbB = (((b & 0x00FF00FF) * iw + 0x00800080) >> 8) & 0x00FF00FF;
    uint32_t agB = ((((b >> 8) & 0x00FF00FF) * iw + 0x00800080) >> 8) & 0x00FF00FF;
    return (rbF + rbB) | ((agF + agB) << 8);
}

namespace {

using MixFn = TColor32 (*)(TColor32, TColor32, uint32_t);

// A weight of 0 keeps the background and one of 255 is the foreground; only those between mix.
template <class Mix> inline void MixWeighted(TColor32 f, TColor32& b, uint32_t w, Mix mix) {
    if (w == 0) return;
    if (w == 255) {
        b = f;
        return;
    }
    b = mix(f, b, w);
}

// The master alpha scales the foreground's own; only a weight of 0 is passed over.
template <class Mix> inline void AlphaOverMasterWith(TColor32 f, TColor32& b, uint32_t m, Mix mix) {
    uint32_t w = ((m + 1) * (f >> 24)) >> 8;
    if (w == 0) return;
    b = mix(f, b, w);
}

template <MixFn Mix> void AlphaOverRowEach(const TColor32* s, TColor32* d, int32_t count) {
    for (int32_t i = 0; i < count; ++i)
        MixWeighted(s[i], d[i], s[i] >> 24, Mix);
}

template <MixFn Mix>
void AlphaOverRowMasterEach(const TColor32* s, TColor32* d, int32_t count, uint32_t m) {
    for (int32_t i = 0; i < count; ++i)
        AlphaOverMasterWith(s[i], d[i], m, Mix);
}

template <MixFn Mix> void BlendConstantRowEach(TColor32 f, TColor32* d, int32_t count, uint32_t w) {
    for (int32_t i = 0; i < count; ++i)
        d[i] = Mix(f, d[i], w);
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
    for (; i < count; ++i)
        MixWeighted(s[i], d[i], s[i] >> 24, MixLanes);
}

void AlphaOverRowMasterLanes(const TColor32* s, TColor32* d, int32_t count, uint32_t m) {
    const __m128i m1 = _mm_set1_epi32(int(m + 1));
    int32_t i = 0;
    for (; i + 4 <= count; i += 4) {
        __m128i f = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
        // (M + 1) * alpha fits 16 bits; the high halves multiply 0 by 0.
        __m128i w = _mm_srli_epi32(_mm_mullo_epi16(_mm_srli_epi32(f, 24), m1), 8);
        if (_mm_movemask_epi8(_mm_cmpeq_epi32(w, _mm_setzero_si128())) == 0xFFFF) continue;
        __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + i));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + i), MixLanes4(f, b, w));
    }
    for (; i < count; ++i)
        AlphaOverMasterWith(s[i], d[i], m, MixLanes);
}

void BlendConstantRowLanes(TColor32 f, TColor32* d, int32_t count, uint32_t w) {
    const __m128i zero = _mm_setzero_si128();
    __m128i f16 = _mm_unpacklo_epi8(_mm_set1_epi32(int(f)), zero);
    __m128i fw = _mm_add_epi16(_mm_mullo_epi16(f16, _mm_set1_epi16(short(w))), _mm_set1_epi16(128));
    __m128i iw = _mm_set1_epi16(short(256 - w));
    int32_t i = 0;
    for (; i + 4 <= count; i += 4) {
        __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + i));
        __m128i lo = _mm_add_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(b, zero), iw), fw);
        __m128i hi = _mm_add_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(b, zero), iw), fw);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + i),
                         _mm_packus_epi16(_mm_srli_epi16(lo, 8), _mm_srli_epi16(hi, 8)));
    }
    for (; i < count; ++i)
        d[i] = MixLanes(f, d[i], w);
}

#if defined(EPC_BLEND_AVX2)

// Eight pixels at a time where the processor has 256-bit integer lanes; chosen at start-up.
__attribute__((target("avx2"))) inline __m256i MixLanes8(__m256i f, __m256i b, __m256i wlo,
                                                          __m256i whi) {
    const __m256i zero = _mm256_setzero_si256();
    const __m256i bias = _mm256_set1_epi16(128);
    __m256i flo = _mm256_unpacklo_epi8(f, zero), fhi = _mm256_unpackhi_epi8(f, zero);
    __m256i blo = _mm256_unpacklo_epi8(b, zero), bhi = _mm256_unpackhi_epi8(b, zero);
    __m256i lo = _mm256_add_epi16(_mm256_mullo_epi16(_mm256_sub_epi16(flo, blo), wlo),
                                  _mm256_add_epi16(_mm256_slli_epi16(blo, 8), bias));
    __m256i hi = _mm256_add_epi16(_mm256_mullo_epi16(_mm256_sub_epi16(fhi, bhi), whi),
                                  _mm256_add_epi16(_mm256_slli_epi16(bhi, 8), bias));
    return _mm256_packus_epi16(_mm256_srli_epi16(lo, 8), _mm256_srli_epi16(hi, 8));
}

// Byte shuffles that spread each pixel's alpha over its four 16-bit channel lanes, in the
// order of the low and high unpacks.
__attribute__((target("avx2"))) inline __m256i AlphaSpreadLo() {
    const char z = char(0x80);
    return _mm256_setr_epi8(3, z, 3, z, 3, z, 3, z, 7, z, 7, z, 7, z, 7, z, 3, z, 3, z, 3, z, 3,
                            z, 7, z, 7, z, 7, z, 7, z);
}
__attribute__((target("avx2"))) inline __m256i AlphaSpreadHi() {
    const char z = char(0x80);
    return _mm256_setr_epi8(11, z, 11, z, 11, z, 11, z, 15, z, 15, z, 15, z, 15, z, 11, z, 11,
                            z, 11, z, 11, z, 15, z, 15, z, 15, z, 15, z);
}

__attribute__((target("avx2"))) void AlphaOverRowWide(const TColor32* s, TColor32* d,
                                                       int32_t count) {
    const __m256i alpha = _mm256_set1_epi32(int(0xFF000000u));
    const __m256i spreadLo = AlphaSpreadLo(), spreadHi = AlphaSpreadHi();
    int32_t i = 0;
    for (; i + 8 <= count; i += 8) {
        __m256i f = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + i));
        __m256i fa = _mm256_and_si256(f, alpha);
        if (_mm256_testz_si256(fa, fa)) continue;
        __m256i opaque = _mm256_cmpeq_epi32(fa, alpha);
        int om = _mm256_movemask_epi8(opaque);
        if (om == -1) {
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + i), f);
            continue;
        }
        __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(d + i));
        __m256i z = MixLanes8(f, b, _mm256_shuffle_epi8(f, spreadLo),
                              _mm256_shuffle_epi8(f, spreadHi));
        if (om) z = _mm256_blendv_epi8(z, f, opaque);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + i), z);
    }
    for (; i < count; ++i)
        MixWeighted(s[i], d[i], s[i] >> 24, MixLanes);
}

__attribute__((target("avx2"))) void AlphaOverRowMasterWide(const TColor32* s, TColor32* d,
                                                            int32_t count, uint32_t m) {
    const __m256i alpha = _mm256_set1_epi32(int(0xFF000000u));
    const __m256i spreadLo = AlphaSpreadLo(), spreadHi = AlphaSpreadHi();
    // ((M + 1) * a) >> 8 as the high half of a * ((M + 1) << 8).
    const bool full = m >= 255; // (m + 1) << 8 would not fit 16 bits; the weight is a itself
    const __m256i scale = _mm256_set1_epi16(short(full ? 0 : (m + 1) << 8));
    int32_t i = 0;
    for (; i + 8 <= count; i += 8) {
        __m256i f = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + i));
        __m256i fa = _mm256_and_si256(f, alpha);
        if (_mm256_testz_si256(fa, fa)) continue;
        __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(d + i));
        __m256i wlo = _mm256_shuffle_epi8(f, spreadLo), whi = _mm256_shuffle_epi8(f, spreadHi);
        if (!full) {
            wlo = _mm256_mulhi_epu16(wlo, scale);
            whi = _mm256_mulhi_epu16(whi, scale);
        }
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + i), MixLanes8(f, b, wlo, whi));
    }
    for (; i < count; ++i)
        AlphaOverMasterWith(s[i], d[i], m, MixLanes);
}

__attribute__((target("avx2"))) void BlendConstantRowWide(TColor32 f, TColor32* d, int32_t count,
                                                          uint32_t w) {
    const __m256i zero = _mm256_setzero_si256();
    // F * W + 128 per channel, and the background weight 256 - W.
    __m256i f16 = _mm256_unpacklo_epi8(_mm256_set1_epi32(int(f)), zero);
    __m256i fw = _mm256_add_epi16(_mm256_mullo_epi16(f16, _mm256_set1_epi16(short(w))),
                                  _mm256_set1_epi16(128));
    __m256i iw = _mm256_set1_epi16(short(256 - w));
    int32_t i = 0;
    for (; i + 8 <= count; i += 8) {
        __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(d + i));
        __m256i lo = _mm256_add_epi16(_mm256_mullo_epi16(_mm256_unpacklo_epi8(b, zero), iw), fw);
        __m256i hi = _mm256_add_epi16(_mm256_mullo_epi16(_mm256_unpackhi_epi8(b, zero), iw), fw);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + i),
                            _mm256_packus_epi16(_mm256_srli_epi16(lo, 8), _mm256_srli_epi16(hi, 8)));
    }
    for (; i < count; ++i)
        d[i] = MixLanes(f, d[i], w);
}

#endif

#else

// Without vector lanes the lane formula goes a pixel at a time.
constexpr auto AlphaOverRowLanes = AlphaOverRowEach<MixLanes>;
constexpr auto AlphaOverRowMasterLanes = AlphaOverRowMasterEach<MixLanes>;
constexpr auto BlendConstantRowLanes = BlendConstantRowEach<MixLanes>;

#endif

struct TBlendTable {
    MixFn Mix;
    void (*Row)(const TColor32*, TColor32*, int32_t);
    void (*RowMaster)(const TColor32*, TColor32*, int32_t, uint32_t);
    void (*ConstantRow)(TColor32, TColor32*, int32_t, uint32_t);
};

const TBlendTable LanesTable{MixLanes, AlphaOverRowLanes, AlphaOverRowMasterLanes,
                             BlendConstantRowLanes};
#if defined(EPC_BLEND_AVX2)
const TBlendTable WideTable{MixLanes, AlphaOverRowWide, AlphaOverRowMasterWide,
                            BlendConstantRowWide};
#endif
const TBlendTable SplitTable{MixSplit, AlphaOverRowEach<MixSplit>, AlphaOverRowMasterEach<MixSplit>,
                             BlendConstantRowEach<MixSplit>};

// The lane formula's routines for this processor.
const TBlendTable* ChooseLanes([[maybe_unused]] bool wide) {
#if defined(EPC_BLEND_AVX2)
    __builtin_cpu_init();
    if (wide && __builtin_cpu_supports("avx2")) return &WideTable;
#endif
    return &LanesTable;
}

// The routines in use and whether 256-bit ones may be. Blending threads read them on every call,
// so they are atomic; the portable table is in place from the start (constant-initialised, so a
// blend during another unit's start-up finds it) and the processor's choice replaces it once,
// before main. Changes pair the two under GSwitchLock.
constinit std::atomic<const TBlendTable*> GBlend{&LanesTable};
constinit std::atomic<bool> GWide{true};
std::mutex GSwitchLock;

[[maybe_unused]] const bool GChosen = [] {
    std::lock_guard<std::mutex> lock(GSwitchLock);
    GBlend = ChooseLanes(true);
    GWide = GBlend.load() != &LanesTable;
    return true;
}();

const TBlendTable& Table() {
    return *GBlend.load(std::memory_order_relaxed);
}

}  // namespace

void SetBlendFormula(TBlendFormula formula) {
    std::lock_guard<std::mutex> lock(GSwitchLock);
    GBlend = formula == TBlendFormula::bfSplit ? &SplitTable : ChooseLanes(GWide);
}

TBlendFormula BlendFormula() {
    return GBlend.load() == &SplitTable ? TBlendFormula::bfSplit : TBlendFormula::bfLanes;
}

bool SetWideBlending(bool wide) {
    std::lock_guard<std::mutex> lock(GSwitchLock);
    GWide = wide;
    if (GBlend.load() != &SplitTable) GBlend = ChooseLanes(wide);
    const TBlendTable* table = GBlend.load();
    return table != &LanesTable && table != &SplitTable;
}

bool WideBlending() {
#if defined(EPC_BLEND_AVX2)
    return GWide.load(std::memory_order_relaxed) && __builtin_cpu_supports("avx2");
#else
    return false;
#endif
}

void BlendConstantRow(TColor32 f, TColor32* dest, int32_t count, uint32_t w) {
    if (count > 0 && (w & 0xFF) != 0) Table().ConstantRow(f, dest, count, w & 0xFF);
}

namespace {

// The formula in use, looked up only when a pixel really mixes.
TColor32 MixInUse(TColor32 f, TColor32 b, uint32_t w) {
    return Table().Mix(f, b, w);
}

} // namespace

void MixInPlace(TColor32 f, TColor32& b, uint32_t w) {
    MixWeighted(f, b, w & 0xFF, MixInUse);
}

void AlphaOverInPlace(TColor32 f, TColor32& b) {
    MixWeighted(f, b, f >> 24, MixInUse);
}

void AlphaOverMasterInPlace(TColor32 f, TColor32& b, uint32_t m) {
    AlphaOverMasterWith(f, b, m & 0xFF, MixInUse);
}

void AlphaOverRow(const TColor32* source, TColor32* dest, int32_t count) {
    if (count > 0) Table().Row(source, dest, count);
}

void AlphaOverRowMaster(const TColor32* source, TColor32* dest, int32_t count, uint32_t m) {
    if (count > 0) Table().RowMaster(source, dest, count, m & 0xFF);
}

}  // namespace epc
