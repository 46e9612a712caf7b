#pragma once
// Free helpers of the window framework: the module, icons, warning boxes,
// picture fitting.

#include <windows.h>

class DibImage;

// The module (program) instance: GetModuleHandleA(nullptr).
HINSTANCE moduleInstance();

// Icon resourceId of the program at size x size pixels; null when missing.
// The caller owns the icon (DestroyIcon).
HICON loadIconResource(int resourceId, int size);

// The one way the desktop program tells the user about a failure: a
// task-modal, topmost warning box with no owner and the platform's default
// caption. Returns when the user has closed it.
void warningBox(const char* text);
// The same with string resource stringId (up to 255 bytes).
void warningBoxById(UINT stringId);

// Answers WM_PAINT for window by copying buffer, a back buffer of the
// window's client size, to the client area's top-left corner.
void paintFromBuffer(HWND window, const DibImage& buffer);

// Fits a picture into a box: see fitRectInBox (framework/logic/geometry.h).
// On entry r.left/r.top is the box origin and r's size the picture's size.
void fitRect(RECT& r, int boxWidth, int boxHeight, bool centreIfSmaller);
