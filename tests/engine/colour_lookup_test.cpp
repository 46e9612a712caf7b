// The palette and the packed indices against a plain linear search of the
// palette, the most direct reading of the ordering rules, on many random
// pictures: the hashed lookups must give the very same entries and indices.

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "core/byte_buffer.h"
#include "engine/colour_analysis.h"
#include "tests/engine/engine_test_support.h"

namespace {

// The palette by linear search: entries in order of first appearance (memory
// order), the transparent colour swapped to entry 0 when it appears, else the
// most frequent colour (lowest entry among equals) swapped to entry 0.
int32_t linearPalette(const TestPicture& picture, int32_t transparent, std::vector<uint8_t>& palette)
{
    palette.assign(768, 0);
    std::vector<uint32_t> repeats(256, 0);
    int32_t count = 0;
    for (size_t i = 0; i < picture.bgra.size(); i += 4) {
        const uint8_t* p = &picture.bgra[i];
        int32_t found = -1;
        for (int32_t k = 0; k < count && found < 0; ++k)
            if (palette[k * 3] == p[2] && palette[k * 3 + 1] == p[1] && palette[k * 3 + 2] == p[0])
                found = k;
        if (found >= 0) {
            ++repeats[found];
            continue;
        }
        if (count == 256)
            return 0;
        palette[count * 3] = p[2];
        palette[count * 3 + 1] = p[1];
        palette[count * 3 + 2] = p[0];
        ++count;
        const uint32_t rgb = (uint32_t(p[2]) << 16) | (uint32_t(p[1]) << 8) | p[0];
        if (transparent != -1 && count > 1 && rgb == static_cast<uint32_t>(transparent))
            for (int c = 0; c < 3; ++c)
                std::swap(palette[c], palette[(count - 1) * 3 + c]);
    }
    if (transparent == -1 && count > 0) {
        int32_t most = 0;
        for (int32_t k = 1; k < count; ++k)
            if (repeats[k] > repeats[most])
                most = k;
        for (int c = 0; c < 3; ++c)
            std::swap(palette[c], palette[most * 3 + c]);
    }
    return count;
}

// The index of a pixel's colour by linear search: the first matching entry.
uint8_t linearIndex(const std::vector<uint8_t>& palette, int32_t count, uint32_t rgb)
{
    for (int32_t k = 0; k < count; ++k)
        if (palette[k * 3] == (rgb >> 16 & 0xFF) && palette[k * 3 + 1] == (rgb >> 8 & 0xFF) &&
            palette[k * 3 + 2] == (rgb & 0xFF))
            return static_cast<uint8_t>(k);
    return 0;
}

// Colours that share hash slots often: many differ in one byte only.
TestPicture randomPicture(std::mt19937& random, int colours)
{
    std::vector<uint32_t> set;
    const uint32_t base = random() & 0xFFFFFF;
    for (int i = 0; i < colours; ++i)
        set.push_back(i % 3 == 0 ? (base + static_cast<uint32_t>(i)) & 0xFFFFFF
                                 : random() & 0xFFFFFF);
    const int32_t width = 1 + static_cast<int32_t>(random() % 40);
    const int32_t height = 1 + static_cast<int32_t>(random() % 40);
    TestPicture picture(width, height);
    // Skewed choice, so frequencies differ and ties happen too.
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x) {
            const uint32_t a = random() % set.size();
            const uint32_t b = random() % set.size();
            picture.set(x, y, set[a < b ? a : b], static_cast<uint8_t>(random()));
        }
    return picture;
}

}   // namespace

TEST(ColourLookup, PaletteAndIndicesEqualALinearSearch)
{
    std::mt19937 random(20240611);
    int palettes = 0;
    for (int round = 0; round < 400; ++round) {
        const int colours = 1 + static_cast<int>(random() % 300);
        TestPicture picture = randomPicture(random, colours);
        int32_t transparent = -1;
        switch (random() % 3) {
        case 0: transparent = static_cast<int32_t>(picture.rgbAt(0, 0)); break;
        case 1: transparent = static_cast<int32_t>(random() & 0xFFFFFF); break;   // mostly absent
        default: break;
        }
        std::vector<uint8_t> expected;
        const int32_t expectedCount = linearPalette(picture, transparent, expected);

        ConvertRequest request = picture.request(transparent);
        ByteBuffer palette;
        ASSERT_TRUE(palette.allocate(768, true));
        int32_t count = -1;
        const int32_t depth = chooseBitDepth(request, palette.data, count);
        ASSERT_EQ(count, expectedCount) << "round " << round;
        if (count == 0) {
            EXPECT_EQ(depth, 24);
            continue;
        }
        ++palettes;
        ASSERT_EQ(std::memcmp(palette.data, expected.data(), 3 * count), 0) << "round " << round;

        ByteBuffer packed;
        uint32_t stride = 0;
        ASSERT_TRUE(packRows(request, palette.data, count, 8, packed, stride));
        for (int32_t y = 0; y < picture.height; ++y)
            for (int32_t x = 0; x < picture.width; ++x)
                ASSERT_EQ(packed.data[y * stride + 1 + x],
                          linearIndex(expected, count, picture.rgbAt(x, y)))
                    << "round " << round << " pixel " << x << "," << y;
    }
    EXPECT_GT(palettes, 200);
}

TEST(ColourLookup, PackingAnyPaletteFindsTheFirstEqualEntry)
{
    // A palette handed in with a repeated colour, and a pixel colour that is
    // not in it: the first equal entry, and 0.
    const uint8_t palette[12] = {1, 2, 3, 9, 9, 9, 4, 5, 6, 9, 9, 9};
    TestPicture picture(4, 1);
    picture.set(0, 0, 0x040506);
    picture.set(1, 0, 0x090909);
    picture.set(2, 0, 0x777777);
    picture.set(3, 0, 0x010203);
    ConvertRequest request = picture.request();
    ByteBuffer packed;
    uint32_t stride = 0;
    ASSERT_TRUE(packRows(request, palette, 4, 8, packed, stride));
    EXPECT_EQ(std::vector<uint8_t>(packed.data, packed.data + 5),
              (std::vector<uint8_t>{0, 2, 1, 0, 0}));
}
