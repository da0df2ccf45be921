#include "components/tree/TreeForms.h"

#include <algorithm>
#include <string>
#include <vector>

#include "components/tree/BaseVirtualTree.h"
#include "components/tree/TreeViewEx.h"
#include "components/tree/VTHeader.h"
#include "components/tree/VirtualDrawTree.h"
#include "components/tree/VirtualStringTree.h"
#include "components/tree/VirtualTreeOptions.h"
#include "platform/controls/ControlStreaming.h"
#include "platform/controls/Menus.h"
#include "platform/streaming/Filer.h"
#include "platform/streaming/PropertyRegistry.h"

namespace epc {

namespace {

// Bits of a set value as the registry stores defaults.
template <class S> int64_t Bits(const S& set) {
    return int64_t(set.Bits());
}

// Stored identifiers of the option sets' elements, by ordinal. (Built on first use: the tree
// classes register while the program's statics are still being made.)
const TIdentList& AutoOptionNames() {
    static const TIdentList names = {
        "toAutoDropExpand",           "toAutoExpand",      "toAutoScroll",
        "toAutoScrollOnExpand",       "toAutoSort",        "toAutoSpanColumns",
        "toAutoTristateTracking",     "toAutoHideButtons", "toAutoDeleteMovedNodes",
        "toDisableAutoscrollOnFocus", "toAutoChangeScale", "toAutoFreeOnCollapse"};
    return names;
}
const TIdentList& MiscOptionNames() {
    static const TIdentList names = {
        "toAcceptOLEDrop",  "toCheckSupport", "toEditable",   "toFullRepaintOnResize",
        "toGridExtensions", "toInitOnSave",   "toReportMode", "toToggleOnDblClick",
        "toWheelPanning",   "toReadOnly"};
    return names;
}
const TIdentList& PaintOptionNames() {
    static const TIdentList names = {"toHideFocusRect",    "toHideSelection",     "toHotTrack",
                                     "toPopupMode",        "toShowBackground",    "toShowButtons",
                                     "toShowDropmark",     "toShowHorzGridLines", "toShowRoot",
                                     "toShowTreeLines",    "toShowVertGridLines", "toThemeAware",
                                     "toUseBlendedImages", "toGhostedIfUnfocused"};
    return names;
}

// The three option sets whose defaults differ between the base tree and the word-wrapping tree.
template <class O>
void RegisterOptionSets(TPublished<O>& options, TVTAutoOptions autoOptions,
                        TVTMiscOptions miscOptions, TVTPaintOptions paintOptions) {
    options
        .Set("AutoOptions", &O::AutoOptions, &O::SetAutoOptions, AutoOptionNames(),
             Bits(autoOptions))
        .Set("MiscOptions", &O::MiscOptions, &O::SetMiscOptions, MiscOptionNames(),
             Bits(miscOptions))
        .Set("PaintOptions", &O::PaintOptions, &O::SetPaintOptions, PaintOptionNames(),
             Bits(paintOptions));
}

void RegisterOptions() {
    using O = TCustomVirtualTreeOptions;
    TPublished<O> options("TCustomVirtualTreeOptions", "TPersistent");
    options.Set("AnimationOptions", &O::AnimationOptions, &O::SetAnimationOptions,
                {"toAnimatedToggle"}, Bits(DefaultAnimationOptions));
    RegisterOptionSets(options, DefaultAutoOptions, DefaultMiscOptions, DefaultPaintOptions);
    options.Set("SelectionOptions", &O::SelectionOptions, &O::SetSelectionOptions,
                {"toDisableDrawSelection", "toExtendedFocus", "toFullRowSelect",
                 "toLevelSelectConstraint", "toMiddleClickSelect", "toMultiSelect",
                 "toRightClickSelect", "toSiblingSelectConstraint", "toCenterScrollIntoView"},
                Bits(DefaultSelectionOptions));
    // The published options class is the word-wrapping tree's alone: its sets default to what
    // that tree's construction makes of them, so that a form holds every value it differs in.
    TPublished<TVirtualTreeOptions> exOptions("TVirtualTreeOptions", "TCustomVirtualTreeOptions");
    RegisterOptionSets(exOptions, TreeViewExAutoOptions(), TreeViewExMiscOptions(),
                       TreeViewExPaintOptions());

    using SO = TCustomStringTreeOptions;
    TPublished<SO>("TCustomStringTreeOptions", "TCustomVirtualTreeOptions")
        .Set("StringOptions", &SO::StringOptions, &SO::SetStringOptions,
             {"soSaveCaptions", "soShowStaticText"}, Bits(DefaultStringOptions));
    RegisterPublishedClass("TStringTreeOptions", "TCustomStringTreeOptions");

    using B = TScrollBarOptions;
    TPublished<B>("TScrollBarOptions", "TPersistent")
        .Boolean("AlwaysVisible", &B::AlwaysVisible, &B::SetAlwaysVisible, false)
        .Integer(
            "HorizontalIncrement", [](B& b) { return b.HorizontalIncrement; },
            [](B& b, uint16_t v) { b.HorizontalIncrement = std::clamp<uint16_t>(v, 1, 10000); }, 20)
        .Enum("ScrollBars", &B::ScrollBars, &B::SetScrollBars,
              {"ssNone", "ssHorizontal", "ssVertical", "ssBoth"}, int64_t(TScrollStyle::ssBoth))
        .Enum("ScrollBarStyle", &B::ScrollBarStyle, &B::SetScrollBarStyle,
              {"sbmRegular", "sbmFlat", "sbm3D"}, int64_t(TScrollBarStyle::sbmRegular))
        .Integer(
            "VerticalIncrement", [](B& b) { return b.VerticalIncrement; },
            [](B& b, uint16_t v) { b.VerticalIncrement = std::clamp<uint16_t>(v, 1, 10000); }, 20);

    using C = TVTColors;
    TPublished<C> colors("TVTColors", "TPersistent");
    static const char* const colorNames[C::ColorCount] = {"DisabledColor",
                                                          "DropMarkColor",
                                                          "DropTargetColor",
                                                          "FocusedSelectionColor",
                                                          "GridLineColor",
                                                          "TreeLineColor",
                                                          "UnfocusedSelectionColor",
                                                          "BorderColor",
                                                          "HotColor",
                                                          "FocusedSelectionBorderColor",
                                                          "UnfocusedSelectionBorderColor",
                                                          "DropTargetBorderColor",
                                                          "SelectionRectangleBlendColor",
                                                          "SelectionRectangleBorderColor"};
    const TVTColors defaults(nullptr);
    for (int i = 0; i < C::ColorCount; ++i)
        colors.Color(
            colorNames[i], [i](C& c) { return c.Color(i); },
            [i](C& c, TColor v) { c.SetColor(i, v); }, defaults.Color(i));

    // The clipboard format names as a list of strings; names the tree's class does not offer
    // are dropped on reading.
    RegisterPublishedClass("TClipboardFormats", "TPersistent");
    RegisterDefineProperties("TClipboardFormats", [](TPersistent* instance, TFiler* filer) {
        auto* formats = dynamic_cast<TClipboardFormats*>(instance);
        if (!formats) return;
        filer->DefineProperty(
            "Strings",
            [formats](TReader& reader) {
                reader.ReadListBegin();
                formats->Clear();
                while (!reader.EndOfList())
                    formats->Add(reader.ReadString());
                reader.ReadListEnd();
            },
            [formats](TWriter& writer) {
                writer.WriteListBegin();
                for (int i = 0; i < formats->Count(); ++i)
                    writer.WriteString(formats->Strings(i));
                writer.WriteListEnd();
            },
            formats->Count() > 0);
    });
}

void RegisterHeader() {
    using K = TVirtualTreeColumn;
    TPublished<K>("TVirtualTreeColumn", "TCollectionItem")
        .Enum("Alignment", &K::Alignment, &K::SetAlignment,
              {"taLeftJustify", "taRightJustify", "taCenter"}, taLeftJustify)
        .Enum(
            "BiDiMode", &K::BiDiMode, &K::SetBiDiMode,
            {"bdLeftToRight", "bdRightToLeft", "bdRightToLeftNoAlign", "bdRightToLeftReadingOnly"},
            bdLeftToRight)
        .Color("Color", &K::Color, &K::SetColor, clWindow)
        .WideString("Hint", &K::Hint, &K::SetHint)
        .Integer("ImageIndex", &K::ImageIndex, &K::SetImageIndex, -1)
        .Enum("Layout", &K::Layout, &K::SetLayout,
              {"blGlyphLeft", "blGlyphRight", "blGlyphTop", "blGlyphBottom"}, 0)
        .Integer("Margin", &K::Margin, &K::SetMargin, 4)
        .Integer("MaxWidth", &K::MaxWidth, &K::SetMaxWidth, 10000)
        .Integer("MinWidth", &K::MinWidth, &K::SetMinWidth, 10)
        .Set("Options", &K::Options, &K::SetOptions,
             {"coAllowClick", "coDraggable", "coEnabled", "coParentBidiMode", "coParentColor",
              "coResizable", "coShowDropMark", "coVisible"},
             Bits(DefaultColumnOptions))
        .Integer("Position", &K::Position, &K::SetPosition)
        .Integer("Spacing", &K::Spacing, &K::SetSpacing, 4)
        .Enum("Style", &K::Style, &K::SetStyle, {"vsText", "vsOwnerDraw"}, 0)
        .Integer("Tag", &K::Tag, &K::SetTag, 0)
        .WideString("Text", &K::Text, &K::SetText)
        .Integer("Width", &K::Width, &K::SetWidth, 50);
    RegisterPublishedClass("TVirtualTreeColumns", "TCollection");

    using H = TVTHeader;
    TPublished<H>("TVTHeader", "TPersistent")
        .Integer("AutoSizeIndex", &H::AutoSizeIndex, &H::SetAutoSizeIndex)
        .Color("Background", &H::Background, &H::SetBackground, clBtnFace)
        .Object("Columns", &H::Columns)
        .Object("Font", &H::Font)
        .Integer("Height", &H::Height, &H::SetHeight, 17)
        .Reference<TCustomImageList>("Images", &H::Images, &H::SetImages)
        .Integer("MainColumn", &H::MainColumn, &H::SetMainColumn, 0)
        .Set("Options", &H::Options, &H::SetOptions,
             {"hoAutoResize", "hoColumnResize", "hoDblClickResize", "hoDrag", "hoHotTrack",
              "hoOwnerDraw", "hoRestrictDrag", "hoShowHint", "hoShowImages", "hoShowSortGlyphs",
              "hoVisible"},
             Bits(TVTHeaderOptions{hoColumnResize, hoDrag}))
        .Reference<TPopupMenu>("PopupMenu", &H::PopupMenu, &H::SetPopupMenu)
        .Integer("SortColumn", &H::SortColumn, &H::SetSortColumn, NoColumn)
        .Enum("SortDirection", &H::SortDirection, &H::SetSortDirection,
              {"sdAscending", "sdDescending"}, 0)
        .Enum("Style", &H::Style, &H::SetStyle,
              {"hsThickButtons", "hsFlatButtons", "hsPlates", "hsXPStyle"}, 0);
}

// The events every tree publishes (they are never written; a form names them for its reader).
const std::vector<const char*>& BaseTreeEvents() {
    static const std::vector<const char*> names = {
        "OnAfterCellPaint", "OnAfterItemErase", "OnAfterItemPaint", "OnBeforeCellPaint",
        "OnBeforeItemErase", "OnBeforeItemPaint", "OnChange", "OnChecked", "OnChecking",
        "OnCollapsed", "OnCollapsing", "OnColumnResize", "OnCompareNodes", "OnCreateDataObject",
        "OnCreateEditor", "OnDragAllowed", "OnDragDrop", "OnDragOver", "OnEditCancelled",
        "OnEdited", "OnEditing", "OnExpanded", "OnExpanding", "OnFocusChanged", "OnFocusChanging",
        "OnFreeNode", "OnGetCursor", "OnGetHeaderCursor", "OnGetHelpContext", "OnGetImageIndex",
        "OnGetLineStyle", "OnGetNodeDataSize", "OnGetPopupMenu", "OnGetUserClipboardFormats",
        "OnHeaderClick", "OnHeaderDblClick", "OnHeaderDragged", "OnHeaderDraggedOut",
        "OnHeaderDragging", "OnHeaderDraw", "OnHeaderMouseDown", "OnHeaderMouseMove",
        "OnHeaderMouseUp", "OnHotChange", "OnIncrementalSearch", "OnInitChildren", "OnInitNode",
        "OnKeyAction", "OnLoadNode", "OnNodeCopied", "OnNodeCopying", "OnNodeMoved", "OnNodeMoving",
        "OnPaintBackground", "OnRenderOLEData", "OnResetNode", "OnSaveNode", "OnScroll",
        "OnStateChange", "OnStructureChange", "OnUpdating",
        // Column clicks of the header, painting as a whole, the drag manager.
        "OnAfterPaint", "OnBeforePaint", "OnColumnClick", "OnColumnDblClick", "OnCreateDragManager",
        // The framework's own events of a control.
        "OnClick", "OnDblClick", "OnEndDrag", "OnEnter", "OnExit", "OnKeyDown", "OnKeyPress",
        "OnKeyUp", "OnMouseDown", "OnMouseMove", "OnMouseUp", "OnResize", "OnStartDrag"};
    return names;
}

void RegisterBaseTree() {
    PublishControlProperties("TBaseVirtualTree", "TCustomControl",
                             {"Align",          "Anchors",     "Color",       "Constraints",
                              "Ctl3D",          "Cursor",      "DragCursor",  "DragKind",
                              "DragMode",       "Enabled",     "Font",        "Hint",
                              "ParentBiDiMode", "ParentColor", "ParentCtl3D", "ParentFont",
                              "ParentShowHint", "PopupMenu",   "ShowHint",    "TabOrder",
                              "TabStop",        "Visible"});
    using T = TBaseVirtualTree;
    TPublished<T>("TBaseVirtualTree", "TCustomControl")
        // Through the tree's setter, which makes the window anew.
        .Enum(
            "BiDiMode", [](T& t) { return t.BiDiMode(); },
            [](T& t, TBiDiMode v) { t.SetBiDiMode(v); },
            {"bdLeftToRight", "bdRightToLeft", "bdRightToLeftNoAlign", "bdRightToLeftReadingOnly"},
            bdLeftToRight)
        .Enum("Alignment", &T::Alignment, &T::SetAlignment,
              {"taLeftJustify", "taRightJustify", "taCenter"}, taLeftJustify)
        .Integer("AnimationDuration", &T::AnimationDuration, &T::SetAnimationDuration, 200)
        .Integer("AutoExpandDelay", &T::AutoExpandDelay, &T::SetAutoExpandDelay, 1000)
        .Integer("AutoScrollDelay", &T::AutoScrollDelay, &T::SetAutoScrollDelay, 1000)
        .Integer("AutoScrollInterval", &T::AutoScrollInterval, &T::SetAutoScrollInterval, 1)
        .Object("Background", &T::Background)
        .Integer("BackgroundOffsetX", &T::BackgroundOffsetX, &T::SetBackgroundOffsetX, 0)
        .Integer("BackgroundOffsetY", &T::BackgroundOffsetY, &T::SetBackgroundOffsetY, 0)
        .Enum("BorderStyle", &T::BorderStyle, &T::SetBorderStyle,
              {"bsNone", "bsSingle", "bsSizeable", "bsDialog", "bsToolWindow", "bsSizeToolWin"},
              bsSingle)
        .Enum("ButtonFillMode", &T::ButtonFillMode, &T::SetButtonFillMode,
              {"fmTreeColor", "fmWindowColor", "fmShaded", "fmTransparent"}, 0)
        .Enum("ButtonStyle", &T::ButtonStyle, &T::SetButtonStyle, {"bsRectangle", "bsTriangle"}, 0)
        .Integer("ChangeDelay", &T::ChangeDelay, &T::SetChangeDelay, 0)
        .Enum("CheckImageKind", &T::CheckImageKind, &T::SetCheckImageKind,
              {"ckLightCheck", "ckDarkCheck", "ckLightTick", "ckDarkTick", "ckFlat", "ckXP",
               "ckCustom", "ckSystem", "ckSystemFlat"},
              0)
        .Object("ClipboardFormats", &T::ClipboardFormats)
        .Object("Colors", &T::Colors)
        .Reference<TCustomImageList>("CustomCheckImages", &T::CustomCheckImages,
                                     &T::SetCustomCheckImages)
        .Integer("DefaultNodeHeight", &T::DefaultNodeHeight, &T::SetDefaultNodeHeight, 18)
        .Enum("DefaultPasteMode", &T::DefaultPasteMode, &T::SetDefaultPasteMode,
              {"amNoWhere", "amInsertBefore", "amInsertAfter", "amAddChildFirst", "amAddChildLast"},
              int64_t(TVTNodeAttachMode::amAddChildLast))
        .Integer("DragHeight", &T::DragHeight, &T::SetDragHeight, 350)
        .Enum("DragImageKind", &T::DragImageKind, &T::SetDragImageKind,
              {"diComplete", "diMainColumnOnly", "diNoImage"}, 0)
        .Set("DragOperations", &T::DragOperations, &T::SetDragOperations,
             {"doCopy", "doMove", "doLink"},
             Bits(TDragOperations{TDragOperation::doCopy, TDragOperation::doMove}))
        .Enum("DragType", &T::DragType, &T::SetDragType, {"dtOLE", "dtVCL"}, 0)
        .Integer("DragWidth", &T::DragWidth, &T::SetDragWidth, 200)
        .Enum("DrawSelectionMode", &T::DrawSelectionMode, &T::SetDrawSelectionMode,
              {"smDottedRectangle", "smBlendedRectangle"}, 0)
        .Integer("EditDelay", &T::EditDelay, &T::SetEditDelay, 1000)
        // The header loads along with the tree: its columns take their stored positions as
        // they are read and are put in order when the tree has loaded.
        .Object("Header",
                [](T& t) {
                    TVTHeader* header = t.Header();
                    if (t.Loading() && !header->Loading()) header->BeginLoading();
                    return header;
                })
        .Enum("HintAnimation", &T::HintAnimation, &T::SetHintAnimation,
              {"hatNone", "hatFade", "hatSlide", "hatSystemDefault"},
              int64_t(THintAnimationType::hatSystemDefault))
        .Enum("HintMode", &T::HintMode, &T::SetHintMode,
              {"hmDefault", "hmHint", "hmHintAndDefault", "hmTooltip"}, 0)
        .Integer("HotCursor", &T::HotCursor, &T::SetHotCursor, crDefault)
        .Reference<TCustomImageList>("Images", &T::Images, &T::SetImages)
        .Enum("IncrementalSearch", &T::IncrementalSearch, &T::SetIncrementalSearch,
              {"isAll", "isNone", "isInitializedOnly", "isVisibleOnly"},
              int64_t(TVTIncrementalSearch::isNone))
        .Enum("IncrementalSearchDirection", &T::IncrementalSearchDirection,
              &T::SetIncrementalSearchDirection, {"sdForward", "sdBackward"}, 0)
        .Enum("IncrementalSearchStart", &T::IncrementalSearchStart, &T::SetIncrementalSearchStart,
              {"ssAlwaysStartOver", "ssLastHit", "ssFocusedNode"},
              int64_t(TVTSearchStart::ssFocusedNode))
        .Integer("IncrementalSearchTimeout", &T::IncrementalSearchTimeout,
                 &T::SetIncrementalSearchTimeout, 1000)
        .Integer("Indent", &T::Indent, &T::SetIndent, 18)
        .Enum("LineMode", &T::LineMode, &T::SetLineMode, {"lmNormal", "lmBands"}, 0)
        .Enum("LineStyle", &T::LineStyle, &T::SetLineStyle,
              {"lsCustomStyle", "lsDotted", "lsSolid"}, int64_t(TVTLineStyle::lsDotted))
        .Integer("Margin", &T::Margin, &T::SetMargin, 4)
        .Enum("NodeAlignment", &T::NodeAlignment, &T::SetNodeAlignment,
              {"naFromBottom", "naFromTop", "naProportional"},
              int64_t(TVTNodeAlignment::naProportional))
        .Integer("NodeDataSize", &T::NodeDataSize, &T::SetNodeDataSize, -1)
        .Integer("RootNodeCount", &T::RootNodeCount, &T::SetRootNodeCount, 0)
        .Object("ScrollBarOptions", &T::ScrollBarOptions)
        .Integer("SelectionBlendFactor", &T::SelectionBlendFactor, &T::SetSelectionBlendFactor, 128)
        .Integer("SelectionCurveRadius", &T::SelectionCurveRadius, &T::SetSelectionCurveRadius, 0)
        .Reference<TCustomImageList>("StateImages", &T::StateImages, &T::SetStateImages)
        .Integer("TextMargin", &T::TextMargin, &T::SetTextMargin, 4)
        .Object("TreeOptions", &T::TreeOptions)
        .Boolean("WantTabs", &T::WantTabs, &T::SetWantTabs, false);
    for (const char* name : BaseTreeEvents())
        TPublished<T>("TBaseVirtualTree", "").Event(name);
}

void RegisterTrees() {
    // The word-wrapping tree's construction sets these differently from the base tree: a value
    // a form holds is stored when it differs from them (the base trees keep their own).
    using X = TCustomTreeViewEx;
    TPublished<X>("TCustomTreeViewEx", "TBaseVirtualTree")
        .Enum("DragType", &X::DragType, &X::SetDragType, {"dtOLE", "dtVCL"},
              int64_t(TVTDragType::dtVCL))
        .Integer("Indent", &X::Indent, &X::SetIndent, TreeViewExIndent)
        .Integer("NodeDataSize", &X::NodeDataSize, &X::SetNodeDataSize, TreeViewExNodeDataSize);
    TPublished<TTreeViewEx>("TTreeViewEx", "TCustomTreeViewEx")
        .Event("OnDrawNode")
        .Event("OnGetNodeWidth");
    RegisterClass<TTreeViewEx>("TTreeViewEx");

    // The default text is stored by the tree itself, as "WideDefaultText".
    TPublished<TCustomVirtualStringTree>("TCustomVirtualStringTree", "TBaseVirtualTree")
        .Event("OnGetText")
        .Event("OnMeasureTextWidth")
        .Event("OnNewText")
        .Event("OnPaintText")
        .Event("OnShortenString");
    RegisterPublishedClass("TVirtualStringTree", "TCustomVirtualStringTree");
    RegisterClass<TVirtualStringTree>("TVirtualStringTree");

    TPublished<TCustomVirtualDrawTree>("TCustomVirtualDrawTree", "TBaseVirtualTree")
        .Event("OnDrawHint")
        .Event("OnDrawNode")
        .Event("OnGetNodeWidth");
    RegisterPublishedClass("TVirtualDrawTree", "TCustomVirtualDrawTree");
    RegisterClass<TVirtualDrawTree>("TVirtualDrawTree");
}

} // namespace

void RegisterTreeClasses() {
    [[maybe_unused]] static const bool registered = [] {
        RegisterControlProperties();
        RegisterOptions();
        RegisterHeader();
        RegisterBaseTree();
        RegisterTrees();
        return true;
    }();
}

} // namespace epc
