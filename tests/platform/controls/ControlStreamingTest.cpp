// Forms of the framework's controls written to component streams and read back.

#include "platform/controls/ControlStreaming.h"

#include "ControlTestSupport.h"
#include "platform/controls/Buttons.h"
#include "platform/controls/ExtCtrls.h"
#include "platform/controls/ImageList.h"
#include "platform/controls/StdCtrls.h"
#include "platform/streaming/Filer.h"
#include "platform/streaming/PropertyRegistry.h"

namespace epc {
namespace {

std::string Stored(TComponent* root) {
    TMemoryStream out;
    WriteComponent(out, root);
    return out.DataString();
}

// Whether a property of that name (its length byte, then the name) is in the stream.
bool HasProp(const std::string& bytes, const std::string& name) {
    return bytes.find(char(name.size()) + name) != std::string::npos;
}

TForm* ReadForm(const std::string& bytes) {
    auto* form = new TForm(nullptr); // freed with the platform
    TStringStream in(bytes);
    ReadComponent(in, form);
    return form;
}

TEST_F(ControlTest, StoredFormKeepsItsControlsTheirParentsAndValues) {
    TForm* form = MakeForm();
    form->SetName("Main");
    auto* panel = new TPanel(form);
    panel->SetName("pnl");
    panel->SetParent(form);
    panel->SetBounds(5, 6, 150, 90);
    panel->SetCaption("Panel");
    panel->SetBevelOuter(bvLowered);
    panel->SetAlign(alTop);
    panel->Font()->SetName("Courier New");
    panel->Font()->SetStyle({fsBold});
    auto* list = new TListBox(form);
    list->SetName("lst");
    list->SetParent(panel);
    list->SetBounds(2, 3, 60, 40);
    list->Items()->Add("two");
    list->Items()->Add("one");
    list->SetColor(clYellow);
    list->SetTabWidth(12);
    list->SetIntegralHeight(true);
    auto* button = new TSpeedButton(form);
    button->SetName("btn");
    button->SetParent(form);
    button->SetBounds(10, 100, 30, 24);
    button->SetGroupIndex(2);
    button->SetDown(true);
    TBitmap glyph;
    glyph.SetSize(4, 3);
    glyph.Canvas()->Brush()->SetColor(clRed);
    glyph.Canvas()->FillRect(TRect(0, 0, 4, 3));
    button->SetGlyph(&glyph);
    auto* images = new TImageList(form); // not a control: stored before them
    images->SetName("il");
    EXPECT_LT(Stored(form).find("TImageList"), Stored(form).find("TPanel"));
    // A plain image list is not stored with its images: a form holding one cannot be read.
    EXPECT_THROW(ReadForm(Stored(form)), EReadError);
    FreeComponent(images);
    std::string bytes = Stored(form);

    TForm* copy = ReadForm(bytes);
    auto* p = dynamic_cast<TPanel*>(copy->FindComponent("pnl"));
    auto* l = dynamic_cast<TListBox*>(copy->FindComponent("lst"));
    auto* b = dynamic_cast<TSpeedButton*>(copy->FindComponent("btn"));
    ASSERT_TRUE(p && l && b);
    EXPECT_EQ(p->Parent(), copy);
    EXPECT_EQ(l->Parent(), p);
    EXPECT_EQ(p->Align(), alTop);
    EXPECT_EQ(p->BoundsRect(), panel->BoundsRect());
    EXPECT_EQ(p->Caption(), "Panel");
    EXPECT_EQ(p->BevelOuter(), bvLowered);
    EXPECT_EQ(p->Font()->Name(), "Courier New");
    EXPECT_EQ(p->Font()->Style(), TFontStyles{fsBold});
    EXPECT_FALSE(p->ParentFont());
    EXPECT_TRUE(l->ParentFont()); // follows the panel's font again
    EXPECT_EQ(l->Font()->Name(), "Courier New");
    ASSERT_EQ(l->Count(), 2);
    EXPECT_EQ(l->Items()->Strings(1), "one");
    EXPECT_EQ(l->Color(), clYellow);
    EXPECT_EQ(l->TabWidth(), 12);
    EXPECT_TRUE(l->IntegralHeight());
    EXPECT_FALSE(l->Sorted());
    // A sorted list is stored in its order and comes back sorted.
    list->SetSorted(true);
    TForm* sorted = ReadForm(Stored(form));
    auto* s = dynamic_cast<TListBox*>(sorted->FindComponent("lst"));
    ASSERT_TRUE(s);
    EXPECT_TRUE(s->Sorted());
    EXPECT_EQ(s->Items()->Strings(0), "one");
    EXPECT_EQ(s->Items()->Add("three"), 1);
    EXPECT_TRUE(b->Down());
    EXPECT_EQ(b->GroupIndex(), 2);
    ASSERT_EQ(b->Glyph()->Width(), 4);
    EXPECT_TRUE(Stored(copy) == bytes);
}

TEST_F(ControlTest, StoredDefaultsAndInheritedValuesAreLeftOut) {
    TForm* form = MakeForm();
    auto* panel = new TPanel(form);
    panel->SetName("pnl");
    panel->SetParent(form);
    panel->SetParentColor(true);
    std::string bytes = Stored(panel);
    // Inherited font and colour, default bevel width and visibility: not written.
    for (const char* name : {"Font.Name", "Color", "BevelWidth", "Visible", "Anchors"})
        EXPECT_FALSE(HasProp(bytes, name)) << name;
    EXPECT_TRUE(HasProp(bytes, "ParentColor"));
    panel->SetColor(clRed);
    panel->SetVisible(false);
    panel->SetAnchors({akLeft, akRight});
    bytes = Stored(panel);
    for (const char* name : {"Color", "Visible", "Anchors"})
        EXPECT_TRUE(HasProp(bytes, name)) << name;
}

TEST_F(ControlTest, CommonPropertiesArePublishedByName) {
    PublishControlProperties("TProbe", "TCustomControl", {"Color", "OnClick"});
    ASSERT_NE(GetPropInfo("TProbe", "Color"), nullptr);
    EXPECT_EQ(GetPropInfo("TProbe", "OnClick")->Kind, TTypeKind::tkMethod);
    EXPECT_EQ(GetPropInfo("TProbe", "Left")->Kind, TTypeKind::tkInteger); // from TControl
    EXPECT_EQ(GetPropInfo("TProbe", "Align"), nullptr);
    EXPECT_THROW(PublishControlProperties("TProbe", "TCustomControl", {"Colour"}), EPropertyError);
}

} // namespace
} // namespace epc
