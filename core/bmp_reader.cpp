// BMP decoder: header and palette parsing, bit-field channels, the
// uncompressed row formats and the RLE8/RLE4 streams. See bmp_reader.h for
// what is accepted.
//
// Every offset into the file is checked against its size before it is read;
// sizes derived from header fields go through checkedMul/checkedAdd.

#include "core/bmp_reader.h"

#include <cstdint>
#include <cstring>

#include "core/byte_buffer.h"
#include "core/dib_image.h"
#include "core/file_handle.h"
#include "core/size_limits.h"

namespace {

constexpr uint32_t kFileHeaderBytes = 14;
constexpr uint32_t kCoreHeaderBytes = 12;
constexpr uint32_t kInfoHeaderBytes = 40;
constexpr uint32_t kMaskBytes = 12;

constexpr uint32_t kCompressionRgb = 0;
constexpr uint32_t kCompressionRle8 = 1;
constexpr uint32_t kCompressionRle4 = 2;
constexpr uint32_t kCompressionBitFields = 3;

inline uint16_t readU16(const uint8_t* p)
{
    return uint16_t(p[0] | p[1] << 8);
}

inline uint32_t readU32(const uint8_t* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// One colour channel of a 16- or 32-bit pixel, described by its mask.
class Channel {
public:
    // False when the mask's bits do not form one contiguous run.
    bool setMask(uint32_t mask)
    {
        mask_ = mask;
        shift_ = 0;
        bits_ = 0;
        if (mask == 0)
            return true;
        while (((mask >> shift_) & 1) == 0)
            ++shift_;
        const uint32_t run = mask >> shift_;
        if ((run & (run + 1)) != 0)
            return false;
        while (bits_ < 32 && ((run >> bits_) & 1) != 0)
            ++bits_;
        if (bits_ <= 8) {
            for (uint32_t v = 0; v < (1u << bits_); ++v)
                table_[v] = widen(v, bits_);
        }
        return true;
    }

    uint8_t value(uint32_t pixel) const
    {
        if (bits_ == 0)
            return 0;
        const uint32_t v = (pixel & mask_) >> shift_;
        return bits_ <= 8 ? table_[v] : uint8_t(v >> (bits_ - 8));
    }

private:
    // The n-bit value v as 8 bits: its bits repeated from the top down, so
    // that 0 stays 0 and the largest value becomes 255.
    static uint8_t widen(uint32_t v, int n)
    {
        uint32_t out = 0;
        for (int shift = 8 - n;; shift -= n) {
            out |= shift >= 0 ? v << shift : v >> -shift;
            if (shift <= 0)
                break;
        }
        return uint8_t(out);
    }

    uint32_t mask_ = 0;
    int shift_ = 0;
    int bits_ = 0;
    uint8_t table_[256] = {};
};

// Everything the pixel decoding needs, taken from the headers.
struct BmpLayout {
    int32_t width = 0;
    int32_t height = 0;   // rows, always positive
    bool topDown = false;
    uint32_t bitCount = 0;
    uint32_t compression = kCompressionRgb;
    Channel red, green, blue;   // 16 and 32 bits
    // Blue, green, red, 255 per entry; entries beyond the file's palette are black.
    uint8_t palette[256][4] = {};
    uint32_t pixelOffset = 0;
    uint32_t rowBytes = 0;   // bytes holding one row's pixels
    uint32_t stride = 0;     // rowBytes rounded up to 4
};

bool isAcceptedHeaderSize(uint32_t size)
{
    return size == kCoreHeaderBytes || size == kInfoHeaderBytes || size == 52 || size == 56 || size == 108 ||
           size == 124;
}

bool isAcceptedFormat(uint32_t bitCount, uint32_t compression, bool core)
{
    if (core)
        return compression == kCompressionRgb && (bitCount == 1 || bitCount == 4 || bitCount == 8 || bitCount == 24);
    switch (compression) {
    case kCompressionRgb:
        return bitCount == 1 || bitCount == 4 || bitCount == 8 || bitCount == 16 || bitCount == 24 ||
               bitCount == 32;
    case kCompressionRle8:
        return bitCount == 8;
    case kCompressionRle4:
        return bitCount == 4;
    case kCompressionBitFields:
        return bitCount == 16 || bitCount == 32;
    default:
        return false;
    }
}

bool parseLayout(const uint8_t* data, uint32_t size, BmpLayout& layout)
{
    if (size < kFileHeaderBytes + 4 || data[0] != 'B' || data[1] != 'M')
        return false;
    const uint32_t fileOffBits = readU32(data + 10);
    const uint32_t headerSize = readU32(data + kFileHeaderBytes);
    uint32_t headersEnd = 0;
    if (!isAcceptedHeaderSize(headerSize) || !checkedAdd(kFileHeaderBytes, headerSize, headersEnd) ||
        headersEnd > size)
        return false;
    const uint8_t* header = data + kFileHeaderBytes;
    const bool core = headerSize == kCoreHeaderBytes;

    int64_t width = 0;
    int64_t height = 0;
    uint32_t planes = 0;
    uint32_t colourUsed = 0;
    if (core) {
        width = readU16(header + 4);
        height = readU16(header + 6);
        planes = readU16(header + 8);
        layout.bitCount = readU16(header + 10);
        layout.compression = kCompressionRgb;
    } else {
        width = int32_t(readU32(header + 4));
        height = int32_t(readU32(header + 8));
        planes = readU16(header + 12);
        layout.bitCount = readU16(header + 14);
        layout.compression = readU32(header + 16);
        colourUsed = readU32(header + 32);
    }
    layout.topDown = height < 0;
    if (layout.topDown)
        height = -height;
    if (width <= 0 || height <= 0 || height > INT32_MAX || planes != 1 ||
        !isAcceptedFormat(layout.bitCount, layout.compression, core))
        return false;
    // RLE streams run bottom-up only.
    if (layout.topDown && (layout.compression == kCompressionRle8 || layout.compression == kCompressionRle4))
        return false;
    layout.width = int32_t(width);
    layout.height = int32_t(height);

    // The 32-bit picture must be allocatable.
    uint32_t imageRowBytes = 0;
    uint32_t imageBytes = 0;
    if (!checkedMul(uint32_t(layout.width), 4, imageRowBytes) ||
        !checkedMul(imageRowBytes, uint32_t(layout.height), imageBytes))
        return false;

    // Bit-field masks: after a 40-byte header, inside the larger ones.
    if (layout.bitCount == 16 || layout.bitCount == 32) {
        uint32_t masks[3] = {0x7C00, 0x03E0, 0x001F};
        if (layout.bitCount == 32) {
            masks[0] = 0x00FF0000;
            masks[1] = 0x0000FF00;
            masks[2] = 0x000000FF;
        }
        if (layout.compression == kCompressionBitFields) {
            const uint32_t maskOffset = kFileHeaderBytes + kInfoHeaderBytes;
            if (headerSize == kInfoHeaderBytes && !checkedAdd(headersEnd, kMaskBytes, headersEnd, size))
                return false;
            for (int i = 0; i < 3; ++i)
                masks[i] = readU32(data + maskOffset + 4 * i);
        }
        if (!layout.red.setMask(masks[0]) || !layout.green.setMask(masks[1]) || !layout.blue.setMask(masks[2]))
            return false;
    }

    // Palette.
    uint32_t paletteBytes = 0;
    if (layout.bitCount <= 8) {
        const uint32_t fullCount = 1u << layout.bitCount;
        const uint32_t count = colourUsed != 0 && colourUsed < fullCount ? colourUsed : fullCount;
        const uint32_t entryBytes = core ? 3 : 4;
        uint32_t paletteEnd = 0;
        if (!checkedMul(count, entryBytes, paletteBytes) || !checkedAdd(headersEnd, paletteBytes, paletteEnd, size))
            return false;
        const uint8_t* entry = data + headersEnd;
        for (uint32_t i = 0; i < count; ++i, entry += entryBytes)
            std::memcpy(layout.palette[i], entry, 3);
        for (uint32_t i = 0; i < 256; ++i)
            layout.palette[i][3] = 255;
    } else if (!core && !checkedMul(colourUsed, 4, paletteBytes)) {
        // 16 to 32 bits may carry a colour table that the pixels do not use.
        return false;
    }

    // Pixel data.
    if (fileOffBits != 0)
        layout.pixelOffset = fileOffBits;
    else if (!checkedAdd(headersEnd, paletteBytes, layout.pixelOffset))
        return false;
    if (layout.pixelOffset < headersEnd || layout.pixelOffset > size)
        return false;

    const uint32_t w = uint32_t(layout.width);
    if (layout.bitCount >= 8) {
        if (!checkedMul(w, layout.bitCount / 8, layout.rowBytes, 0xFFFFFFFFu))
            return false;
    } else {
        uint32_t rowBits = 0;
        if (!checkedMul(w, layout.bitCount, rowBits, 0xFFFFFFFFu))
            return false;
        layout.rowBytes = rowBits / 8 + (rowBits % 8 != 0 ? 1 : 0);
    }
    if (!checkedAdd(layout.rowBytes, 3, layout.stride, 0xFFFFFFFFu))
        return false;
    layout.stride &= ~3u;

    if (layout.compression == kCompressionRle8 || layout.compression == kCompressionRle4)
        return true;
    // Every row's pixels must be in the file; the last row may lack its padding.
    const uint32_t available = size - layout.pixelOffset;
    uint32_t before = 0;
    uint32_t needed = 0;
    return checkedMul(uint32_t(layout.height - 1), layout.stride, before, available) &&
           checkedAdd(before, layout.rowBytes, needed, available);
}

// Converts one stored row into 32-bit pixels.
void convertRow(const BmpLayout& layout, const uint8_t* src, uint8_t* out)
{
    const int32_t w = layout.width;
    switch (layout.bitCount) {
    case 1:
    case 4:
    case 8: {
        const uint32_t bitCount = layout.bitCount;
        const uint32_t perByte = 8 / bitCount;
        const uint32_t valueMask = (1u << bitCount) - 1;
        for (int32_t x = 0; x < w; ++x, out += 4) {
            const uint32_t shift = 8 - bitCount * (uint32_t(x) % perByte + 1);
            const uint32_t index = (src[uint32_t(x) / perByte] >> shift) & valueMask;
            std::memcpy(out, layout.palette[index], 4);
        }
        break;
    }
    case 16:
    case 32: {
        const uint32_t step = layout.bitCount / 8;
        for (int32_t x = 0; x < w; ++x, out += 4, src += step) {
            const uint32_t pixel = step == 2 ? readU16(src) : readU32(src);
            out[0] = layout.blue.value(pixel);
            out[1] = layout.green.value(pixel);
            out[2] = layout.red.value(pixel);
            out[3] = 255;
        }
        break;
    }
    case 24:
        for (int32_t x = 0; x < w; ++x, out += 4, src += 3) {
            out[0] = src[0];
            out[1] = src[1];
            out[2] = src[2];
            out[3] = 255;
        }
        break;
    default:
        break;
    }
}

bool decodeUncompressed(const uint8_t* data, const BmpLayout& layout, DibImage& image)
{
    if (!image.create(layout.width, layout.height))
        return false;
    const uint8_t* src = data + layout.pixelOffset;
    for (int32_t stored = 0; stored < layout.height; ++stored, src += layout.stride) {
        const int32_t y = layout.topDown ? stored : layout.height - 1 - stored;
        convertRow(layout, src, image.rowAt(y));
    }
    return true;
}

// Expands an RLE8 or RLE4 stream into one palette index per pixel, rows in
// stored (bottom-up) order; indices must be zero-filled. False when the stream
// ends before end-of-bitmap with rows still to come, or inside an escape.
bool expandRle(const uint8_t* p, const uint8_t* end, const BmpLayout& layout, uint8_t* indices)
{
    const bool nibbles = layout.compression == kCompressionRle4;
    const int64_t w = layout.width;
    const int64_t h = layout.height;
    int64_t x = 0;
    int64_t y = 0;
    // Pixels right of the picture are dropped; the run does not wrap.
    auto put = [&](uint8_t index) {
        if (x < w)
            indices[y * w + x] = index;
        ++x;
    };
    while (y < h) {
        if (end - p < 2)
            return false;
        const uint8_t count = p[0];
        const uint8_t value = p[1];
        p += 2;
        if (count != 0) {
            const uint8_t first = nibbles ? uint8_t(value >> 4) : value;
            const uint8_t second = nibbles ? uint8_t(value & 15) : value;
            for (uint32_t i = 0; i < count; ++i)
                put((i & 1) ? second : first);
            continue;
        }
        switch (value) {
        case 0:   // end of line
            x = 0;
            ++y;
            break;
        case 1:   // end of bitmap
            return true;
        case 2:   // delta: right and up
            if (end - p < 2)
                return false;
            x += p[0];
            y += p[1];
            p += 2;
            break;
        default: {   // absolute run of `value` pixels, padded to an even byte count
            const uint32_t bytes = nibbles ? (value + 1u) / 2 : value;
            if (uint32_t(end - p) < bytes)
                return false;
            for (uint32_t i = 0; i < value; ++i)
                put(nibbles ? uint8_t((i & 1) ? p[i / 2] & 15 : p[i / 2] >> 4) : p[i]);
            p += bytes;
            if ((bytes & 1) != 0 && p < end)
                ++p;
            break;
        }
        }
    }
    // Every row is done; whatever follows cannot change the picture.
    return true;
}

bool decodeRle(const uint8_t* data, uint32_t size, const BmpLayout& layout, DibImage& image)
{
    uint32_t pixelCount = 0;
    if (!checkedMul(uint32_t(layout.width), uint32_t(layout.height), pixelCount))
        return false;
    ByteBuffer indices;
    if (indices.allocate(pixelCount, true) == nullptr)
        return false;
    if (!expandRle(data + layout.pixelOffset, data + size, layout, indices.data))
        return false;
    if (!image.create(layout.width, layout.height))
        return false;
    const uint8_t* src = indices.data;
    for (int32_t stored = 0; stored < layout.height; ++stored) {
        uint8_t* out = image.rowAt(layout.height - 1 - stored);
        for (int32_t x = 0; x < layout.width; ++x, ++src, out += 4)
            std::memcpy(out, layout.palette[*src], 4);
    }
    return true;
}

}  // namespace

bool decodeBmp(const uint8_t* data, uint32_t size, DibImage& image)
{
    if (data == nullptr)
        return false;
    BmpLayout layout;
    if (!parseLayout(data, size, layout))
        return false;
    if (layout.compression == kCompressionRle8 || layout.compression == kCompressionRle4)
        return decodeRle(data, size, layout, image);
    return decodeUncompressed(data, layout, image);
}

bool readBmpFile(const char* path, DibImage& image)
{
    FileHandle file;
    if (!file.openRead(path))
        return false;
    const uint64_t fileBytes = file.size();
    if (fileBytes == 0 || fileBytes > kMaxBlockBytes)
        return false;
    const uint32_t size = uint32_t(fileBytes);
    ByteBuffer content;
    if (content.allocate(size, false) == nullptr)
        return false;
    uint32_t filled = 0;
    while (filled < size) {
        const uint32_t got = file.read(content.data + filled, size - filled);
        if (got == 0)
            break;
        filled += got;
    }
    file.close();
    return decodeBmp(content.data, filled, image);
}
