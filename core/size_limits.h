#pragma once
// Bounds for every size computed from file data or image dimensions.
//
// All such sizes go through checkedMul/checkedAdd so that a hostile header can
// never make a buffer smaller than the code that fills it believes it is.

#include <cstdint>

// The largest single block the program allocates for image data: sizes travel in
// signed 32-bit fields (ConvertRequest::dataSize, PngInfo::rowBytes), so 2^31 - 1.
constexpr uint32_t kMaxBlockBytes = 0x7FFFFFFFu;

// The most bytes one byte of deflate data can inflate to: a match of 258
// bytes coded in two bits.
constexpr uint32_t kDeflateMaxExpansion = 1032;

// A compressed picture may end early and load with its missing rows as zeros,
// but only while the pixels that its remaining bytes cannot reach, even at
// kDeflateMaxExpansion, stay within this bound (4 MiB as 32-bit pixels).
// Beyond it the file is a header without the data it claims, and is refused
// before the picture is allocated, so the work stays in proportion to the file.
constexpr uint32_t kMaxUnreachablePixels = 1u << 20;

// Whether a picture of pixelCount pixels, stored as storedBytes inflated bytes
// from at most dataBytes of deflate data, has few enough pixels out of the
// data's reach to load (see kMaxUnreachablePixels).
inline bool dataCanReachPicture(uint64_t dataBytes, uint32_t storedBytes, uint32_t pixelCount)
{
    if (dataBytes >= storedBytes)
        return true;
    const uint64_t reach = dataBytes * kDeflateMaxExpansion;   // below 2^43
    if (reach >= storedBytes)
        return true;
    const uint64_t unreachablePixels = (storedBytes - reach) * pixelCount / storedBytes;
    return unreachablePixels <= kMaxUnreachablePixels;
}

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
