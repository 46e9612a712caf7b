// Every committed fuzz input replayed through the check of its target: the
// minimised corpus of each target and the reproducer of every past finding.

#include <gtest/gtest.h>

#include "fuzz/fuzz_checks.h"
#include "tests/common/test_support.h"
#include "tests/regression/regression_support.h"

namespace {

class CommittedInputs : public ::testing::TestWithParam<const char*> {};

size_t replayFolder(const FuzzTarget& target, const std::string& folder)
{
    const std::string path = fuzzInputFolder(folder, target.name);
    const std::vector<std::string> names = listFiles(path, "");
    for (const std::string& name : names) {
        const std::vector<uint8_t> bytes = readFileBytes(path + "/" + name);
        EXPECT_EQ(target.check(bytes.data(), bytes.size()), "") << folder << "/" << target.name << "/" << name;
    }
    return names.size();
}

TEST_P(CommittedInputs, KeepEveryProperty)
{
    const FuzzTarget* target = findFuzzTarget(GetParam());
    ASSERT_NE(target, nullptr);
    EXPECT_GT(replayFolder(*target, "corpus"), 0u) << "no committed corpus for " << target->name;
    replayFolder(*target, "regressions");
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
