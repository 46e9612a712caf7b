// readAnimatedGif over the GIF test suite (every animated file whole, its
// first frame as libpng reads the suite's rendering of it) and over GIFs
// built here, intact, cut and damaged.

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "core/animation.h"
#include "tests/readers/reader_test_support.h"

namespace {

AnimationRead readBytes(const Bytes& file, Animation8& animation)
{
    return readAnimatedGif(file.data(), uint32_t(file.size()), animation);
}

// Every frame holds its rectangle's pixels and lies inside the canvas.
void expectWellFormed(const Animation8& animation)
{
    for (const AnimationFrame& frame : animation.frames) {
        EXPECT_EQ(frame.rgba.size(), size_t(frame.width) * frame.height);
        EXPECT_GT(frame.width * frame.height, 0u);
        EXPECT_LE(uint64_t(frame.x) + frame.width, animation.width);
        EXPECT_LE(uint64_t(frame.y) + frame.height, animation.height);
    }
}

// Graphic control extension: delay in centiseconds, disposal, transparent index (-1: none).
Bytes graphicControl(uint16_t delay, uint8_t disposal, int transparent)
{
    return {0x21, 0xF9, 4, uint8_t(disposal << 2 | (transparent >= 0 ? 1 : 0)), uint8_t(delay), uint8_t(delay >> 8),
            uint8_t(transparent >= 0 ? transparent : 0), 0};
}

Bytes loopExtension(uint16_t loops)
{
    const std::string id = "NETSCAPE2.0";
    Bytes block(id.begin(), id.end());
    block.insert(block.begin(), {0x21, 0xFF, 11});
    for (uint8_t byte : {3, 1, loops & 0xFF, loops >> 8, 0})
        block.push_back(byte);
    return block;
}

struct Image {
    GifImagePart part;
    Bytes control;
};

// Indices 0..n-1 over a rectangle, varied by position.
Bytes pattern(uint32_t width, uint32_t height, uint32_t modulo)
{
    Bytes indices;
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x)
            indices.push_back(uint8_t((x + 2 * y) % modulo));
    return indices;
}

const std::vector<uint32_t> kGlobal = {0x102030, 0xFF0000, 0x00FF00, 0x0000FF};

std::vector<Image> sampleImages()
{
    std::vector<Image> images(3);
    images[0].part = {1, 1, 3, 2, false, pattern(3, 2, 4), {}, 2};
    images[0].control = graphicControl(7, 2, 1);
    // Partly outside the 6x4 screen; a local table of 4 entries, index 5 beyond it.
    images[1].part = {4, 2, 4, 4, true, pattern(4, 4, 6), colourTable({0xAAAAAA, 0xBBBBBB, 0xCCCCCC, 0xDDDDDD}), 3};
    images[1].control = graphicControl(9, 3, -1);
    images[2].part = {10, 10, 2, 2, false, pattern(2, 2, 4), {}, 2};   // wholly outside
    images[2].control = graphicControl(11, 2, 0);
    return images;
}

Bytes buildGif(const std::vector<Image>& images, const Bytes& extension)
{
    GifBuilder gif(6, 4, colourTable(kGlobal), 2);
    gif.bytes.insert(gif.bytes.end(), extension.begin(), extension.end());
    for (const Image& image : images) {
        gif.bytes.insert(gif.bytes.end(), image.control.begin(), image.control.end());
        gif.image(image.part);
    }
    return gif.trailer().bytes;
}

uint32_t rgbaOf(uint32_t colour)
{
    return colour << 8 | 0xFF;
}

}  // namespace

TEST(AnimatedGifReader, SuiteFilesReadWhole)
{
    for (const std::string& name : listFiles(corpusPath("gifsuite/gifs"), ".gif")) {
        SCOPED_TRACE(name);
        const std::string stem = name.substr(0, name.size() - 4);
        size_t rendered = 0;
        while (!readFileBytes(corpusPath("gifsuite/gifs/frames/" + stem + "-" + std::to_string(rendered) + ".png"))
                    .empty())
            ++rendered;
        Animation8 animation;
        const AnimationRead read = readBytes(readFileBytes(corpusPath("gifsuite/gifs/" + name)), animation);
        if (rendered < 2) {
            EXPECT_EQ(read, AnimationRead::NotAnimated);
            continue;
        }
        ASSERT_EQ(read, AnimationRead::Done);
        EXPECT_EQ(animation.frames.size(), rendered);
        expectWellFormed(animation);

        // The first rendered frame is the first image over a transparent canvas.
        RgbaImage reference;
        ASSERT_TRUE(decodePngWithLibpng(corpusPath("gifsuite/gifs/frames/" + stem + "-0.png"), reference));
        ASSERT_EQ(reference.width, animation.width);
        ASSERT_EQ(reference.height, animation.height);
        const AnimationFrame& first = animation.frames[0];
        ASSERT_EQ(first.width, animation.width);
        for (uint32_t y = 0; y < reference.height; ++y)
            for (uint32_t x = 0; x < reference.width; ++x) {
                const uint8_t* p = reference.at(x, y);
                const uint32_t want =
                    p[3] == 0 ? 0 : uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
                const uint32_t got = first.rgba[y * first.width + x];
                ASSERT_EQ((got & 0xFF) == 0 ? 0 : got, want) << x << "," << y;
            }
    }
}

TEST(AnimatedGifReader, BuiltFiles)
{
    const std::vector<Image> images = sampleImages();
    Animation8 animation;
    ASSERT_EQ(readBytes(buildGif(images, loopExtension(3)), animation), AnimationRead::Done);
    expectWellFormed(animation);
    EXPECT_EQ(animation.plays, 4u);
    ASSERT_EQ(animation.frames.size(), 3u);
    const AnimationFrame& a = animation.frames[0];
    const AnimationFrame& b = animation.frames[1];
    const AnimationFrame& c = animation.frames[2];
    // The first frame fills the canvas, its image at (1,1); index 1 is transparent.
    EXPECT_EQ(std::vector<uint32_t>(
                  {a.x, a.y, a.width, a.height, a.delayNumerator, a.delayDenominator, a.dispose, a.blend}),
              std::vector<uint32_t>({0, 0, 6, 4, 7, 100, DISPOSE_BACKGROUND, BLEND_SOURCE}));
    for (uint32_t y = 0; y < 4; ++y)
        for (uint32_t x = 0; x < 6; ++x) {
            const bool inside = x >= 1 && x < 4 && y >= 1 && y < 3;
            const uint8_t index = inside ? images[0].part.indices[(y - 1) * 3 + (x - 1)] : 0;
            EXPECT_EQ(a.rgba[y * 6 + x], !inside || index == 1 ? 0u : rgbaOf(kGlobal[index])) << x << "," << y;
        }
    // Cut to the screen's 2x2 corner; indices beyond the local table show the background entry (2).
    EXPECT_EQ(std::vector<uint32_t>({b.x, b.y, b.width, b.height, b.delayNumerator, b.dispose, b.blend}),
              std::vector<uint32_t>({4, 2, 2, 2, 9, DISPOSE_PREVIOUS, BLEND_SOURCE}));
    const std::vector<uint32_t> local = {0xAAAAAA, 0xBBBBBB, 0xCCCCCC, 0xDDDDDD};
    for (uint32_t y = 0; y < 2; ++y)
        for (uint32_t x = 0; x < 2; ++x) {
            const uint8_t index = images[1].part.indices[y * 4 + x];
            EXPECT_EQ(b.rgba[y * 2 + x], rgbaOf(local[index < 4 ? index : 2])) << x << "," << y;
        }
    // Wholly outside: one invisible pixel keeps the delay and changes nothing.
    EXPECT_EQ(std::vector<uint32_t>({c.x, c.y, c.width, c.height, c.delayNumerator, c.dispose, c.blend, c.rgba[0]}),
              std::vector<uint32_t>({0, 0, 1, 1, 11, DISPOSE_NONE, BLEND_OVER, 0}));

    const Bytes intact = buildGif(images, {});
    const size_t firstEnd = buildGif({images[0]}, {}).size() - 1;   // without the trailer
    const size_t secondEnd = buildGif({images[0], images[1]}, {}).size() - 1;
    // Two bytes into the second image's data: control, descriptor, local table, code size, block size.
    const size_t insideSecond = firstEnd + 8 + 10 + 12 + 1 + 1 + 2;
    struct Case {
        const char* name;
        Bytes file;
        AnimationRead expected;
        size_t frames;
        uint32_t plays;
    };
    Bytes earlyEnd = images[1].part.indices;
    earlyEnd.resize(5);
    std::vector<Image> shortImage = {images[0], images[1]};
    shortImage[1].part.indices = earlyEnd;   // its end code comes before the rectangle is full
    shortImage[1].part.interlaced = false;
    GifBuilder emptyScreen(0, 0, colourTable(kGlobal));
    GifBuilder hugeScreen(16385, 16385, colourTable(kGlobal));   // above kMaxAnimationPixels
    const Case cases[] = {
        {"no looping extension", intact, AnimationRead::Done, 3, 1},
        {"looping without end", buildGif(images, loopExtension(0)), AnimationRead::Done, 3, 0},
        {"without trailer", Bytes(intact.begin(), intact.end() - 1), AnimationRead::Done, 3, 1},
        {"cut inside the third image", Bytes(intact.begin(), intact.begin() + long(secondEnd) + 14),
         AnimationRead::Done, 2, 1},
        {"cut inside the second image", Bytes(intact.begin(), intact.begin() + long(insideSecond)),
         AnimationRead::Malformed, 0, 0},
        {"one image", buildGif({images[0]}, loopExtension(2)), AnimationRead::NotAnimated, 0, 0},
        {"second image ends early", buildGif(shortImage, {}), AnimationRead::Malformed, 0, 0},
        {"empty screen", emptyScreen.image(images[0].part).image(images[0].part).trailer().bytes,
         AnimationRead::Malformed, 0, 0},
        {"screen above the limit", hugeScreen.image(images[0].part).image(images[0].part).trailer().bytes,
         AnimationRead::Malformed, 0, 0},
        {"not a GIF", Bytes(intact.begin() + 1, intact.end()), AnimationRead::Malformed, 0, 0},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        ASSERT_EQ(readBytes(test.file, animation), test.expected);
        EXPECT_EQ(animation.frames.size(), test.frames);
        EXPECT_EQ(animation.plays, test.plays);
        expectWellFormed(animation);
    }
    // Every prefix: read once two images are whole, never with a frame that
    // did not decode whole.
    for (size_t cut = 0; cut < intact.size(); ++cut) {
        const AnimationRead read = readAnimatedGif(intact.data(), uint32_t(cut), animation);
        if (cut <= insideSecond) {
            EXPECT_NE(read, AnimationRead::Done) << cut;
        } else if (cut >= secondEnd) {
            EXPECT_EQ(read, AnimationRead::Done) << cut;
        }
        EXPECT_TRUE(read == AnimationRead::Done ? animation.frames.size() >= 2 : animation.frames.empty()) << cut;
        expectWellFormed(animation);
    }
}
