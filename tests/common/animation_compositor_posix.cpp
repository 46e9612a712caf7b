#include "tests/common/animation_compositor.h"

#include <gif_lib.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>

#include "tests/common/image_file_builders.h"
#include "tests/common/test_support.h"

namespace {

uint32_t readBE32(const uint8_t* p)
{
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

uint32_t readBE16(const uint8_t* p)
{
    return uint32_t(p[0]) << 8 | p[1];
}

struct Rect {
    uint32_t x = 0, y = 0, width = 0, height = 0;
};

// One frame of an animated PNG as its chunks give it.
struct PngFrame {
    Rect rect;
    uint32_t delayNum = 0, delayDen = 0;
    uint8_t dispose = 0, blend = 0;
    std::vector<uint8_t> data;   // the zlib stream of its image data
};

// What the chunk walk collects.
struct PngParts {
    std::vector<uint8_t> header;   // IHDR's 13 bytes
    std::vector<uint8_t> palette, transparency;
    bool animated = false;         // acTL before the image data
    uint32_t frameCount = 0, plays = 0;
    bool firstFrameIsDefault = false;
    std::vector<uint8_t> defaultData;
    std::vector<PngFrame> frames;
};

// The most canvas pixels a rendering holds over all its frames (1 GiB): a
// crafted size is refused instead of exhausting memory.
constexpr uint64_t kMaxRenderedPixels = uint64_t(1) << 28;

bool fits(uint32_t width, uint32_t height, size_t frames)
{
    return uint64_t(width) * height * (uint64_t(frames) + 1) <= kMaxRenderedPixels;
}

constexpr uint8_t kPngSignature[8] = {137, 'P', 'N', 'G', 13, 10, 26, 10};

// Walks every chunk with its CRC and the animation's ordering rules.
bool parsePng(const std::vector<uint8_t>& file, PngParts& parts)
{
    if (file.size() < 8 || std::memcmp(file.data(), kPngSignature, 8) != 0)
        return false;
    size_t position = 8;
    uint32_t sequence = 0;
    bool dataSeen = false, dataEnded = false, ended = false;
    PngFrame* current = nullptr;   // the frame whose fdAT may follow
    while (!ended) {
        if (file.size() - position < 12)
            return false;
        const uint8_t* chunk = file.data() + position;
        const uint32_t length = readBE32(chunk);
        if (length > 0x7FFFFFFFu || file.size() - position - 12 < length)
            return false;
        if (readBE32(chunk + 8 + length) != uint32_t(crc32(0, chunk + 4, uInt(length + 4))))
            return false;
        const std::string type(reinterpret_cast<const char*>(chunk + 4), 4);
        const uint8_t* data = chunk + 8;
        position += size_t(length) + 12;
        if (parts.header.empty() != (type == "IHDR"))
            return false;   // IHDR first and once
        if (dataSeen && type != "IDAT")
            dataEnded = true;
        if (type == "IHDR") {
            if (length != 13 || readBE32(data) == 0 || readBE32(data + 4) == 0 ||
                readBE32(data) > 0x7FFFFFFFu || readBE32(data + 4) > 0x7FFFFFFFu)
                return false;
            parts.header.assign(data, data + 13);
        } else if (type == "PLTE" || type == "tRNS") {
            if (dataSeen)
                return false;
            (type == "PLTE" ? parts.palette : parts.transparency).assign(data, data + length);
        } else if (type == "acTL") {
            if (dataSeen || parts.animated || length != 8 || readBE32(data) == 0)
                return false;
            parts.animated = true;
            parts.frameCount = readBE32(data);
            parts.plays = readBE32(data + 4);
        } else if (type == "fcTL" && parts.animated) {
            if (length != 26 || readBE32(data) != sequence++)
                return false;
            PngFrame frame;
            frame.rect = {readBE32(data + 12), readBE32(data + 16), readBE32(data + 4), readBE32(data + 8)};
            frame.delayNum = readBE16(data + 20);
            frame.delayDen = readBE16(data + 22);
            frame.dispose = data[24];
            frame.blend = data[25];
            const Rect& r = frame.rect;
            if (r.width == 0 || r.height == 0 || frame.dispose > 2 || frame.blend > 1 ||
                uint64_t(r.x) + r.width > readBE32(parts.header.data()) ||
                uint64_t(r.y) + r.height > readBE32(parts.header.data() + 4))
                return false;
            if (!dataSeen) {
                // Only the first frame comes before the image data, and it is the whole canvas.
                if (!parts.frames.empty() || r.x != 0 || r.y != 0 || r.width != readBE32(parts.header.data()) ||
                    r.height != readBE32(parts.header.data() + 4))
                    return false;
                parts.firstFrameIsDefault = true;
            } else if (current && current->data.empty()) {
                return false;   // the frame before holds no data
            }
            parts.frames.push_back(frame);
            current = dataSeen ? &parts.frames.back() : nullptr;
        } else if (type == "IDAT") {
            if (dataEnded)
                return false;   // IDAT chunks must be consecutive
            dataSeen = true;
            parts.defaultData.insert(parts.defaultData.end(), data, data + length);
        } else if (type == "fdAT" && parts.animated) {
            if (!current || length < 4 || readBE32(data) != sequence++)
                return false;
            current->data.insert(current->data.end(), data + 4, data + length);
        } else if (type == "IEND") {
            ended = true;
        } else if (!(type[0] & 0x20)) {
            return false;   // an unknown critical chunk
        }
    }
    if (!dataSeen || parts.defaultData.empty())
        return false;
    if (!parts.animated)
        return true;
    if (parts.frames.size() != parts.frameCount || (current && current->data.empty()))
        return false;
    if (parts.firstFrameIsDefault)
        parts.frames[0].data = parts.defaultData;
    return true;
}

std::vector<uint32_t> packPixels(const RgbaImage& image)
{
    std::vector<uint32_t> pixels(size_t(image.width) * image.height);
    for (size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = readBE32(&image.pixels[i * 4]);
    return pixels;
}

// One frame's image data decoded as a still PNG of the frame's size with the
// file's colour chunks.
bool decodeFrame(const PngParts& parts, uint32_t width, uint32_t height, const std::vector<uint8_t>& data,
                 std::vector<uint32_t>& pixels)
{
    std::vector<uint8_t> ihdr;
    appendBE32(ihdr, width);
    appendBE32(ihdr, height);
    ihdr.insert(ihdr.end(), parts.header.begin() + 8, parts.header.end());
    std::vector<uint8_t> still(kPngSignature, kPngSignature + 8);
    appendPngChunk(still, "IHDR", ihdr);
    if (!parts.palette.empty())
        appendPngChunk(still, "PLTE", parts.palette);
    if (!parts.transparency.empty())
        appendPngChunk(still, "tRNS", parts.transparency);
    appendPngChunk(still, "IDAT", data);
    appendPngChunk(still, "IEND", {});
    RgbaImage image;
    if (!decodePngBytesWithLibpng(still, image) || image.width != width || image.height != height)
        return false;
    pixels = packPixels(image);
    return true;
}

uint32_t alphaOf(uint32_t pixel)
{
    return pixel & 0xFF;
}

// Draws source (rect.width * rect.height pixels) into the canvas.
void drawRect(std::vector<uint32_t>& canvas, uint32_t canvasWidth, const Rect& rect,
              const std::vector<uint32_t>& source, bool over)
{
    for (uint32_t y = 0; y < rect.height; ++y)
        for (uint32_t x = 0; x < rect.width; ++x) {
            uint32_t& pixel = canvas[size_t(rect.y + y) * canvasWidth + rect.x + x];
            const uint32_t value = source[size_t(y) * rect.width + x];
            pixel = over ? composeOver(value, pixel) : value;
        }
}

void copyRect(const std::vector<uint32_t>& from, std::vector<uint32_t>& to, uint32_t canvasWidth, const Rect& rect)
{
    for (uint32_t y = rect.y; y < rect.y + rect.height; ++y) {
        const size_t start = size_t(y) * canvasWidth + rect.x;
        std::copy(from.begin() + start, from.begin() + start + rect.width, to.begin() + start);
    }
}

void clearRect(std::vector<uint32_t>& canvas, uint32_t canvasWidth, const Rect& rect)
{
    for (uint32_t y = rect.y; y < rect.y + rect.height; ++y)
        std::fill_n(canvas.begin() + size_t(y) * canvasWidth + rect.x, rect.width, 0u);
}

// Frame disposal as both formats share it: 0 keep, 1 clear, 2 restore.
void dispose(std::vector<uint32_t>& canvas, const std::vector<uint32_t>& before, uint32_t canvasWidth,
             const Rect& rect, int operation)
{
    if (operation == 1)
        clearRect(canvas, canvasWidth, rect);
    else if (operation == 2)
        copyRect(before, canvas, canvasWidth, rect);
}

struct GifSource {
    const std::vector<uint8_t>* bytes;
    size_t position;
};

int readGif(GifFileType* gif, GifByteType* out, int count)
{
    auto* source = static_cast<GifSource*>(gif->UserData);
    const size_t n = std::min(size_t(count), source->bytes->size() - source->position);
    std::memcpy(out, source->bytes->data() + source->position, n);
    source->position += n;
    return int(n);
}

// The loop count of a NETSCAPE2.0 or ANIMEXTS1.0 block among blocks, or -1.
int loopCount(const ExtensionBlock* blocks, int count)
{
    for (int i = 0; i + 1 < count; ++i) {
        const ExtensionBlock& block = blocks[i];
        const ExtensionBlock& next = blocks[i + 1];
        if (block.Function == APPLICATION_EXT_FUNC_CODE && block.ByteCount == 11 &&
            (std::memcmp(block.Bytes, "NETSCAPE2.0", 11) == 0 || std::memcmp(block.Bytes, "ANIMEXTS1.0", 11) == 0) &&
            next.Function == CONTINUE_EXT_FUNC_CODE && next.ByteCount >= 3 && next.Bytes[0] == 1)
            return next.Bytes[1] | next.Bytes[2] << 8;
    }
    return -1;
}

bool composeGif(GifFileType* gif, RenderedAnimation& out)
{
    if (gif->SWidth <= 0 || gif->SHeight <= 0 || gif->ImageCount <= 0 ||
        !fits(uint32_t(gif->SWidth), uint32_t(gif->SHeight), size_t(gif->ImageCount)))
        return false;
    out.width = uint32_t(gif->SWidth);
    out.height = uint32_t(gif->SHeight);
    int loops = loopCount(gif->ExtensionBlocks, gif->ExtensionBlockCount);
    for (int i = 0; i < gif->ImageCount && loops < 0; ++i)
        loops = loopCount(gif->SavedImages[i].ExtensionBlocks, gif->SavedImages[i].ExtensionBlockCount);
    out.plays = loops < 0 ? 1 : loops == 0 ? 0 : uint32_t(loops) + 1;
    std::vector<uint32_t> canvas(size_t(out.width) * out.height, 0), before;
    for (int i = 0; i < gif->ImageCount; ++i) {
        const SavedImage& image = gif->SavedImages[i];
        GraphicsControlBlock control;
        if (DGifSavedExtensionToGCB(gif, i, &control) == GIF_ERROR)
            return false;
        const ColorMapObject* map = image.ImageDesc.ColorMap ? image.ImageDesc.ColorMap : gif->SColorMap;
        const int entries = map ? map->ColorCount : 0;
        const GifImageDesc& desc = image.ImageDesc;
        if (desc.Left < 0 || desc.Top < 0 || desc.Width <= 0 || desc.Height <= 0 || !image.RasterBits)
            return false;
        before = canvas;
        const Rect clipped = {uint32_t(desc.Left), uint32_t(desc.Top),
                              uint32_t(std::max(0, std::min(desc.Width, gif->SWidth - desc.Left))),
                              uint32_t(std::max(0, std::min(desc.Height, gif->SHeight - desc.Top)))};
        for (uint32_t y = 0; y < clipped.height; ++y)
            for (uint32_t x = 0; x < clipped.width; ++x) {
                int index = image.RasterBits[size_t(y) * uint32_t(desc.Width) + x];
                if (index >= entries)
                    index = gif->SBackGroundColor;
                if (index == control.TransparentColor)
                    continue;
                uint32_t colour = 0;
                if (index < entries) {
                    const GifColorType& c = map->Colors[index];
                    colour = uint32_t(c.Red) << 24 | uint32_t(c.Green) << 16 | uint32_t(c.Blue) << 8;
                }
                canvas[size_t(clipped.y + y) * out.width + clipped.x + x] = colour | 0xFF;
            }
        out.frames.push_back({canvas, uint32_t(control.DelayTime), 100});
        const int disposal = control.DisposalMode == DISPOSE_BACKGROUND ? 1
                             : control.DisposalMode == DISPOSE_PREVIOUS ? 2
                                                                         : 0;
        dispose(canvas, before, out.width, clipped, disposal);
    }
    return true;
}

std::string describePixel(uint32_t pixel)
{
    char text[16];
    std::snprintf(text, sizeof text, "%08X", pixel);
    return text;
}

// The first pixel of a and b (same size) differing by more than tolerance, or
// "". Pixels of alpha 0 on both sides are equal whatever their colour.
std::string comparePixels(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b, uint32_t width,
                          int tolerance)
{
    for (size_t i = 0; i < a.size(); ++i)
        for (int shift = 0; shift < 32 && (alphaOf(a[i]) | alphaOf(b[i])) != 0; shift += 8) {
            const int difference = int(a[i] >> shift & 0xFF) - int(b[i] >> shift & 0xFF);
            if (std::abs(difference) > tolerance)
                return "pixel (" + std::to_string(i % width) + "," + std::to_string(i / width) +
                       ") " + describePixel(a[i]) + " != " + describePixel(b[i]);
        }
    return "";
}

}  // namespace

uint32_t composeOver(uint32_t source, uint32_t destination)
{
    const uint32_t sa = alphaOf(source), da = alphaOf(destination);
    if (sa == 0)
        return destination;
    if (sa == 255 || da == 0)
        return source;
    // Everything over the denominator 255 * 255: alpha255 = 255 * outAlpha.
    const uint32_t alpha255 = sa * 255 + da * (255 - sa);
    uint32_t result = (alpha255 + 127) / 255;
    for (int shift = 8; shift < 32; shift += 8) {
        const uint32_t sc = source >> shift & 0xFF, dc = destination >> shift & 0xFF;
        const uint32_t numerator = sc * sa * 255 + dc * da * (255 - sa);
        result |= ((numerator + alpha255 / 2) / alpha255) << shift;
    }
    return result;
}

bool renderPng(const std::vector<uint8_t>& file, RenderedAnimation& out)
{
    out = RenderedAnimation();
    PngParts parts;
    if (!parsePng(file, parts) || parts.header[8] == 16)
        return false;
    out.width = readBE32(parts.header.data());
    out.height = readBE32(parts.header.data() + 4);
    if (!fits(out.width, out.height, parts.frames.size()))
        return false;
    if (!parts.animated) {
        std::vector<uint32_t> pixels;
        if (!decodeFrame(parts, out.width, out.height, parts.defaultData, pixels))
            return false;
        out.frames.push_back({pixels, 0, 100});
        return true;
    }
    out.plays = parts.plays;
    if (!parts.firstFrameIsDefault) {
        out.hasHiddenDefault = true;
        if (!decodeFrame(parts, out.width, out.height, parts.defaultData, out.defaultImage))
            return false;
    }
    std::vector<uint32_t> canvas(size_t(out.width) * out.height, 0), before, pixels;
    for (size_t i = 0; i < parts.frames.size(); ++i) {
        const PngFrame& frame = parts.frames[i];
        if (!decodeFrame(parts, frame.rect.width, frame.rect.height, frame.data, pixels))
            return false;
        before = canvas;
        drawRect(canvas, out.width, frame.rect, pixels, frame.blend == 1);
        out.frames.push_back({canvas, frame.delayNum, frame.delayDen});
        dispose(canvas, before, out.width, frame.rect, i == 0 && frame.dispose == 2 ? 1 : frame.dispose);
    }
    return true;
}

bool renderGif(const std::vector<uint8_t>& file, RenderedAnimation& out)
{
    out = RenderedAnimation();
    GifSource source{&file, 0};
    int error = 0;
    GifFileType* gif = DGifOpen(&source, readGif, &error);
    if (!gif)
        return false;
    const bool ok = DGifSlurp(gif) == GIF_OK && composeGif(gif, out);
    DGifCloseFile(gif, &error);
    return ok;
}

bool renderAnimation(const std::vector<uint8_t>& file, RenderedAnimation& out)
{
    if (file.size() >= 3 && std::memcmp(file.data(), "GIF", 3) == 0)
        return renderGif(file, out);
    return renderPng(file, out);
}

std::string compareRenderedWithin(const RenderedAnimation& a, const RenderedAnimation& b, int tolerance)
{
    if (a.width != b.width || a.height != b.height)
        return "canvas " + std::to_string(a.width) + "x" + std::to_string(a.height) + " != " +
               std::to_string(b.width) + "x" + std::to_string(b.height);
    if (a.plays != b.plays)
        return "plays " + std::to_string(a.plays) + " != " + std::to_string(b.plays);
    if (a.frames.size() != b.frames.size())
        return "frames " + std::to_string(a.frames.size()) + " != " + std::to_string(b.frames.size());
    if (a.hasHiddenDefault != b.hasHiddenDefault)
        return std::string("hidden default image ") + (a.hasHiddenDefault ? "only in the first" : "only in the second");
    if (a.hasHiddenDefault) {
        const std::string difference = comparePixels(a.defaultImage, b.defaultImage, a.width, tolerance);
        if (!difference.empty())
            return "hidden default image: " + difference;
    }
    for (size_t i = 0; i < a.frames.size(); ++i) {
        const RenderedAnimation::Frame& fa = a.frames[i];
        const RenderedAnimation::Frame& fb = b.frames[i];
        const uint64_t denA = fa.delayDen ? fa.delayDen : 100, denB = fb.delayDen ? fb.delayDen : 100;
        if (uint64_t(fa.delayNum) * denB != uint64_t(fb.delayNum) * denA)
            return "frame " + std::to_string(i) + ": delay " + std::to_string(fa.delayNum) + "/" +
                   std::to_string(denA) + " != " + std::to_string(fb.delayNum) + "/" + std::to_string(denB);
        const std::string difference = comparePixels(fa.rgba, fb.rgba, a.width, tolerance);
        if (!difference.empty())
            return "frame " + std::to_string(i) + ": " + difference;
    }
    return "";
}

std::string compareRendered(const RenderedAnimation& a, const RenderedAnimation& b)
{
    return compareRenderedWithin(a, b, 0);
}
