// The program's own controls on one form: the section check list with a few levels in mixed
// states, a radio panel of choices and flat panels; then a message box centred on its owner,
// drawn where it lands on the desktop.

#include <fstream>
#include <string>

#include "components/controls/FlatPanels.h"
#include "components/controls/MessageBoxes.h"
#include "components/controls/NewCheckListBox.h"
#include "components/controls/QDLSpeedButton.h"
#include "components/controls/RadioPanel.h"
#include "demo/DemoRegistry.h"
#include "platform/controls/Forms.h"
#include "platform/testing/UserActions.h"

namespace {

using namespace epc;

// A small black arrow on a face-coloured ground (the ground is the glyph's transparent colour).
void ArrowGlyph(TBitmap& glyph, bool up) {
    glyph.SetSize(9, 9);
    TCanvas* c = glyph.Canvas();
    c->Brush()->SetColor(clBtnFace);
    c->FillRect(TRect(0, 0, 9, 9));
    c->Brush()->SetColor(clBlack);
    c->Pen()->SetColor(clBlack);
    if (up)
        c->Polygon({TPoint(4, 2), TPoint(8, 6), TPoint(0, 6)});
    else
        c->Polygon({TPoint(0, 2), TPoint(8, 2), TPoint(4, 6)});
}

bool RenderControls(const std::string& dir) {
    auto* form = Application->CreateForm<TForm>();
    form->SetCaption("Exam player - controls demo");
    form->SetBounds(60, 60, 520, 340);

    auto* header = new TFlatPanel(form);
    header->SetParent(form);
    header->SetAlign(alTop);
    header->SetHeight(28);
    header->SetBevelOuter(bvNone);
    header->SetShowBottomWhiteLine(true);
    header->SetAlignment(taLeftJustify);
    header->SetLeftBorder(8);
    header->SetCaption("  Choose the sections of the exam");

    auto* list = new TNewCheckListBox(form);
    list->SetParent(form);
    list->SetBounds(8, 36, 260, 250);
    list->AddGroupItem("Networking", "", 0, nullptr);
    list->AddCheckItem("Addressing", "12 items", 1, true, true, false, true, nullptr);
    list->AddCheckItem("Routing", "", 1, false, true, true, true, nullptr);
    list->AddCheckItem("Static routes", "4", 2, true, true, false, true, nullptr);
    list->AddCheckItem("Dynamic routing protocols and their convergence", "6", 2, false, true,
                       false, false, nullptr);
    list->AddCheckItem("Legacy protocols", "", 1, false, false, false, true, nullptr);
    list->AddGroupItem("Security", "", 0, nullptr);
    list->AddCheckItem("Firewalls", "8", 1, false, true, false, true, nullptr);
    list->AddCheckItem("Certificates", "5", 1, false, true, false, true, nullptr);

    auto* choices = new TFlatPanel(form);
    choices->SetParent(form);
    choices->SetBounds(294, 36, 210, 120);
    choices->SetBorderStyle(bsSingle);
    choices->SetCtl3D(false);
    choices->SetBevelOuter(bvNone);
    choices->SetColor(clWindow);
    auto* radio = new TRadioPanel(choices);
    radio->SetParent(choices);
    radio->SetBounds(4, 4, 210, 40);
    radio->SetColor(clWindow);
    radio->SetTopOffset(2);
    radio->SetBottomMargin(2);
    for (const char* c : {"Practice", "Certification", "Review only", "Timed"})
        radio->AddButton(c);

    auto* info = new TFlatPanel(form);
    info->SetParent(form);
    info->SetBounds(294, 166, 210, 120);
    info->SetBevelOuter(bvLowered);
    info->SetCaption("Flat panel, lowered bevel");

    // The move-up and move-down buttons of the create-a-tree view, classic look.
    for (bool up : {true, false}) {
        auto* arrow = new TQDLSpeedButton(form);
        arrow->SetParent(form);
        arrow->SetBounds(270, up ? 200 : 222, 20, 20);
        arrow->SetSpeedButtonType(up ? qstUp : qstDown);
        TBitmap glyph;
        ArrowGlyph(glyph, up);
        arrow->SetGlyph(&glyph);
    }

    testing::ShowForm(form);
    // The user checks a section, picks a mode and rests the mouse on a long caption.
    TRect firewalls = list->ItemRect(7);
    testing::Click(list, 2 * (list->CheckWidth() + 2 * list->Offset()) - 6,
                   firewalls.Top + firewalls.Height() / 2);
    testing::Click(radio->Buttons(1), 6, 11);
    bool ok = testing::SavePng(ComposeWindowPixels(form->Handle()), dir + "/controls.png");

    // A warning centred on the form, kept inside a work area that leaves room for a panel
    // along the top of the screen.
    RECT workArea(0, 40, 1024, 768);
    SystemParametersInfoA(SPI_SETWORKAREA, 0, &workArea, 0);
    form->SetBounds(-120, -60, 520, 340);
    testing::Pump();
    // The part of the desktop around the owner, with the panel strip drawn over it.
    TWindowPixels screen;
    screen.Width = 640;
    screen.Height = 400;
    screen.Pixels.assign(size_t(screen.Width) * size_t(screen.Height), 0xFF3A6EA5);
    auto blit = [&](const TWindowPixels& px, TPoint at) {
        for (int y = 0; y < px.Height; ++y)
            for (int x = 0; x < px.Width; ++x) {
                int sx = at.X + x, sy = at.Y + y;
                if (sx >= 0 && sy >= 0 && sx < screen.Width && sy < screen.Height)
                    screen.Pixels[size_t(sy) * size_t(screen.Width) + size_t(sx)] = px.Pixel(x, y);
            }
    };
    blit(ComposeWindowPixels(form->Handle()), TPoint(-120, -60));
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < screen.Width; ++x)
            screen.Pixels[size_t(y) * size_t(screen.Width) + size_t(x)] = 0xFF202020;
    ScriptMessageBoxAnswer([&](HWND box) {
        // The headless box has no face of its own: a caption, the text and two buttons.
        RECT r;
        GetWindowRect(box, &r);
        HDC dc = GetWindowDC(box);
        RECT all(0, 0, r.Width(), r.Height());
        DrawEdge(dc, &all, EDGE_RAISED, BF_RECT | BF_MIDDLE);
        RECT bar(3, 3, r.Width() - 3, 21);
        HBRUSH navy = CreateSolidBrush(RGB(10, 36, 106));
        FillRect(dc, &bar, navy);
        DeleteObject(navy);
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, RGB(255, 255, 255));
        RECT title(8, 3, r.Width() - 8, 21);
        DrawTextA(dc, ProgramTitle().c_str(), -1, &title, DT_SINGLELINE | DT_VCENTER);
        SetTextColor(dc, RGB(0, 0, 0));
        RECT body(16, 32, r.Width() - 16, r.Height() - 40);
        DrawTextA(dc, "Some answers are incomplete.\nLeave this item anyway?", -1, &body,
                  DT_WORDBREAK);
        for (int i = 0; i < 2; ++i) {
            RECT b(r.Width() / 2 - 80 + i * 84, r.Height() - 34, r.Width() / 2 - 4 + i * 84,
                   r.Height() - 11);
            DrawFrameControl(dc, &b, DFC_BUTTON, DFCS_BUTTONPUSH);
            DrawTextA(dc, i == 0 ? "Yes" : "No", -1, &b, DT_SINGLELINE | DT_VCENTER | DT_CENTER);
        }
        ReleaseDC(box, dc);
        blit(GetWindowPixels(box), TPoint(r.Left, r.Top));
        return IDNO;
    });
    SetProgramTitle("Networking Fundamentals");
    ConfirmYesNoDefaultNo(form, "Some answers are incomplete.\nLeave this item anyway?");
    const TMessageBoxRecord& box = MessageBoxLog().back();
    ok = testing::SavePng(screen, dir + "/message-box.png") && ok;
    std::ofstream text(dir + "/message-box.txt");
    text << "owner window: (-120, -60) 520 x 340\n"
         << "work area: (0, 40) - (1024, 768)\n"
         << "box: (" << box.Rect.Left << ", " << box.Rect.Top << ") " << box.Rect.Width() << " x "
         << box.Rect.Height() << "\n"
         << "caption: " << box.Caption << "\nflags: " << box.Flags << "\nresult: " << box.Result
         << "\n";
    ok = ok && bool(text);
    return ok;
}

demo::DemoSection controlsSection("40-controls", RenderControls);

} // namespace
