// Chunks kept with a selection (-kc): what libpng reads of each kept chunk in
// the new file equals what it reads in the input (bKGD as its colour, hIST
// as the frequency of each colour), each chunk stays on its side of the
// image data, the report names what was kept and what was left out, and a
// chunk whose encoding the new file cannot express is left out, never
// copied wrong. A table of cases, then every PngSuite file with -kc all.

#include <gtest/gtest.h>

#include <zlib.h>

#include <algorithm>
#include <map>
#include <string>

#include "bench/chunk_facts.h"
#include "core/png_bytes.h"
#include "services/image_conversion.h"
#include "tests/common/image_file_builders.h"
#include "tests/common/memory_conversion.h"
#include "tests/common/test_support.h"

namespace {

// Each chunk's side of the image data (0 before, 1 after), by name.
std::map<std::string, int> sides(const std::vector<uint8_t>& file)
{
    std::map<std::string, int> side;
    int after = 0;
    for (size_t at = kPngSignatureBytes; at + 12 <= file.size();) {
        const std::string name(reinterpret_cast<const char*>(file.data() + at + 4), 4);
        if (name == "IDAT" || name == "fcTL")
            after = 1;
        else if (name != "fdAT")
            side.emplace(name, name == "IEND" ? 1 : after);
        at += 12 + readBE32(file.data() + at);
    }
    return side;
}

// The file with chunks put after IHDR, before the first IDAT or fcTL, and before IEND.
std::vector<uint8_t> withChunks(const std::vector<uint8_t>& png, const std::vector<uint8_t>& afterHeader,
                                const std::vector<uint8_t>& beforeData, const std::vector<uint8_t>& beforeEnd)
{
    std::vector<uint8_t> out(png.begin(), png.begin() + kPngSignatureBytes);
    bool dataMet = false;
    for (size_t at = kPngSignatureBytes; at + 12 <= png.size();) {
        const uint32_t length = readBE32(png.data() + at);
        const std::string name(reinterpret_cast<const char*>(png.data() + at + 4), 4);
        if ((name == "IDAT" || name == "fcTL") && !dataMet) {
            dataMet = true;
            out.insert(out.end(), beforeData.begin(), beforeData.end());
        }
        if (name == "IEND")
            out.insert(out.end(), beforeEnd.begin(), beforeEnd.end());
        out.insert(out.end(), png.begin() + at, png.begin() + at + 12 + length);
        if (name == "IHDR")
            out.insert(out.end(), afterHeader.begin(), afterHeader.end());
        at += 12 + length;
    }
    return out;
}

std::vector<uint8_t> chunk(const char* type, const std::string& data)
{
    std::vector<uint8_t> out;
    appendPngChunk(out, type, std::vector<uint8_t>(data.begin(), data.end()));
    return out;
}

std::vector<uint8_t> joined(std::initializer_list<std::vector<uint8_t>> parts)
{
    std::vector<uint8_t> out;
    for (const std::vector<uint8_t>& part : parts)
        out.insert(out.end(), part.begin(), part.end());
    return out;
}

RgbaImage picture(bool alpha, uint32_t colours)
{
    RgbaImage image;
    image.width = 24;
    image.height = 20;
    for (uint32_t i = 0; i < image.width * image.height; ++i)
        image.pixels.insert(image.pixels.end(), {uint8_t(i % colours * 40), uint8_t(i / 24 % 3 * 90), 200,
                                                 uint8_t(alpha && i % 7 == 0 ? 0 : 255)});
    return image;
}

// A palette PNG of four entries (the last fully transparent), indices (x + y) % 4.
std::vector<uint8_t> palettePng()
{
    std::vector<uint8_t> out(kPngSignature, kPngSignature + kPngSignatureBytes);
    std::vector<uint8_t> header;
    appendBE32(header, 16);
    appendBE32(header, 16);
    header.insert(header.end(), {8, 3, 0, 0, 0});
    appendPngChunk(out, "IHDR", header);
    appendPngChunk(out, "PLTE", {250, 0, 0, 0, 250, 0, 0, 0, 250, 9, 9, 9});
    appendPngChunk(out, "tRNS", {255, 255, 255, 0});
    std::vector<uint8_t> rows;
    for (int y = 0; y < 16; ++y) {
        rows.push_back(0);
        for (int x = 0; x < 16; ++x)
            rows.push_back(uint8_t((x + y) % 4));
    }
    std::vector<uint8_t> packed(compressBound(uLong(rows.size())));
    uLongf packedBytes = uLongf(packed.size());
    compress2(packed.data(), &packedBytes, rows.data(), uLong(rows.size()), 0);
    packed.resize(packedBytes);
    appendPngChunk(out, "IDAT", packed);
    appendPngChunk(out, "IEND", {});
    return out;
}

const std::vector<uint8_t> kTexts = joined({chunk("tEXt", std::string("Title\0Keep me", 13)),
                                            chunk("zTXt", std::string("Note\0\0", 6) + [] {
                                                std::string packed(64, '\0');
                                                uLongf size = 64;
                                                compress(reinterpret_cast<Bytef*>(&packed[0]), &size,
                                                         reinterpret_cast<const Bytef*>("zipped words"), 12);
                                                return packed.substr(0, size);
                                            }()),
                                            chunk("iTXt", std::string("Author\0\0\0ja\0\0Me", 15))});
const std::vector<uint8_t> kPhysAndExif = joined(
    {chunk("pHYs", std::string("\0\0\x0e\xc4\0\0\x0e\xc4\x01", 9)), chunk("eXIf", std::string("MM\0*\0\0\0\x08\0\0", 10))});
const std::vector<uint8_t> kColourAndBits =
    joined({chunk("gAMA", std::string("\0\0\xb1\x8f", 4)), chunk("sBIT", std::string("\x05\x06\x05\x01", 4))});
const std::vector<uint8_t> kTimeAndPrivate = joined({chunk("tIME", std::string("\x07\xe8\x01\x02\x03\x04\x05", 7)),
                                                     chunk("prVt", "safe to copy"), chunk("prVT", "unsafe to copy")});

enum class Input { Rgba, Palette, FewColoursRgb, Animated };

struct ChunkCase {
    const char* name;
    Input input;
    const char* keep;
    uint16_t options;
    std::vector<std::string> kept;      // the report's names, in file order
    std::vector<std::string> dropped;
};

std::vector<uint8_t> inputOf(Input input)
{
    switch (input) {
    case Input::Rgba:
        return withChunks(encodePng(picture(true, 6), true, 0), kColourAndBits,
                          joined({kTexts, kPhysAndExif, chunk("bKGD", std::string("\0\x28\0\x5a\0\xc8", 6))}),
                          kTimeAndPrivate);
    case Input::Palette:
        return withChunks(palettePng(), {},
                          joined({chunk("bKGD", std::string("\x02", 1)),
                                  chunk("hIST", std::string("\0\x0a\0\x14\0\x1e\0\x28", 8)), kTexts}),
                          {});
    case Input::FewColoursRgb:   // a background the picture's palette lacks
        return withChunks(encodePng(picture(false, 3), false, 0), {},
                          chunk("bKGD", std::string("\0\x01\0\x02\0\x03", 6)), kTexts);
    case Input::Animated:
        return withChunks(encodeAnimatedPng(picture(false, 3), 3), {}, chunk("pHYs", std::string(9, '\x01')),
                          kTexts);
    }
    return {};
}

const ChunkCase kChunkCases[] = {
    {"AllOfAnRgbaImage", Input::Rgba, "all", 0,
     {"gAMA", "sBIT", "bKGD", "tEXt", "zTXt", "iTXt", "pHYs", "eXIf", "tIME", "prVt"}, {"prVT"}},
    {"TextOnly", Input::Rgba, "text", 0, {"tEXt", "zTXt", "iTXt"}, {}},
    {"GroupsWithTheExtendedColourChunks", Input::Rgba, "phys,exif,time", OPT_EXTENDED_SEARCH,
     {"gAMA", "pHYs", "eXIf", "tIME"}, {}},
    {"NamedUnsafeChunk", Input::Rgba, "prVT,safe", 0,
     {"gAMA", "tEXt", "zTXt", "iTXt", "pHYs", "eXIf", "tIME", "prVt", "prVT"}, {}},
    {"PaletteReorderedWithBackgroundAndHistogram", Input::Palette, "all", 0,
     {"bKGD", "hIST", "tEXt", "zTXt", "iTXt"}, {}},
    // -x1 finds RGBA smallest for this picture: no palette for the histogram.
    {"HistogramLeftOutWithoutAPalette", Input::Palette, "all", OPT_EXTENDED_SEARCH, {"bKGD", "tEXt", "zTXt", "iTXt"},
     {"hIST"}},
    {"BackgroundNoPaletteEntryHolds", Input::FewColoursRgb, "all", 0, {"tEXt", "zTXt", "iTXt"}, {"bKGD"}},
    {"TextAfterTheFramesOfAnAnimation", Input::Animated, "text,phys", 0, {"pHYs", "tEXt", "zTXt", "iTXt"}, {}},
};

class KeptChunks : public testing::TestWithParam<ChunkCase> {};

TEST_P(KeptChunks, ReadBackEqualInTheirPlace)
{
    const ChunkCase& c = GetParam();
    const std::vector<uint8_t> input = inputOf(c.input);
    ImageConversion conversion;
    ASSERT_TRUE(conversion.loadMemory(input.data(), uint32_t(input.size()), c.options));
    ConversionSettings settings;
    settings.options = c.options;
    settings.extendedLevel = EXTENDED_LEVEL_FAST;
    std::string bad;
    ASSERT_TRUE(parseChunkSelection(c.keep, settings.keepChunks, bad)) << bad;
    const MemoryConversion converted = convertToMemory(conversion, settings);
    const ConversionReport& report = converted.report;
    ASSERT_EQ(report.status, ConversionStatus::Converted);
    EXPECT_EQ(report.keptChunks, c.kept);
    EXPECT_EQ(report.droppedChunks, c.dropped);

    const std::vector<uint8_t>& written = converted.png;
    RgbaImage before, after;
    ASSERT_TRUE(decodePngBytesWithLibpng(input, before));
    ASSERT_TRUE(decodePngBytesWithLibpng(written, after));
    EXPECT_EQ(after.pixels, before.pixels);
    ChunkFacts in, out;
    ASSERT_TRUE(readChunkFacts(input, in));
    ASSERT_TRUE(readChunkFacts(written, out));
    const std::map<std::string, int> inSide = sides(input), outSide = sides(written);
    for (const std::string& name : c.kept) {
        EXPECT_EQ(out[chunkFactKey(name)], in[chunkFactKey(name)]) << name;
        if (name != "bKGD" && name != "hIST" && name != "sBIT") {
            EXPECT_EQ(outSide.at(name), inSide.at(name)) << name;
        }
    }
    for (const auto& [fact, value] : out)
        EXPECT_TRUE(std::any_of(c.kept.begin(), c.kept.end(), [&](const std::string& n) { return chunkFactKey(n) == fact; }))
            << fact << " written but not kept";
    if (c.input == Input::Animated) {
        EXPECT_EQ(outSide.count("acTL"), 1u);
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, KeptChunks, testing::ValuesIn(kChunkCases),
                         [](const testing::TestParamInfo<ChunkCase>& info) { return std::string(info.param.name); });

// Every PngSuite file the default mode reads, with -kc all: each chunk the
// report names as kept reads back equal; every other one it names left out.
class KeptSuiteChunks : public testing::TestWithParam<std::string> {};

TEST_P(KeptSuiteChunks, KeptOnesReadBackEqual)
{
    const std::vector<uint8_t> input = readFileBytes(corpusPath("pngsuite/png/" + GetParam()));
    ImageConversion conversion;
    if (!conversion.loadMemory(input.data(), uint32_t(input.size()), 0))
        GTEST_SKIP() << "not read by the default mode";
    ConversionSettings settings;
    std::string bad;
    ASSERT_TRUE(parseChunkSelection("all", settings.keepChunks, bad));
    const MemoryConversion converted = convertToMemory(conversion, settings);
    const ConversionReport& report = converted.report;
    ASSERT_FALSE(report.failed());
    ChunkFacts in, out;
    if (!readChunkFacts(input, in))
        GTEST_SKIP() << "libpng refuses it";
    ASSERT_TRUE(readChunkFacts(converted.png, out));
    for (const std::string& name : report.keptChunks)
        EXPECT_EQ(out[chunkFactKey(name)], in[chunkFactKey(name)]) << name;
    for (const auto& [fact, value] : in) {
        const auto named = [&](const std::vector<std::string>& names) {
            return std::any_of(names.begin(), names.end(), [&](const std::string& n) { return chunkFactKey(n) == fact; });
        };
        EXPECT_TRUE(named(report.keptChunks) || named(report.droppedChunks)) << fact << " neither kept nor reported";
    }
}

INSTANTIATE_TEST_SUITE_P(PngSuite, KeptSuiteChunks, testing::ValuesIn(listFiles(corpusPath("pngsuite/png"), ".png")),
                         [](const testing::TestParamInfo<std::string>& info) {
                             std::string name = info.param.substr(0, info.param.size() - 4);
                             std::replace_if(name.begin(), name.end(), [](char ch) { return !std::isalnum(ch); }, '_');
                             return name;
                         });

}  // namespace
