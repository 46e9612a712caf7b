#include "tests/readers/reader_test_support.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>

#include <zlib.h>

#include "core/dib_image.h"
#include "core/gif_reader.h"
#include "core/png_reader.h"
#include "tests/common/image_file_builders.h"

namespace {

uint32_t chunkCrc(const uint8_t* typeAndData, size_t count)
{
    return uint32_t(crc32(crc32(0, nullptr, 0), typeAndData, uInt(count)));
}

// log2 of a colour table's entry count minus one, as the packed fields hold it.
uint8_t tableSizeBits(size_t tableBytes)
{
    uint8_t bits = 0;
    while ((2u << bits) * 3 < tableBytes)
        ++bits;
    return bits;
}

// Least-significant-bit-first code packing.
struct BitWriter {
    Bytes out;
    uint32_t pending = 0;
    int pendingBits = 0;
    void put(uint32_t code, int size)
    {
        pending |= code << pendingBits;
        pendingBits += size;
        while (pendingBits >= 8) {
            out.push_back(uint8_t(pending));
            pending >>= 8;
            pendingBits -= 8;
        }
    }
    void flush()
    {
        if (pendingBits > 0)
            out.push_back(uint8_t(pending));
        pending = 0;
        pendingBits = 0;
    }
};

Loaded loadWith(bool (*loader)(const char*, DibImage&, int32_t&), const std::string& path)
{
    Loaded result;
    DibImage image;
    int32_t transparent = -2;
    result.ok = loader(path.c_str(), image, transparent);
    result.transparentColour = transparent;
    if (result.ok) {
        result.image = rgbaFromDib(image);
        result.hasAlpha = image.hasAlpha != 0;
    }
    return result;
}

Loaded loadBytes(bool (*loader)(const char*, DibImage&, int32_t&), const Bytes& file)
{
    static TempDir folder;
    const std::string path = folder.file("input.bin");
    if (!writeFileBytes(path, file))
        return Loaded();
    return loadWith(loader, path);
}

}  // namespace

// ---- PNG ----

PngBuilder::PngBuilder() : bytes{137, 80, 78, 71, 13, 10, 26, 10} {}

PngBuilder& PngBuilder::chunk(const char* type, const Bytes& data)
{
    appendBE32(bytes, uint32_t(data.size()));
    const size_t start = bytes.size();
    bytes.insert(bytes.end(), type, type + 4);
    bytes.insert(bytes.end(), data.begin(), data.end());
    appendBE32(bytes, chunkCrc(&bytes[start], bytes.size() - start));
    return *this;
}

PngBuilder& PngBuilder::rawChunk(uint32_t length, const char* type, const Bytes& data)
{
    appendBE32(bytes, length);
    bytes.insert(bytes.end(), type, type + 4);
    bytes.insert(bytes.end(), data.begin(), data.end());
    return *this;
}

Bytes ihdrData(uint32_t width, uint32_t height, uint8_t depth, uint8_t colourType, uint8_t interlace)
{
    Bytes data;
    appendBE32(data, width);
    appendBE32(data, height);
    data.push_back(depth);
    data.push_back(colourType);
    data.push_back(0);
    data.push_back(0);
    data.push_back(interlace);
    return data;
}

Bytes zlibCompress(const Bytes& raw)
{
    uLongf size = compressBound(uLong(raw.size()));
    Bytes out(size);
    if (compress2(out.data(), &size, raw.data(), uLong(raw.size()), 9) != Z_OK)
        return Bytes();
    out.resize(size);
    return out;
}

Bytes packRows(const Bytes& samples, uint32_t width, uint32_t height, int depth)
{
    const uint32_t rowBytes = (width * uint32_t(depth) + 7) / 8;
    Bytes out;
    for (uint32_t y = 0; y < height; ++y) {
        out.push_back(0);
        Bytes row(rowBytes, 0);
        for (uint32_t x = 0; x < width; ++x) {
            const uint32_t bit = x * uint32_t(depth);
            const int shift = 8 - depth - int(bit % 8);
            row[bit / 8] = uint8_t(row[bit / 8] | (samples[size_t(y) * width + x] << shift));
        }
        out.insert(out.end(), row.begin(), row.end());
    }
    return out;
}

Bytes rowsWithFilterZero(const Bytes& samples, uint32_t rowSampleBytes, uint32_t height)
{
    Bytes out;
    for (uint32_t y = 0; y < height; ++y) {
        out.push_back(0);
        out.insert(out.end(), samples.begin() + size_t(y) * rowSampleBytes,
                   samples.begin() + size_t(y + 1) * rowSampleBytes);
    }
    return out;
}

Bytes buildPng(const PngParts& parts)
{
    PngBuilder png;
    png.chunk("IHDR", ihdrData(parts.width, parts.height, parts.depth, parts.colourType));
    if (!parts.palette.empty())
        png.chunk("PLTE", parts.palette);
    if (parts.hasTrns)
        png.chunk("tRNS", parts.trns);
    png.chunk("IDAT", zlibCompress(parts.filteredRows));
    png.chunk("IEND", Bytes());
    return png.bytes;
}

Bytes repairPngCrcs(const Bytes& png)
{
    Bytes out = png;
    size_t position = 8;
    while (position + 12 <= out.size()) {
        const uint32_t length = (uint32_t(out[position]) << 24) | (uint32_t(out[position + 1]) << 16) |
                                (uint32_t(out[position + 2]) << 8) | out[position + 3];
        if (length > out.size() - position - 12)
            break;
        const uint32_t crc = chunkCrc(&out[position + 4], size_t(length) + 4);
        const size_t at = position + 8 + length;
        out[at] = uint8_t(crc >> 24);
        out[at + 1] = uint8_t(crc >> 16);
        out[at + 2] = uint8_t(crc >> 8);
        out[at + 3] = uint8_t(crc);
        position = at + 4;
    }
    return out;
}

// ---- GIF ----

Bytes lzwEncode(const Bytes& indices, int minCodeSize, bool endCode, size_t clearEvery)
{
    const uint32_t clearCode = 1u << minCodeSize;
    const uint32_t firstFree = clearCode + 2;
    BitWriter writer;
    std::map<uint32_t, uint32_t> table;   // (prefix code << 8 | byte) -> code
    uint32_t encoderNext = firstFree;      // next entry the encoder defines
    uint32_t decoderNext = firstFree;      // next entry the decoder defines (one code behind)
    uint32_t codeSize = uint32_t(minCodeSize) + 1;
    uint32_t limit = 1u << codeSize;
    size_t codesSinceClear = 0;

    auto emit = [&](uint32_t code) {
        writer.put(code, int(codeSize));
        ++codesSinceClear;
        // Mirror of the decoder: every code after the first adds an entry
        // while there is room, and the width grows when the limit is reached.
        if (codesSinceClear >= 2 && decoderNext < limit)
            ++decoderNext;
        if (decoderNext >= limit && codeSize < 12) {
            limit <<= 1;
            ++codeSize;
        }
    };
    auto clear = [&]() {
        writer.put(clearCode, int(codeSize));
        table.clear();
        encoderNext = firstFree;
        decoderNext = firstFree;
        codeSize = uint32_t(minCodeSize) + 1;
        limit = 1u << codeSize;
        codesSinceClear = 0;
    };

    clear();
    if (!indices.empty()) {
        uint32_t current = indices[0];
        for (size_t i = 1; i < indices.size(); ++i) {
            const uint32_t key = (current << 8) | indices[i];
            auto found = table.find(key);
            if (found != table.end()) {
                current = found->second;
                continue;
            }
            emit(current);
            if (clearEvery && codesSinceClear >= clearEvery)
                clear();
            else if (encoderNext < 4096)
                table[key] = encoderNext++;
            current = indices[i];
        }
        emit(current);
    }
    if (endCode)
        writer.put(clearCode + 1, int(codeSize));
    writer.flush();
    return writer.out;
}

Bytes subBlocks(const Bytes& data, size_t blockSize, bool terminator)
{
    Bytes out;
    for (size_t at = 0; at < data.size(); at += blockSize) {
        const size_t count = std::min(blockSize, data.size() - at);
        out.push_back(uint8_t(count));
        out.insert(out.end(), data.begin() + at, data.begin() + at + count);
    }
    if (terminator)
        out.push_back(0);
    return out;
}

Bytes interlaceRows(const Bytes& indices, uint32_t width, uint32_t height)
{
    static const uint32_t kStart[4] = {0, 4, 2, 1};
    static const uint32_t kStep[4] = {8, 8, 4, 2};
    Bytes out;
    for (int pass = 0; pass < 4; ++pass)
        for (uint32_t y = kStart[pass]; y < height; y += kStep[pass])
            out.insert(out.end(), indices.begin() + size_t(y) * width, indices.begin() + size_t(y + 1) * width);
    return out;
}

GifBuilder::GifBuilder(uint16_t screenWidth, uint16_t screenHeight, const Bytes& globalTable, uint8_t background,
                       const char* version)
{
    bytes = {'G', 'I', 'F'};
    bytes.insert(bytes.end(), version, version + 3);
    appendLE16(bytes, screenWidth);
    appendLE16(bytes, screenHeight);
    bytes.push_back(globalTable.empty() ? 0 : uint8_t(0x80 | tableSizeBits(globalTable.size())));
    bytes.push_back(background);
    bytes.push_back(0);
    bytes.insert(bytes.end(), globalTable.begin(), globalTable.end());
}

GifBuilder& GifBuilder::graphicControl(int transparentIndex)
{
    const Bytes block = {0x21, 0xF9, 4, uint8_t(transparentIndex >= 0 ? 1 : 0), 0, 0,
                         uint8_t(transparentIndex >= 0 ? transparentIndex : 0), 0};
    bytes.insert(bytes.end(), block.begin(), block.end());
    return *this;
}

GifBuilder& GifBuilder::image(const GifImagePart& part)
{
    bytes.push_back(0x2C);
    appendLE16(bytes, part.left);
    appendLE16(bytes, part.top);
    appendLE16(bytes, part.width);
    appendLE16(bytes, part.height);
    uint8_t packed = part.interlaced ? 0x40 : 0;
    if (!part.localTable.empty())
        packed = uint8_t(packed | 0x80 | tableSizeBits(part.localTable.size()));
    bytes.push_back(packed);
    bytes.insert(bytes.end(), part.localTable.begin(), part.localTable.end());
    bytes.push_back(uint8_t(part.minCodeSize));
    const Bytes ordered = part.interlaced ? interlaceRows(part.indices, part.width, part.height) : part.indices;
    const Bytes data = subBlocks(lzwEncode(ordered, part.minCodeSize));
    bytes.insert(bytes.end(), data.begin(), data.end());
    return *this;
}

GifBuilder& GifBuilder::trailer()
{
    bytes.push_back(0x3B);
    return *this;
}

Bytes colourTable(const std::vector<uint32_t>& colours)
{
    size_t entries = 2;
    while (entries < colours.size())
        entries *= 2;
    Bytes table(entries * 3, 0);
    for (size_t i = 0; i < colours.size(); ++i) {
        table[i * 3] = uint8_t(colours[i] >> 16);
        table[i * 3 + 1] = uint8_t(colours[i] >> 8);
        table[i * 3 + 2] = uint8_t(colours[i]);
    }
    return table;
}

// ---- Loading ----

Loaded loadPngBytes(const Bytes& file)
{
    return loadBytes(loadPngFile, file);
}

bool loadPngExtended(const char* path, DibImage& image, int32_t& transparentColour)
{
    PngReadOptions options;
    options.extendedInput = true;
    return loadPngFile(path, image, transparentColour, options);
}

Loaded loadPngBytesExtended(const Bytes& file)
{
    return loadBytes(loadPngExtended, file);
}

Loaded loadPngPathExtended(const std::string& path)
{
    return loadWith(loadPngExtended, path);
}

Loaded loadGifBytes(const Bytes& file)
{
    return loadBytes(loadGifFile, file);
}

Loaded loadPngPath(const std::string& path)
{
    return loadWith(loadPngFile, path);
}

Loaded loadGifPath(const std::string& path)
{
    return loadWith(loadGifFile, path);
}

uint32_t rgbaAt(const RgbaImage& image, uint32_t x, uint32_t y)
{
    const uint8_t* p = image.at(x, y);
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}

Bytes filterRows(const Bytes& rows, uint32_t rowSampleBytes, uint32_t height, uint32_t bpp, uint8_t type)
{
    Bytes out;
    for (uint32_t y = 0; y < height; ++y) {
        const uint8_t* row = rows.data() + size_t(y) * rowSampleBytes;
        const uint8_t* above = y > 0 ? row - rowSampleBytes : nullptr;
        out.push_back(type);
        for (uint32_t i = 0; i < rowSampleBytes; ++i) {
            const int a = i >= bpp ? row[i - bpp] : 0;
            const int b = above ? above[i] : 0;
            const int c = (above && i >= bpp) ? above[i - bpp] : 0;
            int predictor = 0;
            switch (type) {
            case 1: predictor = a; break;
            case 2: predictor = b; break;
            case 3: predictor = (a + b) / 2; break;
            case 4: {
                const int p = a + b - c;
                const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
                predictor = (pa <= pb && pa <= pc) ? a : (pb <= pc ? b : c);
                break;
            }
            default: break;
            }
            out.push_back(uint8_t(row[i] - predictor));
        }
    }
    return out;
}

Bytes plteData(const std::vector<uint32_t>& colours)
{
    Bytes data;
    for (uint32_t colour : colours) {
        data.push_back(uint8_t(colour >> 16));
        data.push_back(uint8_t(colour >> 8));
        data.push_back(uint8_t(colour));
    }
    return data;
}

::testing::AssertionResult samePixels(const Loaded& ours, const RgbaImage& reference)
{
    if (!ours.ok)
        return ::testing::AssertionFailure() << "the reader refused the file";
    if (ours.image.width != reference.width || ours.image.height != reference.height)
        return ::testing::AssertionFailure() << "size " << ours.image.width << "x" << ours.image.height
                                             << ", reference " << reference.width << "x" << reference.height;
    const uint32_t key = uint32_t(ours.transparentColour);
    for (uint32_t y = 0; y < reference.height; ++y) {
        for (uint32_t x = 0; x < reference.width; ++x) {
            const uint32_t got = rgbaAt(ours.image, x, y);
            const uint32_t want = rgbaAt(reference, x, y);
            auto failure = [&](const char* what) {
                return ::testing::AssertionFailure() << what << " at (" << x << "," << y << "): got 0x" << std::hex
                                                     << got << ", reference 0x" << want << ", transparent colour "
                                                     << ours.transparentColour;
            };
            if (ours.hasAlpha) {
                if (got != want)
                    return failure("pixel differs");
                continue;
            }
            if ((got & 0xFF) != 0xFF)
                return failure("opaque image has a pixel with alpha");
            if ((got >> 8) != (want >> 8))
                return failure("colour differs");
            const uint32_t alpha = want & 0xFF;
            if (alpha != 0 && alpha != 255)
                return failure("partial alpha lost");
            const bool keyed = ours.transparentColour >= 0 && (got >> 8) == key;
            if ((alpha == 0) != keyed)
                return failure(alpha == 0 ? "transparent pixel not keyed" : "opaque pixel keyed transparent");
        }
    }
    return ::testing::AssertionSuccess();
}
