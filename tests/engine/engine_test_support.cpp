#include "tests/engine/engine_test_support.h"

#include <zlib.h>

#include <algorithm>
#include <random>

#include "core/shared_flag.h"

TestPicture::TestPicture(int32_t w, int32_t h)
    : width(w), height(h), bgra(static_cast<size_t>(w) * h * 4, 255)
{
}

void TestPicture::set(int32_t x, int32_t y, uint32_t rgb, uint8_t alpha)
{
    uint8_t* p = &bgra[(static_cast<size_t>(height - 1 - y) * width + x) * 4];
    p[0] = static_cast<uint8_t>(rgb);
    p[1] = static_cast<uint8_t>(rgb >> 8);
    p[2] = static_cast<uint8_t>(rgb >> 16);
    p[3] = alpha;
}

uint32_t TestPicture::rgbAt(int32_t x, int32_t y) const
{
    const uint8_t* p = &bgra[(static_cast<size_t>(height - 1 - y) * width + x) * 4];
    return (uint32_t(p[2]) << 16) | (uint32_t(p[1]) << 8) | p[0];
}

uint8_t TestPicture::alphaAt(int32_t x, int32_t y) const
{
    return bgra[(static_cast<size_t>(height - 1 - y) * width + x) * 4 + 3];
}

void TestPicture::fillCycling(const std::vector<uint32_t>& colours)
{
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x)
            set(x, y, colours[(static_cast<size_t>(y) * width + x) % colours.size()]);
}

void TestPicture::fillNoise(uint32_t seed, bool withAlpha)
{
    std::mt19937 random(seed);
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x)
            set(x, y, random() & 0xFFFFFF, withAlpha ? static_cast<uint8_t>(random()) : 255);
}

void TestPicture::fillGradient()
{
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x) {
            const uint32_t r = (x * 255 / (width > 1 ? width - 1 : 1)) & 0xFF;
            const uint32_t g = (y * 255 / (height > 1 ? height - 1 : 1)) & 0xFF;
            const uint32_t b = ((x + y) * 3) & 0xFF;
            set(x, y, (r << 16) | (g << 8) | b);
        }
}

ConvertRequest TestPicture::request(int32_t transparentColour, bool hasAlpha)
{
    ConvertRequest request;
    request.pixels = bgra.data();
    request.width = width;
    request.height = height;
    request.transparentColour = transparentColour;
    request.hasAlpha = hasAlpha ? 1 : 0;
    return request;
}

RgbaImage TestPicture::expectedDecoded(int32_t transparentColour, bool hasAlpha) const
{
    RgbaImage out;
    out.width = static_cast<uint32_t>(width);
    out.height = static_cast<uint32_t>(height);
    out.pixels.resize(static_cast<size_t>(width) * height * 4);
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x) {
            const uint32_t rgb = rgbAt(x, y);
            uint8_t* p = &out.pixels[(static_cast<size_t>(y) * width + x) * 4];
            p[0] = static_cast<uint8_t>(rgb >> 16);
            p[1] = static_cast<uint8_t>(rgb >> 8);
            p[2] = static_cast<uint8_t>(rgb);
            if (hasAlpha)
                p[3] = alphaAt(x, y);
            else
                p[3] = (transparentColour != -1 && rgb == static_cast<uint32_t>(transparentColour)) ? 0 : 255;
        }
    return out;
}

namespace {

void recordEvent(int32_t bitDepth, int32_t windowBits, int32_t memLevel, int32_t filter,
                 int32_t size, void* userData)
{
    auto* log = static_cast<EventLog*>(userData);
    log->events.push_back({bitDepth, windowBits, memLevel, filter, size});
    if (bitDepth >= 0 && log->cancelOnDepthStart && --log->cancelAtDepthEvent == 0)
        storeSharedFlag(log->cancelOnDepthStart, 1);
}

}   // namespace

void EventLog::attach(ConvertRequest& request, volatile int16_t* cancelFlag)
{
    request.callback = recordEvent;
    request.userData = this;
    request.cancelFlag = cancelFlag;
}

std::vector<int32_t> EventLog::depthStarts() const
{
    std::vector<int32_t> depths;
    for (const ProgressEvent& e : events)
        if (e.bitDepth >= 0)
            depths.push_back(e.bitDepth);
    return depths;
}

std::vector<ProgressEvent> EventLog::filterDone() const
{
    std::vector<ProgressEvent> out;
    for (const ProgressEvent& e : events)
        if (e.bitDepth < 0 && e.size >= 0 && e.filter >= 0)
            out.push_back(e);
    return out;
}

std::vector<ProgressEvent> EventLog::parameterDone() const
{
    std::vector<ProgressEvent> out;
    for (const ProgressEvent& e : events)
        if (e.bitDepth < 0 && e.size >= 0 && e.filter < 0)
            out.push_back(e);
    return out;
}

bool parsePngChunks(const std::vector<uint8_t>& file, std::vector<PngChunk>& chunks)
{
    static const uint8_t signature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    chunks.clear();
    if (file.size() < 8 || !std::equal(signature, signature + 8, file.begin()))
        return false;
    size_t at = 8;
    while (at < file.size()) {
        if (file.size() - at < 12)
            return false;
        const uint32_t length = (uint32_t(file[at]) << 24) | (uint32_t(file[at + 1]) << 16) |
                                (uint32_t(file[at + 2]) << 8) | file[at + 3];
        if (file.size() - at - 12 < length)
            return false;
        PngChunk chunk;
        chunk.declaredLength = length;
        chunk.type.assign(reinterpret_cast<const char*>(&file[at + 4]), 4);
        chunk.data.assign(file.begin() + at + 8, file.begin() + at + 8 + length);
        const size_t crcAt = at + 8 + length;
        const uint32_t stored = (uint32_t(file[crcAt]) << 24) | (uint32_t(file[crcAt + 1]) << 16) |
                                (uint32_t(file[crcAt + 2]) << 8) | file[crcAt + 3];
        const uint32_t computed = static_cast<uint32_t>(crc32(0, &file[at + 4], length + 4));
        chunk.crcMatches = stored == computed;
        chunks.push_back(std::move(chunk));
        at = crcAt + 4;
    }
    return true;
}

std::vector<std::string> chunkTypes(const std::vector<PngChunk>& chunks)
{
    std::vector<std::string> types;
    for (const PngChunk& c : chunks)
        types.push_back(c.type);
    return types;
}

const PngChunk* findChunk(const std::vector<PngChunk>& chunks, const std::string& type)
{
    for (const PngChunk& c : chunks)
        if (c.type == type)
            return &c;
    return nullptr;
}

::testing::AssertionResult sameRgba(const RgbaImage& expected, const RgbaImage& actual)
{
    if (expected.width != actual.width || expected.height != actual.height)
        return ::testing::AssertionFailure() << "size " << actual.width << "x" << actual.height
                                             << ", expected " << expected.width << "x"
                                             << expected.height;
    for (uint32_t y = 0; y < expected.height; ++y)
        for (uint32_t x = 0; x < expected.width; ++x)
            for (int c = 0; c < 4; ++c)
                if (expected.at(x, y)[c] != actual.at(x, y)[c])
                    return ::testing::AssertionFailure()
                           << "pixel (" << x << "," << y << ") channel " << c << " is "
                           << int(actual.at(x, y)[c]) << ", expected " << int(expected.at(x, y)[c]);
    return ::testing::AssertionSuccess();
}

uint32_t ScriptedOptimizer::measureScripted(void* self, const uint8_t* data, uint32_t size,
                                            int32_t windowBits, int32_t memLevel)
{
    auto& optimizer = *static_cast<ScriptedOptimizer*>(self);
    optimizer.calls.push_back({data, size, windowBits, memLevel});
    return optimizer.sizeFor_(optimizer.calls.back(), optimizer.calls.size() - 1);
}

void convertTo(const std::string& path, TestPicture& picture, int32_t transparent, bool hasAlpha,
               uint16_t options, WrittenFile& out, uint32_t sizeToBeat, int32_t extendedLevel)
{
    PngOptimizer optimizer;
    out.request = picture.request(transparent, hasAlpha);
    out.request.options = options;
    out.request.sizeToBeat = sizeToBeat;
    out.request.extendedLevel = extendedLevel;
    volatile int16_t cancel = 0;
    out.log.attach(out.request, &cancel);
    out.result = optimizer.convert(path.c_str(), out.request);
    out.request.cancelFlag = nullptr;
    out.request.userData = nullptr;
    out.bytes = readFileBytes(path);
    parsePngChunks(out.bytes, out.chunks);
}

TestPicture cyclingPicture(int32_t width, int32_t height, int colours, uint32_t salt)
{
    std::vector<uint32_t> list;
    for (int i = 0; i < colours; ++i)
        list.push_back((0x3A1F07u * static_cast<uint32_t>(i + 1) + salt) & 0xFFFFFF);
    TestPicture picture(width, height);
    picture.fillCycling(list);
    return picture;
}

namespace {

uint32_t bigEndian(const std::vector<uint8_t>& bytes, size_t at)
{
    return (uint32_t(bytes[at]) << 24) | (uint32_t(bytes[at + 1]) << 16) |
           (uint32_t(bytes[at + 2]) << 8) | bytes[at + 3];
}

}   // namespace

void expectSoundStructure(const WrittenFile& file, const TestPicture& picture)
{
    ASSERT_EQ(file.result, 1);
    EXPECT_EQ(file.request.notWritten, 0);
    ASSERT_EQ(file.bytes.size(), file.request.fileSize);
    ASSERT_FALSE(file.chunks.empty());
    for (const PngChunk& chunk : file.chunks)
        EXPECT_TRUE(chunk.crcMatches) << chunk.type;
    EXPECT_EQ(file.chunks.front().type, "IHDR");
    EXPECT_EQ(file.chunks.back().type, "IEND");
    const std::vector<uint8_t> iend = {0, 0, 0, 0, 'I', 'E', 'N', 'D', 0xAE, 0x42, 0x60, 0x82};
    EXPECT_TRUE(std::equal(iend.begin(), iend.end(), file.bytes.end() - 12));
    int idatCount = 0;
    for (const PngChunk& chunk : file.chunks)
        if (chunk.type == "IDAT") {
            ++idatCount;
            EXPECT_EQ(chunk.declaredLength, static_cast<uint32_t>(file.request.dataSize));
        }
    EXPECT_EQ(idatCount, 1);

    const std::vector<uint8_t>& ihdr = file.chunks.front().data;
    ASSERT_EQ(ihdr.size(), 13u);
    EXPECT_EQ(bigEndian(ihdr, 0), static_cast<uint32_t>(picture.width));
    EXPECT_EQ(bigEndian(ihdr, 4), static_cast<uint32_t>(picture.height));
    const int32_t depth = file.request.bitDepth;
    EXPECT_EQ(ihdr[8], depth > 8 ? 8 : depth);
    EXPECT_EQ(ihdr[9], depth == 32 ? 6 : depth == 24 ? 2 : 3);
    EXPECT_EQ(ihdr[10] | ihdr[11] | ihdr[12], 0);
}
