#pragma once
// The PNG container the optimizer writes: one description of a file's chunks,
// its exact size, and the writer. The file is the signature, IHDR, the kept
// chunks as they are, PLTE and tRNS when present, one IDAT chunk, IEND.

#include <cstdint>

class AppendBuffer;
class FileHandle;

// Receives a chunk's data piece by piece (the same shape as DeflateSink).
using ChunkSink = bool (*)(const uint8_t* bytes, uint32_t count, void* context);
// Produces the IDAT data through sink; false on failure.
using IdatSource = bool (*)(void* context, ChunkSink sink, void* sinkContext);

struct PngFile {
    uint32_t width = 0;
    uint32_t height = 0;
    uint8_t bitDepth = 8;        // IHDR bit depth
    uint8_t colourType = 6;      // IHDR colour type
    const uint8_t* palette = nullptr;        // PLTE data; no chunk when paletteBytes is 0
    uint32_t paletteBytes = 0;
    const uint8_t* transparency = nullptr;   // tRNS data; no chunk when transparencyBytes is 0
    uint32_t transparencyBytes = 0;
    const uint8_t* keptChunks = nullptr;     // whole chunks (length, type, data, CRC), checked
    uint32_t keptChunksBytes = 0;            // by the caller, written after IHDR
    uint32_t idatBytes = 0;                  // the IDAT data's length
    // The IDAT data: idat when not null, else what idatSource produces.
    // pngFileSize reads neither.
    const uint8_t* idat = nullptr;
    IdatSource idatSource = nullptr;
    void* idatContext = nullptr;
};

// The whole file's bytes; 0 when they would not fit in 32 bits.
uint32_t pngFileSize(const PngFile& file);

// Writes the file at out's position. False when a write fails, the IDAT
// data is not idatBytes long, or the bytes written are not pngFileSize.
bool writePngFile(FileHandle& out, const PngFile& file);
// The same bytes into out, which is released first and then holds exactly
// the file. False (out released) on the same failures, when the file exceeds
// kMaxBlockBytes, or when the memory is refused.
bool writePngBytes(AppendBuffer& out, const PngFile& file);
