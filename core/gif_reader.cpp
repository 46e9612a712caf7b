#include "core/gif_reader.h"

#include <cstring>

#include "core/dib_image.h"
#include "core/file_handle.h"
#include "core/gif_lzw.h"
#include "core/size_limits.h"

namespace {

uint32_t readLE16(const uint8_t* p)
{
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8);
}

// The colour table index a raster byte shows: indices beyond the table fall
// back to the background entry.
uint32_t effectiveIndex(const GifInfo& info, uint8_t index)
{
    return int32_t(index) < info.paletteCount ? index : info.backgroundIndex;
}

int32_t entryColour(const GifInfo& info, uint32_t index)
{
    const uint8_t* entry = info.palette.data + index * 3;
    return int32_t((uint32_t(entry[0]) << 16) | (uint32_t(entry[1]) << 8) | entry[2]);
}

}  // namespace

bool GifReader::readColourTable(GifInfo& info, uint8_t packed)
{
    const uint32_t entries = 2u << (packed & 7);
    if (!available(entries * 3))
        return false;
    std::memcpy(info.palette.data, bytes_ + position_, entries * 3);
    position_ += entries * 3;
    info.paletteCount = int32_t(entries);
    return true;
}

bool GifReader::skipSubBlocks()
{
    return skipGifSubBlocks(bytes_, size_, position_);
}

bool GifReader::readScreen(GifInfo& info)
{
    if (!available(13))
        return false;
    const uint8_t* header = bytes_;
    if (std::memcmp(header, "GIF", 3) != 0 ||
        (std::memcmp(header + 3, "87a", 3) != 0 && std::memcmp(header + 3, "89a", 3) != 0))
        return false;
    info.screenWidth = int32_t(readLE16(header + 6));
    info.screenHeight = int32_t(readLE16(header + 8));
    info.backgroundIndex = header[11];
    position_ = 13;
    if ((header[10] & 0x80) && !readColourTable(info, header[10]))
        return false;
    // The raster, and the picture made from it at 4 bytes per pixel, must fit.
    uint32_t pixelCount = 0;
    uint32_t dibBytes = 0;
    return info.screenWidth > 0 && info.screenHeight > 0 &&
           checkedMul(uint32_t(info.screenWidth), uint32_t(info.screenHeight), pixelCount) &&
           checkedMul(pixelCount, 4, dibBytes);
}

bool GifReader::readImage(GifInfo& info)
{
    if (!available(9))
        return false;
    const uint8_t* descriptor = bytes_ + position_;
    GifPlacement placement;
    placement.left = int32_t(readLE16(descriptor));
    placement.top = int32_t(readLE16(descriptor + 2));
    placement.width = int32_t(readLE16(descriptor + 4));
    placement.height = int32_t(readLE16(descriptor + 6));
    const uint8_t packed = descriptor[8];
    placement.interlaced = (packed & 0x40) != 0;
    position_ += 9;
    if ((packed & 0x80) && !readColourTable(info, packed))
        return false;

    const uint32_t pixelCount = uint32_t(info.screenWidth) * uint32_t(info.screenHeight);   // checked in readScreen
    if (!info.indices.allocate(pixelCount, false))
        return false;
    std::memset(info.indices.data, info.backgroundIndex, pixelCount);

    GifLzwDecoder decoder(bytes_, size_, position_, placement, info.indices.data, info.screenWidth,
                          info.screenHeight);
    const bool ok = decoder.decode();
    return ok;
}

void GifReader::resolveTransparency(GifInfo& info)
{
    if (info.transparentIndex < 0)
        return;
    const uint32_t transparent = uint32_t(info.transparentIndex);
    const int32_t colour = entryColour(info, transparent);
    info.transparentColour = colour;

    bool used[256] = {};
    const uint8_t* index = info.indices.data;
    const uint8_t* end = index + info.indices.size;
    for (; index < end; ++index)
        used[effectiveIndex(info, *index)] = true;
    bool shared = false;
    for (uint32_t i = 0; i < 256; ++i)
        if (used[i] && i != transparent && entryColour(info, i) == colour)
            shared = true;
    if (!shared)
        return;
    // One colour cannot mark the transparent pixels without also marking
    // others. With transparent pixels present keep their alpha instead; with
    // none there is nothing to keep.
    info.transparentColour = -1;
    if (used[transparent])
        info.hasAlpha = 1;
}

bool GifReader::read(const char* path, GifInfo& info)
{
    ByteBuffer content;
    uint32_t size = 0;
    {
        FileHandle file;
        if (!file.openRead(path))
            return false;
        const uint64_t fileBytes = file.size();
        if (fileBytes > kMaxBlockBytes)
            return false;
        size = uint32_t(fileBytes);
        if (!content.allocate(size ? size : 1, false))
            return false;
        if (size > 0 && file.read(content.data, size) != size)
            return false;
    }
    return read(content.data, size, info);
}

bool GifReader::read(const uint8_t* data, uint32_t size, GifInfo& info)
{
    info.paletteCount = 0;
    info.transparentIndex = -1;
    info.transparentColour = -1;
    info.hasAlpha = 0;
    if (!info.palette.allocate(768, true))
        return false;
    bytes_ = data;
    size_ = data ? size : 0;
    position_ = 0;

    bool ok = false;
    if (readScreen(info)) {
        for (;;) {
            if (!available(1))
                break;
            const uint8_t introducer = bytes_[position_++];
            if (introducer == 0x2C) {
                ok = readImage(info);
                break;
            }
            if (introducer != 0x21 || !available(1))
                break;
            const uint8_t label = bytes_[position_++];
            if (label == 0xF9) {
                // Block size, packed fields, delay (2), transparent index, terminator.
                if (!available(6))
                    break;
                if (bytes_[position_ + 1] & 1)
                    info.transparentIndex = bytes_[position_ + 4];
            }
            if (!skipSubBlocks())
                break;
        }
    }
    bytes_ = nullptr;
    size_ = 0;
    if (ok)
        resolveTransparency(info);
    return ok;
}

void GifReader::convertToImage(const GifInfo& info, DibImage& image)
{
    for (int32_t y = 0; y < info.screenHeight; ++y) {
        const uint8_t* src = info.indices.data + size_t(y) * size_t(info.screenWidth);
        uint8_t* dst = image.rowAt(y);
        for (int32_t x = 0; x < info.screenWidth; ++x, dst += 4) {
            const uint32_t index = effectiveIndex(info, src[x]);
            const uint8_t* entry = info.palette.data + index * 3;
            dst[0] = entry[2];
            dst[1] = entry[1];
            dst[2] = entry[0];
            dst[3] = (info.hasAlpha && int32_t(index) == info.transparentIndex) ? 0 : 255;
        }
    }
}

namespace {

// The image of a successful read: created at the screen size and converted.
bool loadGifInfo(const GifInfo& info, DibImage& image, int32_t& transparentColour)
{
    if (!image.create(info.screenWidth, info.screenHeight))
        return false;
    GifReader::convertToImage(info, image);
    image.hasAlpha = info.hasAlpha;
    transparentColour = info.transparentColour;
    return true;
}

}  // namespace

bool loadGifFile(const char* path, DibImage& image, int32_t& transparentColour)
{
    GifReader reader;
    GifInfo info;
    return reader.read(path, info) && loadGifInfo(info, image, transparentColour);
}

bool loadGifMemory(const uint8_t* data, uint32_t size, DibImage& image, int32_t& transparentColour)
{
    GifReader reader;
    GifInfo info;
    return reader.read(data, size, info) && loadGifInfo(info, image, transparentColour);
}
