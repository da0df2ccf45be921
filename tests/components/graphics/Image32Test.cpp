#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "components/graphics/Image32.h"
#include "components/graphics/Layers.h"
#include "platform/context/PlatformContext.h"
#include "platform/controls/Forms.h"
#include "platform/core/Arithmetic.h"
#include "platform/controls/ExtCtrls.h"
#include "platform/controls/Menus.h"
#include "platform/core/Exceptions.h"
#include "platform/streaming/Filer.h"
#include "platform/streaming/PropertyRegistry.h"
#include "platform/testing/UserActions.h"

using namespace epc;
namespace ui = epc::testing;

namespace {

class Image32Test : public ::testing::Test {
protected:
    TPlatformContext Context; // one per case: its end frees what the case leaves

    // A shown form with a client area of 300 x 200 holding the control at (0, 0).
    template <class T> T* Make(int w, int h) {
        auto* form = new TForm(nullptr);
        form->SetBorderStyle(bsNone);
        form->SetBounds(100, 100, 300, 200);
        auto* c = new T(form);
        c->SetParent(form);
        c->SetBounds(0, 0, w, h);
        ui::ShowForm(form);
        return c;
    }

    TPositionedLayer* AddLayer(TCustomImage32* image, TFloatRect r) {
        auto* l = image->Layers()->Add<TPositionedLayer>();
        l->SetLocation(r);
        return l;
    }
};

std::string What(TCustomLayer* l, const std::vector<TCustomLayer*>& names) {
    for (size_t i = 0; i < names.size(); ++i)
        if (names[i] == l) return "L" + std::to_string(i);
    return "none";
}

}  // namespace

TEST_F(Image32Test, PressGoesToTheTopmostLayerHit) {
    auto* image = Make<TCustomImage32>(200, 150);
    TPositionedLayer* a = AddLayer(image, {10, 10, 80, 80});
    TPositionedLayer* b = AddLayer(image, {50, 50, 120, 120});
    std::vector<std::string> log;
    image->OnMouseDown = [&](TObject*, TMouseButton, TShiftState, int, int, TCustomLayer* l) {
        log.push_back(What(l, {a, b}));
    };
    ui::Click(image, 60, 60);
    ui::Click(image, 20, 20);
    ui::Click(image, 150, 20);
    a->MoveToTop();
    EXPECT_EQ(a->GetLayerIndex(), 1);
    ui::Click(image, 60, 60);
    EXPECT_EQ(log, (std::vector<std::string>{"L1", "L0", "none", "L0"}));

    // A layer without mouse events is passed over.
    a->SetMouseEvents(false);
    ui::Click(image, 60, 60);
    EXPECT_EQ(log.back(), "L1");
}

TEST_F(Image32Test, AlphaHitLooksThroughTransparentPixels) {
    auto* image = Make<TCustomImage32>(200, 150);
    TPositionedLayer* below = AddLayer(image, {0, 0, 100, 100});
    auto* top = image->Layers()->Add<TBitmapLayer>();
    top->SetLocation({0, 0, 10, 10});
    top->Bitmap()->SetSize(4, 4);
    top->Bitmap()->Clear(0xFF00FF00);
    top->Bitmap()->SetPixel(0, 0, 0x00000000);
    top->SetAlphaHit(true);
    EXPECT_FALSE(top->HitTest(1, 1));       // over the transparent pixel
    EXPECT_TRUE(top->HitTest(5, 5));
    EXPECT_TRUE(top->HitTest(9, 9));        // the last column and row are still inside
    EXPECT_EQ(image->Layers()->FindLayerAt(1, 1, LOB_MOUSE_EVENTS), below);
    EXPECT_EQ(image->Layers()->FindLayerAt(9, 9, LOB_MOUSE_EVENTS), top);
    top->SetLocation({0, 0, 0.2f, 10});  // narrower than half a pixel: never hit
    EXPECT_FALSE(top->HitTest(0, 5));
}

TEST_F(Image32Test, ListenerKeepsTheMouseUntilRelease) {
    auto* image = Make<TCustomImage32>(200, 150);
    TPositionedLayer* a = AddLayer(image, {10, 10, 50, 50});
    std::vector<std::string> moves;
    image->OnMouseMove = [&](TObject*, TShiftState, int x, int, TCustomLayer* l) {
        moves.push_back(std::to_string(x) + ":" + What(l, {a}));
    };
    ui::MouseDown(image, 20, 20);
    EXPECT_EQ(image->Layers()->MouseListener(), a);
    EXPECT_EQ(GetCapture(), image->Handle());
    ui::MoveMouse(image, 150, 100);
    ui::MouseUp(image, 150, 100);
    EXPECT_EQ(image->Layers()->MouseListener(), nullptr);
    EXPECT_EQ(a->ButtonState(), 0u);
    ui::MoveMouse(image, 160, 100);
    ASSERT_GE(moves.size(), 2u);
    EXPECT_EQ(moves[moves.size() - 2], "150:L0");
    EXPECT_EQ(moves.back(), "160:none");

    // Freeing the listener releases it.
    ui::MouseDown(image, 20, 20);
    delete a;
    EXPECT_EQ(image->Layers()->MouseListener(), nullptr);
    EXPECT_EQ(image->Layers()->Count(), 0);
    ui::MouseUp(image, 20, 20);
}

TEST_F(Image32Test, LocationsHoldWholeNumbers) {
    auto* image = Make<TCustomImage32>(100, 100);
    TPositionedLayer* l = AddLayer(image, {10.7f, 20.2f, 30.9f, 40.5f});
    EXPECT_EQ(l->Location(), (TFloatRect{10, 20, 30, 40}));
    l->SetLocation({-1.5f, 0, 5, 5});
    EXPECT_EQ(l->Location().Left, -1.0f);
}

TEST_F(Image32Test, PictureSizeAndMapping) {
    auto* image = Make<TCustomImage32>(100, 100);
    image->Bitmap()->SetSize(200, 100);
    image->SetScaleMode(smResize);
    TSize s = image->GetBitmapSize();
    EXPECT_EQ(s.cx, 100);
    EXPECT_EQ(s.cy, 50);
    image->SetBitmapAlign(baCenter);
    EXPECT_EQ(image->GetBitmapRect(), TRect(0, 25, 100, 75));

    image->SetScaleMode(smScale);
    image->SetScale(2);
    image->SetBitmapAlign(baCustom);
    image->SetOffsetHorz(10);
    EXPECT_EQ(image->GetBitmapRect(), TRect(10, 0, 410, 200));
    // Left of the picture: a negative bitmap x, truncated toward zero.
    EXPECT_EQ(image->ClientToBitmapPoint({5, 7}), TPoint(-2, 3));
    EXPECT_EQ(image->ClientToBitmapPoint({50, 0}), TPoint(20, 0));

    // Scaled layers follow the picture.
    TPositionedLayer* l = AddLayer(image, {10, 10, 20, 20});
    l->SetScaled(true);
    TFloatRect c = l->GetControlLocation();
    EXPECT_FLOAT_EQ(c.Left, 30);
    EXPECT_FLOAT_EQ(c.Bottom, 40);
}

TEST_F(Image32Test, AutoSizeFollowsTheBitmap) {
    auto* image = Make<TCustomImage32>(50, 50);
    int resizes = 0, changes = 0;
    image->OnBitmapResize = [&](TObject*) {
        ++resizes;
        image->SetBitmapAlign(baCenter);  // inside the bracket: no change event of its own
    };
    image->OnChange = [&](TObject*) { ++changes; };
    image->SetAutoSize(true);
    image->SetScaleMode(smScale);
    image->SetScale(1.5f);
    changes = 0;
    resizes = 0;
    image->Bitmap()->SetSize(40, 20);
    EXPECT_EQ(resizes, 1);
    EXPECT_EQ(image->Width(), 60);
    EXPECT_EQ(image->Height(), 30);
    EXPECT_EQ(image->BitmapAlign(), baCenter);
    EXPECT_GE(changes, 1);
}

TEST_F(Image32Test, EmptyPictureRectangleMapsLikeAnEmptyBitmap) {
    auto* image = Make<TCustomImage32>(100, 100);
    image->Bitmap()->SetSize(50, 50);
    image->SetScaleMode(smScale);
    image->SetScale(0.001f);  // the picture shrinks to nothing
    EXPECT_TRUE(IsIntRectEmpty(image->GetBitmapRect()));
    EXPECT_EQ(image->ClientToBitmapPoint({30, 30}), TPoint(0, 0));
    EXPECT_EQ(image->Cache().ScaleX, 0);
    image->Invalidate();
    EXPECT_NO_THROW(ui::Pump());
    image->SetBounds(0, 0, 0, 0);
    image->SetScaleMode(smStretch);
    EXPECT_NO_THROW(image->Cache());
}

TEST_F(Image32Test, PaintsBackgroundPictureAndLayers) {
    auto* image = Make<TCustomImage32>(120, 80);
    image->SetColor(clWhite);
    image->Bitmap()->SetSize(40, 30);
    image->Bitmap()->Clear(0xFF0000FF);
    image->SetBitmapAlign(baCenter);
    auto* layer = image->Layers()->Add<TBitmapLayer>();
    layer->Bitmap()->SetSize(2, 2);
    layer->Bitmap()->Clear(0xFFFF0000);
    layer->SetLocation({0, 0, 10, 10});
    ui::Pump();
    EXPECT_EQ(ui::PixelAt(image, 60, 40), RGB(0, 0, 255));
    EXPECT_EQ(ui::PixelAt(image, 20, 40), RGB(255, 255, 255));
    EXPECT_EQ(ui::PixelAt(image, 5, 5), RGB(255, 0, 0));
    layer->SetVisible(false);
    ui::Pump();
    EXPECT_EQ(ui::PixelAt(image, 5, 5), RGB(255, 255, 255));
}

TEST_F(Image32Test, BufferGrowsWithAMargin) {
    auto* image = Make<TCustomImage32>(100, 80);
    ui::Pump();
    EXPECT_EQ(image->Buffer()->Width(), 140);
    EXPECT_EQ(image->Buffer()->Height(), 120);
    image->SetBounds(0, 0, 130, 90);  // within the margin: kept
    ui::Pump();
    EXPECT_EQ(image->Buffer()->Width(), 140);
    image->SetBounds(0, 0, 90, 90);  // more than the margin smaller: shrunk
    ui::Pump();
    EXPECT_EQ(image->Buffer()->Width(), 90);
    EXPECT_EQ(image->Buffer()->Height(), 120);
}

TEST_F(Image32Test, UnpairedBracketsFail) {
    auto* image = Make<TCustomImage32>(10, 10);
    try {
        image->EndUpdate();
        FAIL();
    } catch (const EAssertionFailed& e) {
        EXPECT_STREQ(e.what(), "Unpaired EndUpdate call");
    }
    try {
        image->Layers()->EndUpdate();
        FAIL();
    } catch (const EAssertionFailed& e) {
        EXPECT_STREQ(e.what(), "Unpaired EndUpdate");
    }
}

TEST_F(Image32Test, ScrollViewCentresASmallPicture) {
    auto* view = Make<TScrollView32>(200, 150);
    view->Bitmap()->SetSize(80, 60);
    view->SetCentered(true);
    TRect r = view->GetBitmapRect();
    EXPECT_EQ(r.Left, (view->ClientWidth() - 80) / 2);
    EXPECT_EQ(r.Top, (view->ClientHeight() - 60) / 2);
    view->ScrollBy(30, 30);  // nothing to scroll: the picture stays centred
    EXPECT_EQ(view->GetBitmapRect(), r);
    EXPECT_FALSE(IsScrollBarVisible(view->Handle(), SB_HORZ));
}

TEST_F(Image32Test, ScrollViewScrollsALargePicture) {
    auto* view = Make<TScrollView32>(200, 150);
    int scrolls = 0;
    view->OnScroll = [&](TObject*) { ++scrolls; };
    view->Bitmap()->SetSize(1000, 800);
    EXPECT_TRUE(IsScrollBarVisible(view->Handle(), SB_HORZ));
    EXPECT_TRUE(IsScrollBarVisible(view->Handle(), SB_VERT));
    view->SetCentered(false);
    EXPECT_EQ(view->GetBitmapRect().Left, 0);
    view->ScrollBy(25, 40);
    EXPECT_EQ(GetScrollPos(view->Handle(), SB_HORZ), 25);
    EXPECT_EQ(view->GetBitmapRect().TopLeft(), TPoint(-25, -40));
    EXPECT_GT(scrolls, 0);
    // Line and page requests of the bars.
    view->Perform(WM_VSCROLL, SB_LINEDOWN, 0);
    EXPECT_EQ(view->GetBitmapRect().Top, -50);
    view->Perform(WM_HSCROLL, SB_LINEUP, 0);
    view->Perform(WM_HSCROLL, SB_LINEUP, 0);
    view->Perform(WM_HSCROLL, SB_LINEUP, 0);
    EXPECT_EQ(view->GetBitmapRect().Left, 0);
    // A press focuses the view; the wheel then scrolls it 30 pixels a notch.
    ui::Click(view, 20, 20);
    EXPECT_TRUE(view->Focused());
    ui::Wheel(view, -1, 20, 20);
    EXPECT_EQ(view->GetBitmapRect().Top, -80);
    // Centring on a bitmap point.
    view->ScrollToCenter(500, 400);
    int cw = view->ClientWidth();
    EXPECT_EQ(GetScrollPos(view->Handle(), SB_HORZ), Round(0.5 * (1000 + 1 - cw)));
}

TEST_F(Image32Test, ScrollViewCentresEachAxisOnItsOwn) {
    auto* view = Make<TScrollView32>(200, 150);
    view->Bitmap()->SetSize(600, 40);
    view->SetCentered(true);
    TRect r = view->GetBitmapRect();
    EXPECT_EQ(r.Top, (view->ClientHeight() - 40) / 2);  // short: centred
    EXPECT_LT(r.Left, 0);                                // wide: scrolled to its middle
    view->ScrollBy(-1000, 0);
    EXPECT_EQ(view->GetBitmapRect().Left, 0);
    EXPECT_EQ(view->GetBitmapRect().Top, r.Top);
}

TEST_F(Image32Test, FlatBorderIsAShadowLine) {
    auto* form = new TForm(nullptr);
    form->SetBorderStyle(bsNone);
    form->SetBounds(100, 100, 300, 200);
    auto* view = new TScrollView32(form);
    view->SetCtl3D(false);
    view->SetParent(form);
    view->SetBounds(10, 10, 120, 90);
    view->SetColor(clWhite);
    ui::ShowForm(form);
    TWindowPixels px = ui::WindowPixels(view);
    ASSERT_EQ(px.Width, 120);
    EXPECT_EQ(px.Color(0, 0), ColorToRGB(clBtnShadow));
    EXPECT_EQ(px.Color(119, 50), ColorToRGB(clBtnShadow));
    EXPECT_EQ(view->ClientWidth(), 118);
}

namespace {

// A layer that draws on the window after the buffer.
class TOverlayLayer : public TPositionedLayer {
public:
    explicit TOverlayLayer(TLayerCollection* c) : TPositionedLayer(c) {
        SetLayerOptions(LOB_VISIBLE | LOB_GDI_OVERLAY);
    }
    TCustomLayer* NewInstance(TLayerCollection* c) const override { return new TOverlayLayer(c); }
    void PaintGDI(TCanvas* canvas) override {
        ++Paints;
        canvas->Brush()->SetColor(clLime);
        canvas->FillRect(TRect(0, 0, 4, 4));
    }
    int Paints = 0;
};

}  // namespace

TEST_F(Image32Test, CroppedLayersAndOverlays) {
    auto* image = Make<TCustomImage32>(100, 60);
    image->SetColor(clWhite);
    image->Bitmap()->SetSize(20, 20);
    image->Bitmap()->Clear(0xFF000000);
    auto* layer = image->Layers()->Add<TBitmapLayer>();
    layer->Bitmap()->SetSize(1, 1);
    layer->Bitmap()->Clear(0xFFFF0000);
    layer->SetLocation({10, 10, 40, 40});
    layer->SetCropped(true);
    auto* overlay = image->Layers()->Add<TOverlayLayer>();
    int overlays = 0;
    image->OnGDIOverlay = [&](TObject*) { ++overlays; };
    image->Invalidate();
    ui::Pump();
    EXPECT_EQ(ui::PixelAt(image, 15, 15), RGB(255, 0, 0));
    EXPECT_EQ(ui::PixelAt(image, 30, 30), RGB(255, 255, 255));  // outside the picture
    EXPECT_EQ(ui::PixelAt(image, 1, 1), RGB(0, 255, 0));        // drawn over the buffer
    EXPECT_GT(overlay->Paints, 0);
    EXPECT_GT(overlays, 0);

    // Copying the collection makes layers of the same classes.
    TLayerCollection copy(nullptr);
    copy.Assign(image->Layers());
    ASSERT_EQ(copy.Count(), 2);
    EXPECT_EQ(copy.Items(0)->ClassName(), "TBitmapLayer");
    EXPECT_TRUE(static_cast<TBitmapLayer*>(copy.Items(0))->Cropped());
    EXPECT_EQ(static_cast<TBitmapLayer*>(copy.Items(0))->Bitmap()->Pixel(0, 0), 0xFFFF0000u);
    EXPECT_NE(dynamic_cast<TOverlayLayer*>(copy.Items(1)), nullptr);
    image->Layers()->ClearLayers();
    EXPECT_EQ(image->Layers()->Count(), 0);
}

TEST_F(Image32Test, ChangesOfVisibleLayersReachTheImage) {
    auto* image = Make<TCustomImage32>(100, 60);
    image->Bitmap()->SetSize(20, 20);
    auto* overlay = image->Layers()->Add<TOverlayLayer>();
    auto* plain = AddLayer(image, {0, 0, 10, 10});
    ui::Pump();
    int changes = 0;
    image->OnChange = [&](TObject*) { ++changes; };
    overlay->SetLocation({5, 5, 30, 30}); // drawn after the buffer, but visible
    EXPECT_GT(changes, 0);
    changes = 0;
    plain->SetLocation({1, 1, 10, 10});
    EXPECT_GT(changes, 0);
    // Hidden: an overlay only repaints the window; a plain layer does nothing.
    overlay->SetVisible(false);
    plain->SetVisible(false);
    changes = 0;
    int before = overlay->Paints;
    overlay->SetLocation({6, 6, 30, 30});
    plain->SetLocation({2, 2, 10, 10});
    EXPECT_EQ(changes, 0);
    EXPECT_GT(overlay->Paints, before);
}

TEST_F(Image32Test, ScaledToImageKeepsTheLayerInPlace) {
    auto* image = Make<TCustomImage32>(200, 150);
    image->Bitmap()->SetSize(50, 40);
    image->SetScaleMode(smScale);
    image->SetScale(2);
    image->SetBitmapAlign(baCustom);
    image->SetOffsetHorz(10);
    image->SetOffsetVert(20);
    TPositionedLayer* l = AddLayer(image, {30, 40, 70, 100});
    int changes = 0;
    image->OnChange = [&](TObject*) { ++changes; };
    l->SetScaledToImage(true);
    EXPECT_TRUE(l->Scaled());
    EXPECT_EQ(l->Location(), (TFloatRect{10, 10, 30, 40}));
    EXPECT_EQ(l->GetControlLocation(), (TFloatRect{30, 40, 70, 100}));
    EXPECT_GT(changes, 0);
    // The scaled layer follows the image's scale; turning it off keeps where it shows then.
    image->SetScale(3);
    EXPECT_EQ(l->GetControlLocation(), (TFloatRect{40, 50, 100, 140}));
    l->SetScaledToImage(false);
    EXPECT_FALSE(l->Scaled());
    EXPECT_EQ(l->Location(), (TFloatRect{40, 50, 100, 140}));
    l->SetScaledToImage(false);
    EXPECT_EQ(l->Location(), (TFloatRect{40, 50, 100, 140}));
    // Without a picture there is nothing to convert by.
    image->Bitmap()->SetSize(0, 0);
    l->SetScaledToImage(true);
    EXPECT_TRUE(l->Scaled());
    EXPECT_EQ(l->Location(), (TFloatRect{40, 50, 100, 140}));
}

TEST_F(Image32Test, ScrollViewIsCreatableByName) {
    EXPECT_TRUE(IsClassRegistered("TScrollView32"));
    auto* view = Make<TScrollView32>(100, 100);
    EXPECT_EQ(GetObjectProp(view, "Bitmap"), view->Bitmap());
    SetOrdProp(view, "Centered", 0);
    EXPECT_FALSE(view->Centered());
    SetOrdProp(view, "Border", 0);
    EXPECT_FALSE(view->Border());
    EXPECT_EQ(view->ClientWidth(), 100);  // recreated without its client edge
}

namespace {

// A view with every published property away from its default, beside a panel (for TabOrder)
// and a popup menu (for the reference).
void BuildViewForm(TForm* form) {
    form->SetName("SelectPlace");
    form->SetBorderStyle(bsNone);
    form->SetBounds(100, 100, 300, 200);
    auto* menu = new TPopupMenu(form);
    menu->SetName("pmView");
    auto* panel = new TPanel(form);
    panel->SetName("pnlTools");
    panel->SetParent(form);
    panel->SetBounds(0, 0, 40, 200);
    auto* view = new TScrollView32(form);
    view->SetName("scrQuestion");
    view->SetParent(form);
    view->SetBounds(50, 10, 160, 120);
    view->SetAnchors({akLeft, akBottom});
    view->SetAlign(alRight);
    view->Constraints()->SetMinWidth(30);
    view->Constraints()->SetMaxWidth(250);
    view->Constraints()->SetMinHeight(20);
    view->Constraints()->SetMaxHeight(190);
    view->SetColor(clYellow);
    view->SetCursor(crHandPoint);
    view->SetDragCursor(crNo);
    view->SetParentShowHint(false);
    view->SetShowHint(true);
    view->SetPopupMenu(menu);
    view->SetTabOrder(0);
    view->SetTabStop(true);
    view->SetBorder(false);
    view->SetCentered(false);
    view->SetScrollBars(false);
    view->SetParentCtl3D(false);
    view->SetCtl3D(false);
    TBitmap32* b = view->Bitmap();
    b->SetSize(30, 20);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 30; ++x)
            b->SetPixel(x, y, 0xFF000000u | uint32_t(x * 8) << 16 | uint32_t(y * 12) << 8 | 0x40);
    b->SetDrawMode(dmBlend);
    b->SetMasterAlpha(180);
    b->SetStretchFilter(sfLinear);
    b->SetOuterColor(0x11223344);
    view->SetScale(2.5f);
    view->SetAutoSize(true);
    auto* hidden = new TScrollView32(form);
    hidden->SetName("scrHidden");
    hidden->SetParent(form);
    hidden->SetVisible(false);
}

std::string Stored(TComponent* root) {
    TMemoryStream out;
    WriteComponent(out, root);
    return out.DataString();
}

}  // namespace

TEST_F(Image32Test, StoredScrollViewKeepsEveryPublishedProperty) {
    auto* form = new TForm(nullptr);
    BuildViewForm(form);
    auto* view = static_cast<TScrollView32*>(form->FindComponent("scrQuestion"));
    std::string bytes = Stored(form);
    // Each published property is stored, sub-objects as dotted paths.
    for (const TPropInfo* p : GetPropList("TScrollView32")) {
        // Visible is set on the other view; the name is in the record's header.
        if (p->Kind == TTypeKind::tkMethod || p->Name == "Visible" || p->Name == "Name" ||
            p->Name == "Tag")
            continue;
        bool sub = p->Kind == TTypeKind::tkClass && !p->IsReference;
        std::string name = sub ? p->Name + "." : char(p->Name.size()) + p->Name;
        EXPECT_NE(bytes.find(name), std::string::npos) << name;
    }
    for (const char* event : {"OnCanResize", "OnMouseWheelDown", "OnStartDrag", "OnScroll"})
        EXPECT_EQ(GetPropInfo("TScrollView32", event)->Kind, TTypeKind::tkMethod) << event;

    auto* copy = new TForm(nullptr);
    auto* menu = new TPopupMenu(copy);
    menu->SetName("pmView");
    {
        TStringStream in(bytes);
        ReadComponent(in, copy);
    }
    auto* read = dynamic_cast<TScrollView32*>(copy->FindComponent("scrQuestion"));
    ASSERT_NE(read, nullptr);
    EXPECT_EQ(read->Align(), alRight);
    EXPECT_EQ(read->Scale(), 2.5f);
    EXPECT_EQ(read->PopupMenu(), menu);
    EXPECT_FALSE(read->Ctl3D());
    EXPECT_EQ(read->Bitmap()->MasterAlpha(), 180u);
    EXPECT_EQ(read->Width(), 75);
    EXPECT_FALSE(static_cast<TControl*>(copy->FindComponent("scrHidden"))->Visible());
    EXPECT_TRUE(Stored(copy) == bytes);

    ui::ShowForm(form);
    ui::ShowForm(copy);
    ui::Pump();
    TWindowPixels a = ui::ClientPixels(form), b = ui::ClientPixels(copy);
    ASSERT_EQ(a.Width, b.Width);
    ASSERT_EQ(a.Height, b.Height);
    EXPECT_TRUE(a.Pixels == b.Pixels);
    EXPECT_EQ(ui::PixelAt(view, 2, 2), ui::PixelAt(read, 2, 2));
    EXPECT_NE(ui::PixelAt(read, 2, 2), ColorToRGB(clYellow)); // the picture is drawn
}

// Floats in component streams: singles as written, extended and integer values as older
// streams hold them; what is not a finite number is refused.
TEST_F(Image32Test, StoredScaleReadsSinglesExtendedAndIntegers) {
    auto read = [](const std::string& value) {
        TScrollView32 view(nullptr);
        std::string bytes = std::string("TPF0\x0DTScrollView32\x00\x05Scale", 25) + value +
                            std::string("\x00\x00", 2);
        TStringStream in(bytes);
        ReadComponent(in, &view);
        return view.Scale();
    };
    EXPECT_EQ(read(std::string("\x0F\x00\x00\x20\x40", 5)), 2.5f);
    // 2.5 as 80 bits: mantissa 0xA000000000000000, exponent 16384.
    EXPECT_EQ(read(std::string("\x05\0\0\0\0\0\0\0\xA0\x00\x40", 11)), 2.5f);
    EXPECT_EQ(read(std::string("\x02\x03", 2)), 3.0f);
    EXPECT_THROW(read(std::string("\x0F\x00\x00\xC0\x7F", 5)), EReadError); // NaN
    EXPECT_THROW(read(std::string("\x05\0\0\0\0\0\0\0\x80\xFF\x7F", 11)), EReadError);
    EXPECT_THROW(read(std::string("\x05\0\0\0\0\0\0\0\x80\xFF\x43", 11)), EReadError);
    EXPECT_THROW(read(std::string("\x06\x01x", 3)), EReadError);
}
