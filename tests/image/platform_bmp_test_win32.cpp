// The Windows bitmap loader against our own decoder: both must give the same
// picture, so that a BMP converts alike on every platform.
//
// The suites run under Wine, whose loader falls short of the format in a few
// places; those variants are left out here and checked against ImageMagick
// and the expected pixels on the native build instead: core headers with a
// palette (some entries misread), 16-bit masks other than 5-5-5 (reduced to 5-5-5
// before widening), top-down rows (left blank) and 52/56-byte headers
// (refused).

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/bmp_reader.h"
#include "core/dib_image.h"
#include "core/image_loader.h"
#include "tests/common/test_support.h"
#include "tests/image/bmp_test_encoder.h"

namespace {

bool platformLoaderFallsShort(const BmpFormat& format)
{
    if (format.headerSize == 12 && format.bitCount <= 8)
        return true;
    if (format.bitCount == 16 && format.compression == kBiBitFields &&
        !(format.masks[0] == 0x7C00 && format.masks[1] == 0x03E0 && format.masks[2] == 0x001F))
        return true;
    return format.topDown || format.headerSize == 52 || format.headerSize == 56;
}

void expectSamePicture(const std::string& path, const std::vector<uint8_t>& file, const std::string& what)
{
    DibImage platform;
    int32_t transparent = 0;
    ASSERT_TRUE(loadBmpFile(platform, path.c_str(), transparent)) << what;
    EXPECT_EQ(transparent, -1);
    DibImage ours;
    ASSERT_TRUE(decodeBmp(file.data(), uint32_t(file.size()), ours)) << what;
    ASSERT_EQ(platform.width, ours.width) << what;
    ASSERT_EQ(platform.height, ours.height) << what;
    EXPECT_EQ(rgbaFromDib(platform).pixels, rgbaFromDib(ours).pixels) << what;
}

}  // namespace

TEST(PlatformBmpLoader, AgreesWithTheDecoder)
{
    TempDir dir;
    uint32_t seed = 900;
    size_t compared = 0;
    for (const BmpFormat& format : allBmpVariants()) {
        if (platformLoaderFallsShort(format))
            continue;
        const BmpPicture picture = randomPicture(13, 7, format, seed++);
        const std::vector<uint8_t> file = encodeBmp(picture, format);
        const std::string path = dir.file(format.name() + ".bmp");
        ASSERT_TRUE(writeFileBytes(path, file));
        expectSamePicture(path, file, format.name());
        ++compared;
    }
    EXPECT_GE(compared, 30u);
}

TEST(PlatformBmpLoader, RleLeavesUnreachedPixelsAtPaletteEntryZero)
{
    TempDir dir;
    BmpFormat format;
    format.bitCount = 8;
    format.compression = kBiRle8;
    format.colourUsed = 3;
    const std::vector<uint8_t> file =
        buildBmp(8, 3, {0x102030, 0xFF0000, 0x00FF00}, format, {2, 1, 0, 2, 2, 1, 1, 2, 0, 0, 0, 1});
    const std::string path = dir.file("sparse.bmp");
    ASSERT_TRUE(writeFileBytes(path, file));
    expectSamePicture(path, file, "sparse RLE8");
}

TEST(PlatformBmpLoader, AgreesWithTheDecoderOnTheCorpus)
{
    size_t compared = 0;
    for (const char* folder : {"pngsuite/bmp", "bench"}) {
        const std::string path = corpusPath(folder);
        for (const std::string& name : listFiles(path, ".bmp")) {
            expectSamePicture(path + "/" + name, readFileBytes(path + "/" + name), std::string(folder) + "/" + name);
            ++compared;
        }
    }
    EXPECT_GE(compared, 100u);
}
