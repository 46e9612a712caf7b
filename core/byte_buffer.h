#pragma once
// Owned byte blocks: ByteBuffer (one block of a fixed size) and AppendBuffer
// (a byte array that grows by a fixed step as records are appended).
//
// Heap exhaustion is reported through results; nothing throws. Not copyable;
// moving hands the block over and leaves the source empty.

#include <cstdint>
#include <utility>

class ByteBuffer {
public:
    ByteBuffer() = default;
    ~ByteBuffer() { release(); }
    ByteBuffer(const ByteBuffer&) = delete;
    ByteBuffer& operator=(const ByteBuffer&) = delete;
    ByteBuffer(ByteBuffer&& other) noexcept
        : data(std::exchange(other.data, nullptr)), size(std::exchange(other.size, 0u))
    {
    }
    ByteBuffer& operator=(ByteBuffer&& other) noexcept
    {
        if (this != &other) {
            release();
            data = std::exchange(other.data, nullptr);
            size = std::exchange(other.size, 0u);
        }
        return *this;
    }

    // Releases the current block and takes n bytes, zero-filled when asked.
    // Returns the block, or null (buffer left empty) when the heap refuses.
    uint8_t* allocate(uint32_t n, bool zeroFill);
    // Reallocates an existing block to n bytes keeping its content. Does nothing
    // on an empty buffer; keeps block and size when the heap refuses.
    // Returns true when the buffer now holds n bytes.
    bool resize(uint32_t n);
    void release();

    uint8_t* data = nullptr;
    uint32_t size = 0;   // bytes in data; 0 when data is null
};

class AppendBuffer {
public:
    AppendBuffer() = default;
    ~AppendBuffer() { release(); }
    AppendBuffer(const AppendBuffer&) = delete;
    AppendBuffer& operator=(const AppendBuffer&) = delete;
    AppendBuffer(AppendBuffer&& other) noexcept
        : data(std::exchange(other.data, nullptr)),
          capacity(std::exchange(other.capacity, 0u)),
          used(std::exchange(other.used, 0u)),
          growStep(std::exchange(other.growStep, 0u))
    {
    }
    AppendBuffer& operator=(AppendBuffer&& other) noexcept
    {
        if (this != &other) {
            release();
            data = std::exchange(other.data, nullptr);
            capacity = std::exchange(other.capacity, 0u);
            used = std::exchange(other.used, 0u);
            growStep = std::exchange(other.growStep, 0u);
        }
        return *this;
    }

    // Releases any block, allocates capacity bytes, sets used to 0. Null when refused.
    uint8_t* init(uint32_t capacity, uint32_t growStep);
    // Appends n bytes, growing by growStep (or more, when n needs it) when they do
    // not fit. False, block unchanged, when there is no block or the heap refuses.
    bool append(const void* bytes, uint32_t n);
    bool appendByte(uint8_t b) { return append(&b, 1); }
    void release();

    uint8_t* data = nullptr;
    uint32_t capacity = 0;
    uint32_t used = 0;
    uint32_t growStep = 0;
};
