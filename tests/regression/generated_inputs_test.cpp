// Small images of every kind the readers accept, built by the test builders,
// and the files of the test data corpus (testdata/), through the loader checks and the whole
// conversion (which must reproduce every pixel). The generated images are also
// the fuzzing seeds (exportSeed).

#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "core/bmp_reader.h"
#include "core/dib_image.h"
#include "engine/png_optimizer.h"
#include "fuzz/fuzz_checks.h"
#include "tests/common/image_file_builders.h"
#include "tests/image/bmp_test_encoder.h"
#include "tests/readers/reader_test_support.h"
#include "tests/regression/regression_support.h"

namespace {

Bytes randomSamples(size_t count, uint32_t limit, uint32_t seed)
{
    std::mt19937 random(seed);
    Bytes samples(count);
    for (uint8_t& s : samples)
        s = uint8_t(random() % limit);
    return samples;
}

// The checks every generated or corpus image must pass: its loader check, and
// the conversion of what it decodes (with and without the deflate search, and
// in the extended mode).
void expectAllChecksPass(const std::string& target, FuzzCheck loadCheck, const std::string& name,
                         const Bytes& file)
{
    EXPECT_EQ(loadCheck(file.data(), file.size()), "") << name;
    for (uint16_t options : {uint16_t(OPT_NO_DEFLATE_COMPARE), uint16_t(OPT_NO_FILTER_COMPARE | OPT_NO_8BIT_COMPARE),
                             uint16_t(OPT_NO_DEFLATE_COMPARE | OPT_EXTENDED_SEARCH)}) {
        const Bytes input = conversionInput(file, options);
        EXPECT_EQ(checkConversion(input.data(), input.size()), "") << name << " options " << options;
    }
    exportSeed(target, name, file);
    exportSeed("convert", target + "-" + name, conversionInput(file, OPT_NO_DEFLATE_COMPARE));
}

struct PngCase {
    const char* name;
    PngParts parts;
};

std::vector<PngCase> pngCases()
{
    std::vector<PngCase> cases;
    uint32_t seed = 1;
    const uint32_t width = 13;
    const uint32_t height = 5;
    for (uint8_t depth : {1, 2, 4, 8}) {
        PngParts grey;
        grey.width = width;
        grey.height = height;
        grey.depth = depth;
        grey.colourType = 0;
        grey.filteredRows = packRows(randomSamples(width * height, 1u << depth, seed++), width, height, depth);
        cases.push_back({"grey", grey});
        PngParts greyKey = grey;
        greyKey.hasTrns = true;
        greyKey.trns = {0, 1};
        cases.push_back({"grey-trns", greyKey});

        const uint32_t entries = depth == 8 ? 40 : 1u << depth;
        std::vector<uint32_t> colours;
        for (uint32_t i = 0; i < entries; ++i)
            colours.push_back((i * 0x3A5F17u) & 0xFFFFFF);
        PngParts palette = grey;
        palette.colourType = 3;
        palette.palette = plteData(colours);
        palette.filteredRows = packRows(randomSamples(width * height, entries, seed++), width, height, depth);
        cases.push_back({"palette", palette});
        PngParts keyed = palette;
        keyed.hasTrns = true;
        keyed.trns = {255, 0};
        cases.push_back({"palette-trns", keyed});
        PngParts partial = palette;
        partial.hasTrns = true;
        partial.trns = {128, 0, 255};
        cases.push_back({"palette-alpha", partial});
    }
    PngParts rgb;
    rgb.width = width;
    rgb.height = height;
    rgb.colourType = 2;
    const Bytes rgbSamples = randomSamples(width * height * 3, 4, seed++);   // few colours: keys repeat
    rgb.filteredRows = filterRows(rgbSamples, width * 3, height, 3, 4);
    cases.push_back({"rgb", rgb});
    PngParts rgbKey = rgb;
    rgbKey.hasTrns = true;
    rgbKey.trns = {0, rgbSamples[0], 0, rgbSamples[1], 0, rgbSamples[2]};
    cases.push_back({"rgb-trns", rgbKey});
    PngParts rgba;
    rgba.width = width;
    rgba.height = height;
    rgba.colourType = 6;
    rgba.filteredRows = filterRows(randomSamples(width * height * 4, 256, seed++), width * 4, height, 4, 1);
    cases.push_back({"rgba", rgba});
    PngParts truncated = rgb;
    truncated.filteredRows.resize(truncated.filteredRows.size() / 2);   // loads, the rest zero
    cases.push_back({"rgb-short-data", truncated});
    return cases;
}

TEST(GeneratedInputs, PngOfEveryAcceptedKind)
{
    int index = 0;
    for (const PngCase& c : pngCases()) {
        const std::string name = "gen-" + std::to_string(index++) + "-" + c.name + "-" +
                                 std::to_string(c.parts.depth) + ".png";
        const Bytes file = buildPng(c.parts);
        ASSERT_TRUE(loadPngBytes(file).ok) << name;
        expectAllChecksPass("png", checkPngLoad, name, file);
    }
}

// 16-bit files whose samples do not fit 8 bits, of every colour type the
// extended input takes, keys included: refused by the default and extended
// loads, loaded only with their samples kept (the loader check's part).
TEST(GeneratedInputs, PngOfSixteenBitSamples)
{
    Rgba16Image picture{11, 6, {}};
    std::mt19937 random(200);
    for (size_t i = 0; i < size_t(picture.width) * picture.height * 4; ++i)
        picture.samples.push_back(uint16_t(random() % 5 * 0x3001));   // few values: keys repeat
    const uint16_t* key = picture.samples.data();   // pixel 0's colour
    const struct {
        const char* name;
        uint8_t colourType;
        bool keyed;
    } cases[] = {{"grey", 0, false}, {"grey-trns", 0, true}, {"rgb-trns", 2, true},
                 {"grey-alpha", 4, false}, {"rgba", 6, false}};
    for (const auto& c : cases) {
        const Bytes file = encodePng16(picture, c.colourType, c.keyed ? key : nullptr);
        const std::string name = std::string("gen-wide-") + c.name + "-16.png";
        ASSERT_FALSE(loadPngBytesExtended(file).ok) << name;
        expectAllChecksPass("png", checkPngLoad, name, file);
    }
}

TEST(GeneratedInputs, GifOfEveryAcceptedKind)
{
    const std::vector<uint32_t> colours = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF, 0x123456, 0xFFFFFF, 0x808080,
                                           0x00FF00};
    struct GifCase {
        const char* name;
        bool interlaced;
        int transparentIndex;
        uint16_t left;
    };
    const GifCase cases[] = {
        {"plain", false, -1, 0},
        {"interlaced", true, -1, 0},
        {"transparent", false, 3, 0},
        {"transparent-shared-colour", false, 2, 0},   // entry 7 has entry 2's colour
        {"offset", false, -1, 3},
    };
    uint32_t seed = 50;
    for (const GifCase& c : cases) {
        GifImagePart part;
        part.width = 11;
        part.height = 6;
        part.left = c.left;
        part.interlaced = c.interlaced;
        const Bytes indices = randomSamples(size_t(part.width) * part.height, 8, seed++);
        part.indices = c.interlaced ? interlaceRows(indices, part.width, part.height) : indices;
        part.minCodeSize = 3;
        GifBuilder gif(12, 7, colourTable(colours), 1);
        if (c.transparentIndex >= 0)
            gif.graphicControl(c.transparentIndex);
        const Bytes file = gif.image(part).trailer().bytes;
        const std::string name = std::string("gen-") + c.name + ".gif";
        ASSERT_TRUE(loadGifBytes(file).ok) << name;
        expectAllChecksPass("gif", checkGifLoad, name, file);
    }
}

TEST(GeneratedInputs, BmpOfEveryAcceptedVariant)
{
    uint32_t seed = 100;
    for (const BmpFormat& format : allBmpVariants()) {
        const BmpPicture picture = randomPicture(9, 4, format, seed++);
        const Bytes file = encodeBmp(picture, format);
        DibImage image;
        ASSERT_TRUE(decodeBmp(file.data(), uint32_t(file.size()), image)) << format.name();
        expectAllChecksPass("bmp", checkBmpLoad, "gen-" + format.name() + ".bmp", file);
    }
}

// The test data corpus, corrupt files included: a refusal is fine, a broken
// property is not.
TEST(SharedCorpus, EveryFileKeepsEveryProperty)
{
    struct Folder {
        const char* path;
        const char* target;
        FuzzCheck check;
    };
    const Folder folders[] = {
        {"pngsuite/png", "png", checkPngLoad},
        {"gifsuite/gifs", "gif", checkGifLoad},
        {"pngsuite/bmp", "bmp", checkBmpLoad},
    };
    size_t files = 0;
    for (const Folder& folder : folders) {
        for (const std::string& name : listFiles(corpusPath(folder.path), "")) {
            const Bytes file = readFileBytes(corpusPath(folder.path) + "/" + name);
            EXPECT_EQ(folder.check(file.data(), file.size()), "") << folder.path << "/" << name;
            for (uint16_t options : {uint16_t(OPT_NO_DEFLATE_COMPARE),
                                     uint16_t(OPT_NO_DEFLATE_COMPARE | OPT_EXTENDED_SEARCH)}) {
                const Bytes input = conversionInput(file, options);
                EXPECT_EQ(checkConversion(input.data(), input.size()), "")
                    << folder.path << "/" << name << " options " << options;
            }
            ++files;
        }
    }
    EXPECT_GT(files, 300u) << "the test data corpus is missing";
}

}  // namespace
