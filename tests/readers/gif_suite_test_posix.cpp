// Every GIF of the GIF test suite loads its first image to the pixels of the
// suite's reference rendering of frame 0 (frames/<name>-0.png, or
// frames/<name>.png for still images), decoded with libpng.
//
// Inside the first image's rectangle the colours must match and the
// reference's transparent pixels must be exactly the reader's transparent
// ones. Screen pixels outside that rectangle hold the background entry, opaque
// (the reference leaves them transparent, which the reader does not model).

#include <gtest/gtest.h>

#include "tests/readers/reader_test_support.h"

namespace {

// What the test needs to know of a GIF: its screen, colour table in force,
// background entry and the first image's rectangle.
struct GifFacts {
    bool ok = false;
    uint32_t screenWidth = 0, screenHeight = 0;
    uint8_t background = 0;
    Bytes palette = Bytes(768, 0);
    uint32_t paletteCount = 0;
    uint32_t left = 0, top = 0, width = 0, height = 0;
};

GifFacts inspect(const Bytes& bytes)
{
    GifFacts facts;
    if (bytes.size() < 13)
        return facts;
    facts.screenWidth = bytes[6] | (bytes[7] << 8);
    facts.screenHeight = bytes[8] | (bytes[9] << 8);
    facts.background = bytes[11];
    size_t at = 13;
    auto table = [&](uint8_t packed) {
        const size_t entries = size_t(2) << (packed & 7);
        std::copy(bytes.begin() + long(at), bytes.begin() + long(at + entries * 3), facts.palette.begin());
        facts.paletteCount = uint32_t(entries);
        at += entries * 3;
    };
    if (bytes[10] & 0x80)
        table(bytes[10]);
    while (at < bytes.size()) {
        const uint8_t introducer = bytes[at++];
        if (introducer == 0x21) {
            ++at;   // label
            while (at < bytes.size() && bytes[at] != 0)
                at += size_t(bytes[at]) + 1;
            ++at;
        } else if (introducer == 0x2C) {
            if (at + 9 > bytes.size())
                return facts;
            facts.left = bytes[at] | (bytes[at + 1] << 8);
            facts.top = bytes[at + 2] | (bytes[at + 3] << 8);
            facts.width = bytes[at + 4] | (bytes[at + 5] << 8);
            facts.height = bytes[at + 6] | (bytes[at + 7] << 8);
            const uint8_t packed = bytes[at + 8];
            at += 9;
            if (packed & 0x80)
                table(packed);
            facts.ok = true;
            return facts;
        } else {
            return facts;
        }
    }
    return facts;
}

std::vector<std::string> suiteFiles()
{
    return listFiles(corpusPath("gifsuite/gifs"), ".gif");
}

std::string referenceFor(const std::string& gifName)
{
    const std::string stem = gifName.substr(0, gifName.size() - 4);
    const std::string first = corpusPath("gifsuite/gifs/frames/" + stem + "-0.png");
    if (!readFileBytes(first).empty())
        return first;
    return corpusPath("gifsuite/gifs/frames/" + stem + ".png");
}

class GifSuiteFile : public ::testing::TestWithParam<std::string> {};

}  // namespace

TEST(GifSuite, CorpusIsPresent)
{
    EXPECT_GE(suiteFiles().size(), 10u) << corpusPath("gifsuite/gifs");
}

TEST_P(GifSuiteFile, FirstImageMatchesReferenceFrame)
{
    const std::string path = corpusPath("gifsuite/gifs/" + GetParam());
    const GifFacts facts = inspect(readFileBytes(path));
    ASSERT_TRUE(facts.ok) << "no image descriptor found by the test's own scan";
    RgbaImage reference;
    ASSERT_TRUE(decodePngWithLibpng(referenceFor(GetParam()), reference)) << referenceFor(GetParam());

    const Loaded ours = loadGifPath(path);
    ASSERT_TRUE(ours.ok);
    ASSERT_EQ(ours.image.width, facts.screenWidth);
    ASSERT_EQ(ours.image.height, facts.screenHeight);
    ASSERT_EQ(reference.width, facts.screenWidth);
    ASSERT_EQ(reference.height, facts.screenHeight);

    const uint8_t* bg = &facts.palette[size_t(facts.background) * 3];
    const uint32_t background = (uint32_t(bg[0]) << 24) | (uint32_t(bg[1]) << 16) | (uint32_t(bg[2]) << 8) | 0xFF;
    size_t transparentPixels = 0;
    for (uint32_t y = 0; y < facts.screenHeight; ++y) {
        for (uint32_t x = 0; x < facts.screenWidth; ++x) {
            const uint32_t got = rgbaAt(ours.image, x, y);
            const bool inside =
                x >= facts.left && x - facts.left < facts.width && y >= facts.top && y - facts.top < facts.height;
            if (!inside) {
                ASSERT_EQ(got, background) << "outside the image at " << x << "," << y;
                continue;
            }
            const uint32_t want = rgbaAt(reference, x, y);
            const uint32_t alpha = want & 0xFF;
            ASSERT_TRUE(alpha == 0 || alpha == 255) << x << "," << y;
            const bool oursTransparent = ours.hasAlpha ? (got & 0xFF) == 0
                                                       : (ours.transparentColour >= 0 &&
                                                          (got >> 8) == uint32_t(ours.transparentColour));
            ASSERT_EQ(oursTransparent, alpha == 0) << "transparency differs at " << x << "," << y;
            if (alpha == 0) {
                ++transparentPixels;
            } else {
                ASSERT_EQ(got >> 8, want >> 8) << "colour differs at " << x << "," << y;
                ASSERT_EQ(got & 0xFF, 0xFFu);
            }
        }
    }
    const bool namedTransparent = GetParam().find("transparent") != std::string::npos &&
                                  GetParam().find("nontransparent") == std::string::npos;
    if (namedTransparent && facts.width * facts.height > 0 && facts.left < facts.screenWidth) {
        EXPECT_GT(transparentPixels, 0u) << "a transparent suite image shows no transparency";
    }
}

INSTANTIATE_TEST_SUITE_P(Corpus, GifSuiteFile, ::testing::ValuesIn(suiteFiles()),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                             std::string name = info.param.substr(0, info.param.size() - 4);
                             for (char& c : name)
                                 if (!std::isalnum(static_cast<unsigned char>(c)))
                                     c = '_';
                             return name;
                         });
