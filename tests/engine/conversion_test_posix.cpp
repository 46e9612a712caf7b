// The output rules every front end converts a file under: size to beat, the
// same file by name or identity, the copy of a result that is not smaller and
// the time stamps. Outputs are checked as bytes and through libpng.

#include <gtest/gtest.h>

#include <filesystem>

#include "core/file_handle.h"
#include "core/image_loader.h"
#include "services/conversion.h"
#include "tests/common/image_file_builders.h"
#include "tests/common/test_support.h"

namespace {

constexpr uint16_t kFast = OPT_NO_FILTER_COMPARE | OPT_NO_DEFLATE_COMPARE | OPT_NO_8BIT_COMPARE;
// Distinct times far from now, in 100 ns units since 1601 (whole seconds, so
// every file system keeps them exactly).
constexpr FileTime kInputTime = 130000000000000000ull;
constexpr FileTime kOldOutputTime = 120000000000000000ull;

RgbaImage picture(uint32_t width, uint32_t height)
{
    RgbaImage image;
    image.width = width;
    image.height = height;
    image.pixels.resize(size_t(width) * height * 4);
    for (uint32_t i = 0; i < width * height; ++i) {
        uint8_t* p = &image.pixels[size_t(i) * 4];
        p[0] = uint8_t(i * 7);
        p[1] = uint8_t(i / 3);
        p[2] = uint8_t(i % 5 * 40);
        p[3] = 255;
    }
    return image;
}

FileTime lastWriteOf(const std::string& path)
{
    FileTime t = 0;
    getFileTimes(path.c_str(), nullptr, nullptr, &t);
    return t;
}

// What the input is.
enum class Input {
    Bmp,          // "in.bmp": always converted
    StoredPng,    // "in.png" with uncompressed data: the optimizer beats it
    OptimalPng,   // "in.png", the optimizer's own output: cannot be beaten
};
// Where the output goes.
enum class Output {
    Other,           // "out.png" beside the input
    InputItself,     // the input's own path
    InputOtherCase,  // the input's name in upper case
    HardLink,        // another name of the input file
    MissingFolder,   // a folder that does not exist
};

struct Case {
    const char* name;
    Input input;
    Output output;
    uint16_t rules;
    OutputOutcome expected;
};

const Case kCases[] = {
    {"bmp converted", Input::Bmp, Output::Other, 0, OutputOutcome::Converted},
    {"bmp converted with times", Input::Bmp, Output::Other, OUTPUT_KEEP_TIME_STAMPS, OutputOutcome::Converted},
    {"stored png beaten in place", Input::StoredPng, Output::InputItself, 0, OutputOutcome::Converted},
    {"optimal png copied", Input::OptimalPng, Output::Other, 0, OutputOutcome::Copied},
    {"optimal png copied with times", Input::OptimalPng, Output::Other, OUTPUT_KEEP_TIME_STAMPS,
     OutputOutcome::Copied},
    {"optimal png in place", Input::OptimalPng, Output::InputItself, 0, OutputOutcome::NoOutput},
    {"optimal png other case", Input::OptimalPng, Output::InputOtherCase, 0, OutputOutcome::NoOutput},
    {"optimal png hard link", Input::OptimalPng, Output::HardLink, 0, OutputOutcome::NoOutput},
    {"optimal png copy fails", Input::OptimalPng, Output::MissingFolder, 0, OutputOutcome::CopyFailed},
    {"bmp into missing folder", Input::Bmp, Output::MissingFolder, 0, OutputOutcome::Failed},
};

// Converts path's image with no input (the output dialog's way).
bool writeOwnOutput(const std::string& bmpPath, const std::string& pngPath)
{
    DibImage image;
    int32_t transparent = -1;
    if (!loadImageFile(image, bmpPath.c_str(), transparent))
        return false;
    ConvertRequest request;
    fillConvertRequest(request, image, transparent, kFast);
    OutputTarget target;
    target.outputPath = pngPath.c_str();
    PngOptimizer optimizer;
    return convertToFile(optimizer, request, target) == OutputOutcome::Converted;
}

class OutputRules : public ::testing::TestWithParam<Case> {};

}  // namespace

TEST_P(OutputRules, OutcomeBytesAndTimes)
{
    const Case& c = GetParam();
    TempDir dir;
    const RgbaImage image = picture(23, 17);
    const std::string bmp = dir.file("in.bmp");
    ASSERT_TRUE(writeFileBytes(bmp, encodeBmp24(image)));
    std::string input = bmp;
    if (c.input == Input::StoredPng) {
        input = dir.file("in.png");
        ASSERT_TRUE(writeFileBytes(input, encodePng(image, false, 0)));
    } else if (c.input == Input::OptimalPng) {
        input = dir.file("in.png");
        ASSERT_TRUE(writeOwnOutput(bmp, input));
    }
    ASSERT_TRUE(setFileTimes(input.c_str(), &kInputTime, &kInputTime, &kInputTime));
    const std::vector<uint8_t> inputBytes = readFileBytes(input);

    std::string output = dir.file("out.png");
    if (c.output == Output::InputItself) {
        output = input;
    } else if (c.output == Output::InputOtherCase) {
        output = dir.file("IN.PNG");
    } else if (c.output == Output::HardLink) {
        output = dir.file("link.png");
        std::filesystem::create_hard_link(input, output);
    } else if (c.output == Output::MissingFolder) {
        output = dir.file("missing") + "/out.png";
    } else {
        ASSERT_TRUE(writeFileBytes(output, {1, 2, 3}));
        ASSERT_TRUE(setFileTimes(output.c_str(), &kOldOutputTime, &kOldOutputTime, &kOldOutputTime));
    }

    DibImage loaded;
    int32_t transparent = -1;
    ASSERT_TRUE(loadImageFile(loaded, input.c_str(), transparent));
    ConvertRequest request;
    fillConvertRequest(request, loaded, transparent, 0xFFFF);   // bits beyond the options are dropped
    EXPECT_EQ(request.options, kConvertOptionBits);
    request.options = kFast;
    OutputTarget target;
    target.inputPath = input.c_str();
    target.inputSize = static_cast<uint32_t>(inputBytes.size());
    target.outputPath = output.c_str();
    target.rules = c.rules;
    PngOptimizer optimizer;
    EXPECT_EQ(convertToFile(optimizer, request, target), c.expected) << c.name;

    // The input is never harmed unless it was replaced by a smaller PNG of the same pixels.
    const std::vector<uint8_t> after = readFileBytes(input);
    if (c.expected == OutputOutcome::Converted && output == input) {
        EXPECT_LT(after.size(), inputBytes.size());
    } else {
        EXPECT_EQ(after, inputBytes);
    }

    switch (c.expected) {
    case OutputOutcome::Converted: {
        RgbaImage decoded;
        ASSERT_TRUE(decodePngWithLibpng(output, decoded));
        EXPECT_EQ(decoded.pixels, image.pixels);
        EXPECT_EQ(conversionResultOf(request).fileSize, readFileBytes(output).size());
        if (c.rules & OUTPUT_KEEP_TIME_STAMPS) {
            EXPECT_EQ(lastWriteOf(output), kInputTime);
        } else {
            EXPECT_NE(lastWriteOf(output), kInputTime);
        }
        break;
    }
    case OutputOutcome::Copied:
        // A copy keeps its source's last-write time, asked for or not.
        EXPECT_EQ(readFileBytes(output), inputBytes);
        EXPECT_EQ(lastWriteOf(output), kInputTime);
        break;
    default:
        if (c.output == Output::MissingFolder) {
            EXPECT_FALSE(std::filesystem::exists(dir.file("missing")));
        }
        break;
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, OutputRules, ::testing::ValuesIn(kCases));

TEST(OutputRulesNoInput, WritesWhateverTheSize)
{
    // An image that is no file's content is written even over a smaller file.
    TempDir dir;
    const std::string path = dir.file("tiny.png");
    ASSERT_TRUE(writeFileBytes(path, {1}));
    DibImage image;
    ASSERT_TRUE(dibFromRgba(picture(9, 9), image, false));
    ConvertRequest request;
    fillConvertRequest(request, image, -1, kFast);
    OutputTarget target;
    target.outputPath = path.c_str();
    target.rules = OUTPUT_KEEP_TIME_STAMPS;   // nothing to keep them from
    PngOptimizer optimizer;
    ASSERT_EQ(convertToFile(optimizer, request, target), OutputOutcome::Converted);
    EXPECT_EQ(request.sizeToBeat, 0xFFFFFFFFu);
    RgbaImage decoded;
    ASSERT_TRUE(decodePngWithLibpng(path, decoded));
    EXPECT_EQ(decoded.pixels, picture(9, 9).pixels);
}
