#include "tests/desktop_e2e/e2e_expect.h"

#include <cstdarg>
#include <cstdio>
#include <fstream>
#include <iterator>

#include "core/image_loader.h"
#include "engine/png_optimizer.h"
#include "services/conversion.h"
#include "services/extended_report.h"
#include "tests/image/bmp_test_encoder.h"
#include "tests/readers/reader_test_support.h"

namespace {

// The filter names the program shows, by filter choice.
const char* const kFilterNames[] = {"NONE", "SUB", "UP", "AVERAGE", "PAETH", "総和最小"};

std::string formatted(const char* format, ...)
{
    char text[512];
    va_list arguments;
    va_start(arguments, format);
    vsnprintf(text, sizeof text, format, arguments);
    va_end(arguments);
    return text;
}

// Collects the log as the output dialog writes it.
void collectLog(int32_t depth, int32_t windowBits, int32_t memLevel, int32_t filter, int32_t size, void* user)
{
    std::string& log = *static_cast<std::string*>(user);
    if (depth >= 0)
        log += formatted("=== <%dBIT> ===\r\n", depth);
    else if (size >= 0)
        log += formatted("%d\r\n", size);
    else if (filter < 0 && windowBits < 0)
        log += ".";   // a step of the extended search
    else if (filter < 0)
        log += formatted("zw %d zm %d ... ", windowBits, memLevel);
    else
        log += formatted("filter %d ... ", filter);
}

// A small deterministic generator, so that every run sees the same pictures.
struct Random {
    uint32_t state;
    uint32_t next()
    {
        state = state * 1664525u + 1013904223u;
        return state >> 8;
    }
};

uint32_t clampByte(int value)
{
    return static_cast<uint32_t>(value < 0 ? 0 : value > 255 ? 255 : value);
}

}  // namespace

EngineRun runEngine(const DibImage& image, int32_t transparentColour, uint16_t optFlag, const std::string& outputPath,
                    const AppendBuffer* keptChunks, int32_t extendedLevel)
{
    EngineRun run;
    volatile int16_t cancel = 0;
    ConvertRequest request;
    fillConvertRequest(request, image, transparentColour, optFlag, keptChunks);
    request.extendedLevel = extendedLevel;
    request.callback = collectLog;
    request.userData = &run.log;
    request.cancelFlag = &cancel;
    OutputTarget target;
    target.outputPath = outputPath.empty() ? nullptr : outputPath.c_str();
    PngOptimizer optimizer;
    run.ok = convertToFile(optimizer, request, target) == OutputOutcome::Converted;
    if (!run.ok)
        return run;
    static_cast<ConversionResult&>(run) = conversionResultOf(request);
    // Without a default search (bit depth 0) the block has no line of its encoding.
    if (run.bitDepth == 0)
        run.log += formatted("\r\n結果\r\n[ FileSize : %u Byte ]", run.fileSize);
    else
        run.log += formatted("\r\n結果\r\n[ %dBIT %s zw %d zm %d ]\r\n[ FileSize : %u Byte ]", run.bitDepth,
                             kFilterNames[run.filter], run.windowBits, run.memLevel, run.fileSize);
    char extended[256];
    if (formatExtendedReport(request, extended, sizeof extended) > 0)
        run.log += std::string("\r\n") + extended;
    if (!outputPath.empty())
        run.file = readFileBytes(outputPath);
    return run;
}

std::string byteSizeText(uint32_t bytes)
{
    return formatted("%uByte (%.2fKB)", bytes, bytes / 1024.0);
}

std::string sizeChangeText(int32_t inputSize, uint32_t output)
{
    if (inputSize < 0)
        return "----";
    const int64_t change = static_cast<int64_t>(output) - inputSize;
    return formatted(change > 0 ? "+%dByte" : "%dByte", static_cast<int>(change));
}

std::string encodingText(const EngineRun& run)
{
    return formatted("%dBIT %s zw %d zm %d", run.bitDepth, kFilterNames[run.filter], run.windowBits, run.memLevel);
}

std::string imageSizeText(int32_t width, int32_t height)
{
    return formatted("%d x %d", width, height);
}

Picture patternPicture(int32_t width, int32_t height, uint32_t seed)
{
    const uint32_t colours[] = {0xFF2050A0u, 0xFFE0C040u, 0xFF10A030u, 0xFFFFFFFFu, 0xFF000000u, 0xFFC02020u};
    Picture picture{width, height, {}};
    picture.pixels.resize(static_cast<size_t>(width) * height);
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x)
            picture.pixels[static_cast<size_t>(y) * width + x] = colours[((x / 5) + (y / 3) * 2 + seed) % 6];
    return picture;
}

Picture busyPicture(int32_t width, int32_t height, uint32_t seed)
{
    Random random{seed};
    Picture picture{width, height, {}};
    picture.pixels.resize(static_cast<size_t>(width) * height);
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) {
            const int noise = static_cast<int>(random.next() % 9) - 4;
            const uint32_t r = clampByte(x * 255 / width + noise);
            const uint32_t g = clampByte(y * 255 / height - noise);
            const uint32_t b = clampByte((x + y) * 127 / (width + height) + 64 + noise * 2);
            picture.pixels[static_cast<size_t>(y) * width + x] = 0xFF000000u | (r << 16) | (g << 8) | b;
        }
    }
    return picture;
}

Picture alphaPicture(int32_t width, int32_t height, uint32_t seed)
{
    Random random{seed};
    Picture picture{width, height, {}};
    picture.pixels.resize(static_cast<size_t>(width) * height);
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x)
            picture.pixels[static_cast<size_t>(y) * width + x] =
                (clampByte(x * 255 / width) << 24) | (random.next() & 0x00FFFFFFu);
    return picture;
}

bool toDib(const Picture& picture, bool hasAlpha, DibImage& image)
{
    if (!image.create(picture.width, picture.height))
        return false;
    for (int32_t y = 0; y < picture.height; ++y)
        for (int32_t x = 0; x < picture.width; ++x)
            image.setPixelAt(x, y, picture.at(x, y));
    image.hasAlpha = hasAlpha ? 1 : 0;
    return true;
}

bool writeBmp24(const std::string& path, const Picture& picture)
{
    BmpPicture bmp;
    bmp.width = picture.width;
    bmp.height = picture.height;
    for (uint32_t word : picture.pixels)
        bmp.values.push_back(word & 0x00FFFFFFu);
    BmpFormat format;
    format.bitCount = 24;
    return writeFileBytes(path, encodeBmp(bmp, format));
}

bool writePlainPng(const std::string& path, const Picture& picture, int64_t transparentRgb)
{
    Bytes samples;
    for (uint32_t word : picture.pixels) {
        samples.push_back(static_cast<uint8_t>(word >> 16));
        samples.push_back(static_cast<uint8_t>(word >> 8));
        samples.push_back(static_cast<uint8_t>(word));
    }
    PngParts parts;
    parts.width = static_cast<uint32_t>(picture.width);
    parts.height = static_cast<uint32_t>(picture.height);
    parts.depth = 8;
    parts.colourType = 2;
    parts.filteredRows = rowsWithFilterZero(samples, parts.width * 3, parts.height);
    if (transparentRgb >= 0) {
        parts.hasTrns = true;
        for (int shift : {16, 8, 0})
            parts.trns.insert(parts.trns.end(), {0, static_cast<uint8_t>(transparentRgb >> shift)});
    }
    return writeFileBytes(path, buildPng(parts));
}

bool fileExists(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return in.good();
}

uint32_t fileSize(const std::string& path)
{
    return static_cast<uint32_t>(readFileBytes(path).size());
}

::testing::AssertionResult holdsPicture(const std::string& path, const Picture& picture)
{
    DibImage loaded;
    int32_t transparent = -1;
    if (!loadImageFile(loaded, path.c_str(), transparent))
        return ::testing::AssertionFailure() << path << " does not load";
    if (loaded.width != picture.width || loaded.height != picture.height)
        return ::testing::AssertionFailure() << path << " is " << loaded.width << " x " << loaded.height;
    for (int32_t y = 0; y < picture.height; ++y)
        for (int32_t x = 0; x < picture.width; ++x)
            if ((loaded.pixelAt(x, y) & 0x00FFFFFFu) != (picture.at(x, y) & 0x00FFFFFFu))
                return ::testing::AssertionFailure() << path << " differs at " << x << ", " << y;
    return ::testing::AssertionSuccess();
}

EngineRun runEngineOnPicture(const Picture& picture, bool hasAlpha)
{
    DibImage image;
    if (!toDib(picture, hasAlpha, image))
        return EngineRun();
    return runEngine(image, -1, kDefaultOptFlag);
}
