#pragma once
// Colour analysis: counts an image's colours, builds its palette, chooses the
// PNG bit depth and packs the pixels into unfiltered PNG rows.
//
// The image is read from a ConvertRequest (pixels bottom row first, bytes
// blue, green, red, alpha). Colours compare on blue, green and red only.
// Stateless functions; safe to call from any thread on distinct buffers.

#include <cstdint>

#include "engine/png_optimizer.h"

class ByteBuffer;

// Bytes of a palette buffer: 256 entries of red, green, blue.
constexpr uint32_t kPaletteBytes = 768;
constexpr int32_t kMaxPaletteEntries = 256;

// Fills palette (kPaletteBytes, cleared by the caller) with the image's colours
// in order of first appearance in memory order (bottom row first, left to
// right). Entry 0 then holds the transparent colour when it is set and occurs,
// or, with no transparent colour set, the most frequent colour (the lowest
// entry among equals). Returns the number of colours, or 0 when there are more
// than 256 (the palette content is then of no use).
int32_t buildPalette(const ConvertRequest& request, uint8_t* palette);

// 32 when request.hasAlpha (palette and colourCount untouched); otherwise builds
// the palette, stores its colour count in colourCount and returns 24 for more
// than 256 colours, 8 for 17 to 256, 4 for 5 to 16, 2 for 3 or 4, 1 for 1 or 2.
int32_t chooseBitDepth(const ConvertRequest& request, uint8_t* palette, int32_t& colourCount);

// Bytes of one packed row at bitDepth for width pixels, the leading filter-type
// byte included; 0 when width is not positive, bitDepth is not one of 1, 2, 4,
// 8, 24, 32, or the stride would exceed kMaxBlockBytes.
uint32_t rowStride(int32_t bitDepth, int32_t width);

// height * stride in imageBytes; false when height is not positive or the
// product exceeds kMaxBlockBytes.
bool imageByteCount(int32_t height, uint32_t stride, uint32_t& imageBytes);

// Packs the image at bitDepth into destination (allocated here, cleared):
// height rows of stride bytes, top image row first, each a 0 filter-type byte
// followed by the pixels (palette indices for depths up to 8, red green blue
// for 24, red green blue alpha for 32). A pixel whose colour is not among the
// colourCount palette entries gets index 0. Stores the stride. False when the
// size is refused, colourCount does not fit bitDepth, or the buffer cannot be
// allocated.
bool packRows(const ConvertRequest& request, const uint8_t* palette, int32_t colourCount,
              int32_t bitDepth, ByteBuffer& destination, uint32_t& stride);
