#pragma once
// Compression of the filtered rows into one zlib stream, as measured by the
// search and as written into the IDAT chunk. Both use this one loop, so the
// measured length is exactly the length written.
//
// Window bits 8 is passed to zlib as it is; zlib 1.2.9 and later treat it as 9,
// so a trial at 8 then measures the same as one at 9 (and the search keeps 9).

#include <cstdint>

// Size of the buffer that every compressed piece passes through.
constexpr uint32_t kDeflateScratchBytes = 32768;

// Receives one piece of compressed output (count is never 0). False stops the
// compression as failed.
using DeflateSink = bool (*)(const uint8_t* bytes, uint32_t count, void* context);

// Compresses size bytes of data at level 9, method 8, default strategy, with
// windowBits and memLevel, passing the output to sink (may be null) in pieces
// of at most scratchBytes through scratch (kDeflateScratchBytes bytes for the
// program's streams). Stores the stream's length in total. False on any zlib
// error, a sink failure, or a length above kMaxBlockBytes.
bool deflateThrough(const uint8_t* data, uint32_t size, int32_t windowBits, int32_t memLevel,
                    uint8_t* scratch, uint32_t scratchBytes, DeflateSink sink, void* context,
                    uint32_t& total);

// The length of data compressed as above; 0 for failure. Uses a scratch buffer
// of its own per call, so calls may run on several threads at once.
uint32_t measureDeflate(const uint8_t* data, uint32_t size, int32_t windowBits, int32_t memLevel);
