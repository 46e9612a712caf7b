// GIF reader on generated files: placement on the screen, interlacing, the LZW
// decoder's limits, transparency and malformed input.

#include <gtest/gtest.h>

#include <random>

#include "core/dib_image.h"
#include "core/gif_reader.h"
#include "tests/readers/reader_test_support.h"

namespace {

const std::vector<uint32_t> kColours = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF};

uint32_t opaque(uint32_t rgb)
{
    return (rgb << 8) | 0xFF;
}

GifImagePart imageOf(uint16_t width, uint16_t height, const Bytes& indices)
{
    GifImagePart part;
    part.width = width;
    part.height = height;
    part.indices = indices;
    return part;
}

Bytes pattern(uint32_t width, uint32_t height, uint32_t entries)
{
    Bytes indices(size_t(width) * height);
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x)
            indices[size_t(y) * width + x] = uint8_t((x + 3 * y) % entries);
    return indices;
}

// Header, global table of kColours, one image whose LZW data is given raw.
Bytes gifWithData(uint16_t width, uint16_t height, uint8_t minCodeSize, const Bytes& framedData)
{
    GifBuilder gif(width, height, colourTable(kColours));
    const Bytes descriptor = {0x2C, 0, 0, 0, 0, uint8_t(width), uint8_t(width >> 8), uint8_t(height),
                              uint8_t(height >> 8), 0, minCodeSize};
    gif.bytes.insert(gif.bytes.end(), descriptor.begin(), descriptor.end());
    gif.bytes.insert(gif.bytes.end(), framedData.begin(), framedData.end());
    return gif.bytes;
}

void expectPixels(const Loaded& loaded, uint32_t width, uint32_t height, const Bytes& indices,
                  const std::vector<uint32_t>& colours, const char* what)
{
    ASSERT_TRUE(loaded.ok) << what;
    ASSERT_EQ(loaded.image.width, width) << what;
    ASSERT_EQ(loaded.image.height, height) << what;
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x)
            ASSERT_EQ(rgbaAt(loaded.image, x, y), opaque(colours[indices[size_t(y) * width + x]]))
                << what << " at " << x << "," << y;
}

}  // namespace

// ---- Placement ----

TEST(GifPlacement, FullScreenImage)
{
    const Bytes indices = pattern(5, 4, 4);
    const Bytes gif = GifBuilder(5, 4, colourTable(kColours)).image(imageOf(5, 4, indices)).trailer().bytes;
    const Loaded loaded = loadGifBytes(gif);
    expectPixels(loaded, 5, 4, indices, kColours, "full screen");
    EXPECT_FALSE(loaded.hasAlpha);
    EXPECT_EQ(loaded.transparentColour, -1);
}

TEST(GifPlacement, SmallImageLeavesBackgroundAround)
{
    GifImagePart part = imageOf(2, 2, {1, 2, 3, 1});
    part.left = 1;
    part.top = 2;
    const Bytes gif = GifBuilder(4, 5, colourTable(kColours), 3).image(part).trailer().bytes;
    const Loaded loaded = loadGifBytes(gif);
    ASSERT_TRUE(loaded.ok);
    ASSERT_EQ(loaded.image.width, 4u);
    ASSERT_EQ(loaded.image.height, 5u);
    for (uint32_t y = 0; y < 5; ++y)
        for (uint32_t x = 0; x < 4; ++x) {
            const bool inside = x >= 1 && x < 3 && y >= 2 && y < 4;
            const uint32_t expected = inside ? opaque(kColours[part.indices[(y - 2) * 2 + (x - 1)]]) : opaque(0x0000FF);
            EXPECT_EQ(rgbaAt(loaded.image, x, y), expected) << x << "," << y;
        }
}

TEST(GifPlacement, PixelsOutsideTheScreenAreDropped)
{
    GifImagePart part = imageOf(3, 3, {1, 2, 3, 2, 3, 1, 3, 1, 2});
    part.left = 2;
    part.top = 1;
    const Bytes gif = GifBuilder(4, 3, colourTable(kColours)).image(part).trailer().bytes;
    const Loaded loaded = loadGifBytes(gif);
    ASSERT_TRUE(loaded.ok);
    EXPECT_EQ(rgbaAt(loaded.image, 2, 1), opaque(kColours[1]));
    EXPECT_EQ(rgbaAt(loaded.image, 3, 1), opaque(kColours[2]));
    EXPECT_EQ(rgbaAt(loaded.image, 2, 2), opaque(kColours[2]));
    EXPECT_EQ(rgbaAt(loaded.image, 3, 2), opaque(kColours[3]));
    EXPECT_EQ(rgbaAt(loaded.image, 1, 1), opaque(kColours[0]));
    EXPECT_EQ(rgbaAt(loaded.image, 3, 0), opaque(kColours[0]));
}

TEST(GifPlacement, InterlacedImagesOfEveryHeight)
{
    for (uint16_t height = 1; height <= 20; ++height) {
        const Bytes indices = pattern(3, height, 4);
        GifImagePart part = imageOf(3, height, indices);
        part.interlaced = true;
        const Bytes gif = GifBuilder(3, height, colourTable(kColours)).image(part).trailer().bytes;
        expectPixels(loadGifBytes(gif), 3, height, indices, kColours, "interlaced");
    }
}

TEST(GifPlacement, ZeroSizedImageLeavesTheBackground)
{
    GifImagePart part = imageOf(0, 3, {});
    const Bytes gif = GifBuilder(2, 2, colourTable(kColours), 2).image(part).trailer().bytes;
    const Loaded loaded = loadGifBytes(gif);
    ASSERT_TRUE(loaded.ok);
    EXPECT_EQ(rgbaAt(loaded.image, 1, 1), opaque(kColours[2]));
}

// ---- Colour tables ----

TEST(GifColourTables, LocalTableReplacesGlobal)
{
    GifImagePart part = imageOf(2, 1, {0, 1});
    part.localTable = colourTable({0x123456, 0x654321});
    const Bytes gif = GifBuilder(2, 1, colourTable(kColours)).image(part).trailer().bytes;
    const Loaded loaded = loadGifBytes(gif);
    ASSERT_TRUE(loaded.ok);
    EXPECT_EQ(rgbaAt(loaded.image, 0, 0), opaque(0x123456));
    EXPECT_EQ(rgbaAt(loaded.image, 1, 0), opaque(0x654321));
}

TEST(GifColourTables, NoTableGivesOpaqueBlack)
{
    const Bytes gif = GifBuilder(2, 1, {}).image(imageOf(2, 1, {1, 3})).trailer().bytes;
    const Loaded loaded = loadGifBytes(gif);
    ASSERT_TRUE(loaded.ok);
    EXPECT_EQ(rgbaAt(loaded.image, 0, 0), 0x000000FFu);
    EXPECT_EQ(rgbaAt(loaded.image, 1, 0), 0x000000FFu);
}

TEST(GifColourTables, IndexBeyondTableShowsBackground)
{
    GifImagePart part = imageOf(3, 1, {1, 5, 7});
    part.minCodeSize = 3;
    const Bytes gif = GifBuilder(3, 1, colourTable(kColours), 2).image(part).trailer().bytes;
    const Loaded loaded = loadGifBytes(gif);
    ASSERT_TRUE(loaded.ok);
    EXPECT_EQ(rgbaAt(loaded.image, 0, 0), opaque(kColours[1]));
    EXPECT_EQ(rgbaAt(loaded.image, 1, 0), opaque(kColours[2]));
    EXPECT_EQ(rgbaAt(loaded.image, 2, 0), opaque(kColours[2]));
}

// ---- Transparency ----

TEST(GifTransparency, IndexGivesItsColour)
{
    std::vector<uint32_t> colours(8, 0xFFFFFF);
    colours[5] = 0x0A141E;
    GifImagePart part = imageOf(2, 1, {5, 1});
    part.minCodeSize = 3;
    const Bytes gif = GifBuilder(2, 1, colourTable(colours)).graphicControl(5).image(part).trailer().bytes;
    const Loaded loaded = loadGifBytes(gif);
    ASSERT_TRUE(loaded.ok);
    EXPECT_FALSE(loaded.hasAlpha);
    EXPECT_EQ(loaded.transparentColour, 0x0A141E);
    EXPECT_EQ(rgbaAt(loaded.image, 0, 0), 0x0A141EFFu);
}

TEST(GifTransparency, FlagClearMeansNone)
{
    const Bytes gif =
        GifBuilder(2, 1, colourTable(kColours)).graphicControl(-1).image(imageOf(2, 1, {0, 1})).trailer().bytes;
    const Loaded loaded = loadGifBytes(gif);
    ASSERT_TRUE(loaded.ok);
    EXPECT_EQ(loaded.transparentColour, -1);
}

TEST(GifTransparency, LaterControlBlockOverridesOnlyWithItsFlagSet)
{
    const Bytes cleared = GifBuilder(2, 1, colourTable(kColours))
                              .graphicControl(2)
                              .graphicControl(-1)
                              .image(imageOf(2, 1, {2, 1}))
                              .trailer()
                              .bytes;
    EXPECT_EQ(loadGifBytes(cleared).transparentColour, int32_t(kColours[2]));
    const Bytes replaced = GifBuilder(2, 1, colourTable(kColours))
                               .graphicControl(2)
                               .graphicControl(3)
                               .image(imageOf(2, 1, {3, 1}))
                               .trailer()
                               .bytes;
    EXPECT_EQ(loadGifBytes(replaced).transparentColour, int32_t(kColours[3]));
}

TEST(GifTransparency, SharedColourInUseLoadsWithAlpha)
{
    // Index 2 is transparent and has the colour of index 1, which pixels use.
    const Bytes table = colourTable({0x000000, 0x336699, 0x336699, 0xFFFFFF});
    const Bytes gif = GifBuilder(3, 1, table).graphicControl(2).image(imageOf(3, 1, {1, 2, 3})).trailer().bytes;
    const Loaded loaded = loadGifBytes(gif);
    ASSERT_TRUE(loaded.ok);
    EXPECT_TRUE(loaded.hasAlpha);
    EXPECT_EQ(loaded.transparentColour, -1);
    EXPECT_EQ(rgbaAt(loaded.image, 0, 0), 0x336699FFu);
    EXPECT_EQ(rgbaAt(loaded.image, 1, 0), 0x33669900u);
    EXPECT_EQ(rgbaAt(loaded.image, 2, 0), 0xFFFFFFFFu);
}

TEST(GifTransparency, SharedColourOnUnusedIndexKeepsTheKey)
{
    const Bytes table = colourTable({0x000000, 0x336699, 0x336699, 0xFFFFFF});
    const Bytes gif = GifBuilder(3, 1, table).graphicControl(2).image(imageOf(3, 1, {0, 2, 3})).trailer().bytes;
    const Loaded loaded = loadGifBytes(gif);
    ASSERT_TRUE(loaded.ok);
    EXPECT_FALSE(loaded.hasAlpha);
    EXPECT_EQ(loaded.transparentColour, 0x336699);
    EXPECT_EQ(rgbaAt(loaded.image, 1, 0), 0x336699FFu);
}

TEST(GifTransparency, UnusedTransparentIndexNeverKeysAnOpaqueColour)
{
    const Bytes table = colourTable({0x000000, 0x336699, 0x336699, 0xFFFFFF});
    const Bytes gif = GifBuilder(3, 1, table).graphicControl(2).image(imageOf(3, 1, {1, 1, 3})).trailer().bytes;
    const Loaded loaded = loadGifBytes(gif);
    ASSERT_TRUE(loaded.ok);
    EXPECT_FALSE(loaded.hasAlpha);
    EXPECT_EQ(loaded.transparentColour, -1);
}

TEST(GifTransparency, BackgroundFillCountsAsUse)
{
    // Index 0 (background, around the image) has the transparent entry's colour.
    const Bytes table = colourTable({0x445566, 0x445566, 0x000000, 0xFFFFFF});
    GifImagePart part = imageOf(1, 1, {1});
    const Bytes gif = GifBuilder(2, 1, table).graphicControl(1).image(part).trailer().bytes;
    const Loaded loaded = loadGifBytes(gif);
    ASSERT_TRUE(loaded.ok);
    EXPECT_TRUE(loaded.hasAlpha);
    EXPECT_EQ(rgbaAt(loaded.image, 0, 0), 0x44556600u);
    EXPECT_EQ(rgbaAt(loaded.image, 1, 0), 0x445566FFu);
}

// ---- LZW decoding ----

TEST(GifLzw, FullTableKeepsTwelveBitCodes)
{
    const uint16_t width = 200, height = 150;
    std::mt19937 random(5);
    Bytes indices(size_t(width) * height);
    for (auto& i : indices)
        i = uint8_t(random() % 7 == 0 ? random() % 256 : random() % 3);
    std::vector<uint32_t> colours(256);
    for (uint32_t i = 0; i < 256; ++i)
        colours[i] = i * 0x010203u & 0xFFFFFF;
    GifImagePart part = imageOf(width, height, indices);
    part.minCodeSize = 8;
    const Bytes gif = GifBuilder(width, height, colourTable(colours)).image(part).trailer().bytes;
    // At most 12 bits per code: well over twice as many codes as the table
    // holds, and no clear code after the start.
    ASSERT_GT(gif.size() * 8 / 12, 2u * 4096u);
    expectPixels(loadGifBytes(gif), width, height, indices, colours, "full table");
}

TEST(GifLzw, ClearCodesInTheMiddle)
{
    const Bytes indices = pattern(40, 30, 4);
    for (size_t every : {1, 2, 5, 100}) {
        const Bytes data = subBlocks(lzwEncode(indices, 2, true, every));
        expectPixels(loadGifBytes(gifWithData(40, 30, 2, data)), 40, 30, indices, kColours, "clears");
    }
}

TEST(GifLzw, EveryMinimumCodeSize)
{
    for (int size = 2; size <= 8; ++size) {
        const uint32_t entries = 1u << size;
        std::vector<uint32_t> colours(entries);
        for (uint32_t i = 0; i < entries; ++i)
            colours[i] = 0x010101u * i;
        const Bytes indices = pattern(33, 7, entries);
        GifImagePart part = imageOf(33, 7, indices);
        part.minCodeSize = size;
        const Bytes gif = GifBuilder(33, 7, colourTable(colours)).image(part).trailer().bytes;
        expectPixels(loadGifBytes(gif), 33, 7, indices, colours, "code size");
    }
}

TEST(GifLzw, CodeSizesOutsideTwoToNineFail)
{
    for (uint8_t size : {0, 1, 10, 12}) {
        const Bytes data = subBlocks(lzwEncode({0, 1}, 2));
        EXPECT_FALSE(loadGifBytes(gifWithData(2, 1, size, data)).ok) << int(size);
    }
}

TEST(GifLzw, EndCodeBeforeLastPixelLeavesBackground)
{
    const Bytes indices = {1, 2, 3, 1, 2, 3};
    const Bytes data = subBlocks(lzwEncode(Bytes(indices.begin(), indices.begin() + 4), 2));
    const Loaded loaded = loadGifBytes(gifWithData(3, 2, 2, data));
    ASSERT_TRUE(loaded.ok);
    EXPECT_EQ(rgbaAt(loaded.image, 0, 1), opaque(kColours[1]));
    EXPECT_EQ(rgbaAt(loaded.image, 1, 1), opaque(kColours[0]));
    EXPECT_EQ(rgbaAt(loaded.image, 2, 1), opaque(kColours[0]));
}

TEST(GifLzw, DataEndingBeforeTheImageCompletesFails)
{
    const Bytes indices = pattern(6, 6, 4);
    const Bytes codes = lzwEncode(Bytes(indices.begin(), indices.begin() + 20), 2, false);
    // Every sub-block present, but no terminator, trailer or end code.
    EXPECT_FALSE(loadGifBytes(gifWithData(6, 6, 2, subBlocks(codes, 255, false))).ok);
    // The same data with its end code loads.
    EXPECT_TRUE(loadGifBytes(gifWithData(6, 6, 2, subBlocks(lzwEncode(Bytes(indices.begin(), indices.begin() + 20), 2))))
                    .ok);
}

TEST(GifLzw, SubBlockRunningPastTheEndFails)
{
    const Bytes indices = pattern(8, 8, 4);
    const Bytes codes = lzwEncode(indices, 2);
    Bytes framed = {uint8_t(codes.size() + 40)};
    framed.insert(framed.end(), codes.begin(), codes.begin() + long(codes.size() / 2));
    EXPECT_FALSE(loadGifBytes(gifWithData(8, 8, 2, framed)).ok);
}

TEST(GifLzw, CompleteImageIgnoresWhatFollows)
{
    // The image completes before the end code; the sub-block after it is garbage.
    const Bytes indices = pattern(4, 2, 4);
    Bytes codes = lzwEncode(indices, 2, false);
    codes.insert(codes.end(), {0xFF, 0xFF, 0xFF});
    expectPixels(loadGifBytes(gifWithData(4, 2, 2, subBlocks(codes, 255, false))), 4, 2, indices, kColours,
                 "complete");
}

TEST(GifLzw, ZeroSizeByteInsideTheDataIsNotAnEnd)
{
    // Sub-blocks of 2 bytes, then a size byte 0 followed by one data byte, then the rest.
    const Bytes indices = pattern(10, 10, 4);
    const Bytes codes = lzwEncode(indices, 2);
    ASSERT_GT(codes.size(), 5u);
    Bytes framed = {2, codes[0], codes[1], 0, codes[2]};
    const Bytes rest = subBlocks(Bytes(codes.begin() + 3, codes.end()));
    framed.insert(framed.end(), rest.begin(), rest.end());
    expectPixels(loadGifBytes(gifWithData(10, 10, 2, framed)), 10, 10, indices, kColours, "zero size byte");
}

TEST(GifLzw, RandomDataNeverCrashes)
{
    std::mt19937 random(99);
    for (int round = 0; round < 300; ++round) {
        Bytes codes(size_t(random() % 400 + 1));
        for (auto& b : codes)
            b = uint8_t(random());
        const uint8_t size = uint8_t(2 + random() % 8);
        const Loaded loaded = loadGifBytes(gifWithData(37, 23, size, subBlocks(codes, 1 + random() % 255)));
        if (loaded.ok) {
            EXPECT_EQ(loaded.image.width, 37u);
            EXPECT_EQ(loaded.image.height, 23u);
        }
    }
}

// ---- Malformed files ----

TEST(GifMalformed, WrongSignatureOrVersionFails)
{
    const Bytes good = GifBuilder(1, 1, colourTable(kColours)).image(imageOf(1, 1, {1})).trailer().bytes;
    ASSERT_TRUE(loadGifBytes(good).ok);
    EXPECT_TRUE(loadGifBytes(GifBuilder(1, 1, colourTable(kColours), 0, "87a").image(imageOf(1, 1, {1})).bytes).ok);
    for (const char* version : {"88a", "89A", "90a"}) {
        const Bytes gif = GifBuilder(1, 1, colourTable(kColours), 0, version).image(imageOf(1, 1, {1})).bytes;
        EXPECT_FALSE(loadGifBytes(gif).ok) << version;
    }
    Bytes lower = good;
    lower[0] = 'g';
    EXPECT_FALSE(loadGifBytes(lower).ok);
}

TEST(GifMalformed, NoImageBeforeTrailerFails)
{
    EXPECT_FALSE(loadGifBytes(GifBuilder(1, 1, colourTable(kColours)).trailer().bytes).ok);
    EXPECT_FALSE(loadGifBytes(GifBuilder(1, 1, colourTable(kColours)).graphicControl(1).bytes).ok);
    Bytes unknown = GifBuilder(1, 1, colourTable(kColours)).bytes;
    unknown.push_back(0x99);
    EXPECT_FALSE(loadGifBytes(unknown).ok);
}

TEST(GifMalformed, OtherExtensionsAreSkipped)
{
    Bytes gif = GifBuilder(2, 1, colourTable(kColours)).bytes;
    const Bytes comment = {0x21, 0xFE, 3, 'a', 'b', 'c', 2, 'd', 'e', 0};
    gif.insert(gif.end(), comment.begin(), comment.end());
    GifBuilder rest(0, 0, {});
    rest.bytes.clear();
    rest.image(imageOf(2, 1, {3, 2})).trailer();
    gif.insert(gif.end(), rest.bytes.begin(), rest.bytes.end());
    const Loaded loaded = loadGifBytes(gif);
    ASSERT_TRUE(loaded.ok);
    EXPECT_EQ(rgbaAt(loaded.image, 0, 0), opaque(kColours[3]));

    Bytes cut = GifBuilder(2, 1, colourTable(kColours)).bytes;
    cut.insert(cut.end(), {0x21, 0xFE, 9, 'a', 'b'});
    EXPECT_FALSE(loadGifBytes(cut).ok);
    Bytes shortControl = GifBuilder(2, 1, colourTable(kColours)).bytes;
    shortControl.insert(shortControl.end(), {0x21, 0xF9, 4, 1, 0, 0});
    EXPECT_FALSE(loadGifBytes(shortControl).ok);
}

TEST(GifMalformed, HugeOrEmptyScreensAreRefused)
{
    for (uint16_t side : {uint16_t(65535), uint16_t(40000), uint16_t(0)}) {
        const Bytes gif = GifBuilder(side, side, colourTable(kColours)).image(imageOf(1, 1, {1})).trailer().bytes;
        EXPECT_FALSE(loadGifBytes(gif).ok) << side;
    }
    const Bytes flat = GifBuilder(0, 5, colourTable(kColours)).image(imageOf(1, 1, {1})).trailer().bytes;
    EXPECT_FALSE(loadGifBytes(flat).ok);
}

TEST(GifMalformed, TruncationAtEveryLength)
{
    GifImagePart part = imageOf(9, 7, pattern(9, 7, 4));
    part.interlaced = true;
    const Bytes full = GifBuilder(9, 7, colourTable(kColours)).graphicControl(2).image(part).trailer().bytes;
    const Loaded complete = loadGifBytes(full);
    ASSERT_TRUE(complete.ok);
    const size_t headerAndTable = 13 + 12;
    size_t loadedCount = 0;
    for (size_t length = 0; length < full.size(); ++length) {
        const Loaded loaded = loadGifBytes(Bytes(full.begin(), full.begin() + long(length)));
        if (length <= headerAndTable + 8) {   // no image descriptor yet
            EXPECT_FALSE(loaded.ok) << length;
            continue;
        }
        if (loaded.ok) {
            ++loadedCount;
            EXPECT_EQ(loaded.image.pixels, complete.image.pixels) << length;
            EXPECT_EQ(loaded.transparentColour, complete.transparentColour) << length;
        }
    }
    // Only cuts after the last code (end code, terminator or trailer missing) load.
    EXPECT_GE(loadedCount, 1u);
    EXPECT_LE(loadedCount, 4u);
}

TEST(GifLoader, FailedReadLeavesImageAndColourUntouched)
{
    DibImage image;
    ASSERT_TRUE(image.create(3, 1));
    image.setPixelAt(2, 0, 0x01020304u);
    int32_t transparent = 77;
    TempDir folder;
    const std::string path = folder.file("bad.gif");
    ASSERT_TRUE(writeFileBytes(path, GifBuilder(1, 1, colourTable(kColours)).trailer().bytes));
    EXPECT_FALSE(loadGifFile(path.c_str(), image, transparent));
    EXPECT_EQ(image.width, 3);
    EXPECT_EQ(image.pixelAt(2, 0), 0x01020304u);
    EXPECT_EQ(transparent, 77);
    EXPECT_FALSE(loadGifFile("/nonexistent/folder/none.gif", image, transparent));
}

TEST(GifLoader, ReaderFillsInfoForTheCaller)
{
    TempDir folder;
    const std::string path = folder.file("info.gif");
    GifImagePart part = imageOf(2, 1, {1, 2});
    part.left = 1;
    ASSERT_TRUE(writeFileBytes(path, GifBuilder(3, 2, colourTable(kColours), 3).graphicControl(2).image(part).bytes));
    GifReader reader;
    GifInfo info;
    ASSERT_TRUE(reader.read(path.c_str(), info));
    EXPECT_EQ(info.screenWidth, 3);
    EXPECT_EQ(info.screenHeight, 2);
    EXPECT_EQ(info.paletteCount, 4);
    EXPECT_EQ(info.backgroundIndex, 3);
    EXPECT_EQ(info.transparentIndex, 2);
    EXPECT_EQ(info.transparentColour, 0x00FF00);
    EXPECT_EQ(info.palette.size, 768u);
    ASSERT_EQ(info.indices.size, 6u);
    EXPECT_EQ(Bytes(info.indices.data, info.indices.data + 6), Bytes({3, 1, 2, 3, 3, 3}));
}
