#include "components/tree/CheckImages.h"

#include <cmath>
#include <map>
#include <mutex>

#include "platform/controls/Forms.h"
#include "platform/core/Exceptions.h"
#include "platform/gdi/Gdi.h"
#include "platform/windows/Window.h"

namespace epc {

namespace {

constexpr uint32_t Transparent = 0xFFFF00FF; // clFuchsia as a pixel

std::mutex gImagesLock;
std::map<TCheckImageKind, std::unique_ptr<TBitmap>> gStrips;
std::unique_ptr<TBitmap> gUtilities;
std::map<TCheckImageKind, std::unique_ptr<TImageList>> gCheckLists;
std::map<std::string, std::unique_ptr<TBitmap>> gCursors;

// A square cell of 32-bit pixels being drawn.
struct TCell {
    int Size;
    std::vector<uint32_t> Pixels;
    explicit TCell(int size, uint32_t fill = Transparent)
        : Size(size), Pixels(size_t(size * size), fill) {}
    void Set(int x, int y, uint32_t c) {
        if (x >= 0 && y >= 0 && x < Size && y < Size) Pixels[size_t(y * Size + x)] = c;
    }
    void Fill(int x1, int y1, int x2, int y2, uint32_t c) { // inclusive
        for (int y = y1; y <= y2; ++y)
            for (int x = x1; x <= x2; ++x)
                Set(x, y, c);
    }
    void Frame(int x1, int y1, int x2, int y2, uint32_t c) {
        for (int x = x1; x <= x2; ++x) {
            Set(x, y1, c);
            Set(x, y2, c);
        }
        for (int y = y1; y <= y2; ++y) {
            Set(x1, y, c);
            Set(x2, y, c);
        }
    }
    void Line(int x1, int y1, int x2, int y2, uint32_t c, int thickness = 1) {
        int dx = std::abs(x2 - x1), dy = -std::abs(y2 - y1);
        int sx = x1 < x2 ? 1 : -1, sy = y1 < y2 ? 1 : -1, err = dx + dy;
        while (true) {
            for (int t = 0; t < thickness; ++t)
                Set(x1, y1 + t, c);
            if (x1 == x2 && y1 == y2) break;
            int e2 = 2 * err;
            if (e2 >= dy) {
                err += dy;
                x1 += sx;
            }
            if (e2 <= dx) {
                err += dx;
                y1 += sy;
            }
        }
    }
    void Disc(double cx, double cy, double r, uint32_t c) {
        for (int y = 0; y < Size; ++y)
            for (int x = 0; x < Size; ++x)
                if (std::hypot(x + 0.5 - cx, y + 0.5 - cy) <= r) Set(x, y, c);
    }
};

// Colours of one check-image look.
struct TLook {
    uint32_t Frame, Fill, HotFrame, HotFill, PressedFill, DisabledFrame, DisabledFill, Mark,
        DisabledMark;
    bool Tick; // a tick rather than a check mark
    bool Flat; // a one-pixel frame without a shadow
};

TLook LookOf(TCheckImageKind kind) {
    using K = TCheckImageKind;
    // The light check box; the other looks change a few of its colours.
    TLook look{.Frame = 0xFF808080,
               .Fill = 0xFFFFFFFF,
               .HotFrame = 0xFF3C7FB1,
               .HotFill = 0xFFE8F2FC,
               .PressedFill = 0xFFC0C0C0,
               .DisabledFrame = 0xFFA0A0A0,
               .DisabledFill = 0xFFF0F0F0,
               .Mark = 0xFF000000,
               .DisabledMark = 0xFFA0A0A0,
               .Tick = false,
               .Flat = false};
    // The dark kinds differ from the light ones by their box, the tick kinds by their mark.
    if (kind == K::ckDarkCheck || kind == K::ckDarkTick) {
        look.Fill = 0xFFD4D0C8;
        look.Frame = 0xFF404040;
    }
    if (kind == K::ckLightTick || kind == K::ckDarkTick) {
        look.Tick = true;
        look.Mark = 0xFF008000;
    }
    switch (kind) {
    case K::ckFlat:
        look.Flat = true;
        look.Frame = 0xFF000000;
        break;
    case K::ckXP:
        look.Flat = true;
        look.Frame = 0xFF1C5180;
        look.Fill = 0xFFF4F4F0;
        look.HotFrame = 0xFFF8B330;
        look.Mark = 0xFF21A121;
        break;
    default:
        break;
    }
    return look;
}

enum TForm { fNormal, fHot, fPressed, fDisabled };

// The frame and fill of a box or radio button in the given form.
uint32_t FrameColor(const TLook& look, TForm form) {
    return form == fHot ? look.HotFrame : form == fDisabled ? look.DisabledFrame : look.Frame;
}
uint32_t FillColor(const TLook& look, TForm form) {
    return form == fHot        ? look.HotFill
           : form == fPressed  ? look.PressedFill
           : form == fDisabled ? look.DisabledFill
                               : look.Fill;
}

void DrawBox(TCell& cell, const TLook& look, TForm form, int state /*0 un, 1 checked, 2 mixed*/) {
    const uint32_t frame = FrameColor(look, form);
    const uint32_t fill = FillColor(look, form);
    uint32_t mark = form == fDisabled ? look.DisabledMark : look.Mark;
    // The box covers x 1..13 and y 2..14, as the system's check boxes do.
    cell.Fill(1, 2, 13, 14, fill);
    cell.Frame(1, 2, 13, 14, frame);
    if (!look.Flat) {
        // A sunken edge: darker inner line at the top and left.
        cell.Line(2, 3, 12, 3, 0xFF404040);
        cell.Line(2, 3, 2, 13, 0xFF404040);
    }
    if (state == 1) {
        if (look.Tick) {
            cell.Line(4, 8, 6, 10, mark, 3);
            cell.Line(6, 10, 11, 5, mark, 3);
        } else {
            cell.Line(4, 8, 6, 10, mark, 2);
            cell.Line(6, 10, 10, 6, mark, 2);
        }
    } else if (state == 2) {
        cell.Fill(4, 5, 10, 11, form == fDisabled ? look.DisabledMark : 0xFF808080);
    }
}

void DrawRadio(TCell& cell, const TLook& look, TForm form, bool checked) {
    const uint32_t frame = FrameColor(look, form);
    const uint32_t fill = FillColor(look, form);
    cell.Disc(7.5, 8.5, 6.0, frame);
    cell.Disc(7.5, 8.5, 5.0, fill);
    if (checked) cell.Disc(7.5, 8.5, 2.2, form == fDisabled ? look.DisabledMark : look.Mark);
}

void DrawButton(TCell& cell, TForm form) {
    const uint32_t face = form == fHot ? 0xFFE0DCD4 : 0xFFD4D0C8;
    const uint32_t light = 0xFFFFFFFF, shadow = 0xFF808080, dark = 0xFF404040;
    const bool pressed = form == fPressed;
    cell.Fill(1, 2, 13, 14, face);
    cell.Line(1, 2, 13, 2, pressed ? dark : light);
    cell.Line(1, 2, 1, 14, pressed ? dark : light);
    cell.Line(1, 14, 13, 14, pressed ? light : dark);
    cell.Line(13, 2, 13, 14, pressed ? light : dark);
    cell.Line(2, 13, 12, 13, pressed ? face : shadow);
    cell.Line(12, 3, 12, 13, pressed ? face : shadow);
}

void PutCell(TBitmap& strip, int index, const TCell& cell) {
    for (int y = 0; y < cell.Size; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(strip.ScanLine(y));
        for (int x = 0; x < cell.Size; ++x)
            row[index * cell.Size + x] = cell.Pixels[size_t(y * cell.Size + x)];
    }
}

std::unique_ptr<TBitmap> NewStrip(int count) {
    auto strip = std::make_unique<TBitmap>(count * CheckImageSize, CheckImageSize, pf32bit);
    for (int y = 0; y < CheckImageSize; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(strip->ScanLine(y));
        std::fill(row, row + count * CheckImageSize, Transparent);
    }
    return strip;
}

std::unique_ptr<TBitmap> DrawnStrip(TCheckImageKind kind) {
    auto strip = NewStrip(CheckImageCount);
    const TLook look = LookOf(kind);
    for (int form = 0; form < 4; ++form) {
        TForm f = TForm(form);
        TCell cell(CheckImageSize);
        DrawRadio(cell, look, f, false);
        PutCell(*strip, 1 + form, cell);
        cell = TCell(CheckImageSize);
        DrawRadio(cell, look, f, true);
        PutCell(*strip, 5 + form, cell);
        for (int state = 0; state < 3; ++state) {
            cell = TCell(CheckImageSize);
            DrawBox(cell, look, f, state);
            PutCell(*strip, 9 + 4 * state + form, cell);
        }
        if (form < 3) {
            cell = TCell(CheckImageSize);
            DrawButton(cell, f);
            PutCell(*strip, 21 + form, cell);
        }
    }
    return strip;
}

// The system look: 20 images through DrawFrameControl, then images 20 to 23 of the dark
// check strip.
std::unique_ptr<TBitmap> SystemStrip(bool flat) {
    auto strip = NewStrip(CheckImageCount);
    TBitmap cellBitmap(CheckImageSize, CheckImageSize, pf32bit);
    for (int index = 0; index < 20; ++index) {
        for (int y = 0; y < CheckImageSize; ++y) {
            auto* row = reinterpret_cast<uint32_t*>(cellBitmap.ScanLine(y));
            std::fill(row, row + CheckImageSize, Transparent);
        }
        UINT flags = index < 9 ? DFCS_BUTTONRADIO : DFCS_BUTTONCHECK;
        if (index >= 17) flags |= DFCS_BUTTON3STATE | DFCS_INACTIVE;
        switch (index % 4) {
        case 2:
            flags |= DFCS_HOT;
            break;
        case 3:
            flags |= DFCS_PUSHED;
            break;
        case 0:
            flags |= DFCS_INACTIVE;
            break;
        default:
            break;
        }
        if ((index >= 5 && index <= 8) || (index >= 13 && index <= 16)) flags |= DFCS_CHECKED;
        if (flat) flags |= DFCS_FLAT;
        RECT r(1, 2, CheckImageSize - 2, CheckImageSize - 1);
        DrawFrameControl(cellBitmap.Canvas()->Handle(), &r, DFC_BUTTON, flags);
        TCell cell(CheckImageSize);
        for (int y = 0; y < CheckImageSize; ++y) {
            auto* row = reinterpret_cast<uint32_t*>(cellBitmap.ScanLine(y));
            for (int x = 0; x < CheckImageSize; ++x)
                cell.Pixels[size_t(y * CheckImageSize + x)] = row[x];
        }
        PutCell(*strip, index, cell);
    }
    auto dark = DrawnStrip(TCheckImageKind::ckDarkCheck);
    for (int index = 20; index < 24; ++index)
        for (int y = 0; y < CheckImageSize; ++y) {
            auto* src = reinterpret_cast<uint32_t*>(dark->ScanLine(y));
            auto* dst = reinterpret_cast<uint32_t*>(strip->ScanLine(y));
            std::copy(src + index * CheckImageSize, src + (index + 1) * CheckImageSize,
                      dst + index * CheckImageSize);
        }
    return strip;
}

std::unique_ptr<TBitmap> DrawUtilities() {
    auto strip = NewStrip(3);
    TCell up(CheckImageSize), down(CheckImageSize), mark(CheckImageSize);
    for (int i = 0; i < 4; ++i) {
        up.Line(7 - i, 6 + i, 7 + i, 6 + i, 0xFF404040);
        down.Line(7 - i, 9 - i, 7 + i, 9 - i, 0xFF404040);
    }
    mark.Fill(0, 7, 15, 8, 0xFF000000);
    PutCell(*strip, 0, up);
    PutCell(*strip, 1, down);
    PutCell(*strip, 2, mark);
    return strip;
}

// ---- Cursors
// ---------------------------------------------------------------------------------------

const std::vector<std::string> kCursorNames = {
    "VT_HEADERSPLIT", "VT_MOVEALL", "VT_MOVEEW", "VT_MOVENS", "VT_MOVEN",  "VT_MOVES",
    "VT_MOVEE",       "VT_MOVEW",   "VT_MOVENE", "VT_MOVENW", "VT_MOVESE", "VT_MOVESW"};

// A filled triangle, edges included.
void Triangle(TCell& c, TPoint a, TPoint b, TPoint p3, uint32_t color) {
    auto edge = [](TPoint p, TPoint q, int x, int y) {
        return (q.X - p.X) * (y - p.Y) - (q.Y - p.Y) * (x - p.X);
    };
    for (int y = 0; y < c.Size; ++y)
        for (int x = 0; x < c.Size; ++x) {
            int e0 = edge(a, b, x, y), e1 = edge(b, p3, x, y), e2 = edge(p3, a, x, y);
            if ((e0 >= 0 && e1 >= 0 && e2 >= 0) || (e0 <= 0 && e1 <= 0 && e2 <= 0))
                c.Set(x, y, color);
        }
}

// An arrow head with its tip at (x, y), pointing in direction (dx, dy).
void ArrowHead(TCell& c, int x, int y, int dx, int dy) {
    TPoint tip(x, y);
    if (dx != 0 && dy != 0)
        Triangle(c, tip, TPoint(x - 6 * dx, y), TPoint(x, y - 6 * dy), 0xFF000000);
    else
        Triangle(c, tip, TPoint(x - 5 * dx + 4 * dy, y - 5 * dy + 4 * dx),
                 TPoint(x - 5 * dx - 4 * dy, y - 5 * dy - 4 * dx), 0xFF000000);
}

std::unique_ptr<TBitmap> DrawCursor(const std::string& name) {
    TCell c(32, 0x00000000);
    const int cx = 15, cy = 15;
    if (name == "VT_HEADERSPLIT") {
        c.Fill(cx - 2, 6, cx - 1, 25, 0xFF000000);
        c.Fill(cx + 1, 6, cx + 2, 25, 0xFF000000);
        c.Line(cx - 10, cy, cx - 3, cy, 0xFF000000, 2);
        c.Line(cx + 3, cy, cx + 10, cy, 0xFF000000, 2);
        ArrowHead(c, cx - 11, cy, -1, 0);
        ArrowHead(c, cx + 11, cy, 1, 0);
    } else {
        // The panning origin: a ring with a dot, and arrows for the possible directions.
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 32; ++x) {
                double d = std::hypot(x - cx, y - cy);
                if (d <= 3.5 && d >= 2.5) c.Set(x, y, 0xFF000000);
                if (d < 1.2) c.Set(x, y, 0xFF000000);
            }
        std::string dir = name.substr(7); // after "VT_MOVE"
        auto has = [&](char ch) { return dir == "ALL" || dir.find(ch) != std::string::npos; };
        bool ew = dir == "EW", ns = dir == "NS";
        bool diagonal = dir.size() == 2 && !ew && !ns;
        if (!diagonal) {
            if (has('N') || ns) ArrowHead(c, cx, cy - 12, 0, -1);
            if (has('S') || ns) ArrowHead(c, cx, cy + 12, 0, 1);
            if ((has('E') && dir != "NE" && dir != "SE") || ew) ArrowHead(c, cx + 12, cy, 1, 0);
            if ((has('W') && dir != "NW" && dir != "SW") || ew) ArrowHead(c, cx - 12, cy, -1, 0);
        } else {
            int dx = dir[1] == 'E' ? 1 : -1, dy = dir[0] == 'S' ? 1 : -1;
            ArrowHead(c, cx + dx * 10, cy + dy * 10, dx, dy);
        }
    }
    auto bitmap = std::make_unique<TBitmap>(32, 32, pf32bit);
    for (int y = 0; y < 32; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(bitmap->ScanLine(y));
        for (int x = 0; x < 32; ++x)
            row[x] = c.Pixels[size_t(y * 32 + x)];
    }
    return bitmap;
}

// The pictures' three greys stand for the system's 3-D colours: the dark grey for the button
// shadow, the light grey for the button face and the lighter one for the 3-D light colour.
std::unique_ptr<TBitmap> MapSystemColors(std::unique_ptr<TBitmap> strip) {
    auto pixel = [](int index) {
        const COLORREF c = GetSysColor(index);
        return 0xFF000000u | (uint32_t(GetRValue(c)) << 16) | (uint32_t(GetGValue(c)) << 8) |
               GetBValue(c);
    };
    const uint32_t shadow = pixel(COLOR_BTNSHADOW), face = pixel(COLOR_BTNFACE),
                   light = pixel(COLOR_3DLIGHT);
    for (int y = 0; y < strip->Height(); ++y) {
        auto* row = reinterpret_cast<uint32_t*>(strip->ScanLine(y));
        for (int x = 0; x < strip->Width(); ++x) {
            if (row[x] == 0xFF808080)
                row[x] = shadow;
            else if (row[x] == 0xFFC0C0C0)
                row[x] = face;
            else if (row[x] == 0xFFDFDFDF)
                row[x] = light;
        }
    }
    return strip;
}

} // namespace

std::unique_ptr<TBitmap> MakeCheckImageStrip(TCheckImageKind kind) {
    switch (kind) {
    case TCheckImageKind::ckCustom:
        return nullptr;
    case TCheckImageKind::ckSystem:
        return SystemStrip(false);
    case TCheckImageKind::ckSystemFlat:
        return SystemStrip(true);
    case TCheckImageKind::ckXP:
        return DrawnStrip(kind); // keeps its own colours
    default:
        return MapSystemColors(DrawnStrip(kind));
    }
}

int StripImageCount(TBitmap* strip, const std::string& resourceName) {
    Assert(strip != nullptr && strip->Width() >= 1,
           "Internal image \"" + resourceName + "\" is missing or corrupt.");
    if (strip->Height() < 1) return 0;
    return strip->Width() / strip->Height();
}

void CreateTreeImages() {
    std::lock_guard<std::mutex> guard(gImagesLock);
    using K = TCheckImageKind;
    for (K kind : {K::ckLightCheck, K::ckDarkCheck, K::ckLightTick, K::ckDarkTick, K::ckFlat,
                   K::ckXP, K::ckSystem, K::ckSystemFlat})
        if (!gStrips[kind]) gStrips[kind] = MakeCheckImageStrip(kind);
    for (auto& [kind, strip] : gStrips) {
        if (!strip || gCheckLists[kind]) continue;
        auto list = std::make_unique<TImageList>(nullptr, strip->Height(), strip->Height());
        list->AddMasked(strip.get(), clDefault);
        gCheckLists[kind] = std::move(list);
    }
    if (!gUtilities) gUtilities = MapSystemColors(DrawUtilities());
    for (const auto& name : kCursorNames) {
        if (gCursors[name]) continue;
        gCursors[name] = DrawCursor(name);
        // Known to the window layer by name, as a resource cursor would be.
        TBitmap* picture = gCursors[name].get();
        std::vector<uint32_t> pixels(32 * 32);
        for (int y = 0; y < 32; ++y) {
            auto* row = reinterpret_cast<uint32_t*>(picture->ScanLine(y));
            std::copy(row, row + 32, pixels.begin() + y * 32);
        }
        RegisterCursorImage(name, 32, 32, TPoint(15, 15), std::move(pixels));
    }
    if (Screen) Screen->SetCursors(100, LoadCursorA(nullptr, "VT_HEADERSPLIT"));
}

void ReloadCheckImages() {
    std::lock_guard<std::mutex> guard(gImagesLock);
    using K = TCheckImageKind;
    // Redrawn in place: trees hold the lists and strips.
    for (K kind : {K::ckLightCheck, K::ckDarkCheck, K::ckLightTick, K::ckDarkTick, K::ckFlat}) {
        TBitmap* strip = gStrips[kind].get();
        TCustomImageList* list = gCheckLists[kind].get();
        if (!strip || !list) continue;
        strip->Assign(MakeCheckImageStrip(kind).get());
        list->Clear();
        list->AddMasked(strip, clDefault);
    }
    if (gUtilities) gUtilities->Assign(MapSystemColors(DrawUtilities()).get());
}

void FreeTreeImages() {
    std::lock_guard<std::mutex> guard(gImagesLock);
    gCheckLists.clear();
    gStrips.clear();
    gUtilities.reset();
    gCursors.clear();
}

TBitmap* CheckImageStrip(TCheckImageKind kind) {
    std::lock_guard<std::mutex> guard(gImagesLock);
    auto it = gStrips.find(kind);
    return it == gStrips.end() ? nullptr : it->second.get();
}

TCustomImageList* CheckImageList(TCheckImageKind kind) {
    std::lock_guard<std::mutex> guard(gImagesLock);
    auto it = gCheckLists.find(kind);
    return it == gCheckLists.end() ? nullptr : it->second.get();
}

TBitmap* UtilityImageStrip() {
    std::lock_guard<std::mutex> guard(gImagesLock);
    return gUtilities.get();
}

TBitmap* TreeCursorImage(const std::string& name) {
    std::lock_guard<std::mutex> guard(gImagesLock);
    auto it = gCursors.find(name);
    return it == gCursors.end() ? nullptr : it->second.get();
}

const std::vector<std::string>& TreeCursorNames() {
    return kCursorNames;
}

} // namespace epc
