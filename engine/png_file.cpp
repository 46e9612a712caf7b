#include "engine/png_file.h"

#include <zlib.h>

#include <algorithm>

#include "core/byte_buffer.h"
#include "core/file_handle.h"
#include "core/kept_chunks.h"
#include "core/png_bytes.h"
#include "core/size_limits.h"
#include "engine/layout_chunks.h"

namespace {

// A chunk's length, type and CRC around its data.
constexpr uint32_t kChunkFrameBytes = 12;
constexpr uint32_t kHeaderBytes = 13;

// Where the file's bytes go: a FileHandle or an AppendBuffer. Counts what
// was written, so that the writer can check the whole against pngFileSize.
class PngOutput {
public:
    explicit PngOutput(FileHandle& file) : file_(&file) {}
    explicit PngOutput(AppendBuffer& buffer) : buffer_(&buffer) {}

    bool write(const void* bytes, uint32_t count)
    {
        const bool written = file_ ? file_->write(bytes, count) == count : buffer_->append(bytes, count);
        if (written)
            written_ += count;
        return written;
    }
    bool writeBE32(uint32_t value)
    {
        uint8_t bytes[4];
        putBE32(bytes, value);
        return write(bytes, 4);
    }
    uint64_t written() const { return written_; }

private:
    FileHandle* file_ = nullptr;
    AppendBuffer* buffer_ = nullptr;
    uint64_t written_ = 0;
};

// One chunk on its way out: the data counted and added to the CRC.
struct ChunkWriter {
    PngOutput* out;
    uint32_t crc;
    uint32_t written;
};

bool writeChunkPiece(const uint8_t* bytes, uint32_t count, void* context)
{
    auto* chunk = static_cast<ChunkWriter*>(context);
    if (count == 0)
        return true;
    if (!chunk->out->write(bytes, count))
        return false;
    chunk->crc = static_cast<uint32_t>(crc32(chunk->crc, bytes, count));
    chunk->written += count;
    return true;
}

// Data held in memory as an IdatSource.
struct HeldBytes {
    const uint8_t* bytes;
    uint32_t count;
};

bool writeHeldBytes(void* context, ChunkSink sink, void* sinkContext)
{
    const auto* held = static_cast<const HeldBytes*>(context);
    return sink(held->bytes, held->count, sinkContext);
}

// Every chunk of the file: length, type, the data that source produces, CRC
// over type and data. The data must be length bytes.
bool writeChunk(PngOutput& file, const char* type, uint32_t length, IdatSource source,
                void* context)
{
    if (!file.writeBE32(length) || !file.write(type, 4))
        return false;
    const auto* typeBytes = reinterpret_cast<const Bytef*>(type);
    ChunkWriter chunk = {&file, static_cast<uint32_t>(crc32(0, typeBytes, 4)), 0};
    return source(context, writeChunkPiece, &chunk) && chunk.written == length &&
           file.writeBE32(chunk.crc);
}

bool writeChunk(PngOutput& file, const char* type, const uint8_t* data, uint32_t length)
{
    HeldBytes held = {data, length};
    return writeChunk(file, type, length, writeHeldBytes, &held);
}

// Adds a chunk of length data bytes to size; false on overflow.
bool addChunk(uint32_t& size, uint32_t length)
{
    return checkedAdd(size, kChunkFrameBytes, size, 0xFFFFFFFFu) &&
           checkedAdd(size, length, size, 0xFFFFFFFFu);
}

}   // namespace

void layoutHeader(int32_t layout, int32_t depth, uint8_t& bitDepth, uint8_t& colourType)
{
    bitDepth = static_cast<uint8_t>(depth);
    // The layouts of several samples a pixel hold 8 or 16 bits each.
    const uint8_t sampleDepth = depth == 16 ? 16 : 8;
    switch (layout) {
    case LAYOUT_PALETTE: colourType = 3; break;
    case LAYOUT_GREY:
    case LAYOUT_GREY_KEY: colourType = 0; break;
    case LAYOUT_GREY_ALPHA: colourType = 4; bitDepth = sampleDepth; break;
    case LAYOUT_RGB:
    case LAYOUT_RGB_KEY: colourType = 2; bitDepth = sampleDepth; break;
    default: colourType = 6; bitDepth = sampleDepth; break;
    }
}

PngFile describePngFile(const ConvertRequest& request, const PngFormat& format, uint32_t idatBytes)
{
    PngFile file;
    file.width = static_cast<uint32_t>(request.width);
    file.height = static_cast<uint32_t>(request.height);
    file.format = format;
    if (request.keptChunkSet) {
        file.kept = request.keptChunkSet;
    } else if (request.options & OPT_EXTENDED_SEARCH) {
        file.keptChunks = request.keptChunks;
        file.keptChunksBytes = request.keptChunksSize;
    }
    file.idatBytes = idatBytes;
    return file;
}

bool keptChunksValid(const uint8_t* chunks, uint32_t bytes)
{
    if (bytes == 0)
        return true;
    if (!chunks)
        return false;
    uint32_t at = 0;
    while (at < bytes) {
        if (bytes - at < kChunkFrameBytes)
            return false;
        const uint32_t length = readBE32(chunks + at);
        if (length > kMaxBlockBytes || length > bytes - at - kChunkFrameBytes)
            return false;
        const uint8_t* type = chunks + at + 4;
        for (int i = 0; i < 4; ++i) {
            const uint8_t letter = static_cast<uint8_t>(type[i] | 0x20);
            if (letter < 'a' || letter > 'z')
                return false;
        }
        // Ancillary chunks only (lower-case first letter), and not a tRNS the format owns.
        if (!(type[0] & 0x20) || std::equal(type, type + 4, "tRNS"))
            return false;
        const uLong crc = crc32(0, type, length + 4);
        if (readBE32(type + 4 + length) != static_cast<uint32_t>(crc))
            return false;
        at += kChunkFrameBytes + length;
    }
    return true;
}

bool keptChunkSetValid(const KeptChunkSet* set)
{
    auto valid = [](const std::vector<uint8_t>& block) {
        return block.size() <= kMaxBlockBytes && keptChunksValid(block.data(), static_cast<uint32_t>(block.size()));
    };
    return !set || (valid(set->beforePalette) && valid(set->beforeData) && valid(set->afterData));
}

uint16_t droppedLayoutChunks(const PngFile& file)
{
    return file.kept ? layoutChunksFor(*file.kept, file.format).dropped : 0;
}

namespace {

// Bytes of a block of whole chunks (checked by keptChunkSetValid).
uint32_t blockBytes(const std::vector<uint8_t>& block)
{
    return static_cast<uint32_t>(block.size());
}

// Adds the kept set's chunks to size; false on overflow.
bool addKeptChunks(uint32_t& size, const KeptChunkSet& kept, const LayoutChunkData& layout)
{
    for (const std::vector<uint8_t>* block : {&kept.beforePalette, &kept.beforeData, &kept.afterData})
        if (!checkedAdd(size, blockBytes(*block), size, 0xFFFFFFFFu))
            return false;
    for (const uint32_t bytes : {layout.significantBitsBytes, layout.backgroundBytes, layout.histogramBytes})
        if (bytes > 0 && !addChunk(size, bytes))
            return false;
    return true;
}

}   // namespace

uint32_t pngFileSize(const PngFile& file)
{
    uint32_t size = kPngSignatureBytes;
    if (file.kept && !addKeptChunks(size, *file.kept, layoutChunksFor(*file.kept, file.format)))
        return 0;
    if (!addChunk(size, kHeaderBytes) ||
        !checkedAdd(size, file.keptChunksBytes, size, 0xFFFFFFFFu) ||
        (file.format.paletteBytes > 0 && !addChunk(size, file.format.paletteBytes)) ||
        (file.format.transparencyBytes > 0 && !addChunk(size, file.format.transparencyBytes)) ||
        !addChunk(size, file.idatBytes) || !addChunk(size, 0))
        return 0;
    return size;
}

namespace {

bool writePng(PngOutput& out, const PngFile& file)
{
    const uint32_t size = pngFileSize(file);
    if (size == 0)
        return false;
    uint8_t header[kHeaderBytes] = {};
    putBE32(header, file.width);
    putBE32(header + 4, file.height);
    layoutHeader(file.format.layout, file.format.depth, header[8], header[9]);
    // compression, filter and interlace methods 0
    HeldBytes idat = {file.idat, file.idatBytes};
    static const KeptChunkSet kNone;
    const KeptChunkSet& kept = file.kept ? *file.kept : kNone;
    const LayoutChunkData layout = layoutChunksFor(kept, file.format);
    auto block = [&](const std::vector<uint8_t>& chunks) {
        return chunks.empty() || out.write(chunks.data(), blockBytes(chunks));
    };
    auto optional = [&](const char* type, const uint8_t* data, uint32_t bytes) {
        return bytes == 0 || writeChunk(out, type, data, bytes);
    };
    const bool written =
        out.write(kPngSignature, kPngSignatureBytes) &&
        writeChunk(out, "IHDR", header, kHeaderBytes) &&
        (file.keptChunksBytes == 0 || out.write(file.keptChunks, file.keptChunksBytes)) &&
        block(kept.beforePalette) && optional("sBIT", layout.significantBits, layout.significantBitsBytes) &&
        optional("PLTE", file.format.palette, file.format.paletteBytes) &&
        optional("tRNS", file.format.transparency, file.format.transparencyBytes) &&
        optional("bKGD", layout.background, layout.backgroundBytes) &&
        optional("hIST", layout.histogram, layout.histogramBytes) && block(kept.beforeData) &&
        (file.idat ? writeChunk(out, "IDAT", file.idatBytes, writeHeldBytes, &idat)
                   : file.idatSource &&
                         writeChunk(out, "IDAT", file.idatBytes, file.idatSource, file.idatContext)) &&
        block(kept.afterData) && writeChunk(out, "IEND", nullptr, 0);
    return written && out.written() == size;
}

}   // namespace

bool writePngFile(FileHandle& out, const PngFile& file)
{
    PngOutput output(out);
    return writePng(output, file);
}

bool writePngBytes(AppendBuffer& out, const PngFile& file)
{
    const uint32_t size = pngFileSize(file);
    if (size == 0 || size > kMaxBlockBytes || !out.init(size, 0))
        return false;
    PngOutput output(out);
    if (writePng(output, file))
        return true;
    out.release();
    return false;
}

namespace {

// The PngFormat that IHDR's colour type and depth, PLTE and tRNS describe.
int32_t layoutOfColourType(uint8_t colourType)
{
    switch (colourType) {
    case 0: return LAYOUT_GREY;
    case 2: return LAYOUT_RGB;
    case 3: return LAYOUT_PALETTE;
    case 4: return LAYOUT_GREY_ALPHA;
    default: return LAYOUT_RGBA;
    }
}

}   // namespace

bool insertKeptChunks(AppendBuffer& png, const KeptChunkSet& kept, uint16_t& dropped)
{
    dropped = 0;
    if (!png.data || png.used < kPngSignatureBytes + kChunkFrameBytes + kHeaderBytes ||
        !std::equal(kPngSignature, kPngSignature + kPngSignatureBytes, png.data) || !keptChunkSetValid(&kept))
        return false;
    PngFormat format;
    for (uint32_t at = kPngSignatureBytes; png.used - at >= kChunkFrameBytes;) {
        const uint32_t length = readBE32(png.data + at);
        const uint8_t* type = png.data + at + 4;
        if (length > png.used - at - kChunkFrameBytes)
            return false;
        if (std::equal(type, type + 4, "IHDR") && length == kHeaderBytes) {
            format.layout = layoutOfColourType(type[4 + 9]);
            format.depth = type[4 + 8];
        } else if (std::equal(type, type + 4, "PLTE")) {
            format.palette = type + 4;
            format.paletteBytes = length;
        } else if (std::equal(type, type + 4, "tRNS")) {
            format.transparency = type + 4;
            format.transparencyBytes = length;
        }
        at += kChunkFrameBytes + length;
    }
    const LayoutChunkData layout = layoutChunksFor(kept, format);
    uint32_t size = png.used;
    if (!addKeptChunks(size, kept, layout) || size > kMaxBlockBytes)
        return false;
    AppendBuffer out;
    if (!out.init(size, 0))
        return false;
    PngOutput output(out);
    auto block = [&](const std::vector<uint8_t>& chunks) {
        return chunks.empty() || output.write(chunks.data(), blockBytes(chunks));
    };
    auto optional = [&](const char* type, const uint8_t* data, uint32_t bytes) {
        return bytes == 0 || writeChunk(output, type, data, bytes);
    };
    bool ok = output.write(png.data, kPngSignatureBytes);
    bool dataReached = false;
    for (uint32_t at = kPngSignatureBytes; ok && png.used - at >= kChunkFrameBytes;) {
        const uint32_t length = readBE32(png.data + at);
        const uint8_t* type = png.data + at + 4;
        const bool frameOrData = std::equal(type, type + 4, "fcTL") || std::equal(type, type + 4, "IDAT");
        if (frameOrData && !dataReached) {
            dataReached = true;
            ok = optional("bKGD", layout.background, layout.backgroundBytes) &&
                 optional("hIST", layout.histogram, layout.histogramBytes) && block(kept.beforeData);
        }
        if (std::equal(type, type + 4, "IEND"))
            ok = ok && block(kept.afterData);
        ok = ok && output.write(png.data + at, kChunkFrameBytes + length);
        if (std::equal(type, type + 4, "IHDR"))
            ok = ok && block(kept.beforePalette) &&
                 optional("sBIT", layout.significantBits, layout.significantBitsBytes);
        at += kChunkFrameBytes + length;
    }
    if (!ok || out.used != size)
        return false;
    png = std::move(out);
    dropped = layout.dropped;
    return true;
}
