// loadImageMemory against loadImageFile over every image of the test suites
// (PNG, GIF, BMP), with both input kinds: the same success, pixels, alpha
// flag, transparent colour and colour chunks. Also every strict prefix of a
// few files, so that a truncated file and truncated bytes end alike.

#include <gtest/gtest.h>

#include <cstring>

#include "core/byte_buffer.h"
#include "core/dib_image.h"
#include "core/image_loader.h"
#include "tests/common/test_support.h"

namespace {

struct LoadOutcome {
    bool ok = false;
    int32_t transparentColour = -2;
    int16_t hasAlpha = -1;
    RgbaImage picture;
    std::vector<uint8_t> colourChunks;
};

LoadOutcome describe(bool ok, const DibImage& image, int32_t transparentColour, const AppendBuffer& chunks)
{
    LoadOutcome outcome;
    outcome.ok = ok;
    outcome.transparentColour = transparentColour;
    outcome.hasAlpha = image.hasAlpha;
    if (ok)
        outcome.picture = rgbaFromDib(image);
    if (chunks.data)
        outcome.colourChunks.assign(chunks.data, chunks.data + chunks.used);
    return outcome;
}

LoadOutcome fromFile(const std::string& path, ImageInput input)
{
    DibImage image;
    int32_t transparentColour = -2;
    AppendBuffer chunks;
    const bool ok = loadImageFile(image, path.c_str(), transparentColour, input, &chunks);
    return describe(ok, image, transparentColour, chunks);
}

LoadOutcome fromMemory(const std::vector<uint8_t>& bytes, ImageInput input)
{
    DibImage image;
    int32_t transparentColour = -2;
    AppendBuffer chunks;
    const bool ok = loadImageMemory(image, bytes.data(), uint32_t(bytes.size()), transparentColour, input, &chunks);
    return describe(ok, image, transparentColour, chunks);
}

void expectSame(const LoadOutcome& file, const LoadOutcome& memory)
{
    ASSERT_EQ(file.ok, memory.ok);
    EXPECT_EQ(file.transparentColour, memory.transparentColour);
    EXPECT_EQ(file.hasAlpha, memory.hasAlpha);
    EXPECT_EQ(file.colourChunks, memory.colourChunks);
    EXPECT_EQ(file.picture.width, memory.picture.width);
    EXPECT_EQ(file.picture.height, memory.picture.height);
    EXPECT_TRUE(file.picture.pixels == memory.picture.pixels) << "pixels differ";
}

struct SuiteFolder {
    const char* folder;
    const char* suffix;
    size_t fewestFiles;
};

const SuiteFolder kSuites[] = {
    {"pngsuite/png", ".png", 150},
    {"gifsuite/gifs", ".gif", 10},
    {"pngsuite/bmp", ".bmp", 100},
    {"bench", ".bmp", 3},
};

const ImageInput kInputs[] = {ImageInput::Default, ImageInput::Extended};

}  // namespace

TEST(MemoryLoader, GivesTheFileLoadersImageForEverySuiteFile)
{
    for (const SuiteFolder& suite : kSuites) {
        const std::vector<std::string> names = listFiles(corpusPath(suite.folder), suite.suffix);
        EXPECT_GE(names.size(), suite.fewestFiles) << suite.folder;
        size_t loaded = 0;
        for (const std::string& name : names) {
            const std::string path = corpusPath(std::string(suite.folder) + "/" + name);
            const std::vector<uint8_t> bytes = readFileBytes(path);
            for (ImageInput input : kInputs) {
                SCOPED_TRACE(path + (input == ImageInput::Extended ? " (extended)" : ""));
                const LoadOutcome file = fromFile(path, input);
                expectSame(file, fromMemory(bytes, input));
                loaded += file.ok;
            }
        }
        EXPECT_GT(loaded, 0u) << suite.folder << ": nothing loaded, so nothing was compared";
    }
}

TEST(MemoryLoader, TruncatedBytesEndAsTruncatedFiles)
{
    const std::string paths[] = {
        corpusPath("pngsuite/png/basn3p04.png"),
        corpusPath("pngsuite/png/basi6a08.png"),
        corpusPath("gifsuite/gifs/" + listFiles(corpusPath("gifsuite/gifs"), ".gif").at(0)),
        corpusPath("pngsuite/bmp/" + listFiles(corpusPath("pngsuite/bmp"), ".bmp").at(0)),
    };
    TempDir dir;
    const std::string cut = dir.file("cut");
    for (const std::string& path : paths) {
        const std::vector<uint8_t> whole = readFileBytes(path);
        ASSERT_FALSE(whole.empty()) << path;
        const size_t step = whole.size() / 40 + 1;
        for (size_t length = 0; length < whole.size(); length += step) {
            SCOPED_TRACE(path + " cut at " + std::to_string(length));
            const std::vector<uint8_t> prefix(whole.begin(), whole.begin() + long(length));
            ASSERT_TRUE(writeFileBytes(cut, prefix));
            expectSame(fromFile(cut, ImageInput::Extended), fromMemory(prefix, ImageInput::Extended));
        }
    }
}
