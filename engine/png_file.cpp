#include "engine/png_file.h"

#include <zlib.h>

#include <algorithm>

#include "core/byte_buffer.h"
#include "core/file_handle.h"
#include "core/png_bytes.h"
#include "core/size_limits.h"

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
    if (request.options & OPT_EXTENDED_SEARCH) {
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

uint32_t pngFileSize(const PngFile& file)
{
    uint32_t size = kPngSignatureBytes;
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
    const bool written =
        out.write(kPngSignature, kPngSignatureBytes) &&
        writeChunk(out, "IHDR", header, kHeaderBytes) &&
        (file.keptChunksBytes == 0 || out.write(file.keptChunks, file.keptChunksBytes)) &&
        (file.format.paletteBytes == 0 ||
         writeChunk(out, "PLTE", file.format.palette, file.format.paletteBytes)) &&
        (file.format.transparencyBytes == 0 ||
         writeChunk(out, "tRNS", file.format.transparency, file.format.transparencyBytes)) &&
        (file.idat ? writeChunk(out, "IDAT", file.idatBytes, writeHeldBytes, &idat)
                   : file.idatSource &&
                         writeChunk(out, "IDAT", file.idatBytes, file.idatSource, file.idatContext)) &&
        writeChunk(out, "IEND", nullptr, 0);
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
