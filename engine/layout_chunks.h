#pragma once
// The chunks kept from an input whose meaning depends on the encoding (sBIT,
// bKGD, hIST; core/kept_chunks.h), rewritten exactly for the format a new
// file takes, or left out where that format cannot express them:
// - sBIT: each output channel's significant bits as the input's, capped at
//   the output's sample depth (a grey output takes the largest of the
//   input's red, green and blue; a channel the input lacks counts as the
//   output's full depth);
// - bKGD: the same colour in the output's terms: a palette entry of that
//   colour, or a grey or RGB sample the output's depth holds exactly;
// - hIST: the input palette's frequencies moved to the output palette's
//   entries (entries of equal colour and alpha, or both fully transparent,
//   summed); a file without a palette leaves it out.
// A chunk that is malformed for the input's own encoding is left out too.
//
// Stateless; any thread.

#include <cstdint>

struct KeptChunkSet;
struct PngFormat;

struct LayoutChunkData {
    uint8_t significantBits[4] = {};
    uint32_t significantBitsBytes = 0;   // 0: no sBIT chunk
    uint8_t background[6] = {};
    uint32_t backgroundBytes = 0;        // 0: no bKGD chunk
    uint8_t histogram[512] = {};
    uint32_t histogramBytes = 0;         // 0: no hIST chunk
    uint16_t dropped = 0;                // LAYOUT_CHUNK_* bits of the set's chunks left out
};

LayoutChunkData layoutChunksFor(const KeptChunkSet& set, const PngFormat& format);
