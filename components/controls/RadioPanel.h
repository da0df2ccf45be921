#pragma once
// A panel holding radio buttons made at run time, laid out in rows.

#include <functional>
#include <string>
#include <vector>

#include "platform/controls/ExtCtrls.h"
#include "platform/controls/StdCtrls.h"

namespace epc {

using TRadioPanelButtonClickEvent = std::function<void(TObject* sender, TRadioButton* button)>;

class TCustomRadioPanel : public TCustomPanel {
public:
    explicit TCustomRadioPanel(TComponent* owner);
    ~TCustomRadioPanel() override;
    std::string ClassName() const override { return "TCustomRadioPanel"; }

    // Makes a radio button owned by the panel, places it in the rows and shows it.
    TRadioButton* AddButton(const std::string& aCaption);
    int ButtonCount() const { return int(FButtons.size()); }
    TRadioButton* Buttons(int index) const { return FButtons.at(size_t(index)); }
    int ButtonHeight() const { return FButtonHeight; }
    void SetButtonHeight(int v) { FButtonHeight = v; }
    int TopOffset() const { return FTopOffset; }
    void SetTopOffset(int v);
    int BottomMargin() const { return FBottomMargin; }
    void SetBottomMargin(int v);
    // Fired with the panel as the sender when one of its buttons is clicked.
    TRadioPanelButtonClickEvent OnButtonClick;

    void Dispatch(TMessage& message) override;
    // The buttons made at run time are stored with the panel ("Buttons": caption and checked
    // state of each) and made again when it is read.
    void DefineProperties(TFiler* filer) override;

protected:
    void Resize() override;
    // Every resize lays the buttons out again.
    void HandleResize();
    void LayoutButtons();
    // Themed: the parent's background behind the panel.
    void DrawParentBackground(HDC dc);

private:
    void WMEraseBkgndThemed(TMessage& message);
    void WMPaintThemed(TMessage& message);

    int FButtonHeight = 22;
    std::vector<TRadioButton*> FButtons; // components of the panel
    int FTopOffset = 0;
    int FBottomMargin = 0;
    bool FLayingOut = false;
};

class TRadioPanel : public TCustomRadioPanel {
public:
    using TCustomRadioPanel::TCustomRadioPanel;
    std::string ClassName() const override { return "TRadioPanel"; }
};

} // namespace epc
