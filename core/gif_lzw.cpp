#include "core/gif_lzw.h"

#include <cstddef>

bool GifLzwDecoder::nextDataByte(uint8_t& byte)
{
    if (blockLeft_ == 0) {
        // With TakeNextAsData a size byte of 0 here does not end the data:
        // the byte after it is taken as data and the one after that as the
        // next size byte.
        if (position_ >= size_)
            return false;
        blockLeft_ = data_[position_++];
        if (blockLeft_ == 0 && terminator_ == Terminator::EndsData)
            return false;
    }
    if (position_ >= size_)
        return false;
    byte = data_[position_++];
    if (blockLeft_ > 0)
        --blockLeft_;
    return true;
}

bool GifLzwDecoder::readCode(uint32_t& code)
{
    while (reservoirBits_ < codeSize_) {
        uint8_t byte = 0;
        if (!nextDataByte(byte))
            return false;
        reservoir_ |= uint32_t(byte) << reservoirBits_;
        reservoirBits_ += 8;
    }
    code = reservoir_ & ((1u << codeSize_) - 1);
    reservoir_ >>= codeSize_;
    reservoirBits_ -= codeSize_;
    return true;
}

bool GifLzwDecoder::put(uint8_t index)
{
    static const int kStep[5] = {1, 8, 8, 4, 2};
    static const int kFirstRow[5] = {0, 0, 4, 2, 1};
    if (x_ < placement_.width && y_ < placement_.height) {
        const int32_t sx = placement_.left + x_;
        const int32_t sy = placement_.top + y_;
        if (sx < rasterWidth_ && sy < rasterHeight_)
            raster_[size_t(sy) * size_t(rasterWidth_) + size_t(sx)] = index;
    }
    if (++x_ < placement_.width)
        return false;
    x_ = 0;
    y_ += kStep[pass_];
    if (y_ < placement_.height)
        return false;
    if (pass_ == 0 || pass_ == 4)
        return complete_ = true;
    do {
        ++pass_;
    } while (pass_ <= 4 && kFirstRow[pass_] >= placement_.height);
    if (pass_ > 4)
        return complete_ = true;
    y_ = kFirstRow[pass_];
    return false;
}

bool GifLzwDecoder::decode()
{
    if (position_ >= size_)
        return false;
    const uint32_t minCodeSize = data_[position_++];
    if (minCodeSize < 2 || minCodeSize > 9)
        return false;
    const uint32_t clearCode = 1u << minCodeSize;
    const uint32_t endCode = clearCode + 1;
    const uint32_t firstFree = clearCode + 2;
    uint32_t nextCode = firstFree;
    codeSize_ = minCodeSize + 1;
    uint32_t limit = 1u << codeSize_;
    uint32_t previous = 0;
    uint8_t firstChar = 0;

    for (;;) {
        uint32_t code = 0;
        if (!readCode(code))
            return false;
        if (code == endCode)
            return true;
        if (code == clearCode) {
            nextCode = firstFree;
            codeSize_ = minCodeSize + 1;
            limit = 1u << codeSize_;
            do {
                if (!readCode(code))
                    return false;
            } while (code == clearCode);
            if (code == endCode)
                return true;
            if (code >= nextCode)
                code = 0;
            previous = code;
            firstChar = uint8_t(code);
            if (put(firstChar))
                return true;
            continue;
        }

        int depth = 0;
        uint32_t current = code;
        if (code >= nextCode) {
            stack_[depth++] = firstChar;
            current = previous;
        }
        // Corrupt data can chain entries into a loop; the stack bounds the walk.
        while (current >= firstFree) {
            if (depth >= kMaxCodes - 1)
                return false;
            stack_[depth++] = suffix_[current];
            current = prefix_[current];
        }
        const uint8_t root = uint8_t(current);
        stack_[depth++] = root;
        if (nextCode < limit) {
            suffix_[nextCode] = root;
            prefix_[nextCode] = uint16_t(previous);
            ++nextCode;
            previous = code;
            firstChar = root;
        }
        if (nextCode >= limit && codeSize_ < 12) {
            limit <<= 1;
            ++codeSize_;
        }
        while (depth > 0)
            if (put(stack_[--depth]))
                return true;
    }
}

bool skipGifSubBlocks(const uint8_t* data, uint32_t size, uint32_t& position)
{
    for (;;) {
        if (position >= size)
            return false;
        const uint32_t length = data[position++];
        if (length == 0)
            return true;
        if (size - position < length)
            return false;
        position += length;
    }
}
