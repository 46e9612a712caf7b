#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "core/bmp_reader.h"
#include "core/dib_image.h"
#include "tests/common/picture_compare.h"
#include "tests/common/test_support.h"
#include "tests/image/bmp_test_encoder.h"

namespace {

// Decodes exactly the given bytes (a copy of their own size, so that a read
// past the end is caught by the sanitizers).
bool decode(const std::vector<uint8_t>& file, DibImage& image)
{
    std::vector<uint8_t> copy(file);
    return decodeBmp(copy.empty() ? nullptr : copy.data(), uint32_t(copy.size()), image);
}

// A picture given as rows of 0x00RRGGBB from the top, expected opaque.
RgbaImage opaquePicture(uint32_t width, const std::vector<uint32_t>& rgb)
{
    RgbaImage out;
    out.width = width;
    out.height = uint32_t(rgb.size() / width);
    for (uint32_t colour : rgb) {
        out.pixels.push_back(uint8_t(colour >> 16));
        out.pixels.push_back(uint8_t(colour >> 8));
        out.pixels.push_back(uint8_t(colour));
        out.pixels.push_back(255);
    }
    return out;
}

BmpFormat format(uint32_t headerSize, uint16_t bitCount, uint32_t compression)
{
    BmpFormat f;
    f.headerSize = headerSize;
    f.bitCount = bitCount;
    f.compression = compression;
    return f;
}

BmpFormat bitFields(uint16_t bitCount, uint32_t red, uint32_t green, uint32_t blue)
{
    BmpFormat f = format(40, bitCount, kBiBitFields);
    f.masks[0] = red;
    f.masks[1] = green;
    f.masks[2] = blue;
    return f;
}

// Decodes a one-row file of the given words and returns its colours as 0x00RRGGBB.
std::vector<uint32_t> decodeWords(const BmpFormat& f, const std::vector<uint32_t>& words)
{
    BmpPicture picture;
    picture.width = int32_t(words.size());
    picture.height = 1;
    picture.values = words;
    DibImage image;
    if (!decode(encodeBmp(picture, f), image))
        return {};
    std::vector<uint32_t> colours;
    for (int32_t x = 0; x < image.width; ++x) {
        EXPECT_EQ(image.pixelAt(x, 0) >> 24, 255u);
        colours.push_back(image.pixelAt(x, 0) & 0xFFFFFF);
    }
    return colours;
}

// Palette for the hand-written RLE streams: entry 0 is not black, so that
// pixels the stream leaves alone can be told from black.
const std::vector<uint32_t> kRlePalette = {0x010203, 0xFF0000, 0x00FF00, 0x0000FF};

std::vector<uint8_t> rleFile(uint16_t bitCount, int32_t width, int32_t height, const std::vector<uint8_t>& stream)
{
    BmpFormat f = format(40, bitCount, bitCount == 8 ? kBiRle8 : kBiRle4);
    f.colourUsed = uint32_t(kRlePalette.size());
    return buildBmp(width, height, kRlePalette, f, stream);
}

// The picture of palette indices (rows from the top) with kRlePalette.
RgbaImage rlePicture(uint32_t width, const std::vector<uint32_t>& indices)
{
    std::vector<uint32_t> rgb;
    for (uint32_t index : indices)
        rgb.push_back(kRlePalette[index]);
    return opaquePicture(width, rgb);
}

// A valid 3 x 2 24-bit file for the corruption tests.
std::vector<uint8_t> validFile(uint32_t headerSize = 40)
{
    return encodeBmp(randomPicture(3, 2, format(headerSize, 24, kBiRgb), 5), format(headerSize, 24, kBiRgb));
}

void put32(std::vector<uint8_t>& file, size_t offset, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        file[offset + i] = uint8_t(value >> (8 * i));
}

void put16(std::vector<uint8_t>& file, size_t offset, uint32_t value)
{
    file[offset] = uint8_t(value);
    file[offset + 1] = uint8_t(value >> 8);
}

// Offsets in the file of the 40-byte header's fields.
constexpr size_t kOffBits = 10;
constexpr size_t kHeaderSize = 14;
constexpr size_t kWidth = 18;
constexpr size_t kHeight = 22;
constexpr size_t kPlanes = 26;
constexpr size_t kBitCount = 28;
constexpr size_t kCompression = 30;

}  // namespace

TEST(BmpDecoder, EveryVariantDecodesToItsPicture)
{
    const struct {
        int32_t width, height;
    } sizes[] = {{13, 7}, {1, 1}, {8, 3}, {33, 2}};
    uint32_t seed = 1;
    for (const BmpFormat& f : allBmpVariants()) {
        for (const auto& size : sizes) {
            const BmpPicture picture = randomPicture(size.width, size.height, f, seed++);
            DibImage image;
            image.hasAlpha = 1;
            ASSERT_TRUE(decode(encodeBmp(picture, f), image)) << f.name() << " " << size.width << "x" << size.height;
            EXPECT_TRUE(samePicture(rgbaFromDib(image), expectedPicture(picture, f)))
                << f.name() << " " << size.width << "x" << size.height;
            EXPECT_EQ(image.hasAlpha, 1);   // left to the caller
        }
    }
}

TEST(BmpDecoder, FiveBitFieldsRepeatTheirTopBits)
{
    // 5-5-5: 31 -> 255, 16 -> 0x84, 1 -> 8, 0 -> 0.
    EXPECT_EQ(decodeWords(format(40, 16, kBiRgb), {0x7FFF, 0x4210, 0x0421, 0x0000, 0x7C00}),
              (std::vector<uint32_t>{0xFFFFFF, 0x848484, 0x080808, 0x000000, 0xFF0000}));
    // The top bit of a 16-bit word is not part of any field.
    EXPECT_EQ(decodeWords(format(40, 16, kBiRgb), {0x8000}), (std::vector<uint32_t>{0x000000}));
}

TEST(BmpDecoder, OtherFieldWidthsWidenTheSameWay)
{
    // 5-6-5: green 32 -> 0x82, green 1 -> 4.
    EXPECT_EQ(decodeWords(bitFields(16, 0xF800, 0x07E0, 0x001F), {0xFFFF, 0x0400, 0x0020, 0x8010}),
              (std::vector<uint32_t>{0xFFFFFF, 0x008200, 0x000400, 0x840084}));
    // 4-4-4: 15 -> 255, 8 -> 0x88, 1 -> 0x11.
    EXPECT_EQ(decodeWords(bitFields(16, 0x0F00, 0x00F0, 0x000F), {0x0FFF, 0x0800, 0x0011}),
              (std::vector<uint32_t>{0xFFFFFF, 0x880000, 0x001111}));
    // 1-, 2- and 3-bit fields: 1 -> 255, 01 -> 0x55, 001 -> 0x24.
    EXPECT_EQ(decodeWords(bitFields(16, 0x8000, 0x6000, 0x1C00), {0x8000, 0x2000, 0x0400}),
              (std::vector<uint32_t>{0xFF0000, 0x005500, 0x000024}));
    // 10-10-10 keeps the top 8 bits.
    EXPECT_EQ(decodeWords(bitFields(32, 0x3FF00000, 0x000FFC00, 0x000003FF),
                          {0x3FFFFFFF, (0x200u << 20) | (0x1FFu << 10) | 0x3u}),
              (std::vector<uint32_t>{0xFFFFFF, 0x807F00}));
    // An empty mask gives 0 in its channel.
    EXPECT_EQ(decodeWords(bitFields(16, 0, 0x07E0, 0), {0xFFFF}), (std::vector<uint32_t>{0x00FF00}));
}

TEST(BmpDecoder, ThirtyTwoBitsIgnoreTheFourthByte)
{
    EXPECT_EQ(decodeWords(format(40, 32, kBiRgb), {0x80112233, 0x00445566}),
              (std::vector<uint32_t>{0x112233, 0x445566}));
    BmpFormat v5 = format(124, 32, kBiBitFields);
    v5.masks[0] = 0x00FF0000;
    v5.masks[1] = 0x0000FF00;
    v5.masks[2] = 0x000000FF;
    v5.masks[3] = 0xFF000000;
    EXPECT_EQ(decodeWords(v5, {0x00112233, 0x7F445566}), (std::vector<uint32_t>{0x112233, 0x445566}));
}

TEST(BmpDecoder, IndexBeyondThePaletteIsBlack)
{
    BmpFormat f = format(40, 8, kBiRgb);
    f.colourUsed = 2;
    BmpPicture picture;
    picture.width = 4;
    picture.height = 1;
    picture.values = {0, 1, 2, 200};
    picture.palette = {0x010203, 0xFF0000};
    DibImage image;
    ASSERT_TRUE(decode(encodeBmp(picture, f), image));
    EXPECT_TRUE(samePicture(rgbaFromDib(image), opaquePicture(4, {0x010203, 0xFF0000, 0, 0})));
}

TEST(BmpDecoder, RleDeltaAndEndOfLineLeavePaletteEntryZero)
{
    // Bottom row: two of index 1; delta 2 right, 1 up; one of index 2; end of
    // line; end of bitmap before the top row.
    DibImage image;
    ASSERT_TRUE(decode(rleFile(8, 8, 3, {2, 1, 0, 2, 2, 1, 1, 2, 0, 0, 0, 1}), image));
    EXPECT_TRUE(samePicture(rgbaFromDib(image), rlePicture(8, {0, 0, 0, 0, 0, 0, 0, 0,   //
                                                               0, 0, 0, 0, 2, 0, 0, 0,   //
                                                               1, 1, 0, 0, 0, 0, 0, 0})));
}

TEST(BmpDecoder, RleRunPastTheRightEdgeIsCutOff)
{
    DibImage image;
    ASSERT_TRUE(decode(rleFile(8, 4, 2, {7, 1, 0, 0, 1, 2, 0, 1}), image));
    EXPECT_TRUE(samePicture(rgbaFromDib(image), rlePicture(4, {2, 0, 0, 0,   //
                                                               1, 1, 1, 1})));
}

TEST(BmpDecoder, RleAbsoluteRunsSkipTheirPadding)
{
    DibImage image;
    ASSERT_TRUE(decode(rleFile(8, 4, 2, {0, 3, 1, 2, 3, 0, 0, 0, 0, 4, 3, 3, 2, 1, 0, 1}), image));
    EXPECT_TRUE(samePicture(rgbaFromDib(image), rlePicture(4, {3, 3, 2, 1,   //
                                                               1, 2, 3, 0})));
    // RLE4: a run alternates its two nibbles; an absolute run of 3 nibbles
    // takes 2 bytes and no padding, one of 5 takes 3 bytes and one pad byte.
    ASSERT_TRUE(decode(rleFile(4, 8, 2, {5, 0x12, 0, 3, 0x21, 0x20, 0, 0, 0, 5, 0x32, 0x10, 0x30, 0, 0, 1}), image));
    EXPECT_TRUE(samePicture(rgbaFromDib(image), rlePicture(8, {3, 2, 1, 0, 3, 0, 0, 0,   //
                                                               1, 2, 1, 2, 1, 2, 1, 2})));
}

TEST(BmpDecoder, RleMayStopOnceEveryRowIsDone)
{
    DibImage image;
    // End of line after the last row, no end-of-bitmap.
    ASSERT_TRUE(decode(rleFile(8, 2, 2, {2, 1, 0, 0, 2, 3, 0, 0}), image));
    EXPECT_TRUE(samePicture(rgbaFromDib(image), rlePicture(2, {3, 3, 1, 1})));
    // A delta beyond the top row ends the picture; what follows is not read.
    ASSERT_TRUE(decode(rleFile(8, 2, 2, {1, 1, 0, 2, 0, 5, 9}), image));
    EXPECT_TRUE(samePicture(rgbaFromDib(image), rlePicture(2, {0, 0, 1, 0})));
}

TEST(BmpDecoder, RleStreamsThatStopShortAreRefused)
{
    const std::vector<std::vector<uint8_t>> streams = {
        {3, 1},                  // rows left and no end-of-bitmap
        {},                      // nothing at all
        {2, 1, 0, 0},            // one of three rows
        {2, 1, 0, 2, 1},         // delta cut short
        {0, 5, 1, 2},            // absolute run cut short
        {2, 1, 0},               // escape cut short
    };
    for (const auto& stream : streams) {
        DibImage image;
        EXPECT_FALSE(decode(rleFile(8, 4, 3, stream), image)) << stream.size() << " bytes";
        EXPECT_TRUE(image.isEmpty());
    }
}

TEST(BmpDecoder, TruncatedFilesAreRefused)
{
    // Every variant, cut at every length: refused until all pixels are there
    // (the last row of an uncompressed file may lack its padding).
    for (const BmpFormat& f : allBmpVariants()) {
        const BmpPicture picture = randomPicture(7, 3, f, 99);
        const std::vector<uint8_t> file = encodeBmp(picture, f);
        size_t shortest = file.size();
        if (f.compression != kBiRle8 && f.compression != kBiRle4) {
            const size_t rowBytes = (size_t(picture.width) * f.bitCount + 7) / 8;
            shortest -= ((rowBytes + 3) & ~size_t(3)) - rowBytes;
        }
        const RgbaImage expected = expectedPicture(picture, f);
        for (size_t length = 0; length < file.size(); ++length) {
            DibImage image;
            const std::vector<uint8_t> prefix(file.begin(), file.begin() + std::ptrdiff_t(length));
            const bool decoded = decode(prefix, image);
            ASSERT_EQ(decoded, length >= shortest) << f.name() << " cut to " << length << " of " << file.size();
            if (decoded) {
                EXPECT_TRUE(samePicture(rgbaFromDib(image), expected)) << f.name() << " cut to " << length;
            }
        }
    }
}

TEST(BmpDecoder, CorruptHeadersAreRefusedAndTheImageKept)
{
    using Mutation = std::function<void(std::vector<uint8_t>&)>;
    const struct {
        const char* what;
        Mutation mutate;
    } cases[] = {
        {"not BM", [](auto& f) { f[1] = 'A'; }},
        {"header size 0", [](auto& f) { put32(f, kHeaderSize, 0); }},
        {"header size 16", [](auto& f) { put32(f, kHeaderSize, 16); }},
        {"header size 64", [](auto& f) { put32(f, kHeaderSize, 64); }},
        {"header size 41", [](auto& f) { put32(f, kHeaderSize, 41); }},
        {"header larger than the file", [](auto& f) { put32(f, kHeaderSize, 124); }},
        {"planes 0", [](auto& f) { put16(f, kPlanes, 0); }},
        {"planes 2", [](auto& f) { put16(f, kPlanes, 2); }},
        {"0 bits", [](auto& f) { put16(f, kBitCount, 0); }},
        {"2 bits", [](auto& f) { put16(f, kBitCount, 2); }},
        {"3 bits", [](auto& f) { put16(f, kBitCount, 3); }},
        {"64 bits", [](auto& f) { put16(f, kBitCount, 64); }},
        {"24 bits as bit fields", [](auto& f) { put32(f, kCompression, kBiBitFields); }},
        {"24 bits as RLE8", [](auto& f) { put32(f, kCompression, kBiRle8); }},
        {"JPEG", [](auto& f) { put32(f, kCompression, 4); }},
        {"PNG", [](auto& f) { put32(f, kCompression, 5); }},
        {"alpha bit fields", [](auto& f) { put32(f, kCompression, 6); }},
        {"width 0", [](auto& f) { put32(f, kWidth, 0); }},
        {"negative width", [](auto& f) { put32(f, kWidth, uint32_t(-3)); }},
        {"height 0", [](auto& f) { put32(f, kHeight, 0); }},
        {"most negative height", [](auto& f) { put32(f, kHeight, 0x80000000u); }},
        {"picture beyond any block", [](auto& f) { put32(f, kWidth, 70000); put32(f, kHeight, 70000); }},
        {"more rows than the file holds", [](auto& f) { put32(f, kHeight, 1000); }},
        {"pixels beyond the end", [](auto& f) { put32(f, kOffBits, uint32_t(f.size()) + 1); }},
        {"pixels inside the header", [](auto& f) { put32(f, kOffBits, 20); }},
    };
    for (const auto& c : cases) {
        std::vector<uint8_t> file = validFile();
        c.mutate(file);
        DibImage image;
        ASSERT_TRUE(image.create(2, 2));
        image.setPixelAt(1, 1, 0x12345678u);
        EXPECT_FALSE(decode(file, image)) << c.what;
        ASSERT_EQ(image.width, 2) << c.what;
        EXPECT_EQ(image.pixelAt(1, 1), 0x12345678u) << c.what;
    }
}

TEST(BmpDecoder, UnusableFormatCombinationsAreRefused)
{
    // Masks whose bits are not one run.
    BmpPicture picture = randomPicture(2, 2, bitFields(16, 0xF800, 0x0500, 0x001F), 3);
    DibImage image;
    EXPECT_FALSE(decode(encodeBmp(picture, bitFields(16, 0xF800, 0x0500, 0x001F)), image));
    EXPECT_FALSE(decode(encodeBmp(picture, bitFields(32, 0xFF0000, 0xFF00, 0x80000001)), image));

    // RLE rows run bottom-up only.
    BmpFormat topDownRle = format(40, 8, kBiRle8);
    topDownRle.topDown = true;
    EXPECT_FALSE(decode(buildBmp(2, 2, kRlePalette, topDownRle, {2, 1, 0, 0, 2, 1, 0, 1}), image));

    // RLE4 needs 4 bits, RLE8 8 bits.
    EXPECT_FALSE(decode(buildBmp(2, 1, kRlePalette, format(40, 8, kBiRle4), {2, 0x11, 0, 1}), image));
    EXPECT_FALSE(decode(buildBmp(2, 1, kRlePalette, format(40, 4, kBiRle8), {2, 1, 0, 1}), image));

    // Core headers know only 1, 4, 8 and 24 bits, and sizes of at least 1.
    EXPECT_FALSE(decode(encodeBmp(randomPicture(2, 2, format(12, 16, kBiRgb), 4), format(12, 16, kBiRgb)), image));
    EXPECT_FALSE(decode(encodeBmp(randomPicture(2, 2, format(12, 32, kBiRgb), 4), format(12, 32, kBiRgb)), image));
    std::vector<uint8_t> core = encodeBmp(randomPicture(2, 2, format(12, 24, kBiRgb), 4), format(12, 24, kBiRgb));
    put16(core, 18, 0);
    EXPECT_FALSE(decode(core, image));

    // Bit-field masks after a 40-byte header must be in the file.
    const std::vector<uint8_t> whole = buildBmp(1, 1, {}, bitFields(16, 0xF800, 0x07E0, 0x001F), {0, 0, 0, 0});
    std::vector<uint8_t> masksCut(whole.begin(), whole.begin() + 14 + 40 + 8);
    put32(masksCut, kOffBits, 0);
    EXPECT_FALSE(decode(masksCut, image));
    EXPECT_TRUE(image.isEmpty());
}

TEST(BmpDecoder, TopDownRowsAreFlipped)
{
    BmpFormat bottomUp = format(40, 24, kBiRgb);
    BmpFormat topDown = bottomUp;
    topDown.topDown = true;
    const BmpPicture picture = randomPicture(5, 4, bottomUp, 11);
    DibImage first;
    DibImage second;
    ASSERT_TRUE(decode(encodeBmp(picture, bottomUp), first));
    ASSERT_TRUE(decode(encodeBmp(picture, topDown), second));
    EXPECT_TRUE(samePicture(rgbaFromDib(first), rgbaFromDib(second)));
    // The first row of a top-down file is the top row of the picture.
    const std::vector<uint8_t> file = encodeBmp(picture, topDown);
    const uint32_t offBits = file[10] | file[11] << 8;
    EXPECT_EQ(first.pixelAt(0, 0) & 0xFFFFFF, uint32_t(file[offBits] | file[offBits + 1] << 8 | file[offBits + 2] << 16));
}

TEST(BmpDecoder, ReadsFilesFromDisk)
{
    TempDir dir;
    const BmpFormat f = format(40, 8, kBiRle8);
    const BmpPicture picture = randomPicture(9, 4, f, 21);
    ASSERT_TRUE(writeFileBytes(dir.file("picture.bmp"), encodeBmp(picture, f)));
    DibImage image;
    ASSERT_TRUE(readBmpFile(dir.file("picture.bmp").c_str(), image));
    EXPECT_TRUE(samePicture(rgbaFromDib(image), expectedPicture(picture, f)));
    EXPECT_FALSE(readBmpFile(dir.file("missing.bmp").c_str(), image));
    ASSERT_TRUE(writeFileBytes(dir.file("empty.bmp"), {}));
    EXPECT_FALSE(readBmpFile(dir.file("empty.bmp").c_str(), image));
}
