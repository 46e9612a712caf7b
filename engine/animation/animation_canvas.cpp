#include "engine/animation/animation_canvas.h"

#include <cstddef>
#include <new>

namespace {

uint32_t alphaOf(uint32_t pixel) { return pixel & 0xFF; }

// src over dst by the animated-PNG rule (8-bit samples, integer division).
uint32_t over(uint32_t src, uint32_t dst)
{
    const uint32_t sa = alphaOf(src);
    const uint32_t da = alphaOf(dst);
    const uint32_t u = sa * 255;
    const uint32_t v = (255 - sa) * da;
    const uint32_t al = u + v;
    uint32_t out = al / 255;
    for (int shift = 8; shift <= 24; shift += 8) {
        const uint32_t s = (src >> shift) & 0xFF;
        const uint32_t d = (dst >> shift) & 0xFF;
        out |= ((s * u + d * v) / al) << shift;
    }
    return out;
}

}  // namespace

bool AnimationCanvas::start(uint32_t width, uint32_t height)
{
    width_ = width;
    height_ = height;
    first_ = true;
    roundingDependent_ = false;
    try {
        pixels_.assign(size_t(width) * height, 0);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

const std::vector<uint32_t>& AnimationCanvas::draw(const AnimationFrame& frame)
{
    if (frame.dispose == DISPOSE_PREVIOUS && !first_) {
        saved_.resize(size_t(frame.width) * frame.height);
        for (uint32_t y = 0; y < frame.height; ++y)
            for (uint32_t x = 0; x < frame.width; ++x)
                saved_[size_t(y) * frame.width + x] = pixels_[size_t(frame.y + y) * width_ + frame.x + x];
    }
    for (uint32_t y = 0; y < frame.height; ++y) {
        const uint32_t* in = &frame.rgba[size_t(y) * frame.width];
        uint32_t* out = &pixels_[size_t(frame.y + y) * width_ + frame.x];
        for (uint32_t x = 0; x < frame.width; ++x) {
            const uint32_t src = in[x];
            if (frame.blend == BLEND_SOURCE || alphaOf(src) == 255 || alphaOf(out[x]) == 0) {
                if (frame.blend == BLEND_SOURCE || alphaOf(src) != 0)
                    out[x] = src;
                continue;
            }
            if (alphaOf(src) == 0)
                continue;
            out[x] = over(src, out[x]);
            roundingDependent_ = true;
        }
    }
    return pixels_;
}

void AnimationCanvas::finishFrame(const AnimationFrame& frame)
{
    const bool previous = frame.dispose == DISPOSE_PREVIOUS && !first_;
    if (frame.dispose == DISPOSE_BACKGROUND || (frame.dispose == DISPOSE_PREVIOUS && first_)) {
        for (uint32_t y = 0; y < frame.height; ++y)
            for (uint32_t x = 0; x < frame.width; ++x)
                pixels_[size_t(frame.y + y) * width_ + frame.x + x] = 0;
    } else if (previous) {
        for (uint32_t y = 0; y < frame.height; ++y)
            for (uint32_t x = 0; x < frame.width; ++x)
                pixels_[size_t(frame.y + y) * width_ + frame.x + x] = saved_[size_t(y) * frame.width + x];
    }
    first_ = false;
}
