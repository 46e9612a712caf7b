#pragma once
// Row filter plans of the extended search: the filter type of every row for
// each FilterStrategy, and the rows filtered by such a plan.
//
// Rows are given as the packed image (height rows of stride bytes, each a
// type byte and its data). Pure functions; safe on several threads at once.

#include <cstdint>
#include <vector>

struct PackedRows {
    const uint8_t* rows = nullptr;
    uint32_t stride = 0;          // bytes per row, type byte included
    uint32_t height = 0;
    uint32_t bytesPerPixel = 1;   // filter distance, filterBytesPerPixel of the bits per pixel
};

// The filter type (0 to 4) of every row for a strategy (FilterChoice 0 to 5 or
// FILTER_ENTROPY, FILTER_COMPRESSED, FILTER_LIBDEFLATE). False when memory or
// zlib fails.
//  - FILTER_ENTROPY: the type whose filtered bytes have the smallest
//    order-0 entropy (byte histogram of the row, in fixed point);
//  - FILTER_COMPRESSED: the type whose row adds the fewest bytes to a zlib
//    stream that has the rows chosen so far as its history (a window of up to
//    kCompressedPlanHistory bytes of them, given as a preset dictionary);
//  - FILTER_LIBDEFLATE: planFiltersByLibdeflate at kLibdeflatePlanLevel.
bool planFilters(const PackedRows& image, int32_t strategy, std::vector<uint8_t>& types);

// The FILTER_MIN_SUM and the FILTER_ENTROPY plans in one pass over each row's
// five filtered versions, into those not null. False when memory is short.
bool planRowHeuristics(const PackedRows& image, std::vector<uint8_t>* minSum, std::vector<uint8_t>* entropy);

// History given to FILTER_COMPRESSED's trial compressions.
constexpr uint32_t kCompressedPlanHistory = 8192;

// The plan that gives each row the type whose filtered row adds the fewest
// bytes to a libdeflate stream (at level, 1 to 12) after the last
// kLibdeflatePlanHistory bytes of the rows chosen before it. False when memory
// is short or the level is refused.
bool planFiltersByLibdeflate(const PackedRows& image, int level, std::vector<uint8_t>& types);

// FILTER_LIBDEFLATE's level: level 12 costs some 50 times as much for the same plans.
constexpr int kLibdeflatePlanLevel = 6;

// History given to planFiltersByLibdeflate's trial compressions: deflate's window.
constexpr uint32_t kLibdeflatePlanHistory = 32768;

// Filters row `row` by its planned type into destination (stride bytes, type byte first).
void filterPlannedRow(const PackedRows& image, const std::vector<uint8_t>& types, uint32_t row,
                      uint8_t* destination);

// The whole image filtered by a plan. False when memory is short.
bool filterByPlan(const PackedRows& image, const std::vector<uint8_t>& types,
                  std::vector<uint8_t>& filtered);
