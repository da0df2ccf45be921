#include "platform/graphics/Bitmap.h"

#include "platform/graphics/GdiHandles.h"
#include "platform/core/ScopeGuard.h"
#include <algorithm>
#include <cstring>
#include <unordered_map>

namespace epc {

namespace {

const std::vector<TPaletteEntry>& MonoPalette() {
    static const std::vector<TPaletteEntry> p = {{0, 0, 0}, {255, 255, 255}};
    return p;
}

// A 6x6x6 colour cube followed by 40 grays.
const std::vector<TPaletteEntry>& DefaultPalette8() {
    static const std::vector<TPaletteEntry> p = [] {
        std::vector<TPaletteEntry> v;
        for (int r = 0; r < 6; ++r)
            for (int g = 0; g < 6; ++g)
                for (int b = 0; b < 6; ++b)
                    v.push_back({uint8_t(r * 51), uint8_t(g * 51), uint8_t(b * 51)});
        for (int i = 0; i < 40; ++i) {
            auto l = uint8_t((i * 255 + 19) / 39);
            v.push_back({l, l, l});
        }
        return v;
    }();
    return p;
}

int RowBytes(int width, int bits) {
    return ((width * bits + 31) / 32) * 4;
}

inline uint32_t Opaque(uint32_t p) {
    return p | 0xFF000000u;
}

inline int Dist(const TPaletteEntry& e, int r, int g, int b) {
    int dr = e.Red - r, dg = e.Green - g, db = e.Blue - b;
    return dr * dr + dg * dg + db * db;
}

// Nearest palette index of a pixel, with a cache for repeated colours.
class TNearestColour {
public:
    explicit TNearestColour(const std::vector<TPaletteEntry>& palette) : FPalette(palette) {}
    uint8_t operator()(uint32_t pixel) {
        pixel &= 0xFFFFFF;
        auto it = FCache.find(pixel);
        if (it != FCache.end()) return it->second;
        int r = (pixel >> 16) & 255, g = (pixel >> 8) & 255, b = pixel & 255;
        int best = 0, bestDist = 1 << 30;
        for (size_t i = 0; i < FPalette.size(); ++i) {
            int d = Dist(FPalette[i], r, g, b);
            if (d < bestDist) {
                bestDist = d;
                best = int(i);
                if (d == 0) break;
            }
        }
        FCache.emplace(pixel, uint8_t(best));
        return uint8_t(best);
    }

private:
    const std::vector<TPaletteEntry>& FPalette;
    std::unordered_map<uint32_t, uint8_t> FCache;
};

} // namespace

// ---- TBitmapCanvas ----------------------------------------------------------------------------

TBitmapCanvas::~TBitmapCanvas() {
    FreeContext();
}

void TBitmapCanvas::FreeContext() {
    if (!FDC) return;
    SetHandle(nullptr);
    if (FOldBitmap) SelectObject(FDC, FOldBitmap);
    DeleteDC(FDC);
    FDC = nullptr;
    FOldBitmap = nullptr;
}

void TBitmapCanvas::CreateHandle() {
    FDC = CreateCompatibleDC(nullptr);
    if (!FDC) return;
    if (FBitmap->FSurface) FOldBitmap = SelectObject(FDC, GdiObj(FBitmap->FSurface));
    SetHandle(FDC);
}

void TBitmapCanvas::BeforeUse() {
    FBitmap->EnsureSurface();
}

// ---- TBitmap ------------------------------------------------------------------------------

TBitmap::TBitmap() = default;

TBitmap::TBitmap(int width, int height, TPixelFormat format) {
    SetPixelFormat(format);
    SetSize(width, height);
}

TBitmap::~TBitmap() {
    FCanvas.reset();
    FreeSurface();
}

int TBitmap::BitsPerPixel() const {
    switch (FPixelFormat) {
    case pf1bit:
        return 1;
    case pf8bit:
        return 8;
    case pf24bit:
        return 24;
    default:
        return 32;
    }
}

const std::vector<TPaletteEntry>& TBitmap::Palette() const {
    static const std::vector<TPaletteEntry> none;
    if (FPixelFormat == pf1bit) return MonoPalette();
    if (FPixelFormat == pf8bit) return DefaultPalette8();
    return none;
}

int TBitmap::ScanLineStride() const {
    return BitsPerPixel() == 32 ? FWidth * 4 : RowBytes(FWidth, BitsPerPixel());
}

void TBitmap::FreeSurface() {
    if (!FSurface) return;
    if (FCanvas && FCanvas->FDC && FCanvas->FOldBitmap) {
        SelectObject(FCanvas->FDC, FCanvas->FOldBitmap);
        FCanvas->FOldBitmap = nullptr;
    }
    DeleteObject(GdiObj(FSurface));
    FSurface = nullptr;
    FBits = nullptr;
}

void TBitmap::NewSurface(int width, int height) {
    HBITMAP surface = nullptr;
    void* bits = nullptr;
    if (width > 0 && height > 0) {
        BITMAPINFO info = TopDownBitmapInfo(width, height);
        surface = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        if (!surface || !bits) throw EOutOfResources("Out of system resources");
        auto* p = static_cast<uint32_t*>(bits);
        std::fill(p, p + size_t(width) * size_t(height), 0xFFFFFFFFu);
        int cw = std::min(width, FWidth), ch = std::min(height, FHeight);
        for (int y = 0; y < ch && FBits; ++y)
            std::memcpy(p + size_t(y) * width, FBits + size_t(y) * FWidth, size_t(cw) * 4);
    }
    if (FCanvas && FCanvas->FDC) {
        if (surface) {
            HGDIOBJ prev = SelectObject(FCanvas->FDC, GdiObj(surface));
            if (!FCanvas->FOldBitmap) FCanvas->FOldBitmap = prev;
        } else if (FCanvas->FOldBitmap) {
            SelectObject(FCanvas->FDC, FCanvas->FOldBitmap);
            FCanvas->FOldBitmap = nullptr;
        }
    }
    if (FSurface) DeleteObject(GdiObj(FSurface));
    FSurface = surface;
    FBits = static_cast<uint32_t*>(bits);
    FWidth = surface ? width : 0;
    FHeight = surface ? height : 0;
}

void TBitmap::SetSize(int width, int height) {
    width = std::max(width, 0);
    height = std::max(height, 0);
    if (width == FWidth && height == FHeight) return;
    EnsureSurface();
    if (width == 0 || height == 0) {
        NewSurface(0, 0);
        FWidth = width;
        FHeight = height;
    } else {
        NewSurface(width, height);
    }
    FScan.clear();
    FScanCurrent = false;
    Changed(this);
}

void TBitmap::EnsureSurface() {
    if (FScanCurrent) {
        ScanToSurface();
        FScanCurrent = false;
    }
}

void TBitmap::EnsureScanBuffer() {
    if (!FScanCurrent) {
        SurfaceToScan();
        FScanCurrent = true;
    }
}

void TBitmap::SurfaceToScan() {
    int bits = BitsPerPixel();
    int stride = RowBytes(FWidth, bits);
    FScan.assign(size_t(stride) * size_t(FHeight), 0);
    if (!FBits) return;
    TNearestColour nearest(Palette());
    for (int y = 0; y < FHeight; ++y) {
        const uint32_t* src = FBits + size_t(y) * FWidth;
        uint8_t* dst = FScan.data() + size_t(y) * stride;
        for (int x = 0; x < FWidth; ++x) {
            uint32_t p = src[x];
            switch (bits) {
            case 24:
                dst[x * 3] = uint8_t(p);
                dst[x * 3 + 1] = uint8_t(p >> 8);
                dst[x * 3 + 2] = uint8_t(p >> 16);
                break;
            case 8:
                dst[x] = nearest(p);
                break;
            case 1: {
                int sum = int(p & 255) + int((p >> 8) & 255) + int((p >> 16) & 255);
                if (sum >= 384) dst[x >> 3] |= uint8_t(0x80 >> (x & 7));
                break;
            }
            default:
                break;
            }
        }
    }
}

void TBitmap::ScanToSurface() {
    if (!FBits || FScan.empty()) return;
    int bits = BitsPerPixel();
    int stride = RowBytes(FWidth, bits);
    const auto& palette = Palette();
    uint32_t lut[256] = {};
    for (size_t i = 0; i < palette.size() && i < 256; ++i)
        lut[i] = 0xFF000000u | (uint32_t(palette[i].Red) << 16) |
                 (uint32_t(palette[i].Green) << 8) | palette[i].Blue;
    for (int y = 0; y < FHeight; ++y) {
        const uint8_t* src = FScan.data() + size_t(y) * stride;
        uint32_t* dst = FBits + size_t(y) * FWidth;
        for (int x = 0; x < FWidth; ++x) {
            switch (bits) {
            case 24:
                dst[x] = 0xFF000000u | (uint32_t(src[x * 3 + 2]) << 16) |
                         (uint32_t(src[x * 3 + 1]) << 8) | src[x * 3];
                break;
            case 8:
                dst[x] = lut[src[x]];
                break;
            case 1:
                dst[x] = (src[x >> 3] & (0x80 >> (x & 7))) ? 0xFFFFFFFFu : 0xFF000000u;
                break;
            default:
                break;
            }
        }
    }
}

void TBitmap::SetPixelFormat(TPixelFormat value) {
    if (value != pfDevice && value != pf1bit && value != pf8bit && value != pf24bit &&
        value != pf32bit)
        throw EInvalidGraphic(SInvalidPixelFormat);
    if (value == FPixelFormat) return;
    EnsureSurface();
    FPixelFormat = value;
    FScan.clear();
    FScanCurrent = false;
    // Reduce the surface to the new format's colours at once. Surfaces of the other formats
    // are opaque already, so a change to 32 bits needs nothing.
    if (FBits && BitsPerPixel() != 32) {
        SurfaceToScan();
        ScanToSurface();
    }
    Changed(this);
}

void TBitmap::SetMonochrome(bool value) {
    if (value == Monochrome()) return;
    SetPixelFormat(value ? pf1bit : pfDevice);
}

uint8_t* TBitmap::ScanLine(int row) {
    if (row < 0 || row >= FHeight || FWidth == 0) throw EInvalidGraphicOperation(SScanLine);
    if (BitsPerPixel() == 32) {
        EnsureSurface();
        return reinterpret_cast<uint8_t*>(FBits + size_t(row) * FWidth);
    }
    EnsureScanBuffer();
    return FScan.data() + size_t(row) * ScanLineStride();
}

BITMAPINFO TBitmap::SurfaceInfo() const {
    return TopDownBitmapInfo(FWidth, FHeight);
}

uint32_t* TBitmap::SurfaceBits() {
    EnsureSurface();
    return FBits;
}

TCanvas* TBitmap::Canvas() {
    if (!FCanvas) {
        FCanvas = std::make_unique<TBitmapCanvas>(this);
        FCanvas->OnChange = [this](TObject* s) { CanvasChanged(s); };
    }
    return FCanvas.get();
}

void TBitmap::CanvasChanged(TObject*) {
    Changed(this);
}

HDC TBitmap::SourceDC() {
    Canvas();
    FCanvas->RequiredState({csHandleValid});
    return FCanvas->FDC;
}

HBITMAP TBitmap::Handle() {
    EnsureSurface();
    return FSurface;
}

void TBitmap::SetHandle(HBITMAP value) {
    if (value == FSurface) return;
    EnsureSurface();
    FScan.clear();
    FScanCurrent = false;
    if (!value) {
        FreeSurface();
        FWidth = FHeight = 0;
        Changed(this);
        return;
    }
    TBitmapBits bb = GetBitmapBits(value);
    if (bb.BitsPerPixel == 32 && bb.Bits && bb.Stride == bb.Width * 4) {
        FreeSurface();
        FSurface = value;
        FBits = reinterpret_cast<uint32_t*>(bb.Bits);
        FWidth = bb.Width;
        FHeight = bb.Height;
        if (FCanvas && FCanvas->FDC)
            FCanvas->FOldBitmap = SelectObject(FCanvas->FDC, GdiObj(FSurface));
        FPixelFormat = pf32bit;
    } else {
        FreeSurface();
        FWidth = FHeight = 0;
        NewSurface(bb.Width, bb.Height);
        if (FBits) {
            BITMAPINFO info = TopDownBitmapInfo(bb.Width, bb.Height);
            HDC screen = GetDC(nullptr);
            GetDIBits(screen, value, 0, UINT(bb.Height), FBits, &info, DIB_RGB_COLORS);
            ReleaseDC(nullptr, screen);
            for (size_t i = 0, n = size_t(FWidth) * FHeight; i < n; ++i)
                FBits[i] = Opaque(FBits[i]);
        }
        DeleteObject(GdiObj(value));
        FPixelFormat = bb.BitsPerPixel == 1    ? pf1bit
                       : bb.BitsPerPixel == 8  ? pf8bit
                       : bb.BitsPerPixel == 24 ? pf24bit
                                               : pf32bit;
    }
    Changed(this);
}

HBITMAP TBitmap::ReleaseHandle() {
    EnsureSurface();
    HBITMAP h = FSurface;
    if (FCanvas && FCanvas->FDC && FCanvas->FOldBitmap) {
        SelectObject(FCanvas->FDC, FCanvas->FOldBitmap);
        FCanvas->FOldBitmap = nullptr;
    }
    FSurface = nullptr;
    FBits = nullptr;
    FWidth = FHeight = 0;
    FScan.clear();
    FScanCurrent = false;
    return h;
}

TColor TBitmap::TransparentColor() {
    if (FTransparentMode == tmFixed) return FTransparentColor;
    if (Empty()) return clDefault;
    EnsureSurface();
    uint32_t p = FBits[0];
    return TColor(RGB(uint8_t(p >> 16), uint8_t(p >> 8), uint8_t(p)));
}

void TBitmap::SetTransparentColor(TColor value) {
    if (value == clDefault) {
        SetTransparentMode(tmAuto);
        return;
    }
    if (FTransparentMode == tmFixed && value == FTransparentColor) return;
    FTransparentColor = value;
    FTransparentMode = tmFixed;
    Changed(this);
}

void TBitmap::SetTransparentMode(TTransparentMode value) {
    if (value == FTransparentMode) return;
    if (value == tmAuto)
        FTransparentColor = clDefault;
    else
        FTransparentColor = TransparentColor();
    FTransparentMode = value;
    Changed(this);
}

void TBitmap::Changed(TObject* sender) {
    TGraphic::Changed(sender);
}

void TBitmap::Draw(TCanvas* canvas, const TRect& rect) {
    if (!canvas || Empty()) return;
    EnsureSurface();
    HDC src = SourceDC();
    HDC dst = canvas->Handle();
    if (Transparent()) {
        TransparentBlt(dst, rect.Left, rect.Top, rect.Width(), rect.Height(), src, 0, 0, FWidth,
                       FHeight, ColorToRGB(TransparentColor()));
    } else {
        StretchBlt(dst, rect.Left, rect.Top, rect.Width(), rect.Height(), src, 0, 0, FWidth,
                   FHeight, canvas->CopyMode());
    }
}

TDecodedImage TBitmap::ToImage() {
    EnsureSurface();
    TDecodedImage image;
    image.Width = FWidth;
    image.Height = FHeight;
    image.Pixels.assign(size_t(FWidth) * FHeight, 0xFFFFFFFFu);
    bool keepAlpha = BitsPerPixel() == 32;
    for (size_t i = 0; i < image.Pixels.size() && FBits; ++i) {
        uint32_t p = keepAlpha ? FBits[i] : Opaque(FBits[i]);
        image.Pixels[i] = p;
        if ((p >> 24) != 255) image.HasAlpha = true;
    }
    image.ColorType = keepAlpha ? 6 : 2;
    image.BitDepth = 8;
    return image;
}

void TBitmap::LoadFromImage(const TDecodedImage& image, TPixelFormat format) {
    if (image.Width < 0 || image.Height < 0 ||
        image.Pixels.size() < size_t(image.Width) * size_t(image.Height))
        throw EInvalidGraphic(SInvalidImage);
    if (format == pfCustom) {
        if (image.HasAlpha)
            format = pf32bit;
        else if (image.ColorType == 3 && image.BitDepth == 1)
            format = pf1bit;
        else
            format = pf24bit;
    }
    EnsureSurface();
    FScan.clear();
    FScanCurrent = false;
    FPixelFormat = pf32bit;
    FreeSurface();
    FWidth = FHeight = 0;
    NewSurface(image.Width, image.Height);
    if (FBits) std::memcpy(FBits, image.Pixels.data(), image.Pixels.size() * 4);
    // Silently converts; the notification below covers the whole load.
    auto onChange = std::move(OnChange);
    OnChange = nullptr;
    {
        auto restore = Finally([&] { OnChange = std::move(onChange); });
        SetPixelFormat(format);
    }
    Changed(this);
}

void TBitmap::LoadFromStream(TStream& stream) {
    std::string data = ReadStreamRest(stream);
    TDecodedImage image = DecodeBmp(reinterpret_cast<const uint8_t*>(data.data()), data.size());
    TPixelFormat format = pf24bit;
    if (image.BitDepth == 32)
        format = pf32bit;
    else if (image.BitDepth == 1)
        format = pf1bit;
    // Other palettes would lose colours in ours.
    else if (image.BitDepth == 8 && image.Palette == DefaultPalette8())
        format = pf8bit;
    LoadFromImage(image, format);
}

namespace {
void PutLE(std::string& s, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i)
        s += char((v >> (8 * i)) & 255);
}
} // namespace

void TBitmap::SaveToStream(TStream& stream) {
    if (Empty()) return;
    int bits = BitsPerPixel();
    if (bits == 24 || bits == 32) {
        stream.WriteString(EncodeBmp(ToImage(), bits));
        return;
    }
    // 1- and 8-bit files straight from the scan lines, bottom row first.
    EnsureScanBuffer();
    const auto& palette = Palette();
    int stride = ScanLineStride();
    uint32_t offset = 14 + 40 + uint32_t(palette.size()) * 4;
    uint32_t imageSize = uint32_t(stride) * uint32_t(FHeight);
    std::string out;
    out += "BM";
    PutLE(out, offset + imageSize, 4);
    PutLE(out, 0, 4);
    PutLE(out, offset, 4);
    PutLE(out, 40, 4);
    PutLE(out, uint32_t(FWidth), 4);
    PutLE(out, uint32_t(FHeight), 4);
    PutLE(out, 1, 2);
    PutLE(out, uint32_t(bits), 2);
    PutLE(out, BI_RGB, 4);
    PutLE(out, imageSize, 4);
    PutLE(out, 3780, 4); // 96 pixels per inch
    PutLE(out, 3780, 4);
    PutLE(out, uint32_t(palette.size()), 4);
    PutLE(out, 0, 4);
    for (const TPaletteEntry& e : palette) {
        out += char(e.Blue);
        out += char(e.Green);
        out += char(e.Red);
        out += char(0);
    }
    for (int y = FHeight - 1; y >= 0; --y)
        out.append(reinterpret_cast<const char*>(FScan.data()) + size_t(y) * stride,
                   size_t(stride));
    stream.WriteString(out);
}

void TBitmap::ReadData(TStream& stream) {
    int32_t size = stream.ReadInt32();
    if (size < 0) throw EInvalidGraphic(SInvalidImage);
    if (size == 0) {
        SetSize(0, 0);
        return;
    }
    // A length beyond the end is a truncated stream; refuse before allocating for it.
    if (size > stream.Size() - stream.Position()) throw EReadError(SReadError);
    std::string data(size_t(size), '\0');
    stream.ReadBuffer(data.data(), size);
    LoadFromString(data);
}

void TBitmap::WriteData(TStream& stream) {
    std::string data = SaveToString();
    stream.WriteInt32(int32_t(data.size()));
    stream.WriteString(data);
}

void TBitmap::SaveToPngFile(const std::string& fileName) {
    TDecodedImage image = ToImage();
    for (uint32_t& p : image.Pixels)
        p = Opaque(p);
    image.HasAlpha = false;
    TFileStream file(fileName, fmCreate);
    file.WriteString(EncodePng(image));
}

void TBitmap::Assign(TPersistent* source) {
    if (!source) {
        SetSize(0, 0);
        return;
    }
    if (source == this) return;
    if (auto* src = dynamic_cast<TBitmap*>(source)) {
        src->EnsureSurface();
        EnsureSurface();
        FScan.clear();
        FScanCurrent = false;
        FreeSurface();
        FWidth = FHeight = 0;
        NewSurface(src->FWidth, src->FHeight);
        FWidth = src->FWidth;
        FHeight = src->FHeight;
        if (FBits && src->FBits) std::memcpy(FBits, src->FBits, size_t(FWidth) * FHeight * 4);
        FPixelFormat = src->FPixelFormat;
        FTransparent = src->FTransparent;
        FTransparentMode = src->FTransparentMode;
        FTransparentColor = src->FTransparentColor;
        Changed(this);
        return;
    }
    if (auto* g = dynamic_cast<TGraphic*>(source)) {
        EnsureSurface();
        FScan.clear();
        FScanCurrent = false;
        FreeSurface();
        FWidth = FHeight = 0;
        NewSurface(g->Width(), g->Height());
        if (!Empty()) g->Draw(Canvas(), Rect(0, 0, FWidth, FHeight));
        FTransparent = g->Transparent();
        Changed(this);
        return;
    }
    TGraphic::Assign(source);
}

void TBitmap::AssignTo(TPersistent* dest) {
    TGraphic::AssignTo(dest);
}

} // namespace epc
