#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/byte_buffer.h"
#include "core/dib_image.h"
#include "core/image_loader.h"
#include "tests/common/test_support.h"
#include "tests/image/bmp_test_encoder.h"

namespace {

std::vector<uint8_t> bytes(const std::string& text)
{
    return std::vector<uint8_t>(text.begin(), text.end());
}

ImageFileKind kindOf(const std::vector<uint8_t>& head)
{
    return imageFileKind(head.data(), uint32_t(head.size()));
}

bool allOpaque(const DibImage& image)
{
    for (int32_t y = 0; y < image.height; ++y)
        for (int32_t x = 0; x < image.width; ++x)
            if ((image.pixelAt(x, y) >> 24) != 255)
                return false;
    return true;
}

const std::vector<uint8_t> kPngSignature = {137, 80, 78, 71, 13, 10, 26, 10};

}  // namespace

TEST(ImageLoader, SignaturesChooseTheReader)
{
    EXPECT_EQ(kindOf(bytes("BM")), ImageFileKind::Bmp);
    EXPECT_EQ(kindOf(bytes("BM\x01\x02\x03")), ImageFileKind::Bmp);
    EXPECT_EQ(kindOf(bytes("BMxxxxxxx")), ImageFileKind::Bmp);
    EXPECT_EQ(kindOf(kPngSignature), ImageFileKind::Png);
    EXPECT_EQ(kindOf(bytes("GIF89a\x01\x00")), ImageFileKind::Gif);
    EXPECT_EQ(kindOf(bytes("GIF")), ImageFileKind::Gif);
    // Signatures longer than the file do not match.
    EXPECT_EQ(kindOf(std::vector<uint8_t>(kPngSignature.begin(), kPngSignature.end() - 1)), ImageFileKind::Unknown);
    EXPECT_EQ(kindOf(bytes("GI")), ImageFileKind::Unknown);
    EXPECT_EQ(kindOf(bytes("B")), ImageFileKind::Unknown);
    EXPECT_EQ(kindOf({}), ImageFileKind::Unknown);
    // Case and order matter.
    EXPECT_EQ(kindOf(bytes("bm000000")), ImageFileKind::Unknown);
    EXPECT_EQ(kindOf(bytes("MB000000")), ImageFileKind::Unknown);
    EXPECT_EQ(kindOf(bytes("gif89a00")), ImageFileKind::Unknown);
}

TEST(ImageLoader, BmpLoadsOpaqueWithoutTransparentColour)
{
    TempDir dir;
    // 32 bits carry a fourth byte that must not become alpha.
    for (uint16_t bitCount : {24, 32, 8}) {
        BmpFormat format;
        format.bitCount = bitCount;
        const BmpPicture picture = randomPicture(6, 5, format, bitCount);
        const std::string path = dir.file("picture" + std::to_string(bitCount) + ".bmp");
        ASSERT_TRUE(writeFileBytes(path, encodeBmp(picture, format)));

        DibImage image;
        image.hasAlpha = 1;
        int32_t transparent = 0x123456;
        ASSERT_TRUE(loadImageFile(image, path.c_str(), transparent)) << bitCount;
        EXPECT_EQ(image.hasAlpha, 0);
        EXPECT_EQ(transparent, -1);
        EXPECT_TRUE(allOpaque(image));
        const RgbaImage expected = expectedPicture(picture, format);
        EXPECT_EQ(rgbaFromDib(image).pixels, expected.pixels) << bitCount;
    }
}

TEST(ImageLoader, ContentDecidesNotTheExtension)
{
    TempDir dir;
    // A PNG named .gif loads as a PNG (an RGBA one: hasAlpha set).
    const std::vector<uint8_t> png = readFileBytes(corpusPath("pngsuite/png/basn6a08.png"));
    ASSERT_FALSE(png.empty());
    ASSERT_TRUE(writeFileBytes(dir.file("really-png.gif"), png));
    DibImage image;
    int32_t transparent = 0;
    ASSERT_TRUE(loadImageFile(image, dir.file("really-png.gif").c_str(), transparent));
    EXPECT_EQ(image.width, 32);
    EXPECT_EQ(image.height, 32);
    EXPECT_EQ(image.hasAlpha, 1);

    // A BMP named .png loads as a BMP.
    BmpFormat format;
    const BmpPicture picture = randomPicture(3, 3, format, 8);
    ASSERT_TRUE(writeFileBytes(dir.file("really-bmp.png"), encodeBmp(picture, format)));
    ASSERT_TRUE(loadImageFile(image, dir.file("really-bmp.png").c_str(), transparent));
    EXPECT_EQ(image.hasAlpha, 0);   // cleared although the PNG before set it
    EXPECT_EQ(rgbaFromDib(image).pixels, expectedPicture(picture, format).pixels);

    // A GIF named .bmp loads as a GIF.
    const std::vector<std::string> gifs = listFiles(corpusPath("gifsuite/gifs"), ".gif");
    ASSERT_FALSE(gifs.empty());
    ASSERT_TRUE(writeFileBytes(dir.file("really-gif.bmp"), readFileBytes(corpusPath("gifsuite/gifs/" + gifs[0]))));
    EXPECT_TRUE(loadImageFile(image, dir.file("really-gif.bmp").c_str(), transparent));
    EXPECT_FALSE(image.isEmpty());
}

TEST(ImageLoader, ExtendedInputChangesNothingForBitmapsAndGifs)
{
    TempDir dir;
    BmpFormat format;
    const BmpPicture picture = randomPicture(5, 4, format, 24);
    ASSERT_TRUE(writeFileBytes(dir.file("picture.bmp"), encodeBmp(picture, format)));
    const std::vector<std::string> gifs = listFiles(corpusPath("gifsuite/gifs"), ".gif");
    ASSERT_FALSE(gifs.empty());
    ASSERT_TRUE(writeFileBytes(dir.file("picture.gif"), readFileBytes(corpusPath("gifsuite/gifs/" + gifs[0]))));
    for (const char* name : {"picture.bmp", "picture.gif"}) {
        DibImage plain, extended;
        int32_t plainColour = -2, extendedColour = -2;
        AppendBuffer chunks;
        ASSERT_TRUE(chunks.init(8, 8));
        ASSERT_TRUE(loadImageFile(plain, dir.file(name).c_str(), plainColour));
        ASSERT_TRUE(loadImageFile(extended, dir.file(name).c_str(), extendedColour, ImageInput::Extended, &chunks));
        EXPECT_EQ(rgbaFromDib(extended).pixels, rgbaFromDib(plain).pixels) << name;
        EXPECT_EQ(extended.hasAlpha, plain.hasAlpha) << name;
        EXPECT_EQ(extendedColour, plainColour) << name;
        EXPECT_EQ(chunks.used, 0u) << name;
    }
}

TEST(ImageLoader, UnknownAndBrokenFilesFail)
{
    TempDir dir;
    const struct {
        const char* name;
        std::vector<uint8_t> content;
    } files[] = {
        {"notes.png", bytes("This is a text file, not a picture.\r\n")},
        {"empty.bmp", {}},
        {"short-bm.bmp", bytes("BM\x01\x02")},   // goes to the BMP reader, which refuses it
        {"bm-only.bmp", bytes("BM")},
        {"short-png.png", std::vector<uint8_t>(kPngSignature.begin(), kPngSignature.end() - 1)},
        {"header-only.png", kPngSignature},
        {"short-gif.gif", bytes("GIF8")},
        {"broken.bmp", bytes("BM this is no bitmap at all, only text after the two letters")},
    };
    for (const auto& f : files) {
        ASSERT_TRUE(writeFileBytes(dir.file(f.name), f.content));
        DibImage image;
        image.hasAlpha = 1;
        int32_t transparent = 77;
        EXPECT_FALSE(loadImageFile(image, dir.file(f.name).c_str(), transparent)) << f.name;
        EXPECT_EQ(image.hasAlpha, 0) << f.name;
        EXPECT_EQ(transparent, -1) << f.name;
    }
    DibImage image;
    int32_t transparent = 0;
    EXPECT_FALSE(loadImageFile(image, dir.file("does-not-exist.bmp").c_str(), transparent));
}
