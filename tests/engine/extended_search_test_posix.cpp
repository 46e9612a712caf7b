// The extended search end to end: every layout it can choose, decoded by
// libpng to exactly the picture, the written size equal to the predicted one,
// never larger than the default search's file; the default search's events
// and results unchanged before its stages; kept chunks; cancellation; the
// same file for every thread count.

#include <gtest/gtest.h>

#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <tuple>

#include "core/shared_flag.h"
#include "core/dib_image.h"
#include "core/image_loader.h"
#include "engine/extended/extended_layouts.h"
#include "engine/extended/extended_search.h"
#include "engine/extended/palette_orders.h"
#include "engine/png_file.h"
#include "engine/png_optimizer.h"
#include "services/conversion.h"
#include "services/extended_report.h"
#include "tests/engine/engine_test_support.h"
#include "tests/engine/thread_setting.h"

namespace {

uint32_t grey(uint32_t v)
{
    return v << 16 | v << 8 | v;
}

// A small hash for picture contents that is not a pattern zlib likes.
uint32_t scramble(uint32_t x)
{
    x ^= x >> 16;
    x *= 0x7FEB352Du;
    x ^= x >> 15;
    return x;
}

// A whole chunk as the readers would keep it.
std::vector<uint8_t> chunk(const char* type, const std::vector<uint8_t>& data)
{
    std::vector<uint8_t> out;
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<uint8_t>(data.size() >> shift));
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    uLong crc = crc32(0, reinterpret_cast<const Bytef*>(type), 4);
    if (!data.empty())   // zlib takes a null buffer as a request for the initial value
        crc = crc32(crc, data.data(), static_cast<uInt>(data.size()));
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<uint8_t>(crc >> shift));
    return out;
}

struct LayoutCase {
    const char* name;
    int32_t width, height;
    int32_t transparent;   // transparentColour of the request
    bool hasAlpha;
    int32_t expectedLayout;   // -1: any, the default search's file included
    int32_t expectedDepth;    // 0: any
    std::function<void(TestPicture&)> paint;
};

const LayoutCase kLayoutCases[] = {
    {"palette with alpha", 64, 48, -1, true, LAYOUT_PALETTE, 2,
     [](TestPicture& p) {
         const uint32_t colours[4] = {0xFF0000, 0x00FF00, 0x0000FF, 0x123456};
         const uint8_t alphas[4] = {255, 128, 0, 200};
         for (int y = 0; y < p.height; ++y)
             for (int x = 0; x < p.width; ++x) {
                 const int k = (x / 4 + y / 3) % 4;
                 p.set(x, y, colours[k], alphas[k]);
             }
     }},
    {"grey of black and white", 40, 40, -1, false, LAYOUT_GREY, 0,
     [](TestPicture& p) {
         for (int y = 0; y < p.height; ++y)
             for (int x = 0; x < p.width; ++x)
                 p.set(x, y, (scramble(x * 131 + y) & 1) ? 0xFFFFFF : 0);
     }},
    {"grey 8-bit", 64, 64, -1, false, LAYOUT_GREY, 8,
     [](TestPicture& p) {
         for (int y = 0; y < p.height; ++y)
             for (int x = 0; x < p.width; ++x)
                 p.set(x, y, grey((x * 4 + y) & 0xFF));
     }},
    {"grey with a key", 64, 64, -1, true, LAYOUT_GREY_KEY, 8,
     [](TestPicture& p) {
         for (int y = 0; y < p.height; ++y)
             for (int x = 0; x < p.width; ++x) {
                 const uint32_t v = (x * 4 + y) % 255;   // 0 to 254: 255 is the key
                 if ((x + y) % 7 == 0)
                     p.set(x, y, grey(255), 0);
                 else
                     p.set(x, y, grey(v));
             }
     }},
    {"grey with alpha", 64, 64, -1, true, LAYOUT_GREY_ALPHA, 8,
     [](TestPicture& p) {
         for (int y = 0; y < p.height; ++y)
             for (int x = 0; x < p.width; ++x)
                 p.set(x, y, grey(x * 4), static_cast<uint8_t>(y * 4));
     }},
    {"RGB from an opaque 32-bit picture", 48, 48, -1, true, LAYOUT_RGB, 8,
     [](TestPicture& p) {
         for (int y = 0; y < p.height; ++y)
             for (int x = 0; x < p.width; ++x)
                 p.set(x, y, (x * 5) << 16 | (y * 5) << 8 | ((x * y) & 0xFF));
     }},
    {"RGB with a key", 48, 48, -1, true, LAYOUT_RGB_KEY, 8,
     [](TestPicture& p) {
         for (int y = 0; y < p.height; ++y)
             for (int x = 0; x < p.width; ++x) {
                 if ((x / 8 + y / 8) % 3 == 0)
                     p.set(x, y, 0x00FF01, 0);
                 else
                     p.set(x, y, (x * 5) << 16 | (y * 5) << 8 | ((x * y) & 0xFE));
             }
     }},
    {"RGBA keeping colours under transparent pixels", 48, 48, -1, true, LAYOUT_RGBA, 8,
     [](TestPicture& p) {
         for (int y = 0; y < p.height; ++y)
             for (int x = 0; x < p.width; ++x) {
                 const uint32_t rgb = scramble(x + y * 48) & 0xFFFFFF;
                 p.set(x, y, rgb, (x + y) % 3 == 0 ? 0 : static_cast<uint8_t>(x * 5));
             }
     }},
    {"transparent colour of a 24-bit picture", 40, 40, 0x102030, false, -1, 0,
     [](TestPicture& p) {
         for (int y = 0; y < p.height; ++y)
             for (int x = 0; x < p.width; ++x)
                 p.set(x, y, (x + y) % 5 == 0 ? 0x102030 : ((x * 6) << 16 | (y * 6) << 8 | 7),
                       17);   // alpha bytes of a 24-bit picture mean nothing
     }},
};

class ExtendedLayoutTest : public ::testing::TestWithParam<std::tuple<LayoutCase, int32_t>> {};

// At every level.
TEST_P(ExtendedLayoutTest, DecodesToThePictureAndBeatsOrMatchesTheDefault)
{
    const LayoutCase& c = std::get<0>(GetParam());
    const int32_t level = std::get<1>(GetParam());
    TestPicture picture(c.width, c.height);
    c.paint(picture);
    TempDir dir;
    WrittenFile plain;
    WrittenFile extended;
    convertTo(dir.file("plain.png"), picture, c.transparent, c.hasAlpha, 0, plain);
    convertTo(dir.file("extended.png"), picture, c.transparent, c.hasAlpha, OPT_EXTENDED_SEARCH,
              extended, 0xFFFFFFFFu, level);
    ASSERT_EQ(plain.result, 1);
    ASSERT_EQ(extended.result, 1);
    EXPECT_EQ(extended.bytes.size(), extended.request.fileSize);
    EXPECT_LE(extended.bytes.size(), plain.bytes.size());
    if (c.expectedLayout >= 0) {
        EXPECT_EQ(extended.request.extendedLayout, c.expectedLayout);
        if (c.expectedDepth > 0) {
            EXPECT_EQ(extended.request.extendedDepth, c.expectedDepth);
        }
        EXPECT_LT(extended.bytes.size(), plain.bytes.size());
    }
    for (const PngChunk& chunk : extended.chunks)
        EXPECT_TRUE(chunk.crcMatches) << chunk.type;
    const PngChunk* idat = findChunk(extended.chunks, "IDAT");
    ASSERT_NE(idat, nullptr);
    EXPECT_EQ(idat->data.size(), static_cast<size_t>(extended.request.dataSize));
    RgbaImage decoded;
    ASSERT_TRUE(decodePngBytesWithLibpng(extended.bytes, decoded));
    EXPECT_TRUE(sameRgba(picture.expectedDecoded(c.transparent, c.hasAlpha), decoded));
}

INSTANTIATE_TEST_SUITE_P(Layouts, ExtendedLayoutTest,
                         ::testing::Combine(::testing::ValuesIn(kLayoutCases),
                                            ::testing::Range(kMinExtendedLevel, kMaxExtendedLevel + 1)),
                         [](const ::testing::TestParamInfo<std::tuple<LayoutCase, int32_t>>& info) {
                             std::string name;
                             for (const char* p = std::get<0>(info.param).name; *p; ++p)
                                 name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
                             return name + "_level" + std::to_string(std::get<1>(info.param));
                         });

// A layout of the picture written plainly (rows unfiltered, zlib) around its
// own header and chunks, decoded by libpng.
void decodeLayout(const ExactPicture& exact, const ColourFacts& facts, const Layout& layout, RgbaImage& decoded)
{
    std::vector<uint8_t> rows;
    uint32_t stride = 0;
    ASSERT_TRUE(packLayout(exact, facts, layout, rows, stride));
    std::vector<uint8_t> header(13, 0);
    for (int shift = 0; shift < 32; shift += 8) {
        header[3 - shift / 8] = static_cast<uint8_t>(exact.width >> shift);
        header[7 - shift / 8] = static_cast<uint8_t>(exact.height >> shift);
    }
    layoutHeader(layout.kind, layout.depth, header[8], header[9]);
    std::vector<uint8_t> plte, trns;
    layoutChunks(layout, facts, plte, trns);
    uLongf packedSize = compressBound(rows.size());
    std::vector<uint8_t> idat(packedSize);
    ASSERT_EQ(compress(idat.data(), &packedSize, rows.data(), rows.size()), Z_OK);
    idat.resize(packedSize);
    std::vector<uint8_t> file = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    for (const auto& part : {chunk("IHDR", header), plte.empty() ? std::vector<uint8_t>() : chunk("PLTE", plte),
                             trns.empty() ? std::vector<uint8_t>() : chunk("tRNS", trns), chunk("IDAT", idat),
                             chunk("IEND", {})})
        file.insert(file.end(), part.begin(), part.end());
    ASSERT_TRUE(decodePngBytesWithLibpng(file, decoded));
}

// Every layout exactLayouts offers for a picture, written plainly, decodes to the picture.
TEST(ExtendedSearchTest, EveryOfferedLayoutRoundTrips)
{
    size_t offered[kExtendedLayoutCount] = {};
    size_t orders[kPaletteOrderCount] = {};
    for (const LayoutCase& c : kLayoutCases) {
        TestPicture picture(c.width, c.height);
        c.paint(picture);
        ExactPicture exact;
        ColourFacts facts;
        std::vector<Layout> layouts;
        ASSERT_TRUE(exactPicture(picture.request(c.transparent, c.hasAlpha), exact));
        ASSERT_TRUE(analyseColours(exact, facts));
        ASSERT_TRUE(exactLayouts(exact, facts, layouts));
        for (const Layout& layout : layouts) {
            ++offered[layout.kind];
            ++orders[layout.order];
            RgbaImage decoded;
            decodeLayout(exact, facts, layout, decoded);
            EXPECT_TRUE(sameRgba(picture.expectedDecoded(c.transparent, c.hasAlpha), decoded))
                << c.name << " layout " << layout.kind << " depth " << layout.depth << " order "
                << layout.order;
        }
    }
    for (int kind = LAYOUT_PALETTE; kind < kExtendedLayoutCount; ++kind)
        EXPECT_GT(offered[kind], 0u) << kind;
    for (int order = ORDER_INPUT; order < kPaletteOrderCount; ++order)
        EXPECT_GT(orders[order], 0u) << order;
}

// Over PngSuite's pictures of 256 colours or fewer: the palette in every
// order decodes to the picture, colours under alpha 0 included, and the
// refinement never leaves the filters' differences less predictable than the
// chain it starts from.
TEST(ExtendedSearchTest, PaletteOrdersOfPngSuiteRoundTrip)
{
    size_t palettes = 0;
    for (const std::string& name : listFiles(corpusPath("pngsuite/png"), ".png")) {
        SCOPED_TRACE(name);
        DibImage image;
        int32_t transparentColour = -1;
        if (!loadImageFile(image, (corpusPath("pngsuite/png") + "/" + name).c_str(), transparentColour))
            continue;   // the damaged files
        ConvertRequest request;
        fillConvertRequest(request, image, transparentColour, 0, nullptr);
        ExactPicture exact;
        ColourFacts facts;
        std::vector<Layout> layouts;
        ASSERT_TRUE(exactPicture(request, exact));
        ASSERT_TRUE(analyseColours(exact, facts));
        if (facts.colours.empty())
            continue;
        ++palettes;
        ASSERT_TRUE(exactLayouts(exact, facts, layouts));
        for (const Layout& layout : layouts) {
            if (layout.kind != LAYOUT_PALETTE)
                continue;
            RgbaImage decoded;
            decodeLayout(exact, facts, layout, decoded);
            ASSERT_EQ(decoded.pixels.size(), exact.rgba.size() * 4);
            bool same = true;
            for (size_t i = 0; i < exact.rgba.size() && same; ++i)
                for (int k = 0; k < 4; ++k)
                    same = same && decoded.pixels[4 * i + k] == uint8_t(exact.rgba[i] >> (24 - 8 * k));
            EXPECT_TRUE(same) << "order " << layout.order << " depth " << layout.depth;
        }
        ColourPairs pairs;
        ASSERT_TRUE(colourPairs(facts.indices, exact.width, exact.height, uint32_t(facts.colours.size()), pairs));
        const auto indicesOf = [&](int32_t order) {
            std::vector<uint32_t> indices;
            for (uint32_t entry : paletteOrder(facts, exact, order))
                indices.push_back(uint32_t(std::find(facts.colours.begin(), facts.colours.end(), entry) -
                                           facts.colours.begin()));
            return indices;
        };
        EXPECT_GE(residualScore(pairs, indicesOf(ORDER_REFINED)),
                  residualScore(pairs, indicesOf(ORDER_CONNECTED_CHAIN)));
    }
    EXPECT_GT(palettes, 50u);
}

TEST(ExtendedSearchTest, TheDefaultSearchRunsFirstUnchanged)
{
    TestPicture picture = cyclingPicture(60, 30, 40);
    TempDir dir;
    WrittenFile plain;
    WrittenFile extended;
    convertTo(dir.file("plain.png"), picture, -1, false, 0, plain);
    convertTo(dir.file("extended.png"), picture, -1, false, OPT_EXTENDED_SEARCH, extended);
    ASSERT_EQ(plain.result, 1);
    ASSERT_EQ(extended.result, 1);
    const std::vector<ProgressEvent>& before = plain.log.events;
    const std::vector<ProgressEvent>& after = extended.log.events;
    ASSERT_GT(after.size(), before.size());
    EXPECT_TRUE(std::equal(before.begin(), before.end(), after.begin()));
    for (size_t i = before.size(); i < after.size(); ++i)
        EXPECT_EQ(after[i], (ProgressEvent{-1, -1, -1, -1, -1})) << i;
    EXPECT_EQ(extended.request.bitDepth, plain.request.bitDepth);
    EXPECT_EQ(extended.request.filter, plain.request.filter);
    EXPECT_EQ(extended.request.windowBits, plain.request.windowBits);
    EXPECT_EQ(extended.request.memLevel, plain.request.memLevel);
    // Without the bit the extended fields stay as they were.
    EXPECT_EQ(plain.request.extendedLayout, 0);
    EXPECT_EQ(plain.request.encoder, 0);
}

// Every stage at every level, zopfli in parts included, gives the same file
// for 1, 2 and 3 threads.
TEST(ExtendedSearchTest, SameFileForEveryThreadCount)
{
    struct Case {
        const char* name;
        int32_t width, height;
        bool gradient;        // a noisy gradient, else noise with alpha
        int32_t iterations;   // extendedIterations: 0 chooses by the data
        bool parts;           // zopfli, when it wins, runs in more than one part
        int32_t level;
    };
    // 448 x 400 RGB: 538,000 bytes of rows, more than one of zopfli's parts.
    const Case cases[] = {{"noise", 96, 64, false, 0, false, EXTENDED_LEVEL_FAST},
                          {"noise", 96, 64, false, 0, false, EXTENDED_LEVEL_BALANCED},
                          {"noise", 96, 64, false, 0, false, EXTENDED_LEVEL_MAX},
                          {"gradient", 448, 400, true, 1, true, EXTENDED_LEVEL_BALANCED}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.level);
        TestPicture picture(c.width, c.height);
        if (c.gradient) {   // with a little noise, so that the better encoders matter
            for (int32_t y = 0; y < c.height; ++y)
                for (int32_t x = 0; x < c.width; ++x)
                    picture.set(x, y, grey(uint32_t(x + y) / 4 & 0xFF) ^ (scramble(uint32_t(x * 7 + y * 131)) & 0x030103));
        } else {
            picture.fillNoise(7, true);
        }
        TempDir dir;
        std::vector<uint8_t> files[3];
        for (int threads = 1; threads <= 3; ++threads) {
            ThreadSetting setting(static_cast<unsigned>(threads));
            ConvertRequest request = picture.request(-1, !c.gradient);
            request.options = OPT_EXTENDED_SEARCH;
            request.extendedLevel = c.level;
            request.extendedIterations = c.iterations;
            PngOptimizer optimizer;
            ASSERT_EQ(optimizer.convert(dir.file("out.png").c_str(), request), 1) << c.name;
            files[threads - 1] = readFileBytes(dir.file("out.png"));
            if (request.encoder == ENCODER_ZOPFLI) {
                EXPECT_EQ(request.encoderParts > 1, c.parts) << c.name;
            } else {
                EXPECT_EQ(request.encoderParts, 0) << c.name;
            }
        }
        EXPECT_EQ(files[0], files[1]) << c.name;
        EXPECT_EQ(files[0], files[2]) << c.name;
    }
}

TEST(ExtendedSearchTest, KeptChunksFollowTheHeaderAndCountInTheSize)
{
    std::vector<uint8_t> kept = chunk("sRGB", {0});
    const std::vector<uint8_t> gama = chunk("gAMA", {0, 0, 0xB1, 0x8F});
    kept.insert(kept.end(), gama.begin(), gama.end());
    // One picture the default search keeps (noise) and one the extended search wins.
    for (bool noise : {true, false}) {
        TestPicture picture(32, 32);
        if (noise)
            picture.fillNoise(3);
        else
            picture.fillCycling({0x000000, 0xFFFFFF});
        ConvertRequest request = picture.request(-1, false);
        request.options = OPT_EXTENDED_SEARCH;
        request.keptChunks = kept.data();
        request.keptChunksSize = static_cast<uint32_t>(kept.size());
        TempDir dir;
        PngOptimizer optimizer;
        ASSERT_EQ(optimizer.convert(dir.file("out.png").c_str(), request), 1);
        const std::vector<uint8_t> bytes = readFileBytes(dir.file("out.png"));
        EXPECT_EQ(bytes.size(), request.fileSize);
        std::vector<PngChunk> chunks;
        ASSERT_TRUE(parsePngChunks(bytes, chunks));
        const std::vector<std::string> types = chunkTypes(chunks);
        ASSERT_GE(types.size(), 4u);
        EXPECT_EQ(types[1], "sRGB");
        EXPECT_EQ(types[2], "gAMA");
        EXPECT_EQ(request.extendedLayout == LAYOUT_DEFAULT, noise);
        RgbaImage decoded;
        ASSERT_TRUE(decodePngBytesWithLibpng(bytes, decoded));
        EXPECT_TRUE(sameRgba(picture.expectedDecoded(-1, false), decoded));
    }
}

TEST(ExtendedSearchTest, MalformedKeptChunksFailTheConversion)
{
    const std::vector<uint8_t> good = chunk("gAMA", {0, 0, 0xB1, 0x8F});
    std::vector<std::vector<uint8_t>> bad;
    bad.push_back(std::vector<uint8_t>(good.begin(), good.end() - 1));   // cut short
    bad.push_back(good);
    bad.back()[10] ^= 1;                                                  // CRC wrong
    bad.push_back(chunk("IDAT", {1, 2}));                                 // critical
    bad.push_back(chunk("tRNS", {0}));                                    // the layout's own
    bad.push_back(chunk("g4MA", {0}));                                    // not a letter
    bad.push_back(good);
    bad.back()[3] = 200;                                                  // length past the end
    for (size_t i = 0; i < bad.size(); ++i) {
        TestPicture picture(8, 8);
        ConvertRequest request = picture.request(-1, false);
        request.options = OPT_EXTENDED_SEARCH;
        request.keptChunks = bad[i].data();
        request.keptChunksSize = static_cast<uint32_t>(bad[i].size());
        EXPECT_FALSE(keptChunksValid(request.keptChunks, request.keptChunksSize)) << i;
        PngOptimizer optimizer;
        TempDir dir;
        EXPECT_EQ(optimizer.convert(dir.file("out.png").c_str(), request), 0) << i;
        EXPECT_TRUE(readFileBytes(dir.file("out.png")).empty()) << i;
    }
    TestPicture picture(8, 8);
    ConvertRequest request = picture.request(-1, false);
    request.keptChunks = good.data();
    request.keptChunksSize = static_cast<uint32_t>(good.size());
    EXPECT_TRUE(keptChunksValid(request.keptChunks, request.keptChunksSize));
    // Without the bit the chunks are neither read nor written.
    PngOptimizer optimizer;
    ConvertRequest plain = picture.request(-1, false);
    ASSERT_EQ(optimizer.convert(nullptr, plain), 1);
    ASSERT_EQ(optimizer.convert(nullptr, request), 1);
    EXPECT_EQ(request.fileSize, plain.fileSize);
}

// A cancel at any extended step, the last one included, ends the conversion
// at that very step with nothing written, whatever the thread count.
TEST(ExtendedSearchTest, CancelDuringTheExtendedStagesWritesNothing)
{
    TestPicture picture(64, 64);
    picture.fillGradient();
    struct Counter {
        volatile int16_t* flag;
        int cancelAt;   // 0: never
        int seen = 0;
    };
    const auto convertCancelling = [&](int cancelAt, const std::string& path, int& seen) {
        ConvertRequest request = picture.request(-1, false);
        request.options = OPT_EXTENDED_SEARCH;
        volatile int16_t cancel = 0;
        Counter counter{&cancel, cancelAt};
        request.cancelFlag = &cancel;
        request.userData = &counter;
        request.callback = [](int32_t depth, int32_t w, int32_t m, int32_t f, int32_t size, void* data) {
            auto* c = static_cast<Counter*>(data);
            if (depth == -1 && w == -1 && m == -1 && f == -1 && size == -1 && ++c->seen == c->cancelAt)
                storeSharedFlag(c->flag, 1);
        };
        PngOptimizer optimizer;
        const int result = optimizer.convert(path.c_str(), request);
        seen = counter.seen;
        return result;
    };
    TempDir dir;
    int steps = 0;
    ASSERT_EQ(convertCancelling(0, dir.file("whole.png"), steps), 1);
    ASSERT_GT(steps, 4);
    std::remove(dir.file("whole.png").c_str());
    for (unsigned threads : {1u, 2u, 3u}) {
        ThreadSetting setting(threads);
        for (int cancelAt : {1, 2, 3, steps / 2, steps - 1, steps}) {
            int seen = 0;
            EXPECT_EQ(convertCancelling(cancelAt, dir.file("out.png"), seen), 0) << threads << " " << cancelAt;
            EXPECT_EQ(seen, cancelAt) << threads << " threads";
            EXPECT_EQ(countEntries(dir.path()), 0u) << threads << " " << cancelAt;
        }
    }
}

TEST(ExtendedSearchTest, ReportLineNamesTheWinner)
{
    ConvertRequest request;
    char line[200];
    EXPECT_EQ(formatExtendedReport(request, line, sizeof line), 0);
    request.options = OPT_EXTENDED_SEARCH;
    request.extendedLayout = LAYOUT_PALETTE;
    request.extendedDepth = 4;
    request.paletteOrder = ORDER_NEIGHBOUR;
    request.filterStrategy = FILTER_COMPRESSED;
    request.encoder = ENCODER_ZOPFLI;
    request.encoderIterations = 12;
    request.encoderParts = 3;
    const int length = formatExtendedReport(request, line, sizeof line);
    ASSERT_GT(length, 0);
    EXPECT_EQ(static_cast<size_t>(length), std::strlen(line));
    for (const char* part : {extendedLayoutName(LAYOUT_PALETTE), paletteOrderName(ORDER_NEIGHBOUR),
                             filterStrategyName(FILTER_COMPRESSED), deflateEncoderName(ENCODER_ZOPFLI),
                             " 4", " 12回", " 3分割"})
        EXPECT_NE(std::strstr(line, part), nullptr) << part;
    // A short buffer gets a terminated prefix and the whole length.
    char shortLine[8];
    EXPECT_EQ(formatExtendedReport(request, shortLine, sizeof shortLine), length);
    EXPECT_EQ(std::strlen(shortLine), sizeof shortLine - 1);
}

TEST(ExtendedSearchTest, ZopfliIterationsFallAsDataGrows)
{
    int32_t previous = automaticZopfliIterations(0);
    EXPECT_EQ(previous, 15);
    for (uint64_t bytes = 1024; bytes <= (64u << 20); bytes *= 2) {
        const int32_t iterations = automaticZopfliIterations(bytes);
        EXPECT_LE(iterations, previous) << bytes;
        EXPECT_GE(iterations, 5) << bytes;
        previous = iterations;
    }
    EXPECT_EQ(previous, 5);
}

}   // namespace
