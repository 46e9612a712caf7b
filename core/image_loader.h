#pragma once
// Turning an image file, or a file's bytes in memory, into a DibImage: the
// entry points every front end uses.
//
// The reader is chosen by the file's first bytes, never by its name: "BM" is a
// BMP, the 8-byte PNG signature a PNG, "GIF" a GIF. Beside the image the
// loader reports the source's transparent colour: -1 for none, else 0x00RRGGBB.
//
// Failures are reported only through the result; nothing is shown to the user.
// Used by one thread at a time per image.

#include <cstdint>

class DibImage;

// The reader for a file by its first bytes: "BM" a BMP, the 8-byte PNG
// signature a PNG, "GIF" a GIF, in that order. head holds the first headBytes
// bytes of the file (all of it when the file is shorter than 8 bytes); a
// signature longer than that does not match.
enum class ImageFileKind { Unknown, Bmp, Png, Gif };
ImageFileKind imageFileKind(const uint8_t* head, uint32_t headBytes);

// Loads the file at path into image. hasAlpha is cleared first and set again
// only for a PNG that carries per-pixel alpha; transparentColour is -1 unless
// the file names a transparent colour. False when the file cannot be opened,
// its signature is unknown, or the reader refuses it.
bool loadImageFile(DibImage& image, const char* path, int32_t& transparentColour);

// Which files loadImageFile accepts.
enum class ImageInput {
    Default,    // exactly the files the three-argument form loads
    Extended,   // PNGs also interlaced, grey+alpha, or 16-bit of 8-bit values (png_reader.h)
};

class AppendBuffer;
class ByteBuffer;

// loadImageFile with a choice of input. With ImageInput::Extended and a
// colourChunks buffer, a PNG's sRGB, gAMA, cHRM and iCCP chunks are kept there
// whole, in file order (png_reader.h); the buffer is released first and stays
// empty for other files, for ImageInput::Default and when the load fails.
// With ImageInput::Extended and a wideSamples buffer, a 16-bit PNG whose
// samples do not all fit 8 bits loads too, its exact samples kept there
// (PngReadOptions::wideSamples); the buffer is released first and stays
// empty for every other file, for ImageInput::Default and when the load fails.
bool loadImageFile(DibImage& image, const char* path, int32_t& transparentColour, ImageInput input,
                   AppendBuffer* colourChunks = nullptr, ByteBuffer* wideSamples = nullptr);

// loadImageFile for a file's content held in memory: the size bytes at data
// (valid during the call), recognised by their first bytes and read by the
// same readers, with the same results as a file holding these bytes. A BMP
// goes through bmp_reader.h's decoder on every platform (the decoder gives
// the picture the Windows bitmap loader gives for the same file).
bool loadImageMemory(DibImage& image, const uint8_t* data, uint32_t size, int32_t& transparentColour,
                     ImageInput input = ImageInput::Default, AppendBuffer* colourChunks = nullptr,
                     ByteBuffer* wideSamples = nullptr);

// The platform's BMP path (image_loader_bmp_posix.cpp / _win32.cpp): the file
// as a 32-bit picture with every alpha byte 255 and transparent colour -1.
// False when the file is not a bitmap the platform can load.
bool loadBmpFile(DibImage& image, const char* path, int32_t& transparentColour);
