#pragma once
// Animated GIF and animated PNG files built in memory for the tests: GIFs
// with giflib's encoder, animated PNGs from libpng's image data for each
// frame with the animation chunks written here. Native builds only.

#include <cstdint>
#include <vector>

struct GifFrameRecipe {
    uint32_t x = 0, y = 0, width = 0, height = 0;   // may reach beyond the screen
    std::vector<uint8_t> indices;                   // width * height, top row first
    std::vector<uint32_t> localPalette;             // 0xRRGGBB entries; empty: the global one
    int transparent = -1;                           // the transparent index, or -1
    int disposal = 0;                               // 0..3 as GIF stores it
    uint16_t delay = 0;                             // centiseconds
    bool interlaced = false;
    bool control = true;                            // write a graphic control extension
};

struct GifRecipe {
    uint32_t width = 0, height = 0;   // the logical screen
    std::vector<uint32_t> globalPalette;   // 0xRRGGBB entries; may be empty
    uint8_t background = 0;
    int loops = -1;                        // NETSCAPE2.0 loop count, or -1 for no extension
    std::vector<GifFrameRecipe> frames;
};

// The GIF described; palettes are padded to a power of two with black. Empty
// when giflib refuses it.
std::vector<uint8_t> gifBytes(const GifRecipe& recipe);

struct ApngFrameRecipe {
    uint32_t x = 0, y = 0, width = 0, height = 0;
    std::vector<uint32_t> rgba;   // width * height, 0xRRGGBBAA, top row first
    uint16_t delayNum = 0, delayDen = 0;
    uint8_t dispose = 0, blend = 0;   // fcTL's dispose_op and blend_op
};

enum class ApngColour {
    Palette,   // every colour of every frame in one PLTE, alpha in tRNS
    Rgb,       // alpha dropped: every pixel must be opaque
    Rgba,
};

struct ApngRecipe {
    uint32_t width = 0, height = 0;
    uint32_t plays = 0;
    ApngColour colour = ApngColour::Rgba;
    bool interlaced = false;
    // The default image is its own picture (width * height pixels), not frame 0.
    bool hiddenDefault = false;
    std::vector<uint32_t> defaultImage;
    std::vector<ApngFrameRecipe> frames;   // with hiddenDefault false, frames[0] must cover the canvas
};

// The animated PNG described. Empty when libpng refuses a frame, or a palette
// would need more than 256 entries.
std::vector<uint8_t> apngBytes(const ApngRecipe& recipe);
