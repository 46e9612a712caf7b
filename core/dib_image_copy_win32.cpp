// DibImage::copyFromBitmap on Windows: a platform bitmap blitted into a new
// section. Kept apart from the section code (dib_image_win32.cpp) because it
// builds on the image's shared operations (create, release), which in turn use
// that section code: the three files call in one direction only.

#include "core/dib_image.h"

#include <windows.h>

namespace {

HBITMAP nativeBitmap(PlatformBitmap bitmap)
{
    return static_cast<HBITMAP>(bitmap);
}

// Selects a bitmap into a memory device context for the life of the object and
// puts the context's original bitmap back before deleting it.
class MemoryContext {
public:
    explicit MemoryContext(HBITMAP bitmap) : dc_(CreateCompatibleDC(nullptr))
    {
        if (dc_ != nullptr)
            previous_ = SelectObject(dc_, bitmap);
    }
    ~MemoryContext()
    {
        if (dc_ == nullptr)
            return;
        if (previous_ != nullptr && previous_ != HGDI_ERROR)
            SelectObject(dc_, previous_);
        DeleteDC(dc_);
    }
    MemoryContext(const MemoryContext&) = delete;
    MemoryContext& operator=(const MemoryContext&) = delete;

    // False when the context could not be made or the bitmap not selected
    // (a bitmap can be selected into one context at a time).
    bool ready() const { return dc_ != nullptr && previous_ != nullptr && previous_ != HGDI_ERROR; }
    HDC dc() const { return dc_; }

private:
    HDC dc_;
    HGDIOBJ previous_ = nullptr;
};

}  // namespace

bool DibImage::copyFromBitmap(PlatformBitmap source)
{
    BITMAP described = {};
    if (source == nullptr || GetObjectA(nativeBitmap(source), sizeof(described), &described) == 0)
        return false;
    // Bottom-up and top-down bitmaps give the same size. The most negative
    // height has no positive counterpart and is refused with the other bad sizes.
    if (described.bmHeight == LONG(0x80000000))
        return false;
    const int32_t sourceHeight = described.bmHeight < 0 ? -described.bmHeight : described.bmHeight;
    if (!create(described.bmWidth, sourceHeight))
        return false;

    bool copied = false;
    {
        MemoryContext target(nativeBitmap(bitmap));
        MemoryContext from(nativeBitmap(source));
        copied = target.ready() && from.ready() &&
                 BitBlt(target.dc(), 0, 0, width, height, from.dc(), 0, 0, SRCCOPY) != FALSE;
    }
    if (!copied)
        release();
    return copied;
}
