#include <gtest/gtest.h>

#include "components/tree/BaseVirtualTree.h"
#include "components/tree/CheckImages.h"
#include "components/tree/TreeUnit.h"
#include "platform/context/PlatformContext.h"
#include "platform/controls/Forms.h"
#include "platform/controls/ImageList.h"
#include "platform/testing/UserActions.h"
#include "tests/components/tree/TreeTestSupport.h"

using namespace epc;
using K = TCheckImageKind;

namespace {

uint32_t Pixel(TBitmap* b, int x, int y) {
    return reinterpret_cast<uint32_t*>(b->ScanLine(y))[x];
}

// Pixels of one cell that differ from the transparent colour.
int Painted(TBitmap* strip, int index) {
    int n = 0;
    for (int y = 0; y < CheckImageSize; ++y)
        for (int x = 0; x < CheckImageSize; ++x)
            n += Pixel(strip, index * CheckImageSize + x, y) != 0xFFFF00FF;
    return n;
}

bool SameCell(TBitmap* strip, int a, int b) {
    for (int y = 0; y < CheckImageSize; ++y)
        for (int x = 0; x < CheckImageSize; ++x)
            if (Pixel(strip, a * CheckImageSize + x, y) != Pixel(strip, b * CheckImageSize + x, y))
                return false;
    return true;
}

} // namespace

TEST(TreeImages, StripsForEveryBuiltInKind) {
    InitializeTreeUnit();
    EXPECT_EQ(CheckImageStrip(K::ckCustom), nullptr);
    for (K kind : {K::ckLightCheck, K::ckDarkCheck, K::ckLightTick, K::ckDarkTick, K::ckFlat,
                   K::ckXP, K::ckSystem, K::ckSystemFlat}) {
        TBitmap* strip = CheckImageStrip(kind);
        ASSERT_NE(strip, nullptr);
        EXPECT_EQ(StripImageCount(strip, "strip"), CheckImageCount);
        for (int i = 0; i < CheckImageCount; ++i)
            EXPECT_EQ(Pixel(strip, i * CheckImageSize, 0), 0xFFFF00FFu)
                << "the top-left pixel is the mask colour";
        for (int i = 1; i < CheckImageCount; ++i)
            EXPECT_GT(Painted(strip, i), 20) << i;
        // Each state looks different from its neighbours.
        EXPECT_FALSE(SameCell(strip, 9, 13));  // unchecked / checked box
        EXPECT_FALSE(SameCell(strip, 13, 17)); // checked / mixed
        EXPECT_FALSE(SameCell(strip, 1, 5));   // radio unchecked / checked
    }
    EXPECT_FALSE(SameCell(CheckImageStrip(K::ckSystem), 13, 0) &&
                 SameCell(CheckImageStrip(K::ckSystemFlat), 13, 0));
    ASSERT_NE(UtilityImageStrip(), nullptr);
}

TEST(TreeImages, StripImageCountAndCorruptStrip) {
    TBitmap strip(64, 16, pf32bit);
    EXPECT_EQ(StripImageCount(&strip, "VT_FLAT"), 4);
    TBitmap empty;
    std::string message;
    try {
        StripImageCount(&empty, "VT_XP");
    } catch (const EAssertionFailed& e) {
        message = e.Message();
    }
    EXPECT_EQ(message, "Internal image \"VT_XP\" is missing or corrupt.");
}

TEST(TreeImages, CursorsAreDrawn) {
    InitializeTreeUnit();
    for (const auto& name : TreeCursorNames()) {
        TBitmap* cursor = TreeCursorImage(name);
        ASSERT_NE(cursor, nullptr) << name;
        EXPECT_EQ(cursor->Width(), 32);
        int opaque = 0;
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 32; ++x)
                opaque += (Pixel(cursor, x, y) >> 24) != 0;
        EXPECT_GT(opaque, 10) << name;
        EXPECT_EQ(Pixel(cursor, 0, 0) >> 24, 0u) << name;
    }
    EXPECT_EQ(TreeCursorImage("VT_NONE"), nullptr);
}

// ---- Image lists of the tree ---------------------------------------------------------------

namespace {

using namespace epc::tree_options;

// A list of Count solid images of Size x Size.
TImageList* MakeList(TComponent* owner, int size, int count) {
    auto* list = new TImageList(owner, size, size);
    TBitmap strip(size * count, size, pf32bit);
    list->Add(&strip, nullptr);
    return list;
}

struct TreeImageFixture : ::testing::Test {
    TPlatformContext Context; // one per case: its end frees what the case leaves
    void SetUp() override {
        form = epc::testing::NewTreeForm();
        tree = new TWideTree(form);
        tree->SetParent(form);
    }
    void TearDown() override { FreeComponent(form); }
    struct TWideTree : TBaseVirtualTree {
        using TBaseVirtualTree::TBaseVirtualTree;
        int DoGetNodeWidth(PVirtualNode, TColumnIndex) override { return 50; }
    };
    TForm* form = nullptr;
    TWideTree* tree = nullptr;
};

} // namespace

TEST(TreeImages, UnitListsHoldTheStripsWithTheirMaskColourTransparent) {
    InitializeTreeUnit();
    EXPECT_EQ(CheckImageList(K::ckCustom), nullptr);
    TCustomImageList* list = CheckImageList(K::ckDarkTick);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->Count(), CheckImageCount);
    EXPECT_EQ(list->Width(), CheckImageSize);
    TBitmap* strip = CheckImageStrip(K::ckDarkTick);
    for (int i : {0, 9, 13, 17}) {
        const uint32_t* px = list->ImagePixels(i);
        for (int y = 0; y < CheckImageSize; ++y)
            for (int x = 0; x < CheckImageSize; ++x) {
                uint32_t s = Pixel(strip, i * CheckImageSize + x, y);
                uint32_t l = px[y * CheckImageSize + x];
                if (s == 0xFFFF00FF)
                    ASSERT_EQ(l >> 24, 0u) << i;
                else
                    ASSERT_EQ(l, s) << i;
            }
    }
}

TEST_F(TreeImageFixture, CheckListFollowsTheKindAndTheCustomList) {
    EXPECT_EQ(tree->CheckImages(), CheckImageList(K::ckLightCheck));
    tree->SetCheckImageKind(K::ckFlat);
    EXPECT_EQ(tree->CheckImages(), CheckImageList(K::ckFlat));
    tree->SetCheckImageKind(K::ckCustom);
    EXPECT_EQ(tree->CheckImages(), nullptr) << "no custom list yet";

    TImageList* custom = MakeList(form, 12, 24);
    tree->SetCustomCheckImages(custom);
    EXPECT_EQ(tree->CheckImages(), custom);
    TImageList* other = MakeList(form, 12, 24);
    tree->SetCustomCheckImages(other);
    EXPECT_EQ(tree->CheckImages(), other);
    tree->SetCheckImageKind(K::ckXP);
    EXPECT_EQ(tree->CheckImages(), CheckImageList(K::ckXP));
    EXPECT_EQ(tree->CustomCheckImages(), other);
    tree->SetCheckImageKind(K::ckCustom);
    FreeComponent(other);
    EXPECT_EQ(tree->CustomCheckImages(), nullptr);
    EXPECT_EQ(tree->CheckImages(), nullptr);
}

TEST_F(TreeImageFixture, FreedListsAreDroppedAndChangesRepaint) {
    TImageList* images = MakeList(form, 16, 3);
    tree->SetImages(images);
    tree->SetStateImages(images); // one list behind two properties
    epc::testing::ShowForm(form);
    tree->HandleNeeded();
    int before = tree->RepaintRequests();
    images->Delete(0);
    EXPECT_EQ(tree->RepaintRequests(), before + 2) << "one notice per property";

    // Leaving one property keeps the free notice for the other.
    tree->SetImages(nullptr);
    FreeComponent(images);
    EXPECT_EQ(tree->StateImages(), nullptr);

    // A list freed on its own, outside any owner, is dropped too; the tree outlives it safely.
    auto* loose = MakeList(nullptr, 16, 1);
    tree->SetImages(loose);
    delete loose;
    EXPECT_EQ(tree->Images(), nullptr);
    tree->SetImages(nullptr);
}

TEST_F(TreeImageFixture, AListThatOutlivesTheTreeIsLeftClean) {
    auto* list = MakeList(nullptr, 16, 2);
    tree->SetImages(list);
    FreeComponent(tree);
    tree = nullptr;
    list->Clear(); // would reach the tree's link if it were still registered
    EXPECT_EQ(list->Count(), 0);
    delete list;
}

TEST_F(TreeImageFixture, ImageIndicesComeFromTheDispatcherWithinTheLists) {
    tree->SetRootNodeCount(1);
    PVirtualNode node = tree->FirstNode();
    bool ghosted = false;
    int calls = 0;
    tree->OnGetImageIndex = [&](TBaseVirtualTree*, PVirtualNode, TVTImageKind kind, TColumnIndex,
                                bool& g, int& index) {
        ++calls;
        EXPECT_EQ(index, -1) << "callers preset -1";
        index = kind == TVTImageKind::ikState ? 5 : 1;
        g = true;
    };
    EXPECT_EQ(tree->GetImageIndex(node, TVTImageKind::ikNormal, NoColumn, ghosted), -1);
    EXPECT_EQ(calls, 0) << "without a list nobody is asked";

    TImageList* images = MakeList(form, 16, 3);
    TImageList* states = MakeList(form, 10, 3);
    tree->SetImages(images);
    tree->SetStateImages(states);
    EXPECT_EQ(tree->GetImageIndex(node, TVTImageKind::ikNormal, NoColumn, ghosted), 1);
    EXPECT_TRUE(ghosted);
    EXPECT_EQ(tree->GetImageIndex(node, TVTImageKind::ikState, NoColumn, ghosted), -1)
        << "index 5 is outside a list of three";

    // Line alignment uses the normal image's height first, then the state image's.
    tree->SetNodeAlignment(TVTNodeAlignment::naProportional);
    EXPECT_EQ(tree->NodeLineOffset(node, true, true), tree->NodeLineOffset(node, 16));
    EXPECT_EQ(tree->NodeLineOffset(node, false, true), tree->NodeLineOffset(node, 10));
    EXPECT_EQ(tree->NodeLineOffset(node, false, false), tree->NodeLineOffset(node, 0));
}

TEST_F(TreeImageFixture, ContentStartsAfterCheckStateAndNormalImages) {
    tree->SetRootNodeCount(1);
    PVirtualNode node = tree->FirstNode();
    const int indent = 18 + 4; // one level with toShowRoot, plus the margin
    EXPECT_EQ(tree->NodeContentRect(node, 0).Left, indent);

    auto* o = tree->TreeOptions();
    o->SetMiscOptions(o->MiscOptions() | toCheckSupport);
    tree->SetCheckType(node, ctCheckBox);
    EXPECT_EQ(tree->NodeContentRect(node, 0).Left, indent + 16 + 2);
    tree->SetCheckImageKind(K::ckCustom); // no custom list: no check image
    EXPECT_EQ(tree->NodeContentRect(node, 0).Left, indent);
    tree->SetCustomCheckImages(MakeList(form, 12, 24));
    EXPECT_EQ(tree->NodeContentRect(node, 0).Left, indent + 12 + 2);

    tree->SetImages(MakeList(form, 20, 2));
    tree->SetStateImages(MakeList(form, 8, 2));
    tree->OnGetImageIndex = [](TBaseVirtualTree*, PVirtualNode, TVTImageKind kind, TColumnIndex,
                               bool&, int& index) {
        if (kind == TVTImageKind::ikNormal || kind == TVTImageKind::ikState) index = 0;
    };
    TRect r = tree->NodeContentRect(node, 0);
    EXPECT_EQ(r.Left, indent + 14 + 10 + 22);
    EXPECT_EQ(r.Width(), 50);
}

TEST(TreeImages, CheckImagesFollowTheSystemColours) {
    TPlatformContext context;
    TBaseVirtualTree tree(nullptr);
    TBitmap* light = CheckImageStrip(K::ckLightCheck);
    TBitmap* xp = CheckImageStrip(K::ckXP);
    ASSERT_TRUE(light && xp);
    auto count = [](TBitmap* strip, uint32_t pixel) {
        int n = 0;
        for (int y = 0; y < strip->Height(); ++y)
            for (int x = 0; x < strip->Width(); ++x)
                n += Pixel(strip, x, y) == pixel;
        return n;
    };
    // The grey frames are the button shadow colour.
    const int frames = count(light, 0xFF808080);
    ASSERT_GT(frames, 0);
    const int xpBefore = count(xp, 0xFF808080);
    auto restore = [&] {
        context.SetSysColor(COLOR_BTNSHADOW, RGB(128, 128, 128));
        tree.Perform(CM_SYSCOLORCHANGE, 0, 0);
    };
    context.SetSysColor(COLOR_BTNSHADOW, RGB(10, 20, 30));
    tree.Perform(CM_SYSCOLORCHANGE, 0, 0);
    EXPECT_EQ(count(light, 0xFF808080), 0);
    EXPECT_EQ(count(light, 0xFF0A141E), frames);
    EXPECT_EQ(count(xp, 0xFF808080), xpBefore); // drawn in its own colours
    // The list the trees draw from holds the new pictures too.
    TBitmap drawn(16, 16, pf32bit);
    drawn.Canvas()->Brush()->SetColor(clWhite);
    drawn.Canvas()->FillRect(TRect(0, 0, 16, 16));
    CheckImageList(K::ckLightCheck)->Draw(drawn.Canvas(), 0, 0, 9);
    EXPECT_GT(count(&drawn, 0xFF0A141E), 0);
    restore();
    EXPECT_EQ(count(light, 0xFF808080), frames);
}
