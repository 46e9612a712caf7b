#include "framework/logic/colour_bytes.h"
#include "framework/logic/drive_root.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

TEST(ColourBytes, RedAndBlueTradePlaces)
{
    // Red 0x12 in bits 16-23, green 0x34, blue 0x56 in bits 0-7.
    EXPECT_EQ(colourRefFromRgb(0x00123456u), 0x00563412u);
    EXPECT_EQ(rgbFromColourRef(0x00563412u), 0x00123456u);
    EXPECT_EQ(colourRefFromRgb(0x00FF0000u), 0x000000FFu);
    EXPECT_EQ(colourRefFromRgb(0x000000FFu), 0x00FF0000u);
    EXPECT_EQ(colourRefFromRgb(0x0000FF00u), 0x0000FF00u);
}

TEST(ColourBytes, TopByteIsDropped)
{
    EXPECT_EQ(colourRefFromRgb(0xAB123456u), 0x00563412u);
    EXPECT_EQ(rgbFromColourRef(0xFF563412u), 0x00123456u);
    // The "no colour" value -1 is not a colour and comes out as white.
    EXPECT_EQ(colourRefFromRgb(0xFFFFFFFFu), 0x00FFFFFFu);
}

TEST(ColourBytes, RoundTrip)
{
    for (uint32_t v : {0u, 1u, 0x00808080u, 0x00010203u, 0x00FEDCBAu, 0x00FFFFFFu})
        EXPECT_EQ(rgbFromColourRef(colourRefFromRgb(v)), v);
}

TEST(DriveRoot, RootIsCutToTheDrive)
{
    char path[] = "C:\\";
    EXPECT_TRUE(trimDriveRoot(path));
    EXPECT_STREQ(path, "C:");
}

TEST(DriveRoot, OtherPathsStay)
{
    for (const char* text : {"D:\\pics", "C:", "", "\\\\s", "C:\\a", "ab\\", "C:/"}) {
        char path[16];
        std::strcpy(path, text);
        EXPECT_FALSE(trimDriveRoot(path)) << text;
        EXPECT_STREQ(path, text);
    }
}

}  // namespace
