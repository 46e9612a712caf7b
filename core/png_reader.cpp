#include "core/png_reader.h"

#include <cstring>

#include <zlib.h>

#include "core/dib_image.h"
#include "core/png_bytes.h"
#include "core/size_limits.h"

namespace {

// Input for inflate is read in pieces of this size, whatever a chunk's length.
constexpr uint32_t kInputBufferBytes = 0x8000;

constexpr int kColourGrey = 0;
constexpr int kColourRgb = 2;
constexpr int kColourPalette = 3;
constexpr int kColourGreyAlpha = 4;
constexpr int kColourRgba = 6;

// The colour chunks extended input collects; a chunk's bit in
// keptColourChunks_ is 1 << its index here.
const char kColourChunkTypes[][5] = {"sRGB", "gAMA", "cHRM", "iCCP"};

// One pass of the stored image: pixels (x0 + i * dx, y0 + j * dy).
struct Pass {
    uint32_t x0, y0, dx, dy;

    uint32_t width(uint32_t imageWidth) const { return imageWidth > x0 ? (imageWidth - x0 + dx - 1) / dx : 0; }
    uint32_t height(uint32_t imageHeight) const { return imageHeight > y0 ? (imageHeight - y0 + dy - 1) / dy : 0; }
};

constexpr Pass kAdam7[] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                           {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};
constexpr Pass kWholeImage = {0, 0, 1, 1};

// The passes of an image in their stored order, for range-for.
struct Passes {
    const Pass* first;
    const Pass* last;

    explicit Passes(bool interlaced)
        : first(interlaced ? kAdam7 : &kWholeImage), last(interlaced ? kAdam7 + 7 : &kWholeImage + 1) {}
    const Pass* begin() const { return first; }
    const Pass* end() const { return last; }
};

bool packedRowBytes(uint32_t pixels, uint32_t bits, uint32_t& bytes);

// Bytes of one stored row of pass, filter byte included, in an image
// imageWidth pixels wide at storedBits per pixel; false when above the block
// limit.
bool passRowBytes(const Pass& pass, uint32_t imageWidth, uint32_t storedBits, uint32_t& bytes)
{
    return packedRowBytes(pass.width(imageWidth), storedBits, bytes) && checkedAdd(bytes, 1, bytes);
}

// Bytes of a row of `pixels` pixels of `bits` bits, filter byte excluded;
// false when above the block limit.
bool packedRowBytes(uint32_t pixels, uint32_t bits, uint32_t& bytes)
{
    uint32_t totalBits = 0;
    if (!checkedMul(pixels, bits, totalBits, 0xFFFFFFFFu))
        return false;
    bytes = totalBits / 8 + (totalBits % 8 ? 1 : 0);
    return bytes <= kMaxBlockBytes;
}

uint8_t paeth(uint8_t a, uint8_t b, uint8_t c)
{
    const int p = int(a) + int(b) - int(c);
    const int pa = p > a ? p - a : a - p;
    const int pb = p > b ? p - b : b - p;
    const int pc = p > c ? p - c : c - p;
    if (pa <= pb && pa <= pc)
        return a;
    if (pb <= pc)
        return b;
    return c;
}

// Index of pixel x in a row of packed indices (1, 2, 4 or 8 bits, most
// significant bits first).
uint8_t indexAt(const uint8_t* row, uint32_t x, int bits)
{
    if (bits == 8)
        return row[x];
    const uint32_t perByte = 8u / uint32_t(bits);
    const int shift = 8 - bits * int(1 + x % perByte);
    return uint8_t((row[x / perByte] >> shift) & ((1u << bits) - 1));
}

// Stores a packed index (the row's bits there are still zero).
void setIndexAt(uint8_t* row, uint32_t x, int bits, uint8_t index)
{
    const uint32_t perByte = 8u / uint32_t(bits);
    const int shift = 8 - bits * int(1 + x % perByte);
    row[x / perByte] = uint8_t(row[x / perByte] | (index << shift));
}

int32_t paletteColour(const PngInfo& info, uint32_t index)
{
    if (index >= info.paletteCount)
        return 0;   // out-of-range indices show as black
    const uint8_t* entry = info.palette.data + index * 3;
    return int32_t((uint32_t(entry[0]) << 16) | (uint32_t(entry[1]) << 8) | entry[2]);
}

uint8_t paletteEntryAlpha(const PngInfo& info, uint32_t index)
{
    if (index >= info.paletteCount || !info.paletteAlpha.data)
        return 255;
    return info.paletteAlpha.data[index];
}

void storePixel(uint8_t* dst, uint8_t red, uint8_t green, uint8_t blue, uint8_t alpha)
{
    dst[0] = blue;
    dst[1] = green;
    dst[2] = red;
    dst[3] = alpha;
}

}  // namespace

bool PngReader::skip(uint32_t n)
{
    return input_.skip(n);
}

bool PngReader::findChunk(const char* type, uint32_t& length)
{
    for (;;) {
        uint32_t chunkLength = 0;
        if (input_.readUInt32BE(chunkLength) != 4)
            return false;
        if (chunkLength > kMaxPngChunkLength)
            return false;
        uint8_t chunkType[4];
        if (input_.read(chunkType, 4) != 4)
            return false;
        if (std::memcmp(chunkType, type, 4) == 0) {
            length = chunkLength;
            return true;
        }
        if (headerDone_ && std::memcmp(chunkType, "tRNS", 4) == 0) {
            readTransparency(chunkLength);
            continue;
        }
        if (headerDone_ && colourChunks_) {
            bool colourChunk = false;
            for (const char* colourType : kColourChunkTypes)
                colourChunk = colourChunk || std::memcmp(chunkType, colourType, 4) == 0;
            if (colourChunk) {
                if (!keepColourChunk(chunkType, chunkLength))
                    return false;
                continue;
            }
        }
        if (!skip(chunkLength) || !skip(4))
            return false;
    }
}

bool PngReader::keepColourChunk(const uint8_t type[4], uint32_t length)
{
    uint32_t bit = 0;
    for (uint32_t i = 0; i < sizeof kColourChunkTypes / sizeof kColourChunkTypes[0]; ++i)
        if (std::memcmp(type, kColourChunkTypes[i], 4) == 0)
            bit = 1u << i;
    if ((keptColourChunks_ & bit) || length > kMaxColourChunkBytes)
        return skip(length) && skip(4);

    // Length, type, data and CRC, exactly as in the file.
    ByteBuffer chunk;
    uint32_t chunkBytes = 0;
    if (!checkedAdd(length, 12, chunkBytes) || !chunk.allocate(chunkBytes, false))
        return skip(length) && skip(4);
    chunk.data[0] = uint8_t(length >> 24);
    chunk.data[1] = uint8_t(length >> 16);
    chunk.data[2] = uint8_t(length >> 8);
    chunk.data[3] = uint8_t(length);
    std::memcpy(chunk.data + 4, type, 4);
    if (input_.read(chunk.data + 8, length + 4) != length + 4)
        return false;
    const uint32_t crc = uint32_t(crc32(crc32(0L, nullptr, 0), chunk.data + 4, length + 4));
    if (crc != readBE32(chunk.data + 8 + length))
        return true;   // damaged: left out, the walk goes on
    const bool stored = colourChunks_->data ? colourChunks_->append(chunk.data, chunkBytes)
                                            : colourChunks_->init(chunkBytes, 4096) &&
                                                  colourChunks_->append(chunk.data, chunkBytes);
    if (stored)
        keptColourChunks_ |= bit;
    return true;
}

void PngReader::readTransparency(uint32_t length)
{
    PngInfo& info = *info_;
    uint8_t data[256];
    uint32_t wanted = 0;
    if (colourType_ == kColourPalette)
        wanted = length < info.paletteCount ? length : info.paletteCount;
    else if (colourType_ == kColourGrey)
        wanted = length < 2 ? length : 2;
    else
        wanted = length < 6 ? length : 6;
    const uint32_t got = wanted ? input_.read(data, wanted) : 0;

    if (colourType_ == kColourPalette) {
        // Before PLTE there are no entries to apply it to (wanted is 0 then).
        if (info.paletteCount > 0 && info.paletteAlpha.data) {
            std::memset(info.paletteAlpha.data, 255, info.paletteAlpha.size);
            std::memcpy(info.paletteAlpha.data, data, got);
            paletteTransparency_ = true;
            for (uint32_t i = 0; i < got; ++i) {
                if (data[i] == 0) {
                    info.transparentColour = paletteColour(info, i);
                    break;
                }
            }
        }
    } else if (colourType_ == kColourGrey) {
        // The whole 16-bit sample must name a grey of the image's depth;
        // anything else matches no pixel. In a 16-bit image (every pixel with
        // equal bytes) that is a sample of equal bytes, naming its 8-bit grey.
        if (got == 2) {
            const uint32_t sample = bitDepth_ == 16 ? (data[0] == data[1] ? data[0] : 0x10000u)
                                                    : (uint32_t(data[0]) << 8) | data[1];
            if (sample < info.paletteCount)
                info.transparentColour = paletteColour(info, sample);
            if (bitDepth_ == 16) {
                for (int i = 0; i < 6; i += 2)
                    std::memcpy(wideKey_ + i, data, 2);
                wideKeySet_ = true;
            }
        }
    } else if (colourType_ == kColourRgb) {
        // Samples above 255 match no 8-bit pixel, so they give no colour; at
        // 16 bits the samples with unequal bytes match none.
        const bool fits = got == 6 && (bitDepth_ == 16 ? data[0] == data[1] && data[2] == data[3] && data[4] == data[5]
                                                       : data[0] == 0 && data[2] == 0 && data[4] == 0);
        if (fits)
            info.transparentColour = int32_t((uint32_t(data[bitDepth_ == 16 ? 0 : 1]) << 16) |
                                             (uint32_t(data[3]) << 8) | data[5]);
        if (got == 6 && bitDepth_ == 16) {
            std::memcpy(wideKey_, data, 6);
            wideKeySet_ = true;
        }
    }
    // RGBA and grey+alpha: tRNS is not allowed beside an alpha channel and is
    // ignored; the pixels' own alpha says everything.

    skip(length - got);
    skip(4);
}

bool PngReader::readHeader(PngInfo& info)
{
    uint32_t length = 0;
    if (!findChunk("IHDR", length) || length < 13)
        return false;
    uint8_t header[13];
    if (input_.read(header, 13) != 13)
        return false;
    info.width = readBE32(header);
    info.height = readBE32(header + 4);
    bitDepth_ = header[8];
    colourType_ = header[9];
    const bool wide = bitDepth_ == 16 && extended_ && colourType_ != kColourPalette;
    if (bitDepth_ != 1 && bitDepth_ != 2 && bitDepth_ != 4 && bitDepth_ != 8 && !wide)
        return false;
    switch (colourType_) {
    case kColourGrey:
        info.pixelBits = wide ? 8 : bitDepth_;
        break;
    case kColourPalette:
        info.pixelBits = bitDepth_;
        break;
    case kColourRgb:
        info.pixelBits = 24;
        break;
    case kColourGreyAlpha:
        if (!extended_ || bitDepth_ < 8)
            return false;
        info.pixelBits = 16;
        info.hasAlpha = 1;
        break;
    case kColourRgba:
        info.pixelBits = 32;
        info.hasAlpha = 1;
        break;
    default:
        return false;
    }
    interlaced_ = header[12] == 1 && extended_;
    if (header[10] != 0 || header[11] != 0 || (header[12] != 0 && !interlaced_))
        return false;
    if (!skip(length - 13) || !skip(4))
        return false;

    // The picture must fit a DibImage (4 bytes per pixel in one block), which
    // also bounds the filtered rows below.
    uint32_t pixelCount = 0;
    uint32_t dibBytes = 0;
    if (info.width == 0 || info.height == 0 || !checkedMul(info.width, info.height, pixelCount) ||
        !checkedMul(pixelCount, 4, dibBytes))
        return false;
    uint32_t sampleBytes = 0;
    if (info.pixelBits >= 8) {
        if (!checkedMul(info.width, info.pixelBits / 8u, sampleBytes))
            return false;
    } else {
        const uint32_t perByte = 8u / info.pixelBits;
        sampleBytes = info.width / perByte + (info.width % perByte ? 1 : 0);
    }
    uint32_t rowBytes = 0;
    uint32_t totalBytes = 0;
    if (!checkedAdd(sampleBytes, 1, rowBytes) || !checkedMul(rowBytes, info.height, totalBytes))
        return false;
    info.rowBytes = int32_t(rowBytes);

    // The inflated data: every pass's rows at the stored depth, each with its
    // filter byte. Without 16-bit samples or interlacing that is the rows above.
    storedBytes_ = totalBytes;
    if (bitDepth_ == 16 || interlaced_) {
        const uint32_t storedBits = info.pixelBits * (bitDepth_ == 16 ? 2u : 1u);
        storedBytes_ = 0;
        for (const Pass& pass : Passes(interlaced_)) {
            const uint32_t passWidth = pass.width(info.width);
            const uint32_t passHeight = pass.height(info.height);
            if (passWidth == 0 || passHeight == 0)
                continue;
            uint32_t passRow = 0;
            uint32_t passBytes = 0;
            if (!passRowBytes(pass, info.width, storedBits, passRow) ||
                !checkedMul(passRow, passHeight, passBytes) || !checkedAdd(storedBytes_, passBytes, storedBytes_))
                return false;
        }
    }
    headerDone_ = true;
    return true;
}

bool PngReader::readPalette(PngInfo& info)
{
    if (!info.palette.allocate(768, true))
        return false;
    if (colourType_ == kColourGrey) {
        const uint32_t count = 1u << info.pixelBits;
        const uint32_t step = 256 / (count - 1);
        for (uint32_t i = 0; i < count; ++i) {
            const uint32_t grey = i * step > 255 ? 255 : i * step;
            std::memset(info.palette.data + i * 3, int(grey), 3);
        }
        info.paletteCount = uint16_t(count);
        return true;
    }
    uint32_t length = 0;
    if (!findChunk("PLTE", length) || length > 768)
        return false;
    if (length > 0 && input_.read(info.palette.data, length) != length)
        return false;
    info.paletteCount = uint16_t(length / 3);
    // Bytes of an incomplete last entry are not part of the palette.
    std::memset(info.palette.data + info.paletteCount * 3, 0, 768 - info.paletteCount * 3u);
    if (!info.paletteAlpha.allocate(256, false))
        return false;
    std::memset(info.paletteAlpha.data, 255, 256);
    return skip(4);
}

bool PngReader::inflateImageData(ByteBuffer& target, uint32_t totalBytes)
{
    ByteBuffer input;
    if (!target.allocate(totalBytes, true) || !input.allocate(kInputBufferBytes, true))
        return false;
    z_stream stream;
    std::memset(&stream, 0, sizeof stream);
    if (inflateInit(&stream) != Z_OK)
        return false;
    stream.next_out = target.data;
    stream.avail_out = totalBytes;

    bool ok = true;
    bool done = false;
    uint32_t length = 0;
    while (!done && findChunk("IDAT", length)) {
        uint32_t remaining = length;
        do {
            const uint32_t wanted = remaining < input.size ? remaining : input.size;
            const uint32_t got = wanted ? input_.read(input.data, wanted) : 0;
            if (wanted > 0 && got == 0) {
                done = true;   // the file ends inside the chunk: keep what was decoded
                break;
            }
            remaining -= got;
            stream.next_in = input.data;
            stream.avail_in = got;
            const int result = inflate(&stream, Z_NO_FLUSH);
            if (result == Z_STREAM_END) {
                done = true;
                break;
            }
            if (result == Z_BUF_ERROR && stream.avail_out == 0) {
                done = true;   // every row is complete; compressed data beyond it is ignored
                break;
            }
            if (result != Z_OK) {
                // Corrupt data, a dictionary request, or no progress (an empty
                // IDAT while rows are still missing).
                ok = false;
                done = true;
                break;
            }
            if (got < wanted) {
                done = true;
                break;
            }
        } while (remaining > 0);
        if (!done && !skip(4))
            done = true;
    }
    inflateEnd(&stream);
    return ok;
}

void PngReader::unfilterRows(uint8_t* data, uint32_t stride, uint32_t rows, uint32_t bpp)
{
    const uint32_t count = stride - 1;
    const uint8_t* above = nullptr;
    for (uint32_t y = 0; y < rows; ++y) {
        uint8_t* row = data + size_t(y) * stride;
        const uint8_t type = row[0];
        uint8_t* x = row + 1;
        switch (type) {
        case 1:
            for (uint32_t i = bpp; i < count; ++i)
                x[i] = uint8_t(x[i] + x[i - bpp]);
            break;
        case 2:
            if (above)
                for (uint32_t i = 0; i < count; ++i)
                    x[i] = uint8_t(x[i] + above[i]);
            break;
        case 3:
            for (uint32_t i = 0; i < count; ++i) {
                const uint32_t a = i >= bpp ? x[i - bpp] : 0;
                const uint32_t b = above ? above[i] : 0;
                x[i] = uint8_t(x[i] + ((a + b) >> 1));
            }
            break;
        case 4:
            for (uint32_t i = 0; i < count; ++i) {
                const uint8_t a = i >= bpp ? x[i - bpp] : 0;
                const uint8_t b = above ? above[i] : 0;
                const uint8_t c = (above && i >= bpp) ? above[i - bpp] : 0;
                x[i] = uint8_t(x[i] + paeth(a, b, c));
            }
            break;
        default:
            break;   // type 0, and unknown types leave the row as stored
        }
        above = x;
    }
}

bool PngReader::rebuildRows(ByteBuffer& stored, PngInfo& info) const
{
    const uint32_t stride = uint32_t(info.rowBytes);
    if (!info.imageData.allocate(stride * info.height, true))   // product checked in readHeader
        return false;
    const bool wide = bitDepth_ == 16;
    const uint32_t storedBits = info.pixelBits * (wide ? 2u : 1u);
    // Whole bytes per pixel of the rows (0 for packed indices and greys).
    const uint32_t pixelBytes = info.pixelBits >= 8 ? info.pixelBits / 8u : 0;
    const int packedBits = int(info.pixelBits);

    // Every pass unfiltered first: whether all 16-bit samples have equal
    // bytes decides how the image loads.
    bool fits = true;
    uint8_t* passData = stored.data;
    for (const Pass& pass : Passes(interlaced_)) {
        const uint32_t passHeight = pass.height(info.height);
        if (pass.width(info.width) == 0 || passHeight == 0)
            continue;
        uint32_t passRow = 0;
        passRowBytes(pass, info.width, storedBits, passRow);   // checked in readHeader
        unfilterRows(passData, passRow, passHeight, (storedBits + 7u) / 8u);
        for (uint32_t j = 0; wide && fits && j < passHeight; ++j) {
            const uint8_t* sample = passData + size_t(j) * passRow + 1;
            for (uint32_t k = 1; k < passRow && fits; k += 2, sample += 2)
                fits = sample[0] == sample[1];
        }
        passData += size_t(passRow) * passHeight;
    }
    if (!fits && !(wideSamples_ && storeWideSamples(stored.data, info)))
        return false;   // not 8-bit values: refused, never reduced, unless the samples are taken

    // The rows placed; 16-bit samples by their high bytes.
    passData = stored.data;
    for (const Pass& pass : Passes(interlaced_)) {
        const uint32_t passWidth = pass.width(info.width);
        const uint32_t passHeight = pass.height(info.height);
        if (passWidth == 0 || passHeight == 0)
            continue;
        uint32_t passRow = 0;
        passRowBytes(pass, info.width, storedBits, passRow);
        for (uint32_t j = 0; j < passHeight; ++j) {
            const uint8_t* src = passData + size_t(j) * passRow + 1;
            uint8_t* dst = info.imageData.data + size_t(pass.y0 + j * pass.dy) * stride + 1;
            for (uint32_t i = 0; i < passWidth; ++i) {
                const uint32_t x = pass.x0 + i * pass.dx;
                if (pixelBytes == 0) {
                    setIndexAt(dst, x, packedBits, indexAt(src, i, packedBits));
                } else if (!wide) {
                    std::memcpy(dst + size_t(x) * pixelBytes, src + size_t(i) * pixelBytes, pixelBytes);
                } else {
                    const uint8_t* sample = src + size_t(i) * pixelBytes * 2;
                    for (uint32_t k = 0; k < pixelBytes; ++k, sample += 2)
                        dst[size_t(x) * pixelBytes + k] = sample[0];
                }
            }
        }
        passData += size_t(passRow) * passHeight;
    }
    return true;
}

bool PngReader::storeWideSamples(const uint8_t* stored, PngInfo& info) const
{
    uint32_t pixelCount = 0;
    uint32_t bytes = 0;
    if (!checkedMul(info.width, info.height, pixelCount) || !checkedMul(pixelCount, 8, bytes) ||
        !wideSamples_->allocate(bytes, false))
        return false;
    const uint32_t channels = info.pixelBits / 8u;   // 1 grey, 2 grey+alpha, 3 RGB, 4 RGBA
    const bool keyed = wideKeySet_ && !info.hasAlpha;
    static const uint8_t kOpaque[2] = {0xFF, 0xFF};
    static const uint8_t kTransparent[2] = {0, 0};
    for (const Pass& pass : Passes(interlaced_)) {
        const uint32_t passWidth = pass.width(info.width);
        const uint32_t passHeight = pass.height(info.height);
        if (passWidth == 0 || passHeight == 0)
            continue;
        uint32_t passRow = 0;
        passRowBytes(pass, info.width, info.pixelBits * 2u, passRow);   // checked in readHeader
        for (uint32_t j = 0; j < passHeight; ++j) {
            const uint8_t* src = stored + size_t(j) * passRow + 1;
            const size_t y = pass.y0 + j * pass.dy;
            for (uint32_t i = 0; i < passWidth; ++i, src += channels * 2) {
                uint8_t* out = wideSamples_->data + (y * info.width + pass.x0 + i * pass.dx) * 8;
                const bool grey = channels <= 2;
                std::memcpy(out, src, 2);
                std::memcpy(out + 2, grey ? src : src + 2, 2);
                std::memcpy(out + 4, grey ? src : src + 4, 2);
                if (channels == 2 || channels == 4)
                    std::memcpy(out + 6, src + (channels - 1) * 2, 2);
                else
                    std::memcpy(out + 6, keyed && std::memcmp(out, wideKey_, 6) == 0 ? kTransparent : kOpaque, 2);
            }
        }
        stored += size_t(passRow) * passHeight;
    }
    // The key's high bytes name the transparent pixels of the 8-bit picture.
    info.transparentColour =
        keyed ? int32_t(uint32_t(wideKey_[0]) << 16 | uint32_t(wideKey_[2]) << 8 | wideKey_[4]) : -1;
    return true;
}

void PngReader::resolvePaletteTransparency(PngInfo& info)
{
    // Which entries the pixels use, out-of-range indices included.
    bool used[256] = {};
    for (uint32_t y = 0; y < info.height; ++y) {
        const uint8_t* row = info.imageData.data + size_t(y) * uint32_t(info.rowBytes) + 1;
        for (uint32_t x = 0; x < info.width; ++x)
            used[indexAt(row, x, info.pixelBits)] = true;
    }

    bool partial = false;
    bool severalTransparent = false;
    int32_t transparent = -1;   // the one colour of the fully transparent entries in use
    for (uint32_t i = 0; i < 256; ++i) {
        if (!used[i])
            continue;
        const uint8_t alpha = paletteEntryAlpha(info, i);
        if (alpha != 0 && alpha != 255)
            partial = true;
        if (alpha == 0) {
            const int32_t colour = paletteColour(info, i);
            if (transparent != -1 && transparent != colour)
                severalTransparent = true;
            transparent = colour;
        }
    }
    auto opaquePixelsHave = [&](int32_t colour) {
        for (uint32_t i = 0; i < 256; ++i)
            if (used[i] && paletteEntryAlpha(info, i) == 255 && paletteColour(info, i) == colour)
                return true;
        return false;
    };

    if (partial || severalTransparent || (transparent != -1 && opaquePixelsHave(transparent))) {
        info.hasAlpha = 1;
        info.transparentColour = -1;
    } else if (transparent != -1) {
        info.transparentColour = transparent;
    } else if (info.transparentColour != -1 && opaquePixelsHave(info.transparentColour)) {
        // No pixel is transparent; naming an opaque pixel's colour would make it so.
        info.transparentColour = -1;
    }
}

bool PngReader::read(const char* path, PngInfo& info, const PngReadOptions& options)
{
    if (!input_.openFile(path))
        return false;
    return readOpened(info, options);
}

bool PngReader::read(const uint8_t* data, uint32_t size, PngInfo& info, const PngReadOptions& options)
{
    input_.openMemory(data, size);
    return readOpened(info, options);
}

bool PngReader::readOpened(PngInfo& info, const PngReadOptions& options)
{
    info_ = &info;
    info.paletteCount = 0;
    info.transparentColour = -1;
    info.hasAlpha = 0;
    info.paletteAlpha.release();
    extended_ = options.extendedInput;
    colourChunks_ = extended_ ? options.colourChunks : nullptr;
    if (colourChunks_)
        colourChunks_->release();
    wideSamples_ = extended_ ? options.wideSamples : nullptr;
    if (wideSamples_)
        wideSamples_->release();
    wideKeySet_ = false;
    keptColourChunks_ = 0;
    interlaced_ = false;
    headerDone_ = false;
    paletteTransparency_ = false;

    bool ok = false;
    uint8_t signature[kPngSignatureBytes];
    // A failed read or seek is no end of file: what it left out is not known
    // to be zeros, so the picture is refused rather than passed off as complete.
    if (input_.read(signature, kPngSignatureBytes) == kPngSignatureBytes &&
        std::memcmp(signature, kPngSignature, kPngSignatureBytes) == 0 && readHeader(info) &&
        (info.pixelBits > 8 || readPalette(info)) &&
        dataCanReachPicture(input_.bytesLeft(), storedBytes_, info.width * info.height)) {
        if (bitDepth_ != 16 && !interlaced_) {
            if (inflateImageData(info.imageData, storedBytes_) && !input_.ioFailed()) {
                unfilterRows(info.imageData.data, uint32_t(info.rowBytes), info.height, (info.pixelBits + 7u) / 8u);
                ok = true;
            }
        } else {
            ByteBuffer stored;
            ok = inflateImageData(stored, storedBytes_) && !input_.ioFailed() && rebuildRows(stored, info);
        }
        if (ok && paletteTransparency_)
            resolvePaletteTransparency(info);
    }
    if (!ok && wideSamples_)
        wideSamples_->release();
    input_.close();
    info_ = nullptr;
    colourChunks_ = nullptr;
    wideSamples_ = nullptr;
    return ok;
}

void PngReader::convertToImage(const PngInfo& info, DibImage& image)
{
    const uint32_t stride = uint32_t(info.rowBytes);
    uint8_t table[256][4];
    if (info.pixelBits <= 8) {
        for (uint32_t i = 0; i < 256; ++i) {
            const int32_t colour = paletteColour(info, i);
            storePixel(table[i], uint8_t(colour >> 16), uint8_t(colour >> 8), uint8_t(colour),
                       info.hasAlpha ? paletteEntryAlpha(info, i) : 255);
        }
    }
    for (uint32_t y = 0; y < info.height; ++y) {
        const uint8_t* src = info.imageData.data + size_t(y) * stride + 1;
        uint8_t* dst = image.rowAt(int32_t(y));
        if (info.pixelBits <= 8) {
            for (uint32_t x = 0; x < info.width; ++x)
                std::memcpy(dst + x * 4, table[indexAt(src, x, info.pixelBits)], 4);
        } else if (info.pixelBits == 16) {
            for (uint32_t x = 0; x < info.width; ++x, src += 2)
                storePixel(dst + x * 4, src[0], src[0], src[0], src[1]);
        } else if (info.pixelBits == 24) {
            for (uint32_t x = 0; x < info.width; ++x, src += 3)
                storePixel(dst + x * 4, src[0], src[1], src[2], 255);
        } else {
            for (uint32_t x = 0; x < info.width; ++x, src += 4)
                storePixel(dst + x * 4, src[0], src[1], src[2], src[3]);
        }
    }
}

namespace {

// The image of a successful read: created at the picture's size and converted.
bool loadPngInfo(const PngInfo& info, DibImage& image, int32_t& transparentColour)
{
    if (!image.create(int32_t(info.width), int32_t(info.height)))
        return false;
    PngReader::convertToImage(info, image);
    image.hasAlpha = info.hasAlpha;
    transparentColour = info.transparentColour;
    return true;
}

}  // namespace

bool loadPngFile(const char* path, DibImage& image, int32_t& transparentColour)
{
    return loadPngFile(path, image, transparentColour, PngReadOptions());
}

bool loadPngFile(const char* path, DibImage& image, int32_t& transparentColour, const PngReadOptions& options)
{
    PngReader reader;
    PngInfo info;
    return reader.read(path, info, options) && loadPngInfo(info, image, transparentColour);
}

bool loadPngMemory(const uint8_t* data, uint32_t size, DibImage& image, int32_t& transparentColour,
                   const PngReadOptions& options)
{
    PngReader reader;
    PngInfo info;
    return reader.read(data, size, info, options) && loadPngInfo(info, image, transparentColour);
}
