#include "engine/layout_chunks.h"

#include <algorithm>
#include <cstring>

#include "core/kept_chunks.h"
#include "engine/png_file.h"

namespace {

constexpr uint8_t kGrey = 0;
constexpr uint8_t kRgb = 2;
constexpr uint8_t kPalette = 3;
constexpr uint8_t kGreyAlpha = 4;
constexpr uint8_t kRgba = 6;

uint32_t be16(const uint8_t* p)
{
    return uint32_t(p[0]) << 8 | p[1];
}

void putBE16(uint8_t* out, uint32_t value)
{
    out[0] = static_cast<uint8_t>(value >> 8);
    out[1] = static_cast<uint8_t>(value);
}

// The step between neighbouring samples of `depth` bits on the 16-bit scale.
uint32_t sampleStep(uint32_t depth)
{
    return 65535u / ((1u << depth) - 1u);
}

uint32_t paletteEntries(const uint8_t* palette, uint32_t bytes)
{
    return palette ? bytes / 3 : 0;
}

uint8_t entryAlpha(const uint8_t* alphas, uint32_t alphaBytes, uint32_t entry)
{
    return entry < alphaBytes ? alphas[entry] : 255;
}

// The input's channels: red, green, blue, alpha of sBIT (alpha 0: none).
bool inputSignificantBits(const KeptChunkSet& set, uint8_t (&bits)[4])
{
    const std::vector<uint8_t>& s = set.significantBits;
    const uint8_t limit = set.colourType == kPalette ? 8 : set.bitDepth;
    const bool valid = std::all_of(s.begin(), s.end(), [&](uint8_t b) { return b >= 1 && b <= limit; });
    switch (set.colourType) {
    case kGrey:
    case kGreyAlpha:
        if (!valid || s.size() != (set.colourType == kGrey ? 1u : 2u))
            return false;
        bits[0] = bits[1] = bits[2] = s[0];
        bits[3] = set.colourType == kGreyAlpha ? s[1] : 0;
        return true;
    case kRgb:
    case kPalette:
    case kRgba:
        if (!valid || s.size() != (set.colourType == kRgba ? 4u : 3u))
            return false;
        std::copy(s.begin(), s.begin() + 3, bits);
        bits[3] = set.colourType == kRgba ? s[3] : 0;
        return true;
    default:
        return false;
    }
}

bool rewriteSignificantBits(const KeptChunkSet& set, uint8_t colourType, uint8_t depth, LayoutChunkData& out)
{
    uint8_t in[4] = {};
    if (!inputSignificantBits(set, in))
        return false;
    const uint8_t limit = colourType == kPalette ? 8 : depth;
    auto capped = [&](uint8_t bits) { return static_cast<uint8_t>(bits == 0 || bits > limit ? limit : bits); };
    const uint8_t grey = std::max({in[0], in[1], in[2]});
    uint8_t* o = out.significantBits;
    switch (colourType) {
    case kGrey: o[0] = capped(grey); out.significantBitsBytes = 1; break;
    case kGreyAlpha: o[0] = capped(grey); o[1] = capped(in[3]); out.significantBitsBytes = 2; break;
    case kRgb:
    case kPalette:
        for (int i = 0; i < 3; ++i)
            o[i] = capped(in[i]);
        out.significantBitsBytes = 3;
        break;
    default:
        for (int i = 0; i < 4; ++i)
            o[i] = capped(in[i]);
        out.significantBitsBytes = 4;
        break;
    }
    return true;
}

// The input's bKGD as red, green and blue on the 16-bit scale.
bool inputBackground(const KeptChunkSet& set, uint32_t (&colour)[3])
{
    const std::vector<uint8_t>& b = set.background;
    const uint32_t depth = set.bitDepth;
    if (depth != 1 && depth != 2 && depth != 4 && depth != 8 && depth != 16)
        return false;
    const uint32_t step = sampleStep(depth);
    switch (set.colourType) {
    case kPalette: {
        if (b.size() != 1 || b[0] >= paletteEntries(set.palette.data(), uint32_t(set.palette.size())))
            return false;
        for (int i = 0; i < 3; ++i)
            colour[i] = set.palette[b[0] * 3u + i] * 257u;
        return true;
    }
    case kGrey:
    case kGreyAlpha:
        if (b.size() != 2 || be16(b.data()) > 65535u / step)
            return false;
        colour[0] = colour[1] = colour[2] = be16(b.data()) * step;
        return true;
    case kRgb:
    case kRgba:
        if (b.size() != 6)
            return false;
        for (int i = 0; i < 3; ++i) {
            if (be16(b.data() + 2 * i) > 65535u / step)
                return false;
            colour[i] = be16(b.data() + 2 * i) * step;
        }
        return true;
    default:
        return false;
    }
}

bool rewriteBackground(const KeptChunkSet& set, const PngFormat& format, uint8_t colourType, uint8_t depth,
                       LayoutChunkData& out)
{
    uint32_t colour[3] = {};
    if (!inputBackground(set, colour))
        return false;
    if (colourType == kPalette) {
        if (colour[0] % 257 || colour[1] % 257 || colour[2] % 257)
            return false;
        const uint32_t entries = paletteEntries(format.palette, format.paletteBytes);
        for (uint32_t i = 0; i < entries; ++i) {
            const uint8_t* entry = format.palette + i * 3;
            if (entry[0] == colour[0] / 257 && entry[1] == colour[1] / 257 && entry[2] == colour[2] / 257) {
                out.background[0] = static_cast<uint8_t>(i);
                out.backgroundBytes = 1;
                return true;
            }
        }
        return false;
    }
    const uint32_t step = sampleStep(depth);
    if (colour[0] % step || colour[1] % step || colour[2] % step)
        return false;
    if (colourType == kGrey || colourType == kGreyAlpha) {
        if (colour[0] != colour[1] || colour[0] != colour[2])
            return false;
        putBE16(out.background, colour[0] / step);
        out.backgroundBytes = 2;
        return true;
    }
    for (int i = 0; i < 3; ++i)
        putBE16(out.background + 2 * i, colour[i] / step);
    out.backgroundBytes = 6;
    return true;
}

bool rewriteHistogram(const KeptChunkSet& set, const PngFormat& format, uint8_t colourType, LayoutChunkData& out)
{
    const uint32_t inputEntries = paletteEntries(set.palette.data(), uint32_t(set.palette.size()));
    const uint32_t outputEntries = paletteEntries(format.palette, format.paletteBytes);
    if (colourType != kPalette || set.colourType != kPalette || inputEntries == 0 ||
        set.histogram.size() != inputEntries * 2u || outputEntries == 0 || outputEntries > 256)
        return false;
    const uint8_t* inAlpha = set.paletteAlpha.data();
    const uint32_t inAlphaBytes = uint32_t(set.paletteAlpha.size());
    const uint8_t* outAlpha = format.transparencyBytes ? format.transparency : nullptr;
    const uint32_t outAlphaBytes = format.transparency ? format.transparencyBytes : 0;
    for (uint32_t o = 0; o < outputEntries; ++o) {
        const uint8_t alpha = entryAlpha(outAlpha, outAlphaBytes, o);
        uint32_t frequency = 0;
        for (uint32_t i = 0; i < inputEntries; ++i) {
            const bool sameColour = std::memcmp(set.palette.data() + i * 3, format.palette + o * 3, 3) == 0;
            if (entryAlpha(inAlpha, inAlphaBytes, i) == alpha && (alpha == 0 || sameColour))
                frequency += be16(set.histogram.data() + i * 2);
        }
        putBE16(out.histogram + o * 2, std::min(frequency, 65535u));
    }
    out.histogramBytes = outputEntries * 2;
    return true;
}

}  // namespace

LayoutChunkData layoutChunksFor(const KeptChunkSet& set, const PngFormat& format)
{
    LayoutChunkData out;
    uint8_t depth = 0;
    uint8_t colourType = 0;
    layoutHeader(format.layout, format.depth, depth, colourType);
    if (!set.significantBits.empty() && !rewriteSignificantBits(set, colourType, depth, out))
        out.dropped |= LAYOUT_CHUNK_SBIT;
    if (!set.background.empty() && !rewriteBackground(set, format, colourType, depth, out))
        out.dropped |= LAYOUT_CHUNK_BKGD;
    if (!set.histogram.empty() && !rewriteHistogram(set, format, colourType, out))
        out.dropped |= LAYOUT_CHUNK_HIST;
    return out;
}
