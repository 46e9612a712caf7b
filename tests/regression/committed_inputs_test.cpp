// Every committed fuzz input replayed through the check of its target: the
// minimised corpus of each target and the reproducer of every past finding.

#include <gtest/gtest.h>

#include <chrono>

#include "fuzz/fuzz_checks.h"
#include "tests/common/test_support.h"
#include "tests/regression/regression_support.h"

namespace {

// The longest a reproducer may take: each is a few bytes whose work must stay
// in proportion to them, and takes milliseconds even under the sanitizers on
// a loaded machine. (The corpora hold conversions that run zopfli, seconds
// each under the sanitizers and many times that on a loaded machine: they
// are timed, not bounded.)
constexpr double kMaxSecondsPerReproducer = 15;

class CommittedInputs : public ::testing::TestWithParam<const char*> {};

// Replays every input of the folder through the target's check; a bound of 0
// leaves the inputs' time unchecked.
size_t replayFolder(const FuzzTarget& target, const std::string& folder, double maxSeconds)
{
    const std::string path = fuzzInputFolder(folder, target.name);
    const std::vector<std::string> names = listFiles(path, "");
    for (const std::string& name : names) {
        const std::vector<uint8_t> bytes = readFileBytes(path + "/" + name);
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(target.check(bytes.data(), bytes.size()), "") << folder << "/" << target.name << "/" << name;
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (maxSeconds > 0) {
            EXPECT_LT(seconds, maxSeconds) << folder << "/" << target.name << "/" << name;
        }
    }
    return names.size();
}

TEST_P(CommittedInputs, KeepEveryProperty)
{
    const FuzzTarget* target = findFuzzTarget(GetParam());
    ASSERT_NE(target, nullptr);
    EXPECT_GT(replayFolder(*target, "corpus", 0), 0u) << "no committed corpus for " << target->name;
    replayFolder(*target, "regressions", kMaxSecondsPerReproducer);
}

std::vector<const char*> targetNames()
{
    std::vector<const char*> names;
    for (int i = 0; i < kFuzzTargetCount; ++i)
        names.push_back(kFuzzTargets[i].name);
    return names;
}

INSTANTIATE_TEST_SUITE_P(FuzzTargets, CommittedInputs, ::testing::ValuesIn(targetNames()),
                         [](const ::testing::TestParamInfo<const char*>& info) { return std::string(info.param); });

}  // namespace
