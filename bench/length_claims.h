#pragma once
// A differential check of the known-length shortcuts: every pair of deflate
// parameters that sameLengthParams takes as equal is compressed both ways with
// the linked zlib, on data of the kinds the search compresses, and every pair
// whose lengths differ is a counterexample.
//
// Sources: the trial data the optimizer itself compresses (filtered rows of
// run-heavy pictures packed at 1, 2, 4 and 8 bits, and of any picture given),
// raw buffers (random bytes, a reproducer file). Each source is cut at many
// prefix lengths, from 1 byte to all of it, dense around the lengths where a
// rule starts or stops to apply, up to 96 KiB. For every prefix all 48 parameter pairs
// (window bits 8 to 15, memory level 4 to 9) are compressed once.

#include <cstdint>
#include <string>
#include <vector>

struct ConvertRequest;

// Maps (windowBits, memLevel) to the pair whose length it claims equal, for
// `length` bytes of input; sameLengthParams is the one under test.
using LengthClaimMapping = void (*)(uint32_t length, int32_t& windowBits, int32_t& memLevel);

struct ClaimSource {
    std::string name;
    std::vector<uint8_t> data;
};

struct ClaimSweepCounts {
    uint64_t sources = 0;
    uint64_t prefixes = 0;
    uint64_t compressions = 0;
    uint64_t claims = 0;                 // pairs mapped to another pair, each checked
    uint64_t windowClaims = 0;           // ... of which change the window bits
    uint64_t memLevelClaims = 0;         // ... of which change the memory level
    uint64_t counterexamples = 0;
    std::vector<std::string> examples;   // the first few counterexamples, described
};

// Appends the distinct buffers the optimizer compresses for request (its
// filter and parameter trials at every bit depth it tries), named name/N.
void addTrialData(const ConvertRequest& request, const std::string& name,
                  std::vector<ClaimSource>& sources);

// Appends the trial data of `count` generated pictures: few colours (2, 4, 16
// or up to 256, so the rows pack at 1, 2, 4 and 8 bits) in long runs of
// rectangles, lines and bands, of sizes up to maxSide pixels a side.
void addRunHeavyPictures(int count, int32_t maxSide, uint32_t seed,
                         std::vector<ClaimSource>& sources);

// Appends `count` buffers of random bytes of up to maxBytes, some drawn from
// a few symbols only.
void addRandomBytes(int count, uint32_t maxBytes, uint32_t seed, std::vector<ClaimSource>& sources);

// Prefix lengths of a size-byte source: the rule thresholds and their
// neighbours, short lengths, `spread` lengths spread over the rest, and size,
// all up to 96 KiB.
std::vector<uint32_t> claimPrefixLengths(uint32_t size, int spread, uint32_t seed);

// Checks every claim of mapping on every prefix of every source, on `threads`
// threads. spread as for claimPrefixLengths.
ClaimSweepCounts sweepLengthClaims(const std::vector<ClaimSource>& sources,
                                   LengthClaimMapping mapping, int spread, unsigned threads);
