// convertToMemory against convertToFile: the same PNG bytes for the same
// image and options, the memory rule for PNG inputs (replaced only by a
// strictly smaller PNG, else passed on unchanged), and writePngBytes giving
// what writePngFile writes.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/byte_buffer.h"
#include "core/dib_image.h"
#include "engine/png_optimizer.h"
#include "services/conversion.h"
#include "tests/common/image_file_builders.h"
#include "tests/common/test_support.h"

namespace {

RgbaImage pictureOf(uint32_t width, uint32_t height, uint32_t colours, bool withAlpha)
{
    RgbaImage picture;
    picture.width = width;
    picture.height = height;
    picture.pixels.resize(size_t(width) * height * 4);
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            uint8_t* p = &picture.pixels[(size_t(y) * width + x) * 4];
            const uint32_t v = (x * 31 + y * 17 + x * y) % colours;
            p[0] = uint8_t(v * 53);
            p[1] = uint8_t(v * 97 + y);
            p[2] = uint8_t(v * 11 + x);
            p[3] = withAlpha ? uint8_t(v * 40) : 255;
        }
    }
    return picture;
}

struct MemoryCase {
    const char* name;
    RgbaImage picture;
    bool pngInput;          // else a BMP
    int zlibLevel;          // of the PNG input
    uint16_t options;
    OutputOutcome expected;
};

struct Converted {
    OutputOutcome outcome = OutputOutcome::Failed;
    std::vector<uint8_t> bytes;
    ConversionResult result;
};

ConvertRequest requestFor(const std::vector<uint8_t>& input, uint16_t options, DibImage& image,
                          AppendBuffer& chunks)
{
    int32_t transparentColour = -1;
    ConvertRequest request;
    EXPECT_TRUE(loadConversionMemory(input.data(), uint32_t(input.size()), options, image, transparentColour, chunks));
    fillConvertRequest(request, image, transparentColour, options, &chunks);
    request.extendedIterations = 1;
    return request;
}

Converted inMemory(const std::vector<uint8_t>& input, uint16_t options)
{
    DibImage image;
    AppendBuffer chunks;
    ConvertRequest request = requestFor(input, options, image, chunks);
    PngOptimizer optimizer;
    AppendBuffer png;
    Converted converted;
    converted.outcome = convertToMemory(optimizer, request, input.data(), uint32_t(input.size()), png);
    if (png.data)
        converted.bytes.assign(png.data, png.data + png.used);
    converted.result = conversionResultOf(request);
    return converted;
}

// The file conversion of the same bytes saved as a file named for its content.
Converted throughFile(const std::vector<uint8_t>& input, bool pngInput, uint16_t options)
{
    TempDir dir;
    const std::string inputPath = dir.file(pngInput ? "input.png" : "input.bmp");
    const std::string outputPath = dir.file("output.png");
    EXPECT_TRUE(writeFileBytes(inputPath, input));
    DibImage image;
    AppendBuffer chunks;
    ConvertRequest request = requestFor(input, options, image, chunks);
    OutputTarget target;
    target.inputPath = inputPath.c_str();
    target.inputSize = uint32_t(input.size());
    target.outputPath = outputPath.c_str();
    PngOptimizer optimizer;
    Converted converted;
    converted.outcome = convertToFile(optimizer, request, target);
    converted.bytes = readFileBytes(outputPath);
    converted.result = conversionResultOf(request);
    return converted;
}

}  // namespace

TEST(ConversionToMemory, SameBytesAsTheFileConversion)
{
    const MemoryCase cases[] = {
        {"palette bmp", pictureOf(40, 30, 12, false), false, 0, 0, OutputOutcome::Converted},
        {"rgb bmp, no filter trials", pictureOf(33, 21, 5000, false), false, 0, OPT_NO_FILTER_COMPARE,
         OutputOutcome::Converted},
        {"stored rgba png", pictureOf(24, 24, 200, true), true, 0, 0, OutputOutcome::Converted},
        {"stored png, extended search", pictureOf(20, 18, 9, false), true, 0, OPT_EXTENDED_SEARCH,
         OutputOutcome::Converted},
    };
    for (const MemoryCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<uint8_t> input =
            c.pngInput ? encodePng(c.picture, true, c.zlibLevel) : encodeBmp24(c.picture);
        ASSERT_FALSE(input.empty());
        const Converted memory = inMemory(input, c.options);
        const Converted file = throughFile(input, c.pngInput, c.options);
        EXPECT_EQ(memory.outcome, c.expected);
        EXPECT_EQ(file.outcome, c.expected);
        EXPECT_EQ(memory.bytes, file.bytes);
        EXPECT_EQ(memory.bytes.size(), memory.result.fileSize);
        RgbaImage decoded;
        ASSERT_TRUE(decodePngBytesWithLibpng(memory.bytes, decoded));
        DibImage loaded;
        AppendBuffer chunks;
        int32_t transparentColour = -1;
        ASSERT_TRUE(loadConversionMemory(input.data(), uint32_t(input.size()), 0, loaded, transparentColour, chunks));
        EXPECT_TRUE(decoded.pixels == rgbaFromDib(loaded).pixels) << "the picture changed";
    }
}

TEST(ConversionToMemory, PngThatCannotShrinkComesBackUnchanged)
{
    const std::vector<uint8_t> stored = encodePng(pictureOf(30, 20, 7, false), false, 0);
    const Converted first = inMemory(stored, 0);
    ASSERT_EQ(first.outcome, OutputOutcome::Converted);
    const Converted again = inMemory(first.bytes, 0);
    EXPECT_EQ(again.outcome, OutputOutcome::Copied);
    EXPECT_EQ(again.bytes, first.bytes);
    // The same bytes as a BMP's: no size to beat, so always converted.
    const Converted bmp = inMemory(encodeBmp24(pictureOf(30, 20, 7, false)), 0);
    EXPECT_EQ(bmp.outcome, OutputOutcome::Converted);
    EXPECT_EQ(bmp.bytes, first.bytes);
}
