#include "fuzz/lossless_check.h"

#include <cstdio>

RgbaImage expectedConversionPixels(const uint8_t* pixels, int32_t width, int32_t height, bool hasAlpha,
                                   int32_t transparentColour)
{
    RgbaImage out;
    out.width = uint32_t(width);
    out.height = uint32_t(height);
    out.pixels.resize(size_t(out.width) * out.height * 4);
    for (int32_t y = 0; y < height; ++y) {
        // Picture row y is memory row height - 1 - y.
        const uint8_t* src = pixels + size_t(height - 1 - y) * size_t(width) * 4;
        uint8_t* dst = &out.pixels[size_t(y) * out.width * 4];
        for (int32_t x = 0; x < width; ++x, src += 4, dst += 4) {
            dst[0] = src[2];
            dst[1] = src[1];
            dst[2] = src[0];
            if (hasAlpha) {
                dst[3] = src[3];
            } else {
                const int32_t colour = int32_t((uint32_t(src[2]) << 16) | (uint32_t(src[1]) << 8) | src[0]);
                dst[3] = transparentColour != -1 && colour == transparentColour ? 0 : 255;
            }
        }
    }
    return out;
}

std::string comparePictures(const RgbaImage& expected, const RgbaImage& actual)
{
    char text[160];
    if (expected.width != actual.width || expected.height != actual.height) {
        std::snprintf(text, sizeof text, "size %ux%u decoded as %ux%u", expected.width, expected.height,
                      actual.width, actual.height);
        return text;
    }
    for (uint32_t y = 0; y < expected.height; ++y) {
        for (uint32_t x = 0; x < expected.width; ++x) {
            const uint8_t* e = expected.at(x, y);
            const uint8_t* a = actual.at(x, y);
            if (e[0] != a[0] || e[1] != a[1] || e[2] != a[2] || e[3] != a[3]) {
                std::snprintf(text, sizeof text,
                              "pixel (%u,%u) is RGBA %02x%02x%02x%02x, decoded as %02x%02x%02x%02x", x, y, e[0],
                              e[1], e[2], e[3], a[0], a[1], a[2], a[3]);
                return text;
            }
        }
    }
    return std::string();
}

std::string checkLosslessFile(const std::string& pngPath, const uint8_t* pixels, int32_t width, int32_t height,
                              bool hasAlpha, int32_t transparentColour)
{
    RgbaImage decoded;
    if (!decodePngWithLibpng(pngPath, decoded))
        return "libpng refuses the output";
    const std::string difference =
        comparePictures(expectedConversionPixels(pixels, width, height, hasAlpha, transparentColour), decoded);
    return difference.empty() ? difference : "output differs from the source: " + difference;
}
