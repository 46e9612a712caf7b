#include "core/byte_input.h"

#include <cstring>

#include "core/png_bytes.h"

namespace {

// The largest seek distance one FileHandle::seek takes (a signed 32-bit distance).
constexpr uint32_t kMaxSeekStep = 0x40000000u;

}  // namespace

bool ByteInput::openFile(const char* path)
{
    close();
    if (!file_.openRead(path))
        return false;
    size_ = file_.size();
    return true;
}

void ByteInput::openMemory(const uint8_t* data, uint32_t size)
{
    close();
    data_ = data;
    size_ = data ? size : 0;
}

void ByteInput::close()
{
    if (file_.isOpen())
        file_.close();
    data_ = nullptr;
    size_ = 0;
    position_ = 0;
}

uint32_t ByteInput::read(void* buffer, uint32_t n)
{
    if (!data_) {
        const uint32_t got = file_.read(buffer, n);
        position_ += got;
        return got;
    }
    const uint64_t left = size_ - position_;
    const uint32_t count = n < left ? n : uint32_t(left);
    if (count > 0)
        std::memcpy(buffer, data_ + position_, count);
    position_ += count;
    return count;
}

uint32_t ByteInput::readUInt32BE(uint32_t& value)
{
    uint8_t bytes[4];
    const uint32_t got = read(bytes, 4);
    if (got == 4)
        value = readBE32(bytes);
    return got;
}

bool ByteInput::skip(uint32_t n)
{
    if (data_) {
        position_ = n < size_ - position_ ? position_ + n : size_;
        return true;
    }
    while (n > 0) {
        const uint32_t step = n > kMaxSeekStep ? kMaxSeekStep : n;
        if (file_.seek(int32_t(step), SeekOrigin::Current) == 0xFFFFFFFFu)
            return false;
        n -= step;
        position_ += step;
    }
    return true;
}
