// Colour counting, palette order, bit depth choice, row strides and packing.

#include <gtest/gtest.h>

#include <vector>

#include "core/byte_buffer.h"
#include "engine/colour_analysis.h"
#include "tests/engine/engine_test_support.h"

namespace {

constexpr uint32_t kRed = 0xFF0000, kGreen = 0x00FF00, kBlue = 0x0000FF, kWhite = 0xFFFFFF,
                   kBlack = 0x000000, kGrey = 0x808080;

// A picture given as rows from the top.
TestPicture pictureOf(const std::vector<std::vector<uint32_t>>& rows)
{
    TestPicture picture(static_cast<int32_t>(rows[0].size()), static_cast<int32_t>(rows.size()));
    for (size_t y = 0; y < rows.size(); ++y)
        for (size_t x = 0; x < rows[y].size(); ++x)
            picture.set(static_cast<int32_t>(x), static_cast<int32_t>(y), rows[y][x]);
    return picture;
}

std::vector<uint32_t> paletteOf(TestPicture& picture, int32_t transparent = -1)
{
    std::vector<uint8_t> palette(kPaletteBytes, 0);
    const ConvertRequest request = picture.request(transparent);
    const int32_t n = buildPalette(request, palette.data());
    std::vector<uint32_t> colours;
    for (int32_t k = 0; k < n; ++k)
        colours.push_back((uint32_t(palette[k * 3]) << 16) | (uint32_t(palette[k * 3 + 1]) << 8) |
                          palette[k * 3 + 2]);
    return colours;
}

// A picture with exactly n distinct colours, one row.
TestPicture distinctColours(int32_t n)
{
    TestPicture picture(n, 1);
    for (int32_t x = 0; x < n; ++x)
        picture.set(x, 0, ((static_cast<uint32_t>(x) >> 8) << 16) | (static_cast<uint32_t>(x) & 0xFF));
    return picture;
}

}   // namespace

TEST(Palette, EntriesFollowFirstAppearanceFromTheBottomRow)
{
    // Memory order starts with the bottom row: red, green, blue, green, then
    // the top row. Red, green and black each repeat once: the tie keeps red.
    TestPicture picture = pictureOf({{kWhite, kRed, kBlack, kBlack}, {kRed, kGreen, kBlue, kGreen}});
    EXPECT_EQ(paletteOf(picture), (std::vector<uint32_t>{kRed, kGreen, kBlue, kWhite, kBlack}));
}

TEST(Palette, MostFrequentColourSwapsWithEntryZeroOnly)
{
    TestPicture picture = pictureOf({{kBlue, kBlue, kWhite, kRed}, {kRed, kGreen, kBlue, kBlue}});
    // Order of appearance red, green, blue, white; blue is the most frequent.
    EXPECT_EQ(paletteOf(picture), (std::vector<uint32_t>{kBlue, kGreen, kRed, kWhite}));
}

TEST(Palette, EqualFrequencyKeepsTheColourSeenFirst)
{
    TestPicture picture = pictureOf({{kGreen, kRed}, {kRed, kGreen}});
    EXPECT_EQ(paletteOf(picture), (std::vector<uint32_t>{kRed, kGreen}));
    TestPicture swapped = pictureOf({{kRed, kGreen}, {kGreen, kRed}});
    EXPECT_EQ(paletteOf(swapped), (std::vector<uint32_t>{kGreen, kRed}));
}

TEST(Palette, TransparentColourTakesEntryZeroWhateverItsFrequency)
{
    // Green is the most frequent, grey (transparent) the rarest.
    TestPicture picture =
        pictureOf({{kGreen, kGreen, kGreen, kGreen}, {kRed, kGreen, kGrey, kBlue}});
    EXPECT_EQ(paletteOf(picture, kGrey), (std::vector<uint32_t>{kGrey, kGreen, kRed, kBlue}));
}

TEST(Palette, TransparentColourSeenFirstStaysWhereItIs)
{
    TestPicture picture = pictureOf({{kRed, kRed, kRed}, {kGrey, kBlue, kRed}});
    EXPECT_EQ(paletteOf(picture, kGrey), (std::vector<uint32_t>{kGrey, kBlue, kRed}));
}

TEST(Palette, AbsentTransparentColourDisablesTheFrequencyRule)
{
    TestPicture picture = pictureOf({{kGreen, kGreen, kGreen}, {kRed, kGreen, kBlue}});
    EXPECT_EQ(paletteOf(picture, kGrey), (std::vector<uint32_t>{kRed, kGreen, kBlue}));
    EXPECT_EQ(paletteOf(picture), (std::vector<uint32_t>{kGreen, kRed, kBlue}));
}

TEST(Palette, TransparentColourIsMatchedOnColourBytesOnly)
{
    TestPicture picture = pictureOf({{kRed, kBlue}});
    picture.set(1, 0, kBlue, 0);   // alpha differs; still the transparent colour
    EXPECT_EQ(paletteOf(picture, kBlue), (std::vector<uint32_t>{kBlue, kRed}));
}

TEST(Palette, ColoursDifferingOnlyInAlphaAreOne)
{
    TestPicture picture(3, 1);
    picture.set(0, 0, kRed, 255);
    picture.set(1, 0, kRed, 10);
    picture.set(2, 0, kRed, 0);
    EXPECT_EQ(paletteOf(picture), (std::vector<uint32_t>{kRed}));
}

TEST(Palette, ExactlyTwoHundredFiftySixColoursFitAndOneMoreDoesNot)
{
    TestPicture fits = distinctColours(256);
    EXPECT_EQ(paletteOf(fits).size(), 256u);
    TestPicture tooMany = distinctColours(257);
    std::vector<uint8_t> palette(kPaletteBytes, 0);
    EXPECT_EQ(buildPalette(tooMany.request(), palette.data()), 0);
}

TEST(BitDepth, FollowsTheColourCountThresholds)
{
    const struct { int32_t colours; int32_t depth; } cases[] = {
        {1, 1}, {2, 1}, {3, 2}, {4, 2}, {5, 4}, {16, 4}, {17, 8}, {256, 8}, {257, 24},
    };
    for (const auto& c : cases) {
        TestPicture picture = distinctColours(c.colours);
        std::vector<uint8_t> palette(kPaletteBytes, 0);
        int32_t count = -1;
        EXPECT_EQ(chooseBitDepth(picture.request(), palette.data(), count), c.depth)
            << c.colours << " colours";
        EXPECT_EQ(count, c.colours == 257 ? 0 : c.colours);
    }
}

TEST(BitDepth, AlphaMeansThirtyTwoBitsWithoutAnalysis)
{
    TestPicture picture = distinctColours(2);
    std::vector<uint8_t> palette(kPaletteBytes, 0);
    int32_t count = -7;
    EXPECT_EQ(chooseBitDepth(picture.request(-1, true), palette.data(), count), 32);
    EXPECT_EQ(count, -7);
    EXPECT_EQ(palette, std::vector<uint8_t>(kPaletteBytes, 0));
}

TEST(RowStride, MatchesThePackedRowLayout)
{
    for (int32_t w = 1; w <= 40; ++w) {
        EXPECT_EQ(rowStride(1, w), uint32_t((w + 7) / 8 + 1)) << w;
        EXPECT_EQ(rowStride(2, w), uint32_t((w + 3) / 4 + 1)) << w;
        EXPECT_EQ(rowStride(4, w), uint32_t((w + 1) / 2 + 1)) << w;
        EXPECT_EQ(rowStride(8, w), uint32_t(w + 1)) << w;
        EXPECT_EQ(rowStride(24, w), uint32_t(3 * w + 1)) << w;
        EXPECT_EQ(rowStride(32, w), uint32_t(4 * w + 1)) << w;
    }
    EXPECT_EQ(rowStride(4, 5), 4u);
    EXPECT_EQ(rowStride(1, 9), 3u);
    EXPECT_EQ(rowStride(2, 5), 3u);
}

TEST(RowStride, RefusesSizesBeyondOneBlock)
{
    EXPECT_EQ(rowStride(8, 0x7FFFFFFE), 0x7FFFFFFFu);
    EXPECT_EQ(rowStride(8, 0x7FFFFFFF), 0u);
    EXPECT_EQ(rowStride(32, 0x20000000), 0u);
    EXPECT_EQ(rowStride(24, 0x2AAAAAAA), 0x7FFFFFFFu);
    EXPECT_EQ(rowStride(24, 0x2AAAAAAB), 0u);
    EXPECT_EQ(rowStride(8, 0), 0u);
    EXPECT_EQ(rowStride(8, -3), 0u);
    EXPECT_EQ(rowStride(16, 10), 0u);
    uint32_t bytes = 0;
    EXPECT_FALSE(imageByteCount(0x10000, 0x10000, bytes));
    EXPECT_FALSE(imageByteCount(0, 10, bytes));
    EXPECT_TRUE(imageByteCount(0x7FFF, 0x10000, bytes));
    EXPECT_EQ(bytes, 0x7FFF0000u);
}

namespace {

// Packs picture at depth with its own palette; returns the rows.
std::vector<uint8_t> packed(TestPicture& picture, int32_t depth, uint32_t& stride,
                            bool hasAlpha = false)
{
    std::vector<uint8_t> palette(kPaletteBytes, 0);
    const ConvertRequest request = picture.request(-1, hasAlpha);
    int32_t count = 0;
    chooseBitDepth(request, palette.data(), count);
    ByteBuffer rows;
    EXPECT_TRUE(packRows(request, palette.data(), count, depth, rows, stride));
    return std::vector<uint8_t>(rows.data, rows.data + rows.size);
}

}   // namespace

TEST(PackRows, OneBitAtWidthNineFillsThreeBytesTopRowFirst)
{
    // Bottom row first in memory: red (index 0, seen first, ties keep it).
    TestPicture picture = pictureOf({{kRed, kBlue, kRed, kRed, kBlue, kBlue, kRed, kRed, kBlue},
                                     {kRed, kRed, kRed, kRed, kRed, kRed, kRed, kRed, kBlue}});
    uint32_t stride = 0;
    const std::vector<uint8_t> rows = packed(picture, 1, stride);
    ASSERT_EQ(stride, 3u);
    // Red appears 13 times, so it stays entry 0 and blue is entry 1.
    EXPECT_EQ(rows, (std::vector<uint8_t>{0, 0x4C, 0x80, 0, 0x00, 0x80}));
}

TEST(PackRows, TwoBitsPackFourIndicesHighBitsFirst)
{
    TestPicture picture = pictureOf({{kRed, kGreen, kBlue, kWhite, kBlue}});
    uint32_t stride = 0;
    const std::vector<uint8_t> rows = packed(picture, 2, stride);
    ASSERT_EQ(stride, 3u);
    // Order of appearance red, green, blue, white; blue, the only repeated
    // colour, swaps with red: palette blue, green, red, white.
    EXPECT_EQ(rows, (std::vector<uint8_t>{0, 0b10'01'00'11, 0b00'00'00'00}));
}

TEST(PackRows, FourBitsAtWidthFiveLeaveTheLastLowHalfZero)
{
    std::vector<uint32_t> colours = {kRed, kGreen, kBlue, kWhite, kGrey};
    TestPicture picture = pictureOf({colours});
    uint32_t stride = 0;
    const std::vector<uint8_t> rows = packed(picture, 4, stride);
    ASSERT_EQ(stride, 4u);
    EXPECT_EQ(rows, (std::vector<uint8_t>{0, 0x01, 0x23, 0x40}));
}

TEST(PackRows, EightBitsAlsoServeASmallPalette)
{
    TestPicture picture = pictureOf({{kRed, kGreen, kBlue}, {kGreen, kGreen, kRed}});
    uint32_t stride = 0;
    const std::vector<uint8_t> rows = packed(picture, 8, stride);
    ASSERT_EQ(stride, 4u);
    // Memory order green, green, red, red, green, blue: green is entry 0.
    EXPECT_EQ(rows, (std::vector<uint8_t>{0, 1, 0, 2, 0, 0, 0, 1}));
}

TEST(PackRows, TrueColourRowsCarryRedGreenBlueAndAlpha)
{
    TestPicture picture(2, 2);
    picture.set(0, 0, 0x102030, 40);
    picture.set(1, 0, 0x506070, 80);
    picture.set(0, 1, 0x8090A0, 160);
    picture.set(1, 1, 0xB0C0D0, 200);
    uint32_t stride = 0;
    EXPECT_EQ(packed(picture, 24, stride),
              (std::vector<uint8_t>{0, 0x10, 0x20, 0x30, 0x50, 0x60, 0x70,
                                    0, 0x80, 0x90, 0xA0, 0xB0, 0xC0, 0xD0}));
    EXPECT_EQ(stride, 7u);
    EXPECT_EQ(packed(picture, 32, stride, true),
              (std::vector<uint8_t>{0, 0x10, 0x20, 0x30, 40, 0x50, 0x60, 0x70, 80,
                                    0, 0x80, 0x90, 0xA0, 160, 0xB0, 0xC0, 0xD0, 200}));
    EXPECT_EQ(stride, 9u);
}

TEST(PackRows, AColourOutsideThePaletteGetsIndexZero)
{
    TestPicture picture = pictureOf({{kRed, kGreen, kBlue}});
    const uint8_t palette[kPaletteBytes] = {0xFF, 0, 0, 0, 0, 0xFF};   // red, blue
    ByteBuffer rows;
    uint32_t stride = 0;
    ASSERT_TRUE(packRows(picture.request(), palette, 2, 8, rows, stride));
    EXPECT_EQ(std::vector<uint8_t>(rows.data, rows.data + rows.size),
              (std::vector<uint8_t>{0, 0, 0, 1}));
}

TEST(PackRows, RefusesIndicesThatDoNotFitTheDepth)
{
    TestPicture picture = distinctColours(5);
    std::vector<uint8_t> palette(kPaletteBytes, 0);
    ASSERT_EQ(buildPalette(picture.request(), palette.data()), 5);
    ByteBuffer rows;
    uint32_t stride = 0;
    EXPECT_FALSE(packRows(picture.request(), palette.data(), 5, 2, rows, stride));
    EXPECT_FALSE(packRows(picture.request(), palette.data(), 0, 8, rows, stride));
    EXPECT_TRUE(packRows(picture.request(), palette.data(), 5, 4, rows, stride));
}

TEST(PackRows, RefusesRowsThatWouldOverflowOneBlock)
{
    // Pixel memory is never touched when the size is refused, so a token buffer does.
    uint8_t pixel[4] = {};
    ConvertRequest request;
    request.pixels = pixel;
    request.width = 0x10000;
    request.height = 0x10000;
    const uint8_t palette[kPaletteBytes] = {};
    ByteBuffer rows;
    uint32_t stride = 0;
    EXPECT_FALSE(packRows(request, palette, 1, 1, rows, stride));
    EXPECT_EQ(rows.data, nullptr);
}
