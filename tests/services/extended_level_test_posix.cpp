// The extended search's level through the conversion service: each level
// reaches the request, the report line names it, levels 1 and 2 without the
// default search leave that search's fields at 0, and level 0 converts as
// the default level.

#include <gtest/gtest.h>

#include <string>

#include "services/conversion.h"
#include "services/extended_report.h"
#include "services/image_conversion.h"
#include "tests/common/image_file_builders.h"
#include "tests/common/test_support.h"

namespace {

// Few colours in bands over a ramp: both a palette and RGB are worth a try.
RgbaImage bandedRamp(uint32_t width, uint32_t height)
{
    RgbaImage picture;
    picture.width = width;
    picture.height = height;
    for (uint32_t i = 0; i < width * height; ++i)
        picture.pixels.insert(picture.pixels.end(), {uint8_t(i / width * 17), uint8_t(i % 5 * 40),
                                                     uint8_t(i % width < 8 ? 200 : 30), 255});
    return picture;
}

std::string reportLine(const ConvertRequest& request)
{
    char line[256];
    return formatExtendedReport(request, line, sizeof line) > 0 ? line : "";
}

bool endsWith(const std::string& text, const std::string& end)
{
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

}  // namespace

TEST(ExtendedLevel, EachLevelReachesTheRequestAndItsReportLine)
{
    const RgbaImage small = bandedRamp(23, 14);
    const RgbaImage large = bandedRamp(131, 128);   // above kSmallPictureDefaultSearchPixels
    ASSERT_GT(uint64_t(large.width) * large.height, kSmallPictureDefaultSearchPixels);
    struct Case {
        int32_t level;           // ConversionSettings::extendedLevel
        const RgbaImage* picture;
        int32_t searched;        // the level the request asks for
        const char* lineEnd;     // how the report line ends
    };
    const Case cases[] = {
        {0, &small, EXTENDED_LEVEL_BALANCED, ", レベル2"},
        {EXTENDED_LEVEL_FAST, &small, EXTENDED_LEVEL_FAST, ", レベル1"},
        {EXTENDED_LEVEL_FAST, &large, EXTENDED_LEVEL_FAST, ", レベル1"},
        {EXTENDED_LEVEL_BALANCED, &small, EXTENDED_LEVEL_BALANCED, ", レベル2"},
        {EXTENDED_LEVEL_BALANCED, &large, EXTENDED_LEVEL_BALANCED, ", レベル2"},
        {EXTENDED_LEVEL_MAX, &small, EXTENDED_LEVEL_MAX, ", レベル3"},
        {EXTENDED_LEVEL_MAX, &large, EXTENDED_LEVEL_MAX, ", レベル3"},
    };
    std::vector<uint8_t> defaultLevelPng;
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.level << " " << c.picture->width);
        const std::vector<uint8_t> bmp = encodeBmp24(*c.picture);
        ImageConversion conversion;
        ASSERT_TRUE(conversion.loadMemory(bmp.data(), uint32_t(bmp.size()), OPT_EXTENDED_SEARCH));
        AppendBuffer png;
        ConversionOutput output;
        output.memory = &png;
        ConversionSettings settings;
        settings.options = OPT_EXTENDED_SEARCH;
        settings.extendedLevel = c.level;
        PngOptimizer optimizer;
        const ConversionReport& report = conversion.convert(optimizer, output, settings);
        ASSERT_EQ(report.status, ConversionStatus::Converted);
        const ConvertRequest& result = report.result;
        EXPECT_EQ(requestedExtendedLevel(result), c.searched);
        // Levels 1 and 2 run the default search only on small pictures;
        // without it its four fields are 0 and the extended search's file stands.
        const bool defaultSearch = c.searched == EXTENDED_LEVEL_MAX || c.picture == &small;
        EXPECT_EQ(hasDefaultEncoding(result), defaultSearch);
        if (!defaultSearch) {
            EXPECT_NE(result.extendedLayout, LAYOUT_DEFAULT);
            EXPECT_EQ(result.windowBits | result.memLevel | result.filter | result.bitDepth, 0);
        }
        const std::string line = reportLine(result);
        EXPECT_EQ(line.rfind("拡張探索: ", 0), 0u) << line;
        EXPECT_TRUE(endsWith(line, c.lineEnd)) << line;
        const std::vector<uint8_t> bytes(png.data, png.data + png.used);
        EXPECT_EQ(bytes.size(), result.fileSize);
        RgbaImage decoded;
        ASSERT_TRUE(decodePngBytesWithLibpng(bytes, decoded));
        EXPECT_EQ(decoded.width, c.picture->width);
        EXPECT_TRUE(decoded.pixels == c.picture->pixels);
        if (c.searched == kDefaultExtendedLevel && c.picture == &small) {
            // 0 is the default level, not a level of its own.
            if (defaultLevelPng.empty())
                defaultLevelPng = bytes;
            EXPECT_TRUE(bytes == defaultLevelPng);
        }
    }
}

TEST(ExtendedLevel, ReportLineOfEachChoice)
{
    struct Case {
        int32_t level;
        int32_t layout;
        int32_t depth;
        int32_t order;
        int32_t strategy;
        int32_t encoder;
        int32_t iterations;
        int32_t parts;
        const char* line;
    };
    const Case cases[] = {
        {2, LAYOUT_DEFAULT, 0, 0, 0, 0, 0, 0, "拡張探索: 既定, レベル2"},
        {3, LAYOUT_DEFAULT, 0, 0, 0, 0, 0, 0, "拡張探索: 既定, レベル3"},
        {0, LAYOUT_DEFAULT, 0, 0, 0, 0, 0, 0, "拡張探索: 既定, レベル2"},
        {9, LAYOUT_DEFAULT, 0, 0, 0, 0, 0, 0, "拡張探索: 既定, レベル2"},   // out of range: the default
        {3, LAYOUT_PALETTE, 4, ORDER_NEIGHBOUR, FILTER_COMPRESSED, ENCODER_ZOPFLI, 12, 3,
         "拡張探索: パレット 4ビット, 隣接順, 圧縮長最小, zopfli 12回 3分割, レベル3"},
        {1, LAYOUT_RGB, 8, ORDER_NONE, FILTER_PAETH, ENCODER_LIBDEFLATE, 0, 0,
         "拡張探索: RGB 8ビット, -, PAETH, libdeflate 12, レベル1"},
    };
    for (const Case& c : cases) {
        ConvertRequest request;
        request.options = OPT_EXTENDED_SEARCH;
        request.extendedLevel = c.level;
        request.extendedLayout = c.layout;
        request.extendedDepth = c.depth;
        request.paletteOrder = c.order;
        request.filterStrategy = c.strategy;
        request.encoder = c.encoder;
        request.encoderIterations = c.iterations;
        request.encoderParts = c.parts;
        EXPECT_EQ(reportLine(request), c.line);
        // The folder results show the same choice without its heading.
        char choice[224];
        ASSERT_GT(formatExtendedChoice(request, choice, sizeof choice), 0);
        EXPECT_EQ("拡張探索: " + std::string(choice), c.line);
    }
}
