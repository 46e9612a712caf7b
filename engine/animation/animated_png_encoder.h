#pragma once
// The animated PNG of an animation: one colour layout exact for every frame,
// each frame's rows encoded by the caller's search, and the file's chunks
// (IHDR, acTL, PLTE, tRNS, the hidden default image's IDAT, then fcTL with
// IDAT or fdAT per frame, sequence numbers from 0, IEND).
//
// Two framings are weighed, by the zlib length of their rows at a fast
// level, and the smaller is written:
//  - the frames as given (rectangles, delays and operations kept; the colour
//    of a pixel that BLEND_OVER leaves unseen, alpha 0, becomes 0);
//  - the frames as shown, re-framed: the first frame whole, each later one
//    the rectangle that changed since the frame before (DISPOSE_NONE, the
//    same delay), BLEND_SOURCE, or BLEND_OVER with the unchanged pixels
//    transparent where every changed pixel is opaque (whichever screens
//    smaller). Not offered when the canvas shows a rounded partial-alpha
//    composite (AnimationCanvas::roundingDependent), whose pixels a viewer
//    need not reproduce exactly.
// Both render every frame as the input renders it. Deterministic: nothing
// depends on the thread count.

#include <cstdint>
#include <functional>
#include <vector>

#include "core/animation.h"
#include "core/byte_buffer.h"
#include "engine/extended/extended_filters.h"

// Encodes one frame's rows (unfiltered, each a 0 type byte first) into a
// complete zlib stream; bitsPerPixel for the filters' pixel distance. False
// on failure or cancellation.
using FrameRowsEncoder =
    std::function<bool(const PackedRows& rows, int32_t bitsPerPixel, std::vector<uint8_t>& stream)>;

// What was written.
struct AnimatedPngChoice {
    int32_t layout = 0;          // ExtendedLayout
    int32_t depth = 0;           // bits per sample
    int32_t paletteOrder = 0;    // PaletteOrder
    uint32_t frames = 0;         // fcTL chunks
    bool reframed = false;       // the frames as shown, re-framed
    uint32_t dataBytes = 0;      // IDAT and fdAT data, sequence numbers excluded
};

// The whole file into png (released first). threads: the screening's
// workers (1: the calling thread). cancelled is polled between frames.
// False on failure, cancellation, or an animation whose frames lie outside
// its canvas.
bool encodeAnimatedPng(const Animation8& animation, unsigned threads, const FrameRowsEncoder& encode,
                       const std::function<bool()>& cancelled, AppendBuffer& png, AnimatedPngChoice& choice);
