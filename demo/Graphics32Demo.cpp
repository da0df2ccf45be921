// Bitmap graphics: a question picture with a bitmap layer and an antialiased answer area, and
// thumbnails of the picture resampled by each stretch filter.

#include <cmath>
#include <fstream>
#include <string>

#include "components/graphics/Bitmap32.h"
#include "components/graphics/Blend.h"
#include "components/graphics/Image32.h"
#include "components/graphics/Layers.h"
#include "components/graphics/Polygons.h"
#include "components/graphics/Transforms.h"
#include "demo/DemoRegistry.h"
#include "platform/codecs/ImageCodecs.h"
#include "platform/controls/Forms.h"
#include "platform/testing/UserActions.h"

using namespace epc;

namespace {

bool SaveBitmap(TBitmap32& b, const std::string& path) {
    TDecodedImage image;
    image.Width = b.Width();
    image.Height = b.Height();
    image.Pixels.assign(b.Bits(), b.Bits() + size_t(b.Width()) * size_t(b.Height()));
    std::ofstream out(path, std::ios::binary);
    out << EncodePng(image);
    return bool(out);
}

// A question picture: a sky gradient, a ground, a house with a roof and a few diagonal lines
// (so that resampling differences show).
void DrawQuestionPicture(TBitmap32& b) {
    b.SetSize(480, 320);
    for (int y = 0; y < 320; ++y) {
        TColor32 sky = Color32(uint8_t(90 + y / 4), uint8_t(150 + y / 5), 240);
        b.HorzLine(0, y, 479, y < 230 ? sky : Color32(70, uint8_t(140 - (y - 230) / 3), 60));
    }
    b.FillRectClipped(140, 150, 300, 250, Color32(200, 170, 120));
    b.FrameRect(140, 150, 300, 250, clBlack32);
    b.FillRectClipped(200, 195, 235, 250, Color32(110, 70, 40));
    b.FillRectClipped(155, 170, 190, 200, Color32(180, 220, 250));
    b.FrameRect(155, 170, 190, 200, clBlack32);
    TPolygon32 roof;
    roof.SetAntialiased(true);
    roof.AddPoint(MakeFixedPointFromFloats(125, 152));
    roof.AddPoint(MakeFixedPointFromFloats(220, 85.5));
    roof.AddPoint(MakeFixedPointFromFloats(315, 152));
    roof.DrawFilled(&b, Color32(170, 40, 40));
    roof.DrawOutline(&b, clBlack32);
    // A sun, and rays as antialiased lines.
    TPolygon32 sun;
    sun.SetAntialiased(true);
    for (int i = 0; i < 48; ++i) {
        double a = i * 2 * 3.14159265358979 / 48;
        sun.AddPoint(MakeFixedPointFromFloats(400 + 28 * std::cos(a), 60 + 28 * std::sin(a)));
    }
    sun.DrawFilled(&b, Color32(255, 210, 60));
    for (int i = 0; i < 12; ++i) {
        double a = i * 2 * 3.14159265358979 / 12;
        b.DrawLineAAS(MakeFixedPointFromFloats(400 + 36 * std::cos(a), 0).X,
                      MakeFixedPointFromFloats(0, 60 + 36 * std::sin(a)).Y,
                      MakeFixedPointFromFloats(400 + 52 * std::cos(a), 0).X,
                      MakeFixedPointFromFloats(0, 60 + 52 * std::sin(a)).Y,
                      Color32(255, 190, 40));
    }
    for (int x = 10; x < 130; x += 6) b.DrawLineS(x, 300, x + 40, 240, Color32(40, 90, 40));
}

// A semi-transparent marker that a select-and-place view would move as a layer.
void DrawMarker(TBitmap32& m) {
    m.SetSize(64, 64);
    m.Clear(0);
    TPolygon32 p;
    p.SetAntialiased(true);
    for (int i = 0; i < 10; ++i) {
        double a = -3.14159265358979 / 2 + i * 3.14159265358979 / 5;
        double r = i % 2 ? 13 : 30;
        p.AddPoint(MakeFixedPointFromFloats(32 + r * std::cos(a), 33 + r * std::sin(a)));
    }
    p.DrawFilled(&m, ColorWithAlpha(Color32(30, 60, 200), 200));
    m.SetDrawMode(dmBlend);
    m.SetStretchFilter(sfLinear);
}

bool RenderGraphics(const std::string& dir) {
    TBitmap32 picture;
    DrawQuestionPicture(picture);
    TBitmap32 question;
    question.Assign(&picture);

    // The answer area as the exam model draws it: a semi-transparent fill and an outline,
    // here an antialiased polygon around the house's door and window.
    TPolygon32 answer;
    answer.SetAntialiased(true);
    const double pts[][2] = {{150, 165}, {240, 160}, {245, 255}, {195, 262}, {148, 210}};
    for (const auto& p : pts) answer.AddPoint(MakeFixedPointFromFloats(p[0], p[1]));
    answer.DrawFilled(&picture, ColorWithAlpha(Color32(255, 0, 0), 60));
    answer.DrawOutline(&picture, Color32(200, 0, 0));

    // The picture in a scrolling image view, as the select-and-place window shows it, with two
    // markers as bitmap layers: one at its own size, one enlarged and half transparent.
    {
        auto* form = new TForm(nullptr);
        form->SetBorderStyle(bsNone);
        form->SetBounds(0, 0, 520, 360);
        auto* view = new TScrollView32(form);
        view->SetParent(form);
        view->SetBounds(0, 0, 520, 360);
        view->SetColor(clBtnFace);
        view->SetBitmap(&picture);
        TBitmap32 marker;
        DrawMarker(marker);
        auto* first = view->Layers()->Add<TBitmapLayer>();
        first->SetBitmap(&marker);
        first->SetScaled(true);
        first->SetLocation({330, 180, 394, 244});
        auto* second = view->Layers()->Add<TBitmapLayer>();
        second->SetBitmap(&marker);
        second->Bitmap()->SetMasterAlpha(160);
        second->SetScaled(true);
        second->SetLocation({20, 30, 116, 126});
        epc::testing::ShowForm(form);
        view->SetCentered(true);
        epc::testing::Pump();
        bool saved = epc::testing::SavePng(epc::testing::ClientPixels(view),
                                           dir + "/bitmap-layers.png");
        delete form;
        if (!saved) return false;
    }

    // Thumbnails by each filter: the whole picture reduced, and a detail enlarged four times.
    const TStretchFilter filters[] = {sfNearest, sfLinear, sfSpline, sfLanczos, sfMitchell};
    const int tw = 160, th = 107, zoom = 160;
    TBitmap32 sheet;
    sheet.SetSize(5 * (tw + 10) + 10, th + zoom + 30);
    sheet.Clear(clWhite32);
    for (int i = 0; i < 5; ++i) {
        question.SetStretchFilter(filters[i]);
        const int x = 10 + i * (tw + 10);
        question.DrawToBitmapRect(&sheet, TRect(x, 10, x + tw, 10 + th));
        question.StretchToBitmap(&sheet, TRect(x, 20 + th, x + zoom, 20 + th + zoom),
                                 TRect(190, 70, 230, 110));
        sheet.FrameRect(x - 1, 9, x + tw + 1, 11 + th, clGray32);
    }
    return SaveBitmap(sheet, dir + "/bitmap-thumbnails.png");
}

demo::DemoSection bitmapSection("30-bitmaps", RenderGraphics);

}  // namespace
