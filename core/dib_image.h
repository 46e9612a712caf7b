#pragma once
// DibImage: the one in-memory picture of the system.
//
// 32 bits per pixel, bytes blue, green, red, alpha (the little-endian word
// 0xAARRGGBB); rows of exactly width * 4 bytes stored bottom-up: `bits` is the
// bottom row, `topRow` the top row. Coordinates (x, y) count from the top-left.
// On Windows the memory is a DIB section that can be drawn and blitted as it is;
// elsewhere it is plain heap memory in the same layout.
//
// Owns its pixel memory; not copyable; used by one thread at a time (a
// conversion worker may read `bits` while the owner leaves the image alone).

#include <cstdint>

// Opaque platform handles (HBITMAP, HDC on Windows).
using PlatformBitmap = void*;
using PlatformDeviceContext = void*;

class DibImage {
public:
    DibImage() = default;
    ~DibImage() { release(); }
    DibImage(const DibImage&) = delete;
    DibImage& operator=(const DibImage&) = delete;

    // Releases the current memory and makes a width x height image (contents
    // unspecified). False, image empty, when the size is not positive, its
    // byte count exceeds the limits, or the platform refuses.
    bool create(int32_t width, int32_t height);
    // False when the image was empty.
    bool release();
    bool isEmpty() const { return bits == nullptr; }

    // Windows only: copies a platform bitmap of any format (still owned by the
    // caller) into a new section of its size. Alpha as the platform writes it.
    bool copyFromBitmap(PlatformBitmap source);
    // Windows only: draws the whole image at (0,0) of the device context.
    void drawTo(PlatformDeviceContext dc) const;

    // Sets every alpha byte to 255.
    void makeOpaque();
    // 8x8 squares of 0x00F0F0F0 (top-left) and 0x00D0D0D0, alpha 0.
    void fillChecker();
    // Creates this image at w x h and resamples source into it (bilinear,
    // alpha-weighted, corners aligned). False when the size is refused.
    bool scaleFrom(int32_t w, int32_t h, const DibImage& source);
    // Composites source over this image with its top-left at (x, y). The caller
    // places the source wholly inside this image.
    void blendAt(int32_t x, int32_t y, const DibImage& source);
    // Fills this image with a nearest-neighbour magnification of source by
    // zoom percent, the origin (ox, oy) in target pixels; outside is 0x00808080.
    void renderZoomed(const DibImage& source, int32_t ox, int32_t oy, int32_t zoom);

    // Pixel word at (x, y) counted from the top-left; the caller checks bounds.
    uint32_t pixelAt(int32_t x, int32_t y) const;
    void setPixelAt(int32_t x, int32_t y, uint32_t word);
    // First byte of picture row y (0 = top).
    uint8_t* rowAt(int32_t y) const { return topRow - static_cast<intptr_t>(y) * width * 4; }

    PlatformBitmap bitmap = nullptr;   // owning handle; null when empty
    uint8_t* bits = nullptr;           // first byte of pixel memory (bottom row)
    uint8_t* topRow = nullptr;         // bits + (height - 1) * width * 4
    int32_t width = 0;
    int32_t height = 0;
    int16_t hasAlpha = 0;              // alpha bytes carry the source's transparency

private:
    // Platform parts (dib_image_posix.cpp / dib_image_win32.cpp).
    bool allocateSection(int32_t w, int32_t h);
    bool freeSection();   // the platform's deletion result
};
