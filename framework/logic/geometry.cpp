#include "framework/logic/geometry.h"

#include <algorithm>

void fitRectInBox(IntRect& r, int32_t boxWidth, int32_t boxHeight, bool centreIfSmaller)
{
    const int32_t w = r.width();
    const int32_t h = r.height();
    if (w <= 0 || h <= 0) {
        r.right = r.left;
        r.bottom = r.top;
        return;
    }
    if (centreIfSmaller && w <= boxWidth && h <= boxHeight) {
        r.left += (boxWidth - w) / 2;
        r.top += (boxHeight - h) / 2;
        r.right = r.left + w;
        r.bottom = r.top + h;
        return;
    }
    // 64-bit products: a picture of tens of thousands of pixels times a box of
    // thousands would not fit 32 bits. Each quotient is bounded by the box
    // along the axis it is used for.
    const int64_t scaledWidth = int64_t(w) * boxHeight / h;
    if (scaledWidth < boxWidth) {
        r.left += static_cast<int32_t>((boxWidth - scaledWidth) / 2);
        r.right = r.left + static_cast<int32_t>(scaledWidth);
        r.bottom = r.top + boxHeight;
    } else {
        const int64_t scaledHeight = int64_t(h) * boxWidth / w;
        r.top += static_cast<int32_t>((boxHeight - scaledHeight) / 2);
        r.right = r.left + boxWidth;
        r.bottom = r.top + static_cast<int32_t>(scaledHeight);
    }
}

IntPoint centredOrigin(const IntRect& box, int32_t width, int32_t height, const IntRect& screen)
{
    int32_t x = box.left;
    int32_t y = box.top;
    if (width < box.width())
        x += (box.width() - width) / 2;
    if (height < box.height())
        y += (box.height() - height) / 2;
    return clampedOrigin(x, y, width, height, screen);
}

IntPoint clampedOrigin(int32_t x, int32_t y, int32_t width, int32_t height, const IntRect& screen)
{
    // Right/bottom edge first, then left/top, so that the left/top edge (with
    // the title bar) wins when the window is larger than the screen.
    x = std::max(std::min(x, screen.right - width), screen.left);
    y = std::max(std::min(y, screen.bottom - height), screen.top);
    return IntPoint{x, y};
}
