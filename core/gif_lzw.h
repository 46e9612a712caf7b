#pragma once
// LZW decoding of one GIF image's data (the minimum code size byte, then the
// data sub-blocks) into an index raster. Shared by the still GIF reader and
// the animated GIF reader.
//
// Reads only within [data, data + size). One decoder per image; not shared
// between threads.

#include <cstdint>

// Moves position past a chain of data sub-blocks and its 0 terminator in
// [data, data + size). False when the data ends first (position then unspecified).
bool skipGifSubBlocks(const uint8_t* data, uint32_t size, uint32_t& position);

// Where an image lies on the raster and how its rows are ordered.
struct GifPlacement {
    int32_t left;
    int32_t top;
    int32_t width;
    int32_t height;
    bool interlaced;
};

class GifLzwDecoder {
public:
    // What a sub-block size of 0 met before the image is complete means.
    enum class Terminator {
        TakeNextAsData,   // the byte after it is data and the one after that the next size
        EndsData,         // the data ends there: the image is incomplete
    };

    // Decodes the data starting at data[position] into raster (rasterWidth x
    // rasterHeight bytes, rows from the top, owned by the caller). Image
    // pixels at or beyond the raster's right or bottom edge are dropped; a
    // raster of 0 x 0 (raster may then be null) only checks the data.
    GifLzwDecoder(const uint8_t* data, uint32_t size, uint32_t position, const GifPlacement& placement,
                  uint8_t* raster, int32_t rasterWidth, int32_t rasterHeight,
                  Terminator terminator = Terminator::TakeNextAsData)
        : data_(data), size_(size), position_(position), placement_(placement), raster_(raster),
          rasterWidth_(rasterWidth), rasterHeight_(rasterHeight), terminator_(terminator),
          pass_(placement.interlaced ? 1 : 0)
    {
    }
    GifLzwDecoder(const GifLzwDecoder&) = delete;
    GifLzwDecoder& operator=(const GifLzwDecoder&) = delete;

    // True when the image is complete or an end code is met; false when the
    // data ends first or is corrupt beyond decoding.
    bool decode();
    // True after decode when every pixel of the image was decoded (not cut
    // short by an end code).
    bool complete() const { return complete_; }

private:
    static constexpr int kMaxCodes = 4096;

    bool nextDataByte(uint8_t& byte);
    bool readCode(uint32_t& code);
    // Stores one pixel and advances; true when the image is complete.
    bool put(uint8_t index);

    const uint8_t* data_;
    uint32_t size_;
    uint32_t position_;
    GifPlacement placement_;
    uint8_t* raster_;
    int32_t rasterWidth_;
    int32_t rasterHeight_;
    Terminator terminator_;

    uint32_t codeSize_ = 0;
    uint32_t reservoir_ = 0;      // unused bits of the bytes read so far, lowest first
    uint32_t reservoirBits_ = 0;
    uint32_t blockLeft_ = 0;      // data bytes left in the current sub-block
    int32_t x_ = 0;
    int32_t y_ = 0;
    int pass_;
    bool complete_ = false;

    uint8_t suffix_[kMaxCodes] = {};
    uint16_t prefix_[kMaxCodes] = {};
    uint8_t stack_[kMaxCodes] = {};
};
