#include "framework/helpers.h"

#include "core/dib_image.h"
#include "core/text_string.h"
#include "framework/logic/geometry.h"

HINSTANCE moduleInstance()
{
    return GetModuleHandleA(nullptr);
}

HICON loadIconResource(int resourceId, int size)
{
    return static_cast<HICON>(
        LoadImageA(moduleInstance(), MAKEINTRESOURCEA(resourceId), IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
}

void warningBox(const char* text)
{
    MessageBoxA(nullptr, text, nullptr, MB_TOPMOST | MB_TASKMODAL | MB_ICONWARNING);
}

void warningBoxById(UINT stringId)
{
    TextString text(255);
    text.loadResource(stringId);
    warningBox(text.c_str());
}

void paintFromBuffer(HWND window, const DibImage& buffer)
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    buffer.drawTo(dc);
    EndPaint(window, &paint);
}

void fitRect(RECT& r, int boxWidth, int boxHeight, bool centreIfSmaller)
{
    IntRect fitted{r.left, r.top, r.right, r.bottom};
    fitRectInBox(fitted, boxWidth, boxHeight, centreIfSmaller);
    r.left = fitted.left;
    r.top = fitted.top;
    r.right = fitted.right;
    r.bottom = fitted.bottom;
}
