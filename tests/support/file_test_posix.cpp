#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <csignal>
#include <memory>
#include <string>
#include <vector>

#include "core/file_handle.h"
#include "core/replacing_file.h"
#include "tests/common/test_support.h"

TEST(FileHelpers, HardLinkIsTheSameFile)
{
    TempDir dir;
    const std::string a = dir.file("a.png");
    ASSERT_TRUE(writeFileBytes(a, {1, 2}));
    ASSERT_EQ(link(a.c_str(), dir.file("hard.png").c_str()), 0);
    EXPECT_TRUE(isSameFile(a.c_str(), dir.file("hard.png").c_str()));
}

// A file beyond 4 GiB reports its whole size, not the size modulo 2^32
// (a sparse file: no disk space is used).
TEST(FileHandle, SizeBeyondFourGibibytes)
{
    TempDir dir;
    const std::string path = dir.file("large.png");
    ASSERT_TRUE(writeFileBytes(path, {1, 2, 3}));
    const uint64_t size = (uint64_t(1) << 32) + 7;
    ASSERT_EQ(truncate(path.c_str(), off_t(size)), 0);
    FileHandle file;
    ASSERT_TRUE(file.openRead(path.c_str()));
    EXPECT_EQ(file.size(), size);
}

// A write that the system cuts short (file-size limit) must fail and leave the
// target as it was, with no temporary file behind. Runs in a child process so
// the limit does not reach the test runner.
TEST(ReplacingFile, ShortWriteFailsAndKeepsTarget)
{
    TempDir dir;
    const std::string target = dir.file("keep.png");
    const std::vector<uint8_t> original(100, 0xAB);
    ASSERT_TRUE(writeFileBytes(target, original));
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit limit = {4096, 4096};
        setrlimit(RLIMIT_FSIZE, &limit);
        ReplacingFile out;
        if (!out.begin(target.c_str()))
            _exit(2);
        std::vector<uint8_t> block(10000, 1);
        const uint32_t written = out.file().write(block.data(), static_cast<uint32_t>(block.size()));
        if (written == block.size())
            _exit(3);   // the limit did not bite: the test proves nothing
        out.abandon();
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(readFileBytes(target), original);
    EXPECT_EQ(countEntries(dir.path()), 1u);
}


// The longest temporary path the system opens (PATH_MAX - 1 bytes, "/."
// repeated in front of a short name) fits the interrupt list, and a handler's
// removal finds it.
TEST(InterruptList, LongestPathIsListed)
{
    static_assert(kMaxListedTempPathBytes >= PATH_MAX, "every path the system opens is listed");
    TempDir dir;
    const std::string suffix = ".0.tlvtmp";
    std::string target = dir.path();
    while (target.size() + 2 + 6 + suffix.size() < PATH_MAX - 1)
        target += "/.";
    target += "/";
    target += std::string(PATH_MAX - 1 - suffix.size() - target.size(), 'n');
    ASSERT_EQ(target.size() + suffix.size(), size_t(PATH_MAX - 1));
    const int before = listedTempFileCount();
    ReplacingFile out;
    ASSERT_TRUE(out.begin(target.c_str()));
    EXPECT_EQ(listedTempFileCount(), before + 1);
    EXPECT_EQ(countEntries(dir.path()), 1u);
    removeListedTempFiles();
    EXPECT_EQ(countEntries(dir.path()), 0u);
    out.abandon();
    EXPECT_EQ(listedTempFileCount(), before);
}

// What an interrupt handler does: every open temporary file goes at once, each
// target stays as it was, and the owners can still abandon afterwards.
TEST(InterruptList, RemovalLeavesOnlyTheTargets)
{
    TempDir dir;
    std::vector<std::unique_ptr<ReplacingFile>> open;
    for (int i = 0; i < 3; ++i) {
        const std::string target = dir.file("t" + std::to_string(i) + ".png");
        ASSERT_TRUE(writeFileBytes(target, {uint8_t(i)}));
        open.push_back(std::make_unique<ReplacingFile>());
        ASSERT_TRUE(open.back()->begin(target.c_str()));
        const uint8_t bytes[] = {9, 9};
        ASSERT_EQ(open.back()->file().write(bytes, 2), 2u);
    }
    ASSERT_EQ(countEntries(dir.path()), 6u);
    removeListedTempFiles();
    EXPECT_EQ(countEntries(dir.path()), 3u);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(readFileBytes(dir.file("t" + std::to_string(i) + ".png")), std::vector<uint8_t>{uint8_t(i)});
    open.clear();
    EXPECT_EQ(countEntries(dir.path()), 3u);
}
