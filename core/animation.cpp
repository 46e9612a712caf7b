#include "core/animation.h"

#include <cstddef>
#include <new>

#include "core/animation_pixels.h"

uint64_t Animation8::pixelCount() const
{
    uint64_t count = hiddenDefault ? uint64_t(width) * height : 0;
    for (const AnimationFrame& frame : frames)
        count += uint64_t(frame.width) * frame.height;
    return count;
}

bool assignPixels(std::vector<uint32_t>& pixels, uint32_t count, uint32_t value)
{
    std::vector<uint32_t>().swap(pixels);
    const size_t bytes = size_t(count) * sizeof(uint32_t);
    void* probe = ::operator new(bytes ? bytes : 1, std::nothrow);
    if (probe == nullptr)
        return false;
    ::operator delete(probe);
    try {
        pixels.assign(count, value);
    } catch (const std::bad_alloc&) {
        std::vector<uint32_t>().swap(pixels);
        return false;
    }
    return true;
}
