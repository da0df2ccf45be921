#pragma once
// The captions the demo pictures label their parts with: 9-point bold navy Arial written over
// whatever lies beneath.

#include <string>

#include "platform/graphics/Graphics.h"

namespace demo {

// Sets the caption font and a clear brush (text after it shows no background).
inline void UseLabelFont(epc::TCanvas* c) {
    c->Font()->SetName("Arial");
    c->Font()->SetSize(9);
    c->Font()->SetStyle({epc::fsBold});
    c->Font()->SetColor(epc::clNavy);
    c->Brush()->SetStyle(epc::bsClear);
}

// A caption at (x, y); the brush is solid again afterwards.
inline void DrawLabel(epc::TCanvas* c, int x, int y, const std::u16string& text) {
    UseLabelFont(c);
    c->TextOut(x, y, text);
    c->Brush()->SetStyle(epc::bsSolid);
}

} // namespace demo
