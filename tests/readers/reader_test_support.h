#pragma once
// Builders for small PNG and GIF files, and loaders that run the readers on
// bytes held in memory.

#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/common/test_support.h"

using Bytes = std::vector<uint8_t>;

// ---- PNG ----

// A PNG file assembled chunk by chunk; starts with the signature.
struct PngBuilder {
    PngBuilder();
    // Appends a chunk with its real length and CRC.
    PngBuilder& chunk(const char* type, const Bytes& data);
    // Appends a chunk header claiming `length`, then `data` as given (no CRC
    // unless the caller adds one); for lengths that do not match the data.
    PngBuilder& rawChunk(uint32_t length, const char* type, const Bytes& data);
    Bytes bytes;
};

Bytes ihdrData(uint32_t width, uint32_t height, uint8_t depth, uint8_t colourType, uint8_t interlace = 0);
Bytes zlibCompress(const Bytes& raw);
// Rows of one byte per pixel (indices or grey levels) packed at depth bits,
// each row prefixed with filter type 0.
Bytes packRows(const Bytes& samples, uint32_t width, uint32_t height, int depth);
// Rows of whole bytes (RGB or RGBA samples) prefixed with filter type 0.
Bytes rowsWithFilterZero(const Bytes& samples, uint32_t rowSampleBytes, uint32_t height);

// A complete PNG: IHDR, optional PLTE and tRNS, one IDAT of `filteredRows`
// compressed, IEND.
struct PngParts {
    uint32_t width = 1;
    uint32_t height = 1;
    uint8_t depth = 8;
    uint8_t colourType = 2;
    Bytes filteredRows;
    Bytes palette;          // PLTE data; omitted when empty
    bool hasTrns = false;
    Bytes trns;
};
Bytes buildPng(const PngParts& parts);

// Recomputes every chunk CRC of a PNG (from byte 8 on, as far as the chunk
// layout can be followed).
Bytes repairPngCrcs(const Bytes& png);

// ---- GIF ----

// LZW-encodes colour indices as GIF image data (without the minimum code size
// byte and without sub-block framing). Starts with a clear code, ends with an
// end code when `endCode`; a clear code is also emitted every `clearEvery`
// codes when non-zero. Once the table holds 4096 entries no clear follows
// unless `clearEvery` asks for one, so codes stay 12 bits wide.
Bytes lzwEncode(const Bytes& indices, int minCodeSize, bool endCode = true, size_t clearEvery = 0);
// Frames data as sub-blocks of at most blockSize bytes plus the 0 terminator.
Bytes subBlocks(const Bytes& data, size_t blockSize = 255, bool terminator = true);
// Reorders rows from top-to-bottom into the GIF interlaced transmission order.
Bytes interlaceRows(const Bytes& indices, uint32_t width, uint32_t height);

struct GifImagePart {
    uint16_t left = 0;
    uint16_t top = 0;
    uint16_t width = 1;
    uint16_t height = 1;
    bool interlaced = false;
    Bytes indices;          // width x height, rows from the top
    Bytes localTable;       // RGB triples; power of two entries from 2 to 256
    int minCodeSize = 2;
};

struct GifBuilder {
    // Header and logical screen descriptor with an optional global table (RGB
    // triples, a power of two entries from 2 to 256).
    GifBuilder(uint16_t screenWidth, uint16_t screenHeight, const Bytes& globalTable, uint8_t background = 0,
               const char* version = "89a");
    // Graphic control extension; the transparency flag set when index >= 0.
    GifBuilder& graphicControl(int transparentIndex);
    // Image descriptor, local table, and LZW data in full sub-blocks.
    GifBuilder& image(const GifImagePart& part);
    GifBuilder& trailer();
    Bytes bytes;
};

// Colour table bytes from 0xRRGGBB values, padded with black to a power of two.
Bytes colourTable(const std::vector<uint32_t>& colours);

// ---- Loading ----

struct Loaded {
    bool ok = false;
    RgbaImage image;
    bool hasAlpha = false;
    int32_t transparentColour = -2;   // untouched marker
};

Loaded loadPngBytes(const Bytes& file);
// The PNG reader with extended input (PngReadOptions::extendedInput).
Loaded loadPngBytesExtended(const Bytes& file);
Loaded loadPngPathExtended(const std::string& path);
Loaded loadGifBytes(const Bytes& file);
Loaded loadPngPath(const std::string& path);
Loaded loadGifPath(const std::string& path);

// RGBA of pixel (x, y) as 0xRRGGBBAA.
uint32_t rgbaAt(const RgbaImage& image, uint32_t x, uint32_t y);

// Applies PNG filter `type` (0-4) to every row of unfiltered samples (no
// filter bytes in `rows`), bpp bytes per complete pixel; returns the rows with
// their filter-type bytes.
Bytes filterRows(const Bytes& rows, uint32_t rowSampleBytes, uint32_t height, uint32_t bpp, uint8_t type);
// PLTE chunk data from 0xRRGGBB values (exactly as many entries).
Bytes plteData(const std::vector<uint32_t>& colours);

// Compares a loaded image with a reference decode (8-bit RGBA, transparency
// as alpha). An image that carries alpha must match exactly. An opaque image
// must match in red, green and blue, and the reference's transparent pixels
// must be exactly those whose colour is the reported transparent colour.
::testing::AssertionResult samePixels(const Loaded& ours, const RgbaImage& reference);
