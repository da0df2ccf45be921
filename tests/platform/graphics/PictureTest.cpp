#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/graphics/Bitmap.h"
#include "platform/graphics/Icon.h"
#include "platform/graphics/ImageFormats.h"
#include "platform/graphics/PngImage.h"

using namespace epc;

namespace {

TDecodedImage Checker(int w, int h, uint32_t a, uint32_t b) {
    TDecodedImage img;
    img.Width = w;
    img.Height = h;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.Pixels.push_back(((x / 4 + y / 4) % 2) ? a : b);
    return img;
}

bool Near(TColor a, TColor b, int tolerance) {
    COLORREF x = COLORREF(a), y = COLORREF(b);
    return std::abs(GetRValue(x) - GetRValue(y)) <= tolerance &&
           std::abs(GetGValue(x) - GetGValue(y)) <= tolerance &&
           std::abs(GetBValue(x) - GetBValue(y)) <= tolerance;
}

} // namespace

TEST(GraphicRegistry, BuiltInClassesByNameAndExtension) {
    for (const char* name :
         {"TBitmap", "TIcon", "TMetafile", "TPngImage", "TJPEGImage", "TGIFImage"}) {
        auto g = CreateGraphicByClassName(name);
        ASSERT_NE(g, nullptr) << name;
        EXPECT_EQ(g->ClassName(), name);
    }
    EXPECT_EQ(CreateGraphicByClassName("tbitmap")->ClassName(), "TBitmap");
    EXPECT_EQ(FindGraphicClassByExtension(".PNG"), "TPngImage");
    EXPECT_EQ(FindGraphicClassByExtension("jpeg"), "TJPEGImage");
    EXPECT_EQ(FindGraphicClassByExtension("wmf"), "TMetafile");
    EXPECT_EQ(FindGraphicClassByExtension("xyz"), "");
    EXPECT_EQ(CreateGraphicByExtension("xyz"), nullptr);
    // A stored name that is not registered creates nothing.
    EXPECT_EQ(CreateGraphicByClassName("TEvilGraphic"), nullptr);
    EXPECT_FALSE(IsGraphicClassRegistered("TEvilGraphic"));
}

TEST(GraphicRegistry, RegisteringAndUnregisteringAClass) {
    RegisterGraphicClass("TMyBitmap", "mbm", [] { return std::make_unique<TBitmap>(); });
    EXPECT_TRUE(IsGraphicClassRegistered("TMyBitmap"));
    EXPECT_EQ(FindGraphicClassByExtension("mbm"), "TMyBitmap");
    EXPECT_NE(CreateGraphicByClassName("TMyBitmap"), nullptr);
    UnregisterGraphicClass("TMyBitmap");
    EXPECT_EQ(CreateGraphicByClassName("TMyBitmap"), nullptr);
    EXPECT_EQ(FindGraphicClassByExtension("mbm"), "");
}

TEST(Picture, LoadsByContentAndNotifies) {
    TPngImage png;
    png.CreateBlank(COLOR_RGB, 8, 5, 4);
    TPicture pic;
    int changes = 0;
    pic.OnChange = [&](TObject*) { ++changes; };
    TStringStream s(png.SaveToString());
    pic.LoadFromStream(s);
    ASSERT_NE(pic.Graphic(), nullptr);
    EXPECT_EQ(pic.Graphic()->ClassName(), "TPngImage");
    EXPECT_EQ(pic.Width(), 5);
    EXPECT_EQ(pic.Height(), 4);
    EXPECT_EQ(changes, 1);
    // Changes of the graphic reach the picture.
    static_cast<TPngImage*>(pic.Graphic())->SetPixels(0, 0, clRed);
    EXPECT_EQ(changes, 2);

    TBitmap bmp(2, 2, pf24bit);
    TStringStream b(bmp.SaveToString());
    pic.LoadFromStream(b);
    EXPECT_EQ(pic.Graphic()->ClassName(), "TBitmap");

    TStringStream junk("not a picture at all");
    EXPECT_THROW(pic.LoadFromStream(junk), EInvalidGraphic);
    std::string truncated = png.SaveToString();
    truncated.resize(truncated.size() - 20);
    TStringStream t(truncated);
    EXPECT_THROW(pic.LoadFromStream(t), EInvalidGraphic);
    // A failed load leaves the previous picture.
    EXPECT_EQ(pic.Graphic()->ClassName(), "TBitmap");
}

TEST(Picture, AssignCopiesAndBitmapAccessorReplaces) {
    TBitmap bmp(3, 2, pf24bit);
    bmp.Canvas()->SetPixels(0, 0, clRed);
    TPicture a;
    a.SetGraphic(&bmp);
    ASSERT_NE(a.Graphic(), &bmp); // a copy
    EXPECT_EQ(a.Bitmap()->Canvas()->Pixels(0, 0), clRed);
    TPicture b;
    b.Assign(&a);
    EXPECT_EQ(b.Width(), 3);
    EXPECT_NE(b.Graphic(), a.Graphic());
    b.Assign(nullptr);
    EXPECT_EQ(b.Graphic(), nullptr);
    EXPECT_EQ(b.Width(), 0);

    TPngImage png;
    png.CreateBlank(COLOR_RGB, 8, 7, 7);
    b.SetGraphic(&png);
    EXPECT_EQ(b.Graphic()->ClassName(), "TPngImage");
    TBitmap* asBitmap = b.Bitmap(); // any other picture gives way to a bitmap
    EXPECT_EQ(b.Graphic(), asBitmap);
    EXPECT_EQ(b.Width(), 0);

    TFont font;
    EXPECT_THROW(b.Assign(&font), EConvertError);
}

TEST(GraphicAssign, ConversionsAndTheirErrors) {
    TPngImage png;
    png.CreateBlank(COLOR_RGBALPHA, 8, 2, 1);
    png.SetPixels(0, 0, clBlue);
    png.AlphaScanline(0)[0] = 255;
    // Any picture becomes a bitmap by drawing it on white.
    TBitmap bmp;
    bmp.Assign(&png);
    EXPECT_EQ(bmp.Width(), 2);
    EXPECT_EQ(bmp.Canvas()->Pixels(0, 0), clBlue);
    EXPECT_EQ(bmp.Canvas()->Pixels(1, 0), clWhite);

    TMetafile meta;
    EXPECT_THROW(meta.Assign(&bmp), EConvertError);
    TIcon icon;
    EXPECT_THROW(icon.Assign(&png), EConvertError);
    TGIFImage gif;
    EXPECT_THROW(png.Assign(&gif), EConvertError);
    try {
        meta.Assign(&bmp);
    } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(), "Cannot assign a TBitmap to a TMetafile");
    }
}

TEST(JpegImage, CompressesLoadsAndDraws) {
    TBitmap src;
    src.LoadFromImage(Checker(16, 16, 0xFFFF0000u, 0xFFFFFFFFu), pf24bit);
    TJPEGImage jpg;
    jpg.SetCompressionQuality(95);
    jpg.Assign(&src);
    std::string data = jpg.SaveToString();
    ASSERT_GT(data.size(), 4u);
    EXPECT_EQ(uint8_t(data[0]), 0xFF);
    EXPECT_EQ(uint8_t(data[1]), 0xD8);

    TPicture pic;
    TStringStream s(data);
    pic.LoadFromStream(s);
    ASSERT_EQ(pic.Graphic()->ClassName(), "TJPEGImage");
    EXPECT_EQ(pic.Width(), 16);
    TBitmap out(16, 16, pf24bit);
    out.Canvas()->Draw(0, 0, pic.Graphic());
    EXPECT_TRUE(Near(out.Canvas()->Pixels(1, 1), clWhite, 24));
    EXPECT_TRUE(Near(out.Canvas()->Pixels(5, 1), TColor(RGB(255, 0, 0)), 40));
    // The loaded bytes are saved back unchanged.
    EXPECT_EQ(pic.Graphic()->SaveToString(), data);

    TJPEGImage bad;
    EXPECT_THROW(bad.LoadFromString(data.substr(0, 40)), EInvalidGraphic);
}

TEST(GifImage, TransparentColourIsHonoured) {
    TDecodedImage img = Checker(8, 8, 0x00000000u, 0xFF00FF00u); // transparent / green
    TGIFImage gif;
    TBitmap src;
    src.LoadFromImage(img, pf32bit);
    src.SetTransparent(true);
    src.SetTransparentColor(clBlack);
    gif.Assign(&src);
    ASSERT_FALSE(gif.Empty());

    TGIFImage back;
    back.LoadFromString(gif.SaveToString());
    EXPECT_TRUE(back.Transparent());
    TBitmap out(8, 8, pf24bit);
    out.Canvas()->Brush()->SetColor(clRed);
    out.Canvas()->FillRect(Rect(0, 0, 8, 8));
    out.Canvas()->Draw(0, 0, &back);
    EXPECT_EQ(out.Canvas()->Pixels(0, 0), clLime);
    EXPECT_EQ(out.Canvas()->Pixels(4, 0), clRed);

    EXPECT_THROW(back.LoadFromString("GIF89a\x01"), EInvalidGraphic);
}

TEST(Icon, DrawsThroughItsMaskOrAlpha) {
    TBitmap colour(4, 4, pf24bit);
    colour.Canvas()->Brush()->SetColor(clRed);
    colour.Canvas()->FillRect(Rect(0, 0, 4, 4));
    TBitmap mask(4, 4, pf1bit);
    mask.Canvas()->Brush()->SetColor(clBlack);
    mask.Canvas()->FillRect(Rect(0, 0, 2, 4)); // left half opaque
    TIcon icon;
    icon.SetImages(&colour, &mask);
    EXPECT_FALSE(icon.AlphaIcon());
    EXPECT_THROW(icon.SetWidth(8), EInvalidGraphicOperation);

    TBitmap out(4, 4, pf24bit);
    out.Canvas()->Draw(0, 0, &icon);
    EXPECT_EQ(out.Canvas()->Pixels(1, 1), clRed);
    EXPECT_EQ(out.Canvas()->Pixels(3, 1), clWhite);

    // The icon file keeps both.
    TPicture pic;
    TStringStream s(icon.SaveToString());
    pic.LoadFromStream(s);
    ASSERT_EQ(pic.Graphic()->ClassName(), "TIcon");
    TBitmap out2(4, 4, pf24bit);
    out2.Canvas()->Draw(0, 0, pic.Graphic());
    EXPECT_EQ(out2.Canvas()->Pixels(1, 1), clRed);
    EXPECT_EQ(out2.Canvas()->Pixels(3, 1), clWhite);

    // An alpha icon blends.
    TBitmap alpha(2, 1, pf32bit);
    auto* px = reinterpret_cast<uint32_t*>(alpha.ScanLine(0));
    px[0] = 0xFF0000FFu; // opaque blue
    px[1] = 0x800000FFu; // half blue
    TIcon ai;
    ai.SetImages(&alpha, nullptr);
    EXPECT_TRUE(ai.AlphaIcon());
    TBitmap out3(2, 1, pf24bit);
    out3.Canvas()->Draw(0, 0, &ai);
    EXPECT_EQ(out3.Canvas()->Pixels(0, 0), clBlue);
    EXPECT_TRUE(Near(out3.Canvas()->Pixels(1, 0), TColor(RGB(127, 127, 255)), 2));

    TIcon bad;
    EXPECT_THROW(bad.LoadFromString(std::string("\0\0\1\0\1\0", 6)), EInvalidGraphic);
}

TEST(Metafile, KeepsItsBytesAndItsSize) {
    // A placeable header: box 0,0 - 1440,720 at 1440 units per inch, then a plain header.
    std::string data = {'\xD7', '\xCD', '\xC6', '\x9A', 0,      0, 0, 0, 0, 0, '\xA0',
                        '\x05', '\xD0', '\x02', '\xA0', '\x05', 0, 0, 0, 0, 0, 0};
    data += std::string("\1\0\x09\0\0\x03\0\0\0\0\0\0\0\0\0\0\0\0", 18);
    TMetafile meta;
    meta.LoadFromString(data);
    EXPECT_EQ(meta.Inch(), 1440);
    EXPECT_EQ(meta.Width(), 96);
    EXPECT_EQ(meta.Height(), 48);
    EXPECT_EQ(meta.SaveToString(), data);
    // It holds no records: drawing it leaves the canvas as it was.
    TBitmap out(96, 48, pf24bit);
    out.Canvas()->Draw(0, 0, &meta);
    EXPECT_EQ(out.Canvas()->Pixels(0, 0), clWhite);
    EXPECT_EQ(out.Canvas()->Pixels(48, 0), clWhite);
    EXPECT_THROW(meta.LoadFromString("junk"), EInvalidGraphic);
}

TEST(Picture, FilesByContentThenExtension) {
    std::string dir = ::testing::TempDir();
    // A plain metafile has no signature of its own: the extension decides.
    std::string wmf("\1\0\x09\0\0\x03\0\0\0\0\0\0\0\0\0\0\0\0", 18);
    {
        TFileStream f(dir + "plain.wmf", fmCreate);
        f.WriteString(wmf);
    }
    TPicture pic;
    pic.LoadFromFile(dir + "plain.wmf");
    EXPECT_EQ(pic.Graphic()->ClassName(), "TMetafile");
    {
        TFileStream f(dir + "plain.xyz", fmCreate);
        f.WriteString(wmf);
    }
    try {
        pic.LoadFromFile(dir + "plain.xyz");
        FAIL() << "loaded an unknown format";
    } catch (const EInvalidGraphic& e) {
        EXPECT_STREQ(e.what(), "Unknown picture file extension (.xyz)");
    }
    // A PNG under a misleading name is still a PNG.
    TPngImage png;
    png.CreateBlank(COLOR_GRAYSCALE, 8, 3, 3);
    png.SaveToFile(dir + "really-png.bmp");
    pic.LoadFromFile(dir + "really-png.bmp");
    EXPECT_EQ(pic.Graphic()->ClassName(), "TPngImage");
    pic.SaveToFile(dir + "copy.png");
    TPngImage back;
    back.LoadFromFile(dir + "copy.png");
    EXPECT_EQ(back.ColorType(), COLOR_GRAYSCALE);
    EXPECT_THROW(pic.LoadFromFile(dir + "does-not-exist.png"), EFOpenError);
}

TEST(Picture, DataPropertyNamesTheClass) {
    TPngImage png;
    png.CreateBlank(COLOR_RGB, 8, 4, 3);
    TPicture a;
    a.SetGraphic(&png);
    TMemoryStream s;
    a.WriteData(s);
    EXPECT_EQ(s.Memory()[0], 9);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(s.Memory()) + 1, 9), "TPngImage");
    s.SetPosition(0);
    TPicture b;
    b.ReadData(s);
    ASSERT_NE(b.Graphic(), nullptr);
    EXPECT_EQ(b.Graphic()->ClassName(), "TPngImage");
    EXPECT_EQ(b.Width(), 4);

    TPicture none;
    TMemoryStream n;
    none.WriteData(n);
    EXPECT_EQ(n.Size(), 1);
    n.SetPosition(0);
    b.ReadData(n);
    EXPECT_EQ(b.Graphic(), nullptr);

    TMemoryStream unknown;
    unknown.WriteByte(6);
    unknown.WriteString("TThing");
    unknown.WriteString("data");
    unknown.SetPosition(0);
    EXPECT_THROW(b.ReadData(unknown), EInvalidGraphic);
}

namespace {
// A picture class that no registry knows.
class TPrivateBitmap : public TBitmap {
public:
    std::string ClassName() const override { return "TPrivateBitmap"; }
    std::unique_ptr<TGraphic> CreateNew() const override {
        return std::make_unique<TPrivateBitmap>();
    }
};
} // namespace

TEST(Picture, HoldsCopiesOfUnregisteredClassesThatCanMakeThemselves) {
    TPrivateBitmap own;
    own.SetSize(3, 3);
    TPicture pic;
    pic.SetGraphic(&own);
    ASSERT_NE(pic.Graphic(), nullptr);
    EXPECT_EQ(pic.Graphic()->ClassName(), "TPrivateBitmap");
    EXPECT_EQ(pic.Width(), 3);
}
