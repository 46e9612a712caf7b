// Output files on any platform: the single IDAT chunk across scratch-buffer
// boundaries, the size limit, and existing files kept safe when a conversion
// is cancelled or cannot be completed.

#include <gtest/gtest.h>

#include <zlib.h>

#include <string>
#include <vector>

#include "tests/engine/engine_test_support.h"

namespace {

// The IDAT payload inflated; empty when it is not one complete zlib stream.
std::vector<uint8_t> inflatedIdat(const WrittenFile& file)
{
    const PngChunk* idat = findChunk(file.chunks, "IDAT");
    if (!idat)
        return {};
    std::vector<uint8_t> out(1 << 16);
    z_stream stream = {};
    if (inflateInit(&stream) != Z_OK)
        return {};
    stream.next_in = const_cast<Bytef*>(idat->data.data());
    stream.avail_in = static_cast<uInt>(idat->data.size());
    size_t produced = 0;
    int result = Z_OK;
    while (result == Z_OK) {
        if (produced == out.size())
            out.resize(out.size() * 2);
        stream.next_out = out.data() + produced;
        stream.avail_out = static_cast<uInt>(out.size() - produced);
        result = inflate(&stream, Z_NO_FLUSH);
        produced = out.size() - stream.avail_out;
    }
    const bool complete = result == Z_STREAM_END && stream.avail_in == 0;
    inflateEnd(&stream);
    if (!complete)
        return {};
    out.resize(produced);
    return out;
}

// The rows of a 24-bit picture with filter type 0, top row first.
std::vector<uint8_t> unfilteredRows(const TestPicture& picture)
{
    std::vector<uint8_t> rows;
    for (int32_t y = 0; y < picture.height; ++y) {
        rows.push_back(0);
        for (int32_t x = 0; x < picture.width; ++x) {
            const uint32_t rgb = picture.rgbAt(x, y);
            rows.push_back(static_cast<uint8_t>(rgb >> 16));
            rows.push_back(static_cast<uint8_t>(rgb >> 8));
            rows.push_back(static_cast<uint8_t>(rgb));
        }
    }
    return rows;
}

}   // namespace

TEST(IdatStream, LongerThanTheScratchBuffer)
{
    TempDir dir;
    TestPicture picture(150, 160);
    picture.fillNoise(21);
    WrittenFile file;
    convertTo(dir.file("big.png"), picture, -1, false,
              OPT_NO_FILTER_COMPARE | OPT_NO_DEFLATE_COMPARE, file);
    expectSoundStructure(file, picture);
    EXPECT_EQ(inflatedIdat(file), unfilteredRows(picture));
    EXPECT_GT(file.request.dataSize, 2 * 32768);
}

TEST(IdatStream, EndingExactlyAtTheScratchBoundary)
{
    // Noise barely compresses, so the stream length follows the raw size; scan
    // sizes around one buffer for a stream of exactly 32768 bytes.
    const uint16_t options = OPT_NO_FILTER_COMPARE | OPT_NO_DEFLATE_COMPARE | OPT_NO_8BIT_COMPARE;
    int32_t foundWidth = 0, foundHeight = 0;
    for (int32_t width = 20; width <= 120 && foundWidth == 0; ++width) {
        const int32_t stride = 3 * width + 1;
        for (int32_t height = 32700 / stride - 1; height <= 32768 / stride + 1; ++height) {
            TestPicture picture(width, height);
            picture.fillNoise(4242);
            PngOptimizer optimizer;
            ConvertRequest request = picture.request();
            request.options = options;
            ASSERT_EQ(optimizer.convert(nullptr, request), 1);
            if (request.dataSize == 32768) {
                foundWidth = width;
                foundHeight = height;
                break;
            }
        }
    }
    ASSERT_NE(foundWidth, 0) << "no noise image compressed to exactly 32768 bytes";
    TempDir dir;
    TestPicture picture(foundWidth, foundHeight);
    picture.fillNoise(4242);
    WrittenFile file;
    convertTo(dir.file("edge.png"), picture, -1, false, options, file);
    expectSoundStructure(file, picture);
    EXPECT_EQ(inflatedIdat(file), unfilteredRows(picture));
    EXPECT_EQ(file.request.dataSize, 32768);
}

TEST(WrittenPng, ReplacesAnExistingFileCompletely)
{
    TempDir dir;
    const std::string path = dir.file("old.png");
    ASSERT_TRUE(writeFileBytes(path, std::vector<uint8_t>(200000, 0x5A)));
    TestPicture picture = cyclingPicture(8, 8, 3);
    WrittenFile file;
    convertTo(path, picture, -1, false, 0, file);
    expectSoundStructure(file, picture);
    EXPECT_EQ(countEntries(dir.path()), 1u);
}

TEST(SizeToBeat, EqualSizeIsNotWritten)
{
    TempDir dir;
    TestPicture picture = cyclingPicture(30, 20, 40);
    PngOptimizer optimizer;
    ConvertRequest probe = picture.request();
    ASSERT_EQ(optimizer.convert(nullptr, probe), 1);

    const std::string path = dir.file("input.png");
    const std::vector<uint8_t> original(500, 0x33);
    ASSERT_TRUE(writeFileBytes(path, original));
    WrittenFile equal;
    convertTo(path, picture, -1, false, 0, equal, probe.fileSize);
    EXPECT_EQ(equal.result, 1);
    EXPECT_EQ(equal.request.notWritten, 1);
    EXPECT_EQ(equal.request.fileSize, probe.fileSize);
    EXPECT_EQ(readFileBytes(path), original);
    EXPECT_EQ(countEntries(dir.path()), 1u);

    WrittenFile missing;
    convertTo(dir.file("new.png"), picture, -1, false, 0, missing, probe.fileSize);
    EXPECT_EQ(missing.request.notWritten, 1);
    EXPECT_EQ(countEntries(dir.path()), 1u);

    WrittenFile smaller;
    convertTo(path, picture, -1, false, 0, smaller, probe.fileSize + 1);
    expectSoundStructure(smaller, picture);
}

TEST(OutputSafety, CancelLeavesTheTargetAlone)
{
    TempDir dir;
    const std::string path = dir.file("keep.png");
    const std::vector<uint8_t> original = {1, 2, 3, 4, 5};
    ASSERT_TRUE(writeFileBytes(path, original));
    TestPicture picture = cyclingPicture(16, 16, 9);
    PngOptimizer optimizer;
    ConvertRequest request = picture.request();
    EventLog log;
    volatile int16_t cancel = 0;
    log.attach(request, &cancel);
    log.cancelOnDepthStart = &cancel;
    EXPECT_EQ(optimizer.convert(path.c_str(), request), 0);
    EXPECT_EQ(readFileBytes(path), original);
    EXPECT_EQ(countEntries(dir.path()), 1u);
}

TEST(OutputSafety, AFolderThatDoesNotExistFailsWithNothingCreated)
{
    TempDir dir;
    TestPicture picture = cyclingPicture(16, 16, 9);
    PngOptimizer optimizer;
    ConvertRequest request = picture.request();
    EXPECT_EQ(optimizer.convert(dir.file("missing/out.png").c_str(), request), 0);
    EXPECT_EQ(countEntries(dir.path()), 0u);
}

TEST(OutputSafety, SizesThatDisagreeWithTheStreamAreNotWritten)
{
    // A measurement that does not match the written stream would make the
    // reported size a lie; such a file is abandoned.
    TempDir dir;
    const std::string path = dir.file("target.png");
    const std::vector<uint8_t> original = {9, 9, 9};
    ASSERT_TRUE(writeFileBytes(path, original));
    TestPicture picture = cyclingPicture(16, 16, 9);
    ScriptedOptimizer optimizer([](const ScriptedOptimizer::Call&, size_t) { return 50u; });
    ConvertRequest request = picture.request();
    EXPECT_EQ(optimizer.convert(path.c_str(), request), 0);
    EXPECT_EQ(readFileBytes(path), original);
    EXPECT_EQ(countEntries(dir.path()), 1u);
}

