#include "engine/row_filters.h"

#include <cstdlib>
#include <cstring>

uint32_t filterBytesPerPixel(int32_t bitDepth)
{
    return static_cast<uint32_t>(bitDepth + 7) / 8;
}

uint8_t paethPredictor(uint8_t a, uint8_t b, uint8_t c)
{
    const int p = a + b - c;
    const int pa = std::abs(p - a);
    const int pb = std::abs(p - b);
    const int pc = std::abs(p - c);
    if (pa <= pb && pa <= pc)
        return a;
    if (pb <= pc)
        return b;
    return c;
}

uint64_t filteredRowSum(const uint8_t* row, uint32_t rowBytes)
{
    // In 32-bit pieces that the compiler can run on vectors; each piece of at
    // most 2^16 bytes sums to below 2^24.
    uint64_t sum = 0;
    for (uint32_t start = 0; start < rowBytes; start += 65536) {
        const uint32_t end = rowBytes - start < 65536 ? rowBytes : start + 65536;
        uint32_t piece = 0;
        for (uint32_t k = start; k < end; ++k) {
            const uint32_t v = row[k];
            piece += v < 128 ? v : 256 - v;
        }
        sum += piece;
    }
    return sum;
}

uint8_t filterRowNone(uint8_t* destination, const uint8_t* source, const uint8_t*, uint32_t rowBytes,
                      uint32_t)
{
    std::memcpy(destination, source, rowBytes);
    return 0;
}

uint8_t filterRowSub(uint8_t* destination, const uint8_t* source, const uint8_t*, uint32_t rowBytes,
                     uint32_t bytesPerPixel)
{
    const uint32_t lead = bytesPerPixel < rowBytes ? bytesPerPixel : rowBytes;
    std::memcpy(destination, source, lead);
    for (uint32_t k = lead; k < rowBytes; ++k)
        destination[k] = static_cast<uint8_t>(source[k] - source[k - bytesPerPixel]);
    return 1;
}

uint8_t filterRowUp(uint8_t* destination, const uint8_t* source, const uint8_t* above,
                    uint32_t rowBytes, uint32_t)
{
    if (!above) {
        std::memcpy(destination, source, rowBytes);
        return 2;
    }
    for (uint32_t k = 0; k < rowBytes; ++k)
        destination[k] = static_cast<uint8_t>(source[k] - above[k]);
    return 2;
}

uint8_t filterRowAverage(uint8_t* destination, const uint8_t* source, const uint8_t* above,
                         uint32_t rowBytes, uint32_t bytesPerPixel)
{
    const uint32_t lead = bytesPerPixel < rowBytes ? bytesPerPixel : rowBytes;
    if (!above) {
        std::memcpy(destination, source, lead);
        for (uint32_t k = lead; k < rowBytes; ++k)
            destination[k] = static_cast<uint8_t>(source[k] - (source[k - bytesPerPixel] >> 1));
        return 3;
    }
    for (uint32_t k = 0; k < lead; ++k)
        destination[k] = static_cast<uint8_t>(source[k] - (above[k] >> 1));
    for (uint32_t k = lead; k < rowBytes; ++k) {
        const unsigned sum = static_cast<unsigned>(source[k - bytesPerPixel]) + above[k];
        destination[k] = static_cast<uint8_t>(source[k] - (sum >> 1));
    }
    return 3;
}

namespace {

// Bytes k < count of out, from x[k] and its neighbours left[k], up[k] and
// upLeft[k]: paethPredictor written without branches on rows that do not
// overlap (the inputs are unfiltered bytes, never outputs), so that the
// compiler can run the loop on vectors.
void paethBytes(uint8_t* __restrict out, const uint8_t* __restrict x, const uint8_t* __restrict left,
                const uint8_t* __restrict up, const uint8_t* __restrict upLeft, uint32_t count)
{
    for (uint32_t k = 0; k < count; ++k) {
        const int a = left[k];
        const int b = up[k];
        const int c = upLeft[k];
        const int pa = std::abs(b - c);
        const int pb = std::abs(a - c);
        const int pc = std::abs(a + b - 2 * c);
        const int nearer = pb <= pc ? b : c;
        const int predicted = pa <= pb && pa <= pc ? a : nearer;
        out[k] = static_cast<uint8_t>(x[k] - predicted);
    }
}

}   // namespace

uint8_t filterRowPaeth(uint8_t* destination, const uint8_t* source, const uint8_t* above,
                       uint32_t rowBytes, uint32_t bytesPerPixel)
{
    if (!above) {
        // With no row above the predictor is always the left neighbour.
        filterRowSub(destination, source, nullptr, rowBytes, bytesPerPixel);
        return 4;
    }
    const uint32_t lead = bytesPerPixel < rowBytes ? bytesPerPixel : rowBytes;
    for (uint32_t k = 0; k < lead; ++k)
        destination[k] = static_cast<uint8_t>(source[k] - above[k]);
    if (rowBytes > lead)
        paethBytes(destination + lead, source + lead, source, above + lead, above, rowBytes - lead);
    return 4;
}

namespace {

constexpr RowFilterOp kRowFilterOps[kFilterChoiceCount] = {
    filterRowNone, filterRowSub, filterRowUp, filterRowAverage, filterRowPaeth, filterRowMinSum,
};

}   // namespace

uint8_t filterRowMinSum(uint8_t* destination, const uint8_t* source, const uint8_t* above,
                        uint32_t rowBytes, uint32_t bytesPerPixel)
{
    uint64_t bestSum = 2147483647;
    int32_t bestType = 0;
    for (int32_t type = FILTER_NONE; type <= FILTER_PAETH; ++type) {
        kRowFilterOps[type](destination, source, above, rowBytes, bytesPerPixel);
        const uint64_t sum = filteredRowSum(destination, rowBytes);
        if (sum < bestSum) {
            bestSum = sum;
            bestType = type;
        }
    }
    // Rerunning the winner costs one pass and saves keeping five candidate rows.
    return kRowFilterOps[bestType](destination, source, above, rowBytes, bytesPerPixel);
}

RowFilterOp rowFilterFor(int32_t choice)
{
    if (choice < 0 || choice >= kFilterChoiceCount)
        choice = FILTER_NONE;
    return kRowFilterOps[choice];
}

void filterImageRow(const uint8_t* packedRows, uint8_t* filteredRows, uint32_t stride,
                    uint32_t row, int32_t choice, uint32_t bytesPerPixel)
{
    const size_t offset = static_cast<size_t>(row) * stride;
    filterRows(packedRows, stride, row, 1, choice, bytesPerPixel, filteredRows + offset);
}

void filterRows(const uint8_t* packedRows, uint32_t stride, uint32_t firstRow, uint32_t rowCount,
                int32_t choice, uint32_t bytesPerPixel, uint8_t* destination)
{
    const RowFilterOp filter = rowFilterFor(choice);
    const uint8_t* source = packedRows + static_cast<size_t>(firstRow) * stride + 1;
    for (uint32_t row = firstRow; row < firstRow + rowCount; ++row) {
        const uint8_t* above = row == 0 ? nullptr : source - stride;
        destination[0] = filter(destination + 1, source, above, stride - 1, bytesPerPixel);
        source += stride;
        destination += stride;
    }
}

void applyFilter(const uint8_t* packedRows, uint8_t* filteredRows, uint32_t height,
                 uint32_t stride, int32_t choice, int32_t bitDepth)
{
    filterRows(packedRows, stride, 0, height, choice, filterBytesPerPixel(bitDepth), filteredRows);
}
