#pragma once
// The extended search (OPT_EXTENDED_SEARCH), run by PngOptimizer::convert
// after the default search (before none at level 1 on larger pictures; see
// ExtendedLevel):
//  1. every exact layout of the picture (extended_layouts.h), palettes in
//     each PaletteOrder;
//  2. for each, the row filters of every FilterStrategy (extended_filters.h;
//     the row-by-row plans from level 2 on);
//  3. every (layout, filter) candidate screened by its zlib length at a fast
//     level; the best few, and the libdeflate-scored plans
//     (FILTER_LIBDEFLATE), ranked by libdeflate level 12 (small rows also by
//     zlib's Huffman-only strategy; at level 1 also by zlib level 9);
//  4. from level 2 on, the pairs libdeflate ranked first (the leader, and
//     close seconds as the level allows) encoded by zopfli, in parts cut at
//     zopfli's own block boundaries side by side on every core
//     (zopfli_parts.h), unless at level 2 a probe on the data's middle
//     shows zopfli gaining nothing over libdeflate (photos); the iterations
//     fall as the data grows.
// The compressions of each stage run on the worker threads the conversion
// was given (workerThreadCount); results and events do not depend on the
// count: every choice (part counts included) follows from the data alone.

#include <cstdint>
#include <vector>

#include "engine/extended/extended_filters.h"
#include "engine/png_file.h"
#include "engine/png_optimizer.h"

// What the extended search chose: how its file stores the picture (the
// picture's size and the kept chunks aside), and how the IDAT data was made.
struct ExtendedChoice {
    int32_t layout = LAYOUT_DEFAULT;   // ExtendedLayout; LAYOUT_DEFAULT: the default's file stays
    int32_t depth = 0;                 // bits per sample of the layout
    int32_t paletteOrder = ORDER_NONE;
    std::vector<uint8_t> palette;        // PLTE data; empty for none
    std::vector<uint8_t> transparency;   // tRNS data; empty for none
    std::vector<uint8_t> filterPlan;     // the filter type of each row
    int32_t filterStrategy = 0;          // FilterStrategy that planned them
    int32_t encoder = ENCODER_ZLIB;      // DeflateEncoder
    int32_t encoderIterations = 0;       // zopfli's, else 0
    int32_t encoderParts = 0;            // zopfli's, else 0
    std::vector<uint8_t> stream;         // the IDAT data

    // The file's format; it points into this choice.
    PngFormat format() const;
};

// Observes the stages of the extended search, for measurement only: called
// on the converting thread as each stage ends, with the stage's name (a
// string literal). Nothing the search chooses depends on it. Set it before
// a conversion starts, not during; null (the default) observes nothing.
using ExtendedStageObserver = void (*)(const char* stage, void* context);
void setExtendedStageObserver(ExtendedStageObserver observer, void* context);

// zopfli's iterations for `dataBytes` of filtered rows when the request asks
// for none: 15 for small data, fewer as it grows, at least 5.
int32_t automaticZopfliIterations(uint64_t dataBytes);

// Runs the extended stages on request's picture with `threads` worker
// threads (1: all on the calling thread). request.fileSize holds the default
// search's file size (kept chunks included). When a candidate's complete file
// (describePngFile of its format) is smaller, returns it in `choice`;
// otherwise leaves `choice` empty (LAYOUT_DEFAULT, no stream). Writes nothing
// into the request; emits the extended progress events through its callback
// and polls its cancel flag. False on cancellation or failure.
bool runExtendedSearch(const ConvertRequest& request, unsigned threads, ExtendedChoice& choice);

// The same stages from the filters on, on rows already laid out (one
// animation frame's): every filter strategy of the level, the finalists and
// zopfli as the level says, for request's level, iterations, progress and
// cancel flag (its picture fields are not read; width and height size the
// files compared, which differ by the stream alone). Fills choice's filter,
// encoder and stream (its layout fields stay LAYOUT_DEFAULT). False on
// cancellation or failure.
bool runExtendedRowsSearch(const ConvertRequest& request, const PackedRows& rows, unsigned threads,
                           ExtendedChoice& choice);
