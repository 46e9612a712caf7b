#pragma once
// Reading a 32-bit packed device-independent bitmap (the clipboard's CF_DIB
// block) into a DibImage, with every offset and size checked against the
// block so that a header claiming more than the block holds is refused.
//
// Block layout: a BITMAPINFOHEADER (or a larger V4/V5 header) of biSize bytes;
// with a 40-byte header and bit-field compression the colour masks follow it
// (12 bytes, 16 with an alpha mask); then biClrUsed colour-table entries of 4
// bytes; then the pixels, rows of width * 4 bytes, bottom-up when biHeight is
// positive and top-down when it is negative. The masks are skipped, not
// interpreted: the pixel bytes are taken as blue, green, red, alpha.
//
// Pure functions on memory; the caller holds the block for the call.

#include <cstdint>

class DibImage;

// Results of the clipboard inputs; a code n is shown as string 20999 + n.
enum ClipboardResult : unsigned {
    CLIPBOARD_OK = 0,
    CLIPBOARD_NO_DATA = 1,       // nothing in the requested format
    CLIPBOARD_NOT_32BIT = 2,     // the bitmap is not 32 bits per pixel
    CLIPBOARD_LOAD_FAILED = 3,   // malformed block, or the image cannot be made
};

struct PackedDibLayout {
    int32_t width = 0;
    int32_t height = 0;          // rows, always positive
    bool topDown = false;        // rows stored from the top
    uint32_t pixelOffset = 0;    // first pixel byte, from the start of the block
    uint32_t pixelBytes = 0;     // width * 4 * height
};

// Checks the block and works out where its pixels lie. CLIPBOARD_OK when every
// pixel byte lies inside the block; CLIPBOARD_NO_DATA for a null or empty block;
// CLIPBOARD_NOT_32BIT for another bit count; CLIPBOARD_LOAD_FAILED otherwise.
unsigned checkPackedDib32(const uint8_t* block, uint32_t blockSize, PackedDibLayout& layout);

// checkPackedDib32, then creates image at the bitmap's size and copies the
// pixels with their alpha, upright whatever the stored row order; hasAlpha is
// set. On NO_DATA and NOT_32BIT the image is untouched; on LOAD_FAILED it may
// have been released.
unsigned readPackedDib32(const uint8_t* block, uint32_t blockSize, DibImage& image);
