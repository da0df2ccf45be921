#include "components/controls/PngButtons.h"

#include "platform/controls/ControlStreaming.h"
#include "platform/controls/ImageList.h"
#include "platform/streaming/PropertyRegistry.h"

namespace epc {

TPngSpeedButton::TPngSpeedButton(TComponent* owner)
    : TSpeedButton(owner), FPngImage(std::make_unique<TPngImage>()) {}

TPngSpeedButton::~TPngSpeedButton() = default;

void TPngSpeedButton::CopyPng(TPngImage* dest, TPngImage* source) {
    if (source && !source->Empty())
        dest->Assign(source);
    else
        dest->CreateBlank(COLOR_RGBALPHA, 8, 0, 0);
    uint8_t type = dest->ColorType();
    if (type == COLOR_RGB || type == COLOR_PALETTE || type == COLOR_RGBALPHA) dest->RemoveGamma();
}

void TPngSpeedButton::SetPngImage(TPngImage* value) {
    CopyPng(FPngImage.get(), value);
    FImageFromAction = false;
    CreatePngGlyph();
    Invalidate();
}

void TPngSpeedButton::SetPngOptions(TPngOptions value) {
    if (FPngOptions == value) return;
    FPngOptions = value;
    CreatePngGlyph();
    Invalidate();
}

void TPngSpeedButton::Loaded() {
    TSpeedButton::Loaded();
    // A stored PNG is read straight into the button's own: it loses its gamma here.
    CopyPng(FPngImage.get(), FPngImage.get());
    CreatePngGlyph();
}

void TPngSpeedButton::CreatePngGlyph() {
    TBitmap placeholder;
    if (!FPngImage->Empty()) {
        placeholder.SetSize(FPngImage->Width(), FPngImage->Height());
        placeholder.Canvas()->Brush()->SetColor(clBtnFace);
        placeholder.Canvas()->FillRect(TRect(0, 0, FPngImage->Width(), FPngImage->Height()));
    }
    SetGlyph(&placeholder);
    SetNumGlyphs(1);
}

void TPngSpeedButton::Paint() {
    TPoint offset;
    TRect client = PaintFrame(offset);
    TPngImage* image = StateImage();
    TPoint glyphPos;
    TRect textRect;
    CalcButtonLayout(Canvas(), image, client, offset, Caption(), Layout(), Margin(), Spacing(),
                     glyphPos, textRect, DrawTextBiDiModeFlags(), FState);
    if (image && !image->Empty())
        DrawPNG(image, Canvas(), Bounds(glyphPos.X, glyphPos.Y, image->Width(), image->Height()),
                Enabled() ? TPngOptions{} : FPngOptions);
}

void TPngSpeedButton::ActionChange(TBasicAction* sender, bool checkDefaults) {
    TSpeedButton::ActionChange(sender, checkDefaults);
    auto* action = dynamic_cast<TCustomAction*>(sender);
    if (!action || !action->ActionList()) return;
    TCustomImageList* images = action->ActionList()->Images();
    int index = action->ImageIndex();
    if (!images || index < 0 || index >= images->Count()) return;
    if (!FPngImage->Empty() && !FImageFromAction) return;
    TPngImage copy;
    CopyImageFromImageList(&copy, images, index);
    CopyPng(FPngImage.get(), &copy);
    FImageFromAction = true;
    CreatePngGlyph();
    Invalidate();
}

TPNGImageButton::TPNGImageButton(TComponent* owner)
    : TPngSpeedButton(owner), FPngPushedImage(std::make_unique<TPngImage>()) {}

TPNGImageButton::~TPNGImageButton() = default;

void TPNGImageButton::Loaded() {
    CopyPng(FPngPushedImage.get(), FPngPushedImage.get());
    TPngSpeedButton::Loaded();
}

void TPNGImageButton::SetPngPushedImage(TPngImage* value) {
    CopyPng(FPngPushedImage.get(), value);
    Invalidate();
}

TPngImage* TPNGImageButton::StateImage() {
    return FState == bsDown ? FPngPushedImage.get() : PngImage();
}

namespace {

[[maybe_unused]] const bool PngButtonsRegistered = [] {
    using B = TPngSpeedButton;
    PublishControlProperties("TPngSpeedButton", "TSpeedButton", SpeedButtonControlProperties());
    TPublished<B>("TPngSpeedButton", "TSpeedButton")
        // The glyph is a placeholder made from the PNG.
        .Object("Glyph", &B::Glyph)
        .Stored(false)
        .Object("PngImage", &B::PngImage)
        .StoredIf([](B& b) { return !b.ImageFromAction(); })
        .Set("PngOptions", &B::PngOptions, &B::SetPngOptions,
             {"pngBlendOnDisabled", "pngGrayscaleOnDisabled"},
             int64_t(TPngOptions{pngBlendOnDisabled}.Bits()));
    RegisterClass<B>("TPngSpeedButton");

    using I = TPNGImageButton;
    TPublished<I>("TPNGImageButton", "TPngSpeedButton")
        .Object("PngPushedImage", &I::PngPushedImage);
    RegisterClass<I>("TPNGImageButton");
    return true;
}();

} // namespace

} // namespace epc
