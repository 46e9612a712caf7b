#pragma once
// Animations as the readers give them and the animated-PNG writer takes
// them: a canvas, its frames with their rectangles, delays and operations,
// and every frame's own pixels.
//
// The readers (animated PNG: every frame of acTL/fcTL/IDAT/fdAT; GIF: every
// image with its graphic control) parse with bounds checks and never read
// beyond the data given. A reader that refuses an animation fills nothing a
// caller may use. Plain data; one thread at a time per object.

#include <cstdint>
#include <vector>

// What happens to a frame's rectangle after it was shown (fcTL dispose_op).
enum FrameDispose : uint8_t {
    DISPOSE_NONE = 0,         // the canvas stays as the frame left it
    DISPOSE_BACKGROUND = 1,   // the rectangle becomes fully transparent black
    DISPOSE_PREVIOUS = 2,     // the rectangle gets back what it held before the frame
};
// How a frame's pixels meet the canvas (fcTL blend_op).
enum FrameBlend : uint8_t {
    BLEND_SOURCE = 0,   // the frame's pixels replace the rectangle's
    BLEND_OVER = 1,     // alpha compositing of the frame over the rectangle
};

struct AnimationFrame {
    uint32_t x = 0;
    uint32_t y = 0;
    uint32_t width = 0;
    uint32_t height = 0;
    uint16_t delayNumerator = 0;     // seconds = numerator / denominator
    uint16_t delayDenominator = 0;   // 0 means 100, as in fcTL
    uint8_t dispose = DISPOSE_NONE;
    uint8_t blend = BLEND_SOURCE;
    // width * height pixels, top row first, each 0xRRGGBBAA.
    std::vector<uint32_t> rgba;
};

struct Animation8 {
    uint32_t width = 0;    // the canvas
    uint32_t height = 0;
    uint32_t plays = 0;    // times the animation is shown; 0: without end
    // The default image (IDAT) is not the first frame: a picture of its own,
    // width * height pixels as AnimationFrame::rgba, shown by viewers
    // without animation.
    bool hiddenDefault = false;
    std::vector<uint32_t> defaultImage;
    std::vector<AnimationFrame> frames;   // at least one

    uint64_t pixelCount() const;   // every frame's pixels and the hidden default image's
};

// How a read ended.
enum class AnimationRead {
    Done,
    NotAnimated,   // a valid file that holds no animation (a still PNG or one GIF image)
    Unsupported,   // an animated PNG the reader does not take whole (16-bit samples): left as it is
    Malformed,     // damaged: sequence numbers out of order or missing, a frame outside the canvas,
                   // frame counts that disagree, data that does not decode, sizes above the limits
};

// The most pixels one animation may hold over all its frames: keeps a crafted
// file of many large frames from asking for more memory than any real one needs.
constexpr uint64_t kMaxAnimationPixels = uint64_t(1) << 28;

// Every frame of an animated PNG (size bytes at data).
AnimationRead readAnimatedPng(const uint8_t* data, uint32_t size, Animation8& animation);
// Every image of a GIF as a frame: its rectangle, its pixels (alpha 0 for
// the transparent index), delay in centiseconds (delayNumerator / 100),
// disposal mapped (restore to background: DISPOSE_BACKGROUND, restore to
// previous: DISPOSE_PREVIOUS, the others DISPOSE_NONE), BLEND_OVER where a
// transparent index is set. plays from the looping application extension
// (NETSCAPE2.0 or ANIMEXTS1.0): its count repeats the animation, so a count
// of n > 0 gives n + 1 plays, 0 gives 0 (without
// end); without the extension it is 1. The first frame is
// padded to the whole canvas, uncovered pixels fully transparent, as the
// canvas starts.
AnimationRead readAnimatedGif(const uint8_t* data, uint32_t size, Animation8& animation);
