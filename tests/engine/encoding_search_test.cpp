// The search logic: trial order, tie-breaks, the early stop, the 8-bit
// comparison, the options, cancellation and the progress events. Trial sizes
// come from a script, so every decision is checked against known numbers.

#include <gtest/gtest.h>

#include <zlib.h>

#include <algorithm>
#include <map>
#include <utility>
#include <vector>

#include "core/shared_flag.h"
#include "engine/deflate_stream.h"
#include "tests/engine/engine_test_support.h"

namespace {

using Call = ScriptedOptimizer::Call;

// One convert on a picture with a scripted optimizer, no output file.
struct ScriptedRun {
    ScriptedRun(TestPicture& picture, uint16_t options, ScriptedOptimizer::SizeFunction script,
                bool hasAlpha = false)
        : optimizer(std::move(script))
    {
        request = picture.request(-1, hasAlpha);
        request.options = options;
        log.attach(request, &cancel);
    }
    int run() { return optimizer.convert(nullptr, request); }

    ScriptedOptimizer optimizer;
    ConvertRequest request;
    EventLog log;
    volatile int16_t cancel = 0;
};

TestPicture alphaPicture()
{
    TestPicture picture(6, 5);
    picture.fillNoise(5, true);
    return picture;
}

// A picture with exactly n colours.
TestPicture colourPicture(int n, int32_t width = 12, int32_t height = 4)
{
    std::vector<uint32_t> colours;
    for (int i = 0; i < n; ++i)
        colours.push_back(0x102030u * static_cast<uint32_t>(i + 1) & 0xFFFFFF);
    TestPicture picture(width, height);
    picture.fillCycling(colours);
    return picture;
}

// Sizes by (window bits) pass: the pass minimum is at memory level 6, the rest +50.
ScriptedOptimizer::SizeFunction passMinimums(std::map<int32_t, uint32_t> minimums)
{
    return [minimums](const Call& call, size_t) -> uint32_t {
        const uint32_t minimum = minimums.count(call.windowBits) ? minimums.at(call.windowBits) : 5000;
        return call.memLevel == 6 ? minimum : minimum + 50;
    };
}

std::vector<std::pair<int32_t, int32_t>> parameterTrials(const EventLog& log)
{
    std::vector<std::pair<int32_t, int32_t>> trials;
    for (const ProgressEvent& e : log.parameterDone())
        trials.emplace_back(e.windowBits, e.memLevel);
    return trials;
}

}   // namespace

TEST(SearchEvents, FollowTheTrialOrder)
{
    TestPicture picture = alphaPicture();
    const uint32_t filterSizes[6] = {900, 800, 850, 700, 750, 720};
    ScriptedRun run(picture, 0, [&](const Call& call, size_t index) -> uint32_t {
        if (index < 6)
            return filterSizes[index];
        return 1000 + static_cast<uint32_t>(index);   // later trials only get worse
    }, true);
    ASSERT_EQ(run.run(), 1);

    std::vector<ProgressEvent> expected = {{32, -1, -1, -1, -1}};
    for (int32_t f = 0; f < 6; ++f) {
        expected.push_back({-1, -1, -1, f, -1});
        expected.push_back({-1, -1, -1, f, static_cast<int32_t>(filterSizes[f])});
    }
    // Pass 15 has minimum 1006; pass 14's minimum 1012 is within 100: go on
    // until a pass is more than 100 worse than the one before, which never
    // happens here, so all 48 trials run.
    int32_t index = 6;
    for (int32_t w = 15; w >= 8; --w)
        for (int32_t m = 9; m >= 4; --m) {
            expected.push_back({-1, w, m, -1, -1});
            expected.push_back({-1, w, m, -1, 1000 + index++});
        }
    EXPECT_EQ(run.log.events, expected);
    EXPECT_EQ(run.request.filter, FILTER_AVERAGE);
    EXPECT_EQ(run.request.windowBits, 15);
    EXPECT_EQ(run.request.memLevel, 9);
    EXPECT_EQ(run.request.dataSize, 1006);
    EXPECT_EQ(run.request.bitDepth, 32);
    // Filter trials run at window bits 15, memory level 8 on rows carrying the
    // trial's filter type.
    for (size_t i = 0; i < 6; ++i) {
        EXPECT_EQ(run.optimizer.calls[i].windowBits, 15);
        EXPECT_EQ(run.optimizer.calls[i].memLevel, 8);
    }
}

TEST(SearchEvents, FilterTrialsCompressRowsOfTheirOwnType)
{
    TestPicture picture = alphaPicture();
    std::vector<std::vector<uint8_t>> typeBytes;
    ScriptedRun run(picture, 0, [&](const Call& call, size_t) -> uint32_t {
        std::vector<uint8_t> types;
        const uint32_t stride = 6 * 4 + 1;
        for (uint32_t at = 0; at < call.dataBytes; at += stride)
            types.push_back(call.data[at]);
        typeBytes.push_back(types);
        return 500;
    }, true);
    ASSERT_EQ(run.run(), 1);
    ASSERT_GE(typeBytes.size(), 7u);
    for (uint8_t f = 0; f < 5; ++f)
        EXPECT_EQ(typeBytes[f], std::vector<uint8_t>(5, f));
    for (uint8_t type : typeBytes[5])
        EXPECT_LE(type, 4);
    // All sizes tie: filter 0 wins and the parameter trials see unfiltered rows.
    EXPECT_EQ(typeBytes[6], std::vector<uint8_t>(5, 0));
    EXPECT_EQ(run.request.filter, 0);
}

TEST(SearchTieBreaks, EqualFilterSizesKeepTheLowerChoice)
{
    TestPicture picture = alphaPicture();
    const uint32_t sizes[6] = {500, 400, 450, 400, 401, 400};
    ScriptedRun run(picture, OPT_NO_DEFLATE_COMPARE,
                    [&](const Call&, size_t index) { return index < 6 ? sizes[index] : 300u; }, true);
    ASSERT_EQ(run.run(), 1);
    EXPECT_EQ(run.request.filter, FILTER_SUB);
    EXPECT_EQ(run.request.dataSize, 300);
}

TEST(SearchTieBreaks, EqualParameterSizesKeepLargerWindowThenLargerMemLevel)
{
    TestPicture picture = alphaPicture();
    {
        ScriptedRun run(picture, OPT_NO_FILTER_COMPARE, [](const Call&, size_t) { return 1000u; }, true);
        ASSERT_EQ(run.run(), 1);
        EXPECT_EQ(run.request.windowBits, 15);
        EXPECT_EQ(run.request.memLevel, 9);
        EXPECT_EQ(run.optimizer.calls.size(), 48u);
    }
    {
        ScriptedRun run(picture, OPT_NO_FILTER_COMPARE, [](const Call& call, size_t) -> uint32_t {
            const bool atMinimum = (call.windowBits == 14 && call.memLevel <= 5) ||
                                   (call.windowBits == 13 && call.memLevel == 9);
            return atMinimum ? 900 : 1000;
        }, true);
        ASSERT_EQ(run.run(), 1);
        EXPECT_EQ(run.request.windowBits, 14);
        EXPECT_EQ(run.request.memLevel, 5);
        EXPECT_EQ(run.request.dataSize, 900);
    }
}

TEST(EarlyStop, APassMoreThanOneHundredWorseEndsTheSearch)
{
    TestPicture picture = alphaPicture();
    ScriptedRun run(picture, OPT_NO_FILTER_COMPARE, passMinimums({{15, 1000}, {14, 1101}}), true);
    ASSERT_EQ(run.run(), 1);
    const auto trials = parameterTrials(run.log);
    ASSERT_EQ(trials.size(), 12u);
    EXPECT_EQ(trials.back(), std::make_pair(14, 4));
    EXPECT_EQ(run.request.windowBits, 15);
    EXPECT_EQ(run.request.memLevel, 6);
    EXPECT_EQ(run.request.dataSize, 1000);
}

TEST(EarlyStop, APassExactlyOneHundredWorseGoesOn)
{
    TestPicture picture = alphaPicture();
    ScriptedRun run(picture, OPT_NO_FILTER_COMPARE,
                    passMinimums({{15, 1000}, {14, 1100}, {13, 1050}, {12, 1100}, {11, 1200},
                                  {10, 1250}, {9, 1350}, {8, 1450}}),
                    true);
    ASSERT_EQ(run.run(), 1);
    EXPECT_EQ(parameterTrials(run.log).size(), 48u);
}

TEST(EarlyStop, ComparesWithThePreviousPassNotTheBest)
{
    TestPicture picture = alphaPicture();
    // 1000, 1090, 1180 stay within 100 of their predecessor; 1281 does not.
    ScriptedRun run(picture, OPT_NO_FILTER_COMPARE,
                    passMinimums({{15, 1000}, {14, 1090}, {13, 1180}, {12, 1281}, {11, 500}}), true);
    ASSERT_EQ(run.run(), 1);
    const auto trials = parameterTrials(run.log);
    ASSERT_EQ(trials.size(), 24u);
    EXPECT_EQ(trials.back(), std::make_pair(12, 4));
    EXPECT_EQ(run.request.dataSize, 1000);
}

TEST(EarlyStop, ImprovingPassesNeverStop)
{
    TestPicture picture = alphaPicture();
    ScriptedRun run(picture, OPT_NO_FILTER_COMPARE,
                    passMinimums({{15, 1000}, {14, 900}, {13, 800}, {12, 700}, {11, 600},
                                  {10, 500}, {9, 400}, {8, 300}}),
                    true);
    ASSERT_EQ(run.run(), 1);
    EXPECT_EQ(parameterTrials(run.log).size(), 48u);
    EXPECT_EQ(run.request.windowBits, 8);
    EXPECT_EQ(run.request.memLevel, 6);
}

TEST(EightBitComparison, RunsForSmallPalettesOnly)
{
    const struct { int colours; int32_t depth; std::vector<int32_t> starts; } cases[] = {
        {2, 1, {1, 8}}, {4, 2, {2, 8}}, {16, 4, {4, 8}}, {17, 8, {8}}, {300, 24, {24}},
    };
    for (const auto& c : cases) {
        TestPicture picture = colourPicture(c.colours, 20, 20);
        ScriptedRun run(picture, 0, [](const Call&, size_t) { return 700u; });
        ASSERT_EQ(run.run(), 1) << c.colours;
        EXPECT_EQ(run.log.depthStarts(), c.starts) << c.colours;
        // Equal sizes keep the smaller depth.
        EXPECT_EQ(run.request.bitDepth, c.depth) << c.colours;
    }
    TestPicture alpha = colourPicture(3);
    ScriptedRun run(alpha, 0, [](const Call&, size_t) { return 700u; }, true);
    ASSERT_EQ(run.run(), 1);
    EXPECT_EQ(run.log.depthStarts(), std::vector<int32_t>{32});
}

TEST(EightBitComparison, OptionLeavesOnlyTheFirstDepth)
{
    TestPicture picture = colourPicture(9);
    ScriptedRun run(picture, OPT_NO_8BIT_COMPARE, [](const Call&, size_t) { return 700u; });
    ASSERT_EQ(run.run(), 1);
    EXPECT_EQ(run.log.depthStarts(), std::vector<int32_t>{4});
    EXPECT_EQ(run.request.bitDepth, 4);
}

TEST(EightBitComparison, StrictlySmallerEightBitDataWins)
{
    TestPicture picture = colourPicture(9, 12, 4);   // 4 bits: stride 7; 8 bits: stride 13
    const uint32_t eightBitBytes = 4 * 13;
    ScriptedRun run(picture, 0, [&](const Call& call, size_t) -> uint32_t {
        return call.dataBytes == eightBitBytes ? 699 : 700;
    });
    ASSERT_EQ(run.run(), 1);
    EXPECT_EQ(run.log.depthStarts(), (std::vector<int32_t>{4, 8}));
    EXPECT_EQ(run.request.bitDepth, 8);
    EXPECT_EQ(run.request.dataSize, 699);
    // Palette of 9 entries: 8 + 25 + (12 + 27) + IDAT frame 12 + IEND 12.
    EXPECT_EQ(run.request.fileSize, 699u + 8 + 25 + 12 + 27 + 12 + 12);
}

TEST(Options, AllThreeRunOneCompressionAndReportOneEvent)
{
    TestPicture picture = colourPicture(9);
    ScriptedRun run(picture, OPT_NO_FILTER_COMPARE | OPT_NO_DEFLATE_COMPARE | OPT_NO_8BIT_COMPARE,
                    [](const Call&, size_t) { return 321u; });
    ASSERT_EQ(run.run(), 1);
    EXPECT_EQ(run.log.events, (std::vector<ProgressEvent>{{4, -1, -1, -1, -1}}));
    ASSERT_EQ(run.optimizer.calls.size(), 1u);
    EXPECT_EQ(run.optimizer.calls[0].windowBits, 15);
    EXPECT_EQ(run.optimizer.calls[0].memLevel, 8);
    EXPECT_EQ(run.request.filter, 0);
    EXPECT_EQ(run.request.windowBits, 15);
    EXPECT_EQ(run.request.memLevel, 8);
    EXPECT_EQ(run.request.dataSize, 321);
}

TEST(Options, NoFilterCompareSkipsFilterTrialsAndKeepsRowsUnfiltered)
{
    TestPicture picture = alphaPicture();
    ScriptedRun run(picture, OPT_NO_FILTER_COMPARE, [](const Call& call, size_t) -> uint32_t {
        for (uint32_t at = 0; at < call.dataBytes; at += 25)
            if (call.data[at] != 0)
                return 0;   // a filtered row would fail the run
        return 600;
    }, true);
    ASSERT_EQ(run.run(), 1);
    EXPECT_TRUE(run.log.filterDone().empty());
    EXPECT_EQ(run.log.parameterDone().size(), 48u);
    EXPECT_EQ(run.request.filter, 0);
}

TEST(Options, NoDeflateCompareMeasuresOnceAtFifteenAndEight)
{
    TestPicture picture = alphaPicture();
    ScriptedRun run(picture, OPT_NO_DEFLATE_COMPARE,
                    [](const Call&, size_t index) { return 600u - static_cast<uint32_t>(index); }, true);
    ASSERT_EQ(run.run(), 1);
    EXPECT_EQ(run.log.filterDone().size(), 6u);
    EXPECT_TRUE(run.log.parameterDone().empty());
    ASSERT_EQ(run.optimizer.calls.size(), 7u);
    EXPECT_EQ(run.optimizer.calls[6].windowBits, 15);
    EXPECT_EQ(run.optimizer.calls[6].memLevel, 8);
    EXPECT_EQ(run.request.filter, FILTER_MIN_SUM);
    EXPECT_EQ(run.request.windowBits, 15);
    EXPECT_EQ(run.request.memLevel, 8);
    EXPECT_EQ(run.request.dataSize, 594);
}

TEST(Options, OtherBitsChangeNothing)
{
    TestPicture picture = colourPicture(5);
    auto script = [](const Call& call, size_t) -> uint32_t {
        return 1000 + call.dataBytes % 7 + static_cast<uint32_t>(call.windowBits * 3 + call.memLevel);
    };
    ScriptedRun plain(picture, 0, script);
    ScriptedRun extra(picture, 0x300 | 0x8000, script);
    ASSERT_EQ(plain.run(), 1);
    ASSERT_EQ(extra.run(), 1);
    EXPECT_EQ(plain.log.events, extra.log.events);
    EXPECT_EQ(plain.request.fileSize, extra.request.fileSize);
}

TEST(Cancel, SetBeforeTheFirstTrialStopsTheSearch)
{
    TestPicture picture = colourPicture(9);
    ScriptedRun run(picture, 0, [](const Call&, size_t) { return 700u; });
    run.log.cancelOnDepthStart = &run.cancel;
    run.request.bitDepth = 77;
    run.request.notWritten = 1;
    EXPECT_EQ(run.run(), 0);
    EXPECT_TRUE(run.optimizer.calls.empty());
    EXPECT_EQ(run.log.events, (std::vector<ProgressEvent>{{4, -1, -1, -1, -1}}));
    EXPECT_EQ(run.request.bitDepth, 77);   // result fields untouched
    EXPECT_EQ(run.request.notWritten, 0);
}

TEST(Cancel, IsPolledBeforeParameterTrialsToo)
{
    TestPicture picture = alphaPicture();
    ScriptedRun run(picture, OPT_NO_FILTER_COMPARE, [](const Call&, size_t) { return 700u; }, true);
    run.log.cancelOnDepthStart = &run.cancel;
    EXPECT_EQ(run.run(), 0);
    EXPECT_TRUE(run.optimizer.calls.empty());
}

TEST(Cancel, DuringTheSearchEndsItBeforeTheNextTrial)
{
    TestPicture picture = alphaPicture();
    volatile int16_t* flag = nullptr;
    ScriptedOptimizer::SizeFunction script = [&](const Call&, size_t index) -> uint32_t {
        if (index == 9)
            storeSharedFlag(flag, 1);   // as if the stop button were pressed during the tenth trial
        return 700;
    };
    ScriptedRun run(picture, 0, script, true);
    flag = &run.cancel;
    EXPECT_EQ(run.run(), 0);
    EXPECT_EQ(run.optimizer.calls.size(), 10u);
    EXPECT_EQ(run.log.events.back(), (ProgressEvent{-1, 15, 6, -1, 700}));
}

TEST(Cancel, FlagIsClearedWhenConvertStarts)
{
    TestPicture picture = alphaPicture();
    ScriptedRun run(picture, 0, [](const Call&, size_t) { return 700u; }, true);
    storeSharedFlag(&run.cancel, 1);
    EXPECT_EQ(run.run(), 1);
    EXPECT_EQ(loadSharedFlag(&run.cancel), 0);
}

TEST(Cancel, NothingPollsWhenBothTrialKindsAreOff)
{
    TestPicture picture = alphaPicture();
    ScriptedRun run(picture, OPT_NO_FILTER_COMPARE | OPT_NO_DEFLATE_COMPARE,
                    [](const Call&, size_t) { return 700u; }, true);
    run.log.cancelOnDepthStart = &run.cancel;
    EXPECT_EQ(run.run(), 1);
    EXPECT_EQ(run.request.dataSize, 700);
}

TEST(Failure, AZeroSizeEndsTheSearchWithoutADoneEvent)
{
    TestPicture picture = alphaPicture();
    ScriptedRun run(picture, 0, [](const Call&, size_t index) { return index == 2 ? 0u : 700u; }, true);
    EXPECT_EQ(run.run(), 0);
    EXPECT_EQ(run.log.events.back(), (ProgressEvent{-1, -1, -1, 2, -1}));
    for (const ProgressEvent& e : run.log.events)
        EXPECT_NE(e.size, 0);

    ScriptedRun later(picture, 0, [](const Call&, size_t index) { return index == 20 ? 0u : 700u; }, true);
    EXPECT_EQ(later.run(), 0);
    EXPECT_EQ(later.log.events.back().size, -1);
}

TEST(Failure, ImpossibleSizesAreRefusedBeforeAnyWork)
{
    uint8_t pixel[4] = {1, 2, 3, 255};
    const struct { int32_t width, height; } cases[] = {
        {0x10000, 0x10000}, {0x40000000, 1}, {1, 0x7FFFFFFF}, {0, 5}, {5, 0}, {-1, 5}, {5, -1},
    };
    for (const auto& c : cases) {
        ScriptedOptimizer optimizer([](const Call&, size_t) { return 700u; });
        ConvertRequest request;
        request.pixels = pixel;
        request.width = c.width;
        request.height = c.height;
        EventLog log;
        volatile int16_t cancel = 0;
        log.attach(request, &cancel);
        EXPECT_EQ(optimizer.convert(nullptr, request), 0) << c.width << "x" << c.height;
        EXPECT_TRUE(log.events.empty());
    }
    ScriptedOptimizer optimizer([](const Call&, size_t) { return 700u; });
    ConvertRequest request;
    request.width = 1;
    request.height = 1;
    EXPECT_EQ(optimizer.convert(nullptr, request), 0);   // no pixels
}

TEST(Request, NullOutputPathIgnoresTheSizeToBeat)
{
    TestPicture picture = colourPicture(3);
    ScriptedRun run(picture, 0, [](const Call&, size_t) { return 700u; });
    run.request.sizeToBeat = 1;
    run.request.notWritten = 1;
    ASSERT_EQ(run.run(), 1);
    EXPECT_EQ(run.request.notWritten, 0);
    EXPECT_GT(run.request.fileSize, 700u);
}

TEST(Request, WorksWithoutCallbackOrCancelFlag)
{
    TestPicture picture = colourPicture(20);
    PngOptimizer optimizer;
    ConvertRequest request = picture.request();
    ASSERT_EQ(optimizer.convert(nullptr, request), 1);
    EXPECT_EQ(request.bitDepth, 8);
    EXPECT_GT(request.dataSize, 0);
}

TEST(Request, OneOptimizerServesManyConversions)
{
    TestPicture first = colourPicture(3);
    TestPicture second = alphaPicture();
    PngOptimizer shared;
    ConvertRequest a1 = first.request(), b1 = second.request(-1, true);
    ASSERT_EQ(shared.convert(nullptr, a1), 1);
    ASSERT_EQ(shared.convert(nullptr, b1), 1);
    ConvertRequest a2 = first.request();
    ASSERT_EQ(shared.convert(nullptr, a2), 1);
    PngOptimizer fresh;
    ConvertRequest b2 = second.request(-1, true);
    ASSERT_EQ(fresh.convert(nullptr, b2), 1);
    EXPECT_EQ(a1.fileSize, a2.fileSize);
    EXPECT_EQ(a1.filter, a2.filter);
    EXPECT_EQ(b1.fileSize, b2.fileSize);
    EXPECT_EQ(b1.windowBits, b2.windowBits);
}

TEST(RealMeasure, WindowBitsEightMeasuresAsNine)
{
#if ZLIB_VERNUM >= 0x1290
    std::vector<uint8_t> rows(40 * 121, 0);
    for (size_t i = 0; i < rows.size(); ++i)
        rows[i] = static_cast<uint8_t>(i * 7 + (i / 121) * 3);
    for (int32_t m = 4; m <= 9; ++m)
        EXPECT_EQ(measureDeflate(rows.data(), 4840, 8, m), measureDeflate(rows.data(), 4840, 9, m));
#else
    GTEST_SKIP() << "this zlib honours window bits 8";
#endif
}

TEST(RealMeasure, SearchNeverPicksWindowBitsEightOverAnEqualNine)
{
    // Noise leaves all window sizes nearly equal, so the search runs to the end.
    TestPicture picture(48, 48);
    picture.fillNoise(99);
    PngOptimizer optimizer;
    ConvertRequest request = picture.request();
    EventLog log;
    volatile int16_t cancel = 0;
    log.attach(request, &cancel);
    ASSERT_EQ(optimizer.convert(nullptr, request), 1);
    std::map<std::pair<int32_t, int32_t>, int32_t> sizes;
    for (const ProgressEvent& e : log.parameterDone())
        sizes[{e.windowBits, e.memLevel}] = e.size;
    ASSERT_EQ(sizes.size(), 48u);
#if ZLIB_VERNUM >= 0x1290
    for (int32_t m = 4; m <= 9; ++m)
        EXPECT_EQ(sizes[std::make_pair(8, m)], sizes[std::make_pair(9, m)]);
    EXPECT_NE(request.windowBits, 8);
#endif
    int32_t smallest = sizes.begin()->second;
    for (const auto& entry : sizes)
        smallest = std::min(smallest, entry.second);
    EXPECT_EQ(request.dataSize, smallest);
}
