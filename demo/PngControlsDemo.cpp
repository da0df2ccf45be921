// The program's own controls: a skin of two tiled images side by side with rounded, masked
// corners, PNG speed buttons in their states (hot, pressed, disabled faded, disabled gray) and
// an image button; then the help router and the What's-this mode driven by a person's keys and
// clicks, with every call that reached the help engines printed.

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

#include "components/controls/HelpContextMap.h"
#include "components/controls/HelpRouter.h"
#include "components/controls/PngButtons.h"
#include "components/controls/PngImageList.h"
#include "components/controls/TiledImage.h"
#include "components/controls/WhatsThis.h"
#include "demo/DemoRegistry.h"
#include "platform/controls/Forms.h"
#include "platform/testing/UserActions.h"
#include "platform/windows/Help.h"

namespace {

using namespace epc;

uint32_t Argb(int a, int r, int g, int b) {
    return uint32_t(a) << 24 | uint32_t(r) << 16 | uint32_t(g) << 8 | uint32_t(b);
}

// A soft disc of one colour with an antialiased rim and a lighter spot.
void Disc(TPngImage& png, int size, int r, int g, int b) {
    TDecodedImage img;
    img.Width = img.Height = size;
    img.ColorType = 6;
    img.HasAlpha = true;
    double c = (size - 1) / 2.0, radius = size / 2.0 - 1;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            double d = std::hypot(x - c, y - c);
            int a = int(std::clamp((radius - d + 0.5) * 255, 0.0, 255.0));
            double spot = std::max(0.0, 1 - std::hypot(x - c * 0.7, y - c * 0.7) / radius);
            int rr = std::min(255, int(r + spot * 120)), gg = std::min(255, int(g + spot * 120)),
                bb = std::min(255, int(b + spot * 120));
            img.Pixels.push_back(Argb(a, rr, gg, bb));
        }
    png.LoadFromImage(img);
}

// A quarter of a rounded frame for one corner (0 top-left, 1 top-right, 2 bottom-left,
// 3 bottom-right): an orange rim, transparent outside it.
void Corner(TPngImage& png, int size, int which) {
    TDecodedImage img;
    img.Width = img.Height = size;
    img.ColorType = 6;
    img.HasAlpha = true;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            int dx = (which & 1) ? x : size - 1 - x, dy = (which & 2) ? y : size - 1 - y;
            double d = std::hypot(dx, dy);
            double outer = size - 0.5, inner = size - 3.5;
            int a = 0;
            if (d <= outer && d >= inner)
                a = 255;
            else if (d > outer && d < outer + 1)
                a = int((outer + 1 - d) * 255);
            else if (d < inner && d > inner - 1)
                a = int((d - inner + 1) * 255);
            img.Pixels.push_back(Argb(a, 235, 116, 41));
        }
    png.LoadFromImage(img);
}

// Black inside the rounded corner (the skin shows), white outside (the form shows).
void CornerMask(TBitmap& mask, int size, int which) {
    mask.SetSize(size, size);
    mask.SetPixelFormat(pf24bit);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            int dx = (which & 1) ? x : size - 1 - x, dy = (which & 2) ? y : size - 1 - y;
            mask.Canvas()->SetPixels(x, y, std::hypot(dx, dy) <= size - 0.5 ? clBlack : clWhite);
        }
}

void Tile(TPicture* picture) {
    TBitmap tile(24, 24, pf24bit);
    for (int y = 0; y < 24; ++y)
        for (int x = 0; x < 24; ++x) {
            bool stripe = ((x + y) / 4) % 2 == 0;
            int shade = stripe ? 236 : 222;
            tile.Canvas()->SetPixels(x, y, TColor(RGB(shade, shade - 6, shade - 20)));
        }
    picture->SetGraphic(&tile);
}

TTiledImage* Skin(TForm* form, TRect bounds) {
    auto* skin = new TTiledImage(form);
    skin->SetParent(form);
    skin->SetBoundsRect(bounds);
    Tile(skin->Picture());
    TPngImage corners[4];
    TBitmap masks[4];
    for (int i = 0; i < 4; ++i) {
        Corner(corners[i], 14, i);
        CornerMask(masks[i], 14, i);
    }
    skin->SetTopLeftCorner(&corners[0]);
    skin->SetTopRightCorner(&corners[1]);
    skin->SetBottomLeftCorner(&corners[2]);
    skin->SetBottomRightCorner(&corners[3]);
    skin->SetTopLeftCornerMask(&masks[0]);
    skin->SetTopRightCornerMask(&masks[1]);
    skin->SetBottomLeftCornerMask(&masks[2]);
    skin->SetBottomRightCornerMask(&masks[3]);
    return skin;
}

template <typename T>
T* Button(TForm* form, int x, int y, const std::string& caption, TPngImage* png) {
    auto* b = new T(form);
    b->SetParent(form);
    b->SetBounds(x, y, 110, 34);
    b->SetCaption(caption);
    b->Font()->SetName("Arial");
    b->Font()->SetSize(9);
    b->SetPngImage(png);
    return b;
}

bool RenderPngControls(const std::string& dir) {
    auto* form = new TForm(nullptr);
    form->SetBorderStyle(bsNone);
    form->SetColor(TColor(RGB(70, 80, 96)));
    form->SetBounds(40, 40, 520, 300);
    // Two skins side by side: the stripes run on across their border.
    Skin(form, TRect(10, 10, 257, 290));
    Skin(form, TRect(257, 10, 510, 290));

    TPngImage green, red, blue, amber;
    Disc(green, 22, 30, 150, 60);
    Disc(red, 22, 190, 40, 40);
    Disc(blue, 22, 40, 90, 200);
    Disc(amber, 22, 220, 150, 20);
    auto& images = *new TPngImageList(form);
    images.SetSize(22, 22);
    images.AddPng(&green, clNone);
    images.AddPng(&blue, clNone);

    auto* normal = Button<TPngSpeedButton>(form, 30, 30, "Begin", &green);
    normal->SetFlat(true);
    auto* hot = Button<TPngSpeedButton>(form, 30, 74, "Review", &blue);
    hot->SetFlat(true);
    auto* faded = Button<TPngSpeedButton>(form, 30, 118, "Pause", &red);
    faded->SetEnabled(false);
    auto* gray = Button<TPngSpeedButton>(form, 30, 162, "End", &amber);
    gray->SetPngOptions({pngBlendOnDisabled, pngGrayscaleOnDisabled});
    gray->SetEnabled(false);
    auto* top = Button<TPngSpeedButton>(form, 30, 206, "Glyph on top", &green);
    top->SetLayout(blGlyphTop);
    top->SetHeight(56);

    auto* pushed = Button<TPNGImageButton>(form, 290, 30, "Pressed", &blue);
    pushed->SetPngPushedImage(&amber);
    auto* group = Button<TPngSpeedButton>(form, 290, 74, "Held down", &red);
    group->SetGroupIndex(1);
    group->SetDown(true);
    // An action supplies the image from a PNG image list.
    auto& actions = *new TActionList(form);
    actions.SetImages(&images);
    auto& action = *new TAction(form);
    action.SetActionList(&actions);
    action.SetCaption("From action");
    action.SetImageIndex(1);
    auto* fromAction = Button<TPngSpeedButton>(form, 290, 118, "", nullptr);
    fromAction->SetAction(&action);
    auto* right = Button<TPngSpeedButton>(form, 290, 162, "Glyph right", &amber);
    right->SetLayout(blGlyphRight);

    testing::ShowForm(form);
    testing::MoveMouse(hot, 50, 17);
    testing::MouseDown(pushed, 50, 17);
    bool ok = testing::SaveWindowPng(form, dir + "/png-controls.png");
    // Where the two skins meet, six times larger: the stripes run on without a seam.
    TWindowPixels shown = testing::ClientPixels(form);
    TDecodedImage image;
    image.Width = shown.Width;
    image.Height = shown.Height;
    image.Pixels = shown.Pixels;
    for (uint32_t& p : image.Pixels)
        p |= 0xFF000000u;
    TBitmap whole;
    whole.LoadFromImage(image, pf32bit);
    TBitmap zoom(240, 240, pf32bit);
    zoom.Canvas()->CopyRect(TRect(0, 0, 240, 240), whole.Canvas(), Bounds(237, 0, 40, 40));
    zoom.SaveToPngFile(dir + "/png-controls-seam.png");
    testing::MouseUp(pushed, 50, 17);
    return ok;
}

// ---- Help ------------------------------------------------------------------------------------

class TField : public TCustomControl {
public:
    TField(TComponent* owner, TColor colour) : TCustomControl(owner), Fill(colour) {
        SetTabStop(true);
    }
    TColor Fill;

protected:
    void Paint() override {
        Canvas()->Brush()->SetColor(Fill);
        Canvas()->FillRect(ClientRect());
        Canvas()->Font()->SetName("Arial");
        Canvas()->Font()->SetSize(9);
        Canvas()->Brush()->SetStyle(bsClear);
        Canvas()->TextOut(6, 6, Name());
    }
};

std::string Describe(const THelpEngineCall& call) {
    char line[256];
    std::string data = std::to_string(call.Data);
    if (!call.Html && call.Command == HELP_SETPOPUP_POS)
        data = "position " + std::to_string(int16_t(call.Data & 0xFFFF)) + "," +
               std::to_string(int16_t((call.Data >> 16) & 0xFFFF));
    if (call.Command == HH_DISPLAY_TEXT_POPUP && call.Record.size() >= sizeof(HH_POPUP)) {
        HH_POPUP popup;
        std::memcpy(&popup, call.Record.data(), sizeof popup);
        data = "popup of topic " + std::to_string(popup.idString) + " at " +
               std::to_string(popup.pt.X) + "," + std::to_string(popup.pt.Y);
    }
    std::snprintf(line, sizeof line, "%-9s command %3u  file \"%s\"  %s",
                  call.Html ? "HtmlHelp" : "WinHelp", call.Command, call.File.c_str(),
                  data.c_str());
    return line;
}

bool RunHelpDemo(const std::string& dir) {
    UnloadHtmlHelp();
    Application->SetHelpFile("/exams/bank.hlp");
    std::string mapFile = dir + "/bank.hhp";
    std::ofstream(mapFile) << "[OPTIONS]\nTitle=Exam help\n[MAP]\n"
                              "#define QDLManagerMainForm_lstExams 1010\n"
                              "QDLManagerMainForm_clbSections = 1020 ; sections\n"
                              "#include bank-extra.h\n";
    std::ofstream(dir + "/bank-extra.h") << "QDLManagerMainForm_cmdBegin 1030\n"
                                            "#include bank-extra.h\n";

    auto* form = new TForm(nullptr);
    form->SetName("QDLManagerMainForm");
    form->SetBorderStyle(bsNone);
    form->SetBounds(60, 60, 400, 220);
    auto* exams = new TField(form, TColor(RGB(220, 232, 255)));
    exams->SetName("lstExams");
    exams->SetParent(form);
    exams->SetBounds(10, 10, 180, 150);
    auto* sections = new TField(form, TColor(RGB(232, 255, 220)));
    sections->SetName("clbSections");
    sections->SetParent(form);
    sections->SetBounds(200, 10, 190, 150);
    auto* begin = new TField(form, TColor(RGB(255, 240, 210)));
    begin->SetName("cmdBegin");
    begin->SetParent(form);
    begin->SetBounds(200, 170, 90, 40);
    auto* button = new TSpeedButton(form);
    button->SetParent(form);
    button->SetBounds(10, 170, 110, 40);
    button->SetCaption("What's this?");
    button->SetGroupIndex(9);
    button->SetAllowAllUp(true);

    auto* router = new THelpRouter(form);
    router->SetHelpType(htMixedMode);
    router->SetCHMPopupTopics("CSHelp.txt");
    auto* map = new THelpContextMap(form);
    map->SetFileName(mapFile);
    auto* what = new TWhatsThis(form);
    what->SetName("WhatsThisMain");
    what->SetF1Action(goDefault);
    what->SetOptions({wtInheritFormContext});
    what->SetWTToolbarButton(button);
    what->Loaded();
    testing::ShowForm(form);
    ClearHelpEngineLog();

    std::vector<std::string> lines;
    auto step = [&](const std::string& what) {
        lines.push_back(what + ":");
        for (const auto& call : HelpEngineLog())
            lines.push_back("    " + Describe(call));
        if (HelpEngineLog().empty()) lines.push_back("    (no help call)");
        ClearHelpEngineLog();
    };
    testing::PressKey(VK_F1, {ssShift});
    step("Shift+F1 enters the mode");
    testing::Click(exams, 40, 30);
    step("click on the exam list");
    testing::Click(button, 20, 20);
    step("the toolbar button enters the mode");
    testing::Click(sections, 60, 20);
    step("click on the section list (a map line with spaces around '=')");
    testing::Click(button, 20, 20);
    testing::PressKey(VK_ESCAPE);
    step("the toolbar button, then Escape");
    testing::PressKey(VK_F1, {ssShift});
    testing::Click(begin, 10, 10);
    step("Shift+F1, click on Begin (from an included map file)");
    testing::PressKey(VK_F1);
    step("F1 outside the mode (contents)");
    begin->SetHelpContext(-2000);
    testing::PressKey(VK_F1, {ssShift});
    testing::Click(begin, 10, 10);
    step("a negative context opens the main help");
    FreeComponent(router);
    step("the router goes");

    std::ofstream out(dir + "/help-calls.txt");
    std::printf("What's-this mode, help calls as the engines received them:\n");
    for (const auto& line : lines) {
        std::printf("  %s\n", line.c_str());
        out << line << "\n";
    }
    bool ok = testing::SaveWindowPng(form, dir + "/help-form.png");
    return ok;
}

demo::DemoSection pngSection("42-png-controls", RenderPngControls);
demo::DemoSection helpSection("43-help", RunHelpDemo);

} // namespace
