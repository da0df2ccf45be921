// The record readers: enhanced metafile records (32-bit, little-endian, sizes in bytes) and
// Windows metafile records (16-bit parameters in reverse order, sizes in words), each turned
// into calls on the playback canvas.

#include "platform/graphics/MetafilePlayer.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/core/ScopeGuard.h"
#include "platform/core/Strings.h"
#include "platform/graphics/MetafileCanvas.h"

namespace epc {

namespace {

constexpr uint32_t kPlaceableKey = 0x9AC6CDD7;
constexpr uint32_t kEmfSignature = 0x464D4520;
// Object tables larger than this are not kept.
constexpr size_t kMaxObjects = 65536;
// The largest frame accepted: ten metres, in hundredths of a millimetre.
constexpr int64_t kMaxFrame = 1000000;

// Bounds-checked little-endian reads within one record; a read past its end marks the
// record malformed and gives 0.
class TReader {
public:
    TReader(const uint8_t* p, size_t n) : FP(p), FN(n) {}
    bool Ok() const { return FOk; }
    size_t Size() const { return FN; }
    const uint8_t* Data() const { return FP; }
    bool Has(size_t off, size_t len) const { return off <= FN && len <= FN - off; }
    uint32_t U32(size_t off) {
        if (!Need(off, 4)) return 0;
        const uint8_t* p = FP + off;
        return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) |
               (uint32_t(p[3]) << 24);
    }
    int32_t I32(size_t off) { return int32_t(U32(off)); }
    uint16_t U16(size_t off) {
        if (!Need(off, 2)) return 0;
        return uint16_t(FP[off] | (FP[off + 1] << 8));
    }
    int16_t I16(size_t off) { return int16_t(U16(off)); }
    uint8_t U8(size_t off) { return Need(off, 1) ? FP[off] : 0; }
    float F32(size_t off) {
        uint32_t v = U32(off);
        float f;
        std::memcpy(&f, &v, 4);
        return std::isfinite(f) ? f : 0.0f;
    }
    bool Need(size_t off, size_t len) {
        if (!Has(off, len)) FOk = false;
        return FOk;
    }

private:
    const uint8_t* FP;
    size_t FN;
    bool FOk = true;
};

// A device-independent bitmap inside a record: its header and colour table copied into a
// BITMAPINFO, and its bits checked to be all there.
bool ReadDib(TReader& r, size_t offBmi, size_t cbBmi, size_t offBits, size_t cbBits, UINT usage,
             BITMAPINFO& info, const uint8_t*& bits) {
    if (usage != DIB_RGB_COLORS || !r.Has(offBmi, cbBmi) || !r.Has(offBits, cbBits) || cbBmi < 12)
        return false;
    uint32_t headerSize = r.U32(offBmi);
    BITMAPINFOHEADER& h = info.bmiHeader;
    h = BITMAPINFOHEADER();
    size_t colorSize = 4;
    if (headerSize == 12) {
        h.biWidth = r.U16(offBmi + 4);
        h.biHeight = r.U16(offBmi + 6);
        h.biBitCount = r.U16(offBmi + 10);
        colorSize = 3;
    } else if (headerSize >= 40 && headerSize <= cbBmi) {
        h.biWidth = r.I32(offBmi + 4);
        h.biHeight = r.I32(offBmi + 8);
        h.biBitCount = r.U16(offBmi + 14);
        h.biCompression = r.U32(offBmi + 16);
        h.biClrUsed = r.U32(offBmi + 32);
    } else {
        return false;
    }
    int bpp = h.biBitCount;
    if (h.biCompression != BI_RGB || h.biWidth <= 0 || h.biHeight == 0 || h.biHeight == INT32_MIN ||
        (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32))
        return false;
    size_t colors = bpp <= 8 ? (h.biClrUsed ? std::min<size_t>(h.biClrUsed, size_t(1) << bpp)
                                            : size_t(1) << bpp)
                             : 0;
    if (bpp <= 8) h.biClrUsed = DWORD(colors);
    if (headerSize + colors * colorSize > cbBmi) return false;
    for (size_t i = 0; i < colors; ++i) {
        size_t at = offBmi + headerSize + i * colorSize;
        info.bmiColors[i] = {r.U8(at), r.U8(at + 1), r.U8(at + 2), 0};
    }
    uint64_t rows = uint64_t(std::abs(int64_t(h.biHeight)));
    uint64_t stride = (uint64_t(h.biWidth) * bpp + 31) / 32 * 4;
    if (stride * rows > cbBits || uint64_t(h.biWidth) * rows > (uint64_t(1) << 24)) return false;
    bits = r.Data() + offBits;
    return r.Ok();
}

std::shared_ptr<std::vector<uint32_t>> PatternOf(const BITMAPINFO& info, const uint8_t* bits) {
    // The top-left 8x8 pixels of the pattern, tiled when it is smaller.
    HBITMAP bmp = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, nullptr, nullptr, 0);
    if (!bmp) return nullptr;
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(bmp));
    auto release = Finally([&] {
        SelectObject(dc, old);
        DeleteDC(dc);
        DeleteObject(reinterpret_cast<HGDIOBJ>(bmp));
    });
    int w = info.bmiHeader.biWidth, h = std::abs(info.bmiHeader.biHeight);
    std::vector<uint32_t> aligned = AlignedDibBits(info, bits);
    SetDIBitsToDevice(dc, 0, 0, DWORD(w), DWORD(h), 0, 0, 0, UINT(h), aligned.data(), &info,
                      DIB_RGB_COLORS);
    auto out = std::make_shared<std::vector<uint32_t>>(64);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
            COLORREF c = GetPixel(dc, x % w, y % h);
            (*out)[size_t(y) * 8 + size_t(x)] =
                0xFF000000u | ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
        }
    return out;
}

COLORREF Color(uint32_t v) {
    return v & 0xFFFFFF;
}

TMetafileCanvas::TBitsMode Rop(DWORD rop) {
    TMetafileCanvas::TBitsMode mode;
    mode.Rop = rop;
    return mode;
}

// ---- Enhanced metafiles -----------------------------------------------------------------

enum : uint32_t {
    EMR_HEADER = 1,
    EMR_POLYBEZIER = 2,
    EMR_POLYGON = 3,
    EMR_POLYLINE = 4,
    EMR_POLYBEZIERTO = 5,
    EMR_POLYLINETO = 6,
    EMR_POLYPOLYLINE = 7,
    EMR_POLYPOLYGON = 8,
    EMR_SETWINDOWEXTEX = 9,
    EMR_SETWINDOWORGEX = 10,
    EMR_SETVIEWPORTEXTEX = 11,
    EMR_SETVIEWPORTORGEX = 12,
    EMR_EOF = 14,
    EMR_SETPIXELV = 15,
    EMR_SETMAPMODE = 17,
    EMR_SETBKMODE = 18,
    EMR_SETPOLYFILLMODE = 19,
    EMR_SETROP2 = 20,
    EMR_SETSTRETCHBLTMODE = 21,
    EMR_SETTEXTALIGN = 22,
    EMR_SETTEXTCOLOR = 24,
    EMR_SETBKCOLOR = 25,
    EMR_OFFSETCLIPRGN = 26,
    EMR_MOVETOEX = 27,
    EMR_EXCLUDECLIPRECT = 29,
    EMR_INTERSECTCLIPRECT = 30,
    EMR_SCALEVIEWPORTEXTEX = 31,
    EMR_SCALEWINDOWEXTEX = 32,
    EMR_SAVEDC = 33,
    EMR_RESTOREDC = 34,
    EMR_SETWORLDTRANSFORM = 35,
    EMR_MODIFYWORLDTRANSFORM = 36,
    EMR_SELECTOBJECT = 37,
    EMR_CREATEPEN = 38,
    EMR_CREATEBRUSHINDIRECT = 39,
    EMR_DELETEOBJECT = 40,
    EMR_ANGLEARC = 41,
    EMR_ELLIPSE = 42,
    EMR_RECTANGLE = 43,
    EMR_ROUNDRECT = 44,
    EMR_ARC = 45,
    EMR_CHORD = 46,
    EMR_PIE = 47,
    EMR_CREATEPALETTE = 49,
    EMR_LINETO = 54,
    EMR_ARCTO = 55,
    EMR_SETARCDIRECTION = 57,
    EMR_BEGINPATH = 59,
    EMR_ENDPATH = 60,
    EMR_CLOSEFIGURE = 61,
    EMR_FILLPATH = 62,
    EMR_STROKEANDFILLPATH = 63,
    EMR_STROKEPATH = 64,
    EMR_WIDENPATH = 66,
    EMR_SELECTCLIPPATH = 67,
    EMR_ABORTPATH = 68,
    EMR_FILLRGN = 71,
    EMR_INVERTRGN = 73,
    EMR_PAINTRGN = 74,
    EMR_EXTSELECTCLIPRGN = 75,
    EMR_BITBLT = 76,
    EMR_STRETCHBLT = 77,
    EMR_SETDIBITSTODEVICE = 80,
    EMR_STRETCHDIBITS = 81,
    EMR_EXTCREATEFONTINDIRECTW = 82,
    EMR_EXTTEXTOUTA = 83,
    EMR_EXTTEXTOUTW = 84,
    EMR_POLYBEZIER16 = 85,
    EMR_POLYGON16 = 86,
    EMR_POLYLINE16 = 87,
    EMR_POLYBEZIERTO16 = 88,
    EMR_POLYLINETO16 = 89,
    EMR_POLYPOLYLINE16 = 90,
    EMR_POLYPOLYGON16 = 91,
    EMR_POLYDRAW16 = 92,
    EMR_CREATEMONOBRUSH = 93,
    EMR_CREATEDIBPATTERNBRUSHPT = 94,
    EMR_EXTCREATEPEN = 95, EMR_ALPHABLEND = 114, EMR_TRANSPARENTBLT = 116,
    EMR_GRADIENTFILL = 118
};

constexpr uint32_t ETO_GLYPH_INDEX = 0x10;
constexpr uint32_t ETO_NO_RECT = 0x100;
constexpr uint32_t ETO_PDY = 0x2000;

class TEmfPlayer {
public:
    TEmfPlayer(TMetafileCanvas& c, std::string_view data)
        : C(c), FP(reinterpret_cast<const uint8_t*>(data.data())), FN(data.size()) {}

    bool Play() {
        TReader h(FP, FN);
        uint32_t headerSize = h.U32(4);
        if (headerSize < 88 || headerSize > FN) return false;
        double frameL = h.I32(24), frameT = h.I32(28), frameR = h.I32(32), frameB = h.I32(36);
        double devW = h.I32(72), devH = h.I32(76), mmW = h.I32(80), mmH = h.I32(84);
        if (headerSize >= 108 && h.I32(100) > 0 && h.I32(104) > 0) {
            mmW = h.I32(100) / 1000.0;
            mmH = h.I32(104) / 1000.0;
        }
        double pxX = mmW > 0 && devW > 0 ? devW / mmW : 96 / 25.4;
        double pxY = mmH > 0 && devH > 0 ? devH / mmH : 96 / 25.4;
        double fl = frameL / 100 * pxX, ft = frameT / 100 * pxY;
        double fw = (frameR - frameL) / 100 * pxX, fh = (frameB - frameT) / 100 * pxY;
        if (fw <= 0 || fh <= 0) {
            fl = h.I32(8);
            ft = h.I32(12);
            fw = double(h.I32(16)) - fl + 1;
            fh = double(h.I32(20)) - ft + 1;
        }
        C.SetReferenceFrame(fl, ft, fw, fh, pxX, pxY);
        uint32_t handles = h.U16(56);
        C.Objects.resize(std::min<size_t>(std::max<uint32_t>(handles, 1), kMaxObjects));
        size_t off = headerSize;
        while (off < FN) {
            if (FN - off < 8) return false;
            TReader r(FP + off, FN - off);
            uint32_t type = r.U32(0), size = r.U32(4);
            if (size < 8 || size % 4 != 0 || size > FN - off) return false;
            TReader rec(FP + off, size);
            if (type == EMR_EOF) return true;
            Record(type, rec);
            if (!rec.Ok()) return false;
            off += size;
        }
        return true;
    }

private:
    TMfPoint Pt32(TReader& r, size_t off) { return {double(r.I32(off)), double(r.I32(off + 4))}; }
    TMfPoint Pt16(TReader& r, size_t off) { return {double(r.I16(off)), double(r.I16(off + 2))}; }

    // Points after a bounds rectangle and a count, 32-bit or 16-bit.
    std::vector<TMfPoint> Points(TReader& r, size_t off, uint32_t count, bool small) {
        std::vector<TMfPoint> pts;
        size_t each = small ? 4 : 8;
        if (!r.Need(off, size_t(count) * each)) return pts;
        pts.reserve(count);
        for (uint32_t i = 0; i < count; ++i)
            pts.push_back(small ? Pt16(r, off + i * each) : Pt32(r, off + i * each));
        return pts;
    }

    std::vector<std::vector<TMfPoint>> PolyPoints(TReader& r, bool small) {
        uint32_t polys = r.U32(24), total = r.U32(28);
        std::vector<std::vector<TMfPoint>> rings;
        if (!r.Need(32, size_t(polys) * 4)) return rings;
        size_t at = 32 + size_t(polys) * 4;
        std::vector<TMfPoint> all = Points(r, at, total, small);
        if (!r.Ok()) return rings;
        size_t used = 0;
        for (uint32_t i = 0; i < polys; ++i) {
            uint32_t n = r.U32(32 + size_t(i) * 4);
            if (n > all.size() - used) {
                r.Need(r.Size(), 1); // counts beyond the points: malformed
                return {};
            }
            rings.emplace_back(all.begin() + long(used), all.begin() + long(used + n));
            used += n;
        }
        return rings;
    }

    TMfObject* Slot(uint32_t index) {
        if (index == 0 || index >= C.Objects.size()) return nullptr;
        return &C.Objects[index];
    }

    std::vector<TRect> RegionRects(TReader& r, size_t off, size_t cb) {
        // RGNDATAHEADER: size, type, count, region size, bounds; then the rectangles.
        std::vector<TRect> rects;
        if (cb < 32 || !r.Need(off, cb)) return rects;
        uint32_t count = r.U32(off + 8);
        if (size_t(count) > (cb - 32) / 16) {
            r.Need(r.Size(), 1);
            return rects;
        }
        for (uint32_t i = 0; i < count; ++i) {
            size_t at = off + 32 + size_t(i) * 16;
            rects.emplace_back(r.I32(at), r.I32(at + 4), r.I32(at + 8), r.I32(at + 12));
        }
        return rects;
    }

    void Text(TReader& r, bool wide) {
        // Bounds, graphics mode, x and y scales, then the text record.
        double x = r.I32(36), y = r.I32(40);
        uint32_t count = r.U32(44), offString = r.U32(48), options = r.U32(52);
        TRect rect(r.I32(56), r.I32(60), r.I32(64), r.I32(68));
        uint32_t offDx = r.U32((options & ETO_NO_RECT) ? 56 : 72);
        if (!r.Ok() || (options & ETO_GLYPH_INDEX)) return;
        std::u16string text;
        if (wide) {
            if (!r.Need(offString, size_t(count) * 2)) return;
            text.resize(count);
            for (uint32_t i = 0; i < count; ++i)
                text[i] = char16_t(r.U16(offString + size_t(i) * 2));
        } else {
            if (!r.Need(offString, count)) return;
            std::string bytes(reinterpret_cast<const char*>(r.Data() + offString), count);
            text = AnsiToWide(bytes, CharsetToCodePage(C.S.Font.Log.lfCharSet));
        }
        std::vector<double> dx;
        size_t step = (options & ETO_PDY) ? 8 : 4;
        if (offDx != 0 && r.Has(offDx, size_t(count) * step) && (wide || text.size() == count)) {
            for (uint32_t i = 0; i < count; ++i)
                dx.push_back(r.I32(offDx + i * step));
        }
        C.Text(x, y, options, (options & ETO_NO_RECT) ? nullptr : &rect, text, dx);
    }

    // BitBlt, StretchBlt, AlphaBlend and TransparentBlt share one layout; their source is a
    // context, so its rows count from the top.
    void Blit(TReader& r, uint32_t type) {
        double x = r.I32(24), y = r.I32(28), w = r.I32(32), h = r.I32(36);
        TMetafileCanvas::TBitsMode mode;
        uint32_t op = r.U32(40);
        int sx = r.I32(44), sy = r.I32(48);
        int sw = int(w), sh = int(h);
        if (type != EMR_BITBLT) {
            sw = r.I32(100);
            sh = r.I32(104);
        }
        uint32_t usage = r.U32(80), offBmi = r.U32(84), cbBmi = r.U32(88), offBits = r.U32(92),
                 cbBits = r.U32(96);
        if (!r.Ok()) return;
        if (type == EMR_ALPHABLEND) {
            mode.Kind = TMetafileCanvas::TBitsMode::bmBlend;
            mode.Blend.BlendOp = uint8_t(op & 0xFF);
            mode.Blend.BlendFlags = uint8_t((op >> 8) & 0xFF);
            mode.Blend.SourceConstantAlpha = uint8_t((op >> 16) & 0xFF);
            mode.Blend.AlphaFormat = uint8_t((op >> 24) & 0xFF);
        } else if (type == EMR_TRANSPARENTBLT) {
            mode.Kind = TMetafileCanvas::TBitsMode::bmTransparent;
            mode.Transparent = Color(op);
        } else {
            mode.Rop = op;
        }
        if (cbBmi == 0) {
            if (mode.Kind == TMetafileCanvas::TBitsMode::bmRop) C.PatBlt(x, y, w, h, op);
            return;
        }
        BITMAPINFO info;
        const uint8_t* bits = nullptr;
        if (!ReadDib(r, offBmi, cbBmi, offBits, cbBits, usage, info, bits)) return;
        C.Bitmap(x, y, w, h, sx, sy, sw, sh, info, bits, mode);
    }

    void Gradient(TReader& r) {
        uint32_t vertices = r.U32(24), shapes = r.U32(28), mode = r.U32(32);
        if (!r.Need(36, size_t(vertices) * 16)) return;
        size_t at = 36 + size_t(vertices) * 16;
        size_t each = mode == 2 ? 12 : 8;
        if (!r.Need(at, size_t(shapes) * each)) return;
        auto vertex = [&](uint32_t i, double& x, double& y, COLORREF& c) {
            size_t v = 36 + size_t(i) * 16;
            x = r.I32(v);
            y = r.I32(v + 4);
            c = RGB(r.U16(v + 8) >> 8, r.U16(v + 10) >> 8, r.U16(v + 12) >> 8);
        };
        for (uint32_t k = 0; k < shapes; ++k) {
            uint32_t a = r.U32(at + k * each), b = r.U32(at + k * each + 4);
            uint32_t c = mode == 2 ? r.U32(at + k * each + 8) : 0;
            if (a >= vertices || b >= vertices || c >= vertices) continue;
            double x0, y0, x1, y1, x2, y2;
            COLORREF c0, c1, c2;
            vertex(a, x0, y0, c0);
            vertex(b, x1, y1, c1);
            if (mode == 2) {
                vertex(c, x2, y2, c2);
                auto mean = [&](int shift) {
                    return COLORREF((((c0 >> shift) & 0xFF) + ((c1 >> shift) & 0xFF) +
                                     ((c2 >> shift) & 0xFF)) /
                                    3)
                           << shift;
                };
                TMfBrush brush = C.S.Brush;
                TMfPen pen = C.S.Pen;
                C.S.Brush = TMfBrush();
                C.S.Brush.Color = mean(0) | mean(8) | mean(16);
                C.S.Pen.Style = PS_NULL;
                C.Poly({{x0, y0}, {x1, y1}, {x2, y2}}, true);
                C.S.Brush = brush;
                C.S.Pen = pen;
            } else if (mode <= 1) {
                C.GradientRect(x0, y0, x1, y1, c0, c1, mode == 1);
            }
        }
    }

    void StretchDib(TReader& r) {
        double x = r.I32(24), y = r.I32(28);
        int sx = r.I32(32), sy = r.I32(36), sw = r.I32(40), sh = r.I32(44);
        uint32_t offBmi = r.U32(48), cbBmi = r.U32(52), offBits = r.U32(56), cbBits = r.U32(60);
        uint32_t usage = r.U32(64);
        DWORD rop = r.U32(68);
        double w = r.I32(72), h = r.I32(76);
        BITMAPINFO info;
        const uint8_t* bits = nullptr;
        if (!r.Ok() || !ReadDib(r, offBmi, cbBmi, offBits, cbBits, usage, info, bits)) return;
        C.Bitmap(x, y, w, h, sx, DibRowFromTop(info, sy, sh), sw, sh, info, bits, Rop(rop));
    }

    void SetDIBitsToDevice(TReader& r) {
        double x = r.I32(24), y = r.I32(28);
        int sx = r.I32(32), sy = r.I32(36), sw = r.I32(40), sh = r.I32(44);
        uint32_t offBmi = r.U32(48), cbBmi = r.U32(52), offBits = r.U32(56), cbBits = r.U32(60);
        uint32_t usage = r.U32(64), start = r.U32(68), scans = r.U32(72);
        BITMAPINFO info;
        const uint8_t* bits = nullptr;
        if (!r.Ok() || !ReadDib(r, offBmi, cbBmi, offBits, cbBits, usage, info, bits)) return;
        // Only whole images: the bits of a band are not placed.
        if (start != 0 || int64_t(scans) != std::abs(int64_t(info.bmiHeader.biHeight))) return;
        C.DeviceBitmap(x, y, sx, DibRowFromTop(info, sy, sh), sw, sh, info, bits);
    }

    // Each family of records has its handler. Comments (and the records they carry), palettes,
    // colour management and the rest belong to none: they change nothing drawn here.
    void Record(uint32_t type, TReader& r) {
        using THandler = bool (TEmfPlayer::*)(uint32_t, TReader&);
        static constexpr THandler kFamilies[] = {
            &TEmfPlayer::StateRecord,  &TEmfPlayer::LineRecord,   &TEmfPlayer::ShapeRecord,
            &TEmfPlayer::PathRecord,   &TEmfPlayer::ClipRecord,   &TEmfPlayer::ObjectRecord,
            &TEmfPlayer::RegionRecord, &TEmfPlayer::BitmapRecord, &TEmfPlayer::TextRecord};
        for (THandler family : kFamilies)
            if ((this->*family)(type, r)) return;
    }

    // The mapping, the drawing modes and colours, and saving and restoring them.
    bool StateRecord(uint32_t type, TReader& r) {
        TMetafileCanvas::TState& s = C.S;
        switch (type) {
        case EMR_SETWINDOWEXTEX:
            s.WinExt = Pt32(r, 8);
            C.Dirty();
            break;
        case EMR_SETWINDOWORGEX:
            s.WinOrg = Pt32(r, 8);
            C.Dirty();
            break;
        case EMR_SETVIEWPORTEXTEX:
            s.VpExt = Pt32(r, 8);
            C.Dirty();
            break;
        case EMR_SETVIEWPORTORGEX:
            s.VpOrg = Pt32(r, 8);
            C.Dirty();
            break;
        case EMR_SCALEVIEWPORTEXTEX:
        case EMR_SCALEWINDOWEXTEX: {
            int32_t xn = r.I32(8), xd = r.I32(12), yn = r.I32(16), yd = r.I32(20);
            if (xd == 0 || yd == 0) break;
            TMfPoint& ext = type == EMR_SCALEWINDOWEXTEX ? s.WinExt : s.VpExt;
            ext.X = ext.X * xn / xd;
            ext.Y = ext.Y * yn / yd;
            C.Dirty();
            break;
        }
        case EMR_SETMAPMODE:
            s.MapMode = r.I32(8);
            C.Dirty();
            break;
        case EMR_SETWORLDTRANSFORM:
        case EMR_MODIFYWORLDTRANSFORM: {
            TMfXform x{r.F32(8), r.F32(12), r.F32(16), r.F32(20), r.F32(24), r.F32(28)};
            uint32_t mode = type == EMR_SETWORLDTRANSFORM ? 4 : r.U32(32);
            if (!r.Ok()) break;
            if (mode == 1)
                s.World = TMfXform();
            else if (mode == 2)
                s.World = x.Then(s.World);
            else if (mode == 3)
                s.World = s.World.Then(x);
            else if (mode == 4)
                s.World = x;
            C.Dirty();
            break;
        }
        case EMR_SETBKMODE:
            s.BkMode = r.I32(8) == TRANSPARENT ? TRANSPARENT : OPAQUE;
            break;
        case EMR_SETPOLYFILLMODE:
            s.PolyFill = r.I32(8) == WINDING ? WINDING : ALTERNATE;
            break;
        case EMR_SETROP2: {
            int rop = r.I32(8);
            if (rop >= R2_BLACK && rop <= R2_WHITE) s.Rop2 = rop;
            break;
        }
        case EMR_SETSTRETCHBLTMODE:
            s.StretchMode = r.I32(8);
            break;
        case EMR_SETTEXTALIGN:
            s.TextAlign = r.U32(8);
            break;
        case EMR_SETTEXTCOLOR:
            s.TextColor = Color(r.U32(8));
            break;
        case EMR_SETBKCOLOR:
            s.BkColor = Color(r.U32(8));
            break;
        case EMR_SETARCDIRECTION:
            s.ArcClockwise = r.U32(8) == 2;
            break;
        case EMR_SAVEDC:
            C.SaveDC();
            break;
        case EMR_RESTOREDC:
            C.RestoreDC(r.I32(8));
            break;
        default:
            return false;
        }
        return true;
    }

    // Lines, curves, polygons and single points.
    bool LineRecord(uint32_t type, TReader& r) {
        switch (type) {
        case EMR_POLYBEZIER:
        case EMR_POLYBEZIER16:
            C.BezierTo(Points(r, 28, r.U32(24), type == EMR_POLYBEZIER16), false);
            break;
        case EMR_POLYBEZIERTO:
        case EMR_POLYBEZIERTO16:
            C.BezierTo(Points(r, 28, r.U32(24), type == EMR_POLYBEZIERTO16), true);
            break;
        case EMR_POLYGON:
        case EMR_POLYGON16:
        case EMR_POLYLINE:
        case EMR_POLYLINE16: {
            auto pts = Points(r, 28, r.U32(24), type == EMR_POLYGON16 || type == EMR_POLYLINE16);
            if (r.Ok()) C.Poly(pts, type == EMR_POLYGON || type == EMR_POLYGON16);
            break;
        }
        case EMR_POLYLINETO:
        case EMR_POLYLINETO16: {
            auto pts = Points(r, 28, r.U32(24), type == EMR_POLYLINETO16);
            if (r.Ok()) C.PolyTo(pts);
            break;
        }
        case EMR_POLYPOLYLINE:
        case EMR_POLYPOLYLINE16:
        case EMR_POLYPOLYGON:
        case EMR_POLYPOLYGON16: {
            bool small = type == EMR_POLYPOLYLINE16 || type == EMR_POLYPOLYGON16;
            auto rings = PolyPoints(r, small);
            if (r.Ok()) C.PolyPoly(rings, type == EMR_POLYPOLYGON || type == EMR_POLYPOLYGON16);
            break;
        }
        case EMR_POLYDRAW16: {
            uint32_t n = r.U32(24);
            auto pts = Points(r, 28, n, true);
            size_t typesAt = 28 + size_t(n) * 4;
            if (!r.Ok() || !r.Need(typesAt, n)) break;
            for (uint32_t i = 0; i < n; ++i) {
                uint8_t t = r.U8(typesAt + i);
                if ((t & 6) == 6) {
                    C.MoveTo(pts[i].X, pts[i].Y);
                } else if ((t & 6) == 4 && i + 2 < n) {
                    C.BezierTo({pts[i], pts[i + 1], pts[i + 2]}, true);
                    i += 2;
                    t = r.U8(typesAt + i);
                } else {
                    C.LineTo(pts[i].X, pts[i].Y);
                }
                if (t & 1) C.CloseFigure();
            }
            break;
        }
        case EMR_SETPIXELV: {
            TMfPoint p = Pt32(r, 8);
            uint32_t color = r.U32(16);
            if (r.Ok()) C.SetPixel(p.X, p.Y, Color(color));
            break;
        }
        case EMR_MOVETOEX: {
            TMfPoint p = Pt32(r, 8);
            if (r.Ok()) C.MoveTo(p.X, p.Y);
            break;
        }
        case EMR_LINETO: {
            TMfPoint p = Pt32(r, 8);
            if (r.Ok()) C.LineTo(p.X, p.Y);
            break;
        }
        default:
            return false;
        }
        return true;
    }

    // Rectangles, ellipses and arcs.
    bool ShapeRecord(uint32_t type, TReader& r) {
        switch (type) {
        case EMR_RECTANGLE:
        case EMR_ELLIPSE: {
            double l = r.I32(8), t = r.I32(12), rt = r.I32(16), b = r.I32(20);
            if (!r.Ok()) break;
            if (type == EMR_RECTANGLE)
                C.Rectangle(l, t, rt, b);
            else
                C.Ellipse(l, t, rt, b);
            break;
        }
        case EMR_ROUNDRECT: {
            double l = r.I32(8), t = r.I32(12), rt = r.I32(16), b = r.I32(20);
            double w = r.I32(24), h = r.I32(28);
            if (r.Ok()) C.RoundRect(l, t, rt, b, w, h);
            break;
        }
        case EMR_ARC:
        case EMR_CHORD:
        case EMR_PIE:
        case EMR_ARCTO: {
            double v[8];
            for (int i = 0; i < 8; ++i)
                v[i] = r.I32(8 + size_t(i) * 4);
            if (!r.Ok()) break;
            int kind = type == EMR_ARC ? 0 : type == EMR_CHORD ? 1 : type == EMR_PIE ? 2 : 3;
            C.Arc(kind, v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7]);
            break;
        }
        case EMR_ANGLEARC: {
            TMfPoint c = Pt32(r, 8);
            double radius = r.U32(16), a = r.F32(20), sweep = r.F32(24);
            if (r.Ok()) C.AngleArc(c.X, c.Y, radius, a, sweep);
            break;
        }
        default:
            return false;
        }
        return true;
    }

    // Building a path and filling, stroking or widening it.
    bool PathRecord(uint32_t type, TReader& r) {
        switch (type) {
        case EMR_BEGINPATH:
            C.BeginPath();
            break;
        case EMR_ENDPATH:
            C.EndPath();
            break;
        case EMR_ABORTPATH:
            C.AbortPath();
            break;
        case EMR_CLOSEFIGURE:
            C.CloseFigure();
            break;
        case EMR_FILLPATH:
            C.FillPath(true, false);
            break;
        case EMR_STROKEPATH:
            C.FillPath(false, true);
            break;
        case EMR_STROKEANDFILLPATH:
            C.FillPath(true, true);
            break;
        case EMR_WIDENPATH:
            C.WidenPath();
            break;
        default:
            return false;
        }
        return true;
    }

    // The clipping region.
    bool ClipRecord(uint32_t type, TReader& r) {
        switch (type) {
        case EMR_OFFSETCLIPRGN: {
            TMfPoint p = Pt32(r, 8);
            if (r.Ok()) C.OffsetClip(p.X, p.Y);
            break;
        }
        case EMR_EXCLUDECLIPRECT:
        case EMR_INTERSECTCLIPRECT: {
            double l = r.I32(8), t = r.I32(12), rt = r.I32(16), b = r.I32(20);
            if (!r.Ok()) break;
            if (type == EMR_INTERSECTCLIPRECT)
                C.IntersectClip(l, t, rt, b);
            else
                C.ExcludeClip(l, t, rt, b);
            break;
        }
        case EMR_EXTSELECTCLIPRGN: {
            uint32_t cb = r.U32(8);
            int mode = r.I32(12);
            if (!r.Ok()) break;
            if (cb == 0) {
                if (mode == RGN_COPY) C.ResetClip();
                break;
            }
            auto rects = RegionRects(r, 16, cb);
            if (r.Ok()) C.SelectClipRects(rects, true, mode);
            break;
        }
        case EMR_SELECTCLIPPATH:
            C.SelectClipPath(r.I32(8));
            break;
        default:
            return false;
        }
        return true;
    }

    // Creating, selecting and deleting pens, brushes, fonts, palettes and regions.
    bool ObjectRecord(uint32_t type, TReader& r) {
        switch (type) {
        case EMR_SELECTOBJECT: {
            uint32_t index = r.U32(8);
            if (!r.Ok()) break;
            if (index & 0x80000000u)
                C.SelectStock(int(index & 0x7FFFFFFF));
            else if (TMfObject* o = Slot(index))
                C.Select(*o);
            break;
        }
        case EMR_DELETEOBJECT:
            if (TMfObject* o = Slot(r.U32(8))) *o = TMfObject();
            break;
        case EMR_CREATEPEN: {
            TMfObject o;
            o.Kind = TMfObject::okPen;
            o.Pen.Style = int(r.U32(12) & 0xF);
            o.Pen.Width = r.I32(16);
            o.Pen.Color = Color(r.U32(24));
            if (TMfObject* slot = Slot(r.U32(8)); slot && r.Ok()) *slot = o;
            break;
        }
        case EMR_EXTCREATEPEN: {
            TMfObject o;
            o.Kind = TMfObject::okPen;
            uint32_t style = r.U32(28);
            o.Pen.Style = int(style & 0xF);
            o.Pen.Cosmetic = (style & 0x10000) == 0;
            o.Pen.Width = r.U32(32);
            if (r.U32(36) == BS_NULL) o.Pen.Style = PS_NULL;
            o.Pen.Color = Color(r.U32(40));
            if (TMfObject* slot = Slot(r.U32(8)); slot && r.Ok()) *slot = o;
            break;
        }
        case EMR_CREATEBRUSHINDIRECT: {
            TMfObject o;
            o.Kind = TMfObject::okBrush;
            o.Brush.Style = int(r.U32(12));
            o.Brush.Color = Color(r.U32(16));
            o.Brush.Hatch = int(r.U32(20));
            if (o.Brush.Style != BS_NULL && o.Brush.Style != BS_HATCHED) o.Brush.Style = BS_SOLID;
            if (TMfObject* slot = Slot(r.U32(8)); slot && r.Ok()) *slot = o;
            break;
        }
        case EMR_CREATEMONOBRUSH:
        case EMR_CREATEDIBPATTERNBRUSHPT: {
            TMfObject o;
            o.Kind = TMfObject::okBrush;
            BITMAPINFO info;
            const uint8_t* bits = nullptr;
            if (ReadDib(r, r.U32(16), r.U32(20), r.U32(24), r.U32(28),
                        type == EMR_CREATEMONOBRUSH ? DIB_RGB_COLORS : r.U32(12), info, bits))
                o.Brush.Pattern = PatternOf(info, bits);
            if (!o.Brush.Pattern) o.Brush.Color = 0x808080;
            if (TMfObject* slot = Slot(r.U32(8)); slot && r.Ok()) *slot = o;
            break;
        }
        case EMR_EXTCREATEFONTINDIRECTW: {
            TMfObject o;
            o.Kind = TMfObject::okFont;
            o.Font.Stock = false;
            LOGFONTW& lf = o.Font.Log;
            lf.lfHeight = r.I32(12);
            lf.lfWidth = r.I32(16);
            lf.lfEscapement = r.I32(20);
            lf.lfOrientation = r.I32(24);
            lf.lfWeight = r.I32(28);
            lf.lfItalic = r.U8(32);
            lf.lfUnderline = r.U8(33);
            lf.lfStrikeOut = r.U8(34);
            lf.lfCharSet = r.U8(35);
            lf.lfQuality = r.U8(38);
            lf.lfPitchAndFamily = r.U8(39);
            for (int i = 0; i < LF_FACESIZE - 1; ++i) {
                char16_t ch = char16_t(r.U16(40 + size_t(i) * 2));
                if (ch == 0) break;
                lf.lfFaceName[i] = ch;
            }
            if (TMfObject* slot = Slot(r.U32(8)); slot && r.Ok()) *slot = o;
            break;
        }
        case EMR_CREATEPALETTE:
            if (TMfObject* slot = Slot(r.U32(8))) {
                *slot = TMfObject();
                slot->Kind = TMfObject::okPalette;
            }
            break;
        default:
            return false;
        }
        return true;
    }

    // Filling and inverting regions.
    bool RegionRecord(uint32_t type, TReader& r) {
        switch (type) {
        case EMR_FILLRGN: {
            uint32_t cb = r.U32(24), brush = r.U32(28);
            auto rects = RegionRects(r, 32, cb);
            if (!r.Ok()) break;
            const bool stock = (brush & 0x80000000u) != 0;
            const TMfObject stockObject =
                stock ? StockObject(int(brush & 0x7FFFFFFF)) : TMfObject();
            const TMfObject* o = stock ? &stockObject : Slot(brush);
            C.FillRects(rects, o && o->Kind == TMfObject::okBrush ? o->Brush : C.S.Brush);
            break;
        }
        case EMR_PAINTRGN:
        case EMR_INVERTRGN: {
            auto rects = RegionRects(r, 28, r.U32(24));
            if (!r.Ok()) break;
            if (type == EMR_PAINTRGN)
                C.FillRects(rects, C.S.Brush);
            else
                C.InvertRects(rects);
            break;
        }
        default:
            return false;
        }
        return true;
    }

    // Bitmaps and gradients.
    bool BitmapRecord(uint32_t type, TReader& r) {
        switch (type) {
        case EMR_BITBLT:
        case EMR_STRETCHBLT:
        case EMR_ALPHABLEND:
        case EMR_TRANSPARENTBLT:
            Blit(r, type);
            break;
        case EMR_GRADIENTFILL:
            Gradient(r);
            break;
        case EMR_STRETCHDIBITS:
            StretchDib(r);
            break;
        case EMR_SETDIBITSTODEVICE:
            SetDIBitsToDevice(r);
            break;
        default:
            return false;
        }
        return true;
    }

    // Text.
    bool TextRecord(uint32_t type, TReader& r) {
        switch (type) {
        case EMR_EXTTEXTOUTA:
        case EMR_EXTTEXTOUTW:
            Text(r, type == EMR_EXTTEXTOUTW);
            break;
        default:
            return false;
        }
        return true;
    }

    TMetafileCanvas& C;
    const uint8_t* FP;
    size_t FN;
};

// ---- Windows metafiles ------------------------------------------------------------------

enum : uint16_t {
    META_EOF = 0x0000,
    META_SETBKCOLOR = 0x0201,
    META_SETBKMODE = 0x0102,
    META_SETMAPMODE = 0x0103,
    META_SETROP2 = 0x0104,
    META_SETPOLYFILLMODE = 0x0106,
    META_SETSTRETCHBLTMODE = 0x0107,
    META_SETTEXTCHAREXTRA = 0x0108,
    META_SETTEXTCOLOR = 0x0209,
    META_SETWINDOWORG = 0x020B,
    META_SETWINDOWEXT = 0x020C,
    META_OFFSETWINDOWORG = 0x020F,
    META_SCALEWINDOWEXT = 0x0410,
    META_LINETO = 0x0213,
    META_MOVETO = 0x0214,
    META_EXCLUDECLIPRECT = 0x0415,
    META_INTERSECTCLIPRECT = 0x0416,
    META_ARC = 0x0817,
    META_ELLIPSE = 0x0418,
    META_PIE = 0x081A,
    META_RECTANGLE = 0x041B,
    META_ROUNDRECT = 0x061C,
    META_PATBLT = 0x061D,
    META_SAVEDC = 0x001E,
    META_SETPIXEL = 0x041F,
    META_OFFSETCLIPRGN = 0x0220,
    META_TEXTOUT = 0x0521,
    META_POLYGON = 0x0324,
    META_POLYLINE = 0x0325,
    META_RESTOREDC = 0x0127,
    META_FILLREGION = 0x0228,
    META_FRAMEREGION = 0x0429,
    META_INVERTREGION = 0x012A,
    META_PAINTREGION = 0x012B,
    META_SELECTCLIPREGION = 0x012C,
    META_SELECTOBJECT = 0x012D,
    META_SETTEXTALIGN = 0x012E,
    META_CHORD = 0x0830,
    META_EXTTEXTOUT = 0x0A32,
    META_SETDIBTODEV = 0x0D33,
    META_POLYPOLYGON = 0x0538,
    META_DIBBITBLT = 0x0940,
    META_DIBSTRETCHBLT = 0x0B41,
    META_DIBCREATEPATTERNBRUSH = 0x0142,
    META_STRETCHDIB = 0x0F43,
    META_DELETEOBJECT = 0x01F0,
    META_CREATEPALETTE = 0x00F7,
    META_CREATEPATTERNBRUSH = 0x01F9,
    META_CREATEPENINDIRECT = 0x02FA,
    META_CREATEFONTINDIRECT = 0x02FB,
    META_CREATEBRUSHINDIRECT = 0x02FC,
    META_CREATEREGION = 0x06FF
};

class TWmfPlayer {
public:
    TWmfPlayer(TMetafileCanvas& c, std::string_view data)
        : C(c), FP(reinterpret_cast<const uint8_t*>(data.data())), FN(data.size()) {}

    bool Play() {
        TReader h(FP, FN);
        size_t start = 0;
        bool placeable = h.U32(0) == kPlaceableKey;
        if (placeable) {
            // Without window records the bounding box is the window.
            int16_t l = h.I16(6), t = h.I16(8), r = h.I16(10), b = h.I16(12);
            C.S.WinOrg = {double(l), double(t)};
            C.S.WinExt = {double(r) - l, double(b) - t};
            start = 22;
        }
        uint16_t headerWords = h.U16(start + 2);
        uint16_t objects = h.U16(start + 10);
        if (!h.Ok() || headerWords < 9 || start + headerWords * size_t(2) > FN) return false;
        if (!placeable) {
            // Until a window record says otherwise, a logical unit is a destination pixel.
            C.S.WinExt = {double(C.Dest().Width()), double(C.Dest().Height())};
        }
        C.SetWindowMapping(true);
        C.Objects.resize(std::min<size_t>(std::max<uint16_t>(objects, 1), kMaxObjects));
        size_t off = start + headerWords * size_t(2);
        while (off < FN) {
            TReader r(FP + off, FN - off);
            uint32_t words = r.U32(0);
            uint16_t function = r.U16(4);
            if (!r.Ok() || words < 3 || words > (FN - off) / 2) return false;
            if (function == META_EOF) return true;
            TReader rec(FP + off + 6, words * size_t(2) - 6);
            Record(function, rec);
            if (!rec.Ok()) return false;
            off += words * size_t(2);
        }
        return true;
    }

private:
    // A new object goes into the lowest free slot.
    void Add(const TMfObject& o) {
        for (TMfObject& slot : C.Objects)
            if (slot.Kind == TMfObject::okNone) {
                slot = o;
                return;
            }
        if (C.Objects.size() < kMaxObjects) C.Objects.push_back(o);
    }

    TMfObject* Slot(uint16_t index) {
        return index < C.Objects.size() ? &C.Objects[index] : nullptr;
    }

    std::vector<TMfPoint> Points(TReader& r, size_t off, size_t count) {
        std::vector<TMfPoint> pts;
        if (!r.Need(off, count * 4)) return pts;
        pts.reserve(count);
        for (size_t i = 0; i < count; ++i)
            pts.push_back({double(r.I16(off + i * 4)), double(r.I16(off + i * 4 + 2))});
        return pts;
    }

    // A DIB placed right after the parameters: header, colours, then the bits to the end.
    bool InlineDib(TReader& r, size_t off, BITMAPINFO& info, const uint8_t*& bits) {
        uint32_t headerSize = r.U32(off);
        if (!r.Ok() || off >= r.Size()) return false;
        size_t colorSize = headerSize == 12 ? 3 : 4;
        int bpp = headerSize == 12 ? r.U16(off + 10) : r.U16(off + 14);
        uint32_t used = headerSize == 12 ? 0 : r.U32(off + 32);
        if (!r.Ok() || bpp <= 0 || bpp > 32) return false;
        size_t colors =
            bpp <= 8 ? (used ? std::min<size_t>(used, size_t(1) << bpp) : size_t(1) << bpp) : 0;
        size_t bmi = headerSize + colors * colorSize;
        if (headerSize > r.Size() || bmi > r.Size() - off) return false;
        return ReadDib(r, off, bmi, off + bmi, r.Size() - off - bmi, DIB_RGB_COLORS, info, bits);
    }

    void Text(TReader& r, double x, double y, size_t strOff, size_t count, UINT options,
              const TRect* rect, size_t dxOff) {
        if (!r.Need(strOff, count)) return;
        std::string bytes(reinterpret_cast<const char*>(r.Data() + strOff), count);
        std::u16string text = AnsiToWide(bytes, CharsetToCodePage(C.S.Font.Log.lfCharSet));
        std::vector<double> dx;
        if (dxOff && text.size() == count && r.Has(dxOff, count * 2))
            for (size_t i = 0; i < count; ++i)
                dx.push_back(r.I16(dxOff + i * 2));
        C.Text(x, y, options, rect, text, dx);
    }

    std::vector<TRect> Region(TReader& r) {
        // Header, bounds, then scans: count, top, bottom, count / 2 pairs, count again.
        std::vector<TRect> rects;
        uint16_t scans = r.U16(10);
        size_t at = 22;
        for (uint16_t i = 0; i < scans && r.Ok(); ++i) {
            uint16_t count = r.U16(at);
            int16_t top = r.I16(at + 2), bottom = r.I16(at + 4);
            if (!r.Need(at + 6, size_t(count) * 2 + 2)) break;
            for (uint16_t k = 0; k + 1 < count; k += 2)
                rects.emplace_back(r.I16(at + 6 + size_t(k) * 2), top,
                                   r.I16(at + 8 + size_t(k) * 2), bottom);
            at += 6 + size_t(count) * 2 + 2;
        }
        return rects;
    }

    // Each family of records has its handler. Escapes, palettes, mapper flags and the rest
    // belong to none: they change nothing drawn here.
    void Record(uint16_t function, TReader& r) {
        using THandler = bool (TWmfPlayer::*)(uint16_t, TReader&);
        static constexpr THandler kFamilies[] = {
            &TWmfPlayer::StateRecord,  &TWmfPlayer::LineRecord,   &TWmfPlayer::ShapeRecord,
            &TWmfPlayer::ClipRecord,   &TWmfPlayer::ObjectRecord, &TWmfPlayer::RegionRecord,
            &TWmfPlayer::BitmapRecord, &TWmfPlayer::TextRecord};
        for (THandler family : kFamilies)
            if ((this->*family)(function, r)) return;
    }

    // The mapping, the drawing modes and colours, and saving and restoring them.
    bool StateRecord(uint16_t function, TReader& r) {
        TMetafileCanvas::TState& s = C.S;
        switch (function) {
        case META_SETBKCOLOR:
            s.BkColor = Color(r.U32(0));
            break;
        case META_SETTEXTCOLOR:
            s.TextColor = Color(r.U32(0));
            break;
        case META_SETBKMODE:
            s.BkMode = r.U16(0) == TRANSPARENT ? TRANSPARENT : OPAQUE;
            break;
        case META_SETROP2: {
            int rop = r.U16(0);
            if (rop >= R2_BLACK && rop <= R2_WHITE) s.Rop2 = rop;
            break;
        }
        case META_SETPOLYFILLMODE:
            s.PolyFill = r.U16(0) == WINDING ? WINDING : ALTERNATE;
            break;
        case META_SETSTRETCHBLTMODE:
            s.StretchMode = r.U16(0);
            break;
        case META_SETTEXTCHAREXTRA:
            s.CharExtra = r.I16(0);
            break;
        case META_SETTEXTALIGN:
            s.TextAlign = r.U16(0);
            break;
        case META_SETWINDOWORG:
            s.WinOrg = {double(r.I16(2)), double(r.I16(0))};
            C.Dirty();
            break;
        case META_SETWINDOWEXT:
            s.WinExt = {double(r.I16(2)), double(r.I16(0))};
            C.Dirty();
            break;
        case META_OFFSETWINDOWORG:
            s.WinOrg.X += r.I16(2);
            s.WinOrg.Y += r.I16(0);
            C.Dirty();
            break;
        case META_SCALEWINDOWEXT: {
            int yd = r.I16(0), yn = r.I16(2), xd = r.I16(4), xn = r.I16(6);
            if (xd == 0 || yd == 0) break;
            s.WinExt.X = s.WinExt.X * xn / xd;
            s.WinExt.Y = s.WinExt.Y * yn / yd;
            C.Dirty();
            break;
        }
        case META_SAVEDC:
            C.SaveDC();
            break;
        case META_RESTOREDC:
            C.RestoreDC(r.I16(0));
            break;
        default:
            return false;
        }
        return true;
    }

    // Lines, curves, polygons and single points.
    bool LineRecord(uint16_t function, TReader& r) {
        switch (function) {
        case META_MOVETO:
            C.MoveTo(r.I16(2), r.I16(0));
            break;
        case META_LINETO: {
            double y = r.I16(0), x = r.I16(2);
            if (r.Ok()) C.LineTo(x, y);
            break;
        }
        case META_SETPIXEL: {
            COLORREF c = Color(r.U32(0));
            double y = r.I16(4), x = r.I16(6);
            if (r.Ok()) C.SetPixel(x, y, c);
            break;
        }
        case META_POLYGON:
        case META_POLYLINE: {
            auto pts = Points(r, 2, r.U16(0));
            if (r.Ok()) C.Poly(pts, function == META_POLYGON);
            break;
        }
        case META_POLYPOLYGON: {
            uint16_t polys = r.U16(0);
            if (!r.Need(2, size_t(polys) * 2)) break;
            std::vector<std::vector<TMfPoint>> rings;
            size_t at = 2 + size_t(polys) * 2;
            for (uint16_t i = 0; i < polys && r.Ok(); ++i) {
                size_t n = r.U16(2 + size_t(i) * 2);
                rings.push_back(Points(r, at, n));
                at += n * 4;
            }
            if (r.Ok()) C.PolyPoly(rings, true);
            break;
        }
        default:
            return false;
        }
        return true;
    }

    // Rectangles, ellipses, arcs and pattern fills.
    bool ShapeRecord(uint16_t function, TReader& r) {
        switch (function) {
        case META_RECTANGLE:
        case META_ELLIPSE: {
            double b = r.I16(0), rt = r.I16(2), t = r.I16(4), l = r.I16(6);
            if (!r.Ok()) break;
            if (function == META_RECTANGLE)
                C.Rectangle(l, t, rt, b);
            else
                C.Ellipse(l, t, rt, b);
            break;
        }
        case META_ROUNDRECT: {
            double h = r.I16(0), w = r.I16(2), b = r.I16(4), rt = r.I16(6), t = r.I16(8),
                   l = r.I16(10);
            if (r.Ok()) C.RoundRect(l, t, rt, b, w, h);
            break;
        }
        case META_ARC:
        case META_PIE:
        case META_CHORD: {
            double ye = r.I16(0), xe = r.I16(2), ys = r.I16(4), xs = r.I16(6), b = r.I16(8),
                   rt = r.I16(10), t = r.I16(12), l = r.I16(14);
            if (!r.Ok()) break;
            int kind = function == META_ARC ? 0 : function == META_CHORD ? 1 : 2;
            C.Arc(kind, l, t, rt, b, xs, ys, xe, ye);
            break;
        }
        case META_PATBLT: {
            DWORD rop = r.U32(0);
            double h = r.I16(4), w = r.I16(6), y = r.I16(8), x = r.I16(10);
            if (r.Ok()) C.PatBlt(x, y, w, h, rop);
            break;
        }
        default:
            return false;
        }
        return true;
    }

    // The clipping region.
    bool ClipRecord(uint16_t function, TReader& r) {
        switch (function) {
        case META_EXCLUDECLIPRECT:
        case META_INTERSECTCLIPRECT: {
            double b = r.I16(0), rt = r.I16(2), t = r.I16(4), l = r.I16(6);
            if (!r.Ok()) break;
            if (function == META_INTERSECTCLIPRECT)
                C.IntersectClip(l, t, rt, b);
            else
                C.ExcludeClip(l, t, rt, b);
            break;
        }
        case META_OFFSETCLIPRGN:
            C.OffsetClip(r.I16(2), r.I16(0));
            break;
        case META_SELECTCLIPREGION: {
            TMfObject* o = Slot(r.U16(0));
            if (o && o->Kind == TMfObject::okRegion)
                C.SelectClipRects(o->Region, false, RGN_COPY);
            else if (r.Ok())
                C.ResetClip();
            break;
        }
        default:
            return false;
        }
        return true;
    }

    // Creating, selecting and deleting pens, brushes, fonts, palettes and regions.
    bool ObjectRecord(uint16_t function, TReader& r) {
        switch (function) {
        case META_SELECTOBJECT:
            if (TMfObject* o = Slot(r.U16(0))) C.Select(*o);
            break;
        case META_DELETEOBJECT:
            if (TMfObject* o = Slot(r.U16(0))) *o = TMfObject();
            break;
        case META_CREATEPENINDIRECT: {
            TMfObject o;
            o.Kind = TMfObject::okPen;
            o.Pen.Style = r.U16(0) & 0xF;
            o.Pen.Width = r.I16(2);
            o.Pen.Color = Color(r.U32(6));
            if (r.Ok()) Add(o);
            break;
        }
        case META_CREATEBRUSHINDIRECT: {
            TMfObject o;
            o.Kind = TMfObject::okBrush;
            o.Brush.Style = r.U16(0);
            o.Brush.Color = Color(r.U32(2));
            o.Brush.Hatch = r.U16(6);
            if (o.Brush.Style != BS_NULL && o.Brush.Style != BS_HATCHED) o.Brush.Style = BS_SOLID;
            if (r.Ok()) Add(o);
            break;
        }
        case META_DIBCREATEPATTERNBRUSH:
        case META_CREATEPATTERNBRUSH: {
            TMfObject o;
            o.Kind = TMfObject::okBrush;
            BITMAPINFO info;
            const uint8_t* bits = nullptr;
            if (function == META_DIBCREATEPATTERNBRUSH && r.U16(2) == DIB_RGB_COLORS &&
                InlineDib(r, 4, info, bits)) {
                o.Brush.Pattern = PatternOf(info, bits);
            }
            if (!o.Brush.Pattern) o.Brush.Color = 0x808080;
            Add(o);
            break;
        }
        case META_CREATEFONTINDIRECT: {
            TMfObject o;
            o.Kind = TMfObject::okFont;
            o.Font.Stock = false;
            LOGFONTW& lf = o.Font.Log;
            lf.lfHeight = r.I16(0);
            lf.lfWidth = r.I16(2);
            lf.lfEscapement = r.I16(4);
            lf.lfOrientation = r.I16(6);
            lf.lfWeight = r.I16(8);
            lf.lfItalic = r.U8(10);
            lf.lfUnderline = r.U8(11);
            lf.lfStrikeOut = r.U8(12);
            lf.lfCharSet = r.U8(13);
            lf.lfQuality = r.U8(16);
            lf.lfPitchAndFamily = r.U8(17);
            if (!r.Ok()) break;
            std::string face;
            for (size_t i = 18; i < r.Size() && i < 18 + LF_FACESIZE - 1; ++i) {
                char ch = char(r.U8(i));
                if (ch == 0) break;
                face += ch;
            }
            std::u16string wide = AnsiToWide(face, CP_ACP);
            for (size_t i = 0; i < wide.size() && i < LF_FACESIZE - 1; ++i)
                lf.lfFaceName[i] = wide[i];
            Add(o);
            break;
        }
        case META_CREATEPALETTE: {
            TMfObject o;
            o.Kind = TMfObject::okPalette;
            Add(o);
            break;
        }
        case META_CREATEREGION: {
            TMfObject o;
            o.Kind = TMfObject::okRegion;
            o.Region = Region(r);
            if (r.Ok()) Add(o);
            break;
        }
        default:
            return false;
        }
        return true;
    }

    // Filling and inverting regions.
    bool RegionRecord(uint16_t function, TReader& r) {
        switch (function) {
        case META_FILLREGION:
        case META_PAINTREGION:
        case META_INVERTREGION: {
            TMfObject* region = Slot(r.U16(0));
            if (!region || region->Kind != TMfObject::okRegion) break;
            if (function == META_INVERTREGION) {
                C.InvertRects(region->Region);
            } else if (function == META_PAINTREGION) {
                C.FillRects(region->Region, C.S.Brush);
            } else if (TMfObject* brush = Slot(r.U16(2));
                       brush && brush->Kind == TMfObject::okBrush) {
                C.FillRects(region->Region, brush->Brush);
            }
            break;
        }
        default:
            return false;
        }
        return true;
    }

    // Bitmaps and gradients.
    bool BitmapRecord(uint16_t function, TReader& r) {
        switch (function) {
        case META_DIBBITBLT:
        case META_DIBSTRETCHBLT:
        case META_STRETCHDIB:
        case META_SETDIBTODEV:
            Bitmap(function, r);
            break;
        default:
            return false;
        }
        return true;
    }

    // Text.
    bool TextRecord(uint16_t function, TReader& r) {
        switch (function) {
        case META_TEXTOUT: {
            size_t count = r.U16(0);
            size_t padded = (count + 1) & ~size_t(1);
            double y = r.I16(2 + padded), x = r.I16(4 + padded);
            if (r.Ok()) Text(r, x, y, 2, count, 0, nullptr, 0);
            break;
        }
        case META_EXTTEXTOUT: {
            double y = r.I16(0), x = r.I16(2);
            size_t count = r.U16(4);
            UINT options = r.U16(6);
            size_t at = 8;
            TRect rect;
            const TRect* rp = nullptr;
            if (options & (ETO_OPAQUE | ETO_CLIPPED)) {
                rect = TRect(r.I16(8), r.I16(10), r.I16(12), r.I16(14));
                rp = &rect;
                at = 16;
            }
            if (!r.Ok()) break;
            size_t padded = (count + 1) & ~size_t(1);
            Text(r, x, y, at, count, options, rp, at + padded);
            break;
        }
        default:
            return false;
        }
        return true;
    }

    void Bitmap(uint16_t function, TReader& r) {
        // The parameter words counted by the function number's high byte mean "no bitmap".
        bool noBitmap = r.Size() / 2 == size_t(function >> 8);
        BITMAPINFO info;
        const uint8_t* bits = nullptr;
        switch (function) {
        case META_DIBBITBLT: {
            DWORD rop = r.U32(0);
            int sy = r.I16(4), sx = r.I16(6);
            size_t k = noBitmap ? 10 : 8;
            double h = r.I16(k), w = r.I16(k + 2), y = r.I16(k + 4), x = r.I16(k + 6);
            if (!r.Ok()) return;
            if (noBitmap) {
                C.PatBlt(x, y, w, h, rop);
            } else if (InlineDib(r, 16, info, bits)) {
                C.Bitmap(x, y, w, h, sx, sy, int(w), int(h), info, bits, Rop(rop));
            }
            return;
        }
        case META_DIBSTRETCHBLT: {
            DWORD rop = r.U32(0);
            int sh = r.I16(4), sw = r.I16(6), sy = r.I16(8), sx = r.I16(10);
            size_t k = noBitmap ? 14 : 12;
            double h = r.I16(k), w = r.I16(k + 2), y = r.I16(k + 4), x = r.I16(k + 6);
            if (!r.Ok()) return;
            if (noBitmap) {
                C.PatBlt(x, y, w, h, rop);
            } else if (InlineDib(r, 20, info, bits)) {
                C.Bitmap(x, y, w, h, sx, sy, sw, sh, info, bits, Rop(rop));
            }
            return;
        }
        case META_STRETCHDIB: {
            DWORD rop = r.U32(0);
            uint16_t usage = r.U16(4);
            int sh = r.I16(6), sw = r.I16(8), sy = r.I16(10), sx = r.I16(12);
            double h = r.I16(14), w = r.I16(16), y = r.I16(18), x = r.I16(20);
            if (r.Ok() && usage == DIB_RGB_COLORS && InlineDib(r, 22, info, bits))
                C.Bitmap(x, y, w, h, sx, DibRowFromTop(info, sy, sh), sw, sh, info, bits,
                         Rop(rop));
            return;
        }
        case META_SETDIBTODEV: {
            uint16_t usage = r.U16(0), scans = r.U16(2), startScan = r.U16(4);
            int sy = r.I16(6), sx = r.I16(8);
            int h = r.I16(10), w = r.I16(12);
            double y = r.I16(14), x = r.I16(16);
            if (!r.Ok() || usage != DIB_RGB_COLORS || !InlineDib(r, 18, info, bits)) return;
            if (startScan != 0 || scans != std::abs(info.bmiHeader.biHeight)) return;
            C.Bitmap(x, y, w, h, sx, DibRowFromTop(info, sy, h), w, h, info, bits, Rop(SRCCOPY));
            return;
        }
        default:
            return;
        }
    }

    TMetafileCanvas& C;
    const uint8_t* FP;
    size_t FN;
};

} // namespace

bool ReadMetafileSize(std::string_view data, TMetafileSize& size) {
    size = TMetafileSize();
    TReader h(reinterpret_cast<const uint8_t*>(data.data()), data.size());
    if (data.size() >= 88 && h.U32(0) == 1 && h.U32(40) == kEmfSignature) {
        // The frame is in hundredths of a millimetre.
        int64_t w = int64_t(h.I32(32)) - h.I32(24), ht = int64_t(h.I32(36)) - h.I32(28);
        if (w < 0 || ht < 0 || w > kMaxFrame || ht > kMaxFrame) return false;
        size.Width = int(std::lround(double(w) * 96 / 2540));
        size.Height = int(std::lround(double(ht) * 96 / 2540));
        size.Enhanced = true;
        return true;
    }
    if (data.size() >= 22 + 18 && h.U32(0) == kPlaceableKey) {
        // A bounding box in units of Inch per inch (1440 when the header gives none).
        int16_t l = h.I16(6), t = h.I16(8), r = h.I16(10), b = h.I16(12);
        size.Inch = h.U16(14);
        double inch = size.Inch ? size.Inch : 1440;
        size.Width = std::max(0, int(std::lround((int(r) - l) * 96.0 / inch)));
        size.Height = std::max(0, int(std::lround((int(b) - t) * 96.0 / inch)));
        return true;
    }
    if (data.size() >= 18 && (h.U16(0) == 1 || h.U16(0) == 2) && h.U16(2) == 9) {
        // No size of its own: the first window extent, at 1440 units per inch.
        size_t off = 18;
        while (off + 6 <= data.size()) {
            uint32_t words = h.U32(off);
            uint16_t function = h.U16(off + 4);
            if (words < 3 || words > (data.size() - off) / 2 || function == META_EOF) break;
            if (function == META_SETWINDOWEXT && words >= 5) {
                size.Width = int(std::lround(std::abs(h.I16(off + 8)) * 96.0 / 1440));
                size.Height = int(std::lround(std::abs(h.I16(off + 6)) * 96.0 / 1440));
                break;
            }
            off += words * size_t(2);
        }
        return true;
    }
    return false;
}

bool PlayMetafile(HDC dc, std::string_view data, const TRect& dest) {
    TMetafileSize size;
    if (!dc || !ReadMetafileSize(data, size)) return false;
    if (dest.IsEmpty()) return true;
    TMetafileCanvas canvas(dc, dest);
    if (size.Enhanced) return TEmfPlayer(canvas, data).Play();
    return TWmfPlayer(canvas, data).Play();
}

} // namespace epc
