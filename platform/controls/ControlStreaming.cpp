#include "platform/controls/ControlStreaming.h"

#include <functional>
#include <map>

#include "platform/controls/Buttons.h"
#include "platform/controls/ExtCtrls.h"
#include "platform/controls/Forms.h"
#include "platform/controls/ImageList.h"
#include "platform/controls/Menus.h"
#include "platform/controls/StdCtrls.h"
#include "platform/core/Strings.h"
#include "platform/graphics/Graphics.h"
#include "platform/streaming/Filer.h"
#include "platform/streaming/PropertyRegistry.h"

namespace epc {

namespace {

// A function, not a global: registration runs during static initialisation.
const TIdentList& BorderStyleIdents() {
    static const TIdentList idents = {"bsNone",   "bsSingle",     "bsSizeable",
                                      "bsDialog", "bsToolWindow", "bsSizeToolWin"};
    return idents;
}

using TPublishOne = std::function<void(const std::string& className)>;

// The common control properties, each registering itself on a given class.
const std::map<std::string, TPublishOne>& CommonProperties() {
    using C = TControl;
    using W = TWinControl;
    auto on = [](const std::string& n) { return TPublished<C>(n, ""); };
    static const std::map<std::string, TPublishOne> table = {
        {"Align",
         [on](const std::string& n) {
             on(n).Enum(
                 "Align", &C::Align, &C::SetAlign,
                 {"alNone", "alTop", "alBottom", "alLeft", "alRight", "alClient", "alCustom"},
                 alNone);
         }},
        {"Anchors",
         [on](const std::string& n) {
             on(n).Set("Anchors", &C::Anchors, &C::SetAnchors,
                       {"akLeft", "akTop", "akRight", "akBottom"},
                       int64_t(TAnchors{akLeft, akTop}.Bits()));
         }},
        {"BiDiMode",
         [on](const std::string& n) {
             on(n).Enum("BiDiMode", &C::BiDiMode, &C::SetBiDiMode,
                        {"bdLeftToRight", "bdRightToLeft", "bdRightToLeftNoAlign",
                         "bdRightToLeftReadingOnly"},
                        bdLeftToRight);
         }},
        {"Caption",
         [on](const std::string& n) { on(n).String("Caption", &C::Caption, &C::SetCaption); }},
        {"Color",
         [on](const std::string& n) {
             on(n).Color("Color", &C::Color, &C::SetColor).StoredIf([](C& c) {
                 return !c.ParentColor();
             });
         }},
        {"Constraints",
         [on](const std::string& n) { on(n).Object("Constraints", &C::Constraints); }},
        {"Ctl3D",
         [on](const std::string& n) {
             on(n).Boolean("Ctl3D", &C::Ctl3D, &C::SetCtl3D).StoredIf([](C& c) {
                 return !c.ParentCtl3D();
             });
         }},
        {"Cursor",
         [on](const std::string& n) {
             on(n).Integer("Cursor", &C::Cursor, &C::SetCursor, crDefault);
         }},
        {"DragCursor",
         [on](const std::string& n) {
             on(n).Integer("DragCursor", &C::DragCursor, &C::SetDragCursor, crDrag);
         }},
        {"DragKind",
         [on](const std::string& n) {
             on(n).Enum("DragKind", &C::DragKind, &C::SetDragKind, {"dkDrag", "dkDock"}, dkDrag);
         }},
        {"DragMode",
         [on](const std::string& n) {
             on(n).Enum("DragMode", &C::DragMode, &C::SetDragMode, {"dmManual", "dmAutomatic"},
                        dmManual);
         }},
        {"Enabled",
         [on](const std::string& n) {
             on(n).Boolean("Enabled", &C::Enabled, &C::SetEnabled, true);
         }},
        {"Font",
         [on](const std::string& n) {
             on(n).Object("Font", &C::Font).StoredIf([](C& c) { return !c.ParentFont(); });
         }},
        {"HelpContext",
         [on](const std::string& n) {
             on(n).Integer("HelpContext", &C::HelpContext, &C::SetHelpContext, 0);
         }},
        {"Hint", [on](const std::string& n) { on(n).String("Hint", &C::Hint, &C::SetHint); }},
        {"ParentBiDiMode",
         [on](const std::string& n) {
             on(n).Boolean("ParentBiDiMode", &C::ParentBiDiMode, &C::SetParentBiDiMode);
         }},
        {"ParentColor",
         [on](const std::string& n) {
             on(n).Boolean("ParentColor", &C::ParentColor, &C::SetParentColor);
         }},
        {"ParentCtl3D",
         [on](const std::string& n) {
             on(n).Boolean("ParentCtl3D", &C::ParentCtl3D, &C::SetParentCtl3D);
         }},
        {"ParentFont",
         [on](const std::string& n) {
             on(n).Boolean("ParentFont", &C::ParentFont, &C::SetParentFont);
         }},
        {"ParentShowHint",
         [on](const std::string& n) {
             on(n).Boolean("ParentShowHint", &C::ParentShowHint, &C::SetParentShowHint);
         }},
        {"PopupMenu",
         [on](const std::string& n) {
             on(n).Reference<TPopupMenu>("PopupMenu", &C::PopupMenu, &C::SetPopupMenu);
         }},
        {"ShowHint",
         [on](const std::string& n) {
             on(n).Boolean("ShowHint", &C::ShowHint, &C::SetShowHint).StoredIf([](C& c) {
                 return !c.ParentShowHint();
             });
         }},
        {"TabOrder",
         [](const std::string& n) {
             TPublished<W>(n, "").Integer("TabOrder", &W::TabOrder, &W::SetTabOrder);
         }},
        {"TabStop",
         [](const std::string& n) {
             TPublished<W>(n, "").Boolean("TabStop", &W::TabStop, &W::SetTabStop);
         }},
        {"Visible",
         [on](const std::string& n) {
             on(n).Boolean("Visible", &C::Visible, &C::SetVisible, true);
         }},
    };
    return table;
}

void PublishCommon(const std::string& className, const std::string& parentName,
                   const std::vector<const char*>& names) {
    RegisterPublishedClass(className, parentName);
    const auto& table = CommonProperties();
    for (const char* name : names) {
        std::string n = name;
        if (n.size() > 2 && n.compare(0, 2, "On") == 0) {
            TPublished<TControl>(className, "").Event(n);
            continue;
        }
        auto it = table.find(n);
        if (it == table.end()) throw EPropertyError("Not a common control property: " + n);
        it->second(className);
    }
}

// A string list's items: "Strings", a list of strings.
void DefineListBoxStrings(TPersistent* instance, TFiler* filer) {
    auto* items = dynamic_cast<TListBoxStrings*>(instance);
    if (!items) return;
    filer->DefineProperty(
        "Strings",
        [items](TReader& reader) {
            reader.ReadListBegin();
            items->Clear();
            while (!reader.EndOfList())
                items->Add(reader.ReadString());
            reader.ReadListEnd();
        },
        [items](TWriter& writer) {
            writer.WriteListBegin();
            for (int i = 0; i < items->Count(); ++i)
                writer.WriteString(items->Strings(i));
            writer.WriteListEnd();
        },
        items->Count() > 0);
}

// A picture's "Data": the format as the graphic class stores it.
void DefineGraphicData(TPersistent* instance, TFiler* filer) {
    auto* graphic = dynamic_cast<TGraphic*>(instance);
    if (!graphic) return;
    filer->DefineBinaryProperty(
        "Data", [graphic](TStream& stream) { graphic->ReadData(stream); },
        [graphic](TStream& stream) { graphic->WriteData(stream); }, !graphic->Empty());
}

// A picture holder's "Data": the class name, then the graphic's own data.
void DefinePictureData(TPersistent* instance, TFiler* filer) {
    auto* picture = dynamic_cast<TPicture*>(instance);
    if (!picture) return;
    filer->DefineBinaryProperty(
        "Data", [picture](TStream& stream) { picture->ReadData(stream); },
        [picture](TStream& stream) { picture->WriteData(stream); }, picture->Graphic() != nullptr);
}

void RegisterGraphics() {
    TPublished<TFont>("TFont", "TPersistent")
        .Integer("Charset", &TFont::Charset, &TFont::SetCharset, DEFAULT_CHARSET)
        .Color("Color", &TFont::Color, &TFont::SetColor, clWindowText)
        .Integer("Height", &TFont::Height, &TFont::SetHeight)
        .String("Name", &TFont::Name, &TFont::SetName)
        .Enum("Pitch", &TFont::Pitch, &TFont::SetPitch, {"fpDefault", "fpVariable", "fpFixed"},
              fpDefault)
        .Set("Style", &TFont::Style, &TFont::SetStyle,
             {"fsBold", "fsItalic", "fsUnderline", "fsStrikeOut"});
    RegisterPublishedClass("TGraphic", "TPersistent");
    for (const char* name :
         {"TBitmap", "TIcon", "TMetafile", "TPngImage", "TJPEGImage", "TGIFImage"})
        RegisterPublishedClass(name, "TGraphic");
    RegisterDefineProperties("TGraphic", DefineGraphicData);
    RegisterPublishedClass("TPicture", "TPersistent");
    RegisterDefineProperties("TPicture", DefinePictureData);
    RegisterPublishedClass("TListBoxStrings", "TPersistent");
    RegisterDefineProperties("TListBoxStrings", DefineListBoxStrings);
}

void RegisterControls() {
    constexpr int64_t lo = -int64_t(MaxStoredCoordinate), hi = MaxStoredCoordinate;
    using S = TSizeConstraints;
    TPublished<S>("TSizeConstraints", "TPersistent")
        .Integer("MaxHeight", &S::MaxHeight, &S::SetMaxHeight, 0)
        .Range(lo, hi)
        .Integer("MaxWidth", &S::MaxWidth, &S::SetMaxWidth, 0)
        .Range(lo, hi)
        .Integer("MinHeight", &S::MinHeight, &S::SetMinHeight, 0)
        .Range(lo, hi)
        .Integer("MinWidth", &S::MinWidth, &S::SetMinWidth, 0)
        .Range(lo, hi);

    // Bounds are always stored: a control's default size depends on its class.
    TPublished<TControl>("TControl", "TComponent")
        .Integer("Left", &TControl::Left, &TControl::SetLeft)
        .Range(lo, hi)
        .Integer("Top", &TControl::Top, &TControl::SetTop)
        .Range(lo, hi)
        .Integer("Width", &TControl::Width, &TControl::SetWidth)
        .Range(lo, hi)
        .Integer("Height", &TControl::Height, &TControl::SetHeight)
        .Range(lo, hi);
    RegisterPublishedClass("TWinControl", "TControl");
    RegisterPublishedClass("TCustomControl", "TWinControl");
    RegisterPublishedClass("TGraphicControl", "TControl");

    using L = TCustomListBox;
    TPublished<L>("TCustomListBox", "TCustomControl")
        .Enum("BorderStyle", &L::BorderStyle, &L::SetBorderStyle, BorderStyleIdents(), bsSingle)
        .Boolean("IntegralHeight", &L::IntegralHeight, &L::SetIntegralHeight, false)
        .Integer("ItemHeight", &L::ItemHeight, &L::SetItemHeight)
        .Object("Items", &L::Items)
        .Boolean("Sorted", &L::Sorted, &L::SetSorted, false)
        .Enum("Style", &L::Style, &L::SetStyle,
              {"lbStandard", "lbOwnerDrawFixed", "lbOwnerDrawVariable"}, lbStandard)
        .Integer("TabWidth", &L::TabWidth, &L::SetTabWidth, 0);

    using P = TCustomPanel;
    TPublished<P>("TCustomPanel", "TCustomControl")
        .Enum("Alignment", &P::Alignment, &P::SetAlignment,
              {"taLeftJustify", "taRightJustify", "taCenter"}, taCenter)
        .Enum("BevelInner", &P::BevelInner, &P::SetBevelInner,
              {"bvNone", "bvLowered", "bvRaised", "bvSpace"}, bvNone)
        .Enum("BevelOuter", &P::BevelOuter, &P::SetBevelOuter,
              {"bvNone", "bvLowered", "bvRaised", "bvSpace"}, bvRaised)
        .Integer("BevelWidth", &P::BevelWidth, &P::SetBevelWidth, 1)
        .Enum("BorderStyle", &P::BorderStyle, &P::SetBorderStyle, BorderStyleIdents(), bsNone)
        .Integer("BorderWidth", &P::BorderWidth, &P::SetBorderWidth, 0)
        .Boolean("FullRepaint", &P::FullRepaint, &P::SetFullRepaint, true);

    RegisterPublishedClass("TScrollingWinControl", "TWinControl");
    TPublished<TScrollBox>("TScrollBox", "TScrollingWinControl")
        .Enum("BorderStyle", &TScrollBox::BorderStyle, &TScrollBox::SetBorderStyle,
              BorderStyleIdents(), bsSingle);

    using B = TSpeedButton;
    TPublished<B>("TSpeedButton", "TGraphicControl")
        .Boolean("AllowAllUp", &B::AllowAllUp, &B::SetAllowAllUp, false)
        .Integer("GroupIndex", &B::GroupIndex, &B::SetGroupIndex, 0)
        .Boolean("Down", &B::Down, &B::SetDown, false)
        .Boolean("Flat", &B::Flat, &B::SetFlat, false)
        .Object("Glyph", &B::Glyph)
        .Enum("Layout", &B::Layout, &B::SetLayout,
              {"blGlyphLeft", "blGlyphRight", "blGlyphTop", "blGlyphBottom"}, blGlyphLeft)
        .Integer("Margin", &B::Margin, &B::SetMargin, -1)
        .Integer("NumGlyphs", &B::NumGlyphs, &B::SetNumGlyphs, 1)
        .Integer("Spacing", &B::Spacing, &B::SetSpacing, 4)
        .Boolean("Transparent", &B::Transparent, &B::SetTransparent, true);

    using I = TCustomImageList;
    // The size comes first: a new size empties the list.
    TPublished<I>("TCustomImageList", "TComponent")
        .Integer("Height", &I::Height, &I::SetHeight, 16)
        .Integer("Width", &I::Width, &I::SetWidth, 16)
        .Color("BkColor", &I::BkColor, &I::SetBkColor, clNone)
        .Color("BlendColor", &I::BlendColor, &I::SetBlendColor, clNone)
        .Enum("DrawingStyle", &I::DrawingStyle, &I::SetDrawingStyle,
              {"dsFocus", "dsSelected", "dsNormal", "dsTransparent"}, dsNormal)
        .Enum("ImageType", &I::ImageType, &I::SetImageType, {"itImage", "itMask"}, itImage);
    RegisterPublishedClass("TImageList", "TCustomImageList");

    // The framework's plain controls, creatable by name.
    PublishCommon("TPanel", "TCustomPanel", PanelControlProperties());
    RegisterClass<TPanel>("TPanel");
    PublishCommon("TListBox", "TCustomListBox",
                  {"Align",      "Anchors",     "Color",       "Ctl3D",       "Enabled",
                   "Font",       "ParentColor", "ParentCtl3D", "ParentFont",  "ParentShowHint",
                   "PopupMenu",  "ShowHint",    "TabOrder",    "TabStop",     "Visible",
                   "OnClick",    "OnDblClick",  "OnEnter",     "OnExit",      "OnKeyDown",
                   "OnKeyPress", "OnKeyUp",     "OnMouseDown", "OnMouseMove", "OnMouseUp"});
    RegisterClass<TListBox>("TListBox");
    PublishCommon("TSpeedButton", "TGraphicControl", SpeedButtonControlProperties());
    RegisterClass<TSpeedButton>("TSpeedButton");

    using F = TCustomForm;
    TPublished<F>("TCustomForm", "TCustomControl")
        .Enum("BorderStyle", &F::BorderStyle, &F::SetBorderStyle, BorderStyleIdents(), bsSizeable);
    PublishCommon("TForm", "TCustomForm", {"Caption", "Color", "Font"});
    RegisterClass<TForm>("TForm");
}

} // namespace

void RegisterControlProperties() {
    [[maybe_unused]] static const bool registered = [] {
        RegisterGraphics();
        RegisterControls();
        return true;
    }();
}

const std::vector<const char*>& PanelControlProperties() {
    static const std::vector<const char*> names = {
        "Align",      "Anchors",        "Caption",     "Color",       "Constraints", "Ctl3D",
        "DragCursor", "DragMode",       "Enabled",     "Font",        "ParentColor", "ParentCtl3D",
        "ParentFont", "ParentShowHint", "PopupMenu",   "ShowHint",    "TabOrder",    "TabStop",
        "Visible",    "OnClick",        "OnDblClick",  "OnDragDrop",  "OnDragOver",  "OnEndDrag",
        "OnEnter",    "OnExit",         "OnMouseDown", "OnMouseMove", "OnMouseUp",   "OnResize",
        "OnStartDrag"};
    return names;
}

const std::vector<const char*>& SpeedButtonControlProperties() {
    static const std::vector<const char*> names = {
        "Align",   "Anchors",    "Caption",        "Constraints", "Enabled",  "Font",
        "Hint",    "ParentFont", "ParentShowHint", "PopupMenu",   "ShowHint", "Visible",
        "OnClick", "OnDblClick", "OnMouseDown",    "OnMouseMove", "OnMouseUp"};
    return names;
}

void PublishControlProperties(const std::string& className, const std::string& parentName,
                              const std::vector<const char*>& names) {
    RegisterControlProperties();
    PublishCommon(className, parentName, names);
}

} // namespace epc
