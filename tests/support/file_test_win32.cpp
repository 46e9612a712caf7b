#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/replacing_file.h"
#include "tests/common/test_support.h"

namespace {

struct ReplacedTarget {
    const char* name;
    DWORD attributes;   // of the target before it is replaced
    bool heldOpen;      // a handle without delete sharing keeps it from being replaced
};

const ReplacedTarget kReplacedTargets[] = {
    {"Plain", 0, false},
    {"ReadOnly", FILE_ATTRIBUTE_READONLY, false},
    {"Hidden", FILE_ATTRIBUTE_HIDDEN, false},
    {"ReadOnlyHidden", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN, false},
    {"HiddenSystem", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM, false},
    {"ReadOnlyHeldOpen", FILE_ATTRIBUTE_READONLY, true},
};

constexpr DWORD kChecked = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;

class ReplacingFileAttributes : public testing::TestWithParam<ReplacedTarget> {};

TEST_P(ReplacingFileAttributes, NewFileKeepsThemOrOldFileStays)
{
    const ReplacedTarget& c = GetParam();
    TempDir dir;
    const std::string target = dir.file("out.png");
    ASSERT_TRUE(writeFileBytes(target, {1, 2, 3}));
    ASSERT_TRUE(SetFileAttributesA(target.c_str(), c.attributes ? c.attributes : FILE_ATTRIBUTE_NORMAL));
    const DWORD before = GetFileAttributesA(target.c_str()) & kChecked;
    ASSERT_EQ(before & ~FILE_ATTRIBUTE_ARCHIVE, c.attributes);
    HANDLE held = c.heldOpen ? CreateFileA(target.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr)
                             : INVALID_HANDLE_VALUE;
    ASSERT_EQ(held == INVALID_HANDLE_VALUE, !c.heldOpen);
    ReplacingFile out;
    ASSERT_TRUE(out.begin(target.c_str()));
    ASSERT_EQ(out.file().write("new", 3), 3u);
    EXPECT_EQ(out.commit(), !c.heldOpen);
    if (c.heldOpen)
        CloseHandle(held);

    const std::vector<uint8_t> expected = c.heldOpen ? std::vector<uint8_t>{1, 2, 3} : std::vector<uint8_t>{'n', 'e', 'w'};
    EXPECT_EQ(readFileBytes(target), expected);
    // New content is marked for archiving; an old file that stays is as it was.
    EXPECT_EQ(GetFileAttributesA(target.c_str()) & kChecked, c.heldOpen ? before : c.attributes | FILE_ATTRIBUTE_ARCHIVE);
    EXPECT_EQ(countEntries(dir.path()), 1u);   // no temporary or backup file left
}

INSTANTIATE_TEST_SUITE_P(Targets, ReplacingFileAttributes, testing::ValuesIn(kReplacedTargets),
                         [](const testing::TestParamInfo<ReplacedTarget>& info) { return std::string(info.param.name); });

constexpr char kReplacerTargetVariable[] = "TOLVARINX_REPLACER_TARGET";
constexpr size_t kReplacedBytes = 1 << 16;

// The child's part: replaces the target over and over, each time with a whole
// file of one byte value, until it is ended.
[[noreturn]] void childReplacesForever(const char* target)
{
    for (uint8_t value = 1;; value = uint8_t(value % 250 + 1)) {
        const std::vector<uint8_t> block(kReplacedBytes, value);
        ReplacingFile out;
        if (!out.begin(target) || out.file().write(block.data(), uint32_t(block.size())) != block.size())
            ExitProcess(2);
        out.commit();
    }
}

// A process ended at any moment of a replacement (TerminateProcess, as a
// crash or a power cut would end it) leaves the name holding a whole file:
// the old one or the new one, never none.
TEST(ReplacingFile, KilledAtAnyMomentLeavesAWholeFileAtTheName)
{
    if (const char* target = std::getenv(kReplacerTargetVariable))
        childReplacesForever(target);
    TempDir dir;
    const std::string target = dir.file("kept.png");
    ASSERT_TRUE(writeFileBytes(target, std::vector<uint8_t>(kReplacedBytes, 0)));
    char self[MAX_PATH];
    ASSERT_GT(GetModuleFileNameA(nullptr, self, MAX_PATH), 0u);
    std::string commandLine =
        std::string("\"") + self + "\" --gtest_filter=ReplacingFile.KilledAtAnyMomentLeavesAWholeFileAtTheName";
    ASSERT_TRUE(SetEnvironmentVariableA(kReplacerTargetVariable, target.c_str()));
    for (DWORD run = 0; run < 12; ++run) {
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process = {};
        ASSERT_TRUE(CreateProcessA(self, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                                   &process));
        Sleep(150 + run * 37);   // a different moment of the loop each run
        TerminateProcess(process.hProcess, 9);
        WaitForSingleObject(process.hProcess, 60000);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        const std::vector<uint8_t> bytes = readFileBytes(target);
        ASSERT_EQ(bytes.size(), kReplacedBytes) << "run " << run;
        EXPECT_TRUE(std::all_of(bytes.begin(), bytes.end(), [&](uint8_t b) { return b == bytes[0]; })) << run;
    }
    SetEnvironmentVariableA(kReplacerTargetVariable, nullptr);
}

}  // namespace
