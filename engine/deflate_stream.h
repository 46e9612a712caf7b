#pragma once
// Compression of the filtered rows into one zlib stream, as measured by the
// search and as written into the IDAT chunk. Both use this one loop, so the
// measured length is exactly the length written.
//
// The input may arrive in pieces: without flushing, zlib's output does not
// depend on how its input is split across deflate calls, so a stream fed row
// by row equals one fed the whole image at once.
//
// Window bits 8 is passed to zlib as it is; zlib 1.2.9 and later treat it as 9,
// so a trial at 8 then measures the same as one at 9 (and the search keeps 9).

#include <cstdint>

// Size of the buffer that every compressed piece passes through.
constexpr uint32_t kDeflateScratchBytes = 32768;

// Receives one piece of compressed output (count is never 0). False stops the
// compression as failed.
using DeflateSink = bool (*)(const uint8_t* bytes, uint32_t count, void* context);

// Hands out the next piece of input: sets piece and count, count 0 meaning the
// input is complete. False stops the compression as failed. A piece stays
// valid until the next call.
using DeflateSource = bool (*)(void* context, const uint8_t*& piece, uint32_t& count);

// Compresses the input that source hands out at level 9, method 8, default
// strategy, with windowBits and memLevel, passing the output to sink (may be
// null) in pieces of at most scratchBytes through scratch. Stores the stream's
// length in total. False on any zlib error, a source or sink failure, or a
// length above kMaxBlockBytes.
bool deflateFrom(DeflateSource source, void* sourceContext, int32_t windowBits, int32_t memLevel,
                 uint8_t* scratch, uint32_t scratchBytes, DeflateSink sink, void* sinkContext,
                 uint32_t& total);

// deflateFrom with size bytes of data as its one piece of input.
bool deflateThrough(const uint8_t* data, uint32_t size, int32_t windowBits, int32_t memLevel,
                    uint8_t* scratch, uint32_t scratchBytes, DeflateSink sink, void* context,
                    uint32_t& total);

// The length of data compressed as above; 0 for failure. Uses a scratch buffer
// of its own per call, so calls may run on several threads at once.
uint32_t measureDeflate(const uint8_t* data, uint32_t size, int32_t windowBits, int32_t memLevel);

// Deflate parameters that give exactly the same stream length as (windowBits,
// memLevel) for every input of `length` bytes, chosen as the largest window
// bits and then the largest memory level of their class. Two trials on the
// same data whose parameters map to the same pair need only one compression.
// The classes follow from how zlib's level-9 compressor works:
//  - window bits 8 is taken as 9 (zlib 1.2.9 and later);
//  - when length <= 2^w - 262 no match can reach the window's distance limit,
//    so window bits w behaves as 15;
//  - only then, when length is also below 1024 (the shortest chain budget of
//    level 9), no hash chain is ever cut short, so hash collisions cost
//    nothing and the matches do not depend on the memory level; a memory
//    level whose symbol buffer (2^(m+6) - 1 symbols) never fills then emits
//    the same single block, so all such levels behave as 9.
// The memory level does matter whenever a match could lie exactly 2^w - 262
// back: the compressor accepts that distance for the newest position of a
// hash chain but stops walking a chain just before it, so such a match is
// found only when no other string shares its hash since. The hash keeps
// memLevel + 7 bits and drops a different part of the first byte at each
// level, so which strings collide, and with them the stream, changes with the
// memory level. Claims are checked against zlib by bench/length_claims_sweep.
// Only applied to the zlib releases these rules were verified on (1.2.9 to
// 1.3.x, checked at run time); any other zlib gets every pair unchanged.
void sameLengthParams(uint32_t length, int32_t& windowBits, int32_t& memLevel);
