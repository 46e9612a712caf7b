#pragma once
// PreviewPane: a static control taken over to show a picture fitted onto a
// checkerboard. Used by the main window (for the life of the program) and by
// the open-file dialog (for one dialog run). Window thread.

#include "core/dib_image.h"
#include "framework/control_window.h"

class PreviewPane : public ControlWindow {
public:
    // What the pane shows: exactly the control's client size at attachTo.
    DibImage buffer;

    // Binds and attaches the dialog item and shows the bare checkerboard.
    void attachTo(HWND parent, int controlId);
    // Shows image fitted into the pane (centred at its own size when it fits,
    // scaled down keeping its aspect otherwise). False, pane unchanged, when
    // the picture cannot be scaled (for example to a size of 0).
    bool showImage(const DibImage& image);
    // Loads the file and shows it; a file that cannot be loaded clears the pane.
    bool showFile(const char* path);
    // Back to the bare checkerboard.
    void clear();

    int onPaint() override;
};
