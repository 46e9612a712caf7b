// DibImage on Windows: the pixel memory is a 32-bit DIB section, so it can be
// blitted and drawn without conversion.

#include "core/dib_image.h"

#include <windows.h>

#include "core/size_limits.h"

namespace {

// The section's description: the 40-byte header followed by the three colour
// masks of BI_BITFIELDS, 52 bytes in all.
struct SectionHeader {
    BITMAPINFOHEADER header;
    DWORD masks[3];
};
static_assert(sizeof(SectionHeader) == 52, "BITMAPINFOHEADER plus three masks");

HBITMAP nativeBitmap(PlatformBitmap bitmap)
{
    return static_cast<HBITMAP>(bitmap);
}

}  // namespace

bool DibImage::allocateSection(int32_t w, int32_t h)
{
    uint32_t rowBytes = 0;
    uint32_t total = 0;
    if (w <= 0 || h <= 0 || !checkedMul(static_cast<uint32_t>(w), 4, rowBytes) ||
        !checkedMul(rowBytes, static_cast<uint32_t>(h), total))
        return false;

    SectionHeader info = {};
    info.header.biSize = sizeof(BITMAPINFOHEADER);
    info.header.biWidth = w;
    info.header.biHeight = h;   // positive: rows bottom-up
    info.header.biPlanes = 1;
    info.header.biBitCount = 32;
    info.header.biCompression = BI_BITFIELDS;
    info.masks[0] = 0x00FF0000;
    info.masks[1] = 0x0000FF00;
    info.masks[2] = 0x000000FF;

    void* pixels = nullptr;
    HBITMAP section = CreateDIBSection(nullptr, reinterpret_cast<const BITMAPINFO*>(&info), DIB_RGB_COLORS,
                                       &pixels, nullptr, 0);
    if (section == nullptr)
        return false;

    // Take the geometry from the section as the platform reports it.
    BITMAP described = {};
    if (GetObjectA(section, sizeof(described), &described) != sizeof(described) || described.bmBits == nullptr ||
        described.bmWidth <= 0 || described.bmHeight == 0) {
        DeleteObject(section);
        return false;
    }
    bitmap = section;
    bits = static_cast<uint8_t*>(described.bmBits);
    width = described.bmWidth;
    height = described.bmHeight < 0 ? -described.bmHeight : described.bmHeight;
    topRow = bits + static_cast<size_t>(height - 1) * static_cast<size_t>(width) * 4;
    return true;
}

bool DibImage::freeSection()
{
    return DeleteObject(nativeBitmap(bitmap)) != 0;
}

void DibImage::drawTo(PlatformDeviceContext dc) const
{
    if (isEmpty())
        return;
    BITMAPINFOHEADER header = {};
    header.biSize = sizeof(BITMAPINFOHEADER);
    header.biWidth = width;
    header.biHeight = height;
    header.biPlanes = 1;
    header.biBitCount = 32;
    header.biCompression = BI_RGB;
    SetDIBitsToDevice(static_cast<HDC>(dc), 0, 0, static_cast<DWORD>(width), static_cast<DWORD>(height), 0, 0, 0,
                      static_cast<UINT>(height), bits, reinterpret_cast<const BITMAPINFO*>(&header),
                      DIB_RGB_COLORS);
}
