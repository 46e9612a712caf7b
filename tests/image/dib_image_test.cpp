#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "core/dib_image.h"
#include "tests/common/test_support.h"

namespace {

constexpr uint32_t kGrey = 0x00808080u;
constexpr uint32_t kLight = 0x00F0F0F0u;
constexpr uint32_t kDark = 0x00D0D0D0u;

uint32_t argb(uint32_t a, uint32_t r, uint32_t g, uint32_t b)
{
    return a << 24 | r << 16 | g << 8 | b;
}

// Fills image (created at w x h) with distinct words that vary in every byte.
void fillPattern(DibImage& image, int32_t w, int32_t h)
{
    ASSERT_TRUE(image.create(w, h));
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x)
            image.setPixelAt(x, y, argb(uint32_t(x * 37 + y * 11) & 0xFF, uint32_t(x * 13) & 0xFF,
                                        uint32_t(y * 29) & 0xFF, uint32_t(x + y * 7) & 0xFF));
}

std::vector<uint8_t> bytesOf(const DibImage& image)
{
    return std::vector<uint8_t>(image.bits, image.bits + size_t(image.width) * image.height * 4);
}

}  // namespace

TEST(DibImageLifecycle, EmptyOnConstructionAndReleaseOfEmptyFails)
{
    DibImage image;
    EXPECT_TRUE(image.isEmpty());
    EXPECT_EQ(image.bitmap, nullptr);
    EXPECT_EQ(image.width, 0);
    EXPECT_EQ(image.height, 0);
    EXPECT_FALSE(image.release());
}

TEST(DibImageLifecycle, CreateLaysRowsOutBottomUp)
{
    DibImage image;
    ASSERT_TRUE(image.create(3, 2));
    EXPECT_NE(image.bitmap, nullptr);
    EXPECT_EQ(image.width, 3);
    EXPECT_EQ(image.height, 2);
    EXPECT_EQ(image.topRow, image.bits + 3 * 4);
    EXPECT_EQ(image.rowAt(1), image.bits);

    // A pixel word is blue, green, red, alpha in memory.
    image.setPixelAt(0, 0, 0x11223344u);   // top-left
    image.setPixelAt(2, 1, 0xA1B2C3D4u);   // bottom-right
    EXPECT_EQ(image.topRow[0], 0x44);
    EXPECT_EQ(image.topRow[1], 0x33);
    EXPECT_EQ(image.topRow[2], 0x22);
    EXPECT_EQ(image.topRow[3], 0x11);
    EXPECT_EQ(image.bits[8], 0xD4);
    EXPECT_EQ(image.bits[11], 0xA1);
    EXPECT_EQ(image.pixelAt(0, 0), 0x11223344u);
    EXPECT_EQ(image.pixelAt(2, 1), 0xA1B2C3D4u);
}

TEST(DibImageLifecycle, HeightOneHasTopRowAtBits)
{
    DibImage image;
    ASSERT_TRUE(image.create(5, 1));
    EXPECT_EQ(image.topRow, image.bits);
}

TEST(DibImageLifecycle, RefusedSizesLeaveTheImageEmpty)
{
    DibImage image;
    ASSERT_TRUE(image.create(2, 2));
    EXPECT_FALSE(image.create(0, 5));
    EXPECT_TRUE(image.isEmpty());
    EXPECT_EQ(image.width, 0);
    EXPECT_FALSE(image.create(4, 0));
    EXPECT_FALSE(image.create(-1, 3));
    EXPECT_FALSE(image.create(3, -1));
    // 65536 * 65536 * 4 bytes is beyond any block the program takes.
    EXPECT_FALSE(image.create(65536, 65536));
    EXPECT_TRUE(image.isEmpty());
    EXPECT_EQ(image.bits, nullptr);
}

TEST(DibImageLifecycle, CreateReplacesAndReleaseEmpties)
{
    DibImage image;
    image.hasAlpha = 1;
    ASSERT_TRUE(image.create(2, 2));
    ASSERT_TRUE(image.create(4, 1));
    EXPECT_EQ(image.width, 4);
    EXPECT_EQ(image.height, 1);
    EXPECT_EQ(image.hasAlpha, 1);   // create leaves it to whoever fills the image
    EXPECT_TRUE(image.release());
    EXPECT_TRUE(image.isEmpty());
    EXPECT_EQ(image.bitmap, nullptr);
    EXPECT_EQ(image.width, 0);
    EXPECT_EQ(image.height, 0);
    EXPECT_EQ(image.hasAlpha, 1);
    EXPECT_FALSE(image.release());
}

TEST(DibImagePixels, MakeOpaqueSetsOnlyAlpha)
{
    DibImage image;
    fillPattern(image, 5, 3);
    const std::vector<uint8_t> before = bytesOf(image);
    image.makeOpaque();
    for (size_t i = 0; i < before.size(); ++i)
        EXPECT_EQ(image.bits[i], (i % 4 == 3) ? 255 : before[i]) << "byte " << i;
}

TEST(DibImagePixels, CheckerOf16x16HasFourSquares)
{
    DibImage image;
    ASSERT_TRUE(image.create(16, 16));
    std::memset(image.bits, 0x55, 16 * 16 * 4);
    image.fillChecker();
    for (int32_t y = 0; y < 16; ++y)
        for (int32_t x = 0; x < 16; ++x)
            EXPECT_EQ(image.pixelAt(x, y), ((x < 8) == (y < 8)) ? kLight : kDark) << x << "," << y;
}

TEST(DibImagePixels, CheckerRepeatsEverySixteenPixels)
{
    DibImage image;
    ASSERT_TRUE(image.create(21, 19));
    image.fillChecker();
    EXPECT_EQ(image.pixelAt(16, 0), kLight);
    EXPECT_EQ(image.pixelAt(20, 18), kLight);   // square (2, 2)
    EXPECT_EQ(image.pixelAt(16, 8), kDark);
    EXPECT_EQ(image.pixelAt(7, 17), kLight);
    EXPECT_EQ(image.pixelAt(8, 17), kDark);
}

TEST(DibImageScale, SameSizeCopiesEveryByteIncludingAlpha)
{
    DibImage source;
    fillPattern(source, 7, 5);
    DibImage target;
    ASSERT_TRUE(target.scaleFrom(7, 5, source));
    EXPECT_EQ(bytesOf(target), bytesOf(source));
}

TEST(DibImageScale, FullyTransparentSourceGivesTransparentWhite)
{
    DibImage source;
    fillPattern(source, 4, 4);
    for (int32_t y = 0; y < 4; ++y)
        for (int32_t x = 0; x < 4; ++x)
            source.setPixelAt(x, y, source.pixelAt(x, y) & 0x00FFFFFF);
    DibImage target;
    ASSERT_TRUE(target.scaleFrom(9, 3, source));
    for (int32_t y = 0; y < 3; ++y)
        for (int32_t x = 0; x < 9; ++x)
            EXPECT_EQ(target.pixelAt(x, y), 0x00FFFFFFu) << x << "," << y;
}

TEST(DibImageScale, TransparentRegionStaysTransparentWhite)
{
    // Left half transparent, right half opaque red.
    DibImage source;
    ASSERT_TRUE(source.create(4, 2));
    for (int32_t y = 0; y < 2; ++y)
        for (int32_t x = 0; x < 4; ++x)
            source.setPixelAt(x, y, x < 2 ? argb(0, 10, 200, 30) : argb(255, 255, 0, 0));
    DibImage target;
    ASSERT_TRUE(target.scaleFrom(8, 2, source));
    // Targets 0 and 1 sample source columns 0 and 1 only.
    EXPECT_EQ(target.pixelAt(0, 0), 0x00FFFFFFu);
    EXPECT_EQ(target.pixelAt(1, 1), 0x00FFFFFFu);
    // Target 3 sits halfway between column 1 (transparent) and 2 (red): alpha
    // 127.5 rounds to 128 and the colour is red alone, because the weights
    // include alpha: 255 * 255 / 2 / 128 = 254.0.
    EXPECT_EQ(target.pixelAt(3, 0), argb(128, 254, 0, 0));
    EXPECT_EQ(target.pixelAt(4, 0), argb(255, 255, 0, 0));
}

TEST(DibImageScale, OnePixelSourceFillsEverything)
{
    for (uint32_t alpha : {255u, 77u, 0u}) {
        DibImage source;
        ASSERT_TRUE(source.create(1, 1));
        source.setPixelAt(0, 0, argb(alpha, 12, 34, 56));
        DibImage target;
        ASSERT_TRUE(target.scaleFrom(5, 3, source));
        const uint32_t expected = alpha == 0 ? 0x00FFFFFFu : argb(alpha, 12, 34, 56);
        for (int32_t y = 0; y < 3; ++y)
            for (int32_t x = 0; x < 5; ++x)
                EXPECT_EQ(target.pixelAt(x, y), expected) << "alpha " << alpha << " at " << x << "," << y;
    }
}

TEST(DibImageScale, UpscaleWeighsNeighboursByAlpha)
{
    // 2 x 1 to 4 x 1: target 1 is halfway between the two source pixels,
    // target 3 clamps to the last one.
    DibImage source;
    ASSERT_TRUE(source.create(2, 1));
    source.setPixelAt(0, 0, argb(255, 200, 0, 40));
    source.setPixelAt(1, 0, argb(55, 100, 80, 0));
    DibImage target;
    ASSERT_TRUE(target.scaleFrom(4, 1, source));
    // alpha (255 + 55) / 2 = 155; red (200*255 + 100*55) / 2 / 155 = 182.26;
    // green 80*55 / 2 / 155 = 14.19; blue 40*255 / 2 / 155 = 32.9.
    EXPECT_EQ(target.pixelAt(1, 0), argb(155, 182, 14, 33));
    EXPECT_EQ(target.pixelAt(0, 0), argb(255, 200, 0, 40));
    EXPECT_EQ(target.pixelAt(3, 0), argb(55, 100, 80, 0));
    // Target 2 starts exactly on source pixel 1.
    EXPECT_EQ(target.pixelAt(2, 0), argb(55, 100, 80, 0));
}

TEST(DibImageScale, NonSquareUpscaleInterpolatesBothAxes)
{
    // 2 x 2 to 3 x 3: steps of 2/3 source pixel in each direction.
    DibImage source;
    ASSERT_TRUE(source.create(2, 2));
    source.setPixelAt(0, 0, argb(255, 0, 0, 0));
    source.setPixelAt(1, 0, argb(255, 90, 0, 0));
    source.setPixelAt(0, 1, argb(255, 180, 0, 0));
    source.setPixelAt(1, 1, argb(255, 240, 0, 0));
    DibImage target;
    ASSERT_TRUE(target.scaleFrom(3, 3, source));
    // (1,1): fx = fy = 2/3: (0/3 + 90*2/3)/3 + (180/3 + 240*2/3)*2/3 = 166.67.
    EXPECT_EQ(target.pixelAt(1, 1), argb(255, 167, 0, 0));
    // (1,0): fx = 2/3 on the top row: 60.
    EXPECT_EQ(target.pixelAt(1, 0), argb(255, 60, 0, 0));
    // (0,2): sy0 = 1, fy = 1/3, clamped to the bottom row: 180.
    EXPECT_EQ(target.pixelAt(0, 2), argb(255, 180, 0, 0));
    // (2,2): both axes clamp to (1,1).
    EXPECT_EQ(target.pixelAt(2, 2), argb(255, 240, 0, 0));
    EXPECT_EQ(target.pixelAt(0, 0), argb(255, 0, 0, 0));
}

TEST(DibImageScale, NonSquareShrinkSamplesTopLeftCorners)
{
    // 6 x 4 to 3 x 1: x steps of 2, y steps of 4 source pixels; every target
    // pixel starts exactly on a source pixel, so no blending happens.
    DibImage source;
    fillPattern(source, 6, 4);
    source.makeOpaque();
    DibImage target;
    ASSERT_TRUE(target.scaleFrom(3, 1, source));
    EXPECT_EQ(target.width, 3);
    EXPECT_EQ(target.height, 1);
    for (int32_t x = 0; x < 3; ++x)
        EXPECT_EQ(target.pixelAt(x, 0), source.pixelAt(2 * x, 0)) << x;
}

TEST(DibImageScale, RefusedTargetsAndSources)
{
    DibImage source;
    fillPattern(source, 3, 3);
    DibImage target;
    EXPECT_FALSE(target.scaleFrom(0, 4, source));
    EXPECT_TRUE(target.isEmpty());
    EXPECT_FALSE(target.scaleFrom(4, -2, source));
    EXPECT_TRUE(target.isEmpty());

    DibImage empty;
    EXPECT_FALSE(target.scaleFrom(4, 4, empty));

    // Scaling an image into itself would free the memory it reads.
    const std::vector<uint8_t> before = bytesOf(source);
    EXPECT_FALSE(source.scaleFrom(6, 6, source));
    ASSERT_EQ(source.width, 3);
    EXPECT_EQ(bytesOf(source), before);
}

TEST(DibImageBlend, OpaqueWhiteOverBlackGives254)
{
    DibImage target;
    ASSERT_TRUE(target.create(3, 3));
    for (int32_t y = 0; y < 3; ++y)
        for (int32_t x = 0; x < 3; ++x)
            target.setPixelAt(x, y, argb(9, 0, 0, 0));
    DibImage source;
    ASSERT_TRUE(source.create(1, 1));
    source.setPixelAt(0, 0, argb(255, 255, 255, 255));
    target.blendAt(1, 2, source);
    EXPECT_EQ(target.pixelAt(1, 2), argb(9, 254, 254, 254));   // the target keeps its alpha
    EXPECT_EQ(target.pixelAt(1, 1), argb(9, 0, 0, 0));
    EXPECT_EQ(target.pixelAt(2, 2), argb(9, 0, 0, 0));
}

TEST(DibImageBlend, OpaqueBlackOverWhiteGivesZero)
{
    DibImage target;
    ASSERT_TRUE(target.create(1, 1));
    target.setPixelAt(0, 0, argb(0, 255, 255, 255));
    DibImage source;
    ASSERT_TRUE(source.create(1, 1));
    source.setPixelAt(0, 0, argb(255, 0, 0, 0));
    target.blendAt(0, 0, source);
    EXPECT_EQ(target.pixelAt(0, 0), argb(0, 0, 0, 0));
}

TEST(DibImageBlend, PartialAlphaRoundsTowardMinusInfinity)
{
    DibImage target;
    ASSERT_TRUE(target.create(2, 1));
    target.setPixelAt(0, 0, argb(255, 0, 255, 100));
    target.setPixelAt(1, 0, argb(255, 0, 255, 100));
    DibImage source;
    ASSERT_TRUE(source.create(2, 1));
    source.setPixelAt(0, 0, argb(128, 255, 0, 100));
    source.setPixelAt(1, 0, argb(0, 255, 0, 0));   // transparent: target unchanged
    target.blendAt(0, 0, source);
    // red 0 + (255*128 >> 8) = 127; green 255 + (-255*128 >> 8) = 255 - 128 = 127;
    // blue unchanged because s = d.
    EXPECT_EQ(target.pixelAt(0, 0), argb(255, 127, 127, 100));
    EXPECT_EQ(target.pixelAt(1, 0), argb(255, 0, 255, 100));
}

TEST(DibImageBlend, SourceReachingPastTheEdgesIsClipped)
{
    DibImage target;
    ASSERT_TRUE(target.create(4, 3));
    std::memset(target.bits, 0, 4 * 3 * 4);
    DibImage source;
    ASSERT_TRUE(source.create(3, 3));
    for (int32_t y = 0; y < 3; ++y)
        for (int32_t x = 0; x < 3; ++x)
            source.setPixelAt(x, y, argb(255, 255, 255, 255));
    target.blendAt(2, 1, source);    // overhangs right and bottom
    target.blendAt(-2, -2, source);  // overhangs left and top
    for (int32_t y = 0; y < 3; ++y) {
        for (int32_t x = 0; x < 4; ++x) {
            const bool covered = (x >= 2 && y >= 1) || (x == 0 && y == 0);
            EXPECT_EQ(target.pixelAt(x, y), covered ? argb(0, 254, 254, 254) : 0u) << x << "," << y;
        }
    }
}

TEST(DibImageZoom, Zoom400RepeatsEachPixelInFourByFourBlocks)
{
    DibImage source;
    fillPattern(source, 3, 2);
    DibImage target;
    ASSERT_TRUE(target.create(16, 10));
    target.renderZoomed(source, 0, 0, 400);
    for (int32_t y = 0; y < 10; ++y) {
        for (int32_t x = 0; x < 16; ++x) {
            const uint32_t expected = (x < 12 && y < 8) ? source.pixelAt(x / 4, y / 4) : kGrey;
            EXPECT_EQ(target.pixelAt(x, y), expected) << x << "," << y;
        }
    }
}

TEST(DibImageZoom, OriginShiftsTheView)
{
    DibImage source;
    fillPattern(source, 4, 4);
    DibImage target;
    ASSERT_TRUE(target.create(8, 8));
    // Origin (4, 8) at zoom 400 is source pixel (1, 2).
    target.renderZoomed(source, 4, 8, 400);
    EXPECT_EQ(target.pixelAt(0, 0), source.pixelAt(1, 2));
    EXPECT_EQ(target.pixelAt(3, 3), source.pixelAt(1, 2));
    EXPECT_EQ(target.pixelAt(4, 4), source.pixelAt(2, 3));
    EXPECT_EQ(target.pixelAt(7, 7), source.pixelAt(2, 3));   // row 8 would be source row 4
    // Odd origin: the first block is cut to the two pixels left of it.
    target.renderZoomed(source, 2, 0, 400);
    EXPECT_EQ(target.pixelAt(0, 0), source.pixelAt(0, 0));
    EXPECT_EQ(target.pixelAt(1, 0), source.pixelAt(0, 0));
    EXPECT_EQ(target.pixelAt(2, 0), source.pixelAt(1, 0));
    EXPECT_EQ(target.pixelAt(5, 0), source.pixelAt(1, 0));
    EXPECT_EQ(target.pixelAt(6, 0), source.pixelAt(2, 0));
}

TEST(DibImageZoom, NegativeOriginShowsGreyBeforeTheSource)
{
    DibImage source;
    fillPattern(source, 2, 2);
    DibImage target;
    ASSERT_TRUE(target.create(6, 6));
    // -3 / 4 of a pixel rounds down to -1: three grey columns and rows.
    target.renderZoomed(source, -3, -5, 400);
    for (int32_t x = 0; x < 6; ++x) {
        EXPECT_EQ(target.pixelAt(x, 0), kGrey) << x;
        EXPECT_EQ(target.pixelAt(x, 4), kGrey) << x;
    }
    for (int32_t x = 0; x < 3; ++x)
        EXPECT_EQ(target.pixelAt(x, 5), kGrey) << x;
    EXPECT_EQ(target.pixelAt(3, 5), source.pixelAt(0, 0));
    EXPECT_EQ(target.pixelAt(5, 5), source.pixelAt(0, 0));
}

TEST(DibImageZoom, FixedPointStepDecidesBlockWidths)
{
    DibImage source;
    fillPattern(source, 8, 1);
    DibImage target;
    ASSERT_TRUE(target.create(12, 1));
    // Zoom 300: the step is 87381/2^18, slightly under a third, so the first
    // block is four pixels wide.
    target.renderZoomed(source, 0, 0, 300);
    EXPECT_EQ(target.pixelAt(3, 0), source.pixelAt(0, 0));
    EXPECT_EQ(target.pixelAt(4, 0), source.pixelAt(1, 0));
    EXPECT_EQ(target.pixelAt(6, 0), source.pixelAt(1, 0));
    EXPECT_EQ(target.pixelAt(7, 0), source.pixelAt(2, 0));
    // Zoom 100 copies; zoom 50 takes every other pixel.
    target.renderZoomed(source, 0, 0, 100);
    for (int32_t x = 0; x < 8; ++x)
        EXPECT_EQ(target.pixelAt(x, 0), source.pixelAt(x, 0));
    EXPECT_EQ(target.pixelAt(8, 0), kGrey);
    target.renderZoomed(source, 0, 0, 50);
    for (int32_t x = 0; x < 4; ++x)
        EXPECT_EQ(target.pixelAt(x, 0), source.pixelAt(2 * x, 0));
    EXPECT_EQ(target.pixelAt(4, 0), kGrey);
}

TEST(DibImageZoom, FarOriginDoesNotWrapAround)
{
    // 65536 * 40000 does not fit in 32 bits; the view must still start at source x 10000.
    DibImage source;
    ASSERT_TRUE(source.create(10002, 1));
    std::memset(source.bits, 0, 10002 * 4);
    source.setPixelAt(10000, 0, 0xFF123456u);
    DibImage target;
    ASSERT_TRUE(target.create(12, 1));
    target.renderZoomed(source, 40000, 0, 400);
    EXPECT_EQ(target.pixelAt(0, 0), 0xFF123456u);
    EXPECT_EQ(target.pixelAt(3, 0), 0xFF123456u);
    EXPECT_EQ(target.pixelAt(4, 0), 0u);
    EXPECT_EQ(target.pixelAt(8, 0), kGrey);
}

TEST(DibImageZoom, NonPositiveZoomLeavesTheTarget)
{
    DibImage source;
    fillPattern(source, 2, 2);
    DibImage target;
    fillPattern(target, 3, 3);
    const std::vector<uint8_t> before = bytesOf(target);
    target.renderZoomed(source, 0, 0, 0);
    target.renderZoomed(source, 0, 0, -100);
    EXPECT_EQ(bytesOf(target), before);
}
