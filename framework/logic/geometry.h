#pragma once
// Rectangle arithmetic of the window framework: fitting a picture into a box
// and keeping a window on the screen. Coordinates are 32-bit screen or client
// units; right and bottom are exclusive, as in the platform's RECT.

#include <cstdint>

struct IntRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;

    int32_t width() const { return right - left; }
    int32_t height() const { return bottom - top; }
};

struct IntPoint {
    int32_t x = 0;
    int32_t y = 0;
};

// Fits a picture into a box. On entry r.left/r.top is the box origin and
// r's width and height are the picture's size. When centreIfSmaller is set and
// the picture fits, its size is kept and it is centred; otherwise it is scaled
// to fill the box along one axis, keeping the aspect, and centred along the
// other. Divisions truncate toward zero. A picture without area (zero or
// negative width or height) becomes an empty rectangle at the box origin.
void fitRectInBox(IntRect& r, int32_t boxWidth, int32_t boxHeight, bool centreIfSmaller);

// Top-left corner for a window of width x height centred on box (only along an
// axis where the window is smaller than the box; otherwise aligned to the
// box's left/top) and then pulled onto the screen with clampedOrigin.
IntPoint centredOrigin(const IntRect& box, int32_t width, int32_t height, const IntRect& screen);

// Top-left corner (x, y) for a window of width x height pulled onto the
// screen: first so that its right (bottom) edge is on screen, then so that its
// left (top) edge is. A window larger than the screen therefore ends up
// aligned to the screen's left (top) edge.
IntPoint clampedOrigin(int32_t x, int32_t y, int32_t width, int32_t height, const IntRect& screen);
