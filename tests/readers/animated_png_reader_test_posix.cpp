// readAnimatedPng over animated PNGs assembled chunk by chunk here: valid
// files give back the frames they were built from (and libpng reads their
// default image alike); each damaged one, a valid file with one thing broken,
// is refused whole.

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>

#include <zlib.h>

#include "core/animation.h"
#include "tests/readers/reader_test_support.h"

namespace {

struct Chunk {
    std::string type;
    Bytes data;
};
using Chunks = std::vector<Chunk>;

struct FrameRecipe {
    uint32_t x, y, width, height;
    uint16_t delayNumerator, delayDenominator;
    uint8_t dispose, blend;
};

enum class Format { Rgba, RgbKey, Palette, Grey16, Grey16Wide };

struct ApngRecipe {
    uint32_t width = 8, height = 6;
    Format format = Format::Rgba;
    bool interlaced = false;
    bool defaultIsFrame = true;   // else a hidden default image before the frames
    uint32_t plays = 3;
    std::vector<FrameRecipe> frames = {{0, 0, 8, 6, 1, 10, DISPOSE_NONE, BLEND_SOURCE},
                                      {1, 1, 4, 3, 7, 0, DISPOSE_BACKGROUND, BLEND_OVER},
                                      {4, 2, 4, 4, 65535, 1000, DISPOSE_PREVIOUS, BLEND_SOURCE}};
};

constexpr uint32_t kKey = 0x123457;   // odd blue: no colour of kColours
const uint32_t kColours[8] = {0xFF0000FF, 0x00FF00FF, 0x0000FFFF, 0x80402010,
                              0x00000000, 0xFFFFFFFF, 0x204060C0, 0x11223300};

// The pixel (0xRRGGBBAA) picture `which` has at (x, y), as the format can hold it.
uint32_t pixelOf(const ApngRecipe& recipe, uint32_t which, uint32_t x, uint32_t y)
{
    const uint32_t colour = kColours[(x * 3 + y * 5 + which) % 8];
    switch (recipe.format) {
    case Format::RgbKey:
        return (colour & 0xFF) < 0x80 ? kKey << 8 : colour | 0xFF;
    case Format::Grey16:
    case Format::Grey16Wide:
        return (colour >> 24) * 0x01010100u | 0xFF;
    default:
        return colour;
    }
}

void setBE32(Bytes& data, size_t at, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        data[at + size_t(i)] = uint8_t(value >> (24 - 8 * i));
}

Bytes be32(uint32_t value)
{
    Bytes out(4);
    setBE32(out, 0, value);
    return out;
}

// The zlib stream of picture `which` at width x height: rows (every Adam7
// pass in turn when interlaced) with filter byte 0.
Bytes pictureData(const ApngRecipe& recipe, uint32_t which, uint32_t width, uint32_t height)
{
    static const uint32_t kPasses[7][4] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                                           {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};
    static const uint32_t kWhole[1][4] = {{0, 0, 1, 1}};
    Bytes rows;
    for (const uint32_t* pass : recipe.interlaced ? std::vector<const uint32_t*>(kPasses, kPasses + 7)
                                                : std::vector<const uint32_t*>(kWhole, kWhole + 1)) {
        for (uint32_t y = pass[1]; y < height; y += pass[3]) {
            if (pass[0] >= width)
                break;
            rows.push_back(0);
            for (uint32_t x = pass[0]; x < width; x += pass[2]) {
                const uint32_t p = pixelOf(recipe, which, x, y);
                const uint8_t r = uint8_t(p >> 24), g = uint8_t(p >> 16), b = uint8_t(p >> 8), a = uint8_t(p);
                switch (recipe.format) {
                case Format::Rgba: rows.insert(rows.end(), {r, g, b, a}); break;
                case Format::RgbKey: rows.insert(rows.end(), {r, g, b}); break;
                case Format::Palette: rows.push_back(uint8_t(std::find(kColours, kColours + 8, p) - kColours)); break;
                case Format::Grey16: rows.insert(rows.end(), {r, r}); break;
                case Format::Grey16Wide: rows.insert(rows.end(), {r, uint8_t(r ^ (x & 1))}); break;
                }
            }
        }
    }
    return zlibCompress(rows);
}

Bytes frameControl(uint32_t sequence, const FrameRecipe& f)
{
    Bytes data = be32(sequence);
    for (uint32_t v : {f.width, f.height, f.x, f.y}) {
        const Bytes field = be32(v);
        data.insert(data.end(), field.begin(), field.end());
    }
    data.insert(data.end(), {uint8_t(f.delayNumerator >> 8), uint8_t(f.delayNumerator),
                             uint8_t(f.delayDenominator >> 8), uint8_t(f.delayDenominator), f.dispose, f.blend});
    return data;
}

Chunks apngChunks(const ApngRecipe& recipe)
{
    static const uint8_t kType[] = {6, 2, 3, 0, 0};
    const uint8_t depth = recipe.format == Format::Grey16 || recipe.format == Format::Grey16Wide ? 16 : 8;
    Chunks chunks = {{"IHDR", ihdrData(recipe.width, recipe.height, depth, kType[int(recipe.format)], recipe.interlaced)}};
    Bytes actl = be32(uint32_t(recipe.frames.size()));
    const Bytes plays = be32(recipe.plays);
    actl.insert(actl.end(), plays.begin(), plays.end());
    chunks.push_back({"acTL", actl});
    if (recipe.format == Format::Palette) {
        Bytes plte, trns;
        for (uint32_t c : kColours) {
            plte.insert(plte.end(), {uint8_t(c >> 24), uint8_t(c >> 16), uint8_t(c >> 8)});
            trns.push_back(uint8_t(c));
        }
        chunks.push_back({"PLTE", plte});
        chunks.push_back({"tRNS", trns});
    } else if (recipe.format == Format::RgbKey) {
        chunks.push_back({"tRNS", {0, uint8_t(kKey >> 16), 0, uint8_t(kKey >> 8), 0, uint8_t(kKey)}});
    }
    uint32_t sequence = 0;
    if (!recipe.defaultIsFrame)
        chunks.push_back({"IDAT", pictureData(recipe, 99, recipe.width, recipe.height)});
    for (size_t i = 0; i < recipe.frames.size(); ++i) {
        const FrameRecipe& f = recipe.frames[i];
        chunks.push_back({"fcTL", frameControl(sequence++, f)});
        const Bytes data = pictureData(recipe, uint32_t(i), f.width, f.height);
        if (i == 0 && recipe.defaultIsFrame) {
            chunks.push_back({"IDAT", data});
        } else {
            Bytes fdat = be32(sequence++);
            fdat.insert(fdat.end(), data.begin(), data.end());
            chunks.push_back({"fdAT", fdat});
        }
    }
    chunks.push_back({"IEND", {}});
    return chunks;
}

Bytes serialise(const Chunks& chunks)
{
    PngBuilder png;
    for (const Chunk& chunk : chunks)
        png.chunk(chunk.type.c_str(), chunk.data);
    return png.bytes;
}

// Index in chunks of the n-th chunk of that type.
size_t nth(const Chunks& chunks, const char* type, int n = 0)
{
    for (size_t i = 0; i < chunks.size(); ++i)
        if (chunks[i].type == type && n-- == 0)
            return i;
    ADD_FAILURE() << "no " << type;
    return 0;
}

using Mutation = std::function<void(Chunks&)>;

AnimationRead readBytes(const Bytes& file, Animation8& animation)
{
    return readAnimatedPng(file.data(), uint32_t(file.size()), animation);
}


}  // namespace

TEST(AnimatedPngReader, ValidFilesGiveTheirFrames)
{
    struct {
        const char* name;
        std::function<void(ApngRecipe&)> shape;
        Mutation mutate;
        AnimationRead expected;
    } const cases[] = {
        {"rgba", nullptr, nullptr, AnimationRead::Done},
        {"rgba interlaced", [](ApngRecipe& s) { s.interlaced = true; }, nullptr, AnimationRead::Done},
        {"rgb with key", [](ApngRecipe& s) { s.format = Format::RgbKey; }, nullptr, AnimationRead::Done},
        {"palette with alpha", [](ApngRecipe& s) { s.format = Format::Palette; s.plays = 0; }, nullptr,
         AnimationRead::Done},
        {"16-bit grey of 8-bit values", [](ApngRecipe& s) { s.format = Format::Grey16; s.interlaced = true; },
         nullptr, AnimationRead::Done},
        {"hidden default image",
         [](ApngRecipe& s) { s.defaultIsFrame = false; s.frames[0] = {2, 1, 3, 3, 5, 100, 0, 0}; }, nullptr,
         AnimationRead::Done},
        {"one frame", [](ApngRecipe& s) { s.frames.resize(1); }, nullptr, AnimationRead::Done},
        {"data split over chunks",
         nullptr,
         [](Chunks& c) {
             const size_t at = nth(c, "fdAT", 1);
             Bytes& data = c[at].data;
             Bytes tail(data.begin() + 9, data.end());
             data.resize(9);
             Bytes next = be32(5);
             next.insert(next.end(), tail.begin(), tail.end());
             c.insert(c.begin() + long(at) + 1, {"fdAT", next});
             c.insert(c.begin() + long(at), {"tEXt", {'a', 0, 'b'}});
         },
         AnimationRead::Done},
        {"16-bit samples beyond 8 bits", [](ApngRecipe& s) { s.format = Format::Grey16Wide; }, nullptr,
         AnimationRead::Unsupported},
        {"no acTL", nullptr, [](Chunks& c) { c.erase(c.begin() + long(nth(c, "acTL"))); }, AnimationRead::NotAnimated},
        {"acTL after IDAT", nullptr,
         [](Chunks& c) {
             const Chunk actl = c[nth(c, "acTL")];
             c.erase(c.begin() + long(nth(c, "acTL")));
             c.insert(c.begin() + long(nth(c, "IDAT")) + 1, actl);
         },
         AnimationRead::NotAnimated},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.name);
        ApngRecipe recipe;
        if (test.shape)
            test.shape(recipe);
        Chunks chunks = apngChunks(recipe);
        if (test.mutate)
            test.mutate(chunks);
        const Bytes file = serialise(chunks);
        Animation8 animation;
        ASSERT_EQ(readBytes(file, animation), test.expected);
        if (test.expected != AnimationRead::Done) {
            EXPECT_TRUE(animation.frames.empty());
            continue;
        }
        EXPECT_EQ(std::vector<uint32_t>({animation.width, animation.height, animation.plays, animation.hiddenDefault}),
                  std::vector<uint32_t>({recipe.width, recipe.height, recipe.plays, !recipe.defaultIsFrame}));
        ASSERT_EQ(animation.frames.size(), recipe.frames.size());
        uint64_t pixels = animation.hiddenDefault ? uint64_t(recipe.width) * recipe.height : 0;
        for (size_t i = 0; i < recipe.frames.size(); ++i) {
            const FrameRecipe& want = recipe.frames[i];
            const AnimationFrame& got = animation.frames[i];
            EXPECT_EQ(std::vector<uint32_t>({got.x, got.y, got.width, got.height, got.delayNumerator,
                                             got.delayDenominator, got.dispose, got.blend}),
                      std::vector<uint32_t>({want.x, want.y, want.width, want.height, want.delayNumerator,
                                             want.delayDenominator, want.dispose, want.blend}))
                << "frame " << i;
            ASSERT_EQ(got.rgba.size(), size_t(want.width) * want.height);
            for (uint32_t y = 0; y < want.height; ++y)
                for (uint32_t x = 0; x < want.width; ++x)
                    ASSERT_EQ(got.rgba[y * want.width + x], pixelOf(recipe, uint32_t(i), x, y))
                        << "frame " << i << " at " << x << "," << y;
            pixels += got.rgba.size();
        }
        EXPECT_EQ(animation.pixelCount(), pixels);

        // libpng reads the file's default image as the reader gave it.
        RgbaImage reference;
        ASSERT_TRUE(decodePngBytesWithLibpng(file, reference));
        const std::vector<uint32_t>& picture =
            animation.hiddenDefault ? animation.defaultImage : animation.frames[0].rgba;
        ASSERT_EQ(picture.size(), size_t(reference.width) * reference.height);
        for (uint32_t y = 0; y < reference.height; ++y)
            for (uint32_t x = 0; x < reference.width; ++x) {
                const uint8_t* p = reference.at(x, y);
                ASSERT_EQ(picture[y * reference.width + x],
                          uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3])
                    << x << "," << y;
            }
    }
}

TEST(AnimatedPngReader, DamagedFilesAreRefusedWhole)
{
    const auto field = [](const char* type, int n, size_t at, uint32_t value) {
        return [=](Chunks& c) { setBE32(c[nth(c, type, n)].data, at, value); };
    };
    const auto bytesAt = [](const char* type, int n, size_t at, uint8_t value) {
        return [=](Chunks& c) { c[nth(c, type, n)].data[at] = value; };
    };
    const std::pair<const char*, Mutation> cases[] = {
        {"sequence skips a number", field("fcTL", 1, 0, 4)},
        {"fdAT sequence repeats", field("fdAT", 1, 0, 3)},
        {"acTL counts more frames", field("acTL", 0, 0, 4)},
        {"acTL counts fewer frames", field("acTL", 0, 0, 2)},
        {"acTL counts none", field("acTL", 0, 0, 0)},
        {"frame of zero width", field("fcTL", 1, 4, 0)},
        {"frame beyond the right edge", field("fcTL", 2, 12, 5)},
        {"frame offset wraps around", field("fcTL", 1, 16, 0xFFFFFFFEu)},
        {"default frame with an offset", [](Chunks& c) { setBE32(c[nth(c, "fcTL")].data, 4, 7);
                                                          setBE32(c[nth(c, "fcTL")].data, 12, 1); }},
        {"default frame smaller than the canvas", field("fcTL", 0, 8, 5)},
        {"dispose out of range", bytesAt("fcTL", 1, 24, 3)},
        {"blend out of range", bytesAt("fcTL", 2, 25, 2)},
        {"frame without data", [](Chunks& c) { c.erase(c.begin() + long(nth(c, "fdAT", 0))); }},
        {"fdAT before its fcTL",
         [](Chunks& c) {
             const size_t control = nth(c, "fcTL", 1);
             std::swap(c[control], c[control + 1]);
             setBE32(c[control].data, 0, 1);
             setBE32(c[control + 1].data, 0, 2);
         }},
        {"fdAT before the image data", [](Chunks& c) {
             const Chunk fdat = c[nth(c, "fdAT")];
             c.erase(c.begin() + long(nth(c, "fdAT")));
             c.insert(c.begin() + long(nth(c, "IDAT")), fdat);
         }},
        {"fdAT without a sequence number", [](Chunks& c) { c[nth(c, "fdAT")].data.resize(3); }},
        {"fcTL of wrong length", [](Chunks& c) { c[nth(c, "fcTL", 1)].data.push_back(0); }},
        {"second acTL", [](Chunks& c) { c.insert(c.begin() + 2, c[nth(c, "acTL")]); }},
        {"image data after the frames", [](Chunks& c) { c.insert(c.end() - 1, c[nth(c, "IDAT")]); }},
        {"no image data", [](Chunks& c) { c.erase(c.begin() + long(nth(c, "IDAT"))); }},
        {"depth the colour type does not allow", bytesAt("IHDR", 0, 8, 4)},
        {"more pixels than the limit",
         [](Chunks& c) {
             for (size_t at : {size_t(0), size_t(4)})
                 setBE32(c[nth(c, "IHDR")].data, at, 16385);
             for (size_t at : {size_t(4), size_t(8)})
                 setBE32(c[nth(c, "fcTL")].data, at, 16385);
         }},
        {"frame data corrupt", [](Chunks& c) { c[nth(c, "fdAT", 1)].data[6] ^= 0xFF; }},
        {"frame data cut short", [](Chunks& c) {
             Bytes& data = c[nth(c, "fdAT", 0)].data;
             data.resize(4 + (data.size() - 4) / 2);
         }},
    };
    const Chunks intact = apngChunks(ApngRecipe());
    Animation8 animation;
    ASSERT_EQ(readBytes(serialise(intact), animation), AnimationRead::Done);
    for (const auto& [name, mutate] : cases) {
        Chunks chunks = intact;
        mutate(chunks);
        EXPECT_EQ(readBytes(serialise(chunks), animation), AnimationRead::Malformed) << name;
        EXPECT_TRUE(animation.frames.empty()) << name;
    }
    // Every prefix of the file from acTL's data on: refused while the
    // last frame's compressed data is incomplete; read once only its CRC and
    // IEND are missing.
    const Bytes file = serialise(intact);
    const size_t lastDataEnd = file.size() - 12 - 4;
    for (size_t cut = 8 + 25 + 8; cut < file.size(); ++cut) {
        const AnimationRead read = readAnimatedPng(file.data(), uint32_t(cut), animation);
        if (cut < lastDataEnd - 8) {
            EXPECT_EQ(read, AnimationRead::Malformed) << cut;
        } else if (cut >= lastDataEnd) {
            EXPECT_EQ(read, AnimationRead::Done) << cut;
        }
    }
}
