#pragma once
// The PNG container the optimizer writes: one description of a file's chunks,
// its exact size, and the writer. The file is the signature, IHDR, the kept
// chunks as they are, PLTE and tRNS when present, one IDAT chunk, IEND; with
// a set of kept chunks (core/kept_chunks.h) its blocks go before PLTE,
// before IDAT and after IDAT, and its sBIT (before PLTE), bKGD and hIST
// (after tRNS) are rewritten for the file's format (layout_chunks.h).

#include <cstdint>

#include "engine/png_optimizer.h"

class AppendBuffer;
class FileHandle;
struct KeptChunkSet;

// Receives a chunk's data piece by piece (the same shape as DeflateSink).
using ChunkSink = bool (*)(const uint8_t* bytes, uint32_t count, void* context);
// Produces the IDAT data through sink; false on failure.
using IdatSource = bool (*)(void* context, ChunkSink sink, void* sinkContext);

// How a file stores its picture. The default search's files are
// LAYOUT_PALETTE at 1 to 8 bits, LAYOUT_RGB and LAYOUT_RGBA.
struct PngFormat {
    int32_t layout = LAYOUT_RGBA;   // ExtendedLayout
    int32_t depth = 8;              // bits per sample: 1 to 8 for a palette, 1 to 16 for grey, 8 or 16 for the others
    const uint8_t* palette = nullptr;        // PLTE data; no chunk when paletteBytes is 0
    uint32_t paletteBytes = 0;
    const uint8_t* transparency = nullptr;   // tRNS data; no chunk when transparencyBytes is 0
    uint32_t transparencyBytes = 0;
};

// IHDR's bit depth and colour type of a layout (ExtendedLayout) whose samples
// have `depth` bits (grey+alpha, RGB and RGBA: 16 for 16, else 8);
// LAYOUT_DEFAULT is taken as LAYOUT_RGBA.
void layoutHeader(int32_t layout, int32_t depth, uint8_t& bitDepth, uint8_t& colourType);

struct PngFile {
    uint32_t width = 0;
    uint32_t height = 0;
    PngFormat format;
    const uint8_t* keptChunks = nullptr;     // whole chunks (length, type, data, CRC), checked by
    uint32_t keptChunksBytes = 0;            // the caller (keptChunksValid), written after IHDR
    const KeptChunkSet* kept = nullptr;      // more kept chunks, blocks checked by keptChunkSetValid; may be null
    uint32_t idatBytes = 0;                  // the IDAT data's length
    // The IDAT data: idat when not null, else what idatSource produces.
    // pngFileSize reads neither.
    const uint8_t* idat = nullptr;
    IdatSource idatSource = nullptr;
    void* idatContext = nullptr;
};

// The file of request's picture in `format`: the picture's size, the kept
// chunks (the request's keptChunkSet in every mode, else its keptChunks when
// it asks for the extended search), and idatBytes of
// IDAT data that the caller points idat or idatSource at. The file points
// into the memory the request and the format point to.
PngFile describePngFile(const ConvertRequest& request, const PngFormat& format, uint32_t idatBytes);

// Whether `bytes` bytes at chunks are nothing but whole ancillary chunks,
// none a tRNS (the format's own), with correct lengths and CRCs: what a file
// may keep. True for none; false for a null pointer with bytes.
bool keptChunksValid(const uint8_t* chunks, uint32_t bytes);
// keptChunksValid of each block of set; true for null.
bool keptChunkSetValid(const KeptChunkSet* set);
// The LAYOUT_CHUNK_* bits of file's kept chunks that its format cannot express.
uint16_t droppedLayoutChunks(const PngFile& file);

// Puts kept's chunks into the whole PNG file in png (an animated PNG's too)
// where writePngFile places them: after IHDR, before the first fcTL or IDAT,
// before IEND; the layout chunks rewritten for the file's format from its
// IHDR, PLTE and tRNS. dropped receives the LAYOUT_CHUNK_* bits left out.
// False (png unchanged) when png is no PNG of whole chunks or memory is refused.
bool insertKeptChunks(AppendBuffer& png, const KeptChunkSet& kept, uint16_t& dropped);

// The whole file's bytes; 0 when they would not fit in 32 bits.
uint32_t pngFileSize(const PngFile& file);

// Writes the file at out's position. False when a write fails, the IDAT
// data is not idatBytes long, or the bytes written are not pngFileSize.
bool writePngFile(FileHandle& out, const PngFile& file);
// The same bytes into out, which is released first and then holds exactly
// the file. False (out released) on the same failures, when the file exceeds
// kMaxBlockBytes, or when the memory is refused.
bool writePngBytes(AppendBuffer& out, const PngFile& file);
