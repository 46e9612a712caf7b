#include "engine/colour_analysis.h"

#include <cstring>

#include "core/byte_buffer.h"
#include "core/size_limits.h"

namespace {

// The memory bytes (blue, green, red) of a 0x00RRGGBB colour.
struct ColourBytes {
    uint8_t blue, green, red;
};

ColourBytes colourBytes(int32_t colour)
{
    const uint32_t value = static_cast<uint32_t>(colour);
    return {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
            static_cast<uint8_t>(value >> 16)};
}

// A pixel's colour bytes as one key: 0x00RRGGBB.
uint32_t pixelKey(const uint8_t* pixel)
{
    return uint32_t(pixel[2]) << 16 | uint32_t(pixel[1]) << 8 | pixel[0];
}

uint32_t entryKey(const uint8_t* entry)
{
    return uint32_t(entry[0]) << 16 | uint32_t(entry[1]) << 8 | entry[2];
}

// Palette index by colour: an open-addressing hash table with four times as
// many slots as a palette has entries, so a lookup probes about one slot.
class ColourIndex {
public:
    ColourIndex()
    {
        std::memset(keys_, 0, sizeof keys_);
        std::memset(indices_, 0xFF, sizeof indices_);   // -1: empty slot
    }

    // The colour's index, or -1 when it has none.
    int32_t find(uint32_t key) const { return indices_[slotOf(key)]; }

    // Gives the colour an index, replacing any it had.
    void set(uint32_t key, int32_t index)
    {
        const uint32_t slot = slotOf(key);
        keys_[slot] = key;
        indices_[slot] = static_cast<int16_t>(index);
    }

private:
    static constexpr uint32_t kSlots = 4 * kMaxPaletteEntries;

    // The colour's slot, or the empty slot where it would go.
    uint32_t slotOf(uint32_t key) const
    {
        uint32_t slot = (key * 0x9E3779B1u) >> 22;   // the product's top 10 bits
        while (indices_[slot] >= 0 && keys_[slot] != key)
            slot = (slot + 1) % kSlots;
        return slot;
    }

    uint32_t keys_[kSlots];
    int16_t indices_[kSlots];
};

void swapEntries(uint8_t* palette, int32_t i, int32_t j)
{
    uint8_t saved[3];
    std::memcpy(saved, palette + i * 3, 3);
    std::memcpy(palette + i * 3, palette + j * 3, 3);
    std::memcpy(palette + j * 3, saved, 3);
}

// Pixel count of the request's image; false when the pixel memory would not fit
// in one block (such a request cannot describe real memory).
bool pixelCount(const ConvertRequest& request, uint32_t& count)
{
    if (!request.pixels || request.width <= 0 || request.height <= 0)
        return false;
    uint32_t rowBytes = 0;
    uint32_t allBytes = 0;
    if (!checkedMul(static_cast<uint32_t>(request.width), 4, rowBytes) ||
        !checkedMul(rowBytes, static_cast<uint32_t>(request.height), allBytes))
        return false;
    count = allBytes / 4;
    return true;
}

}   // namespace

int32_t buildPalette(const ConvertRequest& request, uint8_t* palette)
{
    uint32_t pixels = 0;
    if (!pixelCount(request, pixels))
        return 0;
    const bool hasTransparent = request.transparentColour != -1;
    const ColourBytes transparent = colourBytes(request.transparentColour);
    // Occurrences of each entry's colour after its first; only read when no
    // transparent colour is set (the transparent swap does not move them).
    uint32_t repeats[kMaxPaletteEntries] = {};
    ColourIndex index;
    int32_t count = 0;
    const uint8_t* pixel = request.pixels;
    for (uint32_t i = 0; i < pixels; ++i, pixel += 4) {
        const uint32_t key = pixelKey(pixel);
        const int32_t found = index.find(key);
        if (found >= 0) {
            ++repeats[found];
            continue;
        }
        if (count == kMaxPaletteEntries)
            return 0;
        uint8_t* entry = palette + count * 3;
        entry[0] = pixel[2];
        entry[1] = pixel[1];
        entry[2] = pixel[0];
        index.set(key, count);
        ++count;
        if (hasTransparent && count > 1 && pixel[0] == transparent.blue &&
            pixel[1] == transparent.green && pixel[2] == transparent.red) {
            index.set(entryKey(palette), count - 1);
            index.set(key, 0);
            swapEntries(palette, 0, count - 1);
        }
    }
    if (!hasTransparent && count > 0) {
        int32_t most = 0;
        for (int32_t k = 1; k < count; ++k) {
            if (repeats[k] > repeats[most])
                most = k;
        }
        if (most != 0)
            swapEntries(palette, 0, most);
    }
    return count;
}

int32_t chooseBitDepth(const ConvertRequest& request, uint8_t* palette, int32_t& colourCount)
{
    if (request.hasAlpha)
        return 32;
    const int32_t n = buildPalette(request, palette);
    colourCount = n;
    if (n == 0)
        return 24;
    if (n > 16)
        return 8;
    if (n > 4)
        return 4;
    if (n > 2)
        return 2;
    return 1;
}

uint32_t rowStride(int32_t bitDepth, int32_t width)
{
    if (width <= 0)
        return 0;
    const uint64_t w = static_cast<uint32_t>(width);
    uint64_t dataBytes = 0;
    switch (bitDepth) {
    case 1: dataBytes = (w + 7) / 8; break;
    case 2: dataBytes = (w + 3) * 2 / 8; break;
    case 4: dataBytes = (w + (w & 1)) * 4 / 8; break;
    case 8: dataBytes = w; break;
    case 24: dataBytes = 3 * w; break;
    case 32: dataBytes = 4 * w; break;
    default: return 0;
    }
    const uint64_t stride = dataBytes + 1;
    return stride > kMaxBlockBytes ? 0 : static_cast<uint32_t>(stride);
}

bool imageByteCount(int32_t height, uint32_t stride, uint32_t& imageBytes)
{
    return height > 0 && checkedMul(stride, static_cast<uint32_t>(height), imageBytes);
}

bool packRows(const ConvertRequest& request, const uint8_t* palette, int32_t colourCount,
              int32_t bitDepth, ByteBuffer& destination, uint32_t& stride)
{
    uint32_t pixels = 0;
    const uint32_t rowStrideBytes = rowStride(bitDepth, request.width);
    uint32_t imageBytes = 0;
    if (!pixelCount(request, pixels) || rowStrideBytes == 0 ||
        !imageByteCount(request.height, rowStrideBytes, imageBytes))
        return false;
    // Every index must fit in its bit field, or it would spill into its neighbours.
    if (bitDepth <= 8 && (colourCount <= 0 || colourCount > (1 << bitDepth)))
        return false;
    stride = rowStrideBytes;
    uint8_t* rows = destination.allocate(imageBytes, true);
    if (!rows)
        return false;

    // The first entry of each colour, as a palette search from entry 0 finds it.
    ColourIndex index;
    for (int32_t k = 0; bitDepth <= 8 && k < colourCount; ++k) {
        const uint32_t key = entryKey(palette + k * 3);
        if (index.find(key) < 0)
            index.set(key, k);
    }
    const uint32_t width = static_cast<uint32_t>(request.width);
    const uint32_t height = static_cast<uint32_t>(request.height);
    for (uint32_t r = 0; r < height; ++r) {
        const uint8_t* pixel = request.pixels + static_cast<size_t>(height - 1 - r) * width * 4;
        uint8_t* out = rows + static_cast<size_t>(r) * stride;
        *out++ = 0;   // filter type none
        if (bitDepth == 24 || bitDepth == 32) {
            for (uint32_t x = 0; x < width; ++x, pixel += 4) {
                *out++ = pixel[2];
                *out++ = pixel[1];
                *out++ = pixel[0];
                if (bitDepth == 32)
                    *out++ = pixel[3];
            }
            continue;
        }
        // Neighbouring pixels often share a colour; the cache saves the search.
        const uint8_t* cached = nullptr;
        uint8_t cachedIndex = 0;
        for (uint32_t x = 0; x < width; ++x, pixel += 4) {
            if (!cached || std::memcmp(cached, pixel, 3) != 0) {
                const int32_t found = index.find(pixelKey(pixel));
                cachedIndex = static_cast<uint8_t>(found < 0 ? 0 : found);
                cached = pixel;
            }
            switch (bitDepth) {
            case 1: out[x / 8] |= static_cast<uint8_t>(cachedIndex << (7 - x % 8)); break;
            case 2: out[x / 4] |= static_cast<uint8_t>(cachedIndex << (2 * (3 - x % 4))); break;
            case 4: out[x / 2] |= static_cast<uint8_t>(cachedIndex << (x % 2 == 0 ? 4 : 0)); break;
            default: out[x] = cachedIndex; break;
            }
        }
    }
    return true;
}
