#pragma once
// BMP decoder: turns a Windows or OS/2 bitmap file into a 32-bit DibImage with
// every alpha byte 255, the picture the Windows bitmap loader gives for it.
//
// Accepted:
// - headers of 12 bytes (OS/2 core: 16-bit sizes, 3-byte palette entries) and
//   of 40, 52, 56, 108 and 124 bytes (palette entries of 4 bytes);
// - 1, 4 and 8 bits through a palette of biClrUsed entries (all 2^bits when 0,
//   at most 2^bits); an index beyond the palette gives black;
// - 16 bits (5-5-5 unless BI_BITFIELDS), 24 bits, 32 bits (8-8-8 in the low
//   three bytes unless BI_BITFIELDS). Masks come after a 40-byte header and
//   inside the larger ones, and are used only with BI_BITFIELDS. A field of n
//   bits becomes 8 bits by repeating its bits from the top (5 bits: v << 3 |
//   v >> 2, so 31 gives 255); a field wider than 8 bits keeps its top 8 bits;
//   an empty mask gives 0. Alpha masks and the fourth byte are ignored;
// - RLE8 and RLE4 with the end-of-line, end-of-bitmap and delta escapes and
//   absolute runs. Pixels the stream does not reach keep palette entry 0, as
//   they do in a section the platform fills from the stream; runs that go past
//   the right edge are cut off there;
// - rows bottom-up, or top-down when the height is negative (not for RLE);
// - pixels at bfOffBits, or when it is 0 right after the palette (or the
//   biClrUsed-entry colour table that 16 to 32 bits may carry).
//
// Refused: any other header size or compression (JPEG, PNG, alpha bit fields),
// 2 or 64 bits per pixel, planes other than 1, masks whose bits are not one
// contiguous run, a width or height of 0, pictures whose 32-bit form exceeds
// kMaxBlockBytes, and any file whose header, palette, masks or pixels reach
// past its end; an RLE stream must end with end-of-bitmap or after its last
// row. Nothing is read beyond the bytes given.
//
// Stateless; safe to use from several threads on different images.

#include <cstdint>

class DibImage;

// Decodes the size bytes at data into image (created at the picture's size;
// hasAlpha is left as it is). On failure returns false and leaves image as it
// was, unless creating the image itself failed, which leaves it empty.
bool decodeBmp(const uint8_t* data, uint32_t size, DibImage& image);

// Reads the whole file at path and decodes it as decodeBmp does. False when the
// file cannot be read or its size exceeds kMaxBlockBytes.
bool readBmpFile(const char* path, DibImage& image);
