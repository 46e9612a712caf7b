// Files written by convert: decoded by libpng and compared with the input,
// chunk layout and CRCs, predicted size against the real length, the size
// limit, and the protection of existing files when writing fails.

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "engine/deflate_stream.h"
#include "tests/engine/engine_test_support.h"

namespace {

// Everything about a written file, including what libpng decodes from it.
void expectSoundFile(const WrittenFile& file, const TestPicture& picture, int32_t transparent,
                     bool hasAlpha)
{
    expectSoundStructure(file, picture);
    RgbaImage decoded;
    ASSERT_TRUE(decodePngBytesWithLibpng(file.bytes, decoded));
    EXPECT_TRUE(sameRgba(picture.expectedDecoded(transparent, hasAlpha), decoded));
}

}   // namespace

TEST(WrittenPng, EveryBitDepthDecodesToTheInput)
{
    TempDir dir;
    const struct { int colours; int32_t width; int32_t depth; } cases[] = {
        {1, 7, 1}, {2, 9, 1}, {3, 5, 2}, {4, 6, 2}, {5, 5, 4}, {16, 11, 4}, {17, 13, 8},
        {256, 33, 8}, {257, 31, 24},
    };
    for (const auto& c : cases) {
        TestPicture picture = cyclingPicture(c.width, 19, c.colours);
        WrittenFile file;
        convertTo(dir.file("out.png"), picture, -1, false, OPT_NO_8BIT_COMPARE, file);
        SCOPED_TRACE(c.colours);
        expectSoundFile(file, picture, -1, false);
        EXPECT_EQ(file.request.bitDepth, c.depth);
        const PngChunk* plte = findChunk(file.chunks, "PLTE");
        if (c.depth <= 8) {
            ASSERT_NE(plte, nullptr);
            EXPECT_EQ(plte->data.size(), 3u * c.colours);
            EXPECT_EQ(chunkTypes(file.chunks), (std::vector<std::string>{"IHDR", "PLTE", "IDAT", "IEND"}));
        } else {
            EXPECT_EQ(plte, nullptr);
        }
    }
    TestPicture alpha(23, 17);
    alpha.fillNoise(3, true);
    WrittenFile file;
    convertTo(dir.file("alpha.png"), alpha, -1, true, 0, file);
    expectSoundFile(file, alpha, -1, true);
    EXPECT_EQ(file.request.bitDepth, 32);
    EXPECT_EQ(chunkTypes(file.chunks), (std::vector<std::string>{"IHDR", "IDAT", "IEND"}));
}

TEST(WrittenPng, SingleColourImageHasAThreeBytePalette)
{
    TempDir dir;
    TestPicture picture(40, 3);
    picture.fillCycling({0x123456});
    WrittenFile file;
    convertTo(dir.file("one.png"), picture, -1, false, 0, file);
    expectSoundFile(file, picture, -1, false);
    EXPECT_EQ(file.request.bitDepth, 1);
    ASSERT_NE(findChunk(file.chunks, "PLTE"), nullptr);
    EXPECT_EQ(findChunk(file.chunks, "PLTE")->data, (std::vector<uint8_t>{0x12, 0x34, 0x56}));
}

TEST(WrittenPng, PaletteIsWrittenInItsEntryOrder)
{
    TempDir dir;
    // Bottom row first in memory: blue, red; blue is more frequent.
    TestPicture picture(3, 2);
    picture.fillCycling({0xFF0000, 0x00FF00, 0x0000FF});
    picture.set(0, 1, 0x0000FF);
    picture.set(1, 1, 0xFF0000);
    picture.set(2, 1, 0x0000FF);
    WrittenFile file;
    convertTo(dir.file("order.png"), picture, -1, false, 0, file);
    expectSoundFile(file, picture, -1, false);
    ASSERT_NE(findChunk(file.chunks, "PLTE"), nullptr);
    EXPECT_EQ(findChunk(file.chunks, "PLTE")->data,
              (std::vector<uint8_t>{0, 0, 0xFF, 0xFF, 0, 0, 0, 0xFF, 0}));
}

TEST(Transparency, TrueColourAlwaysCarriesTheColourKey)
{
    TempDir dir;
    TestPicture picture(30, 30);
    picture.fillNoise(11);
    const int32_t absent = 0x0A141E;
    WrittenFile file;
    convertTo(dir.file("key.png"), picture, absent, false, OPT_NO_DEFLATE_COMPARE, file);
    expectSoundFile(file, picture, absent, false);
    ASSERT_EQ(file.request.bitDepth, 24);
    EXPECT_EQ(chunkTypes(file.chunks), (std::vector<std::string>{"IHDR", "tRNS", "IDAT", "IEND"}));
    EXPECT_EQ(findChunk(file.chunks, "tRNS")->data, (std::vector<uint8_t>{0, 0x0A, 0, 0x14, 0, 0x1E}));
    EXPECT_EQ(file.request.fileSize, static_cast<uint32_t>(file.request.dataSize) + 45 + 12 + 18);

    // A present key makes those pixels transparent for a decoder.
    const int32_t present = static_cast<int32_t>(picture.rgbAt(4, 4));
    picture.set(5, 9, static_cast<uint32_t>(present));
    WrittenFile keyed;
    convertTo(dir.file("key2.png"), picture, present, false, OPT_NO_DEFLATE_COMPARE, keyed);
    expectSoundFile(keyed, picture, present, false);
}

TEST(Transparency, PaletteImagesMarkEntryZeroOnlyWhenTheColourOccurs)
{
    TempDir dir;
    TestPicture picture = cyclingPicture(10, 10, 6);
    const int32_t present = static_cast<int32_t>(picture.rgbAt(3, 0));
    WrittenFile file;
    convertTo(dir.file("p.png"), picture, present, false, 0, file);
    expectSoundFile(file, picture, present, false);
    EXPECT_EQ(chunkTypes(file.chunks),
              (std::vector<std::string>{"IHDR", "PLTE", "tRNS", "IDAT", "IEND"}));
    EXPECT_EQ(findChunk(file.chunks, "tRNS")->data, std::vector<uint8_t>{0});
    const std::vector<uint8_t>& plte = findChunk(file.chunks, "PLTE")->data;
    EXPECT_EQ((uint32_t(plte[0]) << 16) | (uint32_t(plte[1]) << 8) | plte[2], uint32_t(present));
    EXPECT_EQ(file.request.fileSize,
              static_cast<uint32_t>(file.request.dataSize) + 57 + 3 * 6 + 12 + 13);

    WrittenFile absent;
    convertTo(dir.file("q.png"), picture, 0x010203, false, 0, absent);
    expectSoundFile(absent, picture, 0x010203, false);
    EXPECT_EQ(findChunk(absent.chunks, "tRNS"), nullptr);
    EXPECT_EQ(absent.request.fileSize,
              static_cast<uint32_t>(absent.request.dataSize) + 57 + 3 * 6 + 12);
}

TEST(Transparency, AlphaImagesNeverGetAColourKey)
{
    TempDir dir;
    TestPicture picture(12, 12);
    picture.fillNoise(8, true);
    const int32_t colour = static_cast<int32_t>(picture.rgbAt(0, 0));
    WrittenFile file;
    convertTo(dir.file("a.png"), picture, colour, true, 0, file);
    expectSoundFile(file, picture, -1, true);
    EXPECT_EQ(findChunk(file.chunks, "tRNS"), nullptr);
}

TEST(WrittenPng, PredictedSizeMatchesForTheTestSuiteImages)
{
    TempDir dir;
    const std::string folder = corpusPath("pngsuite/png");
    const std::vector<std::string> names = listFiles(folder, ".png");
    ASSERT_FALSE(names.empty());
    int converted = 0;
    for (size_t i = 0; i < names.size(); ++i) {
        RgbaImage source;
        if (!decodePngWithLibpng(folder + "/" + names[i], source))
            continue;   // the suite's deliberately broken files
        TestPicture picture(static_cast<int32_t>(source.width), static_cast<int32_t>(source.height));
        bool hasAlpha = false;
        for (uint32_t y = 0; y < source.height; ++y)
            for (uint32_t x = 0; x < source.width; ++x) {
                const uint8_t* p = source.at(x, y);
                picture.set(int32_t(x), int32_t(y), (uint32_t(p[0]) << 16) | (uint32_t(p[1]) << 8) | p[2], p[3]);
                hasAlpha = hasAlpha || p[3] != 255;
            }
        // Every third image also names a transparent colour: its first pixel's.
        const int32_t transparent = (i % 3 == 0) ? static_cast<int32_t>(picture.rgbAt(0, 0)) : -1;
        WrittenFile file;
        convertTo(dir.file("suite.png"), picture, transparent, hasAlpha, 0, file);
        SCOPED_TRACE(names[i]);
        expectSoundFile(file, picture, hasAlpha ? -1 : transparent, hasAlpha);
        ++converted;
    }
    EXPECT_GT(converted, 150);
}

TEST(WrittenPng, TwoRunsGiveTheSameBytesAndEvents)
{
    TempDir dir;
    TestPicture picture = cyclingPicture(37, 29, 12, 5);
    picture.set(3, 3, 0x000000);
    WrittenFile first, second;
    convertTo(dir.file("a.png"), picture, -1, false, 0, first);
    convertTo(dir.file("b.png"), picture, -1, false, 0, second);
    expectSoundFile(first, picture, -1, false);
    EXPECT_EQ(first.bytes, second.bytes);
    EXPECT_EQ(first.log.events, second.log.events);
    EXPECT_EQ(first.log.depthStarts(), (std::vector<int32_t>{4, 8}));
}

TEST(WrittenPng, EightBitWinnerIsWrittenAtEightBits)
{
    // Real sizes, except that the 4-bit data is made to look larger.
    TestPicture picture = cyclingPicture(21, 15, 7);
    const uint32_t fourBitBytes = 15 * (11 + 1);
    ScriptedOptimizer optimizer([&](const ScriptedOptimizer::Call& call, size_t) -> uint32_t {
        const uint32_t real = measureDeflate(call.data, call.dataBytes, call.windowBits, call.memLevel);
        return call.dataBytes == fourBitBytes ? real + 1000 : real;
    });
    TempDir dir;
    ConvertRequest request = picture.request();
    ASSERT_EQ(optimizer.convert(dir.file("eight.png").c_str(), request), 1);
    EXPECT_EQ(request.bitDepth, 8);
    WrittenFile file;
    file.result = 1;
    file.request = request;
    file.bytes = readFileBytes(dir.file("eight.png"));
    ASSERT_TRUE(parsePngChunks(file.bytes, file.chunks));
    expectSoundFile(file, picture, -1, false);
}

TEST(OutputSafety, AFailingWriteLeavesTheTargetByteForByte)
{
    // The file size limit makes the kernel refuse writes beyond a given length,
    // so the writer meets real short and failed writes at every stage of the
    // file: signature, IHDR, the IDAT frame and data, its CRC and IEND.
    TempDir dir;
    const std::string path = dir.file("precious.png");
    std::vector<uint8_t> original(3000);
    for (size_t i = 0; i < original.size(); ++i)
        original[i] = static_cast<uint8_t>(i * 31);
    TestPicture picture(120, 120);
    picture.fillNoise(31);

    PngOptimizer probeOptimizer;
    ConvertRequest probe = picture.request();
    probe.options = OPT_NO_DEFLATE_COMPARE;
    ASSERT_EQ(probeOptimizer.convert(nullptr, probe), 1);
    ASSERT_GT(probe.fileSize, 40000u);

    for (rlim_t limit : {rlim_t(0), rlim_t(5), rlim_t(8), rlim_t(30), rlim_t(37), rlim_t(41),
                         rlim_t(100), rlim_t(4096), rlim_t(32768 + 40), rlim_t(probe.fileSize - 14), rlim_t(probe.fileSize - 12),
                         rlim_t(probe.fileSize - 1)}) {
        ASSERT_TRUE(writeFileBytes(path, original));
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            signal(SIGXFSZ, SIG_IGN);
            struct rlimit rl = {limit, limit};
            if (setrlimit(RLIMIT_FSIZE, &rl) != 0)
                _exit(3);
            PngOptimizer optimizer;
            ConvertRequest request = picture.request();
            request.options = OPT_NO_DEFLATE_COMPARE;
            _exit(optimizer.convert(path.c_str(), request) == 0 ? 0 : 1);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0) << "convert reported success with a file limit of " << limit;
        EXPECT_EQ(readFileBytes(path), original) << limit;
        EXPECT_EQ(countEntries(dir.path()), 1u) << limit;
    }

    // Without the limit the same conversion succeeds.
    WrittenFile file;
    convertTo(path, picture, -1, false, OPT_NO_DEFLATE_COMPARE, file);
    expectSoundFile(file, picture, -1, false);
    EXPECT_EQ(file.request.fileSize, probe.fileSize);
}
