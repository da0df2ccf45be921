// Metafile playback: fixtures exported by a drawing program against that program's own
// rendering, record-level behaviour on small hand-built metafiles, and damaged data.

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/core/Streams.h"
#include "platform/graphics/Bitmap.h"
#include "platform/graphics/Icon.h"
#include "platform/graphics/MetafilePlayer.h"
#include "platform/graphics/PngImage.h"

namespace epc {
namespace {

std::string DataFile(const std::string& name) {
    const char* root = std::getenv("EPC_TEST_DATA");
    std::string dir =
        root ? std::string(root) + "/../platform/graphics/data/" : std::string(__FILE__);
    if (!root) dir = dir.substr(0, dir.find_last_of('/')) + "/data/";
    return dir + name;
}

std::string ReadFile(const std::string& name) {
    TFileStream f(DataFile(name), fmOpenRead);
    std::string s(size_t(f.Size()), '\0');
    f.ReadBuffer(s.data(), s.size());
    return s;
}

void SaveOut(TBitmap& bmp, const std::string& name) {
    const char* env = std::getenv("EPC_TEST_OUT");
    std::string dir = std::string(env ? env : "test-out") + "/metafile";
    std::filesystem::create_directories(dir);
    TPngImage png;
    png.Assign(&bmp);
    png.SaveToFile(dir + "/" + name);
}

// 0x00RRGGBB of a 24-bit canvas pixel.
struct TRgb {
    int R, G, B;
};
TRgb Rgb(TColor c) {
    return {int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF)};
}
bool Ink(TRgb c) {
    return c.R < 200 || c.G < 200 || c.B < 200;
}
bool Near(TRgb a, TRgb b, int tolerance) {
    return std::abs(a.R - b.R) <= tolerance && std::abs(a.G - b.G) <= tolerance &&
           std::abs(a.B - b.B) <= tolerance;
}

// The share of inked pixels inside areas of one colour in a that have no pixel of a similar
// colour within reach in b: shapes drawn in the same places leave only edge differences,
// which antialiasing makes anyway.
double Misplaced(TBitmap& a, TBitmap& b, int reach, int tolerance) {
    int w = std::min(a.Width(), b.Width()), h = std::min(a.Height(), b.Height());
    int ink = 0, missing = 0;
    for (int y = 1; y + 1 < h; ++y)
        for (int x = 1; x + 1 < w; ++x) {
            TRgb pa = Rgb(a.Canvas()->Pixels(x, y));
            if (!Ink(pa)) continue;
            bool uniform = true;
            for (int dy = -1; dy <= 1 && uniform; ++dy)
                for (int dx = -1; dx <= 1 && uniform; ++dx)
                    uniform = Near(pa, Rgb(a.Canvas()->Pixels(x + dx, y + dy)), 16);
            if (!uniform) continue;
            ++ink;
            bool found = false;
            for (int dy = -reach; dy <= reach && !found; ++dy)
                for (int dx = -reach; dx <= reach && !found; ++dx) {
                    int xx = x + dx, yy = y + dy;
                    if (xx < 0 || yy < 0 || xx >= w || yy >= h) continue;
                    found = Near(pa, Rgb(b.Canvas()->Pixels(xx, yy)), tolerance);
                }
            if (!found) ++missing;
        }
    return ink ? double(missing) / ink : 1.0;
}

// The share of dark pixels (text, outlines) of a with no dark pixel within reach in b.
double DarkMissing(TBitmap& a, TBitmap& b, int reach) {
    int w = std::min(a.Width(), b.Width()), h = std::min(a.Height(), b.Height());
    auto dark = [](TBitmap& bmp, int x, int y) {
        TRgb c = Rgb(bmp.Canvas()->Pixels(x, y));
        return c.R + c.G + c.B < 240;
    };
    int count = 0, missing = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            if (!dark(a, x, y)) continue;
            ++count;
            bool found = false;
            for (int yy = std::max(0, y - reach); yy <= std::min(h - 1, y + reach) && !found; ++yy)
                for (int xx = std::max(0, x - reach); xx <= std::min(w - 1, x + reach) && !found;
                     ++xx)
                    found = dark(b, xx, yy);
            if (!found) ++missing;
        }
    return count ? double(missing) / count : 1.0;
}

// A reference rendering on white.
std::unique_ptr<TBitmap> Reference(const std::string& name) {
    TPngImage png;
    png.LoadFromFile(DataFile(name));
    auto ref = std::make_unique<TBitmap>(png.Width(), png.Height(), pf24bit);
    ref->Canvas()->Brush()->SetColor(clWhite);
    ref->Canvas()->FillRect(Rect(0, 0, png.Width(), png.Height()));
    ref->Canvas()->Draw(0, 0, &png);
    return ref;
}

TEST(MetafileFixtures, DrawShapesTextAndBitmapWhereTheExportingProgramDoes) {
    // Each drawing program's export against its own rendering of the same drawing, over the
    // rows given (the second program renders its bitmap differently from what it exports).
    struct TCase {
        const char* File;
        const char* Reference;
        int Rows;
    };
    for (const TCase& c :
         {TCase{"shapes.wmf", "shapes.png", 1000}, TCase{"shapes.emf", "shapes.png", 1000},
          TCase{"shapes-inkscape.emf", "shapes-inkscape.png", 160},
          TCase{"shapes-inkscape.wmf", "shapes-inkscape.png", 160}}) {
        SCOPED_TRACE(c.File);
        auto ref = Reference(c.Reference);
        TMetafile meta;
        meta.LoadFromString(ReadFile(c.File));
        EXPECT_NEAR(meta.Width(), ref->Width(), 1);
        EXPECT_NEAR(meta.Height(), ref->Height(), 5);
        TBitmap out(meta.Width(), meta.Height(), pf24bit);
        out.Canvas()->Brush()->SetColor(clWhite);
        out.Canvas()->FillRect(Rect(0, 0, out.Width(), out.Height()));
        out.Canvas()->StretchDraw(Rect(0, 0, out.Width(), out.Height()), &meta);
        SaveOut(out, std::string(c.File) + ".png");
        int rows = std::min(c.Rows, ref->Height());
        ref->SetHeight(rows);
        out.SetHeight(rows);
        EXPECT_LT(Misplaced(out, *ref, 3, 48), 0.02);
        EXPECT_LT(Misplaced(*ref, out, 3, 48), 0.02);
        EXPECT_LT(DarkMissing(out, *ref, 3), 0.02);
        EXPECT_LT(DarkMissing(*ref, out, 3), 0.02);
    }
}

// ---- Hand-built metafiles ----------------------------------------------------------------

void Put16(std::string& s, int v) {
    s += char(v & 255);
    s += char((v >> 8) & 255);
}
void Put32(std::string& s, int64_t v) {
    for (int i = 0; i < 4; ++i)
        s += char((v >> (8 * i)) & 255);
}
void Patch32(std::string& s, size_t at, int64_t v) {
    for (int i = 0; i < 4; ++i)
        s[at + i] = char((v >> (8 * i)) & 255);
}

// An enhanced metafile whose frame is w x h pixels of a 96-per-inch reference device.
class TEmfBuilder {
public:
    TEmfBuilder(int w, int h, int handles = 8) {
        Put32(FData, 1);
        Put32(FData, 108);
        for (int v : {0, 0, w - 1, h - 1})
            Put32(FData, v);
        for (int v : {0, 0, w * 2540 / 96, h * 2540 / 96})
            Put32(FData, v);
        Put32(FData, 0x464D4520);
        Put32(FData, 0x10000);
        Put32(FData, 0); // bytes
        Put32(FData, 0); // records
        Put16(FData, handles);
        Put16(FData, 0);
        for (int v : {0, 0, 0, 960, 960, 254, 254, 0, 0, 0, 254000, 254000})
            Put32(FData, v);
        FRecords = 1;
    }
    TEmfBuilder& Rec(uint32_t type, std::initializer_list<int64_t> params) {
        Put32(FData, type);
        Put32(FData, 8 + 4 * int64_t(params.size()));
        for (int64_t v : params)
            Put32(FData, v);
        ++FRecords;
        return *this;
    }
    // A record with raw bytes after the type and size (padded to four).
    TEmfBuilder& Raw(uint32_t type, std::string body) {
        while (body.size() % 4)
            body += '\0';
        Put32(FData, type);
        Put32(FData, 8 + int64_t(body.size()));
        FData += body;
        ++FRecords;
        return *this;
    }
    std::string Done() {
        Rec(14, {0, 16, 20});
        Patch32(FData, 48, int64_t(FData.size()));
        Patch32(FData, 52, FRecords);
        return FData;
    }

private:
    std::string FData;
    int FRecords = 0;
};

// A placeable Windows metafile with a bounding box of w x h units at inch units per inch.
class TWmfBuilder {
public:
    TWmfBuilder(int w, int h, int inch = 96, bool placeable = true) {
        if (placeable) {
            Put32(FData, 0x9AC6CDD7);
            for (int v : {0, 0, 0, w, h, inch})
                Put16(FData, v);
            Put32(FData, 0);
            Put16(FData, 0);
        }
        FStart = FData.size();
        for (int v : {1, 9, 0x300})
            Put16(FData, v);
        Put32(FData, 0);
        Put16(FData, 8);
        Put32(FData, 0);
        Put16(FData, 0);
    }
    TWmfBuilder& Rec(uint16_t function, std::initializer_list<int> words) {
        Put32(FData, 3 + int64_t(words.size()));
        Put16(FData, function);
        for (int v : words)
            Put16(FData, v);
        return *this;
    }
    std::string Done() {
        Rec(0, {});
        Patch32(FData, FStart + 6, int64_t((FData.size() - FStart) / 2));
        return FData;
    }

private:
    std::string FData;
    size_t FStart = 0;
};

// Record numbers used below.
enum : uint32_t {
    EMR_POLYGON16 = 86,
    EMR_SETWINDOWEXTEX = 9,
    EMR_SETWINDOWORGEX = 10,
    EMR_SETVIEWPORTEXTEX = 11,
    EMR_SETMAPMODE = 17,
    EMR_SETWORLDTRANSFORM = 35,
    EMR_SELECTOBJECT = 37,
    EMR_CREATEPEN = 38,
    EMR_CREATEBRUSHINDIRECT = 39,
    EMR_DELETEOBJECT = 40,
    EMR_RECTANGLE = 43,
    EMR_PIE = 47,
    EMR_SETARCDIRECTION = 57,
    EMR_SAVEDC = 33,
    EMR_RESTOREDC = 34,
    EMR_INTERSECTCLIPRECT = 30,
    EMR_EXCLUDECLIPRECT = 29,
    EMR_BEGINPATH = 59,
    EMR_ENDPATH = 60,
    EMR_FILLPATH = 62,
    EMR_MOVETOEX = 27,
    EMR_LINETO = 54,
    EMR_CLOSEFIGURE = 61,
    EMR_POLYPOLYGON16 = 91,
    EMR_SETPOLYFILLMODE = 19,
    EMR_STRETCHDIBITS = 81,
    EMR_EXTCREATEFONTINDIRECTW = 82,
    EMR_EXTTEXTOUTW = 84,
    EMR_SETTEXTALIGN = 22,
    EMR_SETBKMODE = 18
};
constexpr int64_t kNullPen = 0x80000000LL | 8;

// A red solid brush in handle 1 and the null pen, selected.
TEmfBuilder& RedFill(TEmfBuilder& b) {
    return b.Rec(EMR_CREATEBRUSHINDIRECT, {1, BS_SOLID, 0x0000FF, 0})
        .Rec(EMR_SELECTOBJECT, {1})
        .Rec(EMR_SELECTOBJECT, {kNullPen});
}

std::unique_ptr<TBitmap> Play(const std::string& data, int w, int h) {
    auto out = std::make_unique<TBitmap>(w, h, pf24bit);
    out->Canvas()->Brush()->SetColor(clWhite);
    out->Canvas()->FillRect(Rect(0, 0, w, h));
    PlayMetafile(out->Canvas()->Handle(), data, Rect(0, 0, w, h));
    return out;
}

bool Red(TBitmap& b, int x, int y) {
    return b.Canvas()->Pixels(x, y) == clRed;
}

TEST(MetafileMapping, WindowViewportAndWorldTransformsScaleAndMove) {
    // A 1000-unit window onto a 100-pixel viewport, in a frame of 100 pixels drawn at 200.
    TEmfBuilder b(100, 100);
    RedFill(b)
        .Rec(EMR_SETMAPMODE, {8})
        .Rec(EMR_SETWINDOWEXTEX, {1000, 1000})
        .Rec(EMR_SETVIEWPORTEXTEX, {100, 100})
        .Rec(EMR_RECTANGLE, {0, 0, 500, 500});
    auto out = Play(b.Done(), 200, 200);
    EXPECT_TRUE(Red(*out, 5, 5));
    EXPECT_TRUE(Red(*out, 97, 97));
    EXPECT_FALSE(Red(*out, 103, 103));

    // A world transform that halves and moves by 500 units.
    TEmfBuilder w(100, 100);
    float half = 0.5f, shift = 500.0f;
    int32_t h, s;
    std::memcpy(&h, &half, 4);
    std::memcpy(&s, &shift, 4);
    RedFill(w)
        .Rec(EMR_SETMAPMODE, {8})
        .Rec(EMR_SETWINDOWEXTEX, {1000, 1000})
        .Rec(EMR_SETVIEWPORTEXTEX, {100, 100})
        .Rec(EMR_SETWORLDTRANSFORM, {h, 0, 0, h, s, s})
        .Rec(EMR_RECTANGLE, {0, 0, 500, 500});
    auto moved = Play(w.Done(), 200, 200);
    EXPECT_FALSE(Red(*moved, 95, 95));
    EXPECT_TRUE(Red(*moved, 105, 105));
    EXPECT_TRUE(Red(*moved, 145, 145));
    EXPECT_FALSE(Red(*moved, 155, 155));

    // Hundredths of a millimetre count upwards from the origin: 1 cm is 37.8 pixels at 96.
    TEmfBuilder m(100, 100);
    RedFill(m).Rec(EMR_SETMAPMODE, {3}).Rec(EMR_RECTANGLE, {0, 0, 1000, -1000});
    auto metric = Play(m.Done(), 100, 100);
    EXPECT_TRUE(Red(*metric, 1, 1));
    EXPECT_TRUE(Red(*metric, 35, 35));
    EXPECT_FALSE(Red(*metric, 40, 20));
}

TEST(MetafileObjects, WindowsMetafileTakesTheLowestFreeSlotAndTheWindowMapping) {
    // Window 0..50 onto a 100-pixel picture. Pen in slot 0, red brush in 1; the pen is
    // deleted, so the blue brush made next is slot 0.
    TWmfBuilder b(50, 50);
    std::string data = b.Rec(0x020B, {0, 0})
                           .Rec(0x020C, {50, 50})
                           .Rec(0x02FA, {PS_NULL, 0, 0, 0, 0})
                           .Rec(0x02FC, {BS_SOLID, 0x00FF, 0x0000, 0})
                           .Rec(0x01F0, {0})
                           .Rec(0x02FC, {BS_SOLID, 0x0000, 0x00FF, 0})
                           .Rec(0x02FA, {PS_NULL, 0, 0, 0, 0})
                           .Rec(0x012D, {2})
                           .Rec(0x012D, {0})
                           .Rec(0x041B, {25, 25, 0, 0}) // rectangle: bottom, right, top, left
                           .Rec(0x012D, {1})
                           .Rec(0x041B, {50, 50, 25, 25})
                           .Done();
    auto out = Play(data, 100, 100);
    EXPECT_EQ(out->Canvas()->Pixels(10, 10), clBlue);
    EXPECT_EQ(out->Canvas()->Pixels(48, 48), clBlue);
    EXPECT_EQ(out->Canvas()->Pixels(60, 60), clRed);
    EXPECT_EQ(out->Canvas()->Pixels(98, 98), clRed);
    EXPECT_EQ(out->Canvas()->Pixels(75, 25), clWhite);
}

TEST(MetafileObjects, RegionsFillWithAStockBrushOrAHandlesBrush) {
    // One rectangle per region; a stock index that is no brush keeps the selected one.
    auto fill = [](TEmfBuilder& b, int64_t brush, int l, int t, int r, int bottom) {
        b.Rec(71, {0, 0, 100, 100, 48, brush, 32, 1, 1, 16, l, t, r, bottom, l, t, r, bottom});
    };
    constexpr int64_t kStock = 0x80000000LL;
    TEmfBuilder b(100, 100);
    RedFill(b).Rec(EMR_CREATEBRUSHINDIRECT, {2, BS_SOLID, 0xFF0000, 0});
    fill(b, kStock | BLACK_BRUSH, 0, 0, 50, 50);
    fill(b, 2, 50, 50, 100, 100);
    fill(b, kStock | WHITE_PEN, 0, 50, 50, 100);
    auto out = Play(b.Done(), 100, 100);
    EXPECT_EQ(out->Canvas()->Pixels(10, 10), clBlack);
    EXPECT_EQ(out->Canvas()->Pixels(75, 75), clBlue);
    EXPECT_TRUE(Red(*out, 25, 75));
    EXPECT_EQ(out->Canvas()->Pixels(75, 25), clWhite);
}

TEST(MetafileFigures, PiesFollowTheArcDirectionAndHolesStayOpen) {
    TEmfBuilder b(100, 100);
    RedFill(b).Rec(EMR_PIE, {0, 0, 100, 100, 100, 50, 50, 0});
    auto ccw = Play(b.Done(), 100, 100);
    EXPECT_TRUE(Red(*ccw, 75, 25));
    EXPECT_FALSE(Red(*ccw, 25, 25));
    EXPECT_FALSE(Red(*ccw, 75, 75));

    TEmfBuilder c(100, 100);
    RedFill(c).Rec(EMR_SETARCDIRECTION, {2}).Rec(EMR_PIE, {0, 0, 100, 100, 100, 50, 50, 0});
    auto cw = Play(c.Done(), 100, 100);
    EXPECT_FALSE(Red(*cw, 75, 25));
    EXPECT_TRUE(Red(*cw, 25, 25));
    EXPECT_TRUE(Red(*cw, 75, 75));

    // Two squares in one poly-polygon: the inner one is a hole under either rule, as long as
    // the rings are drawn as rings (the winding rule needs them in opposite directions).
    for (int rule : {ALTERNATE, WINDING}) {
        SCOPED_TRACE(rule);
        TEmfBuilder p(100, 100);
        auto pt = [](int x, int y) { return int64_t(uint16_t(x)) | (int64_t(uint16_t(y)) << 16); };
        RedFill(p)
            .Rec(EMR_SETPOLYFILLMODE, {rule})
            .Rec(EMR_POLYPOLYGON16, {0, 0, 100, 100, 2, 8, 4, 4, pt(10, 10), pt(90, 10), pt(90, 90),
                                     pt(10, 90), pt(30, 30), pt(30, 70), pt(70, 70), pt(70, 30)});
        auto ring = Play(p.Done(), 100, 100);
        EXPECT_TRUE(Red(*ring, 20, 50));
        EXPECT_TRUE(Red(*ring, 80, 50));
        EXPECT_FALSE(Red(*ring, 50, 50));
        EXPECT_FALSE(Red(*ring, 5, 5));
    }

    // An outline drawn as a fill narrower than a pixel still shows.
    TEmfBuilder thin(100, 100);
    RedFill(thin) // 50.6 to 50.9 pixels across: no pixel centre inside
        .Rec(EMR_SETMAPMODE, {8})
        .Rec(EMR_SETWINDOWEXTEX, {1000, 1000})
        .Rec(EMR_SETVIEWPORTEXTEX, {100, 100})
        .Rec(EMR_POLYGON16, {0, 0, 100, 100, 4, (100 << 16) | 506, (100 << 16) | 509,
                             (900 << 16) | 509, (900 << 16) | 506});
    auto sliver = Play(thin.Done(), 100, 100);
    EXPECT_TRUE(Red(*sliver, 50, 50) || Red(*sliver, 51, 50));

    // A path closed and filled.
    TEmfBuilder t(100, 100);
    RedFill(t)
        .Rec(EMR_BEGINPATH, {})
        .Rec(EMR_MOVETOEX, {0, 0})
        .Rec(EMR_LINETO, {100, 0})
        .Rec(EMR_LINETO, {0, 100})
        .Rec(EMR_CLOSEFIGURE, {})
        .Rec(EMR_ENDPATH, {})
        .Rec(EMR_FILLPATH, {0, 0, 100, 100});
    auto tri = Play(t.Done(), 100, 100);
    EXPECT_TRUE(Red(*tri, 20, 20));
    EXPECT_FALSE(Red(*tri, 80, 80));
}

TEST(MetafileClipping, ClipsSaveRestoreAndTheDestinationBound) {
    TEmfBuilder b(100, 100);
    RedFill(b)
        .Rec(EMR_INTERSECTCLIPRECT, {0, 0, 50, 100})
        .Rec(EMR_SAVEDC, {})
        .Rec(EMR_EXCLUDECLIPRECT, {0, 0, 100, 50})
        .Rec(EMR_RESTOREDC, {-1})
        .Rec(EMR_EXCLUDECLIPRECT, {0, 80, 100, 100})
        .Rec(EMR_RECTANGLE, {-1000, -1000, 1000, 1000});
    std::string data = b.Done();
    // Drawn at (100, 100) in a larger canvas: nothing reaches outside the destination.
    TBitmap out(300, 300, pf24bit);
    out.Canvas()->Brush()->SetColor(clWhite);
    out.Canvas()->FillRect(Rect(0, 0, 300, 300));
    out.Canvas()->Pen()->SetColor(clLime);
    PlayMetafile(out.Canvas()->Handle(), data, Rect(100, 100, 200, 200));
    EXPECT_TRUE(Red(out, 110, 110));
    EXPECT_TRUE(Red(out, 140, 170));
    EXPECT_FALSE(Red(out, 160, 110));
    EXPECT_FALSE(Red(out, 110, 190));
    EXPECT_FALSE(Red(out, 90, 110));
    EXPECT_FALSE(Red(out, 110, 90));
    // The canvas keeps its own pen and clip.
    EXPECT_EQ(out.Canvas()->Pen()->Color(), clLime);
    out.Canvas()->FillRect(Rect(0, 0, 300, 300));
    EXPECT_EQ(out.Canvas()->Pixels(250, 250), clWhite);
    out.Canvas()->Brush()->SetColor(clBlue);
    out.Canvas()->FillRect(Rect(0, 0, 300, 300));
    EXPECT_EQ(out.Canvas()->Pixels(250, 250), clBlue);

    // An empty region copied in removes the clip.
    TEmfBuilder r(100, 100);
    RedFill(r)
        .Rec(EMR_INTERSECTCLIPRECT, {0, 0, 50, 50})
        .Rec(75, {0, RGN_COPY})
        .Rec(EMR_RECTANGLE, {0, 0, 100, 100});
    auto reset = Play(r.Done(), 100, 100);
    EXPECT_TRUE(Red(*reset, 80, 80));
}

TEST(MetafileBitmaps, StretchedBitmapsKeepTheirRowOrder) {
    // A 2 x 2 bottom-up 32-bit image: first row (the bottom) blue, green; top red, white.
    std::string body;
    for (int v : {0, 0, 99, 99, 0, 0, 0, 0, 2, 2, 80, 40, 120, 16, 0, 0x00CC0020, 100, 100})
        Put32(body, v);
    for (int v : {40, 2, 2})
        Put32(body, v);
    Put16(body, 1);
    Put16(body, 32);
    for (int i = 0; i < 6; ++i)
        Put32(body, 0);
    for (uint32_t px : {0x0000FFu, 0x00FF00u, 0xFF0000u, 0xFFFFFFu})
        Put32(body, px);
    TEmfBuilder b(100, 100);
    b.Raw(EMR_STRETCHDIBITS, body);
    auto out = Play(b.Done(), 100, 100);
    EXPECT_EQ(out->Canvas()->Pixels(25, 25), clRed);
    EXPECT_EQ(out->Canvas()->Pixels(75, 25), clWhite);
    EXPECT_EQ(out->Canvas()->Pixels(25, 75), clBlue);
    EXPECT_EQ(out->Canvas()->Pixels(75, 75), clLime);
}

// A 2 x 2 bottom-up 32-bit DIB: header, then the bottom row (blue, green) and the top row
// (red, white).
std::string TwoByTwo() {
    std::string dib;
    for (int v : {40, 2, 2})
        Put32(dib, v);
    Put16(dib, 1);
    Put16(dib, 32);
    for (int i = 0; i < 6; ++i)
        Put32(dib, 0);
    for (uint32_t px : {0x0000FFu, 0x00FF00u, 0xFF0000u, 0xFFFFFFu})
        Put32(dib, px);
    return dib;
}

// The body of a stretching blit record (StretchBlt, AlphaBlend, TransparentBlt) of the 2 x 2
// DIB: destination and source rectangles and the operation word.
std::string BlitBody(int x, int y, int w, int h, uint32_t op, int sx, int sy, int sw, int sh) {
    std::string body;
    for (int64_t v : std::initializer_list<int64_t>{0, 0, 99, 99, x, y, w, h, op, sx, sy})
        Put32(body, v);
    for (int i = 0; i < 6; ++i)
        Put32(body, i == 0 || i == 3 ? 0x3F800000 : 0); // identity transform
    for (int v : {0, 0, 108, 40, 148, 16, sw, sh})
        Put32(body, v);
    return body + TwoByTwo();
}

TEST(MetafileBitmaps, BlitsCountSourceRowsFromTheTopAndBlendOrLeaveOutColours) {
    // StretchBlt takes the source's top-left pixel; StretchDIBits counts rows from the bottom.
    std::string dib;
    for (int v : {0, 0, 99, 99, 50, 0, 0, 0, 1, 1, 80, 40, 120, 16, 0, 0x00CC0020, 50, 50})
        Put32(dib, v);
    TEmfBuilder b(100, 100);
    b.Raw(77, BlitBody(0, 0, 50, 50, 0x00CC0020, 0, 0, 1, 1)).Raw(81, dib + TwoByTwo());
    auto rows = Play(b.Done(), 100, 100);
    EXPECT_EQ(rows->Canvas()->Pixels(25, 25), clRed);
    EXPECT_EQ(rows->Canvas()->Pixels(75, 25), clBlue);

    // Half of each source pixel over white.
    TEmfBuilder a(100, 100);
    a.Raw(114, BlitBody(0, 0, 100, 100, 128 << 16, 0, 0, 2, 2));
    auto half = Play(a.Done(), 100, 100);
    TRgb pink = Rgb(half->Canvas()->Pixels(25, 25));
    EXPECT_NEAR(pink.R, 255, 2);
    EXPECT_NEAR(pink.G, 127, 3);
    EXPECT_NEAR(pink.B, 127, 3);

    // White left out over a red square.
    TEmfBuilder t(100, 100);
    RedFill(t)
        .Rec(EMR_RECTANGLE, {0, 0, 101, 101})
        .Raw(116, BlitBody(0, 0, 100, 100, 0xFFFFFF, 0, 0, 2, 2));
    auto keyed = Play(t.Done(), 100, 100);
    EXPECT_EQ(keyed->Canvas()->Pixels(25, 25), clRed);
    EXPECT_EQ(keyed->Canvas()->Pixels(75, 25), clRed);
    EXPECT_EQ(keyed->Canvas()->Pixels(25, 75), clBlue);
    EXPECT_EQ(keyed->Canvas()->Pixels(75, 75), clLime);
}

TEST(MetafileFigures, GradientsRunAcrossTheirRectangle) {
    // Two vertices, black at the left and white at the right, and one rectangle.
    TEmfBuilder g(100, 100);
    g.Rec(118, {0, 0, 99, 99, 2, 1, 0, 0, 0, 0, 0, 100, 100, 0xFF00FF00LL, 0xFF00FF00LL, 0, 1});
    auto out = Play(g.Done(), 100, 100);
    int left = Rgb(out->Canvas()->Pixels(5, 50)).G, mid = Rgb(out->Canvas()->Pixels(50, 50)).G,
        right = Rgb(out->Canvas()->Pixels(95, 50)).G;
    EXPECT_LT(left, 20);
    EXPECT_NEAR(mid, 128, 8);
    EXPECT_GT(right, 235);
}

// A point of a 16-bit point list.
int64_t Pt16(int x, int y) {
    return int64_t(uint16_t(x)) | (int64_t(uint16_t(y)) << 16);
}

// A red pen of the given width in handle 1, selected.
TEmfBuilder& RedPen(TEmfBuilder& b, int width) {
    return b.Rec(EMR_CREATEPEN, {1, PS_SOLID, width, 0, 0x0000FF}).Rec(EMR_SELECTOBJECT, {1});
}

TEST(MetafileFigures, CurvesMoveThePenOnlyWhenTheyStartFromIt) {
    // A curve down the right side drawn from its own first point, then a line: the line
    // starts where the pen was before the curve, so it runs down the left side.
    TEmfBuilder b(100, 100);
    RedPen(b, 3)
        .Rec(EMR_MOVETOEX, {10, 10})
        .Rec(85, {0, 0, 100, 100, 4, Pt16(90, 10), Pt16(90, 30), Pt16(90, 60), Pt16(90, 90)})
        .Rec(EMR_LINETO, {10, 90});
    auto out = Play(b.Done(), 100, 100);
    EXPECT_TRUE(Red(*out, 90, 50)); // the curve
    EXPECT_TRUE(Red(*out, 10, 50)); // the line, from (10, 10)
    EXPECT_FALSE(Red(*out, 50, 90));

    // The form that continues from the pen leaves it at the curve's end.
    TEmfBuilder c(100, 100);
    RedPen(c, 3)
        .Rec(EMR_MOVETOEX, {10, 10})
        .Rec(88, {0, 0, 100, 100, 3, Pt16(10, 40), Pt16(10, 60), Pt16(10, 90)})
        .Rec(EMR_LINETO, {90, 90});
    auto to = Play(c.Done(), 100, 100);
    EXPECT_TRUE(Red(*to, 10, 50));
    EXPECT_TRUE(Red(*to, 50, 90));
    EXPECT_FALSE(Red(*to, 50, 50));
}

TEST(MetafileFigures, PensAsWideAsThePicturesLargerSideKeepTheirWidth) {
    // Vertical lines through a wide, low picture: the pen is measured across the row.
    auto inkAcross = [](int penWidth) {
        TEmfBuilder b(200, 40);
        RedPen(b, penWidth).Rec(EMR_MOVETOEX, {100, -100}).Rec(EMR_LINETO, {100, 140});
        auto out = Play(b.Done(), 200, 40);
        int ink = 0;
        for (int x = 0; x < 200; ++x)
            ink += Red(*out, x, 20);
        return ink;
    };
    EXPECT_NEAR(inkAcross(60), 60, 1);   // wider than the picture is high
    EXPECT_NEAR(inkAcross(200), 200, 1); // the whole picture
}

// A bottom-up 32-bit DIB, header then bits, from its rows given top first.
std::string Dib32(int w, const std::vector<std::vector<uint32_t>>& rowsFromTop) {
    std::string dib;
    for (int v : {40, w, int(rowsFromTop.size())})
        Put32(dib, v);
    Put16(dib, 1);
    Put16(dib, 32);
    for (int i = 0; i < 6; ++i)
        Put32(dib, 0);
    for (auto row = rowsFromTop.rbegin(); row != rowsFromTop.rend(); ++row)
        for (uint32_t px : *row)
            Put32(dib, px);
    return dib;
}

TEST(MetafileBitmaps, ImagesTallerThanWideDrawEveryRow) {
    // Rows of one colour each, 0x00RRGGBB in the DIB, stretched over a 100 x 100 picture.
    const uint32_t colours[] = {0xFF0000, 0x0000FF, 0x00FF00, 0xFFFF00, 0x00FFFF};
    const TColor shown[] = {clRed, clBlue, clLime, clYellow, clAqua};
    for (auto [w, h] : {std::pair{1, 2}, std::pair{3, 5}}) {
        std::vector<std::vector<uint32_t>> rows;
        for (int y = 0; y < h; ++y)
            rows.emplace_back(size_t(w), colours[y]);
        const std::string dib = Dib32(w, rows);
        const int bits = w * h * 4;
        // Through a raster operation, and through blending at full strength.
        std::string stretch;
        for (int v : {0, 0, 99, 99, 0, 0, 0, 0, w, h, 80, 40, 120, bits, 0, 0x00CC0020, 100, 100})
            Put32(stretch, v);
        std::string blend;
        for (int64_t v :
             std::initializer_list<int64_t>{0, 0, 99, 99, 0, 0, 100, 100, 0xFF0000, 0, 0})
            Put32(blend, v);
        for (int i = 0; i < 6; ++i)
            Put32(blend, i == 0 || i == 3 ? 0x3F800000 : 0);
        for (int v : {0, 0, 108, 40, 148, bits, w, h})
            Put32(blend, v);
        for (auto [kind, record] : {std::pair{uint32_t(EMR_STRETCHDIBITS), stretch + dib},
                                    std::pair{uint32_t(114), blend + dib}}) {
            SCOPED_TRACE(testing::Message() << w << " x " << h << " record " << kind);
            TEmfBuilder b(100, 100);
            b.Raw(kind, record);
            auto out = Play(b.Done(), 100, 100);
            for (int y = 0; y < h; ++y)
                for (int x : {2, 50, 97})
                    EXPECT_EQ(out->Canvas()->Pixels(x, (2 * y + 1) * 50 / h), shown[y])
                        << "row " << y << " at " << x;
        }
    }
}

// The columns holding dark pixels of a bitmap.
std::pair<int, int> InkColumns(TBitmap& b) {
    int lo = b.Width(), hi = -1;
    for (int y = 0; y < b.Height(); ++y)
        for (int x = 0; x < b.Width(); ++x)
            if ((b.Canvas()->Pixels(x, y) & 0xFF) < 128) {
                lo = std::min(lo, x);
                hi = std::max(hi, x);
            }
    return {lo, hi};
}

std::string TextMetafile(uint32_t align, int spacing) {
    // "Arial" 20 units high (character height), "HI" at (100, 30).
    std::string font;
    for (int v : {1, -20, 0, 0, 0, 400})
        Put32(font, v);
    Put32(font, 0);
    Put32(font, 0);
    for (char c : std::string("Arial"))
        Put16(font, c);
    font.resize(8 + 92 - 8 + 4, '\0');
    std::string text;
    for (int v : {0, 0, 200, 50, 1})
        Put32(text, v);
    Put32(text, 0);
    Put32(text, 0);
    Put32(text, 100); // reference point
    Put32(text, 30);
    Put32(text, 2);  // characters
    Put32(text, 76); // string offset
    Put32(text, 0);  // options
    for (int v : {0, 0, 0, 0})
        Put32(text, v);
    Put32(text, 80); // dx offset
    Put16(text, 'H');
    Put16(text, 'I');
    Put32(text, spacing);
    Put32(text, spacing);
    TEmfBuilder b(200, 50);
    b.Raw(EMR_EXTCREATEFONTINDIRECTW, font)
        .Rec(EMR_SELECTOBJECT, {1})
        .Rec(EMR_SETBKMODE, {TRANSPARENT})
        .Rec(EMR_SETTEXTALIGN, {align})
        .Raw(EMR_EXTTEXTOUTW, text);
    return b.Done();
}

TEST(MetafileText, AlignmentAndSpacingPlaceTheCharacters) {
    auto left = Play(TextMetafile(TA_LEFT | TA_BASELINE, 15), 200, 50);
    auto l = InkColumns(*left);
    EXPECT_GE(l.first, 100);
    EXPECT_LE(l.first, 104);
    // The second character starts 15 units after the first.
    EXPECT_GE(l.second, 115);
    EXPECT_LT(l.second, 125);

    auto right = Play(TextMetafile(TA_RIGHT | TA_BASELINE, 15), 200, 50);
    auto r = InkColumns(*right);
    EXPECT_LE(r.second, 100);
    EXPECT_GE(r.second, 85);

    auto wide = Play(TextMetafile(TA_LEFT | TA_BASELINE, 60), 200, 50);
    auto w = InkColumns(*wide);
    EXPECT_GE(w.second, 160);
}

TEST(MetafileSize, PlainWindowsMetafilesTakeTheirWindowAt1440PerInch) {
    TWmfBuilder b(0, 0, 0, false);
    std::string data = b.Rec(0x020C, {720, 1440}).Done();
    TMetafile meta;
    meta.LoadFromString(data);
    EXPECT_EQ(meta.Inch(), 0);
    EXPECT_EQ(meta.Width(), 96);
    EXPECT_EQ(meta.Height(), 48);
    // A placeable header without a resolution: its box is taken at 1440 per inch too.
    TWmfBuilder p(2880, 1440, 0);
    TMetafileSize size;
    ASSERT_TRUE(ReadMetafileSize(p.Done(), size));
    EXPECT_EQ(size.Inch, 0);
    EXPECT_EQ(size.Width, 192);
    EXPECT_EQ(size.Height, 96);
    EXPECT_FALSE(ReadMetafileSize("", size));
    EXPECT_FALSE(ReadMetafileSize(std::string(100, '\1'), size));
}

TEST(MetafileDamage, AMalformedRecordEndsPlaybackKeepingWhatCameBefore) {
    TEmfBuilder b(100, 100);
    RedFill(b).Rec(EMR_RECTANGLE, {0, 0, 50, 50});
    std::string data = b.Done();
    // The end record claims more bytes than are left.
    Patch32(data, data.size() - 16, 4000);
    TBitmap out(100, 100, pf24bit);
    EXPECT_FALSE(PlayMetafile(out.Canvas()->Handle(), data, Rect(0, 0, 100, 100)));
    EXPECT_TRUE(Red(out, 10, 10));
    // A polygon whose count runs past its record draws nothing and stops.
    TEmfBuilder p(100, 100);
    RedFill(p).Rec(EMR_POLYGON16, {0, 0, 100, 100, 1000, 0, 0x640000, 0x64});
    TBitmap poly(100, 100, pf24bit);
    EXPECT_FALSE(PlayMetafile(poly.Canvas()->Handle(), p.Done(), Rect(0, 0, 100, 100)));
    EXPECT_FALSE(Red(poly, 10, 50));
}

TEST(MetafileDamage, FixturesCutAtEveryOffsetDrawOrFailCleanly) {
    for (const char* name : {"shapes.wmf", "shapes.emf"}) {
        std::string data = ReadFile(name);
        TBitmap out(24, 18, pf24bit);
        for (size_t n = 0; n < data.size(); ++n) {
            std::string cut = data.substr(0, n);
            TMetafile meta;
            try {
                meta.LoadFromString(cut);
            } catch (const EInvalidGraphic&) {
                continue;
            }
            out.Canvas()->StretchDraw(Rect(0, 0, 24, 18), &meta);
        }
    }
}

} // namespace
} // namespace epc
