// Forms holding the program's controls, written to component streams and read into new forms.

#include <gtest/gtest.h>

#include <png.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "tests/components/controls/ControlsTestSupport.h"
#include "tests/platform/support/AllocationLimit.h"

#include "components/controls/FlatPanels.h"
#include "components/controls/NewCheckListBox.h"
#include "components/controls/PngButtons.h"
#include "components/controls/PngImageList.h"
#include "components/controls/QDLSpeedButton.h"
#include "components/controls/RadioPanel.h"
#include "components/controls/TiledImage.h"
#include "platform/streaming/Filer.h"
#include "platform/streaming/PropertyRegistry.h"

namespace epc {
namespace {

// An RGBA PNG with a diagonal colour ramp and alpha falling off to the right.
void RampPng(TPngImage& png, int w, int h, uint32_t seed) {
    TDecodedImage img;
    img.Width = w;
    img.Height = h;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint32_t a = x == 0 ? 0 : uint32_t(255 - x * 200 / w);
            uint32_t r = (seed + uint32_t(x * 17)) & 0xFF, g = (seed * 3 + uint32_t(y * 23)) & 0xFF;
            img.Pixels.push_back(a << 24 | r << 16 | g << 8 | ((seed >> 8) & 0xFF));
        }
    img.HasAlpha = true;
    img.ColorType = 6;
    png.LoadFromImage(img);
}

// The pixels libpng makes of stored PNG bytes, as 0xAARRGGBB.
std::vector<uint32_t> DecodeWithLibpng(const std::string& bytes, int& width, int& height) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, bytes.data(), bytes.size())) return {};
    image.format = PNG_FORMAT_BGRA;
    std::vector<uint32_t> pixels(size_t(image.width) * image.height);
    if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) return {};
    width = int(image.width);
    height = int(image.height);
    return pixels;
}

class StoredFormsTest : public epc::test::FormFixture {
protected:
    // The form's stream, read into a new form (freed with the platform, as the fixture's is).
    TForm* ReadBack(const std::string& bytes) {
        auto* copy = new TForm(nullptr);
        TStringStream in(bytes);
        ReadComponent(in, copy);
        return copy;
    }
    static std::string Write(TComponent* root) {
        TMemoryStream out;
        WriteComponent(out, root);
        return out.DataString();
    }
};

// A control of the form, named and placed.
template <class T> T* Place(TForm* form, const std::string& name, TRect bounds) {
    auto* control = new T(form);
    control->SetName(name);
    control->SetParent(form);
    control->SetBoundsRect(bounds);
    return control;
}

// A form with every stored control of the program.
void BuildForm(TForm* form) {
    form->SetName("SkinForm");
    form->SetColor(TColor(RGB(200, 210, 220)));

    auto* list = Place<TNewCheckListBox>(form, "clbSections", Bounds(4, 4, 180, 150));
    list->SetFlat(true);
    list->SetOffset(3);
    list->SetIntegralHeight(true); // a list of measured items keeps its height
    list->SetTabWidth(8);
    list->AddGroupItem("Exam", "", 0, nullptr);
    list->AddCheckItem("Networking", "12", 1, false, true, false, true, nullptr);
    list->AddCheckItem("Routing", "", 2, true, true, false, true, nullptr);
    list->AddCheckItem("Switching", "", 2, false, true, false, false, nullptr);
    list->AddCheckItem("Security", "8", 1, true, false, false, true, nullptr);
    list->AddCheckItem("Storage", "", 1, false, true, true, true, nullptr);

    auto* radios = Place<TRadioPanel>(form, "pnlChoices", Bounds(190, 4, 120, 40));
    radios->SetTopOffset(3);
    radios->SetBottomMargin(2);
    radios->AddButton("Alpha");
    radios->AddButton("Beta")->SetChecked(true);
    radios->AddButton("Gamma");

    auto* flat = Place<TFlatPanel>(form, "pnlFlat", Bounds(190, 90, 100, 40));
    flat->SetCaption("Flat");
    flat->SetLeftBorder(3);
    flat->SetTopBorder(2);
    flat->SetBevelInner(bvLowered);
    flat->SetShowBottomWhiteLine(true);
    flat->SetColor(TColor(RGB(240, 230, 140)));

    auto* xp = Place<TXPPanel>(form, "pnlXP", Bounds(190, 134, 100, 24));
    xp->SetBorderStyle(bsSingle);
    xp->SetCaption("XP");

    auto* box = Place<TFlatScrollBox>(form, "sbFlat", Bounds(300, 90, 90, 60));
    box->SetCtl3D(false);

    auto* arrow = Place<TQDLSpeedButton>(form, "cmdDown", Bounds(300, 160, 20, 20));
    arrow->SetSpeedButtonType(qstDown);
    arrow->SetCaption("v");

    TPngImage png;
    RampPng(png, 16, 16, 0x4080C0);
    auto* pngButton = Place<TPngSpeedButton>(form, "cmdPng", Bounds(4, 160, 90, 26));
    pngButton->SetCaption("Open");
    pngButton->SetPngImage(&png);
    pngButton->SetEnabled(false);
    pngButton->SetPngOptions({pngBlendOnDisabled, pngGrayscaleOnDisabled});

    TPngImage pushed;
    RampPng(pushed, 12, 12, 0x20E010);
    auto* imageButton = Place<TPNGImageButton>(form, "cmdImage", Bounds(100, 160, 90, 26));
    imageButton->SetGroupIndex(1);
    imageButton->SetAllowAllUp(true);
    imageButton->SetDown(true);
    imageButton->SetPngImage(&png);
    imageButton->SetPngPushedImage(&pushed);

    TPngImage tile, corner;
    RampPng(tile, 7, 5, 0x99CC33);
    RampPng(corner, 6, 6, 0x1133EE);
    auto* skin = Place<TTiledImage>(form, "imgSkin", Bounds(4, 190, 200, 100));
    skin->Picture()->SetGraphic(&tile);
    skin->SetTopLeftCorner(&corner);
    skin->SetBottomRightCorner(&corner);
    TBitmap mask;
    mask.SetMonochrome(true);
    mask.SetSize(6, 6);
    mask.Canvas()->Brush()->SetColor(clWhite);
    mask.Canvas()->FillRect(TRect(0, 0, 6, 6));
    mask.Canvas()->Brush()->SetColor(clBlack);
    mask.Canvas()->FillRect(TRect(0, 0, 3, 3));
    skin->SetTopRightCornerMask(&mask);

    auto* images = new TPngImageList(form);
    images->SetName("ilToolbar");
    images->SetSize(20, 20);
    images->SetDesignPosition(TPoint(312, 48));
    images->SetPngOptions({pngGrayscaleOnDisabled});
    for (int size : {20, 16, 9}) {
        TPngImage p;
        RampPng(p, size, size, uint32_t(size * 0x0A0B0C));
        images->AddPng(&p, size == 16 ? clNone : clBtnFace);
    }
    images->PngImages()->Items(1)->SetName("open");
    images->PngImages()->Add(); // an item without a PNG
    TPngImage last;
    RampPng(last, 20, 20, 0x7F1020);
    images->AddPng(&last, TColor(RGB(255, 255, 0)));
}

TEST_F(StoredFormsTest, FormReadBackPaintsPixelForPixel) {
    BuildForm(Form);
    testing::ShowForm(Form);
    std::string bytes = Write(Form);
    ASSERT_EQ(bytes.compare(0, 4, "TPF0"), 0);

    TForm* copy = ReadBack(bytes);
    copy->SetBorderStyle(bsNone);
    testing::ShowForm(copy, 100, 100);
    TWindowPixels before = testing::ClientPixels(Form);
    TWindowPixels after = testing::ClientPixels(copy);
    ASSERT_EQ(before.Width, after.Width);
    ASSERT_EQ(before.Height, after.Height);
    int differing = 0;
    for (size_t i = 0; i < before.Pixels.size(); ++i)
        if (before.Pixels[i] != after.Pixels[i]) ++differing;
    if (differing) {
        auto dir = epc::test::ScratchFolder();
        testing::SavePng(before, (dir / "before.png").string());
        testing::SavePng(after, (dir / "after.png").string());
    }
    EXPECT_EQ(differing, 0);
    // The stream written from the copy is the same stream.
    EXPECT_TRUE(Write(copy) == bytes);
}

TEST_F(StoredFormsTest, CheckListItemsKeepTheirStates) {
    BuildForm(Form);
    TForm* copy = ReadBack(Write(Form));
    auto* list = dynamic_cast<TNewCheckListBox*>(copy->FindComponent("clbSections"));
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->Count(), 6);
    EXPECT_TRUE(list->Flat());
    EXPECT_EQ(list->Offset(), 3);
    EXPECT_TRUE(list->IntegralHeight());
    EXPECT_EQ(list->TabWidth(), 8);
    EXPECT_EQ(list->Height(), 150);
    EXPECT_EQ(list->Items()->Strings(3), "Switching");
    EXPECT_EQ(list->ItemLevel(3), 2);
    EXPECT_EQ(list->State(1), cbGrayed);
    EXPECT_EQ(list->State(2), cbChecked);
    EXPECT_EQ(list->State(4), cbChecked);
    EXPECT_FALSE(list->ItemEnabled(4));
    EXPECT_EQ(list->SubItem(1), "12");
    // The tree still propagates: checking the grayed branch checks what follows it.
    list->SetItemChecked(3, true);
    EXPECT_EQ(list->State(1), cbChecked);
    // Radio buttons come back with the checked one.
    auto* radios = dynamic_cast<TRadioPanel*>(copy->FindComponent("pnlChoices"));
    ASSERT_NE(radios, nullptr);
    ASSERT_EQ(radios->ButtonCount(), 3);
    EXPECT_TRUE(radios->Buttons(1)->Checked());
    EXPECT_FALSE(radios->Buttons(0)->Checked());
    EXPECT_EQ(radios->TopOffset(), 3);
}

TEST_F(StoredFormsTest, StoredLevelsKeepTheLevelRule) {
    auto* list = new TNewCheckListBox(Form);
    list->SetName("clb");
    list->SetParent(Form);
    list->AddGroupItem("a", "", 0, nullptr);
    list->AddCheckItem("b", "", 1, false, true, false, true, nullptr);
    std::string bytes = Write(list);
    // Level 1 of the second item becomes 9 in the stream: read back it is clamped to 1.
    size_t at = bytes.find("Level");
    ASSERT_NE(at, std::string::npos);
    ASSERT_EQ(bytes[at + 5], char(TValueType::vaInt8));
    bytes[at + 6] = 9;
    TNewCheckListBox copy(nullptr);
    TStringStream in(bytes);
    ReadComponent(in, &copy);
    EXPECT_EQ(copy.ItemLevel(1), 1);
}

TEST_F(StoredFormsTest, ImageListStoresPngDataThatLibpngDecodes) {
    BuildForm(Form);
    auto* images = dynamic_cast<TPngImageList*>(Form->FindComponent("ilToolbar"));
    std::string bytes = Write(Form);
    // Every stored PNG image is a complete PNG file of the item's pixels.
    size_t at = 0;
    int found = 0;
    for (int i = 0; i < images->PngImages()->Count(); ++i) {
        TPngImage* png = images->PngImages()->Items(i)->PngImage();
        if (png->Empty()) continue;
        at = bytes.find("PngImage.Data", at);
        ASSERT_NE(at, std::string::npos) << i;
        at += 13;
        ASSERT_EQ(bytes[at], char(TValueType::vaBinary));
        uint32_t n = uint8_t(bytes[at + 1]) | uint8_t(bytes[at + 2]) << 8 |
                     uint8_t(bytes[at + 3]) << 16 | uint32_t(uint8_t(bytes[at + 4])) << 24;
        int w = 0, h = 0;
        std::vector<uint32_t> decoded = DecodeWithLibpng(bytes.substr(at + 5, n), w, h);
        ASSERT_EQ(w, png->Width());
        ASSERT_EQ(h, png->Height());
        EXPECT_EQ(decoded, png->ToImage().Pixels) << i;
        ++found;
    }
    EXPECT_EQ(found, 4);

    TForm* copy = ReadBack(bytes);
    auto* loaded = dynamic_cast<TPngImageList*>(copy->FindComponent("ilToolbar"));
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->DesignPosition(), TPoint(312, 48));
    EXPECT_EQ(loaded->Width(), 20);
    EXPECT_EQ(loaded->PngOptions(), TPngOptions{pngGrayscaleOnDisabled});
    ASSERT_EQ(loaded->PngImages()->Count(), 5);
    ASSERT_EQ(loaded->Count(), 5);
    EXPECT_EQ(loaded->PngImages()->Items(1)->Name(), "open");
    EXPECT_EQ(loaded->PngImages()->Items(1)->Background(), clNone);
    EXPECT_EQ(loaded->PngImages()->Items(4)->Background(), TColor(RGB(255, 255, 0)));
    EXPECT_TRUE(loaded->PngImages()->Items(3)->PngImage()->Empty());
    for (int i = 0; i < 5; ++i) {
        std::vector<uint32_t> a(images->ImagePixels(i), images->ImagePixels(i) + 400);
        std::vector<uint32_t> b(loaded->ImagePixels(i), loaded->ImagePixels(i) + 400);
        EXPECT_EQ(a, b) << i;
    }
}

TEST_F(StoredFormsTest, ImageListWithoutEnabledImagesReadsBackDisabled) {
    BuildForm(Form);
    auto* images = dynamic_cast<TPngImageList*>(Form->FindComponent("ilToolbar"));
    images->SetEnabledImages(false);
    TForm* copy = ReadBack(Write(Form));
    auto* loaded = dynamic_cast<TPngImageList*>(copy->FindComponent("ilToolbar"));
    ASSERT_NE(loaded, nullptr);
    EXPECT_FALSE(loaded->EnabledImages());
    ASSERT_EQ(loaded->Count(), 5);
    for (int i = 0; i < 5; ++i) {
        std::vector<uint32_t> a(images->ImagePixels(i), images->ImagePixels(i) + 400);
        std::vector<uint32_t> b(loaded->ImagePixels(i), loaded->ImagePixels(i) + 400);
        EXPECT_EQ(a, b) << i;
    }
    // Its images have the grayed look: every visible pixel is a gray.
    int visible = 0;
    for (int k = 0; k < 400; ++k) {
        const uint32_t px = loaded->ImagePixels(0)[k];
        if ((px >> 24) == 0) continue;
        ++visible;
        EXPECT_NEAR(int((px >> 16) & 0xFF), int(px & 0xFF), 1) << k;
        EXPECT_NEAR(int((px >> 8) & 0xFF), int(px & 0xFF), 1) << k;
    }
    EXPECT_GT(visible, 300);
    // Switched on again it shows the stored colours.
    loaded->SetEnabledImages(true);
    images->SetEnabledImages(true);
    EXPECT_EQ(loaded->ImagePixels(0)[25], images->ImagePixels(0)[25]);
    EXPECT_NE((loaded->ImagePixels(0)[25] >> 16) & 0xFF, loaded->ImagePixels(0)[25] & 0xFF);
}

TEST_F(StoredFormsTest, RebuildKeepsAnEmptyImageForAnItemWithoutPng) {
    TPngImageList images(nullptr);
    TPngImage red, blue;
    epc::test::SolidPng(red, 16, 16, 0xFFFF0000);
    epc::test::SolidPng(blue, 16, 16, 0xFF0000FF);
    images.AddPng(&red);
    images.PngImages()->Add();
    images.AddPng(&blue);
    images.Rebuild();
    ASSERT_EQ(images.Count(), 3);
    EXPECT_EQ(images.ImagePixels(1)[0], 0u);
    EXPECT_EQ(images.ImagePixels(2)[0], 0xFF0000FFu);
    // Deleting the middle item removes its own (empty) image, not the blue one.
    images.Delete(1);
    ASSERT_EQ(images.Count(), 2);
    EXPECT_EQ(images.ImagePixels(1)[0], 0xFF0000FFu);
}

TEST_F(StoredFormsTest, MalformedPngInAStoredListIsALoadError) {
    BuildForm(Form);
    std::string bytes = Write(Form);
    size_t at = bytes.find("PngImage.Data");
    ASSERT_NE(at, std::string::npos);
    at += 13 + 5; // the value kind and the length
    std::string broken = bytes;
    broken[at + 20] ^= 0x55; // inside the header chunk: its check sum fails
    try {
        ReadBack(broken);
        FAIL() << "a broken PNG loaded";
    } catch (const EReadError& e) {
        EXPECT_NE(e.Message().find("PngImage.Data"), std::string::npos) << e.Message();
    }
    // Cut inside the PNG: the stream ends before the value's length.
    EXPECT_THROW(ReadBack(bytes.substr(0, at + 40)), EReadError);
}

std::string FuzzInput(const std::string& name) {
    const char* root = std::getenv("EPC_TEST_DATA");
    std::string path = std::string(root ? root : "tests/data") + "/fuzz/controls_form_stream_fuzz/";
    std::ifstream in(path + name, std::ios::binary);
    EXPECT_TRUE(in) << path + name;
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Records naming components already read: one moves a control under a sibling and the read then
// fails; two name an ancestor inside its own descendant. Each is refused, what the read made is
// freed once, and the form stays whole and frees normally (the sanitizers watch the rest).
TEST_F(StoredFormsTest, RecordsThatReuseComponentsFailCleanly) {
    struct Case {
        const char* file;
        const char* message; // part of the error, or empty for any
    };
    for (Case c : {Case{"reparent-rollback-uaf.bin", ""},
                   Case{"parent-cycle-hang.bin", "C cannot be placed inside itself"},
                   Case{"parent-cycle-stack-overflow.bin", "clb cannot be placed inside itself"}}) {
        SCOPED_TRACE(c.file);
        std::string bytes = FuzzInput(c.file);
        ASSERT_FALSE(bytes.empty());
        auto form = std::make_unique<TForm>(nullptr);
        auto* kept = new TPanel(form.get());
        kept->SetParent(form.get());
        try {
            TStringStream in(bytes);
            ReadComponent(in, form.get());
            ADD_FAILURE() << "the input loaded";
        } catch (const EReadError& e) {
            EXPECT_NE(e.Message().find(c.message), std::string::npos) << e.Message();
        }
        // Only what was there before the read is left, and the form can still change fonts.
        EXPECT_EQ(form->ComponentCount(), 1);
        EXPECT_EQ(form->ControlCount(), 1);
        EXPECT_EQ(kept->Parent(), form.get());
        EXPECT_FALSE(form->Loading());
        form->Font()->SetSize(form->Font()->Size() + 1);
    }
}

// A stored image list whose cells would be huge is refused before any cell is made.
TEST_F(StoredFormsTest, HugeImageListCellsAreALoadError) {
    TPngImageList images(nullptr);
    images.SetName("il");
    images.SetSize(200, 16);
    TPngImage png;
    RampPng(png, 4, 4, 9);
    images.AddPng(&png);
    std::string bytes = Write(&images);
    size_t at = bytes.find("Width");
    ASSERT_NE(at, std::string::npos);
    at += 5;
    ASSERT_EQ(bytes[at], char(TValueType::vaInt16));
    bytes[at + 2] = 0x7F; // 200 becomes 32,712
    TPngImageList copy(nullptr);
    TStringStream in(bytes);
    try {
        ReadComponent(in, &copy);
        FAIL() << "huge cells loaded";
    } catch (const EReadError& e) {
        EXPECT_NE(e.Message().find("il.Width"), std::string::npos) << e.Message();
    }
    EXPECT_EQ(copy.Count(), 0);
}

// Forms whose bounds lie beyond the coordinate limit (a form at the top or bottom of the 32-bit
// range, a panel at its left end) are refused when read, before any layout sums them; the form
// given to the reader stays as it was.
TEST_F(StoredFormsTest, BoundsBeyondTheCoordinateLimitAreALoadError) {
    struct Case {
        const char* file;
        const char* property;
    };
    for (Case c : {Case{"geometry-top-min-negation.bin", "F.Top"},
                   Case{"geometry-left-min-anchor-overflow.bin", "rp.Left"},
                   Case{"geometry-top-big-bounds-overflow.bin", "F.Top"}}) {
        SCOPED_TRACE(c.file);
        std::string bytes = FuzzInput(c.file);
        ASSERT_FALSE(bytes.empty());
        auto form = std::make_unique<TForm>(nullptr);
        form->SetBounds(10, 20, 300, 200);
        auto* kept = new TPanel(form.get());
        kept->SetParent(form.get());
        try {
            TStringStream in(bytes);
            ReadComponent(in, form.get());
            ADD_FAILURE() << "the input loaded";
        } catch (const EReadError& e) {
            EXPECT_NE(e.Message().find(std::string(c.property) + ": Invalid property value"),
                      std::string::npos)
                << e.Message();
        }
        EXPECT_EQ(form->ComponentCount(), 1);
        EXPECT_EQ(form->Top(), 20);
        EXPECT_EQ(form->BoundsRect(), TRect(10, 20, 310, 220));
        TStringStream again(bytes);
        EXPECT_THROW(std::unique_ptr<TComponent>(ReadComponent(again, nullptr)), EReadError);
    }
    // Size constraints, which set a size of their own, have the same limit: one past it is
    // refused, the limit itself is not.
    TForm source(nullptr);
    source.SetName("F");
    auto* panel = new TPanel(&source);
    panel->SetName("P");
    panel->SetParent(&source);
    panel->Constraints()->SetMaxWidth(MaxStoredCoordinate + 1);
    auto copy = std::make_unique<TForm>(nullptr);
    try {
        TStringStream in(Write(&source));
        ReadComponent(in, copy.get());
        ADD_FAILURE() << "the constraint loaded";
    } catch (const EReadError& e) {
        EXPECT_NE(e.Message().find("MaxWidth: Invalid property value"), std::string::npos)
            << e.Message();
    }
    panel->Constraints()->SetMaxWidth(0);
    panel->Constraints()->SetMinWidth(MaxStoredCoordinate);
    TStringStream in(Write(&source));
    ReadComponent(in, copy.get());
    auto* read = dynamic_cast<TPanel*>(copy->FindComponent("P"));
    ASSERT_NE(read, nullptr);
    EXPECT_EQ(read->Width(), MaxStoredCoordinate);
}

// Bounds at the limit, nested twenty deep and anchored on every side, load and make their
// windows without overflow (the sanitizer watches the sums).
TEST_F(StoredFormsTest, BoundsAtTheCoordinateLimitLoadAndLayOut) {
    const int L = MaxStoredCoordinate;
    TForm source(nullptr);
    source.SetName("F");
    source.SetBorderStyle(bsNone);
    source.SetBounds(-L, L, L, L);
    TWinControl* parent = &source;
    for (int i = 0; i < 20; ++i) {
        auto* panel = new TPanel(&source);
        std::string name = std::to_string(i);
        name.insert(0, 1, 'P');
        panel->SetName(name);
        panel->SetParent(parent);
        panel->SetBounds(L, -L, L, L);
        panel->SetAnchors({akLeft, akTop, akRight, akBottom});
        parent = panel;
    }
    auto* radios = new TRadioPanel(&source);
    radios->SetName("rp");
    radios->SetParent(parent);
    radios->SetBounds(-L, L, L, L);
    radios->SetAnchors({akLeft, akTop, akRight, akBottom});
    radios->AddButton("x");

    TStringStream in(Write(&source));
    auto copy = std::make_unique<TForm>(nullptr);
    ReadComponent(in, copy.get());
    auto* rp = dynamic_cast<TRadioPanel*>(copy->FindComponent("rp"));
    ASSERT_NE(rp, nullptr);
    EXPECT_EQ(rp->Left(), -L);
    EXPECT_EQ(rp->Width(), L);
    rp->HandleNeeded();
    // Twenty panels at L, inside a form at -L, hold the radio panel at -L.
    EXPECT_EQ(rp->ClientOrigin(), TPoint(18 * L, -18 * L));
    RECT window{};
    GetWindowRect(rp->Handle(), &window);
    EXPECT_EQ(window.Left, 18 * L);
    EXPECT_EQ(window.Right, 19 * L);
}

// A check list box of 20000 x 20000 measures its caption on a small memory context: reading it
// and making its window, which measures every item again, needs no surface of its size (1.6 GB).
TEST_F(StoredFormsTest, HugeCheckListMeasuresWithoutASurfaceOfItsSize) {
    std::string bytes = FuzzInput("checklistbox-20000-surface-oom.bin");
    ASSERT_FALSE(bytes.empty());
    auto form = std::make_unique<TForm>(nullptr);
    testing::TAllocationLimit limit(64 << 20);
    TStringStream in(bytes);
    ReadComponent(in, form.get());
    auto* list = dynamic_cast<TNewCheckListBox*>(form->FindComponent("clb"));
    ASSERT_NE(list, nullptr);
    list->HandleNeeded();
    ASSERT_EQ(list->Count(), 1);
    EXPECT_EQ(list->Width(), 20000);
    // The same caption in a small list measures the same.
    auto* small = new TNewCheckListBox(form.get());
    small->SetParent(form.get());
    small->SetBounds(0, 0, 100, 100);
    small->AddCheckItem("a", "", 0, false, true, false, true, nullptr);
    EXPECT_EQ(small->ItemHeights(0), list->ItemHeights(0));
}

// A component given to the reader and moved by a record goes back to its parent when the read
// fails, and is not freed with the control the read made.
TEST_F(StoredFormsTest, FailedReadPutsMovedControlsBack) {
    auto form = std::make_unique<TForm>(nullptr);
    form->SetName("F");
    auto* kept = new TPanel(form.get());
    kept->SetName("Kept");
    kept->SetParent(form.get());
    TForm source(nullptr);
    source.SetName("F");
    auto* box = new TPanel(&source);
    box->SetName("Box");
    box->SetParent(&source);
    auto* inner = new TPanel(&source);
    inner->SetName("Kept");
    inner->SetParent(box);
    std::string bytes = Write(&source);
    TStringStream in(bytes.substr(0, bytes.size() - 1)); // the form's children never end
    EXPECT_THROW(ReadComponent(in, form.get()), EReadError);
    EXPECT_EQ(form->ComponentCount(), 1);
    EXPECT_EQ(kept->Parent(), form.get());
    // The same stream whole moves it for good.
    TStringStream whole(bytes);
    ReadComponent(whole, form.get());
    ASSERT_NE(form->FindComponent("Box"), nullptr);
    EXPECT_EQ(kept->Parent(), form->FindComponent("Box"));
}

} // namespace
} // namespace epc
