// The lossless guarantee end to end: every corpus picture the loader accepts,
// converted by the console run and decoded by libpng, gives back the loaded
// pixels, transparency included.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "console/console_run.h"
#include "core/dib_image.h"
#include "core/image_loader.h"
#include "tests/console/console_test_support.h"

namespace {

// The RGBA a correct PNG of the loaded picture decodes to: the alpha bytes as
// they are for an alpha image; otherwise opaque, except pixels of the
// transparent colour, which a tRNS chunk makes fully transparent.
RgbaImage expectedDecoding(const RgbaImage& loaded, bool hasAlpha, int32_t transparentColour)
{
    RgbaImage expected = loaded;
    if (hasAlpha)
        return expected;
    for (size_t i = 0; i < expected.pixels.size(); i += 4) {
        uint8_t* p = &expected.pixels[i];
        const int32_t rgb = (int32_t(p[0]) << 16) | (int32_t(p[1]) << 8) | p[2];
        p[3] = (transparentColour != -1 && rgb == transparentColour) ? 0 : 255;
    }
    return expected;
}

struct LoadedPicture {
    RgbaImage rgba;
    bool hasAlpha = false;
    int32_t transparentColour = -1;
};

bool loadPicture(const std::string& path, LoadedPicture& picture)
{
    DibImage image;
    if (!loadImageFile(image, path.c_str(), picture.transparentColour))
        return false;
    picture.rgba = rgbaFromDib(image);
    picture.hasAlpha = image.hasAlpha != 0;
    return true;
}

// Converts source (copied under a name without the "png" extension, so the
// output is always written) and compares the decoded output with the loaded
// picture. Returns false when the loader refuses the source.
bool roundTrip(const std::string& source, const std::vector<std::string>& switches)
{
    LoadedPicture picture;
    if (!loadPicture(source, picture))
        return false;
    SCOPED_TRACE(source);
    TempDir dir;
    const std::string input = dir.file("input.img");
    const std::string output = dir.file("output.png");
    std::filesystem::copy_file(source, input);

    std::vector<std::string> arguments = {"-i", input, "-o", output};
    arguments.insert(arguments.end(), switches.begin(), switches.end());
    ConsoleRun run = runConsoleArgs(arguments);
    EXPECT_EQ(run.status, CONSOLE_EXIT_SUCCESS) << run.text;
    ReportedResult result;
    EXPECT_TRUE(parseResultBlock(run.text, result)) << run.text;
    EXPECT_EQ(result.outSize, readFileBytes(output).size());

    RgbaImage decoded;
    EXPECT_TRUE(decodePngWithLibpng(output, decoded));
    const RgbaImage expected = expectedDecoding(picture.rgba, picture.hasAlpha, picture.transparentColour);
    EXPECT_EQ(decoded.width, expected.width);
    EXPECT_EQ(decoded.height, expected.height);
    if (decoded.pixels != expected.pixels) {
        size_t first = 0;
        while (first < expected.pixels.size() && first < decoded.pixels.size() &&
               decoded.pixels[first] == expected.pixels[first])
            ++first;
        ADD_FAILURE() << "pixels differ from byte " << first << " (bit depth " << result.bitDepth << ")";
    }
    return true;
}

// Round-trips every file of the folder; returns the names the loader accepted.
std::vector<std::string> roundTripFolder(const std::string& folder, const std::string& suffix,
                                         const std::vector<std::string>& switches)
{
    std::vector<std::string> accepted;
    for (const std::string& name : listFiles(corpusPath(folder), suffix)) {
        if (roundTrip(corpusPath(folder + "/" + name), switches))
            accepted.push_back(name);
    }
    return accepted;
}

// PngSuite names tell the format: the fourth letter 'i' marks interlacing, the
// fifth the colour type, the last two digits the bit depth; an 'x' prefix marks
// a corrupt file. The loader takes non-interlaced 1- to 8-bit files of colour
// types 0, 2, 3 and 6.
bool pngSuiteFormatIsSupported(const std::string& name)
{
    return name[0] != 'x' && name[3] != 'i' && name[4] != '4' && name.compare(6, 2, "16") != 0;
}

const std::vector<std::string> kQuick = {"-nd", "-nf"};

} // namespace

TEST(ConsoleRoundTrip, PngSuitePngFiles)
{
    const std::vector<std::string> accepted = roundTripFolder("pngsuite/png", ".png", kQuick);
    size_t supported = 0;
    for (const std::string& name : listFiles(corpusPath("pngsuite/png"), ".png")) {
        if (!pngSuiteFormatIsSupported(name))
            continue;
        ++supported;
        EXPECT_NE(std::find(accepted.begin(), accepted.end(), name), accepted.end()) << name << " was not loaded";
    }
    EXPECT_GE(supported, 90u);
}

TEST(ConsoleRoundTrip, PngSuiteBmpFiles)
{
    EXPECT_EQ(roundTripFolder("pngsuite/bmp", ".bmp", kQuick), listFiles(corpusPath("pngsuite/bmp"), ".bmp"));
}

TEST(ConsoleRoundTrip, GifFirstFrames)
{
    EXPECT_EQ(roundTripFolder("gifsuite/gifs", ".gif", kQuick), listFiles(corpusPath("gifsuite/gifs"), ".gif"));
}

TEST(ConsoleRoundTrip, FullSearchOnAHandful)
{
    const char* files[] = {
        "pngsuite/png/basn0g04.png",   // grey, few levels
        "pngsuite/png/basn2c08.png",   // RGB
        "pngsuite/png/basn3p02.png",   // small palette
        "pngsuite/png/basn6a08.png",   // RGBA
        "pngsuite/png/tbrn2c08.png",   // RGB with a transparent colour
        "pngsuite/png/tbbn3p08.png",   // palette with transparency
    };
    for (const char* file : files)
        EXPECT_TRUE(roundTrip(corpusPath(file), {})) << file;
    const std::vector<std::string> gifs = listFiles(corpusPath("gifsuite/gifs"), ".gif");
    ASSERT_FALSE(gifs.empty());
    for (const std::string& name : gifs) {
        if (name.find("transparent") != std::string::npos) {
            EXPECT_TRUE(roundTrip(corpusPath("gifsuite/gifs/" + name), {})) << name;
            break;
        }
    }
}

TEST(ConsoleRoundTrip, PictureWiderThanAMillionPixels)
{
    // PNG allows widths up to 2^31 - 1; libpng's reader refuses widths over a
    // million unless told otherwise, so this also keeps the test decoder honest.
    TempDir dir;
    const std::string source = dir.file("wide.bmp");
    ASSERT_TRUE(writeBmp24(source, makeBandedImage(1000003, 2, 5)));
    EXPECT_TRUE(roundTrip(source, kQuick));
}
