// Every file of the PNG test suite: either it loads to the pixels libpng
// decodes, or the reader refuses it. Which of the two is expected follows from
// the file's own signature and header bytes.
//
// With extended input, interlaced files, grey+alpha at 8 bits and 16-bit files
// whose every sample has equal bytes (as libpng reads the samples) load too;
// every other 16-bit file is refused, and whatever the default reader loads
// loads the same way.
//
// Damage the reader does not look at is not a reason to refuse: chunk CRCs are
// never checked (such files are compared with libpng's decode of the same
// bytes with repaired CRCs), and a file without image data loads with every
// pixel the colour of entry 0.

#include <gtest/gtest.h>

#include <cstring>

#include "tests/readers/reader_test_support.h"

namespace {

struct HeaderFacts {
    bool signature = false;
    bool header = false;   // an IHDR chunk of at least 13 bytes
    uint8_t depth = 0;
    uint8_t colourType = 0;
    uint8_t methods[3] = {0, 0, 0};   // compression, filter, interlace
    bool imageData = false;           // an IDAT chunk exists
    Bytes firstPaletteEntry;          // PLTE bytes 0-2, when present
};

uint32_t be32(const Bytes& bytes, size_t at)
{
    return (uint32_t(bytes[at]) << 24) | (uint32_t(bytes[at + 1]) << 16) | (uint32_t(bytes[at + 2]) << 8) |
           bytes[at + 3];
}

HeaderFacts inspect(const Bytes& bytes)
{
    static const uint8_t kSignature[8] = {137, 80, 78, 71, 13, 10, 26, 10};
    HeaderFacts facts;
    facts.signature = bytes.size() >= 8 && std::memcmp(bytes.data(), kSignature, 8) == 0;
    size_t at = 8;
    while (facts.signature && at + 8 <= bytes.size()) {
        const uint32_t length = be32(bytes, at);
        const std::string type(bytes.begin() + long(at) + 4, bytes.begin() + long(at) + 8);
        const size_t data = at + 8;
        if (length > bytes.size() - data)
            break;
        if (type == "IHDR" && !facts.header && length >= 13) {
            facts.header = true;
            facts.depth = bytes[data + 8];
            facts.colourType = bytes[data + 9];
            std::memcpy(facts.methods, &bytes[data + 10], 3);
        } else if (type == "IDAT") {
            facts.imageData = true;
        } else if (type == "PLTE" && length >= 3) {
            facts.firstPaletteEntry.assign(bytes.begin() + long(data), bytes.begin() + long(data) + 3);
        }
        at = data + length + 4;
    }
    return facts;
}

bool readerAccepts(const HeaderFacts& facts)
{
    const bool depthOk = facts.depth == 1 || facts.depth == 2 || facts.depth == 4 || facts.depth == 8;
    const bool typeOk = facts.colourType == 0 || facts.colourType == 2 || facts.colourType == 3 ||
                        facts.colourType == 6;
    return facts.signature && facts.header && depthOk && typeOk && facts.methods[0] == 0 &&
           facts.methods[1] == 0 && facts.methods[2] == 0;
}

// The extended reader's rule; eightBitValues: libpng finds equal bytes in
// every 16-bit sample.
bool extendedReaderAccepts(HeaderFacts facts, bool eightBitValues)
{
    if (facts.methods[2] == 1)
        facts.methods[2] = 0;   // Adam7
    if (facts.colourType == 4 && facts.depth >= 8)
        facts.colourType = 6;   // grey+alpha is accepted as RGBA is
    if (facts.depth == 16 && facts.colourType != 3) {
        if (!eightBitValues)
            return false;
        facts.depth = 8;
    }
    return readerAccepts(facts);
}

std::vector<std::string> suiteFiles()
{
    return listFiles(corpusPath("pngsuite/png"), ".png");
}

class PngSuiteFile : public ::testing::TestWithParam<std::string> {};

// The file loads like libpng's decode when `accepts`, else it is refused.
void checkSuiteFile(const Bytes& bytes, const HeaderFacts& facts, const Loaded& ours, bool accepts)
{
    if (!accepts) {
        EXPECT_FALSE(ours.ok) << "unsupported or damaged header, yet loaded";
        EXPECT_EQ(ours.transparentColour, -2) << "the colour must stay untouched on failure";
        return;
    }
    ASSERT_TRUE(ours.ok);

    RgbaImage reference;
    if (decodePngBytesWithLibpng(repairPngCrcs(bytes), reference)) {
        EXPECT_TRUE(samePixels(ours, reference));
        return;
    }
    // libpng refuses the file whatever its CRCs: acceptable only for a file
    // without image data, which the reader shows as entry 0 throughout.
    ASSERT_FALSE(facts.imageData) << "libpng refuses a file with image data that the reader loads";
    uint32_t entryZero = 0x000000FF;
    if (facts.colourType == 3 && facts.firstPaletteEntry.size() == 3)
        entryZero = (uint32_t(facts.firstPaletteEntry[0]) << 24) | (uint32_t(facts.firstPaletteEntry[1]) << 16) |
                    (uint32_t(facts.firstPaletteEntry[2]) << 8) | 0xFF;
    if (facts.colourType == 6)
        entryZero = 0;
    for (uint32_t y = 0; y < ours.image.height; ++y)
        for (uint32_t x = 0; x < ours.image.width; ++x)
            ASSERT_EQ(rgbaAt(ours.image, x, y), entryZero) << x << "," << y;
}

}  // namespace

TEST(PngSuite, CorpusIsPresent)
{
    EXPECT_GE(suiteFiles().size(), 150u) << corpusPath("pngsuite/png");
}

TEST_P(PngSuiteFile, LoadsLikeLibpngOrIsRefused)
{
    const std::string path = corpusPath("pngsuite/png/" + GetParam());
    const Bytes bytes = readFileBytes(path);
    ASSERT_FALSE(bytes.empty());
    checkSuiteFile(bytes, inspect(bytes), loadPngPath(path), readerAccepts(inspect(bytes)));
}

TEST_P(PngSuiteFile, ExtendedInputLoadsLikeLibpngOrIsRefused)
{
    const std::string path = corpusPath("pngsuite/png/" + GetParam());
    const Bytes bytes = readFileBytes(path);
    ASSERT_FALSE(bytes.empty());
    const HeaderFacts facts = inspect(bytes);
    bool eightBitValues = false;
    if (facts.depth == 16)
        decodePngSamplesWithLibpng(repairPngCrcs(bytes), eightBitValues);
    const Loaded ours = loadPngPathExtended(path);
    checkSuiteFile(bytes, facts, ours, extendedReaderAccepts(facts, eightBitValues));

    // What the default reader loads, the extended one loads identically.
    const Loaded plain = loadPngPath(path);
    if (plain.ok) {
        EXPECT_EQ(ours.image.pixels, plain.image.pixels);
        EXPECT_EQ(ours.hasAlpha, plain.hasAlpha);
        EXPECT_EQ(ours.transparentColour, plain.transparentColour);
    }
}

TEST(PngSuite, ExtendedInputCoversEveryNewKind)
{
    // The corpus holds files of each kind the extended reader adds, and 16-bit
    // files it must refuse.
    int interlaced = 0, greyAlpha = 0, wideLoaded = 0, wideRefused = 0;
    for (const std::string& name : suiteFiles()) {
        const std::string path = corpusPath("pngsuite/png/" + name);
        const Bytes bytes = readFileBytes(path);
        const HeaderFacts facts = inspect(bytes);
        const bool ok = loadPngPathExtended(path).ok;
        interlaced += ok && facts.methods[2] == 1;
        greyAlpha += ok && facts.colourType == 4;
        wideLoaded += ok && facts.depth == 16;
        wideRefused += !ok && facts.depth == 16 && name[0] != 'x';
    }
    EXPECT_GE(interlaced, 20);
    EXPECT_GE(greyAlpha, 2);
    EXPECT_GE(wideRefused, 5);
    EXPECT_GE(wideLoaded, 3);
}

INSTANTIATE_TEST_SUITE_P(Corpus, PngSuiteFile, ::testing::ValuesIn(suiteFiles()),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                             std::string name = info.param.substr(0, info.param.find('.'));
                             for (char& c : name)
                                 if (!std::isalnum(static_cast<unsigned char>(c)))
                                     c = '_';
                             return name;
                         });
