#include "components/graphics/Bitmap32.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include "components/graphics/Blend.h"
#include "components/graphics/Polygons.h"
#include "components/graphics/Transforms.h"
#include "platform/core/Arithmetic.h"
#include "platform/core/Exceptions.h"
#include "platform/core/ScopeGuard.h"
#include "platform/streaming/Filer.h"
#include "platform/streaming/PropertyRegistry.h"

namespace epc {

// ---- Helpers ----------------------------------------------------------------------------------

TColor32 Color32(TColor color) {
    COLORREF c = color < 0 ? GetSysColor(color & 0xFF) : COLORREF(color);
    return 0xFF000000u | ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
}

TColor32 ColorWithAlpha(TColor32 color, int32_t alpha) {
    return (color & 0x00FFFFFF) | (TColor32(ClampInt(alpha, 0, 255)) << 24);
}

TFixedPoint MakeFixedPointFromFloats(double x, double y) {
    return {Round(x * 65536.0), Round(y * 65536.0)};
}

TFloatRect MakeFloatRectFromRect(const TRect& r) {
    return {float(r.Left), float(r.Top), float(r.Right), float(r.Bottom)};
}

TRect MakeRectFromFloatRect(const TFloatRect& r, int mode) {
    TRect result;
    switch (mode) {
    case 1:
        result = {int32_t(std::floor(r.Left)), int32_t(std::floor(r.Top)),
                  int32_t(std::ceil(r.Right)), int32_t(std::ceil(r.Bottom))};
        break;
    case 2:
        result = {int32_t(std::ceil(r.Left)), int32_t(std::ceil(r.Top)),
                  int32_t(std::floor(r.Right)), int32_t(std::floor(r.Bottom))};
        if (result.Left > result.Right) result.Right = result.Left;
        if (result.Top > result.Bottom) result.Bottom = result.Top;
        break;
    default:
        result = {Round(r.Left), Round(r.Top), Round(r.Right), Round(r.Bottom)};
    }
    return result;
}

bool IntersectIntRect(TRect& result, const TRect& a, const TRect& b) {
    TRect r(std::max(a.Left, b.Left), std::max(a.Top, b.Top), std::min(a.Right, b.Right),
            std::min(a.Bottom, b.Bottom));
    if (r.Right < r.Left || r.Bottom < r.Top) {
        result = TRect();
        return false;
    }
    result = r;
    return true;
}

namespace {
// An edge moved past the 32-bit limit stops at it: the part of the rectangle that can be
// represented stays where it was, and a rectangle moved wholly beyond the limit is empty.
int32_t MoveEdge(int32_t edge, int64_t by) {
    return int32_t(std::clamp<int64_t>(edge + by, INT32_MIN, INT32_MAX));
}
} // namespace

void InflateIntRect(TRect& r, int32_t dx, int32_t dy) {
    r.Left = MoveEdge(r.Left, -int64_t(dx));
    r.Top = MoveEdge(r.Top, -int64_t(dy));
    r.Right = MoveEdge(r.Right, dx);
    r.Bottom = MoveEdge(r.Bottom, dy);
}

void OffsetIntRect(TRect& r, int32_t dx, int32_t dy) {
    r.Left = MoveEdge(r.Left, dx);
    r.Top = MoveEdge(r.Top, dy);
    r.Right = MoveEdge(r.Right, dx);
    r.Bottom = MoveEdge(r.Bottom, dy);
}

void FillLongwords(TColor32* dest, int32_t count, TColor32 value) {
    for (int32_t i = 0; i < count; ++i) dest[i] = value;
}

void MoveLongwords(const TColor32* source, TColor32* dest, int32_t count) {
    if (source == dest || count <= 0) return;
    std::memmove(dest, source, size_t(count) * sizeof(TColor32));
}

void SwapInts(int32_t& a, int32_t& b) { std::swap(a, b); }

void SortPair(int32_t& a, int32_t& b) {
    if (a > b) std::swap(a, b);
}

bool ClipSpan(int32_t& a, int32_t& b, int32_t size) {
    SortPair(a, b);
    if (a < 0) a = 0;
    if (b >= size) b = size - 1;
    return b >= a;
}

int32_t MulDivRound(int32_t a, int32_t b, int32_t c) {
    int negatives = (a < 0) + (b < 0) + (c < 0);
    uint64_t p = uint64_t(std::llabs(int64_t(a))) * uint64_t(std::llabs(int64_t(b)));
    uint64_t uc = uint64_t(std::llabs(int64_t(c)));
    if ((p >> 32) * 2 >= uc) return -1;
    uint64_t q = p / uc, r = p % uc;
    if (uc - r <= r) ++q;
    if (q > 0x7FFFFFFFull) return -1;
    return negatives & 1 ? -int32_t(q) : int32_t(q);
}

namespace {

struct TGammaTable {
    uint8_t Values[256];
    TGammaTable() {
        for (int i = 0; i < 256; ++i)
            Values[i] = uint8_t(Round(255.0 * std::pow(i / 255.0, 0.7)));
    }
};

const TGammaTable& Gamma() {
    static const TGammaTable table;
    return table;
}

}  // namespace

const uint8_t* const GAMMA_TABLE = Gamma().Values;

// ---- Change-notifying bases -------------------------------------------------------------------

namespace {
std::mutex& ProcessLock() {
    static std::mutex lock;
    return lock;
}
}  // namespace

TThreadPersistent::TThreadPersistent() = default;
TThreadPersistent::~TThreadPersistent() = default;

void TThreadPersistent::NotifyChanged() {
    if (FUpdateCount == 0 && OnChange) OnChange(this);
}

void TThreadPersistent::EndUpdate() {
    Assert(FUpdateCount > 0, "Unpaired TThreadPersistent.EndUpdate");
    --FUpdateCount;
}

void TThreadPersistent::Lock() {
    {
        std::lock_guard<std::mutex> guard(ProcessLock());
        ++FLockCount;
    }
    FLock.lock();
}

void TThreadPersistent::Unlock() {
    FLock.unlock();
    std::lock_guard<std::mutex> guard(ProcessLock());
    --FLockCount;
}

bool TCustomMap::SetSize(int32_t newWidth, int32_t newHeight) {
    if (newWidth < 0) newWidth = 0;
    if (newHeight < 0) newHeight = 0;
    if (newWidth == FWidth && newHeight == FHeight) return false;
    ChangeSize(FWidth, FHeight, newWidth, newHeight);
    NotifyChanged();
    DoResized();
    return true;
}

void TCustomMap::ChangeSize(int32_t& width, int32_t& height, int32_t newWidth,
                            int32_t newHeight) {
    width = newWidth;
    height = newHeight;
}

void TCustomMap::DoResized() {
    if (OnResize) OnResize(this);
}

// ---- TBitmap32 --------------------------------------------------------------------------------

namespace {
const bool Bitmap32Registered = [] {
    TPublished<TBitmap32>("TBitmap32", "TPersistent")
        .Enum("DrawMode", &TBitmap32::DrawMode, &TBitmap32::SetDrawMode,
              {"dmOpaque", "dmBlend", "dmCustom"}, dmOpaque)
        .Integer("MasterAlpha", &TBitmap32::MasterAlpha, &TBitmap32::SetMasterAlpha, 255)
        .Integer("OuterColor", &TBitmap32::OuterColor, &TBitmap32::SetOuterColor, 0)
        .Enum("StretchFilter", &TBitmap32::StretchFilter, &TBitmap32::SetStretchFilter,
              {"sfNearest", "sfLinear", "sfSpline", "sfLanczos", "sfMitchell"}, sfNearest)
        .Event("OnChange")
        .Event("OnHandleChanged")
        .Event("OnPixelCombine");
    return true;
}();
}  // namespace

TBitmap32::TBitmap32() {
    FBitmapInfo.bmiHeader = BITMAPINFOHEADER();
}

TBitmap32::~TBitmap32() {
    BeginUpdate();
    Lock();
    SetSize(0, 0);
    FSurface.reset();
    Unlock();
}

bool TBitmap32::AllocateOwnBits(int32_t width, int32_t height) {
    size_t bytes = size_t(width) * size_t(height) * sizeof(TColor32);
    if (bytes / sizeof(TColor32) / size_t(width) != size_t(height)) return false;
    void* p = ::operator new(bytes, std::align_val_t(64), std::nothrow);
    if (!p) return false;
    std::memset(p, 0, bytes);
    FOwnBits.reset(static_cast<TColor32*>(p));
    FBits = FOwnBits.get();
    return true;
}

void TBitmap32::FreeOwnBits() {
    if (FBits == FOwnBits.get()) FBits = nullptr;
    FOwnBits.reset();
}

void TBitmap32::ChangeSize(int32_t& width, int32_t& height, int32_t newWidth,
                           int32_t newHeight) {
    if (FSurface) FSurface->ReleaseDib();
    FreeOwnBits();
    FBits = nullptr;
    width = 0;
    height = 0;
    if (newWidth >= 1 && newHeight >= 1) {
        FBitmapInfo.bmiHeader.biWidth = newWidth;
        FBitmapInfo.bmiHeader.biHeight = -newHeight;
        if (!AllocateOwnBits(newWidth, newHeight))
            throw Exception("Can't allocate the DIB handle");
        width = newWidth;
        height = newHeight;
    } else {
        FBitmapInfo.bmiHeader.biWidth = 0;
        FBitmapInfo.bmiHeader.biHeight = 0;
    }
    HandleChanged();
}

void TBitmap32::HandleChanged() {
    if (FSurface) FSurface->Reattach();
    if (OnHandleChanged) OnHandleChanged(this);
}

void TBitmap32::Clear(TColor32 color) {
    if (IsEmpty()) return;
    FillLongwords(FBits, FWidth * FHeight, color);
    NotifyChanged();
}

void TBitmap32::SetDrawMode(TDrawMode value) {
    if (FDrawMode == value) return;
    FDrawMode = value;
    NotifyChanged();
}

void TBitmap32::SetMasterAlpha(uint32_t value) {
    if (FMasterAlpha == value) return;
    FMasterAlpha = value;
    NotifyChanged();
}

void TBitmap32::SetStretchFilter(TStretchFilter value) {
    if (FStretchFilter == value) return;
    FStretchFilter = value;
    NotifyChanged();
}

// ---- Pixels -----------------------------------------------------------------------------------

TColor32 TBitmap32::GetPixelS(int32_t x, int32_t y) const {
    if (x >= 0 && x < FWidth && y >= 0 && y < FHeight) return Pixel(x, y);
    return FOuterColor;
}

void TBitmap32::SetPixelS(int32_t x, int32_t y, TColor32 c) {
    if (x >= 0 && x < FWidth && y >= 0 && y < FHeight) SetPixel(x, y, c);
}

void TBitmap32::SetPixelBlended(int32_t x, int32_t y, TColor32 c) {
    AlphaOverInPlace(c, *PixelPtr(x, y));
}

void TBitmap32::SetPixelBlendedS(int32_t x, int32_t y, TColor32 c) {
    if (x >= 0 && x < FWidth && y >= 0 && y < FHeight) SetPixelBlended(x, y, c);
}

void TBitmap32::SetPixelAA(int32_t x, int32_t y, TColor32 c) {
    const uint8_t* g = GAMMA_TABLE;
    uint32_t a = c >> 24;
    int32_t fx = x & 255, fy = y & 255;
    int32_t px = x >> 8, py = y >> 8;
    uint32_t wx0 = g[255 - fx] * a, wx1 = g[fx] * a;
    MixInPlace(c, *PixelPtr(px, py), (wx0 * g[255 - fy]) >> 16);
    MixInPlace(c, *PixelPtr(px + 1, py), (wx1 * g[255 - fy]) >> 16);
    MixInPlace(c, *PixelPtr(px + 1, py + 1), (wx1 * g[fy]) >> 16);
    MixInPlace(c, *PixelPtr(px, py + 1), (wx0 * g[fy]) >> 16);
}

void TBitmap32::SetPixelAAS(int32_t x, int32_t y, TColor32 c) {
    if (x < -256 || y < -256) return;
    int32_t px = x >> 8, py = y >> 8;
    if (px >= FWidth || py >= FHeight) return;
    const uint8_t* g = GAMMA_TABLE;
    uint32_t a = c >> 24;
    int32_t fx = x & 255, fy = y & 255;
    uint32_t wx0 = g[255 - fx] * a, wx1 = g[fx] * a;
    bool left = px >= 0, right = px + 1 < FWidth, top = py >= 0, bottom = py + 1 < FHeight;
    if (left && top) MixInPlace(c, *PixelPtr(px, py), (wx0 * g[255 - fy]) >> 16);
    if (right && top) MixInPlace(c, *PixelPtr(px + 1, py), (wx1 * g[255 - fy]) >> 16);
    if (right && bottom) MixInPlace(c, *PixelPtr(px + 1, py + 1), (wx1 * g[fy]) >> 16);
    if (left && bottom) MixInPlace(c, *PixelPtr(px, py + 1), (wx0 * g[fy]) >> 16);
}

void TBitmap32::SetPixelFS(TFixed x, TFixed y, TColor32 c) {
    SetPixelAAS(int32_t((int64_t(x) + 127) >> 8), int32_t((int64_t(y) + 127) >> 8), c);
}

void TBitmap32::HorzLine(int32_t x1, int32_t y, int32_t x2, TColor32 c) {
    FillLongwords(PixelPtr(x1, y), x2 - x1 + 1, c);
}

void TBitmap32::HorzLineS(int32_t x1, int32_t y, int32_t x2, TColor32 c) {
    if (y < 0 || y >= FHeight) return;
    if (ClipSpan(x1, x2, FWidth)) HorzLine(x1, y, x2, c);
}

void TBitmap32::HorzLineBlended(int32_t x1, int32_t y, int32_t x2, TColor32 c) {
    TColor32* p = PixelPtr(x1, y);
    for (int32_t i = x1; i <= x2; ++i, ++p) AlphaOverInPlace(c, *p);
}

void TBitmap32::VertLine(int32_t x, int32_t y1, int32_t y2, TColor32 c) {
    TColor32* p = PixelPtr(x, y1);
    for (int32_t i = y1; i <= y2; ++i, p += FWidth) *p = c;
}

void TBitmap32::VertLineS(int32_t x, int32_t y1, int32_t y2, TColor32 c) {
    if (x < 0 || x >= FWidth) return;
    if (ClipSpan(y1, y2, FHeight)) VertLine(x, y1, y2, c);
}

void TBitmap32::VertLineBlended(int32_t x, int32_t y1, int32_t y2, TColor32 c) {
    TColor32* p = PixelPtr(x, y1);
    for (int32_t i = y1; i <= y2; ++i, p += FWidth) AlphaOverInPlace(c, *p);
}

// ---- Lines ------------------------------------------------------------------------------------

template <bool Blend>
void TBitmap32::LineWalk(int32_t x1, int32_t y1, int32_t x2, int32_t y2, TColor32 c, bool l) {
    auto put = [&](int32_t x, int32_t y) {
        if constexpr (Blend)
            AlphaOverInPlace(c, *PixelPtr(x, y));
        else
            *PixelPtr(x, y) = c;
    };
    int32_t dx = x2 - x1, dy = y2 - y1;
    if (dx == 0 || dy == 0) {
        // A run from the start toward the end, the end itself left to include-last.
        if (dx == 0 && dy > 0)
            for (int32_t y = y1; y < y2; ++y) put(x1, y);
        else if (dx == 0 && dy < 0)
            for (int32_t y = y2 + 1; y <= y1; ++y) put(x1, y);
        else if (dx > 0)
            for (int32_t x = x1; x < x2; ++x) put(x, y1);
        else if (dx < 0)
            for (int32_t x = x2 + 1; x <= x1; ++x) put(x, y1);
    } else {
        int32_t sx = dx > 0 ? 1 : -1, sy = dy > 0 ? 1 : -1;
        dx = std::abs(dx);
        dy = std::abs(dy);
        int32_t x = x1, y = y1;
        if (dy >= dx) {
            int32_t e = dy / 2;
            for (int32_t i = 0; i < dy; ++i) {
                put(x, y);
                y += sy;
                e += dx;
                if (e > dy) {
                    x += sx;
                    e -= dy;
                }
            }
        } else {
            int32_t e = dx / 2;
            for (int32_t i = 0; i < dx; ++i) {
                put(x, y);
                x += sx;
                e += dy;
                if (e > dx) {
                    y += sy;
                    e -= dx;
                }
            }
        }
    }
    if (l) put(x2, y2);
}

void TBitmap32::DrawLine(int32_t x1, int32_t y1, int32_t x2, int32_t y2, TColor32 c, bool l) {
    LineWalk<false>(x1, y1, x2, y2, c, l);
    NotifyChanged();
}

void TBitmap32::DrawLineBlended(int32_t x1, int32_t y1, int32_t x2, int32_t y2, TColor32 c,
                                bool l) {
    LineWalk<true>(x1, y1, x2, y2, c, l);
    NotifyChanged();
}

void TBitmap32::DrawLineS(int32_t x1, int32_t y1, int32_t x2, int32_t y2, TColor32 c, bool l) {
    if (IsEmpty()) return;
    int32_t ox2 = x2, oy2 = y2;
    if (!ClipLine(x1, y1, x2, y2, 0, 0, FWidth - 1, FHeight - 1)) return;
    if (x2 != ox2 || y2 != oy2) l = true;
    LineWalk<false>(x1, y1, x2, y2, c, l);
    NotifyChanged();
}

void TBitmap32::DrawLineBlendedS(int32_t x1, int32_t y1, int32_t x2, int32_t y2, TColor32 c,
                                 bool l) {
    if (IsEmpty()) return;
    int32_t ox2 = x2, oy2 = y2;
    if (!ClipLine(x1, y1, x2, y2, 0, 0, FWidth - 1, FHeight - 1)) return;
    if (x2 != ox2 || y2 != oy2) l = true;
    LineWalk<true>(x1, y1, x2, y2, c, l);
    NotifyChanged();
}

template <bool Clip>
void TBitmap32::AALineWalk(TFixed x1, TFixed y1, TFixed x2, TFixed y2, TColor32 c, bool l) {
    auto put = [&](int32_t x, int32_t y, TColor32 col) {
        if constexpr (Clip)
            SetPixelAAS(x, y, col);
        else
            SetPixelAA(x, y, col);
    };
    int64_t nx = int64_t(x2) - x1, ny = int64_t(y2) - y1;
    // 1/512 pixel below a half, so that the 24.8 conversion below rounds.
    int64_t cx = int64_t(x1) + 127, cy = int64_t(y1) + 127;
    int64_t ex = int64_t(x2) + 127, ey = int64_t(y2) + 127;
    // Halves round to even here as everywhere else; 64 bits, as a diagonal across the whole
    // 32-bit range is longer than 32 bits hold.
    auto round = [](double v) { return int64_t(std::nearbyint(v)); };
    int64_t hyp = round(std::hypot(double(nx), double(ny)));
    if (l) hyp += 65536;
    if (hyp < 256) return;
    int64_t n = hyp >> 16;
    // The midpoint below steps back by this step even when no whole step was taken.
    double h = 65536.0 / double(hyp);
    int64_t sx = round(double(nx) * h), sy = round(double(ny) * h);
    for (int64_t i = 0; i < n; ++i) {
        put(int32_t(cx >> 8), int32_t(cy >> 8), c);
        cx += sx;
        cy += sy;
    }
    int32_t px = int32_t((cx + ex + 127 - sx) >> 9);
    int32_t py = int32_t((cy + ey + 127 - sy) >> 9);
    uint32_t a = uint32_t(((c >> 24) * uint64_t(hyp - n * 65536)) >> 16);
    put(px, py, (c & 0x00FFFFFF) | (a << 24));
}

void TBitmap32::DrawLineAA(TFixed x1, TFixed y1, TFixed x2, TFixed y2, TColor32 c, bool l) {
    AALineWalk<false>(x1, y1, x2, y2, c, l);
    EndMmxBlending();
    NotifyChanged();
}

void TBitmap32::DrawLineAAS(TFixed x1, TFixed y1, TFixed x2, TFixed y2, TColor32 c, bool l) {
    if (IsEmpty()) return;
    TFixed ox2 = x2, oy2 = y2;
    // The far edges in 16.16 leave 32 bits from 32,768 pixels on; no 16.16 point lies beyond
    // them then, so the bound saturates.
    auto edge = [](int32_t size) {
        return int32_t(std::min<int64_t>(int64_t(size) * 65536, INT32_MAX));
    };
    if (!ClipLine(x1, y1, x2, y2, -65536, -65536, edge(FWidth), edge(FHeight))) return;
    if (x2 != ox2 || y2 != oy2) l = true;
    const int64_t m = 2 * 65536;
    auto inside = [&](TFixed x, TFixed y) {
        return x >= m && y >= m && x <= int64_t(FWidth) * 65536 - m &&
               y <= int64_t(FHeight) * 65536 - m;
    };
    if (inside(x1, y1) && inside(x2, y2))
        AALineWalk<false>(x1, y1, x2, y2, c, l);
    else
        AALineWalk<true>(x1, y1, x2, y2, c, l);
    EndMmxBlending();
    NotifyChanged();
}

void TBitmap32::LineToS(int32_t x, int32_t y) {
    DrawLineS(FPenPosX, FPenPosY, x, y, FPenColor);
    MoveTo(x, y);
}

void TBitmap32::LineToBlendedS(int32_t x, int32_t y) {
    DrawLineBlendedS(FPenPosX, FPenPosY, x, y, FPenColor);
    MoveTo(x, y);
}

void TBitmap32::LineToXS(TFixed x, TFixed y) {
    DrawLineAAS(FPenPosXF, FPenPosYF, x, y, FPenColor);
    MoveToX(x, y);
}

// ---- Rectangles -------------------------------------------------------------------------------

void TBitmap32::FillRectUnclipped(int32_t x1, int32_t y1, int32_t x2, int32_t y2, TColor32 c) {
    for (int32_t y = y1; y < y2; ++y) FillLongwords(PixelPtr(x1, y), x2 - x1, c);
    NotifyChanged();
}

void TBitmap32::FillRectClipped(int32_t x1, int32_t y1, int32_t x2, int32_t y2, TColor32 c) {
    if (x1 >= x2 || y1 >= y2 || IsEmpty()) return;
    if (x2 <= 0 || y2 <= 0 || x1 >= FWidth || y1 >= FHeight) return;
    FillRectUnclipped(std::max(x1, 0), std::max(y1, 0), std::min(x2, FWidth),
                      std::min(y2, FHeight), c);
}

void TBitmap32::FrameRect(int32_t x1, int32_t y1, int32_t x2, int32_t y2, TColor32 c) {
    if (x1 >= x2 || y1 >= y2 || x1 >= FWidth || y1 >= FHeight || IsEmpty()) return;
    HorzLineS(x1, y1, x2 - 1, c);
    if (y1 < y2 - 1) HorzLineS(x1, y2 - 1, x2 - 1, c);
    if (y2 - 1 > y1 + 1) {
        VertLineS(x1, y1 + 1, y2 - 2, c);
        if (x2 - 1 > x1) VertLineS(x2 - 1, y1 + 1, y2 - 2, c);
    }
    NotifyChanged();
}

// ---- Transfers into other bitmaps ------------------------------------------------------------

void TBitmap32::DrawToBitmap(TBitmap32* dest) {
    if (!dest || IsEmpty() || dest->IsEmpty()) return;
    BlockTransfer(dest, 0, 0, dest->BoundsRect(), this, BoundsRect(), FDrawMode, OnPixelCombine);
    dest->NotifyChanged();
}

void TBitmap32::DrawToBitmapRect(TBitmap32* dest, const TRect& destRect) {
    if (!dest || IsEmpty() || dest->IsEmpty()) return;
    StretchTransfer(dest, destRect, dest->BoundsRect(), this, BoundsRect(), FStretchFilter,
                    FDrawMode, OnPixelCombine);
    dest->NotifyChanged();
}

void TBitmap32::StretchToBitmap(TBitmap32* dest, const TRect& destRect, const TRect& srcRect) {
    if (!dest || IsEmpty() || dest->IsEmpty()) return;
    StretchTransfer(dest, destRect, dest->BoundsRect(), this, srcRect, FStretchFilter, FDrawMode,
                    OnPixelCombine);
    dest->NotifyChanged();
}

// ---- Assignment and storage -------------------------------------------------------------------

void TBitmap32::AssignFrom(TPersistent* source) {
    if (source == this) return;
    auto* src = dynamic_cast<TBitmap32*>(source);
    bool done = true;
    BeginUpdate();
    {
        auto cleanup = Finally([&] { EndUpdate(); });
        if (!source) {
            SetSize(0, 0);
        } else if (src) {
            SetSize(src->Width(), src->Height());
            if (!IsEmpty())
                std::memcpy(FBits, src->FBits, size_t(FWidth) * size_t(FHeight) * 4);
            FDrawMode = src->FDrawMode;
            FMasterAlpha = src->FMasterAlpha;
            FOuterColor = src->FOuterColor;
            FStretchFilter = src->FStretchFilter;
        } else {
            // Pictures of the framework are taken over by the platform unit.
            done = AssignFromGraphic(source);
        }
    }
    if (!done) {
        TPersistent::Assign(source); // raises the conversion error
        return;
    }
    NotifyChanged();
}

void TBitmap32::CopyToGraphic(TPersistent* dest) {
    if (!AssignToGraphic(dest)) TPersistent::AssignTo(dest);
}

void TBitmap32::DefineDataProperty(TFiler* filer) {
    // Streams hold no ancestor to compare with: a bitmap with pixels is always written.
    filer->DefineBinaryProperty(
        "Data", [this](TStream& s) { ReadPixelData(s); }, [this](TStream& s) { WritePixelData(s); },
        DataDiffers(nullptr));
}

void TBitmap32::ReadPixelData(TStream& stream) {
    int32_t w = stream.ReadInt32();
    int32_t h = stream.ReadInt32();
    // Refuse sizes the stream cannot hold before allocating anything.
    int64_t remaining = stream.Size() - stream.Position();
    if (w < 0 || h < 0 || int64_t(w) * int64_t(h) > remaining / 4)
        throw EReadError(SReadError);
    SetSize(w, h);
    if (!IsEmpty()) stream.ReadBuffer(FBits, int64_t(w) * h * 4);
    NotifyChanged();
}

void TBitmap32::WritePixelData(TStream& stream) const {
    stream.WriteInt32(FWidth);
    stream.WriteInt32(FHeight);
    if (!IsEmpty()) stream.WriteBuffer(FBits, int64_t(FWidth) * FHeight * 4);
}

bool TBitmap32::DataDiffers(const TBitmap32* ancestor) const {
    if (!ancestor) return !IsEmpty();
    if (IsEmpty() && ancestor->IsEmpty()) return false;
    if (IsEmpty() != ancestor->IsEmpty() || ClassName() != ancestor->ClassName()) return true;
    if (FWidth != ancestor->FWidth || FHeight != ancestor->FHeight) return true;
    return std::memcmp(FBits, ancestor->FBits, size_t(FWidth) * size_t(FHeight) * 4) != 0;
}

}  // namespace epc
