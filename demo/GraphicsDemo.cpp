// The graphics objects at work: fonts, pens in every style and mode, brushes, a clipped
// region and pictures decoded from PNG, JPEG and GIF data made here in code.

#include <cmath>
#include <string>
#include <vector>

#include "demo/DemoLabel.h"
#include "demo/DemoRegistry.h"
#include "platform/graphics/Bitmap.h"
#include "platform/graphics/Graphics.h"
#include "platform/graphics/ImageFormats.h"
#include "platform/graphics/PngImage.h"

namespace {

using namespace epc;

// Leaves the brush clear for the texts that follow.
void Caption(TCanvas* c, int x, int y, const std::string& text) {
    demo::UseLabelFont(c);
    c->TextOut(x, y, text);
}

void DrawText(TCanvas* c) {
    Caption(c, 10, 8, "Fonts");
    const char* faces[] = {"Arial", "Times New Roman", "Courier New"};
    const int sizes[] = {9, 13, 18};
    int y = 28;
    for (int f = 0; f < 3; ++f) {
        int x = 10;
        for (int s = 0; s < 3; ++s) {
            c->Font()->SetName(faces[f]);
            c->Font()->SetSize(sizes[s]);
            c->Font()->SetStyle({});
            c->Font()->SetColor(clBlack);
            std::string text = std::string(faces[f]) + " " + std::to_string(sizes[s]);
            c->TextOut(x, y, text);
            x += c->TextWidth(text) + 14;
        }
        y += 32;
    }
    c->Font()->SetName("Arial");
    c->Font()->SetSize(12);
    int x = 10;
    struct {
        TFontStyles Style;
        const char* Text;
        TColor Color;
    } styles[] = {{{fsBold}, "Bold", clMaroon},
                  {{fsItalic}, "Italic", clGreen},
                  {{fsUnderline}, "Underline", clBlue},
                  {{fsStrikeOut}, "Strike-out", clPurple},
                  {{fsBold, fsItalic, fsUnderline}, "All three", clBlack}};
    for (const auto& s : styles) {
        c->Font()->SetStyle(s.Style);
        c->Font()->SetColor(s.Color);
        c->TextOut(x, y, std::string(s.Text));
        x += c->TextWidth(std::string(s.Text)) + 16;
    }
    // Opaque text on the brush colour, clipped to its rectangle.
    c->Font()->SetStyle({});
    c->Font()->SetColor(clWhite);
    c->Brush()->SetColor(clTeal);
    c->TextRect(Rect(x, y, x + 90, y + 18), x + 3, y, std::u16string(u"Opaque and clipped text"));
}

void DrawPens(TCanvas* c, int top) {
    Caption(c, 10, top, "Pen styles");
    const char* names[] = {"psSolid",      "psDash",  "psDot",        "psDashDot",
                           "psDashDotDot", "psClear", "psInsideFrame"};
    for (int s = 0; s <= psInsideFrame; ++s) {
        int y = top + 24 + s * 16;
        c->Font()->SetStyle({});
        c->Font()->SetSize(8);
        c->Font()->SetColor(clBlack);
        c->TextOut(10, y - 7, std::string(names[s]));
        c->Pen()->SetStyle(TPenStyle(s));
        c->Pen()->SetMode(pmCopy);
        c->Pen()->SetColor(clBlack);
        c->Pen()->SetWidth(1);
        c->MoveTo(100, y);
        c->LineTo(300, y);
    }
    c->Pen()->SetStyle(psSolid);
    // Wide pens and InsideFrame: the frame stays inside its rectangle.
    c->Pen()->SetWidth(5);
    c->Pen()->SetColor(clRed);
    c->MoveTo(100, top + 142);
    c->LineTo(300, top + 142);
    c->Pen()->SetWidth(1);

    Caption(c, 330, top, "Pen modes over a colour ramp");
    const char* modes[] = {"pmBlack",       "pmWhite",      "pmNop",         "pmNot",
                           "pmCopy",        "pmNotCopy",    "pmMergePenNot", "pmMaskPenNot",
                           "pmMergeNotPen", "pmMaskNotPen", "pmMerge",       "pmNotMerge",
                           "pmMask",        "pmNotMask",    "pmXor",         "pmNotXor"};
    for (int x = 0; x < 200; ++x) {
        int v = x * 255 / 199;
        c->Pen()->SetMode(pmCopy);
        c->Pen()->SetColor(TColor(RGB(uint8_t(v), uint8_t(128), uint8_t(255 - v))));
        c->MoveTo(420 + x, top + 20);
        c->LineTo(420 + x, top + 166);
    }
    c->Font()->SetName("Arial");
    c->Font()->SetSize(6);
    c->Font()->SetStyle({});
    c->Font()->SetColor(clBlack);
    c->Brush()->SetStyle(bsClear);
    c->Pen()->SetColor(clYellow);
    c->Pen()->SetWidth(3);
    for (int m = 0; m <= pmNotXor; ++m) {
        int y = top + 26 + m * 9;
        c->TextOut(330, y - 5, std::string(modes[m]));
        c->Pen()->SetMode(TPenMode(m));
        c->MoveTo(424, y);
        c->LineTo(616, y);
    }
    c->Pen()->SetWidth(1);
    c->Pen()->SetMode(pmCopy);
}

void DrawBrushes(TCanvas* c, int top) {
    Caption(c, 10, top, "Brush styles and shapes");
    c->Pen()->SetColor(clBlack);
    c->Pen()->SetStyle(psSolid);
    for (int s = 0; s <= bsDiagCross; ++s) {
        int x = 10 + s * 76;
        c->Brush()->SetColor(clBlue);
        c->Brush()->SetStyle(TBrushStyle(s));
        c->Rectangle(x, top + 20, x + 66, top + 64);
    }
    // An 8x8 pattern bitmap brush.
    TBitmap pattern(8, 8, pf24bit);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            pattern.Canvas()->SetPixels(x, y, ((x + y) % 4) < 2 ? clFuchsia : clWhite);
    c->Brush()->SetBitmap(&pattern);
    c->Ellipse(10, top + 72, 110, top + 132);
    c->Brush()->SetBitmap(nullptr);
    c->Brush()->SetStyle(bsSolid);
    c->Brush()->SetColor(clLime);
    c->RoundRect(120, top + 72, 230, top + 132, 20, 20);
    c->Brush()->SetColor(clAqua);
    TPoint star[10];
    for (int i = 0; i < 10; ++i) {
        double a = -M_PI / 2 + i * M_PI / 5;
        double r = (i % 2) ? 13 : 30;
        star[i] = Point(275 + int(std::lround(r * std::cos(a))),
                        top + 102 + int(std::lround(r * std::sin(a))));
    }
    c->Polygon(star, 10);
    c->Pen()->SetColor(clRed);
    c->Pen()->SetWidth(2);
    TPoint zig[] = {
        {320, top + 130}, {340, top + 80}, {360, top + 130}, {380, top + 80}, {400, top + 130}};
    c->Polyline(zig, 5);
    c->Pen()->SetWidth(1);
    c->Brush()->SetColor(clNavy);
    c->FrameRect(Rect(410, top + 76, 470, top + 130));
    c->DrawFocusRect(Rect(480, top + 76, 600, top + 130));
}

void DrawClipped(TCanvas* c, int top) {
    Caption(c, 10, top, "Clipped region");
    HDC dc = c->Handle();
    int saved = SaveDC(dc);
    IntersectClipRect(dc, 20, top + 24, 280, top + 150);
    ExcludeClipRect(dc, 100, top + 60, 200, top + 110);
    c->Pen()->SetColor(clGreen);
    for (int i = 0; i < 30; ++i) {
        c->MoveTo(0, top + 10 + i * 6);
        c->LineTo(300, top + 30 + i * 6);
    }
    c->Brush()->SetColor(clRed);
    c->Brush()->SetStyle(bsSolid);
    c->Ellipse(60, top + 40, 250, top + 170);
    RestoreDC(dc, saved);
    c->Brush()->SetColor(clBlack);
    c->FrameRect(Rect(20, top + 24, 280, top + 150));
}

std::unique_ptr<TGraphic> LoadPicture(const std::string& data) {
    TPicture picture;
    TStringStream stream(data);
    picture.LoadFromStream(stream);
    auto copy = CreateGraphicByClassName(picture.Graphic()->ClassName());
    copy->Assign(picture.Graphic());
    return copy;
}

void DrawPictures(TCanvas* c, int left, int top) {
    Caption(c, left, top, "PNG, JPEG and GIF");
    // A checker background to show transparency.
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 30; ++x) {
            c->Brush()->SetColor(((x + y) % 2) ? clSilver : clWhite);
            c->FillRect(Bounds(left + x * 10, top + 24 + y * 10, 10, 10));
        }
    // PNG with an alpha ramp.
    TPngImage png;
    png.CreateBlank(COLOR_RGBALPHA, 8, 80, 80);
    for (int y = 0; y < 80; ++y) {
        uint8_t* row = png.Scanline(y);
        uint8_t* alpha = png.AlphaScanline(y);
        for (int x = 0; x < 80; ++x) {
            double dx = x - 39.5, dy = y - 39.5;
            double d = std::sqrt(dx * dx + dy * dy);
            row[x * 3] = uint8_t(255 - x * 3);
            row[x * 3 + 1] = uint8_t(y * 3);
            row[x * 3 + 2] = 220;
            alpha[x] = d > 40 ? 0 : uint8_t(255 - d * 5);
        }
    }
    auto decodedPng = LoadPicture(png.SaveToString());
    c->Draw(left, top + 24, decodedPng.get());

    // JPEG of a smooth gradient.
    TBitmap gradient(80, 80, pf24bit);
    for (int y = 0; y < 80; ++y) {
        uint8_t* row = gradient.ScanLine(y);
        for (int x = 0; x < 80; ++x) {
            row[x * 3] = uint8_t(x * 3);
            row[x * 3 + 1] = uint8_t(200 - y * 2);
            row[x * 3 + 2] = uint8_t((x + y) * 3 / 2);
        }
    }
    TJPEGImage jpeg;
    jpeg.SetCompressionQuality(85);
    jpeg.Assign(&gradient);
    auto decodedJpeg = LoadPicture(jpeg.SaveToString());
    c->Draw(left + 100, top + 24, decodedJpeg.get());

    // GIF with a transparent colour: a ring on fuchsia.
    TBitmap ring(80, 80, pf24bit);
    ring.Canvas()->Brush()->SetColor(clFuchsia);
    ring.Canvas()->FillRect(Rect(0, 0, 80, 80));
    ring.Canvas()->Pen()->SetColor(clNavy);
    ring.Canvas()->Pen()->SetWidth(9);
    ring.Canvas()->Brush()->SetStyle(bsClear);
    ring.Canvas()->Ellipse(8, 8, 72, 72);
    ring.Canvas()->Brush()->SetStyle(bsSolid);
    ring.Canvas()->Brush()->SetColor(clYellow);
    ring.Canvas()->Pen()->SetWidth(1);
    ring.Canvas()->Rectangle(30, 30, 50, 50);
    ring.SetTransparent(true);
    TGIFImage gif;
    gif.Assign(&ring);
    auto decodedGif = LoadPicture(gif.SaveToString());
    c->Draw(left + 200, top + 24, decodedGif.get());
    // The same PNG stretched.
    c->StretchDraw(Rect(left, top + 110, left + 280, top + 140), decodedPng.get());
}

bool RenderGraphics(const std::string& dir) {
    TBitmap page(640, 650, pf24bit);
    TCanvas* c = page.Canvas();
    c->Brush()->SetColor(clWhite);
    c->FillRect(Rect(0, 0, 640, 650));
    DrawText(c);
    DrawPens(c, 160);
    DrawBrushes(c, 330);
    DrawClipped(c, 480);
    DrawPictures(c, 320, 480);
    page.SaveToPngFile(dir + "/graphics.png");
    return true;
}

demo::DemoSection graphicsSection("10-graphics", RenderGraphics);

} // namespace
