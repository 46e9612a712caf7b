#pragma once
// ColourPickerWindow: a popup showing the current image at 400 percent with
// scroll bars; one click on the image sends that pixel's colour to the swatch
// and closes the popup, losing the focus closes it without a choice.
//
// The object lives as long as the main window; its window exists from open
// until a pick or the loss of focus. Window thread.

#include "core/dib_image.h"
#include "framework/controls.h"
#include "framework/window_base.h"

class ColourPickerWindow : public WindowBase {
public:
    DibImage buffer;                 // back buffer of the client area's size
    const DibImage* source = nullptr;   // the picture (not owned)
    ScrollBarControl hScroll;        // position = leftmost visible image column
    ScrollBarControl vScroll;        // position = topmost visible image row
    ColourButton* target = nullptr;  // receives the picked colour (not owned)

    // Opens the popup owned by owner with its top-right corner at the screen
    // point (x, y), pulled back onto the screen. Nothing happens when the
    // window cannot be created.
    void open(HWND owner, int x, int y, ColourButton* swatch, const DibImage* picture);

    int onKillFocus(HWND gaining) override;
    int onLButtonDown(WPARAM keys, unsigned x, unsigned y) override;
    int onSetCursor(HWND window, unsigned hitTest, unsigned mouseMessage) override;
    int onPaint() override;
    int onVScroll(unsigned request, unsigned thumb, HWND scrollBar) override;
    int onHScroll(unsigned request, unsigned thumb, HWND scrollBar) override;
    // Notes that the window is gone, so that a later open never acts on a
    // handle the system has since given to another window.
    int onNcDestroy() override;

private:
    void render();

    bool windowOpen_ = false;
};

// The window class of the popup, registered at start-up.
constexpr const char* kPickerWindowClass = "General";
