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

// A 16-bit PNG of picture's samples in colour type 0 (grey: the red
// samples), 2 (RGB), 4 (grey+alpha: red and alpha) or 6 (RGBA), every row
// unfiltered, compressed at zlib's level 6, with a tRNS chunk of the 16-bit
// samples of key (red for grey; red, green, blue for RGB) when key is not
// null. Empty if zlib fails.
std::vector<uint8_t> encodePng16(const Rgba16Image& picture, uint8_t colourType, const uint16_t* key = nullptr);

// An animated PNG of `frames` frames (acTL, then fcTL with IDAT for the
// first frame and fcTL with fdAT for the others), each the whole RGB picture
// stored without compression, so any optimizer could shrink it.
std::vector<uint8_t> encodeAnimatedPng(const RgbaImage& picture, int frames);
