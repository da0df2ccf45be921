#include "platform/core/Color.h"

#include <gtest/gtest.h>

#include "platform/core/CoreState.h"
#include "platform/core/Exceptions.h"

using namespace epc;

TEST(Color, SystemColoursResolveThroughTheClassicTable) {
    EXPECT_EQ(ColorToRGB(clWindow), RGB(255, 255, 255));
    EXPECT_EQ(ColorToRGB(clWindowText), 0u);
    EXPECT_EQ(ColorToRGB(clBtnFace), GetSysColor(COLOR_BTNFACE));
    EXPECT_EQ(ColorToRGB(clRed), 0x0000FFu);
    EXPECT_EQ(uint32_t(clBtnFace), 0x8000000Fu);
    {
        TCoreScope core;
        core.SetSysColor(COLOR_BTNFACE, RGB(1, 2, 3));
        EXPECT_EQ(ColorToRGB(clBtnFace), RGB(1, 2, 3));
    }
    EXPECT_NE(ColorToRGB(clBtnFace), RGB(1, 2, 3));
}

TEST(Color, NamesRoundTripAndUnnamedColoursUseHex) {
    EXPECT_EQ(ColorToString(clBtnFace), "clBtnFace");
    EXPECT_EQ(ColorToString(clNone), "clNone");
    EXPECT_EQ(ColorToString(0x123456), "$00123456");
    EXPECT_EQ(StringToColor("clbtnface"), clBtnFace);
    EXPECT_EQ(StringToColor("$00123456"), 0x123456);
    EXPECT_EQ(StringToColor("255"), clRed);
    EXPECT_THROW(StringToColor("clNoSuchColour"), EConvertError);
    EXPECT_THROW(StringToColor("$"), EConvertError);
}
