// Our BMP decoder and the loader against independent decoders: ImageMagick
// for BMP files (the corpus and every variant the test encoder writes) and
// libpng for a PNG that goes through the loader under another name.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "core/bmp_reader.h"
#include "core/dib_image.h"
#include "core/image_loader.h"
#include "tests/common/test_support.h"
#include "tests/image/bmp_test_encoder.h"

namespace {

// The distribution's ImageMagick, by full path: the first convert on PATH may
// be something else.
const char* const kConvert = "/usr/bin/convert";

std::string shellQuoted(const std::string& text)
{
    std::string out = "'";
    for (char c : text) {
        if (c == '\'')
            out += "'\\''";
        else
            out += c;
    }
    return out + "'";
}

// Reads one PAM image at position of data into out (8-bit RGBA); moves
// position past it.
bool parsePam(const std::vector<uint8_t>& data, size_t& position, RgbaImage& out, std::string& problem)
{
    const std::string text(data.begin() + std::ptrdiff_t(position), data.end());
    const size_t headerEnd = text.find("ENDHDR\n");
    if (text.compare(0, 3, "P7\n") != 0 || headerEnd == std::string::npos) {
        problem = "no PAM header";
        return false;
    }
    std::istringstream header(text.substr(3, headerEnd - 3));
    std::string key;
    uint32_t width = 0, height = 0, depth = 0, maxValue = 0;
    std::string tupleType;
    while (header >> key) {
        if (key == "WIDTH")
            header >> width;
        else if (key == "HEIGHT")
            header >> height;
        else if (key == "DEPTH")
            header >> depth;
        else if (key == "MAXVAL")
            header >> maxValue;
        else if (key == "TUPLTYPE")
            header >> tupleType;
    }
    const size_t start = position + headerEnd + 7;
    const size_t count = size_t(width) * height;
    if (maxValue != 255 || depth < 1 || depth > 4 || data.size() - start < count * depth) {
        problem = "unexpected PAM layout " + tupleType;
        return false;
    }
    out.width = width;
    out.height = height;
    out.pixels.resize(count * 4);
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* s = &data[start + i * depth];
        uint8_t* d = &out.pixels[i * 4];
        const bool grey = depth <= 2;
        d[0] = s[0];
        d[1] = grey ? s[0] : s[1];
        d[2] = grey ? s[0] : s[2];
        d[3] = depth == 2 ? s[1] : depth == 4 ? s[3] : 255;
    }
    position = start + count * depth;
    return true;
}

// Decodes the files with one ImageMagick run into 8-bit RGBA, in order.
bool decodeWithImageMagick(const std::vector<std::string>& paths, std::vector<RgbaImage>& out, std::string& problem)
{
    std::string command = kConvert;
    for (const std::string& path : paths)
        command += " " + shellQuoted(path);
    command += " -depth 8 pam:- 2>/dev/null";
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        problem = "cannot start " + command;
        return false;
    }
    std::vector<uint8_t> data;
    uint8_t buffer[65536];
    size_t got = 0;
    while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0)
        data.insert(data.end(), buffer, buffer + got);
    if (pclose(pipe) != 0) {
        problem = "ImageMagick refused a file";
        return false;
    }
    out.assign(paths.size(), RgbaImage());
    size_t position = 0;
    for (RgbaImage& image : out)
        if (!parsePam(data, position, image, problem))
            return false;
    if (position != data.size()) {
        problem = "more images than files";
        return false;
    }
    return true;
}

bool decodeWithImageMagick(const std::string& path, RgbaImage& out, std::string& problem)
{
    std::vector<RgbaImage> images;
    if (!decodeWithImageMagick(std::vector<std::string>{path}, images, problem))
        return false;
    out = images[0];
    return true;
}

int fieldBits(uint32_t mask)
{
    int n = 0;
    for (; mask != 0; mask &= mask - 1)
        ++n;
    return n;
}

// Bits per channel (red, green, blue) of the format's pixels.
void channelBits(const BmpFormat& format, int bits[3])
{
    for (int c = 0; c < 3; ++c) {
        if (format.compression == kBiBitFields)
            bits[c] = fieldBits(format.masks[c]);
        else
            bits[c] = format.bitCount == 16 ? 5 : 8;
    }
}

// Compares colours with ImageMagick's; alpha of ours must be 255. ImageMagick
// widens 5-bit fields as we do (v << 3 | v >> 2); for other widths it differs
// (a 4-bit 15 becomes 0xF0, a 10-bit 1023 becomes 0xFE), so there only the
// field's own bits must agree.
::testing::AssertionResult agreesWithImageMagick(const RgbaImage& ours, const RgbaImage& theirs, const int bits[3])
{
    if (ours.width != theirs.width || ours.height != theirs.height)
        return ::testing::AssertionFailure() << "size " << ours.width << "x" << ours.height << ", ImageMagick "
                                             << theirs.width << "x" << theirs.height;
    for (uint32_t y = 0; y < ours.height; ++y) {
        for (uint32_t x = 0; x < ours.width; ++x) {
            const uint8_t* a = ours.at(x, y);
            const uint8_t* b = theirs.at(x, y);
            if (a[3] != 255)
                return ::testing::AssertionFailure() << "alpha " << int(a[3]) << " at " << x << "," << y;
            for (int c = 0; c < 3; ++c) {
                bool same = a[c] == b[c];
                if (bits[c] < 8 && bits[c] != 5)
                    same = (a[c] >> (8 - bits[c])) == (b[c] >> (8 - bits[c]));
                else if (bits[c] > 8)
                    same = std::abs(int(a[c]) - int(b[c])) <= 1;
                if (!same)
                    return ::testing::AssertionFailure()
                           << "channel " << c << " at " << x << "," << y << ": " << int(a[c]) << ", ImageMagick "
                           << int(b[c]);
            }
        }
    }
    return ::testing::AssertionSuccess();
}

void checkCorpusFolder(const std::string& folder, size_t atLeast)
{
    const std::vector<std::string> names = listFiles(corpusPath(folder), ".bmp");
    ASSERT_GE(names.size(), atLeast) << folder;
    std::vector<std::string> paths;
    for (const std::string& name : names)
        paths.push_back(corpusPath(folder + "/" + name));
    std::vector<RgbaImage> references;
    std::string problem;
    ASSERT_TRUE(decodeWithImageMagick(paths, references, problem)) << folder << ": " << problem;
    const int eightBits[3] = {8, 8, 8};
    for (size_t i = 0; i < names.size(); ++i) {
        DibImage image;
        ASSERT_TRUE(readBmpFile(paths[i].c_str(), image)) << names[i];
        EXPECT_TRUE(agreesWithImageMagick(rgbaFromDib(image), references[i], eightBits)) << names[i];
    }
}

}  // namespace

TEST(BmpAgainstImageMagick, PngSuiteBitmaps)
{
    checkCorpusFolder("pngsuite/bmp", 150);
}

TEST(BmpAgainstImageMagick, BenchBitmaps)
{
    checkCorpusFolder("bench", 1);
}

TEST(BmpAgainstImageMagick, EveryWrittenVariant)
{
    TempDir dir;
    std::vector<BmpFormat> formats;
    std::vector<std::string> paths;
    uint32_t seed = 500;
    for (const BmpFormat& format : allBmpVariants()) {
        // ImageMagick refuses a bfOffBits of 0, which the Windows loader takes
        // to mean "right after the palette"; the decoder tests cover that one.
        if (format.zeroOffBits)
            continue;
        const BmpPicture picture = randomPicture(13, 7, format, seed++);
        paths.push_back(dir.file(format.name() + ".bmp"));
        formats.push_back(format);
        ASSERT_TRUE(writeFileBytes(paths.back(), encodeBmp(picture, format)));
    }
    std::vector<RgbaImage> references;
    std::string problem;
    ASSERT_TRUE(decodeWithImageMagick(paths, references, problem)) << problem;
    for (size_t i = 0; i < formats.size(); ++i) {
        DibImage image;
        ASSERT_TRUE(readBmpFile(paths[i].c_str(), image)) << formats[i].name();
        int bits[3];
        channelBits(formats[i], bits);
        EXPECT_TRUE(agreesWithImageMagick(rgbaFromDib(image), references[i], bits)) << formats[i].name();
    }
}

TEST(BmpAgainstImageMagick, RleStreamWithUnreachedPixels)
{
    // Delta and early end of line: ImageMagick, like us, leaves palette entry 0.
    TempDir dir;
    BmpFormat format;
    format.bitCount = 8;
    format.compression = kBiRle8;
    format.colourUsed = 3;
    // Two bytes after end-of-bitmap: ImageMagick reads a little ahead of it.
    const std::vector<uint8_t> stream = {2, 1, 0, 2, 2, 1, 1, 2, 0, 0, 0, 1, 0, 0};
    const std::string path = dir.file("sparse.bmp");
    ASSERT_TRUE(writeFileBytes(path, buildBmp(8, 3, {0x102030, 0xFF0000, 0x00FF00}, format, stream)));
    DibImage image;
    ASSERT_TRUE(readBmpFile(path.c_str(), image));
    RgbaImage reference;
    std::string problem;
    ASSERT_TRUE(decodeWithImageMagick(path, reference, problem)) << problem;
    const int eightBits[3] = {8, 8, 8};
    EXPECT_TRUE(agreesWithImageMagick(rgbaFromDib(image), reference, eightBits));
    EXPECT_EQ(image.pixelAt(7, 0), 0xFF102030u);
}

TEST(LoaderAgainstLibpng, PngNamedGifMatchesLibpng)
{
    TempDir dir;
    for (const char* name : {"basn6a08.png", "basn2c08.png", "basn3p04.png"}) {
        const std::string renamed = dir.file(std::string(name) + ".gif");
        ASSERT_TRUE(writeFileBytes(renamed, readFileBytes(corpusPath(std::string("pngsuite/png/") + name))));
        DibImage image;
        int32_t transparent = 0;
        ASSERT_TRUE(loadImageFile(image, renamed.c_str(), transparent)) << name;
        RgbaImage reference;
        ASSERT_TRUE(decodePngWithLibpng(renamed, reference)) << name;
        EXPECT_EQ(rgbaFromDib(image).pixels, reference.pixels) << name;
        EXPECT_EQ(transparent, -1) << name;
    }
}
