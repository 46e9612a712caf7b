#include "engine/extended/extended_layouts.h"

#include <algorithm>
#include <memory>
#include <new>

#include "core/size_limits.h"
#include "engine/colour_analysis.h"
#include "engine/extended/palette_orders.h"
#include "engine/worker_pool.h"

namespace {

uint8_t redOf(uint32_t rgba) { return static_cast<uint8_t>(rgba >> 24); }
uint8_t greenOf(uint32_t rgba) { return static_cast<uint8_t>(rgba >> 16); }
uint8_t blueOf(uint32_t rgba) { return static_cast<uint8_t>(rgba >> 8); }
uint8_t alphaOf(uint32_t rgba) { return static_cast<uint8_t>(rgba); }

// The samples of a 16-bit pixel (wideSample).
uint16_t wideRed(uint64_t sample) { return static_cast<uint16_t>(sample >> 48); }
uint16_t wideGreen(uint64_t sample) { return static_cast<uint16_t>(sample >> 32); }
uint16_t wideBlue(uint64_t sample) { return static_cast<uint16_t>(sample >> 16); }
uint16_t wideAlpha(uint64_t sample) { return static_cast<uint16_t>(sample); }
constexpr uint16_t kWideOpaque = 0xFFFF;

// A 16-bit sample, most significant byte first.
void putWide(uint8_t* out, uint16_t value)
{
    out[0] = static_cast<uint8_t>(value >> 8);
    out[1] = static_cast<uint8_t>(value);
}

// Grey values a depth holds are the multiples of this step.
uint32_t greyStep(int32_t depth)
{
    switch (depth) {
    case 1: return 255;
    case 2: return 85;
    case 4: return 17;
    default: return 1;
    }
}

int32_t smallestGreyDepth(uint8_t value)
{
    for (int32_t depth : {1, 2, 4})
        if (value % greyStep(depth) == 0)
            return depth;
    return 8;
}

int32_t paletteDepth(size_t entries)
{
    if (entries <= 2)
        return 1;
    if (entries <= 4)
        return 2;
    if (entries <= 16)
        return 4;
    return 8;
}

// Distinct RGBA values by open addressing: 1024 slots for at most 257 values.
class ColourTable {
public:
    ColourTable() { std::fill(std::begin(index_), std::end(index_), -1); }

    // The value's index, given the next index when new; -1 when it is new and
    // the table already holds `limit` values.
    int32_t indexOf(uint32_t value, int32_t limit)
    {
        uint32_t slot = (value * 0x9E3779B1u) >> 22;
        while (index_[slot] >= 0) {
            if (keys_[slot] == value)
                return index_[slot];
            slot = (slot + 1) & (kSlots - 1);
        }
        if (count_ == limit)
            return -1;
        keys_[slot] = value;
        index_[slot] = static_cast<int16_t>(count_);
        return count_++;
    }

private:
    static constexpr uint32_t kSlots = 1024;
    uint32_t keys_[kSlots] = {};
    int16_t index_[kSlots];
    int32_t count_ = 0;
};

uint32_t luminance(uint32_t rgba)
{
    return 299u * redOf(rgba) + 587u * greenOf(rgba) + 114u * blueOf(rgba);
}

// Passes over the pairs of entries that refine ORDER_REFINED.
constexpr int32_t kRefineSweeps = 2;

// The colour indices of an order, palette entry first.
std::vector<uint32_t> orderIndices(const ColourFacts& facts, const ColourPairs& pairs, int32_t order,
                                   uint32_t refineReach)
{
    const size_t n = facts.colours.size();
    std::vector<uint32_t> byIndex(n);
    for (size_t i = 0; i < n; ++i)
        byIndex[i] = static_cast<uint32_t>(i);
    switch (order) {
    case ORDER_POPULARITY:
        std::stable_sort(byIndex.begin(), byIndex.end(), [&](uint32_t a, uint32_t b) {
            const bool translucentA = alphaOf(facts.colours[a]) != 255;
            const bool translucentB = alphaOf(facts.colours[b]) != 255;
            if (translucentA != translucentB)
                return translucentA;
            return facts.counts[a] > facts.counts[b];
        });
        return byIndex;
    case ORDER_LUMINANCE:
        std::stable_sort(byIndex.begin(), byIndex.end(), [&](uint32_t a, uint32_t b) {
            const uint32_t la = luminance(facts.colours[a]);
            const uint32_t lb = luminance(facts.colours[b]);
            if (la != lb)
                return la < lb;
            return alphaOf(facts.colours[a]) < alphaOf(facts.colours[b]);
        });
        return byIndex;
    case ORDER_NEIGHBOUR: return neighbourChainOrder(pairs, facts.counts);
    case ORDER_WEIGHTED_CHAIN: byIndex = weightedChainOrder(pairs, facts.counts); break;
    case ORDER_CONNECTED_CHAIN: byIndex = mostConnectedChainOrder(pairs, facts.counts); break;
    case ORDER_MERGED_CHAIN: byIndex = mergedChainOrder(pairs, facts.counts); break;
    case ORDER_REFINED:
        byIndex = mostConnectedChainOrder(pairs, facts.counts);
        refineByResiduals(pairs, kRefineSweeps, refineReach, byIndex);
        break;
    default: return byIndex;
    }
    // A chain read either way is as good a chain: the way that lets the tRNS
    // chunk (which ends after the last entry below opaque) end sooner.
    const auto transparencyEnd = [&](bool reversed) {
        size_t end = 0;
        for (size_t i = 0; i < n; ++i)
            if (alphaOf(facts.colours[byIndex[reversed ? n - 1 - i : i]]) != 255)
                end = i + 1;
        return end;
    };
    if (transparencyEnd(true) < transparencyEnd(false))
        std::reverse(byIndex.begin(), byIndex.end());
    return byIndex;
}

// The pairs of a picture's colours; throws std::bad_alloc when memory is short.
ColourPairs pairsOf(const ColourFacts& facts, const ExactPicture& picture)
{
    ColourPairs pairs;
    if (!colourPairs(facts.indices, picture.width, picture.height, static_cast<uint32_t>(facts.colours.size()),
                     pairs))
        throw std::bad_alloc();
    return pairs;
}

// What the alpha of the pixels seen so far says: opaque, alpha only 0 or
// opaque, and whether every transparent pixel has one value (Value: the
// pixel at 8 or 16 bits a sample).
template <typename Value>
struct AlphaWatch {
    bool sawTransparent = false;
    bool oneTransparentColour = true;
    Value transparent = 0;

    void note(ColourFacts& facts, uint32_t alpha, uint32_t opaqueAlpha, Value value)
    {
        if (alpha != opaqueAlpha) {
            facts.opaque = false;
            if (alpha != 0)
                facts.binaryAlpha = false;
        }
        if (alpha != 0)
            return;
        if (!sawTransparent) {
            sawTransparent = true;
            transparent = value;
        } else if (value != transparent) {
            oneTransparentColour = false;
        }
    }
    // Every transparent pixel fully so and of one value: a key may stand for them.
    bool keyPossible(const ColourFacts& facts) const
    {
        return sawTransparent && oneTransparentColour && facts.binaryAlpha;
    }
};

// analyseColours of a 16-bit picture: no palette, grey at 16 bits only.
void analyseWideColours(const ExactPicture& picture, ColourFacts& facts)
{
    const size_t pixels = size_t(picture.width) * picture.height;
    AlphaWatch<uint64_t> watch;
    for (size_t i = 0; i < pixels; ++i) {
        const uint64_t sample = wideSample(picture, i);
        watch.note(facts, wideAlpha(sample), kWideOpaque, sample);
        if (wideRed(sample) != wideGreen(sample) || wideRed(sample) != wideBlue(sample))
            facts.grey = false;
    }
    facts.greyDepth = facts.grey ? 16 : 0;
    if (watch.keyPossible(facts)) {
        // The key must not also be the colour of an opaque pixel.
        const uint64_t opaqueTwin = watch.transparent | kWideOpaque;
        bool twin = false;
        for (size_t i = 0; i < pixels && !twin; ++i)
            twin = wideSample(picture, i) == opaqueTwin;
        facts.keyUsable = !twin;
        facts.wideKey = watch.transparent;
    }
}

// packLayout's rows of a 16-bit picture (rows zero-filled, stride checked).
void packWideRows(const ExactPicture& picture, const Layout& layout, uint8_t* rows, uint32_t stride)
{
    for (uint32_t y = 0; y < picture.height; ++y) {
        uint8_t* out = rows + size_t(y) * stride + 1;
        for (uint32_t x = 0; x < picture.width; ++x) {
            const uint64_t sample = wideSample(picture, size_t(y) * picture.width + x);
            switch (layout.kind) {
            case LAYOUT_GREY:
            case LAYOUT_GREY_KEY:
                // The transparent pixels hold the key colour.
                putWide(out, wideRed(sample));
                out += 2;
                break;
            case LAYOUT_GREY_ALPHA:
                putWide(out, wideRed(sample));
                putWide(out + 2, wideAlpha(sample));
                out += 4;
                break;
            case LAYOUT_RGB:
            case LAYOUT_RGB_KEY:
                putWide(out, wideRed(sample));
                putWide(out + 2, wideGreen(sample));
                putWide(out + 4, wideBlue(sample));
                out += 6;
                break;
            default:
                putWide(out, wideRed(sample));
                putWide(out + 2, wideGreen(sample));
                putWide(out + 4, wideBlue(sample));
                putWide(out + 6, wideAlpha(sample));
                out += 8;
                break;
            }
        }
    }
}

}   // namespace

uint64_t wideSample(const ExactPicture& picture, size_t i)
{
    const uint8_t* bytes = picture.wide + i * 8;
    uint64_t sample = 0;
    for (int k = 0; k < 8; ++k)
        sample = sample << 8 | bytes[k];
    return picture.wideAlpha ? sample : sample | kWideOpaque;
}

bool exactPicture(const ConvertRequest& request, ExactPicture& picture)
{
    uint32_t rowBytes = 0;
    uint32_t allBytes = 0;
    if (!request.pixels || request.width <= 0 || request.height <= 0 ||
        !checkedMul(static_cast<uint32_t>(request.width), 4, rowBytes) ||
        !checkedMul(rowBytes, static_cast<uint32_t>(request.height), allBytes))
        return false;
    picture.width = static_cast<uint32_t>(request.width);
    picture.height = static_cast<uint32_t>(request.height);
    picture.wide = nullptr;
    picture.wideAlpha = false;
    if (request.samples16) {
        // Eight bytes a pixel must be one block too.
        uint32_t wideBytes = 0;
        if (!checkedMul(allBytes, 2, wideBytes))
            return false;
        picture.rgba.clear();
        picture.wide = request.samples16;
        picture.wideAlpha = request.hasAlpha || request.transparentColour != -1;
        return true;
    }
    try {
        picture.rgba.assign(allBytes / 4, 0);
    } catch (const std::bad_alloc&) {
        return false;
    }
    const bool keyed = !request.hasAlpha && request.transparentColour != -1;
    const uint32_t key = static_cast<uint32_t>(request.transparentColour) & 0xFFFFFFu;
    for (uint32_t y = 0; y < picture.height; ++y) {
        // The request's rows run bottom up.
        const uint8_t* pixel = request.pixels + size_t(picture.height - 1 - y) * rowBytes;
        uint32_t* out = &picture.rgba[size_t(y) * picture.width];
        for (uint32_t x = 0; x < picture.width; ++x, pixel += 4) {
            const uint32_t rgb = uint32_t(pixel[2]) << 16 | uint32_t(pixel[1]) << 8 | pixel[0];
            uint32_t alpha = 255;
            if (request.hasAlpha)
                alpha = pixel[3];
            else if (keyed && rgb == key)
                alpha = 0;
            out[x] = rgb << 8 | alpha;
        }
    }
    return true;
}

bool analyseColours(const ExactPicture& picture, ColourFacts& facts)
{
    facts = ColourFacts();
    if (picture.wide) {
        analyseWideColours(picture, facts);
        return true;
    }
    const size_t pixels = picture.rgba.size();
    bool counting = true;
    // The table lives on the heap: it is larger than a small stack should hold.
    std::unique_ptr<ColourTable> table(new (std::nothrow) ColourTable);
    if (!table)
        return false;
    AlphaWatch<uint32_t> watch;
    try {
        facts.indices.resize(pixels);
        for (size_t i = 0; i < pixels; ++i) {
            const uint32_t value = picture.rgba[i];
            watch.note(facts, alphaOf(value), 255, value);
            const uint8_t r = redOf(value);
            if (facts.grey) {
                if (r != greenOf(value) || r != blueOf(value))
                    facts.grey = false;
                else
                    facts.greyDepth = std::max(facts.greyDepth, smallestGreyDepth(r));
            }
            if (counting) {
                const int32_t index = table->indexOf(value, kMaxPaletteEntries);
                if (index < 0) {
                    counting = false;
                    continue;
                }
                if (static_cast<size_t>(index) == facts.colours.size()) {
                    facts.colours.push_back(value);
                    facts.counts.push_back(0);
                }
                ++facts.counts[index];
                facts.indices[i] = static_cast<uint8_t>(index);
            }
        }
        if (!counting) {
            facts.colours.clear();
            facts.counts.clear();
            facts.indices.clear();
            facts.indices.shrink_to_fit();
        }
    } catch (const std::bad_alloc&) {
        return false;
    }
    if (!facts.grey)
        facts.greyDepth = 0;
    if (watch.keyPossible(facts)) {
        // The key must not also be the colour of an opaque pixel.
        const uint32_t opaqueTwin = watch.transparent | 0xFF;
        bool twin = false;
        for (size_t i = 0; i < pixels && !twin; ++i)
            twin = picture.rgba[i] == opaqueTwin;
        facts.keyUsable = !twin;
        facts.keyRgba = watch.transparent;
    }
    return true;
}

uint32_t layoutBitsPerPixel(const Layout& layout)
{
    switch (layout.kind) {
    case LAYOUT_PALETTE:
    case LAYOUT_GREY:
    case LAYOUT_GREY_KEY: return static_cast<uint32_t>(layout.depth);
    case LAYOUT_GREY_ALPHA: return 2 * static_cast<uint32_t>(layout.depth);
    case LAYOUT_RGB:
    case LAYOUT_RGB_KEY: return 3 * static_cast<uint32_t>(layout.depth);
    default: return 4 * static_cast<uint32_t>(layout.depth);
    }
}

std::vector<uint32_t> paletteOrder(const ColourFacts& facts, const ExactPicture& picture,
                                   int32_t order)
{
    const std::vector<uint32_t> byIndex =
        orderIndices(facts, pairsOf(facts, picture), order, OrderEffort().refineReach);
    std::vector<uint32_t> entries(byIndex.size());
    for (size_t i = 0; i < byIndex.size(); ++i)
        entries[i] = facts.colours[byIndex[i]];
    return entries;
}

bool exactLayouts(const ExactPicture& picture, const ColourFacts& facts, std::vector<Layout>& layouts,
                  const OrderEffort& effort, WorkerPool* pool)
{
    try {
        layouts.clear();
        const size_t colours = facts.colours.size();
        if (colours > 0) {
            const int32_t smallest = paletteDepth(colours);
            const ColourPairs pairs = pairsOf(facts, picture);
            std::vector<std::vector<uint32_t>> orders(kPaletteOrderCount);
            std::vector<uint64_t> scores(kPaletteOrderCount, 0);
            std::vector<char> made(kPaletteOrderCount, 0);
            {
                TaskGroup group(pool);
                for (int32_t order = ORDER_INPUT; order < kPaletteOrderCount; ++order)
                    group.submit([&, order] {
                        try {
                            orders[order] = orderIndices(facts, pairs, order, effort.refineReach);
                            scores[order] = residualScore(pairs, orders[order]);
                            made[order] = 1;
                        } catch (const std::bad_alloc&) {
                        }
                    });
                for (int32_t order = ORDER_INPUT; order < kPaletteOrderCount; ++order)
                    group.wait();
            }
            std::vector<std::pair<uint64_t, int32_t>> ranked;   // (-score, order): the best first
            for (int32_t order = ORDER_INPUT; order < kPaletteOrderCount; ++order) {
                if (!made[order])
                    return false;
                if (order != ORDER_INPUT && order != ORDER_POPULARITY)
                    ranked.emplace_back(UINT64_MAX - scores[order], order);
            }
            std::stable_sort(ranked.begin(), ranked.end());
            std::vector<bool> offered(kPaletteOrderCount, false);
            offered[ORDER_INPUT] = offered[ORDER_POPULARITY] = true;
            for (size_t k = 0; k < ranked.size() && k < effort.rankedOrders; ++k)
                offered[ranked[k].second] = true;
            for (int32_t order = ORDER_INPUT; order < kPaletteOrderCount; ++order) {
                if (!offered[order])
                    continue;
                Layout layout;
                layout.kind = LAYOUT_PALETTE;
                layout.order = order;
                layout.palette.resize(colours);
                layout.paletteIndex.assign(colours, 0);
                for (size_t entry = 0; entry < colours; ++entry) {
                    layout.palette[entry] = facts.colours[orders[order][entry]];
                    layout.paletteIndex[orders[order][entry]] = static_cast<uint8_t>(entry);
                }
                for (int32_t depth : {smallest, 8}) {
                    if (depth == 8 && smallest == 8 && !layouts.empty() &&
                        layouts.back().order == order)
                        break;
                    layout.depth = depth;
                    layouts.push_back(layout);
                }
            }
        }
        const auto addGrey = [&](int32_t kind, int32_t smallest) {
            Layout layout;
            layout.kind = kind;
            layout.depth = smallest;
            layouts.push_back(layout);
            if (smallest < 8) {
                layout.depth = 8;
                layouts.push_back(layout);
            }
        };
        if (facts.grey && facts.opaque)
            addGrey(LAYOUT_GREY, facts.greyDepth);
        if (facts.grey && !facts.opaque && facts.keyUsable)
            addGrey(LAYOUT_GREY_KEY, facts.greyDepth);
        // Samples of 16 bits stay 16 bits in every layout.
        const int32_t sampleDepth = picture.wide ? 16 : 8;
        if (facts.grey && !facts.opaque) {
            Layout layout;
            layout.kind = LAYOUT_GREY_ALPHA;
            layout.depth = sampleDepth;
            layouts.push_back(layout);
        }
        Layout truecolour;
        truecolour.depth = sampleDepth;
        if (facts.opaque) {
            truecolour.kind = LAYOUT_RGB;
            layouts.push_back(truecolour);
        } else {
            if (facts.keyUsable) {
                truecolour.kind = LAYOUT_RGB_KEY;
                layouts.push_back(truecolour);
            }
            truecolour.kind = LAYOUT_RGBA;
            layouts.push_back(truecolour);
        }
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

bool packLayout(const ExactPicture& picture, const ColourFacts& facts, const Layout& layout,
                std::vector<uint8_t>& rows, uint32_t& stride)
{
    const uint32_t bits = layoutBitsPerPixel(layout);
    uint32_t rowBits = 0;
    uint32_t imageBytes = 0;
    if (!checkedMul(picture.width, bits, rowBits, 0xFFFFFFF0u) ||
        !checkedAdd((rowBits + 7) / 8, 1, stride) ||
        !checkedMul(stride, picture.height, imageBytes))
        return false;
    const bool palette = layout.kind == LAYOUT_PALETTE;
    const bool wide = picture.wide != nullptr;
    if (wide != (layout.depth == 16) || (wide && palette))
        return false;
    if (palette && (facts.indices.size() != picture.rgba.size() ||
                    layout.palette.size() > (size_t(1) << layout.depth)))
        return false;
    try {
        rows.assign(imageBytes, 0);
    } catch (const std::bad_alloc&) {
        return false;
    }
    if (wide) {
        packWideRows(picture, layout, rows.data(), stride);
        return true;
    }
    const uint32_t step = greyStep(layout.depth);
    for (uint32_t y = 0; y < picture.height; ++y) {
        uint8_t* out = &rows[size_t(y) * stride + 1];
        const uint32_t* in = &picture.rgba[size_t(y) * picture.width];
        for (uint32_t x = 0; x < picture.width; ++x) {
            const uint32_t value = in[x];
            uint32_t sample = 0;   // palette index or grey sample for depths up to 8
            switch (layout.kind) {
            case LAYOUT_PALETTE:
                sample = layout.paletteIndex[facts.indices[size_t(y) * picture.width + x]];
                break;
            case LAYOUT_GREY:
            case LAYOUT_GREY_KEY:
                // The transparent pixels hold the key colour, whose grey fits the depth.
                sample = redOf(value) / step;
                break;
            case LAYOUT_GREY_ALPHA:
                out[2 * x] = redOf(value);
                out[2 * x + 1] = alphaOf(value);
                continue;
            case LAYOUT_RGB:
            case LAYOUT_RGB_KEY:
                out[3 * x] = redOf(value);
                out[3 * x + 1] = greenOf(value);
                out[3 * x + 2] = blueOf(value);
                continue;
            default:
                out[4 * x] = redOf(value);
                out[4 * x + 1] = greenOf(value);
                out[4 * x + 2] = blueOf(value);
                out[4 * x + 3] = alphaOf(value);
                continue;
            }
            switch (layout.depth) {
            case 1: out[x / 8] |= static_cast<uint8_t>(sample << (7 - x % 8)); break;
            case 2: out[x / 4] |= static_cast<uint8_t>(sample << (2 * (3 - x % 4))); break;
            case 4: out[x / 2] |= static_cast<uint8_t>(sample << (x % 2 == 0 ? 4 : 0)); break;
            default: out[x] = static_cast<uint8_t>(sample); break;
            }
        }
    }
    return true;
}

void layoutChunks(const Layout& layout, const ColourFacts& facts, std::vector<uint8_t>& plte,
                  std::vector<uint8_t>& trns)
{
    plte.clear();
    trns.clear();
    switch (layout.kind) {
    case LAYOUT_PALETTE: {
        size_t alphaEntries = 0;
        for (size_t i = 0; i < layout.palette.size(); ++i) {
            const uint32_t entry = layout.palette[i];
            plte.push_back(redOf(entry));
            plte.push_back(greenOf(entry));
            plte.push_back(blueOf(entry));
            if (alphaOf(entry) != 255)
                alphaEntries = i + 1;
        }
        for (size_t i = 0; i < alphaEntries; ++i)
            trns.push_back(alphaOf(layout.palette[i]));
        break;
    }
    case LAYOUT_GREY_KEY:
        if (layout.depth == 16) {
            trns.resize(2);
            putWide(trns.data(), wideRed(facts.wideKey));
            break;
        }
        trns.push_back(0);
        trns.push_back(static_cast<uint8_t>(redOf(facts.keyRgba) / greyStep(layout.depth)));
        break;
    case LAYOUT_RGB_KEY:
        if (layout.depth == 16) {
            trns.resize(6);
            putWide(trns.data(), wideRed(facts.wideKey));
            putWide(trns.data() + 2, wideGreen(facts.wideKey));
            putWide(trns.data() + 4, wideBlue(facts.wideKey));
            break;
        }
        for (uint8_t sample : {redOf(facts.keyRgba), greenOf(facts.keyRgba), blueOf(facts.keyRgba)}) {
            trns.push_back(0);
            trns.push_back(sample);
        }
        break;
    default:
        break;
    }
}
