#pragma once
// Bounds for every size computed from file data or image dimensions.
//
// All such sizes go through checkedMul/checkedAdd so that a hostile header can
// never make a buffer smaller than the code that fills it believes it is.

#include <cstdint>

// The largest single block the program allocates for image data: sizes travel in
// signed 32-bit fields (ConvertRequest::dataSize, PngInfo::rowBytes), so 2^31 - 1.
constexpr uint32_t kMaxBlockBytes = 0x7FFFFFFFu;

// The largest ancillary chunk a conversion keeps from its input (-kc), data
// bytes; a larger one is left out. Far above any real profile, text or EXIF block.
constexpr uint32_t kMaxKeptChunkBytes = 16u << 20;

// Stores a * b in out and returns true when the product is at most limit;
// returns false and leaves out unchanged otherwise.
inline bool checkedMul(uint32_t a, uint32_t b, uint32_t& out, uint32_t limit = kMaxBlockBytes)
{
    const uint64_t product = static_cast<uint64_t>(a) * b;
    if (product > limit)
        return false;
    out = static_cast<uint32_t>(product);
    return true;
}

// Stores a + b in out and returns true when the sum is at most limit;
// returns false and leaves out unchanged otherwise.
inline bool checkedAdd(uint32_t a, uint32_t b, uint32_t& out, uint32_t limit = kMaxBlockBytes)
{
    const uint64_t sum = static_cast<uint64_t>(a) + b;
    if (sum > limit)
        return false;
    out = static_cast<uint32_t>(sum);
    return true;
}
