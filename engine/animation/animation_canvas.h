#pragma once
// The canvas an animation is shown on: each frame drawn with its blend
// operation, shown, then disposed of as its dispose operation says.
//
// The canvas starts fully transparent black. BLEND_OVER composites a pixel
// whose alpha is neither 0 nor 255 over a pixel that is not fully
// transparent by the animated-PNG rule, whose integer rounding viewers need
// not share: such a draw sets roundingDependent(). DISPOSE_PREVIOUS on the
// first frame acts as DISPOSE_BACKGROUND. One object per animation and
// thread.

#include <cstdint>
#include <vector>

#include "core/animation.h"

class AnimationCanvas {
public:
    // False when the memory for a width x height canvas is refused.
    bool start(uint32_t width, uint32_t height);
    // Draws the frame (its rectangle inside the canvas) and returns the
    // canvas as shown, width * height pixels 0xRRGGBBAA, top row first;
    // valid until the next call. finishFrame must follow before the next draw.
    const std::vector<uint32_t>& draw(const AnimationFrame& frame);
    // Applies the drawn frame's dispose operation.
    void finishFrame(const AnimationFrame& frame);
    bool roundingDependent() const { return roundingDependent_; }

private:
    uint32_t width_ = 0;
    uint32_t height_ = 0;
    std::vector<uint32_t> pixels_;
    std::vector<uint32_t> saved_;   // the rectangle before a DISPOSE_PREVIOUS frame
    bool first_ = true;
    bool roundingDependent_ = false;
};
