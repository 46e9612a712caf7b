#pragma once
// The colours of invisible pixels (alpha 0) chosen for compression
// (OPT_CLEAN_ALPHA): every pixel with alpha above 0 keeps its exact colour
// and alpha, every invisible pixel stays invisible.
//
// A picture whose visible pixels are all opaque, with a colour that none of
// them has, becomes an opaque picture with that colour as its transparent
// colour (every invisible pixel that colour, so a palette holds them in one
// entry, or RGB in a tRNS key). Any other picture with invisible pixels
// keeps its alpha, and their colour becomes the one that measures smallest
// among: zero everywhere, or for one filter type the colour that filter
// predicts from the pixels before (so the filtered bytes are zeros); with
// the extended search a picture whose zeroed form has at most 256 colours
// takes that form, which merges the invisible colours into one palette entry.
//
// Deterministic; any thread.

#include <cstdint>
#include <vector>

#include "engine/png_optimizer.h"

struct CleanedPicture {
    std::vector<uint8_t> pixels;      // as ConvertRequest::pixels: bottom row first, BGRA
    int32_t transparentColour = -1;   // 0x00RRGGBB or -1
    int16_t hasAlpha = 0;
};

// The cleaned picture of request's picture; false when it has no invisible
// pixel whose colour could change (no alpha, or a transparent colour that
// already names them all) or memory is refused.
bool cleanInvisiblePixels(const ConvertRequest& request, CleanedPicture& cleaned);
