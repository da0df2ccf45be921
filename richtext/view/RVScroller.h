#pragma once
// The window control under the rich-text viewer: the two scroll bars and their positions
// (vertically in steps of VSmallStep pixels, so that long documents fit 16-bit positions;
// horizontally in pixels), scrolling of the window contents and of embedded child controls,
// the scroll keys and the wheel, the single-line border, and the palette.

#include <cstdint>
#include <functional>
#include <unordered_map>

#include <vector>

#include "platform/controls/Controls.h"
#include "platform/windows/ThemeBinding.h"
#include "richtext/document/RVTypes.h"

namespace epc {

class TCustomRVData;
class TCustomRVItemInfo;

enum class TRVPaletteAction {
    rvpaDoNothing,
    rvpaAssignPallette,
    rvpaCreateCopies,
    rvpaCreateCopiesEx
};

// The scroll-bar entry points every scroller goes through; a program may replace them (for
// skinned scroll bars) before creating viewers.
struct TRVScrollBarEntryPoints {
    BOOL (*ShowScrollBar)(HWND, int, BOOL) = epc::ShowScrollBar;
    BOOL (*GetScrollInfo)(HWND, int, SCROLLINFO*) = epc::GetScrollInfo;
    int (*GetScrollPos)(HWND, int) = epc::GetScrollPos;
    int (*SetScrollPos)(HWND, int, int, BOOL) = epc::SetScrollPos;
    int (*SetScrollInfo)(HWND, int, const SCROLLINFO*, BOOL) = epc::SetScrollInfo;
    BOOL (*EnableScrollBar)(HWND, int, uint32_t) = epc::EnableScrollBar;
};
TRVScrollBarEntryPoints& RVScrollBars();

// The colour table of the palette used on palette-based displays: the 216 colours whose red,
// green and blue each take one of 0, 51, 102, 153, 204, 255 (blue varying fastest).
std::vector<TColor> RVColorCube();

class TRVScroller : public TCustomControl {
public:
    explicit TRVScroller(TComponent* owner);
    ~TRVScroller() override;
    std::string ClassName() const override { return "TRVScroller"; }

    // ---- Positions and ranges.
    int VSmallStep() const { return FVSmallStep; }
    virtual void SetVSmallStep(int value);
    int VScrollPos() const { return FVScrollPos; }
    int HScrollPos() const { return FHScrollPos; }
    int VScrollMax() const { return FVScrollMax; }
    int VScrollPage() const { return FVScrollPage; }
    int HScrollMax() const { return FHScrollMax; }
    int AreaWidth() const { return FAreaWidth; }
    int DocHeightSteps() const { return FDocHeightSteps; }
    virtual void SetVScrollPos(int pos, bool redraw);
    virtual void SetHScrollPos(int pos);
    void ScrollToY(int steps) { SetVScrollPos(steps, true); }
    void ScrollToPixelY(int y) { SetVScrollPos(y / FVSmallStep, true); }
    void ScrollToPixelYNoRedraw(int y) { SetVScrollPos(y / FVSmallStep, false); }
    int GetHScrollMax();
    void UpdateScrollBars(int docWidth, int docHeightSteps, bool disableNoScroll,
                          bool updateHorizontal);

    // ---- Properties.
    bool Tracking() const { return FTracking; }
    void SetTracking(bool value) { FTracking = value; }
    bool VScrollVisible() const { return FVScrollVisible; }
    void SetVScrollVisible(bool value);
    bool HScrollVisible() const { return FHScrollVisible; }
    void SetHScrollVisible(bool value);
    TBorderStyle BorderStyle() const { return FBorderStyle; }
    void SetBorderStyle(TBorderStyle value);
    int WheelStep() const { return FWheelStep; }
    void SetWheelStep(int value) { FWheelStep = value; }
    bool UseXPThemes() const { return FUseXPThemes; }
    void SetUseXPThemes(bool value);
    TRVBiDiMode GetBiDiMode() const { return FRVBiDiMode; }
    virtual void SetBiDiMode(TRVBiDiMode value);
    TRVPaletteAction DoInPaletteMode() const { return FDoInPaletteMode; }
    void SetDoInPaletteMode(TRVPaletteAction value);
    // Scroll keys move the document (the editor turns this off for its caret keys).
    bool KeyboardScroll = true;
    // Scrolling repaints the whole window instead of moving its contents (a background
    // picture that stays where it is).
    bool FullRedrawOnScroll = false;
    // With DisableNoScroll the vertical bar stays, disabled, when there is nothing to scroll.
    bool VDisableNoScroll = false;

    // ---- Embedded controls move with the contents.
    void MoveEmbeddedControls(int dx, int dy);
    // Puts a child control at an unclamped client y (kept by the scroller, the control gets
    // the value clamped to the window-manager's range).
    void SetControlTop(TControl* control, int y);

    // ---- Table-cell editing.
    void SetChosen(TCustomRVData* rvData, TCustomRVItemInfo* item);
    TCustomRVData* ChosenRVData() const { return FChosenRVData; }
    TCustomRVItemInfo* ChosenItem() const { return FChosenItem; }
    virtual TRVScroller* GetInplaceEditor() const { return nullptr; }
    virtual void DestroyInplaceEditor() {}
    void ActivateInParentForm();
    // This scroller or one it lies in is being destroyed (focus must not move into it).
    bool EnclosingScrollerDestroying() const;
    // The scroller, or through nested scrollers its in-place editor, has the focus.
    bool IsScrollerFocused();

    // The palette of palette-based displays and its colour table (null and empty on
    // true-colour screens).
    HPALETTE Palette() const { return FPalette; }
    const std::vector<TColor>& PaletteColors() const { return FPaletteColors; }
    void UpdatePalette();
    // The theme the border is drawn with; null when drawn the classic way.
    HTHEME Theme() const { return FTheme; }

    std::function<void(TObject* sender)> OnVScrolled;
    std::function<void(TObject* sender)> OnHScrolled;

    void Dispatch(TMessage& message) override;

protected:
    void CreateParams(TCreateParams& params) override;
    void CreateWnd() override;
    void DestroyWnd() override;
    void KeyDown(Word& key, TShiftState shift) override;
    bool DoMouseWheelDown(TShiftState shift, TPoint mousePos) override;
    bool DoMouseWheelUp(TShiftState shift, TPoint mousePos) override;
    virtual void OpenTheme();
    virtual void CloseTheme();
    virtual void AfterVScroll();
    virtual void AfterHScroll();
    // Reset hooks: positions back to 0; bars for an empty document.
    virtual void ResetScrollPositions();
    virtual void ResetScrollBars();

    void WMVScroll(TMessage& message);
    void WMHScroll(TMessage& message);
    void WMNCPaint(TMessage& message);

    int FVSmallStep = 1;
    int FVScrollPos = 0;
    int FHScrollPos = 0;
    int FVScrollMax = 0;
    int FVScrollPage = 0;
    int FHScrollMax = 0;
    int FAreaWidth = 0;
    int FDocHeightSteps = 0;

private:
    void HideBar(int bar);
    bool FTracking = true;
    bool FVScrollVisible = true;
    bool FHScrollVisible = true;
    TBorderStyle FBorderStyle = bsNone;
    int FWheelStep = 2;
    bool FUseXPThemes = true;
    TRVBiDiMode FRVBiDiMode = TRVBiDiMode::rvbdUnspecified;
    TRVPaletteAction FDoInPaletteMode = TRVPaletteAction::rvpaCreateCopies;
    bool FUpdatingScrollBars = false;
    HTHEME FTheme = nullptr;
    bool FThemeLibrary = false; // the theme library was initialised by this scroller
    HPALETTE FPalette = nullptr;
    std::vector<TColor> FPaletteColors;
    TCustomRVData* FChosenRVData = nullptr;
    TCustomRVItemInfo* FChosenItem = nullptr;
    // Unclamped client y of each embedded control and the Top it was given; a control whose
    // Top no longer matches was moved by the program and starts again from its Top.
    struct TControlPlace {
        int Y = 0;
        int AppliedTop = 0;
    };
    std::unordered_map<const TControl*, TControlPlace> FControlPlaces;
};

} // namespace epc
