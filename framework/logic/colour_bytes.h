#pragma once
// Colour word conversions between the two byte orders the programs use:
// 0x00RRGGBB (a pixel word of the image without its alpha byte) and the
// platform's COLORREF 0x00BBGGRR. Both directions exchange the red and blue
// bytes, keep green and drop the top byte.

#include <cstdint>

uint32_t colourRefFromRgb(uint32_t rgb);
uint32_t rgbFromColourRef(uint32_t colourRef);
