// Every level of the extended search over PngSuite and the bench corpus,
// through the conversion service as the front ends use it: the PNG decodes
// (libpng, 16 bits a sample) to the input's samples, colours under alpha 0
// included; a PNG input is never replaced by a larger file; and the picture's
// chunks are no larger than the default mode's for every input the default
// mode reads (the extended search also keeps a PNG's colour chunks).

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include "engine/png_optimizer.h"
#include "services/image_conversion.h"
#include "tests/common/test_support.h"

namespace {

namespace fs = std::filesystem;

std::vector<std::string> sweepFiles()
{
    std::vector<std::string> files;
    for (const char* folder : {"pngsuite/png", "bench"})
        for (const fs::directory_entry& entry : fs::directory_iterator(corpusPath(folder)))
            files.push_back(fs::relative(entry.path(), corpusPath("")).string());
    std::sort(files.begin(), files.end());
    return files;
}

bool isPng(const std::string& path)
{
    return path.size() > 4 && path.compare(path.size() - 4, 4, ".png") == 0;
}

// Bytes of the chunks that store the picture (IHDR, PLTE, tRNS, IDAT, IEND
// with their headers): the file without the chunks kept from the input.
size_t pictureBytes(const std::vector<uint8_t>& png)
{
    size_t total = 8;
    for (size_t at = 8; at + 12 <= png.size();) {
        const size_t length = size_t(png[at]) << 24 | size_t(png[at + 1]) << 16 | size_t(png[at + 2]) << 8 | png[at + 3];
        const std::string type(png.begin() + at + 4, png.begin() + at + 8);
        if (type == "IHDR" || type == "PLTE" || type == "tRNS" || type == "IDAT" || type == "IEND")
            total += length + 12;
        at += length + 12;
    }
    return total;
}

// The file the service writes of path, with the report; empty when the
// input is refused or copied.
std::vector<uint8_t> convertFile(const std::string& path, const ConversionSettings& settings,
                                 ConversionReport& report)
{
    TempDir dir;
    const std::string outputPath = dir.file("out.png");
    ImageConversion conversion;
    PngOptimizer optimizer;
    ConversionOutput output;
    output.path = outputPath.c_str();
    if (!conversion.loadFile(path.c_str(), settings.options)) {
        report = conversion.report();
        return {};
    }
    report = conversion.convert(optimizer, output, settings);
    return report.status == ConversionStatus::Converted ? readFileBytes(outputPath) : std::vector<uint8_t>();
}

class LevelSweep : public ::testing::TestWithParam<std::tuple<std::string, int32_t>> {};

TEST_P(LevelSweep, ExactNoLargerThanTheInputOrTheDefault)
{
    const std::string path = corpusPath(std::get<0>(GetParam()));
    ConversionSettings plain;
    ConversionSettings extended;
    extended.options = OPT_EXTENDED_SEARCH;
    extended.extendedLevel = std::get<1>(GetParam());
    ConversionReport plainReport;
    ConversionReport report;
    const std::vector<uint8_t> plainPng = convertFile(path, plain, plainReport);
    const std::vector<uint8_t> png = convertFile(path, extended, report);
    if (!report.loaded) {   // PngSuite's damaged files
        EXPECT_TRUE(report.failed());
        return;
    }
    const std::vector<uint8_t> input = readFileBytes(path);
    if (report.status != ConversionStatus::Converted) {
        ASSERT_EQ(report.status, ConversionStatus::Copied) << "a PNG that did not shrink stays as it is";
        EXPECT_TRUE(isPng(path));
        return;
    }
    if (isPng(path)) {
        EXPECT_LE(png.size(), input.size());
    }
    if (plainReport.status == ConversionStatus::Converted) {
        EXPECT_LE(pictureBytes(png), pictureBytes(plainPng));
    }
    // The samples to match: the PNG input's own, else the default mode's
    // file's. A damaged PNG that libpng refuses and the default mode leaves
    // as it is has no reference.
    Rgba16Image expected;
    Rgba16Image decoded;
    if (!(isPng(path) && decodePngBytesWithLibpng16(input, expected))) {
        if (plainPng.empty() && isPng(path))
            return;
        ASSERT_TRUE(decodePngBytesWithLibpng16(plainPng, expected));
    }
    ASSERT_TRUE(decodePngBytesWithLibpng16(png, decoded));
    EXPECT_EQ(decoded.width, expected.width);
    EXPECT_EQ(decoded.height, expected.height);
    EXPECT_TRUE(decoded.samples == expected.samples);
}

INSTANTIATE_TEST_SUITE_P(Levels, LevelSweep,
                         ::testing::Combine(::testing::ValuesIn(sweepFiles()),
                                            ::testing::Range(kMinExtendedLevel, kMaxExtendedLevel + 1)),
                         [](const ::testing::TestParamInfo<std::tuple<std::string, int32_t>>& info) {
                             std::string name;
                             for (char c : std::get<0>(info.param))
                                 name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                             return name + "_level" + std::to_string(std::get<1>(info.param));
                         });

}  // namespace
