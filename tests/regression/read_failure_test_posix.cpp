// A converter run whose read of the input fails must not pass off the part it
// read as the picture: converting in place, that would replace the file with
// a damaged one. The console reads a PNG whole, at once; the file loader
// (the desktop program's) reads it chunk by chunk, and a read or seek that
// fails part-way must fail the load. The failure is made by a seccomp filter
// in a child process that fails every read of one chosen length, or every
// seek by one chosen distance, with EIO; the file is laid out so that only
// the reads of one IDAT chunk, or only the skip over one chunk between two
// IDAT chunks, have that length.

#include <gtest/gtest.h>

#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <functional>

#include "console/console_program.h"
#include "console/console_run.h"
#include "core/dib_image.h"
#include "core/image_loader.h"
#include "tests/readers/reader_test_support.h"

namespace {

// An RGB picture stored without compression, so that the converter's result
// is smaller and replaces the input; its zlib stream is cut into IDAT chunks
// of firstChunk bytes, then chunkBytes bytes each. With textBytes > 0, a tEXt
// chunk of that many bytes follows the first IDAT chunk.
Bytes storedPng(uint32_t side, size_t firstChunk, size_t chunkBytes, size_t textBytes = 0)
{
    Bytes samples(size_t(side) * side * 3);
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = uint8_t((i * 7) ^ (i >> 5));
    const Bytes rows = rowsWithFilterZero(samples, side * 3, side);
    // A stored (level 0) zlib stream: header, blocks of up to 65535 bytes, Adler-32.
    Bytes stream = {0x78, 0x01};
    uint32_t a = 1;
    uint32_t b = 0;
    for (size_t start = 0; start < rows.size(); start += 65535) {
        const size_t n = std::min<size_t>(65535, rows.size() - start);
        stream.push_back(start + n == rows.size() ? 1 : 0);
        stream.push_back(uint8_t(n));
        stream.push_back(uint8_t(n >> 8));
        stream.push_back(uint8_t(~n));
        stream.push_back(uint8_t(~n >> 8));
        stream.insert(stream.end(), rows.begin() + long(start), rows.begin() + long(start + n));
    }
    for (uint8_t byte : rows) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    const uint32_t adler = (b << 16) | a;
    for (int shift = 24; shift >= 0; shift -= 8)
        stream.push_back(uint8_t(adler >> shift));

    PngBuilder png;
    png.chunk("IHDR", ihdrData(side, side, 8, 2));
    for (size_t start = 0; start < stream.size();) {
        const size_t n = std::min(start == 0 ? firstChunk : chunkBytes, stream.size() - start);
        png.chunk("IDAT", Bytes(stream.begin() + long(start), stream.begin() + long(start + n)));
        if (start == 0 && textBytes > 0)
            png.chunk("tEXt", Bytes(textBytes, 'x'));
        start += n;
    }
    png.chunk("IEND", {});
    return png.bytes;
}

// The system call to fail: read() by its length, or lseek() by its distance.
struct FailingCall {
    int number;
    int argument;   // index of the argument compared with value
    uint32_t value;
};
constexpr int kReadLength = 2;
constexpr int kSeekDistance = 1;

FailingCall readsOf(uint32_t length) { return {__NR_read, kReadLength, length}; }
FailingCall seeksBy(uint32_t distance) { return {__NR_lseek, kSeekDistance, distance}; }

// Makes every matching call fail with EIO in this process.
bool failCalls(const FailingCall& call)
{
    struct sock_filter filter[] = {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(struct seccomp_data, nr)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, uint32_t(call.number), 0, 3),
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, uint32_t(offsetof(struct seccomp_data, args) + 8 * call.argument)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, call.value, 0, 1),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | (EIO & SECCOMP_RET_DATA)),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
    };
    struct sock_fprog program = {static_cast<unsigned short>(sizeof filter / sizeof filter[0]), filter};
    return prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 &&
           prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) == 0;
}

struct ChildRun {
    bool exited = false;
    int status = -1;
};

// Runs work in a child whose matching calls fail, with work's result as its
// exit status (99: the filter could not be set).
ChildRun runWithFailingCalls(const std::function<int()>& work, const FailingCall& call)
{
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child == 0)
        _exit(failCalls(call) ? work() : 99);
    ChildRun run;
    int status = 0;
    if (child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status)) {
        run.exited = true;
        run.status = WEXITSTATUS(status);
    }
    return run;
}

// The console on commandLine, its output discarded.
ChildRun runWithFailingCalls(const std::string& commandLine, const FailingCall& call)
{
    return runWithFailingCalls(
        [&] {
            FILE* out = std::fopen("/dev/null", "w");
            return out ? runConsole(2, commandLine.c_str(), out) : 99;
        },
        call);
}

// The file loader on path: 0 when the load succeeded, 1 when it failed.
ChildRun loadWithFailingCalls(const std::string& path, const FailingCall& call)
{
    return runWithFailingCalls(
        [&] {
            DibImage image;
            int32_t transparentColour = -1;
            return loadImageFile(image, path.c_str(), transparentColour) ? 0 : 1;
        },
        call);
}

// Converts original in place with the call failing; the run must fail and
// leave the file as it was, with no temporary file.
void expectFailedRunKeepsTheInput(const Bytes& original, const FailingCall& call)
{
    TempDir dir;
    const std::string path = dir.file("picture.png");
    ASSERT_TRUE(writeFileBytes(path, original));

    const ChildRun run = runWithFailingCalls("tolvarinxc -i " + path + " -nf -nd", call);
    ASSERT_TRUE(run.exited);
    ASSERT_NE(run.status, 99) << "seccomp is not available";
    EXPECT_EQ(run.status, CONSOLE_EXIT_FAILURE);
    EXPECT_TRUE(readFileBytes(path) == original) << "the input was replaced by what the failing call left";
    EXPECT_EQ(listFiles(dir.path(), ".tlvtmp").size(), 0u);
}

TEST(ReadFailure, WholeInputReadKeepsTheInputInPlace)
{
    // The console reads all but the 8 signature bytes in one read.
    const Bytes original = storedPng(48, 500, 1001);
    expectFailedRunKeepsTheInput(original, readsOf(uint32_t(original.size() - 8)));
}

// The file loader on a file whose reads or seeks fail part-way.
void expectFailedLoad(const Bytes& original, const FailingCall& call)
{
    TempDir dir;
    const std::string path = dir.file("picture.png");
    ASSERT_TRUE(writeFileBytes(path, original));
    const ChildRun run = loadWithFailingCalls(path, call);
    ASSERT_TRUE(run.exited);
    ASSERT_NE(run.status, 99) << "seccomp is not available";
    EXPECT_EQ(run.status, 1) << "a load that lost part of the image data succeeded";
    EXPECT_EQ(loadWithFailingCalls(path, readsOf(77777)).status, 0) << "the file itself loads";
}

TEST(ReadFailure, InsideImageDataFailsTheFileLoad)
{
    // The second IDAT chunk, and only it, is read with 1001-byte reads.
    expectFailedLoad(storedPng(48, 500, 1001), readsOf(1001));
}

TEST(ReadFailure, SeekPastAChunkBetweenImageDataFailsTheFileLoad)
{
    // The skip over the 777-byte tEXt chunk after the first IDAT chunk fails:
    // the chunk search must not take that for the end of the image data.
    expectFailedLoad(storedPng(48, 500, 1001, 777), seeksBy(777));
}

TEST(ReadFailure, UntouchedReadsStillConvertInPlace)
{
    // The same files with no failing call are converted and replaced: the
    // tests above fail because of the call, not because of the file.
    for (size_t textBytes : {0, 777}) {
        TempDir dir;
        const std::string path = dir.file("picture.png");
        const Bytes original = storedPng(48, 500, 1001, textBytes);
        ASSERT_TRUE(writeFileBytes(path, original));

        const ChildRun run = runWithFailingCalls("tolvarinxc -i " + path + " -nf -nd", readsOf(77777));
        ASSERT_TRUE(run.exited);
        ASSERT_NE(run.status, 99) << "seccomp is not available";
        EXPECT_EQ(run.status, CONSOLE_EXIT_SUCCESS);
        const Bytes converted = readFileBytes(path);
        EXPECT_LT(converted.size(), original.size());
        RgbaImage before;
        RgbaImage after;
        // libpng ends the image data at the first other chunk, so the
        // pixels come from the file without the tEXt chunk.
        ASSERT_TRUE(decodePngBytesWithLibpng(storedPng(48, 500, 1001), before));
        ASSERT_TRUE(decodePngWithLibpng(path, after));
        EXPECT_EQ(before.pixels, after.pixels);
    }
}

}  // namespace
