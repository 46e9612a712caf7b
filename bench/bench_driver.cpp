// tolvarinx_bench: converts one image as tolvarinxc does and prints what it
// cost, as one line of name=value figures for bench/run.
//
//   tolvarinx_bench [-threads N] [-nomemo] [-search] [-repeat R] [-options BITS]
//                   [-level L] [-iterations N] INPUT OUTPUT
//
// -threads sets the conversion's worker threads (else TOLVARINX_THREADS
// does, as for the console; 0 or neither: one per core); -nomemo measures every
// trial by a full compression, one after another (the optimizer's plain
// search, through zlibTrialMeasure); -search runs the search alone, as a test
// conversion that writes nothing; -repeat runs the conversion R times and
// reports the fastest; -options passes option bits as the console's switches
// would (0x8 the extended search, whose zopfli iterations -iterations sets);
// -level runs the extended search at effort level L (1 to 3, the option bit
// 0x8 implied). Otherwise the output is always written, whatever its size.
// The line ends with the extended search's choices (0 without it) and its
// stages.
//
// CPU time: user plus system time of the whole process (every thread) over
// the conversion, from getrusage, of the same run as the wall time.
//
// Stages: the extended search's stage observer records the steady clock as
// each stage ends; stages=NAME:S,... gives each stage's seconds since the
// previous stage ended (the first: since the conversion started, so at
// levels that run the default search first it includes that search) in the
// order they ended, stage_rest_s the seconds from the last stage to the end
// of the conversion (writing the file); "-" for both when no stage was
// reported.
//
// Time inside zlib: the link wraps deflateInit2_, deflate and deflateEnd, and
// every call adds its duration to a total (all threads together). With one
// thread, conversion time minus that total is the time spent outside zlib.
//
// Peak memory: the kernel's peak resident size is reset just before the
// conversion (/proc/self/clear_refs) and read after it; the figure is that
// peak minus the resident size before, so the loaded input image is not
// counted.

#include <zlib.h>

#include <atomic>
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <sys/resource.h>

#include "core/byte_buffer.h"
#include "core/dib_image.h"
#include "core/file_handle.h"
#include "core/image_loader.h"
#include "engine/colour_analysis.h"
#include "engine/extended/extended_search.h"
#include "engine/png_optimizer.h"
#include "services/worker_threads.h"

namespace {

using Clock = std::chrono::steady_clock;

std::atomic<int64_t> zlibNanoseconds{0};
std::atomic<int64_t> streamsStarted{0};

int64_t since(Clock::time_point start)
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now() - start).count();
}

}   // namespace

extern "C" {
int __real_deflateInit2_(z_streamp, int, int, int, int, int, const char*, int);
int __real_deflate(z_streamp, int);
int __real_deflateEnd(z_streamp);

int __wrap_deflateInit2_(z_streamp stream, int level, int method, int windowBits, int memLevel,
                         int strategy, const char* version, int size)
{
    const Clock::time_point start = Clock::now();
    const int result = __real_deflateInit2_(stream, level, method, windowBits, memLevel, strategy,
                                            version, size);
    zlibNanoseconds += since(start);
    ++streamsStarted;
    return result;
}

int __wrap_deflate(z_streamp stream, int flush)
{
    const Clock::time_point start = Clock::now();
    const int result = __real_deflate(stream, flush);
    zlibNanoseconds += since(start);
    return result;
}

int __wrap_deflateEnd(z_streamp stream)
{
    const Clock::time_point start = Clock::now();
    const int result = __real_deflateEnd(stream);
    zlibNanoseconds += since(start);
    return result;
}
}

namespace {

// A "Vm...:" figure of /proc/self/status in KiB, -1 when unreadable.
long statusKib(const char* key)
{
    FILE* file = std::fopen("/proc/self/status", "r");
    if (!file)
        return -1;
    char line[256];
    long value = -1;
    const size_t keyLength = std::strlen(key);
    while (std::fgets(line, sizeof line, file)) {
        if (std::strncmp(line, key, keyLength) == 0 && line[keyLength] == ':') {
            value = std::strtol(line + keyLength + 1, nullptr, 10);
            break;
        }
    }
    std::fclose(file);
    return value;
}

bool resetPeakResidentSize()
{
    FILE* file = std::fopen("/proc/self/clear_refs", "w");
    if (!file)
        return false;
    const bool ok = std::fputs("5", file) >= 0;
    return std::fclose(file) == 0 && ok;
}

int doneEvents = 0;

void countDoneEvents(int32_t bitDepth, int32_t, int32_t, int32_t, int32_t size, void*)
{
    if (bitDepth < 0 && size >= 0)
        ++doneEvents;
}

// User plus system seconds of the whole process so far, -1 when unknown.
double processCpuSeconds()
{
    rusage usage;
    if (getrusage(RUSAGE_SELF, &usage) != 0)
        return -1;
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// The stage ends of one conversion, filled by recordStage on the converting
// thread.
struct StageLog {
    Clock::time_point start;
    std::vector<std::pair<std::string, int64_t>> ends;   // name, nanoseconds since start
};

void recordStage(const char* stage, void* context)
{
    StageLog& log = *static_cast<StageLog*>(context);
    std::string name = stage ? stage : "?";
    for (char& c : name)   // the name becomes one token of the output line
        if (c == ' ' || c == ',' || c == ':' || c == '=' || c == '\t' || c == '\n')
            c = '_';
    log.ends.emplace_back(name, since(log.start));
}

// "NAME:S,NAME:S" of each stage's own seconds, and the seconds after the
// last one; "-" and "-" when the log is empty.
void formatStages(const StageLog& log, int64_t wall, std::string& stages, std::string& rest)
{
    stages = rest = "-";
    if (log.ends.empty())
        return;
    stages.clear();
    int64_t previous = 0;
    char seconds[32];
    for (const auto& end : log.ends) {
        std::snprintf(seconds, sizeof seconds, "%.4f", (end.second - previous) / 1e9);
        stages += (stages.empty() ? "" : ",") + end.first + ":" + seconds;
        previous = end.second;
    }
    std::snprintf(seconds, sizeof seconds, "%.4f", (wall - previous) / 1e9);
    rest = seconds;
}

int usage()
{
    std::fputs("usage: tolvarinx_bench [-threads N] [-nomemo] [-search] [-repeat R] [-options BITS] "
               "[-level L] [-iterations N] INPUT OUTPUT\n", stderr);
    return 2;
}

}   // namespace

int main(int argc, char** argv)
{
    const char* threads = nullptr;
    bool unmemoised = false;
    bool searchOnly = false;
    int repeat = 1;
    uint16_t options = 0;
    int32_t iterations = 0;
    int32_t level = 0;
    int arg = 1;
    for (; arg < argc && argv[arg][0] == '-'; ++arg) {
        const std::string name = argv[arg];
        if (name == "-nomemo") {
            unmemoised = true;
        } else if (name == "-search") {
            searchOnly = true;
        } else if (arg + 1 < argc && name == "-threads") {
            threads = argv[++arg];
        } else if (arg + 1 < argc && name == "-repeat") {
            repeat = std::atoi(argv[++arg]);
        } else if (arg + 1 < argc && name == "-options") {
            options = static_cast<uint16_t>(std::strtoul(argv[++arg], nullptr, 0) & 0xF);
        } else if (arg + 1 < argc && name == "-level") {
            level = std::atoi(argv[++arg]);
            if (level < kMinExtendedLevel || level > kMaxExtendedLevel)
                return usage();
        } else if (arg + 1 < argc && name == "-iterations") {
            iterations = std::atoi(argv[++arg]);
        } else {
            return usage();
        }
    }
    if (argc - arg != 2 || repeat < 1)
        return usage();
    if (level != 0)
        options |= OPT_EXTENDED_SEARCH;
    const char* input = argv[arg];
    const char* output = argv[arg + 1];
    setWorkerThreadCount(threads ? parseWorkerThreads(threads) : workerThreadsFromEnvironment());

    DibImage image;
    ConvertRequest request;
    if (!loadImageFile(image, input, request.transparentColour)) {
        std::fprintf(stderr, "%s: cannot read\n", input);
        return 1;
    }
    request.pixels = image.bits;
    request.width = image.width;
    request.height = image.height;
    request.hasAlpha = image.hasAlpha;
    request.options = options;
    request.extendedLevel = level;
    request.extendedIterations = iterations;
    request.callback = countDoneEvents;

    // The row data of the first bit depth, and the largest packed image the
    // search makes (8 bits too when a small palette is compared at 8 bits).
    ByteBuffer palette;
    int32_t colours = 0;
    if (!palette.allocate(kPaletteBytes, true))
        return 1;
    const int32_t firstDepth = chooseBitDepth(request, palette.data, colours);
    const int32_t largestDepth =
        firstDepth <= 4 && !(options & OPT_NO_8BIT_COMPARE) ? 8 : firstDepth;
    const uint64_t rowBytes = uint64_t(rowStride(firstDepth, image.width)) * image.height;
    const uint64_t packedBytes = uint64_t(rowStride(largestDepth, image.width)) * image.height;

    int64_t bestWall = -1;
    int64_t bestZlib = 0;
    double bestCpu = -1;
    std::string stages = "-";
    std::string stageRest = "-";
    StageLog stageLog;
    setExtendedStageObserver(recordStage, &stageLog);
    long peakKib = -1;
    int64_t streams = 0;
    int trials = 0;
    for (int run = 0; run < repeat; ++run) {
        PngOptimizer optimizer;
        if (unmemoised)
            optimizer.setTrialMeasure(zlibTrialMeasure, nullptr);
        volatile int16_t cancel = 0;
        request.cancelFlag = &cancel;
        doneEvents = 0;
        const bool measureMemory = run == 0 && resetPeakResidentSize();
        const long residentBefore = measureMemory ? statusKib("VmRSS") : -1;
        zlibNanoseconds = 0;
        streamsStarted = 0;
        stageLog.ends.clear();
        const double cpuBefore = processCpuSeconds();
        const Clock::time_point start = Clock::now();
        stageLog.start = start;
        const int result = optimizer.convert(searchOnly ? nullptr : output, request);
        const int64_t wall = since(start);
        const double cpuAfter = processCpuSeconds();
        if (measureMemory && residentBefore >= 0) {
            const long peak = statusKib("VmHWM");
            peakKib = peak >= residentBefore ? peak - residentBefore : 0;
        }
        if (result != 1) {
            std::fprintf(stderr, "%s: conversion failed\n", input);
            return 1;
        }
        if (bestWall < 0 || wall < bestWall) {
            bestWall = wall;
            bestZlib = zlibNanoseconds;
            bestCpu = cpuBefore >= 0 && cpuAfter >= cpuBefore ? cpuAfter - cpuBefore : -1;
            formatStages(stageLog, wall, stages, stageRest);
        }
        streams = streamsStarted;
        trials = doneEvents;
    }

    std::printf("pixels=%" PRId64 " input_bytes=%u output_bytes=%u bit_depth=%d filter=%d "
                "window_bits=%d mem_level=%d row_bytes=%" PRIu64 " packed_bytes=%" PRIu64
                " wall_s=%.4f zlib_s=%.4f cpu_s=%.4f peak_kib=%ld trials=%d compressions=%" PRId64
                " level=%d layout=%d depth=%d order=%d strategy=%d encoder=%d iterations=%d parts=%d"
                " stages=%s stage_rest_s=%s\n",
                int64_t(image.width) * image.height, fileSizeByName(input), request.fileSize,
                request.bitDepth, request.filter, request.windowBits, request.memLevel, rowBytes,
                packedBytes, bestWall / 1e9, bestZlib / 1e9, bestCpu, peakKib, trials, streams,
                options & OPT_EXTENDED_SEARCH ? requestedExtendedLevel(request) : 0,
                request.extendedLayout, request.extendedDepth, request.paletteOrder,
                request.filterStrategy, request.encoder, request.encoderIterations,
                request.encoderParts, stages.c_str(), stageRest.c_str());
    setExtendedStageObserver(nullptr, nullptr);
    return 0;
}
