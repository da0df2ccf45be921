#pragma once
// Speed buttons that show a PNG instead of a bitmap glyph: faded (or grayed) when disabled,
// taken from the action's image list when the button has none of its own; and a button that
// shows a second PNG while it is pressed.

#include <memory>

#include "components/controls/PngFunctions.h"
#include "platform/controls/Buttons.h"

namespace epc {

class TPngSpeedButton : public TSpeedButton {
public:
    explicit TPngSpeedButton(TComponent* owner);
    ~TPngSpeedButton() override;
    std::string ClassName() const override { return "TPngSpeedButton"; }

    TPngImage* PngImage() const { return FPngImage.get(); }
    // Copies the PNG (nil: an empty one), without its gamma for colour images.
    void SetPngImage(TPngImage* value);
    TPngOptions PngOptions() const { return FPngOptions; }
    void SetPngOptions(TPngOptions value);
    // The PNG came from the action's image list (and is then not stored with the button).
    bool ImageFromAction() const { return FImageFromAction; }

    void Loaded() override;

protected:
    void Paint() override;
    void ActionChange(TBasicAction* sender, bool checkDefaults) override;
    // The PNG shown in the current state.
    virtual TPngImage* StateImage() { return FPngImage.get(); }
    // A placeholder glyph of the PNG's size, so that the layout makes room for it.
    void CreatePngGlyph();
    static void CopyPng(TPngImage* dest, TPngImage* source);

private:
    std::unique_ptr<TPngImage> FPngImage;
    TPngOptions FPngOptions{pngBlendOnDisabled};
    bool FImageFromAction = false;
};

class TPNGImageButton : public TPngSpeedButton {
public:
    explicit TPNGImageButton(TComponent* owner);
    ~TPNGImageButton() override;
    std::string ClassName() const override { return "TPNGImageButton"; }

    TPngImage* PngPushedImage() const { return FPngPushedImage.get(); }
    void SetPngPushedImage(TPngImage* value);

    void Loaded() override;

protected:
    TPngImage* StateImage() override;

private:
    std::unique_ptr<TPngImage> FPngPushedImage;
};

} // namespace epc
