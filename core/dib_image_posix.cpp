// DibImage pixel memory on systems without device-independent bitmap sections:
// plain heap memory in the same bottom-up BGRA layout.

#include "core/dib_image.h"

#include <cstdlib>

#include "core/size_limits.h"

bool DibImage::allocateSection(int32_t w, int32_t h)
{
    uint32_t rowBytes = 0;
    uint32_t total = 0;
    if (w <= 0 || h <= 0 || !checkedMul(static_cast<uint32_t>(w), 4, rowBytes) ||
        !checkedMul(rowBytes, static_cast<uint32_t>(h), total))
        return false;
    void* memory = std::malloc(total);
    if (!memory)
        return false;
    // The block itself is the owning handle, as a section handle is on Windows.
    bitmap = memory;
    bits = static_cast<uint8_t*>(memory);
    width = w;
    height = h;
    topRow = bits + static_cast<size_t>(h - 1) * rowBytes;
    return true;
}

bool DibImage::freeSection()
{
    std::free(bitmap);
    return true;
}
