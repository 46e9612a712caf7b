// 16-bit pictures (ConvertRequest::samples16) in the extended search: the
// layouts offered for each kind of picture, every one of them decoded by
// libpng at 16 bits to exactly the samples (colours under alpha 0 included),
// and whole conversions at every level writing such a file without the
// default search.

#include <gtest/gtest.h>

#include <zlib.h>

#include <algorithm>
#include <functional>
#include <set>

#include "engine/extended/extended_layouts.h"
#include "engine/png_file.h"
#include "engine/png_optimizer.h"
#include "tests/common/image_file_builders.h"
#include "tests/engine/engine_test_support.h"

namespace {

// A 16-bit picture, its samples as the request carries them, and the
// request's 8-bit picture of their high bytes.
struct WidePicture {
    WidePicture(uint32_t w, uint32_t h)
        : image{w, h, std::vector<uint16_t>(size_t(w) * h * 4, 0xFFFF)}, high(int32_t(w), int32_t(h))
    {
    }

    void set(uint32_t x, uint32_t y, uint16_t r, uint16_t g, uint16_t b, uint16_t a = 0xFFFF)
    {
        uint16_t* s = &image.samples[(size_t(y) * image.width + x) * 4];
        s[0] = r;
        s[1] = g;
        s[2] = b;
        s[3] = a;
    }
    ConvertRequest request(bool hasAlpha, int32_t transparentColour)
    {
        bytes.clear();
        for (uint16_t s : image.samples)
            bytes.insert(bytes.end(), {uint8_t(s >> 8), uint8_t(s)});
        for (uint32_t y = 0; y < image.height; ++y)
            for (uint32_t x = 0; x < image.width; ++x) {
                const uint16_t* s = &image.samples[(size_t(y) * image.width + x) * 4];
                high.set(int32_t(x), int32_t(y), uint32_t(s[0] >> 8) << 16 | uint32_t(s[1] >> 8) << 8 | (s[2] >> 8),
                         uint8_t(s[3] >> 8));
            }
        ConvertRequest request = high.request(transparentColour, hasAlpha);
        request.samples16 = bytes.data();
        request.options = OPT_EXTENDED_SEARCH;
        return request;
    }
    // What a decoder must show when the request's alpha does not count.
    Rgba16Image opaque() const
    {
        Rgba16Image out = image;
        for (size_t i = 3; i < out.samples.size(); i += 4)
            out.samples[i] = 0xFFFF;
        return out;
    }

    Rgba16Image image;
    TestPicture high;
    std::vector<uint8_t> bytes;
};

uint16_t scramble16(uint32_t x)
{
    x ^= x >> 16;
    x *= 0x7FEB352Du;
    x ^= x >> 15;
    return uint16_t(x);
}

struct WideCase {
    const char* name;
    std::function<void(WidePicture&)> paint;
    std::set<int32_t> offered;   // the layouts exactLayouts gives, every one at 16 bits
};

const uint16_t kKey = 0x1234;

const WideCase kWideCases[] = {
    {"grey", [](WidePicture& p) {
         for (uint32_t y = 0; y < p.image.height; ++y)
             for (uint32_t x = 0; x < p.image.width; ++x) {
                 const uint16_t v = uint16_t(x * 2731 + y * 977);
                 p.set(x, y, v, v, v);
             }
     }, {LAYOUT_GREY, LAYOUT_RGB}},
    {"grey with a key", [](WidePicture& p) {
         for (uint32_t y = 0; y < p.image.height; ++y)
             for (uint32_t x = 0; x < p.image.width; ++x) {
                 const uint16_t v = uint16_t(kKey + 1 + (x * 2731 + y * 977) % 60000);
                 if ((x + y) % 5 == 0)
                     p.set(x, y, kKey, kKey, kKey, 0);
                 else
                     p.set(x, y, v, v, v);
             }
     }, {LAYOUT_GREY_KEY, LAYOUT_GREY_ALPHA, LAYOUT_RGB_KEY, LAYOUT_RGBA}},
    {"grey whose transparent colour an opaque pixel has", [](WidePicture& p) {
         for (uint32_t y = 0; y < p.image.height; ++y)
             for (uint32_t x = 0; x < p.image.width; ++x)
                 p.set(x, y, kKey, kKey, kKey, (x + y) % 3 == 0 ? 0 : 0xFFFF);
         p.set(1, 1, 0x4321, 0x4321, 0x4321);
     }, {LAYOUT_GREY_ALPHA, LAYOUT_RGBA}},
    {"RGB with a key differing in one low byte", [](WidePicture& p) {
         for (uint32_t y = 0; y < p.image.height; ++y)
             for (uint32_t x = 0; x < p.image.width; ++x) {
                 if ((x * 3 + y) % 7 == 0)
                     p.set(x, y, 0x8000, 0x8001, 0x8000, 0);
                 else
                     p.set(x, y, 0x8000, 0x8000 ^ uint16_t(x % 2 * 0x100), scramble16(x + y * 64));
             }
     }, {LAYOUT_RGB_KEY, LAYOUT_RGBA}},
    {"RGBA keeping colours under alpha 0", [](WidePicture& p) {
         for (uint32_t y = 0; y < p.image.height; ++y)
             for (uint32_t x = 0; x < p.image.width; ++x)
                 p.set(x, y, scramble16(x + y * 64), scramble16(x * 3 + y), uint16_t(x * 1000),
                       (x + y) % 4 == 0 ? 0 : uint16_t(y * 3001 + 1));
     }, {LAYOUT_RGBA}},
    {"grey with alpha", [](WidePicture& p) {
         for (uint32_t y = 0; y < p.image.height; ++y)
             for (uint32_t x = 0; x < p.image.width; ++x) {
                 const uint16_t v = scramble16(x * 7 + y);
                 p.set(x, y, v, v, v, uint16_t(x * 2000 + y));
             }
     }, {LAYOUT_GREY_ALPHA, LAYOUT_RGBA}},
};

std::vector<uint8_t> chunkBytes(const char* type, const std::vector<uint8_t>& data)
{
    std::vector<uint8_t> out;
    appendPngChunk(out, type, data);
    return out;
}

class WideLayoutTest : public ::testing::TestWithParam<WideCase> {};

}  // namespace

// Every layout offered, written plainly (rows unfiltered, zlib) around its
// own header and chunks, decodes to the samples.
TEST_P(WideLayoutTest, EveryOfferedLayoutRoundTripsAtSixteenBits)
{
    const WideCase& c = GetParam();
    WidePicture picture(19, 11);
    c.paint(picture);
    ExactPicture exact;
    ColourFacts facts;
    std::vector<Layout> layouts;
    ASSERT_TRUE(exactPicture(picture.request(true, -1), exact));
    ASSERT_TRUE(analyseColours(exact, facts));
    ASSERT_TRUE(exactLayouts(exact, facts, layouts));
    std::set<int32_t> kinds;
    for (const Layout& layout : layouts) {
        SCOPED_TRACE(testing::Message() << "layout " << layout.kind);
        kinds.insert(layout.kind);
        EXPECT_EQ(layout.depth, 16);
        std::vector<uint8_t> rows;
        uint32_t stride = 0;
        ASSERT_TRUE(packLayout(exact, facts, layout, rows, stride));
        EXPECT_EQ(stride, 1 + picture.image.width * layoutBitsPerPixel(layout) / 8);
        std::vector<uint8_t> header;
        appendBE32(header, picture.image.width);
        appendBE32(header, picture.image.height);
        header.insert(header.end(), {0, 0, 0, 0, 0});
        layoutHeader(layout.kind, layout.depth, header[8], header[9]);
        std::vector<uint8_t> plte, trns;
        layoutChunks(layout, facts, plte, trns);
        EXPECT_TRUE(plte.empty());
        uLongf packedSize = compressBound(uLong(rows.size()));
        std::vector<uint8_t> idat(packedSize);
        ASSERT_EQ(compress(idat.data(), &packedSize, rows.data(), uLong(rows.size())), Z_OK);
        idat.resize(packedSize);
        std::vector<uint8_t> file = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
        const std::vector<uint8_t> trnsChunk = trns.empty() ? std::vector<uint8_t>() : chunkBytes("tRNS", trns);
        for (const auto& part : {chunkBytes("IHDR", header), trnsChunk, chunkBytes("IDAT", idat), chunkBytes("IEND", {})})
            file.insert(file.end(), part.begin(), part.end());
        Rgba16Image decoded;
        ASSERT_TRUE(decodePngBytesWithLibpng16(file, decoded));
        EXPECT_EQ(decoded.samples, picture.image.samples);
    }
    EXPECT_EQ(kinds, c.offered);
}

// The whole conversion at every level: no default search, a 16-bit file of
// exactly the samples, its size the one reported. Without alpha and key the
// request's samples are opaque whatever their alpha says.
TEST_P(WideLayoutTest, ConvertsAtEveryLevelWithoutTheDefaultSearch)
{
    const WideCase& c = GetParam();
    for (int32_t level = kMinExtendedLevel; level <= kMaxExtendedLevel; ++level) {
        for (bool alphaCounts : {true, false}) {
            SCOPED_TRACE(testing::Message() << "level " << level << (alphaCounts ? "" : " opaque"));
            WidePicture picture(23, 13);
            c.paint(picture);
            ConvertRequest request = picture.request(alphaCounts, -1);
            request.extendedLevel = level;
            EventLog log;
            log.attach(request, nullptr);
            AppendBuffer png;
            PngOptimizer optimizer;
            ASSERT_EQ(optimizer.convertToMemory(png, request), 1);
            const std::vector<uint8_t> bytes(png.data, png.data + png.used);
            EXPECT_EQ(bytes.size(), request.fileSize);
            EXPECT_EQ(request.bitDepth, 0);
            EXPECT_TRUE(log.depthStarts().empty()) << "the default search ran";
            EXPECT_EQ(request.extendedDepth, 16);
            ASSERT_GT(bytes.size(), 25u);
            EXPECT_EQ(bytes[24], 16) << "IHDR bit depth";
            Rgba16Image decoded;
            ASSERT_TRUE(decodePngBytesWithLibpng16(bytes, decoded));
            EXPECT_EQ(decoded.samples, alphaCounts ? picture.image.samples : picture.opaque().samples);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Pictures, WideLayoutTest, ::testing::ValuesIn(kWideCases),
                         [](const ::testing::TestParamInfo<WideCase>& info) {
                             std::string name;
                             for (const char* p = info.param.name; *p; ++p)
                                 name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
                             return name;
                         });
