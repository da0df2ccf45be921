#pragma once
// The form the viewer, editor and table tests put their controls on.

#include "platform/controls/Forms.h"
#include "platform/testing/UserActions.h"

#include <cstdlib>
#include <string>

namespace epc::test {

// One borderless form at (50, 50), 400 x 300, on the platform context of the case.
inline TForm* NewTestForm() {
    auto* form = new TForm(nullptr);
    form->SetBorderStyle(bsNone);
    form->SetBounds(50, 50, 400, 300);
    return form;
}

// How many client pixels of the control differ from what a full repaint of it shows (-1 when
// the sizes differ). With EPC_TEST_OUT set, both pictures of a difference are saved for a look.
inline int PixelsUnlikeAFullRepaint(TWinControl* control) {
    testing::Pump();
    const TWindowPixels shown = testing::ClientPixels(control);
    control->Invalidate();
    testing::Pump();
    const TWindowPixels full = testing::ClientPixels(control);
    if (shown.Width != full.Width || shown.Height != full.Height) return -1;
    int differ = 0;
    for (size_t i = 0; i < shown.Pixels.size(); ++i)
        differ += shown.Pixels[i] != full.Pixels[i];
    if (const char* out = std::getenv("EPC_TEST_OUT"); differ && out) {
        testing::SavePng(shown, std::string(out) + "/viewer-shown.png");
        testing::SavePng(full, std::string(out) + "/viewer-repainted.png");
    }
    return differ;
}

} // namespace epc::test
