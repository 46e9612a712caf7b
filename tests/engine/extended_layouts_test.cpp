// The extended search's parts on their own: what the colour analysis finds,
// the palette orders as permutations with their defining property, and the
// per-row filter plans undone by a plain reverse filter.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "engine/extended/extended_filters.h"
#include "engine/extended/extended_layouts.h"
#include "engine/png_optimizer.h"
#include "tests/engine/engine_test_support.h"

namespace {

ExactPicture pictureOf(TestPicture& picture, int32_t transparent, bool hasAlpha)
{
    ExactPicture exact;
    EXPECT_TRUE(exactPicture(picture.request(transparent, hasAlpha), exact));
    return exact;
}

TEST(ExtendedLayoutsTest, FactsOfTheColours)
{
    struct Case {
        uint32_t rgb[3];
        uint8_t alpha[3];
        bool hasAlpha;
        bool opaque, binary, grey, keyUsable;
        int32_t greyDepth;
    };
    const Case cases[] = {
        {{0x000000, 0xFFFFFF, 0x000000}, {255, 255, 255}, true, true, true, true, false, 1},
        {{0x555555, 0xAAAAAA, 0xFFFFFF}, {255, 255, 255}, true, true, true, true, false, 2},
        {{0x111111, 0x222222, 0x333333}, {255, 255, 255}, true, true, true, true, false, 4},
        {{0x111111, 0x232323, 0x333333}, {255, 255, 255}, true, true, true, true, false, 8},
        {{0x111111, 0x222222, 0x010203}, {255, 0, 255}, true, false, true, false, true, 0},
        // The transparent colour is also an opaque pixel's: no key.
        {{0x010203, 0x010203, 0x332211}, {0, 255, 255}, true, false, true, false, false, 0},
        // Two colours under transparent pixels: no key.
        {{0x010203, 0x010204, 0x332211}, {0, 0, 255}, true, false, true, false, false, 0},
        {{0x010203, 0x010203, 0x332211}, {0, 128, 255}, true, false, false, false, false, 0},
        // Without hasAlpha the alpha bytes mean nothing.
        {{0x010203, 0x010203, 0x332211}, {0, 128, 7}, false, true, true, false, false, 0},
    };
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        const Case& c = cases[i];
        TestPicture picture(3, 1);
        for (int x = 0; x < 3; ++x)
            picture.set(x, 0, c.rgb[x], c.alpha[x]);
        ColourFacts facts;
        ASSERT_TRUE(analyseColours(pictureOf(picture, -1, c.hasAlpha), facts));
        EXPECT_EQ(facts.opaque, c.opaque) << i;
        EXPECT_EQ(facts.binaryAlpha, c.binary) << i;
        EXPECT_EQ(facts.grey, c.grey) << i;
        EXPECT_EQ(facts.keyUsable, c.keyUsable) << i;
        EXPECT_EQ(facts.greyDepth, c.greyDepth) << i;
    }
}

TEST(ExtendedLayoutsTest, TransparentColourRequestBecomesAKey)
{
    TestPicture picture(4, 1);
    picture.fillCycling({0x102030, 0x405060});
    ColourFacts facts;
    ASSERT_TRUE(analyseColours(pictureOf(picture, 0x405060, false), facts));
    EXPECT_FALSE(facts.opaque);
    EXPECT_TRUE(facts.keyUsable);
    EXPECT_EQ(facts.keyRgba, 0x40506000u);
    ASSERT_EQ(facts.colours.size(), 2u);
}

TEST(ExtendedLayoutsTest, MoreThan256ColoursHaveNoPalette)
{
    TestPicture picture = cyclingPicture(300, 2, 257);
    ColourFacts facts;
    ExactPicture exact = pictureOf(picture, -1, false);
    ASSERT_TRUE(analyseColours(exact, facts));
    EXPECT_TRUE(facts.colours.empty());
    std::vector<Layout> layouts;
    ASSERT_TRUE(exactLayouts(exact, facts, layouts));
    for (const Layout& layout : layouts)
        EXPECT_NE(layout.kind, LAYOUT_PALETTE);
}

TEST(ExtendedLayoutsTest, PaletteOrdersArePermutationsWithTheirProperty)
{
    // Stripes of colours with different alphas and counts.
    TestPicture picture(40, 20);
    const uint32_t colours[6] = {0x808080, 0x101010, 0xF0F0F0, 0xFF0000, 0x00FF00, 0x0000FF};
    const uint8_t alphas[6] = {255, 255, 100, 255, 0, 255};
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 40; ++x) {
            const int k = x < 20 ? (x / 10) : 2 + (x + y) % 4;
            picture.set(x, y, colours[k], alphas[k]);
        }
    ExactPicture exact = pictureOf(picture, -1, true);
    ColourFacts facts;
    ASSERT_TRUE(analyseColours(exact, facts));
    ASSERT_EQ(facts.colours.size(), 6u);
    for (int32_t order = ORDER_INPUT; order < kPaletteOrderCount; ++order) {
        std::vector<uint32_t> entries = paletteOrder(facts, exact, order);
        std::vector<uint32_t> sorted = entries;
        std::vector<uint32_t> expected = facts.colours;
        std::sort(sorted.begin(), sorted.end());
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(sorted, expected) << order;
        const auto countOf = [&](uint32_t entry) {
            return facts.counts[std::find(facts.colours.begin(), facts.colours.end(), entry) -
                                facts.colours.begin()];
        };
        for (size_t i = 1; i < entries.size(); ++i) {
            const uint32_t a = entries[i - 1], b = entries[i];
            if (order == ORDER_INPUT) {
                EXPECT_EQ(a, facts.colours[i - 1]);
            }
            if (order == ORDER_POPULARITY) {
                const bool translucentA = (a & 0xFF) != 255, translucentB = (b & 0xFF) != 255;
                EXPECT_TRUE(translucentA > translucentB ||
                            (translucentA == translucentB && countOf(a) >= countOf(b)));
            }
            if (order == ORDER_LUMINANCE) {
                const auto luma = [](uint32_t v) {
                    return 299 * (v >> 24) + 587 * ((v >> 16) & 0xFF) + 114 * ((v >> 8) & 0xFF);
                };
                EXPECT_LE(luma(a), luma(b));
            }
        }
    }
    // The two left stripes touch only each other and the first right colour:
    // the neighbour order keeps the touching pair adjacent.
    const std::vector<uint32_t> chain = paletteOrder(facts, exact, ORDER_NEIGHBOUR);
    const auto at = [&](uint32_t rgb, uint8_t alpha) {
        return std::find(chain.begin(), chain.end(), rgb << 8 | alpha) - chain.begin();
    };
    EXPECT_EQ(std::abs(at(colours[0], 255) - at(colours[1], 255)), 1);
}

// The plain reverse of the PNG filters, as a decoder applies them.
std::vector<uint8_t> unfilter(const std::vector<uint8_t>& filtered, uint32_t stride, uint32_t height,
                              uint32_t bpp)
{
    std::vector<uint8_t> rows(filtered.size(), 0);
    for (uint32_t r = 0; r < height; ++r) {
        const uint8_t type = filtered[size_t(r) * stride];
        const uint8_t* in = &filtered[size_t(r) * stride + 1];
        uint8_t* out = &rows[size_t(r) * stride + 1];
        const uint8_t* up = r > 0 ? &rows[size_t(r - 1) * stride + 1] : nullptr;
        for (uint32_t i = 0; i + 1 < stride; ++i) {
            const int a = i >= bpp ? out[i - bpp] : 0;
            const int b = up ? up[i] : 0;
            const int c = up && i >= bpp ? up[i - bpp] : 0;
            int predicted = 0;
            switch (type) {
            case 1: predicted = a; break;
            case 2: predicted = b; break;
            case 3: predicted = (a + b) / 2; break;
            case 4: {
                const int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
                predicted = pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
                break;
            }
            default: break;
            }
            out[i] = static_cast<uint8_t>(in[i] + predicted);
        }
    }
    return rows;
}

TEST(ExtendedLayoutsTest, EveryFilterPlanUndoesToTheRows)
{
    for (uint32_t bpp : {1u, 3u, 4u}) {
        const uint32_t stride = 1 + 23 * bpp, height = 17;
        std::vector<uint8_t> rows(size_t(stride) * height, 0);
        for (uint32_t r = 0; r < height; ++r)
            for (uint32_t i = 1; i < stride; ++i)
                rows[size_t(r) * stride + i] = static_cast<uint8_t>((i * 7 + r * r * 3) ^ (i % 5 == 0 ? 0x5A : 0));
        const PackedRows image = {rows.data(), stride, height, bpp};
        // The strategies, then the libdeflate plan at a fast and the strongest level (as -1 and -12).
        std::vector<int32_t> plans;
        for (int32_t strategy = 0; strategy < kFilterStrategyCount; ++strategy)
            plans.push_back(strategy);
        plans.insert(plans.end(), {-1, -12});
        for (int32_t strategy : plans) {
            std::vector<uint8_t> types;
            ASSERT_TRUE(strategy < 0 ? planFiltersByLibdeflate(image, -strategy, types)
                                     : planFilters(image, strategy, types)) << strategy;
            ASSERT_EQ(types.size(), height);
            for (uint8_t type : types)
                EXPECT_LE(type, 4) << strategy;
            if (strategy >= 0 && strategy <= FILTER_PAETH) {
                EXPECT_EQ(std::count(types.begin(), types.end(), strategy), static_cast<long>(height));
            }
            std::vector<uint8_t> filtered;
            ASSERT_TRUE(filterByPlan(image, types, filtered));
            for (uint32_t r = 0; r < height; ++r)
                EXPECT_EQ(filtered[size_t(r) * stride], types[r]);
            EXPECT_EQ(unfilter(filtered, stride, height, bpp), rows) << strategy << " " << bpp;
        }
    }
}

TEST(ExtendedLayoutsTest, LibdeflatePlanRefusesALevelOutOfRange)
{
    const std::vector<uint8_t> rows = {0, 1, 2, 3};
    std::vector<uint8_t> types;
    EXPECT_FALSE(planFiltersByLibdeflate({rows.data(), 4, 1, 1}, 13, types));
}

}   // namespace
