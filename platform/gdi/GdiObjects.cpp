// Pens, brushes, fonts, bitmaps and device contexts: creation, selection, state and the
// conversions between device-independent bitmaps and our 32-bit surfaces.

#include <algorithm>
#include <cstring>

#include "platform/gdi/GdiInternal.h"
#include "platform/gdi/GdiSink.h"

namespace epc {

// ---- Bitmaps -------------------------------------------------------------------------------

namespace {

bool ScreenPaletteBased() {
    return TBoundState<TGdiState>::Current().ScreenPaletteBased;
}

int RowBytes(int width, int bpp) {
    return ((width * bpp + 31) / 32) * 4;
}

void DefaultColors(std::vector<RGBQUAD>& colors, int bpp) {
    colors.clear();
    if (bpp == 1) {
        colors.push_back({0, 0, 0, 0});
        colors.push_back({255, 255, 255, 0});
    } else if (bpp == 4 || bpp == 8) {
        // A grey ramp stands in for a missing colour table.
        int n = 1 << bpp;
        for (int i = 0; i < n; ++i) {
            uint8_t v = uint8_t(i * 255 / (n - 1));
            colors.push_back({v, v, v, 0});
        }
    }
}

uint32_t QuadToPixel(const RGBQUAD& q) {
    return 0xFF000000u | (uint32_t(q.rgbRed) << 16) | (uint32_t(q.rgbGreen) << 8) | q.rgbBlue;
}

int NearestColor(const std::vector<RGBQUAD>& colors, uint32_t p) {
    int r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
    int best = 0, bestDist = 1 << 30;
    for (size_t i = 0; i < colors.size(); ++i) {
        int dr = r - colors[i].rgbRed, dg = g - colors[i].rgbGreen, db = b - colors[i].rgbBlue;
        int d = dr * dr + dg * dg + db * db;
        if (d < bestDist) {
            bestDist = d;
            best = int(i);
            if (d == 0) break;
        }
    }
    return best;
}

// Reads one row of packed pixels into 32-bit pixels.
void UnpackRow(const uint8_t* src, int bpp, int width, const std::vector<RGBQUAD>& colors,
               uint32_t* dst) {
    auto color = [&](int index) {
        return index < int(colors.size()) ? QuadToPixel(colors[index]) : 0xFF000000u;
    };
    switch (bpp) {
    case 32:
        std::memcpy(dst, src, size_t(width) * 4);
        break;
    case 24:
        for (int x = 0; x < width; ++x, src += 3)
            dst[x] = 0xFF000000u | (uint32_t(src[2]) << 16) | (uint32_t(src[1]) << 8) | src[0];
        break;
    case 16:
        for (int x = 0; x < width; ++x) {
            uint32_t v = src[2 * x] | (src[2 * x + 1] << 8);
            uint32_t r = (v >> 10) & 31, g = (v >> 5) & 31, b = v & 31;
            dst[x] = 0xFF000000u | (((r << 3) | (r >> 2)) << 16) | (((g << 3) | (g >> 2)) << 8) |
                     ((b << 3) | (b >> 2));
        }
        break;
    case 8:
        for (int x = 0; x < width; ++x)
            dst[x] = color(src[x]);
        break;
    case 4:
        for (int x = 0; x < width; ++x)
            dst[x] = color((src[x / 2] >> ((x & 1) ? 0 : 4)) & 15);
        break;
    case 1:
        for (int x = 0; x < width; ++x)
            dst[x] = color((src[x / 8] >> (7 - (x & 7))) & 1);
        break;
    default:
        std::fill_n(dst, width, 0xFF000000u);
    }
}

void PackRow(const uint32_t* src, int bpp, int width, const std::vector<RGBQUAD>& colors,
             uint8_t* dst) {
    switch (bpp) {
    case 32:
        std::memcpy(dst, src, size_t(width) * 4);
        break;
    case 24:
        for (int x = 0; x < width; ++x, dst += 3) {
            dst[0] = uint8_t(src[x]);
            dst[1] = uint8_t(src[x] >> 8);
            dst[2] = uint8_t(src[x] >> 16);
        }
        break;
    case 16:
        for (int x = 0; x < width; ++x) {
            uint32_t p = src[x];
            uint32_t v = (((p >> 19) & 31) << 10) | (((p >> 11) & 31) << 5) | ((p >> 3) & 31);
            dst[2 * x] = uint8_t(v);
            dst[2 * x + 1] = uint8_t(v >> 8);
        }
        break;
    case 8: {
        uint32_t lastP = 0;
        int lastI = -1;
        for (int x = 0; x < width; ++x) {
            if (lastI < 0 || src[x] != lastP) {
                lastP = src[x];
                lastI = NearestColor(colors, lastP);
            }
            dst[x] = uint8_t(lastI);
        }
        break;
    }
    case 4:
        std::memset(dst, 0, size_t(width + 1) / 2);
        for (int x = 0; x < width; ++x)
            dst[x / 2] |= uint8_t(NearestColor(colors, src[x]) << ((x & 1) ? 0 : 4));
        break;
    case 1: {
        std::memset(dst, 0, size_t(width + 7) / 8);
        for (int x = 0; x < width; ++x)
            if (NearestColor(colors, src[x]) == 1) dst[x / 8] |= uint8_t(0x80 >> (x & 7));
        break;
    }
    default:
        break;
    }
}

} // namespace

void TGdiBitmap::Allocate(int width, int height, int bpp) {
    Width = std::max(width, 0);
    Height = std::max(height, 0);
    Bpp = bpp;
    Stride = RowBytes(Width, Bpp);
    Data.assign(size_t(Stride) * Height, 0);
    DefaultColors(Colors, bpp);
    Shadow.clear();
    ShadowValid = ShadowDirty = false;
}

const uint32_t* TGdiBitmap::PixelsForRead() {
    if (Bpp == 32) return reinterpret_cast<const uint32_t*>(Data.data());
    if (!ShadowValid) {
        Shadow.resize(size_t(Width) * Height);
        for (int y = 0; y < Height; ++y)
            UnpackRow(Data.data() + size_t(y) * Stride, Bpp, Width, Colors,
                      Shadow.data() + size_t(y) * Width);
        ShadowValid = true;
        ShadowDirty = false;
    }
    return Shadow.data();
}

uint32_t* TGdiBitmap::Pixels() {
    return Pixels(TRect(0, 0, Width, Height));
}

uint32_t* TGdiBitmap::Pixels(const TRect& area) {
    Touched = true;
    UnionRect(TouchedBox, TouchedBox, area);
    if (Bpp == 32) return reinterpret_cast<uint32_t*>(Data.data());
    PixelsForRead();
    ShadowDirty = true;
    return Shadow.data();
}

void TGdiBitmap::SyncBits() {
    if (Bpp == 32) return;
    if (ShadowValid && ShadowDirty) {
        for (int y = 0; y < Height; ++y)
            PackRow(Shadow.data() + size_t(y) * Width, Bpp, Width, Colors,
                    Data.data() + size_t(y) * Stride);
    }
    ShadowValid = ShadowDirty = false;
}

namespace {
// Sizes whose pixels (and 32-bit drawing copy) stay well inside the address arithmetic.
bool SaneSize(int64_t width, int64_t height, int bpp) {
    return width >= 0 && height >= 0 && width <= (1 << 24) && height <= (1 << 24) &&
           width * height * std::max(bpp, 32) / 8 <= (int64_t(1) << 31);
}
} // namespace

HBITMAP NewBitmap(int width, int height, int bpp) {
    auto* b = new TGdiBitmap;
    if (SaneSize(width, height, bpp))
        b->Allocate(width, height, bpp);
    else
        b->Allocate(0, 0, bpp);
    return b;
}

bool DibToPixels(const void* bits, const BITMAPINFO* info, std::vector<uint32_t>& out, int& width,
                 int& height) {
    if (!bits || !info) return false;
    const BITMAPINFOHEADER& h = info->bmiHeader;
    int bpp = h.biBitCount;
    if (h.biWidth <= 0 || h.biHeight == 0 ||
        (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32))
        return false;
    int64_t rows = h.biHeight < 0 ? -int64_t(h.biHeight) : int64_t(h.biHeight);
    if (!SaneSize(h.biWidth, rows, bpp)) return false;
    width = h.biWidth;
    height = int(rows);
    bool bottomUp = h.biHeight > 0;
    std::vector<RGBQUAD> colors;
    if (bpp <= 8) {
        int n = h.biClrUsed ? int(std::min<DWORD>(h.biClrUsed, 256)) : (1 << bpp);
        colors.assign(info->bmiColors, info->bmiColors + n);
    }
    int stride = RowBytes(width, bpp);
    out.resize(size_t(width) * height);
    const auto* src = static_cast<const uint8_t*>(bits);
    for (int y = 0; y < height; ++y) {
        int srcRow = bottomUp ? height - 1 - y : y;
        UnpackRow(src + size_t(srcRow) * stride, bpp, width, colors,
                  out.data() + size_t(y) * width);
    }
    return true;
}

HBITMAP CreateDIBSection(HDC, const BITMAPINFO* info, UINT, void** bits, void*, DWORD) {
    if (bits) *bits = nullptr;
    if (!info) return nullptr;
    const BITMAPINFOHEADER& h = info->bmiHeader;
    int bpp = h.biBitCount;
    if (h.biWidth < 0 || (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32))
        return nullptr;
    int64_t height = h.biHeight < 0 ? -int64_t(h.biHeight) : int64_t(h.biHeight);
    if (!SaneSize(h.biWidth, height, bpp)) return nullptr;
    auto* b = new TGdiBitmap;
    b->Allocate(h.biWidth, int(height), bpp);
    if (bpp <= 8) {
        int n = h.biClrUsed ? int(std::min<DWORD>(h.biClrUsed, 256)) : (1 << bpp);
        b->Colors.assign(info->bmiColors, info->bmiColors + n);
    }
    if (bits) *bits = b->Data.data();
    return b;
}

BITMAPINFO TopDownBitmapInfo(int width, int height) {
    BITMAPINFO info{};
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biBitCount = 32;
    return info;
}

HBITMAP CreateCompatibleBitmap(HDC dc, int width, int height) {
    if (!SaneSize(width, height, 32)) return nullptr;
    bool mono = dc && dc->Memory && dc->S.Bitmap && dc->S.Bitmap->Bpp == 1;
    return NewBitmap(width, height, mono ? 1 : 32);
}

HBITMAP CreateBitmap(int width, int height, UINT, UINT bitCount, const void* bits) {
    int bpp = bitCount <= 1    ? 1
              : bitCount <= 4  ? 4
              : bitCount <= 8  ? 8
              : bitCount <= 16 ? 16
              : bitCount <= 24 ? 24
                               : 32;
    if (!SaneSize(width, height, bpp)) return nullptr;
    HBITMAP b = NewBitmap(width, height, bpp);
    if (bits) {
        // Device-dependent rows are WORD-aligned.
        int srcStride = ((b->Width * bpp + 15) / 16) * 2;
        int copy = std::min(srcStride, b->Stride);
        for (int y = 0; y < b->Height; ++y)
            std::memcpy(b->Data.data() + size_t(y) * b->Stride,
                        static_cast<const uint8_t*>(bits) + size_t(y) * srcStride, copy);
    }
    return b;
}

TBitmapBits GetBitmapBits(HBITMAP bitmap) {
    TBitmapBits r;
    if (!bitmap) return r;
    bitmap->SyncBits();
    r.Width = bitmap->Width;
    r.Height = bitmap->Height;
    r.BitsPerPixel = bitmap->Bpp;
    r.Stride = bitmap->Stride;
    r.Bits = bitmap->Data.data();
    return r;
}

int GetDIBits(HDC, HBITMAP bitmap, UINT start, UINT lines, void* bits, BITMAPINFO* info, UINT) {
    if (!bitmap || !info) return 0;
    BITMAPINFOHEADER& h = info->bmiHeader;
    if (!bits) {
        int bpp = h.biBitCount ? h.biBitCount : bitmap->Bpp;
        h.biWidth = bitmap->Width;
        h.biHeight = bitmap->Height;
        h.biPlanes = 1;
        h.biBitCount = uint16_t(bpp);
        h.biCompression = BI_RGB;
        h.biSizeImage = DWORD(RowBytes(bitmap->Width, bpp) * bitmap->Height);
        if (bpp <= 8) {
            std::vector<RGBQUAD> colors = bitmap->Colors;
            if (int(colors.size()) != (1 << bpp) || bitmap->Bpp != bpp) DefaultColors(colors, bpp);
            std::copy(colors.begin(), colors.end(), info->bmiColors);
        }
        return bitmap->Height ? bitmap->Height : 1;
    }
    int bpp = h.biBitCount;
    if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 24 && bpp != 32) return 0;
    if (h.biWidth != bitmap->Width) h.biWidth = bitmap->Width;
    bool bottomUp = h.biHeight >= 0;
    int height = bitmap->Height;
    if (start >= UINT(height)) return 0;
    int count = int(std::min<UINT>(lines, UINT(height) - start));
    int stride = RowBytes(bitmap->Width, bpp);
    std::vector<RGBQUAD> colors;
    if (bpp <= 8) {
        if (bitmap->Bpp == bpp)
            colors = bitmap->Colors;
        else
            DefaultColors(colors, bpp);
        std::copy(colors.begin(), colors.end(), info->bmiColors);
        h.biClrUsed = 0;
    }
    const uint32_t* px = bitmap->PixelsForRead();
    int pstride = bitmap->PixelStride();
    auto* out = static_cast<uint8_t*>(bits);
    for (int i = 0; i < count; ++i) {
        // Scan line `start + i` counted in the DIB's own order.
        int dibRow = int(start) + i;
        int srcY = bottomUp ? height - 1 - dibRow : dibRow;
        uint8_t* row = out + size_t(i) * stride;
        if (bpp == bitmap->Bpp && bpp != 32) {
            bitmap->SyncBits();
            std::memcpy(row, bitmap->Data.data() + size_t(srcY) * bitmap->Stride, stride);
            px = bitmap->PixelsForRead();
        } else {
            PackRow(px + size_t(srcY) * pstride, bpp, bitmap->Width, colors, row);
        }
    }
    return count;
}

int SetDIBits(HDC, HBITMAP bitmap, UINT start, UINT lines, const void* bits, const BITMAPINFO* info,
              UINT) {
    if (!bitmap || !bits || !info) return 0;
    BITMAPINFO full = *info;
    int height =
        info->bmiHeader.biHeight < 0 ? -info->bmiHeader.biHeight : info->bmiHeader.biHeight;
    if (start >= UINT(height)) return 0;
    int count = int(std::min<UINT>(lines, UINT(height) - start));
    bool bottomUp = info->bmiHeader.biHeight > 0;
    full.bmiHeader.biHeight = -count; // the given lines, in their own order
    std::vector<uint32_t> pixels;
    int w = 0, h = 0;
    if (!DibToPixels(bits, &full, pixels, w, h)) return 0;
    uint32_t* dst = bitmap->Pixels();
    int pstride = bitmap->PixelStride();
    int cw = std::min(w, bitmap->Width);
    for (int i = 0; i < count; ++i) {
        int dibRow = int(start) + i;
        int y = bottomUp ? height - 1 - dibRow : dibRow;
        if (y < 0 || y >= bitmap->Height) continue;
        std::memcpy(dst + size_t(y) * pstride, pixels.data() + size_t(i) * w, size_t(cw) * 4);
    }
    return count;
}

// ---- Pens, brushes, fonts ---------------------------------------------------------------

HPEN CreatePen(int style, int width, COLORREF color) {
    LOGPEN lp;
    lp.lopnStyle = UINT(style);
    lp.lopnWidth = POINT(width, 0);
    lp.lopnColor = color;
    return CreatePenIndirect(lp);
}

HPEN CreatePenIndirect(const LOGPEN& lp) {
    auto* p = new TGdiPen;
    p->Log = lp;
    return p;
}

HBRUSH CreateSolidBrush(COLORREF color) {
    LOGBRUSH lb;
    lb.lbStyle = BS_SOLID;
    lb.lbColor = color;
    return CreateBrushIndirect(lb);
}

HBRUSH CreateHatchBrush(int hatch, COLORREF color) {
    LOGBRUSH lb;
    lb.lbStyle = BS_HATCHED;
    lb.lbColor = color;
    lb.lbHatch = uintptr_t(hatch);
    return CreateBrushIndirect(lb);
}

HBRUSH CreatePatternBrush(HBITMAP bitmap) {
    LOGBRUSH lb;
    lb.lbStyle = BS_PATTERN;
    lb.lbHatch = reinterpret_cast<uintptr_t>(bitmap);
    return CreateBrushIndirect(lb);
}

HBRUSH CreateBrushIndirect(const LOGBRUSH& lb) {
    auto* b = new TGdiBrush;
    b->Log = lb;
    if (lb.lbStyle == BS_PATTERN) {
        auto* bmp = reinterpret_cast<HBITMAP>(lb.lbHatch);
        b->Log.lbHatch = 0; // the brush keeps a copy, not the bitmap
        b->Pattern.fill(0xFFFFFFFFu);
        if (bmp && bmp->Width > 0 && bmp->Height > 0) {
            b->MonoPattern = bmp->Bpp == 1;
            const uint32_t* px = bmp->PixelsForRead();
            int ps = bmp->PixelStride();
            for (int y = 0; y < 8; ++y)
                for (int x = 0; x < 8; ++x)
                    b->Pattern[y * 8 + x] =
                        px[size_t(y % bmp->Height) * ps + (x % bmp->Width)] | 0xFF000000u;
        }
    }
    return b;
}

TFontInstance& TGdiFont::Face() {
    if (!Instance) {
        TFontRequest rq;
        int n = 0;
        while (n < LF_FACESIZE && Log.lfFaceName[n])
            ++n;
        rq.FaceName.assign(Log.lfFaceName, n);
        rq.Height = Log.lfHeight;
        rq.Width = Log.lfWidth;
        rq.Weight = Log.lfWeight ? Log.lfWeight : FW_NORMAL;
        rq.Italic = Log.lfItalic != 0;
        rq.Underline = Log.lfUnderline != 0;
        rq.StrikeOut = Log.lfStrikeOut != 0;
        rq.Charset = Log.lfCharSet;
        rq.PitchAndFamily = Log.lfPitchAndFamily;
        Instance = AcquireFont(rq);
        Advances.assign(kDirectAdvances, -1);
    }
    return *Instance;
}

HFONT CreateFontIndirectW(const LOGFONTW& lf) {
    auto* f = new TGdiFont;
    f->Log = lf;
    return f;
}

namespace {

TGdiFont* MakeStockFont(const char16_t* face, int height, uint8_t pitch) {
    auto* f = new TGdiFont;
    for (int i = 0; face[i] && i < LF_FACESIZE - 1; ++i)
        f->Log.lfFaceName[i] = face[i];
    f->Log.lfHeight = height;
    f->Log.lfPitchAndFamily = pitch;
    return f;
}

struct TStockObjects {
    HGDIOBJ Objects[18] = {};
    TStockObjects() {
        auto brush = [](COLORREF c, UINT style) {
            LOGBRUSH lb;
            lb.lbStyle = style;
            lb.lbColor = c;
            return CreateBrushIndirect(lb);
        };
        Objects[WHITE_BRUSH] = brush(RGB(255, 255, 255), BS_SOLID);
        Objects[LTGRAY_BRUSH] = brush(RGB(192, 192, 192), BS_SOLID);
        Objects[GRAY_BRUSH] = brush(RGB(128, 128, 128), BS_SOLID);
        Objects[DKGRAY_BRUSH] = brush(RGB(64, 64, 64), BS_SOLID);
        Objects[BLACK_BRUSH] = brush(0, BS_SOLID);
        Objects[NULL_BRUSH] = brush(0, BS_NULL);
        Objects[WHITE_PEN] = CreatePen(PS_SOLID, 1, RGB(255, 255, 255));
        Objects[BLACK_PEN] = CreatePen(PS_SOLID, 1, 0);
        Objects[NULL_PEN] = CreatePen(PS_NULL, 1, 0);
        // The user-interface fonts resolve to a sans face of about 8 points at 96 ppi.
        HFONT sans = MakeStockFont(u"MS Sans Serif", -11, VARIABLE_PITCH | FF_SWISS);
        HFONT fixed = MakeStockFont(u"Courier New", -13, FIXED_PITCH | FF_MODERN);
        Objects[OEM_FIXED_FONT] = fixed;
        Objects[ANSI_FIXED_FONT] = fixed;
        Objects[ANSI_VAR_FONT] = sans;
        Objects[SYSTEM_FONT] = sans;
        Objects[9] = sans;   // the device default font
        Objects[14] = fixed; // the system fixed font
        Objects[DEFAULT_GUI_FONT] = sans;
        Objects[DEFAULT_PALETTE] = new TGdiPalette;
        for (HGDIOBJ o : Objects)
            if (o) o->Stock = true;
    }
};

TStockObjects& Stock() {
    static TStockObjects stock;
    return stock;
}

} // namespace

HGDIOBJ GetStockObject(int index) {
    if (index < 0 || index >= 18) return nullptr;
    return Stock().Objects[index];
}

void RefObject(HGDIOBJ obj) {
    if (obj) ++obj->SelectCount;
}

void UnrefObject(HGDIOBJ obj) {
    if (!obj || obj->SelectCount <= 0) return;
    if (--obj->SelectCount == 0 && obj->DeletePending) delete obj;
}

TGdiFont* CurrentFont(HDC dc) {
    TGdiFont* f = dc->S.Font ? dc->S.Font : static_cast<TGdiFont*>(GetStockObject(SYSTEM_FONT));
    f->Face();
    return f;
}

int SelectClipRgn(HDC dc, HRGN rgn);

HGDIOBJ SelectObject(HDC dc, HGDIOBJ object) {
    if (!dc || !object) return nullptr;
    auto swap = [&](auto*& slot, auto* value) -> HGDIOBJ {
        auto* old = slot;
        if (old == value) return old;
        RefObject(value);
        UnrefObject(old);
        slot = value;
        return old;
    };
    switch (object->Type) {
    case OBJ_PEN:
        return swap(dc->S.Pen, static_cast<HPEN>(object));
    case OBJ_BRUSH:
        return swap(dc->S.Brush, static_cast<HBRUSH>(object));
    case OBJ_FONT:
        return swap(dc->S.Font, static_cast<HFONT>(object));
    case OBJ_BITMAP: {
        auto* bmp = static_cast<HBITMAP>(object);
        if (!dc->Memory) return nullptr;
        if (bmp->SelectedIn && bmp->SelectedIn != dc) return nullptr;
        HBITMAP old = dc->S.Bitmap;
        if (old == bmp) return old;
        if (old) old->SelectedIn = nullptr;
        bmp->SelectedIn = dc;
        swap(dc->S.Bitmap, bmp);
        dc->InvalidateVisible();
        return old;
    }
    case OBJ_REGION:
        return reinterpret_cast<HGDIOBJ>(uintptr_t(SelectClipRgn(dc, static_cast<HRGN>(object))));
    default:
        return nullptr;
    }
}

BOOL DeleteObject(HGDIOBJ object) {
    if (!object) return 0;
    if (object->Stock) return 1;
    if (object->SelectCount > 0) {
        object->DeletePending = true; // the last deselection deletes it
        return 1;
    }
    delete object;
    return 1;
}

int GetObjectW(HGDIOBJ object, int size, void* out) {
    if (!object) return 0;
    auto put = [&](const auto& value) {
        int n = int(sizeof(value));
        if (!out) return n;
        n = std::min(n, size);
        std::memcpy(out, &value, size_t(n));
        return n;
    };
    switch (object->Type) {
    case OBJ_PEN:
        return put(static_cast<HPEN>(object)->Log);
    case OBJ_BRUSH:
        return put(static_cast<HBRUSH>(object)->Log);
    case OBJ_FONT:
        return put(static_cast<HFONT>(object)->Log);
    case OBJ_BITMAP: {
        auto* b = static_cast<HBITMAP>(object);
        b->SyncBits();
        BITMAP bm{0, b->Width, b->Height, b->Stride, 1, uint16_t(b->Bpp), b->Data.data()};
        return put(bm);
    }
    default:
        return 0;
    }
}

UINT GetObjectType(HGDIOBJ object) {
    return object ? object->Type : 0;
}

HGDIOBJ GetCurrentObject(HDC dc, UINT type) {
    if (!dc) return nullptr;
    switch (type) {
    case OBJ_PEN:
        return dc->S.Pen;
    case OBJ_BRUSH:
        return dc->S.Brush;
    case OBJ_FONT:
        return dc->S.Font;
    case OBJ_BITMAP:
        return dc->S.Bitmap;
    case OBJ_PAL:
        return GetStockObject(DEFAULT_PALETTE);
    default:
        return nullptr;
    }
}

// ---- Device contexts -----------------------------------------------------------------------

namespace {

HDC NewDC(HBITMAP surface, bool memory, int dpiX, int dpiY) {
    auto* dc = new TDeviceContext;
    dc->Memory = memory;
    dc->DpiX = dpiX;
    dc->DpiY = dpiY;
    dc->OwnBitmap = surface;
    surface->Stock = true; // only DeleteDC frees a context's own surface
    surface->SelectedIn = dc;
    dc->S.Bitmap = surface;
    RefObject(surface);
    dc->S.Pen = static_cast<HPEN>(GetStockObject(BLACK_PEN));
    dc->S.Brush = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    dc->S.Font = static_cast<HFONT>(GetStockObject(SYSTEM_FONT));
    RefObject(dc->S.Pen);
    RefObject(dc->S.Brush);
    RefObject(dc->S.Font);
    return dc;
}

void ReleaseState(TDcState& s) {
    UnrefObject(s.Pen);
    UnrefObject(s.Brush);
    UnrefObject(s.Font);
    UnrefObject(s.Bitmap);
}

void RefState(const TDcState& s) {
    RefObject(s.Pen);
    RefObject(s.Brush);
    RefObject(s.Font);
    RefObject(s.Bitmap);
}

} // namespace

const std::vector<TRect>& TDeviceContext::Visible() {
    if (!FVisibleValid) {
        TRect surface = SurfaceRect();
        FVisible.clear();
        if (!S.HasClip) {
            if (!surface.IsEmpty()) FVisible.push_back(surface);
        } else {
            for (const TRect& r : S.Clip) {
                TRect v;
                if (IntersectRect(v, r, surface)) FVisible.push_back(v);
            }
        }
        FVisibleValid = true;
    }
    return FVisible;
}

TRect TDeviceContext::SurfaceRect() const {
    return S.Bitmap ? TRect(0, 0, S.Bitmap->Width, S.Bitmap->Height) : TRect();
}

namespace {
TGetWindowDC gGetWindowDC = nullptr;
TReleaseWindowDC gReleaseWindowDC = nullptr;
} // namespace

void SetWindowDCHooks(TGetWindowDC get, TReleaseWindowDC release) {
    gGetWindowDC = get;
    gReleaseWindowDC = release;
}

HDC GetDC(void* window) {
    if (window && gGetWindowDC) {
        if (HDC dc = gGetWindowDC(window)) return dc;
    }
    HDC dc = NewDC(NewBitmap(1, 1, 32), false, 96, 96);
    dc->Screen = true;
    return dc;
}

int ReleaseDC(void* window, HDC dc) {
    if (!dc) return 0;
    if (!dc->Screen && window && gReleaseWindowDC) return gReleaseWindowDC(window, dc);
    return DeleteDC(dc);
}

HDC CreateCompatibleDC(HDC dc) {
    int dpiX = dc ? dc->DpiX : 96, dpiY = dc ? dc->DpiY : 96;
    return NewDC(NewBitmap(1, 1, 1), true, dpiX, dpiY);
}

HDC CreateBufferDC(int width, int height, int dpiX, int dpiY) {
    return NewDC(NewBitmap(width, height, 32), true, dpiX > 0 ? dpiX : 96, dpiY > 0 ? dpiY : 96);
}

BOOL DeleteDC(HDC dc) {
    if (!dc) return 0;
    if (dc->S.Bitmap && dc->S.Bitmap->SelectedIn == dc) dc->S.Bitmap->SelectedIn = nullptr;
    for (TDcState& s : dc->Saved)
        ReleaseState(s);
    ReleaseState(dc->S);
    if (dc->OwnBitmap && !dc->OwnBitmap->SelectedIn && dc->OwnBitmap->SelectCount == 0)
        delete dc->OwnBitmap;
    delete dc;
    return 1;
}

int SaveDC(HDC dc) {
    if (!dc) return 0;
    RefState(dc->S);
    dc->Saved.push_back(dc->S);
    return int(dc->Saved.size());
}

BOOL RestoreDC(HDC dc, int saved) {
    if (!dc) return 0;
    int n = int(dc->Saved.size());
    int index = saved < 0 ? n + saved : saved - 1; // zero-based index of the state to restore
    if (index < 0 || index >= n) return 0;
    for (int i = n - 1; i > index; --i)
        ReleaseState(dc->Saved[i]);
    TDcState restored = std::move(dc->Saved[index]);
    dc->Saved.resize(size_t(index));
    HBITMAP oldBitmap = dc->S.Bitmap;
    if (restored.Bitmap != oldBitmap) {
        if (restored.Bitmap && restored.Bitmap->SelectedIn && restored.Bitmap->SelectedIn != dc) {
            // The saved bitmap now belongs to another context: keep the current one.
            UnrefObject(restored.Bitmap);
            restored.Bitmap = oldBitmap;
            RefObject(oldBitmap);
        } else {
            if (oldBitmap) oldBitmap->SelectedIn = nullptr;
            if (restored.Bitmap) restored.Bitmap->SelectedIn = dc;
        }
    }
    ReleaseState(dc->S);
    dc->S = std::move(restored);
    dc->InvalidateVisible();
    return 1;
}

HBITMAP GetDCBitmap(HDC dc) {
    return dc ? dc->S.Bitmap : nullptr;
}

int GetDeviceCaps(HDC dc, int index) {
    if (!dc) return 0;
    bool ownSize = dc->Printer || (dc->Memory && dc->OwnBitmap && dc->OwnBitmap->Bpp == 32);
    int w = 1920, h = 1080;
    if (ownSize && dc->S.Bitmap) {
        w = dc->S.Bitmap->Width;
        h = dc->S.Bitmap->Height;
    }
    switch (index) {
    case DRIVERVERSION:
        return 0x4000;
    case TECHNOLOGY:
        return dc->Printer ? DT_RASPRINTER : DT_RASDISPLAY;
    case HORZSIZE:
        return int((w * 254LL + dc->DpiX * 5) / (dc->DpiX * 10));
    case VERTSIZE:
        return int((h * 254LL + dc->DpiY * 5) / (dc->DpiY * 10));
    case HORZRES:
        return w;
    case VERTRES:
        return h;
    case BITSPIXEL:
        return dc->S.Bitmap && dc->S.Bitmap->Bpp == 1 ? 1 : 32;
    case PLANES:
        return 1;
    case NUMCOLORS:
        return -1;
    case RASTERCAPS:
        return 0x0001 | 0x0008 | 0x0080 | 0x0200 | 0x0800 | 0x2000 |
               (dc->Screen && ScreenPaletteBased() ? RC_PALETTE : 0);
    case LOGPIXELSX:
        return dc->DpiX;
    case LOGPIXELSY:
        return dc->DpiY;
    case SIZEPALETTE:
        return dc->Screen && ScreenPaletteBased() ? 256 : 0;
    case PHYSICALWIDTH:
        return dc->Printer ? dc->PhysWidth : 0;
    case PHYSICALHEIGHT:
        return dc->Printer ? dc->PhysHeight : 0;
    case PHYSICALOFFSETX:
        return dc->Printer ? dc->PhysOffX : 0;
    case PHYSICALOFFSETY:
        return dc->Printer ? dc->PhysOffY : 0;
    default:
        return 0;
    }
}

void SetDCDrawSink(HDC dc, TDrawSink* sink) {
    if (dc) dc->Sink = sink;
}

bool DrawDCFigure(HDC dc, TVectorFigure figure) {
    if (!dc || !dc->Sink) return false;
    for (auto& ring : figure.Rings)
        for (auto& p : ring) {
            p.X += dc->DX();
            p.Y += dc->DY();
        }
    return dc->Sink->Figure(figure, dc->Visible());
}

bool TakeDCRasterTouched(HDC dc, TRect* area) {
    if (!dc || !dc->S.Bitmap) return false;
    TGdiBitmap* bmp = dc->S.Bitmap;
    bool touched = bmp->Touched;
    if (area) {
        *area = TRect();
        if (touched) IntersectRect(*area, bmp->TouchedBox, TRect(0, 0, bmp->Width, bmp->Height));
    }
    bmp->Touched = false;
    bmp->TouchedBox = TRect();
    return touched;
}

void SetDCPrinterInfo(HDC dc, int physicalWidth, int physicalHeight, int offsetX, int offsetY) {
    if (!dc) return;
    dc->Printer = true;
    dc->PhysWidth = physicalWidth;
    dc->PhysHeight = physicalHeight;
    dc->PhysOffX = offsetX;
    dc->PhysOffY = offsetY;
}

// ---- Attributes ---------------------------------------------------------------------------

namespace {
template <typename T, typename U> T Exchange(T& slot, U value) {
    T old = slot;
    slot = T(value);
    return old;
}
} // namespace

COLORREF SetTextColor(HDC dc, COLORREF c) {
    return dc ? Exchange(dc->S.TextColor, c) : CLR_INVALID;
}
COLORREF GetTextColor(HDC dc) {
    return dc ? dc->S.TextColor : CLR_INVALID;
}
COLORREF SetBkColor(HDC dc, COLORREF c) {
    return dc ? Exchange(dc->S.BkColor, c) : CLR_INVALID;
}
COLORREF GetBkColor(HDC dc) {
    return dc ? dc->S.BkColor : CLR_INVALID;
}
int SetBkMode(HDC dc, int mode) {
    if (!dc || (mode != TRANSPARENT && mode != OPAQUE)) return 0;
    return Exchange(dc->S.BkMode, mode);
}
int GetBkMode(HDC dc) {
    return dc ? dc->S.BkMode : 0;
}
int SetROP2(HDC dc, int mode) {
    if (!dc || mode < R2_BLACK || mode > R2_WHITE) return 0;
    return Exchange(dc->S.Rop2, mode);
}
int GetROP2(HDC dc) {
    return dc ? dc->S.Rop2 : 0;
}
UINT SetTextAlign(HDC dc, UINT align) {
    return dc ? Exchange(dc->S.TextAlign, align) : 0;
}
UINT GetTextAlign(HDC dc) {
    return dc ? dc->S.TextAlign : 0;
}
int SetTextCharacterExtra(HDC dc, int extra) {
    return dc ? Exchange(dc->S.CharExtra, extra) : int(0x80000000);
}
int GetTextCharacterExtra(HDC dc) {
    return dc ? dc->S.CharExtra : int(0x80000000);
}
int SetStretchBltMode(HDC dc, int mode) {
    if (!dc || mode < BLACKONWHITE || mode > HALFTONE) return 0;
    return Exchange(dc->S.StretchMode, mode);
}
int GetStretchBltMode(HDC dc) {
    return dc ? dc->S.StretchMode : 0;
}
int SetPolyFillMode(HDC dc, int mode) {
    if (!dc || (mode != ALTERNATE && mode != WINDING)) return 0;
    return Exchange(dc->S.PolyFillMode, mode);
}
int GetPolyFillMode(HDC dc) {
    return dc ? dc->S.PolyFillMode : 0;
}
int SetMapMode(HDC dc, int mode) {
    return dc && mode == MM_TEXT ? MM_TEXT : 0;
}

BOOL SetBrushOrgEx(HDC dc, int x, int y, POINT* old) {
    if (!dc) return 0;
    if (old) *old = dc->S.BrushOrg;
    dc->S.BrushOrg = POINT(x, y);
    return 1;
}
BOOL GetBrushOrgEx(HDC dc, POINT* org) {
    if (!dc || !org) return 0;
    *org = dc->S.BrushOrg;
    return 1;
}
BOOL SetWindowOrgEx(HDC dc, int x, int y, POINT* old) {
    if (!dc) return 0;
    if (old) *old = dc->S.WindowOrg;
    dc->S.WindowOrg = POINT(x, y);
    return 1;
}
BOOL GetWindowOrgEx(HDC dc, POINT* org) {
    if (!dc || !org) return 0;
    *org = dc->S.WindowOrg;
    return 1;
}
BOOL OffsetWindowOrgEx(HDC dc, int dx, int dy, POINT* old) {
    if (!dc) return 0;
    if (old) *old = dc->S.WindowOrg;
    dc->S.WindowOrg.X += dx;
    dc->S.WindowOrg.Y += dy;
    return 1;
}
BOOL SetViewportOrgEx(HDC dc, int x, int y, POINT* old) {
    if (!dc) return 0;
    if (old) *old = dc->S.ViewportOrg;
    dc->S.ViewportOrg = POINT(x, y);
    return 1;
}
BOOL GetViewportOrgEx(HDC dc, POINT* org) {
    if (!dc || !org) return 0;
    *org = dc->S.ViewportOrg;
    return 1;
}
BOOL GetCurrentPositionEx(HDC dc, POINT* pos) {
    if (!dc || !pos) return 0;
    *pos = dc->S.CurPos;
    return 1;
}

// ---- Palettes ---------------------------------------------------------------------------

void SetScreenPaletteBased(bool value) {
    TBoundState<TGdiState>::Current().ScreenPaletteBased = value;
}
HPALETTE CreatePalette(const LOGPALETTE* lp) {
    if (!lp || lp->palPalEntry.empty()) return nullptr;
    auto* palette = new TGdiPalette;
    palette->Entries = lp->palPalEntry;
    return palette;
}
UINT GetPaletteEntries(HPALETTE palette, UINT start, UINT count, PALETTEENTRY* entries) {
    if (!palette) return 0;
    const size_t n = palette->Entries.size();
    if (!entries) return UINT(n);
    if (start >= n) return 0;
    const UINT copied = UINT(std::min<size_t>(count, n - start));
    std::copy_n(palette->Entries.begin() + start, copied, entries);
    return copied;
}
HPALETTE CreateHalftonePalette(HDC) {
    return new TGdiPalette;
}
HPALETTE SelectPalette(HDC dc, HPALETTE, BOOL) {
    return dc ? static_cast<HPALETTE>(GetStockObject(DEFAULT_PALETTE)) : nullptr;
}
UINT RealizePalette(HDC) {
    return 0;
}
BOOL GdiFlush() {
    return 1;
}

} // namespace epc
