#pragma once
// The tree's option sets, scroll-bar options, colours and the list of clipboard formats it
// offers. Each object belongs to one tree and tells it what must be redone after a change.

#include <array>
#include <string>
#include <vector>

#include "components/tree/VirtualTreeTypes.h"
#include "platform/core/Classes.h"
#include "platform/core/Color.h"

namespace epc {

enum class TVTPaintOption : uint8_t {
    toHideFocusRect,
    toHideSelection,
    toHotTrack,
    toPopupMode,
    toShowBackground,
    toShowButtons,
    toShowDropmark,
    toShowHorzGridLines,
    toShowRoot,
    toShowTreeLines,
    toShowVertGridLines,
    toThemeAware,
    toUseBlendedImages,
    toGhostedIfUnfocused
};
using TVTPaintOptions = TSet<TVTPaintOption>;

enum class TVTAnimationOption : uint8_t { toAnimatedToggle };
using TVTAnimationOptions = TSet<TVTAnimationOption>;

enum class TVTAutoOption : uint8_t {
    toAutoDropExpand,
    toAutoExpand,
    toAutoScroll,
    toAutoScrollOnExpand,
    toAutoSort,
    toAutoSpanColumns,
    toAutoTristateTracking,
    toAutoHideButtons,
    toAutoDeleteMovedNodes,
    toDisableAutoscrollOnFocus,
    toAutoChangeScale,
    toAutoFreeOnCollapse
};
using TVTAutoOptions = TSet<TVTAutoOption>;

enum class TVTSelectionOption : uint8_t {
    toDisableDrawSelection,
    toExtendedFocus,
    toFullRowSelect,
    toLevelSelectConstraint,
    toMiddleClickSelect,
    toMultiSelect,
    toRightClickSelect,
    toSiblingSelectConstraint,
    toCenterScrollIntoView
};
using TVTSelectionOptions = TSet<TVTSelectionOption>;

enum class TVTMiscOption : uint8_t {
    toAcceptOLEDrop,
    toCheckSupport,
    toEditable,
    toFullRepaintOnResize,
    toGridExtensions,
    toInitOnSave,
    toReportMode,
    toToggleOnDblClick,
    toWheelPanning,
    toReadOnly
};
using TVTMiscOptions = TSet<TVTMiscOption>;

// The single option set of older stored forms ("Options"); each maps onto the new option of
// the same name ("vo" read as "to").
enum class TOldVTOption : uint8_t {
    voAcceptOLEDrop,
    voAnimatedToggle,
    voAutoDropExpand,
    voAutoExpand,
    voAutoScroll,
    voAutoSort,
    voAutoSpanColumns,
    voAutoTristateTracking,
    voCheckSupport,
    voDisableDrawSelection,
    voEditable,
    voExtendedFocus,
    voFullRowSelect,
    voGridExtensions,
    voHideFocusRect,
    voHideSelection,
    voHotTrack,
    voInitOnSave,
    voLevelSelectConstraint,
    voMiddleClickSelect,
    voMultiSelect,
    voRightClickSelect,
    voPopupMode,
    voShowBackground,
    voShowButtons,
    voShowDropmark,
    voShowHorzGridLines,
    voShowRoot,
    voShowTreeLines,
    voShowVertGridLines,
    voSiblingSelectConstraint,
    voToggleOnDblClick,
};
// Stored identifiers of the old options, in enumeration order.
extern const std::array<const char*, 32> OldVTOptionNames;

namespace tree_options {
using enum TVTPaintOption;
using enum TVTAnimationOption;
using enum TVTAutoOption;
using enum TVTSelectionOption;
using enum TVTMiscOption;
} // namespace tree_options

inline const TVTPaintOptions DefaultPaintOptions{
    TVTPaintOption::toShowButtons, TVTPaintOption::toShowDropmark,
    TVTPaintOption::toShowRoot,    TVTPaintOption::toShowTreeLines,
    TVTPaintOption::toThemeAware,  TVTPaintOption::toUseBlendedImages};
inline const TVTAnimationOptions DefaultAnimationOptions{};
inline const TVTAutoOptions DefaultAutoOptions{
    TVTAutoOption::toAutoDropExpand, TVTAutoOption::toAutoScrollOnExpand,
    TVTAutoOption::toAutoTristateTracking, TVTAutoOption::toAutoDeleteMovedNodes};
inline const TVTSelectionOptions DefaultSelectionOptions{};
inline const TVTMiscOptions DefaultMiscOptions{
    TVTMiscOption::toAcceptOLEDrop, TVTMiscOption::toFullRepaintOnResize,
    TVTMiscOption::toInitOnSave, TVTMiscOption::toToggleOnDblClick, TVTMiscOption::toWheelPanning};

class TCustomVirtualTreeOptions : public TPersistent {
public:
    explicit TCustomVirtualTreeOptions(TBaseVirtualTree* owner) : FOwner(owner) {}
    std::string ClassName() const override { return "TCustomVirtualTreeOptions"; }

    TBaseVirtualTree* Owner() const { return FOwner; }
    TPersistent* GetOwner() const override;

    TVTPaintOptions PaintOptions() const { return FPaintOptions; }
    void SetPaintOptions(TVTPaintOptions value);
    TVTAnimationOptions AnimationOptions() const { return FAnimationOptions; }
    void SetAnimationOptions(TVTAnimationOptions value) { FAnimationOptions = value; }
    TVTAutoOptions AutoOptions() const { return FAutoOptions; }
    void SetAutoOptions(TVTAutoOptions value);
    TVTSelectionOptions SelectionOptions() const { return FSelectionOptions; }
    void SetSelectionOptions(TVTSelectionOptions value);
    TVTMiscOptions MiscOptions() const { return FMiscOptions; }
    void SetMiscOptions(TVTMiscOptions value);

protected:
    void AssignTo(TPersistent* dest) override;

private:
    TBaseVirtualTree* FOwner;
    TVTPaintOptions FPaintOptions = DefaultPaintOptions;
    TVTAnimationOptions FAnimationOptions = DefaultAnimationOptions;
    TVTAutoOptions FAutoOptions = DefaultAutoOptions;
    TVTSelectionOptions FSelectionOptions = DefaultSelectionOptions;
    TVTMiscOptions FMiscOptions = DefaultMiscOptions;
};

// The published form of the options (what a tree made for forms uses).
class TVirtualTreeOptions : public TCustomVirtualTreeOptions {
public:
    using TCustomVirtualTreeOptions::TCustomVirtualTreeOptions;
    std::string ClassName() const override { return "TVirtualTreeOptions"; }
};

enum class TScrollStyle : uint8_t { ssNone, ssHorizontal, ssVertical, ssBoth };
enum class TScrollBarStyle : uint8_t { sbmRegular, sbmFlat, sbm3D };

class TScrollBarOptions : public TPersistent {
public:
    explicit TScrollBarOptions(TBaseVirtualTree* owner) : FOwner(owner) {}
    std::string ClassName() const override { return "TScrollBarOptions"; }
    TPersistent* GetOwner() const override;

    bool AlwaysVisible() const { return FAlwaysVisible; }
    void SetAlwaysVisible(bool value);
    TScrollStyle ScrollBars() const { return FScrollBars; }
    void SetScrollBars(TScrollStyle value);
    TScrollBarStyle ScrollBarStyle() const { return FScrollBarStyle; }
    // Only the regular style is built; any other value fails with an assertion.
    void SetScrollBarStyle(TScrollBarStyle value);
    // Plain fields, pixels per step (1..10000).
    uint16_t HorizontalIncrement = 20;
    uint16_t VerticalIncrement = 20;

    void Assign(TPersistent* source) override;

private:
    TBaseVirtualTree* FOwner;
    bool FAlwaysVisible = false;
    TScrollStyle FScrollBars = TScrollStyle::ssBoth;
    TScrollBarStyle FScrollBarStyle = TScrollBarStyle::sbmRegular;
};

class TVTColors : public TPersistent {
public:
    enum Index : int {
        DisabledColorIndex,
        DropMarkColorIndex,
        DropTargetColorIndex,
        FocusedSelectionColorIndex,
        GridLineColorIndex,
        TreeLineColorIndex,
        UnfocusedSelectionColorIndex,
        BorderColorIndex,
        HotColorIndex,
        FocusedSelectionBorderColorIndex,
        UnfocusedSelectionBorderColorIndex,
        DropTargetBorderColorIndex,
        SelectionRectangleBlendColorIndex,
        SelectionRectangleBorderColorIndex,
        ColorCount
    };

    explicit TVTColors(TBaseVirtualTree* owner);
    std::string ClassName() const override { return "TVTColors"; }
    TPersistent* GetOwner() const override;

    TColor Color(int index) const { return FColors[size_t(index)]; }
    void SetColor(int index, TColor value);

    TColor DisabledColor() const { return Color(DisabledColorIndex); }
    TColor DropMarkColor() const { return Color(DropMarkColorIndex); }
    TColor DropTargetColor() const { return Color(DropTargetColorIndex); }
    TColor FocusedSelectionColor() const { return Color(FocusedSelectionColorIndex); }
    TColor GridLineColor() const { return Color(GridLineColorIndex); }
    TColor TreeLineColor() const { return Color(TreeLineColorIndex); }
    TColor UnfocusedSelectionColor() const { return Color(UnfocusedSelectionColorIndex); }
    TColor BorderColor() const { return Color(BorderColorIndex); }
    TColor HotColor() const { return Color(HotColorIndex); }
    TColor FocusedSelectionBorderColor() const { return Color(FocusedSelectionBorderColorIndex); }
    TColor UnfocusedSelectionBorderColor() const {
        return Color(UnfocusedSelectionBorderColorIndex);
    }
    TColor DropTargetBorderColor() const { return Color(DropTargetBorderColorIndex); }
    TColor SelectionRectangleBlendColor() const { return Color(SelectionRectangleBlendColorIndex); }
    TColor SelectionRectangleBorderColor() const {
        return Color(SelectionRectangleBorderColorIndex);
    }
    void SetDisabledColor(TColor v) { SetColor(DisabledColorIndex, v); }
    void SetDropMarkColor(TColor v) { SetColor(DropMarkColorIndex, v); }
    void SetDropTargetColor(TColor v) { SetColor(DropTargetColorIndex, v); }
    void SetFocusedSelectionColor(TColor v) { SetColor(FocusedSelectionColorIndex, v); }
    void SetGridLineColor(TColor v) { SetColor(GridLineColorIndex, v); }
    void SetTreeLineColor(TColor v) { SetColor(TreeLineColorIndex, v); }
    void SetUnfocusedSelectionColor(TColor v) { SetColor(UnfocusedSelectionColorIndex, v); }
    void SetBorderColor(TColor v) { SetColor(BorderColorIndex, v); }
    void SetHotColor(TColor v) { SetColor(HotColorIndex, v); }
    void SetFocusedSelectionBorderColor(TColor v) { SetColor(FocusedSelectionBorderColorIndex, v); }
    void SetUnfocusedSelectionBorderColor(TColor v) {
        SetColor(UnfocusedSelectionBorderColorIndex, v);
    }
    void SetDropTargetBorderColor(TColor v) { SetColor(DropTargetBorderColorIndex, v); }
    void SetSelectionRectangleBlendColor(TColor v) {
        SetColor(SelectionRectangleBlendColorIndex, v);
    }
    void SetSelectionRectangleBorderColor(TColor v) {
        SetColor(SelectionRectangleBorderColorIndex, v);
    }

    void Assign(TPersistent* source) override;

private:
    TBaseVirtualTree* FOwner;
    std::array<TColor, ColorCount> FColors;
};

// Names of the clipboard formats a tree offers, sorted and without duplicates. A name is
// accepted only when the format registry knows it for the owner's class.
class TClipboardFormats : public TStringList {
public:
    explicit TClipboardFormats(TBaseVirtualTree* owner);
    std::string ClassName() const override { return "TClipboardFormats"; }
    TBaseVirtualTree* Owner() const { return FOwner; }

    // -1 when the name is not registered for the owner's class.
    int Add(const std::string& s);
    void Insert(int index, const std::string& s);

private:
    TBaseVirtualTree* FOwner;
};

} // namespace epc
