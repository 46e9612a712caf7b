// The console's extended search (-x, -xi): inputs only it reads, its report
// line, output decoded by libpng to exactly the input's pixels and never
// larger than the default mode's, and the colour chunks of a PNG input kept.

#include <gtest/gtest.h>

#include <string>

#include "console/console_run.h"
#include "tests/common/image_file_builders.h"
#include "tests/console/console_test_support.h"

namespace {

std::string q(const std::string& path)
{
    return "\"" + path + "\"";
}

struct ExtendedCase {
    const char* name;
    std::string input;        // path of the input file
    bool readByDefault;       // the default mode reads it too
};

// Few translucent levels on a few colours: a palette with per-entry alpha.
RgbaImage translucentBadges()
{
    RgbaImage image = makeBandedImage(40, 24, 3);
    for (uint32_t i = 0; i < image.width * image.height; ++i)
        image.pixels[i * 4 + 3] = static_cast<uint8_t>(i % 40 < 8 ? 0 : i % 40 < 16 ? 128 : 255);
    return image;
}

}  // namespace

TEST(ConsoleExtended, ConvertsExactlyAndNeverLargerThanTheDefault)
{
    TempDir dir;
    const std::string badges = dir.file("badges.png");
    writeFileBytes(badges, encodePng(translucentBadges(), true, 6));
    const std::string gradient = dir.file("gradient.bmp");
    ASSERT_TRUE(writeBmp24(gradient, makeGradientImage(33, 17)));
    const ExtendedCase cases[] = {
        {"palette with alpha", badges, true},
        {"RGB gradient", gradient, true},
        {"interlaced grey", corpusPath("pngsuite/png/basi0g08.png"), false},
        {"grey+alpha", corpusPath("pngsuite/png/basn4a08.png"), false},
        {"16-bit of 8-bit values", corpusPath("pngsuite/png/g03n0g16.png"), false},
    };
    int decoded = 0;
    for (const ExtendedCase& c : cases) {
        SCOPED_TRACE(c.name);
        RgbaImage expected;
        ASSERT_TRUE(decodeOutputPng(c.input, expected) || loadAsRgba(c.input, expected));
        const std::string plain = dir.file("plain.png");
        const std::string extended = dir.file("extended.png");
        const ConsoleRun defaultRun = runConsoleLine("tolvarinxc -i " + q(c.input) + " -o " + q(plain));
        EXPECT_EQ(defaultRun.text.find("<read error>") == std::string::npos, c.readByDefault) << defaultRun.text;
        const ConsoleRun run = runConsoleLine("tolvarinxc -i " + q(c.input) + " -o " + q(extended) + " -x -xi 2");
        ASSERT_EQ(run.status, CONSOLE_EXIT_SUCCESS) << run.text;
        if (!fileExistsAt(extended))
            continue;   // a PNG input that could not be made smaller is left alone
        EXPECT_NE(run.text.find("拡張探索: "), std::string::npos) << run.text;
        RgbaImage output;
        ASSERT_TRUE(decodeOutputPng(extended, output));
        EXPECT_EQ(output.width, expected.width);
        EXPECT_TRUE(output.pixels == expected.pixels);
        ++decoded;
        if (c.readByDefault && fileExistsAt(plain)) {
            EXPECT_LE(readFileBytes(extended).size(), readFileBytes(plain).size());
        }
        std::remove(plain.c_str());
        std::remove(extended.c_str());
    }
    EXPECT_GE(decoded, 4);   // the inputs are ones the search can make smaller
}

TEST(ConsoleExtended, KeepsTheColourChunksOfAPngInput)
{
    TempDir dir;
    const std::string output = dir.file("out.png");
    const ConsoleRun run =
        runConsoleLine("tolvarinxc -i " + q(corpusPath("pngsuite/png/g04n0g16.png")) + " -o " + q(output) + " -x");
    ASSERT_EQ(run.status, CONSOLE_EXIT_SUCCESS) << run.text;
    const std::vector<uint8_t> bytes = readFileBytes(output);
    const std::string text(bytes.begin(), bytes.end());
    EXPECT_NE(text.find("gAMA"), std::string::npos);
}

TEST(ConsoleExtended, IterationsOutsideTheirRangeAreRefused)
{
    TempDir dir;
    const std::string input = dir.file("in.bmp");
    ASSERT_TRUE(writeBmp24(input, makeGradientImage(8, 8)));
    for (const char* value : {"0", "1001", "x", "-3", ""}) {
        const ConsoleRun run = runConsoleLine("tolvarinxc -i " + q(input) + " -x -xi " + value);
        EXPECT_EQ(run.status, CONSOLE_EXIT_FAILURE) << value;
        EXPECT_NE(run.text.find("-xiには1から1000までの数を指定してください"), std::string::npos) << value;
        const ConsoleRun folder = runConsoleLine("tolvarinxc -d " + q(dir.path()) + " -x -xi " + value);
        EXPECT_EQ(folder.status, CONSOLE_EXIT_FAILURE) << value;
    }
}
