// Metafile playback: fixtures exported by a drawing program against that program's own
// rendering, record-level behaviour on small hand-built metafiles, and damaged data.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
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

TEST(MetafileFixtures, DrawShapesTextAndBitmapWhereTheExportingProgramDoes) {
    TPngImage reference;
    reference.LoadFromFile(DataFile("shapes.png"));
    TBitmap ref(reference.Width(), reference.Height(), pf24bit);
    ref.Canvas()->Draw(0, 0, &reference);
    for (const char* name : {"shapes.wmf", "shapes.emf"}) {
        SCOPED_TRACE(name);
        TMetafile meta;
        meta.LoadFromString(ReadFile(name));
        EXPECT_NEAR(meta.Width(), reference.Width(), 1);
        EXPECT_NEAR(meta.Height(), reference.Height(), 1);
        TBitmap out(reference.Width(), reference.Height(), pf24bit);
        out.Canvas()->Brush()->SetColor(clWhite);
        out.Canvas()->FillRect(Rect(0, 0, out.Width(), out.Height()));
        out.Canvas()->StretchDraw(Rect(0, 0, out.Width(), out.Height()), &meta);
        SaveOut(out, std::string(name) + ".png");
        EXPECT_LT(Misplaced(out, ref, 3, 48), 0.02);
        EXPECT_LT(Misplaced(ref, out, 3, 48), 0.02);
        EXPECT_LT(DarkMissing(out, ref, 3), 0.02);
        EXPECT_LT(DarkMissing(ref, out, 3), 0.02);
    }
}

} // namespace
} // namespace epc
