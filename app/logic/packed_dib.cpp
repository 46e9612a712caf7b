#include "app/logic/packed_dib.h"

#include <cstring>

#include "core/dib_image.h"
#include "core/size_limits.h"

namespace {

constexpr uint32_t kCoreHeaderSize = 12;   // BITMAPCOREHEADER: 16-bit fields, at most 24 bits
constexpr uint32_t kInfoHeaderSize = 40;   // BITMAPINFOHEADER
constexpr uint32_t kCompressionRgb = 0;
constexpr uint32_t kCompressionBitFields = 3;
constexpr uint32_t kCompressionAlphaBitFields = 6;

uint32_t readU32(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

uint16_t readU16(const uint8_t* p)
{
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

}  // namespace

unsigned checkPackedDib32(const uint8_t* block, uint32_t blockSize, PackedDibLayout& layout)
{
    if (!block || blockSize == 0)
        return CLIPBOARD_NO_DATA;
    if (blockSize < 4)
        return CLIPBOARD_LOAD_FAILED;
    const uint32_t headerSize = readU32(block);
    if (headerSize == kCoreHeaderSize && blockSize >= kCoreHeaderSize)
        return CLIPBOARD_NOT_32BIT;
    if (headerSize < kInfoHeaderSize || headerSize > blockSize)
        return CLIPBOARD_LOAD_FAILED;
    if (readU16(block + 14) != 32)
        return CLIPBOARD_NOT_32BIT;

    const auto width = static_cast<int32_t>(readU32(block + 4));
    const auto storedHeight = static_cast<int32_t>(readU32(block + 8));
    if (width <= 0 || storedHeight == 0 || storedHeight == INT32_MIN)
        return CLIPBOARD_LOAD_FAILED;
    const int32_t height = storedHeight < 0 ? -storedHeight : storedHeight;

    // Larger headers (V4, V5) hold the masks themselves.
    uint32_t maskBytes = 0;
    const uint32_t compression = readU32(block + 16);
    if (compression == kCompressionBitFields)
        maskBytes = headerSize == kInfoHeaderSize ? 12 : 0;
    else if (compression == kCompressionAlphaBitFields)
        maskBytes = headerSize == kInfoHeaderSize ? 16 : 0;
    else if (compression != kCompressionRgb)
        return CLIPBOARD_LOAD_FAILED;   // run-length, JPEG or PNG data are not plain pixels

    uint32_t tableBytes = 0;
    uint32_t offset = 0;
    uint32_t rowBytes = 0;
    uint32_t pixelBytes = 0;
    uint32_t end = 0;
    if (!checkedMul(readU32(block + 32), 4, tableBytes) ||
        !checkedAdd(headerSize, maskBytes, offset) || !checkedAdd(offset, tableBytes, offset) ||
        !checkedMul(static_cast<uint32_t>(width), 4, rowBytes) ||
        !checkedMul(rowBytes, static_cast<uint32_t>(height), pixelBytes) ||
        !checkedAdd(offset, pixelBytes, end, 0xFFFFFFFFu) || end > blockSize)
        return CLIPBOARD_LOAD_FAILED;

    layout.width = width;
    layout.height = height;
    layout.topDown = storedHeight < 0;
    layout.pixelOffset = offset;
    layout.pixelBytes = pixelBytes;
    return CLIPBOARD_OK;
}

unsigned readPackedDib32(const uint8_t* block, uint32_t blockSize, DibImage& image)
{
    PackedDibLayout layout;
    const unsigned result = checkPackedDib32(block, blockSize, layout);
    if (result != CLIPBOARD_OK)
        return result;
    if (!image.create(layout.width, layout.height))
        return CLIPBOARD_LOAD_FAILED;
    const uint8_t* pixels = block + layout.pixelOffset;
    if (layout.topDown) {
        const size_t rowBytes = static_cast<size_t>(layout.width) * 4;
        for (int32_t y = 0; y < layout.height; ++y)
            std::memcpy(image.rowAt(y), pixels + rowBytes * static_cast<size_t>(y), rowBytes);
    } else {
        std::memcpy(image.bits, pixels, layout.pixelBytes);
    }
    image.hasAlpha = 1;
    return CLIPBOARD_OK;
}
