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
// A PNG chunk: length, type, data and CRC.
void appendPngChunk(std::vector<uint8_t>& out, const char* type, const std::vector<uint8_t>& data);

// A bottom-up 24-bit BMP (40-byte header) of picture; alpha is dropped.
std::vector<uint8_t> encodeBmp24(const RgbaImage& picture);

// A PNG of picture, RGBA (colour type 6) or RGB (2), every row unfiltered,
// its image data compressed at zlibLevel (0 stores it: a file the optimizer
// can always make smaller). Empty if zlib fails.
std::vector<uint8_t> encodePng(const RgbaImage& picture, bool withAlpha, int zlibLevel);

// An animated PNG of `frames` frames (acTL, then fcTL with IDAT for the
// first frame and fcTL with fdAT for the others), each the whole RGB picture
// stored without compression, so any optimizer could shrink it.
std::vector<uint8_t> encodeAnimatedPng(const RgbaImage& picture, int frames);
