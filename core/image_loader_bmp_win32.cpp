// The BMP path on Windows: the system's bitmap loader reads the file into a
// DIB section of its own format, which is then blitted into the 32-bit image.

#include "core/image_loader.h"

#include <windows.h>

#include "core/dib_image.h"
#include "core/wide_path_win32.h"

bool loadBmpFile(DibImage& image, const char* path, int32_t& transparentColour)
{
    std::wstring wide;
    if (!widePathOf(path, wide))
        return false;
    HANDLE loaded = LoadImageW(nullptr, wide.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION);
    if (loaded == nullptr)
        return false;
    const bool copied = image.copyFromBitmap(loaded);
    DeleteObject(loaded);
    transparentColour = -1;
    image.hasAlpha = 0;
    // Whatever alpha the bitmap carried (or the blit left) is not the picture's.
    image.makeOpaque();
    return copied;
}
