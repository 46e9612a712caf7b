#pragma once
// The exact layouts of the extended search: the picture a decoder must show
// (ExactPicture), what its colours allow (ColourFacts), every PNG layout that
// stores it without loss (Layout), the palette orders, and the rows and
// chunks of one layout.
//
// Pure functions over their arguments; safe on several threads at once.

#include <cstdint>
#include <vector>

#include "engine/png_optimizer.h"

// The picture the written file must decode to, top row first, one
// 0xRRGGBBAA value per pixel. From a request: with hasAlpha the pixels'
// alpha as it is (colour kept under every alpha); without it, alpha 0 for
// the pixels of transparentColour (when set) and 255 for all others.
struct ExactPicture {
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<uint32_t> rgba;
};

// False when the request's sizes are refused (see colour_analysis.h) or the
// memory cannot be had.
bool exactPicture(const ConvertRequest& request, ExactPicture& picture);

struct ColourFacts {
    bool opaque = true;          // every alpha 255
    bool binaryAlpha = true;     // every alpha 0 or 255
    bool grey = true;            // every pixel's red, green and blue equal (transparent ones too)
    int32_t greyDepth = 0;       // smallest grey depth (1, 2, 4, 8) holding every grey value; 0 when not grey
    // The transparent pixels (alpha 0) share one colour that no opaque pixel
    // has, and every alpha is 0 or 255: a tRNS key can mark them.
    bool keyUsable = false;
    uint32_t keyRgba = 0;        // that colour, alpha 0
    // Distinct RGBA values in first appearance, with their pixel counts;
    // both empty when there are more than 256.
    std::vector<uint32_t> colours;
    std::vector<uint32_t> counts;
    // With colours: each pixel's index into colours, top row first.
    std::vector<uint8_t> indices;
};

bool analyseColours(const ExactPicture& picture, ColourFacts& facts);

struct Layout {
    int32_t kind = LAYOUT_RGBA;      // ExtendedLayout
    int32_t depth = 8;               // bits per sample
    int32_t order = ORDER_NONE;      // PaletteOrder of a palette
    std::vector<uint8_t> paletteIndex;   // colours index -> palette entry (palettes only)
    std::vector<uint32_t> palette;       // RGBA entries in palette order
};

// Bits per pixel of a layout: depth for a palette or grey, 16 for grey+alpha,
// 24 for RGB, 32 for RGBA.
uint32_t layoutBitsPerPixel(const Layout& layout);

// The palette entries in an order: a permutation of facts.colours.
std::vector<uint32_t> paletteOrder(const ColourFacts& facts, const ExactPicture& picture,
                                   int32_t order);

// Every exact layout of the picture, palettes in every order at their
// smallest depth and at 8 bits. Fails only when memory is short.
bool exactLayouts(const ExactPicture& picture, const ColourFacts& facts,
                  std::vector<Layout>& layouts);

// The picture in a layout as unfiltered PNG rows: height rows of stride
// bytes, each a 0 type byte and the packed samples. False when the size is
// refused or memory is short.
bool packLayout(const ExactPicture& picture, const ColourFacts& facts, const Layout& layout,
                std::vector<uint8_t>& rows, uint32_t& stride);

// The data of the PLTE and tRNS chunks of a layout (empty when it has none).
// A palette's tRNS ends after its last entry with alpha below 255.
void layoutChunks(const Layout& layout, const ColourFacts& facts, std::vector<uint8_t>& plte,
                  std::vector<uint8_t>& trns);
