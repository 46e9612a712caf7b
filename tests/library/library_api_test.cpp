// The C interface of libtolvarinx: its failures (argument, read, cancel),
// the output rules for PNG inputs, and conversions from several threads at
// once, each checked through libpng against its own picture.

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "lib/tolvarinx.h"
#include "tests/common/image_file_builders.h"
#include "tests/common/test_support.h"

namespace {

RgbaImage picture(uint32_t width, uint32_t height, uint32_t seed, bool withAlpha)
{
    RgbaImage image;
    image.width = width;
    image.height = height;
    image.pixels.resize(size_t(width) * height * 4);
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x) {
            uint8_t* p = &image.pixels[(size_t(y) * width + x) * 4];
            p[0] = uint8_t(x * seed + y);
            p[1] = uint8_t((x ^ y) * 3 + seed);
            p[2] = uint8_t(y * 5 + seed * 7);
            p[3] = withAlpha ? uint8_t(x * 9 + y) : 255;
        }
    return image;
}

struct Converted {
    int status = -1;
    std::vector<uint8_t> png;
    tlvx_result result = {};
};

Converted convertMemory(const std::vector<uint8_t>& input, const tlvx_settings* settings)
{
    Converted out;
    unsigned char* data = nullptr;
    size_t size = 0;
    out.status = tlvx_convert_memory(input.data(), input.size(), settings, &data, &size, &out.result);
    if (data)
        out.png.assign(data, data + size);
    tlvx_free(data);
    return out;
}

void expectSamePixels(const std::vector<uint8_t>& png, const RgbaImage& expected)
{
    RgbaImage decoded;
    ASSERT_TRUE(decodePngBytesWithLibpng(png, decoded));
    EXPECT_EQ(decoded.width, expected.width);
    EXPECT_EQ(decoded.height, expected.height);
    EXPECT_TRUE(decoded.pixels == expected.pixels);
}

// Sets the cancel flag from inside the first progress event.
void cancelOnFirstEvent(int, int, int, int, int, void* userData)
{
    *static_cast<volatile short*>(userData) = 1;
}

struct FailureCase {
    const char* name;
    std::vector<uint8_t> input;
    unsigned options;
    int extendedIterations;
    bool nullOutput;
    bool cancelled;   // flag set before the call
    bool cancelOnProgress;
    int expected;
};

TEST(LibraryApi, FailuresGiveTheirCodeAndNoOutput)
{
    const std::vector<uint8_t> bmp = encodeBmp24(picture(24, 16, 3, false));
    std::vector<uint8_t> cutPng = encodePng(picture(24, 16, 5, false), false, 9);
    cutPng.resize(20);   // the signature and part of IHDR
    const std::vector<uint8_t> headerOnlyBmp(bmp.begin(), bmp.begin() + 54);
    const FailureCase cases[] = {
        {"empty input", {}, 0, 0, false, false, false, TLVX_ERROR_ARGUMENT},
        {"no output pointer", bmp, 0, 0, true, false, false, TLVX_ERROR_ARGUMENT},
        {"unknown option bit", bmp, 0x2000, 0, false, false, false, TLVX_ERROR_ARGUMENT},
        {"level 4", bmp, TLVX_OPT_EXTENDED_SEARCH | TLVX_OPT_EXTENDED_LEVEL(4), 0, false, false, false,
         TLVX_ERROR_ARGUMENT},
        {"level 7", bmp, TLVX_OPT_EXTENDED_SEARCH | TLVX_OPT_EXTENDED_LEVEL(7), 0, false, false, false,
         TLVX_ERROR_ARGUMENT},
        {"level -1", bmp, TLVX_OPT_EXTENDED_SEARCH | TLVX_OPT_EXTENDED_LEVEL(-1), 0, false, false, false,
         TLVX_ERROR_ARGUMENT},
        {"negative iterations", bmp, TLVX_OPT_EXTENDED_SEARCH, -1, false, false, false, TLVX_ERROR_ARGUMENT},
        {"too many iterations", bmp, TLVX_OPT_EXTENDED_SEARCH, 1001, false, false, false, TLVX_ERROR_ARGUMENT},
        {"no known signature", {'J', 'U', 'N', 'K', 0, 1, 2, 3, 4}, 0, 0, false, false, false, TLVX_ERROR_READ},
        {"truncated PNG", cutPng, 0, 0, false, false, false, TLVX_ERROR_READ},
        {"BMP without pixels", headerOnlyBmp, 0, 0, false, false, false, TLVX_ERROR_READ},
        {"GIF signature only", {'G', 'I', 'F', '8', '9', 'a'}, 0, 0, false, false, false, TLVX_ERROR_READ},
        {"cancelled before", bmp, 0, 0, false, true, false, TLVX_ERROR_CANCELLED},
        {"cancelled during", bmp, 0, 0, false, false, true, TLVX_ERROR_CANCELLED},
        {"cancelled extended", bmp, TLVX_OPT_EXTENDED_SEARCH, 0, false, false, true, TLVX_ERROR_CANCELLED},
    };
    for (const FailureCase& c : cases) {
        SCOPED_TRACE(c.name);
        volatile short cancel = c.cancelled ? 1 : 0;
        tlvx_settings settings = {};
        settings.options = c.options;
        settings.extended_iterations = c.extendedIterations;
        settings.cancel = &cancel;
        settings.progress = c.cancelOnProgress ? cancelOnFirstEvent : nullptr;
        settings.user_data = const_cast<short*>(&cancel);
        unsigned char sentinel = 0;
        unsigned char* output = &sentinel;
        size_t outputSize = 99;
        tlvx_result result;
        std::memset(&result, 0xA5, sizeof result);
        const int status = tlvx_convert_memory(c.input.empty() ? nullptr : c.input.data(), c.input.size(),
                                               &settings, c.nullOutput ? nullptr : &output, &outputSize, &result);
        EXPECT_EQ(status, c.expected) << tlvx_status_text(status);
        EXPECT_EQ(result.outcome, TLVX_OUTCOME_NONE);
        EXPECT_EQ(result.output_bytes, 0u);
        if (!c.nullOutput) {
            EXPECT_EQ(output, nullptr);
        }
        EXPECT_EQ(outputSize, 0u);
    }

    // The file call: missing arguments, and each cause of a failure by its own status.
    TempDir dir;
    ASSERT_TRUE(writeFileBytes(dir.file("text.png"), {'n', 'o', 't', ' ', 'a', 'n', ' ', 'i', 'm', 'a', 'g', 'e'}));
    ASSERT_TRUE(writeFileBytes(dir.file("good.bmp"), encodeBmp24(picture(3, 2, 1, false))));
    std::filesystem::create_directory(dir.file("folder.png"));
    const std::string out = dir.file("out.png");
    EXPECT_EQ(tlvx_convert_file(nullptr, out.c_str(), nullptr, nullptr), TLVX_ERROR_ARGUMENT);
    EXPECT_EQ(tlvx_convert_file(dir.file("text.png").c_str(), "", nullptr, nullptr), TLVX_ERROR_ARGUMENT);
    EXPECT_EQ(tlvx_convert_file(dir.file("missing.bmp").c_str(), out.c_str(), nullptr, nullptr), TLVX_ERROR_NOT_FOUND);
    EXPECT_EQ(tlvx_convert_file(dir.file("folder.png").c_str(), out.c_str(), nullptr, nullptr), TLVX_ERROR_NOT_READABLE);
    EXPECT_EQ(tlvx_convert_file(dir.file("text.png").c_str(), out.c_str(), nullptr, nullptr), TLVX_ERROR_READ);
    const std::string noFolder = dir.file("none/out.png");
    EXPECT_EQ(tlvx_convert_file(dir.file("good.bmp").c_str(), noFolder.c_str(), nullptr, nullptr), TLVX_ERROR_WRITE);
    EXPECT_EQ(countEntries(dir.path()), 3u) << "a failed call leaves no file behind";
    for (const int status : {TLVX_ERROR_NOT_FOUND, TLVX_ERROR_NOT_READABLE})
        EXPECT_STRNE(tlvx_status_text(status), "unknown status");

    EXPECT_STREQ(tlvx_status_text(TLVX_ERROR_CANCELLED), "the conversion was cancelled");
    EXPECT_STREQ(tlvx_status_text(-1), "unknown status");
}

// A PNG that cannot be made smaller comes back unchanged from memory; as a
// file it is copied, or kept when the output is the input itself.
TEST(LibraryApi, PngNotMadeSmallerIsCopiedOrKept)
{
    const RgbaImage image = picture(40, 30, 11, true);
    const Converted first = convertMemory(encodePng(image, true, 0), nullptr);
    ASSERT_EQ(first.status, TLVX_OK);
    EXPECT_EQ(first.result.outcome, TLVX_OUTCOME_CONVERTED);
    expectSamePixels(first.png, image);

    const Converted again = convertMemory(first.png, nullptr);
    ASSERT_EQ(again.status, TLVX_OK);
    EXPECT_EQ(again.result.outcome, TLVX_OUTCOME_COPIED);
    EXPECT_TRUE(again.png == first.png);
    EXPECT_EQ(again.result.png_bytes, first.png.size());

    TempDir dir;
    const std::string input = dir.file("best.png");
    ASSERT_TRUE(writeFileBytes(input, first.png));
    tlvx_result result = {};
    ASSERT_EQ(tlvx_convert_file(input.c_str(), dir.file("copy.png").c_str(), nullptr, &result), TLVX_OK);
    EXPECT_EQ(result.outcome, TLVX_OUTCOME_COPIED);
    EXPECT_TRUE(readFileBytes(dir.file("copy.png")) == first.png);
    ASSERT_EQ(tlvx_convert_file(input.c_str(), input.c_str(), nullptr, &result), TLVX_OK);
    EXPECT_EQ(result.outcome, TLVX_OUTCOME_KEPT);
    EXPECT_TRUE(readFileBytes(input) == first.png);
}

// Each level of the extended search as option bits: the output the input's
// pixels, level 0 the same bytes as level 2, and the default search's fields
// of the result 0 where levels 1 and 2 ran none (a picture above 16384 pixels).
TEST(LibraryApi, ExtendedLevelsInTheOptionBits)
{
    const RgbaImage image = picture(130, 128, 6, false);
    const std::vector<uint8_t> bmp = encodeBmp24(image);
    struct Case {
        unsigned level;        // TLVX_OPT_EXTENDED_LEVEL(level)
        unsigned bits;         // the bits that gives
        bool defaultSearch;    // the default search ran
    };
    const Case cases[] = {
        {0, 0x00, false},
        {TLVX_EXTENDED_LEVEL_FAST, 0x10, false},
        {TLVX_EXTENDED_LEVEL_BALANCED, 0x20, false},
        {TLVX_EXTENDED_LEVEL_MAX, 0x30, true},
    };
    std::vector<uint8_t> levelTwo;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.level);
        EXPECT_EQ(TLVX_OPT_EXTENDED_LEVEL(c.level), c.bits);
        EXPECT_EQ(TLVX_OPT_EXTENDED_LEVEL(c.level) & ~TLVX_OPT_EXTENDED_LEVEL_MASK, 0u);
        tlvx_settings settings = {};
        settings.options = TLVX_OPT_EXTENDED_SEARCH | TLVX_OPT_EXTENDED_LEVEL(c.level);
        settings.extended_iterations = 1;
        const Converted converted = convertMemory(bmp, &settings);
        ASSERT_EQ(converted.status, TLVX_OK) << tlvx_status_text(converted.status);
        expectSamePixels(converted.png, image);
        EXPECT_EQ(converted.result.bit_depth != 0, c.defaultSearch);
        EXPECT_EQ(converted.result.window_bits != 0, c.defaultSearch);
        if (c.level == 0 || c.level == TLVX_EXTENDED_LEVEL_BALANCED) {
            if (levelTwo.empty())
                levelTwo = converted.png;
            EXPECT_TRUE(converted.png == levelTwo) << "level 0 is level 2";
        }
    }
}

struct ThreadJob {
    RgbaImage image;
    std::vector<uint8_t> input;
    unsigned options;
    Converted alone;        // the conversion run by itself
    Converted together;     // the same run beside the others
    bool callbacksOnCaller = true;
    int events = 0;
    std::thread::id caller;
};

void countEvent(int, int, int, int, int, void* userData)
{
    ThreadJob& job = *static_cast<ThreadJob*>(userData);
    ++job.events;
    job.callbacksOnCaller &= std::this_thread::get_id() == job.caller;
}

void runJob(ThreadJob& job, Converted& into)
{
    job.caller = std::this_thread::get_id();
    tlvx_settings settings = {};
    settings.options = job.options;
    settings.progress = countEvent;
    settings.user_data = &job;
    into = convertMemory(job.input, &settings);
}

TEST(LibraryApi, ConversionsFromSeveralThreadsMatchTheirSoloRuns)
{
    std::vector<ThreadJob> jobs;
    for (uint32_t i = 0; i < 6; ++i) {
        ThreadJob job;
        const bool alpha = i == 2 || i == 4;   // PNG inputs only: a BMP drops alpha
        job.image = picture(17 + i * 9, 11 + i * 4, i + 2, alpha);
        job.input = i % 2 ? encodeBmp24(job.image) : encodePng(job.image, alpha, 1);
        job.options = i == 4 ? TLVX_OPT_EXTENDED_SEARCH : i == 5 ? TLVX_OPT_NO_8BIT_COMPARE : 0;
        jobs.push_back(std::move(job));
    }
    for (ThreadJob& job : jobs)
        runJob(job, job.alone);
    std::vector<std::thread> threads;
    for (ThreadJob& job : jobs)
        threads.emplace_back([&job] { runJob(job, job.together); });
    for (std::thread& thread : threads)
        thread.join();
    for (const ThreadJob& job : jobs) {
        SCOPED_TRACE(job.image.width);
        ASSERT_EQ(job.together.status, TLVX_OK);
        EXPECT_TRUE(job.together.png == job.alone.png) << "the output depends on what else ran";
        expectSamePixels(job.together.png, job.image);
        EXPECT_GT(job.events, 0);
        EXPECT_TRUE(job.callbacksOnCaller);
    }
}

}  // namespace

// The memory call works in memory only: with TMPDIR naming a folder that does
// not exist, and with one that must stay empty, every kind of input converts.
TEST(LibraryApi, MemoryCallTouchesNoFile)
{
    TempDir dir;
    const std::string missing = dir.file("missing");
    const std::string watched = dir.file("watched");
    ASSERT_TRUE(std::filesystem::create_directory(watched));
    const RgbaImage opaque = picture(20, 14, 9, false);
    const std::vector<uint8_t> inputs[] = {encodeBmp24(opaque), encodePng(opaque, false, 0),
                                           encodePng(picture(12, 12, 4, true), true, 9)};
    const char* previous = std::getenv("TMPDIR");
    const std::string saved = previous ? previous : "";
    for (const std::string& folder : {missing, watched}) {
        setenv("TMPDIR", folder.c_str(), 1);
        for (const std::vector<uint8_t>& input : inputs) {
            const Converted converted = convertMemory(input, nullptr);
            EXPECT_EQ(converted.status, TLVX_OK) << tlvx_status_text(converted.status);
            EXPECT_EQ(converted.png.size(), converted.result.output_bytes);
        }
    }
    if (previous)
        setenv("TMPDIR", saved.c_str(), 1);
    else
        unsetenv("TMPDIR");
    EXPECT_TRUE(listFiles(watched, "").empty()) << "the memory call left files in TMPDIR";
}
