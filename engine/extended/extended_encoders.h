#pragma once
// The deflate encoders of the extended search: zlib with each of its
// strategies (every candidate screened at a fast level, the rows streamed into
// the compressor; extended_encoders.cpp), and the optimal-parsing encoders:
// libdeflate level 12, which ranks the finalists, and zopfli in one piece
// (extended_encoders_optimal.cpp; every build links both; the search itself
// runs zopfli in parts, zopfli_parts.h).
//
// Every function uses its own state, so calls may run on several threads at
// once. All produce complete zlib streams (header and Adler-32 included).

#include <atomic>
#include <cstdint>
#include <vector>

#include "engine/extended/extended_filters.h"

// Length of the zlib stream (window bits 15, memory level 9, level 1 to 9) of
// the image filtered by types, the rows filtered into the compressor piece by
// piece; encoder is ENCODER_ZLIB to ENCODER_ZLIB_RLE. 0 on failure, or when
// stop became true on the way.
uint32_t zlibPlannedLength(const PackedRows& image, const std::vector<uint8_t>& types,
                           int32_t encoder, int level, const std::atomic<bool>& stop);

// The zlib stream of data with the same parameters at level 9. False on failure.
bool zlibEncode(const uint8_t* data, uint32_t size, int32_t encoder, std::vector<uint8_t>& out);

// zopfli with `iterations` rounds of its optimal parsing. False on failure.
bool zopfliEncode(const uint8_t* data, uint32_t size, int32_t iterations, std::vector<uint8_t>& out);

// libdeflate at `level` (1 to 12). False on failure.
bool libdeflateEncode(const uint8_t* data, uint32_t size, std::vector<uint8_t>& out, int level = 12);
