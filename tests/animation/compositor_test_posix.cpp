// The test compositor and the animation builders themselves, before they
// judge the product: an animated PNG whose frames are worked out by hand,
// the "over" rounding against real arithmetic, damaged files refused, the
// same animation as GIF (giflib) and as APNG (libpng) rendering alike, and
// the GIF corpus against its reference frames.

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <iterator>
#include <zlib.h>

#include "tests/common/animation_builders.h"
#include "tests/common/animation_compositor.h"
#include "tests/common/image_file_builders.h"
#include "tests/common/test_support.h"

namespace {

constexpr uint32_t R = 0xFF0000FF, G = 0x00FF00FF, B = 0x0000FFFF, T = 0;

ApngFrameRecipe apngFrame(uint32_t x, uint32_t y, uint32_t w, uint32_t h, std::vector<uint32_t> rgba, uint8_t dispose,
                        uint8_t blend)
{
    ApngFrameRecipe frame;
    frame.x = x, frame.y = y, frame.width = w, frame.height = h;
    frame.rgba = std::move(rgba);
    frame.delayNum = uint16_t(3 + x), frame.delayDen = 0;
    frame.dispose = dispose, frame.blend = blend;
    return frame;
}

// 3x2 canvas. Frame 1 is drawn OVER with DISPOSE_PREVIOUS, so frame 2 sees
// frame 0's canvas again.
ApngRecipe handMadeApng(ApngColour colour, bool interlaced, bool hiddenDefault)
{
    ApngRecipe recipe;
    recipe.width = 3, recipe.height = 2, recipe.plays = 4;
    recipe.colour = colour, recipe.interlaced = interlaced, recipe.hiddenDefault = hiddenDefault;
    recipe.defaultImage = {B, B, B, R, R, R};
    recipe.frames = {apngFrame(0, 0, 3, 2, {R, R, T, G, G, T}, 0, 0),
                   apngFrame(1, 0, 2, 2, {B, T, T, B}, 2, 1),
                   apngFrame(0, 0, 1, 1, {G}, 0, 0)};
    return recipe;
}

const std::vector<std::vector<uint32_t>> kHandMadeFrames = {
    {R, R, T, G, G, T},
    {R, B, T, G, G, B},
    {G, R, T, G, G, T},
};

std::vector<uint8_t> rechecksummed(std::vector<uint8_t> png)
{
    for (size_t at = 8; at + 12 <= png.size();) {
        const uint32_t length = uint32_t(png[at]) << 24 | png[at + 1] << 16 | png[at + 2] << 8 | png[at + 3];
        const uint32_t crc = uint32_t(crc32(0, &png[at + 4], length + 4));
        for (int i = 0; i < 4; ++i)
            png[at + 8 + length + i] = uint8_t(crc >> (24 - 8 * i));
        at += length + 12;
    }
    return png;
}

// Offset of the data of the occurrence-th chunk of type.
size_t chunkData(const std::vector<uint8_t>& png, const char* type, int occurrence)
{
    for (size_t at = 8; at + 12 <= png.size();) {
        const uint32_t length = uint32_t(png[at]) << 24 | png[at + 1] << 16 | png[at + 2] << 8 | png[at + 3];
        if (std::equal(type, type + 4, &png[at + 4]) && occurrence-- == 0)
            return at + 8;
        at += length + 12;
    }
    ADD_FAILURE() << "no chunk " << type;
    return 0;
}

}  // namespace

TEST(AnimationCompositor, HandMadeApngInEveryColourLayout)
{
    for (ApngColour colour : {ApngColour::Rgba, ApngColour::Palette})
        for (int variant = 0; variant < 4; ++variant) {
            SCOPED_TRACE(int(colour) * 10 + variant);
            RenderedAnimation rendered;
            ASSERT_TRUE(renderPng(apngBytes(handMadeApng(colour, variant & 1, variant & 2)), rendered));
            EXPECT_EQ(rendered.width, 3u);
            EXPECT_EQ(rendered.plays, 4u);
            ASSERT_EQ(rendered.frames.size(), 3u);
            for (size_t i = 0; i < 3; ++i) {
                EXPECT_EQ(rendered.frames[i].rgba, kHandMadeFrames[i]) << "frame " << i;
                EXPECT_EQ(rendered.frames[i].delayNum, i == 1 ? 4u : 3u);
            }
            EXPECT_EQ(rendered.hasHiddenDefault, (variant & 2) != 0);
            if (rendered.hasHiddenDefault) {
                EXPECT_EQ(rendered.defaultImage, handMadeApng(colour, false, true).defaultImage);
            }
        }
}

TEST(AnimationCompositor, OverRoundsTheRealResult)
{
    for (uint32_t sa = 0; sa < 256; sa += 15)
        for (uint32_t da = 0; da < 256; da += 17)
            for (uint32_t sc = 0; sc < 256; sc += 51) {
                const uint32_t dc = 255 - sc / 3;
                const uint32_t result = composeOver(sc << 24 | sc << 8 | sa, dc << 24 | 7 << 16 | da);
                const double a = sa / 255.0, b = da / 255.0, alpha = a + b * (1 - a);
                if (alpha == 0) {
                    EXPECT_EQ(result, dc << 24 | 7 << 16);
                    continue;
                }
                EXPECT_NEAR(double(result & 0xFF), alpha * 255, 0.5 + 1e-9);
                EXPECT_NEAR(double(result >> 24), (sc * a + dc * b * (1 - a)) / alpha, 0.5 + 1e-9);
                EXPECT_NEAR(double(result >> 16 & 0xFF), 7 * b * (1 - a) / alpha, 0.5 + 1e-9);
            }
}

TEST(AnimationCompositor, RefusesDamagedFiles)
{
    const std::vector<uint8_t> good = apngBytes(handMadeApng(ApngColour::Rgba, false, false));
    RenderedAnimation rendered;
    ASSERT_TRUE(renderPng(good, rendered));
    struct Damage {
        const char* type;
        int occurrence;
        size_t offset;
        uint8_t value;
        bool keepCrc;
    };
    const Damage damages[] = {
        {"fcTL", 1, 3, 7, false},    // sequence numbers out of order
        {"fdAT", 0, 3, 9, false},    // the same in frame data
        {"acTL", 0, 3, 4, false},    // more frames announced than given
        {"fcTL", 1, 15, 2, false},   // a frame beyond the canvas
        {"fcTL", 0, 7, 2, false},    // the first frame smaller than the canvas
        {"fcTL", 2, 24, 3, false},   // no such dispose_op
        {"fcTL", 2, 25, 2, false},   // no such blend_op
        {"IDAT", 0, 0, 0xFF, true},  // a wrong CRC
        {"fdAT", 1, 6, 0x55, false}, // image data zlib refuses
    };
    for (const Damage& damage : damages) {
        std::vector<uint8_t> bad = good;
        bad[chunkData(bad, damage.type, damage.occurrence) + damage.offset] ^= damage.value;
        EXPECT_FALSE(renderPng(damage.keepCrc ? bad : rechecksummed(bad), rendered)) << damage.type << damage.offset;
    }
    for (size_t cut : {size_t(12), size_t(40), good.size() / 2})
        EXPECT_FALSE(renderPng(std::vector<uint8_t>(good.begin(), good.end() - cut), rendered)) << cut;
    Rgba16Image wide;
    wide.width = wide.height = 2;
    wide.samples.assign(16, 0x1234);
    EXPECT_FALSE(renderPng(encodePng16(wide, 6), rendered));
    // A GIF screen of 2^32 pixels is refused, not allocated.
    GifRecipe huge;
    huge.width = huge.height = 65535, huge.globalPalette = {0, 0xFFFFFF};
    huge.frames.resize(1), huge.frames[0].width = huge.frames[0].height = 1, huge.frames[0].indices = {1};
    EXPECT_FALSE(renderGif(gifBytes(huge), rendered));
}

// One indexed animation written by giflib and, with the same rules spelled
// in fcTL terms, as an APNG through libpng.
TEST(AnimationCompositor, GifAndApngOfOneAnimationRenderAlike)
{
    const std::vector<uint32_t> palette = {0x102030, 0xF0E0D0, 0x00FF00, 0x8000FF};
    GifRecipe gif;
    gif.width = 7, gif.height = 5, gif.globalPalette = palette, gif.loops = 3;
    ApngRecipe apng;
    apng.width = 7, apng.height = 5, apng.plays = 4;
    for (uint32_t i = 0; i < 6; ++i) {
        GifFrameRecipe g;
        g.x = i ? i % 3 : 0, g.y = i ? i % 2 : 0, g.width = i ? 4 : 7, g.height = i ? 3 : 5;
        g.transparent = i % 2 ? 3 : -1;
        g.disposal = int(i % 4), g.delay = uint16_t(i * 7), g.interlaced = i == 4;
        if (i == 2)
            g.localPalette = {0xFFFFFF, 0x123456, 0xABCDEF, 0x000000};
        const std::vector<uint32_t>& colours = g.localPalette.empty() ? palette : g.localPalette;
        std::vector<uint32_t> rgba;
        for (uint32_t p = 0; p < g.width * g.height; ++p) {
            g.indices.push_back(uint8_t((p * 5 + i) % 4));
            rgba.push_back(int(g.indices.back()) == g.transparent ? 0 : colours[g.indices.back()] << 8 | 0xFF);
        }
        gif.frames.push_back(g);
        const uint8_t dispose = g.disposal == 2 ? 1 : g.disposal == 3 ? 2 : 0;
        apng.frames.push_back(apngFrame(g.x, g.y, g.width, g.height, rgba, dispose, g.transparent >= 0));
        apng.frames.back().delayNum = g.delay, apng.frames.back().delayDen = 100;
    }
    RenderedAnimation fromGif, fromApng;
    ASSERT_TRUE(renderGif(gifBytes(gif), fromGif));
    ASSERT_TRUE(renderPng(apngBytes(apng), fromApng));
    EXPECT_EQ(fromGif.frames.size(), 6u);
    EXPECT_EQ(compareRendered(fromGif, fromApng), "");
}

// Each corpus GIF against its reference frames (frames/NAME-N.png, or
// frames/NAME.png for a still).
TEST(AnimationCompositor, GifCorpusMatchesItsReferenceFrames)
{
    const std::string folder = corpusPath("gifsuite/gifs");
    const std::vector<std::string> gifs = listFiles(folder, ".gif");
    ASSERT_FALSE(gifs.empty());
    for (const std::string& name : gifs) {
        SCOPED_TRACE(name);
        RenderedAnimation rendered;
        ASSERT_TRUE(renderGif(readFileBytes(folder + "/" + name), rendered));
        const std::string stem = name.substr(0, name.size() - 4);
        std::vector<std::string> references;
        for (size_t i = 0; i < 100; ++i) {
            const std::string path = folder + "/frames/" + stem + "-" + std::to_string(i) + ".png";
            if (readFileBytes(path).empty())
                break;
            references.push_back(path);
        }
        if (references.empty())
            references.push_back(folder + "/frames/" + stem + ".png");
        ASSERT_EQ(rendered.frames.size(), references.size());
        for (size_t i = 0; i < references.size(); ++i) {
            RenderedAnimation reference;
            ASSERT_TRUE(renderPng(readFileBytes(references[i]), reference));
            RenderedAnimation frame = rendered;
            frame.frames = {rendered.frames[i]};
            frame.frames[0].delayNum = 0;
            frame.plays = 0;
            EXPECT_EQ(compareRendered(frame, reference), "") << "frame " << i;
        }
    }
}

// The judge of every other test: each kind of difference is found, and only those.
TEST(AnimationCompositor, CompareFindsEachDifference)
{
    RenderedAnimation base;
    ASSERT_TRUE(renderPng(apngBytes(handMadeApng(ApngColour::Rgba, false, true)), base));
    ASSERT_EQ(compareRendered(base, base), "");
    struct Change {
        std::function<void(RenderedAnimation&)> apply;
        bool differs;
        int tolerance;
    };
    const Change changes[] = {
        {[](RenderedAnimation& r) { r.plays = 5; }, true, 0},
        {[](RenderedAnimation& r) { r.frames.pop_back(); }, true, 0},
        {[](RenderedAnimation& r) { r.frames[1].delayNum = 5; }, true, 0},
        {[](RenderedAnimation& r) { r.frames[1].delayNum = 40, r.frames[1].delayDen = 1000; }, false, 0},
        {[](RenderedAnimation& r) { r.frames[0].delayDen = 100; }, false, 0},
        {[](RenderedAnimation& r) { r.frames[2].rgba[4] += 0x100; }, true, 0},
        {[](RenderedAnimation& r) { r.frames[2].rgba[4] += 0x100; }, false, 1},
        {[](RenderedAnimation& r) { r.frames[2].rgba[4] -= 2; }, true, 1},
        {[](RenderedAnimation& r) { r.frames[2].rgba[2] = 0x12345600; }, false, 0},
        {[](RenderedAnimation& r) { r.defaultImage[0] = G; }, true, 0},
        {[](RenderedAnimation& r) { r.hasHiddenDefault = false; }, true, 0},
        {[](RenderedAnimation& r) { r.height = 1; }, true, 0},
    };
    for (size_t i = 0; i < std::size(changes); ++i) {
        RenderedAnimation changed = base;
        changes[i].apply(changed);
        EXPECT_EQ(compareRenderedWithin(base, changed, changes[i].tolerance).empty(), !changes[i].differs) << i;
        EXPECT_EQ(compareRenderedWithin(changed, base, changes[i].tolerance).empty(), !changes[i].differs) << i;
    }
}
