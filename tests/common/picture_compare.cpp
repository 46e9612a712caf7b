#include "tests/common/picture_compare.h"

#include <cstring>

::testing::AssertionResult samePicture(const RgbaImage& actual, const RgbaImage& expected)
{
    if (actual.width != expected.width || actual.height != expected.height)
        return ::testing::AssertionFailure() << "size " << actual.width << "x" << actual.height << ", expected "
                                             << expected.width << "x" << expected.height;
    for (uint32_t y = 0; y < actual.height; ++y) {
        for (uint32_t x = 0; x < actual.width; ++x) {
            const uint8_t* a = actual.at(x, y);
            const uint8_t* e = expected.at(x, y);
            if (std::memcmp(a, e, 4) != 0)
                return ::testing::AssertionFailure()
                       << "pixel " << x << "," << y << " is " << int(a[0]) << "," << int(a[1]) << "," << int(a[2])
                       << "," << int(a[3]) << ", expected " << int(e[0]) << "," << int(e[1]) << "," << int(e[2])
                       << "," << int(e[3]);
        }
    }
    return ::testing::AssertionSuccess();
}
