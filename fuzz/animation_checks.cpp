// Checks of the animation readers on arbitrary bytes.

#include <cstdio>
#include <string>

#include "core/animation.h"
#include "core/animation_probe.h"
#include "core/dib_image.h"
#include "core/gif_reader.h"
#include "core/png_reader.h"
#include "core/size_limits.h"
#include "fuzz/fuzz_checks.h"

namespace {

std::string describe(const char* reader, const char* pattern, long long a = 0, long long b = 0)
{
    char text[200];
    std::snprintf(text, sizeof text, pattern, a, b);
    return std::string(reader) + ": " + text;
}

// What every read promises about the animation it leaves.
std::string checkShape(const char* reader, AnimationRead read, const Animation8& animation)
{
    if (read != AnimationRead::Done) {
        if (!animation.frames.empty() || !animation.defaultImage.empty() || animation.width != 0)
            return describe(reader, "a refused file left an animation behind");
        return std::string();
    }
    if (animation.frames.empty() || animation.width == 0 || animation.height == 0)
        return describe(reader, "an accepted file of %lldx%lld without frames", animation.width, animation.height);
    if (animation.pixelCount() > kMaxAnimationPixels)
        return describe(reader, "%lld pixels above the limit", (long long)animation.pixelCount());
    const uint64_t canvas = uint64_t(animation.width) * animation.height;
    if (animation.defaultImage.size() != (animation.hiddenDefault ? canvas : 0))
        return describe(reader, "a default image of %lld pixels", (long long)animation.defaultImage.size());
    for (size_t i = 0; i < animation.frames.size(); ++i) {
        const AnimationFrame& frame = animation.frames[i];
        if (frame.width == 0 || frame.height == 0 || uint64_t(frame.x) + frame.width > animation.width ||
            uint64_t(frame.y) + frame.height > animation.height)
            return describe(reader, "frame %lld lies outside the canvas", (long long)i);
        if (frame.rgba.size() != uint64_t(frame.width) * frame.height)
            return describe(reader, "frame %lld holds %lld pixels", (long long)i, (long long)frame.rgba.size());
        if (frame.dispose > DISPOSE_PREVIOUS || frame.blend > BLEND_OVER)
            return describe(reader, "frame %lld has operations %lld", (long long)i, frame.dispose * 16 + frame.blend);
    }
    return std::string();
}

// The still picture a loader gives, as 0xRRGGBBAA with the transparent
// colour's pixels at alpha 0.
std::vector<uint32_t> stillPixels(const DibImage& image, int32_t transparentColour)
{
    std::vector<uint32_t> pixels;
    for (int32_t y = 0; y < image.height; ++y) {
        const uint8_t* row = image.rowAt(y);
        for (int32_t x = 0; x < image.width; ++x, row += 4) {
            const uint32_t rgb = uint32_t(row[2]) << 16 | uint32_t(row[1]) << 8 | row[0];
            const bool keyed = !image.hasAlpha && int32_t(rgb) == transparentColour;
            pixels.push_back(rgb << 8 | (keyed ? 0 : row[3]));
        }
    }
    return pixels;
}

std::string checkPngAnimation(const uint8_t* data, uint32_t size)
{
    Animation8 animation;
    const AnimationRead read = readAnimatedPng(data, size, animation);
    std::string problem = checkShape("png", read, animation);
    if (!problem.empty())
        return problem;
    const Animation probe = probeAnimationMemory(data, size);
    if (read == AnimationRead::Done && probe != Animation::AnimatedPng)
        return "png: an animation the probe does not see";
    if (read == AnimationRead::NotAnimated && probe == Animation::AnimatedPng)
        return "png: the probe sees an animation the reader calls still";
    if (read != AnimationRead::Done || animation.hiddenDefault)
        return std::string();
    // The first frame is the default image: the still reader's picture of the file.
    PngReadOptions options;
    options.extendedInput = true;
    DibImage image;
    int32_t transparentColour = -1;
    if (!loadPngMemory(data, size, image, transparentColour, options))
        return "png: the still reader refuses an animation's default image";
    if (stillPixels(image, transparentColour) != animation.frames[0].rgba)
        return "png: the first frame differs from the still reader's picture";
    return std::string();
}

std::string checkGifAnimation(const uint8_t* data, uint32_t size)
{
    Animation8 animation;
    const AnimationRead read = readAnimatedGif(data, size, animation);
    std::string problem = checkShape("gif", read, animation);
    if (!problem.empty())
        return problem;
    const Animation probe = probeAnimationMemory(data, size);
    if (read == AnimationRead::Done && probe != Animation::AnimatedGif)
        return "gif: an animation the probe does not see";
    if (read == AnimationRead::NotAnimated && probe == Animation::AnimatedGif)
        return "gif: the probe sees an animation the reader calls still";
    if (read != AnimationRead::Done)
        return std::string();
    if (animation.frames[0].x != 0 || animation.frames[0].width != animation.width ||
        animation.frames[0].blend != BLEND_SOURCE)
        return "gif: the first frame does not fill the canvas";
    // The opaque pixels of the first frame are the still reader's colours.
    const std::vector<uint32_t>& first = animation.frames[0].rgba;
    bool opaque = false;
    for (uint32_t pixel : first)
        opaque = opaque || (pixel & 0xFF) != 0;
    if (!opaque)
        return std::string();
    DibImage image;
    int32_t transparentColour = -1;
    if (!loadGifMemory(data, size, image, transparentColour))
        return "gif: the still reader refuses an animation's first image";
    const std::vector<uint32_t> still = stillPixels(image, -1);
    for (size_t i = 0; i < first.size(); ++i)
        if ((first[i] & 0xFF) == 0xFF && (first[i] >> 8) != (still[i] >> 8))
            return describe("gif", "first frame pixel %lld differs from the still reader's", (long long)i);
    return std::string();
}

}  // namespace

std::string checkAnimationRead(const uint8_t* data, size_t size)
{
    if (size > kMaxBlockBytes)
        return std::string();
    // Each reader refuses the other's files at their first bytes.
    const std::string png = checkPngAnimation(data, uint32_t(size));
    if (!png.empty())
        return png;
    return checkGifAnimation(data, uint32_t(size));
}
