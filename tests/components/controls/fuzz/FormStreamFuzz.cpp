// Reads arbitrary bytes as a stored form of the program's controls (check lists with their item
// states, radio panels with their buttons, PNG buttons, tiled images and PNG image lists with
// their PNG data), into a given form and into a component of the stream's class. Bad input,
// broken PNG data included, must end in EReadError and leave nothing behind.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "components/controls/NewCheckListBox.h"
#include "components/controls/PngButtons.h"
#include "components/controls/PngImageList.h"
#include "components/controls/RadioPanel.h"
#include "components/controls/TiledImage.h"
#include "platform/controls/Forms.h"
#include "platform/core/Exceptions.h"
#include "platform/streaming/Filer.h"

using namespace epc;

namespace {

void RampPng(TPngImage& png, int size, uint32_t seed) {
    TDecodedImage img;
    img.Width = size;
    img.Height = size;
    for (int i = 0; i < size * size; ++i)
        img.Pixels.push_back(uint32_t(i * 255 / (size * size)) << 24 | (seed * uint32_t(i + 1)));
    img.HasAlpha = true;
    img.ColorType = 6;
    png.LoadFromImage(img);
}

std::string Stored(TComponent* root) {
    TMemoryStream out;
    WriteComponent(out, root);
    return out.DataString();
}

} // namespace

void EpcFuzzSeeds(std::vector<std::string>& seeds) {
    InitializeForms();
    TForm form(nullptr);
    form.SetName("Seed");
    auto* list = new TNewCheckListBox(&form);
    list->SetName("clb");
    list->SetParent(&form);
    list->AddGroupItem("g", "", 0, nullptr);
    list->AddCheckItem("a", "1", 1, true, true, false, true, nullptr);
    list->AddCheckItem("b", "", 2, false, false, true, false, nullptr);
    list->SetTabWidth(4);
    list->SetIntegralHeight(true);
    auto* radios = new TRadioPanel(&form);
    radios->SetName("rp");
    radios->SetParent(&form);
    radios->AddButton("x")->SetChecked(true);
    auto* button = new TPNGImageButton(&form);
    button->SetName("btn");
    button->SetParent(&form);
    TPngImage png;
    RampPng(png, 5, 0x010203);
    button->SetPngImage(&png);
    button->SetPngPushedImage(&png);
    auto* skin = new TTiledImage(&form);
    skin->SetName("skin");
    skin->SetParent(&form);
    skin->Picture()->SetGraphic(&png);
    auto* images = new TPngImageList(&form);
    images->SetName("il");
    images->SetSize(6, 6);
    for (int size : {6, 3}) {
        TPngImage p;
        RampPng(p, size, 0x0A0B0C * uint32_t(size));
        images->AddPng(&p);
    }
    images->PngImages()->Add();
    seeds.push_back(Stored(&form));
    // The image list alone, as its own root.
    TPngImageList alone(nullptr);
    alone.SetName("ilAlone");
    alone.SetSize(4, 4);
    TPngImage small;
    RampPng(small, 4, 0x112233);
    alone.AddPng(&small);
    seeds.push_back(Stored(&alone));
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    [[maybe_unused]] static const bool ready = (InitializeForms(), true);
    std::string bytes(reinterpret_cast<const char*>(data), size);
    try {
        TForm form(nullptr);
        TStringStream in(bytes);
        ReadComponent(in, &form);
    } catch (const EReadError&) {
    }
    try {
        TStringStream in(bytes);
        std::unique_ptr<TComponent> made(ReadComponent(in, nullptr));
    } catch (const EReadError&) {
    }
    return 0;
}
