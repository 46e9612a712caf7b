#include "engine/clean_alpha.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <set>

#include "core/size_limits.h"
#include "engine/deflate_stream.h"
#include "engine/row_filters.h"

namespace {

constexpr int kFilterTypes = 5;   // FILTER_NONE to FILTER_PAETH
constexpr uint32_t kColourSpace = 1u << 24;

uint32_t colourOf(const uint8_t* bgra)
{
    return uint32_t(bgra[2]) << 16 | uint32_t(bgra[1]) << 8 | bgra[0];
}

uint8_t paethPredictor(int a, int b, int c)
{
    const int p = a + b - c;
    const int pa = std::abs(p - a);
    const int pb = std::abs(p - b);
    const int pc = std::abs(p - c);
    return static_cast<uint8_t>(pa <= pb && pa <= pc ? a : pb <= pc ? b : c);
}

// The picture as PNG rows: top row first, each a 0 type byte and RGBA pixels.
struct Rows {
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t stride = 0;
    std::vector<uint8_t> bytes;

    uint8_t* pixel(uint32_t x, uint32_t y) { return bytes.data() + size_t(y) * stride + 1 + size_t(x) * 4; }
};

bool rowsOf(const ConvertRequest& request, Rows& rows)
{
    rows.width = static_cast<uint32_t>(request.width);
    rows.height = static_cast<uint32_t>(request.height);
    uint32_t total = 0;
    if (!checkedMul(rows.width, 4, rows.stride) || !checkedAdd(rows.stride, 1, rows.stride) ||
        !checkedMul(rows.stride, rows.height, total))
        return false;
    rows.bytes.assign(total, 0);
    for (uint32_t y = 0; y < rows.height; ++y) {
        const uint8_t* source = request.pixels + size_t(rows.height - 1 - y) * rows.width * 4;
        for (uint32_t x = 0; x < rows.width; ++x, source += 4) {
            uint8_t* out = rows.pixel(x, y);
            out[0] = source[2];
            out[1] = source[1];
            out[2] = source[0];
            out[3] = source[3];
        }
    }
    return true;
}

void storeRows(const Rows& rows, CleanedPicture& cleaned)
{
    cleaned.pixels.resize(size_t(rows.width) * rows.height * 4);
    for (uint32_t y = 0; y < rows.height; ++y) {
        const uint8_t* in = rows.bytes.data() + size_t(y) * rows.stride + 1;
        uint8_t* out = cleaned.pixels.data() + size_t(rows.height - 1 - y) * rows.width * 4;
        for (uint32_t x = 0; x < rows.width; ++x, in += 4, out += 4) {
            out[0] = in[2];
            out[1] = in[1];
            out[2] = in[0];
            out[3] = in[3];
        }
    }
}

// Every invisible pixel's red, green and blue: zero, or with a filter type
// what that type predicts from the pixels already set.
void fillInvisible(Rows& rows, int filter)
{
    for (uint32_t y = 0; y < rows.height; ++y) {
        for (uint32_t x = 0; x < rows.width; ++x) {
            uint8_t* p = rows.pixel(x, y);
            if (p[3] != 0)
                continue;
            for (int c = 0; c < 3; ++c) {
                const int a = x > 0 ? rows.pixel(x - 1, y)[c] : 0;
                const int b = y > 0 ? rows.pixel(x, y - 1)[c] : 0;
                const int d = x > 0 && y > 0 ? rows.pixel(x - 1, y - 1)[c] : 0;
                switch (filter) {
                case FILTER_SUB: p[c] = static_cast<uint8_t>(a); break;
                case FILTER_UP: p[c] = static_cast<uint8_t>(b); break;
                case FILTER_AVERAGE: p[c] = static_cast<uint8_t>((a + b) / 2); break;
                case FILTER_PAETH: p[c] = paethPredictor(a, b, d); break;
                default: p[c] = 0; break;
                }
            }
        }
    }
}

// The zlib length of rows filtered with filter choice; 0 on failure.
uint32_t measureFiltered(const Rows& rows, int32_t choice)
{
    std::vector<uint8_t> filtered(rows.bytes.size());
    applyFilter(rows.bytes.data(), filtered.data(), rows.height, rows.stride, choice, 32);
    const uint32_t length = measureDeflate(filtered.data(), static_cast<uint32_t>(filtered.size()), 15, 9);
    return length ? length : UINT32_MAX;
}

// The colours of the zeroed picture, up to 257 of them.
size_t colourCount(Rows& rows)
{
    std::set<uint32_t> colours;
    for (uint32_t y = 0; y < rows.height && colours.size() <= 256; ++y)
        for (uint32_t x = 0; x < rows.width && colours.size() <= 256; ++x) {
            const uint8_t* p = rows.pixel(x, y);
            colours.insert(uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]);
        }
    return colours.size();
}

// A colour no visible pixel has, black when free; false when every colour is taken.
bool freeColour(const ConvertRequest& request, uint32_t& colour)
{
    std::vector<bool> used(kColourSpace);
    const size_t pixels = size_t(request.width) * size_t(request.height);
    for (size_t i = 0; i < pixels; ++i)
        if (request.pixels[i * 4 + 3] != 0)
            used[colourOf(request.pixels + i * 4)] = true;
    for (colour = 0; colour < kColourSpace; ++colour)
        if (!used[colour])
            return true;
    return false;
}

}  // namespace

bool cleanInvisiblePixels(const ConvertRequest& request, CleanedPicture& cleaned)
{
    cleaned = CleanedPicture();
    if (!request.hasAlpha || !request.pixels || request.width <= 0 || request.height <= 0)
        return false;
    const size_t pixels = size_t(request.width) * size_t(request.height);
    bool invisible = false;
    bool partial = false;
    for (size_t i = 0; i < pixels; ++i) {
        const uint8_t alpha = request.pixels[i * 4 + 3];
        invisible = invisible || alpha == 0;
        partial = partial || (alpha != 0 && alpha != 255);
    }
    if (!invisible)
        return false;

    uint32_t key = 0;
    if (!partial && freeColour(request, key)) {
        cleaned.pixels.assign(request.pixels, request.pixels + pixels * 4);
        for (size_t i = 0; i < pixels; ++i) {
            uint8_t* p = cleaned.pixels.data() + i * 4;
            if (p[3] == 0) {
                p[0] = static_cast<uint8_t>(key);
                p[1] = static_cast<uint8_t>(key >> 8);
                p[2] = static_cast<uint8_t>(key >> 16);
            }
            p[3] = 255;
        }
        cleaned.transparentColour = static_cast<int32_t>(key);
        return true;
    }

    cleaned.hasAlpha = 1;
    Rows best;
    if (!rowsOf(request, best))
        return false;
    fillInvisible(best, FILTER_NONE);
    if ((request.options & OPT_EXTENDED_SEARCH) && colourCount(best) <= 256) {
        storeRows(best, cleaned);
        return true;
    }
    uint32_t bestLength = UINT32_MAX;
    for (int32_t choice = FILTER_NONE; choice <= FILTER_MIN_SUM; ++choice)
        bestLength = std::min(bestLength, measureFiltered(best, choice));
    for (int filter = FILTER_SUB; filter < kFilterTypes; ++filter) {
        Rows filled;
        if (!rowsOf(request, filled))
            return false;
        fillInvisible(filled, filter);
        const uint32_t length = measureFiltered(filled, filter);
        if (length < bestLength) {
            bestLength = length;
            best = std::move(filled);
        }
    }
    storeRows(best, cleaned);
    return true;
}
