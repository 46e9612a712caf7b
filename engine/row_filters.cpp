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
    uint64_t sum = 0;
    for (uint32_t k = 0; k < rowBytes; ++k)
        sum += row[k] < 128 ? row[k] : 256 - row[k];
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
    for (uint32_t k = lead; k < rowBytes; ++k) {
        const uint8_t predicted = paethPredictor(source[k - bytesPerPixel], above[k],
                                                 above[k - bytesPerPixel]);
        destination[k] = static_cast<uint8_t>(source[k] - predicted);
    }
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
