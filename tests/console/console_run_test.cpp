// The console converter run in-process: the report texts, the files it leaves
// and the exit status for every outcome.

#include <gtest/gtest.h>

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "console/console_run.h"
#include "services/image_conversion.h"
#include "core/byte_buffer.h"
#include "core/file_handle.h"
#include "services/conversion.h"
#include "tests/console/console_test_support.h"

namespace {

const std::string kFast = " -nf -nd -nc";
const char kPngSignature[8] = {'\x89', 'P', 'N', 'G', '\r', '\n', '\x1a', '\n'};

std::string q(const std::string& path)
{
    return "\"" + path + "\"";
}

bool startsWithPngSignature(const std::vector<uint8_t>& bytes)
{
    return bytes.size() >= 8 && std::equal(bytes.begin(), bytes.begin() + 8, kPngSignature,
                                            [](uint8_t a, char b) { return a == uint8_t(b); });
}

// Expected RGBA of a loaded picture once written without alpha: opaque.
void expectSamePixels(const RgbaImage& expected, const RgbaImage& actual)
{
    ASSERT_EQ(expected.width, actual.width);
    ASSERT_EQ(expected.height, actual.height);
    EXPECT_TRUE(expected.pixels == actual.pixels);
}

class ConsoleRunTest : public ::testing::Test {
protected:
    // A PNG the optimizer cannot improve with the fast options: its own output.
    std::string makeOptimalPng(const std::string& name, const RgbaImage& image)
    {
        const std::string bmp = dir.file("source-for-" + name + ".bmp");
        const std::string png = dir.file(name);
        EXPECT_TRUE(writeBmp24(bmp, image));
        ConsoleRun run = runConsoleLine("tolvarinxc -i " + q(bmp) + " -o " + q(png) + kFast);
        EXPECT_EQ(run.status, CONSOLE_EXIT_SUCCESS) << run.text;
        std::filesystem::remove(bmp);
        return png;
    }

    TempDir dir;
};

} // namespace

TEST_F(ConsoleRunTest, NoArgumentsPrintsUsageAndFails)
{
    ConsoleRun run = runConsoleLine("tolvarinxc", 1);
    EXPECT_EQ(run.text, "[usage]\n-i [input] [-o [output]] ...\n");
    EXPECT_EQ(run.status, CONSOLE_EXIT_FAILURE);
    EXPECT_EQ(countEntries(dir.path()), 0u);
}

TEST_F(ConsoleRunTest, MissingInputSwitchIsReported)
{
    const std::string bmp = dir.file("a.bmp");
    ASSERT_TRUE(writeBmp24(bmp, makeBandedImage(4, 4, 3)));
    const char* lines[] = {
        "tolvarinxc -nf",
        "tolvarinxc -o out.png",
        "tolvarinxc -i",
        "tolvarinxc -i -nf",
        "tolvarinxc -i \"\" -o out.png",
        "tolvarinxc -I a.bmp",
        "tolvarinxc \"-i\" a.bmp",
    };
    for (const char* line : lines) {
        ConsoleRun run = runConsoleLine(line, 2);
        EXPECT_EQ(run.text, "-iで入力ﾌｧｲﾙを指定してください") << line;
        EXPECT_EQ(run.status, CONSOLE_EXIT_FAILURE) << line;
    }
    EXPECT_EQ(countEntries(dir.path()), 1u);
}

TEST_F(ConsoleRunTest, MissingInputFileIsReported)
{
    const std::string missing = dir.file("nothing here.bmp");
    ConsoleRun run = runConsoleLine("tolvarinxc -i " + q(missing));
    EXPECT_EQ(run.text, missing + " が存在しません");
    EXPECT_EQ(run.status, CONSOLE_EXIT_FAILURE);
    EXPECT_EQ(countEntries(dir.path()), 0u);
}

TEST_F(ConsoleRunTest, UnreadableInputIsAReadError)
{
    const std::string notes = dir.file("notes.txt");
    ASSERT_TRUE(writeFileBytes(notes, {'h', 'e', 'l', 'l', 'o'}));
    ConsoleRun run = runConsoleLine("tolvarinxc -i " + q(notes));
    EXPECT_EQ(run.text, nameLines(notes, dir.file("notes.png")) + "<read error>\n");
    EXPECT_EQ(run.status, CONSOLE_EXIT_FAILURE);
    EXPECT_FALSE(fileExistsAt(dir.file("notes.png")));

    // A folder exists but is no image either.
    const std::string folder = dir.file("folder.gif");
    std::filesystem::create_directory(folder);
    run = runConsoleLine("tolvarinxc -i " + q(folder));
    EXPECT_EQ(run.text, nameLines(folder, dir.file("folder.png")) + "<read error>\n");
    EXPECT_EQ(run.status, CONSOLE_EXIT_FAILURE);
    EXPECT_EQ(countEntries(dir.path()), 2u);
}

TEST_F(ConsoleRunTest, OutputThatCannotBeCreatedIsAnOutputError)
{
    const std::string bmp = dir.file("a.bmp");
    ASSERT_TRUE(writeBmp24(bmp, makeBandedImage(8, 8, 5)));
    const std::string output = dir.file("missing") + "/out.png";
    ConsoleRun run = runConsoleLine("tolvarinxc -i " + q(bmp) + " -o " + q(output) + kFast);
    EXPECT_EQ(run.text, nameLines(bmp, output) + "<出力エラー>\n");
    EXPECT_EQ(run.status, CONSOLE_EXIT_FAILURE);
    EXPECT_EQ(countEntries(dir.path()), 1u);
}

TEST_F(ConsoleRunTest, BmpIsConvertedWithResultBlock)
{
    const std::string bmp = dir.file("photo.bmp");
    const RgbaImage image = makeBandedImage(20, 10, 5);
    ASSERT_TRUE(writeBmp24(bmp, image));
    const uint32_t inSize = static_cast<uint32_t>(readFileBytes(bmp).size());

    ConsoleRun run = runConsoleLine("tolvarinxc -i " + q(bmp) + kFast);
    const std::string png = dir.file("photo.png");
    ASSERT_EQ(run.status, CONSOLE_EXIT_SUCCESS) << run.text;
    const uint32_t outSize = static_cast<uint32_t>(readFileBytes(png).size());

    // No trial runs with every comparison off, so no dot at all.
    char block[256];
    std::snprintf(block, sizeof block, "<result>\ninsize: %u\noutsize: %u (%+d)\n出力形式: 4BIT filter 0 zw 15 zm 8\n",
                  inSize, outSize, int(outSize) - int(inSize));
    EXPECT_EQ(run.text, nameLines(bmp, png) + "\n\n" + block);

    RgbaImage decoded;
    ASSERT_TRUE(decodeOutputPng(png, decoded));
    expectSamePixels(image, decoded);
}

TEST_F(ConsoleRunTest, BmpOutputIsWrittenEvenWhenLarger)
{
    // A 1x1 BMP is smaller than any PNG; a BMP is never size-tested.
    const std::string bmp = dir.file("dot.bmp");
    const RgbaImage image = makeBandedImage(1, 1, 1);
    ASSERT_TRUE(writeBmp24(bmp, image));
    ConsoleRun run = runConsoleLine("tolvarinxc -i " + q(bmp));
    ASSERT_EQ(run.status, CONSOLE_EXIT_SUCCESS) << run.text;
    ReportedResult result;
    ASSERT_TRUE(parseResultBlock(run.text, result)) << run.text;
    EXPECT_EQ(result.inSize, 58u);
    EXPECT_GT(result.outSize, result.inSize);
    EXPECT_EQ(result.outSize, readFileBytes(dir.file("dot.png")).size());
    EXPECT_NE(run.text.find("(+" + std::to_string(result.outSize - 58) + ")\n"), std::string::npos);
    RgbaImage decoded;
    ASSERT_TRUE(decodeOutputPng(dir.file("dot.png"), decoded));
    expectSamePixels(image, decoded);
}

TEST_F(ConsoleRunTest, ShrinkingPngIsReplacedInPlace)
{
    const std::string png = dir.file("picture.png");
    const RgbaImage image = makeGradientImage(24, 16);
    ASSERT_TRUE(writeRgbaPng(png, image, 0));
    const uint32_t inSize = static_cast<uint32_t>(readFileBytes(png).size());

    ConsoleRun run = runConsoleLine("tolvarinxc -i " + q(png));
    ASSERT_EQ(run.status, CONSOLE_EXIT_SUCCESS) << run.text;
    EXPECT_GT(countDots(run.text, png, png), 0) << run.text;
    ReportedResult result;
    ASSERT_TRUE(parseResultBlock(run.text, result)) << run.text;
    const uint32_t outSize = static_cast<uint32_t>(readFileBytes(png).size());
    EXPECT_EQ(result.inSize, inSize);
    EXPECT_EQ(result.outSize, outSize);
    EXPECT_LT(outSize, inSize);
    EXPECT_EQ(result.change, int(outSize) - int(inSize));
    EXPECT_EQ(result.bitDepth, 32);   // an RGBA PNG loads with alpha
    EXPECT_EQ(countEntries(dir.path()), 1u);

    RgbaImage decoded;
    ASSERT_TRUE(decodeOutputPng(png, decoded));
    expectSamePixels(image, decoded);
}

TEST_F(ConsoleRunTest, PngThatDoesNotShrinkIsLeftAlone)
{
    const std::string png = makeOptimalPng("best.png", makeBandedImage(16, 16, 7));
    const std::vector<uint8_t> before = readFileBytes(png);
    ConsoleRun run = runConsoleLine("tolvarinxc -i " + q(png) + kFast);
    EXPECT_EQ(run.text, nameLines(png, png) + "\n\n<ｻｲｽﾞが増えたため出力なし>\n");
    EXPECT_EQ(run.status, CONSOLE_EXIT_SUCCESS);
    EXPECT_EQ(readFileBytes(png), before);
    EXPECT_EQ(countEntries(dir.path()), 1u);
}

TEST_F(ConsoleRunTest, UpperCaseExtensionIsTheSameFile)
{
    const std::string optimal = makeOptimalPng("best.png", makeBandedImage(16, 16, 7));
    const std::string upper = dir.file("image.PNG");
    std::filesystem::rename(optimal, upper);
    const std::vector<uint8_t> before = readFileBytes(upper);

    ConsoleRun run = runConsoleLine("tolvarinxc -i " + q(upper) + kFast);
    EXPECT_EQ(run.text, nameLines(upper, dir.file("image.png")) + "\n\n<ｻｲｽﾞが増えたため出力なし>\n");
    EXPECT_EQ(run.status, CONSOLE_EXIT_SUCCESS);
    EXPECT_EQ(readFileBytes(upper), before);
    // Nothing was written under the lower-case name either.
    EXPECT_EQ(countEntries(dir.path()), 1u);
}

TEST_F(ConsoleRunTest, SameFileUnderAnotherNameIsNotCopiedOntoItself)
{
    const std::string png = makeOptimalPng("best.png", makeBandedImage(16, 16, 7));
    const std::vector<uint8_t> before = readFileBytes(png);
    const std::string alias = dir.path() + "/./best.png";
    ConsoleRun run = runConsoleLine("tolvarinxc -i " + q(png) + " -o " + q(alias) + kFast);
    EXPECT_EQ(run.text, nameLines(png, alias) + "\n\n<ｻｲｽﾞが増えたため出力なし>\n");
    EXPECT_EQ(run.status, CONSOLE_EXIT_SUCCESS);
    EXPECT_EQ(readFileBytes(png), before);
    EXPECT_EQ(countEntries(dir.path()), 1u);
}

TEST_F(ConsoleRunTest, PngThatDoesNotShrinkIsCopiedToAnotherPath)
{
    const std::string png = makeOptimalPng("best.png", makeBandedImage(16, 16, 7));
    const std::string copy = dir.file("copy.png");
    // Whatever was there is replaced.
    ASSERT_TRUE(writeFileBytes(copy, {1, 2, 3}));
    ConsoleRun run = runConsoleLine("tolvarinxc -i " + q(png) + " -o " + q(copy) + kFast);
    EXPECT_EQ(run.text, nameLines(png, copy) + "\n\n<ｻｲｽﾞが増えたためそのままｺﾋﾟｰ>\n");
    EXPECT_EQ(run.status, CONSOLE_EXIT_SUCCESS);
    EXPECT_EQ(readFileBytes(copy), readFileBytes(png));
    EXPECT_EQ(countEntries(dir.path()), 2u);
}

TEST_F(ConsoleRunTest, FailedCopyIsAnOutputError)
{
    const std::string png = makeOptimalPng("best.png", makeBandedImage(16, 16, 7));
    const std::string copy = dir.file("missing") + "/copy.png";
    ConsoleRun run = runConsoleLine("tolvarinxc -i " + q(png) + " -o " + q(copy) + kFast);
    EXPECT_EQ(run.text, nameLines(png, copy) + "\n\n<出力エラー>\n");
    EXPECT_EQ(run.status, CONSOLE_EXIT_FAILURE);
    EXPECT_EQ(countEntries(dir.path()), 1u);
}

TEST_F(ConsoleRunTest, DerivedNameNeverLeavesTheInputFolder)
{
    const std::filesystem::path folder = std::filesystem::path(dir.path()) / "old.dir";
    std::filesystem::create_directory(folder);
    const std::string input = (folder / "picture").string();
    const RgbaImage image = makeBandedImage(10, 6, 4);
    ASSERT_TRUE(writeBmp24(input, image));

    ConsoleRun run = runConsoleLine("tolvarinxc -i " + q(input) + kFast);
    ASSERT_EQ(run.status, CONSOLE_EXIT_SUCCESS) << run.text;
    EXPECT_EQ(run.text.substr(0, nameLines(input, input).size()), nameLines(input, input));
    // The input itself became the PNG; nothing appeared beside the folder.
    EXPECT_TRUE(startsWithPngSignature(readFileBytes(input)));
    EXPECT_EQ(countEntries(dir.path()), 1u);
    EXPECT_EQ(countEntries(folder.string()), 1u);
    RgbaImage decoded;
    ASSERT_TRUE(decodeOutputPng(input, decoded));
    expectSamePixels(image, decoded);
}

TEST_F(ConsoleRunTest, OutputSwitchWithoutValueGivesDerivedName)
{
    const std::string bmp = dir.file("a.bmp");
    ASSERT_TRUE(writeBmp24(bmp, makeBandedImage(6, 6, 2)));
    const std::string derived = dir.file("a.png");
    const std::string other = dir.file("other.png");

    const std::string tails[] = {" -o", " -o -nf -nd -nc", " -o -nf -o " + q(other) + " -nd -nc"};
    for (const std::string& tail : tails) {
        std::filesystem::remove(derived);
        ConsoleRun run = runConsoleLine("tolvarinxc -i " + q(bmp) + tail);
        EXPECT_EQ(run.status, CONSOLE_EXIT_SUCCESS) << tail;
        EXPECT_EQ(run.text.substr(0, nameLines(bmp, derived).size()), nameLines(bmp, derived)) << tail;
        EXPECT_TRUE(fileExistsAt(derived)) << tail;
    }
    EXPECT_FALSE(fileExistsAt(other));
}

TEST_F(ConsoleRunTest, PathsArePrintedAsPlainText)
{
    const std::string bmp = dir.file("100%d %s.bmp");
    ASSERT_TRUE(writeBmp24(bmp, makeBandedImage(4, 4, 2)));
    ConsoleRun run = runConsoleArgs({"-i", bmp, "-nf", "-nd", "-nc"});
    ASSERT_EQ(run.status, CONSOLE_EXIT_SUCCESS) << run.text;
    EXPECT_EQ(run.text.substr(0, nameLines(bmp, dir.file("100%d %s.png")).size()),
              nameLines(bmp, dir.file("100%d %s.png")));
    EXPECT_TRUE(fileExistsAt(dir.file("100%d %s.png")));
}

namespace {

struct TrialStarts {
    int count = 0;
    static void onEvent(int32_t depth, int32_t, int32_t, int32_t, int32_t size, void* user)
    {
        if (depth < 0 && size < 0)
            ++static_cast<TrialStarts*>(user)->count;
    }
};

int countTrialStarts(const RgbaImage& rgba, uint16_t options)
{
    DibImage image;
    if (!dibFromRgba(rgba, image, false))
        return -1;
    volatile int16_t cancel = 0;
    ConvertRequest request;
    fillConvertRequest(request, image, -1, options);
    TrialStarts starts;
    request.callback = TrialStarts::onEvent;
    request.userData = &starts;
    request.cancelFlag = &cancel;
    PngOptimizer optimizer;
    if (!optimizer.convert(nullptr, request))
        return -1;
    return starts.count;
}

} // namespace

TEST_F(ConsoleRunTest, OneDotPerTrialStart)
{
    const std::string bmp = dir.file("g.bmp");
    const RgbaImage image = makeGradientImage(12, 9);
    ASSERT_TRUE(writeBmp24(bmp, image));
    const std::string png = dir.file("g.png");

    struct Case {
        const char* switches;
        uint16_t options;
    } cases[] = {{"", 0}, {" -nf", OPT_NO_FILTER_COMPARE}, {" -nd", OPT_NO_DEFLATE_COMPARE},
                 {" -nf -nd", OPT_NO_FILTER_COMPARE | OPT_NO_DEFLATE_COMPARE}};
    for (const Case& c : cases) {
        ConsoleRun run = runConsoleLine("tolvarinxc -f -i " + q(bmp) + c.switches);
        ASSERT_EQ(run.status, CONSOLE_EXIT_SUCCESS) << run.text;
        const int expected = countTrialStarts(image, c.options);
        EXPECT_EQ(countDots(run.text, bmp, png), expected) << c.switches;
        if (c.options == 0) {
            EXPECT_GT(expected, 6);
        }
    }
}

TEST_F(ConsoleRunTest, SwitchesAreCaseSensitive)
{
    const std::string bmp = dir.file("g.bmp");
    ASSERT_TRUE(writeBmp24(bmp, makeGradientImage(8, 8)));
    // -NF -ND -NC are no switches: the full search runs.
    ConsoleRun run = runConsoleLine("tolvarinxc -i " + q(bmp) + " -NF -ND -NC");
    ASSERT_EQ(run.status, CONSOLE_EXIT_SUCCESS) << run.text;
    EXPECT_GT(countDots(run.text, bmp, dir.file("g.png")), 6);
}

namespace {

// A whole-second file time an hour ago: recent enough that reading the file
// does not move its access time on relatime mounts.
FileTime fileTimeFromUnix(int64_t seconds)
{
    return static_cast<FileTime>((seconds + 11644473600LL) * 10000000LL);
}

struct Times {
    FileTime creation = 0;
    FileTime access = 0;
    FileTime write = 0;
};

Times timesOf(const std::string& path)
{
    Times t;
    EXPECT_TRUE(getFileTimes(path.c_str(), &t.creation, &t.access, &t.write));
    return t;
}

void stampOldTimes(const std::string& path, Times& stamped)
{
    const int64_t now = static_cast<int64_t>(std::time(nullptr));
    stamped.access = fileTimeFromUnix(now - 3600);
    stamped.write = fileTimeFromUnix(1104537600);   // 2005-01-01
    ASSERT_TRUE(setFileTimes(path.c_str(), nullptr, &stamped.access, &stamped.write));
}

} // namespace

TEST_F(ConsoleRunTest, TimeStampsAreCarriedToConvertedOutput)
{
    const std::string bmp = dir.file("a.bmp");
    ASSERT_TRUE(writeBmp24(bmp, makeBandedImage(8, 8, 3)));
    Times stamped;
    stampOldTimes(bmp, stamped);

    ConsoleRun run = runConsoleLine("tolvarinxc -i " + q(bmp) + " -ts" + kFast);
    ASSERT_EQ(run.status, CONSOLE_EXIT_SUCCESS) << run.text;
    const Times input = timesOf(bmp);
    const Times output = timesOf(dir.file("a.png"));
    EXPECT_EQ(output.write, stamped.write);
    EXPECT_EQ(output.access, input.access);

    // Without -ts the output is simply new (-f: it replaces the first run's).
    run = runConsoleLine("tolvarinxc -f -i " + q(bmp) + kFast);
    ASSERT_EQ(run.status, CONSOLE_EXIT_SUCCESS) << run.text;
    EXPECT_GT(timesOf(dir.file("a.png")).write, stamped.write);
}

TEST_F(ConsoleRunTest, TimeStampsAreCarriedToCopiedOutput)
{
    const std::string png = makeOptimalPng("best.png", makeBandedImage(16, 16, 7));
    Times stamped;
    stampOldTimes(png, stamped);
    const std::string copy = dir.file("copy.png");

    ConsoleRun run = runConsoleLine("tolvarinxc -ts -i " + q(png) + " -o " + q(copy) + kFast);
    EXPECT_EQ(run.text, nameLines(png, copy) + "\n\n<ｻｲｽﾞが増えたためそのままｺﾋﾟｰ>\n");
    ASSERT_EQ(run.status, CONSOLE_EXIT_SUCCESS);
    const Times input = timesOf(png);
    const Times output = timesOf(copy);
    EXPECT_EQ(output.write, stamped.write);
    EXPECT_EQ(output.access, input.access);
    EXPECT_EQ(readFileBytes(copy), readFileBytes(png));
}

TEST(ConsoleStreams, WholeStreamReadIsBoundedByTheLimit)
{
    struct Case {
        uint32_t bytes;
        uint32_t limit;
        StreamRead expected;
    };
    const Case cases[] = {
        {0, 10, StreamRead::Complete},
        {10, 10, StreamRead::Complete},
        {11, 10, StreamRead::TooLarge},
        {(1u << 16) + 1, 1u << 16, StreamRead::TooLarge},   // beyond one read step
        {(3u << 16) + 5, 4u << 16, StreamRead::Complete},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.bytes) + " bytes, limit " + std::to_string(c.limit));
        std::vector<uint8_t> content(c.bytes);
        for (size_t i = 0; i < content.size(); ++i)
            content[i] = static_cast<uint8_t>(i * 7 + i / 251);
        FILE* stream = std::tmpfile();
        ASSERT_NE(stream, nullptr);
        ASSERT_TRUE(writeWholeStream(stream, content.data(), c.bytes));
        std::rewind(stream);
        AppendBuffer read;
        EXPECT_EQ(readWholeStream(stream, c.limit, read), c.expected);
        std::fclose(stream);
        if (c.expected == StreamRead::Complete)
            EXPECT_TRUE(std::vector<uint8_t>(read.data, read.data + read.used) == content);
        else
            EXPECT_EQ(read.used, 0u);
    }
}
