// Animated GIFs and PNGs through the conversion service: the output, rendered
// by the test compositor, shows every frame of the input with its delay and
// play count; more than one frame gives an animated PNG whose frame count the
// report gives; a GIF without animateGif stays a still picture; the worker
// count does not shape the file.

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <utility>

#include "engine/png_optimizer.h"
#include "services/image_conversion.h"
#include "tests/common/animation_builders.h"
#include "tests/common/animation_compositor.h"
#include "tests/common/memory_conversion.h"

namespace {

// An indexed animation on a 16x12 screen with 8 colours.
struct GifPlan {
    int frames = 3;
    bool partial = false;           // frames after the first cover part of the screen
    int disposal = 0;               // for every frame; -1 cycles 0..3
    bool transparent = false;       // index 7 is transparent
    bool localPalettes = false;     // odd frames bring their own table
    int loops = 0;                  // -1: no loop extension
    bool interlaced = false;
    bool outOfBounds = false;       // frame 1 reaches beyond the screen
    bool transparentFirst = false;  // frame 0 is wholly transparent
    bool repeat = false;            // every frame the same
};

std::vector<uint8_t> gifOf(const GifPlan& plan)
{
    GifRecipe recipe;
    recipe.width = 16, recipe.height = 12, recipe.loops = plan.loops, recipe.background = 2;
    for (uint32_t c = 0; c < 8; ++c)
        recipe.globalPalette.push_back(c * 0x1F2F3F % 0x1000000);
    for (int i = 0; i < plan.frames; ++i) {
        const int k = plan.repeat ? 0 : i;
        GifFrameRecipe frame;
        const bool part = plan.partial && k > 0;
        frame.x = part ? k % 3 * 3 : 0, frame.y = part ? k % 2 * 2 : 0;
        frame.width = part ? 9 : 16, frame.height = part ? 7 : 12;
        if (plan.outOfBounds && i == 1)
            frame.x = 12, frame.y = 8;
        frame.transparent = plan.transparent || plan.transparentFirst ? 7 : -1;
        frame.disposal = plan.disposal < 0 ? k % 4 : plan.disposal;
        frame.delay = uint16_t(4 + k % 3);
        frame.interlaced = plan.interlaced && k % 2 == 0;
        if (plan.localPalettes && k % 2)
            for (uint32_t c = 0; c < 8; ++c)
                frame.localPalette.push_back(0xFFFFFF - c * 0x0A1B2C);
        for (uint32_t y = 0; y < frame.height; ++y)
            for (uint32_t x = 0; x < frame.width; ++x)
                frame.indices.push_back(plan.transparentFirst && i == 0
                                            ? 7
                                            : uint8_t((x * 3 + y * 5 + k * 7 + x * y) % (plan.transparent ? 8 : 7)));
        recipe.frames.push_back(frame);
    }
    return gifBytes(recipe);
}

// Frames on a 16x12 canvas cycling through every dispose/blend pair.
struct ApngPlan {
    int frames = 6;
    ApngColour colour = ApngColour::Rgba;
    bool partialAlpha = false;   // alpha between 0 and 255 too
    bool hiddenDefault = false;
    bool interlaced = false;
};

std::vector<uint8_t> apngOf(const ApngPlan& plan)
{
    ApngRecipe recipe;
    recipe.width = 16, recipe.height = 12, recipe.plays = 3;
    recipe.colour = plan.colour, recipe.interlaced = plan.interlaced, recipe.hiddenDefault = plan.hiddenDefault;
    auto pixel = [&](uint32_t x, uint32_t y, uint32_t i) {
        const uint32_t colour = ((x + i) % 4 * 0x55) << 24 | ((y + i) % 3 * 0x7F) << 16 | (x * y % 2 * 0xFF) << 8;
        if (plan.colour == ApngColour::Rgb)
            return colour | 0xFF;
        if (plan.partialAlpha)
            return colour | (x * 37 + y * 11 + i * 5) % 4 * 0x55;
        return (x + y + i) % 4 ? colour | 0xFF : 0;
    };
    for (uint32_t y = 0; y < recipe.height; ++y)
        for (uint32_t x = 0; x < recipe.width; ++x)
            recipe.defaultImage.push_back(pixel(x, y, 99));
    for (int i = 0; i < plan.frames; ++i) {
        ApngFrameRecipe frame;
        const bool whole = i == 0 && !plan.hiddenDefault;
        frame.x = whole ? 0 : i % 4 * 2, frame.y = whole ? 0 : i % 3 * 2;
        frame.width = whole ? 16 : 8, frame.height = whole ? 12 : 6;
        frame.delayNum = uint16_t(1 + i % 5), frame.delayDen = uint16_t(i % 3 * 30);
        frame.dispose = uint8_t(i % 3), frame.blend = uint8_t(i / 3 % 2);
        for (uint32_t y = 0; y < frame.height; ++y)
            for (uint32_t x = 0; x < frame.width; ++x)
                frame.rgba.push_back(pixel(x, y, uint32_t(i)));
        recipe.frames.push_back(frame);
    }
    return apngBytes(recipe);
}

struct ConversionCase {
    const char* name;
    std::function<std::vector<uint8_t>()> input;
    bool extended = false;   // OPT_EXTENDED_SEARCH at level 1
    int tolerance = 0;       // partial alpha drawn OVER visible pixels may round apart by 1
};

template <typename Plan, typename Build, typename Change>
std::function<std::vector<uint8_t>()> planned(Build build, Change change)
{
    return [build, change] {
        Plan plan;
        change(plan);
        return build(plan);
    };
}

auto gif = [](auto change) { return planned<GifPlan>(gifOf, change); };
auto apng = [](auto change) { return planned<ApngPlan>(apngOf, change); };

const ConversionCase kCases[] = {
    {"GifWholeFrames", gif([](GifPlan&) {})},
    {"GifPartialKept", gif([](GifPlan& p) { p.partial = p.transparent = true, p.disposal = 1, p.loops = 2; })},
    {"GifDisposeBackground", gif([](GifPlan& p) { p.partial = p.transparent = true, p.disposal = 2; })},
    {"GifDisposePrevious", gif([](GifPlan& p) { p.partial = p.transparent = true, p.disposal = 3; })},
    {"GifLocalPalettesInterlaced", gif([](GifPlan& p) {
         p.frames = 5, p.partial = p.transparent = p.localPalettes = p.interlaced = true, p.disposal = -1, p.loops = -1;
     })},
    {"GifTransparentFirstFrame", gif([](GifPlan& p) { p.transparentFirst = p.partial = true; })},
    {"GifOneFrame", gif([](GifPlan& p) { p.frames = 1, p.transparent = true; })},
    {"GifManyFrames", gif([](GifPlan& p) { p.frames = 120, p.partial = p.transparent = true, p.disposal = -1; })},
    {"GifIdenticalFrames", gif([](GifPlan& p) { p.frames = 4, p.repeat = true; })},
    {"GifFrameOutOfBounds", gif([](GifPlan& p) { p.partial = p.transparent = p.outOfBounds = true; })},
    {"GifExtended", gif([](GifPlan& p) { p.partial = p.transparent = true, p.disposal = -1, p.frames = 5; }), true},
    {"ApngEveryPair", apng([](ApngPlan&) {})},
    {"ApngPartialAlpha", apng([](ApngPlan& p) { p.partialAlpha = true, p.frames = 8; }), false, 1},
    {"ApngPaletteHiddenDefault", apng([](ApngPlan& p) { p.colour = ApngColour::Palette, p.hiddenDefault = true; })},
    // Interlaced input is read by the extended search only.
    {"ApngRgbInterlaced", apng([](ApngPlan& p) { p.colour = ApngColour::Rgb, p.interlaced = true; }), true},
    {"ApngOneFrame", apng([](ApngPlan& p) { p.frames = 1; })},
    {"ApngExtended", apng([](ApngPlan& p) { p.colour = ApngColour::Palette; }), true},
    {"ApngRgbaExtended", apng([](ApngPlan& p) { p.partialAlpha = p.hiddenDefault = true; }), true, 1},
};

struct Converted {
    ConversionStatus status = ConversionStatus::Failed;
    uint32_t frames = 0;
    std::vector<uint8_t> png;
};

Converted convert(const std::vector<uint8_t>& input, bool animateGif, bool extended)
{
    const uint16_t options = extended ? OPT_EXTENDED_SEARCH : 0;
    ImageConversion conversion;
    Converted converted;
    if (!conversion.loadMemory(input.data(), uint32_t(input.size()), options))
        return converted;
    ConversionSettings settings;
    settings.options = options;
    settings.extendedLevel = extended ? EXTENDED_LEVEL_FAST : 0;
    settings.animateGif = animateGif;
    MemoryConversion result = convertToMemory(conversion, settings);
    converted.status = result.report.status;
    converted.frames = result.report.frames;
    converted.png = std::move(result.png);
    return converted;
}

bool hasAnimationControl(const std::vector<uint8_t>& png)
{
    for (size_t at = 8; at + 8 <= png.size();) {
        if (std::memcmp(&png[at + 4], "acTL", 4) == 0)
            return true;
        at += (size_t(png[at]) << 24 | png[at + 1] << 16 | png[at + 2] << 8 | png[at + 3]) + 12;
    }
    return false;
}

class AnimationConversion : public ::testing::TestWithParam<ConversionCase> {};

}  // namespace

TEST_P(AnimationConversion, OutputRendersAsTheInput)
{
    const ConversionCase& c = GetParam();
    const std::vector<uint8_t> input = c.input();
    RenderedAnimation expected, actual;
    ASSERT_TRUE(renderAnimation(input, expected)) << "the case's input does not render";
    const Converted converted = convert(input, true, c.extended);
    ASSERT_TRUE(converted.status == ConversionStatus::Converted || converted.status == ConversionStatus::Copied);
    ASSERT_TRUE(renderPng(converted.png, actual)) << "the output does not render";
    const bool animated = hasAnimationControl(converted.png);
    EXPECT_EQ(animated, expected.frames.size() > 1 || hasAnimationControl(input));
    if (!animated) {
        // A still picture shows its one frame for ever.
        expected.plays = 0;
        expected.frames.at(0).delayNum = 0;
    }
    EXPECT_EQ(compareRenderedWithin(expected, actual, c.tolerance), "");
    const bool written = converted.status == ConversionStatus::Converted && animated;
    EXPECT_EQ(converted.frames, written ? actual.frames.size() : 0u);

    if (std::memcmp(input.data(), "GIF", 3) != 0)
        return;
    const Converted still = convert(input, false, c.extended);
    ASSERT_EQ(still.status, ConversionStatus::Converted);
    ASSERT_TRUE(renderPng(still.png, actual));
    EXPECT_FALSE(hasAnimationControl(still.png));
    EXPECT_EQ(actual.frames.size(), 1u);
    EXPECT_EQ(still.frames, 0u);
    EXPECT_EQ(actual.width, expected.width);
}

INSTANTIATE_TEST_SUITE_P(Cases, AnimationConversion, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<ConversionCase>& info) { return info.param.name; });

TEST(AnimationConversion, WorkerCountDoesNotShapeTheFile)
{
    GifPlan plan;
    plan.frames = 6, plan.partial = plan.transparent = true, plan.disposal = -1;
    const std::vector<uint8_t> input = gifOf(plan);
    const unsigned before = setWorkerThreadCount(1);
    const Converted one = convert(input, true, false);
    setWorkerThreadCount(2);
    const Converted two = convert(input, true, false);
    setWorkerThreadCount(before);
    ASSERT_EQ(one.status, ConversionStatus::Converted);
    EXPECT_TRUE(hasAnimationControl(one.png));
    EXPECT_EQ(one.png, two.png);
}
