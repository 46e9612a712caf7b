#pragma once
// Sequential reads from either an open file or bytes in memory, so that a
// reader that walks its input front to back has one body for both.
//
// A file source behaves exactly as its FileHandle (short reads at the end,
// seeks past the end allowed, ioFailed after a failed read or seek). A memory
// source reads the caller's bytes, which must stay valid and unchanged while
// it is open; it never fails: reads stop at the end of the bytes, and a skip
// past the end leaves the source at the end. One thread at a time.

#include <cstdint>

#include "core/file_handle.h"

class ByteInput {
public:
    ByteInput() = default;
    ByteInput(const ByteInput&) = delete;
    ByteInput& operator=(const ByteInput&) = delete;

    // Closes what was open, then opens the file at path; false when it cannot be opened.
    bool openFile(const char* path);
    // Closes what was open, then reads the size bytes at data.
    void openMemory(const uint8_t* data, uint32_t size);
    void close();

    // Up to n bytes; the count read, 0 at the end and on failure.
    uint32_t read(void* buffer, uint32_t n);
    // 4 bytes as a big-endian value, stored only when all 4 were read; the count read.
    uint32_t readUInt32BE(uint32_t& value);
    // Moves forward by n bytes; false when the platform refuses the seek.
    bool skip(uint32_t n);
    // True once a file read or seek has failed (never for memory).
    bool ioFailed() const { return file_.ioFailed(); }
    // Bytes between the position and the end of the source (for a file, its
    // size when it was opened); 0 past the end.
    uint64_t bytesLeft() const { return position_ < size_ ? size_ - position_ : 0; }

private:
    FileHandle file_;
    const uint8_t* data_ = nullptr;   // the memory source; null for a file
    uint64_t size_ = 0;               // bytes at data_, or the file's size
    uint64_t position_ = 0;           // bytes read and skipped since the source was opened
};
