#pragma once
// GIF reader: the first image of a GIF87a or GIF89a file as an index raster of
// the logical screen's size, with its colour table and transparent index, and
// its conversion into a DibImage.
//
// Animation, disposal and later frames play no part. Screen pixels the first
// image does not cover hold the background index. Indices at or above the
// colour table's entry count show the background entry.
//
// Transparency. The transparent index is reported as one transparent colour
// (its table entry) and the image loads opaque, unless pixels of another index
// share that colour: then one colour cannot tell them apart, so the image loads
// with alpha (`hasAlpha` set; pixels of the transparent index get alpha 0) and
// no transparent colour. When no pixel uses the transparent index and its
// colour is an opaque pixel's colour, no transparent colour is reported.
//
// The whole file is read into memory and parsed with bounds checks; reading
// never goes beyond its end. A file whose LZW data ends (inside a sub-block or
// where a sub-block size is due) before the image is complete and before an
// end code fails to load.
//
// A GifReader is used by one thread at a time.

#include <cstdint>

#include "core/byte_buffer.h"

class DibImage;

// What the reader fills; owned by the caller.
struct GifInfo {
    int32_t screenWidth = 0;
    int32_t screenHeight = 0;
    // Entries of the colour table in force (global, or the first image's local
    // table); 0 when the file has neither.
    int32_t paletteCount = 0;
    uint8_t backgroundIndex = 0;
    // -1, or the index named by a graphic control extension with its
    // transparency flag set.
    int32_t transparentIndex = -1;
    // The transparent colour to report beside the image: -1 for none, else
    // 0x00RRGGBB of the transparent index's entry (see above for when it is
    // -1 although transparentIndex is set).
    int32_t transparentColour = -1;
    // True when pixels of the transparent index are to carry alpha 0 because
    // another index in use has the same colour (see above).
    int16_t hasAlpha = 0;
    // screenWidth x screenHeight indices, rows from the top.
    ByteBuffer indices;
    // Always 768 bytes (256 entries of red, green, blue), zero where no table
    // entry was given.
    ByteBuffer palette;
};

class GifReader {
public:
    GifReader() = default;
    GifReader(const GifReader&) = delete;
    GifReader& operator=(const GifReader&) = delete;

    // Reads the first image of the file at path. False when the file cannot be
    // read, is not a GIF, holds no image, is too large, or its data is
    // malformed; the content of info is then unspecified.
    bool read(const char* path, GifInfo& info);
    // The same for the size bytes at data (a whole GIF file's content), which
    // must stay valid during the call.
    bool read(const uint8_t* data, uint32_t size, GifInfo& info);
    // Writes the index raster into image, created by the caller at
    // screenWidth x screenHeight. Alpha 255, except alpha 0 for pixels of the
    // transparent index when info.hasAlpha is set.
    static void convertToImage(const GifInfo& info, DibImage& image);

private:
    bool readScreen(GifInfo& info);
    bool readImage(GifInfo& info);
    bool skipSubBlocks();
    // Copies a colour table of 2^((packed & 7) + 1) entries at the cursor.
    bool readColourTable(GifInfo& info, uint8_t packed);
    // Settles transparentColour and hasAlpha from the indices the pixels use.
    static void resolveTransparency(GifInfo& info);

    bool available(uint32_t n) const { return size_ - position_ >= n; }

    const uint8_t* bytes_ = nullptr;  // the whole file's bytes, during read
    uint32_t position_ = 0;       // parse cursor into bytes_
    uint32_t size_ = 0;           // bytes of file data
};

// Loads the first image of a GIF file into image: read, create at the screen
// size, convert, set hasAlpha, and report the transparent colour (-1 for
// none). On a failed read the image and transparentColour are left
// untouched; when the image cannot be created the image is empty. False on
// any failure.
bool loadGifFile(const char* path, DibImage& image, int32_t& transparentColour);
// loadGifFile for a GIF file's content held in memory (size bytes at data).
bool loadGifMemory(const uint8_t* data, uint32_t size, DibImage& image, int32_t& transparentColour);
