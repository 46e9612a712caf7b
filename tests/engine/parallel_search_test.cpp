// The search with its worker threads, streamed trials and shortcuts against
// the plain search, which measures every trial by a full compression of the
// whole filtered image, one after another: same events, same results, same
// file bytes, for every thread count, bit depth and option.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/shared_flag.h"
#include "tests/engine/engine_test_support.h"
#include "tests/engine/thread_setting.h"

namespace {

// Every trial by a full compression: the plain sequential search with no
// size taken as known.
class PlainSearchOptimizer : public PngOptimizer {
public:
    PlainSearchOptimizer() { setTrialMeasure(countAndMeasure, this); }
    int compressions = 0;

private:
    static uint32_t countAndMeasure(void* self, const uint8_t* data, uint32_t size,
                                    int32_t windowBits, int32_t memLevel)
    {
        ++static_cast<PlainSearchOptimizer*>(self)->compressions;
        return zlibTrialMeasure(nullptr, data, size, windowBits, memLevel);
    }
};

struct Outcome {
    int result = 0;
    ConvertRequest request;
    std::vector<ProgressEvent> events;
    std::vector<uint8_t> file;
};

// One conversion of picture; written to path when it is not empty.
Outcome convertWith(PngOptimizer& optimizer, TestPicture& picture, int32_t transparent,
                    bool hasAlpha, uint16_t options, const std::string& path,
                    int cancelAfterEvents = -1)
{
    Outcome out;
    out.request = picture.request(transparent, hasAlpha);
    out.request.options = options;
    volatile int16_t cancel = 0;
    struct Context {
        Outcome* out;
        volatile int16_t* cancel;
        int cancelAfter;
    } context = {&out, &cancel, cancelAfterEvents};
    out.request.cancelFlag = &cancel;
    out.request.userData = &context;
    out.request.callback = [](int32_t d, int32_t w, int32_t m, int32_t f, int32_t s, void* user) {
        auto* c = static_cast<Context*>(user);
        c->out->events.push_back({d, w, m, f, s});
        if (static_cast<int>(c->out->events.size()) == c->cancelAfter)
            storeSharedFlag(c->cancel, 1);   // as a stop button pressed at this moment
    };
    out.result = optimizer.convert(path.empty() ? nullptr : path.c_str(), out.request);
    out.request.cancelFlag = nullptr;
    out.request.userData = nullptr;
    if (!path.empty())
        out.file = readFileBytes(path);
    return out;
}

void expectSameResult(const Outcome& expected, const Outcome& actual, const std::string& what)
{
    EXPECT_EQ(actual.result, expected.result) << what;
    EXPECT_EQ(actual.events, expected.events) << what;
    EXPECT_EQ(actual.request.bitDepth, expected.request.bitDepth) << what;
    EXPECT_EQ(actual.request.filter, expected.request.filter) << what;
    EXPECT_EQ(actual.request.windowBits, expected.request.windowBits) << what;
    EXPECT_EQ(actual.request.memLevel, expected.request.memLevel) << what;
    EXPECT_EQ(actual.request.dataSize, expected.request.dataSize) << what;
    EXPECT_EQ(actual.request.fileSize, expected.request.fileSize) << what;
    EXPECT_TRUE(actual.file == expected.file) << what << ": the files differ";
}

// A picture of `colours` colours with some structure, so filters and
// parameters matter: gradients of colour indices with a little noise.
TestPicture structuredPicture(int32_t width, int32_t height, int colours, uint32_t seed)
{
    std::vector<uint32_t> palette;
    for (int i = 0; i < colours; ++i)
        palette.push_back((0x3A1F07u * static_cast<uint32_t>(i + 1) + seed * 977u) & 0xFFFFFF);
    TestPicture picture(width, height);
    uint32_t noise = seed * 2654435761u + 1;
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x) {
            noise = noise * 1103515245u + 12345u;
            const uint32_t step = (noise >> 16) % 11 == 0 ? (noise >> 8) % 3 : 0;
            picture.set(x, y, palette[(x / 3 + y / 2 + step) % palette.size()]);
        }
    return picture;
}

struct PictureCase {
    std::string name;
    TestPicture picture;
    int32_t transparent;
    bool hasAlpha;
};

// Rounds on rows of 32 KiB or more run on the workers, smaller ones on the
// calling thread: the 8-bit rows of these pictures are above that size (so
// are the 1, 2 and 4-bit pictures' 8-bit comparisons), their 1, 2 and 4-bit
// rows below.
std::vector<PictureCase> everyBitDepth()
{
    std::vector<PictureCase> cases;
    cases.push_back({"1 bit", structuredPicture(260, 130, 2, 1), -1, false});
    cases.push_back({"2 bits, transparent", structuredPicture(260, 130, 4, 2), -1, false});
    cases.back().transparent = static_cast<int32_t>(cases.back().picture.rgbAt(5, 5));
    cases.push_back({"4 bits", structuredPicture(260, 130, 13, 3), -1, false});
    cases.push_back({"8 bits", structuredPicture(200, 170, 200, 4), -1, false});
    TestPicture gradient(120, 95);
    gradient.fillGradient();
    cases.push_back({"24 bits, transparent", gradient, 0x102030, false});
    TestPicture alpha(100, 85);
    alpha.fillGradient();
    for (int32_t y = 0; y < 85; ++y)
        for (int32_t x = 0; x < 100; ++x)
            alpha.set(x, y, alpha.rgbAt(x, y), static_cast<uint8_t>(x * 9));
    cases.push_back({"32 bits", alpha, -1, true});
    return cases;
}

}   // namespace

TEST(ParallelSearch, EveryThreadCountWritesTheSameFileWithTheSameEvents)
{
    TempDir dir;
    const uint16_t optionSets[] = {0, OPT_NO_FILTER_COMPARE, OPT_NO_DEFLATE_COMPARE,
                                   OPT_NO_8BIT_COMPARE,
                                   OPT_NO_FILTER_COMPARE | OPT_NO_DEFLATE_COMPARE | OPT_NO_8BIT_COMPARE};
    int32_t depthsSeen = 0;
    for (PictureCase& c : everyBitDepth()) {
        for (uint16_t options : optionSets) {
            const std::string what = c.name + ", options " + std::to_string(options);
            PlainSearchOptimizer plain;
            const Outcome expected = convertWith(plain, c.picture, c.transparent, c.hasAlpha,
                                                 options, dir.file("plain.png"));
            ASSERT_EQ(expected.result, 1) << what;
            ASSERT_FALSE(expected.file.empty()) << what;
            depthsSeen |= expected.request.bitDepth;
            for (unsigned threads : {1u, 2u, 3u, 8u}) {
                ThreadSetting setting(threads);
                PngOptimizer optimizer;
                const Outcome actual = convertWith(optimizer, c.picture, c.transparent, c.hasAlpha,
                                                   options, dir.file("out.png"));
                expectSameResult(expected, actual, what + ", " + std::to_string(threads) + " threads");
            }
        }
    }
    EXPECT_EQ(depthsSeen, 1 | 2 | 4 | 8 | 24 | 32);
}

TEST(ParallelSearch, ACancelEndsTheSearchAtTheSameEventForEveryThreadCount)
{
    TempDir dir;
    TestPicture picture = structuredPicture(260, 130, 9, 5);   // 4 bits, then 8 on the workers
    PlainSearchOptimizer plain;
    const Outcome full = convertWith(plain, picture, -1, false, 0, "");
    ASSERT_EQ(full.result, 1);
    const int eventCount = static_cast<int>(full.events.size());
    ASSERT_GT(eventCount, 60);
    const std::string path = dir.file("never.png");
    // The last chance to cancel is the done event before the last trial.
    for (int cancelAfter : {1, 2, 3, 12, 13, 14, 20, 40, eventCount / 2, eventCount - 3,
                            eventCount - 2}) {
        PlainSearchOptimizer reference;
        const Outcome expected = convertWith(reference, picture, -1, false, 0, path, cancelAfter);
        ASSERT_EQ(expected.result, 0) << cancelAfter;
        for (unsigned threads : {1u, 2u, 8u}) {
            ThreadSetting setting(threads);
            PngOptimizer optimizer;
            const Outcome actual = convertWith(optimizer, picture, -1, false, 0, path, cancelAfter);
            EXPECT_EQ(actual.result, 0) << cancelAfter << ", " << threads << " threads";
            EXPECT_EQ(actual.events, expected.events) << cancelAfter << ", " << threads << " threads";
            EXPECT_TRUE(readFileBytes(path).empty()) << "a cancelled conversion wrote a file";
        }
    }
    EXPECT_EQ(countEntries(dir.path()), 0u);
}

TEST(ParallelSearch, OneOptimizerServesConversionsWithChangingThreadCounts)
{
    TestPicture small = structuredPicture(12, 9, 5, 6);
    TestPicture larger = structuredPicture(200, 170, 120, 7);
    PlainSearchOptimizer plain;
    const Outcome smallExpected = convertWith(plain, small, -1, false, 0, "");
    const Outcome largerExpected = convertWith(plain, larger, -1, false, 0, "");
    PngOptimizer shared;
    for (unsigned threads : {2u, 1u, 4u, 2u}) {
        ThreadSetting setting(threads);
        expectSameResult(largerExpected, convertWith(shared, larger, -1, false, 0, ""),
                         "larger, " + std::to_string(threads));
        expectSameResult(smallExpected, convertWith(shared, small, -1, false, 0, ""),
                         "small, " + std::to_string(threads));
    }
}

// The cores (0) and counts beyond kMaxWorkers, which are clamped to it.
TEST(ParallelSearch, ThreadSettingsAtTheEdgesGiveTheSameResult)
{
    TestPicture picture = structuredPicture(200, 170, 30, 8);
    PlainSearchOptimizer plain;
    const Outcome expected = convertWith(plain, picture, -1, false, 0, "");
    for (unsigned threads : {0u, 100000u}) {
        ThreadSetting setting(threads);
        PngOptimizer optimizer;
        expectSameResult(expected, convertWith(optimizer, picture, -1, false, 0, ""),
                         std::to_string(threads) + " threads");
    }
}

// Row data of exactly `length` bytes around the lengths where the search
// starts or stops taking sizes as known: 8-bit pictures one row high (a
// stride of width + 1), and 24-bit ones several rows high.
TEST(MemoisedSearch, MatchesFullCompressionsAroundEveryThreshold)
{
    std::vector<uint32_t> lengths;
    for (int32_t w = 9; w <= 14; ++w)
        for (int32_t d = -1; d <= 1; ++d)
            lengths.push_back((1u << w) - 262 + d);
    for (int32_t m = 4; m <= 8; ++m)
        for (int32_t d = -1; d <= 1; ++d)
            lengths.push_back((1u << (m + 6)) - 2 + d);
    lengths.push_back(1024);
    int fullCompressions = 0;
    for (uint32_t length : lengths) {
        // 8 bits: one row of length - 1 pixels.
        TestPicture row = structuredPicture(static_cast<int32_t>(length - 1), 1, 60, length);
        // 24 bits: height rows of 3 * width + 1 bytes, close to length.
        const int32_t height = 3;
        const int32_t width = static_cast<int32_t>((length / height - 1) / 3);
        TestPicture rgb(width, height);
        rgb.fillNoise(length);
        for (int32_t y = 0; y < height; ++y)
            for (int32_t x = width / 2; x < width; ++x)
                rgb.set(x, y, rgb.rgbAt(x - width / 2, (y + 1) % height));
        for (TestPicture* picture : {&row, &rgb}) {
            const std::string what = std::to_string(picture->width) + "x" +
                                     std::to_string(picture->height) + " near " +
                                     std::to_string(length);
            PlainSearchOptimizer plain;
            const Outcome expected = convertWith(plain, *picture, -1, false, 0, "");
            ASSERT_EQ(expected.result, 1) << what;
            fullCompressions += plain.compressions;
            PngOptimizer optimizer;
            expectSameResult(expected, convertWith(optimizer, *picture, -1, false, 0, ""), what);
        }
    }
    EXPECT_GT(fullCompressions, 40 * static_cast<int>(lengths.size()));
}

TEST(ParallelSearch, AWinnerTooLongToKeepIsCompressedAgainForTheFile)
{
    // Noise barely compresses: its stream (about 1.2 MB) is above what the
    // search keeps, so the writer compresses the rows once more.
    TempDir dir;
    TestPicture noise(650, 600);
    noise.fillNoise(31);
    const uint16_t options = OPT_NO_FILTER_COMPARE | OPT_NO_DEFLATE_COMPARE;
    PlainSearchOptimizer plain;
    const Outcome expected = convertWith(plain, noise, -1, false, options, dir.file("plain.png"));
    ASSERT_EQ(expected.result, 1);
    ASSERT_GT(expected.request.dataSize, 1 << 20);
    for (unsigned threads : {1u, 2u}) {
        ThreadSetting setting(threads);
        PngOptimizer optimizer;
        expectSameResult(expected,
                         convertWith(optimizer, noise, -1, false, options, dir.file("out.png")),
                         "noise, " + std::to_string(threads) + " threads");
    }
}
