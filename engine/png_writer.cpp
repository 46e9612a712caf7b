// The PNG writer of PngOptimizer: signature, IHDR, PLTE, tRNS, one IDAT chunk
// streamed through the deflate scratch, IEND.

#include <zlib.h>

#include "core/file_handle.h"
#include "core/size_limits.h"
#include "engine/deflate_stream.h"
#include "engine/png_optimizer.h"

namespace {

constexpr uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
constexpr uint8_t kIend[12] = {0, 0, 0, 0, 'I', 'E', 'N', 'D', 0xAE, 0x42, 0x60, 0x82};

bool writeAll(FileHandle& file, const void* bytes, uint32_t count)
{
    return file.write(bytes, count) == count;
}

uint32_t crcOf(uint32_t crc, const void* bytes, uint32_t count)
{
    return static_cast<uint32_t>(crc32(crc, static_cast<const Bytef*>(bytes), count));
}

void putUInt32BE(uint8_t* out, uint32_t value)
{
    out[0] = static_cast<uint8_t>(value >> 24);
    out[1] = static_cast<uint8_t>(value >> 16);
    out[2] = static_cast<uint8_t>(value >> 8);
    out[3] = static_cast<uint8_t>(value);
}

// Writes a whole chunk held in memory: length, type, data, CRC over type and data.
bool writeChunk(FileHandle& file, const char* type, const uint8_t* data, uint32_t length)
{
    uint32_t crc = crcOf(crc32(0, nullptr, 0), type, 4);
    if (length > 0)
        crc = crcOf(crc, data, length);
    return file.writeUInt32BE(length) && writeAll(file, type, 4) &&
           (length == 0 || writeAll(file, data, length)) && file.writeUInt32BE(crc);
}

// IHDR bit depth and colour type for a result bit depth.
void headerFormat(int32_t bitDepth, uint8_t& sampleDepth, uint8_t& colourType)
{
    switch (bitDepth) {
    case 32: sampleDepth = 8; colourType = 6; break;
    case 24: sampleDepth = 8; colourType = 2; break;
    default: sampleDepth = static_cast<uint8_t>(bitDepth); colourType = 3; break;
    }
}

// The IDAT data as it leaves the compressor: written and added to the CRC.
struct IdatSink {
    FileHandle* file;
    uint32_t crc;
};

bool writeIdatPiece(const uint8_t* bytes, uint32_t count, void* context)
{
    auto* sink = static_cast<IdatSink*>(context);
    if (!writeAll(*sink->file, bytes, count))
        return false;
    sink->crc = crcOf(sink->crc, bytes, count);
    return true;
}

}   // namespace

bool PngOptimizer::writePng(FileHandle& file)
{
    const ConvertRequest& request = *request_;
    if (extendedFile_.used > 0) {
        // The extended search's winner, complete in memory.
        return writeAll(file, extendedFile_.data, extendedFile_.used) &&
               file.tell() == request.fileSize;
    }
    const int32_t bitDepth = request.bitDepth;
    if (!writeAll(file, kSignature, sizeof kSignature))
        return false;

    uint8_t header[13] = {};
    putUInt32BE(header, static_cast<uint32_t>(width_));
    putUInt32BE(header + 4, static_cast<uint32_t>(height_));
    headerFormat(bitDepth, header[8], header[9]);
    if (!writeChunk(file, "IHDR", header, sizeof header))
        return false;
    // Chunks kept from the input (checked by predictFileSize), in the extended mode only.
    if ((request.options & OPT_EXTENDED_SEARCH) && request.keptChunksSize > 0 &&
        !writeAll(file, request.keptChunks, request.keptChunksSize))
        return false;

    if (bitDepth <= 8 && colourCount_ > 0 &&
        !writeChunk(file, "PLTE", palette_.data, 3 * static_cast<uint32_t>(colourCount_)))
        return false;

    if (request.transparentColour != -1 && bitDepth != 32) {
        const uint32_t colour = static_cast<uint32_t>(request.transparentColour);
        if (bitDepth == 24) {
            const uint8_t samples[6] = {0, static_cast<uint8_t>(colour >> 16),
                                        0, static_cast<uint8_t>(colour >> 8),
                                        0, static_cast<uint8_t>(colour)};
            if (!writeChunk(file, "tRNS", samples, sizeof samples))
                return false;
        } else if (paletteEntryZeroIsTransparent()) {
            const uint8_t entryZeroAlpha = 0;
            if (!writeChunk(file, "tRNS", &entryZeroAlpha, 1))
                return false;
        }
    }

    // IDAT: its length is known only once the stream is complete, so a
    // placeholder is written and patched afterwards.
    const uint32_t lengthPosition = file.tell();
    if (lengthPosition == 0xFFFFFFFFu || lengthPosition > 0x7FFFFFFFu || !file.writeUInt32(0) ||
        !writeAll(file, "IDAT", 4))
        return false;
    uint32_t imageBytes = 0;
    if (!checkedMul(stride_, static_cast<uint32_t>(height_), imageBytes))
        return false;
    IdatSink sink = {&file, crcOf(crc32(0, nullptr, 0), "IDAT", 4)};
    uint32_t dataLength = 0;
    if (idatStream_.used > 0) {
        // The search kept the winning trial's stream: the same bytes a new
        // compression of the rows with its parameters would give.
        if (!writeIdatPiece(idatStream_.data, idatStream_.used, &sink))
            return false;
        dataLength = idatStream_.used;
    } else if (!deflateThrough(filteredRows_.data, imageBytes, request.windowBits,
                               request.memLevel, deflateScratch_.data, kDeflateScratchBytes,
                               writeIdatPiece, &sink, dataLength)) {
        return false;
    }
    // The search measured this very stream; a different length would make the
    // reported file size wrong.
    if (dataLength != static_cast<uint32_t>(request.dataSize))
        return false;
    if (file.seek(static_cast<int32_t>(lengthPosition), SeekOrigin::Begin) != lengthPosition ||
        !file.writeUInt32BE(dataLength) || file.seek(0, SeekOrigin::End) == 0xFFFFFFFFu ||
        !file.writeUInt32BE(sink.crc))
        return false;

    if (!writeAll(file, kIend, sizeof kIend))
        return false;
    return file.tell() == request.fileSize;
}
