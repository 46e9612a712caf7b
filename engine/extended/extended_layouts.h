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
//
// A request with samples16 gives a 16-bit picture instead: rgba stays empty
// and `wide` points to the request's samples (not owned; valid as long as
// the request), read through wideSample. Their alpha counts when the request
// has hasAlpha or a transparentColour; otherwise every pixel is opaque.
struct ExactPicture {
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<uint32_t> rgba;
    const uint8_t* wide = nullptr;   // 8 bytes a pixel: red, green, blue, alpha, most significant byte first
    bool wideAlpha = false;          // the samples' alpha counts; else alpha is 65535 throughout
};

// Pixel i (top row first) of a 16-bit picture as 0xRRRRGGGGBBBBAAAA.
uint64_t wideSample(const ExactPicture& picture, size_t i);

// False when the request's sizes are refused (see colour_analysis.h) or the
// memory cannot be had.
bool exactPicture(const ConvertRequest& request, ExactPicture& picture);

// What a picture's colours allow. Alpha "0" and "opaque" mean 0 and 255 of
// an 8-bit picture, 0 and 65535 of a 16-bit one.
struct ColourFacts {
    bool opaque = true;          // every alpha opaque
    bool binaryAlpha = true;     // every alpha 0 or opaque
    bool grey = true;            // every pixel's red, green and blue equal (transparent ones too)
    // Smallest grey depth (1, 2, 4, 8) holding every grey value, 16 for a
    // 16-bit picture; 0 when not grey.
    int32_t greyDepth = 0;
    // The transparent pixels (alpha 0) share one colour that no opaque pixel
    // has, and every alpha is 0 or opaque: a tRNS key can mark them.
    bool keyUsable = false;
    uint32_t keyRgba = 0;        // that colour, alpha 0 (8-bit pictures)
    uint64_t wideKey = 0;        // that colour as wideSample gives it (16-bit pictures)
    // Distinct RGBA values in first appearance, with their pixel counts;
    // both empty when there are more than 256, and for a 16-bit picture
    // (no palette holds its samples).
    std::vector<uint32_t> colours;
    std::vector<uint32_t> counts;
    // With colours: each pixel's index into colours, top row first.
    std::vector<uint8_t> indices;
};

bool analyseColours(const ExactPicture& picture, ColourFacts& facts);

struct Layout {
    int32_t kind = LAYOUT_RGBA;      // ExtendedLayout
    int32_t depth = 8;               // bits per sample: 16 for every layout of a 16-bit picture
    int32_t order = ORDER_NONE;      // PaletteOrder of a palette
    std::vector<uint8_t> paletteIndex;   // colours index -> palette entry (palettes only)
    std::vector<uint32_t> palette;       // RGBA entries in palette order
};

// Bits per pixel of a layout: depth for a palette or grey, and 2, 3 and 4
// times depth for grey+alpha, RGB and RGBA (16, 24, 32 at 8 bits).
uint32_t layoutBitsPerPixel(const Layout& layout);

// The palette entries in an order: a permutation of facts.colours. Throws
// std::bad_alloc when memory is short.
std::vector<uint32_t> paletteOrder(const ColourFacts& facts, const ExactPicture& picture,
                                   int32_t order);

// What exactLayouts spends on palette orders.
struct OrderEffort {
    size_t rankedOrders = kPaletteOrderCount;   // orders offered beside ORDER_INPUT and ORDER_POPULARITY
    uint32_t refineReach = 256;                 // ORDER_REFINED swaps entries at most this far apart
};

class WorkerPool;

// Every exact layout of the picture, palettes at their smallest depth and at
// 8 bits: in ORDER_INPUT, ORDER_POPULARITY (the shortest tRNS) and the
// effort's rankedOrders other orders of the highest residualScore
// (palette_orders.h; every order by default), in PaletteOrder order. A
// 16-bit picture's layouts are all 16-bit: grey, grey with a key,
// grey+alpha, RGB, RGB with a key, RGBA, as its colours allow. The orders are
// made on pool's workers when a pool is given (the layouts are the same
// without). Fails only when memory is short.
bool exactLayouts(const ExactPicture& picture, const ColourFacts& facts, std::vector<Layout>& layouts,
                  const OrderEffort& effort = OrderEffort(), WorkerPool* pool = nullptr);

// The picture in a layout as unfiltered PNG rows: height rows of stride
// bytes, each a 0 type byte and the packed samples (16-bit samples most
// significant byte first). False when the size is refused, memory is short,
// or the layout's depth is not the picture's (16 for a 16-bit picture only).
bool packLayout(const ExactPicture& picture, const ColourFacts& facts, const Layout& layout,
                std::vector<uint8_t>& rows, uint32_t& stride);

// The data of the PLTE and tRNS chunks of a layout (empty when it has none).
// A palette's tRNS ends after its last entry with alpha below 255; a key's
// samples have the layout's depth.
void layoutChunks(const Layout& layout, const ColourFacts& facts, std::vector<uint8_t>& plte,
                  std::vector<uint8_t>& trns);
