#include <gtest/gtest.h>

#include <algorithm>

#include "components/tree/BaseVirtualTree.h"
#include "components/tree/TreeUnit.h"
#include "platform/context/PlatformContext.h"
#include "platform/testing/UserActions.h"
#include "platform/windows/Clipboard.h"

using namespace epc;

TEST(TreeBufferedString, GrowsUntilLongTextFits) {
    TBufferedString buffer;
    std::string big(20000, 'x');
    buffer.Add("ab");
    buffer.Add(big);
    buffer.AddNewLine();
    EXPECT_EQ(buffer.AsString(), "ab" + big + "\r\n");
    EXPECT_GE(buffer.Capacity(), buffer.Length());

    TWideBufferedString wide;
    for (int i = 0; i < 3000; ++i) {
        wide.Add(u"line");
        wide.AddNewLine();
    }
    EXPECT_EQ(wide.Length(), 3000u * 6);
    EXPECT_EQ(wide.AsString().substr(0, 12), u"line\r\nline\r\n");
}

TEST(TreeHelpers, OrderRectAndQuickSort) {
    EXPECT_EQ(OrderRect(TRect(10, 20, 1, 2)), TRect(1, 2, 10, 20));
    EXPECT_EQ(OrderRect(TRect(1, 2, 10, 20)), TRect(1, 2, 10, 20));
    std::vector<intptr_t> values{5, -3, 9, 5, 0, 12, -7, 3};
    QuickSort(values, 0, int(values.size()) - 1);
    EXPECT_EQ(values, (std::vector<intptr_t>{-7, -3, 0, 3, 5, 5, 9, 12}));
    std::vector<intptr_t> part{9, 8, 7, 6};
    QuickSort(part, 1, 2);
    EXPECT_EQ(part, (std::vector<intptr_t>{9, 7, 8, 6}));
}

TEST(TreeBlending, ConstantAlphaEdges) {
    const uint32_t src[2] = {0xFFFFFFFF, 0x80402010};
    uint32_t dst[2] = {0x00000000, 0x10203040};
    uint32_t copy[2] = {dst[0], dst[1]};
    AlphaBlendLineConstant(src, copy, 2, 0, 0);
    EXPECT_EQ(copy[0], dst[0]);
    EXPECT_EQ(copy[1], dst[1]);
    // Alpha 255: source * 255/256 + target / 256 per channel.
    AlphaBlendLineConstant(src, copy, 2, 255, 0);
    EXPECT_EQ(copy[0], 0xFEFEFEFEu);
    // Bias is added and clamped.
    uint32_t biased[1] = {0x00000000};
    AlphaBlendLineConstant(src, biased, 1, 0, 300);
    EXPECT_EQ(biased[0], 0xFFFFFFFFu);
    uint32_t lowered[1] = {0x10101010};
    AlphaBlendLineConstant(src, lowered, 1, 0, -0x20);
    EXPECT_EQ(lowered[0], 0u);
}

TEST(TreeBlending, PerPixelMasterAndColour) {
    const uint32_t src[2] = {0x00FFFFFF, 0xFF0000FF};
    uint32_t dst[2] = {0x00000000, 0x00000000};
    AlphaBlendLinePerPixel(src, dst, 2, 0);
    EXPECT_EQ(dst[0], 0u);           // transparent source
    EXPECT_EQ(dst[1] & 0xFF, 0xFEu); // nearly opaque blue
    uint32_t master[1] = {0};
    const uint32_t half[1] = {0xFF0000FF};
    AlphaBlendLineMaster(half, master, 1, 128, 0);
    EXPECT_EQ(master[0] & 0xFF, (255 * ((255 * 128) >> 8)) >> 8);
    uint32_t colour[1] = {0x00000000};
    AlphaBlendLineMasterAndColor(colour, 1, 128, 0x00FF0000);
    EXPECT_EQ(colour[0], 0x007F0000u);
}

TEST(TreeUnit, InitialisationRegistersFormats) {
    InitializeTreeUnit();
    const auto& unit = TreeUnitState();
    EXPECT_TRUE(unit.Initialized);
    EXPECT_NE(unit.CF_VTREFERENCE, 0u);
    EXPECT_NE(unit.CF_VTREFERENCE, unit.CF_VIRTUALTREE);
    ASSERT_NE(TClipboardFormatList::FindFormat("Virtual Tree Data"), nullptr);
    EXPECT_EQ(TClipboardFormatList::FindFormat("Virtual Tree Data")->Priority, 50);
    EXPECT_EQ(RegisterTreeClipboardFormat("Virtual Tree Reference"), unit.CF_VTREFERENCE);
    // The numbers are the process's: a new platform context keeps them, as the system does.
    TPlatformContext fresh;
    EXPECT_EQ(RegisterTreeClipboardFormat("Virtual Tree Data"), unit.CF_VIRTUALTREE);
    EXPECT_EQ(GetClipboardFormatName(unit.CF_CSV), "CSV");
}

TEST(TreeUnit, StandardFormatsByIdAndLookupByName) {
    InitializeTreeUnit();
    EXPECT_EQ(TClipboardFormatList::StandardFormatName(1), "Plain text");
    EXPECT_EQ(TClipboardFormatList::StandardFormatName(8), "DIB image");
    EXPECT_EQ(TClipboardFormatList::StandardFormatName(16), "Locale descriptor");
    EXPECT_EQ(TClipboardFormatList::StandardFormatName(TreeUnitState().CF_CSV), "CSV");
    // Registered by id under the standard name, found in any letter case; the last entry of a
    // name wins.
    struct TOther : TBaseVirtualTree {
        using TBaseVirtualTree::TBaseVirtualTree;
    };
    EXPECT_EQ(TClipboardFormatList::AddStandard<TOther>(15, 120, "TOther"), 15u);
    const TClipboardFormatEntry* entry = TClipboardFormatList::FindFormat("FILE NAME(S)");
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->Format, 15u);
    EXPECT_EQ(entry->TreeClassName, "TOther");
    TClipboardFormatList::Add<TOther>("Virtual Tree Data", TreeUnitState().CF_VIRTUALTREE, 130,
                                      "TOther");
    EXPECT_EQ(TClipboardFormatList::FindFormat("virtual tree data")->TreeClassName, "TOther");
    EXPECT_EQ(TClipboardFormatList::FindFormat("Virtual Tree Reference"), nullptr);
    // Only trees of the class see its formats.
    TBaseVirtualTree plain(nullptr);
    TOther other(nullptr);
    const auto names = TClipboardFormatList::EnumerateFormats(&other);
    EXPECT_NE(std::find(names.begin(), names.end(), "File name(s)"), names.end());
    const auto plainNames = TClipboardFormatList::EnumerateFormats(&plain);
    EXPECT_EQ(std::find(plainNames.begin(), plainNames.end(), "File name(s)"), plainNames.end());
    TClipboardFormatList::Clear();
    FinalizeTreeUnit();
    InitializeTreeUnit();
    EXPECT_EQ(TClipboardFormatList::FindFormat("File name(s)"), nullptr);
}
