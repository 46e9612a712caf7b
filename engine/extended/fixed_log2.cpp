#include "engine/extended/fixed_log2.h"

namespace {

constexpr uint64_t kOneQ30 = uint64_t(1) << 30;
constexpr uint32_t kTableBits = 14;
constexpr uint32_t kTableSize = 1u << kTableBits;

// fixedLog2 of x below kTableSize, bit by bit.
uint32_t exactLog2(uint32_t x)
{
    uint32_t whole = 0;
    while ((x >> whole) > 1)
        ++whole;
    return whole << 16 | fractionLog2(uint64_t(x) << (30 - whole));
}

class Log2Table {
public:
    Log2Table()
    {
        values_[0] = 0;
        for (uint32_t x = 1; x < kTableSize; ++x)
            values_[x] = exactLog2(x);
    }
    uint32_t operator[](uint32_t x) const { return values_[x]; }

private:
    uint32_t values_[kTableSize];
};

const Log2Table& table()
{
    static const Log2Table instance;
    return instance;
}

}   // namespace

uint32_t fractionLog2(uint64_t z)
{
    // Squaring doubles the logarithm: a square of 2 or more holds the next bit.
    uint32_t result = 0;
    for (uint32_t bit = 1u << 15; bit != 0; bit >>= 1) {
        z = (z * z) >> 30;
        if (z >= kOneQ30 * 2) {
            z >>= 1;
            result |= bit;
        }
    }
    return result;
}

uint32_t fixedLog2(uint32_t x)
{
    uint32_t shift = 0;
    while ((x >> shift) >= kTableSize)
        ++shift;
    return table()[x >> shift] + (shift << 16);
}

uint64_t countLog2Sum(const uint32_t* counts, uint32_t size)
{
    uint64_t sum = 0;
    for (uint32_t i = 0; i < size; ++i)
        if (counts[i] > 1)
            sum += uint64_t(counts[i]) * fixedLog2(counts[i]);
    return sum;
}
