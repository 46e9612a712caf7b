// The BMP path where the platform has no bitmap loader: our own decoder.

#include "core/image_loader.h"

#include "core/bmp_reader.h"
#include "core/dib_image.h"

bool loadBmpFile(DibImage& image, const char* path, int32_t& transparentColour)
{
    if (!readBmpFile(path, image))
        return false;
    transparentColour = -1;
    image.hasAlpha = 0;
    return true;
}
