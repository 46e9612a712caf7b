// The row filters: hand-worked rows, round trips through an independent
// reverse filter, the minimum-sum choice and the Paeth predictor.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "engine/row_filters.h"
#include "services/conversion.h"

namespace {

using Bytes = std::vector<uint8_t>;

// The PNG decoder's reconstruction, written from the PNG standard.
int standardPaeth(int a, int b, int c)
{
    const int p = a + b - c;
    const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    if (pa <= pb && pa <= pc)
        return a;
    return pb <= pc ? b : c;
}

// Reverses filtered rows (type byte + data each) into unfiltered rows; false
// on an unknown type byte.
bool unfilter(const Bytes& filtered, uint32_t stride, uint32_t bpp, Bytes& out)
{
    out.assign(filtered.size(), 0);
    const size_t rows = filtered.size() / stride;
    for (size_t r = 0; r < rows; ++r) {
        const uint8_t* in = &filtered[r * stride];
        uint8_t* row = &out[r * stride];
        const uint8_t* prev = r == 0 ? nullptr : row - stride;
        row[0] = 0;
        for (uint32_t k = 1; k < stride; ++k) {
            const int a = k > bpp ? row[k - bpp] : 0;
            const int b = prev ? prev[k] : 0;
            const int c = (prev && k > bpp) ? prev[k - bpp] : 0;
            int predicted = 0;
            switch (in[0]) {
            case 0: predicted = 0; break;
            case 1: predicted = a; break;
            case 2: predicted = b; break;
            case 3: predicted = (a + b) / 2; break;
            case 4: predicted = standardPaeth(a, b, c); break;
            default: return false;
            }
            row[k] = static_cast<uint8_t>(in[k] + predicted);
        }
    }
    return true;
}

// Filters rows (each with a leading 0 type byte) with choice.
Bytes filtered(const Bytes& packed, uint32_t stride, int32_t choice, int32_t bitDepth)
{
    Bytes out(packed.size(), 0xEE);
    applyFilter(packed.data(), out.data(), static_cast<uint32_t>(packed.size() / stride), stride,
                choice, bitDepth);
    return out;
}

// Runs one row operation on a single row of data (above may be empty: first row).
Bytes filterOne(RowFilterOp op, const Bytes& row, const Bytes& above, uint32_t bpp, uint8_t& type)
{
    Bytes out(row.size(), 0xEE);
    type = op(out.data(), row.data(), above.empty() ? nullptr : above.data(),
              static_cast<uint32_t>(row.size()), bpp);
    return out;
}

Bytes randomRows(std::mt19937& random, uint32_t stride, uint32_t rows, bool smooth)
{
    Bytes packed(static_cast<size_t>(stride) * rows, 0);
    uint32_t level = 0;
    for (uint32_t r = 0; r < rows; ++r)
        for (uint32_t k = 1; k < stride; ++k) {
            level += smooth ? static_cast<uint32_t>(random() % 7) - 3 : static_cast<uint32_t>(random());
            packed[r * stride + k] = static_cast<uint8_t>(level);
        }
    return packed;
}

}   // namespace

TEST(RowFilters, BytesPerPixelIsWholeBytesPerPixel)
{
    EXPECT_EQ(filterBytesPerPixel(1), 1u);
    EXPECT_EQ(filterBytesPerPixel(2), 1u);
    EXPECT_EQ(filterBytesPerPixel(4), 1u);
    EXPECT_EQ(filterBytesPerPixel(8), 1u);
    EXPECT_EQ(filterBytesPerPixel(24), 3u);
    EXPECT_EQ(filterBytesPerPixel(32), 4u);
}

TEST(RowFilters, FirstRowHasNoRowAbove)
{
    const Bytes row = {200, 100, 50, 10, 250, 3};
    uint8_t type = 0xFF;
    EXPECT_EQ(filterOne(filterRowNone, row, {}, 3, type), row);
    EXPECT_EQ(type, 0);
    EXPECT_EQ(filterOne(filterRowSub, row, {}, 3, type), (Bytes{200, 100, 50, 66, 150, 209}));
    EXPECT_EQ(type, 1);
    EXPECT_EQ(filterOne(filterRowUp, row, {}, 3, type), row);
    EXPECT_EQ(type, 2);
    // Average: the first pixel is copied, the rest use half the left neighbour.
    EXPECT_EQ(filterOne(filterRowAverage, row, {}, 3, type), (Bytes{200, 100, 50, 166, 200, 234}));
    EXPECT_EQ(type, 3);
    // Paeth of (a, 0, 0) is a: the same as sub.
    EXPECT_EQ(filterOne(filterRowPaeth, row, {}, 3, type), (Bytes{200, 100, 50, 66, 150, 209}));
    EXPECT_EQ(type, 4);
}

TEST(RowFilters, LaterRowsUseTheRowAbove)
{
    const Bytes above = {0, 200, 10, 20};
    const Bytes row = {200, 210, 5, 30};
    uint8_t type = 0;
    EXPECT_EQ(filterOne(filterRowSub, row, above, 1, type), (Bytes{200, 10, 51, 25}));
    EXPECT_EQ(filterOne(filterRowUp, row, above, 1, type), (Bytes{200, 10, 251, 10}));
    // Average: (a + b) >> 1 in nine bits: 200 + 200 = 400 gives 200, not 72.
    EXPECT_EQ(filterOne(filterRowAverage, row, above, 1, type),
              (Bytes{200, 10, static_cast<uint8_t>(5 - (210 + 10) / 2), static_cast<uint8_t>(30 - (5 + 20) / 2)}));
    // Paeth: first byte x - b, then x - Paeth(a, b, c).
    EXPECT_EQ(filterOne(filterRowPaeth, row, above, 1, type),
              (Bytes{200, static_cast<uint8_t>(210 - standardPaeth(200, 200, 0)),
                     static_cast<uint8_t>(5 - standardPaeth(210, 10, 200)),
                     static_cast<uint8_t>(30 - standardPaeth(5, 20, 10))}));
}

TEST(RowFilters, LeftNeighbourIsTheWholePixel)
{
    const Bytes above = {1, 2, 3, 4, 5, 6, 7, 8};
    const Bytes row = {10, 20, 30, 40, 11, 22, 33, 44};
    uint8_t type = 0;
    EXPECT_EQ(filterOne(filterRowSub, row, above, 4, type), (Bytes{10, 20, 30, 40, 1, 2, 3, 4}));
    EXPECT_EQ(filterOne(filterRowAverage, row, above, 4, type),
              (Bytes{10, 19, 29, 38, 11 - 7, 22 - 13, 33 - 18, 44 - 24}));
    EXPECT_EQ(filterOne(filterRowPaeth, row, above, 4, type),
              (Bytes{9, 18, 27, 36, static_cast<uint8_t>(11 - standardPaeth(10, 5, 1)),
                     static_cast<uint8_t>(22 - standardPaeth(20, 6, 2)),
                     static_cast<uint8_t>(33 - standardPaeth(30, 7, 3)),
                     static_cast<uint8_t>(44 - standardPaeth(40, 8, 4))}));
}

TEST(RowFilters, EveryChoiceRoundTripsAtEveryPixelWidth)
{
    std::mt19937 random(1234);
    for (int32_t depth : {1, 2, 4, 8, 24, 32}) {
        const uint32_t bpp = filterBytesPerPixel(depth);
        for (uint32_t pixels : {1u, 2u, 3u, 7u, 31u}) {
            const uint32_t stride = pixels * bpp + 1;
            for (bool smooth : {false, true}) {
                const Bytes packed = randomRows(random, stride, 5, smooth);
                const Bytes source = packed;
                for (int32_t choice = 0; choice < kFilterChoiceCount; ++choice) {
                    const Bytes out = filtered(packed, stride, choice, depth);
                    Bytes restored;
                    ASSERT_TRUE(unfilter(out, stride, bpp, restored)) << choice;
                    EXPECT_EQ(restored, packed)
                        << "depth " << depth << " width " << pixels << " choice " << choice;
                    for (size_t r = 0; r < 5 && choice < FILTER_MIN_SUM; ++r)
                        EXPECT_EQ(out[r * stride], choice);
                }
                EXPECT_EQ(packed, source);   // the source rows are never changed
            }
        }
    }
}

TEST(RowFilters, ChoicesOutsideTheTableMeanNone)
{
    const Bytes packed = {0, 1, 2, 3, 0, 9, 8, 7};
    EXPECT_EQ(filtered(packed, 4, 6, 8), packed);
    EXPECT_EQ(filtered(packed, 4, -1, 8), packed);
    EXPECT_EQ(rowFilterFor(99), rowFilterFor(FILTER_NONE));
}

TEST(RowFilters, SingleRowsMatchTheWholeImage)
{
    std::mt19937 random(77);
    const uint32_t stride = 3 * 9 + 1;
    const Bytes packed = randomRows(random, stride, 6, true);
    for (int32_t choice = 0; choice < kFilterChoiceCount; ++choice) {
        const Bytes whole = filtered(packed, stride, choice, 24);
        Bytes rows(packed.size(), 0xEE);
        for (uint32_t r = 6; r-- > 0;)   // any order: each row reads only packed data
            filterImageRow(packed.data(), rows.data(), stride, r, choice, 3);
        EXPECT_EQ(rows, whole) << choice;
    }
}

TEST(MinimumSum, MagnitudesCountBytesAsSignedValues)
{
    EXPECT_EQ(filteredRowSum(Bytes{0}.data(), 1), 0u);
    EXPECT_EQ(filteredRowSum(Bytes{127}.data(), 1), 127u);
    EXPECT_EQ(filteredRowSum(Bytes{128}.data(), 1), 128u);
    EXPECT_EQ(filteredRowSum(Bytes{129}.data(), 1), 127u);
    EXPECT_EQ(filteredRowSum(Bytes{255}.data(), 1), 1u);
    EXPECT_EQ(filteredRowSum(Bytes{255, 128, 1}.data(), 3), 130u);
}

TEST(MinimumSum, AllZeroRowPicksNone)
{
    const Bytes zeros(6, 0);
    uint8_t type = 9;
    EXPECT_EQ(filterOne(filterRowMinSum, zeros, zeros, 3, type), zeros);
    EXPECT_EQ(type, 0);
    EXPECT_EQ(filterOne(filterRowMinSum, zeros, {}, 3, type), zeros);
    EXPECT_EQ(type, 0);
}

TEST(MinimumSum, TiesKeepTheLowerType)
{
    // First row 1, 1, 1, 1: none, up and average sum 4; sub and Paeth give
    // 1, 0, 0, 0 (sum 1): sub wins the tie.
    uint8_t type = 9;
    EXPECT_EQ(filterOne(filterRowMinSum, Bytes{1, 1, 1, 1}, {}, 1, type), (Bytes{1, 0, 0, 0}));
    EXPECT_EQ(type, 1);
    // A row equal to the one above: up and Paeth both give zeros; up is lower.
    EXPECT_EQ(filterOne(filterRowMinSum, Bytes{9, 50, 3}, Bytes{9, 50, 3}, 1, type), (Bytes{0, 0, 0}));
    EXPECT_EQ(type, 2);
}

TEST(MinimumSum, NegativeDifferencesAreSmall)
{
    // 10, 9: none sums 19; sub gives 10, 255 which is 10 + 1.
    uint8_t type = 9;
    EXPECT_EQ(filterOne(filterRowMinSum, Bytes{10, 9}, {}, 1, type), (Bytes{10, 255}));
    EXPECT_EQ(type, 1);
    // 128 counts 128: 0, 128 sums 128 for none and sub alike; average gives
    // 0, 128 as well; none keeps the tie.
    EXPECT_EQ(filterOne(filterRowMinSum, Bytes{0, 128}, {}, 1, type), (Bytes{0, 128}));
    EXPECT_EQ(type, 0);
}

TEST(MinimumSum, MixesTypesPerRow)
{
    // Row 0 rises (sub wins), row 1 repeats row 0 (up wins), row 2 is zero (none).
    const Bytes packed = {0, 10, 20, 30, 40, 0, 10, 20, 30, 40, 0, 0, 0, 0, 0};
    const Bytes out = filtered(packed, 5, FILTER_MIN_SUM, 8);
    EXPECT_EQ(out[0], 1);
    EXPECT_EQ(out[5], 2);
    EXPECT_EQ(out[10], 0);
    Bytes restored;
    ASSERT_TRUE(unfilter(out, 5, 1, restored));
    EXPECT_EQ(restored, packed);
}

TEST(Paeth, TiesPreferLeftThenAbove)
{
    EXPECT_EQ(paethPredictor(7, 7, 7), 7);
    // pa = pb = 0 < pc: a.
    EXPECT_EQ(paethPredictor(10, 10, 30), 10);
    // pa = pc = 1 < pb = 2: a.
    EXPECT_EQ(paethPredictor(8, 11, 10), 8);
    // pb = pc = 1 < pa = 2: b.
    EXPECT_EQ(paethPredictor(11, 8, 10), 8);
    // pc = 0 smallest: c.
    EXPECT_EQ(paethPredictor(10, 0, 5), 5);
    // Full-range values do not wrap: p = 255 + 255 - 0.
    EXPECT_EQ(paethPredictor(255, 255, 0), 255);
    EXPECT_EQ(paethPredictor(0, 255, 255), 0);
    for (int a = 0; a < 256; a += 15)
        for (int b = 0; b < 256; b += 17)
            for (int c = 0; c < 256; c += 13)
                ASSERT_EQ(paethPredictor(uint8_t(a), uint8_t(b), uint8_t(c)), standardPaeth(a, b, c));
}

TEST(FilterNames, NameTheTypeEachChoiceWrites)
{
    // The PNG standard's names of filter types 0 to 4, compared ignoring case.
    const std::string standardNames[] = {"none", "sub", "up", "average", "paeth"};
    const Bytes packed = {0, 10, 20, 30, 40, 0, 12, 21, 33, 40};
    for (int32_t choice = 0; choice < kFilterChoiceCount; ++choice) {
        std::string name = filterDisplayName(choice);
        std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
        const uint8_t type = filtered(packed, 5, choice, 8)[5];
        ASSERT_LT(type, 5) << choice;
        EXPECT_FALSE(name.empty()) << choice;
        // The adaptive choice picks a type per row, so it must read as none of them.
        if (choice == FILTER_MIN_SUM)
            EXPECT_EQ(std::count(std::begin(standardNames), std::end(standardNames), name), 0) << name;
        else
            EXPECT_EQ(name, standardNames[type]) << choice;
    }
}
