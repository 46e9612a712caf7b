// The known-length shortcuts against zlib: a short run of the sweep that
// bench/length_claims_sweep runs in full, and the reproducer of the memory
// level fault measured through both trial runners.

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>

#include "bench/length_claims.h"
#include "engine/deflate_stream.h"
#include "engine/trial_runner.h"

namespace {

// 96 rows of 25 bytes: a 96 x 96 picture at 2 bits per pixel, filter 0, whose
// lengths at window bits 9 differ between memory levels 8 and 9.
std::vector<uint8_t> reproducerRows()
{
    std::ifstream file(TOLVARINX_TEST_DATA_DIR "/rows-2bit-96x96.bin", std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// The memory-level rule as it once was: a window whose distance limit is below
// 1024 was taken to make every memory level equal.
void formerRule(uint32_t length, int32_t& windowBits, int32_t& memLevel)
{
    sameLengthParams(length, windowBits, memLevel);
    const uint32_t limit = (1u << windowBits) - 262;
    if (windowBits < 15 && limit < 1024 && length + 2 <= (1u << (memLevel + 6)))
        memLevel = 9;
}

}   // namespace

TEST(LengthClaims, ReproducerGivesThePlainSearchSizeAtEveryPair)
{
    const std::vector<uint8_t> rows = reproducerRows();
    ASSERT_EQ(rows.size(), 2400u);
    std::vector<TrialSpec> trials;
    for (int32_t w = 8; w <= 15; ++w)
        for (int32_t m = 4; m <= 9; ++m)
            trials.push_back({kRowsAsTheyAre, w, m});
    const TrialRows round = {rows.data(), 25, 96, 1};
    auto shortcuts = makeCompressingTrialRunner(1);
    auto plain = makeMeasuringTrialRunner(zlibTrialMeasure, nullptr);
    shortcuts->beginRound(round, trials.data(), int(trials.size()), 0);
    plain->beginRound(round, trials.data(), int(trials.size()), 0);
    for (size_t i = 0; i < trials.size(); ++i)
        EXPECT_EQ(shortcuts->size(int(i)), plain->size(int(i)))
            << trials[i].windowBits << "/" << trials[i].memLevel;
    shortcuts->endRound();
    plain->endRound();
}

TEST(LengthClaims, ShortSweepFindsNoCounterexample)
{
    std::vector<ClaimSource> sources = {{"reproducer", reproducerRows()}};
    addRunHeavyPictures(4, 56, 11, sources);
    addRandomBytes(2, 3000, 11, sources);
    const ClaimSweepCounts counts = sweepLengthClaims(sources, sameLengthParams, 2, 2);
    for (const std::string& example : counts.examples)
        ADD_FAILURE() << example;
    EXPECT_EQ(counts.counterexamples, 0u);
    // Claims of both rules were really checked (none on a zlib the rules do
    // not know, where every pair stays itself).
    if (counts.claims > 0) {
        EXPECT_GT(counts.windowClaims, 1000u);
        EXPECT_GT(counts.memLevelClaims, 1000u);
    }
}

TEST(LengthClaims, SweepCatchesTheFormerMemoryLevelRule)
{
    int32_t w = 9, m = 8;
    sameLengthParams(2400, w, m);
    if (w != 9)
        GTEST_SKIP() << "the linked zlib is not one the rules were made for";
    const std::vector<ClaimSource> sources = {{"reproducer", reproducerRows()}};
    EXPECT_GT(sweepLengthClaims(sources, formerRule, 0, 1).counterexamples, 0u);
}
