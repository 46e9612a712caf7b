// 16-bit PNGs through the conversion service with the extended search: the
// PNG test suite's 16-bit files and generated ones, loaded from a file and
// from memory, decode through libpng at 16 bits to exactly the input's
// samples (colours under alpha 0 included); samples beyond 8 bits are
// written at 16 bits, and without the extended search the files are refused.

#include <gtest/gtest.h>

#include "services/conversion.h"
#include "services/image_conversion.h"
#include "tests/common/image_file_builders.h"
#include "tests/common/test_support.h"

namespace {

struct WideInput {
    std::string name;
    std::vector<uint8_t> png;
    bool keepTransparent = true;
};

// Some sample of the decoded picture has unequal bytes.
bool beyondEightBits(const Rgba16Image& image)
{
    for (uint16_t s : image.samples)
        if ((s >> 8) != (s & 0xFF))
            return true;
    return false;
}

Rgba16Image generated(uint32_t w, uint32_t h, uint16_t (*sample)(uint32_t x, uint32_t y, int channel))
{
    Rgba16Image image{w, h, {}};
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x)
            for (int c = 0; c < 4; ++c)
                image.samples.push_back(sample(x, y, c));
    return image;
}

const uint16_t kGreyKey[1] = {0x2B2C};
const uint16_t kRgbKey[3] = {0x0101, 0xFFFE, 0x0001};

std::vector<WideInput> wideInputs()
{
    std::vector<WideInput> inputs;
    for (const char* name : {"basn0g16", "basn2c16", "basn4a16", "basn6a16", "basi0g16", "basi2c16", "basi4a16",
                             "basi6a16", "tbbn2c16", "tbgn2c16", "tbwn0g16", "bgai4a16", "bggn4a16", "oi9n2c16"})
        inputs.push_back({name, readFileBytes(corpusPath(std::string("pngsuite/png/") + name + ".png"))});

    // A grey key used by some pixels; grey elsewhere never the key.
    const Rgba16Image keyedGrey = generated(27, 14, [](uint32_t x, uint32_t y, int c) {
        return c == 3 ? uint16_t(0xFFFF) : (x + 2 * y) % 6 == 0 ? kGreyKey[0] : uint16_t(0x3000 + x * 517 + y * 33);
    });
    inputs.push_back({"generated grey with a key", encodePng16(keyedGrey, 0, kGreyKey)});
    inputs.push_back({"generated grey with a key, transparency dropped", encodePng16(keyedGrey, 0, kGreyKey), false});
    const Rgba16Image keyedRgb = generated(21, 9, [](uint32_t x, uint32_t y, int c) {
        return c == 3 ? uint16_t(0xFFFF) : (x * y) % 5 == 1 ? kRgbKey[c] : uint16_t((x * 4099 + y * 251) * (c + 1));
    });
    inputs.push_back({"generated RGB with a key", encodePng16(keyedRgb, 2, kRgbKey)});
    // Alpha 0 over colours of its own, every one different.
    const Rgba16Image rgba = generated(30, 12, [](uint32_t x, uint32_t y, int c) {
        if (c == 3)
            return (x + y) % 3 == 0 ? uint16_t(0) : uint16_t(0xFFFF - x * 301);
        return uint16_t(x * 2111 + y * 77 + uint32_t(c) * 13);
    });
    inputs.push_back({"generated RGBA with colours under alpha 0", encodePng16(rgba, 6)});
    inputs.push_back({"generated grey+alpha", encodePng16(rgba, 4)});
    // Every sample of equal bytes: the 8-bit path, unchanged.
    const Rgba16Image fitting = generated(16, 16, [](uint32_t x, uint32_t y, int c) {
        return uint16_t(((x * 16 + y + uint32_t(c) * 50) & 0xFF) * 257);
    });
    inputs.push_back({"generated RGBA of 8-bit values", encodePng16(fitting, 6)});
    return inputs;
}

class WideInputTest : public ::testing::TestWithParam<WideInput> {};

}  // namespace

TEST_P(WideInputTest, ExtendedSearchKeepsEverySampleAndTheDefaultRefuses)
{
    const WideInput& input = GetParam();
    ASSERT_FALSE(input.png.empty());
    Rgba16Image expected;
    ASSERT_TRUE(decodePngBytesWithLibpng16(input.png, expected));
    const bool wide = beyondEightBits(expected);
    if (!input.keepTransparent)
        for (size_t i = 3; i < expected.samples.size(); i += 4)
            expected.samples[i] = 0xFFFF;   // the input has no alpha channel: only its key goes

    TempDir dir;
    const std::string path = dir.file("input.png");
    ASSERT_TRUE(writeFileBytes(path, input.png));
    ImageConversion conversion;
    EXPECT_FALSE(conversion.loadFile(path.c_str(), 0));
    EXPECT_EQ(conversion.report().cause, ConversionCause::NotAnImage);
    EXPECT_FALSE(conversion.loadMemory(input.png.data(), uint32_t(input.png.size()), 0));

    ConversionSettings settings;
    settings.options = OPT_EXTENDED_SEARCH;
    settings.keepTransparent = input.keepTransparent;
    // The desktop program's way: it loads, holds the image and its samples, and converts them later.
    DibImage held;
    int32_t heldColour = -1;
    AppendBuffer heldChunks;
    ByteBuffer heldSamples;
    for (int source = 0; source < 3; ++source) {
        const bool fromFile = source != 1;
        SCOPED_TRACE(source == 0 ? "from a file" : source == 1 ? "from memory" : "held by the caller");
        const uint32_t size = uint32_t(input.png.size());
        if (source == 2) {
            ASSERT_TRUE(loadConversionInput(path.c_str(), OPT_EXTENDED_SEARCH, held, heldColour, heldChunks,
                                            &heldSamples));
            conversion.useImage(held, heldColour, &heldChunks, &heldSamples);
        } else {
            ASSERT_TRUE(fromFile ? conversion.loadFile(path.c_str(), OPT_EXTENDED_SEARCH)
                                 : conversion.loadMemory(input.png.data(), size, OPT_EXTENDED_SEARCH));
        }
        AppendBuffer memory;
        ConversionOutput output;
        output.memory = &memory;
        PngOptimizer optimizer;
        const ConversionReport& report = conversion.convert(optimizer, output, settings);
        // A file input has no size to beat; the same bytes in memory may stay as they are.
        ASSERT_EQ(report.status, fromFile ? ConversionStatus::Converted : report.status);
        ASSERT_FALSE(report.failed());
        const std::vector<uint8_t> png(memory.data, memory.data + memory.used);
        Rgba16Image decoded;
        ASSERT_TRUE(decodePngBytesWithLibpng16(png, decoded));
        EXPECT_EQ(decoded.width, expected.width);
        EXPECT_EQ(decoded.samples, expected.samples);
        if (report.status == ConversionStatus::Converted) {
            ASSERT_GT(png.size(), 25u);
            EXPECT_EQ(png[24] == 16, wide) << "IHDR bit depth " << int(png[24]);
            EXPECT_EQ(report.result.extendedDepth == 16, wide);
            EXPECT_EQ(png.size(), report.result.fileSize);
        }
    }

    // Loaded for the extended search, converted without it: refused, never reduced.
    if (wide) {
        ASSERT_TRUE(conversion.loadFile(path.c_str(), OPT_EXTENDED_SEARCH));
        PngOptimizer optimizer;
        ConversionOutput none;
        ConversionSettings plain;
        plain.testRun = true;
        EXPECT_EQ(conversion.convert(optimizer, none, plain).cause, ConversionCause::NotAnImage);
    }
}

INSTANTIATE_TEST_SUITE_P(SixteenBit, WideInputTest, ::testing::ValuesIn(wideInputs()),
                         [](const ::testing::TestParamInfo<WideInput>& info) {
                             std::string name;
                             for (char c : info.param.name)
                                 name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                             return name;
                         });
