// DibImage operations that work on the pixel memory alone, the same on every
// platform. The platform parts (allocateSection, freeSection, copyFromBitmap,
// drawTo) live in dib_image_posix.cpp / dib_image_win32.cpp.

#include "core/dib_image.h"

#include <algorithm>
#include <cstring>

namespace {

// Blending and zooming rely on right shifts of negative values rounding toward
// minus infinity.
static_assert((int32_t(-3) >> 1) == -2 && (int64_t(-3) >> 1) == -2, "arithmetic right shift required");

constexpr uint32_t kCheckerLight = 0x00F0F0F0u;
constexpr uint32_t kCheckerDark = 0x00D0D0D0u;
constexpr uint32_t kZoomOutside = 0x00808080u;
// 100 * 2^18: one target pixel at zoom 100, in source pixels with 18 fraction bits.
constexpr int64_t kZoomUnit = 0x1900000;
constexpr int kZoomFractionBits = 18;

inline uint32_t loadWord(const uint8_t* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

inline void storeWord(uint8_t* p, uint32_t word)
{
    p[0] = uint8_t(word);
    p[1] = uint8_t(word >> 8);
    p[2] = uint8_t(word >> 16);
    p[3] = uint8_t(word >> 24);
}

inline size_t pixelCount(const DibImage& image)
{
    return size_t(image.width) * size_t(image.height);
}

}  // namespace

bool DibImage::create(int32_t w, int32_t h)
{
    release();
    return allocateSection(w, h);
}

bool DibImage::release()
{
    if (bitmap == nullptr)
        return false;
    const bool deleted = freeSection();
    bitmap = nullptr;
    bits = nullptr;
    topRow = nullptr;
    width = 0;
    height = 0;
    return deleted;
}

uint32_t DibImage::pixelAt(int32_t x, int32_t y) const
{
    return loadWord(rowAt(y) + size_t(x) * 4);
}

void DibImage::setPixelAt(int32_t x, int32_t y, uint32_t word)
{
    storeWord(rowAt(y) + size_t(x) * 4, word);
}

void DibImage::makeOpaque()
{
    if (isEmpty())
        return;
    uint8_t* p = bits;
    for (size_t n = pixelCount(*this); n != 0; --n, p += 4)
        p[3] = 255;
}

void DibImage::fillChecker()
{
    for (int32_t y = 0; y < height; ++y) {
        uint8_t* row = rowAt(y);
        const uint32_t rowPhase = uint32_t(y >> 3) & 1;
        for (int32_t x = 0; x < width; ++x) {
            const uint32_t phase = (uint32_t(x >> 3) & 1) ^ rowPhase;
            storeWord(row + size_t(x) * 4, phase ? kCheckerDark : kCheckerLight);
        }
    }
}

bool DibImage::scaleFrom(int32_t w, int32_t h, const DibImage& source)
{
    // Creating this image would free the source's memory if both were one image.
    if (&source == this || source.isEmpty())
        return false;
    if (!create(w, h))
        return false;
    const int32_t sw = source.width;
    const int32_t sh = source.height;
    if (w == sw && h == sh) {
        std::memcpy(bits, source.bits, pixelCount(*this) * 4);
        return true;
    }

    const double p = double(sw) / double(w);
    const double q = double(sh) / double(h);
    for (int32_t y = 0; y < h; ++y) {
        const int32_t sy0 = int32_t(int64_t(y) * sh / h);
        const int32_t sy1 = sy0 + 1 < sh ? sy0 + 1 : sy0;
        const double fy = y * q - sy0;
        const uint8_t* row0 = source.rowAt(sy0);
        const uint8_t* row1 = source.rowAt(sy1);
        uint8_t* out = rowAt(y);
        for (int32_t x = 0; x < w; ++x, out += 4) {
            const int32_t sx0 = int32_t(int64_t(x) * sw / w);
            const int32_t sx1 = sx0 + 1 < sw ? sx0 + 1 : sx0;
            const double fx = x * p - sx0;
            const uint8_t* p00 = row0 + size_t(sx0) * 4;
            const uint8_t* p10 = row0 + size_t(sx1) * 4;
            const uint8_t* p01 = row1 + size_t(sx0) * 4;
            const uint8_t* p11 = row1 + size_t(sx1) * 4;
            const int32_t a00 = p00[3], a10 = p10[3], a01 = p01[3], a11 = p11[3];
            const double alpha = (a00 * (1 - fx) + a10 * fx) * (1 - fy) + (a01 * (1 - fx) + a11 * fx) * fy;
            int32_t a = int32_t(alpha + 0.5);
            if (a > 255)
                a = 255;
            out[3] = uint8_t(a);
            if (a == 0) {
                out[0] = out[1] = out[2] = 255;
                continue;
            }
            for (int c = 0; c < 3; ++c) {
                // Grouped as the bilinear weights are defined, corner by corner.
                const double sum = (p00[c] * a00 * (1 - fx) + p10[c] * a10 * fx) * (1 - fy) +
                                   (p01[c] * a01 * (1 - fx) + p11[c] * a11 * fx) * fy;
                const int32_t v = int32_t(sum / a + 0.5);
                out[c] = uint8_t(v > 255 ? 255 : v);
            }
        }
    }
    return true;
}

void DibImage::blendAt(int32_t x, int32_t y, const DibImage& source)
{
    // Callers place the source inside this image; whatever lies outside is
    // clipped rather than written past the pixel memory.
    const int64_t firstCol = x < 0 ? -int64_t(x) : 0;
    const int64_t firstRow = y < 0 ? -int64_t(y) : 0;
    const int64_t lastCol = std::min<int64_t>(source.width, int64_t(width) - x);
    const int64_t lastRow = std::min<int64_t>(source.height, int64_t(height) - y);
    for (int64_t sy = firstRow; sy < lastRow; ++sy) {
        const uint8_t* src = source.rowAt(int32_t(sy)) + firstCol * 4;
        uint8_t* dst = rowAt(int32_t(y + sy)) + (x + firstCol) * 4;
        for (int64_t sx = firstCol; sx < lastCol; ++sx, src += 4, dst += 4) {
            const int32_t a = src[3];
            if (a == 0)
                continue;
            for (int c = 0; c < 3; ++c)
                dst[c] = uint8_t(dst[c] + (((int32_t(src[c]) - dst[c]) * a) >> 8));
        }
    }
}

void DibImage::renderZoomed(const DibImage& source, int32_t ox, int32_t oy, int32_t zoom)
{
    if (zoom <= 0)
        return;
    // Positions in 64 bits, so that far origins still map where they point.
    const int64_t step = kZoomUnit / zoom;
    for (int32_t j = 0; j < height; ++j) {
        const int64_t sy = (step * oy + step * j) >> kZoomFractionBits;
        uint8_t* out = rowAt(j);
        if (sy < 0 || sy >= source.height) {
            for (int32_t i = 0; i < width; ++i)
                storeWord(out + size_t(i) * 4, kZoomOutside);
            continue;
        }
        const uint8_t* src = source.rowAt(int32_t(sy));
        int64_t position = step * ox;
        for (int32_t i = 0; i < width; ++i, position += step, out += 4) {
            const int64_t sx = position >> kZoomFractionBits;
            if (sx < 0 || sx >= source.width)
                storeWord(out, kZoomOutside);
            else
                std::memcpy(out, src + sx * 4, 4);
        }
    }
}
