#pragma once
// An animation renderer of the tests, independent of the product code: it
// walks the PNG chunks itself, decodes every frame's image data with libpng
// (GIF images with giflib) and composes each frame on a full canvas, so that
// an input and its conversion can be compared frame for frame.
//
// Composition: the canvas starts fully transparent black. APNG frames are
// drawn with their blend operation, shown, then disposed (on the first frame
// "previous" acts as "background"). GIF images are drawn clipped to the
// logical screen; pixels of the transparent index leave the canvas as it is;
// indices beyond the colour table in force show the background entry (black
// when that lies beyond the table too); disposal 2 clears the rectangle to
// transparent, 3 restores what it held before the image.
//
// Native builds only (libpng, giflib). Plain functions; no shared state.

#include <cstdint>
#include <string>
#include <vector>

struct RenderedAnimation {
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t plays = 0;   // 0: without end
    struct Frame {
        std::vector<uint32_t> rgba;   // the whole canvas, 0xRRGGBBAA, top row first
        uint32_t delayNum = 0;        // seconds = delayNum / delayDen
        uint32_t delayDen = 100;      // 0 means 100
    };
    std::vector<Frame> frames;
    // An animated PNG whose default image is not its first frame: that image
    // (width * height pixels as Frame::rgba), shown by viewers without animation.
    bool hasHiddenDefault = false;
    std::vector<uint32_t> defaultImage;
};

// A PNG or animated PNG. A still PNG gives one frame, plays 0, delay 0/100.
// False for a damaged file (bad CRC, chunk order, sequence numbers, frame
// counts, frames outside the canvas, image data libpng refuses), for 16-bit
// samples, which this renderer does not take, and when the rendered frames
// would hold more than 2^28 pixels.
bool renderPng(const std::vector<uint8_t>& file, RenderedAnimation& out);
// Every image of a GIF. Delays in centiseconds (den 100); plays from the
// NETSCAPE2.0/ANIMEXTS1.0 loop count n: n + 1 for n > 0, 0 for 0, 1 without
// the extension. False when giflib refuses the file, it holds no image or
// the rendered frames would hold more than 2^28 pixels.
bool renderGif(const std::vector<uint8_t>& file, RenderedAnimation& out);
// renderGif for bytes starting "GIF", else renderPng.
bool renderAnimation(const std::vector<uint8_t>& file, RenderedAnimation& out);

// The APNG "over" operation on 8-bit non-premultiplied 0xRRGGBBAA pixels:
// alpha = sa + da (255 - sa) / 255, colour = (sc sa + dc da (255 - sa) / 255) / alpha,
// every quotient over the common denominator rounded to nearest once.
// Source alpha 255 gives the source, 0 the destination, and a destination of
// alpha 0 the source exactly; elsewhere another correct renderer may differ
// by 1 per channel (compare those with compareRenderedWithin).
uint32_t composeOver(uint32_t source, uint32_t destination);

// Empty when a and b are equal: canvas size, plays, frame count, each
// frame's delay as a rational (den 0 read as 100), every pixel, and the hidden
// default image; else a short description of the first difference. Two
// pixels of alpha 0 are equal whatever their colour: no composition shows it.
std::string compareRendered(const RenderedAnimation& a, const RenderedAnimation& b);
// compareRendered with pixels allowed to differ by up to tolerance in each channel.
std::string compareRenderedWithin(const RenderedAnimation& a, const RenderedAnimation& b, int tolerance);
