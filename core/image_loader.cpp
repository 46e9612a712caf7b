// loadImageFile: signature sniffing and dispatch to the readers.

#include "core/image_loader.h"

#include <cstring>

#include "core/byte_buffer.h"
#include "core/dib_image.h"
#include "core/file_handle.h"
#include "core/gif_reader.h"
#include "core/png_bytes.h"
#include "core/png_reader.h"

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

bool loadImageFile(DibImage& image, const char* path, int32_t& transparentColour, ImageInput input,
                   AppendBuffer* colourChunks)
{
    if (colourChunks)
        colourChunks->release();
    image.hasAlpha = 0;
    transparentColour = -1;

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

    switch (imageFileKind(head, headBytes)) {
    case ImageFileKind::Bmp:
        return loadBmpFile(image, path, transparentColour);
    case ImageFileKind::Png: {
        PngReadOptions options;
        options.extendedInput = input == ImageInput::Extended;
        options.colourChunks = colourChunks;
        if (loadPngFile(path, image, transparentColour, options))
            return true;
        if (colourChunks)
            colourChunks->release();
        return false;
    }
    case ImageFileKind::Gif:
        return loadGifFile(path, image, transparentColour);
    case ImageFileKind::Unknown:
        break;
    }
    return false;
}
