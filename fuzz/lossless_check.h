#pragma once
// The lossless property of a conversion: the PNG written for an image decodes
// (with libpng) to exactly the image's pixels.
//
// What "exactly" means follows from what the optimizer is asked to keep. With
// hasAlpha every byte counts, alpha included. Without it the colour bytes
// count and the alpha bytes of the source do not: every pixel is opaque except
// those whose colour is the transparent colour, which decode with alpha 0.

#include <cstdint>
#include <string>

#include "tests/common/test_support.h"

// The picture the output must decode to, as RGBA rows from the top. pixels is
// DibImage memory: rows bottom-up, bytes blue, green, red, alpha.
RgbaImage expectedConversionPixels(const uint8_t* pixels, int32_t width, int32_t height, bool hasAlpha,
                                   int32_t transparentColour);

// Empty when the two pictures are equal, else where they first differ.
std::string comparePictures(const RgbaImage& expected, const RgbaImage& actual);

// Decodes the PNG at path with libpng and compares it with the expected
// picture of the source. Empty when equal.
std::string checkLosslessFile(const std::string& pngPath, const uint8_t* pixels, int32_t width, int32_t height,
                              bool hasAlpha, int32_t transparentColour);
