#include "tests/image/bmp_test_encoder.h"

#include <algorithm>
#include <cstdio>

#include "tests/common/image_file_builders.h"

namespace {

uint32_t fullPaletteSize(uint16_t bitCount)
{
    return bitCount <= 8 ? 1u << bitCount : 0;
}

uint32_t writtenPaletteSize(const BmpFormat& format)
{
    return format.colourUsed != 0 ? format.colourUsed : fullPaletteSize(format.bitCount);
}

// The stored row order: bottom-up unless top-down.
int32_t pictureRow(const BmpFormat& format, int32_t height, int32_t stored)
{
    return format.topDown ? stored : height - 1 - stored;
}

void encodeRow(const BmpPicture& picture, const BmpFormat& format, int32_t y, std::vector<uint8_t>& out)
{
    const size_t start = out.size();
    const uint32_t bits = format.bitCount;
    if (bits <= 8) {
        uint32_t accumulator = 0;
        uint32_t filled = 0;
        for (int32_t x = 0; x < picture.width; ++x) {
            accumulator = (accumulator << bits) | picture.value(x, y);
            filled += bits;
            if (filled == 8) {
                out.push_back(uint8_t(accumulator));
                accumulator = 0;
                filled = 0;
            }
        }
        if (filled != 0)
            out.push_back(uint8_t(accumulator << (8 - filled)));
    } else {
        for (int32_t x = 0; x < picture.width; ++x) {
            const uint32_t v = picture.value(x, y);
            if (bits == 16) {
                appendLE16(out, v);
            } else if (bits == 24) {
                out.push_back(uint8_t(v));
                out.push_back(uint8_t(v >> 8));
                out.push_back(uint8_t(v >> 16));
            } else {
                appendLE32(out, v);
            }
        }
    }
    while ((out.size() - start) % 4 != 0)
        out.push_back(0);
}

// Length of the encoded run starting at x: pixels equal to the first (RLE8),
// or alternating between the first two (RLE4), at most 255.
int32_t runLength(const BmpPicture& picture, int32_t x, int32_t y, bool nibbles)
{
    const uint32_t first = picture.value(x, y);
    const uint32_t second = nibbles && x + 1 < picture.width ? picture.value(x + 1, y) : first;
    int32_t n = 0;
    while (x + n < picture.width && n < 255 && picture.value(x + n, y) == ((n & 1) ? second : first))
        ++n;
    return n;
}

void encodeRleRow(const BmpPicture& picture, bool nibbles, int32_t y, std::vector<uint8_t>& out)
{
    int32_t x = 0;
    while (x < picture.width) {
        const int32_t run = runLength(picture, x, y, nibbles);
        if (run >= 3 || run == picture.width - x) {
            const uint32_t first = picture.value(x, y);
            const uint32_t second = nibbles && run > 1 ? picture.value(x + 1, y) : first;
            out.push_back(uint8_t(run));
            out.push_back(uint8_t(nibbles ? (first << 4 | second) : first));
            x += run;
            continue;
        }
        // Literal pixels up to the next run worth encoding.
        int32_t n = 0;
        while (x + n < picture.width && n < 255 && (n == 0 || runLength(picture, x + n, y, nibbles) < 3))
            ++n;
        if (n < 3) {
            for (int32_t i = 0; i < n; ++i) {
                const uint32_t v = picture.value(x + i, y);
                out.push_back(1);
                out.push_back(uint8_t(nibbles ? v << 4 : v));
            }
        } else {
            out.push_back(0);
            out.push_back(uint8_t(n));
            size_t bytes = 0;
            for (int32_t i = 0; i < n; ++i) {
                const uint32_t v = picture.value(x + i, y);
                if (!nibbles) {
                    out.push_back(uint8_t(v));
                    ++bytes;
                } else if ((i & 1) == 0) {
                    out.push_back(uint8_t(v << 4));
                    ++bytes;
                } else {
                    out.back() = uint8_t(out.back() | v);
                }
            }
            if (bytes % 2 != 0)
                out.push_back(0);
        }
        x += n;
    }
}

int countBits(uint32_t mask)
{
    int n = 0;
    for (; mask != 0; mask &= mask - 1)
        ++n;
    return n;
}

int lowestBit(uint32_t mask)
{
    int shift = 0;
    while (mask != 0 && (mask & 1) == 0) {
        mask >>= 1;
        ++shift;
    }
    return shift;
}

uint8_t channelValue(uint32_t word, uint32_t mask)
{
    if (mask == 0)
        return 0;
    return widenField((word & mask) >> lowestBit(mask), countBits(mask));
}

class Random {
public:
    explicit Random(uint32_t seed) : state_(seed * 2654435761u + 12345u) {}
    uint32_t next()
    {
        state_ = state_ * 1664525u + 1013904223u;
        return state_ ^ (state_ >> 16);
    }
    uint32_t below(uint32_t n) { return next() % n; }

private:
    uint32_t state_;
};

}  // namespace

std::string BmpFormat::name() const
{
    std::string text = "header" + std::to_string(headerSize) + "_bits" + std::to_string(bitCount);
    static const char* const kCompressions[] = {"rgb", "rle8", "rle4", "bitfields"};
    text += std::string("_") + (compression < 4 ? kCompressions[compression] : "other");
    if (compression == kBiBitFields) {
        char masksText[48];
        std::snprintf(masksText, sizeof masksText, "_%X_%X_%X", masks[0], masks[1], masks[2]);
        text += masksText;
    }
    if (topDown)
        text += "_topdown";
    if (colourUsed != 0)
        text += "_used" + std::to_string(colourUsed);
    if (gapBeforePixels != 0)
        text += "_gap";
    if (zeroOffBits)
        text += "_nooffset";
    return text;
}

std::vector<uint8_t> encodePixels(const BmpPicture& picture, const BmpFormat& format)
{
    std::vector<uint8_t> out;
    const bool rle = format.compression == kBiRle8 || format.compression == kBiRle4;
    for (int32_t stored = 0; stored < picture.height; ++stored) {
        const int32_t y = pictureRow(format, picture.height, stored);
        if (!rle) {
            encodeRow(picture, format, y, out);
            continue;
        }
        encodeRleRow(picture, format.compression == kBiRle4, y, out);
        out.push_back(0);
        out.push_back(stored + 1 == picture.height ? 1 : 0);   // end of bitmap or end of line
    }
    return out;
}

std::vector<uint8_t> buildBmp(int32_t width, int32_t height, const std::vector<uint32_t>& palette,
                              const BmpFormat& format, const std::vector<uint8_t>& pixelData)
{
    std::vector<uint8_t> header;
    const bool core = format.headerSize == 12;
    if (core) {
        appendLE32(header, 12);
        appendLE16(header, uint32_t(width));
        appendLE16(header, uint32_t(height));
        appendLE16(header, 1);
        appendLE16(header, format.bitCount);
    } else {
        appendLE32(header, format.headerSize);
        appendLE32(header, uint32_t(width));
        appendLE32(header, uint32_t(format.topDown ? -height : height));
        appendLE16(header, 1);
        appendLE16(header, format.bitCount);
        appendLE32(header, format.compression);
        appendLE32(header, uint32_t(pixelData.size()));
        appendLE32(header, 2835);
        appendLE32(header, 2835);
        appendLE32(header, format.colourUsed);
        appendLE32(header, 0);
        if (format.headerSize > 40) {
            for (int i = 0; i < 4 && header.size() < format.headerSize; ++i)
                appendLE32(header, format.masks[i]);
            if (format.headerSize >= 108)
                appendLE32(header, 0x73524742);   // 'sRGB'
            header.resize(format.headerSize, 0);
            if (format.headerSize == 124)
                header[108] = 4;   // rendering intent: pictures
        } else if (format.compression == kBiBitFields) {
            for (int i = 0; i < 3; ++i)
                appendLE32(header, format.masks[i]);
        }
    }
    std::vector<uint8_t> paletteBytes;
    for (uint32_t i = 0; i < writtenPaletteSize(format); ++i) {
        const uint32_t colour = i < palette.size() ? palette[i] : 0;
        paletteBytes.push_back(uint8_t(colour));
        paletteBytes.push_back(uint8_t(colour >> 8));
        paletteBytes.push_back(uint8_t(colour >> 16));
        if (!core)
            paletteBytes.push_back(0);
    }

    const uint32_t offBits = uint32_t(14 + header.size() + paletteBytes.size() + format.gapBeforePixels);
    std::vector<uint8_t> file = {'B', 'M'};
    appendLE32(file, uint32_t(offBits + pixelData.size()));
    appendLE32(file, 0);
    appendLE32(file, format.zeroOffBits ? 0 : offBits);
    file.insert(file.end(), header.begin(), header.end());
    file.insert(file.end(), paletteBytes.begin(), paletteBytes.end());
    file.insert(file.end(), format.gapBeforePixels, 0xEE);
    file.insert(file.end(), pixelData.begin(), pixelData.end());
    return file;
}

uint8_t widenField(uint32_t value, int bits)
{
    if (bits <= 0)
        return 0;
    if (bits > 8)
        return uint8_t(value >> (bits - 8));
    const uint32_t largest = (1u << bits) - 1;
    if (value >= largest)
        return 255;
    return uint8_t(256 * value / largest);
}

RgbaImage expectedPicture(const BmpPicture& picture, const BmpFormat& format)
{
    RgbaImage out;
    out.width = uint32_t(picture.width);
    out.height = uint32_t(picture.height);
    out.pixels.resize(size_t(out.width) * out.height * 4);
    uint32_t masks[3] = {format.masks[0], format.masks[1], format.masks[2]};
    if (format.compression != kBiBitFields) {
        const bool word16 = format.bitCount == 16;
        masks[0] = word16 ? 0x7C00 : 0xFF0000;
        masks[1] = word16 ? 0x03E0 : 0xFF00;
        masks[2] = word16 ? 0x001F : 0xFF;
    }
    const uint32_t entries = std::min(writtenPaletteSize(format), fullPaletteSize(format.bitCount));
    for (int32_t y = 0; y < picture.height; ++y) {
        for (int32_t x = 0; x < picture.width; ++x) {
            const uint32_t v = picture.value(x, y);
            uint8_t* p = &out.pixels[(size_t(y) * out.width + size_t(x)) * 4];
            uint32_t rgb = 0;
            if (format.bitCount <= 8)
                rgb = v < entries && v < picture.palette.size() ? picture.palette[v] : 0;
            else if (format.bitCount == 24)
                rgb = v;
            else
                rgb = uint32_t(channelValue(v, masks[0])) << 16 | uint32_t(channelValue(v, masks[1])) << 8 |
                      channelValue(v, masks[2]);
            p[0] = uint8_t(rgb >> 16);
            p[1] = uint8_t(rgb >> 8);
            p[2] = uint8_t(rgb);
            p[3] = 255;
        }
    }
    return out;
}

BmpPicture randomPicture(int32_t width, int32_t height, const BmpFormat& format, uint32_t seed)
{
    Random random(seed);
    BmpPicture picture;
    picture.width = width;
    picture.height = height;
    uint32_t limit = 0;
    if (format.bitCount <= 8) {
        limit = std::min(writtenPaletteSize(format), fullPaletteSize(format.bitCount));
        for (uint32_t i = 0; i < limit; ++i)
            picture.palette.push_back(random.next() & 0xFFFFFF);
    }
    auto fresh = [&]() -> uint32_t {
        switch (format.bitCount) {
        case 16:
            return random.next() & 0xFFFF;
        case 24:
            return random.next() & 0xFFFFFF;
        case 32:
            return random.next();
        default:
            return random.below(limit);
        }
    };
    // Segments of repeated, alternating and unrelated values, so that RLE
    // streams get encoded runs as well as absolute runs of both parities.
    for (int32_t y = 0; y < height; ++y) {
        int32_t x = 0;
        while (x < width) {
            const int32_t length = int32_t(1 + random.below(9));
            const uint32_t kind = random.below(3);
            const uint32_t a = fresh();
            const uint32_t b = fresh();
            for (int32_t i = 0; i < length && x < width; ++i, ++x)
                picture.values.push_back(kind == 0 ? a : kind == 1 ? ((i & 1) ? b : a) : fresh());
        }
    }
    return picture;
}

std::vector<BmpFormat> allBmpVariants()
{
    std::vector<BmpFormat> variants;
    auto add = [&](uint32_t headerSize, uint16_t bitCount, uint32_t compression) -> BmpFormat& {
        BmpFormat format;
        format.headerSize = headerSize;
        format.bitCount = bitCount;
        format.compression = compression;
        variants.push_back(format);
        return variants.back();
    };
    auto setMasks = [](BmpFormat& format, uint32_t r, uint32_t g, uint32_t b, uint32_t a) {
        format.masks[0] = r;
        format.masks[1] = g;
        format.masks[2] = b;
        format.masks[3] = a;
    };

    for (uint16_t bits : {1, 4, 8, 24})
        add(12, bits, kBiRgb);
    for (uint16_t bits : {1, 4, 8, 16, 24, 32})
        add(40, bits, kBiRgb);
    add(40, 4, kBiRgb).colourUsed = 5;
    add(40, 8, kBiRgb).colourUsed = 20;
    add(40, 1, kBiRgb).colourUsed = 1;
    add(40, 8, kBiRle8);
    add(40, 8, kBiRle8).colourUsed = 7;
    add(40, 4, kBiRle4);
    add(40, 4, kBiRle4).colourUsed = 3;
    setMasks(add(40, 16, kBiBitFields), 0xF800, 0x07E0, 0x001F, 0);
    setMasks(add(40, 16, kBiBitFields), 0x7C00, 0x03E0, 0x001F, 0);
    setMasks(add(40, 16, kBiBitFields), 0x0F00, 0x00F0, 0x000F, 0);
    setMasks(add(40, 16, kBiBitFields), 0x001F, 0x07E0, 0xF800, 0);
    setMasks(add(40, 32, kBiBitFields), 0x00FF0000, 0x0000FF00, 0x000000FF, 0);
    setMasks(add(40, 32, kBiBitFields), 0x000000FF, 0x0000FF00, 0x00FF0000, 0);
    setMasks(add(40, 32, kBiBitFields), 0xFF000000, 0x00FF0000, 0x0000FF00, 0);
    setMasks(add(40, 32, kBiBitFields), 0x3FF00000, 0x000FFC00, 0x000003FF, 0);
    add(40, 8, kBiRgb).topDown = true;
    add(40, 24, kBiRgb).topDown = true;
    setMasks(add(40, 16, kBiBitFields), 0xF800, 0x07E0, 0x001F, 0);
    variants.back().topDown = true;
    add(40, 8, kBiRgb).zeroOffBits = true;
    add(40, 24, kBiRgb).gapBeforePixels = 6;
    // A colour table the pixels do not use, before them.
    add(40, 24, kBiRgb).colourUsed = 3;
    BmpFormat& tableThenPixels = add(40, 32, kBiRgb);
    tableThenPixels.colourUsed = 2;
    tableThenPixels.zeroOffBits = true;
    add(40, 4, kBiRgb).gapBeforePixels = 3;
    setMasks(add(52, 16, kBiBitFields), 0xF800, 0x07E0, 0x001F, 0);
    setMasks(add(52, 32, kBiBitFields), 0x00FF0000, 0x0000FF00, 0x000000FF, 0);
    setMasks(add(56, 32, kBiBitFields), 0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000);
    add(56, 24, kBiRgb);
    add(108, 8, kBiRgb);
    add(108, 24, kBiRgb);
    setMasks(add(108, 16, kBiBitFields), 0xF800, 0x07E0, 0x001F, 0);
    setMasks(add(124, 32, kBiBitFields), 0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000);
    add(124, 24, kBiRgb);
    add(124, 1, kBiRgb);
    add(124, 8, kBiRle8);
    add(124, 4, kBiRle4);
    // Masks in a large header count only with BI_BITFIELDS.
    setMasks(add(124, 32, kBiRgb), 0x000000FF, 0x0000FF00, 0x00FF0000, 0xFF000000);
    setMasks(add(124, 16, kBiRgb), 0xF800, 0x07E0, 0x001F, 0);
    return variants;
}
