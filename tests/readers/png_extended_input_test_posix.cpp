// PNG reader with extended input on generated files: every colour type and
// depth, interlaced or not, compared with libpng's decode of the same bytes;
// 16-bit files with a sample of unequal bytes refused, or loaded with their
// samples kept when the caller takes them; the colour chunks kept.

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "core/byte_buffer.h"
#include "core/dib_image.h"
#include "core/image_loader.h"
#include "core/png_reader.h"
#include "tests/common/image_file_builders.h"
#include "tests/readers/reader_test_support.h"

namespace {

struct Pass {
    uint32_t x0, y0, dx, dy;
};
const Pass kAdam7[] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4}, {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};
const Pass kWhole[] = {{0, 0, 1, 1}};

uint32_t channelsOf(uint8_t colourType)
{
    switch (colourType) {
    case 2: return 3;
    case 4: return 2;
    case 6: return 4;
    default: return 1;
    }
}

// A picture as stored samples (one value per channel, at the file's depth).
struct Picture {
    uint32_t width = 0;
    uint32_t height = 0;
    uint8_t depth = 8;
    uint8_t colourType = 0;
    std::vector<uint16_t> samples;
};

// Row of the picture's pixels x0, x0 + dx, ... of row y, packed at its depth.
Bytes packedRow(const Picture& p, const Pass& pass, uint32_t y)
{
    const uint32_t channels = channelsOf(p.colourType);
    Bytes row;
    uint32_t bitFill = 0;
    for (uint32_t x = pass.x0; x < p.width; x += pass.dx)
        for (uint32_t c = 0; c < channels; ++c) {
            const uint16_t value = p.samples[(size_t(y) * p.width + x) * channels + c];
            if (p.depth == 16) {
                row.push_back(uint8_t(value >> 8));
                row.push_back(uint8_t(value));
            } else if (p.depth == 8) {
                row.push_back(uint8_t(value));
            } else {
                if (bitFill % 8 == 0)
                    row.push_back(0);
                row.back() = uint8_t(row.back() | (value << (8 - p.depth - bitFill % 8)));
                bitFill += p.depth;
            }
        }
    return row;
}

// The file's filtered data: each pass with its own filter type.
Bytes storedData(const Picture& p, bool interlaced)
{
    const uint32_t bpp = (channelsOf(p.colourType) * p.depth + 7) / 8;
    Bytes out;
    uint8_t type = 0;
    const std::vector<Pass> passes = interlaced ? std::vector<Pass>(std::begin(kAdam7), std::end(kAdam7))
                                                : std::vector<Pass>(std::begin(kWhole), std::end(kWhole));
    for (const Pass& pass : passes) {
        Bytes rows;
        uint32_t rowBytes = 0, rowCount = 0;
        for (uint32_t y = pass.y0; y < p.height; y += pass.dy) {
            const Bytes row = packedRow(p, pass, y);
            rowBytes = uint32_t(row.size());
            rows.insert(rows.end(), row.begin(), row.end());
            ++rowCount;
        }
        if (rowBytes == 0)
            continue;   // an empty pass stores nothing
        const Bytes filtered = filterRows(rows, rowBytes, rowCount, bpp, uint8_t(type++ % 5));
        out.insert(out.end(), filtered.begin(), filtered.end());
    }
    return out;
}

struct Case {
    uint8_t colourType;
    uint8_t depth;
    int trns;   // 0: none; 1: naming pixel 0's value; 2: (16 bits) pixel 0's value with unequal bytes
};

const Case kCases[] = {
    {0, 1, 0}, {0, 2, 1}, {0, 4, 0}, {0, 8, 1}, {0, 16, 0}, {0, 16, 1}, {0, 16, 2},
    {2, 8, 1}, {2, 16, 0}, {2, 16, 1}, {2, 16, 2},
    {3, 1, 0}, {3, 2, 1}, {3, 4, 0}, {3, 8, 1},
    {4, 8, 0}, {4, 16, 0},
    {6, 8, 0}, {6, 16, 0},
};

const uint32_t kSizes[][2] = {{1, 1}, {3, 2}, {9, 1}, {13, 11}};

// A random picture of the case; at 16 bits every sample has equal bytes.
Picture randomPicture(const Case& c, uint32_t width, uint32_t height, std::mt19937& random)
{
    Picture p;
    p.width = width;
    p.height = height;
    p.depth = c.depth;
    p.colourType = c.colourType;
    const uint32_t values = c.colourType == 3 ? 5u : c.depth >= 8 ? 256u : 1u << c.depth;
    for (size_t i = 0; i < size_t(width) * height * channelsOf(c.colourType); ++i) {
        const uint16_t v = uint16_t(random() % values);
        p.samples.push_back(c.depth == 16 ? uint16_t(v * 257) : v);
    }
    return p;
}

Bytes pngOf(const Picture& p, bool interlaced, int trns)
{
    PngParts parts;
    parts.width = p.width;
    parts.height = p.height;
    parts.depth = p.depth;
    parts.colourType = p.colourType;
    parts.filteredRows = storedData(p, interlaced);
    if (p.colourType == 3)
        parts.palette = plteData({0x102030, 0xFF0000, 0x00FF00, 0x0000FF, 0x808080});
    if (trns) {
        parts.hasTrns = true;
        const uint32_t channels = p.colourType == 3 ? 0 : channelsOf(p.colourType);
        for (uint32_t c = 0; c < channels; ++c) {
            const uint16_t value = uint16_t(p.samples[c] ^ (trns == 2 ? 1 : 0));
            parts.trns.push_back(uint8_t(value >> 8));
            parts.trns.push_back(uint8_t(value));
        }
        if (p.colourType == 3)
            parts.trns = {0, 128};   // entry 0 transparent, entry 1 half
    }
    Bytes png = buildPng(parts);
    png[8 + 8 + 12] = interlaced ? 1 : 0;   // IHDR interlace byte
    return repairPngCrcs(png);
}

// A 16-bit file loaded with its samples kept: exactly libpng's 16-bit
// decode (a key's pixels alpha 0), the picture their high bytes, a key's
// high bytes the transparent colour. wide: some sample has unequal bytes,
// else nothing is kept and the picture is the 8-bit load's.
void expectSamplesKept(const Bytes& file, bool wide)
{
    DibImage image;
    int32_t transparentColour = -2;
    ByteBuffer samples;
    ASSERT_TRUE(loadImageMemory(image, file.data(), uint32_t(file.size()), transparentColour, ImageInput::Extended,
                                nullptr, &samples));
    const Loaded plain = loadPngBytesExtended(file);
    if (!wide) {
        EXPECT_EQ(samples.size, 0u);
        EXPECT_EQ(rgbaFromDib(image).pixels, plain.image.pixels);
        EXPECT_EQ(transparentColour, plain.transparentColour);
        return;
    }
    Rgba16Image reference;
    ASSERT_TRUE(decodePngBytesWithLibpng16(file, reference));
    ASSERT_EQ(samples.size, reference.samples.size() * 2);
    std::vector<uint16_t> kept;
    for (uint32_t i = 0; i < samples.size; i += 2)
        kept.push_back(uint16_t(samples.data[i] << 8 | samples.data[i + 1]));
    EXPECT_EQ(kept, reference.samples);
    const RgbaImage picture = rgbaFromDib(image);
    bool keyed = false;
    for (size_t i = 0; i < kept.size(); ++i) {
        const bool alpha = i % 4 == 3;
        keyed = keyed || (alpha && !image.hasAlpha && kept[i] == 0);
        ASSERT_EQ(picture.pixels[i], alpha && !image.hasAlpha ? 255 : kept[i] >> 8) << "sample " << i;
    }
    if (keyed) {
        const size_t at = size_t(std::find(kept.begin(), kept.end(), 0) - kept.begin()) - 3;   // a key pixel
        EXPECT_EQ(transparentColour, int32_t(uint32_t(kept[at] >> 8) << 16 | uint32_t(kept[at + 1] >> 8) << 8 |
                                             uint32_t(kept[at + 2] >> 8)));
    }
}

class ExtendedInputCase : public ::testing::TestWithParam<Case> {};

}  // namespace

TEST_P(ExtendedInputCase, LoadsLikeLibpngAndRefusesUnequalSixteenBitSamples)
{
    const Case c = GetParam();
    std::mt19937 random(c.colourType * 100u + c.depth + c.trns * 7u);
    for (const auto& size : kSizes) {
        for (bool interlaced : {false, true}) {
            SCOPED_TRACE(testing::Message() << size[0] << "x" << size[1] << (interlaced ? " interlaced" : ""));
            Picture picture = randomPicture(c, size[0], size[1], random);
            const Bytes png = pngOf(picture, interlaced, c.trns);
            RgbaImage reference;
            ASSERT_TRUE(decodePngBytesWithLibpng(png, reference)) << "the test's own file is not a PNG";

            const Loaded ours = loadPngBytesExtended(png);
            EXPECT_TRUE(samePixels(ours, reference));
            const bool plainKind = !interlaced && c.depth != 16 && c.colourType != 4;
            EXPECT_EQ(loadPngBytes(png).ok, plainKind) << "the default reader's files change";

            if (c.depth == 16) {
                expectSamplesKept(png, false);
                // One low byte off in the last pixel: no longer 8-bit values.
                picture.samples.back() ^= 1;
                const Bytes wideFile = pngOf(picture, interlaced, c.trns);
                const Loaded refused = loadPngBytesExtended(wideFile);
                EXPECT_FALSE(refused.ok);
                EXPECT_EQ(refused.transparentColour, -2);
                expectSamplesKept(wideFile, true);
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Kinds, ExtendedInputCase, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& info) {
                             return "type" + std::to_string(info.param.colourType) + "_depth" +
                                    std::to_string(info.param.depth) + "_trns" + std::to_string(info.param.trns);
                         });

TEST(PngColourChunks, KeptWholeInFileOrderOncePerTypeWithCorrectCrc)
{
    const Bytes gama1 = {0, 0, 0xB1, 0x8F};
    const Bytes gama2 = {0, 1, 0, 0};
    const Bytes srgb = {0};
    const Bytes chrm(32, 7);
    const Bytes iccp = {'p', 0, 0, 0x78, 0x9C, 3, 0, 0, 0, 0, 1};
    PngBuilder builder;
    builder.chunk("IHDR", ihdrData(2, 1, 8, 2))
        .chunk("gAMA", gama1)
        .chunk("tEXt", {'a', 0, 'b'})
        .chunk("sRGB", srgb)
        .chunk("gAMA", gama2);   // a second of a type: left out
    // cHRM with a wrong CRC: left out.
    builder.rawChunk(uint32_t(chrm.size()), "cHRM", chrm);
    appendBE32(builder.bytes, 0x12345678);
    builder.chunk("iCCP", iccp)
        .chunk("IDAT", zlibCompress({0, 1, 2, 3, 4, 5, 6}))
        .chunk("sPLT", {'x', 0, 8})
        .chunk("IEND", {});

    // The expected bytes: the chunks as a well-formed file has them.
    PngBuilder expected;
    expected.chunk("gAMA", gama1).chunk("sRGB", srgb).chunk("iCCP", iccp);
    const Bytes kept(expected.bytes.begin() + 8, expected.bytes.end());

    TempDir folder;
    const std::string path = folder.file("colour.png");
    ASSERT_TRUE(writeFileBytes(path, builder.bytes));
    for (ImageInput input : {ImageInput::Default, ImageInput::Extended}) {
        DibImage image;
        int32_t transparent = -2;
        AppendBuffer chunks;
        ASSERT_TRUE(chunks.init(4, 4));   // released by the load
        ASSERT_TRUE(loadImageFile(image, path.c_str(), transparent, input, &chunks));
        EXPECT_EQ(image.pixelAt(1, 0), 0xFF040506u);
        const Bytes got(chunks.data, chunks.data + chunks.used);
        EXPECT_EQ(got, input == ImageInput::Extended ? kept : Bytes());
    }

    // A refused file leaves nothing behind.
    Bytes broken = builder.bytes;
    broken[8 + 8 + 8] = 16;   // 16-bit RGB: the 7 bytes of data hold no 16-bit row
    ASSERT_TRUE(writeFileBytes(path, repairPngCrcs(broken)));
    DibImage image;
    int32_t transparent = -2;
    AppendBuffer chunks;
    EXPECT_FALSE(loadImageFile(image, path.c_str(), transparent, ImageInput::Extended, &chunks));
    EXPECT_EQ(chunks.used, 0u);
    EXPECT_EQ(chunks.data, nullptr);
}
