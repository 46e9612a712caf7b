#pragma once
// The extended search (OPT_EXTENDED_SEARCH), run by PngOptimizer::convert
// after the default search:
//  1. every exact layout of the picture (extended_layouts.h), palettes in
//     each PaletteOrder;
//  2. for each, the row filters of every FilterStrategy (extended_filters.h);
//  3. every (layout, filter) candidate ranked by its zlib length at level 9,
//     first with the default strategy, then the best ones with zlib's
//     filtered, Huffman-only and RLE strategies too;
//  4. the best few encoded again with zopfli and libdeflate level 12
//     (extended_encoders.h), zopfli's iterations falling as the data grows.
// The compressions of each stage run on one worker per core
// (configuredWorkerCount); results and events do not depend on the count.

#include <cstdint>
#include <vector>

#include "engine/png_file.h"
#include "engine/png_optimizer.h"

// What the extended search chose: everything its file holds besides the
// picture's size and the kept chunks, and how the IDAT data was made.
struct ExtendedChoice {
    int32_t layout = LAYOUT_DEFAULT;   // ExtendedLayout; LAYOUT_DEFAULT: the default's file stays
    int32_t depth = 0;                 // bits per sample of the layout
    int32_t paletteOrder = ORDER_NONE;
    uint8_t bitDepth = 0;              // IHDR
    uint8_t colourType = 0;
    std::vector<uint8_t> palette;        // PLTE data; empty for none
    std::vector<uint8_t> transparency;   // tRNS data; empty for none
    std::vector<uint8_t> filterPlan;     // the filter type of each row
    int32_t filterStrategy = 0;          // FilterStrategy that planned them
    int32_t encoder = ENCODER_ZLIB;      // DeflateEncoder
    int32_t encoderIterations = 0;       // zopfli's, else 0
    std::vector<uint8_t> stream;         // the IDAT data
};

// The file of a choice for request's picture, kept chunks included; its IDAT
// data is choice.stream.
PngFile extendedPngFile(const ConvertRequest& request, const ExtendedChoice& choice);

// Whether request.keptChunks holds nothing but whole ancillary chunks
// (other than tRNS) with correct lengths and CRCs, filling keptChunksSize exactly.
bool extendedChunksValid(const ConvertRequest& request);

// zopfli's iterations for `dataBytes` of filtered rows when the request asks
// for none: 15 for small data, fewer as it grows, at least 1.
int32_t automaticZopfliIterations(uint64_t dataBytes);

// Filtered data above this many bytes goes to libdeflate alone, not zopfli.
constexpr uint64_t kZopfliMaxBytes = 4u << 20;

// Runs the extended stages on request's picture. request.fileSize holds the
// default search's file size (kept chunks included). When a candidate's
// complete file is smaller, stores it in `choice` and sets dataSize, fileSize
// and the extended out fields from it; otherwise leaves `choice` empty
// (LAYOUT_DEFAULT, no stream) and sets extendedLayout to LAYOUT_DEFAULT.
// Emits the extended progress events and polls the cancel flag. False on
// cancellation or failure.
bool runExtendedSearch(ConvertRequest& request, ExtendedChoice& choice);
