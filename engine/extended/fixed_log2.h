#pragma once
// Base-2 logarithms in fixed point (16 fraction bits) by integer arithmetic
// alone, so that choices made on them are the same on every machine and
// compiler. Thread-safe.

#include <cstdint>

// log2 z for z in [1, 2), given with 30 fraction bits: its 16 fraction bits.
uint32_t fractionLog2(uint64_t z);

// log2 x for x >= 1 with 16 fraction bits (0 for 0): exact to those bits below
// 2^14, from the top 14 bits of x above (off by less than 2^-13).
uint32_t fixedLog2(uint32_t x);

// The sum of c log2 c over the counts c (16 fraction bits): for counts of a
// fixed total, the higher the sum, the lower their order-0 entropy.
uint64_t countLog2Sum(const uint32_t* counts, uint32_t size);
