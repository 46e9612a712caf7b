// readAnimatedPng: the chunk walk collects the canvas, the frame controls and
// every frame's compressed data; each frame is then decoded as a still PNG
// built in memory and read by PngReader, so frames load exactly as still
// images of the same data would.

#include <cstring>
#include <new>
#include <vector>

#include <zlib.h>

#include "core/animation.h"
#include "core/animation_pixels.h"
#include "core/dib_image.h"
#include "core/png_bytes.h"
#include "core/png_reader.h"
#include "core/size_limits.h"

namespace {

constexpr uint32_t kIhdrBytes = 13;
constexpr uint32_t kActlBytes = 8;
constexpr uint32_t kFctlBytes = 26;
constexpr uint32_t kSequenceBytes = 4;      // the sequence number that opens fdAT
constexpr uint32_t kChunkFrameBytes = 12;   // length, type and CRC around a chunk's data
constexpr uint32_t kOutputPieceBytes = 0x10000;   // inflate output per step when checking frame data
constexpr uint32_t kMaxPngDimension = 0x7FFFFFFFu;  // the largest width or height a PNG may state

constexpr uint8_t kColourGrey = 0;
constexpr uint8_t kColourRgb = 2;
constexpr uint8_t kColourPalette = 3;
constexpr uint8_t kColourGreyAlpha = 4;
constexpr uint8_t kColourRgba = 6;

// A run of bytes of the file.
struct Slice {
    uint32_t offset;
    uint32_t length;
};

struct PendingFrame {
    AnimationFrame control;     // rectangle, delay and operations; no pixels yet
    std::vector<Slice> data;    // the compressed data in file order
};

// What the chunk walk found.
struct Layout {
    uint32_t width = 0;
    uint32_t height = 0;
    uint8_t depth = 0;
    uint8_t colourType = 0;
    uint8_t interlace = 0;
    bool haveActl = false;
    uint32_t frameCount = 0;   // acTL num_frames
    uint32_t plays = 0;
    Slice palette = {0, 0};
    bool havePalette = false;
    Slice transparency = {0, 0};
    bool haveTransparency = false;
    std::vector<Slice> defaultData;   // IDAT
    bool defaultIsFrame = false;      // an fcTL came before the first IDAT
    std::vector<PendingFrame> frames;
};

// Whether the bit depth is one the colour type allows.
bool validDepth(uint8_t colourType, uint8_t depth)
{
    switch (colourType) {
    case kColourGrey:
        return depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16;
    case kColourPalette:
        return depth == 1 || depth == 2 || depth == 4 || depth == 8;
    case kColourRgb:
    case kColourGreyAlpha:
    case kColourRgba:
        return depth == 8 || depth == 16;
    default:
        return false;
    }
}

uint32_t channelCount(uint8_t colourType)
{
    switch (colourType) {
    case kColourRgb:
        return 3;
    case kColourGreyAlpha:
        return 2;
    case kColourRgba:
        return 4;
    default:
        return 1;
    }
}

// Inflated bytes a frame of width x height needs (every pass's rows with
// their filter bytes); false when above the block limit.
bool storedBytes(uint32_t width, uint32_t height, uint32_t bitsPerPixel, bool interlaced, uint32_t& total)
{
    static const uint32_t kAdam7[7][4] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                                          {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};
    static const uint32_t kWhole[1][4] = {{0, 0, 1, 1}};
    const uint32_t (*passes)[4] = interlaced ? kAdam7 : kWhole;
    const int passCount = interlaced ? 7 : 1;
    total = 0;
    for (int i = 0; i < passCount; ++i) {
        const uint32_t* pass = passes[i];
        const uint32_t passWidth = width > pass[0] ? (width - pass[0] + pass[2] - 1) / pass[2] : 0;
        const uint32_t passHeight = height > pass[1] ? (height - pass[1] + pass[3] - 1) / pass[3] : 0;
        if (passWidth == 0 || passHeight == 0)
            continue;
        uint32_t bits = 0;
        uint32_t rowBytes = 0;
        uint32_t passBytes = 0;
        if (!checkedMul(passWidth, bitsPerPixel, bits, 0xFFFFFFFFu) ||
            !checkedAdd(bits / 8 + (bits % 8 ? 1 : 0), 1, rowBytes) ||
            !checkedMul(rowBytes, passHeight, passBytes) || !checkedAdd(total, passBytes, total))
            return false;
    }
    return true;
}

// True when the zlib stream in the slices inflates to at least `needed`
// bytes, the still reader otherwise taking missing bytes as zeros.
bool inflatesFully(const uint8_t* file, const std::vector<Slice>& data, uint32_t needed)
{
    z_stream stream;
    std::memset(&stream, 0, sizeof stream);
    if (inflateInit(&stream) != Z_OK)
        return false;
    std::vector<uint8_t> piece(kOutputPieceBytes);
    uint64_t produced = 0;
    bool ended = false;
    bool failed = false;
    for (const Slice& slice : data) {
        stream.next_in = const_cast<uint8_t*>(file + slice.offset);
        stream.avail_in = slice.length;
        while (stream.avail_in > 0 && !ended && !failed && produced < needed) {
            stream.next_out = piece.data();
            stream.avail_out = kOutputPieceBytes;
            const int result = inflate(&stream, Z_NO_FLUSH);
            produced += kOutputPieceBytes - stream.avail_out;
            if (result == Z_STREAM_END)
                ended = true;
            else if (result != Z_OK)
                failed = true;
        }
        if (ended || failed || produced >= needed)
            break;
    }
    // Output still held back by zlib after the input ran out.
    while (!ended && !failed && produced < needed) {
        stream.next_out = piece.data();
        stream.avail_out = kOutputPieceBytes;
        const int result = inflate(&stream, Z_NO_FLUSH);
        const uint32_t got = kOutputPieceBytes - stream.avail_out;
        produced += got;
        if (result == Z_STREAM_END)
            ended = true;
        else if (result != Z_OK || got == 0)
            failed = true;
    }
    inflateEnd(&stream);
    return !failed && produced >= needed;
}

void appendChunk(std::vector<uint8_t>& out, const char* type, const uint8_t* file, const std::vector<Slice>& data)
{
    uint32_t length = 0;
    for (const Slice& slice : data)
        length += slice.length;   // the caller bounds the sum
    const size_t start = out.size();
    out.resize(start + 8);
    putBE32(&out[start], length);
    std::memcpy(&out[start + 4], type, 4);
    for (const Slice& slice : data)
        out.insert(out.end(), file + slice.offset, file + slice.offset + slice.length);
    const uint32_t crc = uint32_t(crc32(crc32(0L, nullptr, 0), &out[start + 4], uInt(out.size() - start - 4)));
    out.resize(out.size() + 4);
    putBE32(&out[out.size() - 4], crc);
}

// Decodes one picture of width x height from its data slices into rgba
// (0xRRGGBBAA, top row first).
AnimationRead decodePicture(const uint8_t* file, const Layout& layout, uint32_t width, uint32_t height,
                            const std::vector<Slice>& data, std::vector<uint32_t>& rgba)
{
    uint32_t needed = 0;
    const uint32_t bitsPerPixel = channelCount(layout.colourType) * layout.depth;
    if (!storedBytes(width, height, bitsPerPixel, layout.interlace == 1, needed))
        return AnimationRead::Malformed;
    if (!inflatesFully(file, data, needed))
        return AnimationRead::Malformed;

    // Signature, IHDR, PLTE, tRNS, IDAT, IEND.
    uint32_t dataBytes = 0;
    for (const Slice& slice : data)
        if (!checkedAdd(dataBytes, slice.length, dataBytes))
            return AnimationRead::Malformed;
    const uint64_t total = uint64_t(dataBytes) + kPngSignatureBytes + 4 * kChunkFrameBytes + kIhdrBytes +
                           layout.palette.length + layout.transparency.length;
    if (total > kMaxBlockBytes)
        return AnimationRead::Malformed;
    std::vector<uint8_t> png;
    png.reserve(size_t(total));
    png.assign(kPngSignature, kPngSignature + kPngSignatureBytes);
    uint8_t header[kIhdrBytes] = {};
    putBE32(header, width);
    putBE32(header + 4, height);
    header[8] = layout.depth;
    header[9] = layout.colourType;
    header[12] = layout.interlace;
    appendChunk(png, "IHDR", header, {{0, kIhdrBytes}});
    if (layout.havePalette)
        appendChunk(png, "PLTE", file, {layout.palette});
    if (layout.haveTransparency)
        appendChunk(png, "tRNS", file, {layout.transparency});
    appendChunk(png, "IDAT", file, data);
    appendChunk(png, "IEND", file, {});

    PngReadOptions options;
    options.extendedInput = true;
    ByteBuffer wide;
    options.wideSamples = &wide;
    DibImage image;
    int32_t transparentColour = -1;
    if (!loadPngMemory(png.data(), uint32_t(png.size()), image, transparentColour, options))
        return AnimationRead::Malformed;
    if (wide.size > 0)
        return AnimationRead::Unsupported;
    if (uint32_t(image.width) != width || uint32_t(image.height) != height ||
        !assignPixels(rgba, width * height, 0))   // the product was bounded by the pixel limit
        return AnimationRead::Malformed;
    const bool keyed = !image.hasAlpha && transparentColour >= 0;
    uint32_t* out = rgba.data();
    for (uint32_t y = 0; y < height; ++y) {
        const uint8_t* row = image.rowAt(int32_t(y));
        for (uint32_t x = 0; x < width; ++x, row += 4) {
            const uint32_t rgb = uint32_t(row[2]) << 16 | uint32_t(row[1]) << 8 | row[0];
            const uint32_t alpha = keyed && int32_t(rgb) == transparentColour ? 0 : row[3];
            *out++ = rgb << 8 | alpha;
        }
    }
    return AnimationRead::Done;
}

// Reads an fcTL's data into frame; false when a value is out of range or the
// rectangle leaves the canvas.
bool readFrameControl(const uint8_t* data, const Layout& layout, AnimationFrame& frame)
{
    frame.width = readBE32(data + 4);
    frame.height = readBE32(data + 8);
    frame.x = readBE32(data + 12);
    frame.y = readBE32(data + 16);
    frame.delayNumerator = uint16_t(data[20] << 8 | data[21]);
    frame.delayDenominator = uint16_t(data[22] << 8 | data[23]);
    frame.dispose = data[24];
    frame.blend = data[25];
    return frame.width > 0 && frame.height > 0 && frame.dispose <= DISPOSE_PREVIOUS && frame.blend <= BLEND_OVER &&
           uint64_t(frame.x) + frame.width <= layout.width && uint64_t(frame.y) + frame.height <= layout.height;
}

// The chunk walk. NotAnimated when no acTL comes before the first IDAT.
AnimationRead walkChunks(const uint8_t* data, uint32_t size, Layout& layout)
{
    if (size < kPngSignatureBytes || std::memcmp(data, kPngSignature, kPngSignatureBytes) != 0)
        return AnimationRead::Malformed;
    uint32_t position = kPngSignatureBytes;
    uint32_t sequence = 0;     // the next sequence number due
    bool haveHeader = false;
    bool inDefault = false;    // the last chunk was IDAT
    bool defaultDone = false;  // IDAT chunks were met and something else followed
    PendingFrame* current = nullptr;
    bool currentTakesIdat = false;
    for (;;) {
        if (size - position < 8)
            break;   // the file ends: what was collected decides
        const uint32_t length = readBE32(data + position);
        const uint8_t* type = data + position + 4;
        if (length > kMaxPngChunkLength)
            break;   // ends the walk as the end of the file does
        if (size - position - 8 < length) {
            // A chunk cut short ends the walk too; a cut acTL still announced an animation.
            if (haveHeader && !inDefault && !defaultDone && std::memcmp(type, "acTL", 4) == 0)
                return AnimationRead::Malformed;
            break;
        }
        const uint32_t body = position + 8;
        const uint8_t* chunk = data + body;
        position = body + length;
        position = size - position < 4 ? size : position + 4;   // the CRC, when present
        const bool isIdat = std::memcmp(type, "IDAT", 4) == 0;

        if (!haveHeader) {
            if (std::memcmp(type, "IHDR", 4) != 0 || length != kIhdrBytes)
                return AnimationRead::Malformed;
            layout.width = readBE32(chunk);
            layout.height = readBE32(chunk + 4);
            layout.depth = chunk[8];
            layout.colourType = chunk[9];
            layout.interlace = chunk[12];
            if (layout.width == 0 || layout.height == 0 || layout.width > kMaxPngDimension ||
                layout.height > kMaxPngDimension || !validDepth(layout.colourType, layout.depth) || chunk[10] != 0 ||
                chunk[11] != 0 || layout.interlace > 1)
                return AnimationRead::Malformed;
            haveHeader = true;
            continue;
        }
        if (inDefault && !isIdat) {
            inDefault = false;
            defaultDone = true;
        }
        if (isIdat) {
            if (!layout.haveActl)
                return AnimationRead::NotAnimated;
            if (defaultDone)
                return AnimationRead::Malformed;   // IDAT chunks must follow one another
            inDefault = true;
            layout.defaultData.push_back({body, length});
            if (currentTakesIdat)
                current->data.push_back({body, length});
        } else if (std::memcmp(type, "acTL", 4) == 0) {
            if (inDefault || defaultDone)
                continue;   // after the image data it does not make an animation
            if (layout.haveActl || length != kActlBytes)
                return AnimationRead::Malformed;
            layout.haveActl = true;
            layout.frameCount = readBE32(chunk);
            layout.plays = readBE32(chunk + 4);
            if (layout.frameCount == 0)
                return AnimationRead::Malformed;
        } else if (std::memcmp(type, "fcTL", 4) == 0) {
            if (!layout.haveActl)
                continue;   // not an animation's chunk without acTL
            if (length != kFctlBytes || readBE32(chunk) != sequence++)
                return AnimationRead::Malformed;
            if (current && current->data.empty())
                return AnimationRead::Malformed;   // the previous frame has no data
            if (layout.frames.size() >= layout.frameCount)
                return AnimationRead::Malformed;   // more frames than acTL announced
            layout.frames.emplace_back();
            current = &layout.frames.back();
            if (!readFrameControl(chunk, layout, current->control))
                return AnimationRead::Malformed;
            currentTakesIdat = !inDefault && !defaultDone;
            if (currentTakesIdat) {
                // The default image is the first frame: it must fill the canvas.
                const AnimationFrame& frame = current->control;
                if (frame.x != 0 || frame.y != 0 || frame.width != layout.width || frame.height != layout.height)
                    return AnimationRead::Malformed;
                layout.defaultIsFrame = true;
            }
        } else if (std::memcmp(type, "fdAT", 4) == 0) {
            if (!layout.haveActl)
                continue;   // not an animation's chunk without acTL
            if (length < kSequenceBytes || readBE32(chunk) != sequence++ || !current || currentTakesIdat ||
                !(inDefault || defaultDone))
                return AnimationRead::Malformed;
            current->data.push_back({body + kSequenceBytes, length - kSequenceBytes});
        } else if (std::memcmp(type, "PLTE", 4) == 0) {
            // As the still reader takes them: the first PLTE, and the last
            // tRNS before the image data (for a palette, after PLTE).
            if (!inDefault && !defaultDone && !layout.havePalette) {
                layout.palette = {body, length};
                layout.havePalette = true;
            }
        } else if (std::memcmp(type, "tRNS", 4) == 0) {
            if (!inDefault && !defaultDone && (layout.colourType != kColourPalette || layout.havePalette)) {
                layout.transparency = {body, length};
                layout.haveTransparency = true;
            }
        } else if (std::memcmp(type, "IEND", 4) == 0) {
            break;
        }
    }
    if (!haveHeader)
        return AnimationRead::Malformed;
    if (!layout.haveActl)
        return AnimationRead::NotAnimated;
    if (layout.defaultData.empty() || layout.frames.size() != layout.frameCount)
        return AnimationRead::Malformed;
    for (const PendingFrame& frame : layout.frames)
        if (frame.data.empty())
            return AnimationRead::Malformed;
    return AnimationRead::Done;
}

AnimationRead readFrames(const uint8_t* data, uint32_t size, Animation8& animation)
{
    Layout layout;
    const AnimationRead walked = walkChunks(data, size, layout);
    if (walked != AnimationRead::Done)
        return walked;

    Animation8 result;
    result.width = layout.width;
    result.height = layout.height;
    result.plays = layout.plays;
    result.hiddenDefault = !layout.defaultIsFrame;
    uint64_t pixels = result.hiddenDefault ? uint64_t(layout.width) * layout.height : 0;
    for (const PendingFrame& frame : layout.frames)
        pixels += uint64_t(frame.control.width) * frame.control.height;
    if (pixels > kMaxAnimationPixels)
        return AnimationRead::Malformed;

    if (result.hiddenDefault) {
        const AnimationRead read =
            decodePicture(data, layout, layout.width, layout.height, layout.defaultData, result.defaultImage);
        if (read != AnimationRead::Done)
            return read;
    }
    result.frames.reserve(layout.frames.size());
    for (PendingFrame& pending : layout.frames) {
        result.frames.push_back(pending.control);
        AnimationFrame& frame = result.frames.back();
        const AnimationRead read = decodePicture(data, layout, frame.width, frame.height, pending.data, frame.rgba);
        if (read != AnimationRead::Done)
            return read;
    }
    animation = std::move(result);
    return AnimationRead::Done;
}

}  // namespace

AnimationRead readAnimatedPng(const uint8_t* data, uint32_t size, Animation8& animation)
{
    animation = Animation8();
    if (data == nullptr)
        return AnimationRead::Malformed;
    // Heap exhaustion (frame records, the still PNGs built) refuses the file.
    try {
        return readFrames(data, size, animation);
    } catch (const std::bad_alloc&) {
        animation = Animation8();
        return AnimationRead::Malformed;
    }
}
