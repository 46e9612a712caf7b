#include "framework/logic/colour_bytes.h"

namespace {

uint32_t swapRedBlue(uint32_t word)
{
    return ((word & 0xFFu) << 16) | (word & 0xFF00u) | ((word >> 16) & 0xFFu);
}

}  // namespace

uint32_t colourRefFromRgb(uint32_t rgb)
{
    return swapRedBlue(rgb);
}

uint32_t rgbFromColourRef(uint32_t colourRef)
{
    return swapRedBlue(colourRef);
}
