// Cleaning invisible colours (OPT_CLEAN_ALPHA), as a property over PngSuite
// and generated pictures, in the default mode and at the fast extended
// level: libpng reads every pixel with alpha above 0 exactly as before and
// every invisible pixel still invisible, and the file is never larger than
// without the option; where invisible pixels hold noise it is smaller.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "services/image_conversion.h"
#include "tests/common/image_file_builders.h"
#include "tests/common/memory_conversion.h"
#include "tests/common/test_support.h"

namespace {

std::vector<uint8_t> convertedBytes(const std::vector<uint8_t>& input, uint16_t options)
{
    ImageConversion conversion;
    if (!conversion.loadMemory(input.data(), uint32_t(input.size()), options))
        return {};
    ConversionSettings settings;
    settings.options = options;
    settings.extendedLevel = EXTENDED_LEVEL_FAST;
    const MemoryConversion converted = convertToMemory(conversion, settings);
    EXPECT_FALSE(converted.report.failed());
    EXPECT_EQ(converted.report.cleanAlpha, (options & OPT_CLEAN_ALPHA) != 0);
    return converted.png;
}

// Checks the property for one input; returns whether it has invisible pixels.
bool checkCleaned(const std::vector<uint8_t>& input, uint16_t options, bool& smaller)
{
    RgbaImage before;
    if (!decodePngBytesWithLibpng(input, before))
        return false;
    const std::vector<uint8_t> exact = convertedBytes(input, options);
    const std::vector<uint8_t> cleaned = convertedBytes(input, uint16_t(options | OPT_CLEAN_ALPHA));
    if (exact.empty())
        return false;   // not read in this mode
    RgbaImage after;
    EXPECT_TRUE(decodePngBytesWithLibpng(cleaned, after));
    EXPECT_LE(cleaned.size(), exact.size());
    smaller = cleaned.size() < exact.size();
    bool invisible = false;
    for (size_t i = 0; i < before.pixels.size() && after.pixels.size() == before.pixels.size(); i += 4) {
        const uint8_t alpha = before.pixels[i + 3];
        invisible = invisible || alpha == 0;
        if (alpha == 0)
            EXPECT_EQ(after.pixels[i + 3], 0) << "pixel " << i / 4 << " became visible";
        else
            EXPECT_TRUE(std::equal(&before.pixels[i], &before.pixels[i + 4], &after.pixels[i])) << i / 4;
    }
    return invisible;
}

class CleanAlphaSuite : public testing::TestWithParam<std::string> {};

TEST_P(CleanAlphaSuite, VisiblePixelsExactAndNeverLarger)
{
    const std::vector<uint8_t> input = readFileBytes(corpusPath("pngsuite/png/" + GetParam()));
    bool smaller = false;
    for (uint16_t options : {uint16_t(0), OPT_EXTENDED_SEARCH})
        checkCleaned(input, options, smaller);
}

INSTANTIATE_TEST_SUITE_P(PngSuite, CleanAlphaSuite, testing::ValuesIn(listFiles(corpusPath("pngsuite/png"), ".png")),
                         [](const testing::TestParamInfo<std::string>& info) {
                             std::string name = info.param.substr(0, info.param.size() - 4);
                             std::replace_if(name.begin(), name.end(), [](char c) { return !std::isalnum(c); }, '_');
                             return name;
                         });

// Pictures whose invisible pixels hold noise: all-or-nothing alpha (one
// colour can stand for them), partial alpha, and noise under a band.
TEST(CleanAlpha, NoiseUnderInvisiblePixelsIsDropped)
{
    for (int kind = 0; kind < 3; ++kind) {
        RgbaImage picture;
        picture.width = 40;
        picture.height = 30;
        uint32_t noise = 12345;
        for (uint32_t y = 0; y < picture.height; ++y)
            for (uint32_t x = 0; x < picture.width; ++x) {
                noise = noise * 1103515245u + 12345u;
                const bool visible = kind == 2 ? y < 10 : (x / 5 + y / 5) % 2 == 0;
                const uint8_t alpha = !visible ? 0 : kind == 1 ? uint8_t(128 + x) : 255;
                picture.pixels.insert(picture.pixels.end(),
                                      {uint8_t(visible ? x * 6 : noise >> 24), uint8_t(visible ? y * 8 : noise >> 16),
                                       uint8_t(visible ? 90 : noise >> 8), alpha});
            }
        const std::vector<uint8_t> input = encodePng(picture, true, 9);
        for (uint16_t options : {uint16_t(0), OPT_EXTENDED_SEARCH}) {
            bool smaller = false;
            EXPECT_TRUE(checkCleaned(input, options, smaller)) << kind;
            EXPECT_TRUE(smaller) << "kind " << kind << " options " << options;
        }
    }
}

}  // namespace
