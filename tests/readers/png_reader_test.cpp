// PNG reader on generated files: colour types, transparency, chunk layout,
// filters, incomplete data and malformed input.

#include <gtest/gtest.h>

#include <random>

#include "core/dib_image.h"
#include "core/png_reader.h"
#include "tests/readers/reader_test_support.h"

namespace {

constexpr uint32_t kOpaqueBlack = 0x000000FF;

Bytes palettePng(uint32_t width, uint32_t height, int depth, const std::vector<uint32_t>& colours,
                 const Bytes& indices, const Bytes* trns = nullptr)
{
    PngParts parts;
    parts.width = width;
    parts.height = height;
    parts.depth = uint8_t(depth);
    parts.colourType = 3;
    parts.filteredRows = packRows(indices, width, height, depth);
    parts.palette = plteData(colours);
    if (trns) {
        parts.hasTrns = true;
        parts.trns = *trns;
    }
    return buildPng(parts);
}

Bytes rgbPng(uint32_t width, uint32_t height, const Bytes& samples, const Bytes* trns = nullptr, uint8_t type = 2)
{
    PngParts parts;
    parts.width = width;
    parts.height = height;
    parts.colourType = type;
    parts.filteredRows = rowsWithFilterZero(samples, width * (type == 6 ? 4 : 3), height);
    if (trns) {
        parts.hasTrns = true;
        parts.trns = *trns;
    }
    return buildPng(parts);
}

Bytes greyPng(uint32_t width, uint32_t height, int depth, const Bytes& levels, const Bytes* trns = nullptr)
{
    PngParts parts;
    parts.width = width;
    parts.height = height;
    parts.depth = uint8_t(depth);
    parts.colourType = 0;
    parts.filteredRows = packRows(levels, width, height, depth);
    if (trns) {
        parts.hasTrns = true;
        parts.trns = *trns;
    }
    return buildPng(parts);
}

// Opaque RGBA of 0xRRGGBB.
uint32_t opaque(uint32_t rgb)
{
    return (rgb << 8) | 0xFF;
}

}  // namespace

// ---- Colour types ----

TEST(PngColourTypes, OneBitGreyIsBlackAndWhiteOpaque)
{
    const Loaded loaded = loadPngBytes(greyPng(3, 2, 1, {0, 1, 0, 1, 1, 0}));
    ASSERT_TRUE(loaded.ok);
    EXPECT_FALSE(loaded.hasAlpha);
    EXPECT_EQ(loaded.transparentColour, -1);
    EXPECT_EQ(rgbaAt(loaded.image, 0, 0), 0x000000FFu);
    EXPECT_EQ(rgbaAt(loaded.image, 1, 0), 0xFFFFFFFFu);
    EXPECT_EQ(rgbaAt(loaded.image, 2, 0), 0x000000FFu);
    EXPECT_EQ(rgbaAt(loaded.image, 0, 1), 0xFFFFFFFFu);
    EXPECT_EQ(rgbaAt(loaded.image, 2, 1), 0x000000FFu);
}

TEST(PngColourTypes, GreyLevelsScaleToEightBits)
{
    const Loaded two = loadPngBytes(greyPng(4, 1, 2, {0, 1, 2, 3}));
    ASSERT_TRUE(two.ok);
    EXPECT_EQ(rgbaAt(two.image, 1, 0), opaque(0x555555));
    EXPECT_EQ(rgbaAt(two.image, 2, 0), opaque(0xAAAAAA));
    EXPECT_EQ(rgbaAt(two.image, 3, 0), opaque(0xFFFFFF));

    const Loaded four = loadPngBytes(greyPng(3, 1, 4, {1, 7, 15}));
    ASSERT_TRUE(four.ok);
    EXPECT_EQ(rgbaAt(four.image, 0, 0), opaque(0x111111));
    EXPECT_EQ(rgbaAt(four.image, 1, 0), opaque(0x777777));
    EXPECT_EQ(rgbaAt(four.image, 2, 0), opaque(0xFFFFFF));

    const Loaded eight = loadPngBytes(greyPng(2, 1, 8, {0x12, 0xFE}));
    ASSERT_TRUE(eight.ok);
    EXPECT_EQ(rgbaAt(eight.image, 0, 0), opaque(0x121212));
    EXPECT_EQ(rgbaAt(eight.image, 1, 0), opaque(0xFEFEFE));
}

TEST(PngColourTypes, PackedPaletteIndicesOfOddWidths)
{
    const std::vector<uint32_t> colours = {0x102030, 0x405060, 0x708090, 0xA0B0C0};
    for (int depth : {1, 2, 4, 8}) {
        const uint32_t entries = depth == 1 ? 2 : 4;
        for (uint32_t width : {1u, 3u, 5u, 9u, 17u}) {
            Bytes indices;
            for (uint32_t i = 0; i < width * 3; ++i)
                indices.push_back(uint8_t((i * 7 + i / width) % entries));
            const std::vector<uint32_t> used(colours.begin(), colours.begin() + entries);
            const Loaded loaded = loadPngBytes(palettePng(width, 3, depth, used, indices));
            ASSERT_TRUE(loaded.ok) << "depth " << depth << " width " << width;
            EXPECT_FALSE(loaded.hasAlpha);
            for (uint32_t y = 0; y < 3; ++y)
                for (uint32_t x = 0; x < width; ++x)
                    ASSERT_EQ(rgbaAt(loaded.image, x, y), opaque(colours[indices[y * width + x]]))
                        << "depth " << depth << " width " << width << " at " << x << "," << y;
        }
    }
}

TEST(PngColourTypes, RgbIsOpaqueAndRgbaKeepsItsAlpha)
{
    const Loaded rgb = loadPngBytes(rgbPng(2, 1, {1, 2, 3, 250, 251, 252}));
    ASSERT_TRUE(rgb.ok);
    EXPECT_FALSE(rgb.hasAlpha);
    EXPECT_EQ(rgb.transparentColour, -1);
    EXPECT_EQ(rgbaAt(rgb.image, 0, 0), 0x010203FFu);
    EXPECT_EQ(rgbaAt(rgb.image, 1, 0), 0xFAFBFCFFu);

    const Loaded rgba = loadPngBytes(rgbPng(3, 1, {1, 2, 3, 0, 4, 5, 6, 128, 7, 8, 9, 255}, nullptr, 6));
    ASSERT_TRUE(rgba.ok);
    EXPECT_TRUE(rgba.hasAlpha);
    EXPECT_EQ(rgba.transparentColour, -1);
    EXPECT_EQ(rgbaAt(rgba.image, 0, 0), 0x01020300u);
    EXPECT_EQ(rgbaAt(rgba.image, 1, 0), 0x04050680u);
    EXPECT_EQ(rgbaAt(rgba.image, 2, 0), 0x070809FFu);
}

TEST(PngColourTypes, UnsupportedKindsAreRefused)
{
    const Bytes rows(2 * 5, 0);   // generous; the header decides first
    struct Case {
        uint8_t depth, type, interlace;
    };
    for (const Case& c : {Case{16, 0, 0}, Case{16, 2, 0}, Case{16, 6, 0}, Case{8, 4, 0}, Case{8, 1, 0},
                          Case{8, 5, 0}, Case{8, 7, 0}, Case{3, 0, 0}, Case{0, 2, 0}, Case{8, 2, 1},
                          Case{1, 3, 1}}) {
        PngBuilder png;
        png.chunk("IHDR", ihdrData(1, 1, c.depth, c.type, c.interlace));
        png.chunk("PLTE", plteData({0, 0xFFFFFF}));
        png.chunk("IDAT", zlibCompress(rows));
        png.chunk("IEND", {});
        EXPECT_FALSE(loadPngBytes(png.bytes).ok)
            << "depth " << int(c.depth) << " type " << int(c.type) << " interlace " << int(c.interlace);
    }
    for (int field = 10; field <= 11; ++field) {   // compression and filter method
        Bytes header = ihdrData(1, 1, 8, 2);
        header[size_t(field)] = 1;
        PngBuilder png;
        png.chunk("IHDR", header).chunk("IDAT", zlibCompress({0, 1, 2, 3})).chunk("IEND", {});
        EXPECT_FALSE(loadPngBytes(png.bytes).ok) << "field " << field;
    }
}

TEST(PngColourTypes, PaletteImageWithoutPlteIsRefused)
{
    PngBuilder png;
    png.chunk("IHDR", ihdrData(1, 1, 8, 3)).chunk("IDAT", zlibCompress({0, 0})).chunk("IEND", {});
    EXPECT_FALSE(loadPngBytes(png.bytes).ok);
}

// ---- Transparency ----

TEST(PngTransparency, RgbColourKey)
{
    const Bytes trns = {0, 0, 0, 255, 0, 0};
    const Loaded loaded = loadPngBytes(rgbPng(2, 1, {0, 255, 0, 0, 254, 0}, &trns));
    ASSERT_TRUE(loaded.ok);
    EXPECT_FALSE(loaded.hasAlpha);
    EXPECT_EQ(loaded.transparentColour, 0x00FF00);
    EXPECT_EQ(rgbaAt(loaded.image, 0, 0), 0x00FF00FFu);
}

TEST(PngTransparency, RgbKeyAboveEightBitsMatchesNothing)
{
    const Bytes trns = {1, 0, 0, 255, 0, 0};
    const Loaded loaded = loadPngBytes(rgbPng(1, 1, {0, 255, 0}, &trns));
    ASSERT_TRUE(loaded.ok);
    EXPECT_EQ(loaded.transparentColour, -1);
}

TEST(PngTransparency, GreySampleNamesItsGrey)
{
    const Bytes trns = {0, 200};
    const Loaded loaded = loadPngBytes(greyPng(2, 1, 8, {200, 100}, &trns));
    ASSERT_TRUE(loaded.ok);
    EXPECT_FALSE(loaded.hasAlpha);
    EXPECT_EQ(loaded.transparentColour, 0xC8C8C8);

    const Bytes top = {0, 15};
    EXPECT_EQ(loadPngBytes(greyPng(1, 1, 4, {3}, &top)).transparentColour, 0xFFFFFF);
    // A sample beyond the depth's range, even with a fitting low byte, names no grey.
    const Bytes beyond = {1, 3};
    EXPECT_EQ(loadPngBytes(greyPng(1, 1, 4, {3}, &beyond)).transparentColour, -1);
    const Bytes large = {0, 16};
    EXPECT_EQ(loadPngBytes(greyPng(1, 1, 4, {3}, &large)).transparentColour, -1);
}

TEST(PngTransparency, PaletteFirstEntryTransparent)
{
    const Bytes trns = {0x00, 0xFF};
    const Loaded loaded = loadPngBytes(palettePng(2, 1, 8, {0x112233, 0x445566}, {0, 1}, &trns));
    ASSERT_TRUE(loaded.ok);
    EXPECT_FALSE(loaded.hasAlpha);
    EXPECT_EQ(loaded.transparentColour, 0x112233);
    EXPECT_EQ(rgbaAt(loaded.image, 0, 0), 0x112233FFu);
}

TEST(PngTransparency, PartialAlphaOnUnusedEntryStaysOpaque)
{
    const Bytes trns = {0xFF, 0x80};
    const Loaded loaded = loadPngBytes(palettePng(2, 1, 8, {0x112233, 0x445566}, {0, 0}, &trns));
    ASSERT_TRUE(loaded.ok);
    EXPECT_FALSE(loaded.hasAlpha);
    EXPECT_EQ(loaded.transparentColour, -1);
    EXPECT_EQ(rgbaAt(loaded.image, 1, 0), 0x112233FFu);
}

TEST(PngTransparency, PartialAlphaInUseLoadsWithAlpha)
{
    const Bytes trns = {0xFF, 0x80};
    const Loaded loaded = loadPngBytes(palettePng(2, 1, 8, {0x112233, 0x445566}, {0, 1}, &trns));
    ASSERT_TRUE(loaded.ok);
    EXPECT_TRUE(loaded.hasAlpha);
    EXPECT_EQ(loaded.transparentColour, -1);
    EXPECT_EQ(rgbaAt(loaded.image, 0, 0), 0x112233FFu);
    EXPECT_EQ(rgbaAt(loaded.image, 1, 0), 0x44556680u);
}

TEST(PngTransparency, ShortTrnsCoversOnlyItsOwnEntries)
{
    const Bytes trns = {0xFF, 0x00};
    const Loaded loaded =
        loadPngBytes(palettePng(4, 1, 2, {0x010101, 0x020202, 0x030303, 0x040404}, {0, 1, 2, 3}, &trns));
    ASSERT_TRUE(loaded.ok);
    EXPECT_FALSE(loaded.hasAlpha);
    EXPECT_EQ(loaded.transparentColour, 0x020202);
    for (uint32_t x = 0; x < 4; ++x)
        EXPECT_EQ(rgbaAt(loaded.image, x, 0) & 0xFF, 0xFFu);
}

TEST(PngTransparency, TransparentEntriesOfOneColourShareTheKey)
{
    const Bytes trns = {0x00, 0x00, 0xFF};
    const Loaded loaded = loadPngBytes(palettePng(3, 1, 8, {0x0A0B0C, 0x0A0B0C, 0x777777}, {0, 1, 2}, &trns));
    ASSERT_TRUE(loaded.ok);
    EXPECT_FALSE(loaded.hasAlpha);
    EXPECT_EQ(loaded.transparentColour, 0x0A0B0C);
}

TEST(PngTransparency, TransparentEntriesOfDifferentColoursLoadWithAlpha)
{
    const Bytes trns = {0x00, 0x00, 0xFF};
    const Loaded loaded = loadPngBytes(palettePng(3, 1, 8, {0x0A0B0C, 0x0D0E0F, 0x777777}, {0, 1, 2}, &trns));
    ASSERT_TRUE(loaded.ok);
    EXPECT_TRUE(loaded.hasAlpha);
    EXPECT_EQ(loaded.transparentColour, -1);
    EXPECT_EQ(rgbaAt(loaded.image, 0, 0), 0x0A0B0C00u);
    EXPECT_EQ(rgbaAt(loaded.image, 1, 0), 0x0D0E0F00u);
    EXPECT_EQ(rgbaAt(loaded.image, 2, 0), 0x777777FFu);
}

TEST(PngTransparency, TransparentColourOfAnOpaquePixelLoadsWithAlpha)
{
    const Bytes trns = {0x00, 0xFF};
    const Loaded loaded = loadPngBytes(palettePng(2, 1, 8, {0x123456, 0x123456}, {0, 1}, &trns));
    ASSERT_TRUE(loaded.ok);
    EXPECT_TRUE(loaded.hasAlpha);
    EXPECT_EQ(loaded.transparentColour, -1);
    EXPECT_EQ(rgbaAt(loaded.image, 0, 0), 0x12345600u);
    EXPECT_EQ(rgbaAt(loaded.image, 1, 0), 0x123456FFu);
}

TEST(PngTransparency, SameColourOnAnUnusedOpaqueEntryKeepsTheKey)
{
    const Bytes trns = {0x00, 0xFF};
    const Loaded loaded = loadPngBytes(palettePng(2, 1, 8, {0x123456, 0x123456, 0x999999}, {0, 2}, &trns));
    ASSERT_TRUE(loaded.ok);
    EXPECT_FALSE(loaded.hasAlpha);
    EXPECT_EQ(loaded.transparentColour, 0x123456);
}

TEST(PngTransparency, UnusedTransparentEntryNeverKeysAnOpaqueColour)
{
    // Entry 0 is transparent but unused; its colour is that of pixels in use.
    const Bytes trns = {0x00};
    const Loaded loaded = loadPngBytes(palettePng(2, 1, 8, {0x999999, 0x999999}, {1, 1}, &trns));
    ASSERT_TRUE(loaded.ok);
    EXPECT_FALSE(loaded.hasAlpha);
    EXPECT_EQ(loaded.transparentColour, -1);

    // Without such a clash the unused entry's colour is reported as the file names it.
    const Loaded apart = loadPngBytes(palettePng(2, 1, 8, {0x111111, 0x999999}, {1, 1}, &trns));
    ASSERT_TRUE(apart.ok);
    EXPECT_EQ(apart.transparentColour, 0x111111);
}

TEST(PngTransparency, KeyIsTheColourOfTheTransparentEntryInUse)
{
    // The first fully transparent entry is unused; the used one has another colour.
    const Bytes trns = {0x00, 0x00, 0xFF};
    const Loaded loaded = loadPngBytes(palettePng(2, 1, 8, {0x111111, 0x222222, 0x333333}, {1, 2}, &trns));
    ASSERT_TRUE(loaded.ok);
    EXPECT_FALSE(loaded.hasAlpha);
    EXPECT_EQ(loaded.transparentColour, 0x222222);
}

TEST(PngTransparency, OutOfRangeIndexCountsAsOpaqueBlack)
{
    // Entry 0 is transparent black; index 5 lies beyond the palette and shows opaque black.
    const Bytes trns = {0x00};
    const Loaded loaded = loadPngBytes(palettePng(2, 1, 8, {0x000000, 0xFFFFFF}, {0, 5}, &trns));
    ASSERT_TRUE(loaded.ok);
    EXPECT_TRUE(loaded.hasAlpha);
    EXPECT_EQ(rgbaAt(loaded.image, 0, 0), 0x00000000u);
    EXPECT_EQ(rgbaAt(loaded.image, 1, 0), kOpaqueBlack);
}

TEST(PngTransparency, TrnsBeforePlteIsIgnored)
{
    PngBuilder png;
    png.chunk("IHDR", ihdrData(1, 1, 8, 3))
        .chunk("tRNS", {0x00})
        .chunk("PLTE", plteData({0x445566}))
        .chunk("IDAT", zlibCompress({0, 0}))
        .chunk("IEND", {});
    const Loaded loaded = loadPngBytes(png.bytes);
    ASSERT_TRUE(loaded.ok);
    EXPECT_EQ(loaded.transparentColour, -1);
    EXPECT_FALSE(loaded.hasAlpha);
}

TEST(PngTransparency, TrnsBesideAnAlphaChannelIsIgnored)
{
    const Bytes trns = {0, 1, 0, 2, 0, 3};
    const Loaded loaded = loadPngBytes(rgbPng(1, 1, {1, 2, 3, 255}, &trns, 6));
    ASSERT_TRUE(loaded.ok);
    EXPECT_TRUE(loaded.hasAlpha);
    EXPECT_EQ(loaded.transparentColour, -1);
    EXPECT_EQ(rgbaAt(loaded.image, 0, 0), 0x010203FFu);
}

TEST(PngTransparency, LaterTrnsReplacesEarlier)
{
    PngBuilder png;
    png.chunk("IHDR", ihdrData(1, 1, 8, 2))
        .chunk("tRNS", {0, 1, 0, 2, 0, 3})
        .chunk("tRNS", {0, 4, 0, 5, 0, 6})
        .chunk("IDAT", zlibCompress({0, 4, 5, 6}))
        .chunk("IEND", {});
    EXPECT_EQ(loadPngBytes(png.bytes).transparentColour, 0x040506);
}

// ---- Chunk layout ----

TEST(PngChunks, ChunksBeforeHeaderAndBetweenDataAreSkipped)
{
    const Bytes samples = {10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 110, 120};
    const Bytes stream = zlibCompress(rowsWithFilterZero(samples, 6, 2));
    const size_t half = stream.size() / 2;
    PngBuilder png;
    png.chunk("abCd", {1, 2, 3})
        .chunk("IHDR", ihdrData(2, 2, 8, 2))
        .chunk("tEXt", {'a', 0, 'b'})
        .chunk("IDAT", Bytes(stream.begin(), stream.begin() + long(half)))
        .chunk("zzZz", Bytes(40, 7))
        .chunk("IDAT", Bytes(stream.begin() + long(half), stream.end()))
        .chunk("IEND", {});
    const Loaded loaded = loadPngBytes(png.bytes);
    ASSERT_TRUE(loaded.ok);
    EXPECT_EQ(rgbaAt(loaded.image, 0, 0), 0x0A141EFFu);
    EXPECT_EQ(rgbaAt(loaded.image, 1, 0), 0x28323CFFu);
    EXPECT_EQ(rgbaAt(loaded.image, 1, 1), 0x646E78FFu);
}

TEST(PngChunks, CorruptCrcStillLoads)
{
    Bytes png = rgbPng(1, 1, {9, 8, 7});
    png[8 + 8 + 13] ^= 0xFF;   // IHDR CRC
    png[png.size() - 1] ^= 0xFF;   // IEND CRC
    const Loaded loaded = loadPngBytes(png);
    ASSERT_TRUE(loaded.ok);
    EXPECT_EQ(rgbaAt(loaded.image, 0, 0), 0x090807FFu);
}

TEST(PngChunks, DataChunkLongerThanInputBufferIsReadWhole)
{
    const uint32_t width = 200, height = 200;
    std::mt19937 random(7);
    Bytes samples(size_t(width) * height * 3);
    for (auto& b : samples)
        b = uint8_t(random());
    const Bytes png = rgbPng(width, height, samples);
    ASSERT_GT(png.size(), 0x8000u * 3);   // one IDAT of about 120 KB
    const Loaded loaded = loadPngBytes(png);
    ASSERT_TRUE(loaded.ok);
    for (uint32_t y = 0; y < height; y += 37)
        for (uint32_t x = 0; x < width; x += 13) {
            const uint8_t* s = &samples[(size_t(y) * width + x) * 3];
            ASSERT_EQ(rgbaAt(loaded.image, x, y), (uint32_t(s[0]) << 24 | uint32_t(s[1]) << 16 | s[2] << 8 | 0xFF));
        }
    EXPECT_EQ(loaded.image.pixels, [&] {
        Bytes rgba;
        for (size_t i = 0; i < samples.size(); i += 3) {
            rgba.insert(rgba.end(), samples.begin() + long(i), samples.begin() + long(i) + 3);
            rgba.push_back(255);
        }
        return rgba;
    }());
}

TEST(PngChunks, OversizedHeaderChunkIsSkippedPastItsEnd)
{
    Bytes header = ihdrData(1, 1, 8, 0);
    header.push_back(0xEE);
    header.push_back(0xEE);
    PngBuilder png;
    png.chunk("IHDR", header).chunk("IDAT", zlibCompress({0, 77})).chunk("IEND", {});
    const Loaded loaded = loadPngBytes(png.bytes);
    ASSERT_TRUE(loaded.ok);
    EXPECT_EQ(rgbaAt(loaded.image, 0, 0), opaque(0x4D4D4D));
}

TEST(PngChunks, ShortHeaderChunkIsRefused)
{
    Bytes header = ihdrData(1, 1, 8, 0);
    header.resize(12);
    PngBuilder png;
    png.chunk("IHDR", header).chunk("IDAT", zlibCompress({0, 77})).chunk("IEND", {});
    EXPECT_FALSE(loadPngBytes(png.bytes).ok);
}

TEST(PngChunks, PaletteLengthRules)
{
    // An incomplete last entry is dropped: index 1 then lies beyond the palette.
    Bytes plte = plteData({0x102030, 0x405060});
    plte.pop_back();
    PngBuilder png;
    png.chunk("IHDR", ihdrData(2, 1, 8, 3)).chunk("PLTE", plte).chunk("IDAT", zlibCompress({0, 0, 1}));
    png.chunk("IEND", {});
    const Loaded loaded = loadPngBytes(png.bytes);
    ASSERT_TRUE(loaded.ok);
    EXPECT_EQ(rgbaAt(loaded.image, 0, 0), opaque(0x102030));
    EXPECT_EQ(rgbaAt(loaded.image, 1, 0), kOpaqueBlack);

    PngBuilder tooLong;
    tooLong.chunk("IHDR", ihdrData(1, 1, 8, 3)).chunk("PLTE", Bytes(771, 1)).chunk("IDAT", zlibCompress({0, 0}));
    EXPECT_FALSE(loadPngBytes(tooLong.bytes).ok);
}

// ---- Filters ----

TEST(PngFilters, EveryFilterTypeReconstructsTheRows)
{
    std::mt19937 random(11);
    struct Layout {
        uint8_t type, depth;
        uint32_t bpp, bytesPerPixelTimes2;
    };
    for (const Layout& layout : {Layout{0, 8, 1, 2}, Layout{3, 4, 1, 1}, Layout{2, 8, 3, 6}, Layout{6, 8, 4, 8}}) {
        const uint32_t width = 7, height = 5;
        const uint32_t rowBytes = (width * layout.bytesPerPixelTimes2 + 1) / 2;
        Bytes raw(size_t(rowBytes) * height);
        for (auto& b : raw)
            b = uint8_t(random());
        Bytes palette;
        for (uint32_t i = 0; i < 16; ++i)
            palette.insert(palette.end(), {uint8_t(i * 16), uint8_t(255 - i), uint8_t(i * 3)});
        Loaded expected;
        for (uint8_t filter = 0; filter <= 4; ++filter) {
            PngBuilder png;
            png.chunk("IHDR", ihdrData(width, height, layout.depth, layout.type));
            if (layout.type == 3)
                png.chunk("PLTE", palette);
            png.chunk("IDAT", zlibCompress(filterRows(raw, rowBytes, height, layout.bpp, filter)));
            png.chunk("IEND", {});
            const Loaded loaded = loadPngBytes(png.bytes);
            ASSERT_TRUE(loaded.ok) << "type " << int(layout.type) << " filter " << int(filter);
            if (filter == 0)
                expected = loaded;
            else
                EXPECT_EQ(loaded.image.pixels, expected.image.pixels)
                    << "type " << int(layout.type) << " filter " << int(filter);
        }
        // Unfiltered rows as stored, checked directly for the byte-per-sample layouts.
        if (layout.type == 2) {
            EXPECT_EQ(rgbaAt(expected.image, 0, 0),
                      (uint32_t(raw[0]) << 24 | uint32_t(raw[1]) << 16 | uint32_t(raw[2]) << 8 | 0xFF));
        }
    }
}

TEST(PngFilters, UnknownFilterTypeLeavesTheRowAsStored)
{
    PngBuilder png;
    png.chunk("IHDR", ihdrData(2, 2, 8, 0)).chunk("IDAT", zlibCompress({0, 10, 20, 9, 30, 40})).chunk("IEND", {});
    const Loaded loaded = loadPngBytes(png.bytes);
    ASSERT_TRUE(loaded.ok);
    EXPECT_EQ(rgbaAt(loaded.image, 0, 1), opaque(0x1E1E1E));
    EXPECT_EQ(rgbaAt(loaded.image, 1, 1), opaque(0x282828));
}

// ---- Incomplete and extra data ----

TEST(PngIncompleteData, MissingRowsDecodeAsZeros)
{
    // Two of four rows in the stream; the stream itself is complete.
    PngBuilder png;
    png.chunk("IHDR", ihdrData(1, 4, 8, 2)).chunk("IDAT", zlibCompress({0, 1, 2, 3, 0, 4, 5, 6})).chunk("IEND", {});
    Loaded loaded = loadPngBytes(png.bytes);
    ASSERT_TRUE(loaded.ok);
    EXPECT_EQ(rgbaAt(loaded.image, 0, 1), 0x040506FFu);
    EXPECT_EQ(rgbaAt(loaded.image, 0, 2), kOpaqueBlack);
    EXPECT_EQ(rgbaAt(loaded.image, 0, 3), kOpaqueBlack);

    PngBuilder rgba;
    rgba.chunk("IHDR", ihdrData(1, 2, 8, 6)).chunk("IDAT", zlibCompress({0, 1, 2, 3, 4})).chunk("IEND", {});
    loaded = loadPngBytes(rgba.bytes);
    ASSERT_TRUE(loaded.ok);
    EXPECT_EQ(rgbaAt(loaded.image, 0, 1), 0x00000000u);

    PngBuilder palette;
    palette.chunk("IHDR", ihdrData(1, 2, 8, 3)).chunk("PLTE", plteData({0xABCDEF, 0x111111}));
    palette.chunk("IDAT", zlibCompress({0, 1})).chunk("IEND", {});
    loaded = loadPngBytes(palette.bytes);
    ASSERT_TRUE(loaded.ok);
    EXPECT_EQ(rgbaAt(loaded.image, 0, 0), opaque(0x111111));
    EXPECT_EQ(rgbaAt(loaded.image, 0, 1), opaque(0xABCDEF));
}

TEST(PngIncompleteData, NoImageDataLoadsAsEntryZero)
{
    PngBuilder png;
    png.chunk("IHDR", ihdrData(3, 2, 1, 0)).chunk("IEND", {});
    const Loaded loaded = loadPngBytes(png.bytes);
    ASSERT_TRUE(loaded.ok);
    for (uint32_t y = 0; y < 2; ++y)
        for (uint32_t x = 0; x < 3; ++x)
            EXPECT_EQ(rgbaAt(loaded.image, x, y), kOpaqueBlack);
}

TEST(PngIncompleteData, FileEndingInsideDataChunkKeepsDecodedRows)
{
    const uint32_t width = 64, height = 64;
    Bytes samples(size_t(width) * height * 3);
    std::mt19937 random(3);
    for (auto& b : samples)
        b = uint8_t(random());
    const Bytes full = rgbPng(width, height, samples);
    // Cut in the middle of the one IDAT chunk (no CRC, no IEND).
    const Bytes cut(full.begin(), full.begin() + long(full.size() / 2));
    const Loaded loaded = loadPngBytes(cut);
    ASSERT_TRUE(loaded.ok);
    EXPECT_EQ(rgbaAt(loaded.image, 5, 0), (uint32_t(samples[15]) << 24 | uint32_t(samples[16]) << 16 |
                                           uint32_t(samples[17]) << 8 | 0xFF));
    EXPECT_EQ(rgbaAt(loaded.image, 63, 63), kOpaqueBlack);
}

TEST(PngIncompleteData, CompressedDataBeyondTheImageIsIgnored)
{
    PngBuilder png;
    png.chunk("IHDR", ihdrData(1, 1, 8, 0)).chunk("IDAT", zlibCompress({0, 99, 1, 2, 3, 4, 5})).chunk("IEND", {});
    const Loaded loaded = loadPngBytes(png.bytes);
    ASSERT_TRUE(loaded.ok);
    EXPECT_EQ(rgbaAt(loaded.image, 0, 0), opaque(0x636363));
}

TEST(PngIncompleteData, CorruptStreamIsRefused)
{
    Bytes stream = zlibCompress({0, 1, 2, 3, 0, 4, 5, 6});
    stream[0] = 0x00;   // invalid zlib header
    PngBuilder png;
    png.chunk("IHDR", ihdrData(1, 2, 8, 2)).chunk("IDAT", stream).chunk("IEND", {});
    EXPECT_FALSE(loadPngBytes(png.bytes).ok);
}

TEST(PngIncompleteData, EmptyDataChunkWhileRowsAreMissingIsRefused)
{
    const Bytes stream = zlibCompress({0, 1, 2, 3});
    PngBuilder png;
    png.chunk("IHDR", ihdrData(1, 1, 8, 2)).chunk("IDAT", {}).chunk("IDAT", stream).chunk("IEND", {});
    EXPECT_FALSE(loadPngBytes(png.bytes).ok);
}

// ---- Malformed input ----

TEST(PngMalformed, HugeChunkLengthEndsTheSearch)
{
    // Before the header: no header found.
    PngBuilder beforeHeader;
    beforeHeader.rawChunk(0x80000000u, "abCd", Bytes(16, 0));
    beforeHeader.chunk("IHDR", ihdrData(1, 1, 8, 0)).chunk("IDAT", zlibCompress({0, 5}));
    EXPECT_FALSE(loadPngBytes(beforeHeader.bytes).ok);

    // Before PLTE: no palette found.
    PngBuilder beforePalette;
    beforePalette.chunk("IHDR", ihdrData(1, 1, 8, 3)).rawChunk(0xFFFFFFFFu, "abCd", Bytes(16, 0));
    beforePalette.chunk("PLTE", plteData({1})).chunk("IDAT", zlibCompress({0, 0}));
    EXPECT_FALSE(loadPngBytes(beforePalette.bytes).ok);

    // Before the data: the search for image data ends and no rows are decoded.
    PngBuilder beforeData;
    beforeData.chunk("IHDR", ihdrData(1, 1, 8, 0)).rawChunk(0x80000000u, "abCd", Bytes(16, 0));
    beforeData.chunk("IDAT", zlibCompress({0, 5}));
    const Loaded loaded = loadPngBytes(beforeData.bytes);
    ASSERT_TRUE(loaded.ok);
    EXPECT_EQ(rgbaAt(loaded.image, 0, 0), kOpaqueBlack);
}

TEST(PngMalformed, HugeDimensionsAreRefusedBeforeAllocating)
{
    struct Size {
        uint32_t width, height;
        uint8_t depth, type;
    };
    for (const Size& s : {Size{0x7FFFFFFF, 0x7FFFFFFF, 8, 6}, Size{65536, 65536, 1, 0}, Size{30000, 30000, 8, 2},
                          Size{0x80000000u, 1, 1, 0}, Size{1, 0x80000000u, 1, 0}, Size{0xFFFFFFFF, 1, 8, 6},
                          Size{0x20000000, 1, 8, 6}, Size{0, 5, 8, 0}, Size{5, 0, 8, 0}}) {
        PngBuilder png;
        png.chunk("IHDR", ihdrData(s.width, s.height, s.depth, s.type)).chunk("IDAT", zlibCompress({0, 0}));
        png.chunk("IEND", {});
        EXPECT_FALSE(loadPngBytes(png.bytes).ok) << s.width << "x" << s.height;
    }
}

TEST(PngMalformed, PaletteIndexBeyondPaletteIsOpaqueBlack)
{
    const Loaded loaded = loadPngBytes(palettePng(4, 1, 8, {0x808080, 0xFFFFFF}, {0, 1, 2, 255}));
    ASSERT_TRUE(loaded.ok);
    EXPECT_FALSE(loaded.hasAlpha);
    EXPECT_EQ(rgbaAt(loaded.image, 0, 0), opaque(0x808080));
    EXPECT_EQ(rgbaAt(loaded.image, 1, 0), opaque(0xFFFFFF));
    EXPECT_EQ(rgbaAt(loaded.image, 2, 0), kOpaqueBlack);
    EXPECT_EQ(rgbaAt(loaded.image, 3, 0), kOpaqueBlack);

    // The same for packed indices against an empty palette.
    PngBuilder empty;
    empty.chunk("IHDR", ihdrData(2, 1, 4, 3)).chunk("PLTE", {}).chunk("IDAT", zlibCompress({0, 0xF3}));
    const Loaded none = loadPngBytes(empty.bytes);
    ASSERT_TRUE(none.ok);
    EXPECT_EQ(rgbaAt(none.image, 0, 0), kOpaqueBlack);
    EXPECT_EQ(rgbaAt(none.image, 1, 0), kOpaqueBlack);
}

TEST(PngMalformed, TruncationAtEveryLengthNeverCrashes)
{
    const uint32_t width = 13, height = 9;
    Bytes indices(size_t(width) * height);
    for (size_t i = 0; i < indices.size(); ++i)
        indices[i] = uint8_t(i % 5);
    const Bytes trns = {0x00, 0xFF, 0x80};
    const Bytes full =
        palettePng(width, height, 4, {0x010203, 0x040506, 0x070809, 0x0A0B0C, 0x0D0E0F}, indices, &trns);
    const Loaded complete = loadPngBytes(full);
    ASSERT_TRUE(complete.ok);

    const size_t headerEnd = 8 + 8 + 13;   // signature, IHDR length, type and data
    size_t matchingRowsBefore = 0;
    for (size_t length = 0; length <= full.size(); ++length) {
        const Loaded loaded = loadPngBytes(Bytes(full.begin(), full.begin() + long(length)));
        if (length < headerEnd) {
            EXPECT_FALSE(loaded.ok) << length;
            continue;
        }
        if (!loaded.ok)
            continue;   // cut inside PLTE
        ASSERT_EQ(loaded.image.width, width);
        ASSERT_EQ(loaded.image.height, height);
        // A longer prefix never decodes fewer rows correctly. The alpha
        // decision can change as more pixels appear, so compare colours only.
        size_t matching = 0;
        while (matching < height) {
            bool same = true;
            for (uint32_t x = 0; x < width; ++x)
                same = same && (rgbaAt(loaded.image, x, uint32_t(matching)) >> 8) ==
                                   (rgbaAt(complete.image, x, uint32_t(matching)) >> 8);
            if (!same)
                break;
            ++matching;
        }
        EXPECT_GE(matching, matchingRowsBefore) << length;
        matchingRowsBefore = matching;
    }
    EXPECT_EQ(matchingRowsBefore, height);
}

TEST(PngMalformed, NotAPngIsRefused)
{
    EXPECT_FALSE(loadPngBytes({'h', 'e', 'l', 'l', 'o'}).ok);
    Bytes png = rgbPng(1, 1, {1, 2, 3});
    png[1] = 'Q';
    EXPECT_FALSE(loadPngBytes(png).ok);
    EXPECT_FALSE(loadPngPath("/nonexistent/folder/none.png").ok);
}

TEST(PngLoader, FailedReadLeavesImageAndColourUntouched)
{
    DibImage image;
    ASSERT_TRUE(image.create(2, 2));
    image.setPixelAt(1, 1, 0x11223344u);
    image.hasAlpha = 1;
    int32_t transparent = 0x00123456;
    TempDir folder;
    const std::string path = folder.file("bad.png");
    Bytes png = rgbPng(1, 1, {1, 2, 3});
    png[0] = 0;
    ASSERT_TRUE(writeFileBytes(path, png));
    EXPECT_FALSE(loadPngFile(path.c_str(), image, transparent));
    EXPECT_EQ(image.width, 2);
    EXPECT_EQ(image.pixelAt(1, 1), 0x11223344u);
    EXPECT_EQ(image.hasAlpha, 1);
    EXPECT_EQ(transparent, 0x00123456);
}

TEST(PngLoader, ReaderFillsInfoForTheCaller)
{
    TempDir folder;
    const std::string path = folder.file("info.png");
    ASSERT_TRUE(writeFileBytes(path, palettePng(5, 3, 2, {0x010203, 0x040506, 0x070809}, Bytes(15, 2))));
    PngReader reader;
    PngInfo info;
    ASSERT_TRUE(reader.read(path.c_str(), info));
    EXPECT_EQ(info.pixelBits, 2);
    EXPECT_EQ(info.paletteCount, 3);
    EXPECT_EQ(info.width, 5u);
    EXPECT_EQ(info.height, 3u);
    EXPECT_EQ(info.rowBytes, 3);   // two bytes of indices and the filter byte
    EXPECT_EQ(info.transparentColour, -1);
    EXPECT_EQ(info.hasAlpha, 0);
    ASSERT_GE(info.imageData.size, 9u);
    EXPECT_EQ(info.imageData.data[3 + 1], 0xAA);   // row 1: indices 2,2,2,2
    DibImage image;
    ASSERT_TRUE(image.create(5, 3));
    PngReader::convertToImage(info, image);
    EXPECT_EQ(image.pixelAt(4, 2), 0xFF070809u);
}
