// Checks of the image readers and of the whole conversion on arbitrary bytes.

#include <cstdio>
#include <cstring>
#include <set>
#include <vector>

#include <zlib.h>

#include "core/byte_buffer.h"
#include "core/dib_image.h"
#include "core/gif_reader.h"
#include "core/image_loader.h"
#include "core/png_bytes.h"
#include "core/png_reader.h"
#include "core/size_limits.h"
#include "engine/extended/zopfli_parts.h"
#include "fuzz/fuzz_checks.h"
#include "fuzz/lossless_check.h"
#include "fuzz/scratch_folder.h"
#include "services/conversion.h"
#include "services/extended_report.h"

namespace {

constexpr int32_t kUntouched = -2;   // a transparent colour no loader reports

// The largest picture the conversion check converts: the search compresses the
// whole image dozens of times, and small images reach every path as well.
constexpr int32_t kMaxConversionPixels = 4096;
// Every level then runs the default search first: the extended file is
// checked against its result.
static_assert(kMaxConversionPixels <= kSmallPictureDefaultSearchPixels, "levels 1 and 2 skip the default search");
constexpr int32_t kMaxGeneratedSide = 48;

std::string format(const char* pattern, long long a = 0, long long b = 0, long long c = 0)
{
    char text[200];
    std::snprintf(text, sizeof text, pattern, a, b, c);
    return text;
}

// ---- Loading ----

enum class AlphaRule {
    Any,        // PNG: an image with alpha keeps every alpha value
    ZeroOrFull, // GIF: transparent pixels of an image with alpha have alpha 0
    None,       // BMP: never alpha, never a transparent colour
};

// What every loader promises about its result.
std::string checkLoadResult(bool loaded, const DibImage& image, int32_t transparentColour, AlphaRule rule)
{
    if (!loaded) {
        if (!image.isEmpty())
            return "a refused file left an image behind";
        if (transparentColour != kUntouched)
            return format("a refused file reported transparent colour %lld", transparentColour);
        return std::string();
    }
    if (image.isEmpty() || image.width <= 0 || image.height <= 0)
        return format("an accepted file gave an image of %lldx%lld", image.width, image.height);
    if (transparentColour < -1 || transparentColour > 0xFFFFFF)
        return format("transparent colour %lld out of range", transparentColour);
    if (image.hasAlpha != 0 && image.hasAlpha != 1)
        return format("hasAlpha is %lld", image.hasAlpha);
    if (image.hasAlpha && transparentColour != -1)
        return "an image with alpha also reports a transparent colour";
    if (rule == AlphaRule::None && (image.hasAlpha || transparentColour != -1))
        return "a bitmap reports alpha or a transparent colour";
    // Reading every pixel also lets the sanitizers see any short allocation.
    for (int32_t y = 0; y < image.height; ++y) {
        const uint8_t* row = image.rowAt(y);
        for (int32_t x = 0; x < image.width; ++x) {
            const uint8_t alpha = row[x * 4 + 3];
            const bool allowed = image.hasAlpha ? (rule == AlphaRule::Any || alpha == 0 || alpha == 255)
                                                : alpha == 255;
            if (!allowed)
                return format("pixel (%lld,%lld) has alpha %lld", x, y, alpha);
        }
    }
    return std::string();
}

using FileLoader = bool (*)(DibImage& image, const char* path, int32_t& transparentColour);

bool loadPng(DibImage& image, const char* path, int32_t& transparentColour)
{
    return loadPngFile(path, image, transparentColour);
}

// The colour chunks of an extended load: complete chunks of the four types,
// each with its correct CRC, each type once, nothing else.
std::string checkColourChunks(const AppendBuffer& chunks)
{
    static const char* const kTypes[] = {"sRGB", "gAMA", "cHRM", "iCCP"};
    std::set<std::string> seen;
    uint32_t at = 0;
    while (at < chunks.used) {
        if (chunks.used - at < 12)
            return "a colour chunk is cut short";
        const uint8_t* chunk = chunks.data + at;
        const uint32_t length = (uint32_t(chunk[0]) << 24) | (uint32_t(chunk[1]) << 16) |
                                (uint32_t(chunk[2]) << 8) | chunk[3];
        if (length > chunks.used - at - 12)
            return "a colour chunk's length runs past the kept bytes";
        const std::string type(reinterpret_cast<const char*>(chunk + 4), 4);
        bool known = false;
        for (const char* allowed : kTypes)
            known = known || type == allowed;
        if (!known)
            return "a kept chunk is not a colour chunk: " + type;
        if (!seen.insert(type).second)
            return "the colour chunk " + type + " is kept twice";
        const uint8_t* crcBytes = chunk + 8 + length;
        const uint32_t stored = (uint32_t(crcBytes[0]) << 24) | (uint32_t(crcBytes[1]) << 16) |
                                (uint32_t(crcBytes[2]) << 8) | crcBytes[3];
        if (uint32_t(crc32(crc32(0L, nullptr, 0), chunk + 4, length + 4)) != stored)
            return "the colour chunk " + type + " is kept with a wrong CRC";
        at += 12 + length;
    }
    return std::string();
}

// The same file with its 16-bit samples taken: what the extended reader
// loads loads the same with nothing kept; what it refuses loads, if at all,
// as the picture of the kept samples' high bytes.
std::string checkWideSamplesLoad(const std::string& path, bool extendedLoaded, const DibImage& extended,
                                 int32_t extendedColour)
{
    DibImage image;
    int32_t transparentColour = kUntouched;
    ByteBuffer samples;
    PngReadOptions options;
    options.extendedInput = true;
    options.wideSamples = &samples;
    const bool loaded = loadPngFile(path.c_str(), image, transparentColour, options);
    const std::string problem = checkLoadResult(loaded, image, transparentColour, AlphaRule::Any);
    if (!problem.empty())
        return "with samples: " + problem;
    const size_t pixels = loaded ? size_t(image.width) * size_t(image.height) : 0;
    if (extendedLoaded) {
        if (!loaded || samples.size != 0 || image.width != extended.width || image.height != extended.height ||
            image.hasAlpha != extended.hasAlpha || transparentColour != extendedColour ||
            std::memcmp(image.bits, extended.bits, pixels * 4) != 0)
            return "taking the samples changes a file loaded without them";
        return std::string();
    }
    if (!loaded)
        return samples.size == 0 ? std::string() : "a refused file left samples behind";
    if (samples.size != pixels * 8)
        return format("%lld bytes of samples for %lld pixels", samples.size, (long long)pixels);
    for (size_t i = 0; i < pixels; ++i) {
        const uint8_t* sample = samples.data + i * 8;
        const uint32_t alpha = image.hasAlpha ? sample[6] : 255;
        const uint32_t word = alpha << 24 | uint32_t(sample[0]) << 16 | uint32_t(sample[2]) << 8 | sample[4];
        if (image.pixelAt(int32_t(i % size_t(image.width)), int32_t(i / size_t(image.width))) != word)
            return format("pixel %lld is not its samples' high bytes", (long long)i);
    }
    return std::string();
}

// The same file with extended input: the promises of every load, the default
// reader's result unchanged where it accepts the file, well-formed colour chunks.
std::string checkExtendedPngLoad(const std::string& path, bool plainLoaded, const DibImage& plain,
                                 int32_t plainColour)
{
    DibImage image;
    int32_t transparentColour = kUntouched;
    AppendBuffer chunks;
    PngReadOptions options;
    options.extendedInput = true;
    options.colourChunks = &chunks;
    const bool loaded = loadPngFile(path.c_str(), image, transparentColour, options);
    std::string problem = checkLoadResult(loaded, image, transparentColour, AlphaRule::Any);
    if (!problem.empty())
        return "extended input: " + problem;
    if (plainLoaded) {
        if (!loaded)
            return "extended input refuses a file the default reader loads";
        if (image.width != plain.width || image.height != plain.height || image.hasAlpha != plain.hasAlpha ||
            transparentColour != plainColour ||
            std::memcmp(image.bits, plain.bits, size_t(image.width) * size_t(image.height) * 4) != 0)
            return "extended input loads a default file differently";
    }
    if (loaded)
        problem = checkColourChunks(chunks);
    if (problem.empty())
        problem = checkWideSamplesLoad(path, loaded, image, transparentColour);
    return problem.empty() ? problem : "extended input: " + problem;
}

bool loadGif(DibImage& image, const char* path, int32_t& transparentColour)
{
    return loadGifFile(path, image, transparentColour);
}

// The memory entry gives what the file entry gives for the same bytes, with
// either kind of input: success, picture, alpha flag, transparent colour and
// colour chunks.
std::string checkMemoryLoad(const std::string& path, const uint8_t* data, size_t size)
{
    if (size > kMaxBlockBytes)
        return std::string();
    for (ImageInput input : {ImageInput::Default, ImageInput::Extended}) {
        DibImage fromFile, fromMemory;
        int32_t fileColour = kUntouched, memoryColour = kUntouched;
        AppendBuffer fileChunks, memoryChunks;
        const bool fileLoaded = loadImageFile(fromFile, path.c_str(), fileColour, input, &fileChunks);
        const bool memoryLoaded =
            loadImageMemory(fromMemory, data, uint32_t(size), memoryColour, input, &memoryChunks);
        const bool samePicture =
            fromFile.width == fromMemory.width && fromFile.height == fromMemory.height &&
            (!fileLoaded || std::memcmp(fromFile.bits, fromMemory.bits,
                                        size_t(fromFile.width) * size_t(fromFile.height) * 4) == 0);
        const bool sameChunks = fileChunks.used == memoryChunks.used &&
                                (fileChunks.used == 0 ||
                                 std::memcmp(fileChunks.data, memoryChunks.data, fileChunks.used) == 0);
        if (fileLoaded != memoryLoaded || !samePicture || fileColour != memoryColour ||
            fromFile.hasAlpha != fromMemory.hasAlpha || !sameChunks)
            return std::string("loadImageMemory differs from loadImageFile") +
                   (input == ImageInput::Extended ? " with extended input" : "");
    }
    return std::string();
}

std::string checkLoad(const uint8_t* data, size_t size, FileLoader loader, AlphaRule rule)
{
    const std::string path = scratchPath("source");
    if (!writeScratchFile(path, data, size))
        return "cannot write the scratch file " + path;
    DibImage image;
    int32_t transparentColour = kUntouched;
    const bool loaded = loader(image, path.c_str(), transparentColour);
    const std::string problem = checkLoadResult(loaded, image, transparentColour, rule);
    return problem.empty() ? checkMemoryLoad(path, data, size) : problem;
}

// ---- Conversion ----

// Reads the fuzz input front to back; past its end every byte is 0.
struct ByteSource {
    const uint8_t* data;
    size_t size;
    size_t position = 0;

    uint8_t next() { return position < size ? data[position++] : 0; }
    bool exhausted() const { return position >= size; }
};

// A deterministic filler for pixels the input does not reach.
uint32_t mix(uint32_t a, uint32_t b)
{
    uint32_t h = a * 0x9E3779B1u ^ (b + 0x7F4A7C15u);
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    h ^= h >> 12;
    return h;
}

// The image a conversion input describes. Layout of the input:
//   byte 0: bit 0 set: the rest is an image file, loaded as the console loads
//           it (skipped when it is refused or larger than kMaxConversionPixels);
//           bits 1-3: ConvertOptions; bit 4: a small size to beat (next byte);
//           bit 5: a transparent colour; bit 6: hasAlpha (generated images);
//           bit 7: OPT_EXTENDED_SEARCH as well, at level 1 + (input size % 2).
//   generated images: width, height (1 to 48), colour-count class, palette
//   seed, transparent colour pick, then one palette index per pixel (or four
//   bytes blue, green, red, alpha per pixel for the "direct" class).
// The alpha bytes of an image without hasAlpha vary on purpose: the
// optimizer must ignore them.
struct ConversionImage {
    DibImage image;
    int32_t transparentColour = -1;
    uint16_t options = 0;
    int32_t extendedLevel = 0;
    uint32_t sizeToBeat = 0xFFFFFFFFu;
};

const int32_t kColourCounts[] = {1, 2, 3, 4, 5, 16, 17, 256, 257, 0 /* direct */};

bool generateImage(ByteSource& in, uint8_t flags, ConversionImage& out)
{
    const int32_t width = 1 + in.next() % kMaxGeneratedSide;
    const int32_t height = 1 + in.next() % kMaxGeneratedSide;
    const int32_t count = kColourCounts[in.next() % (sizeof kColourCounts / sizeof kColourCounts[0])];
    const uint8_t seed = in.next();
    const uint8_t pick = in.next();
    if (!out.image.create(width, height))
        return false;
    out.image.hasAlpha = (flags & 0x40) ? 1 : 0;

    // Distinct colours (the entry number sits in the high bits) with varied alpha.
    std::vector<uint32_t> palette(size_t(count > 0 ? count : 1));
    for (int32_t i = 0; i < count; ++i) {
        const uint32_t h = mix(seed, uint32_t(i));
        palette[size_t(i)] = (h & 0xFF000000u) | (uint32_t(i) << 15) | (h & 0x7FFFu);
    }
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) {
            const uint32_t filler = mix(uint32_t(x), uint32_t(y) * 977u + seed);
            uint32_t word;
            if (count == 0) {
                word = 0;
                for (int b = 0; b < 4; ++b)
                    word |= uint32_t(in.exhausted() ? uint8_t(filler >> (8 * b)) : in.next()) << (8 * b);
            } else {
                const uint32_t index = in.exhausted() ? filler : in.next();
                word = palette[index % uint32_t(count)];
            }
            out.image.setPixelAt(x, y, word);
        }
    }
    if (flags & 0x20) {
        if (count > 0 && pick < count)
            out.transparentColour = int32_t(palette[pick] & 0xFFFFFF);
        else if (count == 0 && pick < width * height)
            out.transparentColour = int32_t(out.image.pixelAt(pick % width, pick / width) & 0xFFFFFF);
        else
            out.transparentColour = int32_t(mix(pick, 99) & 0xFFFFFF);   // most likely absent
    }
    return true;
}

struct ProgressEvent {
    int32_t bitDepth, windowBits, memLevel, filter, size;
};

void recordEvent(int32_t bitDepth, int32_t windowBits, int32_t memLevel, int32_t filter, int32_t size,
                 void* userData)
{
    static_cast<std::vector<ProgressEvent>*>(userData)->push_back({bitDepth, windowBits, memLevel, filter, size});
}

bool isExtendedStep(const ProgressEvent& e)
{
    return e.bitDepth == -1 && e.windowBits == -1 && e.memLevel == -1 && e.filter == -1 && e.size == -1;
}

std::string checkDefaultEvents(const std::vector<ProgressEvent>& events, uint16_t options);

// The event stream of a successful conversion: the default search's events,
// then with OPT_EXTENDED_SEARCH one or more extended steps and nothing else.
std::string checkEvents(std::vector<ProgressEvent> events, uint16_t options)
{
    if (options & OPT_EXTENDED_SEARCH) {
        size_t steps = 0;
        while (!events.empty() && isExtendedStep(events.back())) {
            events.pop_back();
            ++steps;
        }
        if (steps == 0)
            return "no extended step events";
    }
    return checkDefaultEvents(events, options);
}

std::string checkDefaultEvents(const std::vector<ProgressEvent>& events, uint16_t options)
{
    if (events.empty() || events[0].bitDepth < 0)
        return "the first event is not a bit-depth start";
    for (size_t i = 0; i < events.size(); ++i) {
        const ProgressEvent& e = events[i];
        if (e.bitDepth >= 0) {
            if (e.bitDepth != 1 && e.bitDepth != 2 && e.bitDepth != 4 && e.bitDepth != 8 && e.bitDepth != 24 &&
                e.bitDepth != 32)
                return format("bit-depth event %lld", e.bitDepth);
            continue;
        }
        if (e.size >= 0)
            return format("done event %lld without its start", i);
        const bool filterTrial = e.filter >= 0;
        if (filterTrial && (options & OPT_NO_FILTER_COMPARE))
            return "a filter trial although filters are not compared";
        if (!filterTrial && (options & OPT_NO_DEFLATE_COMPARE))
            return "a parameter trial although deflate parameters are not compared";
        if (filterTrial ? e.filter > 5
                        : (e.windowBits < 8 || e.windowBits > 15 || e.memLevel < 4 || e.memLevel > 9))
            return format("trial event %lld with arguments out of range", i);
        if (i + 1 == events.size())
            return "the last trial has no done event";
        const ProgressEvent& done = events[i + 1];
        if (done.bitDepth != -1 || done.windowBits != e.windowBits || done.memLevel != e.memLevel ||
            done.filter != e.filter || done.size <= 0)
            return format("trial event %lld is not followed by its done event", i);
        ++i;
    }
    return std::string();
}

// The layout of the written file against the request's result fields.
std::string checkFileLayout(const std::vector<uint8_t>& file, const ConvertRequest& request)
{
    if (file.size() != request.fileSize)
        return format("file of %lld bytes, predicted %lld", (long long)file.size(), request.fileSize);
    size_t position = 8;
    int idatChunks = 0;
    while (position + 12 <= file.size()) {
        const uint32_t length = readBE32(&file[position]);
        if (std::memcmp(&file[position + 4], "IHDR", 4) == 0 && length == 13) {
            const uint8_t* header = &file[position + 8];
            const int depth = header[8];
            const int colourType = header[9];
            bool expected = request.bitDepth == 32   ? depth == 8 && colourType == 6
                            : request.bitDepth == 24 ? depth == 8 && colourType == 2
                                                     : depth == request.bitDepth && colourType == 3;
            if (request.extendedLayout != LAYOUT_DEFAULT) {
                static const int kColourTypes[kExtendedLayoutCount] = {-1, 3, 0, 0, 4, 2, 2, 6};
                expected = depth == request.extendedDepth &&
                           colourType == kColourTypes[request.extendedLayout];
            }
            if (!expected)
                return format("IHDR depth %lld colour type %lld for %lld BIT", depth, colourType, request.bitDepth);
        }
        if (std::memcmp(&file[position + 4], "IDAT", 4) == 0) {
            ++idatChunks;
            if (int64_t(length) != request.dataSize)
                return format("IDAT of %lld bytes, reported %lld", length, request.dataSize);
        }
        position += size_t(length) + 12;
    }
    if (position != file.size() || idatChunks != 1)
        return format("chunk walk ends at %lld of %lld with %lld IDAT chunks", (long long)position,
                      (long long)file.size(), idatChunks);
    return std::string();
}

// The bit depths the colour analysis allows for the image.
std::string checkBitDepth(const ConversionImage& in, const ConvertRequest& request)
{
    if (in.image.hasAlpha)
        return request.bitDepth == 32 ? std::string() : format("%lld BIT for an image with alpha", request.bitDepth);
    std::set<uint32_t> colours;
    for (int32_t y = 0; y < in.image.height && colours.size() <= 256; ++y)
        for (int32_t x = 0; x < in.image.width; ++x)
            colours.insert(in.image.pixelAt(x, y) & 0xFFFFFF);
    const size_t n = colours.size();
    const int32_t natural = n > 256 ? 24 : n > 16 ? 8 : n > 4 ? 4 : n > 2 ? 2 : 1;
    const bool eightAllowed = natural <= 4 && !(in.options & OPT_NO_8BIT_COMPARE);
    if (request.bitDepth == natural || (eightAllowed && request.bitDepth == 8))
        return std::string();
    return format("%lld BIT for %lld colours", request.bitDepth, (long long)n);
}

// The extended search's out fields, and its file never larger than the
// default search's (measured again without the bit, nothing written).
std::string checkExtendedResult(const ConversionImage& in, const ConvertRequest& request)
{
    if (request.extendedLayout < 0 || request.extendedLayout >= kExtendedLayoutCount ||
        request.filterStrategy < 0 || request.filterStrategy >= kFilterStrategyCount ||
        request.encoder < 0 || request.encoder >= kDeflateEncoderCount ||
        request.paletteOrder < 0 || request.paletteOrder >= kPaletteOrderCount)
        return "extended result fields out of range";
    if (request.extendedLayout == LAYOUT_DEFAULT &&
        (request.paletteOrder != 0 || request.filterStrategy != 0 || request.encoder != 0))
        return "the default search's file kept with extended choices reported";
    if ((request.paletteOrder != ORDER_NONE) != (request.extendedLayout == LAYOUT_PALETTE))
        return "a palette order without a palette, or a palette without one";
    const bool zopfli = request.encoder == ENCODER_ZOPFLI;
    if (zopfli != (request.encoderIterations > 0) || zopfli != (request.encoderParts > 0) ||
        request.encoderParts > int32_t(kMaxZopfliParts))
        return "zopfli's iterations and parts reported without zopfli, or zopfli without them";
    char line[256];
    if (formatExtendedReport(request, line, sizeof line) <= 0)
        return "no extended report line";
    ConvertRequest plain;
    plain.pixels = in.image.bits;
    plain.width = in.image.width;
    plain.height = in.image.height;
    plain.hasAlpha = in.image.hasAlpha;
    plain.transparentColour = in.transparentColour;
    plain.options = static_cast<uint16_t>(in.options & ~OPT_EXTENDED_SEARCH);
    PngOptimizer optimizer;
    if (optimizer.convert(nullptr, plain) != 1)
        return "the default conversion failed";
    if (request.fileSize > plain.fileSize ||
        (request.extendedLayout != LAYOUT_DEFAULT && request.fileSize >= plain.fileSize))
        return format("extended file of %lld bytes against the default's %lld", request.fileSize,
                      plain.fileSize);
    return std::string();
}

const char kOldContent[] = "previous file\n";

// One conversion of in into output, which holds kOldContent beforehand (a
// written result must replace it, an unwritten one must leave it alone).
// Empty when it succeeded, else what went wrong.
std::string convertInto(PngOptimizer& optimizer, ConversionImage& in, const std::string& output,
                        ConvertRequest& request, std::vector<ProgressEvent>& events)
{
    if (!writeScratchFile(output, reinterpret_cast<const uint8_t*>(kOldContent), sizeof kOldContent - 1))
        return "cannot write the scratch file " + output;
    volatile int16_t cancelFlag = 1;   // convert clears it when it starts
    request = ConvertRequest();
    fillConvertRequest(request, in.image, in.transparentColour, in.options);
    request.callback = recordEvent;
    request.userData = &events;
    request.cancelFlag = &cancelFlag;
    request.sizeToBeat = in.sizeToBeat;
    request.extendedLevel = in.extendedLevel;
    const int result = optimizer.convert(output.c_str(), request);
    request.cancelFlag = nullptr;
    return result == 1 ? std::string() : "the conversion failed";
}

// The plain search (every trial a full compression, no size taken as known)
// must give the same events, results and file as the optimizer's own.
std::string checkPlainSearchAgrees(ConversionImage& in, const ConvertRequest& request,
                                   const std::vector<ProgressEvent>& events,
                                   const std::vector<uint8_t>& file)
{
    const std::string plainOutput = scratchPath("plain.png");
    PngOptimizer plain;
    plain.setTrialMeasure(zlibTrialMeasure, nullptr);
    ConvertRequest plainRequest;
    std::vector<ProgressEvent> plainEvents;
    std::string problem = convertInto(plain, in, plainOutput, plainRequest, plainEvents);
    const std::vector<uint8_t> plainFile = readFileBytes(plainOutput);
    std::remove(plainOutput.c_str());
    if (!problem.empty())
        return "plain search: " + problem;
    for (size_t i = 0; i < events.size() || i < plainEvents.size(); ++i) {
        if (i >= events.size() || i >= plainEvents.size())
            return format("%lld events, the plain search has %lld", (long long)events.size(),
                          (long long)plainEvents.size());
        const ProgressEvent& a = events[i];
        const ProgressEvent& b = plainEvents[i];
        if (a.bitDepth != b.bitDepth || a.windowBits != b.windowBits || a.memLevel != b.memLevel ||
            a.filter != b.filter || a.size != b.size)
            return format("event %lld: size %lld, the plain search has %lld", (long long)i, a.size, b.size);
    }
    if (request.windowBits != plainRequest.windowBits || request.memLevel != plainRequest.memLevel ||
        request.filter != plainRequest.filter || request.dataSize != plainRequest.dataSize ||
        request.bitDepth != plainRequest.bitDepth || request.fileSize != plainRequest.fileSize ||
        request.notWritten != plainRequest.notWritten)
        return "the results differ from the plain search's";
    return file == plainFile ? std::string() : "the file differs from the plain search's";
}

std::string convertAndCheck(ConversionImage& in)
{
    const std::string output = scratchPath("output.png");
    std::vector<ProgressEvent> events;
    ConvertRequest request;
    PngOptimizer optimizer;
    const std::string failure = convertInto(optimizer, in, output, request, events);
    if (!failure.empty())
        return failure;
    const std::string leftovers = unexpectedScratchEntries("source", "output.png");
    if (!leftovers.empty())
        return "files left in the output folder: " + leftovers;
    std::string problem = checkEvents(events, in.options);
    if (problem.empty())
        problem = checkBitDepth(in, request);
    if (!problem.empty())
        return problem;
    if (request.windowBits < 8 || request.windowBits > 15 || request.memLevel < 4 || request.memLevel > 9 ||
        request.filter < 0 || request.filter > 5)
        return format("result zw %lld zm %lld filter %lld", request.windowBits, request.memLevel, request.filter);
    if ((in.options & OPT_NO_DEFLATE_COMPARE) && (request.windowBits != 15 || request.memLevel != 8))
        return "deflate parameters changed although they are not compared";
    if ((in.options & OPT_NO_FILTER_COMPARE) && request.filter != FILTER_NONE)
        return "a filter was chosen although filters are not compared";

    if (in.options & OPT_EXTENDED_SEARCH) {
        problem = checkExtendedResult(in, request);
        if (!problem.empty())
            return problem;
    }
    const std::vector<uint8_t> file = readFileBytes(output);
    problem = checkPlainSearchAgrees(in, request, events, file);
    if (!problem.empty())
        return problem;
    const bool shouldWrite = request.fileSize < request.sizeToBeat;
    if (request.notWritten != (shouldWrite ? 0 : 1))
        return format("notWritten %lld for file size %lld against %lld", request.notWritten, request.fileSize,
                      request.sizeToBeat);
    if (!shouldWrite) {
        if (file != std::vector<uint8_t>(kOldContent, kOldContent + sizeof kOldContent - 1))
            return "an unwritten result changed the existing file";
        return std::string();
    }
    problem = checkFileLayout(file, request);
    if (!problem.empty())
        return problem;
    return checkLosslessFile(output, in.image.bits, in.image.width, in.image.height, in.image.hasAlpha != 0,
                             in.transparentColour);
}

}  // namespace

std::string checkPngLoad(const uint8_t* data, size_t size)
{
    const std::string problem = checkLoad(data, size, loadPng, AlphaRule::Any);
    if (!problem.empty())
        return problem;
    // The scratch file checkLoad wrote, through both readers.
    const std::string path = scratchPath("source");
    DibImage plain;
    int32_t plainColour = kUntouched;
    const bool plainLoaded = loadPng(plain, path.c_str(), plainColour);
    return checkExtendedPngLoad(path, plainLoaded, plain, plainColour);
}

std::string checkGifLoad(const uint8_t* data, size_t size)
{
    return checkLoad(data, size, loadGif, AlphaRule::ZeroOrFull);
}

std::string checkBmpLoad(const uint8_t* data, size_t size)
{
    return checkLoad(data, size, loadBmpFile, AlphaRule::None);
}

std::string checkConversion(const uint8_t* data, size_t size)
{
    ByteSource in{data, size};
    const uint8_t flags = in.next();
    ConversionImage image;
    image.options = uint16_t((flags >> 1) & 7);
    if (flags & 0x80) {
        image.options |= OPT_EXTENDED_SEARCH;
        // Levels 1 and 2: level 3 runs level 2's stages with more pairs and
        // iterations, a minute a unit under the sanitizers (the levels and
        // extended search tests run it).
        image.extendedLevel = static_cast<int32_t>(kMinExtendedLevel + size % 2);
    }
    if (flags & 0x10)
        image.sizeToBeat = 40u + 8u * in.next();
    if (flags & 1) {
        const size_t rest = size - in.position;
        if (rest > kMaxBlockBytes ||
            !loadImageMemory(image.image, data + in.position, uint32_t(rest), image.transparentColour))
            return std::string();   // the loader checks cover refusals
        if (int64_t(image.image.width) * image.image.height > kMaxConversionPixels)
            return std::string();
    } else if (!generateImage(in, flags, image)) {
        return "cannot create a small image";
    }
    return convertAndCheck(image);
}
