#include "app/logic/clipboard.h"

#include <windows.h>

#include "app/logic/packed_dib.h"
#include "core/dib_image.h"

namespace {

// Holds the clipboard open for one paste.
class OpenClipboardScope {
public:
    OpenClipboardScope() : open_(OpenClipboard(nullptr) != FALSE) {}
    ~OpenClipboardScope()
    {
        if (open_)
            CloseClipboard();
    }
    OpenClipboardScope(const OpenClipboardScope&) = delete;
    OpenClipboardScope& operator=(const OpenClipboardScope&) = delete;
    bool isOpen() const { return open_; }

private:
    bool open_;
};

}  // namespace

unsigned pasteBitmap(DibImage& image)
{
    OpenClipboardScope clipboard;
    if (!clipboard.isOpen())
        return CLIPBOARD_NO_DATA;
    HANDLE bitmap = GetClipboardData(CF_BITMAP);
    if (!bitmap)
        return CLIPBOARD_NO_DATA;
    if (!image.copyFromBitmap(bitmap))   // the clipboard keeps the bitmap
        return CLIPBOARD_LOAD_FAILED;
    image.makeOpaque();
    image.hasAlpha = 0;
    return CLIPBOARD_OK;
}

unsigned pasteDib32(DibImage& image)
{
    OpenClipboardScope clipboard;
    if (!clipboard.isOpen())
        return CLIPBOARD_NO_DATA;
    HANDLE data = GetClipboardData(CF_DIB);
    if (!data)
        return CLIPBOARD_NO_DATA;
    // The block may be larger than the bitmap, never smaller than GlobalSize says.
    const SIZE_T blockSize = GlobalSize(data);
    const auto* block = static_cast<const uint8_t*>(GlobalLock(data));
    if (!block)
        return CLIPBOARD_NO_DATA;
    const unsigned result = readPackedDib32(
        block, blockSize > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(blockSize), image);
    GlobalUnlock(data);
    return result;
}
