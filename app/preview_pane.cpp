#include "app/preview_pane.h"

#include "core/image_loader.h"
#include "framework/helpers.h"

void PreviewPane::attachTo(HWND parent, int controlId)
{
    bindDialogItem(parent, controlId);
    attach();
    const SIZE size = clientSize();
    if (buffer.create(size.cx, size.cy))
        buffer.fillChecker();
}

bool PreviewPane::showImage(const DibImage& image)
{
    if (buffer.isEmpty() || image.isEmpty())
        return false;
    RECT r = {0, 0, image.width, image.height};
    fitRect(r, buffer.width, buffer.height, true);
    DibImage fitted;
    if (!fitted.scaleFrom(r.right - r.left, r.bottom - r.top, image))
        return false;
    buffer.fillChecker();
    buffer.blendAt(r.left, r.top, fitted);
    invalidate();
    return true;
}

bool PreviewPane::showFile(const char* path)
{
    DibImage image;
    int32_t transparentColour = -1;
    if (!loadImageFile(image, path, transparentColour)) {
        clear();
        return false;
    }
    return showImage(image);
}

void PreviewPane::clear()
{
    if (buffer.isEmpty())
        return;
    buffer.fillChecker();
    invalidate();
}

int PreviewPane::onPaint()
{
    paintFromBuffer(hwnd, buffer);
    return 1;
}
