// loadImageFile and loadImageMemory: signature sniffing and dispatch to the readers.

#include "core/image_loader.h"

#include <cstring>

#include "core/bmp_reader.h"
#include "core/byte_buffer.h"
#include "core/dib_image.h"
#include "core/file_handle.h"
#include "core/gif_reader.h"
#include "core/png_bytes.h"
#include "core/png_reader.h"
#include "core/size_limits.h"

namespace {

// Enough bytes for the longest signature, PNG's.
constexpr uint32_t kSignatureBytes = kPngSignatureBytes;

// Compares only when the file holds the whole signature.
bool startsWith(const uint8_t* head, uint32_t headBytes, const void* signature, uint32_t signatureBytes)
{
    return headBytes >= signatureBytes && std::memcmp(head, signature, signatureBytes) == 0;
}

}  // namespace

ImageFileKind imageFileKind(const uint8_t* head, uint32_t headBytes)
{
    if (startsWith(head, headBytes, "BM", 2))
        return ImageFileKind::Bmp;
    if (startsWith(head, headBytes, kPngSignature, kPngSignatureBytes))
        return ImageFileKind::Png;
    if (startsWith(head, headBytes, "GIF", 3))
        return ImageFileKind::Gif;
    return ImageFileKind::Unknown;
}

bool loadImageFile(DibImage& image, const char* path, int32_t& transparentColour)
{
    return loadImageFile(image, path, transparentColour, ImageInput::Default);
}

namespace {

// Where an image comes from: a file (path) or a file's bytes in memory.
struct ImageSource {
    const char* path;
    const uint8_t* data;
    uint32_t size;
};

// Loads source as kind says; the results are cleared first, as loadImageFile documents.
bool loadImageOfKind(DibImage& image, const ImageSource& source, ImageFileKind kind, int32_t& transparentColour,
                     ImageInput input, AppendBuffer* colourChunks, ByteBuffer* wideSamples)
{
    switch (kind) {
    case ImageFileKind::Bmp:
        return source.path ? loadBmpFile(image, source.path, transparentColour)
                           : decodeBmp(source.data, source.size, image);
    case ImageFileKind::Png: {
        PngReadOptions options;
        options.extendedInput = input == ImageInput::Extended;
        options.colourChunks = colourChunks;
        options.wideSamples = wideSamples;
        if (source.path ? loadPngFile(source.path, image, transparentColour, options)
                        : loadPngMemory(source.data, source.size, image, transparentColour, options))
            return true;
        if (colourChunks)
            colourChunks->release();
        if (wideSamples)
            wideSamples->release();
        return false;
    }
    case ImageFileKind::Gif:
        return source.path ? loadGifFile(source.path, image, transparentColour)
                           : loadGifMemory(source.data, source.size, image, transparentColour);
    case ImageFileKind::Unknown:
        break;
    }
    return false;
}

void clearLoadResults(DibImage& image, int32_t& transparentColour, AppendBuffer* colourChunks,
                      ByteBuffer* wideSamples)
{
    if (colourChunks)
        colourChunks->release();
    if (wideSamples)
        wideSamples->release();
    image.hasAlpha = 0;
    transparentColour = -1;
}

}  // namespace

bool loadImageFile(DibImage& image, const char* path, int32_t& transparentColour, ImageInput input,
                   AppendBuffer* colourChunks, ByteBuffer* wideSamples)
{
    clearLoadResults(image, transparentColour, colourChunks, wideSamples);
    uint8_t head[kSignatureBytes] = {};
    uint32_t headBytes = 0;
    {
        FileHandle file;
        if (!file.openRead(path))
            return false;
        // A read may deliver fewer bytes than asked before the end of the file.
        while (headBytes < kSignatureBytes) {
            const uint32_t got = file.read(head + headBytes, kSignatureBytes - headBytes);
            if (got == 0)
                break;
            headBytes += got;
        }
    }
    const ImageSource source = {path, nullptr, 0};
    return loadImageOfKind(image, source, imageFileKind(head, headBytes), transparentColour, input, colourChunks,
                           wideSamples);
}

bool loadImageMemory(DibImage& image, const uint8_t* data, uint32_t size, int32_t& transparentColour,
                     ImageInput input, AppendBuffer* colourChunks, ByteBuffer* wideSamples)
{
    clearLoadResults(image, transparentColour, colourChunks, wideSamples);
    // Nothing larger is a file the readers take (the file paths refuse it too).
    if (!data || size > kMaxBlockBytes)
        return false;
    const uint32_t headBytes = size < kSignatureBytes ? size : kSignatureBytes;
    const ImageSource source = {nullptr, data, size};
    return loadImageOfKind(image, source, imageFileKind(data, headBytes), transparentColour, input, colourChunks,
                           wideSamples);
}
