#pragma once
// Components with one property of every stored kind, shared by the streaming tests and the
// stream reader's fuzz target.

#include <algorithm>
#include <string>
#include <vector>

#include "platform/core/Classes.h"
#include "platform/core/Color.h"
#include "platform/core/Exceptions.h"
#include "platform/streaming/Filer.h"
#include "platform/streaming/PropertyRegistry.h"

namespace epc::testing {

enum class TAlign { alNone, alTop, alBottom, alClient };
enum class TOpt { oA, oB, oC, oD };
using TOpts = TSet<TOpt>;

inline std::vector<std::string>& EventLog() {
    static std::vector<std::string> log;
    return log;
}

class TTestFont : public TPersistent {
public:
    std::string ClassName() const override { return "TTestFont"; }
    int Size() const { return FSize; }
    void SetSize(int v) { FSize = v; }
    TColor Color() const { return FColor; }
    void SetColor(TColor v) { FColor = v; }
    const std::string& Name() const { return FName; }
    void SetName(const std::string& v) { FName = v; }
    TOpts Style() const { return FStyle; }
    void SetStyle(TOpts v) { FStyle = v; }

private:
    int FSize = 8;
    TColor FColor = clWindowText;
    std::string FName;
    TOpts FStyle;
};

class TTestItem : public TCollectionItem {
public:
    using TCollectionItem::TCollectionItem;
    std::string ClassName() const override { return "TTestItem"; }
    const std::string& Caption() const { return FCaption; }
    void SetCaption(const std::string& v) { FCaption = v; }
    int Width() const { return FWidth; }
    void SetWidth(int v) { FWidth = v; }

private:
    std::string FCaption;
    int FWidth = 50;
};

class TTestWidget : public TComponent {
public:
    explicit TTestWidget(TComponent* owner)
        : TComponent(owner),
          FItems(
              "TTestItem", [](TCollection* c) { return new TTestItem(c); }, this) {}
    ~TTestWidget() override {
        BeginDestroy();
        for (TTestWidget* c : FChildren)
            c->FParentWidget = nullptr;
        if (FParentWidget) FParentWidget->RemoveChild(this);
    }
    std::string ClassName() const override { return "TTestWidget"; }

    int Width() const { return FWidth; }
    void SetWidth(int v) {
        if (Loading()) FSeenLoading = true;
        FWidth = v;
    }
    int16_t Height() const { return FHeight; }
    void SetHeight(int16_t v) { FHeight = v; }
    TAlign Align() const { return FAlign; }
    void SetAlign(TAlign v) { FAlign = v; }
    TOpts Options() const { return FOptions; }
    void SetOptions(TOpts v) { FOptions = v; }
    bool Visible() const { return FVisible; }
    void SetVisible(bool v) { FVisible = v; }
    TColor Color() const { return FColor; }
    void SetColor(TColor v) { FColor = v; }
    const std::string& Caption() const { return FCaption; }
    void SetCaption(const std::string& v) { FCaption = v; }
    const std::u16string& Hint() const { return FHint; }
    void SetHint(const std::u16string& v) { FHint = v; }
    TTestFont* Font() { return &FFont; }
    TCollection* Items() { return &FItems; }
    TTestWidget* Buddy() const { return FBuddy; }
    void SetBuddy(TTestWidget* v) { FBuddy = v; }

    // Stored through custom properties: a list of integers and a block of bytes.
    std::vector<int> Points;
    std::string Blob;
    bool SeenLoading() const { return FSeenLoading; }

    void DefineProperties(TFiler* filer) override {
        filer->DefineProperty(
            "Points",
            [this](TReader& r) {
                Points.clear();
                r.ReadListBegin();
                while (!r.EndOfList())
                    Points.push_back(r.ReadInteger());
                r.ReadListEnd();
            },
            [this](TWriter& w) {
                w.WriteListBegin();
                for (int p : Points)
                    w.WriteInteger(p);
                w.WriteListEnd();
            },
            !Points.empty());
        filer->DefineBinaryProperty(
            "Blob",
            [this](TStream& s) {
                Blob.assign(size_t(s.Size()), '\0');
                s.ReadBuffer(Blob.data(), s.Size());
            },
            [this](TStream& s) { s.WriteString(Blob); }, !Blob.empty());
        // An older form of Options: read only, its names mapped onto the current set.
        filer->DefineProperty(
            "OldOptions",
            [this](TReader& r) {
                FOptions.Clear();
                for (const std::string& ident : r.ReadSetIdents()) {
                    if (ident == "voA") FOptions.Include(TOpt::oA);
                    if (ident == "voC") FOptions.Include(TOpt::oC);
                }
            },
            nullptr, false);
    }

    // Children are the widgets parented here; the root owns them all.
    void GetChildren(const std::function<void(TComponent*)>& proc, TComponent* root) override {
        for (TTestWidget* c : FChildren)
            proc(c);
    }
    bool HasParent() const override { return true; }
    TComponent* GetParentComponent() const override { return FParentWidget; }
    void SetParentComponent(TComponent* value) override {
        auto* p = dynamic_cast<TTestWidget*>(value);
        if (FParentWidget) FParentWidget->RemoveChild(this);
        FParentWidget = p;
        if (p) p->FChildren.push_back(this);
    }
    const std::vector<TTestWidget*>& Children() const { return FChildren; }
    TTestWidget* ParentWidget() const { return FParentWidget; }

    void Loaded() override {
        TComponent::Loaded();
        EventLog().push_back("Loaded " + Name());
    }

private:
    void RemoveChild(TTestWidget* c) {
        FChildren.erase(std::remove(FChildren.begin(), FChildren.end(), c), FChildren.end());
    }

    int FWidth = 0;
    int16_t FHeight = 20;
    TAlign FAlign = TAlign::alNone;
    TOpts FOptions{TOpt::oA};
    bool FVisible = true;
    TColor FColor = clBtnFace;
    std::string FCaption;
    std::u16string FHint;
    TTestFont FFont;
    TCollection FItems;
    TTestWidget* FBuddy = nullptr;
    TTestWidget* FParentWidget = nullptr;
    std::vector<TTestWidget*> FChildren;
    bool FSeenLoading = false;
};

// A descendant that only adds one property: lookups must walk up to the parent class.
class TTestPanel : public TTestWidget {
public:
    using TTestWidget::TTestWidget;
    std::string ClassName() const override { return "TTestPanel"; }
    int Bevel() const { return FBevel; }
    void SetBevel(int v) { FBevel = v; }

private:
    int FBevel = 1;
};

// Carries a list of values through one companion component, one record per value, inside a
// custom property (as a table carries its cells).
class TTestCarrier : public TComponent {
public:
    explicit TTestCarrier(TComponent* owner) : TComponent(owner), FCell(new TTestWidget(this)) {
        FCell->SetName("Cell");
    }
    std::string ClassName() const override { return "TTestCarrier"; }
    std::vector<int> Values;
    int ExtraCount = 0; // claims more records than written

    void DefineProperties(TFiler* filer) override {
        filer->DefineProperty(
            "C",
            [this](TReader& r) {
                Values.clear();
                r.ReadListBegin();
                int n = r.ReadInteger();
                for (int i = 0; i < n; ++i) {
                    if (r.EndOfList()) throw EReadError("Wrong end of cells list");
                    r.ReadComponent(FCell);
                    Values.push_back(FCell->Width());
                }
                if (!r.EndOfList()) throw EReadError("Wrong end of cells list");
                r.ReadListEnd();
            },
            [this](TWriter& w) {
                w.WriteListBegin();
                w.WriteInteger(int(Values.size()) + ExtraCount);
                for (int v : Values) {
                    FCell->SetWidth(v);
                    w.WriteComponent(FCell);
                }
                w.WriteListEnd();
            },
            true);
    }

private:
    TTestWidget* FCell;
};

inline void RegisterTestComponents() {
    static const bool done = [] {
        TPublished<TTestFont>("TTestFont", "TPersistent")
            .Integer("Size", &TTestFont::Size, &TTestFont::SetSize, 8)
            .Color("Color", &TTestFont::Color, &TTestFont::SetColor, clWindowText)
            .String("Name", &TTestFont::Name, &TTestFont::SetName)
            .Set("Style", &TTestFont::Style, &TTestFont::SetStyle, {"oA", "oB", "oC", "oD"});
        TPublished<TTestItem>("TTestItem", "TCollectionItem")
            .String("Caption", &TTestItem::Caption, &TTestItem::SetCaption)
            .Integer("Width", &TTestItem::Width, &TTestItem::SetWidth, 50);
        TPublished<TTestWidget>("TTestWidget", "TComponent")
            .Integer("Width", &TTestWidget::Width, &TTestWidget::SetWidth)
            .Integer("Height", &TTestWidget::Height, &TTestWidget::SetHeight, 20)
            .Enum("Align", &TTestWidget::Align, &TTestWidget::SetAlign,
                  {"alNone", "alTop", "alBottom", "alClient"}, 0)
            .Set("Options", &TTestWidget::Options, &TTestWidget::SetOptions,
                 {"oA", "oB", "oC", "oD"}, TOpts{TOpt::oA}.Bits())
            .Boolean("Visible", &TTestWidget::Visible, &TTestWidget::SetVisible, true)
            .Color("Color", &TTestWidget::Color, &TTestWidget::SetColor, clBtnFace)
            .String("Caption", &TTestWidget::Caption, &TTestWidget::SetCaption)
            .WideString("Hint", &TTestWidget::Hint, &TTestWidget::SetHint)
            .Object("Font", &TTestWidget::Font)
            .Object("Items", &TTestWidget::Items)
            .Reference<TTestWidget>("Buddy", &TTestWidget::Buddy, &TTestWidget::SetBuddy)
            .Event("OnClick");
        TPublished<TTestPanel>("TTestPanel", "TTestWidget")
            .Integer("Bevel", &TTestPanel::Bevel, &TTestPanel::SetBevel, 1);
        TPublished<TTestCarrier>("TTestCarrier", "TComponent");
        RegisterClass<TTestWidget>("TTestWidget");
        RegisterClass<TTestPanel>("TTestPanel");
        RegisterClass<TTestCarrier>("TTestCarrier");
        return true;
    }();
    (void)done;
}

} // namespace epc::testing
