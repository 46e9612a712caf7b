#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "app/logic/packed_dib.h"
#include "core/dib_image.h"

namespace {

void put32(std::vector<uint8_t>& block, size_t at, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        block[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

struct DibSpec {
    uint32_t headerSize = 40;
    int32_t width = 3;
    int32_t height = 2;
    uint16_t bitCount = 32;
    uint32_t compression = 0;
    uint32_t colourCount = 0;   // biClrUsed
    uint32_t extraBytes = 0;    // masks written after the header
};

// A packed bitmap whose pixel at stored row r, column c is the word
// 0xA0000000 | r << 16 | c << 8 | 0x5A, followed by tailBytes of padding.
// pixelBytes limits how many pixel bytes are written (all of them by default).
std::vector<uint8_t> makeBlock(const DibSpec& dib, long pixelBytes = -1)
{
    const uint32_t rows = static_cast<uint32_t>(dib.height < 0 ? -dib.height : dib.height);
    const size_t allPixels = static_cast<size_t>(dib.width) * 4 * rows;
    const size_t offset = dib.headerSize + dib.extraBytes + dib.colourCount * 4;
    std::vector<uint8_t> block(offset + allPixels, 0xEE);
    std::memset(block.data(), 0, dib.headerSize);
    put32(block, 0, dib.headerSize);
    put32(block, 4, static_cast<uint32_t>(dib.width));
    put32(block, 8, static_cast<uint32_t>(dib.height));
    block[12] = 1;
    block[14] = static_cast<uint8_t>(dib.bitCount);
    block[15] = static_cast<uint8_t>(dib.bitCount >> 8);
    put32(block, 16, dib.compression);
    put32(block, 32, dib.colourCount);
    for (uint32_t r = 0; r < rows; ++r)
        for (int32_t c = 0; c < dib.width; ++c)
            put32(block, offset + (static_cast<size_t>(r) * dib.width + c) * 4,
                  0xA0000000u | r << 16 | static_cast<uint32_t>(c) << 8 | 0x5Au);
    if (pixelBytes >= 0)
        block.resize(offset + static_cast<size_t>(pixelBytes));
    return block;
}

uint32_t storedWord(uint32_t row, uint32_t column)
{
    return 0xA0000000u | row << 16 | column << 8 | 0x5Au;
}

unsigned readBlock(const std::vector<uint8_t>& block, DibImage& image)
{
    return readPackedDib32(block.data(), static_cast<uint32_t>(block.size()), image);
}

}  // namespace

TEST(PackedDib, BottomUpRowsCopiedWithAlpha)
{
    DibImage image;
    ASSERT_EQ(readBlock(makeBlock(DibSpec{}), image), CLIPBOARD_OK);
    EXPECT_EQ(image.width, 3);
    EXPECT_EQ(image.height, 2);
    EXPECT_EQ(image.hasAlpha, 1);
    // Stored row 0 is the bottom row of the picture.
    EXPECT_EQ(image.pixelAt(0, 1), storedWord(0, 0));
    EXPECT_EQ(image.pixelAt(2, 1), storedWord(0, 2));
    EXPECT_EQ(image.pixelAt(1, 0), storedWord(1, 1));
}

TEST(PackedDib, TopDownRowsComeOutUpright)
{
    DibSpec dib;
    dib.height = -2;
    DibImage image;
    ASSERT_EQ(readBlock(makeBlock(dib), image), CLIPBOARD_OK);
    EXPECT_EQ(image.height, 2);
    // Stored row 0 is the top row of the picture.
    EXPECT_EQ(image.pixelAt(0, 0), storedWord(0, 0));
    EXPECT_EQ(image.pixelAt(2, 1), storedWord(1, 2));
}

TEST(PackedDib, MasksAfterAnInfoHeaderAreSkipped)
{
    DibSpec dib;
    dib.compression = 3;   // bit fields: three 4-byte masks follow the header
    dib.extraBytes = 12;
    DibImage image;
    ASSERT_EQ(readBlock(makeBlock(dib), image), CLIPBOARD_OK);
    EXPECT_EQ(image.pixelAt(0, 1), storedWord(0, 0));
    EXPECT_EQ(image.pixelAt(2, 0), storedWord(1, 2));

    dib.compression = 6;   // alpha bit fields: four masks
    dib.extraBytes = 16;
    ASSERT_EQ(readBlock(makeBlock(dib), image), CLIPBOARD_OK);
    EXPECT_EQ(image.pixelAt(0, 1), storedWord(0, 0));
}

TEST(PackedDib, LargerHeadersHoldTheirOwnMasks)
{
    for (uint32_t headerSize : {108u, 124u}) {
        DibSpec dib;
        dib.headerSize = headerSize;
        dib.compression = 3;
        DibImage image;
        ASSERT_EQ(readBlock(makeBlock(dib), image), CLIPBOARD_OK) << headerSize;
        EXPECT_EQ(image.pixelAt(0, 1), storedWord(0, 0)) << headerSize;
    }
}

TEST(PackedDib, ColourTableIsSkipped)
{
    DibSpec dib;
    dib.colourCount = 5;
    DibImage image;
    ASSERT_EQ(readBlock(makeBlock(dib), image), CLIPBOARD_OK);
    EXPECT_EQ(image.pixelAt(0, 1), storedWord(0, 0));
}

TEST(PackedDib, OtherBitCountsAreNot32Bit)
{
    for (uint16_t bits : {1, 4, 8, 16, 24, 64}) {
        DibSpec dib;
        dib.bitCount = bits;
        DibImage image;
        ASSERT_TRUE(image.create(1, 1));
        image.setPixelAt(0, 0, 0x12345678u);
        EXPECT_EQ(readBlock(makeBlock(dib), image), CLIPBOARD_NOT_32BIT) << bits;
        // The previous image stays.
        EXPECT_EQ(image.width, 1);
        EXPECT_EQ(image.pixelAt(0, 0), 0x12345678u);
    }
    // An old core header cannot describe a 32-bit image at all.
    std::vector<uint8_t> core(12 + 4, 0);
    core[0] = 12;
    DibImage image;
    EXPECT_EQ(readPackedDib32(core.data(), static_cast<uint32_t>(core.size()), image),
              CLIPBOARD_NOT_32BIT);
}

TEST(PackedDib, HeaderClaimingMorePixelsThanTheBlockIsRefused)
{
    DibSpec dib;
    const std::vector<uint8_t> full = makeBlock(dib);
    PackedDibLayout layout;
    ASSERT_EQ(checkPackedDib32(full.data(), static_cast<uint32_t>(full.size()), layout), CLIPBOARD_OK);
    EXPECT_EQ(layout.pixelOffset, 40u);
    EXPECT_EQ(layout.pixelBytes, 24u);
    // One byte short: refused, and nothing beyond the block is read (ASan builds check this).
    const std::vector<uint8_t> shortBlock = makeBlock(dib, 23);
    DibImage image;
    EXPECT_EQ(readBlock(shortBlock, image), CLIPBOARD_LOAD_FAILED);
    // Masks announced but missing.
    dib.compression = 3;
    dib.extraBytes = 12;
    EXPECT_EQ(readBlock(makeBlock(dib, 24), image), CLIPBOARD_OK);   // masks written: fits
    EXPECT_EQ(readBlock(makeBlock(dib, 23), image), CLIPBOARD_LOAD_FAILED);
    std::vector<uint8_t> noMasks = makeBlock(DibSpec{});
    put32(noMasks, 16, 3);
    EXPECT_EQ(readBlock(noMasks, image), CLIPBOARD_LOAD_FAILED);
}

TEST(PackedDib, SizesThatOverflowAreRefused)
{
    DibImage image;
    struct Case {
        int32_t width;
        int32_t height;
        uint32_t colourCount;
    };
    const Case cases[] = {
        {0x40000000, 1, 0},         // width * 4 overflows 32 bits
        {65536, 65536, 0},          // the pixel count overflows
        {-5, 2, 0},                 // negative width
        {0, 2, 0},
        {3, 0, 0},
        {3, INT32_MIN, 0},          // no positive counterpart
        {3, 2, 0x40000000},         // colour table size overflows
        {3, 2, 0xFFFFFFFF},
    };
    for (const Case& c : cases) {
        DibSpec dib;
        std::vector<uint8_t> block = makeBlock(dib);
        put32(block, 4, static_cast<uint32_t>(c.width));
        put32(block, 8, static_cast<uint32_t>(c.height));
        put32(block, 32, c.colourCount);
        EXPECT_EQ(readBlock(block, image), CLIPBOARD_LOAD_FAILED) << c.width << " x " << c.height;
    }
}

TEST(PackedDib, MalformedHeadersAreRefused)
{
    DibImage image;
    // Empty clipboard data.
    EXPECT_EQ(readPackedDib32(nullptr, 0, image), CLIPBOARD_NO_DATA);
    const uint8_t one = 40;
    EXPECT_EQ(readPackedDib32(&one, 0, image), CLIPBOARD_NO_DATA);
    // Shorter than its own size field or its header.
    EXPECT_EQ(readPackedDib32(&one, 1, image), CLIPBOARD_LOAD_FAILED);
    std::vector<uint8_t> block = makeBlock(DibSpec{});
    EXPECT_EQ(readPackedDib32(block.data(), 39, image), CLIPBOARD_LOAD_FAILED);
    // A header size beyond the block, or a nonsense one.
    put32(block, 0, 0xFFFFFFF0u);
    EXPECT_EQ(readBlock(block, image), CLIPBOARD_LOAD_FAILED);
    put32(block, 0, 20);
    EXPECT_EQ(readBlock(block, image), CLIPBOARD_LOAD_FAILED);
    // Compressed pixel data is not plain pixels.
    for (uint32_t compression : {1u, 2u, 4u, 5u, 99u}) {
        std::vector<uint8_t> compressed = makeBlock(DibSpec{});
        put32(compressed, 16, compression);
        EXPECT_EQ(readBlock(compressed, image), CLIPBOARD_LOAD_FAILED) << compression;
    }
}
