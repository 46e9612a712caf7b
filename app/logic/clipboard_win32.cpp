#include "app/logic/clipboard.h"

#include <windows.h>

#include "app/logic/packed_dib.h"
#include "core/dib_image.h"

namespace {

// Holds the clipboard open for one paste of its data in one format.
class ClipboardData {
public:
    explicit ClipboardData(UINT format)
        : open_(OpenClipboard(nullptr) != FALSE), data_(open_ ? GetClipboardData(format) : nullptr)
    {
    }
    ~ClipboardData()
    {
        if (open_)
            CloseClipboard();
    }
    ClipboardData(const ClipboardData&) = delete;
    ClipboardData& operator=(const ClipboardData&) = delete;
    // The data, which the clipboard keeps; null when the clipboard could not
    // be opened or holds nothing in the format.
    HANDLE handle() const { return data_; }

private:
    bool open_;
    HANDLE data_;
};

}  // namespace

unsigned pasteBitmap(DibImage& image)
{
    ClipboardData clipboard(CF_BITMAP);
    HANDLE bitmap = clipboard.handle();
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
    ClipboardData clipboard(CF_DIB);
    HANDLE data = clipboard.handle();
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
