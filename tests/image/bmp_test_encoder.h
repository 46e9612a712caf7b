#pragma once
// A small BMP writer for the tests: every header size, bit count and
// compression the decoder accepts, plus the expected 32-bit picture of what it
// wrote, worked out independently of the decoder.

#include <cstdint>
#include <string>
#include <vector>

#include "tests/common/test_support.h"

constexpr uint32_t kBiRgb = 0;
constexpr uint32_t kBiRle8 = 1;
constexpr uint32_t kBiRle4 = 2;
constexpr uint32_t kBiBitFields = 3;

// What the pixels are: rows from the top; each value is a palette index (1, 4,
// 8 bits), the stored 16- or 32-bit word, or 0x00RRGGBB (24 bits).
struct BmpPicture {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint32_t> values;
    std::vector<uint32_t> palette;   // 0x00RRGGBB

    uint32_t value(int32_t x, int32_t y) const { return values[size_t(y) * size_t(width) + size_t(x)]; }
};

// How the file is laid out.
struct BmpFormat {
    uint32_t headerSize = 40;        // 12, 40, 52, 56, 108, 124
    uint16_t bitCount = 24;
    uint32_t compression = kBiRgb;
    // Red, green, blue, alpha. Written with BI_BITFIELDS (after a 40-byte
    // header, inside a larger one) and into larger headers in any case.
    uint32_t masks[4] = {0, 0, 0, 0};
    bool topDown = false;
    // biClrUsed; the palette written has this many entries, 2^bitCount when 0
    // (none above 8 bits).
    uint32_t colourUsed = 0;
    // Bytes of junk between the palette and the pixels (bfOffBits skips them).
    uint32_t gapBeforePixels = 0;
    // Writes bfOffBits as 0 (pixels right after the palette).
    bool zeroOffBits = false;
    std::string name() const;
};

// The pixel data of picture in format: padded rows, or an RLE stream that
// uses encoded runs, absolute runs (odd lengths included) and end-of-line,
// ending with end-of-bitmap.
std::vector<uint8_t> encodePixels(const BmpPicture& picture, const BmpFormat& format);

// A whole file: headers, masks, palette, and the given pixel data.
std::vector<uint8_t> buildBmp(int32_t width, int32_t height, const std::vector<uint32_t>& palette,
                              const BmpFormat& format, const std::vector<uint8_t>& pixelData);

inline std::vector<uint8_t> encodeBmp(const BmpPicture& picture, const BmpFormat& format)
{
    return buildBmp(picture.width, picture.height, picture.palette, format, encodePixels(picture, format));
}

// An n-bit field value widened to 8 bits the way the decoder promises: the
// value's bits repeated without end read as a binary fraction, v / (2^n - 1),
// cut to 8 bits; a field of more than 8 bits keeps its top 8.
uint8_t widenField(uint32_t value, int bits);

// The picture a decoder must give: RGBA rows from the top, alpha 255.
RgbaImage expectedPicture(const BmpPicture& picture, const BmpFormat& format);

// A picture of pseudo-random values valid for format (indices below the
// palette size, words within the masks), with a palette when one is needed.
BmpPicture randomPicture(int32_t width, int32_t height, const BmpFormat& format, uint32_t seed);

// Every variant the decoder accepts, one entry each.
std::vector<BmpFormat> allBmpVariants();
