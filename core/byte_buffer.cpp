#include "core/byte_buffer.h"

#include <cstdlib>
#include <cstring>

uint8_t* ByteBuffer::allocate(uint32_t n, bool zeroFill)
{
    release();
    // malloc(0) may return null; a zero-byte buffer is still a valid block.
    auto* block = static_cast<uint8_t*>(zeroFill ? std::calloc(n ? n : 1, 1) : std::malloc(n ? n : 1));
    if (!block)
        return nullptr;
    data = block;
    size = n;
    return data;
}

bool ByteBuffer::resize(uint32_t n)
{
    if (!data)
        return false;
    auto* block = static_cast<uint8_t*>(std::realloc(data, n ? n : 1));
    if (!block)
        return false;
    data = block;
    size = n;
    return true;
}

void ByteBuffer::release()
{
    std::free(data);
    data = nullptr;
    size = 0;
}

uint8_t* AppendBuffer::init(uint32_t initialCapacity, uint32_t step)
{
    release();
    data = static_cast<uint8_t*>(std::malloc(initialCapacity ? initialCapacity : 1));
    if (!data)
        return nullptr;
    capacity = initialCapacity;
    growStep = step;
    used = 0;
    return data;
}

bool AppendBuffer::append(const void* bytes, uint32_t n)
{
    if (!data)
        return false;
    if (static_cast<uint64_t>(used) + n > capacity) {
        // Grow by whole steps until the record fits, so a record larger than
        // one step can never overrun the block.
        uint64_t needed = static_cast<uint64_t>(used) + n;
        uint64_t newCapacity = capacity;
        do {
            newCapacity += growStep ? growStep : needed - newCapacity;
        } while (newCapacity < needed);
        if (newCapacity > 0xFFFFFFFFu)
            return false;
        auto* block = static_cast<uint8_t*>(std::realloc(data, static_cast<size_t>(newCapacity)));
        if (!block)
            return false;
        data = block;
        capacity = static_cast<uint32_t>(newCapacity);
    }
    std::memcpy(data + used, bytes, n);
    used += n;
    return true;
}

void AppendBuffer::release()
{
    std::free(data);
    data = nullptr;
    capacity = 0;
    used = 0;
}
