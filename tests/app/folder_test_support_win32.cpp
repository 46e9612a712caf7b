// Windows parts of the folder test helpers.

#include "tests/app/folder_test_support.h"

#include <windows.h>

#include "core/dib_image.h"
#include "core/image_loader.h"

bool decodeOutputPng(const std::string& path, RgbaImage& out)
{
    // No independent decoder is built for Windows; the program's own PNG
    // reader stands in (the native suite checks the same files with libpng).
    DibImage image;
    int32_t transparentColour = -1;
    if (!loadImageFile(image, path.c_str(), transparentColour))
        return false;
    out = rgbaFromDib(image);
    if (!image.hasAlpha) {
        for (uint32_t i = 0; i < out.width * out.height; ++i) {
            uint8_t* p = &out.pixels[size_t(i) * 4];
            const int32_t rgb = (p[0] << 16) | (p[1] << 8) | p[2];
            p[3] = (transparentColour >= 0 && rgb == transparentColour) ? 0 : 255;
        }
    }
    return true;
}

std::string writeHiddenFile(const std::string& folder, const std::string& name, const Bytes& bytes)
{
    const std::string path = joined(folder, name);
    writeFileBytes(path, bytes);
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_HIDDEN);
    return name;
}

std::string otherSpellingOfFolder(const std::string& path)
{
    std::string other = path;
    for (size_t i = other.size() >= 4 ? other.size() - 4 : 0; i < other.size(); ++i) {
        const char c = other[i];
        if (c >= 'a' && c <= 'z')
            other[i] = char(c - 'a' + 'A');
        else if (c >= 'A' && c <= 'Z')
            other[i] = char(c - 'A' + 'a');
    }
    return other;
}
