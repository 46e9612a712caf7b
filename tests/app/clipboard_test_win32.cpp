#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <vector>

#include "app/logic/clipboard.h"
#include "app/logic/packed_dib.h"
#include "core/dib_image.h"

namespace {

// Puts data on the clipboard in one format (or empties it when bytes is null).
bool putOnClipboard(UINT format, const void* bytes, size_t size)
{
    if (!OpenClipboard(nullptr))
        return false;
    EmptyClipboard();
    bool ok = true;
    if (bytes) {
        HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, size);
        ok = block != nullptr;
        if (ok) {
            std::memcpy(GlobalLock(block), bytes, size);
            GlobalUnlock(block);
            ok = SetClipboardData(format, block) != nullptr;
            if (!ok)
                GlobalFree(block);
        }
    }
    CloseClipboard();
    return ok;
}

// A packed 32-bit bitmap of width x height whose pixel i (in stored order) is
// 0x11000000 * (i % 8 + 1) | i, with the header claiming claimedHeight rows.
std::vector<uint8_t> packedDib(int32_t width, int32_t height, int32_t claimedHeight, uint16_t bits = 32)
{
    const size_t pixelBytes = size_t(width) * 4 * size_t(height < 0 ? -height : height);
    std::vector<uint8_t> block(sizeof(BITMAPINFOHEADER) + pixelBytes);
    BITMAPINFOHEADER header = {};
    header.biSize = sizeof header;
    header.biWidth = width;
    header.biHeight = claimedHeight;
    header.biPlanes = 1;
    header.biBitCount = bits;
    header.biCompression = BI_RGB;
    std::memcpy(block.data(), &header, sizeof header);
    for (size_t i = 0; i < pixelBytes / 4; ++i) {
        const uint32_t word = 0x11000000u * uint32_t(i % 8 + 1) | uint32_t(i);
        std::memcpy(block.data() + sizeof header + i * 4, &word, 4);
    }
    return block;
}

}  // namespace

TEST(ClipboardInput, EmptyClipboardHasNoData)
{
    ASSERT_TRUE(putOnClipboard(0, nullptr, 0));
    DibImage image;
    EXPECT_EQ(pasteBitmap(image), CLIPBOARD_NO_DATA);
    EXPECT_EQ(pasteDib32(image), CLIPBOARD_NO_DATA);
    EXPECT_TRUE(image.isEmpty());
}

TEST(ClipboardInput, Dib32KeepsAlphaAndRowOrder)
{
    const std::vector<uint8_t> block = packedDib(3, 2, 2);
    ASSERT_TRUE(putOnClipboard(CF_DIB, block.data(), block.size()));
    DibImage image;
    ASSERT_EQ(pasteDib32(image), CLIPBOARD_OK);
    EXPECT_EQ(image.width, 3);
    EXPECT_EQ(image.height, 2);
    EXPECT_EQ(image.hasAlpha, 1);
    // Stored row 0 is the picture's bottom row.
    EXPECT_EQ(image.pixelAt(0, 1), 0x11000000u);
    EXPECT_EQ(image.pixelAt(2, 0), 0x66000005u);
}

TEST(ClipboardInput, Dib32ClaimingMoreRowsThanTheBlockIsRefused)
{
    const std::vector<uint8_t> block = packedDib(64, 2, 1000);
    ASSERT_TRUE(putOnClipboard(CF_DIB, block.data(), block.size()));
    DibImage image;
    EXPECT_EQ(pasteDib32(image), CLIPBOARD_LOAD_FAILED);
    // The clipboard was closed again: a second paste can open it.
    EXPECT_EQ(pasteDib32(image), CLIPBOARD_LOAD_FAILED);
}

TEST(ClipboardInput, TwentyFourBitBitmapIsNot32BitButPastesOpaque)
{
    // A 2 x 2 24-bit DIB on the clipboard; the platform offers it as CF_BITMAP too.
    std::vector<uint8_t> block(sizeof(BITMAPINFOHEADER) + 2 * 8, 0);
    BITMAPINFOHEADER header = {};
    header.biSize = sizeof header;
    header.biWidth = 2;
    header.biHeight = 2;
    header.biPlanes = 1;
    header.biBitCount = 24;
    std::memcpy(block.data(), &header, sizeof header);
    const uint8_t rows[16] = {0x30, 0x20, 0x10, 0x60, 0x50, 0x40, 0, 0,
                              0x90, 0x80, 0x70, 0xC0, 0xB0, 0xA0, 0, 0};
    std::memcpy(block.data() + sizeof header, rows, sizeof rows);
    ASSERT_TRUE(putOnClipboard(CF_DIB, block.data(), block.size()));

    DibImage image;
    ASSERT_TRUE(image.create(1, 1));
    image.setPixelAt(0, 0, 0x12345678u);
    EXPECT_EQ(pasteDib32(image), CLIPBOARD_NOT_32BIT);
    EXPECT_EQ(image.width, 1);
    EXPECT_EQ(image.pixelAt(0, 0), 0x12345678u);

    ASSERT_EQ(pasteBitmap(image), CLIPBOARD_OK);
    EXPECT_EQ(image.width, 2);
    EXPECT_EQ(image.height, 2);
    EXPECT_EQ(image.hasAlpha, 0);
    EXPECT_EQ(image.pixelAt(0, 1), 0xFF102030u);   // bottom-left, made opaque
    EXPECT_EQ(image.pixelAt(1, 0), 0xFFA0B0C0u);
}
