#pragma once
// Simple image files built in memory for the tests: a 24-bit BMP and an
// unfiltered RGB or RGBA PNG of a picture, written independently of the code
// under test.

#include <cstdint>
#include <vector>

#include "tests/common/test_support.h"

// Little-endian and big-endian integers appended to a byte vector.
void appendLE16(std::vector<uint8_t>& out, uint32_t value);
void appendLE32(std::vector<uint8_t>& out, uint32_t value);
void appendBE32(std::vector<uint8_t>& out, uint32_t value);

// A bottom-up 24-bit BMP (40-byte header) of picture; alpha is dropped.
std::vector<uint8_t> encodeBmp24(const RgbaImage& picture);

// A PNG of picture, RGBA (colour type 6) or RGB (2), every row unfiltered,
// its image data compressed at zlibLevel (0 stores it: a file the optimizer
// can always make smaller). Empty if zlib fails.
std::vector<uint8_t> encodePng(const RgbaImage& picture, bool withAlpha, int zlibLevel);
