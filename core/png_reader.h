#pragma once
// PNG reader: turns a PNG file into a DibImage plus the file's transparent colour.
//
// Accepted: greyscale and palette images of 1, 2, 4 or 8 bits, RGB and RGBA at
// 8 bits per sample, not interlaced. Refused: 16-bit samples, greyscale with
// alpha, interlaced images, unknown colour types and methods. Chunk CRCs are not
// checked. The file (or its bytes in memory) is walked chunk by chunk with
// seeks; only the inflated rows are held in memory.
//
// Extended input (PngReadOptions::extendedInput) accepts more: interlaced
// (Adam7) images of every kind above, greyscale with alpha at 8 bits, and
// 16-bit greyscale, RGB, RGBA and grey+alpha images in which every decoded
// sample has equal high and low bytes. Those load exactly as the 8-bit image
// of the high bytes; a 16-bit tRNS value counts likewise, and one with unequal
// bytes matches no pixel. Any other 16-bit image is refused, never reduced,
// unless the caller takes its exact samples (PngReadOptions::wideSamples):
// then it loads as the image of its samples' high bytes, and the samples
// themselves go to the caller (see there).
// With extended input the file's sRGB, gAMA, cHRM and iCCP chunks met before
// the image data can be collected whole (length, type, data, CRC), in file
// order, each type at most once (the first with a correct CRC); a chunk with a
// wrong CRC or above kMaxColourChunkBytes is left out.
//
// Transparency. Whenever one transparent colour describes the file's
// transparency exactly, the image loads opaque and that colour is reported
// (RGB colour key, the greyscale tRNS grey, a palette whose transparent entries
// in use share one colour that no opaque entry in use has). A palette image
// whose transparency one colour cannot express (partial alphas in use, fully
// transparent entries of different colours, or a transparent colour that opaque
// pixels also have) loads with each pixel's own alpha instead: `hasAlpha` is set
// and the transparent colour is -1, so that no pixel changes on conversion.
//
// tRNS beside an alpha channel (not allowed by the format) is ignored, and so
// are RGB and grey samples that no pixel of the image's depth can have. Of
// several palette tRNS chunks the last one counts.
//
// Malformed data: a palette index at or above the palette's entry count gives
// opaque black. A file that ends inside or before the image data loads with
// what was decoded; the missing filtered bytes count as zeros, as long as the
// bytes after the header and palette could reach all but kMaxUnreachablePixels
// of the picture (size_limits.h): a file whose data falls shorter is a header
// alone and is refused before anything of the picture's size is allocated.
// Compressed data beyond the last row is ignored. Corrupt compressed data, and
// an empty IDAT chunk met while rows are still missing, fail the read. A chunk length of
// 2^31 or more ends the chunk walk (as the end of the file does).
//
// A PngReader is used by one thread at a time; separate readers are independent.

#include <cstdint>

#include "core/byte_buffer.h"
#include "core/byte_input.h"

class DibImage;

// The largest colour chunk (in practice an iCCP profile) collected, data bytes.
constexpr uint32_t kMaxColourChunkBytes = 16u << 20;

// What a read may do beyond the default (see above).
struct PngReadOptions {
    bool extendedInput = false;
    // With extendedInput: when not null, released and then filled with the
    // colour chunks (empty when the file has none). Owned by the caller.
    AppendBuffer* colourChunks = nullptr;
    // With extendedInput: when not null, released, and filled only for a
    // 16-bit image with a sample of unequal bytes, which then loads instead
    // of being refused. It receives width * height pixels, top row first,
    // each red, green, blue and alpha of 16 bits, most significant byte first
    // (8 bytes a pixel): grey gives red, green and blue alike; alpha is the
    // file's alpha channel, or without one 0 for the pixels whose samples all
    // equal the tRNS key and 65535 for the others. The picture loaded is the
    // samples' high bytes (alpha as the file's alpha channel says; a key's
    // high bytes are the transparent colour). Stays empty for every other
    // image. Owned by the caller.
    ByteBuffer* wideSamples = nullptr;
};

// What the reader fills; owned by the caller.
struct PngInfo {
    // Bits per pixel of the decoded rows: the bit depth (1, 2, 4, 8) for
    // greyscale and palette images, 16 for grey+alpha, 24 for RGB, 32 for RGBA
    // (16-bit files count as their 8-bit reduction).
    uint16_t pixelBits = 0;
    // Entries in `palette`; for greyscale images the synthesized grey ramp;
    // 0 for RGB and RGBA.
    uint16_t paletteCount = 0;
    uint32_t width = 0;
    uint32_t height = 0;
    // Bytes of one filtered row including its leading filter-type byte.
    int32_t rowBytes = 0;
    // -1 for none, else 0x00RRGGBB.
    int32_t transparentColour = -1;
    // True when the image carries per-pixel alpha: RGBA images, and palette
    // images whose transparency one colour cannot express (see above).
    int16_t hasAlpha = 0;
    // `height` rows of `rowBytes` bytes, unfiltered, top to bottom and no longer
    // interlaced (each row starts with a byte that is no longer meaningful:
    // the row's filter type, or 0 for rows rebuilt from a 16-bit or interlaced file).
    ByteBuffer imageData;
    // 256 entries of red, green, blue (768 bytes) for greyscale and palette
    // images; the first `paletteCount` are valid, the rest are zero.
    ByteBuffer palette;
    // 256 alpha bytes, one per palette entry (255 where tRNS says nothing);
    // allocated for palette images only.
    ByteBuffer paletteAlpha;
};

class PngReader {
public:
    PngReader() = default;
    PngReader(const PngReader&) = delete;
    PngReader& operator=(const PngReader&) = delete;

    // Reads the file at path into info. False when the file cannot be opened,
    // is not a PNG of a supported kind, is too large, or its image data is
    // corrupt; the content of info is then unspecified.
    bool read(const char* path, PngInfo& info, const PngReadOptions& options = PngReadOptions());
    // The same for the size bytes at data (a whole PNG file's content), which
    // must stay valid during the call. Gives what read gives for a file of these bytes.
    bool read(const uint8_t* data, uint32_t size, PngInfo& info, const PngReadOptions& options = PngReadOptions());
    // Writes the decoded rows into image, which the caller has created at
    // info.width x info.height. Alpha 255 unless info.hasAlpha is set.
    static void convertToImage(const PngInfo& info, DibImage& image);

private:
    // read on the source just opened; closes it.
    bool readOpened(PngInfo& info, const PngReadOptions& options);
    bool readHeader(PngInfo& info);
    bool readPalette(PngInfo& info);
    // Inflates the IDAT chunks into target (totalBytes, zero-filled first).
    bool inflateImageData(ByteBuffer& target, uint32_t totalBytes);
    // Reconstructs `rows` filtered rows of `stride` bytes in place; bpp is the
    // filters' byte distance to the pixel on the left.
    static void unfilterRows(uint8_t* data, uint32_t stride, uint32_t rows, uint32_t bpp);
    // The stored rows of a 16-bit or interlaced file as info's rows: the
    // passes unfiltered, reduced to 8 bits and placed. When a 16-bit sample
    // has unequal bytes, false without wideSamples_; with it the samples go
    // there too (PngReadOptions::wideSamples), false when that block is
    // refused.
    bool rebuildRows(ByteBuffer& stored, PngInfo& info) const;
    // The exact samples of a 16-bit image whose stored rows (passes
    // unfiltered) do not fit 8 bits, into wideSamples_; false when the block
    // is refused.
    bool storeWideSamples(const uint8_t* stored, PngInfo& info) const;
    // Settles transparentColour / hasAlpha of a palette image from the alphas
    // of the entries its pixels use.
    static void resolvePaletteTransparency(PngInfo& info);

    // Finds the next chunk of the given type from the current file position,
    // reading any tRNS passed on the way. On success the file is positioned at
    // the chunk's data and its length is stored.
    bool findChunk(const char* type, uint32_t& length);
    // Reads a tRNS chunk's data (file at its start) and then skips the rest of
    // the chunk and its CRC.
    void readTransparency(uint32_t length);
    // Appends a colour chunk (file at its data) to colourChunks_ when its CRC
    // holds and its type is not there yet; then moves past the chunk's CRC.
    // False when the file ends inside the chunk.
    bool keepColourChunk(const uint8_t type[4], uint32_t length);
    // Moves forward by n bytes; false when that is not possible.
    bool skip(uint32_t n);

    ByteInput input_;            // the file, or the bytes in memory
    PngInfo* info_ = nullptr;     // the record being filled during read
    AppendBuffer* colourChunks_ = nullptr;   // null: colour chunks are skipped
    ByteBuffer* wideSamples_ = nullptr;      // null: 16-bit samples must fit 8 bits
    uint8_t wideKey_[6] = {};     // a 16-bit image's tRNS key as red, green, blue (grey thrice), big-endian
    bool wideKeySet_ = false;
    uint32_t keptColourChunks_ = 0;          // bit per type collected so far
    bool extended_ = false;       // the extended input of PngReadOptions
    uint8_t bitDepth_ = 0;        // as stored: 16 for 16-bit files
    uint8_t colourType_ = 0;
    bool interlaced_ = false;
    uint32_t storedBytes_ = 0;    // inflated bytes of every pass, filter bytes included
    bool headerDone_ = false;     // tRNS is only read after the header
    bool paletteTransparency_ = false;   // a palette tRNS has been read
};

// Loads a PNG file into image: read, create at the file's size, convert, set
// hasAlpha, and report the transparent colour (-1 for none). On a failed read
// the image and transparentColour are left untouched; when the image cannot
// be created the image is empty. False on any failure.
bool loadPngFile(const char* path, DibImage& image, int32_t& transparentColour);
// The same with the options of PngReadOptions.
bool loadPngFile(const char* path, DibImage& image, int32_t& transparentColour, const PngReadOptions& options);
// loadPngFile for a PNG file's content held in memory (size bytes at data).
bool loadPngMemory(const uint8_t* data, uint32_t size, DibImage& image, int32_t& transparentColour,
                   const PngReadOptions& options = PngReadOptions());
