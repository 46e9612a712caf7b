// The animation probe against files whose animation is known: the GIF
// suite's animated and still files, every PngSuite file, and animated PNGs
// made here, intact and damaged; the file and memory forms must agree.

#include <gtest/gtest.h>

#include <cstring>

#include "core/animation_probe.h"
#include "tests/common/image_file_builders.h"

namespace {

Animation probeBoth(const std::vector<uint8_t>& bytes, const std::string& where)
{
    TempDir dir;
    const std::string path = dir.file("probe.img");
    writeFileBytes(path, bytes);
    const Animation fromFile = probeAnimationFile(path.c_str());
    EXPECT_EQ(fromFile, probeAnimationMemory(bytes.data(), static_cast<uint32_t>(bytes.size()))) << where;
    return fromFile;
}

// The animated PNG with its acTL chunk moved behind the first IDAT, where it
// no longer makes the file an animation.
std::vector<uint8_t> withAnimationControlLate(std::vector<uint8_t> png)
{
    const auto find = [&](const char* type) {
        for (size_t at = 8; at + 8 <= png.size();) {
            if (std::memcmp(&png[at + 4], type, 4) == 0)
                return at;
            at += 12 + (size_t(png[at]) << 24 | size_t(png[at + 1]) << 16 | size_t(png[at + 2]) << 8 | png[at + 3]);
        }
        return png.size();
    };
    const size_t control = find("acTL");
    const std::vector<uint8_t> chunk(png.begin() + control, png.begin() + control + 20);
    png.erase(png.begin() + control, png.begin() + control + 20);
    const size_t data = find("IDAT");
    const size_t after = data + 12 + (size_t(png[data + 2]) << 8 | png[data + 3]);
    png.insert(png.begin() + after, chunk.begin(), chunk.end());
    return png;
}

}  // namespace

TEST(AnimationProbe, KnownFilesAndDamage)
{
    for (const std::string& name : listFiles(corpusPath("gifsuite/gifs"), ".gif")) {
        const Animation expected = name.rfind("animated", 0) == 0 ? Animation::AnimatedGif : Animation::None;
        EXPECT_EQ(probeBoth(readFileBytes(corpusPath("gifsuite/gifs/" + name)), name), expected) << name;
    }
    for (const std::string& name : listFiles(corpusPath("pngsuite/png"), ".png"))
        EXPECT_EQ(probeBoth(readFileBytes(corpusPath("pngsuite/png/" + name)), name), Animation::None) << name;

    RgbaImage picture;
    picture.width = 5;
    picture.height = 4;
    picture.pixels.assign(5 * 4 * 4, 200);
    const std::vector<uint8_t> animated = encodeAnimatedPng(picture, 3);
    EXPECT_EQ(probeBoth(animated, "animated"), Animation::AnimatedPng);
    EXPECT_EQ(probeBoth(withAnimationControlLate(animated), "acTL after IDAT"), Animation::None);
    for (const size_t cut : {size_t(7), size_t(8), size_t(33 + 6)})
        EXPECT_EQ(probeBoth({animated.begin(), animated.begin() + cut}, "cut"), Animation::None) << cut;
    EXPECT_EQ(probeBoth({animated.begin(), animated.begin() + 33 + 20}, "up to acTL"), Animation::AnimatedPng);

    // A GIF cut inside its second image still has two images; cut inside the first, one.
    const std::vector<uint8_t> gif = readFileBytes(corpusPath("gifsuite/gifs/animated_loop.gif"));
    EXPECT_EQ(probeBoth({gif.begin(), gif.begin() + 40}, "gif cut"), Animation::None);
}
