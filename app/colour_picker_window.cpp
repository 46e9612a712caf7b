#include "app/colour_picker_window.h"

#include "app/logic/main_window_rules.h"
#include "app/resource.h"
#include "framework/helpers.h"

namespace {

constexpr int kPickerWidth = 350;
constexpr int kPickerHeight = 260;

}  // namespace

void ColourPickerWindow::open(HWND owner, int x, int y, ColourButton* swatch, const DibImage* picture)
{
    if (windowOpen_)
        destroy();
    target = swatch;
    source = picture;
    if (!createWindow(WS_EX_DLGMODALFRAME, kPickerWindowClass, "",
                      WS_POPUP | WS_VISIBLE | WS_BORDER | WS_HSCROLL | WS_VSCROLL, x - kPickerWidth, y,
                      kPickerWidth, kPickerHeight, owner, nullptr))
        return;
    // Creation may already have lost the focus and closed the window again.
    windowOpen_ = IsWindow(hwnd) != FALSE;
    if (!windowOpen_)
        return;
    clampToScreen();
    const SIZE client = clientSize();
    hScroll.setUp(hwnd, SB_HORZ);
    vScroll.setUp(hwnd, SB_VERT);
    hScroll.setRange(0, source->width - 1, static_cast<unsigned>(client.cx / kPickerZoom), true, true);
    vScroll.setRange(0, source->height - 1, static_cast<unsigned>(client.cy / kPickerZoom), true, true);
    if (buffer.create(client.cx, client.cy))
        render();
}

void ColourPickerWindow::render()
{
    if (buffer.isEmpty() || !source)
        return;
    buffer.renderZoomed(*source, kPickerZoom * hScroll.position(), kPickerZoom * vScroll.position(),
                        kPickerZoom * 100);
    invalidate();
}

int ColourPickerWindow::onKillFocus(HWND)
{
    destroy();
    return 1;
}

int ColourPickerWindow::onLButtonDown(WPARAM, unsigned x, unsigned y)
{
    int32_t ix = 0;
    int32_t iy = 0;
    // Client coordinates arrive zero-extended; a click inside is never negative.
    if (source && pickerPixelAt(hScroll.position(), vScroll.position(), static_cast<int16_t>(x),
                                static_cast<int16_t>(y), source->width, source->height, ix, iy)) {
        if (target)
            target->setColourRgb(source->pixelAt(ix, iy));
        destroy();
    }
    return 1;
}

int ColourPickerWindow::onSetCursor(HWND, unsigned, unsigned)
{
    HCURSOR cursor = LoadCursorA(moduleInstance(), MAKEINTRESOURCEA(IDC_PICKER_CURSOR));
    SetCursor(cursor ? cursor : LoadCursorA(nullptr, IDC_ARROW));
    return 1;
}

int ColourPickerWindow::onPaint()
{
    paintFromBuffer(hwnd, buffer);
    return 1;
}

int ColourPickerWindow::onVScroll(unsigned request, unsigned thumb, HWND scrollBar)
{
    if (vScroll.handleScroll(request, thumb, scrollBar) >= 0)
        render();
    return 1;
}

int ColourPickerWindow::onHScroll(unsigned request, unsigned thumb, HWND scrollBar)
{
    if (hScroll.handleScroll(request, thumb, scrollBar) >= 0)
        render();
    return 1;
}

int ColourPickerWindow::onNcDestroy()
{
    windowOpen_ = false;
    return 0;   // the platform finishes the window's destruction
}
